#include "voicemanager.h"

#include <QtTest>

#include "callsessionstat.h"
#include "conversation.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "voicedispatch.h"
#include "voicetestsupport.h"

using namespace voicetest;
using namespace voicedispatch;

namespace {

// A session-added event for the service's maps.
void addSession(const char *session, const char *uri)
{
    auto *event = newEvent<ox_evt_session_added_t>(OX_EVT_SESSION_ADDED);
    event->session_group_handle = ox_strdup("group-x");
    event->session_handle = ox_strdup(session);
    event->uri = ox_strdup(uri);
    event->display_name = ox_strdup("");
    QVERIFY(dispatch(event));
}

// The local user joins a session: it becomes one of the user's sessions.
void joinSession(const char *session)
{
    auto *event = newEvent<ox_evt_participant_added_t>(OX_EVT_PARTICIPANT_ADDED);
    event->session_handle = ox_strdup(session);
    event->participant_uri = ox_strdup("sip:u-me@voice.tavri.net");
    event->is_current_user = 1;
    QVERIFY(dispatch(event));
}

} // namespace

// Responses of the voice SDK turned into state and signals, on success and
// on failure, with the report filter of failures.
class TestVoiceResponses : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void sendMessageResults_data();
    void sendMessageResults();
    void offlineReportOnlyForPrivateCalls_data();
    void offlineReportOnlyForPrivateCalls();
    void connectorFailures_data();
    void connectorFailures();
    void ownLoginFailures_data();
    void ownLoginFailures();
    void loginFailureAfterReconnectAttemptEndsTheLogin();
    void loginTimerExpiry();
    void externalRealmLogin();
    void levelAnswers();
    void vadAnswers();
    void deviceSettingFailureNamesTheDevice();
    void participantListCount();
    void joinFailureWithAnExistingSession();
    void joinFailureOtherStatuses_data();
    void joinFailureOtherStatuses();
    void reportFilter_data();
    void reportFilter();
    void privateGroupCreateFailureDropsItsPeer();
    void unlistableChannelStopsPolling();
    void listAnswers();
    void sessionAnswers();
    void captureDeviceFailures_data();
    void captureDeviceFailures();
    void unknownResponseTypes();
    void statisticsAnswer();

private:
    VoiceManager *m_voice = nullptr;
    QSocialManager *m_social = nullptr;
};

void TestVoiceResponses::initTestCase()
{
    QVERIFY(StorageManager::getInstance());
    // The realm's user look-ups ask the web service; nothing listens here.
    m_social =
        new QSocialManager(nullptr, QStringLiteral("http://127.0.0.1:9/gateway.php"), QStringLiteral("127.0.0.1:9"));
}

void TestVoiceResponses::cleanupTestCase()
{
    oxc_reset();
}

void TestVoiceResponses::init()
{
    oxc_reset();
    oxc_set_meter_interval(0);
    m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false);
    QSignalSpy created(m_voice, &VoiceManager::connectorCreated);
    m_voice->createConnector();
    QVERIFY(created.wait(5000));
    QVERIFY(settle());
}

void TestVoiceResponses::cleanup()
{
    delete m_voice;
    m_voice = nullptr;
}

void TestVoiceResponses::sendMessageResults_data()
{
    QTest::addColumn<int>("returnCode");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected"); // sent | offline-queued | offline | not-sent | none
    QTest::addColumn<bool>("reported");

    QTest::newRow("200 sent") << 0 << 200 << "sent" << false;
    QTest::newRow("202 queued for an offline user") << 0 << 202 << "offline-queued" << false;
    QTest::newRow("other success") << 0 << 201 << "none" << false;
    QTest::newRow("failure 480") << 1 << 480 << "offline" << false;
    QTest::newRow("failure 500") << 1 << 500 << "not-sent" << true;
}

void TestVoiceResponses::sendMessageResults()
{
    QFETCH(int, returnCode);
    QFETCH(int, status);
    QFETCH(QString, expected);
    QFETCH(bool, reported);

    QSignalSpy sent(m_voice, &VoiceManager::chatMessageSent);
    QSignalSpy offline(m_voice, &VoiceManager::userIsOffline);
    QSignalSpy notSent(m_voice, &VoiceManager::messageNotSent);
    QSignalSpy errors(m_voice, &VoiceManager::sdkError);

    auto *request = newRequest(ox_req_session_send_message_create, "1234");
    request->session_handle = ox_strdup("session-7");
    request->message_body = ox_strdup("1700000000000:0:hello");
    QVERIFY(dispatch(newResponse(OX_RESP_SESSION_SEND_MESSAGE, request, returnCode, status, "status")));

    QCOMPARE(sent.count(), expected == QLatin1String("sent") ? 1 : 0);
    QCOMPARE(offline.count(), expected.startsWith(QLatin1String("offline")) ? 1 : 0);
    QCOMPARE(notSent.count(), expected == QLatin1String("not-sent") ? 1 : 0);
    QCOMPARE(errors.count(), reported ? 1 : 0);
    if (expected == QLatin1String("sent"))
        QCOMPARE(sent.at(0), QVariantList({QStringLiteral("1234"), QStringLiteral("session-7")}));
    if (expected.startsWith(QLatin1String("offline")))
        QCOMPARE(offline.at(0), QVariantList({QStringLiteral("session-7"), QStringLiteral("1234"),
                                              expected == QLatin1String("offline-queued")}));
    if (expected == QLatin1String("not-sent"))
        QCOMPARE(notSent.at(0), QVariantList({QStringLiteral("session-7"), QStringLiteral("1234"), 500, QString()}));
}

