// The local user's notifications (loading the stored ones, refreshing them
// from the web service, the desktop alerts for new ones, marking them) and
// the web requests it makes for the user, against the fake web service.

#include "conversation.h"
#include "localusertestsupport.h"
#include "logcapture.h"
#include "notification.h"
#include "notificationlist.h"
#include "tavriidentityrealm.h"
#include "testenvironment.h"
#include "websettle.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtTest>

#include <functional>

namespace {

QDateTime at(int seconds)
{
    return QDateTime::fromMSecsSinceEpoch(1500000000000LL + seconds * 1000LL);
}

// One notification record as the web service sends it.
QJsonObject record(const QString &uid, int type, int state, int sentAtSeconds)
{
    return QJsonObject{{"NotificationUID", uid},
                       {"FromUserSocialUID", "uid-ann"},
                       {"UserDisplayName", "Ann"},
                       {"Type", QString::number(type)},
                       {"State", QString::number(state)},
                       {"SentAtMSecsFromEpoch", QString::number(at(sentAtSeconds).toMSecsSinceEpoch())}};
}

using Operation = std::function<void(LocalUser *)>;

} // namespace

Q_DECLARE_METATYPE(Operation)

class LocalUserNotifTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void refreshAsksSinceTheHighestUid();
    void anotherUserStartsFromZero();
    void storedNotificationsShowThenFollowTheService();
    void alerts_data();
    void alerts();
    void recordsMissingKeys();
    void markOneOrSome();
    void markAll_data();
    void markAll();
    void unknownStatesAreRefused();
    void invitationsByEmail_data();
    void invitationsByEmail();
    void friends();
    void friendsNeedAnIdentity();
    void defaultChannelBecomesFavorite();
    void webRequests_data();
    void webRequests();

private:
    // Signs in as a user of its own, so that its database starts empty.
    void signInFresh();
    FakeWebService &web() { return m_user->web(); }
    // Every web call posted so far is answered and handled.
    bool webSettled() { return webtest::settle(web(), *QSocialManager::getInstance()); }
    NotificationList *list() { return m_user->local()->getNotificationList(); }
    // A record as the web service's parser hands it to the list.
    void receive(const QString &uid, int type, int state, const QString &from = QStringLiteral("uid-ann"),
                 const QString &channelUID = QString(), int sentAtSeconds = 0);
    TavriIdentityRealmUser *user(const QString &uid, const QString &name);
    Conversation *channel(const QString &sipURI, const QString &channelUID, const QString &name);
    // Waits until more than `before` requests of method have arrived and
    // returns the first of the new ones.
    FakeWebService::Request after(const QString &method, int before);
    int count(const QString &method) { return web().requestsFor(method).size(); }
    // Whether a request of method with field = value has arrived.
    bool hasRequest(const QString &method, const QString &field, const QString &value);

    localusertest::SignedInUser *m_user = nullptr;
    int m_users = 0;
};

void LocalUserNotifTest::initTestCase()
{
    localusertest::useScriptedInput();
    m_user = new localusertest::SignedInUser;
}

void LocalUserNotifTest::cleanupTestCase()
{
    delete m_user;
    m_user = nullptr;
}

void LocalUserNotifTest::init()
{
    const QJsonObject ok{{"status", "OK"}};
    for (const char *method : {"getUserBySocialUID", "GetChannelInfo", "GetChannelInfoWithOwnerInfoFromLiveUID",
                               "UpdateNotifications", "AcceptInvitation", "changeFriend", "InviteUsersViaEmail",
                               "RequestIssue", "SetUserCustomInfo", "SetUserImage", "changeChannelFavorite"})
        web().setDefault(QString::fromLatin1(method), ok);
    web().setLookupDefaults();
    StorageManager *storage = StorageManager::getInstance();
    storage->setSettingsValue(StorageManager::SettingsKeyPopupsFriendRequest, QStringLiteral("true"));
    storage->setSettingsValue(StorageManager::SettingsKeyPopupsChannelInvite, QStringLiteral("true"));
    signInFresh();
}

void LocalUserNotifTest::cleanup()
{
    m_user->signOut();
}

