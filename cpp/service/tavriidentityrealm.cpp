#include "tavriidentityrealm.h"

#include "conversation.h"
#include "conversationlist.h"
#include "conversationmessagelist.h"
#include "conversationparticipant.h"
#include "conversationparticipantlist.h"
#include "debugline.h"
#include "localtimezone.h"
#include "localuser.h"
#include "reportassertionfailure.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealmuser.h"
#include "voicemanager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>
#include <QSet>
#include <QTimerEvent>

#include <limits>
#include <utility>

namespace {

TavriIdentityRealm *s_instance = nullptr;
bool s_ending = false;

template <typename Map>
void removeEntriesPointingTo(Map &map, const QObject *object)
{
    for (auto it = map.begin(); it != map.end();) {
        if (static_cast<const QObject *>(it.value()) == object)
            it = map.erase(it);
        else
            ++it;
    }
}

const QLatin1String kChannelPrefix("sip:confctl-");
const QLatin1String kAdHocPrefix("sip:confctl-g-");
const QLatin1String kPrivatePrefix("sip:u-");

// The survey comes back every this many calls unless the server says otherwise.
const uint kDefaultPostCallSurveyRepeat = 5;

bool isNumber(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

template <typename Map>
void removeKeyPointingTo(Map &map, const QString &key, const Conversation *conversation)
{
    auto it = map.find(key);
    if (it != map.end() && it.value() == conversation)
        map.erase(it);
}

} // namespace

TavriIdentityRealm *TavriIdentityRealm::getInstance(QObject *parent)
{
    if (!s_instance)
        s_instance = new TavriIdentityRealm(parent);
    return s_instance;
}

bool TavriIdentityRealm::isEnding()
{
    return s_ending;
}

TavriIdentityRealm::TavriIdentityRealm(QObject *parent)
    : QObject(parent)
{
    if (QSocialManager *socialManager = QSocialManager::getInstance()) {
        connect(socialManager, &QSocialManager::userInfoReceived, this,
                &TavriIdentityRealm::onSocialManagerUserInfoReceived);
        connect(socialManager, &QSocialManager::userPictureUpdated, this,
                &TavriIdentityRealm::onSocialManagerUserPictureUpdated);
        connect(socialManager, &QSocialManager::channelFavoritesBegin, this,
                &TavriIdentityRealm::onSocialManagerFavoriteChannelsBeginReceived);
        connect(socialManager, &QSocialManager::channelFavoriteReceived, this,
                &TavriIdentityRealm::onSocialManagerFavoriteChannelReceived);
        connect(socialManager, &QSocialManager::channelFavoritesEnd, this,
                &TavriIdentityRealm::onSocialManagerFavoriteChannelsEndReceived);
        connect(socialManager, &QSocialManager::channelFavoriteChanged, this,
                &TavriIdentityRealm::onSocialManagerChannelFavoriteChanged);
        connect(socialManager, &QSocialManager::ownedChannelsReceived, this,
                &TavriIdentityRealm::onSocialManagerOwnedChannelsReceived);
        connect(socialManager, &QSocialManager::ownedChannelDeleted, this,
                &TavriIdentityRealm::onSocialManagerOwnedChannelDeleted);
        connect(socialManager, &QSocialManager::channelAdded, this,
                &TavriIdentityRealm::onSocialManagerOwnedChannelAdded);
        connect(socialManager, &QSocialManager::receivedChannelInfo, this,
                &TavriIdentityRealm::onSocialManagerReceivedChannelInfo);
        connect(socialManager, &QSocialManager::friendsListReceived, this,
                &TavriIdentityRealm::onSocialManagerFriendsListReceived);
        connect(socialManager, &QSocialManager::contactGroupsBegin, this,
                &TavriIdentityRealm::onSocialManagerContactGroupsReceivedBegin);
        connect(socialManager, &QSocialManager::contactGroupInfoReceived, this,
                &TavriIdentityRealm::onSocialManagerContactGroupInfoReceived);
        connect(socialManager, &QSocialManager::contactGroupMemberChanged, this,
                &TavriIdentityRealm::onSocialManagerContactGroupMemberChanged);
        connect(socialManager, &QSocialManager::contactGroupsEnd, this,
                &TavriIdentityRealm::onSocialManagerContactGroupsReceivedEnd);
        connect(socialManager, &QSocialManager::contactGroupRemoved, this,
                &TavriIdentityRealm::onSocialManagerContactGroupRemoved);
    }
    if (VoiceManager *voice = VoiceManager::getInstance()) {
        connect(voice, &VoiceManager::presenceReceived, this,
                &TavriIdentityRealm::onVoiceManagerPresenceUpdateReceived);
        connect(voice, &VoiceManager::friendsListReceived, this, &TavriIdentityRealm::onTavriContactsReceived);
        connect(voice, &VoiceManager::friendAdded, this, &TavriIdentityRealm::onVoiceManagerFriendAdded);
        connect(voice, &VoiceManager::friendRemoved, this, &TavriIdentityRealm::onVoiceManagerFriendRemoved);
        connect(voice, &VoiceManager::sessionJoining, this, &TavriIdentityRealm::onVoiceManagerSessionJoining);
        connect(voice, &VoiceManager::sessionJoined, this, &TavriIdentityRealm::onVoiceManagerSessionJoined);
        connect(voice, &VoiceManager::channelPasswordRequired, this,
                &TavriIdentityRealm::onVoiceManagerChannelPasswordRequired);
        connect(voice, &VoiceManager::channelAccessDenied, this,
                &TavriIdentityRealm::onVoiceManagerChannelAccessDenied);
        connect(voice, &VoiceManager::sessionJoinFailed, this, &TavriIdentityRealm::onVoiceManagerSessionJoinFailed);
        connect(voice, &VoiceManager::sessionRemoved, this, &TavriIdentityRealm::onVoiceManagerSessionRemoved);
        connect(voice, &VoiceManager::mediaDisconnected, this, &TavriIdentityRealm::onVoiceManagerMediaDisconnected);
        connect(voice, &VoiceManager::mediaStreamUpdated, this, &TavriIdentityRealm::onVoiceManagerMediaStreamUpdated);
        connect(voice, &VoiceManager::participantAdded, this, &TavriIdentityRealm::onVoiceManagerParticipantAdded);
        connect(voice, &VoiceManager::participantRemoved, this, &TavriIdentityRealm::onVoiceManagerParticipantRemoved);
        connect(voice, &VoiceManager::participantUpdated, this, &TavriIdentityRealm::onVoiceManagerParticipantUpdated);
        connect(voice, &VoiceManager::participantVolumeUpdated, this,
                &TavriIdentityRealm::onVoiceManagerParticipantVolumeUpdated);
        connect(voice, &VoiceManager::sessionNotificationReceived, this,
                &TavriIdentityRealm::onVoiceManagerSessionNotificationReceived);
        connect(voice, &VoiceManager::messageReceived, this, &TavriIdentityRealm::onVoiceManagerTextMessageReceived);
        connect(voice, &VoiceManager::messageNotSent, this, &TavriIdentityRealm::onVoiceManagerMessageNotSent);
        connect(voice, &VoiceManager::userIsOffline, this, &TavriIdentityRealm::onVoiceManagerUserIsOffline);
        connect(voice, &VoiceManager::chatMessageSent, this, &TavriIdentityRealm::onVoiceManagerChatMessageSent);
        connect(voice, &VoiceManager::moderatorListReceived, this,
                &TavriIdentityRealm::onVoiceManagerModeratorListReceived);
        connect(voice, &VoiceManager::moderatorAdded, this, &TavriIdentityRealm::onVoiceManagerModeratorAdded);
        connect(voice, &VoiceManager::moderatorRemoved, this, &TavriIdentityRealm::onVoiceManagerModeratorRemoved);
        connect(voice, &VoiceManager::aclListReceived, this, &TavriIdentityRealm::onVoiceManagerAclListReceived);
        connect(voice, &VoiceManager::memberAddedToChannelACL, this,
                &TavriIdentityRealm::onVoiceManagerMemberAddedToChannelACL);
        connect(voice, &VoiceManager::memberRemovedFromChannelACL, this,
                &TavriIdentityRealm::onVoiceManagerMemberRemovedFromChannelACL);
        connect(voice, &VoiceManager::banListReceived, this, &TavriIdentityRealm::onVoiceManagerBanListReceived);
        connect(voice, &VoiceManager::userBanned, this, &TavriIdentityRealm::onVoiceManagerUserBanned);
        connect(voice, &VoiceManager::readyToJoinChannels, this,
                &TavriIdentityRealm::onVoiceManagerReadyToJoinChannels);
    }
}

TavriIdentityRealm::~TavriIdentityRealm()
{
    // The instance is let go of before the announcement: a listener that
    // reaches for the realm must not be handed the one being destroyed.
    const bool wasInstance = s_instance == this;
    if (wasInstance) {
        s_instance = nullptr;
        s_ending = true;
    }
    emit destroying();
    if (wasInstance)
        s_ending = false;
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm"
             << "clearing private conversations" << m_privateConversationMap.size();
    m_privateConversationMap.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm"
             << "clearing pending messages" << m_pendingMessages.size();
    m_pendingMessages.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm"
             << "clearing users by UID" << m_usersByUID.size();
    m_usersByUID.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm"
             << "clearing users by UName" << m_usersByUName.size();
    m_usersByUName.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm"
             << "clearing users by URI" << m_usersByURI.size();
    m_usersByURI.clear();

    // Every conversation still filed anywhere stops reporting to the realm.
    QSet<Conversation *> followed;
    for (Conversation *conversation : qAsConst(m_conversationsBySessionHandle))
        followed.insert(conversation);
    for (Conversation *conversation : qAsConst(m_conversationsByUID))
        followed.insert(conversation);
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm"
             << "clearing conversations by session handle" << m_conversationsBySessionHandle.size();
    m_conversationsBySessionHandle.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm"
             << "clearing session handles by conversation" << m_sessionHandlesByConversation.size();
    m_sessionHandlesByConversation.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm"
             << "clearing conversations by UID" << m_conversationsByUID.size();
    m_conversationsByUID.clear();
    for (auto it = m_conversationsByURI.cbegin(); it != m_conversationsByURI.cend(); ++it) {
        qDebug() << "TavriIdentityRealm::~TavriIdentityRealm"
                 << "Disconnecting from" << it.key();
        followed.insert(it.value());
    }
    for (Conversation *conversation : qAsConst(followed))
        disconnectConversation(conversation);
    m_conversationsByURI.clear();

    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
}

QString TavriIdentityRealm::realmDisplayName()
{
    return QStringLiteral("Tavri");
}

QString TavriIdentityRealm::realmID()
{
    return QStringLiteral("__Tavri");
}

QString TavriIdentityRealm::realmTag()
{
    return QStringLiteral("0");
}

bool TavriIdentityRealm::realmFlagA()
{
    return false;
}

void TavriIdentityRealm::realmHookA(void *) {}

void *TavriIdentityRealm::realmObjectA()
{
    return nullptr;
}

void TavriIdentityRealm::realmHookB(void *) {}

bool TavriIdentityRealm::realmFlagB()
{
    return true;
}

Tavri::RealmUserInterface *TavriIdentityRealm::getRealmUser(const QString &userUUID)
{
    // No user has an empty id: filing one would make a phantom user of
    // every line or record that names nobody.
    if (userUUID.isEmpty()) {
        qDebug() << "TavriIdentityRealm::getRealmUser"
                 << "no user id, no user";
        return nullptr;
    }
    if (TavriIdentityRealmUser *user = m_usersByUID.value(userUUID))
        return user;
    auto *user = new TavriIdentityRealmUser(this);
    user->setUid(userUUID);
    m_usersByUID.insert(userUUID, user);
    if (userUUID.startsWith(QLatin1String("sip:phone."))) {
        // Telephone callers have no web-service record.
        user->setSipURI(userUUID);
        m_usersByURI.insert(userUUID, user);
    } else if (QSocialManager *socialManager = QSocialManager::getInstance()) {
        if (userUUID.startsWith(QLatin1String("sip:")))
            socialManager->getUserInfoByUri(userUUID);
        else
            socialManager->getUserInfoByUID(userUUID);
    }
    return user;
}

bool TavriIdentityRealm::requestLogin()
{
    // The built-in realm is logged in through the local user.
    reportAssertionFailure("false", __FILE__, __LINE__, Q_FUNC_INFO, true);
    return false;
}

void TavriIdentityRealm::requestLogout(Tavri::RealmUserInterface *identity)
{
    if (!TAVRI_CHECK(identity == LocalUser::getLocalUser()->tavriidentity()))
        return;
    qDebug() << "TavriIdentityRealm::requestLogout" << (identity ? identity->getUid() : QString());
    if (QSocialManager *socialManager = QSocialManager::getInstance())
        socialManager->clearCredentials();
    if (identity)
        identity->getQObject()->deleteLater();

    // Leaving can end or replace conversations: hold them guarded, and leave
    // one filed under its own and its transition session only once.
    QList<QPointer<Conversation>> withSession;
    for (Conversation *conversation : qAsConst(m_conversationsBySessionHandle)) {
        if (!withSession.contains(conversation))
            withSession.append(conversation);
    }
    for (const QPointer<Conversation> &conversation : qAsConst(withSession)) {
        if (conversation)
            conversation->requestLeaveConversation(true);
    }

    m_conversationsBySessionHandle.clear();
    m_sessionHandlesByConversation.clear();
    m_pendingMessages.clear();
    m_inFlightChatMessages.clear();
    m_conversationListProgress = 0;
    m_privateConversationMap.clear();
    m_ownedChannelURIs.clear();
    m_ownedChannelDisplayNames.clear();
    m_favoriteChannelURIs.clear();
    m_contactGroupIDs.clear();
    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
}

QObject *TavriIdentityRealm::realmObject()
{
    return this;
}

void TavriIdentityRealm::onNetworkDisconnect() {}

void TavriIdentityRealm::onNetworkReconnect() {}

QString TavriIdentityRealm::buildChatTimestampPrefix(const QString &text)
{
    return QString::number(QDateTime::currentMSecsSinceEpoch()) + QLatin1String(":0:") + text;
}

void TavriIdentityRealm::sendTextMessage(const QString &senderUUID, const QString &receiverUUID,
                                         const QString &messageText)
{
    const QString conversationID = m_privateConversationMap.value(qMakePair(senderUUID, receiverUUID));
    if (!conversationID.isEmpty()) {
        sendTextMessage(conversationID, messageText);
        return;
    }
    if (!receiverUUID.startsWith(QLatin1String("sip:")))
        qWarning() << "TavriIdentityRealm::sendTextMessage"
                   << "receiver is not a SIP URI:" << receiverUUID;
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->requestP2PSession(receiverUUID, false);
    else
        qWarning() << "TavriIdentityRealm::sendTextMessage"
                   << "no voice service; text queued for" << receiverUUID;
    m_pendingMessages[receiverUUID].append(messageText);
}

void TavriIdentityRealm::requestJoinConversation(const QString &conversationID, const QString &participantUUID,
                                                 const QString &password)
{
    getRealmUser(participantUUID);
    Conversation *conversation = getConversation(conversationID);
    if (!conversation) {
        qDebug() << "TavriIdentityRealm::requestJoinConversation"
                 << "conversation not found..." << conversationID;
        return;
    }
    // Already in; a conversation whose voice was just asked for goes on, so
    // that its voice session is set up.
    if (conversation->getJoinState() == Conversation::Joined
        && conversation->getVoiceState() != Conversation::VoiceRequested) {
        emit conversationJoined(conversationID, participantUUID);
        return;
    }

    VoiceManager *voice = VoiceManager::getInstance();
    const QString sipURI = conversation->getSipURI();
    if (sipURI.startsWith(kChannelPrefix)) {
        if (!m_readyToJoinChannels) {
            // Made once the voice service can join channels.
            m_pendingJoins.insert(sipURI, password);
        } else if (voice) {
            voice->requestJoinChannel(sipURI, password, true);
        } else {
            qWarning() << "TavriIdentityRealm::requestJoinConversation"
                       << "no voice service to join" << sipURI;
        }
    } else if (sipURI.startsWith(kPrivatePrefix)) {
        const QString transitionURI = conversation->getTransitionSipURI();
        if (!transitionURI.isEmpty()) {
            // The private chat is turning into a group chat: join that one.
            if (voice)
                voice->requestJoinChannel(transitionURI, QString(), true);
            else
                qWarning() << "TavriIdentityRealm::requestJoinConversation"
                           << "no voice service to join" << transitionURI;
            return;
        }
        LocalUser::getLocalUser()->getConversations()->addConversation(conversation, false);
    } else {
        // Logged as a warning so that the refused id stands out in the log.
        qWarning() << "TavriIdentityRealm::requestJoinConversation"
                   << "unexpected URI:" << sipURI;
        reportAssertionFailure("false", __FILE__, __LINE__, Q_FUNC_INFO, true);
        return;
    }

    if (conversation->getJoinState() < Conversation::Joining)
        conversation->setJoinState(Conversation::Joining);
}

void TavriIdentityRealm::requestLeaveConversation(const QString &conversationID, const QString &participantUUID)
{
    getRealmUser(participantUUID);
    Conversation *conversation = getConversation(conversationID);
    if (!TAVRI_CHECK(conversation))
        return;
    const Conversation::JoinState joinState = conversation->getJoinState();
    if (joinState == Conversation::NotJoined || joinState == Conversation::Leaving)
        return;
    postCallSurveyCheck(conversation);
    qDebug() << "TavriIdentityRealm::requestLeaveConversation"
             << "terminating explicitly" << int(joinState) << conversation->getTransitionSipURI()
             << conversation->getTransitionOstrelSessionHandle();

    // A conversation still joining has no session to end yet.
    if (joinState == Conversation::Joined) {
        VoiceManager *voice = VoiceManager::getInstance();
        const QString handle = conversation->getOstrelSessionHandle(false);
        if (!handle.isEmpty()) {
            if (voice)
                voice->requestTerminateSession(handle);
            conversation->setOstrelSessionHandle(QString());
        }
        const QString transitionHandle = conversation->getTransitionOstrelSessionHandle();
        if (!transitionHandle.isEmpty()) {
            if (voice)
                voice->requestTerminateSession(transitionHandle);
            conversation->setTransitionOstrelSessionHandle(QString());
        }
    }
    // The session's removal completes the leave.
    conversation->setJoinState(Conversation::Leaving);
}

void TavriIdentityRealm::sendTextMessage(const QString &conversationID, const QString &messageText)
{
    // The voice service takes texts as C strings, which would end at a NUL:
    // the rest of the text is kept, the NUL shown as a replacement mark.
    QString text = messageText;
    text.replace(QChar(QChar::Null), QChar(QChar::ReplacementCharacter));
    const QString framed = buildChatTimestampPrefix(text);
    Conversation *conversation = getConversation(conversationID);
    if (!conversation)
        return;

    if (m_sessionHandlesByConversation.contains(conversation)) {
        QString handle = conversation->getOstrelSessionHandle(true);
        if (handle.isEmpty())
            handle = m_sessionHandlesByConversation.value(conversation);
        // A session that has ended for this conversation (one left behind by
        // a move between sessions) takes no text: the entry is dropped and
        // the text goes as for a conversation without a session.
        if (m_conversationsBySessionHandle.value(handle) != conversation) {
            qDebug() << "TavriIdentityRealm::sendTextMessage"
                     << "session" << handle << "has ended for" << conversationID;
            m_sessionHandlesByConversation.remove(conversation);
            sendTextMessage(conversationID, messageText);
            return;
        }
        if (!fitsInOneChatMessage(framed)) {
            // The voice world drops a message past its size limit without a
            // word: the text is refused here and shown as not sent.
            qWarning() << "TavriIdentityRealm::sendTextMessage"
                       << "text too long to send:" << text.size() << "characters";
            emitNotSentLine(conversation->getSipURI(), text, true);
            sendNextQueuedTextMessage(handle);
            return;
        }
        VoiceManager *voice = VoiceManager::getInstance();
        const QString cookie = voice ? voice->requestSendMessage(handle, framed) : QString();
        if (cookie.isEmpty()) {
            // No request went out, so no answer will come for it.
            qWarning() << "TavriIdentityRealm::sendTextMessage"
                       << "text not sent, no voice request for" << conversationID;
            return;
        }
        m_inFlightChatMessages.insert(cookie, text);
        return;
    }

    const QString sipURI = conversation->getSipURI();
    if (sipURI.startsWith(kPrivatePrefix)) {
        // Sent one at a time once the private session is up.
        m_pendingMessages[sipURI].append(text);
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestP2PSession(sipURI, false);
        else
            qWarning() << "TavriIdentityRealm::sendTextMessage"
                       << "no voice service; text queued for" << sipURI;
        return;
    }

    // A channel without a session: the text is dropped and the channel joined.
    qDebug() << "TavriIdentityRealm::sendTextMessage"
             << "no session, text dropped; joining" << conversationID;
    if (Tavri::RealmUserInterface *identity = LocalUser::getLocalUser()->getLocalUserIdentity(this))
        requestJoinConversation(conversation->getConversationID(), identity->getUid(), QString());
}

void TavriIdentityRealm::sendIsTypingChanged(const QString &conversationID, bool isTyping)
{
    Conversation *conversation = getConversation(conversationID);
    if (!conversation || !m_sessionHandlesByConversation.contains(conversation))
        return;
    QString handle = conversation->getOstrelSessionHandle(true);
    if (handle.isEmpty())
        handle = m_sessionHandlesByConversation.value(conversation);
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->sendTypingNotification(handle, isTyping);
}

void TavriIdentityRealm::sendNextQueuedTextMessage(const QString &sessionHandle)
{
    Conversation *conversation = m_conversationsBySessionHandle.value(sessionHandle);
    if (!conversation)
        return;
    const QString sipURI = conversation->getSipURI();
    auto queue = m_pendingMessages.find(sipURI);
    if (queue == m_pendingMessages.end() || queue->isEmpty())
        return;
    const QString text = queue->takeFirst();
    sendTextMessage(sipURI, text);
}

void TavriIdentityRealm::requestAddContact(const QString &, const QString &contactUUID)
{
    Tavri::RealmUserInterface *user = getRealmUser(contactUUID);
    auto *tavriidentity = user ? qobject_cast<TavriIdentityRealmUser *>(user->getQObject()) : nullptr;
    if (!TAVRI_CHECK(tavriidentity))
        return;
    if (QSocialManager *socialManager = QSocialManager::getInstance())
        socialManager->requestChangeFriend(contactUUID, true, QString());
    else
        qWarning() << "TavriIdentityRealm::requestAddContact"
                   << "no web service to befriend" << contactUUID;
    const QString sipURI = tavriidentity->getSipURI();
    if (sipURI.isEmpty()) {
        // Not known to the voice service yet: there is no buddy to add.
        qWarning() << "TavriIdentityRealm::requestAddContact"
                   << "no SIP URI for" << contactUUID << "- voice buddy not added";
        return;
    }
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->requestAddBuddy(sipURI, QString());
}

void TavriIdentityRealm::requestRemoveContact(const QString &, const QString &contactUUID)
{
    Tavri::RealmUserInterface *user = getRealmUser(contactUUID);
    auto *tavriidentity = user ? qobject_cast<TavriIdentityRealmUser *>(user->getQObject()) : nullptr;
    if (!TAVRI_CHECK(tavriidentity))
        return;
    if (QSocialManager *socialManager = QSocialManager::getInstance())
        socialManager->requestChangeFriend(contactUUID, false, QString());
    else
        qWarning() << "TavriIdentityRealm::requestRemoveContact"
                   << "no web service to unfriend" << contactUUID;
    const QString sipURI = tavriidentity->getSipURI();
    if (sipURI.isEmpty()) {
        qWarning() << "TavriIdentityRealm::requestRemoveContact"
                   << "no SIP URI for" << contactUUID << "- voice buddy not deleted";
        return;
    }
    if (VoiceManager *voice = VoiceManager::getInstance())
        voice->requestRemoveBuddy(sipURI, QString());
}

void TavriIdentityRealm::requestCreateContactGroup(const QString &name)
{
    if (!TAVRI_CHECK(!name.isEmpty()))
        return;
    if (QSocialManager *socialManager = QSocialManager::getInstance())
        socialManager->requestAddContactGroup(name);
    else
        qWarning() << "TavriIdentityRealm::requestCreateContactGroup"
                   << "no web service for group" << name;
}

void TavriIdentityRealm::timerEvent(QTimerEvent *event)
{
    const int timerId = event->timerId();
    if (timerId == m_timerId) {
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestConnectionQualityStatsUpdate();
        return;
    }
    if (!m_audioDisabledTimers.contains(timerId))
        return;
    const QPair<QPointer<Conversation>, QString> notice = m_audioDisabledTimers.take(timerId);
    killTimer(timerId);
    Conversation *conversation = notice.first;
    if (!conversation || !conversation->getIsJoined())
        return;
    ConversationParticipant *participant = conversation->getParticipants()->getParticipantBySipURI(notice.second);
    if (!participant)
        return;
    Tavri::RealmUserInterface *user = participant->getIdentity();
    const QString name = user ? user->getDisplayName() : notice.second;
    // Display names are chosen by their users: never markup in a system line.
    conversation->getChatMessages()->addSystemMessage(tr("%1 has disabled audio.").arg(name.toHtmlEscaped()));
}

Tavri::RealmUserInterface *TavriIdentityRealm::requestUserInfoUpdateByURI(const QString &sipURI)
{
    if (TavriIdentityRealmUser *user = m_usersByURI.value(sipURI))
        return user;
    // No user is filed under the empty key: a line or event without a sender
    // must not make up a phantom user.
    if (sipURI.isEmpty()) {
        qWarning() << "TavriIdentityRealm::requestUserInfoUpdateByURI"
                   << "no URI, no user";
        return nullptr;
    }
    auto *user = new TavriIdentityRealmUser(this);
    user->setSipURI(sipURI);
    user->setUid(sipURI);
    m_usersByURI.insert(sipURI, user);
    m_usersByUID.insert(sipURI, user);
    QSocialManager *socialManager = QSocialManager::getInstance();
    if (TAVRI_CHECK(QSocialManager::getInstance()) && sipURI.startsWith(QLatin1String("sip:")))
        socialManager->getUserInfoByUri(sipURI);
    return user;
}

void TavriIdentityRealm::onUserDestroying()
{
    const QObject *user = sender();
    if (!user)
        return;
    removeEntriesPointingTo(m_usersByURI, user);
    removeEntriesPointingTo(m_usersByUID, user);
    removeEntriesPointingTo(m_usersByUName, user);
}

QString TavriIdentityRealm::uidForURI(const QString &sipURI)
{
    Tavri::RealmUserInterface *user = requestUserInfoUpdateByURI(sipURI);
    return user ? user->getUid() : QString();
}

Conversation *TavriIdentityRealm::getConversation(const QString &sipURI)
{
    if (sipURI.isEmpty()) {
        qDebug() << "TavriIdentityRealm::getConversation"
                 << "no sip URI, returning...";
        return nullptr;
    }
    if (Conversation *conversation = m_conversationsByURI.value(sipURI))
        return conversation;

    // The web service and the voice service give channel URIs in lower case;
    // one written otherwise (a typed link, say) names the same channel.
    const QString lowerURI = sipURI.toLower();
    if (lowerURI != sipURI && lowerURI.startsWith(kChannelPrefix)) {
        qDebug() << "TavriIdentityRealm::getConversation"
                 << "channel URI taken in lower case:" << sipURI;
        return getConversation(lowerURI);
    }

    if (sipURI.startsWith(kChannelPrefix)) {
        auto *conversation = new Conversation(QString(), sipURI, QString(), this);
        connectConversation(conversation);
        m_conversationsByURI.insert(sipURI, conversation);
        // Neither an ad-hoc chat nor the echo channel is a channel of the
        // web service.
        if (!sipURI.startsWith(kAdHocPrefix) && sipURI != Conversation::echoChannelURI().toLower()) {
            // A permanent channel: its live id is the part before the at sign.
            const QString liveUID = sipURI.mid(kChannelPrefix.size()).section(QLatin1Char('@'), 0, 0);
            if (!isNumber(liveUID)) {
                qWarning() << "TavriIdentityRealm::getConversation"
                           << "no channel id in" << sipURI << "- channel details not requested";
            } else if (QSocialManager *socialManager = QSocialManager::getInstance()) {
                socialManager->requestChannelInfoWithOwnerInfoFromLiveUID(liveUID);
            }
        }
        return conversation;
    }

    // Channels and private chats are all there is: any other id would make a
    // conversation, a user and a web lookup for nothing.
    if (!sipURI.startsWith(kPrivatePrefix)) {
        qWarning() << "TavriIdentityRealm::getConversation"
                   << "not a channel or user URI:" << sipURI;
        return nullptr;
    }

    // A private chat: the local user and the peer.
    auto *conversation =
        new Conversation(this, sipURI, sipURI, this, Conversation::VoiceDisabled, Conversation::NotJoined);
    if (TavriIdentityRealmUser *localIdentity = LocalUser::getLocalUser()->tavriidentity())
        conversation->getParticipants()->addParticipant(localIdentity);
    conversation->getParticipants()->addParticipant(requestUserInfoUpdateByURI(sipURI));
    connectConversation(conversation);
    m_conversationsByURI.insert(sipURI, conversation);
    return conversation;
}

Conversation *TavriIdentityRealm::getConversationBySessionHandle(const QString &sessionHandle) const
{
    return m_conversationsBySessionHandle.value(sessionHandle);
}

Conversation *TavriIdentityRealm::getConversationByUID(const QString &channelUID)
{
    if (Conversation *conversation = m_conversationsByUID.value(channelUID))
        return conversation;
    // The placeholder is filed under the UID among the URIs too, so anything
    // but a channel id could stand for, or shadow, a real URI.
    if (!isNumber(channelUID)) {
        qWarning() << "TavriIdentityRealm::getConversationByUID"
                   << "not a channel UID:" << channelUID;
        return nullptr;
    }
    auto *conversation = new Conversation(channelUID, channelUID, channelUID, this);
    connectConversation(conversation);
    m_conversationsByUID.insert(channelUID, conversation);
    m_conversationsByURI.insert(channelUID, conversation);
    if (QSocialManager *socialManager = QSocialManager::getInstance())
        socialManager->requestChannelInfo(channelUID);
    else
        qWarning() << "TavriIdentityRealm::getConversationByUID"
                   << "no web service for channel" << channelUID;
    return conversation;
}

void TavriIdentityRealm::registerConversation(Conversation *conversation)
{
    if (!conversation)
        return;
    connectConversation(conversation);
    const QString sipURI = conversation->getSipURI();
    if (!sipURI.isEmpty() && !m_conversationsByURI.contains(sipURI))
        m_conversationsByURI.insert(sipURI, conversation);
    const QString channelUID = conversation->getChannelUID();
    if (channelUID.isEmpty())
        return;
    if (!m_conversationsByUID.contains(channelUID))
        m_conversationsByUID.insert(channelUID, conversation);
    // A private chat turned permanent channel forgets its old address.
    for (auto it = m_conversationsByURI.begin(); it != m_conversationsByURI.end();) {
        if (it.value() == conversation && it.key().startsWith(kPrivatePrefix))
            it = m_conversationsByURI.erase(it);
        else
            ++it;
    }
}

void TavriIdentityRealm::connectConversation(Conversation *conversation)
{
    if (!conversation)
        return;
    connect(conversation, &Conversation::swapping, this, &TavriIdentityRealm::onConversationSwappingReference,
            Qt::UniqueConnection);
    connect(conversation, &Conversation::destroying, this, &TavriIdentityRealm::onConversationDestroying,
            Qt::UniqueConnection);
    connect(conversation, &Conversation::transitionSipURIChanged, this,
            &TavriIdentityRealm::onConversationTransitionSipURIChanged, Qt::UniqueConnection);
    connect(conversation, &Conversation::sipURIChanged, this, &TavriIdentityRealm::onConversationSipURIChanged,
            Qt::UniqueConnection);
    connect(conversation, &Conversation::channelUIDChanged, this, &TavriIdentityRealm::onConversationUIDChanged,
            Qt::UniqueConnection);
    connect(conversation, &Conversation::voiceStateChanged, this, &TavriIdentityRealm::onConversationVoiceStateChanged,
            Qt::UniqueConnection);
}

void TavriIdentityRealm::disconnectConversation(Conversation *conversation)
{
    disconnect(conversation, &Conversation::swapping, this, &TavriIdentityRealm::onConversationSwappingReference);
    disconnect(conversation, &Conversation::destroying, this, &TavriIdentityRealm::onConversationDestroying);
    disconnect(conversation, &Conversation::transitionSipURIChanged, this,
               &TavriIdentityRealm::onConversationTransitionSipURIChanged);
    disconnect(conversation, &Conversation::sipURIChanged, this, &TavriIdentityRealm::onConversationSipURIChanged);
    disconnect(conversation, &Conversation::channelUIDChanged, this, &TavriIdentityRealm::onConversationUIDChanged);
    disconnect(conversation, &Conversation::voiceStateChanged, this,
               &TavriIdentityRealm::onConversationVoiceStateChanged);
}

int TavriIdentityRealm::getJoinedVoiceConversationCount() const
{
    // A conversation can stand under its own and its transition session:
    // it counts once.
    QSet<const Conversation *> counted;
    for (const Conversation *conversation : m_conversationsBySessionHandle) {
        if (!conversation->getSipURI().startsWith(kChannelPrefix))
            continue;
        if (conversation->getIsJoined() || conversation->getJoinState() == Conversation::Joining)
            counted.insert(conversation);
    }
    return counted.size();
}

bool TavriIdentityRealm::channelNameAllowed(const QString &channelName, const QString &channelURI,
                                            const QString &parentChannelURI)
{
    Conversation *channel = nullptr;
    QString parentURI = parentChannelURI;
    if (!channelURI.isEmpty()) {
        channel = getConversation(channelURI);
        if (channel)
            parentURI = channel->getParentURI();
    }
    if (!parentURI.isEmpty()) {
        Conversation *parent = getConversation(parentURI);
        if (parent && parent->getDisplayName().compare(channelName, Qt::CaseInsensitive) == 0)
            return false;
    }
    const ConversationList *conversations = LocalUser::getLocalUser()->getConversations();
    for (int row = 0; row < conversations->count(); ++row) {
        const Conversation *sibling = conversations->at(row);
        if (!sibling || sibling == channel)
            continue;
        if (sibling->getIsOwned() && sibling->getParentURI() == parentURI
            && sibling->getDisplayName().compare(channelName, Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

bool TavriIdentityRealm::postCallSurveyCheck(Conversation *conversation)
{
    if (!conversation || conversation->getVoiceState() != Conversation::VoiceEnabled || !m_surveyPending)
        return false;
    return countCallForSurvey();
}

void TavriIdentityRealm::setPostCallSurveyCountdown(uint calls)
{
    m_postCallSurveyCountdown = int(qMin(calls, uint(std::numeric_limits<int>::max())));
}

bool TavriIdentityRealm::countCallForSurvey()
{
    m_surveyPending = false;
    StorageManager *storage = StorageManager::getInstance();
    if (storage->getSettingsValue(StorageManager::SettingsKeyPostCallSurveyDisabled, false).toBool())
        return false;
    if (--m_postCallSurveyCountdown >= 1)
        return false;

    const QVariant repeatSetting =
        storage->getDefaultSettings(StorageManager::SettingsKeyPostCallSurveyRepeatNum, kDefaultPostCallSurveyRepeat);
    bool ok = false;
    uint repeat = repeatSetting.toUInt(&ok);
    if (!ok) {
        qWarning() << "TavriIdentityRealm::postCallSurveyCheck"
                   << "repeat count is not a number:" << repeatSetting << "- using" << kDefaultPostCallSurveyRepeat;
        repeat = kDefaultPostCallSurveyRepeat;
    }
    m_postCallSurveyCountdown = int(qMin(repeat, uint(std::numeric_limits<int>::max())));

    qDebug() << "TavriIdentityRealm::postCallSurveyCheck"
             << "showing the post-call survey; next after" << m_postCallSurveyCountdown << "calls";
    // The application object opens the survey window.
    QCoreApplication *application = QCoreApplication::instance();
    if (application && application->metaObject()->indexOfMethod("showPostCallSurvey()") >= 0)
        QMetaObject::invokeMethod(application, "showPostCallSurvey");
    else
        qWarning() << "TavriIdentityRealm::postCallSurveyCheck"
                   << "no post-call survey window in this application";
    return true;
}

// --- conversation references ------------------------------------------------

void TavriIdentityRealm::onConversationSwappingReference(Conversation *newRef)
{
    auto *old = qobject_cast<Conversation *>(sender());
    if (!old)
        return;
    disconnectConversation(old);

    const QString handle = old->getOstrelSessionHandle();
    old->setOstrelSessionHandle(QString());
    if (m_sessionHandlesByConversation.contains(old)) {
        m_sessionHandlesByConversation.remove(old);
        if (newRef)
            m_sessionHandlesByConversation.insert(newRef, handle);
        if (m_conversationsBySessionHandle.contains(handle)) {
            if (newRef)
                m_conversationsBySessionHandle.insert(handle, newRef);
            else
                m_conversationsBySessionHandle.remove(handle);
        }
    }

    const QString channelUID = old->getChannelUID();
    m_conversationsByUID.remove(channelUID);
    m_conversationsByURI.remove(channelUID);
    m_conversationsByURI.remove(old->getSipURI());

    // The old object's end no longer reaches this realm: nothing may keep
    // pointing to it.
    removeEntriesPointingTo(m_conversationsByURI, old);
    removeEntriesPointingTo(m_conversationsBySessionHandle, old);
    removeEntriesPointingTo(m_conversationsByUID, old);
}

void TavriIdentityRealm::onConversationDestroying()
{
    // Called from the conversation's destructor, where it is still whole.
    auto *conversation = static_cast<Conversation *>(sender());
    if (!conversation)
        return;
    qDebug() << "TavriIdentityRealm::onConversationDestroying"
             << "handling Conversation destruction" << conversation;
    disconnect(conversation, &Conversation::destroying, this, &TavriIdentityRealm::onConversationDestroying);

    removeKeyPointingTo(m_conversationsByURI, conversation->getSipURI(), conversation);
    removeKeyPointingTo(m_conversationsByURI, conversation->getTransitionSipURI(), conversation);
    const QString handle = conversation->getOstrelSessionHandle();
    if (!handle.isEmpty())
        removeKeyPointingTo(m_conversationsBySessionHandle, handle, conversation);
    const QString transitionHandle = conversation->getTransitionOstrelSessionHandle();
    if (!transitionHandle.isEmpty())
        removeKeyPointingTo(m_conversationsBySessionHandle, transitionHandle, conversation);
    m_sessionHandlesByConversation.remove(conversation);
    removeKeyPointingTo(m_conversationsByUID, conversation->getChannelUID(), conversation);

    // Older ad-hoc or private-chat URIs, a provisional UID key, a session
    // handle given up earlier.
    removeEntriesPointingTo(m_conversationsByURI, conversation);
    removeEntriesPointingTo(m_conversationsBySessionHandle, conversation);
    removeEntriesPointingTo(m_conversationsByUID, conversation);
}

void TavriIdentityRealm::onConversationSipURIChanged(const QString &sipURI)
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    if (!conversation)
        return;
    qDebug() << "TavriIdentityRealm::onConversationSipURIChanged" << conversation << sipURI
             << conversation->getSipURI();
    const QString transitionURI = conversation->getTransitionSipURI();
    const QStringList keys = m_conversationsByURI.keys();
    for (const QString &key : keys) {
        if (key.startsWith(kAdHocPrefix) && key != sipURI && key != transitionURI
            && m_conversationsByURI.value(key) == conversation) {
            qDebug() << "TavriIdentityRealm::onConversationSipURIChanged"
                     << "removing old transition URI reference..." << key;
            m_conversationsByURI.remove(key);
        }
    }
    const QString currentURI = conversation->getSipURI();
    if (currentURI.isEmpty()) {
        // A conversation that gave up its URI is found by its other keys.
        qDebug() << "TavriIdentityRealm::onConversationSipURIChanged"
                 << "no URI to file" << conversation;
        return;
    }
    m_conversationsByURI.insert(currentURI, conversation);
}

void TavriIdentityRealm::onConversationTransitionSipURIChanged(const QString &transitionURI)
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    if (!conversation)
        return;
    qDebug() << "TavriIdentityRealm::onConversationTransitionSipURIChanged" << conversation << transitionURI
             << conversation->getTransitionSipURI();
    const QString sipURI = conversation->getSipURI();
    const QStringList keys = m_conversationsByURI.keys();
    for (const QString &key : keys) {
        if (key.startsWith(kAdHocPrefix) && key != sipURI && m_conversationsByURI.value(key) == conversation) {
            qDebug() << "TavriIdentityRealm::onConversationTransitionSipURIChanged"
                     << "removing old transition URI reference..." << key;
            m_conversationsByURI.remove(key);
        }
    }
    const QString currentTransitionURI = conversation->getTransitionSipURI();
    if (!currentTransitionURI.isEmpty())
        m_conversationsByURI.insert(currentTransitionURI, conversation);
}

void TavriIdentityRealm::onConversationUIDChanged(const QString &)
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    if (!conversation)
        return;
    removeEntriesPointingTo(m_conversationsByUID, conversation);
    const QString channelUID = conversation->getChannelUID();
    if (channelUID.isEmpty()) {
        // No longer a permanent channel: nothing to file by UID.
        return;
    }
    // Now a permanent channel: only its channel keys remain.
    for (auto it = m_conversationsByURI.begin(); it != m_conversationsByURI.end();) {
        if (it.value() == conversation && (it.key().startsWith(kPrivatePrefix) || it.key().startsWith(kAdHocPrefix)))
            it = m_conversationsByURI.erase(it);
        else
            ++it;
    }
    m_conversationsByUID.insert(channelUID, conversation);
}

void TavriIdentityRealm::onConversationVoiceStateChanged(Conversation::VoiceState voiceState)
{
    auto *conversation = qobject_cast<Conversation *>(sender());
    if (!conversation)
        return;
    if (voiceState == Conversation::VoiceEnabled) {
        if (conversation->getParticipants()->rowCount() > 1)
            m_surveyPending = true;
    } else if (voiceState == Conversation::VoiceDisabled && m_surveyPending) {
        // The call's voice has ended: count it. A leave through the realm
        // has counted it already while voice was still on.
        countCallForSurvey();
    }
}

// --- channel and user information from the web service -----------------------

QString TavriIdentityRealm::channelAddress(const QString &channelUID)
{
    // The voice service hands its domain to the settings service as it
    // starts, so either gives the same text.
    const VoiceManager *voice = VoiceManager::getInstance();
    const QString domain = voice ? voice->domain() : StorageManager::getInstance()->voiceDomain();
    return kChannelPrefix + channelUID + QLatin1Char('@') + domain;
}

Conversation *TavriIdentityRealm::createChannelConversation(const QString &displayName, const QString &sipURI,
                                                            const QString &channelUID)
{
    auto *conversation = new Conversation(displayName, sipURI, channelUID, this);
    connectConversation(conversation);
    return conversation;
}

void TavriIdentityRealm::retireConversation(Conversation *old, Conversation *replacement)
{
    // What the local user's channel list gave the placeholder goes to its
    // replacement: the favourite flag, as the service's own state (nothing
    // is asked of the service again), and a running participant poll.
    const bool favorite = old->getIsFavorite();
    const bool polled = old->hasPendingTimer();
    old->stopPendingTimer();
    emit old->swapping(replacement);
    if (favorite && !replacement->getIsFavorite())
        replacement->setIsFavorite(true, true);
    if (polled)
        replacement->startPendingTimer();
    qDebug() << "TavriIdentityRealm::onSocialManagerReceivedChannelInfo"
             << "delaying deleting conversation" << old << "replaced by" << replacement;
    old->deleteLater();
}

void TavriIdentityRealm::handOverChildChannels(Conversation *from, Conversation *to)
{
    if (from->getChannelUID().isEmpty())
        return;
    // A copy: re-parenting changes the list.
    const QStringList childURIs = from->getChildChannelURIs();
    for (const QString &childURI : childURIs) {
        Conversation *child = m_conversationsByURI.value(childURI);
        if (child && !child->getChannelUID().isEmpty())
            child->setParentConversation(to);
    }
}

void TavriIdentityRealm::onSocialManagerReceivedChannelInfo(
    const QString &channelURI, const QString &channelUID, const QString &channelDisplayName,
    const QString &channelImageURI, const QString &channelMessage, const QString &channelDescription, bool isPublic,
    bool hasPassword, const QString &channelDialinCode, const QString &channelOwnerUID, const QString &channelParentUID,
    bool hasChildren, const QString &lastOn, const QString &ancestralRootLiveUID)
{
    if (channelURI.isEmpty() && channelUID.isEmpty()) {
        qWarning() << "TavriIdentityRealm::onSocialManagerReceivedChannelInfo"
                   << "channel without URI and UID ignored";
        return;
    }

    // Choose the conversation that carries the information, retiring the
    // placeholders that stood for the channel so far.
    Conversation *carrier = nullptr;
    if (Conversation *byURI = !channelURI.isEmpty() ? m_conversationsByURI.value(channelURI) : nullptr) {
        if (byURI->getChannelUID().isEmpty() && !byURI->getIsJoined()
            && byURI->getOstrelSessionHandle(true).isEmpty()) {
            // Made from the bare URI and never used: a complete conversation
            // takes its place.
            m_conversationsByURI.remove(channelURI);
            carrier = createChannelConversation(channelDisplayName, channelURI, channelUID);
            retireConversation(byURI, carrier);
        } else {
            carrier = byURI;
        }
        Conversation *uidPlaceholder = nullptr;
        if (!channelUID.isEmpty()) {
            // Made by a lookup by channel UID, filed under the UID as its URI.
            uidPlaceholder = m_conversationsByURI.value(channelUID);
            if (uidPlaceholder && uidPlaceholder != carrier && uidPlaceholder != byURI) {
                handOverChildChannels(uidPlaceholder, carrier);
                m_conversationsByURI.remove(channelUID);
                retireConversation(uidPlaceholder, carrier);
            } else {
                uidPlaceholder = nullptr;
            }
            Conversation *byUID = m_conversationsByUID.value(channelUID);
            if (byUID && byUID != carrier && byUID != uidPlaceholder && byUID != byURI) {
                handOverChildChannels(byUID, carrier);
                m_conversationsByUID.remove(channelUID);
                retireConversation(byUID, carrier);
            }
        }
    } else if (Conversation *uidPlaceholder =
                   !channelUID.isEmpty() ? m_conversationsByURI.value(channelUID) : nullptr) {
        m_conversationsByURI.remove(channelUID);
        m_conversationsByUID.remove(channelUID);
        carrier = uidPlaceholder;
        if (uidPlaceholder->getChannelUID().isEmpty()) {
            carrier = createChannelConversation(channelDisplayName, channelURI, channelUID);
            retireConversation(uidPlaceholder, carrier);
        }
        m_conversationsByUID.insert(channelUID, carrier);
    } else if (Conversation *byUID = !channelUID.isEmpty() ? m_conversationsByUID.value(channelUID) : nullptr) {
        carrier = byUID;
    } else {
        carrier = createChannelConversation(channelDisplayName, channelURI, channelUID);
    }

    carrier->setChannelUID(channelUID);
    carrier->setDisplayName(channelDisplayName, true);
    carrier->setSipURI(channelURI, false);
    carrier->setProfileImageURI(channelImageURI, true);
    carrier->setMessage(channelMessage, true);
    carrier->setDescription(channelDescription, true);
    carrier->setAccessType(isPublic ? Conversation::Public
                                    : (hasPassword ? Conversation::PasswordProtected : Conversation::InvitationOnly),
                           true);
    carrier->setDialinAccessCode(channelDialinCode, true);
    Tavri::RealmUserInterface *owner = getRealmUser(channelOwnerUID);
    carrier->setOwnerIdentity(qobject_cast<TavriIdentityRealmUser *>(owner ? owner->getQObject() : nullptr));
    if (!channelParentUID.isEmpty())
        carrier->setParentConversation(getConversation(channelAddress(channelParentUID)));
    carrier->setHasChildren(hasChildren);
    carrier->setLastInhabited(QDateTime::fromString(lastOn.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss")), true);
    carrier->setHierarchyRoot(ancestralRootLiveUID);

    const QString sipURI = carrier->getSipURI();
    if (!sipURI.isEmpty())
        m_conversationsByURI.insert(sipURI, carrier);
    const QString uid = carrier->getChannelUID();
    if (!uid.isEmpty()) {
        m_conversationsByURI.remove(uid);
        m_conversationsByUID.insert(uid, carrier);
    }
    emit permanentConversationInfoReceived(carrier);
}

void TavriIdentityRealm::onSocialManagerUserInfoReceived(const QString &userURI, const QString &userEmail,
                                                         const QString &userUID, const QString &userDisplayName,
                                                         const QString &userUUID, const QString &userImageURI,
                                                         const QString &userLocation, const QString &userTagline,
                                                         const QString &userDescription,
                                                         const QDateTime &userLastOnline, const QString &)
{
    if (userURI.isEmpty() && userUID.isEmpty() && userUUID.isEmpty()) {
        qWarning() << "TavriIdentityRealm::onSocialManagerUserInfoReceived"
                   << "user record without URI, id and user name ignored";
        return;
    }
    // An empty key names nobody: looking it up would merge unrelated users.
    auto lookUp = [](const QMap<QString, TavriIdentityRealmUser *> &map, const QString &key) {
        return key.isEmpty() ? nullptr : map.value(key);
    };
    TavriIdentityRealmUser *user = lookUp(m_usersByURI, userURI);
    if (!user)
        user = lookUp(m_usersByUID, userURI);
    if (!user)
        user = lookUp(m_usersByUID, userUID);
    if (!user)
        user = lookUp(m_usersByUName, userUUID);
    if (!user) {
        user = new TavriIdentityRealmUser(this);
        if (!userURI.isEmpty())
            m_usersByURI.insert(userURI, user);
        if (!userUID.isEmpty())
            m_usersByUID.insert(userUID, user);
        if (!userUUID.isEmpty())
            m_usersByUName.insert(userUUID, user);
    }

    user->setSipURI(userURI);
    user->setEmail(userEmail);
    user->setUid(userUID);
    user->setDisplayName(userDisplayName);
    user->setUname(userUUID);
    user->setProfileImageURI(userImageURI);
    user->setLocation(userLocation);
    user->setTagline(userTagline);
    user->setDescription(userDescription);
    user->setLastOnline(userLastOnline);

    // Every other object found under this person's keys stands for the same
    // person: it hands its holders over to user and goes.
    QList<TavriIdentityRealmUser *> replaced;
    auto displace = [&](TavriIdentityRealmUser *other) {
        if (!other || other == user || replaced.contains(other))
            return;
        emit other->swapping(user);
        qDebug() << "TavriIdentityRealm::onSocialManagerUserInfoReceived"
                 << "replacing" << other << "by" << user;
        replaced.append(other);
    };

    // The provisional entry of a user first met by its SIP URI.
    if (!userURI.isEmpty() && userURI != user->getUid())
        displace(m_usersByUID.take(userURI));
    const QList<QPair<QMap<QString, TavriIdentityRealmUser *> *, QString>> keys{
        {&m_usersByUName, user->getUname()}, {&m_usersByUID, user->getUid()}, {&m_usersByURI, user->getSipURI()}};
    for (const auto &entry : keys) {
        if (entry.second.isEmpty())
            continue;
        displace(entry.first->value(entry.second));
        entry.first->insert(entry.second, user);
    }

    qDebug() << "TavriIdentityRealm::onSocialManagerUserInfoReceived" << user << user->getUid()
             << user->getDisplayName() << user->getSipURI();

    for (TavriIdentityRealmUser *other : qAsConst(replaced)) {
        // Whatever other keys still lead to it go with it.
        removeEntriesPointingTo(m_usersByURI, other);
        removeEntriesPointingTo(m_usersByUID, other);
        removeEntriesPointingTo(m_usersByUName, other);
        delete other;
    }
}

void TavriIdentityRealm::onSocialManagerUserPictureUpdated(const QString &userURI, const QString &userPictureURI)
{
    if (TavriIdentityRealmUser *user = m_usersByURI.value(userURI))
        user->setProfileImageURI(userPictureURI);
    else
        qDebug() << "TavriIdentityRealm::onSocialManagerUserPictureUpdated"
                 << "no user" << userURI;
}

// --- roster and contact groups ------------------------------------------------

bool TavriIdentityRealm::rosterSubscriber(const char *function, QString &subscriberUUID)
{
    TavriIdentityRealmUser *identity = LocalUser::getLocalUser()->tavriidentity();
    if (!identity) {
        reportAssertionFailure("LocalUser::getLocalUser()->tavriidentity()", __FILE__, __LINE__, function, true);
        return false;
    }
    subscriberUUID = identity->getUid();
    return true;
}

void TavriIdentityRealm::requestContactGroupRefresh()
{
    if (QSocialManager *socialManager = QSocialManager::getInstance())
        socialManager->requestContactGroups();
    else
        qWarning() << "TavriIdentityRealm: no web service to ask for the contact groups";
}

void TavriIdentityRealm::onTavriContactsReceived(const QStringList &contactSipURIs, const QStringList &)
{
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onTavriContactsReceived", subscriber))
        return;
    emit rosterListReceivedBegin(subscriber);
    for (const QString &sipURI : contactSipURIs)
        if (Tavri::RealmUserInterface *contact = requestUserInfoUpdateByURI(sipURI))
            emit rosterListEntry(subscriber, contact->getUid());
    emit rosterListReceivedEnd(subscriber);
    // Every full roster is followed by a contact-group refresh.
    requestContactGroupRefresh();
}

void TavriIdentityRealm::onSocialManagerFriendsListReceived(const QStringList &friendUIDs)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerFriendsListReceived" << friendUIDs;
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerFriendsListReceived", subscriber))
        return;
    emit rosterListReceivedBegin(subscriber);
    for (const QString &friendUID : friendUIDs)
        emit rosterListEntry(subscriber, friendUID);
    emit rosterListReceivedEnd(subscriber);
    requestContactGroupRefresh();
}

void TavriIdentityRealm::onVoiceManagerFriendAdded(const QString &contactSipURI)
{
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onVoiceManagerFriendAdded", subscriber))
        return;
    if (Tavri::RealmUserInterface *contact = requestUserInfoUpdateByURI(contactSipURI))
        emit rosterListEntry(subscriber, contact->getUid());
}

void TavriIdentityRealm::onVoiceManagerFriendRemoved(const QString &contactSipURI)
{
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onVoiceManagerFriendRemoved", subscriber))
        return;
    if (Tavri::RealmUserInterface *contact = requestUserInfoUpdateByURI(contactSipURI))
        emit rosterListEntryRemoved(subscriber, contact->getUid());
}

void TavriIdentityRealm::onSocialManagerContactGroupsReceivedBegin()
{
    qDebug() << "TavriIdentityRealm::onSocialManagerContactGroupsReceivedBegin" << m_contactGroupIDs.keys();
    for (auto it = m_contactGroupIDs.begin(); it != m_contactGroupIDs.end(); ++it)
        it.value() = true;
}

void TavriIdentityRealm::onSocialManagerContactGroupInfoReceived(const QString &groupID, const QString &groupName)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerContactGroupInfoReceived" << groupID << groupName;
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerContactGroupInfoReceived", subscriber))
        return;
    m_contactGroupIDs.insert(groupID, false);
    emit rosterListGroup(subscriber, groupID, groupName);
}

void TavriIdentityRealm::onSocialManagerContactGroupMemberChanged(const QString &groupID, const QString &userUID,
                                                                  const QString &userURI, bool isInGroup)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerContactGroupMemberChanged" << groupID << userUID << userURI
             << isInGroup;
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerContactGroupMemberChanged", subscriber))
        return;
    if (isInGroup)
        emit rosterListGroupEntry(subscriber, groupID, userUID);
    else
        emit rosterListGroupEntryRemoved(subscriber, groupID, userUID);
}

void TavriIdentityRealm::onSocialManagerContactGroupsReceivedEnd()
{
    qDebug() << "TavriIdentityRealm::onSocialManagerContactGroupsReceivedEnd";
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerContactGroupsReceivedEnd", subscriber))
        return;
    // Groups of the last refresh that this one did not list are gone. The
    // ids are gathered first: a receiver may start the next refresh.
    QStringList withdrawn;
    for (auto it = m_contactGroupIDs.cbegin(); it != m_contactGroupIDs.cend(); ++it) {
        if (it.value())
            withdrawn.append(it.key());
    }
    for (const QString &groupID : qAsConst(withdrawn)) {
        m_contactGroupIDs.remove(groupID);
        emit rosterListGroupRemoved(subscriber, groupID);
    }
}

void TavriIdentityRealm::onSocialManagerContactGroupRemoved(const QString &groupID)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerContactGroupRemoved" << groupID;
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerContactGroupRemoved", subscriber))
        return;
    emit rosterListGroupRemoved(subscriber, groupID);
}

