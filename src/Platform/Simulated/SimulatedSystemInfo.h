#pragma once

#include "Platform/SystemInfo.h"

// Fixed, settable system information for tests and demos.
class SimulatedSystemInfo : public SystemInfo {
public:
    QString deviceModel = QStringLiteral("Simulated1,1");
    QString operatingSystem = QStringLiteral("Simulated OS 1.0");
    std::optional<QString> version = QStringLiteral("1.0.0");
    std::optional<QString> build = QStringLiteral("100");

    QString getDeviceModel() const override { return deviceModel; }
    QString osVersion() const override { return operatingSystem; }
    std::optional<QString> appVersion() const override { return version; }
    std::optional<QString> appBuild() const override { return build; }
};
