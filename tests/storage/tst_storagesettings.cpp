#include "autostartentry.h"
#include "desktopentryfile.h"
#include "logcapture.h"
#include "storagemanager.h"
#include "testenvironment.h"
#include "urlschemeregistration.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>

namespace {

// Records both change signals in the order they arrive.
class ChangeRecorder : public QObject
{
public:
    explicit ChangeRecorder(StorageManager *storage)
    {
        connect(storage, &StorageManager::settingChanged, this, [this](const QString &key, const QVariant &value) {
            events << QStringLiteral("setting %1=%2").arg(key, value.toString());
        });
        connect(storage, &StorageManager::settingKeyChanged, this,
                [this](StorageManager::NamedSettings key, const QVariant &value) {
                    events << QStringLiteral("key %1=%2").arg(int(key)).arg(value.toString());
                });
    }
    QStringList events;
};

QVariant rawValue(const QString &path)
{
    return QSettings().value(path);
}

} // namespace

class TestStorageSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void keyTable_data();
    void keyTable();
    void keylessSettingsAreRefused_data();
    void keylessSettingsAreRefused();
    void constructionRecordsVersionAndRegistersLinks();
    void unusableSettingsFilesAreSetAside_data();
    void unusableSettingsFilesAreSetAside();
    void userScopeFollowsDatabase();
    void keptSettingsFollowWrites_data();
    void keptSettingsFollowWrites();
    void settingsInitializedFollowsOpens();
    void changesAreAnnouncedOnce();
    void passwordKeysAreStoredSilently_data();
    void passwordKeysAreStoredSilently();
    void machineSetterAnnouncesEveryCall();
    void performanceLevel_data();
    void performanceLevel();
    void runAtStartup();
    void serverDefaults();
    void serverDefaultKeysStayUnderPrefix_data();
    void serverDefaultKeysStayUnderPrefix();
    void volumePercents_data();
    void volumePercents();
    void hints();
    void properties();
    // Last: it leaves the store unwritable for a moment.
    void writeFailureIsReported();

private:
    std::unique_ptr<StorageManager> m_storage;
};

void TestStorageSettings::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
}

void TestStorageSettings::init()
{
    QSettings().clear();
    QFile::remove(host::AutostartEntry::path());
    m_storage = std::make_unique<StorageManager>();
}

void TestStorageSettings::cleanup()
{
    m_storage.reset();
}

void TestStorageSettings::keyTable_data()
{
    QTest::addColumn<int>("setting");
    QTest::addColumn<QString>("key");
    QTest::newRow("1 auto login") << 1 << "settingsAutoLogin";
    QTest::newRow("2 channel password suffix") << 2 << "_password";
    QTest::newRow("3 render device, no s") << 3 << "settingAudioDeviceForRender";
    QTest::newRow("13 push-to-talk key") << 13 << "settingsPttKeyCodeV2";
    QTest::newRow("28 popups plural") << 28 << "settingsPopupsChatMessage";
    QTest::newRow("29 popup singular") << 29 << "settingsPopupFriendRequest";
    QTest::newRow("35 presence suffix") << 35 << "_presence_customMessage";
    QTest::newRow("41 main window width") << 41 << "mainWindow.width";
    QTest::newRow("47 misspelled Sesion") << 47 << "settingsSesionStatisticsTimeout";
    QTest::newRow("57 chat window height") << 57 << "chatWindow.height";
    QTest::newRow("61 show hints") << 61 << "settingsShowHints";
    QTest::newRow("68 chat log .w") << 68 << "chatLogWindow.w";
    QTest::newRow("69 chat log .h") << 69 << "chatLogWindow.h";
}

void TestStorageSettings::keyTable()
{
    QFETCH(int, setting);
    QFETCH(QString, key);
    QCOMPARE(StorageManager::getSettingsKeyName(StorageManager::NamedSettings(setting)), key);
    QCOMPARE(int(StorageManager::getNamedSettingsFromKey(key)), setting);
    // Exact match only.
    QCOMPARE(StorageManager::getNamedSettingsFromKey(key.toUpper()), StorageManager::SettingsKeyUnnamed);

    // Every key names one setting only.
    QSet<QString> keys;
    for (int value = 1; value <= 69; ++value) {
        if (value == 42 || value == 60)
            continue;
        const QString name = StorageManager::getSettingsKeyName(StorageManager::NamedSettings(value));
        QVERIFY2(!name.isEmpty() && !keys.contains(name), qPrintable(QString::number(value)));
        keys.insert(name);
    }
}

