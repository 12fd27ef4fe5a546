// The contact groups: rows per realm and group id after roster transfers and
// group refreshes, the ungrouped group, changes after a transfer, external
// applications' realms coming and going, the counts and relays, the offline
// setting, and the move and delete requests sent to the web service.

#include "contact.h"
#include "contactgroup.h"
#include "contactgrouplist.h"
#include "conversationparticipantlist.h"
#include "fakewebservice.h"
#include "identityrealmmanager.h"
#include "localuser.h"
#include "realmidentitylist.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "tavrisharedidentityrealmmanager.h"
#include "testenvironment.h"

#include "contactstestsupport.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using Presence = Tavri::RealmUserInterface::PresenceState;

namespace {

struct Membership {
    QString groupID;
    QString contactUUID;
};

} // namespace

class TestContactGroups : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void freshList();
    void transferSortsEntriesIntoGroups();
    void repeatedDeliveriesKeepOneGroupEach();
    void droppedFriendLeavesEveryGroup();
    void groupsOfTwoRealmsStayApart();
    void changesAfterTransfer();
    void groupRemovedDuringTransfer();
    void sharedRealmComesAndGoes();
    void countsAndRelays();
    void groupNameFromQmlIgnored();
    void showOfflineContacts();
    void moveContact_data();
    void moveContact();
    void removeContactGroup();
    void localUsersFriendMarksRows();
    void friendChangesReachTheListsHoldingTheIdentity();

private:
    // The user ids of a group's contacts, in order of addition.
    static QStringList members(const ContactGroup *group)
    {
        QStringList ids;
        for (Contact *contact : group->getContacts())
            ids.append(contact->getPrimaryUserUUID());
        return ids;
    }
    // (group id, group name) per row.
    QStringList rows() const
    {
        QStringList result;
        for (int row = 0; row < m_groups->rowCount(); ++row)
            result.append(m_groups->data(m_groups->index(row), ContactGroupList::GroupIDRole).toString() + ":"
                          + m_groups->data(m_groups->index(row), ContactGroupList::DisplayNameRole).toString());
        return result;
    }
    // A roster delivery as the built-in realm makes it: begin, entries, end.
    template <typename Realm>
    static void rosterDelivery(Realm *realm, const QStringList &uuids)
    {
        emit realm->rosterListReceivedBegin(QStringLiteral("me"));
        for (const QString &uuid : uuids)
            emit realm->rosterListEntry(QStringLiteral("me"), uuid);
        emit realm->rosterListReceivedEnd(QStringLiteral("me"));
    }
    // A group refresh: the groups, then the memberships, without begin or end.
    static void groupRefresh(FakeRealm *realm, const QStringList &groups, const QList<Membership> &memberships)
    {
        for (const QString &group : groups)
            emit realm->rosterListGroup(QStringLiteral("me"), group, QStringLiteral("Group ") + group);
        for (const Membership &membership : memberships)
            emit realm->rosterListGroupEntry(QStringLiteral("me"), membership.groupID, membership.contactUUID);
    }
    ContactGroup *group(const QString &groupID, const QString &realmID = QStringLiteral("alpha")) const
    {
        for (int row = 0; row < m_groups->count(); ++row) {
            ContactGroup *candidate = m_groups->at(row);
            if (candidate->groupID() == groupID && candidate->realmID() == realmID)
                return candidate;
        }
        return nullptr;
    }
    void connectRealm(TestRealm *realm)
    {
        emit TavriSharedIdentityRealmManager::getInstance()->identityRealmAdded(realm);
    }

    FakeWebService *m_web = nullptr;
    TestRealm *m_realm = nullptr;
    TestRealm *m_otherRealm = nullptr;
    ContactGroupList *m_groups = nullptr;
};

void TestContactGroups::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    qRegisterMetaType<Contact *>();
    m_web = new FakeWebService(this);
    for (const char *method : {"getUserBySocialUID", "getUserByUserLiveURI", "addContactGroupMember",
                               "removeContactGroupMember", "deleteContactGroup"})
        m_web->setDefault(QLatin1String(method), QJsonObject{{"status", "OK"}});
    m_web->setLookupDefaults();
    new QSocialManager(this, m_web->apiUrl(), m_web->host());
    IdentityRealmManager::getInstance();
}

