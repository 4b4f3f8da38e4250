#include "Services/Restore/RestoreRequest.h"

#include <algorithm>

RestoreRequest::RestoreRequest(int starts)
    : m_starts(starts) {
}

void RestoreRequest::noteQuit(const RunningApplication& app) {
    const bool noted = std::any_of(m_quit.cbegin(), m_quit.cend(), [&app](const RunningApplication& q) {
        return q.bundleIdentifier == app.bundleIdentifier;
    });
    if (!noted) {
        m_quit.append(app);
    }
}
