#include "Platform/Linux/LinuxSystemInfo.h"

#include <QFile>
#include <QSysInfo>

namespace {

// Model values are a few dozen bytes; anything longer is not a model name.
constexpr qint64 kMaxModelBytes = 4096;

std::optional<QString> nonEmpty(const char* value) {
    const QString text = QString::fromUtf8(value);
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

} // namespace

QStringList LinuxSystemInfo::defaultModelFiles() {
    return {QStringLiteral("/sys/class/dmi/id/product_name"), QStringLiteral("/proc/device-tree/model")};
}

LinuxSystemInfo::LinuxSystemInfo(QStringList modelFiles)
    : m_modelFiles(std::move(modelFiles)) {
}

QString LinuxSystemInfo::getDeviceModel() const {
    for (const QString& path : m_modelFiles) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        QString model = modelFromBytes(file.read(kMaxModelBytes));
        // The firmware file ends its value with a line feed, which is not part of the name.
        while (model.endsWith(u'\n')) {
            model.chop(1);
        }
        if (!model.isEmpty()) {
            return model;
        }
    }
    return {};
}

QString LinuxSystemInfo::osVersion() const {
    return QSysInfo::prettyProductName();
}

std::optional<QString> LinuxSystemInfo::appVersion() const {
#ifdef ORDELLA_VERSION
    return nonEmpty(ORDELLA_VERSION);
#else
    return std::nullopt;
#endif
}

std::optional<QString> LinuxSystemInfo::appBuild() const {
#ifdef ORDELLA_BUILD
    return nonEmpty(ORDELLA_BUILD);
#else
    return std::nullopt;
#endif
}
