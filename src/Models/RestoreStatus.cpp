#include "Models/RestoreStatus.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<RestoreStatus, const char*>, 5> kNames{{
    {RestoreStatus::restored, "restored"},
    {RestoreStatus::partiallyRestored, "partiallyRestored"},
    {RestoreStatus::skipped, "skipped"},
    {RestoreStatus::failed, "failed"},
    {RestoreStatus::cancelled, "cancelled"},
}};

} // namespace

QString RestoreStatusText::rawValue(RestoreStatus status) {
    for (const auto& [value, name] : kNames) {
        if (value == status) {
            return QString::fromLatin1(name);
        }
    }
    return {};
}

QString RestoreStatusText::words(RestoreStatus status) {
    return status == RestoreStatus::partiallyRestored ? QStringLiteral("partially restored")
                                                      : rawValue(status);
}

std::optional<RestoreStatus> RestoreStatusText::fromRawValue(const QString& raw) {
    for (const auto& [value, name] : kNames) {
        if (raw == QLatin1String(name)) {
            return value;
        }
    }
    return std::nullopt;
}
