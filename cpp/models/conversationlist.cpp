#include "conversationlist.h"

#include "conversation.h"
#include "localuser.h"
#include "reportassertionfailure.h"
#include "socialmanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "tavrisharedidentityrealm.h"

#include <QDebug>
#include <QVarLengthArray>

#include <algorithm>

namespace {

const QString kPermanentPrefix = QStringLiteral("sip:confctl-");

bool nameGreater(Conversation *row, Conversation *conversation)
{
    return row->getDisplayName().compare(conversation->getDisplayName(), Qt::CaseInsensitive) > 0;
}

} // namespace

ConversationList::ConversationList(QObject *parent)
    : QAbstractListModel(parent)
{
}

ConversationList::~ConversationList()
{
    if (m_builtInRealm)
        disconnect(m_builtInRealm.data(), &TavriIdentityRealm::permanentConversationInfoReceived, this,
                   &ConversationList::onPermanentConversationReceived);
    for (Conversation *conversation : qAsConst(m_conversations))
        disconnectConversation(conversation);
}

// --- rows -----------------------------------------------------------------

void ConversationList::addConversation(Conversation *conversation, bool refresh)
{
    if (!conversation)
        return;
    qDebug() << "ConversationList::addConversation" << conversation << conversation->getDisplayName()
             << conversation->getSipURI();
    if (isListed(conversation))
        return;

    connectConversation(conversation);

    int row = m_conversations.size();
    if (m_treeMode) {
        if (isBuiltInRealm(conversation)) {
            const int depth = getTreeDepth(conversation);
            int start = 0;
            Conversation *parent = listedBuiltInConversation(conversation->getParentURI());
            if (parent && parent != conversation) {
                expandItem(rowOf(parent), refresh);
                // Opening the parent can change the rows (nothing in this
                // list does, but a slot connected to the row notices might).
                start = rowOf(parent) + 1;
            }
            row = siblingPlace(conversation, depth, start, {});
        } else {
            row = otherRealmPlace(conversation, {});
        }
    }

    beginInsertRows(QModelIndex(), row, row);
    m_conversations.insert(row, conversation);
    m_opened.insert(conversation, false);
    fileByParentURI(conversation);
    endInsertRows();

    if (m_treeMode)
        adoptChildren(conversation, refresh);
}

void ConversationList::removeConversation(Conversation *conversation)
{
    removeConversation(conversation, true);
}

void ConversationList::removeConversation(Conversation *conversation, bool deleteOwned)
{
    if (!conversation)
        return;
    qDebug() << "ConversationList::removeConversation" << conversation->getSipURI() << conversation->getDisplayName();
    disconnectConversation(conversation);

    for (int row = m_conversations.indexOf(conversation); row >= 0; row = m_conversations.indexOf(conversation)) {
        collapseItem(row, true);
        // Collapsing removes rows below this one only.
        beginRemoveRows(QModelIndex(), row, row);
        m_conversations.removeAt(row);
        endRemoveRows();
    }
    m_opened.remove(conversation);
    m_rowHints.remove(conversation);
    unfileByParentURI(conversation);

    // A conversation this list made for a realm entry has no other holder:
    // whatever its join state, it goes with its row.
    if (deleteOwned && conversation->parent() == this) {
        qDebug() << "ConversationList::removeConversation"
                 << "deleting conversation created by this list";
        conversation->deleteLater();
    }
}

void ConversationList::clear()
{
    if (m_conversations.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_conversations.size() - 1);
    const QList<Conversation *> conversations = m_conversations;
    for (Conversation *conversation : conversations) {
        qDebug() << "ConversationList::clear"
                 << "removing conversation" << conversation->getDisplayName();
        disconnectConversation(conversation);
        m_conversations.removeOne(conversation);
        if (conversation->parent() == this) {
            qDebug() << "ConversationList::clear"
                     << "deleting conversation created by this list";
            conversation->deleteLater();
        }
    }
    // Entries of dropped conversations would outlive them: a later object at
    // the same address would come in opened.
    m_opened.clear();
    m_rowHints.clear();
    m_listedByParentURI.clear();
    m_filedParentURI.clear();
    endRemoveRows();
}

void ConversationList::leaveAll()
{
    const QList<Conversation *> conversations = m_conversations;
    for (Conversation *conversation : conversations)
        conversation->requestLeaveConversation(true);
}

void ConversationList::setTreeMode(bool treeMode)
{
    m_treeMode = treeMode;
}

