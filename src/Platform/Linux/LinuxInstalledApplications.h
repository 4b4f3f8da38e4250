#pragma once

#include "Platform/InstalledApplications.h"

// The installed applications of the XDG desktop entries, read through GIO, so the identifiers,
// names and the entries left out are exactly those of the launcher and of the running programs'
// identities (GLib's key-file reading, the user's folder ahead of the system's, Hidden entries
// removing an id, NoDisplay and OnlyShowIn keeping one out of the menus).
class LinuxInstalledApplications : public InstalledApplications {
public:
    // Reads the entries on a worker thread; the answer comes back on the caller's.
    QCoro::Task<QList<Application>> applications() override;
    std::optional<QString> defaultApplicationFor(const QString& uriScheme) const override;

    // The same reading on the calling thread.
    static QList<Application> read();
};
