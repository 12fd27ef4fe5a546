// The notification inbox against the built-in realm, the local database in
// the test's own data folder and the fake web service.

#include "contactlist.h"
#include "conversation.h"
#include "fakewebservice.h"
#include "inputhook.h"
#include "localuser.h"
#include "notification.h"
#include "notificationlist.h"
#include "ostrelsdk_control.h"
#include "realmidentitylist.h"
#include "scriptedinputhook.h"
#include "signedinuser.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"
#include "voicemanager.h"

#include <QAbstractItemModelTester>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest/QtTest>

namespace {

const QString kOwnURI = QStringLiteral("sip:u-me@voice.test");

QDateTime at(int seconds)
{
    return QDateTime::fromMSecsSinceEpoch(1400000000000LL + seconds * 1000LL);
}

// One stored record, as the database gives it back.
struct StoredRecord {
    QString uid;
    int type = 0;
    int state = 0;
};

QList<StoredRecord> storedRecords()
{
    QStringList uids, senders, names, messages, actions, channels, channelNames, emails;
    QList<QDateTime> times;
    QList<int> types, states;
    StorageManager::getInstance()->getNotificationRecords(uids, senders, names, times, types, messages, actions,
                                                          channels, channelNames, states, emails);
    QList<StoredRecord> records;
    for (int i = 0; i < uids.size(); ++i)
        records.append({uids.at(i), types.at(i), states.at(i)});
    return records;
}

int storedState(const QString &uid)
{
    for (const StoredRecord &record : storedRecords()) {
        if (record.uid == uid)
            return record.state;
    }
    return 0;
}

// Whether a request for method with field = value has arrived; requests of
// earlier steps may still be arriving, so the newest is not the one asked for.
bool hasRequest(FakeWebService *web, const QString &method, const QString &field, const QString &value)
{
    for (const FakeWebService::Request &request : web->requestsFor(method)) {
        if (request.value(field) == value)
            return true;
    }
    return false;
}

QVector<int> rolesOf(const QSignalSpy &spy, int index)
{
    return spy.at(index).at(2).value<QVector<int>>();
}

} // namespace

class TestNotifications : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void typeAndStateTexts_data();
    void typeAndStateTexts();
    void sentences_data();
    void sentences();
    void unknownChannelIsCreatedAndAskedFor();
    void newestFirst();
    void ownActionsAreDeletedAtTheService();
    void knownUidChangesState();
    void lastNotificationUID();
    void markAllAsRead();
    void setAllNotificationsState();
    void senderRenameRefreshesRows();
    void senderNamedLaterIsShownWhenKnown();
    void swappedConversationIsFollowed();
    void destroyedConversationIsReplaced();
    void removalStopsFollowing();
    void clearLetsGo();
    void storedRecordsReload();
    void requestMarkNotification();
    void storedAccessChangesApplyToMembers();
    void moderatorChangesRefreshTheModerators_data();
    void moderatorChangesRefreshTheModerators();
    void withoutIdentityNothingIsListed();

private:
    // A record from the web service, with the fields a test varies.
    void receive(const QString &uid, const QString &type, const QString &state = QStringLiteral("1"),
                 const QString &from = QString(), const QString &channelUID = QString(),
                 const QDateTime &sentAt = at(0), const QString &customMessage = QString(),
                 const QString &email = QString());
    TavriIdentityRealmUser *user(const QString &uid, const QString &name);

    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    NotificationList *m_list = nullptr;
};

void TestNotifications::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    qRegisterMetaType<Conversation *>();
    // The idle detection of a full sign-in reads a scripted input hook.
    host::InputHook::setFactory([] { return std::unique_ptr<host::InputHook>(new host::ScriptedInputHook); });
    StorageManager::getInstance()->setVoiceDomain(QStringLiteral("voice.test"));
    m_web = new FakeWebService(this);
    m_web->setSignInDefaults();
    // The realm's lookups of users and channels find no record.
    for (const char *method : {"getUserBySocialUID", "GetChannelInfo", "UpdateNotifications", "AcceptInvitation"})
        m_web->setDefault(QLatin1String(method), QJsonObject{{"status", "OK"}});
    m_web->setLookupDefaults();
    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    m_social->onDoNotLogChanged(true);
    LocalUser *local = LocalUser::getLocalUser();
    m_list = local->getNotificationList();
    QVERIFY(m_list);
    new QAbstractItemModelTester(m_list, QAbstractItemModelTester::FailureReportingMode::QtTest, this);
    QVERIFY(signedin::ownIdentity(kOwnURI));
}

