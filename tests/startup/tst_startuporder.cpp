// The start-up sequence in one process: the services come into being in
// their fixed order, the wiring delivers, and the destructor takes everything
// down again with the voice SDK shut.
#include <QtTest/QtTest>

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMutex>
#include <QPointer>
#include <QQuickItem>
#include <QQuickView>
#include <QSettings>
#include <QSslConfiguration>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "callsessionstats.h"
#include "conversation.h"
#include "fakewebservice.h"
#include "identityrealmmanager.h"
#include "localuser.h"
#include "logging.h"
#include "ostrelsdk_control.h"
#include "recentconversation.h"
#include "recentconversations.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "systemtrayicon.h"
#include "tavriapplication.h"
#include "tavriidentityrealm.h"
#include "tavrisharedidentityrealmmanager.h"
#include "testenvironment.h"
#include "voicemanager.h"

namespace {

// Everything the process logs and every child the application object gets,
// in the order it happened: "log:<text>", "event:<category.label> <details>"
// and "child:<n>" (an index into g_children).
QMutex g_mutex;
QStringList g_record;
QList<QPointer<QObject>> g_children;
// The thread that logged each "event:" entry.
QHash<QString, QThread *> g_eventThreads;

void recordMessage(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    QMutexLocker lock(&g_mutex);
    if (context.category && QByteArray(context.category) == "userint") {
        g_record.append(QStringLiteral("event:") + QString::fromUtf8(context.file) + QLatin1Char(' ') + message);
        g_eventThreads.insert(g_record.last(), QThread::currentThread());
    } else
        g_record.append(QStringLiteral("log:") + message);
}

class ChildRecorder : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ChildAdded) {
            QMutexLocker lock(&g_mutex);
            g_record.append(QStringLiteral("child:") + QString::number(g_children.size()));
            g_children.append(static_cast<QChildEvent *>(event)->child());
        }
        return QObject::eventFilter(watched, event);
    }
};

// The application with the external-application hand-over recorded.
class RecordingApplication : public TavriApplication
{
public:
    using TavriApplication::TavriApplication;
    QList<QStringList> sharedRealmCalls;

protected:
    bool requestSharedRealm(const QString &requesterId, const QString &token, const QString &outputPipe,
                            const QString &inputPipe, const QString &clientLibVersion) override
    {
        sharedRealmCalls.append({requesterId, token, outputPipe, inputPipe, clientLibVersion});
        return true;
    }
    // Start-up builds the tray as on a desktop that has one.
    bool systemTrayAvailable() const override { return true; }
};

RecordingApplication *g_app = nullptr;

// The record with child entries replaced by the class names of the children
// that still exist.
QStringList resolvedRecord()
{
    QMutexLocker lock(&g_mutex);
    QStringList out;
    for (const QString &entry : qAsConst(g_record)) {
        if (entry.startsWith(QLatin1String("child:"))) {
            QObject *child = g_children.value(entry.mid(6).toInt());
            out.append(QStringLiteral("class:")
                       + (child ? QString::fromLatin1(child->metaObject()->className()) : QStringLiteral("-")));
        } else {
            out.append(entry);
        }
    }
    return out;
}

int indexOf(const QStringList &record, const QString &prefix, int from = 0)
{
    for (int i = from; i < record.size(); ++i) {
        if (record.at(i).startsWith(prefix))
            return i;
    }
    return -1;
}

bool recordHas(const QString &prefix)
{
    return indexOf(resolvedRecord(), prefix) >= 0;
}

} // namespace

class TestStartupOrder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void servicesAreCreatedInOrder();
    void startupStateFromArguments();
    void settingsDumpHidesPasswords();
    void wiringDelivers_data();
    void wiringDelivers();
    void settingChangeBecomesEvent();
    void listParametersBecomeMap();
    void qmlWarningsOfOwnFilesBecomeEvents();
    void qmlWarningsFromWorkerThreadsBecomeEventsOnTheMainThread();
    void trayIconIsShownWithItsMenu();
    void protocolMessages();
    void languageChangedOnMissingTranslation();
    void loginWindowShowsLogInFace();
    void imageValidity();
    void webAndTlsSettings();
    void chatLogsGoToTheApplicationFolder();
};

// The test framework installs a handler of its own while it runs; the
// record keeps being written throughout.
QtMessageHandler g_testHandler = nullptr;

