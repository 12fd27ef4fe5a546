#include "voicemanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QList>
#include <QQmlError>
#include <QRegularExpression>
#include <QScopedPointer>
#include <QStandardPaths>
#include <QThread>
#include <QTimerEvent>
#include <QUrl>
#include <QVariant>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "callsessionstat.h"
#include "capturedevicemodel.h"
#include "conversation.h"
#include "logcategories.h"
#include "logging.h"
#include "renderdevicemodel.h"
#include "reportassertionfailure.h"
#include "runtimesettingsfile.h"
#include "sdkrequestclient.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "virtualkeyinfo.h"

namespace {

// Set by the constructor and cleared at the start of shutdown on the main
// thread; read by the SDK's notification thread.
std::atomic<VoiceManager *> s_instance{nullptr};

const char kProductionDomain[] = "voice.tavri.net";
const char kDevelopmentDomain[] = "voice-dev.tavri.net";
const char kDevelopmentWebHost[] = "dev.tavri.net";
const char kDownloadHost[] = "www.tavri.net";

constexpr int kConnectorTimerMs = 5000;
// How long the exit waits for the voice logout's answer before it ends the
// event loop anyway; one place, so that tests can shorten it.
int s_exitLogoutTimeoutMs = 30000;
constexpr int kShutdownWaitMs = 3000;
constexpr int kShutdownPollMs = 50;
// The program folder in the initialisation record: at most this many
// characters and a terminating zero.
constexpr int kAppFolderChars = 254;

// An SDK text, UTF-8 like every text handed to the SDK; null reads as empty.
QString sdkText(const char *text)
{
    return QString::fromUtf8(text ? text : "");
}

QByteArray sdkBytes(const QString &text)
{
    return text.toUtf8();
}

// A server address from RuntimeSettings.qml: a value that names its scheme
// is kept as it is, any other gets "https://" in front.
QString serverAddress(const QString &value)
{
    if (value.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || value.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return value;
    return QStringLiteral("https://") + value;
}

// How long a RuntimeSettings.qml script may run before it is stopped.
constexpr int kRuntimeSettingsTimeLimitMs = 3000;

// Issues one of the audio queries that go out before any connector, without
// a cookie.
template <typename Record>
void issueWithoutCookie(int (*create)(Record **))
{
    Record *record = nullptr;
    if (create(&record) == 0 && record)
        ox_issue_request(&record->base);
    else
        qWarning() << "Could not create an SDK audio query";
}

} // namespace

VoiceManager::VoiceManager(int sdkLogLevel, const QString &applicationDirPath, bool useDevelopmentServers,
                           QObject *parent)
    : QObject(parent)
{
    qDebug().noquote() << "VoiceManager::VoiceManager" << applicationDirPath << sdkLogLevel;
    VoiceManager *none = nullptr;
    if (!TAVRI_CHECK(s_instance.compare_exchange_strong(none, this)))
        s_instance.store(this);

    qRegisterMetaType<CallSessionStat *>();
    fillVirtualKeyTable();
    initializeSdk(applicationDirPath);

    m_applicationDirPath = applicationDirPath;
    m_requestClient = new SdkRequestClient;
    m_requestClient->setConnectorLogLevel(sdkLogLevel);
    m_captureDevices = new CaptureDeviceModel(this, this);
    m_renderDevices = new RenderDeviceModel(this, this);

    // The SDK notifies on its own thread; the queued connection moves all
    // message handling onto the main thread.
    connect(this, &VoiceManager::sdkMessageAvailable, this, &VoiceManager::onSdkMessageAvailable, Qt::QueuedConnection);
    ox_register_message_notification_handler(&VoiceManager::sdkMessageCallback, nullptr);
    ox_register_logging_initialization(2, nullptr, nullptr, nullptr, sdkLogLevel, &VoiceManager::onSdkLogMessage);

    loadServerSettings(applicationDirPath, useDevelopmentServers);
    issueDirectAudioQueries();
}

VoiceManager::~VoiceManager()
{
    qDebug() << "VoiceManager destructor";
    shutdown();
    qDebug() << "VoiceManager destructor end";
}

void VoiceManager::initializeSdk(const QString &applicationDirPath)
{
    ox_config_t config;
    std::memset(&config, 0, sizeof config);
    ox_get_default_config(&config);
    config.notification_mode = 1;
    // The SDK takes the folder as plain ASCII; other characters become '?'
    // and the copy is cut to fit, always leaving the terminating zero.
    const int length = qMin(applicationDirPath.size(), kAppFolderChars);
    for (int i = 0; i < length; ++i) {
        const ushort unicode = applicationDirPath.at(i).unicode();
        config.app_folder[i] = (unicode > 0 && unicode < 0x80) ? static_cast<char>(unicode) : '?';
    }
    config.app_folder[length] = '\0';
    config.suppress_crash_guard = 0;
    config.advanced_agc_enabled = StorageManager::getUseAdvancedAgc() ? 1 : 0;

    const int result = ox_initialize3(&config, static_cast<int>(sizeof config));
    if (result != 0) {
        qCritical() << "Error: ox_initialize3() returned" << result << "- ending the program";
        std::_Exit(result);
    }
    ox_set_capture_derumbler_enabled(1);
}

void VoiceManager::issueDirectAudioQueries()
{
    issueWithoutCookie(ox_req_aux_get_vad_properties_create);
    issueWithoutCookie(ox_req_aux_get_mic_level_create);
    issueWithoutCookie(ox_req_aux_get_speaker_level_create);
}

VoiceManager *VoiceManager::getInstance()
{
    return s_instance.load();
}

QString VoiceManager::defaultDomain(bool useDevelopmentServers)
{
    return QString::fromLatin1(useDevelopmentServers ? kDevelopmentDomain : kProductionDomain);
}

int VoiceManager::getVirtualKeyCodeByName(const QString &name)
{
    return VirtualKeyInfo::codeByShortName(name);
}

void VoiceManager::loadServerSettings(const QString &applicationDirPath, bool useDevelopmentServers)
{
    Q_UNUSED(applicationDirPath)
    const QString path =
        QStandardPaths::writableLocation(QStandardPaths::DataLocation) + QStringLiteral("/RuntimeSettings.qml");
    qDebug().noquote() << "Checking for local override settings" << path;

    const QString defaultVoiceDomain = defaultDomain(useDevelopmentServers);
    m_domain = defaultVoiceDomain;
    m_applicationServer = QStringLiteral("https://social.") + m_domain;
    m_downloadServer =
        QStringLiteral("https://") + QString::fromLatin1(useDevelopmentServers ? kDevelopmentWebHost : kDownloadHost);

    if (QFile::exists(path)) {
        // A file that does not load cleanly (syntax or script errors, a
        // script that does not end, a need for the network) changes nothing:
        // half-applied server settings would be worse than none.
        const RuntimeSettingsFile::Result settings = RuntimeSettingsFile::read(path, kRuntimeSettingsTimeLimitMs);
        if (!settings.loaded || !settings.errors.isEmpty()) {
            for (const QString &error : settings.errors)
                qWarning().noquote() << "RuntimeSettings.qml ignored:" << error;
        }
        if (settings.loaded) {
            if (!settings.domain.isEmpty()) {
                m_domain = settings.domain;
                qDebug().noquote() << "Using RuntimeSettings domain" << m_domain;
            }
            if (!settings.applicationServer.isEmpty()) {
                m_applicationServer = serverAddress(settings.applicationServer);
                qDebug().noquote() << "Using RuntimeSettings applicationServer" << m_applicationServer;
            }
            if (!settings.downloadServer.isEmpty()) {
                m_downloadServer = serverAddress(settings.downloadServer);
                qDebug().noquote() << "Using RuntimeSettings downloadServer" << m_downloadServer;
            }
        }
    }

    m_isDefaultDomain = (m_domain == defaultVoiceDomain);
    // The database file names drop the voice domain, so the settings service
    // needs it before any database is opened.
    StorageManager::getInstance()->setVoiceDomain(m_domain);
}

QString VoiceManager::connectorUrl() const
{
    static const QRegularExpression fourLabels(QStringLiteral("^.+\\..+\\..+\\..+$"));
    QString url = QStringLiteral("https://");
    if (!fourLabels.match(m_domain).hasMatch())
        url += QStringLiteral("www.");
    return url + m_domain + QStringLiteral("/api2");
}

void VoiceManager::createConnector()
{
    if (!m_requestClient)
        return;
    if (m_connectorHandle.isEmpty()) {
        // The SDK appends its file prefix to the folder, so the trailing
        // separator stays.
        const QString folder = sdkLogDirectory();
        if (folder.isEmpty())
            qWarning() << "No log folder for the voice SDK";
        const QString logFolder = folder.isEmpty() ? QString() : folder + QLatin1Char('/');
        const QString address = connectorUrl();
        m_requestClient->connectorCreate(sdkBytes(address), QByteArray(), m_minimumPort, m_maximumPort,
                                         QFile::encodeName(logFolder));
        if (!m_connectorTimer)
            m_connectorTimer = startTimer(kConnectorTimerMs);
        qDebug().noquote().nospace() << "Ostrel connector created with address " << address;
    }

    if (!m_connectorSignalsConnected) {
        m_connectorSignalsConnected = true;
        connect(this, &VoiceManager::connectorCreated, this, &VoiceManager::onConnectorCreated);
        connect(this, &VoiceManager::voiceLoggedIn, this, &VoiceManager::onVoiceLoggedIn);
        connect(this, &VoiceManager::voiceLoggedOut, this, &VoiceManager::onVoiceLoggedOut);
        connect(this, &VoiceManager::stopLoginTimer, this, &VoiceManager::onStopLoginTimer);
        connect(this, &VoiceManager::sessionGroupAdded, this, &VoiceManager::onSessionGroupAdded);
        m_renderDevices->requestDevices();
        m_captureDevices->requestDevices();
    }
}

void VoiceManager::onConnectorCreated()
{
    qDebug().noquote().nospace() << "Connector created " << m_connectorHandle;
    if (m_connectorHandle.isEmpty()) {
        qWarning() << "Connector created without a connector handle";
        return;
    }
    m_attemptCount = 0;
    runPendingLogin();

    StorageManager *storage = StorageManager::getInstance();
    m_storedVadHangoverSeconds =
        storage->getSettingsValue(StorageManager::SettingsKeyVadHangoverSecs, QStringLiteral("2")).toDouble();
    m_storedVadSensitivity =
        storage->getSettingsValue(StorageManager::SettingsKeyVadSensitivity, QStringLiteral("-1")).toInt();
    m_storedVadNoiseFloor =
        storage->getSettingsValue(StorageManager::SettingsKeyVadNoiseFloor, QStringLiteral("-1")).toInt();
    if (m_requestClient)
        m_requestClient->auxGetVadProperties();
}

void VoiceManager::runPendingLogin()
{
    if (m_loginRequested && m_accountHandle.isEmpty() && !m_pendingLoginToken.isEmpty()) {
        qDebug() << "Executing login request pending from connector create delay";
        requestLogin(m_pendingLoginToken, QString());
    }
    const bool autoLogin = StorageManager::getInstance()
                               ->getSettingsValueForMachine(StorageManager::SettingsMachineKeyAutoLogin, true)
                               .toBool();
    if (!m_reconnectAttempted && m_accountHandle.isEmpty() && autoLogin) {
        qDebug() << "Attempting to reconnect to Ostrel account";
        m_abortedLoginHandle.clear();
        m_reconnectAttempted = true;
        // A repeat of the token already issued is dropped by requestLogin,
        // so at most one login leaves.
        if (!m_pendingLoginToken.isEmpty())
            requestLogin(m_pendingLoginToken, QString());
    }
}

void VoiceManager::requestLogin(QString token, QString sharedRealmId)
{
    if (!m_requestClient)
        return;
    if (!sharedRealmId.isEmpty()) {
        m_loginRequests.insert(token, sharedRealmId);
        qDebug().noquote() << "VoiceManager::requestLogin"
                           << "shared realm requesting login:" << sharedRealmId;
        m_requestClient->accountAuthtokenLogin(sdkBytes(m_connectorHandle), sdkBytes(token));
        return;
    }
    if (m_loginIssued && token == m_pendingLoginToken)
        return;
    m_pendingLoginToken = token;
    if (!m_connectorHandle.isEmpty() && !m_loginIssued) {
        m_requestClient->accountAuthtokenLogin(sdkBytes(m_connectorHandle), sdkBytes(token));
        if (!m_loginTimer)
            m_loginTimer = startTimer(m_loginTimeoutMs);
        m_loginIssued = true;
    }
    m_loginRequested = true;
}

void VoiceManager::requestLogout(QString accountHandle)
{
    if (!m_requestClient)
        return;
    if (accountHandle.isEmpty() && !m_accountHandle.isEmpty())
        accountHandle = m_accountHandle;
    m_requestClient->accountLogout(sdkBytes(accountHandle));
}

void VoiceManager::notifyVoiceLoggedOut(const QString &reason)
{
    if (!m_loginIssued)
        return;
    m_loginIssued = false;
    m_accountHandle.clear();
    emit voiceLoggedOut(reason);
}

void VoiceManager::setMicLevel(int level)
{
    if (m_requestClient)
        m_requestClient->auxSetMicLevel(level);
    m_micLevel = level;
}

void VoiceManager::setSpeakerLevel(int level)
{
    if (m_requestClient)
        m_requestClient->auxSetSpeakerLevel(level);
    m_speakerLevel = level;
}

// ---- account, presence, buddies and channel administration ----

QString VoiceManager::accountOrOwn(const QString &accountHandle) const
{
    return accountHandle.isEmpty() ? m_accountHandle : accountHandle;
}

void VoiceManager::setPresence(int status, QString customMessage, QString accountHandle)
{
    const QString account = accountOrOwn(accountHandle);
    if (!m_requestClient || account.isEmpty())
        return;
    m_requestClient->accountSetPresence(sdkBytes(account), status, sdkBytes(customMessage));
}

void VoiceManager::requestBuddyList()
{
    if (m_requestClient)
        m_requestClient->accountListBuddiesAndGroups(sdkBytes(m_accountHandle));
}

void VoiceManager::requestAddBuddy(QString buddyUri, QString accountHandle)
{
    const QString account = accountOrOwn(accountHandle);
    if (!m_requestClient || account.isEmpty())
        return;
    m_requestClient->accountBuddySet(sdkBytes(account), sdkBytes(buddyUri), QByteArray());
}

void VoiceManager::requestRemoveBuddy(QString buddyUri, QString accountHandle)
{
    const QString account = accountOrOwn(accountHandle);
    if (!m_requestClient || account.isEmpty())
        return;
    m_requestClient->accountBuddyDelete(sdkBytes(account), sdkBytes(buddyUri));
}

void VoiceManager::sendUserAppData(QString toUri, QString content)
{
    if (m_requestClient)
        m_requestClient->accountSendUserAppData(sdkBytes(m_accountHandle), sdkBytes(toUri), sdkBytes(content));
}

void VoiceManager::requestAddChannelAclMember(QString channelUri, QString userUri)
{
    if (m_requestClient)
        m_requestClient->accountChannelAddAcl(sdkBytes(m_accountHandle), sdkBytes(channelUri), sdkBytes(userUri));
}

void VoiceManager::requestRemoveChannelAclMember(QString channelUri, QString userUri)
{
    if (m_requestClient)
        m_requestClient->accountChannelRemoveAcl(sdkBytes(m_accountHandle), sdkBytes(channelUri), sdkBytes(userUri));
}

void VoiceManager::requestChannelAclList(QString channelUri)
{
    if (m_requestClient)
        m_requestClient->accountChannelGetAcl(sdkBytes(m_accountHandle), sdkBytes(channelUri));
}

void VoiceManager::requestAddChannelModerator(QString channelUri, QString userUri)
{
    if (m_requestClient)
        m_requestClient->accountChannelAddModerator(sdkBytes(m_accountHandle), sdkBytes(channelUri), sdkBytes(userUri));
}

void VoiceManager::requestRemoveChannelModerator(QString channelUri, QString userUri)
{
    if (m_requestClient)
        m_requestClient->accountChannelRemoveModerator(sdkBytes(m_accountHandle), sdkBytes(channelUri),
                                                       sdkBytes(userUri));
}

void VoiceManager::requestChannelModeratorList(QString channelUri)
{
    if (m_requestClient)
        m_requestClient->accountChannelGetModerators(sdkBytes(m_accountHandle), sdkBytes(channelUri));
}

void VoiceManager::requestBanUser(QString channelUri, QString userUri)
{
    if (m_requestClient)
        m_requestClient->channelBanUser(sdkBytes(m_accountHandle), sdkBytes(channelUri), sdkBytes(userUri), true);
}

void VoiceManager::requestUnbanUser(QString channelUri, QString userUri)
{
    if (m_requestClient)
        m_requestClient->channelBanUser(sdkBytes(m_accountHandle), sdkBytes(channelUri), sdkBytes(userUri), false);
}

void VoiceManager::requestBannedUserList(QString channelUri)
{
    if (m_requestClient)
        m_requestClient->channelGetBannedUsers(sdkBytes(m_accountHandle), sdkBytes(channelUri));
}

void VoiceManager::requestKickUser(QString channelUri, QString userUri)
{
    if (m_requestClient)
        m_requestClient->channelKickUser(sdkBytes(m_accountHandle), sdkBytes(channelUri), sdkBytes(userUri));
}

void VoiceManager::muteUserAudio(QString channelUri, QString userUri, bool mute, QString accountHandle)
{
    if (m_requestClient)
        m_requestClient->channelMuteUser(sdkBytes(accountOrOwn(accountHandle)), sdkBytes(channelUri), sdkBytes(userUri),
                                         mute, 1);
}

void VoiceManager::muteUserText(QString channelUri, QString userUri, bool mute, QString accountHandle)
{
    if (m_requestClient)
        m_requestClient->channelMuteUser(sdkBytes(accountOrOwn(accountHandle)), sdkBytes(channelUri), sdkBytes(userUri),
                                         mute, 2);
}

void VoiceManager::requestGetParticipants(QString channelUri, int first, int second, QString accountHandle)
{
    qDebug().noquote() << "VoiceManager::requestGetParticipants" << channelUri << first << second;
    const QString account = accountOrOwn(accountHandle);
    if (account.isEmpty()) {
        emit userListReceived(channelUri, QStringList(), 0);
        return;
    }
    if (m_requestClient)
        m_requestClient->accountChannelGetParticipants(sdkBytes(account), sdkBytes(channelUri), first, second);
}

// ---- local audio path ----

void VoiceManager::setCaptureDevice(QString deviceId)
{
    if (m_requestClient)
        m_requestClient->auxSetCaptureDevice(sdkBytes(deviceId));
}

void VoiceManager::setRenderDevice(QString deviceId)
{
    if (m_requestClient)
        m_requestClient->auxSetRenderDevice(sdkBytes(deviceId));
}

void VoiceManager::requestCaptureDevices()
{
    if (m_requestClient)
        m_requestClient->auxGetCaptureDevices();
}

void VoiceManager::requestRenderDevices()
{
    if (m_requestClient)
        m_requestClient->auxGetRenderDevices();
}

void VoiceManager::setLocalMicMuted(bool mute)
{
    if (m_requestClient)
        m_requestClient->connectorMuteLocalMic(mute);
}

void VoiceManager::setAecEnabled(bool enabled)
{
    ox_set_aec_enabled(enabled ? 1 : 0);
}

void VoiceManager::setAgcEnabled(bool enabled)
{
    ox_set_agc_enabled(enabled ? 1 : 0);
}

void VoiceManager::setAdvancedAgcEnabled(bool enabled)
{
    ox_set_advanced_agc_enabled(enabled ? 1 : 0);
}

void VoiceManager::setVadEnabled(bool enabled)
{
    ox_set_vad_enabled(enabled ? 1 : 0);
}

void VoiceManager::setVadProperties(double hangoverSeconds, int second, int third)
{
    Q_UNUSED(second)
    // Whole milliseconds, truncated toward zero; a value that does not fit
    // (or is not a number) is sent as "keep the current one".
    const double milliseconds = hangoverSeconds * 1000.0;
    const int hangoverMs =
        (milliseconds > -2147483648.0 && milliseconds < 2147483648.0) ? static_cast<int>(milliseconds) : -1;
    if (m_requestClient)
        m_requestClient->auxSetVadProperties(hangoverMs, third, m_defaultVadNoiseFloor);
}

int VoiceManager::getDefaultVadSensitivity() const
{
    if (!TAVRI_CHECK(m_defaultVadSensitivity != 0))
        return 26;
    return m_defaultVadSensitivity;
}

int VoiceManager::getDefaultVadNoiseFloor() const
{
    if (!TAVRI_CHECK(m_defaultVadNoiseFloor != 0))
        return 2000;
    return m_defaultVadNoiseFloor;
}

void VoiceManager::requestKeyBinding(QString bindingName, QList<int> keyCodes)
{
    qDebug().noquote() << "requesting key binding..." << bindingName << keyCodes;
    for (int code : qAsConst(keyCodes)) {
        if (code < 0) {
            // Binding the other keys alone would watch a different combination.
            qWarning().noquote() << "Key binding" << bindingName << "not requested: negative key code" << code;
            return;
        }
    }
    if (m_requestClient)
        m_requestClient->auxGlobalMonitorKeyboardMouse(sdkBytes(bindingName), keyCodes);
}

void VoiceManager::renderFileToSpeaker(QString file)
{
    QString path;
    if (file.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        path = QUrl(file).toLocalFile();
    else if (file.contains(QLatin1Char(':')))
        path = file;
    else
        path = m_applicationDirPath + QLatin1Char('/') + file;
    path = QDir::toNativeSeparators(path);
    qDebug().noquote() << "VoiceManager::renderFileToSpeaker" << path;
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        emit fileNotFoundForPlayback(path);
        return;
    }
    if (m_requestClient)
        m_requestClient->auxRenderAudioStart(QFile::encodeName(path), false);
}

void VoiceManager::startCaptureTest(bool loopToRender)
{
    if (m_captureTestRunning)
        return;
    m_captureTestRunning = true;
    if (m_requestClient)
        m_requestClient->auxCaptureAudioStart(loopToRender);
    emit captureTestRunningChanged(true);
}

void VoiceManager::stopCaptureTest()
{
    if (!m_captureTestRunning)
        return;
    m_captureTestRunning = false;
    if (m_requestClient)
        m_requestClient->auxCaptureAudioStop();
    emit captureTestRunningChanged(false);
}

void VoiceManager::startRenderTest()
{
    if (m_renderTestRunning)
        return;
    const QString path = QDir::toNativeSeparators(m_applicationDirPath + QStringLiteral("/audio/audio/rendertest.wav"));
    if (!QFileInfo(path).isFile()) {
        emit fileNotFoundForPlayback(path);
        return;
    }
    if (m_requestClient)
        m_requestClient->auxRenderAudioStart(QFile::encodeName(path), true);
    m_renderTestRunning = true;
    emit renderTestRunningChanged(true);
}

void VoiceManager::stopRenderTest()
{
    if (!m_renderTestRunning)
        return;
    m_renderTestRunning = false;
    if (m_requestClient)
        m_requestClient->auxRenderAudioStop();
    emit renderTestRunningChanged(false);
}

// ---- sessions ----

void VoiceManager::requestJoinChannel(QString uri, QString password, bool audio)
{
    const int voiceFont =
        StorageManager::getInstance()->getSettingsValue(StorageManager::SettingsKeyVoiceFontIndex, 0).toInt();
    stopCaptureTest();
    stopRenderTest();
    // The voice font is never applied on join; the setting is only logged.
    if (m_requestClient)
        m_requestClient->sessionGroupAddSession(sdkBytes(m_channelSessionGroupHandle), sdkBytes(uri),
                                                sdkBytes(password), audio, true, 0);
    qDebug().noquote() << "Session " + uri + " - join requested" + " voice font " + QString::number(voiceFont);
}

void VoiceManager::requestAddSession(QString sessionGroupHandle, QString uri)
{
    stopCaptureTest();
    stopRenderTest();
    if (m_requestClient)
        m_requestClient->sessionGroupAddSession(sdkBytes(sessionGroupHandle), sdkBytes(uri), QByteArray(), true, true,
                                                0);
}

void VoiceManager::requestP2PSession(QString uri, bool audio)
{
    if (audio) {
        qDebug() << "P2P audio calls disallowed, Tavri legacy apps do not support proper behavior for inbound P2P "
                    "calls with audio";
        return;
    }
    // One session group per waiting peer: a further request for a peer that
    // still waits would open a second session with it.
    if (m_pendingP2PUris.contains(uri)) {
        qDebug().noquote() << "P2P session already requested for" << uri;
        return;
    }
    qDebug().noquote() << "Requesting new session group for P2P session" << uri;
    m_pendingP2PUris.append(uri);
    if (m_requestClient) {
        const QByteArray cookie = m_requestClient->sessionGroupCreate(sdkBytes(m_accountHandle), false);
        if (!cookie.isEmpty())
            m_p2pGroupCreates.insert(QString::fromLatin1(cookie), uri);
    }
}

void VoiceManager::onSessionGroupAdded(QString sessionGroupHandle)
{
    qDebug().noquote() << "VoiceManager::onSessionGroupAdded"
                       << "sHandle" << sessionGroupHandle;
    if (m_channelSessionGroupHandle.isEmpty()) {
        m_channelSessionGroupHandle = sessionGroupHandle;
        emit readyToJoinChannels();
        return;
    }
    if (m_pendingP2PUris.isEmpty()) {
        qDebug() << "No pending P2P session requests";
        return;
    }
    const QString uri = m_pendingP2PUris.takeFirst();
    if (m_requestClient)
        m_requestClient->sessionGroupAddSession(sdkBytes(sessionGroupHandle), sdkBytes(uri), QByteArray(), false, true,
                                                0);
}

void VoiceManager::requestCreateSessionGroup(QString sharedRealmId)
{
    QString account;
    for (auto it = m_sharedAccounts.constBegin(); it != m_sharedAccounts.constEnd(); ++it) {
        if (it.value() == sharedRealmId)
            account = it.key();
    }
    if (!account.isEmpty() && m_requestClient)
        m_requestClient->sessionGroupCreate(sdkBytes(account), false);
}

void VoiceManager::closeSessionGroupHandle(QString sessionGroupHandle)
{
    if (sessionGroupHandle.isEmpty())
        return;
    if (sessionGroupHandle == m_channelSessionGroupHandle) {
        qDebug() << "VoiceManager::closeSessionGroupHandle"
                 << "can't remove base session group";
        return;
    }
    if (m_requestClient)
        m_requestClient->sessionGroupTerminate(sdkBytes(sessionGroupHandle));
}

bool VoiceManager::requestTerminateSession(QString sessionHandle)
{
    // A session stays terminable until the SDK reports it removed, also once
    // the local user's audio in it has gone: otherwise a rejoin of that
    // channel would keep failing because the old session still exists.
    if (sessionHandle.isEmpty()
        || (!m_knownSessions.contains(sessionHandle) && !m_uriBySessionHandle.contains(sessionHandle)))
        return false;
    if (m_requestClient)
        m_requestClient->sessionTerminate(sdkBytes(sessionHandle));
    // Announced like every other change of the set: the later removal event
    // finds the handle gone and says nothing.
    setKnownSession(sessionHandle, false);
    return true;
}

void VoiceManager::setTransmittingChannel(QString uri, QString sessionGroupHandle)
{
    const QString group = sessionGroupHandle.isEmpty() ? m_channelSessionGroupHandle : sessionGroupHandle;
    if (uri.isEmpty()) {
        if (!m_transmittingChannel.isEmpty()) {
            m_transmittingChannel.clear();
            emit transmittingChannelChanged(QString());
        }
        return;
    }
    if (!TAVRI_CHECK(!m_channelSessionGroupHandle.isEmpty()))
        return;
    if (uri == m_transmittingChannel)
        return;
    m_transmittingChannel = uri;
    const QString sessionHandle = m_sessionHandleByUri.value(uri);
    if (!sessionHandle.isEmpty() && m_knownSessions.contains(sessionHandle)) {
        if (m_requestClient)
            m_requestClient->sessionGroupSetTxSession(sdkBytes(sessionHandle), sdkBytes(group));
        qDebug() << "VoiceManager::setTransmittingChannel"
                 << "notifying sessionGroupHandle of change...";
        emit sessionGroupTransmittingChannelChanged(group, uri);
    }
    emit transmittingChannelChanged(uri);
}

QString VoiceManager::requestSendMessage(QString sessionHandle, QString text)
{
    if (!m_requestClient)
        return QString();
    return QString::fromLatin1(m_requestClient->sessionSendMessage(sdkBytes(sessionHandle), sdkBytes(text)));
}

void VoiceManager::sendTypingNotification(QString sessionHandle, bool typing)
{
    if (m_requestClient)
        m_requestClient->sessionSendNotification(sdkBytes(sessionHandle), typing ? 1 : 0);
}

void VoiceManager::setParticipantAudioMutedForMe(QString sessionHandle, QString participantUri, bool mute)
{
    if (m_requestClient)
        m_requestClient->sessionSetParticipantMuteForMe(sdkBytes(sessionHandle), sdkBytes(participantUri), mute, 1);
}

void VoiceManager::setParticipantTextMutedForMe(QString sessionHandle, QString participantUri, bool mute)
{
    if (m_requestClient)
        m_requestClient->sessionSetParticipantMuteForMe(sdkBytes(sessionHandle), sdkBytes(participantUri), mute, 2);
}

void VoiceManager::setParticipantVolume(QString sessionHandle, QString participantUri, int volume)
{
    if (participantUri == m_localUserUri) {
        qDebug() << "VoiceManager::setParticipantVolume"
                 << "not setting participant volume for self... mic volume adjustment should be made instead";
        return;
    }
    if (m_requestClient)
        m_requestClient->sessionSetParticipantVolumeForMe(sdkBytes(sessionHandle), sdkBytes(participantUri), volume);
}

void VoiceManager::setLocalSpeakerMuted(QString sessionHandle, bool mute)
{
    if (m_requestClient)
        m_requestClient->sessionMuteLocalSpeaker(sdkBytes(sessionHandle), mute);
}

void VoiceManager::setSessionMediaConnected(QString sessionHandle, bool connected)
{
    if (!m_requestClient)
        return;
    if (connected)
        m_requestClient->sessionMediaConnect(sdkBytes(sessionHandle), 0);
    else
        m_requestClient->sessionMediaDisconnect(sdkBytes(sessionHandle));
}

void VoiceManager::requestConnectionQualityStatsUpdate()
{
    if (m_requestClient)
        m_requestClient->sessionGroupGetStats(sdkBytes(m_channelSessionGroupHandle));
}

QString VoiceManager::getSessionHandleByUri(QString uri) const
{
    if (!TAVRI_CHECK(!uri.isEmpty()))
        return QString();
    return m_sessionHandleByUri.value(uri);
}

QString VoiceManager::getUriBySessionHandle(QString sessionHandle) const
{
    if (!TAVRI_CHECK(!sessionHandle.isEmpty()))
        return QString();
    return m_uriBySessionHandle.value(sessionHandle);
}

void VoiceManager::onVoiceLoggedIn()
{
    setMicLevel(StorageManager::getMicVolumePercent());
}

void VoiceManager::onVoiceLoggedOut()
{
    m_accountHandle.clear();
    m_pendingLoginToken.clear();
}

void VoiceManager::onNetworkStateChanged(bool isOnline)
{
    qDebug() << "VoiceManager::onNetworkStateChanged"
             << "isOnline" << isOnline;
    if (isOnline)
        return;
    notifyVoiceLoggedOut(QStringLiteral("Lost network connectivity"));
    stopTimer(m_retryTimer, true);
    stopTimer(m_loginTimer, true);
    m_reconnectAttempted = true;
}

void VoiceManager::onStopLoginTimer(int *timerID, bool reset)
{
    if (timerID)
        stopTimer(*timerID, reset);
}

void VoiceManager::stopTimer(int &timerId, bool resetRetryCount)
{
    if (!timerId)
        return;
    killTimer(timerId);
    timerId = 0;
    if (resetRetryCount)
        m_retryCount = 0;
}

void VoiceManager::onAppExit()
{
    qDebug() << "onAppExit";
    m_exiting = true;
    m_attemptCount = 0;
    stopTimer(m_retryTimer, true);

    if (m_accountHandle.isEmpty()) {
        if (!m_abortedLoginHandle.isEmpty()) {
            m_lateLogoutHandle = m_abortedLoginHandle;
            m_abortedLoginHandle.clear();
        }
        QCoreApplication::quit();
        return;
    }

    if (m_requestClient)
        m_requestClient->accountLogout(sdkBytes(m_accountHandle));
    qDebug() << "req_AccountLogout";
    m_reconnectAttempted = true;
    // The application ends the event loop once the logout is answered; the
    // timer ends it when no answer comes.
    stopTimer(m_exitTimer, false);
    m_exitTimer = startTimer(s_exitLogoutTimeoutMs);
}

void VoiceManager::setExitLogoutTimeout(int milliseconds)
{
    s_exitLogoutTimeoutMs = qMax(0, milliseconds);
}

void VoiceManager::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_loginTimer && m_loginTimer) {
        onLoginTimedOut();
        return;
    }
    if (event->timerId() == m_exitTimer && m_exitTimer) {
        stopTimer(m_exitTimer, false);
        qWarning() << "The voice logout at exit was not answered within" << s_exitLogoutTimeoutMs
                   << "ms; ending the event loop";
        QCoreApplication::quit();
        return;
    }
    QObject::timerEvent(event);
}

