#include "conversationparticipantlist.h"

#include "contactgrouplist.h"
#include "contactlist.h"
#include "conversation.h"
#include "deletelatertogether.h"
#include "localuser.h"
#include "reportassertionfailure.h"
#include "stylemanager.h"
#include "tavriidentityrealmuser.h"

#include <QDebug>
#include <QMetaMethod>

namespace {

QString displayNameOf(ConversationParticipant *participant)
{
    Tavri::RealmUserInterface *identity = participant->getIdentity();
    return identity ? identity->getDisplayName() : QString();
}

// The role list of a dataChanged for one role, made once: a speaking update
// then builds no vector.
const QVector<int> &singleRole(int role)
{
    using List = ConversationParticipantList;
    static const QVector<QVector<int>> roles = [] {
        QVector<QVector<int>> made;
        for (int role = List::DisplayNameRole; role <= List::SipURIRole; ++role)
            made.append(QVector<int>{role});
        return made;
    }();
    return roles.at(role - List::DisplayNameRole);
}

} // namespace

ConversationParticipantList::ConversationParticipantList(QObject *parent)
    : QAbstractListModel(parent)
    , m_invitedIdentities(this)
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
    // The participants (children, deleted after this) no longer call in.
    for (ConversationParticipant *participant : qAsConst(m_followed)) {
        participant->m_list = nullptr;
        participant->m_listFollowsVoice = false;
    }
}

Conversation *ConversationParticipantList::getConversation() const
{
    return qobject_cast<Conversation *>(parent());
}

int ConversationParticipantList::sortedPosition(ConversationParticipant *participant) const
{
    const QString name = displayNameOf(participant);
    const auto state = participant->getInvitedState();
    // The rows without the participant's own; the first of them that sorts
    // after it (a later invitation state, or the same state and a greater
    // name) is the answer, so equal rows stay in the order they came.
    const int own = rowOf(participant);
    const int count = m_participants.size() - (own >= 0 ? 1 : 0);
    const auto rowAt = [own](int i) { return own >= 0 && i >= own ? i + 1 : i; };
    int low = 0;
    int high = count;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        ConversationParticipant *other = m_participants.at(rowAt(middle));
        const bool after =
            other->getInvitedState() > state
            || (other->getInvitedState() == state && displayNameOf(other).compare(name, Qt::CaseInsensitive) > 0);
        if (after)
            high = middle;
        else
            low = middle + 1;
    }
    return low == count ? m_participants.size() : rowAt(low);
}

int ConversationParticipantList::rowOf(ConversationParticipant *participant) const
{
    const int hint = participant->m_row;
    if (hint < 0)
        return -1;
    if (hint < m_participants.size() && m_participants.at(hint) == participant)
        return hint;
    // Only this list writes its participants' rows.
    if (participant->parent() != this)
        return -1;
    reindexRows();
    const int row = participant->m_row;
    if (row < m_participants.size() && m_participants.at(row) == participant)
        return row;
    participant->m_row = -1;
    return -1;
}

void ConversationParticipantList::reindexRows() const
{
    // From the end, so that a participant listed twice gets its first row.
    for (int row = m_participants.size() - 1; row >= 0; --row)
        m_participants.at(row)->m_row = row;
}

