// The application's timers and what they guard: the network check, which
// brings the voice connector back once the network is there, and the login
// watchdog. The voice SDK stand-in refuses every connector here, so a
// connector error stays pending until the network check clears it.
#include <QtTest/QtTest>

#include <QTimerEvent>

#include "alertsfixture.h"
#include "ostrelsdk.h"
#include "ostrelsdk_control.h"

using alertstest::app;
using signedin::signOut;

namespace {

const QString kResolveError = QStringLiteral("Could not resolve host");

int connectorRequests()
{
    return oxc_request_count(OX_REQ_CONNECTOR_CREATE);
}

// Runs the network check until the application's flag is `available`.
void settleNetwork(bool available)
{
    app()->networkUp = available;
    app()->checkNetworkStatus();
}

void fireLoginWatchdog()
{
    QTimerEvent event(app()->loginWatchdogTimer());
    QCoreApplication::sendEvent(app(), &event);
}

} // namespace

class TestAlertsTimers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void connectorFailureWaitsForTheNetwork();
    void networkStateSignalledOnChange();
    void periodicCheckFollowsTheNetwork();
    void lostVoiceServer_data();
    void lostVoiceServer();
    void loginWatchdog_data();
    void loginWatchdog();
    void voiceLoginStopsTheWatchdog();

private:
    FakeWebService *m_web = nullptr;
};

void TestAlertsTimers::initTestCase()
{
    QCOMPARE(oxc_script(OX_REQ_CONNECTOR_CREATE, 1, 10006, "unknown host", 1000), 0);
    app()->networkUp = false;
    m_web = alertstest::start();
    m_web->hang(QStringLiteral("LoginUser"));
    m_web->setDefault(QStringLiteral("LoginUser"), QJsonValue());
    QTRY_COMPARE(app()->connectorErrorMessage(), kResolveError);
}

void TestAlertsTimers::cleanupTestCase()
{
    signOut();
    delete m_web;
    m_web = nullptr;
}

void TestAlertsTimers::connectorFailureWaitsForTheNetwork()
{
    QTRY_COMPARE(app()->connectorErrorMessage(), kResolveError);
    const int before = connectorRequests();
    settleNetwork(false);
    QCOMPARE(app()->connectorErrorMessage(), kResolveError);
    QCOMPARE(connectorRequests(), before);

    // The network is there: the error goes and the connector is asked for
    // again, at once.
    QSignalSpy message(app(), &TavriApplication::connectorErrorMessageChanged);
    settleNetwork(true);
    QVERIFY(app()->connectorErrorMessage().isEmpty());
    QCOMPARE(connectorRequests(), before + 1);
    QCOMPARE(message.count(), 1);
    // No error pending: no further connector.
    app()->checkNetworkStatus();
    QCOMPARE(connectorRequests(), before + 1);

    // The stand-in refuses this one too.
    app()->networkUp = false;
    QTRY_COMPARE(app()->connectorErrorMessage(), kResolveError);
}

void TestAlertsTimers::networkStateSignalledOnChange()
{
    settleNetwork(false);
    QSignalSpy changed(app(), &TavriApplication::networkStateChanged);
    for (bool up : {false, true, true, false, false, true})
        settleNetwork(up);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(changed.at(0).first().toBool(), true);
    QCOMPARE(changed.at(1).first().toBool(), false);
    QCOMPARE(changed.at(2).first().toBool(), true);
    QVERIFY(app()->isNetworkAvailable());
    app()->networkUp = false;
}

void TestAlertsTimers::periodicCheckFollowsTheNetwork()
{
    settleNetwork(false);
    QVERIFY(app()->networkCheckTimer() != 0);
    QSignalSpy changed(app(), &TavriApplication::networkStateChanged);
    app()->networkUp = true;
    QVERIFY(changed.wait(10000));
    QCOMPARE(changed.first().first().toBool(), true);
    app()->networkUp = false;
    QVERIFY(changed.wait(10000));
    QCOMPARE(changed.last().first().toBool(), false);
}

void TestAlertsTimers::lostVoiceServer_data()
{
    QTest::addColumn<bool>("networkUp");
    QTest::addColumn<QList<bool>>("states"); // networkStateChanged, in order
    QTest::newRow("network up") << true << QList<bool>{false, true};
    QTest::newRow("network down") << false << QList<bool>{false};
}

