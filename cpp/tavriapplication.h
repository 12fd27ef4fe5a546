#pragma once

#include <QAbstractNativeEventFilter>
#include <QColor>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMetaObject>
#include <QNetworkReply>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QTranslator>
#include <QUrl>
#include <QVariant>
#include <QWindow>

#include "qtsingleapplication.h"

#include "callsessionstats.h"
#include "capturedevicemodel.h"
#include "identityrealminterface.h"
#include "localuser.h"
#include "renderdevicemodel.h"
#include "systeminfo.h"
#include "tavriidentityrealmuser.h"

class QAction;
class QMenu;
class QQmlContext;
class QQmlEngine;
class QQuickCloseEvent;
class QQuickView;
class AudioCuesManager;
class CFindUsers;
class CFindUsersForFriendsDialog;
class Conversation;
class IdentityRealmManager;
class QSocialManager;
class StyleManager;
class SystemTrayIcon;
class TavriFilePicker;
class VirtualKeyCaptureWindow;
class VoiceManager;

// TavriApplication: the application object and the program's spine.
//
// initialize() creates every service in a fixed order and wires their
// signals to the application and to each other; the destructor undoes the
// wiring and deletes the services in another fixed order. One instance per
// process (instance()); a second process started for the same user hands its
// arguments to the first one (see realmain) and never initializes.
//
// Many slots below are the application's ends of the start-up wiring: they
// act on the services' signals for the windows, the tray and the other
// services.
class TavriApplication : public QtSingleApplication, public QAbstractNativeEventFilter
{
    Q_OBJECT
    // The QML interface: what QML reaches of the application through the
    // context property "mainApp", and nothing more.
    Q_PROPERTY(QString languageUpdatedString READ languageUpdatedString NOTIFY languageChanged)
    Q_PROPERTY(QString version READ version WRITE setVersion NOTIFY currentVersionChanged)
    Q_PROPERTY(LocalUser *localUser READ localUser)
    Q_PROPERTY(QString applicationDirPath READ applicationDirPath CONSTANT)
    Q_PROPERTY(QString imageDirPath READ imageDirPath)
    Q_PROPERTY(QString soundsDirPath READ soundsDirPath)
    Q_PROPERTY(QString availableUpdateVersion READ availableUpdateVersion NOTIFY availableUpdateVersionChanged)
    Q_PROPERTY(QString availableUpdateMessage READ availableUpdateMessage NOTIFY availableUpdateMessageChanged)
    Q_PROPERTY(QString availableUpdateLink READ availableUpdateLink NOTIFY availableUpdateLinkChanged)
    Q_PROPERTY(RenderDeviceModel *renderDevices READ getRenderDevices)
    Q_PROPERTY(CaptureDeviceModel *captureDevices READ getCaptureDevices)
    Q_PROPERTY(QString transmittingChannel READ transmittingChannel NOTIFY transmittingChannelChanged)
    Q_PROPERTY(QString echoChannel READ echoChannel CONSTANT)
    Q_PROPERTY(bool captureTestRunning READ captureTestRunning NOTIFY captureTestRunningChanged)
    Q_PROPERTY(bool renderTestRunning READ renderTestRunning NOTIFY renderTestRunningChanged)
    Q_PROPERTY(int qualityConnectionBars READ qualityConnectionBars NOTIFY qualityConnectionBarsChanged)
    Q_PROPERTY(bool micIsActive READ micIsActive NOTIFY micIsActiveChanged)
    Q_PROPERTY(int micVolume READ micVolume NOTIFY micVolumeChanged)
    Q_PROPERTY(double micEnergy READ micEnergy NOTIFY micEnergyChanged)
    Q_PROPERTY(bool speakerIsActive READ speakerIsActive NOTIFY speakerIsActiveChanged)
    Q_PROPERTY(int speakerVolume READ speakerVolume NOTIFY speakerVolumeChanged)
    Q_PROPERTY(double speakerEnergy READ speakerEnergy NOTIFY speakerEnergyChanged)
    Q_PROPERTY(QString connectorErrorMessage READ connectorErrorMessage NOTIFY connectorErrorMessageChanged)
    Q_PROPERTY(int pageId READ pageId WRITE setPageId NOTIFY pageIdChanged)
    Q_PROPERTY(SystemInfo *systemInfo READ systemInfo)
    Q_PROPERTY(CallSessionStats *callStats READ callStats CONSTANT)
    Q_PROPERTY(bool advancedAgc READ advancedAgc WRITE setAdvancedAgc)
    Q_PROPERTY(QStringList ttsVoices READ getAvailableTTSVoices CONSTANT)
    Q_PROPERTY(QString currentTTSVoice READ currentTTSVoice NOTIFY currentTTSVoiceChanged)
    Q_PROPERTY(QString logfileDirectory READ logfileDirectory CONSTANT)
    Q_PROPERTY(QStringList chatColors READ chatColors NOTIFY chatColorsChanged)
    // True while the program's icon shows in the desktop's tray: closing the
    // main frame hides it there; without one the frame is minimised instead.
    Q_PROPERTY(bool trayIconShown READ isTrayIconShown NOTIFY trayIconShownChanged)

public:
    // The fields of a "-svc" value: requester id, requester token, input
    // pipe, output pipe and the optional client library version.
    struct SharedRealmRequest {
        QString requesterId;
        QString token;
        QString inputPipe;
        QString outputPipe;
        QString clientLibVersion;
        // False when fewer than four fields were given (then all are empty).
        bool complete = false;
    };

