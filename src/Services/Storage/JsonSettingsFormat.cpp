#include "Services/Storage/JsonSettingsFormat.h"

#include "Extensions/AtomicFileWriter.h"
#include "Platform/Diagnostics.h"
#include "Platform/Linux/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace {

// Far above any settings file Ordella writes; a larger one is no settings file of ours.
constexpr qint64 kMaxCopiedBytes = 16 * 1024 * 1024;

void keepUnreadableCopy(const QString& path) {
    const QString copy = path + QStringLiteral(".unreadable");
    QString reason;
    const std::optional<RegularFile> file = RegularFile::open(path);
    const std::optional<QByteArray> data = file ? file->readAll(kMaxCopiedBytes) : std::nullopt;
    if (!data || data->size() > kMaxCopiedBytes) {
        reason = QStringLiteral("it is not a readable regular file of at most 16 MB");
    } else {
        const AtomicFileWriter::Result written = AtomicFileWriter::writeFile(copy, *data);
        reason = written.errorString;
    }
    if (!reason.isEmpty()) {
        Diagnostics::print(QStringLiteral("[JsonSettingsFormat.userSettings] Could not copy %1 to %2: %3")
                               .arg(path, copy, reason));
    }
}

} // namespace

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
        keepUnreadableCopy(settings->fileName());
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
    // QSettings commits the file it handed over only when this answers true; its own write is
    // buffered and would let a full disk replace the settings with an empty file.
    return AtomicFileWriter::writeAll(device, bytes);
}
