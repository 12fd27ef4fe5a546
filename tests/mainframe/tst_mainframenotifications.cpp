// The main frame's notifications: what a click, a right click and clearing do. Any
// warning of a QML file fails the test.

#include "mainframefixture.h"
#include "testenvironment.h"

#include <QDesktopServices>

class MainFrameNotificationsTest : public MainFrameTestBase
{
    Q_OBJECT

private slots:
    void notificationClickFollowsTheRowsKind_data()
    {
        QTest::addColumn<QVariantMap>("row");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("opened");
        const QVariantMap friendRow{{"notificationType", int(Notification::NotificationTypeFriended)},
                                    {"notificationUID", "7"},
                                    {"senderURI", "sip:u-bob@x"},
                                    {"defaultMessage", "Bob added you"}};
        QTest::newRow("friend request") << friendRow
                                        << QStringList{"localUser.requestAddFriend(sip:u-bob@x)",
                                                       "trackEvent(Notifications, AddFriend, "
                                                       "[remote:sip:u-bob@x;type:2;nid:7])",
                                                       "localUser.requestMarkNotification(7, 2, true)"}
                                        << QStringList{};
        QVariantMap custom{{"notificationType", int(Notification::NotificationTypeSystem)},
                           {"notificationUID", "9"},
                           {"defaultMessage", "News"}};
        auto withAction = [&](const QString &action) {
            QVariantMap row = custom;
            row.insert("customAction", action);
            return row;
        };
        QTest::newRow("address without scheme")
            << withAction("u:example.org")
            << QStringList{"trackEvent(Notifications, CustomAction, [nuid:9;u:http://example.org])",
                           "localUser.requestMarkNotification(9, 2, true)"}
            << QStringList{"http://example.org"};
        QTest::newRow("https kept")
            << withAction("x:1;u:https://example.org/a?b=c")
            << QStringList{"trackEvent(Notifications, CustomAction, [nuid:9;u:https://example.org/a?b=c])",
                           "localUser.requestMarkNotification(9, 2, true)"}
            << QStringList{"https://example.org/a?b=c"};
        QTest::newRow("other schemes ignored")
            << withAction("u:file:///etc/passwd;u:smb://host/share")
            << QStringList{"localUser.requestMarkNotification(9, 2, true)"} << QStringList{};
        QTest::newRow("nothing to do") << custom << QStringList{"localUser.requestMarkNotification(9, 2, true)"}
                                       << QStringList{};
    }
    void notificationClickFollowsTheRowsKind()
    {
        QFETCH(QVariantMap, row);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, opened);
        notificationRows({row});
        clickNotification();
        QCOMPARE(world->log.calls, expected);
        QCOMPARE(urls.opened, opened);
    }

    void friendRequestNamingAChannelIsAFriendRequest()
    {
        FakeConversation channel(&world->log, "sip:confctl-c@x", "Lobby");
        notificationRows({{{"notificationType", int(Notification::NotificationTypeFriended)},
                           {"notificationUID", "3"},
                           {"senderURI", "sip:u-bob@x"},
                           {"channelURI", "sip:confctl-c@x"},
                           {"channelRef", QVariant::fromValue<QObject *>(&channel)}}});
        clickNotification();
        QCOMPARE(world->log.calls.first(), QString("localUser.requestAddFriend(sip:u-bob@x)"));
        QVERIFY(calls("Lobby.").isEmpty());

        // Without a sender, the channel is joined.
        world->log.clear();
        notificationRows({{{"notificationType", int(Notification::NotificationTypeChannelInvite)},
                           {"notificationUID", "4"},
                           {"channelURI", "sip:confctl-c@x"},
                           {"channelRef", QVariant::fromValue<QObject *>(&channel)}}});
        clickNotification();
        QCOMPARE(world->log.calls,
                 (QStringList{"Lobby.requestJoinConversation()",
                              "trackEvent(Notifications, JoinChannel, [channel:sip:confctl-c@x;nid:4])",
                              "localUser.requestMarkNotification(4, 2, true)"}));
        notificationRows({});
    }

    void notificationRightClickOpensItsMenu()
    {
        notificationRows({{{"notificationType", int(Notification::NotificationTypeUnfriended)},
                           {"notificationUID", "5"},
                           {"senderURI", "sip:u-bob@x"}}});
        clickNotification(Qt::RightButton);
        QCOMPARE(world->log.calls, (QStringList{"localUser.requestMarkNotification(5, 2)",
                                                "trackEvent(Notifications, openContextMenu, [nid:5])"}));
        QObject *menu = findNamed(frame, "notificationMenu");
        QCOMPARE(menu->property("notificationUID").toString(), QString("5"));
        QCOMPARE(menuEntries(menu), (QStringList{"Remove as friend", "View sender profile...",
                                                 "Private Chat with Sender", "-", "Delete notification"}));
        // The menu is closed by the test's end; the pop-up loop returned at once offscreen.
    }

    void clearAllDeletesEveryNotification()
    {
        notificationRows({{{"notificationUID", "1"}}, {{"notificationUID", "2"}}});
        QVERIFY(clickItem(findItem(frame, "clearNotificationsButton")));
        QCOMPARE(world->log.calls, (QStringList{"localUser.requestMarkAllNotifications(3)",
                                                "trackEvent(MainFrame, ClearAllNotifications, [count:2])"}));
        QVERIFY(!findItem(frame, "noNotifications")->isVisible());
        notificationRows({});
        QVERIFY(findItem(frame, "noNotifications")->isVisible());
    }
};

TAVRI_TEST_MAIN(MainFrameNotificationsTest)
#include "moc_mainframefakes.cpp"
#include "moc_mainframefixture.cpp"
#include "tst_mainframenotifications.moc"
