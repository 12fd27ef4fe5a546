#include "storagemanager.h"

#include "autostartentry.h"
#include "keychainsecretstore.h"
#include "privatefiles.h"
#include "reportassertionfailure.h"
#include "urlschemeregistration.h"
#include "version.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>

namespace {

StorageManager *s_instance = nullptr;

constexpr int kSchemaVersion = 13;
constexpr int kMaxRecentConversations = 10;
constexpr int kDefaultVolumePercent = 50;
constexpr int kDefaultPushToTalkKey = 162; // VK_LCONTROL

const QString kRunAtStartupKey = QStringLiteral("settingsRunAtStartup");
const QString kPerformanceLevelKey = QStringLiteral("settingsPerformanceLevel");
const QString kShowHintsKey = QStringLiteral("settingsShowHints");
const QString kShowHintGroup = QStringLiteral("settingsShowHint");
const QString kDefaultsPrefix = QStringLiteral("defaults.");
const QString kUserVolumePrefix = QStringLiteral("settingsUserVolumeAdjust_");

// Key strings of NamedSettings, indexed by value. These are stored data:
// misspellings and irregular suffixes included, they must never change.
const char *const kSettingsKeys[] = {
    nullptr, // 0 SettingsKeyUnnamed
    "settingsAutoLogin",
    "_password",
    "settingAudioDeviceForRender",
    "settingAudioDeviceForCapture",
    "vad_sensitivity",
    "vad_noisefloor",
    "vad_hangover_s",
    "settingsShowOfflineFriends",
    "settingsMicVolumePercent",
    "settingsSpeakerVolumePercent", // 10
    "settingVoiceFont",
    "settingsPttMode",
    "settingsPttKeyCodeV2",
    "settingsKeyCodesetPTT",
    "settingsKeyCodesetPTTString",
    "settingsPreferredAudioOutputDevice",
    "settingsPreferredAudioInputDevice",
    "settingsTTSminimizedOnly",
    "settingsSpeakChannelJoin",
    "settingsSpeakMessages", // 20
    "settingsSpeakMotD",
    "settingsSpeakUserJoin",
    "settingsSpeakFriendRequest",
    "settingsSpeakChannelInvite",
    "settingsSpeakAllNotifications",
    "settingsTTSvolume",
    "settingsTTSvoice",
    "settingsPopupsChatMessage",
    "settingsPopupFriendRequest",
    "settingsPopupChannelInvite", // 30
    "settingsPopupsOthers",
    "settingsRunAtStartup",
    "settingsJoinChWithHyperlink",
    "settingsLogging",
    "_presence_customMessage",
    "notificationCheckInterval",
    "lastPresenceState",
    "settingsAppIdleInterval",
    "mainWindow.x",
    "mainWindow.y", // 40
    "mainWindow.width",
    nullptr, // 42 SettingsKeyMainWindowHeight
    "mainWindow.staysOnTop",
    "showCustomNames",
    "useDevelopmentServers",
    "settingsShowEmailSharing",
    "settingsSesionStatisticsTimeout",
    "settingsSessionStatisticsSamplesNum",
    "settingsPostCallSurveyDisabled",
    "settingsPostCallSurveyStartNum", // 50
    "settingsPostCallSurveyRepeatNum",
    "settingsSavePasswordsForChannels",
    "settingsShowTimestampsInChat",
    "chatWindow.x",
    "chatWindow.y",
    "chatWindow.width",
    "chatWindow.height",
    "settingsUseAdvancedAGC",
    "settingsDisableChannelIdleTimeout",
    nullptr, // 60 SettingsKeyUserVolumeAdjustPrefix
    "settingsShowHints",
    "settingsSkin",
    "locale",
    "settingsNotificationsPaneHeight",
    "settingsLogChatMessages",
    "chatLogWindow.x",
    "chatLogWindow.y",
    "chatLogWindow.w",
    "chatLogWindow.h", // 69
};
constexpr int kSettingsKeyCount = int(sizeof(kSettingsKeys) / sizeof(kSettingsKeys[0]));
static_assert(kSettingsKeyCount == StorageManager::SettingsKeyChatLogWindowHeight + 1,
              "one key string per NamedSettings value");

// Keys whose values are secrets: stored, but never announced or logged.
bool isPasswordKey(const QString &key)
{
    return key.contains(QLatin1String("password")) || key.contains(QLatin1String("passwd"));
}

// Settings that hot paths read: the time stamps and the log of every chat
// line, and whether names show as their owners chose them.
bool isCachedKey(const QString &key)
{
    return key == QLatin1String("settingsShowTimestampsInChat") || key == QLatin1String("settingsLogChatMessages")
           || key == QLatin1String("showCustomNames");
}

// Keys whose values go to the secret store: the saved sign-in password and
// remembered channel passwords.
bool isSecretKey(const QString &key)
{
    return key == QLatin1String("password") || key.endsWith(QLatin1String("_password"));
}

QString secretName(const QString &group, const QString &key)
{
    return group.isEmpty() ? key : group + QLatin1Char('/') + key;
}

// Characters a file name cannot hold on any desktop platform, besides the
// path separators; they would otherwise reach outside the data folder or
// make the file impossible to create.
bool isUnsafeFileNameCharacter(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("/\\<>\"|?*").contains(c);
}

QString sqlError(const QSqlQuery &query)
{
    return query.lastError().text();
}

} // namespace

StorageManager::StorageManager(QObject *parent)
    : QObject(parent)
{
    if (s_instance)
        reportAssertionFailure("!s_instance", __FILE__, __LINE__, Q_FUNC_INFO, true);
    else
        s_instance = this;

    PrivateFiles::restrictNewFiles();
    m_secretStore = std::make_unique<KeychainSecretStore>(QStringLiteral("Tavri"));
    setUnusableSettingsFileAside();
    PrivateFiles::replaceForeignLink(QSettings().fileName());

    QSettings settings;
    const QString version = QString::fromLatin1(tavriVersion());
    if (settings.value(QStringLiteral("version"), QStringLiteral("0")).toString() != version) {
        settings.setValue(QStringLiteral("version"), version);
        settings.sync();
    }
    PrivateFiles::narrowProgramFiles(settings.fileName());
    registerUrlProtocol();
}

