#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What may reach a browser's command line. Saved addresses come from files a user may have
// imported, and Debian's wrapper of the browser drops the "--" before them: only web pages, files
// and the blank page are handed over, and nothing that could read as a switch. The profile a
// running browser shows is named on in the words of its own command line.
class BrowserCommandLine {
public:
    BrowserCommandLine() = delete;

    // The address as it may be handed to a browser, or nothing when it must not be.
    static std::optional<QString> safeAddress(const QString& address);
    // What the browser shows for an address a script asks it to open: the address itself, or the
    // blank page that stands in for one that must not be handed over.
    static QString addressAsOpened(const QString& address);
    // The address itself when it is safe, else the blank page (and a printed line).
    static QString checkedAddress(const QString& url);
    // The words handed to the browser's command line: the profile's switches, the new-window
    // switch when asked for, then "--" and the addresses as checkedAddress() leaves them, so that
    // none of them can be taken for a switch even where "--" is dropped on the way.
    static QStringList arguments(const QStringList& profileSwitches, bool newWindow,
                                 const QStringList& addresses);
    // The profile switches of a running browser's process, as its command line names them, its
    // data folder made absolute from its working folder (another process would take a relative one
    // from its own).
    static QStringList profileSwitchesOf(const QStringList& commandLine, const QString& workingFolder);
};
