#include "conversationparticipant.h"

#include "conversation.h"
#include "conversationparticipantlist.h"
#include "localuser.h"
#include "storagemanager.h"
#include "tavriidentityrealmuser.h"
#include "voicemanager.h"

#include <QDebug>
#include <QTimerEvent>

namespace {

// Local volume requests reach the voice service at most once per interval.
constexpr int kVolumeRequestIntervalMs = 1000;
// A participant of another realm starts in the middle of the slider.
constexpr int kDefaultVolumeAdjustment = 50;
constexpr int kMinVolumeAdjustment = 0;
constexpr int kMaxVolumeAdjustment = 100;

} // namespace

ConversationParticipant::ConversationParticipant(Tavri::RealmUserInterface *identity, QObject *parent,
                                                 InvitedState invitedState, TavriIdentityRealmUser *tavriIdentity)
    : QObject(parent)
    , m_invitedState(invitedState)
    , m_identity(identity)
    , m_tavriIdentity(tavriIdentity)
{
    if (m_identity)
        connect(m_identity->getQObject(), SIGNAL(destroying()), this, SLOT(onIdentityDestroying()));
    if (!m_tavriIdentity && m_identity)
        m_tavriIdentity = qobject_cast<TavriIdentityRealmUser *>(m_identity->getQObject());
    if (m_tavriIdentity) {
        m_sipURI = m_tavriIdentity->getSipURI();
        followTavriIdentitySipURI();
    }
    // A built-in realm user is its own voice identity and keeps 0 until the
    // voice service reports a volume.
    if (m_tavriIdentity && (!m_identity || m_tavriIdentity != m_identity->getQObject())) {
        connectTavriIdentity();
        m_localVolumeAdjustment = kDefaultVolumeAdjustment;
    }
    if (isLocalUserIdentity()) {
        LocalUser *localUser = LocalUser::getLocalUser();
        connect(localUser, &LocalUser::audioEnabledChanged, this,
                &ConversationParticipant::onLocalUserAudioEnabledChanged);
        connect(localUser, &LocalUser::volumeAdjustChanged, this,
                &ConversationParticipant::onLocalUserVolumeAdjustChanged);
        m_localUser = localUser;
    }
}

ConversationParticipant::~ConversationParticipant()
{
    if (m_list)
        m_list->followedParticipantDestroying(this);
    emit destroying();
    if (m_volumeTimerId) {
        killTimer(m_volumeTimerId);
        m_volumeTimerId = 0;
    }
    if (m_identity)
        disconnect(m_identity->getQObject(), nullptr, this, nullptr);
    if (m_tavriIdentity)
        disconnect(m_tavriIdentity, nullptr, this, nullptr);
    disconnectLocalUser();
    m_identity = nullptr;
    m_tavriIdentity = nullptr;
}

void ConversationParticipant::followTavriIdentitySipURI()
{
    connect(m_tavriIdentity, &TavriIdentityRealmUser::sipURIChanged, this, &ConversationParticipant::updateSipURI,
            Qt::UniqueConnection);
}

void ConversationParticipant::updateSipURI()
{
    const QString uri = m_tavriIdentity ? m_tavriIdentity->getSipURI() : QString();
    if (uri == m_sipURI)
        return;
    m_sipURI = uri;
    if (m_list)
        m_list->followedSipURIChanged(this);
}

void ConversationParticipant::connectTavriIdentity()
{
    connect(m_tavriIdentity, &TavriIdentityRealmUser::destroying, this,
            &ConversationParticipant::onTavriIdentityDestroying, Qt::UniqueConnection);
}

void ConversationParticipant::disconnectLocalUser()
{
    // Never through getLocalUser(): at shutdown that would make a new one.
    if (m_localUser)
        disconnect(m_localUser, nullptr, this, nullptr);
    m_localUser.clear();
}

bool ConversationParticipant::isLocalUserIdentity() const
{
    return m_identity && LocalUser::getLocalUser()->isLocalUserIdentity(m_identity);
}

bool ConversationParticipant::isLocalUserVoice() const
{
    return m_tavriIdentity && LocalUser::getLocalUser()->isLocalUserIdentity(m_tavriIdentity);
}

