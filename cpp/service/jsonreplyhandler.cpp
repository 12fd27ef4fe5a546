#include "jsonreplyhandler.h"

JsonReplyHandler::JsonReplyHandler(QObject *parent)
    : QObject(parent)
{
}

JsonReplyHandler::~JsonReplyHandler() = default;

void JsonReplyHandler::onError(const QNetworkReply::NetworkError &errorCode)
{
    Q_UNUSED(errorCode)
}
