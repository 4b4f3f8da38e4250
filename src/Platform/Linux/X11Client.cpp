#include "Platform/Linux/X11Client.h"

bool X11Client::isOnScreen(std::optional<quint32> currentDesktop) const {
    constexpr quint32 allDesktops = 0xFFFFFFFF;
    const bool onDesktop =
        !currentDesktop || !desktop || *desktop == allDesktops || *desktop == *currentDesktop;
    return viewable && !minimized && onDesktop;
}
