#pragma once

#include "inputhook.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <variant>

namespace host {

// An input hook driven by the test: inject() queues an event from any thread
// and run() delivers it on the monitor thread to the installed procedure.
// Either install can be made to fail. Events for a procedure that is not
// installed are dropped, as a missing hook reports nothing.
class ScriptedInputHook : public InputHook
{
public:
    ScriptedInputHook() = default;

    void setKeyboardInstallFails(bool fails);
    void setMouseInstallFails(bool fails);

    void inject(const KeyboardHookEvent &event);
    void inject(const MouseHookEvent &event);

    // Thread-safe: waits until run() has started delivering.
    bool waitUntilRunning(int timeoutMs);
    bool isKeyboardInstalled() const;
    bool isMouseInstalled() const;

    bool installKeyboard(KeyboardProc proc) override;
    bool installMouse(MouseProc proc) override;
    void run() override;
    void quit() override;
    void uninstall() override;

private:
    using Event = std::variant<KeyboardHookEvent, MouseHookEvent>;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Event> m_queue;
    KeyboardProc m_keyboardProc;
    MouseProc m_mouseProc;
    bool m_keyboardFails = false;
    bool m_mouseFails = false;
    bool m_running = false;
    bool m_quit = false;
};

} // namespace host
