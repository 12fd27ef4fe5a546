#include "scriptedinputhook.h"

#include <chrono>

namespace host {

void ScriptedInputHook::setKeyboardInstallFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keyboardFails = fails;
}

void ScriptedInputHook::setMouseInstallFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mouseFails = fails;
}

void ScriptedInputHook::inject(const KeyboardHookEvent &event)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(event);
    m_wake.notify_all();
}

void ScriptedInputHook::inject(const MouseHookEvent &event)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(event);
    m_wake.notify_all();
}

bool ScriptedInputHook::waitUntilRunning(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_running; });
}

bool ScriptedInputHook::isKeyboardInstalled() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return bool(m_keyboardProc);
}

bool ScriptedInputHook::isMouseInstalled() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return bool(m_mouseProc);
}

bool ScriptedInputHook::installKeyboard(KeyboardProc proc)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_keyboardFails)
        return false;
    m_keyboardProc = std::move(proc);
    return true;
}

bool ScriptedInputHook::installMouse(MouseProc proc)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_mouseFails)
        return false;
    m_mouseProc = std::move(proc);
    return true;
}

void ScriptedInputHook::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_running = true;
    m_wake.notify_all();
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
        if (m_quit)
            break;
        const Event event = m_queue.front();
        m_queue.pop_front();
        // Procedures run unlocked, so they may inject or quit themselves.
        if (const auto *key = std::get_if<KeyboardHookEvent>(&event)) {
            KeyboardProc proc = m_keyboardProc;
            lock.unlock();
            if (proc)
                proc(*key);
        } else {
            MouseProc proc = m_mouseProc;
            lock.unlock();
            if (proc)
                proc(std::get<MouseHookEvent>(event));
        }
        lock.lock();
    }
    m_running = false;
}

void ScriptedInputHook::quit()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
    m_wake.notify_all();
}

void ScriptedInputHook::uninstall()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keyboardProc = nullptr;
    m_mouseProc = nullptr;
}

} // namespace host
