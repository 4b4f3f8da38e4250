#include "ViewModels/WorkspacePreviewViewModel.h"

#include "Extensions/LocalizationManager.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Scripting/BrowserNames.h"

#include <QHash>
#include <QPointer>

#include <algorithm>
#include <limits>

namespace {

const QString captureFailedText = QStringLiteral("Failed to capture workspace");

bool isSupportedBrowser(const QString& bundleIdentifier) {
    return BrowserNames::supportedBrowsers().contains(bundleIdentifier);
}

bool startsInAppOnlyMode(const AppSnapshot& app) {
    return !isSupportedBrowser(app.bundleIdentifier) &&
           WorkspacePreviewViewModel::appOnlyExclusionList().contains(app.bundleIdentifier);
}

// Trailing slashes dropped (a lone "/" stays), then lower case: two addresses that differ only in
// those count as the same tab.
QString normalizedURL(QString url) {
    while (url.endsWith(QLatin1Char('/')) && url.size() >= 2) {
        url.chop(1);
    }
    return url.toLower();
}

QSet<QString> normalizedURLs(const WindowSnapshot& window) {
    QSet<QString> urls;
    for (const TabSnapshot& tab : window.tabSnapshots) {
        urls.insert(normalizedURL(tab.url));
    }
    return urls;
}

} // namespace

WorkspacePreviewViewModel::WorkspacePreviewViewModel(QObject* parent)
    : WorkspacePreviewViewModel(Capturer(&WorkspaceCapturer::capture), parent) {
}

WorkspacePreviewViewModel::WorkspacePreviewViewModel(Capturer capturer, QObject* parent)
    : QObject(parent)
    , m_capturer(std::move(capturer)) {
}

const QSet<QString>& WorkspacePreviewViewModel::appOnlyExclusionList() {
    static const QSet<QString> list{QStringLiteral("com.spotify.client")};
    return list;
}

bool WorkspacePreviewViewModel::isDocumentApp(const AppSnapshot& app) {
    if (isSupportedBrowser(app.bundleIdentifier)) {
        return false;
    }
    return app.hasDocumentWindows();
}

QCoro::Task<std::optional<Workspace>> WorkspacePreviewViewModel::runCapture(QString name) {
    // Copied first: the model may be gone when the capture starts.
    Capturer capturer = m_capturer;
    // Let the panel show that a capture is under way before the capture occupies the main thread.
    std::shared_ptr<Clock> clock = Platform::current().clock;
    co_await clock->sleep(Clock::Duration::zero());
    co_return co_await capturer(std::move(name));
}

QCoro::Task<void> WorkspacePreviewViewModel::capture() {
    setCapturing(true);
    setCaptureError(std::nullopt);
    QPointer<WorkspacePreviewViewModel> self(this);
    std::optional<Workspace> result = co_await runCapture(QStringLiteral("preview"));
    if (!self) {
        co_return; // the panel closed meanwhile
    }
    setCapturedWorkspace(result);
    setCapturing(false);
    if (!result) {
        setCaptureError(captureFailedText);
        co_return;
    }
    for (const AppSnapshot& app : result->appSnapshots) {
        if (startsInAppOnlyMode(app)) {
            insertInto(m_appOnlyModeIDs, app.id, &WorkspacePreviewViewModel::appOnlyModeIDsChanged);
        }
    }
}