void TestNotifications::init()
{
    m_list->clear();
    for (const StoredRecord &record : storedRecords())
        StorageManager::getInstance()->deleteNotificationRecord(record.uid);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_web->clear();
    m_web->setSignInDefaults();
    for (const char *method : {"getUserBySocialUID", "GetChannelInfo", "UpdateNotifications", "AcceptInvitation"})
        m_web->setDefault(QLatin1String(method), QJsonObject{{"status", "OK"}});
    m_web->setLookupDefaults();
}

void TestNotifications::receive(const QString &uid, const QString &type, const QString &state, const QString &from,
                                const QString &channelUID, const QDateTime &sentAt, const QString &customMessage,
                                const QString &email)
{
    m_list->onNotificationReceived(uid, from, QStringLiteral("web name"), channelUID, QStringLiteral("web channel"),
                                   type, state, sentAt, customMessage, QStringLiteral("action"), email);
}

TavriIdentityRealmUser *TestNotifications::user(const QString &uid, const QString &name)
{
    auto *realmUser =
        qobject_cast<TavriIdentityRealmUser *>(TavriIdentityRealm::getInstance()->getRealmUser(uid)->getQObject());
    realmUser->setUname(name);
    return realmUser;
}

void TestNotifications::typeAndStateTexts_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<int>("unread");

    QTest::newRow("type 16") << "16"
                             << "1" << false << 0;
    QTest::newRow("type -1") << "-1"
                             << "1" << false << 0;
    QTest::newRow("empty type") << ""
                                << "1" << false << 0;
    QTest::newRow("type 0") << "0"
                            << "1" << false << 0;
    QTest::newRow("type not a number") << "2x"
                                       << "1" << false << 0;
    QTest::newRow("state 4") << "2"
                             << "4" << false << 0;
    QTest::newRow("empty state") << "2"
                                 << "" << false << 0;
    QTest::newRow("state 0") << "2"
                             << "0" << false << 0;
    QTest::newRow("new uid, DeleteRequested") << "2"
                                              << "3" << false << 0;
    QTest::newRow("declined, read") << "7"
                                    << "2" << true << 0;
    QTest::newRow("system, unread") << "14"
                                    << "1" << true << 1;
    QTest::newRow("older stored words") << "friended"
                                        << "new" << true << 1;
}

void TestNotifications::typeAndStateTexts()
{
    QFETCH(QString, type);
    QFETCH(QString, state);
    QFETCH(bool, listed);
    QFETCH(int, unread);
    QSignalSpy unreadSpy(m_list, &NotificationList::unreadCountChanged);
    QSignalSpy countSpy(m_list, &NotificationList::notificationCountChanged);
    QSignalSpy addedSpy(m_list, &NotificationList::notificationAdded);

    receive(QStringLiteral("700"), type, state, QString(), QString(), at(0), QStringLiteral("Declined, sorry"));

    QCOMPARE(m_list->rowCount(), listed ? 1 : 0);
    QCOMPARE(countSpy.size(), listed ? 1 : 0);
    QCOMPARE(addedSpy.size(), listed ? 1 : 0);
    QCOMPARE(m_list->getUnreadNotificationCount(), unread);
    QCOMPARE(unreadSpy.size(), unread);
    QCOMPARE(storedRecords().size(), listed ? 1 : 0);
    QVERIFY(!hasRequest(m_web, QStringLiteral("UpdateNotifications"), QStringLiteral("NotificationUIDs"),
                        QStringLiteral("700")));
    if (listed && type == QLatin1String("7"))
        QCOMPARE(m_list->data(m_list->index(0), Qt::DisplayRole).toString(), QStringLiteral("Declined, sorry"));
}

