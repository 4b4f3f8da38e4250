#include "Platform/Linux/ChromiumTabSelection.h"

#include "Platform/Diagnostics.h"
#include "Platform/Linux/ChromiumDesktop.h"
#include "Platform/Linux/HandedBrowserWindows.h"

#include <algorithm>

namespace {

constexpr quint32 kControl = 0xffe3;  // Control_L
constexpr quint32 kPageDown = 0xff56; // Next: the tab after the shown one
constexpr quint32 kPageUp = 0xff55;   // Prior: the tab before the shown one
constexpr quint32 kDigitOne = 0x31;
constexpr quint32 kDigitNine = 0x39; // the last tab, however many there are
// Between two key combinations: with none, the browser drops one now and then.
constexpr Clock::Duration kKeyGap{8};
// How long a key that moves to another tab may take to show in the window's title.
constexpr Clock::Duration kStepBound{1000};
// How long the title must stay as it is to count as standing still: a tab shows in it within a
// tenth of a second of its key.
constexpr Clock::Duration kStill{200};
// How long the browser's record may take to show a newly shown tab: it is rewritten every 2.5 to
// 3.4 s.
constexpr Clock::Duration kRecordBound{4000};

void print(const QString& line) {
    Diagnostics::print(QStringLiteral("[LinuxBrowserScripting] ") + line);
}

} // namespace

ChromiumTabSelection::ChromiumTabSelection(ChromiumDesktop& desktop, HandedBrowserWindows& handed,
                                           std::shared_ptr<Clock> clock)
    : m_desktop(desktop)
    , m_handed(handed)
    , m_clock(std::move(clock)) {
}

QString ChromiumTabSelection::titleOf(xcb_window_t window) {
    const std::optional<X11Client> client = m_desktop.window(window);
    return client ? client->title.value_or(QString()) : QString();
}

QString ChromiumTabSelection::titleOfTab(const std::optional<ChromiumSession::Window>& tabs,
                                         std::int64_t tab) {
    return tabs && tab >= 1 && tab <= tabs->tabs.size() ? tabs->tabs[tab - 1].title : QString();
}

QCoro::Task<> ChromiumTabSelection::untilStill(xcb_window_t window, Clock::Duration bound) {
    struct Seen {
        QString title;
        Clock::TimePoint since;
    };
    const std::shared_ptr<Seen> seen = std::make_shared<Seen>(Seen{titleOf(window), m_clock->now()});
    const std::shared_ptr<Clock> clock = m_clock;
    const std::function<bool()> still = [this, window, seen, clock] {
        const QString now = titleOf(window);
        if (now != seen->title) {
            *seen = Seen{now, clock->now()};
        }
        return clock->now() - seen->since >= kStill;
    };
    co_await m_clock->pollUntil(still, bound, Clock::Duration(20));
}

QCoro::Task<> ChromiumTabSelection::typeAgainOnceStill(xcb_window_t window, quint32 key,
                                                       Clock::Duration bound) {
    co_await untilStill(window, bound);
    m_desktop.press({kControl}, key);
    co_await m_clock->sleep(kKeyGap);
}

QCoro::Task<bool> ChromiumTabSelection::changesFrom(xcb_window_t window, QString from,
                                                    Clock::Duration bound) {
    const std::function<bool()> changed = [this, window, from] {
        const QString now = titleOf(window);
        return !now.isEmpty() && now != from;
    };
    co_return co_await m_clock->pollUntil(changed, std::min(bound, kStepBound), Clock::Duration(20));
}

QCoro::Task<bool> ChromiumTabSelection::backAndForth(xcb_window_t window, quint32 back, quint32 key) {
    const Clock::TimePoint deadline = m_clock->now() + selectionBound;
    // The keys take turns until the tab's key, typed right after the key back, changes the title:
    // the key back changes nothing where the title's change was the page shown before loading, and
    // the tab's key changes nothing where the key back was lost (the tab still shows). A digit
    // shows the same tab however often it goes.
    quint32 next = back;
    while (m_clock->now() < deadline) {
        const QString from = titleOf(window);
        m_desktop.press({kControl}, next);
        co_await m_clock->sleep(kKeyGap);
        const auto left = std::chrono::duration_cast<Clock::Duration>(deadline - m_clock->now());
        const bool changed = co_await changesFrom(window, from, std::max(left, Clock::Duration(0)));
        if (changed && next == key) {
            co_return true;
        }
        next = next == back ? key : back;
    }
    co_return false;
}

QCoro::Task<bool> ChromiumTabSelection::recordShows(xcb_window_t window, std::int64_t tab) {
    ChromiumDesktop& desktop = m_desktop;
    // What the record alone shows: for a window made here, the tab last shown stands in for the
    // record's until the record has caught up, and that is not the tab asked for.
    const std::function<bool()> shows = [&desktop, window, tab] {
        const std::optional<ChromiumSession::Window> record = desktop.tabsOf(window, true);
        return record && record->selectedTab == tab - 1;
    };
    co_return co_await m_clock->pollUntil(shows, kRecordBound, Clock::Duration(100));
}

