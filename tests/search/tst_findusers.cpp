// The find-users windows: the registry's reuse of windows and dialogs, the
// paged user search and its replies, the local friend search, the dampened
// friend clicks, the list actions and closing.
#include <QtTest/QtTest>

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>

#include "calllog.h"
#include "cfindusers.h"
#include "cfindusersdialog.h"
#include "contactstestsupport.h"
#include "conversation.h"
#include "conversationparticipantlist.h"
#include "programwindow.h"
#include "realmidentitylist.h"
#include "shellfixture.h"
#include "signedinuser.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "tavrisharedidentityrealmmanager.h"
#include "voicemanager.h"
#include "websettle.h"

namespace {

const QString kUserSearch = QStringLiteral("GetUserInfoPublicByName");

QJsonObject userRecord(const QString &name)
{
    return QJsonObject{{"UserLiveURI", QStringLiteral("sip:u-%1@voice.test").arg(name.toLower())},
                       {"UserDisplayName", name},
                       {"user_uname", name}};
}

QJsonObject userPage(int first, int count, const QJsonValue &more = QJsonValue(false))
{
    QJsonArray results;
    for (int i = first; i < first + count; ++i)
        results.append(userRecord(QStringLiteral("User%1").arg(i)));
    return QJsonObject{{"results", results}, {"more", more}};
}

QStringList displayNames(RealmIdentityList *list)
{
    QStringList names;
    for (Tavri::RealmUserInterface *identity : list->getIdentityList())
        names.append(identity->getDisplayName());
    return names;
}

} // namespace

class TestFindUsers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void friendsWindowIsReused();
    void listDialogFollowsTheChannel();
    void listTitlesWithoutAChannel();
    void invalidTypeOpensNothing();
    void inviteWindow();
    void searchPages();
    void searchReplies_data();
    void searchReplies();
    void failedSearchEnds();
    void friendSearch_data();
    void friendSearch();
    void friendClicksAreDampened_data();
    void friendClicksAreDampened();
    void inviteTileAlwaysInvites();
    void closedWindowGoesWithItsDialog();
    void pageDrivesTheDialog();
    void usersAlreadyInvitedShowNoInvite();

private:
    CFindUsers *registry() const { return shelltest::application()->findUsers(); }
    CFindUsersDialog *dialog(CFindUsers::FindUserType type) const { return registry()->getDialog(type); }
    QSocialManager *web() const { return QSocialManager::getInstance(); }
    Conversation *channel(int number, const QString &name);
    // Runs a search of `dialog` and waits until its answer has been handled.
    bool search(CFindUsersDialog *dialog, const QString &term, int offset = 0);

    FakeWebService *m_web = nullptr;
};

void TestFindUsers::initTestCase()
{
    m_web = shelltest::start();
    // The web client handles answers only while the user is signed in.
    QVERIFY(signedin::signIn(*m_web, signedin::defaultUri(), signedin::LoginRequest::HeldOpen));
}

void TestFindUsers::cleanupTestCase()
{
    signedin::signOut();
    delete m_web;
    m_web = nullptr;
}

void TestFindUsers::init()
{
    QVERIFY(webtest::settle(*m_web, *web()));
    m_web->clear();
    m_web->setSignInDefaults();
    for (const char *method :
         {"changeFriend", "inviteUserToChannel", "GetChannelInfoWithOwnerInfoFromLiveUID", "getUserByUserLiveURI"})
        m_web->setDefault(QLatin1String(method), QJsonObject());
    m_web->setLookupDefaults();
}

Conversation *TestFindUsers::channel(int number, const QString &name)
{
    Conversation *conversation =
        TavriIdentityRealm::getInstance()->getConversation(QStringLiteral("sip:confctl-%1@voice.test").arg(number));
    conversation->setDisplayName(name, true);
    return conversation;
}