void LocalUserNotifTest::signInFresh()
{
    const QStringList signInMethods{"GetChannelsOwned", "getChannelFavoritesList", "GetNotificationsSince"};
    QList<int> before;
    for (const QString &method : signInMethods)
        before.append(count(method));
    m_user->signIn(QStringLiteral("sip:u-notif%1@voice.test").arg(++m_users));
    QVERIFY(m_user->identity());
    m_user->identity()->setUid(QStringLiteral("uid-me%1").arg(m_users));
    // The sign-in's own requests have arrived before a test makes its own.
    for (int i = 0; i < signInMethods.size(); ++i)
        QTRY_VERIFY(count(signInMethods.at(i)) > before.at(i));
}

void LocalUserNotifTest::receive(const QString &uid, int type, int state, const QString &from,
                                 const QString &channelUID, int sentAtSeconds)
{
    list()->onNotificationReceived(uid, from, QStringLiteral("web name"), channelUID, QStringLiteral("web channel"),
                                   QString::number(type), QString::number(state), at(sentAtSeconds), QString(),
                                   QString(), QString());
}

TavriIdentityRealmUser *LocalUserNotifTest::user(const QString &uid, const QString &name)
{
    auto *realmUser =
        qobject_cast<TavriIdentityRealmUser *>(TavriIdentityRealm::getInstance()->getRealmUser(uid)->getQObject());
    realmUser->setUname(name);
    return realmUser;
}

Conversation *LocalUserNotifTest::channel(const QString &sipURI, const QString &channelUID, const QString &name)
{
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(sipURI);
    conversation->setChannelUID(channelUID);
    conversation->setDisplayName(name, true);
    return conversation;
}

FakeWebService::Request LocalUserNotifTest::after(const QString &method, int before)
{
    if (!QTest::qWaitFor([&] { return count(method) > before; }, 5000))
        return FakeWebService::Request();
    return web().requestsFor(method).at(before);
}

bool LocalUserNotifTest::hasRequest(const QString &method, const QString &field, const QString &value)
{
    for (const FakeWebService::Request &request : web().requestsFor(method)) {
        if (request.value(field) == value)
            return true;
    }
    return false;
}

void LocalUserNotifTest::refreshAsksSinceTheHighestUid()
{
    // Nothing stored and nothing listed: everything since the start.
    QTRY_VERIFY(hasRequest("GetNotificationsSince", "SinceNotificationUID", "0"));

    receive(QStringLiteral("9"), Notification::NotificationTypeFriended, Notification::NotificationStateRead);
    receive(QStringLiteral("40"), Notification::NotificationTypeFriended, Notification::NotificationStateRead);
    receive(QStringLiteral("12"), Notification::NotificationTypeFriended, Notification::NotificationStateRead);
    m_user->local()->onPollForNotifications();
    QTRY_VERIFY(hasRequest("GetNotificationsSince", "SinceNotificationUID", "40"));
    // A poll keeps the listed notifications.
    QCOMPARE(list()->rowCount(), 3);
}

void LocalUserNotifTest::anotherUserStartsFromZero()
{
    receive(QStringLiteral("900"), Notification::NotificationTypeFriended, Notification::NotificationStateRead);
    m_user->signOut();
    QCOMPARE(list()->rowCount(), 0);
    const int before = count("GetNotificationsSince");

    signInFresh();
    QCOMPARE(after("GetNotificationsSince", before).value("SinceNotificationUID"), QStringLiteral("0"));
}

void LocalUserNotifTest::storedNotificationsShowThenFollowTheService()
{
    const QString uri = m_user->local()->getSipURI();
    receive(QStringLiteral("5"), Notification::NotificationTypeFriended, Notification::NotificationStateUnread,
            QStringLiteral("uid-ann"), QString(), 10);
    receive(QStringLiteral("7"), Notification::NotificationTypeUnfriended, Notification::NotificationStateRead,
            QStringLiteral("uid-ann"), QString(), 20);
    m_user->signOut();
    QCOMPARE(list()->rowCount(), 0);

    // The service answers the stored uids only later: the stored records
    // show meanwhile, with their stored states.
    web().reply("GetNotifications",
                QJsonObject{{"v", QJsonArray{record("5", Notification::NotificationTypeFriended,
                                                    Notification::NotificationStateDeleteRequested, 10)}}},
                300);
    QSignalSpy alerts(m_user->local(), &LocalUser::notificationReceived);
    const int refreshes = count("GetNotifications");
    m_user->signIn(uri);
    QCOMPARE(list()->getNotificationUIDs(), (QStringList{"7", "5"}));
    QCOMPARE(list()->at(0)->getState(), Notification::NotificationStateRead);
    QCOMPARE(list()->at(1)->getState(), Notification::NotificationStateUnread);
    QCOMPARE(after("GetNotifications", refreshes).value("NotificationUIDs"), QStringLiteral("7,5"));
    QTRY_VERIFY(hasRequest("GetNotificationsSince", "SinceNotificationUID", "7"));

    // The service has deleted 5 meanwhile.
    QTRY_COMPARE(list()->getNotificationUIDs(), QStringList{"7"});
    // The unread stored one was announced again as it came back.
    QCOMPARE(alerts.count(), 1);
}

