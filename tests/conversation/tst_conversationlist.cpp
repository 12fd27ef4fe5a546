// Conversation lists: channel-tree order, opening and closing rows, realm
// entries, renames and re-parenting, the permanent-channel view and bad
// channel data.

#include "conversation.h"
#include "conversationlist.h"
#include "conversationparticipant.h"
#include "fakewebservice.h"
#include "localuser.h"
#include "permanentconversationlist.h"
#include "socialmanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "tavrisharedidentityrealm.h"
#include "testenvironment.h"
#include "websettle.h"

#include "fakerealm.h"
#include "signedinuser.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

const QString kHierarchy = QStringLiteral("GetChannelsInHierarchy");

// An external application's realm, signed in, whose users the test owns.
class SharedTestRealm : public TavriSharedIdentityRealm
{
public:
    explicit SharedTestRealm(const QString &id)
        : TavriSharedIdentityRealm(id, nullptr)
    {
        setUserDisplayName(QStringLiteral("me"));
        setSessionGroupHandle(QStringLiteral("group-1"));
    }
    ~SharedTestRealm() override { emit destroying(); }

    using TavriSharedIdentityRealm::setSessionHandleForChannel;

    Tavri::RealmUserInterface *getRealmUser(const QString &userUUID) override
    {
        auto &user = m_users[userUUID];
        if (!user)
            user = std::make_shared<FakeRealmUser>(this, userUUID);
        return user.get();
    }
    void requestLogout(Tavri::RealmUserInterface *) override {}
    void sendTextMessage(const QString &, const QString &) override {}
    void sendTextMessage(const QString &, const QString &, const QString &) override {}
    void requestJoinConversation(const QString &, const QString &, const QString &) override {}
    void requestLeaveConversation(const QString &, const QString &) override {}
    void sendIsTypingChanged(const QString &, bool) override {}

private:
    QHash<QString, std::shared_ptr<FakeRealmUser>> m_users;
};

QStringList names(const ConversationList &list)
{
    QStringList result;
    for (int row = 0; row < list.count(); ++row)
        result.append(list.at(row)->getDisplayName());
    return result;
}

// The hierarchy root asked for a channel of this test: "sip:confctl-ch7@..."
// gives "ch7".
QString rootOf(Conversation *conversation)
{
    return conversation->getSipURI().mid(12).section(QLatin1Char('@'), 0, 0);
}

QVariant role(const QAbstractItemModel &model, int row, int role)
{
    return model.data(model.index(row, 0), role);
}

} // namespace

class TestConversationList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void treeModeOffKeepsInsertionOrder();
    void childOpensListedParent_data();
    void childOpensListedParent();
    void childrenFromTheWebService();
    void equalNamesAndRealmRuns();
    void parentInsertedAfterChildrenAdoptsThem();
    void collapseRemovesDescendants();
    void rolesAndPermanentView();
    void realmEntries();
    void realmDestroyedRowsGo();
    void swapDestroyAndClear();
    void renameMovesOnce();
    void reparentMovesUnderNewParent();
    void adoptionFollowsParentChanges();
    void outOfRangeRows();
    void parentCycleHasFiniteDepth();

private:
    // A channel of the built-in realm with a name unique to this test run.
    Conversation *channel(const QString &name, Conversation *parent = nullptr, bool withUID = true);
    // The roots of the hierarchy requests of this test function, once every
    // web call made so far has reached the web service and been answered.
    QStringList hierarchyRoots();
    QStringList requestedRoots() const;

    FakeWebService *m_web = nullptr;
    QSocialManager *m_social = nullptr;
    int m_channelCount = 0;
    int m_rootsSeenBefore = 0;
};

void TestConversationList::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    m_web = new FakeWebService(this);
    const QJsonObject ok{{"status", "OK"}};
    for (const char *method : {"getUserByUserLiveURI", "GetChannelInfoWithOwnerInfoFromLiveUID", "GetChannelsOwned",
                               "GetChannelFavoritesList", "getChannelFavorites", "GetChannelsOwnedBy"})
        m_web->setDefault(QString::fromLatin1(method), ok);
    m_web->setLookupDefaults();
    m_web->setDefault(kHierarchy, QJsonArray());
    m_social = new QSocialManager(this, m_web->apiUrl(), m_web->host());
    QVERIFY(signedin::ownIdentity(QStringLiteral("sip:u-me@lists.example")));
}

