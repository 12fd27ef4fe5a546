// Pictures of every window: each is opened the way the program opens it (at
// its opening size, through the application object's loaders) with sample
// data, checked to have loaded without a QML warning and to show more than a
// background, and saved as a PNG for review. Needs an X server (CTest runs it
// under xvfb-run): offscreen, Qt Quick grabs nothing.
#include <QtTest/QtTest>

#include <QCursor>
#include <QScreen>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>
#include <QSGRendererInterface>
#include <QSet>

#include "../shell/shellfixture.h"
#include "cfindusers.h"
#include "cfindusersdialog.h"
#include "conversation.h"
#include "conversationmessagelist.h"
#include "findchannels.h"
#include "localuser.h"
#include "notificationlist.h"
#include "permanentconversationlist.h"
#include "recentconversation.h"
#include "recentconversations.h"
#include "signedinuser.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "tavrisplashscreen.h"
#include "virtualkeycapturewindow.h"
#include "voicetestsupport.h"
#include "websettle.h"
#include "windowpicture.h"

// The application object with the slot that raises the voice-blocked warning
// open to the test.
class ScreensApplication : public TavriApplication
{
public:
    using TavriApplication::onVoiceDataBlocked;
    using TavriApplication::TavriApplication;
};

namespace {

const QString kDomain = QStringLiteral("voice.test");

StorageManager *storage()
{
    return StorageManager::getInstance();
}

TavriIdentityRealm *realm()
{
    return TavriIdentityRealm::getInstance();
}

QString userUri(const QString &name)
{
    return QStringLiteral("sip:u-%1@%2").arg(name, kDomain);
}

// The web service's id of a sample user.
QString uidOf(const QString &name)
{
    return QString::number(500 + int(qHash(name) % 400));
}

// A user of the built-in realm with a name, a place and a presence.
TavriIdentityRealmUser *sampleUser(const QString &name, Tavri::RealmUserInterface::PresenceState presence,
                                   const QString &location = QString(), const QString &description = QString())
{
    auto *user = qobject_cast<TavriIdentityRealmUser *>(
        realm()->requestUserInfoUpdateByURI(userUri(name.toLower()))->getQObject());
    if (!user)
        return nullptr;
    user->setUid(uidOf(name));
    user->setUname(name.toLower());
    user->setDisplayName(name);
    user->setLocation(location);
    user->setDescription(description);
    user->setPresenceState(presence, true);
    return user;
}

QObject *findNamed(QQuickView *view, QLatin1String name)
{
    return view && view->rootObject() ? view->rootObject()->findChild<QObject *>(name) : nullptr;
}

} // namespace

class TestScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void splash();
    void loginAndSignUp();
    void mainFrameEmptyAndFilled();
    void conversationWindows();
    void findDialogs();
    void settingsPages();
    void about();
    void dialogs();
    void userDetails();
    void chatLog();
    void warnings();

private:
    ScreensApplication *app() const { return static_cast<ScreensApplication *>(shelltest::application()); }
    // Waits until the window shows and its pictures have loaded, grabs it,
    // checks that it is not blank and saves it as <name>.png.
    bool shoot(QQuickWindow *window, const QString &name);
    bool saveImage(const QImage &image, const QString &name);
    Conversation *sampleChannel(const QString &name, int number);
    void fillFrame();
    // Signs the sample user in, once.
    bool signIn();
    // Pictures of the main frame showing each of its panes.
    bool shootPanes(const QString &state);

    FakeWebService *m_web = nullptr;
    LogCapture *m_capture = nullptr;
    QString m_folder;
    QString m_failure;
    QList<QPointer<Conversation>> m_channels;
};

#define SHOOT(window, name) QVERIFY2(shoot((window), QStringLiteral(name)), qPrintable(m_failure))

