// The analytics queue: the fields of an event, one send at a time, retries
// after failures, the analytics switch and the one-off SSL failure report.

#include "fakewebservice.h"
#include "socialmanager.h"
#include "socialquery.h"
#include "testenvironment.h"
#include "websettle.h"
#include "webtestsupport.h"

#include <QJsonObject>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QSslError>
#include <QtTest>

using namespace webtest;

namespace {
const QString kLogEvent = QStringLiteral("LogEvent");

// A manager whose retry-spacing clock the test moves by hand.
class ClockedSocialManager : public TestSocialManager
{
public:
    using TestSocialManager::TestSocialManager;
    qint64 nowMs = 0;

protected:
    qint64 monotonicMs() const override { return nowMs; }
};

int linesContaining(const QString &text)
{
    return testLog().matching(text).size();
}
} // namespace

class WebAnalyticsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void eventCarriesItsFields();
    void timestamps_data();
    void timestamps();
    void eventsGoOutOneAtATime();
    void switchedOffEventsAreOnlyLogged();
    void failedSendIsRetried();
    void retriesOfAnEventAreLoggedSparingly();
    void retriedEventGivenUpIsLoggedOnce();
    void unansweredSendTimesOutAndIsRetried();
    void eventIsGivenUpAfterTooManyRetries();
    void protocolErrorsAreNotRetried_data();
    void protocolErrorsAreNotRetried();
    void sslFailureIsReportedOnceWithoutCredentials_data();
    void sslFailureIsReportedOnceWithoutCredentials();

private:
    // The LogEvent requests received so far, in order.
    QList<FakeWebService::Request> events() const { return m_fake->requestsFor(kLogEvent); }
    // Waits until `count` LogEvent requests have arrived.
    bool waitForEvents(int count, int timeoutMs = 10000);
    // Nothing queued, nothing in flight, and still nothing queued once the
    // last answer has been handled.
    bool settled();

    FakeWebService *m_fake = nullptr;
    TestSocialManager *m_manager = nullptr;
};

void WebAnalyticsTest::initTestCase()
{
    startWebTests();
}

void WebAnalyticsTest::init()
{
    openClientOverFake(m_fake, m_manager);
}

void WebAnalyticsTest::cleanup()
{
    const QStringList unexpected = closeClientOverFake(m_fake, m_manager);
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char(','))));
}

bool WebAnalyticsTest::waitForEvents(int count, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (events().size() < count && timer.elapsed() < timeoutMs)
        QTest::qWait(10);
    return events().size() >= count;
}

bool WebAnalyticsTest::settled()
{
    for (int round = 0; round < 50; ++round) {
        if (!QTest::qWaitFor([this] { return m_manager->queuedEventCount() == 0; }, 10000))
            return false;
        if (!webtest::settle(*m_fake, *m_manager))
            return false;
        if (m_manager->queuedEventCount() == 0)
            return true;
    }
    return false;
}

void WebAnalyticsTest::eventCarriesItsFields()
{
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    m_manager->logEvent(QStringLiteral("Cat"), QStringLiteral("Lbl"),
                        {QStringLiteral("email:a:b"), QStringLiteral("x"), QStringLiteral(":y"), QStringLiteral("k:")});
    m_manager->logEvent(QStringLiteral("Cat"), QStringLiteral("Two"), {QStringLiteral("k:1"), QStringLiteral("k:2")});
    QVERIFY(waitForEvents(2));
    const auto event = events().first();

    QCOMPARE(event.value("ua"), QStringLiteral("Tavri/Win/0.6.18.8668"));
    QCOMPARE(event.value("cat"), QStringLiteral("Cat"));
    QCOMPARE(event.value("lbl"), QStringLiteral("Lbl"));
    QCOMPARE(event.value("idx"), QStringLiteral("1"));
    const QString lid = event.value("lid");
    QCOMPARE(lid.size(), 36);
    QVERIFY(!QUuid(lid).isNull());
    const double ts = event.value("ts").toDouble();
    QVERIFY(ts * 1000 >= before - 1 && ts * 1000 <= QDateTime::currentMSecsSinceEpoch() + 1);
    QCOMPARE(event.value("ts").section(QLatin1Char('.'), 1).size(), 3);
    // Only details with a key become fields; the value may hold colons or
    // be empty.
    QStringList extKeys;
    for (const auto &field : event.fields) {
        if (field.first.startsWith(QLatin1String("ext[")))
            extKeys << field.first;
    }
    QCOMPARE(extKeys, (QStringList{"ext[email]", "ext[k]"}));
    QCOMPARE(event.value("ext[email]"), QStringLiteral("a:b"));
    QCOMPARE(event.value("ext[k]"), QString());
    // The transport adds the credentials and common fields.
    QVERIFY(event.has("email") && event.has("password"));
    QCOMPARE(event.value("os"), QStringLiteral("WIN"));

    // The second event of the run: same run id, next index, the later value
    // of a repeated key.
    const auto second = events().at(1);
    QCOMPARE(second.value("idx"), QStringLiteral("2"));
    QCOMPARE(second.value("lid"), lid);
    QCOMPARE(second.value("ext[k]"), QStringLiteral("2"));

    // The local log line names the event in place of the source position.
    QList<CapturedLine> lines;
    for (const auto &entry : testLog().lines()) {
        if (entry.category == "userint")
            lines << entry;
    }
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.first().type, QtDebugMsg);
    QCOMPARE(lines.first().file, QByteArray("Cat.Lbl"));
    QCOMPARE(lines.first().function, QByteArray("Lbl"));
    QVERIFY(lines.first().message.contains(QStringLiteral("email:a:b")));
}

