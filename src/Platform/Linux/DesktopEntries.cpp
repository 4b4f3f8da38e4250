// GIO first: Qt's "signals" keyword breaks its headers.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "Platform/Linux/DesktopEntries.h"

#include "Extensions/ApplicationIcon.h"
#include "Platform/Linux/DBusServiceFiles.h"
#include "Platform/Linux/InstalledEntries.h"
#include "Platform/Linux/LaunchWrapper.h"
#include "Platform/Linux/ProgramCommand.h"
#include "Platform/Linux/RegularFile.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using AppInfo = std::unique_ptr<GDesktopAppInfo, ObjectUnref>;

QString text(const char* value) {
    return value ? QString::fromUtf8(value) : QString();
}

DesktopEntry entryOf(GDesktopAppInfo* info) {
    DesktopEntry entry;
    entry.id = text(g_app_info_get_id(G_APP_INFO(info)));
    entry.filePath = text(g_desktop_app_info_get_filename(info));
    if (entry.id.isEmpty()) {
        // An entry read from a file outside the data folders has no id of its own.
        entry.id = QFileInfo(entry.filePath).fileName();
    }
    entry.name = text(g_app_info_get_name(G_APP_INFO(info)));
    entry.startupWMClass = text(g_desktop_app_info_get_startup_wm_class(info));
    entry.categories =
        text(g_desktop_app_info_get_categories(info)).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (GIcon* icon = g_app_info_get_icon(G_APP_INFO(info))) {
        gchar* name = g_icon_to_string(icon);
        entry.icon = text(name);
        g_free(name);
    }
    return entry;
}

std::optional<DesktopEntry> entryOrNothing(GDesktopAppInfo* raw) {
    const AppInfo info(raw);
    return info ? std::optional<DesktopEntry>(entryOf(info.get())) : std::nullopt;
}

// The entry of the id through GIO; none while GIO could not read the entries without end.
GDesktopAppInfo* infoOf(const QString& id) {
    return id.isEmpty() || !DesktopEntries::readable() ? nullptr
                                                       : g_desktop_app_info_new(id.toUtf8().constData());
}

QString baseName(const QString& id) {
    return id.endsWith(QLatin1String(".desktop")) ? id.chopped(8) : id;
}

// The words of a command line of an entry, its field codes kept; nothing when it cannot be read.
std::optional<QStringList> wordsOf(const char* commandLine) {
    gchar** parsed = nullptr;
    if (!commandLine || !g_shell_parse_argv(commandLine, nullptr, &parsed, nullptr)) {
        return std::nullopt;
    }
    QStringList words;
    for (gchar** word = parsed; *word; ++word) {
        words << QString::fromUtf8(*word);
    }
    g_strfreev(parsed);
    return words;
}

// The program a command line of an entry starts, seen through the launch wrappers before it
// ("env VAR=value", "nice -n 5"), its field codes left out; an empty executable when it cannot
// be found.
ProgramCommand commandOfWords(const QStringList& commandWords, const QString& folder) {
    const std::optional<QStringList> started = LaunchWrapper::startedCommand(commandWords);
    if (!started || started->first().startsWith(QLatin1Char('%'))) {
        return ProgramCommand();
    }
    QStringList words;
    for (const QString& w : *started) {
        if (!(w.size() == 2 && w[0] == QLatin1Char('%'))) {
            words << w;
        }
    }
    gchar* found = g_find_program_in_path(words.first().toUtf8().constData());
    const QString executable = found ? QFileInfo(QFile::decodeName(found)).canonicalFilePath() : QString();
    g_free(found);
    return ProgramCommand::ofArguments(executable, words.mid(1), folder);
}

ProgramCommand commandOf(const char* commandLine, const QString& folder) {
    return commandOfWords(wordsOf(commandLine).value_or(QStringList()), folder);
}

void collectPid(GDesktopAppInfo*, GPid pid, gpointer data) {
    static_cast<QList<qint32>*>(data)->append(qint32(pid));
}