void TestScreens::initTestCase()
{
    QVERIFY2(tavritest::TestEnvironment::hasX11Display(),
             "pictures need an X server: run under xvfb-run -a with DISPLAY set");
    const QString base = qEnvironmentVariable("TAVRI_SCREENS_DIR");
    QVERIFY2(!base.isEmpty(), "TAVRI_SCREENS_DIR names no folder for the pictures");
    // Times in the chat log read in a known zone.
    qputenv("TZ", "UTC");
    // The pictures' folder is named after the Qt Quick backend that draws
    // them (the program's choice, made as it starts).
    m_web = shelltest::start();
    QString backend = QQuickWindow::sceneGraphBackend();
    if (backend.isEmpty())
        backend = qEnvironmentVariable("QT_QUICK_BACKEND", QStringLiteral("opengl"));
    m_folder = QDir(base).filePath(backend);
    QDir(m_folder).removeRecursively();
    QVERIFY2(QDir().mkpath(m_folder), qPrintable(m_folder));
    // The pointer rests in a corner, away from every window, so that no
    // picture shows a control under it hovered.
    QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
    qInfo().noquote() << "Qt Quick backend:" << backend << "- pictures in" << m_folder;
    m_web->setSignInDefaults(QJsonObject());
    for (const char *method : {"getUserByUserLiveURI", "getUserByUID", "GetChannelInfoWithOwnerInfoFromLiveUID",
                               "GetChannelInfoWithOwnerInfo", "GetChannelInfo"})
        m_web->setDefault(QLatin1String(method), QJsonObject{{"status", "OK"}});
}

void TestScreens::init()
{
    m_capture = new LogCapture();
    // The windows after the login window are drawn for a signed-in user,
    // whichever function runs first.
    const QByteArray function = QTest::currentTestFunction();
    if (function != "splash" && function != "loginAndSignUp")
        QVERIFY(signIn());
}

