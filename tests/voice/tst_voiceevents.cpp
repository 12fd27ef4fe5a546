#include "voicemanager.h"

#include <QtTest>

#include <cmath>
#include <limits>

#include "conversation.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "testenvironment.h"
#include "voicedispatch.h"
#include "voicetestsupport.h"

using namespace voicetest;
using namespace voicedispatch;

namespace {

void loginState(const char *account, int state, int status = 0, const char *statusText = nullptr)
{
    auto *event = newEvent<ox_evt_account_login_state_change_t>(OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE);
    event->account_handle = ox_strdup(account);
    event->state = state;
    event->status_code = status;
    event->status_string = statusText ? ox_strdup(statusText) : nullptr;
    QVERIFY(dispatch(event));
}

void sessionAdded(const char *session, const char *uri, int incoming = 0)
{
    auto *event = newEvent<ox_evt_session_added_t>(OX_EVT_SESSION_ADDED);
    event->session_group_handle = ox_strdup("group-1");
    event->session_handle = ox_strdup(session);
    event->uri = ox_strdup(uri);
    event->is_incoming = incoming;
    event->display_name = ox_strdup("Display");
    QVERIFY(dispatch(event));
}

void sessionRemoved(const char *session, const char *uri)
{
    auto *event = newEvent<ox_evt_session_removed_t>(OX_EVT_SESSION_REMOVED);
    event->session_group_handle = ox_strdup("group-1");
    event->session_handle = ox_strdup(session);
    event->uri = ox_strdup(uri);
    QVERIFY(dispatch(event));
}

void participant(bool added, const char *session, const char *uri, bool currentUser)
{
    if (added) {
        auto *event = newEvent<ox_evt_participant_added_t>(OX_EVT_PARTICIPANT_ADDED);
        event->session_handle = ox_strdup(session);
        event->participant_uri = ox_strdup(uri);
        event->participant_tag = ox_strdup("Tag");
        event->is_current_user = currentUser ? 1 : 0;
        QVERIFY(dispatch(event));
    } else {
        auto *event = newEvent<ox_evt_participant_removed_t>(OX_EVT_PARTICIPANT_REMOVED);
        event->session_handle = ox_strdup(session);
        event->participant_uri = ox_strdup(uri);
        event->participant_tag = ox_strdup("Tag");
        event->is_current_user = currentUser ? 1 : 0;
        event->reason = 2;
        QVERIFY(dispatch(event));
    }
}

void mediaStream(const char *session, int state, int status, const char *statusText, int incoming = 0)
{
    auto *event = newEvent<ox_evt_media_stream_updated_t>(OX_EVT_MEDIA_STREAM_UPDATED);
    event->session_group_handle = ox_strdup("group-1");
    event->session_handle = ox_strdup(session);
    event->state = state;
    event->status_code = status;
    event->status_string = statusText ? ox_strdup(statusText) : nullptr;
    event->incoming = incoming;
    QVERIFY(dispatch(event));
}

ox_evt_aux_audio_properties_t *audioPropertiesEvent(double micEnergy, double noiseFloor)
{
    auto *event = newEvent<ox_evt_aux_audio_properties_t>(OX_EVT_AUX_AUDIO_PROPERTIES);
    event->mic_is_active = 1;
    event->mic_volume = 60;
    event->mic_energy = micEnergy;
    event->speaker_volume = 70;
    event->speaker_is_active = 1;
    event->speaker_energy = 0.25;
    event->noise_floor = noiseFloor;
    event->speech_threshold = 0.4;
    return event;
}

} // namespace

// Events of the voice SDK turned into state and signals: the login states,
// sessions and participants, media streams, texts, app data and audio levels.
class TestVoiceEvents : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void ownLoginCompletes();
    void loggedInForAnUnknownHandleChangesNothing_data();
    void loggedInForAnUnknownHandleChangesNothing();
    void anotherRealmsAccountLoginStates();
    void loggedOutForAStrangerEndsTheWaitingLogin();
    void ownLogout_data();
    void ownLogout();
    void mediaStreamConnected();
    void mediaStreamFailures_data();
    void mediaStreamFailures();
    void mediaStreamDisconnectedServerError();
    void sessionStaysTerminableUntilRemoved();
    void joiningAConferenceMakesItTransmit();
    void transmittingSessionRemovedHandsOver_data();
    void transmittingSessionRemovedHandsOver();
    void leavingTheTransmittingSession();
    void sessionRemovedKeepsAnotherSessionsEntry();
    void sessionAddedIncoming();
    void buddyEvents();
    void presenceAndTexts();
    void serverAppData_data();
    void serverAppData();
    void networkMessages_data();
    void networkMessages();
    void audioProperties();
    void unhandledEventsPassThrough();
    // Last: beginning the exit ends every later event loop of this process.
    void loginCompletingWhileExitingIsLoggedOut();

