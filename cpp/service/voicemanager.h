#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include "ostrelsdk.h"

class CallSessionStat;
class CaptureDeviceModel;
class RenderDeviceModel;
class SdkRequestClient;

// The single owner of the voice SDK. It initialises the SDK, creates the
// connector, builds every SDK request through its request client, pumps the
// SDK's messages onto the main thread and turns them into Qt signals, and
// shuts the SDK down again.
//
// Lives on the main thread; created by the application object after the
// settings service and reached through getInstance(). The SDK calls two
// functions of this class on its own threads: sdkMessageCallback(), which only
// emits sdkMessageAvailable() (delivered to the main thread by a queued
// connection), and onSdkLogMessage(), which only writes a log line.
class VoiceManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int minimumPort READ getMinimumPort WRITE setMinimumPort)
    Q_PROPERTY(int maximumPort READ getMaximumPort WRITE setMaximumPort)
    Q_PROPERTY(QString applicationServer READ applicationServer)
    Q_PROPERTY(QString downloadServer READ downloadServer)
    Q_PROPERTY(QString domain READ domain CONSTANT)
    Q_PROPERTY(bool isDefaultDomain READ isDefaultDomain CONSTANT)
    Q_PROPERTY(int micLevel READ getMicLevel WRITE setMicLevel NOTIFY micLevelChanged)
    Q_PROPERTY(int speakerLevel READ getSpeakerLevel WRITE setSpeakerLevel NOTIFY speakerLevelChanged)
    Q_PROPERTY(bool captureTestRunning READ captureTestRunning NOTIFY captureTestRunningChanged)
    Q_PROPERTY(bool renderTestRunning READ renderTestRunning NOTIFY renderTestRunningChanged)
    Q_PROPERTY(int defaultVadSensitivity READ getDefaultVadSensitivity NOTIFY defaultVadSensitivityChanged)
    Q_PROPERTY(int defaultVadNoiseFloor READ getDefaultVadNoiseFloor NOTIFY defaultVadNoiseFloorChanged)
    Q_PROPERTY(int defaultMicLevel READ getDefaultMicLevel NOTIFY defaultMicLevelChanged)
    Q_PROPERTY(int defaultSpeakerLevel READ getDefaultSpeakerLevel NOTIFY defaultSpeakerLevelChanged)
    Q_PROPERTY(QString transmittingChannel READ getTransmittingChannel NOTIFY transmittingChannelChanged)
    Q_PROPERTY(double microphoneEnergy READ microphoneEnergy NOTIFY microphoneEnergyChanged)
    Q_PROPERTY(double speakerEnergy READ speakerEnergy NOTIFY speakerEnergyChanged)
    Q_PROPERTY(double microphoneVolume READ microphoneVolume NOTIFY microphoneVolumeChanged)
    Q_PROPERTY(int speakerVolume READ speakerVolume NOTIFY speakerVolumeChanged)
    Q_PROPERTY(bool microphoneActive READ microphoneActive NOTIFY microphoneActiveChanged)
    Q_PROPERTY(bool speakerActive READ speakerActive NOTIFY speakerActiveChanged)
    Q_PROPERTY(double noiseFloor READ noiseFloor NOTIFY noiseFloorChanged)
    Q_PROPERTY(double speechThreshold READ speechThreshold NOTIFY speechThresholdChanged)
    Q_PROPERTY(double maxNoiseFloor READ maxNoiseFloor NOTIFY maxNoiseFloorChanged)

