#pragma once

#include <QString>

#include <optional>

// What tells one live window from every other, then and later: the window's number, the process
// that made it and when that process started. A number and a process id are each handed out again
// once their holder has ended; the three together never name another window.
struct WindowIdentity {
    quint32 windowNumber = 0;
    qint64 processIdentifier = 0;
    // Milliseconds since 1970 (UTC).
    qint64 processStartTime = 0;

    // The three numbers in this order with a blank between them, as the desktop hands them over.
    QString text() const;
    // Nothing unless text is exactly such a form, with a process id above 0.
    static std::optional<WindowIdentity> fromText(const QString& text);

    bool operator==(const WindowIdentity&) const = default;
};
