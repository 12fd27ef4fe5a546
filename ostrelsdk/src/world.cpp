#include "world.h"

#include "recordtable.h"
#include "sdkcore.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace ostrelsdk {

namespace {

const char *const kSystemDevice = "Default System Device";
const char *const kNetworkLost = "Network connection lost";
// How long a request waits for the shared world's answer.
// A generous limit: a gateway on a loaded machine can take several seconds to
// answer (the time a request waits for its answer is kWorldReplyMs, which
// tests can shorten).
constexpr int kWorldConnectMs = 10000;

template <typename T>
T *event(int type)
{
    return reinterpret_cast<T *>(RecordTable::allocEvent(type));
}

template <typename T>
T *req(ox_req_base_t *r)
{
    return reinterpret_cast<T *>(r);
}

std::string text(const char *t)
{
    return t ? std::string(t) : std::string();
}

bool startsWith(const std::string &s, const std::string &prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool isChannelUri(const std::string &key)
{
    return startsWith(key, "sip:confctl-");
}

// "sip:name@host" gives "name".
std::string userPart(const std::string &uri)
{
    std::string s = startsWith(lower(uri), "sip:") ? uri.substr(4) : uri;
    return s.substr(0, s.find('@'));
}

double nowSince1601()
{
    using namespace std::chrono;
    double unixSeconds = duration_cast<duration<double>>(system_clock::now().time_since_epoch()).count();
    return unixSeconds + 11644473600.0;
}

bool contains(const std::vector<std::string> &list, const std::string &value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

void addOnce(std::vector<std::string> &list, const std::string &value)
{
    if (!contains(list, value))
        list.push_back(value);
}

void removeAll(std::vector<std::string> &list, const std::string &value)
{
    list.erase(std::remove(list.begin(), list.end(), value), list.end());
}

// The gateway's voice token: "dv1." + base64url(URI) + "." + base64url(name)
// + "." + hex. Gives the URI and display name it carries.
bool base64UrlDecode(const std::string &in, std::string *out)
{
    out->clear();
    unsigned value = 0;
    int bits = 0;
    for (char c : in) {
        int d = (c >= 'A' && c <= 'Z')   ? c - 'A'
                : (c >= 'a' && c <= 'z') ? c - 'a' + 26
                : (c >= '0' && c <= '9') ? c - '0' + 52
                : c == '-'               ? 62
                : c == '_'               ? 63
                : c == '='               ? -2
                                         : -1;
        if (d == -2)
            break;
        if (d < 0)
            return false;
        value = (value << 6) | unsigned(d);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            *out += static_cast<char>((value >> bits) & 0xff);
        }
    }
    return true;
}

bool decodeVoiceToken(const std::string &token, std::string *uri, std::string *display)
{
    if (!startsWith(token, "dv1."))
        return false;
    size_t a = token.find('.', 4);
    size_t b = a == std::string::npos ? a : token.find('.', a + 1);
    if (b == std::string::npos || token.find('.', b + 1) != std::string::npos || b + 1 >= token.size())
        return false;
    std::string u, n;
    if (!base64UrlDecode(token.substr(4, a - 4), &u) || !base64UrlDecode(token.substr(a + 1, b - a - 1), &n)
        || !startsWith(lower(u), "sip:") || u.find('@') == std::string::npos)
        return false;
    *uri = u;
    *display = n;
    return true;
}

} // namespace

World::World()
{
    reset();
}

World::~World()
{
    dropRuntime();
}

void World::reset()
{
    dropRuntime();
    m_worldAddress.clear();
    m_counters.clear();
    m_connectors.clear();
    m_domain.clear();
    m_echoUri.clear();
    m_profiles.clear();
    m_users.clear();
    m_channels.clear();
    m_volumes.clear();
    m_localMutes.clear();
    m_rejectedTokens.clear();
    m_mappedTokens.clear();
    m_bindings.clear();
    m_capture = DeviceList{{{kSystemDevice, kSystemDevice, 0},
                            {"standin-capture-1", "Microphone (Stand-in Audio)", 0},
                            {"standin-capture-2", "Headset Microphone (Stand-in USB)", 0}},
                           kSystemDevice,
                           "standin-capture-1"};
    m_render = DeviceList{{{kSystemDevice, kSystemDevice, 0},
                           {"standin-render-1", "Speakers (Stand-in Audio)", 0},
                           {"standin-render-2", "Headphones (Stand-in USB)", 0}},
                          kSystemDevice,
                          "standin-render-1"};
    m_buddyIds = 0;
    m_micLevel = m_speakerLevel = 50;
    m_vadHangover = 2000;
    m_vadSensitivity = 43;
    m_vadNoiseFloor = 576;
    m_micMuted = false;
    m_networkUp = true;
    m_captureFailure = 0;
    m_meterInterval = 200;
    m_tick = 0;
    m_hasNextStats = false;
}

void World::dropRuntime()
{
    m_link.reset();
    for (const std::string &u : m_remoteUsers)
        m_users.erase(u);
    m_remoteUsers.clear();
    m_heldBindings.clear();
    m_speaking = m_simulatedVoice = false;
    m_accounts.clear();
    m_loginOrder.clear();
    m_groups.clear();
    m_sessions.clear();
    for (auto &c : m_channels) {
        auto &present = c.second.present;
        present.erase(
            std::remove_if(present.begin(), present.end(), [](const Member &m) { return !m.simulated || m.remote; }),
            present.end());
    }
    m_captureRunning = m_captureLoop = m_renderRunning = false;
}

// ---------------------------------------------------------------- helpers

std::string World::newHandle(const char *kind)
{
    return std::string(kind) + "-" + std::to_string(++m_counters[kind]);
}

World::Account *World::account(const char *handle)
{
    auto it = m_accounts.find(text(handle));
    return it == m_accounts.end() ? nullptr : &it->second;
}

World::Account *World::accountByUri(const std::string &uri)
{
    std::string key = lower(uri);
    for (auto &a : m_accounts)
        if (a.second.uri == key)
            return &a.second;
    return nullptr;
}

World::Session *World::session(const char *handle)
{
    auto it = m_sessions.find(text(handle));
    return it == m_sessions.end() ? nullptr : &it->second;
}

World::Channel &World::channel(const std::string &key)
{
    return m_channels[key];
}

World::Member World::selfMember(const Account &a) const
{
    Member m;
    m.uri = a.uri;
    m.display = a.display;
    m.simulated = false;
    m.account = a.handle;
    return m;
}

std::vector<World::Member> World::members(const Session &s) const
{
    if (s.channel) {
        auto it = m_channels.find(s.key);
        return it == m_channels.end() ? std::vector<Member>{} : it->second.present;
    }
    std::vector<Member> result;
    auto a = m_accounts.find(s.account);
    if (a != m_accounts.end())
        result.push_back(selfMember(a->second));
    result.insert(result.end(), s.peers.begin(), s.peers.end());
    return result;
}

std::vector<World::Session *> World::sessionsOn(const std::string &channelKey)
{
    std::vector<Session *> result;
    auto it = m_channels.find(channelKey);
    if (it == m_channels.end())
        return result;
    for (const Member &m : it->second.present) {
        if (m.simulated)
            continue;
        for (auto &s : m_sessions)
            if (s.second.account == m.account && s.second.key == channelKey)
                result.push_back(&s.second);
    }
    return result;
}

World::Session *World::p2pSession(const std::string &accountHandle, const std::string &peerKey)
{
    for (auto &s : m_sessions)
        if (!s.second.channel && s.second.account == accountHandle && s.second.key == peerKey)
            return &s.second;
    return nullptr;
}

int World::presenceOf(const std::string &uri) const
{
    std::string key = lower(uri);
    for (const auto &a : m_accounts)
        if (a.second.uri == key) {
            auto p = m_profiles.find(key);
            return p == m_profiles.end() ? 2 : p->second.presence;
        }
    auto u = m_users.find(key);
    return u == m_users.end() ? 0 : u->second.presence;
}

std::string World::messageOf(const std::string &uri) const
{
    std::string key = lower(uri);
    for (const auto &a : m_accounts)
        if (a.second.uri == key) {
            auto p = m_profiles.find(key);
            return p == m_profiles.end() ? std::string() : p->second.message;
        }
    auto u = m_users.find(key);
    return u == m_users.end() ? std::string() : u->second.message;
}

std::string World::displayOf(const std::string &uri) const
{
    std::string key = lower(uri);
    for (const auto &a : m_accounts)
        if (a.second.uri == key)
            return a.second.display;
    auto u = m_users.find(key);
    return u == m_users.end() ? userPart(uri) : u->second.display;
}

std::vector<std::string> World::watchers(const std::string &uri)
{
    std::string key = lower(uri);
    std::vector<std::string> result;
    for (const std::string &handle : m_loginOrder) {
        const Account &a = m_accounts[handle];
        const Profile &p = m_profiles[a.uri];
        for (const auto &b : p.buddies)
            if (b.first == key) {
                result.push_back(handle);
                break;
            }
    }
    return result;
}

void World::notifyWatchers(const std::string &uri, int presence, const std::string &message, Outbox &out)
{
    for (const std::string &w : watchers(uri))
        evPresence(w, uri, presence, message, out);
}

int World::participantType(const Channel *c, const std::string &uri) const
{
    if (!c)
        return 0;
    if (c->owner == uri)
        return 2;
    return contains(c->moderators, uri) ? 1 : 0;
}

// ---------------------------------------------------------------- events

void World::evLoginState(const std::string &account, int state, int code, const std::string &t, Outbox &out)
{
    auto *e = event<ox_evt_account_login_state_change_t>(OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE);
    e->account_handle = RecordTable::dup(account);
    e->state = state;
    e->status_code = code;
    e->status_string = RecordTable::dup(t);
    out.add(e);
}

void World::evPresence(const std::string &account, const std::string &uri, int presence, const std::string &message,
                       Outbox &out)
{
    auto *e = event<ox_evt_buddy_presence_t>(OX_EVT_BUDDY_PRESENCE);
    e->account_handle = RecordTable::dup(account);
    e->buddy_uri = RecordTable::dup(lower(uri));
    e->presence = presence;
    e->custom_message =
        RecordTable::dup(message.empty() ? message : "<properties><notes />" + message + "</properties>");
    out.add(e);
}

void World::evGroup(int type, const std::string &account, const std::string &group, Outbox &out)
{
    auto *e = event<ox_evt_sessiongroup_added_t>(type); // added and removed share the layout
    e->account_handle = RecordTable::dup(account);
    e->session_group_handle = RecordTable::dup(group);
    out.add(e);
}

void World::evSessionAdded(const Session &s, int incoming, const std::string &display, Outbox &out)
{
    auto *e = event<ox_evt_session_added_t>(OX_EVT_SESSION_ADDED);
    e->session_group_handle = RecordTable::dup(s.group);
    e->session_handle = RecordTable::dup(s.handle);
    e->uri = RecordTable::dup(s.uri);
    e->is_incoming = incoming;
    e->display_name = RecordTable::dup(display);
    out.add(e);
}

void World::evSessionRemoved(const Session &s, Outbox &out)
{
    auto *e = event<ox_evt_session_removed_t>(OX_EVT_SESSION_REMOVED);
    e->session_group_handle = RecordTable::dup(s.group);
    e->session_handle = RecordTable::dup(s.handle);
    e->uri = RecordTable::dup(s.uri);
    out.add(e);
}

void World::evStream(int type, const Session &s, int state, int code, const std::string &t, int incoming, Outbox &out)
{
    auto *e = event<ox_evt_media_stream_updated_t>(type); // media and text share the layout
    e->session_group_handle = RecordTable::dup(s.group);
    e->session_handle = RecordTable::dup(s.handle);
    e->status_code = code;
    e->status_string = RecordTable::dup(t);
    e->state = state;
    e->incoming = incoming;
    out.add(e);
}

void World::evParticipantAdded(const Session &s, const Member &m, Outbox &out)
{
    auto *e = event<ox_evt_participant_added_t>(OX_EVT_PARTICIPANT_ADDED);
    e->session_group_handle = RecordTable::dup(s.group);
    e->session_handle = RecordTable::dup(s.handle);
    e->participant_uri = RecordTable::dup(m.uri);
    e->display_name = RecordTable::dup(m.display);
    e->participant_tag = RecordTable::dup("");
    e->is_current_user = (!m.simulated && m.account == s.account) ? 1 : 0;
    out.add(e);
}

void World::evParticipantRemoved(const Session &s, const Member &m, int reason, Outbox &out)
{
    auto *e = event<ox_evt_participant_removed_t>(OX_EVT_PARTICIPANT_REMOVED);
    e->session_group_handle = RecordTable::dup(s.group);
    e->session_handle = RecordTable::dup(s.handle);
    e->participant_uri = RecordTable::dup(m.uri);
    e->display_name = RecordTable::dup(m.display);
    e->participant_tag = RecordTable::dup("");
    e->is_current_user = (!m.simulated && m.account == s.account) ? 1 : 0;
    e->reason = reason;
    out.add(e);
}

void World::evParticipantUpdated(const Session &s, const Member &m, Outbox &out)
{
    const Channel *c = nullptr;
    if (s.channel) {
        auto it = m_channels.find(s.key);
        if (it != m_channels.end())
            c = &it->second;
    }
    bool audio = m.audio;
    if (!m.simulated) {
        // An account's audio is that of its own session on this conversation:
        // the same channel, or for a person-to-person session the one keyed by
        // the other side's URI.
        audio = false;
        std::string key = s.key;
        if (!s.channel && m.account != s.account) {
            auto owner = m_accounts.find(s.account);
            key = owner == m_accounts.end() ? std::string() : owner->second.uri;
        }
        for (const auto &other : m_sessions)
            if (other.second.account == m.account && other.second.key == key && other.second.audio)
                audio = true;
    }
    auto *e = event<ox_evt_participant_updated_t>(OX_EVT_PARTICIPANT_UPDATED);
    e->session_handle = RecordTable::dup(s.handle);
    e->participant_uri = RecordTable::dup(m.uri);
    e->is_muted_globally = c && c->mutedAudio.count(m.uri) ? 1 : 0;
    e->is_text_muted_globally = c && c->mutedText.count(m.uri) ? 1 : 0;
    e->is_speaking = m.speaking;
    e->energy = m.energy;
    auto v = m_volumes.find({s.account, m.uri});
    e->volume_adjustment = v == m_volumes.end() ? 50 : v->second;
    e->active_media = (audio ? 1 : 0) | 2;
    e->is_muted_locally = m_localMutes.count({s.account, m.uri}) ? 1 : 0;
    e->participant_type = participantType(c, m.uri);
    e->participant_tag = RecordTable::dup("");
    out.add(e);
}

void World::evMessage(const Session &s, const std::string &sender, const std::string &body, Outbox &out)
{
    auto *e = event<ox_evt_message_t>(OX_EVT_MESSAGE);
    e->session_handle = RecordTable::dup(s.handle);
    e->sender_uri = RecordTable::dup(sender);
    e->message_body = RecordTable::dup(body);
    out.add(e);
}

void World::evAudio(double mic, double speaker, Outbox &out)
{
    auto *e = event<ox_evt_aux_audio_properties_t>(OX_EVT_AUX_AUDIO_PROPERTIES);
    e->mic_energy = mic;
    e->speaker_energy = speaker;
    e->mic_is_active = mic > 0.3;
    e->speaker_is_active = speaker > 0.3;
    e->mic_volume = m_micLevel;
    e->speaker_volume = m_speakerLevel;
    e->noise_floor = 0.1;
    e->speech_threshold = 0.3;
    out.add(e);
}

// ---------------------------------------------------------------- endings

void World::removeSessionSilently(const std::string &handle)
{
    auto it = m_sessions.find(handle);
    if (it == m_sessions.end())
        return;
    Session &s = it->second;
    if (s.channel) {
        auto c = m_channels.find(s.key);
        if (c != m_channels.end()) {
            auto &present = c->second.present;
            present.erase(std::remove_if(present.begin(), present.end(),
                                         [&](const Member &m) { return !m.simulated && m.account == s.account; }),
                          present.end());
            // The world tells a channel's comings and goings to its members
            // only: with none of ours left there, what is known of the
            // others goes stale, and the next join brings the roster afresh.
            bool ours = false;
            for (const auto &o : m_sessions)
                ours = ours || (o.first != handle && o.second.channel && o.second.key == s.key);
            if (!ours)
                present.erase(std::remove_if(present.begin(), present.end(), [](const Member &m) { return m.remote; }),
                              present.end());
        }
    }
    auto g = m_groups.find(s.group);
    if (g != m_groups.end())
        removeAll(g->second.sessions, handle);
    m_sessions.erase(it);
}

void World::endSession(const std::string &handleRef, int reason, int code, const std::string &t, Outbox &out)
{
    // Callers often pass the session's own handle, which dies with the session.
    const std::string handle = handleRef;
    auto it = m_sessions.find(handle);
    if (it == m_sessions.end())
        return;
    Session s = it->second;
    Account &a = m_accounts[s.account];
    Member self = selfMember(a);
    if (s.channel && shared())
        tell(WireObject().set("op", "leave").set("channel", s.key).set("uri", a.uri).set("reason", reason));
    std::vector<Session *> others;
    if (s.channel)
        for (Session *o : sessionsOn(s.key))
            if (o->handle != handle)
                others.push_back(o);
    evParticipantRemoved(s, self, reason, out);
    if (s.audio)
        evStream(OX_EVT_MEDIA_STREAM_UPDATED, s, 1, code, t, 0, out);
    if (s.text)
        evStream(OX_EVT_TEXT_STREAM_UPDATED, s, 1, code, t, 0, out);
    evSessionRemoved(s, out);
    removeSessionSilently(handle);
    for (Session *o : others)
        evParticipantRemoved(*o, self, reason, out);
    // A person-to-person peer sees the caller leave its own session; a
    // peer in another process hears of it through the world.
    if (!s.channel) {
        if (Account *peer = accountByUri(s.key)) {
            if (Session *ps = p2pSession(peer->handle, a.uri)) {
                evParticipantRemoved(*ps, self, reason, out);
                ps->peers.clear();
            }
        } else if (shared() && m_remoteUsers.count(s.key)) {
            tell(WireObject().set("op", "hangup").set("to", s.key).set("from", a.uri).set("reason", reason));
        }
    }
}

void World::endGroup(const std::string &handleRef, Outbox &out)
{
    const std::string handle = handleRef; // may belong to the object that ends here
    auto it = m_groups.find(handle);
    if (it == m_groups.end())
        return;
    std::vector<std::string> sessions = it->second.sessions;
    for (const std::string &s : sessions)
        endSession(s, 0, 0, "", out);
    std::string accountHandle = it->second.account;
    evGroup(OX_EVT_SESSIONGROUP_REMOVED, accountHandle, handle, out);
    m_groups.erase(handle);
    auto a = m_accounts.find(accountHandle);
    if (a != m_accounts.end())
        removeAll(a->second.groups, handle);
}

void World::endLogin(const std::string &handleRef, int code, const std::string &t, bool tellWatchers, Outbox &out)
{
    const std::string handle = handleRef; // may belong to the object that ends here
    auto it = m_accounts.find(handle);
    if (it == m_accounts.end())
        return;
    std::string uri = it->second.uri;
    std::vector<std::string> groups = it->second.groups;
    for (const std::string &g : groups) {
        std::vector<std::string> sessions = m_groups[g].sessions;
        for (const std::string &s : sessions)
            endSession(s, 0, code, t, out);
    }
    for (const std::string &g : groups)
        endGroup(g, out);
    if (shared())
        tell(WireObject().set("op", "logout").set("uri", uri));
    m_accounts.erase(handle);
    removeAll(m_loginOrder, handle);
    // Signed out everywhere, this process hears no more of who is online.
    if (shared() && m_accounts.empty()) {
        for (const std::string &u : m_remoteUsers)
            m_users.erase(u);
        m_remoteUsers.clear();
    }
    if (tellWatchers)
        notifyWatchers(uri, 0, "", out);
    evLoginState(handle, 0, code, t, out);
}

// ---------------------------------------------------------------- dispatch

ox_resp_base_t *World::respond(ox_req_base_t *r, Outbox &out, int status, const char *t)
{
    ox_resp_base_t *resp = RecordTable::allocResponse(r->type, r);
    bool failed = status != 0 && status != 200 && status != 202;
    resp->return_code = failed ? 1 : 0;
    resp->status_code = status;
    resp->status_string = RecordTable::dup(t ? t : (status ? ox_get_error_string(status) : ""));
    if (failed) {
        const RequestInfo *info = RecordTable::request(r->type);
        OXLOG(LogWarning, "ox.core",
              std::string("Request failed: ") + (info ? info->name : "req_unknown") + " " + std::to_string(status) + " "
                  + resp->status_string);
    }
    RecordTable::fillEmptyTexts(resp); // handlers may set their own texts; free first
    out.add(resp);
    return resp;
}

void World::handle(ox_req_base_t *r, Outbox &out)
{
    switch (r->type) {
    case OX_REQ_CONNECTOR_CREATE:
        connectorCreate(r, out);
        return;
    case OX_REQ_CONNECTOR_INITIATE_SHUTDOWN:
        dropRuntime();
        respond(r, out);
        return;
    case OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN:
        login(r, out);
        return;
    case OX_REQ_ACCOUNT_LOGIN:
    case OX_REQ_SESSION_SET_LOCAL_SPEAKER_VOLUME:
        respond(r, out, 1001);
        return;
    case OX_REQ_CONNECTOR_MUTE_LOCAL_MIC:
        m_micMuted = req<ox_req_connector_mute_local_mic_t>(r)->mute != 0;
        respond(r, out);
        updateSpeaking(out);
        return;
    default:
        break;
    }
    if (handleAuxRequest(r, out))
        return;
    if (!m_networkUp) {
        respond(r, out, 10007);
        return;
    }
    if (handleAccountRequest(r, out) || handleSessionRequest(r, out))
        return;
    respond(r, out, 1001);
}

void World::connectorCreate(ox_req_base_t *r, Outbox &out)
{
    const char *world = std::getenv("OSTRELSDK_WORLD");
    m_worldAddress = world ? world : "";
    if (!m_networkUp || !ensureLink()) {
        respond(r, out, 10007);
        return;
    }
    std::string url = text(req<ox_req_connector_create_t>(r)->server_url);
    size_t scheme = url.find("://");
    if (scheme != std::string::npos)
        url = url.substr(scheme + 3);
    url = url.substr(0, url.find('/'));
    if (startsWith(lower(url), "www."))
        url = url.substr(4);
    m_domain = url.empty() ? "standin.invalid" : lower(url);
    if (m_echoUri.empty()) {
        m_echoUri = "sip:u-echo@" + m_domain;
        m_users[m_echoUri] = SimUser{m_echoUri, "Echo", 2, ""};
    }
    std::string handle = newHandle("connector");
    m_connectors.insert(handle);
    auto *resp = reinterpret_cast<ox_resp_connector_create_t *>(respond(r, out));
    RecordTable::setText(resp->connector_handle, handle);
}

void World::login(ox_req_base_t *r, Outbox &out)
{
    auto *q = req<ox_req_account_authtoken_login_t>(r);
    std::string token = text(q->auth_token);
    if (!m_connectors.count(text(q->connector_handle))) {
        respond(r, out, 1001);
        return;
    }
    auto rejected = m_rejectedTokens.find(token);
    if (token.empty() || startsWith(token, "reject") || rejected != m_rejectedTokens.end()) {
        if (rejected != m_rejectedTokens.end())
            respond(r, out, rejected->second.first,
                    rejected->second.second.empty() ? nullptr : rejected->second.second.c_str());
        else
            respond(r, out, 20200);
        return;
    }
    if (!m_networkUp) {
        respond(r, out, 10007);
        return;
    }
    std::string uri, display;
    std::vector<std::string> worldBuddies;
    auto mapped = m_mappedTokens.find(token);
    if (shared()) {
        WireObject reply;
        if (!ask(r, WireObject().set("op", "login").set("token", token), &reply, out))
            return;
        if (reply.number("status")) {
            int status = int(reply.number("status"));
            respond(r, out, status, reply.text("text").empty() ? nullptr : reply.text("text").c_str());
            return;
        }
        uri = lower(reply.text("uri"));
        display = reply.text("name").empty() ? userPart(uri) : reply.text("name");
        std::string list = reply.text("buddies");
        for (size_t start = 0; start < list.size();) {
            size_t comma = list.find(',', start);
            std::string b = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            if (!b.empty())
                worldBuddies.push_back(lower(b));
            start = comma == std::string::npos ? list.size() : comma + 1;
        }
    } else if (mapped != m_mappedTokens.end()) {
        uri = lower(mapped->second.first);
        display = mapped->second.second.empty() ? userPart(uri) : mapped->second.second;
    } else if (decodeVoiceToken(token, &uri, &display)) {
        uri = lower(uri);
        if (display.empty())
            display = userPart(uri);
    } else if (startsWith(lower(token), "sip:")) {
        uri = lower(token);
        display = userPart(token);
    } else {
        uri = "sip:u-" + lower(token) + "@" + (m_domain.empty() ? "standin.invalid" : m_domain);
        display = token;
    }
    if (accountByUri(uri)) {
        respond(r, out, 1074);
        return;
    }
    Account a;
    a.handle = newHandle("account");
    a.uri = uri;
    a.display = display;
    a.connector = text(q->connector_handle);
    m_accounts[a.handle] = a;
    m_loginOrder.push_back(a.handle);
    Profile &profile = m_profiles[uri];
    profile.presence = 2;
    if (shared()) {
        // The gateway's friend edges are the buddy list.
        std::vector<std::pair<std::string, int>> buddies;
        for (const std::string &b : worldBuddies) {
            int id = 0;
            for (const auto &old : profile.buddies)
                if (old.first == b)
                    id = old.second;
            buddies.emplace_back(b, id ? id : ++m_buddyIds);
        }
        profile.buddies = buddies;
    }
    evLoginState(a.handle, 2, 0, "", out);
    auto *resp = reinterpret_cast<ox_resp_account_authtoken_login_t *>(respond(r, out));
    RecordTable::setText(resp->account_handle, a.handle);
    RecordTable::setText(resp->account_uri, uri);
    RecordTable::setText(resp->display_name, display);
    evLoginState(a.handle, 1, 0, "OK", out);
    // The world tells who is signed in just before it answers a sign-in;
    // those messages are applied after this request and raise the presence
    // of the buddies they name. The others are offline, said after them.
    std::vector<std::string> unheard;
    for (const auto &b : profile.buddies) {
        if (shared() && !accountByUri(b.first) && !m_users.count(b.first))
            unheard.push_back(b.first);
        else
            evPresence(a.handle, b.first, presenceOf(b.first), messageOf(b.first), out);
    }
    if (!unheard.empty()) {
        const std::string handle = a.handle;
        SdkCore::instance().postIfRunning(
            [handle, unheard](World &w, Outbox &o) { w.presenceOfUnheard(handle, unheard, o); });
    }
    notifyWatchers(uri, 2, profile.message, out);
}

bool World::handleAccountRequest(ox_req_base_t *r, Outbox &out)
{
    // Every account request names its account first.
    auto accountField = [&]() -> Account * {
        return account(*reinterpret_cast<char **>(reinterpret_cast<char *>(r) + sizeof(ox_req_base_t)));
    };
    switch (r->type) {
    case OX_REQ_ACCOUNT_LOGOUT: {
        Account *a = accountField();
        if (!a) {
            respond(r, out, 1001);
            return true;
        }
        endLogin(a->handle, 0, "OK", true, out);
        respond(r, out);
        return true;
    }
    case OX_REQ_ACCOUNT_SET_PRESENCE:
    case OX_REQ_ACCOUNT_BUDDY_SET:
    case OX_REQ_ACCOUNT_BUDDY_DELETE:
    case OX_REQ_ACCOUNT_LIST_BUDDIES_AND_GROUPS:
    case OX_REQ_ACCOUNT_SEND_USER_APP_DATA:
    case OX_REQ_SESSIONGROUP_CREATE:
    case OX_REQ_ACCOUNT_CHANNEL_ADD_ACL:
    case OX_REQ_ACCOUNT_CHANNEL_REMOVE_ACL:
    case OX_REQ_ACCOUNT_CHANNEL_GET_ACL:
    case OX_REQ_ACCOUNT_CHANNEL_ADD_MODERATOR:
    case OX_REQ_ACCOUNT_CHANNEL_REMOVE_MODERATOR:
    case OX_REQ_ACCOUNT_CHANNEL_GET_MODERATORS:
    case OX_REQ_ACCOUNT_CHANNEL_GET_PARTICIPANTS:
    case OX_REQ_CHANNEL_BAN_USER:
    case OX_REQ_CHANNEL_GET_BANNED_USERS:
    case OX_REQ_CHANNEL_KICK_USER:
    case OX_REQ_CHANNEL_MUTE_USER:
    case OX_REQ_ACCOUNT_CHANNEL_FAVORITES_LIST:
    case OX_REQ_ACCOUNT_CHANNEL_FAVORITE_SET:
    case OX_REQ_ACCOUNT_CHANNEL_GET_INFO:
    case OX_REQ_ACCOUNT_BLOCKED_USERS_LIST:
        break;
    default:
        return false;
    }
    Account *a = accountField();
    if (!a) {
        respond(r, out, 1008);
        return true;
    }
    Profile &profile = m_profiles[a->uri];
    switch (r->type) {
    case OX_REQ_ACCOUNT_SET_PRESENCE: {
        auto *q = req<ox_req_account_set_presence_t>(r);
        profile.presence = q->presence;
        profile.message = text(q->custom_message);
        respond(r, out);
        if (shared())
            tell(WireObject()
                     .set("op", "presence")
                     .set("uri", a->uri)
                     .set("presence", profile.presence)
                     .set("message", profile.message));
        notifyWatchers(a->uri, profile.presence, profile.message, out);
        return true;
    }
    case OX_REQ_ACCOUNT_BUDDY_SET: {
        std::string buddy = lower(text(req<ox_req_account_buddy_set_t>(r)->buddy_uri));
        if (buddy.empty()) {
            respond(r, out, 1001);
            return true;
        }
        int id = 0;
        for (const auto &b : profile.buddies)
            if (b.first == buddy)
                id = b.second;
        if (!id) {
            id = ++m_buddyIds;
            profile.buddies.emplace_back(buddy, id);
        }
        reinterpret_cast<ox_resp_account_buddy_set_t *>(respond(r, out))->buddy_id = id;
        if (shared())
            tell(WireObject().set("op", "buddy").set("from", a->uri).set("to", buddy).set("add", 1));
        auto *changed = event<ox_evt_buddy_changed_t>(OX_EVT_BUDDY_CHANGED);
        changed->account_handle = RecordTable::dup(a->handle);
        changed->buddy_uri = RecordTable::dup(buddy);
        changed->change = 1;
        out.add(changed);
        evPresence(a->handle, buddy, presenceOf(buddy), messageOf(buddy), out);
        return true;
    }
    case OX_REQ_ACCOUNT_BUDDY_DELETE: {
        std::string buddy = lower(text(req<ox_req_account_buddy_delete_t>(r)->buddy_uri));
        auto it = std::find_if(profile.buddies.begin(), profile.buddies.end(),
                               [&](const std::pair<std::string, int> &b) { return b.first == buddy; });
        if (it == profile.buddies.end()) {
            respond(r, out, 20414);
            return true;
        }
        profile.buddies.erase(it);
        respond(r, out);
        if (shared())
            tell(WireObject().set("op", "buddy").set("from", a->uri).set("to", buddy).set("add", 0));
        auto *changed = event<ox_evt_buddy_changed_t>(OX_EVT_BUDDY_CHANGED);
        changed->account_handle = RecordTable::dup(a->handle);
        changed->buddy_uri = RecordTable::dup(buddy);
        changed->change = 2;
        out.add(changed);
        return true;
    }
    case OX_REQ_ACCOUNT_LIST_BUDDIES_AND_GROUPS: {
        auto *resp = reinterpret_cast<ox_resp_account_list_buddies_and_groups_t *>(respond(r, out));
        resp->buddy_count = int(profile.buddies.size());
        resp->buddies = static_cast<ox_buddy_record_t **>(calloc(profile.buddies.size() + 1, sizeof(void *)));
        for (size_t i = 0; i < profile.buddies.size(); ++i)
            resp->buddies[i] = RecordTable::buddy(profile.buddies[i].first, displayOf(profile.buddies[i].first), "",
                                                  profile.buddies[i].second);
        return true;
    }
    case OX_REQ_ACCOUNT_SEND_USER_APP_DATA: {
        auto *q = req<ox_req_account_send_user_app_data_t>(r);
        std::string to = lower(text(q->to_uri));
        Account *receiver = accountByUri(to);
        auto user = m_users.find(to);
        if (!receiver && (user == m_users.end() || user->second.presence == 0)) {
            respond(r, out, 480);
            return true;
        }
        respond(r, out);
        if (!receiver && remoteUser(to))
            tell(WireObject()
                     .set("op", "appdata")
                     .set("to", to)
                     .set("from", a->uri)
                     .set("ctype", text(q->content_type))
                     .set("content", text(q->content)));
        if (receiver) {
            auto *e = event<ox_evt_user_app_data_t>(OX_EVT_USER_APP_DATA);
            e->account_handle = RecordTable::dup(receiver->handle);
            e->from_uri = RecordTable::dup(a->uri);
            e->content_type = RecordTable::dup(text(q->content_type));
            e->content = RecordTable::dup(text(q->content));
            out.add(e);
        }
        return true;
    }
    case OX_REQ_SESSIONGROUP_CREATE: {
        Group g;
        g.handle = newHandle("sessiongroup");
        g.account = a->handle;
        m_groups[g.handle] = g;
        a->groups.push_back(g.handle);
        evGroup(OX_EVT_SESSIONGROUP_ADDED, a->handle, g.handle, out);
        auto *resp = reinterpret_cast<ox_resp_sessiongroup_create_t *>(respond(r, out));
        RecordTable::setText(resp->session_group_handle, g.handle);
        return true;
    }
    case OX_REQ_ACCOUNT_CHANNEL_ADD_ACL:
    case OX_REQ_ACCOUNT_CHANNEL_REMOVE_ACL: {
        auto *q = req<ox_req_account_channel_add_acl_t>(r);
        if (!adminAllowed(r, "acl", lower(text(q->channel_uri)), a->uri, lower(text(q->user_uri)),
                          r->type == OX_REQ_ACCOUNT_CHANNEL_ADD_ACL, out))
            return true;
        Channel &c = channel(lower(text(q->channel_uri)));
        if (r->type == OX_REQ_ACCOUNT_CHANNEL_ADD_ACL)
            addOnce(c.acl, lower(text(q->user_uri)));
        else
            removeAll(c.acl, lower(text(q->user_uri)));
        respond(r, out);
        return true;
    }
    case OX_REQ_ACCOUNT_CHANNEL_ADD_MODERATOR:
    case OX_REQ_ACCOUNT_CHANNEL_REMOVE_MODERATOR: {
        auto *q = req<ox_req_account_channel_add_moderator_t>(r);
        if (!adminAllowed(r, "moderator", lower(text(q->channel_uri)), a->uri, lower(text(q->moderator_uri)),
                          r->type == OX_REQ_ACCOUNT_CHANNEL_ADD_MODERATOR, out))
            return true;
        Channel &c = channel(lower(text(q->channel_uri)));
        if (r->type == OX_REQ_ACCOUNT_CHANNEL_ADD_MODERATOR)
            addOnce(c.moderators, lower(text(q->moderator_uri)));
        else
            removeAll(c.moderators, lower(text(q->moderator_uri)));
        respond(r, out);
        return true;
    }
    case OX_REQ_ACCOUNT_CHANNEL_GET_ACL:
    case OX_REQ_ACCOUNT_CHANNEL_GET_MODERATORS:
    case OX_REQ_CHANNEL_GET_BANNED_USERS:
    case OX_REQ_ACCOUNT_CHANNEL_GET_PARTICIPANTS:
        participantList(r, out);
        return true;
    case OX_REQ_CHANNEL_BAN_USER:
    case OX_REQ_CHANNEL_KICK_USER:
        kickOrBan(r, out);
        return true;
    case OX_REQ_CHANNEL_MUTE_USER: {
        auto *q = req<ox_req_channel_mute_user_t>(r);
        std::string key = lower(text(q->channel_uri));
        std::string who = lower(text(q->participant_uri));
        if (!adminAllowed(r, q->scope == 2 ? "mutetext" : "mute", key, a->uri, who, q->mute ? 1 : 0, out))
            return true;
        Channel &c = channel(key);
        std::set<std::string> &set = q->scope == 2 ? c.mutedText : c.mutedAudio;
        if (q->mute)
            set.insert(who);
        else
            set.erase(who);
        respond(r, out);
        for (const Member &m : c.present)
            if (m.uri == who)
                for (Session *s : sessionsOn(key))
                    evParticipantUpdated(*s, m, out);
        return true;
    }
    case OX_REQ_ACCOUNT_CHANNEL_FAVORITE_SET:
        reinterpret_cast<ox_resp_account_channel_favorite_set_t *>(respond(r, out))->favorite_id = 0;
        return true;
    case OX_REQ_ACCOUNT_CHANNEL_GET_INFO: {
        auto *q = req<ox_req_account_channel_get_info_t>(r);
        auto *resp = reinterpret_cast<ox_resp_account_channel_get_info_t *>(respond(r, out));
        auto *rec = static_cast<ox_channel_record_t *>(calloc(1, sizeof(ox_channel_record_t)));
        rec->uri = RecordTable::dup(text(q->channel_uri));
        rec->display_name = RecordTable::dup("");
        resp->channel = rec;
        return true;
    }
    default: // favourites and blocked users: empty lists
        respond(r, out);
        return true;
    }
}

void World::participantList(ox_req_base_t *r, Outbox &out)
{
    // The four list requests share account and channel as their first fields.
    auto *q = req<ox_req_account_channel_get_acl_t>(r);
    std::string key = lower(text(q->channel_uri));
    // In the shared world the access, moderator and ban lists are the
    // world's: other processes change them.
    if (shared() && r->type != OX_REQ_ACCOUNT_CHANNEL_GET_PARTICIPANTS) {
        auto account = m_accounts.find(text(q->account_handle));
        if (account == m_accounts.end()) {
            respond(r, out, 1001);
            return;
        }
        WireObject reply;
        if (!ask(r, WireObject().set("op", "lists").set("channel", key).set("from", account->second.uri), &reply, out))
            return;
        Channel &c = channel(key);
        c.acl = splitList(reply.text("acl"));
        c.bans = splitList(reply.text("bans"));
        c.moderators = splitList(reply.text("moderators"));
        if (!reply.text("owner").empty())
            c.owner = lower(reply.text("owner"));
    }
    auto it = m_channels.find(key);
    std::vector<ox_participant_record_t *> records;
    int total = 0;
    if (it != m_channels.end()) {
        const Channel &c = it->second;
        switch (r->type) {
        case OX_REQ_ACCOUNT_CHANNEL_GET_ACL:
            for (const std::string &u : c.acl)
                records.push_back(RecordTable::participant(u, displayOf(u), 0, 0));
            break;
        case OX_REQ_CHANNEL_GET_BANNED_USERS:
            for (const std::string &u : c.bans)
                records.push_back(RecordTable::participant(u, displayOf(u), 0, 0));
            break;
        case OX_REQ_ACCOUNT_CHANNEL_GET_MODERATORS:
            if (!c.owner.empty())
                records.push_back(RecordTable::participant(c.owner, displayOf(c.owner), 1, 1));
            for (const std::string &u : c.moderators)
                if (u != c.owner)
                    records.push_back(RecordTable::participant(u, displayOf(u), 1, 0));
            break;
        default: {
            auto *p = req<ox_req_account_channel_get_participants_t>(r);
            total = int(c.present.size());
            int page = p->page < 1 ? 1 : p->page;
            size_t first = 0, count = c.present.size();
            if (p->page_size > 0) {
                first = size_t(page - 1) * size_t(p->page_size);
                count = size_t(p->page_size);
            }
            for (size_t i = first; i < c.present.size() && i < first + count; ++i) {
                const Member &m = c.present[i];
                int type = participantType(&c, m.uri);
                records.push_back(RecordTable::participant(m.uri, m.display, type >= 1, type == 2));
            }
        }
        }
    }
    ox_resp_base_t *resp = respond(r, out);
    auto **array = static_cast<ox_participant_record_t **>(calloc(records.size() + 1, sizeof(void *)));
    std::copy(records.begin(), records.end(), array);
    if (r->type == OX_REQ_ACCOUNT_CHANNEL_GET_PARTICIPANTS) {
        auto *p = reinterpret_cast<ox_resp_account_channel_get_participants_t *>(resp);
        p->total_participant_count = total;
        p->participant_count = int(records.size());
        p->participants = array;
    } else {
        // get_acl, get_moderators and get_banned_users share this layout.
        auto *l = reinterpret_cast<ox_resp_account_channel_get_acl_t *>(resp);
        l->participant_count = int(records.size());
        l->participants = array;
    }
}

void World::memberLeft(const std::string &key, const Member &m, int reason, Outbox &out)
{
    Channel &c = channel(key);
    auto &present = c.present;
    present.erase(std::remove_if(present.begin(), present.end(), [&](const Member &p) { return p.uri == m.uri; }),
                  present.end());
    for (Session *s : sessionsOn(key))
        evParticipantRemoved(*s, m, reason, out);
}

void World::kickOrBan(ox_req_base_t *r, Outbox &out)
{
    // Kick and ban share account, channel and participant as their first fields.
    auto *q = req<ox_req_channel_kick_user_t>(r);
    std::string key = lower(text(q->channel_uri));
    std::string who = lower(text(q->participant_uri));
    if (shared()) {
        Account *a = account(q->account_handle);
        bool ban = r->type == OX_REQ_CHANNEL_BAN_USER;
        if (!adminAllowed(r, ban ? "ban" : "kick", key, a ? a->uri : std::string(), who,
                          ban ? req<ox_req_channel_ban_user_t>(r)->ban : 1, out))
            return;
    }
    Channel &c = channel(key);
    int reason = 2;
    if (r->type == OX_REQ_CHANNEL_BAN_USER) {
        if (!req<ox_req_channel_ban_user_t>(r)->ban) {
            removeAll(c.bans, who);
            respond(r, out);
            return;
        }
        addOnce(c.bans, who);
        reason = 3;
    }
    auto it = std::find_if(c.present.begin(), c.present.end(), [&](const Member &m) { return m.uri == who; });
    if (it != c.present.end()) {
        Member m = *it;
        if (m.simulated) {
            memberLeft(key, m, reason, out);
        } else {
            for (Session *s : sessionsOn(key))
                if (s->account == m.account) {
                    endSession(s->handle, reason, 0, "Kicked", out);
                    break;
                }
        }
    }
    respond(r, out);
}

bool World::handleSessionRequest(ox_req_base_t *r, Outbox &out)
{
    switch (r->type) {
    case OX_REQ_SESSIONGROUP_TERMINATE: {
        std::string g = text(req<ox_req_sessiongroup_terminate_t>(r)->session_group_handle);
        if (!m_groups.count(g)) {
            respond(r, out, 1001);
            return true;
        }
        endGroup(g, out);
        respond(r, out);
        return true;
    }
    case OX_REQ_SESSIONGROUP_ADD_SESSION:
        addSession(r, out);
        return true;
    case OX_REQ_SESSIONGROUP_SET_TX_SESSION: {
        auto *q = req<ox_req_sessiongroup_set_tx_session_t>(r);
        auto g = m_groups.find(text(q->session_group_handle));
        if (g == m_groups.end() || !session(q->session_handle)) {
            respond(r, out, 1001);
            return true;
        }
        g->second.tx = text(q->session_handle);
        respond(r, out);
        return true;
    }
    case OX_REQ_SESSIONGROUP_GET_STATS:
        stats(r, out);
        return true;
    case OX_REQ_SESSION_TERMINATE: {
        std::string h = text(req<ox_req_session_terminate_t>(r)->session_handle);
        if (!m_sessions.count(h)) {
            respond(r, out, 1001);
            return true;
        }
        endSession(h, 0, 0, "", out);
        respond(r, out);
        return true;
    }
    case OX_REQ_SESSION_MEDIA_CONNECT:
    case OX_REQ_SESSION_MEDIA_DISCONNECT: {
        bool connect = r->type == OX_REQ_SESSION_MEDIA_CONNECT;
        Session *s = session(connect ? req<ox_req_session_media_connect_t>(r)->session_handle
                                     : req<ox_req_session_media_disconnect_t>(r)->session_handle);
        if (!s) {
            respond(r, out, 1001);
            return true;
        }
        respond(r, out);
        if (connect && m_captureFailure) {
            evStream(OX_EVT_MEDIA_STREAM_UPDATED, *s, 1, m_captureFailure, ox_get_error_string(m_captureFailure), 0,
                     out);
            return true;
        }
        s->audio = connect;
        Group &g = m_groups[s->group];
        if (connect && g.audioStart < 0)
            g.audioStart = nowSince1601();
        evStream(OX_EVT_MEDIA_STREAM_UPDATED, *s, connect ? 2 : 1, 0, "", 0, out);
        Member self = selfMember(m_accounts[s->account]);
        Session copy = *s;
        if (copy.channel) {
            for (Session *o : sessionsOn(copy.key))
                evParticipantUpdated(*o, self, out);
        } else {
            evParticipantUpdated(copy, self, out);
            if (Account *peer = accountByUri(copy.key))
                if (Session *ps = p2pSession(peer->handle, self.uri))
                    evParticipantUpdated(*ps, self, out);
        }
        return true;
    }
    case OX_REQ_SESSION_SEND_MESSAGE:
        sendMessage(r, out);
        return true;
    case OX_REQ_SESSION_SEND_NOTIFICATION:
        sendNotification(r, out);
        return true;
    case OX_REQ_SESSION_MUTE_LOCAL_SPEAKER:
        respond(r, out, session(req<ox_req_session_mute_local_speaker_t>(r)->session_handle) ? 0 : 1001);
        return true;
    case OX_REQ_SESSION_SET_PARTICIPANT_MUTE_FOR_ME:
    case OX_REQ_SESSION_SET_PARTICIPANT_VOLUME_FOR_ME: {
        bool mute = r->type == OX_REQ_SESSION_SET_PARTICIPANT_MUTE_FOR_ME;
        auto *qm = req<ox_req_session_set_participant_mute_for_me_t>(r);
        auto *qv = req<ox_req_session_set_participant_volume_for_me_t>(r);
        Session *s = session(mute ? qm->session_handle : qv->session_handle);
        std::string who = lower(text(mute ? qm->participant_uri : qv->participant_uri));
        if (!s || who.empty()) {
            respond(r, out, 1001);
            return true;
        }
        if (mute && qm->scope == 1) {
            if (qm->mute)
                m_localMutes.insert({s->account, who});
            else
                m_localMutes.erase({s->account, who});
        } else if (!mute) {
            m_volumes[{s->account, who}] = std::max(0, std::min(100, qv->volume));
        }
        respond(r, out);
        if (mute && qm->scope != 1)
            return true;
        for (const Member &m : members(*s))
            if (m.uri == who)
                evParticipantUpdated(*s, m, out);
        return true;
    }
    default:
        return false;
    }
}

void World::addSession(ox_req_base_t *r, Outbox &out)
{
    auto *q = req<ox_req_sessiongroup_add_session_t>(r);
    auto g = m_groups.find(text(q->session_group_handle));
    std::string uri = text(q->uri);
    std::string key = lower(uri);
    if (g == m_groups.end() || key.empty() || !m_accounts.count(g->second.account)) {
        respond(r, out, 1001);
        return;
    }
    for (const std::string &h : g->second.sessions)
        if (m_sessions[h].key == key) {
            respond(r, out, 1004, "Object already exists.");
            return;
        }
    Account &a = m_accounts[g->second.account];
    Session s;
    s.handle = newHandle("session");
    s.group = g->second.handle;
    s.account = a.handle;
    s.uri = uri;
    s.key = key;
    s.channel = isChannelUri(key);
    bool wantAudio = q->connect_audio != 0;
    bool wantText = q->connect_text != 0;

    std::string display;
    Channel *c = nullptr;
    if (s.channel) {
        c = &channel(key);
        display = c->name.empty() ? userPart(uri) : c->name;
    } else {
        display = displayOf(key);
    }
    // In the shared world the world decides on a channel join before the
    // session is announced: a world that does not answer fails the request
    // (its one answer) and no session is left behind.
    WireObject reply;
    if (c && shared()
        && !ask(r,
                WireObject()
                    .set("op", "join")
                    .set("channel", key)
                    .set("uri", a.uri)
                    .set("name", a.display)
                    .set("password", text(q->password))
                    .set("audio", wantAudio ? 1 : 0),
                &reply, out))
        return;
    evSessionAdded(s, 0, display, out);
    auto *resp = reinterpret_cast<ox_resp_sessiongroup_add_session_t *>(respond(r, out));
    RecordTable::setText(resp->session_handle, s.handle);

    if (c && shared()) {
        if (reply.number("status")) {
            std::string why = reply.text("text");
            evStream(wantAudio ? OX_EVT_MEDIA_STREAM_UPDATED : OX_EVT_TEXT_STREAM_UPDATED, s, 1,
                     int(reply.number("status")), why, 0, out);
            evSessionRemoved(s, out);
            return;
        }
        c->owner = lower(reply.text("owner"));
    } else if (c) {
        int code = 0;
        const char *why = nullptr;
        bool privileged = c->owner == a.uri || contains(c->moderators, a.uri);
        if (!c->exists) {
            code = 404;
            why = "Not Found";
        } else if (contains(c->bans, a.uri)) {
            code = 403;
            why = "Forbidden (494)";
        } else if (c->aclEnforced && !contains(c->acl, a.uri) && !privileged) {
            code = 403;
            why = "Forbidden (494)";
        } else if (!c->password.empty() && c->password != text(q->password)) {
            code = 401;
            why = "Password required";
        } else if (int(c->present.size()) >= c->max) {
            code = 403;
            why = "Channel full (494)";
        }
        if (code) {
            evStream(wantAudio ? OX_EVT_MEDIA_STREAM_UPDATED : OX_EVT_TEXT_STREAM_UPDATED, s, 1, code, why, 0, out);
            evSessionRemoved(s, out);
            return;
        }
        if (c->owner.empty())
            c->owner = a.uri;
    }

    g->second.sessions.push_back(s.handle);
    s.text = wantText;
    if (wantAudio && !m_captureFailure)
        s.audio = true;
    if (s.audio && g->second.audioStart < 0)
        g->second.audioStart = nowSince1601();

    // Who is there before we arrive.
    Account *peerAccount = nullptr;
    if (!s.channel) {
        peerAccount = accountByUri(key);
        if (peerAccount && peerAccount->handle != a.handle) {
            s.peers.push_back(selfMember(*peerAccount));
        } else if (!peerAccount) {
            auto u = m_users.find(key);
            if (u != m_users.end() && u->second.presence != 0) {
                Member m;
                m.uri = key;
                m.display = u->second.display;
                s.peers.push_back(m);
            }
        }
    }
    m_sessions[s.handle] = s;
    joinedSequence(m_sessions[s.handle], wantAudio, out);
    if (peerAccount && peerAccount->handle != a.handle && !p2pSession(peerAccount->handle, a.uri))
        incomingP2P(*peerAccount, a, out);
    if (!s.channel && !peerAccount && remoteUser(key))
        tell(WireObject().set("op", "call").set("to", key).set("from", a.uri).set("name", a.display));
}

void World::joinedSequence(Session &s, bool audioRequested, Outbox &out)
{
    Member self = selfMember(m_accounts[s.account]);
    if (s.text)
        evStream(OX_EVT_TEXT_STREAM_UPDATED, s, 2, 0, "", 0, out);
    if (s.audio)
        evStream(OX_EVT_MEDIA_STREAM_UPDATED, s, 2, 0, "", 0, out);
    else if (audioRequested && m_captureFailure)
        // The microphone cannot be opened: the session stays text-only.
        evStream(OX_EVT_MEDIA_STREAM_UPDATED, s, 1, m_captureFailure, ox_get_error_string(m_captureFailure), 0, out);
    std::vector<Member> before;
    if (s.channel) {
        const Channel &c = channel(s.key);
        for (const Member &m : c.present)
            if (m.simulated)
                before.push_back(m);
        for (const Member &m : c.present)
            if (!m.simulated)
                before.push_back(m);
    } else {
        before = s.peers;
    }
    evParticipantAdded(s, self, out);
    for (const Member &m : before)
        evParticipantAdded(s, m, out);
    evParticipantUpdated(s, self, out);
    for (const Member &m : before)
        evParticipantUpdated(s, m, out);
    if (s.channel) {
        std::vector<Session *> others = sessionsOn(s.key);
        channel(s.key).present.push_back(self);
        for (Session *o : others) {
            evParticipantAdded(*o, self, out);
            evParticipantUpdated(*o, self, out);
        }
    }
}

World::Session &World::incomingP2P(Account &callee, Account &caller, Outbox &out)
{
    Group g;
    g.handle = newHandle("sessiongroup");
    g.account = callee.handle;
    Session s;
    s.handle = newHandle("session");
    s.group = g.handle;
    s.account = callee.handle;
    s.uri = caller.uri;
    s.key = caller.uri;
    s.text = true;
    s.peers.push_back(selfMember(caller));
    g.sessions.push_back(s.handle);
    m_groups[g.handle] = g;
    callee.groups.push_back(g.handle);
    m_sessions[s.handle] = s;
    evGroup(OX_EVT_SESSIONGROUP_ADDED, callee.handle, g.handle, out);
    evSessionAdded(s, 1, caller.display, out);
    evStream(OX_EVT_TEXT_STREAM_UPDATED, s, 2, 0, "", 1, out);
    evParticipantAdded(s, selfMember(callee), out);
    evParticipantAdded(s, selfMember(caller), out);
    return m_sessions[s.handle];
}

void World::deliverMessage(Session &target, const std::string &sender, const std::string &body, Outbox &out)
{
    evMessage(target, sender, body, out);
}

void World::sendMessage(ox_req_base_t *r, Outbox &out)
{
    auto *q = req<ox_req_session_send_message_t>(r);
    Session *s = session(q->session_handle);
    if (!s) {
        respond(r, out, 1001);
        return;
    }
    Account &a = m_accounts[s->account];
    std::string body = text(q->message_body);
    if (s->channel) {
        respond(r, out, 200, "OK");
        if (shared())
            tell(WireObject().set("op", "say").set("to", s->key).set("from", a.uri).set("text", body));
        std::vector<Session *> all = sessionsOn(s->key);
        for (Session *o : all)
            if (o->account != a.handle)
                evMessage(*o, a.uri, body, out);
        const Channel &c = channel(s->key);
        bool echo =
            std::any_of(c.present.begin(), c.present.end(), [&](const Member &m) { return m.uri == m_echoUri; });
        if (echo && !m_echoUri.empty())
            for (Session *o : all)
                evMessage(*o, m_echoUri, body, out);
        return;
    }
    if (Account *peer = accountByUri(s->key)) {
        respond(r, out, 200, "OK");
        Session *ps = p2pSession(peer->handle, a.uri);
        if (!ps)
            ps = &incomingP2P(*peer, a, out);
        evMessage(*ps, a.uri, body, out);
        return;
    }
    auto u = m_users.find(s->key);
    if (u != m_users.end() && u->second.presence != 0) {
        respond(r, out, 200, "OK");
        if (remoteUser(s->key))
            tell(WireObject().set("op", "say").set("to", s->key).set("from", a.uri).set("text", body));
        if (s->key == m_echoUri)
            evMessage(*s, m_echoUri, body, out);
        return;
    }
    respond(r, out, 202, "Accepted");
    if (shared()) // the world keeps it for the peer's next sign-in
        tell(WireObject().set("op", "say").set("to", s->key).set("from", a.uri).set("text", body));
}

void World::sendNotification(ox_req_base_t *r, Outbox &out)
{
    auto *q = req<ox_req_session_send_notification_t>(r);
    Session *s = session(q->session_handle);
    if (!s) {
        respond(r, out, 1001);
        return;
    }
    Account &a = m_accounts[s->account];
    respond(r, out);
    if (s->channel ? shared() : remoteUser(s->key))
        tell(WireObject().set("op", "typing").set("to", s->key).set("from", a.uri).set("type", q->notification_type));
    std::vector<Session *> targets;
    if (s->channel) {
        for (Session *o : sessionsOn(s->key))
            if (o->account != a.handle)
                targets.push_back(o);
    } else if (Account *peer = accountByUri(s->key)) {
        if (Session *ps = p2pSession(peer->handle, a.uri))
            targets.push_back(ps);
    }
    for (Session *t : targets) {
        auto *e = event<ox_evt_session_notification_t>(OX_EVT_SESSION_NOTIFICATION);
        e->session_handle = RecordTable::dup(t->handle);
        e->participant_uri = RecordTable::dup(a.uri);
        e->notification_type = q->notification_type;
        out.add(e);
    }
}

void World::stats(ox_req_base_t *r, Outbox &out)
{
    auto g = m_groups.find(text(req<ox_req_sessiongroup_get_stats_t>(r)->session_group_handle));
    if (g == m_groups.end()) {
        respond(r, out, 1001);
        return;
    }
    auto *resp = reinterpret_cast<ox_resp_sessiongroup_get_stats_t *>(respond(r, out));
    ox_call_stats_t &st = resp->stats;
    std::free(st.call_id);
    std::free(st.codec_name);
    st.call_id = st.codec_name = nullptr;
    if (m_hasNextStats) {
        st = m_nextStats;
        st.call_id = RecordTable::dup(m_nextStatsCallId);
        st.codec_name = RecordTable::dup(m_nextStatsCodec);
        m_hasNextStats = false;
        return;
    }
    int n = ++g->second.statsCount;
    bool audio = false;
    for (const std::string &h : g->second.sessions)
        audio = audio || m_sessions[h].audio;
    if (audio) {
        st.current_bars = 5;
        st.packets_sent = st.packets_received = 50 * n;
        st.min_latency = 20.0;
        st.max_latency = 40.0;
        st.last_latency_measured = 30.0;
        st.latency_count = n;
        st.latency_sum = 30.0 * n;
        st.r_factor = 90.0;
        st.call_start_time = g->second.audioStart;
    } else {
        st.min_latency = st.max_latency = st.last_latency_measured = -1;
        st.call_start_time = g->second.audioStart < 0 ? nowSince1601() : g->second.audioStart;
    }
    st.call_end_time = nowSince1601();
    st.call_id = RecordTable::dup("call-" + g->second.handle);
    st.codec_name = RecordTable::dup("standin-pcm16");
}

void World::deviceList(ox_req_base_t *r, DeviceList &list, Outbox &out)
{
    // Render and capture list responses share one layout.
    auto *resp = reinterpret_cast<ox_resp_aux_get_capture_devices_t *>(respond(r, out));
    resp->device_count = int(list.devices.size());
    resp->devices = static_cast<ox_device_t **>(calloc(list.devices.size() + 1, sizeof(void *)));
    const Device *current = nullptr;
    const Device *osDefault = nullptr;
    for (size_t i = 0; i < list.devices.size(); ++i) {
        const Device &d = list.devices[i];
        resp->devices[i] = RecordTable::device(d.id, d.name, d.type);
        if (d.id == list.current)
            current = &d;
        if (d.id == list.osDefault)
            osDefault = &d;
    }
    Device system{kSystemDevice, kSystemDevice, 0};
    if (!current)
        current = &system;
    if (!osDefault)
        osDefault = current;
    const Device *effective = current->id == kSystemDevice ? osDefault : current;
    resp->current_device = RecordTable::device(current->id, current->name, current->type);
    resp->effective_device = RecordTable::device(effective->id, effective->name, effective->type);
    resp->default_device = RecordTable::device(osDefault->id, osDefault->name, osDefault->type);
}

bool World::handleAuxRequest(ox_req_base_t *r, Outbox &out)
{
    switch (r->type) {
    case OX_REQ_AUX_GET_CAPTURE_DEVICES:
        deviceList(r, m_capture, out);
        return true;
    case OX_REQ_AUX_GET_RENDER_DEVICES:
        deviceList(r, m_render, out);
        return true;
    case OX_REQ_AUX_SET_CAPTURE_DEVICE:
    case OX_REQ_AUX_SET_RENDER_DEVICE: {
        DeviceList &list = r->type == OX_REQ_AUX_SET_CAPTURE_DEVICE ? m_capture : m_render;
        std::string id = text(req<ox_req_aux_set_capture_device_t>(r)->device_id);
        bool known = std::any_of(list.devices.begin(), list.devices.end(), [&](const Device &d) { return d.id == id; });
        if (!known) {
            respond(r, out, 1001);
            return true;
        }
        list.current = id;
        respond(r, out);
        return true;
    }
    case OX_REQ_AUX_GET_MIC_LEVEL:
    case OX_REQ_AUX_GET_SPEAKER_LEVEL: {
        auto *resp = reinterpret_cast<ox_resp_aux_get_mic_level_t *>(respond(r, out));
        resp->level = r->type == OX_REQ_AUX_GET_MIC_LEVEL ? m_micLevel : m_speakerLevel;
        return true;
    }
    case OX_REQ_AUX_SET_MIC_LEVEL:
        m_micLevel = req<ox_req_aux_set_mic_level_t>(r)->level;
        respond(r, out);
        return true;
    case OX_REQ_AUX_SET_SPEAKER_LEVEL:
        m_speakerLevel = req<ox_req_aux_set_speaker_level_t>(r)->level;
        respond(r, out);
        return true;
    case OX_REQ_AUX_CAPTURE_AUDIO_START:
        if (m_captureFailure) {
            respond(r, out, m_captureFailure);
            return true;
        }
        m_captureRunning = true;
        m_captureLoop = req<ox_req_aux_capture_audio_start_t>(r)->loop_to_render != 0;
        respond(r, out);
        return true;
    case OX_REQ_AUX_CAPTURE_AUDIO_STOP:
    case OX_REQ_AUX_RENDER_AUDIO_STOP: {
        bool wasRunning = metersRunning();
        if (r->type == OX_REQ_AUX_CAPTURE_AUDIO_STOP)
            m_captureRunning = m_captureLoop = false;
        else
            m_renderRunning = false;
        respond(r, out);
        if (wasRunning && !metersRunning())
            evAudio(0, 0, out);
        return true;
    }
    case OX_REQ_AUX_RENDER_AUDIO_START: {
        struct stat info {
        };
        const char *path = req<ox_req_aux_render_audio_start_t>(r)->sound_file_path;
        if (!path || ::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) {
            respond(r, out, 1043);
            return true;
        }
        m_renderRunning = true;
        respond(r, out);
        return true;
    }
    case OX_REQ_AUX_GET_VAD_PROPERTIES: {
        auto *resp = reinterpret_cast<ox_resp_aux_get_vad_properties_t *>(respond(r, out));
        resp->hangover_ms = m_vadHangover;
        resp->sensitivity = m_vadSensitivity;
        resp->noise_floor = m_vadNoiseFloor;
        return true;
    }
    case OX_REQ_AUX_SET_VAD_PROPERTIES: {
        auto *q = req<ox_req_aux_set_vad_properties_t>(r);
        if (q->hangover_ms >= 0)
            m_vadHangover = q->hangover_ms;
        if (q->sensitivity >= 0)
            m_vadSensitivity = q->sensitivity;
        if (q->noise_floor >= 0)
            m_vadNoiseFloor = q->noise_floor;
        respond(r, out);
        return true;
    }
    case OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE: {
        auto *q = req<ox_req_aux_global_monitor_keyboard_mouse_t>(r);
        std::string name = text(q->binding_name);
        if (q->key_count < 0 || q->key_count > OX_MAX_KEY_CODES || name.empty()) {
            respond(r, out, 1001);
            return true;
        }
        if (q->key_count == 0)
            m_bindings.erase(name);
        else
            m_bindings[name] = std::vector<int>(q->key_codes, q->key_codes + q->key_count);
        respond(r, out);
        return true;
    }
    default:
        return false;
    }
}

// ---------------------------------------------------------------- control

void World::setNetwork(bool up, Outbox &out)
{
    if (m_networkUp == up)
        return;
    m_networkUp = up;
    if (up)
        return;
    std::vector<std::string> order = m_loginOrder;
    for (const std::string &h : order)
        endLogin(h, 10007, kNetworkLost, false, out); // every login ends: nobody is left to tell
}

void World::rejectToken(const std::string &token, int status, const std::string &t)
{
    if (status == 0)
        m_rejectedTokens.erase(token);
    else
        m_rejectedTokens[token] = {status, t};
}

void World::mapToken(const std::string &token, const std::string &uri, const std::string &displayName)
{
    m_mappedTokens[token] = {uri, displayName};
}

void World::userSet(const std::string &uri, const std::string &name, int presence, const std::string &message,
                    Outbox &out)
{
    std::string key = lower(uri);
    m_users[key] = SimUser{key, name.empty() ? userPart(uri) : name, presence, message};
    notifyWatchers(key, presence, message, out);
}

void World::channelConfigure(const std::string &uri, const char *name, const char *password, int aclEnforced,
                             int exists, int max)
{
    Channel &c = channel(lower(uri));
    c.name = text(name);
    c.password = text(password);
    c.aclEnforced = aclEnforced != 0;
    c.exists = exists != 0;
    c.max = max > 0 ? max : 100;
}

void World::channelSetOwner(const std::string &ch, const std::string &owner)
{
    channel(lower(ch)).owner = lower(owner);
}

void World::channelJoin(const std::string &ch, const std::string &uri, const std::string &name, bool audio, Outbox &out)
{
    std::string key = lower(ch);
    Channel &c = channel(key);
    Member m;
    m.uri = lower(uri);
    m.display = name.empty() ? displayOf(uri) : name;
    m.audio = audio;
    for (const Member &p : c.present)
        if (p.uri == m.uri)
            return;
    std::vector<Session *> here = sessionsOn(key);
    c.present.push_back(m);
    for (Session *s : here) {
        evParticipantAdded(*s, m, out);
        evParticipantUpdated(*s, m, out);
    }
}

void World::channelLeave(const std::string &ch, const std::string &uri, int reason, Outbox &out)
{
    std::string key = lower(ch);
    std::string who = lower(uri);
    Channel &c = channel(key);
    for (const Member &m : c.present) {
        if (m.uri != who)
            continue;
        if (m.simulated) {
            Member copy = m;
            memberLeft(key, copy, reason, out);
        } else {
            for (Session *s : sessionsOn(key))
                if (s->account == m.account) {
                    endSession(s->handle, reason, 0, "", out);
                    break;
                }
        }
        return;
    }
}

void World::participantUpdate(const std::string &where, const std::string &uri, int speaking, int muted, double energy,
                              Outbox &out)
{
    std::string key = lower(where);
    std::string who = lower(uri);
    if (isChannelUri(key)) {
        Channel &c = channel(key);
        if (muted)
            c.mutedAudio.insert(who);
        else
            c.mutedAudio.erase(who);
        for (Member &m : c.present)
            if (m.uri == who) {
                m.speaking = speaking;
                m.energy = energy;
                Member copy = m;
                for (Session *s : sessionsOn(key))
                    evParticipantUpdated(*s, copy, out);
            }
        return;
    }
    for (auto &entry : m_sessions) {
        Session &s = entry.second;
        if (s.channel || s.key != key)
            continue;
        for (Member &m : s.peers)
            if (m.uri == who) {
                m.speaking = speaking;
                m.energy = energy;
                evParticipantUpdated(s, m, out);
            }
    }
}

void World::say(const std::string &uri, const std::string &from, const std::string &t, Outbox &out)
{
    std::string key = lower(uri);
    if (isChannelUri(key)) {
        for (Session *s : sessionsOn(key))
            evMessage(*s, lower(from), t, out);
        return;
    }
    Account *a = accountByUri(key);
    if (!a)
        return;
    Session *s = p2pSession(a->handle, lower(from));
    if (!s)
        s = &incomingFrom(*a, from, out);
    evMessage(*s, lower(from), t, out);
}

World::Session &World::incomingFrom(Account &callee, const std::string &from, Outbox &out)
{
    Account caller;
    caller.uri = lower(from);
    caller.display = displayOf(from);
    if (Account *real = accountByUri(from))
        caller = *real;
    Session &s = incomingP2P(callee, caller, out);
    if (!accountByUri(from)) {
        // A simulated caller is a simulated member, not an account.
        s.peers.clear();
        Member m;
        m.uri = lower(from);
        m.display = caller.display;
        m.remote = remoteUser(m.uri);
        s.peers.push_back(m);
    }
    return s;
}

void World::typing(const std::string &uri, const std::string &from, int type, Outbox &out)
{
    std::string key = lower(uri);
    std::vector<Session *> targets;
    if (isChannelUri(key)) {
        targets = sessionsOn(key);
    } else if (Account *a = accountByUri(key)) {
        if (Session *s = p2pSession(a->handle, lower(from)))
            targets.push_back(s);
    }
    for (Session *s : targets) {
        auto *e = event<ox_evt_session_notification_t>(OX_EVT_SESSION_NOTIFICATION);
        e->session_handle = RecordTable::dup(s->handle);
        e->participant_uri = RecordTable::dup(lower(from));
        e->notification_type = type;
        out.add(e);
    }
}

bool World::sendAppData(const std::string &to, const std::string &from, const std::string &content, Outbox &out)
{
    Account *a = accountByUri(to);
    if (!a)
        return false;
    auto *e = event<ox_evt_user_app_data_t>(OX_EVT_USER_APP_DATA);
    e->account_handle = RecordTable::dup(a->handle);
    e->from_uri = RecordTable::dup(from);
    e->content_type = RecordTable::dup("text/plain");
    e->content = RecordTable::dup(content);
    out.add(e);
    return true;
}

static std::string jsonString(const std::string &s)
{
    std::string result = "\"";
    for (char ch : s) {
        switch (ch) {
        case '"':
            result += "\\\"";
            break;
        case '\\':
            result += "\\\\";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(ch) < 0x20) {
                char buf[8];
                snprintf(buf, sizeof buf, "\\u%04x", ch);
                result += buf;
            } else {
                result += ch;
            }
        }
    }
    return result + "\"";
}

