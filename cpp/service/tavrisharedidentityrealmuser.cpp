#include "tavrisharedidentityrealmuser.h"

#include "identityrealminterface.h"

#include <QDebug>

TavriSharedIdentityRealmUser::TavriSharedIdentityRealmUser(const QString &uid, const QString &displayName,
                                                           const QString &sipURI, Tavri::IdentityRealmInterface *realm)
    : QObject(realm ? realm->realmObject() : nullptr)
    , m_uid(uid)
    , m_displayName(displayName)
    , m_sipURI(sipURI)
{
}

TavriSharedIdentityRealmUser::~TavriSharedIdentityRealmUser()
{
    emit destroying();
}

QString TavriSharedIdentityRealmUser::getRealmTag()
{
    // The realm's tag, which is always empty for an external application.
    Tavri::IdentityRealmInterface *realm = identityRealm();
    return realm ? realm->realmTag() : QString();
}

Tavri::IdentityRealmInterface *TavriSharedIdentityRealmUser::identityRealm()
{
    return qobject_cast<Tavri::IdentityRealmInterface *>(parent());
}

void TavriSharedIdentityRealmUser::reservedHook(void *) {}

QString TavriSharedIdentityRealmUser::getUid()
{
    return m_uid;
}

QString TavriSharedIdentityRealmUser::getDisplayName()
{
    return m_displayName;
}

void TavriSharedIdentityRealmUser::reservedTextHook(QString) {}

QUrl TavriSharedIdentityRealmUser::getProfileImageURI()
{
    return QUrl();
}

Tavri::RealmUserInterface::PresenceState TavriSharedIdentityRealmUser::getPresenceState()
{
    return Tavri::RealmUserInterface::Offline;
}

QString TavriSharedIdentityRealmUser::getPresenceMessage()
{
    return QString();
}

QObject *TavriSharedIdentityRealmUser::getQObject()
{
    return this;
}

void TavriSharedIdentityRealmUser::showUserDetails()
{
    qDebug() << "TavriSharedIdentityRealmUser::showUserDetails" << m_displayName << m_sipURI;
}

void TavriSharedIdentityRealmUser::sendInviteToTavri(const QUrl &) {}
