#include "sdkrequestclient.h"

#include <QDebug>

#include <algorithm>

#include "ostrelsdk.h"

namespace {

char *copy(const QByteArray &text)
{
    return ox_strdup(text.constData());
}

} // namespace

QByteArray SdkRequestClient::nextCookie()
{
    // Wraps like a 32-bit counter instead of overflowing.
    m_cookie = static_cast<int>(static_cast<unsigned>(m_cookie) + 1u);
    return QByteArray::number(m_cookie);
}

template <typename Record, typename Fill>
QByteArray SdkRequestClient::issue(int (*create)(Record **), const char *typeName, Fill fill)
{
    Record *record = nullptr;
    const int result = create(&record);
    if (result != 0 || !record) {
        qWarning() << "Could not create SDK request" << typeName << "- error" << result;
        return QByteArray();
    }
    fill(record);
    const QByteArray cookie = nextCookie();
    record->base.cookie = copy(cookie);
    ox_issue_request(&record->base);
    return cookie;
}

void SdkRequestClient::connectorCreate(const QByteArray &address, const QByteArray &clientTag, int minimumPort,
                                       int maximumPort, const QByteArray &logFolder)
{
    issue(ox_req_connector_create_create, "connector_create", [&](ox_req_connector_create_t *r) {
        r->connect_mode = 0;
        r->server_url = copy(address);
        r->min_port = minimumPort;
        r->max_port = maximumPort;
        r->log_prefix = copy("ox");
        r->log_suffix = copy(".txt");
        r->log_folder = copy(logFolder);
        r->log_level = m_connectorLogLevel;
        r->log_enabled = 1;
        r->user_agent = copy(QByteArray("Tavri/") + TAVRI_VERSION_STRING);
        r->application_name = copy("Tavri");
        r->client_tag = copy(clientTag);
        r->media_enabled = 1;
    });
}

void SdkRequestClient::connectorInitiateShutdown(const QByteArray &connectorHandle)
{
    issue(ox_req_connector_initiate_shutdown_create, "connector_initiate_shutdown",
          [&](ox_req_connector_initiate_shutdown_t *r) {
              r->connector_handle = copy(connectorHandle);
              r->client_name = copy("");
          });
}

void SdkRequestClient::connectorMuteLocalMic(bool mute)
{
    issue(ox_req_connector_mute_local_mic_create, "connector_mute_local_mic",
          [&](ox_req_connector_mute_local_mic_t *r) { r->mute = mute ? 1 : 0; });
}

void SdkRequestClient::accountAuthtokenLogin(const QByteArray &connectorHandle, const QByteArray &token)
{
    issue(ox_req_account_authtoken_login_create, "account_authtoken_login", [&](ox_req_account_authtoken_login_t *r) {
        r->connector_handle = copy(connectorHandle);
        r->auth_token = copy(token);
        r->presence_mode = 1;
        r->update_interval = 10;
        r->text_mode = 1;
        r->subscription_mode = 4;
        r->application_name = copy("Tavri");
        r->client_kind = 2;
    });
}

void SdkRequestClient::accountLogout(const QByteArray &accountHandle)
{
    issue(ox_req_account_logout_create, "account_logout",
          [&](ox_req_account_logout_t *r) { r->account_handle = copy(accountHandle); });
}

void SdkRequestClient::accountListBuddiesAndGroups(const QByteArray &accountHandle)
{
    issue(ox_req_account_list_buddies_and_groups_create, "account_list_buddies_and_groups",
          [&](ox_req_account_list_buddies_and_groups_t *r) { r->account_handle = copy(accountHandle); });
}

void SdkRequestClient::accountBuddySet(const QByteArray &accountHandle, const QByteArray &buddyUri,
                                       const QByteArray &message)
{
    issue(ox_req_account_buddy_set_create, "account_buddy_set", [&](ox_req_account_buddy_set_t *r) {
        r->account_handle = copy(accountHandle);
        r->buddy_uri = copy(buddyUri);
        r->display_name = copy("");
        r->buddy_data = copy("");
        r->group_id = 0;
        if (!message.isEmpty())
            r->message = copy(message);
    });
}

