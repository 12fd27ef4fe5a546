#include "voicemanager.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include "logcapture.h"
#include "logging.h"
#include "ostrelsdk_control.h"
#include "storagemanager.h"
#include "testenvironment.h"
#include "voicedispatch.h"
#include "voicetestsupport.h"

namespace {

using voicetest::text;

using voicetest::lastRequest;

// The child modes of this binary: each runs one exit scenario under a real
// application event loop and reports through its exit code.
const char kChildMode[] = "TAVRI_VOICECORE_CHILD";

} // namespace

class TestVoiceCore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void initialisationRecord_data();
    void initialisationRecord();
    void initialisationFailureEndsTheProcess();
    void audioQueriesThenConnector();
    void loginAskedBeforeConnectorIsIssuedOnceAfterIt();
    void networkLossLogsOut();
    void appExit_data();
    void appExit();
    void shutdownWithoutConnector();
    void shutdownWaitsForConnectorAnswer();
    void shutdownGivesUpAfterThreeSeconds();
    void connectorAddress_data();
    void connectorAddress();
    void runtimeSettings_data();
    void runtimeSettings();

private:
    static QString runtimeSettingsPath();
    static void writeRuntimeSettings(const QByteArray &text);
};

QString TestVoiceCore::runtimeSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::DataLocation) + QStringLiteral("/RuntimeSettings.qml");
}

void TestVoiceCore::writeRuntimeSettings(const QByteArray &text)
{
    const QString path = runtimeSettingsPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

void TestVoiceCore::initTestCase()
{
    QVERIFY(StorageManager::getInstance());
}

void TestVoiceCore::cleanupTestCase()
{
    // Leaves no recorded requests for the library's exit-time teardown.
    oxc_reset();
}

void TestVoiceCore::init()
{
    QFile::remove(runtimeSettingsPath());
    oxc_reset();
    oxc_set_meter_interval(0);
    StorageManager::setUseAdvancedAgc(true);
}

void TestVoiceCore::cleanup()
{
    QFile::remove(runtimeSettingsPath());
}

void TestVoiceCore::initialisationRecord_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("advancedAgc");
    QTest::addColumn<QByteArray>("storedFolder");

    QTest::newRow("plain") << "/opt/tavri" << true << QByteArray("/opt/tavri");
    QTest::newRow("advanced AGC off") << "/opt/tavri" << false << QByteArray("/opt/tavri");
    QTest::newRow("254 characters") << QString(254, QLatin1Char('a')) << true << QByteArray(254, 'a');
    QTest::newRow("longer than 254") << QString(300, QLatin1Char('b')) << true << QByteArray(254, 'b');
    QTest::newRow("not ASCII") << QString::fromUtf8("/opt/t\xc3\xa4vri/\xe6\x97\xa5") << true
                               << QByteArray("/opt/t?vri/?");
    QTest::newRow("empty") << "" << true << QByteArray("");
}

void TestVoiceCore::initialisationRecord()
{
    QFETCH(QString, folder);
    QFETCH(bool, advancedAgc);
    QFETCH(QByteArray, storedFolder);

    StorageManager::setUseAdvancedAgc(advancedAgc);
    VoiceManager voice(3, folder, false);
    QCOMPARE(VoiceManager::getInstance(), &voice);

    int size = 0;
    const ox_config_t *config = oxc_init_config(&size);
    QVERIFY(config);
    QCOMPARE(size, int(sizeof(ox_config_t)));
    QCOMPARE(config->notification_mode, 1);
    QCOMPARE(QByteArray(config->app_folder), storedFolder);
    QCOMPARE(int(config->suppress_crash_guard), 0);
    QCOMPARE(config->advanced_agc_enabled, advancedAgc ? 1 : 0);
    QCOMPARE(oxc_audio_switch(OXC_DERUMBLER), 1);
    QCOMPARE(oxc_handler_count(), 1);
    QCOMPARE(oxc_logging_level(), 3);
}

void TestVoiceCore::initialisationFailureEndsTheProcess()
{
    // The child initialises the SDK itself, so that the voice service's own
    // initialisation fails with "already initialised".
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildMode), QStringLiteral("init-failure"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    // Exit statuses keep the low eight bits of the code.
    QCOMPARE(child.exitCode(), OX_E_ALREADY_INITIALIZED & 0xff);
}

