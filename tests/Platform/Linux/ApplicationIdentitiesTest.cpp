#include "Platform/Linux/ApplicationIdentities.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Platform/Linux/ProgramCommand.h"
#include "Services/Restore/OtherApplications.h"
#include "Services/Storage/SettingsManager.h"
#include "Support/X11DesktopTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

namespace {

QString canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

// What a process runs, read from a command line as /proc would give it.
TEST(ProgramCommand, TellsScriptsOfOneInterpreterApart) {
    QTemporaryDir dir;
    for (const char* name : {"tool.py", "other.py", "app.jar", "run.sh", "Tool.java", "java"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString d = dir.path();
    const struct {
        const char* name;
        QString executable;
        QStringList arguments;
        QString script;
        bool jar;
    } cases[] = {
        {"a script by relative path",
         "/usr/bin/python3.11",
         {"-u", "tool.py", "--verbose"},
         d + "/tool.py",
         false},
        {"an option with its value first",
         "/usr/bin/python3.11",
         {"-W", "ignore", "other.py"},
         d + "/other.py",
         false},
        {"a jar", "/usr/lib/jvm/bin/java", {"-Xmx1g", "-jar", d + "/app.jar"}, d + "/app.jar", true},
        {"a class, not a file", "/usr/lib/jvm/bin/java", {"-cp", d, "org.example.Main"}, "", false},
        {"a shell script", "/usr/bin/dash", {d + "/./run.sh"}, d + "/run.sh", false},
        {"a command string", "/usr/bin/bash", {"-c", "run.sh"}, "", false},
        {"a module", "/usr/bin/python3", {"-m", "http.server"}, "", false},
        {"a script that is not there", "/usr/bin/perl", {"gone.pl"}, "", false},
        {"not an interpreter", "/usr/bin/xterm", {"tool.py"}, "", false},
        {"after --", "/usr/bin/node", {"--", "tool.py"}, d + "/tool.py", false},
        // The interpreter's own options, as each interpreter reads them.
        {"python's -O", "/usr/bin/python3", {"-O", "tool.py"}, d + "/tool.py", false},
        {"python's -I", "/usr/bin/python3", {"-I", "tool.py"}, d + "/tool.py", false},
        {"python's options run together",
         "/usr/bin/python3",
         {"-uBW", "ignore", "tool.py"},
         d + "/tool.py",
         false},
        {"bash's -x", "/usr/bin/bash", {"-x", "run.sh"}, d + "/run.sh", false},
        {"sh's -e, as '#!/bin/sh -e' starts it",
         "/usr/bin/dash",
         {"-e", d + "/run.sh"},
         d + "/run.sh",
         false},
        {"bash's -o with its value", "/usr/bin/bash", {"-eo", "pipefail", "run.sh"}, d + "/run.sh", false},
        {"a command string among options", "/usr/bin/bash", {"-ec", "run.sh"}, "", false},
        {"perl's -I with its value", "/usr/bin/perl", {"-I", d, "tool.py"}, d + "/tool.py", false},
        {"ruby's -I with its value", "/usr/bin/ruby", {"-I", "run.sh", "tool.py"}, d + "/tool.py", false},
        {"java's source file", "/usr/lib/jvm/bin/java", {"Tool.java"}, d + "/Tool.java", false},
        {"java's class named like a file", "/usr/lib/jvm/bin/java", {"tool.py"}, "", false},
        {"java has no --", "/usr/lib/jvm/bin/java", {"--", "Tool.java"}, "", false},
    };
    for (const auto& c : cases) {
        const ProgramCommand command = ProgramCommand::ofArguments(c.executable, c.arguments, d);
        EXPECT_EQ(command.script, c.script) << c.name;
        EXPECT_EQ(command.jar, c.jar) << c.name;
        EXPECT_EQ(command.executable, c.executable) << c.name;
        // Started again from what it is, it reads back as that.
        EXPECT_EQ(ProgramCommand::ofArguments(c.executable, command.arguments(), QString()), command)
            << c.name;
    }

    // A script whose first line gives its interpreter an option is started that way by the kernel.
    QFile shebang(dir.filePath(QStringLiteral("strict.sh")));
    ASSERT_TRUE(shebang.open(QIODevice::WriteOnly));
    shebang.write("#!/bin/sh -e\necho ready\nread line\n");
    shebang.close();
    shebang.setPermissions(shebang.permissions() | QFileDevice::ExeOwner);
    QProcess started;
    started.start(shebang.fileName(), {});
    // Started is not yet running: the kernel lets go of the starter before it has written the
    // new command line, so the script says when it runs.
    ASSERT_TRUE(started.waitForReadyRead());
    EXPECT_EQ(ProgramCommand::ofProcess(qint32(started.processId())),
              (ProgramCommand{canonical("/bin/sh"), shebang.fileName(), false}));
    started.closeWriteChannel();
    EXPECT_TRUE(started.waitForFinished());

    // The identifier names the program again, and nothing else does.
    const QString dash = canonical(QStringLiteral("/bin/sh"));
    const ProgramCommand script{dash, d + "/run.sh", false};
    EXPECT_EQ(script.identifier(), dash + " " + d + "/run.sh");
    EXPECT_EQ(ProgramCommand::fromIdentifier(script.identifier()), script);
    EXPECT_EQ(script.arguments(), QStringList{d + "/run.sh"});
    EXPECT_EQ(script.displayName(), QStringLiteral("run.sh"));
    EXPECT_EQ(ProgramCommand::fromIdentifier(dash), (ProgramCommand{dash, QString(), false}));
    // A java that runs a file as a class does not read it back as its script.
    const QString java = d + "/java";
    QFile::setPermissions(java, QFile::permissions(java) | QFileDevice::ExeOwner);
    EXPECT_TRUE(ProgramCommand::fromIdentifier(java + " " + d + "/Tool.java"));
    // Blanks and interpreters' names by the hundred thousand are refused at once, not in hours.
    const QString endless = (dash + u' ').repeated(150000);
    for (const QString& wrong :
         {dash + " " + d + "/missing.sh", dash + " run.sh", dash + " " + d + "/../x",
          dash + " " + d + "/./run.sh", QStringLiteral("/usr/bin/xterm ") + d + "/run.sh", d + "/run.sh",
          QStringLiteral("debian-xterm.desktop"), java + " " + d + "/tool.py", endless}) {
        EXPECT_FALSE(ProgramCommand::fromIdentifier(wrong)) << wrong.left(200).toStdString();
    }
}

// Programs copied under names of their own, with desktop entries whose ids are unlike their
// window classes, in the test's data folder.
class ApplicationIdentitiesTest : public X11DesktopTest {
protected:
    void SetUp() override {
        X11DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        entries = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                  QStringLiteral("/applications");
        QDir().mkpath(entries);
    }

    // A copy of the test window program named name; its path.
    QString program(const QString& name) {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(QFile::copy(testWindowProgram(), path));
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
        return path;
    }
    void entry(const QString& id, const QByteArray& body) {
        QFile file(entries + u'/' + id);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\n" + body);
    }
    RunningApplication app(qint32 pid) {
        return applications->application(pid).value_or(RunningApplication());
    }

    QTemporaryDir folder;
    QString entries;
};

TEST_F(ApplicationIdentitiesTest, AProgramIsItsDesktopEntryHoweverItWasStarted) {
    const QString pad = program(QStringLiteral("scenepad"));
    const QString tool = program(QStringLiteral("other-tool"));
    const QString classy = program(QStringLiteral("classy"));
    const QString wrapped = program(QStringLiteral("wrapped-tool"));
    const QString niced = program(QStringLiteral("niced-tool"));
    // Found by the last part of its id, like org.xfce.mousepad for the class "Mousepad".
    entry("org.example.ScenePad.desktop", "Name=Scene Pad\nExec=" + QFile::encodeName(pad) + " %F\n");
    // Found by its Exec only.
    entry("org.example.Unrelated.desktop",
          "Name=Unrelated Tool\nExec=" + QFile::encodeName(tool) + " --caption X %U\n");
    entry("org.example.Wrapped.desktop",
          "Name=Wrapped\nExec=env LANG=C " + QFile::encodeName(wrapped) + " %U\n");
    entry("org.example.Niced.desktop",
          "Name=Niced\nExec=nice -n 5 ionice -c3 " + QFile::encodeName(niced) + " %U\n");
    // Found by its StartupWMClass, although another entry's Exec starts the same program.
    entry("org.example.ByClass.desktop", "Name=By Class\nStartupWMClass=classy\nExec=/bin/false\n");
    entry("org.example.ClassyExec.desktop", "Name=Classy Exec\nExec=" + QFile::encodeName(classy) + "\n");

    const qint32 padPid = start(pad);
    const qint32 toolPid = start(tool);
    const qint32 classyPid = start(classy);
    const qint32 wrappedPid = start(wrapped);
    const qint32 nicedPid = start(niced);
    // The launcher's note comes first, whatever the window says.
    const qint32 notedPid =
        start(QStringLiteral("/usr/bin/env"),
              {"GIO_LAUNCHED_DESKTOP_FILE=" + entries + "/org.example.ByClass.desktop", pad});
    const qint32 plainPid = start(testWindowProgram());
    for (const qint32 pid : {padPid, toolPid, classyPid, wrappedPid, nicedPid, notedPid, plainPid}) {
        waitForWindows(pid);
    }
    const X11Client padWindow = waitForWindows(padPid).value(0);
    EXPECT_EQ(padWindow.wmClass, QStringLiteral("scenepad"));

    EXPECT_EQ(app(padPid).bundleIdentifier, QStringLiteral("org.example.ScenePad.desktop"));
    EXPECT_EQ(app(padPid).localizedName, QStringLiteral("Scene Pad"));
    EXPECT_EQ(app(toolPid).bundleIdentifier, QStringLiteral("org.example.Unrelated.desktop"));
    EXPECT_EQ(app(classyPid).bundleIdentifier, QStringLiteral("org.example.ByClass.desktop"));
    EXPECT_EQ(app(wrappedPid).bundleIdentifier, QStringLiteral("org.example.Wrapped.desktop"));
    EXPECT_EQ(app(nicedPid).bundleIdentifier, QStringLiteral("org.example.Niced.desktop"));
    EXPECT_EQ(app(notedPid).bundleIdentifier, QStringLiteral("org.example.ByClass.desktop"));
    EXPECT_EQ(app(plainPid).bundleIdentifier, canonical(testWindowProgram()));
    // The entry stands for the program started by path too.
    EXPECT_EQ(applications->identifiersOf(QStringLiteral("org.example.ScenePad.desktop")),
              (QStringList{"org.example.ScenePad.desktop", canonical(pad)}));
    EXPECT_EQ(applications->identifiersOf(canonical(pad)), QStringList{canonical(pad)});
}

TEST_F(ApplicationIdentitiesTest, TwoScriptsOfOneInterpreterAreTwoApplications) {
    QStringList scripts;
    for (const char* name : {"tool-a.sh", "tool-b.sh"}) {
        scripts << folder.filePath(QString::fromLatin1(name));
        QFile file(scripts.last());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // Short sleeps: a signal ends the script at once, and no child outlives it for long.
        file.write("while :; do sleep 0.2; done\n");
    }
    const QString shell = canonical(QStringLiteral("/bin/sh"));
    ApplicationIdentities identities;
    const auto identity = [&](qint32 pid) {
        // The kernel shows the interpreter as soon as it runs.
        waitUntil([&] { return LinuxProcess::executable(pid) == shell; });
        return identities.identify(pid, QString(), QString());
    };
    const ApplicationIdentities::Identity a = identity(start(QStringLiteral("/bin/sh"), {scripts[0]}));
    const ApplicationIdentities::Identity b = identity(start(QStringLiteral("/bin/sh"), {scripts[1]}));
    EXPECT_EQ(a.identifier, shell + u' ' + scripts[0]);
    EXPECT_EQ(a.name, QStringLiteral("tool-a.sh"));
    EXPECT_EQ(b.identifier, shell + u' ' + scripts[1]);

    // Started again from its identifier, it runs the same script and is known by it.
    const std::optional<QUrl> url = applications->urlForApplication(*a.identifier);
    ASSERT_TRUE(url);
    ASSERT_TRUE(QCoro::waitFor(applications->openApplication(*url, false)).succeeded);
    std::optional<RunningApplication> relaunched;
    for (const RunningApplication& running : applications->runningApplications()) {
        if (running.bundleIdentifier == a.identifier) {
            relaunched = running;
        }
    }
    ASSERT_TRUE(relaunched);
    EXPECT_EQ(LinuxProcess::commandLine(relaunched->processIdentifier).value(1),
              QFile::encodeName(scripts[0]));
    EXPECT_TRUE(applications->terminate(relaunched->processIdentifier));
    EXPECT_TRUE(waitUntil([&] { return !LinuxProcess::isAlive(relaunched->processIdentifier); }));
}

TEST_F(ApplicationIdentitiesTest, AnExcludedApplicationIsNeverQuitWhateverItIsKnownBy) {
    ASSERT_TRUE(installProductionPlatform());
    const QString pad = program(QStringLiteral("scenepad"));
    const QString tool = program(QStringLiteral("other-tool"));
    entry("org.example.scenepad.desktop", "Name=Scene Pad\nExec=" + QFile::encodeName(pad) + "\n");
    entry("org.example.Unrelated.desktop", "Name=Unrelated Tool\nExec=" + QFile::encodeName(tool) + "\n");
    SettingsManager().setExcludedAppBundleIDs(
        {"org.example.scenepad.desktop", "org.example.Unrelated.desktop"});

    RunningApplications& apps = *Platform::current().runningApplications;
    // Started from a shell: known by its entry. Started by Ordella from its path (as a workspace
    // saved before may name it): known by its path, and protected by its entry all the same.
    const qint32 padPid = start(pad);
    ASSERT_TRUE(QCoro::waitFor(apps.openApplication(QUrl::fromLocalFile(tool), false)).succeeded);
    const qint32 other = start(testWindowProgram());
    const qint32 xcalc = start(QStringLiteral("xcalc"));
    qint32 toolPid = 0;
    ASSERT_TRUE(waitUntil([&] {
        for (const RunningApplication& app : apps.runningApplications()) {
            if (app.bundleIdentifier == canonical(tool) && app.isFinishedLaunching) {
                toolPid = app.processIdentifier;
            }
        }
        return toolPid != 0;
    }));
    for (const qint32 pid : {padPid, other, xcalc}) {
        waitForWindows(pid);
    }

    QCoro::waitFor(OtherApplications::closeAppsNotInWorkspace(Workspace()));
    EXPECT_TRUE(waitUntil([&] { return !LinuxProcess::isAlive(other) && !LinuxProcess::isAlive(xcalc); }));
    for (const qint32 pid : {padPid, toolPid}) {
        EXPECT_TRUE(LinuxProcess::isAlive(pid)) << pid;
        // Only hidden, as every excluded application is.
        EXPECT_TRUE(waitUntil([&] { return apps.application(pid).value_or(RunningApplication()).isHidden; }))
            << pid;
    }
    ::kill(toolPid, SIGTERM);
}

TEST_F(ApplicationIdentitiesTest, AnUnhideShowsWhatTheHidesMinimisedAndNothingElse) {
    const qint32 pid = start(testWindowProgram(), {QStringLiteral("--count"), QStringLiteral("3")});
    const QList<X11Client> shown = waitForWindows(pid, 3);
    ASSERT_EQ(shown.size(), 3);
    const auto minimised = [this](xcb_window_t window) {
        return windows->client(window).value_or(X11Client()).minimized;
    };
    // The user minimised one window himself.
    windows->minimize(shown[2].window);
    ASSERT_TRUE(waitUntil([&] { return minimised(shown[2].window); }));

    // Hidden twice (a restore's two passes), then shown again.
    EXPECT_TRUE(applications->hide(pid));
    ASSERT_TRUE(waitUntil([&] { return app(pid).isHidden; }));
    EXPECT_TRUE(applications->hide(pid));
    EXPECT_TRUE(applications->unhide(pid));
    EXPECT_TRUE(waitUntil([&] { return !minimised(shown[0].window) && !minimised(shown[1].window); }));
    EXPECT_TRUE(minimised(shown[2].window));

    // Without a hide to undo, only the front window comes back.
    windows->minimize(shown[0].window);
    windows->minimize(shown[1].window);
    ASSERT_TRUE(waitUntil([&] { return app(pid).isHidden; }));
    EXPECT_TRUE(applications->unhide(pid));
    EXPECT_TRUE(waitUntil([&] { return !app(pid).isHidden; }));
    int stillMinimised = 0;
    for (const X11Client& window : shown) {
        stillMinimised += minimised(window.window) ? 1 : 0;
    }
    EXPECT_EQ(stillMinimised, 2);
}

TEST_F(ApplicationIdentitiesTest, AProgramThatClosedItsWindowsStaysUntilItEnds) {
    const qint32 pid = start(testWindowProgram(), {QStringLiteral("--keep-running")});
    const xcb_window_t window = waitForWindows(pid).value(0).window;
    ASSERT_TRUE(app(pid).isFinishedLaunching);
    // A spy, not a lambda on a local: the signal may still come once the body has ended.
    const QSignalSpy terminated(applications.get(), &RunningApplications::applicationTerminated);

    windows->close(window);
    ASSERT_TRUE(waitUntil([&] { return !windows->client(window); }));
    EXPECT_TRUE(LinuxProcess::isAlive(pid));
    const RunningApplication windowless = app(pid);
    EXPECT_EQ(windowless.processIdentifier, pid);
    EXPECT_EQ(windowless.bundleIdentifier, canonical(testWindowProgram()));
    EXPECT_TRUE(windowless.isFinishedLaunching);
    EXPECT_FALSE(terminated.contains(QVariantList{pid}));

    // Asked to quit, it gets a signal, as it has no window to close.
    EXPECT_TRUE(applications->terminate(pid));
    EXPECT_TRUE(waitUntil([&] { return !LinuxProcess::isAlive(pid); }));
    EXPECT_FALSE(applications->application(pid));
}

} // namespace