void SdkRequestClient::accountBuddyDelete(const QByteArray &accountHandle, const QByteArray &buddyUri)
{
    issue(ox_req_account_buddy_delete_create, "account_buddy_delete", [&](ox_req_account_buddy_delete_t *r) {
        r->account_handle = copy(accountHandle);
        r->buddy_uri = copy(buddyUri);
    });
}

void SdkRequestClient::accountSetPresence(const QByteArray &accountHandle, int presence,
                                          const QByteArray &customMessage)
{
    issue(ox_req_account_set_presence_create, "account_set_presence", [&](ox_req_account_set_presence_t *r) {
        r->account_handle = copy(accountHandle);
        r->presence = presence;
        r->custom_message = copy(customMessage);
    });
}

void SdkRequestClient::accountSendUserAppData(const QByteArray &accountHandle, const QByteArray &toUri,
                                              const QByteArray &content)
{
    qDebug().noquote() << "req_SendUserAppData to " + QString::fromUtf8(toUri) + " data " + QString::fromUtf8(content);
    issue(ox_req_account_send_user_app_data_create, "account_send_user_app_data",
          [&](ox_req_account_send_user_app_data_t *r) {
              r->account_handle = copy(accountHandle);
              r->to_uri = copy(toUri);
              r->content_type = copy("text/plain");
              r->content = copy(content);
          });
}

void SdkRequestClient::accountChannelAddAcl(const QByteArray &accountHandle, const QByteArray &channelUri,
                                            const QByteArray &userUri)
{
    issue(ox_req_account_channel_add_acl_create, "account_channel_add_acl", [&](ox_req_account_channel_add_acl_t *r) {
        r->account_handle = copy(accountHandle);
        r->channel_uri = copy(channelUri);
        r->user_uri = copy(userUri);
    });
}

void SdkRequestClient::accountChannelRemoveAcl(const QByteArray &accountHandle, const QByteArray &channelUri,
                                               const QByteArray &userUri)
{
    issue(ox_req_account_channel_remove_acl_create, "account_channel_remove_acl",
          [&](ox_req_account_channel_remove_acl_t *r) {
              r->account_handle = copy(accountHandle);
              r->channel_uri = copy(channelUri);
              r->user_uri = copy(userUri);
          });
}

void SdkRequestClient::accountChannelGetAcl(const QByteArray &accountHandle, const QByteArray &channelUri)
{
    if (accountHandle.isEmpty() || channelUri.isEmpty())
        return;
    issue(ox_req_account_channel_get_acl_create, "account_channel_get_acl", [&](ox_req_account_channel_get_acl_t *r) {
        r->account_handle = copy(accountHandle);
        r->channel_uri = copy(channelUri);
    });
}

void SdkRequestClient::accountChannelAddModerator(const QByteArray &accountHandle, const QByteArray &channelUri,
                                                  const QByteArray &userUri)
{
    issue(ox_req_account_channel_add_moderator_create, "account_channel_add_moderator",
          [&](ox_req_account_channel_add_moderator_t *r) {
              r->account_handle = copy(accountHandle);
              r->channel_uri = copy(channelUri);
              r->moderator_uri = copy(userUri);
          });
}

void SdkRequestClient::accountChannelRemoveModerator(const QByteArray &accountHandle, const QByteArray &channelUri,
                                                     const QByteArray &userUri)
{
    issue(ox_req_account_channel_remove_moderator_create, "account_channel_remove_moderator",
          [&](ox_req_account_channel_remove_moderator_t *r) {
              r->account_handle = copy(accountHandle);
              r->channel_uri = copy(channelUri);
              r->moderator_uri = copy(userUri);
          });
}

void SdkRequestClient::accountChannelGetModerators(const QByteArray &accountHandle, const QByteArray &channelUri)
{
    issue(ox_req_account_channel_get_moderators_create, "account_channel_get_moderators",
          [&](ox_req_account_channel_get_moderators_t *r) {
              r->account_handle = copy(accountHandle);
              r->channel_uri = copy(channelUri);
          });
}

