#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

// Notification: one social event that the web service told the local user
// about (a friend request, a channel invitation, a moderator or access
// change, a system or partner message).
//
// Created by NotificationList, which is its QObject parent and decides its
// state; its fields never change after construction. persist() writes it to
// the local database (or removes it from there once deletion was asked for).
// GUI thread only. Emits stateChanged when the read state changes.
class Notification : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString uid READ getUid CONSTANT)
    Q_PROPERTY(NotificationType notificationType READ getNotificationType CONSTANT)
    Q_PROPERTY(QString senderUID READ getSenderUID CONSTANT)
    Q_PROPERTY(QString customMessage READ getCustomMessage CONSTANT)
    Q_PROPERTY(QDateTime sentAt READ getSentAt CONSTANT)
    Q_PROPERTY(QString channelUID READ getChannelUID CONSTANT)
    Q_PROPERTY(QString recipientEmail READ getRecipientEmail CONSTANT)
    Q_PROPERTY(NotificationState state READ getState NOTIFY stateChanged)

public:
    // The values are the web service's; ChannelInviteByYou is declared
    // before Unfriended on purpose, the numbers are what count.
    enum NotificationType {
        NotificationTypeInvalid = 0,
        NotificationTypeSignedUp = 1,
        NotificationTypeFriended = 2,
        NotificationTypeChannelInviteByYou = 4,
        NotificationTypeUnfriended = 3,
        NotificationTypeChannelInvite = 5,
        NotificationTypeChannelInviteAccepted = 6,
        NotificationTypeChannelInviteDeclined = 7,
        NotificationTypeChannelModeratorStatusGranted = 8,
        NotificationTypeChannelModeratorStatusRevoked = 9,
        NotificationTypeChannelAccessGranted = 10,
        NotificationTypeChannelAccessRevoked = 11,
        NotificationTypeChannelShare = 12,
        NotificationTypeSignUpInvitedByYou = 13,
        NotificationTypeSystem = 14,
        NotificationTypePartner = 15,
        NotificationTypeLAST = 15
    };
    Q_ENUM(NotificationType)

    enum NotificationState {
        NotificationStateInvalid = 0,
        NotificationStateUnread = 1,
        NotificationStateRead = 2,
        NotificationStateDeleteRequested = 3,
        NotificationStateLAST = 3
    };
    Q_ENUM(NotificationState)

    // An empty notification (for QML): type Invalid, sent now.
    explicit Notification(QObject *parent = nullptr);
    // Starts Unread; the creator sets the real state afterwards.
    Notification(const QString &uid, int notificationType, const QString &senderUID, const QString &senderName,
                 const QDateTime &sentAt, const QString &customMessage, const QString &customAction,
                 const QString &channelUID, const QString &channelDisplayName, const QString &recipientEmail,
                 QObject *parent = nullptr);

    // The decimal state 0..3 ("new", "read" and "deleted" are read too, as
    // older stored lists handed them over); Invalid for anything else.
    static NotificationState stateFromString(const QString &text);
    // The decimal type 0..15 (the web service's type words are read too);
    // Invalid for anything else.
    static NotificationType typeFromString(const QString &text);

    QString getUid() const { return m_uid; }
    NotificationType getNotificationType() const { return m_notificationType; }
    QString getSenderUID() const { return m_senderUID; }
    QString getSenderName() const { return m_senderName; }
    QString getCustomMessage() const { return m_customMessage; }
    QString getCustomAction() const { return m_customAction; }
    QDateTime getSentAt() const { return m_sentAt; }
    QString getChannelUID() const { return m_channelUID; }
    QString getChannelDisplayName() const { return m_channelDisplayName; }
    QString getRecipientEmail() const { return m_recipientEmail; }
    NotificationState getState() const { return m_state; }

    // Stores the state and emits stateChanged when it differs.
    void setState(NotificationState state);
    // A DeleteRequested notification removes its stored record and gives
    // false; any other is stored (or its stored read state updated) and
    // gives whether the database took it.
    bool persist();

signals:
    void stateChanged(Notification::NotificationState state);

private:
    QString m_uid;
    NotificationType m_notificationType = NotificationTypeInvalid;
    QString m_senderUID;
    QString m_senderName;
    QString m_customMessage;
    QString m_customAction;
    QDateTime m_sentAt;
    QString m_channelUID;
    QString m_channelDisplayName;
    QString m_recipientEmail;
    NotificationState m_state = NotificationStateUnread;
};