// --- the local user's conversation list: favourite and owned channels --------

void TavriIdentityRealm::startParticipantPoll(Conversation *conversation)
{
    if (conversation)
        conversation->startPendingTimer();
}

void TavriIdentityRealm::stopParticipantPoll(Conversation *conversation)
{
    if (conversation)
        conversation->stopPendingTimer();
}

void TavriIdentityRealm::onSocialManagerFavoriteChannelsBeginReceived()
{
    qDebug() << "TavriIdentityRealm::onSocialManagerFavoriteChannelsBeginReceived" << m_favoriteChannelURIs.size();
    // The favourites of the last reply lose their flag; this reply gives it
    // back to those that still are. The owned channels that the last list
    // appended never had the flag: clearing it would take them out of the
    // local user's list, and nothing would bring them back there.
    const QStringList previous = m_favoriteChannelURIs;
    for (const QString &uri : previous) {
        Conversation *conversation = getConversation(uri);
        if (conversation && conversation->getIsFavorite())
            conversation->setIsFavorite(false, true);
    }
    m_favoriteChannelURIs.clear();

    if (m_conversationListProgress != 0) {
        // The owned channels have opened the list already.
        return;
    }
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerFavoriteChannelsBeginReceived", subscriber))
        return;
    m_conversationListProgress = FavoritesStartedList;
    emit conversationListReceivedBegin(subscriber);
}

