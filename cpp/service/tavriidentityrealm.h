#pragma once

#include "identityrealminterface.h"
#include "realmuserinterface.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include "conversation.h"

class TavriIdentityRealmUser;
class TavriIdentityRealmTest;

// TavriIdentityRealm: the built-in identity realm, backed by the voice service
// and the web service.
//
// One instance per process, created on first use by getInstance(). It creates
// the built-in realm's users (TavriIdentityRealmUser) and conversations with
// itself as parent and files them in its tables: users by SIP URI, user id and
// user name; conversations by SIP URI (also under older URIs of the same
// conversation and, for a channel still waiting for its details, under its
// channel UID), by voice session handle and by channel UID. The tables do not
// own what they point to: a user or conversation leaves every table when it
// announces its end (destroying()), and a conversation replaced by another
// (swapping()) hands its session over to the replacement. A conversation's
// identity changes (SIP URI, transition URI, channel UID) re-key it.
//
// The web service's channel and user information completes the objects made
// early from a bare URI or id, or replaces them: a replaced conversation
// announces swapping() and is deleted from the event loop, a replaced user
// announces swapping() and is deleted before the information slot returns.
// Apart from these replacements the realm deletes no conversation or user:
// its destructor emits destroying() first, then only empties the tables;
// what it parented goes with it as QObject children, and conversations of
// the realm let go of it on destroying(). GUI thread only.
class TavriIdentityRealm : public QObject, public Tavri::IdentityRealmInterface
{
    Q_OBJECT
    Q_INTERFACES(Tavri::IdentityRealmInterface)
    Q_PROPERTY(int joinedVoiceConversationCount READ getJoinedVoiceConversationCount NOTIFY
                   joinedVoiceConversationCountChanged)

public:
    // The realm, created with parent on the first call.
    static TavriIdentityRealm *getInstance(QObject *parent = nullptr);
    // True while the realm's destructor runs: whoever hears destroying() must
    // not reach back for the realm or the local user then, since either
    // accessor would build a fresh instance in the middle of the teardown.
    static bool isEnding();
    ~TavriIdentityRealm() override;

    // Tavri::IdentityRealmInterface
    QString realmDisplayName() override;
    QString realmID() override;
    QString realmTag() override;
    bool realmFlagA() override;
    void realmHookA(void *argument) override;
    void *realmObjectA() override;
    void realmHookB(void *argument) override;
    bool realmFlagB() override;
    // The user for a user id, found or created (never null); its record is
    // asked of the web service, except for telephone callers ("sip:phone.").
    Tavri::RealmUserInterface *getRealmUser(const QString &userUUID) override;
    // The built-in realm is signed in through the local user: reports a
    // broken invariant and returns false.
    bool requestLogin() override;
    // Logs the local user's identity out of the realm: the identity is
    // deleted later, every conversation with a session is left and the
    // per-session state is emptied. Any other identity is refused with an
    // assertion report.
    void requestLogout(Tavri::RealmUserInterface *identity) override;
    QObject *realmObject() override;

    // The user for a SIP URI, found or created; null (with a warning) for an
    // empty URI. A new user is filed under the URI both as URI and as id, and
    // its record is asked of the web service.
    Tavri::RealmUserInterface *requestUserInfoUpdateByURI(const QString &sipURI);

    // The chat frame of an outgoing text: the UTC send time in milliseconds
    // since the epoch, ":0:" (the time-zone field, always 0), then the text.
    static QString buildChatTimestampPrefix(const QString &text);
    // The text of an incoming chat frame: what follows the second colon,
    // when the field between the first two colons is a time-zone offset in
    // minutes (-720 to 840, a multiple of 15; a field that is no number counts
    // as 0). Any other text, a frame's absence included, is returned whole.
    static QString parseChatTimestampPrefix(const QString &text);

