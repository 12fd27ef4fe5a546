// A new user's first run, end to end in one process: the program starts
// against the local dev gateway, the user signs up in the login window, logs
// in with the new account and reaches the main frame.

#include <QDir>
#include <QFile>
#include <QQuickItem>
#include <QQuickView>
#include <QStandardPaths>
#include <QtTest/QtTest>

#include "devgateway.h"
#include "tavriapplication.h"
#include "testenvironment.h"

namespace {

TavriApplication *g_app = nullptr;

QQuickItem *find(QQuickView *view, const char *name)
{
    return view->rootObject() ? view->rootObject()->findChild<QQuickItem *>(QString::fromLatin1(name)) : nullptr;
}

void click(QQuickView *view, QQuickItem *item)
{
    const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mouseMove(view, centre);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, centre);
}

void type(QQuickView *view, QQuickItem *item, const QString &text)
{
    item->forceActiveFocus();
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, view, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

} // namespace

class TestLoginWindowSignUp : public QObject
{
    Q_OBJECT

private slots:
    void newUserSignsUpAndReachesMainFrame();
};

void TestLoginWindowSignUp::newUserSignsUpAndReachesMainFrame()
{
    g_app->showLoginPrompt(true, true);
    QQuickView *login = g_app->loginPrompt();
    QVERIFY(login && login->rootObject());
    QVERIFY(QTest::qWaitForWindowExposed(login));

    // To the sign-up face, and the form filled in by hand.
    click(login, find(login, "createAccountLink"));
    QTRY_COMPARE(login->rootObject()->property("loginMode").toBool(), false);
    QTRY_VERIFY(find(login, "signupFace")->opacity() == 1.0);
    type(login, find(login, "screenNameField"), QStringLiteral("newcomer"));
    type(login, find(login, "emailField"), QStringLiteral("newcomer@example.test"));
    type(login, find(login, "signupPasswordField"), QStringLiteral("first-pass"));
    type(login, find(login, "confirmField"), QStringLiteral("first-pass"));
    click(login, find(login, "ageBox"));
    // Leaving the screen name asked the gateway; the name is free.
    QTRY_VERIFY(find(login, "signUpButton")->isEnabled());
    click(login, find(login, "signUpButton"));

    // The gateway made the account: back on the log-in face with the e-mail.
    QTRY_COMPARE_WITH_TIMEOUT(login->rootObject()->property("loginMode").toBool(), true, 15000);
    QCOMPARE(find(login, "nameField")->property("text").toString(), QStringLiteral("newcomer@example.test"));
    QVERIFY(find(login, "loginStatus")->property("text").toString().startsWith(QLatin1String("Account Created!")));

    type(login, find(login, "passwordField"), QStringLiteral("first-pass"));
    QTest::keyClick(login, Qt::Key_Return);

    // Signed in: the login window gives way to the main frame.
    QTRY_VERIFY_WITH_TIMEOUT(g_app->mainFrame() && g_app->mainFrame()->isVisible(), 30000);
    QVERIFY(!login->isVisible());
    QCOMPARE(g_app->mainFrame()->source(), QUrl(QStringLiteral("qrc:/QML/qml/tavri/MainFrame.qml")));
    QCOMPARE(LocalUser::getLocalUser()->getLoginState(), LocalUser::LoggedIn);
}

int main(int argc, char *argv[])
{
    tavritest::TestEnvironment environment;
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));

    int appArgc = 1;
    char *appArgv[] = {argv[0], nullptr};
    auto *app = new TavriApplication(QStringLiteral("Ostrel:tavri-loginwindowsignup"), appArgc, appArgv);
    g_app = app;

    // The gateway on a free port, and the program pointed at it the way
    // scripts/run does.
    DevGatewayOptions options;
    options.port = 0;
    options.databasePath = QDir(environment.root()).filePath(QStringLiteral("gateway.sqlite"));
    options.seed = true;
    options.logCalls = false;
    options.passwordRounds = 1000; // the full count only slows the test
    auto *gateway = new DevGateway(options);
    QString error;
    if (!gateway->start(&error)) {
        std::fprintf(stderr, "FAIL: the dev gateway did not start: %s\n", qPrintable(error));
        return 1;
    }
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::DataLocation);
    QDir().mkpath(dataFolder);
    QFile runtime(dataFolder + QStringLiteral("/RuntimeSettings.qml"));
    if (!runtime.open(QIODevice::WriteOnly))
        return 2;
    runtime.write(DevGateway::runtimeSettings(options, gateway->port()).toUtf8());
    runtime.close();

    int startArgc = 1;
    app->initialize(startArgc, appArgv);
    TestLoginWindowSignUp test;
    const int result = QTest::qExec(&test, argc, argv);
    delete app;
    delete gateway;
    return result;
}

#include "tst_loginwindowsignup.moc"
