// The web transport: the form body on the wire, credentials and session id,
// reply parsing, network errors, dropped replies and what reaches the log.

#include "fakewebservice.h"
#include "socialmanager.h"
#include "socialquery.h"
#include "testenvironment.h"
#include "webtestsupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QtTest>

#include <chrono>
#include <future>
#include <thread>

using namespace webtest;

// Receives a reply's network error through a string connection, as callers
// of requestCreateAccount do.
class ErrorReceiver : public QObject
{
    Q_OBJECT
public:
    QList<int> errors;
public slots:
    void onNetworkError(QNetworkReply::NetworkError errorCode) { errors.append(errorCode); }
};

class WebTransportTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void bodyCarriesCredentialsUntilSessionIsKnown();
    void numbersAndKeysOnTheWire();
    void repliesAreParsed_data();
    void repliesAreParsed();
    void hugeReplyIsDeliveredAndItsLogLineCut();
    void oversizedRepliesFailTheRequest_data();
    void oversizedRepliesFailTheRequest();
    void silentServiceFailsTheCall();
    void networkErrorReachesOnErrorAndReceiverOnly_data();
    void networkErrorReachesOnErrorAndReceiverOnly();
    void destroyedReceiverDropsTheReply_data();
    void destroyedReceiverDropsTheReply();
    void slowRepliesAreLoggedAsWarnings();
    void secretsAreMaskedInLogs_data();
    void secretsAreMaskedInLogs();
    void loggedReplyHasNoUserEmail();
    void maskingManyKeysDoesNotHang();
    void serverBaseUrl_data();
    void serverBaseUrl();

private:
    QList<FakeWebService::Request> waitFor(const QString &method);

    FakeWebService *m_fake = nullptr;
    TestSocialManager *m_manager = nullptr;
};

void WebTransportTest::initTestCase()
{
    startWebTests();
}

void WebTransportTest::init()
{
    openClientOverFake(m_fake, m_manager);
    m_manager->setOsVersion(48);
}

void WebTransportTest::cleanup()
{
    const bool asserted = !testLog().matching(QStringLiteral("Assertion Failure")).isEmpty();
    const QStringList unexpected = closeClientOverFake(m_fake, m_manager);
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char(','))));
    QVERIFY(!asserted);
    QCOMPARE(QSocialManager::getInstance(), nullptr);
}

QList<FakeWebService::Request> WebTransportTest::waitFor(const QString &method)
{
    if (!m_fake->waitForRequest(method))
        return {};
    return m_fake->requestsFor(method);
}

void WebTransportTest::bodyCarriesCredentialsUntilSessionIsKnown()
{
    m_fake->setDefault(QStringLiteral("LoginUser"), QJsonObject());
    m_fake->setDefault(QStringLiteral("getContactGroups"), QJsonObject());
    m_manager->requestLogin(QStringLiteral("a+b"), QStringLiteral("p w"));
    QVERIFY(m_fake->waitForRequest(QStringLiteral("LoginUser")));

    m_manager->requestContactGroups();
    auto requests = waitFor(QStringLiteral("getContactGroups"));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.last().body,
             QByteArray("&client_version=1.0&email=a%2Bb&method=getContactGroups&os=WIN&osver=48&password=p%20w"));
    QCOMPARE(requests.last().userAgent, QByteArray("WIN/Tavri/1.0"));
    QCOMPARE(requests.last().contentType, QByteArray("application/x-www-form-urlencoded"));

    // The logged form keeps the field but never the password.
    const auto logged = testLog().matching(QStringLiteral("method=getContactGroups"));
    QCOMPARE(logged.size(), 1);
    QVERIFY(logged.first().message.contains(
        QStringLiteral("&client_version=1.0&email=a%2Bb&method=getContactGroups&os=WIN&osver=48&password=<hidden>")));
    for (const auto &entry : testLog().lines())
        QVERIFY2(!entry.message.contains(QStringLiteral("p%20w")), qPrintable(entry.message));

    // Once the service has handed out a session, the session id replaces the
    // e-mail address and the password, even where a caller put them in.
    m_manager->setSessionId(QStringLiteral("s1"));
    m_manager->performQuery(QUrl(m_fake->apiUrl()),
                            {{"method", "getContactGroups"}, {"email", "x@y"}, {"sid", "forged"}});
    requests = waitFor(QStringLiteral("getContactGroups"));
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests.last().value("sid"), QStringLiteral("s1"));
    QCOMPARE(requests.last().value("email"), QStringLiteral("x@y"));
    QVERIFY(!requests.last().has("password"));
    m_manager->requestContactGroups();
    requests = waitFor(QStringLiteral("getContactGroups"));
    QVERIFY(!requests.last().has("email") && !requests.last().has("password"));

    // Signing out forgets all three.
    m_manager->clearCredentials();
    m_manager->requestContactGroups();
    requests = waitFor(QStringLiteral("getContactGroups"));
    QVERIFY(!requests.last().has("sid"));
    QCOMPARE(requests.last().value("email"), QString());
    QVERIFY(requests.last().has("password"));
}