Conversation *ConversationList::at(int index) const
{
    if (index < 0 || index >= m_conversations.size()) {
        qDebug() << "ConversationList::at" << index << m_conversations.size();
        reportAssertionFailure("index >= 0 && index < m_conversations.size()", __FILE__, __LINE__,
                               "ConversationList::at", true);
        return nullptr;
    }
    return m_conversations.at(index);
}

// --- the channel tree -----------------------------------------------------

void ConversationList::expandItem(int itemIndex, bool refresh)
{
    if (itemIndex < 0 || itemIndex >= m_conversations.size()) {
        reportAssertionFailure("itemIndex >= 0 && itemIndex < m_conversations.size()", __FILE__, __LINE__,
                               "ConversationList::expandItem", true);
        return;
    }
    Conversation *conversation = m_conversations.at(itemIndex);
    if (m_opened.value(conversation, false))
        return;
    // Children arrive only under opened rows, so the list follows the
    // hierarchy answers from the first opened row on.
    followHierarchyAnswers();
    m_opened.insert(conversation, true);
    const QModelIndex changed = index(itemIndex);
    emit dataChanged(changed, changed, {IsOpenedRole});
    if (refresh)
        sendHierarchyRequest(conversation);
}

void ConversationList::collapseItem(int itemIndex, bool refresh)
{
    if (itemIndex < 0 || itemIndex >= m_conversations.size()) {
        reportAssertionFailure("itemIndex >= 0 && itemIndex < m_conversations.size()", __FILE__, __LINE__,
                               "ConversationList::collapseItem", true);
        return;
    }
    Conversation *conversation = m_conversations.at(itemIndex);
    if (!m_opened.value(conversation, false))
        return;
    m_opened.insert(conversation, false);
    const QModelIndex changed = index(itemIndex);
    emit dataChanged(changed, changed, {IsOpenedRole});

    const QString realmID = conversation->getRealmID();
    const QString uri = conversation->getSipURI();
    int row = itemIndex + 1;
    while (row < m_conversations.size() && m_conversations.at(row)->getRealmID() == realmID) {
        Conversation *child = m_conversations.at(row);
        // The removal takes the child's own listed children too; the walk
        // stays at this row, which now holds the next one.
        if (child != conversation && !uri.isEmpty() && child->getParentURI() == uri)
            removeConversation(child);
        else
            ++row;
    }
    if (refresh)
        sendHierarchyRequest(conversation);
}

int ConversationList::getTreeDepth(Conversation *conversation) const
{
    if (!conversation || conversation->getParentURI().isEmpty())
        return 0;
    TavriIdentityRealm *builtInRealm = TavriIdentityRealm::getInstance();
    // Channel records can make parents loop; each ancestor counts once.
    QSet<Conversation *> visited{conversation};
    int depth = 0;
    QString uri = conversation->getParentURI();
    for (;;) {
        Conversation *parent = builtInRealm->getConversation(uri);
        if (!parent || !isListed(parent) || visited.contains(parent))
            return depth;
        visited.insert(parent);
        ++depth;
        uri = parent->getParentURI();
        if (uri.isEmpty())
            return depth;
    }
}

void ConversationList::onPermanentConversationReceived(Conversation *conversation)
{
    if (!conversation)
        return;
    Conversation *parent = listedBuiltInConversation(conversation->getParentURI());
    if (parent && parent != conversation && m_opened.value(parent, false))
        addConversation(conversation, false);
}

Conversation *ConversationList::listedBuiltInConversation(const QString &sipURI) const
{
    if (sipURI.isEmpty())
        return nullptr;
    Conversation *conversation = TavriIdentityRealm::getInstance()->getConversation(sipURI);
    return isListed(conversation) ? conversation : nullptr;
}

bool ConversationList::isBuiltInRealm(Conversation *conversation) const
{
    // There is one built-in realm, so its class tells it; this does not create
    // the realm as its accessor would.
    Tavri::IdentityRealmInterface *realm = conversation->getIdentityRealm();
    return realm && qobject_cast<TavriIdentityRealm *>(realm->realmObject());
}

void ConversationList::followHierarchyAnswers()
{
    if (m_builtInRealm)
        return;
    m_builtInRealm = TavriIdentityRealm::getInstance();
    connect(m_builtInRealm.data(), &TavriIdentityRealm::permanentConversationInfoReceived, this,
            &ConversationList::onPermanentConversationReceived);
}

bool ConversationList::isListedDescendant(Conversation *conversation, Conversation *ancestor) const
{
    QSet<Conversation *> visited{conversation};
    Conversation *parent = listedBuiltInConversation(conversation->getParentURI());
    while (parent && !visited.contains(parent)) {
        if (parent == ancestor)
            return true;
        visited.insert(parent);
        parent = listedBuiltInConversation(parent->getParentURI());
    }
    return false;
}

