#include "qtspeech.h"
#include "speechdleaks.h"
#include "testenvironment.h"
#include "texttospeechbackend.h"

#include <QSet>
#include <QSignalSpy>
#include <QTextToSpeech>
#include <QtTest>

using QtSpeech_v1::QtSpeech;
using QtSpeech_v1::TextToSpeechBackend;

// Speech through Qt's real engines. Flite runs in process and needs no audio
// device (it reports the text done after failing to open one), so these run
// wherever its plugin is installed.
class TestTextToSpeechBackend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QTextToSpeech::availableEngines().contains(QStringLiteral("flite")))
            QSKIP("the Flite text-to-speech plugin is not installed");
    }

    void cleanup() { QtSpeech::setBackendFactory({}); }

    void speaksWithFlite()
    {
        QtSpeech::setBackendFactory(TextToSpeechBackend::factory({QStringLiteral("flite")}));
        const QList<QtSpeech::VoiceName> voices = QtSpeech::voices();
        QSet<QString> names;
        QtSpeech::VoiceName kal;
        for (const QtSpeech::VoiceName &voice : voices) {
            QVERIFY2(!names.contains(voice.name), qPrintable(voice.name));
            names.insert(voice.name);
            if (voice.name == QLatin1String("kal16"))
                kal = voice;
        }
        QVERIFY(names.contains(QStringLiteral("kal16")));

        QtSpeech speaker(kal);
        QCOMPARE(speaker.name().name, QStringLiteral("kal16"));
        QSignalSpy finished(&speaker, &QtSpeech::finished);
        speaker.tell(QStringLiteral("x"));
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.count(), 1);

        // Empty texts and stops are reported too; and only for what was said.
        speaker.tell(QString());
        QVERIFY(finished.wait(10000));
        speaker.stop();
        // The engine works through its calls in order: once a text told
        // after the stop is reported, the stop has reported all it would.
        speaker.tell(QStringLiteral("y"));
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.count(), 3);
        QVERIFY(!speaker.setOutputDevice(QStringLiteral("Headset")));
        QVERIFY(speaker.setOutputDevice(QString()));
    }

    void namesTheEngineVoiceForTheNullVoice()
    {
        QtSpeech::setBackendFactory(TextToSpeechBackend::factory({QStringLiteral("flite")}));
        QtSpeech engineChoice;
        QCOMPARE(engineChoice.name().name, QStringLiteral("kal16"));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("voice .*nobody.* not found"));
        QtSpeech unknown(QtSpeech::VoiceName{QString(), QStringLiteral("nobody")});
        QCOMPARE(unknown.name().name, QStringLiteral("kal16"));
    }

    void fallsBackToFliteWithoutSpeechDispatcher()
    {
        if (QTextToSpeech(QStringLiteral("speechd")).state() != QTextToSpeech::BackendError)
            QSKIP("a speech-dispatcher daemon answers here");
        QtSpeech speaker;
        QCOMPARE(speaker.name().name, QStringLiteral("kal16"));
    }

    void reportsTextsDoneOnFailedEngine()
    {
        // An engine that has failed since it was chosen.
        TextToSpeechBackend backend(std::make_unique<QTextToSpeech>(QStringLiteral("no-such-engine")),
                                    QtSpeech::nullVoice());
        QSignalSpy finished(&backend, &TextToSpeechBackend::finished);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("engine has failed"));
        backend.say(QStringLiteral("hello"));
        QCOMPARE(finished.count(), 0);
        QVERIFY(finished.wait(1000));
    }

    void throwsWithoutWorkingEngine()
    {
        QtSpeech::setBackendFactory(TextToSpeechBackend::factory({QStringLiteral("no-such-engine")}));
        QString voicesError;
        QString speakerError;
        try {
            QtSpeech::voices();
        } catch (const QtSpeech::Error &error) {
            voicesError = error.msg;
        }
        try {
            QtSpeech speaker;
        } catch (const QtSpeech::Error &error) {
            speakerError = error.msg;
        }
        QCOMPARE(voicesError, QStringLiteral("no speech engine available"));
        QCOMPARE(speakerError, QStringLiteral("no speech engine available"));
    }
};

TAVRI_TEST_GUILESS_MAIN(TestTextToSpeechBackend)
#include "tst_texttospeechbackend.moc"
