#include "voicemanager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "storagemanager.h"
#include "testenvironment.h"
#include "voicetestsupport.h"

using namespace voicetest;

// Session groups and sessions of the voice service: joining channels, the
// queue of private chats waiting for a session group, the transmitting
// channel and the session guards.
class TestVoiceSessions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void joinChannelStopsTestsAndNeverSetsVoiceFont();
    void audioP2PSessionIsRefused();
    void firstSessionGroupIsTheChannelGroup();
    void privateChatsAreServedInOrderOnePerGroup();
    void aWaitingPeerIsQueuedOnce();
    void privateChatsAgainstTheStandIn();
    void closeSessionGroupKeepsTheChannelGroup();
    void terminateUnknownSessionSendsNothing();
    void transmittingChannel();
    void transmittingSessionIsToldToItsGroup();
    void participantVolumeNotForSelf();
    void sessionRequestsCarryTheirFields();
    void lookupsWithEmptyArguments();
};

void TestVoiceSessions::initTestCase()
{
    QVERIFY(StorageManager::getInstance());
}

void TestVoiceSessions::cleanupTestCase()
{
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyVoiceFontIndex, 0);
    oxc_reset();
}

void TestVoiceSessions::init()
{
    oxc_reset();
    oxc_set_meter_interval(0);
}

void TestVoiceSessions::joinChannelStopsTestsAndNeverSetsVoiceFont()
{
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("audio/audio")));
    QFile sound(folder.path() + QStringLiteral("/audio/audio/rendertest.wav"));
    QVERIFY(sound.open(QIODevice::WriteOnly));
    sound.close();
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyVoiceFontIndex, 3);

    VoiceManager voice(0, folder.path(), false);
    QVERIFY(logIn(voice, QStringLiteral("joiner")));
    voice.startCaptureTest(false);
    voice.startRenderTest();
    oxc_clear_requests();

    LogCapture capture;
    voice.requestJoinChannel(QStringLiteral("sip:confctl-5@voice.tavri.net"), QStringLiteral("secret"), true);
    QCOMPARE(oxc_request_count(-1), 3);
    QCOMPARE(int(oxc_request_at(0)->type), int(OX_REQ_AUX_CAPTURE_AUDIO_STOP));
    QCOMPARE(int(oxc_request_at(1)->type), int(OX_REQ_AUX_RENDER_AUDIO_STOP));
    const auto *add = reinterpret_cast<const ox_req_sessiongroup_add_session_t *>(oxc_request_at(2));
    QCOMPARE(int(add->base.type), int(OX_REQ_SESSIONGROUP_ADD_SESSION));
    QCOMPARE(text(add->session_group_handle), voice.channelSessionGroupHandle().toLatin1());
    QCOMPARE(text(add->uri), QByteArray("sip:confctl-5@voice.tavri.net"));
    QCOMPARE(text(add->password), QByteArray("secret"));
    QCOMPARE(add->connect_audio, 1);
    QCOMPARE(add->connect_text, 1);
    QCOMPARE(add->voice_font_id, 0);
    QVERIFY(!voice.captureTestRunning());
    QVERIFY(!voice.renderTestRunning());
    QCOMPARE(
        capture.find(QtDebugMsg, QStringLiteral("Session sip:confctl-5@voice.tavri.net - join requested voice font 3"))
            .size(),
        1);

    // Joining without audio passes the flag as given.
    voice.requestJoinChannel(QStringLiteral("sip:confctl-6@voice.tavri.net"), QString(), false);
    QCOMPARE(lastRequest<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION)->connect_audio, 0);
}

void TestVoiceSessions::audioP2PSessionIsRefused()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    oxc_clear_requests();
    LogCapture capture;
    voice.requestP2PSession(QStringLiteral("sip:u-peer@x"), true);
    QCOMPARE(oxc_request_count(-1), 0);
    QCOMPARE(capture.find(QtDebugMsg, QStringLiteral("P2P audio calls disallowed")).size(), 1);
}