void TestContactGroups::cleanupTestCase()
{
    delete IdentityRealmManager::getInstance();
}

void TestContactGroups::init()
{
    m_realm = new TestRealm(QStringLiteral("alpha"), this);
    m_otherRealm = new TestRealm(QStringLiteral("beta"), this);
    m_groups = new ContactGroupList(this);
    new QAbstractItemModelTester(m_groups, m_groups);
    connectRealm(m_realm);
    connectRealm(m_otherRealm);
}

void TestContactGroups::cleanup()
{
    delete m_groups;
    delete m_realm;
    delete m_otherRealm;
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, false);
}

void TestContactGroups::freshList()
{
    QCOMPARE(m_groups->rowCount(), 1);
    ContactGroup *ungrouped = m_groups->getEmptyGroup();
    QCOMPARE(m_groups->at(0), ungrouped);
    for (int role : {ContactGroupList::DisplayNameRole, ContactGroupList::GroupIDRole, ContactGroupList::RealmNameRole,
                     ContactGroupList::RealmIDRole})
        QCOMPARE(m_groups->data(m_groups->index(0), role).toString(), QString());
    QCOMPARE(m_groups->getOnlineCount(), 0);
    QCOMPARE(m_groups->getTotalCount(), 0);
    QCOMPARE(m_groups->data(m_groups->index(0), ContactGroupList::ContactListRole).value<ContactGroup *>(), ungrouped);
    QVERIFY(!m_groups->data(m_groups->index(1), ContactGroupList::GroupIDRole).isValid());
    QTest::ignoreMessage(QtCriticalMsg,
                         QRegularExpression("^Assertion Failure - 'i>=0&&i<m_contactGroups.size\\(\\)'"));
    QCOMPARE(m_groups->at(1), nullptr);
}

void TestContactGroups::transferSortsEntriesIntoGroups()
{
    emit m_realm->rosterListReceivedBegin(QStringLiteral("me"));
    groupRefresh(m_realm, {"A", "B"}, {});
    for (const char *uuid : {"x", "y", "z"})
        emit m_realm->rosterListEntry(QStringLiteral("me"), QLatin1String(uuid));
    groupRefresh(m_realm, {}, {{"A", "x"}, {"A", "y"}});
    emit m_realm->rosterListReceivedEnd(QStringLiteral("me"));

    QCOMPARE(rows(), (QStringList{":", "A:Group A", "B:Group B"}));
    QCOMPARE(members(m_groups->getEmptyGroup()), QStringList{"z"});
    QCOMPARE(members(group("A")), (QStringList{"x", "y"}));
    QCOMPARE(members(group("B")), QStringList{});
    QCOMPARE(m_groups->data(m_groups->index(1), ContactGroupList::RealmIDRole).toString(), QStringLiteral("alpha"));
    QCOMPARE(m_groups->data(m_groups->index(1), ContactGroupList::RealmNameRole).toString(),
             QStringLiteral("Fake alpha"));
    QCOMPARE(m_groups->data(m_groups->index(1), ContactGroupList::TotalCountRole).toInt(), 2);
    QVERIFY(m_groups->containsIdentity(m_realm->user(QStringLiteral("x"))));
    QVERIFY(!m_groups->containsIdentity(m_otherRealm->user(QStringLiteral("x"))));

    // A group's rows carry the group's name in the display role and
    // "groupName", and the contact's fields in the others.
    ContactGroup *a = group("A");
    QCOMPARE(a->data(a->index(0), Qt::DisplayRole).toString(), QStringLiteral("Group A"));
    QCOMPARE(a->data(a->index(0), ContactGroup::GroupNameRole).toString(), QStringLiteral("Group A"));
    QCOMPARE(a->data(a->index(0), ContactList::DisplayNameRole).toString(), QStringLiteral("x"));
    QVERIFY(!a->data(a->index(5), ContactGroup::GroupNameRole).isValid());
}

