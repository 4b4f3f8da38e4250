#include "Services/Scripting/BrowserScriptService.h"

#include "Platform/Platform.h"
#include "Platform/Prompts.h"
#include "Platform/ScriptRunner.h"
#include "Services/Scripting/BrowserNames.h"
#include "Services/Scripting/BrowserScriptText.h"
#include "Services/Scripting/ScriptQueue.h"
#include "Services/Storage/AnalysisLogger.h"

#include <QUrl>
#include <QUuid>

namespace {

const QString kTag = QStringLiteral("BrowserScriptService");

QString boolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

ScriptQueue& BrowserScriptService::scriptQueue() {
    static ScriptQueue queue(Clock::seconds(10.0));
    return queue;
}

void BrowserScriptService::log(const QString& message) {
    AnalysisLogger::shared().log(kTag, message);
}

// ---- Running scripts ----

QCoro::Task<std::optional<ScriptDescriptor>> BrowserScriptService::runAppleScript(QString source) {
    const std::optional<ScriptResult> outcome = co_await runScript(std::move(source));
    if (!outcome || outcome->error) {
        co_return std::nullopt;
    }
    co_return outcome->descriptor;
}

QCoro::Task<std::optional<ScriptResult>> BrowserScriptService::runScript(QString source) {
    log(QStringLiteral("runAppleScript: Executing: ") + ScriptText::preview(source));
    ScriptQueue& queue = scriptQueue();
    const std::optional<ScriptResult> outcome = co_await queue.run(source);
    if (!outcome) {
        log(QStringLiteral("runAppleScript: TIMEOUT after %1s — script may still be running")
                .arg(ScriptText::seconds(queue.timeout())));
        co_return std::nullopt;
    }
    if (outcome->error) {
        const ScriptError& error = *outcome->error;
        if (error.number == ScriptError::notAuthorized) {
            const QString name = error.appName.value_or(QStringLiteral("the browser"));
            log(QStringLiteral("Not authorized to send Apple events to %1. Prompting user.").arg(name));
            showAutomationPermissionAlert(name); // not awaited: the caller goes on
        } else {
            log(QStringLiteral("AppleScript error (%1): %2")
                    .arg(QString::number(error.number), error.message.value_or(QStringLiteral("unknown"))));
        }
    }
    co_return outcome;
}

QCoro::Task<void> BrowserScriptService::showAutomationPermissionAlert(QString appName) {
    // Held for the whole wait, so the answer can still be acted on.
    const std::shared_ptr<Prompts> prompts = Platform::current().prompts;
    if (!prompts) {
        co_return;
    }
    AlertRequest request;
    request.style = AlertRequest::Style::Warning;
    request.messageText = QStringLiteral("Automation Permission Required");
    request.informativeText =
        QStringLiteral("Ordella needs permission to control %1 to capture and restore browser "
                       "tabs. Please grant access in your desktop's settings.")
            .arg(appName);
    request.buttons = {QStringLiteral("Open Settings"), QStringLiteral("Cancel")};
    request.iconName = QStringLiteral("AppIcon");
    const int answer = co_await prompts->showAlert(request);
    if (answer == 0) {
        prompts->openUrl(QUrl(
            QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Automation")));
    }
}

// ---- Capture ----

QCoro::Task<BrowserScriptService::TabList> BrowserScriptService::captureTabs(QString bundleIdentifier) {
    const std::optional<ScriptDescriptor> answer =
        co_await runAppleScript(BrowserScriptText::tabListingScript(bundleIdentifier));
    co_return parseTabResult(answer);
}

QString BrowserScriptService::fourCharCodeToString(std::uint32_t code) {
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text.append(QChar(static_cast<char16_t>((code >> shift) & 0xFF)));
    }
    return text;
}

BrowserScriptService::TabList
BrowserScriptService::parseTabResult(const std::optional<ScriptDescriptor>& result) {
    if (!result) {
        log(QStringLiteral("parseTabResult: No result to parse"));
        return {};
    }
    const ScriptDescriptor& top = *result;
    const int count = top.numberOfItems();
    log(QStringLiteral("parseTabResult: Top-level items: %1, type: %2")
            .arg(QString::number(count), fourCharCodeToString(top.descriptorType())));
    const ScriptDescriptor* first = top.descriptorAtIndex(1);
    if (count < 1 || !first) {
        return {};
    }
    const int firstCount = first->numberOfItems();
    const bool firstIsText = first->stringValue().has_value();
    log(QStringLiteral("parseTabResult: firstItem type=%1, isString=%2, subItems=%3")
            .arg(fourCharCodeToString(first->descriptorType()), boolText(firstIsText),
                 QString::number(firstCount)));
    const auto single = [](QList<TabSnapshot> tabs) { return tabs.isEmpty() ? TabList{} : TabList{tabs}; };
    if (firstIsText) {
        log(QStringLiteral("parseTabResult: Mode: FLAT (single window, stride-3)"));
        return single(parseTabsFromStride3(top));
    }
    const ScriptDescriptor* grand = firstCount >= 1 ? first->descriptorAtIndex(1) : nullptr;
    if (grand) {
        const int grandCount = grand->numberOfItems();
        const bool grandIsText = grand->stringValue().has_value();
        log(QStringLiteral("parseTabResult: grandchild type=%1, isString=%2, subItems=%3")
                .arg(fourCharCodeToString(grand->descriptorType()), boolText(grandIsText),
                     QString::number(grandCount)));
        if (grandIsText) {
            log(QStringLiteral("parseTabResult: Mode: NESTED windows, stride-3 per window"));
            return parseWindows(top, &BrowserScriptService::parseTabsFromStride3);
        }
        if (grandCount == 3) {
            log(QStringLiteral("parseTabResult: Mode: NESTED windows, sub-list per tab"));
            return parseWindows(top, &BrowserScriptService::parseTabsFromSubLists);
        }
        const ScriptDescriptor* grandFirst = grand->descriptorAtIndex(1);
        if (firstCount == 3 && grandFirst && grandFirst->stringValue()) {
            log(QStringLiteral("parseTabResult: Mode: SINGLE window, sub-list per tab (ambiguous resolved)"));
            return single(parseTabsFromSubLists(top));
        }
    }
    log(QStringLiteral("parseTabResult: Mode: FALLBACK — nested windows with sub-list tabs"));
    return parseWindows(top, &BrowserScriptService::parseTabsFromSubLists);
}

BrowserScriptService::TabList
BrowserScriptService::parseWindows(const ScriptDescriptor& list,
                                   QList<TabSnapshot> (*tabParser)(const ScriptDescriptor&)) {
    TabList windows;
    for (int i = 1; i <= list.numberOfItems(); ++i) {
        const ScriptDescriptor* window = list.descriptorAtIndex(i);
        if (!window) {
            continue;
        }
        QList<TabSnapshot> tabs = tabParser(*window);
        log(QStringLiteral("parseWindows: Window[%1]: %2 tabs")
                .arg(QString::number(i), QString::number(tabs.size())));
        windows.append(std::move(tabs));
    }
    return windows;
}

std::optional<TabSnapshot> BrowserScriptService::makeTab(const ScriptDescriptor* url,
                                                         const ScriptDescriptor* title,
                                                         const ScriptDescriptor* active) {
    TabSnapshot tab;
    tab.url = url ? url->stringValue().value_or(QString()) : QString();
    if (tab.url.isEmpty()) {
        return std::nullopt;
    }
    tab.id = QUuid::createUuid();
    tab.title = title ? title->stringValue() : std::nullopt;
    tab.isActive = active && active->booleanValue();
    return tab;
}

QList<TabSnapshot> BrowserScriptService::parseTabsFromSubLists(const ScriptDescriptor& list) {
    QList<TabSnapshot> tabs;
    for (int i = 1; i <= list.numberOfItems(); ++i) {
        const ScriptDescriptor* item = list.descriptorAtIndex(i);
        if (!item) {
            continue;
        }
        if (auto tab =
                makeTab(item->descriptorAtIndex(1), item->descriptorAtIndex(2), item->descriptorAtIndex(3))) {
            tabs.append(std::move(*tab));
        }
    }
    return tabs;
}

QList<TabSnapshot> BrowserScriptService::parseTabsFromStride3(const ScriptDescriptor& list) {
    QList<TabSnapshot> tabs;
    const int count = list.numberOfItems();
    for (int i = 1; i + 2 <= count; i += 3) {
        if (auto tab = makeTab(list.descriptorAtIndex(i), list.descriptorAtIndex(i + 1),
                               list.descriptorAtIndex(i + 2))) {
            tabs.append(std::move(*tab));
        }
    }
    return tabs;
}

// ---- Restore and housekeeping ----

QCoro::Task<QList<BrowserScriptService::MadeWindow>>
BrowserScriptService::openWindows(QString bundleIdentifier, TabList windowTabs,
                                  std::optional<QList<SnapshotRect>> windowBounds,
                                  QList<std::optional<BrowserProfile>> profiles) {
    log(QStringLiteral("restoreTabs: bundleID=%1, windowTabs.count=%2")
            .arg(bundleIdentifier, QString::number(windowTabs.size())));
    for (qsizetype i = 0; i < windowTabs.size(); ++i) {
        log(QStringLiteral("restoreTabs:   window[%1]: %2 tabs")
                .arg(QString::number(i), QString::number(windowTabs[i].size())));
        for (qsizetype j = 0; j < windowTabs[i].size(); ++j) {
            log(QStringLiteral("restoreTabs:     tab[%1]: url=%2, active=%3")
                    .arg(QString::number(j), windowTabs[i][j].url, boolText(windowTabs[i][j].isActive)));
        }
    }
    const QString label = BrowserNames::safariBundleIDs().contains(bundleIdentifier)
                              ? QStringLiteral("restoreSafariTabs")
                              : QStringLiteral("restoreChromiumTabs");
    co_return co_await restoreWindows(std::move(bundleIdentifier), std::move(windowTabs),
                                      std::move(windowBounds), std::move(profiles), label);
}

QCoro::Task<QList<std::int64_t>>
BrowserScriptService::restoreTabs(QString bundleIdentifier, TabList windowTabs,
                                  std::optional<QList<SnapshotRect>> windowBounds,
                                  QList<std::optional<BrowserProfile>> profiles) {
    const QList<MadeWindow> made = co_await openWindows(std::move(bundleIdentifier), std::move(windowTabs),
                                                        std::move(windowBounds), std::move(profiles));
    QList<std::int64_t> ids;
    for (const MadeWindow& window : made) {
        if (window.id) {
            ids.append(*window.id);
        }
    }
    co_return ids;
}

QCoro::Task<std::optional<std::int64_t>> BrowserScriptService::idOfWindow(QString bundleIdentifier,
                                                                          std::int64_t window) {
    // Read twice at most: a window that was just made is worth a second look.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (const std::optional<QList<std::int64_t>> ids = co_await windowIDs(bundleIdentifier)) {
            if (window >= 1 && window <= ids->size()) {
                co_return ids->at(window - 1);
            }
            co_return std::nullopt;
        }
    }
    co_return std::nullopt;
}

