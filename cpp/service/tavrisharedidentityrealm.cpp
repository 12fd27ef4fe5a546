#include "tavrisharedidentityrealm.h"

TavriSharedIdentityRealm::TavriSharedIdentityRealm(const QString& requesterId, QObject* parent)
    : QObject(parent)
    , m_requesterId(requesterId)
{
}

TavriSharedIdentityRealm::~TavriSharedIdentityRealm() = default;

TavriSharedIdentityRealm::LoginState TavriSharedIdentityRealm::getLoginState() const
{
    if (m_userDisplayName.isEmpty())
        return LoggedOut;
    return m_sessionGroupHandle.isEmpty() ? LoginVerified : SessionGroupReady;
}

QString TavriSharedIdentityRealm::realmDisplayName()
{
    return m_realmDisplayName;
}

QString TavriSharedIdentityRealm::realmID()
{
    return m_requesterId;
}

QString TavriSharedIdentityRealm::realmTag()
{
    return QString();
}

bool TavriSharedIdentityRealm::realmFlagA()
{
    return false;
}

void TavriSharedIdentityRealm::realmHookA(void*) {}

void* TavriSharedIdentityRealm::realmObjectA()
{
    return nullptr;
}

void TavriSharedIdentityRealm::realmHookB(void*) {}

bool TavriSharedIdentityRealm::realmFlagB()
{
    return false;
}

bool TavriSharedIdentityRealm::requestLogin()
{
    // The application logs in over its pipe, not through this call.
    return false;
}

QObject* TavriSharedIdentityRealm::realmObject()
{
    return this;
}

void TavriSharedIdentityRealm::onNetworkDisconnect() {}

void TavriSharedIdentityRealm::onNetworkReconnect() {}
