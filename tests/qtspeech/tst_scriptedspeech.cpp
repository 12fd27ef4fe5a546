#include "qtspeech.h"
#include "scriptedspeechbackend.h"
#include "testenvironment.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

using QtSpeech_v1::QtSpeech;
using QtSpeech_v1::ScriptedSpeechBackend;

Q_DECLARE_METATYPE(ScriptedSpeechBackend::Failure)

class TestScriptedSpeech : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        ScriptedSpeechBackend::resetScript();
        QtSpeech::setBackendFactory(ScriptedSpeechBackend::factory());
    }

    void cleanupTestCase() { QtSpeech::setBackendFactory({}); }

    void listsVoicesAndSpeaksWithTheChosenOne()
    {
        const QList<QtSpeech::VoiceName> voices = QtSpeech::voices();
        QCOMPARE(voices.size(), 2);
        QCOMPARE(voices.at(1).name, QStringLiteral("Bob"));

        QtSpeech bob(voices.at(1));
        QCOMPARE(bob.name().id, voices.at(1).id);
        QCOMPARE(bob.name().name, QStringLiteral("Bob"));

        QVERIFY(QtSpeech::nullVoice().id.isEmpty());
        QVERIFY(QtSpeech::nullVoice().name.isEmpty());
        QtSpeech engineChoice;
        QVERIFY(engineChoice.name().name.isEmpty());
    }

    void reportsLibraryErrors_data()
    {
        QTest::addColumn<ScriptedSpeechBackend::Failure>("failure");
        QTest::newRow("voices") << ScriptedSpeechBackend::FailVoices;
        QTest::newRow("construction") << ScriptedSpeechBackend::FailCreate;
        QTest::newRow("tell") << ScriptedSpeechBackend::FailSay;
        QTest::newRow("stop") << ScriptedSpeechBackend::FailStop;
        QTest::newRow("output device") << ScriptedSpeechBackend::FailOutputDevice;
    }

    void reportsLibraryErrors()
    {
        QFETCH(ScriptedSpeechBackend::Failure, failure);
        std::unique_ptr<QtSpeech> speaker;
        if (failure != ScriptedSpeechBackend::FailCreate)
            speaker = std::make_unique<QtSpeech>();
        const std::function<void()> operation[] = {
            [] { QtSpeech::voices(); },
            [] { QtSpeech speaker; },
            [&] { speaker->tell(QStringLiteral("hello")); },
            [&] { speaker->stop(); },
            [&] { speaker->setOutputDevice(QStringLiteral("Speakers")); },
        };
        const int index = failure == ScriptedSpeechBackend::FailVoices   ? 0
                          : failure == ScriptedSpeechBackend::FailCreate ? 1
                          : failure == ScriptedSpeechBackend::FailSay    ? 2
                          : failure == ScriptedSpeechBackend::FailStop   ? 3
                                                                         : 4;

        ScriptedSpeechBackend::setFailures(failure);
        bool thrown = false;
        try {
            operation[index]();
        } catch (const QtSpeech::Error &error) {
            thrown = !error.msg.isEmpty();
        }
        QVERIFY(thrown);

        // The speaker is still usable once the engine recovers.
        ScriptedSpeechBackend::setFailures(ScriptedSpeechBackend::NoFailure);
        if (!speaker)
            speaker = std::make_unique<QtSpeech>();
        speaker->tell(QStringLiteral("after"));
        QCOMPARE(ScriptedSpeechBackend::latest()->current(), QStringLiteral("after"));
    }

    void finishesEachTextOnce()
    {
        QtSpeech speaker;
        ScriptedSpeechBackend *engine = ScriptedSpeechBackend::latest();
        QSignalSpy finished(&speaker, &QtSpeech::finished);

        speaker.tell(QStringLiteral("first"));
        QVERIFY(engine->isSpeaking());
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 0);
        QVERIFY(engine->finish());
        QCOMPARE(finished.count(), 1);

        // Stopping ends the text being spoken through finished(), later.
        speaker.tell(QStringLiteral("second"));
        speaker.stop();
        QCOMPARE(finished.count(), 1);
        QTRY_COMPARE(finished.count(), 2);
        QVERIFY(!engine->isSpeaking());

        // Stopping an idle speaker reports nothing.
        speaker.stop();
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 2);
        QCOMPARE(engine->said(), (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
        QCOMPARE(engine->stopCount(), 2);
    }

    void finishesEmptyTextWithoutTheEngine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral(" \t ");
    }

    void finishesEmptyTextWithoutTheEngine()
    {
        QFETCH(QString, text);
        QtSpeech speaker;
        QSignalSpy finished(&speaker, &QtSpeech::finished);
        speaker.tell(text);
        QCOMPARE(finished.count(), 0); // never inside tell()
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(ScriptedSpeechBackend::latest()->said().isEmpty());
    }

    void dropsPendingReportWhenDeleted()
    {
        auto speaker = std::make_unique<QtSpeech>();
        QSignalSpy finished(speaker.get(), &QtSpeech::finished);
        speaker->tell(QString());
        speaker->tell(QStringLiteral("text"));
        speaker->stop();
        speaker.reset();
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 0);
        QVERIFY(!ScriptedSpeechBackend::latest());
    }

    void choosesOutputDevice()
    {
        QtSpeech speaker;
        QVERIFY(speaker.setOutputDevice(QString()));
        QVERIFY(!speaker.setOutputDevice(QStringLiteral("Headset")));
        ScriptedSpeechBackend::setAcceptedOutputDevices({QStringLiteral("Headset")});
        QVERIFY(speaker.setOutputDevice(QStringLiteral("Headset")));
        QCOMPARE(ScriptedSpeechBackend::latest()->outputDevices(),
                 (QStringList{QString(), QStringLiteral("Headset"), QStringLiteral("Headset")}));
    }
};

TAVRI_TEST_GUILESS_MAIN(TestScriptedSpeech)
#include "tst_scriptedspeech.moc"
