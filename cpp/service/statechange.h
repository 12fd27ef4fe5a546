#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

// StateChange: one item's pending on/off switch inside a StateChangeDampener.
//
// Each request restarts a single-shot quiet interval; when it runs out the
// last requested value is passed on through stateChanged. The object is
// reused for later requests of the same item. GUI thread only; the
// dampener that created it owns it.
class StateChange : public QObject
{
    Q_OBJECT

public:
    // An empty uri is a broken invariant: the object is left inert (it has
    // no uri and never fires).
    StateChange(int interval, const QString &uri, bool initialValue, QObject *parent = nullptr);

    QString uri() const { return m_uri; }
    bool currentValue() const { return m_currentValue; }
    bool pendingValue() const { return m_pendingValue; }
    int interval() const { return m_interval; }

    // Stops the timer, makes value the one to pass on and starts the quiet
    // interval again.
    void request(bool value);
    // Passes the pending value on at once, whether or not it was passed on
    // before.
    void deliver();
    // Stops the timer without passing anything on.
    void cancel();

signals:
    void stateChanged(const QString &uri, bool newValue);

private slots:
    void onTimeout();

private:
    QString m_uri;
    bool m_currentValue = false;
    bool m_pendingValue = false;
    QTimer m_timer;
    int m_interval = 0;
};