void WebTransportTest::numbersAndKeysOnTheWire()
{
    m_fake->setDefault(QStringLiteral("values"), QJsonObject());
    m_manager->performQuery(QUrl(m_fake->apiUrl()), {{"method", "values"},
                                                     {"half", 0.5},
                                                     {"million", 1000000},
                                                     {"big", 1234567},
                                                     {"answer", 42},
                                                     {"flag", true},
                                                     {"text", "a&b=c d+e/é"},
                                                     {"ext[a&b=c]", "v"}});
    const auto requests = waitFor(QStringLiteral("values"));
    QCOMPARE(requests.size(), 1);
    const QByteArray body = requests.first().body;
    QVERIFY2(body.contains("&half=0.5&"), body.constData());
    QVERIFY(body.contains("&million=1e+06&"));
    QVERIFY(body.contains("&big=1.23457e+06&"));
    QVERIFY(body.contains("&answer=42&"));
    QVERIFY(body.contains("&flag=&"));
    QVERIFY2(body.endsWith("&text=a%26b%3Dc%20d%2Be%2F%C3%A9"), body.constData());
    // A key that would break the form is encoded; brackets stay as they are.
    QVERIFY(body.contains("&ext[a%26b%3Dc]=v&"));
    QCOMPARE(requests.first().value("ext[a&b=c]"), QStringLiteral("v"));
    QCOMPARE(requests.first().value("text"), QStringLiteral("a&b=c d+e/é"));
}

void WebTransportTest::repliesAreParsed_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("expected"); // compact JSON, empty for a null document

    QTest::newRow("object") << "m" << QByteArray("{\"a\":1}") << QByteArray("{\"a\":1}");
    QTest::newRow("array") << "m" << QByteArray(" [1,2] ") << QByteArray("[1,2]");
    QTest::newRow("bare number") << "m" << QByteArray("42") << QByteArray("{\"result\":42}");
    QTest::newRow("bare text") << "m" << QByteArray("\"t\"") << QByteArray("{\"result\":\"t\"}");
    QTest::newRow("bare truth") << "m" << QByteArray("true") << QByteArray("{\"result\":true}");
    QTest::newRow("participant count") << "requestParticipantCount" << QByteArray("<reply>[1,2]</reply>")
                                       << QByteArray("[1,2]");
    QTest::newRow("reply tags elsewhere") << "m" << QByteArray("<reply>[1,2]</reply>") << QByteArray();
    QTest::newRow("empty") << "m" << QByteArray() << QByteArray();
    QTest::newRow("not json") << "m" << QByteArray("Internal error") << QByteArray();
    QTest::newRow("cut short") << "m" << QByteArray("{\"a\":") << QByteArray();
    QTest::newRow("not utf-8") << "m" << QByteArray("{\"a\":\"x\xff\"}") << QByteArray("{\"a\":\"x\xef\xbf\xbd\"}");
}

