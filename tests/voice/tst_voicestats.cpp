#include "callsessionstat.h"
#include "callsessionstats.h"

#include <QAbstractItemModelTester>
#include <QtTest>

#include <cmath>
#include <limits>

#include "localuser.h"
#include "storagemanager.h"
#include "testenvironment.h"

namespace {

// A statistics answer; the call id text lives in the caller's buffer.
ox_resp_sessiongroup_get_stats_t statsRecord(int packetsReceived = 0, double minLatency = -1, double maxLatency = -1,
                                             double latencySum = 0)
{
    ox_resp_sessiongroup_get_stats_t response{};
    response.stats.packets_received = packetsReceived;
    response.stats.min_latency = minLatency;
    response.stats.max_latency = maxLatency;
    response.stats.latency_sum = latencySum;
    response.stats.call_start_time = std::numeric_limits<double>::quiet_NaN();
    response.stats.call_end_time = std::numeric_limits<double>::quiet_NaN();
    return response;
}

// Seconds since 1601-01-01 of a UTC date and time.
double sdkSeconds(const QDateTime &utc)
{
    return (utc.toMSecsSinceEpoch() + 11644473600000.0) / 1000.0;
}

} // namespace

// The call statistics model: samples kept, their values by role and key, the
// blocked-voice warning and the conversion of the SDK's times.
class TestVoiceStats : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void rolesRunFromStartTimeToUtcEndTime();
    void keepsTheNewest240();
    void voiceDataBlockedFromTheFourthSample();
    void whatCountsAsVoiceData_data();
    void whatCountsAsVoiceData();
    void getWithFullAndShortKeys();
    void sdkTimes_data();
    void sdkTimes();
    void sampleRecordsTheLocalSettings();
    void rawRecordsAndClear();
};

void TestVoiceStats::initTestCase()
{
    QVERIFY(StorageManager::getInstance());
}

void TestVoiceStats::rolesRunFromStartTimeToUtcEndTime()
{
    CallSessionStats model;
    const QHash<int, QByteArray> roles = model.roleNames();
    QCOMPARE(roles.size(), 40);
    QCOMPARE(roles.value(1156), QByteArray("startTime"));
    QCOMPARE(roles.value(1168), QByteArray("synthenticFrames"));
    QCOMPARE(roles.value(1182), QByteArray("endTime"));
    QCOMPARE(roles.value(1195), QByteArray("utcEndTime"));
    QCOMPARE(CallSessionStats::shortKey(1171), QStringLiteral("nl"));
    QCOMPARE(CallSessionStats::shortKey(1172), QStringLiteral("ml"));
    QCOMPARE(CallSessionStats::shortKey(1178), QStringLiteral("lo"));
    QCOMPARE(CallSessionStats::shortKey(1155), QString());
    QCOMPARE(CallSessionStats::shortKey(1196), QString());
}

void TestVoiceStats::keepsTheNewest240()
{
    CallSessionStats model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy blocked(&model, &CallSessionStats::voiceDataBlocked);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    QList<QByteArray> ids;
    for (int i = 1; i <= 241; ++i) {
        ids.append("call-" + QByteArray::number(i));
        auto record = statsRecord();
        record.stats.call_id = ids.last().data();
        model.onSessionStatReceived(new CallSessionStat(&record));
        if (i == 240)
            QCOMPARE(blocked.count(), 237); // samples 4 to 240
    }
    QCOMPARE(model.count(), 240);
    // The append that trims runs no voice check.
    QCOMPARE(blocked.count(), 237);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 0);
    QCOMPARE(removed.at(0).at(2).toInt(), 0);
    QCOMPARE(model.get(0).value(QStringLiteral("callId")).toString(), QStringLiteral("call-2"));
    QCOMPARE(model.getLast().value(QStringLiteral("callId")).toString(), QStringLiteral("call-241"));
}

