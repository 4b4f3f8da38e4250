#include "Services/Restore/AppLauncher.h"

#include "RestoreFixture.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Storage/CapturedPrograms.h"
#include "Services/Storage/JsonSettingsFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class AppLauncherTest : public RestoreFixture {
protected:
    std::optional<RunningApplication> launch(const QString& id, const QStringList& documents = {}) {
        return run(AppLauncher::launchApp(id, documents));
    }
    SimulatedDesktop::InstalledApp mail() {
        SimulatedDesktop::InstalledApp app;
        app.bundleIdentifier = "org.example.Mail";
        app.name = "Mail";
        app.launchDelay = Clock::Duration(300);
        app.windowDelay = Clock::Duration(500);
        SimulatedDesktop::Window inbox;
        inbox.frame = QRectF(100, 100, 900, 600);
        app.windowsOnLaunch = {inbox};
        return app;
    }
};

struct LaunchCase {
    const char* name;
    std::function<void(SimulatedDesktop::InstalledApp&)> change;
    bool launches;
    qint64 elapsedMs;
    QStringList lines; // "%1" stands for the pid
};

TEST_F(AppLauncherTest, LaunchesInTheBackgroundAndLogsEachStep) {
    const QString begin = "launchApp: Launching org.example.Mail docs=0";
    const QList<LaunchCase> cases = {
        {"starts, finishes, shows its window",
         {},
         true,
         800,
         {begin, "launchApp: org.example.Mail launched (pid=%1, finishedLaunching=true)",
          "launchApp: org.example.Mail AX windows available: 1"}},
        {"never reports finished launching: taken at the deadline",
         [](auto& app) { app.finishLaunchingDelay = std::chrono::hours(1); },
         true,
         15000,
         {begin, "launchApp: org.example.Mail launched (pid=%1, finishedLaunching=false)",
          "launchApp: org.example.Mail AX windows available: 1"}},
        {"never appears",
         [](auto& app) { app.launchDelay = std::chrono::hours(1); },
         false,
         15000,
         {begin, "launchApp: ERROR — org.example.Mail did not appear within 15.0s timeout"}},
        {"refuses to launch",
         [](auto& app) { app.openError = "The application is damaged."; },
         false,
         0,
         {begin, "launchApp: ERROR — org.example.Mail threw: The application is damaged."}},
    };
    for (const LaunchCase& c : cases) {
        SCOPED_TRACE(c.name);
        AnalysisLogger::shared().beginSession(Workspace{});
        SimulatedDesktop::InstalledApp app = mail();
        if (c.change) {
            c.change(app);
        }
        desktop().installApplication(app);
        const qint64 start = elapsedMs();
        const std::optional<RunningApplication> launched = launch("org.example.Mail");
        EXPECT_EQ(launched.has_value(), c.launches);
        EXPECT_EQ(elapsedMs() - start, c.elapsedMs);
        QStringList expected;
        for (const QString& line : c.lines) {
            expected << QString(line).replace("%1",
                                              QString::number(launched ? launched->processIdentifier : 0));
        }
        EXPECT_EQ(restorerLines(), expected);
        EXPECT_FALSE(desktop().frontmostPid().has_value()); // never brought to the front
        if (auto* running = desktop().findApplication("org.example.Mail")) {
            desktop().removeApplication(running->pid);
        }
    }
}

TEST_F(AppLauncherTest, ReusesARunningAppAndFindsNoneUninstalled) {
    const qint32 pid = addApp("org.example.Editor", {QRectF(100, 100, 800, 600)});
    EXPECT_EQ(launch("org.example.Editor", {"file:///tmp/x.txt"})->processIdentifier, pid);
    EXPECT_FALSE(launch("org.example.Missing").has_value());
    EXPECT_EQ(
        restorerLines(),
        QStringList({QString("launchApp: org.example.Editor already running (pid=%1), ensuring controllable")
                         .arg(pid),
                     "launchApp: org.example.Editor ready with 1 AX window(s)",
                     "launchApp: ERROR — could not find app URL for org.example.Missing"}));
    EXPECT_EQ(elapsedMs(), 0);
}

struct ControllableCase {
    const char* name;
    bool hidden;
    QSizeF window;
    bool installed;
    qint64 elapsedMs;
    bool activated;
    // Its window is on a virtual desktop that is not shown.
    bool elsewhere = false;
    // It has no window left; reopened, it shows one at once.
    bool reopenShows = false;
};

