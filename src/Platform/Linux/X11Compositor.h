#pragma once

// Whether a compositing manager runs on the X display Qt is connected to (it owns the selection
// _NET_WM_CM_S<screen>): only then do translucent windows show what lies behind them; without
// one they would show black. False without an X display.
class X11Compositor {
public:
    X11Compositor() = delete;

    static bool isRunning();
};