private:
    VoiceManager *m_voice = nullptr;
};

void TestVoiceEvents::initTestCase()
{
    QVERIFY(StorageManager::getInstance());
    // The realm asks the web service about channels and users; nothing
    // listens here.
    new QSocialManager(nullptr, QStringLiteral("http://127.0.0.1:9/gateway.php"), QStringLiteral("127.0.0.1:9"));
}

void TestVoiceEvents::cleanupTestCase()
{
    oxc_reset();
}

void TestVoiceEvents::init()
{
    oxc_reset();
    oxc_set_meter_interval(0);
    m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false);
    QSignalSpy created(m_voice, &VoiceManager::connectorCreated);
    m_voice->createConnector();
    QVERIFY(created.wait(5000));
    QVERIFY(settle());
}

void TestVoiceEvents::cleanup()
{
    delete m_voice;
    m_voice = nullptr;
}

void TestVoiceEvents::ownLoginCompletes()
{
    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 1);
    m_voice->requestLogin(QStringLiteral("mine"), QString());
    oxc_clear_requests();

    QSignalSpy timerStopped(m_voice, &VoiceManager::stopLoginTimer);
    int groupCreatesAtLogin = -1;
    connect(m_voice, &VoiceManager::voiceLoggedIn, this,
            [&groupCreatesAtLogin]() { groupCreatesAtLogin = oxc_request_count(OX_REQ_SESSIONGROUP_CREATE); });

    loginState("account-7", 2);
    QVERIFY(m_voice->accountHandle().isEmpty());
    loginState("account-7", 1);
    QCOMPARE(m_voice->accountHandle(), QStringLiteral("account-7"));
    QCOMPARE(timerStopped.count(), 1);
    QCOMPARE(groupCreatesAtLogin, 1);
    QCOMPARE(text(lastRequest<ox_req_sessiongroup_create_t>(OX_REQ_SESSIONGROUP_CREATE)->account_handle),
             QByteArray("account-7"));
    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 0);
}

void TestVoiceEvents::loginCompletingWhileExitingIsLoggedOut()
{
    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 1);
    m_voice->requestLogin(QStringLiteral("leaving"), QString());
    m_voice->onAppExit();
    oxc_clear_requests();
    QSignalSpy loggedIn(m_voice, &VoiceManager::voiceLoggedIn);

    loginState("account-8", 2);
    loginState("account-8", 1);
    QCOMPARE(loggedIn.count(), 0);
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE), 0);
    const auto *logout = lastRequest<ox_req_account_logout_t>(OX_REQ_ACCOUNT_LOGOUT);
    QVERIFY(logout);
    QCOMPARE(text(logout->account_handle), QByteArray("account-8"));
    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 0);
}

void TestVoiceEvents::loggedInForAnUnknownHandleChangesNothing_data()
{
    QTest::addColumn<QByteArray>("handle");
    QTest::newRow("stranger") << QByteArray("stranger");
    // Equal to the empty handle of a login that never started.
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("null") << QByteArray();
}

void TestVoiceEvents::loggedInForAnUnknownHandleChangesNothing()
{
    QFETCH(QByteArray, handle);
    oxc_clear_requests();
    QSignalSpy loggedIn(m_voice, &VoiceManager::voiceLoggedIn);
    QSignalSpy timerStopped(m_voice, &VoiceManager::stopLoginTimer);
    if (handle.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, "VoiceManager: ignoring a logged-in event without an account handle");
    loginState(handle.isNull() ? nullptr : handle.constData(), 1);
    QCOMPARE(loggedIn.count(), 0);
    QCOMPARE(timerStopped.count(), 0);
    QVERIFY(m_voice->accountHandle().isEmpty());
    QCOMPARE(oxc_request_count(-1), 0);
}

void TestVoiceEvents::anotherRealmsAccountLoginStates()
{
    // An external realm's login gives its account handle.
    QSignalSpy handles(m_voice, &VoiceManager::accountHandleReceived);
    m_voice->requestLogin(QStringLiteral("game-user"), QStringLiteral("realm-1"));
    QVERIFY(handles.wait(5000));
    QVERIFY(settle());
    const QByteArray shared = handles.at(0).at(1).toString().toLatin1();
    QVERIFY(!shared.isEmpty());
    QSignalSpy loggedIn(m_voice, &VoiceManager::voiceLoggedIn);
    QSignalSpy loggedOut(m_voice, &VoiceManager::voiceLoggedOut);
    oxc_clear_requests();

    // Logging in again after an aborted login: logged out as soon as it is in.
    loginState(shared.constData(), 2);
    loginState(shared.constData(), 1);
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_LOGOUT), 1);
    QCOMPARE(text(lastRequest<ox_req_account_logout_t>(OX_REQ_ACCOUNT_LOGOUT)->account_handle), shared);

    // Once logged out, it is no longer waited for.
    loginState(shared.constData(), 0);
    loginState(shared.constData(), 1);
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_LOGOUT), 1);

    // Its own logout is its realm's business.
    loginState(shared.constData(), 0);
    QCOMPARE(oxc_request_count(-1), 1);
    QCOMPARE(loggedIn.count(), 0);
    QCOMPARE(loggedOut.count(), 0);
    QVERIFY(m_voice->accountHandle().isEmpty());
}