void TestConversationList::cleanupTestCase()
{
    delete TavriIdentityRealm::getInstance();
    delete m_social;
    m_social = nullptr;
}

void TestConversationList::init()
{
    // Requests of earlier test functions are left out from here on.
    hierarchyRoots();
    m_rootsSeenBefore = m_web->requestsFor(kHierarchy).size();
}

Conversation *TestConversationList::channel(const QString &name, Conversation *parent, bool withUID)
{
    ++m_channelCount;
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(
        QStringLiteral("sip:confctl-ch%1@lists.example").arg(m_channelCount));
    conversation->setDisplayName(name, true);
    if (withUID)
        conversation->setChannelUID(QString::number(5000 + m_channelCount));
    if (parent)
        conversation->setParentConversation(parent);
    return conversation;
}

QStringList TestConversationList::requestedRoots() const
{
    QStringList roots;
    const QList<FakeWebService::Request> requests = m_web->requestsFor(kHierarchy);
    for (int i = m_rootsSeenBefore; i < requests.size(); ++i)
        roots.append(requests.at(i).value(QStringLiteral("root")));
    return roots;
}

QStringList TestConversationList::hierarchyRoots()
{
    [this] { QVERIFY(webtest::settle(*m_web, *m_social)); }();
    return requestedRoots();
}

void TestConversationList::treeModeOffKeepsInsertionOrder()
{
    ConversationList list;
    QAbstractItemModelTester tester(&list);
    list.setTreeMode(false);
    Conversation *parent = channel(QStringLiteral("Zulu"));
    Conversation *child = channel(QStringLiteral("Alpha"), parent);
    Conversation *other = channel(QStringLiteral("Mike"));
    list.addConversation(parent, true);
    list.addConversation(child, true);
    list.addConversation(other, true);
    list.addConversation(child, true);

    QCOMPARE(names(list), (QStringList{"Zulu", "Alpha", "Mike"}));
    QVERIFY(!list.isOpened(parent));
    QVERIFY(!hierarchyRoots().contains(rootOf(parent)));
}

void TestConversationList::childOpensListedParent_data()
{
    QTest::addColumn<bool>("refresh");
    QTest::addColumn<QString>("parentURI");
    QTest::addColumn<QString>("root");

    QTest::newRow("refresh") << true << "sip:confctl-770@lists.example"
                             << "770";
    QTest::newRow("no refresh") << false << "sip:confctl-771@lists.example"
                                << "771";
    QTest::newRow("URI without at sign") << true << "sip:confctl-tree772"
                                         << "tree772";
}

void TestConversationList::childOpensListedParent()
{
    QFETCH(bool, refresh);
    QFETCH(QString, parentURI);
    QFETCH(QString, root);

    Conversation *parent = TavriIdentityRealm::getInstance()->getConversation(parentURI);
    parent->setDisplayName(QStringLiteral("Parent"), true);
    parent->setChannelUID(root);

    ConversationList list;
    QAbstractItemModelTester tester(&list);
    Conversation *before = channel(QStringLiteral("Apple"));
    Conversation *after = channel(QStringLiteral("Zebra"));
    list.addConversation(before);
    list.addConversation(after);
    list.addConversation(parent);
    QCOMPARE(names(list), (QStringList{"Apple", "Parent", "Zebra"}));

    QSignalSpy changes(&list, &QAbstractItemModel::dataChanged);
    list.addConversation(channel(QStringLiteral("b"), parent), refresh);
    QVERIFY(list.isOpened(parent));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.first().at(0).toModelIndex().row(), 1);
    QCOMPARE(changes.first().at(2).value<QVector<int>>(), QVector<int>{ConversationList::IsOpenedRole});
    if (refresh)
        QTRY_VERIFY(requestedRoots().contains(root));

    // Siblings by name; the already opened parent asks nothing more.
    list.addConversation(channel(QStringLiteral("A"), parent), refresh);
    list.addConversation(channel(QStringLiteral("c"), parent), refresh);
    QCOMPARE(names(list), (QStringList{"Apple", "Parent", "A", "b", "c", "Zebra"}));
    QCOMPARE(role(list, 3, ConversationList::TreeDepthRole).toInt(), 1);
    QCOMPARE(role(list, 5, ConversationList::TreeDepthRole).toInt(), 0);
    QCOMPARE(hierarchyRoots().count(root), refresh ? 1 : 0);
}

