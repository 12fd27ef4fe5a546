#include "tavriapplication.h"

#include <QAction>
#include <QClipboard>
#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QMutex>
#include <QNetworkInterface>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStringListModel>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>
#include <QtQml>

#include <numeric>

#include "audiocuesmanager.h"
#include "callsessionstat.h"
#include "callsessionstats.h"
#include "cfindusers.h"
#include "cfindusersforfriendsdialog.h"
#include "contactgrouplist.h"
#include "contactlist.h"
#include "conversation.h"
#include "conversationlist.h"
#include "conversationmessagelist.h"
#include "conversationparticipant.h"
#include "conversationparticipantlist.h"
#include "crashlogattachment.h"
#include "dmisysteminfo.h"
#include "findchannels.h"
#include "identityrealmmanager.h"
#include "jumplist.h"
#include "linkify.h"
#include "linkshortener.h"
#include "logging.h"
#include "nativemessage.h"
#include "notification.h"
#include "notificationlist.h"
#include "ostrelsdk.h"
#include "realmidentitylist.h"
#include "recentconversation.h"
#include "recentconversations.h"
#include "reportassertionfailure.h"
#include "socialmanager.h"
#include "startupprobe.h"
#include "storagemanager.h"
#include "stylemanager.h"
#include "systemtrayicon.h"
#include "tavrifilepicker.h"
#include "tavriidentityrealm.h"
#include "tavrisharedidentityrealmmanager.h"
#include "version.h"
#include "viewunloader.h"
#include "virtualkeycapturewindow.h"
#include "voicemanager.h"
#include "windowstyle.h"

namespace {

TavriApplication *s_application = nullptr;

const char kOrganizationDomain[] = "tavri.net";
const char kShortLinkHost[] = "lnk.tavri.net";
const char kQmlFolder[] = "qrc:/QML/qml/tavri/";
const int kNetworkCheckIntervalMs = 3000;
const int kLoginWatchdogMs = 30000;
const int kGeometrySaveDelayMs = 500;
const int kMainFrameMinimumWidth = 325;
const int kMainFrameMinimumHeight = 600;
// A window this narrow or low (or less) is not a placement worth keeping.
const int kSmallestSavedExtent = 50;
const int kCascadeStep = 40;
// Balloons of the notification kind are shown at most once in this time.
const qint64 kBalloonIntervalMs = 2000;
const int kNotificationBalloonMs = 5000;
const int kInformationBalloonMs = 10000;
// A participant notice waits this long for the participant's name.
const int kJoinNoticeWaitMs = 2000;
const int kLeaveNoticeWaitMs = 1000;
// Links waiting for the sign-in; later ones are dropped.
const int kMaxQueuedLinks = 100;

// Warnings of the program's own QML files become "Error" events. The log
// handler may run on any thread; the event is sent from the GUI thread.
void reportQmlWarning(const QString &message)
{
    TavriApplication *app = TavriApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app, [app, message] { app->trackEvent(QStringLiteral("Error"), message, QStringList()); }, Qt::AutoConnection);
}

} // namespace

TavriApplication::TavriApplication(const QString &appId, int &argc, char **argv)
    : QtSingleApplication(appId, argc, argv)
    , m_workingDirectory(QString())
{
}

TavriApplication::~TavriApplication()
{
    qDebug() << "~TavriApplication() - begin";
    disconnectAll(m_protocolConnections);

    disconnectAll(m_mainFrameConnections);
    // The login window's close would otherwise reach onLoginScreenClosing
    // and run the exit a second time, from the destructor.
    if (m_loginPrompt) {
        disconnect(m_loginPrompt, nullptr, this, nullptr);
        m_loginPrompt->close();
    }
    if (m_mainFrame) {
        m_mainFrame->close();
        m_mainFrame->setSource(QUrl());
    }
    for (QQuickView *view : allViews()) {
        if (view) {
            disconnect(view, nullptr, this, nullptr);
            view->setSource(QUrl());
        }
    }
    restoreCursorShape();

    if (m_callStats) {
        disconnectAll(m_callStatsConnections);
        m_callStats->clear();
        delete m_callStats;
        m_callStats = nullptr;
    }

    for (int *timerId : {&m_networkCheckTimer, &m_loginWatchdogTimer, &m_geometrySaveTimer}) {
        if (*timerId)
            killTimer(*timerId);
        *timerId = 0;
    }
    clearPendingNotices();

    delete m_audioCuesManager;
    m_audioCuesManager = nullptr;
    if (m_trayIcon) {
        disconnect(m_trayIcon, nullptr, this, nullptr);
        delete m_trayIcon;
        m_trayIcon = nullptr;
    }
    delete m_menu;
    m_menu = nullptr;
    if (s_application == this)
        clearJumpList();

    if (m_localUser) {
        disconnectAll(m_localUserConnections);
        delete m_localUser;
        m_localUser = nullptr;
    }

    if (m_socialManager) {
        disconnectAll(m_socialConnections);
        delete m_socialManager;
        m_socialManager = nullptr;
    }
    if (m_voiceManager) {
        disconnectAll(m_voiceConnections);
        // Its destructor shuts the voice SDK down.
        delete m_voiceManager;
        m_voiceManager = nullptr;
    }

    disconnectAll(m_storageConnections);
    if (m_identityRealmManager) {
        disconnectAll(m_realmManagerConnections);
        delete m_identityRealmManager;
        m_identityRealmManager = nullptr;
    }
    disconnectAll(m_otherConnections);

    // The views go before the engine they were made with, a child of ours;
    // so do the search windows and an open profile window made with it.
    delete m_findUsers;
    m_findUsers = nullptr;
    delete findChild<FindChannels *>(QString(), Qt::FindDirectChildrenOnly);
    for (QQuickView *view : allViews())
        delete view;
    if (QQuickView *profile = TavriIdentityRealmUser::userDetailsView()) {
        if (m_qmlEngine && profile->engine() == m_qmlEngine)
            delete profile;
    }
    m_loginPrompt = nullptr;
    m_mainFrame = nullptr;
    m_settingsWindow = nullptr;
    m_aboutWindow = nullptr;
    m_reportIssueWindow = nullptr;
    m_inviteFriendsViaEmailWindow = nullptr;
    m_editPresenceMessagesWindow = nullptr;
    m_hiddenWindow = nullptr;
    m_postCallSurveyWindow = nullptr;
    m_networkBlockingVoiceWarningWindow = nullptr;
    m_tutorialWindow = nullptr;
    m_chatLogWindow = nullptr;
    delete m_filePicker;
    m_filePicker = nullptr;
    // The engine goes while the application object is whole: its picture
    // reader thread is stopped through an event that no longer gets delivered
    // once the application's base destructors have run, and the wait for it
    // would then never end.
    delete m_qmlEngine;
    m_qmlEngine = nullptr;

    qDebug() << "~TavriApplication() - end";
    if (s_application == this) {
        setQmlWarningReporter(nullptr);
        s_application = nullptr;
    }
}

TavriApplication *TavriApplication::instance()
{
    return s_application;
}

void TavriApplication::initialize(int &argc, char **argv)
{
    s_application = this;
    m_ostrelLogLevel = 2;
    m_tavriLogLevel = 3;

    for (int i = 0; i < argc; ++i) {
        const QString arg = QString::fromLatin1(argv[i]);
        if (arg.startsWith(QLatin1String("-loglevel_ostrel"))) {
            m_ostrelLogLevel = parseLogLevel(arg);
            qDebug().nospace() << "ostrel logging set to level " << m_ostrelLogLevel;
        } else if (arg.startsWith(QLatin1String("-loglevel_tavri"))) {
            m_tavriLogLevel = parseLogLevel(arg);
            qDebug().nospace() << "Tavri logging set to level " << m_tavriLogLevel;
        } else if (arg.startsWith(QLatin1String("tavri:"))) {
            queueTavriLink(arg);
        } else if (arg.startsWith(QLatin1String("-svc"))) {
            m_showUi = false;
            m_headlessArgument = arg.mid(4);
        }
    }

    setApplicationVersion(QString::fromLatin1(tavriVersion()));
    setQuitOnLastWindowClosed(false);
    setOrganizationDomain(QString::fromLatin1(kOrganizationDomain));
    setOrganizationName(QStringLiteral("Ostrel"));
    setApplicationName(QStringLiteral("Tavri"));

    setupLogging();
    qDebug().noquote().nospace() << "Tavri Application Version " << applicationVersion();
    qDebug().nospace() << "Tavri VER_FILEVERSION_STR " << tavriVersion();

    logSettings();

    m_applicationDirPath = programFolder(QCoreApplication::applicationDirPath());

    // TLS keeps Qt's defaults: current protocol versions and peer
    // verification, so that sign-in and session data never travel over a
    // connection that anyone in the middle could read.

    initializeLocalization();

    StorageManager *storage = StorageManager::getInstance();
    if (!storage->parent())
        storage->setParent(this);
    const bool useDevelopmentServers =
        storage->getSettingsValueForMachine(QStringLiteral("useDevelopmentServers"), false).toBool();

    // The voice service is given the voice SDK's own log level.
    m_voiceManager = new VoiceManager(m_ostrelLogLevel, m_applicationDirPath, useDevelopmentServers, this);
    link(m_voiceConnections, m_voiceManager, &VoiceManager::connectorCreated, this,
         &TavriApplication::onConnectorCreated);
    m_voiceManager->createConnector();

    attachLogToCrashReport();

    // The web service address keeps the scheme it was given: rewriting
    // "https:" to "http:" would send passwords and session ids in clear.
    const QString apiUrl = m_voiceManager->applicationServer() + QStringLiteral("/gateway.php");
    m_socialManager = new QSocialManager(this, apiUrl, QString::fromLatin1(kShortLinkHost));

    m_identityRealmManager = IdentityRealmManager::getInstance(this);
    m_callStats = new CallSessionStats(this);
    m_audioCuesManager = new AudioCuesManager(this);
    link(m_otherConnections, m_audioCuesManager, &AudioCuesManager::ttsVoiceChanged, this,
         &TavriApplication::onTonesManagerVoiceChanged);
    m_findUsers = new CFindUsers(this);
    m_friendsDialog = new CFindUsersForFriendsDialog(this);
    m_filePicker = new TavriFilePicker();

    registerQmlTypes();

    wireServices();

    m_networkCheckTimer = startTimer(kNetworkCheckIntervalMs, Qt::CoarseTimer);
    setupJumpList();
    setupTray();

    chooseSceneGraphBackend();
    m_qmlEngine = new QQmlEngine(this);
    m_styleManager = StyleManager::getInstance(m_qmlEngine);
    link(m_otherConnections, m_styleManager, &StyleManager::chatColorsChanged, this,
         &TavriApplication::onChatColorsChanged);

    if (!m_headlessArgument.isEmpty())
        startHeadless(m_headlessArgument);

    // Other services may have asked for the manager first; it ends with the
    // application either way.
    TavriSharedIdentityRealmManager *sharedRealms = TavriSharedIdentityRealmManager::getInstance(this);
    if (!sharedRealms->parent())
        sharedRealms->setParent(this);
    link(m_otherConnections, sharedRealms, &TavriSharedIdentityRealmManager::externalAppRelease, this,
         &TavriApplication::onExternalAppRelease);
}

void TavriApplication::wireServices()
{
    VoiceManager *voice = m_voiceManager;
    QSocialManager *social = m_socialManager;

    link(m_protocolConnections, this, &TavriApplication::messageReceived, this,
         &TavriApplication::onProtocolMessageReceived);
    link(m_voiceConnections, voice, &VoiceManager::auxAudioPropertiesReceived, this,
         &TavriApplication::onAuxAudioPropertiesReceived);
    link(m_voiceConnections, voice, &VoiceManager::connectorCreateFailed, this,
         &TavriApplication::onConnectorCreateFailed);
    link(m_voiceConnections, voice, &VoiceManager::sdkError, this, &TavriApplication::onSdkError);
    link(m_voiceConnections, voice, &VoiceManager::channelNotFound, this, &TavriApplication::onChannelNotFound);
    link(m_voiceConnections, voice, &VoiceManager::mediaStreamUpdated, this, &TavriApplication::onMediaStreamUpdated);
    link(m_voiceConnections, voice, &VoiceManager::sessionRemoved, this, &TavriApplication::onSessionRemoved);
    link(m_socialConnections, social, &QSocialManager::channelFavoriteChanged, this,
         &TavriApplication::onChannelFavoriteChanged);
    link(m_voiceConnections, voice, &VoiceManager::transmittingChannelChanged, this,
         &TavriApplication::onVoiceManagerTransmittingChannelChanged);
    link(m_voiceConnections, voice, &VoiceManager::audioDeviceProblem, this, &TavriApplication::onAudioDeviceProblem);
    link(m_callStatsConnections, voice, &VoiceManager::sessionStatsReceived, m_callStats,
         &CallSessionStats::onSessionStatsReceived);
    link(m_callStatsConnections, voice, &VoiceManager::sessionStatReceived, m_callStats,
         &CallSessionStats::onSessionStatReceived);
    link(m_socialConnections, social, &QSocialManager::inviteUsersResponses, this,
         &TavriApplication::onInviteUsersResponses);
    link(m_callStatsConnections, m_callStats, &CallSessionStats::voiceDataBlocked, this,
         &TavriApplication::onVoiceDataBlocked);
    link(m_voiceConnections, voice, &VoiceManager::captureTestRunningChanged, this,
         &TavriApplication::onVoiceManagerCaptureTestRunningChanged);
    link(m_voiceConnections, voice, &VoiceManager::renderTestRunningChanged, this,
         &TavriApplication::onVoiceManagerRenderTestRunningChanged);

    m_localUser = LocalUser::getLocalUser(this);
    LocalUser *user = m_localUser;
    link(m_localUserConnections, social, &QSocialManager::loginSuccess, user, &LocalUser::onSocialLoginSuccess);
    link(m_localUserConnections, social, &QSocialManager::socialLoginFailed, user, &LocalUser::onSocialLoginFailed);
    link(m_localUserConnections, social, &QSocialManager::socialLoginUnreachable, user,
         &LocalUser::onSocialLoginUnreachable);
    link(m_socialConnections, social, &QSocialManager::addChannelFailed, this, &TavriApplication::onAddChannelFailed);
    link(m_socialConnections, social, &QSocialManager::editChannelFailed, this, &TavriApplication::onEditChannelFailed);
    link(m_voiceConnections, voice, &VoiceManager::channelConnectTimeout, this,
         &TavriApplication::onChannelConnectionTimeout);
    link(m_voiceConnections, voice, &VoiceManager::maximumCallsExceeded, this,
         &TavriApplication::onMaximumCallsExceeded);
    link(m_voiceConnections, voice, &VoiceManager::cannotOpenCaptureDevice, this,
         &TavriApplication::onMaximumCallsExceeded);
    link(m_voiceConnections, voice, &VoiceManager::cannotAddEchoToSession, this,
         &TavriApplication::onCannotAddEchoToSession);
    link(m_voiceConnections, voice, &VoiceManager::fileNotFoundForPlayback, this,
         &TavriApplication::onFileNotFoundForPlayback);
    link(m_voiceConnections, voice, &VoiceManager::voiceLoggedIn, this, &TavriApplication::onVoiceLoggedIn);
    link(m_localUserConnections, voice, &VoiceManager::voiceLoggedIn, user, &LocalUser::onVoiceLoggedIn);
    link(m_voiceConnections, voice, &VoiceManager::voiceLoggedOut, this, &TavriApplication::onVoiceLoggedOut);
    link(m_localUserConnections, voice, &VoiceManager::voiceLoggedOut, user, &LocalUser::onVoiceLoggedOut);
    link(m_voiceConnections, voice, &VoiceManager::couldNotConnectToServer, this,
         &TavriApplication::onCouldNotConnectToServer);
    link(m_voiceConnections, voice, &VoiceManager::rtpTimeout, this, &TavriApplication::onRtpTimeout);
    link(m_voiceConnections, voice, &VoiceManager::rtpRecvTimeout, this, &TavriApplication::onRtpTimeout);
    link(m_localUserConnections, voice, &VoiceManager::localMicMuteChanged, user, &LocalUser::onLocalMicMuteChanged);
    link(m_localUserConnections, voice, &VoiceManager::userAppDataReceived, user, &LocalUser::onUserAppDataReceived);
    link(m_localUserConnections, voice, &VoiceManager::serverAppDataReceived, user,
         &LocalUser::onVoiceNetworkAppDataReceived);
    link(m_localUserConnections, social, &QSocialManager::friendListRequiresUpdate, user,
         &LocalUser::onFriendListRequiresUpdate);
    link(m_localUserConnections, voice, &VoiceManager::connectorCreateFailed, user,
         &LocalUser::onConnectorCreateFailed);
    link(m_localUserConnections, user, &LocalUser::loginStateChanged, this, &TavriApplication::onLoginStateChanged);
    link(m_socialConnections, social, &QSocialManager::updateAvailable, this, &TavriApplication::onUpdateAvailable);
    link(m_socialConnections, social, &QSocialManager::noUpdateAvailable, this, &TavriApplication::onNoUpdateAvailable);
    link(m_localUserConnections, user, &LocalUser::notificationReceived, this,
         &TavriApplication::onLocalUserNotificationReceived);
    StorageManager *storage = StorageManager::getInstance();
    link(m_storageConnections, storage, &StorageManager::settingChanged, this,
         &TavriApplication::trackOnSettingChanged);
    link(m_storageConnections, storage, &StorageManager::newInstall, this, &TavriApplication::onNewInstall);
    link(m_storageConnections, storage, &StorageManager::databaseSetAside, this,
         &TavriApplication::onStorageDatabaseSetAside);
    link(m_socialConnections, social, &QSocialManager::createAccountFailed, this,
         &TavriApplication::onCreateAccountFailed);
    link(m_socialConnections, social, &QSocialManager::createAccountSucceeded, this,
         &TavriApplication::onCreateAccountSucceeded);
    link(m_socialConnections, social, &QSocialManager::checkUsernameResponse, this,
         &TavriApplication::onCheckUsernameResponse);
    link(m_localUserConnections, user, &LocalUser::presenceStateChanged, this,
         &TavriApplication::onLocalUserPresenceStateChanged);
    IdentityRealmManager *realms = m_identityRealmManager;
    link(m_realmManagerConnections, realms, &IdentityRealmManager::conversationDisconnected, this,
         &TavriApplication::onConversationDisconnected);
    link(m_realmManagerConnections, realms, &IdentityRealmManager::conversationTextMessageReceived, this,
         &TavriApplication::onConversationTextMessageReceived);
    link(m_realmManagerConnections, realms, &IdentityRealmManager::conversationParticipantAdded, this,
         &TavriApplication::onConversationParticipantAdded);
    link(m_realmManagerConnections, realms, &IdentityRealmManager::conversationParticipantRemoved, this,
         &TavriApplication::onConversationParticipantRemoved);
}