void TestVoiceCore::audioQueriesThenConnector()
{
    VoiceManager voice(4, QCoreApplication::applicationDirPath(), false);
    voice.setMinimumPort(4000);
    voice.setMaximumPort(4100);

    // The constructor's three direct queries carry no cookie.
    QCOMPARE(oxc_request_count(-1), 3);
    QCOMPARE(int(oxc_request_at(0)->type), int(OX_REQ_AUX_GET_VAD_PROPERTIES));
    QCOMPARE(int(oxc_request_at(1)->type), int(OX_REQ_AUX_GET_MIC_LEVEL));
    QCOMPARE(int(oxc_request_at(2)->type), int(OX_REQ_AUX_GET_SPEAKER_LEVEL));
    for (int i = 0; i < 3; ++i)
        QVERIFY(!oxc_request_at(i)->cookie);

    QSignalSpy created(&voice, &VoiceManager::connectorCreated);
    voice.createConnector();
    QCOMPARE(oxc_request_count(-1), 6);
    const auto *connector = reinterpret_cast<const ox_req_connector_create_t *>(oxc_request_at(3));
    QCOMPARE(int(connector->base.type), int(OX_REQ_CONNECTOR_CREATE));
    QCOMPARE(text(connector->base.cookie), QByteArray("1001"));
    QCOMPARE(QString::fromUtf8(connector->server_url), voice.connectorUrl());
    QCOMPARE(connector->min_port, 4000);
    QCOMPARE(connector->max_port, 4100);
    QCOMPARE(connector->log_level, 4);
    QVERIFY(!sdkLogDirectory().isEmpty());
    QCOMPARE(QString::fromUtf8(connector->log_folder), sdkLogDirectory() + QStringLiteral("/"));
    QVERIFY(QByteArray(connector->log_folder).endsWith("/OstrelLogs/"));
    QCOMPARE(int(oxc_request_at(4)->type), int(OX_REQ_AUX_GET_RENDER_DEVICES));
    QCOMPARE(text(oxc_request_at(4)->cookie), QByteArray("1002"));
    QCOMPARE(int(oxc_request_at(5)->type), int(OX_REQ_AUX_GET_CAPTURE_DEVICES));
    QCOMPARE(text(oxc_request_at(5)->cookie), QByteArray("1003"));

    QTRY_COMPARE(created.count(), 1);
    QCOMPARE(voice.connectorHandle(), QStringLiteral("connector-1"));
    // Once the connector exists, the VAD properties are asked again.
    QTRY_COMPARE(oxc_request_count(OX_REQ_AUX_GET_VAD_PROPERTIES), 2);
    QCOMPARE(text(lastRequest<ox_req_base_t>(OX_REQ_AUX_GET_VAD_PROPERTIES)->cookie), QByteArray("1004"));

    // A second call with the connector in place asks for nothing new.
    voice.createConnector();
    QCOMPARE(oxc_request_count(OX_REQ_CONNECTOR_CREATE), 1);
    QCOMPARE(oxc_request_count(OX_REQ_AUX_GET_RENDER_DEVICES), 1);
}

void TestVoiceCore::loginAskedBeforeConnectorIsIssuedOnceAfterIt()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QSignalSpy loggedIn(&voice, &VoiceManager::voiceLoggedIn);

    voice.requestLogin(QStringLiteral("early-user"), QString());
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN), 0);

    voice.createConnector();
    QTRY_COMPARE(loggedIn.count(), 1);
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN), 1);
    const auto *login = lastRequest<ox_req_account_authtoken_login_t>(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN);
    QCOMPARE(text(login->auth_token), QByteArray("early-user"));
    QCOMPARE(text(login->connector_handle), voice.connectorHandle().toLatin1());

    QCOMPARE(voice.accountHandle(), QString::fromLatin1(oxc_account_handle("sip:u-early-user@voice.tavri.net")));
    QVERIFY(!voice.accountHandle().isEmpty());
    // Logged in: the own session group is asked for and the stored
    // microphone level is applied.
    QTRY_COMPARE(oxc_request_count(OX_REQ_SESSIONGROUP_CREATE), 1);
    QCOMPARE(lastRequest<ox_req_aux_set_mic_level_t>(OX_REQ_AUX_SET_MIC_LEVEL)->level,
             StorageManager::getMicVolumePercent());

    QVERIFY(voicedispatch::settle());
    QCOMPARE(oxc_request_count(OX_REQ_ACCOUNT_AUTHTOKEN_LOGIN), 1);
}

