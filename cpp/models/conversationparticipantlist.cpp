#include "conversationparticipantlist.h"
#include "contactgrouplist.h"
#include "contactlist.h"
#include "conversation.h"
#include "localuser.h"
#include "reportassertionfailure.h"
#include "stylemanager.h"
#include "tavriidentityrealmuser.h"

#include <QDebug>
#include <QMetaMethod>

namespace
{

QString displayNameOf(ConversationParticipant *participant)
{
    Tavri::RealmUserInterface *identity = participant->getIdentity();
    return identity ? identity->getDisplayName() : QString();
}

} // namespace

ConversationParticipantList::ConversationParticipantList(QObject *parent)
    : QAbstractListModel(parent), m_invitedIdentities(this)
{
    connect(&m_invitedIdentities, &RealmIdentityList::realmIdentityRemoved, this,
            &ConversationParticipantList::onInvitedParticipantRemoved);
    // A participant who becomes or stops being a friend of the local user
    // changes its isContact role. Missing only while the local user is
    // still being built.
    if (ContactList *contacts = LocalUser::getLocalUser()->getContactList()) {
        connect(contacts, &ContactList::contactIdentityAdded, this,
                &ConversationParticipantList::onLocalUserContactListIdentityAddedOrRemoved);
        connect(contacts, &ContactList::contactIdentityRemoved, this,
                &ConversationParticipantList::onLocalUserContactListIdentityAddedOrRemoved);
    }
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
    // Unique, so that a participant taken out and put back is followed once.
    const auto unique = Qt::UniqueConnection;
    connect(participant, &ConversationParticipant::destroying, this,
            &ConversationParticipantList::onParticipantDestroying, unique);
    if (Tavri::RealmUserInterface *identity = participant->getIdentity()) {
        QObject *identityObject = identity->getQObject();
        connect(identityObject, SIGNAL(displayNameUpdated(QString)), this,
                SLOT(onParticipantDisplayNameUpdated(QString)), unique);
        connect(identityObject, SIGNAL(profileIconUpdated(QUrl)), this,
                SLOT(onParticipantProfileImageChanged(QUrl)), unique);
        connect(identityObject, SIGNAL(presenceUpdated(Tavri::RealmUserInterface::PresenceState, QString)), this,
                SLOT(onParticipantPresenceChanged(Tavri::RealmUserInterface::PresenceState, QString)), unique);
    }
    connect(participant, &ConversationParticipant::isTypingChanged, this,
            &ConversationParticipantList::onParticipantIsTypingChanged, unique);
    connect(participant, &ConversationParticipant::invitedStateChanged, this,
            &ConversationParticipantList::onParticipantInvitationStateChanged, unique);
    if (!withVoice)
        return;
    connect(participant, &ConversationParticipant::isSpeakingChanged, this,
            &ConversationParticipantList::onParticipantIsSpeakingChanged, unique);
    connect(participant, &ConversationParticipant::isMutedChanged, this,
            &ConversationParticipantList::onParticipantIsMutedChanged, unique);
    connect(participant, &ConversationParticipant::isMutedLocallyChanged, this,
            &ConversationParticipantList::onParticipantIsMutedLocallyChanged, unique);
    connect(participant, &ConversationParticipant::isModeratorChanged, this,
            &ConversationParticipantList::onParticipantIsModeratorChanged, unique);
    connect(participant, &ConversationParticipant::localVolumeAdjustmentChanged, this,
            &ConversationParticipantList::onParticipantLocalVolumeAdjustmentChanged, unique);
    connect(participant, &ConversationParticipant::voiceEnabledChanged, this,
            &ConversationParticipantList::onParticipantVoiceEnabledChanged, unique);
}

void ConversationParticipantList::disconnectParticipant(ConversationParticipant *participant)
{
    disconnect(participant, nullptr, this, nullptr);
    if (Tavri::RealmUserInterface *identity = participant->getIdentity())
        disconnect(identity->getQObject(), nullptr, this, nullptr);
}

void ConversationParticipantList::giveChatColor(Tavri::RealmUserInterface *identity)
{
    if (!identity->getChatColor().isEmpty())
        return;
    const QColor color = StyleManager::getInstance()->takeChatColor();
    if (color.isValid())
        identity->setChatColor(color.name());
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
        // The state change is announced while the row is still listed, so
        // that the row's own handlers see it; no lock is held here, since a
        // handler may come back into this list.
        participant->setInvitedState(ConversationParticipant::Present);
        const int row = m_participants.indexOf(participant);
        if (row >= 0) {
            beginRemoveRows(QModelIndex(), row, row);
            m_participants.removeAt(row);
            endRemoveRows();
        }
    } else {
        participant = new ConversationParticipant(identity, this, ConversationParticipant::Present);
    }

    giveChatColor(identity);
    if (!sessionHandle.isEmpty())
        if (auto *tavriIdentity = qobject_cast<TavriIdentityRealmUser *>(identity->getQObject()))
            participant->setTavriIdentity(tavriIdentity);

    connectParticipant(participant, true);
    insertSorted(participant);
    emitCountsChanged();
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
    emitCountsChanged();
    m_invitedIdentities.addIdentity(invitedIdentity);
    emit participantAdded(participant);
    return participant;
}

int ConversationParticipantList::friendCount() const
{
    const ContactGroupList *groups = LocalUser::getLocalUser()->getContactGroups();
    if (!groups)
        return 0;
    int count = 0;
    for (ConversationParticipant *participant : m_participants)
        if (Tavri::RealmUserInterface *identity = participant->getIdentity())
            count += groups->containsIdentity(identity) ? 1 : 0;
    return count;
}

