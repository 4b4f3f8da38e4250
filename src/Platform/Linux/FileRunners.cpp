// GIO first: Qt's "signals" keyword breaks its headers.
#include <gio/gio.h>

#include "Platform/Linux/FileRunners.h"

#include "Platform/Linux/DocumentHandOver.h"
#include "Platform/Linux/LaunchWrapper.h"
#include "Platform/Linux/ProgramCommand.h"
#include "Platform/Linux/ProgramImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <sys/stat.h>

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

// Interpreters whose scripts the type database cannot tell by their first line, and the loaders,
// debuggers and tracers that run the program they are given, and what runs a launcher file or a
// command on a console of its own.
const QRegularExpression& otherInterpreterNames() {
    static const QRegularExpression names(QStringLiteral(
        "^(tclsh|wish|expect|expectk|jimsh|awk|gawk|mawk|nawk|busybox|toybox|lua|luajit|php|"
        "php-cgi|Rscript|julia|guile|gjs|cjs|fish|csh|tcsh|mksh|yash|pwsh|osh|make|gmake|"
        "ld\\.so|ld-linux[-a-z0-9_]*\\.so|ld64\\.so|ld-musl-[a-z0-9_]+\\.so|valgrind|valgrind\\.bin|"
        "gdb|gdb-multiarch|gdbserver|lldb|strace|ltrace|catchsegv|dex|openvt)"
        "[0-9.-]*$"));
    return names;
}

// Options after which a program runs the file as its commands, by the program's name.
const QHash<QString, QSet<QString>>& runningOptions() {
    static const QHash<QString, QSet<QString>> options{
        {QStringLiteral("sqlite3"), {"-init", "-cmd"}},
        {QStringLiteral("vim"), {"-S", "-u", "-U", "-c", "--cmd"}},
        {QStringLiteral("vi"), {"-S", "-u", "-U", "-c", "--cmd"}},
        {QStringLiteral("nvim"), {"-S", "-u", "-c", "--cmd"}},
        {QStringLiteral("gvim"), {"-S", "-u", "-U", "-c", "--cmd"}},
        {QStringLiteral("emacs"), {"-l", "--load", "--script", "-x"}},
    };
    return options;
}

// The program whose options a name goes by: the builds a system installs it as ("vim.basic",
// "vim.gtk3", "emacs-gtk"), which a link of its own name points to, and the other names it
// answers to ("view", "ex"), under which it takes the same options.
QString optionsKeyOf(const QString& name) {
    static const QHash<QString, QString> others{
        {"view", "vim"},         {"ex", "vim"},          {"rview", "vim"},       {"rvim", "vim"},
        {"vimdiff", "vim"},      {"evim", "vim"},        {"eview", "vim"},       {"vimx", "vim"},
        {"gview", "gvim"},       {"gex", "gvim"},        {"gvimdiff", "gvim"},   {"rgvim", "gvim"},
        {"rgview", "gvim"},      {"emacs-gtk", "emacs"}, {"emacs-nox", "emacs"}, {"emacs-lucid", "emacs"},
        {"emacs-pgtk", "emacs"},
    };
    const QString build = name.section(u'.', 0, 0);
    return others.value(build, build);
}

// Programs that hand a file to the application the desktop chose for its type.
const QSet<QString>& openerNames() {
    static const QSet<QString> names{"xdg-open",  "gvfs-open",    "gnome-open",  "exo-open",   "kde-open",
                                     "kde-open5", "kde-open6",    "kioclient",   "kioclient5", "kioclient6",
                                     "mimeopen",  "mimeo",        "run-mailcap", "see",        "open",
                                     "handlr",    "xdg-mime-open"};
    return names;
}

// The names a program goes by: its own, and the one of what it resolves to (a link, an
// alternative the system chose), without a version.
QStringList namesOf(const QString& program) {
    static const QRegularExpression version(QStringLiteral("[0-9.-]+$"));
    QStringList names{QFileInfo(program).fileName()};
    if (const QString path = resolved(program); !path.isEmpty()) {
        names << QFileInfo(path).fileName();
    }
    for (qsizetype i = names.size() - 1; i >= 0; --i) {
        const QString bare = QString(names[i]).remove(version);
        if (!bare.isEmpty() && bare != names[i]) {
            names << bare;
        }
    }
    return names;
}

