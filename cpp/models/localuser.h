#pragma once

#include "contactgrouplist.h"
#include "contactlist.h"
#include "conversationlist.h"
#include "identityrealminterface.h"
#include "idlehandler.h"
#include "permanentconversationlist.h"
#include "realmuserinterface.h"
#include "recentconversations.h"
#include "tavriidentityrealmuser.h"
#include "tavrisharedidentityrealm.h"

#include <QHash>
#include <QList>
#include <QMultiHash>
#include <QObject>
#include <QSslError>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QVariantList>
#include <QXmppClient.h>

class QXmppArchiveChat;
class QXmppArchiveManager;
class QXmppMessage;
class Conversation;
class Notification;
class NotificationList;
class TavriIdentityRealm;
class QXmppResultSetReply;
class TavriIdentityRealmUser;

// LocalUser: the signed-in user.
//
// One instance per process, created on first use by getLocalUser(). It owns
// the login state machine: requestLogin() posts the web login, the web
// client's loginSuccess makes the user's built-in identity and opens the
// user's database (LoggingInVoice), and the voice service's voiceLoggedIn
// completes the sign-in (LoggedIn). Every voice logout passes through
// onVoiceLoggedOut(), which tears the signed-in state down and, while the
// credentials of the last login are remembered, schedules reconnects 5 s,
// 15 s and 45 s apart. A logout the user asked for is not followed by a
// reconnect. While the user has no built-in identity, loginState combines the
// login states of the external applications' realms with the own one.
//
// The application object connects the web client's loginSuccess and
// socialLoginFailed and the voice service's voiceLoggedIn, voiceLoggedOut and
// connectorCreateFailed to the slots of the same names. GUI thread only.
// Emits loginStateChanged on every state step, with a reason text.
//
// It also decides the user's presence (kept on the built-in identity) and one
// custom message per presence state, goes Away after a stretch without input
// (IdleHandler) and back on return, and holds the transmit mode (open
// microphone, push-to-talk or push-to-toggle on the voice service's "PTT" key
// binding), the VAD values, the microphone and speaker levels and the local
// microphone mute. The mute, the levels and the VAD values change here only
// when the voice service confirms them.
//
// Other Tavri clients reach the user with short in-band texts (the voice
// service's user-to-user app data): requests to enable voice in a private
// chat ("rv:"), invitations into group chats ("rt:", "ri:"), the move of a
// chat onto a new permanent channel ("rp:") and the acknowledgements of the
// user's own requests. onUserAppDataReceived() answers, writes notices and
// joins as each asks; onVoiceNetworkAppDataReceived() fetches the
// notifications that the voice network pokes about.
//
// The user's notifications are loaded from the database and refreshed from
// the web service at sign-in and on every poll; new unread friend and channel
// invitation notifications are announced by notificationReceived, the text of
// a desktop alert.
class LocalUser : public QObject
{
    Q_OBJECT
    Q_PROPERTY(LoginState loginState READ getLoginState NOTIFY loginStateChanged)
    Q_PROPERTY(RecentConversations *recentConversations READ getRecentConversations CONSTANT)
    Q_PROPERTY(ContactList *contacts READ getContactList NOTIFY contactsChanged)
    Q_PROPERTY(ConversationList *conversations READ getConversations CONSTANT)
    Q_PROPERTY(PermanentConversationList *permanentConversations READ getPermanentConversations CONSTANT)
    Q_PROPERTY(ContactGroupList *contactGroups READ getContactGroups NOTIFY contactGroupsListChanged)
    Q_PROPERTY(QString accessibilityHelpURL READ getAccessibilityHelpURL CONSTANT)
    Q_PROPERTY(QString lastParticipatingURI READ getLastParticipatingURI NOTIFY lastParticipatingURIChanged)
    Q_PROPERTY(QString lastCallId READ getLastCallId NOTIFY lastCallIdChanged)
    Q_PROPERTY(QStringList participatingURIs READ getParticipatingURIs NOTIFY participatingURIsChanged)
    Q_PROPERTY(bool isInChannel READ isInChannel NOTIFY isInChannelChanged)
    Q_PROPERTY(QString uuid READ getUuid NOTIFY uuidChanged)
    Q_PROPERTY(QString sipURI READ getSipURI NOTIFY sipURIChanged)
    Q_PROPERTY(QUrl profileImageURI READ getProfileImageURI NOTIFY profileImageURIChanged)
    Q_PROPERTY(QString displayName READ getDisplayName NOTIFY displayNameChanged)
    // The profile's own fields: the user name signed up with and the
    // optional name chosen, as stored.
    Q_PROPERTY(QString userName READ getUserName NOTIFY displayNameChanged)
    Q_PROPERTY(QString customDisplayName READ getCustomDisplayName NOTIFY displayNameChanged)
    Q_PROPERTY(QString email READ getEmail NOTIFY emailChanged)
    Q_PROPERTY(QString description READ getDescription WRITE setDescription NOTIFY descriptionChanged)
    Q_PROPERTY(QString tagline READ getTagline WRITE setTagline NOTIFY taglineChanged)
    Q_PROPERTY(QString location READ getLocation WRITE setLocation NOTIFY locationChanged)
    Q_PROPERTY(int presenceState READ getPresenceStateValue WRITE setPresenceState NOTIFY presenceStateChanged)
    Q_PROPERTY(
        QString presenceMessage READ getPresenceMessage WRITE setCurrentPresenceMessage NOTIFY presenceMessageChanged)
    Q_PROPERTY(QString onlineStatus READ getOnlineStatus NOTIFY onlineStatusChanged)
    Q_PROPERTY(QString awayStatus READ getAwayStatus NOTIFY awayStatusChanged)
    Q_PROPERTY(bool isIdle READ isIdle NOTIFY isIdleChanged)
    Q_PROPERTY(int volumeAdjust READ getVolumeAdjust WRITE setVolumeAdjust NOTIFY volumeAdjustChanged)
    Q_PROPERTY(int speakerVolumeAdjust READ getSpeakerVolumeAdjust WRITE setSpeakerVolumeAdjust NOTIFY
                   speakerVolumeAdjustChanged)
    Q_PROPERTY(bool audioEnabled READ getAudioEnabled WRITE setAudioEnabled NOTIFY audioEnabledChanged)
    Q_PROPERTY(bool globalMuted READ getGlobalMuted NOTIFY globalMutedChanged)
    Q_PROPERTY(int vadHangoverSecs READ getVadHangoverSecs WRITE setVadHangoverSecs NOTIFY vadHangoverSecsChanged)
    Q_PROPERTY(int vadNoiseFloor READ getVadNoiseFloor WRITE setVadNoiseFloor NOTIFY vadNoiseFloorChanged)
    Q_PROPERTY(int vadSensitivity READ getVadSensitivity WRITE setVadSensitivity NOTIFY vadSensitivityChanged)

public:
    enum LoginState {
        LoggedOut = 0,
        LoggingIn = 1,
        LoggingInVoice = 2,
        LoggedIn = 3,
        LoggingOut = 4,
        DisconnectedReconnecting = 5,
        Error = 6
    };
    Q_ENUM(LoginState)

