#pragma once

#include "conversationmessage.h"

#include <QAbstractListModel>
#include <QList>

class Conversation;

// ConversationMessageList: the chat lines of one conversation, in arrival
// order, as a list model.
//
// Embedded in its Conversation, which is its QObject parent. Lines are
// appended only and leave only through clear(). Announces every new line in
// plain form with messageAdded(sender name, text). GUI thread only.
class ConversationMessageList : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles {
        MessageTextRole = 1456,
        SenderProfileImageURIRole,
        SenderPresenceStateRole,
        SenderPresenceMessageRole,
        SenderDisplayNameRole,
        IsWelcomeMessageRole,
        IsSystemMessageRole,
        IsFromRemoteRole,
        ConversationIDRole,
        SentAtRole,
        ReceivedAtRole
    };

    explicit ConversationMessageList(QObject *parent = nullptr);
    ~ConversationMessageList() override;

    // A line the program writes itself: a notice, or a channel's welcome text.
    void addSystemMessage(const QString &text);
    void addWelcomeMessage(const QString &text);
    void clear();
    QList<ConversationMessage *> getMessages() const { return m_messages; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void messageAdded(const QString &sender, const QString &message);

public slots:
    // Appends a chat line when the text is addressed to this conversation;
    // a text whose sender is the conversation itself becomes a system line.
    void onConversationTextMessageReceived(const QString &conversationID, const QString &senderUUID,
                                           const QString &receiverUUID, const QString &messageText,
                                           const QDateTime &sentAt);
    void onSenderDisplayNameChanged(const QString &displayName);

private:
    Conversation *getConversation() const;
    void appendMessage(ConversationMessage *message);
    void addLocalLine(const QString &text, ConversationMessage::ConversationMessageType type);

    QList<ConversationMessage *> m_messages;
};
