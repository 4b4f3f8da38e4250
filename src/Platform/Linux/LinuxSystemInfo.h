#pragma once

#include "Platform/SystemInfo.h"

#include <QStringList>

// System information on Linux: the hardware model from the firmware's product name (DMI) or, on
// machines described by a device tree, from its model; the version of the distribution; the
// application's version and build as the build configured them.
class LinuxSystemInfo : public SystemInfo {
public:
    // The files to read the model from, first readable one wins.
    static QStringList defaultModelFiles();

    explicit LinuxSystemInfo(QStringList modelFiles = defaultModelFiles());

    QString getDeviceModel() const override;
    QString osVersion() const override;
    std::optional<QString> appVersion() const override;
    std::optional<QString> appBuild() const override;

private:
    QStringList m_modelFiles;
};
