// The login window: loading from stored values, logging in, the status line,
// the sign-up face and the application's calls into it.

#include <QClipboard>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QtTest/QtTest>

#include "localuser.h"
#include "logcapture.h"
#include "storagemanager.h"
#include "stylemanager.h"
#include "tavriapplication.h"
#include "testenvironment.h"
#include "windowfakes.h"

using namespace windowtest;

namespace {

QString md5Hex(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

} // namespace

class TestLoginWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loadsWithoutWarnings();
    void loadFocusAndAutomaticLogin_data();
    void loadFocusAndAutomaticLogin();
    void loginSendsDigest_data();
    void loginSendsDigest();
    void nameThatIsNotAnEmailNeverLogsIn();
    void uncheckingAutoLoginForgetsPasswordAtClose();
    void autoLoginSettingChangedElsewhere();
    void networkBackLogsInAutomatically();
    void statusFollowsLoginState_data();
    void statusFollowsLoginState();
    void statusLinksOpenOnlyWebAddresses_data();
    void statusLinksOpenOnlyWebAddresses();
    void typedInputIsBounded();
    void faceSwitchResizesAroundCentre();
    void enterWalksToNextInvalidInput_data();
    void enterWalksToNextInvalidInput();
    void signUpFieldChecks_data();
    void signUpFieldChecks();
    void screenNameCheckOnLeavingField();
    void checkedUsernameAvailability();
    void accountCreateFailed_data();
    void accountCreateFailed();
    void accountCreated();

private:
    // Loads the window at the loader's first size (or another) into m_view.
    QmlTestView *load(const QSize &size = QSize(560, 308));
    void fillSignUp(QmlTestView &window, const QString &name, const QString &email, const QString &password,
                    const QString &confirm, bool age);
    QString statusText(QmlTestView &window, const char *name = "loginStatus");

    std::unique_ptr<FakeMainApp> m_app;
    std::unique_ptr<FakeLocalUser> m_user;
    std::unique_ptr<FakeVoiceManager> m_voice;
    std::unique_ptr<UrlCapture> m_urls;
    std::unique_ptr<QmlTestView> m_view;
    StorageManager *m_storage = nullptr;
};

void TestLoginWindow::initTestCase()
{
    Q_INIT_RESOURCE(tavri);
    TavriApplication::registerQmlTypes();
    // The style lives in an engine of its own for the whole run, as in the
    // program, while every test's view brings and drops its own engine.
    QVERIFY(StyleManager::getInstance(new QQmlEngine(this))->style());
    m_storage = StorageManager::getInstance();
}

void TestLoginWindow::init()
{
    m_app.reset(new FakeMainApp);
    m_user.reset(new FakeLocalUser);
    m_voice.reset(new FakeVoiceManager);
    // The old capture unregisters its handlers before the new one registers.
    m_urls.reset();
    m_urls.reset(new UrlCapture);
    m_storage->setUsername(QString());
    m_storage->setPassword(QString());
    m_storage->setPasswordLength(0);
    m_storage->setSettingsValueForMachine(StorageManager::SettingsMachineKeyAutoLogin, true);
}

