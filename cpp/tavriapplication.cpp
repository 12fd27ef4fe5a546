#include "tavriapplication.h"

#include <QAction>
#include <QDebug>
#include <QFont>
#include <QImage>
#include <QMenu>
#include <QMutex>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickView>
#include <QSettings>
#include <QThread>
#include <QUrl>

#include "audiocuesmanager.h"
#include "callsessionstats.h"
#include "identityrealmmanager.h"
#include "jumplist.h"
#include "logging.h"
#include "ostrelsdk.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "stylemanager.h"
#include "systemtrayicon.h"
#include "tavrisharedidentityrealmmanager.h"
#include "version.h"
#include "voicemanager.h"

namespace {

TavriApplication *s_application = nullptr;

const char kOrganizationDomain[] = "tavri.net";
const char kShortLinkHost[] = "lnk.tavri.net";
const char kLoginQml[] = "qrc:/QML/qml/tavri/Login.qml";
const int kNetworkCheckIntervalMs = 3000;

// Warnings of the program's own QML files become "Error" events. The log
// handler may run on any thread; the event is sent from the GUI thread.
void reportQmlWarning(const QString &message)
{
    TavriApplication *app = TavriApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, [app, message] { app->trackEvent(QStringLiteral("Error"), message, QStringList()); },
                              Qt::AutoConnection);
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

    if (m_loginPrompt)
        m_loginPrompt->close();
    if (m_mainFrame) {
        m_mainFrame->close();
        m_mainFrame->setSource(QUrl());
    }

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
    for (auto it = m_timers.cbegin(); it != m_timers.cend(); ++it)
        killTimer(it.key());
    m_timers.clear();

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
        host::JumpList::clear();

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

    // The views go before the engine they were made with, a child of ours.
    delete m_loginPrompt;
    m_loginPrompt = nullptr;
    delete m_mainFrame;
    m_mainFrame = nullptr;

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
            m_startupLinks.append(arg);
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
    wire(m_voiceConnections, m_voiceManager, SIGNAL(connectorCreated()), this, SLOT(onConnectorCreated()));
    m_voiceManager->createConnector();

    // The web service address keeps the scheme it was given: rewriting
    // "https:" to "http:" would send passwords and session ids in clear.
    const QString apiUrl = m_voiceManager->applicationServer() + QStringLiteral("/gateway.php");
    m_socialManager = new QSocialManager(this, apiUrl, QString::fromLatin1(kShortLinkHost));

    m_identityRealmManager = IdentityRealmManager::getInstance(this);
    m_callStats = new CallSessionStats(this);
    m_audioCuesManager = new AudioCuesManager(this);
    wire(m_otherConnections, m_audioCuesManager, SIGNAL(ttsVoiceChanged(QString)), this,
         SLOT(onTonesManagerVoiceChanged(QString)));

    wireServices();

    m_networkCheckTimer = startTimer(kNetworkCheckIntervalMs, Qt::CoarseTimer);
    setupJumpList();
    setupTray();

    m_qmlEngine = new QQmlEngine(this);
    m_styleManager = StyleManager::getInstance(m_qmlEngine);
    wire(m_otherConnections, m_styleManager, SIGNAL(chatColorsChanged(QList<QColor>)), this,
         SLOT(onChatColorsChanged(QList<QColor>)));

    if (!m_headlessArgument.isEmpty())
        startHeadless(m_headlessArgument);

    // Other services may have asked for the manager first; it ends with the
    // application either way.
    TavriSharedIdentityRealmManager *sharedRealms = TavriSharedIdentityRealmManager::getInstance(this);
    if (!sharedRealms->parent())
        sharedRealms->setParent(this);
    wire(m_otherConnections, sharedRealms, SIGNAL(externalAppRelease(QString)), this,
         SLOT(onExternalAppRelease(QString)));
}