void TestVoiceCore::networkLossLogsOut()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QSignalSpy loggedIn(&voice, &VoiceManager::voiceLoggedIn);
    QSignalSpy loggedOut(&voice, &VoiceManager::voiceLoggedOut);
    voice.createConnector();
    voice.requestLogin(QStringLiteral("net-user"), QString());
    QTRY_COMPARE(loggedIn.count(), 1);

    voice.onNetworkStateChanged(true);
    QCOMPARE(loggedOut.count(), 0);
    voice.onNetworkStateChanged(false);
    QCOMPARE(loggedOut.count(), 1);
    QCOMPARE(loggedOut.at(0).at(0).toString(), QStringLiteral("Lost network connectivity"));
    QVERIFY(voice.accountHandle().isEmpty());
    // Only one logout per issued login.
    voice.onNetworkStateChanged(false);
    QCOMPARE(loggedOut.count(), 1);
}

void TestVoiceCore::appExit_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("exitCode");

    // 0: the voice service quit the event loop; 7: the loop was still
    // running a second after the exit with the logout issued.
    QTest::newRow("no account quits at once") << "exit-without-account" << 0;
    QTest::newRow("account logs out and keeps running") << "exit-with-account" << 7;
    QTest::newRow("unanswered logout quits after the exit timer") << "exit-logout-unanswered" << 0;
}

void TestVoiceCore::appExit()
{
    QFETCH(QString, mode);
    QFETCH(int, exitCode);

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildMode), mode);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(120000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), exitCode);
}

void TestVoiceCore::shutdownWithoutConnector()
{
    LogCapture log;
    {
        VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    }
    QCOMPARE(VoiceManager::getInstance(), nullptr);
    QCOMPARE(oxc_request_count(OX_REQ_CONNECTOR_INITIATE_SHUTDOWN), 0);
    QCOMPARE(oxc_is_initialized(), 0);
    QCOMPARE(log.find(QtDebugMsg, QStringLiteral("Calling ox_uninitialize()...")).size(), 1);
    QCOMPARE(log.find(QtDebugMsg, QStringLiteral("VoiceManager::shutdown() completed.")).size(), 1);
    QVERIFY(log.find(QtCriticalMsg, QString()).isEmpty());
    const int markers = oxc_crash_marker_count();
    QVERIFY(markers >= 2);
    QCOMPARE(QByteArray(oxc_crash_marker(markers - 2)), QByteArray("VoiceManager::shutdown"));
    QCOMPARE(QByteArray(oxc_crash_marker(markers - 1)), QByteArray("ox_uninitialize()"));
}

void TestVoiceCore::shutdownWaitsForConnectorAnswer()
{
    LogCapture log;
    int dispatched = 0;
    {
        VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
        connect(&voice, &VoiceManager::oxEventReceived, this, [&dispatched] { ++dispatched; });
        voice.createConnector();
        QTRY_VERIFY(!voice.connectorHandle().isEmpty());
        QCOMPARE(oxc_wait_idle(2000), 0);
        QTRY_COMPARE(oxc_pending_messages(), 0);
        dispatched = 0;

        // Waiting messages that nobody takes before shutdown are freed
        // there, never dispatched.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(oxc_inject(&oxc_alloc_event(OX_EVT_SESSIONGROUP_REMOVED)->message), 0);
        QCOMPARE(oxc_wait_idle(2000), 0);
        QCOMPARE(oxc_pending_messages(), 3);
    }
    QCOMPARE(dispatched, 0);
    const auto *request = reinterpret_cast<const ox_req_connector_initiate_shutdown_t *>(
        oxc_find_request(OX_REQ_CONNECTOR_INITIATE_SHUTDOWN, 0));
    QVERIFY(request);
    QCOMPARE(text(request->connector_handle), QByteArray("connector-1"));
    QCOMPARE(log.find(QtDebugMsg, QStringLiteral("resp_connector_initiate_shutdown in ")).size(), 1);
    QVERIFY(log.find(QtCriticalMsg, QString()).isEmpty());
    QCOMPARE(oxc_is_initialized(), 0);
}

