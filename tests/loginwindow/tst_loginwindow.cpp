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
#include "testenvironment.h"
#include "windowfakes.h"

using namespace windowtest;

namespace
{

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
    std::unique_ptr<Window> load(const QSize &size = QSize(560, 308));
    void fillSignUp(Window &window, const QString &name, const QString &email, const QString &password,
                    const QString &confirm, bool age);
    QString statusText(Window &window, const char *name = "loginStatus");

    QQmlEngine *m_engine = nullptr;
    std::unique_ptr<FakeMainApp> m_app;
    std::unique_ptr<FakeLocalUser> m_user;
    std::unique_ptr<FakeVoiceManager> m_voice;
    std::unique_ptr<UrlCapture> m_urls;
    std::unique_ptr<LogCapture> m_log;
    StorageManager *m_storage = nullptr;
};

void TestLoginWindow::initTestCase()
{
    Q_INIT_RESOURCE(tavri);
    qmlRegisterUncreatableType<StorageManager>("Settings", 1, 0, "Settings", QStringLiteral("settings"));
    qmlRegisterUncreatableType<LocalUser>("LocalUser", 1, 0, "LocalUser", QStringLiteral("local user"));
    m_storage = StorageManager::getInstance();
    m_engine = new QQmlEngine(this);
    QVERIFY(StyleManager::getInstance(m_engine)->style());
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
    m_log.reset(new LogCapture(LogCapture::ForwardWarnings));
}

void TestLoginWindow::cleanup()
{
    const QStringList warnings = qmlWarnings(*m_log);
    m_log.reset();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

std::unique_ptr<Window> TestLoginWindow::load(const QSize &size)
{
    QVariantMap properties{
        {QStringLiteral("mainApp"), QVariant::fromValue<QObject *>(m_app.get())},
        {QStringLiteral("localUser"), QVariant::fromValue<QObject *>(m_user.get())},
        {QStringLiteral("storageManager"), QVariant::fromValue<QObject *>(m_storage)},
        {QStringLiteral("voiceManager"), QVariant::fromValue<QObject *>(m_voice.get())},
        {QStringLiteral("styleManager"),
         QVariant::fromValue<QObject *>(StyleManager::getInstance()->style())},
    };
    auto window = std::make_unique<Window>(m_engine, properties, QStringLiteral("Login.qml"), size);
    return window;
}

void TestLoginWindow::fillSignUp(Window &window, const QString &name, const QString &email,
                                 const QString &password, const QString &confirm, bool age)
{
    window.item("screenNameField")->setProperty("text", name);
    window.item("emailField")->setProperty("text", email);
    window.item("signupPasswordField")->setProperty("text", password);
    window.item("confirmField")->setProperty("text", confirm);
    window.item("ageBox")->setProperty("checked", age);
}

QString TestLoginWindow::statusText(Window &window, const char *name)
{
    return window.item(QString::fromLatin1(name))->property("text").toString();
}

void TestLoginWindow::loadsWithoutWarnings()
{
    // Both faces at the loader's first size and at their own.
    for (const QSize &size : {QSize(560, 308), QSize(500, 300)}) {
        auto window = load(size);
        QVERIFY(window->root());
        QVERIFY(window->showAndFocus());
        QCOMPARE(window->root()->property("title").toString(), QStringLiteral("Login  "));
        QVERIFY(window->item("loginFace")->isVisible());
        QCOMPARE(window->view->minimumSize(), QSize(500, 300));
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

    auto window = load();
    QVERIFY(window->showAndFocus());
    QTRY_VERIFY(window->item(focused)->hasActiveFocus());
    QCOMPARE(window->item("passwordField")->property("text").toString(),
             QString(storedLength, QLatin1Char('*')));
    QCOMPARE(window->item("autoLoginBox")->property("checked").toBool(), autoLogin.toString() != "false");
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

    auto window = load();
    QVERIFY(window->showAndFocus());
    m_app->log.clear();
    QQuickItem *name = window->item("nameField");
    QQuickItem *password = window->item("passwordField");

    // Not retyped: the stored digest goes out.
    pressKey(window->view.get(), Qt::Key_Return);
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList{"requestLogin|old@example.test|" + oldDigest});
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|PasswordEnter").size(), 1);

    // Retyped (focus selects all, typing replaces): its lower-case MD5.
    name->setProperty("text", QString());
    typeInto(window->view.get(), name, QStringLiteral("New.User@Example.test"));
    typeInto(window->view.get(), password, QStringLiteral("Pässword9"));
    QCOMPARE(password->property("text").toString(), QStringLiteral("Pässword9"));
    m_app->log.clear();
    name->forceActiveFocus();
    pressKey(window->view.get(), Qt::Key_Enter);
    const QString newDigest = md5Hex(QStringLiteral("Pässword9"));
    QCOMPARE(newDigest, newDigest.toLower());
    QCOMPARE(m_app->log.matching("requestLogin"),
             QStringList{"requestLogin|New.User@Example.test|" + newDigest});
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|LoginEnter").size(), 1);
    QCOMPARE(m_storage->getUsername(), QStringLiteral("New.User@Example.test"));
    QCOMPARE(m_storage->getPassword(), autoLogin ? newDigest : oldDigest);
    QCOMPARE(m_storage->getPasswordLength(), autoLogin ? 9 : 5);

    // A second login without retyping sends what was sent last.
    m_app->log.clear();
    password->forceActiveFocus();
    pressKey(window->view.get(), Qt::Key_Return);
    QCOMPARE(m_app->log.matching("requestLogin"),
             QStringList{"requestLogin|New.User@Example.test|" + newDigest});
}

void TestLoginWindow::nameThatIsNotAnEmailNeverLogsIn()
{
    auto window = load();
    QVERIFY(window->showAndFocus());
    for (const QString &name : {QStringLiteral("plainname"), QStringLiteral("a@b"),
                                QStringLiteral("@example.test"), QStringLiteral("a..b@example.test")}) {
        window->item("nameField")->setProperty("text", name);
        typeInto(window->view.get(), window->item("passwordField"), QStringLiteral("secret1"));
        pressKey(window->view.get(), Qt::Key_Return);
    }
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList());

    // Characters outside the accepted set cannot be typed into the name.
    window->item("nameField")->setProperty("text", QString());
    typeInto(window->view.get(), window->item("nameField"), QStringLiteral("a b<c>@d.e"));
    QCOMPARE(window->item("nameField")->property("text").toString(), QStringLiteral("abc@d.e"));
}

