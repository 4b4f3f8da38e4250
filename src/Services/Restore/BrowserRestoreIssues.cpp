#include "Services/Restore/BrowserRestoreIssues.h"

#include "Platform/Platform.h"
#include "Platform/ScriptRunner.h"
#include "Services/Restore/BrowserTabComparison.h"
#include "Services/Restore/BrowserTabRestorer.h"
#include "Services/Scripting/BrowserScriptService.h"

namespace {

// A window opened in the default profile in place of its own: "Profile refused (why); opened in
// the default profile".
const QString kProfileRefused = QStringLiteral("Profile refused (");
const QString kInTheDefaultProfile = QStringLiteral("); opened in the default profile");

} // namespace

QStringList BrowserRestoreIssues::tabIssues(const QList<QList<TabSnapshot>>& saved,
                                            const QList<QList<TabSnapshot>>& current) {
    const QList<QList<TabSnapshot>> opened = BrowserTabRestorer::openedTabs(saved);
    const QList<BrowserTabComparison::Shortfall> shortfalls =
        BrowserTabComparison::shortfalls(opened, current);
    const std::shared_ptr<ScriptRunner> runner = Platform::current().scriptRunner;
    QStringList issues;
    for (qsizetype i = 0; i < saved.size(); ++i) {
        QStringList notReopened;
        // Why the addresses kept from the browser were kept, each reason once.
        QStringList refusals;
        for (qsizetype j = 0; j < saved[i].size(); ++j) {
            // A new-tab page comes back as the blank page that stands in for it: it is back. An
            // address the host only cleaned (of a line break, say) is opened, and compared as such.
            const bool keptFromBrowser =
                opened[i][j].url != saved[i][j].url &&
                opened[i][j].url.compare(QStringLiteral("about:blank"), Qt::CaseInsensitive) == 0 &&
                !isBlankStandIn(saved[i][j].url, opened[i][j].url);
            if (keptFromBrowser || shortfalls[i].missingTabs.contains(j)) {
                notReopened.append(saved[i][j].url);
            }
            const std::optional<QString> refusal =
                keptFromBrowser && runner ? runner->browserAddressRefusal(saved[i][j].url) : std::nullopt;
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
    return BrowserScriptService::isNewTabPage(saved);
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