void TestContactGroups::repeatedDeliveriesKeepOneGroupEach()
{
    const QList<Membership> memberships{{"A", "x"}, {"A", "y"}, {"B", "z"}};
    // The built-in realm's order: every roster delivery is followed by a
    // refresh of the groups; a refresh may also come on its own.
    rosterDelivery(m_realm, {"x", "y", "z", "w"});
    groupRefresh(m_realm, {"A", "B"}, memberships);
    rosterDelivery(m_realm, {"x", "y", "z", "w"});
    groupRefresh(m_realm, {"A", "B"}, memberships);
    groupRefresh(m_realm, {"A", "B"}, memberships);

    QCOMPARE(rows(), (QStringList{":", "A:Group A", "B:Group B"}));
    QCOMPARE(members(group("A")), (QStringList{"x", "y"}));
    QCOMPARE(members(group("B")), QStringList{"z"});
    QCOMPARE(members(m_groups->getEmptyGroup()), QStringList{"w"});
    QCOMPARE(m_groups->getTotalCount(), 4);

    // A refresh with a new name renames the group in place.
    QSignalSpy changed(m_groups, &ContactGroupList::dataChanged);
    ContactGroup *renamed = group("B");
    QSignalSpy rowsChanged(renamed, &ContactGroup::dataChanged);
    emit m_realm->rosterListGroup(QStringLiteral("me"), QStringLiteral("B"), QStringLiteral("<b>Best</b> & co"));
    QCOMPARE(rows(), (QStringList{":", "A:Group A", "B:<b>Best</b> & co"}));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(2).value<QVector<int>>(),
             (QVector<int>{ContactGroupList::DisplayNameRole, Qt::DisplayRole}));
    // Every row of the group answers its name: all of them are announced.
    QCOMPARE(rowsChanged.size(), 1);
    QCOMPARE(rowsChanged.at(0).at(0).toModelIndex().row(), 0);
    QCOMPARE(rowsChanged.at(0).at(1).toModelIndex().row(), renamed->rowCount() - 1);
    QCOMPARE(rowsChanged.at(0).at(2).value<QVector<int>>(),
             (QVector<int>{ContactGroup::GroupNameRole, Qt::DisplayRole}));
    QCOMPARE(renamed->data(renamed->index(0), Qt::DisplayRole).toString(), QStringLiteral("<b>Best</b> & co"));
}

void TestContactGroups::droppedFriendLeavesEveryGroup()
{
    rosterDelivery(m_realm, {"x", "y", "z"});
    groupRefresh(m_realm, {"A"}, {{"A", "x"}});
    // A realm that delivers its groups within the transfer.
    emit m_realm->rosterListReceivedBegin(QStringLiteral("me"));
    emit m_realm->rosterListGroup(QStringLiteral("me"), QStringLiteral("A"), QStringLiteral("Group A"));
    emit m_realm->rosterListEntry(QStringLiteral("me"), QStringLiteral("y"));
    emit m_realm->rosterListReceivedEnd(QStringLiteral("me"));

    QCOMPARE(rows(), (QStringList{":", "A:Group A"}));
    QCOMPARE(members(m_groups->getEmptyGroup()), QStringList{"y"});
    QCOMPARE(members(group("A")), QStringList{});
    QVERIFY(!m_groups->containsIdentity(m_realm->user(QStringLiteral("z"))));

    // A whole list at once drops the same way and keeps the groups.
    emit m_realm->rosterListReceived(QStringLiteral("me"), {"v"});
    QCOMPARE(members(m_groups->getEmptyGroup()), QStringList{"v"});
    QCOMPARE(rows(), (QStringList{":", "A:Group A"}));
}

