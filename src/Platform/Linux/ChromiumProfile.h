#pragma once

#include <QString>
#include <QStringList>

// Where a running Chromium-family browser keeps the session files of the profile it shows: the
// user-data folder named on its command line (else its own folder below $XDG_CONFIG_HOME), the
// profile the command line names (else the one last used, as the folder's "Local State" file
// says, else "Default"), and in it the newest Sessions/Session_* file, the one being written.
class ChromiumProfile {
public:
    ChromiumProfile() = delete;

    // The command line of a process, word by word; empty when it cannot be read. A browser that
    // shows its command line as one text gets it split at blanks.
    static QStringList commandLine(qint32 pid);
    static QString userDataFolder(const QStringList& commandLine, const QString& configFolder);
    static QString profileFolder(const QString& userDataFolder, const QStringList& commandLine);
    // Empty when the profile has none.
    static QString newestSessionFile(const QString& profileFolder);
    // All three steps for a running browser.
    static QString sessionFileOf(qint32 pid, const QString& configFolder);
};
