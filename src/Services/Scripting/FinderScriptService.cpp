#include "Services/Scripting/FinderScriptService.h"

#include "Platform/Diagnostics.h"
#include "Platform/Platform.h"
#include "Platform/ScriptRunner.h"
#include "Services/Scripting/ScriptQueue.h"
#include "Services/Scripting/ScriptText.h"

#include <limits>

namespace {

const QString kTell = QStringLiteral("tell application \"Finder\"");
const QString kEndTell = QStringLiteral("end tell");

QString aliasOf(const QString& path) {
    return QStringLiteral("(POSIX file %1 as alias)").arg(ScriptText::quoted(path));
}

} // namespace

ScriptQueue& FinderScriptService::scriptQueue() {
    static ScriptQueue queue(Clock::seconds(5.0));
    return queue;
}

QCoro::Task<std::optional<ScriptDescriptor>> FinderScriptService::runAppleScript(QString source) {
    Diagnostics::print(QStringLiteral("[FinderScriptService.runAppleScript] Executing: ") +
                       ScriptText::preview(source));
    ScriptQueue& queue = scriptQueue();
    const std::optional<ScriptResult> outcome = co_await queue.run(source);
    if (!outcome) {
        Diagnostics::print(QStringLiteral("[FinderScriptService.runAppleScript] TIMEOUT after %1s")
                               .arg(ScriptText::seconds(queue.timeout())));
        co_return std::nullopt;
    }
    if (outcome->error) {
        const ScriptError& error = *outcome->error;
        if (error.number == ScriptError::notAuthorized) {
            Diagnostics::print(
                QStringLiteral("[FinderScriptService] Not authorized to send Apple events to ") +
                error.appName.value_or(QStringLiteral("Finder")));
        } else {
            Diagnostics::print(
                QStringLiteral("[FinderScriptService] AppleScript error (%1): %2")
                    .arg(QString::number(error.number), error.message.value_or(QStringLiteral("unknown"))));
        }
        co_return std::nullopt;
    }
    co_return outcome->descriptor;
}

QString FinderScriptService::listingScript() {
    return ScriptText::join({
        kTell,
        QStringLiteral("    set windowData to {}"),
        QStringLiteral("    repeat with aWindow in (get every window)"),
        QStringLiteral("        try"),
        QStringLiteral("            set targetPath to POSIX path of (target of aWindow as alias)"),
        QStringLiteral("            set b to bounds of aWindow"),
        QStringLiteral("            set wName to name of aWindow"),
        QStringLiteral("            set end of windowData to {targetPath, b, wName}"),
        QStringLiteral("        on error"),
        QStringLiteral(
            "            -- Window might not have a valid target (e.g., smart folder, search window)"),
        QStringLiteral("            -- Skip this window"),
        QStringLiteral("        end try"),
        QStringLiteral("    end repeat"),
        QStringLiteral("    return windowData"),
        kEndTell,
    });
}

QCoro::Task<QList<FinderScriptService::FinderWindowInfo>> FinderScriptService::captureWindows() {
    const std::optional<ScriptDescriptor> answer = co_await runAppleScript(listingScript());
    if (!answer) {
        Diagnostics::print(
            QStringLiteral("[FinderScriptService.captureWindows] Failed to capture Finder windows"));
        co_return QList<FinderWindowInfo>{};
    }
    co_return parseWindowResult(*answer);
}

QList<FinderScriptService::FinderWindowInfo>
FinderScriptService::parseWindowResult(const ScriptDescriptor& result) {
    QList<FinderWindowInfo> windows;
    for (int i = 1; i <= result.numberOfItems(); ++i) {
        const ScriptDescriptor* item = result.descriptorAtIndex(i);
        if (!item || item->numberOfItems() < 2) {
            continue;
        }
        const ScriptDescriptor* pathItem = item->descriptorAtIndex(1);
        const QString path = pathItem ? pathItem->stringValue().value_or(QString()) : QString();
        const ScriptDescriptor* boundsItem = item->descriptorAtIndex(2);
        if (!boundsItem || boundsItem->numberOfItems() != 4) {
            continue;
        }
        std::int64_t edges[4];
        for (int k = 0; k < 4; ++k) {
            const ScriptDescriptor* edge = boundsItem->descriptorAtIndex(k + 1);
            edges[k] = edge ? edge->int32Value() : 0;
        }
        const std::int64_t width = edges[2] - edges[0];
        const std::int64_t height = edges[3] - edges[1];
        // Sizes that do not fit 32 bits do not come from a real window.
        constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
        constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
        if (width < low || width > high || height < low || height > high) {
            continue;
        }
        const ScriptDescriptor* nameItem = item->descriptorAtIndex(3);
        if (path.isEmpty()) {
            continue;
        }
        windows.append(FinderWindowInfo{
            path,
            SnapshotRect{static_cast<double>(edges[0]), static_cast<double>(edges[1]),
                         static_cast<double>(width), static_cast<double>(height)},
            nameItem ? nameItem->stringValue() : std::nullopt,
        });
    }
    return windows;
}

