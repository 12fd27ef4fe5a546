#include "notificationlist.h"

#include "contactlist.h"
#include "conversation.h"
#include "identityrealmmanager.h"
#include "localuser.h"
#include "realmidentitylist.h"
#include "reportassertionfailure.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"

#include <QDebug>

namespace {

// Notification uids are 64-bit decimal numbers; anything else counts as 0.
qint64 uidValue(const QString &uid)
{
    bool ok = false;
    const qint64 value = uid.toLongLong(&ok, 10);
    return ok ? value : 0;
}

} // namespace

NotificationList::NotificationList(QObject *parent)
    : QAbstractListModel(parent)
{
}

NotificationList::~NotificationList()
{
    clear();
}

int NotificationList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_notifications.size();
}

QHash<int, QByteArray> NotificationList::roleNames() const
{
    QHash<int, QByteArray> roles = QAbstractListModel::roleNames();
    roles.insert(NotificationTypeRole, "notificationType");
    roles.insert(NotificationUIDRole, "notificationUID");
    roles.insert(SenderURIRole, "senderURI");
    roles.insert(SenderDisplayNameRole, "senderDisplayName");
    roles.insert(ChannelURIRole, "channelURI");
    roles.insert(ChannelDisplayNameRole, "channelDisplayName");
    roles.insert(SentAtRole, "sentAt");
    roles.insert(DefaultMessageRole, "defaultMessage");
    roles.insert(ChannelRefRole, "channelRef");
    roles.insert(SenderRefRole, "senderRef");
    roles.insert(CustomMessageRole, "customMessage");
    roles.insert(CustomActionRole, "customAction");
    return roles;
}

TavriIdentityRealmUser *NotificationList::resolveSender(const QString &senderUID)
{
    // While the realm ends, asking for it would build a new one.
    if (senderUID.isEmpty() || TavriIdentityRealm::isEnding())
        return nullptr;
    Tavri::RealmUserInterface *user = TavriIdentityRealm::getInstance()->getRealmUser(senderUID);
    return user ? qobject_cast<TavriIdentityRealmUser *>(user->getQObject()) : nullptr;
}

Conversation *NotificationList::resolveConversation(const QString &channelUID)
{
    if (channelUID.isEmpty() || TavriIdentityRealm::isEnding())
        return nullptr;
    return TavriIdentityRealm::getInstance()->getConversationByUID(channelUID);
}

Conversation *NotificationList::conversationOf(const Notification *notification) const
{
    if (Conversation *conversation = m_conversationByNotification.value(notification))
        return conversation;
    return resolveConversation(notification->getChannelUID());
}

QVariant NotificationList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_notifications.size())
        return QVariant();
    const Notification *notification = m_notifications.at(index.row());
    if (!notification)
        return QVariant();

    // Only the roles that need them resolve the sender and the channel, since
    // resolving may create the realm's placeholder objects.
    auto sender = [notification] { return resolveSender(notification->getSenderUID()); };
    auto conversation = [this, notification] { return conversationOf(notification); };
    switch (role) {
    case NotificationTypeRole:
        return int(notification->getNotificationType());
    case NotificationUIDRole:
        return notification->getUid();
    case SenderURIRole:
        if (TavriIdentityRealmUser *user = sender())
            return user->getSipURI();
        return QVariant();
    case SenderDisplayNameRole:
        if (TavriIdentityRealmUser *user = sender())
            return user->getDisplayName();
        return QVariant();
    case ChannelURIRole:
        if (Conversation *channel = conversation())
            return channel->getSipURI();
        return QVariant();
    case ChannelDisplayNameRole:
        if (Conversation *channel = conversation())
            return channel->getDisplayName();
        return QVariant();
    case SentAtRole:
        return notification->getSentAt();
    case Qt::DisplayRole:
    case DefaultMessageRole:
        return defaultMessage(notification, sender(), conversation());
    case ChannelRefRole:
        if (Conversation *channel = conversation())
            return QVariant::fromValue(channel);
        return QVariant();
    case SenderRefRole:
        if (TavriIdentityRealmUser *user = sender())
            return QVariant::fromValue(static_cast<QObject *>(user));
        return QVariant();
    case CustomMessageRole:
        return notification->getCustomMessage();
    case CustomActionRole:
        return notification->getCustomAction();
    default:
        return QVariant();
    }
}

