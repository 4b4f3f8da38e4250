// GIO first: Qt's "signals" keyword breaks its headers.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "Platform/Linux/DocumentHandOver.h"

#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/FileRunners.h"
#include "Platform/Linux/InstalledTerminals.h"
#include "Platform/Linux/ProgramCommand.h"
#include "Platform/Linux/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <linux/magic.h>
#include <sys/vfs.h>

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using AppInfo = std::unique_ptr<GDesktopAppInfo, ObjectUnref>;

using Decision = DocumentHandOver::Decision;
using Way = DocumentHandOver::Way;

const QString kFolderType = QStringLiteral("inode/directory");

Decision refused(const QString& reason) {
    return Decision{Way::refused, reason};
}

// The kernel's own file systems: reading one of their files reads memory, a device or a process.
bool isSystemFile(const QString& path, const QString& canonical) {
    for (const QString& root : {QStringLiteral("/proc"), QStringLiteral("/sys"), QStringLiteral("/dev")}) {
        for (const QString& each : {path, canonical}) {
            if (each == root || each.startsWith(root + u'/')) {
                return true;
            }
        }
    }
    struct statfs fs {};
    if (::statfs(QFile::encodeName(canonical).constData(), &fs) != 0) {
        return true; // a file that cannot be looked at is no document to hand on
    }
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case SECURITYFS_MAGIC:
    case TRACEFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

// What holds for any program: the path names an ordinary document of the user. Empty when it does.
QString fileRefusal(const QString& path, const QFileInfo& info) {
    if (path.isEmpty() || !info.isAbsolute()) {
        return QStringLiteral("not a file URL");
    }
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty()) {
        return QStringLiteral("no such file or folder");
    }
    if (isSystemFile(QFileInfo(path).absoluteFilePath(), canonical)) {
        return QStringLiteral("a device or system file (/proc, /sys or /dev)");
    }
    if (!info.isFile() && !info.isDir()) {
        return QStringLiteral("not a regular file or folder");
    }
    const QFileDevice::Permissions execute =
        QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    if (info.isFile() && (info.permissions() & execute)) {
        return QStringLiteral("an executable file (it has an execute bit)");
    }
    return QString();
}

QString text(const char* value) {
    return value ? QString::fromUtf8(value) : QString();
}

QString terminalRefusal() {
    return QStringLiteral("a terminal would run the file (it gets a folder only, to start in)");
}

bool declaresExactly(const QStringList& declared, const QString& type) {
    const QByteArray wanted = type.toUtf8();
    return std::any_of(declared.cbegin(), declared.cend(), [&wanted](const QString& each) {
        return g_content_type_equals(wanted.constData(), each.toUtf8().constData());
    });
}

bool declaresTypeOf(const QStringList& declared, const QString& type) {
    const QByteArray wanted = type.toUtf8();
    return std::any_of(declared.cbegin(), declared.cend(), [&wanted](const QString& each) {
        return g_content_type_is_a(wanted.constData(), each.toUtf8().constData());
    });
}

// Editors are offered programs and scripts: they show them and do not run them.
bool isEditor(GDesktopAppInfo* entry) {
    const QStringList categories =
        text(g_desktop_app_info_get_categories(entry)).split(u';', Qt::SkipEmptyParts);
    return categories.contains(QStringLiteral("TextEditor")) || categories.contains(QStringLiteral("IDE"));
}

Decision decideForEntry(const QString& path, const QFileInfo& info, const QString& id, int depth);

// A generic opener hands the file to the application the desktop chose for its type: that
// application is judged instead, by the same rules (once: an opener chosen for it is refused).
Decision throughOpener(const QString& path, const QFileInfo& info, const QString& type, int depth) {
    const QString chosen = DesktopEntries::defaultFor(type);
    if (chosen.isEmpty()) {
        return refused(QStringLiteral("it hands the file to the application chosen for ") + type +
                       QStringLiteral(", and none is"));
    }
    if (depth > 0) {
        return refused(QStringLiteral("it hands the file on to another opener"));
    }
    const Decision decision = decideForEntry(path, info, chosen, depth + 1);
    if (decision.way != Way::asArgument) {
        return refused(QStringLiteral("it hands the file to ") + chosen +
                       QStringLiteral(", which may not have it: ") +
                       (decision.reason.isEmpty() ? QStringLiteral("a terminal") : decision.reason));
    }
    return decision;
}