int ConversationList::blockSize(int row) const
{
    Conversation *head = m_conversations.at(row);
    int size = 1;
    while (row + size < m_conversations.size() && isListedDescendant(m_conversations.at(row + size), head))
        ++size;
    return size;
}

int ConversationList::rowOf(Conversation *conversation) const
{
    // Rows mostly come and go below a parent, so its last row is checked
    // first.
    const int hint = m_rowHints.value(conversation, -1);
    if (hint >= 0 && hint < m_conversations.size() && m_conversations.at(hint) == conversation)
        return hint;
    const int row = m_conversations.indexOf(conversation);
    if (row >= 0)
        m_rowHints.insert(conversation, row);
    else
        m_rowHints.remove(conversation);
    return row;
}

int ConversationList::siblingPlace(Conversation *conversation, int depth, int startRow, const QSet<int> &skip) const
{
    const int place = sortedSiblingPlace(conversation, depth, startRow, skip);
    return place >= 0 ? place : scannedSiblingPlace(conversation, depth, startRow, skip);
}

int ConversationList::sortedSiblingPlace(Conversation *conversation, int depth, int startRow,
                                         const QSet<int> &skip) const
{
    // The rows below the parent are its children in name order, each
    // followed by its own listed descendants; so the first row where the
    // scan below stops is found by a binary search on the child of the
    // parent each row lies under. The rows being moved (one block) are
    // left out. Anything that breaks that shape (a parent loop, a block
    // that is not contiguous) is answered by the scan.
    int skipStart = 0;
    int skipCount = skip.size();
    if (skipCount > 0) {
        skipStart = *std::min_element(skip.cbegin(), skip.cend());
        for (int row = skipStart; row < skipStart + skipCount; ++row)
            if (!skip.contains(row))
                return -1;
    }
    if (skipCount > 0 && startRow > skipStart && startRow < skipStart + skipCount)
        return -1;
    const int rows = m_conversations.size() - skipCount;
    const auto realRow = [&](int k) { return skipCount > 0 && k >= skipStart ? k + skipCount : k; };
    Conversation *parent = startRow > 0 ? m_conversations.at(startRow - 1) : nullptr;
    if (depth > 0 && !parent)
        return -1;
    const int first = skipCount > 0 && startRow > skipStart ? startRow - skipCount : startRow;
    if (first < 0 || first > rows)
        return -1;
    Tavri::IdentityRealmInterface *realm = conversation->getIdentityRealm();
    const QString realmID = conversation->getRealmID();
    const QString name = conversation->getDisplayName();
    TavriIdentityRealm *builtInRealm = TavriIdentityRealm::getInstance();
    bool broken = false;
    // Whether the scan would have stopped at or before row k.
    const auto stopsBy = [&](int k) {
        Conversation *other = m_conversations.at(realRow(k));
        if (other->getIdentityRealm() != realm && other->getRealmID() != realmID)
            return true;
        // The listed ancestors of the row, nearest first.
        QVarLengthArray<Conversation *, 8> chain;
        for (QString uri = other->getParentURI(); !uri.isEmpty(); uri = chain.last()->getParentURI()) {
            Conversation *up = builtInRealm->getConversation(uri);
            if (!up || !isListed(up))
                break;
            if (up == other || std::find(chain.cbegin(), chain.cend(), up) != chain.cend()) {
                broken = true;
                return true;
            }
            chain.append(up);
        }
        const int otherDepth = int(chain.size());
        if (otherDepth < depth)
            return true;
        // Under another parent: past the parent's rows.
        if (depth > 0 && chain.at(otherDepth - depth) != parent)
            return true;
        Conversation *sibling = otherDepth == depth ? other : chain.at(otherDepth - depth - 1);
        return sibling->getDisplayName().compare(name, Qt::CaseInsensitive) > 0;
    };
    int low = first;
    int high = rows;
    while (low < high && !broken) {
        const int middle = low + (high - low) / 2;
        if (stopsBy(middle))
            high = middle;
        else
            low = middle + 1;
    }
    // The neighbours agree with the answer, or the shape is not what it
    // should be.
    if (broken || (low < rows && !stopsBy(low)) || (low > first && stopsBy(low - 1)))
        return -1;
    return low < rows ? realRow(low) : m_conversations.size();
}