void TestStartupOrder::initTestCase()
{
    g_testHandler = qInstallMessageHandler(recordMessage);
}

void TestStartupOrder::cleanupTestCase()
{
    qInstallMessageHandler(g_testHandler);
}

void TestStartupOrder::servicesAreCreatedInOrder()
{
    const QStringList record = resolvedRecord();
    // Each step's mark, in the order initialize must produce them.
    const QStringList marks = {
        QStringLiteral("log:Tavri Application Version 0.6.18.8668"),
        QStringLiteral("log:plainKey: shown"),
        QStringLiteral("log:Loading translations for"),
        QStringLiteral("class:StorageManager"),
        QStringLiteral("class:VoiceManager"),
        QStringLiteral("class:QSocialManager"),
        QStringLiteral("class:IdentityRealmManager"),
        QStringLiteral("class:CallSessionStats"),
        QStringLiteral("class:AudioCuesManager"),
        QStringLiteral("class:LocalUser"),
        QStringLiteral("class:QQmlEngine"),
        QStringLiteral("log:Tavri starting headless..."),
        QStringLiteral("class:TavriSharedIdentityRealmManager"),
    };
    int at = 0;
    for (const QString &mark : marks) {
        const int found = indexOf(record, mark, at);
        QVERIFY2(found >= 0, qPrintable(QStringLiteral("missing or out of order: ") + mark));
        at = found + 1;
    }
    QCOMPARE(TavriApplication::instance(), g_app);
    QVERIFY(g_app->networkCheckTimer() != 0);
    QCOMPARE(g_app->applicationName(), QStringLiteral("Tavri"));
    QCOMPARE(g_app->organizationName(), QStringLiteral("Ostrel"));
    QVERIFY(!g_app->quitOnLastWindowClosed());
}

void TestStartupOrder::startupStateFromArguments()
{
    // "-loglevel_ostrel=x" is no number and "-loglevel_tavri=0" installs no
    // log handler (which leaves every line to this test's recorder).
    QCOMPARE(g_app->ostrelLogLevel(), 0);
    QCOMPARE(g_app->tavriLogLevel(), 0);
    QVERIFY(!g_app->showUi());
    QCOMPARE(g_app->startupLinks(), QStringList{QStringLiteral("tavri:join?channel=a")});

    // Output pipe before input pipe; the token never reaches the log.
    QCOMPARE(g_app->sharedRealmCalls.size(), 1);
    QCOMPARE(g_app->sharedRealmCalls.first(),
             (QStringList{QStringLiteral("RID"), QStringLiteral("TOK"), QStringLiteral("OUT"), QStringLiteral("IN"),
                          QStringLiteral("1.2")}));
    QVERIFY(!recordHas(QStringLiteral("log:... incomplete startup arg...")));
    for (const QString &entry : resolvedRecord())
        QVERIFY2(!entry.contains(QLatin1String("TOK")), qPrintable(entry));
}

void TestStartupOrder::settingsDumpHidesPasswords()
{
    QVERIFY(recordHas(QStringLiteral("log:plainKey: shown")));
    QVERIFY(recordHas(QStringLiteral("log:group/userPassword: <hidden>")));
    QVERIFY(recordHas(QStringLiteral("log:password: <hidden>")));
    for (const QString &entry : resolvedRecord())
        QVERIFY2(!entry.contains(QLatin1String("s3cret")), qPrintable(entry));
}

void TestStartupOrder::wiringDelivers_data()
{
    QTest::addColumn<QString>("expected");
    QTest::newRow("sdkError") << QStringLiteral("log:TavriApplication::onSdkError 1088 \"busy\" \"Busy\"");
    QTest::newRow("voiceLoggedOut") << QStringLiteral("log:TavriApplication::onVoiceLoggedOut \"gone\"");
    QTest::newRow("captureTest") << QStringLiteral("log:captureTestRunning= true");
    QTest::newRow("web update") << QStringLiteral("log:Update available! \"2.0\"");
    QTest::newRow("newInstall") << QStringLiteral("log:TavriApplication::onNewInstall");
    QTest::newRow("participantAdded") << QStringLiteral(
        "log:TavriApplication::onConversationParticipantAdded \"sip:confctl-1@x\" \"u1\"");
    QTest::newRow("voiceDataBlocked") << QStringLiteral(
        "log:RTP voice data stream blocked from send/receive, please check router settings");
}

