#include "Platform/Linux/ChromiumWindowTabs.h"

#include "Platform/Diagnostics.h"
#include "Platform/Linux/ChromiumHistory.h"
#include "Platform/Linux/ChromiumHistoryCache.h"
#include "Platform/Linux/X11WindowRequests.h"

#include <QSet>

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

namespace {

void print(const QString& line) {
    Diagnostics::print(QStringLiteral("[LinuxBrowserScripting] ") + line);
}

} // namespace

ChromiumWindowTabs::ChromiumWindowTabs(ChromiumSessionReader sessions, Titles titles)
    : m_sessions(std::move(sessions))
    , m_titles(titles ? std::move(titles)
                      : Titles([cache = std::make_shared<ChromiumHistoryCache>()](const QString& sessionFile,
                                                                                  const QStringList& urls) {
                            return cache->titlesOf(ChromiumHistory::fileBesideSession(sessionFile), urls);
                        })) {
}

void ChromiumWindowTabs::forgetLocations() {
    m_sessions.forgetLocations();
}

QCoro::Task<void> ChromiumWindowTabs::readSessions(qint32 browserPid, QString configFolder,
                                                   QList<X11Client> windows) {
    QSet<qint32> processes{browserPid};
    for (const X11Client& w : windows) {
        processes.insert(w.pid.value_or(browserPid));
    }
    for (const qint32 pid : std::as_const(processes)) {
        m_sessions.read(pid, configFolder);
    }
    co_await m_sessions.settle();
}

QList<int> ChromiumWindowTabs::pairWindows(const QList<X11Client>& windows,
                                           const QList<ChromiumSession::Window>& sessionWindows) {
    // Windows are made in the order the file first names them, and the server numbers windows in
    // the order they are made: the two ranks break ties between windows with the same frame.
    QList<xcb_window_t> made;
    for (const X11Client& w : windows) {
        made << w.window;
    }
    std::sort(made.begin(), made.end());
    // Every possible pair, best first: frames alike, then the shown tab's title in the window's,
    // then the ranks.
    std::vector<std::tuple<int, qsizetype, qsizetype, qsizetype>> candidates;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const X11Client& w = windows[i];
        const qsizetype rank = made.indexOf(w.window);
        for (qsizetype j = 0; j < sessionWindows.size(); ++j) {
            const ChromiumSession::Window& s = sessionWindows[j];
            int score = std::min(X11WindowRequests::distance(w.frameRect(), s.bounds),
                                 X11WindowRequests::distance(w.clientRect, s.bounds));
            const bool titled = s.selectedTab >= 0 && !s.tabs[s.selectedTab].title.isEmpty() &&
                                w.title.value_or(QString()).startsWith(s.tabs[s.selectedTab].title);
            score += titled ? 0 : 40;
            candidates.emplace_back(score, std::abs(rank - j), i, j);
        }
    }
    std::sort(candidates.begin(), candidates.end());
    QList<int> pairs(windows.size(), -1);
    QList<bool> taken(sessionWindows.size(), false);
    for (const auto& [score, rankDistance, i, j] : candidates) {
        if (pairs[i] < 0 && !taken[j]) {
            pairs[i] = static_cast<int>(j);
            taken[j] = true;
        }
    }
    return pairs;
}

void ChromiumWindowTabs::fillTitles(const QString& sessionFile, QList<ChromiumSession::Window>& paired,
                                    const QList<qsizetype>& positions) const {
    // Each address once, in the order of the tabs: a set beside the list keeps that linear in the
    // tabs, however many a record names.
    QStringList untitled;
    QSet<QString> listed;
    for (const qsizetype p : positions) {
        for (const ChromiumSession::Tab& tab : paired[p].tabs) {
            if (tab.title.isEmpty() && !tab.url.isEmpty() && !listed.contains(tab.url)) {
                listed.insert(tab.url);
                untitled << tab.url;
            }
        }
    }
    if (untitled.isEmpty()) {
        return;
    }
    const QHash<QString, QString> titles = m_titles(sessionFile, untitled);
    for (const qsizetype p : positions) {
        for (ChromiumSession::Tab& tab : paired[p].tabs) {
            if (tab.title.isEmpty()) {
                tab.title = titles.value(tab.url);
            }
        }
    }
}

QList<ChromiumSession::Window> ChromiumWindowTabs::tabsOf(qint32 browserPid, const QString& configFolder,
                                                          const QList<X11Client>& windows) {
    QList<ChromiumSession::Window> paired(windows.size());
    // Each browser process keeps the session of its own profile: a browser started with a data
    // folder of its own is a process of its own, whose windows are paired with its own file.
    QList<qint32> processes;
    for (const X11Client& w : windows) {
        const qint32 pid = w.pid.value_or(browserPid);
        if (!processes.contains(pid)) {
            processes << pid;
        }
    }
    for (const qint32 pid : processes) {
        QList<qsizetype> positions;
        QList<X11Client> own;
        for (qsizetype i = 0; i < windows.size(); ++i) {
            if (windows[i].pid.value_or(browserPid) == pid) {
                positions << i;
                own << windows[i];
            }
        }
        const ChromiumSessionReader::Result read = m_sessions.read(pid, configFolder);
        if (read.file.isEmpty()) {
            continue;
        }
        const std::optional<ChromiumSession>& session = read.session;
        if (!session) {
            if (!read.reading) {
                print(QStringLiteral("Session file ") + read.file + QStringLiteral(" cannot be read: ") +
                      read.problem);
            }
            continue;
        }
        const QList<int> pairs = pairWindows(own, session->windows);
        for (qsizetype k = 0; k < own.size(); ++k) {
            if (pairs[k] < 0) {
                continue;
            }
            ChromiumSession::Window& window = paired[positions[k]];
            window = session->windows[pairs[k]];
            // The file records a page's title only now and then; the window's title always shows
            // the shown tab's ("<title> - <browser>").
            const QString title = own[k].title.value_or(QString());
            const qsizetype suffix = title.lastIndexOf(QStringLiteral(" - "));
            if (suffix <= 0) {
                continue;
            }
            // The title shows a newly shown tab at once, the file seconds later: a title that
            // names exactly one tab tells which one is shown.
            const QString shown = title.left(suffix);
            QList<int> named;
            for (int t = 0; t < window.tabs.size(); ++t) {
                if (window.tabs[t].title == shown) {
                    named << t;
                }
            }
            if (named.size() == 1) {
                window.selectedTab = named.first();
            } else if (window.selectedTab >= 0 && window.tabs[window.selectedTab].title.isEmpty()) {
                window.tabs[window.selectedTab].title = shown;
            }
        }
        fillTitles(read.file, paired, positions);
    }
    return paired;
}