void TestScreens::cleanup()
{
    const QStringList warnings = shelltest::qmlWarnings(*m_capture);
    delete m_capture;
    m_capture = nullptr;
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

void TestScreens::cleanupTestCase()
{
    for (const QPointer<Conversation> &channel : qAsConst(m_channels))
        delete channel.data();
    if (LocalUser::getLocalUser()->getLoginState() != LocalUser::LoggedOut)
        LocalUser::getLocalUser()->onSocialLoginFailed(QStringLiteral("pictures taken"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete m_web;
    m_web = nullptr;
}

bool TestScreens::shoot(QQuickWindow *window, const QString &name)
{
    const QString error = tavritest::saveWindowPicture(window, QDir(m_folder).filePath(name + QStringLiteral(".png")));
    m_failure = name + QStringLiteral(": ") + error;
    return error.isEmpty();
}

bool TestScreens::saveImage(const QImage &image, const QString &name)
{
    const QString error = tavritest::saveImagePicture(image, QDir(m_folder).filePath(name + QStringLiteral(".png")));
    m_failure = name + QStringLiteral(": ") + error;
    return error.isEmpty();
}

Conversation *TestScreens::sampleChannel(const QString &name, int number)
{
    const QString uri = QStringLiteral("sip:confctl-%1@%2").arg(number).arg(kDomain);
    auto *channel = new Conversation(name, uri, QString::number(9000 + number));
    m_channels.append(channel);
    channel->setMessage(QStringLiteral("Evening raids, all welcome"), true);
    channel->setDescription(QStringLiteral("A channel for the weekly raid: plans, logs and a place to talk."), true);
    channel->setOwnerIdentity(sampleUser(QStringLiteral("Mara"), Tavri::RealmUserInterface::Online));
    return channel;
}

void TestScreens::splash()
{
    // The widget the program shows while it starts.
    TavriSplashScreen splash(QPixmap(QStringLiteral(":/textures/Tavri_Logo_Clean_01_Medium.png")));
    splash.showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QVERIFY(!splash.pixmap().isNull());
    QCOMPARE(splash.size(), splash.pixmap().size());
    QVERIFY2(saveImage(splash.grab().toImage(), QStringLiteral("splash")), qPrintable(m_failure));
}

void TestScreens::loginAndSignUp()
{
    app()->showLoginPrompt();
    QQuickView *login = app()->loginPrompt();
    SHOOT(login, "login");

    QQuickItem *root = login->rootObject();
    QVERIFY(QMetaObject::invokeMethod(root, "showLoginFace", Q_ARG(QVariant, false)));
    // The window grows to the sign-up face in a short animation.
    QTRY_COMPARE(root->property("resizeProgress").toDouble(), 1.0);
    QTRY_COMPARE(root->property("minimumWidth").toInt(), root->property("faceWidth").toInt());
    QCOMPARE(login->width(), root->property("faceWidth").toInt());
    SHOOT(login, "signup");
    QVERIFY(QMetaObject::invokeMethod(root, "showLoginFace", Q_ARG(QVariant, true)));
    login->hide();
}

void TestScreens::fillFrame()
{
    // Friends in two groups, and one more without a group.
    const QString me = QStringLiteral("me");
    sampleUser(QStringLiteral("Ann"), Tavri::RealmUserInterface::Online, QStringLiteral("Lisbon"));
    sampleUser(QStringLiteral("Bo"), Tavri::RealmUserInterface::Away);
    sampleUser(QStringLiteral("Chidi"), Tavri::RealmUserInterface::DoNotDisturb);
    sampleUser(QStringLiteral("Dee"), Tavri::RealmUserInterface::Offline);
    emit realm()->rosterListReceivedBegin(me);
    emit realm()->rosterListGroup(me, QStringLiteral("g1"), QStringLiteral("Raid team"));
    emit realm()->rosterListGroup(me, QStringLiteral("g2"), QStringLiteral("Work"));
    // The roster names each friend by the web service's id, as the realm
    // delivers it.
    for (const char *name : {"Ann", "Bo", "Chidi", "Dee"})
        emit realm()->rosterListEntry(me, uidOf(QLatin1String(name)));
    emit realm()->rosterListGroupEntry(me, QStringLiteral("g1"), uidOf(QStringLiteral("Ann")));
    emit realm()->rosterListGroupEntry(me, QStringLiteral("g1"), uidOf(QStringLiteral("Bo")));
    emit realm()->rosterListGroupEntry(me, QStringLiteral("g2"), uidOf(QStringLiteral("Chidi")));
    emit realm()->rosterListReceivedEnd(me);
    // The roster's users are the realm's records under those ids: their
    // names and presence arrive after the roster has listed them.
    const QList<QPair<QString, Tavri::RealmUserInterface::PresenceState>> friends{
        {QStringLiteral("Ann"), Tavri::RealmUserInterface::Online},
        {QStringLiteral("Bo"), Tavri::RealmUserInterface::Away},
        {QStringLiteral("Chidi"), Tavri::RealmUserInterface::DoNotDisturb},
        {QStringLiteral("Dee"), Tavri::RealmUserInterface::Offline}};
    for (const auto &[name, presence] : friends) {
        auto *user = qobject_cast<TavriIdentityRealmUser *>(realm()->getRealmUser(uidOf(name))->getQObject());
        user->setUname(name);
        user->setDisplayName(name);
        user->setPresenceState(presence, true);
    }

    // Channels of the account: the first joined and the local user's own.
    emit realm()->conversationListReceivedBegin(me);
    int number = 100;
    for (const char *name : {"Raid night", "Lobby", "Quiet room"})
        emit realm()->conversationListEntry(me, QStringLiteral("sip:confctl-%1@%2").arg(number++).arg(kDomain),
                                            QLatin1String(name));
    emit realm()->conversationListReceivedEnd(me);
    const char *names[] = {"Raid night", "Lobby", "Quiet room"};
    for (number = 100; number < 103; ++number) {
        Conversation *channel = realm()->getConversation(QStringLiteral("sip:confctl-%1@%2").arg(number).arg(kDomain));
        // As the channel's record from the web service would name it.
        channel->setChannelUID(QString::number(number));
        channel->setDisplayName(QLatin1String(names[number - 100]), true);
        channel->setMessage(QStringLiteral("Open to all"), true);
        if (number == 100)
            channel->setOwnerIdentity(LocalUser::getLocalUser()->tavriidentity());
    }

    // Recent conversations, as the database keeps them.
    const QDateTime at(QDate(2026, 3, 14), QTime(20, 15), Qt::UTC);
    const QString channelId = QStringLiteral("sip:confctl-100@%1").arg(kDomain);
    storage()->insertRecentConversationRecord(QStringLiteral("__Tavri"), channelId, QStringLiteral("Raid night"),
                                              QString(), at, at.addSecs(1800), QString());
    storage()->insertRecentConversationParticipantRecord(QStringLiteral("__Tavri"), channelId, at,
                                                         userUri(QStringLiteral("ann")));
    storage()->insertRecentConversationRecord(QStringLiteral("__Tavri"), userUri(QStringLiteral("bo")),
                                              QStringLiteral("Bo"), QString(), at.addDays(-1),
                                              at.addDays(-1).addSecs(300), QString());
    storage()->insertRecentConversationParticipantRecord(QStringLiteral("__Tavri"), userUri(QStringLiteral("bo")),
                                                         at.addDays(-1), userUri(QStringLiteral("bo")));
    LocalUser::getLocalUser()->getRecentConversations()->refresh();

    // Notifications: a friend request from someone not yet a friend (one
    // from a friend is stale and dropped) and a channel invitation from a
    // friend, from users the realm knows by their ids (as the web service
    // names them).
    sampleUser(QStringLiteral("Eve"), Tavri::RealmUserInterface::Online);
    for (const QString &name : {QStringLiteral("Eve"), QStringLiteral("Bo")})
        qobject_cast<TavriIdentityRealmUser *>(realm()->getRealmUser(uidOf(name))->getQObject())->setUname(name);
    NotificationList *notifications = LocalUser::getLocalUser()->getNotificationList();
    notifications->onNotificationReceived(QStringLiteral("7001"), uidOf(QStringLiteral("Eve")), QStringLiteral("Eve"),
                                          QString(), QString(), QStringLiteral("2"), QStringLiteral("1"), at, QString(),
                                          QString(), QString());
    notifications->onNotificationReceived(QStringLiteral("7002"), uidOf(QStringLiteral("Bo")), QStringLiteral("Bo"),
                                          QStringLiteral("101"), QStringLiteral("Lobby"), QStringLiteral("5"),
                                          QStringLiteral("1"), at.addSecs(60), QString(), QString(), QString());
}

bool TestScreens::signIn()
{
    LocalUser *local = LocalUser::getLocalUser();
    if (local->getLoginState() == LocalUser::LoggedIn)
        return true;
    if (!signedin::signIn(*m_web, userUri(QStringLiteral("me")), signedin::LoginRequest::HeldOpen, QJsonObject()))
        return false;
    local->tavriidentity()->setUname(QStringLiteral("alice"));
    local->tavriidentity()->setDisplayName(QStringLiteral("Alice"));
    local->tavriidentity()->setEmail(QStringLiteral("alice@example.org"));
    return true;
}

void TestScreens::mainFrameEmptyAndFilled()
{
    LocalUser *local = LocalUser::getLocalUser();
    QCOMPARE(local->getLoginState(), LocalUser::LoggedIn);
    QVERIFY(local->tavriidentity());

    app()->showMainFrame();
    QVERIFY2(shootPanes(QStringLiteral("empty")), qPrintable(m_failure));
    fillFrame();
    QCOMPARE(local->getPermanentConversations()->rowCount(), 3);
    QCOMPARE(local->getContactList()->getTotalCount(), 4);
    QCOMPARE(local->getContactList()->getOnlineCount(), 3);
    QCOMPARE(local->getRecentConversations()->rowCount(), 2);
    QVERIFY2(shootPanes(QStringLiteral("filled")), qPrintable(m_failure));
    // Each notification names its sender and channel.
    NotificationList *notifications = local->getNotificationList();
    QStringList sentences;
    for (int row = 0; row < notifications->rowCount(); ++row)
        sentences.append(notifications->data(notifications->index(row), Qt::DisplayRole).toString());
    QCOMPARE(sentences,
             (QStringList{QStringLiteral("Bo invited you to Lobby"), QStringLiteral("Eve added you as a friend")}));
    // Back to the channels, which the frame opens with.
    QVERIFY(QMetaObject::invokeMethod(
        app()->mainFrame()->rootObject(), "showContentPane",
        Q_ARG(QVariant, QVariant::fromValue<QObject *>(findNamed(app()->mainFrame(), QLatin1String("channelsPane"))))));
}

bool TestScreens::shootPanes(const QString &state)
{
    QQuickView *frame = app()->mainFrame();
    for (const char *pane : {"channelsPane", "contactsPane", "addContactsPane", "recentPane"}) {
        QObject *item = findNamed(frame, QLatin1String(pane));
        if (!item
            || !QMetaObject::invokeMethod(frame->rootObject(), "showContentPane",
                                          Q_ARG(QVariant, QVariant::fromValue(item)))) {
            m_failure = QLatin1String(pane) + QStringLiteral(": not found");
            return false;
        }
        const QString name = QStringLiteral("mainframe-%1-%2").arg(QString::fromLatin1(pane).remove("Pane"), state);
        if (!shoot(frame, name))
            return false;
    }
    return true;
}

void TestScreens::conversationWindows()
{
    Conversation *channel = sampleChannel(QStringLiteral("Raid night"), 1);
    channel->showConversationWindow();
    QQuickView *pane = channel->conversationWindow();
    QVERIFY(pane);
    ConversationMessageList *lines = channel->getChatMessages();
    lines->addWelcomeMessage(QStringLiteral("Welcome to Raid night! Be kind, keep it on topic."));
    lines->addSystemMessage(QStringLiteral("Ann joined the channel"));
    sampleUser(QStringLiteral("Ann"), Tavri::RealmUserInterface::Online);
    sampleUser(QStringLiteral("Bo"), Tavri::RealmUserInterface::Away);
    const QDateTime at(QDate(2026, 3, 14), QTime(20, 15), Qt::UTC);
    const QString id = channel->getConversationID();
    lines->onConversationTextMessageReceived(id, userUri(QStringLiteral("ann")), QString(),
                                             QStringLiteral("Evening all, ready for tonight?"), at);
    lines->onConversationTextMessageReceived(
        id, userUri(QStringLiteral("bo")), QString(),
        QStringLiteral("Almost: patching now. The notes are at https://example.org/raid-notes"), at.addSecs(40));
    lines->onConversationTextMessageReceived(
        id, userUri(QStringLiteral("ann")), QString(),
        QStringLiteral("A longer line to show how the chat wraps when a message runs past the width of the "
                       "window, as chat lines often do."),
        at.addSecs(95));
    QCOMPARE(lines->rowCount(), 5);
    channel->onConversationParticipantAdded(id, userUri(QStringLiteral("ann")));
    channel->onConversationParticipantAdded(id, userUri(QStringLiteral("bo")));
    SHOOT(pane, "conversation");
    // Each chat line is drawn as formatted: its time, then its writer;
    // notices name no writer.
    auto *list = qobject_cast<QQuickItem *>(findNamed(pane, QLatin1String("messageList")));
    QVERIFY(list);
    QStringList shown;
    for (QQuickItem *line : list->property("contentItem").value<QQuickItem *>()->childItems())
        shown.append(line->property("text").toString());
    const auto showsLine = [&shown](const QString &line) {
        return std::any_of(shown.begin(), shown.end(), [&line](const QString &text) { return text.endsWith(line); });
    };
    QVERIFY2(showsLine(QStringLiteral(":15:00: ann: Evening all, ready for tonight?</div>")),
             qPrintable(shown.join('\n')));
    QVERIFY2(showsLine(QStringLiteral(": Ann joined the channel</div>")), qPrintable(shown.join('\n')));

    channel->showConversationDetails();
    SHOOT(Conversation::detailsWindow(), "channel-details");
    Conversation::detailsWindow()->close();

    channel->showEditProperties();
    SHOOT(Conversation::editWindow(), "channel-settings");
    Conversation::editWindow()->close();

    Conversation *locked = sampleChannel(QStringLiteral("Locked room"), 2);
    locked->showPasswordWindow();
    SHOOT(locked->passwordWindow(), "channel-password");
    locked->passwordWindow()->hide();

    Conversation *doomed = sampleChannel(QStringLiteral("Old lobby"), 3);
    doomed->requestDelete(false);
    SHOOT(Conversation::confirmDeleteWindow(), "channel-delete-confirm");
    Conversation::confirmDeleteWindow()->hide();
    pane->hide();
}

void TestScreens::findDialogs()
{
    // Some hits for every search.
    QJsonArray users;
    for (const char *name : {"Ann", "Annika", "Anouk"})
        users.append(QJsonObject{{"UserLiveURI", userUri(QString::fromLatin1(name).toLower())},
                                 {"UserSocialUID", uidOf(QLatin1String(name))},
                                 {"UserDisplayName", QLatin1String(name)},
                                 {"user_uname", QString::fromLatin1(name).toLower()}});
    m_web->setDefault(QStringLiteral("GetUserInfoPublicByName"), QJsonObject{{"results", users}, {"more", false}});

    Conversation *channel = sampleChannel(QStringLiteral("Raid night"), 4);
    struct Mode {
        int mode;
        const char *picture;
    };
    for (const Mode &mode : {Mode{CFindUsers::FindUsersForFriends, "find-users-friends"},
                             Mode{CFindUsers::FindUsersForAccessList, "find-users-access-list"},
                             Mode{CFindUsers::FindUsersForBannedList, "find-users-banned"},
                             Mode{CFindUsers::FindUsersForModeratorList, "find-users-moderators"},
                             Mode{CFindUsers::FindUsersForInviteFriendsToChannel, "find-users-invite"}}) {
        app()->showFindUsers(mode.mode, channel, CFindUsers::InviteFromChannel);
        CFindUsersDialog *dialog = app()->findUsers()->getDialog(CFindUsers::FindUserType(mode.mode));
        QVERIFY(dialog);
        QSignalSpy searching(dialog, &CFindUsersDialog::isSearchingChanged);
        if (dialog->searchForUsers(QStringLiteral("an"), false))
            QTRY_VERIFY(!dialog->getIsSearching());
        QVERIFY2(shoot(app()->findUsers()->getFindWindow(), QLatin1String(mode.picture)), qPrintable(m_failure));
        app()->findUsers()->getFindWindow()->close();
    }

    QJsonArray channels;
    int number = 200;
    for (const char *name : {"Raid night", "Raid planning", "Raiders of the lost chat"})
        channels.append(QJsonObject{{"ChannelLiveURI", QStringLiteral("sip:confctl-%1@%2").arg(number++).arg(kDomain)},
                                    {"ChannelSocialUID", QString::number(number)},
                                    {"ChannelDisplayName", QLatin1String(name)},
                                    {"ChannelIsPasswordProtected", number == 202 ? "1" : "0"}});
    m_web->reply(QStringLiteral("GetChannelsMatching"), QJsonObject{{"results", channels}, {"more", false}});
    FindChannels *find = FindChannels::getInstance();
    find->showChannelSearch();
    QSignalSpy ended(find, &FindChannels::isSearchingChanged);
    find->executeSearch(QStringLiteral("raid"), false, false, 20);
    QTRY_VERIFY(!find->isSearching());
    SHOOT(find->window(), "find-channels");
    find->hideChannelSearch();
}

void TestScreens::settingsPages()
{
    const char *pages[] = {"settings-general", "settings-audio", "settings-profile", "settings-cues-and-speech"};
    for (int page = 0; page < 4; ++page) {
        app()->showGeneralSettings(page);
        QVERIFY2(shoot(app()->settingsWindow(), QLatin1String(pages[page])), qPrintable(m_failure));
    }
    app()->settingsWindow()->close();
}

void TestScreens::about()
{
    app()->showAbout();
    SHOOT(app()->aboutWindow(), "about");
    app()->aboutWindow()->hide();
}

void TestScreens::dialogs()
{
    app()->showEditPresenceMessages();
    SHOOT(app()->editPresenceMessagesWindow(), "presence-messages");
    app()->editPresenceMessagesWindow()->hide();

    app()->showInviteFriendsViaEmail();
    SHOOT(app()->inviteFriendsViaEmailWindow(), "invite-friends");
    app()->inviteFriendsViaEmailWindow()->close();

    app()->showReportIssue(QStringLiteral("Poor"));
    SHOOT(app()->reportIssueWindow(), "report-issue");
    app()->reportIssueWindow()->close();

    app()->showPostCallSurvey();
    SHOOT(app()->postCallSurveyWindow(), "post-call-survey");
    app()->postCallSurveyWindow()->hide();

    storage()->setShowHint(QStringLiteral("Tutorial"), true);
    app()->showTutorial();
    SHOOT(app()->tutorialWindow(), "tutorial");
    app()->tutorialWindow()->close();

    app()->showHiddenWindow();
    SHOOT(app()->hiddenWindow(), "audio-diagnostics");
    app()->hiddenWindow()->hide();
}

void TestScreens::userDetails()
{
    TavriIdentityRealmUser *ann =
        sampleUser(QStringLiteral("Ann"), Tavri::RealmUserInterface::Online, QStringLiteral("Lisbon"),
                   QStringLiteral("Plays the healer on raid nights; ask me about the "
                                  "schedule."));
    QVERIFY(ann);
    app()->showUserProfileByURI(userUri(QStringLiteral("ann")));
    QQuickView *view = TavriIdentityRealmUser::userDetailsView();
    SHOOT(view, "user-details");
    emit view->closing(nullptr);
}

void TestScreens::chatLog()
{
    // A log as the recent conversations write it.
    const QString folder = QDir(tavritest::TestEnvironment::root()).filePath(QStringLiteral("logs"));
    const QString filename =
        RecentConversation::composeLogFilename(folder, QStringLiteral("__Tavri"), QStringLiteral("me"),
                                               QStringLiteral("sip:confctl-1@voice.test"), 1773519300000);
    QVERIFY(QDir().mkpath(QFileInfo(filename).path()));
    QFile file(filename);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QDateTime at = QDateTime::fromMSecsSinceEpoch(1773519300000, Qt::UTC);
    const QList<QPair<QString, QString>> lines = {
        {QStringLiteral("Ann"), QStringLiteral("Evening all, ready for tonight?")},
        {QStringLiteral("Bo"), QStringLiteral("Almost: patching now.")},
        {QStringLiteral("Alice"), QStringLiteral("I'll set up the voice channel.")},
        {QStringLiteral("Ann"), QStringLiteral("See you there!")}};
    for (const auto &line : lines) {
        file.write(RecentConversation::formatLogLine(at, line.first, line.second));
        at = at.addSecs(37);
    }
    file.close();
    app()->showChatLog(filename, QStringLiteral("Raid night"));
    SHOOT(app()->chatLogWindow(), "chat-log");
    app()->chatLogWindow()->hide();
}

void TestScreens::warnings()
{
    app()->onVoiceDataBlocked();
    SHOOT(app()->networkBlockingVoiceWarningWindow(), "warning-voice-blocked");
    app()->networkBlockingVoiceWarningWindow()->hide();
}

TAVRI_SHELL_TEST_MAIN_WITH_DISPLAY(ScreensApplication, TestScreens, "tavri-screens-test",
                                   tavritest::TestEnvironment::Display::X11)
#include "tst_screens.moc"
