#include "qspeechmanager.h"

#include <QCoreApplication>
#include <QDebug>

#include <climits>

using QtSpeech_v1::QtSpeech;

const QString QSpeechManager::noDeviceName = QStringLiteral("No Device");

QSpeechManager::QSpeechManager(const QtSpeech::VoiceName &voice, QObject *parent)
    : QObject(parent)
{
    try {
        // A child, so the speaker goes with its queue whatever the order of
        // teardown.
        m_speaker = new QtSpeech(voice, this);
        qDebug() << "Current voice for TTS:" << m_speaker->name().name;
    } catch (const QtSpeech::Error &error) {
        qWarning().noquote() << "Error: QtSpeech construction failed - " + error.msg;
        m_speaker = nullptr;
    }
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &QSpeechManager::onAppAboutToQuit);
    if (m_speaker)
        connect(m_speaker, &QtSpeech::finished, this, &QSpeechManager::onSpeakingFinished);
    connect(&m_maxLengthTimer, &QTimer::timeout, this, &QSpeechManager::onMaxLengthTimeout);
    m_maxLengthTimer.setSingleShot(true);
}

QSpeechManager::~QSpeechManager()
{
    m_maxLengthTimer.disconnect(this);
    m_maxLengthTimer.stop();
    if (m_speaker) {
        m_speaker->disconnect(this);
        delete m_speaker;
        m_speaker = nullptr;
    }
}

QString QSpeechManager::voiceName() const
{
    return m_speaker ? m_speaker->name().name : QString();
}

void QSpeechManager::setMaxLengthSeconds(int seconds)
{
    m_maxLengthSeconds = seconds;
    // The interval in milliseconds must fit an int.
    m_maxLengthTimer.setInterval(qBound(0, seconds, INT_MAX / 1000) * 1000);
    if (seconds <= 0)
        m_maxLengthTimer.stop();
}

void QSpeechManager::say(const QString &text)
{
    if (!m_speaker || m_blocked)
        return;
    qDebug() << "Queueing for speech " << text;
    m_queue.append(text);
    if (m_queue.size() == 1 && !m_speaking)
        speakHead();
}

void QSpeechManager::clearQueue()
{
    // The text in the speaker stays at the head: its finished() takes it
    // away, and a text queued now must not be taken in its place.
    if (m_speaking && m_headInSpeaker && !m_queue.isEmpty())
        m_queue.erase(m_queue.begin() + 1, m_queue.end());
    else
        m_queue.clear();
}

bool QSpeechManager::setOutputDevice(const QString &name)
{
    if (!m_speaker)
        return false;
    m_blocked = (name == noDeviceName);
    if (m_blocked) {
        stop();
        return true;
    }
    try {
        return m_speaker->setOutputDevice(name);
    } catch (const QtSpeech::Error &error) {
        qWarning() << "Unable to send TTS:" << error.msg;
        return false;
    }
}

void QSpeechManager::skip()
{
    if (!m_speaker)
        return;
    try {
        m_speaker->stop();
    } catch (const QtSpeech::Error &error) {
        qWarning() << "Unable to skip current playback:" << error.msg;
    }
}

void QSpeechManager::stop()
{
    if (!m_speaker)
        return;
    m_queue.clear();
    m_headInSpeaker = false;
    m_maxLengthTimer.stop();
    try {
        m_speaker->stop();
    } catch (const QtSpeech::Error &error) {
        qWarning() << "Unable to stop TTS engine:" << error.msg;
    }
}

void QSpeechManager::onSpeakingFinished()
{
    m_maxLengthTimer.stop();
    if (m_headInSpeaker && !m_queue.isEmpty())
        m_queue.removeFirst();
    m_headInSpeaker = false;
    if (m_queue.isEmpty()) {
        m_speaking = false;
        return;
    }
    speakHead();
}

void QSpeechManager::onMaxLengthTimeout()
{
    skip();
}

void QSpeechManager::onAppAboutToQuit()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        disconnect(app, &QCoreApplication::aboutToQuit, this, &QSpeechManager::onAppAboutToQuit);
    stop();
}

void QSpeechManager::speakHead()
{
    while (!m_queue.isEmpty()) {
        const QString text = m_queue.first();
        qDebug() << "Speaking " << text;
        try {
            m_speaker->tell(text);
        } catch (const QtSpeech::Error &error) {
            // The speaker took nothing, so no finished() will come for this
            // text: drop it and go on with the next, so the queue never stalls.
            qWarning() << "Unable to send TTS:" << error.msg;
            m_queue.removeFirst();
            continue;
        }
        m_speaking = true;
        m_headInSpeaker = true;
        // Every utterance is timed, the first of a quiet spell included, so a
        // long text is cut at the limit however it arrived.
        if (m_maxLengthSeconds > 0)
            m_maxLengthTimer.start();
        return;
    }
    m_speaking = false;
    m_headInSpeaker = false;
}
