// The windows: each loader's title, size, flags and properties, placement on
// the desktop, the main frame's saved geometry and the chat-log window.
#include <QtTest/QtTest>

#include <QQmlContext>
#include <QQuickItem>
#include <QQuickView>
#include <QQuickWindow>
#include <QScreen>
#include <QTemporaryDir>

#include "audiocuesmanager.h"
#include "cfindusers.h"
#include "localuser.h"
#include "recentconversations.h"
#include "rendererchoice.h"
#include "shellfixture.h"
#include "storagemanager.h"
#include "tavriidentityrealmuser.h"
#include "virtualkeycapturewindow.h"

namespace {

StorageManager *storage()
{
    return StorageManager::getInstance();
}

void forgetMainFrameGeometry()
{
    for (const char *key : {"mainWindow.x", "mainWindow.y", "mainWindow.width", "mainWindow.staysOnTop"})
        storage()->removeSettingsValue(QString::fromLatin1(key));
}

// Closes a window once, as the next object is added to it.
class CloseOnFirstChild : public QObject
{
public:
    explicit CloseOnFirstChild(QQuickView *view)
        : m_view(view)
    {
        view->installEventFilter(this);
    }
    int closes = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ChildAdded && closes++ == 0)
            m_view->close();
        return false;
    }

private:
    QQuickView *m_view;
};

} // namespace

class TestWindowLoaders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void mainFrameGeometry_data();
    void mainFrameGeometry();
    void lowMainFrameIsRaised();
    void staysOnTop();
    void movesAreSavedOnceAfterTheLast();
    void tinyOrHiddenFrameIsNeverSaved();
    void reloadConnectsOnce();
    void keptOnTheDesktop_data();
    void keptOnTheDesktop();
    void showFramePlacesAndClamps();
    void loaders_data();
    void loaders();
    void closingHandlers();
    void closeButtons_data();
    void closeButtons();
    void textCursorStaysInRange();
    void closedWhileLoading();
    void inviteAddresses();
    void profileWindowIsAProgramWindow();
    void unknownFindUsersModeOpensNothing();
    void chatLogTitle_data();
    void chatLogTitle();
    void chatLogShowsPlainText();
    void cascade_data();
    void cascade();
    void softwareSceneGraphWithoutOpenGl();
    void rendererWithoutLoadingOpenGl_data();
    void rendererWithoutLoadingOpenGl();

private:
    TavriApplication *app() const { return shelltest::application(); }
    QQuickView *mainFrame() const { return app()->mainFrame(); }
    void hideMainFrame();
    // Opens the window of that name as the program does and returns it.
    QQuickView *show(const QString &window);
    static QQuickItem *visibleItem(QQuickItem *item, const QString &objectName);
    // A mouse click at the middle of the item, as a person gives it.
    static void click(QQuickView *view, QQuickItem *item);
    // Key presses for each character, as typed.
    static void type(QQuickView *view, const QString &text);
    // Runs the events queued so far.
    void settle();
    FakeWebService *m_web = nullptr;
};

void TestWindowLoaders::initTestCase()
{
    // Chat-log times read in a known zone.
    qputenv("TZ", "UTC");
    m_web = shelltest::start();
    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    QCOMPARE(screen->geometry(), QRect(0, 0, 800, 600));
}

void TestWindowLoaders::cleanupTestCase()
{
    delete m_web;
    m_web = nullptr;
}

void TestWindowLoaders::hideMainFrame()
{
    if (mainFrame() && mainFrame()->isVisible())
        mainFrame()->hide();
}

void TestWindowLoaders::mainFrameGeometry_data()
{
    QTest::addColumn<QVariantList>("stored"); // x, y, width; invalid = not stored
    QTest::addColumn<QRect>("expected");
    QTest::newRow("nothing saved: centred")
        << QVariantList{QVariant(), QVariant(), QVariant()} << QRect(237, 0, 325, 600);
    QTest::newRow("saved") << QVariantList{40, 30, 400} << QRect(40, 30, 400, 600);
    QTest::newRow("narrow saved width") << QVariantList{10, 20, 200} << QRect(10, 20, 325, 600);
    QTest::newRow("x of -1 counts as nothing saved") << QVariantList{-1, 50, 400} << QRect(237, 0, 325, 600);
}

