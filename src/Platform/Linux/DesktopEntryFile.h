#pragma once

#include <QByteArray>
#include <QHash>
#include <QLocale>
#include <QString>

#include <optional>

// The main group ("[Desktop Entry]") of an XDG desktop entry: its keys with their string values
// unescaped, and localised keys ("Name[de_CH]") looked up for a locale as the entry format says.
// Safe to use from any thread.
class DesktopEntryFile {
public:
    // Entries are a few kilobytes; a file larger than this is not read.
    static constexpr qint64 maxFileBytes = 1024 * 1024;

    // The entry in a regular file; nothing when it cannot be read, is too large or has no main
    // group.
    static std::optional<DesktopEntryFile> read(const QString& path);
    // Nothing when the text has no main group.
    static std::optional<DesktopEntryFile> parse(const QByteArray& contents);

    bool contains(const QString& key) const { return m_values.contains(key); }
    // The value with its escapes (\s \n \t \r \\) resolved; empty when the key is missing.
    QString value(const QString& key) const;
    // The value for the locale's language and country, else its language, else the plain key.
    QString localizedValue(const QString& key, const QLocale& locale = QLocale::system()) const;
    // Whether a boolean key holds "true".
    bool isTrue(const QString& key) const { return m_values.value(key) == QLatin1String("true"); }

    static QString unescape(const QString& raw);

private:
    QHash<QString, QString> m_values;
};
