#pragma once

#include <QString>

struct RestoreReport;

// The texts the menu-bar window writes to its status line, exactly as the status line compares
// them. A restore that ends partially, skipped or failed shows its report's summary instead.
namespace StatusTexts {
inline const QString saving = QStringLiteral("Saving workspace...");
inline const QString saved = QStringLiteral("Workspace saved");
inline const QString captureFailed = QStringLiteral("Failed to capture workspace");
// The capture worked but its file could not be written: the workspace would be gone after a
// restart, so the line must not say it was saved.
inline const QString writeFailed = QStringLiteral("Failed to save workspace");
// The workspace left the list but its file could not be removed: it would come back at the next
// start.
inline const QString deleteFailed = QStringLiteral("Failed to delete workspace");
inline const QString updating = QStringLiteral("Updating workspace...");
inline const QString updated = QStringLiteral("Workspace updated");
inline const QString restoring = QStringLiteral("Restoring workspace...");
inline const QString restored = QStringLiteral("Workspace restored");
inline const QString restoreFailed = QStringLiteral("Failed to restore workspace");
inline const QString cancelled = QStringLiteral("Restore cancelled");
inline const QString reverting = QStringLiteral("Reverting...");
inline const QString reverted = QStringLiteral("Reverted to previous state");
inline const QString revertFailed = QStringLiteral("Revert failed");
// A Revert offered elsewhere (a notification's) after the restore was reverted already.
inline const QString nothingToRevert = QStringLiteral("Already reverted: nothing left to revert");

// The line after a restore, and after a revert.
QString restoreResult(const RestoreReport& report);
QString revertResult(const RestoreReport& report);
} // namespace StatusTexts
