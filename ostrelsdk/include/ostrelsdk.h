/*
 * ostrelsdk: the voice SDK interface of Tavri.
 *
 * This library simulates a small voice network in-process, deterministic and
 * offline. The program creates request records, fills their named fields
 * (texts always as copies from ox_strdup), and issues them; every accepted
 * request is answered by exactly one response carrying the issued record.
 * Events arrive unasked. Both are taken with ox_get_message on any thread
 * after the notification callback, which runs on the library's own thread.
 *
 * Ownership: a request belongs to the library from ox_issue_request on; a
 * message belongs to the caller from ox_get_message until ox_destroy_*.
 * Error and type strings are static.
 */
#ifndef OSTRELSDK_H
#define OSTRELSDK_H

#if defined(__GNUC__)
#define OX_API __attribute__((visibility("default")))
#else
#define OX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- error codes returned by functions and carried in responses ---- */
#define OX_E_NO_MESSAGE (-1)
#define OX_E_INVALID_ARGUMENT 1001
#define OX_E_NOT_LOGGED_IN 1008
#define OX_E_ALREADY_INITIALIZED 1087
#define OX_E_NOT_INITIALIZED 1088
#define OX_E_INTERNAL 1089

#define OX_MAX_KEY_CODES 16

/* Every enumeration is int-sized (the *_FORCE_INT members), so that any value
 * read from or injected into a record is a valid value of its type. */
typedef enum {
    OX_MSG_REQUEST = 1,
    OX_MSG_RESPONSE = 2,
    OX_MSG_EVENT = 3,
    OX_MSG_FORCE_INT = 0x7fffffff
} ox_message_type;

/* A response carries the value of the request it answers. */
typedef enum {
    OX_REQ_NONE = 0,
    OX_REQ_CONNECTOR_CREATE = 1,
    OX_REQ_CONNECTOR_INITIATE_SHUTDOWN = 2,
    OX_REQ_ACCOUNT_LOGIN = 3,
    OX_REQ_ACCOUNT_LOGOUT = 4,
    OX_REQ_ACCOUNT_SET_PRESENCE = 5,
    OX_REQ_SESSIONGROUP_CREATE = 6,
    OX_REQ_SESSIONGROUP_TERMINATE = 7,
    OX_REQ_SESSIONGROUP_ADD_SESSION = 8,
    OX_REQ_SESSIONGROUP_SET_TX_SESSION = 9,
    OX_REQ_SESSION_MEDIA_CONNECT = 10,
    OX_REQ_SESSION_MEDIA_DISCONNECT = 11,
    OX_REQ_SESSION_TERMINATE = 21,
    OX_REQ_SESSION_MUTE_LOCAL_SPEAKER = 22,
    OX_REQ_SESSION_SET_LOCAL_SPEAKER_VOLUME = 23,
    OX_REQ_SESSION_SET_PARTICIPANT_MUTE_FOR_ME = 24,
    OX_REQ_SESSION_SET_PARTICIPANT_VOLUME_FOR_ME = 26,
    OX_REQ_ACCOUNT_CHANNEL_FAVORITES_LIST = 42,
    OX_REQ_ACCOUNT_CHANNEL_FAVORITE_SET = 43,
    OX_REQ_ACCOUNT_CHANNEL_GET_INFO = 47,
    OX_REQ_ACCOUNT_CHANNEL_ADD_MODERATOR = 50,
    OX_REQ_ACCOUNT_CHANNEL_REMOVE_MODERATOR = 51,
    OX_REQ_ACCOUNT_CHANNEL_GET_MODERATORS = 52,
    OX_REQ_ACCOUNT_CHANNEL_ADD_ACL = 53,
    OX_REQ_ACCOUNT_CHANNEL_REMOVE_ACL = 54,
    OX_REQ_ACCOUNT_CHANNEL_GET_ACL = 55,
    OX_REQ_CHANNEL_KICK_USER = 56,
    OX_REQ_CHANNEL_BAN_USER = 57,
    OX_REQ_CHANNEL_GET_BANNED_USERS = 58,
    OX_REQ_CHANNEL_MUTE_USER = 59,
    OX_REQ_CONNECTOR_MUTE_LOCAL_MIC = 61,
    OX_REQ_ACCOUNT_BUDDY_SET = 67,
    OX_REQ_ACCOUNT_BUDDY_DELETE = 68,
    OX_REQ_ACCOUNT_LIST_BUDDIES_AND_GROUPS = 71,
    OX_REQ_SESSION_SEND_MESSAGE = 72,
    OX_REQ_SESSION_SEND_NOTIFICATION = 73,
    OX_REQ_ACCOUNT_BLOCKED_USERS_LIST = 78,
    OX_REQ_AUX_GET_RENDER_DEVICES = 87,
    OX_REQ_AUX_GET_CAPTURE_DEVICES = 88,
    OX_REQ_AUX_SET_RENDER_DEVICE = 89,
    OX_REQ_AUX_SET_CAPTURE_DEVICE = 90,
    OX_REQ_AUX_GET_MIC_LEVEL = 91,
    OX_REQ_AUX_GET_SPEAKER_LEVEL = 92,
    OX_REQ_AUX_SET_MIC_LEVEL = 93,
    OX_REQ_AUX_SET_SPEAKER_LEVEL = 94,
    OX_REQ_AUX_RENDER_AUDIO_START = 95,
    OX_REQ_AUX_RENDER_AUDIO_STOP = 96,
    OX_REQ_AUX_CAPTURE_AUDIO_START = 97,
    OX_REQ_AUX_CAPTURE_AUDIO_STOP = 98,
    OX_REQ_AUX_GET_VAD_PROPERTIES = 121,
    OX_REQ_AUX_SET_VAD_PROPERTIES = 122,
    OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE = 123,
    OX_REQ_ACCOUNT_CHANNEL_GET_PARTICIPANTS = 126,
    OX_REQ_ACCOUNT_SEND_USER_APP_DATA = 128,
    OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN = 132,
    OX_REQ_SESSIONGROUP_GET_STATS = 133,
    OX_REQ_FORCE_INT = 0x7fffffff
} ox_request_type;