QCoro::Task<QList<BrowserScriptService::MadeWindow>>
BrowserScriptService::restoreWindows(QString bundleIdentifier, TabList windowTabs,
                                     std::optional<QList<SnapshotRect>> windowBounds,
                                     QList<std::optional<BrowserProfile>> profiles, QString label) {
    QList<MadeWindow> made;
    const bool safari = BrowserNames::safariBundleIDs().contains(bundleIdentifier);
    const QString name = BrowserNames::appName(bundleIdentifier);
    log(QStringLiteral("%1: appName=%2, bundleID=%3, windowTabs.count=%4")
            .arg(label, name, bundleIdentifier, QString::number(windowTabs.size())));
    for (qsizetype index = windowTabs.size() - 1; index >= 0; --index) {
        const QList<TabSnapshot>& tabs = windowTabs[index];
        log(QStringLiteral("%1: Processing snapshotIdx=%2, tabs.count=%3")
                .arg(label, QString::number(index), QString::number(tabs.size())));
        if (tabs.isEmpty()) {
            log(QStringLiteral("%1: Skipping empty tab list for snapshotIdx=%2")
                    .arg(label, QString::number(index)));
            continue;
        }
        const std::optional<std::int64_t> countBefore = co_await windowCount(bundleIdentifier);
        // A Chromium-dialect window is asked for with all its tabs at once: the browser opens them
        // in that window, and one that is not running starts with it.
        QStringList urls;
        for (const TabSnapshot& tab : tabs) {
            urls << tab.url;
        }
        const std::optional<BrowserProfile> profile = profiles.value(index, std::nullopt);
        // Named: a conditional's temporary in an awaited expression is destroyed twice by this
        // compiler.
        const QString creation =
            safari ? BrowserScriptText::createWindowScript(bundleIdentifier, urls.first(), profile)
                   : BrowserScriptText::createWindowWithTabsScript(bundleIdentifier, urls, profile);
        const std::optional<ScriptResult> outcome = co_await runScript(creation);
        const std::optional<ScriptDescriptor> created =
            outcome && !outcome->error ? outcome->descriptor : std::nullopt;
        std::int64_t window = created ? created->int32Value() : 0;
        if (window < 1 && !outcome && !countBefore) {
            // A browser that did not run may take longer to start than a script is waited for: the
            // window it shows first, once the creation has ended, is this one.
            // Each read waits behind the creation, which may still run: a few reads, each bounded.
            std::optional<std::int64_t> started;
            for (int read = 0; read < 3 && !started; ++read) {
                started = co_await windowCount(bundleIdentifier);
            }
            if (started == std::optional<std::int64_t>(1)) {
                window = 1;
                log(label + QStringLiteral(": The browser started for snapshotIdx=") +
                    QString::number(index) +
                    QStringLiteral(" after the creation's time-out — going on with window 1"));
            }
        }
        if (window < 1 && countBefore) {
            // No answer need not mean no window: a slow browser answers after the time-out, and the
            // dialect's second line can fail once the window exists. One window more than before
            // is the new one, in front.
            const std::optional<std::int64_t> countAfter = co_await windowCount(bundleIdentifier);
            if (countAfter && *countAfter == *countBefore + 1) {
                window = 1;
                log(label + QStringLiteral(": Window creation gave no answer for snapshotIdx=") +
                    QString::number(index) +
                    QStringLiteral(", but a window was made — going on with window 1"));
            }
        }
        if (window < 1) {
            // Without the new window's number, the next scripts would act on whatever window is in
            // front, quite possibly one of the user's own: leave this saved window alone.
            log(label + QStringLiteral(": Window creation gave no window for snapshotIdx=") +
                QString::number(index) + QStringLiteral(" — skipping its bounds, tabs and activation"));
            continue;
        }
        // The window is known by its id from now on: the restore closes only windows it made.
        const std::optional<std::int64_t> id = co_await idOfWindow(bundleIdentifier, window);
        // A creation without an answer handed the whole window all the same; one that failed did
        // not.
        made.append(MadeWindow{index, id, !outcome || !outcome->error});
        if (windowBounds && index < windowBounds->size()) {
            if (const std::optional<ScriptBounds> bounds = ScriptText::bounds((*windowBounds)[index])) {
                co_await runAppleScript(
                    BrowserScriptText::setBoundsScript(bundleIdentifier, window, *bounds));
                log(QStringLiteral("%1: Set bounds for window %2: %3")
                        .arg(label, QString::number(window), bounds->text()));
            } else {
                log(QStringLiteral(
                        "%1: Frame of snapshotIdx=%2 cannot be written as bounds — leaving window %3 "
                        "where it opened")
                        .arg(label, QString::number(index), QString::number(window)));
            }
        }
        if (safari && tabs.size() > 1) {
            const std::optional<ScriptDescriptor> tabsOpened = co_await runAppleScript(
                BrowserScriptText::openTabsScript(bundleIdentifier, window, urls.mid(1)));
            made.last().whole = made.last().whole && tabsOpened.has_value();
        }
        for (qsizetype k = 0; k < tabs.size(); ++k) {
            if (tabs[k].isActive) {
                co_await runAppleScript(
                    BrowserScriptText::activateTabScript(bundleIdentifier, window, k + 1));
                break;
            }
        }
        log(QStringLiteral("%1: Restored window[%2] at index %3 with %4 tabs")
                .arg(label, QString::number(index), QString::number(window), QString::number(tabs.size())));
    }
    co_return made;
}