bool TestFindUsers::search(CFindUsersDialog *dialog, const QString &term, int offset)
{
    QSignalSpy searching(dialog, &CFindUsersDialog::isSearchingChanged);
    if (!dialog->searchForUsers(term, false, offset))
        return false;
    // Started and ended; a loaded machine can take long for either.
    return QTest::qWaitFor([&searching] { return searching.count() >= 2; }, 60000) && searching.count() == 2
           && !dialog->getIsSearching();
}

void TestFindUsers::friendsWindowIsReused()
{
    LogCapture capture(LogCapture::ForwardWarnings);
    registry()->showFindUsersForFriends();
    QQuickView *window = registry()->getFindWindow();
    CFindUsersDialog *friends = dialog(CFindUsers::FindUsersForFriends);
    QVERIFY(window && friends);
    QVERIFY(window->isVisible());
    QCOMPARE(window->title(), QStringLiteral("Find friends"));
    QCOMPARE(window->size(), QSize(640, 550));
    QVERIFY(window->rootObject());
    QCOMPARE(ProgramWindow::context(window)->contextProperty("findInstance").value<QObject *>(), friends);
    QCOMPARE(ProgramWindow::context(window)->contextProperty("isInviteFriends").toBool(), false);
    QCOMPARE(ProgramWindow::context(window)->contextProperty("buttonTextAdd").toString(), QStringLiteral("Add"));

    friends->getSearchResults()->addIdentity(
        TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(QStringLiteral("sip:u-zed@voice.test")));
    QSignalSpy titles(friends, &CFindUsersDialog::dialogTitleChanged);
    registry()->showFindUsersForFriends();
    QCOMPARE(registry()->getFindWindow(), window);
    QCOMPARE(dialog(CFindUsers::FindUsersForFriends), friends);
    QCOMPARE(friends->getSearchResults()->getIdentityList().size(), 0);
    QCOMPARE(titles.count(), 1);
    QCOMPARE(titles.at(0).at(0).toString(), QStringLiteral("Find friends"));
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
}

void TestFindUsers::listDialogFollowsTheChannel()
{
    Conversation *a = channel(701, QStringLiteral("Alpha"));
    Conversation *b = channel(702, QStringLiteral("<b>Beta</b>"));
    registry()->showFindUsersForFriends();
    QQuickView *friendsWindow = registry()->getFindWindow();

    LogCapture capture(LogCapture::ForwardWarnings);
    registry()->showFindUsersForAccessList(a);
    QVERIFY(!friendsWindow->isVisible());
    CFindUsersDialog *access = dialog(CFindUsers::FindUsersForAccessList);
    QQuickView *window = registry()->getFindWindow();
    QVERIFY(access && window && window != friendsWindow);
    QCOMPARE(access->getConversation(), a);
    QCOMPARE(window->title(), QStringLiteral("Edit members: Alpha"));

    QSignalSpy conversations(access, &CFindUsersDialog::conversationChanged);
    QList<bool> visibility;
    QObject listening;
    connect(window, &QWindow::visibleChanged, &listening, [&](bool visible) { visibility.append(visible); });
    registry()->showFindUsersForAccessList(b);
    QCOMPARE(dialog(CFindUsers::FindUsersForAccessList), access);
    QCOMPARE(registry()->getFindWindow(), window);
    QCOMPARE(conversations.count(), 1);
    QCOMPARE(conversations.at(0).at(0).value<Conversation *>(), b);
    QCOMPARE(access->getDialogTitle(), QStringLiteral("Edit members: <b>Beta</b>"));
    QCOMPARE(visibility, (QList<bool>{false, true}));
    // The members of the channel are the list the hits are compared with.
    QCOMPARE(access->getUserList(), b->getMembers(false));

    registry()->showFindUsersForBannedList(a);
    QCOMPARE(registry()->getFindWindow()->title(), QStringLiteral("Edit banned users: Alpha"));
    registry()->showFindUsersForModeratorList(a);
    QCOMPARE(registry()->getFindWindow()->title(), QStringLiteral("Edit moderators: Alpha"));
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
}