void TestVoiceEvents::loggedOutForAStrangerEndsTheWaitingLogin()
{
    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 1);
    m_voice->requestLogin(QStringLiteral("waiting"), QString());
    QSignalSpy timerStopped(m_voice, &VoiceManager::stopLoginTimer);
    QSignalSpy loggedOut(m_voice, &VoiceManager::voiceLoggedOut);
    loginState("account-9", 2);
    loginState("stranger", 0);
    QCOMPARE(timerStopped.count(), 1);
    QCOMPARE(loggedOut.count(), 0);
    // The aborted login's handle is forgotten: its late logged-in event is
    // not taken as the own login.
    loginState("account-9", 1);
    QVERIFY(m_voice->accountHandle().isEmpty());
    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 0);
}

void TestVoiceEvents::ownLogout_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("statusText");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("reported");

    QTest::newRow("OK") << 0 << QByteArray("OK") << "" << false;
    QTest::newRow("no text") << 0 << QByteArray() << "" << false;
    QTest::newRow("server error") << 503 << QByteArray("Service Unavailable") << "Service Unavailable" << true;
    QTest::newRow("299 is not reported") << 299 << QByteArray("Odd") << "Odd" << false;
}

void TestVoiceEvents::ownLogout()
{
    QFETCH(int, status);
    QFETCH(QByteArray, statusText);
    QFETCH(QString, reason);
    QFETCH(bool, reported);

    QVERIFY(logIn(*m_voice, QStringLiteral("outgoing")));
    sessionAdded("session-1", "sip:confctl-g-1@voice.tavri.net");
    participant(true, "session-1", "sip:u-outgoing@voice.tavri.net", true);
    QCOMPARE(m_voice->getTransmittingChannel(), QStringLiteral("sip:confctl-g-1@voice.tavri.net"));

    QList<QString> order;
    connect(m_voice, &VoiceManager::sdkError, this, [&order]() { order << QStringLiteral("error"); });
    connect(m_voice, &VoiceManager::voiceLoggedOut, this, [&order](const QString &why) { order << "out:" + why; });
    QSignalSpy errors(m_voice, &VoiceManager::sdkError);
    loginState(m_voice->accountHandle().toLatin1().constData(), 0, status,
               statusText.isNull() ? nullptr : statusText.constData());

    QStringList expected;
    if (reported)
        expected << QStringLiteral("error");
    expected << "out:" + reason;
    QCOMPARE(QStringList(order), expected);
    if (reported)
        QCOMPARE(errors.at(0).at(1).toString(), QStringLiteral("ox_evt_account_login_state_change_logged_out"));
    QVERIFY(m_voice->accountHandle().isEmpty());
    QCOMPARE(m_voice->getTransmittingChannel(), QString());
    QCOMPARE(m_voice->channelSessionGroupHandle(), QString());
    QCOMPARE(m_voice->getUriBySessionHandle(QStringLiteral("session-1")), QString());
    QCOMPARE(m_voice->getSessionHandleByUri(QStringLiteral("sip:confctl-g-1@voice.tavri.net")), QString());
}

void TestVoiceEvents::mediaStreamConnected()
{
    QStringList order;
    connect(m_voice, &VoiceManager::sessionJoined, this, [&order](const QString &h) { order << "joined:" + h; });
    connect(m_voice, &VoiceManager::mediaStreamUpdated, this,
            [&order](const QString &h, bool incoming, int state, const QString &message) {
                order << QStringLiteral("media:%1:%2:%3:%4").arg(h).arg(incoming).arg(state).arg(message);
            });
    QSignalSpy errors(m_voice, &VoiceManager::sdkError);
    mediaStream("session-m", 2, 0, nullptr, 1);
    QCOMPARE(order, QStringList({QStringLiteral("joined:session-m"), QStringLiteral("media:session-m:1:2:Connected")}));
    QCOMPARE(errors.count(), 0);

    // Unknown states are shown by number; a status text carries its code.
    order.clear();
    mediaStream("session-m", 42, 0, nullptr);
    mediaStream("session-m", 6, 183, "Progress");
    QCOMPARE(order, QStringList({QStringLiteral("media:session-m:0:42:42"),
                                 QStringLiteral("media:session-m:0:6:(183) Progress")}));
}