int ConversationList::scannedSiblingPlace(Conversation *conversation, int depth, int startRow,
                                          const QSet<int> &skip) const
{
    // Nothing the scan calls changes the rows, names or parents, so what
    // stays the same for every row is taken once: the placed conversation's
    // realm and name, and the listed ancestors above the last parent URI met
    // (the rows passed are mostly siblings, which share them).
    Tavri::IdentityRealmInterface *realm = conversation->getIdentityRealm();
    const QString realmID = conversation->getRealmID();
    const QString name = conversation->getDisplayName();
    QString chainURI;
    QVarLengthArray<Conversation *, 8> chain;
    const auto depthOf = [&](Conversation *row) {
        const QString parentURI = row->getParentURI();
        if (parentURI.isEmpty())
            return 0;
        if (parentURI != chainURI) {
            // getTreeDepth's walk, from the parent up, without the row.
            chainURI = parentURI;
            chain.clear();
            TavriIdentityRealm *builtInRealm = TavriIdentityRealm::getInstance();
            QString uri = parentURI;
            for (;;) {
                Conversation *parent = builtInRealm->getConversation(uri);
                if (!parent || !isListed(parent) || std::find(chain.cbegin(), chain.cend(), parent) != chain.cend())
                    break;
                chain.append(parent);
                uri = parent->getParentURI();
                if (uri.isEmpty())
                    break;
            }
        }
        // A row among its own ancestors (a parent loop) stops the walk at
        // itself: that one is walked alone.
        if (std::find(chain.cbegin(), chain.cend(), row) != chain.cend())
            return getTreeDepth(row);
        return int(chain.size());
    };
    for (int row = startRow; row < m_conversations.size(); ++row) {
        if (skip.contains(row))
            continue;
        Conversation *other = m_conversations.at(row);
        if (other->getIdentityRealm() != realm && other->getRealmID() != realmID)
            return row;
        const int otherDepth = depthOf(other);
        if (otherDepth < depth
            || (otherDepth == depth && other->getDisplayName().compare(name, Qt::CaseInsensitive) > 0))
            return row;
    }
    return m_conversations.size();
}

int ConversationList::otherRealmPlace(Conversation *conversation, const QSet<int> &skip) const
{
    const QString realmID = conversation->getRealmID();
    bool ownRealmSeen = false;
    for (int row = 0; row < m_conversations.size(); ++row) {
        if (skip.contains(row))
            continue;
        Conversation *other = m_conversations.at(row);
        if (other->getRealmID() == realmID)
            ownRealmSeen = true;
        else if (ownRealmSeen)
            return row;
        if (nameGreater(other, conversation))
            return row;
    }
    return m_conversations.size();
}

bool ConversationList::moveBlock(int first, int count, int destination)
{
    if (destination >= first && destination <= first + count)
        return false;
    beginMoveRows(QModelIndex(), first, first + count - 1, QModelIndex(), destination);
    const QList<Conversation *> block = m_conversations.mid(first, count);
    for (int i = 0; i < count; ++i)
        m_conversations.removeAt(first);
    const int target = destination > first ? destination - count : destination;
    for (int i = 0; i < count; ++i)
        m_conversations.insert(target + i, block.at(i));
    endMoveRows();
    return true;
}

void ConversationList::adoptChildren(Conversation *parent, bool refresh)
{
    const QString uri = parent->getSipURI();
    if (uri.isEmpty() || !isBuiltInRealm(parent))
        return;
    bool adopted = false;
    const QString realmID = parent->getRealmID();
    // Only rows filed under the URI can name it as their parent.
    const QList<Conversation *> snapshot = filedChildrenInRowOrder(uri);
    for (Conversation *child : snapshot) {
        // A record naming a channel as its own parent adopts nothing. A row
        // that left the list during the walk is not touched.
        if (child == parent || !isListed(child) || child->getParentURI() != uri || child->getRealmID() != realmID)
            continue;
        const int parentRow = m_conversations.indexOf(parent);
        const int childRow = m_conversations.indexOf(child);
        // A parent that sits inside the child's own subtree cannot take it.
        if (isListedDescendant(parent, child))
            continue;
        const int size = blockSize(childRow);
        QSet<int> skip;
        for (int row = childRow; row < childRow + size; ++row)
            skip.insert(row);
        // Among the parent's children, by name.
        const int depth = getTreeDepth(parent) + 1;
        const int target = siblingPlace(child, depth, parentRow + 1, skip);
        moveBlock(childRow, size, target);
        adopted = true;

        const int newRow = m_conversations.indexOf(child);
        emit dataChanged(index(newRow), index(newRow + size - 1), {TreeDepthRole});
    }
    // The parent shows its children now, so it counts as opened.
    if (adopted)
        expandItem(m_conversations.indexOf(parent), refresh);
}

