#pragma once

#include "jsonreplyhandler.h"

// EventLogger: the reply handler of the analytics sends.
//
// QSocialManager sends its queued analytics events one at a time with this
// object as handler and learns from its two signals whether the send went
// through (the next event may go) or failed at network level (the event is
// queued again). The answer's content is never read. Owned by the manager;
// main thread only.
class EventLogger : public JsonReplyHandler
{
    Q_OBJECT
public:
    explicit EventLogger(QObject *parent = nullptr);

    bool handleReply(const QString &method, const QJsonDocument &reply) override;
    // Cleared by the manager before each send.
    void setSendFailed(bool sendFailed) { m_sendFailed = sendFailed; }

signals:
    void eventSendComplete();
    void eventSendErrored(int errorCode);

protected slots:
    void onError(const QNetworkReply::NetworkError &errorCode) override;

private:
    bool m_sendFailed = false;
};