typedef enum {
    OX_RESP_NONE = 0,
    OX_RESP_CONNECTOR_CREATE = 1,
    OX_RESP_CONNECTOR_INITIATE_SHUTDOWN = 2,
    OX_RESP_ACCOUNT_LOGIN = 3,
    OX_RESP_ACCOUNT_LOGOUT = 4,
    OX_RESP_ACCOUNT_SET_PRESENCE = 5,
    OX_RESP_SESSIONGROUP_CREATE = 6,
    OX_RESP_SESSIONGROUP_TERMINATE = 7,
    OX_RESP_SESSIONGROUP_ADD_SESSION = 8,
    OX_RESP_SESSIONGROUP_SET_TX_SESSION = 9,
    OX_RESP_SESSION_MEDIA_CONNECT = 10,
    OX_RESP_SESSION_MEDIA_DISCONNECT = 11,
    OX_RESP_SESSION_TERMINATE = 21,
    OX_RESP_SESSION_MUTE_LOCAL_SPEAKER = 22,
    OX_RESP_SESSION_SET_LOCAL_SPEAKER_VOLUME = 23,
    OX_RESP_SESSION_SET_PARTICIPANT_MUTE_FOR_ME = 24,
    OX_RESP_SESSION_SET_PARTICIPANT_VOLUME_FOR_ME = 26,
    OX_RESP_ACCOUNT_CHANNEL_FAVORITES_LIST = 42,
    OX_RESP_ACCOUNT_CHANNEL_FAVORITE_SET = 43,
    OX_RESP_ACCOUNT_CHANNEL_GET_INFO = 47,
    OX_RESP_ACCOUNT_CHANNEL_ADD_MODERATOR = 50,
    OX_RESP_ACCOUNT_CHANNEL_REMOVE_MODERATOR = 51,
    OX_RESP_ACCOUNT_CHANNEL_GET_MODERATORS = 52,
    OX_RESP_ACCOUNT_CHANNEL_ADD_ACL = 53,
    OX_RESP_ACCOUNT_CHANNEL_REMOVE_ACL = 54,
    OX_RESP_ACCOUNT_CHANNEL_GET_ACL = 55,
    OX_RESP_CHANNEL_KICK_USER = 56,
    OX_RESP_CHANNEL_BAN_USER = 57,
    OX_RESP_CHANNEL_GET_BANNED_USERS = 58,
    OX_RESP_CHANNEL_MUTE_USER = 59,
    OX_RESP_CONNECTOR_MUTE_LOCAL_MIC = 61,
    OX_RESP_ACCOUNT_BUDDY_SET = 67,
    OX_RESP_ACCOUNT_BUDDY_DELETE = 68,
    OX_RESP_ACCOUNT_LIST_BUDDIES_AND_GROUPS = 71,
    OX_RESP_SESSION_SEND_MESSAGE = 72,
    OX_RESP_SESSION_SEND_NOTIFICATION = 73,
    OX_RESP_ACCOUNT_BLOCKED_USERS_LIST = 78,
    OX_RESP_AUX_GET_RENDER_DEVICES = 87,
    OX_RESP_AUX_GET_CAPTURE_DEVICES = 88,
    OX_RESP_AUX_SET_RENDER_DEVICE = 89,
    OX_RESP_AUX_SET_CAPTURE_DEVICE = 90,
    OX_RESP_AUX_GET_MIC_LEVEL = 91,
    OX_RESP_AUX_GET_SPEAKER_LEVEL = 92,
    OX_RESP_AUX_SET_MIC_LEVEL = 93,
    OX_RESP_AUX_SET_SPEAKER_LEVEL = 94,
    OX_RESP_AUX_RENDER_AUDIO_START = 95,
    OX_RESP_AUX_RENDER_AUDIO_STOP = 96,
    OX_RESP_AUX_CAPTURE_AUDIO_START = 97,
    OX_RESP_AUX_CAPTURE_AUDIO_STOP = 98,
    OX_RESP_AUX_GET_VAD_PROPERTIES = 121,
    OX_RESP_AUX_SET_VAD_PROPERTIES = 122,
    OX_RESP_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE = 123,
    OX_RESP_ACCOUNT_CHANNEL_GET_PARTICIPANTS = 126,
    OX_RESP_ACCOUNT_SEND_USER_APP_DATA = 128,
    OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN = 132,
    OX_RESP_SESSIONGROUP_GET_STATS = 133,
    OX_RESP_FORCE_INT = 0x7fffffff
} ox_response_type;