void TestStorageSettings::keylessSettingsAreRefused_data()
{
    QTest::addColumn<int>("setting");
    QTest::newRow("0 unnamed") << 0;
    QTest::newRow("42 main window height") << 42;
    QTest::newRow("60 volume prefix") << 60;
    QTest::newRow("70 past the end") << 70;
    QTest::newRow("negative") << -1;
}

void TestStorageSettings::keylessSettingsAreRefused()
{
    QFETCH(int, setting);
    const auto named = StorageManager::NamedSettings(setting);
    QSignalSpy changes(m_storage.get(), &StorageManager::settingChanged);
    const QStringList before = QSettings().allKeys();
    LogCapture log;
    QCOMPARE(StorageManager::getSettingsKeyName(named), QString());
    m_storage->setSettingsValue(named, 5);
    m_storage->setSettingsValueForMachine(named, 5);
    QCOMPARE(m_storage->getSettingsValue(named, QStringLiteral("fallback")), QVariant(QStringLiteral("fallback")));
    QCOMPARE(m_storage->getSettingsValueForMachine(named, 7), QVariant(7));
    QVERIFY(log.text().contains("IMPLEMENTATION ISSUE - PLEASE IMPLEMENT TRANSLATION FOR SETTING KEY"));
    QVERIFY(log.text().contains("Invalid Setting Key. Failed setting for key"));
    QVERIFY(log.text().contains("Invalid Key. Failed Setting query for key"));
    QCOMPARE(changes.count(), 0);
    QCOMPARE(QSettings().allKeys(), before);
}

void TestStorageSettings::constructionRecordsVersionAndRegistersLinks()
{
    QCOMPARE(QSettings().value("version").toString(), QString::fromLatin1(tavriVersion()));
    QCOMPARE(StorageManager::getInstance(), m_storage.get());
    host::DesktopEntryFile entry(host::UrlSchemeRegistration::desktopEntryPath());
    QVERIFY(entry.load());
    QCOMPARE(entry.execArgumentsOf(), QStringList({QCoreApplication::applicationFilePath(), QStringLiteral("%u")}));
    QCOMPARE(entry.value(host::DesktopEntryFile::mainGroup(), "Comment"), QStringLiteral("URL:Tavri Protocol"));
}

void TestStorageSettings::unusableSettingsFilesAreSetAside_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("asideSuffix");
    QTest::addColumn<QString>("username"); // what the program reads afterwards
    // Far larger than any settings the program writes: not read at all.
    QTest::newRow("oversized") << QByteArray("[General]\nusername=me\nfiller=") + QByteArray(20 * 1024 * 1024, 'x')
                               << ".too-large"
                               << "";
    // A section header that is never closed: what can be read is used, and
    // the file as it was is kept.
    QTest::newRow("unreadable") << QByteArray("[General]\nusername=me\n[broken\nx=1\n") << ".unreadable"
                                << "me";
}

void TestStorageSettings::unusableSettingsFilesAreSetAside()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, asideSuffix);
    QFETCH(QString, username);
    m_storage.reset();
    const QString file = QSettings().fileName();
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(out.write(contents), qint64(contents.size()));
    }
    LogCapture log;
    m_storage = std::make_unique<StorageManager>();
    QCOMPARE(m_storage->getUsername(), username);
    QFile aside(file + asideSuffix);
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), contents);
    QVERIFY2(log.text().contains(file + asideSuffix), qPrintable(log.text()));
    // The program goes on with a settings file it can use.
    QCOMPARE(QSettings().value("version").toString(), QString::fromLatin1(tavriVersion()));
    QVERIFY(QFileInfo(file).size() < 1024 * 1024);
    aside.remove();
}

void TestStorageSettings::keptSettingsFollowWrites_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("time stamps in chat") << "settingsShowTimestampsInChat";
    QTest::newRow("chat log") << "settingsLogChatMessages";
    QTest::newRow("custom names") << "showCustomNames";
    QTest::newRow("a setting read rarely") << "settingsTTSvolume";
}

