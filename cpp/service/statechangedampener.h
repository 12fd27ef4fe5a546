#pragma once

#include <QMap>
#include <QObject>
#include <QString>

class StateChange;

// StateChangeDampener: collects on/off switches per item (a user's URI) and
// passes each one on only after the item has been left alone for a quiet
// interval, so that a consumer acts once instead of once per click.
//
// GUI thread only. Emits stateChanged (uri, newValue) for every settled
// switch and for every entry on flush. Destroying the dampener passes
// nothing on: pending switches are dropped.
class StateChangeDampener : public QObject
{
    Q_OBJECT

public:
    explicit StateChangeDampener(int interval, QObject *parent = nullptr);
    ~StateChangeDampener() override;

    // Applies to items switched for the first time afterwards; an item
    // already switched keeps the interval it started with.
    void setInterval(int interval);
    int interval() const { return m_interval; }

    // Requests that uri's switch become value once the quiet interval has
    // passed without a further request.
    void setState(const QString &uri, bool value);
    // Passes every entry on at once, in uri order, and forgets them all.
    void flush();

signals:
    void stateChanged(const QString &uri, bool newValue);

private slots:
    void onStateChanged(const QString &uri, bool newValue);

private:
    // One entry per uri switched since the last flush; an entry whose
    // interval has run out stays for the next request.
    QMap<QString, StateChange *> m_changes;
    int m_interval;
};
