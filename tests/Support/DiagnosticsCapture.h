#pragma once

#include "Platform/Diagnostics.h"

#include <QStringList>

// Collects every printed diagnostic line while it lives.
class DiagnosticsCapture {
public:
    DiagnosticsCapture();
    ~DiagnosticsCapture();
    DiagnosticsCapture(const DiagnosticsCapture&) = delete;
    DiagnosticsCapture& operator=(const DiagnosticsCapture&) = delete;

    const QStringList& lines() const { return m_lines; }
    bool contains(const QString& line) const { return m_lines.contains(line); }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
    Diagnostics::Sink m_previous;
};
