// Voice SDK responses and events with any field values (null texts, handles
// that are and are not known, any numbers and states, lists of up to eight
// records) through the voice service's response and event dispatch, after a
// sign-in whose requests the stand-in answers with any result code and
// status. Every response type comes with the request it answers (or none)
// and with fields of its own; a list holds exactly as many records as its
// count says, as the SDK, a library in the same process, always gives them.
// The stand-in, the voice service, its statistics model and what the
// dispatch made in the realm start afresh for every input.
//
// Input: a count (0 to 3) of scripted answers to sign-in requests, each a
// request type, result code, status and status text; then up to 32
// messages, each a byte choosing an event (below 128) or a response (128 and
// up) and then its fields in the order of the tables below. A response reads
// its result code (0, 1, or any number after a byte of 2 and up), status,
// status text, a byte that is 0 for no request, the request's cookie and
// fields, and then its own fields; a type number outside the table reads
// the type, result code, status and status text. A list reads its count (0
// to 8) and then each record: a byte that is 0 for a null record, and else
// the record's fields; a single record likewise.

#include "callsessionstat.h"
#include "callsessionstats.h"
#include "conversation.h"
#include "fuzzsupport.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "realmtestaccess.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "voicemanager.h"
#include "voicesettle.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

enum Kind { Text, Int, Double, Participants, Buddies, Favorites, Devices, Device, Channel };
struct Field {
    Kind kind;
    size_t offset;
    // For a list: the int holding its count.
    size_t countOffset = 0;
};
struct EventShape {
    ox_event_type type;
    std::vector<Field> fields;
};
struct ResponseShape {
    ox_response_type type;
    ox_req_base_t *(*newRequest)();
    std::vector<Field> request;
    std::vector<Field> response;
};

#define TEXT(s, f)                                                                                                     \
    Field                                                                                                              \
    {                                                                                                                  \
        Text, offsetof(s, f)                                                                                           \
    }
#define INT(s, f)                                                                                                      \
    Field                                                                                                              \
    {                                                                                                                  \
        Int, offsetof(s, f)                                                                                            \
    }
#define DOUBLE(s, f)                                                                                                   \
    Field                                                                                                              \
    {                                                                                                                  \
        Double, offsetof(s, f)                                                                                         \
    }
#define LIST(k, s, count, array)                                                                                       \
    Field                                                                                                              \
    {                                                                                                                  \
        k, offsetof(s, array), offsetof(s, count)                                                                      \
    }
#define ONE(k, s, f)                                                                                                   \
    Field                                                                                                              \
    {                                                                                                                  \
        k, offsetof(s, f)                                                                                              \
    }

