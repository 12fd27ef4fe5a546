// The application's alerts and state changes without a signed-in user: error
// and information balloons, SDK error events, audio levels, login state
// changes and the windows they show, the main frame's visibility, and the
// login window closed before any login.
#include <QtTest/QtTest>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QQuickView>
#include <QTimer>

#include "alertsfixture.h"
#include "audiocuesmanager.h"
#include "conversation.h"
#include "ostrelsdk.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"

using alertstest::app;
using alertstest::balloons;

namespace {

const QString kLobbyHandle = QStringLiteral("session-lobby");

QAction *trayAction(const QString &text)
{
    QMenu *menu = alertstest::tray() ? alertstest::tray()->contextMenu() : nullptr;
    if (!menu)
        return nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

bool visible(QWindow *window)
{
    return window && window->isVisible();
}

} // namespace

class TestAlerts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void errorAlerts_data();
    void errorAlerts();
    void missingPlaybackFileIsAnSdkError();
    void shortenedLinkGoesToTheClipboard();
    void sdkErrorEvents_data();
    void sdkErrorEvents();
    void sdkErrorWhileIdle();
    void connectorEvents();
    void auxAudioPropertiesEmitOnChange();
    void inviteAnswersInKeyOrder();
    void presenceSetsTrayActions_data();
    void presenceSetsTrayActions();
    void postCallSurveyStartNumber();
    void loggedInReplacesLoginWindow();
    void loggedInWithoutLoginWindowShowsNothing();
    void reconnectingHidesFramesFirst();
    void loginStateSequences_data();
    void loginStateSequences();
    void mainFrameMinimizedAndHidden();
    // Ends the application's event loop: last.
    void closingLoginWindowBeforeLoginExits();

private:
    FakeWebService *m_web = nullptr;
};

void TestAlerts::initTestCase()
{
    m_web = alertstest::start();
    QVERIFY(alertstest::tray());

    // A joined channel with a voice session, for the alerts that name it.
    Conversation *lobby =
        TavriIdentityRealm::getInstance()->getConversation(QStringLiteral("sip:confctl-77@voice.test"));
    QVERIFY(lobby);
    QVERIFY(QMetaObject::invokeMethod(TavriIdentityRealm::getInstance(), "onVoiceManagerSessionJoining",
                                      Q_ARG(QString, lobby->getSipURI()), Q_ARG(QString, kLobbyHandle),
                                      Q_ARG(QString, QStringLiteral("Lobby")), Q_ARG(bool, false)));
    lobby->setDisplayName(QStringLiteral("Lobby"));
    QCOMPARE(TavriIdentityRealm::getInstance()->getConversationBySessionHandle(kLobbyHandle), lobby);
}

void TestAlerts::cleanupTestCase()
{
    delete m_web;
    m_web = nullptr;
}

void TestAlerts::init()
{
    balloons().clear();
}

void TestAlerts::errorAlerts_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("text");
    QTest::newRow("add channel") << "addChannel"
                                 << "Failed to add channel.";
    QTest::newRow("edit channel") << "editChannel"
                                  << "Failed to change channel information.";
    QTest::newRow("audio device") << "audioDevice"
                                  << "There is a problem with your audio device. Please ensure you have an active "
                                     "input and output audio device.";
    QTest::newRow("echo") << "echo"
                          << "Cannot be in echo channel while in another channel.";
    QTest::newRow("join timed out") << "timeout"
                                    << "Problem joining Lobby: connection timed out.  Please try again later.";
    QTest::newRow("join timed out, unknown session")
        << "timeoutUnknown"
        << "Problem joining session-x: connection timed out.  Please try again later.";
    QTest::newRow("channel not found") << "notFound"
                                       << "Channel Lobby does not exist";
    QTest::newRow("microphone busy") << "maxCalls"
                                     << "Cannot access microphone, please check for conflicting software.";
    QTest::newRow("microphone during audio test") << "maxCallsTesting"
                                                  << "Cannot join channel while testing audio.";
    QTest::newRow("playback file missing") << "fileNotFound"
                                           << "Could not find file for playback";
    QTest::newRow("conversation's own alert") << "conversation"
                                              << "Cannot be in another channel while in echo channel.";
}

