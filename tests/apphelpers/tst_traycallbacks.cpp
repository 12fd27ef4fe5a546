// The application's ends of the tray icon and its balloons: which window a
// click brings forward, which conversation a balloon click joins, the update
// offer and its balloon, what a voice login and logout do, and the voice
// service's values relayed to QML.
#include <QtTest/QtTest>

#include <QDesktopServices>
#include <QQuickView>
#include <QSignalSpy>

#include "../alerts/alertsfixture.h"
#include "audiocuesmanager.h"
#include "conversation.h"
#include "qtspeech.h"
#include "scriptedspeechbackend.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"

using alertstest::balloons;
using signedin::signOut;

class TrayApplication : public AlertsApplication
{
public:
    TrayApplication(const QString &appId, int &argc, char **argv)
        : AlertsApplication(appId, argc, argv)
    {
    }

    using TavriApplication::onSystemTrayChannelMessageClicked;
    using TavriApplication::onSystemTrayConversationMessageClicked;
    using TavriApplication::onSystemTrayInviteMessageClicked;
    using TavriApplication::onSystemTrayMessageClicked;
    using TavriApplication::onSystemTrayPrivateMessageClicked;
    using TavriApplication::onSystemTrayUpdateAvailableMessageClicked;
    using TavriApplication::onSystrayActivated;
    using TavriApplication::onUpdateAvailable;
    using TavriApplication::onVoiceLoggedIn;
    using TavriApplication::onVoiceLoggedOut;
};

// Keeps the addresses the desktop is asked to open instead of opening them.
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

namespace {

const QString kChannel = QStringLiteral("sip:confctl-77@voice.test");
const QString kOtherChannel = QStringLiteral("sip:confctl-78@voice.test");
const QStringList kSchemes = {QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("file"),
                              QStringLiteral("tavri"), QStringLiteral("javascript")};

TrayApplication *app()
{
    return static_cast<TrayApplication *>(shelltest::application());
}

bool visible(QWindow *window)
{
    return window && window->isVisible();
}

Conversation *channel(const QString &uri = kChannel)
{
    return TavriIdentityRealm::getInstance()->getConversation(uri);
}

void clickBalloon(const QString &kind, const QString &argument)
{
    if (kind == "private")
        app()->onSystemTrayPrivateMessageClicked(argument);
    else if (kind == "channel")
        app()->onSystemTrayChannelMessageClicked(argument);
    else if (kind == "invite")
        app()->onSystemTrayInviteMessageClicked(argument);
    else if (kind == "conversation")
        app()->onSystemTrayConversationMessageClicked(argument);
    else if (kind == "plain")
        app()->onSystemTrayMessageClicked();
    else if (kind == "tray")
        app()->onSystrayActivated(QSystemTrayIcon::Trigger);
    else
        QFAIL(qPrintable(QStringLiteral("unknown balloon kind ") + kind));
}

} // namespace

class TestTrayCallbacks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void onlyAPlainClickShowsAWindow_data();
    void onlyAPlainClickShowsAWindow();
    void clicksWhileSignedOutShowTheLogin_data();
    void clicksWhileSignedOutShowTheLogin();
    void clicksWhileSignedInJoin_data();
    void clicksWhileSignedInJoin();
    void inviteClickTracksTheJoin();
    void updateOfferAnnouncedOnce();
    void updateLinkOpensOnlyWebPages_data();
    void updateLinkOpensOnlyWebPages();
    void voiceLoginStopsWatchdogAndAppliesVoice();
    void voiceLoginHandlesOneQueuedLink();
    void voiceLogoutIsTracked();
    void voiceValuesAreRelayed_data();
    void voiceValuesAreRelayed();

private:
    FakeWebService *m_web = nullptr;
    OpenedUrls m_opened;
};

void TestTrayCallbacks::initTestCase()
{
    QtSpeech_v1::ScriptedSpeechBackend::resetScript();
    QtSpeech_v1::QtSpeech::setBackendFactory(QtSpeech_v1::ScriptedSpeechBackend::factory());
    for (const QString &scheme : kSchemes)
        QDesktopServices::setUrlHandler(scheme, &m_opened, "open");
    m_web = alertstest::start();
    QVERIFY(alertstest::tray());
    QVERIFY(channel());
}

