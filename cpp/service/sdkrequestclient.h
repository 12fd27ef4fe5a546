#pragma once

#include <QByteArray>
#include <QList>

// Builds one voice SDK request per operation: creates the SDK's record of the
// request type, fills its fields (texts as copies made with ox_strdup, which
// the SDK owns and frees), stamps it with the next cookie and issues it. The
// SDK owns every record from ox_issue_request on, whatever the result; the
// answer comes back later as a response carrying the same record.
//
// Owned and used by VoiceManager on the main thread only. The cookie counter
// starts at 1000 and is incremented before use, so the first request of a run
// carries "1001"; it is never reset, so cookies are unique within a run.
class SdkRequestClient
{
public:
    SdkRequestClient() = default;
    SdkRequestClient(const SdkRequestClient &) = delete;
    SdkRequestClient &operator=(const SdkRequestClient &) = delete;

    // The log level passed with connector creation.
    void setConnectorLogLevel(int level) { m_connectorLogLevel = level; }
    int connectorLogLevel() const { return m_connectorLogLevel; }

    // The next cookie as decimal text.
    QByteArray nextCookie();

    // Connector.
    void connectorCreate(const QByteArray &address, const QByteArray &clientTag, int minimumPort, int maximumPort,
                         const QByteArray &logFolder);
    void connectorInitiateShutdown(const QByteArray &connectorHandle);
    void connectorMuteLocalMic(bool mute);

    // Account.
    void accountAuthtokenLogin(const QByteArray &connectorHandle, const QByteArray &token);
    void accountLogout(const QByteArray &accountHandle);
    void accountListBuddiesAndGroups(const QByteArray &accountHandle);
    void accountBuddySet(const QByteArray &accountHandle, const QByteArray &buddyUri, const QByteArray &message);
    void accountBuddyDelete(const QByteArray &accountHandle, const QByteArray &buddyUri);
    void accountSetPresence(const QByteArray &accountHandle, int presence, const QByteArray &customMessage);
    void accountSendUserAppData(const QByteArray &accountHandle, const QByteArray &toUri, const QByteArray &content);

    // Channel administration.
    void accountChannelAddAcl(const QByteArray &accountHandle, const QByteArray &channelUri, const QByteArray &userUri);
    void accountChannelRemoveAcl(const QByteArray &accountHandle, const QByteArray &channelUri,
                                 const QByteArray &userUri);
    // Not issued when either text is empty.
    void accountChannelGetAcl(const QByteArray &accountHandle, const QByteArray &channelUri);
    void accountChannelAddModerator(const QByteArray &accountHandle, const QByteArray &channelUri,
                                    const QByteArray &userUri);
    void accountChannelRemoveModerator(const QByteArray &accountHandle, const QByteArray &channelUri,
                                       const QByteArray &userUri);
    void accountChannelGetModerators(const QByteArray &accountHandle, const QByteArray &channelUri);
    void accountChannelGetParticipants(const QByteArray &accountHandle, const QByteArray &channelUri, int page,
                                       int pageSize);
    void channelBanUser(const QByteArray &accountHandle, const QByteArray &channelUri, const QByteArray &userUri,
                        bool ban);
    void channelGetBannedUsers(const QByteArray &accountHandle, const QByteArray &channelUri);
    void channelKickUser(const QByteArray &accountHandle, const QByteArray &channelUri, const QByteArray &userUri);
    void channelMuteUser(const QByteArray &accountHandle, const QByteArray &channelUri, const QByteArray &userUri,
                         bool mute, int scope);

    // Session groups and sessions.
    // Returns the cookie of the request, so that the caller can match its answer.
    QByteArray sessionGroupCreate(const QByteArray &accountHandle, bool privateGroup);
    void sessionGroupTerminate(const QByteArray &sessionGroupHandle);
    // The voice font is set only when greater than 0.
    void sessionGroupAddSession(const QByteArray &sessionGroupHandle, const QByteArray &uri, const QByteArray &password,
                                bool connectAudio, bool connectText, int voiceFont);
    void sessionGroupSetTxSession(const QByteArray &sessionHandle, const QByteArray &sessionGroupHandle);
    void sessionGroupGetStats(const QByteArray &sessionGroupHandle);
    void sessionTerminate(const QByteArray &sessionHandle);
    // The voice font is set only when greater than 0.
    void sessionMediaConnect(const QByteArray &sessionHandle, int voiceFont);
    void sessionMediaDisconnect(const QByteArray &sessionHandle);
    // Returns the cookie of the request, so that the caller can match its answer.
    QByteArray sessionSendMessage(const QByteArray &sessionHandle, const QByteArray &message);
    // State 1, 2 or 3 is sent; 0 leaves the SDK's default (not typing).
    void sessionSendNotification(const QByteArray &sessionHandle, int state);
    void sessionMuteLocalSpeaker(const QByteArray &sessionHandle, bool mute);
    void sessionSetParticipantMuteForMe(const QByteArray &sessionHandle, const QByteArray &participantUri, bool mute,
                                        int scope);
    void sessionSetParticipantVolumeForMe(const QByteArray &sessionHandle, const QByteArray &participantUri,
                                          int volume);

    // Local audio.
    void auxGetCaptureDevices();
    void auxGetRenderDevices();
    void auxSetCaptureDevice(const QByteArray &deviceId);
    void auxSetRenderDevice(const QByteArray &deviceId);
    void auxSetMicLevel(int level);
    void auxSetSpeakerLevel(int level);
    void auxCaptureAudioStart(bool loopToRender);
    void auxCaptureAudioStop();
    void auxRenderAudioStart(const QByteArray &soundFilePath, bool loop);
    void auxRenderAudioStop();
    void auxGetVadProperties();
    void auxSetVadProperties(int hangoverMs, int sensitivity, int noiseFloor);
    // Sends each distinct code once, in ascending order.
    void auxGlobalMonitorKeyboardMouse(const QByteArray &bindingName, const QList<int> &keyCodes);

private:
    template <typename Record, typename Fill>
    QByteArray issue(int (*create)(Record **), const char *typeName, Fill fill);

    int m_connectorLogLevel = 0;
    int m_cookie = 1000;
};
