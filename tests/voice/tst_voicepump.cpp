#include "voicemanager.h"

#include <QtTest>

#include "logcapture.h"
#include "ostrelsdk_control.h"
#include "storagemanager.h"
#include "testenvironment.h"
#include "voicedispatch.h"

namespace {

// A pass-through event that carries a text of its own, to follow its order.
ox_message_base_t *markedEvent(const QByteArray &mark)
{
    auto *event = reinterpret_cast<ox_evt_sessiongroup_removed_t *>(oxc_alloc_event(OX_EVT_SESSIONGROUP_REMOVED));
    event->session_group_handle = ox_strdup(mark.constData());
    return &event->base.message;
}

QString markOf(ox_evt_base_t *event)
{
    const char *mark = reinterpret_cast<ox_evt_sessiongroup_removed_t *>(event)->session_group_handle;
    return QString::fromLatin1(mark ? mark : "");
}

} // namespace

// SDK messages reach the dispatcher on the main thread, all of them and in
// order; SDK log lines are written through the message handler.
class TestVoicePump : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void burstIsDispatchedWholeAndInOrder();
    void notificationsRacingShutdownNeverReachAGoneService();
    void logSink_data();
    void logSink();
    void logSinkDropsTheNoisyEvents_data();
    void logSinkDropsTheNoisyEvents();
    void logSinkToleratesNullTexts();
    void logLinesArriveFromTheSdkThread();
    void duringShutdownNotificationsAreIgnoredButLogLinesArrive();
};

void TestVoicePump::initTestCase()
{
    QVERIFY(StorageManager::getInstance());
}

void TestVoicePump::cleanupTestCase()
{
    // Leaves no recorded requests for the library's exit-time teardown.
    oxc_reset();
}

void TestVoicePump::init()
{
    oxc_reset();
    oxc_set_meter_interval(0);
}

void TestVoicePump::burstIsDispatchedWholeAndInOrder()
{
    VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
    QStringList marks;
    connect(&voice, &VoiceManager::oxEventReceived, this, [&marks](ox_event_type type, ox_evt_base_t *event) {
        if (type == OX_EVT_SESSIONGROUP_REMOVED)
            marks.append(markOf(event));
    });

    QStringList expected;
    for (int i = 0; i < 50; ++i) {
        expected.append(QStringLiteral("g%1").arg(i));
        QCOMPARE(oxc_inject(markedEvent(expected.last().toLatin1())), 0);
    }
    QTRY_COMPARE(marks.size(), 50);
    QCOMPARE(marks, expected);
    // Later notices of the same burst find the queue empty.
    QVERIFY(voicedispatch::settle());
    QCOMPARE(marks.size(), 50);
    QCOMPARE(oxc_pending_messages(), 0);
}

void TestVoicePump::notificationsRacingShutdownNeverReachAGoneService()
{
    // Notices keep coming on the SDK's thread while the service is torn
    // down; none may touch it once it is gone.
    for (int round = 0; round < 20; ++round) {
        auto *voice = new VoiceManager(0, QCoreApplication::applicationDirPath(), false);
        voice->createConnector();
        for (int i = 0; i < 20; ++i)
            voice->setSpeakerLevel(40 + i);
        QTest::qWait(round % 3);
        delete voice;
        QCOMPARE(VoiceManager::getInstance(), nullptr);
        QCOMPARE(oxc_is_initialized(), 0);
    }
    QCoreApplication::processEvents();
}