typedef enum {
    OX_EVT_NONE = 0,
    OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE = 2,
    OX_EVT_BUDDY_PRESENCE = 7,
    OX_EVT_SUBSCRIPTION = 8,
    OX_EVT_SESSION_NOTIFICATION = 9,
    OX_EVT_MESSAGE = 10,
    OX_EVT_AUX_AUDIO_PROPERTIES = 11,
    OX_EVT_BUDDY_CHANGED = 15,
    OX_EVT_BUDDY_AND_GROUP_LIST_CHANGED = 17,
    OX_EVT_KEYBOARD_MOUSE = 18,
    OX_EVT_MEDIA_STREAM_UPDATED = 20,
    OX_EVT_TEXT_STREAM_UPDATED = 21,
    OX_EVT_SESSIONGROUP_ADDED = 22,
    OX_EVT_SESSIONGROUP_REMOVED = 23,
    OX_EVT_SESSION_ADDED = 24,
    OX_EVT_SESSION_REMOVED = 25,
    OX_EVT_PARTICIPANT_ADDED = 26,
    OX_EVT_PARTICIPANT_REMOVED = 27,
    OX_EVT_PARTICIPANT_UPDATED = 28,
    OX_EVT_SERVER_APP_DATA = 35,
    OX_EVT_USER_APP_DATA = 36,
    OX_EVT_NETWORK_MESSAGE = 38,
    OX_EVT_AUDIO_DEVICE_HOT_SWAP = 41,
    OX_EVT_FORCE_INT = 0x7fffffff
} ox_event_type;

/* ---- base records: every record starts with its base as member `base` ---- */
typedef struct {
    ox_message_type type;
} ox_message_base_t;
typedef struct {
    ox_message_base_t message;
    ox_request_type type;
    char *cookie;
} ox_req_base_t;
typedef struct {
    ox_message_base_t message;
    ox_response_type type;
    int return_code; /* 0 success, 1 failure */
    int status_code;
    char *status_string;
    ox_req_base_t *request; /* the record that was issued, unchanged */
} ox_resp_base_t;
typedef struct {
    ox_message_base_t message;
    ox_event_type type;
} ox_evt_base_t;

typedef struct {
    int notification_mode;
    char app_folder[255];
    unsigned char suppress_crash_guard;
    int advanced_agc_enabled;
} ox_config_t;

