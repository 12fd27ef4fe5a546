// The SDK's C entry points: thin wrappers over SdkCore, RecordTable and
// ProcessRecord.
#include "ostrelsdk.h"

#include "processrecord.h"
#include "recordtable.h"
#include "sdkcore.h"

#include <cstdlib>
#include <cstring>
#include <map>

using namespace ostrelsdk;

extern "C" {

OX_API int ox_get_default_config(ox_config_t *config)
{
    if (!config)
        return OX_E_INVALID_ARGUMENT;
    std::memset(config, 0, sizeof(*config));
    config->notification_mode = 0;
    config->suppress_crash_guard = 0;
    config->advanced_agc_enabled = 1;
    return 0;
}

OX_API int ox_initialize3(ox_config_t *config, int size)
{
    int result = SdkCore::instance().initialize(config, size);
    if (result == 0)
        ProcessRecord::instance().setSwitch(ProcessRecord::AdvancedAgc, config->advanced_agc_enabled);
    return result;
}

OX_API int ox_uninitialize(void)
{
    return SdkCore::instance().uninitialize();
}

OX_API int ox_register_message_notification_handler(ox_message_notification_handler_t handler, void *)
{
    return SdkCore::instance().registerHandler(handler);
}

OX_API int ox_unregister_message_notification_handler(ox_message_notification_handler_t handler, void *)
{
    return SdkCore::instance().unregisterHandler(handler);
}

OX_API int ox_register_logging_initialization(int, const char *, const char *, const char *, int log_level,
                                              ox_log_handler_t handler)
{
    // Every destination means "to the handler only": the library writes no log files.
    SdkCore::instance().setLogging(log_level, handler);
    return 0;
}

OX_API int ox_issue_request(ox_req_base_t *request)
{
    return SdkCore::instance().issue(request);
}

OX_API int ox_get_message(ox_message_base_t **message)
{
    return SdkCore::instance().takeMessage(message);
}

OX_API int ox_destroy_message(ox_message_base_t *message)
{
    RecordTable::freeMessage(message);
    return 0;
}

OX_API int ox_destroy_resp(ox_resp_base_t *response)
{
    RecordTable::freeResponse(response);
    return 0;
}

OX_API int ox_destroy_evt(ox_evt_base_t *event)
{
    RecordTable::freeEvent(event);
    return 0;
}

OX_API char *ox_strdup(const char *text)
{
    return RecordTable::dup(text);
}

OX_API void ox_free(void *pointer)
{
    std::free(pointer);
}

OX_API int ox_set_aec_enabled(int on)
{
    ProcessRecord::instance().setSwitch(ProcessRecord::Aec, on);
    return 0;
}
OX_API int ox_set_agc_enabled(int on)
{
    ProcessRecord::instance().setSwitch(ProcessRecord::Agc, on);
    return 0;
}
OX_API int ox_set_advanced_agc_enabled(int on)
{
    ProcessRecord::instance().setSwitch(ProcessRecord::AdvancedAgc, on);
    return 0;
}
OX_API int ox_set_vad_enabled(int on)
{
    ProcessRecord::instance().setSwitch(ProcessRecord::Vad, on);
    return 0;
}
OX_API int ox_set_capture_derumbler_enabled(int on)
{
    ProcessRecord::instance().setSwitch(ProcessRecord::Derumbler, on);
    return 0;
}

OX_API int ox_safe_invoke(ox_safe_invoke_fn entry, void *ctx, const char *program)
{
    ProcessRecord::instance().setProgram(program);
    return entry ? entry(ctx) : -1;
}

OX_API int ox_set_application_crash_data(const char *text)
{
    ProcessRecord::instance().addCrashMarker(text);
    return 0;
}

OX_API int ox_get_crash_dump_count(void)
{
    return ProcessRecord::instance().dumpCount();
}

OX_API const char *ox_get_error_string(int code)
{
    static const std::map<int, const char *> texts = {
        {200, "OK"},
        {202, "Accepted"},
        {401, "Password required"},
        {403, "Forbidden (494)"},
        {404, "Not Found"},
        {408, "Request timeout"},
        {480, "Temporarily unavailable"},
        {1001, "Invalid argument or handle"},
        {1004, "Object already exists."},
        {1008, "Not logged in"},
        {1043, "File not found"},
        {1058, "RTP timeout"},
        {1060, "Maximum number of calls exceeded"},
        {1074, "Already logged in"},
        {1087, "Already initialized"},
        {1088, "Not initialized"},
        {1089, "Internal error"},
        {1095, "RTP receive timeout"},
        {1096, "RTP session timeout"},
        {7006, "Capture device in use"},
        {7009, "Capture device could not be opened"},
        {10006, "Could not resolve host"},
        {10007, "Could not connect to server"},
        {10077, "Certificate verification failed"},
        {20200, "Authentication failed"},
        {20212, "Access denied"},
        {20414, "Buddy not found"},
        {20440, "Channel not found"},
        {20900, "Cannot add echo to session"},
        {40964, "Audio device problem"},
    };
    auto it = texts.find(code);
    return it == texts.end() ? "Unknown error" : it->second;
}

OX_API const char *ox_get_request_type_string(int type)
{
    const RequestInfo *info = RecordTable::request(type);
    return info ? info->name : "req_unknown";
}

} // extern "C"

