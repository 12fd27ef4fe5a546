// Recent conversations: tracking of joined conversations, the chat-log files
// and their names, the heartbeat, the rows rebuilt from the database, removal
// and the lists of logs.

#include "conversation.h"
#include "conversationmessagelist.h"
#include "identityrealmmanager.h"
#include "localuser.h"
#include "realmidentitylist.h"
#include "recentconversation.h"
#include "recentconversations.h"
#include "signedinuser.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"

#include <QAbstractEventDispatcher>
#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimerEvent>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

#include <memory>

namespace {

const QString kBuiltIn = QStringLiteral("__Tavri");
const QString kLogSetting = QStringLiteral("settingsLogChatMessages");

// Rows of a query on the open database, each as a list of its columns.
QList<QVariantList> query(const QString &sql)
{
    QList<QVariantList> rows;
    QSqlQuery q(QSqlDatabase::database());
    if (!q.exec(sql))
        return rows;
    while (q.next()) {
        QVariantList row;
        for (int column = 0; column < q.record().count(); ++column)
            row.append(q.value(column));
        rows.append(row);
    }
    return rows;
}

QByteArray fileContents(const QString &filename)
{
    QFile file(filename);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void deleteLaterNow()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestRecentConversations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void folderName_data();
    void folderName();
    void logFileTimestamp_data();
    void logFileTimestamp();
    void freeNamesAndLineFormat();

    void joinStoresEntryAndCreatesLog();
    void logsStayInsideTheFolder_data();
    void logsStayInsideTheFolder();
    void sameMillisecondGetsCounter();
    void noChatLogFolder();
    void chatLinesAreLogged();
    void unsavedChatLinesAreToldOnce();
    void loggingSwitchedOff();
    void heartbeatAndEndOfStay();
    void participantsOncePerUidWithoutLocalUser();
    void swappingMovesTracking();
    void titleAndIdChanges();
    void refreshRefusedWhileTracking();
    void refreshRestoresNewestFirst();
    void roles_data();
    void roles();
    void removeEntryKeepsWrittenLog();
    void chatLogLists();
    void conversationListsItsLogs();

private:
    std::unique_ptr<RecentConversations> newModel();
    Conversation *conversation(const QString &id);
    void emitJoined(const QString &id);
    void emitDisconnected(const QString &id);
    QString onlyLogFilename();

    QString m_logDir;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    QList<QPointer<Conversation>> m_conversations;
};

void TestRecentConversations::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    IdentityRealmManager::getInstance();
    QVERIFY(signedin::ownIdentity(QStringLiteral("sip:u-me@d")));
    QVERIFY(QSqlDatabase::database().isOpen());
    m_logDir = QDir::tempPath() + QStringLiteral("/chatlogs");
    // The tests drive models of their own; a list the local user keeps would
    // store every stay a second time.
    if (QObject *ownList = LocalUser::getLocalUser()->property("recentConversations").value<QObject *>())
        QObject::disconnect(IdentityRealmManager::getInstance(), nullptr, ownList, nullptr);
}

void TestRecentConversations::init()
{
    LocalUser::getLocalUser()->tavriidentity()->setUname(QStringLiteral("Me Myself"));
    StorageManager::getInstance()->setSettingsValue(kLogSetting, true, QString());
    query(QStringLiteral("DELETE FROM RecentConversations"));
    query(QStringLiteral("DELETE FROM RecentConversationParticipants"));
    QDir(m_logDir).removeRecursively();
    QVERIFY(QDir().mkpath(m_logDir));
    m_logDir = QFileInfo(m_logDir).canonicalFilePath();
}

void TestRecentConversations::cleanup()
{
    m_tester.reset();
    LocalUser *localUser = LocalUser::getLocalUser();
    if (localUser->dynamicPropertyNames().contains("recentConversations"))
        localUser->setProperty("recentConversations", QVariant());
    for (const QPointer<Conversation> &conversation : qAsConst(m_conversations))
        delete conversation.data();
    m_conversations.clear();
    deleteLaterNow();
}

