#include "Platform/Linux/BrowserCommandLine.h"

#include "Platform/Diagnostics.h"
#include "Platform/Linux/ChromiumProfile.h"

#include <QUrl>

#include <algorithm>

namespace {

const QString kBlankPage = QStringLiteral("about:blank");

} // namespace

namespace {

// The address without tabs and line breaks, anywhere in it, and without blanks around it.
QString cleaned(const QString& address) {
    QString text = address;
    text.remove(QLatin1Char('\t')).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    return text.trimmed();
}

} // namespace

std::optional<QString> BrowserCommandLine::safeAddress(const QString& address) {
    const QString trimmed = cleaned(address);
    if (trimmed.size() > longestAddress || std::any_of(trimmed.begin(), trimmed.end(), [](QChar c) {
            return c.unicode() < 0x20 || c.unicode() == 0x7f;
        })) {
        return std::nullopt;
    }
    if (trimmed.compare(kBlankPage, Qt::CaseInsensitive) == 0) {
        return kBlankPage;
    }
    if (trimmed.startsWith(QLatin1Char('-'))) {
        return std::nullopt;
    }
    const QUrl url(trimmed, QUrl::TolerantMode);
    if (!url.isValid() || url.isRelative()) {
        return std::nullopt;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("file")) {
        if (!url.path().startsWith(QLatin1Char('/'))) {
            return std::nullopt;
        }
    } else if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        if (url.host().isEmpty()) {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    const QString encoded = QString::fromLatin1(url.toEncoded());
    if (encoded.startsWith(QLatin1Char('-')) || encoded.size() > longestAddress) {
        return std::nullopt;
    }
    return encoded;
}

QString BrowserCommandLine::addressAsOpened(const QString& address) {
    return safeAddress(address) ? cleaned(address) : kBlankPage;
}

std::optional<QString> BrowserCommandLine::refusal(const QString& address) {
    if (safeAddress(address)) {
        return std::nullopt;
    }
    const QString text = cleaned(address);
    if (text.size() > longestAddress || QUrl(text, QUrl::TolerantMode).toEncoded().size() > longestAddress) {
        return QStringLiteral("an address longer than %1 characters").arg(QString::number(longestAddress));
    }
    return QStringLiteral("an address that is not a web page or a file");
}

QString BrowserCommandLine::checkedAddress(const QString& url) {
    const std::optional<QString> address = safeAddress(url);
    if (!address) {
        // A refused address may be any length: the line names its start.
        const QString shown = url.size() > 200 ? url.left(200) + QStringLiteral("…") : url;
        Diagnostics::print(QStringLiteral("[LinuxBrowserScripting] Skipped ") +
                           refusal(url).value_or(QString()) + QStringLiteral(": ") + shown);
    }
    return address.value_or(kBlankPage);
}

QStringList BrowserCommandLine::arguments(const QStringList& profileSwitches, bool newWindow,
                                          const QStringList& addresses) {
    QStringList arguments = profileSwitches;
    if (newWindow) {
        arguments << QStringLiteral("--new-window");
    }
    if (!addresses.isEmpty()) {
        arguments << QStringLiteral("--");
        for (const QString& address : addresses) {
            arguments << checkedAddress(address);
        }
    }
    return arguments;
}

qsizetype BrowserCommandLine::size(const QStringList& arguments) {
    qsizetype bytes = 0;
    for (const QString& word : arguments) {
        bytes += word.toUtf8().size() + 1;
    }
    return bytes;
}

QList<QStringList> BrowserCommandLine::handOvers(const QStringList& entryWords,
                                                 const QStringList& profileSwitches, bool newWindow,
                                                 const QStringList& addresses) {
    // Every line counts the whole of it: the desktop entry's own words, the profile's switches
    // and, on the first, the new-window switch.
    const qsizetype own = size(entryWords);
    QList<QStringList> groups;
    QStringList group;
    qsizetype bytes = own + size(arguments(profileSwitches, newWindow, {}));
    for (const QString& address : addresses) {
        // Each address is counted as it is handed over (refused ones as the blank page).
        const qsizetype word = safeAddress(address).value_or(kBlankPage).toUtf8().size() + 1;
        if (!group.isEmpty() && bytes + word > handOverBound) {
            groups << group;
            group.clear();
            bytes = own + size(arguments(profileSwitches, false, {}));
        }
        bytes += word + (group.isEmpty() ? 3 : 0); // and the "--" before the first
        group << address;
    }
    if (!group.isEmpty() || groups.isEmpty()) {
        groups << group;
    }
    return groups;
}

QStringList BrowserCommandLine::profileSwitchesOf(const QStringList& commandLine,
                                                  const QString& workingFolder) {
    QStringList switches;
    for (const QString& name : {QStringLiteral("user-data-dir"), QStringLiteral("profile-directory")}) {
        QString value = ChromiumProfile::switchValue(commandLine, name);
        if (name == QLatin1String("user-data-dir") && !value.isEmpty()) {
            value = ChromiumProfile::absoluteFolder(value, workingFolder);
        }
        if (!value.isEmpty()) {
            switches << QStringLiteral("--") + name + QLatin1Char('=') + value;
        }
    }
    return switches;
}
