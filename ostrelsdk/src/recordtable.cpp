#include "recordtable.h"

#include <atomic>

#include <cstdlib>
#include <cstring>
#include <map>

namespace ostrelsdk {

#define TXT(S, f)                                                                                                      \
    Field                                                                                                              \
    {                                                                                                                  \
        FieldKind::Text, offsetof(S, f), 0                                                                             \
    }
#define ARR(K, S, count, array)                                                                                        \
    Field                                                                                                              \
    {                                                                                                                  \
        FieldKind::K, offsetof(S, array), offsetof(S, count)                                                           \
    }
#define ONE(K, S, f)                                                                                                   \
    Field                                                                                                              \
    {                                                                                                                  \
        FieldKind::K, offsetof(S, f), 0                                                                                \
    }
#define REQ(E, n, cls, reqFields, respFields)                                                                          \
    RequestInfo                                                                                                        \
    {                                                                                                                  \
        OX_REQ_##E, "req_" #n, cls, sizeof(ox_req_##n##_t), sizeof(ox_resp_##n##_t), reqFields, respFields             \
    }
#define F(...)                                                                                                         \
    std::vector<Field>                                                                                                 \
    {                                                                                                                  \
        __VA_ARGS__                                                                                                    \
    }
#define NONE                                                                                                           \
    std::vector<Field> {}

#define RQ(n) ox_req_##n##_t
#define RS(n) ox_resp_##n##_t
#define EV(n) ox_evt_##n##_t

// The tables are never destroyed: records still held by the library's static
// state are freed through them while the process exits.
const std::vector<RequestInfo> &RecordTable::requests()
{
    static const std::vector<RequestInfo> &table = *new std::vector<RequestInfo>{
        REQ(CONNECTOR_CREATE, connector_create, "ConnectorCreate",
            F(TXT(RQ(connector_create), server_url), TXT(RQ(connector_create), log_folder),
              TXT(RQ(connector_create), log_prefix), TXT(RQ(connector_create), log_suffix),
              TXT(RQ(connector_create), user_agent), TXT(RQ(connector_create), application_name),
              TXT(RQ(connector_create), client_tag)),
            F(TXT(RS(connector_create), connector_handle))),
        REQ(CONNECTOR_INITIATE_SHUTDOWN, connector_initiate_shutdown, "ConnectorInitiateShutdown",
            F(TXT(RQ(connector_initiate_shutdown), connector_handle),
              TXT(RQ(connector_initiate_shutdown), client_name)),
            NONE),
        REQ(ACCOUNT_LOGIN, account_login, "AccountLogin",
            F(TXT(RQ(account_login), connector_handle), TXT(RQ(account_login), account_name),
              TXT(RQ(account_login), password)),
            F(TXT(RS(account_login), account_handle), TXT(RS(account_login), account_uri),
              TXT(RS(account_login), display_name))),
        REQ(ACCOUNT_LOGOUT, account_logout, "AccountLogout", F(TXT(RQ(account_logout), account_handle)), NONE),
        REQ(ACCOUNT_SET_PRESENCE, account_set_presence, "AccountSetPresence",
            F(TXT(RQ(account_set_presence), account_handle), TXT(RQ(account_set_presence), custom_message)), NONE),
        REQ(SESSIONGROUP_CREATE, sessiongroup_create, "SessionGroupCreate",
            F(TXT(RQ(sessiongroup_create), account_handle)), F(TXT(RS(sessiongroup_create), session_group_handle))),
        REQ(SESSIONGROUP_TERMINATE, sessiongroup_terminate, "SessionGroupTerminate",
            F(TXT(RQ(sessiongroup_terminate), session_group_handle)), NONE),
        REQ(SESSIONGROUP_ADD_SESSION, sessiongroup_add_session, "SessionGroupAddSession",
            F(TXT(RQ(sessiongroup_add_session), session_group_handle), TXT(RQ(sessiongroup_add_session), uri),
              TXT(RQ(sessiongroup_add_session), password)),
            F(TXT(RS(sessiongroup_add_session), session_handle))),
        REQ(SESSIONGROUP_SET_TX_SESSION, sessiongroup_set_tx_session, "SessionGroupSetTxSession",
            F(TXT(RQ(sessiongroup_set_tx_session), session_handle),
              TXT(RQ(sessiongroup_set_tx_session), session_group_handle)),
            NONE),
        REQ(SESSION_MEDIA_CONNECT, session_media_connect, "SessionMediaConnect",
            F(TXT(RQ(session_media_connect), session_handle)), NONE),
        REQ(SESSION_MEDIA_DISCONNECT, session_media_disconnect, "SessionMediaDisconnect",
            F(TXT(RQ(session_media_disconnect), session_handle)), NONE),
        REQ(SESSION_TERMINATE, session_terminate, "SessionTerminate", F(TXT(RQ(session_terminate), session_handle)),
            NONE),
        REQ(SESSION_MUTE_LOCAL_SPEAKER, session_mute_local_speaker, "SessionMuteLocalSpeaker",
            F(TXT(RQ(session_mute_local_speaker), session_handle)), NONE),
        REQ(SESSION_SET_LOCAL_SPEAKER_VOLUME, session_set_local_speaker_volume, "SessionSetLocalSpeakerVolume",
            F(TXT(RQ(session_set_local_speaker_volume), session_handle)), NONE),
        REQ(SESSION_SET_PARTICIPANT_MUTE_FOR_ME, session_set_participant_mute_for_me, "SessionSetParticipantMuteForMe",
            F(TXT(RQ(session_set_participant_mute_for_me), session_handle),
              TXT(RQ(session_set_participant_mute_for_me), participant_uri)),
            NONE),
        REQ(SESSION_SET_PARTICIPANT_VOLUME_FOR_ME, session_set_participant_volume_for_me,
            "SessionSetParticipantVolumeForMe",
            F(TXT(RQ(session_set_participant_volume_for_me), session_handle),
              TXT(RQ(session_set_participant_volume_for_me), participant_uri)),
            NONE),
        REQ(ACCOUNT_CHANNEL_FAVORITES_LIST, account_channel_favorites_list, "AccountChannelFavoritesList",
            F(TXT(RQ(account_channel_favorites_list), account_handle)),
            F(ARR(Favorites, RS(account_channel_favorites_list), favorite_count, favorites))),
        REQ(ACCOUNT_CHANNEL_FAVORITE_SET, account_channel_favorite_set, "AccountChannelFavoriteSet",
            F(TXT(RQ(account_channel_favorite_set), account_handle), TXT(RQ(account_channel_favorite_set), channel_uri),
              TXT(RQ(account_channel_favorite_set), display_name)),
            NONE),
        REQ(ACCOUNT_CHANNEL_GET_INFO, account_channel_get_info, "AccountChannelGetInfo",
            F(TXT(RQ(account_channel_get_info), account_handle), TXT(RQ(account_channel_get_info), channel_uri)),
            F(ONE(Channel, RS(account_channel_get_info), channel))),
        REQ(ACCOUNT_CHANNEL_ADD_MODERATOR, account_channel_add_moderator, "AccountChannelAddModerator",
            F(TXT(RQ(account_channel_add_moderator), account_handle),
              TXT(RQ(account_channel_add_moderator), channel_uri),
              TXT(RQ(account_channel_add_moderator), moderator_uri)),
            NONE),
        REQ(ACCOUNT_CHANNEL_REMOVE_MODERATOR, account_channel_remove_moderator, "AccountChannelRemoveModerator",
            F(TXT(RQ(account_channel_remove_moderator), account_handle),
              TXT(RQ(account_channel_remove_moderator), channel_uri),
              TXT(RQ(account_channel_remove_moderator), moderator_uri)),
            NONE),
        REQ(ACCOUNT_CHANNEL_GET_MODERATORS, account_channel_get_moderators, "AccountChannelGetModerators",
            F(TXT(RQ(account_channel_get_moderators), account_handle),
              TXT(RQ(account_channel_get_moderators), channel_uri)),
            F(ARR(Participants, RS(account_channel_get_moderators), participant_count, participants))),
        REQ(ACCOUNT_CHANNEL_ADD_ACL, account_channel_add_acl, "AccountChannelAddAcl",
            F(TXT(RQ(account_channel_add_acl), account_handle), TXT(RQ(account_channel_add_acl), channel_uri),
              TXT(RQ(account_channel_add_acl), user_uri)),
            NONE),
        REQ(ACCOUNT_CHANNEL_REMOVE_ACL, account_channel_remove_acl, "AccountChannelRemoveAcl",
            F(TXT(RQ(account_channel_remove_acl), account_handle), TXT(RQ(account_channel_remove_acl), channel_uri),
              TXT(RQ(account_channel_remove_acl), user_uri)),
            NONE),
        REQ(ACCOUNT_CHANNEL_GET_ACL, account_channel_get_acl, "AccountChannelGetAcl",
            F(TXT(RQ(account_channel_get_acl), account_handle), TXT(RQ(account_channel_get_acl), channel_uri)),
            F(ARR(Participants, RS(account_channel_get_acl), participant_count, participants))),
        REQ(CHANNEL_KICK_USER, channel_kick_user, "ChannelKickUser",
            F(TXT(RQ(channel_kick_user), account_handle), TXT(RQ(channel_kick_user), channel_uri),
              TXT(RQ(channel_kick_user), participant_uri)),
            NONE),
        REQ(CHANNEL_BAN_USER, channel_ban_user, "ChannelBanUser",
            F(TXT(RQ(channel_ban_user), account_handle), TXT(RQ(channel_ban_user), channel_uri),
              TXT(RQ(channel_ban_user), participant_uri)),
            NONE),
        REQ(CHANNEL_GET_BANNED_USERS, channel_get_banned_users, "ChannelGetBannedUsers",
            F(TXT(RQ(channel_get_banned_users), account_handle), TXT(RQ(channel_get_banned_users), channel_uri)),
            F(ARR(Participants, RS(channel_get_banned_users), participant_count, participants))),
        REQ(CHANNEL_MUTE_USER, channel_mute_user, "ChannelMuteUser",
            F(TXT(RQ(channel_mute_user), account_handle), TXT(RQ(channel_mute_user), channel_uri),
              TXT(RQ(channel_mute_user), participant_uri)),
            NONE),
        REQ(CONNECTOR_MUTE_LOCAL_MIC, connector_mute_local_mic, "ConnectorMuteLocalMic", NONE, NONE),
        REQ(ACCOUNT_BUDDY_SET, account_buddy_set, "AccountBuddySet",
            F(TXT(RQ(account_buddy_set), account_handle), TXT(RQ(account_buddy_set), buddy_uri),
              TXT(RQ(account_buddy_set), display_name), TXT(RQ(account_buddy_set), buddy_data),
              TXT(RQ(account_buddy_set), message)),
            NONE),
        REQ(ACCOUNT_BUDDY_DELETE, account_buddy_delete, "AccountBuddyDelete",
            F(TXT(RQ(account_buddy_delete), account_handle), TXT(RQ(account_buddy_delete), buddy_uri)), NONE),
        REQ(ACCOUNT_LIST_BUDDIES_AND_GROUPS, account_list_buddies_and_groups, "AccountListBuddiesAndGroups",
            F(TXT(RQ(account_list_buddies_and_groups), account_handle)),
            F(ARR(Buddies, RS(account_list_buddies_and_groups), buddy_count, buddies))),
        REQ(SESSION_SEND_MESSAGE, session_send_message, "SessionSendMessage",
            F(TXT(RQ(session_send_message), session_handle), TXT(RQ(session_send_message), message_header),
              TXT(RQ(session_send_message), message_body)),
            NONE),
        REQ(SESSION_SEND_NOTIFICATION, session_send_notification, "SessionSendNotification",
            F(TXT(RQ(session_send_notification), session_handle)), NONE),
        REQ(ACCOUNT_BLOCKED_USERS_LIST, account_blocked_users_list, "AccountBlockedUsersList",
            F(TXT(RQ(account_blocked_users_list), account_handle)),
            F(ARR(Participants, RS(account_blocked_users_list), participant_count, participants))),
        REQ(AUX_GET_RENDER_DEVICES, aux_get_render_devices, "AuxGetRenderDevices", NONE,
            F(ARR(Devices, RS(aux_get_render_devices), device_count, devices),
              ONE(Device, RS(aux_get_render_devices), current_device),
              ONE(Device, RS(aux_get_render_devices), effective_device),
              ONE(Device, RS(aux_get_render_devices), default_device))),
        REQ(AUX_GET_CAPTURE_DEVICES, aux_get_capture_devices, "AuxGetCaptureDevices", NONE,
            F(ARR(Devices, RS(aux_get_capture_devices), device_count, devices),
              ONE(Device, RS(aux_get_capture_devices), current_device),
              ONE(Device, RS(aux_get_capture_devices), effective_device),
              ONE(Device, RS(aux_get_capture_devices), default_device))),
        REQ(AUX_SET_RENDER_DEVICE, aux_set_render_device, "AuxSetRenderDevice",
            F(TXT(RQ(aux_set_render_device), device_id)), NONE),
        REQ(AUX_SET_CAPTURE_DEVICE, aux_set_capture_device, "AuxSetCaptureDevice",
            F(TXT(RQ(aux_set_capture_device), device_id)), NONE),
        REQ(AUX_GET_MIC_LEVEL, aux_get_mic_level, "AuxGetMicLevel", NONE, NONE),
        REQ(AUX_GET_SPEAKER_LEVEL, aux_get_speaker_level, "AuxGetSpeakerLevel", NONE, NONE),
        REQ(AUX_SET_MIC_LEVEL, aux_set_mic_level, "AuxSetMicLevel", NONE, NONE),
        REQ(AUX_SET_SPEAKER_LEVEL, aux_set_speaker_level, "AuxSetSpeakerLevel", NONE, NONE),
        REQ(AUX_RENDER_AUDIO_START, aux_render_audio_start, "AuxRenderAudioStart",
            F(TXT(RQ(aux_render_audio_start), sound_file_path)), NONE),
        REQ(AUX_RENDER_AUDIO_STOP, aux_render_audio_stop, "AuxRenderAudioStop", NONE, NONE),
        REQ(AUX_CAPTURE_AUDIO_START, aux_capture_audio_start, "AuxCaptureAudioStart", NONE, NONE),
        REQ(AUX_CAPTURE_AUDIO_STOP, aux_capture_audio_stop, "AuxCaptureAudioStop", NONE, NONE),
        REQ(AUX_GET_VAD_PROPERTIES, aux_get_vad_properties, "AuxGetVadProperties", NONE, NONE),
        REQ(AUX_SET_VAD_PROPERTIES, aux_set_vad_properties, "AuxSetVadProperties", NONE, NONE),
        REQ(AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE, aux_global_monitor_keyboard_mouse, "AuxGlobalMonitorKeyboardMouse",
            F(TXT(RQ(aux_global_monitor_keyboard_mouse), binding_name)), NONE),
        REQ(ACCOUNT_CHANNEL_GET_PARTICIPANTS, account_channel_get_participants, "AccountChannelGetParticipants",
            F(TXT(RQ(account_channel_get_participants), account_handle),
              TXT(RQ(account_channel_get_participants), channel_uri)),
            F(ARR(Participants, RS(account_channel_get_participants), participant_count, participants))),
        REQ(ACCOUNT_SEND_USER_APP_DATA, account_send_user_app_data, "AccountSendUserAppData",
            F(TXT(RQ(account_send_user_app_data), account_handle), TXT(RQ(account_send_user_app_data), to_uri),
              TXT(RQ(account_send_user_app_data), content_type), TXT(RQ(account_send_user_app_data), content)),
            NONE),
        REQ(ACCOUNT_AUTHTOKEN_LOGIN, account_authtoken_login, "AccountAuthtokenLogin",
            F(TXT(RQ(account_authtoken_login), connector_handle), TXT(RQ(account_authtoken_login), auth_token),
              TXT(RQ(account_authtoken_login), application_name)),
            F(TXT(RS(account_authtoken_login), account_handle), TXT(RS(account_authtoken_login), account_uri),
              TXT(RS(account_authtoken_login), display_name))),
        REQ(SESSIONGROUP_GET_STATS, sessiongroup_get_stats, "SessionGroupGetStats",
            F(TXT(RQ(sessiongroup_get_stats), session_group_handle)),
            F(TXT(RS(sessiongroup_get_stats), stats.call_id), TXT(RS(sessiongroup_get_stats), stats.codec_name))),
    };
    return table;
}

#define EVT(E, n, cls, fields)                                                                                         \
    EventInfo                                                                                                          \
    {                                                                                                                  \
        OX_EVT_##E, cls, sizeof(ox_evt_##n##_t), fields                                                                \
    }

static const std::vector<EventInfo> &events()
{
    static const std::vector<EventInfo> &table = *new std::vector<EventInfo>{
        EVT(ACCOUNT_LOGIN_STATE_CHANGE, account_login_state_change, "AccountLoginStateChange",
            F(TXT(EV(account_login_state_change), account_handle), TXT(EV(account_login_state_change), status_string))),
        EVT(BUDDY_PRESENCE, buddy_presence, "BuddyPresence",
            F(TXT(EV(buddy_presence), account_handle), TXT(EV(buddy_presence), buddy_uri),
              TXT(EV(buddy_presence), custom_message))),
        EVT(SUBSCRIPTION, subscription, "Subscription",
            F(TXT(EV(subscription), account_handle), TXT(EV(subscription), buddy_uri),
              TXT(EV(subscription), display_name), TXT(EV(subscription), subscription_handle))),
        EVT(SESSION_NOTIFICATION, session_notification, "SessionNotification",
            F(TXT(EV(session_notification), session_handle), TXT(EV(session_notification), participant_uri))),
        EVT(MESSAGE, message, "Message",
            F(TXT(EV(message), session_handle), TXT(EV(message), sender_uri), TXT(EV(message), message_body))),
        EVT(AUX_AUDIO_PROPERTIES, aux_audio_properties, "AuxAudioProperties", NONE),
        EVT(BUDDY_CHANGED, buddy_changed, "BuddyChanged",
            F(TXT(EV(buddy_changed), account_handle), TXT(EV(buddy_changed), buddy_uri))),
        EVT(BUDDY_AND_GROUP_LIST_CHANGED, buddy_and_group_list_changed, "BuddyAndGroupListChanged",
            F(TXT(EV(buddy_and_group_list_changed), account_handle),
              ARR(Buddies, EV(buddy_and_group_list_changed), buddy_count, buddies))),
        EVT(KEYBOARD_MOUSE, keyboard_mouse, "KeyboardMouse", F(TXT(EV(keyboard_mouse), binding_name))),
        EVT(MEDIA_STREAM_UPDATED, media_stream_updated, "MediaStreamUpdated",
            F(TXT(EV(media_stream_updated), session_group_handle), TXT(EV(media_stream_updated), session_handle),
              TXT(EV(media_stream_updated), status_string))),
        EVT(TEXT_STREAM_UPDATED, text_stream_updated, "TextStreamUpdated",
            F(TXT(EV(text_stream_updated), session_group_handle), TXT(EV(text_stream_updated), session_handle),
              TXT(EV(text_stream_updated), status_string))),
        EVT(SESSIONGROUP_ADDED, sessiongroup_added, "SessionGroupAdded",
            F(TXT(EV(sessiongroup_added), account_handle), TXT(EV(sessiongroup_added), session_group_handle))),
        EVT(SESSIONGROUP_REMOVED, sessiongroup_removed, "SessionGroupRemoved",
            F(TXT(EV(sessiongroup_removed), account_handle), TXT(EV(sessiongroup_removed), session_group_handle))),
        EVT(SESSION_ADDED, session_added, "SessionAdded",
            F(TXT(EV(session_added), session_group_handle), TXT(EV(session_added), session_handle),
              TXT(EV(session_added), uri), TXT(EV(session_added), display_name))),
        EVT(SESSION_REMOVED, session_removed, "SessionRemoved",
            F(TXT(EV(session_removed), session_group_handle), TXT(EV(session_removed), session_handle),
              TXT(EV(session_removed), uri))),
        EVT(PARTICIPANT_ADDED, participant_added, "ParticipantAdded",
            F(TXT(EV(participant_added), session_group_handle), TXT(EV(participant_added), session_handle),
              TXT(EV(participant_added), participant_uri), TXT(EV(participant_added), display_name),
              TXT(EV(participant_added), participant_tag))),
        EVT(PARTICIPANT_REMOVED, participant_removed, "ParticipantRemoved",
            F(TXT(EV(participant_removed), session_group_handle), TXT(EV(participant_removed), session_handle),
              TXT(EV(participant_removed), participant_uri), TXT(EV(participant_removed), display_name),
              TXT(EV(participant_removed), participant_tag))),
        EVT(PARTICIPANT_UPDATED, participant_updated, "ParticipantUpdated",
            F(TXT(EV(participant_updated), session_handle), TXT(EV(participant_updated), participant_uri),
              TXT(EV(participant_updated), participant_tag))),
        EVT(SERVER_APP_DATA, server_app_data, "ServerAppData",
            F(TXT(EV(server_app_data), account_handle), TXT(EV(server_app_data), content_type),
              TXT(EV(server_app_data), content))),
        EVT(USER_APP_DATA, user_app_data, "UserAppData",
            F(TXT(EV(user_app_data), account_handle), TXT(EV(user_app_data), from_uri),
              TXT(EV(user_app_data), content_type), TXT(EV(user_app_data), content))),
        EVT(NETWORK_MESSAGE, network_message, "NetworkMessage",
            F(TXT(EV(network_message), account_handle), TXT(EV(network_message), sender_uri),
              TXT(EV(network_message), content_type), TXT(EV(network_message), content))),
        EVT(AUDIO_DEVICE_HOT_SWAP, audio_device_hot_swap, "AudioDeviceHotSwap", NONE),
    };
    return table;
}

const RequestInfo *RecordTable::request(int type)
{
    // Never destroyed: the library's own static state frees records through
    // this index while the process exits.
    static const std::map<int, const RequestInfo *> *index = [] {
        auto *m = new std::map<int, const RequestInfo *>;
        for (const RequestInfo &info : requests())
            (*m)[info.type] = &info;
        return m;
    }();
    auto it = index->find(type);
    return it == index->end() ? nullptr : it->second;
}

const EventInfo *RecordTable::event(int type)
{
    for (const EventInfo &info : events())
        if (info.type == type)
            return &info;
    return nullptr;
}

char *RecordTable::dup(const std::string &text)
{
    char *copy = static_cast<char *>(std::malloc(text.size() + 1));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

char *RecordTable::dup(const char *text)
{
    return text ? dup(std::string(text)) : nullptr;
}

void RecordTable::setText(char *&slot, const std::string &text)
{
    std::free(slot);
    slot = dup(text);
}

ox_req_base_t *RecordTable::allocRequest(int type)
{
    const RequestInfo *info = request(type);
    if (!info)
        return nullptr;
    auto *r = static_cast<ox_req_base_t *>(std::calloc(1, info->requestSize));
    r->message.type = OX_MSG_REQUEST;
    r->type = static_cast<ox_request_type>(type);
    return r;
}

namespace {
// Responses and events allocated and not yet freed.
std::atomic<int> s_liveMessages{0};
} // namespace

int RecordTable::liveMessages()
{
    return s_liveMessages.load();
}

ox_resp_base_t *RecordTable::allocResponse(int type, ox_req_base_t *req)
{
    ++s_liveMessages;
    const RequestInfo *info = request(type);
    auto *r = static_cast<ox_resp_base_t *>(std::calloc(1, info ? info->responseSize : sizeof(ox_resp_base_t)));
    r->message.type = OX_MSG_RESPONSE;
    r->type = static_cast<ox_response_type>(type);
    r->request = req;
    return r;
}

ox_evt_base_t *RecordTable::allocEvent(int type)
{
    ++s_liveMessages;
    const EventInfo *info = event(type);
    auto *e = static_cast<ox_evt_base_t *>(std::calloc(1, info ? info->size : sizeof(ox_evt_base_t)));
    e->message.type = OX_MSG_EVENT;
    e->type = static_cast<ox_event_type>(type);
    return e;
}

void RecordTable::fillEmptyTexts(ox_resp_base_t *resp)
{
    if (!resp->status_string)
        resp->status_string = dup("");
    const RequestInfo *info = request(resp->type);
    if (!info)
        return;
    for (const Field &f : info->responseFields) {
        char **slot = reinterpret_cast<char **>(reinterpret_cast<char *>(resp) + f.offset);
        if (f.kind == FieldKind::Text && !*slot)
            *slot = dup("");
    }
}

ox_req_base_t *RecordTable::copyRequest(const ox_req_base_t *req)
{
    const RequestInfo *info = request(req->type);
    size_t size = info ? info->requestSize : sizeof(ox_req_base_t);
    auto *copy = static_cast<ox_req_base_t *>(std::malloc(size));
    std::memcpy(copy, req, size);
    copy->cookie = dup(req->cookie);
    if (info) {
        for (const Field &f : info->requestFields) {
            char **slot = reinterpret_cast<char **>(reinterpret_cast<char *>(copy) + f.offset);
            *slot = dup(*slot);
        }
    }
    return copy;
}

template <typename T>
static void freeArray(char *base, const Field &f, void (*freeOne)(T *))
{
    T **array = *reinterpret_cast<T ***>(base + f.offset);
    int count = *reinterpret_cast<int *>(base + f.countOffset);
    if (array) {
        for (int i = 0; i < count; ++i)
            if (array[i])
                freeOne(array[i]);
        std::free(array);
    }
}

static void freeParticipant(ox_participant_record_t *p)
{
    std::free(p->uri);
    std::free(p->display_name);
    std::free(p);
}
static void freeBuddy(ox_buddy_record_t *b)
{
    std::free(b->uri);
    std::free(b->display_name);
    std::free(b->buddy_data);
    std::free(b);
}
static void freeFavorite(ox_favorite_record_t *f)
{
    std::free(f->uri);
    std::free(f->display_name);
    std::free(f);
}
static void freeDevice(ox_device_t *d)
{
    std::free(d->device_id);
    std::free(d->display_name);
    std::free(d);
}
static void freeChannel(ox_channel_record_t *c)
{
    std::free(c->uri);
    std::free(c->display_name);
    std::free(c);
}

void RecordTable::freeFields(void *record, const std::vector<Field> &fields)
{
    char *base = static_cast<char *>(record);
    for (const Field &f : fields) {
        switch (f.kind) {
        case FieldKind::Text:
            std::free(*reinterpret_cast<char **>(base + f.offset));
            break;
        case FieldKind::Participants:
            freeArray<ox_participant_record_t>(base, f, freeParticipant);
            break;
        case FieldKind::Buddies:
            freeArray<ox_buddy_record_t>(base, f, freeBuddy);
            break;
        case FieldKind::Favorites:
            freeArray<ox_favorite_record_t>(base, f, freeFavorite);
            break;
        case FieldKind::Devices:
            freeArray<ox_device_t>(base, f, freeDevice);
            break;
        case FieldKind::Device: {
            ox_device_t *d = *reinterpret_cast<ox_device_t **>(base + f.offset);
            if (d)
                freeDevice(d);
            break;
        }
        case FieldKind::Channel: {
            ox_channel_record_t *c = *reinterpret_cast<ox_channel_record_t **>(base + f.offset);
            if (c)
                freeChannel(c);
            break;
        }
        }
    }
}

void RecordTable::freeRequest(ox_req_base_t *req)
{
    if (!req)
        return;
    if (const RequestInfo *info = request(req->type))
        freeFields(req, info->requestFields);
    std::free(req->cookie);
    std::free(req);
}

void RecordTable::freeResponse(ox_resp_base_t *resp)
{
    if (!resp)
        return;
    --s_liveMessages;
    if (const RequestInfo *info = request(resp->type))
        freeFields(resp, info->responseFields);
    std::free(resp->status_string);
    freeRequest(resp->request);
    std::free(resp);
}

void RecordTable::freeEvent(ox_evt_base_t *evt)
{
    if (!evt)
        return;
    --s_liveMessages;
    if (const EventInfo *info = event(evt->type))
        freeFields(evt, info->fields);
    std::free(evt);
}

void RecordTable::freeMessage(ox_message_base_t *m)
{
    if (!m)
        return;
    switch (m->type) {
    case OX_MSG_REQUEST:
        freeRequest(reinterpret_cast<ox_req_base_t *>(m));
        break;
    case OX_MSG_RESPONSE:
        freeResponse(reinterpret_cast<ox_resp_base_t *>(m));
        break;
    case OX_MSG_EVENT:
        freeEvent(reinterpret_cast<ox_evt_base_t *>(m));
        break;
    default:
        std::free(m);
        break;
    }
}

ox_participant_record_t *RecordTable::participant(const std::string &uri, const std::string &name, int moderator,
                                                  int owner)
{
    auto *p = static_cast<ox_participant_record_t *>(std::calloc(1, sizeof(ox_participant_record_t)));
    p->uri = dup(uri);
    p->display_name = dup(name);
    p->is_moderator = moderator;
    p->is_owner = owner;
    return p;
}

ox_buddy_record_t *RecordTable::buddy(const std::string &uri, const std::string &name, const std::string &data, int id)
{
    auto *b = static_cast<ox_buddy_record_t *>(std::calloc(1, sizeof(ox_buddy_record_t)));
    b->uri = dup(uri);
    b->display_name = dup(name);
    b->buddy_data = dup(data);
    b->buddy_id = id;
    return b;
}

ox_device_t *RecordTable::device(const std::string &id, const std::string &name, int type)
{
    auto *d = static_cast<ox_device_t *>(std::calloc(1, sizeof(ox_device_t)));
    d->device_id = dup(id);
    d->display_name = dup(name);
    d->device_type = type;
    return d;
}

} // namespace ostrelsdk