void VoiceManager::sdkMessageCallback()
{
    if (VoiceManager *instance = s_instance.load())
        emit instance->sdkMessageAvailable();
}

void VoiceManager::onSdkMessageAvailable()
{
    if (s_instance.load() != this)
        return;
    ox_message_base_t *message = nullptr;
    while (ox_get_message(&message) == 0) {
        if (message)
            processMessage(message);
        message = nullptr;
    }
}

void VoiceManager::processMessage(ox_message_base_t *message)
{
    switch (message->type) {
    case OX_MSG_RESPONSE: {
        ox_resp_base_t *response = reinterpret_cast<ox_resp_base_t *>(message);
        processResponse(response);
        qDebug() << "Destroying response...";
        ox_destroy_resp(response);
        qDebug() << "Response cleared!";
        break;
    }
    case OX_MSG_EVENT: {
        ox_evt_base_t *event = reinterpret_cast<ox_evt_base_t *>(message);
        processEvent(event);
        ox_destroy_evt(event);
        break;
    }
    default:
        qWarning() << "Ignoring SDK message of type" << message->type;
        ox_destroy_message(message);
        break;
    }
}

namespace {

// An SDK record read as the record type its type field names: the one place
// the response dispatch converts record pointers.
template <typename Record>
const Record *sdkRecord(const void *record)
{
    return static_cast<const Record *>(record);
}

// The request that a response answers, as its own record type; null when
// the response carries none.
template <typename Request>
const Request *requestOf(const ox_resp_base_t *response)
{
    return sdkRecord<Request>(response->request);
}

// The URIs of a list of participant records, lower-cased; null records are
// skipped and a negative count reads as none.
template <typename Record>
QStringList lowerCasedUris(Record *const *records, int count)
{
    QStringList uris;
    for (int i = 0; records && i < count; ++i) {
        if (records[i])
            uris.append(sdkText(records[i]->uri).toLower());
    }
    return uris;
}

const char kLoginFailedCaBundle[] =
    "Error logging in to Ostrel domain.  This error is frequently seen when there is a problem with the "
    "ca-bundle.crt file that should be alongside the tavri.exe executable.\n\nPlease ensure the file is there.  "
    "If you still have issues, consider using http instead of https by editing the RuntimeSettings.qml file.";
const char kLoginFailedConnection[] = "Voice server connection failed.  Please try connecting again.";
const char kLoginTimedOut[] = "Voice server connection timed out.  Please try connecting again.";

} // namespace