void ConversationList::fileByParentURI(Conversation *conversation)
{
    const QString parentURI = conversation->getParentURI();
    const auto filed = m_filedParentURI.constFind(conversation);
    if (filed != m_filedParentURI.constEnd()) {
        if (*filed == parentURI)
            return;
        unfileByParentURI(conversation);
    }
    m_filedParentURI.insert(conversation, parentURI);
    m_listedByParentURI[parentURI].insert(conversation);
}

void ConversationList::unfileByParentURI(Conversation *conversation)
{
    const auto filed = m_filedParentURI.find(conversation);
    if (filed == m_filedParentURI.end())
        return;
    const auto children = m_listedByParentURI.find(*filed);
    if (children != m_listedByParentURI.end()) {
        children->remove(conversation);
        if (children->isEmpty())
            m_listedByParentURI.erase(children);
    }
    m_filedParentURI.erase(filed);
}

QList<Conversation *> ConversationList::filedChildrenInRowOrder(const QString &parentURI) const
{
    const auto children = m_listedByParentURI.constFind(parentURI);
    if (children == m_listedByParentURI.constEnd())
        return {};
    if (children->size() == 1)
        return {*children->constBegin()};
    QList<Conversation *> ordered;
    for (Conversation *conversation : qAsConst(m_conversations)) {
        if (children->contains(conversation))
            ordered.append(conversation);
    }
    return ordered;
}

void ConversationList::sendHierarchyRequest(Conversation *conversation) const
{
    if (conversation->getChannelUID().isEmpty())
        return;
    QSocialManager *socialManager = QSocialManager::getInstance();
    if (!socialManager)
        return;
    // "sip:confctl-12@domain" asks for the hierarchy under "12".
    QString root = conversation->getSipURI();
    root.remove(kPermanentPrefix);
    root = root.section(QLatin1Char('@'), 0, 0);
    socialManager->requestChannelsInHierarchy(root);
}

// --- the model ------------------------------------------------------------

int ConversationList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_conversations.size();
}

