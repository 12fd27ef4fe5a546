#pragma once

#include <QMutex>
#include <QThread>

#include <atomic>
#include <memory>

#include "inputhook.h"

// KeyboardMonitorThread: watches keyboard and mouse-button activity
// system-wide, whatever window has focus, for the idle detector.
//
// The thread installs a keyboard and a mouse hook (host::InputHook) and runs
// the hook's event loop until stop(). Each key or button press and release
// emits actionSignal(code, isPressed) from the monitor thread, with the
// Windows virtual-key code of the key or button (1 left, 2 right, 4 middle,
// 5 and 6 the extra buttons); receivers on other threads get it queued.
// Pointer moves and the wheel emit nothing. A hook that cannot be installed
// reports nothing; the loop runs anyway.
//
// Created, started and stopped on the owner's thread (the GUI thread).
class KeyboardMonitorThread : public QThread
{
    Q_OBJECT

public:
    explicit KeyboardMonitorThread(QObject *parent = nullptr);
    // Stops the thread and waits for it to end.
    ~KeyboardMonitorThread() override;

    // Starts monitoring; does nothing while the thread runs. Clears the stop
    // request here, on the starting thread, so that a stop() made at any time
    // after this call is never lost.
    void start();

    // Asks the thread to end and waits up to 3000 ms for it. Safe before the
    // thread has got as far as its event loop: the loop is then not entered.
    // Returns whether the thread has ended.
    bool stop();

    // True once the thread has installed its hooks (whether or not each one
    // could be installed) and until it leaves its loop.
    bool hooksRunning() const { return m_hooksRunning.load(); }

signals:
    void actionSignal(int code, bool isPressed);

protected:
    void run() override;

private:
    void lowLevelKeyboardProc(const host::InputHook::KeyboardHookEvent &event);
    void lowLevelMouseProc(const host::InputHook::MouseHookEvent &event);

    std::atomic<bool> m_hooksRunning{false};
    // Set from construction until start(), and again by stop().
    std::atomic<bool> m_stopRequested{true};
    // Guards m_hook between the monitor thread, which creates and destroys
    // it, and stop(), which makes its loop return.
    QMutex m_hookMutex;
    host::InputHook *m_hook = nullptr;
};