void TestWindowLoaders::mainFrameGeometry()
{
    QFETCH(QVariantList, stored);
    QFETCH(QRect, expected);
    hideMainFrame();
    forgetMainFrameGeometry();
    const char *keys[] = {"mainWindow.x", "mainWindow.y", "mainWindow.width"};
    for (int i = 0; i < 3; ++i) {
        if (stored.at(i).isValid())
            storage()->setSettingsValue(QString::fromLatin1(keys[i]), stored.at(i));
    }
    LogCapture capture;
    app()->showMainFrame();
    QVERIFY(mainFrame()->isVisible());
    QTRY_COMPARE(mainFrame()->geometry(), expected);
    QCOMPARE(mainFrame()->minimumSize(), QSize(325, 600));
    // The reset event belongs to low windows only.
    QVERIFY(shelltest::events(capture, QStringLiteral("MainApp.MinimumHeightReset")).isEmpty());
}

void TestWindowLoaders::lowMainFrameIsRaised()
{
    // A main frame made before, now hidden and made low.
    if (!mainFrame())
        app()->showMainFrame();
    QVERIFY(mainFrame());
    hideMainFrame();
    storage()->setSettingsValue(QStringLiteral("mainWindow.x"), 10);
    storage()->setSettingsValue(QStringLiteral("mainWindow.y"), 10);
    mainFrame()->setMinimumSize(QSize());
    mainFrame()->resize(325, 300);
    LogCapture capture;
    app()->showMainFrame();
    QCOMPARE(mainFrame()->height(), 600);
    QCOMPARE(shelltest::events(capture, QStringLiteral("MainApp.MinimumHeightReset")),
             QStringList{QStringLiteral("(\"height:300\", \"reset:600\")")});
}

void TestWindowLoaders::staysOnTop()
{
    storage()->setSettingsValue(QStringLiteral("mainWindow.staysOnTop"), true);
    app()->showMainFrame();
    QVERIFY(mainFrame()->flags() & Qt::WindowStaysOnTopHint);
    storage()->setSettingsValue(QStringLiteral("mainWindow.staysOnTop"), false);
    app()->showMainFrame(true);
    QVERIFY(!(mainFrame()->flags() & Qt::WindowStaysOnTopHint));
    QVERIFY(mainFrame()->flags() & Qt::FramelessWindowHint);
}

void TestWindowLoaders::movesAreSavedOnceAfterTheLast()
{
    app()->showMainFrame();
    // Settle: whatever is pending is written first.
    mainFrame()->setPosition(100, 40);
    QTRY_VERIFY(app()->geometrySaveTimer() != 0);
    QTRY_COMPARE(app()->geometrySaveTimer(), 0);
    QCOMPARE(storage()->getSettingsValue(QStringLiteral("mainWindow.x")).toInt(), 100);

    QSignalSpy written(storage(), &StorageManager::settingChanged);
    for (int x = 101; x <= 105; ++x) {
        mainFrame()->setPosition(x, 40);
        // The window system reports the move with its next events.
        QCoreApplication::processEvents();
        QVERIFY(app()->geometrySaveTimer() != 0);
    }
    QCOMPARE(written.count(), 0);
    QTRY_COMPARE(app()->geometrySaveTimer(), 0);
    // Only the key that changed, once, with the last value.
    QCOMPARE(written.count(), 1);
    QCOMPARE(written.first().at(0).toString(), QStringLiteral("mainWindow.x"));
    QCOMPARE(written.first().at(1).toInt(), 105);
}

void TestWindowLoaders::tinyOrHiddenFrameIsNeverSaved()
{
    app()->showMainFrame();
    QTRY_COMPARE(app()->geometrySaveTimer(), 0);
    mainFrame()->setMinimumSize(QSize());
    mainFrame()->resize(50, 600);
    mainFrame()->setPosition(120, 40);
    QCoreApplication::processEvents();
    QCOMPARE(app()->geometrySaveTimer(), 0);
    mainFrame()->resize(325, 50);
    mainFrame()->setPosition(130, 40);
    QCoreApplication::processEvents();
    QCOMPARE(app()->geometrySaveTimer(), 0);

    mainFrame()->resize(325, 600);
    QTRY_VERIFY(app()->geometrySaveTimer() != 0);
    QTRY_COMPARE(app()->geometrySaveTimer(), 0);
    mainFrame()->hide();
    mainFrame()->setPosition(140, 40);
    QCoreApplication::processEvents();
    QCOMPARE(app()->geometrySaveTimer(), 0);
    QVERIFY(storage()->getSettingsValue(QStringLiteral("mainWindow.x")).toInt() != 140);
}