// The sentence shown for a row. Names and the service's texts are put in as
// they are: the pane shows the sentence as plain text.
QString NotificationList::defaultMessage(const Notification *notification, TavriIdentityRealmUser *sender,
                                         Conversation *conversation) const
{
    const QString channelText = conversation ? conversation->getDisplayName() : tr("a conversation");
    QString senderText;
    // No sender is resolved while the realm ends, and the local user, which
    // may already be gone, is not asked for then.
    TavriIdentityRealmUser *own = sender ? LocalUser::getLocalUser()->tavriidentity() : nullptr;
    if (sender && own && own->getUid() == sender->getUid())
        senderText = tr("You");
    // A sender whose name has not arrived yet reads as no sender, so no
    // sentence starts with an empty name; the row is refreshed with the name.
    else if (sender && own && !sender->getDisplayName().isEmpty())
        senderText = sender->getDisplayName();
    else if (!notification->getRecipientEmail().isEmpty())
        senderText = notification->getRecipientEmail();
    else
        senderText = tr("Someone");

    switch (notification->getNotificationType()) {
    case Notification::NotificationTypeFriended:
        return tr("%1 added you as a friend").arg(senderText);
    case Notification::NotificationTypeUnfriended:
        return tr("%1 removed you as a friend").arg(senderText);
    case Notification::NotificationTypeChannelInviteByYou:
        return tr("You invited %1 to %2").arg(senderText, channelText);
    case Notification::NotificationTypeChannelInvite:
    case Notification::NotificationTypeChannelShare:
        return tr("%1 invited you to %2").arg(senderText, channelText);
    case Notification::NotificationTypeChannelModeratorStatusGranted:
        return tr("%1 has made you a moderator for %2").arg(senderText, channelText);
    case Notification::NotificationTypeChannelModeratorStatusRevoked:
        return tr("%1 has removed your moderator status for %2").arg(senderText, channelText);
    case Notification::NotificationTypeChannelAccessGranted:
        return tr("%1 has granted you access to %2").arg(senderText, channelText);
    case Notification::NotificationTypeChannelAccessRevoked:
        return tr("%1 has revoked your access to %2").arg(senderText, channelText);
    case Notification::NotificationTypeSignUpInvitedByYou:
        return tr("You invited %1 to join Tavri").arg(senderText);
    default:
        return notification->getCustomMessage();
    }
}

Notification *NotificationList::at(int index) const
{
    return index >= 0 && index < m_notifications.size() ? m_notifications.at(index) : nullptr;
}

QStringList NotificationList::getNotificationUIDs() const
{
    QStringList uids;
    uids.reserve(m_notifications.size());
    for (const Notification *notification : m_notifications)
        uids.append(notification->getUid());
    return uids;
}

void NotificationList::raiseLastNotificationUID(const QString &uid)
{
    if (m_lastNotificationUID.isEmpty() || uidValue(m_lastNotificationUID) < uidValue(uid))
        m_lastNotificationUID = uid;
}

QString NotificationList::getLastNotificationUID()
{
    for (const Notification *notification : qAsConst(m_notifications))
        raiseLastNotificationUID(notification->getUid());
    return m_lastNotificationUID;
}

int NotificationList::getUnreadNotificationCount() const
{
    int count = 0;
    for (const Notification *notification : m_notifications) {
        const Notification::NotificationState state = notification->getState();
        if (state != Notification::NotificationStateRead && state != Notification::NotificationStateDeleteRequested)
            ++count;
    }
    return count;
}

void NotificationList::announceUnreadCount()
{
    const int count = getUnreadNotificationCount();
    if (count == m_announcedUnreadCount)
        return;
    m_announcedUnreadCount = count;
    emit unreadCountChanged(count);
}

