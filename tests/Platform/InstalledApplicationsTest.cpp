// The installed applications of the Linux desktop, read through GIO. No X session is needed: these
// run offscreen, with the data folders of the test alone.
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/InstalledEntries.h"
#include "Platform/Linux/InstalledTerminals.h"
#include "Platform/Linux/LinuxInstalledApplications.h"
#include "Platform/Linux/ProgramCommand.h"

#include "Support/DiagnosticsCapture.h"
#include "Support/OwnProcess.h"
#include "Support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

void PrintTo(const InstalledApplications::Application& app, std::ostream* os) {
    *os << (app.identifier + " | " + app.name + " | " + app.icon).toStdString();
}

namespace {

using App = InstalledApplications::Application;

void write(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

QByteArray entry(const QByteArray& name, const QByteArray& extra = {}) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\n" + extra;
}

TEST(LinuxInstalledApplications, ListsWhatGlibReadsAsTheLauncherDoes) {
    if (!OwnProcess::runsHere()) {
        return;
    }
    // The folders are read once per process, at the first look: they are set up before it.
    QTemporaryDir systemData;
    ::setenv("XDG_DATA_DIRS", systemData.path().toUtf8().constData(), 1);
    const QString user = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/applications";
    const QString system = systemData.filePath("applications");

    write(user + "/org.example.Editor.desktop", entry("My Editor", "Icon=/icons/editor.png\n"));
    write(system + "/org.example.Editor.desktop", entry("System Editor"));
    // A hidden entry in the user's folder removes the system's copy.
    write(user + "/gone.desktop", entry("Gone", "Hidden=true\n"));
    write(system + "/gone.desktop", entry("Gone Again"));
    write(system + "/helper.desktop", entry("Helper", "NoDisplay=true\n"));
    write(system + "/link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=https://x\n");
    write(system + "/kde/konsole.desktop", entry("Konsole", "Icon=utilities-terminal\n"));
    write(system + "/missing-program.desktop", entry("Missing", "TryExec=/nonexistent/program\n"));
    // What a reader of its own would get wrong: the second of two Name keys, a repeated group
    // that hides the entry, a line without "=", escapes.
    write(system + "/two-names.desktop", entry("First", "Name=Second\n"));
    write(system + "/repeated.desktop",
          entry("Repeated") + "[Desktop Action new]\nName=New\nExec=true\n[Desktop Entry]\nHidden=true\n");
    write(system + "/no-equals.desktop", entry("No Equals", "this line has no equals sign\n"));
    write(system + "/escapes.desktop", entry("Tab\\there\\sand\\\\slash"));

    const QList<App> read = LinuxInstalledApplications::read();
    QList<App> ours;
    for (const App& app : read) {
        if (QFileInfo(DesktopEntries::find(app.identifier).value_or(DesktopEntry{}).filePath)
                .absolutePath()
                .startsWith(QFileInfo(systemData.path()).absolutePath()) ||
            app.identifier == "org.example.Editor.desktop") {
            ours.append(app);
        }
    }
    std::sort(ours.begin(), ours.end(),
              [](const App& a, const App& b) { return a.identifier < b.identifier; });
    EXPECT_EQ(ours, (QList<App>{
                        {"escapes.desktop", "Tab\there and\\slash", ""},
                        {"kde-konsole.desktop", "Konsole", "utilities-terminal"},
                        {"org.example.Editor.desktop", "My Editor", "/icons/editor.png"},
                        {"two-names.desktop", "Second", ""},
                    }));
    // Every application offered is one the launcher and the running programs' identities know by
    // that identifier and name.
    for (const App& app : ours) {
        const std::optional<DesktopEntry> known = DesktopEntries::find(app.identifier);
        ASSERT_TRUE(known) << app.identifier.toStdString();
        EXPECT_EQ(known->name, app.name);
    }
    for (const char* id :
         {"gone.desktop", "repeated.desktop", "no-equals.desktop", "missing-program.desktop"}) {
        EXPECT_FALSE(DesktopEntries::find(id)) << id;
    }

    // The asynchronous form delivers the same list.
    EXPECT_EQ(QCoro::waitFor(LinuxInstalledApplications().applications()).size(), read.size());
}

TEST(LinuxInstalledApplications, TheMailProgramIsTheDefaultHandlerOfMailtoLinks) {
    // In a process of its own, GLib reads these folders afresh.
    if (!OwnProcess::runsHere()) {
        return;
    }
    QTemporaryDir systemData;
    ::setenv("XDG_DATA_DIRS", systemData.path().toUtf8().constData(), 1);
    LinuxInstalledApplications installed;
    EXPECT_EQ(installed.defaultApplicationFor("mailto"), std::nullopt);
    EXPECT_EQ(installed.defaultApplicationFor("no-such-scheme"), std::nullopt);
}

TEST(LinuxInstalledApplications, AMailProgramSetUpIsFound) {
    if (!OwnProcess::runsHere()) {
        return;
    }
    QTemporaryDir systemData;
    ::setenv("XDG_DATA_DIRS", systemData.path().toUtf8().constData(), 1);
    write(systemData.filePath("applications/mailer.desktop"),
          entry("Mailer", "MimeType=x-scheme-handler/mailto;\n"));
    write(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/mimeapps.list",
          "[Default Applications]\nx-scheme-handler/mailto=mailer.desktop\n");
    EXPECT_EQ(LinuxInstalledApplications().defaultApplicationFor("mailto"), QString("mailer.desktop"));
}

// The entries are read once and again when a folder changes, as the launcher reads them: through
// linked subfolders and a data folder's link pointed elsewhere, an entry that does not load hiding
// none of its id.
TEST(LinuxInstalledApplications, EntriesAreReadAgainWhenTheirFoldersChange) {
    if (!OwnProcess::runsHere()) {
        return;
    }
    QTemporaryDir root;
    const QString data = root.filePath("data");
    ASSERT_TRUE(QFile::link(root.filePath("first"), data));
    // A data folder without an applications folder yet.
    ::setenv("XDG_DATA_DIRS", (data + ':' + root.filePath("third")).toUtf8().constData(), 1);
    const QString user = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/applications";
    const auto program = [&root](const char* name) {
        const QString path = root.filePath(QString::fromLatin1(name));
        write(path, "#!/bin/sh\n");
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
        return QFileInfo(path).canonicalFilePath();
    };
    const auto terminal = [](const QString& exec, const QByteArray& extra = {}) {
        return "[Desktop Entry]\nType=Application\nName=T\nCategories=TerminalEmulator;\nExec=" +
               QFile::encodeName(exec) + '\n' + extra;
    };
    write(root.filePath("more/linked.desktop"), terminal(program("linkedterm")));
    write(user + "/term.desktop", terminal(program("userterm"), "TryExec=/nonexistent/term\n"));
    write(root.filePath("first/applications/term.desktop"), terminal(program("systemterm")));
    ASSERT_TRUE(QFile::link(root.filePath("more"), root.filePath("first/applications/linked")));
    write(root.filePath("second/applications/other.desktop"), terminal(program("otherterm")));
    QDir().mkpath(root.filePath("second/applications/sub"));
    EXPECT_EQ(InstalledTerminals::programs(), (QSet<QString>{program("linkedterm"), program("systemterm")}));
    ASSERT_TRUE(QFile::remove(data) && QFile::link(root.filePath("second"), data));
    EXPECT_EQ(InstalledTerminals::programs(), QSet<QString>{program("otherterm")});
    write(root.filePath("second/applications/sub/late.desktop"), terminal(program("lateterm")));
    EXPECT_EQ(InstalledTerminals::programs(), (QSet<QString>{program("otherterm"), program("lateterm")}));
    // An applications folder made after the first look, and an entry linked from elsewhere, count;
    // a folder reached twice through links is read once.
    write(root.filePath("third/applications/third.desktop"), terminal(program("thirdterm")));
    EXPECT_TRUE(InstalledTerminals::programs().contains(program("thirdterm")));
    ASSERT_TRUE(QFile::link(root.filePath("more/linked.desktop"), user + "/linked-file.desktop"));
    ASSERT_TRUE(QFile::link(root.filePath("more"), user + "/more") &&
                QFile::link(root.filePath("more"), user + "/more-again"));
    EXPECT_EQ(InstalledTerminals::programs(), (QSet<QString>{program("otherterm"), program("lateterm"),
                                                             program("thirdterm"), program("linkedterm")}));
    const auto readOf = [](const QString& file) {
        const std::shared_ptr<const QList<InstalledEntry>> all = InstalledEntries::all();
        return std::count_if(all->cbegin(), all->cend(), [&file](const InstalledEntry& installed) {
            return QFileInfo(installed.entry.filePath).canonicalFilePath() ==
                   QFileInfo(file).canonicalFilePath();
        });
    };
    EXPECT_EQ(readOf(root.filePath("more/linked.desktop")), 2); // as itself, and as linked-file.desktop
    ASSERT_TRUE(QFile::remove(user + "/linked-file.desktop"));
    EXPECT_EQ(readOf(root.filePath("more/linked.desktop")), 1);

    // An entry is found by its class or id before another's Exec, and never by a bare interpreter.
    const ProgramCommand tool = ProgramCommand::ofArguments(program("tool"), {}, {});
    const auto found = [&tool](const QString& instance) {
        return DesktopEntries::findForProgram(instance, QString(), tool).value_or(DesktopEntry()).id;
    };
    EXPECT_EQ(found("tool"), QString());
    write(user + "/a-runs-tool.desktop", entry("Runs", "Exec=" + QFile::encodeName(tool.executable) + '\n'));
    EXPECT_EQ(found("tool"), QString("a-runs-tool.desktop"));
    write(user + "/b.tool.desktop", entry("By Id"));
    write(user + "/c.desktop", entry("By Class", "StartupWMClass=tool\n"));
    EXPECT_EQ(found("tool"), QString("c.desktop"));
    EXPECT_EQ(found("b.tool"), QString("b.tool.desktop"));
    const QString shell = QFileInfo("/bin/sh").canonicalFilePath();
    write(user + "/shell.desktop", entry("Shell", "Exec=" + QFile::encodeName(shell) + '\n'));
    EXPECT_EQ(DesktopEntries::findForProgram({}, {}, ProgramCommand{shell, {}, false}), std::nullopt);
}

// Links that lead back above themselves in the applications folders make GIO's reader of the entries
// walk them for minutes, and a FIFO among the files it opens (an entry, a list of default
// applications) holds it for ever, holding whoever asked (the start, on the main thread): while they
// are there no entry is read, and a diagnostic names them.
TEST(LinuxInstalledApplications,
     WhatWouldHoldTheDesktopsReaderLeavesTheEntriesUnreadInsteadOfHoldingTheCaller) {
    if (!OwnProcess::runsHere()) {
        return;
    }
    QTemporaryDir systemData;
    ::setenv("XDG_DATA_DIRS", systemData.path().toUtf8().constData(), 1);
    ::setenv("XDG_CURRENT_DESKTOP", "Test:Other", 1);
    const QString user = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/applications";
    const QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    ASSERT_TRUE(QDir().mkpath(config) && QDir().mkpath(user + "/sub"));
    write(user + "/org.example.Editor.desktop", entry("My Editor"));
    const auto fifo = [](const QString& path) {
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    };
    const struct {
        const char* what;
        std::function<bool()> make;
        QStringList named;
    } rows[] = {
        {"links back up",
         [&] { return QFile::link("..", user + "/loop") && QFile::link("../..", user + "/loop2"); },
         {user + "/loop", user + "/loop2"}},
        {"a FIFO entry in a subfolder",
         [&] { return fifo(user + "/sub/a.desktop"); },
         {user + "/sub/a.desktop"}},
        {"a link to a FIFO",
         [&] { return fifo(config + "/f") && QFile::link(config + "/f", user + "/b.desktop"); },
         {user + "/b.desktop"}},
        {"a device",
         [&] { return QFile::link("/dev/zero", user + "/mimeinfo.cache"); },
         {user + "/mimeinfo.cache"}},
        {"the user's default applications, for the desktop running",
         [&] { return fifo(config + "/test-mimeapps.list"); },
         {config + "/test-mimeapps.list"}},
        // GIO opens no other file there: a program kept beside the entries holds nothing.
        {"a FIFO of another name", [&] { return fifo(user + "/tool"); }, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(row.make());
        const DiagnosticsCapture printed;
        EXPECT_EQ(DesktopEntries::fromFile(user + "/org.example.Editor.desktop").has_value(),
                  row.named.isEmpty());
        EXPECT_EQ(DesktopEntries::find("org.example.Editor.desktop").has_value(), row.named.isEmpty());
        EXPECT_EQ(LinuxInstalledApplications::read().isEmpty(), !row.named.isEmpty());
        EXPECT_EQ(InstalledEntries::unreadable(), row.named);
        ASSERT_EQ(printed.lines().size(), row.named.isEmpty() ? 0 : 1);
        if (row.named.isEmpty()) {
            continue;
        }
        EXPECT_TRUE(printed.lines().first().endsWith(row.named.join(", ")))
            << printed.lines().first().toStdString();
        // Without them, the entries are read.
        for (const QString& path : row.named) {
            ASSERT_TRUE(QFile::remove(path));
        }
        EXPECT_EQ(DesktopEntries::find("org.example.Editor.desktop").value_or(DesktopEntry()).name,
                  "My Editor");
    }
}

} // namespace