void VoiceManager::processResponse(ox_resp_base_t *response)
{
    if (response->return_code == 0)
        processSuccessfulResponse(response);
    else
        processFailedResponse(response);
}

template <typename Response>
void VoiceManager::handle(void (VoiceManager::*handler)(const Response *), const ox_resp_base_t *response)
{
    (this->*handler)(sdkRecord<Response>(response));
}

void VoiceManager::processSuccessfulResponse(ox_resp_base_t *response)
{
    // One line per response type: the table stays readable at a glance.
    // clang-format off
    switch (response->type) {
    case OX_RESP_CONNECTOR_CREATE: return handle(&VoiceManager::onConnectorCreateResponse, response);
    case OX_RESP_SESSIONGROUP_CREATE: return handle(&VoiceManager::onSessionGroupCreated, response);
    case OX_RESP_SESSIONGROUP_ADD_SESSION: return handle(&VoiceManager::onSessionAddedByRequest, response);
    case OX_RESP_SESSION_TERMINATE: return handle(&VoiceManager::onSessionTerminated, response);
    case OX_RESP_SESSION_MUTE_LOCAL_SPEAKER: return handle(&VoiceManager::onLocalSpeakerMuted, response);
    case OX_RESP_SESSION_SET_LOCAL_SPEAKER_VOLUME: return handle(&VoiceManager::onLocalSpeakerVolumeSet, response);
    case OX_RESP_SESSION_SET_PARTICIPANT_VOLUME_FOR_ME: return handle(&VoiceManager::onParticipantVolumeSet, response);
    case OX_RESP_ACCOUNT_CHANNEL_FAVORITES_LIST: return handle(&VoiceManager::onFavoritesListed, response);
    case OX_RESP_ACCOUNT_CHANNEL_FAVORITE_SET: return handle(&VoiceManager::onFavoriteSet, response);
    case OX_RESP_ACCOUNT_CHANNEL_GET_INFO: return handle(&VoiceManager::onChannelInfo, response);
    case OX_RESP_ACCOUNT_CHANNEL_ADD_MODERATOR: return handle(&VoiceManager::onModeratorAdded, response);
    case OX_RESP_ACCOUNT_CHANNEL_REMOVE_MODERATOR: return handle(&VoiceManager::onModeratorRemoved, response);
    case OX_RESP_ACCOUNT_CHANNEL_GET_MODERATORS: return handle(&VoiceManager::onModeratorsListed, response);
    case OX_RESP_ACCOUNT_CHANNEL_ADD_ACL: return handle(&VoiceManager::onAclMemberAdded, response);
    case OX_RESP_ACCOUNT_CHANNEL_REMOVE_ACL: return handle(&VoiceManager::onAclMemberRemoved, response);
    case OX_RESP_ACCOUNT_CHANNEL_GET_ACL: return handle(&VoiceManager::onAclListed, response);
    case OX_RESP_CHANNEL_BAN_USER: return handle(&VoiceManager::onUserBanned, response);
    case OX_RESP_CHANNEL_GET_BANNED_USERS: return handle(&VoiceManager::onBansListed, response);
    case OX_RESP_CONNECTOR_MUTE_LOCAL_MIC: return handle(&VoiceManager::onLocalMicMuted, response);
    case OX_RESP_ACCOUNT_BUDDY_SET: return handle(&VoiceManager::onBuddySet, response);
    case OX_RESP_ACCOUNT_LIST_BUDDIES_AND_GROUPS: return handle(&VoiceManager::onBuddiesListed, response);
    case OX_RESP_SESSION_SEND_MESSAGE: return handle(&VoiceManager::onMessageSentResponse, response);
    case OX_RESP_ACCOUNT_BLOCKED_USERS_LIST: return handle(&VoiceManager::onBlockedUsersListed, response);
    case OX_RESP_AUX_GET_RENDER_DEVICES: return handle(&VoiceManager::onRenderDevicesListed, response);
    case OX_RESP_AUX_GET_CAPTURE_DEVICES: return handle(&VoiceManager::onCaptureDevicesListed, response);
    case OX_RESP_AUX_SET_RENDER_DEVICE: return handle(&VoiceManager::onRenderDeviceSet, response);
    case OX_RESP_AUX_SET_CAPTURE_DEVICE: return handle(&VoiceManager::onCaptureDeviceSet, response);
    case OX_RESP_AUX_GET_MIC_LEVEL: return handle(&VoiceManager::onMicLevelResponse, response);
    case OX_RESP_AUX_GET_SPEAKER_LEVEL: return handle(&VoiceManager::onSpeakerLevelResponse, response);
    case OX_RESP_AUX_SET_MIC_LEVEL: return handle(&VoiceManager::onMicLevelSet, response);
    case OX_RESP_AUX_SET_SPEAKER_LEVEL: return handle(&VoiceManager::onSpeakerLevelSet, response);
    case OX_RESP_AUX_GET_VAD_PROPERTIES: return handle(&VoiceManager::onVadPropertiesResponse, response);
    case OX_RESP_ACCOUNT_CHANNEL_GET_PARTICIPANTS: return handle(&VoiceManager::onParticipantsListed, response);
    case OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN: return handle(&VoiceManager::onLoginResponse, response);
    case OX_RESP_SESSIONGROUP_GET_STATS: return handle(&VoiceManager::onSessionGroupStats, response);
    default: return;
    }
    // clang-format on
}