bool World::sendServerAppData(const std::string &to, const std::string &ctype, const std::string &content, Outbox &out)
{
    Account *a = accountByUri(to);
    if (!a)
        return false;
    auto *e = event<ox_evt_server_app_data_t>(OX_EVT_SERVER_APP_DATA);
    e->account_handle = RecordTable::dup(a->handle);
    e->content_type = RecordTable::dup("application/json");
    e->content = RecordTable::dup("{\"ctype\":" + jsonString(ctype) + ",\"content\":" + jsonString(content) + "}");
    out.add(e);
    return true;
}

bool World::subscription(const std::string &to, const std::string &from, const std::string &name, Outbox &out)
{
    Account *a = accountByUri(to);
    if (!a)
        return false;
    auto *e = event<ox_evt_subscription_t>(OX_EVT_SUBSCRIPTION);
    e->account_handle = RecordTable::dup(a->handle);
    e->buddy_uri = RecordTable::dup(from);
    e->display_name = RecordTable::dup(name);
    e->subscription_handle = RecordTable::dup(newHandle("subscription"));
    out.add(e);
    return true;
}

void World::setDevices(int kind, const oxc_device_spec_t *devices, int count, const std::string &osDefault, Outbox &out)
{
    DeviceList &list = kind == 0 ? m_capture : m_render;
    list.devices.clear();
    for (int i = 0; devices && i < count; ++i)
        list.devices.push_back(Device{text(devices[i].id), text(devices[i].name), devices[i].type});
    list.osDefault = osDefault;
    bool currentKnown =
        std::any_of(list.devices.begin(), list.devices.end(), [&](const Device &d) { return d.id == list.current; });
    if (!currentKnown)
        list.current = kSystemDevice;
    auto *e = event<ox_evt_audio_device_hot_swap_t>(OX_EVT_AUDIO_DEVICE_HOT_SWAP);
    e->device_kind = kind == 0 ? 0 : 1;
    out.add(e);
}

