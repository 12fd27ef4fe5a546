#pragma once

#include "qtspeech.h"

#include <QObject>

namespace QtSpeech_v1 {

// The engine behind a QtSpeech speaker. Operations may throw QtSpeech::Error.
// finished() is emitted once for each text that say() started, when it has
// been spoken, stopped or abandoned.
class SpeechBackend : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~SpeechBackend() override;

    virtual QtSpeech::VoiceName voice() const = 0;
    virtual void say(const QString &text) = 0;
    virtual void stop() = 0;
    virtual bool setOutputDevice(const QString &name) = 0;

signals:
    void finished();
};

} // namespace QtSpeech_v1
