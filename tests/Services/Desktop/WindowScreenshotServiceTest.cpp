// Window thumbnails from the simulated desktop's screen capture.
#include "Services/Desktop/WindowScreenshotService.h"

#include "Platform/Simulated/SimulatedScreenCapture.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/ScriptedDesktop.h"

#include <gtest/gtest.h>

namespace {

class WindowScreenshotServiceTest : public ::testing::Test {
protected:
    WindowScreenshotServiceTest()
        : capture(d.desktop()) {
        capture.installInto(d.platform());
        pid = d.addApp("org.example.Editor", "Editor");
    }

    std::optional<QImage> thumbnail(qint64 index, double maxSize = 200) {
        auto image =
            d.clock().runUntilDone(WindowScreenshotService::captureWindowThumbnail(pid, index, maxSize));
        return image ? *image : std::nullopt;
    }

    ScriptedDesktop d;
    SimulatedScreenCapture capture;
    DiagnosticsCapture diagnostics;
    qint32 pid = 0;
};

} // namespace

TEST_F(WindowScreenshotServiceTest, FitsTheLongerSide) {
    const std::tuple<QSizeF, double, QSize> cases[] = {
        {{1600, 1000}, 200, {200, 125}}, {{900, 1200}, 200, {150, 200}},  {{120, 80}, 200, {120, 80}},
        {{200, 200}, 200, {200, 200}},   {{1000, 1000}, 200, {200, 200}}, {{1000, 333}, 100, {100, 33}},
    };
    for (const auto& [size, maxSize, expected] : cases) {
        const quint32 window = d.addWindow(pid, QRectF(QPointF(10, 10), size), "Doc");
        const auto image = thumbnail(0, maxSize);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), expected);
        // The picture is the window's own: its colour fills the body.
        EXPECT_EQ(image->pixelColor(image->width() / 2, image->height() - 2).rgb(),
                  SimulatedScreenCapture::colourFor(window).rgb());
        d.desktop().removeWindow(window);
    }
}

TEST_F(WindowScreenshotServiceTest, CountsOnlyCapturableWindows) {
    const quint32 big = d.addWindow(pid, QRectF(0, 0, 400, 300), "Big");
    d.addWindow(pid, QRectF(0, 0, 30, 30), "Palette");
    SimulatedDesktop::Window hidden;
    hidden.frame = QRectF(0, 0, 400, 300);
    hidden.minimized = true;
    d.desktop().addWindow(pid, hidden);
    EXPECT_TRUE(thumbnail(0));
    EXPECT_FALSE(thumbnail(1));
    EXPECT_FALSE(thumbnail(-1));
    d.desktop().updateWindow(big, [](SimulatedDesktop::Window& w) { w.minimized = true; });
    EXPECT_FALSE(thumbnail(0));
    EXPECT_FALSE(thumbnail(0, std::nan("")));
    EXPECT_TRUE(diagnostics.lines().isEmpty());
}

TEST_F(WindowScreenshotServiceTest, FailuresArePrinted) {
    const quint32 window = d.addWindow(pid, QRectF(0, 0, 400, 300), "Doc");
    capture.setAccessGranted(false);
    EXPECT_FALSE(thumbnail(0));
    capture.setAccessGranted(true);
    capture.setCaptureFailure(window, "The stream stopped.");
    EXPECT_FALSE(thumbnail(0));
    EXPECT_EQ(diagnostics.lines(),
              (QStringList{
                  "[WindowScreenshotService] Failed to capture window: The user declined screen "
                  "recording access.",
                  "[WindowScreenshotService] Failed to capture window: The stream stopped.",
              }));
}
