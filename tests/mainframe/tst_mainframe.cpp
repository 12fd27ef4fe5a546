// The main frame in a view with recording doubles: pane selection, the user
// search, notifications, contacts, the update row and language changes. Any
// warning of a QML file fails the test.

#include "mainframefixture.h"
#include "testenvironment.h"

#include <QDesktopServices>

class MainFrameTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<MainFrameWorld> world;
    QQuickItem *frame = nullptr;
    UrlRecorder urls;

    QObject *pane(const char *name) { return findNamed(frame, QString::fromLatin1(name)); }
    void showPane(const char *tile) { QVERIFY(clickItem(findItem(frame, QString::fromLatin1(tile)))); }
    QStringList calls(const QString &prefix) const { return world->log.starting(prefix); }
    // Sets the search field's text as typing does.
    void typeTerm(const QString &text)
    {
        QQuickItem *field = findItem(frame, "searchField");
        QVERIFY(field);
        field->setProperty("text", text);
    }
    void notificationRows(const QList<QVariantMap> &rows)
    {
        world->notifications.setRows(rows);
        QCoreApplication::processEvents();
    }
    // Clicks the text of the first notification with the given button.
    void clickNotification(Qt::MouseButton button = Qt::LeftButton)
    {
        QList<QObject *> areas;
        collectNamed(frame, "notificationTextArea", &areas);
        QVERIFY(!areas.isEmpty());
        QVERIFY(clickItem(qobject_cast<QQuickItem *>(areas.first()), button));
    }

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler("http", &urls, "open");
        QDesktopServices::setUrlHandler("https", &urls, "open");
        QDesktopServices::setUrlHandler("file", &urls, "open");
        QDesktopServices::setUrlHandler("smb", &urls, "open");
    }
    void init()
    {
        urls.opened.clear();
        world = std::make_unique<MainFrameWorld>();
        frame = world->loadFrame();
        QVERIFY(frame);
        world->log.clear();
    }
    void cleanup()
    {
        const QStringList warnings = world ? world->qmlWarnings() : QStringList();
        world.reset();
        frame = nullptr;
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    }

    void startsOnChannelsAndEachTileShowsItsPane_data()
    {
        QTest::addColumn<QString>("tile");
        QTest::addColumn<QString>("shown");
        QTest::newRow("channels") << "channelsTile"
                                  << "channelsPane";
        QTest::newRow("contacts") << "contactsTile"
                                  << "contactsPane";
        QTest::newRow("add contacts") << "addContactsTile"
                                      << "addContactsPane";
        QTest::newRow("recent") << "recentTile"
                                << "recentPane";
    }
    void startsOnChannelsAndEachTileShowsItsPane()
    {
        QFETCH(QString, tile);
        QFETCH(QString, shown);
        const QStringList panes{"channelsPane", "contactsPane", "addContactsPane", "recentPane"};
        for (const QString &name : panes)
            QCOMPARE(findNamed(frame, name)->property("visible").toBool(), name == "channelsPane");

        QVERIFY(clickItem(findItem(frame, tile)));
        for (const QString &name : panes)
            QCOMPARE(findNamed(frame, name)->property("visible").toBool(), name == shown);
        // The tile of the pane on show draws its selected picture.
        const QUrl selected = findNamed(frame, tile)->property("source").toUrl();
        QVERIFY(!selected.isEmpty());
        QVERIFY(clickItem(findItem(frame, "channelsTile")) || shown == "channelsPane");
        if (shown != "channelsPane")
            QVERIFY(findNamed(frame, tile)->property("source").toUrl() != selected);
    }

    void showingAddContactsResetsTheSearch()
    {
        showPane("addContactsTile");
        QCOMPARE(calls("findInstance."), QStringList{"findInstance.reset()"});
        QVERIFY(!findItem(frame, "noResults")->isVisible());
        QVERIFY(findItem(frame, "findButton")->isVisible());
        // Disabled while the term is empty or only blanks.
        QVERIFY(!findItem(frame, "findButton")->isEnabled());
        typeTerm("   ");
        QVERIFY(!findItem(frame, "findButton")->isEnabled());
    }

    void findAgainWithTheSameTermFetchesTheNextPage()
    {
        showPane("addContactsTile");
        typeTerm("  bob ");
        QVERIFY(clickItem(findItem(frame, "findButton")));
        QCOMPARE(calls("findInstance.searchForUsers"),
                 QStringList{"findInstance.searchForUsers(bob, false, 0, 4)"});
        QCOMPARE(findNamed(frame, "searchField")->property("text").toString(), QString("bob"));
        QVERIFY(findItem(frame, "searchingLabel")->property("opacity").toReal() >= 0);

        for (int i = 0; i < 4; ++i)
            world->findInstance.pendingResults.append(
                {{"uname", QString("bob%1").arg(i)}, {"sipURI", QString("sip:u-bob%1@x").arg(i)}});
        world->findInstance.pendingHasMore = true;
        world->findInstance.finishSearch();
        QVERIFY(findItem(frame, "findMoreButton")->isVisible());
        QVERIFY(!findItem(frame, "findButton")->isVisible());

        world->log.clear();
        QVERIFY(clickItem(findItem(frame, "findMoreButton")));
        QCOMPARE(calls("findInstance.searchForUsers"),
                 QStringList{"findInstance.searchForUsers(bob, false, 4, 4)"});
        QCOMPARE(calls("trackEvent"), QStringList{"trackEvent(FindUsers, SearchMore, [offset:4])"});
        world->findInstance.finishSearch();

        // The Find step with the term unchanged while more exist pages on.
        world->log.clear();
        QVERIFY(QMetaObject::invokeMethod(pane("addContactsPane"), "find"));
        QCOMPARE(calls("findInstance.searchForUsers"),
                 QStringList{"findInstance.searchForUsers(bob, false, 8, 4)"});
    }

    void editingTheTermOrTheInactiveBoxStartsAgain()
    {
        showPane("addContactsTile");
        typeTerm("bob");
        QVERIFY(clickItem(findItem(frame, "findButton")));
        world->findInstance.pendingResults = {{{"uname", "bob"}, {"sipURI", "sip:u-bob@x"}}};
        world->findInstance.pendingHasMore = true;
        world->findInstance.finishSearch();
        QVERIFY(findItem(frame, "findMoreButton")->isVisible());

        typeTerm("bobby");
        QVERIFY(findItem(frame, "findButton")->isVisible());
        QVERIFY(!findItem(frame, "findMoreButton")->isVisible());
        typeTerm("bob");
        QVERIFY(findItem(frame, "findMoreButton")->isVisible());

        // Enter runs the step on show: a new term starts at offset 0.
        typeTerm("carol");
        world->log.clear();
        QQuickItem *field = findItem(frame, "searchField");
        field->forceActiveFocus();
        QTest::keyClick(world->view.get(), Qt::Key_Return);
        QCOMPARE(calls("findInstance.searchForUsers"),
                 QStringList{"findInstance.searchForUsers(carol, false, 0, 4)"});
        world->findInstance.pendingHasMore = true;
        world->findInstance.finishSearch();
        QVERIFY(findItem(frame, "findMoreButton")->isVisible());

        world->log.clear();
        QQuickItem *box = findItem(frame, "inactiveCheckBox");
        box->setProperty("checked", true);
        QCOMPARE(calls("findInstance."), QStringList{"findInstance.reset()"});
        QVERIFY(findItem(frame, "findButton")->isVisible());
        QVERIFY(!findItem(frame, "noResults")->isVisible());
        QVERIFY(clickItem(findItem(frame, "findButton")));
        QCOMPARE(calls("findInstance.searchForUsers"),
                 QStringList{"findInstance.searchForUsers(carol, true, 0, 4)"});
    }

    void noResultsOnlyAfterASearch()
    {
        showPane("addContactsTile");
        QVERIFY(!findItem(frame, "noResults")->isVisible());
        typeTerm("nobody");
        QVERIFY(clickItem(findItem(frame, "findButton")));
        QVERIFY(!findItem(frame, "noResults")->isVisible());
        world->findInstance.finishSearch();
        QVERIFY(findItem(frame, "noResults")->isVisible());
        // Showing the pane again starts afresh.
        showPane("channelsTile");
        showPane("addContactsTile");
        QVERIFY(!findItem(frame, "noResults")->isVisible());
    }

    void resultTileAddsOrRemovesTheFriend_data()
    {
        QTest::addColumn<bool>("isContact");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("tracked");
        QTest::newRow("stranger")
            << false << "findInstance.tileClicked(, sip:u-bob@x, true)"
            << "trackEvent(FindUsers, TileClicked, [userUri:sip:u-bob@x,addTolist:true])";
        QTest::newRow("friend")
            << true << "findInstance.tileClicked(, sip:u-bob@x, false)"
            << "trackEvent(FindUsers, TileClicked, [userUri:sip:u-bob@x,addTolist:false])";
    }
    void resultTileAddsOrRemovesTheFriend()
    {
        QFETCH(bool, isContact);
        QFETCH(QString, call);
        QFETCH(QString, tracked);
        showPane("addContactsTile");
        typeTerm("bob");
        QVERIFY(clickItem(findItem(frame, "findButton")));
        world->findInstance.pendingResults = {
            {{"uname", "bob"}, {"sipURI", "sip:u-bob@x"}, {"isContact", isContact}}};
        world->findInstance.finishSearch();
        world->log.clear();
        QTRY_VERIFY(findItem(frame, "tileButton"));
        QVERIFY(clickItem(findItem(frame, "tileButton")));
        QCOMPARE(world->log.calls, (QStringList{call, tracked}));
    }

    // Names and taglines come from other users: their markup is shown as
    // text, and the search term cannot inject markup or pattern syntax.
    void resultTextsAreEscapedBeforeDecorating()
    {
        showPane("addContactsTile");
        typeTerm("<b>(");
        QVERIFY(clickItem(findItem(frame, "findButton")));
        world->findInstance.pendingResults = {
            {{"uname", "x<b>(y"}, {"sipURI", "sip:u-x@x"}, {"taglineText", "<img src=\"http://evil/\">"}}};
        world->findInstance.finishSearch();
        QTRY_VERIFY(findItem(frame, "resultName"));
        const QString name = findNamed(frame, "resultName")->property("text").toString();
        QCOMPARE(name, QString("x<font color=\"red\">&lt;b&gt;(</font>y"));
        const QString tagline = findNamed(frame, "resultTagline")->property("text").toString();
        QCOMPARE(tagline, QString("'&lt;img src=&quot;http://evil/&quot;&gt;'"));
    }

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
        QTest::newRow("nothing to do")
            << custom << QStringList{"localUser.requestMarkNotification(9, 2, true)"} << QStringList{};
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

    void contactsPaneExplainsAnEmptyList_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("text");
        QTest::newRow("no contacts") << 0 << "Click on the search icon to find and add contacts";
        QTest::newRow("none shown") << 3 << "No friends online";
    }
    void contactsPaneExplainsAnEmptyList()
    {
        QFETCH(int, total);
        QFETCH(QString, text);
        world->contactGroups.setCounts(0, total);
        showPane("contactsTile");
        QQuickItem *label = findItem(frame, "noContacts");
        QVERIFY(label->isVisible());
        QCOMPARE(label->property("text").toString(), text);
        world->contactGroups.setRows({{{"displayName", "Work"}, {"groupID", "g1"}, {"realmID", "__Tavri"}}});
        QVERIFY(!label->isVisible());
    }

    void droppingOnTheTitleMovesTheContactOutOfItsGroup()
    {
        showPane("contactsTile");
        QObject *contacts = pane("contactsPane");
        QObject *ghost = findNamed(contacts, "contactDragGhost");
        QVERIFY(ghost);
        // The title's drop target moves into the ungrouped group.
        QQuickItem *titleDrop = findItem(contacts, "titleDropArea");
        QVERIFY(titleDrop);
        QCOMPARE(titleDrop->parentItem()->objectName(), QString("paneTitle"));

        auto drop = [&](const QString &payload, QObject *source) {
            QVariant accepted;
            const bool invoked = QMetaObject::invokeMethod(
                contacts, "dropPayload", Q_RETURN_ARG(QVariant, accepted), Q_ARG(QVariant, payload),
                Q_ARG(QVariant, QVariant::fromValue(source)), Q_ARG(QVariant, QString("ungrouped")));
            return invoked && accepted.toBool();
        };
        QVERIFY(drop("{realmID:__Tavri;groupID:g1;contactUUID:u-9}", ghost));
        QCOMPARE(world->log.calls,
                 QStringList{"contactGroups.requestMoveContact(__Tavri, u-9, ungrouped, g1)"});

        // Drags that this frame did not start, and payloads of another
        // shape, move nothing.
        world->log.clear();
        QVERIFY(!drop("{realmID:__Tavri;groupID:g1;contactUUID:u-9}", nullptr));
        QVERIFY(!drop("{realmID:__Tavri;groupID:g1;contactUUID:u-9}", contacts));
        QVERIFY(!drop("realmID:__Tavri;groupID:g1;contactUUID:u-9", ghost));
        QVERIFY(!drop("{realmID:__Tavri;groupID:g1}", ghost));
        QVERIFY(world->log.calls.isEmpty());
    }

    void updateRowShowsUntilClosed()
    {
        QQuickItem *row = findItem(frame, "updateRow");
        QVERIFY(!row->isVisible());
        QVERIFY(findItem(frame, "noNotifications")->isVisible());
        const qreal areaHeight = findItem(frame, "notificationsArea")->height();
        world->mainApp.announceUpdate("2.0", "New", "https://example.org/update");
        QVERIFY(row->isVisible());
        QCOMPARE(findItem(frame, "notificationsArea")->height(), areaHeight + 20);
        QVERIFY(!findItem(frame, "noNotifications")->isVisible());

        QVERIFY(clickItem(findItem(frame, "updateLink")));
        QCOMPARE(urls.opened, QStringList{"https://example.org/update"});
        QCOMPARE(
            world->log.calls,
            QStringList{"trackEvent(Notifications, UpdateLinkClick, [link:https://example.org/update])"});

        world->log.clear();
        QVERIFY(clickItem(findItem(frame, "updateClose")));
        QCOMPARE(
            world->log.calls,
            QStringList{"trackEvent(Notifications, UpdateCloseClick, [link:https://example.org/update])"});
        QVERIFY(!row->isVisible());
        world->mainApp.announceUpdate("2.1", "Newer", "https://example.org/update2");
        QVERIFY(!row->isVisible());
    }

    void upToDateShowsInTheTitleForTwoSeconds()
    {
        emit world->mainApp.noUpdateAvailable();
        QCOMPARE(frame->property("title").toString(), QString("Tavri is up to date"));
        QVERIFY(findNamed(frame, "upToDateTimer")->property("running").toBool());
        QCOMPARE(findNamed(frame, "upToDateTimer")->property("interval").toInt(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(frame->property("title").toString(), QString(), 10000);
    }

    void languageChangeRetranslatesTexts()
    {
        QObject *channels = pane("channelsPane");
        QCOMPARE(channels->property("title").toString(), QString("Channels"));
        world->mainApp.language = QStringLiteral("\u00bb");
        world->mainApp.changeLanguage();
        QCOMPARE(channels->property("title").toString(), QString("\u00bbChannels"));
        QCOMPARE(findNamed(frame, "noChannels")->property("text").toString(),
                 QString("\u00bbClick on the add channel icon to create a root channel"));
    }

    void headerActions()
    {
        QVERIFY(clickItem(findItem(frame, "avatar")));
        QVERIFY(clickItem(findItem(frame, "reportButton")));
        QVERIFY(clickItem(findItem(frame, "reportButton"), Qt::LeftButton, Qt::ControlModifier));
        QVERIFY(clickItem(findItem(frame, "findChannelsButton")));
        QVERIFY(clickItem(findItem(frame, "findChannelsButton"), Qt::LeftButton, Qt::AltModifier));
        QCOMPARE(world->log.calls,
                 (QStringList{"mainApp.showGeneralSettings(2)", "trackEvent(MainFrame, avatarClick, [])",
                              "mainApp.showReportIssue()", "mainApp.showHiddenWindow()",
                              "findChannels.showChannelSearch()",
                              "trackEvent(MainFrame, FindMoreFavoriteChannels, [])",
                              "mainApp.showPostCallSurvey()"}));

        world->log.clear();
        QQuickItem *field = findItem(frame, "presenceMessageField");
        field->setProperty("text", "Busy coding");
        field->forceActiveFocus();
        QTest::keyClick(world->view.get(), Qt::Key_Return);
        QCOMPARE(world->log.calls,
                 (QStringList{"localUser.setPresenceMessage(5, Busy coding)",
                              "trackEvent(LocalUserHeader, ChangePresenceMessage, [i:5])"}));
        QVERIFY(!field->hasActiveFocus());
    }
};

TAVRI_TEST_MAIN(MainFrameTest)
#include "moc_mainframefakes.cpp"
#include "tst_mainframe.moc"
