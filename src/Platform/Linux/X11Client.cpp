#include "Platform/Linux/X11Client.h"

bool X11Client::isOnDesktop(std::optional<quint32> currentDesktop) const {
    constexpr quint32 allDesktops = 0xFFFFFFFF;
    return !currentDesktop || !desktop || *desktop == allDesktops || *desktop == *currentDesktop;
}

bool X11Client::isOnScreen(std::optional<quint32> currentDesktop) const {
    return viewable && !minimized && isOnDesktop(currentDesktop);
}

bool X11Client::minimizedOn(std::optional<quint32> currentDesktop) const {
    return isOnDesktop(currentDesktop) ? iconic || (hiddenState && !viewable) : hiddenState;
}
