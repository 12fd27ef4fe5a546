#include "conversationmessagelist.h"

#include "conversation.h"
#include "localuser.h"

#include <QDebug>

ConversationMessageList::ConversationMessageList(QObject *parent) : QAbstractListModel(parent) {}

ConversationMessageList::~ConversationMessageList() = default;

Conversation *ConversationMessageList::getConversation() const
{
    return qobject_cast<Conversation *>(parent());
}

void ConversationMessageList::appendMessage(ConversationMessage *message)
{
    beginInsertRows(QModelIndex(), m_messages.size(), m_messages.size());
    m_messages.append(message);
    endInsertRows();
    // TODO(chat lines): announce the line's HTML form once the style service
    // provides the chat colours.
}

void ConversationMessageList::addLocalLine(const QString &text,
                                           ConversationMessage::ConversationMessageType type)
{
    appendMessage(new ConversationMessage(text, nullptr, QDateTime::currentDateTime(), this, type));
    emit messageAdded(QString(""), text);
}

void ConversationMessageList::addSystemMessage(const QString &text)
{
    addLocalLine(text, ConversationMessage::NotificationMessage);
}

void ConversationMessageList::addWelcomeMessage(const QString &text)
{
    addLocalLine(text, ConversationMessage::WelcomeMessage);
}

void ConversationMessageList::clear()
{
    if (m_messages.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_messages.size() - 1);
    const QList<ConversationMessage *> messages = m_messages;
    m_messages.clear();
    for (ConversationMessage *message : messages) {
        if (Tavri::RealmUserInterface *sender = message->getSender())
            disconnect(sender->getQObject(), nullptr, this, nullptr);
        message->deleteLater();
    }
    endRemoveRows();
}

void ConversationMessageList::onConversationTextMessageReceived(const QString &conversationID,
                                                                const QString &senderUUID, const QString &,
                                                                const QString &messageText,
                                                                const QDateTime &sentAt)
{
    Conversation *conversation = getConversation();
    if (!conversation)
        return;
    if (conversationID != conversation->getConversationID() && conversationID != conversation->getSipURI() &&
        conversationID != conversation->getTransitionSipURI())
        return;
    if (senderUUID == conversationID) {
        addSystemMessage(messageText);
        return;
    }
    Tavri::IdentityRealmInterface *realm = conversation->getIdentityRealm();
    Tavri::RealmUserInterface *sender = realm ? realm->getRealmUser(senderUUID) : nullptr;
    if (!sender) {
        // Without a sender the line would have no author to show; keep the
        // text visible as a notice rather than dropping it.
        qWarning() << "ConversationMessageList::onConversationTextMessageReceived"
                   << "unknown sender" << senderUUID << "in" << conversationID;
        addSystemMessage(messageText);
        return;
    }
    auto *message = new ConversationMessage(messageText, sender, sentAt, this, ConversationMessage::ChatText);
    connect(sender->getQObject(), SIGNAL(displayNameUpdated(QString)), this,
            SLOT(onSenderDisplayNameChanged(QString)), Qt::UniqueConnection);
    appendMessage(message);
    emit messageAdded(sender->getDisplayName(), messageText);
}

void ConversationMessageList::onSenderDisplayNameChanged(const QString &)
{
    QObject *senderObject = sender();
    for (int row = m_messages.size() - 1; row >= 0; --row) {
        Tavri::RealmUserInterface *author = m_messages.at(row)->getSender();
        if (author && author->getQObject() == senderObject) {
            const QModelIndex changed = index(row);
            emit dataChanged(changed, changed, {SenderDisplayNameRole});
        }
    }
}

int ConversationMessageList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_messages.size();
}

QVariant ConversationMessageList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() < 0 || index.model() != this || index.row() < 0 ||
        index.row() >= m_messages.size())
        return QVariant();
    ConversationMessage *message = m_messages.at(index.row());
    Tavri::RealmUserInterface *sender = message->getSender();
    switch (role) {
    case Qt::DisplayRole:
    case MessageTextRole:
        // TODO(chat lines): turn addresses into links once the link formatter exists.
        return message->getText();
    case SenderProfileImageURIRole:
        return sender ? QVariant(sender->getProfileImageURI()) : QVariant();
    case SenderPresenceStateRole:
        return sender ? QVariant(int(sender->getPresenceState())) : QVariant();
    case SenderPresenceMessageRole:
        return sender ? QVariant(sender->getPresenceMessage()) : QVariant();
    case SenderDisplayNameRole:
        return sender ? sender->getDisplayName() : QString("");
    case IsWelcomeMessageRole:
        return message->getMessageType() == ConversationMessage::WelcomeMessage;
    case IsSystemMessageRole:
        return message->getMessageType() == ConversationMessage::NotificationMessage;
    case IsFromRemoteRole:
        return sender ? QVariant(!LocalUser::getLocalUser()->isLocalUserIdentity(sender)) : QVariant();
    case ConversationIDRole:
        return message->getConversationID();
    case SentAtRole:
        return message->getSentAt();
    case ReceivedAtRole:
        return message->getReceivedAt();
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ConversationMessageList::roleNames() const
{
    return {{MessageTextRole, "messageText"},
            {SenderProfileImageURIRole, "senderProfileImageURI"},
            {SenderPresenceStateRole, "senderPresenceState"},
            {SenderPresenceMessageRole, "senderPresenceMessage"},
            {SenderDisplayNameRole, "senderDisplayName"},
            {IsWelcomeMessageRole, "isWelcomeMessage"},
            {IsSystemMessageRole, "isSystemMessage"},
            {IsFromRemoteRole, "isFromRemote"},
            {ConversationIDRole, "conversationID"},
            {SentAtRole, "sentAt"},
            {ReceivedAtRole, "receivedAt"}};
}
