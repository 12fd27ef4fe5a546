#include "idlehandler.h"

#include "keyboardmonitorthread.h"

#include <QCoreApplication>
#include <QDebug>

#include <limits>

namespace {

// The idle period before the first setInterval().
constexpr int kDefaultIdleMs = 600000;

} // namespace

IdleHandler::IdleHandler(QObject *parent)
    : QObject(parent)
{
    m_idleTimer.setInterval(kDefaultIdleMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &IdleHandler::onTimeout);
    if (QCoreApplication *app = QCoreApplication::instance())
        m_aboutToQuitConnection = connect(app, &QCoreApplication::aboutToQuit, this, &IdleHandler::onAppAboutToQuit);
}

IdleHandler::~IdleHandler()
{
    qDebug() << "~IdleHandler() - begin";
    disconnect(&m_idleTimer, nullptr, this, nullptr);
    stop();
    qDebug() << "~IdleHandler() - end";
}

void IdleHandler::setInterval(int seconds)
{
    m_intervalSeconds = seconds;
    if (seconds == 0) {
        stop();
        return;
    }
    if (seconds < 0) {
        qWarning() << "IdleHandler: idle interval" << seconds << "s is negative, stopping";
        stop();
        return;
    }
    // Timers count in int milliseconds; longer periods are cut to the longest.
    const qint64 milliseconds = qint64(seconds) * 1000;
    if (milliseconds > std::numeric_limits<int>::max()) {
        qWarning() << "IdleHandler: idle interval" << seconds << "s is too long, using"
                   << std::numeric_limits<int>::max() / 1000 << "s";
    }
    m_idleTimer.start(int(qMin<qint64>(milliseconds, std::numeric_limits<int>::max())));
}

void IdleHandler::start()
{
    if (m_intervalSeconds < 1) {
        qDebug() << "Idle Handler set to invalid frequency, not starting...";
        return;
    }
    qDebug() << "Starting Idle Handler...";
    if (!m_monitorThread) {
        // The thread is a child so that one still ending when this handler
        // goes is waited for rather than leaked; finished() deletes it sooner.
        m_monitorThread = new KeyboardMonitorThread(this);
        connect(m_monitorThread, &KeyboardMonitorThread::actionSignal, this, &IdleHandler::onActionSignal);
        connect(m_monitorThread, &QThread::finished, m_monitorThread, &QObject::deleteLater);
    }
    m_monitorThread->start();
    if (m_monitorThread->hooksRunning())
        m_idleTimer.start();
}

void IdleHandler::onActionSignal(int keyCode, bool isPressed)
{
    Q_UNUSED(keyCode)
    Q_UNUSED(isPressed)
    // An event already queued when the monitor was stopped belongs to no
    // idle period any more.
    if (!m_monitorThread || sender() != m_monitorThread)
        return;
    performAction();
}

void IdleHandler::performAction()
{
    if (!m_idleTimer.isActive()) {
        qDebug() << "IdleHandler emitting online";
        emit online();
    }
    m_idleTimer.start();
}

void IdleHandler::onTimeout()
{
    qDebug() << "IdleHandler emitting away";
    emit away();
    m_idleTimer.stop();
}

void IdleHandler::stop()
{
    qDebug() << "Stopping Idle Handler";
    if (m_monitorThread) {
        qDebug() << "IdleHandler::stop() - disconnecting thread signal";
        disconnect(m_monitorThread, &KeyboardMonitorThread::actionSignal, this, &IdleHandler::onActionSignal);
        KeyboardMonitorThread *thread = m_monitorThread;
        m_monitorThread = nullptr;
        if (!thread->stop())
            qWarning() << "IdleHandler: the activity monitor did not end in time";
    }
    m_idleTimer.stop();
    qDebug() << "Idle Handler stopped";
}

void IdleHandler::onAppAboutToQuit()
{
    disconnect(m_aboutToQuitConnection);
    stop();
}