void TestLoginWindow::cleanup()
{
    const QStringList warnings = m_view ? m_view->qmlWarnings() : QStringList();
    m_view.reset();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

QmlTestView *TestLoginWindow::load(const QSize &size)
{
    // Log captures nest: the previous view's ends before the next begins.
    m_view.reset();
    m_view.reset(new QmlTestView);
    m_view->setContextObject(QStringLiteral("mainApp"), m_app.get());
    m_view->setContextObject(QStringLiteral("localUser"), m_user.get());
    m_view->setContextObject(QStringLiteral("storageManager"), m_storage);
    m_view->setContextObject(QStringLiteral("voiceManager"), m_voice.get());
    if (!m_view->load(QUrl(QStringLiteral("qrc:/QML/qml/tavri/Login.qml"))))
        return nullptr;
    // The loader's size reaches the root through the window system's queue.
    m_view->resize(size);
    QQuickItem *root = m_view->root();
    if (!QTest::qWaitFor([&] { return root->size() == QSizeF(size); }))
        return nullptr;
    return m_view.get();
}

void TestLoginWindow::fillSignUp(QmlTestView &window, const QString &name, const QString &email,
                                 const QString &password, const QString &confirm, bool age)
{
    item(&window, "screenNameField")->setProperty("text", name);
    item(&window, "emailField")->setProperty("text", email);
    item(&window, "signupPasswordField")->setProperty("text", password);
    item(&window, "confirmField")->setProperty("text", confirm);
    item(&window, "ageBox")->setProperty("checked", age);
}

QString TestLoginWindow::statusText(QmlTestView &window, const char *name)
{
    return item(&window, QString::fromLatin1(name))->property("text").toString();
}

void TestLoginWindow::loadsWithoutWarnings()
{
    // Both faces at the loader's first size and at their own.
    for (const QSize &size : {QSize(560, 308), QSize(500, 300)}) {
        QmlTestView *window = load(size);
        QVERIFY(window);
        QVERIFY_NO_QML_WARNINGS(*window);
        savePicture(window, QStringLiteral("login-%1x%2").arg(size.width()).arg(size.height()));
        QCOMPARE(window->root()->property("title").toString(), QStringLiteral("Login  "));
        QVERIFY(item(window, "loginFace")->isVisible());
        QCOMPARE(window->minimumSize(), QSize(500, 300));
    }
}

void TestLoginWindow::loadFocusAndAutomaticLogin_data()
{
    QTest::addColumn<QString>("storedName");
    QTest::addColumn<int>("storedLength");
    QTest::addColumn<QVariant>("autoLogin");
    QTest::addColumn<QString>("focused");
    QTest::addColumn<bool>("logsIn");

    QTest::newRow("first start") << QString() << 0 << QVariant(true) << "nameField" << false;
    QTest::newRow("stored, auto") << "me@example.test" << 7 << QVariant(true) << "passwordField" << true;
    QTest::newRow("stored, auto off as text")
        << "me@example.test" << 7 << QVariant(QStringLiteral("false")) << "passwordField" << false;
    QTest::newRow("stored name only") << "me@example.test" << 0 << QVariant(true) << "passwordField" << false;
}

void TestLoginWindow::loadFocusAndAutomaticLogin()
{
    QFETCH(QString, storedName);
    QFETCH(int, storedLength);
    QFETCH(QVariant, autoLogin);
    QFETCH(QString, focused);
    QFETCH(bool, logsIn);

    const QString digest = md5Hex(QStringLiteral("secret1"));
    m_storage->setUsername(storedName);
    m_storage->setPassword(storedLength ? digest : QString());
    m_storage->setPasswordLength(storedLength);
    m_storage->setSettingsValueForMachine(StorageManager::SettingsMachineKeyAutoLogin, autoLogin);

    QmlTestView *window = load();

    QVERIFY(window);
    QTRY_VERIFY(item(window, focused)->hasActiveFocus());
    QCOMPARE(item(window, "passwordField")->property("text").toString(), QString(storedLength, QLatin1Char('*')));
    QCOMPARE(item(window, "autoLoginBox")->property("checked").toBool(), autoLogin.toString() != "false");
    QCOMPARE(m_app->log.matching("requestLogin"),
             logsIn ? QStringList{"requestLogin|" + storedName + "|" + digest} : QStringList());
    // Loading sets the box without storing it back.
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|AutoLogin"), QStringList());
}

void TestLoginWindow::loginSendsDigest_data()
{
    QTest::addColumn<bool>("autoLogin");
    QTest::newRow("auto-login on") << true;
    QTest::newRow("auto-login off") << false;
}

void TestLoginWindow::loginSendsDigest()
{
    QFETCH(bool, autoLogin);
    const QString oldDigest = md5Hex(QStringLiteral("older"));
    m_storage->setUsername(QStringLiteral("old@example.test"));
    m_storage->setPassword(oldDigest);
    m_storage->setPasswordLength(5);
    m_storage->setSettingsValueForMachine(StorageManager::SettingsMachineKeyAutoLogin, autoLogin);

    QmlTestView *window = load();

    QVERIFY(window);
    m_app->log.clear();
    QQuickItem *name = item(window, "nameField");
    QQuickItem *password = item(window, "passwordField");

    // Not retyped: the stored digest goes out.
    window->key(Qt::Key_Return);
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList{"requestLogin|old@example.test|" + oldDigest});
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|PasswordEnter").size(), 1);

    // Retyped (focus selects all, typing replaces): its lower-case MD5.
    name->setProperty("text", QString());
    typeInto(window, name, QStringLiteral("New.User@Example.test"));
    typeInto(window, password, QStringLiteral("Pässword9"));
    QCOMPARE(password->property("text").toString(), QStringLiteral("Pässword9"));
    m_app->log.clear();
    name->forceActiveFocus();
    window->key(Qt::Key_Enter);
    const QString newDigest = md5Hex(QStringLiteral("Pässword9"));
    QCOMPARE(newDigest, newDigest.toLower());
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList{"requestLogin|New.User@Example.test|" + newDigest});
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|LoginEnter").size(), 1);
    QCOMPARE(m_storage->getUsername(), QStringLiteral("New.User@Example.test"));
    QCOMPARE(m_storage->getPassword(), autoLogin ? newDigest : oldDigest);
    QCOMPARE(m_storage->getPasswordLength(), autoLogin ? 9 : 5);

    // A second login without retyping sends what was sent last.
    m_app->log.clear();
    password->forceActiveFocus();
    window->key(Qt::Key_Return);
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList{"requestLogin|New.User@Example.test|" + newDigest});
}

