#include "voicemanager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "storagemanager.h"
#include "testenvironment.h"
#include "voicetestsupport.h"

using namespace voicetest;

// Account, channel-administration and local-audio operations of the voice
// service: which requests leave, with which fields, and which guards hold.
class TestVoiceOps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void repeatedLoginIsIssuedOnce();
    void externalRealmLoginLeavesTheOwnLoginAlone();
    void operationsWithoutAnyAccountIssueNothing();
    void givenAccountHandleIsUsed();
    void banAndUnbanShareOneRequest();
    void channelMutesUseTheirScopes();
    void vadPropertiesSendWholeMillisecondsAndDefaultNoiseFloor();
    void vadDefaultsBeforeTheSdkAnswers();
    void keyBindingRefusesNegativeCodes();
    void renderTestStartsOnce();
    void renderTestWithoutItsFile();
    void captureTestStartsOnce();
    void renderFileToSpeaker_data();
    void renderFileToSpeaker();
    void audioSwitches();
    void voiceDomainReachesTheSettingsService();
};

void TestVoiceOps::initTestCase()
{
    QVERIFY(StorageManager::getInstance());
}

void TestVoiceOps::cleanupTestCase()
{
    oxc_reset();
}

void TestVoiceOps::init()
{
    oxc_reset();
    oxc_set_meter_interval(0);
}

void TestVoiceOps::repeatedLoginIsIssuedOnce()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QSignalSpy created(&voice, &VoiceManager::connectorCreated);
    voice.createConnector();
    QVERIFY(created.wait(5000));

    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 1);
    voice.requestLogin(QStringLiteral("repeat"), QString());
    voice.requestLogin(QStringLiteral("repeat"), QString());
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN), 1);
    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 0);
}

void TestVoiceOps::externalRealmLoginLeavesTheOwnLoginAlone()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 1);

    // Issued at once, even before the connector exists, and every time.
    voice.requestLogin(QStringLiteral("game-user"), QStringLiteral("realm-1"));
    voice.requestLogin(QStringLiteral("game-user"), QStringLiteral("realm-1"));
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN), 2);
    QCOMPARE(text(lastRequest<ox_req_account_authtoken_login_t>(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN)->auth_token),
             QByteArray("game-user"));

    // The own login is still free to go out once the connector exists.
    QSignalSpy created(&voice, &VoiceManager::connectorCreated);
    voice.createConnector();
    QVERIFY(created.wait(5000));
    voice.requestLogin(QStringLiteral("own-user"), QString());
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN), 3);
    QCOMPARE(text(lastRequest<ox_req_account_authtoken_login_t>(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN)->auth_token),
             QByteArray("own-user"));
    oxc_hold(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN, 0);
}

void TestVoiceOps::operationsWithoutAnyAccountIssueNothing()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    oxc_clear_requests();
    QSignalSpy users(&voice, &VoiceManager::userListReceived);

    voice.setPresence(VoiceManager::PresenceAway, QStringLiteral("away"));
    voice.requestAddBuddy(QStringLiteral("sip:u-bob@x"));
    voice.requestRemoveBuddy(QStringLiteral("sip:u-bob@x"));
    voice.requestGetParticipants(QStringLiteral("sip:confctl-7@x"), 1, 50);
    QCOMPARE(oxc_request_count(-1), 0);

    // The participant list answers at once, empty.
    QCOMPARE(users.count(), 1);
    QCOMPARE(users.at(0).at(0).toString(), QStringLiteral("sip:confctl-7@x"));
    QCOMPARE(users.at(0).at(1).toStringList(), QStringList());
    QCOMPARE(users.at(0).at(2).toInt(), 0);
}