/* ---- shared records ---- */
typedef struct {
    char *device_id;
    char *display_name;
    int device_type;
} ox_device_t; /* type 0 usable, 2 unplugged */
typedef struct {
    int favorite_id;
    char *uri;
    char *display_name;
} ox_favorite_record_t;
typedef struct {
    char *uri;
    char *display_name;
    int current_participants;
    int max_participants;
} ox_channel_record_t;
typedef struct {
    char *uri;
    char *display_name;
    int is_moderator;
    int is_owner;
} ox_participant_record_t;
typedef struct {
    char *uri;
    char *display_name;
    char *buddy_data;
    int buddy_id;
} ox_buddy_record_t;

/* A plain copyable record; call_id and codec_name are its only pointers.
 * The two times are seconds since 1601-01-01 UTC. */
typedef struct {
    int current_bars, packets_received, packets_lost, packets_late, packets_discarded, packets_sent;
    int render_underruns, render_overruns, render_errors, plc_count, plc_synthetic_frames, codec_mode;
    int latency_count, latency_packets_lost, latency_packets_sent, latency_packets_dropped;
    int latency_packets_malformed, latency_packets_negative;
    double min_latency, max_latency, latency_sum, last_latency_measured, r_factor;
    double call_start_time, call_end_time;
    char *call_id;
    char *codec_name;
} ox_call_stats_t;

/* ---- requests ---- */
typedef struct {
    ox_req_base_t base;
    char *server_url;
    int min_port;
    int max_port;
    int connect_mode;
    char *log_folder;
    char *log_prefix;
    char *log_suffix;
    int log_level;
    int log_enabled;
    char *user_agent;
    char *application_name;
    char *client_tag;
    int media_enabled;
} ox_req_connector_create_t;
typedef struct {
    ox_req_base_t base;
    char *connector_handle;
    char *client_name;
} ox_req_connector_initiate_shutdown_t;
typedef struct {
    ox_req_base_t base;
    char *connector_handle;
    char *account_name;
    char *password;
} ox_req_account_login_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
} ox_req_account_logout_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    int presence;
    char *custom_message;
} ox_req_account_set_presence_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    int private_group;
} ox_req_sessiongroup_create_t;
typedef struct {
    ox_req_base_t base;
    char *session_group_handle;
} ox_req_sessiongroup_terminate_t;
typedef struct {
    ox_req_base_t base;
    char *session_group_handle;
    char *uri;
    char *password;
    int connect_audio;
    int password_kind;
    int connect_text;
    int voice_font_id;
} ox_req_sessiongroup_add_session_t;
typedef struct {
    ox_req_base_t base;
    char *session_handle;
    char *session_group_handle;
} ox_req_sessiongroup_set_tx_session_t;
typedef struct {
    ox_req_base_t base;
    char *session_handle;
    int connect_option;
    int media_kind;
    int voice_font_id;
} ox_req_session_media_connect_t;
typedef struct {
    ox_req_base_t base;
    char *session_handle;
    int media_kind;
    int disconnect_option;
} ox_req_session_media_disconnect_t;
typedef struct {
    ox_req_base_t base;
    char *session_handle;
} ox_req_session_terminate_t;
typedef struct {
    ox_req_base_t base;
    char *session_handle;
    int mute;
    int scope;
} ox_req_session_mute_local_speaker_t;
typedef struct {
    ox_req_base_t base;
    char *session_handle;
    int volume;
} ox_req_session_set_local_speaker_volume_t;
typedef struct {
    ox_req_base_t base;
    char *session_handle;
    char *participant_uri;
    int mute;
    int scope;
} ox_req_session_set_participant_mute_for_me_t;
typedef struct {
    ox_req_base_t base;
    char *session_handle;
    char *participant_uri;
    int volume;
} ox_req_session_set_participant_volume_for_me_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
} ox_req_account_channel_favorites_list_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
    char *display_name;
} ox_req_account_channel_favorite_set_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
} ox_req_account_channel_get_info_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
    char *moderator_uri;
} ox_req_account_channel_add_moderator_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
    char *moderator_uri;
} ox_req_account_channel_remove_moderator_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
} ox_req_account_channel_get_moderators_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
    char *user_uri;
} ox_req_account_channel_add_acl_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
    char *user_uri;
} ox_req_account_channel_remove_acl_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
} ox_req_account_channel_get_acl_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
    char *participant_uri;
} ox_req_channel_kick_user_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
    char *participant_uri;
    int ban;
} ox_req_channel_ban_user_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
} ox_req_channel_get_banned_users_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
    char *participant_uri;
    int mute;
    int scope;
} ox_req_channel_mute_user_t;
typedef struct {
    ox_req_base_t base;
    int mute;
} ox_req_connector_mute_local_mic_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *buddy_uri;
    char *display_name;
    char *buddy_data;
    int group_id;
    char *message;
} ox_req_account_buddy_set_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *buddy_uri;
} ox_req_account_buddy_delete_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
} ox_req_account_list_buddies_and_groups_t;
typedef struct {
    ox_req_base_t base;
    char *session_handle;
    char *message_header;
    char *message_body;
} ox_req_session_send_message_t;
typedef struct {
    ox_req_base_t base;
    char *session_handle;
    int notification_type;
} ox_req_session_send_notification_t; /* 1 typing, 0 not */
typedef struct {
    ox_req_base_t base;
    char *account_handle;
} ox_req_account_blocked_users_list_t;
typedef struct {
    ox_req_base_t base;
} ox_req_aux_get_render_devices_t;
typedef struct {
    ox_req_base_t base;
} ox_req_aux_get_capture_devices_t;
typedef struct {
    ox_req_base_t base;
    char *device_id;
} ox_req_aux_set_render_device_t;
typedef struct {
    ox_req_base_t base;
    char *device_id;
} ox_req_aux_set_capture_device_t;
typedef struct {
    ox_req_base_t base;
} ox_req_aux_get_mic_level_t;
typedef struct {
    ox_req_base_t base;
} ox_req_aux_get_speaker_level_t;
typedef struct {
    ox_req_base_t base;
    int level;
} ox_req_aux_set_mic_level_t;
typedef struct {
    ox_req_base_t base;
    int level;
} ox_req_aux_set_speaker_level_t;
typedef struct {
    ox_req_base_t base;
    char *sound_file_path;
    int loop;
} ox_req_aux_render_audio_start_t;
typedef struct {
    ox_req_base_t base;
} ox_req_aux_render_audio_stop_t;
typedef struct {
    ox_req_base_t base;
    int loop_to_render;
} ox_req_aux_capture_audio_start_t;
typedef struct {
    ox_req_base_t base;
} ox_req_aux_capture_audio_stop_t;
typedef struct {
    ox_req_base_t base;
} ox_req_aux_get_vad_properties_t;
typedef struct {
    ox_req_base_t base;
    int hangover_ms;
    int sensitivity;
    int noise_floor;
} ox_req_aux_set_vad_properties_t; /* < 0 keeps */
typedef struct {
    ox_req_base_t base;
    char *binding_name;
    int key_count;
    int key_codes[OX_MAX_KEY_CODES];
} ox_req_aux_global_monitor_keyboard_mouse_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *channel_uri;
    int page;
    int page_size;
} ox_req_account_channel_get_participants_t;
typedef struct {
    ox_req_base_t base;
    char *account_handle;
    char *to_uri;
    char *content_type;
    char *content;
} ox_req_account_send_user_app_data_t;
typedef struct {
    ox_req_base_t base;
    char *connector_handle;
    char *auth_token;
    int presence_mode;
    int update_interval;
    int text_mode;
    int subscription_mode;
    char *application_name;
    int client_kind;
} ox_req_account_authtoken_login_t;
typedef struct {
    ox_req_base_t base;
    char *session_group_handle;
} ox_req_sessiongroup_get_stats_t;

