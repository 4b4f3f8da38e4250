#pragma once

#include <QList>
#include <QString>
#include <QUuid>

#include <variant>

// An automatic restore trigger of a workspace.
struct WorkspaceTrigger {
    struct Login {
        bool operator==(const Login&) const = default;
    };
    struct DisplayConnected {
        QString displayUUID;
        QString displayName;
        bool operator==(const DisplayConnected&) const = default;
    };
    struct DisplayDisconnected {
        QString displayUUID;
        QString displayName;
        bool operator==(const DisplayDisconnected&) const = default;
    };
    struct TimeOfDay {
        qint64 hour = 0;
        qint64 minute = 0;
        QList<qint64> weekdays;
        bool operator==(const TimeOfDay&) const = default;
    };
    using TriggerType = std::variant<Login, DisplayConnected, DisplayDisconnected, TimeOfDay>;

    QUuid id;
    TriggerType type;

    // The text shown for the trigger.
    QString displayDescription() const;
    bool isLogin() const { return std::holds_alternative<Login>(type); }

    bool operator==(const WorkspaceTrigger&) const = default;
};