void ConversationParticipantList::emitCountsChanged()
{
    emit participantCountChanged(m_participants.size());
    emitContactCountChanged();
}

void ConversationParticipantList::emitContactCountChanged()
{
    // Counting asks the contact groups about every row: skip it while nobody
    // listens, which keeps adding to a busy channel linear.
    static const QMetaMethod signal =
        QMetaMethod::fromSignal(&ConversationParticipantList::participantContactCountChanged);
    if (isSignalConnected(signal))
        emit participantContactCountChanged(friendCount());
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
    emitCountsChanged();
}

void ConversationParticipantList::removeParticipantForIdentity(Tavri::RealmUserInterface *identity)
{
    if (!identity)
        return;
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
            // Both the participant's and its realm user's connections go, so
            // that a later refresh of the list does not follow a user twice.
            disconnectParticipant(participant);
            if (participant->parent() == this)
                participant->deleteLater();
        }
        endRemoveRows();
        emitCountsChanged();
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
    case IsTypingRole:
        return participant->getIsTyping();
    case UuidRole:
        return identity ? identity->getUid() : QVariant();
    case InvitationStateRole:
        return int(participant->getInvitedState());
    case IsSelfRole:
        return identity ? QVariant(LocalUser::getLocalUser()->isLocalUserIdentity(identity)) : QVariant();
    case IsContactRole: {
        const ContactList *contacts = LocalUser::getLocalUser()->getContactList();
        return identity ? QVariant(contacts && contacts->containsIdentity(identity)) : QVariant();
    }
    case VoiceEnabledRole:
        return participant->getVoiceEnabled();
    case ParticipantIdentityRefRole:
        return QVariant::fromValue(participant->getIdentityObject());
    case ConversationRefRole:
        return QVariant::fromValue(getConversation());
    case IsSpeakingRole:
        return participant->getIsSpeaking();
    case IsMutedRole:
        return participant->getIsMuted();
    case IsMutedLocallyRole:
        return participant->getIsMutedLocally();
    case IsModeratorRole:
        return participant->getIsModerator();
    case VolumeAdjustmentRole:
        return participant->getLocalVolumeAdjustment();
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
    if (!participant)
        return;
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

ConversationParticipant *ConversationParticipantList::senderParticipant() const
{
    auto *participant = qobject_cast<ConversationParticipant *>(sender());
    return m_participants.contains(participant) ? participant : nullptr;
}

ConversationParticipant *ConversationParticipantList::senderIdentityParticipant() const
{
    auto *identity = qobject_cast<Tavri::RealmUserInterface *>(sender());
    return identity ? getParticipantByUUID(identity->getUid()) : nullptr;
}

void ConversationParticipantList::onParticipantDisplayNameUpdated(const QString &)
{
    ConversationParticipant *participant = senderIdentityParticipant();
    if (!participant)
        return;
    moveToSortedPosition(participant);
    notifyRowChanged(participant, {DisplayNameRole});
}

void ConversationParticipantList::onParticipantProfileImageChanged(const QUrl &)
{
    notifyRowChanged(senderIdentityParticipant(), {ProfileImageURIRole});
}

void ConversationParticipantList::onParticipantPresenceChanged(Tavri::RealmUserInterface::PresenceState,
                                                               const QString &)
{
    notifyRowChanged(senderIdentityParticipant(), {PresenceMessageRole, PresenceStateRole});
}

void ConversationParticipantList::onParticipantIsTypingChanged(bool)
{
    notifyRowChanged(senderParticipant(), {IsTypingRole});
}

void ConversationParticipantList::onParticipantInvitationStateChanged(
    ConversationParticipant::InvitedState state)
{
    ConversationParticipant *participant = senderParticipant();
    if (!participant)
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

void ConversationParticipantList::onParticipantIsSpeakingChanged(bool)
{
    notifyRowChanged(senderParticipant(), {IsSpeakingRole});
}

void ConversationParticipantList::onParticipantIsMutedChanged(bool)
{
    notifyRowChanged(senderParticipant(), {IsMutedRole});
}

void ConversationParticipantList::onParticipantIsMutedLocallyChanged(bool)
{
    notifyRowChanged(senderParticipant(), {IsMutedLocallyRole});
}

void ConversationParticipantList::onParticipantIsModeratorChanged(bool)
{
    notifyRowChanged(senderParticipant(), {IsModeratorRole});
}

void ConversationParticipantList::onParticipantLocalVolumeAdjustmentChanged(int)
{
    notifyRowChanged(senderParticipant(), {VolumeAdjustmentRole});
}

void ConversationParticipantList::onParticipantVoiceEnabledChanged(bool)
{
    notifyRowChanged(senderParticipant(), {VoiceEnabledRole});
}

void ConversationParticipantList::onInvitedParticipantRemoved(Tavri::RealmUserInterface *inviteeIdentity)
{
    if (!inviteeIdentity)
        return;
    ConversationParticipant *participant = getParticipantByUUID(inviteeIdentity->getUid());
    if (participant && participant->getInvitedState() != ConversationParticipant::Present)
        removeParticipantForIdentity(inviteeIdentity);
}

void ConversationParticipantList::onLocalUserContactListIdentityAddedOrRemoved(
    Tavri::RealmUserInterface *contactIdentity)
{
    if (!contactIdentity)
        return;
    for (ConversationParticipant *participant : qAsConst(m_participants)) {
        if (participant->getIdentity() == contactIdentity) {
            notifyRowChanged(participant, {IsContactRole});
            emitContactCountChanged();
            return;
        }
    }
}
