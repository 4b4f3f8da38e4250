#include "Platform/Linux/DocumentHandOver.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Way = DocumentHandOver::Way;

bool write(const QString& path, const QByteArray& contents, bool executable = false) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) {
        return false;
    }
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

// A saved document reaches an application only where a file manager would offer it, never an
// application that would run it, and never when it is itself a program or a file of the kernel.
TEST(DocumentHandOver, HandsDocumentsOnlyToApplicationsThatDeclareThemAndNeverRunThem) {
    // GIO reads the entries at its first look: they are written before it.
    const QString entries = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/applications");
    ASSERT_TRUE(QDir().mkpath(entries));
    const QString tool = entries + QStringLiteral("/tool.py");
    ASSERT_TRUE(write(tool, "import sys\n"));
    // Programs that need not be installed, under their own names (GIO offers no entry whose
    // program is missing).
    const auto fake = [&entries](const char* name) {
        return QFile::encodeName(entries + u'/' + QLatin1String(name));
    };
    const QByteArray wine = fake("wine");
    const QByteArray sudo = fake("sudo");
    const QByteArray viewer = fake("shotwell");
    const QByteArray tclsh = fake("tclsh");
    const QByteArray wish = fake("wish8.6");
    for (const QByteArray& program : {wine, sudo, viewer, tclsh, wish}) {
        ASSERT_TRUE(write(QFile::decodeName(program), "#!/bin/sh\n", true));
    }
    const std::pair<const char*, QByteArray> installed[] = {
        {"org.example.Editor", "Exec=true %F\nMimeType=text/plain;\n"},
        {"org.example.ScriptEditor",
         "Exec=true "
         "%F\nMimeType=text/plain;application/x-shellscript;\nCategories=Development;TextEditor;\n"},
        {"org.example.Loader",
         "Exec=" + wine + " start /unix %f\nMimeType=application/x-ms-dos-executable;\n"},
        {"org.example.NicePython", "Exec=nice python3 %f\nMimeType=text/plain;\n"},
        {"org.example.Wrapped",
         "Exec=env -u X LANG=C ionice -c3 chrt --idle 0 timeout -s KILL 9 stdbuf -oL python3 %f\n"
         "MimeType=text/plain;\n"},
        {"org.example.Tool",
         "Exec=nice -n 5 python3 " + QFile::encodeName(tool) + " %f\nMimeType=text/plain;\n"},
        {"org.example.Split", "Exec=env -S \"python3 -u\" %f\nMimeType=text/plain;\n"},
        {"org.example.Awk", "Exec=awk -f %f\nMimeType=text/plain;\n"},
        {"org.example.Tcl", "Exec=" + tclsh + " %f\nMimeType=text/plain;\n"},
        {"org.example.Wish", "Exec=" + wish + "\nMimeType=text/plain;\n"},
        {"org.example.UShell", "Exec=uxterm -e sh %f\nMimeType=text/plain;\n"},
        {"org.example.Sudo", "Exec=" + sudo + " -E python3 %f\nMimeType=text/plain;\n"},
        {"org.example.TermByProgram", "Exec=false -hold %f\nMimeType=text/plain;\n"},
        {"org.example.Inside", "Exec=true --open=%f\nMimeType=text/plain;\n"},
        {"org.example.Viewer", "Exec=" + viewer + " %U\nMimeType=text/plain;\n"},
        {"org.example.Player", "Exec=true --mode=gui -- %U\nMimeType=text/plain;\n"},
        {"org.example.Python", "Exec=python3\nTerminal=true\n"},
        {"org.example.Shell", "Exec=sh %f\nMimeType=text/plain;application/x-shellscript;\n"},
        {"org.example.Term", "Exec=false\nCategories=System;TerminalEmulator;\n"},
        {"org.example.Chosen", "Exec=x-terminal-emulator\n"},
        {"org.example.Files", "Exec=true %U\nMimeType=inode/directory;\n"},
        {"org.example.NoTypes", "Exec=true %F\n"},
    };
    for (const auto& [id, body] : installed) {
        ASSERT_TRUE(write(entries + u'/' + QLatin1String(id) + QStringLiteral(".desktop"),
                          "[Desktop Entry]\nType=Application\nName=" + QByteArray(id) + '\n' + body));
    }
    QTemporaryDir dir;
    const auto at = [&dir](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("folder")));
    ASSERT_TRUE(write(at("notes.txt"), "six years of work\n"));
    ASSERT_TRUE(write(at("main.c"), "int main(void) { return 0; }\n"));
    ASSERT_TRUE(write(at("evil.py"), "import os\n"));
    ASSERT_TRUE(write(at("run.sh"), "#!/bin/sh\n"));
    ASSERT_TRUE(write(at("tool"), "#!/bin/sh\ntouch /tmp/ran\n"));
    ASSERT_TRUE(write(at("marked.txt"), "text\n", true));
    ASSERT_TRUE(write(at("setup.exe"), QByteArray("MZ\x90\0\x03\0\0\0", 8)));
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), at("memory.txt")));
    const QString shellScript = QStringLiteral("/bin/sh ") + at("run.sh");

    const struct {
        const char* name;
        QString path;
        QString identifier;
        Way way;
        QString reason;
    } cases[] = {
        {"a text file to an editor", at("notes.txt"), "org.example.Editor.desktop", Way::asArgument, ""},
        {"a kind of text file", at("main.c"), "org.example.Editor.desktop", Way::asArgument, ""},
        {"a script to an editor of text", at("evil.py"), "org.example.Editor.desktop", Way::refused,
         "a program or script ("},
        {"a script known by its first line", at("tool"), "org.example.Editor.desktop", Way::refused,
         "a program or script (application/x-shellscript)"},
        {"a script to an editor that declares scripts", at("run.sh"), "org.example.ScriptEditor.desktop",
         Way::asArgument, ""},
        {"a program to its loader", at("setup.exe"), "org.example.Loader.desktop", Way::refused,
         "a program or script (application/x-ms-dos-executable), which goes only to an editor"},
        {"an interpreter behind a wrapper", at("notes.txt"), "org.example.NicePython.desktop", Way::refused,
         "its program is an interpreter or a shell, which would run the file"},
        {"behind wrappers with options", at("notes.txt"), "org.example.Wrapped.desktop", Way::refused,
         "its program is an interpreter or a shell, which would run the file"},
        {"a wrapper that splits a text", at("notes.txt"), "org.example.Split.desktop", Way::refused,
         "it starts its program through a launcher whose words cannot be read"},
        {"to an interpreter's own script", at("notes.txt"), "org.example.Tool.desktop", Way::asArgument, ""},
        {"a file as awk's program", at("notes.txt"), "org.example.Awk.desktop", Way::refused,
         "its program is an interpreter or a shell, which would run the file"},
        {"a file to tclsh", at("notes.txt"), "org.example.Tcl.desktop", Way::refused,
         "its program is an interpreter or a shell, which would run the file"},
        {"a file appended to wish", at("notes.txt"), "org.example.Wish.desktop", Way::refused,
         "its program is an interpreter or a shell, which would run the file"},
        {"a terminal running a shell", at("notes.txt"), "org.example.UShell.desktop", Way::refused,
         "a terminal would run the file"},
        {"a terminal's program under another entry", at("notes.txt"), "org.example.TermByProgram.desktop",
         Way::refused, "a terminal would run the file"},
        {"a file inside a word", at("notes.txt"), "org.example.Inside.desktop", Way::refused,
         "its command line puts the file inside a word"},
        {"an interpreter after a launcher", at("notes.txt"), "org.example.Sudo.desktop", Way::refused,
         "its command line starts python3, which would run the file"},
        {"to a program named like a shell and more", at("notes.txt"), "org.example.Viewer.desktop",
         Way::asArgument, ""},
        {"a file after --", at("notes.txt"), "org.example.Player.desktop", Way::asArgument, ""},
        {"a file with an execute bit", at("marked.txt"), "org.example.Editor.desktop", Way::refused,
         "an executable file (it has an execute bit)"},
        {"an entry that runs in a terminal", at("evil.py"), "org.example.Python.desktop", Way::refused,
         "the application runs in a terminal, which would run the file"},
        {"a shell that declares text", at("notes.txt"), "org.example.Shell.desktop", Way::refused,
         "its program is an interpreter or a shell, which would run the file"},
        {"a file to a terminal", at("run.sh"), "org.example.Term.desktop", Way::refused,
         "a terminal would run the file (it gets a folder only, to start in)"},
        {"a folder to a terminal", at("folder"), "org.example.Term.desktop", Way::asWorkingFolder, ""},
        {"a folder to the chosen terminal", at("folder"), "org.example.Chosen.desktop", Way::asWorkingFolder,
         ""},
        {"a folder to a file manager", at("folder"), "org.example.Files.desktop", Way::asArgument, ""},
        {"a folder to an editor", at("folder"), "org.example.Editor.desktop", Way::refused,
         "the application does not declare files of type inode/directory"},
        {"a text file to a file manager", at("notes.txt"), "org.example.Files.desktop", Way::refused,
         "the application does not declare files of type text/plain"},
        {"an entry without types", at("notes.txt"), "org.example.NoTypes.desktop", Way::refused,
         "the application does not declare files of type text/plain"},
        {"a missing entry", at("notes.txt"), "org.example.Missing.desktop", Way::refused,
         "no application is installed as org.example.Missing.desktop"},
        {"memory of a process", "/proc/self/mem", "org.example.Editor.desktop", Way::refused,
         "a device or system file (/proc, /sys or /dev)"},
        {"a link to it", at("memory.txt"), "org.example.Editor.desktop", Way::refused,
         "a device or system file (/proc, /sys or /dev)"},
        {"a device", "/dev/null", "org.example.Editor.desktop", Way::refused,
         "a device or system file (/proc, /sys or /dev)"},
        {"a missing file", at("gone.txt"), "org.example.Editor.desktop", Way::refused,
         "no such file or folder"},
        {"a text file to a program by path", at("notes.txt"), "/usr/bin/true", Way::asArgument, ""},
        {"to a script by path", at("notes.txt"), shellScript, Way::asArgument, ""},
        {"a script to a program by path", at("evil.py"), "/usr/bin/true", Way::refused,
         "a program or script ("},
        {"a folder to a program by path", at("folder"), "/usr/bin/true", Way::refused,
         "not a regular file (the program was seen started with files)"},
        {"to a shell by path", at("notes.txt"), "/bin/sh", Way::refused,
         "its program is an interpreter or a shell, which would run the file"},
        {"to awk by path", at("notes.txt"), "/usr/bin/awk", Way::refused,
         "its program is an interpreter or a shell, which would run the file"},
        {"to a wrapper by path", at("notes.txt"), "/usr/bin/nice", Way::refused,
         "its program is an interpreter or a shell, which would run the file"},
    };
    for (const auto& c : cases) {
        const DocumentHandOver::Decision decision = DocumentHandOver::decide(c.path, c.identifier);
        EXPECT_EQ(decision.way, c.way) << c.name << ": " << decision.reason.toStdString();
        EXPECT_TRUE(c.reason.isEmpty() ? decision.reason.isEmpty() : decision.reason.startsWith(c.reason))
            << c.name << ": " << decision.reason.toStdString();
    }
}

} // namespace
