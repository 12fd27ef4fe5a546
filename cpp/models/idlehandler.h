#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "keyboardmonitorthread.h"

// IdleHandler: turns a stretch without keyboard or mouse-button activity into
// away() and the next activity after it into online().
//
// setInterval() sets the idle period in seconds and start() starts the
// activity monitor (KeyboardMonitorThread). Every key or button event
// restarts the idle timer; when the timer runs out, away() is emitted once
// and the timer stops, and the next event emits online() and starts it again.
// stop() (also at application quit) ends the monitor and the timer.
//
// Lives on the GUI thread; the monitor's events arrive queued.
class IdleHandler : public QObject
{
    Q_OBJECT

public:
    explicit IdleHandler(QObject *parent = nullptr);
    ~IdleHandler() override;

    // Seconds without activity before away(). 0 stops the handler; another
    // value (re)starts the idle timer with it.
    void setInterval(int seconds);
    int interval() const { return m_intervalSeconds; }

    // Starts the activity monitor; refused while the interval is below one
    // second.
    void start();

    bool isTimerActive() const { return m_idleTimer.isActive(); }
    int timerInterval() const { return m_idleTimer.interval(); }
    // The running activity monitor; null while stopped.
    KeyboardMonitorThread *monitorThread() const { return m_monitorThread; }

signals:
    void online();
    void away();

public slots:
    // One piece of activity: announces the return after an idle period and
    // restarts the idle timer.
    void performAction();
    void stop();
    void onTimeout();
    void onActionSignal(int keyCode, bool isPressed);
    void onAppAboutToQuit();

private:
    int m_intervalSeconds = 0;
    QTimer m_idleTimer;
    QPointer<KeyboardMonitorThread> m_monitorThread;
    QMetaObject::Connection m_aboutToQuitConnection;
};