void TestLoginWindow::nameThatIsNotAnEmailNeverLogsIn()
{
    QmlTestView *window = load();
    QVERIFY(window);
    for (const QString &name : {QStringLiteral("plainname"), QStringLiteral("a@b"), QStringLiteral("@example.test"),
                                QStringLiteral("a..b@example.test")}) {
        item(window, "nameField")->setProperty("text", name);
        typeInto(window, item(window, "passwordField"), QStringLiteral("secret1"));
        window->key(Qt::Key_Return);
    }
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList());

    // Characters outside the accepted set cannot be typed into the name.
    item(window, "nameField")->setProperty("text", QString());
    typeInto(window, item(window, "nameField"), QStringLiteral("a b<c>@d.e"));
    QCOMPARE(item(window, "nameField")->property("text").toString(), QStringLiteral("abc@d.e"));
}

void TestLoginWindow::uncheckingAutoLoginForgetsPasswordAtClose()
{
    m_storage->setUsername(QStringLiteral("me@example.test"));
    m_storage->setPassword(md5Hex(QStringLiteral("secret1")));
    m_storage->setPasswordLength(7);
    QmlTestView *window = load();
    QVERIFY(window);
    QQuickItem *box = item(window, "autoLoginBox");
    window->click(box);
    QCOMPARE(box->property("checked").toBool(), false);
    QCOMPARE(m_storage->getSettingsValueForMachine(StorageManager::SettingsMachineKeyAutoLogin).toString(),
             QStringLiteral("false"));
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|AutoLogin"),
             QStringList{QStringLiteral("trackEvent|LoginPane|AutoLoginUnchecked")});
    QCOMPARE(m_storage->getPasswordLength(), 7);

    // The frame's close button: tracked, and the view closes.
    QSignalSpy closing(window, &QQuickView::visibleChanged);
    QMetaObject::invokeMethod(window->root(), "closing", Q_ARG(QString, QStringLiteral("Click")));
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|Closing").size(), 1);
    QVERIFY(!window->isVisible());

    // The application empties the view's source: the window is destroyed.
    window->setSource(QUrl());
    QCOMPARE(m_storage->getPasswordLength(), 0);
    QCOMPARE(m_storage->getPassword(), QString());
    QCOMPARE(m_storage->getUsername(), QStringLiteral("me@example.test"));
    QVERIFY(!window->log().matching(QStringLiteral("destroying Login.qml")).isEmpty());
}

