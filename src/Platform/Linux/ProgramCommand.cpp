#include "Platform/Linux/ProgramCommand.h"

#include "Platform/Linux/LinuxProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringView>

#include <climits>

namespace {

const QString kJar = QStringLiteral("-jar");

// The longest identifier that can name a program: two paths of at most PATH_MAX - 1 bytes (a
// QString never has more units than the path has bytes) and " -jar " between them. Anything
// longer names nothing the system could open, and is refused before it is looked at.
constexpr qsizetype kLongestIdentifier = 2 * (PATH_MAX - 1) + 6;

// How an interpreter reads the options before its script.
struct OptionGrammar {
    // Short options may be run together ("-uB", "-ex"); the letters that, met in such a cluster,
    // run text, a module or standard input instead of a file ("-c", "-e", "-m"),
    QString inlineLetters{};
    // that take a value: the rest of the cluster, else the next word ("-W ignore", "-Wignore"),
    QString valueLetters{};
    // and that take the rest of the cluster, if any, but never the next word ("-Mstrict", "-i.bak").
    QString attachedLetters{};
    // Long options (and, for interpreters that do not run short options together, every option)
    // that run no file, and those that take the next word as their value ("--rcfile FILE").
    QSet<QString> inlineWords{};
    QSet<QString> valueWords{};
    bool clusters = true;
    // "-" ends the options and "+x" is an option too (shells); elsewhere "-" names standard input.
    bool shellOptions = false;
    // "--" ends the options (java has no such word).
    bool doubleDashEndsOptions = true;
    // The first word that is no option is a script only with this ending (java runs a class
    // otherwise); empty for any file.
    QString scriptSuffix{};
    bool hasJars = false;
};

const OptionGrammar& pythonGrammar() {
    static const OptionGrammar grammar{
        .inlineLetters = QStringLiteral("cm"),
        .valueLetters = QStringLiteral("WX"),
        .inlineWords = {"--help", "--help-env", "--help-xoptions", "--help-all", "--version"},
        .valueWords = {"--check-hash-based-pycs"},
    };
    return grammar;
}

const OptionGrammar& perlGrammar() {
    static const OptionGrammar grammar{
        .inlineLetters = QStringLiteral("eE"),
        .valueLetters = QStringLiteral("I"),
        .attachedLetters = QStringLiteral("MmixCFVdD"),
        .inlineWords = {"--help", "--version"},
    };
    return grammar;
}

const OptionGrammar& rubyGrammar() {
    static const OptionGrammar grammar{
        .inlineLetters = QStringLiteral("e"),
        .valueLetters = QStringLiteral("IrCE"),
        .attachedLetters = QStringLiteral("xFKTW"),
        .inlineWords = {"--help", "--version", "-h"},
        .valueWords = {"--encoding", "--external-encoding", "--internal-encoding"},
    };
    return grammar;
}

const OptionGrammar& nodeGrammar() {
    static const OptionGrammar grammar{
        .inlineWords = {"-e", "--eval", "-p", "--print", "-v", "--version", "-h", "--help", "--test"},
        .valueWords = {"-r", "--require", "--import", "--loader", "--experimental-loader", "-C",
                       "--conditions", "--input-type", "--title", "--env-file", "--inspect-port",
                       "--debug-port"},
        .clusters = false,
    };
    return grammar;
}

const OptionGrammar& shellGrammar() {
    static const OptionGrammar grammar{
        .inlineLetters = QStringLiteral("cs"),
        .valueLetters = QStringLiteral("oO"),
        .inlineWords = {"--help", "--version"},
        .valueWords = {"--rcfile", "--init-file"},
        .shellOptions = true,
    };
    return grammar;
}

const OptionGrammar& javaGrammar() {
    static const OptionGrammar grammar{
        .inlineWords = {"-version", "--version", "-h", "-help", "-?", "--help", "--help-extra", "-X", "-m",
                        "--module", "-d", "--describe-module", "--list-modules", "--", "-"},
        .valueWords = {"-cp", "-classpath", "--class-path", "-p", "--module-path", "--upgrade-module-path",
                       "--add-modules", "--limit-modules", "--add-opens", "--add-exports", "--add-reads",
                       "--patch-module", "--source"},
        .clusters = false,
        .doubleDashEndsOptions = false,
        .scriptSuffix = QStringLiteral(".java"),
        .hasJars = true,
    };
    return grammar;
}

const QRegularExpression& interpreterNames() {
    static const QRegularExpression names(
        QStringLiteral("^(python|pythonw|perl|ruby|node|nodejs|java|sh|bash|dash|zsh|ksh)[0-9.]*$"));
    return names;
}

// The grammar of an interpreter by its file name ("python3.11" reads as python), none for other
// programs.
const OptionGrammar* grammarOf(const QString& executable) {
    const QRegularExpressionMatch match = interpreterNames().match(QFileInfo(executable).fileName());
    if (!match.hasMatch()) {
        return nullptr;
    }
    const QString family = match.captured(1);
    if (family.startsWith(QLatin1String("python"))) {
        return &pythonGrammar();
    }
    if (family == QLatin1String("perl")) {
        return &perlGrammar();
    }
    if (family == QLatin1String("ruby")) {
        return &rubyGrammar();
    }
    if (family.startsWith(QLatin1String("node"))) {
        return &nodeGrammar();
    }
    if (family == QLatin1String("java")) {
        return &javaGrammar();
    }
    return &shellGrammar();
}

// What one option word does to the reading of the rest.
enum class OptionEffect { Flag, TakesNextWord, RunsNoFile };

OptionEffect effectOf(const OptionGrammar& grammar, const QString& word) {
    if (grammar.inlineWords.contains(word)) {
        return OptionEffect::RunsNoFile;
    }
    if (grammar.valueWords.contains(word)) {
        return OptionEffect::TakesNextWord;
    }
    // A long option, with its value after "=" if it has one, or a word the grammar reads whole.
    if (!grammar.clusters || word.startsWith(QLatin1String("--"))) {
        return OptionEffect::Flag;
    }
    for (qsizetype i = 1; i < word.size(); ++i) {
        const QChar letter = word[i];
        if (grammar.inlineLetters.contains(letter)) {
            return OptionEffect::RunsNoFile;
        }
        if (grammar.valueLetters.contains(letter)) {
            return i + 1 == word.size() ? OptionEffect::TakesNextWord : OptionEffect::Flag;
        }
        if (grammar.attachedLetters.contains(letter)) {
            return OptionEffect::Flag;
        }
    }
    return OptionEffect::Flag;
}

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isAbsolute() && info.isFile() && info.isExecutable();
}

