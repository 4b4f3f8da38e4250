#include "Services/AnalysisLogger.h"

#include "Platform/Clock.h"
#include "Platform/Platform.h"

AnalysisLogger& AnalysisLogger::shared() {
    static AnalysisLogger instance;
    return instance;
}

void AnalysisLogger::beginSession(const Workspace&) {
    m_entries.clear();
    m_sequenceCounter = 0;
    m_sessionActive = true;
}

void AnalysisLogger::log(const QString& tag, const QString& message) {
    if (!m_sessionActive) {
        return;
    }
    m_entries.append({Platform::current().clock->wallNow(), ++m_sequenceCounter, tag, message});
}