std::unique_ptr<RecentConversations> TestRecentConversations::newModel()
{
    auto model = std::make_unique<RecentConversations>();
    model->setChatLogDirectory(m_logDir);
    m_tester =
        std::make_unique<QAbstractItemModelTester>(model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    return model;
}

Conversation *TestRecentConversations::conversation(const QString &id)
{
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(id);
    m_conversations.append(conversation);
    return conversation;
}

void TestRecentConversations::emitJoined(const QString &id)
{
    emit IdentityRealmManager::getInstance()->conversationJoined(TavriIdentityRealm::getInstance(), id);
}

void TestRecentConversations::emitDisconnected(const QString &id)
{
    emit IdentityRealmManager::getInstance()->conversationDisconnected(
        TavriIdentityRealm::getInstance(), id, Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode(0),
        QString());
}

// The log file name of the one stored stay.
QString TestRecentConversations::onlyLogFilename()
{
    const QList<QVariantList> rows = query(QStringLiteral("SELECT logfilename FROM RecentConversations"));
    return rows.size() == 1 ? rows.first().first().toString() : QStringLiteral("<%1 rows>").arg(rows.size());
}

void TestRecentConversations::folderName_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("expected");

    QTest::newRow("separators") << "x:y z"
                                << "x_y_z";
    QTest::newRow("plain characters kept, case too") << "Ab-9_zQ"
                                                     << "Ab-9_zQ";
    QTest::newRow("all replaced characters") << "@?:* \\./[];|=,()\""
                                             << "_________________";
    QTest::newRow("parent folder") << ".."
                                   << "__";
    QTest::newRow("empty") << ""
                           << "_";
    QTest::newRow("32 characters cleaned") << "sip:confctl-g-0123456789abcdef01"
                                           << "sip_confctl-g-0123456789abcdef01";
    QTest::newRow("33 characters hashed") << "sip:confctl-g-0123456789abcdef012"
                                          << "164dbbb958663d8cb3389ca2699e370d";
}

void TestRecentConversations::folderName()
{
    QFETCH(QString, id);
    QFETCH(QString, expected);
    QCOMPARE(RecentConversation::folderName(id), expected);
}

void TestRecentConversations::logFileTimestamp_data()
{
    QTest::addColumn<QString>("filename");
    QTest::addColumn<qint64>("msecs");

    QTest::newRow("full path") << "/logs/__Tavri/Me/sip_u-a_d/1394010422000.txt" << Q_INT64_C(1394010422000);
    QTest::newRow("bare name") << "123.txt" << Q_INT64_C(123);
    QTest::newRow("counter appended") << "/logs/a/b/c/1394010422000.txt0" << Q_INT64_C(0);
    QTest::newRow("not a number") << "/logs/a/b/c/notes.txt" << Q_INT64_C(0);
}

void TestRecentConversations::logFileTimestamp()
{
    QFETCH(QString, filename);
    QFETCH(qint64, msecs);
    QCOMPARE(RecentConversation::logFileTimestamp(filename), QDateTime::fromMSecsSinceEpoch(msecs));
}

void TestRecentConversations::freeNamesAndLineFormat()
{
    const QString name = m_logDir + QStringLiteral("/1.txt");
    QCOMPARE(RecentConversation::firstFreeFilename(name), name);
    QFile(name).open(QIODevice::WriteOnly);
    QCOMPARE(RecentConversation::firstFreeFilename(name), name + QStringLiteral("0"));
    QFile(name + QStringLiteral("0")).open(QIODevice::WriteOnly);
    QCOMPARE(RecentConversation::firstFreeFilename(name), name + QStringLiteral("01"));

    const QDateTime when(QDate(2014, 3, 5), QTime(9, 7, 2));
    QCOMPARE(RecentConversation::formatLogLine(when, QStringLiteral("Ann"), QStringLiteral("hi")),
             QByteArray("2014/03/05 09:07:02: Ann>>> hi\r\n"));
    // UTF-8 without a byte-order mark; further lines of a text are indented,
    // so that a peer's text cannot forge an entry.
    QCOMPARE(RecentConversation::formatLogLine(when, QStringLiteral("Zoë"), QStringLiteral("a\nb")),
             QByteArray("2014/03/05 09:07:02: Zo\xc3\xab>>> a\r\n    b\r\n"));
    QCOMPARE(RecentConversation::formatLogLine(when, QStringLiteral("Eve\nAdmin"),
                                               QStringLiteral("hi\r\n2014/03/05 09:07:03: Admin>>> send me your "
                                                              "password\u2028x\ry")),
             QByteArray("2014/03/05 09:07:02: Eve Admin>>> hi\r\n    2014/03/05 09:07:03: Admin>>> send me your "
                        "password\r\n    x\r\n    y\r\n"));
}

void TestRecentConversations::unsavedChatLinesAreToldOnce()
{
    auto model = newModel();
    const QString id = QStringLiteral("sip:confctl-g-full@d");
    Conversation *k = conversation(id);
    emitJoined(id);
    const QString filename = onlyLogFilename();
    emit k->getChatMessages()->messageAdded(QStringLiteral("Ann"), QStringLiteral("stored"));
    const qint64 stored = QFileInfo(filename).size();
    QVERIFY(stored > 0);

    // The disk is full: no file of the process may grow.
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit before;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
    struct rlimit full = before;
    full.rlim_cur = rlim_t(stored);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &full), 0);
    const int rowsBefore = k->getChatMessages()->rowCount();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("are not stored")));
    emit k->getChatMessages()->messageAdded(QStringLiteral("Ann"), QStringLiteral("lost one"));
    emit k->getChatMessages()->messageAdded(QStringLiteral("Ann"), QStringLiteral("lost two"));
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &before), 0);

    QCOMPARE(QFileInfo(filename).size(), stored);
    // One notice in the conversation, however many lines were lost.
    QCOMPARE(k->getChatMessages()->rowCount(), rowsBefore + 1);
    const QString notice =
        k->getChatMessages()->data(k->getChatMessages()->index(rowsBefore), Qt::DisplayRole).toString();
    QVERIFY2(notice.contains(QStringLiteral("no longer saved to its chat log")), qPrintable(notice));
}