void TestVoiceEvents::mediaStreamFailures_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("statusText");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<bool>("reported");

    QTest::newRow("404") << 1 << 404 << QByteArray("Not Found") << QByteArray(SIGNAL(channelNotFound(QString)))
                         << false;
    QTest::newRow("401") << 1 << 401 << QByteArray("Unauthorized")
                         << QByteArray(SIGNAL(channelPasswordRequired(QString))) << false;
    QTest::newRow("408") << 1 << 408 << QByteArray("Timeout") << QByteArray(SIGNAL(channelConnectTimeout(QString)))
                         << true;
    QTest::newRow("1058") << 1 << 1058 << QByteArray("") << QByteArray(SIGNAL(rtpTimeout(QString))) << false;
    QTest::newRow("1060") << 1 << 1060 << QByteArray("") << QByteArray(SIGNAL(maximumCallsExceeded(QString))) << true;
    QTest::newRow("1095") << 1 << 1095 << QByteArray("") << QByteArray(SIGNAL(rtpRecvTimeout(QString))) << false;
    QTest::newRow("7006") << 1 << 7006 << QByteArray("") << QByteArray(SIGNAL(cannotOpenCaptureDevice(QString)))
                          << true;
    QTest::newRow("20900") << 1 << 20900 << QByteArray("") << QByteArray(SIGNAL(cannotAddEchoToSession())) << true;
    QTest::newRow("40964") << 1 << 40964 << QByteArray("") << QByteArray(SIGNAL(audioDeviceProblem(int))) << true;
    QTest::newRow("403 (494)") << 1 << 403 << QByteArray("Forbidden (494)")
                               << QByteArray(SIGNAL(channelAccessDenied(QString, QString))) << false;
    QTest::newRow("403 plain") << 1 << 403 << QByteArray("Forbidden")
                               << QByteArray(SIGNAL(channelAccessDenied(QString, QString))) << true;
    QTest::newRow("(491) text") << 1 << 480 << QByteArray("Busy (491)")
                                << QByteArray(SIGNAL(channelPasswordRequired(QString))) << true;
    QTest::newRow("20212") << 1 << 20212 << QByteArray("Banned")
                           << QByteArray(SIGNAL(channelAccessDenied(QString, QString))) << false;
    QTest::newRow("no status") << 1 << 0 << QByteArray() << QByteArray(SIGNAL(mediaDisconnected(QString, QString)))
                               << false;
}

void TestVoiceEvents::mediaStreamFailures()
{
    QFETCH(int, state);
    QFETCH(int, status);
    QFETCH(QByteArray, statusText);
    QFETCH(QByteArray, signal);
    QFETCH(bool, reported);

    QSignalSpy expected(m_voice, signal.constData());
    QSignalSpy errors(m_voice, &VoiceManager::sdkError);
    QSignalSpy joined(m_voice, &VoiceManager::sessionJoined);
    QSignalSpy updated(m_voice, &VoiceManager::mediaStreamUpdated);
    mediaStream("session-f", state, status, statusText.isNull() ? nullptr : statusText.constData());
    QCOMPARE(expected.count(), 1);
    QCOMPARE(errors.count(), reported ? 1 : 0);
    if (reported)
        QCOMPARE(errors.at(0).at(1).toString(), QStringLiteral("ox_evt_media_stream_updated_disconnected"));
    QCOMPARE(joined.count(), 0);
    QCOMPARE(updated.count(), 1);
}

void TestVoiceEvents::mediaStreamDisconnectedServerError()
{
    QVERIFY(logIn(*m_voice, QStringLiteral("media")));
    sessionAdded("session-k", "sip:confctl-g-k@voice.tavri.net");
    participant(true, "session-k", "sip:u-media@voice.tavri.net", true);
    QVERIFY(m_voice->knownSessions().contains(QStringLiteral("session-k")));

    QSignalSpy errors(m_voice, &VoiceManager::sdkError);
    QSignalSpy disconnected(m_voice, &VoiceManager::mediaDisconnected);
    QSignalSpy reallyConnected(m_voice, &VoiceManager::sessionReallyConnectedChanged);
    mediaStream("session-k", 1, 500, "Server Error");
    QCOMPARE(errors.count(), 1);
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(disconnected.at(0), QVariantList({QStringLiteral("session-k"), QStringLiteral("Server Error")}));
    QCOMPARE(reallyConnected.count(), 1);
    QVERIFY(!m_voice->knownSessions().contains(QStringLiteral("session-k")));

    // A session that was not known changes no connection state.
    mediaStream("session-other", 1, 500, "Server Error");
    QCOMPARE(reallyConnected.count(), 1);
}

