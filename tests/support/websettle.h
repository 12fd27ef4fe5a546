#pragma once

// webtest::settle: the barrier that shows a test that the web client is done.
//
// The fake answers every request on a connection of its own, so the order in
// which requests arrive proves nothing about the ones still on their way. The
// barrier therefore queues a marker call behind everything already queued on
// the event loop, waits for the marker to arrive, and then waits until the
// client has no call in flight but the ones the fake holds open with hang():
// every call posted before the marker has then been answered and handled
// (a handler that posts a follow-up call keeps the count above zero).
//
// Header-only: it needs the program's web client, which the shared support
// library does not link.

#include "fakewebservice.h"
#include "jsonreplyhandler.h"
#include "socialmanager.h"
#include "socialquery.h"

#include <QJsonObject>
#include <QMetaObject>
#include <QUrl>
#include <QtTest>

namespace webtest {

// Takes the marker's answer, so the client's own dispatch never sees it.
class SettleMarkerSink : public JsonReplyHandler
{
public:
    bool handleReply(const QString &, const QJsonDocument &) override { return true; }
};

inline int callsInFlight(const QSocialManager &client)
{
    return client.findChildren<QSocialQuery *>(QString(), Qt::FindDirectChildrenOnly).size();
}

// True once every call `client` posted before now is answered and handled.
inline bool settle(FakeWebService &web, QSocialManager &client, int timeoutMs = 10000)
{
    SettleMarkerSink sink;
    const QUrl url(web.apiUrl());
    QMetaObject::invokeMethod(
        &client,
        [&client, &sink, url] {
            client.performQuery(url, QJsonObject{{"method", FakeWebService::SettleMarkerMethod}}, &sink);
        },
        Qt::QueuedConnection);
    if (!web.waitForRequest(FakeWebService::SettleMarkerMethod, timeoutMs))
        return false;
    return QTest::qWaitFor([&] { return callsInFlight(client) <= web.hangingCount(); }, timeoutMs);
}

} // namespace webtest
