#pragma once

#include "qtspeech.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

// QSpeechManager: a queue of texts spoken one after another by one voice.
//
// Owned by the audio cues manager, which makes a new one whenever the user
// picks another voice. A text that arrives while another is being spoken is
// not interrupted: it waits in the queue and starts when the speaker reports
// the one before it finished. Exactly one text is in the speaker at a time.
//
// When the speaker cannot be created (no speech engine, or the engine
// refuses the voice) the manager has no speaker and ignores every request.
// Errors of the speech library are caught and logged; the queue survives
// them. GUI thread only.
class QSpeechManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isReady READ isReady CONSTANT)

public:
    // The output device name that means "no output": speech stops and new
    // texts are dropped until another device is chosen.
    static const QString noDeviceName;

    explicit QSpeechManager(const QtSpeech_v1::QtSpeech::VoiceName &voice, QObject *parent = nullptr);
    ~QSpeechManager() override;

    // True when the manager has a speaker.
    bool isReady() const { return m_speaker != nullptr; }
    // The name of the voice that speaks; empty without a speaker.
    QString voiceName() const;

    // The longest time, in seconds, one utterance may take before it is cut
    // off; 0 or less means no limit.
    int maxLengthSeconds() const { return m_maxLengthSeconds; }
    void setMaxLengthSeconds(int seconds);

    // Texts not yet finished; the first is the one being spoken while
    // isSpeaking() is true.
    QStringList queue() const { return m_queue; }
    bool isSpeaking() const { return m_speaking; }
    // True while the utterance in the speaker is timed against the limit.
    bool isTiming() const { return m_maxLengthTimer.isActive(); }
    // True while the output device is "No Device".
    bool isBlocked() const { return m_blocked; }

    // Queues a text; it is spoken at once when nothing else is.
    void say(const QString &text);
    // Forgets every waiting text; the one being spoken goes on to its end.
    void clearQueue();
    // Chooses where speech plays. "No Device" stops speech, empties the queue
    // and blocks new texts (true); any other name unblocks and returns the
    // speaker's answer. False without a speaker or on a library error.
    bool setOutputDevice(const QString &name);
    // Ends the text being spoken; the next one follows.
    void skip();
    // Empties the queue and ends the text being spoken.
    void stop();

public slots:
    void onSpeakingFinished();
    void onMaxLengthTimeout();
    void onAppAboutToQuit();

private:
    // Hands the first entry of the queue to the speaker and times it.
    void speakHead();

    QStringList m_queue;
    QtSpeech_v1::QtSpeech *m_speaker = nullptr;
    bool m_blocked = false;
    // The speaker is busy with a text (until it reports finished).
    bool m_speaking = false;
    // The first entry of the queue is the text in the speaker. False after
    // the queue was emptied under a running utterance, so the finished()
    // that ends it does not take away a text queued in the meantime.
    bool m_headInSpeaker = false;
    int m_maxLengthSeconds = 0;
    QTimer m_maxLengthTimer;
};
