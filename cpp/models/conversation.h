#pragma once

#include "conversationlist.h"
#include "conversationmessagelist.h"
#include "conversationparticipantlist.h"
#include "identityrealminterface.h"
#include "realmidentitylist.h"
#include "realmuserinterface.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class PermanentConversationJsonReplyHandler;
class QQuickCloseEvent;
class QQuickView;
class QTimerEvent;
class TavriIdentityRealmUser;

// Conversation: one place where the user talks — a permanent channel of the
// web service, an ad-hoc group chat, a private chat with one other user, or
// the echo (audio test) channel.
//
// The kind follows from the prefix of sipURI (case-sensitive):
//   "sip:confctl-" but not "sip:confctl-g-"  permanent channel
//   "sip:confctl-g-"                         ad-hoc group chat
//   "sip:u-"                                 private chat with the named user
//   "sip:P2P-"                               peer-to-peer channel of a private
//                                            chat (only as transitionSipURI)
// A conversation's kind can change (a private chat moves to an ad-hoc channel,
// an ad-hoc channel becomes permanent) while the object stays.
//
// Created and owned by its identity realm (not owned back: the realm pointer
// is cleared when the realm goes); list models hold it by pointer and drop it
// on destroying(), which the destructor emits after leaving the conversation
// and ending its voice sessions. Owner and parent channel are held without
// ownership and forgotten when they are destroyed. GUI thread only.
class VoiceManager;

class Conversation : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString conversationID READ getConversationID NOTIFY conversationIdChanged)
    Q_PROPERTY(QString realmID READ getRealmID CONSTANT)
    Q_PROPERTY(QString realmDisplayName READ getRealmDisplayName CONSTANT)
    Q_PROPERTY(QString displayName READ getDisplayName WRITE setDisplayName NOTIFY displayNameChanged)
    Q_PROPERTY(JoinState joinState READ getJoinState NOTIFY joinStateChanged)
    Q_PROPERTY(bool isJoined READ getIsJoined NOTIFY isJoinedChanged)
    Q_PROPERTY(QString sipURI READ getSipURI NOTIFY sipURIChanged)
    Q_PROPERTY(VoiceState voiceState READ getVoiceState WRITE setVoiceState NOTIFY voiceStateChanged)
    Q_PROPERTY(ConversationParticipantList *participants READ getParticipants CONSTANT)
    Q_PROPERTY(ConversationMessageList *chatMessages READ getChatMessages CONSTANT)
    Q_PROPERTY(QStringList participantsTyping READ getParticipantsTyping NOTIFY participantsTypingChanged)
    Q_PROPERTY(QStringList pendingMessagesToSend READ getPendingMessagesToSend NOTIFY pendingMessagesToSendChanged)
    Q_PROPERTY(ChatTransportType chatTransportType READ getChatTransportType CONSTANT)
    Q_PROPERTY(QString ostrelSessionHandle READ getOstrelSessionHandleForQml NOTIFY ostrelSessionHandleChanged)
    Q_PROPERTY(bool localAudioEnabled READ getLocalAudioEnabled NOTIFY localAudioEnabledChanged)
    Q_PROPERTY(bool isPrivate READ getIsPrivate NOTIFY isPrivateChanged)
    Q_PROPERTY(bool isOwned READ getIsOwned NOTIFY isOwnedChanged)
    Q_PROPERTY(bool isFavorite READ getIsFavorite WRITE setIsFavorite NOTIFY isFavoriteChanged)
    Q_PROPERTY(QString parentURI READ getParentURI NOTIFY parentURIChanged)
    Q_PROPERTY(bool hasChildren READ getHasChildren NOTIFY hasChildrenChanged)
    Q_PROPERTY(bool isPermanent READ getIsPermanent NOTIFY isPermanentChanged)
    Q_PROPERTY(QString ownerURI READ getOwnerURI NOTIFY ownerURIChanged)
    Q_PROPERTY(QString ownerUID READ getOwnerUID NOTIFY ownerUIDChanged)
    Q_PROPERTY(QStringList childChannelURIs READ getChildChannelURIs NOTIFY childChannelURIsChanged)
    Q_PROPERTY(AccessType accessType READ getAccessType WRITE setAccessType NOTIFY accessTypeChanged)
    Q_PROPERTY(QString profileImageURI READ getProfileImageURI WRITE setProfileImageURI NOTIFY profileImageURIChanged)
    Q_PROPERTY(
        QString dialinAccessCode READ getDialinAccessCode WRITE setDialinAccessCode NOTIFY dialinAccessCodeChanged)
    Q_PROPERTY(QString message READ getMessage WRITE setMessage NOTIFY messageChanged)
    Q_PROPERTY(QString description READ getDescription WRITE setDescription NOTIFY descriptionChanged)
    Q_PROPERTY(QDateTime lastInhabited READ getLastInhabited NOTIFY lastInhabitedChanged)
    Q_PROPERTY(int depth READ getDepth NOTIFY depthChanged)
    Q_PROPERTY(QStringList ancestryURIs READ getAncestryURIs NOTIFY ancestryURIsChanged)
    Q_PROPERTY(QString channelUID READ getChannelUID NOTIFY channelUIDChanged)
    Q_PROPERTY(bool localUserIsModerator READ getLocalUserIsModerator NOTIFY localUserIsModeratorChanged)
    Q_PROPERTY(RealmIdentityList *moderators READ getModeratorsForQml CONSTANT)
    Q_PROPERTY(RealmIdentityList *members READ getMembersForQml CONSTANT)
    Q_PROPERTY(RealmIdentityList *banned READ getBannedForQml CONSTANT)
    Q_PROPERTY(bool muted READ getMuted WRITE setMuted NOTIFY defaultMutedChanged)
    Q_PROPERTY(QString transitionSipURI READ getTransitionSipURI NOTIFY transitionSipURIChanged)
    Q_PROPERTY(ConversationList *familyTree READ getFamilyTreeForQml NOTIFY familyTreeChanged)

