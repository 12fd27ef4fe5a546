// One contact merged over realm identities: presence, message and name, the
// primary identity as identities come and go, self-deletion, and the
// replacement of a built-in realm user by another object.

#include "contact.h"
#include "contactlist.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "testenvironment.h"

#include "contactstestsupport.h"

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QtTest>

using Presence = Tavri::RealmUserInterface::PresenceState;
using tavritest::flushDeferredDeletes;

class TestContact : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void mergedPresence_data();
    void mergedPresence();
    void ownNameWinsOverPrimary();
    void builtInIdentityBecomesPrimary();
    void removingPrimaryPromotesNextAndReemits();
    void otherIdentityRenameIsIgnored();
    void lastIdentityLeavingDeletesContact();
    void destroyedIdentityLeavesNoDanglingPrimary();
    void swapOfOnlyIdentityKeepsContactAndRow();

private:
    static void addIdentity(Contact *contact, Tavri::RealmUserInterface *identity)
    {
        QVERIFY(
            QMetaObject::invokeMethod(contact, "onRealmIdentityAdded", Q_ARG(Tavri::RealmUserInterface *, identity)));
    }
    static TavriIdentityRealmUser *builtInUser(const QString &uid, const QString &name)
    {
        auto *user =
            qobject_cast<TavriIdentityRealmUser *>(TavriIdentityRealm::getInstance()->getRealmUser(uid)->getQObject());
        user->setDisplayName(name);
        user->setSipURI(QStringLiteral("sip:u-") + uid + QStringLiteral("@d"));
        return user;
    }

    TestRealm *m_realm = nullptr;
    TestRealm *m_otherRealm = nullptr;
};

void TestContact::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    qRegisterMetaType<Tavri::RealmUserInterface *>();
    qRegisterMetaType<Presence>();
    // Built-in realm users show the names they are given.
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyShowCustomDisplayNames, true);
    m_realm = new TestRealm(QStringLiteral("alpha"), this);
    m_otherRealm = new TestRealm(QStringLiteral("beta"), this);
}

void TestContact::cleanupTestCase()
{
    delete TavriIdentityRealm::getInstance();
}

void TestContact::mergedPresence_data()
{
    QTest::addColumn<int>("primaryState");
    QTest::addColumn<int>("otherState");
    QTest::addColumn<int>("expected");

    QTest::newRow("away and online") << int(Presence::Away) << int(Presence::Online) << int(Presence::Online);
    QTest::newRow("in game beats online") << int(Presence::Online) << int(Presence::InGame) << int(Presence::InGame);
    QTest::newRow("unknown counts offline")
        << int(Presence::PresenceUnknown) << int(Presence::PresenceUnknown) << int(Presence::Offline);
    QTest::newRow("offline and unknown") << int(Presence::Offline) << int(Presence::PresenceUnknown)
                                         << int(Presence::Offline);
}

void TestContact::mergedPresence()
{
    QFETCH(int, primaryState);
    QFETCH(int, otherState);
    QFETCH(int, expected);

    TestUser primary(m_realm, QStringLiteral("p"), QStringLiteral("Pat"), Presence(primaryState));
    primary.setPresence(Presence(primaryState), QStringLiteral("primary's message"));
    TestUser other(m_otherRealm, QStringLiteral("p"), QStringLiteral("Pat elsewhere"), Presence(otherState));
    other.setPresence(Presence(otherState), QStringLiteral("other message"));

    Contact contact(&primary, nullptr);
    addIdentity(&contact, &other);
    QCOMPARE(int(contact.getPresenceState()), expected);
    QCOMPARE(contact.getPresenceMessage(), QStringLiteral("primary's message"));
    QCOMPARE(contact.getDisplayName(), QStringLiteral("Pat"));
}

void TestContact::ownNameWinsOverPrimary()
{
    TestUser user(m_realm, QStringLiteral("n"), QStringLiteral("Nora"));
    Contact contact(&user, nullptr);
    QSignalSpy names(&contact, &Contact::displayNameChanged);

    contact.setDisplayName(QStringLiteral("My Nora"));
    QCOMPARE(contact.getDisplayName(), QStringLiteral("My Nora"));
    contact.setDisplayName(QString(""));
    QCOMPARE(contact.getDisplayName(), QStringLiteral("Nora"));
    QCOMPARE(names.size(), 2);
    QCOMPARE(names.at(1).at(0).toString(), QStringLiteral("Nora"));
}

