// The conversation's windows: the chat window's stored geometry, titles and
// closing, the process-wide details, settings and delete-confirmation
// windows, and the password window.
#include <QtTest/QtTest>

#include <QPointer>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QScreen>

#include "../shell/shellfixture.h"
#include "conversation.h"
#include "conversationmessagelist.h"
#include "localuser.h"
#include "ostrelsdk_control.h"
#include "signedinuser.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "voicetestsupport.h"

namespace {

StorageManager *storage()
{
    return StorageManager::getInstance();
}

QObject *itemIn(QQuickView *window, const QString &objectName)
{
    return window && window->rootObject() ? window->rootObject()->findChild<QObject *>(objectName) : nullptr;
}

// Whether the voice service was asked a request of that type for the channel.
template <typename Request>
bool requestedFor(int type, const QString &channelUri)
{
    for (int i = 0; i < oxc_request_count(type); ++i) {
        const auto *request = reinterpret_cast<const Request *>(oxc_find_request(type, i));
        if (QString::fromUtf8(request->channel_uri) == channelUri)
            return true;
    }
    return false;
}

// A click at the middle of the item of that name, as the user makes it.
bool clickItem(QQuickView *window, const QString &objectName)
{
    auto *item = qobject_cast<QQuickItem *>(itemIn(window, objectName));
    if (!item || !item->isVisible())
        return false;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

QVariant contextValue(QQuickView *window, const char *name)
{
    QQmlContext *context = shelltest::application()->windowContext(window);
    return context->contextProperty(QString::fromLatin1(name));
}

// The conversation windows on screen: every visible view whose title names
// the conversation.
int shownWindowsTitled(const QString &text)
{
    int count = 0;
    for (QWindow *window : QGuiApplication::topLevelWindows())
        if (window->isVisible() && window->title().contains(text))
            ++count;
    return count;
}

} // namespace

class TestConversationWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void chatWindowGeometry_data();
    void chatWindowGeometry();
    void chatWindowTitleIsSetOnce();
    void movesAreSavedAfterQuiet();
    void nestedShowReturnsAtOnce();
    void closingChatWindowLeaves();
    void moveJustBeforeCloseIsSavedWithoutShowing();
    void detailsReplaceEachOther();
    void nestedDetailsRequestWhileReplacing();
    void editTitles_data();
    void editTitles();
    void editWindowIsProcessWideAndReusesFindDialogs();
    void mainFrameCallsReachTheWindows();
    void passwordCheckBoxFollowsSetting_data();
    void passwordCheckBoxFollowsSetting();
    void dismissingPasswordAbandonsJoin();
    void joiningFromPasswordWindowKeepsTheJoin();
    void secondPasswordRequestRetargets();
    void deleteConfirmation();
    void endingConversationClosesItsWindows();
    void chatViewDrawsTheFormattedLinesAndFollowsTheNewest();
    void chatWindowOffersTheChannelAndParticipantMenus();

private:
    TavriApplication *app() const { return shelltest::application(); }
    Conversation *channel(const QString &name, int n, const QString &uid = QStringLiteral("-1"));
    Conversation *track(Conversation *conversation);

    FakeWebService *m_web = nullptr;
    LogCapture *m_capture = nullptr;
    QList<QPointer<Conversation>> m_conversations;
};

void TestConversationWindows::initTestCase()
{
    qRegisterMetaType<Conversation::JoinState>();
    m_web = shelltest::start();
    m_web->setDefault(QStringLiteral("getUserByUserLiveURI"), QJsonObject{{"status", "OK"}});
    m_web->setDefault(QStringLiteral("getUserByUID"), QJsonObject{{"status", "OK"}});
    m_web->setDefault(QStringLiteral("DeleteChannel"), QJsonObject{{"status", "OK"}});
    m_web->setDefault(QStringLiteral("GetChannelInfoWithOwnerInfoFromLiveUID"), QJsonObject{{"status", "OK"}});
    m_web->setDefault(QStringLiteral("GetChannelInfoWithOwnerInfo"), QJsonObject{{"status", "OK"}});
    m_web->setLookupDefaults();
    QVERIFY(signedin::ownIdentity(QStringLiteral("sip:u-me@windows.example")));
    QVERIFY(voicetest::logIn(*app()->voiceManager(), QStringLiteral("windows")));
    // The main frame at a known place: new chat windows cascade beside it.
    app()->showMainFrame();
    QVERIFY(app()->mainFrame());
    app()->mainFrame()->setGeometry(0, 0, 325, 600);
    QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 800, 600));
}

