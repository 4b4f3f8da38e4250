#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What the system knows about the machine and about itself: the hardware model, the operating
// system's version and the application's own version and build.
class SystemInfo {
public:
    virtual ~SystemInfo() = default;

    // The hardware model identifier; empty when the machine does not report one.
    virtual QString getDeviceModel() const = 0;
    // The operating system's version as it phrases it for display.
    virtual QString osVersion() const = 0;
    // The application's short version and build; absent when unknown.
    virtual std::optional<QString> appVersion() const = 0;
    virtual std::optional<QString> appBuild() const = 0;

    // A raw model value as text: the bytes before the first zero byte, decoded as UTF-8 with every
    // invalid sequence replaced by U+FFFD.
    static QString modelFromBytes(const QByteArray& bytes);
};