bool World::keyEvent(const std::string &binding, bool down, Outbox &out)
{
    auto *e = event<ox_evt_keyboard_mouse_t>(OX_EVT_KEYBOARD_MOUSE);
    e->binding_name = RecordTable::dup(binding);
    e->is_down = down ? 1 : 0;
    out.add(e);
    if (!m_bindings.count(binding))
        return false;
    if (down)
        m_heldBindings.insert(binding);
    else
        m_heldBindings.erase(binding);
    updateSpeaking(out);
    return true;
}

void World::meterTick(Outbox &out)
{
    static const double cycle[] = {0.05, 0.25, 0.60, 0.35};
    double level = cycle[m_tick % 4];
    ++m_tick;
    evAudio(m_captureRunning ? level : 0, (m_renderRunning || (m_captureRunning && m_captureLoop)) ? level : 0, out);
}

void World::setNextStats(const ox_call_stats_t *st)
{
    if (!st) {
        m_hasNextStats = false;
        return;
    }
    m_nextStats = *st;
    m_nextStatsCallId = text(st->call_id);
    m_nextStatsCodec = text(st->codec_name);
    m_nextStats.call_id = m_nextStats.codec_name = nullptr;
    m_hasNextStats = true;
}

// ---------------------------------------------------------------- shared world

