#pragma once

// Fixtures shared by the web-client tests: a reply handler that records what
// it is given, an error receiver with a string-connected slot, the process's
// log, and access to the manager's session id.

#include "jsonreplyhandler.h"
#include "logcapture.h"
#include "socialmanager.h"
#include "socialquery.h"
#include "testenvironment.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QList>
#include <QPair>
#include <QString>

namespace webtest {

// Records every reply and network error it receives.
class RecordingReplyHandler : public JsonReplyHandler
{
public:
    bool handleReply(const QString &method, const QJsonDocument &reply) override
    {
        replies.append({method, reply});
        return true;
    }
    void onError(const QNetworkReply::NetworkError &errorCode) override { errors.append(errorCode); }

    QList<QPair<QString, QJsonDocument>> replies;
    QList<int> errors;
};

// Gives tests the session id that the reply dispatch stores.
class TestSocialManager : public QSocialManager
{
public:
    using QSocialManager::QSocialManager;
    using QSocialManager::setEventRetryCount;
    using QSocialManager::setEventTransferTimeout;
    using QSocialManager::setSessionId;
};

// The log of the whole test process, kept from the first call on; lines of
// warning level and above are passed on to Qt Test's own handler as well.
inline LogCapture &testLog()
{
    static LogCapture log(LogCapture::ForwardWarnings);
    return log;
}

// The queries of the manager still waiting for method's reply.
inline QList<QSocialQuery *> pendingQueries(QSocialManager *manager, const QString &method)
{
    QList<QSocialQuery *> result;
    for (QSocialQuery *query : manager->findChildren<QSocialQuery *>()) {
        if (query->method() == method)
            result.append(query);
    }
    return result;
}

using tavritest::flushDeferredDeletes;

} // namespace webtest
