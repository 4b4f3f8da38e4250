#include "Services/Capture/WorkspaceCapturer.h"

#include "Extensions/NumberConversion.h"
#include "Platform/Accessibility.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Platform/WindowServer.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Desktop/DisplayMapper.h"
#include "Services/Desktop/PermissionManager.h"
#include "Services/Scripting/BrowserNames.h"
#include "Services/Scripting/BrowserScriptService.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Services/Storage/CapturedPrograms.h"

#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {

void log(const QString& message) {
    AnalysisLogger::shared().log(QStringLiteral("WorkspaceCapturer"), message);
}

QString boolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString displayName(const RunningApplication& app) {
    return app.localizedName.value_or(app.bundleIdentifier.value_or(QString()));
}

// ["a", "b"]: the list form of the log lines.
QString listText(const QStringList& items) {
    QStringList quoted;
    for (const QString& item : items) {
        quoted << QLatin1Char('"') + item + QLatin1Char('"');
    }
    return QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// ["a": 0, "b": 1], or [:] when empty: the dictionary form of the log lines.
QString dictionaryText(const QHash<QString, qint64>& map) {
    if (map.isEmpty()) {
        return QStringLiteral("[:]");
    }
    QStringList entries;
    for (auto it = map.begin(); it != map.end(); ++it) {
        entries << QStringLiteral("\"%1\": %2").arg(it.key(), QString::number(it.value()));
    }
    return QLatin1Char('[') + entries.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// A window title split at every " - " without its last part (the application's name, usually).
QString strippedTitle(const QString& title) {
    QStringList parts = title.split(QStringLiteral(" - "));
    parts.removeLast();
    return parts.join(QStringLiteral(" - "));
}

int titleScore(const QString& windowTitle, const QString& keyTitle) {
    if (windowTitle == keyTitle) {
        return 1000;
    }
    if (windowTitle.contains(keyTitle) || keyTitle.contains(windowTitle)) {
        return 500;
    }
    const QString stripped = strippedTitle(windowTitle);
    if (!stripped.isEmpty() &&
        (stripped == keyTitle || keyTitle.contains(stripped) || stripped.contains(keyTitle))) {
        return 800;
    }
    return 0;
}

// Each browser window's profile, where the platform tells one apart from the default.
void attachBrowserProfiles(const RunningApplication& app, QList<WindowSnapshot>& windows) {
    const std::optional<QList<AXElement>> elements = AXWindowService::axWindowList(app);
    if (!elements) {
        return;
    }
    for (WindowSnapshot& window : windows) {
        if (window.windowIndex < 0 || window.windowIndex >= elements->size()) {
            continue;
        }
        const AXElement element = elements->at(window.windowIndex);
        BrowserProfile profile{AXAttributeReader::string(element, AXName::BrowserUserDataDir),
                               AXAttributeReader::string(element, AXName::BrowserProfileDirectory)};
        if (!profile.isDefault()) {
            window.browserProfile = profile;
        }
    }
}

QString lastPathComponent(const QString& path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/'))) {
        trimmed.chop(1);
    }
    return trimmed == QLatin1String("/") ? trimmed : QFileInfo(trimmed).fileName();
}

} // namespace

const QSet<QString>& WorkspaceCapturer::excludedBundleIDs() {
    static const QSet<QString> ids{
        QStringLiteral("com.tremmick.ordella"),           QStringLiteral("com.apple.dock"),
        QStringLiteral("com.apple.SystemUIServer"),       QStringLiteral("com.apple.controlcenter"),
        QStringLiteral("com.apple.notificationcenterui"),
    };
    return ids;
}

