#pragma once

// Fixtures shared by the web-client tests: a reply handler that records what
// it is given, an error receiver with a string-connected slot, a capture of
// log lines, and access to the manager's session id.

#include "jsonreplyhandler.h"
#include "socialmanager.h"
#include "socialquery.h"

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
    bool handleReply(const QString& method, const QJsonDocument& reply) override
    {
        replies.append({method, reply});
        return true;
    }
    void onError(const QNetworkReply::NetworkError& errorCode) override { errors.append(errorCode); }

    QList<QPair<QString, QJsonDocument>> replies;
    QList<int> errors;
};

// Gives tests the session id that the reply dispatch stores.
class TestSocialManager : public QSocialManager
{
public:
    using QSocialManager::QSocialManager;
    using QSocialManager::setSessionId;
};

// Keeps every log line of the process; lines of warning level and above are
// passed on to Qt Test's own handler as well.
class LogCapture
{
public:
    struct Entry {
        QtMsgType type;
        QString category, file, function, message;
    };

    static void install() { previous() = qInstallMessageHandler(&LogCapture::handle); }
    static void clear() { entries().clear(); }
    static QList<Entry>& entries()
    {
        static QList<Entry> list;
        return list;
    }
    // The lines whose message contains text.
    static QList<Entry> matching(const QString& text)
    {
        QList<Entry> result;
        for (const Entry& entry : entries()) {
            if (entry.message.contains(text))
                result.append(entry);
        }
        return result;
    }

private:
    static QtMessageHandler& previous()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        entries().append({type, QString::fromUtf8(context.category), QString::fromUtf8(context.file),
                          QString::fromUtf8(context.function), message});
        if (type != QtDebugMsg && type != QtInfoMsg && previous())
            previous()(type, context, message);
    }
};

// The queries of the manager still waiting for method's reply.
inline QList<QSocialQuery*> pendingQueries(QSocialManager* manager, const QString& method)
{
    QList<QSocialQuery*> result;
    for (QSocialQuery* query : manager->findChildren<QSocialQuery*>()) {
        if (query->method() == method)
            result.append(query);
    }
    return result;
}

// Runs deferred deletions, so that finished queries are gone before a leak
// check at exit.
inline void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace webtest