void TestLoginWindow::autoLoginSettingChangedElsewhere()
{
    QmlTestView *window = load();
    QVERIFY(window);
    m_storage->setSettingsValueForMachine(StorageManager::SettingsMachineKeyAutoLogin, false);
    QTRY_COMPARE(item(window, "autoLoginBox")->property("checked").toBool(), false);
    // The box followed the store without writing it back or tracking it.
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|AutoLogin"), QStringList());
    QCOMPARE(window->root()->property("loaded").toBool(), true);

    // Keeping the stored password at close follows the box.
    m_storage->setPassword(QStringLiteral("digest"));
    window->setSource(QUrl());
    QCOMPARE(m_storage->getPassword(), QString());
}

void TestLoginWindow::networkBackLogsInAutomatically()
{
    const QString digest = md5Hex(QStringLiteral("secret1"));
    m_storage->setUsername(QStringLiteral("me@example.test"));
    m_storage->setPassword(digest);
    m_storage->setPasswordLength(7);
    QmlTestView *window = load();
    QVERIFY(window);
    m_app->log.clear();

    emit m_app->networkStateChanged(false);
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList());
    emit m_app->networkStateChanged(true);
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList{"requestLogin|me@example.test|" + digest});
    QVERIFY(!window->log().matching(QStringLiteral("Network state change detected... network is true")).isEmpty());

    // Not while the box is off, nor with an empty field.
    m_app->log.clear();
    item(window, "autoLoginBox")->setProperty("checked", false);
    emit m_app->networkStateChanged(true);
    item(window, "autoLoginBox")->setProperty("checked", true);
    item(window, "passwordField")->setProperty("text", QString());
    emit m_app->networkStateChanged(true);
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList());

    // Nor while nothing is stored, though the user has typed both fields
    // (a new account about to log in for the first time).
    m_storage->setUsername(QString());
    m_storage->setPassword(QString());
    item(window, "nameField")->setProperty("text", QStringLiteral("new@example.test"));
    item(window, "passwordField")->setProperty("text", QStringLiteral("typed"));
    emit m_app->networkStateChanged(true);
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList());
}

void TestLoginWindow::statusFollowsLoginState_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("fieldsEnabled");

    QTest::newRow("logged out") << int(LocalUser::LoggedOut) << QString() << "Logged out." << true;
    QTest::newRow("logged out, reason") << int(LocalUser::LoggedOut) << "Bad <b>password</b>"
                                        << "Bad <b>password</b>" << true;
    QTest::newRow("logging in") << int(LocalUser::LoggingIn) << "x"
                                << "Contacting login service..." << false;
    QTest::newRow("voice") << int(LocalUser::LoggingInVoice) << QString() << "Contacting voice service..." << false;
    QTest::newRow("logged in") << int(LocalUser::LoggedIn) << QString() << "Logged in." << false;
    QTest::newRow("logging out") << int(LocalUser::LoggingOut) << QString() << "Logging out..." << false;
    QTest::newRow("reconnecting") << int(LocalUser::DisconnectedReconnecting) << QString() << "Reconnecting..."
                                  << false;
    QTest::newRow("other") << int(LocalUser::Error) << QString() << "Voice &lt;server&gt; down" << false;
}

void TestLoginWindow::statusFollowsLoginState()
{
    QFETCH(int, state);
    QFETCH(QString, reason);
    QFETCH(QString, expected);
    QFETCH(bool, fieldsEnabled);

    m_app->m_connectorErrorMessage = QStringLiteral("Voice <server> down");
    QmlTestView *window = load();
    QVERIFY(window);
    // Until the first state change: the connector's error, as plain text.
    QCOMPARE(statusText(*window), QStringLiteral("Problem contacting voice server:\nVoice <server> down"));

    m_user->announce(state, reason);
    QCOMPARE(statusText(*window), expected);
    QCOMPARE(item(window, "nameField")->isEnabled(), fieldsEnabled);
    QCOMPARE(item(window, "passwordField")->isEnabled(), fieldsEnabled);
}

