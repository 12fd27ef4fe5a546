#pragma once

#include "speechbackend.h"

#include <QFlags>
#include <QStringList>

namespace QtSpeech_v1 {

// A speech engine for tests: it records what it is asked to say and to which
// output, speaks until the test calls finish(), and fails on request.
//
// The script (voices, failures, accepted output devices) is shared by every
// backend that factory() makes, so a test can prepare it before the code under
// test creates its speaker, and reach that speaker through latest().
class ScriptedSpeechBackend : public SpeechBackend
{
    Q_OBJECT

public:
    enum Failure {
        NoFailure = 0,
        FailVoices = 0x01,       // voices() throws
        FailCreate = 0x02,       // making a speaker throws
        FailSay = 0x04,          // say() throws
        FailStop = 0x08,         // stop() throws
        FailOutputDevice = 0x10, // setOutputDevice() throws
    };
    Q_DECLARE_FLAGS(Failures, Failure)

    static QtSpeech::BackendFactory factory();
    // Back to two voices, no failures and only the default output.
    static void resetScript();
    static void setVoices(const QList<QtSpeech::VoiceName> &voices);
    static void setFailures(Failures failures);
    // Output device names that setOutputDevice() accepts; "" (the default
    // output) is always accepted.
    static void setAcceptedOutputDevices(const QStringList &names);
    // The backend made last, while it exists.
    static ScriptedSpeechBackend *latest();

    explicit ScriptedSpeechBackend(const QtSpeech::VoiceName &voice);
    ~ScriptedSpeechBackend() override;

    QtSpeech::VoiceName voice() const override;
    void say(const QString &text) override;
    // Ends the text being spoken; finished() follows from the event loop, as
    // with a real engine.
    void stop() override;
    bool setOutputDevice(const QString &name) override;

    // Ends the text being spoken, at once; false when nothing was spoken.
    bool finish();
    bool isSpeaking() const;
    // The text being spoken, empty when idle.
    QString current() const;
    // Every text handed to say(), in order.
    QStringList said() const;
    // Every output device asked for, in order.
    QStringList outputDevices() const;
    int stopCount() const;

private:
    QtSpeech::VoiceName m_voice;
    QString m_current;
    bool m_speaking = false;
    QStringList m_said;
    QStringList m_outputDevices;
    int m_stopCount = 0;
};

} // namespace QtSpeech_v1

Q_DECLARE_OPERATORS_FOR_FLAGS(QtSpeech_v1::ScriptedSpeechBackend::Failures)