QObject *ConversationParticipant::getIdentityObject() const
{
    return m_identity ? m_identity->getQObject() : nullptr;
}

void ConversationParticipant::notifyList(int role, bool voiceRole)
{
    if (m_list && (m_listFollowsVoice || !voiceRole))
        m_list->followedParticipantChanged(this, role);
}

void ConversationParticipant::setInvitedState(InvitedState state)
{
    if (state == m_invitedState)
        return;
    m_invitedState = state;
    if (m_list)
        m_list->followedInvitedStateChanged(this, state);
    emit invitedStateChanged(state);
}

void ConversationParticipant::setVoiceEnabled(bool enabled)
{
    if (enabled == m_voiceEnabled)
        return;
    m_voiceEnabled = enabled;
    notifyList(ConversationParticipantList::VoiceEnabledRole);
    emit voiceEnabledChanged(enabled && m_tavriIdentity);
}

void ConversationParticipant::setTavriIdentity(TavriIdentityRealmUser *tavriIdentity)
{
    if (tavriIdentity == m_tavriIdentity)
        return;
    if (m_tavriIdentity) {
        disconnect(m_tavriIdentity, &TavriIdentityRealmUser::destroying, this,
                   &ConversationParticipant::onTavriIdentityDestroying);
        disconnect(m_tavriIdentity, &TavriIdentityRealmUser::sipURIChanged, this,
                   &ConversationParticipant::updateSipURI);
    }
    m_tavriIdentity = tavriIdentity;
    if (m_tavriIdentity) {
        followTavriIdentitySipURI();
        if (!m_identity || m_tavriIdentity != m_identity->getQObject())
            connectTavriIdentity();
    }
    updateSipURI();
    notifyList(ConversationParticipantList::VoiceEnabledRole);
    emit voiceEnabledChanged(m_voiceEnabled && m_tavriIdentity);
}

void ConversationParticipant::setIsSpeaking(bool speaking)
{
    if (speaking == m_isSpeaking)
        return;
    m_isSpeaking = speaking;
    notifyList(ConversationParticipantList::IsSpeakingRole);
    emit isSpeakingChanged(speaking);
}

bool ConversationParticipant::getIsMuted() const
{
    if (isLocalUserVoice() && !LocalUser::getLocalUser()->getAudioEnabled())
        return true;
    return m_isMuted || m_isMutedLocally;
}

void ConversationParticipant::setIsMuted(bool muted)
{
    if (muted == m_isMuted)
        return;
    m_isMuted = muted;
    notifyList(ConversationParticipantList::IsMutedRole);
    emit isMutedChanged(getIsMuted());
}

bool ConversationParticipant::getIsMutedLocally() const
{
    if (isLocalUserVoice() && !LocalUser::getLocalUser()->getAudioEnabled())
        return true;
    return m_isMutedLocally;
}

void ConversationParticipant::setIsMutedLocally(bool muted)
{
    if (muted == m_isMutedLocally)
        return;
    m_isMutedLocally = muted;
    notifyList(ConversationParticipantList::IsMutedLocallyRole);
    emit isMutedLocallyChanged(muted);
    notifyList(ConversationParticipantList::IsMutedRole);
    emit isMutedChanged(getIsMuted());
}

void ConversationParticipant::setIsModerator(bool moderator)
{
    if (moderator == m_isModerator)
        return;
    m_isModerator = moderator;
    notifyList(ConversationParticipantList::IsModeratorRole);
    emit isModeratorChanged(moderator);
}

int ConversationParticipant::getLocalVolumeAdjustment() const
{
    if (isLocalUserVoice())
        return LocalUser::getLocalUser()->getVolumeAdjust();
    return m_localVolumeAdjustment;
}

