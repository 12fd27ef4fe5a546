// A realm plug-in for the realm manager's tests. FAKE_REALM_ID names the
// realm; with NOT_A_REALM the root object does not implement the realm
// interface at all.

#include "fakerealm.h"

#include <QtPlugin>

#ifndef NOT_A_REALM

class FakeRealmPlugin : public FakeRealm
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IdentityRealmInterface_iid)

public:
    FakeRealmPlugin()
        : FakeRealm(QStringLiteral(FAKE_REALM_ID))
    {
    }
};

#else

class NotARealmPlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.ostrel.tavri.test.NotARealm")
};

#endif

#include "fakerealmplugin.moc"