void TestContact::builtInIdentityBecomesPrimary()
{
    TestUser shared(m_realm, QStringLiteral("b"), QStringLiteral("Ben (game)"));
    Contact contact(&shared, nullptr);
    QCOMPARE(contact.getTavriIdentity(), nullptr);
    QCOMPARE(contact.getSipURI(), QString());
    QCOMPARE(contact.getPrimaryRealmID(), QStringLiteral("alpha"));
    QSignalSpy names(&contact, &Contact::displayNameChanged);
    QSignalSpy updates(&contact, &Contact::identitiesUpdated);

    TavriIdentityRealmUser *builtIn = builtInUser(QStringLiteral("ben-1"), QStringLiteral("Ben"));
    addIdentity(&contact, builtIn);

    QCOMPARE(contact.getTavriIdentity(), builtIn);
    QCOMPARE(contact.getDisplayName(), QStringLiteral("Ben"));
    QCOMPARE(contact.getSipURI(), QStringLiteral("sip:u-ben-1@d"));
    QCOMPARE(contact.getPrimaryRealmID(), QStringLiteral("__Tavri"));
    QCOMPARE(contact.getPrimaryUserUUID(), QStringLiteral("ben-1"));
    QVERIFY(!names.isEmpty());
    QCOMPARE(names.first().at(0).toString(), QStringLiteral("Ben"));
    QCOMPARE(updates.size(), 1);

    // The same identity again is refused.
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Contact already contains"));
    addIdentity(&contact, builtIn);
    QCOMPARE(contact.getIdentities()->getIdentityList().size(), 2);
}

void TestContact::removingPrimaryPromotesNextAndReemits()
{
    TestUser first(m_realm, QStringLiteral("r1"), QStringLiteral("First"));
    TestUser second(m_otherRealm, QStringLiteral("r2"), QStringLiteral("Second"), Presence::Away);
    Contact contact(&first, nullptr);
    addIdentity(&contact, &second);

    QSignalSpy updates(&contact, &Contact::identitiesUpdated);
    QSignalSpy names(&contact, &Contact::displayNameChanged);
    QSignalSpy states(&contact, &Contact::presenceStateChanged);
    QSignalSpy messages(&contact, &Contact::presenceMessageChanged);
    contact.getIdentities()->removeIdentity(&first);

    QCOMPARE(contact.getPrimaryIdentity(), &second);
    QCOMPARE(contact.getDisplayName(), QStringLiteral("Second"));
    QCOMPARE(int(contact.getPresenceState()), int(Presence::Away));
    QCOMPARE(updates.size(), 1);
    QCOMPARE(names.size(), 1);
    QCOMPARE(states.size(), 1);
    QCOMPARE(messages.size(), 1);

    // The former identity no longer reaches the contact.
    first.rename(QStringLiteral("Second"));
    QCOMPARE(names.size(), 1);
}

void TestContact::otherIdentityRenameIsIgnored()
{
    TestUser primary(m_realm, QStringLiteral("o1"), QStringLiteral("Olga"));
    TestUser other(m_otherRealm, QStringLiteral("o2"), QStringLiteral("Olga (game)"));
    Contact contact(&primary, nullptr);
    addIdentity(&contact, &other);
    QSignalSpy names(&contact, &Contact::displayNameChanged);
    QSignalSpy updates(&contact, &Contact::identitiesUpdated);

    other.rename(QStringLiteral("Someone else"));
    QCOMPARE(names.size(), 0);
    QCOMPARE(updates.size(), 0);

    primary.rename(QStringLiteral("Olga B."));
    QCOMPARE(names.size(), 1);
    QCOMPARE(names.at(0).at(0).toString(), QStringLiteral("Olga B."));
}

