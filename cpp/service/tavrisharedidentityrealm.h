#pragma once

#include "identityrealminterface.h"
#include "tavrisharedidentityrealmoutput.h"
#include "tavrisharedidentityrealmrequest.h"

#include <QHash>
#include <QList>
#include <QLocalSocket>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>
#include <map>

class QLocalServer;
class QSocialManager;
class TavriSharedIdentityRealmInputReader;
class TavriSharedIdentityRealmJsonReplyHandler;
class TavriSharedIdentityRealmUser;
class VoiceManager;

// TavriSharedIdentityRealm: the identity realm of an external application
// that drives this program (started with "-svc").
//
// One exists per requesting application, owned by
// TavriSharedIdentityRealmManager and keyed by the requester id. The realm
// talks to the application over two local pipes: it listens on the input
// pipe, where the application writes one request per connection
// (acknowledged on that connection with a 4-byte status), and it connects to
// the application's own output pipe, where it writes responses and events.
// It signs the application's user in through the web service and the voice
// service and reports its progress as a LoginState through loginStateChange.
// When the output pipe closes or fails the application is taken as gone:
// loginStateChange(LoggedOut), then controllerDied, and the manager ends the
// realm. A realm whose output pipe could not be opened stays inert: it
// neither verifies nor answers. GUI thread only; reading a request and
// setting up the pipes block the event loop for bounded waits.
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

    // One invitation into a channel that the application has not answered.
    struct Invitation {
        QString inviter;
        QString conversationName;
        QString conversationURI;
    };

    // Waits of the pipe set-up and of reading one request.
    static constexpr int kOutputConnectWaitMs = 2500;
    static constexpr int kOutputConnectPauseMs = 250;
    static constexpr int kOutputConnectAttempts = 2;
    static constexpr int kInputDeadlineMs = 30000;
    static constexpr int kInputReadWaitMs = 2000;
    static constexpr int kStatusWriteWaitMs = 250;
    static constexpr int kOutputWriteWaitMs = 5000;
    // Unwritten output past this means the application stopped reading.
    static constexpr qint64 kMaxUnwrittenOutput = 1024 * 1024;
    // Requests of one type waiting for their response; the oldest goes first.
    static constexpr int kMaxPendingPerType = 64;
    // Unanswered invitations kept; older ones are dropped.
    static constexpr int kMaxInvitations = 100;

    // Connects to outputPipeName (two attempts), listens on inputPipeName,
    // asks the web service to verify the requester and follows the voice
    // service's device, key, mute, presence and app-data signals.
    TavriSharedIdentityRealm(const QString &inputPipeName, const QString &outputPipeName, const QString &requesterId,
                             const QString &requesterToken, const QString &clientLibVersion, QObject *parent);
    ~TavriSharedIdentityRealm() override;

    // LoggedOut once the application is gone or while the realm has no user
    // display name; with one, SessionGroupReady once it holds a session group
    // handle, else LoginVerified.
    LoginState getLoginState() const;
    QString getUserDisplayName() const { return m_userDisplayName; }
    QString getUserSipURI() const { return m_userSipURI; }
    QUrl getUserIconURL() const { return QUrl(m_userIconURL, QUrl::TolerantMode); }
    QString getSessionGroupHandle() const { return m_sessionGroupHandle; }
    QString getAccountHandle() const { return m_accountHandle; }
    // The realm's address, icon address and description, as the web
    // service's verification reply gave them; empty until it came.
    QString realmURL() const { return m_realmURL; }
    QString realmIconURL() const { return m_realmIconURL; }
    QString realmDescription() const { return m_realmDescription; }
    QString getClientLibVersion() const { return m_clientLibVersion; }
    // True when the output pipe could not be opened.
    bool isInert() const { return m_inert; }
    // The voice session handle of a joined channel; empty when not joined.
    QString getSessionHandleForChannel(const QString &channelURI) const
    {
        return m_sessionHandlesByChannel.value(channelURI);
    }
    // The joined channels, in URI order.
    QStringList joinedChannels() const { return m_sessionHandlesByChannel.keys(); }

    // The channel's recorded name, else the URI.
    QString conversationName(const QString &uri) const;
    // The first channel URI (in URI order) whose recorded name is name,
    // joined or not; empty when none.
    QString conversationUriForName(const QString &name) const;
    // The joined channel whose session is the transmitting one, else empty.
    QString currentConversation() const;
    // A user's recorded name, else the URI; a name's first URI, else the name.
    QString nameForUri(const QString &uri) const;
    QString uriForName(const QString &name) const;
    QList<Invitation> pendingInvitations() const { return m_invitations; }
    // Channels whose join was asked for and whose session is not there yet.
    QStringList joinsInProgress() const { return m_joinsInProgress; }

    // The realm's user for a key (a "sip:" URI or a name), cached: the same
    // key gives the same user while the realm lives.
    TavriSharedIdentityRealmUser *getUser(const QString &key);

    // Requests of a type waiting for their response.
    int pendingRequestCount(int type) const;
    // Releases every waiting request unanswered.
    void discardPendingRequests();

    // Writes one response or event to the application, releasing the request
    // a response answers. Nothing goes out on an inert or closed pipe.
    void sendOutputMessage(TavriSharedIdentityRealmOutput &output);

    // Operations the application's requests and text commands drive.
    void requestLogin(const QString &userName, const QString &userToken);
    void requestJoin(const QString &channel, const QString &password);
    void sendMessageToTransmitting(const QString &text);
    void setMute(const QString &participantURI, bool mute);
    void setPresence(int presence, const QString &message);
    void setTransmittingChannel(const QString &channelURI);
    void setDevice(const QString &captureDevice, const QString &renderDevice);
    void setTalkMode(int mode, const QString &keyCombination);
    void setClientLibVersion(const QString &version) { m_clientLibVersion = version; }
    void respondToInvite(int index, bool decline);
    void sendInvite(const QString &channel, const QString &invitee);
    void sendMessage(const QString &recipient, const QString &text);
    void requestAddContact(const QString &target);
    void requestRemoveContact(const QString &target);
    void requestBlockUser(const QString &target);
    void requestUnblockUser(const QString &target);
    void requestContactList();
    void sendDeviceList();
    void sendInviteList();
    void executeCommand(const QString &commandLine);

    // The overall time one input connection may take; for tests.
    void setInputDeadline(int milliseconds) { m_inputDeadlineMs = milliseconds; }

    // Tavri::IdentityRealmInterface
    QString realmDisplayName() override;
    QString realmID() override;
    QString realmTag() override;
    bool realmFlagA() override;
    void realmHookA(void *argument) override;
    void *realmObjectA() override;
    void realmHookB(void *argument) override;
    bool realmFlagB() override;
    Tavri::RealmUserInterface *getRealmUser(const QString &userUUID) override;
    bool requestLogin() override;
    void requestLogout(Tavri::RealmUserInterface *identity) override;
    QObject *realmObject() override;
    void onNetworkDisconnect() override;
    void onNetworkReconnect() override;
    void sendTextMessage(const QString &conversationID, const QString &messageText) override;
    void sendTextMessage(const QString &senderUUID, const QString &receiverUUID, const QString &messageText) override;
    void requestJoinConversation(const QString &conversationID, const QString &participantUUID,
                                 const QString &password = QString()) override;
    void requestLeaveConversation(const QString &conversationID, const QString &participantUUID) override;
    void sendIsTypingChanged(const QString &conversationID, bool isTyping) override;

