#pragma once

// Writes session files in the browsers' command-log layout, for tests, benchmarks and the fuzz
// corpus: each command a 16-bit size, an 8-bit kind and its body, all little-endian.

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>

class ChromiumSessionFile {
public:
    explicit ChromiumSessionFile(std::int32_t version = 3) {
        m_data.append("SNSS", 4);
        appendInt(m_data, version);
    }

    const QByteArray& data() const { return m_data; }

    ChromiumSessionFile& tabInWindow(std::int32_t window, std::int32_t tab) { return pair(0, window, tab); }
    ChromiumSessionFile& tabIndex(std::int32_t tab, std::int32_t index) { return pair(2, tab, index); }
    ChromiumSessionFile& selectedNavigation(std::int32_t tab, std::int32_t index) {
        return pair(7, tab, index);
    }
    // Navigations [from, from + count) of a tab are gone; the ones after them move down.
    ChromiumSessionFile& pruned(std::int32_t tab, std::int32_t from, std::int32_t count) {
        QByteArray body;
        appendInt(body, tab);
        appendInt(body, from);
        appendInt(body, count);
        return command(24, body);
    }
    // Navigations from index on of a tab are gone.
    ChromiumSessionFile& prunedFromBack(std::int32_t tab, std::int32_t index) { return pair(5, tab, index); }
    ChromiumSessionFile& selectedTab(std::int32_t window, std::int32_t index) {
        return pair(8, window, index);
    }
    ChromiumSessionFile& windowType(std::int32_t window, std::int32_t type) { return pair(9, window, type); }
    ChromiumSessionFile& activeWindow(std::int32_t window) {
        QByteArray body;
        appendInt(body, window);
        return command(20, body);
    }
    ChromiumSessionFile& bounds(std::int32_t window, const QRect& r, std::int32_t showState = 1) {
        QByteArray body;
        for (const std::int32_t v : {window, r.x(), r.y(), r.width(), r.height(), showState}) {
            appendInt(body, v);
        }
        return command(14, body);
    }
    ChromiumSessionFile& closed(std::uint8_t kind, std::int32_t id) {
        QByteArray body;
        appendInt(body, id);
        appendInt(body, 0);
        appendInt(body, 0);
        appendInt(body, 0);
        return command(kind, body);
    }
    ChromiumSessionFile& navigation(std::int32_t tab, std::int32_t index, const QString& url,
                                    const QString& title, int extraBytes = 0) {
        QByteArray payload;
        appendInt(payload, tab);
        appendInt(payload, index);
        const QByteArray u = url.toUtf8();
        appendInt(payload, static_cast<std::int32_t>(u.size()));
        payload.append(u);
        pad(payload);
        appendInt(payload, static_cast<std::int32_t>(title.size()));
        for (const QChar c : title) {
            payload.append(static_cast<char>(c.unicode() & 0xFF));
            payload.append(static_cast<char>(c.unicode() >> 8));
        }
        pad(payload);
        payload.append(QByteArray(extraBytes, '\0')); // the fields a reader skips
        QByteArray body;
        appendInt(body, static_cast<std::int32_t>(payload.size()));
        body.append(payload);
        return command(6, body);
    }
    ChromiumSessionFile& command(std::uint8_t kind, const QByteArray& body) {
        const auto size = static_cast<std::uint16_t>(body.size() + 1);
        m_data.append(static_cast<char>(size & 0xFF));
        m_data.append(static_cast<char>(size >> 8));
        m_data.append(static_cast<char>(kind));
        m_data.append(body);
        return *this;
    }

    // A window with its tabs (one navigation each, titles "Title <url>"), its frame and its
    // selected tab; tab ids are window * 1000 + position.
    ChromiumSessionFile& window(std::int32_t id, const QRect& frame, const QStringList& urls, int selected) {
        for (int i = 0; i < urls.size(); ++i) {
            const std::int32_t tab = id * 1000 + i;
            tabInWindow(id, tab).tabIndex(tab, i).navigation(tab, 0, urls[i],
                                                             QStringLiteral("Title ") + urls[i]);
            selectedNavigation(tab, 0);
        }
        return bounds(id, frame).selectedTab(id, selected);
    }

private:
    static void appendInt(QByteArray& to, std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) {
            to.append(static_cast<char>((u >> (8 * i)) & 0xFF));
        }
    }
    static void pad(QByteArray& to) {
        while (to.size() % 4 != 0) {
            to.append('\0');
        }
    }
    ChromiumSessionFile& pair(std::uint8_t kind, std::int32_t a, std::int32_t b) {
        QByteArray body;
        appendInt(body, a);
        appendInt(body, b);
        return command(kind, body);
    }

    QByteArray m_data;
};