void TestLoginWindow::statusLinksOpenOnlyWebAddresses_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("opens");
    QTest::newRow("https") << "https://www.example.test/reset" << true;
    QTest::newRow("http") << "HTTP://www.example.test/" << true;
    QTest::newRow("file") << "file:///etc/passwd" << false;
    QTest::newRow("javascript") << "javascript:alert(1)" << false;
    QTest::newRow("own scheme") << "tavri:join?x" << false;
}

void TestLoginWindow::statusLinksOpenOnlyWebAddresses()
{
    QFETCH(QString, link);
    QFETCH(bool, opens);
    QmlTestView *window = load();
    QVERIFY(window);
    // A server reason with a link, a picture and a long tail.
    m_user->announce(LocalUser::LoggedOut, "See <a href=\"" + link + "\">here</a><img src=\"http://x.test/p.png\">"
                                               + QString(2000, QLatin1Char('w')));
    QQuickItem *status = item(window, "loginStatus");
    QVERIFY(!statusText(*window).contains(QLatin1String("<img")));
    QVERIFY(status->height() < 80);
    QVERIFY(status->property("truncated").toBool());
    savePicture(window, QStringLiteral("login-long-server-text"));

    QMetaObject::invokeMethod(status, "linkActivated", Q_ARG(QString, link));
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|StatusClick"),
             QStringList{"trackEvent|LoginPane|StatusClick|link:" + link});
    QCOMPARE(m_urls->opened, opens ? QList<QUrl>{QUrl(link)} : QList<QUrl>());
    QVERIFY(!window->log().matching("link activated: " + link).isEmpty());
}

void TestLoginWindow::typedInputIsBounded()
{
    QmlTestView *window = load();
    QVERIFY(window);
    for (const char *name :
         {"nameField", "passwordField", "screenNameField", "emailField", "signupPasswordField", "confirmField"}) {
        QQuickItem *field = item(window, QString::fromLatin1(name));
        const int maximum = field->property("maximumLength").toInt();
        QVERIFY2(maximum > 0 && maximum <= 256, name);
        field->setProperty("text", QString(5000, QLatin1Char('a')));
        QCOMPARE(field->property("text").toString().size(), maximum);
    }

    // Pasted text with a line break stays on one line.
    QGuiApplication::clipboard()->setText(QStringLiteral("line1\nline2"));
    QQuickItem *password = item(window, "passwordField");
    password->setProperty("text", QString());
    password->forceActiveFocus();
    QMetaObject::invokeMethod(password, "paste");
    QVERIFY(!password->property("text").toString().contains(QLatin1Char('\n')));
}

void TestLoginWindow::faceSwitchResizesAroundCentre()
{
    QmlTestView *window = load(QSize(500, 300));
    QVERIFY(window);
    QmlTestView *view = window;
    view->setPosition(400, 300);
    const QPoint start = view->position();

    view->click(item(window, "createAccountLink"));
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|CreateAccount").size(), 1);
    QCOMPARE(window->root()->property("title").toString(), QStringLiteral("Sign Up"));
    // The minimum size is set once the resizing curve has settled.
    QTRY_COMPARE(view->minimumSize(), QSize(680, 308));
    QCOMPARE(view->size(), QSize(680, 308));
    QTRY_VERIFY(item(window, "signupFace")->opacity() == 1.0);
    QVERIFY(!item(window, "loginFace")->isVisible());
    // 180 wider and 8 higher: half of each to the left and up.
    QCOMPARE(view->position(), start - QPoint(90, 4));
    savePicture(view, QStringLiteral("signup-680x308"));
    QTRY_VERIFY(item(window, "screenNameField")->hasActiveFocus());

    view->click(item(window, "haveAccountLink"));
    QCOMPARE(m_app->log.matching("trackEvent|SignupPane|HaveAccount").size(), 1);
    QTRY_COMPARE(view->minimumSize(), QSize(500, 300));
    QCOMPARE(view->size(), QSize(500, 300));
    QCOMPARE(view->position(), start);
}