void WebAnalyticsTest::timestamps_data()
{
    QTest::addColumn<qint64>("msecs");
    QTest::addColumn<QString>("text");
    QTest::newRow("123456 ms") << qint64(123456) << "123.456";
    QTest::newRow("5 ms") << qint64(5) << "0.005";
    QTest::newRow("epoch") << qint64(0) << "0.000";
    QTest::newRow("today") << qint64(1765314900123) << "1765314900.123";
}

void WebAnalyticsTest::timestamps()
{
    QFETCH(qint64, msecs);
    QFETCH(QString, text);
    QCOMPARE(QSocialManager::eventTimestamp(msecs), text);
}

void WebAnalyticsTest::eventsGoOutOneAtATime()
{
    m_fake->reply(kLogEvent, QJsonObject(), 500);
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("A"), {});
    QVERIFY(waitForEvents(1));
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("B"), {});
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("C"), {});
    // The queue timer runs out while A is still unanswered: nothing more may
    // go out until A's answer has been written.
    QVERIFY(waitForEvents(3));
    QVERIFY(settled());
    const auto sent = events();
    QCOMPARE(sent.size(), 3);
    QVERIFY(sent.at(1).answersWrittenBefore > sent.at(0).answersWrittenBefore);
    QVERIFY(sent.at(2).answersWrittenBefore > sent.at(1).answersWrittenBefore);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(sent.at(i).value("lbl"), QString(QChar('A' + i)));
        QCOMPARE(sent.at(i).value("idx"), QString::number(i + 1));
        QVERIFY(!sent.at(i).has("ext[retries]"));
    }
}

void WebAnalyticsTest::switchedOffEventsAreOnlyLogged()
{
    m_manager->onDoNotLogChanged(true);
    m_manager->logEvent(QStringLiteral("off"), QStringLiteral("x"), {QStringLiteral("a:1")});
    QCOMPARE(testLog().matching(QStringLiteral("a:1")).size(), 1);
    QCOMPARE(testLog().matching(QStringLiteral("a:1")).first().category, QByteArray("userint"));

    m_manager->onDoNotLogChanged(false);
    m_manager->logEvent(QStringLiteral("on"), QStringLiteral("y"), {});
    QVERIFY(waitForEvents(1));
    QVERIFY(settled());
    QCOMPARE(events().size(), 1);
    // The switched-off event was never built: the first one sent is number 1.
    QCOMPARE(events().first().value("cat"), QStringLiteral("on"));
    QCOMPARE(events().first().value("idx"), QStringLiteral("1"));
}

void WebAnalyticsTest::failedSendIsRetried()
{
    m_fake->drop(kLogEvent);
    m_fake->drop(kLogEvent);
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("A"), {QStringLiteral("k:v")});
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("B"), {});
    QVERIFY(waitForEvents(4));
    QVERIFY(settled());
    const auto sent = events();
    QCOMPARE(sent.size(), 4);
    const QStringList labels{"A", "A", "A", "B"};
    const QStringList retries{"", "1", "2", ""};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(sent.at(i).value("lbl"), labels.at(i));
        QCOMPARE(sent.at(i).has("ext[retries]"), !retries.at(i).isEmpty());
        QCOMPARE(sent.at(i).value("ext[retries]"), retries.at(i));
    }
    // A retry is the same event again.
    QCOMPARE(sent.at(2).value("idx"), QStringLiteral("1"));
    QCOMPARE(sent.at(2).value("ts"), sent.at(0).value("ts"));
    QCOMPARE(sent.at(2).value("ext[k]"), QStringLiteral("v"));
    QCOMPARE(sent.at(3).value("idx"), QStringLiteral("2"));
    QCOMPARE(testLog().matching(QStringLiteral("Error sending last event, retrying... retryCount: 1")).size(), 1);
    QCOMPARE(testLog().matching(QStringLiteral("retryCount: 2")).size(), 0);
}