void TestVoiceStats::voiceDataBlockedFromTheFourthSample()
{
    CallSessionStats model;
    QSignalSpy blocked(&model, &CallSessionStats::voiceDataBlocked);
    for (int i = 0; i < 3; ++i) {
        auto record = statsRecord();
        model.onSessionStatReceived(new CallSessionStat(&record));
    }
    QCOMPARE(blocked.count(), 0);
    auto silent = statsRecord();
    model.onSessionStatReceived(new CallSessionStat(&silent));
    QCOMPARE(blocked.count(), 1);
    model.onSessionStatReceived(new CallSessionStat(&silent));
    QCOMPARE(blocked.count(), 2);

    // Voice arrives: the warning stops for good, even after clear().
    auto voice = statsRecord(12, 20.0, 80.0, 400.0);
    model.onSessionStatReceived(new CallSessionStat(&voice));
    QCOMPARE(blocked.count(), 2);
    model.clear();
    for (int i = 0; i < 5; ++i)
        model.onSessionStatReceived(new CallSessionStat(&silent));
    QCOMPARE(blocked.count(), 2);
}

void TestVoiceStats::whatCountsAsVoiceData_data()
{
    QTest::addColumn<int>("packetsReceived");
    QTest::addColumn<double>("minLatency");
    QTest::addColumn<double>("maxLatency");
    QTest::addColumn<double>("latencySum");
    QTest::addColumn<bool>("isVoice");

    QTest::newRow("packets without latency") << 5 << -1.0 << -1.0 << 0.0 << false;
    QTest::newRow("latency without packets") << 0 << 10.0 << 20.0 << 30.0 << false;
    QTest::newRow("minimum latency") << 5 << 10.0 << -1.0 << 0.0 << true;
    QTest::newRow("maximum latency") << 5 << -1.0 << 10.0 << 0.0 << true;
    QTest::newRow("latency sum") << 5 << -1.0 << -1.0 << 0.5 << true;
}

void TestVoiceStats::whatCountsAsVoiceData()
{
    QFETCH(int, packetsReceived);
    QFETCH(double, minLatency);
    QFETCH(double, maxLatency);
    QFETCH(double, latencySum);
    QFETCH(bool, isVoice);

    CallSessionStats model;
    QSignalSpy blocked(&model, &CallSessionStats::voiceDataBlocked);
    auto candidate = statsRecord(packetsReceived, minLatency, maxLatency, latencySum);
    model.onSessionStatReceived(new CallSessionStat(&candidate));
    auto silent = statsRecord();
    for (int i = 0; i < 3; ++i)
        model.onSessionStatReceived(new CallSessionStat(&silent));
    QCOMPARE(blocked.count(), isVoice ? 0 : 1);
}

void TestVoiceStats::getWithFullAndShortKeys()
{
    CallSessionStats model;
    auto record = statsRecord(7);
    record.stats.current_bars = 4;
    record.stats.r_factor = 88.5;
    QByteArray codec("opus");
    record.stats.codec_name = codec.data();
    model.onSessionStatReceived(new CallSessionStat(&record));

    const QVariantMap shortKeys = model.get(0, false);
    QCOMPARE(shortKeys.size(), 40);
    QStringList expectedKeys;
    for (int role = 1156; role <= 1195; ++role)
        expectedKeys << CallSessionStats::shortKey(role);
    QStringList keys = shortKeys.keys();
    keys.sort();
    expectedKeys.sort();
    QCOMPARE(keys, expectedKeys);
    QVERIFY(keys.contains(QStringLiteral("start")));
    QVERIFY(keys.contains(QStringLiteral("utc_end")));
    QCOMPARE(shortKeys.value(QStringLiteral("cb")).toInt(), 4);
    QCOMPARE(shortKeys.value(QStringLiteral("pr")).toInt(), 7);
    QCOMPARE(shortKeys.value(QStringLiteral("codec")).toString(), QStringLiteral("opus"));

    const QVariantMap full = model.get(0);
    QCOMPARE(full.size(), 40);
    QCOMPARE(full.value(QStringLiteral("rFactor")).toDouble(), 88.5);
    QCOMPARE(full.value(QStringLiteral("packetsReceived")).toInt(), 7);
    QCOMPARE(model.getLast(false), shortKeys);

    const QVariantMap outOfRange = model.get(3);
    QCOMPARE(outOfRange.size(), 40);
    QVERIFY(!outOfRange.value(QStringLiteral("currentBars")).isValid());
    QVERIFY(!model.data(model.index(0), 1300).isValid());
}

