#pragma once

#include <qcoro/qcorotask.h>

// The two permissions Ordella uses, as the platform answers them now: access to other
// applications' windows (required) and screen recording (optional, for thumbnails). Shared by the
// onboarding and the settings' permissions section so both read and ask the same way.
struct PermissionGrants {
    bool accessibility = false;
    bool screenRecording = false;

    // Reads both; neither read asks the user anything.
    static PermissionGrants read();
    // Asks the platform for screen recording. The answer shows in the next read.
    static QCoro::Task<void> requestScreenRecording();

    bool operator==(const PermissionGrants&) const = default;
};