    // The realm's conversation for a SIP URI, found or created: an ad-hoc
    // group chat ("sip:confctl-g-"), a permanent channel ("sip:confctl-",
    // whose details are then asked of the web service by its live id), or a
    // private chat with the local user and the peer as participants. Channel
    // URIs are filed in lower case, as the web service gives them. Null, with
    // nothing created, for an empty URI or any other prefix ("sip:u-" names
    // the private chat).
    Conversation *getConversation(const QString &sipURI);
    // The conversation of a voice session; null for an unknown handle.
    Conversation *getConversationBySessionHandle(const QString &sessionHandle) const;
    // The permanent channel with a web-service channel UID, found or created.
    // A new one is filed under the UID until its details, asked of the web
    // service, give it its SIP URI. Null (with a warning) for a UID that is
    // not a number.
    Conversation *getConversationByUID(const QString &channelUID);
    // Files a conversation that has become a permanent channel under its URI
    // and channel UID, unless those keys are taken, and drops its old
    // private-chat keys.
    void registerConversation(Conversation *conversation);
    // Follows a conversation's end, replacement, identity changes and voice
    // state. Connecting a conversation twice has no further effect.
    void connectConversation(Conversation *conversation);

    // Joined or joining channel and group-chat sessions (private chats do
    // not count).
    int getJoinedVoiceConversationCount() const;

    // False when a sibling of the channel under the same parent already has
    // the name (ignoring case): the parent's own name, or a channel the local
    // user owns under that parent. channelURI (empty for a new channel) is
    // the channel being named; its own parent then replaces parentChannelURI.
    Q_INVOKABLE bool channelNameAllowed(const QString &channelName, const QString &channelURI,
                                        const QString &parentChannelURI);

    // Counts a finished multi-party voice call, called as the local user
    // leaves a conversation that still has voice: the first such call of a
    // run and then every "settingsPostCallSurveyRepeatNum"-th (5 unless the
    // server says otherwise) opens the post-call survey, unless
    // "settingsPostCallSurveyDisabled" is set. Returns whether the survey was
    // opened.
    bool postCallSurveyCheck(Conversation *conversation);
    // The calls left before the next post-call survey; the application sets
    // it from the survey start number at the first sign-in of a run.
    void setPostCallSurveyCountdown(uint calls);
    int postCallSurveyCountdown() const { return m_postCallSurveyCountdown; }

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

    void joinedVoiceConversationCountChanged(int count);
    // One permanent channel of a channel-hierarchy answer of the web service.
    void permanentConversationInfoReceived(Conversation *conversation);
    // The voice of a conversation's session was cut off.
    void conversationAudioDisabled(const QString &conversationID);

public slots:
    void onNetworkDisconnect() override;
    void onNetworkReconnect() override;
    // A private text to a user: through the private chat between the two when
    // there is one, else queued for a new private session with the receiver.
    void sendTextMessage(const QString &senderUUID, const QString &receiverUUID, const QString &messageText) override;
    // Channels are joined through the voice service (stored until it is ready
    // to join channels); a private chat joins its transition channel when it
    // is turning into a group chat, else it is listed among the local user's
    // conversations. The conversation is Joining until the session answers.
    void requestJoinConversation(const QString &conversationID, const QString &participantUUID,
                                 const QString &password = QString()) override;
    // Sets Leaving; the sessions are terminated only when it was Joined.
    void requestLeaveConversation(const QString &conversationID, const QString &participantUUID) override;
    // Sends the text framed with its send time when the conversation has a
    // session; a private chat without one queues it and asks for a session;
    // a channel without one drops it and is joined instead.
    void sendTextMessage(const QString &conversationID, const QString &messageText) override;
    void sendIsTypingChanged(const QString &conversationID, bool isTyping) override;
    // Sends the oldest text queued for the private chat of a session; one
    // per call, the next one when this one has been answered.
    void sendNextQueuedTextMessage(const QString &sessionHandle);
    // Befriends (or unfriends) a user on the web service and adds it to (or
    // deletes it from) the voice account's buddies. requestorUUID is unused.
    void requestAddContact(const QString &requestorUUID, const QString &contactUUID);
    void requestRemoveContact(const QString &requestorUUID, const QString &contactUUID);
    // Asks the web service for a new contact group; an empty name is refused.
    void requestCreateContactGroup(const QString &name);

