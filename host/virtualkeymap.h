#pragma once

#include <QtGlobal>

namespace host {

// Windows virtual-key codes for the keys Qt reports on X11 and Wayland.
// Push-to-talk keys are stored and exchanged as Windows virtual-key codes,
// so key capture turns each native key event into one. Both functions are
// pure and thread-safe; each returns 0 for a key it does not know.
class VirtualKeyMap
{
public:
    // The virtual key of a physical key position, keeping the side of
    // modifiers (left/right Shift, Control, Alt, Windows key). The native scan
    // code under xcb and Wayland is the XKB keycode (evdev code + 8); keys are
    // named by their position on a US layout.
    static quint32 fromScanCode(quint32 nativeScanCode);

    // The virtual key Windows reports in WM_KEYDOWN for the key that produced
    // this X keysym: the generic Shift/Control/Alt codes for either side,
    // letters as upper case, shifted US punctuation as its unshifted key.
    static quint32 fromNativeVirtualKey(quint32 nativeVirtualKey);

private:
    VirtualKeyMap() = delete;
};

} // namespace host
