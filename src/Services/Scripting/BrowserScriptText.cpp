#include "Services/Scripting/BrowserScriptText.h"

#include "Services/Scripting/BrowserNames.h"
#include "Services/Scripting/ScriptText.h"

QString BrowserScriptText::tellLine(const QString& bundleIdentifier) {
    return QStringLiteral("tell application \"%1\"").arg(BrowserNames::appName(bundleIdentifier));
}

QString BrowserScriptText::tabListingScript(const QString& bundleIdentifier) {
    const bool safari = BrowserNames::safariBundleIDs().contains(bundleIdentifier);
    return ScriptText::join({
        tellLine(bundleIdentifier),
        QStringLiteral("    set windowTabs to {}"),
        QStringLiteral("    repeat with w in windows"),
        QStringLiteral("        set tabList to {}"),
        safari ? QStringLiteral("        set activeIndex to index of current tab of w")
               : QStringLiteral("        set activeIndex to active tab index of w"),
        QStringLiteral("        set tabIndex to 1"),
        QStringLiteral("        repeat with t in tabs of w"),
        QStringLiteral("            set tabURL to URL of t"),
        safari ? QStringLiteral("            set tabTitle to name of t")
               : QStringLiteral("            set tabTitle to title of t"),
        QStringLiteral("            set isActive to (tabIndex = activeIndex)"),
        QStringLiteral("            set end of tabList to {tabURL, tabTitle, isActive}"),
        QStringLiteral("            set tabIndex to tabIndex + 1"),
        QStringLiteral("        end repeat"),
        QStringLiteral("        set end of windowTabs to tabList"),
        QStringLiteral("    end repeat"),
        QStringLiteral("    return windowTabs"),
        QStringLiteral("end tell"),
    });
}

QString BrowserScriptText::createWindowScript(const QString& bundleIdentifier, const QString& url,
                                              const std::optional<BrowserProfile>& profile) {
    if (BrowserNames::safariBundleIDs().contains(bundleIdentifier)) {
        return ScriptText::join({
            tellLine(bundleIdentifier),
            QStringLiteral("    make new document with properties {URL:%1}").arg(ScriptText::quoted(url)),
            QStringLiteral("    return 1"),
            QStringLiteral("end tell"),
        });
    }
    // A window of a profile of its own says so; the default profile's is the plain request.
    const QString make =
        profile && !profile->isDefault()
            ? QStringLiteral("    make new window with properties {user data dir:%1, profile directory:%2}")
                  .arg(ScriptText::quoted(profile->userDataDir.value_or(QString())),
                       ScriptText::quoted(profile->profileDirectory.value_or(QString())))
            : QStringLiteral("    make new window");
    return ScriptText::join({
        tellLine(bundleIdentifier),
        make,
        QStringLiteral("    set URL of active tab of window 1 to %1").arg(ScriptText::quoted(url)),
        QStringLiteral("    return 1"),
        QStringLiteral("end tell"),
    });
}

QString BrowserScriptText::createWindowWithTabsScript(const QString& bundleIdentifier,
                                                      const QStringList& urls,
                                                      const std::optional<BrowserProfile>& profile) {
    QStringList lines = createWindowScript(bundleIdentifier, urls.value(0), profile).split(QLatin1Char('\n'));
    // Before "    return 1" and the closing "end tell": the further tabs of the window just made,
    // which is window 1.
    const qsizetype at = lines.size() - 2;
    for (qsizetype i = urls.size() - 1; i >= 1; --i) {
        lines.insert(at, QStringLiteral("end tell"));
        lines.insert(
            at, QStringLiteral("make new tab with properties {URL:%1}").arg(ScriptText::quoted(urls[i])));
        lines.insert(at, QStringLiteral("tell window 1"));
    }
    return ScriptText::join(lines);
}

QString BrowserScriptText::setBoundsScript(const QString& bundleIdentifier, std::int64_t window,
                                           const ScriptBounds& bounds) {
    return ScriptText::join({
        tellLine(bundleIdentifier),
        QStringLiteral("    set bounds of window %1 to %2").arg(QString::number(window), bounds.text()),
        QStringLiteral("end tell"),
    });
}

QString BrowserScriptText::openTabsScript(const QString& bundleIdentifier, std::int64_t window,
                                          const QStringList& urls) {
    QStringList lines{tellLine(bundleIdentifier)};
    for (const QString& url : urls) {
        lines << QStringLiteral("tell window %1").arg(window)
              << QStringLiteral("make new tab with properties {URL:%1}").arg(ScriptText::quoted(url))
              << QStringLiteral("end tell");
    }
    lines << QStringLiteral("end tell");
    return ScriptText::join(lines);
}