void TestConversationWindows::init()
{
    m_capture = new LogCapture();
    oxc_clear_requests();
}

void TestConversationWindows::cleanup()
{
    for (const QPointer<Conversation> &conversation : qAsConst(m_conversations))
        delete conversation.data();
    m_conversations.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QStringList warnings = shelltest::qmlWarnings(*m_capture);
    delete m_capture;
    m_capture = nullptr;
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

void TestConversationWindows::cleanupTestCase()
{
    delete m_web;
    m_web = nullptr;
}

Conversation *TestConversationWindows::track(Conversation *conversation)
{
    m_conversations.append(conversation);
    return conversation;
}

Conversation *TestConversationWindows::channel(const QString &name, int n, const QString &uid)
{
    const QString uri = QStringLiteral("sip:confctl-%1@windows.example").arg(n);
    auto *conversation = track(new Conversation(name, uri, uid));
    for (const char *suffix : {"_x", "_y", "_width", "_height", "_password"})
        storage()->removeSettingsValue(conversation->settingsKey() + QLatin1String(suffix));
    return conversation;
}

void TestConversationWindows::chatWindowGeometry_data()
{
    QTest::addColumn<QVariantList>("stored"); // x, y, width, height; invalid = not stored
    QTest::addColumn<QRect>("expected");
    // Cascading steps 40 pixels from just right of the main frame (331)
    // round the 800-pixel desktop until 640 pixels fit: 331 + 12 * 40 - 800.
    QTest::newRow("nothing stored: 640 x 260, cascaded")
        << QVariantList{QVariant(), QVariant(), QVariant(), QVariant()} << QRect(11, 0, 640, 260);
    QTest::newRow("stored") << QVariantList{50, 60, 400, 300} << QRect(50, 60, 400, 300);
    QTest::newRow("height only: the rest from the defaults")
        << QVariantList{70, QVariant(), QVariant(), 200} << QRect(70, 0, 640, 200);
    QTest::newRow("too small is raised") << QVariantList{10, 10, 200, 50} << QRect(10, 10, 300, 120);
    QTest::newRow("corner point off the right edge") << QVariantList{790, 10, 400, 300} << QRect(0, 0, 400, 300);
    QTest::newRow("above the screen") << QVariantList{100, -30, 400, 300} << QRect(0, 0, 400, 300);
    QTest::newRow("not numbers read as 0") << QVariantList{"left", "top", "wide", "tall"} << QRect(0, 0, 300, 120);
    QTest::newRow("x at the int limit") << QVariantList{2147483640, 10, 400, 300} << QRect(0, 0, 400, 300);
}

void TestConversationWindows::chatWindowGeometry()
{
    QFETCH(QVariantList, stored);
    QFETCH(QRect, expected);
    Conversation *conversation = channel(QStringLiteral("Geometry"), 1);
    const char *suffixes[] = {"_x", "_y", "_width", "_height"};
    for (int i = 0; i < 4; ++i)
        if (stored.at(i).isValid())
            storage()->setSettingsValue(conversation->settingsKey() + QLatin1String(suffixes[i]), stored.at(i));

    conversation->showConversationWindow();
    QQuickView *window = conversation->conversationWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->geometry(), expected);
    QCOMPARE(window->flags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
    QCOMPARE(window->resizeMode(), QQuickView::SizeRootObjectToView);
    QCOMPARE(contextValue(window, "conversationRef").value<QObject *>(), conversation);
    QCOMPARE(contextValue(window, "mainViewer").value<QObject *>(), window);
    QVERIFY(contextValue(window, "mainApp").value<QObject *>());
}

void TestConversationWindows::chatWindowTitleIsSetOnce()
{
    // A name with markup stays plain text in the title bar.
    Conversation *conversation = channel(QStringLiteral("<b>Loud</b> & co"), 2);
    storage()->setSettingsValue(conversation->settingsKey() + QLatin1String("_x"), 40);
    conversation->showConversationWindow();
    QQuickView *window = conversation->conversationWindow();
    QVERIFY(window);
    const QString title =
        TavriIdentityRealm::getInstance()->realmDisplayName() + QStringLiteral("/// Conversation: <b>Loud</b> & co");
    QCOMPARE(window->title(), title);
    QObject *titleText = itemIn(window, QStringLiteral("titleText"));
    QVERIFY(titleText);
    QCOMPARE(titleText->property("text").toString(), title);
    QCOMPARE(titleText->property("textFormat").toInt(), int(Qt::PlainText));

    const QRect geometry = window->geometry();
    conversation->setDisplayName(QStringLiteral("Renamed"), true);
    conversation->showConversationWindow();
    QCOMPARE(conversation->conversationWindow(), window);
    QCOMPARE(window->title(), title);
    QCOMPARE(window->geometry(), geometry);
    QCOMPARE(shownWindowsTitled(QStringLiteral("Loud")), 1);
}

void TestConversationWindows::movesAreSavedAfterQuiet()
{
    Conversation *conversation = channel(QStringLiteral("Moves"), 3);
    conversation->showConversationWindow();
    QQuickView *window = conversation->conversationWindow();
    QVERIFY(window);
    const QString key = conversation->settingsKey();

    window->setGeometry(100, 50, 500, 220);
    QTRY_COMPARE(storage()->getSettingsValue(key + QLatin1String("_height")).toInt(), 220);
    QCOMPARE(storage()->getSettingsValue(key + QLatin1String("_x")).toInt(), 100);
    QCOMPARE(storage()->getSettingsValue(key + QLatin1String("_y")).toInt(), 50);
    QCOMPARE(storage()->getSettingsValue(key + QLatin1String("_width")).toInt(), 500);

    // Several moves, one save of the one value that changed, with the last x.
    QSignalSpy written(storage(), &StorageManager::settingChanged);
    for (int x = 101; x <= 105; ++x) {
        window->setPosition(x, 50);
        QCoreApplication::processEvents();
    }
    QCOMPARE(written.count(), 0);
    QTRY_COMPARE(written.count(), 1);
    QCOMPARE(written.first().at(0).toString(), key + QLatin1String("_x"));
    QCOMPARE(written.first().at(1).toInt(), 105);
}

void TestConversationWindows::nestedShowReturnsAtOnce()
{
    // A private chat: it counts as joined once its window is open.
    Conversation *conversation = track(new Conversation(
        TavriIdentityRealm::getInstance(), QStringLiteral("sip:u-nested@windows.example"), QStringLiteral("Nested")));
    storage()->removeSettingsValue(conversation->settingsKey() + QLatin1String("_x"));
    int nested = 0;
    QQuickView *seen = nullptr;
    // Announced while the window is being shown, as QML reacting to its own
    // loading could ask for the window again.
    connect(conversation, &Conversation::isJoinedChanged, this, [&] {
        ++nested;
        conversation->showConversationWindow();
        seen = conversation->conversationWindow();
    });
    conversation->showConversationWindow();
    QCOMPARE(nested, 1);
    QVERIFY(conversation->conversationWindow());
    QCOMPARE(seen, conversation->conversationWindow());
    QVERIFY(conversation->conversationWindow()->isVisible());
    QCOMPARE(shownWindowsTitled(conversation->conversationWindow()->title()), 1);
}

void TestConversationWindows::closingChatWindowLeaves()
{
    Conversation *conversation = channel(QStringLiteral("Leave"), 5);
    conversation->setJoinState(Conversation::Joined);
    QPointer<QQuickView> window = conversation->conversationWindow();
    QVERIFY(window);

    // The frame's close button hides the view and closes it.
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(clickItem(window, QStringLiteral("closeButton")));
    QCOMPARE(conversation->getJoinState(), Conversation::Leaving);
    QVERIFY(!conversation->conversationWindow());
    QTRY_VERIFY(window.isNull());
}

void TestConversationWindows::moveJustBeforeCloseIsSavedWithoutShowing()
{
    Conversation *conversation = channel(QStringLiteral("Closed"), 6);
    conversation->setJoinState(Conversation::Joined);
    QPointer<QQuickView> window = conversation->conversationWindow();
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QString key = conversation->settingsKey();
    // Settled first, so that the move below is the one pending save.
    window->setGeometry(100, 50, 500, 220);
    QTRY_COMPARE(storage()->getSettingsValue(key + QLatin1String("_height")).toInt(), 220);
    QTRY_COMPARE(storage()->getSettingsValue(key + QLatin1String("_x")).toInt(), 100);
    const QPoint moved(117, 59);
    QSignalSpy written(storage(), &StorageManager::settingChanged);
    QList<bool> shown;
    connect(window, &QWindow::visibleChanged, this, [&shown](bool visible) { shown.append(visible); });
    window->setPosition(moved);
    QCoreApplication::processEvents();
    // The close button, while the save waits for the moves to settle.
    QCOMPARE(written.count(), 0);
    QVERIFY(clickItem(window, QStringLiteral("closeButton")));
    QVERIFY(!shown.contains(true));
    QCOMPARE(storage()->getSettingsValue(key + QLatin1String("_x")).toInt(), moved.x());
    QCOMPARE(storage()->getSettingsValue(key + QLatin1String("_y")).toInt(), moved.y());
    QTRY_VERIFY(window.isNull());
}

void TestConversationWindows::detailsReplaceEachOther()
{
    Conversation *a = channel(QStringLiteral("Alpha"), 6);
    Conversation *b = channel(QStringLiteral("Beta"), 7);
    a->showConversationDetails();
    QPointer<QQuickView> first = Conversation::detailsWindow();
    QVERIFY(first);
    QCOMPARE(first->title(), QStringLiteral("Channel details: Alpha"));
    QCOMPARE(first->size(), QSize(480, 480));

    oxc_clear_requests();
    b->showConversationDetails();
    QQuickView *second = Conversation::detailsWindow();
    QVERIFY(second);
    QVERIFY(second != first);
    QCOMPARE(second->title(), QStringLiteral("Channel details: Beta"));
    QCOMPARE(contextValue(second, "channelToShow").value<QObject *>(), b);
    QVERIFY(second->isVisible());
    QTRY_VERIFY(first.isNull());
    QCOMPARE(shownWindowsTitled(QStringLiteral("Channel details:")), 1);
    // The lists are asked again for the window.
    QVERIFY(
        requestedFor<ox_req_account_channel_get_moderators_t>(OX_REQ_ACCOUNT_CHANNEL_GET_MODERATORS, b->getSipURI()));
    QVERIFY(requestedFor<ox_req_account_channel_get_acl_t>(OX_REQ_ACCOUNT_CHANNEL_GET_ACL, b->getSipURI()));
    QVERIFY(requestedFor<ox_req_channel_get_banned_users_t>(OX_REQ_CHANNEL_GET_BANNED_USERS, b->getSipURI()));

    // Closing it lets it go.
    QPointer<QQuickView> closing = second;
    second->close();
    QVERIFY(!Conversation::detailsWindow());
    QTRY_VERIFY(closing.isNull());
}

void TestConversationWindows::nestedDetailsRequestWhileReplacing()
{
    Conversation *a = channel(QStringLiteral("One"), 8);
    Conversation *b = channel(QStringLiteral("Two"), 9);
    Conversation *c = channel(QStringLiteral("Three"), 10);
    a->showConversationDetails();
    QQuickView *first = Conversation::detailsWindow();
    QVERIFY(first);
    // The old window's QML asks for another window while it closes.
    connect(first, &QQuickWindow::closing, c, [c] { c->showConversationDetails(); });
    b->showConversationDetails();
    QVERIFY(Conversation::detailsWindow());
    QCOMPARE(Conversation::detailsWindow()->title(), QStringLiteral("Channel details: Two"));
    QCOMPARE(shownWindowsTitled(QStringLiteral("Channel details:")), 1);
}

void TestConversationWindows::editTitles_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("title");
    QTest::newRow("no address") << QString() << QStringLiteral("Create new channel");
    QTest::newRow("private chat") << QStringLiteral("sip:u-ann@windows.example")
                                  << QStringLiteral("Enter name for channel");
    QTest::newRow("prefix case differs") << QStringLiteral("SIP:confctl-11@windows.example")
                                         << QStringLiteral("Enter name for channel");
    QTest::newRow("permanent channel") << QStringLiteral("sip:confctl-12@windows.example")
                                       << QStringLiteral("Channel Settings: Gamma");
}