    // The transient parent that showFrame gives a window.
    enum TransientParent { tpNone = 0, tpMainFrame = 1, tpFindUsers = 2 };
    Q_ENUM(TransientParent)

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
    // The arguments passed through hideSecrets; an argument that follows a
    // bare "-svc" is taken as its value and its token hidden as well.
    static QStringList hideSecretsInArguments(const QStringList &arguments);
    // A "<!>"-joined single-instance message with its parts passed through
    // hideSecretsInArguments, cut for the log (see cutForLog).
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
    void setVersion(const QString &version);
    int networkCheckTimer() const { return m_networkCheckTimer; }
    int loginWatchdogTimer() const { return m_loginWatchdogTimer; }
    int geometrySaveTimer() const { return m_geometrySaveTimer; }
    // The timer ids of the participant notices still waiting for a name.
    QList<int> pendingNoticeTimers() const { return m_timers.keys(); }

    // The network check (also run every 3000 ms): when the network is
    // available and a connector error is pending, the error is cleared and
    // the voice connector made again; networkStateChanged when availability
    // differs from the last check.
    void checkNetworkStatus();
    bool isNetworkAvailable() const { return m_networkIsAvailable; }

    // Property readers of the QML interface.
    // Always empty: QML appends it to translated texts so that they are
    // evaluated again on languageChanged.
    QString languageUpdatedString() const { return QString(); }
    bool isTrayIconShown() const;
    LocalUser *localUser();
    // The user's pictures folder (the writable pictures location), where
    // picture choosers start.
    QString imageDirPath() const;
    // The "sounds" folder in the program's folder: the folder the audio cues
    // manager plays its default cue files from, where sound choosers start.
    QString soundsDirPath() const;
    // The folder of the program's log files ("OstrelLogs" in the temporary
    // folder, shared with the voice SDK).
    QString logfileDirectory() const;
    QString availableUpdateVersion() const { return m_availableUpdateVersion; }
    QString availableUpdateMessage() const { return m_availableUpdateMessage; }
    QString availableUpdateLink() const { return m_availableUpdateLink; }
    QString transmittingChannel() const;
    // The voice service's echo-test channel.
    QString echoChannel() const;
    bool captureTestRunning() const;
    bool renderTestRunning() const;
    int qualityConnectionBars() const { return m_qualityConnectionBars; }
    bool micIsActive() const { return m_micIsActive; }
    int micVolume() const { return m_micVolume; }
    double micEnergy() const { return m_micEnergy; }
    bool speakerIsActive() const { return m_speakerIsActive; }
    int speakerVolume() const { return m_speakerVolume; }
    double speakerEnergy() const { return m_speakerEnergy; }
    QString connectorErrorMessage() const { return m_connectorErrorMessage; }
    int pageId() const { return m_pageId; }
    // Stores the number; pageIdChanged only when it differs.
    void setPageId(int pageId);
    // Made on first read and kept for the rest of the run.
    SystemInfo *systemInfo();
    bool advancedAgc() const;
    // Stores the choice and applies it to the voice service.
    void setAdvancedAgc(bool enabled);
    QString currentTTSVoice() const;
    QStringList chatColors() const;

