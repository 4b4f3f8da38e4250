#pragma once

#include "Models/Workspace.h"

#include <QDateTime>
#include <QList>
#include <QString>

// Collects the diagnostic lines of one restore session. Lines logged while no session is open are
// dropped, so work outside a restore leaves no trace.
class AnalysisLogger {
public:
    struct LogEntry {
        QDateTime timestamp;
        qint64 sequence = 0;
        QString tag;
        QString message;
    };

    static AnalysisLogger& shared();

    void beginSession(const Workspace& workspace);
    // Appends a line (in call order) when a session is open; otherwise does nothing.
    void log(const QString& tag, const QString& message);

    bool isSessionActive() const { return m_sessionActive; }
    const QList<LogEntry>& entries() const { return m_entries; }

private:
    QList<LogEntry> m_entries;
    qint64 m_sequenceCounter = 0;
    bool m_sessionActive = false;
};