void TestTrayCallbacks::cleanupTestCase()
{
    for (const QString &scheme : kSchemes)
        QDesktopServices::unsetUrlHandler(scheme);
    delete m_web;
    m_web = nullptr;
}

void TestTrayCallbacks::init()
{
    app()->hideAllFrames();
    balloons().clear();
    m_opened.urls.clear();
}

void TestTrayCallbacks::cleanup()
{
    // Calls a test posted (a voice login's link run) end with it.
    QCoreApplication::sendPostedEvents(app(), QEvent::MetaCall);
    for (Conversation *conversation : {channel(), channel(kOtherChannel)})
        conversation->setJoinState(Conversation::NotJoined);
    signOut();
}

void TestTrayCallbacks::onlyAPlainClickShowsAWindow_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("shown");
    QTest::newRow("click") << int(QSystemTrayIcon::Trigger) << true;
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << false;
    QTest::newRow("context menu") << int(QSystemTrayIcon::Context) << false;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << false;
    QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown) << false;
}

void TestTrayCallbacks::onlyAPlainClickShowsAWindow()
{
    QFETCH(int, reason);
    QFETCH(bool, shown);
    LogCapture capture;
    app()->onSystrayActivated(QSystemTrayIcon::ActivationReason(reason));
    QCOMPARE(visible(app()->loginPrompt()), shown);
    QVERIFY(!visible(app()->mainFrame()));
    QVERIFY(shelltest::qmlWarnings(capture).isEmpty());
}

void TestTrayCallbacks::clicksWhileSignedOutShowTheLogin_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("loggingIn");
    QTest::newRow("private chat") << "private" << kChannel << false;
    QTest::newRow("channel") << "channel" << kChannel << false;
    QTest::newRow("invitation") << "invite" << kChannel << false;
    QTest::newRow("conversation") << "conversation" << QStringLiteral("__Tavri:") + kChannel << false;
    QTest::newRow("plain balloon") << "plain" << QString() << false;
    QTest::newRow("channel, logging in") << "channel" << kChannel << true;
    QTest::newRow("invitation, logging in") << "invite" << kChannel << true;
    QTest::newRow("conversation, logging in") << "conversation" << QStringLiteral("__Tavri:") + kChannel << true;
    QTest::newRow("tray icon, logging in") << "tray" << QString() << true;
}

void TestTrayCallbacks::clicksWhileSignedOutShowTheLogin()
{
    QFETCH(QString, kind);
    QFETCH(QString, argument);
    QFETCH(bool, loggingIn);
    if (loggingIn) {
        signedin::enterLoginState(*m_web, LocalUser::LoggingIn);
        QCOMPARE(LocalUser::getLocalUser()->getLoginState(), LocalUser::LoggingIn);
    }
    LogCapture capture;
    clickBalloon(kind, argument);
    QVERIFY(visible(app()->loginPrompt()));
    QVERIFY(!visible(app()->mainFrame()));
    QCOMPARE(channel()->getJoinState(), Conversation::NotJoined);
    QVERIFY(shelltest::events(capture, QStringLiteral("Application.JoinChannelFromSystray")).isEmpty());
    QVERIFY(shelltest::qmlWarnings(capture).isEmpty());
}

void TestTrayCallbacks::clicksWhileSignedInJoin_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("joins");
    QTest::addColumn<bool>("mainFrameShown");
    QTest::newRow("private chat balloon") << "private" << kChannel << true << false;
    QTest::newRow("channel balloon") << "channel" << kChannel << true << false;
    QTest::newRow("channel balloon, no address") << "channel" << QString() << false << false;
    QTest::newRow("invitation") << "invite" << kChannel << true << true;
    // Split at the first colon: the realm, then the conversation id with
    // its own colons.
    QTest::newRow("conversation of the built-in realm")
        << "conversation" << QStringLiteral("__Tavri:") + kChannel << true << false;
    QTest::newRow("conversation of an unknown realm")
        << "conversation" << QStringLiteral("a:") + kChannel << false << false;
    QTest::newRow("conversation, realm only") << "conversation" << QStringLiteral("__Tavri") << false << false;
    QTest::newRow("plain balloon") << "plain" << QString() << false << true;
    QTest::newRow("tray icon") << "tray" << QString() << false << true;
}

