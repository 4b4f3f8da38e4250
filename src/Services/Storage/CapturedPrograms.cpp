#include "Services/Storage/CapturedPrograms.h"

#include "Platform/Diagnostics.h"
#include "Services/Storage/JsonSettingsFormat.h"

#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <algorithm>
#include <memory>

namespace {

const QString kKey = QStringLiteral("capturedPrograms");
const QString kIdentifier = QStringLiteral("identifier");
const QString kDocuments = QStringLiteral("documents");

QList<CapturedPrograms::Program> read(const QSettings& settings) {
    QList<CapturedPrograms::Program> programs;
    const QVariant stored = settings.value(kKey);
    if (stored.metaType().id() != QMetaType::QVariantList) {
        return programs;
    }
    // A hand-edited entry that is not an object with a text identifier is passed over.
    for (const QVariant& entry : stored.toList()) {
        if (entry.metaType().id() != QMetaType::QVariantMap) {
            continue;
        }
        const QVariantMap map = entry.toMap();
        const QVariant identifier = map.value(kIdentifier);
        const QVariant documents = map.value(kDocuments);
        if (identifier.metaType().id() != QMetaType::QString || identifier.toString().isEmpty()) {
            continue;
        }
        programs.append(
            {identifier.toString(), documents.metaType().id() == QMetaType::Bool && documents.toBool()});
        if (programs.size() == CapturedPrograms::maximumCount) {
            break;
        }
    }
    return programs;
}

} // namespace

bool CapturedPrograms::record(const QString& identifier, bool withDocuments) {
    if (identifier.isEmpty()) {
        return false;
    }
    const std::unique_ptr<QSettings> settings = JsonSettingsFormat::userSettings();
    QList<Program> programs = read(*settings);
    Program program{identifier, withDocuments};
    for (auto it = programs.begin(); it != programs.end(); ++it) {
        if (it->identifier == identifier) {
            program.withDocuments = program.withDocuments || it->withDocuments;
            programs.erase(it);
            break;
        }
    }
    programs.prepend(program);
    QVariantList stored;
    for (const Program& p : programs.first(std::min(programs.size(), maximumCount))) {
        stored.append(QVariantMap{{kIdentifier, p.identifier}, {kDocuments, p.withDocuments}});
    }
    settings->setValue(kKey, stored);
    settings->sync();
    if (settings->status() != QSettings::NoError) {
        Diagnostics::print(QStringLiteral("[CapturedPrograms.record] Could not write \"") + kKey +
                           QStringLiteral("\" to ") + settings->fileName());
        return false;
    }
    return true;
}

std::optional<CapturedPrograms::Program> CapturedPrograms::find(const QString& identifier) {
    for (const Program& program : all()) {
        if (program.identifier == identifier) {
            return program;
        }
    }
    return std::nullopt;
}

QList<CapturedPrograms::Program> CapturedPrograms::all() {
    return read(*JsonSettingsFormat::userSettings());
}