void TestContactGroups::groupsOfTwoRealmsStayApart()
{
    rosterDelivery(m_realm, {"x"});
    rosterDelivery(m_otherRealm, {"x"});
    groupRefresh(m_realm, {"G"}, {});
    groupRefresh(m_otherRealm, {"G"}, {{"G", "x"}});

    QCOMPARE(rows(), (QStringList{":", "G:Group G", "G:Group G"}));
    QCOMPARE(members(group("G", "alpha")), QStringList{});
    QCOMPARE(members(group("G", "beta")), QStringList{"x"});
    // The alpha user stays ungrouped; the beta one moved.
    QCOMPARE(members(m_groups->getEmptyGroup()), QStringList{"x"});
    QVERIFY(m_groups->getEmptyGroup()->containsIdentity(m_realm->user(QStringLiteral("x"))));

    // One realm's transfer leaves the other's groups alone.
    rosterDelivery(m_realm, {"x"});
    QCOMPARE(rows(), (QStringList{":", "G:Group G"}));
    QCOMPARE(group("G", "beta")->getTotalCount(), 1);
}

void TestContactGroups::changesAfterTransfer()
{
    rosterDelivery(m_realm, {"x", "y"});
    groupRefresh(m_realm, {"A", "B"}, {{"A", "x"}, {"B", "x"}});
    QCOMPARE(m_groups->getTotalCount(), 3);

    // Leaving a group makes the contact ungrouped, also when another group
    // still holds it.
    emit m_realm->rosterListGroupEntryRemoved(QStringLiteral("me"), QStringLiteral("A"), QStringLiteral("x"));
    QCOMPARE(members(group("A")), QStringList{});
    QCOMPARE(members(m_groups->getEmptyGroup()), (QStringList{"y", "x"}));

    // An unknown group is a broken invariant; an id the group does not hold
    // creates no user.
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Assertion Failure - 'contactGroup'"));
    emit m_realm->rosterListGroupEntryRemoved(QStringLiteral("me"), QStringLiteral("nope"), QStringLiteral("x"));
    const int created = m_realm->createdUsers();
    emit m_realm->rosterListGroupEntryRemoved(QStringLiteral("me"), QStringLiteral("B"), QStringLiteral("ghost"));
    emit m_realm->rosterListGroupEntry(QStringLiteral("me"), QStringLiteral("nope"), QStringLiteral("x"));
    QCOMPARE(m_realm->createdUsers(), created);

    // A friend removed from the roster leaves every group.
    emit m_realm->rosterListEntryRemoved(QStringLiteral("me"), QStringLiteral("x"));
    QVERIFY(!m_groups->containsIdentity(m_realm->user(QStringLiteral("x"))));
    QCOMPARE(m_groups->getTotalCount(), 1);

    // A removed group hands its members to the ungrouped group.
    emit m_realm->rosterListGroupEntry(QStringLiteral("me"), QStringLiteral("B"), QStringLiteral("y"));
    QCOMPARE(members(m_groups->getEmptyGroup()), QStringList{});
    emit m_realm->rosterListGroupRemoved(QStringLiteral("me"), QStringLiteral("B"));
    QCOMPARE(rows(), (QStringList{":", "A:Group A"}));
    QCOMPARE(members(m_groups->getEmptyGroup()), QStringList{"y"});

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^contact group not found!"));
    emit m_realm->rosterListGroupRemoved(QStringLiteral("me"), QStringLiteral("B"));
}

void TestContactGroups::groupRemovedDuringTransfer()
{
    rosterDelivery(m_realm, {"x"});
    groupRefresh(m_realm, {"A", "B"}, {{"A", "x"}});
    emit m_realm->rosterListReceivedBegin(QStringLiteral("me"));
    emit m_realm->rosterListGroupRemoved(QStringLiteral("me"), QStringLiteral("A"));
    emit m_realm->rosterListEntry(QStringLiteral("me"), QStringLiteral("x"));
    emit m_realm->rosterListReceivedEnd(QStringLiteral("me"));

    QCOMPARE(rows(), QStringList{":"});
    QCOMPARE(members(m_groups->getEmptyGroup()), QStringList{"x"});
}