    enum PushToTalkMode { PushToTalkModeNone = 0, PushToTalkModeTalk = 1, PushToTalkModeToggle = 2 };
    Q_ENUM(PushToTalkMode)

    // The instance, created with parent on the first call.
    static LocalUser *getLocalUser(QObject *parent = nullptr);
    ~LocalUser() override;

    // Posts the web login, unless a login is under way or done. The user name
    // is stored; the password only when savePassword is set.
    Q_INVOKABLE void requestLogin(const QString &username, const QString &password, bool savePassword = false);

    // The own state while there is a built-in identity; without one, the own
    // state raised to the highest of the external realms' states 1 to 3.
    LoginState getLoginState() const;

    // The own identity of the built-in realm; null while signed out.
    TavriIdentityRealmUser *tavriidentity() const { return m_identity; }
    // The own identity in a realm: the built-in identity for the built-in
    // realm, the realm's user for a logged-in external realm, else the
    // identity recorded for that realm; null when none.
    Tavri::RealmUserInterface *getLocalUserIdentity(Tavri::IdentityRealmInterface *realm) const;
    // True for the own built-in identity; without one, true only for null.
    bool isLocalUserIdentity(Tavri::RealmUserInterface *identity) const;

    // The built-in identity's fields; empty without one. The display name and
    // picture fall back to the first external realm at LoggedIn.
    QString getSipURI() const;
    QString getDisplayName() const;
    QString getUserName() const;
    QString getCustomDisplayName() const;
    QUrl getProfileImageURI() const;
    Tavri::RealmUserInterface::PresenceState getPresenceState() const;
    QString getUuid() const;
    QString getEmail() const;
    QString getDescription() const;
    void setDescription(const QString &description);
    QString getTagline() const;
    void setTagline(const QString &tagline);
    QString getLocation() const;
    void setLocation(const QString &location);

