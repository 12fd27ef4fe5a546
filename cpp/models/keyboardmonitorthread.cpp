#include "keyboardmonitorthread.h"

#include <QDebug>
#include <QMutexLocker>

namespace {

// How long stop() waits for the thread to end.
constexpr unsigned long kStopWaitMs = 3000;

// The Windows virtual-key codes of the mouse buttons.
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;
constexpr int kMiddleButton = 4;
constexpr int kFirstExtraButton = 5;
constexpr int kSecondExtraButton = 6;

} // namespace

KeyboardMonitorThread::KeyboardMonitorThread(QObject *parent)
    : QThread(parent)
{
}

KeyboardMonitorThread::~KeyboardMonitorThread()
{
    if (!stop()) {
        // Destroying a running QThread ends the process; wait it out instead.
        qWarning() << "KeyboardMonitorThread still running after" << kStopWaitMs << "ms, waiting for it to end";
        wait();
    }
}

void KeyboardMonitorThread::start()
{
    if (isRunning())
        return;
    m_stopRequested.store(false);
    QThread::start();
}

bool KeyboardMonitorThread::stop()
{
    m_stopRequested.store(true);
    {
        // Once the hook exists, run() has either seen the request or will
        // return from the hook's loop on quit(), which also works before the
        // loop starts.
        QMutexLocker lock(&m_hookMutex);
        if (m_hook)
            m_hook->quit();
    }
    if (isFinished() || !isRunning())
        return true;
    return wait(kStopWaitMs);
}

void KeyboardMonitorThread::run()
{
    std::unique_ptr<host::InputHook> hook = host::InputHook::create();
    const bool keyboard =
        hook->installKeyboard([this](const host::InputHook::KeyboardHookEvent &event) { lowLevelKeyboardProc(event); });
    const bool mouse =
        hook->installMouse([this](const host::InputHook::MouseHookEvent &event) { lowLevelMouseProc(event); });
    if (!keyboard)
        qWarning() << "KeyboardMonitorThread: keyboard hook not installed, key activity is not seen";
    if (!mouse)
        qWarning() << "KeyboardMonitorThread: mouse hook not installed, button activity is not seen";
    {
        QMutexLocker lock(&m_hookMutex);
        m_hook = hook.get();
    }
    m_hooksRunning.store(true);

    // A stop requested before the hook was published is seen here; one
    // requested later reaches the hook through quit().
    if (!m_stopRequested.load())
        hook->run();

    m_hooksRunning.store(false);
    {
        QMutexLocker lock(&m_hookMutex);
        m_hook = nullptr;
    }
    hook->uninstall();
}

void KeyboardMonitorThread::lowLevelKeyboardProc(const host::InputHook::KeyboardHookEvent &event)
{
    switch (event.message) {
    case host::InputHook::KeyDown:
    case host::InputHook::SysKeyDown:
        emit actionSignal(event.vkCode, true);
        break;
    case host::InputHook::KeyUp:
    case host::InputHook::SysKeyUp:
        emit actionSignal(event.vkCode, false);
        break;
    default:
        break;
    }
}

void KeyboardMonitorThread::lowLevelMouseProc(const host::InputHook::MouseHookEvent &event)
{
    switch (event.message) {
    case host::InputHook::LButtonDown:
    case host::InputHook::LButtonUp:
        emit actionSignal(kLeftButton, event.message == host::InputHook::LButtonDown);
        break;
    case host::InputHook::RButtonDown:
    case host::InputHook::RButtonUp:
        emit actionSignal(kRightButton, event.message == host::InputHook::RButtonDown);
        break;
    case host::InputHook::MButtonDown:
    case host::InputHook::MButtonUp:
        emit actionSignal(kMiddleButton, event.message == host::InputHook::MButtonDown);
        break;
    case host::InputHook::XButtonDown:
    case host::InputHook::XButtonUp: {
        // The high word names the button: 1 the first extra button, 2 the second.
        const int code = int(event.mouseData >> 16) + 4;
        if (code == kFirstExtraButton || code == kSecondExtraButton)
            emit actionSignal(code, event.message == host::InputHook::XButtonDown);
        break;
    }
    default:
        // Moves, the wheel and double clicks are not activity of their own.
        break;
    }
}
