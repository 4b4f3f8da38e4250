#include "Platform/Linux/DocumentHandOver.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/ProgramImage.h"
#include "Platform/SystemClock.h"

#include "Support/FifoWriter.h"
#include "Support/OwnProcess.h"
#include "Support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

#include <elf.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

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

template <typename T> void put(QByteArray& bytes, qsizetype at, const T& value) {
    bytes.resize(std::max(bytes.size(), at + qsizetype(sizeof(T))), '\0');
    std::memcpy(bytes.data() + at, &value, sizeof(T));
}

// The header of a 64-bit little-endian program file with count program headers after it.
Elf64_Ehdr elfHeader(int count) {
    Elf64_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_phoff = sizeof(Elf64_Ehdr);
    header.e_phentsize = sizeof(Elf64_Phdr);
    header.e_phnum = count;
    return header;
}

// A program file made by hand: needed libraries that all name the text at one place, and a table
// of dynamic symbols of the given size after it (zeros, as in a sparse file), the functions it
// imports first (by the place of their names).
QByteArray craftedProgram(int needed, const QByteArray& names, quint64 symbolsSize,
                          const QList<quint32>& imports = {}) {
    QByteArray bytes;
    symbolsSize = std::max<quint64>(symbolsSize, imports.size() * sizeof(Elf64_Sym));
    const quint64 dynamic = sizeof(Elf64_Ehdr) + 2 * sizeof(Elf64_Phdr);
    const quint64 strings = dynamic + (needed + 3) * sizeof(Elf64_Dyn);
    const quint64 sections = strings + quint64(names.size());
    const quint64 symbols = sections + 3 * sizeof(Elf64_Shdr);
    Elf64_Ehdr header = elfHeader(2);
    header.e_shoff = sections;
    header.e_shentsize = sizeof(Elf64_Shdr);
    header.e_shnum = 3;
    put(bytes, 0, header);
    put(bytes, sizeof(Elf64_Ehdr), Elf64_Phdr{PT_LOAD, 0, 0, 0, 0, symbols + symbolsSize, 0, 0});
    put(bytes, sizeof(Elf64_Ehdr) + sizeof(Elf64_Phdr),
        Elf64_Phdr{PT_DYNAMIC, 0, dynamic, 0, 0, strings - dynamic, 0, 0});
    put(bytes, dynamic, Elf64_Dyn{DT_STRTAB, {strings}});
    put(bytes, dynamic + sizeof(Elf64_Dyn), Elf64_Dyn{DT_STRSZ, {quint64(names.size())}});
    for (int i = 0; i < needed; ++i) {
        put(bytes, dynamic + (i + 2) * sizeof(Elf64_Dyn), Elf64_Dyn{DT_NEEDED, {0}});
    }
    put(bytes, strings - sizeof(Elf64_Dyn), Elf64_Dyn{DT_NULL, {0}});
    bytes.append(names);
    put(bytes, sections + sizeof(Elf64_Shdr),
        Elf64_Shdr{0, SHT_DYNSYM, 0, 0, symbols, symbolsSize, 2, 0, 0, 0});
    put(bytes, sections + 2 * sizeof(Elf64_Shdr),
        Elf64_Shdr{0, SHT_STRTAB, 0, 0, strings, quint64(names.size()), 0, 0, 0, 0});
    for (qsizetype i = 0; i < imports.size(); ++i) {
        put(bytes, symbols + i * sizeof(Elf64_Sym), Elf64_Sym{imports[i], STT_FUNC, 0, SHN_UNDEF, 0, 0});
    }
    return bytes;
}

// Root reads any file whatever its permissions: while this lives, the calling thread reads as an
// owner without that override does.
class WithoutReadOverride {
public:
    WithoutReadOverride() {
        ::syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH));
        ::syscall(SYS_capset, &m_header, reduced);
    }
    ~WithoutReadOverride() { ::syscall(SYS_capset, &m_header, m_saved); }
    WithoutReadOverride(const WithoutReadOverride&) = delete;
    WithoutReadOverride& operator=(const WithoutReadOverride&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
};