public:
    enum VoiceState { VoiceDisabled = 0, VoiceToBeRequested = 1, VoiceRequested = 2, VoiceEnabled = 3 };
    Q_ENUM(VoiceState)
    enum JoinState { NotJoined = 0, Leaving = 1, PasswordRequested = 2, Joining = 3, Joined = 4 };
    Q_ENUM(JoinState)
    enum ChatTransportType { OstrelSDK = 0, XMPP = 1, Other = 2 };
    Q_ENUM(ChatTransportType)
    // The numbers travel to the web service; the declared order does not matter.
    enum AccessType { InvitationOnly = 2, PasswordProtected = 1, Public = 0 };
    Q_ENUM(AccessType)

    // A conversation of an identity realm. Without a URI, a conversation of
    // the built-in realm takes its id as URI.
    Conversation(Tavri::IdentityRealmInterface *realm, const QString &conversationID, const QString &displayName,
                 QObject *parent = nullptr, VoiceState voiceState = VoiceDisabled, JoinState joinState = NotJoined,
                 const QString &ostrelSessionHandle = QString(), const QString &sipURI = QString());
    // A conversation of the built-in realm for a SIP URI; joined when there
    // is a session handle.
    Conversation(const QString &displayName, const QString &sipURI, const QString &channelUID,
                 QObject *parent = nullptr, const QString &ostrelSessionHandle = QString());
    // Only for QML's access to the enums.
    Conversation();
    ~Conversation() override;

    // The audio test channel's URI.
    static QString echoChannelURI();

    // A new ad-hoc group chat URI in the voice service's domain, lower-case.
    QString createEphemeralURI();
    // Prefix of this conversation's stored settings.
    QString settingsKey() const;
    // Called after a confirmed leave: voice off, an ad-hoc URI given up, the
    // window hidden and the lists cleared.
    void resetInternals();

    // Getters.
    QString getConversationID() const { return m_conversationID; }
    QString getRealmID() const;
    QString getRealmDisplayName() const;
    Tavri::IdentityRealmInterface *getIdentityRealm() const { return m_realm; }
    // Ad-hoc group chats are titled by their present participants.
    QString getDisplayName() const;
    JoinState getJoinState() const { return m_joinState; }
    bool getIsJoined() const;
    QString getSipURI() const { return m_sipURI; }
    VoiceState getVoiceState() const { return m_voiceState; }
    ConversationParticipantList *getParticipants() { return &m_participants; }
    ConversationMessageList *getChatMessages() { return &m_chatMessages; }
    QStringList getParticipantsTyping() const { return m_participantsTyping; }
    QStringList getPendingMessagesToSend() const { return m_pendingMessagesToSend; }
    ChatTransportType getChatTransportType() const { return m_chatTransportType; }
    // With orTransition and no session of its own, the session of the
    // ad-hoc channel that a private chat is moving to.
    QString getOstrelSessionHandle(bool orTransition = false) const;
    QString getTransitionOstrelSessionHandle() const { return m_transitionOstrelSessionHandle; }
    // The session of the ad-hoc channel this conversation has just left for
    // a new URI; empty when there is none.
    QString getLegacyOstrelSessionHandle() const { return m_legacyOstrelSessionHandle; }
    bool getLocalAudioEnabled() const;
    bool getIsPrivate() const;
    bool getIsOwned() const;
    bool getIsFavorite() const { return m_isFavorite; }
    QString getParentURI() const;
    Conversation *getParentConversation() const { return m_parent; }
    bool getHasChildren() const { return m_hasChildren; }
    bool getIsPermanent() const { return !m_channelUID.isEmpty(); }
    QString getOwnerURI() const;
    QString getOwnerUID() const;
    TavriIdentityRealmUser *getOwnerIdentity() const { return m_owner; }
    QStringList &getChildChannelURIs() { return m_childChannelURIs; }
    AccessType getAccessType() const { return m_accessType; }
    QString getProfileImageURI() const { return m_profileImageURI; }
    QString getDialinAccessCode() const { return m_dialinAccessCode; }
    QString getMessage() const;
    QString getDescription() const { return m_description; }
    QDateTime getLastInhabited() const { return m_lastInhabited; }
    int getDepth() const;
    QStringList getAncestryURIs() const { return m_ancestryURIs; }
    QString getChannelUID() const { return m_channelUID; }
    QString getHierarchyRoot() const { return m_hierarchyRoot; }
    bool getLocalUserIsModerator();
    bool getMuted() const { return m_muted; }
    QString getTransitionSipURI() const { return m_transitionSipURI; }

    // The member, moderator and ban lists of a permanent channel, asked of the
    // voice service on first use or when refresh is set.
    RealmIdentityList *getMembers(bool refresh);
    RealmIdentityList *getModerators(bool refresh);
    RealmIdentityList *getBanned(bool refresh);
    ConversationList *getFamilyTree(bool refresh);

    // Setters of server-kept attributes: a value from the web or voice
    // service (fromServer) is always taken; a local edit only inside an edit
    // transaction (a display name also while the conversation has no channel).
    // Stops polling the participant list of a channel that is not joined, for
    // a sign-out or when the voice service cannot list the channel at all.
    void stopPendingTimer() { stopTimer(m_participantRefreshTimerId); }
    // Starts polling the participant list of a channel that is not joined,
    // the first time at once, unless it is being polled already.
    void startPendingTimer()
    {
        if (m_participantRefreshTimerId == 0)
            m_participantRefreshTimerId = startTimer(1, Qt::CoarseTimer);
    }
    // Whether the participant list of a channel not joined is being polled.
    bool hasPendingTimer() const { return m_participantRefreshTimerId != 0; }
    Q_INVOKABLE void setDisplayName(const QString &displayName, bool fromServer = false);
    Q_INVOKABLE void setAccessType(Conversation::AccessType accessType, bool fromServer = false);
    Q_INVOKABLE void setProfileImageURI(const QString &profileImageURI, bool fromServer = false);
    Q_INVOKABLE void setMessage(const QString &message, bool fromServer = false);
    Q_INVOKABLE void setDescription(const QString &description, bool fromServer = false);
    void setDialinAccessCode(const QString &dialinAccessCode, bool fromServer = false);
    void setLastInhabited(const QDateTime &lastInhabited, bool fromServer = false);
    void setIsFavorite(bool isFavorite, bool fromServer = false);

    // Mutes every participant for everyone, and each newcomer while set.
    void setMuted(bool muted);

    // The edit transaction of a channel's attributes: local edits are taken
    // only between begin and commit (or revert). Commit sends the edit of a
    // saved channel or creates a new one; revert asks for the saved record.
    Q_INVOKABLE void beginModifications();
    Q_INVOKABLE void revertModifications();
    Q_INVOKABLE void commitModifications();
    // The password the next commit sends.
    Q_INVOKABLE void changePassword(const QString &newPassword);
    // Asks the next commit for a dial-in number, or to drop it.
    Q_INVOKABLE void requestDialinAccess();
    Q_INVOKABLE void cancelDialinAccess();

    // Access list, moderators and bans. On a saved channel they go to the
    // services and the lists follow their answers; before that they change
    // the pending lists, which the saved channel's first answer replays.
    Q_INVOKABLE void addMembership(TavriIdentityRealmUser *user);
    Q_INVOKABLE void removeMembership(TavriIdentityRealmUser *user);
    Q_INVOKABLE void addModeratorship(TavriIdentityRealmUser *user);
    Q_INVOKABLE void removeModeratorship(TavriIdentityRealmUser *user);
    Q_INVOKABLE void banUser(TavriIdentityRealmUser *user);
    Q_INVOKABLE void unbanUser(TavriIdentityRealmUser *user);
    Q_INVOKABLE void kickUser(TavriIdentityRealmUser *user);

    // Deletes a saved channel without sub-channels; unconfirmed, it asks the
    // user first. The conversation ends when the web service has answered.
    Q_INVOKABLE void requestDelete(bool confirm = false);
    // Saves a joined ad-hoc conversation as an invitation-only channel of
    // the local user, with its participants as members.
    Q_INVOKABLE void makePermanent(const QString &name);

    // Invitations. A permanent channel invites through the web service; a
    // group chat, or a private chat, asks the other clients directly.
    Q_INVOKABLE void inviteUser(const QString &userSipURI);
    Q_INVOKABLE void inviteUser(const QString &realmID, const QString &realmUserUUID);
    Q_INVOKABLE void removeInvitedUser(const QString &userSipURI);

    // A peer's client answered one of this conversation's requests.
    void remoteAcknowledgedVoiceEnabled(const QString &remoteURI);
    void remoteAcknowledgedMultiPartyEnabled(const QString &remoteURI);
    void remoteAcknowledgedInvite(const QString &remoteURI);
    void remoteAcknowledgedPermanentTransition(const QString &remoteURI);

    void setChannelUID(const QString &channelUID);
    void setHierarchyRoot(const QString &hierarchyRoot);
    void setHasChildren(bool hasChildren);
    // Announces the owner's URI, uid and isOwned, also when unchanged.
    void setOwnerIdentity(TavriIdentityRealmUser *owner);
    // Moves this channel under parent. A parent that is this channel or one
    // of its descendants is refused, so the hierarchy stays a tree.
    void setParentConversation(Conversation *parent);

    // Joins through the realm. An empty password means the one stored for
    // this conversation; a given one is stored only with savePassword.
    // Conferences are refused, with an alert, while the echo channel is in
    // use or six conferences are joined already.
    Q_INVOKABLE void requestJoinConversation(const QString &password = QString(), bool savePassword = false);
    // Turns this conversation's voice on or off. A private chat gets voice by
    // moving onto an ad-hoc channel that the peer is asked to join.
    Q_INVOKABLE void requestVoice(bool enable = true);
    // Mutes a user for everyone (moderators only) or for the local user.
    Q_INVOKABLE void muteUser(TavriIdentityRealmUser *userIdentity, bool applyGlobally = false);
    // An unmute for everyone lifts the local user's own mute too.
    Q_INVOKABLE void unmuteUser(TavriIdentityRealmUser *userIdentity, bool applyGlobally = false);
    // Every present participant, for everyone.
    Q_INVOKABLE void muteAll();
    Q_INVOKABLE void unmuteAll();
    // The conversation's windows. Each is a frameless view of the
    // application's QML engine; without the application's engine (a headless
    // run) nothing is shown. A call made while the same opener is still
    // setting up its window (from the QML it loads) returns at once.
    //
    // The chat window: made once, placed from the stored geometry, and
    // brought forward by later calls. Closing it leaves the conversation.
    virtual void showConversationWindow();
    // Asks for the channel's password; a second request re-targets the open
    // window. Dismissing it while the password is asked abandons the join.
    virtual void showPasswordWindow();
    // Asks the user to confirm deleting this channel; a yes calls
    // requestDelete(true).
    virtual void showDeleteConfirmation();
    // The channel-details and channel-settings windows. There is one of each
    // in the process: opening one for any conversation replaces the other.
    // Both ask the voice service for the member, moderator and ban lists again.
    Q_INVOKABLE void showConversationDetails();
    Q_INVOKABLE void showEditProperties();
    // Stores the chat window's position and size (only the values that
    // changed), while the window is shown.
    void saveWindowGeometry();

    QQuickView *conversationWindow() const { return m_window; }
    QQuickView *passwordWindow() const { return m_passwordWindow; }
    static QQuickView *detailsWindow() { return s_detailsWindow; }
    static QQuickView *editWindow() { return s_editWindow; }
    static QQuickView *confirmDeleteWindow() { return s_confirmDeleteWindow; }
    // The access, moderator and ban find dialogs of the settings window; null
    // until the first settings window or when the find dialogs are missing.
    QObject *memberFindDialog() const { return m_memberFindDialog; }
    QObject *moderatorFindDialog() const { return m_moderatorFindDialog; }
    QObject *banFindDialog() const { return m_banFindDialog; }

    // Where alerts go instead of the application's tray balloon; an empty
    // handler restores the application.
    using AlertHandler = std::function<void(const QString &text)>;
    static void setAlertHandler(AlertHandler handler);

    // Join, voice and session state.
    void setJoinState(JoinState state);
    void setVoiceState(VoiceState state);
    void setSipURI(const QString &uri, bool fetchChannelInfo = false);
    void setTransitionSipURI(const QString &uri);
    void setOstrelSessionHandle(const QString &handle);
    void setTransitionOstrelSessionHandle(const QString &handle);
    // Leaves through the realm; a forced leave also resets the conversation
    // at once.
    Q_INVOKABLE void requestLeaveConversation(bool forceClose = false);
    Q_INVOKABLE void setIsTyping(bool isTyping);
    // The saved chat-log files of this conversation: {timestamp, filename}.
    Q_INVOKABLE QVariantList getChatLogFileList();
    Q_INVOKABLE void deleteSavedPassword();
    // The realm calls this when it replaces this object by another.
    void emitSwapping(Conversation *newReference);