void TestLoginWindow::uncheckingAutoLoginForgetsPasswordAtClose()
{
    m_storage->setUsername(QStringLiteral("me@example.test"));
    m_storage->setPassword(md5Hex(QStringLiteral("secret1")));
    m_storage->setPasswordLength(7);
    auto window = load();
    QVERIFY(window->showAndFocus());
    QQuickItem *box = window->item("autoLoginBox");
    click(window->view.get(), box);
    QCOMPARE(box->property("checked").toBool(), false);
    QCOMPARE(m_storage->getSettingsValueForMachine(StorageManager::SettingsMachineKeyAutoLogin).toString(),
             QStringLiteral("false"));
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|AutoLogin"),
             QStringList{QStringLiteral("trackEvent|LoginPane|AutoLoginUnchecked")});
    QCOMPARE(m_storage->getPasswordLength(), 7);

    // The frame's close button: tracked, and the view closes.
    QSignalSpy closing(window->view.get(), &QQuickView::visibleChanged);
    QMetaObject::invokeMethod(window->root(), "closing", Q_ARG(QString, QStringLiteral("Click")));
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|Closing").size(), 1);
    QVERIFY(!window->view->isVisible());

    window.reset();
    QCOMPARE(m_storage->getPasswordLength(), 0);
    QCOMPARE(m_storage->getPassword(), QString());
    QCOMPARE(m_storage->getUsername(), QStringLiteral("me@example.test"));
    QVERIFY(!m_log->matching(QStringLiteral("destroying Login.qml")).isEmpty());
}

void TestLoginWindow::autoLoginSettingChangedElsewhere()
{
    auto window = load();
    QVERIFY(window->showAndFocus());
    m_storage->setSettingsValueForMachine(StorageManager::SettingsMachineKeyAutoLogin, false);
    QTRY_COMPARE(window->item("autoLoginBox")->property("checked").toBool(), false);
    // The box followed the store without writing it back or tracking it.
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|AutoLogin"), QStringList());
    QCOMPARE(window->root()->property("loaded").toBool(), true);

    // Keeping the stored password at close follows the box.
    m_storage->setPassword(QStringLiteral("digest"));
    window.reset();
    QCOMPARE(m_storage->getPassword(), QString());
}

