#include "Models/WorkspaceTrigger.h"

QString WorkspaceTrigger::displayDescription() const {
    if (const auto* connected = std::get_if<DisplayConnected>(&type)) {
        return QStringLiteral("When \"") + connected->displayName + QStringLiteral("\" connected");
    }
    if (const auto* disconnected = std::get_if<DisplayDisconnected>(&type)) {
        return QStringLiteral("When \"") + disconnected->displayName + QStringLiteral("\" disconnected");
    }
    if (const auto* time = std::get_if<TimeOfDay>(&type)) {
        return QString::asprintf("%02lld:%02lld", static_cast<long long>(time->hour),
                                 static_cast<long long>(time->minute));
    }
    return QStringLiteral("After login");
}
