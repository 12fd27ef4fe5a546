// The program's languages as a user meets them: the one chosen earlier is in
// place from start-up, a new choice changes the open window at once, English
// comes back, and a language without its file leaves English with a warning.

#include <QtTest/QtTest>

#include <QDir>
#include <QFile>
#include <QQuickItem>
#include <QQuickView>
#include <QSettings>
#include <QStandardPaths>

#include "fakewebservice.h"
#include "storagemanager.h"
#include "tavriapplication.h"
#include "testenvironment.h"

namespace {

TavriApplication *g_app = nullptr;

// The login window's "Login automatically" box, in the language shown.
QString autoLoginText()
{
    QQuickView *login = g_app->loginPrompt();
    QQuickItem *box = login && login->rootObject()
                          ? login->rootObject()->findChild<QQuickItem *>(QStringLiteral("autoLoginBox"))
                          : nullptr;
    return box ? box->property("text").toString() : QStringLiteral("<no box>");
}

// What the language chooser does with a choice.
void choose(const QString &locale)
{
    StorageManager::getInstance()->setSettingsValueForMachine(StorageManager::SettingsKeyLocale, locale);
    g_app->initializeLocalization(locale);
}

} // namespace

class TestLanguages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        g_app->showLoginPrompt(true, true);
        QVERIFY(g_app->loginPrompt() && g_app->loginPrompt()->rootObject());
    }

    void startsInTheStoredLanguage()
    {
        QCOMPARE(autoLoginText(), QStringLiteral("Entrar automáticamente"));
        // Texts of the program's C++ side too.
        QCOMPARE(QCoreApplication::translate("TavriApplication", "Show Tavri"), QStringLiteral("Mostrar Tavri"));
    }

    void switchesAtOnceAndBackToEnglish()
    {
        QSignalSpy changed(g_app, &TavriApplication::languageChanged);
        choose(QStringLiteral("ru"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(autoLoginText(), QStringLiteral("Автовход"));
        choose(QStringLiteral("en"));
        QCOMPARE(autoLoginText(), QStringLiteral("Login automatically"));
        choose(QStringLiteral("es"));
        QCOMPARE(autoLoginText(), QStringLiteral("Entrar automáticamente"));
        choose(QStringLiteral("en"));
        QCOMPARE(autoLoginText(), QStringLiteral("Login automatically"));
        QCOMPARE(changed.size(), 4);
    }

    void untranslatedTextsStayEnglish()
    {
        // A language without its file: English, and one warning line.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^No translation for \"xx_YY\" .* stay in English$"));
        choose(QStringLiteral("xx_YY"));
        QCOMPARE(autoLoginText(), QStringLiteral("Login automatically"));

        // A text the chosen language's file lacks: English, never empty.
        choose(QStringLiteral("ru"));
        QCOMPARE(QCoreApplication::translate("Login", "A text nobody translated"),
                 QStringLiteral("A text nobody translated"));
        // A regional variant takes its language's file.
        choose(QStringLiteral("es_MX"));
        QCOMPARE(autoLoginText(), QStringLiteral("Entrar automáticamente"));
        choose(QStringLiteral("en"));
    }
};

int main(int argc, char *argv[])
{
    tavritest::TestEnvironment environment;
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    // Spanish was chosen in an earlier run.
    QSettings().setValue(QStringLiteral("locale"), QStringLiteral("es"));

    int appArgc = 1;
    char *appArgv[] = {argv[0], nullptr};
    auto *app = new TavriApplication(QStringLiteral("Ostrel:tavri-languages"), appArgc, appArgv);
    g_app = app;
    // The web service fake stands for the server, so nothing leaves the machine.
    auto *web = new FakeWebService();
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::DataLocation);
    QDir().mkpath(dataFolder);
    QFile runtime(dataFolder + QStringLiteral("/RuntimeSettings.qml"));
    if (!runtime.open(QIODevice::WriteOnly))
        return 2;
    runtime.write("import QtQuick 2.0\nQtObject { property string applicationServer: \"http://" + web->host().toLatin1()
                  + "\" }\n");
    runtime.close();
    app->initialize(appArgc, appArgv);

    TestLanguages test;
    const int result = QTest::qExec(&test, argc, argv);
    delete app;
    delete web;
    return result;
}

#include "tst_languages.moc"
