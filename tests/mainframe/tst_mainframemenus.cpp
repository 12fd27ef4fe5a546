// The context menus of the main frame and the conversation windows, each
// made on its own with recording doubles: which entries show in which state,
// and what each entry does and tracks. Any warning of a QML file fails the
// test.

#include "mainframefixture.h"
#include "testenvironment.h"

#include <QDesktopServices>

using Props = QVariantMap;

class MainFrameMenusTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainFrameWorld> world;
    std::unique_ptr<FakeConversation> channel;
    std::unique_ptr<FakeIdentity> identity;
    std::unique_ptr<FakeCountedList> identities;
    UrlRecorder urls;

    // Makes the menu of that type with the given properties. Object values
    // are named: "channel", "identity" and "identities" stand for the
    // doubles of this test.
    QObject *makeMenu(const QString &type, const Props &props)
    {
        QObject *menu =
            world->create("import QtQuick 2.15\nimport \"qrc:/QML/qml/tavri/menus\"\n" + type.toUtf8() + " {}\n");
        if (!menu)
            return nullptr;
        for (auto it = props.begin(); it != props.end(); ++it) {
            QVariant value = it.value();
            const QString text = value.userType() == QMetaType::QString ? value.toString() : QString();
            if (text == "channel")
                value = QVariant::fromValue<QObject *>(channel.get());
            else if (text == "identity")
                value = QVariant::fromValue<QObject *>(identity.get());
            else if (text == "identities")
                value = QVariant::fromValue<QObject *>(identities.get());
            if (!menu->setProperty(it.key().toUtf8(), value))
                qWarning() << "no property" << it.key() << "on" << type;
        }
        return menu;
    }