QCoro::Task<void> WorkspacePreviewViewModel::captureForUpdate(Workspace savedWorkspace) {
    setCapturing(true);
    setCaptureError(std::nullopt);
    QPointer<WorkspacePreviewViewModel> self(this);
    std::optional<Workspace> fresh = co_await runCapture(savedWorkspace.name);
    if (!self) {
        co_return;
    }
    if (!fresh) {
        setCapturing(false);
        setCaptureError(captureFailedText);
        co_return;
    }

    QSet<QString> savedBundleIDs;
    QList<AppSnapshot> merged;
    for (const AppSnapshot& saved : savedWorkspace.appSnapshots) {
        savedBundleIDs.insert(saved.bundleIdentifier);
        insertInto(m_savedAppIDs, saved.id, &WorkspacePreviewViewModel::savedAppIDsChanged);
        std::optional<AppSnapshot> counterpart;
        for (const AppSnapshot& app : fresh->appSnapshots) {
            if (app.bundleIdentifier == saved.bundleIdentifier) {
                counterpart = app;
                break;
            }
        }
        if (isSupportedBrowser(saved.bundleIdentifier)) {
            merged.append(mergeBrowserApp(saved, counterpart));
            continue;
        }
        if (appOnlyExclusionList().contains(saved.bundleIdentifier)) {
            insertInto(m_appOnlyModeIDs, saved.id, &WorkspacePreviewViewModel::appOnlyModeIDsChanged);
        }
        AppSnapshot copy = saved;
        if (counterpart) {
            copy.isHidden = counterpart->isHidden;
            for (WindowSnapshot& window : copy.windowSnapshots) {
                if (auto match = bestMatchingWindow(window, counterpart->windowSnapshots)) {
                    window.isMinimized = match->isMinimized;
                }
            }
        }
        merged.append(copy);
    }

    for (const AppSnapshot& app : fresh->appSnapshots) {
        if (savedBundleIDs.contains(app.bundleIdentifier)) {
            continue;
        }
        if (startsInAppOnlyMode(app)) {
            insertInto(m_appOnlyModeIDs, app.id, &WorkspacePreviewViewModel::appOnlyModeIDsChanged);
        }
        insertInto(m_ignoredAppIDs, app.id, &WorkspacePreviewViewModel::ignoredAppIDsChanged);
        merged.append(app);
    }

    // Running applications follow today's stacking order; the first of two running applications
    // with one bundle identifier gives the position.
    QHash<QString, qsizetype> position;
    for (qsizetype i = fresh->appSnapshots.size() - 1; i >= 0; --i) {
        position.insert(fresh->appSnapshots[i].bundleIdentifier, i);
    }
    std::stable_sort(merged.begin(), merged.end(), [&position](const AppSnapshot& a, const AppSnapshot& b) {
        constexpr qsizetype last = std::numeric_limits<qsizetype>::max();
        return position.value(a.bundleIdentifier, last) < position.value(b.bundleIdentifier, last);
    });

    const QDateTime now = Platform::current().clock->wallNow();
    Workspace result;
    result.id = QUuid::createUuid();
    result.name = savedWorkspace.name;
    result.createdAt = now;
    result.updatedAt = now;
    result.appSnapshots = merged;
    result.displaySnapshots = fresh->displaySnapshots;
    setCapturedWorkspace(result);
    setCapturing(false);
}

AppSnapshot WorkspacePreviewViewModel::mergeBrowserApp(const AppSnapshot& saved,
                                                       const std::optional<AppSnapshot>& fresh) {
    if (!fresh) {
        return saved;
    }
    QSet<qsizetype> used;
    QList<WindowSnapshot> windows;
    for (const WindowSnapshot& savedWindow : saved.windowSnapshots) {
        const QSet<QString> keys = normalizedURLs(savedWindow);
        qsizetype best = -1;
        qsizetype bestCount = 0;
        for (qsizetype i = 0; i < fresh->windowSnapshots.size(); ++i) {
            if (used.contains(i)) {
                continue;
            }
            const qsizetype shared =
                QSet<QString>(keys).intersect(normalizedURLs(fresh->windowSnapshots[i])).size();
            if (shared > bestCount) {
                best = i;
                bestCount = shared;
            }
        }
        if (best < 0) {
            windows.append(savedWindow);
            continue;
        }
        used.insert(best);
        const WindowSnapshot& pair = fresh->windowSnapshots[best];
        WindowSnapshot window = savedWindow;
        window.frame = pair.frame;
        window.isMinimized = pair.isMinimized;
        // The saved window keeps the profile it was saved in; one saved before profiles were
        // recorded takes the profile it shows today.
        if (!window.browserProfile) {
            window.browserProfile = pair.browserProfile;
        }
        for (const TabSnapshot& tab : pair.tabSnapshots) {
            if (!keys.contains(normalizedURL(tab.url))) {
                window.tabSnapshots.append(tab);
            }
        }
        windows.append(window);
    }
    for (qsizetype i = 0; i < fresh->windowSnapshots.size(); ++i) {
        if (!used.contains(i) && !fresh->windowSnapshots[i].tabSnapshots.isEmpty()) {
            windows.append(fresh->windowSnapshots[i]);
        }
    }
    AppSnapshot result;
    result.id = saved.id;
    result.bundleIdentifier = saved.bundleIdentifier;
    result.appName = saved.appName;
    result.windowSnapshots = windows;
    result.isHidden = fresh->isHidden;
    return result;
}

std::optional<WindowSnapshot>
WorkspacePreviewViewModel::bestMatchingWindow(const WindowSnapshot& saved,
                                              const QList<WindowSnapshot>& fresh) {
    if (fresh.isEmpty()) {
        return std::nullopt;
    }
    auto firstWhere = [&fresh](auto predicate) -> std::optional<WindowSnapshot> {
        const auto it = std::find_if(fresh.begin(), fresh.end(), predicate);
        return it == fresh.end() ? std::nullopt : std::optional<WindowSnapshot>(*it);
    };
    if (saved.documentURL && !saved.documentURL->isEmpty()) {
        if (auto m =
                firstWhere([&](const WindowSnapshot& w) { return w.documentURL == saved.documentURL; })) {
            return m;
        }
    }
    if (saved.windowTitle && !saved.windowTitle->isEmpty()) {
        return firstWhere([&](const WindowSnapshot& w) { return w.windowTitle == saved.windowTitle; });
    }
    return fresh.first();
}

void WorkspacePreviewViewModel::toggleAppIgnore(const QUuid& id) {
    toggleIn(m_ignoredAppIDs, id, &WorkspacePreviewViewModel::ignoredAppIDsChanged);
}

