// A style that cannot be loaded ends the program at its first window, before
// any window reads a null styleManager. The program exits, so the window is
// made in a child process of this test.
#include <QtTest/QtTest>

#include <QProcess>
#include <QQmlContext>
#include <QQmlEngine>

#include "stylemanager.h"
#include "tavriapplication.h"
#include "testenvironment.h"

namespace {

const char kChildFlag[] = "--style-child";
const char kStillRunning[] = "STILL RUNNING AFTER THE FIRST WINDOW";

// The child: `broken` makes the style manager's single instance from a style
// file that does not load (else the built-in style), then the first window's
// context is given its properties.
int runChild(int argc, char *argv[], bool broken)
{
    tavritest::TestEnvironment environment;
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    static int appArgc = 1;
    static char *appArgv[] = {argv[0], nullptr};
    Q_UNUSED(argc)
    auto *app = new TavriApplication(QStringLiteral("Ostrel:tavri-stylefailure"), appArgc, appArgv);
    auto *engine = new QQmlEngine(app);
    if (broken) {
        const QString missing = QDir::temp().filePath(QStringLiteral("no-such-skin/Broken.qml"));
        new StyleManager(engine, missing, app);
    }
    app->setQmlRootContextProperties(engine->rootContext());
    const bool styled = engine->rootContext()->contextProperty(QStringLiteral("styleManager")).value<QObject *>();
    fprintf(stdout, "%s styled=%d\n", kStillRunning, styled ? 1 : 0);
    fflush(stdout);
    delete app;
    return 0;
}

} // namespace

class TestStyleFailure : public QObject
{
    Q_OBJECT

private slots:
    void firstWindow_data();
    void firstWindow();
};

void TestStyleFailure::firstWindow_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("runsOn");
    QTest::newRow("built-in style") << "builtin" << true;
    QTest::newRow("style that fails to load") << "broken" << false;
}

void TestStyleFailure::firstWindow()
{
    QFETCH(QString, style);
    QFETCH(bool, runsOn);
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    // The fatal path leaves the process at once, as the program does, with
    // its objects still allocated: the child's leaks are not looked at.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) + QStringLiteral("detect_leaks=0"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kChildFlag), style});
    QVERIFY(child.waitForFinished(120000));
    const QString output = QString::fromUtf8(child.readAll());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(output));
    if (runsOn) {
        // The working style reaches the window.
        QVERIFY2(output.contains(QStringLiteral("%1 styled=1").arg(QLatin1String(kStillRunning))), qPrintable(output));
        QVERIFY2(!output.contains(QLatin1String("Failed to load style manager")), qPrintable(output));
    } else {
        QVERIFY2(output.contains(QLatin1String("Failed to load style manager")), qPrintable(output));
        QVERIFY2(!output.contains(QLatin1String(kStillRunning)), qPrintable(output));
    }
}

int main(int argc, char *argv[])
{
    if (argc > 2 && qstrcmp(argv[1], kChildFlag) == 0) {
        Q_INIT_RESOURCE(tavri);
        return runChild(argc, argv, qstrcmp(argv[2], "broken") == 0);
    }
    tavritest::TestEnvironment environment;
    QCoreApplication app(argc, argv);
    TestStyleFailure test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_stylefailure.moc"
