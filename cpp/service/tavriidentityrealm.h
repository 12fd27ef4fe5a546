#pragma once

#include "identityrealminterface.h"
#include "realmuserinterface.h"

#include <QMap>
#include <QObject>
#include <QString>

class TavriIdentityRealmUser;

// TavriIdentityRealm: the built-in identity realm, backed by the voice service
// and the web service.
//
// One instance per process, created on first use by getInstance(). It owns the
// built-in realm's users (TavriIdentityRealmUser, created with the realm as
// parent) and keeps them by SIP URI, user id and user name; a user leaves the
// tables when it announces its end. Conversations, roster and chat sending
// belong here too and are added with the voice and web event handling. GUI
// thread only. Emits destroying() first thing in its destructor.
class TavriIdentityRealm : public QObject, public Tavri::IdentityRealmInterface
{
    Q_OBJECT
    Q_INTERFACES(Tavri::IdentityRealmInterface)

public:
    // The realm, created with parent on the first call.
    static TavriIdentityRealm* getInstance(QObject* parent = nullptr);
    ~TavriIdentityRealm() override;

    // Tavri::IdentityRealmInterface
    QString realmDisplayName() override;
    QString realmID() override;
    QString realmTag() override;
    bool realmFlagA() override;
    void realmHookA(void* argument) override;
    void* realmObjectA() override;
    void realmHookB(void* argument) override;
    bool realmFlagB() override;
    Tavri::RealmUserInterface* getRealmUser(const QString& userUUID) override;
    bool requestLogin() override;
    void requestLogout(Tavri::RealmUserInterface* identity) override;
    QObject* realmObject() override;
    void onNetworkDisconnect() override;
    void onNetworkReconnect() override;
    void sendTextMessage(const QString& conversationID, const QString& messageText) override;
    void sendTextMessage(const QString& senderUUID, const QString& receiverUUID, const QString& messageText) override;
    void requestJoinConversation(const QString& conversationID, const QString& participantUUID,
                                 const QString& password = QString()) override;
    void requestLeaveConversation(const QString& conversationID, const QString& participantUUID) override;
    void sendIsTypingChanged(const QString& conversationID, bool isTyping) override;

    // The user for a SIP URI, found or created (never null). A new user is
    // filed under the URI both as URI and as id, and its record is asked of
    // the web service.
    Tavri::RealmUserInterface* requestUserInfoUpdateByURI(const QString& sipURI);

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

public slots:
    // Drops the sending user from the realm's tables.
    void onUserDestroying();

private:
    explicit TavriIdentityRealm(QObject* parent);

    QMap<QString, TavriIdentityRealmUser*> m_usersByURI;
    // A user first met by URI is also filed here under its URI.
    QMap<QString, TavriIdentityRealmUser*> m_usersByUID;
    QMap<QString, TavriIdentityRealmUser*> m_usersByUName;
};