// The absolute, clean path of a script argument when it names a regular file.
QString scriptPath(const QString& argument, const QString& folder) {
    if (argument.isEmpty() || argument.contains(QChar(0))) {
        return QString();
    }
    QString path = argument;
    if (QFileInfo(path).isRelative()) {
        if (folder.isEmpty()) {
            return QString();
        }
        path = folder + u'/' + path;
    }
    path = QDir::cleanPath(path);
    return QFileInfo(path).isFile() ? path : QString();
}

// Whether the file name of a path that ends at end (exclusive), starting after the slash at
// slash, is that of an interpreter.
bool namesInterpreter(const QString& text, qsizetype slash, qsizetype end) {
    return interpreterNames().match(QStringView(text).mid(slash + 1, end - slash - 1)).hasMatch();
}

} // namespace

bool ProgramCommand::isInterpreter(const QString& executable) {
    return grammarOf(executable) != nullptr;
}

ProgramCommand ProgramCommand::ofArguments(const QString& executable, const QStringList& arguments,
                                           const QString& folder) {
    ProgramCommand command;
    command.executable = executable;
    const OptionGrammar* grammar = executable.isEmpty() ? nullptr : grammarOf(executable);
    if (!grammar) {
        return command;
    }
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (grammar->hasJars && word == kJar) {
            command.script = scriptPath(arguments.value(i + 1), folder);
            command.jar = !command.script.isEmpty();
            return command;
        }
        const bool endsOptions = (grammar->doubleDashEndsOptions && word == QLatin1String("--")) ||
                                 (grammar->shellOptions && word == QLatin1String("-"));
        if (endsOptions) {
            command.script = scriptPath(arguments.value(i + 1), folder);
            return command;
        }
        const bool isOption =
            word.startsWith(u'-') || (grammar->shellOptions && word.startsWith(u'+') && word.size() > 1);
        if (isOption) {
            const OptionEffect effect =
                word == QLatin1String("-") ? OptionEffect::RunsNoFile : effectOf(*grammar, word);
            if (effect == OptionEffect::RunsNoFile) {
                return command;
            }
            if (effect == OptionEffect::TakesNextWord) {
                ++i;
            }
            continue;
        }
        // The first word that is no option is what the interpreter runs: a class, for java, unless
        // it is a source file.
        if (grammar->scriptSuffix.isEmpty() || word.endsWith(grammar->scriptSuffix)) {
            command.script = scriptPath(word, folder);
        }
        return command;
    }
    return command;
}