void NotificationList::onNotificationReceived(const QString &notificationUID, const QString &fromUserUID,
                                              const QString &fromUserName, const QString &channelUID,
                                              const QString &channelDisplayName, const QString &notificationType,
                                              const QString &notificationState, const QDateTime &sentAt,
                                              const QString &customMessage, const QString &customAction,
                                              const QString &userEmail)
{
    LocalUser *localUser = LocalUser::getLocalUser();
    TavriIdentityRealmUser *own = localUser->tavriidentity();
    if (!own) {
        reportAssertionFailure("LocalUser::getLocalUser()->tavriidentity()", __FILE__, __LINE__, Q_FUNC_INFO, true);
        return;
    }
    const Notification::NotificationState state = Notification::stateFromString(notificationState);
    if (state == Notification::NotificationStateInvalid)
        return;
    const Notification::NotificationType type = Notification::typeFromString(notificationType);
    if (type == Notification::NotificationTypeInvalid)
        return;

    if (Notification *known = m_notificationsByUID.value(notificationUID)) {
        if (state == Notification::NotificationStateDeleteRequested) {
            removeNotification(notificationUID, true);
        } else if (state == Notification::NotificationStateRead) {
            known->setState(Notification::NotificationStateRead);
            known->persist();
            announceUnreadCount();
        }
        return;
    }
    if (state == Notification::NotificationStateDeleteRequested)
        return;

    TavriIdentityRealmUser *sender = resolveSender(fromUserUID);
    const QString senderKey = sender ? sender->getUid() : fromUserUID;

    // The user's own access changes are deleted at the service, never listed.
    if ((type == Notification::NotificationTypeChannelAccessGranted
         || type == Notification::NotificationTypeChannelAccessRevoked)
        && own->getUid() == senderKey) {
        removeNotification(notificationUID, true);
        return;
    }

    // A friend request from someone already among the contacts is stale.
    if (type == Notification::NotificationTypeFriended && sender && localUser->getContactList()
        && localUser->getContactList()->containsIdentity(sender)) {
        removeNotification(notificationUID, true);
        return;
    }

    Conversation *conversation = resolveConversation(channelUID);

    QString storedChannelName = channelDisplayName;
    if (conversation && !conversation->getDisplayName().isEmpty())
        storedChannelName = conversation->getDisplayName();
    const QString senderUID = sender ? sender->getUid() : QString();
    auto *notification = new Notification(
        notificationUID, type, senderUID, senderUID.isEmpty() ? fromUserName : senderUID, sentAt, customMessage,
        customAction, conversation ? conversation->getChannelUID() : QString(), storedChannelName, userEmail, this);
    m_notificationsByUID.insert(notificationUID, notification);
    notification->setState(state);

    if (sender) {
        SenderEntry &entry = m_notificationsBySender[sender->getUid()];
        entry.user = sender;
        entry.notifications.append(notification);
        connectSender(sender);
    }
    if (conversation) {
        m_notificationsByConversation[conversation].append(notification);
        m_conversationByNotification.insert(notification, conversation);
        connectConversation(conversation);
        if ((type == Notification::NotificationTypeChannelModeratorStatusGranted
             || type == Notification::NotificationTypeChannelModeratorStatusRevoked)
            && localUser->getLoginState() == LocalUser::LoggedIn)
            conversation->getModerators(true);
    }

    int position = 0;
    while (position < m_notifications.size() && sentAt < m_notifications.at(position)->getSentAt())
        ++position;
    qDebug() << "NotificationList::onNotificationReceived() - adding new notification to listModel for view at"
             << position << "of" << m_notifications.size();
    beginInsertRows(QModelIndex(), position, position);
    m_notifications.insert(position, notification);
    endInsertRows();

    if (notification->persist())
        emit notificationAdded(notification);
    announceUnreadCount();
    emit notificationCountChanged();
    emit notificationReceived(notificationUID, fromUserUID, fromUserName, channelUID, channelDisplayName,
                              notificationType, notificationState, sentAt, customMessage, customAction, userEmail);
}