void TestAlerts::errorAlerts()
{
    QFETCH(QString, trigger);
    QFETCH(QString, text);
    AlertsApplication *a = app();
    if (trigger == "addChannel") {
        a->onAddChannelFailed();
    } else if (trigger == "editChannel") {
        a->onEditChannelFailed();
    } else if (trigger == "audioDevice") {
        a->onAudioDeviceProblem(1);
    } else if (trigger == "echo") {
        a->onCannotAddEchoToSession();
    } else if (trigger == "timeout") {
        a->onChannelConnectionTimeout(kLobbyHandle);
    } else if (trigger == "timeoutUnknown") {
        a->onChannelConnectionTimeout(QStringLiteral("session-x"));
    } else if (trigger == "notFound") {
        a->onChannelNotFound(kLobbyHandle);
    } else if (trigger == "maxCalls") {
        QVERIFY(!a->captureTestRunning());
        a->onMaximumCallsExceeded(kLobbyHandle);
    } else if (trigger == "maxCallsTesting") {
        a->startCaptureTest(false);
        QVERIFY(a->captureTestRunning());
        a->onMaximumCallsExceeded(kLobbyHandle);
        a->stopCaptureTest();
    } else if (trigger == "fileNotFound") {
        a->onFileNotFoundForPlayback(QStringLiteral("/nowhere/ring.wav"));
    } else if (trigger == "conversation") {
        // Joining a channel while in the echo channel: the conversation
        // refuses through the application's alert.
        TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
        Conversation *echo = realm->getConversation(Conversation::echoChannelURI());
        QVERIFY(echo);
        echo->setJoinState(Conversation::Joined);
        realm->getConversation(QStringLiteral("sip:confctl-42@voice.test"))->requestJoinConversation(QString());
        echo->setJoinState(Conversation::NotJoined);
    }
    QCOMPARE(balloons().size(), 1);
    QCOMPARE(balloons().first().title, QStringLiteral("Error"));
    QCOMPARE(balloons().first().message, text);
    QCOMPARE(balloons().first().icon, QSystemTrayIcon::Critical);
    QCOMPARE(balloons().first().msecs, 10000);
    QVERIFY(alertstest::tray()->callbackMethod().isEmpty());
}

void TestAlerts::missingPlaybackFileIsAnSdkError()
{
    LogCapture capture;
    app()->onFileNotFoundForPlayback(QStringLiteral("/nowhere/ring.wav"));
    const QString label =
        QStringLiteral("SDK(1043) ") + QString::fromUtf8(ox_get_error_string(1043)) + QStringLiteral(": ");
    QCOMPARE(shelltest::events(capture, QStringLiteral("Error.") + label),
             QStringList{QStringLiteral("(\"m:Could not find file for playback: /nowhere/ring.wav\", \"s:\")")});
}

void TestAlerts::shortenedLinkGoesToTheClipboard()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    app()->onLinkShortened(QUrl());
    QCOMPARE(clipboard->text(), QStringLiteral("before"));
    QVERIFY(balloons().isEmpty());

    app()->onLinkShortened(QUrl(QStringLiteral("https://lnk.tavri.net/abc")));
    QCOMPARE(clipboard->text(), QStringLiteral("https://lnk.tavri.net/abc"));
    QCOMPARE(balloons().size(), 1);
    QCOMPARE(balloons().first().title, QStringLiteral("Tavri Channel Hyperlink Copied to Clipboard"));
    QCOMPARE(balloons().first().message,
             QStringLiteral("Paste this into an e-mail or game chat to invite your friends."));
    QCOMPARE(balloons().first().icon, QSystemTrayIcon::Information);
    QCOMPARE(balloons().first().msecs, 10000);
}

void TestAlerts::sdkErrorEvents_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("category");
    QTest::newRow("1086") << 1086 << "Error";
    QTest::newRow("1087") << 1087 << "System";
    QTest::newRow("1088") << 1088 << "System";
    QTest::newRow("1089") << 1089 << "System";
    QTest::newRow("1090") << 1090 << "Error";
    QTest::newRow("unknown code") << 77777 << "Error";
}