signals:
    // The web service verified the requester; the manager publishes the realm.
    void ready();
    // The application is gone; the manager releases the realm.
    void controllerDied();
    void loginStateChange(TavriSharedIdentityRealm::LoginState state);

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

public slots:
    // Serves the connections waiting on the input pipe, one request each.
    void onNewInputMessage();

    // Replies of the web service.
    void onSessionTokenReceived(const QString &sessionToken);
    void onRealmVerified(const QString &displayName);
    void onRealmInfoReceived(const QString &realmDisplayName, const QString &realmURL, const QString &realmIconURL,
                             const QString &realmDescription);
    void onLoginVerified(const QString &userDisplayName, const QString &userSipURI, const QString &ostrelLoginToken);
    void onContactAdded(const QString &userSipURI, bool success, bool wasBlocked);
    void onContactRemoved(const QString &userSipURI, bool success);
    void onUserBlocked(const QString &userSipURI, bool success);
    void onUserUnblocked(const QString &userSipURI, bool success);
    void onContactListReceived(const QStringList &contactURIs, const QStringList &contactNames);
    void onBlockListReceived(const QStringList &contactURIs, const QStringList &contactNames);
    void onUserInfoReceived(const QString &userSipURI, const QString &username);
    void onUserNotFound(const QString &target);
    void onChannelAccessInfoReceived(const QString &channelName, const QString &channelUri,
                                     const QString &channelToken);
    void onChannelAccessDenied(const QString &channelName);
    void onNameUriMapped(const QString &name, const QString &uri);

    // Answers to list requests.
    void onConversationListReturned(const QStringList &channelURIs, const QString &selectedURI);
    void onParticipantListReturned(const QStringList &participantURIs, const QStringList &participantNames,
                                   const QString &channelURI);

    // Signals of the voice service.
    void onAccountHandleReceived(const QString &sharedRealmID, const QString &accountHandle);
    void onSessionGroupHandleReceived(const QString &sharedRealmID, const QString &sessionGroupHandle);
    void onSessionHandleReceived(const QString &sessionGroupHandle, const QString &sipURI,
                                 const QString &sessionHandle);
    void onSessionTerminated(const QString &sessionURI, const QString &sessionHandle);
    void onParticipantAdded(const QString &participantURI, const QString &sessionHandle, const QString &displayName,
                            const QString &participantTag);
    void onParticipantRemoved(const QString &participantURI, const QString &sessionHandle, int reason,
                              const QString &participantTag);
    void onParticipantUpdated(const QString &userUri, const QString &sessionHandle, bool isMutedGlobally,
                              bool isSpeaking, int volumeAdjustment, double energy, int activeMediaFlags,
                              bool isMutedLocally, bool isTextMutedGlobally, int participantType,
                              const QString &participantTag);
    void onSessionMessageReceived(const QString &senderURI, const QString &sessionHandle, const QString &message);
    void onSessionNotificationReceived(const QString &sessionHandle, const QString &participantURI,
                                       int notificationType);
    void onTransmittingChannelChanged(const QString &sessionGroupHandle, const QString &sipURI);
    void onCaptureDeviceChanged(const QString &deviceId);
    void onRenderDeviceChanged(const QString &deviceId);
    void onNamedKeyEvent(const QString &keyEventName, bool isDown);
    void onLocalMuteMuteChanged(bool muted);
    void onContactPresenceReceived(const QString &accountHandle, const QString &remoteUserURI, int presenceState,
                                   const QString &customMessage);
    void onVoiceNetworkAppDataReceived(const QString &accountHandle, const QString &contentType,
                                       const QString &content);

    // The output pipe closed or failed: the application is gone.
    void onPipeReadUnlock();
    void onPipeWriteError(QLocalSocket::LocalSocketError socketError);