void NotificationList::removeNotification(const QString &uid, bool tellService)
{
    raiseLastNotificationUID(uid);
    if (tellService)
        LocalUser::getLocalUser()->requestMarkNotification(uid, Notification::NotificationStateDeleteRequested);

    Notification *notification = m_notificationsByUID.take(uid);
    if (!notification)
        return;
    m_conversationByNotification.remove(notification);

    // The entries are found by the notification itself: looking the channel
    // or the sender up again could create placeholders in the realm.
    for (auto it = m_notificationsByConversation.begin(); it != m_notificationsByConversation.end(); ++it) {
        if (!it.value().removeOne(notification))
            continue;
        if (it.value().isEmpty()) {
            disconnectConversation(it.key());
            m_notificationsByConversation.erase(it);
        }
        break;
    }
    for (auto it = m_notificationsBySender.begin(); it != m_notificationsBySender.end(); ++it) {
        if (!it.value().notifications.removeOne(notification))
            continue;
        if (it.value().notifications.isEmpty()) {
            disconnectSender(it.value().user);
            m_notificationsBySender.erase(it);
        }
        break;
    }

    const int row = m_notifications.indexOf(notification);
    if (row >= 0) {
        beginRemoveRows(QModelIndex(), row, row);
        m_notifications.removeAt(row);
        endRemoveRows();
    }
    notification->setState(Notification::NotificationStateDeleteRequested);
    notification->persist();
    announceUnreadCount();
    emit notificationCountChanged();
}

void NotificationList::removeNotifications(const QStringList &uids, bool tellService)
{
    for (int i = uids.size() - 1; i >= 0; --i)
        removeNotification(uids.at(i), tellService);
}

void NotificationList::markAllAsRead()
{
    bool changed = false;
    for (Notification *notification : qAsConst(m_notifications)) {
        if (notification->getState() != Notification::NotificationStateRead) {
            notification->setState(Notification::NotificationStateRead);
            changed = true;
        }
    }
    if (!changed)
        return;
    StorageManager::getInstance()->markAllNotificationRecordsRead();
    announceUnreadCount();
}

void NotificationList::setAllNotificationsState(Notification::NotificationState state)
{
    for (Notification *notification : qAsConst(m_notifications)) {
        if (notification->getState() != state) {
            notification->setState(state);
            notification->persist();
        }
    }
    announceUnreadCount();
}

void NotificationList::clear()
{
    for (const SenderEntry &entry : qAsConst(m_notificationsBySender))
        disconnectSender(entry.user);
    for (auto it = m_notificationsByConversation.cbegin(); it != m_notificationsByConversation.cend(); ++it)
        disconnectConversation(it.key());
    m_notificationsBySender.clear();
    m_notificationsByConversation.clear();
    m_conversationByNotification.clear();
    m_notificationsByUID.clear();
    if (!m_notifications.isEmpty()) {
        beginRemoveRows(QModelIndex(), 0, m_notifications.size() - 1);
        const QList<Notification *> notifications = m_notifications;
        m_notifications.clear();
        endRemoveRows();
        qDeleteAll(notifications);
        emit notificationCountChanged();
    }
    // Removed notifications that stayed children of the list go too.
    qDeleteAll(findChildren<Notification *>(QString(), Qt::FindDirectChildrenOnly));
    announceUnreadCount();
}

