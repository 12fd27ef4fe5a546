#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class SecretStore;

// The program's settings and persistence service.
//
// Settings live in Qt's settings store (organisation and application names
// set by the application) in two scopes: user-scope keys sit in a group named
// after the open database (the signed-in user's SIP URI, "DEFAULT" after
// sign-out, the top level before the first open); machine-scope keys sit at
// the top level. Keys are fixed strings, most of them named by `NamedSettings`.
// Changes are announced with settingChanged and settingKeyChanged; keys that
// hold passwords are never announced and their values never logged. The web
// service may push defaults ("settings_overrides"), kept for the process and
// stored under "defaults." + key.
//
// It also owns the per-user SQLite database (notifications and recent
// conversations), created or migrated to schema version 13 at every open.
// Database failures are logged and never reported to callers, apart from the
// result of openDatabase and the returned counts.
//
// The saved sign-in password ("password") and remembered channel passwords
// (keys ending in "_password") go to the desktop's secret store when there is
// one, and stay in the settings file otherwise; a password still found in the
// settings file is read from there and moves to the store at its next write.
// Every file and folder it creates is owner-only, and those it finds with
// wider modes are narrowed (see PrivateFiles).
//
// One instance per process, created on first use by getInstance; main thread
// only. At every start it registers the "tavri:" link scheme with the desktop.
class StorageManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool logMeIn READ logMeIn WRITE setLogMeIn)
    Q_PROPERTY(QString username READ getUsername WRITE setUsername)
    Q_PROPERTY(QString password READ getPassword WRITE setPassword)
    Q_PROPERTY(QString installguid READ installGuid)
    Q_PROPERTY(int passwordLength READ getPasswordLength WRITE setPasswordLength)
    Q_PROPERTY(bool altSkin READ getAltSkin NOTIFY altSkinChanged)
    Q_PROPERTY(int idleInterval READ getIdleInterval WRITE setIdleInterval NOTIFY idleIntervalChanged)
    Q_PROPERTY(int pushToTalkKey READ getPushToTalkKey WRITE setPushToTalkKey)
    Q_PROPERTY(PerformanceLevel performanceLevel READ getPerformanceLevel WRITE setPerformanceLevel NOTIFY
                   PerformanceLevelChanged)
    Q_PROPERTY(bool showCustomNames READ getShowCustomDisplayNames WRITE setShowCustomDisplayNames NOTIFY
                   showCustomDisplayNamesChanged)
    Q_PROPERTY(bool showEmailSharing READ getShowEmailSharing WRITE setShowEmailSharing NOTIFY showEmailSharingChanged)
    Q_PROPERTY(bool showHints READ getShowHints WRITE setShowHints NOTIFY showHintsChanged)

