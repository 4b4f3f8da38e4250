#pragma once

#include "Platform/InstalledApplications.h"
#include "Platform/RunningApplications.h"
#include "ViewModels/AppInfo.h"

#include <QList>

#include <qcoro/qcorotask.h>

#include <memory>

// The applications the excluded-applications picker offers: those the desktop lists for the user
// (the platform's installed applications) and the running programs that have no entry, without
// Ordella itself, sorted by name. Built afresh
// on every call; nothing is cached.
class AppCatalogue {
public:
    AppCatalogue() = delete;

    // Ordella's own entry, never listed.
    static QString ownIdentifier();

    // The catalogue of these applications: one per identifier (the first wins), Ordella left
    // out, sorted by name in plain (case-sensitive) string order, equal names keeping their order.
    static QList<AppInfo> catalogue(const QList<InstalledApplications::Application>& applications);
    // The catalogue with the running programs that have no entry of their own (known by the
    // path of their program, as "/usr/bin/xcalc"), each named by its name and path, so that they
    // can be excluded too; sorted as the catalogue.
    static QList<AppInfo> withRunningPrograms(QList<AppInfo> catalogue,
                                              const QList<RunningApplication>& running);
    // The catalogue of the desktop's applications, with the running programs without an entry;
    // empty without the installed applications' port.
    static QCoro::Task<QList<AppInfo>> load(std::shared_ptr<InstalledApplications> installed,
                                            std::shared_ptr<RunningApplications> running = nullptr);
};