void TestVoiceSessions::firstSessionGroupIsTheChannelGroup()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    voice.createConnector();
    oxc_hold(OX_REQ_SESSIONGROUP_CREATE, 1);
    voice.requestP2PSession(QStringLiteral("sip:u-peer@x"));
    oxc_clear_requests();

    QSignalSpy ready(&voice, &VoiceManager::readyToJoinChannels);
    emit voice.sessionGroupAdded(QStringLiteral("group-1"));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(voice.channelSessionGroupHandle(), QStringLiteral("group-1"));
    QCOMPARE(oxc_request_count(-1), 0);

    // The waiting peer gets the next group.
    emit voice.sessionGroupAdded(QStringLiteral("group-2"));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(voice.channelSessionGroupHandle(), QStringLiteral("group-1"));
    const auto *add = lastRequest<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION);
    QVERIFY(add);
    QCOMPARE(text(add->session_group_handle), QByteArray("group-2"));
    QCOMPARE(text(add->uri), QByteArray("sip:u-peer@x"));
    oxc_hold(OX_REQ_SESSIONGROUP_CREATE, 0);
}

void TestVoiceSessions::privateChatsAreServedInOrderOnePerGroup()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    voice.createConnector();
    emit voice.sessionGroupAdded(QStringLiteral("channels"));
    oxc_hold(OX_REQ_SESSIONGROUP_CREATE, 1);
    voice.requestP2PSession(QStringLiteral("sip:u-first@x"));
    voice.requestP2PSession(QStringLiteral("sip:u-second@x"));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE), 2);

    emit voice.sessionGroupAdded(QStringLiteral("group-a"));
    emit voice.sessionGroupAdded(QStringLiteral("group-b"));
    LogCapture capture;
    emit voice.sessionGroupAdded(QStringLiteral("group-c"));
    QCOMPARE(capture.find(QtDebugMsg, QStringLiteral("No pending P2P session requests")).size(), 1);

    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION), 2);
    const auto *first = reinterpret_cast<const ox_req_sessiongroup_add_session_t *>(
        oxc_find_request(OX_REQ_SESSIONGROUP_ADD_SESSION, 0));
    const auto *second = reinterpret_cast<const ox_req_sessiongroup_add_session_t *>(
        oxc_find_request(OX_REQ_SESSIONGROUP_ADD_SESSION, 1));
    QCOMPARE(text(first->session_group_handle), QByteArray("group-a"));
    QCOMPARE(text(first->uri), QByteArray("sip:u-first@x"));
    QCOMPARE(first->connect_audio, 0);
    QCOMPARE(first->connect_text, 1);
    QCOMPARE(text(first->password), QByteArray(""));
    QCOMPARE(text(second->session_group_handle), QByteArray("group-b"));
    QCOMPARE(text(second->uri), QByteArray("sip:u-second@x"));
    oxc_hold(OX_REQ_SESSIONGROUP_CREATE, 0);
}

void TestVoiceSessions::aWaitingPeerIsQueuedOnce()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    voice.createConnector();
    emit voice.sessionGroupAdded(QStringLiteral("channels"));
    oxc_hold(OX_REQ_SESSIONGROUP_CREATE, 1);

    // Three texts queued for one peer before its session exists.
    for (int i = 0; i < 3; ++i)
        voice.requestP2PSession(QStringLiteral("sip:u-peer@x"));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE), 1);

    emit voice.sessionGroupAdded(QStringLiteral("group-a"));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION), 1);

    // Once its group has been handed out, the peer may ask again.
    voice.requestP2PSession(QStringLiteral("sip:u-peer@x"));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE), 2);
    oxc_hold(OX_REQ_SESSIONGROUP_CREATE, 0);
}

void TestVoiceSessions::privateChatsAgainstTheStandIn()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QVERIFY(logIn(voice, QStringLiteral("talker")));
    QSignalSpy groups(&voice, &VoiceManager::sessionGroupAdded);
    voice.requestP2PSession(QStringLiteral("sip:u-amy@voice.tavri.net"));
    voice.requestP2PSession(QStringLiteral("sip:u-ben@voice.tavri.net"));
    QTRY_COMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_ADD_SESSION), 2);
    QCOMPARE(groups.count(), 2);

    const auto *first = reinterpret_cast<const ox_req_sessiongroup_add_session_t *>(
        oxc_find_request(OX_REQ_SESSIONGROUP_ADD_SESSION, 0));
    const auto *second = reinterpret_cast<const ox_req_sessiongroup_add_session_t *>(
        oxc_find_request(OX_REQ_SESSIONGROUP_ADD_SESSION, 1));
    QCOMPARE(text(first->uri), QByteArray("sip:u-amy@voice.tavri.net"));
    QCOMPARE(QString::fromLatin1(first->session_group_handle), groups.at(0).at(0).toString());
    QCOMPARE(text(second->uri), QByteArray("sip:u-ben@voice.tavri.net"));
    QCOMPARE(QString::fromLatin1(second->session_group_handle), groups.at(1).at(0).toString());
    QVERIFY(groups.at(0).at(0).toString() != voice.channelSessionGroupHandle());
}

