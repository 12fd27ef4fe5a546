#include "realmidentitycache.h"

#include "identityrealminterface.h"
#include "identityrealmmanager.h"
#include "tavriidentityrealm.h"

#include <QDebug>

namespace {

RealmIdentityCache s_instance;

} // namespace

RealmIdentityCache::RealmIdentityCache(QObject *parent)
    : QObject(parent)
{
}

RealmIdentityCache::~RealmIdentityCache() = default;

RealmIdentityCache *RealmIdentityCache::instance()
{
    return &s_instance;
}

Tavri::RealmUserInterface *RealmIdentityCache::getUserByUUID(const QString &userUUID, const QString &realmID)
{
    TavriIdentityRealm *builtIn = TavriIdentityRealm::getInstance();
    if (realmID == builtIn->realmID())
        return builtIn->getRealmUser(userUUID);

    const Key key(realmID, userUUID);
    if (Tavri::RealmUserInterface *cached = m_users.value(key, nullptr))
        return cached;

    Tavri::IdentityRealmInterface *realm = IdentityRealmManager::getInstance()->getIdentityRealm(realmID);
    if (!realm)
        return nullptr;
    Tavri::RealmUserInterface *user = realm->getRealmUser(userUUID);
    if (!user)
        return nullptr;

    // Without its QObject the cache would not learn of the user's end, and
    // an entry would outlive it: hand the user out without keeping it.
    QObject *object = user->getQObject();
    if (!object) {
        qWarning() << "RealmIdentityCache: user" << userUUID << "of realm" << realmID << "has no object; not cached";
        return user;
    }
    connect(object, SIGNAL(destroying()), this, SLOT(onRealmUserDestruction()), Qt::UniqueConnection);
    m_users.insert(key, user);
    return user;
}

void RealmIdentityCache::onRealmUserDestruction()
{
    QObject *object = sender();
    auto *user = qobject_cast<Tavri::RealmUserInterface *>(object);
    if (!user)
        return;
    disconnect(object, SIGNAL(destroying()), this, SLOT(onRealmUserDestruction()));

    // The user may have changed its id since it was cached, and may be filed
    // under more than one key: drop every entry that holds it, not the one
    // under its current id.
    for (auto it = m_users.begin(); it != m_users.end();) {
        if (it.value() == user)
            it = m_users.erase(it);
        else
            ++it;
    }
}
