#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

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
    // The value of a "--name=value" switch before any "--" (the last one where it is given twice);
    // empty when there is none.
    static QString switchValue(const QStringList& commandLine, const QString& name);
    // A folder named on a browser's command line as a path of the file system: a relative one is
    // taken from the browser's working folder, as the browser takes it; empty where that is not
    // known. Always absolute, so never a name Qt would take for one of its own resources (":…").
    static QString absoluteFolder(const QString& named, const QString& workingFolder);
    // The data folder the command line names (from the browser's working folder where it is a
    // relative one), else the browser's own one below $XDG_CONFIG_HOME; empty when the command line
    // names a relative one and the working folder is not known.
    static QString userDataFolder(const QStringList& commandLine, const QString& configFolder,
                                  const QString& workingFolder = QString());
    // Empty when the data folder is empty or not absolute.
    static QString profileFolder(const QString& userDataFolder, const QStringList& commandLine);
    // Empty when the profile has none. A file last written before notBefore belongs to an earlier
    // run of the browser, which it left behind: that is none either.
    static QString newestSessionFile(const QString& profileFolder,
                                     const std::optional<QDateTime>& notBefore = std::nullopt);
    // The first two steps for a running browser.
    static QString profileFolderOf(qint32 pid, const QString& configFolder);
    // All three steps for a running browser.
    static QString sessionFileOf(qint32 pid, const QString& configFolder);
    // The switches that start a browser, or reach a running one, in a saved profile: only a data
    // folder that already holds a browser's data ("Local State") and a profile folder that already
    // exists in it are named, as the browser makes whatever folder it is given; and only folders of
    // this user's (owner: this process's user by default) that no other user may write (by mode or
    // ACL), held by folders no other user may change, and reached only through links of this user's
    // (or root's) that no other user may change: the browser writes its cookies and passwords there.
    // The data folder is named as the folder reached, its links followed: the one judged. Nothing,
    // and a reason, for a profile that is refused; an empty list for the default one.
    static std::optional<QStringList> profileSwitches(const QString& userDataDir,
                                                      const QString& profileDirectory,
                                                      const QString& configFolder, QString* problem,
                                                      std::optional<uint> owner = std::nullopt);
    // When the process started, on the wall clock; nothing when that cannot be read.
    static std::optional<QDateTime> processStartedAt(qint32 pid);
};