void LocalUserNotifTest::alerts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("from");
    // "" none, "lobby" a known permanent channel, "group" a group chat with a
    // channel id, anything else a channel id nobody knows.
    QTest::addColumn<QString>("channel");
    QTest::addColumn<bool>("popups");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("channelURI");

    const int unread = Notification::NotificationStateUnread;
    const int read = Notification::NotificationStateRead;
    const int friended = Notification::NotificationTypeFriended;
    const int invite = Notification::NotificationTypeChannelInvite;
    const QString lobby = QStringLiteral("sip:confctl-77@voice.test");

    QTest::newRow("friended") << friended << unread << "uid-ann"
                              << "" << true << "Ann has added you as a friend"
                              << "";
    QTest::newRow("unfriended") << int(Notification::NotificationTypeUnfriended) << unread << "uid-ann"
                                << "" << true << "Ann has removed you as a friend"
                                << "";
    QTest::newRow("friended, read") << friended << read << "uid-ann"
                                    << "" << true << ""
                                    << "";
    QTest::newRow("friended, popups off") << friended << unread << "uid-ann"
                                          << "" << false << ""
                                          << "";
    QTest::newRow("friended by an unknown sender") << friended << unread << ""
                                                   << "" << true << "web name has added you as a friend"
                                                   << "";
    QTest::newRow("invitation") << invite << unread << "uid-ann"
                                << "lobby" << true << "Ann has invited you to Lobby.  Click to join the channel now."
                                << lobby;
    QTest::newRow("invitation into a group chat")
        << invite << unread << "uid-ann"
        << "group" << true << "Ann has invited you to Open private chat.  Click to join the channel now."
        << "sip:confctl-g-feed@voice.test";
    QTest::newRow("invitation to an unknown channel")
        << invite << unread << "uid-ann"
        << "555" << true << "Ann has invited you to 555.  Click to join the channel now."
        << "";
    QTest::newRow("invitation, read") << invite << read << "uid-ann"
                                      << "lobby" << true << ""
                                      << "";
    QTest::newRow("invitation, popups off") << invite << unread << "uid-ann"
                                            << "lobby" << false << ""
                                            << "";
    QTest::newRow("channel share") << int(Notification::NotificationTypeChannelShare) << unread << "uid-ann"
                                   << "lobby" << true << ""
                                   << "";
    QTest::newRow("system message") << int(Notification::NotificationTypeSystem) << unread << "uid-ann"
                                    << "" << true << ""
                                    << "";
}

void LocalUserNotifTest::alerts()
{
    QFETCH(int, type);
    QFETCH(int, state);
    QFETCH(QString, from);
    QFETCH(QString, channel);
    QFETCH(bool, popups);
    QFETCH(QString, text);
    QFETCH(QString, channelURI);
    user(QStringLiteral("uid-ann"), QStringLiteral("Ann"));
    QString channelUID;
    if (channel == QLatin1String("lobby")) {
        channelUID = QStringLiteral("77");
        this->channel(QStringLiteral("sip:confctl-77@voice.test"), channelUID, QStringLiteral("Lobby"));
    } else if (channel == QLatin1String("group")) {
        channelUID = QStringLiteral("78");
        this->channel(QStringLiteral("sip:confctl-g-feed@voice.test"), channelUID, QString());
    } else {
        channelUID = channel;
    }
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyPopupsFriendRequest,
                                                    popups ? QStringLiteral("true") : QStringLiteral("false"));
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyPopupsChannelInvite,
                                                    popups ? QStringLiteral("true") : QStringLiteral("false"));
    QSignalSpy alerts(m_user->local(), &LocalUser::notificationReceived);

    receive(QStringLiteral("31"), type, state, from, channelUID);

    QCOMPARE(list()->rowCount(), 1);
    if (text.isEmpty()) {
        QCOMPARE(alerts.count(), 0);
    } else {
        QCOMPARE(alerts.count(), 1);
        QCOMPARE(alerts.first(), (QVariantList{text, channelURI}));
    }
    // A channel nobody knows is looked up at the web service.
    if (channel == QLatin1String("555"))
        QTRY_VERIFY(hasRequest("GetChannelInfo", "ChannelSocialUID", "555"));
}

