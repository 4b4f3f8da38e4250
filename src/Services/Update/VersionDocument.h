#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// What the update server says of the newest version: a JSON object whose every member is a text,
// and the rule by which its version is newer than the running one.
class VersionDocument {
public:
    // The reason the document cannot be read (empty when it can), and its members.
    static std::pair<QString, QJsonObject> read(const QByteArray& data);
    // Whether remote names a later version than local. Only versions of three whole numbers on
    // both sides compare; anything else is not newer.
    static bool isNewer(const std::optional<QString>& local, const QString& remote);

private:
    // The numbers of a version text, or nothing when a piece is empty, not a number or too large.
    static std::optional<QList<qint64>> numbers(const QString& version);
};