void TestVoiceResponses::offlineReportOnlyForPrivateCalls_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<bool>("userOffline");
    QTest::addColumn<bool>("reported");

    QTest::newRow("private call, user not offline") << "sip:P2P-1a2b@voice.tavri.net" << false << true;
    QTest::newRow("private call, user offline") << "sip:P2P-3c4d@voice.tavri.net" << true << false;
    QTest::newRow("private chat") << "sip:u-someone@voice.tavri.net" << false << false;
    QTest::newRow("lower-case prefix") << "sip:p2p-5e6f@voice.tavri.net" << false << false;
    QTest::newRow("unknown session") << "" << false << false;
}

void TestVoiceResponses::offlineReportOnlyForPrivateCalls()
{
    QFETCH(QString, uri);
    QFETCH(bool, userOffline);
    QFETCH(bool, reported);

    if (!uri.isEmpty()) {
        addSession("session-p", uri.toLatin1().constData());
        auto *user = qobject_cast<TavriIdentityRealmUser *>(
            TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(uri)->getQObject());
        QVERIFY(user);
        user->setPresenceState(userOffline ? Tavri::RealmUserInterface::Offline : Tavri::RealmUserInterface::Online,
                               true);
    }
    QSignalSpy errors(m_voice, &VoiceManager::sdkError);
    QSignalSpy offline(m_voice, &VoiceManager::userIsOffline);
    auto *request = newRequest(ox_req_session_send_message_create);
    request->session_handle = ox_strdup("session-p");
    QVERIFY(dispatch(newResponse(OX_RESP_SESSION_SEND_MESSAGE, request, 1, 480, "Temporarily Unavailable")));
    QCOMPARE(errors.count(), reported ? 1 : 0);
    QCOMPARE(offline.count(), 1);
}

void TestVoiceResponses::connectorFailures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("couldNotConnect");
    QTest::addColumn<bool>("reported");

    QTest::newRow("10006") << 10006 << "Could not resolve host" << false << false;
    QTest::newRow("10007") << 10007 << "Could not connect to voice server" << true << false;
    QTest::newRow("other") << 500 << "Could not connect to voice server" << false << true;
}

void TestVoiceResponses::connectorFailures()
{
    QFETCH(int, status);
    QFETCH(QString, reason);
    QFETCH(bool, couldNotConnect);
    QFETCH(bool, reported);

    QSignalSpy failed(m_voice, &VoiceManager::connectorCreateFailed);
    QSignalSpy noServer(m_voice, &VoiceManager::couldNotConnectToServer);
    QSignalSpy errors(m_voice, &VoiceManager::sdkError);
    auto *request = newRequest(ox_req_connector_create_create);
    QVERIFY(dispatch(newResponse(OX_RESP_CONNECTOR_CREATE, request, 1, status, nullptr)));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), reason);
    QCOMPARE(noServer.count(), couldNotConnect ? 1 : 0);
    QCOMPARE(errors.count(), reported ? 1 : 0);
}

void TestVoiceResponses::ownLoginFailures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason"); // empty: no logout
    QTest::addColumn<bool>("reported");

    QTest::newRow("10077") << 10077
                           << "Error logging in to Ostrel domain.  This error is frequently seen when there is a "
                              "problem with the ca-bundle.crt file that should be alongside the tavri.exe "
                              "executable.\n\nPlease ensure the file is there.  If you still have issues, consider "
                              "using http instead of https by editing the RuntimeSettings.qml file."
                           << true;
    QTest::newRow("10007") << 10007 << "Voice server connection failed.  Please try connecting again." << false;
    QTest::newRow("408") << 408 << "Voice server connection timed out.  Please try connecting again." << false;
    QTest::newRow("other") << 20200 << "Error logging in to Ostrel server. Code 20200" << true;
    QTest::newRow("1074 is ignored") << 1074 << "" << true;
}

void TestVoiceResponses::ownLoginFailures()
{
    QFETCH(int, status);
    QFETCH(QString, reason);
    QFETCH(bool, reported);

    QSignalSpy loggedOut(m_voice, &VoiceManager::voiceLoggedOut);
    QSignalSpy timerStopped(m_voice, &VoiceManager::stopLoginTimer);
    QSignalSpy errors(m_voice, &VoiceManager::sdkError);
    oxc_script(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 1, status, "refused", 1);
    m_voice->requestLogin(QStringLiteral("failing"), QString());
    QVERIFY(settle());

    QCOMPARE(errors.count(), reported ? 1 : 0);
    if (reason.isEmpty()) {
        QCOMPARE(loggedOut.count(), 0);
        QCOMPARE(timerStopped.count(), 0);
        return;
    }
    QCOMPARE(loggedOut.count(), 1);
    QCOMPARE(loggedOut.at(0).at(0).toString(), reason);
    QCOMPARE(timerStopped.count(), 1);
}

