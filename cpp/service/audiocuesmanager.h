#pragma once

#include <QObject>
#include <QString>

// AudioCuesManager: sounds and spoken texts for program events.
//
// For now it only exists and carries its signal: start-up creates it and
// wires ttsVoiceChanged, and shutdown deletes it. Mapping events to cues,
// the cue settings and the text-to-speech queue are still to come; until
// then it plays and speaks nothing.
class AudioCuesManager : public QObject
{
    Q_OBJECT

public:
    explicit AudioCuesManager(QObject *parent = nullptr);
    ~AudioCuesManager() override;

signals:
    void ttsVoiceChanged(QString voiceName);
};
