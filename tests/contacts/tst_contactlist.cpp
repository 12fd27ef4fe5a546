// The contact list model: sorted rows and moves on renames, hidden offline
// contacts and the counts, roster transfers per realm with their bad input,
// the contact and identity announcements, clearing, and the roles.

#include "contact.h"
#include "contactlist.h"
#include "identityrealmmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "tavrisharedidentityrealmmanager.h"
#include "testenvironment.h"

#include "contactstestsupport.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using Presence = Tavri::RealmUserInterface::PresenceState;

class TestContactList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void sortedInsertion();
    void renameMoves_data();
    void renameMoves();
    void offlineContactsHidden();
    void showOfflineContacts();
    void rosterTransfers_data();
    void rosterTransfers();
    void rosterEndLeavesOtherRealms();
    void rosterRemoval();
    void announcementsFollowTheChange();
    void findsByRealmAndCurrentId();
    void clearRemovesEverything();
    void roles();

private:
    static QStringList rowNames(const ContactList &list)
    {
        QStringList names;
        for (int row = 0; row < list.rowCount(); ++row)
            names.append(list.data(list.index(row), ContactList::DisplayNameRole).toString());
        return names;
    }
    // Emits one roster transfer of the realm: begin, entries, end.
    static void transfer(TestRealm *realm, const QStringList &uuids)
    {
        emit realm->rosterListReceivedBegin(QStringLiteral("me"));
        for (const QString &uuid : uuids)
            emit realm->rosterListEntry(QStringLiteral("me"), uuid);
        emit realm->rosterListReceivedEnd(QStringLiteral("me"));
    }
    static QStringList uuids(const ContactList &list)
    {
        QStringList ids;
        for (Contact *contact : list.getContacts())
            ids.append(contact->getPrimaryUserUUID());
        return ids;
    }

    TestRealm *m_realm = nullptr;
    TestRealm *m_otherRealm = nullptr;
    ContactList *m_list = nullptr;
};

void TestContactList::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    qRegisterMetaType<Tavri::RealmUserInterface *>();
    qRegisterMetaType<Presence>();
    qRegisterMetaType<Contact *>();
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyShowCustomDisplayNames, true);
    // The manager owns the built-in realm, so both go at the end.
    IdentityRealmManager::getInstance();
}

void TestContactList::cleanupTestCase()
{
    delete IdentityRealmManager::getInstance();
}

void TestContactList::init()
{
    m_realm = new TestRealm(QStringLiteral("alpha"), this);
    m_otherRealm = new TestRealm(QStringLiteral("beta"), this);
    m_list = new ContactList(this);
    new QAbstractItemModelTester(m_list, m_list);
}

void TestContactList::cleanup()
{
    delete m_list;
    delete m_realm;
    delete m_otherRealm;
}

void TestContactList::sortedInsertion()
{
    for (const char *name : {"bob", "Alice", "carol"})
        m_list->addContact(m_realm->user(QLatin1String(name)));
    QCOMPARE(rowNames(*m_list), (QStringList{"Alice", "bob", "carol"}));

    // Equal names (case aside) go after the ones already there.
    QSignalSpy inserted(m_list, &ContactList::rowsInserted);
    m_list->addContact(m_otherRealm->user(QStringLiteral("alice")));
    QCOMPARE(rowNames(*m_list), (QStringList{"Alice", "alice", "bob", "carol"}));
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 1);
}

void TestContactList::renameMoves_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("renamed");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("moves");

    QTest::newRow("first to last") << QStringList{"Anna", "Bert", "Cleo"} << "Anna"
                                   << "Zoe" << QStringList{"Bert", "Cleo", "Zoe"} << 1;
    QTest::newRow("last to first") << QStringList{"Anna", "Bert", "Cleo"} << "Cleo"
                                   << "Aaron" << QStringList{"Aaron", "Anna", "Bert"} << 1;
    QTest::newRow("keeps its place") << QStringList{"Anna", "Bert", "Cleo"} << "Bert"
                                     << "Bianca" << QStringList{"Anna", "Bianca", "Cleo"} << 0;
    QTest::newRow("only contact") << QStringList{"Anna"} << "Anna"
                                  << "Zoe" << QStringList{"Zoe"} << 0;
}

void TestContactList::renameMoves()
{
    QFETCH(QStringList, names);
    QFETCH(QString, renamed);
    QFETCH(QString, newName);
    QFETCH(QStringList, expected);
    QFETCH(int, moves);

    for (const QString &name : names)
        m_list->addContact(m_realm->user(name));
    QSignalSpy moved(m_list, &ContactList::rowsMoved);
    QSignalSpy changed(m_list, &ContactList::dataChanged);

    m_realm->user(renamed)->rename(newName);
    QCOMPARE(rowNames(*m_list), expected);
    QCOMPARE(moved.size(), moves);
    QVERIFY(!changed.isEmpty());
    QCOMPARE(changed.at(0).at(2).value<QVector<int>>(), (QVector<int>{ContactList::DisplayNameRole, Qt::DisplayRole}));
}