using LaunchContext = std::unique_ptr<GAppLaunchContext, ObjectUnref>;

// The entry's Path: the folder its program starts in; empty where it names none.
QByteArray entryFolder(GDesktopAppInfo* info) {
    gchar* path = info ? g_desktop_app_info_get_string(info, "Path") : nullptr;
    const QByteArray folder(path ? path : "");
    g_free(path);
    return folder;
}

// Where a program whose entry names no folder starts: the user's home folder, as a desktop's
// launcher starts it, never the folder Ordella was started from.
QByteArray homeFolder() {
    return QFile::encodeName(QDir::homePath());
}

// Run in the child between its fork and its program: only calls that are safe there.
void enterFolder(gpointer folder) {
    [[maybe_unused]] const int entered = ::chdir(static_cast<const char*>(folder));
}

// The entry again with the home folder as its Path, for GIO's runs that take no folder of ours
// (an entry's actions); nothing where the entry names a folder, is started over D-Bus, or cannot
// be read again. The copy has no file of its own: the launcher's note names the entry's.
AppInfo startingAtHome(GDesktopAppInfo* info, GAppLaunchContext* context) {
    const char* file = g_desktop_app_info_get_filename(info);
    if (!file || !entryFolder(info).isEmpty() || g_desktop_app_info_get_boolean(info, "DBusActivatable")) {
        return AppInfo();
    }
    constexpr qsizetype kMostBytes = 1 << 20;
    const std::optional<RegularFile> entry = RegularFile::open(QFile::decodeName(file));
    const QByteArray data =
        entry && entry->size() <= quint64(kMostBytes) ? entry->readAt(0, kMostBytes) : QByteArray();
    GKeyFile* keys = g_key_file_new();
    AppInfo copy;
    if (!data.isEmpty() && g_key_file_load_from_data(keys, data.constData(), gsize(data.size()),
                                                     G_KEY_FILE_KEEP_TRANSLATIONS, nullptr)) {
        g_key_file_set_string(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_PATH,
                              homeFolder().constData());
        copy.reset(g_desktop_app_info_new_from_keyfile(keys));
    }
    g_key_file_unref(keys);
    if (copy) {
        g_app_launch_context_setenv(context, "GIO_LAUNCHED_DESKTOP_FILE", file);
    }
    return copy;
}

LaunchContext launchContext(bool activates) {
    LaunchContext context(g_app_launch_context_new());
    if (!activates) {
        // A startup id whose time is 0 tells the program that no user action asked for it, so
        // window managers leave the focus where it is.
        static std::atomic<int> sequence{0};
        const QByteArray startupId = "ordella-" + QByteArray::number(qint64(::getpid())) + '-' +
                                     QByteArray::number(++sequence) + "_TIME0";
        g_app_launch_context_setenv(context.get(), "DESKTOP_STARTUP_ID", startupId.constData());
    }
    return context;
}

} // namespace

bool DesktopEntries::readable() {
    return InstalledEntries::unreadable().isEmpty();
}

std::optional<DesktopEntry> DesktopEntries::find(const QString& id) {
    return entryOrNothing(infoOf(id));
}

namespace {

// The entry file at path, read by GLib as the regular file opened here without waiting (a FIFO
// in its place would hold this thread): GLib opens /proc/self/fd/N, this very file, whatever
// stands at the path by then. Nothing for anything else, or for a file far larger than an entry.
AppInfo entryFile(const QString& path) {
    constexpr quint64 largest = 1024 * 1024;
    const std::optional<RegularFile> file = RegularFile::open(path);
    if (!file || file->size() > largest) {
        return nullptr;
    }
    const QByteArray held = "/proc/self/fd/" + QByteArray::number(file->descriptor());
    return AppInfo(g_desktop_app_info_new_from_filename(held.constData()));
}

// The entry read from the file at path, named by that path.
DesktopEntry entryOfFile(GDesktopAppInfo* info, const QString& path) {
    DesktopEntry entry = entryOf(info);
    entry.filePath = path;
    entry.id = QFileInfo(path).fileName();
    return entry;
}

} // namespace