void TestVoiceSessions::closeSessionGroupKeepsTheChannelGroup()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    voice.createConnector();
    emit voice.sessionGroupAdded(QStringLiteral("channels"));
    oxc_clear_requests();

    LogCapture capture;
    voice.closeSessionGroupHandle(QString());
    voice.closeSessionGroupHandle(QStringLiteral("channels"));
    QCOMPARE(oxc_request_count(-1), 0);
    QCOMPARE(
        capture
            .find(QtDebugMsg, QStringLiteral("VoiceManager::closeSessionGroupHandle can't remove base session group"))
            .size(),
        1);

    voice.closeSessionGroupHandle(QStringLiteral("group-7"));
    QCOMPARE(text(lastRequest<ox_req_sessiongroup_terminate_t>(OX_REQ_SESSIONGROUP_TERMINATE)->session_group_handle),
             QByteArray("group-7"));
}

void TestVoiceSessions::terminateUnknownSessionSendsNothing()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    oxc_clear_requests();
    QVERIFY(!voice.requestTerminateSession(QStringLiteral("session-unknown")));
    QVERIFY(!voice.requestTerminateSession(QString()));
    QCOMPARE(oxc_request_count(-1), 0);
}

void TestVoiceSessions::transmittingChannel()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QSignalSpy changed(&voice, &VoiceManager::transmittingChannelChanged);

    // Without a channel group nothing can transmit.
    {
        LogCapture capture;
        voice.setTransmittingChannel(QStringLiteral("sip:confctl-1@x"));
        QCOMPARE(assertionReports(capture), 1);
        QCOMPARE(changed.count(), 0);
    }

    voice.createConnector();
    emit voice.sessionGroupAdded(QStringLiteral("channels"));
    voice.setTransmittingChannel(QStringLiteral("sip:confctl-1@x"));
    voice.setTransmittingChannel(QStringLiteral("sip:confctl-1@x"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(voice.getTransmittingChannel(), QStringLiteral("sip:confctl-1@x"));
    QCOMPARE(voice.property("transmittingChannel").toString(), QStringLiteral("sip:confctl-1@x"));
    // Not a session the local user is in: the SDK is not told.
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_SET_TX_SESSION), 0);

    voice.setTransmittingChannel(QString());
    voice.setTransmittingChannel(QString());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1).at(0).toString(), QString());
}

void TestVoiceSessions::transmittingSessionIsToldToItsGroup()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QVERIFY(logIn(voice, QStringLiteral("sender")));
    const QString group = voice.channelSessionGroupHandle();
    QSignalSpy told(&voice, &VoiceManager::sessionGroupTransmittingChannelChanged);
    const QString first = QStringLiteral("sip:confctl-71@") + voice.domain();
    const QString second = QStringLiteral("sip:confctl-72@") + voice.domain();

    // Each channel entered becomes the transmitting session of the group.
    const QString firstHandle = joinSession(voice, first);
    QVERIFY(!firstHandle.isEmpty());
    QVERIFY(!joinSession(voice, second).isEmpty());
    QCOMPARE(told.size(), 2);
    QCOMPARE(told.at(0), (QVariantList{group, first}));
    QCOMPARE(told.at(1), (QVariantList{group, second}));

    // Switching back tells the SDK and the group's listeners once.
    told.clear();
    oxc_clear_requests();
    voice.setTransmittingChannel(first);
    voice.setTransmittingChannel(first);
    QCOMPARE(told.size(), 1);
    QCOMPARE(told.first(), (QVariantList{group, first}));
    QCOMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_SET_TX_SESSION), 1);
    const auto *request = lastRequest<ox_req_sessiongroup_set_tx_session_t>(OX_REQ_SESSIONGROUP_SET_TX_SESSION);
    QCOMPARE(text(request->session_handle), firstHandle.toUtf8());
    QCOMPARE(text(request->session_group_handle), group.toUtf8());
}

