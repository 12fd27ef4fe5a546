#include "conversationmessage.h"

#include "conversation.h"
#include "localtimezone.h"

ConversationMessage::ConversationMessage(const QString &text, Tavri::RealmUserInterface *sender,
                                         const QDateTime &sentAt, QObject *parent, ConversationMessageType type)
    : QObject(parent)
    , m_text(text)
    , m_sender(sender)
    , m_senderObject(sender ? sender->getQObject() : nullptr)
    , m_sentAt(sentAt)
    , m_receivedAt(LocalTimeZone::now())
    , m_messageType(type)
{
    // The list's parent is the conversation.
    if (parent)
        if (auto *conversation = qobject_cast<Conversation *>(parent->parent()))
            m_conversationID = conversation->getConversationID();
}