void WebAnalyticsTest::retriesOfAnEventAreLoggedSparingly()
{
    delete m_manager;
    auto *manager = new ClockedSocialManager(nullptr, m_fake->apiUrl(), m_fake->host());
    m_manager = manager;
    testLog().clear();
    const int failures = 101; // the first send and 100 retries
    for (int i = 0; i < failures; ++i)
        m_fake->drop(kLogEvent);
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("A"), {});

    // Half-way through, a minute passes.
    // Each retry waits 200 ms.
    QVERIFY(waitForEvents(50, 120000));
    manager->nowMs += 60 * 1000;
    QVERIFY(waitForEvents(failures + 1, 120000));
    QCOMPARE(events().last().value("ext[retries]"), QString::number(failures));
    QTRY_COMPARE(linesContaining(QStringLiteral("sent after")), 1);

    // The first failure whole, with its request line.
    QCOMPARE(linesContaining(QStringLiteral("networkRequestFinished - Errored")), 1);
    QCOMPARE(linesContaining(QStringLiteral("performQuery")), 1);
    // One line on the first retry, one after the minute passed, one at the end.
    const auto retrying = testLog().matching(QStringLiteral("retrying... retryCount:"));
    QCOMPARE(retrying.size(), 2);
    QVERIFY(retrying.first().message.endsWith(QLatin1String("retryCount: 1")));
    QVERIFY(testLog().matching(QStringLiteral("Event c A sent after 101 retries")).size() == 1);
    // Everything the web client logged for 102 sends: the five lines above
    // and the handler's line for the one answer.
    int ssintLines = 0;
    for (const auto &line : testLog().lines())
        ssintLines += line.category.trimmed() == "ssint";
    QCOMPARE(ssintLines, 6);
}

void WebAnalyticsTest::retriedEventGivenUpIsLoggedOnce()
{
    m_fake->drop(kLogEvent);
    m_fake->hang(kLogEvent);
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("A"), {});
    QVERIFY(waitForEvents(2));
    const auto queries = pendingQueries(m_manager, kLogEvent);
    QCOMPARE(queries.size(), 1);
    queries.first()->onError(QNetworkReply::ProtocolUnknownError);
    QTRY_COMPARE(linesContaining(QStringLiteral("Event c A given up after 1 retries")), 1);
    QCOMPARE(linesContaining(QStringLiteral("networkRequestFinished - Errored")), 1);
}

void WebAnalyticsTest::unansweredSendTimesOutAndIsRetried()
{
    m_manager->setEventTransferTimeout(300);
    m_fake->hang(kLogEvent);
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("A"), {});
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("B"), {});
    // A's first send is never answered; it fails when its time is up, is
    // sent again, and B follows.
    QVERIFY(waitForEvents(3));
    QVERIFY(settled());
    const auto sent = events();
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent.at(0).value("lbl"), QStringLiteral("A"));
    QCOMPARE(sent.at(1).value("lbl"), QStringLiteral("A"));
    QCOMPARE(sent.at(1).value("ext[retries]"), QStringLiteral("1"));
    QCOMPARE(sent.at(2).value("lbl"), QStringLiteral("B"));
}

void WebAnalyticsTest::eventIsGivenUpAfterTooManyRetries()
{
    m_fake->hang(kLogEvent);
    m_fake->drop(kLogEvent);
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("A"), {});
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("B"), {});
    QVERIFY(waitForEvents(1));
    // As if A had failed 72 000 times already.
    m_manager->setEventRetryCount(72000);
    const auto queries = pendingQueries(m_manager, kLogEvent);
    QCOMPARE(queries.size(), 1);
    queries.first()->onError(QNetworkReply::UnknownNetworkError);
    // Retry 72 001 still goes out; when it fails too, A is dropped for B.
    QVERIFY(waitForEvents(3));
    QVERIFY(settled());
    const auto sent = events();
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent.at(1).value("lbl"), QStringLiteral("A"));
    QCOMPARE(sent.at(1).value("ext[retries]"), QStringLiteral("72001"));
    QCOMPARE(sent.at(2).value("lbl"), QStringLiteral("B"));
    QVERIFY(!sent.at(2).has("ext[retries]"));
}