signals:
    void conversationIdChanged(const QString &conversationID);
    void displayNameChanged(const QString &displayName);
    void joinStateChanged(Conversation::JoinState joinState);
    void isJoinedChanged(bool isJoined);
    void sipURIChanged(const QString &sipURI);
    void voiceStateChanged(Conversation::VoiceState voiceState);
    void participantsTypingChanged(const QStringList &participantsTyping);
    void pendingMessagesToSendChanged(const QStringList &pendingMessagesToSend);
    void ostrelSessionHandleChanged(const QString &ostrelSessionHandle);
    void localAudioEnabledChanged(bool localAudioEnabled);
    void isPrivateChanged(bool isPrivate);
    void isOwnedChanged(bool isOwned);
    void isFavoriteChanged(bool isFavorite);
    void parentURIChanged(const QString &parentURI);
    void hasChildrenChanged(bool hasChildren);
    void isPermanentChanged(bool isPermanent);
    void defaultMutedChanged(bool muted);
    void destroying();
    void swapping(Conversation *newReference);
    void addChannelFailed();
    void channelAdded(const QString &channelURI, const QString &channelUID, const QString &dialinAccessCode);
    void ownerURIChanged(const QString &ownerURI);
    void ownerUIDChanged(const QString &ownerUID);
    void childChannelURIsChanged(const QStringList &childChannelURIs);
    void accessTypeChanged(Conversation::AccessType accessType);
    void profileImageURIChanged(const QString &profileImageURI);
    void dialinAccessCodeChanged(const QString &dialinAccessCode);
    void messageChanged(const QString &message);
    void descriptionChanged(const QString &description);
    void lastInhabitedChanged(const QDateTime &lastInhabited);
    void depthChanged(int depth);
    void ancestryURIsChanged(const QStringList &ancestryURIs);
    void channelUIDChanged(const QString &channelUID);
    void localUserIsModeratorChanged(bool localUserIsModerator);
    void transitionSipURIChanged(const QString &transitionSipURI);
    void familyTreeChanged(ConversationList *familyTree);