void WorkspacePreviewViewModel::toggleWindowIgnore(const QUuid& id) {
    toggleIn(m_ignoredWindowIDs, id, &WorkspacePreviewViewModel::ignoredWindowIDsChanged);
}

void WorkspacePreviewViewModel::toggleTabIgnore(const QUuid& id) {
    toggleIn(m_ignoredTabIDs, id, &WorkspacePreviewViewModel::ignoredTabIDsChanged);
}

void WorkspacePreviewViewModel::toggleRestoreFilesMode(const QUuid& appID) {
    toggleIn(m_appOnlyModeIDs, appID, &WorkspacePreviewViewModel::appOnlyModeIDsChanged);
}

void WorkspacePreviewViewModel::selectAllApps() {
    if (!m_ignoredAppIDs.isEmpty()) {
        m_ignoredAppIDs.clear();
        emit ignoredAppIDsChanged();
    }
}

void WorkspacePreviewViewModel::deselectAllApps() {
    if (!m_capturedWorkspace) {
        return;
    }
    for (const AppSnapshot& app : m_capturedWorkspace->appSnapshots) {
        insertInto(m_ignoredAppIDs, app.id, &WorkspacePreviewViewModel::ignoredAppIDsChanged);
    }
}

bool WorkspacePreviewViewModel::hasAnyAppsToSave() const {
    if (!m_capturedWorkspace) {
        return false;
    }
    const auto& apps = m_capturedWorkspace->appSnapshots;
    return std::any_of(apps.begin(), apps.end(),
                       [this](const AppSnapshot& app) { return !m_ignoredAppIDs.contains(app.id); });
}

std::optional<Workspace> WorkspacePreviewViewModel::filteredWorkspace(const QString& name) const {
    if (!m_capturedWorkspace) {
        return std::nullopt;
    }
    Workspace result = *m_capturedWorkspace;
    result.name = name;
    result.appSnapshots.clear();
    for (const AppSnapshot& app : m_capturedWorkspace->appSnapshots) {
        if (m_ignoredAppIDs.contains(app.id)) {
            continue;
        }
        AppSnapshot kept = app;
        kept.windowSnapshots.clear();
        if (!(m_appOnlyModeIDs.contains(app.id) && isDocumentApp(app))) {
            for (const WindowSnapshot& window : app.windowSnapshots) {
                if (m_ignoredWindowIDs.contains(window.id)) {
                    continue;
                }
                WindowSnapshot keptWindow = window;
                keptWindow.tabSnapshots.clear();
                for (const TabSnapshot& tab : window.tabSnapshots) {
                    if (!m_ignoredTabIDs.contains(tab.id)) {
                        keptWindow.tabSnapshots.append(tab);
                    }
                }
                kept.windowSnapshots.append(keptWindow);
            }
        }
        result.appSnapshots.append(kept);
    }
    return result;
}

QString WorkspacePreviewViewModel::summaryText() const {
    if (!m_capturedWorkspace) {
        return {};
    }
    qsizetype apps = 0;
    qsizetype windows = 0;
    qsizetype tabs = 0;
    for (const AppSnapshot& app : m_capturedWorkspace->appSnapshots) {
        if (m_ignoredAppIDs.contains(app.id)) {
            continue;
        }
        ++apps;
        windows += app.windowSnapshots.size();
        for (const WindowSnapshot& window : app.windowSnapshots) {
            tabs +=
                std::count_if(window.tabSnapshots.begin(), window.tabSnapshots.end(),
                              [this](const TabSnapshot& tab) { return !m_ignoredTabIDs.contains(tab.id); });
        }
    }
    if (apps == 0) {
        return {};
    }
    return LocalizationManager::contentSummary(apps, windows, tabs, QStringLiteral(", "));
}

void WorkspacePreviewViewModel::setCapturing(bool value) {
    if (m_isCapturing != value) {
        m_isCapturing = value;
        emit isCapturingChanged();
    }
}

void WorkspacePreviewViewModel::setCaptureError(std::optional<QString> value) {
    if (m_captureError != value) {
        m_captureError = std::move(value);
        emit captureErrorChanged();
    }
}

void WorkspacePreviewViewModel::setCapturedWorkspace(std::optional<Workspace> value) {
    m_capturedWorkspace = std::move(value);
    emit capturedWorkspaceChanged();
}

void WorkspacePreviewViewModel::insertInto(QSet<QUuid>& set, const QUuid& id,
                                           void (WorkspacePreviewViewModel::*changed)()) {
    if (!set.contains(id)) {
        set.insert(id);
        emit(this->*changed)();
    }
}

void WorkspacePreviewViewModel::toggleIn(QSet<QUuid>& set, const QUuid& id,
                                         void (WorkspacePreviewViewModel::*changed)()) {
    if (!set.remove(id)) {
        set.insert(id);
    }
    emit(this->*changed)();
}