const std::vector<EventShape> &eventShapes()
{
    static const std::vector<EventShape> all = {
        {OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE,
         {TEXT(ox_evt_account_login_state_change_t, account_handle), INT(ox_evt_account_login_state_change_t, state),
          INT(ox_evt_account_login_state_change_t, status_code),
          TEXT(ox_evt_account_login_state_change_t, status_string)}},
        {OX_EVT_BUDDY_PRESENCE,
         {TEXT(ox_evt_buddy_presence_t, account_handle), TEXT(ox_evt_buddy_presence_t, buddy_uri),
          INT(ox_evt_buddy_presence_t, presence), TEXT(ox_evt_buddy_presence_t, custom_message)}},
        {OX_EVT_SUBSCRIPTION,
         {TEXT(ox_evt_subscription_t, account_handle), TEXT(ox_evt_subscription_t, buddy_uri),
          TEXT(ox_evt_subscription_t, display_name), TEXT(ox_evt_subscription_t, subscription_handle)}},
        {OX_EVT_SESSION_NOTIFICATION,
         {TEXT(ox_evt_session_notification_t, session_handle), TEXT(ox_evt_session_notification_t, participant_uri),
          INT(ox_evt_session_notification_t, notification_type)}},
        {OX_EVT_MESSAGE,
         {TEXT(ox_evt_message_t, session_handle), TEXT(ox_evt_message_t, sender_uri),
          TEXT(ox_evt_message_t, message_body)}},
        {OX_EVT_AUX_AUDIO_PROPERTIES,
         {INT(ox_evt_aux_audio_properties_t, mic_is_active), INT(ox_evt_aux_audio_properties_t, mic_volume),
          DOUBLE(ox_evt_aux_audio_properties_t, mic_energy), INT(ox_evt_aux_audio_properties_t, speaker_volume),
          INT(ox_evt_aux_audio_properties_t, speaker_is_active), DOUBLE(ox_evt_aux_audio_properties_t, speaker_energy),
          DOUBLE(ox_evt_aux_audio_properties_t, noise_floor), DOUBLE(ox_evt_aux_audio_properties_t, speech_threshold)}},
        {OX_EVT_BUDDY_CHANGED,
         {TEXT(ox_evt_buddy_changed_t, account_handle), TEXT(ox_evt_buddy_changed_t, buddy_uri),
          INT(ox_evt_buddy_changed_t, change)}},
        {OX_EVT_KEYBOARD_MOUSE, {TEXT(ox_evt_keyboard_mouse_t, binding_name), INT(ox_evt_keyboard_mouse_t, is_down)}},
        {OX_EVT_MEDIA_STREAM_UPDATED,
         {TEXT(ox_evt_media_stream_updated_t, session_group_handle),
          TEXT(ox_evt_media_stream_updated_t, session_handle), INT(ox_evt_media_stream_updated_t, status_code),
          TEXT(ox_evt_media_stream_updated_t, status_string), INT(ox_evt_media_stream_updated_t, state),
          INT(ox_evt_media_stream_updated_t, incoming)}},
        {OX_EVT_TEXT_STREAM_UPDATED,
         {TEXT(ox_evt_text_stream_updated_t, session_group_handle), TEXT(ox_evt_text_stream_updated_t, session_handle),
          INT(ox_evt_text_stream_updated_t, status_code), TEXT(ox_evt_text_stream_updated_t, status_string),
          INT(ox_evt_text_stream_updated_t, state), INT(ox_evt_text_stream_updated_t, incoming)}},
        {OX_EVT_SESSIONGROUP_ADDED,
         {TEXT(ox_evt_sessiongroup_added_t, account_handle), TEXT(ox_evt_sessiongroup_added_t, session_group_handle)}},
        {OX_EVT_SESSIONGROUP_REMOVED,
         {TEXT(ox_evt_sessiongroup_removed_t, account_handle),
          TEXT(ox_evt_sessiongroup_removed_t, session_group_handle)}},
        {OX_EVT_SESSION_ADDED,
         {TEXT(ox_evt_session_added_t, session_group_handle), TEXT(ox_evt_session_added_t, session_handle),
          TEXT(ox_evt_session_added_t, uri), INT(ox_evt_session_added_t, is_incoming),
          TEXT(ox_evt_session_added_t, display_name)}},
        {OX_EVT_SESSION_REMOVED,
         {TEXT(ox_evt_session_removed_t, session_group_handle), TEXT(ox_evt_session_removed_t, session_handle),
          TEXT(ox_evt_session_removed_t, uri)}},
        {OX_EVT_PARTICIPANT_ADDED,
         {TEXT(ox_evt_participant_added_t, session_group_handle), TEXT(ox_evt_participant_added_t, session_handle),
          TEXT(ox_evt_participant_added_t, participant_uri), TEXT(ox_evt_participant_added_t, display_name),
          TEXT(ox_evt_participant_added_t, participant_tag), INT(ox_evt_participant_added_t, is_current_user)}},
        {OX_EVT_PARTICIPANT_REMOVED,
         {TEXT(ox_evt_participant_removed_t, session_group_handle), TEXT(ox_evt_participant_removed_t, session_handle),
          TEXT(ox_evt_participant_removed_t, participant_uri), TEXT(ox_evt_participant_removed_t, display_name),
          TEXT(ox_evt_participant_removed_t, participant_tag), INT(ox_evt_participant_removed_t, is_current_user),
          INT(ox_evt_participant_removed_t, reason)}},
        {OX_EVT_PARTICIPANT_UPDATED,
         {TEXT(ox_evt_participant_updated_t, session_handle), TEXT(ox_evt_participant_updated_t, participant_uri),
          INT(ox_evt_participant_updated_t, is_muted_globally), INT(ox_evt_participant_updated_t, is_speaking),
          INT(ox_evt_participant_updated_t, volume_adjustment), DOUBLE(ox_evt_participant_updated_t, energy),
          INT(ox_evt_participant_updated_t, active_media), INT(ox_evt_participant_updated_t, is_muted_locally),
          INT(ox_evt_participant_updated_t, is_text_muted_globally),
          INT(ox_evt_participant_updated_t, participant_type), TEXT(ox_evt_participant_updated_t, participant_tag)}},
        {OX_EVT_SERVER_APP_DATA,
         {TEXT(ox_evt_server_app_data_t, account_handle), TEXT(ox_evt_server_app_data_t, content_type),
          TEXT(ox_evt_server_app_data_t, content)}},
        {OX_EVT_USER_APP_DATA,
         {TEXT(ox_evt_user_app_data_t, account_handle), TEXT(ox_evt_user_app_data_t, from_uri),
          TEXT(ox_evt_user_app_data_t, content_type), TEXT(ox_evt_user_app_data_t, content)}},
        {OX_EVT_NETWORK_MESSAGE,
         {TEXT(ox_evt_network_message_t, account_handle), INT(ox_evt_network_message_t, message_type),
          TEXT(ox_evt_network_message_t, sender_uri), TEXT(ox_evt_network_message_t, content_type),
          TEXT(ox_evt_network_message_t, content)}},
        {OX_EVT_AUDIO_DEVICE_HOT_SWAP, {INT(ox_evt_audio_device_hot_swap_t, device_kind)}},
        {OX_EVT_BUDDY_AND_GROUP_LIST_CHANGED,
         {TEXT(ox_evt_buddy_and_group_list_changed_t, account_handle),
          LIST(Buddies, ox_evt_buddy_and_group_list_changed_t, buddy_count, buddies)}},
    };
    return all;
}

