#pragma once

class QWindow;

namespace host {

// Window-manager hints applied when the program shows its windows. Works on
// the window's flags, so it needs no native handle and also runs offscreen.
// GUI thread only; a null window is ignored.
class WindowStyle
{
public:
    // Lets the window manager decide whether the window is on the taskbar,
    // as an ordinary top-level window: a tool (utility) window, which X11 and
    // Wayland keep off the taskbar, becomes a normal window with the same
    // hints. Other window types, and owned (transient) windows, are left alone.
    static void clearTaskbarStyles(QWindow *window);

    // Takes the window out of the always-on-top band.
    static void leaveTopmostBand(QWindow *window);

private:
    WindowStyle() = delete;
};

} // namespace host
