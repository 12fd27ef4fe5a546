#include "texttospeechbackend.h"

#include <QDebug>
#include <QLocale>
#include <QMetaObject>
#include <QSet>
#include <QVoice>

namespace QtSpeech_v1 {

namespace {

// Whether the engine offers any voice, in any of its languages; the engine's
// language is left as it was.
bool hasVoice(QTextToSpeech &engine)
{
    const QLocale original = engine.locale();
    bool found = false;
    for (const QLocale &locale : engine.availableLocales()) {
        engine.setLocale(locale);
        if (!engine.availableVoices().isEmpty()) {
            found = true;
            break;
        }
    }
    engine.setLocale(original);
    return found;
}

// The first engine of `engines` that starts and has a voice. Without a
// speech-dispatcher daemon the "speechd" engine exists but reports
// BackendError at once, or starts with no voice at all; either way the next
// engine (Flite) speaks instead.
std::unique_ptr<QTextToSpeech> openEngine(const QStringList &engines)
{
    const QStringList available = QTextToSpeech::availableEngines();
    for (const QString &name : engines) {
        if (!available.contains(name))
            continue;
        auto engine = std::make_unique<QTextToSpeech>(name);
        if (engine->state() == QTextToSpeech::BackendError)
            qWarning() << "TextToSpeechBackend: speech engine" << name << "does not work";
        else if (!hasVoice(*engine))
            qWarning() << "TextToSpeechBackend: speech engine" << name << "has no voice";
        else
            return engine;
    }
    throw QtSpeech::Error{QStringLiteral("no speech engine available")};
}

QString voiceId(const QLocale &locale, const QVoice &voice)
{
    return locale.bcp47Name() + QLatin1Char('/') + voice.name();
}

QList<QtSpeech::VoiceName> listVoices(QTextToSpeech &engine)
{
    QList<QtSpeech::VoiceName> voices;
    QSet<QString> names;
    for (const QLocale &locale : engine.availableLocales()) {
        engine.setLocale(locale);
        for (const QVoice &voice : engine.availableVoices()) {
            if (!names.contains(voice.name())) {
                names.insert(voice.name());
                voices.append({voiceId(locale, voice), voice.name()});
            }
        }
    }
    return voices;
}

// Selects the voice named by `wanted` (its id, else its name) and returns
// whether the engine has it.
bool selectVoice(QTextToSpeech &engine, const QtSpeech::VoiceName &wanted)
{
    const QLocale original = engine.locale();
    for (const QLocale &locale : engine.availableLocales()) {
        engine.setLocale(locale);
        for (const QVoice &voice : engine.availableVoices()) {
            const bool match = wanted.id.isEmpty() ? voice.name() == wanted.name : voiceId(locale, voice) == wanted.id;
            if (match) {
                engine.setVoice(voice);
                return true;
            }
        }
    }
    engine.setLocale(original);
    return false;
}

} // namespace

QStringList TextToSpeechBackend::defaultEngines()
{
    return {QStringLiteral("speechd"), QStringLiteral("flite")};
}

QtSpeech::BackendFactory TextToSpeechBackend::factory(const QStringList &engines)
{
    QtSpeech::BackendFactory factory;
    factory.voices = [engines] {
        const std::unique_ptr<QTextToSpeech> engine = openEngine(engines);
        return listVoices(*engine);
    };
    factory.create = [engines](const QtSpeech::VoiceName &voice) -> std::unique_ptr<SpeechBackend> {
        return std::make_unique<TextToSpeechBackend>(openEngine(engines), voice);
    };
    return factory;
}

TextToSpeechBackend::TextToSpeechBackend(std::unique_ptr<QTextToSpeech> engine, const QtSpeech::VoiceName &voice)
    : m_engine(std::move(engine))
    , m_voice(voice)
{
    const bool isNull = voice.id.isEmpty() && voice.name.isEmpty();
    if (!isNull && !selectVoice(*m_engine, voice)) {
        qWarning() << "TextToSpeechBackend: voice" << voice.name << voice.id
                   << "not found; the engine's default voice speaks";
        m_voice = QtSpeech::VoiceName{};
    }
    if (m_voice.id.isEmpty() && m_voice.name.isEmpty()) {
        const QString name = m_engine->voice().name();
        if (!name.isEmpty())
            m_voice = QtSpeech::VoiceName{voiceId(m_engine->locale(), m_engine->voice()), name};
    }
    connect(m_engine.get(), &QTextToSpeech::stateChanged, this, &TextToSpeechBackend::onEngineStateChanged);
}

TextToSpeechBackend::~TextToSpeechBackend()
{
    disconnect(m_engine.get(), nullptr, this, nullptr);
}

QtSpeech::VoiceName TextToSpeechBackend::voice() const
{
    return m_voice;
}

void TextToSpeechBackend::say(const QString &text)
{
    if (m_engine->state() == QTextToSpeech::BackendError) {
        // A failed engine (its daemon gone, say) reports no further states;
        // report the text done, later, so that nobody waits for it.
        qWarning() << "TextToSpeechBackend: the speech engine has failed; not speaking" << text;
        QMetaObject::invokeMethod(this, &SpeechBackend::finished, Qt::QueuedConnection);
        return;
    }
    m_pending = true;
    m_engine->say(text);
}

void TextToSpeechBackend::stop()
{
    m_engine->stop();
}

bool TextToSpeechBackend::setOutputDevice(const QString &name)
{
    return name.isEmpty();
}

void TextToSpeechBackend::onEngineStateChanged(QTextToSpeech::State state)
{
    if (!m_pending)
        return;
    if (state == QTextToSpeech::BackendError) {
        // Report the text as done all the same, so that nobody waits for it.
        qWarning() << "TextToSpeechBackend: the speech engine failed while speaking";
    } else if (state != QTextToSpeech::Ready) {
        return;
    }
    m_pending = false;
    emit finished();
}

} // namespace QtSpeech_v1