void TestVoiceCore::shutdownGivesUpAfterThreeSeconds()
{
    LogCapture log;
    {
        VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
        voice.createConnector();
        QTRY_VERIFY(!voice.connectorHandle().isEmpty());
        QCOMPARE(oxc_silence(OX_REQ_CONNECTOR_INITIATE_SHUTDOWN, 1), 0);
    }
    QCOMPARE(oxc_request_count(OX_REQ_CONNECTOR_INITIATE_SHUTDOWN), 1);
    QVERIFY(log.find(QtDebugMsg, QStringLiteral("resp_connector_initiate_shutdown in ")).isEmpty());
    QCOMPARE(log.find(QtCriticalMsg, QStringLiteral("Error: VoiceManager::shutdown() failed to receive "
                                                    "resp_connector_initiate_shutdown within 3000 milliseconds."))
                 .size(),
             1);
    QCOMPARE(log.find(QtDebugMsg, QStringLiteral("VoiceManager::shutdown() completed.")).size(), 1);
    QCOMPARE(oxc_is_initialized(), 0);
}

void TestVoiceCore::connectorAddress_data()
{
    QTest::addColumn<QByteArray>("domain");
    QTest::addColumn<QString>("url");

    QTest::newRow("two labels") << QByteArray("example.org") << "https://www.example.org/api2";
    QTest::newRow("three labels") << QByteArray("voice.example.org") << "https://www.voice.example.org/api2";
    QTest::newRow("four labels") << QByteArray("a.voice.example.org") << "https://a.voice.example.org/api2";
    QTest::newRow("five labels") << QByteArray("b.a.voice.example.org") << "https://b.a.voice.example.org/api2";
    QTest::newRow("www already") << QByteArray("www.example.org") << "https://www.www.example.org/api2";
}

void TestVoiceCore::connectorAddress()
{
    QFETCH(QByteArray, domain);
    QFETCH(QString, url);

    writeRuntimeSettings("import QtQml 2.2\nQtObject { property string domain: \"" + domain + "\" }\n");
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QCOMPARE(voice.domain(), QString::fromLatin1(domain));
    QCOMPARE(voice.connectorUrl(), url);
}

void TestVoiceCore::runtimeSettings_data()
{
    QTest::addColumn<bool>("development");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("domain");            // empty: the mode's default
    QTest::addColumn<QString>("applicationServer"); // empty: https://social.<default domain>
    QTest::addColumn<QString>("downloadServer");    // empty: the mode's default

    const QByteArray head = "import QtQml 2.2\nQtObject {\n";
    QTest::newRow("no file") << false << QByteArray() << ""
                             << ""
                             << "";
    QTest::newRow("no file, development") << true << QByteArray() << ""
                                          << ""
                                          << "";
    QTest::newRow("domain only") << false << head + "property string domain: \"voice.example.org\"\n}\n"
                                 << "voice.example.org"
                                 << ""
                                 << "";
    QTest::newRow("all three") << true
                               << head
                                      + "property string domain: \"a.b.example.org\"\n"
                                        "property string applicationServer: \"social.example.org\"\n"
                                        "property string downloadServer: \"download.example.org\"\n}\n"
                               << "a.b.example.org"
                               << "https://social.example.org"
                               << "https://download.example.org";
    QTest::newRow("server with its own scheme")
        << false
        << head
               + "property string applicationServer: \"http://127.0.0.1:8088\"\n"
                 "property string downloadServer: \"https://files.example.org\"\n}\n"
        << ""
        << "http://127.0.0.1:8088"
        << "https://files.example.org";
    QTest::newRow("empty values keep defaults")
        << false << head + "property string domain: \"\"\nproperty string applicationServer: \"\"\n}\n"
        << ""
        << ""
        << "";
    QTest::newRow("syntax error") << false << head + "property string domain: \"voice.example.org\"\n"
                                  << ""
                                  << ""
                                  << "";
    QTest::newRow("script error") << false
                                  << head
                                         + "property string domain: \"voice.example.org\"\n"
                                           "property string applicationServer: noSuchFunction()\n}\n"
                                  << ""
                                  << ""
                                  << "";
    QTest::newRow("not a string") << false
                                  << head
                                         + "property int domain: 5\nproperty var applicationServer: [1, 2]\n"
                                           "property string downloadServer: \"files.example.org\"\n}\n"
                                  << ""
                                  << ""
                                  << "https://files.example.org";
    // A script that never ends is stopped after a few seconds and ignored.
    QTest::newRow("endless script") << false
                                    << head
                                           + "property string domain: \"voice.example.org\"\n"
                                             "Component.onCompleted: { while (true) {} }\n}\n"
                                    << ""
                                    << ""
                                    << "";
    QTest::newRow("endless binding") << false << head + "property string domain: { while (true) {} return \"x\" }\n}\n"
                                     << ""
                                     << ""
                                     << "";
    // Nothing is fetched from the network.
    QTest::newRow("remote import") << false
                                   << QByteArray("import QtQml 2.2\nimport \"http://127.0.0.1:9/remote/\"\n"
                                                 "QtObject { property string domain: \"voice.example.org\" }\n")
                                   << ""
                                   << ""
                                   << "";
    QTest::newRow("not QML") << false << QByteArray("\x01\x02 garbage {{") << ""
                             << ""
                             << "";
}