void TestVoiceResponses::loginFailureAfterReconnectAttemptEndsTheLogin()
{
    // The connector's arrival has already made the automatic reconnect
    // attempt; a failed login must still end, so that the next one leaves.
    QSignalSpy loggedOut(m_voice, &VoiceManager::voiceLoggedOut);
    oxc_script(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 1, 10007, "no route", 1);
    m_voice->requestLogin(QStringLiteral("retry"), QString());
    QVERIFY(settle());
    QCOMPARE(loggedOut.count(), 1);

    QSignalSpy loggedIn(m_voice, &VoiceManager::voiceLoggedIn);
    m_voice->requestLogin(QStringLiteral("retry"), QString());
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN), 2);
    QVERIFY(loggedIn.wait(5000));
}

void TestVoiceResponses::loginTimerExpiry()
{
    m_voice->setLoginTimeout(50);
    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 1);
    QSignalSpy loggedOut(m_voice, &VoiceManager::voiceLoggedOut);
    QSignalSpy loggedIn(m_voice, &VoiceManager::voiceLoggedIn);
    m_voice->requestLogin(QStringLiteral("slow"), QString());

    // The login is under way when the timer runs out.
    auto *loggingIn = newEvent<ox_evt_account_login_state_change_t>(OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE);
    loggingIn->account_handle = ox_strdup("account-slow");
    loggingIn->state = 2;
    QVERIFY(dispatch(loggingIn));
    QVERIFY(loggedOut.wait(5000));
    QCOMPARE(loggedOut.at(0).at(0).toString(),
             QStringLiteral("Voice server connection timed out.  Please try connecting again."));

    // It completes after all: logged out again, never announced.
    oxc_clear_requests();
    auto *loggedInEvent = newEvent<ox_evt_account_login_state_change_t>(OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE);
    loggedInEvent->account_handle = ox_strdup("account-slow");
    loggedInEvent->state = 1;
    QVERIFY(dispatch(loggedInEvent));
    QCOMPARE(loggedIn.count(), 0);
    QVERIFY(m_voice->accountHandle().isEmpty());
    const auto *logout = lastRequest<ox_req_account_logout_t>(OX_REQ_ACCOUNT_LOGOUT);
    QVERIFY(logout);
    QCOMPARE(text(logout->account_handle), QByteArray("account-slow"));

    // A late answer of the held login changes nothing more.
    oxc_release(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, -1);
    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 0);
    QVERIFY(settle());
    QCOMPARE(loggedOut.count(), 1);
}

void TestVoiceResponses::externalRealmLogin()
{
    QSignalSpy handles(m_voice, &VoiceManager::accountHandleReceived);
    QSignalSpy loggedOut(m_voice, &VoiceManager::voiceLoggedOut);

    // A failed login of an external realm is forgotten quietly.
    oxc_script(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 1, 20200, "refused", 1);
    m_voice->requestLogin(QStringLiteral("gamer"), QStringLiteral("realm-1"));
    QVERIFY(settle());
    QCOMPARE(loggedOut.count(), 0);
    QCOMPARE(handles.count(), 0);
    // Its entry is gone: a later answer for the same token is not the realm's.
    auto *request = newRequest(ox_req_account_authtoken_login_create);
    request->auth_token = ox_strdup("gamer");
    auto *late = newResponse<ox_resp_account_authtoken_login_t>(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN, request);
    late->account_handle = ox_strdup("account-late");
    late->account_uri = ox_strdup("sip:u-gamer@voice.tavri.net");
    QVERIFY(dispatch(late));
    QCOMPARE(handles.count(), 0);

    // A successful one hands the account to the realm, which can then open
    // its session group.
    m_voice->requestLogin(QStringLiteral("player"), QStringLiteral("realm-2"));
    QVERIFY(handles.wait(5000));
    QCOMPARE(handles.at(0).at(0).toString(), QStringLiteral("realm-2"));
    const QString account = handles.at(0).at(1).toString();
    QCOMPARE(account, QString::fromLatin1(oxc_account_handle("sip:u-player@voice.tavri.net")));
    QVERIFY(m_voice->accountHandle().isEmpty());

    QSignalSpy groups(m_voice, &VoiceManager::sessionGroupReceived);
    m_voice->requestCreateSessionGroup(QStringLiteral("realm-2"));
    QVERIFY(groups.wait(5000));
    QCOMPARE(groups.at(0).at(0).toString(), QStringLiteral("realm-2"));
    QVERIFY(!groups.at(0).at(1).toString().isEmpty());
    m_voice->requestCreateSessionGroup(QStringLiteral("realm-unknown"));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE), 1);
}

