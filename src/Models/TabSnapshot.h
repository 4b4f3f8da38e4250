#pragma once

#include <QString>
#include <QUuid>

#include <optional>

// One browser tab of a saved window.
struct TabSnapshot {
    QUuid id;
    QString url;
    std::optional<QString> title;
    bool isActive = false;

    bool operator==(const TabSnapshot&) const = default;
};
