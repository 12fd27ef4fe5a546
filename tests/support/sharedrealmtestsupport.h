#pragma once

// Helpers for tests of an external application's realm over the voice
// stand-in; for tests that link the program's core.

#include "fakecontroller.h"
#include "fakewebservice.h"
#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "socialmanager.h"
#include "tavrisharedidentityrealm.h"
#include "voicemanager.h"
#include "voicetestsupport.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QStringList>
#include <QTest>
#include <QVector>

namespace sharedrealmtest {

// Waits until the stand-in has taken in every request made so far; a test
// whose stand-in never gets there fails.
inline void waitForVoiceIdle()
{
    if (oxc_wait_idle(20000) != 0)
        QTest::qFail("the voice stand-in did not go idle", __FILE__, __LINE__);
}

// The last voice request of a type once the stand-in has taken in every
// request made so far; null when none was made.
template <typename Record>
const Record *lastVoiceRequest(ox_request_type type)
{
    waitForVoiceIdle();
    return reinterpret_cast<const Record *>(oxc_find_request(type, -1));
}

inline int voiceRequestCount(ox_request_type type)
{
    waitForVoiceIdle();
    int count = 0;
    while (oxc_find_request(type, count))
        ++count;
    return count;
}

// The start of every realm test: the program's names, and a capture of the
// log that still passes warnings on. The caller owns the capture.
inline LogCapture *beginRealmTest()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    return new LogCapture(LogCapture::ForwardWarnings);
}

// The web client over a fake that answers each of methods with {}: the
// realm's own web calls need no more in these tests. Both belong to owner.
inline FakeWebService *startWeb(QObject *owner, const QStringList &methods)
{
    auto *web = new FakeWebService(owner);
    for (const QString &method : methods)
        web->setDefault(method, QJsonObject{});
    new QSocialManager(owner, web->apiUrl(), web->host());
    return web;
}

// The voice service over a reset stand-in that lists the microphones and
// speakers given. With signIn, the local user's voice account ("local") logs
// in first, so that a realm's session group is never the service's own.
// The caller owns the service; false when the login did not complete.
inline bool startVoice(VoiceManager *&voice, bool signIn, const QVector<oxc_device_spec_t> &microphones = {},
                       const QVector<oxc_device_spec_t> &speakers = {})
{
    oxc_reset();
    if (!microphones.isEmpty()
        && oxc_set_devices(0, microphones.constData(), microphones.size(), microphones.first().id) != 0)
        return false;
    if (!speakers.isEmpty() && oxc_set_devices(1, speakers.constData(), speakers.size(), speakers.first().id) != 0)
        return false;
    voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false);
    return !signIn || voicetest::logIn(*voice, QStringLiteral("local"));
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
    return QTest::qWaitFor([&] { return realm->getLoginState() == TavriSharedIdentityRealm::SessionGroupReady; }, 5000);
}

} // namespace sharedrealmtest
