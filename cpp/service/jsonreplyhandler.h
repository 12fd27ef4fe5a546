#pragma once

#include <QJsonDocument>
#include <QNetworkReply>
#include <QObject>
#include <QString>

// JsonReplyHandler: the receiver of a web-service reply.
//
// Every object that posts a web call through QSocialManager::performQuery
// names a handler; the transport hands it the parsed answer together with the
// request's "method" text (requests carry no id, so the method is how a
// handler tells its calls apart), or the network error when the call failed.
// Lives on the main thread. A handler may be deleted while its calls are in
// flight: their answers are then dropped.
class JsonReplyHandler : public QObject
{
    Q_OBJECT
public:
    explicit JsonReplyHandler(QObject *parent = nullptr);
    ~JsonReplyHandler() override;

    // A reply arrived for a call whose "method" field was `method`. A reply
    // that is not JSON arrives as a null document; a bare JSON value arrives
    // as an object whose only field "result" holds it. The transport ignores
    // the result.
    virtual bool handleReply(const QString &method, const QJsonDocument &reply) = 0;

public slots:
    // The call failed at network level (HTTP errors included); no reply
    // follows. Does nothing by default.
    virtual void onError(const QNetworkReply::NetworkError &errorCode);
};
