#include "notification.h"

#include "storagemanager.h"

#include <QHash>

namespace {

// A decimal number from min to max, else -1.
int boundedNumber(const QString &text, int max)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok && value >= 0 && value <= max ? value : -1;
}

} // namespace

Notification::Notification(QObject *parent)
    : QObject(parent)
    , m_sentAt(QDateTime::currentDateTime())
{
}

Notification::Notification(const QString &uid, int notificationType, const QString &senderUID,
                           const QString &senderName, const QDateTime &sentAt, const QString &customMessage,
                           const QString &customAction, const QString &channelUID, const QString &channelDisplayName,
                           const QString &recipientEmail, QObject *parent)
    : QObject(parent)
    , m_uid(uid)
    , m_notificationType(static_cast<NotificationType>(notificationType))
    , m_senderUID(senderUID)
    , m_senderName(senderName)
    , m_customMessage(customMessage)
    , m_customAction(customAction)
    , m_sentAt(sentAt)
    , m_channelUID(channelUID)
    , m_channelDisplayName(channelDisplayName)
    , m_recipientEmail(recipientEmail)
{
}

Notification::NotificationState Notification::stateFromString(const QString &text)
{
    static const QHash<QString, NotificationState> words = {
        {QStringLiteral("new"), NotificationStateUnread},
        {QStringLiteral("read"), NotificationStateRead},
        {QStringLiteral("deleted"), NotificationStateDeleteRequested},
    };
    const auto word = words.constFind(text);
    if (word != words.constEnd())
        return word.value();
    const int value = boundedNumber(text, NotificationStateLAST);
    return value < 0 ? NotificationStateInvalid : static_cast<NotificationState>(value);
}

Notification::NotificationType Notification::typeFromString(const QString &text)
{
    static const QHash<QString, NotificationType> words = {
        {QStringLiteral("friended"), NotificationTypeFriended},
        {QStringLiteral("unfriended"), NotificationTypeUnfriended},
        {QStringLiteral("invited_by_you_to_chan"), NotificationTypeChannelInviteByYou},
        {QStringLiteral("invited_to_chan"), NotificationTypeChannelInvite},
        {QStringLiteral("promoted"), NotificationTypeChannelModeratorStatusGranted},
        {QStringLiteral("demoted"), NotificationTypeChannelModeratorStatusRevoked},
        {QStringLiteral("granted"), NotificationTypeChannelAccessGranted},
        {QStringLiteral("revoked"), NotificationTypeChannelAccessRevoked},
        {QStringLiteral("invited_by_you_to_sign_up"), NotificationTypeSignUpInvitedByYou},
        {QStringLiteral("system"), NotificationTypeSystem},
        {QStringLiteral("partner"), NotificationTypePartner},
    };
    const auto word = words.constFind(text);
    if (word != words.constEnd())
        return word.value();
    const int value = boundedNumber(text, NotificationTypeLAST);
    return value < 0 ? NotificationTypeInvalid : static_cast<NotificationType>(value);
}

void Notification::setState(NotificationState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

bool Notification::persist()
{
    StorageManager *storage = StorageManager::getInstance();
    if (m_state == NotificationStateDeleteRequested) {
        storage->deleteNotificationRecord(m_uid);
        return false;
    }
    return storage->storeNotificationRecord(m_uid, m_sentAt, m_senderUID, m_senderName, m_channelUID,
                                            m_channelDisplayName, m_notificationType, m_customMessage, m_customAction,
                                            m_state, m_recipientEmail);
}
