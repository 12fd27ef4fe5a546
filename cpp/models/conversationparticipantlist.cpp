#include "conversationparticipantlist.h"

#include "conversation.h"
#include "localuser.h"
#include "reportassertionfailure.h"
#include "tavriidentityrealmuser.h"

#include <QDebug>
#include <QMutex>
#include <QMutexLocker>

namespace
{

QString displayNameOf(ConversationParticipant *participant)
{
    Tavri::RealmUserInterface *identity = participant->getIdentity();
    return identity ? identity->getDisplayName() : QString();
}

// Guards the take-out and re-insertion of a row that turns present.
QMutex &reinsertionMutex()
{
    static QMutex mutex;
    return mutex;
}

} // namespace

ConversationParticipantList::ConversationParticipantList(QObject *parent)
    : QAbstractListModel(parent), m_invitedIdentities(this)
{
    connect(&m_invitedIdentities, &RealmIdentityList::realmIdentityRemoved, this,
            &ConversationParticipantList::onInvitedParticipantRemoved);
}

ConversationParticipantList::~ConversationParticipantList()
{
    for (ConversationParticipant *participant : qAsConst(m_participants))
        disconnect(participant, nullptr, this, nullptr);
}

Conversation *ConversationParticipantList::getConversation() const
{
    return qobject_cast<Conversation *>(parent());
}

int ConversationParticipantList::sortedPosition(ConversationParticipant *participant) const
{
    const QString name = displayNameOf(participant);
    for (int row = 0; row < m_participants.size(); ++row) {
        ConversationParticipant *other = m_participants.at(row);
        if (other == participant)
            continue;
        if (other->getInvitedState() > participant->getInvitedState())
            return row;
        if (other->getInvitedState() >= participant->getInvitedState() &&
            displayNameOf(other).compare(name, Qt::CaseInsensitive) > 0)
            return row;
    }
    return m_participants.size();
}

void ConversationParticipantList::insertSorted(ConversationParticipant *participant)
{
    const int row = sortedPosition(participant);
    beginInsertRows(QModelIndex(), row, row);
    m_participants.insert(row, participant);
    endInsertRows();
}

void ConversationParticipantList::moveToSortedPosition(ConversationParticipant *participant)
{
    const int row = m_participants.indexOf(participant);
    if (row < 0)
        return;
    const int target = sortedPosition(participant);
    if (target == row || target == row + 1)
        return;
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), target);
    m_participants.removeAt(row);
    m_participants.insert(target > row ? target - 1 : target, participant);
    endMoveRows();
}

void ConversationParticipantList::connectParticipant(ConversationParticipant *participant, bool withVoice)
{
    connect(participant, &ConversationParticipant::destroying, this,
            &ConversationParticipantList::onParticipantDestroying);
    if (Tavri::RealmUserInterface *identity = participant->getIdentity())
        connect(identity->getQObject(), SIGNAL(displayNameUpdated(QString)), this,
                SLOT(onParticipantDisplayNameUpdated(QString)));
    connect(participant, &ConversationParticipant::invitedStateChanged, this,
            &ConversationParticipantList::onParticipantInvitationStateChanged);
    if (withVoice)
        connect(participant, &ConversationParticipant::voiceEnabledChanged, this,
                &ConversationParticipantList::onParticipantVoiceEnabledChanged);
}

void ConversationParticipantList::disconnectParticipant(ConversationParticipant *participant)
{
    disconnect(participant, nullptr, this, nullptr);
    if (Tavri::RealmUserInterface *identity = participant->getIdentity())
        disconnect(identity->getQObject(), SIGNAL(displayNameUpdated(QString)), this,
                   SLOT(onParticipantDisplayNameUpdated(QString)));
}