void TestWindowLoaders::reloadConnectsOnce()
{
    hideMainFrame();
    LogCapture capture;
    for (int round = 0; round < 3; ++round) {
        app()->showMainFrame();
        mainFrame()->hide();
    }
    QCOMPARE(shelltest::events(capture, QStringLiteral("mainApp.mainFrameClosed")).size(), 3);
    QVERIFY(!app()->audioCuesManager()->getMainViewVisible());

    // One move after a reload saves once.
    app()->showMainFrame();
    QVERIFY(app()->audioCuesManager()->getMainViewVisible());
    QTRY_COMPARE(app()->geometrySaveTimer(), 0);
    capture.clear();
    const int x = mainFrame()->x() + 1;
    mainFrame()->setPosition(x, mainFrame()->y());
    QTRY_VERIFY(app()->geometrySaveTimer() != 0);
    QTRY_COMPARE(app()->geometrySaveTimer(), 0);
    QCOMPARE(capture.find(QtDebugMsg, QStringLiteral("Saving main window position")).size(), 1);
}

void TestWindowLoaders::keptOnTheDesktop_data()
{
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QPoint>("expected");
    // A 300 x 200 window on a desktop 800 wide, 600 high.
    QTest::newRow("inside") << QPoint(100, 100) << QPoint(100, 100);
    QTest::newRow("beyond the right edge") << QPoint(900, 10) << QPoint(500, 10);
    QTest::newRow("below the bottom") << QPoint(10, 700) << QPoint(10, 400);
    QTest::newRow("above and left") << QPoint(-20, -5) << QPoint(0, 0);
    QTest::newRow("overlapping the edge stays") << QPoint(700, 500) << QPoint(700, 500);
}

void TestWindowLoaders::keptOnTheDesktop()
{
    QFETCH(QPoint, position);
    QFETCH(QPoint, expected);
    QCOMPARE(TavriApplication::clampFramePosition(position, QSize(300, 200), 800, 600), expected);
}

void TestWindowLoaders::showFramePlacesAndClamps()
{
    QQuickView frame(app()->qmlEngine(), nullptr);
    frame.setFlags(Qt::FramelessWindowHint);
    frame.resize(300, 200);
    frame.setPosition(5000, -30);
    app()->showFrame(frame, TavriApplication::tpNone, false, false);
    QCOMPARE(frame.position(), QPoint(500, 0));
    QVERIFY(frame.isVisible());

    // Centred on the screen's free area: centre (399, 299).
    app()->showFrame(frame, TavriApplication::tpMainFrame, true, true);
    QCOMPARE(frame.position(), QPoint(250, 200));
    QCOMPARE(frame.transientParent(), static_cast<QWindow *>(mainFrame()));
}

QQuickView *TestWindowLoaders::show(const QString &window)
{
    if (window == QLatin1String("login")) {
        app()->showLoginPrompt();
        return app()->loginPrompt();
    }
    if (window == QLatin1String("main")) {
        app()->showMainFrame();
        return mainFrame();
    }
    if (window == QLatin1String("about")) {
        app()->showAbout();
        return app()->aboutWindow();
    }
    if (window == QLatin1String("presence")) {
        app()->showEditPresenceMessages();
        return app()->editPresenceMessagesWindow();
    }
    if (window == QLatin1String("settings")) {
        app()->showGeneralSettings(2);
        return app()->settingsWindow();
    }
    if (window == QLatin1String("hidden")) {
        app()->showHiddenWindow();
        return app()->hiddenWindow();
    }
    if (window == QLatin1String("invite")) {
        app()->showInviteFriendsViaEmail();
        return app()->inviteFriendsViaEmailWindow();
    }
    if (window == QLatin1String("report")) {
        app()->showReportIssue(QStringLiteral("Poor"));
        return app()->reportIssueWindow();
    }
    if (window == QLatin1String("survey")) {
        app()->showPostCallSurvey();
        return app()->postCallSurveyWindow();
    }
    if (window == QLatin1String("tutorial")) {
        app()->showTutorial();
        return app()->tutorialWindow();
    }
    if (window == QLatin1String("chatlog")) {
        app()->showChatLog(QStringLiteral("/nowhere/notes.txt"));
        return app()->chatLogWindow();
    }
    if (window == QLatin1String("warning")) {
        QMetaObject::invokeMethod(app(), "onVoiceDataBlocked");
        return app()->networkBlockingVoiceWarningWindow();
    }
    if (window == QLatin1String("profile")) {
        app()->showMainFrame();
        app()->showUserProfileByURI(QStringLiteral("sip:u-someone@d"));
        return TavriIdentityRealmUser::userDetailsView();
    }
    return nullptr;
}