void TestVoiceResponses::levelAnswers()
{
    // The start-up answers have set the defaults.
    QVERIFY(m_voice->getDefaultMicLevel() != 0);
    QVERIFY(m_voice->getDefaultSpeakerLevel() != 0);
    const int micLevel = m_voice->getMicLevel();
    const int speakerLevel = m_voice->getSpeakerLevel();
    const int defaultSpeaker = m_voice->getDefaultSpeakerLevel();

    QSignalSpy speakerChanged(m_voice, &VoiceManager::speakerLevelChanged);
    auto *speaker = newResponse<ox_resp_aux_get_speaker_level_t>(OX_RESP_AUX_GET_SPEAKER_LEVEL,
                                                                 newRequest(ox_req_aux_get_speaker_level_create));
    speaker->level = defaultSpeaker + 7;
    QVERIFY(dispatch(speaker));
    QCOMPARE(speakerChanged.count(), 0);
    QCOMPARE(m_voice->getSpeakerLevel(), speakerLevel);
    QCOMPARE(m_voice->getDefaultSpeakerLevel(), defaultSpeaker);

    LogCapture capture;
    QSignalSpy micChanged(m_voice, &VoiceManager::micLevelChanged);
    auto *mic = newResponse<ox_resp_aux_get_mic_level_t>(OX_RESP_AUX_GET_MIC_LEVEL,
                                                         newRequest(ox_req_aux_get_mic_level_create));
    mic->level = 99;
    QVERIFY(dispatch(mic));
    QCOMPARE(assertionReports(capture), 1);
    QCOMPARE(micChanged.count(), 0);
    QCOMPARE(m_voice->getMicLevel(), micLevel);

    // Answers to setting the levels.
    m_voice->setSpeakerLevel(33);
    m_voice->setMicLevel(44);
    QTRY_COMPARE(speakerChanged.count(), 1);
    QTRY_COMPARE(micChanged.count(), 1);
    QCOMPARE(speakerChanged.at(0).at(0).toInt(), 33);
    QCOMPARE(micChanged.at(0).at(0).toInt(), 44);
}

void TestVoiceResponses::vadAnswers()
{
    // A fresh service whose first VAD answer is built here.
    delete m_voice;
    oxc_reset();
    oxc_hold(OX_REQ_AUX_GET_VAD_PROPERTIES, 1);
    m_voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false);
    QVERIFY(settle());

    QSignalSpy noiseFloor(m_voice, &VoiceManager::defaultVadNoiseFloorChanged);
    QSignalSpy sensitivity(m_voice, &VoiceManager::defaultVadSensitivityChanged);
    QSignalSpy received(m_voice, &VoiceManager::vadPropertiesReceived);
    auto makeAnswer = [](int hangover, int sensitivityValue, int noiseFloorValue) {
        auto *answer = newResponse<ox_resp_aux_get_vad_properties_t>(OX_RESP_AUX_GET_VAD_PROPERTIES,
                                                                     newRequest(ox_req_aux_get_vad_properties_create));
        answer->hangover_ms = hangover;
        answer->sensitivity = sensitivityValue;
        answer->noise_floor = noiseFloorValue;
        return answer;
    };
    QVERIFY(dispatch(makeAnswer(2000, 43, 576)));
    QCOMPARE(noiseFloor.count(), 1);
    QCOMPARE(noiseFloor.at(0).at(0).toInt(), 576);
    QCOMPARE(sensitivity.count(), 1);
    QCOMPARE(sensitivity.at(0).at(0).toInt(), 43);
    QCOMPARE(received.count(), 0);
    QCOMPARE(m_voice->getDefaultVadNoiseFloor(), 576);

    QVERIFY(dispatch(makeAnswer(1500, 20, 900)));
    QCOMPARE(noiseFloor.count(), 1);
    QCOMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toDouble(), 1.5);
    QCOMPARE(received.at(0).at(1).toInt(), 900);
    QCOMPARE(received.at(0).at(2).toInt(), 20);
    QCOMPARE(m_voice->getDefaultVadSensitivity(), 43);
    oxc_hold(OX_REQ_AUX_GET_VAD_PROPERTIES, 0);
}

void TestVoiceResponses::deviceSettingFailureNamesTheDevice()
{
    QSignalSpy errors(m_voice, &VoiceManager::sdkError);
    auto *request = newRequest(ox_req_aux_set_capture_device_create);
    request->device_id = ox_strdup("mic-9");
    QVERIFY(dispatch(newResponse(OX_RESP_AUX_SET_CAPTURE_DEVICE, request, 1, 1001, "bad device")));
    auto *render = newRequest(ox_req_aux_set_render_device_create);
    QVERIFY(dispatch(newResponse(OX_RESP_AUX_SET_RENDER_DEVICE, render, 1, 1001, nullptr)));
    QCOMPARE(errors.count(), 2);
    QVERIFY(errors.at(0).at(1).toString().startsWith(QLatin1String("Unknown SDK error on type: ")));
    QVERIFY(errors.at(0).at(1).toString().endsWith(QLatin1String(" [mic-9]")));
    QCOMPARE(errors.at(0).at(2).toString(), QStringLiteral("bad device"));
    QVERIFY(errors.at(1).at(1).toString().endsWith(QLatin1String(" []")));
    QCOMPARE(errors.at(1).at(2).toString(), QString());
}