void TestStorageSettings::keptSettingsFollowWrites()
{
    // Settings read for every chat line may be kept between reads: every
    // write through the storage manager is seen by the next read, in the
    // group it was written to.
    QFETCH(QString, key);
    QCOMPARE(m_storage->getSettingsValue(key, "default").toString(), QStringLiteral("default"));
    m_storage->setSettingsValue(key, "one");
    QCOMPARE(m_storage->getSettingsValue(key, "default").toString(), QStringLiteral("one"));
    m_storage->setSettingsValue(key, "two");
    QCOMPARE(m_storage->getSettingsValue(key).toString(), QStringLiteral("two"));
    m_storage->removeSettingsValue(key);
    QCOMPARE(m_storage->getSettingsValue(key, "default").toString(), QStringLiteral("default"));

    // Machine-wide writes land in the top level, which is the group read
    // before any database is open.
    m_storage->setSettingsValueForMachine(key, "machine");
    QCOMPARE(m_storage->getSettingsValue(key, "default").toString(), QStringLiteral("machine"));

    // Another user's group holds its own value.
    QVERIFY(m_storage->openDatabase("sip:kept@dom"));
    QCOMPARE(m_storage->getSettingsValue(key, "default").toString(), QStringLiteral("default"));
    m_storage->setSettingsValue(key, "kept");
    QCOMPARE(m_storage->getSettingsValue(key).toString(), QStringLiteral("kept"));
    QCOMPARE(m_storage->getSettingsValue(key, "default", "sip:kept@dom").toString(), QStringLiteral("kept"));
    QCOMPARE(rawValue(key).toString(), QStringLiteral("machine"));
    m_storage->closeDatabase();
}

void TestStorageSettings::userScopeFollowsDatabase()
{
    m_storage->setSettingsValue("settingsTTSvolume", 10);
    QCOMPARE(rawValue("settingsTTSvolume").toInt(), 10); // top level before any open

    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    QCOMPARE(m_storage->getSettingsValue("settingsTTSvolume", 35).toInt(), 35);
    m_storage->setSettingsValue(StorageManager::SettingsKeyTtsVolume, 20);
    QCOMPARE(m_storage->getSettingsValue(StorageManager::SettingsKeyTtsVolume).toInt(), 20);
    QCOMPARE(rawValue("sip:alice@dom/settingsTTSvolume").toInt(), 20);
    // An explicit group is used as given.
    QCOMPARE(m_storage->getSettingsValue("settingsTTSvolume", 0, "sip:alice@dom").toInt(), 20);

    // A failed open keeps the group.
    const QString blocked = m_storage->databaseFilePath("sip:bob@dom");
    QVERIFY(QDir().mkpath(blocked));
    QVERIFY(!m_storage->openDatabase("sip:bob@dom"));
    QCOMPARE(m_storage->getSettingsValue("settingsTTSvolume").toInt(), 20);
    QVERIFY(QDir(blocked).removeRecursively());

    // Sign-out: the database closes and "DEFAULT" opens.
    m_storage->closeDatabase();
    QVERIFY(m_storage->openDatabase("DEFAULT"));
    QCOMPARE(m_storage->getSettingsValue("settingsTTSvolume", 35).toInt(), 35);
    m_storage->setSettingsValue("settingsTTSvolume", 30);
    QCOMPARE(rawValue("DEFAULT/settingsTTSvolume").toInt(), 30);
    QCOMPARE(rawValue("settingsTTSvolume").toInt(), 10);
    QCOMPARE(rawValue("sip:alice@dom/settingsTTSvolume").toInt(), 20);

    // Machine scope ignores the group.
    m_storage->setSettingsValueForMachine("locale", "de");
    QCOMPARE(rawValue("locale").toString(), QStringLiteral("de"));
    QCOMPARE(m_storage->getSettingsValueForMachine(StorageManager::SettingsKeyLocale, "en").toString(),
             QStringLiteral("de"));
}

