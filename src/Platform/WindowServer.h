#pragma once

#include <QList>
#include <QRectF>
#include <QString>

#include <optional>

// One entry of the window server's list. bounds are global, origin at the top left of the
// primary display.
struct WindowServerEntry {
    quint32 windowNumber = 0;
    std::optional<qint32> ownerPID;
    std::optional<QString> ownerName;
    std::optional<QRectF> bounds;
    std::optional<QString> name;
    int layer = 0;
};

// The window server: every window of every application, front to back.
class WindowServer {
public:
    // Options of windowList(); together, OnScreenOnly | ExcludeDesktopElements is 17.
    static constexpr quint32 OptionAll = 0;
    static constexpr quint32 OptionOnScreenOnly = 1;
    static constexpr quint32 OptionExcludeDesktopElements = 16;
    static constexpr quint32 OnScreenWindows = OptionOnScreenOnly | OptionExcludeDesktopElements;

    virtual ~WindowServer() = default;
    // The window list, front to back, or nothing when it cannot be read.
    virtual std::optional<QList<WindowServerEntry>> windowList(quint32 options) = 0;
    // Every window's number, front to back as they stand now, or nothing when it cannot be read.
    // Where a platform can, this reads the order alone, for a wait that looks at it often.
    virtual std::optional<QList<quint32>> stackingOrder() {
        const std::optional<QList<WindowServerEntry>> list = windowList(OptionAll);
        if (!list) {
            return std::nullopt;
        }
        QList<quint32> numbers;
        for (const WindowServerEntry& entry : *list) {
            numbers.append(entry.windowNumber);
        }
        return numbers;
    }
};