void LocalUserNotifTest::recordsMissingKeys()
{
    QSignalSpy alerts(m_user->local(), &LocalUser::notificationReceived);
    // The sign-in's own refresh has had its answer.
    QTRY_VERIFY(hasRequest("GetNotificationsSince", "SinceNotificationUID", "0"));
    const int unread = Notification::NotificationStateUnread;
    QJsonObject noType = record("61", Notification::NotificationTypeFriended, unread, 0);
    noType.remove("Type");
    QJsonObject noState = record("62", Notification::NotificationTypeFriended, unread, 0);
    noState.remove("State");
    QJsonObject noSender = record("63", Notification::NotificationTypeChannelInvite, unread, 0);
    noSender.remove("FromUserSocialUID");
    noSender.remove("UserDisplayName");
    web().reply("GetNotificationsSince", QJsonObject{{"v", QJsonArray{QJsonObject(), noType, noState, noSender, 7}}});

    m_user->local()->getNotificationList(true);

    // Only the record with a type and a state is listed; without a sender or
    // a channel its alert still reads as a sentence.
    QTRY_COMPARE(list()->getNotificationUIDs(), QStringList{"63"});
    QCOMPARE(alerts.count(), 1);
    QCOMPARE(alerts.first(),
             (QVariantList{QStringLiteral("Someone has invited you to a conversation.  Click to join the channel now."),
                           QString()}));
}

void LocalUserNotifTest::markOneOrSome()
{
    for (int uid = 1; uid <= 4; ++uid)
        receive(QString::number(uid), Notification::NotificationTypeSystem, Notification::NotificationStateUnread,
                QStringLiteral("uid-ann"), QString(), uid);
    LocalUser *local = m_user->local();
    const int updates = count("UpdateNotifications");
    const int accepts = count("AcceptInvitation");

    local->requestMarkNotification(QStringLiteral("4"), Notification::NotificationStateRead);
    FakeWebService::Request request = after("UpdateNotifications", updates);
    QCOMPARE(request.value("NotificationUIDs"), QStringLiteral("4"));
    QCOMPARE(request.value("State"), QStringLiteral("2"));
    // Read travels to the service; the row follows the service's record.
    QCOMPARE(list()->rowCount(), 4);

    local->requestMarkNotification(QStringLiteral("3"), Notification::NotificationStateDeleteRequested, true);
    QCOMPARE(list()->getNotificationUIDs(), (QStringList{"4", "2", "1"}));
    request = after("UpdateNotifications", updates + 1);
    QCOMPARE(request.value("NotificationUIDs"), QStringLiteral("3"));
    QCOMPARE(request.value("State"), QStringLiteral("3"));
    QCOMPARE(after("AcceptInvitation", accepts).value("NotificationUID"), QStringLiteral("3"));

    local->requestMarkNotifications({QStringLiteral("1"), QStringLiteral("2")},
                                    Notification::NotificationStateDeleteRequested);
    QCOMPARE(list()->getNotificationUIDs(), QStringList{"4"});
    request = after("UpdateNotifications", updates + 2);
    QCOMPARE(request.value("NotificationUIDs"), QStringLiteral("1,2"));
    QCOMPARE(request.value("State"), QStringLiteral("3"));
    // Removed by the user, not by the service: no second update per row.
    local->requestRefreshOwnedChannels();
    QTRY_VERIFY(count("GetChannelsOwned") > 0);
    QVERIFY(webSettled());
    QCOMPARE(count("UpdateNotifications"), updates + 3);
}

void LocalUserNotifTest::markAll_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("unread");

    QTest::newRow("read") << int(Notification::NotificationStateRead) << 3 << 0;
    QTest::newRow("unread") << int(Notification::NotificationStateUnread) << 3 << 3;
    QTest::newRow("deleted") << int(Notification::NotificationStateDeleteRequested) << 0 << 0;
}