TEST_F(AppLauncherTest, MakesAnAppControllableOneStepAtATime) {
    const QList<ControllableCase> cases = {
        {"visible", false, {800, 600}, true, 0, false},
        {"hidden, shows on un-hiding", true, {800, 600}, true, 0, false},
        {"only small windows, reopened", false, {120, 90}, true, 2000 + 1500 + 1000, true},
        {"only small windows, not installed", false, {120, 90}, false, 2000 + 1500, true},
        {"no window left, reopened, shows one", false, {120, 90}, true, 2000 + 1500, true, false, true},
        {"shown on a desktop not shown", false, {800, 600}, true, 0, false, true},
    };
    for (const ControllableCase& c : cases) {
        SCOPED_TRACE(c.name);
        const qint32 pid = addApp("org.example.Tool", {QRectF(QPointF(300, 300), c.window)});
        desktop().setHidden(pid, c.hidden);
        desktop().updateWindow(windowOf(pid),
                               [&c](SimulatedDesktop::Window& w) { w.onScreen = !c.elsewhere; });
        if (c.reopenShows) {
            desktop().removeWindow(windowOf(pid));
        }
        desktop().setFrontmost(std::nullopt);
        if (c.installed) {
            install("org.example.Tool",
                    c.reopenShows ? QList<QRectF>{QRectF(100, 100, 600, 400)} : QList<QRectF>{});
        }
        const qint64 start = elapsedMs();
        run(AppLauncher::ensureAppControllable(running(pid), "org.example.Tool"));
        EXPECT_EQ(elapsedMs() - start, c.elapsedMs);
        EXPECT_FALSE(desktop().application(pid)->hidden);
        EXPECT_EQ(desktop().frontmostPid() == pid, c.activated);
        desktop().removeApplication(pid);
        desktop().uninstallApplication("org.example.Tool");
    }
}

TEST_F(AppLauncherTest, WaitsForTheFirstInstanceOnly) {
    SimulatedDesktop::Application first;
    first.bundleIdentifier = "org.example.Twin";
    first.finishedLaunching = false;
    const qint32 a = desktop().addApplication(first);
    first.finishedLaunching = true;
    desktop().addApplication(first);
    const std::optional<RunningApplication> found =
        run(AppLauncher::waitForAppLaunch("org.example.Twin", 1.0));
    EXPECT_EQ(found->processIdentifier, a);
    EXPECT_EQ(elapsedMs(), 1000);
    EXPECT_FALSE(run(AppLauncher::waitForAppLaunch("org.example.None", 0)).has_value());
    run(AppLauncher::waitForAXWindows(running(a), 2.0));
    EXPECT_EQ(elapsedMs(), 3000);
}

// A workspace file may name any program and any file: a program known by its path is started only
// when a capture on this computer saw it running, and is handed a file only when it was seen
// started with one. Installed applications are started as ever.
TEST_F(AppLauncherTest, StartsAProgramByPathOnlyWhenACaptureSawIt) {
    QTemporaryDir files;
    QFile(files.filePath("notes.txt")).open(QIODevice::WriteOnly);
    QDir(files.path()).mkpath("folder");
    const QString file = QUrl::fromLocalFile(files.filePath("notes.txt")).toString();
    const QString folder = QUrl::fromLocalFile(files.filePath("folder")).toString();
    enum class Seen { never, withoutFiles, withFiles };
    const QString refusal = "launchApp: ERROR — not starting %1: a program without an installed entry is "
                            "started only after a capture on this computer saw it running";
    const struct {
        const char* name;
        QString id;
        Seen seen;
        bool launches;
        QStringList shown; // the documents its windows show
    } cases[] = {
        {"by path, never captured", "/opt/tool/tool", Seen::never, false, {}},
        {"by path, captured without files", "/opt/tool/tool", Seen::withoutFiles, true, {}},
        {"by path, captured with files: the file, not the folder",
         "/opt/tool/tool",
         Seen::withFiles,
         true,
         {file}},
        {"installed, never captured", "org.example.Tool", Seen::never, true, {file, folder}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JsonSettingsFormat::userSettings()->remove("capturedPrograms");
        if (c.seen != Seen::never) {
            CapturedPrograms::record(c.id, c.seen == Seen::withFiles);
        }
        AnalysisLogger::shared().beginSession(Workspace{});
        install(c.id, {QRectF(100, 100, 600, 400)});
        const std::optional<RunningApplication> launched = launch(c.id, {file, folder});
        EXPECT_EQ(launched.has_value(), c.launches);
        EXPECT_EQ(desktop().findApplication(c.id) != nullptr, c.launches);
        if (launched) {
            QStringList shown = AXWindowService::currentDocumentURLs(*launched);
            shown.removeAll(QString());
            EXPECT_EQ(shown, c.shown);
            desktop().removeApplication(launched->processIdentifier);
        } else {
            EXPECT_EQ(restorerLines(), QStringList{refusal.arg(c.id)});
        }
        // Never made controllable by a reopen either: a running program that shows no window
        // is left as it is.
        if (!c.launches) {
            const qint32 pid = addApp(c.id, {QRectF(300, 300, 120, 90)});
            run(AppLauncher::ensureAppControllable(running(pid), c.id));
            EXPECT_EQ(desktop().windowsOf(pid).size(), 1);
            const QString reopen = QString(refusal).replace("launchApp:", "ensureAppControllable:");
            EXPECT_TRUE(restorerLines().contains(reopen.arg(c.id)))
                << restorerLines().join('\n').toStdString();
            desktop().removeApplication(pid);
        }
        desktop().uninstallApplication(c.id);
    }
    JsonSettingsFormat::userSettings()->remove("capturedPrograms");
}

} // namespace