void TestRecentConversations::joinStoresEntryAndCreatesLog()
{
    auto model = newModel();
    const QString id = QStringLiteral("sip:confctl-g-abc@d");
    Conversation *k = conversation(id);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    emitJoined(id);
    const qint64 after = QDateTime::currentMSecsSinceEpoch();

    RecentConversation *entry = model->trackedEntry(k);
    QVERIFY(entry);
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(entry->getRealmID(), kBuiltIn);
    QCOMPARE(entry->getConversationID(), id);
    QCOMPARE(entry->getJoinedAt(), entry->getLeftAt());
    QVERIFY(entry->isLogOpen());

    const QList<QVariantList> rows = query(
        QStringLiteral("SELECT realmID, conversationID, joinedAtMsecsFromEpoch, leftAtMsecsFromEpoch, logfilename "
                       "FROM RecentConversations"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().at(0).toString(), kBuiltIn);
    QCOMPARE(rows.first().at(1).toString(), id);
    QCOMPARE(rows.first().at(2).toLongLong(), entry->getJoinedAt().toMSecsSinceEpoch());
    QCOMPARE(rows.first().at(3).toLongLong(), rows.first().at(2).toLongLong());

    const QString filename = rows.first().at(4).toString();
    const QString folder = m_logDir + QStringLiteral("/__Tavri/Me_Myself/sip_confctl-g-abc_d/");
    QVERIFY2(filename.startsWith(folder), qPrintable(filename));
    const qint64 created = filename.mid(folder.size()).chopped(4).toLongLong();
    QVERIFY(created >= before && created <= after);
    QVERIFY(filename.endsWith(QStringLiteral(".txt")));
    QVERIFY(QFileInfo(filename).isFile());
    QCOMPARE(QFileInfo(filename).size(), qint64(0));

    // A second join of the same conversation is ignored.
    emitJoined(id);
    QCOMPARE(model->trackedEntry(k), entry);
    QCOMPARE(query(QStringLiteral("SELECT ID FROM RecentConversations")).size(), 1);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 1);

    // An empty id or a conversation that is not tracked changes nothing.
    emitJoined(QString());
    emitDisconnected(QStringLiteral("sip:confctl-g-other@d"));
    QCOMPARE(model->rowCount(), 0);
}

void TestRecentConversations::logsStayInsideTheFolder_data()
{
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("conversationID");
    QTest::addColumn<QString>("userFolder");
    QTest::addColumn<QString>("conversationFolder");

    QTest::newRow("parent folders") << "../../.."
                                    << "sip:u-../../x@d"
                                    << "________"
                                    << "sip_u-______x_d";
    QTest::newRow("backslashes") << "..\\..\\x"
                                 << "sip:confctl-g-\\..\\y@d"
                                 << "______x"
                                 << "sip_confctl-g-____y_d";
    QTest::newRow("case kept") << "MeMe"
                               << "sip:u-AbC@d"
                               << "MeMe"
                               << "sip_u-AbC_d";
    QTest::newRow("empty user name") << ""
                                     << "sip:u-e@d"
                                     << "_"
                                     << "sip_u-e_d";
}

void TestRecentConversations::logsStayInsideTheFolder()
{
    QFETCH(QString, userName);
    QFETCH(QString, conversationID);
    QFETCH(QString, userFolder);
    QFETCH(QString, conversationFolder);

    LocalUser::getLocalUser()->tavriidentity()->setUname(userName);
    auto model = newModel();
    conversation(conversationID);
    emitJoined(conversationID);

    const QString filename = onlyLogFilename();
    const QString folder =
        m_logDir + QStringLiteral("/__Tavri/") + userFolder + QLatin1Char('/') + conversationFolder + QLatin1Char('/');
    QVERIFY2(filename.startsWith(folder), qPrintable(filename));
    QVERIFY(!filename.mid(folder.size()).contains(QLatin1Char('/')));
    QVERIFY(QFileInfo(filename).isFile());
}