void TestNotifications::sentences_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("channelUID");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("customMessage");
    QTest::addColumn<QString>("sentence");

    QTest::newRow("friended") << "2"
                              << "501"
                              << ""
                              << ""
                              << ""
                              << "Ann added you as a friend";
    QTest::newRow("unfriended, no sender, e-mail") << "3"
                                                   << ""
                                                   << ""
                                                   << "ann@example.test"
                                                   << ""
                                                   << "ann@example.test removed you as a friend";
    QTest::newRow("unfriended, no sender, no e-mail") << "3"
                                                      << ""
                                                      << ""
                                                      << ""
                                                      << ""
                                                      << "Someone removed you as a friend";
    QTest::newRow("own id") << "8" << kOwnURI << ""
                            << ""
                            << ""
                            << "You has made you a moderator for a conversation";
    QTest::newRow("invite") << "5"
                            << "501"
                            << "901"
                            << ""
                            << ""
                            << "Ann invited you to Lobby";
    QTest::newRow("share reads like invite") << "12"
                                             << "501"
                                             << "901"
                                             << ""
                                             << ""
                                             << "Ann invited you to Lobby";
    QTest::newRow("invite by you") << "4"
                                   << "501"
                                   << "901"
                                   << ""
                                   << ""
                                   << "You invited Ann to Lobby";
    QTest::newRow("demoted") << "9"
                             << "501"
                             << "901"
                             << ""
                             << ""
                             << "Ann has removed your moderator status for Lobby";
    QTest::newRow("access granted") << "10"
                                    << "501"
                                    << "901"
                                    << ""
                                    << ""
                                    << "Ann has granted you access to Lobby";
    QTest::newRow("access revoked") << "11"
                                    << "501"
                                    << "901"
                                    << ""
                                    << ""
                                    << "Ann has revoked your access to Lobby";
    QTest::newRow("sign-up by you, e-mail") << "13"
                                            << ""
                                            << ""
                                            << "bob@example.test"
                                            << ""
                                            << "You invited bob@example.test to join Tavri";
    QTest::newRow("sign-up by you, nobody") << "13"
                                            << ""
                                            << ""
                                            << ""
                                            << ""
                                            << "You invited Someone to join Tavri";
    // The service's own texts are handed on as they are, markup and all: the
    // pane shows the sentence as plain text.
    QTest::newRow("partner text kept as it is") << "15"
                                                << ""
                                                << ""
                                                << ""
                                                << "<b>50% off</b> %1 %2"
                                                << "<b>50% off</b> %1 %2";
    QTest::newRow("signed up") << "1"
                               << "501"
                               << ""
                               << ""
                               << "Welcome"
                               << "Welcome";
    QTest::newRow("long text") << "14"
                               << ""
                               << ""
                               << "" << QString(5000, QLatin1Char('x')) << QString(5000, QLatin1Char('x'));
}

void TestNotifications::sentences()
{
    QFETCH(QString, type);
    QFETCH(QString, from);
    QFETCH(QString, channelUID);
    QFETCH(QString, email);
    QFETCH(QString, customMessage);
    QFETCH(QString, sentence);
    user(QStringLiteral("501"), QStringLiteral("Ann"));
    if (!channelUID.isEmpty())
        TavriIdentityRealm::getInstance()
            ->getConversationByUID(channelUID)
            ->setDisplayName(QStringLiteral("Lobby"), true);

    receive(QStringLiteral("701"), type, QStringLiteral("1"), from, channelUID, at(0), customMessage, email);

    QCOMPARE(m_list->rowCount(), 1);
    const QModelIndex row = m_list->index(0);
    QCOMPARE(m_list->data(row, NotificationList::DefaultMessageRole).toString(), sentence);
    QCOMPARE(m_list->data(row, Qt::DisplayRole).toString(), sentence);
    QCOMPARE(m_list->data(row, NotificationList::SenderRefRole).isValid(), !from.isEmpty());
    QCOMPARE(m_list->data(row, NotificationList::ChannelRefRole).isValid(), !channelUID.isEmpty());
    QCOMPARE(m_list->data(row, NotificationList::NotificationTypeRole).toInt(), type.toInt());
    QCOMPARE(m_list->data(row, NotificationList::CustomMessageRole).toString(), customMessage);
    QVERIFY(!m_list->data(row, 868).isValid());
    if (!from.isEmpty())
        QCOMPARE(m_list->at(0)->getSenderUID(), from);
}

void TestNotifications::unknownChannelIsCreatedAndAskedFor()
{
    receive(QStringLiteral("702"), QStringLiteral("5"), QStringLiteral("1"), QString(), QStringLiteral("98765"));

    QCOMPARE(m_list->rowCount(), 1);
    auto *channel = m_list->data(m_list->index(0), NotificationList::ChannelRefRole).value<Conversation *>();
    QVERIFY(channel);
    QCOMPARE(channel->getChannelUID(), QStringLiteral("98765"));
    QCOMPARE(m_list->at(0)->getChannelUID(), QStringLiteral("98765"));
    QTRY_VERIFY(hasRequest(m_web, QStringLiteral("GetChannelInfo"), QStringLiteral("ChannelSocialUID"),
                           QStringLiteral("98765")));

    // A channel id that is not a number resolves to nothing.
    receive(QStringLiteral("703"), QStringLiteral("5"), QStringLiteral("1"), QString(), QStringLiteral("lobby"));
    QCOMPARE(m_list->rowCount(), 2);
    QVERIFY(m_list->at(0)->getChannelUID().isEmpty());
    QCOMPARE(m_list->data(m_list->index(0), Qt::DisplayRole).toString(),
             QStringLiteral("Someone invited you to a conversation"));
}

