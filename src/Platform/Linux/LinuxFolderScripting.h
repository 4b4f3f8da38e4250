#pragma once

#include "Platform/Clock.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/X11WindowRequests.h"
#include "Platform/Linux/X11Windows.h"
#include "Platform/ScriptProgram.h"
#include "Platform/ScriptRunner.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

class LinuxRunningApplications;
class X11Monitors;

// Answers the file-manager scripts from the desktop's folder handler (the application that opens
// folders). Folders open through the freedesktop file-manager interface on the session bus; which
// window shows which folder comes from the file manager's published list of open windows and
// their locations, paired with its X11 windows by the object path each window carries. Frames,
// closing and the window order come from the window manager. A file manager that publishes no
// locations has no folder windows as far as the scripts go. A window opened for a folder that is
// still loading it (a file manager publishes a folder once loaded; until then the window may be
// titled "Loading…") is that folder's window: it is listed with it, and the folder is never asked
// for again meanwhile. Only folders that exist and that the hand-over rules of documents let the
// file manager have are handed over, and only as file: URIs. The interface on the bus is the
// folder handler's only while one of its processes owns it: another file manager the user runs
// may own it, and would show the folders handed to it in its own windows. Then the handler is
// started with the folder instead (as its launcher starts it; a running one opens a window for
// it), and the owner's published windows are not read. The folder handler is asked for once per script:
// the user may choose another between two scripts, but asking on every read of the windows costs the
// desktop's application database a look each time.
class LinuxFolderScripting {
public:
    // folderHandler names the desktop's file manager (its desktop-file id); unset, the one
    // desktopFileManager() finds.
    LinuxFolderScripting(std::shared_ptr<X11Windows> windows, std::shared_ptr<X11Monitors> monitors,
                         std::shared_ptr<LinuxRunningApplications> applications, std::shared_ptr<Clock> clock,
                         std::function<QString()> folderHandler = {});

    QCoro::Task<ScriptResult> execute(ScriptProgram program);

    // The desktop's file manager: the application the desktop opens folders with, when its entry
    // counts it among the file managers; empty otherwise. Editors and disk tools take folders too,
    // but show no folder windows: taken for the file manager, every window of theirs would be left
    // out of a save (none shows a folder) and closed by a restore that closes the folder windows.
    static QString desktopFileManager();
    static bool isFileManager(const std::optional<DesktopEntry>& entry);

    // The file: URI of an existing folder; nothing for anything else.
    static std::optional<QString> folderUri(const QString& path);
    // A folder path without its trailing slashes ("/" stays).
    static QString normalized(const QString& path);
    // Of the folders a window's tabs show (addresses, in tab order), the one its title names: the
    // tab it shows. The first local folder where the title names none; empty where none is local.
    static QString shownFolder(const QStringList& tabs, const QString& title);

    // The folders of the file manager's windows by window object path, as it publishes them on
    // the session bus; empty when it publishes none or answers with anything but a map of string
    // lists (the answer is another program's: its type is checked before it is read).
    static QCoro::Task<QMap<QString, QStringList>> openWindowsWithLocations();
    // The published value read from a Get answer; empty (and a printed line) for another type.
    static QMap<QString, QStringList> locationsFrom(const QVariant& value);

private:
    struct FolderWindow {
        X11Client client;
        std::optional<QString> folder;
    };
    // A folder asked for, until the file manager publishes a folder for its window (or it closes,
    // or a while has passed). Without a window yet, the first new window publishing nothing is
    // taken for it.
    struct Opening {
        quint64 id = 0;
        QString folder;
        QSet<xcb_window_t> before;
        xcb_window_t window = XCB_WINDOW_NONE;
        Clock::TimePoint asked;
        quint64 script = 0;
    };
    struct Run;

    QString handler();
    // Whether one of the folder handler's processes owns the interface on the bus, as first asked
    // in the script that runs.
    QCoro::Task<bool> ownsInterface();
    // Hands the folder to the handler: through the interface it owns, else by starting it with
    // the folder. The error of a hand-over that failed.
    QCoro::Task<std::optional<QString>> handOver(QString uri);
    // The file manager's windows, front to back.
    QList<X11Client> windowsNow();
    // Drops the openings that are over and gives the rest their windows, and those windows their
    // folders; unpublished are the windows the file manager publishes nothing for.
    void followOpenings(QList<FolderWindow>& windows, const QSet<xcb_window_t>& unpublished);
    Opening* opening(quint64 id);
    // The same with the folder each one shows, as the file manager publishes it.
    QCoro::Task<QList<FolderWindow>> folderWindows();
    QCoro::Task<std::optional<ScriptError>> perform(Run& run, const ScriptProgram::Statement& statement);
    QCoro::Task<std::optional<ScriptError>> listFolders(Run& run);
    QCoro::Task<std::optional<ScriptError>> showFolder(Run& run, QString variable, QString path, QString uri);
    // Whether the opening is over: its window publishes its folder (or is gone).
    QCoro::Task<bool> loaded(quint64 id);
    QCoro::Task<std::optional<ScriptError>> closeOrFrame(Run& run, QString folder,
                                                         std::optional<QRect> frame);
    // The frame is in script coordinates (relative to the primary monitor's corner).
    QCoro::Task<std::optional<ScriptError>> setFrame(xcb_window_t window, QRect globalFrame);
    QCoro::Task<std::optional<ScriptError>> close(QList<xcb_window_t> windows);

    std::shared_ptr<X11Windows> m_windows;
    std::shared_ptr<X11Monitors> m_monitors;
    std::shared_ptr<LinuxRunningApplications> m_applications;
    std::shared_ptr<Clock> m_clock;
    X11WindowRequests m_requests;
    std::function<QString()> m_folderHandler;
    // The folder handler of the script that runs; nothing before its first look.
    std::optional<QString> m_handler;
    // Whether it owns the interface, for the script that runs; nothing before its first look.
    std::optional<bool> m_ownsInterface;
    QList<Opening> m_openings;
    quint64 m_lastOpening = 0;
    quint64 m_script = 0;
};
