#pragma once

// Recording stand-ins for what the cue and text-to-speech settings page
// reads: tones, mainApp, storageManager and filePicker. Every call of a
// recorded operation is kept as its name and arguments joined with "|".

#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include "calllog.h"

namespace cuesettingstest {

using tavritest::CallLog;

// Eleven events, as the cue manager lists them: 0 to 10.
class FakeTones : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString defaultText READ defaultText CONSTANT)
    Q_PROPERTY(bool textToSpeechAvailable MEMBER m_ttsAvailable NOTIFY textToSpeechAvailableChanged)
    Q_PROPERTY(quint16 volume READ volume WRITE setVolume NOTIFY volumeChanged)

public:
    CallLog log;
    QMap<int, int> states;
    QMap<int, QString> files;
    QMap<int, int> playbackStates;
    bool m_ttsAvailable = true;
    quint16 m_volume = 35;

    FakeTones()
    {
        for (int event = 0; event < 11; ++event)
            states.insert(event, 2);
    }

    QString defaultText() const { return QStringLiteral("(default)"); }
    quint16 volume() const { return m_volume; }
    void setVolume(quint16 volume)
    {
        log.add({QStringLiteral("setVolume"), QString::number(volume)});
        m_volume = volume;
        emit volumeChanged(volume);
    }
    void setTextToSpeechAvailable(bool available)
    {
        m_ttsAvailable = available;
        emit textToSpeechAvailableChanged(available);
    }
    // A state change made elsewhere (another window, the manager itself).
    void changeState(int event, int state)
    {
        states[event] = state;
        emit audioCueEventStateChanged(event, state);
    }
    void changeMediaState(int event, int state)
    {
        playbackStates[event] = state;
        emit audioCueEventMediaStateChanged(event, state);
    }

    Q_INVOKABLE QVariantList availableEvents() const
    {
        QVariantList events;
        for (int event = 0; event < 11; ++event)
            events.append(event);
        return events;
    }
    Q_INVOKABLE QString eventTypeDisplayName(int event) const { return QStringLiteral("Event %1").arg(event); }
    Q_INVOKABLE QString eventTypeStandardDisplayName(int event) const { return QStringLiteral("Std%1").arg(event); }
    Q_INVOKABLE int getCueState(int event) const { return states.value(event, 2); }
    Q_INVOKABLE void setCueState(int event, int state)
    {
        log.add({QStringLiteral("setCueState"), QString::number(event), QString::number(state)});
        changeState(event, state);
    }
    Q_INVOKABLE QString getPlaybackFile(int event) const
    {
        return files.value(event, QStringLiteral("qrc:/sounds/event%1.wav").arg(event));
    }
    Q_INVOKABLE bool getIsDefault(int event) const { return !files.contains(event); }
    Q_INVOKABLE void setPlaybackFile(int event, const QString &path)
    {
        log.add({QStringLiteral("setPlaybackFile"), QString::number(event), path});
        if (path.isEmpty())
            files.remove(event);
        else
            files.insert(event, path);
        emit audioCueEventStatePlaybackFilepathChanged(event, getPlaybackFile(event));
        emit audioCueEventStateIsDefaultChanged(event, getIsDefault(event));
    }
    Q_INVOKABLE int getPlaybackState(int event) const { return playbackStates.value(event, 0); }
    Q_INVOKABLE void play(int event, const QStringList &args, bool checkCanPlay)
    {
        log.add(QStringList{QStringLiteral("play"), QString::number(event)} + args
                + QStringList{checkCanPlay ? QStringLiteral("true") : QStringLiteral("false")});
    }
    Q_INVOKABLE void stopPlayback(int event) { log.add({QStringLiteral("stopPlayback"), QString::number(event)}); }
    Q_INVOKABLE void speakText(const QString &text, bool immediate)
    {
        log.add({QStringLiteral("speakText"), text, immediate ? QStringLiteral("true") : QStringLiteral("false")});
    }

signals:
    void textToSpeechAvailableChanged(bool available);
    void volumeChanged(quint16 volume);
    void audioCueEventStateChanged(int event, int state);
    void audioCueEventMediaStateChanged(int event, int state);
    void audioCueEventStatePlaybackFilepathChanged(int event, const QString &path);
    void audioCueEventStateIsDefaultChanged(int event, bool isDefault);
};

class FakeMainApp : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString languageUpdatedString MEMBER m_languageUpdatedString CONSTANT)
    Q_PROPERTY(QString soundsDirPath MEMBER m_soundsDirPath CONSTANT)
    Q_PROPERTY(QStringList ttsVoices MEMBER m_ttsVoices CONSTANT)
    Q_PROPERTY(QString currentTTSVoice MEMBER m_currentTTSVoice NOTIFY currentTTSVoiceChanged)

public:
    CallLog log;
    QString m_languageUpdatedString;
    QString m_soundsDirPath = QStringLiteral("/opt/tavri/sounds");
    QStringList m_ttsVoices{QStringLiteral("Alan"), QStringLiteral("Kal"), QStringLiteral("Slt")};
    QString m_currentTTSVoice = QStringLiteral("Kal");

    void announceVoice(const QString &voice)
    {
        m_currentTTSVoice = voice;
        emit currentTTSVoiceChanged(voice);
    }

    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QStringList &params)
    {
        log.add(QStringList{QStringLiteral("trackEvent"), category, label} + params);
    }
    Q_INVOKABLE void setTTSVoice(const QString &voice) { log.add({QStringLiteral("setTTSVoice"), voice}); }

signals:
    void currentTTSVoiceChanged(QString voiceName);
};

class FakeStorageManager : public QObject
{
    Q_OBJECT

public:
    CallLog log;
    QMap<int, QVariant> values;

    void announceInitialized() { emit settingsInitialized(); }

    Q_INVOKABLE QVariant getSettingsValue(int key, const QVariant &fallback) const
    {
        return values.value(key, fallback);
    }
    Q_INVOKABLE void setSettingsValue(int key, const QVariant &value)
    {
        log.add({QStringLiteral("setSettingsValue"), QString::number(key), value.toString()});
        values.insert(key, value);
    }

signals:
    void settingsInitialized();
};

// Answers each question with the next prepared result.
class FakeFilePicker : public QObject
{
    Q_OBJECT

public:
    CallLog log;
    QString result;

    Q_INVOKABLE QString getFileUrl(const QString &heading, const QString &folder, const QString &filter, bool save)
    {
        log.add({QStringLiteral("getFileUrl"), heading, folder, filter,
                 save ? QStringLiteral("true") : QStringLiteral("false")});
        return result;
    }
};

} // namespace cuesettingstest