void TestLoginWindow::enterWalksToNextInvalidInput_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<bool>("age");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("expected");

    QTest::newRow("confirm to empty email") << "nick"
                                            << ""
                                            << "secret1"
                                            << "secret1" << true << "confirmField"
                                            << "emailField";
    QTest::newRow("name to age box") << "nick"
                                     << "a@b.test"
                                     << "secret1"
                                     << "secret1" << false << "screenNameField"
                                     << "ageBox";
    QTest::newRow("wraps round") << ""
                                 << "a@b.test"
                                 << "secret1"
                                 << "secret1" << true << "emailField"
                                 << "screenNameField";
    QTest::newRow("age box to password") << "nick"
                                         << "a@b.test"
                                         << ""
                                         << "" << false << "ageBox"
                                         << "signupPasswordField";
    QTest::newRow("password goes to confirm") << "nick"
                                              << ""
                                              << "secret1"
                                              << "secret1" << true << "signupPasswordField"
                                              << "confirmField";
    QTest::newRow("all valid stays") << "nick"
                                     << "a@b.test"
                                     << "secret1"
                                     << "secret1" << true << "emailField"
                                     << "emailField";
    QTest::newRow("only itself invalid stays") << ""
                                               << "a@b.test"
                                               << "secret1"
                                               << "secret1" << true << "screenNameField"
                                               << "screenNameField";
}

void TestLoginWindow::enterWalksToNextInvalidInput()
{
    QFETCH(QString, name);
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, confirm);
    QFETCH(bool, age);
    QFETCH(QString, from);
    QFETCH(QString, expected);

    QmlTestView *window = load();

    QVERIFY(window);
    window->root()->setProperty("loginMode", false);
    QTRY_VERIFY(!item(window, "loginFace")->isVisible());
    fillSignUp(*window, name, email, password, confirm, age);
    item(window, from)->forceActiveFocus();
    QVERIFY(item(window, from)->hasActiveFocus());
    window->key(Qt::Key_Return);
    QVERIFY2(item(window, expected)->hasActiveFocus(), qPrintable(expected));
}

void TestLoginWindow::signUpFieldChecks_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("focused");

    QTest::newRow("bad email") << "someone@"
                               << "secret1"
                               << "secret1"
                               << "Error: Please enter a valid email address"
                               << "emailField";
    QTest::newRow("short password") << "a@b.test"
                                    << "five5"
                                    << "five5"
                                    << "Error: Password must be at least 6 characters"
                                    << "signupPasswordField";
    QTest::newRow("mismatch") << "a@b.test"
                              << "secret1"
                              << "secret2"
                              << "Error: Passwords do not match"
                              << "signupPasswordField";
    QTest::newRow("all good") << "a@b.test"
                              << "se cret<1>"
                              << "se cret<1>"
                              << ""
                              << "signUpButton";
}

void TestLoginWindow::signUpFieldChecks()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, confirm);
    QFETCH(QString, status);
    QFETCH(QString, focused);

    QmlTestView *window = load();

    QVERIFY(window);
    window->root()->setProperty("loginMode", false);
    QTRY_VERIFY(!item(window, "loginFace")->isVisible());
    fillSignUp(*window, QStringLiteral("nick.name"), email, password, confirm, true);
    QQuickItem *button = item(window, "signUpButton");
    QVERIFY(button->isEnabled());
    window->click(button);

    QCOMPARE(statusText(*window, "signupStatus"), status);
    savePicture(window,
                QStringLiteral("signup-check-") + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
    QVERIFY2(item(window, focused)->hasActiveFocus(), qPrintable(focused));
    if (status.isEmpty()) {
        QCOMPARE(m_app->log.matching("createAccount"), QStringList{"createAccount|nick.name|a@b.test|" + password});
        QCOMPARE(m_app->log.matching("trackEvent|SignupPane|AcctCreateRequested").size(), 1);
        return;
    }
    QCOMPARE(m_app->log.matching("createAccount"), QStringList());
    QCOMPARE(item(window, focused)->property("selectedText").toString(),
             item(window, focused)->property("text").toString());
    // Editing the field in question clears its error.
    typeInto(window, item(window, focused), QStringLiteral("x"));
    QCOMPARE(statusText(*window, "signupStatus"), QString());
}