void TestStorageSettings::settingsInitializedFollowsOpens()
{
    QSignalSpy initialized(m_storage.get(), &StorageManager::settingsInitialized);
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    QCOMPARE(initialized.count(), 1); // first open
    QVERIFY(m_storage->openDatabase("SIP:ALICE@DOM"));
    QCOMPARE(initialized.count(), 1); // same name, ignoring case
    QVERIFY(m_storage->openDatabase("DEFAULT"));
    QCOMPARE(initialized.count(), 1); // DEFAULT while a user's file is open
    m_storage->closeDatabase();
    QVERIFY(m_storage->openDatabase("default"));
    QCOMPARE(initialized.count(), 2); // after close (the sign-out order)
    QVERIFY(m_storage->openDatabase("sip:bob@dom"));
    QCOMPARE(initialized.count(), 3); // a user's file while DEFAULT is open

    const QString blocked = m_storage->databaseFilePath("sip:carol@dom");
    QVERIFY(QDir().mkpath(blocked));
    QVERIFY(!m_storage->openDatabase("sip:carol@dom"));
    QCOMPARE(initialized.count(), 3);
    QCOMPARE(m_storage->databaseName(), QStringLiteral("sip:bob@dom"));
    QVERIFY(QDir(blocked).removeRecursively());
}

void TestStorageSettings::changesAreAnnouncedOnce()
{
    ChangeRecorder recorder(m_storage.get());
    QSignalSpy hints(m_storage.get(), &StorageManager::showHintsChanged);

    m_storage->setSettingsValue(StorageManager::SettingsKeyMicVolumePercent, 40);
    QCOMPARE(recorder.events, QStringList({"setting settingsMicVolumePercent=40", "key 9=40"}));
    m_storage->setSettingsValue("settingsMicVolumePercent", 40);
    m_storage->setSettingsValue("settingsShowOfflineFriends", true);
    m_storage->setSettingsValue("settingsShowOfflineFriends", true);
    m_storage->setSettingsValue("settingsTTSvoice", "kal16");
    m_storage->setSettingsValue("settingsTTSvoice", "kal16");
    QCOMPARE(recorder.events.size(), 6);

    recorder.events.clear();
    m_storage->setSettingsValue("defaults.x", 1);
    QCOMPARE(recorder.events, QStringList({"setting defaults.x=1", "key 0=1"}));

    m_storage->setSettingsValue("settingsShowHints", false);
    QCOMPARE(hints.count(), 1);
    QCOMPARE(hints.first().first().toBool(), false);

    // Values stored by an earlier run come back from the file as text; the
    // same values set again are still no change.
    const QString file = QSettings().fileName();
    {
        QFile ini(file);
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[General]\nsettingsTTSvolume=40\nsettingsShowOfflineFriends=true\nsettingsTTSvoice=kal16\n"
                  "settingsUserVolumeAdjust_sip%3Ax%40y=75.5\n");
    }
    recorder.events.clear();
    m_storage->setSettingsValue("settingsTTSvolume", 40);
    m_storage->setSettingsValue("settingsShowOfflineFriends", true);
    m_storage->setSettingsValue("settingsTTSvoice", "kal16");
    m_storage->setVolumeAdjustForUserUri("sip:x@y", 75.5);
    QCOMPARE(recorder.events, QStringList());
    m_storage->setSettingsValue("settingsTTSvolume", 41);
    QCOMPARE(recorder.events, QStringList({"setting settingsTTSvolume=41", "key 26=41"}));
}

void TestStorageSettings::passwordKeysAreStoredSilently_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("password") << "password";
    QTest::newRow("channel password") << "sip:confctl-12@dom_password";
    QTest::newRow("passwd") << "passwd";
    QTest::newRow("contains passwd") << "mailpasswdHash";
}

// The value is stored, nothing is announced, and the log never shows it.
void TestStorageSettings::passwordKeysAreStoredSilently()
{
    QFETCH(QString, key);
    const QString secret = QStringLiteral("s3cret-Value");
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    ChangeRecorder recorder(m_storage.get());
    {
        LogCapture log;
        m_storage->setSettingsValue(key, secret);
        m_storage->setSettingsValueForMachine(key, secret + "2");
        QVERIFY2(!log.text().contains(secret), qPrintable(log.text()));
        QVERIFY2(log.text().contains(key), qPrintable(log.text()));
    }
    QCOMPARE(m_storage->getSettingsValue(key).toString(), secret);
    QCOMPARE(m_storage->getSettingsValueForMachine(key).toString(), secret + "2");
    QVERIFY(recorder.events.isEmpty());
}