/* ---- responses (the base alone where nothing else is carried) ---- */
typedef struct {
    ox_resp_base_t base;
    char *connector_handle;
} ox_resp_connector_create_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_connector_initiate_shutdown_t;
typedef struct {
    ox_resp_base_t base;
    char *account_handle;
    char *account_uri;
    char *display_name;
} ox_resp_account_login_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_account_logout_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_account_set_presence_t;
typedef struct {
    ox_resp_base_t base;
    char *session_group_handle;
} ox_resp_sessiongroup_create_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_sessiongroup_terminate_t;
typedef struct {
    ox_resp_base_t base;
    char *session_handle;
} ox_resp_sessiongroup_add_session_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_sessiongroup_set_tx_session_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_session_media_connect_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_session_media_disconnect_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_session_terminate_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_session_mute_local_speaker_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_session_set_local_speaker_volume_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_session_set_participant_mute_for_me_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_session_set_participant_volume_for_me_t;
typedef struct {
    ox_resp_base_t base;
    int favorite_count;
    ox_favorite_record_t **favorites;
} ox_resp_account_channel_favorites_list_t;
typedef struct {
    ox_resp_base_t base;
    int favorite_id;
} ox_resp_account_channel_favorite_set_t;
typedef struct {
    ox_resp_base_t base;
    ox_channel_record_t *channel;
} ox_resp_account_channel_get_info_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_account_channel_add_moderator_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_account_channel_remove_moderator_t;
typedef struct {
    ox_resp_base_t base;
    int participant_count;
    ox_participant_record_t **participants;
} ox_resp_account_channel_get_moderators_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_account_channel_add_acl_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_account_channel_remove_acl_t;
typedef struct {
    ox_resp_base_t base;
    int participant_count;
    ox_participant_record_t **participants;
} ox_resp_account_channel_get_acl_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_channel_kick_user_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_channel_ban_user_t;
typedef struct {
    ox_resp_base_t base;
    int participant_count;
    ox_participant_record_t **participants;
} ox_resp_channel_get_banned_users_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_channel_mute_user_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_connector_mute_local_mic_t;
typedef struct {
    ox_resp_base_t base;
    int buddy_id;
} ox_resp_account_buddy_set_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_account_buddy_delete_t;
typedef struct {
    ox_resp_base_t base;
    int buddy_count;
    ox_buddy_record_t **buddies;
} ox_resp_account_list_buddies_and_groups_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_session_send_message_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_session_send_notification_t;
typedef struct {
    ox_resp_base_t base;
    int participant_count;
    ox_participant_record_t **participants;
} ox_resp_account_blocked_users_list_t;
typedef struct {
    ox_resp_base_t base;
    int device_count;
    ox_device_t **devices;
    ox_device_t *current_device;
    ox_device_t *effective_device;
    ox_device_t *default_device;
} ox_resp_aux_get_render_devices_t;
typedef struct {
    ox_resp_base_t base;
    int device_count;
    ox_device_t **devices;
    ox_device_t *current_device;
    ox_device_t *effective_device;
    ox_device_t *default_device;
} ox_resp_aux_get_capture_devices_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_aux_set_render_device_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_aux_set_capture_device_t;
typedef struct {
    ox_resp_base_t base;
    int level;
} ox_resp_aux_get_mic_level_t;
typedef struct {
    ox_resp_base_t base;
    int level;
} ox_resp_aux_get_speaker_level_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_aux_set_mic_level_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_aux_set_speaker_level_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_aux_render_audio_start_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_aux_render_audio_stop_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_aux_capture_audio_start_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_aux_capture_audio_stop_t;
typedef struct {
    ox_resp_base_t base;
    int hangover_ms;
    int sensitivity;
    int noise_floor;
} ox_resp_aux_get_vad_properties_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_aux_set_vad_properties_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_aux_global_monitor_keyboard_mouse_t;
typedef struct {
    ox_resp_base_t base;
    int total_participant_count;
    int participant_count;
    ox_participant_record_t **participants;
} ox_resp_account_channel_get_participants_t;
typedef struct {
    ox_resp_base_t base;
} ox_resp_account_send_user_app_data_t;
typedef struct {
    ox_resp_base_t base;
    char *account_handle;
    char *account_uri;
    char *display_name;
} ox_resp_account_authtoken_login_t;
typedef struct {
    ox_resp_base_t base;
    ox_call_stats_t stats;
} ox_resp_sessiongroup_get_stats_t;