QVariant ConversationList::data(const QModelIndex &index, int role) const
{
    if (index.row() < 0 || index.column() < 0 || !index.model() || index.row() >= m_conversations.size())
        return QVariant();
    Conversation *conversation = m_conversations.at(index.row());
    if (!conversation)
        return QVariant();

    LocalUser *localUser = LocalUser::getLocalUser();
    Tavri::RealmUserInterface *identity = localUser->getLocalUserIdentity(conversation->getIdentityRealm());
    if (!identity)
        return QVariant();

    TavriIdentityRealmUser *owner = conversation->getOwnerIdentity();
    switch (role) {
    case Qt::DisplayRole:
    case DisplayNameRole:
        return conversation->getDisplayName();
    case VoiceStateRole:
        return int(conversation->getVoiceState());
    case JoinStateRole:
        return int(conversation->getJoinState());
    case ChatTransportTypeRole:
        return int(conversation->getChatTransportType());
    case RealmIDRole:
        return conversation->getRealmID();
    case ConversationIDRole:
        return conversation->getConversationID();
    case ParticipantsRole:
        return QVariant::fromValue(conversation->getParticipants());
    case IsPermanentRole:
        return !isBuiltInRealm(conversation) || !conversation->getChannelUID().isEmpty();
    case SipURIRole:
        return conversation->getSipURI();
    case LocalUserIsMutedLocallyRole:
    case LocalUserIsMutedRemotelyRole: {
        // Before joining the local user is no participant: nothing to read
        // (QML sees undefined, which reads as not muted).
        ConversationParticipant *participant =
            conversation->getParticipants()->getParticipantByUUID(identity->getUid());
        if (!participant)
            return QVariant();
        return role == LocalUserIsMutedLocallyRole ? participant->getIsMutedLocally() : participant->getIsMuted();
    }
    case ChannelUIDRole:
        return conversation->getChannelUID();
    case WelcomeMessageRole:
        return conversation->getMessage();
    case ProfileImageURIRole:
        return conversation->getProfileImageURI();
    case TreeDepthRole:
        return getTreeDepth(conversation);
    case ParentSipURIRole:
        return conversation->getParentURI();
    case DialinAccessCodeRole:
        return conversation->getDialinAccessCode();
    case DescriptionRole:
        return conversation->getDescription();
    case IsOwnedRole:
        return owner != nullptr && localUser->isLocalUserIdentity(owner);
    case IsFavoritedRole:
        return conversation->getIsFavorite();
    case HasChildrenRole:
        return conversation->getHasChildren();
    case OwnerDisplayNameRole:
        return owner ? QVariant(owner->getDisplayName()) : QVariant();
    case OwnerSipURIRole:
        return owner ? QVariant(owner->getSipURI()) : QVariant();
    case OwnerUIDRole:
        return owner ? QVariant(owner->getUid()) : QVariant();
    case OwnerUNameRole:
        return owner ? QVariant(owner->getUname()) : QVariant();
    case OwnerProfileImageURIRole:
        return owner ? QVariant(owner->getProfileImageURI()) : QVariant();
    case IsOpenedRole:
        return m_opened.value(conversation, false);
    case ConversationRefRole:
        return QVariant::fromValue(conversation);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ConversationList::roleNames() const
{
    return {
        {DisplayNameRole, "displayName"},
        {VoiceStateRole, "voiceState"},
        {JoinStateRole, "joinState"},
        {ChatTransportTypeRole, "chatTransportType"},
        {RealmIDRole, "realmID"},
        {ConversationIDRole, "conversationID"},
        {ParticipantsRole, "participants"},
        {IsPermanentRole, "isPermanent"},
        {SipURIRole, "sipURI"},
        {LocalUserIsMutedLocallyRole, "localUserIsMutedLocally"},
        {LocalUserIsMutedRemotelyRole, "localUserIsMutedRemotely"},
        {ChannelUIDRole, "channelUID"},
        {WelcomeMessageRole, "welcomeMessage"},
        {ProfileImageURIRole, "profileImageURI"},
        {TreeDepthRole, "treeDepth"},
        {ParentSipURIRole, "parentSipURI"},
        {DialinAccessCodeRole, "dialinAccessCode"},
        {DescriptionRole, "description"},
        {IsOwnedRole, "isOwned"},
        {IsFavoritedRole, "isFavorited"},
        {HasChildrenRole, "hasChildren"},
        {OwnerDisplayNameRole, "ownerDisplayName"},
        {OwnerSipURIRole, "ownerSipURI"},
        {OwnerUIDRole, "ownerUID"},
        {OwnerUNameRole, "ownerUName"},
        {OwnerProfileImageURIRole, "ownerProfileImageURI"},
        {IsOpenedRole, "isOpened"},
        {ConversationRefRole, "conversationRef"},
    };
}

// --- realm entries --------------------------------------------------------

void ConversationList::onConversationListEntryAdded(Tavri::IdentityRealmInterface *identityRealm,
                                                    const QString &conversationID, const QString &displayName)
{
    if (!identityRealm) {
        qWarning() << "ConversationList::onConversationListEntryAdded"
                   << "no realm for conversation" << conversationID;
        return;
    }
    QObject *realmObject = identityRealm->realmObject();
    Conversation *conversation = nullptr;
    if (auto *builtIn = qobject_cast<TavriIdentityRealm *>(realmObject)) {
        conversation = builtIn->getConversation(conversationID);
    } else {
        if (conversationID.isEmpty()) {
            qWarning() << "ConversationList::onConversationListEntryAdded"
                       << "empty conversation id from realm" << identityRealm->realmID();
            return;
        }
        // The realm manager announces an entry once, but a realm that
        // repeats itself must not get two rows for one conversation.
        for (Conversation *listed : qAsConst(m_conversations)) {
            if (listed->getRealmID() == identityRealm->realmID() && listed->getConversationID() == conversationID)
                return;
        }
        if (auto *shared = qobject_cast<TavriSharedIdentityRealm *>(realmObject)) {
            conversation =
                new Conversation(identityRealm, conversationID, displayName, this, Conversation::VoiceEnabled,
                                 Conversation::Joined, shared->getSessionHandleForChannel(conversationID));
        } else {
            conversation = new Conversation(identityRealm, conversationID, displayName, this,
                                            Conversation::VoiceDisabled, Conversation::NotJoined, QString());
        }
        // Its rows go with the realm, whoever else follows the realm.
        connect(realmObject, SIGNAL(destroying()), this, SLOT(onIdentityRealmDestroying()), Qt::UniqueConnection);
    }
    if (conversation)
        addConversation(conversation, false);
}

bool ConversationList::holdsRow(Conversation *conversation) const
{
    if (!conversation)
        return false;
    if (conversation->getIsFavorite())
        return true;
    TavriIdentityRealmUser *owner = conversation->getOwnerIdentity();
    if (owner && LocalUser::getLocalUser()->isLocalUserIdentity(owner))
        return true;
    const QString parentURI = conversation->getParentURI();
    if (parentURI.isEmpty())
        return false;
    for (Conversation *listed : m_conversations)
        if (listed != conversation && listed->getSipURI() == parentURI && isOpened(listed))
            return true;
    return false;
}

void ConversationList::onConversationListEntryRemoved(Tavri::IdentityRealmInterface *identityRealm,
                                                      const QString &conversationID)
{
    qDebug() << "ConversationList::onConversationListEntryRemoved" << identityRealm << conversationID;
    if (!identityRealm)
        return;
    const bool builtIn = qobject_cast<TavriIdentityRealm *>(identityRealm->realmObject()) != nullptr;
    const QString realmID = identityRealm->realmID();
    for (Conversation *conversation : qAsConst(m_conversations)) {
        const bool matches =
            builtIn ? conversation->getSipURI() == conversationID
                    : conversation->getRealmID() == realmID && conversation->getConversationID() == conversationID;
        if (matches) {
            // A channel of the built-in realm that is joined, owned or
            // opened under its parent stays: only the entry's reason to be
            // listed went.
            if (builtIn && (conversation->getJoinState() == Conversation::Joined || holdsRow(conversation)))
                return;
            removeConversation(conversation);
            return;
        }
    }
}

void ConversationList::onIdentityRealmDestroying()
{
    QObject *realmObject = sender();
    auto *realm = qobject_cast<Tavri::IdentityRealmInterface *>(realmObject);
    if (!realm)
        return;
    disconnect(realmObject, SIGNAL(destroying()), this, SLOT(onIdentityRealmDestroying()));
    const QString realmID = realm->realmID();
    const QList<Conversation *> snapshot = m_conversations;
    for (Conversation *conversation : snapshot) {
        // A conversation that followed the realm's end first has let go of
        // its realm already.
        if (isListed(conversation)
            && (conversation->getIdentityRealm() == realm || !conversation->getIdentityRealm()
                || conversation->getRealmID() == realmID))
            removeConversation(conversation);
    }
}

// --- conversation signals -------------------------------------------------

void ConversationList::connectConversation(Conversation *conversation)
{
    connect(conversation, &Conversation::destroying, this, &ConversationList::onConversationDestroying);
    connect(conversation, &Conversation::displayNameChanged, this, &ConversationList::onConversationDisplayNameChanged);
    connect(conversation, &Conversation::joinStateChanged, this, &ConversationList::onConversationJoinStateChanged);
    connect(conversation, &Conversation::sipURIChanged, this, &ConversationList::onConversationSipURIChanged);
    connect(conversation, &Conversation::voiceStateChanged, this, &ConversationList::onConversationVoiceStateChanged);
    connect(conversation, &Conversation::swapping, this, &ConversationList::onConversationReferenceSwap);
    connect(conversation, &Conversation::ownerURIChanged, this, &ConversationList::onConversationOwnerURIChanged);
    connect(conversation, &Conversation::ownerUIDChanged, this, &ConversationList::onConversationOwnerUIDChanged);
    connect(conversation, &Conversation::parentURIChanged, this, &ConversationList::onConversationParentURIChanged);
    connect(conversation, &Conversation::profileImageURIChanged, this,
            &ConversationList::onConversationProfileImageURIChanged);
    connect(conversation, &Conversation::dialinAccessCodeChanged, this,
            &ConversationList::onConversationDialinAccessCodeChanged);
    connect(conversation, &Conversation::messageChanged, this, &ConversationList::onConversationWelcomeMessageChanged);
    connect(conversation, &Conversation::descriptionChanged, this, &ConversationList::onConversationDescriptionChanged);
    connect(conversation, &Conversation::depthChanged, this, &ConversationList::onConversationDepthChanged);
    connect(conversation, &Conversation::isFavoriteChanged, this, &ConversationList::onConversationIsFavoritedChanged);
    connect(conversation, &Conversation::ancestryURIsChanged, this,
            &ConversationList::onConversationAncestryURIsChanged);
    connect(conversation, &Conversation::channelUIDChanged, this, &ConversationList::onConversationChannelUIDChanged);
}

void ConversationList::disconnectConversation(Conversation *conversation)
{
    disconnect(conversation, nullptr, this, nullptr);
}

Conversation *ConversationList::senderConversation() const
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    return isListed(conversation) ? conversation : nullptr;
}

void ConversationList::notifyRow(Conversation *conversation, const QVector<int> &roles)
{
    const int row = m_conversations.indexOf(conversation);
    if (row < 0)
        return;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, roles);
}

