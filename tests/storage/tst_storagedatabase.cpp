#include "logcapture.h"
#include "storagemanager.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// Runs `body` on a connection of its own to the file, as another program
// would see it (fixtures before an open, checks after one).
void withFile(const QString &path, const std::function<void(QSqlDatabase &)> &body)
{
    const QString name = QStringLiteral("inspect");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        body(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void exec(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    QVERIFY2(query.exec(sql), qPrintable(sql + ": " + query.lastError().text()));
}

QStringList column(QSqlDatabase &db, const QString &sql)
{
    QStringList values;
    QSqlQuery query(db);
    if (!query.exec(sql))
        return {QStringLiteral("error: ") + query.lastError().text()};
    while (query.next())
        values << query.value(0).toString();
    return values;
}

// The schema as the program itself creates it, up to a version, with one
// notification and one recent conversation; `withVersionRow` false leaves the
// Versions table empty.
void createSchema(QSqlDatabase &db, int version, bool withVersionRow)
{
    exec(db, "CREATE TABLE [Notifications] (ID integer NOT NULL PRIMARY KEY AUTOINCREMENT, notificationUID integer, "
             "sentAtMsecsFromEpoch integer, senderUID integer, senderUname text, channelUID integer, "
             "channelDisplayName text, notificationType integer, customMessage text, customAction text, "
             "readState integer, recipientEmail text)");
    exec(db, "CREATE INDEX NotificationDateIndex ON Notifications (sentAtMsecsFromEpoch)");
    exec(db, "CREATE UNIQUE INDEX NotificationUIDIndex ON Notifications (notificationUID)");
    exec(db, "INSERT INTO Notifications (notificationUID, sentAtMsecsFromEpoch, readState) VALUES (77, 1000, 1)");
    if (version >= 12) {
        exec(db, "CREATE TABLE [RecentConversations] (ID integer NOT NULL PRIMARY KEY AUTOINCREMENT, realmID text, "
                 "conversationID text, displayName text, profileImageURI text, joinedAtMsecsFromEpoch integer, "
                 "leftAtMsecsFromEpoch integer)");
        exec(db, "CREATE INDEX RecentConversationDateIndex ON RecentConversations (leftAtMsecsFromEpoch)");
        exec(db, "CREATE TABLE [RecentConversationParticipants] (RecentEntryID integer, participantUUID text)");
        exec(db, "CREATE INDEX RecentConversationParticipantsConversationIndex ON RecentConversationParticipants "
                 "(RecentEntryID)");
        exec(db, "INSERT INTO RecentConversations (realmID, conversationID, joinedAtMsecsFromEpoch, "
                 "leftAtMsecsFromEpoch) VALUES ('__Tavri', 'c1', 1, 2)");
    }
    if (version >= 13)
        exec(db, "ALTER TABLE [RecentConversations] ADD COLUMN logfilename text");
    exec(db, "CREATE TABLE [Versions] (ID integer NOT NULL PRIMARY KEY AUTOINCREMENT, GlobalVersion integer)");
    if (withVersionRow)
        exec(db, QStringLiteral("INSERT INTO Versions (GlobalVersion) VALUES (%1)").arg(version));
}

struct Schema {
    QStringList tables;
    QStringList indexes;
    QStringList recentColumns;
    QStringList versions;
    int notifications;
    int recentConversations;
};

Schema readSchema(const QString &path)
{
    Schema schema;
    withFile(path, [&](QSqlDatabase &db) {
        schema.tables = column(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
                                   "ORDER BY name");
        schema.indexes = column(db, "SELECT name FROM sqlite_master WHERE type = 'index' AND name NOT LIKE "
                                    "'sqlite_%' ORDER BY name");
        schema.recentColumns = column(db, "SELECT name FROM pragma_table_info('RecentConversations')");
        schema.versions = column(db, "SELECT GlobalVersion FROM Versions");
        schema.notifications = column(db, "SELECT ID FROM Notifications").size();
        schema.recentConversations = column(db, "SELECT ID FROM RecentConversations").size();
    });
    return schema;
}

const QStringList kTables = {"Notifications", "RecentConversationParticipants", "RecentConversations", "Versions"};
const QStringList kIndexes = {"NotificationDateIndex", "NotificationUIDIndex", "RecentConversationDateIndex",
                              "RecentConversationParticipantsConversationIndex"};
const QStringList kRecentColumns = {"ID",
                                    "realmID",
                                    "conversationID",
                                    "displayName",
                                    "profileImageURI",
                                    "joinedAtMsecsFromEpoch",
                                    "leftAtMsecsFromEpoch",
                                    "logfilename"};

QDateTime at(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs);
}

} // namespace