void TestConversationWindows::editTitles()
{
    QFETCH(QString, uri);
    QFETCH(QString, title);
    Conversation *conversation =
        track(new Conversation(TavriIdentityRealm::getInstance(), uri, QStringLiteral("Gamma"), nullptr,
                               Conversation::VoiceDisabled, Conversation::NotJoined, QString(), uri));
    conversation->showEditProperties();
    QQuickView *window = Conversation::editWindow();
    QVERIFY(window);
    QCOMPARE(window->title(), title);
    QCOMPARE(window->size(), QSize(640, 480));
    QVERIFY(window->isVisible());
    QCOMPARE(contextValue(window, "channelToEdit").value<QObject *>(), conversation);
    QCOMPARE(contextValue(window, "parentChannelURI").toString(), QString());
}

void TestConversationWindows::editWindowIsProcessWideAndReusesFindDialogs()
{
    Conversation *parent = channel(QStringLiteral("Parent"), 13, QStringLiteral("13"));
    Conversation *a = channel(QStringLiteral("Child"), 14, QStringLiteral("14"));
    Conversation *b = channel(QStringLiteral("Other"), 15, QStringLiteral("15"));
    a->setParentConversation(parent);

    a->showEditProperties();
    QPointer<QQuickView> first = Conversation::editWindow();
    QVERIFY(first);
    QCOMPARE(contextValue(first, "parentChannelURI").toString(), parent->getSipURI());
    QObject *members = a->memberFindDialog();
    QObject *moderators = a->moderatorFindDialog();
    QObject *bans = a->banFindDialog();
    QCOMPARE(contextValue(first, "memberFindInstance").value<QObject *>(), members);
    QCOMPARE(contextValue(first, "moderatorFindInstance").value<QObject *>(), moderators);
    QCOMPARE(contextValue(first, "banFindInstance").value<QObject *>(), bans);

    b->showEditProperties();
    QVERIFY(Conversation::editWindow() != first);
    // A's edits, never saved, are undone: its saved record is asked again.
    QVERIFY(m_web->waitForRequest(QStringLiteral("GetChannelInfoWithOwnerInfo")));
    QCOMPARE(m_web->requestsFor(QStringLiteral("GetChannelInfoWithOwnerInfo"))
                 .last()
                 .value(QStringLiteral("ChannelSocialUID")),
             QStringLiteral("14"));
    QCOMPARE(Conversation::editWindow()->title(), QStringLiteral("Channel Settings: Other"));
    QTRY_VERIFY(first.isNull());
    QCOMPARE(shownWindowsTitled(QStringLiteral("Channel Settings:")), 1);

    // A's next settings window has A's find dialogs again.
    a->showEditProperties();
    QQuickView *again = Conversation::editWindow();
    QCOMPARE(contextValue(again, "channelToEdit").value<QObject *>(), a);
    QCOMPARE(a->memberFindDialog(), members);
    QCOMPARE(a->moderatorFindDialog(), moderators);
    QCOMPARE(a->banFindDialog(), bans);
    QCOMPARE(contextValue(again, "memberFindInstance").value<QObject *>(), members);
}

