// The main frame in a view with recording doubles: pane selection, the contacts pane, the update row, the
// title, language changes and the header. Any warning of a QML file fails the test.

#include "mainframefixture.h"
#include "testenvironment.h"

#include <QDesktopServices>

class MainFrameTest : public MainFrameTestBase
{
    Q_OBJECT

private slots:
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
        // A group's row alone shows no contact: the hint stays.
        world->contactGroups.setRows({{{"displayName", "Work"}, {"groupID", "g1"}, {"realmID", "__Tavri"}}});
        QVERIFY(label->isVisible());
        QCOMPARE(label->property("text").toString(), text);
        // Contacts online are shown: no hint.
        world->contactGroups.setCounts(2, 3);
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
        QCOMPARE(world->log.calls, QStringList{"contactGroups.requestMoveContact(__Tavri, u-9, ungrouped, g1)"});

        // Drags that this frame did not start, and payloads of another
        // shape, move nothing.
        world->log.clear();
        QVERIFY(!drop("{realmID:__Tavri;groupID:g1;contactUUID:u-9}", nullptr));
        QVERIFY(!drop("{realmID:__Tavri;groupID:g1;contactUUID:u-9}", contacts));
        QVERIFY(!drop("realmID:__Tavri;groupID:g1;contactUUID:u-9", ghost));
        QVERIFY(!drop("{realmID:__Tavri;groupID:g1}", ghost));
        QVERIFY(world->log.calls.isEmpty());
    }

    // A channel's name is the owner's text: shown as typed, never as markup.
    void channelRowShowsTheNameAsText()
    {
        FakeConversation room(&world->log, "sip:confctl-r@x", "QA <b>Room</b> & Co");
        world->permanentConversations.append({{"displayName", room.objectName()},
                                              {"sipURI", room.property("sipURI")},
                                              {"conversationRef", QVariant::fromValue<QObject *>(&room)}});
        QTRY_VERIFY(findItem(frame, "channelRow"));
        QQuickItem *name = findItem(findItem(frame, "channelRow"), "channelName");
        QVERIFY(name);
        QCOMPARE(name->property("text").toString(), QString("QA <b>Room</b> & Co"));
        QCOMPARE(name->property("textFormat").toInt(), int(Qt::PlainText));
        // Out of the pointer's way, the row shows neither highlight nor toolbar.
        QVERIFY(!findItem(frame, "channelToolbar")->isVisible());
        QVERIFY(!findItem(frame, "channelHover")->isVisible());
    }

    // A click on a channel or a recent entry joins it when it is not
    // joined and only tracks otherwise; a click on a contact opens its menu.
    void rowClicksJoinOrOpenTheirMenu()
    {
        FakeConversation lobby(&world->log, "sip:confctl-l@x", "Lobby");
        FakeConversation den(&world->log, "sip:confctl-d@x", "Den");
        den.setState(4, false, false, false, false);
        for (FakeConversation *c : {&lobby, &den})
            world->permanentConversations.append({{"displayName", c->objectName()},
                                                  {"sipURI", c->property("sipURI")},
                                                  {"conversationRef", QVariant::fromValue<QObject *>(c)}});
        QList<QObject *> rows;
        QTRY_VERIFY((rows.clear(), collectNamed(frame, "channelRow", &rows), rows.size() == 2));
        for (QObject *row : rows)
            QVERIFY(clickItem(qobject_cast<QQuickItem *>(row)));
        QCOMPARE(world->log.calls,
                 (QStringList{"trackEvent(MainFrame, RequestChannelJoin, [channelURI:sip:confctl-l@x])",
                              "Lobby.requestJoinConversation()",
                              "trackEvent(MainFrame, RequestChannelRejoin, [channelURI:sip:confctl-d@x;s:4])"}));

        world->log.clear();
        world->recentConversations.append(
            {{"displayName", "Den"}, {"canRejoin", true}, {"conversationRef", QVariant::fromValue<QObject *>(&lobby)}});
        showPane("recentTile");
        QTRY_VERIFY(findItem(frame, "recentEntryArea"));
        QVERIFY(clickItem(findItem(frame, "rejoinButton")));
        QCOMPARE(world->log.calls,
                 (QStringList{"trackEvent(MainFrame, RecentChannelJoin, [channelURI:sip:confctl-l@x])",
                              "Lobby.requestJoinConversation()"}));

        world->log.clear();
        auto *contacts = new FakeCountedList({"displayName", "sipURI", "primaryRealmID", "primaryRealmUserUUID"},
                                             &world->contactGroups);
        contacts->append({{"displayName", "Bob"},
                          {"sipURI", "sip:u-bob@x"},
                          {"primaryRealmID", "__Tavri"},
                          {"primaryRealmUserUUID", "u-bob"}});
        world->contactGroups.setRows({{{"displayName", "Work"},
                                       {"groupID", "g1"},
                                       {"realmID", "__Tavri"},
                                       {"contactList", QVariant::fromValue<QObject *>(contacts)}}});
        showPane("contactsTile");
        QTRY_VERIFY(findItem(frame, "contactRow"));
        QVERIFY(clickItem(findItem(frame, "contactRow")));
        QCOMPARE(world->log.calls, QStringList{"trackEvent(MainFrame, ContactListEntryOuterClick, [])"});
        QObject *menu = findNamed(frame, "friendMenu");
        QCOMPARE(menu->property("friendUri").toString(), QString("sip:u-bob@x"));
        QCOMPARE(menu->property("userUUID").toString(), QString("u-bob"));
    }

    // The participants pop-up opens on the row's participants area only,
    // not anywhere on the row.
    void participantsPopUpOpensOnTheParticipantsArea()
    {
        FakeConversation lobby(&world->log, "sip:confctl-l@x", "Lobby");
        FakeParticipantList participants({"displayName", "sipURI"});
        participants.append({{"displayName", "Bob"}, {"sipURI", "sip:u-bob@x"}});
        lobby.setParticipants(&participants);
        world->permanentConversations.append({{"displayName", "Lobby"},
                                              {"sipURI", "sip:confctl-l@x"},
                                              {"conversationRef", QVariant::fromValue<QObject *>(&lobby)}});
        QQuickItem *row = nullptr;
        QTRY_VERIFY((row = findItem(frame, "channelRow")) != nullptr);
        QObject *popup = findNamed(frame, "participantsPopup");
        QVERIFY(popup);
        QObject *list = findNamed(frame, "channelsList");
        QQuickWindow *window = row->window();
        // Hover reaches a window on the screen only.
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // Elsewhere on the row, its name included: the row is current, the
        // pop-up stays hidden.
        for (const QPoint &at : {row->mapToScene(QPointF(2, row->height() / 2)).toPoint(),
                                 findItem(row, "channelName")->mapToScene(QPointF(2, 2)).toPoint()}) {
            QTest::mouseMove(window, at);
            QTRY_COMPARE(list->property("currentIndex").toInt(), 0);
            QVERIFY(!popup->property("visible").toBool());
        }
        // On the participants area: it shows, below the row.
        QQuickItem *area = findItem(row, "participantsArea");
        QVERIFY(area && area->isVisible());
        QTest::mouseMove(window, area->mapToScene(QPointF(2, area->height() / 2)).toPoint());
        QTRY_VERIFY(popup->property("visible").toBool());
        QCOMPARE(popup->property("rows").toInt(), 1);
        QVERIFY(popup->property("y").toInt() > window->y() + row->mapToScene(QPointF(0, 0)).y());
        QMetaObject::invokeMethod(popup, "hide");
        QTest::mouseMove(window, QPoint(0, 0));
    }

    void addGroupWindowCreatesATrimmedGroup()
    {
        showPane("contactsTile");
        QVERIFY(clickItem(findItem(frame, "addGroupButton")));
        QObject *window = findNamed(frame, "addContactGroup");
        QVERIFY(window);
        QTRY_VERIFY(window->property("visible").toBool());
        QQuickItem *field = findItem(window, "groupNameField");
        QQuickItem *add = findItem(window, "addGroupConfirm");
        QVERIFY(field && add);
        QVERIFY(!add->isEnabled());
        field->setProperty("text", "   ");
        QVERIFY(!add->isEnabled());
        field->setProperty("text", QString(80, 'x'));
        QCOMPARE(field->property("text").toString(), QString(50, 'x'));
        field->setProperty("text", "  Raid team ");
        QVERIFY(add->isEnabled());
        QVERIFY(clickItem(add));
        QCOMPARE(world->log.calls, (QStringList{"trackEvent(MainFrame, ShowAddGroupClick, [])",
                                                "realm.requestCreateContactGroup(Raid team)"}));
        QVERIFY(!window->property("visible").toBool());

        // Shown again it starts empty; Cancel closes without a request.
        world->log.clear();
        QVERIFY(clickItem(findItem(frame, "addGroupButton")));
        QTRY_VERIFY(window->property("visible").toBool());
        QCOMPARE(field->property("text").toString(), QString());
        QVERIFY(clickItem(findItem(window, "addGroupCancel")));
        QVERIFY(!window->property("visible").toBool());
        QCOMPARE(world->log.calls, QStringList{"trackEvent(MainFrame, ShowAddGroupClick, [])"});
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
        QCOMPARE(world->log.calls,
                 QStringList{"trackEvent(Notifications, UpdateLinkClick, [link:https://example.org/update])"});

        world->log.clear();
        QVERIFY(clickItem(findItem(frame, "updateClose")));
        QCOMPARE(world->log.calls,
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
        QCOMPARE(
            world->log.calls,
            (QStringList{"mainApp.showGeneralSettings(2)", "trackEvent(MainFrame, avatarClick, [])",
                         "mainApp.showReportIssue()", "mainApp.showHiddenWindow()", "findChannels.showChannelSearch()",
                         "trackEvent(MainFrame, FindMoreFavoriteChannels, [])", "mainApp.showPostCallSurvey()"}));

        world->log.clear();
        QQuickItem *field = findItem(frame, "presenceMessageField");
        field->setProperty("text", "Busy coding");
        field->forceActiveFocus();
        QTest::keyClick(world->view, Qt::Key_Return);
        QCOMPARE(world->log.calls, (QStringList{"localUser.setPresenceMessage(5, Busy coding)",
                                                "trackEvent(LocalUserHeader, ChangePresenceMessage, [i:5])"}));
        QVERIFY(!field->hasActiveFocus());
    }

    void participantsPopUpGivesWayToAMenu()
    {
        FakeParticipantList people(
            {"displayName", "isMuted", "isSpeaking", "participantIdentityRef", "profileImageURI"});
        people.append({{"displayName", "Ann"},
                       {"isMuted", false},
                       {"isSpeaking", false},
                       {"participantIdentityRef", QVariant::fromValue<QObject *>(nullptr)},
                       {"profileImageURI", ""}});
        FakeConversation lobby(&world->log, "sip:confctl-l@x", "Lobby");
        lobby.setParticipants(&people);
        world->permanentConversations.append({{"displayName", "Lobby"},
                                              {"sipURI", "sip:confctl-l@x"},
                                              {"conversationRef", QVariant::fromValue<QObject *>(&lobby)}});
        world->view->show();
        QVERIFY(QTest::qWaitForWindowExposed(world->view));
        QList<QObject *> rows;
        QTRY_VERIFY((rows.clear(), collectNamed(frame, "channelRow", &rows), rows.size() == 1));
        auto *row = qobject_cast<QQuickItem *>(rows.first());
        QWindow *popup = qobject_cast<QWindow *>(findNamed(frame, "participantsPopup"));
        QVERIFY(popup);
        QQuickItem *area = findItem(row, "participantsArea");
        QVERIFY(area && area->isVisible());
        const QPoint centre = area->mapToScene(QPointF(2, area->height() / 2)).toPoint();

        // The pointer over the row's participants shows who is in the channel.
        QTest::mouseMove(world->view, QPoint(1, 1));
        QTest::mouseMove(world->view, centre);
        QTRY_VERIFY_WITH_TIMEOUT(popup->isVisible(), 20000);

        // The row's menu takes its place, and the pointer moving on the row
        // while the menu is open brings no pop-up over it.
        QObject *menu = findNamed(frame, "channelMenu");
        QVERIFY(clickItem(row, Qt::RightButton));
        QTRY_VERIFY_WITH_TIMEOUT(menu->property("__popupVisible").toBool(), 20000);
        QVERIFY(!popup->isVisible());
        QTest::mouseMove(world->view, centre + QPoint(5, 0));
        QVERIFY(!popup->isVisible());
        QMetaObject::invokeMethod(menu, "__dismissMenu");
        QTRY_VERIFY_WITH_TIMEOUT(!menu->property("__popupVisible").toBool(), 20000);
        QVERIFY(!popup->isVisible());
        world->permanentConversations.clear();
        world->view->hide();
    }

    void closeButtonHidesToTheTrayElseMinimises_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("tray") << true << "Click to minimize to system tray";
        QTest::newRow("no tray") << false << "Click to minimize to taskbar";
    }
    void closeButtonHidesToTheTrayElseMinimises()
    {
        QFETCH(bool, tray);
        QFETCH(QString, toolTip);
        world->mainApp.trayIconShown = tray;
        emit world->mainApp.trayIconShownChanged();
        world->view->show();
        QVERIFY(QTest::qWaitForWindowExposed(world->view));
        QQuickItem *close = findItem(frame, "closeButton");
        QCOMPARE(close->property("toolTip").toString(), toolTip);

        QVERIFY(clickItem(close));
        if (tray) {
            QTRY_VERIFY_WITH_TIMEOUT(!world->view->isVisible(), 20000);
        } else {
            // Still a window the user can bring back from the taskbar.
            QTRY_COMPARE_WITH_TIMEOUT(world->view->windowState(), Qt::WindowMinimized, 20000);
            QVERIFY(world->view->isVisible());
        }
        world->view->showNormal();
        world->mainApp.trayIconShown = true;
        emit world->mainApp.trayIconShownChanged();
    }
};

TAVRI_TEST_MAIN(MainFrameTest)
#include "moc_mainframefakes.cpp"
#include "moc_mainframefixture.cpp"
#include "tst_mainframe.moc"