public slots:
    void sendMessage(const QString &message);
    // The web service has saved this ad-hoc channel as a permanent one: the
    // other participants are told to follow it to its new URI.
    void addCompleted(const QString &originalSipURI);
    void onConversationParticipantAdded(const QString &conversationID, const QString &participantUUID);
    void onConversationParticipantIsTypingChanged(const QString &conversationID, const QString &participantUUID,
                                                  bool isTyping);
    void onConversationParticipantRemoved(const QString &conversationID, const QString &participantUUID,
                                          Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                          const QString &reasonMsg);
    void onConversationDisconnected(const QString &conversationID, const QString &participantUUID,
                                    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                    const QString &reasonMsg);

protected slots:
    void onConversationParticipantCountChanged(int participantCount);
    void onConversationPasswordRequired(const QString &conversationID, const QString &participantUUID);
    void onIdentityRealmDestroying();
    void onRemoteUserDisplayNameChanged(const QString &displayName);
    void onConversationParticipantVoiceEnabledChanged(bool voiceEnabled);
    void onOwnerIdentityURIChanged(const QString &sipURI);
    void onOwnerIdentityUIDChanged(const QString &userUID);
    void onOwnerIdentityDestroying();
    void onParentConversationSipURIChanged(const QString &sipURI);
    void onParentConversationDestroying();
    void onJoinStateChanged(Conversation::JoinState joinState);
    void onModeratorsRealmIdentityAdded(Tavri::RealmUserInterface *identity);
    void onModeratorsRealmIdentityRemoved(Tavri::RealmUserInterface *identity);
    void onUserListReceived(const QString &channelURI, const QStringList &userURIs, int numParticipants);
    void onConversationParticipantDisplayNameChanged(const QString &displayName);
    // Drops the join announcements of a user that ends before its name came.
    void onJoinAnnouncementUserDestroying();

    // The windows' moves, closes and ends.
    void onWindowDimensionsChanged(int);
    void onWindowClosing(QQuickCloseEvent *);
    void onWindowDestroyed();
    void onPasswordWindowClosing(QQuickCloseEvent *);
    void onPasswordWindowDestroyed();
    void onDetailsWindowClosing(QQuickCloseEvent *);
    void onDetailsWindowDestroyed();
    void onEditWindowClosing(QQuickCloseEvent *);
    void onEditWindowDestroyed();
    void onConfirmDeleteWindowClosing(QQuickCloseEvent *);
    void onConfirmDeleteWindowDestroyed();

