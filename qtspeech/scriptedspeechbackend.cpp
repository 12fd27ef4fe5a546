#include "scriptedspeechbackend.h"

#include <QMetaObject>
#include <QPointer>

namespace QtSpeech_v1 {

namespace {

struct Script {
    QList<QtSpeech::VoiceName> voices;
    ScriptedSpeechBackend::Failures failures;
    QStringList acceptedDevices;
    QPointer<ScriptedSpeechBackend> latest;
};

Script defaultScript()
{
    Script script;
    script.voices = {{QStringLiteral("scripted/alice"), QStringLiteral("Alice")},
                     {QStringLiteral("scripted/bob"), QStringLiteral("Bob")}};
    return script;
}

Script &script()
{
    static Script instance = defaultScript();
    return instance;
}

bool fails(ScriptedSpeechBackend::Failure failure)
{
    return script().failures.testFlag(failure);
}

} // namespace

QtSpeech::BackendFactory ScriptedSpeechBackend::factory()
{
    QtSpeech::BackendFactory factory;
    factory.voices = [] {
        if (fails(FailVoices))
            throw QtSpeech::Error{QStringLiteral("scripted failure to list voices")};
        return script().voices;
    };
    factory.create = [](const QtSpeech::VoiceName &voice) -> std::unique_ptr<SpeechBackend> {
        if (fails(FailCreate))
            throw QtSpeech::Error{QStringLiteral("scripted failure to create a speaker")};
        auto backend = std::make_unique<ScriptedSpeechBackend>(voice);
        script().latest = backend.get();
        return backend;
    };
    return factory;
}

void ScriptedSpeechBackend::resetScript()
{
    script() = defaultScript();
}

void ScriptedSpeechBackend::setVoices(const QList<QtSpeech::VoiceName> &voices)
{
    script().voices = voices;
}

void ScriptedSpeechBackend::setFailures(Failures failures)
{
    script().failures = failures;
}

void ScriptedSpeechBackend::setAcceptedOutputDevices(const QStringList &names)
{
    script().acceptedDevices = names;
}

ScriptedSpeechBackend *ScriptedSpeechBackend::latest()
{
    return script().latest.data();
}

ScriptedSpeechBackend::ScriptedSpeechBackend(const QtSpeech::VoiceName &voice)
    : m_voice(voice)
{
}

ScriptedSpeechBackend::~ScriptedSpeechBackend() = default;

QtSpeech::VoiceName ScriptedSpeechBackend::voice() const
{
    return m_voice;
}

void ScriptedSpeechBackend::say(const QString &text)
{
    if (fails(FailSay))
        throw QtSpeech::Error{QStringLiteral("scripted failure to speak")};
    m_said.append(text);
    m_current = text;
    m_speaking = true;
}

void ScriptedSpeechBackend::stop()
{
    if (fails(FailStop))
        throw QtSpeech::Error{QStringLiteral("scripted failure to stop")};
    ++m_stopCount;
    if (!m_speaking)
        return;
    m_speaking = false;
    m_current.clear();
    QMetaObject::invokeMethod(this, &SpeechBackend::finished, Qt::QueuedConnection);
}

bool ScriptedSpeechBackend::setOutputDevice(const QString &name)
{
    if (fails(FailOutputDevice))
        throw QtSpeech::Error{QStringLiteral("scripted failure to choose an output")};
    m_outputDevices.append(name);
    return name.isEmpty() || script().acceptedDevices.contains(name);
}

bool ScriptedSpeechBackend::finish()
{
    if (!m_speaking)
        return false;
    m_speaking = false;
    m_current.clear();
    emit finished();
    return true;
}

bool ScriptedSpeechBackend::isSpeaking() const
{
    return m_speaking;
}

QString ScriptedSpeechBackend::current() const
{
    return m_current;
}

QStringList ScriptedSpeechBackend::said() const
{
    return m_said;
}

QStringList ScriptedSpeechBackend::outputDevices() const
{
    return m_outputDevices;
}

int ScriptedSpeechBackend::stopCount() const
{
    return m_stopCount;
}

} // namespace QtSpeech_v1