void TestConversationWindows::mainFrameCallsReachTheWindows()
{
    // The menus call the conversation by name; the application's "create
    // channel" opens the settings window of a new channel.
    Conversation *conversation = channel(QStringLiteral("Menu"), 16);
    QVERIFY(QMetaObject::invokeMethod(conversation, "showConversationDetails"));
    QVERIFY(Conversation::detailsWindow());
    QCOMPARE(Conversation::detailsWindow()->title(), QStringLiteral("Channel details: Menu"));
    QVERIFY(QMetaObject::invokeMethod(conversation, "showEditProperties"));
    QCOMPARE(Conversation::editWindow()->title(), QStringLiteral("Channel Settings: Menu"));

    app()->showCreateChannel(QString());
    QVERIFY(Conversation::editWindow());
    QCOMPARE(Conversation::editWindow()->title(), QStringLiteral("Create new channel"));
    auto *created =
        qobject_cast<Conversation *>(contextValue(Conversation::editWindow(), "channelToEdit").value<QObject *>());
    QVERIFY(created && created != conversation);
    track(created);
}

void TestConversationWindows::passwordCheckBoxFollowsSetting_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("checked");
    QTest::newRow("not stored") << QVariant() << true;
    QTest::newRow("false") << QVariant(QStringLiteral("false")) << false;
    QTest::newRow("true") << QVariant(QStringLiteral("true")) << true;
}

