// The dampener: one settled switch per quiet interval, independent items,
// flushing, refused empty items and the interval of new items.
#include <QtTest/QtTest>

#include <QElapsedTimer>

#include "logcapture.h"
#include "statechangedampener.h"

namespace {

using Switch = QPair<QString, bool>;

QList<Switch> switches(const QSignalSpy &spy)
{
    QList<Switch> found;
    for (const QList<QVariant> &arguments : spy)
        found.append({arguments.at(0).toString(), arguments.at(1).toBool()});
    return found;
}

} // namespace

class TestStateChangeDampener : public QObject
{
    Q_OBJECT

private slots:
    void lastRequestWinsAfterTheQuietInterval();
    void itemsSettleIndependently();
    void flushPassesEverythingOnOnce_data();
    void flushPassesEverythingOnOnce();
    void switchDuringFlushStartsAFreshEntry();
    void emptyUriIsRefused();
    void newIntervalAppliesToNewItemsOnly();
    void destroyedUnflushedPassesNothingOn();
};

void TestStateChangeDampener::lastRequestWinsAfterTheQuietInterval()
{
    StateChangeDampener dampener(3000);
    QSignalSpy spy(&dampener, &StateChangeDampener::stateChanged);
    QElapsedTimer clock;
    clock.start();
    dampener.setState(QStringLiteral("sip:u-1@x"), true);
    // The second request comes from a timer due before the first request's
    // interval ends: the event loop runs due timers in deadline order, so it
    // comes first however late the loop gets to them on a busy machine.
    int settledBeforeSecond = -1;
    qint64 secondRequest = -1;
    QTimer::singleShot(1000, Qt::PreciseTimer, &dampener, [&] {
        settledBeforeSecond = spy.count();
        secondRequest = clock.elapsed();
        dampener.setState(QStringLiteral("sip:u-1@x"), false);
    });
    QVERIFY(spy.wait(10000));
    QCOMPARE(settledBeforeSecond, 0);
    // Event-loop timers may fire up to 5 % early; they never fire at the
    // first request's deadline.
    QVERIFY2(clock.elapsed() - secondRequest >= 2850, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(switches(spy), (QList<Switch>{{QStringLiteral("sip:u-1@x"), false}}));

    // Nothing further for the item: a marker switched later settles alone.
    dampener.setState(QStringLiteral("sip:marker@x"), true);
    QVERIFY(spy.wait(10000));
    QCOMPARE(switches(spy),
             (QList<Switch>{{QStringLiteral("sip:u-1@x"), false}, {QStringLiteral("sip:marker@x"), true}}));
}

void TestStateChangeDampener::itemsSettleIndependently()
{
    StateChangeDampener dampener(20);
    QSignalSpy spy(&dampener, &StateChangeDampener::stateChanged);
    dampener.setState(QStringLiteral("sip:a@x"), true);
    dampener.setState(QStringLiteral("sip:b@x"), false);
    QTRY_COMPARE(spy.count(), 2);
    QList<Switch> found = switches(spy);
    std::sort(found.begin(), found.end());
    QCOMPARE(found, (QList<Switch>{{QStringLiteral("sip:a@x"), true}, {QStringLiteral("sip:b@x"), false}}));

    // A settled item is switched again through the same entry.
    dampener.setState(QStringLiteral("sip:a@x"), false);
    QTRY_COMPARE(spy.count(), 3);
    QCOMPARE(switches(spy).last(), Switch(QStringLiteral("sip:a@x"), false));
}

void TestStateChangeDampener::flushPassesEverythingOnOnce_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("settleFirst");
    QTest::addColumn<QList<bool>>("expected");
    QTest::newRow("before the interval runs out") << 3000 << false << QList<bool>{true};
    QTest::newRow("after it ran out: passed on again") << 1 << true << QList<bool>{true, true};
}