void WebTransportTest::repliesAreParsed()
{
    QFETCH(QString, method);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, expected);

    m_fake->replyRaw(method, body);
    RecordingReplyHandler handler;
    m_manager->performQuery(QUrl(m_fake->apiUrl()), {{"method", method}}, &handler);
    QTRY_COMPARE(handler.replies.size(), 1);
    QCOMPARE(handler.replies.first().first, method);
    const QJsonDocument document = handler.replies.first().second;
    if (expected.isEmpty()) {
        QVERIFY(document.isNull());
        QVERIFY(!testLog().matching(QStringLiteral("Problem parsing response...")).isEmpty());
    } else {
        QCOMPARE(document.toJson(QJsonDocument::Compact), expected);
    }
    QVERIFY(handler.errors.isEmpty());
}

void WebTransportTest::hugeReplyIsDeliveredAndItsLogLineCut()
{
    const QString text(5 * 1024 * 1024, QLatin1Char('x'));
    m_fake->reply(QStringLiteral("big"), QJsonObject{{"text", text}});
    RecordingReplyHandler handler;
    m_manager->performQuery(QUrl(m_fake->apiUrl()), {{"method", "big"}}, &handler);
    QTRY_COMPARE_WITH_TIMEOUT(handler.replies.size(), 1, 20000);
    QCOMPARE(handler.replies.first().second.object().value("text").toString().size(), text.size());
    const auto logged = testLog().matching(QStringLiteral(":responsData"));
    QCOMPARE(logged.size(), 1);
    QVERIFY(logged.first().message.size() < 100 * 1024);
    QVERIFY(logged.first().message.contains(QStringLiteral("characters in all")));
}

void WebTransportTest::oversizedRepliesFailTheRequest_data()
{
    QTest::addColumn<int>("textBytes");
    QTest::addColumn<bool>("deflated");
    QTest::addColumn<bool>("refused");
    QTest::newRow("17 MB plain") << 17 * 1024 * 1024 << false << true;
    // A few dozen kilobytes on the wire that inflate to 200 MB.
    QTest::newRow("200 MB inflated") << 200 * 1024 * 1024 << true << true;
    QTest::newRow("15 MB inflated") << 15 * 1024 * 1024 << true << false;
}

void WebTransportTest::oversizedRepliesFailTheRequest()
{
    QFETCH(int, textBytes);
    QFETCH(bool, deflated);
    QFETCH(bool, refused);

    const QByteArray body = "{\"text\":\"" + QByteArray(textBytes, ' ') + "\"}";
    if (deflated)
        m_fake->replyDeflated(QStringLiteral("big"), body);
    else
        m_fake->replyRaw(QStringLiteral("big"), body);
    RecordingReplyHandler handler;
    ErrorReceiver receiver;
    m_manager->performQuery(QUrl(m_fake->apiUrl()), {{"method", "big"}}, &handler, &receiver,
                            SLOT(onNetworkError(QNetworkReply::NetworkError)));
    QTRY_COMPARE_WITH_TIMEOUT(handler.replies.size() + handler.errors.size(), 1, 60000);
    if (refused) {
        QCOMPARE(handler.errors, QList<int>{QNetworkReply::OperationCanceledError});
        QCOMPARE(receiver.errors, QList<int>{QNetworkReply::OperationCanceledError});
        QTRY_COMPARE(testLog().matching(QStringLiteral("networkRequestFinished - Refused :type big")).size(), 1);
    } else {
        QCOMPARE(handler.replies.first().second.object().value("text").toString().size(), textBytes);
        QVERIFY(testLog().matching(QStringLiteral("Refused")).isEmpty());
    }
}

void WebTransportTest::silentServiceFailsTheCall()
{
    m_manager->setTransferTimeout(300);
    m_fake->hang(QStringLiteral("silent"));
    RecordingReplyHandler handler;
    m_manager->performQuery(QUrl(m_fake->apiUrl()), {{"method", "silent"}}, &handler);
    QTRY_COMPARE_WITH_TIMEOUT(handler.errors, QList<int>{QNetworkReply::OperationCanceledError}, 30000);
    QVERIFY(handler.replies.isEmpty());
}