void TestConversationWindows::passwordCheckBoxFollowsSetting()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, checked);
    const QString key = QStringLiteral("settingsSavePasswordsForChannels");
    if (stored.isValid())
        storage()->setSettingsValue(key, stored);
    else
        storage()->removeSettingsValue(key);
    Conversation *conversation = channel(QStringLiteral("Locked"), 17);
    conversation->showPasswordWindow();
    storage()->removeSettingsValue(key);
    QQuickView *window = conversation->passwordWindow();
    QVERIFY(window);
    QCOMPARE(window->title(), QStringLiteral("Password required to join Locked"));
    QCOMPARE(window->size(), QSize(320, 200));
    QCOMPARE(contextValue(window, "requestedChannel").value<QObject *>(), conversation);
    QObject *box = itemIn(window, QStringLiteral("savePasswordBox"));
    QVERIFY(box);
    QCOMPARE(box->property("checked").toBool(), checked);
}

void TestConversationWindows::dismissingPasswordAbandonsJoin()
{
    Conversation *conversation = channel(QStringLiteral("Keyed"), 18);
    emit TavriIdentityRealm::getInstance()->conversationPasswordRequired(conversation->getConversationID(), QString());
    QCOMPARE(conversation->getJoinState(), Conversation::PasswordRequested);
    QPointer<QQuickView> window = conversation->passwordWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());

    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(clickItem(window, QStringLiteral("cancelButton")));
    QCOMPARE(conversation->getJoinState(), Conversation::NotJoined);
    QVERIFY(!conversation->passwordWindow());
    QTRY_VERIFY(window.isNull());

    // Closed while nothing is asked, it changes no state.
    conversation->showPasswordWindow();
    QVERIFY(conversation->passwordWindow());
    QSignalSpy states(conversation, &Conversation::joinStateChanged);
    conversation->passwordWindow()->close();
    QVERIFY(!conversation->passwordWindow());
    QCOMPARE(states.count(), 0);
}