QString BrowserScriptText::activateTabScript(const QString& bundleIdentifier, std::int64_t window,
                                             std::int64_t tab) {
    const QString body = BrowserNames::safariBundleIDs().contains(bundleIdentifier)
                             ? QStringLiteral("    set current tab of window %1 to tab %2 of window %1")
                                   .arg(QString::number(window), QString::number(tab))
                             : QStringLiteral("    set active tab index of window %1 to %2")
                                   .arg(QString::number(window), QString::number(tab));
    return ScriptText::join({tellLine(bundleIdentifier), body, QStringLiteral("end tell")});
}

QString BrowserScriptText::windowCountScript(const QString& bundleIdentifier) {
    return ScriptText::join({tellLine(bundleIdentifier), QStringLiteral("    return count of windows"),
                             QStringLiteral("end tell")});
}

QString BrowserScriptText::closeWindowsBeyondCountScript(const QString& bundleIdentifier,
                                                         std::int64_t keepCount) {
    return ScriptText::join({
        tellLine(bundleIdentifier),
        QStringLiteral("    set winCount to count of windows"),
        QStringLiteral("    if winCount > %1 then").arg(keepCount),
        QStringLiteral("        set toClose to winCount - %1").arg(keepCount),
        QStringLiteral("        repeat with i from winCount to (winCount - toClose + 1) by -1"),
        QStringLiteral("            try"),
        QStringLiteral("                close window i"),
        QStringLiteral("            end try"),
        QStringLiteral("        end repeat"),
        QStringLiteral("    end if"),
        QStringLiteral("end tell"),
    });
}

QString BrowserScriptText::closeEmptyWindowsScript(const QString& bundleIdentifier) {
    QStringList conditions;
    for (const QString& prefix : BrowserNames::newTabPrefixes()) {
        conditions << QStringLiteral("u starts with %1").arg(ScriptText::quoted(prefix.toLower()));
    }
    const QString condition = conditions.join(QStringLiteral(" or "));
    QStringList lines{
        tellLine(bundleIdentifier),
        QStringLiteral("    repeat with i from (count of windows) to 1 by -1"),
        QStringLiteral("        try"),
        QStringLiteral("            set w to window i"),
        QStringLiteral("            set tabCount to (count of tabs of w)"),
    };
    if (BrowserNames::safariBundleIDs().contains(bundleIdentifier)) {
        lines << QStringLiteral("            if tabCount is 0 then")
              << QStringLiteral("                close w")
              << QStringLiteral("            else if tabCount is 1 then")
              << QStringLiteral("                set u to URL of tab 1 of w");
    } else {
        lines << QStringLiteral("            if tabCount is 1 then")
              << QStringLiteral("                set u to URL of active tab of w");
    }
    lines << QStringLiteral("                if u is missing value then")
          << QStringLiteral("                    close w") << QStringLiteral("                else")
          << QStringLiteral("                    set u to (u as string)")
          << QStringLiteral("                    ignoring case")
          << QStringLiteral("                        if %1 then").arg(condition)
          << QStringLiteral("                            close w")
          << QStringLiteral("                        end if")
          << QStringLiteral("                    end ignoring") << QStringLiteral("                end if")
          << QStringLiteral("            end if") << QStringLiteral("        end try")
          << QStringLiteral("    end repeat") << QStringLiteral("end tell");
    return ScriptText::join(lines);
}

QString BrowserScriptText::closeAllWindowsScript(const QString& bundleIdentifier) {
    return ScriptText::join(
        {tellLine(bundleIdentifier), QStringLiteral("    close every window"), QStringLiteral("end tell")});
}

QString BrowserScriptText::windowIDsScript(const QString& bundleIdentifier) {
    return ScriptText::join({tellLine(bundleIdentifier), QStringLiteral("    return id of every window"),
                             QStringLiteral("end tell")});
}

QString BrowserScriptText::closeWindowsScript(const QString& bundleIdentifier,
                                              const QList<std::int64_t>& windowIDs) {
    QStringList lines{tellLine(bundleIdentifier)};
    for (const std::int64_t id : windowIDs) {
        // Each in its own try: a window that went meanwhile must not keep the others open.
        lines << QStringLiteral("    try") << QStringLiteral("        close window id %1").arg(id)
              << QStringLiteral("    end try");
    }
    lines << QStringLiteral("end tell");
    return ScriptText::join(lines);
}
