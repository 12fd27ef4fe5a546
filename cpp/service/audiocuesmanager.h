#pragma once

#include "identityrealminterface.h"
#include "realmuserinterface.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QMediaPlayer>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>

#include <functional>

class Contact;
class Conversation;
class QSpeechManager;

// AudioCuesManager: announces program events with a short sound or a spoken
// text.
//
// One instance, created by the application at start-up (its parent) and
// published to QML as "tones". Each event has a cue state chosen by the user
// (off, speech, sound, or either of the two only while the main window is not
// visible), a sound file (a default, which a skin may replace, or the user's
// own) and a spoken text with placeholders. Several events borrow the
// settings, sound and player of another (their alias): a drop, kick or ban
// is announced as a leave with a text of its own.
//
// It listens to the local user, the identity realms, the notification list
// and the voice service's playback device. init() (after sign-in and after a
// style change) makes it live; deinit() (at sign-out) stops it; before init
// every cue is ignored. For 2000 ms after init no presence or notification
// cue sounds, and for 2000 ms after the local user joins a channel the
// participants already there are not announced.
//
// Sounds play through one QMediaPlayer per event, made by the media player
// factory (tests install one that plays nothing); no cue plays past 3000 ms.
// Speech goes through a QSpeechManager, made by setTTSVoice(). Settings are
// read and written through StorageManager under "tones." + the event's stem.
// GUI thread only.
class AudioCuesManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString defaultText READ getDefaultText CONSTANT)
    Q_PROPERTY(bool textToSpeechAvailable READ getTextToSpeechAvailable NOTIFY textToSpeechAvailableChanged)
    Q_PROPERTY(quint16 volume READ getVolume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(
        bool playOnlyMinimized READ getPlayOnlyMinimized WRITE setPlayOnlyMinimized NOTIFY playOnlyMinimizedChanged)
    Q_PROPERTY(int maximumTTSPlaybackLength READ getMaximumTTSPlaybackLength WRITE setMaximumTTSPlaybackLength NOTIFY
                   maximumTTSPlaybackLengthChanged)
    Q_PROPERTY(QString ttsVoice READ getTTSVoice WRITE setTTSVoice NOTIFY ttsVoiceChanged)

public:
    enum AudioCueEventType {
        AudioCueEventMicMuted = 0,
        AudioCueEventMicUnmuted = 1,
        AudioCueEventUserJoined = 2,
        AudioCueEventUserLeft = 3,
        AudioCueEventMeJoined = 4,
        AudioCueEventMeLeft = 5,
        AudioCueEventNewChatMessage = 6,
        AudioCueEventNewChannelMessage = 7,
        AudioCueEventUserOnline = 8,
        AudioCueEventUserOffline = 9,
        AudioCueEventNewNotification = 10,
        AudioCueEventChannelWelcomeMessage = 11,
        AudioCueEventUserDropped = 12,
        AudioCueEventUserKicked = 13,
        AudioCueEventUserBanned = 14,
        AudioCueEventMeDropped = 15,
        AudioCueEventMeKicked = 16,
        AudioCueEventMeBanned = 17,
        AudioCueEventNoPermissionToJoin = 18,
        AudioCueEventTypeFirst = AudioCueEventMicMuted,
        AudioCueEventTypeLast = AudioCueEventNoPermissionToJoin
    };
    Q_ENUM(AudioCueEventType)

    enum EventCueState {
        EventCueDisabled = 0,
        EventCueTextToSpeech = 1,
        EventCueAudioTone = 2,
        EventCueTextToSpeechMinimizedOnly = 3,
        EventCueAudioToneMinimizedOnly = 4
    };
    Q_ENUM(EventCueState)

    // Makes the media player of one event, with the manager as parent.
    using MediaPlayerFactory = std::function<QMediaPlayer *(QObject *parent)>;

    // A sound that plays longer than this is stopped.
    static constexpr qint64 maxPlaybackDurationMs = 3000;
    // The start-up period after init and the quiet period after a join.
    static constexpr int quietPeriodMs = 2000;

    explicit AudioCuesManager(QObject *parent = nullptr);
    ~AudioCuesManager() override;

    // Replaces the source of media players for every player made later; an
    // empty factory restores plain QMediaPlayer objects.
    static void setMediaPlayerFactory(const MediaPlayerFactory &factory);

    // The event whose settings, stem, sound and player `event` uses.
    static AudioCueEventType aliasEvent(AudioCueEventType event);
    // The settings stem of an event ("micMute" ...); empty for 18 and for
    // values outside the table.
    static QString eventStem(AudioCueEventType event);
    // The URL a sound path stands for: "qrc:/", "http://", "https://" and
    // "file://" paths are URLs; anything else is a local file, absolute (or
    // with a drive letter) as it stands, else under the program's folder. An
    // empty path is the notification sound in the program's sounds folder.
    static QUrl soundFileUrl(const QString &path);
    // The program's folder of cue sounds: "sounds" in the application folder.
    static QString soundsDirPath();

    QString getDefaultText() const;
    bool getTextToSpeechAvailable() const { return m_textToSpeechAvailable; }
    quint16 getVolume() const { return m_volume; }
    void setVolume(quint16 volume);
    bool getPlayOnlyMinimized() const { return m_playOnlyMinimized; }
    void setPlayOnlyMinimized(bool playOnlyMinimized);
    int getMaximumTTSPlaybackLength() const;
    void setMaximumTTSPlaybackLength(int seconds);
    QString getTTSVoice() const;
    bool isInitialized() const { return m_initialized; }
    bool getMainViewVisible() const { return m_mainViewVisible; }
    // The speech queue, null until the first setTTSVoice.
    QSpeechManager *speechManager() const { return m_speech; }
    // True during the quiet period after init (no presence or notification
    // cues) and after the local user joined the conversation (no one is
    // announced joining it).
    bool inStartupPeriod() const { return m_startupTimerId != 0; }
    bool inJoinQuietPeriod(const QString &conversationID) const { return m_pendingKeys.contains(conversationID); }
    // The media player of an event's alias, null while it has none.
    QMediaPlayer *player(AudioCueEventType event) const;

    Q_INVOKABLE QString eventTypeDisplayName(AudioCueEventType event) const;
    Q_INVOKABLE QString eventTypeStandardDisplayName(AudioCueEventType event) const;
    // The distinct aliases of events 0..17 in first-seen order.
    Q_INVOKABLE QVariantList availableEvents() const;
    Q_INVOKABLE QStringList getAvailableTTSVoices() const;
    Q_INVOKABLE void setTTSVoice(const QString &voiceName);
    Q_INVOKABLE AudioCuesManager::EventCueState getCueState(AudioCueEventType event) const;
    Q_INVOKABLE void setCueState(AudioCueEventType event, AudioCuesManager::EventCueState state);
    Q_INVOKABLE QString getPlaybackFile(AudioCueEventType event) const;
    Q_INVOKABLE void setPlaybackFile(AudioCueEventType event, const QString &audioFilePath = QString());
    Q_INVOKABLE bool getIsDefault(AudioCueEventType event) const;
    Q_INVOKABLE void skipCurrentTTS();
    Q_INVOKABLE QMediaPlayer::State getPlaybackState(AudioCueEventType event) const;
    Q_INVOKABLE void stopPlayback(AudioCueEventType event);

    // Makes the manager live: reads the skin's default sounds from `style`
    // (may be null), the user's files and cue states, the volume and the
    // minimised-only switch, and loads every player. Called again after each
    // style change.
    void init(QObject *style = nullptr);
    // Stops the manager and forgets the user's settings until the next init.
    void deinit();
    void setMainViewVisible(bool visible);

signals:
    void textToSpeechAvailableChanged(bool ttsAvailable);
    void volumeChanged(quint16 volume);
    // Declared for QML; nothing emits it.
    void canPlayChanged(bool canPlay);
    void playOnlyMinimizedChanged(bool playOnlyMinimized);
    void maximumTTSPlaybackLengthChanged(int seconds);
    void ttsVoiceChanged(QString voiceDisplayName);
    void audioCueEventStatePlaybackFilepathChanged(AudioCuesManager::AudioCueEventType event, QString audioFilePath);
    void audioCueEventStateIsDefaultChanged(AudioCuesManager::AudioCueEventType event, bool isDefault);
    void audioCueEventStateChanged(AudioCuesManager::AudioCueEventType event, AudioCuesManager::EventCueState state);
    void audioCueEventPlaybackDurationExceeded(AudioCuesManager::AudioCueEventType event, bool exceeded);
    void audioCueEventDurationExceeded(AudioCuesManager::AudioCueEventType event, bool exceeded);
    void audioCueEventMediaStateChanged(AudioCuesManager::AudioCueEventType event, QMediaPlayer::State state);

public slots:
    void speakText(const QString &text, bool immediate = false);
    void stopSpeaking();
    // A participant's cue: waits for the participant's display name when it
    // and the last argument are both empty, then plays with the name last.
    void play(AudioCuesManager::AudioCueEventType event, const QStringList &args,
              Tavri::RealmUserInterface *participantIdentity);
    void play(AudioCuesManager::AudioCueEventType event, const QStringList &args = QStringList(),
              bool checkCanPlay = true);

protected slots:
    // `device` is the voice service's Device: (display name, id).
    void onRenderDeviceChanged(const QPair<QString, QString> &device);
    void killTimers();
    void onLocalUserAudioEnabled(bool unmuted);
    void onConversationParticipantAdded(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                        const QString &participantUUID);
    void onConversationParticipantRemoved(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                          const QString &participantUUID,
                                          Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                          const QString &reasonMsg);
    void onConversationDisconnected(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode,
                                    const QString &reason);
    void onConversationTextMessageReceived(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                           const QString &senderUUID, const QString &receiverUUID,
                                           const QString &messageText, const QDateTime &sentAt);
    void onNotificationReceived(const QString &notificationUID, const QString &fromUserUID, const QString &fromUserName,
                                const QString &channelUID, const QString &channelDisplayName,
                                const QString &notificationTypeStr, const QString &notificationStateStr,
                                const QDateTime &sentAt, const QString &customMessage, const QString &customAction,
                                const QString &userEmail);
    void onContactPresenceStateChanged(Tavri::RealmUserInterface::PresenceState state);
    void onLocalUserContactAdded(Contact *contact);
    void onLocalUserContactRemoved(Contact *contact);
    void onParticipantDisplayNameUpdated(const QString &displayName);
    void onMediaStatusChanged(QMediaPlayer::MediaStatus status);
    void onMediaPositionChanged(qint64 position);
    void onMediaStateChanged(QMediaPlayer::State state);
    void onMediaDurationChanged(qint64 duration);
    void onStyleAudioPropertyChanged();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    struct PendingCue {
        AudioCueEventType event;
        QStringList args;
    };

    void connectServices();
    // The built-in realm's conversation for the id unless it is a private
    // chat; null for those and for an empty id.
    static Conversation *channelConversation(const QString &conversationID);
    // The player of `event`, made and wired when it has none.
    QMediaPlayer *ensurePlayer(AudioCueEventType event);
    // The event whose player sent the current signal; -1 when unknown.
    int senderEvent() const;
    // True when the player can play now; otherwise (no, invalid or unknown
    // media) it reloads the default file and returns false.
    bool checkMediaState(AudioCueEventType event);
    void playSound(AudioCueEventType event, QMediaPlayer *player);
    void logOutputDevices(QMediaPlayer *player) const;
    void speakCue(AudioCueEventType event, const QStringList &args);
    // Whether the speech queue exists and may speak at the current volume.
    bool canSpeak() const;
    void readStyleDefaults(QObject *style);
    void fillDefaultFiles();
    void forgetPendingParticipant(QObject *participant);
    static QString urlForLog(const QUrl &url);

    bool m_initialized = false;
    bool m_textToSpeechAvailable = false;
    quint16 m_volume = 35;
    bool m_mainViewVisible = false;
    bool m_playOnlyMinimized = false;
    QHash<int, EventCueState> m_cueStates;
    QHash<int, QString> m_customFiles;
    QHash<int, QString> m_defaultFiles;
    QHash<int, QMediaPlayer *> m_players;
    QHash<int, QString> m_defaultTexts;
    QMap<QString, int> m_pendingKeys;
    QMap<int, QString> m_keyTimers;
    QMap<QObject *, PendingCue> m_pendingParticipantCues;
    int m_startupTimerId = 0;
    QSpeechManager *m_speech = nullptr;
    QPointer<QObject> m_style;
};