void TavriApplication::disconnectAll(QList<QMetaObject::Connection> &group)
{
    for (const QMetaObject::Connection &connection : qAsConst(group))
        QObject::disconnect(connection);
    group.clear();
}

int TavriApplication::parseLogLevel(const QString &argument)
{
    const int equals = argument.indexOf(QLatin1Char('='));
    const QString number = equals < 0 ? argument : argument.mid(equals + 1);
    bool ok = false;
    const int level = number.toInt(&ok);
    return ok ? level : 0;
}

TavriApplication::SharedRealmRequest TavriApplication::parseSharedRealmArgument(const QString &value)
{
    SharedRealmRequest request;
    const QStringList fields = value.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    if (fields.size() < 4)
        return request;
    request.requesterId = fields.at(0);
    request.token = fields.at(1);
    request.inputPipe = fields.at(2);
    request.outputPipe = fields.at(3);
    if (fields.size() > 4)
        request.clientLibVersion = fields.at(4);
    request.complete = true;
    return request;
}

QString TavriApplication::hideSecrets(const QString &argument)
{
    if (!argument.startsWith(QLatin1String("-svc")))
        return argument;
    QStringList fields = argument.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    if (fields.size() < 2)
        return argument;
    fields[1] = QStringLiteral("<hidden>");
    return fields.join(QLatin1Char(':'));
}

QStringList TavriApplication::hideSecretsInArguments(const QStringList &arguments)
{
    QStringList hidden;
    hidden.reserve(arguments.size());
    for (const QString &argument : arguments) {
        if (!hidden.isEmpty() && hidden.last() == QLatin1String("-svc")) {
            // "-svc RID:TOKEN:..." as two arguments: the token is the second field.
            const QString asValue = hideSecrets(QStringLiteral("-svc") + argument).mid(4);
            hidden.append(asValue == argument ? QStringLiteral("<hidden>") : asValue);
        } else {
            hidden.append(hideSecrets(argument));
        }
    }
    return hidden;
}

QString TavriApplication::hideSecretsInMessage(const QString &message)
{
    const QString separator = QStringLiteral("<!>");
    return cutForLog(hideSecretsInArguments(message.split(separator, Qt::KeepEmptyParts)).join(separator));
}

QString TavriApplication::programFolder(const QString &executableDir)
{
    QString folder = executableDir;
    for (const QLatin1String build : {QLatin1String("/release"), QLatin1String("/debug")}) {
        const int at = folder.indexOf(build);
        if (at >= 0)
            folder.remove(at, build.size());
    }
    return folder;
}

void TavriApplication::setupLogging()
{
    if (installLogMessageHandler(m_tavriLogLevel)) {
        qDebug() << "Logging started";
        const QString path = currentLogFilePath();
        if (!path.isEmpty())
            qDebug() << "Logging to:" << path;
    }
    setQmlWarningReporter(&reportQmlWarning);
    m_chatLogDirectory = setupChatLogFolder();
}

void TavriApplication::logSettings()
{
    QSettings settings;
    const QStringList keys = settings.allKeys();
    for (const QString &key : keys) {
        // Any spelling of "password" in a key name marks a secret.
        if (key.contains(QLatin1String("password"), Qt::CaseInsensitive)) {
            qDebug().noquote() << key + QStringLiteral(": <hidden>");
            continue;
        }
        const QVariant value = settings.value(key);
        if (value.canConvert<QString>())
            qDebug().noquote() << key + QStringLiteral(": ") + value.toString();
        else
            qDebug().noquote().nospace() << key << ": " << value;
    }
}

void TavriApplication::initializeLocalization(const QString &locale)
{
    QString name = locale;
    if (name.isEmpty())
        name = StorageManager::getInstance()
                   ->getSettingsValueForMachine(StorageManager::SettingsKeyLocale, QLocale::system().name())
                   .toString();
    qDebug() << "Loading translations for" << name << "from" << m_applicationDirPath;
    if (m_translatorInstalled)
        removeTranslator(&m_translator);
    m_translatorInstalled = false;
    // Only the chosen language's file is read. The texts are written in
    // English, which needs none; for any other language a missing file leaves
    // the English texts, with one warning.
    const bool english = name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("en")
                         || name.startsWith(QLatin1String("en_"));
    if (!english) {
        if (m_translator.load(QStringLiteral("tavri_") + name, m_applicationDirPath))
            m_translatorInstalled = installTranslator(&m_translator);
        else
            qWarning() << "No translation for" << name << "in" << m_applicationDirPath << "- the texts stay in English";
    }
    // Texts bound to languageUpdatedString follow its change signal; the
    // engine's refresh reaches the other translated bindings of open windows.
    if (m_qmlEngine)
        m_qmlEngine->retranslate();
    emit languageChanged();
}

void TavriApplication::setupJumpList()
{
    const host::JumpTask exitTask{QStringLiteral("Exit Tavri"),
                                  QStringLiteral("Tavri will exit."),
                                  QCoreApplication::applicationFilePath(),
                                  {QStringLiteral("-quit")}};
    const int result = host::JumpList::setTasks({exitTask});
    if (result != 0)
        qDebug() << "TavriApplication::setupJumpList"
                 << "tasks not set, error" << result;
}

void TavriApplication::setupTray()
{
    if (!systemTrayAvailable())
        return;
    qDebug() << "Initializing system tray menu...";
    if (m_menu)
        m_menu->deleteLater();
    m_menu = new QMenu();
    m_menu->addAction(tr("Show Tavri"), this, &TavriApplication::onShowForegroundWindow);
    m_showAsOnlineAction = m_menu->addAction(tr("Show as Online"));
    link(m_localUserConnections, m_showAsOnlineAction, &QAction::triggered, m_localUser,
         &LocalUser::onSetPresenceOnline);
    m_showAsAwayAction = m_menu->addAction(tr("Show as Away"));
    link(m_localUserConnections, m_showAsAwayAction, &QAction::triggered, m_localUser, &LocalUser::onSetPresenceAway);
    m_showAsOnlineAction->setVisible(false);
    m_showAsAwayAction->setVisible(false);
    m_menu->addSeparator();
    m_menu->addAction(tr("Exit"), this, &TavriApplication::onAppExit);
    QFont menuFont = m_menu->font();
    menuFont.setPointSize(10);
    m_menu->setFont(menuFont);

    qDebug() << "Initializing system tray icon...";
    if (m_trayIcon) {
        m_trayIcon->hideTrayIcon();
        m_trayIcon->deleteLater();
    }
    m_trayIcon = new SystemTrayIcon(QIcon(QStringLiteral(":/textures/Logo.png")), this);
    m_trayIcon->setToolTip(tr("Tavri Application"));
    m_trayIcon->setContextMenu(m_menu);
    m_trayIcon->showTrayIcon();
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &TavriApplication::onSystrayActivated);
    connect(m_trayIcon, &QSystemTrayIcon::messageClicked, this, &TavriApplication::onSystemTrayMessageClicked);
    emit trayIconShownChanged();
}

bool TavriApplication::isTrayIconShown() const
{
    return m_trayIcon && m_trayIcon->isVisible();
}

void TavriApplication::clearJumpList()
{
    const int result = host::JumpList::clear();
    if (result != 0)
        qDebug() << "TavriApplication::clearJumpList"
                 << "tasks not cleared, error" << result;
}

bool TavriApplication::systemTrayAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TavriApplication::startHeadless(const QString &value)
{
    qDebug() << "Tavri starting headless...";
    const SharedRealmRequest request = parseSharedRealmArgument(value);
    if (!request.complete)
        qDebug() << "... incomplete startup arg...";
    if (!requestSharedRealm(request.requesterId, request.token, request.outputPipe, request.inputPipe,
                            request.clientLibVersion)) {
        qDebug() << "... unable to initialize shared application..." << request.requesterId
                 << (request.token.isEmpty() ? QString() : QStringLiteral("<hidden>"));
    }
}

bool TavriApplication::requestSharedRealm(const QString &requesterId, const QString &token, const QString &outputPipe,
                                          const QString &inputPipe, const QString &clientLibVersion)
{
    TavriSharedIdentityRealmManager *sharedRealms = TavriSharedIdentityRealmManager::getInstance();
    TavriSharedIdentityRealm *realm =
        sharedRealms->createRealm(requesterId, token, outputPipe, inputPipe, clientLibVersion);
    if (!realm)
        return false;
    realm->setClientLibVersion(clientLibVersion);
    return true;
}

void TavriApplication::hideAllFrames()
{
    emit hideFramesRequested();
    if (m_filePicker)
        m_filePicker->closePendingDialogs();
    if (m_findUsers)
        m_findUsers->hideFindWindow();
    for (QWindow *window : {static_cast<QWindow *>(m_loginPrompt), static_cast<QWindow *>(m_mainFrame),
                            static_cast<QWindow *>(m_settingsWindow), static_cast<QWindow *>(m_aboutWindow),
                            static_cast<QWindow *>(m_reportIssueWindow), static_cast<QWindow *>(m_chatLogWindow)}) {
        if (window)
            window->hide();
    }
}

void TavriApplication::minimizeAllFrames()
{
    emit minimizeFramesRequested();
    for (QQuickView *view : allViews()) {
        if (view && view->isVisible() && !view->source().isEmpty() && view->visibility() != QWindow::Hidden
            && view->visibility() != QWindow::Minimized)
            view->showMinimized();
    }
}

QList<QQuickView *> TavriApplication::allViews() const
{
    return {m_loginPrompt,
            m_mainFrame,
            m_settingsWindow,
            m_aboutWindow,
            m_reportIssueWindow,
            m_inviteFriendsViaEmailWindow,
            m_editPresenceMessagesWindow,
            m_hiddenWindow,
            m_postCallSurveyWindow,
            m_networkBlockingVoiceWarningWindow,
            m_tutorialWindow,
            m_chatLogWindow};
}

bool TavriApplication::isImageValid(const QUrl &fileName) const
{
    QString path = fileName.isLocalFile() ? fileName.toLocalFile() : fileName.toString();
    if (fileName.scheme() == QLatin1String("qrc"))
        path = QLatin1Char(':') + fileName.path();
    return !QImage(path).isNull();
}

void TavriApplication::trackEvent(const QString &category, const QString &label, const QMap<QString, QString> &params)
{
    if (!m_socialManager)
        return;
    QStringList details;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        details.append(it.key() + QLatin1Char(':') + it.value());
    m_socialManager->logEvent(category, label, details);
}

void TavriApplication::trackEvent(const QString &category, const QString &label, const QStringList &params)
{
    QMap<QString, QString> map;
    for (const QString &entry : params) {
        const int colon = entry.indexOf(QLatin1Char(':'));
        if (colon < 0)
            map.insert(entry, QString());
        else
            map.insert(entry.left(colon), entry.mid(colon + 1));
    }
    trackEvent(category, label, map);
}

void TavriApplication::trackOnSettingChanged(const QString &key, const QVariant &value)
{
    trackEvent(QStringLiteral("SettingsChange"), key, QStringList{QStringLiteral("v:") + value.toString()});
}

bool TavriApplication::nativeEventFilter(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(result)
    // Only power broadcasts to the main frame's own window are of interest;
    // the main frame's id is asked for only once its native window exists,
    // so that the question does not create one.
    if (!message || eventType != host::NativeMessage::eventType())
        return false;
    const auto *native = static_cast<const host::NativeMessage *>(message);
    if (native->message != host::NativeMessage::PowerBroadcast || !m_mainFrame || !m_mainFrame->handle()
        || native->hwnd != reinterpret_cast<void *>(m_mainFrame->winId()))
        return false;

    const QMap<QString, QString> noParams;
    if (native->wParam == host::NativeMessage::PowerSuspend) {
        qDebug() << "PowerSuspend";
        LocalUser::getLocalUser(this)->stopIdleHandler();
        trackEvent(QStringLiteral("Application"), QStringLiteral("PowerSuspend"), noParams);
    } else if (native->wParam == host::NativeMessage::PowerResumeAutomatic) {
        qDebug() << "PowerResume";
        trackEvent(QStringLiteral("Application"), QStringLiteral("PowerResume"), noParams);
    }
    qDebug() << "NativePowerEvent" << quint64(native->wParam);
    trackEvent(QStringLiteral("Application"), QStringLiteral("NativePowerEvent"),
               QStringList{QStringLiteral("wparam:") + QString::number(quint64(native->wParam))});
    // Other filters and the window see the broadcast as well.
    return false;
}

void TavriApplication::onAppExit()
{
    static QRecursiveMutex exitMutex;
    QMutexLocker lock(&exitMutex);
    ox_set_application_crash_data("entering_onAppExit()");
    qDebug() << "OnAppExit() - called from" << (sender() ? sender()->metaObject()->className() : "null");
    LocalUser::getLocalUser(this)->onLogoutRequested();
    hideAllFrames();
    if (m_trayIcon) {
        m_trayIcon->hideTrayIcon();
        emit trayIconShownChanged();
    }
    for (int *timerId : {&m_networkCheckTimer, &m_loginWatchdogTimer, &m_geometrySaveTimer}) {
        if (*timerId)
            killTimer(*timerId);
        *timerId = 0;
    }
    clearPendingNotices();
    emit exiting();
    quit();
}

void TavriApplication::onShowForegroundWindow()
{
    qDebug() << "TavriApplication::onShowForegroundWindow";
    if (isLoggedIn())
        showMainFrame(true);
    else
        showLoginPrompt(true, true);
}

void TavriApplication::onProtocolMessageReceived(const QString &sMessage)
{
    if (sMessage.isEmpty()) {
        qDebug() << "Empty protocolMessageReceived, showing active frame...";
        onShowForegroundWindow();
        return;
    }
    qDebug() << "ProtocolMessageReceived: " << hideSecretsInMessage(sMessage);
    const QStringList parts = sMessage.split(QStringLiteral("<!>"), Qt::SkipEmptyParts);
    // Nothing but separators: nothing to act on.
    if (parts.isEmpty())
        return;
    const QString exitChannel = QStringLiteral("-exitChannel");
    if (parts.contains(QStringLiteral("-quit"))) {
        onAppExit();
    } else if (parts.contains(QStringLiteral("-exitAllChannels"))) {
        leaveAllJoinedConversations();
    } else if (parts.contains(exitChannel)) {
        const int at = parts.indexOf(exitChannel);
        if (at + 1 >= parts.size()) {
            qDebug() << "missing arguments when calling exit channel function from win7 taskbar";
            return;
        }
        if (Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(parts.at(at + 1)))
            conversation->requestLeaveConversation();
    } else if (parts.first().startsWith(QLatin1String("-svc"))) {
        const QString value = parts.first().mid(4);
        if (!value.isEmpty())
            startHeadless(value);
    } else {
        qDebug().noquote() << "onProtocolMessageReceived - joining channel:" << cutForLog(parts.first());
        onShowForegroundWindow();
        queueTavriLink(parts.first());
        handleTavriLinkRequest();
    }
}

void TavriApplication::leaveAllJoinedConversations()
{
    // Leaving may reorder or shrink the list: collect first, then leave.
    ConversationList *conversations = LocalUser::getLocalUser(this)->getConversations();
    QList<QPointer<Conversation>> joined;
    for (int i = 0; i < conversations->count(); ++i) {
        Conversation *conversation = conversations->at(i);
        if (conversation && conversation->getIsJoined())
            joined.append(conversation);
    }
    for (const QPointer<Conversation> &conversation : qAsConst(joined)) {
        if (conversation)
            conversation->requestLeaveConversation(false);
    }
}