void TestConversationWindows::joiningFromPasswordWindowKeepsTheJoin()
{
    Conversation *conversation = channel(QStringLiteral("Door"), 19);
    emit TavriIdentityRealm::getInstance()->conversationPasswordRequired(conversation->getConversationID(), QString());
    QPointer<QQuickView> window = conversation->passwordWindow();
    QVERIFY(window);
    QObject *field = itemIn(window, QStringLiteral("passwordField"));
    QVERIFY(field);
    field->setProperty("text", QStringLiteral("sesame"));
    QSignalSpy states(conversation, &Conversation::joinStateChanged);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(clickItem(window, QStringLiteral("joinButton")));
    // Closing the question on the way in does not abandon the join.
    QCOMPARE(states.count(), 1);
    QCOMPARE(states.first().at(0).value<Conversation::JoinState>(), Conversation::Joining);
    QVERIFY(!conversation->passwordWindow());
    QTRY_VERIFY(window.isNull());
}

void TestConversationWindows::secondPasswordRequestRetargets()
{
    Conversation *conversation = channel(QStringLiteral("Vault"), 20);
    conversation->showPasswordWindow();
    QQuickView *window = conversation->passwordWindow();
    QVERIFY(window);
    conversation->setDisplayName(QStringLiteral("Vault 2"), true);
    conversation->showPasswordWindow();
    QCOMPARE(conversation->passwordWindow(), window);
    QCOMPARE(window->title(), QStringLiteral("Password required to join Vault 2"));
    QCOMPARE(contextValue(window, "requestedChannel").value<QObject *>(), conversation);
    QCOMPARE(shownWindowsTitled(QStringLiteral("Password required to join")), 1);
}

void TestConversationWindows::deleteConfirmation()
{
    Conversation *conversation = channel(QStringLiteral("Doomed"), 21, QStringLiteral("2121"));
    conversation->requestDelete(false);
    QQuickView *window = Conversation::confirmDeleteWindow();
    QVERIFY(window);
    QCOMPARE(window->title(), QStringLiteral("Confirm delete: Doomed"));
    QCOMPARE(window->size(), QSize(320, 240));
    QCOMPARE(contextValue(window, "conversationRef").value<QObject *>(), conversation);
    QVERIFY(m_web->requestsFor(QStringLiteral("DeleteChannel")).isEmpty());

    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(clickItem(window, QStringLiteral("okButton")));
    QVERIFY(m_web->waitForRequest(QStringLiteral("DeleteChannel")));
    QVERIFY(!window->isVisible());
}