void TestWindowLoaders::loaders_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size"); // invalid: the QML's own
    QTest::addColumn<QStringList>("localProperties");
    QTest::addColumn<QString>("event");
    QTest::addColumn<bool>("minimizeButton");
    const QString viewer = QStringLiteral("mainViewer");
    QTest::newRow("login") << "login"
                           << "Tavri: Login" << QSize(560, 308) << QStringList{viewer} << "Application.ShowLoginPane"
                           << true;
    QTest::newRow("main") << "main"
                          << "Tavri: Main" << QSize()
                          << QStringList{viewer, QStringLiteral("findInstance"), QStringLiteral("isInviteFriends")}
                          << QString() << true;
    QTest::newRow("about") << "about"
                           << "About Tavri" << QSize(600, 410) << QStringList{viewer, QStringLiteral("self")}
                           << QString() << false;
    QTest::newRow("presence messages") << "presence"
                                       << "Edit presence messages" << QSize(360, 200) << QStringList{viewer}
                                       << QString() << false;
    QTest::newRow("settings") << "settings"
                              << "Settings" << QSize(880, 540)
                              << QStringList{viewer, QStringLiteral("self"), QStringLiteral("renderDevices"),
                                             QStringLiteral("captureDevices")}
                              << QString() << false;
    QTest::newRow("hidden") << "hidden"
                            << "Internal Use Only" << QSize(640, 480) << QStringList{viewer} << QString() << false;
    QTest::newRow("invite") << "invite"
                            << "Invite Friends via Email to Tavri" << QSize(400, 292)
                            << QStringList{viewer, QStringLiteral("invitedChannel")} << QString() << false;
    QTest::newRow("report") << "report"
                            << "Report Issue" << QSize(720, 460) << QStringList{viewer, QStringLiteral("reason")}
                            << QString() << false;
    QTest::newRow("survey") << "survey"
                            << "Quality Survey" << QSize(480, 300) << QStringList{viewer}
                            << "Application.ShowPostCallSurvey" << false;
    QTest::newRow("tutorial") << "tutorial"
                              << "Tavri: Tutorial" << QSize() << QStringList{viewer} << QString() << false;
    QTest::newRow("chat log") << "chatlog"
                              << "Chat log" << QSize() << QStringList{viewer, QStringLiteral("filename")}
                              << "Application.ShowChatLog" << false;
}

void TestWindowLoaders::loaders()
{
    QFETCH(QString, window);
    QFETCH(QString, title);
    QFETCH(QSize, size);
    QFETCH(QStringList, localProperties);
    QFETCH(QString, event);
    QFETCH(bool, minimizeButton);

    LogCapture capture(LogCapture::ForwardWarnings);
    if (window == QLatin1String("tutorial"))
        storage()->setShowHint(QStringLiteral("Tutorial"), true);
    QQuickView *view = show(window);
    if (window == QLatin1String("settings"))
        QCOMPARE(app()->pageId(), 2);
    if (window == QLatin1String("report"))
        QCOMPARE(app()->windowContext(view)->contextProperty(QStringLiteral("reason")).toString(),
                 QStringLiteral("Poor"));
    if (window == QLatin1String("tutorial"))
        QVERIFY(!storage()->getShowHint(QStringLiteral("Tutorial")));
    QVERIFY(view);
    QVERIFY(view->isVisible());
    QCOMPARE(view->status(), QQuickView::Ready);
    QCOMPARE(view->title(), title);
    if (size.isValid() && window == QLatin1String("report")) {
        // Report Issue opens at its size and grows to fit its last line.
        QCOMPARE(view->width(), size.width());
        QVERIFY(view->height() >= size.height());
    } else if (size.isValid()) {
        QCOMPARE(view->size(), size);
    }
    QVERIFY(view->flags() & Qt::FramelessWindowHint);
    QCOMPARE(bool(view->flags() & Qt::WindowMinimizeButtonHint), minimizeButton);
    QCOMPARE(view->resizeMode(), QQuickView::SizeRootObjectToView);
    for (const QString &name : shelltest::commonContextProperties() + localProperties)
        QVERIFY2(app()->windowContext(view)->contextProperty(name).isValid(), qPrintable(name));
    QCOMPARE(app()->windowContext(view)->contextProperty(QStringLiteral("mainViewer")).value<QObject *>(),
             static_cast<QObject *>(view));
    if (!event.isEmpty())
        QCOMPARE(shelltest::events(capture, event).size(), 1);
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
    if (window != QLatin1String("main") && window != QLatin1String("login"))
        view->hide();
}