class TestStorageDatabase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fileName_data();
    void fileName();
    void newFileGetsCurrentSchema();
    void migration_data();
    void migration();
    void failingStepDoesNotStopMigration();
    void failedVersionRewriteRollsBack();
    void damagedFileIsSetAside();
    void notifications();
    void notificationReadStates();
    void recentConversations();
    void recentConversationsSharingLeftTimeStayApart();
    void recentConversationChanges();
    void closedDatabaseOnlyLogs();

private:
    std::unique_ptr<StorageManager> m_storage;
};

void TestStorageDatabase::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
}

void TestStorageDatabase::init()
{
    m_storage = std::make_unique<StorageManager>();
}

void TestStorageDatabase::cleanup()
{
    m_storage.reset();
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
}

void TestStorageDatabase::fileName_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("ordinary SIP URI") << ""
                                      << "sip:name@dom"
                                      << "Data-sip-name_dom.dat";
    QTest::newRow("DEFAULT") << ""
                             << "DEFAULT"
                             << "Data-DEFAULT.dat";
    QTest::newRow("voice domain removed") << "vd.example.com"
                                          << "sip:u-abc@tavri.vd.example.com"
                                          << "Data-sip-u-abc_tavri.dat";
    QTest::newRow("other domain kept") << "vd.example.com"
                                       << "sip:u-abc@tavri.other.com"
                                       << "Data-sip-u-abc_tavri.other.com.dat";
    QTest::newRow("dots kept") << ""
                               << "sip:first.last@a.b"
                               << "Data-sip-first.last_a.b.dat";
    QTest::newRow("slashes") << ""
                             << "sip:../../x@d/e"
                             << "Data-sip-.._.._x_d_e.dat";
    QTest::newRow("backslash") << ""
                               << "sip:..\\..\\x@d"
                               << "Data-sip-.._.._x_d.dat";
    QTest::newRow("control characters") << "" << QString("a\nb\tc") + QChar(0) << "Data-a_b_c_.dat";
    QTest::newRow("characters names cannot hold") << ""
                                                  << "a<b>c|d?e*f\"g"
                                                  << "Data-a_b_c_d_e_f_g.dat";
}

void TestStorageDatabase::fileName()
{
    QFETCH(QString, domain);
    QFETCH(QString, name);
    QFETCH(QString, fileName);
    m_storage->setVoiceDomain(domain);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(m_storage->databaseFilePath(name), folder + QLatin1Char('/') + fileName);
    QVERIFY(m_storage->openDatabase(name));
    QVERIFY(QFileInfo::exists(folder + QLatin1Char('/') + fileName));
    QCOMPARE(m_storage->databaseName(), name);
}

void TestStorageDatabase::newFileGetsCurrentSchema()
{
    LogCapture log;
    QVERIFY(m_storage->openDatabase("sip:new@dom"));
    QVERIFY(log.text().contains("DB refresh due to version change or new DB"));
    const Schema schema = readSchema(m_storage->databaseFilePath("sip:new@dom"));
    QCOMPARE(schema.tables, kTables);
    QCOMPARE(schema.indexes, kIndexes);
    QCOMPARE(schema.recentColumns, kRecentColumns);
    QCOMPARE(schema.versions, QStringList{"13"});

    // Opening again finds the current version and changes nothing.
    log.clear();
    QVERIFY(m_storage->openDatabase("sip:new@dom"));
    QVERIFY(log.text().contains("DB already at current version"));
    QVERIFY(!log.text().contains("error"));
}

