#include "voicemanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlError>
#include <QRegularExpression>
#include <QScopedPointer>
#include <QStandardPaths>
#include <QThread>
#include <QTimerEvent>
#include <QVariant>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "capturedevicemodel.h"
#include "logcategories.h"
#include "logging.h"
#include "renderdevicemodel.h"
#include "reportassertionfailure.h"
#include "sdkrequestclient.h"
#include "storagemanager.h"
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
constexpr int kLoginTimerMs = 45000;
constexpr int kExitLogoutTimerMs = 30000;
constexpr int kShutdownWaitMs = 3000;
constexpr int kShutdownPollMs = 50;
// The program folder in the initialisation record: at most this many
// characters and a terminating zero.
constexpr int kAppFolderChars = 254;

// An SDK text; null reads as empty.
QString sdkText(const char *text)
{
    return QString::fromLatin1(text ? text : "");
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

// The text of a string property of the settings object; empty (with a
// warning) when the property holds anything but a string.
QString stringProperty(const QObject *object, const char *name, const QString &path)
{
    const QVariant value = object->property(name);
    if (!value.isValid() || value.isNull())
        return QString();
    if (value.userType() != QMetaType::QString) {
        qWarning().noquote() << "Ignoring RuntimeSettings property" << name << "of" << path
                             << "- it is not a string but" << value.typeName();
        return QString();
    }
    return value.toString();
}

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

    fillVirtualKeyTable();
    initializeSdk(applicationDirPath);

    m_applicationDirPath = applicationDirPath;
    m_requestClient = new SdkRequestClient;
    m_requestClient->setConnectorLogLevel(sdkLogLevel);
    m_captureDevices = new CaptureDeviceModel(this, this);
    m_renderDevices = new RenderDeviceModel(this, this);

    // The SDK notifies on its own thread; the queued connection moves all
    // message handling onto the main thread.
    connect(this, &VoiceManager::sdkMessageAvailable, this, &VoiceManager::onSdkMessageAvailable,
            Qt::QueuedConnection);
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
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DataLocation)
                         + QStringLiteral("/RuntimeSettings.qml");
    qDebug().noquote() << "Checking for local override settings" << path;

    const QString defaultVoiceDomain = defaultDomain(useDevelopmentServers);
    m_domain = defaultVoiceDomain;
    m_applicationServer = QStringLiteral("https://social.") + m_domain;
    m_downloadServer = QStringLiteral("https://")
                       + QString::fromLatin1(useDevelopmentServers ? kDevelopmentWebHost : kDownloadHost);

    if (QFile::exists(path)) {
        // A file that does not load cleanly (syntax or script errors) changes
        // nothing: half-applied server settings would be worse than none.
        QQmlEngine engine;
        QList<QQmlError> scriptErrors;
        connect(&engine, &QQmlEngine::warnings, this,
                [&scriptErrors](const QList<QQmlError> &warnings) { scriptErrors += warnings; });
        QQmlComponent component(&engine, QUrl::fromLocalFile(path));
        QScopedPointer<QObject> settings(component.isReady() ? component.create() : nullptr);
        scriptErrors += component.errors();
        if (!settings || !scriptErrors.isEmpty()) {
            for (const QQmlError &error : qAsConst(scriptErrors))
                qWarning().noquote() << "RuntimeSettings.qml ignored:" << error.toString();
            if (scriptErrors.isEmpty())
                qWarning().noquote() << "RuntimeSettings.qml ignored: no object created from" << path;
        } else {
            const QString domain = stringProperty(settings.data(), "domain", path);
            const QString applicationServer = stringProperty(settings.data(), "applicationServer", path);
            const QString downloadServer = stringProperty(settings.data(), "downloadServer", path);
            if (!domain.isEmpty()) {
                m_domain = domain;
                qDebug().noquote() << "Using RuntimeSettings domain" << m_domain;
            }
            if (!applicationServer.isEmpty()) {
                m_applicationServer = serverAddress(applicationServer);
                qDebug().noquote() << "Using RuntimeSettings applicationServer" << m_applicationServer;
            }
            if (!downloadServer.isEmpty()) {
                m_downloadServer = serverAddress(downloadServer);
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
        qDebug().noquote() << "VoiceManager::requestLogin" << "shared realm requesting login:" << sharedRealmId;
        m_requestClient->accountAuthtokenLogin(sdkBytes(m_connectorHandle), sdkBytes(token));
        return;
    }
    if (m_loginIssued && token == m_pendingLoginToken)
        return;
    m_pendingLoginToken = token;
    if (!m_connectorHandle.isEmpty() && !m_loginIssued) {
        m_requestClient->accountAuthtokenLogin(sdkBytes(m_connectorHandle), sdkBytes(token));
        if (!m_loginTimer)
            m_loginTimer = startTimer(kLoginTimerMs);
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
        m_requestClient->accountChannelRemoveAcl(sdkBytes(m_accountHandle), sdkBytes(channelUri),
                                                 sdkBytes(userUri));
}

void VoiceManager::requestChannelAclList(QString channelUri)
{
    if (m_requestClient)
        m_requestClient->accountChannelGetAcl(sdkBytes(m_accountHandle), sdkBytes(channelUri));
}

void VoiceManager::requestAddChannelModerator(QString channelUri, QString userUri)
{
    if (m_requestClient)
        m_requestClient->accountChannelAddModerator(sdkBytes(m_accountHandle), sdkBytes(channelUri),
                                                    sdkBytes(userUri));
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
        m_requestClient->channelMuteUser(sdkBytes(accountOrOwn(accountHandle)), sdkBytes(channelUri),
                                         sdkBytes(userUri), mute, 1);
}

void VoiceManager::muteUserText(QString channelUri, QString userUri, bool mute, QString accountHandle)
{
    if (m_requestClient)
        m_requestClient->channelMuteUser(sdkBytes(accountOrOwn(accountHandle)), sdkBytes(channelUri),
                                         sdkBytes(userUri), mute, 2);
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
    const int hangoverMs = (milliseconds > -2147483648.0 && milliseconds < 2147483648.0)
                               ? static_cast<int>(milliseconds)
                               : -1;
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
        m_requestClient->sessionGroupAddSession(sdkBytes(sessionGroupHandle), sdkBytes(uri), QByteArray(), true,
                                                true, 0);
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
    qDebug().noquote() << "VoiceManager::onSessionGroupAdded" << "sHandle" << sessionGroupHandle;
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
        m_requestClient->sessionGroupAddSession(sdkBytes(sessionGroupHandle), sdkBytes(uri), QByteArray(), false,
                                                true, 0);
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
        qDebug() << "VoiceManager::closeSessionGroupHandle" << "can't remove base session group";
        return;
    }
    if (m_requestClient)
        m_requestClient->sessionGroupTerminate(sdkBytes(sessionGroupHandle));
}

bool VoiceManager::requestTerminateSession(QString sessionHandle)
{
    if (!m_knownSessions.contains(sessionHandle))
        return false;
    if (m_requestClient)
        m_requestClient->sessionTerminate(sdkBytes(sessionHandle));
    m_knownSessions.remove(sessionHandle);
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
        qDebug() << "VoiceManager::setTransmittingChannel" << "notifying sessionGroupHandle of change...";
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
        m_requestClient->sessionSetParticipantVolumeForMe(sdkBytes(sessionHandle), sdkBytes(participantUri),
                                                          volume);
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
    qDebug() << "VoiceManager::onNetworkStateChanged" << "isOnline" << isOnline;
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
    m_exitTimer = startTimer(kExitLogoutTimerMs);
}

void VoiceManager::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_exitTimer && m_exitTimer) {
        stopTimer(m_exitTimer, false);
        qWarning() << "The voice logout at exit was not answered within" << kExitLogoutTimerMs
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
        ox_destroy_resp(response);
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

void VoiceManager::processResponse(ox_resp_base_t *response)
{
    if (response->return_code == 0) {
        switch (response->type) {
        case OX_RESP_CONNECTOR_CREATE:
            m_connectorHandle = sdkText(reinterpret_cast<ox_resp_connector_create_t *>(response)->connector_handle);
            emit connectorCreated();
            break;
        case OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN:
            onLoginResponse(reinterpret_cast<const ox_resp_account_authtoken_login_t *>(response));
            break;
        case OX_RESP_AUX_GET_RENDER_DEVICES:
            qDebug() << "Received render device list...";
            m_renderDevices->updateDevices(reinterpret_cast<const ox_resp_aux_get_render_devices_t *>(response));
            emit renderDeviceChanged(m_renderDevices->currentDeviceId());
            break;
        case OX_RESP_AUX_GET_CAPTURE_DEVICES:
            qDebug() << "Received capture device list...";
            m_captureDevices->updateDevices(reinterpret_cast<const ox_resp_aux_get_capture_devices_t *>(response));
            emit captureDeviceChanged(m_captureDevices->currentDeviceId());
            break;
        case OX_RESP_AUX_SET_RENDER_DEVICE:
            m_renderDevices->requestDevices();
            break;
        case OX_RESP_AUX_SET_CAPTURE_DEVICE:
            m_captureDevices->requestDevices();
            break;
        case OX_RESP_AUX_GET_MIC_LEVEL:
            onMicLevelResponse(reinterpret_cast<const ox_resp_aux_get_mic_level_t *>(response)->level);
            break;
        case OX_RESP_AUX_GET_SPEAKER_LEVEL:
            onSpeakerLevelResponse(reinterpret_cast<const ox_resp_aux_get_speaker_level_t *>(response)->level);
            break;
        case OX_RESP_AUX_SET_MIC_LEVEL:
            if (response->request)
                emit micLevelChanged(reinterpret_cast<const ox_req_aux_set_mic_level_t *>(response->request)->level);
            break;
        case OX_RESP_AUX_SET_SPEAKER_LEVEL:
            if (response->request) {
                m_speakerLevel = reinterpret_cast<const ox_req_aux_set_speaker_level_t *>(response->request)->level;
                emit speakerLevelChanged(m_speakerLevel);
            }
            break;
        case OX_RESP_AUX_GET_VAD_PROPERTIES:
            onVadPropertiesResponse(reinterpret_cast<const ox_resp_aux_get_vad_properties_t *>(response));
            break;
        default:
            break;
        }
        return;
    }

    switch (response->type) {
    case OX_RESP_CONNECTOR_CREATE:
        qWarning().noquote() << "Connector create failed... status code" << response->status_code
                             << sdkText(response->status_string);
        emit connectorCreateFailed(response->status_code == 10006
                                       ? QStringLiteral("Could not resolve host")
                                       : QStringLiteral("Could not connect to voice server"));
        break;
    default:
        break;
    }
}

void VoiceManager::onLoginResponse(const ox_resp_account_authtoken_login_t *response)
{
    const auto *request = reinterpret_cast<const ox_req_account_authtoken_login_t *>(response->base.request);
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

void VoiceManager::onMicLevelResponse(int level)
{
    // Only the first answer sets the default; the SDK is asked once at start.
    if (!TAVRI_CHECK(m_defaultMicLevel == 0))
        return;
    m_defaultMicLevel = level;
    m_micLevel = level;
    qDebug() << "Set default mic level to " << level;
    emit defaultMicLevelChanged(m_defaultMicLevel);
    emit micLevelChanged(m_micLevel);
}

void VoiceManager::onSpeakerLevelResponse(int level)
{
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
    case OX_EVT_SESSIONGROUP_ADDED:
        emit sessionGroupAdded(
            sdkText(reinterpret_cast<const ox_evt_sessiongroup_added_t *>(event)->session_group_handle));
        break;
    default:
        emit oxEventReceived(event->type, event);
        break;
    }
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
        if (m_accountHandle.isEmpty() && handle == m_abortedLoginHandle) {
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

    const QString text = QString::fromLatin1(raw);
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
