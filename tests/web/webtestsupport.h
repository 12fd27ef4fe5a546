#pragma once

// Fixtures shared by the web-client tests: a reply handler that records what
// it is given, an error receiver with a string-connected slot, the process's
// log, access to the manager's session id, and a web client over a fresh
// fake web service for each test function.

#include "fakewebservice.h"
#include "jsonreplyhandler.h"
#include "logcapture.h"
#include "socialmanager.h"
#include "socialquery.h"
#include "testenvironment.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QList>
#include <QNetworkProxy>
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

// Once per test process: no proxy between the client and the fake, a fixed
// client version, and the log captured from the start.
inline void startWebTests()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    testLog();
}

// A web client of class Manager over a fresh fake web service, for one test
// function; the log starts empty.
template <class Manager>
void openClientOverFake(FakeWebService *&fake, Manager *&manager)
{
    fake = new FakeWebService;
    manager = new Manager(nullptr, fake->apiUrl(), fake->host());
    testLog().clear();
}

// Ends what openClientOverFake made, with every deferred delete it left, and
// gives the requests the fake did not expect.
template <class Manager>
QStringList closeClientOverFake(FakeWebService *&fake, Manager *&manager)
{
    const QStringList unexpected = fake->unexpected();
    delete manager;
    manager = nullptr;
    delete fake;
    fake = nullptr;
    flushDeferredDeletes();
    return unexpected;
}

} // namespace webtest