QCoro::Task<std::int64_t> BrowserScriptService::getWindowCount(QString bundleIdentifier) {
    co_return (co_await windowCount(std::move(bundleIdentifier))).value_or(0);
}

QCoro::Task<std::optional<std::int64_t>> BrowserScriptService::windowCount(QString bundleIdentifier) {
    const std::optional<ScriptDescriptor> answer =
        co_await runAppleScript(BrowserScriptText::windowCountScript(bundleIdentifier));
    if (!answer || answer->kind() != ScriptDescriptor::Kind::Integer) {
        co_return std::nullopt;
    }
    co_return static_cast<std::int64_t>(answer->int32Value());
}

QCoro::Task<void> BrowserScriptService::closeWindowsBeyondCount(QString bundleIdentifier,
                                                                std::int64_t keepCount) {
    const QString script = BrowserScriptText::closeWindowsBeyondCountScript(bundleIdentifier, keepCount);
    const std::int64_t count = co_await getWindowCount(bundleIdentifier);
    if (count <= keepCount) {
        co_return;
    }
    log(QStringLiteral("Closing %1 windows (keeping %2)")
            .arg(QString::number(count - keepCount), QString::number(keepCount)));
    co_await runAppleScript(script);
}

QCoro::Task<void> BrowserScriptService::closeEmptyBrowserWindows(QString bundleIdentifier) {
    co_await runAppleScript(BrowserScriptText::closeEmptyWindowsScript(bundleIdentifier));
}

