#include "Services/Scripting/BrowserScriptService.h"

#include <algorithm>

#include "Platform/BrowserIdentities.h"
#include "Platform/Platform.h"
#include "Platform/Prompts.h"
#include "Platform/ScriptRunner.h"
#include "Services/Scripting/ScriptQueue.h"
#include "Services/Storage/AnalysisLogger.h"

#include <QHash>
#include <QUrl>
#include <QUuid>

namespace {

const QString kTag = QStringLiteral("BrowserScriptService");
const QString kSafariTechnologyPreview = QStringLiteral("com.apple.SafariTechnologyPreview");

QString boolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

const QSet<QString>& BrowserScriptService::supportedBrowsers() {
    static const QSet<QString> browsers = [] {
        QSet<QString> ids{
            QStringLiteral("com.apple.Safari"),           kSafariTechnologyPreview,
            QStringLiteral("com.google.Chrome"),          QStringLiteral("com.google.Chrome.canary"),
            QStringLiteral("company.thebrowser.Browser"), QStringLiteral("com.brave.Browser"),
            QStringLiteral("com.microsoft.edgemac"),      QStringLiteral("com.operasoftware.Opera"),
            QStringLiteral("com.vivaldi.Vivaldi"),        QStringLiteral("org.chromium.Chromium"),
        };
        // The same browsers as Linux packages them, known by their desktop-file ids.
        for (const BrowserIdentities::LinuxBrowser& browser : BrowserIdentities::linuxBrowsers()) {
            ids.insert(browser.desktopId);
        }
        return ids;
    }();
    return browsers;
}

const QSet<QString>& BrowserScriptService::safariBundleIDs() {
    static const QSet<QString> ids{QStringLiteral("com.apple.Safari"), kSafariTechnologyPreview};
    return ids;
}

QString BrowserScriptService::chromiumAppName(const QString& bundleIdentifier) {
    if (const BrowserIdentities::LinuxBrowser* packaged = BrowserIdentities::byDesktopId(bundleIdentifier)) {
        return packaged->scriptName;
    }
    static const QHash<QString, QString> names{
        {QStringLiteral("com.google.Chrome"), QStringLiteral("Google Chrome")},
        {QStringLiteral("com.google.Chrome.canary"), QStringLiteral("Google Chrome Canary")},
        {QStringLiteral("company.thebrowser.Browser"), QStringLiteral("Arc")},
        {QStringLiteral("com.brave.Browser"), QStringLiteral("Brave Browser")},
        {QStringLiteral("com.microsoft.edgemac"), QStringLiteral("Microsoft Edge")},
        {QStringLiteral("com.operasoftware.Opera"), QStringLiteral("Opera")},
        {QStringLiteral("com.vivaldi.Vivaldi"), QStringLiteral("Vivaldi")},
        {QStringLiteral("org.chromium.Chromium"), QStringLiteral("Chromium")},
    };
    return names.value(bundleIdentifier, QStringLiteral("Google Chrome"));
}

QString BrowserScriptService::appName(const QString& bundleIdentifier) {
    if (safariBundleIDs().contains(bundleIdentifier)) {
        return bundleIdentifier == kSafariTechnologyPreview ? QStringLiteral("Safari Technology Preview")
                                                            : QStringLiteral("Safari");
    }
    return chromiumAppName(bundleIdentifier);
}

const QStringList& BrowserScriptService::newTabPrefixes() {
    static const QStringList prefixes{
        QStringLiteral("chrome://newtab"),    QStringLiteral("chrome://new-tab-page"),
        QStringLiteral("edge://newtab"),      QStringLiteral("brave://newtab"),
        QStringLiteral("vivaldi://newtab"),   QStringLiteral("opera://startpage"),
        QStringLiteral("arc://newtab"),       QStringLiteral("about:blank"),
        QStringLiteral("about:newtab"),       QStringLiteral("favorites://"),
        QStringLiteral("safari://startpage"), QStringLiteral("safari://favorites"),
        QStringLiteral("safari://newtab"),    QStringLiteral("safari://new-tab-page"),
    };
    return prefixes;
}

bool BrowserScriptService::isNewTabPage(const QString& url) {
    const QStringList& pages = newTabPrefixes();
    return std::any_of(pages.begin(), pages.end(),
                       [&url](const QString& page) { return url.startsWith(page, Qt::CaseInsensitive); });
}

ScriptQueue& BrowserScriptService::scriptQueue() {
    static ScriptQueue queue(Clock::seconds(10.0));
    return queue;
}

void BrowserScriptService::log(const QString& message) {
    AnalysisLogger::shared().log(kTag, message);
}

// ---- Script texts ----

QString BrowserScriptService::tellLine(const QString& bundleIdentifier) {
    return QStringLiteral("tell application \"%1\"").arg(appName(bundleIdentifier));
}

QString BrowserScriptService::tabListingScript(const QString& bundleIdentifier) {
    const bool safari = safariBundleIDs().contains(bundleIdentifier);
    return ScriptText::join({
        tellLine(bundleIdentifier),
        QStringLiteral("    set windowTabs to {}"),
        QStringLiteral("    repeat with w in windows"),
        QStringLiteral("        set tabList to {}"),
        safari ? QStringLiteral("        set activeIndex to index of current tab of w")
               : QStringLiteral("        set activeIndex to active tab index of w"),
        QStringLiteral("        set tabIndex to 1"),
        QStringLiteral("        repeat with t in tabs of w"),
        QStringLiteral("            set tabURL to URL of t"),
        safari ? QStringLiteral("            set tabTitle to name of t")
               : QStringLiteral("            set tabTitle to title of t"),
        QStringLiteral("            set isActive to (tabIndex = activeIndex)"),
        QStringLiteral("            set end of tabList to {tabURL, tabTitle, isActive}"),
        QStringLiteral("            set tabIndex to tabIndex + 1"),
        QStringLiteral("        end repeat"),
        QStringLiteral("        set end of windowTabs to tabList"),
        QStringLiteral("    end repeat"),
        QStringLiteral("    return windowTabs"),
        QStringLiteral("end tell"),
    });
}

QString BrowserScriptService::createWindowScript(const QString& bundleIdentifier, const QString& url,
                                                 const std::optional<BrowserProfile>& profile) {
    if (safariBundleIDs().contains(bundleIdentifier)) {
        return ScriptText::join({
            tellLine(bundleIdentifier),
            QStringLiteral("    make new document with properties {URL:%1}").arg(ScriptText::quoted(url)),
            QStringLiteral("    return 1"),
            QStringLiteral("end tell"),
        });
    }
    // A window of a profile of its own says so; the default profile's is the plain request.
    const QString make =
        profile && !profile->isDefault()
            ? QStringLiteral("    make new window with properties {user data dir:%1, profile directory:%2}")
                  .arg(ScriptText::quoted(profile->userDataDir.value_or(QString())),
                       ScriptText::quoted(profile->profileDirectory.value_or(QString())))
            : QStringLiteral("    make new window");
    return ScriptText::join({
        tellLine(bundleIdentifier),
        make,
        QStringLiteral("    set URL of active tab of window 1 to %1").arg(ScriptText::quoted(url)),
        QStringLiteral("    return 1"),
        QStringLiteral("end tell"),
    });
}

QString BrowserScriptService::createWindowWithTabsScript(const QString& bundleIdentifier,
                                                         const QStringList& urls,
                                                         const std::optional<BrowserProfile>& profile) {
    QStringList lines = createWindowScript(bundleIdentifier, urls.value(0), profile).split(QLatin1Char('\n'));
    // Before "    return 1" and the closing "end tell": the further tabs of the window just made,
    // which is window 1.
    const qsizetype at = lines.size() - 2;
    for (qsizetype i = urls.size() - 1; i >= 1; --i) {
        lines.insert(at, QStringLiteral("end tell"));
        lines.insert(
            at, QStringLiteral("make new tab with properties {URL:%1}").arg(ScriptText::quoted(urls[i])));
        lines.insert(at, QStringLiteral("tell window 1"));
    }
    return ScriptText::join(lines);
}

QString BrowserScriptService::setBoundsScript(const QString& bundleIdentifier, std::int64_t window,
                                              const ScriptBounds& bounds) {
    return ScriptText::join({
        tellLine(bundleIdentifier),
        QStringLiteral("    set bounds of window %1 to %2").arg(QString::number(window), bounds.text()),
        QStringLiteral("end tell"),
    });
}

QString BrowserScriptService::openTabsScript(const QString& bundleIdentifier, std::int64_t window,
                                             const QStringList& urls) {
    QStringList lines{tellLine(bundleIdentifier)};
    for (const QString& url : urls) {
        lines << QStringLiteral("tell window %1").arg(window)
              << QStringLiteral("make new tab with properties {URL:%1}").arg(ScriptText::quoted(url))
              << QStringLiteral("end tell");
    }
    lines << QStringLiteral("end tell");
    return ScriptText::join(lines);
}

QString BrowserScriptService::activateTabScript(const QString& bundleIdentifier, std::int64_t window,
                                                std::int64_t tab) {
    const QString body = safariBundleIDs().contains(bundleIdentifier)
                             ? QStringLiteral("    set current tab of window %1 to tab %2 of window %1")
                                   .arg(QString::number(window), QString::number(tab))
                             : QStringLiteral("    set active tab index of window %1 to %2")
                                   .arg(QString::number(window), QString::number(tab));
    return ScriptText::join({tellLine(bundleIdentifier), body, QStringLiteral("end tell")});
}

QString BrowserScriptService::windowCountScript(const QString& bundleIdentifier) {
    return ScriptText::join({tellLine(bundleIdentifier), QStringLiteral("    return count of windows"),
                             QStringLiteral("end tell")});
}

QString BrowserScriptService::closeWindowsBeyondCountScript(const QString& bundleIdentifier,
                                                            std::int64_t keepCount) {
    return ScriptText::join({
        tellLine(bundleIdentifier),
        QStringLiteral("    set winCount to count of windows"),
        QStringLiteral("    if winCount > %1 then").arg(keepCount),
        QStringLiteral("        set toClose to winCount - %1").arg(keepCount),
        QStringLiteral("        repeat with i from winCount to (winCount - toClose + 1) by -1"),
        QStringLiteral("            try"),
        QStringLiteral("                close window i"),
        QStringLiteral("            end try"),
        QStringLiteral("        end repeat"),
        QStringLiteral("    end if"),
        QStringLiteral("end tell"),
    });
}

QString BrowserScriptService::closeEmptyWindowsScript(const QString& bundleIdentifier) {
    QStringList conditions;
    for (const QString& prefix : newTabPrefixes()) {
        conditions << QStringLiteral("u starts with %1").arg(ScriptText::quoted(prefix.toLower()));
    }
    const QString condition = conditions.join(QStringLiteral(" or "));
    QStringList lines{
        tellLine(bundleIdentifier),
        QStringLiteral("    repeat with i from (count of windows) to 1 by -1"),
        QStringLiteral("        try"),
        QStringLiteral("            set w to window i"),
        QStringLiteral("            set tabCount to (count of tabs of w)"),
    };
    if (safariBundleIDs().contains(bundleIdentifier)) {
        lines << QStringLiteral("            if tabCount is 0 then")
              << QStringLiteral("                close w")
              << QStringLiteral("            else if tabCount is 1 then")
              << QStringLiteral("                set u to URL of tab 1 of w");
    } else {
        lines << QStringLiteral("            if tabCount is 1 then")
              << QStringLiteral("                set u to URL of active tab of w");
    }
    lines << QStringLiteral("                if u is missing value then")
          << QStringLiteral("                    close w") << QStringLiteral("                else")
          << QStringLiteral("                    set u to (u as string)")
          << QStringLiteral("                    ignoring case")
          << QStringLiteral("                        if %1 then").arg(condition)
          << QStringLiteral("                            close w")
          << QStringLiteral("                        end if")
          << QStringLiteral("                    end ignoring") << QStringLiteral("                end if")
          << QStringLiteral("            end if") << QStringLiteral("        end try")
          << QStringLiteral("    end repeat") << QStringLiteral("end tell");
    return ScriptText::join(lines);
}

QString BrowserScriptService::closeAllWindowsScript(const QString& bundleIdentifier) {
    return ScriptText::join(
        {tellLine(bundleIdentifier), QStringLiteral("    close every window"), QStringLiteral("end tell")});
}

QString BrowserScriptService::windowIDsScript(const QString& bundleIdentifier) {
    return ScriptText::join({tellLine(bundleIdentifier), QStringLiteral("    return id of every window"),
                             QStringLiteral("end tell")});
}

QString BrowserScriptService::closeWindowsScript(const QString& bundleIdentifier,
                                                 const QList<std::int64_t>& windowIDs) {
    QStringList lines{tellLine(bundleIdentifier)};
    for (const std::int64_t id : windowIDs) {
        // Each in its own try: a window that went meanwhile must not keep the others open.
        lines << QStringLiteral("    try") << QStringLiteral("        close window id %1").arg(id)
              << QStringLiteral("    end try");
    }
    lines << QStringLiteral("end tell");
    return ScriptText::join(lines);
}

// ---- Running scripts ----

QCoro::Task<std::optional<ScriptDescriptor>> BrowserScriptService::runAppleScript(QString source) {
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
        co_return std::nullopt;
    }
    co_return outcome->descriptor;
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
        co_await runAppleScript(tabListingScript(bundleIdentifier));
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

QCoro::Task<QList<std::int64_t>>
BrowserScriptService::restoreTabs(QString bundleIdentifier, TabList windowTabs,
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
    const QString label = safariBundleIDs().contains(bundleIdentifier)
                              ? QStringLiteral("restoreSafariTabs")
                              : QStringLiteral("restoreChromiumTabs");
    co_return co_await restoreWindows(std::move(bundleIdentifier), std::move(windowTabs),
                                      std::move(windowBounds), std::move(profiles), label);
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

QCoro::Task<QList<std::int64_t>>
BrowserScriptService::restoreWindows(QString bundleIdentifier, TabList windowTabs,
                                     std::optional<QList<SnapshotRect>> windowBounds,
                                     QList<std::optional<BrowserProfile>> profiles, QString label) {
    QList<std::int64_t> made;
    const bool safari = safariBundleIDs().contains(bundleIdentifier);
    const QString name = appName(bundleIdentifier);
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
        const QString creation = safari ? createWindowScript(bundleIdentifier, urls.first(), profile)
                                        : createWindowWithTabsScript(bundleIdentifier, urls, profile);
        const std::optional<ScriptDescriptor> created = co_await runAppleScript(creation);
        std::int64_t window = created ? created->int32Value() : 0;
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
        if (const std::optional<std::int64_t> id = co_await idOfWindow(bundleIdentifier, window)) {
            made.append(*id);
        }
        if (windowBounds && index < windowBounds->size()) {
            if (const std::optional<ScriptBounds> bounds = ScriptText::bounds((*windowBounds)[index])) {
                co_await runAppleScript(setBoundsScript(bundleIdentifier, window, *bounds));
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
            co_await runAppleScript(openTabsScript(bundleIdentifier, window, urls.mid(1)));
        }
        for (qsizetype k = 0; k < tabs.size(); ++k) {
            if (tabs[k].isActive) {
                co_await runAppleScript(activateTabScript(bundleIdentifier, window, k + 1));
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
        co_await runAppleScript(windowCountScript(bundleIdentifier));
    if (!answer || answer->kind() != ScriptDescriptor::Kind::Integer) {
        co_return std::nullopt;
    }
    co_return static_cast<std::int64_t>(answer->int32Value());
}

QCoro::Task<void> BrowserScriptService::closeWindowsBeyondCount(QString bundleIdentifier,
                                                                std::int64_t keepCount) {
    const QString script = closeWindowsBeyondCountScript(bundleIdentifier, keepCount);
    const std::int64_t count = co_await getWindowCount(bundleIdentifier);
    if (count <= keepCount) {
        co_return;
    }
    log(QStringLiteral("Closing %1 windows (keeping %2)")
            .arg(QString::number(count - keepCount), QString::number(keepCount)));
    co_await runAppleScript(script);
}

QCoro::Task<void> BrowserScriptService::closeEmptyBrowserWindows(QString bundleIdentifier) {
    co_await runAppleScript(closeEmptyWindowsScript(bundleIdentifier));
}

QCoro::Task<void> BrowserScriptService::closeBrowser(QString bundleIdentifier) {
    const QString script = closeAllWindowsScript(bundleIdentifier);
    log(QStringLiteral("closeBrowser: Closing all windows for %1").arg(appName(bundleIdentifier)));
    co_await runAppleScript(script);
}

QCoro::Task<std::optional<QList<std::int64_t>>> BrowserScriptService::windowIDs(QString bundleIdentifier) {
    const std::optional<ScriptDescriptor> answer = co_await runAppleScript(windowIDsScript(bundleIdentifier));
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
                .arg(appName(bundleIdentifier)));
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
            .arg(QString::number(windowIDs.size()), appName(bundleIdentifier)));
    co_await runAppleScript(closeWindowsScript(bundleIdentifier, windowIDs));
}