    VoiceManager *voiceManager() const { return m_voiceManager; }
    QSocialManager *socialManager() const { return m_socialManager; }
    AudioCuesManager *audioCuesManager() const { return m_audioCuesManager; }
    CallSessionStats *callStats() const { return m_callStats; }
    IdentityRealmManager *identityRealmManager() const { return m_identityRealmManager; }
    QQmlEngine *qmlEngine() const { return m_qmlEngine; }
    StyleManager *styleManager() const { return m_styleManager; }
    QQuickView *loginPrompt() const { return m_loginPrompt; }
    QQuickView *mainFrame() const { return m_mainFrame; }
    QQuickView *aboutWindow() const { return m_aboutWindow; }
    QQuickView *reportIssueWindow() const { return m_reportIssueWindow; }
    QQuickView *inviteFriendsViaEmailWindow() const { return m_inviteFriendsViaEmailWindow; }
    QQuickView *editPresenceMessagesWindow() const { return m_editPresenceMessagesWindow; }
    QQuickView *hiddenWindow() const { return m_hiddenWindow; }
    QQuickView *postCallSurveyWindow() const { return m_postCallSurveyWindow; }
    QQuickView *networkBlockingVoiceWarningWindow() const { return m_networkBlockingVoiceWarningWindow; }
    QQuickView *tutorialWindow() const { return m_tutorialWindow; }
    QQuickView *chatLogWindow() const { return m_chatLogWindow; }
    VirtualKeyCaptureWindow *settingsWindow() const { return m_settingsWindow; }
    CFindUsers *findUsers() const { return m_findUsers; }
    // The friend search of the main frame, its "findInstance".
    CFindUsersForFriendsDialog *friendsDialog() const { return m_friendsDialog; }
    TavriFilePicker *filePicker() const { return m_filePicker; }

    // The context a window's QML is made in: a child of the shared engine's
    // root context, one per window (made on first need), holding the common
    // and the window's own context properties. Null for a null view.
    QQmlContext *windowContext(QQuickView *view);
    // Makes the view's QML from `url` in the view's window context and
    // shows it in the view; errors are logged.
    void loadWindowQml(QQuickView *view, const QUrl &url);

    // Registers the program's QML types (once per process; later calls do
    // nothing).
    static void registerQmlTypes();
    // True when an OpenGL context can be made and used on this display.
    static bool openGlAvailable();
    // Chooses the software scene graph when `canUseOpenGl` says no OpenGL
    // context can be made, so that windows open instead of the program
    // aborting; a backend chosen already (in the program or through
    // QT_QUICK_BACKEND) is kept. Call before the first window. Returns the
    // backend in force ("" = the default, OpenGL).
    static QString chooseSceneGraphBackend(bool (*canUseOpenGl)() = &TavriApplication::openGlAvailable);
    // The title of the chat-log window for a log file: "Chat log", then ": "
    // and the conversation's display name when one is given, then " " and
    // the local time the file name carries. Log files are named
    // "<folders>/<conversation>/<msecs>.txt" or "<conversation>_<msecs>.txt";
    // a name of neither shape carries no time.
    static QString chatLogTitle(const QString &filename, const QString &conversationName);
    // The moment a chat-log file name carries; invalid when it carries none.
    static QDateTime chatLogTime(const QString &filename);
    // The position a window of `size` takes when it is cascaded from `start`
    // inside `desktop` (a size; the desktop's origin is 0, 0): each axis
    // steps by 40 modulo the desktop's extent until the window fits, and
    // takes 0 when it never does.
    static QPoint cascadePosition(const QPoint &start, const QSize &size, const QSize &desktop);
    // The top-left corner of a frame of `size` placed at `position`, kept on
    // the desktop: negative coordinates become 0, an x beyond the virtual
    // desktop's width is pulled back so the right edge meets it, a y beyond
    // the available height likewise.
    static QPoint clampFramePosition(const QPoint &position, const QSize &size, int virtualWidth, int availableHeight);
    // The short name of a virtual key that push-to-talk names by its key
    // code (modifiers with their side, mouse buttons, Windows keys); empty
    // for every other key.
    static QString keyName(int virtualKey);
    // True for a valid http or https address with a host: the only links
    // from the web service that are handed to the desktop to open.
    static bool isWebLink(const QUrl &url);

    // The installer of the log handler and of the chat-log folder.
    void setupLogging();
    // After a crash of the previous run (the voice SDK knows of a crash
    // dump), adds that run's log to the newest crash report. Start-up calls
    // it once the voice service is made.
    void attachLogToCrashReport();

