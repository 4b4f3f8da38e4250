#include "ViewModels/WindowThumbnailLoader.h"
#include "ViewModels/ThumbnailQueue.h"

#include "Platform/Simulated/SimulatedScreenCapture.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/ScriptedDesktop.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class WindowThumbnailLoaderTest : public SimulatedDesktopFixture {
protected:
    WindowThumbnailLoaderTest()
        : capture(desktop()) {
        capture.installInto(platform());
        pid = addApp("org.example.Editor", {QRectF(0, 0, 1600, 1000), QRectF(0, 0, 900, 1200)});
    }

    bool settle() {
        return clock().runUntil([] { return ThumbnailQueue::pending() == 0; });
    }

    SimulatedScreenCapture capture;
    DiagnosticsCapture diagnostics;
    qint32 pid = 0;
};

} // namespace

TEST_F(WindowThumbnailLoaderTest, PicturesArriveAfterTheViewIsUpAtTwiceItsSize) {
    std::vector<std::unique_ptr<WindowThumbnailLoader>> loaders;
    for (int index : {0, 1, 2}) {
        loaders.push_back(std::make_unique<WindowThumbnailLoader>());
        loaders.back()->load(pid, index, 120);
    }
    // Nothing is captured while the views are being built.
    for (const auto& loader : loaders) {
        EXPECT_TRUE(loader->isLoading());
        EXPECT_FALSE(loader->hasThumbnail());
    }
    EXPECT_EQ(ThumbnailQueue::pending(), 3);
    ASSERT_TRUE(settle());
    EXPECT_EQ(loaders[0]->thumbnail().size(), QSize(240, 150));
    EXPECT_EQ(loaders[1]->thumbnail().size(), QSize(180, 240));
    EXPECT_FALSE(loaders[2]->isLoading()); // no third window: the placeholder
    EXPECT_FALSE(loaders[2]->hasThumbnail());
    loaders[2]->load(pid, 0, 120); // one load per view
    EXPECT_EQ(ThumbnailQueue::pending(), 0);
}

TEST_F(WindowThumbnailLoaderTest, NoPermissionOrAFailedCaptureShowsThePlaceholder) {
    capture.setAccessGranted(false);
    WindowThumbnailLoader refused;
    refused.load(pid, 0, 120);
    EXPECT_FALSE(refused.isLoading()); // at once, without asking for the permission
    EXPECT_FALSE(refused.hasThumbnail());
    EXPECT_EQ(capture.accessRequests(), 0);
    EXPECT_EQ(ThumbnailQueue::pending(), 0);

    capture.setAccessGranted(true);
    capture.setCaptureFailure(0, "The window is gone.");
    WindowThumbnailLoader failed;
    failed.load(pid, 0, 120);
    ASSERT_TRUE(settle());
    EXPECT_FALSE(failed.isLoading());
    EXPECT_FALSE(failed.hasThumbnail());
    EXPECT_TRUE(
        diagnostics.contains("[WindowScreenshotService] Failed to capture window: The window is gone."));
}

TEST_F(WindowThumbnailLoaderTest, AViewThatLeavesBeforeItsTurnTakesNoPicture) {
    auto first = std::make_unique<WindowThumbnailLoader>();
    auto gone = std::make_unique<WindowThumbnailLoader>();
    first->load(pid, 0, 120);
    gone->load(pid, 1, 120);
    gone.reset();
    capture.setCaptureFailure(0, "taken");
    ASSERT_TRUE(settle());
    // Only the view still on screen asked the capture service.
    EXPECT_EQ(diagnostics.lines(),
              QStringList({"[WindowScreenshotService] Failed to capture window: taken"}));
}

TEST_F(WindowThumbnailLoaderTest, APictureLeftWaitingOnAnEarlierDesktopHoldsNothingUp) {
    {
        ScriptedDesktop earlier; // its clock is never driven
        SimulatedScreenCapture earlierCapture(earlier.desktop());
        earlierCapture.installInto(earlier.platform());
        WindowThumbnailLoader stranded;
        stranded.load(earlier.addApp("org.example.Other", {QRectF(0, 0, 400, 300)}), 0, 120);
    }
    WindowThumbnailLoader loader;
    loader.load(pid, 0, 120);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(loader.hasThumbnail());
}
