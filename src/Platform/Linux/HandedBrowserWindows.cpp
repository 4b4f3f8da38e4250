#include "Platform/Linux/HandedBrowserWindows.h"

#include "Platform/Linux/BrowserCommandLine.h"

namespace {

// Two addresses the browser shows alike: its record writes a host in lower case and may add a
// trailing slash.
bool sameAddress(QString a, QString b) {
    a = a.toLower();
    b = b.toLower();
    while (a.endsWith(QLatin1Char('/'))) {
        a.chop(1);
    }
    while (b.endsWith(QLatin1Char('/'))) {
        b.chop(1);
    }
    return a == b;
}

} // namespace

HandedBrowserWindows::HandedBrowserWindows(std::shared_ptr<Clock> clock)
    : m_clock(std::move(clock)) {
}

QStringList HandedBrowserWindows::asHanded(const QStringList& addresses) {
    QStringList handed;
    handed.reserve(addresses.size());
    for (const QString& address : addresses) {
        handed << BrowserCommandLine::safeAddress(address).value_or(QStringLiteral("about:blank"));
    }
    return handed;
}

void HandedBrowserWindows::made(xcb_window_t window, const QStringList& addresses) {
    m_handed.insert(window, Handed{asHanded(addresses), 0, m_clock->now()});
}

void HandedBrowserWindows::added(xcb_window_t window, const QStringList& addresses) {
    const auto handed = m_handed.find(window);
    if (handed == m_handed.end()) {
        return;
    }
    handed->addresses << asHanded(addresses);
    handed->shown = static_cast<int>(handed->addresses.size()) - 1;
    handed->at = m_clock->now();
}

void HandedBrowserWindows::shown(xcb_window_t window, std::int64_t tab) {
    const auto handed = m_handed.find(window);
    if (handed != m_handed.end() && tab >= 1 && tab <= handed->addresses.size()) {
        handed->shown = static_cast<int>(tab - 1);
        handed->at = m_clock->now();
    }
}

void HandedBrowserWindows::keepOnly(const std::function<bool(xcb_window_t)>& stillThere) {
    for (auto it = m_handed.begin(); it != m_handed.end();) {
        it = stillThere(it.key()) ? std::next(it) : m_handed.erase(it);
    }
}

ChromiumSession::Window HandedBrowserWindows::recorded(xcb_window_t window,
                                                       const ChromiumSession::Window& session,
                                                       const std::optional<QString>& title) const {
    const auto handed = m_handed.constFind(window);
    if (handed == m_handed.cend()) {
        return session;
    }
    return listedTabs(session, handed->addresses, handed->shown, m_clock->now() - handed->at > sessionFileLag,
                      title);
}

ChromiumSession::Window HandedBrowserWindows::listedTabs(const ChromiumSession::Window& session,
                                                         const QStringList& handed, int shown, bool settled,
                                                         const std::optional<QString>& title) {
    if (handed.isEmpty()) {
        return session;
    }
    // Until the file has been written since the window was made, what it pairs with a new window
    // may be another window's, or the last run's: the window shows nothing known yet. Its first
    // tab, the first address it was handed, tells the file's record of it.
    const bool known = !session.tabs.isEmpty() && sameAddress(session.tabs.first().url, handed.first());
    if (!known && !settled) {
        return ChromiumSession::Window{};
    }
    ChromiumSession::Window listed = session;
    // The tab shown is the one the window's title showed when it was last handed or shown a tab
    // (the file follows seconds later), as long as the title still agrees.
    if (!settled && shown >= 0 && shown < listed.tabs.size()) {
        const QString named = listed.tabs[shown].title;
        if (named.isEmpty() || title.value_or(QString()).startsWith(named + QStringLiteral(" - "))) {
            listed.selectedTab = shown;
        }
    }
    return listed;
}

ChromiumSession::Window HandedBrowserWindows::knownOrHanded(xcb_window_t window,
                                                            const ChromiumSession::Window& session,
                                                            const std::optional<QString>& title) const {
    const auto handed = m_handed.constFind(window);
    if (handed == m_handed.cend()) {
        return session;
    }
    // A file that knows every tab handed stands, once it has had time to be rewritten since: until
    // then what it says of a window just made may be another window's, or the last run's.
    const bool fileCaughtUp =
        session.tabs.size() >= handed->addresses.size() && m_clock->now() - handed->at > sessionFileLag;
    if (fileCaughtUp) {
        return session;
    }
    // The tabs handed are there, in the order they were handed, the shown one named by the
    // window's title.
    ChromiumSession::Window known = session;
    known.tabs.clear();
    for (const QString& address : handed->addresses) {
        known.tabs.append(ChromiumSession::Tab{address, QString()});
    }
    known.selectedTab = handed->shown;
    const QString text = title.value_or(QString());
    const qsizetype suffix = text.lastIndexOf(QStringLiteral(" - "));
    if (suffix > 0) {
        known.tabs[handed->shown].title = text.left(suffix);
    }
    return known;
}
