#pragma once

// Helpers for tests of an external application's realm over the voice
// stand-in; for tests that link the program's core.

#include "fakecontroller.h"
#include "ostrelsdk_control.h"
#include "tavrisharedidentityrealm.h"

#include <QTest>

namespace sharedrealmtest
{

// The last voice request of a type once the stand-in has taken in every
// request made so far; null when none was made.
template <typename Record> const Record *lastVoiceRequest(ox_request_type type)
{
    oxc_wait_idle(2000);
    return reinterpret_cast<const Record *>(oxc_find_request(type, -1));
}

inline int voiceRequestCount(ox_request_type type)
{
    oxc_wait_idle(2000);
    int count = 0;
    while (oxc_find_request(type, count))
        ++count;
    return count;
}

// A realm for requester id whose application is controller; the caller
// owns it and waits for controller.waitForRealm().
inline TavriSharedIdentityRealm *openRealm(FakeController &controller, const QString &id)
{
    return new TavriSharedIdentityRealm(controller.inputPipeName(), controller.outputPipeName(), id,
                                        QStringLiteral("t"), QStringLiteral("1.0"), nullptr);
}

// Signs the realm's user (display name "Ann") in as the web service would,
// with a voice account of its own, and waits for the session group.
inline bool signIn(TavriSharedIdentityRealm *realm, const QString &uri)
{
    static int logins = 0;
    realm->onLoginVerified(QStringLiteral("Ann"), uri, QStringLiteral("voice-token-%1").arg(++logins));
    return QTest::qWaitFor(
        [&] { return realm->getLoginState() == TavriSharedIdentityRealm::SessionGroupReady; }, 5000);
}

} // namespace sharedrealmtest
