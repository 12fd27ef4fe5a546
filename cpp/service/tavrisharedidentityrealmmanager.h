#pragma once

#include "identityrealminterface.h"
#include "tavrisharedidentityrealm.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

// TavriSharedIdentityRealmManager: the realms of external applications that
// drive this program (one per application, started with "-svc").
//
// One instance per process, created on first use by getInstance(). It creates
// a realm per requester id from the "-svc" hand-over (createRealm), owns it,
// publishes it once the web service verified it (identityRealmAdded), relays
// its login and conversation events, and releases it when its application
// dies (externalAppRelease, then deferred deletion) or the program exits.
// GUI thread only.
class TavriSharedIdentityRealmManager : public QObject
{
    Q_OBJECT

public:
    // The instance, created with parent on the first call.
    static TavriSharedIdentityRealmManager *getInstance(QObject *parent = nullptr);
    static TavriSharedIdentityRealmManager *instance() { return getInstance(); }
    ~TavriSharedIdentityRealmManager() override;

    // The managed realms.
    QList<Tavri::IdentityRealmInterface *> getRealms() const;

    // The realm of a requester. A known requester id only gets the client
    // library version: its pipes stay as they are. Otherwise a new realm is
    // made, which opens the pipes and asks the web service to verify the
    // requester; it is kept under the id even when its pipes failed.
    TavriSharedIdentityRealm *createRealm(const QString &requesterId, const QString &token,
                                          const QString &outputPipeName, const QString &inputPipeName,
                                          const QString &clientLibVersion);

signals:
    // A realm's application is gone; realmName is the realm's display name.
    void externalAppRelease(const QString &realmName);
    void identityRealmAdded(Tavri::IdentityRealmInterface *identityRealm);
    void identityRealmRemoved(Tavri::IdentityRealmInterface *identityRealm);
    // A realm's login progressed or ended.
    void loginStateChange(TavriSharedIdentityRealm *realm, TavriSharedIdentityRealm::LoginState state);
    void conversationListEntryAdded(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                    const QString &displayName);
    void conversationListEntryRemoved(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID);
    void conversationTextMessageReceived(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                         const QString &senderUUID, const QString &receiverUUID,
                                         const QString &messageText, const QDateTime &sentAt);
    void conversationParticipantAdded(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                      const QString &participantUUID);
    void conversationParticipantRemoved(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                        const QString &participantUUID,
                                        Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                        const QString &reason);

public slots:
    void onSharedIdentityRealmDestroying();
    void onSharedIdentityRealmReady();
    void onSharedIdentityRealmControllerDied();
    void onSharedIdentityRealmLoginStateChanged(TavriSharedIdentityRealm::LoginState state);
    void onSharedIdentityRealmConversationJoined(const QString &sipURI, const QString &userURI);
    void onSharedIdentityRealmConversationDisconnected(
        const QString &sipURI, const QString &userURI,
        Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reasonMsg);
    void onSharedIdentityRealmConversationParticipantAdded(const QString &conversationID,
                                                           const QString &participantUUID);
    void onSharedIdentityRealmConversationParticipantRemoved(
        const QString &conversationID, const QString &participantUUID,
        Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reason);
    // Ends every realm at once.
    void onTavriApplicationExiting();

protected:
    // The first manager constructed becomes the instance.
    explicit TavriSharedIdentityRealmManager(QObject *parent);

    // Realms by requester id.
    QHash<QString, TavriSharedIdentityRealm *> m_realms;

private:
    // The sending realm, when it is one.
    TavriSharedIdentityRealm *senderRealm() const;
    // Removes the realm's entry; true when there was one.
    bool forget(TavriSharedIdentityRealm *realm);
    void disconnectRealm(TavriSharedIdentityRealm *realm);
};