void TestConversationWindows::endingConversationClosesItsWindows()
{
    Conversation *conversation = channel(QStringLiteral("Gone"), 22, QStringLiteral("2222"));
    conversation->showConversationWindow();
    conversation->showPasswordWindow();
    conversation->showConversationDetails();
    conversation->showEditProperties();
    conversation->requestDelete(false);
    QList<QPointer<QQuickView>> windows = {conversation->conversationWindow(), conversation->passwordWindow(),
                                           Conversation::detailsWindow(), Conversation::editWindow(),
                                           Conversation::confirmDeleteWindow()};
    for (const QPointer<QQuickView> &window : windows)
        QVERIFY(window);
    delete conversation;
    QVERIFY(!Conversation::detailsWindow());
    QVERIFY(!Conversation::editWindow());
    QVERIFY(!Conversation::confirmDeleteWindow());
    for (const QPointer<QQuickView> &window : windows)
        QTRY_VERIFY(window.isNull());
}

void TestConversationWindows::chatViewDrawsTheFormattedLinesAndFollowsTheNewest()
{
    storage()->setSettingsValue(QStringLiteral("settingsShowTimestampsInChat"), true);
    Conversation *conversation = channel(QStringLiteral("Lines"), 40);
    conversation->setJoinState(Conversation::Joined);
    QQuickView *window = conversation->conversationWindow();
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto *list = qobject_cast<QQuickItem *>(itemIn(window, QStringLiteral("messageList")));
    QVERIFY(list);
    ConversationMessageList *messages = conversation->getChatMessages();

    // Lines that wrap over several rows: the view stays at the newest.
    const QString longLine = QStringLiteral("a long line that wraps ").repeated(12);
    for (int i = 0; i < 25; ++i) {
        messages->addSystemMessage(QStringLiteral("%1 ").arg(i) + longLine);
        QTRY_VERIFY2(list->property("atYEnd").toBool(), qPrintable(QString::number(i)));
    }
    // Each line is drawn as the message list formats it: the time first.
    const QRegularExpression clock(QStringLiteral("^<div[^>]*>\\d\\d:\\d\\d:\\d\\d: "));
    for (int row = 0; row < messages->rowCount(); ++row) {
        const QString formatted = messages->index(row).data(ConversationMessageList::FormattedTextRole).toString();
        QVERIFY2(clock.match(formatted).hasMatch(), qPrintable(formatted));
    }

    // Typed markup (escaped by then) stays text; only its address is a link,
    // and only web links are.
    messages->addSystemMessage(QStringLiteral("&lt;a href='http://x.test'&gt;link&lt;/a&gt; file:///etc/passwd"));
    const QString shown =
        messages->index(messages->rowCount() - 1).data(ConversationMessageList::FormattedTextRole).toString();
    QVERIFY2(shown.contains(QStringLiteral("<a href=\"http://x.test\">http://x.test</a>'&gt;link&lt;/a&gt;")),
             qPrintable(shown));
    QVERIFY2(!shown.contains(QStringLiteral("href=\"file:")), qPrintable(shown));
}

void TestConversationWindows::chatWindowOffersTheChannelAndParticipantMenus()
{
    Conversation *conversation = channel(QStringLiteral("Menus"), 41);
    conversation->setJoinState(Conversation::Joined);
    QQuickView *window = conversation->conversationWindow();
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // The joined channel's menu is the window's, for this channel.
    QObject *channelMenu = itemIn(window, QStringLiteral("channelMenu"));
    QVERIFY(channelMenu);
    QCOMPARE(channelMenu->property("contextMenuChannelRef").value<QObject *>(), conversation);
    QVERIFY(itemIn(window, QStringLiteral("channelMenuButton")));
    QVERIFY(channelMenu->findChild<QObject *>(QStringLiteral("exitChannel")));
    // The participant menu is filled from a row of the participant list.
    QObject *participantMenu = itemIn(window, QStringLiteral("participantMenu"));
    QVERIFY(participantMenu);
    QVERIFY(participantMenu->property("colorSelector").value<QObject *>());
    const QVariantMap row{{"sipURI", "sip:u-ann@windows.example"}, {"isModerator", true}, {"isContact", true}};
    QVERIFY(QMetaObject::invokeMethod(window->rootObject(), "fillParticipantMenu", Q_ARG(QVariant, row)));
    QCOMPARE(participantMenu->property("participantURI").toString(), QStringLiteral("sip:u-ann@windows.example"));
    QCOMPARE(participantMenu->property("channelRef").value<QObject *>(), conversation);
    QVERIFY(participantMenu->property("isModerator").toBool());
    QVERIFY(participantMenu->property("isFriend").toBool());
}

TAVRI_SHELL_TEST_MAIN(TestConversationWindows, "Ostrel:tavri-conversationwindows")

#include "tst_conversationwindows.moc"