QString FinderScriptService::batchRestoreScript(const QStringList& paths, const QList<SnapshotRect>& bounds) {
    QStringList lines{kTell, QStringLiteral("close every window")};
    for (qsizetype i = 0; i < paths.size(); ++i) {
        // Each folder in its own try: one that no longer exists must not keep the rest closed.
        lines << QStringLiteral("try")
              << QStringLiteral("set newWindow%1 to make new Finder window to %2")
                     .arg(QString::number(i), aliasOf(paths[i]));
        if (i < bounds.size()) {
            if (const auto b = ScriptText::bounds(bounds[i])) {
                lines << QStringLiteral("set bounds of newWindow%1 to %2").arg(QString::number(i), b->text());
            }
        }
        lines << QStringLiteral("end try");
    }
    lines << kEndTell;
    return ScriptText::join(lines);
}

QCoro::Task<void> FinderScriptService::batchRestoreWindows(QStringList paths, QList<SnapshotRect> bounds) {
    co_await runAppleScript(batchRestoreScript(paths, bounds));
}

QString FinderScriptService::batchOperationsScript(
    const QStringList& pathsToClose, const QStringList& pathsToOpen, const QStringList& allPaths,
    const QList<SnapshotRect>& bounds, const QList<FinderWindowInfo>& currentWindows,
    const QStringList& pathsToReposition, const FramesMatch& framesMatch) {
    QStringList lines{kTell};
    for (const QString& path : pathsToClose) {
        lines << QStringLiteral("try")
              << QStringLiteral("close (every window whose target = %1)").arg(aliasOf(path))
              << QStringLiteral("end try");
    }
    for (const QString& path : pathsToOpen) {
        lines << QStringLiteral("try")
              << QStringLiteral("set nw to make new Finder window to %1").arg(aliasOf(path));
        const qsizetype position = allPaths.indexOf(path);
        if (position >= 0 && position < bounds.size()) {
            if (const auto b = ScriptText::bounds(bounds[position])) {
                lines << QStringLiteral("set bounds of nw to %1").arg(b->text());
            }
        }
        lines << QStringLiteral("end try");
    }
    for (const QString& path : pathsToReposition) {
        const qsizetype position = allPaths.indexOf(path);
        if (position < 0 || position >= bounds.size()) {
            continue;
        }
        const auto current = std::find_if(currentWindows.begin(), currentWindows.end(),
                                          [&path](const FinderWindowInfo& w) { return w.path == path; });
        if (current == currentWindows.end()) {
            continue;
        }
        const SnapshotRect& saved = bounds[position];
        if (framesMatch && framesMatch(current->bounds, saved)) {
            continue;
        }
        const auto b = ScriptText::bounds(saved);
        if (!b) {
            continue; // a frame that cannot be written leaves the window where it is
        }
        lines << QStringLiteral("try")
              << QStringLiteral("set bounds of (front window whose target = %1) to %2")
                     .arg(aliasOf(path), b->text())
              << QStringLiteral("end try");
    }
    lines << kEndTell;
    return ScriptText::join(lines);
}

QCoro::Task<void> FinderScriptService::batchOperations(QStringList pathsToClose, QStringList pathsToOpen,
                                                       QStringList allPaths, QList<SnapshotRect> bounds,
                                                       QList<FinderWindowInfo> currentWindows,
                                                       QStringList pathsToReposition,
                                                       FramesMatch framesMatch) {
    co_await runAppleScript(batchOperationsScript(pathsToClose, pathsToOpen, allPaths, bounds, currentWindows,
                                                  pathsToReposition, framesMatch));
}

bool FinderScriptService::isFileManager(const QString& bundleIdentifier) {
    if (bundleIdentifier == QLatin1String("com.apple.finder")) {
        return true;
    }
    const std::function<QString()>& own = Platform::current().fileManagerIdentifier;
    return own && !bundleIdentifier.isEmpty() && bundleIdentifier == own();
}