void TestAlerts::sdkErrorEvents()
{
    QFETCH(int, code);
    QFETCH(QString, category);
    QVERIFY(!LocalUser::getLocalUser()->isIdle());
    LogCapture capture;
    app()->onSdkError(code, QStringLiteral("request failed"), QStringLiteral("status"));
    const QString label = QStringLiteral("SDK(%1) %2: ").arg(code).arg(QString::fromUtf8(ox_get_error_string(code)));
    QCOMPARE(shelltest::events(capture, category + QLatin1Char('.') + label),
             QStringList{QStringLiteral("(\"m:request failed\", \"s:status\")")});
    QVERIFY(balloons().isEmpty());
}

void TestAlerts::sdkErrorWhileIdle()
{
    LocalUser::getLocalUser()->onIdleTimeout();
    QVERIFY(LocalUser::getLocalUser()->isIdle());
    LogCapture capture;
    app()->onSdkError(1090, QStringLiteral("m"), QString());
    const QString label =
        QStringLiteral("SDK(1090) ") + QString::fromUtf8(ox_get_error_string(1090)) + QStringLiteral(": ");
    QCOMPARE(shelltest::events(capture, QStringLiteral("Error.") + label),
             QStringList{QStringLiteral("(\"isIdle:1\", \"m:m\", \"s:\")")});
}

