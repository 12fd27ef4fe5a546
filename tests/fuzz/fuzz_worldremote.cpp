// The voice SDK stand-in's side of the shared voice world: every frame the
// world pushes (any flat object, any operation and field values) applied to
// a stand-in with an account signed in and a channel joined. Every input
// meets a fresh stand-in world.
//
// Input: the bytes the world sends, split into frames as the link reads
// them.

#include "ostrelsdk.h"
#include "wireformat.h"
#include "world.h"

#include <cstdlib>
#include <string>

using namespace ostrelsdk;

namespace {

void drain(Outbox &out, std::string *handle = nullptr, size_t offset = 0)
{
    for (ox_message_base_t *message : out.messages) {
        if (handle && message->type == OX_MSG_RESPONSE) {
            const char *value = *reinterpret_cast<char **>(reinterpret_cast<char *>(message) + offset);
            *handle = value ? value : "";
        }
        ox_destroy_message(message);
    }
    out.messages.clear();
}

// An account signed in as "fuzz" with a session on a channel: what remote
// users, channels and lines can meet.
void signIn(World &world)
{
    Outbox out;
    std::string connector, account, group;
    ox_req_connector_create_t *create = nullptr;
    ox_req_connector_create_create(&create);
    create->base.cookie = ox_strdup("1");
    world.handle(&create->base, out);
    drain(out, &connector, offsetof(ox_resp_connector_create_t, connector_handle));

    ox_req_account_authtoken_login_t *login = nullptr;
    ox_req_account_authtoken_login_create(&login);
    login->base.cookie = ox_strdup("2");
    login->connector_handle = ox_strdup(connector.c_str());
    login->auth_token = ox_strdup("fuzz");
    world.handle(&login->base, out);
    drain(out, &account, offsetof(ox_resp_account_authtoken_login_t, account_handle));

    ox_req_sessiongroup_create_t *groupRequest = nullptr;
    ox_req_sessiongroup_create_create(&groupRequest);
    groupRequest->base.cookie = ox_strdup("3");
    groupRequest->account_handle = ox_strdup(account.c_str());
    world.handle(&groupRequest->base, out);
    drain(out, &group, offsetof(ox_resp_sessiongroup_create_t, session_group_handle));

    ox_req_sessiongroup_add_session_t *join = nullptr;
    ox_req_sessiongroup_add_session_create(&join);
    join->base.cookie = ox_strdup("4");
    join->session_group_handle = ox_strdup(group.c_str());
    join->uri = ox_strdup(("sip:confctl-7@" + world.domain()).c_str());
    join->connect_audio = 1;
    world.handle(&join->base, out);
    drain(out);
    if (account.empty() || group.empty())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    World world;
    signIn(world);
    FrameReader frames;
    frames.feed(reinterpret_cast<const char *>(data), size);
    Outbox out;
    for (;;) {
        std::string payload;
        const FrameReader::Result result = frames.next(&payload);
        if (result == FrameReader::Nothing)
            break;
        if (result == FrameReader::Oversized)
            continue;
        WireObject message;
        std::string reason;
        // The link refuses what does not parse or names no operation.
        if (!WireObject::fromJson(payload, &message, &reason) || message.text("op").empty())
            continue;
        // Answers to the stand-in's own requests wait for their asker.
        if (message.numbers.count("re"))
            continue;
        world.applyRemote(message, out);
        drain(out);
    }
    return 0;
}