public:
    // Presence values of the voice SDK.
    enum PresenceStatus {
        PresenceUnknown = 0,
        PresencePending = 1,
        PresenceOnline = 2,
        PresenceBusy = 3,
        PresenceBRB = 4,
        PresenceAway = 5,
        PresenceOnThePhone = 6,
        PresenceOutToLunch = 7,
        PresenceCustom = 8,
        PresenceSLC = 9,
        PresenceClosed = 0,
        PresenceOffline = 0
    };
    Q_ENUM(PresenceStatus)

    // Initialises the SDK; a failure ends the process with the SDK's result
    // as its exit code.
    VoiceManager(int sdkLogLevel, const QString &applicationDirPath, bool useDevelopmentServers,
                 QObject *parent = nullptr);
    ~VoiceManager() override;

    // The instance, or null before construction and after shutdown.
    static VoiceManager *getInstance();

    // The voice domains of the two server modes.
    static QString defaultDomain(bool useDevelopmentServers);

    // The code of the first virtual key, in ascending code order, whose short
    // name equals `name` ignoring case; 0 when none does.
    static int getVirtualKeyCodeByName(const QString &name);
    // The exit's wait for the voice logout's answer (30 s unless changed).
    static void setExitLogoutTimeout(int milliseconds);

    // Asks the SDK for the connector unless it exists (at start-up and when
    // reconnecting).
    void createConnector();

    // The connector's server address: "https://", "www." for a domain of
    // fewer than four labels, the domain and "/api2".
    QString connectorUrl() const;

    // Logs the voice account in with a voice token. With a realm id the login
    // is made for that external-application realm; without one it is the
    // local user's, issued once the connector exists.
    void requestLogin(QString token, QString sharedRealmId);
    // Logs the given account out, or the own one when the given handle is empty.
    void requestLogout(QString accountHandle);

    // Account, presence, buddies and channel administration. Each issues one
    // request for the own account (or the given one where there is an
    // account argument and it is not empty); the answer comes back as the
    // signal of the same name. Nothing is issued without any account handle.
    void setPresence(int status, QString customMessage, QString accountHandle = QString());
    void requestBuddyList();
    void requestAddBuddy(QString buddyUri, QString accountHandle = QString());
    void requestRemoveBuddy(QString buddyUri, QString accountHandle = QString());
    void sendUserAppData(QString toUri, QString content);
    void requestAddChannelAclMember(QString channelUri, QString userUri);
    void requestRemoveChannelAclMember(QString channelUri, QString userUri);
    void requestChannelAclList(QString channelUri);
    void requestAddChannelModerator(QString channelUri, QString userUri);
    void requestRemoveChannelModerator(QString channelUri, QString userUri);
    void requestChannelModeratorList(QString channelUri);
    void requestBanUser(QString channelUri, QString userUri);
    void requestUnbanUser(QString channelUri, QString userUri);
    void requestBannedUserList(QString channelUri);
    void requestKickUser(QString channelUri, QString userUri);
    void muteUserAudio(QString channelUri, QString userUri, bool mute, QString accountHandle = QString());
    void muteUserText(QString channelUri, QString userUri, bool mute, QString accountHandle = QString());
    // Without any account handle answers at once with an empty list.
    void requestGetParticipants(QString channelUri, int first, int second, QString accountHandle = QString());

    // Local audio path.
    Q_INVOKABLE void setCaptureDevice(QString deviceId);
    Q_INVOKABLE void setRenderDevice(QString deviceId);
    // Ask the SDK for its device lists; the answers update captureDevices()
    // and renderDevices().
    void requestCaptureDevices();
    void requestRenderDevices();
    Q_INVOKABLE void setLocalMicMuted(bool mute);
    static void setAecEnabled(bool enabled);
    static void setAgcEnabled(bool enabled);
    static void setAdvancedAgcEnabled(bool enabled);
    static void setVadEnabled(bool enabled);
    // Sends the hangover in whole milliseconds, `third` and the SDK's own
    // default noise floor; `second` is not sent.
    void setVadProperties(double hangoverSeconds, int second, int third);
    // Asks the SDK to report presses of the given keys as keyEvent(bindingName, ...).
    void requestKeyBinding(QString bindingName, QList<int> keyCodes);
    // Plays a sound file on the render device: a bare name is taken from the
    // program folder, a "file:" URL as the local file it names.
    Q_INVOKABLE void renderFileToSpeaker(QString file);
    Q_INVOKABLE void startCaptureTest(bool loopToRender);
    Q_INVOKABLE void stopCaptureTest();
    Q_INVOKABLE void startRenderTest();
    Q_INVOKABLE void stopRenderTest();

    // Sessions. Channels and group chats join the channel session group;
    // private chats get a session group of their own each.
    void requestJoinChannel(QString uri, QString password, bool audio);
    void requestAddSession(QString sessionGroupHandle, QString uri);
    void requestP2PSession(QString uri, bool audio = false);
    void requestCreateSessionGroup(QString sharedRealmId);
    void closeSessionGroupHandle(QString sessionGroupHandle);
    // False (and nothing sent) for a session that the SDK has not reported or
    // has reported removed.
    bool requestTerminateSession(QString sessionHandle);
    void setTransmittingChannel(QString uri, QString sessionGroupHandle = QString());
    // Returns the request's cookie, which the answer carries.
    QString requestSendMessage(QString sessionHandle, QString text);
    void sendTypingNotification(QString sessionHandle, bool typing);
    void setParticipantAudioMutedForMe(QString sessionHandle, QString participantUri, bool mute);
    void setParticipantTextMutedForMe(QString sessionHandle, QString participantUri, bool mute);
    void setParticipantVolume(QString sessionHandle, QString participantUri, int volume);
    void setLocalSpeakerMuted(QString sessionHandle, bool mute);
    void setSessionMediaConnected(QString sessionHandle, bool connected);
    void requestConnectionQualityStatsUpdate();
    QString getSessionHandleByUri(QString uri) const;
    QString getUriBySessionHandle(QString sessionHandle) const;
    QString getTransmittingChannel() const { return m_transmittingChannel; }
    QString channelSessionGroupHandle() const { return m_channelSessionGroupHandle; }
    QString localUserUri() const { return m_localUserUri; }
    // Sessions in which the local user takes part.
    QSet<QString> knownSessions() const { return m_knownSessions; }

    CaptureDeviceModel *captureDevices() const { return m_captureDevices; }
    RenderDeviceModel *renderDevices() const { return m_renderDevices; }

    // The report filter of media-stream events: whether a disconnect is
    // shown to the user through sdkError.
    static bool shouldReportMediaStreamError(const ox_evt_media_stream_updated_t *event);

    // The report filter of failed responses: whether a failure is shown to
    // the user through sdkError. May emit couldNotConnectToServer().
    bool shouldReportResponseError(const ox_resp_base_t *response);

    // How long the own login may take before it counts as timed out (45 s
    // unless changed); applies to logins issued afterwards.
    void setLoginTimeout(int milliseconds) { m_loginTimeoutMs = milliseconds; }

    // Clears the login and the account handle and emits voiceLoggedOut(reason)
    // when a login was issued; does nothing otherwise.
    void notifyVoiceLoggedOut(const QString &reason);

    // Ends the SDK: connector shutdown (waiting up to 3000 ms for its answer),
    // then uninitialisation. Called by the destructor; later calls do nothing.
    void shutdown();

    QString applicationServer() const { return m_applicationServer; }
    QString downloadServer() const { return m_downloadServer; }
    QString domain() const { return m_domain; }
    bool isDefaultDomain() const { return m_isDefaultDomain; }
    int getMinimumPort() const { return m_minimumPort; }
    void setMinimumPort(int port) { m_minimumPort = port; }
    int getMaximumPort() const { return m_maximumPort; }
    void setMaximumPort(int port) { m_maximumPort = port; }
    int getMicLevel() const { return m_micLevel; }
    void setMicLevel(int level);
    int getSpeakerLevel() const { return m_speakerLevel; }
    void setSpeakerLevel(int level);
    bool captureTestRunning() const { return m_captureTestRunning; }
    bool renderTestRunning() const { return m_renderTestRunning; }
    // Before the SDK has reported them these report a broken invariant and
    // return the SDK's usual values, 26 and 2000.
    int getDefaultVadSensitivity() const;
    int getDefaultVadNoiseFloor() const;
    int getDefaultMicLevel() const { return m_defaultMicLevel; }
    int getDefaultSpeakerLevel() const { return m_defaultSpeakerLevel; }
    double microphoneEnergy() const { return m_microphoneEnergy; }
    double speakerEnergy() const { return m_speakerEnergy; }
    double microphoneVolume() const { return m_microphoneVolume; }
    int speakerVolume() const { return m_speakerVolume; }
    bool microphoneActive() const { return m_microphoneActive; }
    bool speakerActive() const { return m_speakerActive; }
    double noiseFloor() const { return m_noiseFloor; }
    double speechThreshold() const { return m_speechThreshold; }
    double maxNoiseFloor() const { return m_maxNoiseFloor; }
    QString accountHandle() const { return m_accountHandle; }
    QString connectorHandle() const { return m_connectorHandle; }

    // The SDK's notification callback (SDK thread): emits
    // sdkMessageAvailable() on the instance, if there is one.
    static void sdkMessageCallback();
    // The SDK's log sink (SDK threads): writes the line through Qt's message
    // logger in the category "sdkint ", with the file and line that the line
    // itself names and the source as the function.
    static void onSdkLogMessage(const char *source, const char *level, const char *message);