void ConversationParticipant::setLocalVolumeAdjustment(int value, bool reported)
{
    if (reported) {
        if (value == m_localVolumeAdjustment)
            return;
        m_localVolumeAdjustment = value;
        notifyList(ConversationParticipantList::VolumeAdjustmentRole);
        emit localVolumeAdjustmentChanged(value);
        if (m_requestedVolumeAdjustment == 0)
            m_requestedVolumeAdjustment = value;
        return;
    }

    if (value < kMinVolumeAdjustment || value > kMaxVolumeAdjustment) {
        qWarning() << "ConversationParticipant::setLocalVolumeAdjustment"
                   << "volume" << value << "outside" << kMinVolumeAdjustment << "to" << kMaxVolumeAdjustment << "for"
                   << getSipURI();
        value = qBound(kMinVolumeAdjustment, value, kMaxVolumeAdjustment);
    }
    m_requestedVolumeAdjustment = value;
    if (m_volumeTimerId)
        return; // sent when the running interval ends
    m_volumeTimerId = startTimer(kVolumeRequestIntervalMs, Qt::CoarseTimer);

    auto *list = qobject_cast<ConversationParticipantList *>(parent());
    Conversation *conversation = list ? list->getConversation() : nullptr;
    if (!conversation || conversation->getVoiceState() != Conversation::VoiceEnabled) {
        qDebug() << "ConversationParticipant::setLocalVolumeAdjustment"
                 << "ignoring participant volume adjustment for not-voice-enabled conversation";
        m_requestedVolumeAdjustment = m_localVolumeAdjustment;
        return;
    }
    VoiceManager *voice = VoiceManager::getInstance();
    if (isLocalUserIdentity()) {
        qDebug() << "ConversationParticipant::setLocalVolumeAdjustment"
                 << "setting mic volume for self instead of forcing volume adjustment on others";
        if (voice)
            voice->setMicLevel(value);
    } else {
        if (voice)
            voice->setParticipantVolume(conversation->getOstrelSessionHandle(true), getParticipantURI(), value);
        if (StorageManager *storage = StorageManager::getInstance())
            storage->setVolumeAdjustForUserUri(getSipURI(), value);
    }
    m_sentVolumeAdjustment = value;
}

void ConversationParticipant::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_volumeTimerId) {
        QObject::timerEvent(event);
        return;
    }
    killTimer(m_volumeTimerId);
    m_volumeTimerId = 0;
    // Only a value that was asked for during the interval goes out; a value
    // already sent is not repeated, whether or not the service reported it.
    if (m_requestedVolumeAdjustment != m_localVolumeAdjustment
        && m_requestedVolumeAdjustment != m_sentVolumeAdjustment) {
        qDebug() << "ConversationParticipant::timerEvent"
                 << "resetting volume adjustment" << m_requestedVolumeAdjustment;
        setLocalVolumeAdjustment(m_requestedVolumeAdjustment, false);
    }
}

QString ConversationParticipant::getParticipantURI() const
{
    if (!m_voiceParticipantURI.isEmpty())
        return m_voiceParticipantURI;
    return getSipURI();
}

void ConversationParticipant::onIdentityDestroying()
{
    if (m_tavriIdentity && m_identity && m_identity->getQObject() == m_tavriIdentity)
        m_tavriIdentity = nullptr;
    if (m_identity)
        disconnect(m_identity->getQObject(), nullptr, this, nullptr);
    m_identity = nullptr;
    updateSipURI();
    deleteLater();
}

void ConversationParticipant::onTavriIdentityDestroying()
{
    if (m_tavriIdentity)
        disconnect(m_tavriIdentity, nullptr, this, nullptr);
    m_tavriIdentity = nullptr;
    updateSipURI();
    notifyList(ConversationParticipantList::VoiceEnabledRole);
    emit voiceEnabledChanged(false);
}

void ConversationParticipant::onLocalUserAudioEnabledChanged(bool)
{
    notifyList(ConversationParticipantList::IsMutedRole);
    emit isMutedChanged(getIsMuted());
    notifyList(ConversationParticipantList::IsMutedLocallyRole);
    emit isMutedLocallyChanged(getIsMutedLocally());
}

void ConversationParticipant::onLocalUserVolumeAdjustChanged(int)
{
    notifyList(ConversationParticipantList::VolumeAdjustmentRole);
    emit localVolumeAdjustmentChanged(getLocalVolumeAdjustment());
}