void TestVoiceResponses::participantListCount()
{
    QSignalSpy users(m_voice, &VoiceManager::userListReceived);
    auto *request = newRequest(ox_req_account_channel_get_participants_create);
    request->channel_uri = ox_strdup("sip:confctl-Big@voice.tavri.net");
    auto *response =
        newResponse<ox_resp_account_channel_get_participants_t>(OX_RESP_ACCOUNT_CHANNEL_GET_PARTICIPANTS, request);
    response->total_participant_count = 1;
    response->participant_count = 3;
    response->participants = static_cast<ox_participant_record_t **>(calloc(3, sizeof(ox_participant_record_t *)));
    for (int i : {0, 2}) {
        auto *record = static_cast<ox_participant_record_t *>(calloc(1, sizeof(ox_participant_record_t)));
        record->uri = ox_strdup(i == 0 ? "sip:u-Ann@voice.tavri.net" : "sip:u-bob@voice.tavri.net");
        response->participants[i] = record;
    }
    QVERIFY(dispatch(response));
    QCOMPARE(users.count(), 1);
    QCOMPARE(users.at(0).at(0).toString(), QStringLiteral("sip:confctl-big@voice.tavri.net"));
    QCOMPARE(users.at(0).at(1).toStringList(),
             QStringList({QStringLiteral("sip:u-ann@voice.tavri.net"), QStringLiteral("sip:u-bob@voice.tavri.net")}));
    QCOMPARE(users.at(0).at(2).toInt(), 2);
}

void TestVoiceResponses::joinFailureWithAnExistingSession()
{
    addSession("session-a", "sip:confctl-A@voice.tavri.net");
    addSession("session-b", "sip:confctl-B@voice.tavri.net");
    joinSession("session-a");
    oxc_clear_requests();

    QSignalSpy failed(m_voice, &VoiceManager::sessionJoinFailed);
    auto *request = newRequest(ox_req_sessiongroup_add_session_create);
    request->uri = ox_strdup("sip:confctl-A@voice.tavri.net");
    oxc_hold(OX_REQ_SESSION_TERMINATE, 1);
    QVERIFY(
        dispatch(newResponse(OX_RESP_SESSIONGROUP_ADD_SESSION, request, 1, 1004, "Object already exists. (session)")));

    QCOMPARE(text(lastRequest<ox_req_session_terminate_t>(OX_REQ_SESSION_TERMINATE)->session_handle),
             QByteArray("session-a"));
    QCOMPARE(m_voice->getSessionHandleByUri(QStringLiteral("sip:confctl-A@voice.tavri.net")), QString());
    QCOMPARE(m_voice->getUriBySessionHandle(QStringLiteral("session-a")), QString());
    QCOMPARE(m_voice->getSessionHandleByUri(QStringLiteral("sip:confctl-B@voice.tavri.net")),
             QStringLiteral("session-b"));
    QCOMPARE(m_voice->getUriBySessionHandle(QStringLiteral("session-b")),
             QStringLiteral("sip:confctl-B@voice.tavri.net"));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0), QVariantList({QStringLiteral("sip:confctl-a@voice.tavri.net"), 1004,
                                         QStringLiteral("Object already exists. (session)")}));
    oxc_hold(OX_REQ_SESSION_TERMINATE, 0);
}

void TestVoiceResponses::joinFailureOtherStatuses_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("statusText");
    QTest::addColumn<bool>("newCodeLogged");

    QTest::newRow("1004 with a short text") << 1004 << QByteArray("Object") << true;
    QTest::newRow("1004 with no text") << 1004 << QByteArray() << true;
    QTest::newRow("1008") << 1008 << QByteArray("Not logged in") << false;
    QTest::newRow("1080") << 1080 << QByteArray("whatever") << false;
    QTest::newRow("other") << 403 << QByteArray("Forbidden") << true;
}

void TestVoiceResponses::joinFailureOtherStatuses()
{
    QFETCH(int, status);
    QFETCH(QByteArray, statusText);
    QFETCH(bool, newCodeLogged);

    addSession("session-a", "sip:confctl-A@voice.tavri.net");
    joinSession("session-a");
    oxc_clear_requests();
    LogCapture capture;
    QSignalSpy failed(m_voice, &VoiceManager::sessionJoinFailed);
    auto *request = newRequest(ox_req_sessiongroup_add_session_create);
    request->uri = ox_strdup("sip:confctl-A@voice.tavri.net");
    QVERIFY(dispatch(newResponse(OX_RESP_SESSIONGROUP_ADD_SESSION, request, 1, status,
                                 statusText.isNull() ? nullptr : statusText.constData())));
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_TERMINATE), 0);
    QCOMPARE(m_voice->getSessionHandleByUri(QStringLiteral("sip:confctl-A@voice.tavri.net")),
             QStringLiteral("session-a"));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(2).toString(), QString::fromLatin1(statusText));
    QCOMPARE(capture.find(QtDebugMsg, QStringLiteral("A NEW STATUS CODE FOR ADD SESSION FAIL")).size(),
             newCodeLogged ? 1 : 0);
}