void SdkRequestClient::accountChannelGetParticipants(const QByteArray &accountHandle, const QByteArray &channelUri,
                                                     int page, int pageSize)
{
    issue(ox_req_account_channel_get_participants_create, "account_channel_get_participants",
          [&](ox_req_account_channel_get_participants_t *r) {
              r->account_handle = copy(accountHandle);
              r->channel_uri = copy(channelUri);
              r->page = page;
              r->page_size = pageSize;
          });
}

void SdkRequestClient::channelBanUser(const QByteArray &accountHandle, const QByteArray &channelUri,
                                      const QByteArray &userUri, bool ban)
{
    issue(ox_req_channel_ban_user_create, "channel_ban_user", [&](ox_req_channel_ban_user_t *r) {
        r->account_handle = copy(accountHandle);
        r->channel_uri = copy(channelUri);
        r->participant_uri = copy(userUri);
        r->ban = ban ? 1 : 0;
    });
}

void SdkRequestClient::channelGetBannedUsers(const QByteArray &accountHandle, const QByteArray &channelUri)
{
    issue(ox_req_channel_get_banned_users_create, "channel_get_banned_users",
          [&](ox_req_channel_get_banned_users_t *r) {
              r->account_handle = copy(accountHandle);
              r->channel_uri = copy(channelUri);
          });
}

void SdkRequestClient::channelKickUser(const QByteArray &accountHandle, const QByteArray &channelUri,
                                       const QByteArray &userUri)
{
    issue(ox_req_channel_kick_user_create, "channel_kick_user", [&](ox_req_channel_kick_user_t *r) {
        r->account_handle = copy(accountHandle);
        r->channel_uri = copy(channelUri);
        r->participant_uri = copy(userUri);
    });
}

void SdkRequestClient::channelMuteUser(const QByteArray &accountHandle, const QByteArray &channelUri,
                                       const QByteArray &userUri, bool mute, int scope)
{
    issue(ox_req_channel_mute_user_create, "channel_mute_user", [&](ox_req_channel_mute_user_t *r) {
        r->account_handle = copy(accountHandle);
        r->channel_uri = copy(channelUri);
        r->participant_uri = copy(userUri);
        r->mute = mute ? 1 : 0;
        r->scope = scope;
    });
}

QByteArray SdkRequestClient::sessionGroupCreate(const QByteArray &accountHandle, bool privateGroup)
{
    return issue(ox_req_sessiongroup_create_create, "sessiongroup_create", [&](ox_req_sessiongroup_create_t *r) {
        r->account_handle = copy(accountHandle);
        if (privateGroup)
            r->private_group = 1;
    });
}

void SdkRequestClient::sessionGroupTerminate(const QByteArray &sessionGroupHandle)
{
    issue(ox_req_sessiongroup_terminate_create, "sessiongroup_terminate",
          [&](ox_req_sessiongroup_terminate_t *r) { r->session_group_handle = copy(sessionGroupHandle); });
}

void SdkRequestClient::sessionGroupAddSession(const QByteArray &sessionGroupHandle, const QByteArray &uri,
                                              const QByteArray &password, bool connectAudio, bool connectText,
                                              int voiceFont)
{
    issue(ox_req_sessiongroup_add_session_create, "sessiongroup_add_session",
          [&](ox_req_sessiongroup_add_session_t *r) {
              r->session_group_handle = copy(sessionGroupHandle);
              r->uri = copy(uri);
              r->password = copy(password);
              r->connect_audio = connectAudio ? 1 : 0;
              r->password_kind = 0;
              r->connect_text = connectText ? 1 : 0;
              if (voiceFont > 0)
                  r->voice_font_id = voiceFont;
          });
}

void SdkRequestClient::sessionGroupSetTxSession(const QByteArray &sessionHandle, const QByteArray &sessionGroupHandle)
{
    issue(ox_req_sessiongroup_set_tx_session_create, "sessiongroup_set_tx_session",
          [&](ox_req_sessiongroup_set_tx_session_t *r) {
              r->session_handle = copy(sessionHandle);
              r->session_group_handle = copy(sessionGroupHandle);
          });
}