void StorageManager::setUnusableSettingsFileAside()
{
    // The settings file's path, worked out without QSettings, which would
    // read the whole file before anything could be checked.
    const QString organization = QCoreApplication::organizationName().isEmpty() ? QStringLiteral("Unknown Organization")
                                                                                : QCoreApplication::organizationName();
    const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/')
                         + organization + QLatin1Char('/') + QCoreApplication::applicationName()
                         + QStringLiteral(".conf");
    const QFileInfo info(file);
    if (info.exists() && info.size() > kMaxSettingsFileBytes) {
        const QString aside = file + QStringLiteral(".too-large");
        QFile::remove(aside);
        const bool moved = QFile::rename(file, aside);
        qWarning().noquote() << "Settings file" << file << "is" << info.size() << "bytes, more than"
                             << kMaxSettingsFileBytes
                             << (moved ? "- kept aside as " + aside + ", starting anew"
                                       : QStringLiteral("- could not be moved aside"));
        return;
    }
    QSettings settings;
    if (settings.status() != QSettings::FormatError)
        return;
    // What could be read is used; the file as it was is kept for a look.
    const QString aside = file + QStringLiteral(".unreadable");
    QFile::remove(aside);
    const bool kept = QFile::copy(file, aside);
    qWarning().noquote() << "Settings file" << file << "is partly unreadable;"
                         << (kept ? "a copy is kept as " + aside : QStringLiteral("no copy could be kept"));
}

void StorageManager::setSecretStore(std::unique_ptr<SecretStore> store)
{
    m_secretStore = std::move(store);
    m_secretFallbackLogged = false;
}

QVariant StorageManager::readSecret(const QString &group, const QString &key, const QVariant &defaultValue) const
{
    QString secret;
    const SecretStore::Result result =
        m_secretStore ? m_secretStore->read(secretName(group, key), &secret) : SecretStore::Unavailable;
    if (result == SecretStore::Done)
        return secret;
    if (result != SecretStore::NotFound)
        noteSecretFallback(result);
    // Not in the store: kept in the settings file, or not moved yet.
    QSettings settings;
    if (!group.isEmpty())
        settings.beginGroup(group);
    return settings.value(key, defaultValue);
}

void StorageManager::writeSecret(const QString &group, const QString &key, const QString &secret)
{
    QSettings settings;
    if (!group.isEmpty())
        settings.beginGroup(group);
    const QString name = secretName(group, key);
    const SecretStore::Result result = m_secretStore ? m_secretStore->write(name, secret) : SecretStore::Unavailable;
    if (result == SecretStore::Done) {
        // Moved: no copy stays in the settings file.
        if (settings.contains(key)) {
            settings.remove(key);
            settings.sync();
        }
        return;
    }
    noteSecretFallback(result);
    // An older copy in a store that refused the write would shadow this one.
    if (result == SecretStore::Refused)
        m_secretStore->remove(name);
    settings.setValue(key, secret);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qWarning().noquote().nospace() << "Failed setting " << key << ": " << settings.status();
}

void StorageManager::removeSecret(const QString &group, const QString &key)
{
    if (m_secretStore)
        m_secretStore->remove(secretName(group, key));
    QSettings settings;
    if (!group.isEmpty())
        settings.beginGroup(group);
    if (settings.contains(key)) {
        settings.remove(key);
        settings.sync();
    }
}

void StorageManager::noteSecretFallback(int result) const
{
    if (m_secretFallbackLogged)
        return;
    m_secretFallbackLogged = true;
    if (result == SecretStore::Refused)
        qWarning() << "The secret store refused a request; saved passwords are kept in the owner-only settings file";
    else
        qWarning() << "No secret store available; saved passwords are kept in the owner-only settings file";
}

StorageManager::~StorageManager()
{
    if (m_database.isValid()) {
        const QString connection = m_database.connectionName();
        m_database.close();
        m_database = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
    }
    if (s_instance == this)
        s_instance = nullptr;
}

StorageManager *StorageManager::getInstance()
{
    if (!s_instance)
        new StorageManager();
    return s_instance;
}

QString StorageManager::getInstallGuid()
{
    return getInstance()->installGuid();
}

bool StorageManager::getLogMeIn()
{
    return getInstance()->logMeIn();
}

int StorageManager::getMicVolumePercent()
{
    return getInstance()->readPercent(getSettingsKeyName(SettingsKeyMicVolumePercent), "microphone volume (");
}

int StorageManager::getSpeakerVolumePercent()
{
    return getInstance()->readPercent(getSettingsKeyName(SettingsKeySpeakerVolumePercent), "speaker volume (");
}

bool StorageManager::getUseAdvancedAgc()
{
    return getInstance()->getSettingsValue(SettingsUseAdvancedAGC, true).toBool();
}

void StorageManager::setUseAdvancedAgc(bool enabled)
{
    getInstance()->setSettingsValue(SettingsUseAdvancedAGC, enabled);
}

QString StorageManager::getSettingsKeyName(NamedSettings setting)
{
    const int index = int(setting);
    if (index < 0 || index >= kSettingsKeyCount || !kSettingsKeys[index]) {
        qDebug() << "IMPLEMENTATION ISSUE - PLEASE IMPLEMENT TRANSLATION FOR SETTING KEY" << index;
        return QString();
    }
    return QString::fromLatin1(kSettingsKeys[index]);
}

StorageManager::NamedSettings StorageManager::getNamedSettingsFromKey(const QString &key)
{
    for (int i = 1; i < kSettingsKeyCount; ++i) {
        if (kSettingsKeys[i] && key == QLatin1String(kSettingsKeys[i]))
            return NamedSettings(i);
    }
    return SettingsKeyUnnamed;
}

QString StorageManager::userGroup(const QString &settingsGroup) const
{
    return settingsGroup.isEmpty() ? m_databaseName : settingsGroup;
}