void TestTrayCallbacks::clicksWhileSignedInJoin()
{
    QFETCH(QString, kind);
    QFETCH(QString, argument);
    QFETCH(bool, joins);
    QFETCH(bool, mainFrameShown);
    QVERIFY(alertstest::signIn(m_web, QStringLiteral("Me")));
    LogCapture capture;
    clickBalloon(kind, argument);
    QCOMPARE(channel()->getJoinState(), joins ? Conversation::Joining : Conversation::NotJoined);
    QCOMPARE(channel(kOtherChannel)->getJoinState(), Conversation::NotJoined);
    QCOMPARE(visible(app()->mainFrame()), mainFrameShown);
    QVERIFY(!visible(app()->loginPrompt()));
    QVERIFY(shelltest::qmlWarnings(capture).isEmpty());
}

void TestTrayCallbacks::inviteClickTracksTheJoin()
{
    QVERIFY(alertstest::signIn(m_web, QStringLiteral("Me")));
    LogCapture capture;
    app()->onSystemTrayInviteMessageClicked(kChannel);
    app()->onSystemTrayInviteMessageClicked(QString());
    QCOMPARE(shelltest::events(capture, QStringLiteral("Application.JoinChannelFromSystray")).size(), 1);
    QCOMPARE(shelltest::events(capture, QStringLiteral("Application.JoinChannelFromSystrayFailed_noConv")).size(), 1);
    QCOMPARE(channel()->getJoinState(), Conversation::Joining);
}

void TestTrayCallbacks::updateOfferAnnouncedOnce()
{
    QSignalSpy version(app(), &TavriApplication::availableUpdateVersionChanged);
    QSignalSpy link(app(), &TavriApplication::availableUpdateLinkChanged);
    QSignalSpy message(app(), &TavriApplication::availableUpdateMessageChanged);
    const QString url = QStringLiteral("https://download.tavri.test/setup-2.0.exe");
    for (int i = 0; i < 2; ++i)
        app()->onUpdateAvailable(QStringLiteral("2.0"), url, QStringLiteral("Faster joins"));
    QCOMPARE(version.size(), 1);
    QCOMPARE(version.first().first().toString(), QStringLiteral("2.0"));
    QCOMPARE(link.size(), 1);
    QCOMPARE(link.first().first().toString(), url);
    QCOMPARE(message.size(), 1);
    QCOMPARE(message.first().first().toString(), QStringLiteral("Faster joins"));
    QCOMPARE(app()->availableUpdateVersion(), QStringLiteral("2.0"));
    QCOMPARE(app()->availableUpdateLink(), url);
    QCOMPARE(app()->availableUpdateMessage(), QStringLiteral("Faster joins"));

    QCOMPARE(balloons().size(), 2);
    for (const SystemTrayIcon::Balloon &balloon : balloons()) {
        QCOMPARE(balloon.title, QStringLiteral("Update available"));
        QCOMPARE(balloon.message, QStringLiteral("Click here to open Tavri and view the update"));
        QCOMPARE(balloon.icon, QSystemTrayIcon::NoIcon);
        QCOMPARE(balloon.msecs, 5000);
    }
    QCOMPARE(alertstest::tray()->callbackMethod(), QStringLiteral("onSystemTrayUpdateAvailableMessageClicked"));

    // A newer offer changes only what differs.
    app()->onUpdateAvailable(QStringLiteral("2.1"), url, QStringLiteral("Faster joins"));
    QCOMPARE(version.size(), 2);
    QCOMPARE(link.size(), 1);
    QCOMPARE(message.size(), 1);
}