void TestLoginWindow::screenNameCheckOnLeavingField()
{
    QmlTestView *window = load();
    QVERIFY(window);
    window->root()->setProperty("loginMode", false);
    QTRY_VERIFY(!item(window, "loginFace")->isVisible());
    QQuickItem *name = item(window, "screenNameField");
    typeInto(window, name, QStringLiteral("nick"));
    window->key(Qt::Key_Tab);
    QCOMPARE(m_app->log.matching("checkUsernameAvailability"), QStringList{"checkUsernameAvailability|nick"});

    // Leaving it by pressing "Sign Up" asks nothing.
    m_app->log.clear();
    fillSignUp(*window, QStringLiteral("nick2"), QStringLiteral("a@b"), QStringLiteral("secret1"),
               QStringLiteral("secret1"), true);
    name->forceActiveFocus();
    window->click(item(window, "signUpButton"));
    QVERIFY(!name->hasActiveFocus());
    QCOMPARE(m_app->log.matching("checkUsernameAvailability"), QStringList());
    QCOMPARE(statusText(*window, "signupStatus"), QStringLiteral("Error: Please enter a valid email address"));
}

void TestLoginWindow::checkedUsernameAvailability()
{
    QmlTestView *window = load();
    QVERIFY(window);
    window->root()->setProperty("loginMode", false);
    fillSignUp(*window, QStringLiteral("nick"), QStringLiteral("a@b.test"), QStringLiteral("secret1"),
               QStringLiteral("secret1"), true);
    QVERIFY(item(window, "signUpButton")->isEnabled());

    call(window, "checkedUsernameAvailability", QStringLiteral("t"));
    QCOMPARE(statusText(*window, "signupStatus"),
             QStringLiteral("Error: That screen name is already taken, please choose another"));
    QCOMPARE(m_app->log.matching("trackEvent|SignupPane|UsernameExists").size(), 1);
    QVERIFY(!item(window, "signUpButton")->isEnabled());

    // With the status showing the name is taken, leaving the field asks nothing.
    m_app->log.clear();
    item(window, "screenNameField")->forceActiveFocus();
    item(window, "emailField")->forceActiveFocus();
    QCOMPARE(m_app->log.matching("checkUsernameAvailability"), QStringList());

    // Editing the name clears it; any answer but "t" accepts a non-empty name.
    item(window, "screenNameField")->setProperty("text", QStringLiteral("nick2"));
    QCOMPARE(statusText(*window, "signupStatus"), QString());
    call(window, "checkedUsernameAvailability", QStringLiteral("f"));
    QVERIFY(item(window, "signUpButton")->isEnabled());
}

void TestLoginWindow::accountCreateFailed_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("networkError");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("tracked");
    QTest::addColumn<QString>("focused");
    QTest::addColumn<bool>("forgotShown");

    QTest::newRow("network")
        << "Host <i>unreachable</i>" << true
        << "Network Error: Host <i>unreachable</i> - please check your network settings and try again"
        << "trackEvent|SignupPane|NetworkError|Host <i>unreachable</i>" << QString() << false;
    QTest::newRow("email exists") << "An account already exists for this email address" << false
                                  << "Error: An account already exists for this email address"
                                  << "trackEvent|SignupPane|EmailExists"
                                  << "emailField" << true;
    QTest::newRow("name taken") << "That screen name is already taken, please choose another" << false
                                << "Error: That screen name is already taken, please choose another"
                                << "trackEvent|SignupPane|UsernameExists"
                                << "screenNameField" << false;
    QTest::newRow("creation failed") << "Account creation failed (code 7)" << false
                                     << "Error: Account creation failed - please try again in a few minutes"
                                     << "trackEvent|SignupPane|AcctCreateFailed|Account creation failed (code 7)"
                                     << QString() << false;
    QTest::newRow("other") << "Try <a href=\"https://x.test\">later</a>" << false
                           << "Error: Try <a href=\"https://x.test\">later</a>"
                           << "trackEvent|SignupPane|AcctCreateFailed|Try <a href=\"https://x.test\">later</a>"
                           << QString() << false;
}

