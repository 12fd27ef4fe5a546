#include "sdkrequestclient.h"

#include <QtTest>

#include "ostrelsdk_control.h"
#include "testenvironment.h"
#include "voicetestsupport.h"

namespace {

using voicetest::lastRequest;

using voicetest::text;

} // namespace

// Every builder writes the fields of its request type and stamps it with the
// next cookie; the SDK stand-in records each issued request for inspection.
class TestVoiceRequest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void cookiesCountUpFromThousandAndOne();
    void connectorRequests();
    void accountRequests();
    void channelAdministrationRequests();
    void getAclNeedsAccountAndChannel_data();
    void getAclNeedsAccountAndChannel();
    void sessionRequests();
    void voiceFontOnlyWhenPositive();
    void typingNotificationStates_data();
    void typingNotificationStates();
    void audioRequests();
    void keyBindingSendsDistinctCodesInOrder();

private:
    SdkRequestClient *m_client = nullptr;
};

void TestVoiceRequest::initTestCase()
{
    ox_config_t config;
    QCOMPARE(ox_get_default_config(&config), 0);
    QCOMPARE(ox_initialize3(&config, int(sizeof config)), 0);
}

void TestVoiceRequest::cleanupTestCase()
{
    QCOMPARE(ox_uninitialize(), 0);
    delete m_client;
    m_client = nullptr;
    // Leaves no recorded requests for the library's exit-time teardown.
    oxc_reset();
}

void TestVoiceRequest::init()
{
    oxc_reset();
    delete m_client;
    m_client = new SdkRequestClient;
}

void TestVoiceRequest::cookiesCountUpFromThousandAndOne()
{
    m_client->auxGetRenderDevices();
    m_client->auxGetCaptureDevices();
    const QByteArray sent = m_client->sessionSendMessage("session-1", "hello");
    QCOMPARE(sent, QByteArray("1003"));
    QCOMPARE(m_client->nextCookie(), QByteArray("1004"));
    m_client->accountLogout("account-1");

    QCOMPARE(oxc_request_count(-1), 4);
    QCOMPARE(text(oxc_request_at(0)->cookie), QByteArray("1001"));
    QCOMPARE(text(oxc_request_at(1)->cookie), QByteArray("1002"));
    QCOMPARE(text(oxc_request_at(2)->cookie), QByteArray("1003"));
    QCOMPARE(text(oxc_request_at(3)->cookie), QByteArray("1005"));
    QCOMPARE(int(oxc_find_request_by_cookie("1003")->type), int(OX_REQ_SESSION_SEND_MESSAGE));
}

void TestVoiceRequest::connectorRequests()
{
    m_client->setConnectorLogLevel(3);
    m_client->connectorCreate("https://www.voice.example.org/api2", "", 4000, 4100, "/tmp/x/OstrelLogs/");
    m_client->connectorInitiateShutdown("connector-1");
    m_client->connectorMuteLocalMic(true);

    const auto *create = lastRequest<ox_req_connector_create_t>(OX_REQ_CONNECTOR_CREATE);
    QVERIFY(create);
    QCOMPARE(text(create->base.cookie), QByteArray("1001"));
    QCOMPARE(text(create->server_url), QByteArray("https://www.voice.example.org/api2"));
    QCOMPARE(create->min_port, 4000);
    QCOMPARE(create->max_port, 4100);
    QCOMPARE(create->connect_mode, 0);
    QCOMPARE(text(create->log_folder), QByteArray("/tmp/x/OstrelLogs/"));
    QCOMPARE(text(create->log_prefix), QByteArray("ox"));
    QCOMPARE(text(create->log_suffix), QByteArray(".txt"));
    QCOMPARE(create->log_level, 3);
    QCOMPARE(create->log_enabled, 1);
    QCOMPARE(text(create->user_agent), QByteArray("Tavri/0.6.18.8668"));
    QCOMPARE(text(create->application_name), QByteArray("Tavri"));
    QCOMPARE(text(create->client_tag), QByteArray(""));
    QCOMPARE(create->media_enabled, 1);

    const auto *shutdown = lastRequest<ox_req_connector_initiate_shutdown_t>(OX_REQ_CONNECTOR_INITIATE_SHUTDOWN);
    QVERIFY(shutdown);
    QCOMPARE(text(shutdown->connector_handle), QByteArray("connector-1"));
    QCOMPARE(text(shutdown->client_name), QByteArray(""));

    const auto *mute = lastRequest<ox_req_connector_mute_local_mic_t>(OX_REQ_CONNECTOR_MUTE_LOCAL_MIC);
    QVERIFY(mute);
    QCOMPARE(mute->mute, 1);
}

