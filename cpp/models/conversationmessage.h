#pragma once

#include "realmuserinterface.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

// ConversationMessage: one chat line of a conversation.
//
// Created by a ConversationMessageList, which is its parent; never edited.
// The sender (not owned) is null for welcome and system lines, and becomes
// null when the sender's object is deleted: a line can outlive the user who
// wrote it (a realm deletes its users and conversations in any order). GUI
// thread only.
class ConversationMessage : public QObject
{
    Q_OBJECT
    Q_PROPERTY(ConversationMessageType messageType READ getMessageType CONSTANT)

public:
    enum ConversationMessageType { ChatText = 0, WelcomeMessage = 1, NotificationMessage = 2 };
    Q_ENUM(ConversationMessageType)

    ConversationMessage(const QString &text, Tavri::RealmUserInterface *sender, const QDateTime &sentAt,
                        QObject *parent, ConversationMessageType type);

    QString getText() const { return m_text; }
    Tavri::RealmUserInterface *getSender() const { return m_senderObject ? m_sender : nullptr; }
    QString getConversationID() const { return m_conversationID; }
    QDateTime getSentAt() const { return m_sentAt; }
    QDateTime getReceivedAt() const { return m_receivedAt; }
    ConversationMessageType getMessageType() const { return m_messageType; }

private:
    QString m_text;
    Tavri::RealmUserInterface *m_sender = nullptr;
    // Tells whether m_sender still lives.
    QPointer<QObject> m_senderObject;
    QString m_conversationID;
    QDateTime m_sentAt;
    QDateTime m_receivedAt;
    ConversationMessageType m_messageType = ChatText;
};