void TavriApplication::queueTavriLink(const QString &link)
{
    // Any local process of the user can send messages: a flood of links
    // while signed out must not grow the queue without end.
    if (m_startupLinks.size() >= kMaxQueuedLinks) {
        qWarning().noquote() << "TavriApplication::queueTavriLink - queue full, link dropped:" << cutForLog(link, 256);
        return;
    }
    m_startupLinks.append(link);
}

bool TavriApplication::isOwnChannelAddress(const QString &uri, const QString &domain)
{
    // One at sign and then exactly the voice service's domain, to the very
    // end: an address that names another host after it is not a channel of
    // this service. The channel's name holds no blank, quote or angle
    // bracket, so the address can stand in a chat line's link.
    if (domain.isEmpty())
        return false;
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("sip:confctl-[^@\\s\"'<>]+@%1").arg(QRegularExpression::escape(domain))));
    return pattern.match(uri).hasMatch();
}

void TavriApplication::handleTavriLinkRequest()
{
    // A link's handling can spin a nested event loop (a dialog, a blocking
    // request) that calls in here again. The re-entered call must neither
    // wait for the outer one (it never finishes then) nor interleave with
    // it: it leaves a mark, and the outer call posts one more run on its way
    // out.
    if (m_linkHandlerBusy) {
        m_linkHandlerRunAgain = true;
        return;
    }
    m_linkHandlerBusy = true;
    const auto done = qScopeGuard([this] {
        m_linkHandlerBusy = false;
        if (m_linkHandlerRunAgain) {
            m_linkHandlerRunAgain = false;
            QMetaObject::invokeMethod(this, &TavriApplication::handleTavriLinkRequest, Qt::QueuedConnection);
        }
    });

    if (m_startupLinks.isEmpty())
        return;
    if (LocalUser::getLocalUser(this)->getLoginState() != LocalUser::LoggedIn)
        return;
    handleTavriLink(m_startupLinks.takeFirst());
}

void TavriApplication::handleTavriLink(QString link)
{
    qDebug().noquote() << "handleTavriLinkRequest with startup arg" << cutForLog(link);
    const QString scheme = QStringLiteral("tavri:");
    if (link.startsWith(scheme))
        link.remove(scheme);

    QString basePath = link;
    QString inviteUID;
    QList<QPair<QString, QString>> queryItems;
    const int question = link.indexOf(QLatin1Char('?'));
    if (question >= 0) {
        basePath = link.left(question);
        const QUrlQuery query(link.mid(question + 1));
        queryItems = query.queryItems(QUrl::FullyDecoded);
        for (const auto &item : qAsConst(queryItems)) {
            if (item.first == QLatin1String("i"))
                inviteUID = item.second;
        }
    }
    qDebug().noquote() << "handleTavriLinkRequest - basepath =" << cutForLog(basePath);
    QStringList loggedItems;
    for (const auto &item : qAsConst(queryItems))
        loggedItems.append(item.first + QLatin1Char('=') + item.second);
    qDebug().noquote() << "handleTavriLinkRequest - queryargs =" << cutForLog(loggedItems.join(QLatin1Char('&')));

    const QString category = QStringLiteral("StartupLink");
    const QMap<QString, QString> noParams;
    const QString domain = m_voiceManager ? m_voiceManager->domain() : QString();

    static const QRegularExpression channel(QRegularExpression::anchoredPattern(QStringLiteral("([0-9]+)_(.*)")));
    QRegularExpressionMatch match = channel.match(basePath);
    if (match.hasMatch() && isOwnChannelAddress(match.captured(2), domain)) {
        const QString uri = match.captured(2);
        qDebug() << "Requesting join channel via link..." << uri;
        const bool enabled =
            StorageManager::getInstance()
                ->getSettingsValue(QStringLiteral("settingsJoinChWithHyperlink"), QStringLiteral("true"))
                .toBool();
        if (enabled) {
            if (Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(uri)) {
                conversation->requestJoinConversation(QString(), false);
                conversation->setIsFavorite(true, false);
            }
            trackEvent(category, QStringLiteral("JoinChannel"), noParams);
        } else {
            showAlert(tr("Join channel via hyperlink is disabled in general settings"));
            trackEvent(category, QStringLiteral("JoinChannelBlocked"), noParams);
        }
        return;
    }

    static const QRegularExpression thirdParty(
        QRegularExpression::anchoredPattern(QStringLiteral("TP-([a-zA-Z0-9_]+)-([a-zA-Z0-9_]+)-([a-zA-Z0-9_]+)")));
    static const QRegularExpression exitThirdParty(
        QRegularExpression::anchoredPattern(QStringLiteral("EC-([a-zA-Z0-9_]+)-([a-zA-Z0-9_]+)-([a-zA-Z0-9_]+)")));
    static const QRegularExpression addFriend(
        QRegularExpression::anchoredPattern(QStringLiteral("AB-([a-zA-Z0-9_]+)")));
    static const QRegularExpression addFavorite(
        QRegularExpression::anchoredPattern(QStringLiteral("AF-([a-zA-Z0-9_]+)")));

    match = thirdParty.match(basePath);
    if (match.hasMatch()) {
        if (m_socialManager)
            m_socialManager->requestThirdPartyChannelForUser(match.captured(1), match.captured(2), match.captured(3));
        trackEvent(category, QStringLiteral("JoinThirdPartyChannel"), noParams);
        return;
    }
    if (exitThirdParty.match(basePath).hasMatch()) {
        qWarning() << "TavriApplication - parsing startup request on login - ignoring deprecated link format - exit "
                      "third party channel";
        trackEvent(category, QStringLiteral("LeaveThirdPartyChannel"), noParams);
        return;
    }
    match = addFriend.match(basePath);
    if (match.hasMatch()) {
        const QString friendUID = match.captured(1);
        TavriIdentityRealmUser *identity = LocalUser::getLocalUser(this)->tavriidentity();
        if (identity && identity->getUid() == friendUID) {
            showAlert(tr("Cannot add yourself as a friend"));
        } else {
            if (m_socialManager)
                m_socialManager->requestChangeFriend(friendUID, true, inviteUID);
            onLocalUserNotificationReceived(tr("You have added a friend"), QString());
        }
        trackEvent(category, QStringLiteral("AddFriend"), noParams);
        return;
    }
    match = addFavorite.match(basePath);
    if (match.hasMatch()) {
        if (m_socialManager)
            m_socialManager->requestChangeChannelFavorite(match.captured(1), true, inviteUID);
        trackEvent(category, QStringLiteral("AddFavoriteChannel"), noParams);
        return;
    }
    if (basePath == QLatin1String("EA")) {
        qWarning() << "TavriApplication - parsing startup request on login - ignoring deprecated link format - exit "
                      "all channels";
        trackEvent(category, QStringLiteral("ExitChannels"), noParams);
        return;
    }
    const QString ephemeral = QStringLiteral("JT-");
    const QString ephemeralURI = basePath.mid(ephemeral.size());
    // Join links travel in chat lines and web pages: only a channel of the
    // voice service's own domain is joined, never a call to a user or a
    // channel elsewhere.
    if (basePath.startsWith(ephemeral) && isOwnChannelAddress(ephemeralURI, domain)) {
        Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(ephemeralURI);
        if (conversation && conversation->getIsJoined()) {
            qDebug() << "TavriApplication::handleTavriLinkRequest"
                     << "already joined to ephemeral" << ephemeralURI;
            conversation->requestJoinConversation(QString(), false);
        } else {
            qDebug() << "TavriApplication::handleTavriLinkRequest"
                     << "joining ephemeral channel" << ephemeralURI;
            if (m_voiceManager)
                m_voiceManager->requestJoinChannel(ephemeralURI, QString(), true);
        }
        return;
    }
    qWarning().noquote() << "TavriApplication - parsing startup request on login - unknown link format..."
                         << cutForLog(link);
    trackEvent(QStringLiteral("Error"), QStringLiteral("StartupArgUnknownFormat"),
               QStringList{QStringLiteral("a:") + cutForLog(link)});
}

// The application's ends of the start-up wiring: sign-in and sign-out,
// account creation and the login state.

template <typename Model>
QString TavriApplication::applyPreferredDevice(Model *devices, const QString &key)
{
    StorageManager *storage = StorageManager::getInstance();
    const QString name = storage->getSettingsValue(key, QString()).toString();
    if (name.isEmpty())
        return name;
    storage->setSettingsValue(key, name);
    if (devices)
        devices->setCurrentDeviceById(name);
    return name;
}

void TavriApplication::onLoggedIn()
{
    ox_set_application_crash_data("app_logged_in");
    const QString renderDevice =
        applyPreferredDevice(getRenderDevices(), QStringLiteral("settingsPreferredAudioOutputDevice"));
    const QString captureDevice =
        applyPreferredDevice(getCaptureDevices(), QStringLiteral("settingsPreferredAudioInputDevice"));
    qDebug().noquote().nospace() << "TavriApplication::onLoggedIn"
                                 << ": preferredCaptureDevice: " << captureDevice
                                 << ", preferredRenderDevice: " << renderDevice;

    // The main frame replaces the login window; while that is not shown (a
    // headless start, a second login of the run) no window opens here.
    if (m_loginPrompt && m_loginPrompt->isVisible()) {
        m_loginPrompt->hide();
        showMainFrame(false);
        if (StorageManager::getInstance()->getShowHint(QStringLiteral("Tutorial")))
            showTutorial();
    }
    if (m_showAsAwayAction)
        m_showAsAwayAction->setVisible(true);
    if (m_audioCuesManager)
        m_audioCuesManager->init(m_style);

    if (m_postCallSurveyStartNum == 0) {
        m_postCallSurveyStartNum = StorageManager::getInstance()
                                       ->getDefaultSettings(QStringLiteral("settingsPostCallSurveyStartNum"), 2)
                                       .toUInt();
        TavriIdentityRealm::getInstance()->setPostCallSurveyCountdown(m_postCallSurveyStartNum);
    }
}

void TavriApplication::onLoggedOut(const QString &reason)
{
    qDebug() << "TavriApplication::onLoggedOut" << reason;
    if (m_audioCuesManager)
        m_audioCuesManager->deinit();
    stopCaptureTest();
    stopRenderTest();
    if (m_audioCuesManager)
        m_audioCuesManager->stopSpeaking();
    // A reconnect that gave up has shown the reduced login window already:
    // it stays, so that the user is not left without any window.
    const bool keepLoginWindow = m_reconnecting && m_loginPrompt && m_loginPrompt->isVisible();
    hideAllFrames();
    if (keepLoginWindow)
        m_loginPrompt->show();
    if (!reason.isEmpty())
        qDebug() << "Logged out due to" << reason;
    if (m_showAsOnlineAction)
        m_showAsOnlineAction->setVisible(false);
    if (m_showAsAwayAction)
        m_showAsAwayAction->setVisible(false);
    if (!m_reconnecting)
        showLoginPrompt(true, true);
}

void TavriApplication::onNewInstall()
{
    qDebug() << "TavriApplication::onNewInstall";
}

namespace {

// Calls a function of the view's root object with arguments; nothing when
// the view or its root is missing.
void callLoginRoot(QQuickView *view, const char *function, const QVariant &first = QVariant(),
                   const QVariant &second = QVariant(), int argumentCount = 0)
{
    QQuickItem *root = view ? view->rootObject() : nullptr;
    if (!root) {
        qDebug() << "TavriApplication: no login window for" << function;
        return;
    }
    bool called = false;
    if (argumentCount == 0)
        called = QMetaObject::invokeMethod(root, function);
    else if (argumentCount == 1)
        called = QMetaObject::invokeMethod(root, function, Q_ARG(QVariant, first));
    else
        called = QMetaObject::invokeMethod(root, function, Q_ARG(QVariant, first), Q_ARG(QVariant, second));
    if (!called)
        qWarning() << "TavriApplication: the login window has no function" << function;
}

} // namespace

void TavriApplication::onCreateAccountFailed(const QString &message)
{
    callLoginRoot(m_loginPrompt, "accountCreateFailed", message, false, 2);
}

void TavriApplication::onCreateAccountSucceeded()
{
    callLoginRoot(m_loginPrompt, "accountCreated");
}

void TavriApplication::onCheckUsernameResponse(const QString &response)
{
    callLoginRoot(m_loginPrompt, "checkedUsernameAvailability", response, QVariant(), 1);
}

void TavriApplication::onLoginStateChanged(LocalUser::LoginState loginState, const QString &reason)
{
    qDebug() << "TavriApplication::onLoginStateChanged" << loginState << reason;
    switch (loginState) {
    case LocalUser::LoggedOut:
        // onLoggedOut still sees whether the state before was a reconnect.
        onLoggedOut(reason);
        break;
    case LocalUser::LoggingIn:
        // Attempts of the reconnect series are guarded like the user's own.
        if (!m_loginWatchdogTimer)
            m_loginWatchdogTimer = startTimer(kLoginWatchdogMs, Qt::CoarseTimer);
        break;
    case LocalUser::LoggingInVoice:
        break;
    case LocalUser::LoggedIn:
        onLoggedIn();
        break;
    case LocalUser::LoggingOut:
        if (m_audioCuesManager)
            m_audioCuesManager->deinit();
        break;
    case LocalUser::DisconnectedReconnecting:
        m_reconnecting = true;
        onReconnecting(reason);
        return;
    default:
        qDebug().noquote().nospace() << "unknown login state change " << int(loginState) << " reason: " << reason;
        break;
    }
    m_reconnecting = false;
}

void TavriApplication::onVoiceLoggedIn()
{
    qDebug() << "TavriApplication::onVoiceLoggedIn";
    // One queued link per login. Posted: the local user turns LoggedIn in
    // its own slot of the same signal, which runs after this one.
    QMetaObject::invokeMethod(this, &TavriApplication::handleTavriLinkRequest, Qt::QueuedConnection);
    // The login completed: the watchdog has nothing more to guard.
    if (m_loginWatchdogTimer) {
        killTimer(m_loginWatchdogTimer);
        m_loginWatchdogTimer = 0;
    }
    const QString voice =
        StorageManager::getInstance()->getSettingsValue(QStringLiteral("settingsTTSvoice"), QString()).toString();
    if (!voice.isEmpty() && m_audioCuesManager)
        m_audioCuesManager->setTTSVoice(voice);
}

bool TavriApplication::isLoggedIn()
{
    return LocalUser::getLocalUser(this)->getLoginState() == LocalUser::LoggedIn;
}

QDateTime TavriApplication::currentDateTime() const
{
    return QDateTime::currentDateTimeUtc();
}

bool TavriApplication::takeBalloonSlot()
{
    const QDateTime now = currentDateTime();
    if (m_lastNotificationTime.isValid()) {
        const qint64 elapsed = m_lastNotificationTime.msecsTo(now);
        // A clock set back counts as time passed, so balloons do not stop
        // until the clock catches up again.
        if (elapsed >= 0 && elapsed <= kBalloonIntervalMs)
            return false;
    }
    m_lastNotificationTime = now;
    return true;
}

void TavriApplication::onLocalUserNotificationReceived(const QString &message, const QString &argument)
{
    if (m_mainFrame && m_mainFrame->isVisible() && m_mainFrame->isActive())
        return;
    LocalUser *user = LocalUser::getLocalUser(this);
    TavriIdentityRealmUser *identity = user->tavriidentity();
    Tavri::IdentityRealmInterface *realm = identity ? identity->identityRealm() : nullptr;
    if (!realm) {
        qDebug() << "TavriApplication::onLocalUserNotificationReceived"
                 << "not signed in, no balloon";
        return;
    }
    const QString title = tr("Notification for %1").arg(identity->getDisplayName());
    if (!takeBalloonSlot())
        return;
    if (!m_trayIcon)
        return;
    if (argument.isEmpty())
        m_trayIcon->showMessage(title, message, QSystemTrayIcon::Information, kNotificationBalloonMs);
    else
        m_trayIcon->showMessageWithCallback(title, message, this, "onSystemTrayInviteMessageClicked",
                                            QSystemTrayIcon::Information, kNotificationBalloonMs, argument);
}

void TavriApplication::onLocalUserPresenceStateChanged(TavriIdentityRealmUser::PresenceState presenceState)
{
    if (!m_showAsOnlineAction || !m_showAsAwayAction)
        return;
    m_showAsOnlineAction->setVisible(presenceState != Tavri::RealmUserInterface::Online);
    m_showAsAwayAction->setVisible(presenceState != Tavri::RealmUserInterface::Away);
}

void TavriApplication::onChannelFavoriteChanged(const QString &channelURI, bool wasAdded)
{
    Q_UNUSED(channelURI)
    LocalUser::getLocalUser(this)->requestRefreshFavorites();
    if (wasAdded)
        onLocalUserNotificationReceived(tr("You have added a favorite channel"), QString());
}