    QString getAccessibilityHelpURL() const { return m_accessibilityHelpURL; }
    QString getLastParticipatingURI() const { return m_lastParticipatingURI; }
    // The id of the last call that ended (the post-call survey sends it);
    // set by the application when a voice session ends.
    QString getLastCallId() const { return m_lastCallId; }
    void setLastCallId(const QString &callId);
    // The joined conversations of the list, in list order: each one's
    // transition URI while it moves to another channel, else its own.
    QStringList getParticipatingURIs() const;
    // Whether a voice session in a channel is up.
    bool isInChannel() const { return m_channelSessionCount != 0; }
    // The conversations the local user is in or has open (not owned).
    ConversationList *getConversations() { return &m_conversations; }
    PermanentConversationList *getPermanentConversations() const { return m_permanentConversations; }
    RecentConversations *getRecentConversations() const { return m_recentConversations; }
    // The user's friends over every identity realm (owned), fed by the
    // realms' roster transfers.
    ContactList *getContactList() const { return m_contactList; }
    // The same friends sorted into the realms' roster groups (owned).
    ContactGroupList *getContactGroups() const { return m_contactGroups; }
    // The user's notifications (owned), fed by the web service's records.
    // With refresh, an empty list is first filled from the database, then
    // the web service is asked for the notifications after the highest uid
    // held ("0" when none).
    NotificationList *getNotificationList(bool refresh = false);
    // Fills the list from the stored records, newest first, and asks the web
    // service for their current state.
    void loadStoredNotifications();

    // Tells the web service the notification's new state; DeleteRequested
    // also takes it out of the list, and clicked accepts the invitation it
    // carries. States outside Invalid..DeleteRequested are refused.
    Q_INVOKABLE void requestMarkNotification(const QString &notificationUID, int state, bool clicked = false);
    Q_INVOKABLE void requestMarkNotifications(const QStringList &notificationUIDs, int state);
    // Every listed notification: Read marks them read in memory and in the
    // database, DeleteRequested empties the list, any other state is set on
    // each.
    Q_INVOKABLE void requestMarkAllNotifications(int state);

    // Web-service requests made for the user.
    Q_INVOKABLE void requestProfilePictureUpdate(const QString &profilePictureUrl);
    // Nothing without a built-in identity.
    Q_INVOKABLE void requestProfileUpdate(const QString &displayName, const QString &description,
                                          const QString &tagline, const QString &location);
    // Invites the addresses that look like e-mail addresses (the others are
    // dropped) into Tavri, and into the channel when one is named. The
    // request goes out even when no address is left.
    Q_INVOKABLE void requestInviteUsersViaEmail(const QStringList &emailAddresses,
                                                const QString &customMessage = QString(),
                                                const QString &channelUri = QString());
    // Befriends or unfriends the built-in realm's user for a SIP URI.
    Q_INVOKABLE void requestAddFriend(const QString &remoteUserUri);
    Q_INVOKABLE void requestRemoveFriend(const QString &remoteUserUri);
    Q_INVOKABLE void requestRefreshFavorites();
    Q_INVOKABLE void requestRefreshOwnedChannels();
    // The voice service's buddy list, then the web service's contact groups.
    Q_INVOKABLE void requestRefreshFriends();
    Q_INVOKABLE void requestReportIssue(const QString &comments, const QString &so, const QString &rc, const QString &c,
                                        const QString &cs);
    // With extra "name:value" details.
    Q_INVOKABLE void requestReportIssue(const QString &comments, const QString &so, const QString &rc, const QString &c,
                                        const QString &cs, const QStringList &params);

    // The reconnect series in progress: attempts scheduled so far and the id
    // of the pending retry timer (0 when none).
    int retryCount() const { return m_retryCount; }
    int retryTimerId() const { return m_retryTimerId; }
    // The notification poll's interval while it runs, -1 while it is stopped.
    int notificationPollInterval() const
    {
        return m_notificationPollTimer.isActive() ? m_notificationPollTimer.interval() : -1;
    }