// A saved document reaches an application only where a file manager would offer it, never an
// application that would run it, and never when it is itself a program or a file of the kernel.
TEST(DocumentHandOver, HandsDocumentsOnlyToApplicationsThatDeclareThemAndNeverRunThem) {
    if (!OwnProcess::runsHere()) {
        return;
    }
    // A data folder after the system's, read once at GLib's first look.
    QTemporaryDir laterData;
    const QByteArray systemData = qgetenv("XDG_DATA_DIRS");
    ASSERT_TRUE(qputenv("XDG_DATA_DIRS", (systemData.isEmpty() ? "/usr/local/share:/usr/share" : systemData) +
                                             ':' + QFile::encodeName(laterData.path())));
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
    const QByteArray python = fake("python3");
    const QByteArray make = fake("make");
    const QByteArray loader = fake("ld.so");
    const QByteArray valgrind = fake("valgrind");
    const QByteArray gdb = fake("gdb");
    const QByteArray sqlite = fake("sqlite3");
    const QByteArray flatpak = fake("flatpak");
    const QByteArray opener = fake("xdg-open");
    const QByteArray gio = fake("gio");
    const QByteArray terminal = fake("myterm");
    for (const QByteArray& program : {wine, sudo, viewer, tclsh, wish, python, make, loader, valgrind, gdb,
                                      sqlite, flatpak, opener, gio, terminal}) {
        ASSERT_TRUE(write(QFile::decodeName(program), "#!/bin/sh\n", true));
    }
    // vim under the name of its build, a link of its own to that, and another name it answers to.
    const QByteArray vimBuild = fake("vim.basic");
    const QByteArray vimLink = fake("myeditor");
    const QByteArray ex = fake("ex");
    const QByteArray view = fake("view");
    const QByteArray emacsBuild = fake("emacs-gtk");
    const QByteArray strace = fake("strace");
    ASSERT_TRUE(write(QFile::decodeName(emacsBuild), "#!/bin/sh\n", true) &&
                write(QFile::decodeName(strace), "#!/bin/sh\n", true));
    ASSERT_TRUE(write(QFile::decodeName(vimBuild), "#!/bin/sh\n", true) &&
                write(QFile::decodeName(ex), "#!/bin/sh\n", true) &&
                write(QFile::decodeName(view), "#!/bin/sh\n", true));
    ASSERT_TRUE(QFile::link(QFile::decodeName(vimBuild), QFile::decodeName(vimLink)));
    // Programs that are no regular files: opening a FIFO waits for a writer.
    const QByteArray pipe = fake("pipe");
    const QByteArray folderProgram = fake("folder-program");
    ASSERT_EQ(::mkfifo(pipe.constData(), 0755), 0);
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(folderProgram)));
    const QByteArray profiler = fake("cProfile.py");
    ASSERT_TRUE(write(QFile::decodeName(profiler), "import sys\n"));
    // A tool of the interpreter's own library, which runs what it is given, and a program file
    // whose headers point past what is read of program files.
    const QByteArray library = fake("lib/python3.11/http");
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(library)) &&
                write(QFile::decodeName(library) + QStringLiteral("/server.py"), "import sys\n"));
    const QByteArray unbounded = fake("unbounded");
    ASSERT_TRUE(write(QFile::decodeName(unbounded), craftedProgram(4000, QByteArray(60000, 'x'), 0), true));
    // An interpreter copied under a name of its own.
    const QByteArray copied = fake("mytool");
    ASSERT_TRUE(
        QFile::copy(QFileInfo(QStringLiteral("/bin/sh")).canonicalFilePath(), QFile::decodeName(copied)));
    // A sandboxed application installed for the user, with python3 in its runtime.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString deployed = data + QStringLiteral("/flatpak/app/org.example.Notes/x86_64/stable");
    const QString runtime =
        data + QStringLiteral("/flatpak/runtime/org.example.Platform/x86_64/1/active/files/bin");
    ASSERT_TRUE(QDir().mkpath(deployed + QStringLiteral("/active/files/bin")) && QDir().mkpath(runtime));
    ASSERT_TRUE(QFile::link(QStringLiteral("x86_64/stable"), deployed + QStringLiteral("/../../current")));
    ASSERT_TRUE(write(deployed + QStringLiteral("/active/files/bin/notes"), "#!/bin/sh\n", true));
    ASSERT_TRUE(write(runtime + QStringLiteral("/python3"), "#!/bin/sh\n", true));
    ASSERT_TRUE(write(
        deployed + QStringLiteral("/active/metadata"),
        "[Application]\nname=org.example.Notes\nruntime=org.example.Platform/x86_64/1\ncommand=notes\n"));
    // Another whose metadata is a FIFO that would name its command to whoever opened it.
    const QString piped = data + QStringLiteral("/flatpak/app/org.example.Piped/current/active");
    ASSERT_TRUE(QDir().mkpath(piped + QStringLiteral("/files/bin")));
    ASSERT_TRUE(write(piped + QStringLiteral("/files/bin/notes"), "#!/bin/sh\n", true));
    const FifoWriter pipedMetadata(
        piped + QStringLiteral("/metadata"),
        "[Application]\nname=org.example.Piped\nruntime=org.example.Platform/x86_64/1\ncommand=notes\n");
    ASSERT_TRUE(pipedMetadata.made());
    // What the desktop opens text with (an interpreter), C sources with (an editor) and folders
    // with (an opener, which would hand them to itself).
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    ASSERT_TRUE(QDir().mkpath(config));
    ASSERT_TRUE(
        write(config + QStringLiteral("/mimeapps.list"),
              "[Default Applications]\ntext/plain=org.example.NicePython.desktop\n"
              "text/x-csrc=org.example.Editor.desktop\ninode/directory=org.example.FolderOpener.desktop\n"));
    // The D-Bus services that start entries activated over the bus.
    const QString services = data + QStringLiteral("/dbus-1/services");
    ASSERT_TRUE(QDir().mkpath(services));
    ASSERT_TRUE(write(services + QStringLiteral("/org.example.Activated.service"),
                      "[D-BUS Service]\nName=org.example.Activated\nExec=" + python + ' ' +
                          QFile::encodeName(tool) + '\n'));
    ASSERT_TRUE(
        write(services + QStringLiteral("/org.example.SameService.service"),
              "[D-BUS Service]\nName=org.example.SameService\nExec=" + viewer + " --gapplication-service\n"));
    // The bus takes its services from its runtime folder first (a file there counts only under its
    // bus name), of several files of a folder for one name whichever its listing gives first, and
    // reads up to 128 KiB.
    QTemporaryDir runtimeFolder;
    ASSERT_TRUE(qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFolder.path())));
    const QString busRuntime = runtimeFolder.filePath(QStringLiteral("dbus-1/services"));
    ASSERT_TRUE(QDir().mkpath(busRuntime));
    const auto service = [&](const QString& file, const char* name, const QByteArray& exec, int padding = 0) {
        return write(file + QStringLiteral(".service"), "[D-BUS Service]\nName=org.example." +
                                                            QByteArray(name) + "\nExec=" + exec + "\n#" +
                                                            QByteArray(padding, 'x'));
    };
    const QByteArray other = python + ' ' + QFile::encodeName(tool);
    const QByteArray own = viewer + " --gapplication-service";
    ASSERT_TRUE(service(services + "/org.example.Twice", "Twice", other) &&
                service(services + "/a", "Twice", own));
    ASSERT_TRUE(service(services + "/b", "Either", own) && service(services + "/c", "Either", own));
    const QString laterServices = laterData.filePath(QStringLiteral("dbus-1/services"));
    ASSERT_TRUE(QDir().mkpath(laterServices) &&
                service(laterServices + "/org.example.Either", "Either", own));
    ASSERT_TRUE(service(services + "/org.example.NamedFirst", "NamedFirst", own) &&
                service(services + "/z-last", "NamedFirst", other));
    ASSERT_TRUE(service(busRuntime + "/org.example.Big", "Big", other, 100 * 1024) &&
                service(services + "/org.example.Big", "Big", own));
    ASSERT_TRUE(service(busRuntime + "/org.example.Huge", "Huge", other, 128 * 1024) &&
                service(services + "/org.example.Huge", "Huge", own));
    ASSERT_TRUE(service(busRuntime + "/a", "Strict", other) &&
                service(services + "/org.example.Strict", "Strict", own));
    // A file of the kernel's that says it is empty and reads past that limit: the environment of a
    // program that begins with a service of its own.
    QProcess holder;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("#"), "\n[D-BUS Service]\nName=org.example.Grown\nExec=" + own + '\n');
    environment.insert(QStringLiteral("#1"), QString(70000, u'x'));
    environment.insert(QStringLiteral("#2"), QString(70000, u'x'));
    holder.setProcessEnvironment(environment);
    holder.start(QStringLiteral("/bin/cat"), {});
    ASSERT_TRUE(holder.waitForStarted());
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/%1/environ").arg(holder.processId()),
                            services + QStringLiteral("/org.example.Grown.service")));
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
        {"org.example.FlatpakPython",
         "Exec=" + flatpak +
             " run --branch=stable --arch=x86_64 --command=python3 org.example.Notes %f\n"
             "MimeType=text/plain;\n"},
        {"org.example.FlatpakNotes", "Exec=" + flatpak +
                                         " run --command=notes --file-forwarding org.example.Notes @@ %f @@\n"
                                         "MimeType=text/plain;\n"},
        {"org.example.FlatpakUnread",
         "Exec=" + flatpak + " run --frobnicate org.example.Notes %f\nMimeType=text/plain;\n"},
        {"org.example.FlatpakOwn", "Exec=" + flatpak + " run org.example.Notes %f\nMimeType=text/plain;\n"},
        {"org.example.FlatpakClimb", "Exec=" + flatpak + " run --command=/app" +
                                         QByteArray("/..").repeated(20) +
                                         "/usr/bin/true org.example.Notes %f\nMimeType=text/plain;\n"},
        {"org.example.FlatpakPiped", "Exec=" + flatpak + " run org.example.Piped %f\nMimeType=text/plain;\n"},
        {"org.example.GioLaunch", "Exec=" + gio + " launch %f\nMimeType=text/plain;\n"},
        {"org.example.FolderOpener", "Exec=" + opener + " %f\nMimeType=inode/directory;\n"},
        {"org.example.Opener", "Exec=" + opener + " %f\nMimeType=text/plain;text/x-csrc;\n"},
        {"org.example.GioOpen", "Exec=" + gio + " open %f\nMimeType=text/plain;\n"},
        {"org.example.ShellOpener", "Exec=sh " + opener + " %f\nMimeType=text/plain;\n"},
        {"org.example.Activated", "Exec=true %f\nMimeType=text/plain;\nDBusActivatable=true\n"},
        {"org.example.SameService", "Exec=" + viewer + " %U\nMimeType=text/plain;\nDBusActivatable=true\n"},
        {"org.example.NoService", "Exec=true %f\nMimeType=text/plain;\nDBusActivatable=true\n"},
        {"org.example.Twice", "Exec=" + viewer + " %U\nMimeType=text/plain;\nDBusActivatable=true\n"},
        {"org.example.Either", "Exec=" + viewer + " %U\nMimeType=text/plain;\nDBusActivatable=true\n"},
        {"org.example.NamedFirst", "Exec=" + viewer + " %U\nMimeType=text/plain;\nDBusActivatable=true\n"},
        {"org.example.Late", "Exec=" + viewer + " %U\nMimeType=text/plain;\nDBusActivatable=true\n"},
        {"org.example.Big", "Exec=" + viewer + " %U\nMimeType=text/plain;\nDBusActivatable=true\n"},
        {"org.example.Huge", "Exec=" + viewer + " %U\nMimeType=text/plain;\nDBusActivatable=true\n"},
        {"org.example.Strict", "Exec=" + viewer + " %U\nMimeType=text/plain;\nDBusActivatable=true\n"},
        {"org.example.Grown", "Exec=" + viewer + " %U\nMimeType=text/plain;\nDBusActivatable=true\n"},
        {"org.example.MakeE", "Exec=" + make + " -e %f\n"},
        {"org.example.NiceMakeE", "Exec=nice -n 5 " + make + " -e %f\n"},
        {"org.example.JsonTool", "Exec=" + python + " -m json.tool -e %f\nMimeType=inode/directory;\n"},
        {"org.example.RunsFile", "Exec=true -x %f\nMimeType=text/plain;\n"},
        {"org.example.MyTerm", "Exec=" + terminal + "\nCategories=System;TerminalEmulator;\n"},
        {"org.example.MyTermShell", "Exec=" + terminal + " -e sh %f\nMimeType=text/plain;inode/directory;\n"},
        {"org.example.Loader2", "Exec=" + loader + " %f\nMimeType=text/plain;\n"},
        {"org.example.Valgrind", "Exec=" + valgrind + " --tool=none %f\nMimeType=text/plain;\n"},
        {"org.example.Gdb", "Exec=" + gdb + " -x %f\nMimeType=text/plain;\n"},
        {"org.example.Sqlite", "Exec=" + sqlite + " -init %f\nMimeType=text/plain;\n"},
        {"org.example.Copied", "Exec=" + copied + " %f\nMimeType=text/plain;\n"},
        {"org.example.Profiled", "Exec=" + python + ' ' + profiler + " %f\nMimeType=text/plain;\n"},
        {"org.example.AfterTool",
         "Exec=nice -n 5 python3 " + QFile::encodeName(tool) + " sh %f\nMimeType=text/plain;\n"},
        {"org.example.NiceNumber", "Exec=nice -5 python3 %f\nMimeType=text/plain;\n"},
        {"org.example.IoniceNumber", "Exec=ionice -5 " + viewer + " %f\nMimeType=text/plain;\n"},
        {"org.example.VimBuild", "Exec=" + vimBuild + " -S %f\nMimeType=text/plain;\n"},
        {"org.example.VimLink", "Exec=" + vimLink + " -S %f\nMimeType=text/plain;\n"},
        {"org.example.Ex", "Exec=" + ex + " -S %f\nMimeType=text/plain;\n"},
        {"org.example.View", "Exec=" + view + " -S %f\nMimeType=text/plain;\n"},
        {"org.example.EmacsBuild", "Exec=" + emacsBuild + " -l %f\nMimeType=text/plain;\n"},
        {"org.example.Strace", "Exec=" + strace + " %f\nMimeType=text/plain;\n"},
        {"org.example.Execute", "Exec=true --execute %f\nMimeType=text/plain;\n"},
        {"org.example.Pipe", "Exec=" + pipe + " %f\nMimeType=text/plain;\n"},
        {"org.example.FolderProgram", "Exec=" + folderProgram + " %f\nMimeType=text/plain;\n"},
        {"org.example.Server", "Exec=" + python + ' ' + library + "/server.py %f\nMimeType=text/plain;\n"},
        {"org.example.Unbounded", "Exec=" + unbounded + " %f\nMimeType=text/plain;\n"},
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
    const QString terminalRefusal = QStringLiteral("a terminal would run the file");
    const QString shellScript = QStringLiteral("/bin/sh ") + at("run.sh");
    // The desktop's terminal under other names: a link to it, and a script that starts it.
    ASSERT_TRUE(QFile::link(QFile::decodeName(terminal), at("linked-term")));
    ASSERT_TRUE(QFile::link(at("linked-term"), at("linked-again")));
    ASSERT_TRUE(write(at("koi8-term"), "#!/bin/sh\nexec myterm -k8 \"$@\"\n", true));
    // A program file whose headers point past its end.
    QByteArray broken("\x7f"
                      "ELF\x02\x01\x01",
                      7);
    broken.append(QByteArray(9, '\0')).append(QByteArray(48, '\xff'));
    ASSERT_TRUE(write(at("broken"), broken, true));
    // Program files whose headers name one unterminated text thousands of times, and a table of
    // symbols larger than any program's, for a program that embeds an interpreter.
    ASSERT_TRUE(write(at("grown"), craftedProgram(4000, QByteArray(60000, 'x'), 0), true));
    const quint64 symbols = 40 * 1024 * 1024;
    const QByteArray sparse = craftedProgram(1, "libpython3.11.so.1.0", symbols);
    ASSERT_TRUE(write(at("sparse"), sparse, true) && QFile::resize(at("sparse"), sparse.size() + symbols));
    // Programs built on an interpreter's library: an editor that embeds it, and the interpreter's
    // own program, which hands its command line to the library's main function.
    const QByteArray python3("libpython3.11.so.1.0\0Py_Initialize\0Py_BytesMain", 47);
    ASSERT_TRUE(write(at("embedding"), craftedProgram(1, python3, 0, {21}), true));
    ASSERT_TRUE(write(at("interpreting"), craftedProgram(1, python3, 0, {21, 35}), true));
    const QString interpreter = QString::fromLatin1(python);
    const QString runsIt =
        QStringLiteral("its program is an interpreter or a shell, which would run the file");
    const QString pastBounds = QStringLiteral("its program file could not be read in full");

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
        {"a sandbox's interpreter", at("notes.txt"), "org.example.FlatpakPython.desktop", Way::refused,
         runsIt},
        {"a sandbox's own program", at("notes.txt"), "org.example.FlatpakNotes.desktop", Way::asArgument, ""},
        {"a sandbox line not read", at("notes.txt"), "org.example.FlatpakUnread.desktop", Way::refused,
         "it starts its program through a launcher whose words cannot be read"},
        {"a sandbox's command climbing out of it", at("notes.txt"), "org.example.FlatpakClimb.desktop",
         Way::refused, "the application's program cannot be found"},
        {"a sandbox's metadata that is a FIFO", at("notes.txt"), "org.example.FlatpakPiped.desktop",
         Way::refused, "it starts its program through a launcher whose words cannot be read"},
        {"a sandbox's command from its metadata", at("notes.txt"), "org.example.FlatpakOwn.desktop",
         Way::asArgument, ""},
        {"a file launched as an application", at("notes.txt"), "org.example.GioLaunch.desktop", Way::refused,
         "its command line launches the file as an application"},
        {"a folder through an opener chosen for folders", at("folder"), "org.example.FolderOpener.desktop",
         Way::refused,
         "it hands the file to org.example.FolderOpener.desktop, which may not have it: it hands the file "
         "on"},
        {"a program whose headers lie", at("notes.txt"), at("broken"), Way::asArgument, ""},
        {"an opener to an interpreter", at("notes.txt"), "org.example.Opener.desktop", Way::refused,
         "it hands the file to org.example.NicePython.desktop, which may not have it: " + runsIt},
        {"an opener to an editor", at("main.c"), "org.example.Opener.desktop", Way::asArgument, ""},
        {"gio open", at("notes.txt"), "org.example.GioOpen.desktop", Way::refused,
         "it hands the file to org.example.NicePython.desktop"},
        {"an opener run by a shell", at("notes.txt"), "org.example.ShellOpener.desktop", Way::refused,
         "it hands the file to org.example.NicePython.desktop"},
        {"an opener by path", at("notes.txt"), QString::fromLatin1(opener), Way::refused,
         "it hands the file to org.example.NicePython.desktop"},
        {"a D-Bus service of another program", at("notes.txt"), "org.example.Activated.desktop", Way::refused,
         "it is started over D-Bus by a service that runs another program (tool.py)"},
        {"a D-Bus service of its own program", at("notes.txt"), "org.example.SameService.desktop",
         Way::asArgument, ""},
        {"a D-Bus entry without its service", at("notes.txt"), "org.example.NoService.desktop", Way::refused,
         "it is started over D-Bus by a service whose command cannot be read"},
        {"the service named after the bus name and another", at("notes.txt"), "org.example.Twice.desktop",
         Way::refused, "it is started over D-Bus by a service whose command cannot be read"},
        {"a harmless service named after the bus name and another", at("notes.txt"),
         "org.example.NamedFirst.desktop", Way::refused,
         "it is started over D-Bus by a service whose command cannot be read"},
        {"either of two services", at("notes.txt"), "org.example.Either.desktop", Way::refused,
         "it is started over D-Bus by a service whose command cannot be read"},
        {"a service of 100 KiB", at("notes.txt"), "org.example.Big.desktop", Way::refused,
         "it is started over D-Bus by a service that runs another program (tool.py)"},
        {"a service the bus does not read", at("notes.txt"), "org.example.Huge.desktop", Way::asArgument, ""},
        {"a runtime service not named after its bus name", at("notes.txt"), "org.example.Strict.desktop",
         Way::asArgument, ""},
        {"a service that reads past the bus's limit", at("notes.txt"), "org.example.Grown.desktop",
         Way::refused, "it is started over D-Bus by a service whose command cannot be read"},
        {"a folder to make -e", at("folder"), "org.example.MakeE.desktop", Way::refused, runsIt},
        {"a folder to make -e behind nice", at("folder"), "org.example.NiceMakeE.desktop", Way::refused,
         runsIt},
        {"a folder to python3 -m", at("folder"), "org.example.JsonTool.desktop", Way::refused, runsIt},
        {"a file after -x", at("notes.txt"), "org.example.RunsFile.desktop", Way::refused,
         "its command line has the file run as a command (after -x)"},
        {"a terminal running a shell", at("notes.txt"), "org.example.MyTermShell.desktop", Way::refused,
         terminalRefusal},
        {"a folder to a terminal running a shell", at("folder"), "org.example.MyTermShell.desktop",
         Way::refused, "its command line starts sh, which would run the file"},
        {"a folder to a terminal", at("folder"), "org.example.MyTerm.desktop", Way::asWorkingFolder, ""},
        {"a terminal by its path", at("notes.txt"), QString::fromLatin1(terminal), Way::refused,
         terminalRefusal},
        {"a link to a terminal", at("notes.txt"), at("linked-term"), Way::refused, terminalRefusal},
        {"a link to that link", at("notes.txt"), at("linked-again"), Way::refused, terminalRefusal},
        {"a script that starts a terminal", at("notes.txt"), at("koi8-term"), Way::refused, terminalRefusal},
        {"the loader", at("notes.txt"), "org.example.Loader2.desktop", Way::refused, runsIt},
        {"a checker that runs programs", at("notes.txt"), "org.example.Valgrind.desktop", Way::refused,
         runsIt},
        {"a debugger's commands", at("notes.txt"), "org.example.Gdb.desktop", Way::refused, runsIt},
        {"a database's start commands", at("notes.txt"), "org.example.Sqlite.desktop", Way::refused,
         "its program runs the file as its commands (after -init)"},
        {"an interpreter's copy", at("notes.txt"), "org.example.Copied.desktop", Way::refused, runsIt},
        {"an interpreter's copy by path", at("notes.txt"), QString::fromLatin1(copied), Way::refused, runsIt},
        {"a profiler script", at("notes.txt"), "org.example.Profiled.desktop", Way::refused,
         "its script (cProfile.py) runs what it is handed"},
        {"a profiler script by path", at("notes.txt"), interpreter + u' ' + QString::fromLatin1(profiler),
         Way::refused, "its script (cProfile.py) runs what it is handed"},
        {"a runner after an interpreter's script", at("notes.txt"), "org.example.AfterTool.desktop",
         Way::refused, "its command line starts sh, which would run the file"},
        {"nice's own priority option", at("notes.txt"), "org.example.NiceNumber.desktop", Way::refused,
         runsIt},
        {"a priority option nice alone has", at("notes.txt"), "org.example.IoniceNumber.desktop",
         Way::refused, "it starts its program through a launcher whose words cannot be read"},
        {"vim by its build's name", at("notes.txt"), "org.example.VimBuild.desktop", Way::refused,
         "its program runs the file as its commands (after -S)"},
        {"vim by a link to its build", at("notes.txt"), "org.example.VimLink.desktop", Way::refused,
         "its program runs the file as its commands (after -S)"},
        {"vim by another name", at("notes.txt"), "org.example.Ex.desktop", Way::refused,
         "its program runs the file as its commands (after -S)"},
        {"vim as a viewer", at("notes.txt"), "org.example.View.desktop", Way::refused,
         "its program runs the file as its commands (after -S)"},
        {"emacs by its build's name", at("notes.txt"), "org.example.EmacsBuild.desktop", Way::refused,
         "its program runs the file as its commands (after -l)"},
        {"a tracer", at("notes.txt"), "org.example.Strace.desktop", Way::refused, runsIt},
        {"a file after --execute", at("notes.txt"), "org.example.Execute.desktop", Way::refused,
         "its command line has the file run as a command (after --execute)"},
        {"a FIFO as the program", at("notes.txt"), "org.example.Pipe.desktop", Way::asArgument, ""},
        {"a folder as the program", at("notes.txt"), "org.example.FolderProgram.desktop", Way::refused,
         "no application is installed"},
        {"names read without end", at("notes.txt"), at("grown"), Way::refused, pastBounds},
        {"symbols past the bound", at("notes.txt"), at("sparse"), Way::refused, pastBounds},
        {"an entry's program past the bounds", at("notes.txt"), "org.example.Unbounded.desktop", Way::refused,
         pastBounds},
        {"a tool of the interpreter's library", at("notes.txt"), "org.example.Server.desktop", Way::refused,
         "its script (server.py) runs what it is handed"},
        {"a program that embeds an interpreter", at("notes.txt"), at("embedding"), Way::asArgument, ""},
        {"an interpreter by its main function", at("notes.txt"), at("interpreting"), Way::refused, runsIt},
    };
    for (const auto& c : cases) {
        const DocumentHandOver::Decision decision = DocumentHandOver::decide(c.path, c.identifier);
        EXPECT_EQ(decision.way, c.way) << c.name << ": " << decision.reason.toStdString();
        EXPECT_TRUE(c.reason.isEmpty() ? decision.reason.isEmpty() : decision.reason.startsWith(c.reason))
            << c.name << ": " << decision.reason.toStdString();
    }
    holder.closeWriteChannel();
    EXPECT_TRUE(holder.waitForFinished());
    // Read from bytes, the same bounds hold, and nothing past the bytes' end is read.
    const std::optional<ProgramImage> grown =
        ProgramImage::fromBytes(craftedProgram(4000, QByteArray(60000, 'x'), 0));
    EXPECT_TRUE(grown && grown->cut && grown->needed.isEmpty());
    const QByteArray one = craftedProgram(1, "libc.so.6", 0);
    EXPECT_EQ(ProgramImage::fromBytes(one).value_or(ProgramImage()).needed, QList<QByteArray>{"libc.so.6"});
    EXPECT_FALSE(
        ProgramImage::fromBytes(QByteArrayView(one).first(sizeof(Elf64_Ehdr) + sizeof(Elf64_Phdr) + 8)));
    const std::optional<ProgramImage> most = ProgramImage::fromBytes(craftedProgram(1024, "libc.so.6", 0));
    const std::optional<ProgramImage> past = ProgramImage::fromBytes(craftedProgram(1025, "libc.so.6", 0));
    EXPECT_TRUE(most && !most->cut && most->needed.size() == 1024);
    EXPECT_TRUE(past && past->cut && past->needed.size() == 1024);
    // A build id longer than any a linker writes is none.
    const auto withBuildId = [](quint32 length) {
        QByteArray bytes;
        Elf64_Ehdr header = elfHeader(1);
        const quint64 note = sizeof(Elf64_Ehdr) + sizeof(Elf64_Phdr);
        put(bytes, 0, header);
        put(bytes, sizeof(Elf64_Ehdr), Elf64_Phdr{PT_NOTE, 0, note, 0, 0, 16 + ((length + 3) & ~3U), 0, 0});
        put(bytes, note, Elf64_Nhdr{4, length, NT_GNU_BUILD_ID});
        return bytes.append("GNU", 4).append(QByteArray(qsizetype((length + 3) & ~3U), 'i'));
    };
    EXPECT_EQ(ProgramImage::fromBytes(withBuildId(64)).value_or(ProgramImage()).buildId.size(), 64);
    EXPECT_TRUE(ProgramImage::fromBytes(withBuildId(65)).value_or(ProgramImage()).buildId.isEmpty());
    // A program file rewritten while it is read comes short of the size taken at the open: what
    // was not read may be anything.
    QFile shellFile(QFileInfo(QStringLiteral("/bin/sh")).canonicalFilePath());
    ASSERT_TRUE(shellFile.open(QIODevice::ReadOnly));
    const QByteArray shell = shellFile.readAll();
    const auto readsUpTo = [&shell](qsizetype kept) {
        return [&shell, kept](quint64 offset, char* into, qsizetype length) {
            const qsizetype count = std::clamp<qsizetype>(kept - qsizetype(offset), 0, length);
            std::memcpy(into, shell.constData() + offset, std::size_t(count));
            return count;
        };
    };
    const std::optional<ProgramImage> whole = ProgramImage::fromReads(shell.size(), readsUpTo(shell.size()));
    EXPECT_TRUE(whole && !whole->cut && !whole->needed.isEmpty());
    for (const qsizetype kept : {qsizetype(0), qsizetype(4096)}) {
        const std::optional<ProgramImage> shortRead = ProgramImage::fromReads(shell.size(), readsUpTo(kept));
        EXPECT_TRUE(shortRead && shortRead->cut) << kept;
    }
    // A program that cannot be read (execute only, read without root's override) may be anything.
    const QString executeOnly = at("execute-only");
    ASSERT_TRUE(QFile::copy(shellFile.fileName(), executeOnly) &&
                ::chmod(QFile::encodeName(executeOnly).constData(), 0111) == 0);
    {
        const WithoutReadOverride unprivileged;
        ASSERT_FALSE(QFile(executeOnly).open(QIODevice::ReadOnly));
        const DocumentHandOver::Decision decision = DocumentHandOver::decide(at("notes.txt"), executeOnly);
        EXPECT_EQ(decision.way, Way::refused);
        EXPECT_TRUE(decision.reason.startsWith(pastBounds)) << decision.reason.toStdString();
    }
    // A service file added after the first look is found.
    EXPECT_EQ(DocumentHandOver::decide(at("notes.txt"), QStringLiteral("org.example.Late.desktop")).way,
              Way::refused);
    ASSERT_TRUE(service(services + "/org.example.Late", "Late", own));
    EXPECT_EQ(DocumentHandOver::decide(at("notes.txt"), QStringLiteral("org.example.Late.desktop")).way,
              Way::asArgument);
    // "-e" alone makes no terminal; a terminal's program does, whatever its line says.
    EXPECT_FALSE(DocumentHandOver::isTerminal(QStringLiteral("org.example.MakeE.desktop")));
    EXPECT_FALSE(DocumentHandOver::isTerminal(QStringLiteral("org.example.RunsFile.desktop")));
    EXPECT_TRUE(DocumentHandOver::isTerminal(QStringLiteral("org.example.MyTermShell.desktop")));
    // A terminal installed after the first look counts at once, by whichever link it is named.
    const QByteArray late = fake("lateterm");
    ASSERT_TRUE(write(QFile::decodeName(late), "#!/bin/sh\n", true));
    ASSERT_TRUE(QFile::link(QFile::decodeName(late), at("late-link")));
    EXPECT_EQ(DocumentHandOver::decide(at("notes.txt"), at("late-link")).way, Way::asArgument);
    ASSERT_TRUE(write(entries + QStringLiteral("/org.example.LateTerm.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Late\nExec=" + late +
                          "\nCategories=System;TerminalEmulator;\n"));
    EXPECT_EQ(DocumentHandOver::decide(at("notes.txt"), at("late-link")).reason,
              terminalRefusal + " (it gets a folder only, to start in)");
    // A copy of a program judged before is judged again once the search path holds an
    // interpreter of the same build.
    const QString program = QFileInfo(QStringLiteral("/usr/bin/true")).canonicalFilePath();
    ASSERT_TRUE(QFile::copy(program, at("mytrue")) && QDir(dir.path()).mkpath(QStringLiteral("bin")) &&
                QFile::copy(program, at("bin/python9")));
    EXPECT_EQ(DocumentHandOver::decide(at("notes.txt"), at("mytrue")).way, Way::asArgument);
    const QByteArray searchPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(at("bin")) + ':' + searchPath);
    EXPECT_EQ(DocumentHandOver::decide(at("notes.txt"), at("mytrue")).reason, runsIt);
    qputenv("PATH", searchPath);
    // An opener whose application for folders is a terminal: the terminal would start in the
    // folder, not show it. GLib notices the new default through a file monitor, a moment later.
    ASSERT_TRUE(write(config + QStringLiteral("/mimeapps.list"),
                      "[Default Applications]\ninode/directory=org.example.MyTerm.desktop\n"));
    SystemClock clock;
    const std::function<bool()> terminalForFolders = [] {
        return DesktopEntries::defaultFor(QStringLiteral("inode/directory")) ==
               QLatin1String("org.example.MyTerm.desktop");
    };
    ASSERT_TRUE(
        QCoro::waitFor(clock.pollUntil(terminalForFolders, Clock::seconds(30.0), Clock::Duration(10))));
    const DocumentHandOver::Decision toTerminal =
        DocumentHandOver::decide(at("folder"), QStringLiteral("org.example.FolderOpener.desktop"));
    EXPECT_EQ(toTerminal.way, Way::refused);
    EXPECT_EQ(
        toTerminal.reason,
        QStringLiteral("it hands the file to org.example.MyTerm.desktop, which may not have it: a terminal"));
}

} // namespace
