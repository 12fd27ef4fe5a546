// A realm plug-in for the identity cache's tests: its realm "cachetest"
// creates a user for every lookup except "nobody" and counts the lookups in
// the property "lookups"; a user's id is its property "uid", which a test may
// change.

#include "fakerealm.h"

#include <QVariant>
#include <QtPlugin>

class CacheTestRealm : public FakeRealm
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IdentityRealmInterface_iid)

public:
    CacheTestRealm()
        : FakeRealm(QStringLiteral("cachetest"))
    {
        setProperty("lookups", 0);
    }

    Tavri::RealmUserInterface *getRealmUser(const QString &userUUID) override
    {
        setProperty("lookups", property("lookups").toInt() + 1);
        if (userUUID == QLatin1String("nobody"))
            return nullptr;
        return new FakeRealmUser(this, userUUID, this);
    }
};

#include "cacherealmplugin.moc"
