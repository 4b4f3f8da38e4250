#pragma once

#include <QList>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

// The applications installed for the user, as the desktop lists them in its menus: the ones a
// user can choose from (the settings' excluded applications), under the identifiers that running
// programs are known by. Main thread; the list may be read in the background.
class InstalledApplications {
public:
    struct Application {
        // The identifier of RunningApplications (on Linux the desktop-file id).
        QString identifier;
        // The name in the user's language.
        QString name;
        // A name in the desktop's icon theme or an absolute path to an image; empty for none.
        QString icon;

        bool operator==(const Application&) const = default;
    };

    virtual ~InstalledApplications() = default;

    // Every application the desktop shows, in no particular order; hidden entries and entries the
    // desktop keeps out of its menus are left out. Read afresh each time.
    virtual QCoro::Task<QList<Application>> applications() = 0;
    // The application that opens links of a scheme ("mailto"); nothing when none is set up.
    virtual std::optional<QString> defaultApplicationFor(const QString& uriScheme) const = 0;
};
