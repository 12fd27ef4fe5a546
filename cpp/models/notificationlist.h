#pragma once

#include "notification.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>

class Conversation;
class TavriIdentityRealmUser;

// NotificationList: the local user's inbox of social notifications, a
// one-column list model, newest sentAt first (of equal times the one that
// arrived later is on top).
//
// Owned by LocalUser and fed by the web service's notification records
// (onNotificationReceived) and by the records stored in the local database
// (addNotification). Every notification that enters is written to the
// database and a removed one is deleted from it. The list resolves each
// sender to a user of the built-in realm and each channel to a Conversation,
// follows both (renames, new addresses, replacement, end) and refreshes the
// rows they touch. The notifications are its QObject children.
//
// Emits notificationAdded for each notification stored on arrival,
// unreadCountChanged whenever the number of unread rows changes and
// notificationCountChanged whenever rows come or go. GUI thread only.
class NotificationList : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int unreadNotificationCount READ getUnreadNotificationCount NOTIFY unreadCountChanged)
    Q_PROPERTY(int notificationCount READ getNotificationCount NOTIFY notificationCountChanged)

public:
    enum Roles {
        NotificationTypeRole = 856,
        NotificationUIDRole,
        SenderURIRole,
        SenderDisplayNameRole,
        ChannelURIRole,
        ChannelDisplayNameRole,
        SentAtRole,
        DefaultMessageRole,
        ChannelRefRole,
        SenderRefRole,
        CustomMessageRole,
        CustomActionRole
    };

    explicit NotificationList(QObject *parent = nullptr);
    ~NotificationList() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The row's notification; null outside the rows.
    Q_INVOKABLE Notification *at(int index) const;
    // The uids in row order.
    QStringList getNotificationUIDs() const;
    // The highest uid seen so far, compared as numbers (a uid that is not a
    // number counts as 0); never lowered by rows leaving; empty at first.
    QString getLastNotificationUID();
    // Forgets the highest uid, for the next user to sign in: that user's
    // notifications start from its own stored ones.
    void resetLastNotificationUID() { m_lastNotificationUID.clear(); }
    // Rows neither Read nor DeleteRequested.
    int getUnreadNotificationCount() const;
    int getNotificationCount() const { return m_notifications.size(); }

    // Every row becomes Read; the stored records are marked read in one
    // update. Nothing happens when all rows are Read already.
    Q_INVOKABLE void markAllAsRead();
    // Every row takes the state and is stored again (a DeleteRequested row
    // loses its stored record but stays listed).
    void setAllNotificationsState(Notification::NotificationState state);
    // Takes the notification out of the list and the database; with
    // tellService the web service is told it is deleted.
    void removeNotification(const QString &uid, bool tellService);
    void removeNotifications(const QStringList &uids, bool tellService);
    // Empties the list (the database keeps its records) and lets go of every
    // sender and conversation it followed.
    void clear();
    // A record read back from the database. An access change is first
    // applied to the channel's members list while signed in.
    void addNotification(const QString &uid, const QString &fromUserUID, const QString &fromUserName,
                         const QString &channelUID, const QString &channelDisplayName, int type, int state,
                         const QDateTime &sentAt, const QString &customMessage, const QString &customAction,
                         const QString &userEmail);

signals:
    void notificationAdded(Notification *notification);
    void unreadCountChanged(int unreadCount);
    void notificationCountChanged();
    // A record of the web service has just been listed as a new row (its
    // row already reads back); carries the record's fields as received.
    void notificationReceived(const QString &notificationUID, const QString &fromUserUID, const QString &fromUserName,
                              const QString &channelUID, const QString &channelDisplayName,
                              const QString &notificationTypeStr, const QString &notificationStateStr,
                              const QDateTime &sentAt, const QString &customMessage, const QString &customAction,
                              const QString &userEmail);

public slots:
    // One notification record of the web service; type and state are decimal
    // texts. The only way a notification enters the list.
    void onNotificationReceived(const QString &notificationUID, const QString &fromUserUID, const QString &fromUserName,
                                const QString &channelUID, const QString &channelDisplayName,
                                const QString &notificationType, const QString &notificationState,
                                const QDateTime &sentAt, const QString &customMessage, const QString &customAction,
                                const QString &userEmail);

protected slots:
    void onSenderSipURIChanged(const QString &sipURI);
    void onSenderDisplayNameChanged(const QString &displayName);
    void onSenderDestroying();
    void onConversationSipURIChanged(const QString &sipURI);
    void onConversationDisplayNameChanged(const QString &displayName);
    void onConversationReferenceSwap(Conversation *newRef);
    void onConversationDestroying();

private:
    struct SenderEntry {
        QPointer<TavriIdentityRealmUser> user;
        QList<Notification *> notifications;
    };

    // The built-in realm's user of a sender id; null when none resolves.
    static TavriIdentityRealmUser *resolveSender(const QString &senderUID);
    static Conversation *resolveConversation(const QString &channelUID);
    // The conversation the list follows for the notification, else the
    // realm's conversation for its channel.
    Conversation *conversationOf(const Notification *notification) const;
    QString defaultMessage(const Notification *notification, TavriIdentityRealmUser *sender,
                           Conversation *conversation) const;
    // Lets go of every followed sender and conversation when the built-in
    // realm, which owns them, ends; the rows stay.
    void followRealmEnd();
    void onRealmDestroying();
    void connectSender(TavriIdentityRealmUser *user);
    void disconnectSender(TavriIdentityRealmUser *user);
    void connectConversation(Conversation *conversation);
    void disconnectConversation(Conversation *conversation);
    void emitRowsChanged(const QList<Notification *> &notifications, const QVector<int> &roles);
    void raiseLastNotificationUID(const QString &uid);
    // Emits unreadCountChanged when the count differs from the last one told.
    void announceUnreadCount();

    QList<Notification *> m_notifications;
    QHash<QString, Notification *> m_notificationsByUID;
    QHash<QString, SenderEntry> m_notificationsBySender;
    QHash<Conversation *, QList<Notification *>> m_notificationsByConversation;
    // The same index read the other way, for the rows' channel roles.
    QHash<const Notification *, Conversation *> m_conversationByNotification;
    QString m_lastNotificationUID;
    int m_announcedUnreadCount = 0;
};
