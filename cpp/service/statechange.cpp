#include "statechange.h"

#include "reportassertionfailure.h"

StateChange::StateChange(int interval, const QString &uri, bool initialValue, QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    if (!TAVRI_CHECK(!uri.isEmpty()))
        return;
    m_uri = uri;
    m_currentValue = initialValue;
    m_pendingValue = initialValue;
    m_interval = interval;
    connect(&m_timer, &QTimer::timeout, this, &StateChange::onTimeout);
}

void StateChange::request(bool value)
{
    m_timer.stop();
    m_pendingValue = value;
    m_timer.start(m_interval);
}

void StateChange::deliver()
{
    m_timer.stop();
    m_currentValue = m_pendingValue;
    emit stateChanged(m_uri, m_pendingValue);
}

void StateChange::cancel()
{
    m_timer.stop();
}

void StateChange::onTimeout()
{
    // The last request wins, even when it returns to the value passed on
    // before: the consumer acts on every settled switch.
    deliver();
}
