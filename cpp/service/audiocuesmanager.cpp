#include "audiocuesmanager.h"

#include "contact.h"
#include "contactlist.h"
#include "conversation.h"
#include "devicemodel.h"
#include "identityrealmmanager.h"
#include "linkify.h"
#include "localuser.h"
#include "notification.h"
#include "notificationlist.h"
#include "qspeechmanager.h"
#include "qtspeech.h"
#include "renderdevicemodel.h"
#include "reportassertionfailure.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "voicemanager.h"

#include <QAudioOutputSelectorControl>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMediaService>
#include <QMetaProperty>
#include <QRegularExpression>
#include <QTimerEvent>

#include <algorithm>

using QtSpeech_v1::QtSpeech;

namespace {

// One row of the event table. Events past 10 borrow everything but their
// spoken text and display name from their alias.
struct EventInfo {
    AudioCuesManager::AudioCueEventType alias;
    const char *stem;
    const char *defaultFile;
    const char *defaultText;
    bool translateText;
};

using Ev = AudioCuesManager;

// Texts are marked for translation here and translated where they are used.
const EventInfo kEvents[] = {
    {Ev::AudioCueEventMicMuted, "micMute", "sounds/sfx_user_mutes_mic.wav", nullptr, true},
    {Ev::AudioCueEventMicUnmuted, "micUnmute", "sounds/sfx_user_unmutes_mic.wav", nullptr, true},
    {Ev::AudioCueEventUserJoined, "userJoined", "sounds/sfx_another_user_enters_my_voice_conference.wav",
     QT_TRANSLATE_NOOP("AudioCuesManager", "%2 has joined %1"), true},
    {Ev::AudioCueEventUserLeft, "userLeft", "sounds/sfx_another_user_exits_my_voice_conference.wav",
     QT_TRANSLATE_NOOP("AudioCuesManager", "%2 has left %1"), true},
    {Ev::AudioCueEventMeJoined, "meJoined", "sounds/sfx_user_enters_voice_conference.wav",
     QT_TRANSLATE_NOOP("AudioCuesManager", "You have joined %1"), true},
    {Ev::AudioCueEventMeLeft, "meLeft", "sounds/sfx_user_exits_voice_conference.wav",
     QT_TRANSLATE_NOOP("AudioCuesManager", "You have left %1"), true},
    {Ev::AudioCueEventNewChatMessage, "newMessageChat", "sounds/sfx_private_text_chat_message_available.wav",
     QT_TRANSLATE_NOOP("AudioCuesManager", "%2 said %1"), true},
    {Ev::AudioCueEventNewChannelMessage, "newMessageChannel", "sounds/sfx_text_chat_message_available.wav",
     QT_TRANSLATE_NOOP("AudioCuesManager", "%3 said %1 in %2"), true},
    {Ev::AudioCueEventUserOnline, "userOnline", "sounds/sfx_friend_online.wav",
     QT_TRANSLATE_NOOP("AudioCuesManager", "%1 is online"), true},
    {Ev::AudioCueEventUserOffline, "userOffline", "sounds/sfx_friend_offline.wav",
     QT_TRANSLATE_NOOP("AudioCuesManager", "%1 is offline"), true},
    {Ev::AudioCueEventNewNotification, "newNotification", "sounds/sfx_notification_alert.wav", "%1", false},
    {Ev::AudioCueEventNewChannelMessage, "newMessageChannel", nullptr, "%1", false},
    {Ev::AudioCueEventUserLeft, "userLeft", nullptr, QT_TRANSLATE_NOOP("AudioCuesManager", "%2 has dropped from %1"),
     true},
    {Ev::AudioCueEventUserLeft, "userLeft", nullptr,
     QT_TRANSLATE_NOOP("AudioCuesManager", "%2 has been kicked from %1"), true},
    {Ev::AudioCueEventUserLeft, "userLeft", nullptr,
     QT_TRANSLATE_NOOP("AudioCuesManager", "%2 has been banned from %1"), true},
    {Ev::AudioCueEventMeLeft, "meLeft", nullptr, QT_TRANSLATE_NOOP("AudioCuesManager", "You have dropped from %1"),
     true},
    {Ev::AudioCueEventMeLeft, "meLeft", nullptr, QT_TRANSLATE_NOOP("AudioCuesManager", "You have been kicked from %1"),
     true},
    {Ev::AudioCueEventMeLeft, "meLeft", nullptr, QT_TRANSLATE_NOOP("AudioCuesManager", "You have been banned from %1"),
     true},
    {Ev::AudioCueEventMeLeft, "", nullptr,
     QT_TRANSLATE_NOOP("AudioCuesManager", "You do not have permission to join %1"), true},
};

constexpr int kEventCount = int(sizeof(kEvents) / sizeof(kEvents[0]));
// Events with cue states, sounds and settings of their own.
constexpr int kOwnSettingsEvents = Ev::AudioCueEventNewNotification + 1;
// Events that init() reads settings for (the last one has no stem).
constexpr int kInitEvents = Ev::AudioCueEventMeBanned + 1;
constexpr int kNotifyIntervalMs = 750;

const char *const kDisplayNames[] = {
    QT_TRANSLATE_NOOP("AudioCuesManager", "Microphone muted"),
    QT_TRANSLATE_NOOP("AudioCuesManager", "Microphone unmuted"),
    QT_TRANSLATE_NOOP("AudioCuesManager", "When others join a channel"),
    QT_TRANSLATE_NOOP("AudioCuesManager", "When others leave a channel"),
    QT_TRANSLATE_NOOP("AudioCuesManager", "When I join a channel"),
    QT_TRANSLATE_NOOP("AudioCuesManager", "When I leave a channel"),
    QT_TRANSLATE_NOOP("AudioCuesManager", "On incoming private message"),
    QT_TRANSLATE_NOOP("AudioCuesManager", "On incoming channel message"),
    QT_TRANSLATE_NOOP("AudioCuesManager", "When friend comes online"),
    QT_TRANSLATE_NOOP("AudioCuesManager", "When friend goes offline"),
    QT_TRANSLATE_NOOP("AudioCuesManager", "New notification"),
};

bool isKnownEvent(int event)
{
    return event >= 0 && event < kEventCount;
}

QString toneKey(const QString &stem)
{
    return QStringLiteral("tones.") + stem;
}

QString toneEnabledKey(const QString &stem)
{
    return QStringLiteral("tones.") + stem + QStringLiteral("Enabled");
}

QString styleDefaultProperty(const QString &stem)
{
    return QStringLiteral("default_") + stem;
}

bool isPrivateAddress(const QString &address)
{
    return address.startsWith(QLatin1String("sip:u-"));
}

// The local file of a URL that names one and does not exist; empty otherwise.
QString missingLocalFile(const QUrl &url)
{
    if (!url.isLocalFile())
        return QString();
    const QString path = url.toLocalFile();
    return QFileInfo::exists(path) ? QString() : path;
}

// Fills the placeholders of `text` with `args`, each argument taking the
// lowest-numbered placeholder left, as QString::arg does, but in one pass:
// a peer's name or message holding "%2" is spoken as it was written.
QString fillPlaceholders(const QString &text, const QStringList &args)
{
    static const QRegularExpression placeholder(QStringLiteral("%([1-9][0-9]?)"));
    QList<int> numbers;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const int number = it.next().captured(1).toInt();
        if (!numbers.contains(number))
            numbers.append(number);
    }
    std::sort(numbers.begin(), numbers.end());
    QString result;
    int from = 0;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const int argIndex = numbers.indexOf(match.captured(1).toInt());
        result += text.midRef(from, match.capturedStart() - from);
        result += argIndex < args.size() ? args.at(argIndex) : match.captured();
        from = match.capturedEnd();
    }
    result += text.midRef(from);
    return result;
}

