#pragma once

#include "ViewModels/AppInfo.h"

#include <QList>
#include <QStringList>

#include <qcoro/qcorotask.h>

// The applications installed for the user, read from the XDG desktop entries of the application
// folders (the user's own first, then those of $XDG_DATA_DIRS), as the excluded-applications
// picker offers them. Built afresh on every call; nothing is cached.
class AppCatalogue {
public:
    AppCatalogue() = delete;

    // Ordella's own entry, never listed.
    static QString ownIdentifier();
    // The application folders in the order of precedence.
    static QStringList defaultFolders();

    // Lists the entries of the folders and their subfolders (a file "org/tool.desktop" has the id
    // "org-tool.desktop"). The first entry with an id decides: a hidden one, one marked NoDisplay
    // and one that is not an application hide the id from later folders and are not listed.
    // Sorted by name in plain (case-sensitive) string order; equal names keep their scan order.
    // Unreadable folders and files are passed over. Safe to call from any thread.
    static QList<AppInfo> scan(const QStringList& folders);
    // The same scan on a worker thread; the answer comes back on the caller's thread.
    static QCoro::Task<QList<AppInfo>> load(QStringList folders);
};