ConversationParticipant *ConversationParticipantList::addParticipant(Tavri::RealmUserInterface *identity)
{
    if (!TAVRI_CHECK(identity))
        return nullptr;
    Conversation *conversation = getConversation();
    QString sessionHandle;
    if (conversation) {
        sessionHandle = conversation->getOstrelSessionHandle(true);
        if (sessionHandle.isEmpty())
            sessionHandle = conversation->getTransitionOstrelSessionHandle();
    }

    ConversationParticipant *participant = nullptr;
    for (ConversationParticipant *candidate : qAsConst(m_participants)) {
        if (candidate->getIdentity() == identity) {
            participant = candidate;
            break;
        }
    }
    if (participant) {
        QMutexLocker locker(&reinsertionMutex());
        // Taken out first so that the announced state change finds no row to
        // move; the row goes back in at its new place below.
        const int row = m_participants.indexOf(participant);
        beginRemoveRows(QModelIndex(), row, row);
        m_participants.removeAt(row);
        endRemoveRows();
        disconnectParticipant(participant);
        participant->setInvitedState(ConversationParticipant::Present);
        m_invitedIdentities.removeIdentity(identity);
    } else {
        participant = new ConversationParticipant(identity, this, ConversationParticipant::Present);
    }

    // TODO(chat colours): give the identity a chat colour of the style when
    // it has none, once the style service exists.
    if (!sessionHandle.isEmpty())
        if (auto *tavriIdentity = qobject_cast<TavriIdentityRealmUser *>(identity->getQObject()))
            participant->setTavriIdentity(tavriIdentity);

    connectParticipant(participant, true);
    insertSorted(participant);
    emit participantCountChanged(m_participants.size());
    emit participantAdded(participant);
    return participant;
}

ConversationParticipant *
ConversationParticipantList::addInvitedParticipant(Tavri::RealmUserInterface *invitedIdentity)
{
    if (!TAVRI_CHECK(invitedIdentity))
        return nullptr;
    for (ConversationParticipant *participant : qAsConst(m_participants)) {
        if (participant->getIdentity() == invitedIdentity) {
            qDebug() << "ConversationParticipantList::addInvitedParticipant"
                     << "already invited / present" << invitedIdentity->getDisplayName();
            return participant;
        }
    }
    auto *participant = new ConversationParticipant(invitedIdentity, this, ConversationParticipant::Invited);
    connectParticipant(participant, false);
    insertSorted(participant);
    emit participantCountChanged(m_participants.size());
    m_invitedIdentities.addIdentity(invitedIdentity);
    emit participantAdded(participant);
    return participant;
}

ConversationParticipant *ConversationParticipantList::getParticipantBySipURI(const QString &sipURI) const
{
    for (ConversationParticipant *participant : m_participants)
        if (participant->getSipURI() == sipURI)
            return participant;
    return nullptr;
}

ConversationParticipant *ConversationParticipantList::getParticipantByUUID(const QString &uuid) const
{
    for (ConversationParticipant *participant : m_participants)
        if (participant->getIdentity() && participant->getIdentity()->getUid() == uuid)
            return participant;
    return nullptr;
}

void ConversationParticipantList::removeParticipant(ConversationParticipant *participant, bool deleteIt)
{
    if (!participant)
        return;
    disconnectParticipant(participant);
    for (int row = m_participants.indexOf(participant); row >= 0; row = m_participants.indexOf(participant)) {
        beginRemoveRows(QModelIndex(), row, row);
        m_participants.removeAt(row);
        endRemoveRows();
    }
    if (deleteIt && participant->parent() == this)
        participant->deleteLater();
    emit participantCountChanged(m_participants.size());
}

void ConversationParticipantList::removeParticipantForIdentity(Tavri::RealmUserInterface *identity)
{
    for (ConversationParticipant *participant : qAsConst(m_participants)) {
        if (participant->getIdentity() == identity) {
            removeParticipant(participant, true);
            return;
        }
    }
}

void ConversationParticipantList::clear()
{
    if (!m_participants.isEmpty()) {
        beginRemoveRows(QModelIndex(), 0, m_participants.size() - 1);
        const QList<ConversationParticipant *> participants = m_participants;
        m_participants.clear();
        for (ConversationParticipant *participant : participants) {
            disconnectParticipant(participant);
            if (participant->parent() == this)
                participant->deleteLater();
        }
        endRemoveRows();
        emit participantCountChanged(0);
    }
    m_invitedIdentities.clear();
}

ConversationParticipant *ConversationParticipantList::at(int index) const
{
    return m_participants.value(index, nullptr);
}

int ConversationParticipantList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_participants.size();
}