void TavriApplication::wireServices()
{
    VoiceManager *voice = m_voiceManager;
    QSocialManager *social = m_socialManager;

    wire(m_protocolConnections, this, SIGNAL(messageReceived(QString)), this,
         SLOT(onProtocolMessageReceived(QString)));
    wire(m_voiceConnections, voice, SIGNAL(auxAudioPropertiesReceived(bool, int, qreal, bool, int, qreal)), this,
         SLOT(onAuxAudioPropertiesReceived(bool, int, qreal, bool, int, qreal)));
    wire(m_voiceConnections, voice, SIGNAL(connectorCreateFailed(QString)), this,
         SLOT(onConnectorCreateFailed(QString)));
    wire(m_voiceConnections, voice, SIGNAL(sdkError(int, QString, QString)), this,
         SLOT(onSdkError(int, QString, QString)));
    wire(m_voiceConnections, voice, SIGNAL(channelNotFound(QString)), this, SLOT(onChannelNotFound(QString)));
    wire(m_voiceConnections, voice, SIGNAL(mediaStreamUpdated(QString, bool, int, QString)), this,
         SLOT(onMediaStreamUpdated(QString, bool, int, QString)));
    wire(m_voiceConnections, voice, SIGNAL(sessionRemoved(QString, QString)), this,
         SLOT(onSessionRemoved(QString, QString)));
    wire(m_socialConnections, social, SIGNAL(channelFavoriteChanged(QString, bool)), this,
         SLOT(onChannelFavoriteChanged(QString, bool)));
    wire(m_voiceConnections, voice, SIGNAL(transmittingChannelChanged(QString)), this,
         SLOT(onVoiceManagerTransmittingChannelChanged(QString)));
    wire(m_voiceConnections, voice, SIGNAL(audioDeviceProblem(int)), this, SLOT(onAudioDeviceProblem(int)));
    wire(m_callStatsConnections, voice, SIGNAL(sessionStatsReceived(ox_resp_sessiongroup_get_stats_t *)),
         m_callStats, SLOT(onSessionStatsReceived(ox_resp_sessiongroup_get_stats_t *)));
    wire(m_callStatsConnections, voice, SIGNAL(sessionStatReceived(CallSessionStat *)), m_callStats,
         SLOT(onSessionStatReceived(CallSessionStat *)));
    wire(m_socialConnections, social, SIGNAL(inviteUsersResponses(QMap<QString, QStringList>)), this,
         SLOT(onInviteUsersResponses(QMap<QString, QStringList>)));
    wire(m_callStatsConnections, m_callStats, SIGNAL(voiceDataBlocked()), this, SLOT(onVoiceDataBlocked()));
    wire(m_voiceConnections, voice, SIGNAL(captureTestRunningChanged(bool)), this,
         SLOT(onVoiceManagerCaptureTestRunningChanged(bool)));
    wire(m_voiceConnections, voice, SIGNAL(renderTestRunningChanged(bool)), this,
         SLOT(onVoiceManagerRenderTestRunningChanged(bool)));

    m_localUser = LocalUser::getLocalUser(this);
    LocalUser *user = m_localUser;
    wire(m_localUserConnections, social,
         SIGNAL(loginSuccess(QString, QString, QString, QString, QString, QString, QString, QString, QString)), user,
         SLOT(onSocialLoginSuccess(QString, QString, QString, QString, QString, QString, QString, QString, QString)));
    wire(m_localUserConnections, social, SIGNAL(socialLoginFailed(QString)), user,
         SLOT(onSocialLoginFailed(QString)));
    wire(m_socialConnections, social, SIGNAL(addChannelFailed()), this, SLOT(onAddChannelFailed()));
    wire(m_socialConnections, social, SIGNAL(editChannelFailed()), this, SLOT(onEditChannelFailed()));
    wire(m_voiceConnections, voice, SIGNAL(channelConnectTimeout(QString)), this,
         SLOT(onChannelConnectionTimeout(QString)));
    wire(m_voiceConnections, voice, SIGNAL(maximumCallsExceeded(QString)), this,
         SLOT(onMaximumCallsExceeded(QString)));
    wire(m_voiceConnections, voice, SIGNAL(cannotOpenCaptureDevice(QString)), this,
         SLOT(onMaximumCallsExceeded(QString)));
    wire(m_voiceConnections, voice, SIGNAL(cannotAddEchoToSession()), this, SLOT(onCannotAddEchoToSession()));
    wire(m_voiceConnections, voice, SIGNAL(fileNotFoundForPlayback(QString)), this,
         SLOT(onFileNotFoundForPlayback(QString)));
    wire(m_voiceConnections, voice, SIGNAL(voiceLoggedIn()), this, SLOT(onVoiceLoggedIn()));
    wire(m_localUserConnections, voice, SIGNAL(voiceLoggedIn()), user, SLOT(onVoiceLoggedIn()));
    wire(m_voiceConnections, voice, SIGNAL(voiceLoggedOut(QString)), this, SLOT(onVoiceLoggedOut(QString)));
    wire(m_localUserConnections, voice, SIGNAL(voiceLoggedOut(QString)), user, SLOT(onVoiceLoggedOut(QString)));
    wire(m_voiceConnections, voice, SIGNAL(couldNotConnectToServer()), this, SLOT(onCouldNotConnectToServer()));
    wire(m_voiceConnections, voice, SIGNAL(rtpTimeout(QString)), this, SLOT(onRtpTimeout(QString)));
    wire(m_voiceConnections, voice, SIGNAL(rtpRecvTimeout(QString)), this, SLOT(onRtpTimeout(QString)));
    wire(m_localUserConnections, voice, SIGNAL(localMicMuteChanged(bool)), user, SLOT(onLocalMicMuteChanged(bool)));
    wire(m_localUserConnections, voice, SIGNAL(userAppDataReceived(QString, QString)), user,
         SLOT(onUserAppDataReceived(QString, QString)));
    wire(m_localUserConnections, voice, SIGNAL(serverAppDataReceived(QString, QString, QString)), user,
         SLOT(onVoiceNetworkAppDataReceived(QString, QString, QString)));
    wire(m_localUserConnections, social, SIGNAL(friendListRequiresUpdate()), user,
         SLOT(onFriendListRequiresUpdate()));
    wire(m_localUserConnections, voice, SIGNAL(connectorCreateFailed(QString)), user,
         SLOT(onConnectorCreateFailed(QString)));
    wire(m_localUserConnections, user, SIGNAL(loginStateChanged(LocalUser::LoginState, QString)), this,
         SLOT(onLoginStateChanged(LocalUser::LoginState, QString)));
    wire(m_socialConnections, social, SIGNAL(updateAvailable(QString, QString, QString)), this,
         SLOT(onUpdateAvailable(QString, QString, QString)));
    wire(m_socialConnections, social, SIGNAL(noUpdateAvailable()), this, SLOT(onNoUpdateAvailable()));
    wire(m_localUserConnections, user, SIGNAL(notificationReceived(QString, QString)), this,
         SLOT(onLocalUserNotificationReceived(QString, QString)));
    StorageManager *storage = StorageManager::getInstance();
    wire(m_storageConnections, storage, SIGNAL(settingChanged(QString, QVariant)), this,
         SLOT(trackOnSettingChanged(QString, QVariant)));
    wire(m_storageConnections, storage, SIGNAL(newInstall()), this, SLOT(onNewInstall()));
    wire(m_socialConnections, social, SIGNAL(createAccountFailed(QString)), this,
         SLOT(onCreateAccountFailed(QString)));
    wire(m_socialConnections, social, SIGNAL(createAccountSucceeded()), this, SLOT(onCreateAccountSucceeded()));
    wire(m_socialConnections, social, SIGNAL(checkUsernameResponse(QString)), this,
         SLOT(onCheckUsernameResponse(QString)));
    wire(m_localUserConnections, user, SIGNAL(presenceStateChanged(TavriIdentityRealmUser::PresenceState)), this,
         SLOT(onLocalUserPresenceStateChanged(TavriIdentityRealmUser::PresenceState)));
    IdentityRealmManager *realms = m_identityRealmManager;
    wire(m_realmManagerConnections, realms,
         SIGNAL(conversationDisconnected(Tavri::IdentityRealmInterface *, QString,
                                         Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode, QString)),
         this,
         SLOT(onConversationDisconnected(Tavri::IdentityRealmInterface *, QString,
                                         Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode, QString)));
    wire(m_realmManagerConnections, realms,
         SIGNAL(conversationTextMessageReceived(Tavri::IdentityRealmInterface *, QString, QString, QString, QString,
                                                QDateTime)),
         this,
         SLOT(onConversationTextMessageReceived(Tavri::IdentityRealmInterface *, QString, QString, QString, QString,
                                                QDateTime)));
    wire(m_realmManagerConnections, realms,
         SIGNAL(conversationParticipantAdded(Tavri::IdentityRealmInterface *, QString, QString)), this,
         SLOT(onConversationParticipantAdded(Tavri::IdentityRealmInterface *, QString, QString)));
    wire(m_realmManagerConnections, realms,
         SIGNAL(conversationParticipantRemoved(Tavri::IdentityRealmInterface *, QString, QString,
                                               Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode,
                                               QString)),
         this,
         SLOT(onConversationParticipantRemoved(Tavri::IdentityRealmInterface *, QString, QString,
                                               Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode,
                                               QString)));
}