void TestRecentConversations::sameMillisecondGetsCounter()
{
    auto model = newModel();
    const QString id = QStringLiteral("sip:u-twice@d");
    conversation(id);
    // The names of a coming second are already taken, as if a stay had been
    // started in each of its milliseconds. The second starts late enough for
    // the names to be taken before it begins, however slow the machine; the
    // stay then starts at its beginning.
    const QString folder = m_logDir + QStringLiteral("/__Tavri/Me_Myself/sip_u-twice_d/");
    QVERIFY(QDir().mkpath(folder));
    for (qint64 lead = 1000;; lead *= 2) {
        QVERIFY(lead <= 64000);
        const qint64 start = QDateTime::currentMSecsSinceEpoch() + lead;
        for (qint64 ms = start; ms < start + 1000; ++ms)
            QVERIFY(QFile(folder + QString::number(ms) + QStringLiteral(".txt")).open(QIODevice::WriteOnly));
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (now < start) {
            QTest::qSleep(int(start - now));
            break;
        }
    }
    emitJoined(id);
    const QString filename = onlyLogFilename();
    QVERIFY2(filename.endsWith(QStringLiteral(".txt0")), qPrintable(filename));
    QVERIFY(QFileInfo(filename).isFile());

    // Listed with the epoch, since the name no longer ends in ".txt".
    emit TavriIdentityRealm::getInstance()->getConversation(id)->getChatMessages()->messageAdded(QStringLiteral("Ann"),
                                                                                                 QStringLiteral("hi"));
    emitDisconnected(id);
    const QList<RecentConversations::ChatLogFile> files = model->getChatLogFiles(nullptr);
    QCOMPARE(files.size(), 1);
    QCOMPARE(files.first().filename, filename);
    QCOMPARE(files.first().timestamp, QDateTime::fromMSecsSinceEpoch(0));
}

void TestRecentConversations::noChatLogFolder()
{
    auto model = newModel();
    model->setChatLogDirectory(QString());
    const QString id = QStringLiteral("sip:u-nolog@d");
    Conversation *k = conversation(id);
    emitJoined(id);

    QVERIFY(model->trackedEntry(k));
    QVERIFY(!model->trackedEntry(k)->isLogOpen());
    QCOMPARE(onlyLogFilename(), QString());
    QVERIFY(QDir(m_logDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("file not open")));
    emit k->getChatMessages()->messageAdded(QStringLiteral("Ann"), QStringLiteral("hi"));
    emitDisconnected(id);
    QCOMPARE(model->rowCount(), 1);
    QVERIFY(model->getChatLogFiles(nullptr).isEmpty());
}

void TestRecentConversations::chatLinesAreLogged()
{
    auto model = newModel();
    const QString id = QStringLiteral("sip:confctl-g-chat@d");
    Conversation *k = conversation(id);
    emitJoined(id);
    const QString filename = onlyLogFilename();

    emit k->getChatMessages()->messageAdded(QStringLiteral("Ann"), QStringLiteral("hi"));
    // Flushed at once: readable while the file is still open.
    QByteArray contents = fileContents(filename);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d: Ann>>> hi\r\n$"))
                 .match(QString::fromUtf8(contents))
                 .hasMatch(),
             contents.constData());

    emit k->getChatMessages()->messageAdded(QStringLiteral("Zoë"), QStringLiteral("one\r\ntwo"));
    contents = fileContents(filename);
    QVERIFY(!contents.startsWith("\xef\xbb\xbf"));
    QVERIFY(contents.endsWith(": Zo\xc3\xab>>> one\r\n    two\r\n"));

    // A notice is rich text; its log line is what it says.
    k->getChatMessages()->addSystemMessage(QStringLiteral("Tom &amp; Jerry <b>joined</b>"));
    contents = fileContents(filename);
    QVERIFY2(contents.endsWith(">>> Tom & Jerry joined\r\n"), contents.constData());

    // Once the stay has ended the file is closed and nothing more reaches it.
    emitDisconnected(id);
    QVERIFY(!model->at(0)->isLogOpen());
    emit k->getChatMessages()->messageAdded(QStringLiteral("Ann"), QStringLiteral("late"));
    QCOMPARE(fileContents(filename), contents);
}

void TestRecentConversations::loggingSwitchedOff()
{
    StorageManager::getInstance()->setSettingsValue(kLogSetting, false, QString());
    auto model = newModel();
    const QString id = QStringLiteral("sip:confctl-g-quiet@d");
    Conversation *k = conversation(id);
    emitJoined(id);
    const QString filename = onlyLogFilename();
    QVERIFY(QFileInfo(filename).isFile());

    emit k->getChatMessages()->messageAdded(QStringLiteral("Ann"), QStringLiteral("hi"));
    QCOMPARE(QFileInfo(filename).size(), qint64(0));

    // The empty log goes with its entry; the record stays.
    emitDisconnected(id);
    QCOMPARE(model->rowCount(), 1);
    model->clear();
    QCOMPARE(model->rowCount(), 0);
    deleteLaterNow();
    QVERIFY(!QFileInfo::exists(filename));
    QCOMPARE(query(QStringLiteral("SELECT ID FROM RecentConversations")).size(), 1);
}