void WebAnalyticsTest::protocolErrorsAreNotRetried_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("retried");
    QTest::newRow("301") << int(QNetworkReply::ProtocolUnknownError) << false;
    QTest::newRow("302") << int(QNetworkReply::ProtocolInvalidOperationError) << false;
    QTest::newRow("99") << int(QNetworkReply::UnknownNetworkError) << true;
}

void WebAnalyticsTest::protocolErrorsAreNotRetried()
{
    QFETCH(int, code);
    QFETCH(bool, retried);

    m_fake->hang(kLogEvent);
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("A"), {});
    m_manager->logEvent(QStringLiteral("c"), QStringLiteral("B"), {});
    QVERIFY(waitForEvents(1));
    const auto queries = pendingQueries(m_manager, kLogEvent);
    QCOMPARE(queries.size(), 1);
    // The network stack reports the failure of A's send.
    queries.first()->onError(QNetworkReply::NetworkError(code));

    QVERIFY(waitForEvents(2));
    const auto next = events().at(1);
    QCOMPARE(next.value("lbl"), retried ? QStringLiteral("A") : QStringLiteral("B"));
    QCOMPARE(next.value("ext[retries]"), retried ? QStringLiteral("1") : QString());
}

void WebAnalyticsTest::sslFailureIsReportedOnceWithoutCredentials_data()
{
    QTest::addColumn<bool>("secureApi");
    QTest::newRow("https address, session") << true;
    QTest::newRow("http address, e-mail and password") << false;
}

void WebAnalyticsTest::sslFailureIsReportedOnceWithoutCredentials()
{
    QFETCH(bool, secureApi);

    if (secureApi) {
        delete m_manager;
        m_manager = new TestSocialManager(nullptr, QStringLiteral("https://%1/gateway.php").arg(m_fake->host()),
                                          m_fake->host());
        m_manager->setSessionId(QStringLiteral("s1"));
    } else {
        m_fake->setDefault(QStringLiteral("LoginUser"), QJsonObject());
        m_manager->requestLogin(QStringLiteral("a@b"), QStringLiteral("pw"));
        QVERIFY(m_fake->waitForRequest(QStringLiteral("LoginUser")));
    }
    // A call whose connection reports certificate problems.
    m_fake->hang(QStringLiteral("Hold"));
    RecordingReplyHandler handler;
    m_manager->performQuery(QUrl(m_fake->apiUrl()), {{"method", "Hold"}}, &handler);
    QVERIFY(m_fake->waitForRequest(QStringLiteral("Hold")));
    const auto queries = pendingQueries(m_manager, QStringLiteral("Hold"));
    QCOMPARE(queries.size(), 1);

    QSignalSpy spy(m_manager, &QSocialManager::sslErrors);
    const QList<QSslError> errors{QSslError(QSslError::SelfSignedCertificate), QSslError(QSslError::HostNameMismatch)};
    queries.first()->onSslErrors(errors);
    queries.first()->onSslErrors(errors);
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.first().first().toStringList(), (QStringList{errors.at(0).errorString(), errors.at(1).errorString()}));
    QVERIFY(!testLog().matching(QStringLiteral("SSL Errors loading '")).isEmpty());

    auto sslEvents = [this] {
        QList<FakeWebService::Request> result;
        for (const auto &event : events()) {
            if (event.value("lbl") == QLatin1String("SslError"))
                result << event;
        }
        return result;
    };
    QTRY_COMPARE(sslEvents().size(), 1);
    QVERIFY(settled());
    QCOMPARE(sslEvents().size(), 1);
    const auto event = sslEvents().first();
    QCOMPARE(event.value("cat"), QStringLiteral("Error"));
    QCOMPARE(event.value("ext[0]"), errors.at(0).errorString());
    QCOMPARE(event.value("ext[1]"), errors.at(1).errorString());
    QVERIFY(event.has("idx") && event.has("lid") && event.has("ts"));
    // It went over plain HTTP (the fake speaks nothing else), so it carries
    // neither the session nor the account's credentials.
    QVERIFY(!event.has("sid") && !event.has("email") && !event.has("password"));
    QCOMPARE(event.value("client_version"), QStringLiteral("1.0"));
    QVERIFY(handler.replies.isEmpty());
}

TAVRI_TEST_MAIN(WebAnalyticsTest)
#include "tst_webanalytics.moc"