AudioCuesManager::MediaPlayerFactory &installedPlayerFactory()
{
    static AudioCuesManager::MediaPlayerFactory factory;
    return factory;
}

} // namespace

AudioCuesManager::AudioCuesManager(QObject *parent)
    : QObject(parent)
{
    for (int event = 0; event < kEventCount; ++event) {
        const EventInfo &info = kEvents[event];
        if (info.defaultText)
            m_defaultTexts.insert(event, QString::fromUtf8(info.defaultText));
    }
    fillDefaultFiles();
    connectServices();
    qDebug() << "AudioCuesManager::AudioCuesManager"
             << "complete";
}

AudioCuesManager::~AudioCuesManager()
{
    killTimers();
    for (auto it = m_players.cbegin(); it != m_players.cend(); ++it) {
        QMediaPlayer *player = it.value();
        qDebug() << "AudioCuesManager::~AudioCuesManager" << it.key() << player->errorString()
                 << "... state:" << player->state() << "... media status:" << player->mediaStatus()
                 << "... position:" << player->position() << "... duration:" << player->duration();
        player->disconnect(this);
    }
    qDeleteAll(m_players);
    m_players.clear();
    for (auto it = m_pendingParticipantCues.cbegin(); it != m_pendingParticipantCues.cend(); ++it)
        disconnect(it.key(), nullptr, this, nullptr);
    m_pendingParticipantCues.clear();
    delete m_speech;
    m_speech = nullptr;
}

void AudioCuesManager::setMediaPlayerFactory(const MediaPlayerFactory &factory)
{
    installedPlayerFactory() = factory;
}

AudioCuesManager::AudioCueEventType AudioCuesManager::aliasEvent(AudioCueEventType event)
{
    return isKnownEvent(event) ? kEvents[event].alias : event;
}

QString AudioCuesManager::eventStem(AudioCueEventType event)
{
    return isKnownEvent(event) ? QString::fromLatin1(kEvents[event].stem) : QString();
}

QString AudioCuesManager::soundsDirPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/sounds");
}

QUrl AudioCuesManager::soundFileUrl(const QString &path)
{
    static const QRegularExpression driveLetter(QStringLiteral("^[A-Za-z]:"));
    const QString filePrefix = QStringLiteral("file://");
    if (path.isEmpty()) {
        return QUrl::fromLocalFile(QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QDir::separator()
                                                            + QStringLiteral("sounds/sfx_notification_alert.wav")));
    }
    // "file://C:/..." names the same file as "C:/...": a drive letter read as
    // a URL host would name another.
    const bool fileUrlWithDrive = path.startsWith(filePrefix) && path.mid(filePrefix.size()).contains(driveLetter);
    if (!fileUrlWithDrive
        && (path.startsWith(QLatin1String("qrc:/")) || path.startsWith(QLatin1String("http://"))
            || path.startsWith(QLatin1String("https://")) || path.startsWith(filePrefix))) {
        return QUrl(path, QUrl::TolerantMode);
    }
    QString local;
    if (path.contains(QLatin1Char(':')) || QDir::isAbsolutePath(path)) {
        local = path.startsWith(filePrefix) ? path.mid(filePrefix.size()) : path;
    } else {
        local = QCoreApplication::applicationDirPath() + QDir::separator() + path;
    }
    return QUrl::fromLocalFile(QDir::toNativeSeparators(local));
}

