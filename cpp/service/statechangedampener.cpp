#include "statechangedampener.h"

#include "reportassertionfailure.h"
#include "statechange.h"

StateChangeDampener::StateChangeDampener(int interval, QObject *parent)
    : QObject(parent)
    , m_interval(interval)
{
}

StateChangeDampener::~StateChangeDampener()
{
    // The entries have no parent: free them here, silenced first so that a
    // timer cannot pass anything on while they go.
    for (StateChange *change : qAsConst(m_changes)) {
        change->cancel();
        disconnect(change, nullptr, this, nullptr);
        delete change;
    }
}

void StateChangeDampener::setInterval(int interval)
{
    if (interval != m_interval)
        m_interval = interval;
}

void StateChangeDampener::setState(const QString &uri, bool value)
{
    if (!TAVRI_CHECK(!uri.isEmpty()))
        return;
    StateChange *change = m_changes.value(uri);
    if (!change) {
        change = new StateChange(m_interval, uri, !value);
        connect(change, &StateChange::stateChanged, this, &StateChangeDampener::onStateChanged);
        m_changes.insert(uri, change);
    }
    change->request(value);
}

void StateChangeDampener::flush()
{
    // Each entry leaves the map before it is passed on, so that a consumer
    // switching the same item again meanwhile starts a fresh entry.
    const QMap<QString, StateChange *> changes = m_changes;
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        StateChange *change = it.value();
        if (m_changes.value(it.key()) == change)
            m_changes.remove(it.key());
        change->deliver();
        change->deleteLater();
    }
}

void StateChangeDampener::onStateChanged(const QString &uri, bool newValue)
{
    if (!TAVRI_CHECK(!uri.isEmpty()))
        return;
    emit stateChanged(uri, newValue);
}