/* ---- events ---- */
typedef struct {
    ox_evt_base_t base;
    char *account_handle;
    int state;
    int status_code;
    char *status_string;
} ox_evt_account_login_state_change_t; /* 0 out, 1 in, 2 logging in */
typedef struct {
    ox_evt_base_t base;
    char *account_handle;
    char *buddy_uri;
    int presence;
    char *custom_message;
} ox_evt_buddy_presence_t;
typedef struct {
    ox_evt_base_t base;
    char *account_handle;
    char *buddy_uri;
    char *display_name;
    char *subscription_handle;
} ox_evt_subscription_t;
typedef struct {
    ox_evt_base_t base;
    char *session_handle;
    char *participant_uri;
    int notification_type;
} ox_evt_session_notification_t;
typedef struct {
    ox_evt_base_t base;
    char *session_handle;
    char *sender_uri;
    char *message_body;
} ox_evt_message_t;
typedef struct {
    ox_evt_base_t base;
    int mic_is_active;
    int mic_volume;
    double mic_energy;
    int speaker_volume;
    int speaker_is_active;
    double speaker_energy;
    double noise_floor;
    double speech_threshold;
} ox_evt_aux_audio_properties_t;
typedef struct {
    ox_evt_base_t base;
    char *account_handle;
    char *buddy_uri;
    int change;
} ox_evt_buddy_changed_t; /* 1 set, 2 deleted */
typedef struct {
    ox_evt_base_t base;
    char *account_handle;
    int buddy_count;
    ox_buddy_record_t **buddies;
} ox_evt_buddy_and_group_list_changed_t;
typedef struct {
    ox_evt_base_t base;
    char *binding_name;
    int is_down;
} ox_evt_keyboard_mouse_t;
typedef struct {
    ox_evt_base_t base;
    char *session_group_handle;
    char *session_handle;
    int status_code;
    char *status_string;
    int state;
    int incoming;
} ox_evt_media_stream_updated_t;
typedef struct {
    ox_evt_base_t base;
    char *session_group_handle;
    char *session_handle;
    int status_code;
    char *status_string;
    int state;
    int incoming;
} ox_evt_text_stream_updated_t;
typedef struct {
    ox_evt_base_t base;
    char *account_handle;
    char *session_group_handle;
} ox_evt_sessiongroup_added_t;
typedef struct {
    ox_evt_base_t base;
    char *account_handle;
    char *session_group_handle;
} ox_evt_sessiongroup_removed_t;
typedef struct {
    ox_evt_base_t base;
    char *session_group_handle;
    char *session_handle;
    char *uri;
    int is_incoming;
    char *display_name;
} ox_evt_session_added_t;
typedef struct {
    ox_evt_base_t base;
    char *session_group_handle;
    char *session_handle;
    char *uri;
} ox_evt_session_removed_t;
typedef struct {
    ox_evt_base_t base;
    char *session_group_handle;
    char *session_handle;
    char *participant_uri;
    char *display_name;
    char *participant_tag;
    int is_current_user;
} ox_evt_participant_added_t;
typedef struct {
    ox_evt_base_t base;
    char *session_group_handle;
    char *session_handle;
    char *participant_uri;
    char *display_name;
    char *participant_tag;
    int is_current_user;
    int reason;
} ox_evt_participant_removed_t; /* 0 left, 1 timed out, 2 kicked, 3 banned */
typedef struct {
    ox_evt_base_t base;
    char *session_handle;
    char *participant_uri;
    int is_muted_globally;
    int is_speaking;
    int volume_adjustment;
    double energy;
    int active_media;
    int is_muted_locally;
    int is_text_muted_globally;
    int participant_type;
    char *participant_tag;
} ox_evt_participant_updated_t;
typedef struct {
    ox_evt_base_t base;
    char *account_handle;
    char *content_type;
    char *content;
} ox_evt_server_app_data_t;
typedef struct {
    ox_evt_base_t base;
    char *account_handle;
    char *from_uri;
    char *content_type;
    char *content;
} ox_evt_user_app_data_t;
typedef struct {
    ox_evt_base_t base;
    char *account_handle;
    int message_type;
    char *sender_uri;
    char *content_type;
    char *content;
} ox_evt_network_message_t;
typedef struct {
    ox_evt_base_t base;
    int device_kind;
} ox_evt_audio_device_hot_swap_t; /* 0 capture, 1 render */