QCoro::Task<bool> ChromiumTabSelection::stepTo(xcb_window_t window, std::int64_t from, std::int64_t to,
                                               QString expectedTitle) {
    const quint32 key = to > from ? kPageDown : kPageUp;
    const Clock::TimePoint deadline = m_clock->now() + selectionBound;
    for (std::int64_t i = std::min(from, to); i < std::max(from, to); ++i) {
        const QString before = titleOf(window);
        m_desktop.press({kControl}, key);
        co_await m_clock->sleep(kKeyGap);
        const auto left = std::chrono::duration_cast<Clock::Duration>(deadline - m_clock->now());
        const bool changed = co_await changesFrom(window, before, std::max(left, Clock::Duration(0)));
        if (!changed) {
            co_return false; // where it went is not known
        }
    }
    const std::function<bool()> named = [this, window, expectedTitle] {
        return expectedTitle.isEmpty() || titleOf(window).startsWith(expectedTitle + QStringLiteral(" - "));
    };
    co_return co_await m_clock->pollUntil(named, kStepBound, Clock::Duration(20));
}

QList<quint32> ChromiumTabSelection::tabKeys(std::int64_t tab, std::optional<qsizetype> tabCount) {
    if (tab < 1) {
        return {};
    }
    if (tab <= 8) {
        return {kDigitOne + static_cast<quint32>(tab - 1)};
    }
    if (tabCount && tab == *tabCount) {
        return {kDigitNine};
    }
    if (tabCount && tab < *tabCount && *tabCount - tab < tab - 8) {
        QList<quint32> keys{kDigitNine};
        for (std::int64_t i = *tabCount; i > tab; --i) {
            keys << kPageUp;
        }
        return keys;
    }
    QList<quint32> keys{kDigitOne + 7};
    for (std::int64_t i = 8; i < tab; ++i) {
        keys << kPageDown;
    }
    return keys;
}

