// The plug-in is compiled into the tests' support library and imported here,
// so it must be built as a static plug-in.
#define QT_STATICPLUGIN

#include "fakemediaservice.h"

#include <QFileInfo>
#include <QMediaService>
#include <QMediaServiceProviderPlugin>
#include <QMediaTimeRange>
#include <QtPlugin>

FakeMediaPlayerControl::FakeMediaPlayerControl(QObject *parent)
    : QMediaPlayerControl(parent)
{
}

void FakeMediaPlayerControl::advanceTo(qint64 position)
{
    m_position = position;
    emit positionChanged(position);
}

void FakeMediaPlayerControl::reportDuration(qint64 duration)
{
    m_duration = duration;
    emit durationChanged(duration);
}

void FakeMediaPlayerControl::reportStatus(QMediaPlayer::MediaStatus status)
{
    m_status = status;
    emit mediaStatusChanged(status);
}

void FakeMediaPlayerControl::setPosition(qint64 position)
{
    m_calls.append(QStringLiteral("seek %1").arg(position));
    advanceTo(position);
}

void FakeMediaPlayerControl::setVolume(int volume)
{
    m_calls.append(QStringLiteral("volume %1").arg(volume));
    m_volume = volume;
    emit volumeChanged(volume);
}

QMediaTimeRange FakeMediaPlayerControl::availablePlaybackRanges() const
{
    return QMediaTimeRange(0, m_duration);
}

void FakeMediaPlayerControl::setMedia(const QMediaContent &media, QIODevice *)
{
    const QUrl url = media.request().url();
    m_calls.append(QStringLiteral("setMedia ") + url.toString());
    setState(QMediaPlayer::StoppedState);
    m_media = media;
    m_position = 0;
    emit mediaChanged(media);
    if (media.isNull())
        reportStatus(QMediaPlayer::NoMedia);
    else if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        reportStatus(QMediaPlayer::InvalidMedia);
    else
        reportStatus(QMediaPlayer::LoadedMedia);
}

void FakeMediaPlayerControl::play()
{
    m_calls.append(QStringLiteral("play"));
    if (m_status == QMediaPlayer::LoadedMedia || m_status == QMediaPlayer::EndOfMedia)
        reportStatus(QMediaPlayer::BufferedMedia);
    setState(QMediaPlayer::PlayingState);
}

void FakeMediaPlayerControl::pause()
{
    m_calls.append(QStringLiteral("pause"));
    setState(QMediaPlayer::PausedState);
}

void FakeMediaPlayerControl::stop()
{
    m_calls.append(QStringLiteral("stop"));
    setState(QMediaPlayer::StoppedState);
}

void FakeMediaPlayerControl::setState(QMediaPlayer::State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

namespace {

class FakeService : public QMediaService
{
    Q_OBJECT

public:
    explicit FakeService(QObject *parent = nullptr)
        : QMediaService(parent)
        , m_control(new FakeMediaPlayerControl(this))
    {
    }

    QMediaControl *requestControl(const char *name) override
    {
        return qstrcmp(name, QMediaPlayerControl_iid) == 0 ? m_control : nullptr;
    }
    void releaseControl(QMediaControl *) override {}

private:
    FakeMediaPlayerControl *m_control;
};

} // namespace

class FakeMediaServicePlugin : public QMediaServiceProviderPlugin, public QMediaServiceFeaturesInterface
{
    Q_OBJECT
    Q_INTERFACES(QMediaServiceFeaturesInterface)
    Q_PLUGIN_METADATA(IID "org.qt-project.qt.mediaserviceproviderfactory/5.0" FILE "fakemediaservice.json")

public:
    QMediaServiceProviderHint::Features supportedFeatures(const QByteArray &) const override
    {
        return QMediaServiceProviderHint::LowLatencyPlayback | QMediaServiceProviderHint::StreamPlayback;
    }
    QMediaService *create(const QString &key) override
    {
        return key == QLatin1String(Q_MEDIASERVICE_MEDIAPLAYER) ? new FakeService : nullptr;
    }
    void release(QMediaService *service) override { delete service; }
};

Q_IMPORT_PLUGIN(FakeMediaServicePlugin)

namespace FakeMediaService {

QMediaPlayer *newPlayer(QObject *parent)
{
    return new QMediaPlayer(parent, QMediaPlayer::LowLatency);
}

FakeMediaPlayerControl *control(QMediaPlayer *player)
{
    if (!player || !player->service())
        return nullptr;
    return qobject_cast<FakeMediaPlayerControl *>(player->service()->requestControl(QMediaPlayerControl_iid));
}

} // namespace FakeMediaService

#include "fakemediaservice.moc"