/* ---- functions ---- */
typedef void (*ox_message_notification_handler_t)(void);
typedef void (*ox_log_handler_t)(const char *source, const char *level, const char *message);
typedef int (*ox_safe_invoke_fn)(void *ctx);

OX_API int ox_get_default_config(ox_config_t *config);
OX_API int ox_initialize3(ox_config_t *config, int size);
OX_API int ox_uninitialize(void);
OX_API int ox_register_message_notification_handler(ox_message_notification_handler_t handler, void *reserved);
OX_API int ox_unregister_message_notification_handler(ox_message_notification_handler_t handler, void *reserved);
OX_API int ox_register_logging_initialization(int destination, const char *folder, const char *prefix,
                                              const char *suffix, int log_level, ox_log_handler_t handler);
OX_API int ox_issue_request(ox_req_base_t *request);
OX_API int ox_get_message(ox_message_base_t **message);
OX_API int ox_destroy_message(ox_message_base_t *message);
OX_API int ox_destroy_resp(ox_resp_base_t *response);
OX_API int ox_destroy_evt(ox_evt_base_t *event);
OX_API char *ox_strdup(const char *text);
OX_API void ox_free(void *pointer);
OX_API int ox_set_aec_enabled(int on);
OX_API int ox_set_agc_enabled(int on);
OX_API int ox_set_advanced_agc_enabled(int on);
OX_API int ox_set_vad_enabled(int on);
OX_API int ox_set_capture_derumbler_enabled(int on);
OX_API int ox_safe_invoke(ox_safe_invoke_fn entry, void *ctx, const char *program);
OX_API int ox_set_application_crash_data(const char *text);
OX_API int ox_get_crash_dump_count(void);
OX_API const char *ox_get_error_string(int code);
OX_API const char *ox_get_request_type_string(int type);