void WebTransportTest::networkErrorReachesOnErrorAndReceiverOnly_data()
{
    QTest::addColumn<bool>("closeConnection");
    QTest::addColumn<int>("expectedCode");
    QTest::newRow("connection closed") << true << int(QNetworkReply::RemoteHostClosedError);
    QTest::newRow("HTTP 500") << false << int(QNetworkReply::InternalServerError);
}

void WebTransportTest::networkErrorReachesOnErrorAndReceiverOnly()
{
    QFETCH(bool, closeConnection);
    QFETCH(int, expectedCode);

    if (closeConnection)
        m_fake->drop(QStringLiteral("CreateAccount"));
    else
        m_fake->replyRaw(QStringLiteral("CreateAccount"), "{\"status\":\"ERR\"}", 500);
    RecordingReplyHandler handler;
    ErrorReceiver receiver;
    m_manager->requestCreateAccount(QStringLiteral("name"), QStringLiteral("a@b"), QStringLiteral("pw"), &handler,
                                    &receiver, SLOT(onNetworkError(QNetworkReply::NetworkError)));
    QTRY_VERIFY(!testLog().matching(QStringLiteral("networkRequestFinished - Errored")).isEmpty());
    QCOMPARE(handler.errors, QList<int>{expectedCode});
    QCOMPARE(receiver.errors, QList<int>{expectedCode});
    QVERIFY(handler.replies.isEmpty());
    const auto errored = testLog().matching(QStringLiteral("networkRequestFinished - Errored"));
    QCOMPARE(errored.first().type, QtCriticalMsg);
    QVERIFY(errored.first().message.contains(QStringLiteral("CreateAccount")));
    QVERIFY(!errored.first().message.contains(QStringLiteral("=pw")));
}

void WebTransportTest::destroyedReceiverDropsTheReply_data()
{
    QTest::addColumn<bool>("deleteHandler");
    QTest::addColumn<bool>("failing");
    QTest::newRow("handler, reply") << true << false;
    QTest::newRow("handler, network error") << true << true;
    QTest::newRow("error receiver, reply") << false << false;
    QTest::newRow("error receiver, network error") << false << true;
}

void WebTransportTest::destroyedReceiverDropsTheReply()
{
    QFETCH(bool, deleteHandler);
    QFETCH(bool, failing);

    if (failing)
        m_fake->replyRaw(QStringLiteral("slow"), "{}", 503, 200);
    else
        m_fake->reply(QStringLiteral("slow"), QJsonObject{{"a", 1}}, 200);
    auto *handler = new RecordingReplyHandler;
    auto *receiver = new ErrorReceiver;
    m_manager->performQuery(QUrl(m_fake->apiUrl()), {{"method", "slow"}}, handler, receiver,
                            SLOT(onNetworkError(QNetworkReply::NetworkError)));
    QVERIFY(m_fake->waitForRequest(QStringLiteral("slow")));
    if (deleteHandler)
        delete handler;
    else
        delete receiver;

    QTRY_VERIFY(!testLog().matching(QStringLiteral("networkRequestFinished - Aborted")).isEmpty());
    const auto aborted = testLog().matching(QStringLiteral("networkRequestFinished - Aborted"));
    QCOMPARE(aborted.size(), 1);
    QCOMPARE(aborted.first().type, QtCriticalMsg);
    QVERIFY(aborted.first().message.contains(QStringLiteral("slow")));
    if (deleteHandler) {
        QVERIFY(receiver->errors.isEmpty());
        delete receiver;
    } else {
        QVERIFY(handler->replies.isEmpty());
        QVERIFY(handler->errors.isEmpty());
        delete handler;
    }
}

