// The end of a voice session: the call's statistics go out as an event, and
// blocked voice data warns every time but is counted once a run. Also: a
// file dialog left open when the program hides its windows.

#include <QtTest/QtTest>

#include <QElapsedTimer>
#include <QFileDialog>
#include <QQuickItem>
#include <QQuickView>

#include "alertsfixture.h"
#include "callsessionstat.h"
#include "callsessionstats.h"
#include "tavrifilepicker.h"

using alertstest::app;

class TestSessionEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void sessionRemovedWithoutSample_data();
    void sessionRemovedWithoutSample();
    void sessionRemovedSendsNewestSample();
    void endedCallWithoutVoiceServiceIdGetsOneOfItsOwn();
    void voiceDataBlockedWarnsEachTimeTracksOnce();
    void hidingAllFramesCancelsFileDialog();

private:
    FakeWebService *m_web = nullptr;
};

void TestSessionEnd::initTestCase()
{
    m_web = alertstest::start();
    QVERIFY(app()->callStats());
}

void TestSessionEnd::cleanupTestCase()
{
    delete m_web;
    m_web = nullptr;
}

void TestSessionEnd::sessionRemovedWithoutSample_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("event");
    QTest::newRow("channel") << "sip:confctl-77@voice.test"
                             << "SDKEvent.SessionRemoved";
    QTest::newRow("group channel") << "sip:confctl-g-5@voice.test"
                                   << "SDKEvent.SessionRemoved";
    QTest::newRow("private call") << "sip:u-friend@voice.test"
                                  << "SDKEvent.PrivateSessionRemoved";
    QTest::newRow("unknown session") << ""
                                     << "SDKEvent.PrivateSessionRemoved";
}

void TestSessionEnd::sessionRemovedWithoutSample()
{
    QFETCH(QString, uri);
    QFETCH(QString, event);
    app()->callStats()->clear();
    LogCapture capture;
    app()->onSessionRemoved(uri, QStringLiteral("session-1"));
    QCOMPARE(shelltest::events(capture, event), QStringList{QStringLiteral("(\"u:%1\")").arg(uri)});
    const QString other =
        event.endsWith(QLatin1String(".SessionRemoved")) ? "SDKEvent.PrivateSessionRemoved" : "SDKEvent.SessionRemoved";
    QVERIFY(shelltest::events(capture, other).isEmpty());
}

void TestSessionEnd::sessionRemovedSendsNewestSample()
{
    CallSessionStats *stats = app()->callStats();
    stats->clear();
    for (const char *id : {"call-1", "call-2"}) {
        ox_resp_sessiongroup_get_stats_t record{};
        record.stats.call_id = const_cast<char *>(id);
        record.stats.packets_received = 480;
        stats->onSessionStatReceived(new CallSessionStat(&record));
    }

    LogCapture capture;
    app()->onSessionRemoved(QStringLiteral("sip:confctl-77@voice.test"), QStringLiteral("session-1"));

    const QStringList sent = shelltest::events(capture, QStringLiteral("SDKEvent.SessionRemoved"));
    QCOMPARE(sent.size(), 1);
    QVERIFY2(sent.first().contains(QLatin1String("\"u:sip:confctl-77@voice.test\"")), qPrintable(sent.first()));
    QVERIFY2(sent.first().contains(QLatin1String("\"cid:call-2\"")), qPrintable(sent.first()));
    QVERIFY2(sent.first().contains(QLatin1String("\"pr:480\"")), qPrintable(sent.first()));
    QVERIFY(!sent.first().contains(QLatin1String("call-1")));
    // The address and one entry per value of the sample.
    QCOMPARE(sent.first().count(QLatin1String("\", \"")) + 1, 1 + stats->roleNames().size());
    // The call that ended keeps the voice service's id for the survey.
    QCOMPARE(app()->localUser()->property("lastCallId").toString(), QStringLiteral("call-2"));
    stats->clear();
}

void TestSessionEnd::endedCallWithoutVoiceServiceIdGetsOneOfItsOwn()
{
    // No sample at all, then a sample with an empty id: each ended call
    // still gets an id, and no two calls share one.
    CallSessionStats *stats = app()->callStats();
    stats->clear();
    QSignalSpy changed(app()->localUser(), &LocalUser::lastCallIdChanged);
    app()->onSessionRemoved(QStringLiteral("sip:confctl-77@voice.test"), QStringLiteral("session-1"));
    const QString first = app()->localUser()->property("lastCallId").toString();
    QVERIFY(!first.isEmpty());

    ox_resp_sessiongroup_get_stats_t record{};
    record.stats.packets_received = 480;
    stats->onSessionStatReceived(new CallSessionStat(&record));
    app()->onSessionRemoved(QStringLiteral("sip:u-friend@voice.test"), QStringLiteral("session-2"));
    const QString second = app()->localUser()->property("lastCallId").toString();
    QVERIFY(!second.isEmpty());
    QVERIFY(second != first);
    QCOMPARE(changed.count(), 2);
    stats->clear();
}

void TestSessionEnd::voiceDataBlockedWarnsEachTimeTracksOnce()
{
    LogCapture capture;
    for (int i = 0; i < 3; ++i) {
        app()->onVoiceDataBlocked();
        QQuickView *warning = app()->networkBlockingVoiceWarningWindow();
        QVERIFY(warning);
        QTRY_VERIFY(warning->isVisible());
        QVERIFY(warning->rootObject());
        QCOMPARE(warning->title(), QStringLiteral("Tavri Alert: Voice data blocked"));
        QCOMPARE(warning->size(), QSize(320, 240));
        // Closing drops the window's QML, so the next warning loads afresh.
        warning->close();
        QTRY_VERIFY(!warning->rootObject());
    }
    QCOMPARE(shelltest::events(capture, QStringLiteral("Application.NoRTPDetected")).size(), 1);
    int warnings = 0;
    for (const CapturedLine &line : capture.lines()) {
        if (line.message
            == QLatin1String("RTP voice data stream blocked from send/receive, please check router settings"))
            ++warnings;
    }
    QCOMPARE(warnings, 3);
    QVERIFY2(shelltest::qmlWarnings(capture).isEmpty(), qPrintable(shelltest::qmlWarnings(capture).join('\n')));
}

void TestSessionEnd::hidingAllFramesCancelsFileDialog()
{
    TavriFilePicker *picker = app()->filePicker();
    QVERIFY(picker);
    bool hid = false;
    bool timedOut = false;
    QElapsedTimer clock;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        QFileDialog *dialog = picker->findChild<QFileDialog *>();
        if (!dialog || !dialog->isVisible())
            return;
        // A dialog left open a minute after the frames were hidden is
        // cancelled here, and the case fails, rather than waiting for ever.
        if (hid && clock.elapsed() > 60000) {
            timedOut = true;
            dialog->reject();
            return;
        }
        if (hid)
            return;
        hid = true;
        clock.start();
        dialog->selectFile(QStringLiteral("ring.wav"));
        app()->hideAllFrames();
    });
    poll.start();
    const QString url =
        picker->getFileUrl(QStringLiteral("Sound"), QDir::tempPath(), QStringLiteral("Sound (*.wav)"), false);
    QVERIFY(hid);
    QVERIFY2(!timedOut, "the dialog stayed open after the frames were hidden");
    QCOMPARE(url, QString());
}

TAVRI_ALERTS_TEST_MAIN(TestSessionEnd, "tavri-test-sessionend")
#include "tst_sessionend.moc"