void TestWindowLoaders::closingHandlers()
{
    // Report issue, invite and tutorial load afresh after closing; the
    // settings window is made anew.
    app()->showReportIssue();
    app()->reportIssueWindow()->close();
    QTRY_VERIFY_WITH_TIMEOUT(app()->reportIssueWindow()->source().isEmpty(), 30000);
    app()->showReportIssue(QStringLiteral("again"));
    QCOMPARE(app()->reportIssueWindow()->status(), QQuickView::Ready);

    app()->showInviteFriendsViaEmail();
    app()->inviteFriendsViaEmailWindow()->close();
    QTRY_VERIFY_WITH_TIMEOUT(app()->inviteFriendsViaEmailWindow()->source().isEmpty(), 30000);

    app()->showTutorial();
    app()->tutorialWindow()->close();
    QTRY_VERIFY_WITH_TIMEOUT(app()->tutorialWindow()->source().isEmpty(), 30000);

    app()->showGeneralSettings(0);
    QPointer<VirtualKeyCaptureWindow> settings = app()->settingsWindow();
    emit settings->closing(nullptr);
    QVERIFY(!app()->settingsWindow());
    QTRY_VERIFY(!settings);
    app()->showGeneralSettings(1);
    QVERIFY(app()->settingsWindow());
    // The settings root drives key capture.
    QMetaObject::invokeMethod(app()->settingsWindow()->rootObject(), "startCapture");
    QVERIFY(app()->settingsWindow()->isCapturing());
    QMetaObject::invokeMethod(app()->settingsWindow()->rootObject(), "stopCapture");
    QVERIFY(!app()->settingsWindow()->isCapturing());

    // The login window's closing reaches its slot (closing it while logged
    // out would end the program, so the connection is looked at).
    app()->showLoginPrompt();
    QVERIFY(QObject::disconnect(app()->loginPrompt(), &QQuickWindow::closing, app(), nullptr));
    QVERIFY(QObject::connect(app()->loginPrompt(), SIGNAL(closing(QQuickCloseEvent *)), app(),
                             SLOT(onLoginScreenClosing(QQuickCloseEvent *))));
}

void TestWindowLoaders::closeButtons_data()
{
    QTest::addColumn<QString>("window");
    for (const char *window :
         {"tutorial", "report", "invite", "warning", "about", "presence", "chatlog", "survey", "hidden", "profile"})
        QTest::newRow(window) << QString::fromLatin1(window);
}

// Each window's own close button, pressed with the mouse, closes it while the
// program goes on; closed twice at once, or closed and at once opened again,
// the window opens whole the next time.
void TestWindowLoaders::closeButtons()
{
    QFETCH(QString, window);
    LogCapture capture(LogCapture::ForwardWarnings);
    QPointer<QQuickView> view = show(window);
    QVERIFY(view);
    QVERIFY(QTest::qWaitForWindowExposed(view, 30000));
    QQuickItem *button = visibleItem(view->rootObject(), QStringLiteral("closeButton"));
    QVERIFY(button);
    click(view, button);
    QTRY_VERIFY_WITH_TIMEOUT(!view || !view->isVisible(), 30000);
    settle();

    view = show(window);
    QVERIFY(view);
    QCOMPARE(view->status(), QQuickView::Ready);
    view->close();
    view->close();
    settle();

    view = show(window);
    QVERIFY(view);
    view->close();
    view = show(window);
    QVERIFY(view);
    settle();
    QVERIFY(view);
    QVERIFY(view->isVisible());
    QCOMPARE(view->status(), QQuickView::Ready);
    QVERIFY(view->rootObject());
    view->hide();
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
}

// Text fields emptied by the window while they take a click or after a
// send leave their cursor inside the text.
void TestWindowLoaders::textCursorStaysInRange()
{
    LogCapture capture(LogCapture::ForwardWarnings);
    QQuickView *report = show(QStringLiteral("report"));
    QVERIFY(report);
    QVERIFY(QTest::qWaitForWindowExposed(report, 30000));
    QQuickItem *comment = visibleItem(report->rootObject(), QStringLiteral("commentArea"));
    QVERIFY(comment);
    QVERIFY(!comment->property("text").toString().isEmpty()); // the hint
    click(report, comment);
    QTRY_VERIFY_WITH_TIMEOUT(comment->property("text").toString().isEmpty(), 30000);
    type(report, QStringLiteral("crackles"));
    QCOMPARE(comment->property("text").toString(), QStringLiteral("crackles"));
    report->hide();

    QQuickView *invite = show(QStringLiteral("invite"));
    QVERIFY(invite);
    QVERIFY(QTest::qWaitForWindowExposed(invite, 30000));
    QQuickItem *address = visibleItem(invite->rootObject(), QStringLiteral("addressField"));
    QQuickItem *message = visibleItem(invite->rootObject(), QStringLiteral("messageArea"));
    QQuickItem *send = visibleItem(invite->rootObject(), QStringLiteral("sendButton"));
    QVERIFY(address && message && send);
    click(invite, address);
    type(invite, QStringLiteral("friend@example.test"));
    click(invite, message);
    type(invite, QStringLiteral("Come and talk"));
    QCOMPARE(message->property("text").toString(), QStringLiteral("Come and talk"));
    click(invite, send);
    QTRY_VERIFY_WITH_TIMEOUT(!invite->isVisible(), 30000);
    settle();
    QCOMPARE(message->property("text").toString(), QString());

    QStringList cursorWarnings;
    for (const CapturedLine &line : capture.matching(QStringLiteral("QTextCursor")))
        cursorWarnings << line.message;
    QCOMPARE(cursorWarnings, QStringList());
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
}

