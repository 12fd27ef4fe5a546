// The test control entry points: inspection, scripting, injection and world
// actions on the simulated network.
#include "ostrelsdk_control.h"

#include "processrecord.h"
#include "recordtable.h"
#include "sdkcore.h"

#include <cstdlib>

using namespace ostrelsdk;

namespace {

std::string text(const char *t)
{
    return t ? std::string(t) : std::string();
}

// Texts handed out by value-returning queries live in a per-thread buffer,
// valid until the same query runs again on that thread.
const char *handOut(std::string &buffer, const std::string &value)
{
    if (value.empty())
        return nullptr;
    buffer = value;
    return buffer.c_str();
}

} // namespace

extern "C" {

OX_API void oxc_reset(void)
{
    SdkCore::instance().reset();
    ProcessRecord::instance().reset();
}

OX_API int oxc_wait_idle(int timeout_ms)
{
    return SdkCore::instance().waitIdle(timeout_ms);
}
OX_API int oxc_pending_messages(void)
{
    return SdkCore::instance().pendingMessages();
}
OX_API int oxc_live_messages(void)
{
    return RecordTable::liveMessages();
}
OX_API int oxc_request_count(int type)
{
    return SdkCore::instance().requestCount(type);
}
OX_API const ox_req_base_t *oxc_request_at(int index)
{
    return SdkCore::instance().requestAt(index);
}
OX_API const ox_req_base_t *oxc_find_request(int type, int nth)
{
    return SdkCore::instance().findRequest(type, nth);
}
OX_API const ox_req_base_t *oxc_find_request_by_cookie(const char *cookie)
{
    return SdkCore::instance().findRequestByCookie(cookie);
}
OX_API void oxc_clear_requests(void)
{
    SdkCore::instance().clearRequests();
}
OX_API int oxc_is_initialized(void)
{
    return SdkCore::instance().initialized() ? 1 : 0;
}
OX_API const ox_config_t *oxc_init_config(int *size_passed)
{
    return SdkCore::instance().initConfig(size_passed);
}
OX_API int oxc_logging_level(void)
{
    return SdkCore::instance().loggingLevel();
}
OX_API int oxc_handler_count(void)
{
    return SdkCore::instance().handlerCount();
}
OX_API int oxc_audio_switch(int which)
{
    return ProcessRecord::instance().switchValue(which);
}
OX_API int oxc_crash_marker_count(void)
{
    return ProcessRecord::instance().crashMarkerCount();
}
OX_API const char *oxc_crash_marker(int nth)
{
    return ProcessRecord::instance().crashMarker(nth);
}
OX_API const char *oxc_safe_invoke_program(void)
{
    return ProcessRecord::instance().program();
}

OX_API const char *oxc_domain(void)
{
    static thread_local std::string buffer;
    return handOut(buffer, SdkCore::instance().withWorld([](World &w) { return w.domain(); }));
}

OX_API const char *oxc_account_handle(const char *account_uri)
{
    static thread_local std::string buffer;
    std::string uri = text(account_uri);
    return handOut(buffer, SdkCore::instance().withWorld([&](World &w) { return w.accountHandle(uri); }));
}

OX_API const char *oxc_session_handle(const char *account_uri, const char *uri)
{
    static thread_local std::string buffer;
    std::string account = text(account_uri), peer = text(uri);
    return handOut(buffer, SdkCore::instance().withWorld([&](World &w) { return w.sessionHandle(account, peer); }));
}

OX_API int oxc_script(int type, int return_code, int status_code, const char *status_string, int times)
{
    if (!RecordTable::request(type) || times < 1)
        return OX_E_INVALID_ARGUMENT;
    SdkCore::instance().script(type, return_code, status_code, status_string, times);
    return 0;
}

OX_API int oxc_silence(int type, int times)
{
    if (!RecordTable::request(type) || times < 1)
        return OX_E_INVALID_ARGUMENT;
    SdkCore::instance().silence(type, times);
    return 0;
}

OX_API int oxc_hold(int type, int on)
{
    if (!RecordTable::request(type))
        return OX_E_INVALID_ARGUMENT;
    SdkCore::instance().hold(type, on != 0);
    return 0;
}

OX_API int oxc_release(int type, int count)
{
    return SdkCore::instance().release(type, count);
}

OX_API int oxc_reject_token(const char *token, int status, const char *t)
{
    std::string key = text(token), why = text(t);
    SdkCore::instance().withWorld([&](World &w) { w.rejectToken(key, status, why); });
    return 0;
}

OX_API int oxc_map_token(const char *token, const char *uri, const char *display_name)
{
    if (!token || !uri)
        return OX_E_INVALID_ARGUMENT;
    std::string key = token, u = uri, name = text(display_name);
    SdkCore::instance().withWorld([&](World &w) { w.mapToken(key, u, name); });
    return 0;
}

OX_API int oxc_set_network(int up)
{
    SdkCore::instance().post([up](World &w, Outbox &out) { w.setNetwork(up != 0, out); });
    return 0;
}

OX_API int oxc_set_world_reply_ms(int ms)
{
    if (ms < 0)
        return OX_E_INVALID_ARGUMENT;
    SdkCore::instance().withWorld([ms](World &w) { w.setWorldReplyMs(ms); });
    return 0;
}

OX_API int oxc_set_capture_failure(int status)
{
    if (status != 0 && status != 7006 && status != 7009)
        return OX_E_INVALID_ARGUMENT;
    SdkCore::instance().withWorld([status](World &w) { w.setCaptureFailure(status); });
    return 0;
}

OX_API ox_evt_base_t *oxc_alloc_event(ox_event_type type)
{
    return RecordTable::allocEvent(type);
}

OX_API ox_resp_base_t *oxc_alloc_response(ox_response_type type, ox_req_base_t *request)
{
    return RecordTable::allocResponse(type, request);
}

OX_API int oxc_inject(ox_message_base_t *message)
{
    if (!message)
        return OX_E_INVALID_ARGUMENT;
    SdkCore::instance().inject(message);
    return 0;
}

OX_API int oxc_log(int level, const char *source, const char *t)
{
    SdkCore::instance().log(level, source ? source : "ox.control", __FILE__, __LINE__, text(t));
    return 0;
}

OX_API int oxc_log_raw(const char *source, const char *level, const char *message)
{
    SdkCore::instance().logRaw(text(source), text(level), text(message));
    return 0;
}

OX_API int oxc_user_set(const char *uri, const char *display_name, int presence, const char *message)
{
    if (!uri || !*uri)
        return OX_E_INVALID_ARGUMENT;
    std::string u = uri, name = text(display_name), m = text(message);
    SdkCore::instance().post([=](World &w, Outbox &out) { w.userSet(u, name, presence, m, out); });
    return 0;
}

OX_API int oxc_channel_configure(const char *uri, const char *name, const char *password, int acl_enforced, int exists,
                                 int max_participants)
{
    if (!uri || !*uri)
        return OX_E_INVALID_ARGUMENT;
    SdkCore::instance().withWorld(
        [&](World &w) { w.channelConfigure(uri, name, password, acl_enforced, exists, max_participants); });
    return 0;
}

OX_API int oxc_channel_set_owner(const char *channel_uri, const char *owner_uri)
{
    if (!channel_uri)
        return OX_E_INVALID_ARGUMENT;
    std::string c = channel_uri, o = text(owner_uri);
    SdkCore::instance().withWorld([&](World &w) { w.channelSetOwner(c, o); });
    return 0;
}

OX_API int oxc_channel_join(const char *channel_uri, const char *uri, const char *display_name, int audio)
{
    if (!channel_uri || !uri)
        return OX_E_INVALID_ARGUMENT;
    std::string c = channel_uri, u = uri, name = text(display_name);
    SdkCore::instance().post([=](World &w, Outbox &out) { w.channelJoin(c, u, name, audio != 0, out); });
    return 0;
}

OX_API int oxc_channel_leave(const char *channel_uri, const char *uri, int reason)
{
    if (!channel_uri || !uri)
        return OX_E_INVALID_ARGUMENT;
    std::string c = channel_uri, u = uri;
    SdkCore::instance().post([=](World &w, Outbox &out) { w.channelLeave(c, u, reason, out); });
    return 0;
}

OX_API int oxc_participant_update(const char *channel_or_peer_uri, const char *uri, int speaking, int muted_globally,
                                  double energy)
{
    if (!channel_or_peer_uri || !uri)
        return OX_E_INVALID_ARGUMENT;
    std::string c = channel_or_peer_uri, u = uri;
    SdkCore::instance().post(
        [=](World &w, Outbox &out) { w.participantUpdate(c, u, speaking, muted_globally, energy, out); });
    return 0;
}

OX_API int oxc_say(const char *uri, const char *from_uri, const char *t)
{
    if (!uri || !from_uri)
        return OX_E_INVALID_ARGUMENT;
    std::string u = uri, f = from_uri, body = text(t);
    SdkCore::instance().post([=](World &w, Outbox &out) { w.say(u, f, body, out); });
    return 0;
}

OX_API int oxc_typing(const char *uri, const char *from_uri, int type)
{
    if (!uri || !from_uri)
        return OX_E_INVALID_ARGUMENT;
    std::string u = uri, f = from_uri;
    SdkCore::instance().post([=](World &w, Outbox &out) { w.typing(u, f, type, out); });
    return 0;
}

OX_API int oxc_send_app_data(const char *to_account_uri, const char *from_uri, const char *content)
{
    if (!to_account_uri || !from_uri)
        return OX_E_INVALID_ARGUMENT;
    std::string to = to_account_uri, f = from_uri, c = text(content);
    SdkCore::instance().post([=](World &w, Outbox &out) { w.sendAppData(to, f, c, out); });
    return 0;
}

OX_API int oxc_send_server_app_data(const char *to_account_uri, const char *ctype, const char *content)
{
    if (!to_account_uri)
        return OX_E_INVALID_ARGUMENT;
    std::string to = to_account_uri, t = text(ctype), c = text(content);
    SdkCore::instance().post([=](World &w, Outbox &out) { w.sendServerAppData(to, t, c, out); });
    return 0;
}

OX_API int oxc_subscription(const char *to_account_uri, const char *from_uri, const char *display_name)
{
    if (!to_account_uri || !from_uri)
        return OX_E_INVALID_ARGUMENT;
    std::string to = to_account_uri, f = from_uri, name = text(display_name);
    SdkCore::instance().post([=](World &w, Outbox &out) { w.subscription(to, f, name, out); });
    return 0;
}

OX_API int oxc_set_devices(int kind, const oxc_device_spec_t *devices, int count, const char *os_default_id)
{
    if (count < 0 || (count > 0 && !devices))
        return OX_E_INVALID_ARGUMENT;
    // Copy the specs now: the caller's array need not outlive this call.
    struct Spec {
        std::string id, name;
        int type;
    };
    std::vector<Spec> specs;
    for (int i = 0; i < count; ++i)
        specs.push_back(Spec{text(devices[i].id), text(devices[i].name), devices[i].type});
    std::string osDefault = text(os_default_id);
    SdkCore::instance().post([=](World &w, Outbox &out) {
        std::vector<oxc_device_spec_t> list;
        for (const Spec &s : specs)
            list.push_back(oxc_device_spec_t{s.id.c_str(), s.name.c_str(), s.type});
        w.setDevices(kind, list.data(), int(list.size()), osDefault, out);
    });
    return 0;
}

OX_API int oxc_key_event(const char *binding, int is_down)
{
    if (!binding)
        return OX_E_INVALID_ARGUMENT;
    std::string b = binding;
    SdkCore::instance().post([=](World &w, Outbox &out) { w.keyEvent(b, is_down != 0, out); });
    return SdkCore::instance().withWorld([&](World &w) { return w.hasBinding(b); }) ? 1 : 0;
}

OX_API int oxc_set_simulated_voice(int on)
{
    SdkCore::instance().post([=](World &w, Outbox &out) { w.setSimulatedVoice(on != 0, out); });
    return 0;
}

OX_API int oxc_set_crash_dump_count(int count)
{
    ProcessRecord::instance().setDumpCount(count);
    return 0;
}

OX_API int oxc_set_meter_interval(int ms)
{
    if (ms < 0)
        return OX_E_INVALID_ARGUMENT;
    SdkCore::instance().withWorld([ms](World &w) { w.setMeterInterval(ms); });
    return 0;
}

OX_API int oxc_meter_tick(void)
{
    SdkCore::instance().post([](World &w, Outbox &out) { w.meterTick(out); });
    return 0;
}

OX_API int oxc_set_next_stats(const ox_call_stats_t *stats)
{
    SdkCore::instance().withWorld([stats](World &w) { w.setNextStats(stats); });
    return 0;
}

} // extern "C"
