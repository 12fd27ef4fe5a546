#include "eventlogger.h"

#include "logcategories.h"

EventLogger::EventLogger(QObject *parent)
    : JsonReplyHandler(parent)
{
}

bool EventLogger::handleReply(const QString &method, const QJsonDocument &reply)
{
    Q_UNUSED(reply)
    qCDebug(ssint).noquote() << "EventLogger::handleReply(" << method << ")";
    if (!m_sendFailed)
        emit eventSendComplete();
    return true;
}

void EventLogger::onError(const QNetworkReply::NetworkError &errorCode)
{
    m_sendFailed = true;
    emit eventSendErrored(errorCode);
}