void TestStateChangeDampener::flushPassesEverythingOnOnce()
{
    QFETCH(int, interval);
    QFETCH(bool, settleFirst);
    QFETCH(QList<bool>, expected);
    StateChangeDampener dampener(interval);
    QSignalSpy spy(&dampener, &StateChangeDampener::stateChanged);
    dampener.setState(QStringLiteral("sip:u@x"), true);
    if (settleFirst)
        QVERIFY(spy.wait(5000));
    dampener.flush();

    // The flushed entry is gone: a marker with a short interval settles and
    // nothing of the first item follows.
    dampener.setInterval(1);
    dampener.setState(QStringLiteral("sip:marker@x"), false);
    QTRY_COMPARE(spy.count(), expected.size() + 1);
    QList<Switch> wanted;
    for (bool value : expected)
        wanted.append({QStringLiteral("sip:u@x"), value});
    wanted.append({QStringLiteral("sip:marker@x"), false});
    QCOMPARE(switches(spy), wanted);
}

void TestStateChangeDampener::switchDuringFlushStartsAFreshEntry()
{
    StateChangeDampener dampener(60000);
    QSignalSpy spy(&dampener, &StateChangeDampener::stateChanged);
    bool switched = false;
    connect(&dampener, &StateChangeDampener::stateChanged, this, [&](const QString &uri, bool) {
        if (!switched && uri == QLatin1String("sip:a@x")) {
            switched = true;
            dampener.setState(QStringLiteral("sip:a@x"), false);
            dampener.setState(QStringLiteral("sip:z@x"), true);
        }
    });
    dampener.setState(QStringLiteral("sip:a@x"), true);
    dampener.setState(QStringLiteral("sip:b@x"), true);
    dampener.flush();
    QCOMPARE(switches(spy), (QList<Switch>{{QStringLiteral("sip:a@x"), true}, {QStringLiteral("sip:b@x"), true}}));
    // What was switched meanwhile waits for the next flush.
    dampener.flush();
    QCOMPARE(switches(spy).mid(2),
             (QList<Switch>{{QStringLiteral("sip:a@x"), false}, {QStringLiteral("sip:z@x"), true}}));
}

void TestStateChangeDampener::emptyUriIsRefused()
{
    StateChangeDampener dampener(1);
    QSignalSpy spy(&dampener, &StateChangeDampener::stateChanged);
    LogCapture capture;
    dampener.setState(QString(), true);
    const QList<CapturedLine> reports =
        capture.find(QtCriticalMsg, QStringLiteral("Assertion Failure - '!uri.isEmpty()'"));
    QCOMPARE(reports.size(), 1);
    dampener.flush();
    QCOMPARE(spy.count(), 0);
}

void TestStateChangeDampener::newIntervalAppliesToNewItemsOnly()
{
    StateChangeDampener dampener(60000);
    QSignalSpy spy(&dampener, &StateChangeDampener::stateChanged);
    dampener.setState(QStringLiteral("sip:old@x"), true);
    dampener.setInterval(1);
    QCOMPARE(dampener.interval(), 1);
    dampener.setState(QStringLiteral("sip:new@x"), true);
    QVERIFY(spy.wait(5000));
    QCOMPARE(switches(spy), (QList<Switch>{{QStringLiteral("sip:new@x"), true}}));
    // The older item still waits for its minute: only a flush passes it on.
    dampener.setState(QStringLiteral("sip:old@x"), false);
    dampener.flush();
    QCOMPARE(switches(spy).mid(1),
             (QList<Switch>{{QStringLiteral("sip:new@x"), true}, {QStringLiteral("sip:old@x"), false}}));
}

void TestStateChangeDampener::destroyedUnflushedPassesNothingOn()
{
    // The entries of a dampener that dies unflushed go with it (the leak
    // check of the test run sees any that stay) and never fire.
    auto *dampener = new StateChangeDampener(1);
    QSignalSpy spy(dampener, &StateChangeDampener::stateChanged);
    dampener->setState(QStringLiteral("sip:a@x"), true);
    dampener->setState(QStringLiteral("sip:b@x"), false);
    delete dampener;
    StateChangeDampener marker(1);
    QSignalSpy markerSpy(&marker, &StateChangeDampener::stateChanged);
    marker.setState(QStringLiteral("sip:marker@x"), true);
    QVERIFY(markerSpy.wait(5000));
    QCOMPARE(spy.count(), 0);
}

QTEST_GUILESS_MAIN(TestStateChangeDampener)
#include "tst_statechangedampener.moc"