    // Drops the sending user from the realm's tables.
    void onUserDestroying();

protected slots:
    // Chat text and voice sessions, from the voice service. Every slot that
    // names a session needs the session to be the realm's: an unknown handle
    // is reported as a broken invariant and changes nothing (the volume slot
    // alone ignores it quietly). Signals that name the local participant are
    // emitted only while the local user has a built-in identity.

    // A sent text's result: the local echo of the text (only when the send
    // succeeded), then the next queued text of the session. A recipient who
    // is offline yields the line "<name> is offline" and drops the texts
    // still queued for that private chat.
    void onVoiceManagerChatMessageSent(const QString &reqId, const QString &sessionHandle);
    void onVoiceManagerMessageNotSent(const QString &sessionHandle, const QString &reqId, int errorCode,
                                      const QString &errorMessage);
    void onVoiceManagerUserIsOffline(const QString &sessionHandle, const QString &reqId, bool isQueued);
    // An incoming chat frame: its text, unless empty, goes to the
    // session's conversation from the sender's realm user.
    void onVoiceManagerTextMessageReceived(const QString &senderURI, const QString &sessionHandle,
                                           const QString &message);

    // A buddy's presence: 2 is Online, 1 and 5 are Away, anything else is
    // Offline (which also clears the presence message).
    void onVoiceManagerPresenceUpdateReceived(const QString &userURI, int presenceState,
                                              const QString &presenceMessage);
    // A session starts for a conversation: it becomes the conversation's own
    // session, or the session of the channel a private chat is moving to,
    // and is filed under its handle. A private chat or call is joined at once
    // and sends its first queued text.
    void onVoiceManagerSessionJoining(const QString &sessionURI, const QString &sessionHandle,
                                      const QString &sessionDisplayName, bool incoming);
    // A session is connected: channels get voice, the conversation is joined
    // and sends its next queued text.
    void onVoiceManagerSessionJoined(const QString &sessionHandle);
    void onVoiceManagerChannelPasswordRequired(const QString &sessionHandle);
    // Refused entry: the session is forgotten and the conversation told why.
    void onVoiceManagerChannelAccessDenied(const QString &sHandle, const QString &sMessage);
    // A failed join: 403 is access denied, anything else a failure.
    void onVoiceManagerSessionJoinFailed(const QString &sessionURI, int statusCode, const QString &statusString);
    // A session ended. An old session left behind by a completed move only
    // updates the count; otherwise the conversation is disconnected, and
    // once it has no session left it returns to its private-chat address
    // without voice. A permanent channel's participants are polled at once.
    void onVoiceManagerSessionRemoved(const QString &sessionUri, const QString &sessionHandle);
    void onVoiceManagerMediaDisconnected(const QString &sessionHandle, const QString &reason);
    // The local user's audio in a joined conversation: 1 off, 2 on, 3 a
    // private chat's peer asking to enable audio.
    void onVoiceManagerMediaStreamUpdated(const QString &sessionHandle, bool isIncoming, int state,
                                          const QString &message);
    // Participants of a session. A peer joining the session a private chat
    // is moving to completes the move.
    void onVoiceManagerParticipantAdded(const QString &participantURI, const QString &sessionHandle,
                                        const QString &displayName, const QString &participantTag);
    void onVoiceManagerParticipantRemoved(const QString &participantURI, const QString &sessionHandle, int reason,
                                          const QString &participantTag);
    // A participant's voice, speaking, volume, mute and moderator state. A
    // peer whose audio goes off is announced 100 ms later, and not at all
    // when it has left by then.
    void onVoiceManagerParticipantUpdated(const QString &userUri, const QString &sessionHandle, bool isMutedGlobally,
                                          bool isSpeaking, int volumeAdjustment, double energy, int activeMediaFlags,
                                          bool isMutedLocally, bool isTextMutedGlobally, int participantType,
                                          const QString &participantTag);
    // participantUri may carry ";" parameters after the user's URI.
    void onVoiceManagerParticipantVolumeUpdated(const QString &sessionHandle, const QString &participantUri,
                                                int volume);
    // A typing notice: a non-zero type means typing.
    void onVoiceManagerSessionNotificationReceived(const QString &sessionHandle, const QString &participantURI,
                                                   int notificationType);
    // A channel's moderator, access and ban lists: a full list replaces the
    // conversation's list in its order, a single change adds or removes one
    // user. An unknown channel is reported.
    void onVoiceManagerModeratorListReceived(const QString &channelURI, const QStringList &moderators,
                                             const QVariantList &permissionLevels);
    void onVoiceManagerModeratorAdded(const QString &channelUri, const QString &userUri);
    void onVoiceManagerModeratorRemoved(const QString &channelUri, const QString &userUri);
    void onVoiceManagerAclListReceived(const QString &channelURI, const QStringList &userURIs);
    void onVoiceManagerMemberAddedToChannelACL(const QString &channelUri, const QString &userUri);
    void onVoiceManagerMemberRemovedFromChannelACL(const QString &channelUri, const QString &userUri);
    void onVoiceManagerBanListReceived(const QString &channelURI, const QStringList &bannedUserURIs);
    void onVoiceManagerUserBanned(const QString &channelURI, const QString &userURI, bool banned);
    // The voice service can join channels: the joins asked before are made
    // now, once each.
    void onVoiceManagerReadyToJoinChannels();

protected:
    // The connection-statistics timer asks for statistics; a "has disabled
    // audio" timer adds its notice once, if the conversation is still joined.
    void timerEvent(QTimerEvent *event) override;

protected slots:
    // The sending conversation is being replaced by newRef: the session
    // goes over to newRef and the sender leaves every table.
    void onConversationSwappingReference(Conversation *newRef);
    // The sending conversation ends: it leaves every table.
    void onConversationDestroying();
    // Re-key the sending conversation after a change of its identity.
    void onConversationTransitionSipURIChanged(const QString &transitionURI);
    void onConversationSipURIChanged(const QString &sipURI);
    void onConversationUIDChanged(const QString &channelUID);
    // Marks a multi-party voice call and counts it for the post-call survey
    // when its voice ends.
    void onConversationVoiceStateChanged(Conversation::VoiceState voiceState);