void TestNotifications::newestFirst()
{
    receive(QStringLiteral("710"), QStringLiteral("14"), QStringLiteral("1"), QString(), QString(), at(10));
    receive(QStringLiteral("711"), QStringLiteral("14"), QStringLiteral("1"), QString(), QString(), at(30));
    receive(QStringLiteral("712"), QStringLiteral("14"), QStringLiteral("1"), QString(), QString(), at(20));
    // Of equal times the later record is on top.
    receive(QStringLiteral("713"), QStringLiteral("14"), QStringLiteral("1"), QString(), QString(), at(20));
    // Older than every row: the bottom, at the row count before insertion.
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("adding new notification to listModel for view at 4 of 4$"));
    receive(QStringLiteral("714"), QStringLiteral("14"), QStringLiteral("1"), QString(), QString(), at(5));

    QCOMPARE(m_list->getNotificationUIDs(), QStringList({"711", "713", "712", "710", "714"}));
    QVERIFY(!m_list->at(-1));
    QVERIFY(!m_list->at(5));
    QCOMPARE(m_list->at(4)->getUid(), QStringLiteral("714"));
}

void TestNotifications::ownActionsAreDeletedAtTheService()
{
    QSignalSpy countSpy(m_list, &NotificationList::notificationCountChanged);
    receive(QStringLiteral("720"), QStringLiteral("10"), QStringLiteral("1"), kOwnURI, QStringLiteral("901"));

    QCOMPARE(m_list->rowCount(), 0);
    QCOMPARE(countSpy.size(), 0);
    QVERIFY(storedRecords().isEmpty());
    QTRY_VERIFY(hasRequest(m_web, QStringLiteral("UpdateNotifications"), QStringLiteral("NotificationUIDs"),
                           QStringLiteral("720")));
    QVERIFY(hasRequest(m_web, QStringLiteral("UpdateNotifications"), QStringLiteral("State"), QStringLiteral("3")));
    QCOMPARE(m_list->getLastNotificationUID(), QStringLiteral("720"));

    // A friend request from a contact is treated the same way.
    TavriIdentityRealmUser *friendUser = user(QStringLiteral("506"), QStringLiteral("Fred"));
    LocalUser::getLocalUser()->getContactList()->addContact(friendUser);
    receive(QStringLiteral("722"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("506"));
    QCOMPARE(m_list->rowCount(), 0);
    QTRY_VERIFY(hasRequest(m_web, QStringLiteral("UpdateNotifications"), QStringLiteral("NotificationUIDs"),
                           QStringLiteral("722")));
    QCOMPARE(m_list->getLastNotificationUID(), QStringLiteral("722"));

    // The same change by someone else is listed, and so is a friend request
    // from someone who is not a contact yet.
    user(QStringLiteral("501"), QStringLiteral("Ann"));
    receive(QStringLiteral("721"), QStringLiteral("11"), QStringLiteral("1"), QStringLiteral("501"),
            QStringLiteral("901"));
    receive(QStringLiteral("723"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("501"));
    QCOMPARE(m_list->rowCount(), 2);
    LocalUser::getLocalUser()->getContactList()->clear();
}

void TestNotifications::knownUidChangesState()
{
    receive(QStringLiteral("730"), QStringLiteral("14"), QStringLiteral("1"));
    receive(QStringLiteral("731"), QStringLiteral("14"), QStringLiteral("1"));
    QCOMPARE(m_list->getUnreadNotificationCount(), 2);
    Notification *first = m_list->at(0);
    QSignalSpy stateSpy(first, &Notification::stateChanged);
    QSignalSpy unreadSpy(m_list, &NotificationList::unreadCountChanged);
    QSignalSpy countSpy(m_list, &NotificationList::notificationCountChanged);

    // Unread again changes nothing; Read is applied, stored and counted.
    receive(first->getUid(), QStringLiteral("14"), QStringLiteral("1"));
    QCOMPARE(stateSpy.size(), 0);
    receive(first->getUid(), QStringLiteral("14"), QStringLiteral("2"));
    QCOMPARE(stateSpy.size(), 1);
    QCOMPARE(first->getState(), Notification::NotificationStateRead);
    QCOMPARE(storedState(first->getUid()), 2);
    QCOMPARE(unreadSpy.size(), 1);
    QCOMPARE(unreadSpy.last().at(0).toInt(), 1);
    QCOMPARE(countSpy.size(), 0);
    // Read never goes back to Unread through a record.
    receive(first->getUid(), QStringLiteral("14"), QStringLiteral("1"));
    QCOMPARE(first->getState(), Notification::NotificationStateRead);

    // DeleteRequested removes it here, from the database and at the service;
    // removing the Unread one changes the unread count.
    const QString second = m_list->at(1)->getUid();
    receive(second, QStringLiteral("14"), QStringLiteral("3"));
    QCOMPARE(m_list->getNotificationUIDs(), QStringList({first->getUid()}));
    QCOMPARE(storedState(second), 0);
    QCOMPARE(countSpy.size(), 1);
    QCOMPARE(unreadSpy.size(), 2);
    QCOMPARE(unreadSpy.last().at(0).toInt(), 0);
    QTRY_VERIFY(hasRequest(m_web, QStringLiteral("UpdateNotifications"), QStringLiteral("NotificationUIDs"), second));
}

void TestNotifications::lastNotificationUID()
{
    NotificationList list;
    QCOMPARE(list.getLastNotificationUID(), QString());
    list.onNotificationReceived(QStringLiteral("9"), {}, {}, {}, {}, QStringLiteral("14"), QStringLiteral("1"), at(0),
                                {}, {}, {});
    list.onNotificationReceived(QStringLiteral("10"), {}, {}, {}, {}, QStringLiteral("14"), QStringLiteral("1"), at(1),
                                {}, {}, {});
    list.onNotificationReceived(QStringLiteral("abc"), {}, {}, {}, {}, QStringLiteral("14"), QStringLiteral("1"), at(2),
                                {}, {}, {});
    QCOMPARE(list.getLastNotificationUID(), QStringLiteral("10"));
    // Rows leaving never lower it.
    list.removeNotifications({QStringLiteral("10"), QStringLiteral("9")}, false);
    QCOMPARE(list.getLastNotificationUID(), QStringLiteral("10"));

    NotificationList nonNumeric;
    nonNumeric.onNotificationReceived(QStringLiteral("abc"), {}, {}, {}, {}, QStringLiteral("14"), QStringLiteral("1"),
                                      at(0), {}, {}, {});
    QCOMPARE(nonNumeric.getLastNotificationUID(), QStringLiteral("abc"));
    nonNumeric.onNotificationReceived(QStringLiteral("1"), {}, {}, {}, {}, QStringLiteral("14"), QStringLiteral("1"),
                                      at(0), {}, {}, {});
    QCOMPARE(nonNumeric.getLastNotificationUID(), QStringLiteral("1"));
}

void TestNotifications::markAllAsRead()
{
    // A stored record the list does not hold shows whether the whole table
    // was updated.
    StorageManager::getInstance()->storeNotificationRecord(QStringLiteral("799"), at(0), {}, {}, {}, {}, 14, {}, {}, 1,
                                                           {});
    receive(QStringLiteral("740"), QStringLiteral("14"), QStringLiteral("2"));
    QSignalSpy unreadSpy(m_list, &NotificationList::unreadCountChanged);
    QSignalSpy stateSpy(m_list->at(0), &Notification::stateChanged);

    m_list->markAllAsRead();
    QCOMPARE(unreadSpy.size(), 0);
    QCOMPARE(stateSpy.size(), 0);
    QCOMPARE(storedState(QStringLiteral("799")), 1);

    receive(QStringLiteral("741"), QStringLiteral("14"), QStringLiteral("1"));
    receive(QStringLiteral("742"), QStringLiteral("14"), QStringLiteral("1"));
    unreadSpy.clear();
    m_list->markAllAsRead();
    QCOMPARE(unreadSpy.size(), 1);
    QCOMPARE(unreadSpy.at(0).at(0).toInt(), 0);
    QCOMPARE(m_list->getUnreadNotificationCount(), 0);
    for (const char *uid : {"741", "742", "799"})
        QCOMPARE(storedState(QLatin1String(uid)), 2);
}

void TestNotifications::setAllNotificationsState()
{
    receive(QStringLiteral("745"), QStringLiteral("14"), QStringLiteral("2"));
    receive(QStringLiteral("746"), QStringLiteral("14"), QStringLiteral("2"));
    QSignalSpy unreadSpy(m_list, &NotificationList::unreadCountChanged);

    m_list->setAllNotificationsState(Notification::NotificationStateUnread);
    QCOMPARE(unreadSpy.size(), 1);
    QCOMPARE(unreadSpy.at(0).at(0).toInt(), 2);
    QCOMPARE(storedState(QStringLiteral("745")), 1);

    // DeleteRequested rows lose their stored records but stay listed.
    m_list->setAllNotificationsState(Notification::NotificationStateDeleteRequested);
    QCOMPARE(m_list->rowCount(), 2);
    QVERIFY(storedRecords().isEmpty());
    QCOMPARE(unreadSpy.last().at(0).toInt(), 0);
}

void TestNotifications::senderRenameRefreshesRows()
{
    TavriIdentityRealmUser *ann = user(QStringLiteral("502"), QStringLiteral("Ann"));
    receive(QStringLiteral("750"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("502"));
    receive(QStringLiteral("751"), QStringLiteral("14"), QStringLiteral("1"));
    receive(QStringLiteral("752"), QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("502"), QString(), at(-10));
    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);

    ann->setUname(QStringLiteral("Annie"));
    QCOMPARE(changed.size(), 2);
    QSet<int> rows;
    for (int i = 0; i < changed.size(); ++i) {
        QCOMPARE(rolesOf(changed, i), QVector<int>({859, 863, 0}));
        rows.insert(changed.at(i).at(0).toModelIndex().row());
    }
    QCOMPARE(rows, QSet<int>({1, 2}));
    QCOMPARE(m_list->data(m_list->index(2), Qt::DisplayRole).toString(),
             QStringLiteral("Annie removed you as a friend"));

    changed.clear();
    ann->setSipURI(QStringLiteral("sip:u-annie@voice.test"));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(rolesOf(changed, 0), QVector<int>({858}));
    QCOMPARE(m_list->data(m_list->index(1), NotificationList::SenderURIRole).toString(),
             QStringLiteral("sip:u-annie@voice.test"));
}

void TestNotifications::senderNamedLaterIsShownWhenKnown()
{
    // An invitation from a sender whose name has not arrived yet: never a
    // sentence that starts with an empty name; the name shows once known.
    TavriIdentityRealmUser *carl = user(QStringLiteral("503"), QString());
    QVERIFY(carl->getDisplayName().isEmpty());
    TavriIdentityRealm::getInstance()
        ->getConversationByUID(QStringLiteral("903"))
        ->setDisplayName(QStringLiteral("Lobby"), true);
    receive(QStringLiteral("753"), QStringLiteral("5"), QStringLiteral("1"), QStringLiteral("503"),
            QStringLiteral("903"));
    QCOMPARE(m_list->rowCount(), 1);
    QCOMPARE(m_list->data(m_list->index(0), Qt::DisplayRole).toString(),
             QStringLiteral("Someone invited you to Lobby"));
    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    carl->setUname(QStringLiteral("Carl"));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(m_list->data(m_list->index(0), Qt::DisplayRole).toString(), QStringLiteral("Carl invited you to Lobby"));
}

void TestNotifications::swappedConversationIsFollowed()
{
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Conversation *old = realm->getConversationByUID(QStringLiteral("920"));
    receive(QStringLiteral("760"), QStringLiteral("5"), QStringLiteral("1"), QString(), QStringLiteral("920"));
    auto *replacement = new Conversation(QStringLiteral("Lounge"), QStringLiteral("sip:confctl-920@voice.test"),
                                         QStringLiteral("920"), realm);
    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);

    old->emitSwapping(replacement);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(rolesOf(changed, 0), QVector<int>({860, 861, 864, 863, 0}));

    // The old object is no longer followed, the new one is.
    changed.clear();
    old->setDisplayName(QStringLiteral("Old"), true);
    QCOMPARE(changed.size(), 0);
    replacement->setDisplayName(QStringLiteral("Lounge 2"), true);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(rolesOf(changed, 0), QVector<int>({861, 863, 0}));
    // The realm files the replacement once the old object has gone.
    delete old;
    realm->registerConversation(replacement);
    QCOMPARE(m_list->data(m_list->index(0), Qt::DisplayRole).toString(),
             QStringLiteral("Someone invited you to Lounge 2"));
}

void TestNotifications::destroyedConversationIsReplaced()
{
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Conversation *old = realm->getConversationByUID(QStringLiteral("930"));
    receive(QStringLiteral("765"), QStringLiteral("5"), QStringLiteral("1"), QString(), QStringLiteral("930"));
    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);

    // The realm makes a new conversation for the channel; the row follows it.
    delete old;
    QCOMPARE(changed.size(), 1);
    QCOMPARE(rolesOf(changed, 0), QVector<int>({860, 861, 864, 863, 0}));
    Conversation *now = realm->getConversationByUID(QStringLiteral("930"));
    QVERIFY(now != nullptr);
    changed.clear();
    now->setDisplayName(QStringLiteral("Renamed"), true);
    QCOMPARE(changed.size(), 1);
}