void VoiceManager::onConnectorCreateResponse(const ox_resp_connector_create_t *response)
{
    m_connectorHandle = sdkText(response->connector_handle);
    emit connectorCreated();
}

void VoiceManager::onSessionGroupCreated(const ox_resp_sessiongroup_create_t *response)
{
    const QString group = sdkText(response->session_group_handle);
    qDebug().noquote() << "sessionGroup created:" << group;
    if (const auto *request = requestOf<ox_req_sessiongroup_create_t>(&response->base)) {
        m_p2pGroupCreates.remove(sdkText(request->base.cookie));
        const QString account = sdkText(request->account_handle);
        if (m_sharedAccounts.contains(account))
            emit sessionGroupReceived(m_sharedAccounts.value(account), group);
    }
}

void VoiceManager::onSessionAddedByRequest(const ox_resp_sessiongroup_add_session_t *response)
{
    if (const auto *request = requestOf<ox_req_sessiongroup_add_session_t>(&response->base)) {
        const QString group = sdkText(request->session_group_handle);
        const QString uri = sdkText(request->uri);
        const QString session = sdkText(response->session_handle);
        qDebug().noquote() << "Session added by request" << group << uri << session;
        emit sessionAdded(group, uri, session);
    }
}

void VoiceManager::onSessionTerminated(const ox_resp_session_terminate_t *response)
{
    if (const auto *request = requestOf<ox_req_session_terminate_t>(&response->base)) {
        const QString session = sdkText(request->session_handle);
        if (m_uriBySessionHandle.contains(session)) {
            emit sessionRemoved(m_uriBySessionHandle.value(session), session);
            m_uriBySessionHandle.remove(session);
        }
    }
}

void VoiceManager::onLocalSpeakerMuted(const ox_resp_session_mute_local_speaker_t *response)
{
    if (const auto *request = requestOf<ox_req_session_mute_local_speaker_t>(&response->base)) {
        if (request->scope == 1)
            emit localUserMutedLocally(sdkText(request->session_handle), request->mute != 0);
    }
}