void TestContact::lastIdentityLeavingDeletesContact()
{
    TestUser user(m_realm, QStringLiteral("l"), QStringLiteral("Lea"));
    QPointer<Contact> contact = new Contact(&user, nullptr);
    QSignalSpy names(contact.data(), &Contact::displayNameChanged);
    QSignalSpy updates(contact.data(), &Contact::identitiesUpdated);

    contact->getIdentities()->removeIdentity(&user);
    QVERIFY(contact);
    QCOMPARE(contact->getPrimaryIdentity(), nullptr);
    QCOMPARE(contact->getTavriIdentity(), nullptr);
    QCOMPARE(contact->getDisplayName(), QString());
    QCOMPARE(contact->getPresenceMessage(), QString());
    QCOMPARE(int(contact->getPresenceState()), int(Presence::Offline));
    QCOMPARE(names.size(), 0);
    QCOMPARE(updates.size(), 0);
    flushDeferredDeletes();
    QVERIFY(!contact);
}

void TestContact::destroyedIdentityLeavesNoDanglingPrimary()
{
    auto *first = new TestUser(m_realm, QStringLiteral("d1"), QStringLiteral("Dora"));
    TestUser second(m_otherRealm, QStringLiteral("d2"), QStringLiteral("Dora (game)"));
    Contact contact(first, nullptr);
    addIdentity(&contact, &second);

    delete first;
    QCOMPARE(contact.getPrimaryIdentity(), &second);
    QCOMPARE(contact.getIdentities()->getIdentityList().size(), 1);
    QCOMPARE(contact.getDisplayName(), QStringLiteral("Dora (game)"));
}

void TestContact::swapOfOnlyIdentityKeepsContactAndRow()
{
    TavriIdentityRealmUser *old = builtInUser(QStringLiteral("s-old"), QStringLiteral("Sam"));
    old->setPresenceState(Presence::Online, true);
    ContactList list;
    QAbstractItemModelTester tester(&list);
    list.addContact(old);
    QPointer<Contact> contact = list.getContacts().value(0);
    QVERIFY(contact);

    auto *replacement = new TavriIdentityRealmUser(TavriIdentityRealm::getInstance());
    replacement->setUid(QStringLiteral("s-new"));
    replacement->setDisplayName(QStringLiteral("Sam"));
    replacement->setPresenceState(Presence::Online, true);
    QSignalSpy removed(&list, &ContactList::rowsRemoved);
    emit old->swapping(replacement);
    flushDeferredDeletes();

    QVERIFY(contact);
    QCOMPARE(list.getTotalCount(), 1);
    QCOMPARE(list.rowCount(), 1);
    QCOMPARE(removed.size(), 0);
    QCOMPARE(contact->getPrimaryIdentity(), static_cast<Tavri::RealmUserInterface *>(replacement));
    QCOMPARE(contact->getIdentities()->getIdentityList(),
             QList<Tavri::RealmUserInterface *>{static_cast<Tavri::RealmUserInterface *>(replacement)});
    QCOMPARE(list.data(list.index(0), ContactList::TavriUUIDRole).toString(), QStringLiteral("s-new"));

    // The new object is followed: its rename and presence reach the row.
    QSignalSpy changed(&list, &ContactList::dataChanged);
    replacement->setDisplayName(QStringLiteral("Samuel"));
    QCOMPARE(list.data(list.index(0), ContactList::DisplayNameRole).toString(), QStringLiteral("Samuel"));
    QVERIFY(!changed.isEmpty());
    QVERIFY(changed.first().at(2).value<QVector<int>>().contains(ContactList::DisplayNameRole));

    changed.clear();
    replacement->setPresenceState(Presence::Away, true);
    QCOMPARE(list.data(list.index(0), ContactList::PresenceStateRole).toInt(), int(Presence::Away));
    bool presenceAnnounced = false;
    for (const QList<QVariant> &change : qAsConst(changed))
        presenceAnnounced |= change.at(2).value<QVector<int>>().contains(ContactList::PresenceStateRole);
    QVERIFY(presenceAnnounced);

    // The old object no longer reaches the contact.
    QSignalSpy names(contact.data(), &Contact::displayNameChanged);
    old->setDisplayName(QStringLiteral("Samuel"));
    QCOMPARE(names.size(), 0);
}

TAVRI_TEST_GUILESS_MAIN(TestContact)
#include "tst_contact.moc"