    // --- invokables of the QML interface, in their published order ---
    Q_INVOKABLE void createAccount(const QString &username, const QString &email, const QString &password);
    Q_INVOKABLE void checkUsernameAvailability(const QString &username);
    Q_INVOKABLE void checkForUpdates();
    // Asks the local user to log in and starts the 30 s login watchdog.
    Q_INVOKABLE void requestLogin(const QString &username, const QString &password);
    // Logs the given local user (the singleton when null) out.
    Q_INVOKABLE void requestLogout(LocalUser *localUser = nullptr);
    // True when an image loads from the file.
    Q_INVOKABLE bool isImageValid(const QUrl &fileName) const;
    // Sends one usage event to the web service's event log; dropped while
    // there is no web service client.
    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QMap<QString, QString> &params);
    // Each entry "key:value" (split at the first ":"; a later key wins).
    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QStringList &params);
    Q_INVOKABLE void showLoginPrompt(bool hideMainFrame = false, bool forceActivate = false);
    Q_INVOKABLE void showMainFrame(bool bringToFront = false);
    Q_INVOKABLE void showFindUsers(int mode = 0, Conversation *channel = nullptr, int inviteMethod = 0,
                                   const QString &realmID = QString(), const QString &userUUID = QString());
    Q_INVOKABLE void showGeneralSettings(int page_id);
    Q_INVOKABLE void showAbout();
    Q_INVOKABLE void showCreateChannel(const QString &parentURI = QString());
    Q_INVOKABLE void showReportIssue(const QString &reason = QString());
    Q_INVOKABLE void hideAllFrames();
    // Minimizes every loaded window that is shown and not minimized yet.
    Q_INVOKABLE void minimizeAllFrames();
    Q_INVOKABLE void showInviteFriendsViaEmail(Conversation *channel = nullptr);
    // Puts the channel's web link on the clipboard at once, then its short
    // form when the link shortener answers. Only while signed in.
    Q_INVOKABLE void copyChannelLinkToClipboard(Conversation *conversation);
    Q_INVOKABLE void copyTextToClipboard(const QString &text);
    Q_INVOKABLE void showEditPresenceMessages();
    Q_INVOKABLE QStringList getAvailableTTSVoices() const;
    Q_INVOKABLE void setTTSVoice(const QString &voiceDisplayName);
    Q_INVOKABLE QStringList getAvailableStyles() const;
    Q_INVOKABLE QString getCurrentStyleName() const;
    // Stores the name as the skin when the style manager accepts it.
    Q_INVOKABLE void setStyle(const QString &styleName);
    Q_INVOKABLE RenderDeviceModel *getRenderDevices() const;
    Q_INVOKABLE CaptureDeviceModel *getCaptureDevices() const;
    Q_INVOKABLE void setCaptureDeviceByIndex(int index);
    Q_INVOKABLE void setRenderDeviceByIndex(int index);
    Q_INVOKABLE void setAecEnabled(bool value);
    Q_INVOKABLE void setAgcEnabled(bool value);
    Q_INVOKABLE void setVadEnabled(bool value);
    // The readable name of a push-to-talk combination, such as
    // "LCtrl+Shift+F5": at most the first four keys, each by its virtual key
    // (keyName) or, failing that, by its Qt key.
    Q_INVOKABLE QString getKeySequenceString(QList<int> qtKeyCodes, QList<int> nativeVKeyCodes);
    // The text of a key combination: the names of mouse buttons and modifiers
    // by virtual-key code ("LCtrl"), then the other keys as a portable key
    // sequence, joined by "+"; at most four keys.
    static QString keySequenceText(const QList<int> &qtKeyCodes, const QList<int> &nativeVKeyCodes);
    Q_INVOKABLE void setTtsVolume(ushort volume);
    Q_INVOKABLE ushort getTtsVolume();
    Q_INVOKABLE void stopTts();
    Q_INVOKABLE void renderFileToSpeaker(const QString &filename);
    Q_INVOKABLE void startCaptureTest(bool forHeadphones);
    Q_INVOKABLE void stopCaptureTest();
    Q_INVOKABLE void startRenderTest();
    Q_INVOKABLE void stopRenderTest();
    Q_INVOKABLE int getDefaultVadSensitivity();
    Q_INVOKABLE int getDefaultVadNoiseFloor();
    Q_INVOKABLE int getDefaultMicLevel();
    Q_INVOKABLE int getDefaultSpeakerLevel();
    Q_INVOKABLE QString capitalizeFirstLetter(const QString &text);
    Q_INVOKABLE void activateParentById(int nParentWindowId);
    Q_INVOKABLE void requestJoinConversation(const QString &sipURI);
    Q_INVOKABLE void requestJoinConversation(const QString &realmID, const QString &conversationID);
    Q_INVOKABLE void showUserProfileByURI(const QString &userURI);
    // The call statistics as comma-separated text: a header line of the
    // role names, then one line per sample.
    Q_INVOKABLE void copyCallStatsToClipboard();
    Q_INVOKABLE void clearCallStats();
    Q_INVOKABLE void requestConnectionQualityStatsUpdate();
    Q_INVOKABLE int getMousePositionX();
    Q_INVOKABLE int getMousePositionY();
    Q_INVOKABLE Qt::CursorShape setCursorShape(Qt::CursorShape cursorShape);
    Q_INVOKABLE void restoreCursorShape();
    Q_INVOKABLE void showAlert(const QString &alertMessage);
    Q_INVOKABLE void showHiddenWindow();
    Q_INVOKABLE void forceCrash();
    Q_INVOKABLE void showPostCallSurvey();
    Q_INVOKABLE void showChatLog(const QString &filename, const QString &title = QString());
    // The file's whole text (UTF-8), linkified when showLinks; empty, with
    // one log line, when it cannot be read.
    Q_INVOKABLE QString readFileContents(const QString &filename, bool showLinks = false);
    Q_INVOKABLE void showRealmUserProfile(const QString &realmID, const QString &userUUID);
    Q_INVOKABLE void requestConversation(const QString &sipURI);
    Q_INVOKABLE void requestConversation(const QString &realmID, const QString &userUUID);
    Q_INVOKABLE void leaveAllVoiceConversations();
    Q_INVOKABLE bool isTavriInAccessList();
    // Loads the program's translations for locale (the stored or the
    // system's one when empty) from the program's folder.
    Q_INVOKABLE void initializeLocalization(const QString &locale = QString());
    // The HTML text with every occurrence of the term (case-insensitive,
    // taken literally) in red; tag markup and the text right before a
    // closing tag stay as they are.
    Q_INVOKABLE QString decorate(const QString &text, const QString &highlight);
    // The chat-log files of the private chat with a user of the built-in
    // realm; empty for any other realm or an unknown user.
    Q_INVOKABLE QVariantList getChatLogFileList(const QString &realmID, const QString &userUUID);

    // Handles the oldest queued "tavri:" link, at most one per call, and
    // only while the local user is logged in (the link waits otherwise).
    // Call it at each voice login: note that the local user turns LoggedIn
    // in its own slot of voiceLoggedIn, which runs after the application's,
    // so a call from that slot has to be posted (queued) to see the login.
    // A call re-entered through a nested event loop is put off until the
    // running one ends.
    void handleTavriLinkRequest();

    // Power broadcasts to the main frame's window: suspend stops the idle
    // detection; suspend, resume and every other power event are tracked.
    // Never consumes an event.
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