bool World::ensureLink()
{
    if (!shared())
        return true;
    if (m_link && m_link->isOpen())
        return true;
    if (!m_link)
        m_link.reset(new WorldLink(
            [](const WireObject &m) {
                SdkCore::instance().postIfRunning([m](World &w, Outbox &out) { w.applyRemote(m, out); });
            },
            [] { SdkCore::instance().postIfRunning([](World &w, Outbox &out) { w.worldLost(out); }); }));
    std::string error;
    if (!m_link->open(m_worldAddress, kWorldConnectMs, &error)) {
        OXLOG(LogWarning, "ox.world", "Cannot reach the world at " + m_worldAddress + ": " + error);
        return false;
    }
    // The world tells a connection nothing before it signs in: who is
    // signed in comes with the answer to a sign-in, who is in a channel
    // with the answer to joining it.
    WireObject reply;
    if (!m_link->request(WireObject().set("op", "hello"), &reply, m_worldReplyMs)) {
        OXLOG(LogWarning, "ox.world", "The world at " + m_worldAddress + " does not answer");
        m_link->close();
        return false;
    }
    OXLOG(LogInfo, "ox.world", "Joined the world at " + m_worldAddress);
    return true;
}

void World::tell(const WireObject &message)
{
    if (m_link && m_link->isOpen())
        m_link->send(message);
}