void TavriIdentityRealm::onSocialManagerFavoriteChannelReceived(const QString &channelUri)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerFavoriteChannelReceived" << channelUri;
    if (channelUri.isEmpty())
        return;
    m_favoriteChannelURIs.append(channelUri);
    QPointer<Conversation> conversation = getConversation(channelUri);
    if (!conversation)
        return;
    conversation->setIsFavorite(true, true);
    const QString displayName = conversation ? conversation->getDisplayName() : QString();
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerFavoriteChannelReceived", subscriber))
        return;
    emit conversationListEntry(subscriber, channelUri, displayName);
    startParticipantPoll(conversation);
}

void TavriIdentityRealm::onSocialManagerFavoriteChannelsEndReceived()
{
    qDebug() << "TavriIdentityRealm::onSocialManagerFavoriteChannelsEndReceived" << m_conversationListProgress;
    if (m_conversationListProgress == 0)
        return;
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerFavoriteChannelsEndReceived", subscriber))
        return;
    // The owned channels of the last owned reply complete the list.
    const QStringList owned = m_ownedChannelURIs;
    QSet<QString> listed(m_favoriteChannelURIs.cbegin(), m_favoriteChannelURIs.cend());
    for (const QString &uri : owned) {
        if (uri.isEmpty() || listed.contains(uri))
            continue;
        listed.insert(uri);
        m_favoriteChannelURIs.append(uri);
        if (Conversation *conversation = getConversation(uri))
            emit conversationListEntry(subscriber, uri, conversation->getDisplayName());
    }
    if (m_conversationListProgress & FavoritesStartedList)
        m_conversationListProgress |= FavoritesFinished;
    if (m_conversationListProgress & OwnedFinished) {
        // Closed before it is announced, so that a receiver may open the next.
        m_conversationListProgress = 0;
        emit conversationListReceivedEnd(subscriber);
    } else {
        qDebug() << "TavriIdentityRealm::onSocialManagerFavoriteChannelsEndReceived"
                 << "awaiting owned to return before closing conversation list";
    }
}

