#include "tavrisharedidentityrealmjsonreplyhandler.h"

#include <QDebug>

TavriSharedIdentityRealmJsonReplyHandler::TavriSharedIdentityRealmJsonReplyHandler(QObject *parent)
    : JsonReplyHandler(parent)
{
}

bool TavriSharedIdentityRealmJsonReplyHandler::handleReply(const QString &method, const QJsonDocument &reply)
{
    Q_UNUSED(reply)
    qDebug() << "TavriSharedIdentityRealmJsonReplyHandler::handleReply" << method;
    return false;
}

void TavriSharedIdentityRealmJsonReplyHandler::onError(const QNetworkReply::NetworkError &errorCode)
{
    qDebug() << "TavriSharedIdentityRealmJsonReplyHandler::onError"
             << "failed to execute server command:" << errorCode;
}