    // The XMPP client; never connected by the program itself.
    QXmppClient *xmppClient() const { return m_xmppClient; }

    // Presence. Without a built-in identity nothing changes. Sets the
    // identity's presence and the stored message for that state; with
    // preserve the state is remembered as the user's choice
    // ("lastPresenceState"), restored at the next sign-in. States outside
    // PresenceUnknown..InGame are refused.
    Q_INVOKABLE void setPresenceState(int presence, bool preserve = true);
    // Stores the custom message of a presence state; an empty Online or Away
    // message becomes "online" or "away". Applied at once when the identity
    // is in that state.
    Q_INVOKABLE void setPresenceMessage(int presence, const QString &message);
    // The message of the identity's current state.
    void setCurrentPresenceMessage(const QString &message);
    // The custom message of a state, else the word for it.
    Q_INVOKABLE QString getPresenceMessage(int presence) const;
    // The built-in identity's current message; empty without one.
    QString getPresenceMessage() const;
    int getPresenceStateValue() const { return int(getPresenceState()); }
    QString getOnlineStatus() const;
    QString getAwayStatus() const;
    bool isIdle() const { return m_isIdle; }
    // Stops idle detection (the machine suspends).
    void stopIdleHandler();
    IdleHandler *idleHandler() { return &m_idleHandler; }

    // Push-to-talk: applies the stored transmit mode and keys.
    Q_INVOKABLE void refreshPttSettings();
    // Stores the mode and the key codes as given and applies them.
    Q_INVOKABLE void setPttKeyCombo(LocalUser::PushToTalkMode mode, const QVariantList &keyCodes);
    // False for a lone left or right mouse button, which would leave no way
    // to click, and for lists holding anything but numbers.
    Q_INVOKABLE bool isPttKeyComboValid(const QVariantList &keyCodes) const;
    // Mutes or unmutes the own microphone (empty channelUri) or a channel's
    // speaker.
    Q_INVOKABLE void requestMuteSelf(const QString &channelUri = QString(), bool mute = true);
    // Sends the current VAD values to the voice service.
    Q_INVOKABLE void requestUpdateVADSettings();
    // Transmits into this channel only.
    Q_INVOKABLE void requestSpeakSingleChannel(const QString &channelUri);

