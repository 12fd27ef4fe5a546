#pragma once

#include <QAbstractNativeEventFilter>
#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTranslator>
#include <QUrl>
#include <QVariant>

#include "qtsingleapplication.h"

#include "identityrealminterface.h"
#include "localuser.h"
#include "tavriidentityrealmuser.h"

class QAction;
class QMenu;
class QQmlContext;
class QQmlEngine;
class QQuickView;
class AudioCuesManager;
class CallSessionStats;
class IdentityRealmManager;
class QSocialManager;
class StyleManager;
class SystemTrayIcon;
class VoiceManager;

// TavriApplication: the application object and the program's spine.
//
// initialize() creates every service in a fixed order and wires their
// signals to the application and to each other; the destructor undoes the
// wiring and deletes the services in another fixed order. One instance per
// process (instance()); a second process started for the same user hands its
// arguments to the first one (see realmain) and never initializes.
//
// Many slots below are the application's ends of the start-up wiring; where
// the handling itself is not built yet they log the event and do nothing else.
class TavriApplication : public QtSingleApplication, public QAbstractNativeEventFilter
{
    Q_OBJECT
    Q_PROPERTY(QString version READ version NOTIFY currentVersionChanged)
    Q_PROPERTY(QString applicationDirPath READ applicationDirPath CONSTANT)

public:
    // The fields of a "-svc" value: requester id, requester token, input
    // pipe, output pipe and the optional client library version.
    struct SharedRealmRequest
    {
        QString requesterId;
        QString token;
        QString inputPipe;
        QString outputPipe;
        QString clientLibVersion;
        // False when fewer than four fields were given (then all are empty).
        bool complete = false;
    };

    TavriApplication(const QString &appId, int &argc, char **argv);
    ~TavriApplication() override;

    // The application object while it is initialized, else null.
    static TavriApplication *instance();

    // The start-up sequence; called once, when no other instance runs.
    void initialize(int &argc, char **argv);

    // --- pure helpers of the start-up, public for their tests ---
    // The number after the first "=" (the whole text without one); 0 when
    // that is not a number.
    static int parseLogLevel(const QString &argument);
    // Splits a "-svc" value (the text after "-svc") at ":"; fields beyond the
    // fifth are ignored.
    static SharedRealmRequest parseSharedRealmArgument(const QString &value);
    // The argument with the requester token of a "-svc" value replaced by
    // "<hidden>", for log lines; other arguments unchanged.
    static QString hideSecrets(const QString &argument);
    // A "<!>"-joined single-instance message, each part passed through
    // hideSecrets.
    static QString hideSecretsInMessage(const QString &message);
    // The program's folder: executableDir with the first "/release" and then
    // the first "/debug" removed.
    static QString programFolder(const QString &executableDir);

    int ostrelLogLevel() const { return m_ostrelLogLevel; }
    int tavriLogLevel() const { return m_tavriLogLevel; }
    bool showUi() const { return m_showUi; }
    QStringList startupLinks() const { return m_startupLinks; }
    QString applicationDirPath() const { return m_applicationDirPath; }
    QString chatLogDirectory() const { return m_chatLogDirectory; }
    QString version() const { return applicationVersion(); }
    int networkCheckTimer() const { return m_networkCheckTimer; }

    VoiceManager *voiceManager() const { return m_voiceManager; }
    QSocialManager *socialManager() const { return m_socialManager; }
    AudioCuesManager *audioCuesManager() const { return m_audioCuesManager; }
    CallSessionStats *callStats() const { return m_callStats; }
    IdentityRealmManager *identityRealmManager() const { return m_identityRealmManager; }
    QQmlEngine *qmlEngine() const { return m_qmlEngine; }
    StyleManager *styleManager() const { return m_styleManager; }
    QQuickView *loginPrompt() const { return m_loginPrompt; }

    // The installer of the log handler and of the chat-log folder.
    void setupLogging();

    // Sends one usage event to the web service's event log; dropped while
    // there is no web service client.
    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QMap<QString, QString> &params);
    // Each entry "key:value" (split at the first ":"; a later key wins).
    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QStringList &params);

    // Loads the program's translations for locale (the stored or the
    // system's one when empty) from the program's folder.
    Q_INVOKABLE void initializeLocalization(const QString &locale = QString());
    Q_INVOKABLE void showLoginPrompt(bool hideMainFrame = false, bool forceActivate = false);
    Q_INVOKABLE void hideAllFrames();
    // Minimizes every loaded window that is shown and not minimized yet.
    Q_INVOKABLE void minimizeAllFrames();
    // True when an image loads from the file.
    Q_INVOKABLE bool isImageValid(const QUrl &fileName) const;

    // Never consumes an event.
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

signals:
    void currentVersionChanged(QString version);
    void languageChanged();
    void hideFramesRequested();
    void minimizeFramesRequested();
    void exiting();

public slots:
    void onAppExit();
    void onShowForegroundWindow();
    void onProtocolMessageReceived(const QString &sMessage);
    void trackOnSettingChanged(const QString &key, const QVariant &value);
    void onLoggedIn();
    void onLoggedOut(const QString &reason);