// Libraries of interpreters of a language: a program built on one may only embed the language
// (an editor's scripting), or be its interpreter under another name.
bool needsInterpreterLibrary(const QList<QByteArray>& needed) {
    static const QRegularExpression libraries(
        QStringLiteral("^lib(python|perl|ruby|node|lua|luajit|tcl|tk|jvm|mozjs|gjs|cjs|guile|julia|php|R|"
                       "pwsh)[-0-9._]*\\.so"));
    return std::any_of(needed.cbegin(), needed.cend(), [](const QByteArray& name) {
        return libraries.match(QString::fromUtf8(name)).hasMatch();
    });
}

// The entry points of those libraries that only an interpreter's own program calls: its whole
// command line, script and all, goes to them.
const QSet<QByteArray>& interpreterMains() {
    static const QSet<QByteArray> mains{"Py_BytesMain",  "Py_Main",  "Py_RunMain",
                                        "ruby_run_node", "Tcl_Main", "Tk_MainEx",
                                        "scm_shell",     "lua_main", "_ZN4node5StartEiPPc"};
    return mains;
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

bool namesInterpreterAlone(const QString& name) {
    return ProgramCommand::isInterpreter(name) || otherInterpreterNames().match(name).hasMatch();
}

// The build ids of the interpreters on the search path, read once for each search path.
QSet<QByteArray> interpreterBuildIds() {
    static QMutex mutex;
    static QString searched;
    static QSet<QByteArray> ids;
    const QMutexLocker lock(&mutex);
    const QString path = qEnvironmentVariable("PATH");
    if (path == searched && !ids.isEmpty()) {
        return ids;
    }
    searched = path;
    ids.clear();
    QSet<QString> read;
    for (const QString& folder : path.split(u':', Qt::SkipEmptyParts)) {
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Executable);
        for (const QFileInfo& file : files) {
            const QString canonical = file.canonicalFilePath();
            if (canonical.isEmpty() || read.contains(canonical) ||
                !(namesInterpreterAlone(file.fileName()) ||
                  namesInterpreterAlone(QFileInfo(canonical).fileName()))) {
                continue;
            }
            read.insert(canonical);
            if (const std::optional<ProgramImage> image = ProgramImage::read(canonical);
                image && !image->buildId.isEmpty()) {
                ids.insert(image->buildId);
            }
        }
    }
    return ids;
}

// What the file does with a file it is handed, by what it is rather than by its name: an
// interpreter or the loader runs it. The answer is kept for the file as it is (its inode, size and
// time of change) and the search path whose interpreters it was compared with: a restore asks
// about the same few programs again and again.
FileRunners::Handling imageHandling(const QString& path) {
    using Handling = FileRunners::Handling;
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return Handling::opens;
    }
    const QString key = path + u'\n' + QString::number(status.st_dev) + u':' +
                        QString::number(status.st_ino) + u':' + QString::number(status.st_size) + u':' +
                        QString::number(status.st_ctim.tv_sec) + u'.' +
                        QString::number(status.st_ctim.tv_nsec) + u'\n' + qEnvironmentVariable("PATH");
    static QMutex mutex;
    static QHash<QString, Handling> known;
    {
        const QMutexLocker lock(&mutex);
        if (const auto found = known.constFind(key); found != known.cend()) {
            return *found;
        }
    }
    // A file whose headers say more than can be read within bounds, or that cannot be read in
    // full, may be anything: it gets no file, for a reason of its own.
    Handling handling = Handling::opens;
    if (std::optional<ProgramImage> image = ProgramImage::read(path)) {
        if (image->soname.startsWith("ld-") || image->soname.startsWith("ld64.") ||
            image->soname.startsWith("ld.so") ||
            (!image->buildId.isEmpty() && interpreterBuildIds().contains(image->buildId))) {
            handling = Handling::runs;
        } else if (image->cut) {
            handling = Handling::unreadable;
        } else if (needsInterpreterLibrary(image->needed)) {
            image = ProgramImage::read(path, interpreterMains());
            if (image && image->cut) {
                handling = Handling::unreadable;
            } else if (image && !image->imported.isEmpty()) {
                handling = Handling::runs;
            }
        }
    }
    const QMutexLocker lock(&mutex);
    if (known.size() > 1024) {
        known.clear();
    }
    known.insert(key, handling);
    return handling;
}

// The word after the program, its options skipped: the command of "gio open FILE".
QString subcommandOf(const QStringList& handed) {
    for (qsizetype i = 1; i < handed.size(); ++i) {
        if (!isOption(handed[i])) {
            return handed[i];
        }
    }
    return QString();
}

} // namespace

