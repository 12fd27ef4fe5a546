#include "localuser.h"

#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"

#include <QDebug>

namespace {

LocalUser* s_localUser = nullptr;

} // namespace

LocalUser* LocalUser::getLocalUser(QObject* parent)
{
    if (!s_localUser)
        new LocalUser(parent);
    return s_localUser;
}

LocalUser::LocalUser(QObject* parent)
    : QObject(parent)
{
    // Code running inside the constructor already finds the instance.
    s_localUser = this;
}

LocalUser::~LocalUser()
{
    if (s_localUser == this)
        s_localUser = nullptr;
}

Tavri::RealmUserInterface* LocalUser::getLocalUserIdentity(Tavri::IdentityRealmInterface* realm) const
{
    if (!realm)
        return nullptr;
    if (realm == static_cast<Tavri::IdentityRealmInterface*>(TavriIdentityRealm::getInstance()))
        return m_identity;
    return m_realmIdentities.value(realm, nullptr);
}

bool LocalUser::isLocalUserIdentity(Tavri::RealmUserInterface* identity) const
{
    return identity == static_cast<Tavri::RealmUserInterface*>(m_identity);
}

void LocalUser::onSocialLoginSuccess(const QString& sipURI, const QString&, const QString&, const QString&,
                                     const QString&, const QString&, const QString&, const QString&,
                                     const QString&)
{
    Tavri::RealmUserInterface* user = TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(sipURI);
    auto* identity = qobject_cast<TavriIdentityRealmUser*>(user ? user->getQObject() : nullptr);
    if (m_identity)
        disconnect(m_identity, &TavriIdentityRealmUser::destroying, this, &LocalUser::onIdentityDestroying);
    m_identity = identity;
    // The realm owns the identity; forget it when it goes.
    if (m_identity)
        connect(m_identity, &TavriIdentityRealmUser::destroying, this, &LocalUser::onIdentityDestroying);
    qDebug() << "LocalUser::onSocialLoginSuccess" << sipURI;
}

void LocalUser::onIdentityDestroying()
{
    m_identity = nullptr;
}