void TestVoiceOps::givenAccountHandleIsUsed()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    oxc_clear_requests();
    voice.setPresence(VoiceManager::PresenceBusy, QStringLiteral("busy"), QStringLiteral("acct-9"));
    voice.requestAddBuddy(QStringLiteral("sip:u-bob@x"), QStringLiteral("acct-9"));
    voice.requestRemoveBuddy(QStringLiteral("sip:u-carol@x"), QStringLiteral("acct-9"));
    voice.requestGetParticipants(QStringLiteral("sip:confctl-7@x"), 3, 40, QStringLiteral("acct-9"));

    const auto *presence = lastRequest<ox_req_account_set_presence_t>(OX_REQ_ACCOUNT_SET_PRESENCE);
    QVERIFY(presence);
    QCOMPARE(text(presence->account_handle), QByteArray("acct-9"));
    QCOMPARE(presence->presence, int(VoiceManager::PresenceBusy));
    QCOMPARE(text(lastRequest<ox_req_account_buddy_set_t>(OX_REQ_ACCOUNT_BUDDY_SET)->account_handle),
             QByteArray("acct-9"));
    QCOMPARE(text(lastRequest<ox_req_account_buddy_delete_t>(OX_REQ_ACCOUNT_BUDDY_DELETE)->buddy_uri),
             QByteArray("sip:u-carol@x"));
    const auto *participants =
        lastRequest<ox_req_account_channel_get_participants_t>(OX_REQ_ACCOUNT_CHANNEL_GET_PARTICIPANTS);
    QVERIFY(participants);
    QCOMPARE(text(participants->account_handle), QByteArray("acct-9"));
    QCOMPARE(participants->page, 3);
    QCOMPARE(participants->page_size, 40);
}

void TestVoiceOps::banAndUnbanShareOneRequest()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    oxc_clear_requests();
    voice.requestBanUser(QStringLiteral("sip:confctl-1@x"), QStringLiteral("sip:u-eve@x"));
    voice.requestUnbanUser(QStringLiteral("sip:confctl-1@x"), QStringLiteral("sip:u-eve@x"));
    QCOMPARE(oxc_request_count(OX_REQ_CHANNEL_BAN_USER), 2);
    const auto *ban = reinterpret_cast<const ox_req_channel_ban_user_t *>(oxc_find_request(OX_REQ_CHANNEL_BAN_USER, 0));
    const auto *unban = lastRequest<ox_req_channel_ban_user_t>(OX_REQ_CHANNEL_BAN_USER);
    QCOMPARE(ban->ban, 1);
    QCOMPARE(unban->ban, 0);
    QCOMPARE(text(unban->participant_uri), QByteArray("sip:u-eve@x"));
}

void TestVoiceOps::channelMutesUseTheirScopes()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QVERIFY(logIn(voice, QStringLiteral("moderator")));
    voice.muteUserAudio(QStringLiteral("sip:confctl-1@x"), QStringLiteral("sip:u-eve@x"), true);
    const auto *audio = lastRequest<ox_req_channel_mute_user_t>(OX_REQ_CHANNEL_MUTE_USER);
    QCOMPARE(text(audio->account_handle), voice.accountHandle().toLatin1());
    QCOMPARE(audio->scope, 1);
    QCOMPARE(audio->mute, 1);
    voice.muteUserText(QStringLiteral("sip:confctl-1@x"), QStringLiteral("sip:u-eve@x"), false,
                       QStringLiteral("acct-2"));
    const auto *textMute = lastRequest<ox_req_channel_mute_user_t>(OX_REQ_CHANNEL_MUTE_USER);
    QCOMPARE(text(textMute->account_handle), QByteArray("acct-2"));
    QCOMPARE(textMute->scope, 2);
    QCOMPARE(textMute->mute, 0);
}

void TestVoiceOps::vadPropertiesSendWholeMillisecondsAndDefaultNoiseFloor()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QSignalSpy noiseFloor(&voice, &VoiceManager::defaultVadNoiseFloorChanged);
    QVERIFY(noiseFloor.wait(5000));
    const int defaultNoiseFloor = noiseFloor.at(0).at(0).toInt();
    QVERIFY(defaultNoiseFloor != 0);

    voice.setVadProperties(1.9999, 7, 33);
    const auto *vad = lastRequest<ox_req_aux_set_vad_properties_t>(OX_REQ_AUX_SET_VAD_PROPERTIES);
    QVERIFY(vad);
    QCOMPARE(vad->hangover_ms, 1999);
    QCOMPARE(vad->sensitivity, 33);
    QCOMPARE(vad->noise_floor, defaultNoiseFloor);
}

