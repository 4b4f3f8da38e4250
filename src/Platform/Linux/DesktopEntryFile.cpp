#include "Platform/Linux/DesktopEntryFile.h"

#include <QFile>
#include <QFileInfo>

std::optional<DesktopEntryFile> DesktopEntryFile::read(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > maxFileBytes) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return parse(file.read(maxFileBytes));
}

std::optional<DesktopEntryFile> DesktopEntryFile::parse(const QByteArray& contents) {
    DesktopEntryFile entry;
    bool inMainGroup = false;
    bool sawMainGroup = false;
    for (const QByteArray& rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            // Only the first main group counts; a repeated one is a broken file's leftover.
            inMainGroup = !sawMainGroup && line == QLatin1String("[Desktop Entry]");
            sawMainGroup = sawMainGroup || inMainGroup;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || equals <= 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        // The first of two equal keys wins, as in the readers desktops use.
        if (!entry.m_values.contains(key)) {
            entry.m_values.insert(key, line.mid(equals + 1).trimmed());
        }
    }
    return sawMainGroup ? std::optional<DesktopEntryFile>(std::move(entry)) : std::nullopt;
}

QString DesktopEntryFile::value(const QString& key) const {
    return unescape(m_values.value(key));
}

QString DesktopEntryFile::localizedValue(const QString& key, const QLocale& locale) const {
    // "de_CH" is tried as "de_CH" and then "de".
    const QString name = locale.name();
    const QString language = name.section(u'_', 0, 0);
    for (const QString& suffix : {name, language}) {
        const QString localized = key + u'[' + suffix + u']';
        if (!suffix.isEmpty() && m_values.contains(localized)) {
            return value(localized);
        }
    }
    return value(key);
}

QString DesktopEntryFile::unescape(const QString& raw) {
    QString result;
    result.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c != u'\\' || i + 1 == raw.size()) {
            result.append(c);
            continue;
        }
        const QChar next = raw.at(++i);
        switch (next.unicode()) {
        case u's':
            result.append(u' ');
            break;
        case u'n':
            result.append(u'\n');
            break;
        case u't':
            result.append(u'\t');
            break;
        case u'r':
            result.append(u'\r');
            break;
        default:
            // "\\" and any other escaped character stand for themselves.
            result.append(next);
            break;
        }
    }
    return result;
}