void NotificationList::addNotification(const QString &uid, const QString &fromUserUID, const QString &fromUserName,
                                       const QString &channelUID, const QString &channelDisplayName, int type,
                                       int state, const QDateTime &sentAt, const QString &customMessage,
                                       const QString &customAction, const QString &userEmail)
{
    if (type == Notification::NotificationTypeChannelAccessGranted
        || type == Notification::NotificationTypeChannelAccessRevoked) {
        Conversation *conversation = resolveConversation(channelUID);
        LocalUser *localUser = LocalUser::getLocalUser();
        if (conversation && localUser->getLoginState() == LocalUser::LoggedIn && !conversation->getSipURI().isEmpty()) {
            Tavri::IdentityRealmInterface *realm =
                IdentityRealmManager::getInstance()->getIdentityRealm(conversation->getRealmID());
            Tavri::RealmUserInterface *identity = realm ? localUser->getLocalUserIdentity(realm) : nullptr;
            if (identity) {
                RealmIdentityList *members = conversation->getMembers(true);
                const bool isMember = members && members->containsIdentity(realm, identity->getUid());
                if (members && type == Notification::NotificationTypeChannelAccessGranted && !isMember)
                    members->addIdentity(identity);
                else if (members && type == Notification::NotificationTypeChannelAccessRevoked && isMember)
                    members->removeIdentity(identity);
            }
        }
    }
    // The stored numbers go over as decimal text, the form the web service's
    // records have, so every stored notification shows before the service
    // answers.
    onNotificationReceived(uid, fromUserUID, fromUserName, channelUID, channelDisplayName, QString::number(type),
                           QString::number(state), sentAt, customMessage, customAction, userEmail);
}

// --- Following senders and conversations ---------------------------------------

void NotificationList::followRealmEnd()
{
    connect(TavriIdentityRealm::getInstance(), &TavriIdentityRealm::destroying, this,
            &NotificationList::onRealmDestroying, Qt::UniqueConnection);
}

void NotificationList::onRealmDestroying()
{
    // The realm's users and conversations go with it; following them to
    // their end would only ask the dying realm for replacements.
    for (const SenderEntry &entry : qAsConst(m_notificationsBySender))
        disconnectSender(entry.user);
    for (auto it = m_notificationsByConversation.cbegin(); it != m_notificationsByConversation.cend(); ++it)
        disconnectConversation(it.key());
    m_notificationsBySender.clear();
    m_notificationsByConversation.clear();
    m_conversationByNotification.clear();
}

void NotificationList::connectSender(TavriIdentityRealmUser *user)
{
    followRealmEnd();
    connect(user, &TavriIdentityRealmUser::sipURIChanged, this, &NotificationList::onSenderSipURIChanged,
            Qt::UniqueConnection);
    connect(user, &TavriIdentityRealmUser::displayNameUpdated, this, &NotificationList::onSenderDisplayNameChanged,
            Qt::UniqueConnection);
    connect(user, &TavriIdentityRealmUser::destroying, this, &NotificationList::onSenderDestroying,
            Qt::UniqueConnection);
}

void NotificationList::disconnectSender(TavriIdentityRealmUser *user)
{
    if (user)
        disconnect(user, nullptr, this, nullptr);
}

void NotificationList::connectConversation(Conversation *conversation)
{
    followRealmEnd();
    connect(conversation, &Conversation::sipURIChanged, this, &NotificationList::onConversationSipURIChanged,
            Qt::UniqueConnection);
    connect(conversation, &Conversation::displayNameChanged, this, &NotificationList::onConversationDisplayNameChanged,
            Qt::UniqueConnection);
    connect(conversation, &Conversation::swapping, this, &NotificationList::onConversationReferenceSwap,
            Qt::UniqueConnection);
    connect(conversation, &Conversation::destroying, this, &NotificationList::onConversationDestroying,
            Qt::UniqueConnection);
}

void NotificationList::disconnectConversation(Conversation *conversation)
{
    if (conversation)
        disconnect(conversation, nullptr, this, nullptr);
}

void NotificationList::emitRowsChanged(const QList<Notification *> &notifications, const QVector<int> &roles)
{
    for (Notification *notification : notifications) {
        const int row = m_notifications.indexOf(notification);
        if (row >= 0)
            emit dataChanged(index(row), index(row), roles);
    }
}

void NotificationList::onSenderSipURIChanged(const QString & /*sipURI*/)
{
    auto *user = qobject_cast<TavriIdentityRealmUser *>(sender());
    if (user && m_notificationsBySender.contains(user->getUid()))
        emitRowsChanged(m_notificationsBySender.value(user->getUid()).notifications, {SenderURIRole});
}