QString AudioCuesManager::getDefaultText() const
{
    return tr("<default>");
}

void AudioCuesManager::setVolume(quint16 volume)
{
    volume = qMin<quint16>(volume, 100);
    if (volume == m_volume)
        return;
    m_volume = volume;
    for (QMediaPlayer *player : qAsConst(m_players))
        player->setVolume(m_volume);
    emit volumeChanged(m_volume);
}

void AudioCuesManager::setPlayOnlyMinimized(bool playOnlyMinimized)
{
    if (playOnlyMinimized == m_playOnlyMinimized)
        return;
    m_playOnlyMinimized = playOnlyMinimized;
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyTtsMinimizedOnly, playOnlyMinimized);
    emit playOnlyMinimizedChanged(m_playOnlyMinimized);
}

int AudioCuesManager::getMaximumTTSPlaybackLength() const
{
    if (!m_textToSpeechAvailable || !m_speech)
        return 0;
    return m_speech->maxLengthSeconds();
}

void AudioCuesManager::setMaximumTTSPlaybackLength(int seconds)
{
    if (!m_textToSpeechAvailable || !m_speech)
        return;
    m_speech->setMaxLengthSeconds(seconds);
    emit maximumTTSPlaybackLengthChanged(seconds);
}

QString AudioCuesManager::getTTSVoice() const
{
    return m_speech && m_textToSpeechAvailable ? m_speech->voiceName() : QString();
}

QMediaPlayer *AudioCuesManager::player(AudioCueEventType event) const
{
    return m_players.value(aliasEvent(event), nullptr);
}

QString AudioCuesManager::eventTypeDisplayName(AudioCueEventType event) const
{
    const int alias = aliasEvent(event);
    if (event == AudioCueEventNoPermissionToJoin || alias < 0 || alias >= kOwnSettingsEvents)
        return QString();
    return tr(kDisplayNames[alias]);
}

QString AudioCuesManager::eventTypeStandardDisplayName(AudioCueEventType event) const
{
    const int alias = aliasEvent(event);
    if (event == AudioCueEventNoPermissionToJoin || alias < 0 || alias >= kOwnSettingsEvents)
        return QString();
    return QString::fromLatin1(kDisplayNames[alias]);
}

QVariantList AudioCuesManager::availableEvents() const
{
    QVariantList events;
    for (int event = 0; event < kInitEvents; ++event) {
        const QVariant alias = QVariant::fromValue(int(kEvents[event].alias));
        if (!events.contains(alias))
            events.append(alias);
    }
    return events;
}

QStringList AudioCuesManager::getAvailableTTSVoices() const
{
    QStringList names;
    try {
        const QList<QtSpeech::VoiceName> voices = QtSpeech::voices();
        for (const QtSpeech::VoiceName &voice : voices)
            names.append(voice.name);
    } catch (const QtSpeech::Error &error) {
        qWarning() << "Unable to retrieve TTS voices" << error.msg;
    }
    return names;
}

void AudioCuesManager::setTTSVoice(const QString &voiceName)
{
    if (m_speech) {
        m_speech->deleteLater();
        m_speech = nullptr;
    }
    QList<QtSpeech::VoiceName> voices;
    try {
        voices = QtSpeech::voices();
    } catch (const QtSpeech::Error &error) {
        qWarning() << "Unable to retrieve TTS voices" << error.msg;
    }
    // No match leaves the choice to the speech library.
    QtSpeech::VoiceName chosen = QtSpeech::nullVoice();
    for (const QtSpeech::VoiceName &voice : qAsConst(voices)) {
        if (voice.name == voiceName) {
            chosen = voice;
            break;
        }
    }
    m_speech = new QSpeechManager(chosen, this);
    const bool available = m_speech->isReady();
    if (available != m_textToSpeechAvailable) {
        m_textToSpeechAvailable = available;
        emit textToSpeechAvailableChanged(m_textToSpeechAvailable);
    }
    if (available)
        emit ttsVoiceChanged(m_speech->voiceName());
}

AudioCuesManager::EventCueState AudioCuesManager::getCueState(AudioCueEventType event) const
{
    const auto stored = m_cueStates.constFind(event);
    if (stored != m_cueStates.cend())
        return stored.value();
    switch (event) {
    case AudioCueEventMicUnmuted:
    case AudioCueEventUserJoined:
    case AudioCueEventUserLeft:
    case AudioCueEventMeLeft:
    case AudioCueEventMeKicked:
    case AudioCueEventMeBanned:
        return EventCueAudioToneMinimizedOnly;
    case AudioCueEventNewChatMessage:
    case AudioCueEventNewNotification:
        return EventCueAudioTone;
    default:
        return EventCueDisabled;
    }
}

void AudioCuesManager::setCueState(AudioCueEventType event, EventCueState state)
{
    const auto stored = m_cueStates.constFind(event);
    if (stored != m_cueStates.cend() && stored.value() == state)
        return;
    m_cueStates.insert(event, state);
    const QString stem = eventStem(event);
    if (!stem.isEmpty())
        StorageManager::getInstance()->setSettingsValue(toneEnabledKey(stem), int(state));
    emit audioCueEventStateChanged(event, state);
}

