#pragma once

// The local user signed in over the web-service fake, for tests that run the
// program's local user without a voice server.
//
// signIn() goes through the login slots as the program does: the web login
// request, the web service's login answer, then the voice login, and the
// user is LoggedIn. ownIdentity() takes only the login answer's step, which
// makes the user's own identity in the built-in realm and leaves the user
// waiting for the voice login: for tests of realms and conversations that
// need the own identity, not the login state.
//
// Header-only: it needs the program's local user, which the shared support
// library does not link.

#include "fakewebservice.h"
#include "localuser.h"
#include "tavriidentityrealmuser.h"

#include <QCoreApplication>
#include <QEvent>
#include <QJsonObject>
#include <QString>

namespace signedin {

// The address the fixture signs in as unless a test names another.
inline QString defaultUri()
{
    return QStringLiteral("sip:u-me@voice.test");
}

// The web service's login answer for `uri`: the local user makes its own
// identity; null when it did not.
inline TavriIdentityRealmUser *ownIdentity(const QString &uri = defaultUri())
{
    LocalUser *local = LocalUser::getLocalUser();
    local->onSocialLoginSuccess(uri, {}, {}, {}, {}, {}, {}, {}, {});
    return local->tavriidentity();
}

// How the fake treats the web login request itself.
enum class LoginRequest {
    // Answered with nothing: the answer finds the sign-in done and is
    // dropped, and no connection stays open (a test that signs in many
    // times would use up the client's few connections to the service).
    Answered,
    // Held open for good, as hang() does.
    HeldOpen,
};

// Takes a logged-out local user through the login steps as far as `state`:
// the web login request (LoggingIn), the web service's answer for `uri`
// (LoggingInVoice), the voice login (LoggedIn) and a logout request
// (LoggingOut). The test reads the state it reached.
inline void enterLoginState(FakeWebService &web, LocalUser::LoginState state, const QString &uri = defaultUri(),
                            LoginRequest request = LoginRequest::HeldOpen)
{
    if (state == LocalUser::LoggedOut)
        return;
    if (request == LoginRequest::Answered)
        web.reply(QStringLiteral("LoginUser"), QJsonObject());
    else
        web.hang(QStringLiteral("LoginUser"));
    LocalUser *local = LocalUser::getLocalUser();
    local->requestLogin(QStringLiteral("me@example.test"), QStringLiteral("pw"));
    if (state == LocalUser::LoggingIn)
        return;
    ownIdentity(uri);
    if (state == LocalUser::LoggingInVoice)
        return;
    local->onVoiceLoggedIn();
    if (state == LocalUser::LoggingOut)
        local->onLogoutRequested();
}

// Signs the local user in as `uri`: web login, then voice login. `web`
// answers the calls that follow every accepted login, with `ownRecord` as the
// answer to the own-record lookup. True when the user is LoggedIn with its
// own identity.
inline bool signIn(FakeWebService &web, const QString &uri = defaultUri(),
                   LoginRequest request = LoginRequest::Answered,
                   const QJsonObject &ownRecord = FakeWebService::unknownUser())
{
    web.setSignInDefaults(ownRecord);
    enterLoginState(web, LocalUser::LoggedIn, uri, request);
    LocalUser *local = LocalUser::getLocalUser();
    return local->getLoginState() == LocalUser::LoggedIn && local->tavriidentity();
}

// Back to logged out, with no reconnect scheduled; the objects the sign-out
// lets go of are gone when it returns.
inline void signOut(const QString &reason = QStringLiteral("test over"))
{
    LocalUser::getLocalUser()->onSocialLoginFailed(reason);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace signedin