void TestAlertsTimers::lostVoiceServer()
{
    QFETCH(bool, networkUp);
    QFETCH(QList<bool>, states);
    // The network was there before.
    settleNetwork(true);
    app()->networkUp = networkUp;
    const int before = connectorRequests();
    QSignalSpy changed(app(), &TavriApplication::networkStateChanged);
    LogCapture capture;
    app()->onCouldNotConnectToServer();
    QList<bool> signalled;
    for (const QList<QVariant> &arguments : changed)
        signalled.append(arguments.first().toBool());
    QCOMPARE(signalled, states);
    QCOMPARE(shelltest::events(capture, QStringLiteral("Application.VoiceServerConnectionFailure")).size(), 1);
    if (networkUp) {
        QVERIFY(app()->connectorErrorMessage().isEmpty());
        QCOMPARE(connectorRequests(), before + 1);
    } else {
        QCOMPARE(app()->connectorErrorMessage(), QStringLiteral("Lost connection to voice server"));
        QCOMPARE(connectorRequests(), before);
    }
    app()->networkUp = false;
    QTRY_VERIFY(!app()->connectorErrorMessage().isEmpty());
}

void TestAlertsTimers::loginWatchdog_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("timesOut");
    QTest::newRow("logging in, connector error pending") << "loggingIn" << true;
    // A web service that never answers leaves nothing else to end the attempt.
    QTest::newRow("logging in, no connector error") << "noError" << true;
    QTest::newRow("logged out again") << "loggedOut" << false;
    QTest::newRow("logged in") << "loggedIn" << false;
}

void TestAlertsTimers::loginWatchdog()
{
    QFETCH(QString, scenario);
    QFETCH(bool, timesOut);
    app()->networkUp = false;
    QTRY_VERIFY(!app()->connectorErrorMessage().isEmpty());
    LocalUser *user = LocalUser::getLocalUser();
    // A refused connector has put the user into the error state.
    signOut();
    QCOMPARE(user->getLoginState(), LocalUser::LoggedOut);

    app()->requestLogin(QStringLiteral("me@example.test"), QStringLiteral("pw"));
    QCOMPARE(user->getLoginState(), LocalUser::LoggingIn);
    if (scenario == "loggedIn") {
        QVERIFY(alertstest::signIn(m_web, QStringLiteral("Me")));
        QCOMPARE(user->getLoginState(), LocalUser::LoggedIn);
    }
    QVERIFY(app()->loginWatchdogTimer() != 0);
    if (scenario == "noError") {
        // Cleared by the network check; the refusal of the new connector is
        // still to be delivered.
        settleNetwork(true);
        QVERIFY(app()->connectorErrorMessage().isEmpty());
    } else if (scenario == "loggedOut") {
        signOut();
        QCOMPARE(user->getLoginState(), LocalUser::LoggedOut);
    }

    QSignalSpy states(user, &LocalUser::loginStateChanged);
    fireLoginWatchdog();
    QCOMPARE(app()->loginWatchdogTimer(), 0);
    if (timesOut) {
        // The time-out logs the user out; with the password kept, the user
        // is reconnected.
        QVERIFY(!states.isEmpty());
        QCOMPARE(states.first().first().value<LocalUser::LoginState>(), LocalUser::DisconnectedReconnecting);
        // The reconnect series' attempt is guarded by the watchdog as well.
        QVERIFY(user->retryTimerId() != 0);
        QTimerEvent retry(user->retryTimerId());
        QCoreApplication::sendEvent(user, &retry);
        QCOMPARE(user->getLoginState(), LocalUser::LoggingIn);
        QVERIFY(app()->loginWatchdogTimer() != 0);
    } else {
        QVERIFY(states.isEmpty());
    }
    app()->networkUp = false;
    signOut();
}

void TestAlertsTimers::voiceLoginStopsTheWatchdog()
{
    app()->requestLogin(QStringLiteral("me@example.test"), QStringLiteral("pw"));
    QVERIFY(app()->loginWatchdogTimer() != 0);
    QVERIFY(QMetaObject::invokeMethod(app(), "onVoiceLoggedIn"));
    QCOMPARE(app()->loginWatchdogTimer(), 0);
    signOut();
}

TAVRI_ALERTS_TEST_MAIN(TestAlertsTimers, "tavri-test-alertstimers")

#include "tst_alertstimers.moc"
