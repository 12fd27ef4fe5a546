// The scripted web-service fake that the web-client tests rely on: what it
// records, how it answers, and the failures it can stage.

#include "fakewebservice.h"
#include "testenvironment.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QtTest>

class FakeWebServiceTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void recordsRequestAsReceived();
    void answersFromQueueThenDefault();
    void answersBareValuesAndRawBodies_data();
    void answersBareValuesAndRawBodies();
    void stagesNetworkFailures_data();
    void stagesNetworkFailures();
    void hungRequestDoesNotBlockOthers();
    void delaysAnswer();
    void unscriptedMethodGetsErrAndIsListed();
    void leavesLogEventsOutByDefault();
    void waitForRequestWaitsForEachNewRequest();
    void shortLinkIsScriptedByPath();

private:
    QNetworkReply *post(const QString &url, const QByteArray &body,
                        const QByteArray &userAgent = "WIN/Tavri/0.6.18.8668");
    // Waits for the reply to finish; returns its body.
    QByteArray finish(QNetworkReply *reply, QNetworkReply::NetworkError *error = nullptr, int *status = nullptr);

    QNetworkAccessManager *m_network = nullptr;
    FakeWebService *m_fake = nullptr;
};

void FakeWebServiceTest::initTestCase()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void FakeWebServiceTest::init()
{
    m_network = new QNetworkAccessManager;
    m_fake = new FakeWebService;
}

void FakeWebServiceTest::cleanup()
{
    delete m_fake;
    delete m_network;
}

QNetworkReply *FakeWebServiceTest::post(const QString &url, const QByteArray &body, const QByteArray &userAgent)
{
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    if (!userAgent.isEmpty())
        request.setRawHeader("User-Agent", userAgent);
    return m_network->post(request, body);
}

QByteArray FakeWebServiceTest::finish(QNetworkReply *reply, QNetworkReply::NetworkError *error, int *status)
{
    if (!reply->isFinished()) {
        QSignalSpy finished(reply, &QNetworkReply::finished);
        finished.wait(30000); // generous: sanitizer builds run many tests at once
    }
    const QByteArray body = reply->readAll();
    if (error)
        *error = reply->error();
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->deleteLater();
    return body;
}