void TestVoiceOps::vadDefaultsBeforeTheSdkAnswers()
{
    oxc_hold(OX_REQ_AUX_GET_VAD_PROPERTIES, 1);
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    LogCapture capture;
    QCOMPARE(voice.property("defaultVadNoiseFloor").toInt(), 2000);
    QCOMPARE(assertionReports(capture), 1);
    QCOMPARE(voice.property("defaultVadSensitivity").toInt(), 26);
    QCOMPARE(assertionReports(capture), 2);
    oxc_hold(OX_REQ_AUX_GET_VAD_PROPERTIES, 0);
}

void TestVoiceOps::keyBindingRefusesNegativeCodes()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    oxc_clear_requests();
    voice.requestKeyBinding(QStringLiteral("ptt"), {162, 65, 162, 65});
    const auto *binding =
        lastRequest<ox_req_aux_global_monitor_keyboard_mouse_t>(OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE);
    QVERIFY(binding);
    QCOMPARE(binding->key_count, 2);
    QCOMPARE(binding->key_codes[0], 65);
    QCOMPARE(binding->key_codes[1], 162);

    LogCapture capture;
    voice.requestKeyBinding(QStringLiteral("ptt"), {65, -3});
    QCOMPARE(oxc_request_count(OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE), 1);
    QCOMPARE(capture.find(QtWarningMsg, QStringLiteral("Key binding")).size(), 1);
}

void TestVoiceOps::renderTestStartsOnce()
{
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("audio/audio")));
    QFile sound(folder.path() + QStringLiteral("/audio/audio/rendertest.wav"));
    QVERIFY(sound.open(QIODevice::WriteOnly));
    sound.write("RIFF");
    sound.close();

    VoiceManager voice(0, folder.path(), false);
    QSignalSpy running(&voice, &VoiceManager::renderTestRunningChanged);
    voice.stopRenderTest();
    QCOMPARE(oxc_request_count(OX_REQ_AUX_RENDER_AUDIO_STOP), 0);

    voice.startRenderTest();
    voice.startRenderTest();
    QCOMPARE(oxc_request_count(OX_REQ_AUX_RENDER_AUDIO_START), 1);
    const auto *start = lastRequest<ox_req_aux_render_audio_start_t>(OX_REQ_AUX_RENDER_AUDIO_START);
    QCOMPARE(QString::fromLocal8Bit(start->sound_file_path), QDir::toNativeSeparators(sound.fileName()));
    QCOMPARE(start->loop, 1);
    QVERIFY(voice.renderTestRunning());

    voice.stopRenderTest();
    voice.stopRenderTest();
    QCOMPARE(oxc_request_count(OX_REQ_AUX_RENDER_AUDIO_STOP), 1);
    QCOMPARE(running.count(), 2);
    QCOMPARE(running.at(0).at(0).toBool(), true);
    QCOMPARE(running.at(1).at(0).toBool(), false);
}

void TestVoiceOps::renderTestWithoutItsFile()
{
    QTemporaryDir folder;
    VoiceManager voice(0, folder.path(), false);
    QSignalSpy missing(&voice, &VoiceManager::fileNotFoundForPlayback);
    voice.startRenderTest();
    QCOMPARE(oxc_request_count(OX_REQ_AUX_RENDER_AUDIO_START), 0);
    QCOMPARE(missing.count(), 1);
    QCOMPARE(missing.at(0).at(0).toString(),
             QDir::toNativeSeparators(folder.path() + QStringLiteral("/audio/audio/rendertest.wav")));
    QVERIFY(!voice.renderTestRunning());
}

void TestVoiceOps::captureTestStartsOnce()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QSignalSpy running(&voice, &VoiceManager::captureTestRunningChanged);
    voice.startCaptureTest(true);
    voice.startCaptureTest(false);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_CAPTURE_AUDIO_START), 1);
    QCOMPARE(lastRequest<ox_req_aux_capture_audio_start_t>(OX_REQ_AUX_CAPTURE_AUDIO_START)->loop_to_render, 1);
    voice.stopCaptureTest();
    voice.stopCaptureTest();
    QCOMPARE(oxc_request_count(OX_REQ_AUX_CAPTURE_AUDIO_STOP), 1);
    QCOMPARE(running.count(), 2);
}

