// Web service answers: any method name with any JSON, through the web
// client's reply dispatch and record readers, the external-application
// realm's answers and a channel's own answers, with the local user logged in.
//
// Input: the method name, a newline, then the answer's body.

#include "permanentconversationjsonreplyhandler.h"
#include "sessionfixture.h"
#include "tavrisharedidentityrealmjsonreplyhandler.h"

#include <QJsonDocument>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Session &session = fuzz::Session::get();
    static TavriSharedIdentityRealmJsonReplyHandler *realmHandler = new TavriSharedIdentityRealmJsonReplyHandler;
    static Conversation *channel = session.keep(
        TavriIdentityRealm::getInstance()->getConversation(QStringLiteral("sip:confctl-77@") + session.domain()));
    static PermanentConversationJsonReplyHandler *channelHandler = new PermanentConversationJsonReplyHandler(channel);

    QByteArray method;
    QByteArray body;
    fuzz::split(fuzz::bytes(data, size), '\n', &method, &body);
    // As the transport reads an answer: parsed (or an empty document) and
    // masked for its log line.
    const QString name = QString::fromUtf8(method);
    const QString text = QString::fromUtf8(body);
    const QJsonDocument reply = QSocialQuery::parseReply(name, text);
    QSocialQuery::maskForLog(text);

    session.social()->handleReply(name, reply);
    realmHandler->handleReply(name, reply);
    channelHandler->handleReply(name, reply);
    session.reset();
    return 0;
}