signals:
    void currentVersionChanged(QString version);
    void availableUpdateVersionChanged(QString version);
    void availableUpdateMessageChanged(QString message);
    void availableUpdateLinkChanged(QString link);
    void noUpdateAvailable();
    void networkStateChanged(bool networkIsAvailable);
    void effectiveRenderDeviceNameChanged(QString deviceName);
    void effectiveCaptureDeviceNameChanged(QString deviceName);
    void renderDeviceNameChanged(QString deviceName);
    void captureDeviceNameChanged(QString deviceName);
    void transmittingChannelChanged(QString transmittingChannel);
    void echoChannelChanged(QString echoChannel);
    void renderDeviceIndexChanged(int index);
    void captureDeviceIndexChanged(int index);
    void captureTestRunningChanged(bool value);
    void renderTestRunningChanged(bool value);
    void qualityConnectionBarsChanged(int qualityConnectionBars);
    void packetsReceivedChanged(int packetsReceived);
    void packetsLostChanged(int packetsLost);
    void packetsDiscardedChanged(int packetsDiscarded);
    void packetsSentChanged(int packetsSent);
    void micIsActiveChanged(bool micIsActive);
    void micVolumeChanged(int micVolume);
    void micEnergyChanged(double micEnergy);
    void speakerIsActiveChanged(bool speakerIsActive);
    void speakerVolumeChanged(int speakerVolume);
    void speakerEnergyChanged(double speakerEnergy);
    void connectorErrorMessageChanged(QString connectorErrorMessage);
    void pageIdChanged(int pageIdChanged);
    void currentTTSVoiceChanged(QString voiceName);
    void inviteUsersResponses(QStringList responsesByStatus);
    void languageChanged();
    void trayIconShownChanged();
    void hideFramesRequested();
    void minimizeFramesRequested();
    void chatColorsChanged(QStringList chatColors);
    void exiting();