void StorageManager::setSettingsValue(const QString &key, const QVariant &value, const QString &settingsGroup)
{
    if (key.isEmpty()) {
        qCritical().noquote() << "Invalid Setting Key. Failed setting for key " << key;
        return;
    }
    if (!key.contains(QLatin1String("mainWindow"))) {
        if (isPasswordKey(key))
            qDebug().noquote().nospace() << "settings value " << key << " set";
        else
            qDebug().noquote().nospace() << "settings value " << key << " set to " << value;
    }

    if (key == kRunAtStartupKey) {
        const QStringList arguments = QCoreApplication::arguments();
        const QString command = value.toBool() && !arguments.isEmpty() ? arguments.first() : QString();
        if (!host::AutostartEntry::setCommand(command))
            qWarning() << "Could not update the start-at-login entry";
    } else if (key == kPerformanceLevelKey) {
        const PerformanceLevel level = value.toBool() ? PerformancePrettiest : PerformanceFastest;
        if (getPerformanceLevel() != level)
            setPerformanceLevel(level);
        return;
    }

    if (isSecretKey(key)) {
        writeSecret(userGroup(settingsGroup), key, value.toString());
        return;
    }

    QSettings settings;
    const QString group = userGroup(settingsGroup);
    if (!group.isEmpty())
        settings.beginGroup(group);
    const bool changed = !settings.contains(key) || !(settings.value(key) == value);
    settings.setValue(key, value);
    settings.sync();
    m_cachedSettings.clear();
    if (settings.status() != QSettings::NoError) {
        qWarning().noquote().nospace() << "Failed setting " << key << ": " << settings.status();
        return;
    }
    if (changed)
        notifySettingChanged(key, value);
}

void StorageManager::setSettingsValue(NamedSettings setting, const QVariant &value)
{
    setSettingsValue(getSettingsKeyName(setting), value, QString());
}

QVariant StorageManager::getSettingsValue(const QString &key, const QVariant &defaultValue,
                                          const QString &settingsGroup)
{
    // Settings read for every chat line or name comparison are kept after
    // their first read; every write through this class forgets them. They
    // are answered first, without making a string: none of them is empty,
    // secret or worked out.
    const bool cached = isCachedKey(key);
    if (cached) {
        const auto group = m_cachedSettings.constFind(userGroup(settingsGroup));
        if (group != m_cachedSettings.constEnd()) {
            const auto known = group->constFind(key);
            if (known != group->constEnd())
                return known->first ? known->second : defaultValue;
        }
    }
    if (key.isEmpty()) {
        qCritical().noquote() << "Invalid Key. Failed Setting query for key " << key;
        return defaultValue;
    }
    if (key == kRunAtStartupKey) {
        // On when the entry starts exactly what started this process.
        const QStringList arguments = QCoreApplication::arguments();
        const QString command = host::AutostartEntry::command();
        return !command.isEmpty() && !arguments.isEmpty() && command == arguments.first();
    }
    if (key == kPerformanceLevelKey)
        return int(getPerformanceLevel());
    if (isSecretKey(key))
        return readSecret(userGroup(settingsGroup), key, defaultValue);

    const QString group = userGroup(settingsGroup);
    QSettings settings;
    if (!group.isEmpty())
        settings.beginGroup(group);
    if (!cached)
        return settings.value(key, defaultValue);
    const bool present = settings.contains(key);
    const QVariant stored = present ? settings.value(key) : QVariant();
    m_cachedSettings[group].insert(key, qMakePair(present, stored));
    return present ? stored : defaultValue;
}

QVariant StorageManager::getSettingsValue(NamedSettings setting, const QVariant &defaultValue)
{
    return getSettingsValue(getSettingsKeyName(setting), defaultValue, QString());
}

QVariant StorageManager::getDefaultSettings(const QString &key, const QVariant &value)
{
    const auto pushed = m_serverDefaults.constFind(key);
    if (pushed != m_serverDefaults.constEnd())
        return pushed.value();
    return getSettingsValue(kDefaultsPrefix + key, value);
}

QVariant StorageManager::getDefaultSettings(NamedSettings setting, const QVariant &value)
{
    const QString key = getSettingsKeyName(setting);
    if (key.isEmpty()) {
        qCritical().noquote() << "Invalid Key. Failed Setting query for key " << key;
        return value;
    }
    return getDefaultSettings(key, value);
}

void StorageManager::setDefaultSettings(const QString &key, const QVariant &value, bool reset)
{
    if (m_serverDefaults.contains(key)) {
        if (!reset)
            return;
        m_serverDefaults.remove(key);
    }
    m_serverDefaults.insert(key, value);
    setSettingsValue(kDefaultsPrefix + key, value);
}

void StorageManager::setSettingsValueForMachine(const QString &key, const QVariant &value)
{
    if (key.isEmpty()) {
        qCritical().noquote() << "Invalid Setting Key. Failed setting for key " << key;
        return;
    }
    if (isPasswordKey(key))
        qDebug().noquote().nospace() << "Machine wide settings value " << key << " set";
    else
        qDebug().noquote().nospace() << "Machine wide settings value " << key << " set to " << value;
    if (isSecretKey(key)) {
        writeSecret(QString(), key, value.toString());
        return;
    }
    QSettings settings;
    settings.setValue(key, value);
    settings.sync();
    m_cachedSettings.clear();
    if (settings.status() != QSettings::NoError)
        qWarning().noquote().nospace() << "Failed setting " << key << ": " << settings.status();
    // Announced after every call, changed or not, so listeners can rely on
    // hearing about each write.
    notifySettingChanged(key, value);
}

void StorageManager::setSettingsValueForMachine(NamedSettings setting, const QVariant &value)
{
    setSettingsValueForMachine(getSettingsKeyName(setting), value);
}

QVariant StorageManager::getSettingsValueForMachine(const QString &key, const QVariant &defaultValue)
{
    if (key.isEmpty()) {
        qCritical().noquote() << "Invalid Key. Failed Setting query for key " << key;
        return defaultValue;
    }
    if (isSecretKey(key))
        return readSecret(QString(), key, defaultValue);
    return QSettings().value(key, defaultValue);
}

QVariant StorageManager::getSettingsValueForMachine(NamedSettings setting, const QVariant &defaultValue)
{
    return getSettingsValueForMachine(getSettingsKeyName(setting), defaultValue);
}

void StorageManager::notifySettingChanged(const QString &key, const QVariant &value)
{
    if (isPasswordKey(key))
        return;
    emit settingChanged(key, value);
    emit settingKeyChanged(getNamedSettingsFromKey(key), value);
    if (key == kShowHintsKey)
        emit showHintsChanged(value.toBool());
}

