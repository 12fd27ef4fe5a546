// Start-up arguments: the helpers that read them, and what initialize makes
// of a whole command line. Each command line runs in a child process of this
// test (one application object per process), which prints what it found.
#include <QtTest/QtTest>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

#include "tavriapplication.h"
#include "testenvironment.h"

namespace {

const char kChildFlag[] = "--startup-child";

// The application with the external-application hand-over printed.
class ChildApplication : public TavriApplication
{
public:
    using TavriApplication::TavriApplication;

protected:
    bool requestSharedRealm(const QString &requesterId, const QString &token, const QString &outputPipe,
                            const QString &inputPipe, const QString &clientLibVersion) override
    {
        const QString call = QStringLiteral("CALL createRealm(%1|%2|%3|%4|%5)")
                                 .arg(requesterId, token, outputPipe, inputPipe, clientLibVersion);
        std::printf("%s\n", call.toUtf8().constData());
        std::fflush(stdout);
        return true;
    }
};

// Runs initialize with the arguments after the flag (each hex-encoded, so
// that any bytes arrive as they are) and prints the state it left.
int runChild(int argc, char *argv[])
{
    int appArgc = 1;
    auto *app = new ChildApplication(QStringLiteral("Ostrel:tavri-startupargs"), appArgc, argv);
    QByteArrayList storage{QByteArray(argv[0])};
    for (int i = 2; i < argc; ++i)
        storage.append(QByteArray::fromHex(argv[i]));
    QVector<char *> startArgv;
    for (QByteArray &argument : storage)
        startArgv.append(argument.data());
    startArgv.append(nullptr);
    int startArgc = storage.size();
    app->initialize(startArgc, startArgv.data());
    const QString state = QStringLiteral("STATE ostrel=%1 tavri=%2 showUi=%3 links=%4")
                              .arg(app->ostrelLogLevel())
                              .arg(app->tavriLogLevel())
                              .arg(app->showUi() ? 1 : 0)
                              .arg(app->startupLinks().join(QLatin1Char(',')));
    std::printf("%s\n", state.toUtf8().constData());
    std::fflush(stdout);
    delete app;
    return 0;
}

} // namespace

class TestStartupArgs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void logLevel_data();
    void logLevel();
    void sharedRealmArgument_data();
    void sharedRealmArgument();
    void hideSecrets_data();
    void hideSecrets();
    void programFolder_data();
    void programFolder();
    void commandLine_data();
    void commandLine();
};

void TestStartupArgs::initTestCase()
{
    // Children find a server address that refuses connections.
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::DataLocation);
    QVERIFY(QDir().mkpath(dataFolder));
    QFile runtime(dataFolder + QStringLiteral("/RuntimeSettings.qml"));
    QVERIFY(runtime.open(QIODevice::WriteOnly));
    runtime.write("import QtQuick 2.0\nQtObject { property string applicationServer: \"http://127.0.0.1:9\" }\n");
}

void TestStartupArgs::logLevel_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("level");
    QTest::newRow("number") << QStringLiteral("-loglevel_tavri=5") << 5;
    QTest::newRow("no equals") << QStringLiteral("-loglevel_tavri") << 0;
    QTest::newRow("not a number") << QStringLiteral("-loglevel_ostrel=x") << 0;
    QTest::newRow("first equals") << QStringLiteral("-loglevel_ostrel=4=2") << 0;
    QTest::newRow("negative") << QStringLiteral("-loglevel_tavri=-1") << -1;
    QTest::newRow("empty value") << QStringLiteral("-loglevel_tavri=") << 0;
}

void TestStartupArgs::logLevel()
{
    QFETCH(QString, argument);
    QFETCH(int, level);
    QCOMPARE(TavriApplication::parseLogLevel(argument), level);
}

