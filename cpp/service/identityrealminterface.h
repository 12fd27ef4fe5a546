#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QtPlugin>

class QObject;

namespace Tavri {

class RealmUserInterface;

// An identity realm: a source of users, a roster, conversations and chat text.
//
// The built-in realm (TavriIdentityRealm) and each external application's
// realm implement it; IdentityRealmManager finds realms by their realmID()
// and relays their conversation signals. An implementer derives from QObject
// first and from this interface second and lists it in Q_INTERFACES, so that
// a receiver can cast a signal's sender through the interface id. Every
// operation is pure, the signals included: the implementer declares them
// again under `signals:` and its meta-object code provides their bodies.
// Connections are made on realmObject().
//
// The order of the virtual operations is part of the plug-in interface: keep
// it as it is in every implementer. destroying() is emitted before anything
// of a realm is torn down; every signal is emitted on the GUI thread.
class IdentityRealmInterface
{
public:
    // Why a participant left or the local user's session ended; a plain int
    // in the signals' arguments.
    enum ConversationDisconnectReasonCode {
        DisconnectReasonNone = 0,
        DisconnectReasonTimedOut = 1,
        DisconnectReasonKicked = 2,
        DisconnectReasonBanned = 3,
        DisconnectReasonPasswordRequired = 4,
        DisconnectReasonAccessDenied = 5,
        DisconnectReasonFailed = 6
    };

    virtual ~IdentityRealmInterface() = default;

    virtual QString realmDisplayName() = 0;
    virtual QString realmID() = 0;
    // realmTag to realmFlagB carry no behaviour beyond their fixed answers;
    // they keep the places of the operations that follow.
    virtual QString realmTag() = 0;
    virtual bool realmFlagA() = 0;
    virtual void realmHookA(void *argument) = 0;
    virtual void *realmObjectA() = 0;
    virtual void realmHookB(void *argument) = 0;
    // True for the built-in realm, false for an external application's.
    virtual bool realmFlagB() = 0;
    // The realm's user for a user id, found or created.
    virtual RealmUserInterface *getRealmUser(const QString &userUUID) = 0;
    virtual bool requestLogin() = 0;
    virtual void requestLogout(Tavri::RealmUserInterface *identity) = 0;
    // The realm as a QObject: the sender of all its signals.
    virtual QObject *realmObject() = 0;

    // Signals, provided by the implementer's meta-object code.
    virtual void rosterListReceivedBegin(const QString &subscriberUUID) = 0;
    virtual void rosterListGroup(const QString &subscriberUUID, const QString &groupID, const QString &groupName) = 0;
    virtual void rosterListEntry(const QString &subscriberUUID, const QString &contactUUID) = 0;
    virtual void rosterListGroupEntry(const QString &subscriberUUID, const QString &groupID,
                                      const QString &contactUUID) = 0;
    virtual void rosterListReceivedEnd(const QString &subscriberUUID) = 0;
    virtual void rosterListReceived(const QString &subscriberUUID, const QStringList &contactUUIDs) = 0;
    virtual void rosterListEntryRemoved(const QString &subscriberUUID, const QString &contactUUID) = 0;
    virtual void rosterListGroupEntryRemoved(const QString &subscriberUUID, const QString &groupID,
                                             const QString &contactUUID) = 0;
    virtual void rosterListGroupRemoved(const QString &subscriberUUID, const QString &groupID) = 0;
    virtual void conversationListReceivedBegin(const QString &subscriberUUID) = 0;
    virtual void conversationListEntry(const QString &subscriberUUID, const QString &conversationID,
                                       const QString &conversationDisplayName) = 0;
    virtual void conversationListReceivedEnd(const QString &subscriberUUID) = 0;
    virtual void conversationListReceived(const QString &subscriberUUID, const QStringList &conversationIDs,
                                          const QStringList &conversationDisplayNames) = 0;
    virtual void conversationListEntryRemoved(const QString &subscriberUUID, const QString &conversationID) = 0;
    virtual void conversationJoinRequested(const QString &conversationID, const QString &conversationDisplayName,
                                           const QString &senderUUID) = 0;
    virtual void textMessageReceived(const QString &conversationID, const QString &senderUUID,
                                     const QString &receiverUUID, const QString &messageText,
                                     const QDateTime &sentAt) = 0;
    virtual void conversationParticipantAdded(const QString &conversationID, const QString &participantUUID) = 0;
    virtual void
    conversationParticipantRemoved(const QString &conversationID, const QString &participantUUID,
                                   Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                   const QString &reason) = 0;
    virtual void conversationParticipantIsTypingChanged(const QString &conversationID, const QString &participantUUID,
                                                        bool isTyping) = 0;
    virtual void conversationJoined(const QString &conversationID, const QString &participantUUID) = 0;
    virtual void conversationPasswordRequired(const QString &conversationID, const QString &participantUUID) = 0;
    virtual void conversationDisconnected(const QString &conversationID, const QString &participantUUID,
                                          Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                          const QString &reason) = 0;
    virtual void destroying() = 0;

    virtual void onNetworkDisconnect() = 0;
    virtual void onNetworkReconnect() = 0;
    virtual void sendTextMessage(const QString &conversationID, const QString &messageText) = 0;
    virtual void sendTextMessage(const QString &senderUUID, const QString &receiverUUID,
                                 const QString &messageText) = 0;
    virtual void requestJoinConversation(const QString &conversationID, const QString &participantUUID,
                                         const QString &password = QString()) = 0;
    virtual void requestLeaveConversation(const QString &conversationID, const QString &participantUUID) = 0;
    virtual void sendIsTypingChanged(const QString &conversationID, bool isTyping) = 0;
};

} // namespace Tavri

#define IdentityRealmInterface_iid "com.ostrel.tavri.plugin.IdentityRealmInterface"
Q_DECLARE_INTERFACE(Tavri::IdentityRealmInterface, IdentityRealmInterface_iid)
Q_DECLARE_METATYPE(Tavri::IdentityRealmInterface *)
Q_DECLARE_METATYPE(Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode)
