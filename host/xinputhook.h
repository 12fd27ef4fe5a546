#pragma once

#include "inputhook.h"

#include <atomic>

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

namespace host {

// The default input hook: XInput 2.1 raw key and button events from the
// root window, which reach this client for all input, whatever has focus and
// without a grab. It opens its own X connection on the monitor thread.
// Key codes become virtual keys through VirtualKeyMap::fromScanCode; pointer
// motion is not selected. Without DISPLAY or XInput 2.1 both installs fail
// and one warning is logged. A lost X connection (an Xwayland restart, say)
// is logged and run() goes on without it until quit(); the process is not
// ended. Under Wayland only input to X clients is seen.
class XInputHook : public InputHook
{
public:
    XInputHook();
    ~XInputHook() override;

    bool installKeyboard(KeyboardProc proc) override;
    bool installMouse(MouseProc proc) override;
    void run() override;
    void quit() override;
    void uninstall() override;

private:
    bool openDisplay();
    void selectEvents();
    void dispatch(XEvent &event);
    static void onConnectionLost(Display *display, void *self);

    Display *m_display = nullptr;
    int m_xiOpcode = -1;
    bool m_openFailed = false;
    bool m_connectionLost = false;
    int m_quitFd = -1;
    std::atomic<bool> m_quit{false};
    KeyboardProc m_keyboardProc;
    MouseProc m_mouseProc;
};

} // namespace host