bool World::ask(ox_req_base_t *r, const WireObject &message, WireObject *reply, Outbox &out)
{
    if (ensureLink()) {
        if (m_link->request(message, reply, m_worldReplyMs))
            return true;
        // The world may still carry out a request it did not answer in time
        // (a sign-in it then holds while this process reports it failed, so
        // that every later sign-in is refused as a second one). Dropping the
        // link makes the world forget this process, and this process forgets
        // the world as on any loss; the next request joins it again afresh.
        if (m_link->isOpen()) {
            OXLOG(LogWarning, "ox.world",
                  "The world at " + m_worldAddress + " did not answer a " + message.text("op") + " in time");
            worldLost(out);
        }
    }
    respond(r, out, 10007);
    return false;
}

std::vector<std::string> World::splitList(const std::string &commaSeparated)
{
    std::vector<std::string> items;
    size_t from = 0;
    while (from <= commaSeparated.size()) {
        size_t comma = commaSeparated.find(',', from);
        if (comma == std::string::npos)
            comma = commaSeparated.size();
        if (comma > from)
            addOnce(items, lower(commaSeparated.substr(from, comma - from)));
        from = comma + 1;
    }
    return items;
}

bool World::remoteUser(const std::string &uri) const
{
    auto u = m_users.find(lower(uri));
    return m_remoteUsers.count(lower(uri)) && u != m_users.end() && u->second.presence != 0;
}