void TestStorageSettings::machineSetterAnnouncesEveryCall()
{
    ChangeRecorder recorder(m_storage.get());
    m_storage->setSettingsValueForMachine(StorageManager::SettingsKeyUseDevelopmentServers, true);
    m_storage->setSettingsValueForMachine("useDevelopmentServers", true);
    QCOMPARE(recorder.events, QStringList({"setting useDevelopmentServers=true", "key 45=true",
                                           "setting useDevelopmentServers=true", "key 45=true"}));
    QCOMPARE(rawValue("useDevelopmentServers").toBool(), true);
}

void TestStorageSettings::performanceLevel_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("1 selects prettiest") << QVariant(1) << int(StorageManager::PerformancePrettiest);
    QTest::newRow("0 selects fastest") << QVariant(0) << int(StorageManager::PerformanceFastest);
    QTest::newRow("text false") << QVariant(QStringLiteral("false")) << int(StorageManager::PerformanceFastest);
    QTest::newRow("true") << QVariant(true) << int(StorageManager::PerformancePrettiest);
    QTest::newRow("out of range 7") << QVariant(7) << int(StorageManager::PerformancePrettiest);
}

void TestStorageSettings::performanceLevel()
{
    QFETCH(QVariant, value);
    QFETCH(int, expected);
    m_storage->setPerformanceLevel(StorageManager::PerformanceBalanced);
    QSignalSpy levelChanged(m_storage.get(), &StorageManager::PerformanceLevelChanged);
    ChangeRecorder recorder(m_storage.get());

    m_storage->setSettingsValue("settingsPerformanceLevel", value);
    QCOMPARE(int(m_storage->getPerformanceLevel()), expected);
    QCOMPARE(m_storage->getSettingsValue("settingsPerformanceLevel").toInt(), expected);
    QCOMPARE(levelChanged.count(), 1);
    // The same choice again changes nothing.
    m_storage->setSettingsValue("settingsPerformanceLevel", value);
    QCOMPARE(levelChanged.count(), 1);
    QVERIFY(recorder.events.isEmpty());
    QCOMPARE(rawValue("settingsPerformanceLevel").toInt(), expected); // machine scope
}

void TestStorageSettings::runAtStartup()
{
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    QCOMPARE(m_storage->getSettingsValue(StorageManager::SettingsKeyRunAtStartup).toBool(), false);
    m_storage->setSettingsValue(StorageManager::SettingsKeyRunAtStartup, true);
    QCOMPARE(m_storage->getSettingsValue(StorageManager::SettingsKeyRunAtStartup), QVariant(true));
    QCOMPARE(host::AutostartEntry::command(), QCoreApplication::arguments().first());
    QCOMPARE(rawValue("sip:alice@dom/settingsRunAtStartup").toBool(), true);

    // Text "false" turns it off; the entry stays, hidden and without a command.
    m_storage->setSettingsValue("settingsRunAtStartup", QStringLiteral("false"));
    QCOMPARE(m_storage->getSettingsValue("settingsRunAtStartup"), QVariant(false));
    QVERIFY(QFile::exists(host::AutostartEntry::path()));
    QCOMPARE(host::AutostartEntry::command(), QString());

    // An entry that starts something else reads as off.
    QVERIFY(host::AutostartEntry::setCommand("/usr/bin/other"));
    QCOMPARE(m_storage->getSettingsValue("settingsRunAtStartup"), QVariant(false));
}