void TestRecentConversations::heartbeatAndEndOfStay()
{
    auto model = newModel();
    const QString id = QStringLiteral("sip:confctl-g-beat@d");
    const QString other = QStringLiteral("sip:confctl-g-short@d");
    Conversation *k = conversation(id);
    conversation(other);
    emitJoined(id);
    emitJoined(other);

    QList<QAbstractEventDispatcher::TimerInfo> timers =
        QAbstractEventDispatcher::instance()->registeredTimers(model.get());
    QCOMPARE(timers.size(), 2);
    for (const QAbstractEventDispatcher::TimerInfo &timer : timers) {
        QCOMPARE(timer.interval, 60000);
        // Qt makes a coarse timer of this length very coarse itself.
        QVERIFY(timer.timerType != Qt::PreciseTimer);
    }

    RecentConversation *entry = model->trackedEntry(k);
    const QDateTime joinedAt = entry->getJoinedAt();
    QSignalSpy leftAtSpy(entry, &RecentConversation::leftAtChanged);
    // The heartbeat must come in a later millisecond than the join.
    QTRY_VERIFY(QDateTime::currentDateTime() > joinedAt);
    // Find which timer is this conversation's by firing them one by one.
    for (const QAbstractEventDispatcher::TimerInfo &timer : timers) {
        QTimerEvent event(timer.timerId);
        QCoreApplication::sendEvent(model.get(), &event);
        if (!leftAtSpy.isEmpty())
            break;
    }
    QCOMPARE(leftAtSpy.size(), 1);
    QVERIFY(entry->getLeftAt() > joinedAt);
    QCOMPARE(leftAtSpy.first().first().toDateTime(), entry->getLeftAt());
    QCOMPARE(query(QStringLiteral("SELECT leftAtMsecsFromEpoch FROM RecentConversations WHERE conversationID = '") + id
                   + QLatin1Char('\''))
                 .first()
                 .first()
                 .toLongLong(),
             entry->getLeftAt().toMSecsSinceEpoch());

    // Ending keeps the last heartbeat's time and makes the entry row 0.
    const QDateTime lastBeat = entry->getLeftAt();
    emitDisconnected(id);
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->at(0), entry);
    QCOMPARE(entry->getLeftAt(), lastBeat);
    QCOMPARE(QAbstractEventDispatcher::instance()->registeredTimers(model.get()).size(), 1);

    // The short stay never had a heartbeat: leftAt stays joinedAt. Ending it
    // by destroying the conversation puts it above the first.
    Conversation *shortStay = TavriIdentityRealm::getInstance()->getConversation(other);
    RecentConversation *shortEntry = model->trackedEntry(shortStay);
    delete shortStay;
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->at(0), shortEntry);
    QCOMPARE(shortEntry->getLeftAt(), shortEntry->getJoinedAt());
    QVERIFY(QAbstractEventDispatcher::instance()->registeredTimers(model.get()).isEmpty());
}

void TestRecentConversations::participantsOncePerUidWithoutLocalUser()
{
    auto model = newModel();
    const QString id = QStringLiteral("sip:confctl-g-people@d");
    Conversation *k = conversation(id);
    IdentityRealmManager *manager = IdentityRealmManager::getInstance();
    Tavri::IdentityRealmInterface *realm = TavriIdentityRealm::getInstance();

    // Before the join nothing is recorded.
    emit manager->conversationParticipantAdded(realm, id, QStringLiteral("sip:u-early@d"));
    emitJoined(id);
    RecentConversation *entry = model->trackedEntry(k);
    QSignalSpy changed(entry, &RecentConversation::participantUUIDsChanged);

    emit manager->conversationParticipantAdded(realm, id, QStringLiteral("sip:u-me@d"));
    emit manager->conversationParticipantAdded(realm, id, QStringLiteral("sip:u-ann@d"));
    emit manager->conversationParticipantAdded(realm, id, QStringLiteral("sip:u-ann@d"));
    emit manager->conversationParticipantAdded(realm, id, QStringLiteral("sip:u-ANN@d"));

    const QStringList expected{QStringLiteral("sip:u-ann@d"), QStringLiteral("sip:u-ANN@d")};
    QCOMPARE(entry->getParticipantUUIDs(), expected);
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.last().first().toStringList(), expected);
    QCOMPARE(entry->getParticipants()->getIdentityList().size(), 2);
    QCOMPARE(query(QStringLiteral("SELECT participantUUID FROM RecentConversationParticipants")).size(), 2);
}