namespace {

bool isEmptyKey(const QString &key)
{
    return key.isEmpty();
}

bool isEmptyKey(const void *key)
{
    return !key;
}

// An index entry names the participant under the key that the participant
// keeps in `record`, and under no other: so the entry goes with the row,
// whatever became of the participant's address, id or realm user meanwhile.
// Index is a QHash or the address index.
//
// The participant's entry under key goes, if it is still there.
template <typename Key>
void dropEntry(QHash<Key, ConversationParticipant *> &index, const Key &key, ConversationParticipant *participant)
{
    const auto known = index.find(key);
    if (known != index.end() && known.value() == participant)
        index.erase(known);
}

template <typename KeyOf>
void dropEntry(AddressIndex<ConversationParticipant, KeyOf> &index, const QString &key,
               ConversationParticipant *participant)
{
    // Found by the participant, whose address may be another one by now.
    index.remove(key, participant);
}

// Gives the participant the entry for key, dropping its entry under an
// older key.
template <typename Index, typename Key>
void indexRow(Index &index, Key ConversationParticipant::*record, const Key &key, ConversationParticipant *participant)
{
    Key &indexed = participant->*record;
    if (!isEmptyKey(indexed) && indexed != key)
        dropEntry(index, indexed, participant);
    indexed = key;
    index.insert(key, participant);
}

// The participant's entry goes, if it is still there.
template <typename Index, typename Key>
void forgetRow(Index &index, Key ConversationParticipant::*record, ConversationParticipant *participant)
{
    Key &indexed = participant->*record;
    if (isEmptyKey(indexed))
        return;
    dropEntry(index, indexed, participant);
    indexed = Key();
}

// A new row is known by key from now on; when another row has the same key,
// the entry goes, and the next look-up finds which one comes first. Returns
// whether that happened.
template <typename Index, typename Key>
bool noteRow(Index &index, Key ConversationParticipant::*record, const Key &key, ConversationParticipant *participant)
{
    ConversationParticipant *known = index.value(key);
    if (!known) {
        indexRow(index, record, key, participant);
        return false;
    }
    if (known == participant)
        return false;
    index.remove(key);
    return true;
}

} // namespace

template <typename Index, typename Key, typename Matches>
ConversationParticipant *ConversationParticipantList::findRow(Index &index, Key ConversationParticipant::*record,
                                                              const Key &key, Matches matches) const
{
    // An empty key is never indexed: many rows may share it.
    const bool indexed = !isEmptyKey(key);
    ConversationParticipant *known = indexed ? index.value(key) : nullptr;
    if (known && isRow(known) && matches(known))
        return known;
    for (ConversationParticipant *participant : m_participants) {
        if (matches(participant)) {
            if (indexed)
                indexRow(index, record, key, participant);
            return participant;
        }
    }
    if (indexed)
        index.remove(key);
    return nullptr;
}

void ConversationParticipantList::insertRow(int row, ConversationParticipant *participant)
{
    m_participants.insert(row, participant);
    participant->m_row = row;
    if (!participant->m_sipURI.isEmpty())
        noteRow(m_bySipURI, &ConversationParticipant::m_indexedSipURI, participant->m_sipURI, participant);
    if (Tavri::RealmUserInterface *identity = participant->getIdentity()) {
        if (noteRow(m_byIdentity, &ConversationParticipant::m_indexedIdentity, identity, participant))
            m_sharedIdentities.insert(identity);
        const QString uuid = identity->getUid();
        if (!uuid.isEmpty())
            noteRow(m_byUUID, &ConversationParticipant::m_indexedUUID, uuid, participant);
    }
}

void ConversationParticipantList::removeRow(int row)
{
    ConversationParticipant *participant = m_participants.takeAt(row);
    if (m_participants.contains(participant))
        return;
    participant->m_row = -1;
    forgetRows(participant);
}

void ConversationParticipantList::forgetRows(ConversationParticipant *participant)
{
    forgetRow(m_bySipURI, &ConversationParticipant::m_indexedSipURI, participant);
    forgetRow(m_byIdentity, &ConversationParticipant::m_indexedIdentity, participant);
    forgetRow(m_byUUID, &ConversationParticipant::m_indexedUUID, participant);
}

void ConversationParticipantList::followedSipURIChanged(ConversationParticipant *participant)
{
    // The row is found under its new address from the next look-up on.
    forgetRow(m_bySipURI, &ConversationParticipant::m_indexedSipURI, participant);
    if (isRow(participant) && !participant->m_sipURI.isEmpty())
        noteRow(m_bySipURI, &ConversationParticipant::m_indexedSipURI, participant->m_sipURI, participant);
}