// A window closed while its QML is being loaded (as the loader adds the
// window's QML component) opens whole, and the program goes on.
void TestWindowLoaders::closedWhileLoading()
{
    LogCapture capture(LogCapture::ForwardWarnings);
    QPointer<QQuickView> view = show(QStringLiteral("report"));
    QVERIFY(view);
    // Shown again before its unload: it keeps its QML, and the next close
    // unloads it.
    view->close();
    QCOMPARE(show(QStringLiteral("report")), view.data());
    settle();
    QCOMPARE(view->status(), QQuickView::Ready);
    view->close();
    settle();
    QTRY_VERIFY_WITH_TIMEOUT(view->source().isEmpty(), 30000);

    CloseOnFirstChild closer(view);
    QCOMPARE(show(QStringLiteral("report")), view.data());
    QCOMPARE(closer.closes, 1);
    settle();
    QVERIFY(view);
    QCOMPARE(view->status(), QQuickView::Ready);
    QVERIFY(view->rootObject());
    view->hide();
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
}

void TestWindowLoaders::click(QQuickView *view, QQuickItem *item)
{
    const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, centre);
}

void TestWindowLoaders::type(QQuickView *view, const QString &text)
{
    for (const QChar c : text)
        QTest::keyClick(view, c.toLatin1());
}

QQuickItem *TestWindowLoaders::visibleItem(QQuickItem *item, const QString &objectName)
{
    if (!item || !item->isVisible())
        return nullptr;
    if (item->objectName() == objectName)
        return item;
    for (QQuickItem *child : item->childItems()) {
        if (QQuickItem *found = visibleItem(child, objectName))
            return found;
    }
    return nullptr;
}