void TestStorageSettings::serverDefaults()
{
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    ChangeRecorder recorder(m_storage.get());
    QCOMPARE(m_storage->getDefaultSettings("settingsPostCallSurveyStartNum", 2).toInt(), 2);

    m_storage->setDefaultSettings("settingsPostCallSurveyStartNum", 4, false);
    m_storage->setDefaultSettings("settingsPostCallSurveyStartNum", 6, false);
    QCOMPARE(m_storage->getDefaultSettings(StorageManager::SettingsKeyPostCallSurveyStartNum, 2).toInt(), 4);
    QCOMPARE(rawValue("sip:alice@dom/defaults.settingsPostCallSurveyStartNum").toInt(), 4);
    QCOMPARE(recorder.events, QStringList({"setting defaults.settingsPostCallSurveyStartNum=4", "key 0=4"}));

    m_storage->setDefaultSettings("settingsPostCallSurveyStartNum", 6, true);
    QCOMPARE(m_storage->getDefaultSettings("settingsPostCallSurveyStartNum", 2).toInt(), 6);
    QCOMPARE(rawValue("sip:alice@dom/defaults.settingsPostCallSurveyStartNum").toInt(), 6);

    // A later process has only the stored value; in-process pushes win over it.
    m_storage.reset();
    m_storage = std::make_unique<StorageManager>();
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    QCOMPARE(m_storage->getDefaultSettings("settingsPostCallSurveyStartNum", 2).toInt(), 6);
    m_storage->setDefaultSettings("settingsPostCallSurveyStartNum", 8, false);
    QCOMPARE(m_storage->getDefaultSettings("settingsPostCallSurveyStartNum", 2).toInt(), 8);
    // Defaults survive sign-out in memory, but the stored one is per user.
    m_storage->closeDatabase();
    QVERIFY(m_storage->openDatabase("DEFAULT"));
    QCOMPARE(m_storage->getDefaultSettings("settingsPostCallSurveyStartNum", 2).toInt(), 8);
    QCOMPARE(m_storage->getDefaultSettings("settingsPostCallSurveyRepeatNum", 5).toInt(), 5);
}

void TestStorageSettings::serverDefaultKeysStayUnderPrefix_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("inner slash") << "a/b";
    QTest::newRow("leading slash onto a machine key") << "/settingsAutoLogin";
    QTest::newRow("dot dot") << "../settingsAutoLogin";
    QTest::newRow("backslash") << "x\\settingsAutoLogin";
}

void TestStorageSettings::serverDefaultKeysStayUnderPrefix()
{
    QFETCH(QString, key);
    m_storage->setLogMeIn(true);
    const QStringList before = QSettings().allKeys();
    m_storage->setDefaultSettings(key, false, false);
    QCOMPARE(m_storage->getLogMeIn(), true);
    QStringList added = QSettings().allKeys();
    for (const QString &existing : before)
        added.removeAll(existing);
    QCOMPARE(added.size(), 1);
    QVERIFY2(added.first().startsWith("defaults."), qPrintable(added.first()));

    m_storage.reset();
    m_storage = std::make_unique<StorageManager>();
    QCOMPARE(m_storage->getDefaultSettings(key, true).toBool(), false);
}

void TestStorageSettings::volumePercents_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("warning");
    const QString mic = QStringLiteral("settingsMicVolumePercent");
    const QString speaker = QStringLiteral("settingsSpeakerVolumePercent");
    QTest::newRow("absent") << mic << QVariant() << 50 << "";
    QTest::newRow("in range") << mic << QVariant(73) << 73 << "";
    QTest::newRow("bounds 0") << speaker << QVariant(0) << 0 << "";
    QTest::newRow("bounds 100") << mic << QVariant(100) << 100 << "";
    QTest::newRow("150") << mic << QVariant(150) << 50
                         << "microphone volume (150) is invalid - must be between 0 and 100 - setting to 50";
    QTest::newRow("negative speaker") << speaker << QVariant(-1) << 50
                                      << "speaker volume (-1) is invalid - must be between 0 and 100 - setting to 50";
    QTest::newRow("text") << mic << QVariant(QStringLiteral("loud")) << 50
                          << "microphone volume (loud) is invalid - must be between 0 and 100 - setting to 50";
}

void TestStorageSettings::volumePercents()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(int, expected);
    QFETCH(QString, warning);
    if (stored.isValid())
        m_storage->setSettingsValue(key, stored);
    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    const int value = key.startsWith("settingsMic") ? StorageManager::getMicVolumePercent()
                                                    : StorageManager::getSpeakerVolumePercent();
    QCOMPARE(value, expected);
}

void TestStorageSettings::hints()
{
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    QSignalSpy hintsChanged(m_storage.get(), &StorageManager::showHintsChanged);
    ChangeRecorder recorder(m_storage.get());
    QCOMPARE(m_storage->getShowHint("MainFrame"), true);
    m_storage->setShowHint("MainFrame", false);
    m_storage->setShowHint("Friends", false);
    QCOMPARE(m_storage->getShowHint("MainFrame"), false);
    QVERIFY(recorder.events.isEmpty());
    QCOMPARE(rawValue("sip:alice@dom/settingsShowHint/MainFrame").toBool(), false);

    m_storage->setShowHints(false);
    QCOMPARE(m_storage->getShowHints(), false);
    QCOMPARE(m_storage->getShowHint("MainFrame"), false);
    m_storage->setShowHints(true);
    QCOMPARE(m_storage->getShowHint("MainFrame"), true);
    QCOMPARE(m_storage->getShowHint("Friends"), true);
    QCOMPARE(hintsChanged.count(), 2);
    QCOMPARE(hintsChanged.last().first().toBool(), true);
}

