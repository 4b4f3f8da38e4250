#pragma once

#include <QString>

#include <optional>

// The outcome of a restore for one window, one application or the whole workspace. Its string
// form (raw value) is the case name.
enum class RestoreStatus { restored, partiallyRestored, skipped, failed, cancelled };

class RestoreStatusText {
public:
    static QString rawValue(RestoreStatus status);
    // The status in words, as it is printed for people ("partially restored").
    static QString words(RestoreStatus status);
    // The status named by raw, which must match a case name exactly.
    static std::optional<RestoreStatus> fromRawValue(const QString& raw);
};