void TestVoiceSessions::participantVolumeNotForSelf()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QVERIFY(logIn(voice, QStringLiteral("loud")));
    QCOMPARE(voice.localUserUri(), QStringLiteral("sip:u-loud@voice.tavri.net"));
    oxc_clear_requests();

    voice.setParticipantVolume(QStringLiteral("session-1"), voice.localUserUri(), 80);
    QCOMPARE(oxc_request_count(-1), 0);
    voice.setParticipantVolume(QStringLiteral("session-1"), QStringLiteral("sip:u-other@voice.tavri.net"), 80);
    const auto *volume =
        lastRequest<ox_req_session_set_participant_volume_for_me_t>(OX_REQ_SESSION_SET_PARTICIPANT_VOLUME_FOR_ME);
    QVERIFY(volume);
    QCOMPARE(volume->volume, 80);
    QCOMPARE(text(volume->participant_uri), QByteArray("sip:u-other@voice.tavri.net"));
}

void TestVoiceSessions::sessionRequestsCarryTheirFields()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    voice.createConnector();
    emit voice.sessionGroupAdded(QStringLiteral("channels"));
    oxc_clear_requests();

    const QString cookie = voice.requestSendMessage(QStringLiteral("s-1"), QStringLiteral("1:0:hi"));
    QVERIFY(!cookie.isEmpty());
    QCOMPARE(QString::fromLatin1(oxc_find_request_by_cookie(cookie.toLatin1().constData())->cookie), cookie);
    voice.sendTypingNotification(QStringLiteral("s-1"), true);
    QCOMPARE(lastRequest<ox_req_session_send_notification_t>(OX_REQ_SESSION_SEND_NOTIFICATION)->notification_type, 1);
    voice.setParticipantAudioMutedForMe(QStringLiteral("s-1"), QStringLiteral("sip:u-a@x"), true);
    QCOMPARE(
        lastRequest<ox_req_session_set_participant_mute_for_me_t>(OX_REQ_SESSION_SET_PARTICIPANT_MUTE_FOR_ME)->scope,
        1);
    voice.setParticipantTextMutedForMe(QStringLiteral("s-1"), QStringLiteral("sip:u-a@x"), true);
    QCOMPARE(
        lastRequest<ox_req_session_set_participant_mute_for_me_t>(OX_REQ_SESSION_SET_PARTICIPANT_MUTE_FOR_ME)->scope,
        2);
    voice.setLocalSpeakerMuted(QStringLiteral("s-1"), true);
    QCOMPARE(lastRequest<ox_req_session_mute_local_speaker_t>(OX_REQ_SESSION_MUTE_LOCAL_SPEAKER)->mute, 1);
    voice.setSessionMediaConnected(QStringLiteral("s-1"), true);
    voice.setSessionMediaConnected(QStringLiteral("s-1"), false);
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_MEDIA_CONNECT), 1);
    QCOMPARE(oxc_request_count(OX_REQ_SESSION_MEDIA_DISCONNECT), 1);
    voice.requestConnectionQualityStatsUpdate();
    QCOMPARE(text(lastRequest<ox_req_sessiongroup_get_stats_t>(OX_REQ_SESSIONGROUP_GET_STATS)->session_group_handle),
             QByteArray("channels"));
    voice.requestAddSession(QStringLiteral("realm-group"), QStringLiteral("sip:confctl-9@x"));
    const auto *add = lastRequest<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION);
    QCOMPARE(text(add->session_group_handle), QByteArray("realm-group"));
    QCOMPARE(add->connect_audio, 1);
    QCOMPARE(add->connect_text, 1);
}

void TestVoiceSessions::lookupsWithEmptyArguments()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    LogCapture capture;
    QCOMPARE(voice.getSessionHandleByUri(QString()), QString());
    QCOMPARE(voice.getUriBySessionHandle(QString()), QString());
    QCOMPARE(assertionReports(capture), 2);
    QCOMPARE(voice.getSessionHandleByUri(QStringLiteral("sip:confctl-1@x")), QString());
    QCOMPARE(assertionReports(capture), 2);
}

TAVRI_TEST_MAIN(TestVoiceSessions)
#include "tst_voicesessions.moc"