void TestVoiceResponses::reportFilter_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("returnCode");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<bool>("couldNotConnect");

    QTest::newRow("status 10007 on any type") << int(OX_RESP_SESSION_TERMINATE) << 1 << 10007 << false << true;
    QTest::newRow("connector 10006") << int(OX_RESP_CONNECTOR_CREATE) << 1 << 10006 << false << false;
    QTest::newRow("connector 500") << int(OX_RESP_CONNECTOR_CREATE) << 1 << 500 << true << false;
    QTest::newRow("login 408") << int(OX_RESP_ACCOUNT_LOGIN) << 1 << 408 << false << false;
    QTest::newRow("token login 408") << int(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN) << 1 << 408 << false << false;
    QTest::newRow("token login 10006") << int(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN) << 1 << 10006 << false << false;
    QTest::newRow("token login 409") << int(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN) << 1 << 409 << true << false;
    QTest::newRow("buddy delete 20414") << int(OX_RESP_ACCOUNT_BUDDY_DELETE) << 1 << 20414 << false << false;
    QTest::newRow("buddy delete 20415") << int(OX_RESP_ACCOUNT_BUDDY_DELETE) << 1 << 20415 << true << false;
    QTest::newRow("notification 1001") << int(OX_RESP_SESSION_SEND_NOTIFICATION) << 1 << 1001 << false << false;
    QTest::newRow("notification 1007") << int(OX_RESP_SESSION_SEND_NOTIFICATION) << 1 << 1007 << false << false;
    QTest::newRow("notification 1008") << int(OX_RESP_SESSION_SEND_NOTIFICATION) << 1 << 1008 << false << false;
    QTest::newRow("notification 1009") << int(OX_RESP_SESSION_SEND_NOTIFICATION) << 1 << 1009 << true << false;
    QTest::newRow("app data 480") << int(OX_RESP_ACCOUNT_SEND_USER_APP_DATA) << 1 << 480 << false << false;
    QTest::newRow("app data 481") << int(OX_RESP_ACCOUNT_SEND_USER_APP_DATA) << 1 << 481 << true << false;
    QTest::newRow("stats 1001") << int(OX_RESP_SESSIONGROUP_GET_STATS) << 1 << 1001 << false << false;
    QTest::newRow("stats 1004") << int(OX_RESP_SESSIONGROUP_GET_STATS) << 1 << 1004 << false << false;
    QTest::newRow("stats 1005") << int(OX_RESP_SESSIONGROUP_GET_STATS) << 1 << 1005 << true << false;
    QTest::newRow("participants 20440") << int(OX_RESP_ACCOUNT_CHANNEL_GET_PARTICIPANTS) << 1 << 20440 << false
                                        << false;
    QTest::newRow("send message 480 without a session")
        << int(OX_RESP_SESSION_SEND_MESSAGE) << 1 << 480 << false << false;
    QTest::newRow("success") << int(OX_RESP_SESSION_TERMINATE) << 0 << 500 << false << false;
    QTest::newRow("return code 10006") << int(OX_RESP_SESSION_TERMINATE) << 10006 << 5 << false << true;
    QTest::newRow("return code 10007") << int(OX_RESP_SESSION_TERMINATE) << 10007 << 5 << false << true;
    QTest::newRow("any other failure") << int(OX_RESP_SESSION_TERMINATE) << 1 << 5 << true << false;
    QTest::newRow("a type no table names") << 999 << 1 << 5 << true << false;
}

void TestVoiceResponses::reportFilter()
{
    QFETCH(int, type);
    QFETCH(int, returnCode);
    QFETCH(int, status);
    QFETCH(bool, reported);
    QFETCH(bool, couldNotConnect);

    ox_resp_base_t response{};
    response.message.type = OX_MSG_RESPONSE;
    response.type = static_cast<ox_response_type>(type);
    response.return_code = returnCode;
    response.status_code = status;
    QSignalSpy noServer(m_voice, &VoiceManager::couldNotConnectToServer);
    QCOMPARE(m_voice->shouldReportResponseError(&response), reported);
    QCOMPARE(noServer.count(), couldNotConnect ? 1 : 0);
}

void TestVoiceResponses::unlistableChannelStopsPolling()
{
    const QString uri = QStringLiteral("sip:confctl-4040@voice.tavri.net");
    Conversation *channel = TavriIdentityRealm::getInstance()->getConversation(uri);
    QVERIFY(channel);
    QVERIFY(QMetaObject::invokeMethod(channel, "onUserListReceived", Q_ARG(QString, uri),
                                      Q_ARG(QStringList, QStringList()), Q_ARG(int, 3)));
    QVERIFY(channel->hasPendingTimer());

    auto *request = newRequest(ox_req_account_channel_get_participants_create, "4040");
    request->channel_uri = ox_strdup(uri.toLatin1().constData());
    QVERIFY(dispatch(newResponse(OX_RESP_ACCOUNT_CHANNEL_GET_PARTICIPANTS, request, 1, 20440, "not listable")));
    QVERIFY(!channel->hasPendingTimer());
}

void TestVoiceResponses::privateGroupCreateFailureDropsItsPeer()
{
    QVERIFY(logIn(*m_voice, QStringLiteral("chatter")));
    oxc_script(OX_REQ_SESSIONGROUP_CREATE, 1, 1001, "refused", 1);
    m_voice->requestP2PSession(QStringLiteral("sip:u-amy@voice.tavri.net"));
    QVERIFY(settle());
    oxc_clear_requests();

    // The peer no longer waits: the next request for it opens a group, which
    // the peer then gets.
    oxc_hold(OX_REQ_SESSIONGROUP_CREATE, 1);
    m_voice->requestP2PSession(QStringLiteral("sip:u-amy@voice.tavri.net"));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE), 1);

    // A failed create that was not a private chat's leaves the queue alone.
    auto *other = newRequest(ox_req_sessiongroup_create_create, "555");
    other->account_handle = ox_strdup(m_voice->accountHandle().toLatin1().constData());
    QVERIFY(dispatch(newResponse(OX_RESP_SESSIONGROUP_CREATE, other, 1, 1001, "refused")));
    emit m_voice->sessionGroupAdded(QStringLiteral("group-amy"));
    const auto *add = lastRequest<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION);
    QVERIFY(add);
    QCOMPARE(text(add->uri), QByteArray("sip:u-amy@voice.tavri.net"));
    QCOMPARE(text(add->session_group_handle), QByteArray("group-amy"));
    oxc_hold(OX_REQ_SESSIONGROUP_CREATE, 0);
}

