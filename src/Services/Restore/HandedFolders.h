#pragma once

#include <QHash>
#include <QSet>
#include <QString>

// The saved folders one restore request has handed to a file manager, by application. Each is
// handed at most once per request, whoever answers it: a folder whose window is slow to show, or
// that another program showed, is not handed again by a later step or run of the same request.
class HandedFolders {
public:
    // Notes the folder as handed to the application; false when it was handed already.
    bool take(const QString& bundleIdentifier, const QString& folder);
    bool handed(const QString& bundleIdentifier, const QString& folder) const;
    // Whether any folder was handed to the application.
    bool any(const QString& bundleIdentifier) const { return m_handed.contains(bundleIdentifier); }

private:
    QHash<QString, QSet<QString>> m_handed;
};
