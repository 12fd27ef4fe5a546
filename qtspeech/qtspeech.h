#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace QtSpeech_v1 {

class SpeechBackend;

// A speaker for one voice: speaks texts through the system's text-to-speech
// engine (speech-dispatcher, else Flite) and says when each one has ended.
//
// Lives on the GUI thread. Library errors are thrown as QtSpeech::Error:
// voices() and the constructor throw when no engine works, and the speaking
// operations pass on whatever their engine reports.
//
// Speak one text at a time: tell() starts a text and finished() follows once
// it has been spoken, stopped or abandoned by the engine (so a queue built on
// top never stalls). A tell() while a text is still being spoken replaces it.
class QtSpeech : public QObject
{
    Q_OBJECT

public:
    struct Error {
        QString msg;
    };

    // `id` tells the engine which voice is meant; `name` is what users see.
    struct VoiceName {
        QString id;
        QString name;
    };

    // Where speakers come from. The default uses Qt's text-to-speech engines;
    // tests install a scripted one.
    struct BackendFactory {
        std::function<QList<VoiceName>()> voices;
        std::function<std::unique_ptr<SpeechBackend>(const VoiceName &)> create;
    };

    // Every voice of the engine, each name once.
    static QList<VoiceName> voices();
    // Leaves the choice of voice to the engine; its name is empty.
    static VoiceName nullVoice();
    // Replaces the source of speakers for every later voices() and
    // constructor call; a factory with an empty member restores the default.
    static void setBackendFactory(const BackendFactory &factory);

    explicit QtSpeech(VoiceName voice = nullVoice(), QObject *parent = nullptr);
    ~QtSpeech() override;

    // The voice that speaks: the one asked for, or the engine's own choice
    // for the null voice when the engine names it.
    VoiceName name() const;
    // Starts speaking `text` and returns at once. An empty text is not
    // handed to the engine; finished() follows from the event loop.
    void tell(const QString &text);
    // Ends the text being spoken; finished() follows.
    void stop();
    // Picks the audio output by name; true when the engine plays there.
    bool setOutputDevice(const QString &name);

signals:
    void finished();

private:
    std::unique_ptr<SpeechBackend> m_backend;
};

} // namespace QtSpeech_v1