void TestVoiceEvents::sessionStaysTerminableUntilRemoved()
{
    sessionAdded("session-d", "sip:confctl-g-d@voice.tavri.net");
    participant(true, "session-d", "sip:u-me@voice.tavri.net", true);
    // Audio goes away, the session does not.
    mediaStream("session-d", 1, 0, nullptr);
    QVERIFY(!m_voice->knownSessions().contains(QStringLiteral("session-d")));
    oxc_hold(OX_REQ_SESSION_TERMINATE, 1);
    QVERIFY(m_voice->requestTerminateSession(QStringLiteral("session-d")));
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_TERMINATE), 1);

    sessionRemoved("session-d", "sip:confctl-g-d@voice.tavri.net");
    QVERIFY(!m_voice->requestTerminateSession(QStringLiteral("session-d")));
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_TERMINATE), 1);
    oxc_hold(OX_REQ_SESSION_TERMINATE, 0);
}

void TestVoiceEvents::joiningAConferenceMakesItTransmit()
{
    emit m_voice->sessionGroupAdded(QStringLiteral("channels"));
    sessionAdded("session-c", "sip:confctl-g-c@voice.tavri.net");
    sessionAdded("session-p", "sip:u-peer@voice.tavri.net");
    oxc_clear_requests();
    QSignalSpy reallyConnected(m_voice, &VoiceManager::sessionReallyConnectedChanged);
    QSignalSpy added(m_voice, &VoiceManager::participantAdded);

    // Another participant, and the local user in a private chat: no change.
    participant(true, "session-c", "sip:u-Other@voice.tavri.net", false);
    participant(true, "session-p", "sip:u-me@voice.tavri.net", true);
    QCOMPARE(m_voice->getTransmittingChannel(), QString());
    QCOMPARE(reallyConnected.count(), 1);
    QCOMPARE(added.at(0), QVariantList({QStringLiteral("sip:u-other@voice.tavri.net"), QStringLiteral("session-c"),
                                        QString(), QStringLiteral("Tag")}));

    participant(true, "session-c", "sip:u-me@voice.tavri.net", true);
    QCOMPARE(m_voice->getTransmittingChannel(), QStringLiteral("sip:confctl-g-c@voice.tavri.net"));
    QCOMPARE(reallyConnected.count(), 2);
    const auto *tx = lastRequest<ox_req_sessiongroup_set_tx_session_t>(OX_REQ_SESSIONGROUP_SET_TX_SESSION);
    QVERIFY(tx);
    QCOMPARE(text(tx->session_handle), QByteArray("session-c"));
    QCOMPARE(text(tx->session_group_handle), QByteArray("channels"));
}

void TestVoiceEvents::transmittingSessionRemovedHandsOver_data()
{
    QTest::addColumn<int>("voiceEnabled"); // which remaining session has voice: 0 none, 1 or 2
    QTest::newRow("second has voice") << 2;
    QTest::newRow("first has voice") << 1;
    QTest::newRow("none has voice") << 0;
}

void TestVoiceEvents::transmittingSessionRemovedHandsOver()
{
    QFETCH(int, voiceEnabled);

    emit m_voice->sessionGroupAdded(QStringLiteral("channels"));
    const QByteArray tag = QByteArray::number(QTest::currentDataTag() ? qHash(QByteArray(QTest::currentDataTag())) : 0);
    const QByteArray uris[] = {"sip:confctl-g-one" + tag + "@voice.tavri.net",
                               "sip:confctl-g-two" + tag + "@voice.tavri.net",
                               "sip:confctl-g-three" + tag + "@voice.tavri.net"};
    sessionAdded("s1", uris[1].constData());
    sessionAdded("s2", uris[2].constData());
    sessionAdded("s0", uris[0].constData());
    participant(true, "s1", "sip:u-me@voice.tavri.net", true);
    participant(true, "s2", "sip:u-me@voice.tavri.net", true);
    participant(true, "s0", "sip:u-me@voice.tavri.net", true);
    QCOMPARE(m_voice->getTransmittingChannel(), QString::fromLatin1(uris[0]));
    for (int i = 1; i <= 2; ++i) {
        Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(QString::fromLatin1(uris[i]));
        QVERIFY(conversation);
        conversation->setVoiceState(i == voiceEnabled ? Conversation::VoiceEnabled : Conversation::VoiceDisabled);
    }

    QSignalSpy removed(m_voice, &VoiceManager::sessionRemoved);
    sessionRemoved("s0", uris[0].constData());
    QCOMPARE(m_voice->getTransmittingChannel(), voiceEnabled ? QString::fromLatin1(uris[voiceEnabled]) : QString());
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0), QVariantList({QString::fromLatin1(uris[0]).toLower(), QStringLiteral("s0")}));
}