void TestFindUsers::listTitlesWithoutAChannel()
{
    LogCapture capture;
    registry()->showFindUsersForModeratorList(nullptr);
    QCOMPARE(dialog(CFindUsers::FindUsersForModeratorList)->getDialogTitle(), QStringLiteral("Edit moderators: "));
    QCOMPARE(capture.find(QtCriticalMsg, QStringLiteral("Assertion Failure - 'm_associatedChannel'")).size(), 1);
    QVERIFY(!dialog(CFindUsers::FindUsersForModeratorList)->getUserList());

    // Clicks without a channel change nothing and record nothing.
    capture.clear();
    dialog(CFindUsers::FindUsersForModeratorList)->tileClicked(QString(), QStringLiteral("sip:u-x@voice.test"), true);
    QCOMPARE(capture.find(QtCriticalMsg, QStringLiteral("Assertion Failure - 'm_associatedChannel'")).size(), 1);
    QVERIFY(shelltest::events(capture, QStringLiteral("FindUsers.AddModeratorList")).isEmpty());
}

void TestFindUsers::invalidTypeOpensNothing()
{
    registry()->showFindUsersForFriends();
    QQuickView *current = registry()->getFindWindow();
    LogCapture capture;
    registry()->showFindUsersDialog(static_cast<CFindUsers::FindUserType>(7), nullptr,
                                    CFindUsers::InviteFromFriendsList, nullptr);
    QCOMPARE(
        capture.find(QtDebugMsg, QStringLiteral("CFindUsers::showFindUsersDialog called with invalid type")).size(), 1);
    QCOMPARE(registry()->getFindWindow(), current);
    QVERIFY(current->isVisible());
    QVERIFY(!registry()->getDialog(static_cast<CFindUsers::FindUserType>(7)));
}

void TestFindUsers::inviteWindow()
{
    VoiceManager *voice = VoiceManager::getInstance();
    emit voice->sessionGroupAdded(QStringLiteral("channels"));
    Conversation *speaking = channel(711, QStringLiteral("Speaking"));
    voice->setTransmittingChannel(speaking->getSipURI());
    auto *bob = TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(QStringLiteral("sip:u-bob@voice.test"));

    LogCapture capture(LogCapture::ForwardWarnings);
    registry()->showFindUsersForInviteFriendsToChannel(nullptr, CFindUsers::InviteFromChannel, bob);
    CFindUsersDialog *invite = dialog(CFindUsers::FindUsersForInviteFriendsToChannel);
    QQuickView *window = registry()->getFindWindow();
    QVERIFY(invite && window);
    QCOMPARE(invite->getConversation(), speaking);
    QVERIFY(invite->getSearchResults()->contains(bob));
    QVERIFY(!invite->getCanAddRemove());
    QCOMPARE(window->title(), QStringLiteral("Invite / Join"));
    QQmlContext *context = ProgramWindow::context(window);
    QCOMPARE(context->contextProperty("userRef").value<QObject *>(), bob->getQObject());
    QCOMPARE(context->contextProperty("isInviteFriends").toBool(), true);
    QCOMPARE(context->contextProperty("buttonTextAdd").toString(), QStringLiteral("Invite"));
    QCOMPARE(context->contextProperty("buttonTextRemove").toString(), QString());
    QCOMPARE(invite->getUserList(), speaking->getParticipants()->getInvitedIdentities());

    // Reopened with another method and no user: the first method stays.
    voice->setTransmittingChannel(QString());
    Conversation *other = channel(712, QStringLiteral("Other"));
    registry()->showFindUsersForInviteFriendsToChannel(other, CFindUsers::InviteFromJoinedChannel, nullptr);
    QCOMPARE(dialog(CFindUsers::FindUsersForInviteFriendsToChannel), invite);
    QCOMPARE(invite->getInviteMethod(), CFindUsers::InviteFromChannel);
    QCOMPARE(invite->getConversation(), other);
    QCOMPARE(invite->getSearchResults()->getIdentityList().size(), 0);
    QVERIFY(!context->contextProperty("userRef").value<QObject *>());

    // Nothing transmitting and no channel given: none is associated.
    registry()->showFindUsersForInviteFriendsToChannel(nullptr, CFindUsers::InviteFromFriendsList, nullptr);
    QVERIFY(!invite->getConversation());
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
}