void TestVoiceRequest::accountRequests()
{
    m_client->accountAuthtokenLogin("connector-1", "token-a");
    m_client->accountLogout("account-1");
    m_client->accountListBuddiesAndGroups("account-1");
    m_client->accountBuddySet("account-1", "sip:u-bob@x", "");
    m_client->accountBuddyDelete("account-1", "sip:u-carol@x");
    m_client->accountSetPresence("account-1", 5, "back soon");
    m_client->accountSendUserAppData("account-1", "sip:u-dan@x", "ping");

    const auto *login = lastRequest<ox_req_account_authtoken_login_t>(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN);
    QVERIFY(login);
    QCOMPARE(text(login->connector_handle), QByteArray("connector-1"));
    QCOMPARE(text(login->auth_token), QByteArray("token-a"));
    QCOMPARE(login->presence_mode, 1);
    QCOMPARE(login->update_interval, 10);
    QCOMPARE(login->text_mode, 1);
    QCOMPARE(login->subscription_mode, 4);
    QCOMPARE(text(login->application_name), QByteArray("Tavri"));
    QCOMPARE(login->client_kind, 2);

    QCOMPARE(text(lastRequest<ox_req_account_logout_t>(OX_REQ_ACCOUNT_LOGOUT)->account_handle),
             QByteArray("account-1"));
    QCOMPARE(text(lastRequest<ox_req_account_list_buddies_and_groups_t>(OX_REQ_ACCOUNT_LIST_BUDDIES_AND_GROUPS)
                      ->account_handle),
             QByteArray("account-1"));

    const auto *buddy = lastRequest<ox_req_account_buddy_set_t>(OX_REQ_ACCOUNT_BUDDY_SET);
    QCOMPARE(text(buddy->account_handle), QByteArray("account-1"));
    QCOMPARE(text(buddy->buddy_uri), QByteArray("sip:u-bob@x"));
    QCOMPARE(text(buddy->display_name), QByteArray(""));
    QCOMPARE(text(buddy->buddy_data), QByteArray(""));
    QCOMPARE(buddy->group_id, 0);
    QVERIFY(!buddy->message); // set only from a non-empty text

    const auto *gone = lastRequest<ox_req_account_buddy_delete_t>(OX_REQ_ACCOUNT_BUDDY_DELETE);
    QCOMPARE(text(gone->buddy_uri), QByteArray("sip:u-carol@x"));

    const auto *presence = lastRequest<ox_req_account_set_presence_t>(OX_REQ_ACCOUNT_SET_PRESENCE);
    QCOMPARE(presence->presence, 5);
    QCOMPARE(text(presence->custom_message), QByteArray("back soon"));

    const auto *appData = lastRequest<ox_req_account_send_user_app_data_t>(OX_REQ_ACCOUNT_SEND_USER_APP_DATA);
    QCOMPARE(text(appData->account_handle), QByteArray("account-1"));
    QCOMPARE(text(appData->to_uri), QByteArray("sip:u-dan@x"));
    QCOMPARE(text(appData->content_type), QByteArray("text/plain"));
    QCOMPARE(text(appData->content), QByteArray("ping"));
}