private slots:
    void initTestCase() { QDesktopServices::setUrlHandler("https", &urls, "open"); }
    void init()
    {
        world = std::make_unique<MainFrameWorld>();
        channel = std::make_unique<FakeConversation>(&world->log, "sip:confctl-c@x", "Lobby");
        identity = std::make_unique<FakeIdentity>(&world->log, "sip:u-bob@x");
        identities =
            std::make_unique<FakeCountedList>(QStringList{"realmDisplayName", "realmID", "userUUID", "sipURI"});
        urls.opened.clear();
    }
    void cleanupTestCase() { MainFrameWorld::releaseSharedView(); }
    void cleanup()
    {
        const QStringList warnings = world ? world->qmlWarnings() : QStringList();
        world.reset();
        channel.reset();
        identity.reset();
        identities.reset();
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    }

    // The entries each menu shows in each state. Channel states are
    // "joinState,favourite,owned,private,moderates".
    void entriesFollowTheirConditions_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<Props>("props");
        QTest::addColumn<QString>("channelState");
        QTest::addColumn<int>("identityCount");
        QTest::addColumn<QStringList>("entries");

        const QString setStatus = "Set Status";
        QTest::newRow("local user") << "LocalUserContextMenu" << Props{} << "" << 0
                                    << QStringList{setStatus,
                                                   "EDIT PROFILE",
                                                   "AUDIO SETTINGS",
                                                   "GENERAL SETTINGS",
                                                   "SOUNDS",
                                                   "About Tavri",
                                                   "CHECK FOR UPDATES",
                                                   "-",
                                                   "TUTORIAL",
                                                   "-",
                                                   "LOGOUT",
                                                   "EXIT TAVRI"};
        QTest::newRow("presence") << "PresenceStatusMenu" << Props{} << "" << 0
                                  << QStringList{"ONLINE", "AWAY", "APPEAR OFFLINE", "-", "EDIT STATUS MESSAGES..."};
        QTest::newRow("presence with status texts")
            << "PresenceStatusMenu" << Props{{"useStatusTexts", true}} << "" << 0
            << QStringList{"Online", "Away", "APPEAR OFFLINE", "-", "EDIT STATUS MESSAGES..."};

        const Props builtIn{
            {"friendUri", "sip:u-bob@x"}, {"realmID", "__Tavri"}, {"userUUID", "u-bob"}, {"identities", "identities"}};
        QTest::newRow("friend of the built-in realm")
            << "FriendContextMenu" << builtIn << "" << 1
            << QStringList{"START PRIVATE CHAT...", "VIEW LOGS", "-", "VIEW PROFILE...", "-", "REMOVE FRIEND"};
        const Props otherRealm{{"realmID", "game"}, {"userUUID", "42"}, {"identities", "identities"}};
        QTest::newRow("friend of another realm")
            << "FriendContextMenu" << otherRealm << "" << 0
            << QStringList{"START PRIVATE CHAT...", "VIEW LOGS", "-", "VIEW PROFILE..."};
        QTest::newRow("friend in two realms")
            << "FriendContextMenu" << builtIn << "" << 2
            << QStringList{"START PRIVATE CHAT...", "VIEW LOGS", "-", "VIEW PROFILE...", "-", "REMOVE FRIEND"};

        QTest::newRow("friends header, offline hidden")
            << "FriendHeaderContextMenu" << Props{{"showOfflineFriends", false}} << "" << 0
            << QStringList{"SHOW OFFLINE FRIENDS", "ADD FRIENDS VIA EMAIL...", "FIND FRIENDS ON TAVRI...", "REFRESH"};
        QTest::newRow("friends header, offline shown")
            << "FriendHeaderContextMenu" << Props{{"showOfflineFriends", true}} << "" << 0
            << QStringList{"HIDE OFFLINE FRIENDS", "ADD FRIENDS VIA EMAIL...", "FIND FRIENDS ON TAVRI...", "REFRESH"};
        QTest::newRow("notifications header")
            << "NotificationsHeaderContextMenu" << Props{} << "" << 0 << QStringList{"Clear all notifications"};
        QTest::newRow("owned channels header")
            << "OwnedChannelsHeaderContextMenu" << Props{} << "" << 0 << QStringList{"NEW CHANNEL...", "REFRESH"};
        QTest::newRow("recent entry") << "RecentActivityEntryContextMenu" << Props{} << "" << 0
                                      << QStringList{"REJOIN CONVERSATION", "VIEW LOG"};

        const Props joined{{"contextMenuChannelRef", "channel"}};
        QTest::newRow("joined channel, plain")
            << "JoinedChannelContextMenu" << joined << "4,0,0,0,0" << 0
            << QStringList{"INVITE / JOIN", "ADD AS FAVORITE", "EXIT CONVERSATION", "-", "VIEW INFO..."};
        QTest::newRow("joined channel, favourite moderated")
            << "JoinedChannelContextMenu" << joined << "4,1,0,0,1" << 0
            << QStringList{"INVITE / JOIN",   "REMOVE FROM FAVORITES", "-", "MUTE EVERYONE",
                           "UNMUTE EVERYONE", "EXIT CONVERSATION",     "-", "VIEW INFO..."};
        QTest::newRow("joined channel, owned private")
            << "JoinedChannelContextMenu" << joined << "4,1,1,1,1" << 0
            << QStringList{"INVITE / JOIN",     "-", "MUTE EVERYONE", "UNMUTE EVERYONE",
                           "EXIT CONVERSATION", "-", "VIEW INFO..."};
        // A group chat has no record at the web service to mark.
        QTest::newRow("joined group chat") << "JoinedChannelContextMenu" << joined << "4,0,0,0,0,0" << 0
                                           << QStringList{"INVITE / JOIN", "EXIT CONVERSATION", "-", "VIEW INFO..."};
        QTest::newRow("joined channel, no invite")
            << "JoinedChannelContextMenu" << Props{{"contextMenuChannelRef", "channel"}, {"showInviteJoin", false}}
            << "4,0,0,1,0" << 0 << QStringList{"EXIT CONVERSATION", "-", "VIEW INFO..."};

        const Props tree{{"sipURI", "sip:confctl-c@x"}, {"conversationRef", "channel"}};
        QTest::newRow("channel tree, not owned")
            << "PermanentConversationItemContextMenu" << tree << "0,0,0,0,0" << 0
            << QStringList{"JOIN CHANNEL", "VIEW LOGS", "-", "SHARE", "-", "VIEW INFO..."};
        Props owned = tree;
        owned.insert("isOwned", true);
        owned.insert("isFavorited", true);
        QTest::newRow("channel tree, owned favourite")
            << "PermanentConversationItemContextMenu" << owned << "0,1,1,0,0" << 0
            << QStringList{"JOIN CHANNEL",   "VIEW LOGS",         "-", "SHARE",        "-", "EDIT CHANNEL...",
                           "DELETE CHANNEL", "ADD SUBCHANNEL...", "-", "VIEW INFO...", "-", "REMOVE FROM FAVORITES"};
        owned.insert("hasSubchannels", true);
        QTest::newRow("channel tree, owned with subchannels")
            << "PermanentConversationItemContextMenu" << owned << "0,1,1,0,0" << 0
            << QStringList{"JOIN CHANNEL",         "VIEW LOGS",         "-", "SHARE",        "-",
                           "EDIT CHANNEL...",      "ADD SUBCHANNEL...", "-", "VIEW INFO...", "-",
                           "REMOVE FROM FAVORITES"};

        const Props peer{{"channelRef", "channel"}, {"identityRef", "identity"}, {"userURI", "sip:u-bob@x"}};
        QTest::newRow("participant") << "ParticipantContextMenu" << peer << "4,0,0,0,0" << 0
                                     << QStringList{"START PRIVATE CHAT", "-", "ADD AS FRIEND", "-",
                                                    "VIEW PROFILE...",    "-", "MUTE USER",     "Change text color"};
        Props moderated = peer;
        moderated.insert("isFriend", true);
        moderated.insert("isMuted", true);
        moderated.insert("isModerator", true);
        moderated.insert("localUserIsModerator", true);
        QTest::newRow("participant, moderated") << "ParticipantContextMenu" << moderated << "4,0,0,0,1" << 0
                                                << QStringList{"START PRIVATE CHAT",
                                                               "-",
                                                               "REMOVE AS FRIEND",
                                                               "-",
                                                               "VIEW PROFILE...",
                                                               "-",
                                                               "UNMUTE USER",
                                                               "UNMUTE USER FOR EVERYONE",
                                                               "Change text color",
                                                               "-",
                                                               "KICK USER",
                                                               "BAN USER",
                                                               "REMOVE MODERATOR PRIVILEGES"};
        Props owner = moderated;
        owner.insert("isOwner", true);
        QTest::newRow("participant, the owner")
            << "ParticipantContextMenu" << owner << "4,0,0,0,1" << 0
            << QStringList{"START PRIVATE CHAT", "-", "REMOVE AS FRIEND", "-",
                           "VIEW PROFILE...",    "-", "UNMUTE USER",      "UNMUTE USER FOR EVERYONE",
                           "Change text color",  "-", "KICK USER",        "BAN USER"};
        Props self = moderated;
        self.insert("userURI", "sip:u-me@example.org");
        QTest::newRow("participant, the local user")
            << "ParticipantContextMenu" << self << "4,0,0,0,1" << 0
            << QStringList{"VIEW PROFILE...", "-", "Change text color", "REMOVE MODERATOR PRIVILEGES"};
        Props dialIn = peer;
        dialIn.insert("isDialIn", true);
        QTest::newRow("participant, dial-in")
            << "ParticipantContextMenu" << dialIn << "4,0,0,0,0" << 0 << QStringList{"MUTE USER", "Change text color"};
        Props invited = moderated;
        invited.insert("participantPresent", false);
        QTest::newRow("participant, invited only") << "ParticipantContextMenu" << invited << "4,0,0,0,1" << 0
                                                   << QStringList{"START PRIVATE CHAT", "-", "REMOVE AS FRIEND", "-",
                                                                  "VIEW PROFILE...",    "-", "Remove from list"};

        auto notification = [](int type, const QString &sender, bool channel) {
            Props props{{"notificationType", type}, {"notificationUID", "9"}, {"senderURI", sender}};
            if (channel) {
                props.insert("channelURI", "sip:confctl-c@x");
                props.insert("channelRef", "channel");
            }
            return props;
        };
        QTest::newRow("notification, friend request")
            << "NotificationContextMenu" << notification(Notification::NotificationTypeFriended, "sip:u-bob@x", false)
            << "0,0,0,0,0" << 0
            << QStringList{"Add as friend", "View sender profile...", "Private Chat with Sender", "-",
                           "Delete notification"};
        QTest::newRow("notification, unfriended")
            << "NotificationContextMenu" << notification(Notification::NotificationTypeUnfriended, "sip:u-bob@x", false)
            << "0,0,0,0,0" << 0
            << QStringList{"Remove as friend", "View sender profile...", "Private Chat with Sender", "-",
                           "Delete notification"};
        QTest::newRow("notification, invitation by myself")
            << "NotificationContextMenu"
            << notification(Notification::NotificationTypeChannelInvite, "sip:u-me@example.org", true) << "0,0,0,0,0"
            << 0
            << QStringList{"View sender profile...", "Join channel", "View Channel Details...", "-",
                           "Delete notification"};
        QTest::newRow("notification, system")
            << "NotificationContextMenu" << notification(Notification::NotificationTypeSystem, "", false) << "0,0,0,0,0"
            << 0 << QStringList{"-", "Delete notification"};
    }
    void entriesFollowTheirConditions()
    {
        QFETCH(QString, menu);
        QFETCH(Props, props);
        QFETCH(QString, channelState);
        QFETCH(int, identityCount);
        QFETCH(QStringList, entries);
        if (!channelState.isEmpty()) {
            const QStringList s = channelState.split(',');
            channel->setState(s[0].toInt(), s[1] == "1", s[2] == "1", s[3] == "1", s[4] == "1",
                              s.size() < 6 || s[5] == "1");
        }
        for (int i = 0; i < identityCount; ++i)
            identities->append({{"realmDisplayName", QString("Realm%1").arg(i)},
                                {"realmID", QString("r%1").arg(i)},
                                {"userUUID", QString("u%1").arg(i)},
                                {"sipURI", QString("sip:u-%1@x").arg(i)}});
        QObject *object = makeMenu(menu, props);
        QVERIFY(object);
        QCOMPARE(menuEntries(object), entries);
    }

    // What an entry does and tracks, in order.
    void entriesActAndTrack_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<Props>("props");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("calls");

        QTest::newRow("logout tracks first")
            << "LocalUserContextMenu" << Props{} << "logout"
            << QStringList{"trackEvent(LocalUserContextMenu, Logout, [])", "mainApp.requestLogout(localUser)"};
        QTest::newRow("sounds") << "LocalUserContextMenu" << Props{} << "sounds"
                                << QStringList{"mainApp.showGeneralSettings(3)",
                                               "trackEvent(LocalUserContextMenu, OpenSounds, [])"};
        QTest::newRow("exit tracks first")
            << "LocalUserContextMenu" << Props{} << "exit"
            << QStringList{"trackEvent(LocalUserContextMenu, Exit, [])", "mainApp.onAppExit()"};
        QTest::newRow("appear offline") << "PresenceStatusMenu" << Props{} << "presenceOffline"
                                        << QStringList{"localUser.presenceState(1)",
                                                       "trackEvent(LocalUserPresenceMenu, SetAppearOffline, [])"};
        QTest::newRow("show offline friends")
            << "FriendHeaderContextMenu" << Props{{"showOfflineFriends", false}} << "toggleOfflineFriends"
            << QStringList{"storageManager.setSettingsValue(8, true)", "trackEvent(HomePane, ShowOfflineFriends, [])"};
        QTest::newRow("hide offline friends")
            << "FriendHeaderContextMenu" << Props{{"showOfflineFriends", true}} << "toggleOfflineFriends"
            << QStringList{"storageManager.setSettingsValue(8, false)", "trackEvent(HomePane, HideOfflineFriends, [])"};
        QTest::newRow("refresh channels")
            << "OwnedChannelsHeaderContextMenu" << Props{} << "refreshChannels"
            << QStringList{"localUser.requestRefreshOwnedChannels()", "localUser.requestRefreshFavorites()",
                           "trackEvent(HomePane, RefreshChannels, [])"};
        QTest::newRow("clear without a list")
            << "NotificationsHeaderContextMenu" << Props{} << "clearAll" << QStringList{};
        const Props builtIn{{"friendUri", "sip:u-bob@x"}, {"realmID", "__Tavri"}, {"userUUID", "u-bob"}};
        QTest::newRow("start chat") << "FriendContextMenu" << builtIn << "startChat"
                                    << QStringList{"mainApp.requestConversation(__Tavri, u-bob)",
                                                   "trackEvent(friendContextMenu, RequestConversationContextMenu, "
                                                   "[remoteUser:sip:u-bob@x;realm:__Tavri])"};
        QTest::newRow("start chat without a friend address")
            << "FriendContextMenu" << Props{{"realmID", "game"}, {"userUUID", "42"}} << "startChat"
            << QStringList{"mainApp.requestConversation(game, 42)",
                           "trackEvent(friendContextMenu, RequestConversationContextMenu, "
                           "[remoteUser:42;realm:game])"};
        QTest::newRow("remove friend") << "FriendContextMenu" << builtIn << "removeFriend"
                                       << QStringList{"localUser.requestRemoveFriend(sip:u-bob@x)",
                                                      "trackEvent(friendContextMenu, RemoveFriend, "
                                                      "[remoteUser:sip:u-bob@x])"};
        QTest::newRow("invite from a joined channel")
            << "JoinedChannelContextMenu" << Props{{"contextMenuChannelRef", "channel"}} << "inviteJoin"
            << QStringList{"mainApp.showFindUsers(4, Lobby, 3, , )",
                           "trackEvent(JoinedChannelContextMenu, InviteAndJoin, [])"};
        QTest::newRow("exit channel") << "JoinedChannelContextMenu" << Props{{"contextMenuChannelRef", "channel"}}
                                      << "exitChannel"
                                      << QStringList{"Lobby.requestLeaveConversation(true)",
                                                     "trackEvent(JoinedChannelContextMenu, ExitChannel, [])"};
        const Props tree{{"sipURI", "sip:confctl-c@x"}, {"conversationRef", "channel"}, {"isOwned", true}};
        QTest::newRow("add subchannel")
            << "PermanentConversationItemContextMenu" << tree << "addSubchannel"
            << QStringList{"mainApp.showCreateChannel(sip:confctl-c@x)",
                           "trackEvent(permanentConversationListContextMenu, AddChannelContextMenu, "
                           "[parentChannel:sip:confctl-c@x])"};
        QTest::newRow("share by link") << "PermanentConversationItemContextMenu" << tree << "shareLink"
                                       << QStringList{"mainApp.copyChannelLinkToClipboard(Lobby)",
                                                      "trackEvent(HomePane, CopyOwnedChannelToClipboard, "
                                                      "[channel:sip:confctl-c@x])"};
        QTest::newRow("delete channel") << "PermanentConversationItemContextMenu" << tree << "deleteChannel"
                                        << QStringList{"Lobby.requestDelete()",
                                                       "trackEvent(permanentConversationListContextMenu, "
                                                       "DeleteChannelContextMenu, [channel:sip:confctl-c@x])"};
        const Props peer{{"channelRef", "channel"},
                         {"identityRef", "identity"},
                         {"userURI", "sip:u-bob@x"},
                         {"participantURI", "sip:u-bob@x"},
                         {"localUserIsModerator", true}};
        QTest::newRow("mute for everyone")
            << "ParticipantContextMenu" << peer << "muteUserForEveryone"
            << QStringList{"Lobby.muteUser(identity, true)",
                           "trackEvent(ParticipantContextMenu, MuteUserForEveryone, [])"};
        QTest::newRow("start private chat") << "ParticipantContextMenu" << peer << "startPrivateChat"
                                            << QStringList{"mainApp.requestConversation(sip:u-bob@x)",
                                                           "trackEvent(ParticipantContextMenu, StartPrivateChat, [])"};
        Props invited = peer;
        invited.insert("participantPresent", false);
        QTest::newRow("remove invited") << "ParticipantContextMenu" << invited << "removeInvited"
                                        << QStringList{"Lobby.removeInvitedUser(sip:u-bob@x)"};
        const Props friendNote{{"notificationType", int(Notification::NotificationTypeFriended)},
                               {"notificationUID", "9"},
                               {"senderURI", "sip:u-bob@x"}};
        QTest::newRow("notification add friend")
            << "NotificationContextMenu" << friendNote << "addFriend"
            << QStringList{"localUser.requestAddFriend(sip:u-bob@x)", "localUser.requestMarkNotification(9, 2, true)",
                           "trackEvent(Notifications, AddFriend, [remote:sip:u-bob@x;type:2;nid:9])"};
        QTest::newRow("notification delete") << "NotificationContextMenu" << friendNote << "deleteNotification"
                                             << QStringList{"localUser.requestMarkNotification(9, 3, true)",
                                                            "trackEvent(Notifications, DeleteNotification, [nid:9])"};
        QTest::newRow("find more skins") << "SkinMenu" << Props{} << "findMoreSkins"
                                         << QStringList{"trackEvent(MainFrame, FindMoreThemes, [])"};
    }
    void entriesActAndTrack()
    {
        QFETCH(QString, menu);
        QFETCH(Props, props);
        QFETCH(QString, entry);
        QFETCH(QStringList, calls);
        QObject *object = makeMenu(menu, props);
        QVERIFY(object);
        QObject *item = findNamed(object, entry);
        QVERIFY2(item, qPrintable(entry));
        QVERIFY(QMetaObject::invokeMethod(item, "trigger"));
        QCOMPARE(world->log.calls, calls);
    }

    // Chat logs and realm identities fill submenus when the menu is made.
    void submenusListLogsAndIdentities()
    {
        const QDateTime when(QDate(2024, 3, 5), QTime(14, 7));
        world->mainApp.chatLogs.insert("__Tavri/u-bob",
                                       {QVariantMap{{"timestamp", when}, {"filename", "/logs/a.txt"}}});
        for (int i = 0; i < 2; ++i)
            identities->append({{"realmDisplayName", QString("Realm%1").arg(i)},
                                {"realmID", QString("r%1").arg(i)},
                                {"userUUID", QString("u%1").arg(i)},
                                {"sipURI", QString("sip:u-%1@x").arg(i)}});
        QObject *menu = makeMenu("FriendContextMenu", {{"friendUri", "sip:u-bob@x"},
                                                       {"realmID", "__Tavri"},
                                                       {"userUUID", "u-bob"},
                                                       {"identities", "identities"}});
        QVERIFY(menu);
        QObject *logs = findNamed(menu, "viewLogsMenu");
        const QString time = when.toString("yyyy/MM/dd hh:mm a");
        QCOMPARE(menuEntries(logs), QStringList{time});
        QVERIFY(QMetaObject::invokeMethod(menuEntry(logs, time), "trigger"));
        QCOMPARE(world->log.calls.last(), "mainApp.showChatLog(/logs/a.txt, Log: u-bob @ " + time + ")");

        QObject *chats = findNamed(menu, "startChatMenu");
        QCOMPARE(menuEntries(chats), (QStringList{"...ON Realm0...", "...ON Realm1..."}));
        world->log.clear();
        QVERIFY(QMetaObject::invokeMethod(menuEntry(chats, "...ON Realm1..."), "trigger"));
        QCOMPARE(world->log.calls, (QStringList{"mainApp.requestConversation(r1, u1)",
                                                "trackEvent(friendContextMenu, RequestConversationContextMenu, "
                                                "[remoteUser:sip:u-1@x;realm:r1])"}));

        world->mainApp.styles = QStringList{"Default", "Dark"};
        QObject *skins = makeMenu("SkinMenu", {});
        QCOMPARE(menuEntries(skins), (QStringList{"Default", "Dark", "-", "Find more skins..."}));
        world->log.clear();
        QVERIFY(QMetaObject::invokeMethod(menuEntry(skins, "Dark"), "trigger"));
        QCOMPARE(world->log.calls, QStringList{"mainApp.setStyle(Dark)"});
    }
};

TAVRI_TEST_MAIN(MainFrameMenusTest)
#include "moc_mainframefakes.cpp"
#include "moc_mainframefixture.cpp"
#include "tst_mainframemenus.moc"