QCoro::Task<void> BrowserScriptService::closeBrowser(QString bundleIdentifier) {
    const QString script = BrowserScriptText::closeAllWindowsScript(bundleIdentifier);
    log(QStringLiteral("closeBrowser: Closing all windows for %1")
            .arg(BrowserNames::appName(bundleIdentifier)));
    co_await runAppleScript(script);
}

QCoro::Task<std::optional<QList<std::int64_t>>> BrowserScriptService::windowIDs(QString bundleIdentifier) {
    const std::optional<ScriptDescriptor> answer =
        co_await runAppleScript(BrowserScriptText::windowIDsScript(bundleIdentifier));
    if (!answer || answer->kind() != ScriptDescriptor::Kind::List) {
        co_return std::nullopt;
    }
    QList<std::int64_t> ids;
    for (int i = 1; i <= answer->numberOfItems(); ++i) {
        const ScriptDescriptor* item = answer->descriptorAtIndex(i);
        if (!item || item->kind() != ScriptDescriptor::Kind::Integer) {
            co_return std::nullopt;
        }
        ids.append(item->int32Value());
    }
    co_return ids;
}

QCoro::Task<void> BrowserScriptService::closeWindowsExcept(QString bundleIdentifier,
                                                           QList<std::int64_t> keep) {
    const std::optional<QList<std::int64_t>> ids = co_await windowIDs(bundleIdentifier);
    if (!ids) {
        log(QStringLiteral("closeWindowsExcept: the windows of %1 cannot be told apart — closing none")
                .arg(BrowserNames::appName(bundleIdentifier)));
        co_return;
    }
    QList<std::int64_t> others;
    for (const std::int64_t id : *ids) {
        if (!keep.contains(id)) {
            others.append(id);
        }
    }
    co_await closeWindows(bundleIdentifier, others);
}

QCoro::Task<void> BrowserScriptService::closeWindows(QString bundleIdentifier,
                                                     QList<std::int64_t> windowIDs) {
    if (windowIDs.isEmpty()) {
        co_return;
    }
    log(QStringLiteral("closeWindows: Closing %1 window(s) of %2")
            .arg(QString::number(windowIDs.size()), BrowserNames::appName(bundleIdentifier)));
    co_await runAppleScript(BrowserScriptText::closeWindowsScript(bundleIdentifier, windowIDs));
}