void TestLoginWindow::networkBackLogsInAutomatically()
{
    const QString digest = md5Hex(QStringLiteral("secret1"));
    m_storage->setUsername(QStringLiteral("me@example.test"));
    m_storage->setPassword(digest);
    m_storage->setPasswordLength(7);
    auto window = load();
    QVERIFY(window->showAndFocus());
    m_app->log.clear();

    emit m_app->networkStateChanged(false);
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList());
    emit m_app->networkStateChanged(true);
    QCOMPARE(m_app->log.matching("requestLogin"), QStringList{"requestLogin|me@example.test|" + digest});
    QVERIFY(!m_log->matching(QStringLiteral("Network state change detected... network is true")).isEmpty());

    // Not while the box is off, nor with an empty field.
    m_app->log.clear();
    window->item("autoLoginBox")->setProperty("checked", false);
    emit m_app->networkStateChanged(true);
    window->item("autoLoginBox")->setProperty("checked", true);
    window->item("passwordField")->setProperty("text", QString());
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
    QTest::newRow("voice") << int(LocalUser::LoggingInVoice) << QString() << "Contacting voice service..."
                           << false;
    QTest::newRow("logged in") << int(LocalUser::LoggedIn) << QString() << "Logged in." << false;
    QTest::newRow("logging out") << int(LocalUser::LoggingOut) << QString() << "Logging out..." << false;
    QTest::newRow("reconnecting") << int(LocalUser::DisconnectedReconnecting) << QString()
                                  << "Reconnecting..." << false;
    QTest::newRow("other") << int(LocalUser::Error) << QString() << "Voice &lt;server&gt; down" << false;
}

void TestLoginWindow::statusFollowsLoginState()
{
    QFETCH(int, state);
    QFETCH(QString, reason);
    QFETCH(QString, expected);
    QFETCH(bool, fieldsEnabled);

    m_app->m_connectorErrorMessage = QStringLiteral("Voice <server> down");
    auto window = load();
    QVERIFY(window->showAndFocus());
    // Until the first state change: the connector's error, as plain text.
    QCOMPARE(statusText(*window), QStringLiteral("Problem contacting voice server:\nVoice <server> down"));

    m_user->announce(state, reason);
    QCOMPARE(statusText(*window), expected);
    QCOMPARE(window->item("nameField")->isEnabled(), fieldsEnabled);
    QCOMPARE(window->item("passwordField")->isEnabled(), fieldsEnabled);
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
    auto window = load();
    QVERIFY(window->showAndFocus());
    // A server reason with a link, a picture and a long tail.
    m_user->announce(LocalUser::LoggedOut, "See <a href=\"" + link +
                                               "\">here</a><img src=\"http://x.test/p.png\">" +
                                               QString(2000, QLatin1Char('w')));
    QQuickItem *status = window->item("loginStatus");
    QVERIFY(!statusText(*window).contains(QLatin1String("<img")));
    QVERIFY(status->height() < 80);
    QVERIFY(status->property("truncated").toBool());

    QMetaObject::invokeMethod(status, "linkActivated", Q_ARG(QString, link));
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|StatusClick"),
             QStringList{"trackEvent|LoginPane|StatusClick|link:" + link});
    QCOMPARE(m_urls->opened, opens ? QList<QUrl>{QUrl(link)} : QList<QUrl>());
    QVERIFY(!m_log->matching("link activated: " + link).isEmpty());
}

void TestLoginWindow::typedInputIsBounded()
{
    auto window = load();
    QVERIFY(window->showAndFocus());
    for (const char *name : {"nameField", "passwordField", "screenNameField", "emailField",
                             "signupPasswordField", "confirmField"}) {
        QQuickItem *field = window->item(QString::fromLatin1(name));
        const int maximum = field->property("maximumLength").toInt();
        QVERIFY2(maximum > 0 && maximum <= 256, name);
        field->setProperty("text", QString(5000, QLatin1Char('a')));
        QCOMPARE(field->property("text").toString().size(), maximum);
    }

    // Pasted text with a line break stays on one line.
    QGuiApplication::clipboard()->setText(QStringLiteral("line1\nline2"));
    QQuickItem *password = window->item("passwordField");
    password->setProperty("text", QString());
    password->forceActiveFocus();
    QMetaObject::invokeMethod(password, "paste");
    QVERIFY(!password->property("text").toString().contains(QLatin1Char('\n')));
}