void TestStartupOrder::wiringDelivers()
{
    QFETCH(QString, expected);
    const QString row = QString::fromLatin1(QTest::currentDataTag());
    if (row == QLatin1String("sdkError"))
        emit g_app->voiceManager()->sdkError(1088, QStringLiteral("busy"), QStringLiteral("Busy"));
    else if (row == QLatin1String("voiceLoggedOut"))
        emit g_app->voiceManager()->voiceLoggedOut(QStringLiteral("gone"));
    else if (row == QLatin1String("captureTest"))
        emit g_app->voiceManager()->captureTestRunningChanged(true);
    else if (row == QLatin1String("web update"))
        emit g_app->socialManager()->updateAvailable(QStringLiteral("2.0"), QStringLiteral("l"), QStringLiteral("m"));
    else if (row == QLatin1String("newInstall"))
        emit StorageManager::getInstance()->newInstall();
    else if (row == QLatin1String("participantAdded"))
        emit g_app->identityRealmManager()->conversationParticipantAdded(nullptr, QStringLiteral("sip:confctl-1@x"),
                                                                         QStringLiteral("u1"));
    else if (row == QLatin1String("voiceDataBlocked"))
        emit g_app->callStats()->voiceDataBlocked();
    QVERIFY2(recordHas(expected), qPrintable(expected));
}

void TestStartupOrder::settingChangeBecomesEvent()
{
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsShowHints"), false);
    QVERIFY(recordHas(QStringLiteral("event:SettingsChange.settingsShowHints (\"v:false\")")));
}

void TestStartupOrder::listParametersBecomeMap()
{
    // The split is at the first colon, a later key wins, keys come in order.
    g_app->trackEvent(QStringLiteral("MainApp"), QStringLiteral("Probe"),
                      QStringList{QStringLiteral("x:1:2"), QStringLiteral("y"), QStringLiteral("x:3")});
    QVERIFY(recordHas(QStringLiteral("event:MainApp.Probe (\"x:3\", \"y:\")")));
}

void TestStartupOrder::qmlWarningsOfOwnFilesBecomeEvents()
{
    // What the log handler does with such a warning, through the reporter
    // that the application set.
    const QString text = QStringLiteral("qrc:/QML/qml/tavri/Probe.qml:3: ReferenceError: x is not defined");
    logMessageHandler(QtWarningMsg, QMessageLogContext(), text);
    QTRY_VERIFY(recordHas(QStringLiteral("event:Error.") + text));
}

// The log handler runs on whichever thread logs; the event is sent once, from
// the application's thread, and image download failures are not sent.
void TestStartupOrder::qmlWarningsFromWorkerThreadsBecomeEventsOnTheMainThread()
{
    const QString script = QStringLiteral("qrc:/QML/qml/tavri/Worker.qml:7: TypeError: y is null");
    const QStringList images = {
        QStringLiteral("qrc:/QML/qml/tavri/Worker.qml:9: QML Image: Error downloading http://x/a.png"),
        QStringLiteral("qrc:/QML/qml/tavri/Worker.qml:9: QML Image: Connection timed out"),
        QStringLiteral("qrc:/QML/qml/tavri/Worker.qml:9: QML Image: Connection closed"),
    };
    const QString marker = QStringLiteral("qrc:/QML/qml/tavri/Worker.qml:99: the last warning");
    QThread *worker = QThread::create([&] {
        for (const QString &text : QStringList{script} + images + QStringList{marker})
            logMessageHandler(QtWarningMsg, QMessageLogContext(), text);
    });
    worker->start();
    QVERIFY(worker->wait());
    delete worker;
    // The marker went the same way last: once it is in, everything is.
    QTRY_VERIFY(recordHas(QStringLiteral("event:Error.") + marker));

    const QStringList record = resolvedRecord();
    const auto events = [&](const QString &text) {
        return std::count_if(record.cbegin(), record.cend(), [&](const QString &entry) {
            return entry.startsWith(QStringLiteral("event:Error.") + text);
        });
    };
    QCOMPARE(events(script), 1);
    for (const QString &image : images)
        QCOMPARE(events(image), 0);
    QMutexLocker lock(&g_mutex);
    for (auto it = g_eventThreads.cbegin(); it != g_eventThreads.cend(); ++it) {
        if (it.key().contains(QLatin1String("Worker.qml")))
            QCOMPARE(it.value(), g_app->thread());
    }
}