std::optional<DesktopEntry> DesktopEntries::fromFile(const QString& path) {
    if (path.isEmpty() || !readable()) {
        return std::nullopt;
    }
    const AppInfo info = entryFile(path);
    return info ? std::optional<DesktopEntry>(entryOfFile(info.get(), path)) : std::nullopt;
}

std::optional<InstalledEntry> DesktopEntries::load(const QString& path, const QString& id) {
    const AppInfo info = entryFile(path);
    if (!info) {
        return std::nullopt;
    }
    InstalledEntry installed{entryOfFile(info.get(), path),
                             bool(g_desktop_app_info_get_is_hidden(info.get())),
                             QByteArray(g_app_info_get_commandline(G_APP_INFO(info.get()))),
                             {},
                             {}};
    installed.entry.id = id;
    gchar* tryExec = g_desktop_app_info_get_string(info.get(), "TryExec");
    installed.tryExec = QByteArray(tryExec);
    g_free(tryExec);
    gchar* start = g_desktop_app_info_get_string(info.get(), "Path");
    installed.folder = text(start);
    g_free(start);
    return installed;
}

std::optional<DesktopEntry> DesktopEntries::findByWindowClass(const QString& instance,
                                                              const QString& windowClass) {
    return findForProgram(instance, windowClass, ProgramCommand());
}

std::optional<DesktopEntry> DesktopEntries::findForProgram(const QString& instance,
                                                           const QString& windowClass,
                                                           const ProgramCommand& program) {
    if (instance.isEmpty() && windowClass.isEmpty() && program.executable.isEmpty()) {
        return std::nullopt;
    }
    // An interpreter without a script is every script's: no entry speaks for it by its program.
    const bool byProgram = !program.executable.isEmpty() &&
                           (!program.script.isEmpty() || !ProgramCommand::isInterpreter(program.executable));
    const auto sameName = [&instance, &windowClass](const QString& name) {
        return !name.isEmpty() && (name.compare(windowClass, Qt::CaseInsensitive) == 0 ||
                                   name.compare(instance, Qt::CaseInsensitive) == 0);
    };
    // TryExec names the program of an entry whose Exec starts it some other way, unless the program
    // is an interpreter, whose entries are told apart by their scripts.
    const auto runs = [&program](const InstalledEntry& installed) {
        return InstalledEntries::programOf(installed.commandLine, installed.folder) == program ||
               (program.script.isEmpty() && !installed.tryExec.isEmpty() &&
                InstalledEntries::programOf(installed.tryExec, installed.folder) == program);
    };
    const std::shared_ptr<const QList<InstalledEntry>> all = InstalledEntries::all();
    const InstalledEntry* byId = nullptr;
    const InstalledEntry* byExec = nullptr;
    for (const InstalledEntry& installed : *all) {
        const QString& startupClass = installed.entry.startupWMClass;
        if (!startupClass.isEmpty() && (startupClass == windowClass || startupClass == instance)) {
            return installed.entry;
        }
        if (byId) {
            continue;
        }
        // "org.gnome.Terminal.desktop" names the class "org.gnome.Terminal", and
        // "org.xfce.mousepad.desktop" the class "Mousepad" by its last part; an entry like
        // "debian-xterm.desktop" is found through its StartupWMClass or its program only.
        const QString base = baseName(installed.entry.id);
        if (sameName(base) || sameName(base.section(QLatin1Char('.'), -1))) {
            byId = &installed;
        } else if (!byExec && byProgram && runs(installed)) {
            byExec = &installed;
        }
    }
    const InstalledEntry* found = byId ? byId : byExec;
    return found ? std::optional<DesktopEntry>(found->entry) : std::nullopt;
}

