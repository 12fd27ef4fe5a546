#pragma once

// Test doubles of the realm interfaces: a realm that records what it is asked
// and whose signals a test emits by hand, and a user of such a realm. Part of
// the tests' support library and, wrapped as a Qt plug-in, of the plug-in
// files that the realm manager and the identity cache load in their tests.
// Only the interface headers are used, so the plug-ins need nothing of the
// program's library.

#include "identityrealminterface.h"
#include "realmuserinterface.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

class FakeRealm : public QObject, public Tavri::IdentityRealmInterface
{
    Q_OBJECT
    Q_INTERFACES(Tavri::IdentityRealmInterface)

public:
    explicit FakeRealm(const QString &id = QStringLiteral("fake"), QObject *parent = nullptr)
        : QObject(parent)
        , m_id(id)
    {
    }
    ~FakeRealm() override { emit destroying(); }

    QString realmDisplayName() override { return QStringLiteral("Fake ") + m_id; }
    QString realmID() override { return m_id; }
    QString realmTag() override { return QStringLiteral("fake"); }
    bool realmFlagA() override { return false; }
    void realmHookA(void *) override {}
    void *realmObjectA() override { return nullptr; }
    void realmHookB(void *) override {}
    bool realmFlagB() override { return false; }
    Tavri::RealmUserInterface *getRealmUser(const QString &) override { return nullptr; }
    bool requestLogin() override { return false; }
    void requestLogout(Tavri::RealmUserInterface *) override {}
    QObject *realmObject() override { return this; }
    void onNetworkDisconnect() override {}
    void onNetworkReconnect() override {}
    void sendTextMessage(const QString &, const QString &) override {}
    void sendTextMessage(const QString &, const QString &, const QString &) override {}
    // Recorded as a property so that a test can read it from a plug-in's realm too.
    void requestJoinConversation(const QString &conversationID, const QString &participantUUID,
                                 const QString &password = QString()) override
    {
        setProperty("lastJoin", QStringList{conversationID, participantUUID, password});
    }
    void requestLeaveConversation(const QString &, const QString &) override {}
    void sendIsTypingChanged(const QString &, bool) override {}

signals:
    void rosterListReceivedBegin(const QString &subscriberUUID);
    void rosterListGroup(const QString &subscriberUUID, const QString &groupID, const QString &groupName);
    void rosterListEntry(const QString &subscriberUUID, const QString &contactUUID);
    void rosterListGroupEntry(const QString &subscriberUUID, const QString &groupID, const QString &contactUUID);
    void rosterListReceivedEnd(const QString &subscriberUUID);
    void rosterListReceived(const QString &subscriberUUID, const QStringList &contactUUIDs);
    void rosterListEntryRemoved(const QString &subscriberUUID, const QString &contactUUID);
    void rosterListGroupEntryRemoved(const QString &subscriberUUID, const QString &groupID, const QString &contactUUID);
    void rosterListGroupRemoved(const QString &subscriberUUID, const QString &groupID);
    void conversationListReceivedBegin(const QString &subscriberUUID);
    void conversationListEntry(const QString &subscriberUUID, const QString &conversationID,
                               const QString &conversationDisplayName);
    void conversationListReceivedEnd(const QString &subscriberUUID);
    void conversationListReceived(const QString &subscriberUUID, const QStringList &conversationIDs,
                                  const QStringList &conversationDisplayNames);
    void conversationListEntryRemoved(const QString &subscriberUUID, const QString &conversationID);
    void conversationJoinRequested(const QString &conversationID, const QString &conversationDisplayName,
                                   const QString &senderUUID);
    void textMessageReceived(const QString &conversationID, const QString &senderUUID, const QString &receiverUUID,
                             const QString &messageText, const QDateTime &sentAt);
    void conversationParticipantAdded(const QString &conversationID, const QString &participantUUID);
    void conversationParticipantRemoved(const QString &conversationID, const QString &participantUUID,
                                        Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                        const QString &reason);
    void conversationParticipantIsTypingChanged(const QString &conversationID, const QString &participantUUID,
                                                bool isTyping);
    void conversationJoined(const QString &conversationID, const QString &participantUUID);
    void conversationPasswordRequired(const QString &conversationID, const QString &participantUUID);
    void conversationDisconnected(const QString &conversationID, const QString &participantUUID,
                                  Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                  const QString &reason);
    void destroying();

private:
    QString m_id;
};

// A user of a fake realm: named "Fake user <uid>", Online and tagged "fake"
// unless made otherwise; a test changes its name and presence, which emits
// the matching signal. Its id is the object's property "uid", so a test can
// change it also through the object of an interface pointer.
class FakeRealmUser : public QObject, public Tavri::RealmUserInterface
{
    Q_OBJECT
    Q_INTERFACES(Tavri::RealmUserInterface)

public:
    FakeRealmUser(Tavri::IdentityRealmInterface *realm, const QString &uid, QObject *parent = nullptr)
        : FakeRealmUser(realm, uid, QStringLiteral("Fake user ") + uid, Online, parent)
    {
    }
    FakeRealmUser(Tavri::IdentityRealmInterface *realm, const QString &uid, const QString &name,
                  PresenceState state = Online, QObject *parent = nullptr)
        : QObject(parent)
        , m_realm(realm)
        , m_name(name)
        , m_state(state)
    {
        setProperty("uid", uid);
    }
    ~FakeRealmUser() override { emit destroying(); }

    void rename(const QString &name)
    {
        m_name = name;
        emit displayNameUpdated(name);
    }
    void setPresence(PresenceState state, const QString &message = QString())
    {
        m_state = state;
        m_message = message;
        emit presenceUpdated(state, message);
    }
    void setRealmTag(const QString &tag) { m_tag = tag; }

    QString getRealmTag() override { return m_tag; }
    Tavri::IdentityRealmInterface *identityRealm() override { return m_realm; }
    void reservedHook(void *) override {}
    QString getUid() override { return property("uid").toString(); }
    QString getDisplayName() override { return m_name; }
    void reservedTextHook(QString) override {}
    QUrl getProfileImageURI() override { return QUrl(); }
    PresenceState getPresenceState() override { return m_state; }
    QString getPresenceMessage() override { return m_message; }
    QObject *getQObject() override { return this; }

signals:
    void updated();
    void presenceUpdated(Tavri::RealmUserInterface::PresenceState presenceState, const QString &presenceMessage);
    void displayNameUpdated(const QString &displayName);
    void profileIconUpdated(const QUrl &profileIconURI);
    void connected();
    void disconnected(const QString &reason);
    void authenticated();
    void authenticationError(const QString &errorMsg);
    void destroying();
    void chatColorChanged(const QString &chatColor);

public slots:
    void showUserDetails() override {}
    void sendInviteToTavri(const QUrl &) override {}

private:
    Tavri::IdentityRealmInterface *m_realm;
    QString m_name;
    PresenceState m_state;
    QString m_message;
    QString m_tag = QStringLiteral("fake");
};
