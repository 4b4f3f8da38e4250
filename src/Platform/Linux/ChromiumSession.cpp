#include "Platform/Linux/ChromiumSession.h"

#include "Platform/Linux/RegularFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <unordered_map>
#include <vector>

namespace {

// Command ids of the session log that carry windows and tabs; the others are passed over.
enum Command : std::uint8_t {
    SetTabWindow = 0,
    SetTabIndexInWindow = 2,
    TabNavigationPathPrunedFromBack = 5,
    UpdateTabNavigation = 6,
    SetSelectedNavigationIndex = 7,
    SetSelectedTabInIndex = 8,
    SetWindowType = 9,
    SetWindowBounds = 14,
    TabClosed = 16,
    WindowClosed = 17,
    SetActiveWindow = 20,
    TabNavigationPathPruned = 24,
};

// Reads little-endian values from a body, never past its end.
class Reader {
public:
    explicit Reader(QByteArrayView data)
        : m_data(data) {}

    bool int32(std::int32_t& value) {
        if (m_data.size() - m_at < 4) {
            return false;
        }
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) {
            v = (v << 8) | static_cast<std::uint8_t>(m_data[m_at + i]);
        }
        std::memcpy(&value, &v, sizeof value);
        m_at += 4;
        return true;
    }
    // count bytes, then the padding to the next multiple of 4 (which may be missing at the end).
    bool bytes(qsizetype count, QByteArrayView& out) {
        if (count < 0 || m_data.size() - m_at < count) {
            return false;
        }
        out = m_data.sliced(m_at, count);
        m_at = std::min(m_data.size(), m_at + ((count + 3) & ~qsizetype(3)));
        return true;
    }

private:
    QByteArrayView m_data;
    qsizetype m_at = 0;
};

struct Navigation {
    QByteArrayView url;   // UTF-8
    QByteArrayView title; // UTF-16LE
};

struct TabState {
    std::int32_t window = 0;
    int index = -1;
    int order = 0; // when it was first named, to break ties between equal indexes
    int selectedNavigation = -1;
    std::map<int, Navigation> navigations;
};

struct WindowState {
    int order = 0;
    QRect bounds;
    int showState = 0;
    int type = 0;
    int selectedTab = -1;
};

// The browser keeps a bounded history per tab and writes no more of it than that; a file naming
// more navigations for one tab keeps its highest indexes, as the oldest pages are the ones a
// browser drops. The bound keeps every command's work independent of the history read before it.
constexpr std::size_t maximumNavigationsPerTab = 128;

// No screen is a million pixels away: anything further is not a frame, and could not be added up.
bool plausible(std::int32_t coordinate) {
    return coordinate > -1000000 && coordinate < 1000000;
}

QString utf16(QByteArrayView bytes) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        text[i] = QChar(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                              (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8)));
    }
    return text;
}

class Replay {
public:
    // false when the body does not fit the command.
    bool apply(std::uint8_t id, QByteArrayView body) {
        Reader r(body);
        std::int32_t a = 0;
        std::int32_t b = 0;
        switch (id) {
        case SetTabWindow:
        case SetTabIndexInWindow:
        case SetSelectedNavigationIndex:
        case SetSelectedTabInIndex:
        case SetWindowType:
        case TabNavigationPathPrunedFromBack:
            if (!fixed(body, 8) || !r.int32(a) || !r.int32(b)) {
                return false;
            }
            applyPair(id, a, b);
            return true;
        case SetActiveWindow:
            if (!fixed(body, 4) || !r.int32(a)) {
                return false;
            }
            m_active = a;
            return true;
        case SetWindowBounds: {
            std::int32_t x = 0, y = 0, w = 0, h = 0, state = 0;
            if (!fixed(body, 24) || !r.int32(a) || !r.int32(x) || !r.int32(y) || !r.int32(w) || !r.int32(h) ||
                !r.int32(state) || !plausible(x) || !plausible(y) || !plausible(w) || !plausible(h) ||
                w < 0 || h < 0) {
                return false;
            }
            WindowState& ws = window(a);
            ws.bounds = QRect(x, y, w, h);
            ws.showState = state;
            return true;
        }
        case TabClosed:
        case WindowClosed:
            // The id, then (after padding) the time it closed.
            if (body.size() < 4 || !r.int32(a)) {
                return false;
            }
            if (id == TabClosed) {
                m_tabs.erase(a);
            } else {
                m_windows.erase(a);
            }
            return true;
        case TabNavigationPathPruned: {
            std::int32_t count = 0;
            if (!fixed(body, 12) || !r.int32(a) || !r.int32(b) || !r.int32(count) || count < 0) {
                return false;
            }
            // Entries [b, b + count) go; the ones after them move down by count, each node moved
            // in place: a prune costs what the tab's (bounded) history holds, never a copy of it.
            auto& navigations = tab(a).navigations;
            const std::int64_t end = static_cast<std::int64_t>(b) + count;
            navigations.erase(navigations.lower_bound(b),
                              end > std::numeric_limits<int>::max()
                                  ? navigations.end()
                                  : navigations.lower_bound(static_cast<int>(end)));
            for (auto it = navigations.lower_bound(b); it != navigations.end();) {
                auto node = navigations.extract(it++);
                node.key() -= count; // still at least b, and below every entry not moved yet
                navigations.insert(std::move(node));
            }
            return true;
        }
        case UpdateTabNavigation:
            return navigation(body);
        default:
            return true;
        }
    }

