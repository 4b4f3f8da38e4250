#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class ProgramCommand;

// One installed application as its XDG desktop entry describes it.
struct DesktopEntry {
    // The desktop-file id ("org.example.Editor.desktop"; a file in a subfolder "org/tool.desktop"
    // has the id "org-tool.desktop").
    QString id;
    QString filePath;
    // The entry's Name in the user's language.
    QString name;
    // The theme icon's name, or an absolute path to an image.
    QString icon;
    QString startupWMClass;
    // The menu categories the entry lists ("Utility", "FileManager", ...).
    QStringList categories;
};

// An entry as read from its file.
struct InstalledEntry {
    DesktopEntry entry;
    // Hidden=true: it stands for no application, and hides the entries of its id in later folders.
    bool hidden = false;
    // Its Exec and TryExec lines and its Path, as written.
    QByteArray commandLine;
    QByteArray tryExec;
    QString folder;
};

// The installed applications, found and launched through GIO, which knows the XDG data folders,
// the entries' rules (localised names, Exec quoting, field codes, Path=) and records in the child
// which entry launched it.
class DesktopEntries {
public:
    DesktopEntries() = delete;

    // Whether GIO may read the entries: not while links in their folders loop or a file it would
    // open is a FIFO or a device (see InstalledEntries::unreadable()), which would hold the caller
    // for minutes or for ever. Every lookup here answers
    // none meanwhile; a caller of GIO's entries of its own asks first.
    static bool readable();

    static std::optional<DesktopEntry> find(const QString& id);
    static std::optional<DesktopEntry> fromFile(const QString& path);
    // The entry in the file as the launcher loads it, under the id given; nothing when it does not
    // load (not an application, or its TryExec program is missing). For InstalledEntries, which
    // asks only while the entries are readable().
    static std::optional<InstalledEntry> load(const QString& path, const QString& id);
    // The entry of a window's program by its WM_CLASS: an entry whose StartupWMClass names the class
    // or the instance, else an entry whose file is named after one of them (ignoring case).
    static std::optional<DesktopEntry> findByWindowClass(const QString& instance, const QString& windowClass);
    // The entry of a program the way desktop shells find it: the entry whose StartupWMClass equals
    // the window's class (or instance); else the entry whose id, or the last dot-separated part of
    // it, equals the class or the instance ignoring case ("org.xfce.mousepad" for "Mousepad"); else
    // the entry whose Exec (or TryExec) starts the program (for an interpreter: the same script).
    static std::optional<DesktopEntry> findForProgram(const QString& instance, const QString& windowClass,
                                                      const ProgramCommand& program);
    // The program the entry's Exec starts (through any launch wrapper); nothing when it cannot be
    // found.
    static std::optional<ProgramCommand> programOf(const QString& id);
    // The program an entry's command line starts, relative paths taken from folder; an empty
    // executable when it cannot be found.
    static ProgramCommand programOfCommandLine(const QByteArray& commandLine, const QString& folder);
    // The same for a command line already split into words.
    static ProgramCommand programOfWords(const QStringList& words, const QString& folder);
    struct CommandLine {
        // The Exec line's words, its field codes kept.
        QStringList words;
        // Where it starts (the entry's Path); empty for anywhere.
        QString folder;
    };
    // The entry's Exec line; nothing when there is no such entry or its line cannot be read.
    static std::optional<CommandLine> commandLineOf(const QString& id);
    // For an entry started over D-Bus (DBusActivatable), the Exec line of the D-Bus service it is
    // started by, whose program is what gets the files; nothing for any other entry, or when no
    // service file names the entry's bus name (words empty when its line cannot be read).
    static std::optional<CommandLine> activationCommandLine(const QString& id);

    struct Launch {
        // The processes started (one per document for entries that take one file at a time).
        QList<qint32> pids;
        // Why nothing was started; empty on success.
        QString error;
    };
    // Starts the entry's program with the documents (URLs as text), in the entry's Path, else in the
    // home folder (as a desktop's launcher does; so do the other launches here). Unless activates
    // is true, the program is asked not to take the focus, which toolkits that read the startup id
    // honour.
    static Launch launch(const QString& id, const QStringList& uris, bool activates);
    // Whether the entry offers the action (a "[Desktop Action NAME]" it lists under Actions).
    static bool hasAction(const QString& id, const QString& action);
    // Runs one of the entry's actions; why it could not, or empty on success. The launcher does
    // not report the processes an action starts.
    static QString launchAction(const QString& id, const QString& action, bool activates);

    // Starts the entry's command line, less its field codes, followed by arguments, each passed as
    // one word (nothing goes through a shell), in folder when one is given (else the entry's Path,
    // else the home folder).
    static Launch launchWithArguments(const QString& id, const QStringList& arguments,
                                      const QString& folder = QString());
    // The entry's own words that launchWithArguments puts before the arguments; empty when there is
    // no such entry or its line cannot be read.
    static QStringList launchWords(const QString& id);

    // The id of the application the desktop opens this type of file with; empty when none.
    static QString defaultFor(const QString& mimeType);

    // The entry's icon at the given size; a null image when it has none or it cannot be found.
    static QImage icon(const QString& id, int size);
};