void TestNotifications::removalStopsFollowing()
{
    TavriIdentityRealmUser *ann = user(QStringLiteral("503"), QStringLiteral("Ann"));
    Conversation *channel = TavriIdentityRealm::getInstance()->getConversationByUID(QStringLiteral("940"));
    receive(QStringLiteral("770"), QStringLiteral("5"), QStringLiteral("1"), QStringLiteral("503"),
            QStringLiteral("940"));
    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);

    m_list->removeNotification(QStringLiteral("770"), false);
    QCOMPARE(m_list->rowCount(), 0);
    QVERIFY(!hasRequest(m_web, QStringLiteral("UpdateNotifications"), QStringLiteral("NotificationUIDs"),
                        QStringLiteral("770")));
    channel->setDisplayName(QStringLiteral("Quiet"), true);
    ann->setUname(QStringLiteral("Quiet Ann"));
    QCOMPARE(changed.size(), 0);

    // A later notification of the same channel follows it again.
    receive(QStringLiteral("771"), QStringLiteral("5"), QStringLiteral("1"), QStringLiteral("503"),
            QStringLiteral("940"));
    channel->setDisplayName(QStringLiteral("Loud"), true);
    QCOMPARE(changed.size(), 1);
}

void TestNotifications::clearLetsGo()
{
    TavriIdentityRealmUser *ann = user(QStringLiteral("504"), QStringLiteral("Ann"));
    QPointer<Conversation> channel = TavriIdentityRealm::getInstance()->getConversationByUID(QStringLiteral("950"));
    receive(QStringLiteral("780"), QStringLiteral("5"), QStringLiteral("1"), QStringLiteral("504"),
            QStringLiteral("950"));
    QPointer<Notification> notification = m_list->at(0);
    QSignalSpy countSpy(m_list, &NotificationList::notificationCountChanged);
    QSignalSpy unreadSpy(m_list, &NotificationList::unreadCountChanged);
    const QString lastUID = m_list->getLastNotificationUID();

    m_list->clear();
    QCOMPARE(m_list->rowCount(), 0);
    QVERIFY(!notification);
    QCOMPARE(countSpy.size(), 1);
    QCOMPARE(unreadSpy.size(), 1);
    QCOMPARE(unreadSpy.at(0).at(0).toInt(), 0);
    // The database keeps the record and the highest uid stays.
    QCOMPARE(storedState(QStringLiteral("780")), 1);
    QCOMPARE(m_list->getLastNotificationUID(), lastUID);

    QSignalSpy changed(m_list, &QAbstractItemModel::dataChanged);
    ann->setUname(QStringLiteral("Gone"));
    channel->setDisplayName(QStringLiteral("Gone"), true);
    delete channel.data();
    QCOMPARE(changed.size(), 0);
}