void TestVoiceRequest::channelAdministrationRequests()
{
    const QByteArray channel = "sip:confctl-1@x";
    const QByteArray user = "sip:u-eve@x";
    m_client->accountChannelAddAcl("account-1", channel, user);
    m_client->accountChannelRemoveAcl("account-1", channel, user);
    m_client->accountChannelGetAcl("account-1", channel);
    m_client->accountChannelAddModerator("account-1", channel, user);
    m_client->accountChannelRemoveModerator("account-1", channel, user);
    m_client->accountChannelGetModerators("account-1", channel);
    m_client->accountChannelGetParticipants("account-1", channel, 1, 51);
    m_client->channelBanUser("account-1", channel, user, true);
    m_client->channelBanUser("account-1", channel, user, false);
    m_client->channelGetBannedUsers("account-1", channel);
    m_client->channelKickUser("account-1", channel, user);
    m_client->channelMuteUser("account-1", channel, user, true, 2);
    QCOMPARE(oxc_request_count(-1), 12);

    const auto *addAcl = lastRequest<ox_req_account_channel_add_acl_t>(OX_REQ_ACCOUNT_CHANNEL_ADD_ACL);
    QCOMPARE(text(addAcl->account_handle), QByteArray("account-1"));
    QCOMPARE(text(addAcl->channel_uri), channel);
    QCOMPARE(text(addAcl->user_uri), user);
    const auto *removeAcl = lastRequest<ox_req_account_channel_remove_acl_t>(OX_REQ_ACCOUNT_CHANNEL_REMOVE_ACL);
    QCOMPARE(text(removeAcl->user_uri), user);
    QCOMPARE(text(lastRequest<ox_req_account_channel_get_acl_t>(OX_REQ_ACCOUNT_CHANNEL_GET_ACL)->channel_uri), channel);

    const auto *addModerator =
        lastRequest<ox_req_account_channel_add_moderator_t>(OX_REQ_ACCOUNT_CHANNEL_ADD_MODERATOR);
    QCOMPARE(text(addModerator->channel_uri), channel);
    QCOMPARE(text(addModerator->moderator_uri), user);
    QCOMPARE(text(lastRequest<ox_req_account_channel_remove_moderator_t>(OX_REQ_ACCOUNT_CHANNEL_REMOVE_MODERATOR)
                      ->moderator_uri),
             user);
    QCOMPARE(
        text(lastRequest<ox_req_account_channel_get_moderators_t>(OX_REQ_ACCOUNT_CHANNEL_GET_MODERATORS)->channel_uri),
        channel);

    const auto *participants =
        lastRequest<ox_req_account_channel_get_participants_t>(OX_REQ_ACCOUNT_CHANNEL_GET_PARTICIPANTS);
    QCOMPARE(text(participants->channel_uri), channel);
    QCOMPARE(participants->page, 1);
    QCOMPARE(participants->page_size, 51);

    const auto *ban = reinterpret_cast<const ox_req_channel_ban_user_t *>(oxc_find_request(OX_REQ_CHANNEL_BAN_USER, 0));
    const auto *unban = lastRequest<ox_req_channel_ban_user_t>(OX_REQ_CHANNEL_BAN_USER);
    QCOMPARE(text(ban->channel_uri), channel);
    QCOMPARE(text(ban->participant_uri), user);
    QCOMPARE(ban->ban, 1);
    QCOMPARE(unban->ban, 0);
    QCOMPARE(text(lastRequest<ox_req_channel_get_banned_users_t>(OX_REQ_CHANNEL_GET_BANNED_USERS)->channel_uri),
             channel);

    const auto *kick = lastRequest<ox_req_channel_kick_user_t>(OX_REQ_CHANNEL_KICK_USER);
    QCOMPARE(text(kick->channel_uri), channel);
    QCOMPARE(text(kick->participant_uri), user);

    const auto *mute = lastRequest<ox_req_channel_mute_user_t>(OX_REQ_CHANNEL_MUTE_USER);
    QCOMPARE(text(mute->participant_uri), user);
    QCOMPARE(mute->mute, 1);
    QCOMPARE(mute->scope, 2);
}

