#pragma once

// Test doubles for the contact models: a realm whose users a test creates by
// id and whose roster signals a test emits by hand, and a user of it whose
// name and presence a test changes.

#include "fakerealm.h"

#include <QHash>

using TestUser = FakeRealmUser;

// Users are found or created by id, named after it and Online; a test may
// create them beforehand with other names and states.
class TestRealm : public FakeRealm
{
public:
    explicit TestRealm(const QString &id = QStringLiteral("test"), QObject *parent = nullptr)
        : FakeRealm(id, parent)
    {
    }

    Tavri::RealmUserInterface *getRealmUser(const QString &userUUID) override { return user(userUUID); }

    TestUser *user(const QString &uid, const QString &name = QString(),
                   Tavri::RealmUserInterface::PresenceState state = Tavri::RealmUserInterface::Online)
    {
        TestUser *&found = m_users[uid];
        if (!found) {
            found = new TestUser(this, uid, name.isEmpty() ? uid : name, state, this);
            ++m_created;
        }
        return found;
    }
    int createdUsers() const { return m_created; }

private:
    QHash<QString, TestUser *> m_users;
    int m_created = 0;
};