    // Channel information from the web service: finds the conversation it
    // describes, replacing placeholders (made from a bare URI or channel UID)
    // by a complete conversation, applies the information, files the result
    // under its URI and channel UID and announces it with
    // permanentConversationInfoReceived(). Ignored without URI and UID.
    void onSocialManagerReceivedChannelInfo(const QString &channelURI, const QString &channelUID,
                                            const QString &channelDisplayName, const QString &channelImageURI,
                                            const QString &channelMessage, const QString &channelDescription,
                                            bool isPublic, bool hasPassword, const QString &channelDialinCode,
                                            const QString &channelOwnerUID, const QString &channelParentUID,
                                            bool hasChildren, const QString &lastOn,
                                            const QString &ancestralRootLiveUID);
    // User information from the web service: finds or creates the user,
    // applies the record and files the user under its SIP URI, user id and
    // user name. Other user objects found under those keys stand for the same
    // person: they are swapped to this one and deleted.
    void onSocialManagerUserInfoReceived(const QString &userURI, const QString &userEmail, const QString &userUID,
                                         const QString &userDisplayName, const QString &userUUID,
                                         const QString &userImageURI, const QString &userLocation,
                                         const QString &userTagline, const QString &userDescription,
                                         const QDateTime &userLastOnline, const QString &userHomeChannelURI);
    // A new picture of a user the realm holds by SIP URI.
    void onSocialManagerUserPictureUpdated(const QString &userURI, const QString &userPictureURI);

