// The realm identity cache: one realm lookup per external user, entries that
// leave with their user (whatever its id has become), and the built-in realm
// answered directly.

#include "identityrealmmanager.h"
#include "realmidentitycache.h"
#include "tavriidentityrealm.h"
#include "testenvironment.h"

#include <QPointer>
#include <QtTest>

class IdentityCacheTest : public QObject
{
    Q_OBJECT

private:
    // The test realm, loaded from its plug-in on first use, so that every
    // test function also runs alone.
    Tavri::IdentityRealmInterface *testRealm()
    {
        IdentityRealmManager *manager = IdentityRealmManager::getInstance();
        if (!manager->getIdentityRealm(QStringLiteral("cachetest")))
            manager->loadIdentityRealm(QStringLiteral(CACHE_REALM_PLUGIN));
        return manager->getIdentityRealm(QStringLiteral("cachetest"));
    }
    int lookups() { return testRealm()->realmObject()->property("lookups").toInt(); }
    // True when the user's destroying() reaches the cache; the check removes
    // the connection.
    static bool takeDestroyingConnection(Tavri::RealmUserInterface *user, RealmIdentityCache *cache)
    {
        return QObject::disconnect(user->getQObject(), SIGNAL(destroying()), cache, SLOT(onRealmUserDestruction()));
    }

private slots:
    // Runs first: nothing has created the built-in realm yet.
    void builtInRealmIsCreatedAndNeverCached()
    {
        RealmIdentityCache cache;
        Tavri::RealmUserInterface *user = cache.getUserByUUID(QStringLiteral("u-1"), QStringLiteral("__Tavri"));
        QVERIFY(user);
        QCOMPARE(user->identityRealm(),
                 static_cast<Tavri::IdentityRealmInterface *>(TavriIdentityRealm::getInstance()));
        QCOMPARE(user->getUid(), QStringLiteral("u-1"));
        // The realm's own table answers again; the cache keeps nothing.
        QCOMPARE(cache.getUserByUUID(QStringLiteral("u-1"), QStringLiteral("__Tavri")), user);
        QVERIFY(!takeDestroyingConnection(user, &cache));
    }

    void loadTestRealm() { QVERIFY(testRealm()); }

    void externalUserIsAskedForOnce()
    {
        RealmIdentityCache *cache = RealmIdentityCache::instance();
        const int before = lookups();
        Tavri::RealmUserInterface *user = cache->getUserByUUID(QStringLiteral("alice"), QStringLiteral("cachetest"));
        QVERIFY(user);
        QCOMPARE(user->getUid(), QStringLiteral("alice"));
        QCOMPARE(cache->getUserByUUID(QStringLiteral("alice"), QStringLiteral("cachetest")), user);
        QCOMPARE(lookups(), before + 1);

        // Another id is another entry.
        Tavri::RealmUserInterface *bob = cache->getUserByUUID(QStringLiteral("bob"), QStringLiteral("cachetest"));
        QVERIFY(bob && bob != user);
        QCOMPARE(lookups(), before + 2);
        delete user->getQObject();
        delete bob->getQObject();
    }

    void destroyedUserIsAskedForAgain()
    {
        RealmIdentityCache cache;
        const int before = lookups();
        QPointer<QObject> first =
            cache.getUserByUUID(QStringLiteral("carol"), QStringLiteral("cachetest"))->getQObject();
        delete first.data();

        Tavri::RealmUserInterface *second = cache.getUserByUUID(QStringLiteral("carol"), QStringLiteral("cachetest"));
        QVERIFY(second);
        QCOMPARE(second->getUid(), QStringLiteral("carol"));
        QCOMPARE(lookups(), before + 2);
        delete second->getQObject();
    }

    // A user whose id changed after it was cached still takes its entry with
    // it, so the next lookup under the old id never returns a deleted user.
    void userWithChangedIdLeavesNoEntryBehind()
    {
        RealmIdentityCache cache;
        const int before = lookups();
        Tavri::RealmUserInterface *user = cache.getUserByUUID(QStringLiteral("dave"), QStringLiteral("cachetest"));
        QVERIFY(user);
        user->getQObject()->setProperty("uid", QStringLiteral("dave-renamed"));
        delete user->getQObject();

        Tavri::RealmUserInterface *again = cache.getUserByUUID(QStringLiteral("dave"), QStringLiteral("cachetest"));
        QVERIFY(again);
        QCOMPARE(again->getUid(), QStringLiteral("dave"));
        QCOMPARE(lookups(), before + 2);
        delete again->getQObject();
    }

    void unknownRealmOrUserGivesNullAndIsNotCached()
    {
        RealmIdentityCache cache;
        QVERIFY(!cache.getUserByUUID(QStringLiteral("alice"), QStringLiteral("no-such-realm")));
        QVERIFY(!cache.getUserByUUID(QStringLiteral("alice")));
        const int before = lookups();
        QVERIFY(!cache.getUserByUUID(QStringLiteral("nobody"), QStringLiteral("cachetest")));
        QVERIFY(!cache.getUserByUUID(QStringLiteral("nobody"), QStringLiteral("cachetest")));
        QCOMPARE(lookups(), before + 2);
    }

    // A sender that is no realm user is ignored.
    void destructionFromOtherSendersIsIgnored()
    {
        QVERIFY(testRealm());
        RealmIdentityCache cache;
        Tavri::RealmUserInterface *user = cache.getUserByUUID(QStringLiteral("erin"), QStringLiteral("cachetest"));
        QObject stranger;
        connect(&stranger, &QObject::objectNameChanged, &cache, &RealmIdentityCache::onRealmUserDestruction);
        stranger.setObjectName(QStringLiteral("x"));
        const int before = lookups();
        QCOMPARE(cache.getUserByUUID(QStringLiteral("erin"), QStringLiteral("cachetest")), user);
        QCOMPARE(lookups(), before);
        delete user->getQObject();
    }

    void cleanupTestCase()
    {
        if (Tavri::IdentityRealmInterface *realm = testRealm())
            IdentityRealmManager::getInstance()->unloadIdentityRealm(realm);
        delete IdentityRealmManager::getInstance();
        delete TavriIdentityRealm::getInstance();
    }
};

TAVRI_TEST_GUILESS_MAIN(IdentityCacheTest)
#include "tst_identitycache.moc"