void TestLoginWindow::faceSwitchResizesAroundCentre()
{
    auto window = load(QSize(500, 300));
    QVERIFY(window->showAndFocus());
    QQuickView *view = window->view.get();
    view->setPosition(400, 300);
    const QPoint start = view->position();

    click(view, window->item("createAccountLink"));
    QCOMPARE(m_app->log.matching("trackEvent|LoginPane|CreateAccount").size(), 1);
    QCOMPARE(window->root()->property("title").toString(), QStringLiteral("Sign Up"));
    // The minimum size is set once the resizing curve has settled.
    QTRY_COMPARE(view->minimumSize(), QSize(680, 308));
    QCOMPARE(view->size(), QSize(680, 308));
    QTRY_VERIFY(window->item("signupFace")->opacity() == 1.0);
    QVERIFY(!window->item("loginFace")->isVisible());
    // 180 wider and 8 higher: half of each to the left and up.
    QCOMPARE(view->position(), start - QPoint(90, 4));
    QTRY_VERIFY(window->item("screenNameField")->hasActiveFocus());

    click(view, window->item("haveAccountLink"));
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

    auto window = load();
    QVERIFY(window->showAndFocus());
    window->root()->setProperty("loginMode", false);
    QTRY_VERIFY(window->item("signupFace")->isVisible());
    fillSignUp(*window, name, email, password, confirm, age);
    window->item(from)->forceActiveFocus();
    QVERIFY(window->item(from)->hasActiveFocus());
    pressKey(window->view.get(), Qt::Key_Return);
    QVERIFY2(window->item(expected)->hasActiveFocus(), qPrintable(expected));
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

    auto window = load();
    QVERIFY(window->showAndFocus());
    window->root()->setProperty("loginMode", false);
    QTRY_VERIFY(window->item("signupFace")->isVisible());
    fillSignUp(*window, QStringLiteral("nick.name"), email, password, confirm, true);
    QQuickItem *button = window->item("signUpButton");
    QVERIFY(button->isEnabled());
    click(window->view.get(), button);

    QCOMPARE(statusText(*window, "signupStatus"), status);
    QVERIFY2(window->item(focused)->hasActiveFocus(), qPrintable(focused));
    if (status.isEmpty()) {
        QCOMPARE(m_app->log.matching("createAccount"),
                 QStringList{"createAccount|nick.name|a@b.test|" + password});
        QCOMPARE(m_app->log.matching("trackEvent|SignupPane|AcctCreateRequested").size(), 1);
        return;
    }
    QCOMPARE(m_app->log.matching("createAccount"), QStringList());
    QCOMPARE(window->item(focused)->property("selectedText").toString(),
             window->item(focused)->property("text").toString());
    // Editing the field in question clears its error.
    typeInto(window->view.get(), window->item(focused), QStringLiteral("x"));
    QCOMPARE(statusText(*window, "signupStatus"), QString());
}

void TestLoginWindow::screenNameCheckOnLeavingField()
{
    auto window = load();
    QVERIFY(window->showAndFocus());
    window->root()->setProperty("loginMode", false);
    QTRY_VERIFY(window->item("signupFace")->isVisible());
    QQuickItem *name = window->item("screenNameField");
    typeInto(window->view.get(), name, QStringLiteral("nick"));
    pressKey(window->view.get(), Qt::Key_Tab);
    QCOMPARE(m_app->log.matching("checkUsernameAvailability"), QStringList{"checkUsernameAvailability|nick"});

    // Leaving it by pressing "Sign Up" asks nothing.
    m_app->log.clear();
    fillSignUp(*window, QStringLiteral("nick2"), QStringLiteral("a@b"), QStringLiteral("secret1"),
               QStringLiteral("secret1"), true);
    name->forceActiveFocus();
    click(window->view.get(), window->item("signUpButton"));
    QVERIFY(!name->hasActiveFocus());
    QCOMPARE(m_app->log.matching("checkUsernameAvailability"), QStringList());
    QCOMPARE(statusText(*window, "signupStatus"),
             QStringLiteral("Error: Please enter a valid email address"));
}