void TestVoiceRequest::getAclNeedsAccountAndChannel_data()
{
    QTest::addColumn<QByteArray>("account");
    QTest::addColumn<QByteArray>("channel");
    QTest::addColumn<bool>("issued");

    QTest::newRow("both") << QByteArray("account-1") << QByteArray("sip:confctl-1@x") << true;
    QTest::newRow("no account") << QByteArray() << QByteArray("sip:confctl-1@x") << false;
    QTest::newRow("no channel") << QByteArray("account-1") << QByteArray("") << false;
    QTest::newRow("neither") << QByteArray() << QByteArray() << false;
}

void TestVoiceRequest::getAclNeedsAccountAndChannel()
{
    QFETCH(QByteArray, account);
    QFETCH(QByteArray, channel);
    QFETCH(bool, issued);

    m_client->accountChannelGetAcl(account, channel);
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_CHANNEL_GET_ACL), issued ? 1 : 0);
    // A request not issued takes no cookie.
    m_client->auxGetRenderDevices();
    QCOMPARE(text(lastRequest<ox_req_base_t>(OX_REQ_AUX_GET_RENDER_DEVICES)->cookie),
             issued ? QByteArray("1002") : QByteArray("1001"));
}

void TestVoiceRequest::sessionRequests()
{
    m_client->sessionGroupCreate("account-1", true);
    m_client->sessionGroupTerminate("group-1");
    m_client->sessionGroupAddSession("group-1", "sip:confctl-2@x", "secret", true, false, 0);
    m_client->sessionGroupSetTxSession("session-1", "group-1");
    m_client->sessionGroupGetStats("group-1");
    m_client->sessionTerminate("session-1");
    m_client->sessionMediaConnect("session-1", 0);
    m_client->sessionMediaDisconnect("session-1");
    const QByteArray cookie = m_client->sessionSendMessage("session-1", "12:30:hi there");
    m_client->sessionMuteLocalSpeaker("session-1", true);
    m_client->sessionSetParticipantMuteForMe("session-1", "sip:u-fay@x", true, 2);
    m_client->sessionSetParticipantVolumeForMe("session-1", "sip:u-fay@x", 73);

    const auto *group = lastRequest<ox_req_sessiongroup_create_t>(OX_REQ_SESSIONGROUP_CREATE);
    QCOMPARE(text(group->account_handle), QByteArray("account-1"));
    QCOMPARE(group->private_group, 1);
    QCOMPARE(text(lastRequest<ox_req_sessiongroup_terminate_t>(OX_REQ_SESSIONGROUP_TERMINATE)->session_group_handle),
             QByteArray("group-1"));

    const auto *add = lastRequest<ox_req_sessiongroup_add_session_t>(OX_REQ_SESSIONGROUP_ADD_SESSION);
    QCOMPARE(text(add->session_group_handle), QByteArray("group-1"));
    QCOMPARE(text(add->uri), QByteArray("sip:confctl-2@x"));
    QCOMPARE(text(add->password), QByteArray("secret"));
    QCOMPARE(add->connect_audio, 1);
    QCOMPARE(add->password_kind, 0);
    QCOMPARE(add->connect_text, 0);

    const auto *tx = lastRequest<ox_req_sessiongroup_set_tx_session_t>(OX_REQ_SESSIONGROUP_SET_TX_SESSION);
    QCOMPARE(text(tx->session_handle), QByteArray("session-1"));
    QCOMPARE(text(tx->session_group_handle), QByteArray("group-1"));
    QCOMPARE(text(lastRequest<ox_req_sessiongroup_get_stats_t>(OX_REQ_SESSIONGROUP_GET_STATS)->session_group_handle),
             QByteArray("group-1"));
    QCOMPARE(text(lastRequest<ox_req_session_terminate_t>(OX_REQ_SESSION_TERMINATE)->session_handle),
             QByteArray("session-1"));

    const auto *connect = lastRequest<ox_req_session_media_connect_t>(OX_REQ_SESSION_MEDIA_CONNECT);
    QCOMPARE(text(connect->session_handle), QByteArray("session-1"));
    QCOMPARE(connect->connect_option, 0);
    QCOMPARE(connect->media_kind, 2);
    QCOMPARE(connect->voice_font_id, 0);
    const auto *disconnect = lastRequest<ox_req_session_media_disconnect_t>(OX_REQ_SESSION_MEDIA_DISCONNECT);
    QCOMPARE(text(disconnect->session_handle), QByteArray("session-1"));
    QCOMPARE(disconnect->media_kind, 2);
    QCOMPARE(disconnect->disconnect_option, 0);

    const auto *message = lastRequest<ox_req_session_send_message_t>(OX_REQ_SESSION_SEND_MESSAGE);
    QCOMPARE(text(message->base.cookie), cookie);
    QCOMPARE(text(message->session_handle), QByteArray("session-1"));
    QCOMPARE(text(message->message_header), QByteArray(""));
    QCOMPARE(text(message->message_body), QByteArray("12:30:hi there"));

    const auto *speaker = lastRequest<ox_req_session_mute_local_speaker_t>(OX_REQ_SESSION_MUTE_LOCAL_SPEAKER);
    QCOMPARE(speaker->mute, 1);
    QCOMPARE(speaker->scope, 1);
    const auto *muteForMe =
        lastRequest<ox_req_session_set_participant_mute_for_me_t>(OX_REQ_SESSION_SET_PARTICIPANT_MUTE_FOR_ME);
    QCOMPARE(text(muteForMe->participant_uri), QByteArray("sip:u-fay@x"));
    QCOMPARE(muteForMe->mute, 1);
    QCOMPARE(muteForMe->scope, 2);
    const auto *volume =
        lastRequest<ox_req_session_set_participant_volume_for_me_t>(OX_REQ_SESSION_SET_PARTICIPANT_VOLUME_FOR_ME);
    QCOMPARE(text(volume->participant_uri), QByteArray("sip:u-fay@x"));
    QCOMPARE(volume->volume, 73);

    // Every builder stamped exactly one cookie, in issue order.
    for (int i = 0; i < oxc_request_count(-1); ++i)
        QCOMPARE(text(oxc_request_at(i)->cookie), QByteArray::number(1001 + i));
}

