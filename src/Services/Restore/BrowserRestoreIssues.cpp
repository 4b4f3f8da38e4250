#include "Services/Restore/BrowserRestoreIssues.h"

#include "Platform/Platform.h"
#include "Platform/ScriptRunner.h"
#include "Services/Restore/BrowserTabComparison.h"
#include "Services/Restore/BrowserTabRestorer.h"
#include "Services/Scripting/BrowserNames.h"

namespace {

// A window opened in the default profile in place of its own: "Profile refused (why); opened in
// the default profile".
const QString kProfileRefused = QStringLiteral("Profile refused (");
const QString kInTheDefaultProfile = QStringLiteral("); opened in the default profile");
// Why a saved new-tab page is shown as a blank page.
const QString kNewTabStandIn =
    QStringLiteral("a new-tab page, which browsers do not open when handed (a blank page stands in)");

} // namespace

const QString& BrowserRestoreIssues::tabsUnread() {
    static const QString text =
        QStringLiteral("Tabs cannot be read: the browser has recorded none of its windows since it started");
    return text;
}

QStringList BrowserRestoreIssues::tabIssues(const QList<QList<TabSnapshot>>& saved,
                                            const QList<QList<TabSnapshot>>& current, bool recordStopped) {
    const QList<QList<TabSnapshot>> opened = BrowserTabRestorer::openedTabs(saved);
    const QList<BrowserTabComparison::Shortfall> shortfalls =
        BrowserTabComparison::shortfalls(opened, current);
    const std::shared_ptr<ScriptRunner> runner = Platform::current().scriptRunner;
    QStringList issues;
    for (qsizetype i = 0; i < saved.size(); ++i) {
        // The browser lists the window without its tabs only because it records nothing: what the
        // window shows cannot be told, which is not a window without them.
        if (recordStopped && !saved[i].isEmpty() && !shortfalls[i].partner) {
            issues.append(tabsUnread());
            continue;
        }
        QStringList notReopened;
        // Why the addresses kept from the browser were kept, each reason once.
        QStringList refusals;
        for (qsizetype j = 0; j < saved[i].size(); ++j) {
            // A page shown blank in its place is not back, as a new-tab page the browser is not
            // given is not. An address the host only cleaned (of a line break, say) is opened, and
            // compared as such.
            const bool keptFromBrowser =
                opened[i][j].url != saved[i][j].url &&
                opened[i][j].url.compare(QStringLiteral("about:blank"), Qt::CaseInsensitive) == 0;
            if (keptFromBrowser || shortfalls[i].missingTabs.contains(j)) {
                notReopened.append(saved[i][j].url);
            }
            const std::optional<QString> refusal = !keptFromBrowser ? std::nullopt
                                                   : isBlankStandIn(saved[i][j].url, opened[i][j].url)
                                                       ? std::optional<QString>(kNewTabStandIn)
                                                   : runner ? runner->browserAddressRefusal(saved[i][j].url)
                                                            : std::nullopt;
            if (refusal && !refusals.contains(*refusal)) {
                refusals.append(*refusal);
            }
        }
        QStringList parts;
        if (!notReopened.isEmpty()) {
            // Counted, and the first few named by their start: an address may be very long.
            QStringList named;
            for (const QString& url : notReopened.first(std::min<qsizetype>(notReopened.size(), 3))) {
                named.append(url.size() > 200 ? url.left(200) + QStringLiteral("…") : url);
            }
            QString text = QStringLiteral("Tabs not reopened: ") + named.join(QStringLiteral(", "));
            if (notReopened.size() > named.size()) {
                text += QStringLiteral(" and ") + QString::number(notReopened.size() - named.size()) +
                        QStringLiteral(" more");
            }
            parts.append(text + QStringLiteral(" (") + QString::number(notReopened.size()) +
                         QStringLiteral(" of ") + QString::number(saved[i].size()) +
                         QStringLiteral(" tabs)"));
            if (!refusals.isEmpty()) {
                parts.append(QStringLiteral("not handed to the browser: ") +
                             refusals.join(QStringLiteral(", ")));
            }
        }
        if (shortfalls[i].unselectedTab) {
            parts.append(QStringLiteral("Active tab not selected: ") +
                         saved[i][*shortfalls[i].unselectedTab].url);
        }
        issues.append(parts.join(QStringLiteral("; ")));
    }
    return issues;
}

bool BrowserRestoreIssues::isBlankStandIn(const QString& saved, const QString& opened) {
    if (opened.compare(QStringLiteral("about:blank"), Qt::CaseInsensitive) != 0 || saved == opened) {
        return false;
    }
    return BrowserNames::isNewTabPage(saved);
}

void BrowserRestoreIssues::addTabIssues(QList<WindowRestoreResult>& results, const QStringList& issues) {
    for (qsizetype i = 0; i < std::min(results.size(), issues.size()); ++i) {
        if (issues[i].isEmpty()) {
            continue;
        }
        WindowRestoreResult& window = results[i];
        if (window.status == RestoreStatus::restored) {
            window.status = RestoreStatus::partiallyRestored;
            window.reason = issues[i];
            window.finding = WindowFinding::none;
            // Placed, and shown: only what it shows cannot be read.
            window.tabsUnread = issues[i] == tabsUnread();
        } else {
            window.reason += QStringLiteral("; ") + issues[i];
        }
    }
}

QStringList BrowserRestoreIssues::profileRefusals(const AppSnapshot& snapshot) {
    const std::shared_ptr<ScriptRunner> runner = Platform::current().scriptRunner;
    QStringList refusals;
    for (const WindowSnapshot& window : snapshot.windowSnapshots) {
        const std::optional<BrowserProfile>& profile = window.browserProfile;
        std::optional<QString> refusal;
        if (runner && profile && !profile->isDefault() && !window.tabSnapshots.isEmpty()) {
            refusal = runner->browserProfileRefusal(snapshot.bundleIdentifier,
                                                    profile->userDataDir.value_or(QString()),
                                                    profile->profileDirectory.value_or(QString()));
        }
        refusals.append(refusal ? kProfileRefused + *refusal + kInTheDefaultProfile : QString());
    }
    return refusals;
}

void BrowserRestoreIssues::addProfileRefusals(QList<WindowRestoreResult>& results,
                                              const QStringList& refusals, const QStringList& tabIssues) {
    for (qsizetype i = 0; i < std::min(results.size(), refusals.size()); ++i) {
        if (refusals[i].isEmpty()) {
            continue;
        }
        WindowRestoreResult& window = results[i];
        const bool tabsBack = tabIssues.value(i).isEmpty();
        const bool placed = window.status == RestoreStatus::restored;
        // Placed with every tab: back, in the wrong profile; the refusal says why not as saved.
        window.backInDefaultProfile = placed && tabsBack;
        // What held the placing back stays said after the refusal.
        window.reason = placed ? refusals[i] : refusals[i] + QStringLiteral("; ") + window.reason;
        window.finding = WindowFinding::none;
        // Its tabs are shown: the window is there, in the default profile, whether or not it was
        // found among the windows of the profile's process.
        window.status = tabsBack || window.status != RestoreStatus::failed ? RestoreStatus::partiallyRestored
                                                                           : RestoreStatus::failed;
    }
}