void TavriIdentityRealm::onSocialManagerChannelFavoriteChanged(const QString &channelUri, bool favorited)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerChannelFavoriteChanged" << channelUri << favorited;
    if (channelUri.isEmpty())
        return;
    QString subscriber;
    if (favorited) {
        m_favoriteChannelURIs.append(channelUri);
        QPointer<Conversation> conversation = getConversation(channelUri);
        if (conversation)
            conversation->setIsFavorite(true, true);
        const QString displayName = conversation ? conversation->getDisplayName() : QString();
        if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerChannelFavoriteChanged", subscriber))
            return;
        emit conversationListEntry(subscriber, channelUri, displayName);
        return;
    }
    // The service has dropped the favourite already: the flag follows as the
    // service's own change, so that no request to drop it goes back.
    QPointer<Conversation> conversation = getConversation(channelUri);
    if (conversation)
        conversation->setIsFavorite(false, true);
    m_favoriteChannelURIs.removeAll(channelUri);
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerChannelFavoriteChanged", subscriber))
        return;
    stopParticipantPoll(conversation);
    emit conversationListEntryRemoved(subscriber, channelUri);
}

void TavriIdentityRealm::onSocialManagerOwnedChannelsReceived(const QStringList &ownedChannelURIs,
                                                              const QStringList &ownedChannelDisplayNames)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerOwnedChannelsReceived" << ownedChannelURIs;
    m_ownedChannelURIs = ownedChannelURIs;
    m_ownedChannelDisplayNames = ownedChannelDisplayNames;
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerOwnedChannelsReceived", subscriber))
        return;
    if (m_conversationListProgress == 0) {
        m_conversationListProgress = OwnedStartedList;
        emit conversationListReceivedBegin(subscriber);
    } else {
        qDebug() << "TavriIdentityRealm::onSocialManagerOwnedChannelsReceived"
                 << "favorites already returning, not sending conversation list start";
    }

    // Copies: receivers may change the realm's lists.
    const QStringList owned = m_ownedChannelURIs;
    const QStringList names = m_ownedChannelDisplayNames;
    // A channel listed twice goes by the name of its first place.
    QHash<QString, int> firstPlace;
    for (int i = owned.size() - 1; i >= 0; --i)
        firstPlace.insert(owned.at(i), i);
    for (const QString &uri : owned) {
        if (uri.isEmpty())
            continue;
        emit conversationListEntry(subscriber, uri, names.value(firstPlace.value(uri)));
        // The entry is announced once; a row that went from the local
        // user's tree meanwhile comes back with each owned list (Refresh).
        if (Conversation *conversation = getConversation(uri))
            LocalUser::getLocalUser()->getConversations()->addConversation(conversation, false);
        startParticipantPoll(getConversation(uri));
    }
    const QStringList favorites = m_favoriteChannelURIs;
    for (const QString &uri : favorites) {
        if (Conversation *conversation = getConversation(uri))
            emit conversationListEntry(subscriber, uri, conversation->getDisplayName());
    }

    m_conversationListProgress |= OwnedFinished;
    if (m_conversationListProgress & FavoritesFinished) {
        m_conversationListProgress = 0;
        emit conversationListReceivedEnd(subscriber);
    } else {
        qDebug() << "TavriIdentityRealm::onSocialManagerOwnedChannelsReceived"
                 << "awaiting favorites to return before closing conversation list";
    }
}