QString AudioCuesManager::getPlaybackFile(AudioCueEventType event) const
{
    const QString custom = m_customFiles.value(event);
    return custom.isEmpty() ? m_defaultFiles.value(event) : custom;
}

void AudioCuesManager::setPlaybackFile(AudioCueEventType event, const QString &audioFilePath)
{
    qDebug() << "AudioCuesManager::setPlaybackFile" << event << audioFilePath;
    const QString stem = eventStem(event);
    if (audioFilePath.isEmpty()) {
        m_customFiles.remove(event);
        if (!stem.isEmpty())
            StorageManager::getInstance()->setSettingsValue(toneKey(stem), QString());
    } else {
        const QString missing = missingLocalFile(soundFileUrl(audioFilePath));
        if (!missing.isEmpty()) {
            qWarning() << "AudioCuesManager::setPlaybackFile" << missing << "... doesn't exist";
            return;
        }
        m_customFiles.insert(event, audioFilePath);
        if (!stem.isEmpty())
            StorageManager::getInstance()->setSettingsValue(toneKey(stem), audioFilePath);
    }
    if (QMediaPlayer *eventPlayer = m_players.value(event, nullptr))
        eventPlayer->setMedia(soundFileUrl(getPlaybackFile(event)));
    emit audioCueEventStatePlaybackFilepathChanged(event, getPlaybackFile(event));
    emit audioCueEventStateIsDefaultChanged(event, getIsDefault(event));
}

bool AudioCuesManager::getIsDefault(AudioCueEventType event) const
{
    const QString custom = m_customFiles.value(event);
    return custom.isEmpty() || custom == m_defaultFiles.value(event);
}

void AudioCuesManager::skipCurrentTTS()
{
    if (m_speech && m_textToSpeechAvailable)
        m_speech->skip();
}

QMediaPlayer::State AudioCuesManager::getPlaybackState(AudioCueEventType event) const
{
    QMediaPlayer *eventPlayer = m_players.value(event, nullptr);
    return eventPlayer ? eventPlayer->state() : QMediaPlayer::StoppedState;
}

void AudioCuesManager::stopPlayback(AudioCueEventType event)
{
    if (QMediaPlayer *eventPlayer = m_players.value(event, nullptr))
        eventPlayer->stop();
}

void AudioCuesManager::init(QObject *style)
{
    StorageManager *storage = StorageManager::getInstance();
    if (style) {
        m_style = style;
        readStyleDefaults(style);
    }
    for (int index = 0; index < kInitEvents; ++index) {
        const auto event = AudioCueEventType(index);
        const QString stem = eventStem(event);
        const QString custom = storage->getSettingsValue(toneKey(stem)).toString();
        if (!custom.isEmpty())
            m_customFiles.insert(event, custom);
        const QVariant state = storage->getSettingsValue(toneEnabledKey(stem));
        bool isNumber = false;
        const int stateValue = state.toInt(&isNumber);
        if (state.isValid() && isNumber && stateValue >= EventCueDisabled
            && stateValue <= EventCueAudioToneMinimizedOnly)
            m_cueStates.insert(event, EventCueState(stateValue));
        else if (state.isValid())
            qWarning() << "AudioCuesManager::init: ignoring cue state" << state << "of" << stem;
        QMediaPlayer *eventPlayer = ensurePlayer(event);
        eventPlayer->setMedia(soundFileUrl(getPlaybackFile(event)));
    }
    const uint volume = storage->getSettingsValue(StorageManager::SettingsKeyTtsVolume, 35).toUInt();
    setVolume(quint16(qMin(volume, 100u)));
    m_playOnlyMinimized = storage->getSettingsValue(StorageManager::SettingsKeyTtsMinimizedOnly, false).toBool();
    if (m_startupTimerId)
        killTimer(m_startupTimerId);
    m_startupTimerId = startTimer(quietPeriodMs, Qt::CoarseTimer);
    m_initialized = true;
}

void AudioCuesManager::deinit()
{
    if (m_startupTimerId) {
        killTimer(m_startupTimerId);
        m_startupTimerId = 0;
    }
    m_initialized = false;
    setVolume(0);
    m_cueStates.clear();
    m_customFiles.clear();
    m_playOnlyMinimized = false;
    for (auto it = m_pendingParticipantCues.cbegin(); it != m_pendingParticipantCues.cend(); ++it)
        disconnect(it.key(), nullptr, this, nullptr);
    m_pendingParticipantCues.clear();
    for (auto it = m_pendingKeys.cbegin(); it != m_pendingKeys.cend(); ++it)
        killTimer(it.value());
    m_pendingKeys.clear();
    m_keyTimers.clear();
    fillDefaultFiles();
}

void AudioCuesManager::setMainViewVisible(bool visible)
{
    m_mainViewVisible = visible;
}

void AudioCuesManager::speakText(const QString &text, bool immediate)
{
    if (!canSpeak())
        return;
    if (immediate)
        m_speech->clearQueue();
    m_speech->say(text);
}

void AudioCuesManager::stopSpeaking()
{
    if (m_speech && m_textToSpeechAvailable)
        m_speech->stop();
}