void VoiceManager::onLocalSpeakerVolumeSet(const ox_resp_session_set_local_speaker_volume_t *)
{
    qDebug() << "resp_SessionSetLocalSpeakerVolume";
}

void VoiceManager::onParticipantVolumeSet(const ox_resp_session_set_participant_volume_for_me_t *response)
{
    qDebug() << "resp_LocalUserVolume";
    if (const auto *request = requestOf<ox_req_session_set_participant_volume_for_me_t>(&response->base))
        emit participantVolumeUpdated(sdkText(request->session_handle), sdkText(request->participant_uri),
                                      request->volume);
}

void VoiceManager::onFavoritesListed(const ox_resp_account_channel_favorites_list_t *list)
{
    for (int i = 0; list->favorites && i < list->favorite_count; ++i) {
        const ox_favorite_record_t *favorite = list->favorites[i];
        if (!favorite)
            continue;
        const QString uri = sdkText(favorite->uri);
        if (uri.isEmpty())
            qDebug().noquote() << "channel favorite id " << favorite->favorite_id << ", named "
                               << sdkText(favorite->display_name) << " has no uri associated...skipping";
        else
            emit channelFavoriteAdded(uri.toLower(), favorite->favorite_id);
    }
}

void VoiceManager::onFavoriteSet(const ox_resp_account_channel_favorite_set_t *response)
{
    if (const auto *request = requestOf<ox_req_account_channel_favorite_set_t>(&response->base))
        emit channelFavoriteAdded(sdkText(request->channel_uri).toLower(), response->favorite_id);
}

void VoiceManager::onChannelInfo(const ox_resp_account_channel_get_info_t *response)
{
    if (const ox_channel_record_t *channel = response->channel)
        emit channelInfoReceived(sdkText(channel->uri).toLower(), channel->current_participants,
                                 channel->max_participants);
}

void VoiceManager::onModeratorAdded(const ox_resp_account_channel_add_moderator_t *response)
{
    if (const auto *request = requestOf<ox_req_account_channel_add_moderator_t>(&response->base))
        emit moderatorAdded(sdkText(request->channel_uri), sdkText(request->moderator_uri));
}

void VoiceManager::onModeratorRemoved(const ox_resp_account_channel_remove_moderator_t *response)
{
    if (const auto *request = requestOf<ox_req_account_channel_remove_moderator_t>(&response->base))
        emit moderatorRemoved(sdkText(request->channel_uri), sdkText(request->moderator_uri));
}

void VoiceManager::onModeratorsListed(const ox_resp_account_channel_get_moderators_t *list)
{
    const auto *request = requestOf<ox_req_account_channel_get_moderators_t>(&list->base);
    QStringList moderators;
    QVariantList levels;
    for (int i = 0; list->participants && i < list->participant_count; ++i) {
        const ox_participant_record_t *record = list->participants[i];
        if (!record)
            continue;
        moderators.append(sdkText(record->uri).toLower());
        levels.append(QVariant(record->is_owner ? 2 : (record->is_moderator ? 1 : 0)));
    }
    emit moderatorListReceived(request ? sdkText(request->channel_uri).toLower() : QString(), moderators, levels);
}

void VoiceManager::onAclMemberAdded(const ox_resp_account_channel_add_acl_t *response)
{
    if (const auto *request = requestOf<ox_req_account_channel_add_acl_t>(&response->base))
        emit memberAddedToChannelACL(sdkText(request->channel_uri), sdkText(request->user_uri));
}

void VoiceManager::onAclMemberRemoved(const ox_resp_account_channel_remove_acl_t *response)
{
    if (const auto *request = requestOf<ox_req_account_channel_remove_acl_t>(&response->base))
        emit memberRemovedFromChannelACL(sdkText(request->channel_uri), sdkText(request->user_uri));
}

void VoiceManager::onAclListed(const ox_resp_account_channel_get_acl_t *list)
{
    const auto *request = requestOf<ox_req_account_channel_get_acl_t>(&list->base);
    emit aclListReceived(request ? sdkText(request->channel_uri).toLower() : QString(),
                         lowerCasedUris(list->participants, list->participant_count));
}

void VoiceManager::onUserBanned(const ox_resp_channel_ban_user_t *response)
{
    if (const auto *request = requestOf<ox_req_channel_ban_user_t>(&response->base))
        emit userBanned(sdkText(request->channel_uri), sdkText(request->participant_uri), request->ban == 1);
}

void VoiceManager::onBansListed(const ox_resp_channel_get_banned_users_t *list)
{
    const auto *request = requestOf<ox_req_channel_get_banned_users_t>(&list->base);
    emit banListReceived(request ? sdkText(request->channel_uri).toLower() : QString(),
                         lowerCasedUris(list->participants, list->participant_count));
}

void VoiceManager::onLocalMicMuted(const ox_resp_connector_mute_local_mic_t *response)
{
    if (const auto *request = requestOf<ox_req_connector_mute_local_mic_t>(&response->base))
        emit localMicMuteChanged(request->mute != 0);
}

void VoiceManager::onBuddySet(const ox_resp_account_buddy_set_t *response)
{
    qDebug() << "resp_account_buddy_set - " << response->buddy_id;
}

void VoiceManager::onBuddiesListed(const ox_resp_account_list_buddies_and_groups_t *list)
{
    QStringList uris;
    QStringList data;
    for (int i = 0; list->buddies && i < list->buddy_count; ++i) {
        if (!list->buddies[i])
            continue;
        uris.append(sdkText(list->buddies[i]->uri));
        data.append(QString());
    }
    emit friendsListReceived(uris, data);
}

void VoiceManager::onBlockedUsersListed(const ox_resp_account_blocked_users_list_t *list)
{
    emit blockedUserListReceived(lowerCasedUris(list->participants, list->participant_count));
}

void VoiceManager::onRenderDevicesListed(const ox_resp_aux_get_render_devices_t *list)
{
    qDebug() << "Received render device list...";
    m_renderDevices->updateDevices(list);
    emit renderDeviceChanged(m_renderDevices->currentDeviceId());
}

void VoiceManager::onCaptureDevicesListed(const ox_resp_aux_get_capture_devices_t *list)
{
    qDebug() << "Received capture device list...";
    m_captureDevices->updateDevices(list);
    emit captureDeviceChanged(m_captureDevices->currentDeviceId());
}

void VoiceManager::onRenderDeviceSet(const ox_resp_aux_set_render_device_t *)
{
    m_renderDevices->requestDevices();
}

void VoiceManager::onCaptureDeviceSet(const ox_resp_aux_set_capture_device_t *)
{
    m_captureDevices->requestDevices();
}

void VoiceManager::onMicLevelSet(const ox_resp_aux_set_mic_level_t *response)
{
    if (const auto *request = requestOf<ox_req_aux_set_mic_level_t>(&response->base))
        emit micLevelChanged(request->level);
}

void VoiceManager::onSpeakerLevelSet(const ox_resp_aux_set_speaker_level_t *response)
{
    if (const auto *request = requestOf<ox_req_aux_set_speaker_level_t>(&response->base)) {
        m_speakerLevel = request->level;
        emit speakerLevelChanged(m_speakerLevel);
    }
}

void VoiceManager::onParticipantsListed(const ox_resp_account_channel_get_participants_t *list)
{
    const auto *request = requestOf<ox_req_account_channel_get_participants_t>(&list->base);
    const QStringList uris = lowerCasedUris(list->participants, list->participant_count);
    emit userListReceived(request ? sdkText(request->channel_uri).toLower() : QString(), uris,
                          qMax(list->total_participant_count, uris.size()));
}

void VoiceManager::onSessionGroupStats(const ox_resp_sessiongroup_get_stats_t *response)
{
    qDebug() << "VoiceManager::sessionStatReceived - Thread" << QThread::currentThreadId();
    emit sessionStatReceived(new CallSessionStat(response));
}

void VoiceManager::onMessageSentResponse(const ox_resp_session_send_message_t *response)
{
    const auto *request = requestOf<ox_req_session_send_message_t>(&response->base);
    if (!request)
        return;
    const QString session = sdkText(request->session_handle);
    const QString cookie = sdkText(request->base.cookie);
    switch (response->base.status_code) {
    case 200:
        emit chatMessageSent(cookie, session);
        break;
    case 202:
        // Queued by the server for a user who is offline.
        emit userIsOffline(session, cookie, true);
        break;
    default:
        break;
    }
}

void VoiceManager::processFailedResponse(ox_resp_base_t *response)
{
    const int requestType = response->request ? int(response->request->type) : int(response->type);
    const QString statusText = sdkText(response->status_string);
    QString message = QStringLiteral("Unknown SDK error on type: ") + sdkText(ox_get_request_type_string(requestType));
    if (requestType == OX_REQ_AUX_SET_RENDER_DEVICE || requestType == OX_REQ_AUX_SET_CAPTURE_DEVICE) {
        // Both requests have the device id as their only field.
        const auto *request = requestOf<ox_req_aux_set_capture_device_t>(response);
        message += QStringLiteral(" [") + (request ? sdkText(request->device_id) : QString()) + QLatin1Char(']');
    }
    if (shouldReportResponseError(response))
        emit sdkError(response->status_code, message, statusText);
    qCritical().noquote() << "Error:" << sdkText(ox_get_request_type_string(requestType)) << response->status_code
                          << sdkText(ox_get_error_string(response->status_code)) << statusText;

    switch (response->type) {
    case OX_RESP_CONNECTOR_CREATE:
        qWarning().noquote() << "Connector create failed... status code" << response->status_code << statusText;
        emit connectorCreateFailed(response->status_code == 10006
                                       ? QStringLiteral("Could not resolve host")
                                       : QStringLiteral("Could not connect to voice server"));
        break;
    case OX_RESP_ACCOUNT_LOGIN:
    case OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN:
        onLoginFailed(response);
        break;
    case OX_RESP_SESSIONGROUP_CREATE:
        // A private chat's group that will never come: its peer stops
        // waiting, so the next group goes to the right peer.
        if (response->request) {
            const QString cookie = sdkText(response->request->cookie);
            if (m_p2pGroupCreates.contains(cookie))
                m_pendingP2PUris.removeOne(m_p2pGroupCreates.take(cookie));
        }
        break;
    case OX_RESP_SESSIONGROUP_ADD_SESSION:
        onJoinFailed(response);
        break;
    case OX_RESP_SESSION_TERMINATE:
        if (const auto *request = requestOf<ox_req_session_terminate_t>(response)) {
            const QString session = sdkText(request->session_handle);
            if (m_uriBySessionHandle.contains(session)) {
                m_uriBySessionHandle.remove(session);
                requestTerminateSession(session);
                emit sessionTerminateFailed(session);
            } else {
                emit sessionRemoved(m_uriBySessionHandle.value(session), session);
            }
        }
        break;
    case OX_RESP_SESSION_SEND_MESSAGE:
        if (const auto *request = requestOf<ox_req_session_send_message_t>(response)) {
            qWarning() << "Message not successfully sent to remote user / channel...";
            const QString session = sdkText(request->session_handle);
            const QString cookie = sdkText(request->base.cookie);
            if (response->status_code == 480)
                emit userIsOffline(session, cookie, false);
            else
                emit messageNotSent(session, cookie, response->status_code, QString());
            qDebug().noquote() << "Chat message not sent to session handle:" << session
                               << sdkText(request->message_header) << sdkText(request->message_body);
        }
        break;
    case OX_RESP_AUX_RENDER_AUDIO_START:
        if (const auto *request = requestOf<ox_req_aux_render_audio_start_t>(response))
            emit fileNotFoundForPlayback(sdkText(request->sound_file_path));
        break;
    default:
        if (response->status_code == 7006) {
            qWarning() << "Capture device is in use... notify user that there is a conflicting program using their "
                          "mic";
            emit selectedCaptureDeviceInUse();
        } else if (response->status_code == 7009) {
            qWarning() << "Capture device could not be opened... notify user that there is a conflicting program "
                          "using their mic";
            emit selectedCaptureDeviceCouldNotOpen();
        }
        break;
    }
}