bool World::adminAllowed(ox_req_base_t *r, const std::string &kind, const std::string &ch, const std::string &from,
                         const std::string &who, long long value, Outbox &out)
{
    if (!shared())
        return true;
    WireObject reply;
    if (!ask(r,
             WireObject()
                 .set("op", "admin")
                 .set("kind", kind)
                 .set("channel", ch)
                 .set("from", from)
                 .set("who", who)
                 .set("value", value),
             &reply, out))
        return false;
    if (int status = int(reply.number("status"))) {
        respond(r, out, status, reply.text("text").empty() ? nullptr : reply.text("text").c_str());
        return false;
    }
    return true;
}

void World::updateSpeaking(Outbox &out)
{
    // An account speaks while a registered push-to-talk binding is held, or
    // a simulated voice is on, with the microphone open.
    bool speaking = (!m_heldBindings.empty() || m_simulatedVoice) && !m_micMuted;
    if (speaking == m_speaking)
        return;
    m_speaking = speaking;
    for (auto &entry : m_sessions) {
        Session &s = entry.second;
        if (!s.channel || !s.audio)
            continue;
        const std::string uri = m_accounts[s.account].uri;
        for (Member &m : channel(s.key).present)
            if (!m.simulated && m.account == s.account) {
                m.speaking = speaking ? 1 : 0;
                m.energy = speaking ? 0.6 : 0;
                Member copy = m;
                for (Session *o : sessionsOn(s.key))
                    evParticipantUpdated(*o, copy, out);
            }
        if (shared())
            tell(WireObject()
                     .set("op", "speak")
                     .set("channel", s.key)
                     .set("uri", uri)
                     .set("speaking", speaking ? 1 : 0));
    }
}