void TestWindowLoaders::settle()
{
    // Whatever the program queued before this marker (unloads, deletions)
    // has run once the marker has.
    bool reached = false;
    QMetaObject::invokeMethod(
        app(), [&reached] { reached = true; }, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(reached, 30000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestWindowLoaders::inviteAddresses()
{
    app()->showInviteFriendsViaEmail();
    QQuickItem *root = app()->inviteFriendsViaEmailWindow()->rootObject();
    QVERIFY(root);
    QVariant list;
    QVERIFY(
        QMetaObject::invokeMethod(root, "addressList", Q_RETURN_ARG(QVariant, list),
                                  Q_ARG(QVariant, QStringLiteral("a@b.org, not-an-address;c@d.net\n a@b.org @x.y"))));
    QCOMPARE(list.toStringList(), (QStringList{QStringLiteral("a@b.org"), QStringLiteral("c@d.net")}));
    QObject *send = root->findChild<QObject *>(QStringLiteral("sendButton"));
    QVERIFY(send);
    QVERIFY(!send->property("enabled").toBool());
    root->findChild<QObject *>(QStringLiteral("addressField"))->setProperty("text", QStringLiteral("a@b.org"));
    QVERIFY(send->property("enabled").toBool());
    app()->inviteFriendsViaEmailWindow()->hide();
}

void TestWindowLoaders::profileWindowIsAProgramWindow()
{
    LogCapture capture(LogCapture::ForwardWarnings);
    app()->showMainFrame();
    app()->showUserProfileByURI(QStringLiteral("sip:u-someone@d"));
    QQuickView *view = TavriIdentityRealmUser::userDetailsView();
    QVERIFY(view);
    QVERIFY(view->isVisible());
    QCOMPARE(view->status(), QQuickView::Ready);
    QCOMPARE(view->transientParent(), static_cast<QWindow *>(mainFrame()));
    for (const QString &name :
         shelltest::commonContextProperties() + QStringList{QStringLiteral("mainViewer"), QStringLiteral("userToShow")})
        QVERIFY2(app()->windowContext(view)->contextProperty(name).isValid(), qPrintable(name));
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());
    emit view->closing(nullptr);
}

void TestWindowLoaders::unknownFindUsersModeOpensNothing()
{
    LogCapture capture;
    app()->showFindUsers(7, nullptr, 2, QStringLiteral("r"), QStringLiteral("u"));
    const QList<CapturedLine> lines = capture.find(QtDebugMsg, QStringLiteral("TavriApplication::showFindUsers"));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().message, QStringLiteral("TavriApplication::showFindUsers 7 \"-\" 2 \"r\" \"u\""));
    QVERIFY(capture.matching(QStringLiteral("CFindUsers::")).isEmpty());
    QVERIFY(!app()->findUsers()->getFindWindow());
}

void TestWindowLoaders::chatLogTitle_data()
{
    QTest::addColumn<QString>("filename");
    QTest::addColumn<QString>("conversation");
    QTest::addColumn<QString>("expected");
    // 1700000000000 ms is 2023-11-14 22:13:20 UTC.
    const QString time = QStringLiteral(" 2023/11/14 22:13:20");
    QTest::newRow("folders") << "/logs/__Tavri/me/sip_confctl-1_d/1700000000000.txt" << QString()
                             << QStringLiteral("Chat log") + time;
    QTest::newRow("second log of the millisecond")
        << "/logs/r/me/c/1700000000000.txt0" << QString() << QStringLiteral("Chat log") + time;
    QTest::newRow("name with time") << "confctl-7@d_1700000000000.txt"
                                    << "Team" << QStringLiteral("Chat log: Team") + time;
    QTest::newRow("no time") << "/logs/notes.txt" << QString() << "Chat log";
    QTest::newRow("no number") << "/logs/u-a_b.txt"
                               << "Ann"
                               << "Chat log: Ann";
    QTest::newRow("empty") << QString() << QString() << "Chat log";
    QTest::newRow("huge number") << "/l/99999999999999999999999.txt" << QString() << "Chat log";
}

void TestWindowLoaders::chatLogTitle()
{
    QFETCH(QString, filename);
    QFETCH(QString, conversation);
    QFETCH(QString, expected);
    QCOMPARE(TavriApplication::chatLogTitle(filename, conversation), expected);
}

void TestWindowLoaders::chatLogShowsPlainText()
{
    // A log as the recent conversations write it, of a conversation they know.
    QVERIFY(storage()->openDatabase(QStringLiteral("windowloaders")));
    LocalUser *user = LocalUser::getLocalUser();
    RecentConversations *recent = user->getRecentConversations();
    QTemporaryDir logs;
    const QString id = QStringLiteral("sip:confctl-7@d");
    const QString filename = RecentConversation::composeLogFilename(logs.path(), QStringLiteral("__Tavri"),
                                                                    QStringLiteral("me"), id, 1700000000000);
    QVERIFY(QDir().mkpath(QFileInfo(filename).path()));
    QFile file(filename);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray line =
        RecentConversation::formatLogLine(QDateTime::fromMSecsSinceEpoch(1700000000000), QStringLiteral("Peer"),
                                          QStringLiteral("<img src=\"http://x/y.png\"><b>hi</b>"));
    file.write(line);
    file.close();
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(1700000000000);
    storage()->insertRecentConversationRecord(QStringLiteral("__Tavri"), id, QStringLiteral("Team Room"), QString(), at,
                                              at, filename);
    storage()->insertRecentConversationParticipantRecord(QStringLiteral("__Tavri"), id, at,
                                                         QStringLiteral("sip:u-peer@d"));
    recent->refresh();
    QVERIFY(recent->count() >= 1);

    LogCapture capture(LogCapture::ForwardWarnings);
    app()->showChatLog(filename);
    QQuickView *view = app()->chatLogWindow();
    QCOMPARE(view->title(), QStringLiteral("Chat log: Team Room 2023/11/14 22:13:20"));
    QCOMPARE(app()->windowContext(view)->contextProperty(QStringLiteral("filename")).toString(), filename);
    QQuickItem *text = view->rootObject()->findChild<QQuickItem *>(QStringLiteral("logText"));
    QVERIFY(text);
    // The text as written, line ends and all (the view shows "\r\n" as one).
    QCOMPARE(text->property("text").toString(), QString::fromUtf8(line).remove(QLatin1Char('\r')));
    QCOMPARE(text->property("textFormat").toInt(), int(Qt::PlainText));
    QCOMPARE(shelltest::qmlWarnings(capture), QStringList());

    // A title given by the caller stands as it is.
    app()->showChatLog(filename, QStringLiteral("Mine"));
    QCOMPARE(view->title(), QStringLiteral("Mine"));
    view->hide();
}

void TestWindowLoaders::cascade_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("desktop");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("fits at once") << QPoint(331, 0) << QSize(300, 200) << QSize(800, 600) << QPoint(331, 0);
    QTest::newRow("wraps round") << QPoint(700, 500) << QSize(300, 200) << QSize(800, 600) << QPoint(20, 20);
    // 1000 wide: steps of 40 from 990 visit only 990, 30, 70 ... none
    // beyond 990 again; a 985-wide window fits from 0 to 15 only.
    QTest::newRow("never fits on the cycle") << QPoint(990, 0) << QSize(985, 10) << QSize(1000, 600) << QPoint(0, 0);
    QTest::newRow("wider than the desktop") << QPoint(10, 10) << QSize(900, 100) << QSize(800, 600) << QPoint(0, 10);
    QTest::newRow("taller than the desktop") << QPoint(10, 10) << QSize(100, 700) << QSize(800, 600) << QPoint(10, 0);
    QTest::newRow("no desktop") << QPoint(10, 10) << QSize(100, 100) << QSize(0, 0) << QPoint(0, 0);
}