void TestFindUsers::searchPages()
{
    registry()->showFindUsersForFriends();
    CFindUsersDialog *friends = dialog(CFindUsers::FindUsersForFriends);
    QVERIFY(!friends->searchForUsers(QString(), false));
    QVERIFY(!friends->getIsSearching());

    m_web->reply(kUserSearch, userPage(1, 10, true));
    m_web->reply(kUserSearch, userPage(11, 2));
    QVERIFY(search(friends, QStringLiteral("user")));
    FakeWebService::Request request = m_web->requestsFor(kUserSearch).last();
    QCOMPARE(request.value("offset"), QStringLiteral("0"));
    QCOMPARE(request.value("limit"), QStringLiteral("10"));
    QCOMPARE(friends->getSearchTerm(), QStringLiteral("user"));
    QCOMPARE(friends->getSearchResults()->getIdentityList().size(), 10);
    QVERIFY(friends->getHasMoreResults());
    // The page shows the state the dialog set on it.
    QCOMPARE(friends->getView()->rootObject()->property("hasMoreResults").toBool(), true);

    QVERIFY(search(friends, QStringLiteral("user"), 10));
    QCOMPARE(m_web->requestsFor(kUserSearch).last().value("offset"), QStringLiteral("10"));
    const QStringList names = displayNames(friends->getSearchResults());
    QCOMPARE(names.size(), 12);
    QCOMPARE(names.first(), QStringLiteral("User1"));
    QCOMPARE(names.last(), QStringLiteral("User12"));
    QVERIFY(!friends->getHasMoreResults());

    // A new search clears the hits at once.
    m_web->hang(kUserSearch);
    QVERIFY(friends->searchForUsers(QStringLiteral("other"), false));
    QCOMPARE(friends->getSearchResults()->getIdentityList().size(), 0);
    friends->onError(QNetworkReply::OperationCanceledError);
}

void TestFindUsers::searchReplies_data()
{
    QTest::addColumn<QJsonValue>("reply");
    QTest::addColumn<QStringList>("hits");
    QTest::addColumn<bool>("hasMore");

    const QJsonArray one{userRecord("Ann")};
    const QStringList ann{"Ann"};
    QTest::newRow("more t") << QJsonValue(QJsonObject{{"results", one}, {"more", "t"}}) << ann << true;
    QTest::newRow("more true text") << QJsonValue(QJsonObject{{"results", one}, {"more", "true"}}) << ann << true;
    QTest::newRow("more true") << QJsonValue(QJsonObject{{"results", one}, {"more", true}}) << ann << true;
    QTest::newRow("more 1 text") << QJsonValue(QJsonObject{{"results", one}, {"more", "1"}}) << ann << false;
    QTest::newRow("more 1") << QJsonValue(QJsonObject{{"results", one}, {"more", 1}}) << ann << false;
    QTest::newRow("more false") << QJsonValue(QJsonObject{{"results", one}, {"more", false}}) << ann << false;
    QTest::newRow("more missing") << QJsonValue(QJsonObject{{"results", one}}) << ann << false;
    QTest::newRow("results not a list") << QJsonValue(QJsonObject{{"results", userRecord("Ann")}, {"more", true}})
                                        << QStringList() << false;
    QTest::newRow("a bare list") << QJsonValue(one) << ann << false;
    QJsonObject nullUri = userRecord("Nobody");
    nullUri["UserLiveURI"] = QJsonValue();
    QJsonObject me = userRecord("Me");
    me["UserLiveURI"] = "sip:u-me@voice.test";
    QTest::newRow("elements that are no object, no user or the local user are skipped")
        << QJsonValue(QJsonObject{{"results", QJsonArray{7, "x", nullUri, me, userRecord("Ann")}}}) << ann << false;
}