void SdkRequestClient::sessionGroupGetStats(const QByteArray &sessionGroupHandle)
{
    issue(ox_req_sessiongroup_get_stats_create, "sessiongroup_get_stats",
          [&](ox_req_sessiongroup_get_stats_t *r) { r->session_group_handle = copy(sessionGroupHandle); });
}

void SdkRequestClient::sessionTerminate(const QByteArray &sessionHandle)
{
    issue(ox_req_session_terminate_create, "session_terminate",
          [&](ox_req_session_terminate_t *r) { r->session_handle = copy(sessionHandle); });
}

void SdkRequestClient::sessionMediaConnect(const QByteArray &sessionHandle, int voiceFont)
{
    issue(ox_req_session_media_connect_create, "session_media_connect", [&](ox_req_session_media_connect_t *r) {
        r->session_handle = copy(sessionHandle);
        r->connect_option = 0;
        r->media_kind = 2;
        if (voiceFont > 0)
            r->voice_font_id = voiceFont;
    });
}

void SdkRequestClient::sessionMediaDisconnect(const QByteArray &sessionHandle)
{
    issue(ox_req_session_media_disconnect_create, "session_media_disconnect",
          [&](ox_req_session_media_disconnect_t *r) {
              r->session_handle = copy(sessionHandle);
              r->media_kind = 2;
              r->disconnect_option = 0;
          });
}

QByteArray SdkRequestClient::sessionSendMessage(const QByteArray &sessionHandle, const QByteArray &message)
{
    return issue(ox_req_session_send_message_create, "session_send_message", [&](ox_req_session_send_message_t *r) {
        r->session_handle = copy(sessionHandle);
        r->message_header = copy("");
        r->message_body = copy(message);
    });
}

void SdkRequestClient::sessionSendNotification(const QByteArray &sessionHandle, int state)
{
    issue(ox_req_session_send_notification_create, "session_send_notification",
          [&](ox_req_session_send_notification_t *r) {
              r->session_handle = copy(sessionHandle);
              switch (state) {
              case 0:
                  break;
              case 1:
              case 2:
              case 3:
                  r->notification_type = state;
                  break;
              default:
                  qDebug().noquote() << "State " + QString::number(state) + " is not valid.";
                  break;
              }
          });
}

void SdkRequestClient::sessionMuteLocalSpeaker(const QByteArray &sessionHandle, bool mute)
{
    issue(ox_req_session_mute_local_speaker_create, "session_mute_local_speaker",
          [&](ox_req_session_mute_local_speaker_t *r) {
              r->session_handle = copy(sessionHandle);
              r->mute = mute ? 1 : 0;
              r->scope = 1;
          });
}

void SdkRequestClient::sessionSetParticipantMuteForMe(const QByteArray &sessionHandle, const QByteArray &participantUri,
                                                      bool mute, int scope)
{
    issue(ox_req_session_set_participant_mute_for_me_create, "session_set_participant_mute_for_me",
          [&](ox_req_session_set_participant_mute_for_me_t *r) {
              r->session_handle = copy(sessionHandle);
              r->participant_uri = copy(participantUri);
              r->mute = mute ? 1 : 0;
              r->scope = scope;
          });
}

void SdkRequestClient::sessionSetParticipantVolumeForMe(const QByteArray &sessionHandle,
                                                        const QByteArray &participantUri, int volume)
{
    issue(ox_req_session_set_participant_volume_for_me_create, "session_set_participant_volume_for_me",
          [&](ox_req_session_set_participant_volume_for_me_t *r) {
              r->session_handle = copy(sessionHandle);
              r->participant_uri = copy(participantUri);
              r->volume = volume;
          });
}

void SdkRequestClient::auxGetCaptureDevices()
{
    issue(ox_req_aux_get_capture_devices_create, "aux_get_capture_devices", [](ox_req_aux_get_capture_devices_t *) {});
}