FileRunners::Handling FileRunners::handlingOf(const QString& program) {
    if (LaunchWrapper::isWrapper(program) || namesInterpreter(QFileInfo(program).fileName())) {
        return Handling::runs;
    }
    // Under a name of its own: a link to one, or an alternative the system chose, or a copy.
    const QString path = resolved(program);
    if (path.isEmpty()) {
        return Handling::opens;
    }
    return namesInterpreter(QFileInfo(path).fileName()) ? Handling::runs : imageHandling(path);
}

bool FileRunners::isInterpreter(const QString& program) {
    return handlingOf(program) != Handling::opens;
}

QString FileRunners::refusalOf(Handling handling) {
    switch (handling) {
    case Handling::opens:
        break;
    case Handling::runs:
        return QStringLiteral("its program is an interpreter or a shell, which would run the file");
    case Handling::unreadable:
        return QStringLiteral("its program file could not be read in full, within the bounds set for program "
                              "files: what it runs cannot be told");
    }
    return QString();
}

QString FileRunners::scriptRefusal(const ProgramCommand& program) {
    if (program.script.isEmpty() ||
        !QFileInfo(program.executable).fileName().startsWith(QLatin1String("python"))) {
        return QString();
    }
    // Profilers, debuggers and the like run the file they are handed; so do many other tools of
    // the language's own library, which no desktop entry needs to start.
    static const QRegularExpression runners(
        QStringLiteral("^(cProfile|profile|pdb|trace|runpy|doctest|pydoc|timeit|code|bdb|pyclbr|"
                       "modulefinder|tabnanny|compileall|py_compile|unittest|__main__)\\.pyc?$"));
    static const QRegularExpression library(
        QStringLiteral("/lib(64)?/python[0-9.]*/(?!(site|dist)-packages/)"));
    if (runners.match(QFileInfo(program.script).fileName()).hasMatch() ||
        library.match(program.script).hasMatch()) {
        return QStringLiteral("its script (") + QFileInfo(program.script).fileName() +
               QStringLiteral(") runs what it is handed");
    }
    return QString();
}

bool FileRunners::isOpener(const QStringList& words, const QString& folder) {
    const std::optional<QStringList> started = LaunchWrapper::startedCommand(words);
    if (!started || started->isEmpty()) {
        return false;
    }
    QStringList names = namesOf(started->first());
    if (isInterpreter(started->first())) {
        // "sh /usr/bin/xdg-open FILE": the script is the opener.
        const QString executable = resolved(started->first());
        const ProgramCommand command = ProgramCommand::ofArguments(
            executable.isEmpty() ? started->first() : executable, started->mid(1), folder);
        names = command.script.isEmpty() ? QStringList() : namesOf(command.script);
    }
    const bool opener = std::any_of(names.cbegin(), names.cend(),
                                    [](const QString& name) { return openerNames().contains(name); });
    const bool gio = names.contains(QStringLiteral("gio")) && subcommandOf(*started) == QLatin1String("open");
    return opener || gio;
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
    if (const Handling handling = handlingOf(program); handling != Handling::opens) {
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
            return refusalOf(handling);
        }
        if (const QString script = scriptRefusal(command); !script.isEmpty()) {
            return script;
        }
        from = handed.indexOf(command.script, 1) + 1;
    }
    // Told to run it: "-e FILE" (a terminal's command), "sqlite3 -init FILE".
    const QString before = handed[file - 1];
    if (file > 1 && (before == QLatin1String("-e") || before == QLatin1String("-x") ||
                     before == QLatin1String("--execute"))) {
        return QStringLiteral("its command line has the file run as a command (after ") + before +
               QStringLiteral(")");
    }
    for (const QString& name : namesOf(program)) {
        if (file > 1 && runningOptions().value(optionsKeyOf(name)).contains(before)) {
            return QStringLiteral("its program runs the file as its commands (after ") + before +
                   QStringLiteral(")");
        }
    }
    if (namesOf(program).contains(QStringLiteral("gio")) && subcommandOf(handed) == QLatin1String("launch")) {
        return QStringLiteral("its command line launches the file as an application");
    }
    // A program before the file that the line has start it: a wrapper of its own, a terminal.
    for (qsizetype i = std::max<qsizetype>(from, 1); i < file; ++i) {
        const Handling handling = isOption(handed[i]) ? Handling::opens : handlingOf(handed[i]);
        if (handling != Handling::opens) {
            return QStringLiteral("its command line starts ") + QFileInfo(handed[i]).fileName() +
                   (handling == Handling::runs
                        ? QStringLiteral(", which would run the file")
                        : QStringLiteral(", whose program file could not be read within the bounds set for "
                                         "program files"));
        }
    }
    return QString();
}