void TestVoiceEvents::leavingTheTransmittingSession()
{
    emit m_voice->sessionGroupAdded(QStringLiteral("channels"));
    sessionAdded("s1", "sip:confctl-g-first@voice.tavri.net");
    sessionAdded("s2", "sip:confctl-g-second@voice.tavri.net");
    participant(true, "s1", "sip:u-me@voice.tavri.net", true);
    participant(true, "s2", "sip:u-me@voice.tavri.net", true);
    QCOMPARE(m_voice->getTransmittingChannel(), QStringLiteral("sip:confctl-g-second@voice.tavri.net"));

    QSignalSpy removedSpy(m_voice, &VoiceManager::participantRemoved);
    participant(false, "s2", "sip:u-Me@voice.tavri.net", true);
    QCOMPARE(m_voice->getTransmittingChannel(), QStringLiteral("sip:confctl-g-first@voice.tavri.net"));
    QCOMPARE(removedSpy.at(0), QVariantList({QStringLiteral("sip:u-me@voice.tavri.net"), QStringLiteral("s2"), 2,
                                             QStringLiteral("tag")}));
    participant(false, "s1", "sip:u-me@voice.tavri.net", true);
    QCOMPARE(m_voice->getTransmittingChannel(), QString());
}

void TestVoiceEvents::sessionRemovedKeepsAnotherSessionsEntry()
{
    sessionAdded("first", "sip:u-Twin@voice.tavri.net");
    sessionAdded("second", "sip:u-Twin@voice.tavri.net");
    QCOMPARE(m_voice->getSessionHandleByUri(QStringLiteral("sip:u-Twin@voice.tavri.net")), QStringLiteral("first"));
    QCOMPARE(m_voice->getUriBySessionHandle(QStringLiteral("second")), QStringLiteral("sip:u-Twin@voice.tavri.net"));

    sessionRemoved("second", "sip:u-Twin@voice.tavri.net");
    QCOMPARE(m_voice->getSessionHandleByUri(QStringLiteral("sip:u-Twin@voice.tavri.net")), QStringLiteral("first"));
    QCOMPARE(m_voice->getUriBySessionHandle(QStringLiteral("second")), QString());
    sessionRemoved("first", "sip:u-Twin@voice.tavri.net");
    QCOMPARE(m_voice->getSessionHandleByUri(QStringLiteral("sip:u-Twin@voice.tavri.net")), QString());
}

void TestVoiceEvents::sessionAddedIncoming()
{
    QSignalSpy joining(m_voice, &VoiceManager::sessionJoining);
    QSignalSpy requested(m_voice, &VoiceManager::sessionRequested);
    sessionAdded("in-1", "sip:u-Caller@voice.tavri.net", 1);
    sessionAdded("out-1", "sip:u-Callee@voice.tavri.net", 0);
    QCOMPARE(joining.count(), 2);
    QCOMPARE(joining.at(0), QVariantList({QStringLiteral("sip:u-caller@voice.tavri.net"), QStringLiteral("in-1"),
                                          QStringLiteral("Display"), true}));
    QCOMPARE(joining.at(1).at(3).toBool(), false);
    QCOMPARE(requested.count(), 1);
    QCOMPARE(requested.at(0), QVariantList({QStringLiteral("sip:u-caller@voice.tavri.net"), QStringLiteral("in-1"),
                                            QStringLiteral("Display"), QStringLiteral("group-1")}));
    // The maps keep the address as the SDK gave it.
    QCOMPARE(m_voice->getUriBySessionHandle(QStringLiteral("in-1")), QStringLiteral("sip:u-Caller@voice.tavri.net"));
}

void TestVoiceEvents::buddyEvents()
{
    QVERIFY(logIn(*m_voice, QStringLiteral("buddies")));
    const QByteArray own = m_voice->accountHandle().toLatin1();
    QSignalSpy added(m_voice, &VoiceManager::friendAdded);
    QSignalSpy removed(m_voice, &VoiceManager::friendRemoved);
    QSignalSpy lists(m_voice, &VoiceManager::friendsListReceived);

    for (const QByteArray &account : {QByteArray("someone-else"), own}) {
        for (int change : {1, 2, 3}) {
            auto *event = newEvent<ox_evt_buddy_changed_t>(OX_EVT_BUDDY_CHANGED);
            event->account_handle = ox_strdup(account.constData());
            event->buddy_uri = ox_strdup("sip:u-Pal@voice.tavri.net");
            event->change = change;
            QVERIFY(dispatch(event));
        }
    }
    QCOMPARE(added.count(), 1);
    QCOMPARE(added.at(0).at(0).toString(), QStringLiteral("sip:u-Pal@voice.tavri.net"));
    QCOMPARE(removed.count(), 1);

    // A large list, with a null entry, for the own account only.
    const int count = 5000;
    for (const QByteArray &account : {QByteArray("someone-else"), own}) {
        auto *event = newEvent<ox_evt_buddy_and_group_list_changed_t>(OX_EVT_BUDDY_AND_GROUP_LIST_CHANGED);
        event->account_handle = ox_strdup(account.constData());
        event->buddy_count = count;
        event->buddies = static_cast<ox_buddy_record_t **>(calloc(count, sizeof(ox_buddy_record_t *)));
        for (int i = 1; i < count; ++i) {
            event->buddies[i] = static_cast<ox_buddy_record_t *>(calloc(1, sizeof(ox_buddy_record_t)));
            event->buddies[i]->uri = ox_strdup(QByteArray("sip:u-B" + QByteArray::number(i) + "@x").constData());
            event->buddies[i]->buddy_data = ox_strdup("d");
        }
        QVERIFY(dispatch(event));
    }
    QCOMPARE(lists.count(), 1);
    const QStringList uris = lists.at(0).at(0).toStringList();
    QCOMPARE(uris.size(), count - 1);
    QCOMPARE(uris.first(), QStringLiteral("sip:u-b1@x"));
    QCOMPARE(lists.at(0).at(1).toStringList().first(), QStringLiteral("d"));
}

