// The application's desktop integration: the tray menu and icon (built
// again without doubling), the tray's signals, power broadcasts to the main
// frame's window, and the splash screen.
#include <QtTest/QtTest>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QQuickView>
#include <QScreen>

#include "../alerts/alertsfixture.h"
#include "idlehandler.h"
#include "nativemessage.h"
#include "powerevents.h"
#include "tavrisplashscreen.h"

// The alerts application with the tray's set-up open to the test.
class DesktopApplication : public AlertsApplication
{
public:
    using AlertsApplication::AlertsApplication;
    using TavriApplication::setupTray;
};

namespace {

DesktopApplication *app()
{
    return static_cast<DesktopApplication *>(shelltest::application());
}

// The menu as "text" entries, "-" for a separator and "(text)" for a hidden
// entry.
QStringList describe(const QMenu *menu)
{
    QStringList entries;
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator())
            entries.append(QStringLiteral("-"));
        else
            entries.append(action->isVisible() ? action->text() : QLatin1Char('(') + action->text() + QLatin1Char(')'));
    }
    return entries;
}

int topLevelMenus()
{
    int menus = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        menus += qobject_cast<QMenu *>(widget) ? 1 : 0;
    return menus;
}

void *windowOf(QWindow *window)
{
    return reinterpret_cast<void *>(window->winId());
}

} // namespace

class TestDesktopIntegration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void trayMenuInOrder();
    void trayBuiltTwiceKeepsOneMenuAndIcon();
    void traySignalsReachTheApplication();
    void powerBroadcastsToTheMainFrame_data();
    void powerBroadcastsToTheMainFrame();
    void powerSuspendReachesOnlyTheMainFrame();
    void otherMessagesAreLeftAlone();
    void splashScreen();

private:
    FakeWebService *m_web = nullptr;
};

void TestDesktopIntegration::initTestCase()
{
    alertstest::recordBalloons();
    m_web = shelltest::start();
    QVERIFY(alertstest::tray());
    // As the program's entry does.
    app()->installNativeEventFilter(app());
}

void TestDesktopIntegration::cleanupTestCase()
{
    app()->removeNativeEventFilter(app());
    delete m_web;
    m_web = nullptr;
}

void TestDesktopIntegration::trayMenuInOrder()
{
    SystemTrayIcon *tray = alertstest::tray();
    QVERIFY(tray->isVisible());
    QCOMPARE(tray->toolTip(), QStringLiteral("Tavri Application"));
    QVERIFY(tray->contextMenu());
    QCOMPARE(describe(tray->contextMenu()),
             (QStringList{"Show Tavri", "(Show as Online)", "(Show as Away)", "-", "Exit"}));
    QCOMPARE(tray->contextMenu()->font().pointSize(), 10);
}

void TestDesktopIntegration::trayBuiltTwiceKeepsOneMenuAndIcon()
{
    QPointer<SystemTrayIcon> oldTray = alertstest::tray();
    QPointer<QMenu> oldMenu = oldTray->contextMenu();
    QCOMPARE(topLevelMenus(), 1);

    app()->setupTray();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!oldTray);
    QVERIFY(!oldMenu);
    const QList<SystemTrayIcon *> trays = app()->findChildren<SystemTrayIcon *>();
    QCOMPARE(trays.size(), 1);
    QVERIFY(trays.first()->isVisible());
    QCOMPARE(topLevelMenus(), 1);
    QCOMPARE(describe(trays.first()->contextMenu()),
             (QStringList{"Show Tavri", "(Show as Online)", "(Show as Away)", "-", "Exit"}));
}

void TestDesktopIntegration::traySignalsReachTheApplication()
{
    SystemTrayIcon *tray = alertstest::tray();
    LogCapture capture;
    emit tray->activated(QSystemTrayIcon::Context);
    emit tray->messageClicked();
    QCOMPARE(capture.matching(QStringLiteral("TavriApplication::onSystrayActivated")).size(), 1);
    QCOMPARE(capture.matching(QStringLiteral("onSystemTrayInviteMessageClicked")).size(), 1);
}

void TestDesktopIntegration::powerBroadcastsToTheMainFrame_data()
{
    QTest::addColumn<quint64>("wParam");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("suspend") << quint64(4) << QStringList{"PowerSuspend", "NativePowerEvent"};
    QTest::newRow("resume") << quint64(18) << QStringList{"PowerResume", "NativePowerEvent"};
    QTest::newRow("battery low") << quint64(9) << QStringList{"NativePowerEvent"};
}