void TestStartupArgs::sharedRealmArgument_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("fields"); // id, token, input, output, version
    QTest::addColumn<bool>("complete");
    const QStringList empty{QString(), QString(), QString(), QString(), QString()};
    QTest::newRow("five") << QStringLiteral("RID:TOK:IN:OUT:1.2") << QStringList{"RID", "TOK", "IN", "OUT", "1.2"}
                          << true;
    QTest::newRow("four") << QStringLiteral("RID:TOK:IN:OUT") << QStringList{"RID", "TOK", "IN", "OUT", ""} << true;
    QTest::newRow("extras ignored") << QStringLiteral("A:B:C:D:E:F:G") << QStringList{"A", "B", "C", "D", "E"} << true;
    QTest::newRow("empty fields kept") << QStringLiteral(":TOK::OUT:") << QStringList{"", "TOK", "", "OUT", ""} << true;
    QTest::newRow("three") << QStringLiteral("A:B:C") << empty << false;
    QTest::newRow("one") << QStringLiteral("A") << empty << false;
}

void TestStartupArgs::sharedRealmArgument()
{
    QFETCH(QString, value);
    QFETCH(QStringList, fields);
    QFETCH(bool, complete);
    const TavriApplication::SharedRealmRequest request = TavriApplication::parseSharedRealmArgument(value);
    QCOMPARE((QStringList{request.requesterId, request.token, request.inputPipe, request.outputPipe,
                          request.clientLibVersion}),
             fields);
    QCOMPARE(request.complete, complete);
}

void TestStartupArgs::hideSecrets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logged");
    QTest::newRow("svc") << QStringLiteral("-svcRID:TOK:IN:OUT:1.2") << QStringLiteral("-svcRID:<hidden>:IN:OUT:1.2");
    QTest::newRow("svc id only") << QStringLiteral("-svcRID") << QStringLiteral("-svcRID");
    QTest::newRow("other") << QStringLiteral("tavri:join?a:b") << QStringLiteral("tavri:join?a:b");
    QTest::newRow("message") << QStringLiteral("x<!>-svcR:T:I:O<!>-quit")
                             << QStringLiteral("x<!>-svcR:<hidden>:I:O<!>-quit");
    // A bare "-svc" takes the next part as its value.
    QTest::newRow("bare svc, value next")
        << QStringLiteral("-svc<!>R:T:I:O<!>x") << QStringLiteral("-svc<!>R:<hidden>:I:O<!>x");
    QTest::newRow("bare svc, token alone next") << QStringLiteral("-svc<!>T") << QStringLiteral("-svc<!><hidden>");
    QTest::newRow("bare svc last") << QStringLiteral("x<!>-svc") << QStringLiteral("x<!>-svc");
    // Oversized messages are cut after hiding, with their full length noted.
    QTest::newRow("cut") << QStringLiteral("-svcR:T:I:O<!>") + QString(2000, QLatin1Char('a'))
                         << QStringLiteral("-svcR:<hidden>:I:O<!>") + QString(1024 - 21, QLatin1Char('a'))
                                + QStringLiteral("... (2021 characters)");
}

void TestStartupArgs::hideSecrets()
{
    QFETCH(QString, text);
    QFETCH(QString, logged);
    QCOMPARE(TavriApplication::hideSecretsInMessage(text), logged);
}

void TestStartupArgs::programFolder_data()
{
    QTest::addColumn<QString>("executableDir");
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << QStringLiteral("/opt/tavri") << QStringLiteral("/opt/tavri");
    QTest::newRow("release") << QStringLiteral("/src/build/release") << QStringLiteral("/src/build");
    QTest::newRow("debug") << QStringLiteral("/src/build/debug") << QStringLiteral("/src/build");
    // Text, not whole path parts, and only the first of each.
    QTest::newRow("inside a name") << QStringLiteral("/home/releasenotes/bin") << QStringLiteral("/homenotes/bin");
    QTest::newRow("both, first only") << QStringLiteral("/a/release/b/debug/release/debug")
                                      << QStringLiteral("/a/b/release/debug");
}

void TestStartupArgs::programFolder()
{
    QFETCH(QString, executableDir);
    QFETCH(QString, folder);
    QCOMPARE(TavriApplication::programFolder(executableDir), folder);
}