void AudioCuesManager::play(AudioCueEventType event, const QStringList &args,
                            Tavri::RealmUserInterface *participantIdentity)
{
    if (participantIdentity && participantIdentity->getDisplayName().isEmpty() && !args.isEmpty()
        && args.last().isEmpty()) {
        QObject *participant = participantIdentity->getQObject();
        if (participant) {
            QStringList waiting = args;
            waiting.removeLast();
            // A second cue for the same participant replaces the first: only
            // the latest event is worth announcing once the name is known.
            forgetPendingParticipant(participant);
            m_pendingParticipantCues.insert(participant, PendingCue{event, waiting});
            connect(participant, SIGNAL(displayNameUpdated(QString)), this,
                    SLOT(onParticipantDisplayNameUpdated(QString)));
            connect(participant, &QObject::destroyed, this,
                    [this, participant] { m_pendingParticipantCues.remove(participant); });
            return;
        }
    }
    play(event, args, true);
}

void AudioCuesManager::play(AudioCueEventType event, const QStringList &args, bool checkCanPlay)
{
    qDebug() << "AudioCuesManager::play" << event << checkCanPlay;
    if (!m_initialized) {
        qDebug() << "AudioCuesManager::play"
                 << "... not yet initialized, ignoring...";
        return;
    }
    if (!isKnownEvent(event)) {
        qWarning() << "AudioCuesManager::play: unknown event" << int(event);
        return;
    }
    if (checkCanPlay && (m_volume == 0 || (m_playOnlyMinimized && m_mainViewVisible)))
        return;

    const AudioCueEventType alias = aliasEvent(event);
    QMediaPlayer *aliasPlayer = m_players.value(alias, nullptr);
    if (!aliasPlayer) {
        const QUrl url = soundFileUrl(getPlaybackFile(alias));
        const QString missing = missingLocalFile(url);
        aliasPlayer = ensurePlayer(alias);
        if (!missing.isEmpty()) {
            qWarning() << "AudioCuesManager::play"
                       << "file doesn't exist" << missing;
            m_players.remove(alias);
            delete aliasPlayer;
            return;
        }
        aliasPlayer->setMedia(url);
    }
    const EventCueState state = m_cueStates.value(alias, EventCueAudioTone);
    qDebug() << "AudioCuesManager::play"
             << "switching to event type" << alias << "event:" << event << "cue state:" << state
             << "mainView visible:" << m_mainViewVisible;

    switch (state) {
    case EventCueAudioTone:
        playSound(alias, aliasPlayer);
        break;
    case EventCueAudioToneMinimizedOnly:
        if (!m_mainViewVisible)
            playSound(alias, aliasPlayer);
        break;
    case EventCueTextToSpeech:
        speakCue(event, args);
        break;
    case EventCueTextToSpeechMinimizedOnly:
        if (!m_mainViewVisible)
            speakCue(event, args);
        break;
    case EventCueDisabled:
        break;
    }
}

void AudioCuesManager::onRenderDeviceChanged(const QPair<QString, QString> &device)
{
    bool result = false;
    if (m_speech && m_textToSpeechAvailable)
        result = m_speech->setOutputDevice(device.first);
    qDebug() << "AudioCuesManager::onRenderDeviceChanged" << device.first << result;
}

void AudioCuesManager::killTimers()
{
    if (m_startupTimerId) {
        killTimer(m_startupTimerId);
        m_startupTimerId = 0;
    }
    for (auto it = m_keyTimers.cbegin(); it != m_keyTimers.cend(); ++it)
        killTimer(it.key());
    m_keyTimers.clear();
    m_pendingKeys.clear();
}

void AudioCuesManager::onLocalUserAudioEnabled(bool unmuted)
{
    play(unmuted ? AudioCueEventMicUnmuted : AudioCueEventMicMuted, QStringList(), true);
}

void AudioCuesManager::onConversationParticipantAdded(Tavri::IdentityRealmInterface *identityRealm,
                                                      const QString &conversationID, const QString &participantUUID)
{
    if (!identityRealm)
        return;
    Conversation *conversation = channelConversation(conversationID);
    if (!conversation)
        return;
    Tavri::RealmUserInterface *participant = identityRealm->getRealmUser(participantUUID);
    if (!participant)
        return;
    const QStringList args{conversation->getDisplayName(), participant->getDisplayName()};
    if (LocalUser::getLocalUser()->isLocalUserIdentity(participant)) {
        play(AudioCueEventMeJoined, args, true);

        // The channel's welcome message, spoken as it stands when channel
        // messages are set to speech.
        const EventCueState welcomeState = m_cueStates.value(AudioCueEventChannelWelcomeMessage, EventCueDisabled);
        const QString welcome = conversation->getMessage();
        if ((welcomeState == EventCueTextToSpeech || welcomeState == EventCueTextToSpeechMinimizedOnly)
            && !welcome.isEmpty() && canSpeak()) {
            m_speech->say(welcome);
        }

        // The people already present are reported one by one right after
        // the join; they are not announced until the quiet period ends.
        if (m_pendingKeys.contains(conversationID)) {
            const int previous = m_pendingKeys.take(conversationID);
            m_keyTimers.remove(previous);
            killTimer(previous);
        }
        const int timerId = startTimer(quietPeriodMs, Qt::CoarseTimer);
        if (timerId) {
            m_pendingKeys.insert(conversationID, timerId);
            m_keyTimers.insert(timerId, conversationID);
        }
        return;
    }
    if (m_pendingKeys.contains(conversationID))
        return;
    play(AudioCueEventUserJoined, args, participant);
}