QCoro::Task<bool> ChromiumTabSelection::show(xcb_window_t window, std::int64_t tab) {
    ChromiumDesktop& desktop = m_desktop;
    // The tab must be there before its key can show it (and past the eighth, the keys depend on
    // how many there are). A window made here is known at once; another waits for the file.
    const std::function<bool()> present = [&desktop, window, tab] {
        const std::optional<ChromiumSession::Window> now = desktop.tabsOf(window);
        return now && now->tabs.size() >= tab;
    };
    if (!present()) {
        co_await m_clock->pollUntil(present, Clock::seconds(3.0), Clock::Duration(100));
    }
    const std::optional<ChromiumSession::Window> known = m_desktop.tabsOf(window);
    const std::optional<qsizetype> count =
        known ? std::optional<qsizetype>(known->tabs.size()) : std::nullopt;
    // The window's title shows the shown tab's within a tenth of a second, the file seconds later.
    // The tab's title as the browser's record has it, where it has one: what was handed takes the
    // title the window shows now for the tab it last showed, which need not be that tab.
    const std::optional<ChromiumSession::Window> record = m_desktop.tabsOf(window, true);
    const QString recordedTitle = titleOfTab(record, tab);
    const QString expectedTitle = !recordedTitle.isEmpty() ? recordedTitle : titleOfTab(known, tab);
    const auto titleNow = [this, window] { return titleOf(window); };
    const auto names = [expectedTitle](const QString& title) {
        return !expectedTitle.isEmpty() && title.startsWith(expectedTitle + QStringLiteral(" - "));
    };
    if (known && known->selectedTab == tab - 1 && names(titleNow())) {
        co_return true; // shown already
    }
    // Keys go to the window with the focus: they are typed only once the browser's window has it,
    // as another application would take them for its own. A second try only when the first did
    // not take.
    std::optional<QString> firstKeyAt; // the title when the first key went
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool active = co_await m_desktop.activate(window);
        if (!active) {
            print(QStringLiteral("The window to select a tab in did not take the focus"));
            continue;
        }
        // Shown already, by what was handed: the keys change nothing, and nothing is waited for.
        const bool alreadyShown = known && known->selectedTab == tab - 1 && expectedTitle.isEmpty();
        // Sent back to back, the browser now and then drops a combination: a short gap after each.
        // The keys after the first move one tab at a time from where it went: each goes only once
        // the one before showed (the title changed), or they would count from another tab. A
        // digit that showed nothing is typed again, as it shows the same tab however often.
        const QList<quint32> keys = tabKeys(tab, count);
        // Where the tab the first key shows has no known title, a change of the title may be the
        // page shown before it still loading, while the key was lost (a browser that has just
        // started drops keys for a while): that key is judged again once the title stands still.
        const std::int64_t firstTab = keys.size() == 1 ? tab : keys.first() == kDigitNine ? *count : 8;
        const bool firstUnnamed =
            titleOfTab(record, firstTab).isEmpty() && titleOfTab(known, firstTab).isEmpty();
        if (keys.size() == 1 && firstUnnamed && !alreadyShown) {
            // A change the key did not cause is then less likely, and where nothing changes at
            // all, the window still shows the tab it showed.
            co_await untilStill(window, kStepBound);
        }
        QString before = titleNow();
        if (!firstKeyAt) {
            firstKeyAt = before;
        }
        const Clock::TimePoint deadline = m_clock->now() + selectionBound;
        for (qsizetype k = 0; k < keys.size(); ++k) {
            before = titleNow();
            m_desktop.press({kControl}, keys[k]);
            co_await m_clock->sleep(kKeyGap);
            if (k + 1 == keys.size()) {
                break; // the last is checked below
            }
            const QString from = before;
            const std::function<bool()> moved = [titleNow, from] {
                const QString now = titleNow();
                return !now.isEmpty() && now != from;
            };
            // Past the selection's bound the keys go on with only the gap between them.
            const Clock::Duration step =
                std::clamp(std::chrono::duration_cast<Clock::Duration>(deadline - m_clock->now()),
                           Clock::Duration(0), kStepBound);
            const bool wentOn = co_await m_clock->pollUntil(moved, step, Clock::Duration(20));
            if (!wentOn && k == 0) {
                m_desktop.press({kControl}, keys[k]);
                co_await m_clock->sleep(kKeyGap);
                co_await m_clock->pollUntil(moved, step, Clock::Duration(20));
            } else if (k == 0 && firstUnnamed) {
                // Typed once more, as it shows the same tab however often it goes; the keys after
                // it count from where it went, so the title stands still once more.
                co_await typeAgainOnceStill(window, keys[k], step);
                co_await untilStill(window, step);
            }
        }
        // Took: the title names the tab, or, where the tab's title is not known yet, it changed
        // (judged again below, as the change may have been the page shown before).
        const std::function<bool()> took = [titleNow, names, before, expectedTitle, &desktop, this, window,
                                            tab] {
            const QString now = titleNow();
            if (names(now)) {
                return true;
            }
            if (expectedTitle.isEmpty() && !now.isEmpty() && now != before) {
                return true;
            }
            const std::optional<ChromiumSession::Window> file = desktop.tabsOf(window);
            return file && file->selectedTab == tab - 1 && !m_handed.contains(window);
        };
        const Clock::Duration bound = alreadyShown ? Clock::Duration(300) : Clock::seconds(2.5);
        const bool tookNow = co_await m_clock->pollUntil(took, bound, Clock::Duration(20));
        // The browser hands a digit to the page first, and a page that is not ready lets it go
        // (the first window of a browser just started, for seconds under some managers), while it
        // takes the keys to the next and the previous tab itself: from the tab a window made here
        // shows, as long as nothing changed since the first key, those go one at a time.
        if (!tookNow && !alreadyShown && keys.size() == 1 && known && m_handed.contains(window) &&
            titleNow() == *firstKeyAt) {
            const bool stepped = co_await stepTo(window, known->selectedTab + 1, tab, expectedTitle);
            if (stepped) {
                m_handed.shown(window, tab);
                co_return true;
            }
            continue;
        }
        if (tookNow || alreadyShown) {
            if (keys.size() == 1 && firstUnnamed && !alreadyShown) {
                // A key that goes back to the tab shown before, and the tab's key after it, tell a
                // browser that takes keys: a page loading changes the title once, not back and
                // forth. Without a single key back, the title cannot tell: the key goes once more
                // and the browser's record must show the tab.
                const QList<quint32> back = known ? tabKeys(known->selectedTab + 1, count) : QList<quint32>();
                if (back.size() != 1 || back == keys) {
                    co_await typeAgainOnceStill(window, keys.first(), kStepBound);
                    const bool recorded = co_await recordShows(window, tab);
                    if (!recorded) {
                        continue;
                    }
                } else {
                    const bool tookBoth = co_await backAndForth(window, back.first(), keys.first());
                    if (!tookBoth) {
                        continue;
                    }
                }
            }
            m_handed.shown(window, tab);
            co_return true;
        }
    }
    co_return false;
}

QCoro::Task<std::optional<ScriptError>> ChromiumTabSelection::select(xcb_window_t window, std::int64_t tab) {
    const bool shown = co_await show(window, tab);
    if (!shown) {
        print(QStringLiteral("Tab ") + QString::number(tab) + QStringLiteral(" could not be shown"));
    }
    co_return std::nullopt;
}
