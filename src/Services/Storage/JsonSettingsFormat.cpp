#include "Services/Storage/JsonSettingsFormat.h"

#include <QFile>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>

QSettings::Format JsonSettingsFormat::format() {
    static const QSettings::Format registered =
        QSettings::registerFormat(QStringLiteral("json"), &read, &write);
    return registered;
}

std::unique_ptr<QSettings> JsonSettingsFormat::userSettings() {
    auto settings = std::make_unique<QSettings>(format(), QSettings::UserScope, QStringLiteral("Ordella"),
                                                QStringLiteral("Ordella"));
    if (settings->status() == QSettings::FormatError) {
        // The next write replaces the whole file; keep what the user had (a hand edit gone wrong,
        // say) where it can still be recovered.
        const QString copy = settings->fileName() + QStringLiteral(".unreadable");
        QFile::remove(copy);
        QFile::copy(settings->fileName(), copy);
    }
    return settings;
}

bool JsonSettingsFormat::read(QIODevice& device, QSettings::SettingsMap& map) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(device.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return false;
    }
    map = document.object().toVariantMap();
    return true;
}

bool JsonSettingsFormat::write(QIODevice& device, const QSettings::SettingsMap& map) {
    const QByteArray bytes = QJsonDocument(QJsonObject::fromVariantMap(map)).toJson(QJsonDocument::Indented);
    return device.write(bytes) == bytes.size();
}