void TavriApplication::wire(QList<QMetaObject::Connection> &group, QObject *sender, const char *signal,
                            QObject *receiver, const char *slot)
{
    if (!sender || !receiver)
        return;
    // The texts carry a type code in front and may carry a source location
    // after a NUL, which the C string ends before.
    const QByteArray signalSignature = QMetaObject::normalizedSignature(signal + 1);
    const QByteArray slotSignature = QMetaObject::normalizedSignature(slot + 1);
    if (sender->metaObject()->indexOfSignal(signalSignature) < 0
        || receiver->metaObject()->indexOfMethod(slotSignature) < 0
        || !QMetaObject::checkConnectArgs(signalSignature, slotSignature)) {
        qDebug().noquote() << "TavriApplication::initialize not wired, member not available:"
                           << sender->metaObject()->className() << signalSignature << "->"
                           << receiver->metaObject()->className() << slotSignature;
        return;
    }
    group.append(connect(sender, signal, receiver, slot));
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

QString TavriApplication::hideSecretsInMessage(const QString &message)
{
    const QString separator = QStringLiteral("<!>");
    QStringList parts = message.split(separator, Qt::KeepEmptyParts);
    for (QString &part : parts)
        part = hideSecrets(part);
    return parts.join(separator);
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
    // A missing file leaves the untranslated texts.
    m_translator.load(QStringLiteral("tavri_") + name, m_applicationDirPath);
    m_translatorInstalled = installTranslator(&m_translator);
    emit languageChanged();
}

void TavriApplication::setupJumpList()
{
    const host::JumpTask exitTask{QStringLiteral("Exit Tavri"), QStringLiteral("Tavri will exit."),
                                  QCoreApplication::applicationFilePath(), {QStringLiteral("-quit")}};
    const int result = host::JumpList::setTasks({exitTask});
    if (result != 0)
        qDebug() << "TavriApplication::setupJumpList" << "tasks not set, error" << result;
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
    wire(m_localUserConnections, m_showAsOnlineAction, SIGNAL(triggered()), m_localUser, SLOT(onSetPresenceOnline()));
    m_showAsAwayAction = m_menu->addAction(tr("Show as Away"));
    wire(m_localUserConnections, m_showAsAwayAction, SIGNAL(triggered()), m_localUser, SLOT(onSetPresenceAway()));
    m_showAsOnlineAction->setVisible(false);
    m_showAsAwayAction->setVisible(false);
    m_menu->addSeparator();
    m_menu->addAction(tr("Exit"), this, &TavriApplication::onAppExit);
    QFont menuFont = m_menu->font();
    menuFont.setPointSize(10);
    m_menu->setFont(menuFont);

    qDebug() << "Initializing system tray icon...";
    if (m_trayIcon)
        m_trayIcon->deleteLater();
    m_trayIcon = new SystemTrayIcon(QIcon(QStringLiteral(":/textures/Logo.png")), this);
    m_trayIcon->setToolTip(tr("Tavri Application"));
    m_trayIcon->setContextMenu(m_menu);
    m_trayIcon->showTrayIcon();
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

bool TavriApplication::requestSharedRealm(const QString &requesterId, const QString &token,
                                          const QString &outputPipe, const QString &inputPipe,
                                          const QString &clientLibVersion)
{
    TavriSharedIdentityRealmManager *sharedRealms = TavriSharedIdentityRealmManager::getInstance();
    TavriSharedIdentityRealm *realm =
        sharedRealms->createRealm(requesterId, token, outputPipe, inputPipe, clientLibVersion);
    if (!realm)
        return false;
    realm->setClientLibVersion(clientLibVersion);
    return true;
}

void TavriApplication::setQmlRootContextProperties(QQmlContext *context)
{
    context->setContextProperty(QStringLiteral("mainApp"), this);
    context->setContextProperty(QStringLiteral("localUser"), LocalUser::getLocalUser(this));
    context->setContextProperty(QStringLiteral("storageManager"), StorageManager::getInstance());
    context->setContextProperty(QStringLiteral("voiceManager"), m_voiceManager);
    context->setContextProperty(QStringLiteral("tones"), m_audioCuesManager);
    context->setContextProperty(QStringLiteral("adjustHeight"), false);
    context->setContextProperty(QStringLiteral("styleManager"), m_styleManager ? m_styleManager->style() : nullptr);
}

void TavriApplication::showLoginPrompt(bool hideMainFrame, bool forceActivate)
{
    if (!m_qmlEngine) {
        qWarning() << "TavriApplication::showLoginPrompt" << "no QML engine before start-up";
        return;
    }
    if (hideMainFrame && m_mainFrame)
        m_mainFrame->hide();
    if (!m_loginPrompt)
        m_loginPrompt = new QQuickView(m_qmlEngine, nullptr);
    if (m_loginPrompt->source().isEmpty()) {
        setQmlRootContextProperties(m_loginPrompt->rootContext());
        m_loginPrompt->rootContext()->setContextProperty(QStringLiteral("mainViewer"), m_loginPrompt);
        m_loginPrompt->setTitle(tr("Tavri: Login"));
        m_loginPrompt->resize(560, 308);
        m_loginPrompt->setSource(QUrl(QString::fromLatin1(kLoginQml)));
    }
    m_loginPrompt->show();
    if (forceActivate) {
        m_loginPrompt->raise();
        m_loginPrompt->requestActivate();
    }
    setActivationWindow(m_loginPrompt);
    trackEvent(QStringLiteral("Application"), QStringLiteral("ShowLoginPane"), QMap<QString, QString>());
}

void TavriApplication::hideAllFrames()
{
    emit hideFramesRequested();
    if (m_loginPrompt)
        m_loginPrompt->hide();
    if (m_mainFrame)
        m_mainFrame->hide();
}

void TavriApplication::minimizeAllFrames()
{
    emit minimizeFramesRequested();
    for (QQuickView *view : {m_loginPrompt, m_mainFrame}) {
        if (view && view->isVisible() && !view->source().isEmpty() && view->visibility() != QWindow::Hidden
            && view->visibility() != QWindow::Minimized)
            view->showMinimized();
    }
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
    Q_UNUSED(eventType)
    Q_UNUSED(message)
    Q_UNUSED(result)
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
    if (m_trayIcon)
        m_trayIcon->hideTrayIcon();
    for (int *timerId : {&m_networkCheckTimer, &m_loginWatchdogTimer, &m_geometrySaveTimer}) {
        if (*timerId)
            killTimer(*timerId);
        *timerId = 0;
    }
    for (auto it = m_timers.cbegin(); it != m_timers.cend(); ++it)
        killTimer(it.key());
    m_timers.clear();
    emit exiting();
    quit();
}

void TavriApplication::onShowForegroundWindow()
{
    qDebug() << "TavriApplication::onShowForegroundWindow";
    if (QWindow *window = activationWindow()) {
        window->show();
        requestActivate();
    }
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
    if (parts.contains(QStringLiteral("-quit"))) {
        onAppExit();
    } else if (parts.first().startsWith(QLatin1String("-svc"))) {
        const QString value = parts.first().mid(4);
        if (!value.isEmpty())
            startHeadless(value);
    } else {
        qDebug() << "TavriApplication::onProtocolMessageReceived" << "not handled:" << hideSecrets(parts.first());
    }
}

// The application's ends of the start-up wiring whose handling is still to
// come: each logs what arrived.

void TavriApplication::onLoggedIn()
{
    qDebug() << "TavriApplication::onLoggedIn";
}

void TavriApplication::onLoggedOut(const QString &reason)
{
    qDebug() << "TavriApplication::onLoggedOut" << reason;
}

void TavriApplication::onNewInstall()
{
    qDebug() << "TavriApplication::onNewInstall";
}

void TavriApplication::onCreateAccountFailed(const QString &message)
{
    qDebug() << "TavriApplication::onCreateAccountFailed" << message;
}

void TavriApplication::onCreateAccountSucceeded()
{
    qDebug() << "TavriApplication::onCreateAccountSucceeded";
}

void TavriApplication::onCheckUsernameResponse(const QString &response)
{
    qDebug() << "TavriApplication::onCheckUsernameResponse" << response;
}

void TavriApplication::onLoginStateChanged(LocalUser::LoginState loginState, const QString &reason)
{
    qDebug() << "TavriApplication::onLoginStateChanged" << loginState << reason;
    m_reconnecting = (loginState == LocalUser::DisconnectedReconnecting);
}

void TavriApplication::onVoiceLoggedIn()
{
    qDebug() << "TavriApplication::onVoiceLoggedIn";
}

void TavriApplication::onLocalUserNotificationReceived(const QString &notificationUID, const QString &message)
{
    qDebug() << "TavriApplication::onLocalUserNotificationReceived" << notificationUID << message;
}

void TavriApplication::onLocalUserPresenceStateChanged(TavriIdentityRealmUser::PresenceState presenceState)
{
    qDebug() << "TavriApplication::onLocalUserPresenceStateChanged" << int(presenceState);
}

void TavriApplication::onChannelFavoriteChanged(const QString &channelURI, bool wasAdded)
{
    qDebug() << "TavriApplication::onChannelFavoriteChanged" << channelURI << wasAdded;
}

void TavriApplication::onAddChannelFailed()
{
    qDebug() << "TavriApplication::onAddChannelFailed";
}

void TavriApplication::onEditChannelFailed()
{
    qDebug() << "TavriApplication::onEditChannelFailed";
}

void TavriApplication::onChannelConnectionTimeout(const QString &channelURI)
{
    qDebug() << "TavriApplication::onChannelConnectionTimeout" << channelURI;
}

void TavriApplication::onMaximumCallsExceeded(const QString &channelURI)
{
    qDebug() << "TavriApplication::onMaximumCallsExceeded" << channelURI;
}

void TavriApplication::onCannotAddEchoToSession()
{
    qDebug() << "TavriApplication::onCannotAddEchoToSession";
}

void TavriApplication::onFileNotFoundForPlayback(const QString &filename)
{
    qDebug() << "TavriApplication::onFileNotFoundForPlayback" << filename;
}

void TavriApplication::onVoiceDataBlocked()
{
    qDebug() << "TavriApplication::onVoiceDataBlocked";
}

void TavriApplication::onUpdateAvailable(const QString &updateVersion, const QString &updateLink,
                                         const QString &updateMessage)
{
    qDebug() << "TavriApplication::onUpdateAvailable" << updateVersion << updateLink << updateMessage;
}

void TavriApplication::onNoUpdateAvailable()
{
    qDebug() << "TavriApplication::onNoUpdateAvailable";
}

void TavriApplication::onVoiceManagerTransmittingChannelChanged(const QString &transmittingChannel)
{
    qDebug() << "TavriApplication::onVoiceManagerTransmittingChannelChanged" << transmittingChannel;
}

void TavriApplication::onVoiceManagerCaptureTestRunningChanged(bool running)
{
    qDebug() << "TavriApplication::onVoiceManagerCaptureTestRunningChanged" << running;
}

void TavriApplication::onVoiceManagerRenderTestRunningChanged(bool running)
{
    qDebug() << "TavriApplication::onVoiceManagerRenderTestRunningChanged" << running;
}

void TavriApplication::onAuxAudioPropertiesReceived(bool micIsActive, int micVolume, qreal micEnergy,
                                                    bool speakerIsActive, int speakerVolume, qreal speakerEnergy)
{
    qDebug() << "TavriApplication::onAuxAudioPropertiesReceived" << micIsActive << micVolume << micEnergy
             << speakerIsActive << speakerVolume << speakerEnergy;
}

void TavriApplication::onConnectorCreateFailed(const QString &reason)
{
    qDebug() << "TavriApplication::onConnectorCreateFailed" << reason;
}

void TavriApplication::onConnectorCreated()
{
    qDebug() << "TavriApplication::onConnectorCreated";
}

void TavriApplication::onSdkError(int statusCode, const QString &message, const QString &statusString)
{
    qDebug() << "TavriApplication::onSdkError" << statusCode << message << statusString;
}

void TavriApplication::onChannelNotFound(const QString &channelURI)
{
    qDebug() << "TavriApplication::onChannelNotFound" << channelURI;
}

void TavriApplication::onMediaStreamUpdated(const QString &sessionHandle, bool incoming, int state,
                                            const QString &uri)
{
    qDebug() << "TavriApplication::onMediaStreamUpdated" << sessionHandle << incoming << state << uri;
}

void TavriApplication::onSessionRemoved(const QString &sessionURI, const QString &sessionHandle)
{
    qDebug() << "TavriApplication::onSessionRemoved" << sessionURI << sessionHandle;
}

void TavriApplication::onAudioDeviceProblem(int problem)
{
    qDebug() << "TavriApplication::onAudioDeviceProblem" << problem;
}

void TavriApplication::onVoiceLoggedOut(const QString &reason)
{
    qDebug() << "TavriApplication::onVoiceLoggedOut" << reason;
}

void TavriApplication::onCouldNotConnectToServer()
{
    qDebug() << "TavriApplication::onCouldNotConnectToServer";
}

void TavriApplication::onRtpTimeout(const QString &sessionURI)
{
    qDebug() << "TavriApplication::onRtpTimeout" << sessionURI;
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
    qDebug() << "TavriApplication::onInviteUsersResponses" << responsesByStatus.keys();
}

void TavriApplication::onConversationParticipantAdded(Tavri::IdentityRealmInterface *identityRealm,
                                                      const QString &conversationID, const QString &participantUUID)
{
    Q_UNUSED(identityRealm)
    qDebug() << "TavriApplication::onConversationParticipantAdded" << conversationID << participantUUID;
}

void TavriApplication::onConversationParticipantRemoved(
    Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID, const QString &participantUUID,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reason)
{
    Q_UNUSED(identityRealm)
    qDebug() << "TavriApplication::onConversationParticipantRemoved" << conversationID << participantUUID
             << int(reasonCode) << reason;
}

void TavriApplication::onExternalAppRelease(const QString &realmName)
{
    qDebug() << "TavriApplication::onExternalAppRelease" << realmName;
}

void TavriApplication::onConversationDisconnected(
    Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reason)
{
    Q_UNUSED(identityRealm)
    qDebug() << "TavriApplication::onConversationDisconnected" << conversationID << int(reasonCode) << reason;
}

void TavriApplication::onConversationTextMessageReceived(Tavri::IdentityRealmInterface *identityRealm,
                                                         const QString &conversationID, const QString &senderUUID,
                                                         const QString &receiverUUID, const QString &messageText,
                                                         const QDateTime &sentAt)
{
    Q_UNUSED(identityRealm)
    Q_UNUSED(messageText)
    qDebug() << "TavriApplication::onConversationTextMessageReceived" << conversationID << senderUUID
             << receiverUUID << sentAt;
}