void TavriApplication::onAddChannelFailed()
{
    showAlert(tr("Failed to add channel."));
}

void TavriApplication::onEditChannelFailed()
{
    showAlert(tr("Failed to change channel information."));
}

QString TavriApplication::sessionDisplayName(const QString &sessionHandle) const
{
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversationBySessionHandle(sessionHandle);
    return conversation ? conversation->getDisplayName() : sessionHandle;
}

void TavriApplication::onChannelConnectionTimeout(const QString &channelURI)
{
    showAlert(
        tr("Problem joining %1: connection timed out.  Please try again later.").arg(sessionDisplayName(channelURI)));
}

void TavriApplication::onMaximumCallsExceeded(const QString &channelURI)
{
    Q_UNUSED(channelURI)
    if (captureTestRunning() || renderTestRunning())
        showAlert(tr("Cannot join channel while testing audio."));
    else
        showAlert(tr("Cannot access microphone, please check for conflicting software."));
}

void TavriApplication::onCannotAddEchoToSession()
{
    showAlert(tr("Cannot be in echo channel while in another channel."));
}

void TavriApplication::onFileNotFoundForPlayback(const QString &filename)
{
    const QString text = tr("Could not find file for playback");
    showAlert(text);
    // The SDK's code for a missing file, so the report reads like the others.
    onSdkError(1043, text + QStringLiteral(": ") + filename, QString());
}

void TavriApplication::onVoiceDataBlocked()
{
    qDebug() << "RTP voice data stream blocked from send/receive, please check router settings";
    if (!m_noRtpTracked) {
        m_noRtpTracked = true;
        trackEvent(QStringLiteral("Application"), QStringLiteral("NoRTPDetected"), QStringList());
    }
    if (!m_qmlEngine)
        return;
    const bool load = needsLoad(m_networkBlockingVoiceWarningWindow);
    prepareView(m_networkBlockingVoiceWarningWindow);
    if (load) {
        qDebug() << "Setting m_networkBlockingVoiceWarningWindow source to NetworkTrafficBlockedWarningDialog.qml";
        m_networkBlockingVoiceWarningWindow->setTitle(tr("Tavri Alert: Voice data blocked"));
        m_networkBlockingVoiceWarningWindow->resize(320, 240);
        loadView(m_networkBlockingVoiceWarningWindow,
                 QStringLiteral("warnings/NetworkTrafficBlockedWarningDialog.qml"));
        connect(m_networkBlockingVoiceWarningWindow, &QQuickWindow::closing, this,
                &TavriApplication::onVoiceDataBlockedWarningWindowClosing, Qt::UniqueConnection);
    }
    showDialogFrame(m_networkBlockingVoiceWarningWindow);
}

