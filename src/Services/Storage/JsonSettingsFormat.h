#pragma once

#include <QSettings>

#include <memory>

// The user settings are kept as one JSON object, so that stored values keep their types (a
// Boolean stays a Boolean, a list stays a list) instead of turning into INI strings.
class JsonSettingsFormat {
public:
    // The format, registered with QSettings on first use.
    static QSettings::Format format();
    // The user's settings of the application ($XDG_CONFIG_HOME/Ordella/Ordella.json). A file that
    // cannot be read is copied to "Ordella.json.unreadable" first, since the next write replaces it.
    static std::unique_ptr<QSettings> userSettings();

    // The storage functions of the format: a file that is not a JSON object is a format error.
    static bool read(QIODevice& device, QSettings::SettingsMap& map);
    static bool write(QIODevice& device, const QSettings::SettingsMap& map);
};