ProgramCommand ProgramCommand::ofProcess(qint32 pid) {
    const QString executable = LinuxProcess::executable(pid);
    if (executable.isEmpty() || !isInterpreter(executable)) {
        return ofArguments(executable, {}, QString());
    }
    QStringList arguments;
    const QList<QByteArray> words = LinuxProcess::commandLine(pid);
    for (qsizetype i = 1; i < words.size(); ++i) {
        arguments.append(QFile::decodeName(words[i]));
    }
    return ofArguments(executable, arguments, LinuxProcess::workingFolder(pid));
}

std::optional<ProgramCommand> ProgramCommand::fromIdentifier(const QString& identifier) {
    if (identifier.isEmpty() || identifier.size() > kLongestIdentifier) {
        return std::nullopt;
    }
    if (isExecutableFile(identifier)) {
        return ProgramCommand{identifier, QString(), false};
    }
    // "<interpreter> <script>" or "<interpreter> -jar <jar>": the interpreter is the first part
    // that is an executable file, the rest an absolute path of an existing file. Each blank is
    // looked at once: only one whose file name before it names an interpreter can end the
    // interpreter's path, and once the folder before such a name does not exist, no later one
    // (which lies inside it) can.
    qsizetype slash = -1;
    qsizetype previousBlank = -1;
    for (qsizetype at = 0; at < identifier.size(); ++at) {
        const QChar c = identifier[at];
        if (c == u'/') {
            slash = at;
            continue;
        }
        if (c != u' ') {
            continue;
        }
        const qsizetype blank = at;
        const bool nameHasNoBlank = previousBlank < slash;
        previousBlank = blank;
        if (slash < 0 || !nameHasNoBlank || !namesInterpreter(identifier, slash, blank)) {
            continue;
        }
        if (slash > 0 && !QFileInfo(identifier.left(slash)).isDir()) {
            break;
        }
        const QString executable = identifier.left(blank);
        if (!isExecutableFile(executable)) {
            continue;
        }
        QString rest = identifier.mid(blank + 1);
        const bool jar = rest.startsWith(kJar + u' ');
        if (jar) {
            rest = rest.mid(kJar.size() + 1);
        }
        const ProgramCommand command{executable, rest, jar};
        // Only what reads back as itself once started again: a clean absolute path of an
        // existing file that the interpreter takes for its script.
        if (ofArguments(executable, command.arguments(), QString()) == command) {
            return command;
        }
    }
    return std::nullopt;
}

QString ProgramCommand::identifier() const {
    if (script.isEmpty()) {
        return executable;
    }
    return executable + (jar ? QStringLiteral(" -jar ") : QStringLiteral(" ")) + script;
}

QString ProgramCommand::displayName() const {
    return QFileInfo(script.isEmpty() ? executable : script).fileName();
}

QStringList ProgramCommand::arguments() const {
    if (script.isEmpty()) {
        return {};
    }
    return jar ? QStringList{kJar, script} : QStringList{script};
}