void TestVoiceRequest::voiceFontOnlyWhenPositive()
{
    m_client->sessionGroupAddSession("group-1", "sip:u-a@x", "", false, true, 0);
    m_client->sessionGroupAddSession("group-1", "sip:u-a@x", "", false, true, -4);
    m_client->sessionGroupAddSession("group-1", "sip:u-a@x", "", false, true, 7);
    const auto *zero = reinterpret_cast<const ox_req_sessiongroup_add_session_t *>(
        oxc_find_request(OX_REQ_SESSIONGROUP_ADD_SESSION, 0));
    const auto *negative = reinterpret_cast<const ox_req_sessiongroup_add_session_t *>(
        oxc_find_request(OX_REQ_SESSIONGROUP_ADD_SESSION, 1));
    const auto *seven = reinterpret_cast<const ox_req_sessiongroup_add_session_t *>(
        oxc_find_request(OX_REQ_SESSIONGROUP_ADD_SESSION, 2));
    QCOMPARE(zero->voice_font_id, 0);
    QCOMPARE(negative->voice_font_id, 0);
    QCOMPARE(seven->voice_font_id, 7);
    QCOMPARE(zero->connect_audio, 0);
    QCOMPARE(zero->connect_text, 1);
}

void TestVoiceRequest::typingNotificationStates_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("sent");

    QTest::newRow("not typing") << 0 << 0;
    QTest::newRow("typing") << 1 << 1;
    QTest::newRow("two") << 2 << 2;
    QTest::newRow("three") << 3 << 3;
    QTest::newRow("invalid") << 9 << 0;
    QTest::newRow("negative") << -1 << 0;
}

void TestVoiceRequest::typingNotificationStates()
{
    QFETCH(int, state);
    QFETCH(int, sent);
    if (state < 0 || state > 3)
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("State %1 is not valid.").arg(state)));
    m_client->sessionSendNotification("session-1", state);
    const auto *notification = lastRequest<ox_req_session_send_notification_t>(OX_REQ_SESSION_SEND_NOTIFICATION);
    QVERIFY(notification);
    QCOMPARE(text(notification->session_handle), QByteArray("session-1"));
    QCOMPARE(notification->notification_type, sent);
}