/* One creator per request type: a zeroed record with its base and defaults set. */
#define OX_DECLARE_CREATOR(name) OX_API int ox_req_##name##_create(ox_req_##name##_t **out);
OX_DECLARE_CREATOR(connector_create)
OX_DECLARE_CREATOR(connector_initiate_shutdown)
OX_DECLARE_CREATOR(account_login)
OX_DECLARE_CREATOR(account_logout)
OX_DECLARE_CREATOR(account_set_presence)
OX_DECLARE_CREATOR(sessiongroup_create)
OX_DECLARE_CREATOR(sessiongroup_terminate)
OX_DECLARE_CREATOR(sessiongroup_add_session)
OX_DECLARE_CREATOR(sessiongroup_set_tx_session)
OX_DECLARE_CREATOR(session_media_connect)
OX_DECLARE_CREATOR(session_media_disconnect)
OX_DECLARE_CREATOR(session_terminate)
OX_DECLARE_CREATOR(session_mute_local_speaker)
OX_DECLARE_CREATOR(session_set_local_speaker_volume)
OX_DECLARE_CREATOR(session_set_participant_mute_for_me)
OX_DECLARE_CREATOR(session_set_participant_volume_for_me)
OX_DECLARE_CREATOR(account_channel_favorites_list)
OX_DECLARE_CREATOR(account_channel_favorite_set)
OX_DECLARE_CREATOR(account_channel_get_info)
OX_DECLARE_CREATOR(account_channel_add_moderator)
OX_DECLARE_CREATOR(account_channel_remove_moderator)
OX_DECLARE_CREATOR(account_channel_get_moderators)
OX_DECLARE_CREATOR(account_channel_add_acl)
OX_DECLARE_CREATOR(account_channel_remove_acl)
OX_DECLARE_CREATOR(account_channel_get_acl)
OX_DECLARE_CREATOR(channel_kick_user)
OX_DECLARE_CREATOR(channel_ban_user)
OX_DECLARE_CREATOR(channel_get_banned_users)
OX_DECLARE_CREATOR(channel_mute_user)
OX_DECLARE_CREATOR(connector_mute_local_mic)
OX_DECLARE_CREATOR(account_buddy_set)
OX_DECLARE_CREATOR(account_buddy_delete)
OX_DECLARE_CREATOR(account_list_buddies_and_groups)
OX_DECLARE_CREATOR(session_send_message)
OX_DECLARE_CREATOR(session_send_notification)
OX_DECLARE_CREATOR(account_blocked_users_list)
OX_DECLARE_CREATOR(aux_get_render_devices)
OX_DECLARE_CREATOR(aux_get_capture_devices)
OX_DECLARE_CREATOR(aux_set_render_device)
OX_DECLARE_CREATOR(aux_set_capture_device)
OX_DECLARE_CREATOR(aux_get_mic_level)
OX_DECLARE_CREATOR(aux_get_speaker_level)
OX_DECLARE_CREATOR(aux_set_mic_level)
OX_DECLARE_CREATOR(aux_set_speaker_level)
OX_DECLARE_CREATOR(aux_render_audio_start)
OX_DECLARE_CREATOR(aux_render_audio_stop)
OX_DECLARE_CREATOR(aux_capture_audio_start)
OX_DECLARE_CREATOR(aux_capture_audio_stop)
OX_DECLARE_CREATOR(aux_get_vad_properties)
OX_DECLARE_CREATOR(aux_set_vad_properties)
OX_DECLARE_CREATOR(aux_global_monitor_keyboard_mouse)
OX_DECLARE_CREATOR(account_channel_get_participants)
OX_DECLARE_CREATOR(account_send_user_app_data)
OX_DECLARE_CREATOR(account_authtoken_login)
OX_DECLARE_CREATOR(sessiongroup_get_stats)
#undef OX_DECLARE_CREATOR

#ifdef __cplusplus
}
#endif

#endif /* OSTRELSDK_H */