void TestNotifications::storedRecordsReload()
{
    user(QStringLiteral("505"), QStringLiteral("Ann"));
    struct Record {
        const char *uid;
        int type;
        int state;
    };
    const QList<Record> records = {{"790", 1, 1}, {"791", 2, 2},  {"792", 6, 1},
                                   {"793", 7, 2}, {"794", 13, 1}, {"795", 15, 1}};
    int second = 0;
    for (const Record &record : records)
        receive(QLatin1String(record.uid), QString::number(record.type), QString::number(record.state),
                QStringLiteral("505"), QString(), at(second++), QStringLiteral("text %1").arg(record.uid));
    const QStringList before = m_list->getNotificationUIDs();
    QCOMPARE(before.size(), records.size());
    m_list->clear();

    // What the local user does at reload: the stored records, newest first.
    QStringList uids, senders, names, messages, actions, channels, channelNames, emails;
    QList<QDateTime> times;
    QList<int> types, states;
    const int count = StorageManager::getInstance()->getNotificationRecords(
        uids, senders, names, times, types, messages, actions, channels, channelNames, states, emails);
    QCOMPARE(count, records.size());
    QSignalSpy unreadSpy(m_list, &NotificationList::unreadCountChanged);
    for (int i = 0; i < count; ++i)
        m_list->addNotification(uids.at(i), senders.at(i), names.at(i), channels.at(i), channelNames.at(i), types.at(i),
                                states.at(i), times.at(i), messages.at(i), actions.at(i), emails.at(i));

    QCOMPARE(m_list->getNotificationUIDs(), before);
    QCOMPARE(m_list->getUnreadNotificationCount(), 4);
    QCOMPARE(unreadSpy.last().at(0).toInt(), 4);
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const Notification *notification = m_list->at(row);
        QCOMPARE(notification->getSenderUID(), QStringLiteral("505"));
        QCOMPARE(notification->getCustomMessage(), QStringLiteral("text %1").arg(notification->getUid()));
    }
    QCOMPARE(m_list->data(m_list->index(4), Qt::DisplayRole).toString(), QStringLiteral("Ann added you as a friend"));
}

