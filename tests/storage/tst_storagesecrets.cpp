// Saved passwords: kept in a secret store when one answers, in the owner-only
// settings file when none does; a password found in the settings file is read
// and moves to the store at its next write; no secret reaches the log.
#include "logcapture.h"
#include "secretstore.h"
#include "storagemanager.h"
#include "testenvironment.h"

#include <QFile>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <memory>

namespace {

// A secret store that answers from a table, as scripted by the test.
class ScriptedSecretStore : public SecretStore
{
public:
    struct Script {
        QHash<QString, QString> entries;
        Result answer = Done;          // Unavailable or Refused: every call fails so
        bool refuseWritesOnly = false; // ... or only writes do
        QStringList calls;
    };
    explicit ScriptedSecretStore(Script *script)
        : m_script(script)
    {
    }

    Result read(const QString &name, QString *secret) override
    {
        m_script->calls << QStringLiteral("read ") + name;
        if (m_script->answer != Done && !m_script->refuseWritesOnly)
            return m_script->answer;
        if (!m_script->entries.contains(name))
            return NotFound;
        *secret = m_script->entries.value(name);
        return Done;
    }
    Result write(const QString &name, const QString &secret) override
    {
        m_script->calls << QStringLiteral("write ") + name;
        if (m_script->answer != Done)
            return m_script->answer;
        m_script->entries.insert(name, secret);
        return Done;
    }
    Result remove(const QString &name) override
    {
        m_script->calls << QStringLiteral("remove ") + name;
        if (m_script->answer != Done && !m_script->refuseWritesOnly)
            return m_script->answer;
        return m_script->entries.remove(name) ? Done : NotFound;
    }

private:
    Script *m_script;
};

QByteArray settingsFileText()
{
    QFile file(QSettings().fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kUser = QStringLiteral("sip:alice@dom");
const QString kChannelKey = QStringLiteral("sip:confctl-12@dom_password");

} // namespace

class TestStorageSecrets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void secretsGoToTheStore();
    void withoutStoreSecretsStayInThePrivateSettingsFile_data();
    void withoutStoreSecretsStayInThePrivateSettingsFile();
    void storedPasswordIsReadAndMovesAtNextWrite();
    void refusedWriteDoesNotLeaveAStaleCopy();
    void defaultStoreFallsBackWithoutSecretService();

private:
    std::unique_ptr<StorageManager> m_storage;
    ScriptedSecretStore::Script m_script;
    std::unique_ptr<LogCapture> m_log;
};

void TestStorageSecrets::initTestCase()
{
    // Whatever runs on this machine, the default store finds no secret service.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
}

void TestStorageSecrets::init()
{
    QSettings().clear();
    m_script = ScriptedSecretStore::Script();
    m_storage = std::make_unique<StorageManager>();
    m_storage->setSecretStore(std::make_unique<ScriptedSecretStore>(&m_script));
    QVERIFY(m_storage->openDatabase(kUser));
    m_log = std::make_unique<LogCapture>();
}

void TestStorageSecrets::cleanup()
{
    // Whatever the path, no secret reached a log line.
    for (const CapturedLine &line : m_log->lines())
        QVERIFY2(!line.message.contains(QLatin1String("s3cret")), qPrintable(line.message));
    m_log.reset();
    m_storage.reset();
}

void TestStorageSecrets::secretsGoToTheStore()
{
    m_storage->setPassword(QStringLiteral("s3cret-sign-in"));
    m_storage->setSettingsValue(kChannelKey, QStringLiteral("s3cret-channel"));

    // Keyed by the setting's key, and for channels by the user too.
    QCOMPARE(m_script.entries.value(QStringLiteral("password")), QStringLiteral("s3cret-sign-in"));
    QCOMPARE(m_script.entries.value(kUser + QLatin1Char('/') + kChannelKey), QStringLiteral("s3cret-channel"));
    QVERIFY(!settingsFileText().contains("s3cret"));
    QCOMPARE(m_storage->getPassword(), QStringLiteral("s3cret-sign-in"));
    QCOMPARE(m_storage->getSettingsValue(kChannelKey, QString()).toString(), QStringLiteral("s3cret-channel"));
    // Another user does not see the channel password.
    QCOMPARE(m_storage->getSettingsValue(kChannelKey, QStringLiteral("none"), QStringLiteral("sip:bob@dom")).toString(),
             QStringLiteral("none"));

    m_storage->removeSettingsValue(kChannelKey);
    QVERIFY(!m_script.entries.contains(kUser + QLatin1Char('/') + kChannelKey));
    QCOMPARE(m_storage->getSettingsValue(kChannelKey, QString()).toString(), QString());
    QVERIFY(m_log->matching(QStringLiteral("owner-only settings file")).isEmpty());
}

void TestStorageSecrets::withoutStoreSecretsStayInThePrivateSettingsFile_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("logged");
    QTest::newRow("store unavailable") << int(SecretStore::Unavailable) << QStringLiteral("No secret store available");
    QTest::newRow("store refusing") << int(SecretStore::Refused) << QStringLiteral("The secret store refused");
}