bool StorageManager::getShowCustomDisplayNames()
{
    return getSettingsValue(SettingsKeyShowCustomDisplayNames, false).toBool();
}

void StorageManager::setShowCustomDisplayNames(bool showCustomDisplayNames)
{
    setSettingsValue(QStringLiteral("showCustomNames"), showCustomDisplayNames);
    emit showCustomDisplayNamesChanged(showCustomDisplayNames);
}

bool StorageManager::getShowEmailSharing()
{
    return getSettingsValue(SettingsKeyShowEmailSharing, false).toBool();
}

void StorageManager::setShowEmailSharing(bool showEmailSharing)
{
    setSettingsValue(QStringLiteral("settingsShowEmailSharing"), showEmailSharing);
    emit showEmailSharingChanged(showEmailSharing);
}

bool StorageManager::getShowHint(const QString &hintKey)
{
    if (hintKey.isEmpty())
        return true;
    QSettings settings;
    const QString group = userGroup();
    if (!group.isEmpty())
        settings.beginGroup(group);
    settings.beginGroup(kShowHintGroup);
    return settings.value(hintKey, true).toBool();
}

void StorageManager::setShowHint(const QString &hintKey, bool showHint)
{
    if (hintKey.isEmpty()) {
        qWarning() << "Hint flag without a key ignored";
        return;
    }
    QSettings settings;
    const QString group = userGroup();
    if (!group.isEmpty())
        settings.beginGroup(group);
    settings.beginGroup(kShowHintGroup);
    settings.setValue(hintKey, showHint);
    settings.sync();
}

bool StorageManager::getShowHints()
{
    return getSettingsValue(kShowHintsKey, true).toBool();
}

void StorageManager::setShowHints(bool showHints)
{
    setSettingsValue(kShowHintsKey, showHints);
    if (!showHints)
        return;
    // Every dismissed hint shows again.
    QSettings settings;
    const QString group = userGroup();
    if (!group.isEmpty())
        settings.beginGroup(group);
    settings.remove(kShowHintGroup);
    settings.sync();
}

void StorageManager::removeSettingsValue(const QString &key)
{
    qDebug().noquote() << "Removing settings key " << key;
    if (key.isEmpty())
        return; // an empty key would remove the whole group
    if (isSecretKey(key)) {
        removeSecret(userGroup(), key);
        return;
    }
    QSettings settings;
    const QString group = userGroup();
    if (!group.isEmpty())
        settings.beginGroup(group);
    if (settings.contains(key)) {
        settings.remove(key);
        settings.sync();
        m_cachedSettings.clear();
        qDebug().noquote().nospace() << "Settings key " << key << " found and removed";
    }
}

double StorageManager::getVolumeAdjustForUserUri(const QString &userURI, double defaultValue)
{
    return getSettingsValue(kUserVolumePrefix + userURI, defaultValue).toDouble();
}

void StorageManager::setVolumeAdjustForUserUri(const QString &userURI, double volumeAdjustment)
{
    setSettingsValue(kUserVolumePrefix + userURI, volumeAdjustment);
}

void StorageManager::setPopupsAlwaysOnTop(bool bOnTop)
{
    qDebug() << "setPopupsAlwaysOnTop to " << bOnTop;
    QSettings settings;
    const QString group = userGroup();
    if (!group.isEmpty())
        settings.beginGroup(group);
    settings.setValue(QStringLiteral("settingsPopupsAlwaysOnTop"), bOnTop);
    settings.sync();
    emit popupsAlwaysOnTopChanged(bOnTop);
}

bool StorageManager::logMeIn() const
{
    return QSettings().value(QStringLiteral("settingsAutoLogin"), true).toBool();
}

void StorageManager::setLogMeIn(bool logMeIn)
{
    qDebug() << "setting remember me to " << logMeIn;
    QSettings settings;
    settings.setValue(QStringLiteral("settingsAutoLogin"), logMeIn);
    settings.sync();
}

QString StorageManager::getUsername() const
{
    return QSettings().value(QStringLiteral("username")).toString();
}

void StorageManager::setUsername(const QString &username)
{
    QSettings settings;
    settings.setValue(QStringLiteral("username"), username);
    settings.sync();
}

QString StorageManager::getPassword() const
{
    return readSecret(QString(), QStringLiteral("password"), QVariant()).toString();
}

void StorageManager::setPassword(const QString &password)
{
    writeSecret(QString(), QStringLiteral("password"), password);
}

int StorageManager::getPasswordLength() const
{
    return QSettings().value(QStringLiteral("passwordLength"), 0).toInt();
}

void StorageManager::setPasswordLength(int passwordLength)
{
    QSettings settings;
    settings.setValue(QStringLiteral("passwordLength"), passwordLength);
    settings.sync();
}

QString StorageManager::installGuid()
{
    QSettings settings;
    QString guid = settings.value(QStringLiteral("GUID")).toString();
    if (guid.isEmpty()) {
        guid = QUuid::createUuid().toString();
        settings.setValue(QStringLiteral("GUID"), guid);
        settings.sync();
        emit newInstall();
    }
    return guid;
}

bool StorageManager::getAltSkin()
{
    return getSettingsValue(QStringLiteral("settingsAlternateSkin"), false).toBool();
}

int StorageManager::getIdleInterval()
{
    return getSettingsValue(SettingsKeyIdleTimeout, 15).toInt();
}

void StorageManager::setIdleInterval(int idleInterval)
{
    setSettingsValue(SettingsKeyIdleTimeout, idleInterval);
    emit idleIntervalChanged(idleInterval);
}

int StorageManager::getPushToTalkKey()
{
    const int code = getSettingsValue(SettingsKeyPttKey, kDefaultPushToTalkKey).toInt();
    if (!m_pushToTalkKeyLogged) {
        m_pushToTalkKeyLogged = true;
        qDebug() << "push to talk key" << getSettingsKeyName(SettingsKeyPttKey) << "is" << code;
    }
    return code;
}

void StorageManager::setPushToTalkKey(int keyCode)
{
    qDebug() << "setting push to talk key to " << keyCode;
    setSettingsValue(SettingsKeyPttKey, keyCode);
}