// An entry started over D-Bus gets its files through its D-Bus service, whose own command runs:
// only where that starts the entry's own program, judged by the same rules.
QString activationRefusal(const QString& id) {
    const std::optional<DesktopEntries::CommandLine> service = DesktopEntries::activationCommandLine(id);
    if (!service || service->words.isEmpty()) {
        return QStringLiteral("it is started over D-Bus by a service whose command cannot be read");
    }
    if (const QString refusal = FileRunners::refusal(service->words, service->folder); !refusal.isEmpty()) {
        return QStringLiteral("its D-Bus service: ") + refusal;
    }
    const ProgramCommand program = DesktopEntries::programOfWords(service->words, service->folder);
    if (program.executable.isEmpty() || DesktopEntries::programOf(id) != program) {
        return QStringLiteral("it is started over D-Bus by a service that runs another program (") +
               (program.executable.isEmpty() ? service->words.first() : program.displayName()) + u')';
    }
    return QString();
}

Decision decideForEntry(const QString& path, const QFileInfo& info, const QString& id, int depth) {
    const AppInfo entry(DesktopEntries::readable() ? g_desktop_app_info_new(id.toUtf8().constData())
                                                   : nullptr);
    if (!entry) {
        return refused(QStringLiteral("no application is installed as ") + id);
    }
    if (g_desktop_app_info_get_boolean(entry.get(), "Terminal")) {
        return refused(QStringLiteral("the application runs in a terminal, which would run the file"));
    }
    const std::optional<DesktopEntries::CommandLine> command = DesktopEntries::commandLineOf(id);
    if (!command) {
        return refused(QStringLiteral("the application's command line cannot be read"));
    }
    const bool terminal = DocumentHandOver::isTerminal(id);
    if (terminal && !info.isDir()) {
        return refused(terminalRefusal());
    }
    // Also for a folder: a terminal starts its command line there, which must not run the folder's
    // files ("make" its Makefile, "python3 -m" its modules).
    if (const QString refusal = FileRunners::refusal(command->words, command->folder); !refusal.isEmpty()) {
        return refused(refusal);
    }
    if (terminal) {
        return Decision{Way::asWorkingFolder, QString()};
    }
    QStringList declared;
    for (const char* const* type = g_app_info_get_supported_types(G_APP_INFO(entry.get())); type && *type;
         ++type) {
        declared << text(*type);
    }
    const QString type = info.isDir() ? kFolderType : DocumentHandOver::contentType(path);
    if (type.isEmpty() || !declaresTypeOf(declared, type)) {
        return refused(QStringLiteral("the application does not declare files of type ") +
                       (type.isEmpty() ? QStringLiteral("(unknown)") : type));
    }
    // Whatever else declares a program type may run it: a loader of programs, a launcher.
    if (DocumentHandOver::isProgramType(type) &&
        !(declaresExactly(declared, type) && isEditor(entry.get()))) {
        return refused(QStringLiteral("a program or script (") + type +
                       QStringLiteral("), which goes only to an editor that declares it"));
    }
    if (!DesktopEntries::programOf(id)) {
        return refused(QStringLiteral("the application's program cannot be found"));
    }
    if (g_desktop_app_info_get_boolean(entry.get(), "DBusActivatable")) {
        if (const QString refusal = activationRefusal(id); !refusal.isEmpty()) {
            return refused(refusal);
        }
    }
    if (FileRunners::isOpener(command->words, command->folder)) {
        return throughOpener(path, info, type, depth);
    }
    return Decision{Way::asArgument, QString()};
}

// The desktop's chosen terminal, as the link to it resolves now.
QString chosenTerminal() {
    gchar* found = g_find_program_in_path("x-terminal-emulator");
    const QString chosen = found ? QFileInfo(QFile::decodeName(found)).canonicalFilePath() : QString();
    g_free(found);
    return chosen;
}

// Whether the program is a script that starts one of the programs by name ("exec xterm ..."): it
// hands what it is given on to that program.
bool startsByName(const QString& script, const QSet<QString>& programs) {
    const std::optional<RegularFile> file = RegularFile::open(script);
    if (!file || file->readAt(0, 2) != "#!") {
        return false;
    }
    const QByteArray head = file->readAt(2, 64 * 1024);
    QSet<QString> names;
    for (const QString& program : programs) {
        names.insert(QFileInfo(program).fileName());
    }
    names.remove(QFileInfo(script).fileName());
    static const QRegularExpression separators(QStringLiteral("[^A-Za-z0-9._+-]+"));
    const QStringList words = QString::fromUtf8(head).split(separators, Qt::SkipEmptyParts);
    return std::any_of(words.cbegin(), words.cend(),
                       [&names](const QString& word) { return names.contains(word); });
}

