// The realm's input pipe as an external application reaches it: any bytes
// on one connection (lengths that lie, truncated and oversized frames, any
// request of any type), read, acknowledged and dispatched by a live realm
// whose application listens on the output pipe.

#include "fakecontroller.h"
#include "localpipe.h"
#include "sessionfixture.h"
#include "sharedrealmtestsupport.h"
#include "tavrisharedidentityrealm.h"

#include <QLocalSocket>

namespace {

struct Pipes {
    FakeController *controller = nullptr;
    TavriSharedIdentityRealm *realm = nullptr;
};

Pipes &pipes()
{
    static Pipes *made = [] {
        auto *p = new Pipes;
        p->controller = new FakeController(QStringLiteral("fuzz"));
        p->realm = sharedrealmtest::openRealm(*p->controller, QStringLiteral("fuzzapp"));
        if (!p->controller->waitForRealm())
            std::abort();
        // A connection that stops sending holds the realm this long at most.
        p->realm->setInputDeadline(50);
        return p;
    }();
    return *made;
}

int openConnections(const TavriSharedIdentityRealm &realm)
{
    return realm.findChildren<QLocalSocket *>().size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Session &session = fuzz::Session::get();
    Pipes &p = pipes();
    static const int idle = openConnections(*p.realm);

    QLocalSocket client;
    client.connectToServer(host::LocalPipe::inputSocketPath(p.controller->inputPipeName()));
    if (!client.waitForConnected(5000))
        std::abort();
    fuzz::sendAndClose(client, data, size);
    // The realm is done with the input once it has let the connection go.
    fuzz::spinUntil([&] { return openConnections(*p.realm) == idle; });
    p.controller->takeFrames();
    session.reset();
    return 0;
}