public:
    enum PerformanceLevel {
        PerformanceFastest = 0,
        PerformanceBalanced = 1,
        PerformancePrettiest = 2,
    };
    Q_ENUM(PerformanceLevel)

    // One value per settings key; the key strings are stored data. 0, 42 and
    // 60 have no key. 2 and 35 are suffixes of keys formed by their users.
    enum NamedSettings {
        SettingsKeyUnnamed = 0,
        SettingsMachineKeyAutoLogin = 1,
        SettingsKeyChannelPasswordSuffix = 2,
        SettingsKeyAudioRenderDevice = 3,
        SettingsKeyAudioCaptureDevice = 4,
        SettingsKeyVadSensitivity = 5,
        SettingsKeyVadNoiseFloor = 6,
        SettingsKeyVadHangoverSecs = 7,
        SettingsKeyShowOfflineFriends = 8,
        SettingsKeyMicVolumePercent = 9,
        SettingsKeySpeakerVolumePercent = 10,
        SettingsKeyVoiceFontIndex = 11,
        SettingsKeyPttMode = 12,
        SettingsKeyPttKey = 13,
        SettingsKeyPttKeyCombo = 14,
        SettingsKeyPttKeyComboString = 15,
        SettingsKeyPreferredRenderDevice = 16,
        SettingsKeyPreferredCaptureDevice = 17,
        SettingsKeyTtsMinimizedOnly = 18,
        SettingsKeyTtsSessionAddRemove = 19,
        SettingsKeyTtsChatMessages = 20,
        SettingsKeyTtsChannelMessage = 21,
        SettingsKeyTtsParticipantAddRemove = 22,
        SettingsKeyTtsFriendRequest = 23,
        SettingsKeyTtsChannelInvite = 24,
        SettingsKeyTtsAllNotifications = 25,
        SettingsKeyTtsVolume = 26,
        SettingsKeyTtsVoice = 27,
        SettingsKeyPopupsChatMessage = 28,
        SettingsKeyPopupsFriendRequest = 29,
        SettingsKeyPopupsChannelInvite = 30,
        SettingsKeyPopupsOthers = 31,
        SettingsKeyRunAtStartup = 32,
        SettingsKeyJoinChWithHyperlink = 33,
        SettingsKeyEnableLogging = 34,
        SettingsKeyPresenceStatusMessageSuffix = 35,
        SettingsKeyPollingIntervalNotifications = 36,
        SettingsKeyPresenceStatusLastSelected = 37,
        SettingsKeyIdleTimeout = 38,
        SettingsKeyMainWindowPosX = 39,
        SettingsKeyMainWindowPosY = 40,
        SettingsKeyMainWindowWidth = 41,
        SettingsKeyMainWindowHeight = 42,
        SettingsKeyMainWindowStaysOnTop = 43,
        SettingsKeyShowCustomDisplayNames = 44,
        SettingsKeyUseDevelopmentServers = 45,
        SettingsKeyShowEmailSharing = 46,
        SettingsKeySessionStatisticsTimeout = 47,
        SettingsKeySessionStatisticsSamplesNum = 48,
        SettingsKeyPostCallSurveyDisabled = 49,
        SettingsKeyPostCallSurveyStartNum = 50,
        SettingsKeyPostCallSurveyRepeatNum = 51,
        SettingsKeySavePasswordsForChannels = 52,
        SettingsKeyShowTimestampsInChat = 53,
        SettingsKeyChatWindowPosX = 54,
        SettingsKeyChatWindowPosY = 55,
        SettingsKeyChatWindowWidth = 56,
        SettingsKeyChatWindowHeight = 57,
        SettingsUseAdvancedAGC = 58,
        SettingsDisableChannelIdleTimeout = 59,
        SettingsKeyUserVolumeAdjustPrefix = 60,
        SettingsKeyShowHints = 61,
        SettingsKeySkinSelected = 62,
        SettingsKeyLocale = 63,
        SettingsKeyNotificationsPaneHeight = 64,
        SettingsKeyLogChat = 65,
        SettingsKeyChatLogWindowPosX = 66,
        SettingsKeyChatLogWindowPosY = 67,
        SettingsKeyChatLogWindowWidth = 68,
        SettingsKeyChatLogWindowHeight = 69,
    };
    Q_ENUM(NamedSettings)

    explicit StorageManager(QObject *parent = nullptr);
    ~StorageManager() override;

    // Replaces the secret store (the desktop's secret service by default).
    void setSecretStore(std::unique_ptr<SecretStore> store);

    // The single instance, created (without parent) on first use.
    static StorageManager *getInstance();
    static QString getInstallGuid();
    static bool getLogMeIn();
    // The stored percentages, 50 when absent or outside 0..100 (with a warning).
    static int getMicVolumePercent();
    static int getSpeakerVolumePercent();
    static bool getUseAdvancedAgc();
    static void setUseAdvancedAgc(bool enabled);
    // The key of a setting; empty (with a debug line) for values without one.
    static QString getSettingsKeyName(NamedSettings setting);
    // The setting whose key is exactly `key`; SettingsKeyUnnamed when none is.
    static NamedSettings getNamedSettingsFromKey(const QString &key);

    Q_INVOKABLE void setSettingsValue(const QString &key, const QVariant &value,
                                      const QString &settingsGroup = QString());
    Q_INVOKABLE void setSettingsValue(StorageManager::NamedSettings setting, const QVariant &value);
    Q_INVOKABLE QVariant getSettingsValue(const QString &key, const QVariant &defaultValue = QVariant(),
                                          const QString &settingsGroup = QString());
    Q_INVOKABLE QVariant getSettingsValue(StorageManager::NamedSettings setting,
                                          const QVariant &defaultValue = QVariant());
    // The server's default for `key` (this process's, else the stored one),
    // else `value`.
    Q_INVOKABLE QVariant getDefaultSettings(const QString &key, const QVariant &value);
    Q_INVOKABLE QVariant getDefaultSettings(StorageManager::NamedSettings setting, const QVariant &value);
    Q_INVOKABLE void setSettingsValueForMachine(const QString &key, const QVariant &value);
    Q_INVOKABLE void setSettingsValueForMachine(StorageManager::NamedSettings setting, const QVariant &value);
    Q_INVOKABLE QVariant getSettingsValueForMachine(const QString &key, const QVariant &defaultValue = QVariant());
    Q_INVOKABLE QVariant getSettingsValueForMachine(StorageManager::NamedSettings setting,
                                                    const QVariant &defaultValue = QVariant());
    Q_INVOKABLE bool getShowCustomDisplayNames();
    Q_INVOKABLE void setShowCustomDisplayNames(bool showCustomDisplayNames);
    Q_INVOKABLE bool getShowEmailSharing();
    Q_INVOKABLE void setShowEmailSharing(bool showEmailSharing);
    Q_INVOKABLE bool getShowHint(const QString &hintKey);
    Q_INVOKABLE void setShowHint(const QString &hintKey, bool showHint);
    Q_INVOKABLE void removeSettingsValue(const QString &key);
    Q_INVOKABLE double getVolumeAdjustForUserUri(const QString &userURI, double defaultValue = 50.0);
    Q_INVOKABLE void setVolumeAdjustForUserUri(const QString &userURI, double volumeAdjustment);
    Q_INVOKABLE void setPopupsAlwaysOnTop(bool bOnTop);

    // Records a default pushed by the web service. The first value of a key
    // holds for the process unless `reset` is true.
    void setDefaultSettings(const QString &key, const QVariant &value, bool reset);

    bool logMeIn() const;
    void setLogMeIn(bool logMeIn);
    QString getUsername() const;
    void setUsername(const QString &username);
    QString getPassword() const;
    void setPassword(const QString &password);
    int getPasswordLength() const;
    void setPasswordLength(int passwordLength);
    QString installGuid();
    bool getAltSkin();
    int getIdleInterval();
    void setIdleInterval(int idleInterval);
    int getPushToTalkKey();
    void setPushToTalkKey(int keyCode);
    PerformanceLevel getPerformanceLevel() const;
    void setPerformanceLevel(PerformanceLevel level);
    bool getShowHints();
    void setShowHints(bool showHints);

    // The voice service's domain. A database name ending in "." + domain
    // loses that suffix in the file name. Empty until the voice service sets it.
    QString voiceDomain() const;
    void setVoiceDomain(const QString &domain);

    // Opens (creating or migrating) the database for `name`, which also
    // becomes the user-scope settings group. False when the file cannot be
    // opened; the previous name then stays.
    bool openDatabase(const QString &name);
    void closeDatabase();
    // The file that openDatabase uses for `name`.
    QString databaseFilePath(const QString &name) const;
    QString databaseName() const;

    // Inserts the record, or updates only the read state of a stored one;
    // false when the database refused it.
    bool storeNotificationRecord(const QString &notificationUID, const QDateTime &sentAt, const QString &senderUID,
                                 const QString &senderUname, const QString &channelUID,
                                 const QString &channelDisplayName, int notificationType, const QString &customMessage,
                                 const QString &customAction, int readState, const QString &recipientEmail);
    // Appends every stored notification, newest first; returns the count.
    int getNotificationRecords(QStringList &notificationUIDs, QStringList &senderUIDs, QStringList &senderUnames,
                               QList<QDateTime> &sentAts, QList<int> &notificationTypes, QStringList &customMessages,
                               QStringList &customActions, QStringList &channelUIDs, QStringList &channelDisplayNames,
                               QList<int> &readStates, QStringList &recipientEmails);
    void markAllNotificationRecordsRead();
    void deleteNotificationRecord(const QString &notificationUID);

    void insertRecentConversationRecord(const QString &realmID, const QString &conversationID,
                                        const QString &displayName, const QString &profileImageURI,
                                        const QDateTime &joinedAt, const QDateTime &leftAt, const QString &logfilename);
    void insertRecentConversationParticipantRecord(const QString &realmID, const QString &conversationID,
                                                   const QDateTime &joinedAt, const QString &participantUUID);
    void updateRecentConversationRecord(const QString &realmID, const QString &conversationID,
                                        const QString &displayName, const QString &profileImageURI,
                                        const QDateTime &joinedAt, const QDateTime &leftAt);
    void deleteRecentConversationRecord(const QString &realmID, const QString &conversationID,
                                        const QDateTime &joinedAt, const QDateTime &leftAt);
    // Fills the lists (cleared first) with the ten most recently left
    // conversations and their participants; returns the count.
    int getRecentConversationRecords(QStringList &realmIDs, QStringList &conversationIDs, QStringList &displayNames,
                                     QStringList &profileImageURIs, QList<QDateTime> &joinedAts,
                                     QList<QDateTime> &leftAts, QStringList &logfilenames,
                                     QList<QStringList> &participants);