void TestStorageDatabase::migration_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("versionsRow");
    QTest::addColumn<int>("notificationsLeft");
    QTest::addColumn<int>("recentLeft");
    QTest::newRow("12 gains only logfilename") << 12 << true << 1 << 1;
    QTest::newRow("10 loses its notifications") << 10 << true << 0 << 0;
    QTest::newRow("14 keeps its tables") << 14 << true << 1 << 1;
    QTest::newRow("13 unchanged") << 13 << true << 1 << 1;
    QTest::newRow("empty Versions counts as new") << 13 << false << 0 << 1;
}

void TestStorageDatabase::migration()
{
    QFETCH(int, version);
    QFETCH(bool, versionsRow);
    QFETCH(int, notificationsLeft);
    QFETCH(int, recentLeft);
    const QString name = QStringLiteral("sip:v%1@dom").arg(version);
    const QString path = m_storage->databaseFilePath(name);
    withFile(path, [&](QSqlDatabase &db) { createSchema(db, version, versionsRow); });

    LogCapture log;
    QVERIFY(m_storage->openDatabase(name));
    const Schema schema = readSchema(path);
    QCOMPARE(schema.tables, kTables);
    QCOMPARE(schema.indexes, kIndexes);
    QCOMPARE(schema.recentColumns, kRecentColumns);
    QCOMPARE(schema.versions, QStringList{"13"});
    QCOMPARE(schema.notifications, notificationsLeft);
    QCOMPARE(schema.recentConversations, recentLeft);
    if (version == 12 && versionsRow) // only the column step and the version rewrite ran
        QVERIFY2(!log.text().contains("error"), qPrintable(log.text()));
}

// A file that says version 11 but already has the version 12 tables: the
// steps that fail are logged, the others still run and all are committed.
void TestStorageDatabase::failingStepDoesNotStopMigration()
{
    const QString path = m_storage->databaseFilePath("sip:v11@dom");
    withFile(path, [](QSqlDatabase &db) {
        createSchema(db, 12, false);
        exec(db, "INSERT INTO Versions (GlobalVersion) VALUES (11)");
    });
    LogCapture log;
    QVERIFY(m_storage->openDatabase("sip:v11@dom"));
    QVERIFY(log.text().contains("DB refresh due to version change"));
    QVERIFY(log.text().contains("error - problem creating RecentConversations table"));
    QVERIFY(!log.text().contains("could not commit"));
    m_storage.reset(); // closes the connection, so only committed work is seen
    const Schema schema = readSchema(path);
    QCOMPARE(schema.recentColumns, kRecentColumns);
    QCOMPARE(schema.versions, QStringList{"13"});
    QCOMPARE(schema.notifications, 1);
    QCOMPARE(schema.recentConversations, 1);
}

// A storage whose version rewrite fails, as a full disk or a locked file
// would make it, once the steps before it have run.
class VersionlessStorage : public StorageManager
{
protected:
    bool writeSchemaVersion() override
    {
        QSqlQuery(QSqlDatabase::database()).exec(QStringLiteral("DROP TABLE IF EXISTS Versions"));
        return false;
    }
};