// A new request record of the SDK's own making, of one type.
#define CREATE(n)                                                                                                      \
    [] {                                                                                                               \
        ox_req_##n##_t *request = nullptr;                                                                             \
        ox_req_##n##_create(&request);                                                                                 \
        return reinterpret_cast<ox_req_base_t *>(request);                                                             \
    }
#define RQ(n) ox_req_##n##_t
#define RS(n) ox_resp_##n##_t
#define STAT_INT(f) INT(RS(sessiongroup_get_stats), stats.f)
#define STAT_DOUBLE(f) DOUBLE(RS(sessiongroup_get_stats), stats.f)

// Every response type of the SDK, each with the named fields of its request
// and its own.
const std::vector<ResponseShape> &responseShapes()
{
    static const std::vector<ResponseShape> all = {
        {OX_RESP_CONNECTOR_CREATE,
         CREATE(connector_create),
         {TEXT(RQ(connector_create), server_url), INT(RQ(connector_create), min_port),
          INT(RQ(connector_create), max_port), INT(RQ(connector_create), connect_mode),
          TEXT(RQ(connector_create), log_folder), TEXT(RQ(connector_create), log_prefix),
          TEXT(RQ(connector_create), log_suffix), INT(RQ(connector_create), log_level),
          INT(RQ(connector_create), log_enabled), TEXT(RQ(connector_create), user_agent),
          TEXT(RQ(connector_create), application_name), TEXT(RQ(connector_create), client_tag),
          INT(RQ(connector_create), media_enabled)},
         {TEXT(RS(connector_create), connector_handle)}},
        {OX_RESP_CONNECTOR_INITIATE_SHUTDOWN,
         CREATE(connector_initiate_shutdown),
         {TEXT(RQ(connector_initiate_shutdown), connector_handle), TEXT(RQ(connector_initiate_shutdown), client_name)},
         {}},
        {OX_RESP_ACCOUNT_LOGIN,
         CREATE(account_login),
         {TEXT(RQ(account_login), connector_handle), TEXT(RQ(account_login), account_name),
          TEXT(RQ(account_login), password)},
         {TEXT(RS(account_login), account_handle), TEXT(RS(account_login), account_uri),
          TEXT(RS(account_login), display_name)}},
        {OX_RESP_ACCOUNT_LOGOUT, CREATE(account_logout), {TEXT(RQ(account_logout), account_handle)}, {}},
        {OX_RESP_ACCOUNT_SET_PRESENCE,
         CREATE(account_set_presence),
         {TEXT(RQ(account_set_presence), account_handle), INT(RQ(account_set_presence), presence),
          TEXT(RQ(account_set_presence), custom_message)},
         {}},
        {OX_RESP_SESSIONGROUP_CREATE,
         CREATE(sessiongroup_create),
         {TEXT(RQ(sessiongroup_create), account_handle), INT(RQ(sessiongroup_create), private_group)},
         {TEXT(RS(sessiongroup_create), session_group_handle)}},
        {OX_RESP_SESSIONGROUP_TERMINATE,
         CREATE(sessiongroup_terminate),
         {TEXT(RQ(sessiongroup_terminate), session_group_handle)},
         {}},
        {OX_RESP_SESSIONGROUP_ADD_SESSION,
         CREATE(sessiongroup_add_session),
         {TEXT(RQ(sessiongroup_add_session), session_group_handle), TEXT(RQ(sessiongroup_add_session), uri),
          TEXT(RQ(sessiongroup_add_session), password), INT(RQ(sessiongroup_add_session), connect_audio),
          INT(RQ(sessiongroup_add_session), password_kind), INT(RQ(sessiongroup_add_session), connect_text),
          INT(RQ(sessiongroup_add_session), voice_font_id)},
         {TEXT(RS(sessiongroup_add_session), session_handle)}},
        {OX_RESP_SESSIONGROUP_SET_TX_SESSION,
         CREATE(sessiongroup_set_tx_session),
         {TEXT(RQ(sessiongroup_set_tx_session), session_handle),
          TEXT(RQ(sessiongroup_set_tx_session), session_group_handle)},
         {}},
        {OX_RESP_SESSION_MEDIA_CONNECT,
         CREATE(session_media_connect),
         {TEXT(RQ(session_media_connect), session_handle), INT(RQ(session_media_connect), connect_option),
          INT(RQ(session_media_connect), media_kind), INT(RQ(session_media_connect), voice_font_id)},
         {}},
        {OX_RESP_SESSION_MEDIA_DISCONNECT,
         CREATE(session_media_disconnect),
         {TEXT(RQ(session_media_disconnect), session_handle), INT(RQ(session_media_disconnect), media_kind),
          INT(RQ(session_media_disconnect), disconnect_option)},
         {}},
        {OX_RESP_SESSION_TERMINATE, CREATE(session_terminate), {TEXT(RQ(session_terminate), session_handle)}, {}},
        {OX_RESP_SESSION_MUTE_LOCAL_SPEAKER,
         CREATE(session_mute_local_speaker),
         {TEXT(RQ(session_mute_local_speaker), session_handle), INT(RQ(session_mute_local_speaker), mute),
          INT(RQ(session_mute_local_speaker), scope)},
         {}},
        {OX_RESP_SESSION_SET_LOCAL_SPEAKER_VOLUME,
         CREATE(session_set_local_speaker_volume),
         {TEXT(RQ(session_set_local_speaker_volume), session_handle),
          INT(RQ(session_set_local_speaker_volume), volume)},
         {}},
        {OX_RESP_SESSION_SET_PARTICIPANT_MUTE_FOR_ME,
         CREATE(session_set_participant_mute_for_me),
         {TEXT(RQ(session_set_participant_mute_for_me), session_handle),
          TEXT(RQ(session_set_participant_mute_for_me), participant_uri),
          INT(RQ(session_set_participant_mute_for_me), mute), INT(RQ(session_set_participant_mute_for_me), scope)},
         {}},
        {OX_RESP_SESSION_SET_PARTICIPANT_VOLUME_FOR_ME,
         CREATE(session_set_participant_volume_for_me),
         {TEXT(RQ(session_set_participant_volume_for_me), session_handle),
          TEXT(RQ(session_set_participant_volume_for_me), participant_uri),
          INT(RQ(session_set_participant_volume_for_me), volume)},
         {}},
        {OX_RESP_ACCOUNT_CHANNEL_FAVORITES_LIST,
         CREATE(account_channel_favorites_list),
         {TEXT(RQ(account_channel_favorites_list), account_handle)},
         {LIST(Favorites, RS(account_channel_favorites_list), favorite_count, favorites)}},
        {OX_RESP_ACCOUNT_CHANNEL_FAVORITE_SET,
         CREATE(account_channel_favorite_set),
         {TEXT(RQ(account_channel_favorite_set), account_handle), TEXT(RQ(account_channel_favorite_set), channel_uri),
          TEXT(RQ(account_channel_favorite_set), display_name)},
         {INT(RS(account_channel_favorite_set), favorite_id)}},
        {OX_RESP_ACCOUNT_CHANNEL_GET_INFO,
         CREATE(account_channel_get_info),
         {TEXT(RQ(account_channel_get_info), account_handle), TEXT(RQ(account_channel_get_info), channel_uri)},
         {ONE(Channel, RS(account_channel_get_info), channel)}},
        {OX_RESP_ACCOUNT_CHANNEL_ADD_MODERATOR,
         CREATE(account_channel_add_moderator),
         {TEXT(RQ(account_channel_add_moderator), account_handle), TEXT(RQ(account_channel_add_moderator), channel_uri),
          TEXT(RQ(account_channel_add_moderator), moderator_uri)},
         {}},
        {OX_RESP_ACCOUNT_CHANNEL_REMOVE_MODERATOR,
         CREATE(account_channel_remove_moderator),
         {TEXT(RQ(account_channel_remove_moderator), account_handle),
          TEXT(RQ(account_channel_remove_moderator), channel_uri),
          TEXT(RQ(account_channel_remove_moderator), moderator_uri)},
         {}},
        {OX_RESP_ACCOUNT_CHANNEL_GET_MODERATORS,
         CREATE(account_channel_get_moderators),
         {TEXT(RQ(account_channel_get_moderators), account_handle),
          TEXT(RQ(account_channel_get_moderators), channel_uri)},
         {LIST(Participants, RS(account_channel_get_moderators), participant_count, participants)}},
        {OX_RESP_ACCOUNT_CHANNEL_ADD_ACL,
         CREATE(account_channel_add_acl),
         {TEXT(RQ(account_channel_add_acl), account_handle), TEXT(RQ(account_channel_add_acl), channel_uri),
          TEXT(RQ(account_channel_add_acl), user_uri)},
         {}},
        {OX_RESP_ACCOUNT_CHANNEL_REMOVE_ACL,
         CREATE(account_channel_remove_acl),
         {TEXT(RQ(account_channel_remove_acl), account_handle), TEXT(RQ(account_channel_remove_acl), channel_uri),
          TEXT(RQ(account_channel_remove_acl), user_uri)},
         {}},
        {OX_RESP_ACCOUNT_CHANNEL_GET_ACL,
         CREATE(account_channel_get_acl),
         {TEXT(RQ(account_channel_get_acl), account_handle), TEXT(RQ(account_channel_get_acl), channel_uri)},
         {LIST(Participants, RS(account_channel_get_acl), participant_count, participants)}},
        {OX_RESP_CHANNEL_KICK_USER,
         CREATE(channel_kick_user),
         {TEXT(RQ(channel_kick_user), account_handle), TEXT(RQ(channel_kick_user), channel_uri),
          TEXT(RQ(channel_kick_user), participant_uri)},
         {}},
        {OX_RESP_CHANNEL_BAN_USER,
         CREATE(channel_ban_user),
         {TEXT(RQ(channel_ban_user), account_handle), TEXT(RQ(channel_ban_user), channel_uri),
          TEXT(RQ(channel_ban_user), participant_uri), INT(RQ(channel_ban_user), ban)},
         {}},
        {OX_RESP_CHANNEL_GET_BANNED_USERS,
         CREATE(channel_get_banned_users),
         {TEXT(RQ(channel_get_banned_users), account_handle), TEXT(RQ(channel_get_banned_users), channel_uri)},
         {LIST(Participants, RS(channel_get_banned_users), participant_count, participants)}},
        {OX_RESP_CHANNEL_MUTE_USER,
         CREATE(channel_mute_user),
         {TEXT(RQ(channel_mute_user), account_handle), TEXT(RQ(channel_mute_user), channel_uri),
          TEXT(RQ(channel_mute_user), participant_uri), INT(RQ(channel_mute_user), mute),
          INT(RQ(channel_mute_user), scope)},
         {}},
        {OX_RESP_CONNECTOR_MUTE_LOCAL_MIC,
         CREATE(connector_mute_local_mic),
         {INT(RQ(connector_mute_local_mic), mute)},
         {}},
        {OX_RESP_ACCOUNT_BUDDY_SET,
         CREATE(account_buddy_set),
         {TEXT(RQ(account_buddy_set), account_handle), TEXT(RQ(account_buddy_set), buddy_uri),
          TEXT(RQ(account_buddy_set), display_name), TEXT(RQ(account_buddy_set), buddy_data),
          INT(RQ(account_buddy_set), group_id), TEXT(RQ(account_buddy_set), message)},
         {INT(RS(account_buddy_set), buddy_id)}},
        {OX_RESP_ACCOUNT_BUDDY_DELETE,
         CREATE(account_buddy_delete),
         {TEXT(RQ(account_buddy_delete), account_handle), TEXT(RQ(account_buddy_delete), buddy_uri)},
         {}},
        {OX_RESP_ACCOUNT_LIST_BUDDIES_AND_GROUPS,
         CREATE(account_list_buddies_and_groups),
         {TEXT(RQ(account_list_buddies_and_groups), account_handle)},
         {LIST(Buddies, RS(account_list_buddies_and_groups), buddy_count, buddies)}},
        {OX_RESP_SESSION_SEND_MESSAGE,
         CREATE(session_send_message),
         {TEXT(RQ(session_send_message), session_handle), TEXT(RQ(session_send_message), message_header),
          TEXT(RQ(session_send_message), message_body)},
         {}},
        {OX_RESP_SESSION_SEND_NOTIFICATION,
         CREATE(session_send_notification),
         {TEXT(RQ(session_send_notification), session_handle), INT(RQ(session_send_notification), notification_type)},
         {}},
        {OX_RESP_ACCOUNT_BLOCKED_USERS_LIST,
         CREATE(account_blocked_users_list),
         {TEXT(RQ(account_blocked_users_list), account_handle)},
         {LIST(Participants, RS(account_blocked_users_list), participant_count, participants)}},
        {OX_RESP_AUX_GET_RENDER_DEVICES,
         CREATE(aux_get_render_devices),
         {},
         {LIST(Devices, RS(aux_get_render_devices), device_count, devices),
          ONE(Device, RS(aux_get_render_devices), current_device),
          ONE(Device, RS(aux_get_render_devices), effective_device),
          ONE(Device, RS(aux_get_render_devices), default_device)}},
        {OX_RESP_AUX_GET_CAPTURE_DEVICES,
         CREATE(aux_get_capture_devices),
         {},
         {LIST(Devices, RS(aux_get_capture_devices), device_count, devices),
          ONE(Device, RS(aux_get_capture_devices), current_device),
          ONE(Device, RS(aux_get_capture_devices), effective_device),
          ONE(Device, RS(aux_get_capture_devices), default_device)}},
        {OX_RESP_AUX_SET_RENDER_DEVICE,
         CREATE(aux_set_render_device),
         {TEXT(RQ(aux_set_render_device), device_id)},
         {}},
        {OX_RESP_AUX_SET_CAPTURE_DEVICE,
         CREATE(aux_set_capture_device),
         {TEXT(RQ(aux_set_capture_device), device_id)},
         {}},
        {OX_RESP_AUX_GET_MIC_LEVEL, CREATE(aux_get_mic_level), {}, {INT(RS(aux_get_mic_level), level)}},
        {OX_RESP_AUX_GET_SPEAKER_LEVEL, CREATE(aux_get_speaker_level), {}, {INT(RS(aux_get_speaker_level), level)}},
        {OX_RESP_AUX_SET_MIC_LEVEL, CREATE(aux_set_mic_level), {INT(RQ(aux_set_mic_level), level)}, {}},
        {OX_RESP_AUX_SET_SPEAKER_LEVEL, CREATE(aux_set_speaker_level), {INT(RQ(aux_set_speaker_level), level)}, {}},
        {OX_RESP_AUX_RENDER_AUDIO_START,
         CREATE(aux_render_audio_start),
         {TEXT(RQ(aux_render_audio_start), sound_file_path), INT(RQ(aux_render_audio_start), loop)},
         {}},
        {OX_RESP_AUX_RENDER_AUDIO_STOP, CREATE(aux_render_audio_stop), {}, {}},
        {OX_RESP_AUX_CAPTURE_AUDIO_START,
         CREATE(aux_capture_audio_start),
         {INT(RQ(aux_capture_audio_start), loop_to_render)},
         {}},
        {OX_RESP_AUX_CAPTURE_AUDIO_STOP, CREATE(aux_capture_audio_stop), {}, {}},
        {OX_RESP_AUX_GET_VAD_PROPERTIES,
         CREATE(aux_get_vad_properties),
         {},
         {INT(RS(aux_get_vad_properties), hangover_ms), INT(RS(aux_get_vad_properties), sensitivity),
          INT(RS(aux_get_vad_properties), noise_floor)}},
        {OX_RESP_AUX_SET_VAD_PROPERTIES,
         CREATE(aux_set_vad_properties),
         {INT(RQ(aux_set_vad_properties), hangover_ms), INT(RQ(aux_set_vad_properties), sensitivity),
          INT(RQ(aux_set_vad_properties), noise_floor)},
         {}},
        {OX_RESP_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE,
         CREATE(aux_global_monitor_keyboard_mouse),
         {TEXT(RQ(aux_global_monitor_keyboard_mouse), binding_name)},
         {}},
        {OX_RESP_ACCOUNT_CHANNEL_GET_PARTICIPANTS,
         CREATE(account_channel_get_participants),
         {TEXT(RQ(account_channel_get_participants), account_handle),
          TEXT(RQ(account_channel_get_participants), channel_uri), INT(RQ(account_channel_get_participants), page),
          INT(RQ(account_channel_get_participants), page_size)},
         {INT(RS(account_channel_get_participants), total_participant_count),
          LIST(Participants, RS(account_channel_get_participants), participant_count, participants)}},
        {OX_RESP_ACCOUNT_SEND_USER_APP_DATA,
         CREATE(account_send_user_app_data),
         {TEXT(RQ(account_send_user_app_data), account_handle), TEXT(RQ(account_send_user_app_data), to_uri),
          TEXT(RQ(account_send_user_app_data), content_type), TEXT(RQ(account_send_user_app_data), content)},
         {}},
        {OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN,
         CREATE(account_authtoken_login),
         {TEXT(RQ(account_authtoken_login), connector_handle), TEXT(RQ(account_authtoken_login), auth_token),
          INT(RQ(account_authtoken_login), presence_mode), INT(RQ(account_authtoken_login), update_interval),
          INT(RQ(account_authtoken_login), text_mode), INT(RQ(account_authtoken_login), subscription_mode),
          TEXT(RQ(account_authtoken_login), application_name), INT(RQ(account_authtoken_login), client_kind)},
         {TEXT(RS(account_authtoken_login), account_handle), TEXT(RS(account_authtoken_login), account_uri),
          TEXT(RS(account_authtoken_login), display_name)}},
        {OX_RESP_SESSIONGROUP_GET_STATS,
         CREATE(sessiongroup_get_stats),
         {TEXT(RQ(sessiongroup_get_stats), session_group_handle)},
         {STAT_INT(current_bars),
          STAT_INT(packets_received),
          STAT_INT(packets_lost),
          STAT_INT(packets_late),
          STAT_INT(packets_discarded),
          STAT_INT(packets_sent),
          STAT_INT(render_underruns),
          STAT_INT(render_overruns),
          STAT_INT(render_errors),
          STAT_INT(plc_count),
          STAT_INT(plc_synthetic_frames),
          STAT_INT(codec_mode),
          STAT_INT(latency_count),
          STAT_INT(latency_packets_lost),
          STAT_INT(latency_packets_sent),
          STAT_INT(latency_packets_dropped),
          STAT_INT(latency_packets_malformed),
          STAT_INT(latency_packets_negative),
          STAT_DOUBLE(min_latency),
          STAT_DOUBLE(max_latency),
          STAT_DOUBLE(latency_sum),
          STAT_DOUBLE(last_latency_measured),
          STAT_DOUBLE(r_factor),
          STAT_DOUBLE(call_start_time),
          STAT_DOUBLE(call_end_time),
          TEXT(RS(sessiongroup_get_stats), stats.call_id),
          TEXT(RS(sessiongroup_get_stats), stats.codec_name)}},
    };
    return all;
}