void TestLoginWindow::accountCreateFailed()
{
    QFETCH(QString, message);
    QFETCH(bool, networkError);
    QFETCH(QString, status);
    QFETCH(QString, tracked);
    QFETCH(QString, focused);
    QFETCH(bool, forgotShown);

    QmlTestView *window = load();

    QVERIFY(window);
    window->root()->setProperty("loginMode", false);
    QTRY_VERIFY(!item(window, "loginFace")->isVisible());
    fillSignUp(*window, QStringLiteral("nick"), QStringLiteral("a@b.test"), QStringLiteral("secret1"),
               QStringLiteral("secret1"), true);
    call(window, "accountCreateFailed", message, networkError);

    QCOMPARE(statusText(*window, "signupStatus"), status);
    QCOMPARE(m_app->log.matching("trackEvent|SignupPane"), QStringList{tracked});
    QVERIFY(!window->log().matching("AcctCreateFailed: " + message).isEmpty());
    QCOMPARE(item(window, "forgotPasswordLink")->isVisible(), forgotShown);
    QCOMPARE(item(window, "signUpButton")->isEnabled(), focused.isEmpty());
    if (!focused.isEmpty()) {
        QVERIFY(item(window, focused)->hasActiveFocus());
        QCOMPARE(item(window, focused)->property("selectedText").toString(),
                 item(window, focused)->property("text").toString());
    }
    if (forgotShown) {
        window->click(item(window, "forgotPasswordLink"));
        QCOMPARE(m_urls->opened, QList<QUrl>{QUrl(QStringLiteral("https://www.example.test/forgot-password/"))});
        QCOMPARE(m_app->log.matching("trackEvent|SignupPane|ForgotPassword").size(), 1);
        // A new e-mail hides the link and clears the error.
        item(window, "emailField")->setProperty("text", QStringLiteral("c@d.test"));
        QVERIFY(!item(window, "forgotPasswordLink")->isVisible());
        QCOMPARE(statusText(*window, "signupStatus"), QString());
    }
}

void TestLoginWindow::accountCreated()
{
    QmlTestView *window = load();
    QVERIFY(window);
    window->root()->setProperty("loginMode", false);
    QTRY_VERIFY(!item(window, "loginFace")->isVisible());
    fillSignUp(*window, QStringLiteral("nick"), QStringLiteral("new@example.test"), QStringLiteral("secret1"),
               QStringLiteral("secret1"), true);
    call(window, "accountCreated");

    QCOMPARE(window->root()->property("loginMode").toBool(), true);
    QCOMPARE(item(window, "nameField")->property("text").toString(), QStringLiteral("new@example.test"));
    QCOMPARE(statusText(*window),
             QStringLiteral("Account Created! Check your email for a link to activate your account"));
    QCOMPARE(item(window, "loginStatus")->property("color").value<QColor>(),
             StyleManager::getInstance()->style()->property("statusSuccessTextColor").value<QColor>());
    for (const char *name : {"screenNameField", "emailField", "signupPasswordField", "confirmField", "passwordField"})
        QCOMPARE(item(window, QString::fromLatin1(name))->property("text").toString(), QString());
    QCOMPARE(item(window, "ageBox")->property("checked").toBool(), false);
    QTRY_VERIFY(item(window, "passwordField")->hasActiveFocus());
    QCOMPARE(m_app->log.matching("trackEvent|SignupPane|AcctCreated").size(), 1);
    QTRY_VERIFY(item(window, "loginFace")->opacity() == 1.0);
    savePicture(window, QStringLiteral("login-account-created"));
}

TAVRI_WINDOW_TEST_MAIN(TestLoginWindow)
#include "moc_windowfakes.cpp"
#include "tst_loginwindow.moc"
