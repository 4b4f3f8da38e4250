#include "Services/Update/VersionDocument.h"

#include "Platform/Diagnostics.h"

#include <QJsonDocument>
#include <QRegularExpression>

std::optional<QList<qint64>> VersionDocument::numbers(const QString& version) {
    // Every piece between dots must read as a decimal integer (a sign allowed) that fits.
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    QList<qint64> numbers;
    for (const QString& piece : version.split(u'.')) {
        bool ok = false;
        const qint64 n = integer.match(piece).hasMatch() ? piece.toLongLong(&ok, 10) : 0;
        if (!ok) {
            return std::nullopt;
        }
        numbers << n;
    }
    return numbers;
}

std::pair<QString, QJsonObject> VersionDocument::read(const QByteArray& data) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return {parseError.errorString() + QStringLiteral(" at offset ") + QString::number(parseError.offset),
                {}};
    }
    if (!document.isObject()) {
        return {QStringLiteral("The document is not a JSON object"), {}};
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString()) {
            return {QStringLiteral("The value of \"") + it.key() + QStringLiteral("\" is not a text"), {}};
        }
    }
    return {{}, object};
}

bool VersionDocument::isNewer(const std::optional<QString>& local, const QString& remote) {
    if (!local) {
        return false;
    }
    const std::optional<QList<qint64>> mine = numbers(*local);
    const std::optional<QList<qint64>> theirs = numbers(remote);
    for (const auto& [parsed, text] : {std::pair(mine, *local), std::pair(theirs, remote)}) {
        if (!parsed || parsed->size() != 3) {
            Diagnostics::print(
                QStringLiteral("[AutoUpdateManager.isRemoteVersionNewer] Unreadable version \"") + text +
                QStringLiteral("\": not taken as newer"));
            return false;
        }
    }
    for (int i = 0; i < 3; ++i) {
        if ((*theirs)[i] != (*mine)[i]) {
            return (*theirs)[i] > (*mine)[i];
        }
    }
    return false;
}