// The records that lists and single record fields hold: their size and
// fields.
struct RecordShape {
    size_t size;
    std::vector<Field> fields;
};

const RecordShape &recordShape(Kind kind)
{
    static const RecordShape participant = {
        sizeof(ox_participant_record_t),
        {TEXT(ox_participant_record_t, uri), TEXT(ox_participant_record_t, display_name),
         INT(ox_participant_record_t, is_moderator), INT(ox_participant_record_t, is_owner)}};
    static const RecordShape buddy = {sizeof(ox_buddy_record_t),
                                      {TEXT(ox_buddy_record_t, uri), TEXT(ox_buddy_record_t, display_name),
                                       TEXT(ox_buddy_record_t, buddy_data), INT(ox_buddy_record_t, buddy_id)}};
    static const RecordShape favorite = {sizeof(ox_favorite_record_t),
                                         {INT(ox_favorite_record_t, favorite_id), TEXT(ox_favorite_record_t, uri),
                                          TEXT(ox_favorite_record_t, display_name)}};
    static const RecordShape device = {
        sizeof(ox_device_t),
        {TEXT(ox_device_t, device_id), TEXT(ox_device_t, display_name), INT(ox_device_t, device_type)}};
    static const RecordShape channel = {sizeof(ox_channel_record_t),
                                        {TEXT(ox_channel_record_t, uri), TEXT(ox_channel_record_t, display_name),
                                         INT(ox_channel_record_t, current_participants),
                                         INT(ox_channel_record_t, max_participants)}};
    switch (kind) {
    case Participants:
        return participant;
    case Buddies:
        return buddy;
    case Favorites:
        return favorite;
    case Channel:
        return channel;
    default:
        return device;
    }
}