// The migration is one transaction: when the version cannot be written, the
// file keeps its old schema and version, and its notifications, for the next
// start to migrate again.
void TestStorageDatabase::failedVersionRewriteRollsBack()
{
    m_storage = std::make_unique<VersionlessStorage>();
    const QString path = m_storage->databaseFilePath("sip:v12@dom");
    withFile(path, [](QSqlDatabase &db) { createSchema(db, 12, true); });
    LogCapture log;
    QVERIFY(m_storage->openDatabase("sip:v12@dom"));
    QVERIFY(log.text().contains("migration rolled back"));
    m_storage.reset();
    const Schema kept = readSchema(path);
    QCOMPARE(kept.versions, QStringList{"12"});
    QVERIFY(!kept.recentColumns.contains("logfilename"));
    QCOMPARE(kept.notifications, 1);

    m_storage = std::make_unique<StorageManager>();
    QVERIFY(m_storage->openDatabase("sip:v12@dom"));
    m_storage.reset();
    const Schema migrated = readSchema(path);
    QCOMPARE(migrated.versions, QStringList{"13"});
    QCOMPARE(migrated.recentColumns, kRecentColumns);
    QCOMPARE(migrated.notifications, 1);
}

// A file that is not a database is reported and left as it was, byte for byte.
void TestStorageDatabase::damagedFileIsSetAside()
{
    const QString path = m_storage->databaseFilePath("sip:foreign@dom");
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray bytes = QByteArray("This is a text file, not a database.\n").repeated(200);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    LogCapture log;
    QSignalSpy setAside(m_storage.get(), &StorageManager::databaseSetAside);
    // The file is kept as it was, next to a new database that works.
    QVERIFY(m_storage->openDatabase("sip:foreign@dom"));
    QCOMPARE(setAside.size(), 1);
    QCOMPARE(setAside.first().first().toString(), path + QStringLiteral(".damaged"));
    QVERIFY2(log.text().contains("is damaged"), qPrintable(log.text()));
    QVERIFY(m_storage->storeNotificationRecord("1", at(1), "2", "n", "3", "c", 1, "", "", 1, ""));
    QStringList uids, senders, names, messages, actions, channels, channelNames, emails;
    QList<QDateTime> times;
    QList<int> types, states;
    QCOMPARE(m_storage->getNotificationRecords(uids, senders, names, times, types, messages, actions, channels,
                                               channelNames, states, emails),
             1);
    // Opened again, the new file is simply used: said once.
    QVERIFY(m_storage->openDatabase("sip:foreign@dom"));
    QCOMPARE(setAside.size(), 1);
    m_storage.reset();
    QFile file(path + QStringLiteral(".damaged"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
}

void TestStorageDatabase::notifications()
{
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    m_storage->storeNotificationRecord("1001", at(1000), "501", "bob", "9001", "Lobby", 3, "hi", "join", 1,
                                       "alice@example.com");
    m_storage->storeNotificationRecord("1003", at(3000), "503", "dave", "", "", 1, "", "", 2, "");
    m_storage->storeNotificationRecord("1002", at(2000), "502", "carol", "9002", "Ops", 2, "", "", 1, "");

    // The lists are appended to, not cleared.
    QStringList uids{"old"}, senders, names, messages, actions, channels, channelNames, emails;
    QList<QDateTime> times;
    QList<int> types, states;
    QCOMPARE(m_storage->getNotificationRecords(uids, senders, names, times, types, messages, actions, channels,
                                               channelNames, states, emails),
             3);
    QCOMPARE(uids, QStringList({"old", "1003", "1002", "1001"}));
    QCOMPARE(times, QList<QDateTime>({at(3000), at(2000), at(1000)}));
    QCOMPARE(senders, QStringList({"503", "502", "501"}));
    QCOMPARE(names, QStringList({"dave", "carol", "bob"}));
    QCOMPARE(types, QList<int>({1, 2, 3}));
    QCOMPARE(messages.last(), QStringLiteral("hi"));
    QCOMPARE(actions.last(), QStringLiteral("join"));
    QCOMPARE(channels, QStringList({"", "9002", "9001"}));
    QCOMPARE(channelNames.last(), QStringLiteral("Lobby"));
    QCOMPARE(states, QList<int>({2, 1, 1}));
    QCOMPARE(emails, QStringList({"", "", ""}));

    m_storage->deleteNotificationRecord("1002");
    uids.clear();
    QCOMPARE(m_storage->getNotificationRecords(uids, senders, names, times, types, messages, actions, channels,
                                               channelNames, states, emails),
             2);
    QCOMPARE(uids, QStringList({"1003", "1001"}));
}

void TestStorageDatabase::notificationReadStates()
{
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    const QString path = m_storage->databaseFilePath("sip:alice@dom");
    auto rows = [&] {
        QStringList result;
        withFile(path, [&](QSqlDatabase &db) {
            result = column(db, "SELECT notificationUID || '|' || senderUname || '|' || readState FROM Notifications "
                                "ORDER BY notificationUID");
        });
        return result;
    };
    QVERIFY(m_storage->storeNotificationRecord("1001", at(1000), "501", "bob", "9001", "Lobby", 3, "", "", 1, ""));
    m_storage->storeNotificationRecord("1002", at(2000), "502", "carol", "", "", 1, "", "", 1, "");
    // The same state changes nothing; the other fields of a stored one never change.
    QVERIFY(m_storage->storeNotificationRecord("1001", at(5000), "999", "mallory", "", "", 9, "", "", 1, ""));
    QCOMPARE(rows(), QStringList({"1001|bob|1", "1002|carol|1"}));
    // Another state changes the read state only.
    m_storage->storeNotificationRecord("1001", at(5000), "999", "mallory", "", "", 9, "", "", 3, "");
    QCOMPARE(rows(), QStringList({"1001|bob|3", "1002|carol|1"}));

    m_storage->markAllNotificationRecordsRead();
    QCOMPARE(rows(), QStringList({"1001|bob|2", "1002|carol|2"}));
}

void TestStorageDatabase::recentConversations()
{
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    // Eleven visits, left one after another, two participants each, plus one
    // newest visit without participants, which the join leaves out.
    for (int i = 0; i < 11; ++i) {
        const QString id = QStringLiteral("c%1").arg(i);
        m_storage->insertRecentConversationRecord("__Tavri", id, "Name " + id, "img" + id, at(i * 100),
                                                  at(i * 100 + 50), "log" + id);
        m_storage->insertRecentConversationParticipantRecord("__Tavri", id, at(i * 100), "p1-" + id);
        m_storage->insertRecentConversationParticipantRecord("__Tavri", id, at(i * 100), "p2-" + id);
    }
    m_storage->insertRecentConversationRecord("__Tavri", "lonely", "Lonely", "", at(5000), at(6000), "");

    QStringList realms{"stale"}, ids, names, images, logs;
    QList<QDateTime> joined, left;
    QList<QStringList> participants;
    QCOMPARE(m_storage->getRecentConversationRecords(realms, ids, names, images, joined, left, logs, participants), 10);
    QCOMPARE(realms.size(), 10); // cleared first
    QCOMPARE(ids.first(), QStringLiteral("c10"));
    QCOMPARE(ids.last(), QStringLiteral("c1"));
    QCOMPARE(names.first(), QStringLiteral("Name c10"));
    QCOMPARE(images.first(), QStringLiteral("imgc10"));
    QCOMPARE(logs.first(), QStringLiteral("logc10"));
    QCOMPARE(joined.first(), at(1000));
    QCOMPARE(left.first(), at(1050));
    QCOMPARE(participants.first().size(), 2);
    QVERIFY(participants.first().contains("p1-c10") && participants.first().contains("p2-c10"));
}

// Two visits of one conversation left at the same moment stay two entries,
// each with its own participants, whatever order their rows were stored in.
void TestStorageDatabase::recentConversationsSharingLeftTimeStayApart()
{
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    m_storage->insertRecentConversationRecord("__Tavri", "c", "C", "", at(100), at(900), "a.log");
    m_storage->insertRecentConversationRecord("__Tavri", "c", "C", "", at(200), at(900), "b.log");
    for (const char *p : {"x", "y"}) {
        m_storage->insertRecentConversationParticipantRecord("__Tavri", "c", at(200), QStringLiteral("late-") + p);
        m_storage->insertRecentConversationParticipantRecord("__Tavri", "c", at(100), QStringLiteral("early-") + p);
    }
    QStringList realms, ids, names, images, logs;
    QList<QDateTime> joined, left;
    QList<QStringList> participants;
    QCOMPARE(m_storage->getRecentConversationRecords(realms, ids, names, images, joined, left, logs, participants), 2);
    QCOMPARE(joined, QList<QDateTime>({at(100), at(200)}));
    QCOMPARE(logs, QStringList({"a.log", "b.log"}));
    QCOMPARE(participants.at(0).size(), 2);
    QCOMPARE(participants.at(1).size(), 2);
    QVERIFY(participants.at(0).filter("early-").size() == 2);
    QVERIFY(participants.at(1).filter("late-").size() == 2);
}

void TestStorageDatabase::recentConversationChanges()
{
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    const QString path = m_storage->databaseFilePath("sip:alice@dom");
    m_storage->insertRecentConversationRecord("__Tavri", "c", "Old", "old.png", at(100), at(200), "c.log");
    m_storage->insertRecentConversationParticipantRecord("__Tavri", "c", at(100), "p");
    {
        LogCapture log;
        m_storage->insertRecentConversationParticipantRecord("__Tavri", "c", at(999), "q");
        QVERIFY(log.text().contains("could not find matching entry"));
    }

    m_storage->updateRecentConversationRecord("__Tavri", "c", "New", "new.png", at(100), at(300));
    QStringList realms, ids, names, images, logs;
    QList<QDateTime> joined, left;
    QList<QStringList> participants;
    QCOMPARE(m_storage->getRecentConversationRecords(realms, ids, names, images, joined, left, logs, participants), 1);
    QCOMPARE(names, QStringList{"New"});
    QCOMPARE(images, QStringList{"new.png"});
    QCOMPARE(left, QList<QDateTime>{at(300)});
    QCOMPARE(logs, QStringList{"c.log"});
    QCOMPARE(participants, QList<QStringList>{QStringList{"p"}});

    // Deleting needs the exact visit; its participant rows stay behind.
    m_storage->deleteRecentConversationRecord("__Tavri", "c", at(100), at(200));
    QCOMPARE(m_storage->getRecentConversationRecords(realms, ids, names, images, joined, left, logs, participants), 1);
    m_storage->deleteRecentConversationRecord("__Tavri", "c", at(100), at(300));
    QCOMPARE(m_storage->getRecentConversationRecords(realms, ids, names, images, joined, left, logs, participants), 0);
    withFile(path, [](QSqlDatabase &db) {
        QCOMPARE(column(db, "SELECT participantUUID FROM RecentConversationParticipants"), QStringList{"p"});
    });
}

void TestStorageDatabase::closedDatabaseOnlyLogs()
{
    QVERIFY(m_storage->openDatabase("sip:alice@dom"));
    m_storage->storeNotificationRecord("1", at(1), "2", "n", "3", "c", 1, "", "", 1, "");
    m_storage->closeDatabase();
    QCOMPARE(m_storage->databaseName(), QString());
    LogCapture log;
    QStringList uids, senders, names, messages, actions, channels, channelNames, emails;
    QList<QDateTime> times;
    QList<int> types, states;
    QCOMPARE(m_storage->getNotificationRecords(uids, senders, names, times, types, messages, actions, channels,
                                               channelNames, states, emails),
             0);
    m_storage->storeNotificationRecord("5", at(1), "2", "n", "3", "c", 1, "", "", 1, "");
    m_storage->insertRecentConversationRecord("__Tavri", "c", "C", "", at(1), at(2), "");
    QVERIFY(log.text().contains("Failed to store local notification record"));
    QVERIFY(log.text().contains("error inserting recent conversation record"));
}

TAVRI_TEST_GUILESS_MAIN(TestStorageDatabase)
#include "tst_storagedatabase.moc"
