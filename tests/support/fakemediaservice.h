#pragma once

// A media service for tests: a QMediaPlayer made by
// FakeMediaService::newPlayer() plays through a FakeMediaPlayerControl, which
// records what it is asked and plays nothing, so tests see setMedia, play and
// stop without audio. Install newPlayer() as the media player factory of the
// code under test.
//
// The service reaches QMediaPlayer as a static media-service plug-in that
// offers low-latency playback, which newPlayer() asks for and the system's
// media services do not offer, so the fake is chosen even on a machine with
// real media services installed.

#include <QMediaContent>
#include <QMediaPlayer>
#include <QMediaPlayerControl>
#include <QStringList>
#include <QUrl>

class FakeMediaPlayerControl : public QMediaPlayerControl
{
    Q_OBJECT

public:
    explicit FakeMediaPlayerControl(QObject *parent = nullptr);

    // Every request in order: "setMedia <url>", "play", "pause", "stop",
    // "seek <ms>", "volume <n>".
    QStringList calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    QUrl url() const { return m_media.request().url(); }

    // As a playing engine would report it.
    void advanceTo(qint64 position);
    void reportDuration(qint64 duration);
    void reportStatus(QMediaPlayer::MediaStatus status);

    QMediaPlayer::State state() const override { return m_state; }
    QMediaPlayer::MediaStatus mediaStatus() const override { return m_status; }
    qint64 duration() const override { return m_duration; }
    qint64 position() const override { return m_position; }
    void setPosition(qint64 position) override;
    int volume() const override { return m_volume; }
    void setVolume(int volume) override;
    bool isMuted() const override { return false; }
    void setMuted(bool) override {}
    int bufferStatus() const override { return 100; }
    bool isAudioAvailable() const override { return true; }
    bool isVideoAvailable() const override { return false; }
    bool isSeekable() const override { return true; }
    QMediaTimeRange availablePlaybackRanges() const override;
    qreal playbackRate() const override { return 1.0; }
    void setPlaybackRate(qreal) override {}
    QMediaContent media() const override { return m_media; }
    const QIODevice *mediaStream() const override { return nullptr; }
    // Loads at once: a local file that does not exist is invalid media, any
    // other URL is loaded.
    void setMedia(const QMediaContent &media, QIODevice *stream) override;
    void play() override;
    void pause() override;
    void stop() override;

private:
    void setState(QMediaPlayer::State state);

    QStringList m_calls;
    QMediaContent m_media;
    QMediaPlayer::State m_state = QMediaPlayer::StoppedState;
    QMediaPlayer::MediaStatus m_status = QMediaPlayer::NoMedia;
    qint64 m_duration = 0;
    qint64 m_position = 0;
    int m_volume = 100;
};

namespace FakeMediaService {

// A player over the fake, with `parent`.
QMediaPlayer *newPlayer(QObject *parent);
// The control behind a player made by newPlayer(); null for any other.
FakeMediaPlayerControl *control(QMediaPlayer *player);

} // namespace FakeMediaService
