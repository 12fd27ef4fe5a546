#pragma once

#include "identityrealminterface.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

class QPluginLoader;

// IdentityRealmManager: the registry of identity realms.
//
// One instance per process, created at start-up (with the application as
// parent) through getInstance(). It finds a realm by id (external
// applications' realms first, then its own table, which holds the built-in
// realm and realms loaded from plug-in files), relays every realm's
// conversation signals as its own with the sending realm in front, and turns a
// realm's conversation-list transfers into single entry-added and
// entry-removed events by remembering what it announced before. GUI thread
// only; not exposed to QML.
class IdentityRealmManager : public QObject
{
    Q_OBJECT

public:
    // The instance, created with parent on the first call.
    static IdentityRealmManager *getInstance(QObject *parent = nullptr);
    ~IdentityRealmManager() override;

    // The realm with that id, or null.
    Tavri::IdentityRealmInterface *getIdentityRealm(const QString &realmID);

    // Joins a conversation with the password remembered for it when none is
    // given, and remembers a given password when savePassword is true.
    void joinConversationWithStoredPassword(Tavri::IdentityRealmInterface *realm, const QString &conversationID,
                                            const QString &participantUUID, const QString &password, bool savePassword);

signals:
    void conversationListEntryAdded(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                    const QString &displayName);
    void conversationListEntryRemoved(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID);
    void conversationJoinRequested(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                   const QString &conversationDisplayName, const QString &senderUUID);
    void conversationTextMessageReceived(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                         const QString &senderUUID, const QString &receiverUUID,
                                         const QString &messageText, const QDateTime &sentAt);
    void conversationParticipantAdded(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                      const QString &participantUUID);
    void conversationParticipantRemoved(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                        const QString &participantUUID,
                                        Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                        const QString &reason);
    void conversationParticipantIsTypingChanged(Tavri::IdentityRealmInterface *identityRealm,
                                                const QString &conversationID, const QString &participantUUID,
                                                bool isTyping);
    void conversationJoined(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID);
    void conversationPasswordRequired(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID);
    void conversationDisconnected(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                  Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                  const QString &reason);

public slots:
    // Loads a realm from a Qt plug-in file and registers it. Refused, with a
    // log line, for a file without the realm interface and for a realm id that
    // is empty or already registered.
    void loadIdentityRealm(const QString &pluginFileName);
    // Disconnects the realm, drops it from the table and unloads its plug-in.
    void unloadIdentityRealm(Tavri::IdentityRealmInterface *realm);

protected slots:
    void onIdentityRealmConversationListReceivedBegin(const QString &subscriberUUID);
    void onIdentityRealmConversationListEntry(const QString &subscriberUUID, const QString &conversationID,
                                              const QString &conversationDisplayName);
    void onIdentityRealmConversationListReceivedEnd(const QString &subscriberUUID);
    void onIdentityRealmConversationListReceived(const QString &subscriberUUID, const QStringList &conversationIDs,
                                                 const QStringList &conversationDisplayNames);
    void onIdentityRealmConversationListEntryRemoved(const QString &subscriberUUID, const QString &conversationID);
    void onIdentityRealmConversationJoinRequested(const QString &conversationID, const QString &conversationDisplayName,
                                                  const QString &senderUUID);
    void onIdentityRealmTextMessageReceived(const QString &conversationID, const QString &senderUUID,
                                            const QString &receiverUUID, const QString &messageText,
                                            const QDateTime &sentAt);
    void onIdentityRealmConversationParticipantAdded(const QString &conversationID, const QString &participantUUID);
    void onIdentityRealmConversationParticipantRemoved(
        const QString &conversationID, const QString &participantUUID,
        Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reason);
    void onIdentityRealmConversationParticipantIsTypingChanged(const QString &conversationID,
                                                               const QString &participantUUID, bool isTyping);
    void onIdentityRealmConversationJoined(const QString &conversationID, const QString &participantUUID);
    void onIdentityRealmConversationPasswordRequired(const QString &conversationID, const QString &participantUUID);
    void
    onIdentityRealmConversationDisconnected(const QString &conversationID, const QString &participantUUID,
                                            Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                            const QString &reason);
    void onIdentityRealmDestroying();

private:
    // (realm id, subscriber UUID), compared exactly.
    using ConversationListKey = QPair<QString, QString>;

    explicit IdentityRealmManager(QObject *parent);

    void connectIdentityRealm(Tavri::IdentityRealmInterface *realm);
    void disconnectIdentityRealm(Tavri::IdentityRealmInterface *realm);
    Tavri::IdentityRealmInterface *senderRealm() const;
    void beginConversationList(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID);
    void addConversationListEntry(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID,
                                  const QString &conversationID, const QString &displayName);
    void endConversationList(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID);
    void removeConversationListEntry(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID,
                                     const QString &conversationID);

    QHash<QString, Tavri::IdentityRealmInterface *> m_identityRealms;
    QHash<Tavri::IdentityRealmInterface *, QPluginLoader *> m_pluginLoaders;
    // The list as received (during a transfer: the list being built), with
    // the display names parallel to the ids.
    QHash<ConversationListKey, QStringList> m_conversationIDs;
    // The same ids as sets, for asking whether one is there.
    QHash<ConversationListKey, QSet<QString>> m_conversationIDSets;
    QHash<ConversationListKey, QStringList> m_conversationDisplayNames;
    // Ids announced as added and not removed since.
    QHash<ConversationListKey, QStringList> m_publishedConversationIDs;
    QHash<ConversationListKey, bool> m_receivingConversationList;
};
