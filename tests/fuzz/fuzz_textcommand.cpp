// The text-command language of an external application: any command line,
// run against a realm that is signed in and has a channel joined, and one
// that is not.

#include "fuzzsupport.h"
#include "tavrisharedidentityrealm.h"
#include "tavrisharedidentityrealmcommands.h"

namespace {

// A realm without pipes; it holds what the commands record in it.
class FuzzRealm : public TavriSharedIdentityRealm
{
public:
    explicit FuzzRealm(bool signedIn)
        : TavriSharedIdentityRealm(QStringLiteral("fuzz"), nullptr)
    {
        if (!signedIn)
            return;
        setRealmDisplayName(QStringLiteral("Fuzz"));
        setUserDisplayName(QStringLiteral("Ann"));
        setSessionGroupHandle(QStringLiteral("group-1"));
        setSessionHandleForChannel(QStringLiteral("sip:confctl-7@voice.test"), QStringLiteral("session-1"));
    }
    ~FuzzRealm() override { emit destroying(); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::application();
    const QString line = fuzz::text(data, size);
    for (const bool signedIn : {false, true}) {
        FuzzRealm realm(signedIn);
        TavriSharedIdentityRealmCommands command(realm, line);
        command.run();
        if (command.status() != 200 && command.status() != 400 && command.status() != 405)
            std::abort();
    }
    return 0;
}