    // Levels and VAD. The level setters store and send the value (0..100;
    // others become 50); the properties follow the voice service's reports.
    int getVolumeAdjust() const { return m_volumeAdjust; }
    void setVolumeAdjust(int value);
    int getSpeakerVolumeAdjust() const { return m_speakerVolumeAdjust; }
    void setSpeakerVolumeAdjust(int value);
    bool getAudioEnabled() const { return m_audioEnabled; }
    // Asks for the microphone to be unmuted or muted; the property follows
    // the confirmation.
    void setAudioEnabled(bool enabled);
    bool getGlobalMuted() const { return m_globalMuted; }
    // The sensitivity from a stored "vad_sensitivity" value: a whole number
    // from 0 to 100 (fractions rounded), the default for anything else.
    static int storedVadSensitivity(const QVariant &stored);
    int getVadHangoverSecs() const { return int(m_vadHangoverSecs); }
    void setVadHangoverSecs(int seconds);
    int getVadNoiseFloor() const { return m_vadNoiseFloor; }
    // Kept for the next time the VAD values are sent.
    void setVadNoiseFloor(int value);
    int getVadSensitivity() const { return m_vadSensitivity; }
    void setVadSensitivity(int value);
    bool isPttToggleMode() const { return m_pttToggleMode; }

signals:
    void contactsChanged();
    void participatingURIsChanged(const QStringList &participatingURIs);
    void isInChannelChanged(bool isInChannel);
    void warning(const QString &message);
    void channelsAllChanged();
    void activateChannel(const QString &channelURI);
    void loginStateChanged(LocalUser::LoginState loginState, const QString &reason);
    void contactGroupsListChanged();
    void lastParticipatingURIChanged(const QString &lastParticipatingURI);
    void lastCallIdChanged();
    void uuidChanged();
    void sipURIChanged();
    void profileImageURIChanged();
    void displayNameChanged();
    void emailChanged();
    void descriptionChanged();
    void taglineChanged();
    void locationChanged();
    // Carries the new state for the application; QML reads the property.
    void presenceStateChanged(TavriIdentityRealmUser::PresenceState presenceState);
    void presenceMessageChanged();
    void onlineStatusChanged(const QString &onlineStatus);
    void awayStatusChanged(const QString &awayStatus);
    void isIdleChanged(bool isIdle);
    void volumeAdjustChanged(int volumeAdjust);
    void speakerVolumeAdjustChanged(int speakerVolumeAdjust);
    void audioEnabledChanged(bool audioEnabled);
    void globalMutedChanged(bool globalMuted);
    void vadHangoverSecsChanged();
    void vadNoiseFloorChanged();
    void vadSensitivityChanged();
    // The text of a desktop alert for a new notification; channelURI is the
    // permanent channel the alert offers to join, else empty.
    void notificationReceived(const QString &notificationText, const QString &channelURI);

public slots:
    void onSessionReallyConnectedChanged();
    void onConversationJoined(Tavri::IdentityRealmInterface *realm, const QString &conversationID);
    void onConversationDisconnected(Tavri::IdentityRealmInterface *realm, const QString &conversationID,
                                    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                    const QString &reason);
    // A logout the user asked for (also at exit); only while LoggedIn. The
    // rest of the clean-up follows the voice service's logout.
    void onLogoutRequested();
    // The web login succeeded: the built-in realm's user for sipURI becomes
    // the own identity and the user's database is opened.
    void onSocialLoginSuccess(const QString &sipURI, const QString &email, const QString &socialUID,
                              const QString &userUname, const QString &displayName, const QString &profileImageURI,
                              const QString &location, const QString &tagline, const QString &description);
    // The web login failed: the password is forgotten, so no reconnect follows.
    void onSocialLoginFailed(const QString &reason);
    // The web login got no answer: ends the attempt like a lost connection,
    // so that the reconnect series tries again.
    void onSocialLoginUnreachable();
    void onVoiceLoggedIn();
    void onVoiceLoggedOut(const QString &reason);
    void onConnectorCreateFailed(const QString &message);
    void onSharedIdentityRealmLoginStateChanged(TavriSharedIdentityRealm *realm,
                                                TavriSharedIdentityRealm::LoginState state);

    // Idle detection: Away after the idle period (unless Offline), back to
    // Online on return unless the user chose Away.
    void onIdleTimeout();
    void onIdleReturned();
    void onSetPresenceOnline();
    void onSetPresenceAway();

    // The voice service's named key events ("PTT") and confirmations.
    void onNamedKeyMouseEvent(const QString &eventName, bool pressed);
    void onLocalMicMuteChanged(bool muted);
    void onVoiceVolumeAdjustChanged(int volume);
    void onVoiceSpeakerVolumeAdjustChanged(int volume);
    void onVADPropertiesReceived(double vadHangoverSecs, int vadNoiseFloor, int vadSensitivity);

    // An in-band text from another client (the voice service's
    // userAppDataReceived). Texts of no known form are logged and dropped.
    void onUserAppDataReceived(const QString &senderURI, const QString &content);
    // The voice network's own app data: an "x-ostrel-notification" poke
    // names notification uids, separated by commas, to fetch.
    void onVoiceNetworkAppDataReceived(const QString &accountHandle, const QString &contentType,
                                       const QString &content);

    // Notifications: the poll timer, and each notification the list stores
    // on arrival.
    void onPollForNotifications();
    void onNotificationAdded(Notification *notification);
    // The web service's default channel for the user becomes a favourite
    // (which the web service is told of).
    void onDefaultChannelReceived(const QString &channelURI, const QString &channelUID,
                                  const QString &channelDisplayName);
    void onRefreshFavoriteChannel();
    void onRefreshOwnedChannels();
    void onFriendListRequiresUpdate();