void TavriIdentityRealm::onSocialManagerOwnedChannelAdded(const QString &channelURI, const QString &, const QString &,
                                                          const QString &, const QString &channelDisplayName, bool,
                                                          bool, const QString &, const QString &, const QString &,
                                                          const QString &, const QString &)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerOwnedChannelAdded" << channelURI << channelDisplayName;
    if (channelURI.isEmpty())
        return;
    // The new channel's conversation is completed by its own add flow.
    m_ownedChannelURIs.append(channelURI);
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerOwnedChannelAdded", subscriber))
        return;
    emit conversationListEntry(subscriber, channelURI, channelDisplayName);
}

void TavriIdentityRealm::onSocialManagerOwnedChannelDeleted(const QString &channelUri)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerOwnedChannelDeleted" << channelUri;
    if (channelUri.isEmpty() || !m_ownedChannelURIs.contains(channelUri))
        return;
    m_ownedChannelURIs.removeAll(channelUri);
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerOwnedChannelDeleted", subscriber))
        return;
    stopParticipantPoll(getConversation(channelUri));
    emit conversationListEntryRemoved(subscriber, channelUri);
}

// --- chat text and voice sessions ---------------------------------------------

namespace {

// The local user's row among a conversation's participants, or null.
ConversationParticipant *localParticipantOf(Conversation *conversation)
{
    const LocalUser *localUser = LocalUser::getLocalUser();
    for (ConversationParticipant *participant : conversation->getParticipants()->getParticipants())
        if (localUser->isLocalUserIdentity(participant->getIdentity()))
            return participant;
    return nullptr;
}

// The display name of a conversation's first participant that is not the
// local user, escaped for a system line (display names are chosen by their
// users and are never markup).
QString remoteNameOf(Conversation *conversation)
{
    const LocalUser *localUser = LocalUser::getLocalUser();
    for (ConversationParticipant *participant : conversation->getParticipants()->getParticipants()) {
        Tavri::RealmUserInterface *user = participant->getIdentity();
        if (user && !localUser->isLocalUserIdentity(user))
            return user->getDisplayName().toHtmlEscaped();
    }
    return QString();
}

// The SIP URI that names the local user in the realm's signals; empty
// without a built-in identity.
QString localSipURI()
{
    const TavriIdentityRealmUser *identity = LocalUser::getLocalUser()->tavriidentity();
    return identity ? identity->getSipURI() : QString();
}

// The statistics of the voice connection are asked for this often.
const int kStatisticsIntervalMs = 10000;
// A peer whose audio goes off is announced this much later, unless it left.
const int kAudioDisabledNoticeDelayMs = 100;

} // namespace