StorageManager::PerformanceLevel StorageManager::getPerformanceLevel() const
{
    const QVariant stored = QSettings().value(kPerformanceLevelKey, int(PerformancePrettiest));
    bool ok = false;
    const int level = stored.toInt(&ok);
    if (!ok || level < PerformanceFastest || level > PerformancePrettiest) {
        qWarning() << "Stored performance level" << stored << "is invalid - using" << int(PerformancePrettiest);
        return PerformancePrettiest;
    }
    return PerformanceLevel(level);
}

void StorageManager::setPerformanceLevel(PerformanceLevel level)
{
    qDebug() << "setPerformanceLevel to " << level;
    QSettings settings;
    settings.setValue(kPerformanceLevelKey, int(level));
    settings.sync();
    emit PerformanceLevelChanged();
}

int StorageManager::readPercent(const QString &key, const char *what)
{
    const QVariant stored = getSettingsValue(key, kDefaultVolumePercent);
    bool ok = false;
    const double percent = stored.toDouble(&ok);
    if (!ok || percent < 0 || percent > 100) {
        qWarning().noquote().nospace() << what << stored.toString()
                                       << ") is invalid - must be between 0 and 100 - setting to "
                                       << kDefaultVolumePercent;
        return kDefaultVolumePercent;
    }
    return qRound(percent);
}

QString StorageManager::voiceDomain() const
{
    return m_voiceDomain;
}

void StorageManager::setVoiceDomain(const QString &domain)
{
    m_voiceDomain = domain;
}

void StorageManager::registerUrlProtocol()
{
    const QString program = QCoreApplication::applicationFilePath();
    if (program.isEmpty()) {
        qWarning() << "Link scheme not registered: the program's path is unknown";
        return;
    }
    host::UrlSchemeRegistration::registerScheme(QStringLiteral("tavri"), QStringLiteral("URL:Tavri Protocol"),
                                                QDir::toNativeSeparators(program),
                                                QStringLiteral(":/textures/Logo.png"));
}

// ---------------------------------------------------------------------------
// Database

QString StorageManager::databaseName() const
{
    return m_databaseName;
}

QString StorageManager::databaseFilePath(const QString &name) const
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    QString fileName = name;
    fileName.replace(QLatin1Char('@'), QLatin1Char('_'));
    fileName.replace(QLatin1Char(':'), QLatin1Char('-'));
    if (!m_voiceDomain.isEmpty())
        fileName.remove(QLatin1Char('.') + m_voiceDomain);
    // The name comes from the server; keep it inside the data folder.
    for (QChar &c : fileName) {
        if (isUnsafeFileNameCharacter(c))
            c = QLatin1Char('_');
    }
    return folder + QStringLiteral("/Data-") + fileName + QStringLiteral(".dat");
}