void TestVoiceStats::sdkTimes_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<bool>("converts");

    const QDateTime known(QDate(2024, 3, 5), QTime(14, 30, 15, 250), Qt::UTC);
    QTest::newRow("a known time") << sdkSeconds(known) << true;
    QTest::newRow("the SDK's epoch") << 0.0 << true;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << false;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << false;
    QTest::newRow("negative") << -5.0 << false;
    QTest::newRow("beyond 64 bits") << 1e300 << false;
}

void TestVoiceStats::sdkTimes()
{
    QFETCH(double, start);
    QFETCH(bool, converts);

    auto record = statsRecord();
    record.stats.call_start_time = start;
    record.stats.call_end_time = start;
    const CallSessionStat stat(&record);
    const QDateTime created = stat.creationTime();

    const QDateTime startTime = stat.value("startTime").toDateTime();
    const QDateTime endTime = stat.value("endTime").toDateTime();
    const qint64 utcStart = stat.value("utcStartTime").toLongLong();
    const qint64 utcEnd = stat.value("utcEndTime").toLongLong();
    if (!converts) {
        QCOMPARE(startTime, created);
        QCOMPARE(endTime, created.addSecs(10));
        QCOMPARE(utcStart, created.addSecs(10).toMSecsSinceEpoch());
        QCOMPARE(utcEnd, created.addSecs(10).toMSecsSinceEpoch());
        return;
    }
    // The calendar fields of the SDK's time, labelled local.
    const qint64 ms = qint64(std::llround(start * 1000.0)) - Q_INT64_C(11644473600000);
    const QDateTime fields = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
    const QDateTime expected(fields.date(), fields.time(), Qt::LocalTime);
    QCOMPARE(startTime, expected);
    QCOMPARE(endTime, expected);
    QCOMPARE(utcStart, expected.toMSecsSinceEpoch());
}

void TestVoiceStats::sampleRecordsTheLocalSettings()
{
    LocalUser *user = LocalUser::getLocalUser();
    user->setProperty("vadHangoverSecs", 1);
    user->setProperty("vadNoiseFloor", 1800);
    // The microphone level and the mute come from the voice service's reports.
    QVERIFY(QMetaObject::invokeMethod(user, "onVoiceVolumeAdjustChanged", Q_ARG(int, 12)));
    QVERIFY(QMetaObject::invokeMethod(user, "onLocalMicMuteChanged", Q_ARG(bool, true)));
    QCOMPARE(user->property("vadHangoverSecs").toInt(), 1);
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyPttMode, 2);

    auto record = statsRecord();
    const CallSessionStat stat(&record);
    QCOMPARE(stat.value("vadHangoverSecs").toInt(), 1);
    QCOMPARE(stat.value("vadNoiseFloor").toInt(), 1800);
    QCOMPARE(stat.value("volumeAdjust").toInt(), 12);
    QCOMPARE(stat.value("isGlobalMuted").toBool(), true);
    QCOMPARE(stat.value("transmitMode").toInt(), 2);
    // Without a voice service there is no transmitting session or device.
    QCOMPARE(stat.value("transmittingUri").toString(), QString());
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyPttMode, 0);
    QMetaObject::invokeMethod(user, "onLocalMicMuteChanged", Q_ARG(bool, false));
}

void TestVoiceStats::rawRecordsAndClear()
{
    CallSessionStats model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto record = statsRecord(3);
    model.onSessionStatsReceived(&record);
    model.onSessionStatsReceived(&record);
    QCOMPARE(model.count(), 2);
    QCOMPARE(model.data(model.index(1), 1158).toInt(), 3);

    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.clear();
    model.clear();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(2).toInt(), 1);
    QCOMPARE(model.count(), 0);
}

TAVRI_TEST_MAIN(TestVoiceStats)
#include "tst_voicestats.moc"
