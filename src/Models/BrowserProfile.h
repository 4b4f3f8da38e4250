#pragma once

#include <QString>

#include <optional>

// The browser profile a window belongs to, as the browser's command line named it: the folder of
// the browser's own data and the profile's folder in it. What the command line leaves out is the
// browser's default.
struct BrowserProfile {
    std::optional<QString> userDataDir;
    std::optional<QString> profileDirectory;

    bool isDefault() const { return !userDataDir && !profileDirectory; }

    bool operator==(const BrowserProfile&) const = default;
};
