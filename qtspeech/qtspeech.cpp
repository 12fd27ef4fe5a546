#include "qtspeech.h"

#include "speechbackend.h"
#include "texttospeechbackend.h"

#include <QMetaObject>

namespace QtSpeech_v1 {

namespace {

QtSpeech::BackendFactory &installedFactory()
{
    static QtSpeech::BackendFactory factory = TextToSpeechBackend::factory();
    return factory;
}

} // namespace

QList<QtSpeech::VoiceName> QtSpeech::voices()
{
    return installedFactory().voices();
}

QtSpeech::VoiceName QtSpeech::nullVoice()
{
    return VoiceName{QString(), QString()};
}

void QtSpeech::setBackendFactory(const BackendFactory &factory)
{
    if (factory.voices && factory.create)
        installedFactory() = factory;
    else
        installedFactory() = TextToSpeechBackend::factory();
}

QtSpeech::QtSpeech(VoiceName voice, QObject *parent)
    : QObject(parent)
    , m_backend(installedFactory().create(voice))
{
    if (!m_backend)
        throw Error{QStringLiteral("no speech engine available")};
    connect(m_backend.get(), &SpeechBackend::finished, this, &QtSpeech::finished);
}

QtSpeech::~QtSpeech() = default;

QtSpeech::VoiceName QtSpeech::name() const
{
    return m_backend->voice();
}

void QtSpeech::tell(const QString &text)
{
    if (text.trimmed().isEmpty()) {
        // Nothing to say; engines differ in whether they report anything for
        // it, so answer here, after the caller has returned.
        QMetaObject::invokeMethod(this, &QtSpeech::finished, Qt::QueuedConnection);
        return;
    }
    m_backend->say(text);
}

void QtSpeech::stop()
{
    m_backend->stop();
}

bool QtSpeech::setOutputDevice(const QString &name)
{
    return m_backend->setOutputDevice(name);
}

} // namespace QtSpeech_v1