void TestFindUsers::searchReplies()
{
    QFETCH(QJsonValue, reply);
    QFETCH(QStringList, hits);
    QFETCH(bool, hasMore);
    registry()->showFindUsersForFriends();
    CFindUsersDialog *friends = dialog(CFindUsers::FindUsersForFriends);
    m_web->reply(kUserSearch, reply);
    QVERIFY(search(friends, QStringLiteral("ann")));
    QCOMPARE(displayNames(friends->getSearchResults()), hits);
    QCOMPARE(friends->getHasMoreResults(), hasMore);
}

void TestFindUsers::failedSearchEnds()
{
    registry()->showFindUsersForFriends();
    CFindUsersDialog *friends = dialog(CFindUsers::FindUsersForFriends);
    QSignalSpy searching(friends, &CFindUsersDialog::isSearchingChanged);
    m_web->drop(kUserSearch);
    QVERIFY(friends->searchForUsers(QStringLiteral("lost"), false));
    QVERIFY(friends->getView()->rootObject()->property("isSearching").toBool());
    QTRY_COMPARE(searching.count(), 2);
    QCOMPARE(searching.at(1).at(0).toBool(), false);
    QVERIFY(!friends->getIsSearching());
    QCOMPARE(friends->getView()->rootObject()->property("isSearching").toBool(), false);
}

void TestFindUsers::friendSearch_data()
{
    QTest::addColumn<QString>("term");
    QTest::addColumn<bool>("showOffline");
    QTest::addColumn<Tavri::RealmUserInterface::PresenceState>("annaPresence");
    QTest::addColumn<QStringList>("hits");
    using P = Tavri::RealmUserInterface;
    QTest::newRow("online friend of another realm") << "an" << false << P::Online << QStringList{"Anna", "Dan Owner"};
    QTest::newRow("offline is skipped") << "an" << false << P::Offline << QStringList{"Dan Owner"};
    QTest::newRow("offline is kept when asked") << "an" << true << P::Offline << QStringList{"Anna", "Dan Owner"};
    QTest::newRow("unknown presence passes") << "an" << false << P::PresenceUnknown << QStringList{"Anna", "Dan Owner"};
    QTest::newRow("case is ignored") << "ANN" << false << P::Online << QStringList{"Anna"};
    QTest::newRow("the dot is any character") << "a.n" << false << P::Online << QStringList{"Anna"};
    QTest::newRow("an invalid expression finds nothing") << "(" << true << P::Online << QStringList();
}

void TestFindUsers::friendSearch()
{
    QFETCH(QString, term);
    QFETCH(bool, showOffline);
    QFETCH(Tavri::RealmUserInterface::PresenceState, annaPresence);
    QFETCH(QStringList, hits);

    static TestRealm *realm = nullptr;
    static TestUser *anna = nullptr;
    if (!realm) {
        realm = new TestRealm(QStringLiteral("beta"), this);
        anna = realm->user(QStringLiteral("anna"), QStringLiteral("Anna"));
        realm->user(QStringLiteral("bob"), QStringLiteral("Bob"));
        emit TavriSharedIdentityRealmManager::getInstance()->identityRealmAdded(realm);
        emit realm->rosterListReceivedBegin(QStringLiteral("me"));
        for (const char *uuid : {"anna", "bob"})
            emit realm->rosterListEntry(QStringLiteral("me"), QLatin1String(uuid));
        emit realm->rosterListReceivedEnd(QStringLiteral("me"));

        // Friends of the built-in realm also need the term in their
        // description, uid, location or user name.
        TavriIdentityRealm *own = TavriIdentityRealm::getInstance();
        auto *dan = qobject_cast<TavriIdentityRealmUser *>(
            own->requestUserInfoUpdateByURI(QStringLiteral("sip:u-dan@voice.test"))->getQObject());
        auto *hana = qobject_cast<TavriIdentityRealmUser *>(
            own->requestUserInfoUpdateByURI(QStringLiteral("sip:u-kiri@voice.test"))->getQObject());
        QVERIFY(dan && hana);
        // Display names apart from user names.
        StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyShowCustomDisplayNames, true);
        dan->setDisplayName(QStringLiteral("Dan Owner"));
        dan->setUname(QStringLiteral("dowd"));
        dan->setLocation(QStringLiteral("Ghana"));
        hana->setDisplayName(QStringLiteral("Hanan"));
        hana->setUname(QStringLiteral("kiri"));
        hana->setDescription(QStringLiteral("<i>an</i>"));
        for (TavriIdentityRealmUser *user : {dan, hana})
            user->setPresenceState(Tavri::RealmUserInterface::Online, true);
        emit own->rosterListReceivedBegin(QStringLiteral("me"));
        for (const char *uuid : {"sip:u-dan@voice.test", "sip:u-kiri@voice.test"})
            emit own->rosterListEntry(QStringLiteral("me"), QLatin1String(uuid));
        emit own->rosterListReceivedEnd(QStringLiteral("me"));
    }
    anna->setPresence(annaPresence);

    registry()->showFindUsersForFriends();
    CFindUsersDialog *friends = dialog(CFindUsers::FindUsersForFriends);
    QSignalSpy searching(friends, &CFindUsersDialog::isSearchingChanged);
    friends->searchForFriends(term, showOffline);
    QStringList found = displayNames(friends->getSearchResults());
    found.sort();
    QCOMPARE(found, hits);
    QCOMPARE(searching.count(), 0);
}

