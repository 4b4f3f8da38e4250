#pragma once

#include "Models/BrowserProfile.h"
#include "Models/SnapshotRect.h"
#include "Models/TabSnapshot.h"
#include "Platform/ScriptDescriptor.h"
#include "Platform/ScriptRunner.h"
#include "Services/Scripting/ScriptText.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <optional>

class ScriptQueue;

// Every conversation with web browsers: reading their windows' tabs, reopening saved windows with
// their tabs and frames, and tidying windows. Browsers are driven only by scripts built here, one
// at a time on the browsers' script queue, each caller waiting at most 10 seconds. Nothing fails
// loudly: a failure gives an empty list, nothing or 0, and a line in the analysis log.
class BrowserScriptService {
public:
    // One inner list of tabs per browser window, front window first.
    using TabList = QList<QList<TabSnapshot>>;

    static QCoro::Task<TabList> captureTabs(QString bundleIdentifier);
    // Opens one window per saved tab list, last saved window first so that the first ends in
    // front, with its frame (when one is given at its position) and its active tab. A creation
    // script without an answer still counts when the browser's window count grew by one.
    // A window with a profile (at its position in profiles) is opened in that profile; a
    // Chromium-dialect window is asked for with all its tabs in one script, so a browser that is
    // not running starts once, with that window. Answers the ids of the windows it made (those
    // whose id could be read).
    static QCoro::Task<QList<std::int64_t>> restoreTabs(QString bundleIdentifier, TabList windowTabs,
                                                        std::optional<QList<SnapshotRect>> windowBounds,
                                                        QList<std::optional<BrowserProfile>> profiles = {});
    // A window made for one of the tab lists: the list's position, the window's id (when it could
    // be read), and whether the browser took the whole request without an error. A window taken
    // whole shows what it was handed once the browser's record catches up with it.
    struct MadeWindow {
        qsizetype position = 0;
        std::optional<std::int64_t> id;
        bool whole = false;
    };
    // As restoreTabs, answering each window made.
    static QCoro::Task<QList<MadeWindow>> openWindows(QString bundleIdentifier, TabList windowTabs,
                                                      std::optional<QList<SnapshotRect>> windowBounds,
                                                      QList<std::optional<BrowserProfile>> profiles = {});
    static QCoro::Task<std::int64_t> getWindowCount(QString bundleIdentifier);
    // The window count, or nothing when the browser gave no number.
    static QCoro::Task<std::optional<std::int64_t>> windowCount(QString bundleIdentifier);
    static QCoro::Task<void> closeWindowsBeyondCount(QString bundleIdentifier, std::int64_t keepCount);
    static QCoro::Task<void> closeEmptyBrowserWindows(QString bundleIdentifier);
    static QCoro::Task<void> closeBrowser(QString bundleIdentifier);
    // The ids of the browser's windows, front window first; nothing when they cannot be read.
    static QCoro::Task<std::optional<QList<std::int64_t>>> windowIDs(QString bundleIdentifier);
    // Closes every window of the browser but those with these ids; none when the ids cannot be
    // read. The windows kept stay open meanwhile, so the browser never quits on the way.
    static QCoro::Task<void> closeWindowsExcept(QString bundleIdentifier, QList<std::int64_t> keep);
    // Closes the windows with these ids; ids of windows that are gone are passed over.
    static QCoro::Task<void> closeWindows(QString bundleIdentifier, QList<std::int64_t> windowIDs);

    // Runs a script on the browsers' queue: the answer, or nothing after a time-out or an error.
    // A refusal (-1743) also puts up the Automation alert, every time.
    static QCoro::Task<std::optional<ScriptDescriptor>> runAppleScript(QString source);
    // As runAppleScript, with the outcome as it came: nothing after a time-out, else the answer or
    // the error.
    static QCoro::Task<std::optional<ScriptResult>> runScript(QString source);
    // Reads the answer of a tab-listing script; accepts flattened shapes as well.
    static TabList parseTabResult(const std::optional<ScriptDescriptor>& result);
    static QString fourCharCodeToString(std::uint32_t code);

private:
    static ScriptQueue& scriptQueue();
    static void log(const QString& message);
    static QCoro::Task<QList<MadeWindow>> restoreWindows(QString bundleIdentifier, TabList windowTabs,
                                                         std::optional<QList<SnapshotRect>> windowBounds,
                                                         QList<std::optional<BrowserProfile>> profiles,
                                                         QString label);
    // The id of the window with this number (1 = front), read again once when it cannot be read.
    static QCoro::Task<std::optional<std::int64_t>> idOfWindow(QString bundleIdentifier, std::int64_t window);
    static TabList parseWindows(const ScriptDescriptor& list,
                                QList<TabSnapshot> (*tabParser)(const ScriptDescriptor&));
    static QList<TabSnapshot> parseTabsFromStride3(const ScriptDescriptor& list);
    static QList<TabSnapshot> parseTabsFromSubLists(const ScriptDescriptor& list);
    static std::optional<TabSnapshot> makeTab(const ScriptDescriptor* url, const ScriptDescriptor* title,
                                              const ScriptDescriptor* active);
    static QCoro::Task<void> showAutomationPermissionAlert(QString appName);
};