QString TavriIdentityRealm::parseChatTimestampPrefix(const QString &text)
{
    const int first = text.indexOf(QLatin1Char(':'));
    if (first < 0)
        return text;
    const int second = text.indexOf(QLatin1Char(':'), first + 1);
    if (second < 0)
        return text;
    bool isNumber = false;
    int offset = text.mid(first + 1, second - first - 1).toInt(&isNumber);
    if (!isNumber)
        offset = 0;
    // Time-zone offsets run from UTC-12:00 to UTC+14:00 in quarter hours.
    if (offset < -720 || offset > 840 || offset % 15 != 0)
        return text;
    return text.mid(second + 1);
}

Conversation *TavriIdentityRealm::sessionConversation(const QString &sessionHandle, const char *function) const
{
    Conversation *conversation = m_conversationsBySessionHandle.value(sessionHandle);
    if (!conversation)
        reportAssertionFailure("m_conversationsBySessionHandle.contains(sessionHandle)", __FILE__, __LINE__, function,
                               true);
    return conversation;
}

bool TavriIdentityRealm::isKnownSendResult(const QString &reqId, const QString &sessionHandle,
                                           const char *function) const
{
    if (!m_inFlightChatMessages.contains(reqId)) {
        reportAssertionFailure("m_inFlightChatMessages.contains(reqId)", __FILE__, __LINE__, function, true);
        return false;
    }
    return sessionConversation(sessionHandle, function) != nullptr;
}

bool TavriIdentityRealm::fitsInOneChatMessage(const QString &framed)
{
    // The voice world refuses messages over 512 KiB as they travel, JSON
    // escapes and the other fields included; a margin covers the latter.
    constexpr int kMaxEscapedTextBytes = 496 * 1024;
    if (framed.size() * 6 <= kMaxEscapedTextBytes)
        return true;
    return QJsonDocument(QJsonObject{{QStringLiteral("t"), framed}}).toJson(QJsonDocument::Compact).size()
           <= kMaxEscapedTextBytes;
}

void TavriIdentityRealm::emitNotSentLine(const QString &conversationURI, const QString &text, bool tooLong)
{
    constexpr int kShownCharacters = 60;
    QString excerpt = text.left(kShownCharacters);
    if (text.size() > kShownCharacters)
        excerpt += QChar(0x2026);
    // A line of the conversation itself, as the offline notice is.
    const QString line =
        tooLong ? tr("Message not sent, it is too long: %1").arg(excerpt) : tr("Message not sent: %1").arg(excerpt);
    emit textMessageReceived(conversationURI, conversationURI, conversationURI, line, LocalTimeZone::now());
}

bool TavriIdentityRealm::hasVoiceEnabledSession() const
{
    for (const Conversation *conversation : m_conversationsBySessionHandle)
        if (conversation->getVoiceState() == Conversation::VoiceEnabled)
            return true;
    return false;
}

void TavriIdentityRealm::startStatisticsTimer()
{
    if (m_timerId == 0)
        m_timerId = startTimer(kStatisticsIntervalMs, Qt::CoarseTimer);
}

void TavriIdentityRealm::stopStatisticsTimerWithoutVoice()
{
    if (m_timerId == 0 || hasVoiceEnabledSession())
        return;
    killTimer(m_timerId);
    m_timerId = 0;
}

void TavriIdentityRealm::onVoiceManagerChatMessageSent(const QString &reqId, const QString &sessionHandle)
{
    if (!isKnownSendResult(reqId, sessionHandle, Q_FUNC_INFO))
        return;
    const QString text = m_inFlightChatMessages.take(reqId);
    Conversation *conversation = m_conversationsBySessionHandle.value(sessionHandle);

    // A group chat that a private chat is moving to echoes into the chat the
    // user sees.
    QString conversationID = conversation->getSipURI();
    if (conversationID.startsWith(kAdHocPrefix) && !conversation->getTransitionSipURI().isEmpty())
        conversationID = conversation->getTransitionSipURI();
    TavriIdentityRealmUser *identity = LocalUser::getLocalUser()->tavriidentity();
    QString receiverUUID = conversationID;
    if (conversationID.startsWith(kPrivatePrefix))
        receiverUUID = uidForURI(conversationID);
    if (!text.isEmpty() && identity)
        emit textMessageReceived(conversationID, identity->getUid(), receiverUUID, text, LocalTimeZone::now());
    sendNextQueuedTextMessage(sessionHandle);
}

void TavriIdentityRealm::onVoiceManagerMessageNotSent(const QString &sessionHandle, const QString &reqId, int errorCode,
                                                      const QString &errorMessage)
{
    qDebug() << "TavriIdentityRealm::onVoiceManagerMessageNotSent" << sessionHandle << errorCode << errorMessage;
    if (!isKnownSendResult(reqId, sessionHandle, Q_FUNC_INFO))
        return;
    // Shown as not sent; the queue goes on.
    const QString text = m_inFlightChatMessages.take(reqId);
    emitNotSentLine(m_conversationsBySessionHandle.value(sessionHandle)->getSipURI(), text, false);
    sendNextQueuedTextMessage(sessionHandle);
}

void TavriIdentityRealm::onVoiceManagerUserIsOffline(const QString &sessionHandle, const QString &reqId, bool)
{
    qDebug() << "TavriIdentityRealm::onVoiceManagerUserIsOffline" << sessionHandle;
    if (!isKnownSendResult(reqId, sessionHandle, Q_FUNC_INFO))
        return;
    m_inFlightChatMessages.remove(reqId);
    const QString sipURI = m_conversationsBySessionHandle.value(sessionHandle)->getSipURI();
    Tavri::RealmUserInterface *peer = requestUserInfoUpdateByURI(sipURI);
    const QString name = peer ? peer->getDisplayName() : sipURI;
    // A line of the conversation itself (sender and receiver are its URI):
    // the message list shows it as plain text, so the name is not escaped
    // here.
    emit textMessageReceived(sipURI, sipURI, sipURI, tr("%1 is offline").arg(name), LocalTimeZone::now());
    auto queue = m_pendingMessages.find(sipURI);
    if (queue != m_pendingMessages.end() && !queue->isEmpty())
        m_pendingMessages.erase(queue);
}

void TavriIdentityRealm::onVoiceManagerTextMessageReceived(const QString &senderURI, const QString &sessionHandle,
                                                           const QString &message)
{
    // Written for every line of chat: without QDebug's text stream.
    tavriDebugLine() << "TavriIdentityRealm::onVoiceManagerTextMessageReceived" << sessionHandle << senderURI;
    const QString body = parseChatTimestampPrefix(message);
    Conversation *conversation = sessionConversation(sessionHandle, Q_FUNC_INFO);
    if (!conversation)
        return;
    const QString conversationID = conversation->getSipURI();
    const QString senderUUID = uidForURI(senderURI);
    TavriIdentityRealmUser *identity = LocalUser::getLocalUser()->tavriidentity();
    if (!identity || body.isEmpty())
        return;
    emit textMessageReceived(conversationID, senderUUID, identity->getUid(), body, LocalTimeZone::now());
}

void TavriIdentityRealm::onVoiceManagerPresenceUpdateReceived(const QString &userURI, int presenceState,
                                                              const QString &presenceMessage)
{
    Tavri::RealmUserInterface *realmUser = requestUserInfoUpdateByURI(userURI);
    auto *user = realmUser ? qobject_cast<TavriIdentityRealmUser *>(realmUser->getQObject()) : nullptr;
    if (!user)
        return;
    // The voice network's buddy presence: 2 available, 1 and 5 away, 0 (and
    // anything unknown) offline.
    Tavri::RealmUserInterface::PresenceState state = Tavri::RealmUserInterface::Offline;
    if (presenceState == 2)
        state = Tavri::RealmUserInterface::Online;
    else if (presenceState == 1 || presenceState == 5)
        state = Tavri::RealmUserInterface::Away;
    user->setPresenceState(state, true);
    if (state == Tavri::RealmUserInterface::Offline)
        user->setPresenceMessage(QString(), true);
    else if (!presenceMessage.isEmpty())
        user->setPresenceMessage(presenceMessage, true);
}

