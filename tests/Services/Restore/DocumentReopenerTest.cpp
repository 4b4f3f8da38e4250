#include "Services/Restore/DocumentReopener.h"

#include "RestoreFixture.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Storage/CapturedPrograms.h"
#include "Services/Storage/JsonSettingsFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

class DocumentReopenerTest : public RestoreFixture {
protected:
    DocumentReopenerTest() {
        QDir(files.path()).mkpath("folder");
        QDir(files.path()).mkpath("other");
        for (const char* name : {"a.txt", "b.txt", "c.txt", "run.sh"}) {
            QFile file(files.filePath(name));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
    QString url(const QString& name) { return QUrl::fromLocalFile(files.filePath(name)).toString(); }
    QStringList documentsOf(qint32 pid) { return AXWindowService::currentDocumentURLs(running(pid)); }
    // An installed application that is running without windows.
    qint32 start(const QString& id, std::function<void(SimulatedDesktop::InstalledApp&)> change = {}) {
        SimulatedDesktop::InstalledApp app;
        app.bundleIdentifier = id;
        app.name = id.section('.', -1);
        if (change) {
            change(app);
        }
        desktop().installApplication(app);
        return addApp(id, app.name);
    }

    QTemporaryDir files;
};

TEST_F(DocumentReopenerTest, HandsOnlyExistingFilesAndFoldersToApplications) {
    const QStringList documents{url("a.txt"),  "https://example.org/a.txt", url("gone.txt"), url("folder"),
                                url("run.sh"), "not a url at all"};
    EXPECT_EQ(DocumentReopener::admittedDocuments(documents, "org.example.Editor"),
              QStringList({url("a.txt"), url("folder"), url("run.sh")}));
    EXPECT_EQ(DocumentReopener::admittedDocuments(documents, "com.apple.Terminal"),
              QStringList{url("folder")});
    const QString refused = "openDocuments: refusing %1 for %2: %3";
    EXPECT_EQ(
        restorerLines(),
        QStringList(
            {refused.arg("https://example.org/a.txt", "org.example.Editor", "not a file URL"),
             refused.arg(url("gone.txt"), "org.example.Editor", "no such file or folder"),
             refused.arg("not a url at all", "org.example.Editor", "not a file URL"),
             refused.arg(url("a.txt"), "com.apple.Terminal", "not a folder (the terminal would run it)"),
             refused.arg("https://example.org/a.txt", "com.apple.Terminal", "not a file URL"),
             refused.arg(url("gone.txt"), "com.apple.Terminal", "no such file or folder"),
             refused.arg(url("run.sh"), "com.apple.Terminal", "not a folder (the terminal would run it)"),
             refused.arg("not a url at all", "com.apple.Terminal", "not a file URL")}));
}

// Only regular files and folders reach an application (a device or a pipe would have an editor
// read for ever); a program started by its path gets only regular files, and only when a capture
// saw it started with one.
TEST_F(DocumentReopenerTest, HandsOnlyRegularFilesAndToProgramsByPathOnlyWhatTheyWereSeenWith) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(files.filePath("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", files.filePath("zero-link")));
    ASSERT_TRUE(QFile::link(files.filePath("a.txt"), files.filePath("a-link.txt")));
    const QStringList all{url("pipe"),       "file:///dev/zero", url("zero-link"),
                          url("a-link.txt"), url("a.txt"),       url("folder")};
    enum class Seen { never, withoutFiles, withFiles };
    const struct {
        const char* name;
        QString id;
        Seen seen;
        QStringList admitted;
    } cases[] = {
        {"installed", "org.example.Editor", Seen::never, {url("a-link.txt"), url("a.txt"), url("folder")}},
        {"installed, also when a path of the same name was captured",
         "org.example.Editor",
         Seen::withFiles,
         {url("a-link.txt"), url("a.txt"), url("folder")}},
        {"by path, never captured", "/opt/tool/tool", Seen::never, {}},
        {"by path, captured without files", "/opt/tool/tool", Seen::withoutFiles, {}},
        {"by path, captured with files",
         "/opt/tool/tool",
         Seen::withFiles,
         {url("a-link.txt"), url("a.txt")}},
    };
    for (const auto& c : cases) {
        JsonSettingsFormat::userSettings()->remove("capturedPrograms");
        if (c.seen != Seen::never) {
            CapturedPrograms::record(c.id == "org.example.Editor" ? "/usr/bin/editor" : c.id,
                                     c.seen == Seen::withFiles);
        }
        EXPECT_EQ(DocumentReopener::admittedDocuments(all, c.id), c.admitted) << c.name;
    }
    JsonSettingsFormat::userSettings()->remove("capturedPrograms");
    const QString refused = "openDocuments: refusing %1 for %2: %3";
    EXPECT_TRUE(restorerLines().contains(
        refused.arg("file:///dev/zero", "org.example.Editor", "not a regular file or folder")));
    EXPECT_TRUE(restorerLines().contains(
        refused.arg(url("a.txt"), "/opt/tool/tool", "no capture saw the program started with a file")));
    EXPECT_TRUE(restorerLines().contains(refused.arg(
        url("folder"), "/opt/tool/tool", "not a regular file (the program was seen started with files)")));
}

TEST_F(DocumentReopenerTest, OpensWhatIsNotShownOneByOne) {
    const qint32 pid = start("org.example.Editor");
    run(DocumentReopener::openDocuments({url("a.txt")}, running(pid), "org.example.Editor"));
    EXPECT_EQ(documentsOf(pid), QStringList{url("a.txt")});

    run(DocumentReopener::openDocuments({url("a.txt"), url("b.txt"), url("gone.txt"), url("c.txt")},
                                        running(pid), "org.example.Editor"));
    EXPECT_EQ(documentsOf(pid), QStringList({url("a.txt"), url("b.txt"), url("c.txt")}));
    EXPECT_EQ(elapsedMs(), 0); // the refused document is not waited for

    // Everything shown already: nothing is opened.
    run(DocumentReopener::openDocuments({url("c.txt"), url("a.txt")}, running(pid), "org.example.Editor"));
    EXPECT_EQ(desktop().windowsOf(pid).size(), 3);
}

TEST_F(DocumentReopenerTest, OpensTerminalFoldersInTurnAndWaitsForTheLogin) {
    const qint32 pid = start("com.apple.Terminal", [](SimulatedDesktop::InstalledApp& app) {
        app.windowDelay = Clock::Duration(300);
        app.loginPhase = Clock::Duration(2000);
    });
    run(DocumentReopener::openDocuments({url("folder"), url("other")}, running(pid), "com.apple.Terminal"));
    // Each folder waits for its own window (300 ms), and the next one is opened as soon as it shows.
    EXPECT_EQ(elapsedMs(), 2 * 300);
    EXPECT_EQ(documentsOf(pid), QStringList({url("folder"), url("other")}));
    EXPECT_EQ(AXWindowService::currentWindowTitles(running(pid)), QStringList({"login", "login"}));

    // Nothing expected, and still the windows' logins are waited for: the second one ends at
    // 300 + 300 + 2000 ms; polls come every 300 ms from 600 ms.
    run(DocumentReopener::waitForTerminalLogin(running(pid), {}));
    EXPECT_EQ(elapsedMs(), 2700);
    run(DocumentReopener::waitForTerminalLogin(running(pid), {url("other") + "/", url("folder")}));
    EXPECT_EQ(elapsedMs(), 2700);
    EXPECT_EQ(AXWindowService::currentWindowTitles(running(pid)), QStringList({"folder", "other"}));
}

TEST_F(DocumentReopenerTest, ATerminalWindowAtItsLoginHoldsThePairingWhateverTheCase) {
    struct Case {
        const char* title;
        qint64 waitedMs;
    };
    // The window leaves its prompt after 900 ms; the wait polls every 300 ms.
    for (const Case& c : {Case{"login", 900}, Case{"Last Login: Mon on ttys001", 900}, Case{"me@host: ~", 0},
                          Case{"LOGIN", 0}}) {
        SCOPED_TRACE(c.title);
        const qint32 pid = start("com.apple.Terminal");
        SimulatedDesktop::Window window;
        window.frame = QRectF(100, 100, 600, 400);
        window.title = QString::fromUtf8(c.title);
        desktop().removeWindowLater(desktop().addWindow(pid, window), Clock::Duration(900));
        const qint64 before = elapsedMs();
        run(DocumentReopener::waitForTerminalLogin(running(pid), {}));
        EXPECT_EQ(elapsedMs() - before, c.waitedMs);
        desktop().removeApplication(pid);
    }
}

TEST_F(DocumentReopenerTest, AFolderShownTwiceCountsOnceInTheTerminalsWait) {
    // Each new window shows after 300 ms, and the next one or the final wait follows at once; the
    // final wait ends at once instead of running its 10 seconds.
    const struct {
        const char* name;
        int shownBefore; // windows already on "folder"
        QStringList saved;
        qint64 waitedMs;
        QStringList shown;
    } cases[] = {
        {"shown twice", 2, {url("folder"), url("other")}, 300, {url("folder"), url("folder"), url("other")}},
        {"saved twice", 0, {url("folder"), url("folder")}, 2 * 300, {url("folder"), url("folder")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qint32 pid = start("com.apple.Terminal", [](SimulatedDesktop::InstalledApp& app) {
            app.windowDelay = Clock::Duration(300);
        });
        for (int i = 0; i < c.shownBefore; ++i) {
            SimulatedDesktop::Window window;
            window.frame = QRectF(100 + 20 * i, 100, 600, 400);
            window.title = "folder";
            window.document = url("folder");
            desktop().addWindow(pid, window);
        }
        const qint64 before = elapsedMs();
        run(DocumentReopener::openDocuments(c.saved, running(pid), "com.apple.Terminal"));
        EXPECT_EQ(elapsedMs() - before, c.waitedMs);
        EXPECT_EQ(documentsOf(pid), c.shown);
        desktop().removeApplication(pid);
    }
}

TEST_F(DocumentReopenerTest, DocumentsOpenBehindTheApplicationInFront) {
    const qint32 front = addApp("org.example.Mail", {QRectF(0, 30, 500, 400)});
    desktop().setFrontmost(front);
    const qint32 editor = start("org.example.Editor");
    run(DocumentReopener::openDocuments({url("a.txt"), url("b.txt")}, running(editor), "org.example.Editor"));
    EXPECT_EQ(documentsOf(editor), QStringList({url("a.txt"), url("b.txt")}));
    EXPECT_EQ(desktop().frontmostPid(), front);
}

} // namespace