void TestContactList::offlineContactsHidden()
{
    m_list->addContact(m_realm->user(QStringLiteral("a"), QStringLiteral("Anna")));
    m_list->addContact(m_realm->user(QStringLiteral("c"), QStringLiteral("Cleo")));
    QSignalSpy total(m_list, &ContactList::totalCountChanged);
    QSignalSpy visible(m_list, &ContactList::visibleCountChanged);
    QSignalSpy online(m_list, &ContactList::onlineCountChanged);
    QSignalSpy inserted(m_list, &ContactList::rowsInserted);

    TestUser *bert = m_realm->user(QStringLiteral("b"), QStringLiteral("Bert"), Presence::Offline);
    m_list->addContact(bert);
    QCOMPARE(total.size(), 1);
    QCOMPARE(m_list->getTotalCount(), 3);
    QCOMPARE(visible.size(), 0);
    QCOMPARE(m_list->getVisibleCount(), 2);
    QCOMPARE(m_list->getOnlineCount(), 2);
    QCOMPARE(inserted.size(), 0);

    bert->setPresence(Presence::Away, QStringLiteral("lunch"));
    QCOMPARE(rowNames(*m_list), (QStringList{"Anna", "Bert", "Cleo"}));
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 1);
    QVERIFY(!online.isEmpty());
    QCOMPARE(online.last().at(0).toInt(), 3);
    QCOMPARE(m_list->data(m_list->index(1), ContactList::PresenceMessageRole).toString(), QStringLiteral("lunch"));

    // Unknown presence counts as offline.
    bert->setPresence(Presence::PresenceUnknown);
    QCOMPARE(rowNames(*m_list), (QStringList{"Anna", "Cleo"}));
    QCOMPARE(online.last().at(0).toInt(), 2);
}

void TestContactList::showOfflineContacts()
{
    m_list->addContact(m_realm->user(QStringLiteral("o"), QStringLiteral("Otto"), Presence::Offline));
    QSignalSpy shown(m_list, &ContactList::showOfflineContactsChanged);

    m_list->setShowOfflineContacts(false);
    QCOMPARE(shown.size(), 0);

    m_list->setShowOfflineContacts(true);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(rowNames(*m_list), QStringList{"Otto"});

    // The stored setting drives it too.
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, true);
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, false);
    QCOMPARE(m_list->getShowOfflineContacts(), false);
    QCOMPARE(m_list->rowCount(), 0);
}

void TestContactList::rosterTransfers_data()
{
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("dropped entry leaves")
        << QStringList{"P", "Q", "R"} << QStringList{"P", "Q"} << QStringList{"P", "Q"};
    QTest::newRow("new entry joins") << QStringList{"P"} << QStringList{"P", "Q"} << QStringList{"P", "Q"};
    QTest::newRow("empty roster") << QStringList{"P", "Q"} << QStringList{} << QStringList{};
    QTest::newRow("ids differ in case") << QStringList{"x"} << QStringList{"x", "X"} << QStringList{"x", "X"};
}

void TestContactList::rosterTransfers()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(QStringList, expected);

    m_list->followIdentityRealms();
    emit TavriSharedIdentityRealmManager::getInstance()->identityRealmAdded(m_realm);
    transfer(m_realm, first);
    QCOMPARE(uuids(*m_list), first);
    transfer(m_realm, second);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(uuids(*m_list), expected);
    QCOMPARE(m_list->getTotalCount(), expected.size());

    // The same id twice in one transfer makes one contact.
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^duplicate rosterEntry, ignoring"));
    transfer(m_realm, {"D", "D"});
    QCOMPARE(uuids(*m_list), QStringList{"D"});

    // A whole list at once is a transfer too.
    emit m_realm->rosterListReceived(QStringLiteral("me"), {"E", "F"});
    QCOMPARE(uuids(*m_list), (QStringList{"E", "F"}));
    emit TavriSharedIdentityRealmManager::getInstance()->identityRealmRemoved(m_realm);
}

void TestContactList::rosterEndLeavesOtherRealms()
{
    m_list->followIdentityRealms();
    auto *sharedRealms = TavriSharedIdentityRealmManager::getInstance();
    emit sharedRealms->identityRealmAdded(m_realm);
    emit sharedRealms->identityRealmAdded(m_otherRealm);
    transfer(m_realm, {"a1", "a2"});
    transfer(m_otherRealm, {"b1"});
    QCOMPARE(m_list->getTotalCount(), 3);

    // One realm's roster never removes the other's friends.
    transfer(m_realm, {"a2"});
    QCOMPARE(uuids(*m_list), (QStringList{"a2", "b1"}));

    // A removed realm no longer feeds the list.
    emit sharedRealms->identityRealmRemoved(m_otherRealm);
    transfer(m_otherRealm, {});
    QCOMPARE(uuids(*m_list), (QStringList{"a2", "b1"}));
    emit sharedRealms->identityRealmRemoved(m_realm);
}