void TestConversationList::childrenFromTheWebService()
{
    ConversationList list;
    Conversation *parent = channel(QStringLiteral("Parent"));
    list.addConversation(parent);
    Conversation *child = channel(QStringLiteral("Child"), parent);
    Conversation *stranger = channel(QStringLiteral("Stranger"), channel(QStringLiteral("Unlisted")));

    // A closed parent gathers nothing.
    emit TavriIdentityRealm::getInstance()->permanentConversationInfoReceived(child);
    QCOMPARE(list.count(), 1);

    list.expandItem(0, false);
    emit TavriIdentityRealm::getInstance()->permanentConversationInfoReceived(child);
    emit TavriIdentityRealm::getInstance()->permanentConversationInfoReceived(stranger);
    emit TavriIdentityRealm::getInstance()->permanentConversationInfoReceived(child);
    QCOMPARE(names(list), (QStringList{"Parent", "Child"}));
}

void TestConversationList::equalNamesAndRealmRuns()
{
    SharedTestRealm first(QStringLiteral("app-1"));
    SharedTestRealm second(QStringLiteral("app-2"));
    ConversationList list;
    QAbstractItemModelTester tester(&list);

    // The newer of two names equal but for case goes after the older.
    Conversation *parent = channel(QStringLiteral("Parent"));
    list.addConversation(parent);
    Conversation *older = channel(QStringLiteral("alpha"), parent);
    Conversation *newer = channel(QStringLiteral("ALPHA"), parent);
    list.addConversation(older);
    list.addConversation(newer);
    QCOMPARE(list.at(1), older);
    QCOMPARE(list.at(2), newer);
    list.clear();

    list.onConversationListEntryAdded(&first, QStringLiteral("m"), QStringLiteral("m"));
    // A built-in row stops before the first row of another realm.
    list.addConversation(channel(QStringLiteral("b")));
    QCOMPARE(names(list), (QStringList{"b", "m"}));
    list.onConversationListEntryAdded(&second, QStringLiteral("x"), QStringLiteral("x"));
    QCOMPARE(names(list), (QStringList{"b", "m", "x"}));
    // Sorted by name, but never past the end of its own realm's run.
    list.onConversationListEntryAdded(&first, QStringLiteral("zz"), QStringLiteral("zz"));
    list.onConversationListEntryAdded(&first, QStringLiteral("a"), QStringLiteral("a"));
    QCOMPARE(names(list), (QStringList{"a", "b", "m", "zz", "x"}));
}

void TestConversationList::parentInsertedAfterChildrenAdoptsThem()
{
    ConversationList list;
    QAbstractItemModelTester tester(&list);
    Conversation *parent = channel(QStringLiteral("P"));
    Conversation *a = channel(QStringLiteral("a"), parent);
    Conversation *a1 = channel(QStringLiteral("a1"), a);
    Conversation *c = channel(QStringLiteral("c"), parent);
    list.addConversation(c);
    list.addConversation(a);
    list.addConversation(a1);
    list.addConversation(channel(QStringLiteral("b")));
    QCOMPARE(names(list), (QStringList{"a", "a1", "b", "c"}));

    QSignalSpy moves(&list, &QAbstractItemModel::rowsMoved);
    list.addConversation(parent, true);
    QCOMPARE(names(list), (QStringList{"b", "P", "a", "a1", "c"}));
    QCOMPARE(moves.count(), 2);
    QVERIFY(list.isOpened(parent));
    QTRY_VERIFY(requestedRoots().contains(rootOf(parent)));
    QCOMPARE(role(list, 3, ConversationList::TreeDepthRole).toInt(), 2);

    // Closing the parent takes the adopted subtree away.
    list.collapseItem(1, false);
    QCOMPARE(names(list), (QStringList{"b", "P"}));
}