void TestFindUsers::friendClicksAreDampened_data()
{
    QTest::addColumn<QList<bool>>("clicks");
    QTest::addColumn<QString>("event");
    QTest::newRow("remove then add") << QList<bool>{false, true} << "FindUsers.AddFriendList";
    QTest::newRow("add then remove") << QList<bool>{true, false} << "FindUsers.RemoveFriendList";
}

void TestFindUsers::friendClicksAreDampened()
{
    QFETCH(QList<bool>, clicks);
    QFETCH(QString, event);
    registry()->showFindUsersForFriends();
    CFindUsersDialog *friends = dialog(CFindUsers::FindUsersForFriends);
    const QString uri = QStringLiteral("sip:u-carl@voice.test");
    LogCapture capture;
    for (bool add : clicks)
        friends->tileClicked(QString(), uri, add);
    // Nothing happens at click time.
    QVERIFY(shelltest::events(capture, event).isEmpty());

    QTRY_COMPARE(shelltest::events(capture, event).size(), 1);
    QCOMPARE(shelltest::events(capture, event).first(), QStringLiteral("(\"remoteUserUri:%1\")").arg(uri));
    QVERIFY(webtest::settle(*m_web, *web()));
    QCOMPARE(shelltest::events(capture, QStringLiteral("FindUsers.AddFriendList")).size()
                 + shelltest::events(capture, QStringLiteral("FindUsers.RemoveFriendList")).size(),
             1);
    const QList<FakeWebService::Request> changes = m_web->requestsFor(QStringLiteral("changeFriend"));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.first().value("friendUID"), uri);
    QCOMPARE(changes.first().value("setIsFriend"), clicks.last() ? QStringLiteral("1") : QStringLiteral("0"));

    // A click still pending when the window closes is passed on then.
    capture.clear();
    friends->tileClicked(QString(), uri, true);
    friends->flush();
    QCOMPARE(shelltest::events(capture, QStringLiteral("FindUsers.AddFriendList")).size(), 1);
}