void TestStartupOrder::trayIconIsShownWithItsMenu()
{
    auto *tray = g_app->findChild<SystemTrayIcon *>();
    QVERIFY(tray);
    QVERIFY(tray->isVisible());
    QVERIFY(!tray->icon().isNull());
    QCOMPARE(tray->toolTip(), QStringLiteral("Tavri Application"));
    QVERIFY(tray->contextMenu());
    QStringList actions;
    for (QAction *action : tray->contextMenu()->actions())
        actions.append(action->text());
    QCOMPARE(actions.first(), QStringLiteral("Show Tavri"));
    QCOMPARE(actions.last(), QStringLiteral("Exit"));
}

void TestStartupOrder::protocolMessages()
{
    emit g_app->messageReceived(QString());
    QVERIFY(recordHas(QStringLiteral("log:Empty protocolMessageReceived, showing active frame...")));

    // A second hand-over through a message starts like the one at start-up;
    // three fields are incomplete and still asked for, with empty fields.
    emit g_app->messageReceived(QStringLiteral("-svcA:B:C"));
    QCOMPARE(g_app->sharedRealmCalls.size(), 2);
    QCOMPARE(g_app->sharedRealmCalls.last(), (QStringList{QString(), QString(), QString(), QString(), QString()}));
    QVERIFY(recordHas(QStringLiteral("log:... incomplete startup arg...")));

    emit g_app->messageReceived(QStringLiteral("-svcR2:SECRET2:I:O"));
    QCOMPARE(g_app->sharedRealmCalls.size(), 3);
    QCOMPARE(g_app->sharedRealmCalls.last(), (QStringList{QStringLiteral("R2"), QStringLiteral("SECRET2"),
                                                          QStringLiteral("O"), QStringLiteral("I"), QString()}));
    for (const QString &entry : resolvedRecord())
        QVERIFY2(!entry.contains(QLatin1String("SECRET2")), qPrintable(entry));
}

void TestStartupOrder::languageChangedOnMissingTranslation()
{
    QSignalSpy changed(g_app, &TavriApplication::languageChanged);
    g_app->initializeLocalization(QStringLiteral("xx_YY"));
    QCOMPARE(changed.count(), 1);
    QVERIFY(recordHas(QStringLiteral("log:Loading translations for \"xx_YY\" from")));
}

void TestStartupOrder::loginWindowShowsLogInFace()
{
    g_app->showLoginPrompt(true, true);
    QQuickView *view = g_app->loginPrompt();
    QVERIFY(view);
    QVERIFY(view->isVisible());
    QCOMPARE(view->source(), QUrl(QStringLiteral("qrc:/QML/qml/tavri/Login.qml")));
    QCOMPARE(view->title(), QStringLiteral("Tavri: Login"));
    // The window's own QML loaded, on its log-in face.
    QVERIFY(view->rootObject());
    QCOMPARE(view->rootObject()->property("loginMode").toBool(), true);
    QVERIFY(recordHas(QStringLiteral("event:Application.ShowLoginPane")));

    QSignalSpy minimized(g_app, &TavriApplication::minimizeFramesRequested);
    g_app->minimizeAllFrames();
    QCOMPARE(minimized.count(), 1);

    QSignalSpy hidden(g_app, &TavriApplication::hideFramesRequested);
    g_app->hideAllFrames();
    QCOMPARE(hidden.count(), 1);
    QVERIFY(!view->isVisible());
}

