#pragma once

// A signed-in local user for the presence, idle and push-to-talk tests: the
// web service is the test fake, the activity monitor reads a scripted input
// hook, and sign-in is the shared one (signedinuser.h), through the login
// slots without a voice round trip.

#include "fakewebservice.h"
#include "inputhook.h"
#include "localuser.h"
#include "scriptedinputhook.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealmuser.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QNetworkProxy>

#include <atomic>

namespace localusertest {

// The scripted hook made by the last monitor thread that started.
inline std::atomic<host::ScriptedInputHook *> &currentHook()
{
    static std::atomic<host::ScriptedInputHook *> hook{nullptr};
    return hook;
}

// Makes every monitor thread use a scripted hook instead of the X server.
inline void useScriptedInput()
{
    host::InputHook::setFactory([] {
        auto hook = std::make_unique<host::ScriptedInputHook>();
        currentHook().store(hook.get());
        return std::unique_ptr<host::InputHook>(std::move(hook));
    });
}

class SignedInUser
{
public:
    SignedInUser()
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
        StorageManager::getInstance()->setVoiceDomain(QStringLiteral("voice.test"));
        m_fake.setSignInDefaults();
        m_fake.setLookupDefaults();
        m_social = new QSocialManager(nullptr, m_fake.apiUrl(), m_fake.host());
        m_social->onDoNotLogChanged(true);
        m_local = LocalUser::getLocalUser();
    }
    ~SignedInUser()
    {
        signOut();
        delete m_social;
    }

    LocalUser *local() const { return m_local; }

    // Web login, then voice login, as `uri`; the identity exists afterwards.
    bool signIn(const QString &uri = signedin::defaultUri()) { return signedin::signIn(m_fake, uri); }

    // Back to logged out, with no reconnect scheduled.
    void signOut() { signedin::signOut(); }

    TavriIdentityRealmUser *identity() const { return m_local->tavriidentity(); }
    // The web service the user signs in to, for scripting answers and
    // reading the requests made.
    FakeWebService &web() { return m_fake; }

private:
    FakeWebService m_fake;
    QSocialManager *m_social = nullptr;
    LocalUser *m_local = nullptr;
};

} // namespace localusertest