bool TavriApplication::isWebLink(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

void TavriApplication::onUpdateAvailable(const QString &updateVersion, const QString &updateLink,
                                         const QString &updateMessage)
{
    qDebug() << "Update available!" << updateVersion << updateLink;
    // Only a web page is kept as the update link: every place that opens it
    // (the balloon, the notifications row, the about window) hands it to the
    // desktop, which would just as well run a file or another program's link.
    QString link = updateLink;
    if (!isWebLink(QUrl(updateLink, QUrl::StrictMode))) {
        qWarning() << "Invalid update URL:" << updateLink;
        link.clear();
    }
    if (updateVersion != m_availableUpdateVersion) {
        m_availableUpdateVersion = updateVersion;
        emit availableUpdateVersionChanged(updateVersion);
    }
    if (link != m_availableUpdateLink) {
        m_availableUpdateLink = link;
        emit availableUpdateLinkChanged(link);
    }
    if (updateMessage != m_availableUpdateMessage) {
        m_availableUpdateMessage = updateMessage;
        emit availableUpdateMessageChanged(updateMessage);
    }
    if (m_trayIcon)
        m_trayIcon->showMessageWithCallback(tr("Update available"), tr("Click here to open Tavri and view the update"),
                                            this, "onSystemTrayUpdateAvailableMessageClicked", QSystemTrayIcon::NoIcon,
                                            kNotificationBalloonMs, QString());
}

void TavriApplication::onNoUpdateAvailable()
{
    emit noUpdateAvailable();
}

void TavriApplication::onVoiceManagerTransmittingChannelChanged(const QString &transmittingChannel)
{
    emit transmittingChannelChanged(transmittingChannel);
}

void TavriApplication::onVoiceManagerCaptureTestRunningChanged(bool running)
{
    qDebug() << "captureTestRunning=" << running;
    emit captureTestRunningChanged(running);
}

void TavriApplication::onVoiceManagerRenderTestRunningChanged(bool running)
{
    qDebug() << "renderTestRunning=" << running;
    emit renderTestRunningChanged(running);
}

namespace {

// Stores the value and emits the change signal only when it differs.
template <typename Value, typename Signal>
void updateAudioProperty(TavriApplication *app, Value &member, Value value, Signal changed)
{
    if (member == value)
        return;
    member = value;
    emit(app->*changed)(value);
}

} // namespace

void TavriApplication::onAuxAudioPropertiesReceived(bool micIsActive, int micVolume, qreal micEnergy,
                                                    bool speakerIsActive, int speakerVolume, qreal speakerEnergy)
{
    updateAudioProperty(this, m_micIsActive, micIsActive, &TavriApplication::micIsActiveChanged);
    updateAudioProperty(this, m_micVolume, micVolume, &TavriApplication::micVolumeChanged);
    updateAudioProperty(this, m_micEnergy, double(micEnergy), &TavriApplication::micEnergyChanged);
    updateAudioProperty(this, m_speakerIsActive, speakerIsActive, &TavriApplication::speakerIsActiveChanged);
    updateAudioProperty(this, m_speakerVolume, speakerVolume, &TavriApplication::speakerVolumeChanged);
    updateAudioProperty(this, m_speakerEnergy, double(speakerEnergy), &TavriApplication::speakerEnergyChanged);
}

void TavriApplication::onConnectorCreateFailed(const QString &reason)
{
    qWarning() << "TavriApplication: Connector create failed handler" << reason;
    m_connectorErrorMessage = reason;
    emit connectorErrorMessageChanged(reason);
    trackEvent(QStringLiteral("Error"), QStringLiteral("SDKConnectorCreate"),
               QStringList{QStringLiteral("m:") + reason});
}

void TavriApplication::onConnectorCreated()
{
    trackEvent(QStringLiteral("Application"), QStringLiteral("SDKConnectorCreated"), QStringList());
}

void TavriApplication::onSdkError(int statusCode, const QString &message, const QString &statusString)
{
    qDebug() << "TavriApplication::onSdkError" << statusCode << message << statusString;
    QStringList params{QStringLiteral("m:") + message, QStringLiteral("s:") + statusString};
    const QString label = QStringLiteral("SDK(") + QString::number(statusCode) + QStringLiteral(") ")
                          + QString::fromUtf8(ox_get_error_string(statusCode)) + QStringLiteral(": ");
    if (LocalUser::getLocalUser(this)->isIdle())
        params.append(QStringLiteral("isIdle:1"));
    // Network-level codes describe the machine's state, not a fault.
    const bool system = statusCode == 1087 || statusCode == 1088 || statusCode == 1089;
    trackEvent(system ? QStringLiteral("System") : QStringLiteral("Error"), label, params);
}

void TavriApplication::onChannelNotFound(const QString &channelURI)
{
    showAlert(tr("Channel %1 does not exist").arg(sessionDisplayName(channelURI)));
}

void TavriApplication::onMediaStreamUpdated(const QString &sessionHandle, bool incoming, int state, const QString &uri)
{
    // `uri` carries the stream's status text.
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversationBySessionHandle(sessionHandle);
    QString address = QStringLiteral("unknown");
    if (conversation) {
        address = conversation->getSipURI();
        const QString transition = conversation->getTransitionSipURI();
        if (!transition.isEmpty())
            address += QLatin1Char('|') + transition;
    }
    trackEvent(QStringLiteral("MediaStreamUpdated"), uri,
               QStringList{QStringLiteral("u:") + address, QStringLiteral("s:") + QString::number(state),
                           QStringLiteral("i:") + (incoming ? QStringLiteral("incoming") : QStringLiteral("outgoing")),
                           QStringLiteral("m:") + uri});
}

void TavriApplication::onSessionRemoved(const QString &sessionURI, const QString &sessionHandle)
{
    qDebug() << "TavriApplication::onSessionRemoved"
             << "- begin" << sessionURI << sessionHandle;
    qDebug() << "Building call stats...";
    QStringList params{QStringLiteral("u:") + sessionURI};
    QString callId;
    // Without a sample the newest row would be a row of empty values.
    if (m_callStats && m_callStats->count() > 0) {
        const QVariantMap last = m_callStats->getLast(false);
        for (auto it = last.cbegin(); it != last.cend(); ++it)
            params.append(it.key() + QLatin1Char(':') + it.value().toString());
        callId = last.value(QStringLiteral("cid")).toString();
    }
    // The call that ended keeps the voice service's own id when it reported
    // one; otherwise the program gives it one, so that a survey about this
    // call can still be told apart from the others.
    if (callId.isEmpty())
        callId = QStringLiteral("tavri-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (m_localUser)
        m_localUser->setLastCallId(callId);
    const bool channel = sessionURI.startsWith(QLatin1String("sip:confctl-"));
    trackEvent(QStringLiteral("SDKEvent"),
               channel ? QStringLiteral("SessionRemoved") : QStringLiteral("PrivateSessionRemoved"), params);
    qDebug() << "TavriApplication::onSessionRemoved"
             << "- end";
}

void TavriApplication::attachLogToCrashReport()
{
    if (ox_get_crash_dump_count() < 1)
        return;
    CrashLogAttachment::attach(sdkLogDirectory(), CrashLogAttachment::crashDumpDirectory(), currentLogFilePath());
}

void TavriApplication::onAudioDeviceProblem(int problem)
{
    Q_UNUSED(problem)
    showAlert(tr("There is a problem with your audio device. Please ensure you have an active input and output "
                 "audio device."));
}

void TavriApplication::onVoiceLoggedOut(const QString &reason)
{
    qDebug() << "TavriApplication::onVoiceLoggedOut" << reason;
    QStringList params;
    if (!reason.isEmpty())
        params.append(QStringLiteral("r:") + reason);
    trackEvent(QStringLiteral("Application"), QStringLiteral("Logout"), params);
}

void TavriApplication::onCouldNotConnectToServer()
{
    trackEvent(QStringLiteral("Application"), QStringLiteral("VoiceServerConnectionFailure"), QStringList());
    const QString text = tr("Lost connection to voice server");
    LocalUser::getLocalUser(this)->onVoiceLoggedOut(text);
    m_connectorErrorMessage = text;
    emit connectorErrorMessageChanged(text);
    // The flag follows the signal, so that the check below reports the
    // network again when it is still there.
    m_networkIsAvailable = false;
    emit networkStateChanged(false);
    checkNetworkStatus();
}

void TavriApplication::onRtpTimeout(const QString &sessionURI)
{
    Q_UNUSED(sessionURI)
    trackEvent(QStringLiteral("Application"), QStringLiteral("RTPTimeout"), QStringList());
}

void TavriApplication::onTonesManagerVoiceChanged(const QString &voiceName)
{
    qDebug() << "TavriApplication::onTonesManagerVoiceChanged" << voiceName;
}

void TavriApplication::onChatColorsChanged(QList<QColor> chatColors)
{
    qDebug() << "TavriApplication::onChatColorsChanged" << chatColors.size();
}

void TavriApplication::onInviteUsersResponses(const QMap<QString, QStringList> &responsesByStatus)
{
    QStringList texts;
    for (auto it = responsesByStatus.cbegin(); it != responsesByStatus.cend(); ++it)
        texts.append(it.key() + QStringLiteral(":\n") + it.value().join(QLatin1Char('\n')));
    emit inviteUsersResponses(texts);
}

// --- conversation and participant notices ---

bool TavriApplication::popupsEnabled(const QString &key)
{
    return StorageManager::getInstance()->getSettingsValue(key, QStringLiteral("true")).toBool();
}

bool TavriApplication::isLocalIdentity(Tavri::IdentityRealmInterface *realm, const QString &uuid) const
{
    if (!m_localUser || uuid.isEmpty())
        return false;
    Tavri::RealmUserInterface *own = m_localUser->getLocalUserIdentity(realm);
    return own && own->getUid() == uuid;
}

void TavriApplication::showParticipantNotice(const QString &text, const QString &conversationName,
                                             const QString &userName)
{
    onLocalUserNotificationReceived(text.arg(conversationName, userName), QString());
}

void TavriApplication::onParticipantChange(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                           const QString &participantUUID, bool joined)
{
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(conversationID);
    // Private chats announce nobody coming and going.
    if (!conversation || conversation->getIsPrivate())
        return;
    const QString conversationName = conversation->getDisplayName();
    if (isLocalIdentity(identityRealm, participantUUID)) {
        if (!popupsEnabled(QStringLiteral("settingsPopupsChatMessage")))
            return;
        const QString text = joined ? tr("You have joined %1") : tr("You have left %1");
        onLocalUserNotificationReceived(text.arg(conversationName), QString());
        return;
    }
    if (!popupsEnabled(QStringLiteral("settingsPopupsOthers")))
        return;
    const QString text = joined ? tr("%2 has joined %1") : tr("%2 has left %1");
    Tavri::RealmUserInterface *user = identityRealm ? identityRealm->getRealmUser(participantUUID) : nullptr;
    const QString name = user ? user->getDisplayName() : QString();
    QObject *userObject = user ? user->getQObject() : nullptr;
    if (!name.isEmpty() || !userObject) {
        showParticipantNotice(text, conversationName, name.isEmpty() ? tr("Someone") : name);
        return;
    }

    // The name is still on its way: wait for it a little, then say
    // "Someone".
    const int timerId = startTimer(joined ? kJoinNoticeWaitMs : kLeaveNoticeWaitMs, Qt::CoarseTimer);
    if (!timerId) {
        showParticipantNotice(text, conversationName, tr("Someone"));
        return;
    }
    PendingNotice notice;
    notice.user = userObject;
    notice.text = text;
    notice.conversationName = conversationName;
    notice.sequence = ++m_noticeSequence;
    notice.nameConnection = connect(userObject, SIGNAL(displayNameUpdated(QString)), this,
                                    SLOT(onConversationParticipantDisplayNameUpdated(QString)));
    // A user that goes away takes its notice along.
    notice.endConnection = connect(userObject, &QObject::destroyed, this, [this, timerId] {
        qDebug() << "TavriApplication: participant gone before its name arrived, notice dropped";
        takePendingNotice(timerId);
    });
    m_timers.insert(timerId, notice);
}

TavriApplication::PendingNotice TavriApplication::takePendingNotice(int timerId)
{
    if (!m_timers.contains(timerId))
        return PendingNotice();
    PendingNotice notice = m_timers.take(timerId);
    QObject::disconnect(notice.nameConnection);
    QObject::disconnect(notice.endConnection);
    killTimer(timerId);
    return notice;
}

void TavriApplication::clearPendingNotices()
{
    const QList<int> ids = m_timers.keys();
    for (int id : ids)
        takePendingNotice(id);
}

void TavriApplication::onConversationParticipantAdded(Tavri::IdentityRealmInterface *identityRealm,
                                                      const QString &conversationID, const QString &participantUUID)
{
    qDebug() << "TavriApplication::onConversationParticipantAdded" << conversationID << participantUUID;
    onParticipantChange(identityRealm, conversationID, participantUUID, true);
}

void TavriApplication::onConversationParticipantRemoved(
    Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID, const QString &participantUUID,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reason)
{
    qDebug() << "TavriApplication::onConversationParticipantRemoved" << conversationID << participantUUID
             << int(reasonCode) << reason;
    onParticipantChange(identityRealm, conversationID, participantUUID, false);
}

void TavriApplication::onConversationParticipantDisplayNameUpdated(const QString &displayName)
{
    QObject *user = sender();
    if (!user || !qobject_cast<Tavri::RealmUserInterface *>(user) || displayName.isEmpty())
        return;
    // Every notice of this participant still waiting (a join and a leave
    // may both be).
    QList<int> ids;
    for (auto it = m_timers.cbegin(); it != m_timers.cend(); ++it) {
        if (it.value().user == user)
            ids.append(it.key());
    }
    std::sort(ids.begin(), ids.end(),
              [this](int a, int b) { return m_timers.value(a).sequence < m_timers.value(b).sequence; });
    for (int id : qAsConst(ids)) {
        const PendingNotice notice = takePendingNotice(id);
        showParticipantNotice(notice.text, notice.conversationName, displayName);
    }
}

void TavriApplication::onExternalAppRelease(const QString &realmName)
{
    qDebug() << "TavriApplication::onExternalAppRelease" << realmName;
    onLocalUserNotificationReceived(tr("Logged out of %1").arg(realmName), QString());
}

void TavriApplication::onConversationDisconnected(
    Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reason)
{
    qDebug() << "TavriApplication::onConversationDisconnected" << conversationID << int(reasonCode) << reason;
    if (!popupsEnabled(QStringLiteral("settingsPopupsOthers")))
        return;
    if (!TAVRI_CHECK(identityRealm))
        return;
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(conversationID);
    if (!conversation || conversation->getIsPrivate())
        return;
    QString text;
    switch (reasonCode) {
    case Tavri::IdentityRealmInterface::DisconnectReasonPasswordRequired:
        text = tr("Problem joining %1: password required.");
        break;
    case Tavri::IdentityRealmInterface::DisconnectReasonAccessDenied:
        text = tr("Problem joining %1: access denied.\nPlease contact channel owner for permission.");
        break;
    default:
        text = tr("You have left %1");
        break;
    }
    onLocalUserNotificationReceived(text.arg(conversation->getDisplayName()), QString());
}

void TavriApplication::onConversationTextMessageReceived(Tavri::IdentityRealmInterface *identityRealm,
                                                         const QString &conversationID, const QString &senderUUID,
                                                         const QString &receiverUUID, const QString &messageText,
                                                         const QDateTime &sentAt)
{
    Q_UNUSED(receiverUUID)
    Q_UNUSED(sentAt)
    if (!popupsEnabled(QStringLiteral("settingsPopupsChatMessage")) || !identityRealm)
        return;
    if (isLocalIdentity(identityRealm, senderUUID))
        return;
    Tavri::RealmUserInterface *sender = identityRealm->getRealmUser(senderUUID);
    const QString name = sender ? sender->getDisplayName() : QString();
    const QString title = tr("Chat message from: %1").arg(name.isEmpty() ? tr("Someone") : name);
    if (!takeBalloonSlot())
        return;
    if (m_trayIcon)
        m_trayIcon->showMessageWithCallback(title, messageText, this, "onSystemTrayConversationMessageClicked",
                                            QSystemTrayIcon::NoIcon, kNotificationBalloonMs,
                                            identityRealm->realmID() + QLatin1Char(':') + conversationID);
}

// --- QML types, context properties and the QML interface ---

void TavriApplication::registerQmlTypes()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;

    // Each type lives in a module of its own name, so QML writes
    // "import Conversation 1.0". Types that only exist with arguments or as
    // the one instance of the program (the local user, the device models, a
    // participant) are published for their enumerations and properties and
    // cannot be made from QML.
    const QString made = QStringLiteral("made by the program only");
    qmlRegisterUncreatableType<LocalUser>("LocalUser", 1, 0, "LocalUser", made);
    qmlRegisterType<Notification>("Notification", 1, 0, "Notification");
    qmlRegisterType<StorageManager>("Settings", 1, 0, "Settings");
    qmlRegisterType<TavriIdentityRealmUser>("RealmUser", 1, 0, "RealmUser");
    qmlRegisterType<QStringListModel>("QStringListModel", 1, 0, "QStringListModel");
    qmlRegisterUncreatableType<CaptureDeviceModel>("CaptureDeviceModel", 1, 0, "CaptureDeviceModel", made);
    qmlRegisterUncreatableType<RenderDeviceModel>("RenderDeviceModel", 1, 0, "RenderDeviceModel", made);

    qRegisterMetaType<SystemInfo *>("SystemInfo*");
    qRegisterMetaType<CallSessionStats *>("CallSessionStats*");
    qRegisterMetaType<ContactList *>("ContactList*");
    qRegisterMetaType<ContactGroupList *>("ContactGroupList*");
    qRegisterMetaType<ConversationList *>("ConversationList*");
    qRegisterMetaType<RealmIdentityList *>("RealmIdentityList*");
    qRegisterMetaType<ConversationParticipantList *>("ConversationParticipantList*");
    qRegisterMetaType<ConversationMessageList *>("ConversationMessageList*");

    qmlRegisterUncreatableType<ConversationParticipant>("ConversationParticipant", 1, 0, "ConversationParticipant",
                                                        made);
    qmlRegisterType<Conversation>("Conversation", 1, 0, "Conversation");
    qmlRegisterType<CFindUsers>("FindUsers", 1, 0, "FindUsers");
    qmlRegisterType<AudioCuesManager>("AudioTonesManager", 1, 0, "AudioTonesManager");
}

bool TavriApplication::openGlAvailable()
{
    QOpenGLContext context;
    if (!context.create())
        return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return false;
    context.doneCurrent();
    return true;
}

QString TavriApplication::chooseSceneGraphBackend(bool (*canUseOpenGl)())
{
    const QString chosen = QQuickWindow::sceneGraphBackend();
    if (!chosen.isEmpty())
        return chosen;
    const QString fromEnvironment = qEnvironmentVariable("QT_QUICK_BACKEND");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    if (canUseOpenGl && !canUseOpenGl()) {
        qWarning() << "TavriApplication::chooseSceneGraphBackend"
                   << "no OpenGL context can be made, drawing windows in software";
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    }
    return QQuickWindow::sceneGraphBackend();
}

void TavriApplication::setQmlRootContextProperties(QQmlContext *context)
{
    if (!context) {
        qWarning() << "TavriApplication::setQmlRootContextProperties"
                   << "no context";
        return;
    }
    if (!m_styleSettled) {
        // The first window: the style manager (made for the shared engine at
        // start-up, else for this context's) applies the stored skin.
        if (!m_styleManager)
            m_styleManager = StyleManager::getInstance(context->engine());
        // A style manager whose style failed to load would hand every
        // window a null styleManager: that is as fatal as having none.
        if (!m_styleManager || !m_styleManager->isValid()) {
            qCritical() << "Failed to load style manager";
            ::exit(0);
        }
        m_styleSettled = true;
        applyStoredSkin();
        m_style = m_styleManager->style();
    }

    LocalUser *user = LocalUser::getLocalUser(this);
    context->setContextProperty(QStringLiteral("mainApp"), this);
    context->setContextProperty(QStringLiteral("localUser"), user);
    context->setContextProperty(QStringLiteral("storageManager"), StorageManager::getInstance());
    context->setContextProperty(QStringLiteral("voiceManager"), m_voiceManager);
    context->setContextProperty(QStringLiteral("localUserNotifications"), user->getNotificationList(false));
    context->setContextProperty(QStringLiteral("findChannels"), FindChannels::getInstance(this));
    context->setContextProperty(QStringLiteral("filePicker"), m_filePicker);
    context->setContextProperty(QStringLiteral("tones"), m_audioCuesManager);
    context->setContextProperty(QStringLiteral("adjustHeight"), false);
    context->setContextProperty(QStringLiteral("tavriIdentityRealm"), TavriIdentityRealm::getInstance());
    context->setContextProperty(QStringLiteral("styleManager"), m_style);
}

void TavriApplication::applyStoredSkin()
{
    const QString skin = StorageManager::getInstance()
                             ->getSettingsValue(QStringLiteral("settingsSkin"), QStringLiteral("Default"))
                             .toString();
    if (skin == StyleManager::defaultStyleName() || StyleManager::setStyle(skin))
        return;
    // The default style stays; the setting is left for a later run.
    qWarning() << "Failed to load selected skin:" << skin;
}

void TavriApplication::setVersion(const QString &version)
{
    if (version == applicationVersion())
        return;
    setApplicationVersion(version);
    emit currentVersionChanged(version);
}

LocalUser *TavriApplication::localUser()
{
    return LocalUser::getLocalUser(this);
}

QString TavriApplication::imageDirPath() const
{
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
}

QString TavriApplication::soundsDirPath() const
{
    // The audio cues manager's folder, so that a sound chooser starts where
    // the default cue sounds lie.
    return AudioCuesManager::soundsDirPath();
}

QString TavriApplication::logfileDirectory() const
{
    return sdkLogDirectory();
}

QString TavriApplication::transmittingChannel() const
{
    return m_voiceManager ? m_voiceManager->getTransmittingChannel() : QString();
}

QString TavriApplication::echoChannel() const
{
    return Conversation::echoChannelURI();
}

bool TavriApplication::captureTestRunning() const
{
    return m_voiceManager && m_voiceManager->captureTestRunning();
}

bool TavriApplication::renderTestRunning() const
{
    return m_voiceManager && m_voiceManager->renderTestRunning();
}

void TavriApplication::setPageId(int pageId)
{
    if (pageId == m_pageId)
        return;
    m_pageId = pageId;
    emit pageIdChanged(pageId);
}

SystemInfo *TavriApplication::systemInfo()
{
    if (!m_systemInfo) {
        qDebug() << "Retrieving system info... DMI...";
        m_systemInfo = new DmiSystemInfo(DmiSystemInfo::defaultDmiFolder(), this);
    }
    return m_systemInfo;
}

bool TavriApplication::advancedAgc() const
{
    return StorageManager::getUseAdvancedAgc();
}

void TavriApplication::setAdvancedAgc(bool enabled)
{
    StorageManager::setUseAdvancedAgc(enabled);
    VoiceManager::setAdvancedAgcEnabled(enabled);
}

QString TavriApplication::currentTTSVoice() const
{
    return m_audioCuesManager ? m_audioCuesManager->getTTSVoice() : QString();
}

QStringList TavriApplication::chatColors() const
{
    QStringList colors;
    if (m_styleManager) {
        for (const QColor &color : m_styleManager->getChatColors())
            colors.append(color.name());
    }
    return colors;
}

void TavriApplication::createAccount(const QString &username, const QString &email, const QString &password)
{
    if (m_socialManager)
        m_socialManager->requestCreateAccount(username, email, password, nullptr, this,
                                              SLOT(onCreateAccountNetworkError(QNetworkReply::NetworkError)));
}

void TavriApplication::checkUsernameAvailability(const QString &username)
{
    if (m_socialManager)
        m_socialManager->requestUserUuidExists(username);
}

void TavriApplication::checkForUpdates()
{
    if (m_socialManager)
        m_socialManager->requestCheckForUpdate();
}

void TavriApplication::requestLogin(const QString &username, const QString &password)
{
    if (m_loginWatchdogTimer) {
        killTimer(m_loginWatchdogTimer);
        m_loginWatchdogTimer = 0;
    }
    LocalUser::getLocalUser(this)->requestLogin(username, password);
    // The state change to LoggingIn may have started it already.
    if (!m_loginWatchdogTimer)
        m_loginWatchdogTimer = startTimer(kLoginWatchdogMs, Qt::CoarseTimer);
}

void TavriApplication::requestLogout(LocalUser *localUser)
{
    (localUser ? localUser : LocalUser::getLocalUser(this))->onLogoutRequested();
}

void TavriApplication::copyChannelLinkToClipboard(Conversation *conversation)
{
    TavriIdentityRealmUser *identity = LocalUser::getLocalUser(this)->tavriidentity();
    if (!conversation || !identity || !m_voiceManager) {
        qDebug() << "TavriApplication::copyChannelLinkToClipboard"
                 << "no channel or not signed in";
        return;
    }
    // Every value is percent-encoded, so no identifier can add or change a
    // field of the link.
    const auto encoded = [](const QString &value) { return QString::fromLatin1(QUrl::toPercentEncoding(value)); };
    const QString longLink = m_voiceManager->downloadServer() + QStringLiteral("/clink/?s=")
                             + encoded(identity->getUid()) + QStringLiteral("&u=")
                             + encoded(conversation->getChannelUID()) + QStringLiteral("&p=")
                             + encoded(conversation->getSipURI());
    // The long link serves at once; the short one replaces it when the
    // shortener answers.
    copyTextToClipboard(longLink);
    LinkShortener *shortener = LinkShortener::create(QUrl(longLink, QUrl::StrictMode), this);
    connect(shortener, &LinkShortener::linkShortened, this, &TavriApplication::onLinkShortened);
    connect(shortener, &LinkShortener::completed, shortener, &QObject::deleteLater);
}

void TavriApplication::copyTextToClipboard(const QString &text)
{
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

QStringList TavriApplication::getAvailableTTSVoices() const
{
    return m_audioCuesManager ? m_audioCuesManager->getAvailableTTSVoices() : QStringList();
}

void TavriApplication::setTTSVoice(const QString &voiceDisplayName)
{
    if (!m_audioCuesManager)
        return;
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsTTSvoice"), voiceDisplayName);
    m_audioCuesManager->setTTSVoice(voiceDisplayName);
}

QStringList TavriApplication::getAvailableStyles() const
{
    return StyleManager::getAvailableStyles();
}

QString TavriApplication::getCurrentStyleName() const
{
    return StyleManager::getCurrentStyleName();
}

void TavriApplication::setStyle(const QString &styleName)
{
    if (!StyleManager::setStyle(styleName)) {
        qDebug() << "TavriApplication::setStyle"
                 << "style refused:" << styleName;
        return;
    }
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsSkin"), styleName);
}

void TavriApplication::toggleStyle()
{
    m_unstyled = !m_unstyled;
    const QString name = m_unstyled ? QStringLiteral("Unstyled") : StyleManager::defaultStyleName();
    const bool applied = StyleManager::setStyle(name);
    qDebug() << "TavriApplication::toggleStyle" << name << (applied ? "applied" : "not available");
}

RenderDeviceModel *TavriApplication::getRenderDevices() const
{
    return m_voiceManager ? m_voiceManager->renderDevices() : nullptr;
}

CaptureDeviceModel *TavriApplication::getCaptureDevices() const
{
    return m_voiceManager ? m_voiceManager->captureDevices() : nullptr;
}

void TavriApplication::setCaptureDeviceByIndex(int index)
{
    CaptureDeviceModel *devices = getCaptureDevices();
    if (!devices)
        return;
    const QString deviceId = devices->getDeviceIdByRow(index);
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsPreferredAudioInputDevice"), deviceId);
    devices->setCurrentDeviceById(deviceId);
}

void TavriApplication::setRenderDeviceByIndex(int index)
{
    RenderDeviceModel *devices = getRenderDevices();
    if (!devices)
        return;
    const QString deviceId = devices->getDeviceIdByRow(index);
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsPreferredAudioOutputDevice"), deviceId);
    devices->setCurrentDeviceById(deviceId);
}

void TavriApplication::setAecEnabled(bool value)
{
    VoiceManager::setAecEnabled(value);
}

void TavriApplication::setAgcEnabled(bool value)
{
    VoiceManager::setAgcEnabled(value);
}

void TavriApplication::setVadEnabled(bool value)
{
    VoiceManager::setVadEnabled(value);
}

QString TavriApplication::keyName(int virtualKey)
{
    switch (virtualKey) {
    case 1:
        return QStringLiteral("LMouse");
    case 2:
        return QStringLiteral("RMouse");
    case 4:
        return QStringLiteral("MMouse");
    case 5:
        return QStringLiteral("XButton1");
    case 6:
        return QStringLiteral("XButton2");
    case 16:
        return QStringLiteral("Shift");
    case 17:
        return QStringLiteral("Ctrl");
    case 18:
        return QStringLiteral("Alt");
    case 91:
        return QStringLiteral("LWin");
    case 92:
        return QStringLiteral("RWin");
    case 93:
        return QStringLiteral("Apps");
    case 160:
        return QStringLiteral("LShift");
    case 161:
        return QStringLiteral("RShift");
    case 162:
        return QStringLiteral("LCtrl");
    case 163:
        return QStringLiteral("RCtrl");
    case 164:
        return QStringLiteral("LAlt");
    case 165:
        return QStringLiteral("RAlt");
    case 347:
        return QStringLiteral("Start");
    default:
        return QString();
    }
}

QString TavriApplication::getKeySequenceString(QList<int> qtKeyCodes, QList<int> nativeVKeyCodes)
{
    return keySequenceText(qtKeyCodes, nativeVKeyCodes);
}

QString TavriApplication::keySequenceText(const QList<int> &qtKeyCodes, const QList<int> &nativeVKeyCodes)
{
    // A push-to-talk combination has at most four keys; more are ignored.
    const int kMaximumKeys = 4;
    QStringList names;
    QList<int> otherKeys;
    const int count = qMin(qtKeyCodes.size(), kMaximumKeys);
    for (int i = 0; i < count; ++i) {
        // Modifiers and mouse buttons get the names of the virtual key, which
        // tell left from right; any other key is named by Qt below.
        QString name = keyName(nativeVKeyCodes.value(i, 0));
        if (name.isEmpty()) {
            switch (qtKeyCodes.at(i)) {
            case Qt::Key_Shift:
                name = QStringLiteral("Shift");
                break;
            case Qt::Key_Control:
                name = QStringLiteral("Ctrl");
                break;
            case Qt::Key_Meta:
                name = QStringLiteral("Meta");
                break;
            case Qt::Key_Alt:
                name = QStringLiteral("Alt");
                break;
            default:
                otherKeys.append(qtKeyCodes.at(i));
                break;
            }
        }
        if (!name.isEmpty())
            names.append(name);
    }
    if (!otherKeys.isEmpty()) {
        const QKeySequence sequence(otherKeys.value(0), otherKeys.value(1), otherKeys.value(2), otherKeys.value(3));
        const QString text = sequence.toString(QKeySequence::NativeText);
        if (!text.isEmpty())
            names.append(text);
    }
    return names.join(QLatin1Char('+'));
}

void TavriApplication::setTtsVolume(ushort volume)
{
    if (m_audioCuesManager)
        m_audioCuesManager->setVolume(volume);
}

ushort TavriApplication::getTtsVolume()
{
    return m_audioCuesManager ? m_audioCuesManager->getVolume() : 0;
}

void TavriApplication::stopTts()
{
    if (m_audioCuesManager)
        m_audioCuesManager->stopSpeaking();
}

void TavriApplication::renderFileToSpeaker(const QString &filename)
{
    if (m_voiceManager)
        m_voiceManager->renderFileToSpeaker(filename);
}

void TavriApplication::startCaptureTest(bool forHeadphones)
{
    if (m_voiceManager)
        m_voiceManager->startCaptureTest(forHeadphones);
}

void TavriApplication::stopCaptureTest()
{
    if (m_voiceManager)
        m_voiceManager->stopCaptureTest();
    m_micEnergy = 0.0;
    emit micEnergyChanged(0);
}

void TavriApplication::startRenderTest()
{
    if (m_voiceManager)
        m_voiceManager->startRenderTest();
}

void TavriApplication::stopRenderTest()
{
    if (m_voiceManager)
        m_voiceManager->stopRenderTest();
    m_speakerEnergy = 0.0;
    emit speakerEnergyChanged(0);
}

int TavriApplication::getDefaultVadSensitivity()
{
    return m_voiceManager ? m_voiceManager->getDefaultVadSensitivity() : 0;
}

int TavriApplication::getDefaultVadNoiseFloor()
{
    return m_voiceManager ? m_voiceManager->getDefaultVadNoiseFloor() : 0;
}

int TavriApplication::getDefaultMicLevel()
{
    return m_voiceManager ? m_voiceManager->getDefaultMicLevel() : 0;
}

int TavriApplication::getDefaultSpeakerLevel()
{
    return m_voiceManager ? m_voiceManager->getDefaultSpeakerLevel() : 0;
}

QString TavriApplication::capitalizeFirstLetter(const QString &text)
{
    if (text.isEmpty())
        return text;
    return text.left(1).toUpper() + text.mid(1);
}

void TavriApplication::activateParentById(int nParentWindowId)
{
    if (nParentWindowId == 1) {
        if (QQuickView *window = m_findUsers ? m_findUsers->getFindWindow() : nullptr)
            window->raise();
        return;
    }
    if (nParentWindowId == 2 || !m_mainFrame)
        return;
    m_mainFrame->raise();
    m_mainFrame->requestActivate();
}

void TavriApplication::requestJoinConversation(const QString &sipURI)
{
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(sipURI);
    if (!conversation) {
        qDebug() << "TavriApplication::requestJoinConversation"
                 << "no conversation found..." << sipURI;
        return;
    }
    conversation->requestJoinConversation(QString());
}

void TavriApplication::requestJoinConversation(const QString &realmID, const QString &conversationID)
{
    LocalUser *user = m_localUser;
    if (!user) {
        qDebug() << "TavriApplication::requestJoinConversation"
                 << "local user doesn't exist yet";
        return;
    }
    Tavri::IdentityRealmInterface *realm =
        m_identityRealmManager ? m_identityRealmManager->getIdentityRealm(realmID) : nullptr;
    if (!realm) {
        qDebug() << "TavriApplication::requestJoinConversation"
                 << "identity realm not available..." << realmID;
        return;
    }
    Tavri::RealmUserInterface *identity = user->getLocalUserIdentity(realm);
    if (!identity) {
        qDebug() << "TavriApplication::requestJoinConversation"
                 << "local user not logged into identity realm..." << realmID;
        return;
    }
    realm->requestJoinConversation(conversationID, identity->getUid(), QString());
}

void TavriApplication::showUserProfileByURI(const QString &userURI)
{
    if (userURI.isEmpty()) {
        qDebug() << "TavriApplication::showUserProfileByURI"
                 << "no user";
        return;
    }
    if (Tavri::RealmUserInterface *user = TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(userURI))
        user->showUserDetails();
}

void TavriApplication::copyCallStatsToClipboard()
{
    if (!m_callStats)
        return;
    // Every role of a sample, its end time included, as one comma-separated
    // column each; a header line of the role names comes first.
    const QHash<int, QByteArray> names = m_callStats->roleNames();
    QStringList header;
    for (int role = CallSessionStats::StartTimeRole; role <= CallSessionStats::UtcEndTimeRole; ++role)
        header.append(QString::fromUtf8(names.value(role)));
    QString table = header.join(QLatin1Char(',')) + QLatin1Char('\n');
    const int rows = m_callStats->rowCount(QModelIndex());
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = m_callStats->index(row, 0);
        QStringList values;
        for (int role = CallSessionStats::StartTimeRole; role <= CallSessionStats::UtcEndTimeRole; ++role)
            values.append(m_callStats->data(index, role).toString());
        table += values.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    copyTextToClipboard(table);
}

void TavriApplication::clearCallStats()
{
    if (m_callStats)
        m_callStats->clear();
}

void TavriApplication::requestConnectionQualityStatsUpdate()
{
    if (m_voiceManager)
        m_voiceManager->requestConnectionQualityStatsUpdate();
}

int TavriApplication::getMousePositionX()
{
    return QCursor::pos().x();
}

int TavriApplication::getMousePositionY()
{
    return QCursor::pos().y();
}

Qt::CursorShape TavriApplication::setCursorShape(Qt::CursorShape cursorShape)
{
    const Qt::CursorShape previous = overrideCursor() ? overrideCursor()->shape() : Qt::ArrowCursor;
    if (m_cursorOverridden)
        changeOverrideCursor(QCursor(cursorShape));
    else
        setOverrideCursor(QCursor(cursorShape));
    m_cursorOverridden = true;
    return previous;
}

void TavriApplication::restoreCursorShape()
{
    if (!m_cursorOverridden)
        return;
    restoreOverrideCursor();
    m_cursorOverridden = false;
}

void TavriApplication::showAlert(const QString &alertMessage)
{
    qDebug() << "TavriApplication::showAlert" << alertMessage;
    if (m_trayIcon)
        m_trayIcon->showMessage(tr("Error"), alertMessage, QSystemTrayIcon::Critical, 10000);
}

void TavriApplication::onStorageDatabaseSetAside(const QString &asidePath)
{
    showAlert(tr("Your saved history could not be read. It was kept as %1 and a new one was started.").arg(asidePath));
}

void TavriApplication::forceCrash()
{
    ox_set_application_crash_data("forcing_crash");
}

QString TavriApplication::readFileContents(const QString &filename, bool showLinks)
{
    QFile file(filename);
    const bool exists = file.exists();
    const bool opened = exists && file.open(QIODevice::ReadOnly);
    if (!opened) {
        qDebug() << "TavriApplication::readFileContents" << filename << "exists:" << exists << "opened:" << opened;
        return QString();
    }
    const QString text = QString::fromUtf8(file.readAll());
    return showLinks ? linkify(text) : text;
}

void TavriApplication::showRealmUserProfile(const QString &realmID, const QString &userUUID)
{
    Tavri::IdentityRealmInterface *realm =
        m_identityRealmManager ? m_identityRealmManager->getIdentityRealm(realmID) : nullptr;
    if (!realm || userUUID.isEmpty()) {
        qDebug() << "TavriApplication::showRealmUserProfile"
                 << "no realm or user" << realmID << userUUID;
        return;
    }
    if (Tavri::RealmUserInterface *user = realm->getRealmUser(userUUID))
        user->showUserDetails();
}

void TavriApplication::requestConversation(const QString &sipURI)
{
    if (sipURI.isEmpty()) {
        qDebug() << "TavriApplication::requestConversation"
                 << "no user";
        return;
    }
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Tavri::RealmUserInterface *user = realm->requestUserInfoUpdateByURI(sipURI);
    if (!user)
        return;
    requestConversation(realm->realmID(), user->getUid());
}

void TavriApplication::requestConversation(const QString &realmID, const QString &userUUID)
{
    Tavri::IdentityRealmInterface *realm =
        m_identityRealmManager ? m_identityRealmManager->getIdentityRealm(realmID) : nullptr;
    if (!realm || userUUID.isEmpty()) {
        qDebug() << "TavriApplication::requestConversation"
                 << "no realm or user" << realmID << userUUID;
        return;
    }
    TavriIdentityRealm *builtIn = TavriIdentityRealm::getInstance();
    if (realm != static_cast<Tavri::IdentityRealmInterface *>(builtIn))
        return;
    auto *user = qobject_cast<TavriIdentityRealmUser *>(
        realm->getRealmUser(userUUID) ? realm->getRealmUser(userUUID)->getQObject() : nullptr);
    if (!user || user->getSipURI().isEmpty()) {
        qDebug() << "TavriApplication::requestConversation"
                 << "user has no address" << userUUID;
        return;
    }
    requestJoinConversation(realmID, user->getSipURI());
}

void TavriApplication::leaveAllVoiceConversations()
{
    if (!m_localUser)
        return;
    ConversationList *conversations = m_localUser->getConversations();
    for (int i = 0; i < conversations->count(); ++i) {
        Conversation *conversation = conversations->at(i);
        if (conversation && !conversation->getOstrelSessionHandle(true).isEmpty()
            && conversation->getVoiceState() == Conversation::VoiceEnabled)
            conversation->requestLeaveConversation(false);
    }
}

bool TavriApplication::isTavriInAccessList()
{
    return true;
}

QString TavriApplication::decorate(const QString &text, const QString &highlight)
{
    if (highlight.isEmpty())
        return text;
    // The term is searched as typed, not as a pattern. The look-ahead skips
    // matches inside tag markup and in an element's text right before its
    // closing tag, so the markup of the text stays intact.
    const QRegularExpression pattern(QStringLiteral("(") + QRegularExpression::escape(highlight)
                                         + QStringLiteral(")(?![^<]*>|[^<>]*</)"),
                                     QRegularExpression::CaseInsensitiveOption);
    QString decorated = text;
    return decorated.replace(pattern, QStringLiteral("<font color=\"red\">\\1</font>"));
}

QVariantList TavriApplication::getChatLogFileList(const QString &realmID, const QString &userUUID)
{
    qDebug() << "TavriApplication::getChatLogFileList" << realmID << userUUID;
    // Only the built-in realm keeps chat logs.
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    if (realmID.isEmpty() || realmID != realm->realmID())
        return QVariantList();
    Tavri::RealmUserInterface *user = realm->getRealmUser(userUUID);
    auto *tavriUser = user ? qobject_cast<TavriIdentityRealmUser *>(user->getQObject()) : nullptr;
    if (!tavriUser || tavriUser->getSipURI().isEmpty())
        return QVariantList();
    Conversation *conversation = realm->getConversation(tavriUser->getSipURI());
    if (!conversation)
        return QVariantList();
    qDebug() << "returning log file list for" << conversation->getDisplayName();
    return conversation->getChatLogFileList();
}

// --- windows ---

bool TavriApplication::needsLoad(const QQuickView *view)
{
    return !view || view->source().isEmpty();
}

QQuickView *TavriApplication::prepareView(QQuickView *&view, Qt::WindowFlags extraFlags)
{
    if (!view) {
        view = new QQuickView(m_qmlEngine, nullptr);
        view->setResizeMode(QQuickView::SizeRootObjectToView);
    }
    if (needsLoad(view)) {
        view->setFlags(view->flags() | Qt::FramelessWindowHint | extraFlags);
        host::WindowStyle::clearTaskbarStyles(view);
        QQmlContext *context = windowContext(view);
        setQmlRootContextProperties(context);
        context->setContextProperty(QStringLiteral("mainViewer"), view);
    }
    return view;
}

QQmlContext *TavriApplication::windowContext(QQuickView *view)
{
    if (!view)
        return nullptr;
    // The views share one engine, whose root context all of them would
    // share as well: each window's QML is made in a context of its own so
    // that "mainViewer" and the other window-local properties stay apart.
    auto *context = view->findChild<QQmlContext *>(QStringLiteral("windowContext"), Qt::FindDirectChildrenOnly);
    if (!context) {
        context = new QQmlContext(view->engine()->rootContext(), view);
        context->setObjectName(QStringLiteral("windowContext"));
    }
    return context;
}

void TavriApplication::loadView(QQuickView *view, const QString &qmlFile)
{
    loadWindowQml(view, QUrl(QString::fromLatin1(kQmlFolder) + qmlFile));
}

void TavriApplication::loadWindowQml(QQuickView *view, const QUrl &url)
{
    if (!view)
        return;
    // The view owns the component and the root it is given.
    auto *component = new QQmlComponent(view->engine(), url, QQmlComponent::PreferSynchronous, view);
    QObject *root = component->isReady() ? component->create(windowContext(view)) : nullptr;
    if (!root) {
        qWarning() << "TavriApplication::loadView"
                   << "cannot load" << url;
        for (const QQmlError &error : component->errors())
            qWarning().noquote() << error.toString();
    }
    view->setContent(url, component, root);
}

void TavriApplication::invokeRootFunction(QQuickView *view, const char *function)
{
    QQuickItem *root = view ? view->rootObject() : nullptr;
    if (!root || root->metaObject()->indexOfMethod(QByteArray(function) + "()") < 0) {
        qDebug() << "TavriApplication::invokeRootFunction" << function << "not available";
        return;
    }
    QMetaObject::invokeMethod(root, function);
}

void TavriApplication::showDialogFrame(QQuickView *view)
{
    showFrame(*view, tpMainFrame, true, true);
}

QPoint TavriApplication::clampFramePosition(const QPoint &position, const QSize &size, int virtualWidth,
                                            int availableHeight)
{
    QPoint result(qMax(0, position.x()), qMax(0, position.y()));
    if (result.x() > virtualWidth)
        result.setX(virtualWidth - size.width());
    if (result.y() > availableHeight)
        result.setY(availableHeight - size.height());
    return result;
}

void TavriApplication::showFrame(QQuickView &frame, TransientParent eTransientParent, bool centered, bool raiseWindow)
{
    switch (eTransientParent) {
    case tpNone:
        qWarning() << "TavriApplication::showFrame"
                   << "eTransientParent == tpNone";
        break;
    case tpMainFrame:
        if (m_mainFrame && m_mainFrame != &frame)
            frame.setTransientParent(m_mainFrame);
        break;
    case tpFindUsers:
        if (QQuickView *findWindow = m_findUsers ? m_findUsers->getFindWindow() : nullptr)
            frame.setTransientParent(findWindow);
        break;
    }

    QScreen *screen = frame.screen() ? frame.screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        frame.show();
        return;
    }
    if (centered) {
        QRect area = screen->availableGeometry();
        if (m_mainFrame && m_mainFrame->screen() && m_mainFrame->screen()->virtualSiblings().size() > 1) {
            const QPoint corner = m_mainFrame->position();
            for (QScreen *sibling : m_mainFrame->screen()->virtualSiblings()) {
                if (sibling->geometry().contains(corner)) {
                    area = sibling->geometry();
                    break;
                }
            }
        }
        QRect geometry = frame.frameGeometry();
        geometry.moveCenter(QPoint((area.left() + area.right()) / 2, (area.top() + area.bottom()) / 2));
        frame.setPosition(geometry.topLeft());
    }
    frame.setPosition(clampFramePosition(frame.position(), frame.size(), screen->virtualGeometry().width(),
                                         screen->availableGeometry().height()));

    frame.show();
    if (raiseWindow) {
        frame.showNormal();
        frame.requestActivate();
        frame.raise();
    }
    if (QQuickItem *root = frame.rootObject()) {
        root->setFlag(QQuickItem::ItemHasContents);
        root->update();
    }
}

QPoint TavriApplication::cascadePosition(const QPoint &start, const QSize &size, const QSize &desktop)
{
    // Stepping by 40 modulo the extent visits extent / gcd(40, extent)
    // positions before it repeats: a window that fits none of them, or one
    // larger than the desktop, goes to 0.
    auto place = [](int from, int extent, int desktopExtent) {
        if (desktopExtent <= 0 || extent > desktopExtent)
            return 0;
        const int cycle = desktopExtent / std::gcd(kCascadeStep, desktopExtent);
        int at = from;
        for (int step = 0; at + extent > desktopExtent; ++step) {
            if (step >= cycle)
                return 0;
            at = (at + kCascadeStep) % desktopExtent;
        }
        return at;
    };
    return QPoint(place(start.x(), size.width(), desktop.width()), place(start.y(), size.height(), desktop.height()));
}

void TavriApplication::cascadeWindow(QWindow *window)
{
    if (!window || !m_mainFrame)
        return;
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QPoint start(m_mainFrame->x() + m_mainFrame->width() + 6, m_mainFrame->y());
    window->setPosition(cascadePosition(start, window->size(), screen->virtualGeometry().size()));
}

void TavriApplication::showLoginPrompt(bool hideMainFrame, bool forceActivate)
{
    if (!m_qmlEngine) {
        qWarning() << "TavriApplication::showLoginPrompt"
                   << "no QML engine before start-up";
        return;
    }
    if (hideMainFrame) {
        emit hideFramesRequested();
        if (m_findUsers)
            m_findUsers->hideFindWindow();
        for (QWindow *window :
             {static_cast<QWindow *>(m_mainFrame), static_cast<QWindow *>(m_settingsWindow),
              static_cast<QWindow *>(m_aboutWindow), static_cast<QWindow *>(m_editPresenceMessagesWindow),
              static_cast<QWindow *>(m_reportIssueWindow), static_cast<QWindow *>(m_inviteFriendsViaEmailWindow)}) {
            if (window)
                window->hide();
        }
    }
    ox_set_application_crash_data("app_at_login");
    const bool load = needsLoad(m_loginPrompt);
    prepareView(m_loginPrompt, Qt::WindowMinimizeButtonHint);
    if (load) {
        m_loginPrompt->setTitle(tr("Tavri: Login"));
        m_loginPrompt->resize(560, 308);
        loadView(m_loginPrompt, QStringLiteral("Login.qml"));
        StartupProbe::watch(m_loginPrompt);
        connect(m_loginPrompt, &QQuickWindow::closing, this, &TavriApplication::onLoginScreenClosing,
                Qt::UniqueConnection);
    }
    showFrame(*m_loginPrompt, tpNone, true, forceActivate);
    setActivationWindow(m_loginPrompt);
    trackEvent(QStringLiteral("Application"), QStringLiteral("ShowLoginPane"), QMap<QString, QString>());
}

void TavriApplication::showMainFrame(bool bringToFront)
{
    if (!m_qmlEngine) {
        qWarning() << "TavriApplication::showMainFrame"
                   << "no QML engine before start-up";
        return;
    }
    if (!m_mainFrame || !m_mainFrame->isVisible() || m_mainFrame->source().isEmpty()) {
        if (m_mainFrame)
            m_mainFrame->setSource(QUrl());
        prepareView(m_mainFrame, Qt::WindowMinimizeButtonHint);
        QQmlContext *context = windowContext(m_mainFrame);
        context->setContextProperty(QStringLiteral("findInstance"), m_friendsDialog);
        context->setContextProperty(QStringLiteral("isInviteFriends"), false);
        m_mainFrame->setTitle(tr("Tavri: Main"));
        m_mainFrame->setMinimumSize(QSize(kMainFrameMinimumWidth, kMainFrameMinimumHeight));
        loadView(m_mainFrame, QStringLiteral("MainFrame.qml"));
        loadMainFrameGeometry();
        connectMainFrame();
    }

    const bool staysOnTop =
        StorageManager::getInstance()->getSettingsValue(QStringLiteral("mainWindow.staysOnTop"), false).toBool();
    if (staysOnTop) {
        m_mainFrame->setFlag(Qt::WindowStaysOnTopHint, true);
    } else {
        m_mainFrame->setFlag(Qt::WindowStaysOnTopHint, false);
        host::WindowStyle::leaveTopmostBand(m_mainFrame);
    }
    showFrame(*m_mainFrame, tpNone, false, bringToFront);
}

void TavriApplication::loadMainFrameGeometry()
{
    StorageManager *storage = StorageManager::getInstance();
    QQuickView *frame = m_mainFrame;
    if (storage->getSettingsValue(QStringLiteral("mainWindow.x"), -1).toInt() == -1) {
        qDebug() << "No saved preferences for position and dimensions for main window...";
        frame->setWidth(kMainFrameMinimumWidth);
        if (frame->height() < kMainFrameMinimumHeight)
            frame->setHeight(kMainFrameMinimumHeight);
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect desktop = screen->geometry();
            frame->setPosition((desktop.width() - frame->width()) / 2, (desktop.height() - frame->height()) / 2);
        }
        return;
    }
    qDebug() << "Loading saved preferences for position and dimensions for main window...";
    frame->setPosition(storage->getSettingsValue(QStringLiteral("mainWindow.x"), 0).toInt(),
                       storage->getSettingsValue(QStringLiteral("mainWindow.y"), 0).toInt());
    frame->setWidth(
        qMax(storage->getSettingsValue(QStringLiteral("mainWindow.width"), 320).toInt(), kMainFrameMinimumWidth));
    if (frame->height() < kMainFrameMinimumHeight) {
        trackEvent(QStringLiteral("MainApp"), QStringLiteral("MinimumHeightReset"),
                   QStringList{QStringLiteral("height:") + QString::number(frame->height()),
                               QStringLiteral("reset:") + QString::number(kMainFrameMinimumHeight)});
        frame->setHeight(kMainFrameMinimumHeight);
    }
}

