#include "Platform/Linux/BrowserCommandLine.h"

#include "Platform/Diagnostics.h"
#include "Platform/Linux/ChromiumProfile.h"

#include <QUrl>

namespace {

const QString kBlankPage = QStringLiteral("about:blank");

} // namespace

std::optional<QString> BrowserCommandLine::safeAddress(const QString& address) {
    const QString trimmed = address.trimmed();
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
    if (encoded.startsWith(QLatin1Char('-'))) {
        return std::nullopt;
    }
    return encoded;
}

QString BrowserCommandLine::addressAsOpened(const QString& address) {
    return safeAddress(address) ? address : kBlankPage;
}

QString BrowserCommandLine::checkedAddress(const QString& url) {
    const std::optional<QString> address = safeAddress(url);
    if (!address) {
        Diagnostics::print(
            QStringLiteral("[LinuxBrowserScripting] Skipped an address that is not a web page or a file: ") +
            url);
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