QVariant ConversationParticipantList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_participants.size())
        return QVariant();
    ConversationParticipant *participant = m_participants.at(index.row());
    Tavri::RealmUserInterface *identity = participant->getIdentity();
    switch (role) {
    case Qt::DisplayRole:
    case DisplayNameRole:
        return identity ? identity->getDisplayName() : QVariant();
    case ProfileImageURIRole:
        return identity ? identity->getProfileImageURI() : QVariant();
    case PresenceStateRole:
        return identity ? QVariant(int(identity->getPresenceState())) : QVariant();
    case PresenceMessageRole:
        return identity ? identity->getPresenceMessage() : QVariant();
    case UuidRole:
        return identity ? identity->getUid() : QVariant();
    case InvitationStateRole:
        return int(participant->getInvitedState());
    case IsSelfRole:
        return LocalUser::getLocalUser()->isLocalUserIdentity(identity);
    case VoiceEnabledRole:
        return participant->getVoiceEnabled();
    case ParticipantIdentityRefRole:
        return QVariant::fromValue(participant->getIdentityObject());
    case ConversationRefRole:
        return QVariant::fromValue(getConversation());
    case IsDialinUserRole:
        return participant->getSipURI().startsWith(QLatin1String("sip:phone."));
    case ParticipantRefRole:
        return QVariant::fromValue(participant);
    case SipURIRole:
        return participant->getSipURI();
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ConversationParticipantList::roleNames() const
{
    return {{DisplayNameRole, "displayName"},
            {ProfileImageURIRole, "profileImageURI"},
            {PresenceStateRole, "presenceState"},
            {PresenceMessageRole, "presenceMessage"},
            {IsTypingRole, "isTyping"},
            {UuidRole, "uuid"},
            {InvitationStateRole, "invitationState"},
            {IsSelfRole, "isSelf"},
            {IsContactRole, "isContact"},
            {VoiceEnabledRole, "voiceEnabled"},
            {ParticipantIdentityRefRole, "participantIdentityRef"},
            {ConversationRefRole, "conversationRef"},
            {IsSpeakingRole, "isSpeaking"},
            {IsMutedRole, "isMuted"},
            {IsMutedLocallyRole, "isMutedLocally"},
            {IsModeratorRole, "isModerator"},
            {VolumeAdjustmentRole, "volumeAdjustment"},
            {IsDialinUserRole, "isDialinUser"},
            {ParticipantRefRole, "participantRef"},
            {SipURIRole, "sipURI"}};
}

void ConversationParticipantList::notifyRowChanged(ConversationParticipant *participant,
                                                   const QVector<int> &roles)
{
    const int row = m_participants.indexOf(participant);
    if (row < 0)
        return;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, roles);
}

void ConversationParticipantList::onParticipantDestroying()
{
    removeParticipant(static_cast<ConversationParticipant *>(sender()), false);
}

void ConversationParticipantList::onParticipantDisplayNameUpdated(const QString &)
{
    auto *identity = qobject_cast<Tavri::RealmUserInterface *>(sender());
    if (!identity)
        return;
    ConversationParticipant *participant = getParticipantByUUID(identity->getUid());
    if (!participant)
        return;
    moveToSortedPosition(participant);
    notifyRowChanged(participant, {DisplayNameRole});
}

void ConversationParticipantList::onParticipantInvitationStateChanged(
    ConversationParticipant::InvitedState state)
{
    auto *participant = qobject_cast<ConversationParticipant *>(sender());
    if (!participant || !m_participants.contains(participant))
        return;
    moveToSortedPosition(participant);
    if (participant->getIdentity()) {
        if (state == ConversationParticipant::Invited)
            m_invitedIdentities.addIdentity(participant->getIdentity());
        else
            m_invitedIdentities.removeIdentity(participant->getIdentity());
    }
    notifyRowChanged(participant, {InvitationStateRole});
}

void ConversationParticipantList::onParticipantVoiceEnabledChanged(bool)
{
    notifyRowChanged(qobject_cast<ConversationParticipant *>(sender()), {VoiceEnabledRole});
}

void ConversationParticipantList::onInvitedParticipantRemoved(Tavri::RealmUserInterface *inviteeIdentity)
{
    if (!inviteeIdentity)
        return;
    ConversationParticipant *participant = getParticipantByUUID(inviteeIdentity->getUid());
    if (participant && participant->getInvitedState() != ConversationParticipant::Present)
        removeParticipantForIdentity(inviteeIdentity);
}
