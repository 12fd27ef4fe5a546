// A realm plug-in for the identity cache's tests: its realm "cachetest"
// creates a user for every lookup and counts the lookups in the property
// "lookups"; a user's id is its property "uid", which a test may change.

#include "identityrealminterface.h"
#include "realmuserinterface.h"

#include <QObject>
#include <QVariant>
#include <QtPlugin>

class CacheTestUser : public QObject, public Tavri::RealmUserInterface
{
    Q_OBJECT
    Q_INTERFACES(Tavri::RealmUserInterface)

public:
    CacheTestUser(Tavri::IdentityRealmInterface* realm, const QString& uid, QObject* parent)
        : QObject(parent)
        , m_realm(realm)
    {
        setProperty("uid", uid);
    }
    ~CacheTestUser() override { emit destroying(); }

    QString getRealmTag() override { return QStringLiteral("cachetest"); }
    Tavri::IdentityRealmInterface* identityRealm() override { return m_realm; }
    void reservedHook(void*) override {}
    QString getUid() override { return property("uid").toString(); }
    QString getDisplayName() override { return getUid(); }
    void reservedTextHook(QString) override {}
    QUrl getProfileImageURI() override { return QUrl(); }
    PresenceState getPresenceState() override { return Online; }
    QString getPresenceMessage() override { return QString(); }
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
};

class CacheTestRealm : public QObject, public Tavri::IdentityRealmInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IdentityRealmInterface_iid)
    Q_INTERFACES(Tavri::IdentityRealmInterface)

public:
    CacheTestRealm() { setProperty("lookups", 0); }
    ~CacheTestRealm() override { emit destroying(); }

    QString realmDisplayName() override { return QStringLiteral("Cache test"); }
    QString realmID() override { return QStringLiteral("cachetest"); }
    QString realmTag() override { return QStringLiteral("cachetest"); }
    bool realmFlagA() override { return false; }
    void realmHookA(void*) override {}
    void* realmObjectA() override { return nullptr; }
    void realmHookB(void*) override {}
    bool realmFlagB() override { return false; }
    // A new user for every known id; "nobody" is unknown.
    Tavri::RealmUserInterface* getRealmUser(const QString& userUUID) override
    {
        setProperty("lookups", property("lookups").toInt() + 1);
        if (userUUID == QLatin1String("nobody"))
            return nullptr;
        return new CacheTestUser(this, userUUID, this);
    }
    bool requestLogin() override { return false; }
    void requestLogout(Tavri::RealmUserInterface*) override {}
    QObject* realmObject() override { return this; }
    void onNetworkDisconnect() override {}
    void onNetworkReconnect() override {}
    void sendTextMessage(const QString&, const QString&) override {}
    void sendTextMessage(const QString&, const QString&, const QString&) override {}
    void requestJoinConversation(const QString&, const QString&, const QString& = QString()) override {}
    void requestLeaveConversation(const QString&, const QString&) override {}
    void sendIsTypingChanged(const QString&, bool) override {}

signals:
    void rosterListReceivedBegin(const QString& subscriberUUID);
    void rosterListGroup(const QString& subscriberUUID, const QString& groupID, const QString& groupName);
    void rosterListEntry(const QString& subscriberUUID, const QString& contactUUID);
    void rosterListGroupEntry(const QString& subscriberUUID, const QString& groupID, const QString& contactUUID);
    void rosterListReceivedEnd(const QString& subscriberUUID);
    void rosterListReceived(const QString& subscriberUUID, const QStringList& contactUUIDs);
    void rosterListEntryRemoved(const QString& subscriberUUID, const QString& contactUUID);
    void rosterListGroupEntryRemoved(const QString& subscriberUUID, const QString& groupID,
                                     const QString& contactUUID);
    void rosterListGroupRemoved(const QString& subscriberUUID, const QString& groupID);
    void conversationListReceivedBegin(const QString& subscriberUUID);
    void conversationListEntry(const QString& subscriberUUID, const QString& conversationID,
                               const QString& conversationDisplayName);
    void conversationListReceivedEnd(const QString& subscriberUUID);
    void conversationListReceived(const QString& subscriberUUID, const QStringList& conversationIDs,
                                  const QStringList& conversationDisplayNames);
    void conversationListEntryRemoved(const QString& subscriberUUID, const QString& conversationID);
    void conversationJoinRequested(const QString& conversationID, const QString& conversationDisplayName,
                                   const QString& senderUUID);
    void textMessageReceived(const QString& conversationID, const QString& senderUUID, const QString& receiverUUID,
                             const QString& messageText, const QDateTime& sentAt);
    void conversationParticipantAdded(const QString& conversationID, const QString& participantUUID);
    void conversationParticipantRemoved(const QString& conversationID, const QString& participantUUID,
                                        Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                        const QString& reason);
    void conversationParticipantIsTypingChanged(const QString& conversationID, const QString& participantUUID,
                                                bool isTyping);
    void conversationJoined(const QString& conversationID, const QString& participantUUID);
    void conversationPasswordRequired(const QString& conversationID, const QString& participantUUID);
    void conversationDisconnected(const QString& conversationID, const QString& participantUUID,
                                  Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                  const QString& reason);
    void destroying();
};

#include "cacherealmplugin.moc"