void AudioCuesManager::onConversationParticipantRemoved(
    Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID, const QString &participantUUID,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reasonMsg)
{
    Q_UNUSED(reasonMsg)
    if (!identityRealm)
        return;
    Conversation *conversation = channelConversation(conversationID);
    if (!conversation)
        return;
    Tavri::RealmUserInterface *participant = identityRealm->getRealmUser(participantUUID);
    if (!participant)
        return;
    const int reason = int(reasonCode);
    if (reason < Tavri::IdentityRealmInterface::DisconnectReasonNone
        || reason > Tavri::IdentityRealmInterface::DisconnectReasonBanned) {
        qDebug() << "Unexpected reason code, not playing exit tone / TTS message:" << reason;
        return;
    }
    const QStringList args{conversation->getDisplayName(), participant->getDisplayName()};
    if (LocalUser::getLocalUser()->isLocalUserIdentity(participant)) {
        static const AudioCueEventType mine[] = {AudioCueEventMeLeft, AudioCueEventMeDropped, AudioCueEventMeKicked,
                                                 AudioCueEventMeBanned};
        play(mine[reason], args, true);
    } else {
        static const AudioCueEventType others[] = {AudioCueEventUserLeft, AudioCueEventUserDropped,
                                                   AudioCueEventUserKicked, AudioCueEventUserBanned};
        play(others[reason], args, participant);
    }
}

void AudioCuesManager::onConversationDisconnected(
    Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reason)
{
    Q_UNUSED(identityRealm)
    Q_UNUSED(reasonCode)
    Q_UNUSED(reason)
    Conversation *conversation = channelConversation(conversationID);
    if (!conversation)
        return;
    play(AudioCueEventNoPermissionToJoin, QStringList{conversation->getDisplayName()}, true);
}

void AudioCuesManager::onConversationTextMessageReceived(Tavri::IdentityRealmInterface *identityRealm,
                                                         const QString &conversationID, const QString &senderUUID,
                                                         const QString &receiverUUID, const QString &messageText,
                                                         const QDateTime &sentAt)
{
    Q_UNUSED(receiverUUID)
    Q_UNUSED(sentAt)
    if (!identityRealm)
        return;
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(conversationID);
    if (!conversation)
        return;
    Tavri::RealmUserInterface *sender = identityRealm->getRealmUser(senderUUID);
    if (!sender || LocalUser::getLocalUser()->isLocalUserIdentity(sender))
        return;

    // Addresses are not read out letter by letter: each becomes " a link ".
    QString text = messageText;
    const QString linked = linkify(messageText);
    if (linked != messageText) {
        static const QRegularExpression anchor(QStringLiteral("<a href=\"[^\"]*\">.*</a>"),
                                               QRegularExpression::InvertedGreedinessOption);
        text = linked;
        text.replace(anchor, tr(" a link "));
    }
    const AudioCueEventType event =
        conversation->getIsPrivate() ? AudioCueEventNewChatMessage : AudioCueEventNewChannelMessage;
    play(event, QStringList{text, conversation->getDisplayName(), sender->getDisplayName()}, sender);
}

void AudioCuesManager::onNotificationReceived(const QString &notificationUID, const QString &fromUserUID,
                                              const QString &fromUserName, const QString &channelUID,
                                              const QString &channelDisplayName, const QString &notificationTypeStr,
                                              const QString &notificationStateStr, const QDateTime &sentAt,
                                              const QString &customMessage, const QString &customAction,
                                              const QString &userEmail)
{
    Q_UNUSED(fromUserUID)
    Q_UNUSED(fromUserName)
    Q_UNUSED(channelUID)
    Q_UNUSED(channelDisplayName)
    Q_UNUSED(notificationTypeStr)
    Q_UNUSED(sentAt)
    Q_UNUSED(customMessage)
    Q_UNUSED(customAction)
    Q_UNUSED(userEmail)
    if (Notification::stateFromString(notificationStateStr) != Notification::NotificationStateUnread
        || m_startupTimerId != 0)
        return;
    QString text;
    if (NotificationList *list = LocalUser::getLocalUser()->getNotificationList()) {
        for (int row = 0; row < list->rowCount(); ++row) {
            Notification *notification = list->at(row);
            if (notification && notification->getUid() == notificationUID) {
                text = list->data(list->index(row), NotificationList::DefaultMessageRole).toString();
                break;
            }
        }
    }
    play(AudioCueEventNewNotification, QStringList{text}, true);
}

void AudioCuesManager::onContactPresenceStateChanged(Tavri::RealmUserInterface::PresenceState state)
{
    auto *contact = qobject_cast<Contact *>(sender());
    if (!TAVRI_CHECK(contact))
        return;
    if (m_startupTimerId != 0)
        return;
    if (state == Tavri::RealmUserInterface::Online)
        play(AudioCueEventUserOnline, QStringList{contact->getDisplayName()}, true);
    else if (state == Tavri::RealmUserInterface::Offline)
        play(AudioCueEventUserOffline, QStringList{contact->getDisplayName()}, true);
}

void AudioCuesManager::onLocalUserContactAdded(Contact *contact)
{
    if (contact)
        connect(contact, &Contact::presenceStateChanged, this, &AudioCuesManager::onContactPresenceStateChanged,
                Qt::UniqueConnection);
}

void AudioCuesManager::onLocalUserContactRemoved(Contact *contact)
{
    if (contact)
        disconnect(contact, &Contact::presenceStateChanged, this, &AudioCuesManager::onContactPresenceStateChanged);
}