void TestConversationList::collapseRemovesDescendants()
{
    ConversationList list;
    QAbstractItemModelTester tester(&list);
    Conversation *parent = channel(QStringLiteral("P"));
    Conversation *child = channel(QStringLiteral("A"), parent);
    Conversation *grandchild = channel(QStringLiteral("A1"), child);
    Conversation *next = channel(QStringLiteral("Q"));
    list.addConversation(parent);
    list.addConversation(child);
    list.addConversation(grandchild);
    list.addConversation(next);
    Conversation *closed = channel(QStringLiteral("R"));
    list.addConversation(closed);
    QCOMPARE(names(list), (QStringList{"P", "A", "A1", "Q", "R"}));
    QVERIFY(list.isOpened(child));

    // A closed row: nothing changes and nothing is asked.
    QSignalSpy changes(&list, &QAbstractItemModel::dataChanged);
    QSignalSpy removals(&list, &QAbstractItemModel::rowsRemoved);
    list.collapseItem(4);
    QCOMPARE(changes.count(), 0);
    QCOMPARE(removals.count(), 0);
    QVERIFY(!hierarchyRoots().contains(rootOf(closed)));

    list.collapseItem(0, false);
    QCOMPARE(names(list), (QStringList{"P", "Q", "R"}));
    QVERIFY(!list.isOpened(parent));
    QVERIFY(!list.isOpened(child));
    // Without refresh the closed parent asks nothing.
    QVERIFY(!hierarchyRoots().contains(rootOf(parent)));

    // Removing an opened row takes its children with it.
    list.addConversation(child);
    list.addConversation(grandchild);
    QCOMPARE(names(list), (QStringList{"P", "A", "A1", "Q", "R"}));
    list.removeConversation(parent);
    QCOMPARE(names(list), (QStringList{"Q", "R"}));
}

