#pragma once

#include "Platform/Linux/ChromiumSession.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/X11Client.h"

#include <QList>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <optional>

// One Chromium-family browser and the desktop around it, as the steps that hand it windows and
// tabs and show its tabs see them: its windows, what is known of their tabs, its command line, the
// focus and the keyboard. The host answers from the real desktop; tests answer in virtual time.
class ChromiumDesktop {
public:
    virtual ~ChromiumDesktop() = default;

    // The browser's windows, front to back.
    virtual QList<X11Client> windows() = 0;
    // One window as it reads now; nothing once it is gone.
    virtual std::optional<X11Client> window(xcb_window_t window) = 0;
    // What is known of one window's tabs: the browser's record or, where the record is behind,
    // what a window made here was handed; with recordedOnly, only what the record shows. Nothing
    // when neither knows the window, or the record lists it without tabs.
    virtual std::optional<ChromiumSession::Window> tabsOf(xcb_window_t window, bool recordedOnly = false) = 0;
    // The same for each of these windows, in their order: an entry without tabs where nothing is
    // known. Asked window by window unless the desktop pairs them all in one go.
    virtual QList<ChromiumSession::Window> tabsOfEach(const QList<X11Client>& windows, bool recordedOnly) {
        QList<ChromiumSession::Window> each;
        each.reserve(windows.size());
        for (const X11Client& w : windows) {
            each.append(tabsOf(w.window, recordedOnly).value_or(ChromiumSession::Window()));
        }
        return each;
    }
    // Whether the browser runs now.
    virtual bool running() = 0;
    // Reads again which process runs the browser: one may have started.
    virtual void refresh() = 0;
    // The words the browser's desktop entry puts before the arguments (they count against the
    // command line's bound).
    virtual QStringList entryWords() = 0;
    // Runs the browser's desktop entry with these arguments.
    virtual DesktopEntries::Launch launch(const QStringList& arguments) = 0;
    // Whether a process started by launch still runs.
    virtual bool isAlive(qint32 pid) = 0;
    // The profile switches the process showing a window was started with.
    virtual QStringList profileSwitchesOf(qint32 pid) = 0;
    // Gives the window the focus; whether it has it within a bound.
    virtual QCoro::Task<bool> activate(xcb_window_t window) = 0;
    // Presses key with the modifiers held, in whichever window has the focus.
    virtual void press(const QList<quint32>& modifiers, quint32 key) = 0;
};