void World::applyRemote(const WireObject &m, Outbox &out)
{
    const std::string op = m.text("op");
    if (op == "user") {
        std::string uri = lower(m.text("uri"));
        if (accountByUri(uri))
            return; // our own account, seen from the world
        m_remoteUsers.insert(uri);
        auto known = m_users.find(uri);
        if (known != m_users.end() && known->second.presence == int(m.number("presence"))
            && known->second.message == m.text("message"))
            return; // nothing new to tell
        userSet(uri, m.text("name"), int(m.number("presence")), m.text("message"), out);
    } else if (op == "joined") {
        std::string key = lower(m.text("channel"));
        std::string uri = lower(m.text("uri"));
        if (accountByUri(uri))
            return;
        if (!m.text("owner").empty())
            channel(key).owner = lower(m.text("owner"));
        m_remoteUsers.insert(uri);
        channelJoin(key, uri, m.text("name"), m.number("audio") != 0, out);
        for (Member &p : channel(key).present)
            if (p.uri == uri)
                p.remote = true;
    } else if (op == "left") {
        int reason = int(m.number("reason"));
        std::string key = lower(m.text("channel"));
        std::string who = lower(m.text("uri"));
        if (Account *a = accountByUri(who)) {
            // Our account was removed by someone else: kicked or banned.
            for (Session *s : sessionsOn(key))
                if (s->account == a->handle) {
                    endSession(s->handle, reason, 0, reason >= 2 ? "Kicked" : "", out);
                    break;
                }
            return;
        }
        channelLeave(key, who, reason, out);
    } else if (op == "owner") {
        channel(lower(m.text("channel"))).owner = lower(m.text("owner"));
    } else if (op == "say") {
        if (!accountByUri(m.text("from")))
            say(m.text("to"), m.text("from"), m.text("text"), out);
    } else if (op == "typing") {
        typing(m.text("to"), m.text("from"), int(m.number("type")), out);
    } else if (op == "call") {
        Account *callee = accountByUri(m.text("to"));
        if (callee && !p2pSession(callee->handle, lower(m.text("from"))))
            incomingFrom(*callee, m.text("from"), out);
    } else if (op == "appdata") {
        if (Account *a = accountByUri(m.text("to"))) {
            auto *e = event<ox_evt_user_app_data_t>(OX_EVT_USER_APP_DATA);
            e->account_handle = RecordTable::dup(a->handle);
            e->from_uri = RecordTable::dup(lower(m.text("from")));
            e->content_type = RecordTable::dup(m.text("ctype"));
            e->content = RecordTable::dup(m.text("content"));
            out.add(e);
        }
    } else if (op == "speak" || op == "muted") {
        std::string key = lower(m.text("channel"));
        std::string who = lower(m.text("uri"));
        Channel &c = channel(key);
        if (op == "muted") {
            std::set<std::string> &set = m.text("scope") == "text" ? c.mutedText : c.mutedAudio;
            if (m.number("mute"))
                set.insert(who);
            else
                set.erase(who);
        }
        for (Member &p : c.present)
            if (p.uri == who) {
                if (op == "speak") {
                    p.speaking = int(m.number("speaking"));
                    p.energy = p.speaking ? 0.6 : 0;
                }
                Member copy = p;
                for (Session *s : sessionsOn(key))
                    evParticipantUpdated(*s, copy, out);
            }
    } else if (op == "buddy") {
        // A friend edge written through the web service.
        Account *a = accountByUri(m.text("owner"));
        if (!a)
            return;
        std::string buddy = lower(m.text("buddy"));
        Profile &profile = m_profiles[a->uri];
        auto it = std::find_if(profile.buddies.begin(), profile.buddies.end(),
                               [&](const std::pair<std::string, int> &b) { return b.first == buddy; });
        bool add = m.number("add") != 0;
        if (add == (it != profile.buddies.end()))
            return;
        if (add)
            profile.buddies.emplace_back(buddy, ++m_buddyIds);
        else
            profile.buddies.erase(it);
        auto *e = event<ox_evt_buddy_and_group_list_changed_t>(OX_EVT_BUDDY_AND_GROUP_LIST_CHANGED);
        e->account_handle = RecordTable::dup(a->handle);
        e->buddy_count = int(profile.buddies.size());
        e->buddies = static_cast<ox_buddy_record_t **>(calloc(profile.buddies.size() + 1, sizeof(void *)));
        for (size_t i = 0; i < profile.buddies.size(); ++i)
            e->buddies[i] = RecordTable::buddy(profile.buddies[i].first, displayOf(profile.buddies[i].first), "",
                                               profile.buddies[i].second);
        out.add(e);
        if (add)
            evPresence(a->handle, buddy, presenceOf(buddy), messageOf(buddy), out);
    } else if (op == "hangup") {
        // A peer in another process ended its private chat with one of ours.
        Account *callee = accountByUri(m.text("to"));
        Session *ps = callee ? p2pSession(callee->handle, lower(m.text("from"))) : nullptr;
        if (!ps)
            return;
        Member peer;
        peer.uri = lower(m.text("from"));
        peer.display = displayOf(peer.uri);
        peer.simulated = false;
        peer.remote = true;
        evParticipantRemoved(*ps, peer, int(m.number("reason")), out);
        ps->peers.clear();
    } else if (op == "serverdata") {
        sendServerAppData(m.text("to"), m.text("ctype"), m.text("content"), out);
    } else if (op == "notice") {
        Account *a = accountByUri(m.text("to"));
        if (!a)
            return;
        auto *e = event<ox_evt_network_message_t>(OX_EVT_NETWORK_MESSAGE);
        e->account_handle = RecordTable::dup(a->handle);
        e->message_type = int(m.number("type"));
        e->sender_uri = RecordTable::dup(lower(m.text("from")));
        e->content_type = RecordTable::dup(m.text("ctype"));
        e->content = RecordTable::dup(m.text("content"));
        out.add(e);
    } else {
        OXLOG(LogWarning, "ox.world", "World message refused: unknown operation \"" + op + "\"");
    }
}

