#include "Platform/Linux/LaunchWrapper.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>

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

const WrapperGrammar* grammarOf(const QString& program) {
    if (program.isEmpty()) {
        return nullptr;
    }
    const QHash<QString, WrapperGrammar>& table = wrappers();
    if (const auto found = table.constFind(QFileInfo(program).fileName()); found != table.cend()) {
        return &*found;
    }
    // Under a name of its own: a link to one, or an alternative the system chose.
    const QString path = program.startsWith(u'/') ? program : QStandardPaths::findExecutable(program);
    const QString canonical = path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
    const auto found = table.constFind(QFileInfo(canonical).fileName());
    return canonical.isEmpty() || found == table.cend() ? nullptr : &*found;
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
    return grammarOf(program) != nullptr;
}

std::optional<QStringList> LaunchWrapper::startedCommand(const QStringList& words) {
    QStringList command = words;
    // Each pass drops at least the wrapper's own word.
    while (!command.isEmpty()) {
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