void TavriIdentityRealm::onVoiceManagerSessionJoining(const QString &sessionURI, const QString &sessionHandle,
                                                      const QString &sessionDisplayName, bool incoming)
{
    qDebug() << "TavriIdentityRealm::onVoiceManagerSessionJoining" << sessionURI << sessionHandle << sessionDisplayName
             << incoming;
    Conversation *conversation = getConversation(sessionURI);
    if (!conversation)
        return;

    if (m_sessionHandlesByConversation.contains(conversation) && conversation->getTransitionSipURI().isEmpty()
        && !conversation->getTransitionOstrelSessionHandle().isEmpty()) {
        qDebug() << "TavriIdentityRealm::onVoiceManagerSessionJoining"
                 << "hanging conversation session handle, need to get rid of it"
                 << conversation->getOstrelSessionHandle() << conversation->getTransitionOstrelSessionHandle();
        removeKeyPointingTo(m_conversationsBySessionHandle, conversation->getOstrelSessionHandle(), conversation);
    }

    const QString transitionURI = conversation->getTransitionSipURI();
    if (sessionURI != transitionURI) {
        conversation->setOstrelSessionHandle(sessionHandle);
    } else if (sessionURI.startsWith(kPrivatePrefix)) {
        // Back to the private chat's own address: the group chat's session
        // becomes the one being left.
        conversation->setTransitionOstrelSessionHandle(conversation->getOstrelSessionHandle(true));
        conversation->setOstrelSessionHandle(sessionHandle);
        conversation->setTransitionSipURI(conversation->getSipURI());
        conversation->setSipURI(sessionURI);
    } else if (conversation->getOstrelSessionHandle() == conversation->getLegacyOstrelSessionHandle()) {
        qDebug() << "TavriIdentityRealm::onVoiceManagerSessionJoining"
                 << "migrating conversation to new sessionHandle" << sessionURI << sessionHandle;
        conversation->setOstrelSessionHandle(sessionHandle);
        conversation->setTransitionSipURI(conversation->getSipURI());
        conversation->setSipURI(sessionURI);
    } else {
        // The conversation's voice runs on the channel it is moving to.
        conversation->setTransitionOstrelSessionHandle(sessionHandle);
    }

    m_conversationsBySessionHandle.insert(sessionHandle, conversation);
    m_sessionHandlesByConversation.insert(conversation, sessionHandle);

    const QString sipURI = conversation->getSipURI();
    if (sipURI.startsWith(kPrivatePrefix) && conversation->getVoiceState() == Conversation::VoiceToBeRequested)
        conversation->requestVoice(true);
    if (!sipURI.startsWith(kChannelPrefix)) {
        // Private chats and calls are joined as their session starts.
        const QString localURI = localSipURI();
        if (!localURI.isEmpty())
            emit conversationJoined(sipURI, localURI);
        sendNextQueuedTextMessage(sessionHandle);
    }
}

void TavriIdentityRealm::onVoiceManagerSessionJoined(const QString &sessionHandle)
{
    Conversation *conversation = sessionConversation(sessionHandle, Q_FUNC_INFO);
    if (!conversation)
        return;
    qDebug() << "TavriIdentityRealm::onVoiceManagerSessionJoined" << sessionHandle << conversation->getSipURI();
    // A private chat's voice is its own business (it moves to a group chat).
    if (!conversation->getIsPrivate())
        conversation->setVoiceState(Conversation::VoiceEnabled);
    const QString localURI = localSipURI();
    if (!localURI.isEmpty())
        emit conversationJoined(conversation->getSipURI(), localURI);
    sendNextQueuedTextMessage(sessionHandle);
    emit joinedVoiceConversationCountChanged(getJoinedVoiceConversationCount());
}

void TavriIdentityRealm::onVoiceManagerChannelPasswordRequired(const QString &sessionHandle)
{
    Conversation *conversation = sessionConversation(sessionHandle, Q_FUNC_INFO);
    if (!conversation)
        return;
    const QString localURI = localSipURI();
    if (!localURI.isEmpty())
        emit conversationPasswordRequired(conversation->getSipURI(), localURI);
}

void TavriIdentityRealm::onVoiceManagerChannelAccessDenied(const QString &sHandle, const QString &sMessage)
{
    if (!TAVRI_CHECK(m_conversationsBySessionHandle.contains(sHandle)))
        return;
    Conversation *conversation = m_conversationsBySessionHandle.take(sHandle);
    qDebug() << "TavriIdentityRealm::onVoiceManagerChannelAccessDenied" << sHandle << conversation->getSipURI()
             << sMessage;
    // The refused session is gone: texts must not be sent into it.
    if (m_sessionHandlesByConversation.value(conversation) == sHandle)
        m_sessionHandlesByConversation.remove(conversation);
    conversation->setOstrelSessionHandle(QString());
    const QString localURI = localSipURI();
    if (!localURI.isEmpty())
        emit conversationDisconnected(conversation->getConversationID(), localURI,
                                      Tavri::IdentityRealmInterface::DisconnectReasonAccessDenied, sMessage);
}

void TavriIdentityRealm::onVoiceManagerSessionJoinFailed(const QString &sessionURI, int statusCode,
                                                         const QString &statusString)
{
    qDebug() << "TavriIdentityRealm::onVoiceManagerSessionJoinFailed" << sessionURI << statusCode << statusString;
    const QString localURI = localSipURI();
    if (localURI.isEmpty())
        return;
    emit conversationDisconnected(sessionURI, localURI,
                                  statusCode == 403 ? Tavri::IdentityRealmInterface::DisconnectReasonAccessDenied
                                                    : Tavri::IdentityRealmInterface::DisconnectReasonFailed,
                                  statusString);
}

void TavriIdentityRealm::onVoiceManagerSessionRemoved(const QString &sessionUri, const QString &sessionHandle)
{
    qDebug() << "TavriIdentityRealm::onVoiceManagerSessionRemoved" << sessionUri << sessionHandle;
    Conversation *conversation =
        !sessionUri.isEmpty() ? getConversation(sessionUri) : m_conversationsBySessionHandle.value(sessionHandle);
    if (!TAVRI_CHECK(conversation))
        return;

    auto reasonCode = Tavri::IdentityRealmInterface::DisconnectReasonFailed;
    QString reason = QStringLiteral("<unknown>");
    if (conversation->getJoinState() == Conversation::PasswordRequested) {
        reasonCode = Tavri::IdentityRealmInterface::DisconnectReasonPasswordRequired;
        reason = QStringLiteral("needs new password");
    }

    // Only this session's entries go: the conversation may live on in
    // another session.
    if (m_sessionHandlesByConversation.value(conversation) == sessionHandle)
        m_sessionHandlesByConversation.remove(conversation);
    m_conversationsBySessionHandle.remove(sessionHandle);
    if (sessionUri.startsWith(kAdHocPrefix))
        m_conversationsByURI.remove(sessionUri); // an ended group chat is forgotten

    const QString ownHandle = conversation->getOstrelSessionHandle();
    const QString transitionHandle = conversation->getTransitionOstrelSessionHandle();
    if ((!ownHandle.isEmpty() || !transitionHandle.isEmpty()) && sessionHandle != ownHandle
        && sessionHandle != transitionHandle) {
        // An old session left behind by a completed move: the conversation
        // goes on in its current one.
        qDebug() << "TavriIdentityRealm::onVoiceManagerSessionRemoved" << conversation->getSipURI()
                 << "completing transition, left old sessionHandle" << sessionHandle;
        emit joinedVoiceConversationCountChanged(getJoinedVoiceConversationCount());
        return;
    }

    const QString localURI = localSipURI();
    if (!localURI.isEmpty())
        emit conversationDisconnected(conversation->getSipURI(), localURI, reasonCode, reason);
    if (conversation->getOstrelSessionHandle() == sessionHandle)
        conversation->setOstrelSessionHandle(QString());
    if (conversation->getTransitionOstrelSessionHandle() == sessionHandle)
        conversation->setTransitionOstrelSessionHandle(QString());

    const QString remainingHandle = conversation->getOstrelSessionHandle(true);
    if (remainingHandle.isEmpty()) {
        const QString transitionURI = conversation->getTransitionSipURI();
        if (transitionURI.startsWith(kPrivatePrefix))
            conversation->setSipURI(transitionURI); // back to the private chat
        conversation->setTransitionSipURI(QString());
        conversation->setVoiceState(Conversation::VoiceDisabled);
        stopStatisticsTimerWithoutVoice();
    } else {
        qDebug() << "TavriIdentityRealm::onVoiceManagerSessionRemoved" << conversation->getSipURI()
                 << "leaving transition handle in place - remote hasn't joined the voice channel";
        if (!m_sessionHandlesByConversation.contains(conversation)
            && m_conversationsBySessionHandle.value(remainingHandle) == conversation)
            m_sessionHandlesByConversation.insert(conversation, remainingHandle);
    }
    emit joinedVoiceConversationCountChanged(getJoinedVoiceConversationCount());

    const QString sipURI = conversation->getSipURI();
    if (sipURI.startsWith(kChannelPrefix) && !sipURI.startsWith(kAdHocPrefix)) {
        qDebug() << "TavriIdentityRealm::onVoiceManagerSessionRemoved"
                 << "requesting participant count update" << sipURI;
        conversation->stopPendingTimer();
        conversation->startPendingTimer();
    }
}

void TavriIdentityRealm::onVoiceManagerMediaDisconnected(const QString &sessionHandle, const QString &reason)
{
    Conversation *conversation = sessionConversation(sessionHandle, Q_FUNC_INFO);
    if (!conversation)
        return;
    qDebug() << "TavriIdentityRealm::onVoiceManagerMediaDisconnected" << sessionHandle << reason;
    emit conversationAudioDisabled(conversation->getSipURI());
    if (conversation->getOstrelSessionHandle() == sessionHandle)
        conversation->setVoiceState(Conversation::VoiceDisabled);
    stopStatisticsTimerWithoutVoice();
}

void TavriIdentityRealm::onVoiceManagerMediaStreamUpdated(const QString &sessionHandle, bool isIncoming, int state,
                                                          const QString &message)
{
    Conversation *conversation = sessionConversation(sessionHandle, Q_FUNC_INFO);
    if (!conversation)
        return;
    qDebug() << "TavriIdentityRealm::onVoiceManagerMediaStreamUpdated" << sessionHandle << isIncoming << state
             << message;
    if (!conversation->getIsJoined()) {
        qDebug() << "TavriIdentityRealm::onVoiceManagerMediaStreamUpdated"
                 << " - conversation no longer joined, ignoring...";
        return;
    }
    switch (state) {
    case 1:
    case 2: {
        const bool enabled = state == 2;
        if (ConversationParticipant *local = localParticipantOf(conversation))
            local->setVoiceEnabled(enabled);
        conversation->getChatMessages()->addSystemMessage(enabled ? tr("You have enabled audio.")
                                                                  : tr("You have disabled audio."));
        emit conversation->localAudioEnabledChanged(enabled);
        if (enabled)
            startStatisticsTimer();
        break;
    }
    case 3:
        if (!conversation->getIsPrivate()) {
            reportAssertionFailure("false", __FILE__, __LINE__, Q_FUNC_INFO, true);
        } else if (!LocalUser::getLocalUser()->tavriidentity()) {
            reportAssertionFailure("LocalUser::getLocalUser()->tavriidentity()", __FILE__, __LINE__, Q_FUNC_INFO, true);
        } else {
            conversation->getChatMessages()->addSystemMessage(
                tr("%1 is trying to enable audio, click on the icon to enable audio.").arg(remoteNameOf(conversation)));
        }
        break;
    default:
        break;
    }
}