protected slots:
    void onNewInstall();
    void onCreateAccountFailed(const QString &message);
    void onCreateAccountSucceeded();
    void onCheckUsernameResponse(const QString &response);
    void onLoginStateChanged(LocalUser::LoginState loginState, const QString &reason);
    void onVoiceLoggedIn();
    void onLocalUserNotificationReceived(const QString &notificationUID, const QString &message);
    void onLocalUserPresenceStateChanged(TavriIdentityRealmUser::PresenceState presenceState);
    void onChannelFavoriteChanged(const QString &channelURI, bool wasAdded);
    void onAddChannelFailed();
    void onEditChannelFailed();
    void onChannelConnectionTimeout(const QString &channelURI);
    void onMaximumCallsExceeded(const QString &channelURI);
    void onCannotAddEchoToSession();
    void onFileNotFoundForPlayback(const QString &filename);
    void onVoiceDataBlocked();
    void onUpdateAvailable(const QString &updateVersion, const QString &updateLink, const QString &updateMessage);
    void onNoUpdateAvailable();
    void onVoiceManagerTransmittingChannelChanged(const QString &transmittingChannel);
    void onVoiceManagerCaptureTestRunningChanged(bool running);
    void onVoiceManagerRenderTestRunningChanged(bool running);
    void onAuxAudioPropertiesReceived(bool micIsActive, int micVolume, qreal micEnergy, bool speakerIsActive,
                                      int speakerVolume, qreal speakerEnergy);
    void onConnectorCreateFailed(const QString &reason);
    void onConnectorCreated();
    void onSdkError(int statusCode, const QString &message, const QString &statusString);
    void onChannelNotFound(const QString &channelURI);
    void onMediaStreamUpdated(const QString &sessionHandle, bool incoming, int state, const QString &uri);
    void onSessionRemoved(const QString &sessionURI, const QString &sessionHandle);
    void onAudioDeviceProblem(int problem);
    void onVoiceLoggedOut(const QString &reason);
    void onCouldNotConnectToServer();
    void onRtpTimeout(const QString &sessionURI);
    void onTonesManagerVoiceChanged(const QString &voiceName);
    void onChatColorsChanged(QList<QColor> chatColors);
    void onInviteUsersResponses(const QMap<QString, QStringList> &responsesByStatus);
    void onConversationParticipantAdded(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                        const QString &participantUUID);
    void onConversationParticipantRemoved(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                          const QString &participantUUID,
                                          Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                          const QString &reason);
    void onExternalAppRelease(const QString &realmName);
    void onConversationDisconnected(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                    const QString &reason);
    void onConversationTextMessageReceived(Tavri::IdentityRealmInterface *identityRealm,
                                           const QString &conversationID, const QString &senderUUID,
                                           const QString &receiverUUID, const QString &messageText,
                                           const QDateTime &sentAt);

protected:
    // Hands a "-svc" request to the external-application realm manager.
    // Returns false when no realm came of it.
    virtual bool requestSharedRealm(const QString &requesterId, const QString &token, const QString &outputPipe,
                                    const QString &inputPipe, const QString &clientLibVersion);
    // Whether the desktop has a system tray for the icon and its balloons;
    // tests that go through the tray answer true.
    virtual bool systemTrayAvailable() const;

private:
    // Connects signal to slot (SIGNAL()/SLOT() texts) and files the
    // connection under `group`, which the destructor undoes in its order.
    // A member that the sender or receiver does not have is logged and left
    // unconnected.
    void wire(QList<QMetaObject::Connection> &group, QObject *sender, const char *signal, QObject *receiver,
              const char *slot);
    static void disconnectAll(QList<QMetaObject::Connection> &group);
    void logSettings();
    void wireServices();
    void setupTray();
    void setupJumpList();
    void startHeadless(const QString &value);
    void setQmlRootContextProperties(QQmlContext *context);

    int m_ostrelLogLevel = 0;
    int m_tavriLogLevel = 0;
    QDir m_workingDirectory;
    QString m_applicationDirPath;
    QString m_chatLogDirectory;
    QMenu *m_menu = nullptr;
    SystemTrayIcon *m_trayIcon = nullptr;
    QAction *m_showAsOnlineAction = nullptr;
    QAction *m_showAsAwayAction = nullptr;
    bool m_showUi = true;
    QHash<int, QString> m_timers;
    QStringList m_startupLinks;
    // The "-svc" value given at start (the text after "-svc").
    QString m_headlessArgument;
    bool m_reconnecting = false;
    VoiceManager *m_voiceManager = nullptr;
    QSocialManager *m_socialManager = nullptr;
    AudioCuesManager *m_audioCuesManager = nullptr;
    IdentityRealmManager *m_identityRealmManager = nullptr;
    LocalUser *m_localUser = nullptr;
    QQuickView *m_loginPrompt = nullptr;
    QQuickView *m_mainFrame = nullptr;
    QQmlEngine *m_qmlEngine = nullptr;
    StyleManager *m_styleManager = nullptr;
    int m_networkCheckTimer = 0;
    int m_loginWatchdogTimer = 0;
    int m_geometrySaveTimer = 0;
    CallSessionStats *m_callStats = nullptr;
    QTranslator m_translator;
    bool m_translatorInstalled = false;

    // The start-up wiring, by the service it belongs to.
    QList<QMetaObject::Connection> m_protocolConnections;
    QList<QMetaObject::Connection> m_callStatsConnections;
    QList<QMetaObject::Connection> m_localUserConnections;
    QList<QMetaObject::Connection> m_socialConnections;
    QList<QMetaObject::Connection> m_voiceConnections;
    QList<QMetaObject::Connection> m_storageConnections;
    QList<QMetaObject::Connection> m_realmManagerConnections;
    QList<QMetaObject::Connection> m_otherConnections;
};
