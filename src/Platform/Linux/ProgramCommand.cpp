#include "Platform/Linux/ProgramCommand.h"

#include "Platform/Linux/LinuxProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace {

const QString kJar = QStringLiteral("-jar");

// Options after which the interpreter runs text or a module rather than a file: no script.
const QSet<QString>& inlineOptions() {
    static const QSet<QString> options{"-c", "-m",      "-e",       "-E",       "--eval",
                                       "-p", "--print", "-version", "--version"};
    return options;
}

// Options that take the next word as their value.
const QSet<QString>& optionsWithValue() {
    static const QSet<QString> options{"-W", "-X", "-I",  "-r",         "--require",    "-o",
                                       "+O", "-O", "-cp", "-classpath", "--class-path", "-x"};
    return options;
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

} // namespace

bool ProgramCommand::isInterpreter(const QString& executable) {
    static const QRegularExpression names(
        QStringLiteral("^(python|pythonw|perl|ruby|node|nodejs|java|sh|bash|dash|zsh|ksh)[0-9.]*$"));
    return names.match(QFileInfo(executable).fileName()).hasMatch();
}

ProgramCommand ProgramCommand::ofArguments(const QString& executable, const QStringList& arguments,
                                           const QString& folder) {
    ProgramCommand command;
    command.executable = executable;
    if (executable.isEmpty() || !isInterpreter(executable)) {
        return command;
    }
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (word == kJar) {
            command.script = scriptPath(arguments.value(i + 1), folder);
            command.jar = !command.script.isEmpty();
            return command;
        }
        if (word == QLatin1String("--")) {
            command.script = scriptPath(arguments.value(i + 1), folder);
            return command;
        }
        if (inlineOptions().contains(word)) {
            return command;
        }
        if (word.startsWith(u'-') || word.startsWith(u'+')) {
            if (optionsWithValue().contains(word)) {
                ++i;
            }
            continue;
        }
        // The first word that is no option is what the interpreter runs; java runs a class then.
        if (QFileInfo(executable).fileName() != QLatin1String("java")) {
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
    if (isExecutableFile(identifier)) {
        return ProgramCommand{identifier, QString(), false};
    }
    // "<interpreter> <script>" or "<interpreter> -jar <jar>": the interpreter is the first part
    // that is an executable file, the rest an absolute path of an existing file.
    for (qsizetype blank = identifier.indexOf(u' '); blank > 0; blank = identifier.indexOf(u' ', blank + 1)) {
        const QString executable = identifier.left(blank);
        if (!isExecutableFile(executable) || !isInterpreter(executable)) {
            continue;
        }
        QString rest = identifier.mid(blank + 1);
        const bool jar = rest.startsWith(kJar + u' ');
        if (jar) {
            rest = rest.mid(kJar.size() + 1);
        }
        const QFileInfo script(rest);
        if (script.isAbsolute() && script.isFile() && QDir::cleanPath(rest) == rest) {
            return ProgramCommand{executable, rest, jar};
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