void SdkRequestClient::auxGetRenderDevices()
{
    issue(ox_req_aux_get_render_devices_create, "aux_get_render_devices", [](ox_req_aux_get_render_devices_t *) {});
}

void SdkRequestClient::auxSetCaptureDevice(const QByteArray &deviceId)
{
    issue(ox_req_aux_set_capture_device_create, "aux_set_capture_device",
          [&](ox_req_aux_set_capture_device_t *r) { r->device_id = copy(deviceId); });
}

void SdkRequestClient::auxSetRenderDevice(const QByteArray &deviceId)
{
    issue(ox_req_aux_set_render_device_create, "aux_set_render_device",
          [&](ox_req_aux_set_render_device_t *r) { r->device_id = copy(deviceId); });
}

void SdkRequestClient::auxSetMicLevel(int level)
{
    issue(ox_req_aux_set_mic_level_create, "aux_set_mic_level",
          [&](ox_req_aux_set_mic_level_t *r) { r->level = level; });
}

void SdkRequestClient::auxSetSpeakerLevel(int level)
{
    issue(ox_req_aux_set_speaker_level_create, "aux_set_speaker_level",
          [&](ox_req_aux_set_speaker_level_t *r) { r->level = level; });
}

void SdkRequestClient::auxCaptureAudioStart(bool loopToRender)
{
    qDebug() << "******** loop audio to rnder " << loopToRender;
    issue(ox_req_aux_capture_audio_start_create, "aux_capture_audio_start",
          [&](ox_req_aux_capture_audio_start_t *r) { r->loop_to_render = loopToRender ? 1 : 0; });
}

void SdkRequestClient::auxCaptureAudioStop()
{
    issue(ox_req_aux_capture_audio_stop_create, "aux_capture_audio_stop", [](ox_req_aux_capture_audio_stop_t *) {});
}

void SdkRequestClient::auxRenderAudioStart(const QByteArray &soundFilePath, bool loop)
{
    issue(ox_req_aux_render_audio_start_create, "aux_render_audio_start", [&](ox_req_aux_render_audio_start_t *r) {
        r->sound_file_path = copy(soundFilePath);
        r->loop = loop ? 1 : 0;
    });
}

void SdkRequestClient::auxRenderAudioStop()
{
    issue(ox_req_aux_render_audio_stop_create, "aux_render_audio_stop", [](ox_req_aux_render_audio_stop_t *) {});
}

void SdkRequestClient::auxGetVadProperties()
{
    issue(ox_req_aux_get_vad_properties_create, "aux_get_vad_properties", [](ox_req_aux_get_vad_properties_t *) {});
}

void SdkRequestClient::auxSetVadProperties(int hangoverMs, int sensitivity, int noiseFloor)
{
    issue(ox_req_aux_set_vad_properties_create, "aux_set_vad_properties", [&](ox_req_aux_set_vad_properties_t *r) {
        r->hangover_ms = hangoverMs;
        r->sensitivity = sensitivity;
        r->noise_floor = noiseFloor;
    });
}

void SdkRequestClient::auxGlobalMonitorKeyboardMouse(const QByteArray &bindingName, const QList<int> &keyCodes)
{
    QList<int> codes = keyCodes;
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    if (codes.size() > OX_MAX_KEY_CODES) {
        // The record holds a fixed number of codes; a longer combination
        // would be cut to a different binding than the one asked for.
        qWarning() << "Key binding" << bindingName << "not requested:" << codes.size() << "distinct key codes, at most"
                   << OX_MAX_KEY_CODES << "fit";
        return;
    }
    issue(ox_req_aux_global_monitor_keyboard_mouse_create, "aux_global_monitor_keyboard_mouse",
          [&](ox_req_aux_global_monitor_keyboard_mouse_t *r) {
              r->binding_name = copy(bindingName);
              r->key_count = codes.size();
              for (int i = 0; i < codes.size(); ++i)
                  r->key_codes[i] = codes.at(i);
          });
}