void TestStartupOrder::imageValidity()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    const QString picture = folder.filePath(QStringLiteral("p.png"));
    QVERIFY(image.save(picture));
    QFile text(folder.filePath(QStringLiteral("t.png")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();

    QVERIFY(g_app->isImageValid(QUrl::fromLocalFile(picture)));
    QVERIFY(!g_app->isImageValid(QUrl::fromLocalFile(text.fileName())));
    QVERIFY(!g_app->isImageValid(QUrl::fromLocalFile(folder.filePath(QStringLiteral("missing.png")))));
}

FakeWebService *g_web = nullptr;

void TestStartupOrder::webAndTlsSettings()
{
    // The web client talks to the server's "/gateway.php" with the scheme it
    // was given.
    g_app->trackEvent(QStringLiteral("MainApp"), QStringLiteral("Probe"), QMap<QString, QString>());
    QVERIFY(g_web->waitForRequest(QStringLiteral("LogEvent"), 20000));
    const QList<FakeWebService::Request> sent = g_web->requests(true);
    QVERIFY(!sent.isEmpty());
    QCOMPARE(sent.last().path, QStringLiteral("gateway.php"));

    // Start-up leaves TLS at Qt's defaults: peers are verified and no
    // obsolete protocol is forced.
    const QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    QVERIFY(tls.peerVerifyMode() != QSslSocket::VerifyNone);
    QVERIFY(tls.protocol() != QSsl::TlsV1SslV3);
    QVERIFY(!tls.testSslOption(QSsl::SslOptionDisableServerNameIndication));
}

int main(int argc, char *argv[])
{
    tavritest::TestEnvironment environment;
    qInstallMessageHandler(recordMessage);

    // What initialize finds: stored settings and the web service fake as
    // the server, so nothing leaves the machine.
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Tavri"));
    {
        QSettings settings;
        settings.setValue(QStringLiteral("plainKey"), QStringLiteral("shown"));
        settings.setValue(QStringLiteral("group/userPassword"), QStringLiteral("s3cret"));
        settings.setValue(QStringLiteral("password"), QStringLiteral("s3cret"));
    }
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::DataLocation);
    QDir().mkpath(dataFolder);
    QFile runtime(dataFolder + QStringLiteral("/RuntimeSettings.qml"));
    if (!runtime.open(QIODevice::WriteOnly))
        return 2;
    int appArgc = 1;
    char *appArgv[] = {argv[0], nullptr};
    auto *app = new RecordingApplication(QStringLiteral("Ostrel:tavri-startuporder"), appArgc, appArgv);
    g_app = app;
    auto *web = new FakeWebService();
    g_web = web;
    runtime.write("import QtQuick 2.0\nQtObject { property string applicationServer: \"http://" + web->host().toLatin1()
                  + "\" }\n");
    runtime.close();
    ChildRecorder recorder;
    app->installEventFilter(&recorder);

    QByteArray program(argv[0]);
    QByteArray ostrel("-loglevel_ostrel=x"), tavri("-loglevel_tavri=0"), link("tavri:join?channel=a");
    QByteArray svc("-svcRID:TOK:IN:OUT:1.2");
    char *startArgv[] = {program.data(), ostrel.data(), tavri.data(), link.data(), svc.data(), nullptr};
    int startArgc = 5;
    app->initialize(startArgc, startArgv);

    TestStartupOrder test;
    int result = QTest::qExec(&test, argc, argv);

    // The destructor with every service present: the voice service shuts the
    // SDK down and nothing is left pointing at the application.
    app->removeEventFilter(&recorder);
    delete web;
    delete app;
    g_app = nullptr;
    if (result == 0 && oxc_is_initialized() != 0) {
        std::fprintf(stderr, "FAIL: the voice SDK is still initialized after shutdown\n");
        result = 1;
    }
    if (result == 0 && (TavriApplication::instance() || VoiceManager::getInstance())) {
        std::fprintf(stderr, "FAIL: services outlive the application object\n");
        result = 1;
    }
    if (result == 0 && !recordHas(QStringLiteral("log:~TavriApplication() - end"))) {
        std::fprintf(stderr, "FAIL: the destructor did not finish\n");
        result = 1;
    }
    return result;
}

void TestStartupOrder::chatLogsGoToTheApplicationFolder()
{
    const QString folder = g_app->chatLogDirectory();
    QVERIFY(!folder.isEmpty());
    RecentConversations *recent = LocalUser::getLocalUser()->getRecentConversations();
    QVERIFY(recent);
    QCOMPARE(recent->getChatLogDirectory(), folder);

    const QString id = QStringLiteral("sip:confctl-g-startlog@d");
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Conversation *conversation = realm->getConversation(id);
    QVERIFY(conversation);
    emit IdentityRealmManager::getInstance()->conversationJoined(realm, id);
    RecentConversation *entry = recent->trackedEntry(conversation);
    QVERIFY(entry);
    QVERIFY(entry->isLogOpen());
    QVERIFY2(entry->getLogFilename().startsWith(folder + QLatin1Char('/')), qPrintable(entry->getLogFilename()));
    emit IdentityRealmManager::getInstance()->conversationDisconnected(
        realm, id, Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode(0), QString());
    QVERIFY(!entry->isLogOpen());
}

#include "tst_startuporder.moc"
