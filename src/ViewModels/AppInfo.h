#pragma once

#include <QString>

// One installed application of the settings window's catalogue, as its desktop entry describes it.
struct AppInfo {
    // The desktop-file id ("org.example.Editor.desktop"): what workspaces and the excluded
    // applications name an application by.
    QString bundleIdentifier;
    QString name;
    // The entry's icon: a name in the icon theme or an absolute path; empty when it names none.
    QString icon;

    bool operator==(const AppInfo& other) const = default;
};
