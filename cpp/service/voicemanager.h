#pragma once

#include <QMap>
#include <QObject>
#include <QString>

#include "ostrelsdk.h"

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
    Q_PROPERTY(QString transmittingChannel READ transmittingChannel NOTIFY transmittingChannelChanged)
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
    int getDefaultVadSensitivity() const { return m_defaultVadSensitivity; }
    int getDefaultVadNoiseFloor() const { return m_defaultVadNoiseFloor; }
    int getDefaultMicLevel() const { return m_defaultMicLevel; }
    int getDefaultSpeakerLevel() const { return m_defaultSpeakerLevel; }
    QString transmittingChannel() const { return m_transmittingChannel; }
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
    void stopTimer(int &timerId, bool resetRetryCount);

    // Dispatch of one SDK message; frees it before returning.
    void processMessage(ox_message_base_t *message);
    void processResponse(ox_resp_base_t *response);
    void processEvent(ox_evt_base_t *event);
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
    int m_retryTimer = 0;
    int m_storedVadSensitivity = 0;
    double m_storedVadHangoverSeconds = 0;
    int m_storedVadNoiseFloor = 0;
    int m_defaultVadSensitivity = 0;
    int m_defaultVadNoiseFloor = 0;
    int m_defaultMicLevel = 0;
    int m_defaultSpeakerLevel = 0;
    QString m_pendingLoginToken;
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