void TestVoiceRequest::audioRequests()
{
    m_client->auxGetCaptureDevices();
    m_client->auxGetRenderDevices();
    m_client->auxSetCaptureDevice("standin-capture-1");
    m_client->auxSetRenderDevice("standin-render-2");
    m_client->auxSetMicLevel(61);
    m_client->auxSetSpeakerLevel(39);
    m_client->auxCaptureAudioStart(true);
    m_client->auxCaptureAudioStop();
    m_client->auxRenderAudioStart("/sounds/ring.wav", true);
    m_client->auxRenderAudioStop();
    m_client->auxGetVadProperties();
    m_client->auxSetVadProperties(1999, 26, 576);
    QCOMPARE(oxc_request_count(-1), 12);

    QCOMPARE(oxc_request_count(OX_REQ_AUX_GET_CAPTURE_DEVICES), 1);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_GET_RENDER_DEVICES), 1);
    QCOMPARE(text(lastRequest<ox_req_aux_set_capture_device_t>(OX_REQ_AUX_SET_CAPTURE_DEVICE)->device_id),
             QByteArray("standin-capture-1"));
    QCOMPARE(text(lastRequest<ox_req_aux_set_render_device_t>(OX_REQ_AUX_SET_RENDER_DEVICE)->device_id),
             QByteArray("standin-render-2"));
    QCOMPARE(lastRequest<ox_req_aux_set_mic_level_t>(OX_REQ_AUX_SET_MIC_LEVEL)->level, 61);
    QCOMPARE(lastRequest<ox_req_aux_set_speaker_level_t>(OX_REQ_AUX_SET_SPEAKER_LEVEL)->level, 39);
    QCOMPARE(lastRequest<ox_req_aux_capture_audio_start_t>(OX_REQ_AUX_CAPTURE_AUDIO_START)->loop_to_render, 1);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_CAPTURE_AUDIO_STOP), 1);
    const auto *render = lastRequest<ox_req_aux_render_audio_start_t>(OX_REQ_AUX_RENDER_AUDIO_START);
    QCOMPARE(text(render->sound_file_path), QByteArray("/sounds/ring.wav"));
    QCOMPARE(render->loop, 1);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_RENDER_AUDIO_STOP), 1);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_GET_VAD_PROPERTIES), 1);
    const auto *vad = lastRequest<ox_req_aux_set_vad_properties_t>(OX_REQ_AUX_SET_VAD_PROPERTIES);
    QCOMPARE(vad->hangover_ms, 1999);
    QCOMPARE(vad->sensitivity, 26);
    QCOMPARE(vad->noise_floor, 576);
}

void TestVoiceRequest::keyBindingSendsDistinctCodesInOrder()
{
    m_client->auxGlobalMonitorKeyboardMouse("PTT", {65, 162, 17, 162, 65});
    const auto *binding =
        lastRequest<ox_req_aux_global_monitor_keyboard_mouse_t>(OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE);
    QVERIFY(binding);
    QCOMPARE(text(binding->binding_name), QByteArray("PTT"));
    QCOMPARE(binding->key_count, 3);
    QCOMPARE(binding->key_codes[0], 17);
    QCOMPARE(binding->key_codes[1], 65);
    QCOMPARE(binding->key_codes[2], 162);
    QCOMPARE(binding->key_codes[3], 0);

    // An empty list removes the binding.
    m_client->auxGlobalMonitorKeyboardMouse("PTT", {});
    QCOMPARE(
        lastRequest<ox_req_aux_global_monitor_keyboard_mouse_t>(OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE)->key_count,
        0);

    // More distinct codes than the record holds: refused, never cut short.
    QList<int> tooMany;
    for (int code = 65; code < 65 + OX_MAX_KEY_CODES + 1; ++code)
        tooMany.append(code);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Key binding .* not requested"));
    m_client->auxGlobalMonitorKeyboardMouse("PTT", tooMany);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE), 2);
}

TAVRI_TEST_MAIN(TestVoiceRequest)
#include "tst_voicerequest.moc"
