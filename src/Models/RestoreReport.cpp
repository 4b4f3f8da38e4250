#include "Models/RestoreReport.h"

#include "Extensions/BidiText.h"

#include <algorithm>

namespace {

bool isFailedOrSkipped(const AppRestoreResult& result) {
    return result.status == RestoreStatus::failed || result.status == RestoreStatus::skipped;
}

using Outside = QString (*)(const QString&);

QString asIs(const QString& text) {
    return text;
}

QStringList displayParts(const QStringList& missingDisplays, Outside outside) {
    QStringList parts;
    for (const QString& name : missingDisplays) {
        parts.append(QStringLiteral("Display not connected: ") + outside(name));
    }
    return parts;
}

QString appNames(const QList<AppRestoreResult>& results, const auto& include, Outside outside) {
    QStringList names;
    for (const AppRestoreResult& result : results) {
        if (include(result)) {
            names.append(outside(result.appName));
        }
    }
    return names.join(QStringLiteral(", "));
}

// An application a run found in its saved state and left alone, whatever its reason adds.
bool leftAlone(const AppRestoreResult& result) {
    return result.foundInSavedState && result.windowResults.isEmpty();
}

} // namespace

const AppRestoreResult* RestoreReport::counterpart(const QList<AppRestoreResult>& results, qsizetype index,
                                                   const QList<AppRestoreResult>& inRun) {
    if (index < 0 || index >= results.size()) {
        return nullptr;
    }
    const QString& id = results[index].bundleIdentifier;
    qsizetype before = 0;
    for (qsizetype i = 0; i < index; ++i) {
        before += results[i].bundleIdentifier == id ? 1 : 0;
    }
    for (const AppRestoreResult& candidate : inRun) {
        if (candidate.bundleIdentifier == id && before-- == 0) {
            return &candidate;
        }
    }
    return nullptr;
}

RestoreReport RestoreReport::ofRuns(const QList<RestoreReport>& runs) {
    if (runs.isEmpty()) {
        return RestoreReport{};
    }
    RestoreReport report = runs.last();
    for (qsizetype index = 0; index < report.appResults.size(); ++index) {
        AppRestoreResult& app = report.appResults[index];
        const auto inRun = [&runs, index](qsizetype run) {
            return counterpart(runs.last().appResults, index, runs[run].appResults);
        };
        // Every run's windows closed, in the order they went.
        QList<ClosedWindow> closed;
        for (qsizetype run = 0; run + 1 < runs.size(); ++run) {
            if (const AppRestoreResult* found = inRun(run)) {
                closed += found->closedWindows;
            }
        }
        app.closedWindows = closed + app.closedWindows;
        if (leftAlone(app)) {
            for (qsizetype run = runs.size() - 2; run >= 0; --run) {
                const AppRestoreResult* found = inRun(run);
                if (found && !leftAlone(*found)) {
                    app.windowResults = found->windowResults;
                    app.reason = found->reason + QStringLiteral("; then found in its saved state");
                    break;
                }
            }
        }
        // Each window with what every run did to it: a window the first run moved and a later run
        // found in place was moved.
        for (qsizetype run = 0; run + 1 < runs.size(); ++run) {
            const AppRestoreResult* found = inRun(run);
            for (qsizetype w = 0;
                 found && w < std::min(found->windowResults.size(), app.windowResults.size()); ++w) {
                app.windowResults[w].addActions(found->windowResults[w].actions);
            }
        }
    }
    return report;
}

RestoreStatus RestoreReport::deriveStatus(const QList<AppRestoreResult>& from,
                                          const QStringList& missingDisplays) {
    if (from.isEmpty()) {
        return RestoreStatus::skipped;
    }
    if (!std::all_of(from.begin(), from.end(), isFailedOrSkipped)) {
        const bool allRestored = std::all_of(from.begin(), from.end(), [](const AppRestoreResult& r) {
            return r.status == RestoreStatus::restored;
        });
        return allRestored && missingDisplays.isEmpty() ? RestoreStatus::restored
                                                        : RestoreStatus::partiallyRestored;
    }
    return missingDisplays.isEmpty() ? RestoreStatus::failed : RestoreStatus::partiallyRestored;
}

QString RestoreReport::summary() const {
    return summary(asIs);
}

QString RestoreReport::isolatedSummary() const {
    return summary(BidiText::isolated);
}

QString RestoreReport::summary(Outside outside) const {
    const QString separator = QStringLiteral(" | ");
    switch (status) {
    case RestoreStatus::restored:
        return QStringLiteral("Workspace restored");
    case RestoreStatus::cancelled:
        return QStringLiteral("Restore cancelled");
    case RestoreStatus::skipped:
        return appResults.isEmpty() ? QStringLiteral("Restore skipped") : outside(appResults.first().reason);
    case RestoreStatus::failed:
        if (!missingDisplays.isEmpty()) {
            return displayParts(missingDisplays, outside).join(separator);
        }
        return appResults.isEmpty() ? QStringLiteral("Failed to restore workspace")
                                    : outside(appResults.first().reason);
    case RestoreStatus::partiallyRestored:
        break;
    }

    const QString issuesPrefix = QStringLiteral("Partially restored \u2014 issues with: ");
    QStringList parts = displayParts(missingDisplays, outside);
    if (std::any_of(appResults.begin(), appResults.end(), isFailedOrSkipped)) {
        parts.append(QStringLiteral("Partially restored \u2014 failed: ") +
                     appNames(appResults, isFailedOrSkipped, outside));
    } else {
        const QString partial = appNames(
            appResults,
            [](const AppRestoreResult& r) { return r.status == RestoreStatus::partiallyRestored; }, outside);
        if (!partial.isEmpty()) {
            parts.append(issuesPrefix + partial);
        } else if (parts.isEmpty()) {
            return issuesPrefix;
        }
    }
    return parts.join(separator);
}