signals:
    void sdkMessageAvailable();
    void connectorCreated();
    void connectorCreateFailed(QString reason);
    void voiceLoggedIn();
    void voiceLoggedOut(QString reason);
    void networkStateChanged(bool networkIsAvailable);
    void stopLoginTimer(int *timerID, bool reset);
    void sdkError(int statusCode, QString message, QString statusString);
    void sessionGroupAdded(QString sessionGroupHandle);
    void friendAdded(QString friendURI);
    void friendRemoved(QString friendURI);
    void presenceReceived(QString remoteUserURI, int presenceState, QString customMessage);
    void contactPresenceReceived(QString accountHandle, QString remoteUserURI, int presenceState,
                                 QString customMessage);
    void subscriptionReceived(QString remoteUserURI, QString remoteUserDisplayName, QString subscriptionHandle);
    void sessionNotificationReceived(QString sessionHandle, QString participantURI, int notificationType);
    void messageReceived(QString senderURI, QString sessionHandle, QString message);
    void sessionJoining(QString sessionURI, QString sessionHandle, QString sessionDisplayName, bool incoming);
    void sessionRequested(QString sessionURI, QString sessionHandle, QString sessionDisplayName,
                          QString sessionGroupHandle);
    void sessionJoined(QString sessionHandle);
    void participantAdded(QString participantURI, QString sessionHandle, QString displayName, QString participantTag);
    void participantRemoved(QString participantURI, QString sessionHandle, int reason, QString participantTag);
    void participantUpdated(QString userUri, QString sessionHandle, bool isMutedGlobally, bool isSpeaking,
                            int volumeAdjustment, double energy, int activeMediaFlags, bool isMutedLocally,
                            bool isTextMutedGlobally, int participantType, QString participantTag);
    void mediaStreamUpdated(QString sessionHandle, bool isIncoming, int state, QString message);
    void textStreamUpdated(QString sessionHandle, bool isIncoming, int state, QString message);
    void channelNotFound(QString sessionHandle);
    void channelPasswordRequired(QString sessionHandle);
    void channelConnectTimeout(QString sessionHandle);
    void maximumCallsExceeded(QString sessionHandle);
    void rtpTimeout(QString sessionHandle);
    void rtpRecvTimeout(QString sessionHandle);
    void cannotOpenCaptureDevice(QString sessionHandle);
    void channelAccessDenied(QString sessionHandle, QString reason);
    void mediaDisconnected(QString sessionHandle, QString reason);
    void cannotAddEchoToSession();
    void audioDeviceProblem(int statusCode);
    void sessionReallyConnectedChanged();
    void userAppDataReceived(QString senderURI, QString content);
    void serverAppDataReceived(QString accountHandle, QString contentType, QString content);
    void keyEvent(QString keyEventName, bool isDown);
    void auxAudioPropertiesReceived(bool micIsActive, int micVolume, double micEnergy, bool speakerIsActive,
                                    int speakerVolume, double speakerEnergy);
    void readyToJoinChannels();
    void sessionGroupTransmittingChannelChanged(QString sessionGroupHandle, QString uri);
    void fileNotFoundForPlayback(QString filename);
    void couldNotConnectToServer();
    void accountHandleReceived(QString sharedRealmID, QString accountHandle);
    void sessionGroupReceived(QString sharedRealmID, QString sessionGroupHandle);
    void sessionAdded(QString sessionGroupHandle, QString sipURI, QString sessionHandle);
    void sessionJoinFailed(QString sessionURI, int statusCode, QString statusString);
    void sessionRemoved(QString sessionURI, QString sessionHandle);
    void sessionTerminateFailed(QString sessionHandle);
    void localUserMutedLocally(QString sessionHandle, bool isMuted);
    void participantVolumeUpdated(QString sessionHandle, QString participantUri, int volume);
    void chatMessageSent(QString reqId, QString sessionHandle);
    void messageNotSent(QString sessionHandle, QString reqId, int errorCode, QString errorMessage);
    void userIsOffline(QString sessionHandle, QString reqId, bool isQueued);
    void channelFavoriteAdded(QString channelURI, int favID);
    void channelInfoReceived(QString channelURI, int numParticipants, int maxParticipants);
    void moderatorAdded(QString channelUri, QString userUri);
    void moderatorRemoved(QString channelUri, QString userUri);
    void moderatorListReceived(QString channelURI, QStringList moderators, QVariantList permissionLevels);
    void memberAddedToChannelACL(QString channelUri, QString userUri);
    void memberRemovedFromChannelACL(QString channelUri, QString userUri);
    void aclListReceived(QString channelURI, QStringList userURIs);
    void banListReceived(QString channelURI, QStringList bannedUserURIs);
    void userBanned(QString channelURI, QString userURI, bool banned);
    void userListReceived(QString channelURI, QStringList userUriList, int numParticipants);
    void blockedUserListReceived(QStringList userUriList);
    void friendsListReceived(QStringList friendURIs, QStringList friendData);
    void localMicMuteChanged(bool muted);
    void renderDeviceChanged(QString deviceId);
    void captureDeviceChanged(QString deviceId);
    void vadPropertiesReceived(double hangoverSecs, int noiseFloor, int sensitivity);
    void selectedCaptureDeviceInUse();
    void selectedCaptureDeviceCouldNotOpen();
    // A statistics sample; the receiver takes ownership.
    void sessionStatReceived(CallSessionStat *stat);
    // Declared for the statistics model's connection; nothing emits it.
    void sessionStatsReceived(ox_resp_sessiongroup_get_stats_t *stat);
    // An SDK event without a handler of its own; the record is valid only
    // during the emission.
    void oxEventReceived(ox_event_type eventType, ox_evt_base_t *event);

    void micLevelChanged(int micLevel);
    void speakerLevelChanged(int speakerLevel);
    void captureTestRunningChanged(bool running);
    void renderTestRunningChanged(bool running);
    void defaultVadSensitivityChanged(int value);
    void defaultVadNoiseFloorChanged(int value);
    void defaultMicLevelChanged(int value);
    void defaultSpeakerLevelChanged(int value);
    void transmittingChannelChanged(QString transmittingChannel);
    void microphoneEnergyChanged(double value);
    void speakerEnergyChanged(double value);
    void microphoneVolumeChanged(double value);
    void speakerVolumeChanged(double value);
    void microphoneActiveChanged(bool value);
    void speakerActiveChanged(bool value);
    void noiseFloorChanged(double value);
    void speechThresholdChanged(double value);
    void maxNoiseFloorChanged(double value);