void TestContactGroups::sharedRealmComesAndGoes()
{
    auto *sharedRealms = TavriSharedIdentityRealmManager::getInstance();
    rosterDelivery(m_otherRealm, {"s1", "s2"});
    groupRefresh(m_otherRealm, {"S"}, {{"S", "s1"}});
    QCOMPARE(rows(), (QStringList{":", "S:Group S"}));

    QSignalSpy removed(m_groups, &ContactGroupList::contactRemoved);
    emit sharedRealms->identityRealmRemoved(m_otherRealm);
    QCOMPARE(rows(), QStringList{":"});
    QCOMPARE(removed.size(), 1);
    // Its ungrouped contacts stay; its signals no longer arrive.
    QCOMPARE(members(m_groups->getEmptyGroup()), QStringList{"s2"});
    groupRefresh(m_otherRealm, {"T"}, {});
    QCOMPARE(rows(), QStringList{":"});

    // Signals from something that is no realm are refused.
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Assertion Failure - 'identityRealm'"));
    QMetaObject::invokeMethod(m_groups, "onRosterListEntry", Q_ARG(QString, "me"), Q_ARG(QString, "q"));
}

void TestContactGroups::countsAndRelays()
{
    QSignalSpy added(m_groups, &ContactGroupList::contactAdded);
    QSignalSpy total(m_groups, &ContactGroupList::totalCountChanged);
    QSignalSpy online(m_groups, &ContactGroupList::onlineCountChanged);
    m_realm->user(QStringLiteral("off"), QString(), Presence::Offline);
    rosterDelivery(m_realm, {"x", "off"});
    groupRefresh(m_realm, {"A", "B"}, {{"A", "x"}, {"B", "x"}});

    // A contact in two groups counts twice.
    QCOMPARE(m_groups->getTotalCount(), 3);
    QCOMPARE(m_groups->getOnlineCount(), 2);
    QCOMPARE(total.last().at(0).toInt(), 3);
    QCOMPARE(online.last().at(0).toInt(), 2);
    QCOMPARE(added.size(), 4);

    // Presence changes reach the group's row and the sums.
    online.clear();
    m_realm->user(QStringLiteral("off"))->setPresence(Presence::Online);
    QCOMPARE(m_groups->getOnlineCount(), 3);
    QCOMPARE(online.last().at(0).toInt(), 3);
    QCOMPARE(m_groups->data(m_groups->index(0), ContactGroupList::OnlineCountRole).toInt(), 1);
}

void TestContactGroups::groupNameFromQmlIgnored()
{
    groupRefresh(m_realm, {"A"}, {});
    ContactGroup *a = group("A");
    QSignalSpy names(a, &ContactGroup::nameChanged);
    QVERIFY(a->setProperty("name", QStringLiteral("Renamed")));
    QCOMPARE(a->name(), QStringLiteral("Group A"));
    QCOMPARE(names.size(), 0);
}

void TestContactGroups::showOfflineContacts()
{
    StorageManager *storage = StorageManager::getInstance();
    m_realm->user(QStringLiteral("off"), QString(), Presence::Offline);
    rosterDelivery(m_realm, {"off"});
    QCOMPARE(m_groups->getEmptyGroup()->rowCount(), 0);
    QSignalSpy shown(m_groups, &ContactGroupList::showOfflineContactsChanged);

    m_groups->setShowOfflineContacts(true);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(storage->getSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, false).toBool(), true);
    QCOMPARE(m_groups->getShowOfflineContacts(), true);
    QCOMPARE(m_groups->getEmptyGroup()->rowCount(), 1);

    // Unchanged, it is still stored and announced.
    m_groups->setShowOfflineContacts(true);
    QCOMPARE(shown.size(), 2);

    // A change made elsewhere reaches the list and its groups.
    storage->setSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, false);
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown.last().at(0).toBool(), false);
    QCOMPARE(m_groups->getEmptyGroup()->rowCount(), 0);
}

