#include "Services/Desktop/AXWindowService.h"
#include "Platform/Platform.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/ScriptedDesktop.h"

namespace {

class AXWindowServiceTest : public SimulatedDesktopFixture {
protected:
    AXWindowServiceTest() { addScreen(1440, 900); }

    RunningApplication app(qint32 pid) { return *platform().runningApplications->application(pid); }
    SimulatedDesktop::Window& window(qint32 pid, int index) {
        return *desktop().window(desktop().windowsOf(pid)[index]);
    }
    AXElement element(qint32 pid, int index) { return AXElement{desktop().windowsOf(pid)[index]}; }

    DiagnosticsCapture diagnostics;
};

TEST_F(AXWindowServiceTest, CaptureSkipsSmallWindowsAndKeepsTrueIndexes) {
    // A screen without a display number beside the main one.
    Screen unnumbered;
    unnumbered.identity = QUuid::createUuid();
    unnumbered.frame = QRectF(1440, 0, 1000, 900);
    desktop().addScreen(unnumbered);
    const qint32 pid =
        addApp("org.example.App",
               {QRectF(10, 20, 49.9, 300), QRectF(100, 100, 50, 50), QRectF(0, 0, 300, 49.9),
                QRectF(200, 150, 800, 600), QRectF(2000, 2000, 400, 300), QRectF(1600, 100, 400, 300)},
               {"tiny", "square"});
    window(pid, 3).document = "file:///home/u/a.txt";
    window(pid, 3).minimized = true;

    const QList<WindowSnapshot> windows = AXWindowService::captureWindows(app(pid));
    ASSERT_EQ(windows.size(), 4);
    EXPECT_EQ(windows[0].windowIndex, 1);
    EXPECT_EQ(windows[0].windowTitle, "square");
    EXPECT_EQ(windows[0].frame, (SnapshotRect{100, 100, 50, 50}));
    EXPECT_EQ(windows[0].displayUUID, "11111111-2222-3333-4444-555555555555");
    EXPECT_EQ(windows[1].windowIndex, 3);
    EXPECT_EQ(windows[1].windowTitle, std::nullopt);
    EXPECT_EQ(windows[1].documentURL, "file:///home/u/a.txt");
    EXPECT_TRUE(windows[1].isMinimized);
    EXPECT_TRUE(windows[1].tabSnapshots.isEmpty());
    EXPECT_FALSE(windows[1].spaceIndex.has_value());
    // Centres on no screen, and on a screen without a number.
    EXPECT_EQ(windows[2].windowIndex, 4);
    EXPECT_EQ(windows[2].displayUUID, std::nullopt);
    EXPECT_EQ(windows[3].windowIndex, 5);
    EXPECT_EQ(windows[3].displayUUID, std::nullopt);
    EXPECT_NE(windows[0].id, windows[1].id);

    // A title the application does not give is "" in the title list, one entry per window.
    EXPECT_EQ(AXWindowService::currentWindowTitles(app(pid)),
              QStringList({"tiny", "square", QString(), QString(), QString(), QString()}));
    EXPECT_EQ(AXWindowService::currentDocumentURLs(app(pid)), QStringList({"file:///home/u/a.txt"}));
}

TEST_F(AXWindowServiceTest, UnreachableOrWindowlessApplications) {
    const qint32 empty = addApp("org.example.Empty");
    desktop().application(empty)->faults.windowListError = AXError::NoValue;
    EXPECT_TRUE(AXWindowService::captureWindows(app(empty)).isEmpty());
    EXPECT_FALSE(AXWindowService::hasOnlyTransientWindows(app(empty)));
    EXPECT_FALSE(AXWindowService::restoreWindow(app(empty), 0, QRectF(0, 0, 100, 100)));
    EXPECT_EQ(diagnostics.lines(),
              QStringList({QStringLiteral("[AXWindowService.restoreWindow] Cannot get window list for pid=%1")
                               .arg(empty)}));

    diagnostics.clear();
    desktop().application(empty)->faults.windowListError = AXError::CannotComplete;
    EXPECT_FALSE(AXWindowService::restoreWindow(app(empty), 0, QRectF(0, 0, 100, 100)));
    EXPECT_EQ(
        diagnostics.lines(),
        QStringList(
            {QStringLiteral("[AXWindowService.restoreWindow] Cannot get AX app for pid=%1").arg(empty)}));

    const qint32 pid = addApp("org.example.App", {QRectF(0, 0, 400, 300)});
    desktop().setTrusted(false);
    EXPECT_TRUE(AXWindowService::captureWindows(app(pid)).isEmpty());
    EXPECT_FALSE(AXWindowService::axWindowList(app(pid)).has_value());
    EXPECT_TRUE(AXWindowService::currentWindowTitles(app(pid)).isEmpty());
}

TEST_F(AXWindowServiceTest, FailedPositionWriteStillWritesTheSize) {
    const qint32 pid = addApp("org.example.App", {QRectF(0, 0, 400, 300)}, {"Doc"});
    window(pid, 0).faults.writeErrors.insert("AXPosition", AXError::CannotComplete);

    EXPECT_FALSE(AXWindowService::setWindowFrame(element(pid, 0), QRectF(50, 60, 700, 500)));
    EXPECT_EQ(window(pid, 0).frame, QRectF(0, 0, 700, 500));
    EXPECT_EQ(diagnostics.lines(),
              QStringList(
                  {"[AXWindowService.setWindowFrame] FAILED — posResult=-25204, sizeResult=0",
                   QStringLiteral("[AXWindowService.setWindowFrame] Window info — title=Doc, role=AXWindow, "
                                  "subrole=AXStandardWindow")}));

    diagnostics.clear();
    window(pid, 0).subrole.reset();
    window(pid, 0).title.reset();
    window(pid, 0).faults.writeErrors.insert("AXSize", AXError::IllegalArgument);
    EXPECT_FALSE(AXWindowService::setWindowFrame(element(pid, 0), QRectF(50, 60, 700, 500)));
    EXPECT_EQ(diagnostics.lines().last(),
              QStringLiteral(
                  "[AXWindowService.setWindowFrame] Window info — title=nil, role=AXWindow, subrole=nil"));

    // A frame that is not made of numbers is never written.
    diagnostics.clear();
    window(pid, 0).faults.writeErrors.clear();
    EXPECT_FALSE(AXWindowService::setWindowFrame(element(pid, 0), QRectF(qQNaN(), 0, 100, 100)));
    EXPECT_EQ(diagnostics.lines(),
              QStringList({"[AXWindowService.setWindowFrame] Failed to create AXValue"}));
    EXPECT_EQ(window(pid, 0).frame, QRectF(0, 0, 700, 500));
}

TEST_F(AXWindowServiceTest, RestoreWindowChecksTheIndex) {
    const qint32 pid = addApp("org.example.App", {QRectF(0, 0, 400, 300), QRectF(10, 10, 400, 300)});
    for (const qint64 index : {qint64(2), qint64(-1)}) {
        diagnostics.clear();
        EXPECT_FALSE(AXWindowService::restoreWindow(app(pid), index, QRectF(0, 0, 100, 100)));
        EXPECT_EQ(
            diagnostics.lines(),
            QStringList(
                {QStringLiteral("[AXWindowService.restoreWindow] pid=%1, windowList.count=2, requested "
                                "index=%2")
                     .arg(QString::number(pid), QString::number(index)),
                 QStringLiteral("[AXWindowService.restoreWindow] Window index %1 out of bounds (2 windows)")
                     .arg(index)}));
    }

    EXPECT_TRUE(AXWindowService::restoreWindow(app(pid), 1, QRectF(300, 200, 640, 480)));
    EXPECT_EQ(window(pid, 1).frame, QRectF(300, 200, 640, 480));
    EXPECT_TRUE(window(pid, 1).main);
    EXPECT_TRUE(window(pid, 1).focused);
    EXPECT_EQ(desktop().stackingOrder().first(), desktop().windowsOf(pid)[1]);

    AXWindowService::raiseWindow(app(pid), 0);
    EXPECT_EQ(desktop().stackingOrder().first(), desktop().windowsOf(pid)[0]);
    AXWindowService::raiseWindow(app(pid), 5);
    EXPECT_EQ(desktop().stackingOrder().first(), desktop().windowsOf(pid)[0]);
}

TEST_F(AXWindowServiceTest, FramesOfTheWrongTypeAreReportedAndLeftOut) {
    const qint32 pid = addApp("org.example.App", {QRectF(0, 0, 400, 300), QRectF(10, 10, 400, 300)});
    window(pid, 0).faults.readOverrides.insert("AXSize", AXResult::success(AXValue::string("big")));
    EXPECT_EQ(AXWindowService::windowFrame(element(pid, 0)), std::nullopt);
    EXPECT_EQ(diagnostics.lines(),
              QStringList(
                  {QStringLiteral("[AXWindowService.windowFrame] Unexpected AX value types — pos typeID: 67, "
                                  "size typeID: 7")}));
    // A position given as a size is a geometry value but not a point.
    window(pid, 0).faults.readOverrides.insert("AXSize", AXResult::success(AXValue::point(QPointF())));
    EXPECT_EQ(AXWindowService::windowFrame(element(pid, 0)), std::nullopt);
    EXPECT_EQ(AXWindowService::currentWindowFrames(app(pid)), QList<QRectF>({QRectF(10, 10, 400, 300)}));
}

TEST_F(AXWindowServiceTest, BooleansReadFalseUnlessTheyAreTrueBooleans) {
    const qint32 pid = addApp("org.example.App", {QRectF(0, 0, 400, 300)});
    const struct {
        AXResult answer;
        bool expected;
    } cases[] = {
        {AXResult::success(AXValue::boolean(true)), true},
        {AXResult::success(AXValue::boolean(false)), false},
        {AXResult::success(AXValue::string("true")), false},
        {AXResult::success(AXValue::number(1)), false},
        {AXResult::success(AXValue()), false},
        {AXResult::failure(AXError::CannotComplete), false},
    };
    for (const auto& c : cases) {
        window(pid, 0).faults.readOverrides.insert("AXMinimized", c.answer);
        window(pid, 0).faults.readOverrides.insert("AXFullScreen", c.answer);
        EXPECT_EQ(AXWindowService::isMinimized(element(pid, 0)), c.expected);
        EXPECT_EQ(AXWindowService::isFullScreen(element(pid, 0)), c.expected);
    }
}

TEST_F(AXWindowServiceTest, TransientWindowsAreThoseWithoutAStandardSubrole) {
    const qint32 pid = addApp("org.example.App", {QRectF(0, 0, 400, 300), QRectF(0, 0, 400, 300)});
    const struct {
        std::optional<QString> first;
        std::optional<QString> second;
        bool transient;
    } cases[] = {
        {"AXStandardWindow", "AXDialog", false},
        {"AXDialog", "AXFloatingWindow", true},
        {std::nullopt, "AXDialog", true},
        {"AXDialog", "AXStandardWindow", false},
    };
    for (const auto& c : cases) {
        window(pid, 0).subrole = c.first;
        window(pid, 1).subrole = c.second;
        EXPECT_EQ(AXWindowService::hasOnlyTransientWindows(app(pid)), c.transient);
    }
}

TEST_F(AXWindowServiceTest, StateChangesAndTheirFailures) {
    const qint32 pid = addApp("org.example.App", {QRectF(0, 0, 400, 300)});
    EXPECT_TRUE(AXWindowService::minimize(element(pid, 0)));
    EXPECT_TRUE(window(pid, 0).minimized);
    EXPECT_TRUE(AXWindowService::deminimize(element(pid, 0)));
    EXPECT_FALSE(window(pid, 0).minimized);

    window(pid, 0).faults.writeErrors.insert("AXMinimized", AXError::CannotComplete);
    window(pid, 0).faults.writeErrors.insert("AXFullScreen", AXError::AttributeUnsupported);
    EXPECT_FALSE(AXWindowService::minimize(element(pid, 0)));
    EXPECT_FALSE(AXWindowService::deminimize(element(pid, 0)));
    EXPECT_FALSE(AXWindowService::exitFullScreen(element(pid, 0)));
    EXPECT_EQ(diagnostics.lines(),
              QStringList({"[AXWindowService.minimize] Failed with result: -25204",
                           "[AXWindowService.deminimize] Failed with result: -25204",
                           "[AXWindowService.exitFullScreen] Failed with result: -25205"}));
}

} // namespace
