#pragma once

#include "Models/RestoreReport.h"
#include "Models/Workspace.h"
#include "Services/Storage/RestoredWorkspaceState.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <QUrl>

#include <optional>

// Collects the diagnostic lines of one restore session and, when the session ends, rewrites
// "RestorationAnalysis.log" in the application's data folder: the environment, the workspace that
// was restored, every collected line and the outcome. Lines logged while no session is open are
// dropped, so work outside a restore leaves no trace. Lives on the main thread; log() appends at
// once, so lines keep the order of the calls.
class AnalysisLogger {
public:
    struct LogEntry {
        QDateTime timestamp;
        qint64 sequence = 0;
        QString tag;
        QString message;
    };

    // Takes the clock and the system information from the current platform.
    AnalysisLogger();

    static AnalysisLogger& shared();

    // Starts collecting afresh (also when a session is already open).
    void beginSession(const Workspace& workspace);
    // Appends a line when a session is open; otherwise does nothing.
    void log(const QString& tag, const QString& message);
    // Closes the open session: logs the closing block of the report when one is given, then
    // rewrites the log file. Without an open session nothing happens. True when the file was
    // written.
    bool endSession(const std::optional<RestoreReport>& report);

    // The whole text of the log file for the current or last session.
    QString buildLogContent() const;

    bool isSessionActive() const { return m_sessionActive; }
    const QList<LogEntry>& entries() const { return m_entries; }
    const std::optional<RestoredWorkspaceState>& restoredWorkspace() const { return m_restoredWorkspace; }

    // The zone in which the entry lines show their time of day; the system's zone by default.
    void setTimeZone(const QTimeZone& zone) { m_timeZone = zone; }

    // The log's place in the workspace store's folder; empty when there is no data folder.
    static QUrl logFileURL();
    // The log file's location when a file exists there.
    static std::optional<QUrl> existingLogFileURL();

private:
    void logClosingBlock(const RestoreReport& report);
    static bool writeToFile(const QString& text);

    QList<LogEntry> m_entries;
    qint64 m_sequenceCounter = 0;
    std::optional<RestoredWorkspaceState> m_restoredWorkspace;
    bool m_sessionActive = false;
    QDateTime m_sessionStart;
    QTimeZone m_timeZone = QTimeZone::systemTimeZone();
};
