#pragma once

#include "speechbackend.h"

#include <QStringList>
#include <QTextToSpeech>

namespace QtSpeech_v1 {

// Speaks through Qt's text-to-speech engines. The engine is the first of the
// given names that starts (by default "speechd", the user's speech-dispatcher
// voices, then "flite", built in); it is always named, since the order in
// which Qt lists engines varies. Qt cannot choose an audio output, so speech
// stays on the default one.
class TextToSpeechBackend : public SpeechBackend
{
    Q_OBJECT

public:
    static QStringList defaultEngines();
    // A factory over the first working engine of `engines`; both of its
    // members throw QtSpeech::Error when none works.
    static QtSpeech::BackendFactory factory(const QStringList &engines = defaultEngines());

    // Takes over a working engine and selects `voice` on it (the engine's
    // default voice for the null voice or one it does not know).
    TextToSpeechBackend(std::unique_ptr<QTextToSpeech> engine, const QtSpeech::VoiceName &voice);
    ~TextToSpeechBackend() override;

    QtSpeech::VoiceName voice() const override;
    void say(const QString &text) override;
    void stop() override;
    // True only for the empty name, the default output.
    bool setOutputDevice(const QString &name) override;

private slots:
    void onEngineStateChanged(QTextToSpeech::State state);

private:
    std::unique_ptr<QTextToSpeech> m_engine;
    QtSpeech::VoiceName m_voice;
    // A text was handed over and its end not yet reported.
    bool m_pending = false;
};

} // namespace QtSpeech_v1