void TestVoicePump::logSink_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("level");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("text");

    QTest::newRow("well formed")
        << QByteArray("ox.session") << QByteArray("Info")
        << QByteArray("Info ostrelsdk/session.cpp 212 ox.session: Event raised: SessionAddedEvent session-3")
        << int(QtDebugMsg) << QByteArray("session.cpp") << 212
        << "ox.session: Event raised: SessionAddedEvent session-3";
    QTest::newRow("warning") << QByteArray("ox.account") << QByteArray("Warning")
                             << QByteArray("Warning ostrelsdk/src/world.cpp 17 ox.account: login refused")
                             << int(QtWarningMsg) << QByteArray("world.cpp") << 17 << "ox.account: login refused";
    QTest::newRow("error is critical") << QByteArray("ox.core") << QByteArray("Error")
                                       << QByteArray("Error api.cpp 9 ox.core: bad size") << int(QtCriticalMsg)
                                       << QByteArray("api.cpp") << 9 << "ox.core: bad size";
    QTest::newRow("level text only starts with Warning")
        << QByteArray("ox.core") << QByteArray("Warnings") << QByteArray("Warnings a.cpp 1 ox.core: x")
        << int(QtWarningMsg) << QByteArray("a.cpp") << 1 << "ox.core: x";
    QTest::newRow("other levels are debug")
        << QByteArray("ox.aux") << QByteArray("Trace") << QByteArray("Trace aux.cpp 40 ox.aux: meter")
        << int(QtDebugMsg) << QByteArray("aux.cpp") << 40 << "ox.aux: meter";
    QTest::newRow("lower-case level is not Error")
        << QByteArray("ox.core") << QByteArray("error") << QByteArray("error a.cpp 3 ox.core: y") << int(QtDebugMsg)
        << QByteArray("a.cpp") << 3 << "ox.core: y";
    QTest::newRow("backslash path") << QByteArray("ox.core") << QByteArray("Info")
                                    << QByteArray("Info c:\\src\\sdk\\core.cpp 77 ox.core: up") << int(QtDebugMsg)
                                    << QByteArray("core.cpp") << 77 << "ox.core: up";
    QTest::newRow("no level text") << QByteArray("ox.core") << QByteArray("Info")
                                   << QByteArray("something happened in ox.core: here") << int(QtDebugMsg)
                                   << QByteArray("[none]") << 0 << "ox.core: here";
    QTest::newRow("level text is case-sensitive")
        << QByteArray("ox.core") << QByteArray("Info") << QByteArray("INFO core.cpp 5 ox.core: z") << int(QtDebugMsg)
        << QByteArray("[none]") << 0 << "ox.core: z";
    QTest::newRow("no source in the message")
        << QByteArray("ox.session") << QByteArray("Info") << QByteArray("Info x/y.cpp 8 plain text") << int(QtDebugMsg)
        << QByteArray("y.cpp") << 8 << "Info x/y.cpp 8 plain text";
    QTest::newRow("no space after the file")
        << QByteArray("ox.core") << QByteArray("Info") << QByteArray("Info core.cpp") << int(QtDebugMsg)
        << QByteArray("[none]") << 0 << "Info core.cpp";
    QTest::newRow("no line number") << QByteArray("ox.core") << QByteArray("Info")
                                    << QByteArray("Info a/b.cpp xyz ox.core: t") << int(QtDebugMsg)
                                    << QByteArray("b.cpp") << 0 << "ox.core: t";
    QTest::newRow("line number ends the message")
        << QByteArray("ox.core") << QByteArray("Info") << QByteArray("Info a/b.cpp 42") << int(QtDebugMsg)
        << QByteArray("b.cpp") << 42 << "Info a/b.cpp 42";
    QTest::newRow("negative line number")
        << QByteArray("ox.core") << QByteArray("Info") << QByteArray("Info a/b.cpp -4 ox.core: t") << int(QtDebugMsg)
        << QByteArray("b.cpp") << 0 << "ox.core: t";
    QTest::newRow("path ends in a separator")
        << QByteArray("ox.core") << QByteArray("Info") << QByteArray("Info a/b/ 6 ox.core: t") << int(QtDebugMsg)
        << QByteArray("[none]") << 6 << "ox.core: t";
    QTest::newRow("source before the level")
        << QByteArray("ox.core") << QByteArray("Info") << QByteArray("ox.core Info core.cpp 3 more") << int(QtDebugMsg)
        << QByteArray("core.cpp") << 3 << "ox.core Info core.cpp 3 more";
    QTest::newRow("percent signs stay text")
        << QByteArray("ox.core") << QByteArray("Info") << QByteArray("Info c.cpp 2 ox.core: 100% %s %n")
        << int(QtDebugMsg) << QByteArray("c.cpp") << 2 << "ox.core: 100% %s %n";
    QTest::newRow("empty message") << QByteArray("ox.core") << QByteArray("Info") << QByteArray("") << int(QtDebugMsg)
                                   << QByteArray("[none]") << 0 << "";
}

void TestVoicePump::logSink()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, level);
    QFETCH(QByteArray, message);
    QFETCH(int, type);
    QFETCH(QByteArray, file);
    QFETCH(int, line);
    QFETCH(QString, text);

    LogCapture log;
    VoiceManager::onSdkLogMessage(source.constData(), level.constData(), message.constData());
    const QList<CapturedLine> lines = log.lines();
    QCOMPARE(lines.size(), 1);
    const CapturedLine &logged = lines.first();
    QCOMPARE(int(logged.type), type);
    QCOMPARE(logged.category, QByteArray("sdkint "));
    QCOMPARE(logged.file, file);
    QCOMPARE(logged.line, line);
    QCOMPARE(logged.function, source);
    QCOMPARE(logged.message, text);
}