void TestDesktopIntegration::powerBroadcastsToTheMainFrame()
{
    QFETCH(quint64, wParam);
    QFETCH(QStringList, labels);
    app()->showMainFrame();
    QQuickView *frame = app()->mainFrame();
    QVERIFY(frame && frame->handle());
    IdleHandler *idle = LocalUser::getLocalUser()->idleHandler();
    // Idle detection running (the test has no input hooks to start it).
    idle->setInterval(600);
    QVERIFY(idle->isTimerActive());

    LogCapture capture;
    host::NativeMessage message{windowOf(frame), host::NativeMessage::PowerBroadcast, quintptr(wParam), 0};
    long result = 0;
    QCOMPARE(app()->nativeEventFilter(host::NativeMessage::eventType(), &message, &result), false);

    QStringList seen;
    for (const CapturedLine &line : capture.lines()) {
        const QString name = QString::fromUtf8(line.file);
        if (line.category == "userint" && name.startsWith(QLatin1String("Application.")))
            seen.append(name.mid(12));
    }
    QCOMPARE(seen, labels);
    QCOMPARE(shelltest::events(capture, QStringLiteral("Application.NativePowerEvent")).size(), 1);
    QVERIFY(shelltest::events(capture, QStringLiteral("Application.NativePowerEvent"))
                .first()
                .contains(QStringLiteral("wparam:%1").arg(wParam)));
    QCOMPARE(idle->isTimerActive(), wParam != host::NativeMessage::PowerSuspend);
    idle->stop();
}

void TestDesktopIntegration::powerSuspendReachesOnlyTheMainFrame()
{
    // The broadcast goes to every window through the installed filter; only
    // the main frame's copy counts.
    app()->showMainFrame();
    QWindow other;
    other.create();
    QVERIFY(other.handle());
    LogCapture capture;
    host::PowerEvents::deliver(true);
    const QStringList native = shelltest::events(capture, QStringLiteral("Application.NativePowerEvent"));
    QCOMPARE(native.size(), 1);
    QVERIFY(native.first().contains(QStringLiteral("wparam:4")));
    QCOMPARE(shelltest::events(capture, QStringLiteral("Application.PowerSuspend")).size(), 1);
}

void TestDesktopIntegration::otherMessagesAreLeftAlone()
{
    app()->showMainFrame();
    QWindow other;
    other.create();
    void *frame = windowOf(app()->mainFrame());
    LogCapture capture;
    long result = 0;
    host::NativeMessage toOther{windowOf(&other), host::NativeMessage::PowerBroadcast,
                                host::NativeMessage::PowerSuspend, 0};
    QCOMPARE(app()->nativeEventFilter(host::NativeMessage::eventType(), &toOther, &result), false);
    host::NativeMessage notPower{frame, 16, host::NativeMessage::PowerSuspend, 0};
    QCOMPARE(app()->nativeEventFilter(host::NativeMessage::eventType(), &notPower, &result), false);
    // Another platform's event is never read as a window message.
    host::NativeMessage lookalike{frame, host::NativeMessage::PowerBroadcast, host::NativeMessage::PowerSuspend, 0};
    QCOMPARE(app()->nativeEventFilter(QByteArrayLiteral("xcb_generic_event_t"), &lookalike, &result), false);
    QCOMPARE(app()->nativeEventFilter(host::NativeMessage::eventType(), nullptr, &result), false);
    for (const CapturedLine &line : capture.lines())
        QVERIFY2(line.category != "userint", qPrintable(QString::fromUtf8(line.file)));
}

void TestDesktopIntegration::splashScreen()
{
    // Opaque on the left half, transparent on the right.
    QImage picture(120, 80, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter(&picture).fillRect(0, 0, 60, 80, Qt::red);
    auto *splash = new TavriSplashScreen(QPixmap::fromImage(picture));
    QPointer<TavriSplashScreen> guard(splash);
    QCOMPARE(splash->size(), QSize(120, 80));
    QCOMPARE(splash->minimumSize(), splash->maximumSize());
    QCOMPARE(int(splash->windowFlags()), 0x80F);
    QVERIFY(splash->testAttribute(Qt::WA_TranslucentBackground));

    QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    splash->showCentred();
    QVERIFY(splash->isVisible());
    QCOMPARE(splash->geometry().center(), screen->availableGeometry().center());

    const QImage shown = splash->grab().toImage();
    QCOMPARE(shown.size(), QSize(120, 80));
    QCOMPARE(shown.pixelColor(10, 40), QColor(Qt::red));
    QCOMPARE(shown.pixelColor(110, 40).alpha(), 0);

    LogCapture capture;
    delete splash;
    QVERIFY(!guard);
    QCOMPARE(capture.matching(QStringLiteral("TavriSplashScreen::~TavriSplashScreen")).size(), 1);
}

TAVRI_SHELL_TEST_MAIN_WITH(DesktopApplication, TestDesktopIntegration, "tavri-test-desktopintegration")

#include "tst_desktopintegration.moc"