void TestNotifications::requestMarkNotification()
{
    LocalUser *local = LocalUser::getLocalUser();
    receive(QStringLiteral("796"), QStringLiteral("5"), QStringLiteral("1"));
    receive(QStringLiteral("797"), QStringLiteral("5"), QStringLiteral("1"));

    local->requestMarkNotification(QStringLiteral("796"), Notification::NotificationStateRead, true);
    QTRY_VERIFY(hasRequest(m_web, QStringLiteral("AcceptInvitation"), QStringLiteral("NotificationUID"),
                           QStringLiteral("796")));
    QCOMPARE(m_list->rowCount(), 2);

    local->requestMarkNotification(QStringLiteral("797"), Notification::NotificationStateDeleteRequested);
    QCOMPARE(m_list->getNotificationUIDs(), QStringList({"796"}));
    QTRY_VERIFY(hasRequest(m_web, QStringLiteral("UpdateNotifications"), QStringLiteral("NotificationUIDs"),
                           QStringLiteral("797")));
    for (const FakeWebService::Request &request : m_web->requestsFor(QStringLiteral("UpdateNotifications"))) {
        if (request.value(QStringLiteral("NotificationUIDs")) == QLatin1String("797"))
            QCOMPARE(request.value(QStringLiteral("State")), QStringLiteral("3"));
    }
    QVERIFY(!hasRequest(m_web, QStringLiteral("AcceptInvitation"), QStringLiteral("NotificationUID"),
                        QStringLiteral("797")));

    // The web service's records reach the local user's list.
    emit m_social->notificationReceived(QStringLiteral("798"), {}, {}, {}, {}, QStringLiteral("14"),
                                        QStringLiteral("1"), at(50), QStringLiteral("From the service"), {}, {});
    QCOMPARE(m_list->at(0)->getUid(), QStringLiteral("798"));
}

