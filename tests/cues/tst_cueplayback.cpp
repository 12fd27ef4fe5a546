// A cue played through Qt Multimedia's real media player and the program's own
// sound file: the player must exist on the machine (its GStreamer service) and
// take the cue from playing to the end of the sound.

#include "audiocuesmanager.h"
#include "storagemanager.h"
#include "testenvironment.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

class TestCuePlayback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Without a sound card the player writes to GStreamer's null sink, so
        // the cue still goes through decoding and every player state.
        QFile cards(QStringLiteral("/proc/asound/cards"));
        const bool hasCard = cards.open(QIODevice::ReadOnly) && !cards.readAll().contains("no soundcards");
        if (!hasCard && qEnvironmentVariableIsEmpty("QT_GSTREAMER_PLAYBIN_AUDIOSINK")) {
            qputenv("QT_GSTREAMER_PLAYBIN_AUDIOSINK", "fakesink");
            qInfo("no sound card: cues play on the null sink");
        }
    }

    void cuePlaysToTheEnd()
    {
        const auto event = AudioCuesManager::AudioCueEventMicMuted;
        AudioCuesManager cues;
        cues.init();
        cues.setCueState(event, AudioCuesManager::EventCueAudioTone);
        cues.setPlaybackFile(event, QStringLiteral(TAVRI_SOUNDS_DIR "/sfx_notification_alert.wav"));
        QMediaPlayer *player = cues.player(event);
        QVERIFY(player);
        if (player->availability() == QMultimedia::ServiceMissing)
            QFAIL("Qt Multimedia has no media player service: scripts/install-deps installs it");

        QSignalSpy states(&cues, &AudioCuesManager::audioCueEventMediaStateChanged);
        QSignalSpy statuses(player, &QMediaPlayer::mediaStatusChanged);
        cues.play(event, QStringList(), nullptr);
        QVERIFY(QTest::qWaitFor(
            [&] {
                return player->mediaStatus() == QMediaPlayer::EndOfMedia || player->error() != QMediaPlayer::NoError;
            },
            60000));
        if (player->error() == QMediaPlayer::ResourceError
            && player->errorString().contains("audio", Qt::CaseInsensitive))
            QSKIP(qPrintable(QStringLiteral("the host has no audio service: ") + player->errorString()));
        QCOMPARE(player->error(), QMediaPlayer::NoError);
        QVERIFY(QTest::qWaitFor([&] { return player->state() == QMediaPlayer::StoppedState; }, 60000));

        QVERIFY(states.size() >= 2);
        QCOMPARE(states.first().at(0).value<AudioCuesManager::AudioCueEventType>(), event);
        QCOMPARE(states.first().at(1).value<QMediaPlayer::State>(), QMediaPlayer::PlayingState);
        QCOMPARE(states.last().at(1).value<QMediaPlayer::State>(), QMediaPlayer::StoppedState);
        QCOMPARE(cues.getPlaybackState(event), QMediaPlayer::StoppedState);
        QVERIFY(player->duration() > 0);
    }
};

TAVRI_TEST_MAIN(TestCuePlayback)
#include "tst_cueplayback.moc"