void TestContactList::rosterRemoval()
{
    m_list->followIdentityRealms();
    emit TavriSharedIdentityRealmManager::getInstance()->identityRealmAdded(m_realm);
    transfer(m_realm, {"k", "m"});
    const int created = m_realm->createdUsers();

    // Unknown and empty ids change nothing and create no user.
    emit m_realm->rosterListEntryRemoved(QStringLiteral("me"), QStringLiteral("nobody"));
    emit m_realm->rosterListEntryRemoved(QStringLiteral("me"), QString());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("empty contact id from \"alpha\""));
    emit m_realm->rosterListEntry(QStringLiteral("me"), QString());
    QCOMPARE(m_realm->createdUsers(), created);
    QCOMPARE(uuids(*m_list), (QStringList{"k", "m"}));

    // A removed entry leaves at once, with its row.
    QSignalSpy removed(m_list, &ContactList::rowsRemoved);
    emit m_realm->rosterListEntryRemoved(QStringLiteral("me"), QStringLiteral("k"));
    QCOMPARE(uuids(*m_list), QStringList{"m"});
    QCOMPARE(removed.size(), 1);

    // A single later entry is added (it is no longer in the roster).
    emit m_realm->rosterListEntry(QStringLiteral("me"), QStringLiteral("k"));
    QCOMPARE(uuids(*m_list), (QStringList{"m", "k"}));
    emit TavriSharedIdentityRealmManager::getInstance()->identityRealmRemoved(m_realm);
}

void TestContactList::announcementsFollowTheChange()
{
    // Each announcement comes after the change: a listener that asks the
    // list gets the new answer.
    QList<bool> answers;
    connect(m_list, &ContactList::contactIdentityAdded, this,
            [&](Tavri::RealmUserInterface *identity) { answers.append(m_list->containsIdentity(identity)); });
    connect(m_list, &ContactList::contactIdentityRemoved, this,
            [&](Tavri::RealmUserInterface *identity) { answers.append(m_list->containsIdentity(identity)); });
    QSignalSpy added(m_list, &ContactList::contactAdded);
    QSignalSpy removed(m_list, &ContactList::contactRemoved);

    TestUser *user = m_realm->user(QStringLiteral("n"));
    m_list->addContact(user);
    QCOMPARE(answers, QList<bool>{true});
    QCOMPARE(added.size(), 1);

    // The same realm and id again is refused.
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("already contains identity"));
    m_list->addContact(user);
    QCOMPARE(added.size(), 1);

    m_list->removeContactForIdentity(user);
    QCOMPARE(answers, (QList<bool>{true, false}));
    QCOMPARE(removed.size(), 1);

    // A contact whose identity is destroyed leaves too.
    TestUser *doomed = m_realm->user(QStringLiteral("d"));
    m_list->addContact(doomed);
    delete doomed;
    QCOMPARE(m_list->getTotalCount(), 0);
    QCOMPARE(answers, (QList<bool>{true, false, true, false}));
    QCOMPARE(removed.size(), 2);
}

void TestContactList::findsByRealmAndCurrentId()
{
    // A friend known by address first learns its user id from the web
    // service: the contact is found under the new id, not the old one.
    TavriIdentityRealm *builtIn = TavriIdentityRealm::getInstance();
    const QString address = QStringLiteral("sip:u-later@find.test");
    auto *friendUser = static_cast<TavriIdentityRealmUser *>(builtIn->requestUserInfoUpdateByURI(address));
    m_list->addContact(friendUser);
    Contact *contact = m_list->findContact(builtIn, address);
    QVERIFY(contact);
    friendUser->setUid(QStringLiteral("later-uid"));
    QCOMPARE(m_list->findContact(builtIn, QStringLiteral("later-uid")), contact);
    QVERIFY(!m_list->findContact(builtIn, address));
    QVERIFY(!m_list->findContact(m_realm, QStringLiteral("later-uid")));

    // An identity two contacts hold answers with the first of them until
    // that one goes, then with the other.
    TestUser *shared = m_realm->user(QStringLiteral("shared"));
    TestUser *second = m_realm->user(QStringLiteral("second"));
    m_list->addContact(m_realm->user(QStringLiteral("first")));
    m_list->addContact(second);
    Contact *first = m_list->findContact(m_realm, QStringLiteral("first"));
    Contact *other = m_list->findContact(second);
    QVERIFY(first && other && first != other);
    other->getIdentities()->addIdentity(shared);
    first->getIdentities()->addIdentity(shared);
    QCOMPARE(m_list->findContact(shared), first);
    m_list->removeContact(first);
    QCOMPARE(m_list->findContact(shared), other);
    other->getIdentities()->removeIdentity(shared);
    QVERIFY(!m_list->containsIdentity(shared));
    QCOMPARE(m_list->findContact(second), other);
}