void TestVoiceEvents::presenceAndTexts()
{
    QSignalSpy presence(m_voice, &VoiceManager::presenceReceived);
    QSignalSpy contactPresence(m_voice, &VoiceManager::contactPresenceReceived);
    auto *event = newEvent<ox_evt_buddy_presence_t>(OX_EVT_BUDDY_PRESENCE);
    event->account_handle = ox_strdup("account-1");
    event->buddy_uri = ox_strdup("sip:u-Pal@x");
    event->presence = 5;
    event->custom_message = ox_strdup("<properties><notes />Out <b>now</b></properties>");
    QVERIFY(dispatch(event));
    QCOMPARE(presence.at(0), QVariantList({QStringLiteral("sip:u-pal@x"), 5, QStringLiteral("Out <b>now</b>")}));
    QCOMPARE(contactPresence.at(0), QVariantList({QStringLiteral("account-1"), QStringLiteral("sip:u-pal@x"), 5,
                                                  QStringLiteral("Out <b>now</b>")}));

    QSignalSpy messages(m_voice, &VoiceManager::messageReceived);
    auto *message = newEvent<ox_evt_message_t>(OX_EVT_MESSAGE);
    message->session_handle = ox_strdup("session-1");
    message->sender_uri = ox_strdup("sip:u-Pal@x");
    message->message_body = nullptr;
    QVERIFY(dispatch(message));
    QCOMPARE(messages.at(0), QVariantList({QStringLiteral("sip:u-pal@x"), QStringLiteral("session-1"), QString()}));

    QSignalSpy keys(m_voice, &VoiceManager::keyEvent);
    auto *key = newEvent<ox_evt_keyboard_mouse_t>(OX_EVT_KEYBOARD_MOUSE);
    key->binding_name = ox_strdup("ptt");
    key->is_down = 1;
    QVERIFY(dispatch(key));
    QCOMPARE(keys.at(0), QVariantList({QStringLiteral("ptt"), true}));

    QSignalSpy appData(m_voice, &VoiceManager::userAppDataReceived);
    auto *userData = newEvent<ox_evt_user_app_data_t>(OX_EVT_USER_APP_DATA);
    userData->from_uri = ox_strdup("sip:u-Pal@x");
    userData->content = ox_strdup("rv:1");
    QVERIFY(dispatch(userData));
    QCOMPARE(appData.at(0), QVariantList({QStringLiteral("sip:u-Pal@x"), QStringLiteral("rv:1")}));
}

void TestVoiceEvents::serverAppData_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("received");

    QTest::newRow("object") << QByteArray(R"({"ctype":"notify","content":"poke"})") << true;
    QTest::newRow("array") << QByteArray(R"([{"ctype":"notify"}])") << false;
    QTest::newRow("not JSON") << QByteArray("ctype=notify") << false;
    QTest::newRow("not UTF-8") << QByteArray("{\"ctype\":\"\xff\xfe\"}") << false;
    QTest::newRow("null content") << QByteArray() << false;
}

void TestVoiceEvents::serverAppData()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, received);

    LogCapture capture;
    QSignalSpy data(m_voice, &VoiceManager::serverAppDataReceived);
    auto *event = newEvent<ox_evt_server_app_data_t>(OX_EVT_SERVER_APP_DATA);
    event->account_handle = ox_strdup("account-1");
    event->content_type = ox_strdup("application/json");
    event->content = content.isNull() ? nullptr : ox_strdup(content.constData());
    QVERIFY(dispatch(event));
    QCOMPARE(data.count(), received ? 1 : 0);
    if (received)
        QCOMPARE(data.at(0),
                 QVariantList({QStringLiteral("account-1"), QStringLiteral("notify"), QStringLiteral("poke")}));
    QCOMPARE(capture.find(QtDebugMsg, QStringLiteral("Ignoring evt_server_app_data: ")).size(), received ? 0 : 1);
}