void World::presenceOfUnheard(const std::string &account, const std::vector<std::string> &buddies, Outbox &out)
{
    if (!m_accounts.count(account))
        return;
    for (const std::string &b : buddies)
        if (!m_users.count(b) && !accountByUri(b))
            evPresence(account, b, 0, "", out);
}

void World::worldLost(Outbox &out)
{
    if (!m_link)
        return;
    OXLOG(LogWarning, "ox.world", "Lost the world at " + m_worldAddress);
    m_link->close();
    std::vector<std::string> order = m_loginOrder;
    for (const std::string &h : order)
        endLogin(h, 10007, kNetworkLost, false, out);
    for (auto &c : m_channels) {
        auto &present = c.second.present;
        present.erase(std::remove_if(present.begin(), present.end(), [](const Member &p) { return p.remote; }),
                      present.end());
    }
    for (const std::string &u : m_remoteUsers)
        m_users.erase(u);
    m_remoteUsers.clear();
}

std::string World::accountHandle(const std::string &uri) const
{
    std::string key = lower(uri);
    for (const auto &a : m_accounts)
        if (a.second.uri == key)
            return a.first;
    return {};
}

std::string World::sessionHandle(const std::string &accountUri, const std::string &uri) const
{
    std::string handle = accountHandle(accountUri);
    std::string key = lower(uri);
    for (const auto &s : m_sessions)
        if (s.second.account == handle && s.second.key == key)
            return s.first;
    return {};
}

} // namespace ostrelsdk