void TestConversationList::rolesAndPermanentView()
{
    SharedTestRealm external(QStringLiteral("app-roles"));
    ConversationList list;
    auto *view = new PermanentConversationList(&list);
    QAbstractItemModelTester listTester(&list);
    QAbstractItemModelTester viewTester(view);
    QCOMPARE(view->parent(), &list);

    Conversation *saved = channel(QStringLiteral("Saved"));
    Conversation *unsaved = channel(QStringLiteral("Unsaved"), nullptr, false);
    list.addConversation(unsaved);
    list.addConversation(saved);
    list.onConversationListEntryAdded(&external, QStringLiteral("zoo"), QStringLiteral("Zoo"));
    QCOMPARE(names(list), (QStringList{"Saved", "Unsaved", "Zoo"}));

    QCOMPARE(role(list, 0, ConversationList::IsPermanentRole), QVariant(true));
    QCOMPARE(role(list, 1, ConversationList::IsPermanentRole), QVariant(false));
    QCOMPARE(role(list, 2, ConversationList::IsPermanentRole), QVariant(true));
    QCOMPARE(role(list, 2, ConversationList::RealmIDRole).toString(), QStringLiteral("app-roles"));
    QCOMPARE(role(list, 0, Qt::DisplayRole).toString(), QStringLiteral("Saved"));
    QCOMPARE(role(list, 0, ConversationList::ConversationRefRole).value<Conversation *>(), saved);
    QCOMPARE(role(list, 0, ConversationList::IsOwnedRole), QVariant(false));
    QVERIFY(!role(list, 0, ConversationList::OwnerSipURIRole).isValid());
    QVERIFY(!role(list, 0, 4242).isValid());
    QCOMPARE(list.roleNames().value(ConversationList::OwnerProfileImageURIRole), QByteArray("ownerProfileImageURI"));
    QCOMPARE(list.roleNames().size(), 28);

    // The local user's muting before and after joining.
    QVERIFY(!role(list, 0, ConversationList::LocalUserIsMutedLocallyRole).isValid());
    QVERIFY(!role(list, 0, ConversationList::LocalUserIsMutedRemotelyRole).isValid());
    ConversationParticipant *me = saved->getParticipants()->addParticipant(LocalUser::getLocalUser()->tavriidentity());
    QVERIFY(me);
    me->setIsMuted(true);
    QCOMPARE(role(list, 0, ConversationList::LocalUserIsMutedLocallyRole), QVariant(false));
    QCOMPARE(role(list, 0, ConversationList::LocalUserIsMutedRemotelyRole), QVariant(true));

    // The view shows the permanent rows and follows a channel becoming one.
    QCOMPARE(view->rowCount(), 2);
    QSignalSpy changes(&list, &QAbstractItemModel::dataChanged);
    unsaved->setChannelUID(QStringLiteral("9999"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.first().at(2).value<QVector<int>>(),
             (QVector<int>{ConversationList::ChannelUIDRole, ConversationList::IsPermanentRole,
                           ConversationList::DisplayNameRole, Qt::DisplayRole}));
    QCOMPARE(view->rowCount(), 3);

    // Rows given to the view are its own.
    unsaved->setChannelUID(QString());
    QCOMPARE(view->rowCount(), 2);
    view->expandItem(1, false);
    QVERIFY(list.isOpened(list.at(2)));
    QVERIFY(!list.isOpened(unsaved));
    QCOMPARE(role(*view, 1, ConversationList::IsOpenedRole), QVariant(true));
    view->collapseItem(1, false);
    QVERIFY(!list.isOpened(list.at(2)));
    QTest::ignoreMessage(QtCriticalMsg, "Assertion Failure - 'itemIndex >= 0 && itemIndex < m_conversations.size()'");
    view->expandItem(2);
}

void TestConversationList::realmEntries()
{
    SharedTestRealm shared(QStringLiteral("app-entries"));
    shared.setSessionHandleForChannel(QStringLiteral("lobby"), QStringLiteral("session-7"));
    FakeRealm plain(QStringLiteral("plain"));
    FakeRealm twin(QStringLiteral("twin"));
    ConversationList list;
    QAbstractItemModelTester tester(&list);

    list.onConversationListEntryAdded(&shared, QStringLiteral("lobby"), QStringLiteral("Lobby"));
    list.onConversationListEntryAdded(&shared, QStringLiteral("lobby"), QStringLiteral("Lobby again"));
    list.onConversationListEntryAdded(&plain, QStringLiteral("sip:odd id/ü"), QStringLiteral("Odd"));
    list.onConversationListEntryAdded(&twin, QStringLiteral("sip:odd id/ü"), QStringLiteral("Twin"));
    list.onConversationListEntryAdded(&plain, QString(), QStringLiteral("No id"));
    Conversation *builtIn = channel(QStringLiteral("Built-in"));
    list.onConversationListEntryAdded(TavriIdentityRealm::getInstance(), builtIn->getSipURI(), QString());
    QCOMPARE(names(list), (QStringList{"Built-in", "Lobby", "Odd", "Twin"}));

    QPointer<Conversation> lobby = list.at(1);
    QCOMPARE(lobby->parent(), &list);
    QCOMPARE(lobby->getJoinState(), Conversation::Joined);
    QCOMPARE(lobby->getVoiceState(), Conversation::VoiceEnabled);
    QCOMPARE(lobby->getOstrelSessionHandle(), QStringLiteral("session-7"));
    QCOMPARE(lobby->getIdentityRealm(), &shared);
    QPointer<Conversation> odd = list.at(2);
    QCOMPARE(odd->parent(), &list);
    QCOMPARE(odd->getJoinState(), Conversation::NotJoined);
    QCOMPARE(odd->getVoiceState(), Conversation::VoiceDisabled);
    QVERIFY(odd->getOstrelSessionHandle().isEmpty());
    QVERIFY(odd->getSipURI().isEmpty());
    // The local user has no identity in that realm: the row reads empty.
    QVERIFY(!role(list, 2, ConversationList::DisplayNameRole).isValid());

    // Removal matches realm and id exactly; the list's own conversations go.
    list.onConversationListEntryRemoved(&plain, QStringLiteral("sip:odd id/Ü"));
    list.onConversationListEntryRemoved(&shared, QStringLiteral("Lobby"));
    QCOMPARE(list.count(), 4);
    list.onConversationListEntryRemoved(&plain, QStringLiteral("sip:odd id/ü"));
    list.onConversationListEntryRemoved(&shared, QStringLiteral("lobby"));
    list.onConversationListEntryRemoved(TavriIdentityRealm::getInstance(), builtIn->getSipURI());
    QCOMPARE(names(list), QStringList{"Twin"});
    QTRY_VERIFY(!lobby && !odd);
    // The built-in realm's conversation is the realm's.
    QCOMPARE(TavriIdentityRealm::getInstance()->getConversation(builtIn->getSipURI()), builtIn);
}

void TestConversationList::realmDestroyedRowsGo()
{
    ConversationList list;
    auto realm = std::make_unique<FakeRealm>(QStringLiteral("going"));
    FakeRealm staying(QStringLiteral("staying"));
    list.onConversationListEntryAdded(realm.get(), QStringLiteral("1"), QStringLiteral("One"));
    list.onConversationListEntryAdded(&staying, QStringLiteral("1"), QStringLiteral("Kept"));
    list.onConversationListEntryAdded(realm.get(), QStringLiteral("2"), QStringLiteral("Two"));
    list.addConversation(channel(QStringLiteral("Channel")));
    QCOMPARE(list.count(), 4);

    realm.reset();
    QCOMPARE(names(list), (QStringList{"Channel", "Kept"}));
}

void TestConversationList::swapDestroyAndClear()
{
    FakeRealm realm(QStringLiteral("swap"));
    ConversationList list;
    QAbstractItemModelTester tester(&list);
    auto owned =
        std::make_unique<Conversation>(QStringLiteral("Old"), QStringLiteral("sip:confctl-swapold@d"), QString());
    Conversation replacement(QStringLiteral("New"), QStringLiteral("sip:confctl-swapnew@d"), QString());
    list.addConversation(owned.get());
    list.onConversationListEntryAdded(&realm, QStringLiteral("r"), QStringLiteral("R"));
    QPointer<Conversation> listOwn = list.at(1);

    owned->emitSwapping(&replacement);
    QCOMPARE(list.at(0), &replacement);
    QCOMPARE(list.count(), 2);
    // The replaced object no longer reaches the list.
    owned->setDisplayName(QStringLiteral("Zed"), true);
    QCOMPARE(names(list), (QStringList{"New", "R"}));

    list.addConversation(owned.get());
    QCOMPARE(names(list), (QStringList{"New", "Zed", "R"}));
    owned.reset();
    QCOMPARE(names(list), (QStringList{"New", "R"}));

    list.clear();
    QCOMPARE(list.count(), 0);
    QTRY_VERIFY(!listOwn);
}

void TestConversationList::renameMovesOnce()
{
    ConversationList list;
    QAbstractItemModelTester tester(&list);
    Conversation *parent = channel(QStringLiteral("P"));
    list.addConversation(parent);
    Conversation *a = channel(QStringLiteral("a"), parent);
    for (Conversation *child : {a, channel(QStringLiteral("b"), parent), channel(QStringLiteral("c"), parent),
                                channel(QStringLiteral("d"), parent)})
        list.addConversation(child);
    list.addConversation(channel(QStringLiteral("a-child"), a));
    list.addConversation(channel(QStringLiteral("Z")));
    QCOMPARE(names(list), (QStringList{"P", "a", "a-child", "b", "c", "d", "Z"}));

    QSignalSpy moves(&list, &QAbstractItemModel::rowsMoved);
    QSignalSpy changes(&list, &QAbstractItemModel::dataChanged);
    a->setDisplayName(QStringLiteral("cc"), true);
    QCOMPARE(names(list), (QStringList{"P", "b", "c", "cc", "a-child", "d", "Z"}));
    QCOMPARE(moves.count(), 1);
    // Announced, before the move, for the display role too, which answers the name.
    QVERIFY(!changes.isEmpty());
    QCOMPARE(changes.first().at(0).toModelIndex().row(), 1);
    QCOMPARE(changes.first().at(2).value<QVector<int>>(),
             (QVector<int>{ConversationList::DisplayNameRole, Qt::DisplayRole}));
    QCOMPARE(role(list, 3, Qt::DisplayRole).toString(), QStringLiteral("cc"));

    // Up as well, and a name keeping its place moves nothing.
    a->setDisplayName(QStringLiteral("A"), true);
    QCOMPARE(names(list), (QStringList{"P", "A", "a-child", "b", "c", "d", "Z"}));
    a->setDisplayName(QStringLiteral("Aa"), true);
    QCOMPARE(moves.count(), 2);
}

void TestConversationList::reparentMovesUnderNewParent()
{
    ConversationList list;
    QAbstractItemModelTester tester(&list);
    Conversation *first = channel(QStringLiteral("First"));
    Conversation *second = channel(QStringLiteral("Second"));
    Conversation *moving = channel(QStringLiteral("m"), first);
    Conversation *child = channel(QStringLiteral("c"), moving);
    list.addConversation(first);
    list.addConversation(second);
    list.addConversation(moving);
    list.addConversation(child);
    QCOMPARE(names(list), (QStringList{"First", "m", "c", "Second"}));

    // The moved channel's listed children go with it: left behind, "c" would
    // show as a child of "First".
    moving->setParentConversation(second);
    QCOMPARE(names(list), (QStringList{"First", "Second", "m", "c"}));
    QVERIFY(list.isOpened(second));
    QCOMPARE(role(list, 2, ConversationList::TreeDepthRole).toInt(), 1);
    QCOMPARE(role(list, 3, ConversationList::TreeDepthRole).toInt(), 2);
    QTRY_VERIFY(requestedRoots().contains(rootOf(second)));
}

void TestConversationList::adoptionFollowsParentChanges()
{
    // Rows whose parents are not listed: what a parent inserted later adopts
    // is what they name as their parent now, among the rows still listed.
    ConversationList list;
    QAbstractItemModelTester tester(&list);
    Conversation *oldParent = channel(QStringLiteral("Old"));
    Conversation *newParent = channel(QStringLiteral("New"));
    Conversation *moved = channel(QStringLiteral("m"), oldParent);
    Conversation *dropped = channel(QStringLiteral("d"), newParent);
    Conversation *kept = channel(QStringLiteral("k"), newParent);
    list.addConversation(moved);
    list.addConversation(kept);
    list.addConversation(dropped);
    QCOMPARE(names(list), (QStringList{"d", "k", "m"}));

    moved->setParentConversation(newParent);
    list.removeConversation(dropped);
    list.addConversation(oldParent);
    QCOMPARE(names(list), (QStringList{"k", "m", "Old"}));
    QVERIFY(!list.isOpened(oldParent));

    list.addConversation(newParent);
    QCOMPARE(names(list), (QStringList{"New", "k", "m", "Old"}));
    QVERIFY(list.isOpened(newParent));
    QCOMPARE(role(list, 1, ConversationList::TreeDepthRole).toInt(), 1);
    QCOMPARE(role(list, 2, ConversationList::TreeDepthRole).toInt(), 1);
}

void TestConversationList::outOfRangeRows()
{
    ConversationList list;
    list.addConversation(channel(QStringLiteral("Only")));
    QTest::ignoreMessage(QtCriticalMsg, "Assertion Failure - 'index >= 0 && index < m_conversations.size()'");
    QCOMPARE(list.at(-1), nullptr);
    QTest::ignoreMessage(QtCriticalMsg, "Assertion Failure - 'itemIndex >= 0 && itemIndex < m_conversations.size()'");
    list.expandItem(1);
    QTest::ignoreMessage(QtCriticalMsg, "Assertion Failure - 'itemIndex >= 0 && itemIndex < m_conversations.size()'");
    list.collapseItem(-1);
    QVERIFY(!list.isOpened(list.at(0)));
    QCOMPARE(list.getTreeDepth(nullptr), 0);
}

void TestConversationList::parentCycleHasFiniteDepth()
{
    // Two channel records naming each other as parent: the objects refuse a
    // cycle, but through their URIs the realm's channels still loop.
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Conversation *first = realm->getConversation(QStringLiteral("sip:confctl-cycle1@lists.example"));
    first->setDisplayName(QStringLiteral("first"), true);
    Conversation stand(QStringLiteral("stand-in"), QStringLiteral("sip:confctl-cycle2@lists.example"), QString());
    first->setParentConversation(&stand);
    Conversation *second = realm->getConversation(QStringLiteral("sip:confctl-cycle2@lists.example"));
    QVERIFY(second != &stand);
    second->setDisplayName(QStringLiteral("second"), true);
    second->setParentConversation(first);

    ConversationList list;
    QAbstractItemModelTester tester(&list);
    list.addConversation(first);
    list.addConversation(second);
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.getTreeDepth(first), 1);
    QCOMPARE(list.getTreeDepth(second), 1);
    QCOMPARE(role(list, 0, ConversationList::TreeDepthRole).toInt(), 1);

    // Renaming and closing walk the same loop and end.
    first->setDisplayName(QStringLiteral("renamed"), true);
    QCOMPARE(names(list), (QStringList{"renamed", "second"}));
    list.collapseItem(0, false);
    QCOMPARE(names(list), QStringList{"renamed"});
    first->setParentConversation(nullptr);
}

TAVRI_TEST_MAIN(TestConversationList)
#include "tst_conversationlist.moc"