void TestNotifications::storedAccessChangesApplyToMembers()
{
    LocalUser *local = LocalUser::getLocalUser();
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Conversation *channel = realm->getConversationByUID(QStringLiteral("960"));
    RealmIdentityList *members = channel->getMembers(false);
    const QString ownUID = local->tavriidentity()->getUid();

    // Before the voice sign-in the members list is left alone.
    m_list->addNotification(QStringLiteral("800"), QStringLiteral("507"), {}, QStringLiteral("960"), {}, 10, 1, at(0),
                            {}, {}, {});
    QVERIFY(!members->containsIdentity(realm, ownUID));
    QCOMPARE(m_list->rowCount(), 1);

    local->onVoiceLoggedIn();
    QCOMPARE(local->getLoginState(), LocalUser::LoggedIn);
    m_list->addNotification(QStringLiteral("801"), QStringLiteral("507"), {}, QStringLiteral("960"), {}, 10, 1, at(1),
                            {}, {}, {});
    QVERIFY(members->containsIdentity(realm, ownUID));
    m_list->addNotification(QStringLiteral("802"), QStringLiteral("507"), {}, QStringLiteral("960"), {}, 11, 1, at(2),
                            {}, {}, {});
    QVERIFY(!members->containsIdentity(realm, ownUID));
    QCOMPARE(m_list->rowCount(), 3);
}

void TestNotifications::moderatorChangesRefreshTheModerators_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("signedInToVoice");
    QTest::addColumn<bool>("refreshed");

    QTest::newRow("made a moderator") << 8 << true << true;
    QTest::newRow("no longer a moderator") << 9 << true << true;
    QTest::newRow("other channel news") << 7 << true << false;
    QTest::newRow("before the voice sign-in") << 8 << false << false;
}

void TestNotifications::moderatorChangesRefreshTheModerators()
{
    QFETCH(int, type);
    QFETCH(bool, signedInToVoice);
    QFETCH(bool, refreshed);
    LocalUser *local = LocalUser::getLocalUser();
    if (signedInToVoice)
        local->onVoiceLoggedIn();
    else
        local->onSocialLoginSuccess(kOwnURI, {}, {}, {}, {}, {}, {}, {}, {});
    QCOMPARE(local->getLoginState() == LocalUser::LoggedIn, signedInToVoice);
    oxc_reset();
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    voice.createConnector();
    // A saved channel the notification is about.
    static int number = 970;
    const QString uid = QString::number(++number);
    const QString channelURI = QStringLiteral("sip:confctl-%1@voice.test").arg(uid);
    Conversation *channel = TavriIdentityRealm::getInstance()->getConversationByUID(uid);
    channel->setSipURI(channelURI);
    oxc_clear_requests();

    receive(QStringLiteral("9%1").arg(uid), QString::number(type), QStringLiteral("1"), QString(), uid);

    QCOMPARE(m_list->rowCount(), 1);
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_CHANNEL_GET_MODERATORS), refreshed ? 1 : 0);
    if (refreshed) {
        auto *request = reinterpret_cast<const ox_req_account_channel_get_moderators_t *>(
            oxc_find_request(OX_REQ_ACCOUNT_CHANNEL_GET_MODERATORS, 0));
        QCOMPARE(QString::fromUtf8(request->channel_uri), channelURI);
    }
}

void TestNotifications::withoutIdentityNothingIsListed()
{
    LocalUser *local = LocalUser::getLocalUser();
    local->onSocialLoginFailed(QStringLiteral("test over"));
    local->onVoiceLoggedOut(QStringLiteral("test over"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(!local->tavriidentity(), "the sign-out kept the identity");
    QTest::ignoreMessage(
        QtCriticalMsg, QRegularExpression("Assertion Failure - 'LocalUser::getLocalUser\\(\\)->tavriidentity\\(\\)'"));
    receive(QStringLiteral("799"), QStringLiteral("14"), QStringLiteral("1"));
    QCOMPARE(m_list->rowCount(), 0);
}

TAVRI_TEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