    ChromiumSession result() const {
        ChromiumSession session;
        session.activeWindow = m_active;
        std::vector<std::pair<std::int32_t, const WindowState*>> windows;
        for (const auto& [id, state] : m_windows) {
            if (state.type == 0) {
                windows.emplace_back(id, &state);
            }
        }
        std::sort(windows.begin(), windows.end(),
                  [](const auto& l, const auto& r) { return l.second->order < r.second->order; });
        std::unordered_map<std::int32_t, std::vector<const TabState*>> tabsOf;
        for (const auto& [id, tab] : m_tabs) {
            tabsOf[tab.window].push_back(&tab);
        }
        for (const auto& [id, state] : windows) {
            ChromiumSession::Window window;
            window.id = id;
            window.bounds = state->bounds;
            window.showState = state->showState;
            window.type = state->type;
            std::vector<const TabState*>& tabs = tabsOf[id];
            std::sort(tabs.begin(), tabs.end(), [](const TabState* l, const TabState* r) {
                return l->index != r->index ? l->index < r->index : l->order < r->order;
            });
            for (const TabState* tab : tabs) {
                ChromiumSession::Tab t;
                auto navigation = tab->navigations.find(tab->selectedNavigation);
                if (navigation == tab->navigations.end() && !tab->navigations.empty()) {
                    navigation = std::prev(tab->navigations.end());
                }
                if (navigation != tab->navigations.end()) {
                    t.url = QString::fromUtf8(navigation->second.url);
                    t.title = utf16(navigation->second.title);
                }
                window.tabs.append(std::move(t));
            }
            if (window.tabs.isEmpty()) {
                continue; // a window the browser would not bring back either
            }
            if (state->selectedTab >= 0 && state->selectedTab < window.tabs.size()) {
                window.selectedTab = state->selectedTab;
            }
            session.windows.append(std::move(window));
        }
        return session;
    }

private:
    static bool fixed(QByteArrayView body, qsizetype size) { return body.size() == size; }

    // The commands whose body is two numbers: an id and what it is set to.
    void applyPair(std::uint8_t id, std::int32_t a, std::int32_t b) {
        switch (id) {
        case SetTabWindow:
            window(a);
            tab(b).window = a;
            break;
        case SetTabIndexInWindow:
            tab(a).index = b;
            break;
        case SetSelectedNavigationIndex:
            tab(a).selectedNavigation = b;
            break;
        case SetSelectedTabInIndex:
            window(a).selectedTab = b;
            break;
        case SetWindowType:
            window(a).type = b;
            break;
        case TabNavigationPathPrunedFromBack: {
            auto& navigations = tab(a).navigations;
            navigations.erase(navigations.lower_bound(b), navigations.end());
            break;
        }
        default:
            break;
        }
    }

    WindowState& window(std::int32_t id) {
        auto [it, added] = m_windows.try_emplace(id);
        if (added) {
            it->second.order = m_named++;
        }
        return it->second;
    }
    TabState& tab(std::int32_t id) {
        auto [it, added] = m_tabs.try_emplace(id);
        if (added) {
            it->second.order = m_named++;
        }
        return it->second;
    }