void NotificationList::onSenderDisplayNameChanged(const QString & /*displayName*/)
{
    auto *user = qobject_cast<TavriIdentityRealmUser *>(sender());
    if (user && m_notificationsBySender.contains(user->getUid()))
        emitRowsChanged(m_notificationsBySender.value(user->getUid()).notifications,
                        {SenderDisplayNameRole, DefaultMessageRole, Qt::DisplayRole});
}

void NotificationList::onSenderDestroying()
{
    auto *user = qobject_cast<TavriIdentityRealmUser *>(sender());
    if (!user)
        return;
    disconnect(user, &TavriIdentityRealmUser::destroying, this, &NotificationList::onSenderDestroying);
    // The entry stays: the rows now resolve the sender to whatever the realm
    // holds for the id.
    if (m_notificationsBySender.contains(user->getUid()))
        emitRowsChanged(m_notificationsBySender.value(user->getUid()).notifications,
                        {SenderURIRole, SenderDisplayNameRole, DefaultMessageRole, Qt::DisplayRole});
}

void NotificationList::onConversationSipURIChanged(const QString & /*sipURI*/)
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    if (conversation && m_notificationsByConversation.contains(conversation))
        emitRowsChanged(m_notificationsByConversation.value(conversation), {ChannelURIRole});
}

void NotificationList::onConversationDisplayNameChanged(const QString & /*displayName*/)
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    if (conversation && m_notificationsByConversation.contains(conversation))
        emitRowsChanged(m_notificationsByConversation.value(conversation),
                        {ChannelDisplayNameRole, DefaultMessageRole, Qt::DisplayRole});
}

void NotificationList::onConversationReferenceSwap(Conversation *newRef)
{
    auto *old = qobject_cast<Conversation *>(sender());
    if (!old)
        return;
    disconnectConversation(old);
    const bool indexed = m_notificationsByConversation.contains(old);
    if (!indexed || !newRef || newRef == old) {
        qDebug() << "NotificationList::onConversationReferenceSwap"
                 << "old conversation indexed:" << indexed;
        return;
    }
    qDebug() << "NotificationList::onConversationReferenceSwap" << old->getChannelUID() << "now" << newRef->getSipURI();
    QList<Notification *> &moved = m_notificationsByConversation[newRef];
    moved.append(m_notificationsByConversation.take(old));
    for (const Notification *notification : qAsConst(moved))
        m_conversationByNotification.insert(notification, newRef);
    connectConversation(newRef);
    emitRowsChanged(moved,
                    {ChannelURIRole, ChannelDisplayNameRole, ChannelRefRole, DefaultMessageRole, Qt::DisplayRole});
}

void NotificationList::onConversationDestroying()
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    if (!conversation)
        return;
    disconnect(conversation, &Conversation::destroying, this, &NotificationList::onConversationDestroying);
    if (!m_notificationsByConversation.contains(conversation))
        return;
    const QList<Notification *> notifications = m_notificationsByConversation.take(conversation);
    for (const Notification *notification : notifications)
        m_conversationByNotification.remove(notification);
    disconnectConversation(conversation);
    QString channelUID = conversation->getChannelUID();
    if (channelUID.isEmpty() && !notifications.isEmpty())
        channelUID = notifications.first()->getChannelUID();
    Conversation *newRef = channelUID.isEmpty() ? nullptr : resolveConversation(channelUID);
    if (newRef == conversation)
        newRef = nullptr;
    if (!TAVRI_CHECK(newRef))
        return;
    // The rows follow the conversation now registered for the channel.
    QList<Notification *> &entry = m_notificationsByConversation[newRef];
    entry.append(notifications);
    for (const Notification *notification : notifications)
        m_conversationByNotification.insert(notification, newRef);
    connectConversation(newRef);
    emitRowsChanged(entry,
                    {ChannelURIRole, ChannelDisplayNameRole, ChannelRefRole, DefaultMessageRole, Qt::DisplayRole});
}