void TestVoiceOps::renderFileToSpeaker_data()
{
    QTest::addColumn<QString>("argument"); // %1 is the program folder, %2 another folder
    QTest::addColumn<QString>("played");   // empty when nothing is played
    QTest::addColumn<QString>("missing");  // the path reported missing, if any

    QTest::newRow("bare name") << "ping.wav"
                               << "%1/ping.wav"
                               << "";
    QTest::newRow("nested name") << "sounds/ping.wav"
                                 << "%1/sounds/ping.wav"
                                 << "";
    QTest::newRow("file URL") << "file://%2/elsewhere.wav"
                              << "%2/elsewhere.wav"
                              << "";
    QTest::newRow("missing bare name") << "nothing.wav"
                                       << ""
                                       << "%1/nothing.wav";
    QTest::newRow("missing file URL") << "file://%2/nothing.wav"
                                      << ""
                                      << "%2/nothing.wav";
}

void TestVoiceOps::renderFileToSpeaker()
{
    QFETCH(QString, argument);
    QFETCH(QString, played);
    QFETCH(QString, missing);

    QTemporaryDir programFolder;
    QTemporaryDir otherFolder;
    QVERIFY(QDir(programFolder.path()).mkpath(QStringLiteral("sounds")));
    for (const QString &path :
         {programFolder.path() + QStringLiteral("/ping.wav"), programFolder.path() + QStringLiteral("/sounds/ping.wav"),
          otherFolder.path() + QStringLiteral("/elsewhere.wav")}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const auto fill = [&](const QString &pattern) {
        return QString(pattern)
            .replace(QStringLiteral("%1"), programFolder.path())
            .replace(QStringLiteral("%2"), otherFolder.path());
    };

    VoiceManager voice(0, programFolder.path(), false);
    QSignalSpy notFound(&voice, &VoiceManager::fileNotFoundForPlayback);
    QSignalSpy running(&voice, &VoiceManager::renderTestRunningChanged);
    voice.renderFileToSpeaker(fill(argument));

    if (played.isEmpty()) {
        QCOMPARE(oxc_request_count(OX_REQ_AUX_RENDER_AUDIO_START), 0);
        QCOMPARE(notFound.count(), 1);
        QCOMPARE(notFound.at(0).at(0).toString(), QDir::toNativeSeparators(fill(missing)));
    } else {
        const auto *start = lastRequest<ox_req_aux_render_audio_start_t>(OX_REQ_AUX_RENDER_AUDIO_START);
        QVERIFY(start);
        QCOMPARE(QString::fromLocal8Bit(start->sound_file_path), QDir::toNativeSeparators(fill(played)));
        QCOMPARE(start->loop, 0);
        QCOMPARE(notFound.count(), 0);
    }
    QCOMPARE(running.count(), 0);
    QVERIFY(!voice.renderTestRunning());
}

void TestVoiceOps::audioSwitches()
{
    VoiceManager::setAecEnabled(true);
    VoiceManager::setAgcEnabled(false);
    VoiceManager::setAdvancedAgcEnabled(true);
    VoiceManager::setVadEnabled(false);
    QCOMPARE(oxc_audio_switch(OXC_AEC), 1);
    QCOMPARE(oxc_audio_switch(OXC_AGC), 0);
    QCOMPARE(oxc_audio_switch(OXC_ADVANCED_AGC), 1);
    QCOMPARE(oxc_audio_switch(OXC_VAD), 0);
}

void TestVoiceOps::voiceDomainReachesTheSettingsService()
{
    // The database file names depend on it, so it is set before any login.
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), true);
    QCOMPARE(StorageManager::getInstance()->voiceDomain(), QStringLiteral("voice-dev.tavri.net"));
    QCOMPARE(voice.domain(), QStringLiteral("voice-dev.tavri.net"));
}

TAVRI_TEST_MAIN(TestVoiceOps)
#include "tst_voiceops.moc"