void TestFindUsers::inviteTileAlwaysInvites()
{
    Conversation *target = channel(721, QStringLiteral("Target"));
    registry()->showFindUsersForInviteFriendsToChannel(target, CFindUsers::InviteFromChannel, nullptr);
    CFindUsersDialog *invite = dialog(CFindUsers::FindUsersForInviteFriendsToChannel);
    LogCapture capture;
    invite->tileClicked(target->getSipURI(), QStringLiteral("sip:u-dora@voice.test"), false);
    QCOMPARE(
        shelltest::events(capture, QStringLiteral("FindUsers.RemoveInviteToChannel")),
        QStringList{QStringLiteral("(\"remoteUserUri:sip:u-dora@voice.test\", \"u:%1\")").arg(target->getSipURI())});
    QVERIFY(webtest::settle(*m_web, *web()));
    const QList<FakeWebService::Request> invites = m_web->requestsFor(QStringLiteral("inviteUserToChannel"));
    QCOMPARE(invites.size(), 1);

    // Without a channel there is nobody to invite into.
    registry()->showFindUsersForInviteFriendsToChannel(nullptr, CFindUsers::InviteFromChannel, nullptr);
    capture.clear();
    invite->tileClicked(QString(), QStringLiteral("sip:u-dora@voice.test"), true);
    QCOMPARE(capture.find(QtCriticalMsg, QStringLiteral("Assertion Failure - 'm_associatedChannel'")).size(), 1);
    QVERIFY(shelltest::events(capture, QStringLiteral("FindUsers.AddInviteFriendsToChannel")).isEmpty());
}

void TestFindUsers::closedWindowGoesWithItsDialog()
{
    Conversation *a = channel(731, QStringLiteral("Closing"));
    registry()->showFindUsersForBannedList(a);
    QPointer<CFindUsersDialog> ban = dialog(CFindUsers::FindUsersForBannedList);
    QPointer<QQuickView> window = registry()->getFindWindow();
    QVERIFY(ban && window);
    window->close();
    QVERIFY(!registry()->getFindWindow());
    QVERIFY(!dialog(CFindUsers::FindUsersForBannedList));
    QTRY_VERIFY(ban.isNull() && window.isNull());

    registry()->showFindUsersForBannedList(a);
    QVERIFY(dialog(CFindUsers::FindUsersForBannedList));
    QVERIFY(registry()->getFindWindow());

    // A window closed because its channel went is built anew too.
    Conversation *gone =
        new Conversation(QStringLiteral("Gone"), QStringLiteral("sip:confctl-732@voice.test"), QStringLiteral("732"));
    registry()->showFindUsersForAccessList(gone);
    QPointer<CFindUsersDialog> access = dialog(CFindUsers::FindUsersForAccessList);
    delete gone;
    QVERIFY(!access || !access->getConversation());
    registry()->showFindUsersForAccessList(a);
    QVERIFY(dialog(CFindUsers::FindUsersForAccessList));
    QCOMPARE(dialog(CFindUsers::FindUsersForAccessList)->getConversation(), a);
    QVERIFY(dialog(CFindUsers::FindUsersForAccessList)->getView());
}

void TestFindUsers::pageDrivesTheDialog()
{
    LogCapture capture(LogCapture::ForwardWarnings);
    registry()->showFindUsersForFriends();
    CFindUsersDialog *friends = dialog(CFindUsers::FindUsersForFriends);
    QQuickItem *page = friends->getView()->rootObject();
    QVERIFY(page);
    page->findChild<QObject *>(QStringLiteral("searchField"))->setProperty("text", " pat ");
    m_web->reply(kUserSearch, userPage(40, 3));
    QSignalSpy searching(friends, &CFindUsersDialog::isSearchingChanged);
    QVERIFY(QMetaObject::invokeMethod(page, "search"));
    QTRY_COMPARE(searching.count(), 2);
    const FakeWebService::Request request = m_web->requestsFor(kUserSearch).last();
    QCOMPARE(request.value("name"), QStringLiteral("pat"));
    QCOMPARE(request.value("offset"), QStringLiteral("0"));
    QCOMPARE(request.value("limit"), QStringLiteral("10"));
    QTRY_COMPARE(page->findChild<QQuickItem *>(QStringLiteral("searchResults"))->property("count").toInt(), 3);

    // A tile's click, still pending when the window's close button is
    // used, is passed on then.
    const QVariantMap row{{"sipURI", "sip:u-user40@voice.test"}, {"displayName", "User40"}, {"isContact", false}};
    QVERIFY(QMetaObject::invokeMethod(page, "clicked", Q_ARG(QVariant, row)));
    QVERIFY(QMetaObject::invokeMethod(page, "close", Q_ARG(QVariant, QStringLiteral("Click"))));
    QCOMPARE(shelltest::events(capture, QStringLiteral("FindUsers.AddFriendList")),
             QStringList{QStringLiteral("(\"remoteUserUri:sip:u-user40@voice.test\")")});
    QCOMPARE(page->findChild<QObject *>(QStringLiteral("statusLine"))->property("text").toString(),
             QStringLiteral("User40 added"));
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
}

