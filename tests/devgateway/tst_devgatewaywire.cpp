// The program's own web client against the dev gateway: what the client
// writes on the wire (sorted fields, percent-encoding, credentials or session
// id) is what the gateway reads, and the gateway's answers have the shapes
// the client reads.

#include "../web/webtestsupport.h"
#include "devgateway.h"
#include "jsonreplyhandler.h"
#include "socialmanager.h"
#include "testenvironment.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QtTest>

#include <memory>

using Recorder = webtest::RecordingReplyHandler;
using WireSocialManager = webtest::TestSocialManager;

class DevGatewayWireTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void signUpAndSignInWithAwkwardPassword();
    void sessionIdAuthenticatesAndExpiresToEmptySid();
    void channelTreeAndSearchReadAsTheClientExpects();

private:
    // Waits for the next reply and returns it.
    QJsonDocument next();

    std::unique_ptr<DevGateway> m_gateway;
    WireSocialManager *m_manager = nullptr;
    Recorder *m_recorder = nullptr;
};

void DevGatewayWireTest::initTestCase()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void DevGatewayWireTest::init()
{
    DevGatewayOptions options;
    options.databasePath = QStringLiteral(":memory:");
    options.seed = true;
    options.port = 0;
    options.logCalls = false;
    options.passwordRounds = 1000; // the full count only slows the test
    m_gateway = std::make_unique<DevGateway>(options);
    QString error;
    QVERIFY2(m_gateway->start(&error), qPrintable(error));
    const QString host = QStringLiteral("127.0.0.1:%1").arg(m_gateway->port());
    m_manager = new WireSocialManager(nullptr, QStringLiteral("http://%1/gateway.php").arg(host), host);
    m_recorder = new Recorder;
}

void DevGatewayWireTest::cleanup()
{
    delete m_manager;
    m_manager = nullptr;
    delete m_recorder;
    m_recorder = nullptr;
    m_gateway.reset();
}

QJsonDocument DevGatewayWireTest::next()
{
    const int seen = m_recorder->replies.size();
    if (!QTest::qWaitFor([&] { return m_recorder->replies.size() > seen || !m_recorder->errors.isEmpty(); }, 10000))
        qWarning("no reply from the gateway");
    if (!m_recorder->errors.isEmpty())
        qWarning() << "network errors:" << m_recorder->errors;
    return m_recorder->replies.size() > seen ? m_recorder->replies.at(seen).second : QJsonDocument();
}

void DevGatewayWireTest::signUpAndSignInWithAwkwardPassword()
{
    // Plus signs, spaces, ampersands and percent signs survive the form encoding.
    const QString password = QStringLiteral("p+w &=%20ü");
    m_manager->requestCreateAccount(QStringLiteral("erin"), QStringLiteral("erin+tag@example.test"), password,
                                    m_recorder);
    QCOMPARE(next().object().value("status").toString(), QString("OK"));

    m_manager->requestUserUuidExists(QStringLiteral("erin"), m_recorder);
    QCOMPARE(next().object().value("result"), QJsonValue(true));

    m_manager->requestLogin(QStringLiteral("erin+tag@example.test"), QStringLiteral("p+w &=%20u"), m_recorder);
    QCOMPARE(next().object().value("reason").toString(), QString("bad_credentials"));

    m_manager->requestLogin(QStringLiteral("ERIN+tag@example.test"), password, m_recorder);
    const QJsonObject login = next().object();
    QCOMPARE(login.value("sid").toString().size(), 32);
    QVERIFY(login.value("auth_token").toString().startsWith("dv1."));
    QCOMPARE(login.value("UserDisplayName").toString(), QString("erin"));

    // Until a session id is known, every call carries the e-mail and password.
    m_manager->requestUserInfoPublicByName(QStringLiteral("ali"), false, 0, 10, m_recorder);
    const QJsonArray found = next().object().value("results").toArray();
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.at(0).toObject().value("UserLiveURI").toString(), QString("sip:u-1001@dev.tavri.test"));
}

void DevGatewayWireTest::sessionIdAuthenticatesAndExpiresToEmptySid()
{
    m_manager->requestLogin(QStringLiteral("bob@example.test"), QStringLiteral("tavri-dev"), m_recorder);
    const QString sid = next().object().value("sid").toString();
    QVERIFY(!sid.isEmpty());
    m_manager->clearCredentials(); // only the session id can authenticate now
    m_manager->setSessionId(sid);

    m_manager->requestChangeFriend(QStringLiteral("sip:u-1001@dev.tavri.test"), true, QString(), m_recorder);
    const QJsonObject friended = next().object();
    QCOMPARE(friended.value("result").toString(), QString("1"));
    QVERIFY(!friended.value("NotificationUID").toString().isEmpty());

    // An unknown session id is answered with an empty one, which the client takes for expiry.
    m_manager->setSessionId(QStringLiteral("ffffffffffffffffffffffffffffffff"));
    m_manager->requestContactGroups(m_recorder);
    QCOMPARE(next().object(), QJsonObject({{"sid", ""}, {"msg", "Session expired"}}));
}

void DevGatewayWireTest::channelTreeAndSearchReadAsTheClientExpects()
{
    m_manager->requestLogin(QStringLiteral("alice@example.test"), QStringLiteral("tavri-dev"), m_recorder);
    m_manager->setSessionId(next().object().value("sid").toString());

    m_manager->requestChannelsInHierarchy(QStringLiteral("5001"), m_recorder);
    const QJsonDocument tree = next();
    QVERIFY(tree.isArray());
    QCOMPARE(tree.array().size(), 2);
    QCOMPARE(tree.array().at(1).toObject().value("ChannelHierarchy").toString(), QString("5001.5002"));

    m_manager->requestChannelsMatching(QStringLiteral("gam"), false, 0, 4, QStringList(), m_recorder);
    const QJsonObject search = next().object();
    QCOMPARE(search.value("results").toArray().size(), 1);
    QCOMPARE(search.value("more"), QJsonValue(false));

    m_manager->requestChannelsOwned(m_recorder);
    QCOMPARE(next().array().size(), 2);
}

TAVRI_TEST_GUILESS_MAIN(DevGatewayWireTest)
#include "tst_devgatewaywire.moc"
