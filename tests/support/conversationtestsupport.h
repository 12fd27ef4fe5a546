#pragma once

// Helpers for tests that read what a conversation shows.

#include "conversation.h"
#include "conversationmessage.h"
#include "conversationmessagelist.h"

#include <QStringList>

namespace conversationtest {

// The texts of the conversation's chat lines, oldest first.
inline QStringList lines(Conversation *conversation)
{
    QStringList result;
    for (ConversationMessage *message : conversation->getChatMessages()->getMessages())
        result.append(message->getText());
    return result;
}

inline QStringList lines(Conversation &conversation)
{
    return lines(&conversation);
}

} // namespace conversationtest