public slots:
    void onLoggedIn();
    void onLoggedOut(const QString &reason);
    void onReconnecting(const QString &reason);
    void onRequestSpeakText(const QString &text, bool immediate);
    void onAppExit();
    void onShowForegroundWindow();
    void onProtocolMessageReceived(const QString &sMessage);
    void trackOnSettingChanged(const QString &key, const QVariant &value);
    // Alternates the running style between "Unstyled" and "Default",
    // starting with "Unstyled"; the stored skin is left as it is.
    void toggleStyle();
    void showTutorial();
    void closeTutorial();
    // Places a newly opened window beside the main frame.
    void cascadeWindow(QWindow *window);
    // Sets the transient parent, centres the frame when asked, keeps it on
    // the desktop, shows it and, when raiseWindow, brings it to the front.
    void showFrame(QQuickView &frame, TransientParent eTransientParent = tpNone, bool centered = false,
                   bool raiseWindow = false);
    // Sets the context properties that every window's root context carries.
    void setQmlRootContextProperties(QQmlContext *context);

protected slots:
    void onNewInstall();
    // Tells the user once that a damaged database was kept aside.
    void onStorageDatabaseSetAside(const QString &asidePath);
    void onCreateAccountFailed(const QString &message);
    void onCreateAccountSucceeded();
    void onCheckUsernameResponse(const QString &response);
    void onLoginStateChanged(LocalUser::LoginState loginState, const QString &reason);
    void onLoginScreenClosing(QQuickCloseEvent *close);
    void onMainScreenClosing(QQuickCloseEvent *close);
    void onMainScreenVisibilityChanged(QWindow::Visibility visibility);
    void onMainScreenVisibleChanged(bool visible);
    void onMainScreenPositionXChanged(int x);
    void onMainScreenPositionYChanged(int y);
    void onMainScreenWidthChanged(int width);
    void onAudioSettingsScreenClosing(QQuickCloseEvent *close);
    void onReportIssueClosing(QQuickCloseEvent *close);
    void onInviteFriendsViaEmailClosing(QQuickCloseEvent *close);
    void onSystrayActivated(QSystemTrayIcon::ActivationReason reason);
    void onVoiceLoggedIn();
    // A notification balloon for the signed-in user; a click on one with an
    // argument (a channel address) joins that channel.
    void onLocalUserNotificationReceived(const QString &message, const QString &argument);
    void onSystemTrayInviteMessageClicked(const QString &uri);
    void onSystemTrayMessageClicked();
    void onSystemTrayPrivateMessageClicked(const QString &uri);
    void onSystemTrayChannelMessageClicked(const QString &uri);
    void onSystemTrayConversationMessageClicked(const QString &realmID_conversationID);
    void onSystemTrayUpdateAvailableMessageClicked(const QString &param);
    void onLocalUserPresenceStateChanged(TavriIdentityRealmUser::PresenceState presenceState);
    void onChannelFavoriteChanged(const QString &channelURI, bool wasAdded);
    void onAddChannelFailed();
    void onEditChannelFailed();
    void onChannelConnectionTimeout(const QString &channelURI);
    void onMaximumCallsExceeded(const QString &channelURI);
    void onCannotAddEchoToSession();
    void onFileNotFoundForPlayback(const QString &filename);
    void onVoiceDataBlocked();
    void onVoiceDataBlockedWarningWindowClosing(QQuickCloseEvent *close);
    void onTutorialScreenClosing(QQuickCloseEvent *close);
    void onUpdateAvailable(const QString &updateVersion, const QString &updateLink, const QString &updateMessage);
    void onNoUpdateAvailable();
    void onCreateAccountNetworkError(QNetworkReply::NetworkError error);
    void onVoiceManagerEffectiveRenderDeviceNameChanged(const QString &deviceName);
    void onVoiceManagerEffectiveCaptureDeviceNameChanged(const QString &deviceName);
    void onVoiceManagerRenderDeviceNameChanged(const QString &deviceName);
    void onVoiceManagerCaptureDeviceNameChanged(const QString &deviceName);
    void onVoiceManagerRenderDeviceIndexChanged(int index);
    void onVoiceManagerCaptureDeviceIndexChanged(int index);
    void onVoiceManagerTransmittingChannelChanged(const QString &transmittingChannel);
    void onVoiceManagerNetworkStateChanged(bool networkIsAvailable);
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
    void onLinkShortened(const QUrl &url);
    void onChatColorsChanged(QList<QColor> chatColors);
    void onInviteUsersResponses(const QMap<QString, QStringList> &responsesByStatus);
    void onConversationParticipantAdded(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                        const QString &participantUUID);
    void onConversationParticipantRemoved(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                          const QString &participantUUID,
                                          Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                          const QString &reason);
    void onConversationParticipantDisplayNameUpdated(const QString &displayName);
    void onExternalAppRelease(const QString &realmName);
    void onConversationDisconnected(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                    const QString &reason);
    void onConversationTextMessageReceived(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                           const QString &senderUUID, const QString &receiverUUID,
                                           const QString &messageText, const QDateTime &sentAt);