bool VoiceManager::shouldReportResponseError(const ox_resp_base_t *response)
{
    const int status = response->status_code;
    if (status == 10007) {
        emit couldNotConnectToServer();
        return false;
    }
    switch (response->type) {
    case OX_RESP_CONNECTOR_CREATE:
        if (status == 10006)
            return false;
        break;
    case OX_RESP_ACCOUNT_LOGIN:
    case OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN:
        if (status == 408 || status == 10006)
            return false;
        break;
    case OX_RESP_ACCOUNT_BUDDY_DELETE:
        if (status == 20414)
            return false;
        break;
    case OX_RESP_SESSION_SEND_NOTIFICATION:
        if (status == 1001 || status == 1007 || status == 1008)
            return false;
        break;
    case OX_RESP_ACCOUNT_SEND_USER_APP_DATA:
        if (status == 480)
            return false;
        break;
    case OX_RESP_SESSIONGROUP_GET_STATS:
        if (status == 1001 || status == 1004)
            return false;
        break;
    case OX_RESP_SESSION_SEND_MESSAGE:
        if (status == 480) {
            // Worth telling the user only for a private call with someone who
            // is not known to be offline.
            const auto *request = requestOf<ox_req_session_send_message_t>(response);
            const QString session = request ? sdkText(request->session_handle) : QString();
            const QString uri = session.isEmpty() ? QString() : getUriBySessionHandle(session);
            if (!uri.startsWith(QLatin1String("sip:P2P-")))
                return false;
            Tavri::RealmUserInterface *user = TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(uri);
            return user && user->getPresenceState() != Tavri::RealmUserInterface::Offline;
        }
        break;
    case OX_RESP_ACCOUNT_CHANNEL_GET_PARTICIPANTS:
        if (status == 20440) {
            if (const auto *request = requestOf<ox_req_account_channel_get_participants_t>(response))
                stopConversationPendingTimer(sdkText(request->channel_uri));
            return false;
        }
        break;
    default:
        break;
    }
    if (response->return_code == 0)
        return false;
    if (response->return_code == 10006 || response->return_code == 10007) {
        emit couldNotConnectToServer();
        return false;
    }
    return true;
}

void VoiceManager::onLoginFailed(const ox_resp_base_t *response)
{
    const int status = response->status_code;
    if (response->type == OX_RESP_ACCOUNT_LOGIN && status == 1008)
        notifyVoiceLoggedOut(QStringLiteral("Logged out"));
    if (status == 1074) {
        qDebug() << "Error logging in to Ostrel server: logging into the same SDK multiple times";
        return;
    }
    const auto *request = response->type == OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN
                              ? requestOf<ox_req_account_authtoken_login_t>(response)
                              : nullptr;
    const QString token = request ? sdkText(request->auth_token) : QString();
    if (request && m_loginRequests.contains(token)) {
        const QString realmId = m_loginRequests.take(token);
        qDebug().noquote() << "Failed to login voice account for shared realm..." << realmId << status;
        return;
    }
    // An own login with an account already in place is a stray answer. Any
    // other failure ends the login attempt, also after a reconnect attempt,
    // so that a later login can be issued.
    if (!m_accountHandle.isEmpty())
        return;
    if (m_loginTimer != 0)
        emit stopLoginTimer(&m_loginTimer, true);

    QString reason;
    switch (status) {
    case 10077:
        reason = QString::fromLatin1(kLoginFailedCaBundle);
        break;
    case 10007:
        reason = QString::fromLatin1(kLoginFailedConnection);
        break;
    case 408:
        reason = QString::fromLatin1(kLoginTimedOut);
        break;
    default:
        qDebug().noquote() << "Error logging in to Ostrel server. Reason: " << sdkText(response->status_string);
        reason = QStringLiteral("Error logging in to Ostrel server. Code %1").arg(status);
        break;
    }
    notifyVoiceLoggedOut(reason);
}

void VoiceManager::onLoginTimedOut()
{
    stopTimer(m_loginTimer, true);
    qWarning() << "The voice login was not answered within" << m_loginTimeoutMs << "ms";
    // A login that still completes later is logged out rather than announced.
    if (!m_abortedLoginHandle.isEmpty()) {
        m_lateLogoutHandle = m_abortedLoginHandle;
        m_abortedLoginHandle.clear();
    }
    notifyVoiceLoggedOut(QString::fromLatin1(kLoginTimedOut));
}

void VoiceManager::onJoinFailed(const ox_resp_base_t *response)
{
    const auto *request = requestOf<ox_req_sessiongroup_add_session_t>(response);
    const QString uri = request ? sdkText(request->uri) : QString();
    const int status = response->status_code;
    const QString statusText = sdkText(response->status_string);
    qDebug().noquote() << "add session failed " << uri << " code: " << status;
    if (status == 1004 && statusText.startsWith(QLatin1String("Object already exists."))) {
        // The session is still there from before: end it, so that the next
        // join can succeed.
        if (m_sessionHandleByUri.contains(uri)) {
            const QString session = m_sessionHandleByUri.value(uri);
            requestTerminateSession(session);
            m_sessionHandleByUri.remove(uri);
            m_uriBySessionHandle.remove(session);
        }
    } else if (status != 1008 && status != 1080) {
        qDebug().noquote() << "A NEW STATUS CODE FOR ADD SESSION FAIL" << status << statusText;
    }
    emit sessionJoinFailed(uri.toLower(), status, statusText);
}

void VoiceManager::stopConversationPendingTimer(const QString &channelUri)
{
    // The channel's participants cannot be listed: polling them is pointless.
    qDebug().noquote() << "Participant list of" << channelUri << "is not available; polling stopped";
    if (Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(channelUri))
        conversation->stopPendingTimer();
}

void VoiceManager::onLoginResponse(const ox_resp_account_authtoken_login_t *response)
{
    const auto *request = requestOf<ox_req_account_authtoken_login_t>(&response->base);
    const QString token = request ? sdkText(request->auth_token) : QString();
    const QString accountHandle = sdkText(response->account_handle);
    if (m_loginRequests.contains(token)) {
        // An external-application realm's login: that realm now owns this
        // account, and only this one.
        const QString realmId = m_loginRequests.take(token);
        for (auto it = m_sharedAccounts.begin(); it != m_sharedAccounts.end();) {
            if (it.value() == realmId)
                it = m_sharedAccounts.erase(it);
            else
                ++it;
        }
        m_sharedAccounts.insert(accountHandle, realmId);
        emit accountHandleReceived(realmId, accountHandle);
        return;
    }
    // The own account handle arrives with the logged-in event.
    m_localUserUri = sdkText(response->account_uri);
}

void VoiceManager::onMicLevelResponse(const ox_resp_aux_get_mic_level_t *response)
{
    const int level = response->level;
    // Only the first answer sets the default; the SDK is asked once at start.
    if (!TAVRI_CHECK(m_defaultMicLevel == 0))
        return;
    m_defaultMicLevel = level;
    m_micLevel = level;
    qDebug() << "Set default mic level to " << level;
    emit defaultMicLevelChanged(m_defaultMicLevel);
    emit micLevelChanged(m_micLevel);
}

void VoiceManager::onSpeakerLevelResponse(const ox_resp_aux_get_speaker_level_t *response)
{
    const int level = response->level;
    if (m_defaultSpeakerLevel != 0)
        return;
    m_defaultSpeakerLevel = level;
    qDebug() << "Set default speaker level to " << level;
    emit defaultSpeakerLevelChanged(level);
    m_speakerLevel = level;
    emit speakerLevelChanged(level);
}

void VoiceManager::onVadPropertiesResponse(const ox_resp_aux_get_vad_properties_t *response)
{
    if (m_defaultVadNoiseFloor == 0) {
        m_defaultVadNoiseFloor = response->noise_floor;
        m_defaultVadSensitivity = response->sensitivity;
        qDebug() << "set default VAD noise floor to " << m_defaultVadNoiseFloor;
        qDebug() << "set default VAD sensitivity to " << m_defaultVadSensitivity;
        emit defaultVadNoiseFloorChanged(m_defaultVadNoiseFloor);
        emit defaultVadSensitivityChanged(m_defaultVadSensitivity);
        return;
    }
    emit vadPropertiesReceived(response->hangover_ms / 1000.0, response->noise_floor, response->sensitivity);
}