void TestAlerts::connectorEvents()
{
    LogCapture capture;
    QSignalSpy changed(app(), &TavriApplication::connectorErrorMessageChanged);
    app()->networkUp = false;
    app()->onConnectorCreateFailed(QStringLiteral("Could not resolve host"));
    QCOMPARE(app()->connectorErrorMessage(), QStringLiteral("Could not resolve host"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(shelltest::events(capture, QStringLiteral("Error.SDKConnectorCreate")),
             QStringList{QStringLiteral("(\"m:Could not resolve host\")")});
    QCOMPARE(capture.find(QtWarningMsg, QStringLiteral("TavriApplication: Connector create failed handler")).size(), 1);
    // The message waits for the network.
    app()->checkNetworkStatus();
    QCOMPARE(app()->connectorErrorMessage(), QStringLiteral("Could not resolve host"));
    app()->networkUp = true;
    app()->checkNetworkStatus();
    QVERIFY(app()->connectorErrorMessage().isEmpty());
    QVERIFY(balloons().isEmpty());
}

void TestAlerts::auxAudioPropertiesEmitOnChange()
{
    QList<QSignalSpy *> spies{
        new QSignalSpy(app(), &TavriApplication::micIsActiveChanged),
        new QSignalSpy(app(), &TavriApplication::micVolumeChanged),
        new QSignalSpy(app(), &TavriApplication::micEnergyChanged),
        new QSignalSpy(app(), &TavriApplication::speakerIsActiveChanged),
        new QSignalSpy(app(), &TavriApplication::speakerVolumeChanged),
        new QSignalSpy(app(), &TavriApplication::speakerEnergyChanged),
    };
    app()->onAuxAudioPropertiesReceived(true, 40, 0.5, true, 60, 0.25);
    app()->onAuxAudioPropertiesReceived(true, 40, 0.5, true, 60, 0.25);
    for (QSignalSpy *spy : spies)
        QCOMPARE(spy->count(), 1);
    QCOMPARE(spies.at(1)->first().first().toInt(), 40);
    QCOMPARE(spies.at(5)->first().first().toDouble(), 0.25);
    QCOMPARE(app()->micEnergy(), 0.5);
    QCOMPARE(app()->speakerVolume(), 60);

    // One value changed: only its signal.
    app()->onAuxAudioPropertiesReceived(true, 41, 0.5, true, 60, 0.25);
    QCOMPARE(spies.at(1)->count(), 2);
    QCOMPARE(spies.at(0)->count() + spies.at(2)->count() + spies.at(3)->count() + spies.at(4)->count()
                 + spies.at(5)->count(),
             5);
    qDeleteAll(spies);
}

void TestAlerts::inviteAnswersInKeyOrder()
{
    QSignalSpy answers(app(), &TavriApplication::inviteUsersResponses);
    QMap<QString, QStringList> byStatus;
    byStatus.insert(QStringLiteral("b"), {QStringLiteral("x@example.test"), QStringLiteral("y@example.test")});
    byStatus.insert(QStringLiteral("a"), {QStringLiteral("z@example.test")});
    app()->onInviteUsersResponses(byStatus);
    QCOMPARE(answers.count(), 1);
    QCOMPARE(answers.first().first().toStringList(),
             QStringList({QStringLiteral("a:\nz@example.test"), QStringLiteral("b:\nx@example.test\ny@example.test")}));
}

void TestAlerts::presenceSetsTrayActions_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("onlineShown");
    QTest::addColumn<bool>("awayShown");
    QTest::newRow("online") << 5 << false << true;
    QTest::newRow("away") << 2 << true << false;
    QTest::newRow("do not disturb") << 4 << true << true;
    QTest::newRow("offline") << 1 << true << true;
}

void TestAlerts::presenceSetsTrayActions()
{
    QFETCH(int, state);
    QFETCH(bool, onlineShown);
    QFETCH(bool, awayShown);
    QAction *online = trayAction(QStringLiteral("Show as Online"));
    QAction *away = trayAction(QStringLiteral("Show as Away"));
    QVERIFY(online && away);
    app()->onLocalUserPresenceStateChanged(TavriIdentityRealmUser::PresenceState(state));
    QCOMPARE(online->isVisible(), onlineShown);
    QCOMPARE(away->isVisible(), awayShown);
}

void TestAlerts::postCallSurveyStartNumber()
{
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    StorageManager *storage = StorageManager::getInstance();
    const QString key = QStringLiteral("settingsPostCallSurveyStartNum");
    // A first login that finds 0 leaves the number to the next login.
    storage->setDefaultSettings(key, 0, true);
    app()->onLoggedIn();
    QCOMPARE(realm->postCallSurveyCountdown(), 0);
    storage->setDefaultSettings(key, 4, true);
    app()->onLoggedIn();
    QCOMPARE(realm->postCallSurveyCountdown(), 4);
    // Once set, later logins of the run keep the countdown where it is.
    storage->setDefaultSettings(key, 9, true);
    realm->setPostCallSurveyCountdown(3);
    app()->onLoggedIn();
    QCOMPARE(realm->postCallSurveyCountdown(), 3);
}

void TestAlerts::loggedInReplacesLoginWindow()
{
    StorageManager::getInstance()->setShowHint(QStringLiteral("Tutorial"), true);
    app()->showLoginPrompt();
    QVERIFY(visible(app()->loginPrompt()));
    QAction *away = trayAction(QStringLiteral("Show as Away"));
    away->setVisible(false);
    LogCapture capture;

    app()->onLoggedIn();
    QVERIFY(!visible(app()->loginPrompt()));
    QVERIFY(visible(app()->mainFrame()));
    QVERIFY(visible(app()->tutorialWindow()));
    QVERIFY(away->isVisible());
    QVERIFY(app()->audioCuesManager()->isInitialized());
    QVERIFY(shelltest::qmlWarnings(capture).isEmpty());

    // The tutorial was seen: the next login shows the main frame alone.
    app()->hideAllFrames();
    app()->closeTutorial();
    app()->showLoginPrompt();
    app()->onLoggedIn();
    QVERIFY(visible(app()->mainFrame()));
    QVERIFY(!visible(app()->tutorialWindow()));
}

void TestAlerts::loggedInWithoutLoginWindowShowsNothing()
{
    app()->hideAllFrames();
    app()->closeTutorial();
    StorageManager::getInstance()->setShowHint(QStringLiteral("Tutorial"), true);
    app()->onLoggedIn();
    QVERIFY(!visible(app()->mainFrame()));
    QVERIFY(!visible(app()->tutorialWindow()));
    QVERIFY(!visible(app()->loginPrompt()));
}

void TestAlerts::reconnectingHidesFramesFirst()
{
    app()->showMainFrame();
    QVERIFY(visible(app()->mainFrame()));
    app()->audioCuesManager()->init();
    bool loginShownBeforeHiding = true;
    QMetaObject::Connection probe = connect(app(), &TavriApplication::hideFramesRequested, this,
                                            [&] { loginShownBeforeHiding = visible(app()->loginPrompt()); });
    LogCapture capture;
    app()->onReconnecting(QStringLiteral("network lost"));
    disconnect(probe);
    QVERIFY(!loginShownBeforeHiding);
    QVERIFY(!visible(app()->mainFrame()));
    QVERIFY(visible(app()->loginPrompt()));
    QVERIFY(!app()->audioCuesManager()->isInitialized());
    QCOMPARE(capture.matching(QStringLiteral("Reconnecting due to")).size(), 1);
    QCOMPARE(shelltest::events(capture, QStringLiteral("Application.ShowLoginPane")).size(), 1);
}

void TestAlerts::loginStateSequences_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("loginWindows");
    QTest::newRow("reconnect gave up") << 5 << 1;
    QTest::newRow("after login") << 3 << 1;
    QTest::newRow("after logging out") << 4 << 1;
}