void TestVoiceCore::runtimeSettings()
{
    QFETCH(bool, development);
    QFETCH(QByteArray, file);
    QFETCH(QString, domain);
    QFETCH(QString, applicationServer);
    QFETCH(QString, downloadServer);

    // The program's own servers, production and development.
    const QString defaultDomain =
        development ? QStringLiteral("voice-dev.tavri.net") : QStringLiteral("voice.tavri.net");
    const QString defaultDownloadServer =
        development ? QStringLiteral("https://dev.tavri.net") : QStringLiteral("https://www.tavri.net");
    if (!file.isEmpty())
        writeRuntimeSettings(file);
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), development);

    QCOMPARE(VoiceManager::defaultDomain(development), defaultDomain);
    QCOMPARE(voice.domain(), domain.isEmpty() ? defaultDomain : domain);
    QCOMPARE(voice.isDefaultDomain(), domain.isEmpty());
    QCOMPARE(voice.applicationServer(),
             applicationServer.isEmpty() ? QStringLiteral("https://social.") + defaultDomain : applicationServer);
    QCOMPARE(voice.downloadServer(), downloadServer.isEmpty() ? defaultDownloadServer : downloadServer);
}

namespace {

// Runs one exit scenario in a process of its own, since quitting the event
// loop ends every loop of the process.
int runChild(int argc, char *argv[], const QByteArray &mode)
{
    QCoreApplication app(argc, argv);
    int result = 0;
    if (mode == "init-failure") {
        ox_config_t config;
        ox_get_default_config(&config);
        ox_initialize3(&config, int(sizeof config));
        VoiceManager voice(0, app.applicationDirPath(), false);
        result = 1; // not reached: the failed initialisation ends the process
    } else {
        oxc_reset();
        oxc_set_meter_interval(0);
        if (mode == "exit-logout-unanswered") {
            oxc_silence(OX_REQ_ACCOUNT_LOGOUT, 1);
            VoiceManager::setExitLogoutTimeout(300);
        }
        VoiceManager voice(0, app.applicationDirPath(), false);
        QTimer::singleShot(60000, &app, [&app] { app.exit(9); });
        if (mode == "exit-without-account") {
            QTimer::singleShot(0, &voice, &VoiceManager::onAppExit);
        } else {
            QObject::connect(&voice, &VoiceManager::voiceLoggedIn, &app, [&app, &voice, mode] {
                QTimer::singleShot(0, &voice, &VoiceManager::onAppExit);
                if (mode == "exit-with-account") {
                    QTimer::singleShot(1000, &app,
                                       [&app] { app.exit(oxc_request_count(OX_REQ_ACCOUNT_LOGOUT) == 1 ? 7 : 8); });
                }
            });
            voice.createConnector();
            voice.requestLogin(QStringLiteral("exit-user"), QString());
        }
        result = app.exec();
    }
    oxc_reset();
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    const QByteArray mode = qgetenv(kChildMode);
    if (!mode.isEmpty())
        return runChild(argc, argv, mode);
    tavritest::TestEnvironment testEnvironment;
    QTEST_MAIN_IMPL(TestVoiceCore)
}
#include "tst_voicecore.moc"
