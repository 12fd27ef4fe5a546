// The text-to-speech queue over the scripted speech engine.

#include "logcapture.h"
#include "qspeechmanager.h"
#include "qtspeech.h"
#include "scriptedspeechbackend.h"
#include "testenvironment.h"

#include <QtTest>

#include <memory>

using QtSpeech_v1::QtSpeech;
using QtSpeech_v1::ScriptedSpeechBackend;

Q_DECLARE_METATYPE(ScriptedSpeechBackend::Failure)

namespace {

QtSpeech::VoiceName alice()
{
    return QtSpeech::voices().at(0);
}

} // namespace

class TestSpeechQueue : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        ScriptedSpeechBackend::resetScript();
        QtSpeech::setBackendFactory(ScriptedSpeechBackend::factory());
    }

    void cleanupTestCase() { QtSpeech::setBackendFactory({}); }

    void speaksTextsOneAfterAnother()
    {
        QSpeechManager speech(alice());
        QVERIFY(speech.isReady());
        QCOMPARE(speech.voiceName(), QStringLiteral("Alice"));
        ScriptedSpeechBackend *engine = ScriptedSpeechBackend::latest();
        QVERIFY(engine);

        speech.say(QStringLiteral("first"));
        speech.say(QStringLiteral("second"));
        speech.say(QStringLiteral("third"));
        QCOMPARE(engine->said(), QStringList{QStringLiteral("first")});
        QCOMPARE(speech.queue(), (QStringList{"first", "second", "third"}));

        QVERIFY(engine->finish());
        QCOMPARE(engine->said(), (QStringList{"first", "second"}));
        QVERIFY(engine->finish());
        QVERIFY(engine->finish());
        QCOMPARE(engine->said(), (QStringList{"first", "second", "third"}));
        QVERIFY(speech.queue().isEmpty());
        QVERIFY(!speech.isSpeaking());

        // Idle again: the next text starts at once.
        speech.say(QStringLiteral("fourth"));
        QCOMPARE(engine->current(), QStringLiteral("fourth"));
    }

    // An immediate text queued right after the queue was emptied under a
    // running utterance is spoken once that utterance ends.
    void clearQueueSparesTheTextBeingSpoken()
    {
        QSpeechManager speech(alice());
        ScriptedSpeechBackend *engine = ScriptedSpeechBackend::latest();
        speech.say(QStringLiteral("speaking"));
        speech.say(QStringLiteral("waiting"));

        speech.clearQueue();
        speech.say(QStringLiteral("immediate"));
        QCOMPARE(speech.queue(), (QStringList{"speaking", "immediate"}));
        QCOMPARE(engine->current(), QStringLiteral("speaking"));

        QVERIFY(engine->finish());
        QCOMPARE(engine->said(), (QStringList{"speaking", "immediate"}));
        QVERIFY(engine->finish());
        QVERIFY(!speech.isSpeaking());

        // Idle, nothing is spared.
        speech.clearQueue();
        QVERIFY(speech.queue().isEmpty());
    }

    void noDeviceStopsAndDropsTextsUntilAnotherDevice()
    {
        ScriptedSpeechBackend::setAcceptedOutputDevices({QStringLiteral("Speakers")});
        QSpeechManager speech(alice());
        ScriptedSpeechBackend *engine = ScriptedSpeechBackend::latest();
        speech.say(QStringLiteral("one"));
        speech.say(QStringLiteral("two"));

        QVERIFY(speech.setOutputDevice(QSpeechManager::noDeviceName));
        QVERIFY(speech.isBlocked());
        QVERIFY(speech.queue().isEmpty());
        QCOMPARE(engine->stopCount(), 1);
        speech.say(QStringLiteral("dropped"));
        QVERIFY(speech.queue().isEmpty());

        QVERIFY(speech.setOutputDevice(QStringLiteral("Speakers")));
        QVERIFY(!speech.isBlocked());
        QVERIFY(!speech.setOutputDevice(QStringLiteral("Unknown headset")));
        QCOMPARE(engine->outputDevices(), (QStringList{"Speakers", "Unknown headset"}));

        // The stopped text's end is still on its way: a text queued now
        // waits for it and is then spoken, not taken for the stopped one.
        speech.say(QStringLiteral("after"));
        QTRY_COMPARE(engine->current(), QStringLiteral("after"));
        QCOMPARE(engine->said(), (QStringList{"one", "after"}));
    }

    void skipMovesToTheNextText()
    {
        QSpeechManager speech(alice());
        ScriptedSpeechBackend *engine = ScriptedSpeechBackend::latest();
        speech.say(QStringLiteral("long"));
        speech.say(QStringLiteral("next"));
        speech.skip();
        QTRY_COMPARE(engine->current(), QStringLiteral("next"));
    }

    void timeLimit_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<bool>("timed");
        QTest::newRow("no limit") << 0 << false;
        QTest::newRow("negative") << -5 << false;
        QTest::newRow("one second") << 1 << true;
    }

    // Every utterance is timed while a limit is set, the first of a quiet
    // spell included; without a limit none is.
    void timeLimit()
    {
        QFETCH(int, seconds);
        QFETCH(bool, timed);
        QSpeechManager speech(alice());
        ScriptedSpeechBackend *engine = ScriptedSpeechBackend::latest();
        speech.setMaxLengthSeconds(seconds);
        QCOMPARE(speech.maxLengthSeconds(), seconds);

        speech.say(QStringLiteral("first"));
        QCOMPARE(speech.isTiming(), timed);
        speech.say(QStringLiteral("second"));
        QVERIFY(engine->finish());
        QCOMPARE(engine->current(), QStringLiteral("second"));
        QCOMPARE(speech.isTiming(), timed);
        if (!timed)
            return;
        // Cut off at the limit; the queue then runs dry and stops timing.
        QTRY_VERIFY_WITH_TIMEOUT(!speech.isSpeaking(), 10000);
        QVERIFY(!speech.isTiming());
        QCOMPARE(engine->stopCount(), 1);
    }

    void withoutSpeakerEverythingIsIgnored()
    {
        ScriptedSpeechBackend::setFailures(ScriptedSpeechBackend::FailCreate);
        LogCapture log;
        QSpeechManager speech(alice());
        QVERIFY(!speech.isReady());
        QVERIFY(speech.voiceName().isEmpty());
        QCOMPARE(log.find(QtWarningMsg, QStringLiteral("Error: QtSpeech construction failed - ")).size(), 1);
        QVERIFY(log.text().contains(QStringLiteral("scripted failure to create a speaker")));

        speech.say(QStringLiteral("text"));
        speech.skip();
        speech.stop();
        QVERIFY(speech.queue().isEmpty());
        QVERIFY(!speech.setOutputDevice(QStringLiteral("Speakers")));
        QVERIFY(!speech.setOutputDevice(QSpeechManager::noDeviceName));
        QVERIFY(!speech.isBlocked());
    }

    void libraryErrors_data()
    {
        QTest::addColumn<ScriptedSpeechBackend::Failure>("failure");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("tell") << ScriptedSpeechBackend::FailSay << "Unable to send TTS:";
        QTest::newRow("stop") << ScriptedSpeechBackend::FailStop << "Unable to stop TTS engine:";
        QTest::newRow("output device") << ScriptedSpeechBackend::FailOutputDevice << "Unable to send TTS:";
    }

    // A library error is logged and the queue goes on working afterwards.
    void libraryErrors()
    {
        QFETCH(ScriptedSpeechBackend::Failure, failure);
        QFETCH(QString, logLine);
        QSpeechManager speech(alice());
        ScriptedSpeechBackend *engine = ScriptedSpeechBackend::latest();
        LogCapture log;
        ScriptedSpeechBackend::setFailures(failure);
        speech.say(QStringLiteral("lost"));
        speech.stop();
        QVERIFY(!speech.setOutputDevice(QStringLiteral("Speakers")));
        QVERIFY(!log.find(QtWarningMsg, logLine).isEmpty());

        ScriptedSpeechBackend::setFailures(ScriptedSpeechBackend::NoFailure);
        // A text the engine would not stop ends in its own time.
        if (engine->isSpeaking())
            QVERIFY(engine->finish());
        speech.say(QStringLiteral("heard"));
        QTRY_COMPARE(engine->current(), QStringLiteral("heard"));
        if (failure == ScriptedSpeechBackend::FailSay)
            QCOMPARE(engine->said(), QStringList{QStringLiteral("heard")});
    }
};

TAVRI_TEST_GUILESS_MAIN(TestSpeechQueue)
#include "tst_speechqueue.moc"