void TestStartupArgs::commandLine_data()
{
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("defaults") << QByteArrayList{} << QStringLiteral("STATE ostrel=2 tavri=3 showUi=1 links=")
                              << QStringList{} << QStringList{"CALL", "Tavri starting headless..."};
    QTest::newRow("tavri level") << QByteArrayList{"-loglevel_tavri=5"}
                                 << QStringLiteral("STATE ostrel=2 tavri=5 showUi=1 links=")
                                 << QStringList{"Tavri logging set to level 5"} << QStringList{};
    QTest::newRow("tavri level without =")
        << QByteArrayList{"-loglevel_tavri"} << QStringLiteral("STATE ostrel=2 tavri=0 showUi=1 links=")
        << QStringList{} << QStringList{"Logging started"};
    QTest::newRow("ostrel level not a number")
        << QByteArrayList{"-loglevel_ostrel=x"} << QStringLiteral("STATE ostrel=0 tavri=3 showUi=1 links=")
        << QStringList{"ostrel logging set to level 0"} << QStringList{};
    QTest::newRow("svc alone") << QByteArrayList{"-svc"} << QStringLiteral("STATE ostrel=2 tavri=3 showUi=0 links=")
                               << QStringList{} << QStringList{"CALL", "Tavri starting headless..."};
    QTest::newRow("svc five fields") << QByteArrayList{"-svcRID:TOK:IN:OUT:1.2"}
                                     << QStringLiteral("STATE ostrel=2 tavri=3 showUi=0 links=")
                                     << QStringList{"Tavri starting headless...",
                                                    "CALL createRealm(RID|TOK|OUT|IN|1.2)"}
                                     << QStringList{"incomplete"};
    QTest::newRow("svc three fields") << QByteArrayList{"-svcA:B:C"}
                                      << QStringLiteral("STATE ostrel=2 tavri=3 showUi=0 links=")
                                      << QStringList{"... incomplete startup arg...", "CALL createRealm(||||)"}
                                      << QStringList{};
    QTest::newRow("later svc wins") << QByteArrayList{"-svcA:B:C:D", "-svcE:F:G:H"}
                                    << QStringLiteral("STATE ostrel=2 tavri=3 showUi=0 links=")
                                    << QStringList{"CALL createRealm(E|F|H|G|)"} << QStringList{"createRealm(A"};
    QTest::newRow("links and Latin-1 bytes")
        << QByteArrayList{"tavri:join?x=\xe9", "\xff\xfe", "tavri:add"}
        << QStringLiteral("STATE ostrel=2 tavri=3 showUi=1 links=tavri:join?x=\u00e9,tavri:add") << QStringList{}
        << QStringList{};
}

void TestStartupArgs::commandLine()
{
    QFETCH(QByteArrayList, arguments);
    QFETCH(QString, state);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);

    QStringList childArguments{QString::fromLatin1(kChildFlag)};
    for (const QByteArray &argument : arguments)
        childArguments.append(QString::fromLatin1(argument.toHex()));
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), childArguments);
    QVERIFY(child.waitForFinished(120000));
    const QString output = QString::fromUtf8(child.readAll());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(output));
    QVERIFY2(output.contains(state), qPrintable(output));
    for (const QString &text : present)
        QVERIFY2(output.contains(text), qPrintable(text + QStringLiteral(" missing in:\n") + output));
    for (const QString &text : absent)
        QVERIFY2(!output.contains(text), qPrintable(text + QStringLiteral(" found in:\n") + output));
    // The requester token is never logged.
    const int callLine = output.indexOf(QLatin1String("CALL "));
    QString logged = output;
    if (callLine >= 0)
        logged.remove(callLine, output.indexOf(QLatin1Char('\n'), callLine) - callLine);
    QVERIFY2(!logged.contains(QLatin1String("TOK")), qPrintable(output));
}

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], kChildFlag) == 0)
        return runChild(argc, argv);
    tavritest::TestEnvironment environment;
    QCoreApplication app(argc, argv);
    TestStartupArgs test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startupargs.moc"