void TestFindUsers::usersAlreadyInvitedShowNoInvite()
{
    // User41 is invited to the channel already; the page checks its results
    // against the channel's invitations.
    LogCapture capture(LogCapture::ForwardWarnings);
    Conversation *target = channel(731, QStringLiteral("Invited"));
    Tavri::RealmUserInterface *invited =
        TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(QStringLiteral("sip:u-user41@voice.test"));
    QVERIFY(invited);
    target->getParticipants()->addInvitedParticipant(invited);
    QVERIFY(target->getParticipants()->getInvitedIdentities()->contains(invited));
    registry()->showFindUsersForInviteFriendsToChannel(target, CFindUsers::InviteFromChannel, nullptr);
    CFindUsersDialog *invite = dialog(CFindUsers::FindUsersForInviteFriendsToChannel);
    QQuickItem *page = invite->getView()->rootObject();
    QVERIFY(page);
    page->findChild<QObject *>(QStringLiteral("searchField"))->setProperty("text", QStringLiteral("user"));
    // Users as the service gives them, each with an id of its own.
    QJsonArray records;
    for (int i = 40; i < 43; ++i) {
        QJsonObject record = userRecord(QStringLiteral("User%1").arg(i));
        record.insert(QStringLiteral("UserSocialUID"), QString::number(900 + i));
        records.append(record);
    }
    m_web->reply(kUserSearch, QJsonObject{{"results", records}, {"more", false}});
    QSignalSpy searching(invite, &CFindUsersDialog::isSearchingChanged);
    QVERIFY(QMetaObject::invokeMethod(page, "search"));
    QTRY_COMPARE_WITH_TIMEOUT(searching.count(), 2, 60000);
    QQuickItem *results = page->findChild<QQuickItem *>(QStringLiteral("searchResults"));
    QTRY_COMPARE(results->property("count").toInt(), 3);

    // Each tile's button, by the tile's user name (tiles are items of the
    // view, found through the item tree).
    const std::function<void(QQuickItem *, QList<QQuickItem *> &)> tiles = [&](QQuickItem *item,
                                                                               QList<QQuickItem *> &found) {
        for (QQuickItem *child : item->childItems()) {
            if (child->objectName() == QLatin1String("userTile"))
                found.append(child);
            tiles(child, found);
        }
    };
    QList<QQuickItem *> shown;
    QTRY_VERIFY((shown.clear(), tiles(results, shown), shown.size() == 3));
    QMap<QString, QQuickItem *> buttons;
    for (QQuickItem *tile : shown) {
        const QString name = tavritest::findItem(tile, QStringLiteral("userName"))->property("text").toString();
        buttons.insert(name, tavritest::findItem(tile, QStringLiteral("tileButton")));
    }
    QCOMPARE(buttons.keys(), (QStringList{"User40", "User41", "User42"}));
    QVERIFY(!buttons.value(QStringLiteral("User41"))->isVisible());
    for (const QString &name : {QStringLiteral("User40"), QStringLiteral("User42")}) {
        QVERIFY2(buttons.value(name)->isVisible(), qPrintable(name));
        QCOMPARE(buttons.value(name)->property("text").toString(), QStringLiteral("Invite"));
    }
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
}

TAVRI_SHELL_TEST_MAIN(TestFindUsers, "Ostrel:tavri-findusers")
#include "tst_findusers.moc"
