// Speech through the machine's own text-to-speech engines, as the Sounds page
// uses it on a fresh account: the voices it lists and a line spoken by one.

#include "audiocuesmanager.h"
#include "qspeechmanager.h"
#include "speechdleaks.h"
#include "testenvironment.h"

#include <QTextToSpeech>
#include <QtTest>

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
