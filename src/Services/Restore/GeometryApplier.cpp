#include "Services/Restore/GeometryApplier.h"

#include "Extensions/NumberConversion.h"
#include "Services/Desktop/AXAttributeReader.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/RestoreGeometry.h"
#include "Services/Restore/RestoreLog.h"
#include "Services/Restore/RestoreWait.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kGeometryAttempts = 4;
constexpr std::array<int, kGeometryAttempts> kBackoffMs{100, 200, 400, 800};
constexpr int kSettleMs = 50;
// How often a pause looks whether the windows it waits for stand on their targets already.
constexpr int kLookMs = 10;

// Whether the window reads shown on its target, as a read-back counts it.
bool onTarget(const GeometryApplier::Moving& m) {
    const std::optional<QRectF> actual =
        AXWindowService::isMinimized(m.window) ? std::nullopt : AXWindowService::windowFrame(m.window);
    return actual && RestoreGeometry::withinTolerance(*actual, m.targetFrame);
}

} // namespace

QCoro::Task<QList<WindowRestoreResult>> GeometryApplier::applyAndVerify(QList<Moving> windows) {
    const auto headOf = [](const Moving& m) {
        return QStringLiteral("applyGeometry: \"") + m.windowTitle.value_or(QStringLiteral("?")) +
               QStringLiteral("\"");
    };
    QList<std::optional<WindowRestoreResult>> outcomes(windows.size());
    QList<qsizetype> pending;
    for (qsizetype k = 0; k < windows.size(); ++k) {
        RestoreLog::log(headOf(windows[k]) + QStringLiteral(" target=") +
                        RestoreLog::frameText(windows[k].targetFrame) + QStringLiteral(" match=") +
                        WindowMatcher::qualityName(windows[k].matchQuality));
        pending.append(k);
    }
    const auto windowsOf = [&windows](const QList<qsizetype>& which) {
        QList<AXElement> result;
        for (const qsizetype k : which) {
            result.append(windows[k].window);
        }
        return result;
    };
    for (int attempt = 0; attempt < kGeometryAttempts && !pending.isEmpty(); ++attempt) {
        const QList<AXElement> asked = windowsOf(pending);
        // A move asks for its window as it stands; read them all together first, or after the
        // pause each move would wait for the server on its own.
        AXWindowService::readTogether(asked);
        for (const qsizetype k : pending) {
            const Moving& m = windows[k];
            // Raised with its first move only: raised again while its manager still draws it
            // back from its icon, a window is drawn from the icon anew (openbox), and a window
            // that many moves wait for never gets to where it is asked.
            if (attempt == 0 && m.raise) {
                AXAttributeReader::write(m.window, QStringLiteral("AXMain"), AXValue::boolean(true));
                AXAttributeReader::perform(m.window, QStringLiteral("AXRaise"));
            }
            AXWindowService::setWindowFrame(m.window, m.targetFrame);
        }
        const auto askAhead = [asked] { AXWindowService::readAhead(asked); };
        // A move shows in a few milliseconds: the settle ends once every window asked reads on its
        // target, and lasts its whole length only for one that does not.
        const auto onTargets = [&windows, &pending, &windowsOf] {
            AXWindowService::readTogether(windowsOf(pending));
            return std::all_of(pending.cbegin(), pending.cend(),
                               [&windows](qsizetype k) { return onTarget(windows[k]); });
        };
        co_await RestoreWait::pollAfter(onTargets, RestoreWait::ms(kSettleMs), RestoreWait::ms(kLookMs),
                                        askAhead);

        AXWindowService::readTogether(asked);
        QList<qsizetype> again;
        for (const qsizetype k : pending) {
            const Moving& m = windows[k];
            // A window still minimised cannot be seen where it is: its frame counts as unread.
            const std::optional<QRectF> actual = AXWindowService::isMinimized(m.window)
                                                     ? std::nullopt
                                                     : AXWindowService::windowFrame(m.window);
            if (!actual) {
                again.append(k);
                continue;
            }
            const QString head = headOf(m);
            const QString match = WindowMatcher::qualityName(m.matchQuality);
            const QString n = QString::number(attempt + 1);
            const bool verified = RestoreGeometry::withinTolerance(*actual, m.targetFrame);
            if (verified || attempt == kGeometryAttempts - 1) {
                // Where the window stands is the outcome: verified, or kept where its application
                // put it after the last attempt.
                const QString d = QString::number(
                    NumberConversion::toInt64(RestoreGeometry::delta(*actual, m.targetFrame)));
                RestoreLog::log(
                    head + (verified ? QStringLiteral(" ✓ actual=") : QStringLiteral(" ✗ actual=")) +
                    RestoreLog::frameText(*actual) +
                    (verified ? QStringLiteral(" attempts=") + n
                              : QStringLiteral(" delta=") + d + QStringLiteral("pt after 4 attempts")));
                WindowRestoreResult outcome{
                    m.windowTitle, verified ? RestoreStatus::restored : RestoreStatus::partiallyRestored,
                    verified ? QStringLiteral("Geometry verified (match=") + match +
                                   QStringLiteral(", attempts=") + n + QStringLiteral(")")
                             : QStringLiteral("App adjusted geometry (delta: ") + d +
                                   QStringLiteral("pt, match=") + match + QStringLiteral(")"),
                    m.targetFrame, actual};
                outcome.finding = verified ? WindowFinding::inPlace : WindowFinding::keptOwnFrame;
                outcomes[k] = outcome;
                continue;
            }
            RestoreLog::log(head + QStringLiteral(" attempt ") + n + QStringLiteral("/4 actual=") +
                            RestoreLog::frameText(*actual) + QStringLiteral(" — retrying"));
            again.append(k);
        }
        pending = again;
        if (!pending.isEmpty()) {
            const QList<AXElement> next = windowsOf(pending);
            const auto askNextAhead = [next] { AXWindowService::readAhead(next); };
            // A window late to move that comes to its target meanwhile ends the pause.
            const auto arrived = [&windows, &pending, &windowsOf] {
                AXWindowService::readTogether(windowsOf(pending));
                return std::all_of(pending.cbegin(), pending.cend(),
                                   [&windows](qsizetype k) { return onTarget(windows[k]); });
            };
            co_await RestoreWait::pollAfter(arrived, RestoreWait::ms(kBackoffMs[attempt]),
                                            RestoreWait::ms(kLookMs * 2), askNextAhead);
        }
    }
    QList<WindowRestoreResult> results;
    for (qsizetype k = 0; k < windows.size(); ++k) {
        results.append(outcomes[k].value_or(
            WindowRestoreResult{windows[k].windowTitle, RestoreStatus::failed,
                                QStringLiteral("Geometry application failed after 4 attempts"),
                                windows[k].targetFrame, AXWindowService::windowFrame(windows[k].window)}));
    }
    co_return results;
}