protected:
    void timerEvent(QTimerEvent *event) override;
    // The built-in realm's count of joined conferences with voice, which
    // limits how many channels can be joined at once.
    virtual int joinedVoiceConversationCount() const;

    // The password window and the conversation window, made and shown by the
    // window code; neither has a parent, so the conversation schedules their
    // deletion when it lets go of them.
    QQuickView *m_passwordWindow = nullptr;
    QQuickView *m_window = nullptr;
    // The media of the session was asked to disconnect and voice is not on
    // again since: one "Voice off" is one request.
    bool m_mediaOffRequested = false;

private:
    // The voice service's user lists reach each conversation through one
    // connection that hands a list to the conversations of its channel.
    void followUserLists(VoiceManager *voice);
    void fileForUserLists();
    void unfileForUserLists();
    static void routeUserList(const QString &channelURI, const QStringList &userURIs, int numParticipants);
    friend class PermanentConversationJsonReplyHandler;

    // Construction shared by the two working constructors.
    void initialize();
    // Writes the window's position and size, shown or hidden, to the
    // settings (only the values that changed).
    void storeWindowGeometry(const QQuickView &window);
    // Stores and announces a voice state without driving the voice service.
    void recordVoiceState(VoiceState state);
    PermanentConversationJsonReplyHandler *replyHandler();
    // Whether the web service has this channel (a UID that is not the
    // "-1" placeholder).
    bool isSavedChannel() const;
    // Sends the pending members (for an invitation-only channel),
    // moderators and bans to the services once the channel is saved.
    void replayPendingLists();
    // The web service answered a favourite change (ok) or refused it.
    void onFavoriteReply(bool ok);
    // A request failed at network level; which one is not known, so a
    // favourite change still on its way is no longer waited for.
    void onWebRequestFailed();
    // The in-band text `content` to a peer's client.
    void sendInBandText(const QString &toURI, const QString &content);
    int startAckTimer();
    // The built-in realm's user for uri, its details refreshed.
    Tavri::RealmUserInterface *refreshedUser(const QString &uri) const;
    static bool isOffline(Tavri::RealmUserInterface *user);
    QString nameOf(Tavri::RealmUserInterface *user) const;
    void onVoiceRequestTimeout();
    void onMultiPartyTimeout();
    void onInviteTimeout(int timerId);
    void onPermanentTransitionTimeout(int timerId);
    bool isBuiltInRealm() const;
    // True when this conversation is one of the realm signal's conversations.
    bool isForThisConversation(const QString &conversationID) const;
    // Also true for the ad-hoc channel that a private chat is moving to.
    bool isForThisOrTransition(const QString &conversationID) const;
    // Refuses a conference join, with an alert, that would break a channel
    // limit.
    bool channelLimitsAllowJoin();
    void closePasswordWindow();
    // A new frameless window of the application's engine with the common
    // context properties and "mainViewer"; null without the application.
    QQuickView *createWindow();
    void loadWindow(QQuickView *window, const QString &qmlFile);
    // The chat window's position and size from the stored geometry, or
    // cascaded beside the main frame when none is stored.
    void placeConversationWindow();
    // Shows a process-wide window centred and in front.
    static void showCentred(QQuickView *window);
    // Closes a process-wide window (its QML sees the close) and lets it go.
    static void discardWindow(QQuickView *&window);
    // Lets go of a process-wide window that has closed or ended.
    void forgetWindow(QQuickView *&window, const Conversation *&owner, bool closed);
    // Closes the process-wide window and opens a new one for this
    // conversation in its place; null without the application.
    QQuickView *replaceSharedWindow(QQuickView *&window, const Conversation *&owner);
    // The settings window's find dialogs, made on first use.
    void ensureFindDialogs();
    void showAlert(const QString &text);
    // Writes an announcement line and forgets the waiting entry.
    void settleJoinAnnouncement(int timerId, const QString &name);
    // Forgets a waiting entry without a line: its timer stops, and the user
    // is let go once no other entry waits for it.
    void dropJoinAnnouncement(int timerId);
    void setParticipantMuted(TavriIdentityRealmUser *userIdentity, bool mute, bool applyGlobally);
    void setParticipantMutedForMe(TavriIdentityRealmUser *userIdentity, bool mute);
    // The private chat's title and the rename connection to the other user.
    void connectRemoteUser();
    void disconnectRemoteUser();
    void disconnectRealm();
    void terminateSession(QString &sessionHandle);
    bool acceptLocalEdit(bool fromServer, const char *function);
    void stopTimer(int &timerId);
    // Whether sipURI names a permanent channel (not an ad-hoc one).
    bool hasPermanentChannelURI() const;
    QString getOstrelSessionHandleForQml() const { return getOstrelSessionHandle(true); }
    RealmIdentityList *getModeratorsForQml() { return getModerators(false); }
    RealmIdentityList *getMembersForQml() { return getMembers(false); }
    RealmIdentityList *getBannedForQml() { return getBanned(false); }
    ConversationList *getFamilyTreeForQml() { return getFamilyTree(false); }

    // Set while showConversationWindow sets up and shows the chat window.
    bool m_showingWindow = false;
    int m_windowGeometryTimerId = 0;
    QPointer<QObject> m_memberFindDialog;
    QPointer<QObject> m_moderatorFindDialog;
    QPointer<QObject> m_banFindDialog;
    // The process-wide windows, the conversation each was opened for, and
    // the guards of their openers.
    static QQuickView *s_detailsWindow;
    static QQuickView *s_editWindow;
    static QQuickView *s_confirmDeleteWindow;
    static const Conversation *s_detailsOwner;
    static const Conversation *s_editOwner;
    static const Conversation *s_confirmDeleteOwner;
    static bool s_openingDetails;
    static bool s_openingEdit;
    QString m_conversationID;
    QString m_displayName;
    VoiceState m_voiceState = VoiceDisabled;
    JoinState m_joinState = NotJoined;
    ConversationParticipantList m_participants;
    ConversationMessageList m_chatMessages;
    QStringList m_participantsTyping;
    QStringList m_pendingMessagesToSend;
    ChatTransportType m_chatTransportType = OstrelSDK;
    QString m_ostrelSessionHandle;
    QString m_sipURI;
    // Where this conversation is filed for the user lists (0: not filed).
    quint64 m_userListSerial = 0;
    QString m_userListURI;
    QString m_transitionOstrelSessionHandle;
    QString m_transitionSipURI;
    bool m_muted = false;
    Tavri::IdentityRealmInterface *m_realm = nullptr;
    // Set while the realm announces its end: the local user and the realm
    // are not asked for anything then.
    bool m_realmEnding = false;
    TavriIdentityRealmUser *m_owner = nullptr;
    Conversation *m_parent = nullptr;
    QStringList m_childChannelURIs;
    AccessType m_accessType = Public;
    QString m_profileImageURI;
    QString m_dialinAccessCode;
    QString m_message;
    QString m_description;
    QDateTime m_lastInhabited;
    bool m_isFavorite = false;
    QStringList m_ancestryURIs;
    QString m_channelUID;
    bool m_hasChildren = false;
    QString m_pendingPassword;
    bool m_editing = false;
    int m_statsTimerId = 0;
    int m_participantRefreshTimerId = 0;
    // The outstanding "rv:" request to a private chat's peer.
    int m_voiceRequestAckTimerId = 0;
    // The outstanding "rt:" request: the peer is asked to move the private
    // chat to a group chat; the invitees wait for its answer, in order.
    int m_multiPartyAckTimerId = 0;
    QStringList m_pendingInvitees;
    // Outstanding "ri:" and "rp:" texts: timer id -> the peer's URI.
    QHash<int, QString> m_inviteAckTimers;
    QHash<int, QString> m_permanentTransitionAckTimers;
    PermanentConversationJsonReplyHandler *m_replyHandler = nullptr;
    // Favourite changes sent and not yet answered, and the value the last
    // one asked for.
    int m_favoriteRequestsPending = 0;
    bool m_requestedFavorite = false;
    // Participants whose display name was unknown when they joined: the
    // line waits up to a moment for the name. The user pointer is dropped
    // when the user announces its end.
    struct JoinAnnouncement {
        Tavri::RealmUserInterface *user = nullptr;
        QObject *userObject = nullptr;
        QString text;
    };
    QHash<int, JoinAnnouncement> m_joinAnnouncements;
    // The session of an ad-hoc channel this conversation has left for a new
    // URI; ended once it is no longer needed.
    QString m_legacyOstrelSessionHandle;
    // The other user of a private chat whose renames the title follows.
    QObject *m_remoteUser = nullptr;
    bool m_moderatorsFetched = false;
    RealmIdentityList m_moderators;
    bool m_membersFetched = false;
    RealmIdentityList m_members;
    bool m_bannedFetched = false;
    RealmIdentityList m_banned;
    ConversationList *m_familyTree = nullptr;
    QString m_hierarchyRoot;
};
