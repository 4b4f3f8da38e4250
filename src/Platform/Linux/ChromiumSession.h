#pragma once

#include <QByteArrayView>
#include <QList>
#include <QRect>
#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>

// The open windows and tabs of a Chromium-family browser profile, read from one of its session
// files (Sessions/Session_*): a log of commands that the browser appends to as windows and tabs
// change, replayed here in order. The file is untrusted input: every read is bounds-checked, a
// command that does not fit its kind is passed over, and a file that cannot be a session file at
// all (wrong magic or version, cut short, too large) gives nothing and a reason.
class ChromiumSession {
public:
    struct Tab {
        // The address and title of the tab's current page; empty when none was recorded.
        QString url;
        QString title;
    };
    struct Window {
        std::int32_t id = 0;
        // The frame in root coordinates, as last recorded; empty when none was.
        QRect bounds;
        // 0 default, 1 normal, 2 minimised, 3 maximised, 4 inactive, 5 full screen.
        int showState = 0;
        // 0 for an ordinary tabbed window; pop-ups and app windows have other types.
        int type = 0;
        QList<Tab> tabs;
        // The shown tab's position (0-based); -1 when none is known.
        int selectedTab = -1;
    };

    // Files past this size are refused rather than read.
    static constexpr qsizetype maximumFileSize = 64 * 1024 * 1024;

    // Ordinary windows in the order the file first names them, each with its tabs in order.
    QList<Window> windows;
    std::optional<std::int32_t> activeWindow;
    // Commands passed over because their body did not fit their kind.
    int skippedCommands = 0;

    // A read ends soon after stop is set, with nothing (a crafted record can take seconds).
    static std::optional<ChromiumSession> read(QByteArrayView data, QString* problem,
                                               const std::atomic<bool>* stop = nullptr);
    static std::optional<ChromiumSession> readFile(const QString& path, QString* problem,
                                                   const std::atomic<bool>* stop = nullptr);
};