void ConversationList::onConversationDestroying()
{
    if (Conversation *conversation = senderConversation())
        removeConversation(conversation, false);
}

void ConversationList::onConversationDisplayNameChanged()
{
    Conversation *conversation = senderConversation();
    if (!conversation)
        return;
    notifyRow(conversation, {DisplayNameRole, Qt::DisplayRole});
    if (!m_treeMode)
        return;

    // The row moves once, with its listed descendants, to its place among
    // its siblings, up or down.
    const int row = m_conversations.indexOf(conversation);
    const int size = blockSize(row);
    QSet<int> skip;
    for (int r = row; r < row + size; ++r)
        skip.insert(r);
    int target;
    if (isBuiltInRealm(conversation)) {
        Conversation *parent = listedBuiltInConversation(conversation->getParentURI());
        const int start = parent && parent != conversation ? m_conversations.indexOf(parent) + 1 : 0;
        target = siblingPlace(conversation, getTreeDepth(conversation), start, skip);
    } else {
        target = otherRealmPlace(conversation, skip);
    }
    moveBlock(row, size, target);
}

void ConversationList::onConversationJoinStateChanged()
{
    if (Conversation *conversation = senderConversation())
        notifyRow(conversation, {JoinStateRole});
}

void ConversationList::onConversationSipURIChanged()
{
    if (Conversation *conversation = senderConversation())
        notifyRow(conversation, {SipURIRole});
}