public slots:
    // Logs the voice account out before the application ends, or quits the
    // event loop at once when there is none.
    void onAppExit();
    void onNetworkStateChanged(bool isOnline);
    // The first session group becomes the channel session group; each later
    // one takes the oldest private chat waiting for a session.
    void onSessionGroupAdded(QString sessionGroupHandle);

private slots:
    void onSdkMessageAvailable();
    void onConnectorCreated();
    void onStopLoginTimer(int *timerID, bool reset);
    void onVoiceLoggedIn();
    void onVoiceLoggedOut();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void loadServerSettings(const QString &applicationDirPath, bool useDevelopmentServers);
    void initializeSdk(const QString &applicationDirPath);
    void issueDirectAudioQueries();
    void runPendingLogin();
    // The given account handle, or the own one when it is empty.
    QString accountOrOwn(const QString &accountHandle) const;
    void stopTimer(int &timerId, bool resetRetryCount);

    // Dispatch of one SDK message; frees it before returning.
    void processMessage(ox_message_base_t *message);
    void processResponse(ox_resp_base_t *response);
    void processSuccessfulResponse(ox_resp_base_t *response);
    // Calls a response handler with the response read as the record type the
    // handler takes.
    template <typename Response>
    void handle(void (VoiceManager::*handler)(const Response *), const ox_resp_base_t *response);
    // Handlers of successful responses, one per response type.
    void onConnectorCreateResponse(const ox_resp_connector_create_t *response);
    void onSessionGroupCreated(const ox_resp_sessiongroup_create_t *response);
    void onSessionAddedByRequest(const ox_resp_sessiongroup_add_session_t *response);
    void onSessionTerminated(const ox_resp_session_terminate_t *response);
    void onLocalSpeakerMuted(const ox_resp_session_mute_local_speaker_t *response);
    void onLocalSpeakerVolumeSet(const ox_resp_session_set_local_speaker_volume_t *response);
    void onParticipantVolumeSet(const ox_resp_session_set_participant_volume_for_me_t *response);
    void onFavoritesListed(const ox_resp_account_channel_favorites_list_t *list);
    void onFavoriteSet(const ox_resp_account_channel_favorite_set_t *response);
    void onChannelInfo(const ox_resp_account_channel_get_info_t *response);
    void onModeratorAdded(const ox_resp_account_channel_add_moderator_t *response);
    void onModeratorRemoved(const ox_resp_account_channel_remove_moderator_t *response);
    void onModeratorsListed(const ox_resp_account_channel_get_moderators_t *list);
    void onAclMemberAdded(const ox_resp_account_channel_add_acl_t *response);
    void onAclMemberRemoved(const ox_resp_account_channel_remove_acl_t *response);
    void onAclListed(const ox_resp_account_channel_get_acl_t *list);
    void onUserBanned(const ox_resp_channel_ban_user_t *response);
    void onBansListed(const ox_resp_channel_get_banned_users_t *list);
    void onLocalMicMuted(const ox_resp_connector_mute_local_mic_t *response);
    void onBuddySet(const ox_resp_account_buddy_set_t *response);
    void onBuddiesListed(const ox_resp_account_list_buddies_and_groups_t *list);
    void onBlockedUsersListed(const ox_resp_account_blocked_users_list_t *list);
    void onRenderDevicesListed(const ox_resp_aux_get_render_devices_t *list);
    void onCaptureDevicesListed(const ox_resp_aux_get_capture_devices_t *list);
    void onRenderDeviceSet(const ox_resp_aux_set_render_device_t *response);
    void onCaptureDeviceSet(const ox_resp_aux_set_capture_device_t *response);
    void onMicLevelSet(const ox_resp_aux_set_mic_level_t *response);
    void onSpeakerLevelSet(const ox_resp_aux_set_speaker_level_t *response);
    void onParticipantsListed(const ox_resp_account_channel_get_participants_t *list);
    void onSessionGroupStats(const ox_resp_sessiongroup_get_stats_t *response);
    void processFailedResponse(ox_resp_base_t *response);
    void onMessageSentResponse(const ox_resp_session_send_message_t *response);
    void onLoginFailed(const ox_resp_base_t *response);
    void onLoginTimedOut();
    void onJoinFailed(const ox_resp_base_t *response);
    // Stops the participant polling of the built-in realm's conversation for
    // a channel that the server no longer knows.
    void stopConversationPendingTimer(const QString &channelUri);
    void processEvent(ox_evt_base_t *event);
    void onLoginResponse(const ox_resp_account_authtoken_login_t *response);
    void onMicLevelResponse(const ox_resp_aux_get_mic_level_t *response);
    void onSpeakerLevelResponse(const ox_resp_aux_get_speaker_level_t *response);
    void onVadPropertiesResponse(const ox_resp_aux_get_vad_properties_t *response);
    void onBuddyPresenceEvent(const ox_evt_buddy_presence_t *event);
    void onSessionAddedEvent(const ox_evt_session_added_t *event);
    void onSessionRemovedEvent(const ox_evt_session_removed_t *event);
    void onParticipantAddedEvent(const ox_evt_participant_added_t *event);
    void onParticipantRemovedEvent(const ox_evt_participant_removed_t *event);
    void onMediaStreamEvent(const ox_evt_media_stream_updated_t *event);
    void onServerAppDataEvent(const ox_evt_server_app_data_t *event);
    void onAudioPropertiesEvent(const ox_evt_aux_audio_properties_t *event);
    // Adds or removes a session of the local user, announcing a change.
    void setKnownSession(const QString &sessionHandle, bool known);
    // Whether the built-in realm's conversation at this address has voice.
    bool isVoiceEnabledConversation(const QString &uri) const;
    void onLoginStateChangeEvent(const ox_evt_account_login_state_change_t *event);

    int m_minimumPort = 0;
    int m_maximumPort = 0;
    int m_micLevel = 50;
    int m_speakerLevel = 50;
    bool m_loginRequested = false;
    bool m_loginIssued = false;
    bool m_reconnectAttempted = false;
    bool m_exiting = false;
    bool m_connectorSignalsConnected = false;
    int m_retryCount = 0;
    int m_attemptCount = 0;
    int m_connectorTimer = 0;
    int m_exitTimer = 0;
    int m_loginTimer = 0;
    int m_loginTimeoutMs = 45000;
    int m_retryTimer = 0;
    int m_storedVadSensitivity = 0;
    double m_storedVadHangoverSeconds = 0;
    int m_storedVadNoiseFloor = 0;
    int m_defaultVadSensitivity = 0;
    int m_defaultVadNoiseFloor = 0;
    int m_defaultMicLevel = 0;
    int m_defaultSpeakerLevel = 0;
    QString m_pendingLoginToken;
    QString m_applicationDirPath;
    QString m_localUserUri;
    QList<QString> m_pendingP2PUris;
    // Cookies of the session-group creates issued for private chats, with the
    // URI each was issued for.
    QMap<QString, QString> m_p2pGroupCreates;
    QSet<QString> m_knownSessions;
    CaptureDeviceModel *m_captureDevices = nullptr;
    RenderDeviceModel *m_renderDevices = nullptr;
    QString m_applicationServer;
    QString m_downloadServer;
    QString m_domain;
    bool m_isDefaultDomain = true;
    QString m_accountHandle;
    QString m_connectorHandle;
    QString m_channelSessionGroupHandle;
    QString m_abortedLoginHandle;
    QString m_lateLogoutHandle;
    QMap<QString, QString> m_uriBySessionHandle;
    QMap<QString, QString> m_sessionHandleByUri;
    QMap<QString, QString> m_loginRequests;  // voice token -> external realm id
    QMap<QString, QString> m_sharedAccounts; // account handle -> external realm id
    SdkRequestClient *m_requestClient = nullptr;
    QString m_transmittingChannel;
    bool m_captureTestRunning = false;
    bool m_renderTestRunning = false;
    double m_microphoneEnergy = 0;
    double m_speakerEnergy = 0;
    int m_microphoneVolume = 50;
    int m_speakerVolume = 50;
    bool m_microphoneActive = false;
    bool m_speakerActive = false;
    double m_noiseFloor = 0;
    double m_speechThreshold = 0.5;
    double m_maxNoiseFloor = 1.0;
};
