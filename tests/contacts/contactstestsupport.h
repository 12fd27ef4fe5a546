#pragma once

// Test doubles for the contact models: a realm whose users a test creates by
// id and whose roster signals a test emits by hand, and a user of it whose
// name and presence a test changes.

#include "fakerealm.h"
#include "realmuserinterface.h"

#include <QHash>
#include <QObject>
#include <QUrl>

class TestUser : public QObject, public Tavri::RealmUserInterface
{
    Q_OBJECT
    Q_INTERFACES(Tavri::RealmUserInterface)

public:
    TestUser(Tavri::IdentityRealmInterface* realm, const QString& uid, const QString& name,
             PresenceState state = Online, QObject* parent = nullptr)
        : QObject(parent)
        , m_realm(realm)
        , m_uid(uid)
        , m_name(name)
        , m_state(state)
    {
    }
    ~TestUser() override { emit destroying(); }

    void rename(const QString& name)
    {
        m_name = name;
        emit displayNameUpdated(name);
    }
    void setPresence(PresenceState state, const QString& message = QString())
    {
        m_state = state;
        m_message = message;
        emit presenceUpdated(state, message);
    }

    QString getRealmTag() override { return QStringLiteral("test"); }
    Tavri::IdentityRealmInterface* identityRealm() override { return m_realm; }
    void reservedHook(void*) override {}
    QString getUid() override { return m_uid; }
    QString getDisplayName() override { return m_name; }
    void reservedTextHook(QString) override {}
    QUrl getProfileImageURI() override { return QUrl(); }
    PresenceState getPresenceState() override { return m_state; }
    QString getPresenceMessage() override { return m_message; }
    QObject* getQObject() override { return this; }

signals:
    void updated();
    void presenceUpdated(Tavri::RealmUserInterface::PresenceState presenceState, const QString& presenceMessage);
    void displayNameUpdated(const QString& displayName);
    void profileIconUpdated(const QUrl& profileIconURI);
    void connected();
    void disconnected(const QString& reason);
    void authenticated();
    void authenticationError(const QString& errorMsg);
    void destroying();
    void chatColorChanged(const QString& chatColor);

public slots:
    void showUserDetails() override {}
    void sendInviteToTavri(const QUrl&) override {}

private:
    Tavri::IdentityRealmInterface* m_realm;
    QString m_uid;
    QString m_name;
    PresenceState m_state;
    QString m_message;
};

// Users are found or created by id, named after it and Online; a test may
// create them beforehand with other names and states.
class TestRealm : public FakeRealm
{
public:
    explicit TestRealm(const QString& id = QStringLiteral("test"), QObject* parent = nullptr)
        : FakeRealm(id, parent)
    {
    }

    Tavri::RealmUserInterface* getRealmUser(const QString& userUUID) override { return user(userUUID); }

    TestUser* user(const QString& uid, const QString& name = QString(),
                   Tavri::RealmUserInterface::PresenceState state = Tavri::RealmUserInterface::Online)
    {
        TestUser*& found = m_users[uid];
        if (!found) {
            found = new TestUser(this, uid, name.isEmpty() ? uid : name, state, this);
            ++m_created;
        }
        return found;
    }
    int createdUsers() const { return m_created; }

private:
    QHash<QString, TestUser*> m_users;
    int m_created = 0;
};