void TestRecentConversations::swappingMovesTracking()
{
    auto model = newModel();
    const QString id = QStringLiteral("sip:confctl-g-swap@d");
    Conversation *oldReference = conversation(id);
    emitJoined(id);
    RecentConversation *entry = model->trackedEntry(oldReference);
    const QString filename = onlyLogFilename();
    const int timerId = QAbstractEventDispatcher::instance()->registeredTimers(model.get()).first().timerId;

    auto *newReference = new Conversation(QStringLiteral("Swapped"), id, QString());
    m_conversations.append(newReference);
    oldReference->emitSwapping(newReference);
    QVERIFY(!model->trackedEntry(oldReference));
    QCOMPARE(model->trackedEntry(newReference), entry);
    QCOMPARE(QAbstractEventDispatcher::instance()->registeredTimers(model.get()).first().timerId, timerId);

    emit oldReference->getChatMessages()->messageAdded(QStringLiteral("Old"), QStringLiteral("gone"));
    emit newReference->getChatMessages()->messageAdded(QStringLiteral("New"), QStringLiteral("here"));
    const QByteArray contents = fileContents(filename);
    QVERIFY(contents.contains("New>>> here"));
    QVERIFY(!contents.contains("Old>>> gone"));

    // The old object's end no longer touches the stay; the new one's does.
    delete oldReference;
    QCOMPARE(model->rowCount(), 0);
    delete newReference;
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->at(0), entry);
}

void TestRecentConversations::titleAndIdChanges()
{
    auto model = newModel();
    const QString id = QStringLiteral("sip:confctl-55@d");
    Conversation *k = conversation(id);
    emitJoined(id);
    RecentConversation *entry = model->trackedEntry(k);
    QSignalSpy names(entry, &RecentConversation::displayNameChanged);

    k->setDisplayName(QStringLiteral("Team"), true);
    QCOMPARE(entry->getDisplayName(), k->getDisplayName());
    QCOMPARE(names.size(), 1);
    QCOMPARE(query(QStringLiteral("SELECT displayName FROM RecentConversations")).first().first().toString(),
             k->getDisplayName());

    // A new id refreshes the title from the conversation; the stored keys stay.
    emit k->conversationIdChanged(QStringLiteral("sip:confctl-77@d"));
    QCOMPARE(entry->getConversationID(), id);
    QCOMPARE(entry->getDisplayName(), k->getDisplayName());
    QCOMPARE(names.size(), 2);
    const QList<QVariantList> rows =
        query(QStringLiteral("SELECT conversationID, displayName FROM RecentConversations"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().at(0).toString(), id);
    QCOMPARE(rows.first().at(1).toString(), k->getDisplayName());
}

void TestRecentConversations::refreshRefusedWhileTracking()
{
    auto model = newModel();
    StorageManager *storage = StorageManager::getInstance();
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(1000000);
    storage->insertRecentConversationRecord(kBuiltIn, QStringLiteral("sip:u-a@d"), QStringLiteral("A"), QString(), t, t,
                                            QString());
    storage->insertRecentConversationParticipantRecord(kBuiltIn, QStringLiteral("sip:u-a@d"), t,
                                                       QStringLiteral("sip:u-a@d"));
    const QString id = QStringLiteral("sip:confctl-g-busy@d");
    conversation(id);
    emitJoined(id);

    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression(QStringLiteral("Assertion Failure - 'm_currentlyActiveConversations")));
    model->refresh();
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(model->trackedEntry(TavriIdentityRealm::getInstance()->getConversation(id)));
}

void TestRecentConversations::refreshRestoresNewestFirst()
{
    StorageManager *storage = StorageManager::getInstance();
    auto at = [](qint64 minutes) { return QDateTime::fromMSecsSinceEpoch(1400000000000 + minutes * 60000); };
    struct Stay {
        QString id;
        qint64 joined;
        qint64 left;
        QStringList participants;
    };
    const QList<Stay> stays{
        {QStringLiteral("sip:u-old@d"), 0, 5, {QStringLiteral("sip:u-old@d")}},
        {QStringLiteral("sip:confctl-g-new@d"), 10, 30, {QStringLiteral("sip:u-b@d"), QStringLiteral("sip:u-c@d")}},
        {QStringLiteral("sip:confctl-g-alone@d"), 20, 40, {}},
        {QStringLiteral("sip:confctl-1@d"), 12, 20, {QStringLiteral("sip:u-d@d")}},
    };
    for (const Stay &stay : stays) {
        storage->insertRecentConversationRecord(kBuiltIn, stay.id, stay.id.toUpper(), QString(), at(stay.joined),
                                                at(stay.left), m_logDir + QStringLiteral("/gone.txt"));
        for (const QString &participant : stay.participants)
            storage->insertRecentConversationParticipantRecord(kBuiltIn, stay.id, at(stay.joined), participant);
    }

    auto model = newModel();
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    model->refresh();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(model->at(0)->getConversationID(), QStringLiteral("sip:confctl-g-new@d"));
    QCOMPARE(model->at(1)->getConversationID(), QStringLiteral("sip:confctl-1@d"));
    QCOMPARE(model->at(2)->getConversationID(), QStringLiteral("sip:u-old@d"));
    QCOMPARE(model->at(0)->getParticipantUUIDs().size(), 2);
    QCOMPARE(model->at(0)->getParticipants()->getIdentityList().size(), 2);
    QCOMPARE(model->at(0)->getJoinedAt(), at(10));
    QCOMPARE(model->at(0)->getLeftAt(), at(30));
    QCOMPARE(model->at(0)->getDisplayName(), QStringLiteral("SIP:CONFCTL-G-NEW@D"));
    // A stored log that is gone reads empty and closed.
    QVERIFY(!model->at(0)->isLogOpen());
    QCOMPARE(model->at(0)->getLogFilename(), QString());

    // A second refresh replaces the rows rather than adding to them.
    model->refresh();
    QCOMPARE(model->rowCount(), 3);

    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Assertion Failure - 'index < ")));
    QVERIFY(!model->at(3));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Assertion Failure - 'index >= 0'")));
    QVERIFY(!model->at(-1));
}

