#include "Platform/Platform.h"
#include "Platform/Simulated/SimulatedScene.h"
#include "Services/Scripting/BrowserScriptService.h"
#include "Services/Scripting/FinderScriptService.h"
#include "Support/ScriptTestHelpers.h"
#include "Support/ScriptedDesktop.h"

#include <QJsonDocument>

namespace {

class SimulatedDesktopTest : public SimulatedDesktopFixture {
protected:
    Accessibility& ax() { return *platform().accessibility; }
    RunningApplications& apps() { return *platform().runningApplications; }

    QList<AXElement> axWindows(qint32 pid) {
        return ax()
            .copyAttributeValue(ax().applicationElement(pid), "AXWindows")
            .value.toElements()
            .value_or(QList<AXElement>());
    }
    QString title(AXElement window) {
        return ax().copyAttributeValue(window, "AXTitle").value.toString().value_or(QString());
    }
    QRectF frame(AXElement window) {
        const auto pos = ax().copyAttributeValue(window, "AXPosition").value.toPoint();
        const auto size = ax().copyAttributeValue(window, "AXSize").value.toSize();
        return pos && size ? QRectF(*pos, *size) : QRectF();
    }
    qint32 pidOf(const QString& bundleIdentifier) {
        const SimulatedDesktop::Application* app = desktop().findApplication(bundleIdentifier);
        return app ? app->pid : 0;
    }
};

TEST_F(SimulatedDesktopTest, DemoSceneReadsBackThroughThePorts) {
    loadScene(SimulatedScene::demoScenePath());

    const QList<RunningApplication> running = apps().runningApplications();
    ASSERT_EQ(running.size(), 6);
    EXPECT_EQ(running[0].bundleIdentifier, "org.example.Editor");
    EXPECT_TRUE(running[4].isHidden);
    EXPECT_EQ(running[5].activationPolicy, ActivationPolicy::Accessory);
    EXPECT_EQ(apps().frontmostApplication()->bundleIdentifier, "org.example.Editor");

    const QList<AXElement> editor = axWindows(pidOf("org.example.Editor"));
    ASSERT_EQ(editor.size(), 2);
    EXPECT_EQ(title(editor[0]), "notes.txt");
    EXPECT_EQ(frame(editor[1]), QRectF(1600, 120, 1000, 800));
    EXPECT_EQ(ax().copyAttributeValue(editor[0], "AXDocument").value.toString(),
              "file:///home/demo/notes.txt");

    // Front to back: the applications in scene order; the hidden one's window is not on screen.
    const auto list = platform().windowServer->windowList(WindowServer::OnScreenWindows);
    ASSERT_TRUE(list.has_value());
    ASSERT_EQ(list->size(), 8);
    EXPECT_EQ(list->first().name, "notes.txt");
    EXPECT_EQ(list->last().name, "Clipboard");
    EXPECT_EQ(platform().windowServer->windowList(WindowServer::OptionAll)->size(), 9);

    const QList<Screen> screens = platform().screens->screens();
    ASSERT_EQ(screens.size(), 2);
    EXPECT_EQ(screens[1].frame, QRectF(1440, 0, 1920, 1080));
    EXPECT_EQ(screens[0].identity, QUuid::fromString("37D8832A-2D66-02CA-B9F7-8F30A301B230"));
    EXPECT_EQ(platform().screens->mainScreen(), screens[0]);

    // Tabs and folders of the scene belong to its own windows.
    const auto tabs = clock().runUntilDone(BrowserScriptService::captureTabs("com.google.Chrome"));
    ASSERT_TRUE(tabs);
    EXPECT_EQ(tabUrls(*tabs),
              (QList<QStringList>{{"https://example.org/release-notes*", "https://example.org/tracker"},
                                  {"https://mail.example.org/inbox*"}}));
    const auto folders = clock().runUntilDone(FinderScriptService::captureWindows());
    ASSERT_TRUE(folders);
    EXPECT_EQ(*folders, (QList<FinderScriptService::FinderWindowInfo>{
                            {"/home/demo/Projects/", {300, 400, 760, 420}, "Projects"}}));
}

TEST_F(SimulatedDesktopTest, FaultyScenesNameTheEntryAndChangeNothing) {
    const struct {
        const char* json;
        const char* error;
    } cases[] = {
        {R"({"applications": [{"name": "A", "windows": [{"frame": {"x": 1}}]}]})",
         "applications[0].windows[0].frame"},
        {R"({"screens": [{"identity": "{11111111-2222-3333-4444-555555555555}", "frame": {"x":0,"y":0,"width":1,"height":1}}]})",
         "screens[0].identity"},
        {R"({"applications": [{"bundleIdentifier": "a", "activationPolicy": "sometimes"}]})",
         "applications[0].activationPolicy"},
        {R"({"applications": [{"name": "A", "running": false}]})", "applications[0]"},
        {R"({"applications": [{"bundleIdentifier": "a", "launchDelay": -1}]})",
         "applications[0].launchDelay"},
        // Numbers far out of range are refused before any conversion.
        {R"({"mainScreen": 1e10})", "scene.mainScreen"},
        {R"({"mainScreen": 0.5})", "scene.mainScreen"},
        {R"({"applications": [{"bundleIdentifier": "a", "pid": -1e300}]})", "applications[0].pid"},
    };
    for (const auto& c : cases) {
        const auto result = SimulatedScene::load(QJsonDocument::fromJson(c.json).object(), desktop());
        EXPECT_FALSE(result.ok) << c.json;
        EXPECT_TRUE(result.error.startsWith(QString::fromUtf8(c.error))) << result.error.toStdString();
    }
    EXPECT_TRUE(desktop().applicationPids().isEmpty());
    EXPECT_FALSE(SimulatedScene::loadFile("/nonexistent/scene.json", desktop()).ok);
}

TEST_F(SimulatedDesktopTest, LaunchRunsOnTheClock) {
    loadScene(SimulatedScene::demoScenePath());
    auto installed = *desktop().installedApplication("org.example.Mail");
    installed.finishLaunchingDelay = Clock::seconds(0.5);
    installed.windowDelay = Clock::seconds(0.5);
    desktop().installApplication(installed);

    const QUrl url = *apps().urlForApplication("org.example.Mail");
    const auto opened = clock().runUntilDone(apps().openApplication(url, false));
    ASSERT_TRUE(opened && opened->succeeded);
    EXPECT_EQ(pidOf("org.example.Mail"), 0);

    clock().advanceBy(Clock::seconds(1.5));
    const qint32 pid = pidOf("org.example.Mail");
    ASSERT_NE(pid, 0);
    EXPECT_FALSE(apps().application(pid)->isFinishedLaunching);
    EXPECT_TRUE(axWindows(pid).isEmpty());
    // Launched in the background: the active application stays in front.
    EXPECT_EQ(apps().frontmostApplication()->bundleIdentifier, "org.example.Editor");

    clock().advanceBy(Clock::seconds(0.5));
    EXPECT_TRUE(apps().application(pid)->isFinishedLaunching);
    ASSERT_EQ(axWindows(pid).size(), 1);
    EXPECT_EQ(platform().windowServer->windowList(WindowServer::OnScreenWindows)->first().name, "notes.txt");

    // Documents open as windows of their own in the running application.
    const auto docs =
        clock().runUntilDone(apps().openDocuments({QUrl("file:///home/demo/a.txt")}, url, false));
    ASSERT_TRUE(docs && docs->succeeded);
    clock().advanceBy(Clock::seconds(1.5));
    ASSERT_EQ(axWindows(pid).size(), 2);
    EXPECT_EQ(title(axWindows(pid)[1]), "a.txt");

    const auto missing = clock().runUntilDone(apps().openApplication(QUrl("file:///nowhere"), true));
    EXPECT_FALSE(missing->succeeded);
    EXPECT_FALSE(apps().urlForApplication("org.example.Missing").has_value());
}

TEST_F(SimulatedDesktopTest, MovesAreClampedDelayedOrIgnored) {
    addScreen();
    const qint32 pid = addApp("org.example.App",
                              {QRectF(0, 0, 500, 400), QRectF(10, 10, 500, 400), QRectF(20, 20, 500, 400)});
    const QList<quint32> numbers = desktop().windowsOf(pid);
    desktop().window(numbers[0])->faults.minimumSize = QSizeF(300, 200);
    desktop().window(numbers[1])->faults.moveDelay = Clock::seconds(0.3);
    desktop().window(numbers[2])->faults.ignoresMoves = true;

    const QList<AXElement> windows = axWindows(pid);
    for (const AXElement& w : windows) {
        EXPECT_EQ(ax().setAttributeValue(w, "AXPosition", AXValue::point(QPointF(100, 50))), 0);
        EXPECT_EQ(ax().setAttributeValue(w, "AXSize", AXValue::size(QSizeF(100, 100))), 0);
    }
    EXPECT_EQ(frame(windows[0]), QRectF(100, 50, 300, 200));
    EXPECT_EQ(frame(windows[1]), QRectF(10, 10, 500, 400));
    clock().advanceBy(Clock::seconds(0.3));
    EXPECT_EQ(frame(windows[1]), QRectF(100, 50, 100, 100));
    EXPECT_EQ(frame(windows[2]), QRectF(20, 20, 500, 400));

    // Raising brings a window to the front; the application's own list order stays.
    EXPECT_EQ(ax().performAction(windows[2], "AXRaise"), 0);
    EXPECT_EQ(desktop().stackingOrder().first(), numbers[2]);
    EXPECT_EQ(axWindows(pid), windows);

    desktop().removeWindow(numbers[2]);
    EXPECT_EQ(ax().copyAttributeValue(windows[2], "AXTitle").error, AXError::InvalidUIElement);
}

TEST_F(SimulatedDesktopTest, MinimiseFullScreenAndFocus) {
    addScreen(1440, 900);
    const qint32 pid = addApp("org.example.App", {QRectF(100, 100, 400, 300), QRectF(0, 0, 400, 300)});
    const QList<AXElement> w = axWindows(pid);
    desktop().window(desktop().windowsOf(pid)[0])->faults.stateChangeDelay = Clock::seconds(1);

    ax().setAttributeValue(w[0], "AXMinimized", AXValue::boolean(true));
    EXPECT_EQ(ax().copyAttributeValue(w[0], "AXMinimized").value.toBool(), false);
    clock().advanceBy(Clock::seconds(1));
    EXPECT_EQ(ax().copyAttributeValue(w[0], "AXMinimized").value.toBool(), true);
    EXPECT_EQ(platform().windowServer->windowList(WindowServer::OnScreenWindows)->size(), 1);

    ax().setAttributeValue(w[1], "AXFullScreen", AXValue::boolean(true));
    EXPECT_EQ(frame(w[1]), QRectF(0, 0, 1440, 900));
    ax().setAttributeValue(w[1], "AXFullScreen", AXValue::boolean(false));
    EXPECT_EQ(frame(w[1]), QRectF(0, 0, 400, 300));

    ax().setAttributeValue(w[0], "AXMain", AXValue::boolean(true));
    ax().setAttributeValue(w[1], "AXMain", AXValue::boolean(true));
    EXPECT_EQ(ax().copyAttributeValue(w[0], "AXMain").value.toBool(), false);
    EXPECT_EQ(ax().copyAttributeValue(w[1], "AXMain").value.toBool(), true);
}

TEST_F(SimulatedDesktopTest, QuitHideActivateAndTrust) {
    const qint32 a = addApp("org.example.A", {QRectF(0, 0, 300, 300)});
    const qint32 b = addApp("org.example.B", {QRectF(0, 0, 300, 300)});
    desktop().application(b)->faults.refusesQuit = true;

    EXPECT_TRUE(apps().activate(b, RunningApplications::ActivateIgnoringOtherApps));
    EXPECT_EQ(apps().frontmostApplication()->processIdentifier, b);
    EXPECT_EQ(platform().windowServer->windowList(WindowServer::OnScreenWindows)->first().ownerPID, b);

    EXPECT_TRUE(apps().hide(b));
    EXPECT_EQ(apps().frontmostApplication()->processIdentifier, a);
    EXPECT_TRUE(apps().terminate(b));
    EXPECT_TRUE(apps().application(b).has_value());
    EXPECT_TRUE(apps().forceTerminate(b));
    EXPECT_FALSE(apps().application(b).has_value());
    EXPECT_TRUE(apps().terminate(a));
    EXPECT_TRUE(apps().runningApplications().isEmpty());
    EXPECT_FALSE(apps().hide(a));

    desktop().setTrusted(false);
    EXPECT_FALSE(ax().isProcessTrusted());
    EXPECT_EQ(ax().copyAttributeValue(ax().applicationElement(a), "AXWindows").error, AXError::APIDisabled);
}

TEST_F(SimulatedDesktopTest, PortsAnnounceChangesAndLateWindowsAppear) {
    addScreen();
    QList<qint32> launched;
    QList<qint32> terminated;
    int screenChanges = 0;
    QObject::connect(platform().runningApplications.get(), &RunningApplications::applicationLaunched,
                     [&launched](qint32 pid) { launched.append(pid); });
    QObject::connect(platform().runningApplications.get(), &RunningApplications::applicationTerminated,
                     [&terminated](qint32 pid) { terminated.append(pid); });
    QObject::connect(platform().screens.get(), &Screens::screensChanged,
                     [&screenChanges] { ++screenChanges; });

    const qint32 pid = addApp("org.example.App");
    SimulatedDesktop::Window late;
    late.frame = QRectF(0, 0, 300, 200);
    desktop().addWindowLater(pid, late, Clock::seconds(2));
    clock().advanceBy(Clock::seconds(1.9));
    EXPECT_TRUE(axWindows(pid).isEmpty());
    clock().advanceBy(Clock::seconds(0.1));
    EXPECT_EQ(axWindows(pid).size(), 1);

    desktop().removeScreen(1);
    EXPECT_TRUE(platform().screens->screens().isEmpty());
    EXPECT_FALSE(platform().screens->mainScreen().has_value());
    apps().forceTerminate(pid);
    EXPECT_EQ(launched, QList<qint32>({pid}));
    EXPECT_EQ(terminated, QList<qint32>({pid}));
    EXPECT_EQ(screenChanges, 1);
}

} // namespace
