#include "permanentconversationjsonreplyhandler.h"

#include "conversation.h"
#include "conversationlist.h"
#include "localuser.h"
#include "socialmanager.h"
#include "tavriidentityrealm.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonObject>

namespace {

// Where the web service stores channel pictures on its own disk, and the
// public path the same pictures are served under.
const QString kServerImageFolder = QStringLiteral("/var/www/html/img/");
const QString kPublicImageFolder = QStringLiteral("/img/");

const QString kSameNameRootReason =
    QStringLiteral("Cannot add root channel with same name as another root channel of the same user");

// A text field; a number is taken as its decimal text (ids and dial-in
// codes come either way), any other JSON type reads as empty.
QString textOf(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'f', 0);
    return QString();
}

} // namespace

PermanentConversationJsonReplyHandler::PermanentConversationJsonReplyHandler(Conversation *conversation)
    : JsonReplyHandler(conversation)
{
}

Conversation *PermanentConversationJsonReplyHandler::conversation() const
{
    return qobject_cast<Conversation *>(parent());
}

bool PermanentConversationJsonReplyHandler::handleReply(const QString &method, const QJsonDocument &document)
{
    Conversation *conversation = this->conversation();
    if (!conversation) {
        qWarning() << "PermanentConversationJsonReplyHandler::handleReply"
                   << "no conversation for the answer to" << method;
        return false;
    }
    if (isErrorAnswer(method, document, conversation))
        return false;

    if (method == QLatin1String("AddChannel"))
        return handleAddChannel(document, conversation);
    if (method == QLatin1String("GetChannelsInHierarchy"))
        return handleChannelsInHierarchy(document, conversation);
    if (method == QLatin1String("SetChannelImage")) {
        handleSetChannelImage(document, conversation);
        return false;
    }
    if (method == QLatin1String("changeChannelModerator"))
        return false;
    if (method == QLatin1String("changeChannelFavorite")) {
        conversation->onFavoriteReply(true);
        return false;
    }
    if (method == QLatin1String("DeleteChannel")) {
        qDebug() << "PermanentConversationJsonReplyHandler::handleReply"
                 << "delaying deleting conversation" << conversation;
        conversation->deleteLater();
        return false;
    }
    qDebug() << "PermanentConversationJsonReplyHandler::handleReply"
             << "No action taken for " << method;
    return false;
}

bool PermanentConversationJsonReplyHandler::isErrorAnswer(const QString &method, const QJsonDocument &document,
                                                          Conversation *conversation)
{
    if (document.isNull() || document.isArray() || document.object().isEmpty())
        return false;
    const QJsonObject object = document.object();
    if (textOf(object.value(QStringLiteral("status"))) != QLatin1String("ERR"))
        return false;
    const QString message = textOf(object.value(QStringLiteral("msg")));
    const QString reason = textOf(object.value(QStringLiteral("reason")));
    qCritical() << "PermanentConversationJsonReplyHandler::handleReply"
                << "Error: SocialResponse" << method << message << reason;
    if (QSocialManager *social = QSocialManager::getInstance())
        social->logEvent(QStringLiteral("Error"), QStringLiteral("SocialResponse"),
                         {QStringLiteral("m:") + message, QStringLiteral("r:") + reason});
    if (method == QLatin1String("AddChannel") && reason == kSameNameRootReason)
        emit conversation->addChannelFailed();
    // A refused favourite change leaves the stored value as it was.
    if (method == QLatin1String("changeChannelFavorite"))
        conversation->onFavoriteReply(false);
    return true;
}

bool PermanentConversationJsonReplyHandler::handleAddChannel(const QJsonDocument &document, Conversation *conversation)
{
    const QJsonObject object = document.object();
    const QString liveURI = textOf(object.value(QStringLiteral("ChannelLiveURI"))).toLower();
    const QString channelUID = textOf(object.value(QStringLiteral("ChannelSocialUID")));
    // Without an address or an id the channel cannot be used or found again:
    // the conversation stays unsaved, with the address it had.
    if (liveURI.isEmpty() || channelUID.isEmpty()) {
        qWarning() << "PermanentConversationJsonReplyHandler::handleReply"
                   << "AddChannel answer without channel address or id:" << liveURI << channelUID;
        emit conversation->addChannelFailed();
        return false;
    }
    const QString dialinCode = textOf(object.value(QStringLiteral("ChannelCallInNumber")));
    const QString oldURI = conversation->getSipURI();

    conversation->setSipURI(liveURI, false);
    conversation->setChannelUID(channelUID);
    conversation->setDialinAccessCode(dialinCode, true);
    emit conversation->channelAdded(liveURI, channelUID, dialinCode);

    // The picture chosen before the channel existed is uploaded now.
    const QString image = conversation->getProfileImageURI();
    conversation->setProfileImageURI(QString(), true);
    conversation->setProfileImageURI(image, false);

    LocalUser::getLocalUser()->getConversations()->addConversation(conversation);
    TavriIdentityRealm::getInstance()->registerConversation(conversation);
    conversation->replayPendingLists();
    conversation->addCompleted(oldURI);
    return true;
}

bool PermanentConversationJsonReplyHandler::handleChannelsInHierarchy(const QJsonDocument &document,
                                                                      Conversation *conversation)
{
    if (!document.isArray()) {
        qWarning() << "PermanentConversationJsonReplyHandler::handleReply"
                   << "GetChannelsInHierarchy response not an array";
        return true;
    }
    QSocialManager *social = QSocialManager::getInstance();
    if (!social) {
        qWarning() << "PermanentConversationJsonReplyHandler::handleReply"
                   << "GetChannelsInHierarchy error: no web client";
        return false;
    }
    ConversationList *familyTree = conversation->getFamilyTree(false);
    familyTree->clear();
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    const QJsonArray channels = document.array();
    for (int i = 0; i < channels.size(); ++i) {
        if (!channels.at(i).isObject()) {
            qWarning() << "PermanentConversationJsonReplyHandler::handleReply"
                       << "GetChannelsInHierarchy element" << i << "is not a channel record";
            continue;
        }
        const QString uri = social->processChannelInfo(channels.at(i).toObject());
        // A record without an address names no conversation.
        if (uri.isEmpty()) {
            qWarning() << "PermanentConversationJsonReplyHandler::handleReply"
                       << "GetChannelsInHierarchy element" << i << "has no channel address";
            continue;
        }
        if (Conversation *member = realm->getConversation(uri))
            familyTree->addConversation(member);
    }
    return true;
}

void PermanentConversationJsonReplyHandler::handleSetChannelImage(const QJsonDocument &document,
                                                                  Conversation *conversation)
{
    QString result = textOf(document.object().value(QStringLiteral("result")));
    if (result.startsWith(kServerImageFolder)) {
        result.replace(kServerImageFolder, kPublicImageFolder);
        if (QSocialManager *social = QSocialManager::getInstance())
            result.prepend(social->getServerBaseUrl());
    }
    if (result.isEmpty())
        return;
    qDebug() << "PermanentConversationJsonReplyHandler::handleReply"
             << "resetting conversation profile image" << result;
    conversation->setProfileImageURI(result, true);
}

void PermanentConversationJsonReplyHandler::onError(const QNetworkReply::NetworkError &errorCode)
{
    qWarning() << "PermanentConversationJsonReplyHandler::onError"
               << "failed to create channel:" << errorCode;
    if (Conversation *conversation = this->conversation()) {
        conversation->onWebRequestFailed();
        emit conversation->addChannelFailed();
    }
}