ConversationParticipant *ConversationParticipantList::participantFor(Tavri::RealmUserInterface *identity) const
{
    // A realm user that was never a row (the common case when adding to a
    // busy channel) is answered without a scan of every row.
    if (!identity || (!m_byIdentity.contains(identity) && !m_sharedIdentities.contains(identity)))
        return nullptr;
    return findRow(m_byIdentity, &ConversationParticipant::m_indexedIdentity, identity,
                   [identity](ConversationParticipant *participant) { return participant->getIdentity() == identity; });
}

void ConversationParticipantList::insertSorted(ConversationParticipant *participant)
{
    const int row = sortedPosition(participant);
    beginInsertRows(QModelIndex(), row, row);
    insertRow(row, participant);
    endInsertRows();
}

void ConversationParticipantList::moveToSortedPosition(ConversationParticipant *participant)
{
    const int row = rowOf(participant);
    if (row < 0)
        return;
    const int target = sortedPosition(participant);
    if (target == row || target == row + 1)
        return;
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), target);
    m_participants.removeAt(row);
    participant->m_row = target > row ? target - 1 : target;
    m_participants.insert(participant->m_row, participant);
    endMoveRows();
}

void ConversationParticipantList::connectParticipant(ConversationParticipant *participant, bool withVoice)
{
    // Unique, so that a participant taken out and put back is followed once.
    const auto unique = Qt::UniqueConnection;
    if (Tavri::RealmUserInterface *identity = participant->getIdentity()) {
        QObject *identityObject = identity->getQObject();
        connect(identityObject, SIGNAL(displayNameUpdated(QString)), this,
                SLOT(onParticipantDisplayNameUpdated(QString)), unique);
        connect(identityObject, SIGNAL(profileIconUpdated(QUrl)), this, SLOT(onParticipantProfileImageChanged(QUrl)),
                unique);
        connect(identityObject, SIGNAL(presenceUpdated(Tavri::RealmUserInterface::PresenceState, QString)), this,
                SLOT(onParticipantPresenceChanged(Tavri::RealmUserInterface::PresenceState, QString)), unique);
    }
    // The participant itself calls in (followedParticipantChanged and the
    // others) instead of a connection per signal: a speaking update in a busy
    // channel then reads the participant and its row, not a connection and
    // a slot object of its own. Its voice roles are followed from the time it
    // is added present.
    m_followed.insert(participant);
    participant->m_list = this;
    if (withVoice)
        participant->m_listFollowsVoice = true;
}

