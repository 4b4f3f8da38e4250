#pragma once

#include <QList>
#include <QPalette>
#include <QString>

#include <optional>

// The appearance of the application's own windows.
enum class AppTheme { system, light, dark };

class AppThemes {
public:
    // Every theme, in the order the settings offer them.
    static QList<AppTheme> allCases();
    static QString rawValue(AppTheme theme);
    // The theme named by raw, which must match exactly (letter case included).
    static std::optional<AppTheme> fromRawValue(const QString& raw);

    // The application palette of a theme; for system an empty palette, which leaves every colour
    // to the platform.
    static QPalette palette(AppTheme theme);
    // Swaps the palette of the running GUI application, if there is one.
    static void apply(AppTheme theme);
};