bool StorageManager::openDatabase(const QString &name)
{
    bool announce = true;
    if (!m_databaseName.isEmpty()) {
        if (name.compare(m_databaseName, Qt::CaseInsensitive) == 0)
            announce = false;
        else
            announce = name.compare(QLatin1String("DEFAULT"), Qt::CaseInsensitive) != 0;
    }

    if (!m_database.isValid()) {
        m_database = QSqlDatabase::contains(QLatin1String(QSqlDatabase::defaultConnection))
                         ? QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false)
                         : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    }

    const QString fileName = databaseFilePath(name);
    // SQLite would follow a link wherever it points.
    if (PrivateFiles::isLink(fileName)) {
        PrivateFiles::narrow(fileName); // logs it once
        return false;
    }
    if (m_database.isOpen())
        m_database.close();
    m_database.setDatabaseName(fileName);
    // A file locked by another process fails a statement soon rather than
    // holding the windows for seconds on every statement.
    m_database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    qDebug().noquote() << "db name: " << fileName;

    if (!m_database.open()) {
        qDebug().noquote() << "Could not open database file " << fileName << m_database.lastError().text();
        return false;
    }
    qDebug().noquote() << "Opened database named " << fileName;
    for (const QString &suffix :
         {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")})
        PrivateFiles::narrow(fileName + suffix);
    m_databaseName = name;

    bool readable = true;
    int version = readSchemaVersion(&readable);
    if (!readable && setDamagedDatabaseAside(fileName))
        version = readSchemaVersion(&readable);
    if (!readable) {
        // Busy, not a database, or damaged: leave the file as it is rather
        // than dropping tables of a file we cannot read.
    } else if (version == kSchemaVersion) {
        qDebug() << "DB already at current version";
    } else if (version != 0) {
        qDebug() << "DB refresh due to version change";
        createTables(version);
    } else {
        qDebug() << "DB refresh due to version change or new DB";
        createTables(0);
    }

    if (announce)
        emit settingsInitialized();
    return true;
}

bool StorageManager::setDamagedDatabaseAside(const QString &fileName)
{
    QSqlQuery probe(m_database);
    if (probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return false;
    // SQLITE_CORRUPT and SQLITE_NOTADB; a busy file is left alone.
    const QString code = probe.lastError().nativeErrorCode();
    if (code != QLatin1String("11") && code != QLatin1String("26"))
        return false;
    probe.finish();
    m_database.close();
    const QString aside = fileName + QStringLiteral(".damaged");
    QFile::remove(aside);
    const bool moved = QFile::rename(fileName, aside);
    for (const QString &suffix : {QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(fileName + suffix);
    qWarning().noquote() << "The database" << fileName << "is damaged;"
                         << (moved ? "it is kept as " + aside + " and a new one is started"
                                   : QStringLiteral("it could not be moved aside"));
    if (!moved || !m_database.open())
        return false;
    for (const QString &suffix :
         {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")})
        PrivateFiles::narrow(fileName + suffix);
    emit databaseSetAside(aside);
    return true;
}

void StorageManager::closeDatabase()
{
    m_database.close();
    m_databaseName.clear();
}

int StorageManager::readSchemaVersion(bool *readable)
{
    *readable = true;
    QSqlQuery query(m_database);
    // A missing Versions table means a new file; any other failure to read it
    // (a busy or foreign file) must not be mistaken for one.
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'Versions'"))) {
        qWarning() << "Cannot read the database schema, file left unchanged:" << sqlError(query);
        *readable = false;
        return 0;
    }
    const bool hasTable = query.next();
    if (!hasTable && query.lastError().isValid()) {
        qWarning() << "Cannot read the database schema, file left unchanged:" << sqlError(query);
        *readable = false;
        return 0;
    }
    query.finish();
    if (!hasTable)
        return 0;
    if (!query.exec(QStringLiteral("SELECT GlobalVersion FROM Versions"))) {
        qWarning() << "Cannot read the database version, file left unchanged:" << sqlError(query);
        *readable = false;
        return 0;
    }
    if (!query.next()) {
        if (query.lastError().isValid()) {
            qWarning() << "Cannot read the database version, file left unchanged:" << sqlError(query);
            *readable = false;
        }
        return 0;
    }
    const int version = query.value(0).toInt();
    query.finish();
    return version;
}

void StorageManager::createTables(int version)
{
    // One transaction: a crash part-way leaves the old schema and its version
    // in place, so the next start migrates again instead of treating the file
    // as new. A failing statement is logged and the next one still runs.
    if (!m_database.transaction())
        qWarning() << "StorageManager::createTables could not start a transaction:" << m_database.lastError().text();

    auto run = [this](const QString &sql, const char *prefix, const char *failure) {
        QSqlQuery query(m_database);
        if (query.exec(sql))
            return;
        if (prefix)
            qDebug() << prefix << failure << sqlError(query);
        else
            qDebug() << failure << sqlError(query);
    };
    const char *const tables = "StorageManager::createTables";

    if (version < 11) {
        run(QStringLiteral("DROP TABLE IF EXISTS Notifications"), nullptr,
            "StorageManager::createTables error - no Notifications table exists yet, clean install or legacy upgrade");
        run(QStringLiteral("CREATE TABLE [Notifications] (ID integer NOT NULL PRIMARY KEY AUTOINCREMENT, "
                           "notificationUID integer, sentAtMsecsFromEpoch integer, senderUID integer, "
                           "senderUname text, channelUID integer, channelDisplayName text, notificationType integer, "
                           "customMessage text, customAction text, readState integer, recipientEmail text)"),
            nullptr, "StorageManager::createTables error - problem creating Notifications table");
        run(QStringLiteral("CREATE INDEX NotificationDateIndex ON Notifications (sentAtMsecsFromEpoch)"), nullptr,
            "StorageManager::createTables error - problem creating Notifications send index");
        run(QStringLiteral("CREATE UNIQUE INDEX NotificationUIDIndex ON Notifications (notificationUID)"), nullptr,
            "StorageManager::createTables error - problem creating Notifications UID index");
    }
    if (version < 12) {
        run(QStringLiteral("CREATE TABLE [RecentConversations] (ID integer NOT NULL PRIMARY KEY AUTOINCREMENT, "
                           "realmID text, conversationID text, displayName text, profileImageURI text, "
                           "joinedAtMsecsFromEpoch integer, leftAtMsecsFromEpoch integer)"),
            tables, "error - problem creating RecentConversations table");
        run(QStringLiteral("CREATE INDEX RecentConversationDateIndex ON RecentConversations (leftAtMsecsFromEpoch)"),
            tables, "error - problem creating RecentConversations left index");
        run(QStringLiteral(
                "CREATE TABLE [RecentConversationParticipants] (RecentEntryID integer, participantUUID text)"),
            tables, "error - problem creating RecentConversationParticipants table");
        run(QStringLiteral("CREATE INDEX RecentConversationParticipantsConversationIndex ON "
                           "RecentConversationParticipants (RecentEntryID)"),
            tables, "error - problem creating RecentConversationParticipants conversation index");
    }
    if (version < 13) {
        run(QStringLiteral("ALTER TABLE [RecentConversations] ADD COLUMN logfilename text"), tables,
            "error - problem adding logfilename column to RecentConversations table");
    }

    // Without its version row the file would count as new at the next
    // start and lose its notifications: keep the old schema instead, so
    // that the next start migrates again.
    if (!writeSchemaVersion()) {
        qWarning() << "StorageManager::createTables could not write the schema version, migration rolled back";
        m_database.rollback();
        return;
    }

    if (!m_database.commit()) {
        qWarning() << "StorageManager::createTables could not commit the migration:" << m_database.lastError().text();
        m_database.rollback();
    }
}

bool StorageManager::writeSchemaVersion()
{
    QStringList versionErrors;
    QSqlQuery drop(m_database);
    if (!drop.exec(QStringLiteral("DROP TABLE IF EXISTS Versions")))
        versionErrors << sqlError(drop);
    QSqlQuery create(m_database);
    if (!create.exec(QStringLiteral(
            "CREATE TABLE [Versions] (ID integer NOT NULL PRIMARY KEY AUTOINCREMENT, GlobalVersion integer)")))
        versionErrors << sqlError(create);
    QSqlQuery insert(m_database);
    insert.prepare(QStringLiteral("INSERT INTO Versions (ID, GlobalVersion) VALUES (:ID, :GlobalVersion)"));
    insert.bindValue(QStringLiteral(":ID"), QVariant()); // NULL: SQLite assigns the row id
    insert.bindValue(QStringLiteral(":GlobalVersion"), kSchemaVersion);
    if (!insert.exec())
        versionErrors << sqlError(insert);
    if (versionErrors.isEmpty())
        return true;
    qDebug() << "StorageManager::createTables error " << versionErrors;
    return false;
}

bool StorageManager::storeNotificationRecord(const QString &notificationUID, const QDateTime &sentAt,
                                             const QString &senderUID, const QString &senderUname,
                                             const QString &channelUID, const QString &channelDisplayName,
                                             int notificationType, const QString &customMessage,
                                             const QString &customAction, int readState, const QString &recipientEmail)
{
    qDebug() << "Storing local notification record for notificationUID =" << notificationUID;
    QSqlQuery select(m_database);
    select.prepare(QStringLiteral("SELECT readState FROM Notifications WHERE notificationUID = ?"));
    select.addBindValue(notificationUID);
    if (select.exec() && select.next()) {
        const int storedState = select.value(0).toInt();
        select.finish();
        if (storedState == readState)
            return true;
        QSqlQuery update(m_database);
        update.prepare(QStringLiteral("UPDATE Notifications SET readState = ? WHERE notificationUID = ?"));
        update.addBindValue(readState);
        update.addBindValue(notificationUID);
        if (!update.exec()) {
            qWarning() << "Failed to update local notification record" << notificationUID << "to readState" << readState
                       << sqlError(update);
            return false;
        }
        return true;
    }
    select.finish();

    QSqlQuery insert(m_database);
    insert.prepare(QStringLiteral(
        "INSERT INTO Notifications (notificationUID, sentAtMsecsFromEpoch, senderUID, senderUname, channelUID, "
        "channelDisplayName, notificationType, customMessage, customAction, readState, recipientEmail) VALUES "
        "(:notificationUID, :sentAtMsecsFromEpoch, :senderUID, :senderUname, :channelUID, :channelDisplayName, "
        ":notificationType, :customMessage, :customAction, :readState, :recipientEmail)"));
    insert.bindValue(QStringLiteral(":notificationUID"), notificationUID);
    insert.bindValue(QStringLiteral(":sentAtMsecsFromEpoch"), sentAt.toMSecsSinceEpoch());
    insert.bindValue(QStringLiteral(":senderUID"), senderUID);
    insert.bindValue(QStringLiteral(":senderUname"), senderUname);
    insert.bindValue(QStringLiteral(":channelUID"), channelUID);
    insert.bindValue(QStringLiteral(":channelDisplayName"), channelDisplayName);
    insert.bindValue(QStringLiteral(":notificationType"), notificationType);
    insert.bindValue(QStringLiteral(":customMessage"), customMessage);
    insert.bindValue(QStringLiteral(":customAction"), customAction);
    insert.bindValue(QStringLiteral(":readState"), readState);
    insert.bindValue(QStringLiteral(":recipientEmail"), recipientEmail);
    if (!insert.exec()) {
        qWarning() << "Failed to store local notification record" << sqlError(insert);
        return false;
    }
    return true;
}

int StorageManager::getNotificationRecords(QStringList &notificationUIDs, QStringList &senderUIDs,
                                           QStringList &senderUnames, QList<QDateTime> &sentAts,
                                           QList<int> &notificationTypes, QStringList &customMessages,
                                           QStringList &customActions, QStringList &channelUIDs,
                                           QStringList &channelDisplayNames, QList<int> &readStates,
                                           QStringList &recipientEmails)
{
    qDebug() << "Retrieving local notification records...";
    QSqlQuery query(m_database);
    if (!query.exec(QStringLiteral(
            "SELECT notificationUID, sentAtMsecsFromEpoch, senderUID, senderUname, channelUID, channelDisplayName, "
            "notificationType, customMessage, customAction, readState FROM Notifications "
            "ORDER BY sentAtMsecsFromEpoch DESC"))) {
        qWarning() << "Failed to read local notification records" << sqlError(query);
        return 0;
    }
    int count = 0;
    while (query.next()) {
        notificationUIDs.append(query.value(0).toString());
        sentAts.append(QDateTime::fromMSecsSinceEpoch(query.value(1).toLongLong()));
        senderUIDs.append(query.value(2).toString());
        senderUnames.append(query.value(3).toString());
        channelUIDs.append(query.value(4).toString());
        channelDisplayNames.append(query.value(5).toString());
        notificationTypes.append(query.value(6).toInt());
        customMessages.append(query.value(7).toString());
        customActions.append(query.value(8).toString());
        readStates.append(query.value(9).toInt());
        recipientEmails.append(QString());
        ++count;
    }
    return count;
}

void StorageManager::markAllNotificationRecordsRead()
{
    qDebug() << "Marking all local notification as read";
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral("UPDATE Notifications SET readState = ?"));
    query.addBindValue(2);
    if (!query.exec())
        qWarning() << "Failed to update all local notifications to readState. Error:" << sqlError(query);
}

void StorageManager::deleteNotificationRecord(const QString &notificationUID)
{
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral("DELETE FROM Notifications WHERE notificationUID = ?"));
    query.addBindValue(notificationUID);
    if (!query.exec())
        qDebug() << "Failed to delete notification record" << notificationUID << sqlError(query);
}

void StorageManager::insertRecentConversationRecord(const QString &realmID, const QString &conversationID,
                                                    const QString &displayName, const QString &profileImageURI,
                                                    const QDateTime &joinedAt, const QDateTime &leftAt,
                                                    const QString &logfilename)
{
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral(
        "INSERT INTO RecentConversations (realmID, conversationID, displayName, profileImageURI, "
        "joinedAtMsecsFromEpoch, leftAtMsecsFromEpoch, logfilename) VALUES (:realmID, :conversationID, "
        ":displayName, :profileImageURI, :joinedAtMsecsFromEpoch, :leftAtMsecsFromEpoch, :logfilename)"));
    query.bindValue(QStringLiteral(":realmID"), realmID);
    query.bindValue(QStringLiteral(":conversationID"), conversationID);
    query.bindValue(QStringLiteral(":displayName"), displayName);
    query.bindValue(QStringLiteral(":profileImageURI"), profileImageURI);
    query.bindValue(QStringLiteral(":joinedAtMsecsFromEpoch"), joinedAt.toMSecsSinceEpoch());
    query.bindValue(QStringLiteral(":leftAtMsecsFromEpoch"), leftAt.toMSecsSinceEpoch());
    query.bindValue(QStringLiteral(":logfilename"), logfilename);
    if (!query.exec()) {
        qDebug() << "StorageManager::insertRecentConversationRecord"
                 << "error inserting recent conversation record" << sqlError(query);
    }
}

void StorageManager::insertRecentConversationParticipantRecord(const QString &realmID, const QString &conversationID,
                                                               const QDateTime &joinedAt,
                                                               const QString &participantUUID)
{
    QSqlQuery find(m_database);
    find.prepare(QStringLiteral("SELECT ID FROM RecentConversations WHERE realmID = :realmID AND conversationID = "
                                ":conversationID AND joinedAtMsecsFromEpoch = :joinedAtMsecsFromEpoch"));
    find.bindValue(QStringLiteral(":realmID"), realmID);
    find.bindValue(QStringLiteral(":conversationID"), conversationID);
    find.bindValue(QStringLiteral(":joinedAtMsecsFromEpoch"), joinedAt.toMSecsSinceEpoch());
    qlonglong entryID = 0;
    if (find.exec() && find.next())
        entryID = find.value(0).toLongLong();
    if (entryID < 1) {
        qDebug() << "StorageManager::insertRecentConversationParticipantRecord"
                 << "error inserting participant record, could not find matching entry" << sqlError(find);
        return;
    }
    find.finish();

    QSqlQuery insert(m_database);
    insert.prepare(
        QStringLiteral("INSERT INTO RecentConversationParticipants (RecentEntryID, participantUUID) VALUES (:entryID, "
                       ":participantUUID)"));
    insert.bindValue(QStringLiteral(":entryID"), entryID);
    insert.bindValue(QStringLiteral(":participantUUID"), participantUUID);
    if (!insert.exec()) {
        qDebug() << "StorageManager::insertRecentConversationParticipantRecord"
                 << "error inserting participant record" << sqlError(insert);
    }
}

void StorageManager::updateRecentConversationRecord(const QString &realmID, const QString &conversationID,
                                                    const QString &displayName, const QString &profileImageURI,
                                                    const QDateTime &joinedAt, const QDateTime &leftAt)
{
    QSqlQuery query(m_database);
    query.prepare(
        QStringLiteral("UPDATE RecentConversations SET displayName = :displayName, profileImageURI = :profileImageURI, "
                       "leftAtMsecsFromEpoch = :leftAtMsecsFromEpoch WHERE realmID = :realmID AND conversationID = "
                       ":conversationID AND joinedAtMsecsFromEpoch = :joinedAtMsecsFromEpoch"));
    query.bindValue(QStringLiteral(":displayName"), displayName);
    query.bindValue(QStringLiteral(":profileImageURI"), profileImageURI);
    query.bindValue(QStringLiteral(":leftAtMsecsFromEpoch"), leftAt.toMSecsSinceEpoch());
    query.bindValue(QStringLiteral(":realmID"), realmID);
    query.bindValue(QStringLiteral(":conversationID"), conversationID);
    query.bindValue(QStringLiteral(":joinedAtMsecsFromEpoch"), joinedAt.toMSecsSinceEpoch());
    if (!query.exec()) {
        qDebug() << "StorageManager::updateRecentConversationRecord"
                 << "error updating recent conversation record" << sqlError(query);
    }
}

void StorageManager::deleteRecentConversationRecord(const QString &realmID, const QString &conversationID,
                                                    const QDateTime &joinedAt, const QDateTime &leftAt)
{
    QSqlQuery query(m_database);
    query.prepare(QStringLiteral(
        "DELETE FROM RecentConversations WHERE leftAtMsecsFromEpoch = :leftAtMsecsFromEpoch AND realmID = :realmID "
        "AND conversationID = :conversationID AND joinedAtMsecsFromEpoch = :joinedAtMsecsFromEpoch"));
    query.bindValue(QStringLiteral(":leftAtMsecsFromEpoch"), leftAt.toMSecsSinceEpoch());
    query.bindValue(QStringLiteral(":realmID"), realmID);
    query.bindValue(QStringLiteral(":conversationID"), conversationID);
    query.bindValue(QStringLiteral(":joinedAtMsecsFromEpoch"), joinedAt.toMSecsSinceEpoch());
    if (!query.exec()) {
        qDebug() << "StorageManager::deleteRecentConversationRecord"
                 << "error deleting recent conversation record" << sqlError(query) << realmID << conversationID
                 << joinedAt.toMSecsSinceEpoch() << leftAt.toMSecsSinceEpoch();
    }
}

int StorageManager::getRecentConversationRecords(QStringList &realmIDs, QStringList &conversationIDs,
                                                 QStringList &displayNames, QStringList &profileImageURIs,
                                                 QList<QDateTime> &joinedAts, QList<QDateTime> &leftAts,
                                                 QStringList &logfilenames, QList<QStringList> &participants)
{
    realmIDs.clear();
    conversationIDs.clear();
    displayNames.clear();
    profileImageURIs.clear();
    joinedAts.clear();
    leftAts.clear();
    logfilenames.clear();
    participants.clear();

    // Sorted so that the rows of one visit are adjacent: two visits of one
    // conversation that were left at the same moment differ in joinedAt.
    QSqlQuery query(m_database);
    if (!query.exec(QStringLiteral(
            "SELECT realmID, conversationID, displayName, profileImageURI, joinedAtMsecsFromEpoch, "
            "leftAtMsecsFromEpoch, logfilename, participantUUID FROM RecentConversations JOIN "
            "RecentConversationParticipants ON RecentConversations.ID = RecentConversationParticipants.RecentEntryID "
            "ORDER BY leftAtMsecsFromEpoch DESC, realmID, conversationID, joinedAtMsecsFromEpoch"))) {
        qDebug() << "StorageManager::getRecentConversationRecords"
                 << "error reading recent conversations" << sqlError(query);
    }
    while (query.isActive() && query.next()) {
        const QString realmID = query.value(0).toString();
        const QString conversationID = query.value(1).toString();
        const QDateTime joinedAt = QDateTime::fromMSecsSinceEpoch(query.value(4).toLongLong());
        const bool continuesLast = !realmIDs.isEmpty() && realmIDs.last() == realmID
                                   && conversationIDs.last() == conversationID && joinedAts.last() == joinedAt;
        if (!continuesLast) {
            if (realmIDs.size() == kMaxRecentConversations)
                break;
            realmIDs.append(realmID);
            conversationIDs.append(conversationID);
            displayNames.append(query.value(2).toString());
            profileImageURIs.append(query.value(3).toString());
            joinedAts.append(joinedAt);
            logfilenames.append(query.value(6).toString());
            leftAts.append(QDateTime::fromMSecsSinceEpoch(query.value(5).toLongLong()));
            participants.append(QStringList());
        }
        participants.last().append(query.value(7).toString());
    }
    qDebug() << "StorageManager::getRecentConversationRecords" << realmIDs.size() << "entries read";
    return realmIDs.size();
}