void AudioCuesManager::onParticipantDisplayNameUpdated(const QString &displayName)
{
    QObject *participant = sender();
    const auto pending = m_pendingParticipantCues.constFind(participant);
    if (pending == m_pendingParticipantCues.cend())
        return;
    PendingCue cue = pending.value();
    forgetPendingParticipant(participant);
    cue.args.append(displayName);
    play(cue.event, cue.args, true);
}

void AudioCuesManager::onMediaStatusChanged(QMediaPlayer::MediaStatus status)
{
    qDebug() << "AudioCuesManager::onMediaStatusChanged" << senderEvent() << status;
}

void AudioCuesManager::onMediaPositionChanged(qint64 position)
{
    if (position <= maxPlaybackDurationMs)
        return;
    auto *eventPlayer = qobject_cast<QMediaPlayer *>(sender());
    const int event = senderEvent();
    if (!eventPlayer || event < 0)
        return;
    qDebug() << "AudioCuesManager::onMediaPositionChanged" << urlForLog(eventPlayer->currentMedia().request().url())
             << "... exceeded max duration:" << maxPlaybackDurationMs << "... stopping";
    eventPlayer->stop();
    emit audioCueEventPlaybackDurationExceeded(AudioCueEventType(event), true);
}

void AudioCuesManager::onMediaStateChanged(QMediaPlayer::State state)
{
    const int event = senderEvent();
    qDebug() << "AudioCuesManager::onMediaStateChanged" << event << state;
    if (event >= 0)
        emit audioCueEventMediaStateChanged(AudioCueEventType(event), state);
}

void AudioCuesManager::onMediaDurationChanged(qint64 duration)
{
    const int event = senderEvent();
    if (event >= 0)
        emit audioCueEventDurationExceeded(AudioCueEventType(event), duration > maxPlaybackDurationMs);
}

void AudioCuesManager::onStyleAudioPropertyChanged()
{
    QObject *style = sender();
    if (!style)
        return;
    readStyleDefaults(style);
    for (auto it = m_players.cbegin(); it != m_players.cend(); ++it) {
        if (getIsDefault(AudioCueEventType(it.key())))
            it.value()->setMedia(soundFileUrl(getPlaybackFile(AudioCueEventType(it.key()))));
    }
}

void AudioCuesManager::timerEvent(QTimerEvent *event)
{
    const int id = event->timerId();
    killTimer(id);
    if (id == m_startupTimerId) {
        m_startupTimerId = 0;
        return;
    }
    if (m_keyTimers.contains(id))
        m_pendingKeys.remove(m_keyTimers.take(id));
}

Conversation *AudioCuesManager::channelConversation(const QString &conversationID)
{
    // Private chats (a user's address) announce no joins and leaves.
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(conversationID);
    if (!conversation || isPrivateAddress(conversation->getSipURI()))
        return nullptr;
    return conversation;
}

void AudioCuesManager::connectServices()
{
    LocalUser *user = LocalUser::getLocalUser(parent());
    connect(user, &LocalUser::audioEnabledChanged, this, &AudioCuesManager::onLocalUserAudioEnabled);
    if (ContactList *contacts = user->getContactList()) {
        connect(contacts, &ContactList::contactAdded, this, &AudioCuesManager::onLocalUserContactAdded);
        connect(contacts, &ContactList::contactRemoved, this, &AudioCuesManager::onLocalUserContactRemoved);
    }
    IdentityRealmManager *realms = IdentityRealmManager::getInstance(parent());
    connect(realms, &IdentityRealmManager::conversationParticipantAdded, this,
            &AudioCuesManager::onConversationParticipantAdded);
    connect(realms, &IdentityRealmManager::conversationParticipantRemoved, this,
            &AudioCuesManager::onConversationParticipantRemoved);
    connect(realms, &IdentityRealmManager::conversationDisconnected, this,
            &AudioCuesManager::onConversationDisconnected);
    connect(realms, &IdentityRealmManager::conversationTextMessageReceived, this,
            &AudioCuesManager::onConversationTextMessageReceived);
    if (NotificationList *notifications = user->getNotificationList())
        connect(notifications, &NotificationList::notificationReceived, this,
                &AudioCuesManager::onNotificationReceived);
    if (VoiceManager *voice = VoiceManager::getInstance()) {
        if (RenderDeviceModel *renderDevices = voice->renderDevices())
            connect(renderDevices, &DeviceModel::effectiveDeviceChanged, this,
                    &AudioCuesManager::onRenderDeviceChanged);
    }
}

QMediaPlayer *AudioCuesManager::ensurePlayer(AudioCueEventType event)
{
    if (QMediaPlayer *existing = m_players.value(event, nullptr))
        return existing;
    qDebug() << "AudioCuesManager"
             << "... creating new media player for" << event;
    const MediaPlayerFactory &factory = installedPlayerFactory();
    QMediaPlayer *created = factory ? factory(this) : new QMediaPlayer(this);
    created->setNotifyInterval(kNotifyIntervalMs);
    created->setVolume(m_volume);
    connect(created, &QMediaPlayer::positionChanged, this, &AudioCuesManager::onMediaPositionChanged);
    connect(created, &QMediaPlayer::mediaStatusChanged, this, &AudioCuesManager::onMediaStatusChanged);
    connect(created, &QMediaPlayer::stateChanged, this, &AudioCuesManager::onMediaStateChanged);
    connect(created, &QMediaPlayer::durationChanged, this, &AudioCuesManager::onMediaDurationChanged);
    m_players.insert(event, created);
    return created;
}

