#include "Platform/Linux/LaunchWrapper.h"

#include "Platform/Linux/RegularFile.h"

#include <glib.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <optional>

namespace {

// How a wrapper reads the words before the command it starts. Options are read until the first
// word that is none (they stop there, as "+" in their option strings tells getopt). Any other
// option makes the command line unreadable rather than guessed at: one the wrapper does not have,
// one after which no command is started ("taskset -p PID", "--help"), or "env -S", which splits
// one text into words by rules of its own.
struct WrapperGrammar {
    QString flagLetters{};
    // Take a value: the rest of the cluster, else the next word ("-n 5", "-n5").
    QString valueLetters{};
    QSet<QString> flagWords{};
    // "--name VALUE" or "--name=VALUE".
    QSet<QString> valueWords{};
    // "--name" or "--name=VALUE", never the next word.
    QSet<QString> optionalValueWords{};
    // Words between the options and the command: timeout's duration, chrt's priority, taskset's
    // mask.
    int operands = 0;
    // NAME=VALUE words before the command.
    bool assignments = false;
    // "-5", the old way of giving nice its adjustment.
    bool numericOption = false;
    // A lone "-" is an option ("env -" is "env -i").
    bool dashIsOption = false;
};

const QHash<QString, WrapperGrammar>& wrappers() {
    static const QHash<QString, WrapperGrammar> table{
        {"env",
         {.flagLetters = "i0v",
          .valueLetters = "uC",
          .flagWords = {"--ignore-environment", "--null", "--debug", "--list-signal-handling"},
          .valueWords = {"--unset", "--chdir"},
          .optionalValueWords = {"--default-signal", "--ignore-signal", "--block-signal"},
          .assignments = true,
          .dashIsOption = true}},
        {"nice", {.valueLetters = "n", .valueWords = {"--adjustment"}, .numericOption = true}},
        {"ionice",
         {.flagLetters = "t",
          .valueLetters = "cn",
          .flagWords = {"--ignore"},
          .valueWords = {"--class", "--classdata"}}},
        {"chrt",
         {.flagLetters = "abdfiorRv",
          .valueLetters = "TPD",
          .flagWords = {"--all-tasks", "--batch", "--deadline", "--fifo", "--idle", "--other", "--rr",
                        "--reset-on-fork", "--verbose"},
          .valueWords = {"--sched-runtime", "--sched-period", "--sched-deadline"},
          .operands = 1}},
        {"taskset", {.flagLetters = "ac", .flagWords = {"--all-tasks", "--cpu-list"}, .operands = 1}},
        {"stdbuf", {.valueLetters = "ioe", .valueWords = {"--input", "--output", "--error"}}},
        {"timeout",
         {.flagLetters = "v",
          .valueLetters = "ks",
          .flagWords = {"--foreground", "--preserve-status", "--verbose"},
          .valueWords = {"--kill-after", "--signal"},
          .operands = 1}},
        {"nohup", {}},
        {"setsid", {.flagLetters = "cfw", .flagWords = {"--ctty", "--fork", "--wait"}}},
    };
    return table;
}

// The file names a program goes by: its own, and that of what it resolves to (a link, an
// alternative the system chose).
QStringList namesOf(const QString& program) {
    if (program.isEmpty()) {
        return {};
    }
    const QString path = program.startsWith(u'/') ? program : QStandardPaths::findExecutable(program);
    const QString canonical = path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QStringList{QFileInfo(program).fileName()}
                               : QStringList{QFileInfo(program).fileName(), QFileInfo(canonical).fileName()};
}

const WrapperGrammar* grammarOf(const QString& program) {
    const QHash<QString, WrapperGrammar>& table = wrappers();
    for (const QString& name : namesOf(program)) {
        if (const auto found = table.constFind(name); found != table.cend()) {
            return &*found;
        }
    }
    return nullptr;
}

bool isFlatpak(const QString& program) {
    return namesOf(program).contains(QStringLiteral("flatpak"));
}

// Where a sandboxed application's files are: its deployment in the user's or the system's
// installation, and the runtime its metadata names.
struct FlatpakDeployment {
    QString files;
    QString runtimeFiles;
};

// A deployment's metadata file, read as a regular file of a bounded size without waiting: the
// user's installation is anyone's to fill.
bool loadMetadata(GKeyFile* metadata, const QString& path) {
    constexpr qsizetype limit = 1024 * 1024;
    const std::optional<RegularFile> file = RegularFile::open(path);
    const std::optional<QByteArray> data = file ? file->readAll(limit) : std::nullopt;
    return data && data->size() <= limit &&
           g_key_file_load_from_data(metadata, data->constData(), gsize(data->size()), G_KEY_FILE_NONE,
                                     nullptr);
}

std::optional<FlatpakDeployment> flatpakDeployment(const QString& app, const QString& arch,
                                                   const QString& branch, const QStringList& installations) {
    for (const QString& installation : installations) {
        const QString deployed =
            installation + QStringLiteral("/app/") + app +
            (arch.isEmpty() || branch.isEmpty() ? QStringLiteral("/current") : u'/' + arch + u'/' + branch) +
            QStringLiteral("/active");
        if (!QFileInfo(deployed + QStringLiteral("/files")).isDir()) {
            continue;
        }
        FlatpakDeployment deployment{deployed + QStringLiteral("/files"), QString()};
        GKeyFile* metadata = g_key_file_new();
        if (loadMetadata(metadata, deployed + QStringLiteral("/metadata"))) {
            gchar* runtime = g_key_file_get_string(metadata, "Application", "runtime", nullptr);
            const QString ref = QString::fromUtf8(runtime);
            g_free(runtime);
            for (const QString& other : installations) {
                const QString files =
                    other + QStringLiteral("/runtime/") + ref + QStringLiteral("/active/files");
                if (ref.count(u'/') == 2 && !ref.contains(QLatin1String("..")) && QFileInfo(files).isDir()) {
                    deployment.runtimeFiles = files;
                    break;
                }
            }
        }
        g_key_file_free(metadata);
        return deployment;
    }
    return std::nullopt;
}

// The program a sandbox runs, as a path on this system: "/app/..." lies in the application's
// files, "/usr/..." in its runtime's, and a bare name is searched there as the sandbox's
// search path would; the name as given when it is not found.
QString flatpakProgram(const QString& command, const std::optional<FlatpakDeployment>& deployment) {
    if (!deployment || command.contains(QLatin1String(".."))) {
        return command;
    }
    QStringList candidates;
    if (command.startsWith(QLatin1String("/app/"))) {
        candidates << deployment->files + command.mid(4);
    } else if (command.startsWith(QLatin1String("/usr/")) && !deployment->runtimeFiles.isEmpty()) {
        candidates << deployment->runtimeFiles + command.mid(4);
    } else if (!command.contains(u'/')) {
        candidates << deployment->files + QStringLiteral("/bin/") + command;
        if (!deployment->runtimeFiles.isEmpty()) {
            candidates << deployment->runtimeFiles + QStringLiteral("/bin/") + command;
        }
    }
    for (const QString& candidate : candidates) {
        if (const QFileInfo file(candidate); file.isFile() && file.isExecutable()) {
            return candidate;
        }
    }
    return command;
}

// What "flatpak run [options] APP [arguments]" runs in the application's sandbox: the program
// "--command" names (else the one its metadata names), with the arguments, the markers of the
// files it forwards ("@@", "@@u") left out. Nothing for any other subcommand or an option it
// does not read.
std::optional<QStringList> flatpakCommand(const QStringList& words) {
    static const QSet<QString> globalFlags{"-v", "--verbose", "--ostree-verbose", "--user", "--system"};
    static const QSet<QString> runFlags{"--user",
                                        "--system",
                                        "--file-forwarding",
                                        "--devel",
                                        "-d",
                                        "--log-session-bus",
                                        "--log-system-bus",
                                        "--log-a11y-bus",
                                        "--no-a11y-bus",
                                        "--a11y-bus",
                                        "--no-session-bus",
                                        "--session-bus",
                                        "--sandbox",
                                        "--die-with-parent",
                                        "-p",
                                        "--parent-expose-pids",
                                        "--parent-share-pids",
                                        "--no-documents-portal",
                                        "--clear-env",
                                        "-v",
                                        "--verbose"};
    static const QSet<QString> runValues{"--command", "--arch",          "--branch",
                                         "--cwd",     "--runtime",       "--runtime-version",
                                         "--commit",  "--runtime-commit"};
    qsizetype i = 1;
    bool user = false;
    bool system = false;
    for (; i < words.size() && globalFlags.contains(words[i]); ++i) {
        user = user || words[i] == QLatin1String("--user");
        system = system || words[i] == QLatin1String("--system");
    }
    if (i >= words.size() || words[i] != QLatin1String("run")) {
        return std::nullopt;
    }
    QHash<QString, QString> values;
    for (++i; i < words.size() && words[i].startsWith(u'-'); ++i) {
        const QString& word = words[i];
        const QString name = word.section(u'=', 0, 0);
        if (word.contains(u'=') && word.startsWith(QLatin1String("--"))) {
            values.insert(name, word.section(u'=', 1));
        } else if (runValues.contains(word) && i + 1 < words.size()) {
            values.insert(word, words[++i]);
        } else if (runFlags.contains(word)) {
            user = user || word == QLatin1String("--user");
            system = system || word == QLatin1String("--system");
        } else {
            return std::nullopt;
        }
    }
    if (i >= words.size()) {
        return std::nullopt;
    }
    // "org.example.App", "org.example.App//stable" or "org.example.App/x86_64/stable".
    const QStringList ref = words[i].split(u'/');
    const QString app = ref.first();
    const QString arch = values.value(QStringLiteral("--arch"), ref.value(1));
    const QString branch = values.value(QStringLiteral("--branch"), ref.value(2));
    if (app.isEmpty() || app.contains(QLatin1String(".."))) {
        return std::nullopt;
    }
    QStringList installations;
    if (!system || user) {
        installations << QFile::decodeName(g_get_user_data_dir()) + QStringLiteral("/flatpak");
    }
    if (!user || system) {
        const QByteArray systemDir = qgetenv("FLATPAK_SYSTEM_DIR");
        installations << (systemDir.isEmpty() ? QStringLiteral("/var/lib/flatpak")
                                              : QFile::decodeName(systemDir));
    }
    const std::optional<FlatpakDeployment> deployment = flatpakDeployment(app, arch, branch, installations);
    QString command = values.value(QStringLiteral("--command"));
    if (command.isEmpty() && deployment) {
        GKeyFile* metadata = g_key_file_new();
        if (loadMetadata(metadata, deployment->files + QStringLiteral("/../metadata"))) {
            gchar* named = g_key_file_get_string(metadata, "Application", "command", nullptr);
            command = QString::fromUtf8(named);
            g_free(named);
        }
        g_key_file_free(metadata);
    }
    if (command.isEmpty()) {
        return std::nullopt;
    }
    QStringList started{flatpakProgram(command, deployment)};
    for (const QString& word : words.mid(i + 1)) {
        if (word != QLatin1String("@@") && word != QLatin1String("@@u")) {
            started << word;
        }
    }
    return started;
}

bool isNumber(QStringView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// Where, in words, the command the wrapper at words[0] starts begins; -1 when it cannot be told.
qsizetype commandStart(const WrapperGrammar& grammar, const QStringList& words) {
    qsizetype i = 1;
    while (i < words.size()) {
        const QString& word = words[i];
        if (word == QLatin1String("--")) {
            ++i;
            break;
        }
        if (word == QLatin1String("-") && grammar.dashIsOption) {
            ++i;
            continue;
        }
        if (word.startsWith(QLatin1String("--"))) {
            const QString name = word.section(u'=', 0, 0);
            const bool valueAttached = word.contains(u'=');
            if (grammar.valueWords.contains(name)) {
                i += valueAttached ? 1 : 2;
            } else if (grammar.optionalValueWords.contains(name) ||
                       (grammar.flagWords.contains(name) && !valueAttached)) {
                ++i;
            } else {
                return -1;
            }
            continue;
        }
        if (!word.startsWith(u'-') || word.size() == 1) {
            break;
        }
        ++i;
        if (grammar.numericOption && isNumber(QStringView(word).mid(1))) {
            continue;
        }
        for (qsizetype letter = 1; letter < word.size(); ++letter) {
            const QChar c = word[letter];
            if (grammar.valueLetters.contains(c)) {
                if (letter + 1 == word.size()) {
                    ++i; // the value is the next word
                }
                break;
            }
            if (!grammar.flagLetters.contains(c)) {
                return -1; // an option that starts no command, or one it does not have
            }
        }
    }
    if (grammar.assignments) {
        while (i < words.size() && words[i].contains(u'=')) {
            ++i;
        }
    }
    i += grammar.operands;
    return i < words.size() ? i : -1;
}

} // namespace

bool LaunchWrapper::isWrapper(const QString& program) {
    return grammarOf(program) != nullptr || isFlatpak(program);
}

std::optional<QStringList> LaunchWrapper::startedCommand(const QStringList& words) {
    QStringList command = words;
    // Each pass drops at least the wrapper's own word.
    while (!command.isEmpty()) {
        if (isFlatpak(command.first())) {
            const std::optional<QStringList> sandboxed = flatpakCommand(command);
            if (!sandboxed || sandboxed->size() >= command.size()) {
                return std::nullopt;
            }
            command = *sandboxed;
            continue;
        }
        const WrapperGrammar* grammar = grammarOf(command.first());
        if (!grammar) {
            return command;
        }
        const qsizetype start = commandStart(*grammar, command);
        if (start < 0) {
            return std::nullopt;
        }
        command = command.mid(start);
    }
    return std::nullopt;
}