void TestStorageSecrets::withoutStoreSecretsStayInThePrivateSettingsFile()
{
    QFETCH(int, answer);
    QFETCH(QString, logged);
    m_script.answer = SecretStore::Result(answer);

    m_storage->setPassword(QStringLiteral("s3cret-sign-in"));
    m_storage->setSettingsValue(kChannelKey, QStringLiteral("s3cret-channel"));
    QCOMPARE(m_storage->getPassword(), QStringLiteral("s3cret-sign-in"));
    QCOMPARE(m_storage->getSettingsValue(kChannelKey, QString()).toString(), QStringLiteral("s3cret-channel"));

    QVERIFY(m_script.entries.isEmpty());
    QCOMPARE(QSettings().value(QStringLiteral("password")).toString(), QStringLiteral("s3cret-sign-in"));
    QCOMPARE(QFile::permissions(QSettings().fileName()) & 0x0077, QFile::Permissions());
    // One line says so, however many passwords went to the file.
    QCOMPARE(m_log->matching(QStringLiteral("owner-only settings file")).size(), 1);
    QCOMPARE(m_log->matching(logged).size(), 1);
}

void TestStorageSecrets::storedPasswordIsReadAndMovesAtNextWrite()
{
    // Written by an earlier version, before there was a secret store.
    {
        QSettings settings;
        settings.setValue(QStringLiteral("password"), QStringLiteral("s3cret-old"));
        settings.setValue(kUser + QLatin1Char('/') + kChannelKey, QStringLiteral("s3cret-old-channel"));
    }
    QCOMPARE(m_storage->getPassword(), QStringLiteral("s3cret-old"));
    QCOMPARE(m_storage->getSettingsValue(kChannelKey, QString()).toString(), QStringLiteral("s3cret-old-channel"));
    // Reading moves nothing and loses nothing.
    QVERIFY(m_script.entries.isEmpty());
    QVERIFY(settingsFileText().contains("s3cret-old"));

    m_storage->setPassword(QStringLiteral("s3cret-new"));
    m_storage->setSettingsValue(kChannelKey, QStringLiteral("s3cret-new-channel"));
    QCOMPARE(m_storage->getPassword(), QStringLiteral("s3cret-new"));
    QCOMPARE(m_storage->getSettingsValue(kChannelKey, QString()).toString(), QStringLiteral("s3cret-new-channel"));
    QCOMPARE(m_script.entries.size(), 2);
    QVERIFY(!settingsFileText().contains("s3cret"));
}

void TestStorageSecrets::refusedWriteDoesNotLeaveAStaleCopy()
{
    m_storage->setPassword(QStringLiteral("s3cret-first"));
    QCOMPARE(m_script.entries.value(QStringLiteral("password")), QStringLiteral("s3cret-first"));

    // The store still reads and removes, but refuses to write.
    m_script.answer = SecretStore::Refused;
    m_script.refuseWritesOnly = true;
    m_storage->setPassword(QStringLiteral("s3cret-second"));
    QCOMPARE(m_storage->getPassword(), QStringLiteral("s3cret-second"));
    QVERIFY(!m_script.entries.contains(QStringLiteral("password")));
}

void TestStorageSecrets::defaultStoreFallsBackWithoutSecretService()
{
    // No secret service runs in the test environment.
    m_storage.reset();
    m_storage = std::make_unique<StorageManager>();
    m_storage->setPassword(QStringLiteral("s3cret-default"));
    QCOMPARE(m_storage->getPassword(), QStringLiteral("s3cret-default"));
    QCOMPARE(QSettings().value(QStringLiteral("password")).toString(), QStringLiteral("s3cret-default"));
    QCOMPARE(m_log->matching(QStringLiteral("No secret store available")).size(), 1);
}

TAVRI_TEST_GUILESS_MAIN(TestStorageSecrets)
#include "tst_storagesecrets.moc"
