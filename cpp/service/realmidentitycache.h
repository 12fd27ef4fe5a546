#pragma once

#include "realmuserinterface.h"

#include <QHash>
#include <QObject>
#include <QPair>
#include <QString>

// RealmIdentityCache: finds the user of any identity realm by (realm id, user
// id) and remembers the answer for realms other than the built-in one, so
// that repeated lookups do not ask the realm again.
//
// One process-wide instance, reached through instance(): a static object that
// exists before the program's entry and goes at exit; it has no parent. The
// cache does not own the users, their realms do: an entry leaves when its
// user announces destroying(). The built-in realm keeps its own user tables
// and is never cached. Its operations are invokable through the meta-object
// system. GUI thread only.
class RealmIdentityCache : public QObject
{
    Q_OBJECT

public:
    // Further instances are for tests; the program uses instance().
    explicit RealmIdentityCache(QObject *parent = nullptr);
    ~RealmIdentityCache() override;

    static RealmIdentityCache *instance();

public slots:
    // The sending user ends: every entry that holds it is dropped.
    void onRealmUserDestruction();

public:
    // The user with that id in the realm with that id; null when the realm is
    // unknown or has no such user. Creates the built-in realm when it does not
    // exist yet.
    Q_INVOKABLE Tavri::RealmUserInterface *getUserByUUID(const QString &userUUID, const QString &realmID = QString());

private:
    // (realm id, user id), compared exactly.
    using Key = QPair<QString, QString>;

    QHash<Key, Tavri::RealmUserInterface *> m_users;
};