protected:
    // An inert realm without pipes, web or voice traffic, for test doubles
    // that set its progress by hand; its destructor emits nothing.
    TavriSharedIdentityRealm(const QString &requesterId, QObject *parent);

    // Set as the login proceeds.
    void setUserDisplayName(const QString &name) { m_userDisplayName = name; }
    void setSessionGroupHandle(const QString &handle) { m_sessionGroupHandle = handle; }
    void setUserIconURL(const QString &url) { m_userIconURL = url; }
    void setRealmDisplayName(const QString &name) { m_realmDisplayName = name; }
    // Records the session of a channel the realm joined; an empty handle
    // forgets it.
    void setSessionHandleForChannel(const QString &channelURI, const QString &handle)
    {
        if (handle.isEmpty())
            m_sessionHandlesByChannel.remove(channelURI);
        else
            m_sessionHandlesByChannel.insert(channelURI, handle);
    }

private:
    // The text-command language acts on the realm's tables directly.
    friend class TavriSharedIdentityRealmCommands;

    using InputReader = TavriSharedIdentityRealmInputReader;

    // Connects to the application's output pipe; on success calls
    // `connected`. A refused attempt is tried once more after a pause.
    bool connectOutputPipe(const QString &outputPipeName, int attempt, const std::function<void()> &connected);
    // The rest of the set-up, once the output pipe is connected.
    void setUpConnected(const QString &inputPipeName);
    void listenOnInputPipe(const QString &inputPipeName);
    void connectVoiceSignals();
    // Serves the input connections whose frames have been read, oldest
    // first, up to the first that is still being read.
    void serveReadInputs();
    void serveInputConnection(InputReader *reader);
    void dispatch(TavriSharedIdentityRealmRequestPtr request);
    void queueRequest(TavriSharedIdentityRealmRequestPtr request);
    // The oldest waiting request of a type, taken out; null when none.
    TavriSharedIdentityRealmRequestPtr takeRequest(int type);
    // The oldest waiting request of a type that matches, taken out.
    template <typename Predicate>
    TavriSharedIdentityRealmRequestPtr takeRequestIf(int type, Predicate matches);
    void controllerGone(const char *slotName);
    // The URIs and names of a channel's participants, as the built-in
    // realm's conversation lists them.
    void participantsOf(const QString &channel, QStringList &uris, QStringList &names);
    QString pushToTalkBindingName() const;
    // The settings group of the signed-in user's talk settings.
    QString settingsGroup() const;
    // The code of the plus key of a key combination ("++").
    static int plusKeyCode();
    // Takes a channel out of the joins in progress; the last one out stops
    // following new sessions.
    void dropJoinInProgress(const QString &channel);
    // The joined channel whose session the handle is; empty when none.
    QString channelOfSession(const QString &sessionHandle) const;
    // Answers the waiting contact change of an action (0 add, 1 remove,
    // 2 block, 3 unblock) for a target.
    void answerContactChange(int action, const QString &target, bool success, int failureStatus,
                             const QString &failureText);
    // Answers the waiting device changes that name the device now in use.
    void answerDeviceChange(const char *slotName, int kind, const QString &deviceId, const QString &deviceName);
    void recordNames(const QStringList &uris, const QStringList &names);
    void appendUserList(TavriSharedIdentityRealmOutput &output, const QStringList &uris, const QStringList &names);
    QSocialManager *socialManager() const;

    TavriSharedIdentityRealmJsonReplyHandler *m_replyHandler = nullptr;
    QLocalServer *m_inputServer = nullptr;
    QLocalSocket *m_outputSocket = nullptr;
    QString m_rsid;
    QString m_requesterId;
    QString m_requesterToken;
    QString m_clientLibVersion;
    QString m_realmDisplayName;
    QString m_realmURL;
    QString m_realmIconURL;
    QString m_realmDescription;
    QString m_userDisplayName;
    QString m_userSipURI;
    QString m_userIconURL;
    QString m_accountHandle;
    QString m_sessionGroupHandle;
    QString m_transmittingSessionHandle;
    QStringList m_joinsInProgress;
    QMap<QString, QString> m_sessionHandlesByChannel;
    QMap<QString, QString> m_channelNames;
    QMap<QString, QString> m_userNames;
    QStringList m_contacts;
    QList<Invitation> m_invitations;
    QHash<QString, int> m_contactPresence;
    QHash<QString, TavriSharedIdentityRealmUser *> m_users;
    std::map<int, std::deque<TavriSharedIdentityRealmRequestPtr>> m_pendingRequests;
    QList<QMetaObject::Connection> m_voiceConnections;
    QMetaObject::Connection m_sessionAddedConnection;
    QMetaObject::Connection m_accountHandleConnection;
    QMetaObject::Connection m_sessionGroupConnection;
    bool m_joinSignalsConnected = false;
    int m_presence = 0;
    QString m_presenceMessage;
    int m_talkMode = 1;
    bool m_localMicMuted = false;
    int m_inputDeadlineMs = kInputDeadlineMs;
    // Input connections being read or waiting for their turn, oldest first.
    QList<InputReader *> m_inputReaders;
    bool m_inert = true;
    bool m_controllerGone = false;
    // False for the doubles' constructor: nothing to tear down.
    bool m_live = false;
};