void TestContactGroups::moveContact_data()
{
    QTest::addColumn<QString>("groupID");
    QTest::addColumn<QString>("oldGroupID");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("same group") << "10"
                                << "10" << QStringList{};
    QTest::newRow("to ungrouped") << ""
                                  << "10" << QStringList{"removeContactGroupMember 10 101"};
    QTest::newRow("between groups") << "20"
                                    << "10"
                                    << QStringList{"removeContactGroupMember 10 101", "addContactGroupMember 20 101"};
    QTest::newRow("from every holding group")
        << "30"
        << ""
        << QStringList{"removeContactGroupMember 10 101", "removeContactGroupMember 20 101",
                       "addContactGroupMember 30 101"};
}

void TestContactGroups::moveContact()
{
    QFETCH(QString, groupID);
    QFETCH(QString, oldGroupID);
    QFETCH(QStringList, expected);

    TavriIdentityRealm *builtIn = TavriIdentityRealm::getInstance();
    rosterDelivery(builtIn, {"101"});
    emit builtIn->rosterListGroup(QStringLiteral("me"), QStringLiteral("10"), QStringLiteral("Ten"));
    emit builtIn->rosterListGroup(QStringLiteral("me"), QStringLiteral("20"), QStringLiteral("Twenty"));
    emit builtIn->rosterListGroup(QStringLiteral("me"), QStringLiteral("30"), QStringLiteral("Thirty"));
    emit builtIn->rosterListGroupEntry(QStringLiteral("me"), QStringLiteral("10"), QStringLiteral("101"));
    emit builtIn->rosterListGroupEntry(QStringLiteral("me"), QStringLiteral("20"), QStringLiteral("101"));
    const int before = m_web->requests().size();
    m_groups->requestMoveContact(QStringLiteral("__Tavri"), QStringLiteral("101"), groupID, oldGroupID);
    // A marker request sent after the call: nothing the call sends is
    // expected to arrive after it.
    QSocialManager::getInstance()->requestDeleteContactGroup(QStringLiteral("marker"));
    QVERIFY(m_web->waitForRequest(QStringLiteral("deleteContactGroup")));

    QStringList sent;
    const auto collect = [&] {
        sent.clear();
        const QList<FakeWebService::Request> requests = m_web->requests().mid(before);
        for (const FakeWebService::Request &request : requests) {
            if (request.method().contains(QLatin1String("ContactGroupMember")))
                sent.append(request.method() + " " + request.value("gid") + " " + request.value("mid"));
        }
        return sent.size();
    };
    QTRY_COMPARE(collect(), expected.size());
    sent.sort();
    expected.sort();
    QCOMPARE(sent, expected);
    // The model waits for the realm to report the move.
    QCOMPARE(members(group("10", "__Tavri")), QStringList{"101"});
}

void TestContactGroups::removeContactGroup()
{
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Assertion Failure - 'identityRealm'"));
    m_groups->requestRemoveContactGroup(QStringLiteral("nowhere"), QStringLiteral("10"));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Assertion Failure - 'contactIdentity'"));
    m_groups->requestMoveContact(QStringLiteral("__Tavri"), QString(), QStringLiteral("10"));

    const int before = m_web->requestsFor(QStringLiteral("deleteContactGroup")).size();
    m_groups->requestRemoveContactGroup(QStringLiteral("__Tavri"), QString());
    m_groups->requestRemoveContactGroup(QStringLiteral("__Tavri"), QStringLiteral("10"));
    QVERIFY(m_web->waitForRequest(QStringLiteral("deleteContactGroup")));
    const QList<FakeWebService::Request> deletions =
        m_web->requestsFor(QStringLiteral("deleteContactGroup")).mid(before);
    QCOMPARE(deletions.size(), 1);
    QCOMPARE(deletions.first().value("gid"), QStringLiteral("10"));
}

