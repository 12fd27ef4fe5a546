#pragma once

#include "conversationmessage.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>

class Conversation;

// ConversationMessageList: the chat lines of one conversation, in arrival
// order, as a list model.
//
// Embedded in its Conversation, which is its QObject parent. Lines are
// appended only and leave only through clear(). Announces every new line in
// plain form with messageAdded(sender name, text), and as one HTML fragment
// (time stamp, sender, coloured block, links) with formattedMessageAdded,
// which the conversation pane appends to its chat view. Text that peers or
// the server chose (chat texts, sender names, the channel's welcome text and
// lines the channel sends) is HTML-escaped before it enters rich text; the
// notices that the program writes keep their markup. GUI thread only.
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
        ReceivedAtRole,
        // The line as the chat view draws it: the HTML fragment that
        // formattedMessageAdded carries (time, sender, colour, links).
        FormattedTextRole
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

    // Builds the HTML fragment of one line and announces it.
    void formatMessage(ConversationMessage *message);
    // The HTML fragment of one line.
    QString formattedLine(ConversationMessage *message) const;

signals:
    void messageAdded(const QString &sender, const QString &message);
    void formattedMessageAdded(const QString &formattedMessage);

public slots:
    // Appends a chat line when the text is addressed to this conversation;
    // a text whose sender is the conversation itself becomes a system line,
    // and a text whose sender its realm cannot name is dropped with a warning.
    void onConversationTextMessageReceived(const QString &conversationID, const QString &senderUUID,
                                           const QString &receiverUUID, const QString &messageText,
                                           const QDateTime &sentAt);
    void onSenderDisplayNameChanged(const QString &displayName);

private:
    Conversation *getConversation() const;
    void appendMessage(ConversationMessage *message);
    // Appends a line without sender; plainText is what messageAdded carries.
    void addLocalLine(const QString &text, ConversationMessage::ConversationMessageType type, const QString &plainText);
    // The colour text of a line's block.
    QString chatColorFor(ConversationMessage *message) const;

    QList<ConversationMessage *> m_messages;
    // The name-change connection to each author, made with the author's
    // first line; a handle no longer connected is made again.
    QHash<QObject *, QMetaObject::Connection> m_followedSenders;
};