    // A pickled navigation: payload size, tab id, navigation index, the URL (byte count, UTF-8,
    // padded to 4), the title (count of UTF-16 units, UTF-16LE, padded to 4), then fields that
    // tab reading does not need.
    bool navigation(QByteArrayView body) {
        Reader r(body);
        std::int32_t payload = 0, tabId = 0, index = 0, urlSize = 0, titleUnits = 0;
        if (!r.int32(payload) || payload < 0 || payload > body.size() - 4) {
            return false;
        }
        Reader p(body.sliced(4, payload));
        Navigation navigation;
        if (!p.int32(tabId) || !p.int32(index) || index < 0 || !p.int32(urlSize) ||
            !p.bytes(urlSize, navigation.url) || !p.int32(titleUnits) || titleUnits < 0 ||
            titleUnits > std::numeric_limits<std::int32_t>::max() / 2 ||
            !p.bytes(qsizetype(titleUnits) * 2, navigation.title)) {
            return false;
        }
        std::map<int, Navigation>& navigations = tab(tabId).navigations;
        navigations[index] = navigation;
        if (navigations.size() > maximumNavigationsPerTab) {
            navigations.erase(navigations.begin());
        }
        return true;
    }

    std::unordered_map<std::int32_t, WindowState> m_windows;
    std::unordered_map<std::int32_t, TabState> m_tabs;
    std::optional<std::int32_t> m_active;
    int m_named = 0;
};

} // namespace

std::optional<ChromiumSession> ChromiumSession::read(QByteArrayView data, QString* problem,
                                                     const std::atomic<bool>* stop) {
    const auto fail = [problem](const char* why) {
        if (problem) {
            *problem = QString::fromLatin1(why);
        }
        return std::nullopt;
    };
    if (data.size() > maximumFileSize) {
        return fail("the file is too large to be a session file");
    }
    if (data.size() < 8 || data.first(4) != QByteArrayView("SNSS")) {
        return fail("the file is not a session file");
    }
    std::int32_t version = 0;
    Reader header(data.sliced(4, 4));
    header.int32(version);
    // 1 and 3 are plain logs (3 with markers); the others are encrypted or unknown.
    if (version != 1 && version != 3) {
        return fail("the session file has a version that cannot be read");
    }
    Replay replay;
    int skipped = 0;
    // Whether to stop is looked at now and then: a look costs little, but not nothing.
    constexpr int kCommandsBetweenLooks = 4096;
    int sinceLook = 0;
    const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    for (qsizetype at = 8; at < data.size();) {
        if (++sinceLook == kCommandsBetweenLooks) {
            sinceLook = 0;
            if (stopped()) {
                return fail("the read was stopped");
            }
        }
        if (data.size() - at < 2) {
            return fail("the session file is cut short");
        }
        const qsizetype size = static_cast<std::uint8_t>(data[at]) |
                               (static_cast<qsizetype>(static_cast<std::uint8_t>(data[at + 1])) << 8);
        at += 2;
        if (size < 1) {
            return fail("the session file holds a command without a kind");
        }
        if (data.size() - at < size) {
            return fail("the session file is cut short");
        }
        if (!replay.apply(static_cast<std::uint8_t>(data[at]), data.sliced(at + 1, size - 1))) {
            ++skipped;
        }
        at += size;
    }
    if (stopped()) {
        return fail("the read was stopped");
    }
    ChromiumSession session = replay.result();
    session.skippedCommands = skipped;
    return session;
}

std::optional<ChromiumSession> ChromiumSession::readFile(const QString& path, QString* problem,
                                                         const std::atomic<bool>* stop) {
    const auto fail = [problem](const QString& why) {
        if (problem) {
            *problem = why;
        }
        return std::nullopt;
    };
    // Never a FIFO or a device, whatever a link leads to: the open of one can wait without end.
    const std::optional<RegularFile> file = RegularFile::open(path);
    if (!file) {
        return fail(QStringLiteral("the file cannot be opened as a regular file"));
    }
    if (file->size() > quint64(maximumFileSize)) {
        return fail(QStringLiteral("the file is too large to be a session file"));
    }
    const std::optional<QByteArray> data = file->readAll(maximumFileSize);
    if (!data) {
        return fail(QStringLiteral("the file cannot be read"));
    }
    return read(*data, problem, stop);
}