void TestAlerts::loginStateSequences()
{
    QFETCH(int, before);
    QFETCH(int, loginWindows);
    app()->hideAllFrames();
    app()->startCaptureTest(false);
    QSignalSpy micEnergy(app(), &TavriApplication::micEnergyChanged);
    LogCapture capture;
    app()->onLoginStateChanged(LocalUser::LoginState(before), QStringLiteral("before"));
    app()->onLoginStateChanged(LocalUser::LoggedOut, QStringLiteral("server said so"));
    // One login window in all: the reduced one of the reconnect, or the one
    // of the logout.
    QCOMPARE(shelltest::events(capture, QStringLiteral("Application.ShowLoginPane")).size(), loginWindows);
    QVERIFY(visible(app()->loginPrompt()));
    QVERIFY(!visible(app()->mainFrame()));
    QVERIFY(!app()->audioCuesManager()->isInitialized());
    QVERIFY(!app()->captureTestRunning());
    QVERIFY(!micEnergy.isEmpty());
    QCOMPARE(micEnergy.last().first().toDouble(), 0.0);
    QCOMPARE(capture.matching(QStringLiteral("Logged out due to")).size(), 1);
    QVERIFY(!trayAction(QStringLiteral("Show as Online"))->isVisible());
    QVERIFY(!trayAction(QStringLiteral("Show as Away"))->isVisible());

    // Logged out once more, without a reconnect before it: the full login
    // window again.
    capture.clear();
    app()->onLoginStateChanged(LocalUser::LoggedOut, QString());
    QCOMPARE(shelltest::events(capture, QStringLiteral("Application.ShowLoginPane")).size(), 1);
}

void TestAlerts::mainFrameMinimizedAndHidden()
{
    app()->showMainFrame();
    QTRY_COMPARE(app()->geometrySaveTimer(), 0);
    AudioCuesManager *cues = app()->audioCuesManager();
    QVERIFY(cues->getMainViewVisible());
    QQuickView *frame = app()->mainFrame();
    LogCapture capture;

    app()->onMainScreenVisibilityChanged(QWindow::Minimized);
    QVERIFY(!cues->getMainViewVisible());
    QVERIFY(shelltest::events(capture, QStringLiteral("mainApp.mainFrameClosed")).isEmpty());
    // Still connected: a move is saved.
    frame->setPosition(frame->x() + 7, frame->y());
    QTRY_VERIFY(app()->geometrySaveTimer() != 0);
    QTRY_COMPARE(app()->geometrySaveTimer(), 0);

    frame->hide();
    QCOMPARE(shelltest::events(capture, QStringLiteral("mainApp.mainFrameClosed")).size(), 1);
    QVERIFY(!cues->getMainViewVisible());
    // Every connection is gone: showing the frame by hand reaches no slot,
    // and moving it saves nothing.
    frame->show();
    QVERIFY(!cues->getMainViewVisible());
    frame->setPosition(frame->x() + 7, frame->y());
    QCoreApplication::processEvents();
    QCOMPARE(app()->geometrySaveTimer(), 0);
    frame->hide();
    QCOMPARE(shelltest::events(capture, QStringLiteral("mainApp.mainFrameClosed")).size(), 1);
}

void TestAlerts::closingLoginWindowBeforeLoginExits()
{
    app()->showLoginPrompt();
    QCOMPARE(LocalUser::getLocalUser()->getLoginState(), LocalUser::LoggedOut);
    QSignalSpy exiting(app(), &TavriApplication::exiting);
    QTimer::singleShot(0, app(), [] { app()->loginPrompt()->close(); });
    // A loop that does not end fails the test instead of hanging it.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(20000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(exiting.count(), 1);
    QVERIFY(!visible(app()->loginPrompt()));
}

TAVRI_ALERTS_TEST_MAIN(TestAlerts, "tavri-test-alerts")

#include "tst_alerts.moc"