void LocalUserNotifTest::markAll()
{
    QFETCH(int, state);
    QFETCH(int, rows);
    QFETCH(int, unread);
    receive(QStringLiteral("1"), Notification::NotificationTypeSystem, Notification::NotificationStateUnread,
            QStringLiteral("uid-ann"), QString(), 1);
    receive(QStringLiteral("2"), Notification::NotificationTypeSystem, Notification::NotificationStateRead,
            QStringLiteral("uid-ann"), QString(), 2);
    receive(QStringLiteral("3"), Notification::NotificationTypeSystem, Notification::NotificationStateUnread,
            QStringLiteral("uid-ann"), QString(), 3);

    const int updates = count("UpdateNotifications");

    m_user->local()->requestMarkAllNotifications(state);

    const FakeWebService::Request request = after("UpdateNotifications", updates);
    QCOMPARE(request.value("NotificationUIDs"), QStringLiteral("3,2,1"));
    QCOMPARE(request.value("State"), QString::number(state));
    QCOMPARE(list()->rowCount(), rows);
    QCOMPARE(list()->getUnreadNotificationCount(), unread);
}

void LocalUserNotifTest::unknownStatesAreRefused()
{
    receive(QStringLiteral("1"), Notification::NotificationTypeSystem, Notification::NotificationStateUnread);
    LocalUser *local = m_user->local();
    const int updates = count("UpdateNotifications");
    const int accepts = count("AcceptInvitation");
    const int owned = count("GetChannelsOwned");

    local->requestMarkNotification(QStringLiteral("1"), 4, true);
    local->requestMarkNotifications({QStringLiteral("1")}, -1);
    local->requestMarkAllNotifications(99);

    QCOMPARE(list()->rowCount(), 1);
    QCOMPARE(list()->at(0)->getState(), Notification::NotificationStateUnread);
    // A request that does go out arrives after any refused one would have.
    local->requestRefreshOwnedChannels();
    after("GetChannelsOwned", owned);
    QVERIFY(webSettled());
    QCOMPARE(count("UpdateNotifications"), updates);
    QCOMPARE(count("AcceptInvitation"), accepts);
}

void LocalUserNotifTest::invitationsByEmail_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("channelUri");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("channelUID");

    QTest::newRow("only addresses kept, in order")
        << QStringList{"ann@example.org",   "not an address", "o'neil.x+y@mail.example.co.uk", "bob@localhost", "",
                       "eve@example.org\n", "dan@example.org"}
        << ""
        << "ann@example.org,o'neil.x+y@mail.example.co.uk,dan@example.org"
        << "";
    QTest::newRow("none kept, still sent") << QStringList{"nobody", "@example.org"} << ""
                                           << ""
                                           << "";
    QTest::newRow("into a channel") << QStringList{"ann@example.org"} << "sip:confctl-77@voice.test"
                                    << "ann@example.org"
                                    << "77";
    QTest::newRow("a long address") << QStringList{QString(5000, QLatin1Char('a')) + "@example.org."} << ""
                                    << ""
                                    << "";
}

void LocalUserNotifTest::invitationsByEmail()
{
    QFETCH(QStringList, addresses);
    QFETCH(QString, channelUri);
    QFETCH(QString, to);
    QFETCH(QString, channelUID);
    if (!channelUri.isEmpty())
        channel(channelUri, channelUID, QStringLiteral("Lobby"));

    const int before = count("InviteUsersViaEmail");

    m_user->local()->requestInviteUsersViaEmail(addresses, QStringLiteral("come along"), channelUri);

    const FakeWebService::Request request = after("InviteUsersViaEmail", before);
    QCOMPARE(request.value("to"), to);
    QCOMPARE(request.value("customMessage"), QStringLiteral("come along"));
    QCOMPARE(request.value("channelUID"), channelUID);
    QCOMPARE(request.has("channelUID"), !channelUID.isEmpty());
}

void LocalUserNotifTest::friends()
{
    const QString uri = QStringLiteral("sip:u-fred@voice.test");
    LocalUser *local = m_user->local();
    const int before = count("changeFriend");

    local->requestAddFriend(uri);
    FakeWebService::Request request = after("changeFriend", before);
    // A user first met by URI goes by the URI until the service names it.
    QCOMPARE(request.value("friendUID"), uri);
    QCOMPARE(request.value("setIsFriend"), QStringLiteral("1"));

    local->requestRemoveFriend(uri);
    request = after("changeFriend", before + 1);
    QCOMPARE(request.value("friendUID"), uri);
    QCOMPARE(request.value("setIsFriend"), QStringLiteral("0"));
}