void TestVoiceEvents::networkMessages_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("received");
    QTest::addColumn<bool>("ignoredLogged");

    QTest::newRow("offline message") << 1 << true << false;
    QTest::newRow("type 0") << 0 << false << true;
    QTest::newRow("other type") << 7 << false << false;
}

void TestVoiceEvents::networkMessages()
{
    QFETCH(int, type);
    QFETCH(bool, received);
    QFETCH(bool, ignoredLogged);

    LogCapture capture;
    QSignalSpy messages(m_voice, &VoiceManager::messageReceived);
    auto *event = newEvent<ox_evt_network_message_t>(OX_EVT_NETWORK_MESSAGE);
    event->message_type = type;
    event->sender_uri = ox_strdup("sip:u-Away@x");
    event->content_type = ox_strdup("text/plain");
    event->content = ox_strdup("left you a note");
    QVERIFY(dispatch(event));
    QCOMPARE(messages.count(), received ? 1 : 0);
    if (received)
        QCOMPARE(messages.at(0),
                 QVariantList({QStringLiteral("sip:u-Away@x"), QString(), QStringLiteral("left you a note")}));
    QCOMPARE(capture.find(QtDebugMsg, QStringLiteral("Ignoring network message event from uri sip:u-Away@x")).size(),
             ignoredLogged ? 1 : 0);
}

void TestVoiceEvents::audioProperties()
{
    QSignalSpy aux(m_voice, &VoiceManager::auxAudioPropertiesReceived);
    QSignalSpy micEnergy(m_voice, &VoiceManager::microphoneEnergyChanged);
    QSignalSpy micVolume(m_voice, &VoiceManager::microphoneVolumeChanged);
    QSignalSpy noiseFloor(m_voice, &VoiceManager::noiseFloorChanged);
    QSignalSpy speakerActive(m_voice, &VoiceManager::speakerActiveChanged);
    QSignalSpy maxNoiseFloor(m_voice, &VoiceManager::maxNoiseFloorChanged);

    QVERIFY(dispatch(audioPropertiesEvent(0.5, 0.1)));
    QCOMPARE(aux.count(), 1);
    QCOMPARE(aux.at(0), QVariantList({true, 60, 0.5, true, 70, 0.25}));
    QCOMPARE(micEnergy.count(), 1);
    QCOMPARE(micVolume.count(), 1);
    QCOMPARE(micVolume.at(0).at(0).toDouble(), 60.0);
    QCOMPARE(speakerActive.count(), 1);
    QCOMPARE(noiseFloor.count(), 1);
    QCOMPARE(m_voice->microphoneEnergy(), 0.5);

    // The same values again: only the raw signal.
    QVERIFY(dispatch(audioPropertiesEvent(0.5, 0.1)));
    QCOMPARE(aux.count(), 2);
    QCOMPARE(micEnergy.count(), 1);
    QCOMPARE(micVolume.count(), 1);
    QCOMPARE(noiseFloor.count(), 1);

    // A NaN is always a change, also when it follows a NaN.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QVERIFY(dispatch(audioPropertiesEvent(nan, 0.1)));
    QVERIFY(dispatch(audioPropertiesEvent(nan, 0.1)));
    QCOMPARE(micEnergy.count(), 3);
    QVERIFY(std::isnan(m_voice->microphoneEnergy()));

    QCOMPARE(maxNoiseFloor.count(), 0);
    QCOMPARE(m_voice->maxNoiseFloor(), 1.0);
}

void TestVoiceEvents::unhandledEventsPassThrough()
{
    QList<int> types;
    connect(m_voice, &VoiceManager::oxEventReceived, this, [&types](ox_event_type type, ox_evt_base_t *event) {
        QVERIFY(event);
        types << int(type);
    });
    const int unhandled[] = {0, 1, 3, 16, 23, 29, 37, 40, 42, 1000};
    for (int type : unhandled)
        QVERIFY(dispatch(oxc_alloc_event(static_cast<ox_event_type>(type))));
    QCOMPARE(types, QList<int>(std::begin(unhandled), std::end(unhandled)));

    // Handled events with every text null are read as empty and freed.
    types.clear();
    const int handled[] = {2, 7, 8, 9, 10, 11, 15, 17, 18, 20, 21, 22, 24, 25, 26, 27, 28, 35, 36, 38, 41};
    for (int type : handled)
        QVERIFY(dispatch(oxc_alloc_event(static_cast<ox_event_type>(type))));
    QCOMPARE(types, QList<int>());
}

TAVRI_TEST_MAIN(TestVoiceEvents)
#include "tst_voiceevents.moc"
