/*
 * ostrelsdk_control: scripting and inspection of the simulated voice network,
 * for tests only (program code never includes it). Every function may be
 * called from any thread and returns at once, except oxc_wait_idle. Calls that
 * raise messages queue an item on the library's worker, after earlier requests;
 * configuration takes effect at once.
 */
#ifndef OSTRELSDK_CONTROL_H
#define OSTRELSDK_CONTROL_H

#include "ostrelsdk.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { OXC_AEC = 0, OXC_AGC = 1, OXC_ADVANCED_AGC = 2, OXC_VAD = 3, OXC_DERUMBLER = 4 };
enum { OXC_LOG_ERROR = 0, OXC_LOG_WARNING = 1, OXC_LOG_INFO = 2, OXC_LOG_DEBUG = 3, OXC_LOG_TRACE = 4 };

typedef struct {
    const char *id;
    const char *name;
    int type;
} oxc_device_spec_t;

/* ---- lifecycle and inspection ---- */
OX_API void oxc_reset(void);
OX_API int oxc_wait_idle(int timeout_ms); /* 0 idle, 1 timeout */
OX_API int oxc_pending_messages(void);
OX_API int oxc_live_messages(void);     /* responses and events not yet destroyed */
OX_API int oxc_request_count(int type); /* -1 counts all */
OX_API const ox_req_base_t *oxc_request_at(int index);
OX_API const ox_req_base_t *oxc_find_request(int type, int nth); /* nth -1 = last */
OX_API const ox_req_base_t *oxc_find_request_by_cookie(const char *cookie);
OX_API void oxc_clear_requests(void);
OX_API int oxc_is_initialized(void);
OX_API const ox_config_t *oxc_init_config(int *size_passed);
OX_API int oxc_logging_level(void);
OX_API int oxc_handler_count(void);
OX_API int oxc_audio_switch(int which); /* -1 while unset */
OX_API int oxc_crash_marker_count(void);
OX_API const char *oxc_crash_marker(int nth);
OX_API const char *oxc_safe_invoke_program(void);
OX_API const char *oxc_domain(void);
OX_API const char *oxc_account_handle(const char *account_uri);
OX_API const char *oxc_session_handle(const char *account_uri, const char *uri);

/* ---- scripting ---- */
OX_API int oxc_script(int type, int return_code, int status_code, const char *status_string, int times);
OX_API int oxc_silence(int type, int times);
OX_API int oxc_hold(int type, int on);
OX_API int oxc_release(int type, int count);                                  /* count -1 = all */
OX_API int oxc_reject_token(const char *token, int status, const char *text); /* status 0 removes */
OX_API int oxc_map_token(const char *token, const char *uri, const char *display_name);
OX_API int oxc_set_network(int up);
OX_API int oxc_set_capture_failure(int status); /* 0, 7006 or 7009 */
OX_API int oxc_set_world_reply_ms(int ms);      /* a world request's wait for its answer; 0 restores 30 s */

/* ---- injection ---- */
OX_API ox_evt_base_t *oxc_alloc_event(ox_event_type type);
OX_API ox_resp_base_t *oxc_alloc_response(ox_response_type type, ox_req_base_t *request);
OX_API int oxc_inject(ox_message_base_t *message);
OX_API int oxc_log(int level, const char *source, const char *text);
OX_API int oxc_log_raw(const char *source, const char *level, const char *message);

/* ---- world actions ---- */
OX_API int oxc_user_set(const char *uri, const char *display_name, int presence, const char *message);
OX_API int oxc_channel_configure(const char *uri, const char *name, const char *password, int acl_enforced, int exists,
                                 int max_participants);
OX_API int oxc_channel_set_owner(const char *channel_uri, const char *owner_uri);
OX_API int oxc_channel_join(const char *channel_uri, const char *uri, const char *display_name, int audio);
OX_API int oxc_channel_leave(const char *channel_uri, const char *uri, int reason);
OX_API int oxc_participant_update(const char *channel_or_peer_uri, const char *uri, int speaking, int muted_globally,
                                  double energy);
OX_API int oxc_say(const char *uri, const char *from_uri, const char *text);
OX_API int oxc_typing(const char *uri, const char *from_uri, int type);
OX_API int oxc_send_app_data(const char *to_account_uri, const char *from_uri, const char *content);
OX_API int oxc_send_server_app_data(const char *to_account_uri, const char *ctype, const char *content);
OX_API int oxc_subscription(const char *to_account_uri, const char *from_uri, const char *display_name);
OX_API int oxc_set_devices(int kind, const oxc_device_spec_t *devices, int count, const char *os_default_id);
OX_API int oxc_key_event(const char *binding, int is_down);
/* An open microphone picks up a voice: the local accounts speak in their
   audio channels while it is on and the microphone is not muted. */
OX_API int oxc_set_simulated_voice(int on);
OX_API int oxc_set_crash_dump_count(int count);
OX_API int oxc_set_meter_interval(int ms);
OX_API int oxc_meter_tick(void);
OX_API int oxc_set_next_stats(const ox_call_stats_t *stats);

#ifdef __cplusplus
}
#endif

#endif /* OSTRELSDK_CONTROL_H */