void LocalUserNotifTest::defaultChannelBecomesFavorite()
{
    QSocialManager *social = QSocialManager::getInstance();
    const QString channelURI = QStringLiteral("sip:confctl-77@voice.test");
    const int before = count("changeChannelFavorite");

    emit social->defaultChannelReceived(channelURI, QStringLiteral("77"), QStringLiteral("Home"));
    // The web service is told of the new favourite, and its answer sets it.
    QCOMPARE(after("changeChannelFavorite", before).value("isFav"), QStringLiteral("1"));
    Conversation *channel = TavriIdentityRealm::getInstance()->getConversation(channelURI);
    QTRY_VERIFY(channel->getIsFavorite());

    // A default channel without an address changes nothing.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("onDefaultChannelReceived.*no channel"));
    emit social->defaultChannelReceived(QString(), QStringLiteral("78"), QStringLiteral("Nowhere"));
    QVERIFY(webSettled());
    QCOMPARE(count("changeChannelFavorite"), before + 1);
}

void LocalUserNotifTest::friendsNeedAnIdentity()
{
    m_user->signOut();
    const int before = count("changeFriend");
    const int owned = count("GetChannelsOwned");
    LogCapture capture(LogCapture::ForwardWarnings);

    m_user->local()->requestAddFriend(QStringLiteral("sip:u-gus@voice.test"));
    m_user->local()->requestRemoveFriend(QStringLiteral("sip:u-gus@voice.test"));

    QCOMPARE(capture.matching(QStringLiteral("Assertion Failure - 'localUserIdentity'")).size(), 2);
    m_user->local()->requestRefreshOwnedChannels();
    after("GetChannelsOwned", owned);
    QVERIFY(webSettled());
    QCOMPARE(count("changeFriend"), before);
    signInFresh();
}

void LocalUserNotifTest::webRequests_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("favourites") << Operation([](LocalUser *l) { l->requestRefreshFavorites(); })
                                << "getChannelFavoritesList" << QStringList();
    QTest::newRow("favourites, slot") << Operation([](LocalUser *l) { l->onRefreshFavoriteChannel(); })
                                      << "getChannelFavoritesList" << QStringList();
    QTest::newRow("owned channels") << Operation([](LocalUser *l) { l->requestRefreshOwnedChannels(); })
                                    << "GetChannelsOwned" << QStringList();
    QTest::newRow("owned channels, slot")
        << Operation([](LocalUser *l) { l->onRefreshOwnedChannels(); }) << "GetChannelsOwned" << QStringList();
    QTest::newRow("friends") << Operation([](LocalUser *l) { l->requestRefreshFriends(); }) << "getContactGroups"
                             << QStringList();
    QTest::newRow("friends, slot") << Operation([](LocalUser *l) { l->onFriendListRequiresUpdate(); })
                                   << "getContactGroups" << QStringList();
    QTest::newRow("issue") << Operation([](LocalUser *l) { l->requestReportIssue("broken", "1", "2", "3", "4"); })
                           << "RequestIssue" << QStringList{"comments=broken", "so=1", "rc=2", "c=3", "cs=4"};
    QTest::newRow("issue with details") << Operation([](LocalUser *l) {
        l->requestReportIssue("broken", "1", "2", "3", "4", {"os:linux", "bad"});
    }) << "RequestIssue" << QStringList{"comments=broken", "ext[os]=linux"};
    QTest::newRow("profile") << Operation([](LocalUser *l) { l->requestProfileUpdate("Me", "about", "hi", "here"); })
                             << "SetUserCustomInfo"
                             << QStringList{"UserDisplayName=Me", "UserDescription=about", "UserStatusText=hi",
                                            "UserLocation=here",  "UserLinkWeb=",          "RenameImage=1"};
}

void LocalUserNotifTest::webRequests()
{
    QFETCH(Operation, operation);
    QFETCH(QString, method);
    QFETCH(QStringList, fields);
    const int before = count(method);

    operation(m_user->local());

    const FakeWebService::Request request = after(method, before);
    QCOMPARE(request.method(), method);
    for (const QString &field : fields) {
        const QString key = field.section(QLatin1Char('='), 0, 0);
        QVERIFY2(request.has(key), qPrintable(key));
        QCOMPARE(request.value(key), field.section(QLatin1Char('='), 1));
    }
}

TAVRI_TEST_MAIN(LocalUserNotifTest)
#include "tst_localusernotif.moc"
