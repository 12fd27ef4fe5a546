// The link shortener: the bare form post, the answer read into
// linkShortened, and completed() after every outcome.

#include "fakewebservice.h"
#include "linkshortener.h"
#include "socialmanager.h"
#include "testenvironment.h"
#include "websettle.h"

#include <QJsonArray>
#include <QNetworkProxy>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

// Records the method names of the replies it is given.
class MethodRecorder : public JsonReplyHandler
{
public:
    bool handleReply(const QString &method, const QJsonDocument &) override
    {
        methods.append(method);
        return true;
    }
    QStringList methods;
};

// The shortener's signals in the order they came, as "short:<url>" and
// "completed".
class OutcomeRecorder : public QObject
{
public:
    explicit OutcomeRecorder(LinkShortener *shortener)
    {
        connect(shortener, &LinkShortener::linkShortened, this,
                [this](const QUrl &url) { events.append(QStringLiteral("short:") + url.toString()); });
        connect(shortener, &LinkShortener::completed, this, [this] { events.append(QStringLiteral("completed")); });
    }
    QStringList events;
};

class ShortLinkTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    }
    void init()
    {
        m_fake = new FakeWebService;
        m_manager = new QSocialManager(nullptr, m_fake->apiUrl(), m_fake->host());
    }
    void cleanup()
    {
        const QStringList unexpected = m_fake->unexpected();
        delete m_manager;
        delete m_fake;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(", ")));
    }

    void postCarriesOnlyTheLongUrl()
    {
        m_fake->reply(FakeWebService::ShortLinkMethod, QJsonObject{{"output_url", "http://s.example/x1"}});
        LinkShortener *shortener = LinkShortener::create(QUrl(QStringLiteral("http://a/b?c=d")));
        QPointer<LinkShortener> alive(shortener);
        connect(shortener, &LinkShortener::completed, shortener, &QObject::deleteLater);
        OutcomeRecorder recorder(shortener);

        QVERIFY(m_fake->waitForRequest(FakeWebService::ShortLinkMethod));
        const FakeWebService::Request request = m_fake->requestsFor(FakeWebService::ShortLinkMethod).first();
        QCOMPARE(request.path, QStringLiteral("shorturl_ajax.php"));
        QCOMPARE(request.body, QByteArray("u=http%3A%2F%2Fa%2Fb%3Fc%3Dd"));
        QCOMPARE(request.contentType, QByteArray("application/x-www-form-urlencoded"));
        QVERIFY(!request.userAgent.startsWith("WIN/"));

        QTRY_COMPARE(recorder.events, QStringList({"short:http://s.example/x1", "completed"}));
        QTRY_VERIFY(!alive);
    }

    void answersWithoutAnAddressGiveAnEmptyOne_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("no output_url") << QByteArray("{\"status\":\"OK\"}");
        QTest::newRow("output_url not text") << QByteArray("{\"output_url\":42}");
        QTest::newRow("bare value") << QByteArray("\"http://s.example/x\"");
        QTest::newRow("not JSON") << QByteArray("<html>busy</html>");
        QTest::newRow("empty") << QByteArray();
    }
    void answersWithoutAnAddressGiveAnEmptyOne()
    {
        QFETCH(QByteArray, body);
        m_fake->replyRaw(FakeWebService::ShortLinkMethod, body);
        LinkShortener shortener(QUrl(QStringLiteral("https://example.com/long")));
        OutcomeRecorder recorder(&shortener);
        QTRY_COMPARE(recorder.events, QStringList({"short:", "completed"}));
    }

    void failedRequestOnlyCompletes_data()
    {
        QTest::addColumn<bool>("drop");
        QTest::newRow("connection dropped") << true;
        QTest::newRow("HTTP error") << false;
    }
    void failedRequestOnlyCompletes()
    {
        QFETCH(bool, drop);
        if (drop)
            m_fake->drop(FakeWebService::ShortLinkMethod);
        else
            m_fake->replyRaw(FakeWebService::ShortLinkMethod, QByteArray("{\"output_url\":\"http://s/x\"}"), 500);
        LinkShortener shortener(QUrl(QStringLiteral("https://example.com/long")));
        OutcomeRecorder recorder(&shortener);
        QTRY_COMPARE(recorder.events, QStringList({"completed"}));
        QVERIFY(webtest::settle(*m_fake, *m_manager));
        QCOMPARE(recorder.events, QStringList({"completed"}));
    }

    // A host given by the caller wins over the manager's, and the method
    // name reaches the handler.
    void callerGivesHostAndMethod()
    {
        delete m_manager;
        m_manager = new QSocialManager(nullptr, m_fake->apiUrl(), QStringLiteral("127.0.0.1:1"));
        m_fake->reply(FakeWebService::ShortLinkMethod, QJsonObject{{"output_url", "http://s/y"}});
        MethodRecorder handler;
        m_manager->requestShortLink(QUrl(QStringLiteral("tavri:JT-sip:confctl-1@x")), &handler,
                                    QStringLiteral("channelLink"), m_fake->host());
        QTRY_COMPARE(handler.methods, QStringList{QStringLiteral("channelLink")});
        QCOMPARE(m_fake->requestsFor(FakeWebService::ShortLinkMethod).first().body,
                 QByteArray("u=tavri%3AJT-sip%3Aconfctl-1%40x"));
    }

    // Without a web client the request cannot go out; the shortener still
    // completes, so that its owner cleans it up.
    void withoutManagerOnlyCompletes()
    {
        delete m_manager;
        m_manager = nullptr;
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Assertion Failure")));
        LinkShortener shortener(QUrl(QStringLiteral("https://example.com/long")));
        OutcomeRecorder recorder(&shortener);
        QTRY_COMPARE(recorder.events, QStringList({"completed"}));
    }

private:
    FakeWebService *m_fake = nullptr;
    QSocialManager *m_manager = nullptr;
};

TAVRI_TEST_GUILESS_MAIN(ShortLinkTest)
#include "tst_shortlink.moc"