// Whether the program is a terminal emulator: the desktop's chosen one, or one that an installed
// terminal's entry starts, by whichever path or link it is named, or a script that starts one.
bool isTerminalProgram(const QString& executable) {
    const QString program = executable.isEmpty() ? QString() : QFileInfo(executable).canonicalFilePath();
    if (program.isEmpty()) {
        return false;
    }
    QSet<QString> terminals = InstalledTerminals::programs();
    if (const QString chosen = chosenTerminal(); !chosen.isEmpty()) {
        terminals.insert(chosen);
    }
    return terminals.contains(program) || startsByName(program, terminals);
}

Decision decideForProgram(const QString& path, const QFileInfo& info, const QString& identifier) {
    const std::optional<ProgramCommand> program = ProgramCommand::fromIdentifier(identifier);
    if (!program) {
        return refused(QStringLiteral("no such program"));
    }
    if (!info.isFile()) {
        return refused(QStringLiteral("not a regular file (the program was seen started with files)"));
    }
    if (program->script.isEmpty()) {
        if (const FileRunners::Handling handling = FileRunners::handlingOf(program->executable);
            handling != FileRunners::Handling::opens) {
            return refused(FileRunners::refusalOf(handling));
        }
    }
    if (const QString refusal = FileRunners::scriptRefusal(*program); !refusal.isEmpty()) {
        return refused(refusal);
    }
    const std::optional<DesktopEntry> entry = DesktopEntries::findForProgram(QString(), QString(), *program);
    if ((entry && DocumentHandOver::isTerminal(entry->id)) || isTerminalProgram(program->executable)) {
        return refused(terminalRefusal());
    }
    const QString type = DocumentHandOver::contentType(path);
    if (type.isEmpty() || DocumentHandOver::isProgramType(type)) {
        return refused(QStringLiteral("a program or script (") +
                       (type.isEmpty() ? QStringLiteral("unknown type") : type) + QStringLiteral(")"));
    }
    if (FileRunners::isOpener(QStringList{program->executable} + program->arguments(), QString())) {
        return throughOpener(path, info, type, 0);
    }
    return Decision{Way::asArgument, QString()};
}

} // namespace

DocumentHandOver::Decision DocumentHandOver::decide(const QString& path, const QString& identifier) {
    const QFileInfo info(path);
    if (const QString refusal = fileRefusal(path, info); !refusal.isEmpty()) {
        return refused(refusal);
    }
    const bool entry = identifier.endsWith(QLatin1String(".desktop")) && !identifier.contains(u'/');
    return entry ? decideForEntry(path, info, identifier, 0) : decideForProgram(path, info, identifier);
}

bool DocumentHandOver::isTerminal(const QString& entryId) {
    const AppInfo entry(entryId.isEmpty() || !DesktopEntries::readable()
                            ? nullptr
                            : g_desktop_app_info_new(entryId.toUtf8().constData()));
    if (!entry) {
        return false;
    }
    const QStringList categories =
        text(g_desktop_app_info_get_categories(entry.get())).split(u';', Qt::SkipEmptyParts);
    if (categories.contains(QStringLiteral("TerminalEmulator"))) {
        return true;
    }
    if (QFileInfo(text(g_app_info_get_executable(G_APP_INFO(entry.get())))).fileName() ==
        QLatin1String("x-terminal-emulator")) {
        return true;
    }
    // A terminal under any entry and by any name it is started by.
    const std::optional<ProgramCommand> program = DesktopEntries::programOf(entryId);
    return program && isTerminalProgram(program->executable);
}

QString DocumentHandOver::contentType(const QString& path) {
    std::unique_ptr<GFile, ObjectUnref> file(g_file_new_for_path(QFile::encodeName(path).constData()));
    std::unique_ptr<GFileInfo, ObjectUnref> info(g_file_query_info(
        file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    return info ? text(g_file_info_get_content_type(info.get())) : QString();
}

bool DocumentHandOver::isProgramType(const QString& contentType) {
    // Scripts of every language the database knows are kinds of application/x-executable.
    static const char* const programs[] = {
        "application/x-executable",
        "application/x-sharedlib",
        "application/x-shellscript",
        "text/x-python",
        "application/x-desktop",
        "application/x-java-archive",
        "application/x-java-jnlp-file",
        "application/x-ms-dos-executable",
        "application/vnd.microsoft.portable-executable",
        "application/x-msdownload",
        "application/x-msi",
        "application/x-php",
        "application/x-shar",
        "text/x-tcl",
    };
    const QByteArray type = contentType.toUtf8();
    return std::any_of(std::begin(programs), std::end(programs), [&type](const char* program) {
        return g_content_type_is_a(type.constData(), program);
    });
}