    // The friends roster, announced for the local user's built-in identity;
    // without that identity each slot reports a broken invariant and does
    // nothing. A full roster is announced as begin, entries, end, and is
    // followed by a request for the contact groups. Friends of the voice
    // service's buddy list are announced under their realm user's id (the
    // SIP URI until the user's record arrives), those of the web service's
    // friends list under their user id.
    void onTavriContactsReceived(const QStringList &contactSipURIs, const QStringList &contactSipData);
    void onVoiceManagerFriendAdded(const QString &contactSipURI);
    void onVoiceManagerFriendRemoved(const QString &contactSipURI);
    void onSocialManagerFriendsListReceived(const QStringList &friendUIDs);
    // A contact-group refresh: begin marks every known group unconfirmed,
    // each group listed confirms it, and end withdraws the groups the
    // refresh did not list.
    void onSocialManagerContactGroupsReceivedBegin();
    void onSocialManagerContactGroupInfoReceived(const QString &groupID, const QString &groupName);
    void onSocialManagerContactGroupMemberChanged(const QString &groupID, const QString &userUID,
                                                  const QString &userURI, bool isInGroup);
    void onSocialManagerContactGroupsReceivedEnd();
    void onSocialManagerContactGroupRemoved(const QString &groupID);

    // The local user's own conversation list: the favourite channels and the
    // channels the user owns, announced for the local user's built-in
    // identity (without it each slot reports a broken invariant and stops).
    // The two web replies make one list: the first to arrive opens it, the
    // second closes it, in either order. An owned channel that is also a
    // favourite is listed twice; an empty URI is never listed. Every listed
    // channel has its participants polled while it is not joined; a channel
    // that leaves the list stops being polled.
    void onSocialManagerFavoriteChannelsBeginReceived();
    void onSocialManagerFavoriteChannelReceived(const QString &channelUri);
    // Closes the list when the owned channels have come already; the owned
    // channels of the last reply that are not favourites join the list.
    void onSocialManagerFavoriteChannelsEndReceived();
    // A favourite added or removed at the web service. A removed favourite
    // loses its flag as the service's own change (no request goes back) and
    // leaves the list, even when the user owns the channel.
    void onSocialManagerChannelFavoriteChanged(const QString &channelUri, bool favorited);
    // Lists the owned channels and the favourites again; closes the list when
    // the favourites have come already.
    void onSocialManagerOwnedChannelsReceived(const QStringList &ownedChannelURIs,
                                              const QStringList &ownedChannelDisplayNames);
    // A channel the user has just made joins the list; only its URI and
    // display name are used here.
    void onSocialManagerOwnedChannelAdded(const QString &channelURI, const QString &channelUID,
                                          const QString &channelOwnerUID, const QString &parentChannelUID,
                                          const QString &channelDisplayName, bool isPublic, bool hasPassword,
                                          const QString &channelImageURI, const QString &channelDialinCode,
                                          const QString &channelMessage, const QString &channelDescription,
                                          const QString &lastOn);
    // A deleted owned channel leaves the list; one not owned is ignored.
    void onSocialManagerOwnedChannelDeleted(const QString &channelUri);

private:
    // The id of the user for a SIP URI ("" for an empty URI).
    QString uidForURI(const QString &sipURI);
    friend class TavriIdentityRealmTest;

