// Speech through the machine's own text-to-speech engines, as the Sounds page
// uses it on a fresh account: the voices it lists and a line spoken by one.

#include "audiocuesmanager.h"
#include "qspeechmanager.h"
#include "testenvironment.h"

#include <QTextToSpeech>
#include <QtTest>

#if defined(__SANITIZE_ADDRESS__)
// libspeechd leaks its error text each time it fails to reach a daemon, and
// the fast unwinder loses the trail inside glib.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libspeechd.so\n";
}
#endif

class TestEngineSpeech : public QObject
{
    Q_OBJECT

private slots:
    void listsVoicesAndSpeaks()
    {
        // install-deps brings both engines; Flite speaks without any daemon.
        QVERIFY2(QTextToSpeech::availableEngines().contains(QStringLiteral("flite")),
                 "the Flite text-to-speech plugin is missing: scripts/install-deps installs it");
        AudioCuesManager cues;
        cues.init();
        const QStringList voices = cues.getAvailableTTSVoices();
        QVERIFY2(!voices.isEmpty(), "no engine offers a voice");

        QSignalSpy available(&cues, &AudioCuesManager::textToSpeechAvailableChanged);
        cues.setTTSVoice(voices.last());
        QCOMPARE(available.size(), 1);
        QVERIFY(cues.getTextToSpeechAvailable());
        QCOMPARE(cues.getTTSVoice(), voices.last());

        QSpeechManager *speech = cues.speechManager();
        QVERIFY(speech && speech->isReady());
        cues.speakText(QStringLiteral("Text to speech"), true);
        QVERIFY(speech->isSpeaking());
        QVERIFY(QTest::qWaitFor([&] { return !speech->isSpeaking() && speech->queue().isEmpty(); }, 60000));
    }
};

TAVRI_TEST_GUILESS_MAIN(TestEngineSpeech)
#include "tst_enginespeech.moc"