signals:
    // A damaged database file was kept as `asidePath` and a new one started.
    void databaseSetAside(const QString &asidePath);

    void altSkinChanged();
    void PerformanceLevelChanged();
    void idleIntervalChanged(int value);
    void popupsAlwaysOnTopChanged(bool value);
    void settingChanged(const QString &key, const QVariant &value);
    void settingKeyChanged(StorageManager::NamedSettings key, const QVariant &value);
    void settingsInitialized();
    void showCustomDisplayNamesChanged(bool showCustomDisplayNames);
    void showEmailSharingChanged(bool showEmailSharing);
    void newInstall();
    void showHintsChanged(bool showHints);

protected:
    // Replaces the Versions table by one row holding the current schema
    // version; false, with a log line, when any step of it fails.
    virtual bool writeSchemaVersion();

private:
    // A settings file past this size is not read: moved aside, and the
    // program starts with new settings.
    static constexpr qint64 kMaxSettingsFileBytes = 8 * 1024 * 1024;
    // How long a statement waits for a database locked by another process.
    static constexpr int kBusyTimeoutMs = 250;
    // Moves a database file that SQLite finds damaged aside and opens a new
    // one in its place; false when the file is not damaged or could not be
    // replaced.
    bool setDamagedDatabaseAside(const QString &fileName);
    // Moves an oversized settings file aside, or keeps a copy of one that
    // cannot be read in full; says so in the log.
    static void setUnusableSettingsFileAside();

    QString userGroup(const QString &settingsGroup = QString()) const;
    // Saved passwords: through the secret store, else the settings file.
    QVariant readSecret(const QString &group, const QString &key, const QVariant &defaultValue) const;
    void writeSecret(const QString &group, const QString &key, const QString &secret);
    void removeSecret(const QString &group, const QString &key);
    // Logs, once per process, that passwords stay in the settings file.
    void noteSecretFallback(int result) const;
    void notifySettingChanged(const QString &key, const QVariant &value);
    void registerUrlProtocol();
    int readPercent(const QString &key, const char *what);
    // Schema version of the open file: 0 for a new file (no Versions table or
    // no row). `readable` turns false, with a log line, on any other error.
    int readSchemaVersion(bool *readable);
    void createTables(int version);

    QSqlDatabase m_database;
    QString m_databaseName;
    QString m_voiceDomain;
    QMap<QString, QVariant> m_serverDefaults;
    // The few settings read on hot paths, by group and key: whether the
    // file holds the key, and its value.
    QHash<QString, QHash<QString, QPair<bool, QVariant>>> m_cachedSettings;
    bool m_pushToTalkKeyLogged = false;
    std::unique_ptr<SecretStore> m_secretStore;
    mutable bool m_secretFallbackLogged = false;
};