void FakeWebServiceTest::recordsRequestAsReceived()
{
    m_fake->reply("getContactGroups", QJsonObject{{"data", QJsonArray()}});
    QSignalSpy received(m_fake, &FakeWebService::requestReceived);
    const QByteArray body =
        "&client_version=1.0&email=a%2Bb&method=getContactGroups&os=WIN&osver=48&password=p%20w+x&&flag";
    QCOMPARE(finish(post(m_fake->apiUrl(), body)), QByteArray("{\"data\":[]}"));

    QCOMPARE(received.count(), 1);
    const auto request = m_fake->requestsFor("getContactGroups").value(0);
    QCOMPARE(request.path, QString("gateway.php"));
    QCOMPARE(request.body, body);
    QCOMPARE(request.userAgent, QByteArray("WIN/Tavri/0.6.18.8668"));
    QCOMPARE(request.contentType, QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(request.method(), QString("getContactGroups"));
    QCOMPARE(request.value("email"), QString("a+b"));
    QCOMPARE(request.value("password"), QString("p w+x")); // '+' is never a space
    QVERIFY(request.has("flag"));
    QVERIFY(!request.has("sid"));
    QCOMPARE(request.fields.first().first, QString("client_version")); // wire order, empty pairs skipped
    QCOMPARE(request.fields.size(), 7);
    QCOMPARE(received.first().first().value<FakeWebService::Request>().body, body);
}

void FakeWebServiceTest::answersFromQueueThenDefault()
{
    m_fake->reply("LoginUser", QJsonObject{{"sid", "s1"}});
    m_fake->reply("LoginUser", QJsonObject{{"sid", "s2"}});
    m_fake->setDefault("LoginUser", QJsonObject{{"sid", "sticky"}});
    QStringList answers;
    for (int i = 0; i < 4; ++i)
        answers << QJsonDocument::fromJson(finish(post(m_fake->apiUrl(), "&method=LoginUser")))
                       .object()
                       .value("sid")
                       .toString();
    QCOMPARE(answers, QStringList({"s1", "s2", "sticky", "sticky"}));
    QVERIFY(m_fake->unexpected().isEmpty());
}

void FakeWebServiceTest::answersBareValuesAndRawBodies_data()
{
    QTest::addColumn<int>("kind"); // 0: reply(), 1: replyRaw()
    QTest::addColumn<QJsonValue>("json");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("number") << 0 << QJsonValue(42) << QByteArray() << QByteArray("42");
    QTest::newRow("text") << 0 << QJsonValue("x") << QByteArray() << QByteArray("\"x\"");
    QTest::newRow("bool") << 0 << QJsonValue(true) << QByteArray() << QByteArray("true");
    QTest::newRow("array") << 0 << QJsonValue(QJsonArray{1, "a"}) << QByteArray() << QByteArray("[1,\"a\"]");
    QTest::newRow("raw reply tags") << 1 << QJsonValue() << QByteArray("<reply>[{\"id\":\"42\",\"c\":3}]</reply>")
                                    << QByteArray("<reply>[{\"id\":\"42\",\"c\":3}]</reply>");
    QTest::newRow("raw malformed") << 1 << QJsonValue() << QByteArray("{not json") << QByteArray("{not json");
}

void FakeWebServiceTest::answersBareValuesAndRawBodies()
{
    QFETCH(int, kind);
    QFETCH(QJsonValue, json);
    QFETCH(QByteArray, raw);
    QFETCH(QByteArray, expected);
    if (kind == 0)
        m_fake->reply("userUuidExists", json);
    else
        m_fake->replyRaw("userUuidExists", raw);
    QNetworkReply::NetworkError error;
    QCOMPARE(finish(post(m_fake->apiUrl(), "&method=userUuidExists"), &error), expected);
    QCOMPARE(error, QNetworkReply::NoError);
}

void FakeWebServiceTest::stagesNetworkFailures_data()
{
    QTest::addColumn<int>("httpStatus"); // 0: drop
    QTest::addColumn<QNetworkReply::NetworkError>("expected");
    QTest::newRow("drop") << 0 << QNetworkReply::RemoteHostClosedError;
    QTest::newRow("500") << 500 << QNetworkReply::InternalServerError;
    QTest::newRow("404") << 404 << QNetworkReply::ContentNotFoundError;
}

void FakeWebServiceTest::stagesNetworkFailures()
{
    QFETCH(int, httpStatus);
    QFETCH(QNetworkReply::NetworkError, expected);
    if (httpStatus == 0)
        m_fake->drop("LogEvent");
    else
        m_fake->replyRaw("LogEvent", "{\"ignored\":1}", httpStatus);
    QNetworkReply::NetworkError error;
    int status = -1;
    finish(post(m_fake->apiUrl(), "&method=LogEvent"), &error, &status);
    QCOMPARE(error, expected);
    if (httpStatus)
        QCOMPARE(status, httpStatus);
    QCOMPARE(m_fake->requests(true).size(), 1); // not re-sent by the client
    // The failure is used up: the next event gets the default answer.
    QCOMPARE(finish(post(m_fake->apiUrl(), "&method=LogEvent"), &error), QByteArray("{}"));
    QCOMPARE(error, QNetworkReply::NoError);
}

void FakeWebServiceTest::hungRequestDoesNotBlockOthers()
{
    m_fake->hang("GetChannelsOwned");
    m_fake->reply("getContactGroups", QJsonObject());
    QNetworkReply *hung = post(m_fake->apiUrl(), "&method=GetChannelsOwned");
    QVERIFY(m_fake->waitForRequest("GetChannelsOwned"));
    QCOMPARE(finish(post(m_fake->apiUrl(), "&method=getContactGroups")), QByteArray("{}"));
    QVERIFY(!hung->isFinished());
    delete m_fake; // closing the fake ends the hung request with an error
    m_fake = nullptr;
    QNetworkReply::NetworkError error;
    finish(hung, &error);
    QVERIFY(error != QNetworkReply::NoError);
    m_fake = new FakeWebService;
}

void FakeWebServiceTest::delaysAnswer()
{
    m_fake->reply("AddUserStats", QJsonObject{{"result", "1"}}, 300);
    QElapsedTimer clock;
    clock.start();
    QNetworkReply *reply = post(m_fake->apiUrl(), "&method=AddUserStats");
    QVERIFY(m_fake->waitForRequest("AddUserStats"));
    QVERIFY(!reply->isFinished());
    QCOMPARE(finish(reply), QByteArray("{\"result\":\"1\"}"));
    QVERIFY(clock.elapsed() >= 290);
}

void FakeWebServiceTest::unscriptedMethodGetsErrAndIsListed()
{
    const QJsonObject answer =
        QJsonDocument::fromJson(finish(post(m_fake->apiUrl(), "&method=DeleteChannel"))).object();
    QCOMPARE(answer.value("status").toString(), QString("ERR"));
    QCOMPARE(m_fake->unexpected(), QStringList{"DeleteChannel"});
    m_fake->clear();
    QVERIFY(m_fake->unexpected().isEmpty());
    QVERIFY(m_fake->requests().isEmpty());
}

void FakeWebServiceTest::leavesLogEventsOutByDefault()
{
    m_fake->reply("GetNotifications", QJsonObject{{"v", QJsonArray()}});
    finish(post(m_fake->apiUrl(), "&ext%5Bretries%5D=2&method=LogEvent"));
    finish(post(m_fake->apiUrl(), "&method=GetNotifications"));
    QCOMPARE(m_fake->requests().size(), 1);
    QCOMPARE(m_fake->requests().first().method(), QString("GetNotifications"));
    QCOMPARE(m_fake->requests(true).size(), 2);
    QCOMPARE(m_fake->requestsFor("LogEvent").first().value("ext[retries]"), QString("2"));
    QVERIFY(m_fake->unexpected().isEmpty());
}

void FakeWebServiceTest::waitForRequestWaitsForEachNewRequest()
{
    m_fake->setDefault("GetNotificationsSince", QJsonObject{{"v", QJsonArray()}});
    finish(post(m_fake->apiUrl(), "&method=GetNotificationsSince"));
    QVERIFY(m_fake->waitForRequest("GetNotificationsSince", 1000)); // the one already received
    QVERIFY(!m_fake->waitForRequest("GetNotificationsSince", 100)); // nothing new
    QNetworkReply *reply = post(m_fake->apiUrl(), "&method=GetNotificationsSince");
    QVERIFY(m_fake->waitForRequest("GetNotificationsSince"));
    finish(reply);
}

void FakeWebServiceTest::shortLinkIsScriptedByPath()
{
    m_fake->reply(FakeWebService::ShortLinkMethod, QJsonObject{{"output_url", "http://s.test/abc"}});
    const QString url = QStringLiteral("http://%1/shorturl_ajax.php").arg(m_fake->host());
    QCOMPARE(finish(post(url, "u=http%3A%2F%2Fx.test%2F", QByteArray())),
             QByteArray("{\"output_url\":\"http://s.test/abc\"}"));
    const auto request = m_fake->requestsFor(FakeWebService::ShortLinkMethod).value(0);
    QCOMPARE(request.path, QString("shorturl_ajax.php"));
    QCOMPARE(request.value("u"), QString("http://x.test/"));
    QVERIFY(!request.userAgent.startsWith("WIN/"));
}

TAVRI_TEST_GUILESS_MAIN(FakeWebServiceTest)
#include "tst_fakewebservice.moc"