    explicit TavriIdentityRealm(QObject *parent);
    // The counting and showing part of the post-call survey check.
    bool countCallForSurvey();
    // Stops following a conversation (the connections of connectConversation).
    void disconnectConversation(Conversation *conversation);
    // A permanent channel made from channel information, followed by the realm.
    Conversation *createChannelConversation(const QString &displayName, const QString &sipURI,
                                            const QString &channelUID);
    // Replaces a conversation by another: old announces swapping() and is
    // deleted from the event loop, so that holders can finish with it.
    void retireConversation(Conversation *old, Conversation *replacement);
    // Moves those child channels of from that carry a channel UID under to.
    void handOverChildChannels(Conversation *from, Conversation *to);
    // The conversation of a session handle; null, after reporting the broken
    // invariant for function, when the realm does not know the handle.
    Conversation *sessionConversation(const QString &sessionHandle, const char *function) const;
    // Whether a send result names a text in flight on a known session;
    // false after reporting the broken invariant for function.
    bool isKnownSendResult(const QString &reqId, const QString &sessionHandle, const char *function) const;
    // Whether a conversation with a session has voice.
    bool hasVoiceEnabledSession() const;
    // Whether a framed chat text is small enough for the voice world.
    static bool fitsInOneChatMessage(const QString &framed);
    // Shows in the conversation that a text of the user's was not sent.
    void emitNotSentLine(const QString &conversationURI, const QString &text, bool tooLong);
    // The 10 s connection-statistics timer: started when a conversation gains
    // audio, stopped once no conversation with a session has voice.
    void startStatisticsTimer();
    void stopStatisticsTimerWithoutVoice();
    // The moderator, member or ban list of a channel; null (after reporting
    // the broken invariant for function) when there is no such channel.
    RealmIdentityList *channelList(const QString &channelURI, RealmIdentityList *(Conversation::*list)(bool),
                                   const char *function);
    // Replaces a channel's moderator, member or ban list by the users of
    // userURIs, in order.
    void replaceChannelList(const QString &channelURI, RealmIdentityList *(Conversation::*list)(bool),
                            const QStringList &userURIs, const char *function);
    // The voice service's address of a permanent channel.
    static QString channelAddress(const QString &channelUID);
    // The roster's subscriber: the uid of the local user's built-in
    // identity. False (after reporting the broken invariant for function)
    // when there is no such identity.
    static bool rosterSubscriber(const char *function, QString &subscriberUUID);
    // Asks the web service for the contact groups.
    static void requestContactGroupRefresh();

    // Steps of merging the favourites and owned-channels replies into one
    // conversation list (bits of m_conversationListProgress).
    enum ConversationListProgress : quint16 {
        OwnedStartedList = 0x1,
        FavoritesStartedList = 0x2,
        FavoritesFinished = 0x4,
        OwnedFinished = 0x8,
    };
    // The conversation of a listed channel: polled unless already so.
    static void startParticipantPoll(Conversation *conversation);
    static void stopParticipantPoll(Conversation *conversation);

    // Private chat URI per (sender id, receiver id).
    QHash<QPair<QString, QString>, QString> m_privateConversationMap;
    // Texts waiting for a private chat's voice session, per chat URI.
    QHash<QString, QStringList> m_pendingMessages;
    // Unframed text of each sent message awaiting its result, per request cookie.
    QHash<QString, QString> m_inFlightChatMessages;
    QMap<QString, TavriIdentityRealmUser *> m_usersByURI;
    // A user first met by URI is also filed here under its URI.
    QMap<QString, TavriIdentityRealmUser *> m_usersByUID;
    QMap<QString, TavriIdentityRealmUser *> m_usersByUName;
    // Contact-group ids of the refresh under way.
    QMap<QString, bool> m_contactGroupIDs;
    // Every conversation by SIP URI, transition URI and older URIs still
    // leading to it; a channel waiting for its details also by channel UID.
    QMap<QString, Conversation *> m_conversationsByURI;
    QMap<QString, Conversation *> m_conversationsBySessionHandle;
    QMap<Conversation *, QString> m_sessionHandlesByConversation;
    // Permanent channels by channel UID.
    QMap<QString, Conversation *> m_conversationsByUID;
    QStringList m_ownedChannelURIs;
    QStringList m_ownedChannelDisplayNames;
    QStringList m_favoriteChannelURIs;
    // Flags merging the favourites and owned-channels replies into one list.
    quint16 m_conversationListProgress = 0;
    bool m_readyToJoinChannels = false;
    // A multi-party voice call took place since the last survey check.
    bool m_surveyPending = false;
    // Calls left before the next post-call survey.
    int m_postCallSurveyCountdown = 0;
    // Joins asked before the voice service was ready: conversation -> password.
    QHash<QString, QString> m_pendingJoins;
    // One-shot "has disabled audio" notices per timer id: the conversation
    // (null once it is gone) and the participant's URI.
    QHash<int, QPair<QPointer<Conversation>, QString>> m_audioDisabledTimers;
    // The connection-statistics timer, 0 when none runs.
    int m_timerId = 0;
};
