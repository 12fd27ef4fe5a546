// The dev gateway's shared voice world reading a client's byte stream: any
// frames (lengths that lie, oversized and truncated ones, any JSON) from a
// client on a real loopback connection, with a second client signed in to
// receive what the world passes on. Every input meets a new world.

#include "devgatewaystore.h"
#include "fuzzsupport.h"
#include "voiceworld.h"

#include <QTcpSocket>

namespace {

constexpr char kDomain[] = "dev.tavri.test";

DevGatewayStore &store()
{
    static DevGatewayStore *store = [] {
        auto *s = new DevGatewayStore;
        QString error;
        if (!s->open(QStringLiteral(":memory:"), &error) || !s->seed())
            std::abort();
        // The voice tokens the seeds sign in with.
        for (int id : {1, 2})
            s->exec(QStringLiteral("INSERT OR REPLACE INTO tokens (token, kind, subject_uri, display_name) "
                                   "VALUES (?, 'voice', ?, ?)"),
                    {QStringLiteral("fuzz-token-%1").arg(id), QStringLiteral("sip:u-%1@%2").arg(id).arg(kDomain),
                     QStringLiteral("User %1").arg(id)});
        return s;
    }();
    return *store;
}

int worldSockets(const VoiceWorld &world)
{
    return world.findChildren<QTcpSocket *>().size();
}

// Waits until the world holds `count` client sockets.
void waitForSockets(const VoiceWorld &world, int count)
{
    fuzz::spinUntil([&] { return worldSockets(world) == count; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::application();
    VoiceWorld world(store(), QString::fromLatin1(kDomain));
    QString error;
    if (!world.listen(0, &error))
        std::abort();

    // The listener: signed in as the second user.
    QTcpSocket listener;
    listener.connectToHost(QStringLiteral("127.0.0.1"), world.port());
    if (!listener.waitForConnected(5000))
        std::abort();
    listener.write(VoiceWorld::frame(QJsonObject{{"id", 1}, {"op", "login"}, {"token", "fuzz-token-2"}}));
    waitForSockets(world, 1);

    // The fuzzed client: its bytes, then it goes; the world has read
    // everything once it has let the connection go.
    QTcpSocket client;
    client.connectToHost(QStringLiteral("127.0.0.1"), world.port());
    if (!client.waitForConnected(5000))
        std::abort();
    waitForSockets(world, 2);
    fuzz::sendAndClose(client, data, size);
    waitForSockets(world, 1);
    listener.readAll();
    return 0;
}
