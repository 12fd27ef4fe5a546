#pragma once

// Shared steps of the search window tests, which run inside the program's
// application object against the web-service fake.

#include <QJsonObject>
#include <QtTest/QtTest>

#include "fakewebservice.h"
#include "localuser.h"

namespace searchtest {

// Signs the local user in without a voice server: the web client handles
// answers only while the user is signed in.
inline bool signIn(FakeWebService &web)
{
    web.setSignInDefaults();
    web.hang(QStringLiteral("LoginUser"));
    LocalUser *local = LocalUser::getLocalUser();
    local->requestLogin(QStringLiteral("me@example.test"), QStringLiteral("pw"));
    local->onSocialLoginSuccess(QStringLiteral("sip:u-me@voice.test"), {}, {}, {}, {}, {}, {}, {}, {});
    local->onVoiceLoggedIn();
    return local->getLoginState() == LocalUser::LoggedIn;
}

inline void signOut()
{
    LocalUser::getLocalUser()->onSocialLoginFailed(QStringLiteral("test over"));
}

} // namespace searchtest