void TavriApplication::connectMainFrame()
{
    if (!m_mainFrameConnections.isEmpty())
        return;
    QQuickView *frame = m_mainFrame;
    m_mainFrameConnections = {
        connect(frame, &QQuickWindow::closing, this, &TavriApplication::onMainScreenClosing),
        connect(frame, &QWindow::xChanged, this, &TavriApplication::onMainScreenPositionXChanged),
        connect(frame, &QWindow::yChanged, this, &TavriApplication::onMainScreenPositionYChanged),
        connect(frame, &QWindow::widthChanged, this, &TavriApplication::onMainScreenWidthChanged),
        connect(frame, &QWindow::heightChanged, this, &TavriApplication::onMainScreenWidthChanged),
        connect(frame, &QWindow::visibilityChanged, this, &TavriApplication::onMainScreenVisibilityChanged),
        connect(frame, &QWindow::visibleChanged, this, &TavriApplication::onMainScreenVisibleChanged),
    };
}

void TavriApplication::disconnectMainFrame()
{
    disconnectAll(m_mainFrameConnections);
}

void TavriApplication::restartGeometrySave()
{
    if (!m_mainFrame || !m_mainFrame->isVisible() || m_mainFrame->width() <= kSmallestSavedExtent
        || m_mainFrame->height() <= kSmallestSavedExtent)
        return;
    if (m_geometrySaveTimer)
        killTimer(m_geometrySaveTimer);
    m_geometrySaveTimer = startTimer(kGeometrySaveDelayMs, Qt::CoarseTimer);
}