void TestRecentConversations::roles_data()
{
    QTest::addColumn<QString>("realmID");
    QTest::addColumn<QString>("conversationID");
    QTest::addColumn<bool>("canRejoin");
    QTest::addColumn<bool>("isPersonalChat");

    QTest::newRow("private chat") << kBuiltIn << "sip:u-pal@d" << true << true;
    QTest::newRow("permanent channel") << kBuiltIn << "sip:confctl-42@d" << true << false;
    QTest::newRow("ad-hoc group") << kBuiltIn << "sip:confctl-g-9@d" << false << false;
    QTest::newRow("prefix case differs") << kBuiltIn << "SIP:U-pal@d" << false << false;
    QTest::newRow("other realm") << "game"
                                 << "sip:confctl-g-9@d" << true << false;
}

void TestRecentConversations::roles()
{
    QFETCH(QString, realmID);
    QFETCH(QString, conversationID);
    QFETCH(bool, canRejoin);
    QFETCH(bool, isPersonalChat);

    StorageManager *storage = StorageManager::getInstance();
    const QDateTime joined = QDateTime::fromMSecsSinceEpoch(1400000000000);
    const QDateTime left = joined.addSecs(90);
    storage->insertRecentConversationRecord(realmID, conversationID, QStringLiteral("Name"), QStringLiteral("img.png"),
                                            joined, left, QString());
    storage->insertRecentConversationParticipantRecord(realmID, conversationID, joined, QStringLiteral("sip:u-z@d"));
    auto model = newModel();
    model->refresh();
    QCOMPARE(model->rowCount(), 1);

    const QModelIndex index = model->index(0);
    auto role = [&](const char *name) { return index.data(model->roleNames().key(name)); };
    QCOMPARE(model->roleNames().key("displayName"), 1656);
    QCOMPARE(model->roleNames().key("conversationRef"), 1666);
    QCOMPARE(index.data(Qt::DisplayRole).toString(), QStringLiteral("Name"));
    QCOMPARE(role("displayName").toString(), QStringLiteral("Name"));
    QCOMPARE(role("profileImageURI").toString(), QStringLiteral("img.png"));
    QCOMPARE(role("realmID").toString(), realmID);
    QCOMPARE(role("conversationUUID").toString(), conversationID);
    QCOMPARE(role("canRejoin").toBool(), canRejoin);
    QCOMPARE(role("isPersonalChat").toBool(), isPersonalChat);
    QCOMPARE(role("joinedAt").toDateTime(), joined);
    QCOMPARE(role("leftAt").toDateTime(), left);
    QCOMPARE(role("participants").value<QObject *>(), static_cast<QObject *>(model->at(0)->getParticipants()));
    QCOMPARE(role("logfile").toString(), QString());
    auto *ref = qobject_cast<Conversation *>(role("conversationRef").value<QObject *>());
    // An id that is no channel or user URI has no conversation.
    if (conversationID.startsWith(QLatin1String("SIP:"))) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a channel or user URI"));
        QVERIFY(!TavriIdentityRealm::getInstance()->getConversation(conversationID));
        QVERIFY(!ref);
    } else {
        QVERIFY(ref);
        QCOMPARE(ref, TavriIdentityRealm::getInstance()->getConversation(conversationID));
        m_conversations.append(ref);
    }
    QVERIFY(!index.data(Qt::UserRole).isValid());

    // QML can call the invokables only with types it knows.
    const QMetaObject *meta = model->metaObject();
    QVERIFY(QMetaType::isRegistered(meta->method(meta->indexOfMethod("at(int)")).returnType()));
    QVERIFY(QMetaType::isRegistered(
        meta->method(meta->indexOfMethod("getChatLogFileList(Conversation*)")).parameterType(0)));
}