void TestVoiceResponses::listAnswers()
{
    QSignalSpy moderators(m_voice, &VoiceManager::moderatorListReceived);
    auto *request = newRequest(ox_req_account_channel_get_moderators_create);
    request->channel_uri = ox_strdup("sip:confctl-Mods@voice.tavri.net");
    auto *response =
        newResponse<ox_resp_account_channel_get_moderators_t>(OX_RESP_ACCOUNT_CHANNEL_GET_MODERATORS, request);
    response->participant_count = 4;
    response->participants = static_cast<ox_participant_record_t **>(calloc(4, sizeof(ox_participant_record_t *)));
    const struct {
        const char *uri;
        int moderator;
        int owner;
    } records[] = {{"sip:u-Owner@x", 1, 1}, {"sip:u-mod@x", 1, 0}, {"sip:u-plain@x", 0, 0}};
    for (int i = 0; i < 3; ++i) {
        auto *record = static_cast<ox_participant_record_t *>(calloc(1, sizeof(ox_participant_record_t)));
        record->uri = ox_strdup(records[i].uri);
        record->is_moderator = records[i].moderator;
        record->is_owner = records[i].owner;
        response->participants[i] = record; // the fourth entry stays null
    }
    QVERIFY(dispatch(response));
    QCOMPARE(moderators.count(), 1);
    QCOMPARE(moderators.at(0).at(0).toString(), QStringLiteral("sip:confctl-mods@voice.tavri.net"));
    QCOMPARE(
        moderators.at(0).at(1).toStringList(),
        QStringList({QStringLiteral("sip:u-owner@x"), QStringLiteral("sip:u-mod@x"), QStringLiteral("sip:u-plain@x")}));
    QCOMPARE(moderators.at(0).at(2).toList(), QVariantList({2, 1, 0}));

    QSignalSpy friends(m_voice, &VoiceManager::friendsListReceived);
    auto *buddies = newResponse<ox_resp_account_list_buddies_and_groups_t>(
        OX_RESP_ACCOUNT_LIST_BUDDIES_AND_GROUPS, newRequest(ox_req_account_list_buddies_and_groups_create));
    buddies->buddy_count = 2;
    buddies->buddies = static_cast<ox_buddy_record_t **>(calloc(2, sizeof(ox_buddy_record_t *)));
    buddies->buddies[0] = static_cast<ox_buddy_record_t *>(calloc(1, sizeof(ox_buddy_record_t)));
    buddies->buddies[0]->uri = ox_strdup("sip:u-Friend@x");
    buddies->buddies[0]->buddy_data = ox_strdup("data");
    QVERIFY(dispatch(buddies));
    QCOMPARE(friends.count(), 1);
    QCOMPARE(friends.at(0).at(0).toStringList(), QStringList({QStringLiteral("sip:u-Friend@x")}));
    QCOMPARE(friends.at(0).at(1).toStringList(), QStringList({QString()}));

    QSignalSpy favourites(m_voice, &VoiceManager::channelFavoriteAdded);
    auto *list = newResponse<ox_resp_account_channel_favorites_list_t>(
        OX_RESP_ACCOUNT_CHANNEL_FAVORITES_LIST, newRequest(ox_req_account_channel_favorites_list_create));
    list->favorite_count = 2;
    list->favorites = static_cast<ox_favorite_record_t **>(calloc(2, sizeof(ox_favorite_record_t *)));
    for (int i = 0; i < 2; ++i) {
        list->favorites[i] = static_cast<ox_favorite_record_t *>(calloc(1, sizeof(ox_favorite_record_t)));
        list->favorites[i]->favorite_id = 10 + i;
        list->favorites[i]->uri = i == 0 ? nullptr : ox_strdup("sip:confctl-Fav@x");
    }
    QVERIFY(dispatch(list));
    QCOMPARE(favourites.count(), 1);
    QCOMPARE(favourites.at(0), QVariantList({QStringLiteral("sip:confctl-fav@x"), 11}));
}

