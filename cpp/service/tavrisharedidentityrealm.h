#pragma once

#include "identityrealminterface.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

// TavriSharedIdentityRealm: the identity realm of an external application
// that drives this program (started with "-svc").
//
// One exists per requesting application, owned by
// TavriSharedIdentityRealmManager and keyed by the requester id. The realm
// signs the application's user in through the web service and the voice
// service and reports its progress as a LoginState through loginStateChange.
// This class holds the realm's identity and login state; the pipe protocol,
// the realm's users and its conversation operations are supplied by the
// concrete realm, which is why the class cannot be created on its own yet.
// GUI thread only.
class TavriSharedIdentityRealm : public QObject, public Tavri::IdentityRealmInterface
{
    Q_OBJECT
    Q_INTERFACES(Tavri::IdentityRealmInterface)

public:
    // The same numbers as the local user's first four login states.
    enum LoginState {
        // Not logged in, or the controlling application is gone.
        LoggedOut = 0,
        // The application asked for a login.
        LoginRequested = 1,
        // The web service verified the login; the voice login is under way.
        LoginVerified = 2,
        // The voice session group exists: channels can be joined.
        SessionGroupReady = 3
    };
    Q_ENUM(LoginState)

    ~TavriSharedIdentityRealm() override;

    // 0 while the realm has no user display name; with one, 3 once it holds a
    // session group handle, else 2.
    LoginState getLoginState() const;
    QString getUserDisplayName() const { return m_userDisplayName; }
    QUrl getUserIconURL() const { return QUrl(m_userIconURL, QUrl::TolerantMode); }
    QString getSessionGroupHandle() const { return m_sessionGroupHandle; }
    // The voice session handle recorded for a channel URI; empty when none.
    QString getSessionHandleForChannel(const QString& channelURI) const
    {
        return m_sessionHandlesByChannel.value(channelURI);
    }

    // Tavri::IdentityRealmInterface, as far as it needs no pipe or realm user.
    QString realmDisplayName() override;
    QString realmID() override;
    QString realmTag() override;
    bool realmFlagA() override;
    void realmHookA(void* argument) override;
    void* realmObjectA() override;
    void realmHookB(void* argument) override;
    bool realmFlagB() override;
    bool requestLogin() override;
    QObject* realmObject() override;
    void onNetworkDisconnect() override;
    void onNetworkReconnect() override;

signals:
    void loginStateChange(TavriSharedIdentityRealm::LoginState state);

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

protected:
    TavriSharedIdentityRealm(const QString& requesterId, QObject* parent);

    // Set as the login proceeds: the user display name once the web service
    // verified the login, the session group handle once the voice service
    // made it, the icon address from the realm's verification.
    void setUserDisplayName(const QString& name) { m_userDisplayName = name; }
    void setSessionGroupHandle(const QString& handle) { m_sessionGroupHandle = handle; }
    void setUserIconURL(const QString& url) { m_userIconURL = url; }
    void setRealmDisplayName(const QString& name) { m_realmDisplayName = name; }
    // Records the session of a channel the realm joined; an empty handle
    // forgets it.
    void setSessionHandleForChannel(const QString& channelURI, const QString& handle)
    {
        if (handle.isEmpty())
            m_sessionHandlesByChannel.remove(channelURI);
        else
            m_sessionHandlesByChannel.insert(channelURI, handle);
    }

private:
    QString m_requesterId;
    QString m_realmDisplayName;
    QString m_userDisplayName;
    QString m_userIconURL;
    QString m_sessionGroupHandle;
    QHash<QString, QString> m_sessionHandlesByChannel;
};
