// GIO first: Qt's "signals" keyword breaks its headers.
#include <gio/gio.h>

#include "Platform/Linux/FileRunners.h"

#include "Platform/Linux/DocumentHandOver.h"
#include "Platform/Linux/LaunchWrapper.h"
#include "Platform/Linux/ProgramCommand.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>

namespace {

// Where an entry's command line takes the files it is handed.
bool isFileCode(const QString& word) {
    return word.size() == 2 && word[0] == u'%' && QStringLiteral("fFuU").contains(word[1]);
}

// A file code inside a longer word ("--open=%f", "sh -c 'cat %f'"): the file becomes part of a
// text the program reads, perhaps as a command.
bool hasFileCodeInside(const QString& word) {
    if (isFileCode(word)) {
        return false;
    }
    for (qsizetype i = 0; i + 1 < word.size(); ++i) {
        if (word[i] == u'%') {
            if (QStringLiteral("fFuU").contains(word[i + 1])) {
                return true;
            }
            ++i; // "%%" is a percent sign, and any other code is not the file
        }
    }
    return false;
}

// The words as they run with a file: without the field codes that are no file, and with the
// file at the end when the line has no place for it (the launcher then appends it).
QStringList withTheFile(const QStringList& words) {
    QStringList handed;
    for (const QString& word : words) {
        if (isFileCode(word) || !(word.size() == 2 && word[0] == u'%')) {
            handed << word;
        }
    }
    if (std::none_of(handed.cbegin(), handed.cend(), isFileCode)) {
        handed << QStringLiteral("%f");
    }
    return handed;
}

QString resolved(const QString& program) {
    const QString path = program.startsWith(u'/') ? program : QStandardPaths::findExecutable(program);
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

// Interpreters whose scripts the type database cannot tell by their first line.
const QRegularExpression& otherInterpreterNames() {
    static const QRegularExpression names(
        QStringLiteral("^(tclsh|wish|expect|expectk|jimsh|awk|gawk|mawk|nawk|busybox|toybox|lua|luajit|php|"
                       "php-cgi|Rscript|julia|guile|gjs|cjs|fish|csh|tcsh|mksh|yash|pwsh|osh|make|gmake)"
                       "[0-9.-]*$"));
    return names;
}

QString guessedType(const QByteArray& firstLine) {
    gboolean uncertain = FALSE;
    gchar* type = g_content_type_guess(nullptr, reinterpret_cast<const guchar*>(firstLine.constData()),
                                       gsize(firstLine.size()), &uncertain);
    const QString guessed = QString::fromUtf8(type);
    g_free(type);
    return guessed;
}

// Whether a script whose first line starts the program of this name is known as a program. The
// database matches the start of a line ("#!/bin/sh" also matches "#!/usr/bin/shotwell"), so the
// name one letter shorter must not be known as the same: then the database knows this very name.
bool startsKnownScripts(const QString& name) {
    static const QRegularExpression version(QStringLiteral("[0-9.-]+$"));
    const QByteArray base = QString(name).remove(version).toUtf8();
    if (base.isEmpty() || base.contains('\n')) {
        return false;
    }
    for (const QByteArray& start : {QByteArray("#!/usr/bin/"), QByteArray("#!/usr/bin/env ")}) {
        const QString type = guessedType(start + base + '\n');
        if (DocumentHandOver::isProgramType(type) && guessedType(start + base.chopped(1) + '\n') != type) {
            return true;
        }
    }
    return false;
}

bool namesInterpreter(const QString& name) {
    return !name.isEmpty() && (ProgramCommand::isInterpreter(name) ||
                               otherInterpreterNames().match(name).hasMatch() || startsKnownScripts(name));
}

bool isOption(const QString& word) {
    return word.size() > 1 && (word.startsWith(u'-') || word.startsWith(u'+'));
}

} // namespace

bool FileRunners::isInterpreter(const QString& program) {
    if (LaunchWrapper::isWrapper(program) || namesInterpreter(QFileInfo(program).fileName())) {
        return true;
    }
    // Under a name of its own: a link to one, or an alternative the system chose.
    const QString path = resolved(program);
    return !path.isEmpty() && namesInterpreter(QFileInfo(path).fileName());
}

bool FileRunners::startsACommand(const QStringList& words) {
    const QStringList handed = withTheFile(LaunchWrapper::startedCommand(words).value_or(words));
    for (qsizetype i = 1; i + 1 < handed.size(); ++i) {
        const QString& word = handed[i];
        const QString& next = handed[i + 1];
        const bool dashes = word == QLatin1String("--");
        if (!dashes && word != QLatin1String("-e") && word != QLatin1String("-x") &&
            word != QLatin1String("--execute")) {
            continue;
        }
        // "-- FILE" only ends the options; "-e FILE" runs the file. Any other word after them
        // counts when it names a program.
        if (isFileCode(next) ? !dashes : (!isOption(next) && !resolved(next).isEmpty())) {
            return true;
        }
    }
    return false;
}

QString FileRunners::refusal(const QStringList& words, const QString& folder) {
    if (words.isEmpty()) {
        return QStringLiteral("its command line cannot be read");
    }
    if (std::any_of(words.cbegin(), words.cend(), hasFileCodeInside)) {
        return QStringLiteral(
            "its command line puts the file inside a word, where it may be read as a command");
    }
    const std::optional<QStringList> started = LaunchWrapper::startedCommand(words);
    if (!started) {
        return QStringLiteral("it starts its program through a launcher whose words cannot be read");
    }
    const qsizetype wrappers = words.size() - started->size();
    if (std::any_of(words.cbegin(), words.cbegin() + wrappers, isFileCode)) {
        return QStringLiteral("it hands the file to the launcher that starts its program");
    }
    const QStringList handed = withTheFile(*started);
    const QString& program = handed.first();
    if (isFileCode(program)) {
        return QStringLiteral("it would start the file itself");
    }
    const qsizetype file = std::find_if(handed.cbegin(), handed.cend(), isFileCode) - handed.cbegin();
    qsizetype from = 1;
    if (isInterpreter(program)) {
        // An interpreter runs the file unless the line gives it a script of its own first.
        QStringList arguments = handed.mid(1);
        for (QString& word : arguments) {
            if (isFileCode(word)) {
                word.clear(); // never a script's path
            }
        }
        const QString executable = resolved(program);
        const ProgramCommand command =
            ProgramCommand::ofArguments(executable.isEmpty() ? program : executable, arguments, folder);
        if (command.script.isEmpty()) {
            return QStringLiteral("its program is an interpreter or a shell, which would run the file");
        }
        from = handed.indexOf(command.script, 1) + 1;
    }
    // A program before the file that the line has start it: a wrapper of its own, a terminal.
    for (qsizetype i = std::max<qsizetype>(from, 1); i < file; ++i) {
        if (!isOption(handed[i]) && isInterpreter(handed[i])) {
            return QStringLiteral("its command line starts ") + QFileInfo(handed[i]).fileName() +
                   QStringLiteral(", which would run the file");
        }
    }
    return QString();
}