void VoiceManager::processEvent(ox_evt_base_t *event)
{
    switch (event->type) {
    case OX_EVT_ACCOUNT_LOGIN_STATE_CHANGE:
        onLoginStateChangeEvent(reinterpret_cast<const ox_evt_account_login_state_change_t *>(event));
        break;
    case OX_EVT_BUDDY_PRESENCE:
        onBuddyPresenceEvent(reinterpret_cast<const ox_evt_buddy_presence_t *>(event));
        break;
    case OX_EVT_SUBSCRIPTION: {
        const auto *e = reinterpret_cast<const ox_evt_subscription_t *>(event);
        qDebug().noquote() << "evt_subscription: " << sdkText(e->buddy_uri) << sdkText(e->display_name)
                           << sdkText(e->subscription_handle);
        emit subscriptionReceived(sdkText(e->buddy_uri).toLower(), sdkText(e->display_name),
                                  sdkText(e->subscription_handle));
        break;
    }
    case OX_EVT_SESSION_NOTIFICATION: {
        const auto *e = reinterpret_cast<const ox_evt_session_notification_t *>(event);
        emit sessionNotificationReceived(sdkText(e->session_handle), sdkText(e->participant_uri), e->notification_type);
        break;
    }
    case OX_EVT_MESSAGE: {
        const auto *e = reinterpret_cast<const ox_evt_message_t *>(event);
        emit messageReceived(sdkText(e->sender_uri).toLower(), sdkText(e->session_handle), sdkText(e->message_body));
        break;
    }
    case OX_EVT_AUX_AUDIO_PROPERTIES:
        onAudioPropertiesEvent(reinterpret_cast<const ox_evt_aux_audio_properties_t *>(event));
        break;
    case OX_EVT_BUDDY_CHANGED: {
        const auto *e = reinterpret_cast<const ox_evt_buddy_changed_t *>(event);
        if (sdkText(e->account_handle) != m_accountHandle)
            break;
        if (e->change == 1)
            emit friendAdded(sdkText(e->buddy_uri));
        else if (e->change == 2)
            emit friendRemoved(sdkText(e->buddy_uri));
        break;
    }
    case OX_EVT_BUDDY_AND_GROUP_LIST_CHANGED: {
        const auto *e = reinterpret_cast<const ox_evt_buddy_and_group_list_changed_t *>(event);
        if (sdkText(e->account_handle) != m_accountHandle)
            break;
        QStringList uris;
        QStringList data;
        for (int i = 0; e->buddies && i < e->buddy_count; ++i) {
            if (!e->buddies[i])
                continue;
            uris.append(sdkText(e->buddies[i]->uri).toLower());
            data.append(sdkText(e->buddies[i]->buddy_data));
        }
        emit friendsListReceived(uris, data);
        break;
    }
    case OX_EVT_KEYBOARD_MOUSE: {
        const auto *e = reinterpret_cast<const ox_evt_keyboard_mouse_t *>(event);
        qDebug() << "received keyEvent";
        emit keyEvent(sdkText(e->binding_name), e->is_down == 1);
        break;
    }
    case OX_EVT_MEDIA_STREAM_UPDATED:
        onMediaStreamEvent(reinterpret_cast<const ox_evt_media_stream_updated_t *>(event));
        break;
    case OX_EVT_TEXT_STREAM_UPDATED: {
        const auto *e = reinterpret_cast<const ox_evt_text_stream_updated_t *>(event);
        emit textStreamUpdated(sdkText(e->session_handle), e->incoming == 1, e->state, sdkText(e->status_string));
        break;
    }
    case OX_EVT_SESSIONGROUP_ADDED:
        emit sessionGroupAdded(
            sdkText(reinterpret_cast<const ox_evt_sessiongroup_added_t *>(event)->session_group_handle));
        break;
    case OX_EVT_SESSION_ADDED:
        onSessionAddedEvent(reinterpret_cast<const ox_evt_session_added_t *>(event));
        break;
    case OX_EVT_SESSION_REMOVED:
        onSessionRemovedEvent(reinterpret_cast<const ox_evt_session_removed_t *>(event));
        break;
    case OX_EVT_PARTICIPANT_ADDED:
        onParticipantAddedEvent(reinterpret_cast<const ox_evt_participant_added_t *>(event));
        break;
    case OX_EVT_PARTICIPANT_REMOVED:
        onParticipantRemovedEvent(reinterpret_cast<const ox_evt_participant_removed_t *>(event));
        break;
    case OX_EVT_PARTICIPANT_UPDATED: {
        const auto *e = reinterpret_cast<const ox_evt_participant_updated_t *>(event);
        emit participantUpdated(sdkText(e->participant_uri).toLower(), sdkText(e->session_handle),
                                e->is_muted_globally != 0, e->is_speaking != 0, e->volume_adjustment, e->energy,
                                e->active_media, e->is_muted_locally != 0, e->is_text_muted_globally != 0,
                                e->participant_type, sdkText(e->participant_tag));
        break;
    }
    case OX_EVT_SERVER_APP_DATA:
        onServerAppDataEvent(reinterpret_cast<const ox_evt_server_app_data_t *>(event));
        break;
    case OX_EVT_USER_APP_DATA: {
        const auto *e = reinterpret_cast<const ox_evt_user_app_data_t *>(event);
        qDebug().noquote() << "evt_user_app_data" << sdkText(e->from_uri) << sdkText(e->content);
        emit userAppDataReceived(sdkText(e->from_uri), sdkText(e->content));
        break;
    }
    case OX_EVT_NETWORK_MESSAGE: {
        const auto *e = reinterpret_cast<const ox_evt_network_message_t *>(event);
        if (e->message_type == 1) {
            qDebug() << "Network message received, offline_message type...";
            emit messageReceived(sdkText(e->sender_uri), QString(), sdkText(e->content));
        } else if (e->message_type == 0) {
            qDebug().noquote() << "Ignoring network message event from uri " + sdkText(e->sender_uri) + " content-type:"
                                      + sdkText(e->content_type) + " content \"" + sdkText(e->content);
        }
        break;
    }
    case OX_EVT_AUDIO_DEVICE_HOT_SWAP:
        qDebug() << "evt_audio_device_hot_swap, beginning refreshes...";
        m_captureDevices->requestDevices();
        m_renderDevices->requestDevices();
        break;
    default:
        // Events without a handler of their own are passed on; the record is
        // valid only during the emission.
        emit oxEventReceived(event->type, event);
        break;
    }
}

void VoiceManager::setKnownSession(const QString &sessionHandle, bool known)
{
    const bool changed = known ? !m_knownSessions.contains(sessionHandle) : m_knownSessions.contains(sessionHandle);
    if (known)
        m_knownSessions.insert(sessionHandle);
    else
        m_knownSessions.remove(sessionHandle);
    if (changed)
        emit sessionReallyConnectedChanged();
}

void VoiceManager::onBuddyPresenceEvent(const ox_evt_buddy_presence_t *event)
{
    const QString uri = sdkText(event->buddy_uri).toLower();
    QString message = sdkText(event->custom_message);
    message.remove(QStringLiteral("<properties><notes />"));
    message.remove(QStringLiteral("</properties>"));
    const QString account = sdkText(event->account_handle);
    qDebug().noquote() << "evt_buddy_presence: " << uri << event->presence << message << account;
    emit presenceReceived(uri, event->presence, message);
    emit contactPresenceReceived(account, uri, event->presence, message);
}

void VoiceManager::onSessionAddedEvent(const ox_evt_session_added_t *event)
{
    const QString session = sdkText(event->session_handle);
    const QString uri = sdkText(event->uri);
    m_uriBySessionHandle.insert(session, uri);
    if (!m_sessionHandleByUri.contains(uri))
        m_sessionHandleByUri.insert(uri, session);
    const bool incoming = event->is_incoming == 1;
    emit sessionJoining(uri.toLower(), session, sdkText(event->display_name), incoming);
    if (incoming)
        emit sessionRequested(uri.toLower(), session, sdkText(event->display_name),
                              sdkText(event->session_group_handle));
}

void VoiceManager::onSessionRemovedEvent(const ox_evt_session_removed_t *event)
{
    const QString session = sdkText(event->session_handle);
    const QString uri = sdkText(event->uri);
    setKnownSession(session, false);
    m_uriBySessionHandle.remove(session);
    // Another live session of the same address keeps its entry.
    if (m_sessionHandleByUri.value(uri) == session)
        m_sessionHandleByUri.remove(uri);

    if (!uri.isEmpty() && uri == m_transmittingChannel) {
        setTransmittingChannel(QString());
        if (!m_knownSessions.isEmpty()) {
            qDebug() << "VoiceManager::processMessage"
                     << "switching to previous transmitting session";
            for (const QString &known : qAsConst(m_knownSessions)) {
                const QString knownUri = m_uriBySessionHandle.value(known);
                if (!knownUri.isEmpty() && isVoiceEnabledConversation(knownUri)) {
                    setTransmittingChannel(knownUri);
                    break;
                }
            }
        }
    }
    emit sessionRemoved(uri.toLower(), session);
}

void VoiceManager::onParticipantAddedEvent(const ox_evt_participant_added_t *event)
{
    const QString session = sdkText(event->session_handle);
    const QString sessionUri = m_uriBySessionHandle.value(session);
    if (event->is_current_user != 0) {
        setKnownSession(session, true);
        // A conference the local user has just entered transmits.
        if (sessionUri.startsWith(QLatin1String("sip:confctl-")))
            setTransmittingChannel(sessionUri);
    }
    emit participantAdded(sdkText(event->participant_uri).toLower(), session, sdkText(event->display_name),
                          sdkText(event->participant_tag));
}

void VoiceManager::onParticipantRemovedEvent(const ox_evt_participant_removed_t *event)
{
    const QString session = sdkText(event->session_handle);
    const QString sessionUri = m_uriBySessionHandle.value(session);
    if (event->is_current_user != 0) {
        setKnownSession(session, false);
        if (!sessionUri.isEmpty() && sessionUri == m_transmittingChannel) {
            setTransmittingChannel(QString());
            if (!m_knownSessions.isEmpty()) {
                qDebug() << "switching to previous transmitting session";
                setTransmittingChannel(m_uriBySessionHandle.value(*m_knownSessions.constBegin()));
            }
        }
    }
    emit participantRemoved(sdkText(event->participant_uri).toLower(), session, event->reason,
                            sdkText(event->participant_tag).toLower());
}

bool VoiceManager::shouldReportMediaStreamError(const ox_evt_media_stream_updated_t *event)
{
    if (event->state != 1)
        return false;
    const int status = event->status_code;
    if (status == 401 || status == 404 || status == 1058 || status == 1095 || status == 1096 || status == 20212)
        return false;
    const QString text = sdkText(event->status_string);
    if (status == 403 && (text.contains(QLatin1String("(491)")) || text.contains(QLatin1String("(494)"))))
        return false;
    return status >= 300;
}

void VoiceManager::onMediaStreamEvent(const ox_evt_media_stream_updated_t *event)
{
    static const char *const stateNames[] = {"None", "Disconnected", "Connected",  "Ringing",
                                             "Hold", "Refer",        "Connecting", "Disconnecting"};
    const QString session = sdkText(event->session_handle);
    const QString statusText = sdkText(event->status_string);
    const int status = event->status_code;
    QString message;
    if (statusText.isEmpty())
        message = (event->state >= 0 && event->state <= 7) ? QString::fromLatin1(stateNames[event->state])
                                                           : QString::number(event->state);
    else
        message = QStringLiteral("(") + QString::number(status) + QStringLiteral(") ") + statusText;

    if (shouldReportMediaStreamError(event))
        emit sdkError(status, QStringLiteral("ox_evt_media_stream_updated_disconnected"), statusText);

    switch (status) {
    case 404:
        emit channelNotFound(session);
        break;
    case 401:
        emit channelPasswordRequired(session);
        break;
    case 408:
        emit channelConnectTimeout(session);
        break;
    case 1058:
        emit rtpTimeout(session);
        break;
    case 1060:
        emit maximumCallsExceeded(session);
        break;
    case 1095:
        emit rtpRecvTimeout(session);
        break;
    case 7006:
    case 7009:
        emit cannotOpenCaptureDevice(session);
        break;
    case 20900:
        emit cannotAddEchoToSession();
        break;
    case 40964:
        emit audioDeviceProblem(status);
        break;
    default:
        qDebug().noquote() << "Other media_stream_updated status code" << status << statusText;
        if (event->state == 1) {
            if (statusText.contains(QLatin1String("(491)")))
                emit channelPasswordRequired(session);
            else if (statusText.contains(QLatin1String("(494)")) || status == 403 || status == 20212)
                emit channelAccessDenied(session, statusText);
            else
                emit mediaDisconnected(session, statusText);
        } else if (event->state == 2) {
            emit sessionJoined(session);
        }
        break;
    }
    if (event->state == 1)
        setKnownSession(session, false);
    emit mediaStreamUpdated(session, event->incoming == 1, event->state, message);
}