void TestStorageSettings::properties()
{
    QSignalSpy newInstall(m_storage.get(), &StorageManager::newInstall);
    const QString guid = m_storage->property("installguid").toString();
    QVERIFY(!QUuid::fromString(guid).isNull());
    QVERIFY(guid.startsWith('{'));
    QCOMPARE(StorageManager::getInstallGuid(), guid);
    QCOMPARE(newInstall.count(), 1);

    QCOMPARE(m_storage->property("logMeIn").toBool(), true);
    QCOMPARE(m_storage->property("idleInterval").toInt(), 15);
    QCOMPARE(m_storage->property("pushToTalkKey").toInt(), 162);
    QCOMPARE(m_storage->property("performanceLevel").toInt(), int(StorageManager::PerformancePrettiest));
    QCOMPARE(m_storage->property("passwordLength").toInt(), 0);
    QCOMPARE(StorageManager::getUseAdvancedAgc(), true);

    QSignalSpy idle(m_storage.get(), &StorageManager::idleIntervalChanged);
    QVERIFY(m_storage->setProperty("idleInterval", 20));
    QCOMPARE(idle.count(), 1);
    QCOMPARE(m_storage->getIdleInterval(), 20);
    QSignalSpy names(m_storage.get(), &StorageManager::showCustomDisplayNamesChanged);
    m_storage->setShowCustomDisplayNames(true);
    QCOMPARE(names.count(), 1);
    QCOMPARE(rawValue("showCustomNames").toBool(), true);
    m_storage->setUsername("me@example.com");
    m_storage->setPasswordLength(8);
    QCOMPARE(rawValue("username").toString(), QStringLiteral("me@example.com"));
    QCOMPARE(m_storage->getPasswordLength(), 8);
    StorageManager::setUseAdvancedAgc(false);
    QCOMPARE(StorageManager::getUseAdvancedAgc(), false);

    QCOMPARE(m_storage->getVolumeAdjustForUserUri("sip:u-x@dom"), 50.0);
    m_storage->setVolumeAdjustForUserUri("sip:u-x@dom", 75.5);
    QCOMPARE(m_storage->getVolumeAdjustForUserUri("sip:u-x@dom"), 75.5);
    QCOMPARE(rawValue("settingsUserVolumeAdjust_sip:u-x@dom").toDouble(), 75.5);
    m_storage->removeSettingsValue("settingsUserVolumeAdjust_sip:u-x@dom");
    QCOMPARE(m_storage->getVolumeAdjustForUserUri("sip:u-x@dom", 40.0), 40.0);

    QSignalSpy onTop(m_storage.get(), &StorageManager::popupsAlwaysOnTopChanged);
    m_storage->setPopupsAlwaysOnTop(true);
    QCOMPARE(onTop.count(), 1);
    QCOMPARE(rawValue("settingsPopupsAlwaysOnTop").toBool(), true);
}

void TestStorageSettings::writeFailureIsReported()
{
    // A folder where the settings file should be makes every write fail.
    const QString file = QSettings().fileName();
    QFile::remove(file);
    QVERIFY(QDir().mkpath(file));
    ChangeRecorder recorder(m_storage.get());
    {
        LogCapture log;
        m_storage->setSettingsValue("settingsTTSvoice", "kal16");
        QVERIFY2(log.text().contains("Failed setting settingsTTSvoice: "), qPrintable(log.text()));
        QVERIFY(recorder.events.isEmpty());
        // The machine-scope setter announces regardless.
        m_storage->setSettingsValueForMachine("locale", "fr");
        QVERIFY2(log.text().contains("Failed setting locale: "), qPrintable(log.text()));
    }
    QCOMPARE(recorder.events, QStringList({"setting locale=fr", "key 63=fr"}));
    QVERIFY(QDir(file).removeRecursively());
}

TAVRI_TEST_GUILESS_MAIN(TestStorageSettings)
#include "tst_storagesettings.moc"
