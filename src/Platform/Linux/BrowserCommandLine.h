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

    // The most one command line hands a running browser, in bytes of all its words: the browser takes
    // a longer message from a second launcher badly (it drops tabs, or the launcher kills it).
    static constexpr qsizetype handOverBound = 16 * 1024;
    // The longest address handed over, so that one always fits a command line with its profile.
    static constexpr qsizetype longestAddress = 8 * 1024;

    // The address as it may be handed to a browser, or nothing when it must not be. Tabs and line
    // breaks are dropped from it, as a browser drops them from what it is given; any other control
    // character, or a length past longestAddress, refuses it.
    static std::optional<QString> safeAddress(const QString& address);
    // Why an address is not handed over ("an address longer than 8192 characters", say); nothing
    // when it is.
    static std::optional<QString> refusal(const QString& address);
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
    // The addresses in order, in groups that each fit one command line within handOverBound (the
    // first with the new-window switch when asked for), the words of the desktop entry that starts
    // it (entryWords) counted too; one group when they all fit, also when there are none.
    static QList<QStringList> handOvers(const QStringList& entryWords, const QStringList& profileSwitches,
                                        bool newWindow, const QStringList& addresses);
    // The bytes a command line of these words hands over.
    static qsizetype size(const QStringList& arguments);
    // The profile switches of a running browser's process, as its command line names them, its
    // data folder made absolute from its working folder (another process would take a relative one
    // from its own).
    static QStringList profileSwitchesOf(const QStringList& commandLine, const QString& workingFolder);
};