// One creator per request type; the defaults are the zeroed record.
#define OX_DEFINE_CREATOR(name, TYPE)                                                                                  \
    extern "C" OX_API int ox_req_##name##_create(ox_req_##name##_t **out)                                              \
    {                                                                                                                  \
        if (!out)                                                                                                      \
            return OX_E_INVALID_ARGUMENT;                                                                              \
        *out = reinterpret_cast<ox_req_##name##_t *>(RecordTable::allocRequest(OX_REQ_##TYPE));                        \
        return *out ? 0 : OX_E_INTERNAL;                                                                               \
    }

OX_DEFINE_CREATOR(connector_create, CONNECTOR_CREATE)
OX_DEFINE_CREATOR(connector_initiate_shutdown, CONNECTOR_INITIATE_SHUTDOWN)
OX_DEFINE_CREATOR(account_login, ACCOUNT_LOGIN)
OX_DEFINE_CREATOR(account_logout, ACCOUNT_LOGOUT)
OX_DEFINE_CREATOR(account_set_presence, ACCOUNT_SET_PRESENCE)
OX_DEFINE_CREATOR(sessiongroup_create, SESSIONGROUP_CREATE)
OX_DEFINE_CREATOR(sessiongroup_terminate, SESSIONGROUP_TERMINATE)
OX_DEFINE_CREATOR(sessiongroup_add_session, SESSIONGROUP_ADD_SESSION)
OX_DEFINE_CREATOR(sessiongroup_set_tx_session, SESSIONGROUP_SET_TX_SESSION)
OX_DEFINE_CREATOR(session_media_connect, SESSION_MEDIA_CONNECT)
OX_DEFINE_CREATOR(session_media_disconnect, SESSION_MEDIA_DISCONNECT)
OX_DEFINE_CREATOR(session_terminate, SESSION_TERMINATE)
OX_DEFINE_CREATOR(session_mute_local_speaker, SESSION_MUTE_LOCAL_SPEAKER)
OX_DEFINE_CREATOR(session_set_local_speaker_volume, SESSION_SET_LOCAL_SPEAKER_VOLUME)
OX_DEFINE_CREATOR(session_set_participant_mute_for_me, SESSION_SET_PARTICIPANT_MUTE_FOR_ME)
OX_DEFINE_CREATOR(session_set_participant_volume_for_me, SESSION_SET_PARTICIPANT_VOLUME_FOR_ME)
OX_DEFINE_CREATOR(account_channel_favorites_list, ACCOUNT_CHANNEL_FAVORITES_LIST)
OX_DEFINE_CREATOR(account_channel_favorite_set, ACCOUNT_CHANNEL_FAVORITE_SET)
OX_DEFINE_CREATOR(account_channel_get_info, ACCOUNT_CHANNEL_GET_INFO)
OX_DEFINE_CREATOR(account_channel_add_moderator, ACCOUNT_CHANNEL_ADD_MODERATOR)
OX_DEFINE_CREATOR(account_channel_remove_moderator, ACCOUNT_CHANNEL_REMOVE_MODERATOR)
OX_DEFINE_CREATOR(account_channel_get_moderators, ACCOUNT_CHANNEL_GET_MODERATORS)
OX_DEFINE_CREATOR(account_channel_add_acl, ACCOUNT_CHANNEL_ADD_ACL)
OX_DEFINE_CREATOR(account_channel_remove_acl, ACCOUNT_CHANNEL_REMOVE_ACL)
OX_DEFINE_CREATOR(account_channel_get_acl, ACCOUNT_CHANNEL_GET_ACL)
OX_DEFINE_CREATOR(channel_kick_user, CHANNEL_KICK_USER)
OX_DEFINE_CREATOR(channel_ban_user, CHANNEL_BAN_USER)
OX_DEFINE_CREATOR(channel_get_banned_users, CHANNEL_GET_BANNED_USERS)
OX_DEFINE_CREATOR(channel_mute_user, CHANNEL_MUTE_USER)
OX_DEFINE_CREATOR(connector_mute_local_mic, CONNECTOR_MUTE_LOCAL_MIC)
OX_DEFINE_CREATOR(account_buddy_set, ACCOUNT_BUDDY_SET)
OX_DEFINE_CREATOR(account_buddy_delete, ACCOUNT_BUDDY_DELETE)
OX_DEFINE_CREATOR(account_list_buddies_and_groups, ACCOUNT_LIST_BUDDIES_AND_GROUPS)
OX_DEFINE_CREATOR(session_send_message, SESSION_SEND_MESSAGE)
OX_DEFINE_CREATOR(session_send_notification, SESSION_SEND_NOTIFICATION)
OX_DEFINE_CREATOR(account_blocked_users_list, ACCOUNT_BLOCKED_USERS_LIST)
OX_DEFINE_CREATOR(aux_get_render_devices, AUX_GET_RENDER_DEVICES)
OX_DEFINE_CREATOR(aux_get_capture_devices, AUX_GET_CAPTURE_DEVICES)
OX_DEFINE_CREATOR(aux_set_render_device, AUX_SET_RENDER_DEVICE)
OX_DEFINE_CREATOR(aux_set_capture_device, AUX_SET_CAPTURE_DEVICE)
OX_DEFINE_CREATOR(aux_get_mic_level, AUX_GET_MIC_LEVEL)
OX_DEFINE_CREATOR(aux_get_speaker_level, AUX_GET_SPEAKER_LEVEL)
OX_DEFINE_CREATOR(aux_set_mic_level, AUX_SET_MIC_LEVEL)
OX_DEFINE_CREATOR(aux_set_speaker_level, AUX_SET_SPEAKER_LEVEL)
OX_DEFINE_CREATOR(aux_render_audio_start, AUX_RENDER_AUDIO_START)
OX_DEFINE_CREATOR(aux_render_audio_stop, AUX_RENDER_AUDIO_STOP)
OX_DEFINE_CREATOR(aux_capture_audio_start, AUX_CAPTURE_AUDIO_START)
OX_DEFINE_CREATOR(aux_capture_audio_stop, AUX_CAPTURE_AUDIO_STOP)
OX_DEFINE_CREATOR(aux_get_vad_properties, AUX_GET_VAD_PROPERTIES)
OX_DEFINE_CREATOR(aux_set_vad_properties, AUX_SET_VAD_PROPERTIES)
OX_DEFINE_CREATOR(aux_global_monitor_keyboard_mouse, AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE)
OX_DEFINE_CREATOR(account_channel_get_participants, ACCOUNT_CHANNEL_GET_PARTICIPANTS)
OX_DEFINE_CREATOR(account_send_user_app_data, ACCOUNT_SEND_USER_APP_DATA)
OX_DEFINE_CREATOR(account_authtoken_login, ACCOUNT_AUTHTOKEN_LOGIN)
OX_DEFINE_CREATOR(sessiongroup_get_stats, SESSIONGROUP_GET_STATS)