void TestVoicePump::logSinkDropsTheNoisyEvents_data()
{
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("participant updates") << QByteArray(
        "Debug ostrelsdk/session.cpp 300 ox.session: Event raised: ParticipantUpdatedEvent s-1");
    QTest::newRow("audio properties") << QByteArray(
        "Debug ostrelsdk/aux.cpp 12 ox.aux: Event raised: AuxAudioPropertiesEvent");
    QTest::newRow("anywhere in the line") << QByteArray("xAuxAudioPropertiesEventx");
}

void TestVoicePump::logSinkDropsTheNoisyEvents()
{
    QFETCH(QByteArray, message);
    LogCapture log;
    VoiceManager::onSdkLogMessage("ox.session", "Warning", message.constData());
    QVERIFY(log.lines().isEmpty());
}

void TestVoicePump::logSinkToleratesNullTexts()
{
    LogCapture log;
    VoiceManager::onSdkLogMessage(nullptr, nullptr, nullptr);
    VoiceManager::onSdkLogMessage("ox.core", nullptr, "Warning a.cpp 3 ox.core: w");
    VoiceManager::onSdkLogMessage(nullptr, "Error", "Error a.cpp 4 text");
    const QList<CapturedLine> lines = log.lines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(int(lines.at(0).type), int(QtDebugMsg));
    QCOMPARE(lines.at(0).message, QString());
    QCOMPARE(lines.at(0).file, QByteArray("[none]"));
    QCOMPARE(lines.at(0).function, QByteArray());
    QCOMPARE(int(lines.at(1).type), int(QtDebugMsg));
    QCOMPARE(lines.at(1).file, QByteArray("[none]"));
    QCOMPARE(lines.at(1).message, QStringLiteral("ox.core: w"));
    QCOMPARE(int(lines.at(2).type), int(QtCriticalMsg));
    QCOMPARE(lines.at(2).file, QByteArray("a.cpp"));
    QCOMPARE(lines.at(2).line, 4);
    QCOMPARE(lines.at(2).message, QStringLiteral("Error a.cpp 4 text"));
}

void TestVoicePump::logLinesArriveFromTheSdkThread()
{
    LogCapture log;
    VoiceManager voice(4, QCoreApplication::applicationDirPath(), false);
    QCOMPARE(oxc_log_raw("ox.control", "Warning", "Warning ostrelsdk/control.cpp 61 ox.control: scripted line"), 0);
    QCOMPARE(oxc_wait_idle(2000), 0);
    QList<CapturedLine> lines;
    QTRY_COMPARE((lines = log.find(QtWarningMsg, QStringLiteral("ox.control: scripted line"))).size(), 1);
    QCOMPARE(lines.first().category, QByteArray("sdkint "));
    QCOMPARE(lines.first().file, QByteArray("control.cpp"));
    QCOMPARE(lines.first().line, 61);
    QCOMPARE(lines.first().function, QByteArray("ox.control"));
    QVERIFY(lines.first().thread != QThread::currentThreadId());
}

void TestVoicePump::duringShutdownNotificationsAreIgnoredButLogLinesArrive()
{
    LogCapture log;
    int dispatched = 0;
    log.onLine = [](const CapturedLine &line) {
        // Shutdown has begun: the instance is gone, so a notice now does
        // nothing, while the SDK still logs and queues messages.
        if (line.message == QLatin1String("VoiceManager::shutdown()...")) {
            VoiceManager::sdkMessageCallback();
            oxc_log_raw("ox.core", "Warning", "Warning ostrelsdk/core.cpp 5 ox.core: during shutdown");
            oxc_inject(markedEvent("late"));
        }
    };
    {
        VoiceManager voice(0, QCoreApplication::applicationDirPath(), false);
        connect(&voice, &VoiceManager::oxEventReceived, this, [&dispatched] { ++dispatched; });
        voice.createConnector();
        QTRY_VERIFY(!voice.connectorHandle().isEmpty());
    }
    log.onLine = nullptr;
    QCOMPARE(VoiceManager::getInstance(), nullptr);
    QCOMPARE(dispatched, 0);
    const QList<CapturedLine> lines = log.find(QtWarningMsg, QStringLiteral("ox.core: during shutdown"));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().category, QByteArray("sdkint "));
    QCOMPARE(log.find(QtDebugMsg, QStringLiteral("resp_connector_initiate_shutdown in ")).size(), 1);
}

TAVRI_TEST_MAIN(TestVoicePump)
#include "tst_voicepump.moc"
