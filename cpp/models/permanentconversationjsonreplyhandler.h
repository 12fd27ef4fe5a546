#pragma once

#include "jsonreplyhandler.h"

class Conversation;

// PermanentConversationJsonReplyHandler: receives the web service's answers
// to the requests a conversation makes about its permanent channel (add,
// hierarchy, picture, favourite, moderator, delete) and applies them to that
// conversation.
//
// Created by the conversation on its first such request, with the
// conversation as QObject parent, so it ends with it and answers that arrive
// afterwards are dropped by the web client. GUI thread only.
class PermanentConversationJsonReplyHandler : public JsonReplyHandler
{
    Q_OBJECT
public:
    explicit PermanentConversationJsonReplyHandler(Conversation *conversation);

    // Applies the answer of `method`. Returns true for the answers that were
    // taken in full (a saved channel, a hierarchy), false otherwise.
    bool handleReply(const QString &method, const QJsonDocument &document) override;

public slots:
    // A request carrying this handler failed at network level: the
    // conversation reports a failed add, whatever the request was.
    void onError(const QNetworkReply::NetworkError &errorCode) override;

private:
    Conversation *conversation() const;
    // True when the answer is the web service's error answer; logs it and
    // queues it for analytics.
    bool isErrorAnswer(const QString &method, const QJsonDocument &document, Conversation *conversation);
    bool handleAddChannel(const QJsonDocument &document, Conversation *conversation);
    bool handleChannelsInHierarchy(const QJsonDocument &document, Conversation *conversation);
    void handleSetChannelImage(const QJsonDocument &document, Conversation *conversation);
};
