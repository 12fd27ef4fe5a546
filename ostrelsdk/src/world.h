#pragma once

#include "ostrelsdk.h"
#include "ostrelsdk_control.h"
#include "wireformat.h"
#include "worldlink.h"

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace ostrelsdk {

// Messages produced by one worker item, in the order they are to be queued.
struct Outbox {
    std::vector<ox_message_base_t *> messages;
    void add(void *message) { messages.push_back(static_cast<ox_message_base_t *>(message)); }
};

// The simulated voice network: connectors, accounts logged in with tokens,
// session groups and sessions, a shared channel store, simulated users (Echo
// among them), audio devices, levels and meters. Everything is in memory and
// deterministic. It is touched only with the core's world lock held; every
// request handed to handle() is answered by exactly one response in the
// outbox, which takes ownership of the request.
class World
{
public:
    World();
    ~World();

    // Seed state: what a reset restores. Runtime state is dropped silently.
    void reset();
    // Ends logins and sessions without raising anything (uninitialise, shutdown).
    void dropRuntime();

    void handle(ox_req_base_t *request, Outbox &out);
    ox_resp_base_t *respond(ox_req_base_t *request, Outbox &out, int status = 0, const char *text = nullptr);

    // Network and failures.
    void setNetwork(bool up, Outbox &out);
    bool networkUp() const { return m_networkUp; }
    void setCaptureFailure(int status) { m_captureFailure = status; }
    // How long a request to the shared world waits for its answer.
    static constexpr int kWorldReplyMs = 30000;
    void setWorldReplyMs(int ms) { m_worldReplyMs = ms > 0 ? ms : kWorldReplyMs; }
    void rejectToken(const std::string &token, int status, const std::string &text);
    void mapToken(const std::string &token, const std::string &uri, const std::string &displayName);

    // World actions raising what a real network would.
    void userSet(const std::string &uri, const std::string &name, int presence, const std::string &message,
                 Outbox &out);
    void channelConfigure(const std::string &uri, const char *name, const char *password, int aclEnforced, int exists,
                          int max);
    void channelSetOwner(const std::string &channel, const std::string &owner);
    void channelJoin(const std::string &channel, const std::string &uri, const std::string &name, bool audio,
                     Outbox &out);
    void channelLeave(const std::string &channel, const std::string &uri, int reason, Outbox &out);
    void participantUpdate(const std::string &where, const std::string &uri, int speaking, int muted, double energy,
                           Outbox &out);
    void say(const std::string &uri, const std::string &from, const std::string &text, Outbox &out);
    void typing(const std::string &uri, const std::string &from, int type, Outbox &out);
    bool sendAppData(const std::string &to, const std::string &from, const std::string &content, Outbox &out);
    bool sendServerAppData(const std::string &to, const std::string &ctype, const std::string &content, Outbox &out);
    bool subscription(const std::string &to, const std::string &from, const std::string &name, Outbox &out);
    void setDevices(int kind, const oxc_device_spec_t *devices, int count, const std::string &osDefault, Outbox &out);
    bool keyEvent(const std::string &binding, bool down, Outbox &out);
    bool hasBinding(const std::string &binding) const { return m_bindings.count(binding) > 0; }
    void setSimulatedVoice(bool on, Outbox &out)
    {
        m_simulatedVoice = on;
        updateSpeaking(out);
    }
    void setMeterInterval(int ms) { m_meterInterval = ms; }
    int meterInterval() const { return m_meterInterval; }
    bool metersRunning() const { return m_captureRunning || m_renderRunning; }
    void meterTick(Outbox &out);
    void setNextStats(const ox_call_stats_t *stats);

    // The shared world: with OSTRELSDK_WORLD naming the dev gateway's world
    // service, accounts, presence, channels and chat are shared with the other
    // processes signed in there; remote accounts show here as simulated users
    // and members. applyRemote turns one pushed message into events;
    // worldLost ends every login as a network loss.
    bool shared() const { return !m_worldAddress.empty(); }
    void applyRemote(const WireObject &message, Outbox &out);
    void worldLost(Outbox &out);
    // After the world's messages that came with a sign-in's answer: the
    // buddies it did not name are offline.
    void presenceOfUnheard(const std::string &account, const std::vector<std::string> &buddies, Outbox &out);

    // Inspection.
    std::string domain() const { return m_domain; }
    std::string accountHandle(const std::string &uri) const;
    std::string sessionHandle(const std::string &accountUri, const std::string &uri) const;

private:
    struct Member {
        std::string uri; // lower case
        std::string display;
        bool simulated = true;
        std::string account; // in-process: its account handle
        int speaking = 0;
        double energy = 0;
        bool audio = false;  // simulated members only
        bool remote = false; // an account of another process in the shared world
    };
    struct Account {
        std::string handle, uri, display, connector;
        std::vector<std::string> groups;
    };
    struct Profile { // survives logout
        std::vector<std::pair<std::string, int>> buddies;
        int presence = 0;
        std::string message;
    };
    struct SimUser {
        std::string uri, display;
        int presence = 0;
        std::string message;
    };
    struct Group {
        std::string handle, account, tx;
        std::vector<std::string> sessions;
        int statsCount = 0;
        double audioStart = -1;
    };
    struct Session {
        std::string handle, group, account, uri, key;
        bool channel = false, audio = false, text = false;
        std::vector<Member> peers; // person-to-person sessions: the peer when present
    };
    struct Channel {
        std::string name, password, owner;
        bool aclEnforced = false, exists = true;
        int max = 100;
        std::vector<std::string> moderators, acl, bans;
        std::vector<Member> present; // in order of arrival
        std::set<std::string> mutedAudio, mutedText;
    };
    struct Device {
        std::string id, name;
        int type = 0;
    };
    struct DeviceList {
        std::vector<Device> devices;
        std::string current, osDefault;
    };

    // Requests.
    void connectorCreate(ox_req_base_t *r, Outbox &out);
    void login(ox_req_base_t *r, Outbox &out);
    void logout(ox_req_base_t *r, Outbox &out);
    void addSession(ox_req_base_t *r, Outbox &out);
    void sendMessage(ox_req_base_t *r, Outbox &out);
    void sendNotification(ox_req_base_t *r, Outbox &out);
    void kickOrBan(ox_req_base_t *r, Outbox &out);
    void participantList(ox_req_base_t *r, Outbox &out);
    void deviceList(ox_req_base_t *r, DeviceList &list, Outbox &out);
    void stats(ox_req_base_t *r, Outbox &out);
    bool handleAccountRequest(ox_req_base_t *r, Outbox &out);
    bool handleSessionRequest(ox_req_base_t *r, Outbox &out);
    bool handleAuxRequest(ox_req_base_t *r, Outbox &out);

    // Building blocks.
    std::string newHandle(const char *kind);
    Account *account(const char *handle);
    Account *accountByUri(const std::string &uri);
    Session *session(const char *handle);
    Channel &channel(const std::string &key);
    std::vector<Member> members(const Session &s) const;
    Member selfMember(const Account &a) const;
    std::vector<Session *> sessionsOn(const std::string &channelKey);
    Session *p2pSession(const std::string &account, const std::string &peerKey);
    Session &incomingP2P(Account &callee, Account &caller, Outbox &out);
    std::vector<std::string> watchers(const std::string &uri);
    int presenceOf(const std::string &uri) const;
    std::string displayOf(const std::string &uri) const;
    std::string messageOf(const std::string &uri) const;
    void notifyWatchers(const std::string &uri, int presence, const std::string &message, Outbox &out);
    void endSession(const std::string &handle, int reason, int code, const std::string &text, Outbox &out);
    void endGroup(const std::string &handle, Outbox &out);
    void endLogin(const std::string &handle, int code, const std::string &text, bool tellWatchers, Outbox &out);
    void removeSessionSilently(const std::string &handle);
    int participantType(const Channel *c, const std::string &uri) const;
    void joinedSequence(Session &s, bool audioRequested, Outbox &out);
    void memberLeft(const std::string &channelKey, const Member &m, int reason, Outbox &out);
    void deliverMessage(Session &target, const std::string &sender, const std::string &body, Outbox &out);

    // Events.
    void evLoginState(const std::string &account, int state, int code, const std::string &text, Outbox &out);
    void evPresence(const std::string &account, const std::string &uri, int presence, const std::string &message,
                    Outbox &out);
    void evGroup(int type, const std::string &account, const std::string &group, Outbox &out);
    void evSessionAdded(const Session &s, int incoming, const std::string &display, Outbox &out);
    void evSessionRemoved(const Session &s, Outbox &out);
    void evStream(int type, const Session &s, int state, int code, const std::string &text, int incoming, Outbox &out);
    void evParticipantAdded(const Session &s, const Member &m, Outbox &out);
    void evParticipantRemoved(const Session &s, const Member &m, int reason, Outbox &out);
    void evParticipantUpdated(const Session &s, const Member &m, Outbox &out);
    void evMessage(const Session &s, const std::string &sender, const std::string &body, Outbox &out);
    void evAudio(double mic, double speaker, Outbox &out);

    // Shared world.
    bool ensureLink();
    void tell(const WireObject &message);
    // Asks the world; false (and a 10007 answer to r) when it cannot be
    // reached, so r must not have been answered before: every request has
    // one answer, which owns the request.
    bool ask(ox_req_base_t *r, const WireObject &message, WireObject *reply, Outbox &out);
    bool remoteUser(const std::string &uri) const;
    // The items of a comma-separated list, lower case, each once.
    static std::vector<std::string> splitList(const std::string &commaSeparated);
    // Asks the world to allow a channel administration request; answers the
    // request itself when the world refuses it or cannot be reached.
    bool adminAllowed(ox_req_base_t *r, const std::string &kind, const std::string &channel, const std::string &from,
                      const std::string &who, long long value, Outbox &out);
    Session &incomingFrom(Account &callee, const std::string &from, Outbox &out);
    void updateSpeaking(Outbox &out);

    std::map<std::string, int> m_counters;
    std::set<std::string> m_connectors;
    std::string m_domain;
    std::string m_echoUri;
    std::map<std::string, Account> m_accounts;
    std::vector<std::string> m_loginOrder;
    std::map<std::string, Profile> m_profiles;
    std::map<std::string, SimUser> m_users;
    std::map<std::string, Group> m_groups;
    std::map<std::string, Session> m_sessions;
    std::map<std::string, Channel> m_channels;
    std::map<std::pair<std::string, std::string>, int> m_volumes; // (listener account, participant)
    std::set<std::pair<std::string, std::string>> m_localMutes;
    std::map<std::string, std::pair<int, std::string>> m_rejectedTokens;
    std::map<std::string, std::pair<std::string, std::string>> m_mappedTokens;
    std::map<std::string, std::vector<int>> m_bindings;
    DeviceList m_capture, m_render;
    int m_buddyIds = 0;
    int m_micLevel = 50, m_speakerLevel = 50;
    int m_vadHangover = 2000, m_vadSensitivity = 43, m_vadNoiseFloor = 576;
    bool m_micMuted = false;
    bool m_networkUp = true;
    int m_captureFailure = 0;
    int m_worldReplyMs = kWorldReplyMs;
    bool m_captureRunning = false, m_captureLoop = false, m_renderRunning = false;
    int m_meterInterval = 200;
    int m_tick = 0;
    bool m_hasNextStats = false;
    ox_call_stats_t m_nextStats{};
    std::string m_nextStatsCallId, m_nextStatsCodec;
    std::string m_worldAddress;
    std::unique_ptr<WorldLink> m_link;
    std::set<std::string> m_remoteUsers;
    std::set<std::string> m_heldBindings;
    bool m_speaking = false;
    bool m_simulatedVoice = false;
};

} // namespace ostrelsdk