void TestTrayCallbacks::updateLinkOpensOnlyWebPages_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << "https://download.tavri.test/setup.exe" << true;
    QTest::newRow("http") << "http://download.tavri.test/setup.exe?v=2" << true;
    QTest::newRow("upper-case scheme") << "HTTPS://download.tavri.test/" << true;
    QTest::newRow("local file") << "file:///usr/bin/setup" << false;
    QTest::newRow("another program's link") << "tavri:AB-someone" << false;
    QTest::newRow("script") << "javascript:alert(1)" << false;
    QTest::newRow("no scheme") << "download.tavri.test/setup.exe" << false;
    QTest::newRow("no host") << "https:///setup.exe" << false;
    QTest::newRow("not an address") << "http://exa mple.test/%zz" << false;
    QTest::newRow("empty") << "" << false;
}

void TestTrayCallbacks::updateLinkOpensOnlyWebPages()
{
    QFETCH(QString, link);
    QFETCH(bool, opened);
    LogCapture capture;
    app()->onUpdateAvailable(QStringLiteral("3.0"), link, QStringLiteral("New"));
    // Only a web page is offered to the windows that open the link.
    QCOMPARE(app()->availableUpdateLink(), opened ? link : QString());
    QCOMPARE(balloons().size(), 1);
    alertstest::tray()->onMessageClicked();
    if (opened) {
        QCOMPARE(m_opened.urls.size(), 1);
        QCOMPARE(m_opened.urls.first(), QUrl(link));
        QVERIFY(capture.matching(QStringLiteral("Invalid update URL:")).isEmpty());
    } else {
        QVERIFY(m_opened.urls.isEmpty());
        QVERIFY(!capture.matching(QStringLiteral("Invalid update URL:")).isEmpty());
    }
}

void TestTrayCallbacks::voiceLoginStopsWatchdogAndAppliesVoice()
{
    StorageManager *storage = StorageManager::getInstance();
    AudioCuesManager *cues = app()->audioCuesManager();
    QVERIFY(cues->getAvailableTTSVoices().contains(QStringLiteral("Alice")));
    QVERIFY(cues->getAvailableTTSVoices().contains(QStringLiteral("Bob")));

    // No stored voice: the one in use stays.
    cues->setTTSVoice(QStringLiteral("Alice"));
    storage->removeSettingsValue(QStringLiteral("settingsTTSvoice"));
    m_web->hang(QStringLiteral("LoginUser"));
    app()->requestLogin(QStringLiteral("me@example.test"), QStringLiteral("pw"));
    QVERIFY(app()->loginWatchdogTimer() != 0);
    app()->onVoiceLoggedIn();
    QCOMPARE(app()->loginWatchdogTimer(), 0);
    QCOMPARE(app()->currentTTSVoice(), QStringLiteral("Alice"));

    storage->setSettingsValue(QStringLiteral("settingsTTSvoice"), QStringLiteral("Bob"));
    app()->onVoiceLoggedIn();
    QCOMPARE(app()->currentTTSVoice(), QStringLiteral("Bob"));
    storage->removeSettingsValue(QStringLiteral("settingsTTSvoice"));
}

void TestTrayCallbacks::voiceLoginHandlesOneQueuedLink()
{
    const QStringList links = {QStringLiteral("tavri:EA"), QStringLiteral("tavri:EC-game-room-ann")};
    for (const QString &link : links)
        app()->onProtocolMessageReceived(link);
    // Signed out, both wait.
    QCOMPARE(app()->startupLinks(), links);
    QVERIFY(alertstest::signIn(m_web, QStringLiteral("Me")));
    LogCapture capture;
    app()->onVoiceLoggedIn();
    QTRY_COMPARE(app()->startupLinks(), QStringList{links.last()});
    // Nothing more is on its way: the second link still waits.
    QCoreApplication::sendPostedEvents(app(), QEvent::MetaCall);
    QCOMPARE(app()->startupLinks(), QStringList{links.last()});
    QCOMPARE(shelltest::events(capture, QStringLiteral("StartupLink.ExitChannels")).size(), 1);
    QVERIFY(shelltest::events(capture, QStringLiteral("StartupLink.LeaveThirdPartyChannel")).isEmpty());

    // The next login takes the next link.
    app()->onVoiceLoggedIn();
    QTRY_COMPARE(app()->startupLinks(), QStringList());
    QCOMPARE(shelltest::events(capture, QStringLiteral("StartupLink.LeaveThirdPartyChannel")).size(), 1);
}