void TestContactList::clearRemovesEverything()
{
    m_list->followIdentityRealms();
    emit TavriSharedIdentityRealmManager::getInstance()->identityRealmAdded(m_realm);
    transfer(m_realm, {"a", "b", "c"});
    QSignalSpy removed(m_list, &ContactList::rowsRemoved);
    QSignalSpy visible(m_list, &ContactList::visibleCountChanged);
    QSignalSpy total(m_list, &ContactList::totalCountChanged);

    m_list->clear();
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 0);
    QCOMPARE(removed.at(0).at(2).toInt(), 2);
    QCOMPARE(visible.size(), 1);
    QCOMPARE(visible.at(0).at(0).toInt(), 0);
    QCOMPARE(total.size(), 3);
    QCOMPARE(m_list->getTotalCount(), 0);

    // The roster was forgotten: the same ids make contacts again.
    transfer(m_realm, {"a"});
    QCOMPARE(m_list->getTotalCount(), 1);
    emit TavriSharedIdentityRealmManager::getInstance()->identityRealmRemoved(m_realm);
}

void TestContactList::roles()
{
    TestUser *shared = m_realm->user(QStringLiteral("g-1"), QStringLiteral("Gamer"));
    m_list->addContact(shared);
    const QModelIndex row = m_list->index(0);
    QCOMPARE(m_list->data(row, ContactList::HasTavriRole).toBool(), false);
    QCOMPARE(m_list->data(row, ContactList::PrimaryRealmIDRole).toString(), QStringLiteral("alpha"));
    QCOMPARE(m_list->data(row, ContactList::PrimaryRealmUserUUIDRole).toString(), QStringLiteral("g-1"));
    // The test realm is registered nowhere: no reference, no dangling value.
    QVERIFY(!m_list->data(row, ContactList::PrimaryIdentityRefRole).isValid());
    QVERIFY(!m_list->data(row, ContactList::LastOnlineRole).isValid());
    QVERIFY(!m_list->data(row, ContactList::TavriUUIDRole).isValid());
    QCOMPARE(m_list->data(row, ContactList::IdentitiesRole).value<RealmIdentityList *>(),
             m_list->getContacts().first()->getIdentities());
    QVERIFY(!m_list->data(row, ContactList::IdentitiesRole + 1).isValid());
    QVERIFY(!m_list->data(m_list->index(1), ContactList::DisplayNameRole).isValid());
    QCOMPARE(m_list->roleNames().value(ContactList::TavriUUIDRole), QByteArray("tavriuuid"));

    TavriIdentityRealm *builtIn = TavriIdentityRealm::getInstance();
    auto *user = qobject_cast<TavriIdentityRealmUser *>(builtIn->getRealmUser(QStringLiteral("t-1"))->getQObject());
    user->setDisplayName(QStringLiteral("Alma"));
    user->setSipURI(QStringLiteral("sip:u-t-1@d"));
    user->setLastOnline(QDateTime(QDate(2026, 1, 2), QTime(3, 4)));
    user->setPresenceState(Presence::Online, true);
    m_list->addContact(user);
    const QModelIndex tavri = m_list->index(0);
    QCOMPARE(m_list->data(tavri, Qt::DisplayRole).toString(), QStringLiteral("Alma"));
    QCOMPARE(m_list->data(tavri, ContactList::HasTavriRole).toBool(), true);
    QCOMPARE(m_list->data(tavri, ContactList::PrimaryIdentityRefRole).value<QObject *>(), user);
    QCOMPARE(m_list->data(tavri, ContactList::SipURIRole).toString(), QStringLiteral("sip:u-t-1@d"));
    QCOMPARE(m_list->data(tavri, ContactList::TavriUUIDRole).toString(), QStringLiteral("t-1"));
    QCOMPARE(m_list->data(tavri, ContactList::LastOnlineRole).toDateTime(), QDateTime(QDate(2026, 1, 2), QTime(3, 4)));

    QSignalSpy changed(m_list, &ContactList::dataChanged);
    user->setLastOnline(QDateTime(QDate(2026, 2, 2), QTime(3, 4)));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(2).value<QVector<int>>(), QVector<int>{ContactList::LastOnlineRole});
}

TAVRI_TEST_GUILESS_MAIN(TestContactList)
#include "tst_contactlist.moc"
