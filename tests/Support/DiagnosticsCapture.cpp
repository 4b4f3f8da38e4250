#include "Support/DiagnosticsCapture.h"

DiagnosticsCapture::DiagnosticsCapture() {
    m_previous = Diagnostics::setSink([this](const QString& line) { m_lines.append(line); });
}

DiagnosticsCapture::~DiagnosticsCapture() { Diagnostics::setSink(std::move(m_previous)); }