void ConversationParticipantList::disconnectParticipant(ConversationParticipant *participant)
{
    disconnect(participant, nullptr, this, nullptr);
    m_followed.remove(participant);
    if (participant->m_list == this) {
        participant->m_list = nullptr;
        participant->m_listFollowsVoice = false;
    }
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

    ConversationParticipant *participant = participantFor(identity);
    if (participant) {
        // The state change is announced while the row is still listed, so
        // that the row's own handlers see it; no lock is held here, since a
        // handler may come back into this list.
        participant->setInvitedState(ConversationParticipant::Present);
        const int row = rowOf(participant);
        if (row >= 0) {
            beginRemoveRows(QModelIndex(), row, row);
            removeRow(row);
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

ConversationParticipant *ConversationParticipantList::addInvitedParticipant(Tavri::RealmUserInterface *invitedIdentity)
{
    if (!TAVRI_CHECK(invitedIdentity))
        return nullptr;
    if (ConversationParticipant *listedParticipant = participantFor(invitedIdentity)) {
        qDebug() << "ConversationParticipantList::addInvitedParticipant"
                 << "already invited / present" << invitedIdentity->getDisplayName();
        return listedParticipant;
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
    // The last answer for the address holds while that participant is still
    // a row of that address (a row added with the same address drops it).
    // Compared with the participant's own copy of its address, in place: the
    // realm user is not read, and no copy is made whose shared count would
    // be written for every update.
    return findRow(m_bySipURI, &ConversationParticipant::m_indexedSipURI, sipURI,
                   [&sipURI](ConversationParticipant *participant) { return participant->m_sipURI == sipURI; });
}

ConversationParticipant *ConversationParticipantList::getParticipantByUUID(const QString &uuid) const
{
    // As for addresses: the last answer holds while it is a row of that id.
    return findRow(m_byUUID, &ConversationParticipant::m_indexedUUID, uuid,
                   [&uuid](ConversationParticipant *participant) {
                       return participant->getIdentity() && participant->getIdentity()->getUid() == uuid;
                   });
}

void ConversationParticipantList::removeParticipant(ConversationParticipant *participant, bool deleteIt)
{
    if (!participant)
        return;
    disconnectParticipant(participant);
    for (int row = rowOf(participant); row >= 0; row = rowOf(participant)) {
        beginRemoveRows(QModelIndex(), row, row);
        removeRow(row);
        endRemoveRows();
    }
    if (deleteIt && participant->parent() == this)
        participant->deleteLater();
    emitCountsChanged();
}

void ConversationParticipantList::removeParticipantForIdentity(Tavri::RealmUserInterface *identity)
{
    if (ConversationParticipant *participant = participantFor(identity))
        removeParticipant(participant, true);
}

void ConversationParticipantList::clear()
{
    if (!m_participants.isEmpty()) {
        beginRemoveRows(QModelIndex(), 0, m_participants.size() - 1);
        const QList<ConversationParticipant *> participants = m_participants;
        m_participants.clear();
        for (ConversationParticipant *participant : participants) {
            participant->m_row = -1;
            participant->m_indexedSipURI.clear();
            participant->m_indexedIdentity = nullptr;
            participant->m_indexedUUID.clear();
        }
        m_bySipURI.clear();
        m_byIdentity.clear();
        m_sharedIdentities.clear();
        m_byUUID.clear();
        // Both the participant's and its realm user's connections go, so
        // that a later refresh of the list does not follow a user twice.
        for (ConversationParticipant *participant : participants)
            disconnectParticipant(participant);
        // Those the list made go; others belong to their makers.
        deleteLaterTogether(this, participants);
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

void ConversationParticipantList::notifyRowChanged(ConversationParticipant *participant, const QVector<int> &roles)
{
    if (!participant)
        return;
    const int row = rowOf(participant);
    if (row < 0)
        return;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, roles);
}

void ConversationParticipantList::onParticipantDestroying()
{
    removeParticipant(static_cast<ConversationParticipant *>(sender()), false);
}

void ConversationParticipantList::followedParticipantChanged(ConversationParticipant *participant, int role)
{
    notifyRowChanged(participant, singleRole(role));
}

void ConversationParticipantList::followedInvitedStateChanged(ConversationParticipant *participant,
                                                              ConversationParticipant::InvitedState state)
{
    invitationStateChanged(listed(participant), state);
}

void ConversationParticipantList::followedParticipantDestroying(ConversationParticipant *participant)
{
    removeParticipant(participant, false);
}

ConversationParticipant *ConversationParticipantList::senderParticipant() const
{
    return listed(qobject_cast<ConversationParticipant *>(sender()));
}

ConversationParticipant *ConversationParticipantList::listed(ConversationParticipant *participant) const
{
    return participant && participant->m_list == this && isRow(participant) ? participant : nullptr;
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
    notifyRowChanged(participant, {DisplayNameRole, Qt::DisplayRole});
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

void ConversationParticipantList::onParticipantInvitationStateChanged(ConversationParticipant::InvitedState state)
{
    invitationStateChanged(senderParticipant(), state);
}

void ConversationParticipantList::invitationStateChanged(ConversationParticipant *participant,
                                                         ConversationParticipant::InvitedState state)
{
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
    if (ConversationParticipant *participant = participantFor(contactIdentity)) {
        notifyRowChanged(participant, {IsContactRole});
        emitContactCountChanged();
    }
}