protected:
    void timerEvent(QTimerEvent *event) override;

    // Hands a "-svc" request to the external-application realm manager.
    // Returns false when no realm came of it.
    virtual bool requestSharedRealm(const QString &requesterId, const QString &token, const QString &outputPipe,
                                    const QString &inputPipe, const QString &clientLibVersion);
    // Whether the desktop has a system tray for the icon and its balloons;
    // tests that go through the tray answer true.
    virtual bool systemTrayAvailable() const;
    // Whether any network interface is up, valid and not a loopback one.
    virtual bool networkAvailable() const;
    // The clock of the balloon rate limit.
    virtual QDateTime currentDateTime() const;
    // Builds the tray menu and icon (when the desktop has a tray), replacing
    // the ones built before; the old ones are deleted later.
    void setupTray();

private:
    // The tests' view into the services that the start-up sequence makes,
    // for tests that hand the application services of their own.
    friend class TavriApplicationTest;

    // A participant notice waiting for the participant's display name,
    // filed under its timer id. The user is guarded: a realm may delete its
    // users (an external application went away) while a notice waits.
    struct PendingNotice {
        QPointer<QObject> user;
        // "%2 has joined %1" or "%2 has left %1", and the conversation's
        // name for %1; both arguments are filled in one pass, so a name
        // holding "%2" stays as written.
        QString text;
        QString conversationName;
        QMetaObject::Connection nameConnection;
        QMetaObject::Connection endConnection;
        // Notices are told in the order they were queued.
        quint64 sequence = 0;
    };

    // Connects sender's signal to receiver's member and files the connection
    // under `group`, which the destructor undoes in its order. Both ends are
    // member pointers, so a renamed signal or slot fails the build; an end
    // not yet made (a service absent in this run) is left unconnected.
    template <typename Sender, typename Signal, typename Receiver, typename Slot>
    static void link(QList<QMetaObject::Connection> &group, Sender *sender, Signal signal, Receiver *receiver,
                     Slot slot)
    {
        if (sender && receiver)
            group.append(QObject::connect(sender, signal, receiver, slot));
    }
    static void disconnectAll(QList<QMetaObject::Connection> &group);
    void logSettings();
    void wireServices();
    void setupJumpList();
    void clearJumpList();
    void startHeadless(const QString &value);
    // Asks every joined conversation of the local user to leave.
    void leaveAllJoinedConversations();
    // Appends a link to the queue that handleTavriLinkRequest takes from.
    void queueTavriLink(const QString &link);
    // Acts on one link (with or without its "tavri:").
    void handleTavriLink(QString link);
    // True when `uri` is a channel address ("sip:confctl-...") on `domain`.
    static bool isOwnChannelAddress(const QString &uri, const QString &domain);
    // A window's view, made on first need with the shared engine; its first
    // load gets the flags, the common context properties and "mainViewer".
    QQuickView *prepareView(QQuickView *&view, Qt::WindowFlags extraFlags = {});
    // True when the view still has to load its QML.
    static bool needsLoad(const QQuickView *view);
    void loadView(QQuickView *view, const QString &qmlFile);
    // Places a dialog centred over the main frame's screen and raises it.
    void showDialogFrame(QQuickView *view);
    void loadMainFrameGeometry();
    void connectMainFrame();
    void disconnectMainFrame();
    void restartGeometrySave();
    void saveMainFrameGeometry();
    void saveChatLogGeometry();
    void applyStoredSkin();
    // The notification balloon of a participant notice: the text with the
    // conversation's and the participant's names filled in.
    void showParticipantNotice(const QString &text, const QString &conversationName, const QString &userName);
    void onParticipantChange(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                             const QString &participantUUID, bool joined);
    // Ends a pending notice: its connections and its timer; the entry is
    // removed. Returns the entry.
    PendingNotice takePendingNotice(int timerId);
    void clearPendingNotices();
    // True when `uuid` is the signed-in user's own identity in the realm.
    bool isLocalIdentity(Tavri::IdentityRealmInterface *realm, const QString &uuid) const;
    // A popup setting, read with the default "true".
    static bool popupsEnabled(const QString &key);
    // The balloon rate limit shared by notification and chat balloons:
    // true, and the time taken, when more than 2000 ms have passed since the
    // last balloon.
    bool takeBalloonSlot();
    // The display name of the conversation of a voice session; the handle
    // itself when no conversation is known for it.
    QString sessionDisplayName(const QString &sessionHandle) const;
    // Selects the stored preferred device (when one is stored) and stores
    // its name again; returns the name.
    template <typename Model>
    QString applyPreferredDevice(Model *devices, const QString &key);
    // Every window view, null for those not made yet.
    QList<QQuickView *> allViews() const;
    // The display name of the conversation a chat-log file belongs to;
    // empty when it is not known.
    QString chatLogConversationName(const QString &filename) const;
    // The local user is signed in (LoggedIn); every other state counts as
    // signed out for the tray and balloon clicks.
    bool isLoggedIn();
    // A click on a chat or channel balloon: joins the built-in realm's
    // conversation of the URI, or shows the login window when signed out.
    void joinConversationFromBalloon(const QString &uri);
    // Invokes a function of the view's root item, when it has one.
    static void invokeRootFunction(QQuickView *view, const char *function);

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
    // The blocked-voice warning is tracked once a run.
    bool m_noRtpTracked = false;
    QHash<int, PendingNotice> m_timers;
    quint64 m_noticeSequence = 0;
    QStringList m_startupLinks;
    // handleTavriLinkRequest is running; a call re-entered meanwhile sets
    // m_linkHandlerRunAgain instead.
    bool m_linkHandlerBusy = false;
    bool m_linkHandlerRunAgain = false;
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
    VirtualKeyCaptureWindow *m_settingsWindow = nullptr;
    QQuickView *m_aboutWindow = nullptr;
    QQuickView *m_reportIssueWindow = nullptr;
    QQuickView *m_inviteFriendsViaEmailWindow = nullptr;
    QQuickView *m_editPresenceMessagesWindow = nullptr;
    QQuickView *m_hiddenWindow = nullptr;
    QQuickView *m_postCallSurveyWindow = nullptr;
    QQuickView *m_networkBlockingVoiceWarningWindow = nullptr;
    QQuickView *m_tutorialWindow = nullptr;
    QQuickView *m_chatLogWindow = nullptr;
    CFindUsers *m_findUsers = nullptr;
    CFindUsersForFriendsDialog *m_friendsDialog = nullptr;
    TavriFilePicker *m_filePicker = nullptr;
    SystemInfo *m_systemInfo = nullptr;
    QObject *m_style = nullptr;
    // Set once the first window has taken the style and the stored skin.
    bool m_styleSettled = false;
    // The main frame's connections while it is loaded (closing, x, y, width,
    // height, visibility, visible).
    QList<QMetaObject::Connection> m_mainFrameConnections;
    QQmlEngine *m_qmlEngine = nullptr;
    StyleManager *m_styleManager = nullptr;
    int m_networkCheckTimer = 0;
    int m_loginWatchdogTimer = 0;
    int m_geometrySaveTimer = 0;
    CallSessionStats *m_callStats = nullptr;
    QString m_availableUpdateVersion;
    QString m_availableUpdateMessage;
    QString m_availableUpdateLink;
    QString m_connectorErrorMessage;
    bool m_networkIsAvailable = false;
    // When the last notification or chat balloon was shown; invalid before
    // the first.
    QDateTime m_lastNotificationTime;
    // The post-call survey start number; 0 until the first login sets it.
    uint m_postCallSurveyStartNum = 0;
    int m_qualityConnectionBars = 0;
    bool m_micIsActive = false;
    int m_micVolume = 0;
    double m_micEnergy = 0.0;
    bool m_speakerIsActive = false;
    int m_speakerVolume = 0;
    double m_speakerEnergy = 0.0;
    int m_pageId = 0;
    bool m_unstyled = false;
    QCursor m_savedCursor;
    bool m_cursorOverridden = false;
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