void VoiceManager::onServerAppDataEvent(const ox_evt_server_app_data_t *event)
{
    const QByteArray content(event->content ? event->content : "");
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(content, &error);
    if (!document.isNull() && !document.isEmpty() && document.isObject()) {
        const QJsonObject object = document.object();
        emit serverAppDataReceived(sdkText(event->account_handle), object.value(QStringLiteral("ctype")).toString(),
                                   object.value(QStringLiteral("content")).toString());
        return;
    }
    qDebug().noquote() << "Problem parsing app_data:" << error.errorString();
    qDebug().noquote() << "Ignoring evt_server_app_data: " << QString::fromUtf8(content);
}

void VoiceManager::onAudioPropertiesEvent(const ox_evt_aux_audio_properties_t *event)
{
    emit auxAudioPropertiesReceived(event->mic_is_active != 0, event->mic_volume, event->mic_energy,
                                    event->speaker_is_active != 0, event->speaker_volume, event->speaker_energy);
    // "!=" is true for a NaN on either side, so a NaN always counts as a change.
    if (event->mic_energy != m_microphoneEnergy) {
        m_microphoneEnergy = event->mic_energy;
        emit microphoneEnergyChanged(m_microphoneEnergy);
    }
    if (event->speaker_energy != m_speakerEnergy) {
        m_speakerEnergy = event->speaker_energy;
        emit speakerEnergyChanged(m_speakerEnergy);
    }
    if (event->mic_volume != m_microphoneVolume) {
        m_microphoneVolume = event->mic_volume;
        emit microphoneVolumeChanged(m_microphoneVolume);
    }
    if (event->speaker_volume != m_speakerVolume) {
        m_speakerVolume = event->speaker_volume;
        emit speakerVolumeChanged(m_speakerVolume);
    }
    if ((event->mic_is_active != 0) != m_microphoneActive) {
        m_microphoneActive = event->mic_is_active != 0;
        emit microphoneActiveChanged(m_microphoneActive);
    }
    if ((event->speaker_is_active != 0) != m_speakerActive) {
        m_speakerActive = event->speaker_is_active != 0;
        emit speakerActiveChanged(m_speakerActive);
    }
    if (event->noise_floor != m_noiseFloor) {
        m_noiseFloor = event->noise_floor;
        emit noiseFloorChanged(m_noiseFloor);
    }
    if (event->speech_threshold != m_speechThreshold) {
        m_speechThreshold = event->speech_threshold;
        emit speechThresholdChanged(m_speechThreshold);
    }
    if (m_maxNoiseFloor != 1.0) {
        m_maxNoiseFloor = 1.0;
        emit maxNoiseFloorChanged(m_maxNoiseFloor);
    }
}

bool VoiceManager::isVoiceEnabledConversation(const QString &uri) const
{
    const Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(uri);
    return conversation && conversation->getVoiceState() == Conversation::VoiceEnabled;
}

void VoiceManager::onLoginStateChangeEvent(const ox_evt_account_login_state_change_t *event)
{
    const QString handle = sdkText(event->account_handle);
    qDebug().noquote().nospace() << "login state change " << event->state << " for handle " << handle;
    switch (event->state) {
    case 2:
        if (m_sharedAccounts.contains(handle)) {
            m_lateLogoutHandle = handle;
            qDebug().noquote().nospace() << "Login state changed after aborting logging in, handle " << handle;
        } else if (m_abortedLoginHandle.isEmpty() && m_accountHandle.isEmpty() && m_loginTimer != 0) {
            m_abortedLoginHandle = handle;
        }
        break;
    case 1:
        if (handle.isEmpty()) {
            // No account is without a handle; taken as the own login it
            // would match the empty handle of a login that never started.
            qWarning().noquote() << "VoiceManager: ignoring a logged-in event without an account handle";
        } else if (m_accountHandle.isEmpty() && handle == m_abortedLoginHandle) {
            m_abortedLoginHandle.clear();
            m_accountHandle = handle;
            m_reconnectAttempted = false;
            if (m_exiting) {
                onAppExit();
                return;
            }
            m_pendingLoginToken.clear();
            emit stopLoginTimer(&m_loginTimer, true);
            if (m_requestClient)
                m_requestClient->sessionGroupCreate(sdkBytes(m_accountHandle), false);
            emit voiceLoggedIn();
            m_loginRequested = false;
        } else if (!m_lateLogoutHandle.isEmpty() && handle == m_lateLogoutHandle) {
            if (m_requestClient)
                m_requestClient->accountLogout(sdkBytes(handle));
        }
        break;
    case 0:
        if (!m_accountHandle.isEmpty() && handle == m_accountHandle) {
            m_uriBySessionHandle.clear();
            m_sessionHandleByUri.clear();
            if (!m_transmittingChannel.isEmpty()) {
                m_transmittingChannel.clear();
                emit transmittingChannelChanged(m_transmittingChannel);
            }
            m_channelSessionGroupHandle.clear();
            const QString statusText = sdkText(event->status_string);
            const QString reason = statusText == QLatin1String("OK") ? QString() : statusText;
            if (event->status_code >= 300)
                emit sdkError(event->status_code, QStringLiteral("ox_evt_account_login_state_change_logged_out"),
                              statusText);
            notifyVoiceLoggedOut(reason);
        } else if (!m_lateLogoutHandle.isEmpty() && handle == m_lateLogoutHandle) {
            m_lateLogoutHandle.clear();
        } else if (m_sharedAccounts.contains(handle)) {
            // An external realm's account; its realm follows it itself.
        } else {
            if (m_accountHandle.isEmpty() && !m_pendingLoginToken.isEmpty()) {
                emit stopLoginTimer(&m_loginTimer, true);
                m_pendingLoginToken.clear();
            }
            m_abortedLoginHandle.clear();
        }
        break;
    default:
        break;
    }
}

void VoiceManager::shutdown()
{
    ox_set_application_crash_data("VoiceManager::shutdown");
    VoiceManager *self = this;
    if (!s_instance.compare_exchange_strong(self, nullptr))
        return;

    qDebug() << "VoiceManager::shutdown()...";
    disconnect(this, &VoiceManager::sdkMessageAvailable, this, &VoiceManager::onSdkMessageAvailable);
    // Does not return while a notification is still running on the SDK's
    // thread, so none can reach this object afterwards.
    ox_unregister_message_notification_handler(&VoiceManager::sdkMessageCallback, nullptr);

    if (!m_connectorHandle.isEmpty()) {
        if (m_requestClient)
            m_requestClient->connectorInitiateShutdown(sdkBytes(m_connectorHandle));
        QElapsedTimer stopwatch;
        stopwatch.start();
        bool answered = false;
        // Whatever else arrives meanwhile is freed without being dispatched.
        while (stopwatch.elapsed() < kShutdownWaitMs) {
            ox_message_base_t *message = nullptr;
            if (ox_get_message(&message) != 0 || !message) {
                QThread::msleep(kShutdownPollMs);
                continue;
            }
            const bool isShutdownAnswer =
                message->type == OX_MSG_RESPONSE
                && reinterpret_cast<ox_resp_base_t *>(message)->type == OX_RESP_CONNECTOR_INITIATE_SHUTDOWN;
            ox_destroy_message(message);
            if (isShutdownAnswer) {
                qDebug().nospace() << "resp_connector_initiate_shutdown in " << stopwatch.elapsed();
                answered = true;
                break;
            }
        }
        if (!answered)
            qCritical() << "Error: VoiceManager::shutdown() failed to receive resp_connector_initiate_shutdown within"
                        << kShutdownWaitMs << "milliseconds.";
        m_connectorHandle.clear();
    }

    stopTimer(m_exitTimer, false);
    stopTimer(m_connectorTimer, false);
    stopTimer(m_retryTimer, true);
    stopTimer(m_loginTimer, true);
    delete m_requestClient;
    m_requestClient = nullptr;

    qDebug() << "Calling ox_uninitialize()...";
    ox_set_application_crash_data("ox_uninitialize()");
    const int result = ox_uninitialize();
    if (result != 0)
        qCritical().nospace() << "Error: ox_uninitialize() returned " << result;
    qDebug() << "VoiceManager::shutdown() completed.";
}

void VoiceManager::onSdkLogMessage(const char *source, const char *level, const char *message)
{
    const char *raw = message ? message : "";
    // Dropped before any other work: the SDK writes these for every audio
    // frame and participant update.
    if (std::strstr(raw, "ParticipantUpdatedEvent") || std::strstr(raw, "AuxAudioPropertiesEvent"))
        return;

    const QString text = QString::fromUtf8(raw);
    const QString sourceText = sdkText(source);
    const QString levelText = sdkText(level);

    const int sourceAt = text.indexOf(sourceText);
    const QString logged = sourceAt >= 0 ? text.mid(sourceAt) : text;

    // "<level> <path> <line> ...": the file name follows the level text, the
    // line number the file name.
    QByteArray file("[none]");
    int line = 0;
    const int levelAt = levelText.isEmpty() ? -1 : text.indexOf(levelText);
    if (levelAt >= 0) {
        const int pathStart = levelAt + levelText.size();
        const int pathEnd = text.indexOf(QLatin1Char(' '), pathStart + 1);
        if (pathEnd >= 0) {
            const QString path = text.mid(pathStart, pathEnd - pathStart).trimmed();
            const int slash = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
            const QString name = path.mid(slash + 1);
            if (!name.isEmpty())
                file = name.toUtf8();
            const int numberEnd = text.indexOf(QLatin1Char(' '), pathEnd + 1);
            const QString number =
                numberEnd >= 0 ? text.mid(pathEnd + 1, numberEnd - pathEnd - 1) : text.mid(pathEnd + 1);
            bool ok = false;
            const int value = number.toInt(&ok);
            if (ok && value > 0)
                line = value;
        }
    }

    const QByteArray function = sourceText.toUtf8();
    const QByteArray body = logged.toUtf8();
    const QMessageLogger logger(file.constData(), line, function.constData());
    if (levelText.startsWith(QLatin1String("Warning")))
        logger.warning(sdkint(), "%s", body.constData());
    else if (levelText.startsWith(QLatin1String("Error")))
        logger.critical(sdkint(), "%s", body.constData());
    else
        logger.debug(sdkint(), "%s", body.constData());
}