namespace {

// Writes the setting only when its stored value differs.
void storeWhenChanged(StorageManager *storage, const QString &key, int value)
{
    if (storage->getSettingsValue(key, -1).toInt() != value)
        storage->setSettingsValue(key, value);
}

} // namespace

void TavriApplication::saveMainFrameGeometry()
{
    QQuickView *frame = m_mainFrame;
    if (!frame || !frame->isVisible() || frame->width() <= kSmallestSavedExtent
        || frame->height() <= kSmallestSavedExtent)
        return;
    qDebug().nospace() << "Saving main window position and width, x = " << frame->x() << ", y= " << frame->y()
                       << ", width= " << frame->width();
    StorageManager *storage = StorageManager::getInstance();
    storeWhenChanged(storage, QStringLiteral("mainWindow.x"), frame->x());
    storeWhenChanged(storage, QStringLiteral("mainWindow.y"), frame->y());
    storeWhenChanged(storage, QStringLiteral("mainWindow.width"), frame->width());
}

void TavriApplication::saveChatLogGeometry()
{
    QQuickView *frame = m_chatLogWindow;
    if (!frame || !frame->isVisible() || frame->width() <= kSmallestSavedExtent
        || frame->height() <= kSmallestSavedExtent)
        return;
    qDebug().nospace() << "Saving chat log window position and width, x = " << frame->x() << ", y= " << frame->y()
                       << ", width= " << frame->width();
    StorageManager *storage = StorageManager::getInstance();
    storeWhenChanged(storage, QStringLiteral("chatLogWindow.x"), frame->x());
    storeWhenChanged(storage, QStringLiteral("chatLogWindow.y"), frame->y());
    storeWhenChanged(storage, QStringLiteral("chatLogWindow.w"), frame->width());
    storeWhenChanged(storage, QStringLiteral("chatLogWindow.h"), frame->height());
}

void TavriApplication::timerEvent(QTimerEvent *event)
{
    const int id = event->timerId();
    if (id == m_networkCheckTimer) {
        checkNetworkStatus();
        return;
    }
    if (id == m_geometrySaveTimer) {
        killTimer(m_geometrySaveTimer);
        m_geometrySaveTimer = 0;
        saveMainFrameGeometry();
        saveChatLogGeometry();
        return;
    }
    if (id == m_loginWatchdogTimer) {
        killTimer(m_loginWatchdogTimer);
        m_loginWatchdogTimer = 0;
        LocalUser *user = LocalUser::getLocalUser(this);
        const LocalUser::LoginState state = user->getLoginState();
        // An attempt still under way has had its time; in the other states
        // only a pending connector error ends it.
        const bool attempting = state == LocalUser::LoggingIn || state == LocalUser::LoggingInVoice;
        if (state != LocalUser::LoggedIn && state != LocalUser::LoggedOut
            && (attempting || !m_connectorErrorMessage.isEmpty()))
            user->onVoiceLoggedOut(tr("Login timed out - check your network settings and try again later"));
        return;
    }
    if (m_timers.contains(id)) {
        // The participant's name did not come in time.
        const PendingNotice notice = takePendingNotice(id);
        showParticipantNotice(notice.text, notice.conversationName, tr("Someone"));
        return;
    }
    QtSingleApplication::timerEvent(event);
}

bool TavriApplication::networkAvailable() const
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const QNetworkInterface::InterfaceFlags flags = interface.flags();
        if (interface.isValid() && flags.testFlag(QNetworkInterface::IsUp)
            && !flags.testFlag(QNetworkInterface::IsLoopBack))
            return true;
    }
    return false;
}

void TavriApplication::checkNetworkStatus()
{
    const bool available = networkAvailable();
    if (available && !m_connectorErrorMessage.isEmpty()) {
        m_connectorErrorMessage.clear();
        emit connectorErrorMessageChanged(m_connectorErrorMessage);
        if (m_voiceManager)
            m_voiceManager->createConnector();
    }
    if (available == m_networkIsAvailable)
        return;
    m_networkIsAvailable = available;
    qDebug() << "Network status changed, network is available =" << available;
    emit networkStateChanged(available);
}

void TavriApplication::showFindUsers(int mode, Conversation *channel, int inviteMethod, const QString &realmID,
                                     const QString &userUUID)
{
    if (!m_findUsers)
        return;
    switch (mode) {
    case CFindUsers::FindUsersForFriends:
        m_findUsers->showFindUsersForFriends();
        return;
    case CFindUsers::FindUsersForAccessList:
        m_findUsers->showFindUsersForAccessList(channel);
        return;
    case CFindUsers::FindUsersForBannedList:
        m_findUsers->showFindUsersForBannedList(channel);
        return;
    case CFindUsers::FindUsersForModeratorList:
        m_findUsers->showFindUsersForModeratorList(channel);
        return;
    case CFindUsers::FindUsersForInviteFriendsToChannel: {
        Tavri::RealmUserInterface *user = nullptr;
        if (!realmID.isEmpty() && !userUUID.isEmpty() && m_identityRealmManager) {
            if (Tavri::IdentityRealmInterface *realm = m_identityRealmManager->getIdentityRealm(realmID))
                user = realm->getRealmUser(userUUID);
        }
        m_findUsers->showFindUsersForInviteFriendsToChannel(channel, inviteMethod, user);
        return;
    }
    default:
        qDebug() << "TavriApplication::showFindUsers" << mode
                 << (channel ? channel->getDisplayName() : QStringLiteral("-")) << inviteMethod << realmID << userUUID;
        return;
    }
}

void TavriApplication::showGeneralSettings(int page_id)
{
    if (!m_qmlEngine)
        return;
    setPageId(page_id);
    if (!m_settingsWindow) {
        m_settingsWindow = new VirtualKeyCaptureWindow(m_qmlEngine, nullptr);
        m_settingsWindow->setResizeMode(QQuickView::SizeRootObjectToView);
    }
    if (needsLoad(m_settingsWindow)) {
        m_settingsWindow->setFlags(m_settingsWindow->flags() | Qt::FramelessWindowHint);
        host::WindowStyle::clearTaskbarStyles(m_settingsWindow);
        QQmlContext *context = windowContext(m_settingsWindow);
        setQmlRootContextProperties(context);
        context->setContextProperty(QStringLiteral("mainViewer"), m_settingsWindow);
        context->setContextProperty(QStringLiteral("self"), m_settingsWindow);
        context->setContextProperty(QStringLiteral("renderDevices"), getRenderDevices());
        context->setContextProperty(QStringLiteral("captureDevices"), getCaptureDevices());
        m_settingsWindow->setTitle(tr("Settings"));
        m_settingsWindow->setMinimumSize(QSize(800, 520));
        m_settingsWindow->resize(880, 540);
        loadView(m_settingsWindow, QStringLiteral("settings/SettingsWindow.qml"));
        connect(m_settingsWindow, &QQuickWindow::closing, this, &TavriApplication::onAudioSettingsScreenClosing,
                Qt::UniqueConnection);
        if (QQuickItem *root = m_settingsWindow->rootObject()) {
            connect(root, SIGNAL(startCapture()), m_settingsWindow, SLOT(onStartCapture()), Qt::UniqueConnection);
            connect(root, SIGNAL(stopCapture()), m_settingsWindow, SLOT(onStopCapture()), Qt::UniqueConnection);
        }
    }
    showFrame(*m_settingsWindow, tpNone, true, true);
}

void TavriApplication::showAbout()
{
    const bool load = needsLoad(m_aboutWindow);
    prepareView(m_aboutWindow);
    if (load) {
        windowContext(m_aboutWindow)->setContextProperty(QStringLiteral("self"), m_aboutWindow);
        m_aboutWindow->setTitle(tr("About Tavri"));
        m_aboutWindow->setMinimumSize(QSize(600, 410));
        m_aboutWindow->setMaximumSize(QSize(600, 410));
        m_aboutWindow->resize(600, 410);
        loadView(m_aboutWindow, QStringLiteral("AboutDialog.qml"));
    }
    showDialogFrame(m_aboutWindow);
    if (QQuickItem *root = m_aboutWindow->rootObject())
        root->forceActiveFocus();
}

void TavriApplication::showEditPresenceMessages()
{
    const bool load = needsLoad(m_editPresenceMessagesWindow);
    prepareView(m_editPresenceMessagesWindow);
    if (load) {
        m_editPresenceMessagesWindow->setTitle(tr("Edit presence messages"));
        m_editPresenceMessagesWindow->resize(360, 200);
        loadView(m_editPresenceMessagesWindow, QStringLiteral("EditPresenceMessages.qml"));
    }
    showDialogFrame(m_editPresenceMessagesWindow);
}

void TavriApplication::showCreateChannel(const QString &parentURI)
{
    if (!m_localUser) {
        qDebug() << "TavriApplication::showCreateChannel"
                 << "local user doesn't exist yet";
        return;
    }
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Tavri::RealmUserInterface *owner = m_localUser->getLocalUserIdentity(realm);
    if (!owner) {
        qDebug() << "TavriApplication::showCreateChannel"
                 << "local user not logged into identity realm...";
        return;
    }
    auto *ownerUser = qobject_cast<TavriIdentityRealmUser *>(owner->getQObject());
    Conversation *parent = parentURI.isEmpty() ? nullptr : realm->getConversation(parentURI);
    // The realm keeps the new channel, as it keeps every conversation. It is
    // a conversation of the built-in realm from the start (its address comes
    // once the web service has made it), so that the channel list shows it
    // and it can be joined.
    auto *channel = new Conversation(QString(), QString(), QString(), realm);
    channel->setOwnerIdentity(ownerUser);
    if (parent)
        channel->setParentConversation(parent);
    if (!QMetaObject::invokeMethod(channel, "showEditProperties")) {
        qDebug() << "TavriApplication::showCreateChannel"
                 << "no channel editor available";
        channel->deleteLater();
    }
}

void TavriApplication::showReportIssue(const QString &reason)
{
    const bool load = needsLoad(m_reportIssueWindow);
    prepareView(m_reportIssueWindow);
    windowContext(m_reportIssueWindow)->setContextProperty(QStringLiteral("reason"), reason);
    if (load) {
        m_reportIssueWindow->setTitle(tr("Report Issue"));
        m_reportIssueWindow->setMinimumSize(QSize(720, 460));
        m_reportIssueWindow->resize(720, 460);
        loadView(m_reportIssueWindow, QStringLiteral("ReportIssue.qml"));
        connect(m_reportIssueWindow, &QQuickWindow::closing, this, &TavriApplication::onReportIssueClosing,
                Qt::UniqueConnection);
    }
    invokeRootFunction(m_reportIssueWindow, "updateData");
    showDialogFrame(m_reportIssueWindow);
}

void TavriApplication::showInviteFriendsViaEmail(Conversation *channel)
{
    const bool load = needsLoad(m_inviteFriendsViaEmailWindow);
    prepareView(m_inviteFriendsViaEmailWindow);
    windowContext(m_inviteFriendsViaEmailWindow)->setContextProperty(QStringLiteral("invitedChannel"), channel);
    m_inviteFriendsViaEmailWindow->setTitle(channel ? tr("Invite Friends via Email to ") + channel->getDisplayName()
                                                    : tr("Invite Friends via Email to Tavri"));
    if (load) {
        m_inviteFriendsViaEmailWindow->resize(400, 292);
        loadView(m_inviteFriendsViaEmailWindow, QStringLiteral("InviteFriendsViaEmail.qml"));
        connect(m_inviteFriendsViaEmailWindow, &QQuickWindow::closing, this,
                &TavriApplication::onInviteFriendsViaEmailClosing, Qt::UniqueConnection);
    }
    showDialogFrame(m_inviteFriendsViaEmailWindow);
}