void TestTrayCallbacks::voiceLogoutIsTracked()
{
    LogCapture capture;
    app()->onVoiceLoggedOut(QStringLiteral("server shut down"));
    app()->onVoiceLoggedOut(QString());
    QCOMPARE(shelltest::events(capture, QStringLiteral("Application.Logout")),
             (QStringList{QStringLiteral("(\"r:server shut down\")"), QStringLiteral("()")}));
}

void TestTrayCallbacks::voiceValuesAreRelayed_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("logged");
    QTest::newRow("capture index") << "onVoiceManagerCaptureDeviceIndexChanged"
                                   << "captureDeviceIndexChanged" << QVariant(3) << "";
    QTest::newRow("render index") << "onVoiceManagerRenderDeviceIndexChanged"
                                  << "renderDeviceIndexChanged" << QVariant(-1) << "";
    QTest::newRow("capture name") << "onVoiceManagerCaptureDeviceNameChanged"
                                  << "captureDeviceNameChanged" << QVariant(QStringLiteral("Headset Mic")) << "";
    QTest::newRow("render name") << "onVoiceManagerRenderDeviceNameChanged"
                                 << "renderDeviceNameChanged" << QVariant(QStringLiteral("Speakers")) << "";
    QTest::newRow("effective capture name")
        << "onVoiceManagerEffectiveCaptureDeviceNameChanged"
        << "effectiveCaptureDeviceNameChanged" << QVariant(QStringLiteral("Default Mic")) << "";
    QTest::newRow("effective render name")
        << "onVoiceManagerEffectiveRenderDeviceNameChanged"
        << "effectiveRenderDeviceNameChanged" << QVariant(QStringLiteral("Default Speakers")) << "";
    QTest::newRow("transmitting channel") << "onVoiceManagerTransmittingChannelChanged"
                                          << "transmittingChannelChanged" << QVariant(kChannel) << "";
    QTest::newRow("network") << "onVoiceManagerNetworkStateChanged"
                             << "networkStateChanged" << QVariant(false)
                             << "Network state changed signaled by VoiceManager... networkIsAvailable = false";
    QTest::newRow("capture test") << "onVoiceManagerCaptureTestRunningChanged"
                                  << "captureTestRunningChanged" << QVariant(true) << "captureTestRunning= true";
    QTest::newRow("render test") << "onVoiceManagerRenderTestRunningChanged"
                                 << "renderTestRunningChanged" << QVariant(true) << "renderTestRunning= true";
}

void TestTrayCallbacks::voiceValuesAreRelayed()
{
    QFETCH(QString, slot);
    QFETCH(QString, signal);
    QFETCH(QVariant, value);
    QFETCH(QString, logged);
    const QMetaObject *meta = app()->metaObject();
    int signalIndex = -1;
    for (int i = 0; i < meta->methodCount(); ++i) {
        if (meta->method(i).methodType() == QMetaMethod::Signal && meta->method(i).name() == signal.toLatin1())
            signalIndex = i;
    }
    QVERIFY(signalIndex >= 0);
    QSignalSpy spy(app(), meta->method(signalIndex));
    LogCapture capture;
    QGenericArgument argument;
    const QString text = value.toString();
    const int number = value.toInt();
    const bool flag = value.toBool();
    if (value.type() == QVariant::String)
        argument = Q_ARG(QString, text);
    else if (value.type() == QVariant::Int)
        argument = Q_ARG(int, number);
    else
        argument = Q_ARG(bool, flag);
    QVERIFY(QMetaObject::invokeMethod(app(), slot.toLatin1().constData(), argument));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first(), value);
    if (!logged.isEmpty())
        QVERIFY(!capture.matching(logged).isEmpty());
}

TAVRI_SHELL_TEST_MAIN_WITH(TrayApplication, TestTrayCallbacks, "Ostrel:tavri-test-traycallbacks")
#include "tst_traycallbacks.moc"