QCoro::Task<std::optional<Workspace>> WorkspaceCapturer::capture(QString name) {
    log(QStringLiteral("Starting capture for workspace: ") + name);
    Platform& platform = Platform::current();
    if (!platform.accessibility || !platform.accessibility->isProcessTrusted()) {
        log(QStringLiteral("Accessibility NOT granted, aborting capture"));
        co_await PermissionManager::showAccessibilityAlert();
        co_return std::nullopt;
    }
    log(QStringLiteral("Accessibility granted"));

    QList<RunningApplication> apps;
    QStringList bundleIDs;
    for (const RunningApplication& app : platform.runningApplications->runningApplications()) {
        if (app.activationPolicy == ActivationPolicy::Regular && app.bundleIdentifier &&
            !excludedBundleIDs().contains(*app.bundleIdentifier)) {
            apps.append(app);
            bundleIDs << *app.bundleIdentifier;
        }
    }
    log(QStringLiteral("Found %1 running apps: %2").arg(QString::number(apps.size()), listText(bundleIDs)));

    const QHash<QString, qint64> zOrder = captureAppZOrder(apps);
    log(QStringLiteral("App z-order (front-to-back): ") + dictionaryText(zOrder));

    QList<AppSnapshot> snapshots;
    for (const RunningApplication& app : apps) {
        const QString bundleID = *app.bundleIdentifier;
        log(QStringLiteral("Capturing app: %1 (%2) alreadyRunning=true hidden=%3")
                .arg(displayName(app), bundleID, boolText(app.isHidden)));
        QList<WindowSnapshot> windows = AXWindowService::captureWindows(app);
        log(QStringLiteral("  Windows captured: %1").arg(windows.size()));

        if (BrowserNames::supportedBrowsers().contains(bundleID)) {
            log(QStringLiteral("  Browser detected, capturing tabs..."));
            const BrowserScriptService::TabList tabWindows =
                co_await BrowserScriptService::captureTabs(bundleID);
            log(QStringLiteral("  Tab windows returned: %1").arg(tabWindows.size()));
            attachBrowserProfiles(app, windows);
            if (tabWindows.size() == windows.size()) {
                for (const auto& [position, tabs] : matchTabWindowsToAXWindows(tabWindows, windows)) {
                    if (position >= 0 && position < windows.size()) {
                        windows[position].tabSnapshots = tabs;
                    }
                }
            } else {
                log(QStringLiteral(
                        "  WARNING: Tab window count (%1) != AX window count (%2), using index correlation")
                        .arg(QString::number(tabWindows.size()), QString::number(windows.size())));
                for (qsizetype i = 0; i < std::min(tabWindows.size(), windows.size()); ++i) {
                    windows[i].tabSnapshots = tabWindows[i];
                }
            }
        }

        if (FinderScriptService::isFileManager(bundleID)) {
            log(QStringLiteral("Finder detected, capturing window paths..."));
            const QList<FinderScriptService::FinderWindowInfo> finderWindows =
                co_await FinderScriptService::captureWindows();
            log(QStringLiteral("Finder windows captured: %1").arg(finderWindows.size()));
            attachFinderPaths(windows, finderWindows);
        }

        AppSnapshot snapshot;
        snapshot.id = QUuid::createUuid();
        snapshot.bundleIdentifier = bundleID;
        snapshot.appName = displayName(app);
        snapshot.windowSnapshots = windows;
        snapshot.isHidden = app.isHidden;
        log(QStringLiteral("%1 isHidden=%2 windows=%3")
                .arg(snapshot.appName, boolText(snapshot.isHidden), QString::number(windows.size())));
        snapshots.append(snapshot);
    }

    // What was seen running here may be started again by a restore, and only that.
    for (const AppSnapshot& snapshot : snapshots) {
        if (!platform.runningApplications->startsByPath(snapshot.bundleIdentifier)) {
            continue;
        }
        const bool withDocuments =
            std::any_of(snapshot.windowSnapshots.cbegin(), snapshot.windowSnapshots.cend(),
                        [](const WindowSnapshot& w) { return w.documentURL && !w.documentURL->isEmpty(); });
        CapturedPrograms::record(snapshot.bundleIdentifier, withDocuments);
        log(QStringLiteral("Noted program started by path: %1 (with documents=%2)")
                .arg(snapshot.bundleIdentifier, boolText(withDocuments)));
    }

    std::stable_sort(
        snapshots.begin(), snapshots.end(), [&zOrder](const AppSnapshot& a, const AppSnapshot& b) {
            constexpr qint64 unranked = std::numeric_limits<qint64>::max();
            return zOrder.value(a.bundleIdentifier, unranked) < zOrder.value(b.bundleIdentifier, unranked);
        });

    const QList<DisplaySnapshot> displays = DisplayMapper::captureDisplays();
    log(QStringLiteral("Displays captured: %1").arg(displays.size()));

    Workspace workspace;
    workspace.id = QUuid::createUuid();
    workspace.name = name;
    workspace.createdAt = platform.clock->wallNow();
    workspace.updatedAt = platform.clock->wallNow();
    workspace.appSnapshots = snapshots;
    workspace.displaySnapshots = displays;
    qsizetype windowCount = 0;
    for (const AppSnapshot& app : snapshots) {
        windowCount += app.windowSnapshots.size();
    }
    log(QStringLiteral("Capture complete: %1 apps, %2 windows total")
            .arg(QString::number(snapshots.size()), QString::number(windowCount)));
    co_return workspace;
}