DesktopEntries::Launch DesktopEntries::launch(const QString& id, const QStringList& uris, bool activates) {
    Launch result;
    const AppInfo info(infoOf(id));
    if (!info) {
        result.error = QStringLiteral("No application is installed as ") + id;
        return result;
    }
    const LaunchContext context = launchContext(activates);
    GList* list = nullptr;
    for (const QString& uri : uris) {
        list = g_list_append(list, g_strdup(uri.toUtf8().constData()));
    }
    GError* error = nullptr;
    // GIO starts the program in the entry's Path; the child enters the home folder where there is none.
    QByteArray home = homeFolder();
    const GSpawnChildSetupFunc setup = entryFolder(info.get()).isEmpty() ? enterFolder : nullptr;
    // Without "do not reap" GLib collects the children itself, so none is left a zombie.
    const gboolean launched =
        g_desktop_app_info_launch_uris_as_manager(info.get(), list, context.get(), G_SPAWN_SEARCH_PATH, setup,
                                                  home.data(), collectPid, &result.pids, &error);
    g_list_free_full(list, g_free);
    if (!launched) {
        result.error = error ? text(error->message) : QStringLiteral("The application could not be started.");
        result.pids.clear();
    }
    if (error) {
        g_error_free(error);
    }
    return result;
}

bool DesktopEntries::hasAction(const QString& id, const QString& action) {
    const AppInfo info(infoOf(id));
    if (!info) {
        return false;
    }
    const QByteArray wanted = action.toUtf8();
    for (const gchar* const* name = g_desktop_app_info_list_actions(info.get()); name && *name; ++name) {
        if (wanted == *name) {
            return true;
        }
    }
    return false;
}

QString DesktopEntries::launchAction(const QString& id, const QString& action, bool activates) {
    if (!hasAction(id, action)) {
        return QStringLiteral("The application ") + id + QStringLiteral(" offers no action ") + action;
    }
    const AppInfo info(infoOf(id));
    if (!info) {
        return QStringLiteral("No application is installed as ") + id;
    }
    const LaunchContext context = launchContext(activates);
    const AppInfo atHome = startingAtHome(info.get(), context.get());
    g_desktop_app_info_launch_action(atHome ? atHome.get() : info.get(), action.toUtf8().constData(),
                                     context.get());
    return QString();
}

namespace {

// The entry's own words as its program is started with words of ours: its field codes (the places
// for files and addresses) left out. Nothing, and why in error, when its line cannot be read.
std::optional<QList<QByteArray>> ownWords(GDesktopAppInfo* info, const QString& id, QString* error) {
    const char* exec = info ? g_app_info_get_commandline(G_APP_INFO(info)) : nullptr;
    if (!exec) {
        *error = QStringLiteral("No application is installed as ") + id;
        return std::nullopt;
    }
    gchar** parsed = nullptr;
    GError* failure = nullptr;
    if (!g_shell_parse_argv(exec, nullptr, &parsed, &failure)) {
        *error = QStringLiteral("The application's command line cannot be read: ") +
                 (failure ? text(failure->message) : QString());
        g_clear_error(&failure);
        return std::nullopt;
    }
    QList<QByteArray> words;
    for (gchar** word = parsed; *word; ++word) {
        QByteArray w(*word);
        if (w.size() == 2 && w[0] == '%') {
            continue;
        }
        w.replace("%%", "%");
        if (w.contains('%')) {
            continue; // a field code inside a word: nothing of ours belongs there
        }
        words << w;
    }
    g_strfreev(parsed);
    return words;
}

} // namespace

QStringList DesktopEntries::launchWords(const QString& id) {
    const AppInfo info(infoOf(id));
    QString error;
    QStringList words;
    for (const QByteArray& word : ownWords(info.get(), id, &error).value_or(QList<QByteArray>())) {
        words << QFile::decodeName(word);
    }
    return words;
}

