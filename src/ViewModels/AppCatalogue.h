#pragma once

#include "Platform/InstalledApplications.h"
#include "ViewModels/AppInfo.h"

#include <QList>

#include <qcoro/qcorotask.h>

#include <memory>

// The applications the excluded-applications picker offers: those the desktop lists for the user
// (the platform's installed applications), without Ordella itself, sorted by name. Built afresh
// on every call; nothing is cached.
class AppCatalogue {
public:
    AppCatalogue() = delete;

    // Ordella's own entry, never listed.
    static QString ownIdentifier();

    // The catalogue of these applications: one per identifier (the first wins), Ordella left
    // out, sorted by name in plain (case-sensitive) string order, equal names keeping their order.
    static QList<AppInfo> catalogue(const QList<InstalledApplications::Application>& applications);
    // The catalogue of the desktop's applications; empty without the port.
    static QCoro::Task<QList<AppInfo>> load(std::shared_ptr<InstalledApplications> installed);
};
