#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

namespace host {

// System-wide keyboard and mouse-button activity for the idle detector,
// whatever window has focus. One hook belongs to one monitor thread: it is
// created, installed, run and uninstalled there; only quit() may be called
// from another thread. Procedures are called on the thread inside run().
//
// Events carry the Windows message numbers and virtual-key codes, so that the
// hook procedures filter them exactly as they would on Windows.
class InputHook
{
public:
    enum Message : quint32 {
        KeyDown = 0x100,
        KeyUp = 0x101,
        SysKeyDown = 0x104,
        SysKeyUp = 0x105,
        Move = 0x200,
        LButtonDown = 0x201,
        LButtonUp = 0x202,
        LButtonDblClk = 0x203,
        RButtonDown = 0x204,
        RButtonUp = 0x205,
        RButtonDblClk = 0x206,
        MButtonDown = 0x207,
        MButtonUp = 0x208,
        MButtonDblClk = 0x209,
        Wheel = 0x20A,
        XButtonDown = 0x20B,
        XButtonUp = 0x20C,
    };

    struct KeyboardHookEvent {
        Message message;
        int vkCode;
    };

    // For the X buttons the high word of mouseData is 1 (first) or 2 (second).
    struct MouseHookEvent {
        Message message;
        quint32 mouseData;
    };

    using KeyboardProc = std::function<void(const KeyboardHookEvent &)>;
    using MouseProc = std::function<void(const MouseHookEvent &)>;
    using Factory = std::function<std::unique_ptr<InputHook>()>;

    virtual ~InputHook();

    // A new hook for the calling thread: the one made by the factory set with
    // setFactory(), else the platform's default (XInputHook).
    static std::unique_ptr<InputHook> create();
    // Replaces the hook that create() makes; an empty factory restores the
    // default. Meant for tests; set it before any monitor thread starts.
    static void setFactory(Factory factory);

    // false means the hook is not installed and will report nothing.
    virtual bool installKeyboard(KeyboardProc proc) = 0;
    virtual bool installMouse(MouseProc proc) = 0;
    // Delivers events until quit() is called; runs even with no hook installed.
    virtual void run() = 0;
    // Thread-safe. Makes run() return, also when called before run() starts.
    virtual void quit() = 0;
    virtual void uninstall() = 0;
};

} // namespace host