DesktopEntries::Launch DesktopEntries::launchWithArguments(const QString& id, const QStringList& arguments,
                                                           const QString& folder) {
    Launch result;
    const AppInfo info(infoOf(id));
    // The entry's own words, then the arguments, each a word of its own.
    std::optional<QList<QByteArray>> own = ownWords(info.get(), id, &result.error);
    if (!own) {
        return result;
    }
    QList<QByteArray> words = std::move(*own);
    GError* error = nullptr;
    for (const QString& argument : arguments) {
        words << argument.toUtf8();
    }
    std::vector<char*> argv;
    for (QByteArray& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    gchar** environment = g_get_environ();
    environment = g_environ_setenv(environment, "GIO_LAUNCHED_DESKTOP_FILE",
                                   g_desktop_app_info_get_filename(info.get()), TRUE);
    const QByteArray path = entryFolder(info.get());
    const QByteArray start = !folder.isEmpty() ? QFile::encodeName(folder)
                             : !path.isEmpty() ? path
                                               : homeFolder();
    GPid pid = 0;
    // Without "do not reap" GLib collects the child itself, so none is left a zombie.
    const gboolean spawned = g_spawn_async(start.isEmpty() ? nullptr : start.constData(), argv.data(),
                                           environment, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &pid, &error);
    g_strfreev(environment);
    if (!spawned) {
        result.error = error ? text(error->message) : QStringLiteral("The application could not be started.");
        g_clear_error(&error);
        return result;
    }
    result.pids << qint32(pid);
    return result;
}

QString DesktopEntries::defaultFor(const QString& mimeType) {
    std::unique_ptr<GAppInfo, ObjectUnref> info(
        readable() ? g_app_info_get_default_for_type(mimeType.toUtf8().constData(), FALSE) : nullptr);
    return info ? text(g_app_info_get_id(info.get())) : QString();
}

QImage DesktopEntries::icon(const QString& id, int size) {
    const std::optional<DesktopEntry> entry = find(id);
    if (!entry || entry->icon.isEmpty()) {
        return QImage();
    }
    return ApplicationIcon::render(entry->icon, size);
}

std::optional<ProgramCommand> DesktopEntries::programOf(const QString& id) {
    const AppInfo info(infoOf(id));
    if (!info) {
        return std::nullopt;
    }
    gchar* path = g_desktop_app_info_get_string(info.get(), "Path");
    const QString folder = text(path);
    g_free(path);
    const ProgramCommand program = commandOf(g_app_info_get_commandline(G_APP_INFO(info.get())), folder);
    return program.executable.isEmpty() ? std::nullopt : std::optional<ProgramCommand>(program);
}

ProgramCommand DesktopEntries::programOfCommandLine(const QByteArray& commandLine, const QString& folder) {
    return commandOf(commandLine.isNull() ? nullptr : commandLine.constData(), folder);
}

ProgramCommand DesktopEntries::programOfWords(const QStringList& words, const QString& folder) {
    return commandOfWords(words, folder);
}

std::optional<DesktopEntries::CommandLine> DesktopEntries::activationCommandLine(const QString& id) {
    const AppInfo info(infoOf(id));
    if (!info || !g_desktop_app_info_get_boolean(info.get(), "DBusActivatable")) {
        return std::nullopt;
    }
    const std::optional<QStringList> words = DBusServiceFiles::commandLineOf(baseName(id));
    return words ? std::optional<CommandLine>(CommandLine{*words, QString()}) : std::nullopt;
}

std::optional<DesktopEntries::CommandLine> DesktopEntries::commandLineOf(const QString& id) {
    const AppInfo info(infoOf(id));
    const std::optional<QStringList> words =
        info ? wordsOf(g_app_info_get_commandline(G_APP_INFO(info.get()))) : std::nullopt;
    if (!words || words->isEmpty()) {
        return std::nullopt;
    }
    gchar* path = g_desktop_app_info_get_string(info.get(), "Path");
    CommandLine commandLine{*words, text(path)};
    g_free(path);
    return commandLine;
}
