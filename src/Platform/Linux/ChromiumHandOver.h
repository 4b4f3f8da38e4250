#pragma once

#include "Platform/ScriptRunner.h"

#include <QStringList>

#include <xcb/xproto.h>

#include <memory>
#include <optional>

class ChromiumDesktop;
class Clock;
class HandedBrowserWindows;

// Hands new windows and tabs to a Chromium-family browser on its own command line, which starts
// the browser when it does not run. A running browser takes one command line of a bounded size
// well: a window of more tabs is made with its first tabs, and the others follow in further
// command lines, each once the browser shows the one before. Nothing here waits for the browser's
// record of the tabs (it is rewritten only every few seconds): whoever needs the record waits for
// it once, for all the windows handed, and what was handed stands in for it meanwhile.
class ChromiumHandOver {
public:
    ChromiumHandOver(ChromiumDesktop& desktop, HandedBrowserWindows& handed, std::shared_ptr<Clock> clock,
                     QString appName);

    // A new window with these tabs (the first shown).
    QCoro::Task<std::optional<ScriptError>> makeWindow(QStringList addresses, QStringList profileSwitches);
    // New tabs at the end of the window; the browser shows the last of them.
    QCoro::Task<std::optional<ScriptError>> openTabs(xcb_window_t window, QStringList addresses);

private:
    ScriptError error(int number, const QString& message) const { return {number, m_appName, message}; }

    ChromiumDesktop& m_desktop;
    HandedBrowserWindows& m_handed;
    std::shared_ptr<Clock> m_clock;
    QString m_appName;
};