void WebTransportTest::slowRepliesAreLoggedAsWarnings()
{
    QCOMPARE(QSocialQuery::replyLogLevel(0), QtDebugMsg);
    QCOMPARE(QSocialQuery::replyLogLevel(500), QtDebugMsg);
    QCOMPARE(QSocialQuery::replyLogLevel(501), QtWarningMsg);

    m_fake->reply(QStringLiteral("fast"), QJsonObject());
    m_fake->reply(QStringLiteral("slow"), QJsonObject(), 700);
    RecordingReplyHandler handler;
    m_manager->performQuery(QUrl(m_fake->apiUrl()), {{"method", "fast"}}, &handler);
    m_manager->performQuery(QUrl(m_fake->apiUrl()), {{"method", "slow"}}, &handler);
    QTRY_COMPARE_WITH_TIMEOUT(handler.replies.size(), 2, 10000);

    const auto fast = testLog().matching(QStringLiteral("networkRequestFinished :type fast"));
    QCOMPARE(fast.size(), 1);
    QCOMPARE(fast.first().type, QtDebugMsg);
    QCOMPARE(fast.first().category, QByteArray("ssint  "));
    const auto slow = testLog().matching(QStringLiteral("networkRequestFinished - Long :type slow"));
    QCOMPARE(slow.size(), 1);
    QCOMPARE(slow.first().type, QtWarningMsg);
}

void WebTransportTest::secretsAreMaskedInLogs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("form passwords, any case") << "&ChannelPassword=x&a=1&password=p%20w&PASSWORD=z"
                                              << "&ChannelPassword=<hidden>&a=1&password=<hidden>&PASSWORD=<hidden>";
    QTest::newRow("form tokens and sessions")
        << "&token=t&utok=u&rsid=r&sid=s&side=1&vat=v&uname=n"
        << "&token=<hidden>&utok=<hidden>&rsid=<hidden>&sid=<hidden>&side=1&vat=<hidden>&uname=n";
    QTest::newRow("empty password") << "&password=&b=2"
                                    << "&password=<hidden>&b=2";
    QTest::newRow("json secrets")
        << "{\"auth_token\":\"t\",\"name\":\"n\",\"rsid\":\"r\",\"sid\": \"s\",\"vat\":\"v\",\"n\":3}"
        << "{\"auth_token\":\"<hidden>\",\"name\":\"n\",\"rsid\":\"<hidden>\",\"sid\": \"<hidden>\","
           "\"vat\":\"<hidden>\",\"n\":3}";
    QTest::newRow("json escaped quote") << "{\"token\":\"a\\\"b\",\"x\":1}"
                                        << "{\"token\":\"<hidden>\",\"x\":1}";
    QTest::newRow("json number token") << "{\"token\":123,\"x\":1}"
                                       << "{\"token\":\"<hidden>\",\"x\":1}";
    QTest::newRow("user email removed") << "{\"a\":1,\"UserEmail\":\"a@b\",\"b\":2}"
                                        << "{\"a\":1,\"b\":2}";
    QTest::newRow("user email last") << "{\"a\":1,\"useremail\":\"a@b\"}"
                                     << "{\"a\":1,";
    QTest::newRow("nothing secret") << "&a=1&b=2"
                                    << "&a=1&b=2";
    QTest::newRow("user emails in a row") << "{\"UserEmail\":\"a\",\"userEmail\":\"b\",\"c\":1}"
                                          << "{\"c\":1}";
    // A removal that joins the pieces of a key removes that key too.
    QTest::newRow("user email joined by a removal") << "{\"User\"UserEmail\":\"a\",Email\":\"b\",\"c\":1}"
                                                    << "{\"c\":1}";
    QTest::newRow("user email at the start stays") << "\"UserEmail\":\"a\",\"UserEmail\":\"b\","
                                                   << "\"UserEmail\":\"a\",\"UserEmail\":\"b\",";
    QTest::newRow("key hidden behind a stray quote") << "{\"a\"password\":\"secret\"}"
                                                     << "{\"a\"password\":\"<hidden>\"}";
    QTest::newRow("key inside a string value") << "{\"a\":\"x\\\"token\\\":1\",\"b\":2}"
                                               << "{\"a\":\"x\\\"token\\\":1\",\"b\":2}";
}