// Reads the input front to back; past its end every value is 0.
class Reader
{
public:
    Reader(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool atEnd() const { return m_at >= m_size; }
    uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    template <typename T>
    T value()
    {
        T result{};
        const size_t n = std::min(sizeof(T), m_size - std::min(m_at, m_size));
        std::memcpy(&result, m_data + std::min(m_at, m_size), n);
        m_at += sizeof(T);
        return result;
    }
    // A text of up to 255 bytes (its length first).
    QByteArray text()
    {
        const size_t length = std::min<size_t>(byte(), m_size - std::min(m_at, m_size));
        const QByteArray result(reinterpret_cast<const char *>(m_data + std::min(m_at, m_size)), int(length));
        m_at += length;
        return result;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

// A text field: null, one of the handles and addresses the voice service
// knows, or the input's own text.
char *textValue(Reader &in, const QList<QByteArray> &known)
{
    const uint8_t choice = in.byte();
    if (choice == 0)
        return nullptr;
    if (choice <= known.size())
        return ox_strdup(known.at(choice - 1).constData());
    return ox_strdup(in.text().constData());
}

void fill(char *record, const std::vector<Field> &fields, Reader &in, const QList<QByteArray> &known);

// A record of a list or a single record field, or null; allocated as the SDK
// allocates its records, so that the SDK frees it with the message.
char *newRecord(Kind kind, Reader &in, const QList<QByteArray> &known)
{
    if (in.byte() == 0)
        return nullptr;
    const RecordShape &shape = recordShape(kind);
    auto *record = static_cast<char *>(std::calloc(1, shape.size));
    fill(record, shape.fields, in, known);
    return record;
}

void fill(char *record, const std::vector<Field> &fields, Reader &in, const QList<QByteArray> &known)
{
    for (const Field &field : fields) {
        char *slot = record + field.offset;
        switch (field.kind) {
        case Text:
            *reinterpret_cast<char **>(slot) = textValue(in, known);
            break;
        case Int:
            *reinterpret_cast<int *>(slot) = in.value<int>();
            break;
        case Double:
            *reinterpret_cast<double *>(slot) = in.value<double>();
            break;
        case Participants:
        case Buddies:
        case Favorites:
        case Devices: {
            const int count = in.byte() % 9;
            *reinterpret_cast<int *>(record + field.countOffset) = count;
            if (count == 0)
                break;
            auto **list = static_cast<char **>(std::calloc(size_t(count), sizeof(char *)));
            for (int i = 0; i < count; ++i)
                list[i] = newRecord(field.kind, in, known);
            *reinterpret_cast<char ***>(slot) = list;
            break;
        }
        case Device:
        case Channel:
            *reinterpret_cast<char **>(slot) = newRecord(field.kind, in, known);
            break;
        }
    }
}

ox_message_base_t *newEvent(Reader &in, uint8_t choice, const QList<QByteArray> &known)
{
    const EventShape &shape = eventShapes().at(choice % eventShapes().size());
    auto *event = reinterpret_cast<char *>(oxc_alloc_event(shape.type));
    fill(event, shape.fields, in, known);
    return reinterpret_cast<ox_message_base_t *>(event);
}

ox_message_base_t *newResponse(Reader &in, uint8_t choice, const QList<QByteArray> &known)
{
    // One past the table: a response of a type number that the SDK may add
    // later (its types are never negative), the base alone and without a
    // request.
    const size_t index = choice % (responseShapes().size() + 1);
    if (index == responseShapes().size()) {
        const auto type = static_cast<ox_response_type>(in.value<int>() & 0x7fffffff);
        ox_resp_base_t *response = oxc_alloc_response(type, nullptr);
        response->return_code = in.value<int>();
        response->status_code = in.value<int>();
        response->status_string = textValue(in, known);
        return &response->message;
    }
    const ResponseShape &shape = responseShapes().at(index);
    const uint8_t code = in.byte();
    const int returnCode = code < 2 ? code : in.value<int>();
    const int status = in.value<int>();
    char *statusText = textValue(in, known);
    ox_req_base_t *request = nullptr;
    if (in.byte() != 0) {
        request = shape.newRequest();
        request->cookie = textValue(in, known);
        fill(reinterpret_cast<char *>(request), shape.request, in, known);
    }
    ox_resp_base_t *response = oxc_alloc_response(shape.type, request);
    response->return_code = returnCode;
    response->status_code = status;
    response->status_string = statusText;
    fill(reinterpret_cast<char *>(response), shape.response, in, known);
    return reinterpret_cast<ox_message_base_t *>(response);
}

// Takes back what the dispatch made in the realm (conversations of the
// channels whose lists cannot be had, users of private calls): its tables
// are caches that keep everything they are given.
void resetRealm()
{
    using Access = TavriIdentityRealmTest;
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    const QList<Conversation *> conversations =
        realm->findChildren<Conversation *>(QString(), Qt::FindDirectChildrenOnly);
    const QList<TavriIdentityRealmUser *> users =
        realm->findChildren<TavriIdentityRealmUser *>(QString(), Qt::FindDirectChildrenOnly);
    if (conversations.isEmpty() && users.isEmpty())
        return;
    Access::byURI().clear();
    Access::byUID().clear();
    Access::bySessionHandle().clear();
    Access::handleByConversation().clear();
    qDeleteAll(conversations);
    Access::usersByURI().clear();
    Access::usersByUID().clear();
    Access::usersByUName().clear();
    qDeleteAll(users);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::application();
    // The realm and the local user, which the dispatch asks, are made once
    // and before any voice service, so that the realm never listens to one.
    static const bool fixture = [] {
        LocalUser::getLocalUser();
        TavriIdentityRealm::getInstance();
        return true;
    }();
    Q_UNUSED(fixture);

    Reader in(data, size);
    oxc_reset();
    oxc_set_meter_interval(0);
    {
        VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
        // The call statistics go to the model that owns them in the program.
        CallSessionStats stats;
        QObject::connect(&voice, &VoiceManager::sessionStatReceived, &stats, &CallSessionStats::onSessionStatReceived);
        // Requests of the sign-in may be answered with any result code,
        // status and status text (null included).
        for (uint8_t scripted = in.byte() % 4, i = 0; i < scripted; ++i) {
            const int type = in.byte();
            const int result = in.byte() % 3;
            const int status = in.value<int>();
            const QByteArray text = in.text();
            oxc_script(type, result, status, text.isEmpty() ? nullptr : text.constData(), 1);
        }
        voice.createConnector();
        fuzz::settleVoice();
        voice.requestLogin(QStringLiteral("fuzz"), QString());
        fuzz::settleVoice();
        const QByteArray account = voice.accountHandle().toUtf8();
        const QByteArray group = voice.channelSessionGroupHandle().toUtf8();
        const QByteArray domain = QByteArray(oxc_domain());
        const QList<QByteArray> known = {account,
                                         group,
                                         "sip:u-fuzz@" + domain,
                                         "sip:u-peer@" + domain,
                                         "sip:confctl-7@" + domain,
                                         "session-1",
                                         "pushtotalk",
                                         "x-ostrel-notification",
                                         "",
                                         "sip:P2P-1a2b@" + domain,
                                         "Default System Device"};

        for (int messages = 0; !in.atEnd() && messages < 32; ++messages) {
            const uint8_t choice = in.byte();
            oxc_inject(choice < 128 ? newEvent(in, choice, known) : newResponse(in, choice - 128, known));
        }
        fuzz::settleVoice();
        for (int row = 0; row < stats.count(); ++row) {
            stats.get(row);
            stats.get(row, false);
        }
        // The stand-in starts afresh with the next input: a connector answer
        // without a handle spares the orderly connector shutdown, whose poll
        // sleeps 50 ms, and leaves only the SDK's own shutdown.
        oxc_inject(&oxc_alloc_response(OX_RESP_CONNECTOR_CREATE, nullptr)->message);
        fuzz::settleVoice();
    }
    fuzz::settleVoice();
    resetRealm();
    return 0;
}