void ConversationList::onConversationVoiceStateChanged()
{
    Conversation *conversation = senderConversation();
    if (!conversation)
        return;
    qDebug() << "ConversationList::onConversationVoiceStateChanged" << conversation->getSipURI()
             << conversation->getVoiceState();
    notifyRow(conversation, {VoiceStateRole});
}

void ConversationList::onConversationReferenceSwap(Conversation *newReference)
{
    Conversation *conversation = senderConversation();
    if (!conversation)
        return;
    removeConversation(conversation);
    addConversation(newReference, false);
}

void ConversationList::onConversationOwnerURIChanged()
{
    if (Conversation *conversation = senderConversation())
        notifyRow(conversation,
                  {OwnerDisplayNameRole, OwnerSipURIRole, OwnerUIDRole, OwnerUNameRole, OwnerProfileImageURIRole});
}

void ConversationList::onConversationOwnerUIDChanged()
{
    if (Conversation *conversation = senderConversation())
        notifyRow(conversation,
                  {OwnerDisplayNameRole, OwnerSipURIRole, OwnerUIDRole, OwnerUNameRole, OwnerProfileImageURIRole});
}

void ConversationList::onConversationParentURIChanged(const QString &parentURI)
{
    Conversation *conversation = senderConversation();
    if (!conversation)
        return;
    fileByParentURI(conversation);
    notifyRow(conversation, {ParentSipURIRole, TreeDepthRole});
    if (!m_treeMode)
        return;
    Conversation *parent = listedBuiltInConversation(parentURI);
    if (!parent || parent == conversation)
        return;
    expandItem(m_conversations.indexOf(parent), true);

    const int row = m_conversations.indexOf(conversation);
    const int size = blockSize(row);
    const int parentRow = m_conversations.indexOf(parent);
    // A parent inside the row's own subtree would take the row under itself.
    if (parentRow >= row && parentRow < row + size)
        return;
    QSet<int> skip;
    for (int r = row; r < row + size; ++r)
        skip.insert(r);
    const int target = siblingPlace(conversation, getTreeDepth(conversation), parentRow + 1, skip);
    moveBlock(row, size, target);
}

void ConversationList::onConversationProfileImageURIChanged()
{
    if (Conversation *conversation = senderConversation())
        notifyRow(conversation, {ProfileImageURIRole});
}

void ConversationList::onConversationDialinAccessCodeChanged()
{
    if (Conversation *conversation = senderConversation())
        notifyRow(conversation, {DialinAccessCodeRole});
}

void ConversationList::onConversationWelcomeMessageChanged()
{
    if (Conversation *conversation = senderConversation())
        notifyRow(conversation, {WelcomeMessageRole});
}

void ConversationList::onConversationDescriptionChanged()
{
    if (Conversation *conversation = senderConversation())
        notifyRow(conversation, {DescriptionRole});
}

void ConversationList::onConversationDepthChanged()
{
    if (Conversation *conversation = senderConversation())
        notifyRow(conversation, {TreeDepthRole});
}

void ConversationList::onConversationIsFavoritedChanged()
{
    if (Conversation *conversation = senderConversation())
        notifyRow(conversation, {IsFavoritedRole});
}

void ConversationList::onConversationAncestryURIsChanged()
{
    if (Conversation *conversation = senderConversation()) {
        fileByParentURI(conversation);
        notifyRow(conversation, {ParentSipURIRole, TreeDepthRole});
    }
}

void ConversationList::onConversationChannelUIDChanged()
{
    if (Conversation *conversation = senderConversation())
        notifyRow(conversation, {ChannelUIDRole, IsPermanentRole, DisplayNameRole, Qt::DisplayRole});
}