void WebTransportTest::secretsAreMaskedInLogs()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(QSocialQuery::maskForLog(text), expected);
}

void WebTransportTest::loggedReplyHasNoUserEmail()
{
    m_fake->reply(QStringLiteral("getUserByUserLiveURI"),
                  QJsonObject{{"UserLiveURI", "sip:u-1@d"}, {"UserEmail", "me@example.test"}, {"sid", "s9"}});
    RecordingReplyHandler handler;
    m_manager->getUserInfoByUri(QStringLiteral("sip:u-1@d"), &handler);
    QTRY_COMPARE(handler.replies.size(), 1);
    // The handler gets the whole answer; the log gets neither the address nor
    // the session id.
    QCOMPARE(handler.replies.first().second.object().value("UserEmail").toString(), QStringLiteral("me@example.test"));
    const auto logged = testLog().matching(QStringLiteral(":responsData"));
    QCOMPARE(logged.size(), 1);
    QVERIFY(logged.first().message.contains(QStringLiteral("sip:u-1@d")));
    QVERIFY(!logged.first().message.contains(QStringLiteral("UserEmail")));
    QVERIFY(!logged.first().message.contains(QStringLiteral("me@example.test")));
    QVERIFY(!logged.first().message.contains(QStringLiteral("s9")));
}

void WebTransportTest::maskingManyKeysDoesNotHang()
{
    // 300,000 members, 12 MB: masked in a worker so that a slow masking fails
    // the test at its deadline instead of holding it.
    QString text = QStringLiteral("{");
    for (int i = 0; i < 300000; ++i)
        text += QStringLiteral("\"UserEmail\":\"someone%1@example.test\",").arg(i, 6, 10, QLatin1Char('0'));
    text += QStringLiteral("\"token\":\"t\"}");
    auto task = std::make_shared<std::packaged_task<QString()>>([text] { return QSocialQuery::maskForLog(text); });
    std::future<QString> masked = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    QVERIFY2(masked.wait_for(std::chrono::seconds(60)) == std::future_status::ready, "masking did not finish");
    const QString logged = masked.get();
    QVERIFY(logged.size() < 100 * 1024);
    QVERIFY(!logged.contains(QStringLiteral("example.test")));
    QVERIFY(logged.contains(QStringLiteral("characters in all")));

    // A secret that the cut splits is hidden as a whole.
    const QString secret(200 * 1024, QLatin1Char('s'));
    const QString cut = QSocialQuery::maskForLog(QStringLiteral("{\"token\":\"%1\",\"password\":\"p\"}").arg(secret));
    QVERIFY(cut.startsWith(QStringLiteral("{\"token\":\"<hidden>\"")));
    QVERIFY(!cut.contains(QStringLiteral("sss")));
}

void WebTransportTest::serverBaseUrl_data()
{
    QTest::addColumn<QString>("apiUrl");
    QTest::addColumn<QString>("base");
    QTest::newRow("https") << "https://social.example.test/gateway.php"
                           << "https://social.example.test";
    QTest::newRow("http with port") << "http://127.0.0.1:8088/gateway.php"
                                    << "http://127.0.0.1:8088";
    QTest::newRow("no path") << "http://host"
                             << "http://host";
}

void WebTransportTest::serverBaseUrl()
{
    QFETCH(QString, apiUrl);
    QFETCH(QString, base);
    delete m_manager;
    m_manager = nullptr;
    QSocialManager manager(nullptr, apiUrl, QString());
    QCOMPARE(manager.getServerBaseUrl(), base);
    QCOMPARE(QSocialManager::getInstance(), &manager);
}

TAVRI_TEST_MAIN(WebTransportTest)
#include "tst_webtransport.moc"
