#include "Models/WorkspaceTrigger.h"

#include "Extensions/BidiText.h"

QString WorkspaceTrigger::displayDescription() const {
    if (const auto* connected = std::get_if<DisplayConnected>(&type)) {
        return QStringLiteral("When \"") + BidiText::isolated(connected->displayName) +
               QStringLiteral("\" connected");
    }
    if (const auto* disconnected = std::get_if<DisplayDisconnected>(&type)) {
        return QStringLiteral("When \"") + BidiText::isolated(disconnected->displayName) +
               QStringLiteral("\" disconnected");
    }
    if (const auto* time = std::get_if<TimeOfDay>(&type)) {
        return QString::asprintf("%02lld:%02lld", static_cast<long long>(time->hour),
                                 static_cast<long long>(time->minute));
    }
    return QStringLiteral("After login");
}