void TestRecentConversations::removeEntryKeepsWrittenLog()
{
    auto model = newModel();
    QStringList files;
    for (const QString &id :
         {QStringLiteral("sip:u-r1@d"), QStringLiteral("sip:u-r2@d"), QStringLiteral("sip:u-r3@d")}) {
        Conversation *k = conversation(id);
        emitJoined(id);
        files.append(model->trackedEntry(k)->getLogFilename());
        if (id != QStringLiteral("sip:u-r2@d"))
            emit k->getChatMessages()->messageAdded(QStringLiteral("Ann"), QStringLiteral("hi"));
        emitDisconnected(id);
    }
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->at(0)->getConversationID(), QStringLiteral("sip:u-r3@d"));

    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Assertion Failure - 'index >= 0 &&")));
    model->removeEntry(3);
    QCOMPARE(model->rowCount(), 3);

    model->removeEntry(0);
    deleteLaterNow();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(query(QStringLiteral("SELECT conversationID FROM RecentConversations")).size(), 2);
    QVERIFY(QFileInfo::exists(files.at(2)));

    model->removeAll();
    deleteLaterNow();
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(query(QStringLiteral("SELECT ID FROM RecentConversations")).isEmpty());
    QVERIFY(QFileInfo::exists(files.at(0)));
    QVERIFY(!QFileInfo::exists(files.at(1))); // never written to
}

void TestRecentConversations::chatLogLists()
{
    auto model = newModel();
    const QString x = QStringLiteral("sip:confctl-5@d");
    const QString y = QStringLiteral("sip:u-y@d");
    QStringList written;
    for (const QString &id : {x, y, x, x}) {
        Conversation *k = conversation(id);
        emitJoined(id);
        written.prepend(model->trackedEntry(k)->getLogFilename());
        emit k->getChatMessages()->messageAdded(QStringLiteral("Ann"), QStringLiteral("hi"));
        emitDisconnected(id);
        // Each stay's log is named after the millisecond it starts in.
        const qint64 endedAt = QDateTime::currentMSecsSinceEpoch();
        QTRY_VERIFY(QDateTime::currentMSecsSinceEpoch() > endedAt);
    }
    // The running stay is not listed.
    Conversation *running = conversation(x);
    emitJoined(x);
    emit running->getChatMessages()->messageAdded(QStringLiteral("Ann"), QStringLiteral("now"));
    // A log removed from disk is left out.
    QVERIFY(QFile::remove(written.at(1)));

    const QVariantList forX = model->getChatLogFileList(running);
    QCOMPARE(forX.size(), 2);
    QCOMPARE(forX.at(0).toMap().value(QStringLiteral("filename")).toString(), written.at(0));
    QCOMPARE(forX.at(1).toMap().value(QStringLiteral("filename")).toString(), written.at(3));
    QCOMPARE(forX.at(0).toMap().value(QStringLiteral("timestamp")).toDateTime(),
             RecentConversation::logFileTimestamp(written.at(0)));
    QVERIFY(forX.at(0).toMap().value(QStringLiteral("timestamp")).toDateTime()
            > forX.at(1).toMap().value(QStringLiteral("timestamp")).toDateTime());

    const QVariantList all = model->getChatLogFileList();
    QCOMPARE(all.size(), 3);
    QCOMPARE(all.at(1).toMap().value(QStringLiteral("filename")).toString(), written.at(2));
}

void TestRecentConversations::conversationListsItsLogs()
{
    // The local user's list when it keeps one, else a list put in its place.
    LocalUser *localUser = LocalUser::getLocalUser();
    auto *store = qobject_cast<RecentConversations *>(localUser->property("recentConversations").value<QObject *>());
    std::unique_ptr<RecentConversations> stand;
    if (!store) {
        stand = newModel();
        QObject::disconnect(IdentityRealmManager::getInstance(), nullptr, stand.get(), nullptr);
        localUser->setProperty("recentConversations", QVariant::fromValue<QObject *>(stand.get()));
        store = stand.get();
    }
    store->setChatLogDirectory(m_logDir);

    Tavri::IdentityRealmInterface *realm = TavriIdentityRealm::getInstance();
    const QString id = QStringLiteral("sip:u-logged@d");
    const QString other = QStringLiteral("sip:u-other@d");
    Conversation *k = conversation(id);
    QVERIFY(k->getChatLogFileList().isEmpty());
    for (const QString &conversationID : {id, other, id}) {
        store->onConversationJoined(realm, conversationID);
        emit conversation(conversationID)->getChatMessages()->messageAdded(QStringLiteral("Ann"), QStringLiteral("hi"));
        store->onConversationDisconnected(
            realm, conversationID, Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode(0), QString());
    }
    const QVariantList logs = k->getChatLogFileList();
    QCOMPARE(logs.size(), 2);
    QCOMPARE(logs, store->getChatLogFileList(k));
}

TAVRI_TEST_MAIN(TestRecentConversations)
#include "tst_recentconversations.moc"