void TestContactGroups::localUsersFriendMarksRows()
{
    LocalUser *localUser = LocalUser::getLocalUser();
    TavriIdentityRealm *builtIn = TavriIdentityRealm::getInstance();
    Tavri::RealmUserInterface *buddy = builtIn->getRealmUser(QStringLiteral("201"));
    RealmIdentityList identities;
    identities.addIdentity(buddy);
    ConversationParticipantList participants;
    participants.addParticipant(buddy);
    QCOMPARE(identities.data(identities.index(0), RealmIdentityList::IsContactRole).toBool(), false);
    QCOMPARE(participants.data(participants.index(0), ConversationParticipantList::IsContactRole).toBool(), false);

    // What each row reads at the moment its change is announced.
    QList<bool> identityRow;
    QList<bool> participantRow;
    connect(&identities, &QAbstractItemModel::dataChanged, this,
            [&](const QModelIndex &topLeft, const QModelIndex &, const QVector<int> &roles) {
                if (roles.contains(RealmIdentityList::IsContactRole))
                    identityRow.append(identities.data(topLeft, RealmIdentityList::IsContactRole).toBool());
            });
    connect(&participants, &QAbstractItemModel::dataChanged, this,
            [&](const QModelIndex &topLeft, const QModelIndex &, const QVector<int> &roles) {
                if (roles.contains(ConversationParticipantList::IsContactRole))
                    participantRow.append(
                        participants.data(topLeft, ConversationParticipantList::IsContactRole).toBool());
            });

    rosterDelivery(builtIn, {"201"});
    QVERIFY(localUser->getContactList()->containsIdentity(buddy));
    QVERIFY(localUser->getContactGroups()->containsIdentity(buddy));
    QCOMPARE(identityRow, QList<bool>{true});
    QCOMPARE(participantRow, QList<bool>{true});

    // Dropped from the roster, the friend leaves both lists and the rows.
    rosterDelivery(builtIn, {});
    QVERIFY(!localUser->getContactList()->containsIdentity(buddy));
    QVERIFY(!localUser->getContactGroups()->containsIdentity(buddy));
    QCOMPARE(identityRow, (QList<bool>{true, false}));
    QCOMPARE(participantRow, (QList<bool>{true, false}));
}

void TestContactGroups::friendChangesReachTheListsHoldingTheIdentity()
{
    TavriIdentityRealm *builtIn = TavriIdentityRealm::getInstance();
    Tavri::RealmUserInterface *buddy = builtIn->getRealmUser(QStringLiteral("202"));
    Tavri::RealmUserInterface *stranger = builtIn->getRealmUser(QStringLiteral("203"));

    // Lists told of the friend's change, in the order they were told.
    QStringList told;
    const auto follow = [&](RealmIdentityList *list, const QString &name) {
        connect(list, &QAbstractItemModel::dataChanged, this,
                [&told, name](const QModelIndex &, const QModelIndex &, const QVector<int> &roles) {
                    if (roles.contains(RealmIdentityList::IsContactRole))
                        told.append(name);
                });
    };
    RealmIdentityList first;
    RealmIdentityList second;
    RealmIdentityList lettingGo;
    RealmIdentityList refilled;
    RealmIdentityList other;
    auto *gone = new RealmIdentityList;
    follow(&first, QStringLiteral("first"));
    follow(&second, QStringLiteral("second"));
    follow(&lettingGo, QStringLiteral("lettingGo"));
    follow(&refilled, QStringLiteral("refilled"));
    follow(&other, QStringLiteral("other"));
    follow(gone, QStringLiteral("gone"));
    // The later list takes the identity first: the lists are still told
    // in the order they were made.
    second.addIdentity(buddy);
    first.addIdentity(buddy);
    lettingGo.addIdentity(buddy);
    lettingGo.removeIdentity(buddy);
    refilled.addIdentity(buddy);
    refilled.clear();
    refilled.addIdentity(buddy);
    other.addIdentity(stranger);
    gone->addIdentity(buddy);
    delete gone;

    rosterDelivery(builtIn, {"202"});
    QVERIFY(LocalUser::getLocalUser()->getContactList()->containsIdentity(buddy));
    QCOMPARE(told, (QStringList{"first", "second", "refilled"}));

    told.clear();
    rosterDelivery(builtIn, {});
    QVERIFY(!LocalUser::getLocalUser()->getContactList()->containsIdentity(buddy));
    QCOMPARE(told, (QStringList{"first", "second", "refilled"}));
}

TAVRI_TEST_GUILESS_MAIN(TestContactGroups)
#include "tst_contactgroups.moc"