QHash<QString, qint64> WorkspaceCapturer::captureAppZOrder(const QList<RunningApplication>& runningApps) {
    QHash<qint32, QString> bundleByPID;
    for (const RunningApplication& app : runningApps) {
        if (app.bundleIdentifier) {
            bundleByPID.insert(app.processIdentifier, *app.bundleIdentifier);
        }
    }
    QHash<QString, qint64> ranks;
    WindowServer* server = Platform::current().windowServer.get();
    const std::optional<QList<WindowServerEntry>> list =
        server ? server->windowList(WindowServer::OnScreenWindows) : std::nullopt;
    if (!list) {
        return ranks;
    }
    qint64 rank = 0;
    for (const WindowServerEntry& entry : *list) {
        if (!entry.ownerPID || !bundleByPID.contains(*entry.ownerPID)) {
            continue;
        }
        const QString bundleID = bundleByPID.value(*entry.ownerPID);
        if (ranks.contains(bundleID)) {
            continue;
        }
        if (entry.bounds && (entry.bounds->width() < 200 || entry.bounds->height() < 200)) {
            log(QStringLiteral("z-order: skipping small window for %1: %2 (%3x%4)")
                    .arg(bundleID, entry.name.value_or(QStringLiteral("?")),
                         QString::number(NumberConversion::toInt64(entry.bounds->width())),
                         QString::number(NumberConversion::toInt64(entry.bounds->height()))));
            continue;
        }
        ranks.insert(bundleID, rank++);
    }
    return ranks;
}

WorkspaceCapturer::TabPairing
WorkspaceCapturer::matchTabWindowsToAXWindows(const QList<QList<TabSnapshot>>& tabsByWindow,
                                              const QList<WindowSnapshot>& windowSnapshots) {
    TabPairing pairs;
    QSet<qsizetype> used;
    for (qsizetype t = 0; t < tabsByWindow.size(); ++t) {
        const QList<TabSnapshot>& tabs = tabsByWindow[t];
        const TabSnapshot* keyTab = nullptr;
        for (const TabSnapshot& tab : tabs) {
            if (tab.isActive) {
                keyTab = &tab;
                break;
            }
        }
        if (!keyTab && !tabs.isEmpty()) {
            keyTab = &tabs.first();
        }
        const bool hasKeyTitle = keyTab && keyTab->title && !keyTab->title->isEmpty();

        if (hasKeyTitle) {
            const QString& keyTitle = *keyTab->title;
            qsizetype best = -1;
            int bestScore = 0;
            for (qsizetype w = 0; w < windowSnapshots.size(); ++w) {
                const std::optional<QString>& title = windowSnapshots[w].windowTitle;
                if (used.contains(w) || !title || title->isEmpty()) {
                    continue;
                }
                const int score = titleScore(*title, keyTitle);
                if (score > bestScore) {
                    best = w;
                    bestScore = score;
                }
            }
            if (best >= 0) {
                pairs.append({best, tabs});
                used.insert(best);
                if (best != t) {
                    log(QStringLiteral("  Tab window[%1] matched to AX window[%2] by title (score=%3)")
                            .arg(QString::number(t), QString::number(best), QString::number(bestScore)));
                }
                continue;
            }
        }

        if (t < windowSnapshots.size() && !used.contains(t)) {
            pairs.append({t, tabs});
            used.insert(t);
            if (hasKeyTitle) {
                log(QStringLiteral("  Tab window[%1] — no title match, using index fallback").arg(t));
            }
        }
    }
    return pairs;
}

void WorkspaceCapturer::attachFinderPaths(QList<WindowSnapshot>& windows,
                                          const QList<FinderScriptService::FinderWindowInfo>& finderWindows) {
    QSet<qsizetype> used;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        WindowSnapshot& window = windows[i];
        if (window.windowTitle && !finderWindows.isEmpty()) {
            const QString& title = *window.windowTitle;
            for (qsizetype j = 0; j < finderWindows.size(); ++j) {
                if (used.contains(j)) {
                    continue;
                }
                const QString& path = finderWindows[j].path;
                const QString last = lastPathComponent(path);
                if (title == last || title.contains(last) || path.endsWith(title)) {
                    window.documentURL = path;
                    used.insert(j);
                    log(QStringLiteral("Matched AX window[%1] to Finder window[%2] at: %3")
                            .arg(QString::number(i), QString::number(j), path));
                    break;
                }
            }
        }
        if (!window.documentURL || window.documentURL->isEmpty()) {
            const qint64 k = window.windowIndex;
            if (k >= 0 && k < finderWindows.size() && !used.contains(k)) {
                window.documentURL = finderWindows[k].path;
                used.insert(k);
                log(QStringLiteral("Fallback: Matched AX window[%1] to Finder window[%2] at: %3")
                        .arg(QString::number(i), QString::number(k), finderWindows[k].path));
            }
        }
    }
    qsizetype dropped = 0;
    for (auto it = windows.begin(); it != windows.end();) {
        if (it->documentURL && !it->documentURL->isEmpty()) {
            ++it;
            continue;
        }
        log(QStringLiteral("Filtering out window without valid path: ") +
            it->windowTitle.value_or(QStringLiteral("untitled")));
        it = windows.erase(it);
        ++dropped;
    }
    if (dropped > 0) {
        log(QStringLiteral("Filtered out %1 Finder windows without valid paths").arg(dropped));
    }
}