void TestVoiceResponses::sessionAnswers()
{
    addSession("session-t", "sip:confctl-T@voice.tavri.net");
    QSignalSpy removed(m_voice, &VoiceManager::sessionRemoved);
    QSignalSpy terminateFailed(m_voice, &VoiceManager::sessionTerminateFailed);
    QSignalSpy mutedLocally(m_voice, &VoiceManager::localUserMutedLocally);
    QSignalSpy micMute(m_voice, &VoiceManager::localMicMuteChanged);
    QSignalSpy missing(m_voice, &VoiceManager::fileNotFoundForPlayback);

    auto *terminate = newRequest(ox_req_session_terminate_create);
    terminate->session_handle = ox_strdup("session-t");
    QVERIFY(dispatch(newResponse(OX_RESP_SESSION_TERMINATE, terminate)));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0),
             QVariantList({QStringLiteral("sip:confctl-T@voice.tavri.net"), QStringLiteral("session-t")}));

    // A failed terminate of a session no longer mapped reports it removed.
    auto *again = newRequest(ox_req_session_terminate_create);
    again->session_handle = ox_strdup("session-t");
    QVERIFY(dispatch(newResponse(OX_RESP_SESSION_TERMINATE, again, 1, 1001, "gone")));
    QCOMPARE(removed.count(), 2);
    QCOMPARE(terminateFailed.count(), 0);
    // A failed terminate of a mapped session is reported as such.
    addSession("session-u", "sip:confctl-U@voice.tavri.net");
    auto *mapped = newRequest(ox_req_session_terminate_create);
    mapped->session_handle = ox_strdup("session-u");
    QVERIFY(dispatch(newResponse(OX_RESP_SESSION_TERMINATE, mapped, 1, 1001, "busy")));
    QCOMPARE(terminateFailed.count(), 1);
    QCOMPARE(m_voice->getUriBySessionHandle(QStringLiteral("session-u")), QString());

    for (int scope : {1, 2}) {
        auto *mute = newRequest(ox_req_session_mute_local_speaker_create);
        mute->session_handle = ox_strdup("session-t");
        mute->mute = 1;
        mute->scope = scope;
        QVERIFY(dispatch(newResponse(OX_RESP_SESSION_MUTE_LOCAL_SPEAKER, mute)));
    }
    QCOMPARE(mutedLocally.count(), 1);
    QCOMPARE(mutedLocally.at(0), QVariantList({QStringLiteral("session-t"), true}));

    auto *mic = newRequest(ox_req_connector_mute_local_mic_create);
    mic->mute = 1;
    QVERIFY(dispatch(newResponse(OX_RESP_CONNECTOR_MUTE_LOCAL_MIC, mic)));
    QCOMPARE(micMute.count(), 1);
    QCOMPARE(micMute.at(0).at(0).toBool(), true);

    auto *play = newRequest(ox_req_aux_render_audio_start_create);
    play->sound_file_path = ox_strdup("/nowhere/x.wav");
    QVERIFY(dispatch(newResponse(OX_RESP_AUX_RENDER_AUDIO_START, play, 1, 1043, nullptr)));
    QCOMPARE(missing.count(), 1);
    QCOMPARE(missing.at(0).at(0).toString(), QStringLiteral("/nowhere/x.wav"));
}

void TestVoiceResponses::captureDeviceFailures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("inUse");
    QTest::addColumn<int>("couldNotOpen");

    QTest::newRow("7006") << 7006 << 1 << 0;
    QTest::newRow("7009") << 7009 << 0 << 1;
    QTest::newRow("other") << 7010 << 0 << 0;
}

void TestVoiceResponses::captureDeviceFailures()
{
    QFETCH(int, status);
    QFETCH(int, inUse);
    QFETCH(int, couldNotOpen);

    QSignalSpy inUseSpy(m_voice, &VoiceManager::selectedCaptureDeviceInUse);
    QSignalSpy openSpy(m_voice, &VoiceManager::selectedCaptureDeviceCouldNotOpen);
    QVERIFY(dispatch(newResponse(OX_RESP_AUX_CAPTURE_AUDIO_START, newRequest(ox_req_aux_capture_audio_start_create), 1,
                                 status, nullptr)));
    QCOMPARE(inUseSpy.count(), inUse);
    QCOMPARE(openSpy.count(), couldNotOpen);
}

void TestVoiceResponses::unknownResponseTypes()
{
    QSignalSpy errors(m_voice, &VoiceManager::sdkError);
    QVERIFY(dispatch(newResponse<ox_resp_base_t, ox_req_base_t>(static_cast<ox_response_type>(999), nullptr)));
    QVERIFY(dispatch(
        newResponse<ox_resp_base_t, ox_req_base_t>(static_cast<ox_response_type>(999), nullptr, 1, 5, nullptr)));
    QCOMPARE(errors.count(), 1);
}

void TestVoiceResponses::statisticsAnswer()
{
    QSignalSpy stats(m_voice, &VoiceManager::sessionStatReceived);
    auto *request = newRequest(ox_req_sessiongroup_get_stats_create);
    auto *response = newResponse<ox_resp_sessiongroup_get_stats_t>(OX_RESP_SESSIONGROUP_GET_STATS, request);
    response->stats.packets_received = 17;
    response->stats.call_id = ox_strdup("call-17");
    QVERIFY(dispatch(response));
    QCOMPARE(stats.count(), 1);
    CallSessionStat *stat = stats.at(0).at(0).value<CallSessionStat *>();
    QVERIFY(stat);
    QVERIFY(!stat->parent());
    QCOMPARE(stat->value("packetsReceived").toInt(), 17);
    QCOMPARE(stat->value("callId").toString(), QStringLiteral("call-17"));
    delete stat;
}

TAVRI_TEST_MAIN(TestVoiceResponses)
#include "tst_voiceresponses.moc"