void TestLoginWindow::checkedUsernameAvailability()
{
    auto window = load();
    QVERIFY(window->showAndFocus());
    window->root()->setProperty("loginMode", false);
    fillSignUp(*window, QStringLiteral("nick"), QStringLiteral("a@b.test"), QStringLiteral("secret1"),
               QStringLiteral("secret1"), true);
    QVERIFY(window->item("signUpButton")->isEnabled());

    window->call("checkedUsernameAvailability", QStringLiteral("t"));
    QCOMPARE(statusText(*window, "signupStatus"),
             QStringLiteral("Error: That screen name is already taken, please choose another"));
    QCOMPARE(m_app->log.matching("trackEvent|SignupPane|UsernameExists").size(), 1);
    QVERIFY(!window->item("signUpButton")->isEnabled());

    // With the status showing the name is taken, leaving the field asks nothing.
    m_app->log.clear();
    window->item("screenNameField")->forceActiveFocus();
    window->item("emailField")->forceActiveFocus();
    QCOMPARE(m_app->log.matching("checkUsernameAvailability"), QStringList());

    // Editing the name clears it; any answer but "t" accepts a non-empty name.
    window->item("screenNameField")->setProperty("text", QStringLiteral("nick2"));
    QCOMPARE(statusText(*window, "signupStatus"), QString());
    window->call("checkedUsernameAvailability", QStringLiteral("f"));
    QVERIFY(window->item("signUpButton")->isEnabled());
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
    QTest::newRow("creation failed")
        << "Account creation failed (code 7)" << false
        << "Error: Account creation failed - please try again in a few minutes"
        << "trackEvent|SignupPane|AcctCreateFailed|Account creation failed (code 7)" << QString() << false;
    QTest::newRow("other")
        << "Try <a href=\"https://x.test\">later</a>" << false
        << "Error: Try <a href=\"https://x.test\">later</a>"
        << "trackEvent|SignupPane|AcctCreateFailed|Try <a href=\"https://x.test\">later</a>" << QString()
        << false;
}

void TestLoginWindow::accountCreateFailed()
{
    QFETCH(QString, message);
    QFETCH(bool, networkError);
    QFETCH(QString, status);
    QFETCH(QString, tracked);
    QFETCH(QString, focused);
    QFETCH(bool, forgotShown);

    auto window = load();
    QVERIFY(window->showAndFocus());
    window->root()->setProperty("loginMode", false);
    QTRY_VERIFY(window->item("signupFace")->isVisible());
    fillSignUp(*window, QStringLiteral("nick"), QStringLiteral("a@b.test"), QStringLiteral("secret1"),
               QStringLiteral("secret1"), true);
    window->call("accountCreateFailed", message, networkError);

    QCOMPARE(statusText(*window, "signupStatus"), status);
    QCOMPARE(m_app->log.matching("trackEvent|SignupPane"), QStringList{tracked});
    QVERIFY(!m_log->matching("AcctCreateFailed: " + message).isEmpty());
    QCOMPARE(window->item("forgotPasswordLink")->isVisible(), forgotShown);
    QCOMPARE(window->item("signUpButton")->isEnabled(), focused.isEmpty());
    if (!focused.isEmpty()) {
        QVERIFY(window->item(focused)->hasActiveFocus());
        QCOMPARE(window->item(focused)->property("selectedText").toString(),
                 window->item(focused)->property("text").toString());
    }
    if (forgotShown) {
        click(window->view.get(), window->item("forgotPasswordLink"));
        QCOMPARE(m_urls->opened,
                 QList<QUrl>{QUrl(QStringLiteral("https://www.example.test/forgot-password/"))});
        QCOMPARE(m_app->log.matching("trackEvent|SignupPane|ForgotPassword").size(), 1);
        // A new e-mail hides the link and clears the error.
        window->item("emailField")->setProperty("text", QStringLiteral("c@d.test"));
        QVERIFY(!window->item("forgotPasswordLink")->isVisible());
        QCOMPARE(statusText(*window, "signupStatus"), QString());
    }
}

void TestLoginWindow::accountCreated()
{
    auto window = load();
    QVERIFY(window->showAndFocus());
    window->root()->setProperty("loginMode", false);
    QTRY_VERIFY(window->item("signupFace")->isVisible());
    fillSignUp(*window, QStringLiteral("nick"), QStringLiteral("new@example.test"), QStringLiteral("secret1"),
               QStringLiteral("secret1"), true);
    window->call("accountCreated");

    QCOMPARE(window->root()->property("loginMode").toBool(), true);
    QCOMPARE(window->item("nameField")->property("text").toString(), QStringLiteral("new@example.test"));
    QCOMPARE(statusText(*window),
             QStringLiteral("Account Created! Check your email for a link to activate your account"));
    QCOMPARE(window->item("loginStatus")->property("color").value<QColor>(),
             StyleManager::getInstance()->style()->property("statusSuccessTextColor").value<QColor>());
    for (const char *name :
         {"screenNameField", "emailField", "signupPasswordField", "confirmField", "passwordField"})
        QCOMPARE(window->item(QString::fromLatin1(name))->property("text").toString(), QString());
    QCOMPARE(window->item("ageBox")->property("checked").toBool(), false);
    QTRY_VERIFY(window->item("passwordField")->hasActiveFocus());
    QCOMPARE(m_app->log.matching("trackEvent|SignupPane|AcctCreated").size(), 1);
}

TAVRI_TEST_MAIN(TestLoginWindow)
#include "tst_loginwindow.moc"
