#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

namespace host {

// Turns the process's termination signals into a Qt signal on the event loop.
//
// The signal handler only writes the signal number to a self-pipe; the read
// end is watched by a QSocketNotifier, so everything that follows runs on the
// thread that created this object, in its event loop, with no restriction on
// what it may call. The handlers are installed by the constructor and the
// previous ones restored by the destructor. One instance per process.
class ShutdownSignals : public QObject
{
    Q_OBJECT
public:
    // Catches SIGTERM, SIGINT and SIGHUP.
    explicit ShutdownSignals(QObject *parent = nullptr);
    ~ShutdownSignals() override;

    // False when the pipe or a handler could not be set up (logged once).
    bool isActive() const { return m_active; }

    // "SIGTERM" and the like, for log lines.
    static const char *signalName(int signalNumber);

signals:
    void shutdownRequested(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
    QList<int> m_caught;
    bool m_active = false;
};

} // namespace host