void TestWindowLoaders::cascade()
{
    QFETCH(QPoint, start);
    QFETCH(QSize, size);
    QFETCH(QSize, desktop);
    QFETCH(QPoint, expected);
    QCOMPARE(TavriApplication::cascadePosition(start, size, desktop), expected);
}

void TestWindowLoaders::softwareSceneGraphWithoutOpenGl()
{
    // The test runs with QT_QUICK_BACKEND set; without it, a display that
    // cannot make an OpenGL context gets the software scene graph.
    const QByteArray saved = qgetenv("QT_QUICK_BACKEND");
    qunsetenv("QT_QUICK_BACKEND");
    const QString chosen = TavriApplication::chooseSceneGraphBackend([] { return false; });
    qputenv("QT_QUICK_BACKEND", saved);
    QCOMPARE(chosen, QStringLiteral("software"));
    QCOMPARE(QQuickWindow::sceneGraphBackend(), QStringLiteral("software"));
}

void TestWindowLoaders::rendererWithoutLoadingOpenGl_data()
{
    QTest::addColumn<QStringList>("variables");
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<bool>("software");

    const QStringList gpu{"dri/card0", "dri/renderD128"};
    QTest::newRow("no GPU device") << QStringList() << QStringList() << true;
    QTest::newRow("display card without render node") << QStringList() << QStringList{"dri/card0"} << true;
    QTest::newRow("render node") << QStringList() << gpu << false;
    QTest::newRow("NVIDIA's own driver") << QStringList() << QStringList{"nvidiactl", "nvidia0"} << false;
    QTest::newRow("Mesa told software") << QStringList{"LIBGL_ALWAYS_SOFTWARE=1"} << gpu << true;
    QTest::newRow("Mesa not told software") << QStringList{"LIBGL_ALWAYS_SOFTWARE=0"} << gpu << false;
    QTest::newRow("llvmpipe asked for") << QStringList{"GALLIUM_DRIVER=llvmpipe"} << gpu << true;
    QTest::newRow("softpipe asked for") << QStringList{"GALLIUM_DRIVER=softpipe"} << gpu << true;
    QTest::newRow("swrast loaded") << QStringList{"MESA_LOADER_DRIVER_OVERRIDE=swrast"} << gpu << true;
    QTest::newRow("forced software") << QStringList{"TAVRI_RENDERER=software"} << gpu << true;
    QTest::newRow("forced OpenGL") << QStringList{"TAVRI_RENDERER=OpenGL"} << QStringList() << false;
    QTest::newRow("forced OpenGL over Mesa's software")
        << QStringList{"TAVRI_RENDERER=opengl", "LIBGL_ALWAYS_SOFTWARE=1"} << QStringList() << false;
}

void TestWindowLoaders::rendererWithoutLoadingOpenGl()
{
    QFETCH(QStringList, variables);
    QFETCH(QStringList, devices);
    QFETCH(bool, software);

    // A device folder with empty files standing for the nodes.
    QTemporaryDir root;
    QVERIFY(root.isValid());
    for (const QString &device : devices) {
        QVERIFY(QDir(root.path()).mkpath(QFileInfo(device).path()));
        QFile node(root.filePath(device));
        QVERIFY(node.open(QIODevice::WriteOnly));
    }
    const auto environment = [&variables](const char *name) {
        const QString prefix = QLatin1String(name) + QLatin1Char('=');
        for (const QString &variable : variables) {
            if (variable.startsWith(prefix))
                return variable.mid(prefix.size());
        }
        return QString();
    };
    QCOMPARE(RendererChoice::choose(environment, root.path()) == RendererChoice::Renderer::Software, software);
}

TAVRI_SHELL_TEST_MAIN(TestWindowLoaders, "Ostrel:tavri-windowloaders")

#include "tst_windowloaders.moc"