void TavriApplication::showHiddenWindow()
{
    const bool load = needsLoad(m_hiddenWindow);
    prepareView(m_hiddenWindow);
    if (load) {
        m_hiddenWindow->setTitle(tr("Internal Use Only"));
        m_hiddenWindow->resize(640, 480);
        loadView(m_hiddenWindow, QStringLiteral("HiddenWindow.qml"));
    }
    showDialogFrame(m_hiddenWindow);
}

void TavriApplication::showPostCallSurvey()
{
    const bool load = needsLoad(m_postCallSurveyWindow);
    prepareView(m_postCallSurveyWindow);
    if (load) {
        m_postCallSurveyWindow->setTitle(tr("Quality Survey"));
        m_postCallSurveyWindow->resize(480, 300);
        loadView(m_postCallSurveyWindow, QStringLiteral("PostCallSurvey.qml"));
    }
    trackEvent(QStringLiteral("Application"), QStringLiteral("ShowPostCallSurvey"), QMap<QString, QString>());
    invokeRootFunction(m_postCallSurveyWindow, "reset");
    showDialogFrame(m_postCallSurveyWindow);
}

void TavriApplication::showTutorial()
{
    const bool load = needsLoad(m_tutorialWindow);
    prepareView(m_tutorialWindow);
    if (load) {
        m_tutorialWindow->setTitle(tr("Tavri: Tutorial"));
        loadView(m_tutorialWindow, QStringLiteral("Tutorial.qml"));
        connect(m_tutorialWindow, &QQuickWindow::closing, this, &TavriApplication::onTutorialScreenClosing,
                Qt::UniqueConnection);
    }
    showFrame(*m_tutorialWindow, tpNone, true, true);
    StorageManager::getInstance()->setShowHint(QStringLiteral("Tutorial"), false);
}

void TavriApplication::closeTutorial()
{
    if (m_tutorialWindow)
        m_tutorialWindow->hide();
}

QDateTime TavriApplication::chatLogTime(const QString &filename)
{
    const QString name = QFileInfo(filename).fileName();
    // "<conversation>_<msecs>.txt"
    static const QRegularExpression underscored(QStringLiteral("_([0-9]+)\\.txt$"));
    // "<msecs>.txt" inside the conversation's folder; a second log begun in
    // the same millisecond has digits after the extension.
    static const QRegularExpression bare(QStringLiteral("^([0-9]+)\\.txt[0-9]*$"));
    QRegularExpressionMatch match = underscored.match(name);
    if (!match.hasMatch())
        match = bare.match(name);
    if (!match.hasMatch())
        return QDateTime();
    bool ok = false;
    const qint64 msecs = match.captured(1).toLongLong(&ok);
    if (!ok)
        return QDateTime();
    return RecentConversation::logFileTimestamp(QString::number(msecs)).toLocalTime();
}

QString TavriApplication::chatLogTitle(const QString &filename, const QString &conversationName)
{
    QString title = tr("Chat log");
    if (!conversationName.isEmpty())
        title += QStringLiteral(": ") + conversationName;
    const QDateTime time = chatLogTime(filename);
    if (time.isValid())
        title += QLatin1Char(' ') + time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    return title;
}

void TavriApplication::showChatLog(const QString &filename, const QString &title)
{
    const bool created = !m_chatLogWindow;
    const bool load = needsLoad(m_chatLogWindow);
    prepareView(m_chatLogWindow);
    if (created) {
        auto restart = [this] { restartGeometrySave(); };
        connect(m_chatLogWindow, &QWindow::xChanged, this, restart);
        connect(m_chatLogWindow, &QWindow::yChanged, this, restart);
        connect(m_chatLogWindow, &QWindow::widthChanged, this, restart);
        connect(m_chatLogWindow, &QWindow::heightChanged, this, restart);
    }
    windowContext(m_chatLogWindow)->setContextProperty(QStringLiteral("filename"), filename);
    m_chatLogWindow->setTitle(title.isEmpty() ? chatLogTitle(filename, chatLogConversationName(filename)) : title);
    if (load) {
        loadView(m_chatLogWindow, QStringLiteral("ChatLog.qml"));
        StorageManager *storage = StorageManager::getInstance();
        qDebug() << "Loading saved preferences for position and dimensions for chat log window...";
        const int x = storage->getSettingsValue(QStringLiteral("chatLogWindow.x"), -1).toInt();
        const int y = storage->getSettingsValue(QStringLiteral("chatLogWindow.y"), -1).toInt();
        const int w = storage->getSettingsValue(QStringLiteral("chatLogWindow.w"), -1).toInt();
        const int h = storage->getSettingsValue(QStringLiteral("chatLogWindow.h"), -1).toInt();
        if (x >= 0 && y >= 0)
            m_chatLogWindow->setPosition(x, y);
        if (w > kSmallestSavedExtent && h > kSmallestSavedExtent)
            m_chatLogWindow->resize(w, h);
    }
    trackEvent(QStringLiteral("Application"), QStringLiteral("ShowChatLog"), QMap<QString, QString>());
    showDialogFrame(m_chatLogWindow);
}

QString TavriApplication::chatLogConversationName(const QString &filename) const
{
    RecentConversations *recent = m_localUser ? m_localUser->getRecentConversations() : nullptr;
    if (!recent)
        return QString();
    const QFileInfo file(filename);
    // "<realm>/<user>/<conversation>/<msecs>.txt": the folders name realm and
    // conversation; "<conversation>_<msecs>.txt": the name carries the
    // conversation's address without "sip:".
    static const QRegularExpression underscored(QStringLiteral("^(.+)_[0-9]+\\.txt$"));
    const QRegularExpressionMatch match = underscored.match(file.fileName());
    const QString conversationFolder = file.dir().dirName();
    QDir realmFolder = file.dir();
    realmFolder.cdUp();
    realmFolder.cdUp();
    const QString realmFolderName = realmFolder.dirName();
    for (int i = 0; i < recent->count(); ++i) {
        RecentConversation *entry = recent->at(i);
        if (!entry)
            continue;
        const QString id = entry->getConversationID();
        const bool byFolders = RecentConversation::folderName(id) == conversationFolder
                               && RecentConversation::folderName(entry->getRealmID()) == realmFolderName;
        const bool byName = match.hasMatch() && id == QStringLiteral("sip:") + match.captured(1);
        if (byFolders || byName)
            return entry->getDisplayName();
    }
    return QString();
}

// --- window slots ---

void TavriApplication::onLoginScreenClosing(QQuickCloseEvent *close)
{
    Q_UNUSED(close)
    LocalUser *user = LocalUser::getLocalUser(this);
    const LocalUser::LoginState state = user->getLoginState();
    if (state == LocalUser::LoggedIn) {
        qDebug() << "LoginWindow closing, but local user is logged in!";
        ViewUnloader::unloadLater(m_loginPrompt);
        return;
    }
    if (m_loginPrompt)
        disconnect(m_loginPrompt, &QQuickWindow::closing, this, &TavriApplication::onLoginScreenClosing);
    qDebug() << "TavriApplication::onLoginScreenClosing"
             << "exiting application with user in login state" << state;
    onAppExit();
}

void TavriApplication::onMainScreenClosing(QQuickCloseEvent *close)
{
    Q_UNUSED(close)
    disconnectMainFrame();
    trackEvent(QStringLiteral("mainApp"), QStringLiteral("mainFrameClosed"), QMap<QString, QString>());
    if (m_audioCuesManager)
        m_audioCuesManager->setMainViewVisible(false);
}

void TavriApplication::onMainScreenVisibilityChanged(QWindow::Visibility visibility)
{
    qDebug() << "m_mainFrame visibility changed" << visibility;
    if (visibility == QWindow::Hidden) {
        onMainScreenClosing(nullptr);
        if (m_audioCuesManager)
            m_audioCuesManager->setMainViewVisible(false);
        return;
    }
    if (m_audioCuesManager)
        m_audioCuesManager->setMainViewVisible(visibility != QWindow::Minimized);
    if (visibility != QWindow::Minimized)
        invokeRootFunction(m_mainFrame, "recheckHeight");
}

void TavriApplication::onMainScreenVisibleChanged(bool visible)
{
    qDebug() << "m_mainFrame visible changed" << visible;
    if (!visible)
        onMainScreenClosing(nullptr);
    if (m_audioCuesManager)
        m_audioCuesManager->setMainViewVisible(visible);
}

void TavriApplication::onMainScreenPositionXChanged(int x)
{
    Q_UNUSED(x)
    restartGeometrySave();
}

void TavriApplication::onMainScreenPositionYChanged(int y)
{
    Q_UNUSED(y)
    restartGeometrySave();
}

void TavriApplication::onMainScreenWidthChanged(int width)
{
    Q_UNUSED(width)
    restartGeometrySave();
}

void TavriApplication::onAudioSettingsScreenClosing(QQuickCloseEvent *close)
{
    Q_UNUSED(close)
    qDebug() << "TavriApplication::onAudioSettingsScreenClosing";
    if (m_voiceManager && m_voiceManager->captureTestRunning())
        stopCaptureTest();
    if (m_voiceManager && m_voiceManager->renderTestRunning())
        stopRenderTest();
    if (m_settingsWindow) {
        m_settingsWindow->deleteLater();
        m_settingsWindow = nullptr;
    }
}

void TavriApplication::onReportIssueClosing(QQuickCloseEvent *close)
{
    Q_UNUSED(close)
    if (!m_reportIssueWindow)
        return;
    // Stays connected: the window may be shown again before the unload, and
    // then keeps its QML, which the next close unloads.
    qDebug() << "Unsetting m_reportIssueWindow source...";
    ViewUnloader::unloadLater(m_reportIssueWindow);
}

void TavriApplication::onInviteFriendsViaEmailClosing(QQuickCloseEvent *close)
{
    Q_UNUSED(close)
    if (!m_inviteFriendsViaEmailWindow)
        return;
    qDebug() << "Clearing inviteFriendsViaEmail window source...";
    // Stays connected, as the report window does.
    ViewUnloader::unloadLater(m_inviteFriendsViaEmailWindow);
}

void TavriApplication::onVoiceDataBlockedWarningWindowClosing(QQuickCloseEvent *close)
{
    Q_UNUSED(close)
    qDebug() << "TavriApplication::onVoiceDataBlockedWarningWindowClosing"
             << "started";
    ViewUnloader::unloadLater(m_networkBlockingVoiceWarningWindow);
    qDebug() << "TavriApplication::onVoiceDataBlockedWarningWindowClosing"
             << "finished";
}

void TavriApplication::onTutorialScreenClosing(QQuickCloseEvent *close)
{
    Q_UNUSED(close)
    ViewUnloader::unloadLater(m_tutorialWindow);
}

// The application's ends of the tray, the reconnect and speech requests,
// the voice service's device and network relays, and the notices.

void TavriApplication::onReconnecting(const QString &reason)
{
    if (m_audioCuesManager)
        m_audioCuesManager->deinit();
    if (!reason.isEmpty())
        qDebug() << "Reconnecting due to" << reason;
    hideAllFrames();
    // The login window without its options, while the user waits.
    showLoginPrompt(false, false);
}

void TavriApplication::onRequestSpeakText(const QString &text, bool immediate)
{
    if (m_audioCuesManager)
        m_audioCuesManager->speakText(text, immediate);
}

void TavriApplication::onSystrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    qDebug() << "TavriApplication::onSystrayActivated" << reason;
    // A plain click only: the context menu and double clicks have their own
    // handling by the platform.
    if (reason == QSystemTrayIcon::Trigger)
        onShowForegroundWindow();
}

void TavriApplication::onSystemTrayInviteMessageClicked(const QString &uri)
{
    qDebug() << "onSystemTrayInviteMessageClicked:" << uri;
    if (!isLoggedIn()) {
        showLoginPrompt(true, true);
        return;
    }
    showMainFrame(true);
    if (Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(uri)) {
        conversation->requestJoinConversation(QString());
        trackEvent(QStringLiteral("Application"), QStringLiteral("JoinChannelFromSystray"), QStringList());
    } else {
        trackEvent(QStringLiteral("Application"), QStringLiteral("JoinChannelFromSystrayFailed_noConv"), QStringList());
    }
}

void TavriApplication::onSystemTrayMessageClicked()
{
    qDebug() << "onSystemTrayInviteMessageClicked";
    if (isLoggedIn())
        showMainFrame(true);
    else
        showLoginPrompt(true, true);
}

void TavriApplication::onSystemTrayPrivateMessageClicked(const QString &uri)
{
    joinConversationFromBalloon(uri);
}

void TavriApplication::onSystemTrayChannelMessageClicked(const QString &uri)
{
    joinConversationFromBalloon(uri);
}

void TavriApplication::joinConversationFromBalloon(const QString &uri)
{
    qDebug() << "TavriApplication::joinConversationFromBalloon" << uri;
    if (!isLoggedIn()) {
        showLoginPrompt(true, true);
        return;
    }
    if (Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(uri))
        conversation->requestJoinConversation(QString());
}

void TavriApplication::onSystemTrayConversationMessageClicked(const QString &realmID_conversationID)
{
    qDebug() << "TavriApplication::onSystemTrayConversationMessageClicked" << realmID_conversationID;
    if (!isLoggedIn()) {
        showLoginPrompt(true, true);
        return;
    }
    // Realm ids hold no colon; conversation ids may.
    const int separator = realmID_conversationID.indexOf(QLatin1Char(':'));
    const QString realmID = separator < 0 ? realmID_conversationID : realmID_conversationID.left(separator);
    const QString conversationID = separator < 0 ? QString() : realmID_conversationID.mid(separator + 1);
    Tavri::IdentityRealmInterface *realm =
        m_identityRealmManager ? m_identityRealmManager->getIdentityRealm(realmID) : nullptr;
    Tavri::RealmUserInterface *identity = realm ? LocalUser::getLocalUser(this)->getLocalUserIdentity(realm) : nullptr;
    if (!identity || conversationID.isEmpty()) {
        qDebug() << "TavriApplication::onSystemTrayConversationMessageClicked"
                 << "no conversation or not signed in to its realm" << realmID;
        return;
    }
    m_identityRealmManager->joinConversationWithStoredPassword(realm, conversationID, identity->getUid(), QString(),
                                                               false);
}

void TavriApplication::onSystemTrayUpdateAvailableMessageClicked(const QString &param)
{
    Q_UNUSED(param)
    const QUrl url(m_availableUpdateLink, QUrl::StrictMode);
    if (!isWebLink(url)) {
        qWarning() << "Invalid update URL:" << m_availableUpdateLink;
        return;
    }
    QDesktopServices::openUrl(url);
}

void TavriApplication::onCreateAccountNetworkError(QNetworkReply::NetworkError error)
{
    if (auto *reply = qobject_cast<QNetworkReply *>(sender()))
        callLoginRoot(m_loginPrompt, "accountCreateFailed", reply->errorString(), true, 2);
    else
        callLoginRoot(m_loginPrompt, "accountCreateFailed", int(error), true, 2);
}

void TavriApplication::onVoiceManagerEffectiveRenderDeviceNameChanged(const QString &deviceName)
{
    emit effectiveRenderDeviceNameChanged(deviceName);
}

void TavriApplication::onVoiceManagerEffectiveCaptureDeviceNameChanged(const QString &deviceName)
{
    emit effectiveCaptureDeviceNameChanged(deviceName);
}

void TavriApplication::onVoiceManagerRenderDeviceNameChanged(const QString &deviceName)
{
    emit renderDeviceNameChanged(deviceName);
}

void TavriApplication::onVoiceManagerCaptureDeviceNameChanged(const QString &deviceName)
{
    emit captureDeviceNameChanged(deviceName);
}

void TavriApplication::onVoiceManagerRenderDeviceIndexChanged(int index)
{
    emit renderDeviceIndexChanged(index);
}

void TavriApplication::onVoiceManagerCaptureDeviceIndexChanged(int index)
{
    emit captureDeviceIndexChanged(index);
}

void TavriApplication::onVoiceManagerNetworkStateChanged(bool networkIsAvailable)
{
    qDebug() << "Network state changed signaled by VoiceManager... networkIsAvailable =" << networkIsAvailable;
    emit networkStateChanged(networkIsAvailable);
}

void TavriApplication::onLinkShortened(const QUrl &url)
{
    if (url.isEmpty())
        return;
    copyTextToClipboard(url.toString());
    if (m_trayIcon)
        m_trayIcon->showMessage(tr("Tavri Channel Hyperlink Copied to Clipboard"),
                                tr("Paste this into an e-mail or game chat to invite your friends."),
                                QSystemTrayIcon::Information, kInformationBalloonMs);
}