void TavriIdentityRealm::onVoiceManagerParticipantAdded(const QString &participantURI, const QString &sessionHandle,
                                                        const QString &displayName, const QString &participantTag)
{
    Conversation *conversation = sessionConversation(sessionHandle, Q_FUNC_INFO);
    if (!conversation)
        return;
    qDebug() << "TavriIdentityRealm::onVoiceManagerParticipantAdded" << participantURI << sessionHandle << displayName;
    Tavri::RealmUserInterface *user = requestUserInfoUpdateByURI(participantURI);
    if (!user)
        return;
    const QString uid = user->getUid();
    emit conversationParticipantAdded(conversation->getSipURI(), uid);

    const bool isLocal = LocalUser::getLocalUser()->isLocalUserIdentity(user);
    if (ConversationParticipant *participant = conversation->getParticipants()->getParticipantByUUID(uid)) {
        participant->setVoiceParticipantURI(participantTag);
        if (conversation->getSipURI().startsWith(kChannelPrefix))
            participant->setVoiceEnabled(true);
        if (isLocal && conversation->getVoiceState() == Conversation::VoiceEnabled) {
            startStatisticsTimer();
            emit conversation->localAudioEnabledChanged(true);
        }
    }

    if (!isLocal && !sessionHandle.isEmpty() && sessionHandle == conversation->getTransitionOstrelSessionHandle()) {
        // The peer has joined the channel the conversation is moving to: that
        // session becomes the conversation's own.
        const QString oldHandle = conversation->getOstrelSessionHandle();
        qDebug() << "TavriIdentityRealm::onVoiceManagerParticipantAdded"
                 << "transition complete, leaving" << oldHandle << "for" << sessionHandle;
        if (!oldHandle.isEmpty())
            removeKeyPointingTo(m_conversationsBySessionHandle, oldHandle, conversation);
        m_sessionHandlesByConversation.insert(conversation, sessionHandle);
        conversation->setOstrelSessionHandle(sessionHandle);
        conversation->setTransitionOstrelSessionHandle(QString());
        const QString sipURI = conversation->getSipURI();
        conversation->setSipURI(conversation->getTransitionSipURI());
        conversation->setTransitionSipURI(sipURI);
    }

    if (conversation->getParticipants()->rowCount() > 2) {
        // A group chat no longer answers to a private chat's address.
        for (auto it = m_conversationsByURI.begin(); it != m_conversationsByURI.end();) {
            if (it.value() == conversation && it.key().startsWith(kPrivatePrefix))
                it = m_conversationsByURI.erase(it);
            else
                ++it;
        }
    }

    if (VoiceManager *voice = VoiceManager::getInstance()) {
        const double volume = StorageManager::getInstance()->getVolumeAdjustForUserUri(participantURI);
        voice->setParticipantVolume(sessionHandle, participantURI, qRound(volume));
    }
}

void TavriIdentityRealm::onVoiceManagerParticipantRemoved(const QString &participantURI, const QString &sessionHandle,
                                                          int reason, const QString &participantTag)
{
    Conversation *conversation = sessionConversation(sessionHandle, Q_FUNC_INFO);
    if (!conversation)
        return;
    qDebug() << "TavriIdentityRealm::onVoiceManagerParticipantRemoved" << participantURI << sessionHandle << reason
             << participantTag;
    if (conversation->getJoinState() != Conversation::Joined
        || participantURI == conversation->getLegacyOstrelSessionHandle())
        return;

    Tavri::RealmUserInterface *user = requestUserInfoUpdateByURI(participantURI);
    if (!user)
        return;
    const bool isLocal = LocalUser::getLocalUser()->isLocalUserIdentity(user);
    if (conversation->getIsPrivate() && isLocal && sessionHandle == conversation->getTransitionOstrelSessionHandle()) {
        // The local user leaves the channel the private chat was moving to:
        // the move is abandoned.
        qDebug() << "TavriIdentityRealm::onVoiceManagerParticipantRemoved"
                 << "local user dropping from p2p while in transition...";
        conversation->getChatMessages()->addSystemMessage(
            tr("%1 has declined to enable audio").arg(remoteNameOf(conversation)));
        if (VoiceManager *voice = VoiceManager::getInstance())
            voice->requestTerminateSession(sessionHandle);
        conversation->setTransitionOstrelSessionHandle(QString());
        conversation->setVoiceState(Conversation::VoiceDisabled);
        return;
    }

    auto code = Tavri::IdentityRealmInterface::DisconnectReasonNone;
    QString text;
    switch (reason) {
    case 1:
        code = Tavri::IdentityRealmInterface::DisconnectReasonTimedOut;
        text = QStringLiteral("timed out");
        break;
    case 2:
        code = Tavri::IdentityRealmInterface::DisconnectReasonKicked;
        text = QStringLiteral("kicked");
        break;
    case 3:
        code = Tavri::IdentityRealmInterface::DisconnectReasonBanned;
        text = QStringLiteral("banned");
        break;
    default:
        break;
    }
    emit conversationParticipantRemoved(conversation->getSipURI(), user->getUid(), code, text);

    // A chat down to two people answers to the other one's private address.
    if (conversation->getIsJoined() && conversation->getChannelUID().isEmpty()
        && conversation->getParticipants()->rowCount() == 2) {
        const LocalUser *localUser = LocalUser::getLocalUser();
        for (ConversationParticipant *participant : conversation->getParticipants()->getParticipants()) {
            if (localUser->isLocalUserIdentity(participant->getIdentity()))
                continue;
            const QString peerURI = participant->getSipURI();
            if (!peerURI.isEmpty())
                m_conversationsByURI.insert(peerURI, conversation);
            break;
        }
    }
}

void TavriIdentityRealm::onVoiceManagerParticipantUpdated(const QString &userUri, const QString &sessionHandle,
                                                          bool isMutedGlobally, bool isSpeaking, int volumeAdjustment,
                                                          double, int activeMediaFlags, bool isMutedLocally, bool,
                                                          int participantType, const QString &)
{
    Conversation *conversation = sessionConversation(sessionHandle, Q_FUNC_INFO);
    if (!conversation || !conversation->getIsJoined())
        return;
    ConversationParticipant *participant = conversation->getParticipants()->getParticipantBySipURI(userUri);
    if (!participant) {
        qDebug() << "TavriIdentityRealm::onVoiceManagerParticipantUpdated"
                 << "no participant" << userUri << "in" << conversation->getOstrelSessionHandle()
                 << conversation->getTransitionOstrelSessionHandle() << conversation->getSipURI()
                 << conversation->getTransitionSipURI();
        return;
    }

    const bool voice = (activeMediaFlags & 1) != 0;
    const bool isLocal = LocalUser::getLocalUser()->isLocalUserIdentity(participant->getIdentity());
    if (voice != participant->getVoiceEnabled() && !isLocal) {
        if (voice) {
            Tavri::RealmUserInterface *user = participant->getIdentity();
            const QString name = user ? user->getDisplayName() : userUri;
            conversation->getChatMessages()->addSystemMessage(tr("%1 has enabled audio.").arg(name.toHtmlEscaped()));
        } else {
            // Announced only if the participant is still there shortly: one
            // who leaves has its own line.
            const int timerId = startTimer(kAudioDisabledNoticeDelayMs);
            m_audioDisabledTimers.insert(timerId, qMakePair(QPointer<Conversation>(conversation), userUri));
        }
    }
    if (!m_surveyPending && voice && !isLocal && conversation->getVoiceState() == Conversation::VoiceEnabled)
        m_surveyPending = true;

    participant->setIsSpeaking(isSpeaking);
    participant->setLocalVolumeAdjustment(volumeAdjustment, true);
    participant->setIsMuted(isMutedGlobally);
    participant->setIsMutedLocally(isMutedLocally);
    if (participantType == 1 || participantType == 2)
        participant->setIsModerator(true);
    participant->setVoiceEnabled(voice);
}

void TavriIdentityRealm::onVoiceManagerParticipantVolumeUpdated(const QString &sessionHandle,
                                                                const QString &participantUri, int volume)
{
    Conversation *conversation = m_conversationsBySessionHandle.value(sessionHandle);
    if (!conversation)
        return;
    const QString userURI = participantUri.section(QLatin1Char(';'), 0, 0);
    if (ConversationParticipant *participant = conversation->getParticipants()->getParticipantBySipURI(userURI))
        participant->setLocalVolumeAdjustment(volume, true);
}

void TavriIdentityRealm::onVoiceManagerSessionNotificationReceived(const QString &sessionHandle,
                                                                   const QString &participantURI, int notificationType)
{
    Conversation *conversation = sessionConversation(sessionHandle, Q_FUNC_INFO);
    if (!conversation)
        return;
    emit conversationParticipantIsTypingChanged(conversation->getSipURI(), uidForURI(participantURI),
                                                notificationType != 0);
}

RealmIdentityList *TavriIdentityRealm::channelList(const QString &channelURI,
                                                   RealmIdentityList *(Conversation::*list)(bool), const char *function)
{
    Conversation *conversation = getConversation(channelURI);
    if (!conversation) {
        reportAssertionFailure("conversation", __FILE__, __LINE__, function, true);
        return nullptr;
    }
    return (conversation->*list)(false);
}

void TavriIdentityRealm::replaceChannelList(const QString &channelURI, RealmIdentityList *(Conversation::*list)(bool),
                                            const QStringList &userURIs, const char *function)
{
    RealmIdentityList *identities = channelList(channelURI, list, function);
    if (!identities)
        return;
    identities->clear();
    for (const QString &userURI : userURIs)
        if (Tavri::RealmUserInterface *user = requestUserInfoUpdateByURI(userURI))
            identities->addIdentity(user);
}

void TavriIdentityRealm::onVoiceManagerModeratorListReceived(const QString &channelURI, const QStringList &moderators,
                                                             const QVariantList &)
{
    replaceChannelList(channelURI, &Conversation::getModerators, moderators, Q_FUNC_INFO);
}

void TavriIdentityRealm::onVoiceManagerModeratorAdded(const QString &channelUri, const QString &userUri)
{
    if (RealmIdentityList *list = channelList(channelUri, &Conversation::getModerators, Q_FUNC_INFO))
        if (Tavri::RealmUserInterface *user = requestUserInfoUpdateByURI(userUri))
            list->addIdentity(user);
}

void TavriIdentityRealm::onVoiceManagerModeratorRemoved(const QString &channelUri, const QString &userUri)
{
    if (RealmIdentityList *list = channelList(channelUri, &Conversation::getModerators, Q_FUNC_INFO))
        if (Tavri::RealmUserInterface *user = requestUserInfoUpdateByURI(userUri))
            list->removeIdentity(user);
}

void TavriIdentityRealm::onVoiceManagerAclListReceived(const QString &channelURI, const QStringList &userURIs)
{
    replaceChannelList(channelURI, &Conversation::getMembers, userURIs, Q_FUNC_INFO);
}

void TavriIdentityRealm::onVoiceManagerMemberAddedToChannelACL(const QString &channelUri, const QString &userUri)
{
    if (RealmIdentityList *list = channelList(channelUri, &Conversation::getMembers, Q_FUNC_INFO))
        if (Tavri::RealmUserInterface *user = requestUserInfoUpdateByURI(userUri))
            list->addIdentity(user);
}

void TavriIdentityRealm::onVoiceManagerMemberRemovedFromChannelACL(const QString &channelUri, const QString &userUri)
{
    if (RealmIdentityList *list = channelList(channelUri, &Conversation::getMembers, Q_FUNC_INFO))
        if (Tavri::RealmUserInterface *user = requestUserInfoUpdateByURI(userUri))
            list->removeIdentity(user);
}

void TavriIdentityRealm::onVoiceManagerBanListReceived(const QString &channelURI, const QStringList &bannedUserURIs)
{
    replaceChannelList(channelURI, &Conversation::getBanned, bannedUserURIs, Q_FUNC_INFO);
}

void TavriIdentityRealm::onVoiceManagerUserBanned(const QString &channelURI, const QString &userURI, bool banned)
{
    RealmIdentityList *list = channelList(channelURI, &Conversation::getBanned, Q_FUNC_INFO);
    if (!list)
        return;
    Tavri::RealmUserInterface *user = requestUserInfoUpdateByURI(userURI);
    if (!user)
        return;
    if (banned)
        list->addIdentity(user);
    else
        list->removeIdentity(user);
}

void TavriIdentityRealm::onVoiceManagerReadyToJoinChannels()
{
    qDebug() << "TavriIdentityRealm::onVoiceManagerReadyToJoinChannels" << m_pendingJoins.size() << "joins waiting";
    m_readyToJoinChannels = true;
    // Taken out first: each join is made once, not again at the next
    // reconnection.
    const QHash<QString, QString> joins = std::exchange(m_pendingJoins, {});
    VoiceManager *voice = VoiceManager::getInstance();
    for (auto it = joins.cbegin(); it != joins.cend(); ++it) {
        if (voice)
            voice->requestJoinChannel(it.key(), it.value(), true);
    }
}