int AudioCuesManager::senderEvent() const
{
    auto *eventPlayer = qobject_cast<QMediaPlayer *>(sender());
    if (!eventPlayer)
        return -1;
    for (auto it = m_players.cbegin(); it != m_players.cend(); ++it) {
        if (it.value() == eventPlayer)
            return it.key();
    }
    return -1;
}

bool AudioCuesManager::checkMediaState(AudioCueEventType event)
{
    QMediaPlayer *eventPlayer = m_players.value(event, nullptr);
    if (!eventPlayer)
        return false;
    switch (eventPlayer->mediaStatus()) {
    case QMediaPlayer::UnknownMediaStatus:
    case QMediaPlayer::NoMedia:
    case QMediaPlayer::InvalidMedia:
        qDebug() << "AudioCuesManager::checkMediaState" << urlForLog(eventPlayer->currentMedia().request().url())
                 << "... reloading default file";
        eventPlayer->setMedia(soundFileUrl(m_defaultFiles.value(event)));
        return false;
    case QMediaPlayer::LoadingMedia:
        qDebug() << "AudioCuesManager::checkMediaState" << urlForLog(eventPlayer->currentMedia().request().url())
                 << "... still loading";
        return true;
    default:
        return true;
    }
}

void AudioCuesManager::playSound(AudioCueEventType event, QMediaPlayer *eventPlayer)
{
    qDebug() << "AudioCuesManager::play"
             << "... playback:" << m_volume << urlForLog(eventPlayer->currentMedia().request().url())
             << eventPlayer->state() << eventPlayer->mediaStatus() << eventPlayer->position()
             << eventPlayer->duration();
    logOutputDevices(eventPlayer);
    if (!checkMediaState(event))
        return;
    if (eventPlayer->position() != 0)
        eventPlayer->setPosition(0);
    eventPlayer->play();
    if (!eventPlayer->errorString().isEmpty())
        qWarning() << "AudioCuesManager::play" << eventPlayer->errorString();
}

void AudioCuesManager::logOutputDevices(QMediaPlayer *eventPlayer) const
{
    QMediaService *service = eventPlayer->service();
    if (!service)
        return;
    QMediaControl *control = service->requestControl(QAudioOutputSelectorControl_iid);
    auto *selector = qobject_cast<QAudioOutputSelectorControl *>(control);
    if (!selector) {
        if (control)
            service->releaseControl(control);
        return;
    }
    const QList<QString> outputs = selector->availableOutputs();
    qDebug() << "AudioCuesManager::play"
             << "... current device:" << selector->activeOutput();
    qDebug() << "AudioCuesManager::play"
             << "... default device:" << selector->defaultOutput();
    qDebug() << "AudioCuesManager::play"
             << "... available devices:" << outputs;
    for (const QString &output : outputs)
        qDebug() << "AudioCuesManager::play"
                 << "..." << output << selector->outputDescription(output);
    service->releaseControl(control);
}

void AudioCuesManager::speakCue(AudioCueEventType event, const QStringList &args)
{
    qDebug() << "AudioCuesManager::play"
             << "... text-to-speech";
    const EventInfo &info = kEvents[event];
    QString text = m_defaultTexts.value(event);
    if (info.translateText && info.defaultText)
        text = tr(info.defaultText);
    text = fillPlaceholders(text, args);
    if (!canSpeak())
        return;
    m_speech->clearQueue();
    m_speech->say(text);
}

bool AudioCuesManager::canSpeak() const
{
    return m_volume != 0 && m_speech && m_textToSpeechAvailable;
}

void AudioCuesManager::readStyleDefaults(QObject *style)
{
    const QMetaObject *meta = style->metaObject();
    const int slotIndex = metaObject()->indexOfSlot("onStyleAudioPropertyChanged()");
    for (int index = 0; index < kInitEvents; ++index) {
        const QString property = styleDefaultProperty(eventStem(AudioCueEventType(index)));
        const QVariant value = style->property(property.toLatin1().constData());
        const QString path = value.canConvert<QUrl>() && value.userType() == QMetaType::QUrl ? value.toUrl().toString()
                                                                                             : value.toString();
        if (!path.isEmpty())
            m_defaultFiles.insert(index, path);
        // Follow later changes of the property, once per style object.
        const int propertyIndex = meta->indexOfProperty(property.toLatin1().constData());
        if (propertyIndex >= 0 && slotIndex >= 0) {
            const QMetaProperty metaProperty = meta->property(propertyIndex);
            if (metaProperty.hasNotifySignal())
                connect(style, metaProperty.notifySignal(), this, metaObject()->method(slotIndex),
                        Qt::UniqueConnection);
        }
    }
}

void AudioCuesManager::fillDefaultFiles()
{
    m_defaultFiles.clear();
    for (int event = 0; event < kEventCount; ++event) {
        if (kEvents[event].defaultFile)
            m_defaultFiles.insert(event, QString::fromLatin1(kEvents[event].defaultFile));
    }
}

void AudioCuesManager::forgetPendingParticipant(QObject *participant)
{
    if (!m_pendingParticipantCues.remove(participant))
        return;
    disconnect(participant, SIGNAL(displayNameUpdated(QString)), this, SLOT(onParticipantDisplayNameUpdated(QString)));
    disconnect(participant, &QObject::destroyed, this, nullptr);
}

QString AudioCuesManager::urlForLog(const QUrl &url)
{
    QString text = url.toString();
    if (text.startsWith(QLatin1String("resource:/")))
        text.replace(0, int(qstrlen("resource:/")), QStringLiteral("qrc:/"));
    return text;
}