    // The XMPP client's roster, presence, message and archive events. The
    // client is built and wired with the local user but never connected by
    // the program, so these run only once something connects it.
    void xmppClientConnected();
    void xmppError(QXmppClient::Error error);
    // Logged only; the errors are not ignored, so the connection fails.
    void xmppSslErrors(const QList<QSslError> &errors);
    // Answers a chat message with "Your message: " and its body, except
    // answers themselves and error messages, so that two clients cannot echo
    // each other for ever.
    void xmppMessageReceived(const QXmppMessage &message);
    void xmppPresenceChanged(const QString &bareJid, const QString &resource);
    void xmppRosterReceived();
    // Pages backwards through the archived chats of the last 21 days, 15
    // collections at a time, and asks for every collection listed.
    void xmppArchiveListReceived(const QList<QXmppArchiveChat> &chats, const QXmppResultSetReply &reply);
    void xmppArchiveChatReceived(const QXmppArchiveChat &chat, const QXmppResultSetReply &reply);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    explicit LocalUser(QObject *parent);

    // Stores the state, logs the step and announces it (also when unchanged).
    void setLoginState(LoginState state, const QString &reason);
    void setIdentity(TavriIdentityRealmUser *identity);
    void connectIdentityRelays();
    // Befriends or unfriends the user at remoteUserUri through the built-in
    // realm's change, for the local user's built-in identity.
    void requestFriendChange(const char *function, const QString &remoteUserUri,
                             void (TavriIdentityRealm::*change)(const QString &, const QString &));
    void disconnectIdentityRelays();
    void onIdentityDestroying();
    void onIdentityPresenceUpdated();
    // Settings read after every successful web login.
    void loadUserSettings();
    // The stored custom presence messages of the signed-in user.
    void loadPresenceMessages();
    void storePresenceMessage(int presence, const QString &message);
    static QString presenceMessageKey(int presence);
    // Sends VAD values to the voice service.
    static void applyVadProperties(double hangoverSecs, int noiseFloor, int sensitivity);
    // The next delay of a reconnect series: 5 s times three to the power of
    // the attempts made.
    int retryDelayMs() const;
    void killRetryTimer();
    // The external realms, as realm objects.
    static QList<TavriSharedIdentityRealm *> sharedRealms();
    // Builds the XMPP client with its archive extension and wires its
    // signals.
    void setUpXmppClient();

    // The in-band texts, one handler each; uri is the text after the prefix.
    void handleVoiceRequest(const QString &senderURI, const QString &uri);
    void handleGroupInvitation(const QString &senderURI, const QString &uri, bool joinPrivateChat);
    void handlePermanentTransition(const QString &senderURI, const QString &payload);
    void handleAcknowledgement(const QString &senderURI, const QString &prefix, const QString &uri);
    // The sender's display name, HTML-escaped for a chat notice.
    static QString appDataSenderName(const QString &senderURI);
    static void sendAppData(const QString &toURI, const QString &content);
    // The display name of a notification's sender for an alert text.
    QString notificationSenderName(const Notification *notification) const;

    int m_volumeAdjust = 50;
    int m_speakerVolumeAdjust = 50;
    bool m_audioEnabled = true;
    bool m_globalMuted = false;
    bool m_pttToggleMode = false;
    QTimer m_notificationPollTimer;
    // Custom message per presence state number.
    QHash<int, QString> m_presenceMessages;
    double m_vadHangoverSecs = 0;
    int m_vadNoiseFloor = 0;
    int m_vadSensitivity = 0;
    IdleHandler m_idleHandler;
    QString m_accessibilityHelpURL;
    QString m_lastParticipatingURI;
    QString m_lastCallId;
    int m_channelSessionCount = 0;
    // The credentials of the last requestLogin, kept in memory for reconnects.
    QString m_password;
    QString m_username;
    int m_retryCount = 0;
    int m_retryTimerId = 0;
    LoginState m_loginState = LoggedOut;
    bool m_isIdle = false;
    TavriIdentityRealmUser *m_identity = nullptr;
    QMultiHash<Tavri::IdentityRealmInterface *, Tavri::RealmUserInterface *>
        m_realmIdentities; // Owned by this object; the archive manager is owned by the client.
    QXmppClient *m_xmppClient = nullptr;
    QXmppArchiveManager *m_xmppArchiveManager = nullptr;
    // -1 until the first archive list arrives, then its total count.
    int m_archiveTotal = -1;
    ConversationList m_conversations;
    PermanentConversationList *m_permanentConversations = nullptr;
    RecentConversations *m_recentConversations = nullptr;
    ContactList *m_contactList = nullptr;
    ContactGroupList *m_contactGroups = nullptr;
    NotificationList *m_notificationList = nullptr;
};
