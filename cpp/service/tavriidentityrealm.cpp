#include "tavriidentityrealm.h"

#include "conversation.h"
#include "conversationlist.h"
#include "conversationmessagelist.h"
#include "conversationparticipant.h"
#include "conversationparticipantlist.h"
#include "localuser.h"
#include "reportassertionfailure.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealmuser.h"
#include "voicemanager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QMetaObject>
#include <QSet>
#include <QTimerEvent>

#include <limits>

namespace {

TavriIdentityRealm* s_instance = nullptr;

template <typename Map>
void removeEntriesPointingTo(Map& map, const QObject* object)
{
    for (auto it = map.begin(); it != map.end();) {
        if (static_cast<const QObject*>(it.value()) == object)
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

bool isNumber(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

template <typename Map>
void removeKeyPointingTo(Map& map, const QString& key, const Conversation* conversation)
{
    auto it = map.find(key);
    if (it != map.end() && it.value() == conversation)
        map.erase(it);
}

} // namespace

TavriIdentityRealm* TavriIdentityRealm::getInstance(QObject* parent)
{
    if (!s_instance)
        s_instance = new TavriIdentityRealm(parent);
    return s_instance;
}

TavriIdentityRealm::TavriIdentityRealm(QObject* parent)
    : QObject(parent)
{
    if (QSocialManager* socialManager = QSocialManager::getInstance()) {
        connect(socialManager, &QSocialManager::userInfoReceived, this,
                &TavriIdentityRealm::onSocialManagerUserInfoReceived);
        connect(socialManager, &QSocialManager::userPictureUpdated, this,
                &TavriIdentityRealm::onSocialManagerUserPictureUpdated);
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
    if (VoiceManager* voice = VoiceManager::getInstance()) {
        connect(voice, &VoiceManager::friendsListReceived, this, &TavriIdentityRealm::onTavriContactsReceived);
        connect(voice, &VoiceManager::friendAdded, this, &TavriIdentityRealm::onVoiceManagerFriendAdded);
        connect(voice, &VoiceManager::friendRemoved, this, &TavriIdentityRealm::onVoiceManagerFriendRemoved);
    }
}

TavriIdentityRealm::~TavriIdentityRealm()
{
    emit destroying();
    if (s_instance == this)
        s_instance = nullptr;
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "clearing private conversations"
             << m_privateConversationMap.size();
    m_privateConversationMap.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "clearing pending messages" << m_pendingMessages.size();
    m_pendingMessages.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "clearing users by UID" << m_usersByUID.size();
    m_usersByUID.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "clearing users by UName" << m_usersByUName.size();
    m_usersByUName.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "clearing users by URI" << m_usersByURI.size();
    m_usersByURI.clear();

    // Every conversation still filed anywhere stops reporting to the realm.
    QSet<Conversation*> followed;
    for (Conversation* conversation : qAsConst(m_conversationsBySessionHandle))
        followed.insert(conversation);
    for (Conversation* conversation : qAsConst(m_conversationsByUID))
        followed.insert(conversation);
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "clearing conversations by session handle"
             << m_conversationsBySessionHandle.size();
    m_conversationsBySessionHandle.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "clearing session handles by conversation"
             << m_sessionHandlesByConversation.size();
    m_sessionHandlesByConversation.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "clearing conversations by UID"
             << m_conversationsByUID.size();
    m_conversationsByUID.clear();
    for (auto it = m_conversationsByURI.cbegin(); it != m_conversationsByURI.cend(); ++it) {
        qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "Disconnecting from" << it.key();
        followed.insert(it.value());
    }
    for (Conversation* conversation : qAsConst(followed))
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

void TavriIdentityRealm::realmHookA(void*) {}

void* TavriIdentityRealm::realmObjectA()
{
    return nullptr;
}

void TavriIdentityRealm::realmHookB(void*) {}

bool TavriIdentityRealm::realmFlagB()
{
    return true;
}

Tavri::RealmUserInterface* TavriIdentityRealm::getRealmUser(const QString& userUUID)
{
    if (TavriIdentityRealmUser* user = m_usersByUID.value(userUUID))
        return user;
    auto* user = new TavriIdentityRealmUser(this);
    user->setUid(userUUID);
    m_usersByUID.insert(userUUID, user);
    if (userUUID.startsWith(QLatin1String("sip:phone."))) {
        // Telephone callers have no web-service record.
        user->setSipURI(userUUID);
        m_usersByURI.insert(userUUID, user);
    } else if (QSocialManager* socialManager = QSocialManager::getInstance()) {
        if (userUUID.startsWith(QLatin1String("sip:")))
            socialManager->getUserInfoByUri(userUUID);
        else if (!userUUID.isEmpty())
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

void TavriIdentityRealm::requestLogout(Tavri::RealmUserInterface* identity)
{
    if (!TAVRI_CHECK(identity == LocalUser::getLocalUser()->tavriidentity()))
        return;
    qDebug() << "TavriIdentityRealm::requestLogout" << (identity ? identity->getUid() : QString());
    if (QSocialManager* socialManager = QSocialManager::getInstance())
        socialManager->clearCredentials();
    if (identity)
        identity->getQObject()->deleteLater();

    // Leaving can end or replace conversations: hold them guarded, and leave
    // one filed under its own and its transition session only once.
    QList<QPointer<Conversation>> withSession;
    for (Conversation* conversation : qAsConst(m_conversationsBySessionHandle)) {
        if (!withSession.contains(conversation))
            withSession.append(conversation);
    }
    for (const QPointer<Conversation>& conversation : qAsConst(withSession)) {
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

QObject* TavriIdentityRealm::realmObject()
{
    return this;
}

void TavriIdentityRealm::onNetworkDisconnect() {}

void TavriIdentityRealm::onNetworkReconnect() {}

QString TavriIdentityRealm::buildChatTimestampPrefix(const QString& text)
{
    return QString::number(QDateTime::currentMSecsSinceEpoch()) + QLatin1String(":0:") + text;
}

void TavriIdentityRealm::sendTextMessage(const QString& senderUUID, const QString& receiverUUID,
                                         const QString& messageText)
{
    const QString conversationID = m_privateConversationMap.value(qMakePair(senderUUID, receiverUUID));
    if (!conversationID.isEmpty()) {
        sendTextMessage(conversationID, messageText);
        return;
    }
    if (!receiverUUID.startsWith(QLatin1String("sip:")))
        qWarning() << "TavriIdentityRealm::sendTextMessage" << "receiver is not a SIP URI:" << receiverUUID;
    if (VoiceManager* voice = VoiceManager::getInstance())
        voice->requestP2PSession(receiverUUID, false);
    else
        qWarning() << "TavriIdentityRealm::sendTextMessage" << "no voice service; text queued for" << receiverUUID;
    m_pendingMessages[receiverUUID].append(messageText);
}

void TavriIdentityRealm::requestJoinConversation(const QString& conversationID, const QString& participantUUID,
                                                 const QString& password)
{
    getRealmUser(participantUUID);
    Conversation* conversation = getConversation(conversationID);
    if (!conversation) {
        qDebug() << "TavriIdentityRealm::requestJoinConversation" << "conversation not found..." << conversationID;
        return;
    }
    // Already in; a conversation whose voice was just asked for goes on, so
    // that its voice session is set up.
    if (conversation->getJoinState() == Conversation::Joined &&
        conversation->getVoiceState() != Conversation::VoiceRequested) {
        emit conversationJoined(conversationID, participantUUID);
        return;
    }

    VoiceManager* voice = VoiceManager::getInstance();
    const QString sipURI = conversation->getSipURI();
    if (sipURI.startsWith(kChannelPrefix)) {
        if (!m_readyToJoinChannels) {
            // Made once the voice service can join channels.
            m_pendingJoins.insert(sipURI, password);
        } else if (voice) {
            voice->requestJoinChannel(sipURI, password, true);
        } else {
            qWarning() << "TavriIdentityRealm::requestJoinConversation" << "no voice service to join" << sipURI;
        }
    } else if (sipURI.startsWith(kPrivatePrefix)) {
        const QString transitionURI = conversation->getTransitionSipURI();
        if (!transitionURI.isEmpty()) {
            // The private chat is turning into a group chat: join that one.
            if (voice)
                voice->requestJoinChannel(transitionURI, QString(), true);
            else
                qWarning() << "TavriIdentityRealm::requestJoinConversation" << "no voice service to join"
                           << transitionURI;
            return;
        }
        LocalUser::getLocalUser()->getConversations()->addConversation(conversation, false);
    } else {
        // Logged as a warning so that the refused id stands out in the log.
        qWarning() << "TavriIdentityRealm::requestJoinConversation" << "unexpected URI:" << sipURI;
        reportAssertionFailure("false", __FILE__, __LINE__, Q_FUNC_INFO, true);
        return;
    }

    if (conversation->getJoinState() < Conversation::Joining)
        conversation->setJoinState(Conversation::Joining);
}

void TavriIdentityRealm::requestLeaveConversation(const QString& conversationID, const QString& participantUUID)
{
    getRealmUser(participantUUID);
    Conversation* conversation = getConversation(conversationID);
    if (!TAVRI_CHECK(conversation))
        return;
    const Conversation::JoinState joinState = conversation->getJoinState();
    if (joinState == Conversation::NotJoined || joinState == Conversation::Leaving)
        return;
    postCallSurveyCheck(conversation);
    qDebug() << "TavriIdentityRealm::requestLeaveConversation" << "terminating explicitly" << int(joinState)
             << conversation->getTransitionSipURI() << conversation->getTransitionOstrelSessionHandle();

    // A conversation still joining has no session to end yet.
    if (joinState == Conversation::Joined) {
        VoiceManager* voice = VoiceManager::getInstance();
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

void TavriIdentityRealm::sendTextMessage(const QString& conversationID, const QString& messageText)
{
    const QString framed = buildChatTimestampPrefix(messageText);
    Conversation* conversation = getConversation(conversationID);
    if (!conversation)
        return;

    if (m_sessionHandlesByConversation.contains(conversation)) {
        QString handle = conversation->getOstrelSessionHandle(true);
        if (handle.isEmpty())
            handle = m_sessionHandlesByConversation.value(conversation);
        VoiceManager* voice = VoiceManager::getInstance();
        const QString cookie = voice ? voice->requestSendMessage(handle, framed) : QString();
        if (cookie.isEmpty()) {
            // No request went out, so no answer will come for it.
            qWarning() << "TavriIdentityRealm::sendTextMessage" << "text not sent, no voice request for"
                       << conversationID;
            return;
        }
        m_inFlightChatMessages.insert(cookie, messageText);
        return;
    }

    const QString sipURI = conversation->getSipURI();
    if (sipURI.startsWith(kPrivatePrefix)) {
        // Sent one at a time once the private session is up.
        m_pendingMessages[sipURI].append(messageText);
        if (VoiceManager* voice = VoiceManager::getInstance())
            voice->requestP2PSession(sipURI, false);
        else
            qWarning() << "TavriIdentityRealm::sendTextMessage" << "no voice service; text queued for" << sipURI;
        return;
    }

    // A channel without a session: the text is dropped and the channel joined.
    qDebug() << "TavriIdentityRealm::sendTextMessage" << "no session, text dropped; joining" << conversationID;
    if (Tavri::RealmUserInterface* identity = LocalUser::getLocalUser()->getLocalUserIdentity(this))
        requestJoinConversation(conversation->getConversationID(), identity->getUid(), QString());
}

void TavriIdentityRealm::sendIsTypingChanged(const QString& conversationID, bool isTyping)
{
    Conversation* conversation = getConversation(conversationID);
    if (!conversation || !m_sessionHandlesByConversation.contains(conversation))
        return;
    QString handle = conversation->getOstrelSessionHandle(true);
    if (handle.isEmpty())
        handle = m_sessionHandlesByConversation.value(conversation);
    if (VoiceManager* voice = VoiceManager::getInstance())
        voice->sendTypingNotification(handle, isTyping);
}

void TavriIdentityRealm::sendNextQueuedTextMessage(const QString& sessionHandle)
{
    Conversation* conversation = m_conversationsBySessionHandle.value(sessionHandle);
    if (!conversation)
        return;
    const QString sipURI = conversation->getSipURI();
    auto queue = m_pendingMessages.find(sipURI);
    if (queue == m_pendingMessages.end() || queue->isEmpty())
        return;
    const QString text = queue->takeFirst();
    sendTextMessage(sipURI, text);
}

void TavriIdentityRealm::requestAddContact(const QString&, const QString& contactUUID)
{
    Tavri::RealmUserInterface* user = getRealmUser(contactUUID);
    auto* tavriidentity = user ? qobject_cast<TavriIdentityRealmUser*>(user->getQObject()) : nullptr;
    if (!TAVRI_CHECK(tavriidentity))
        return;
    if (QSocialManager* socialManager = QSocialManager::getInstance())
        socialManager->requestChangeFriend(contactUUID, true, QString());
    else
        qWarning() << "TavriIdentityRealm::requestAddContact" << "no web service to befriend" << contactUUID;
    const QString sipURI = tavriidentity->getSipURI();
    if (sipURI.isEmpty()) {
        // Not known to the voice service yet: there is no buddy to add.
        qWarning() << "TavriIdentityRealm::requestAddContact" << "no SIP URI for" << contactUUID
                   << "- voice buddy not added";
        return;
    }
    if (VoiceManager* voice = VoiceManager::getInstance())
        voice->requestAddBuddy(sipURI, QString());
}

void TavriIdentityRealm::requestRemoveContact(const QString&, const QString& contactUUID)
{
    Tavri::RealmUserInterface* user = getRealmUser(contactUUID);
    auto* tavriidentity = user ? qobject_cast<TavriIdentityRealmUser*>(user->getQObject()) : nullptr;
    if (!TAVRI_CHECK(tavriidentity))
        return;
    if (QSocialManager* socialManager = QSocialManager::getInstance())
        socialManager->requestChangeFriend(contactUUID, false, QString());
    else
        qWarning() << "TavriIdentityRealm::requestRemoveContact" << "no web service to unfriend" << contactUUID;
    const QString sipURI = tavriidentity->getSipURI();
    if (sipURI.isEmpty()) {
        qWarning() << "TavriIdentityRealm::requestRemoveContact" << "no SIP URI for" << contactUUID
                   << "- voice buddy not deleted";
        return;
    }
    if (VoiceManager* voice = VoiceManager::getInstance())
        voice->requestRemoveBuddy(sipURI, QString());
}

void TavriIdentityRealm::requestCreateContactGroup(const QString& name)
{
    if (!TAVRI_CHECK(!name.isEmpty()))
        return;
    if (QSocialManager* socialManager = QSocialManager::getInstance())
        socialManager->requestAddContactGroup(name);
    else
        qWarning() << "TavriIdentityRealm::requestCreateContactGroup" << "no web service for group" << name;
}

void TavriIdentityRealm::timerEvent(QTimerEvent* event)
{
    const int timerId = event->timerId();
    if (timerId == m_timerId) {
        if (VoiceManager* voice = VoiceManager::getInstance())
            voice->requestConnectionQualityStatsUpdate();
        return;
    }
    if (!m_audioDisabledTimers.contains(timerId))
        return;
    const QPair<QPointer<Conversation>, QString> notice = m_audioDisabledTimers.take(timerId);
    killTimer(timerId);
    Conversation* conversation = notice.first;
    if (!conversation || !conversation->getIsJoined())
        return;
    ConversationParticipant* participant = conversation->getParticipants()->getParticipantBySipURI(notice.second);
    if (!participant)
        return;
    Tavri::RealmUserInterface* user = participant->getIdentity();
    const QString name = user ? user->getDisplayName() : notice.second;
    conversation->getChatMessages()->addSystemMessage(tr("%1 has disabled audio.").arg(name));
}

Tavri::RealmUserInterface* TavriIdentityRealm::requestUserInfoUpdateByURI(const QString& sipURI)
{
    if (TavriIdentityRealmUser* user = m_usersByURI.value(sipURI))
        return user;
    auto* user = new TavriIdentityRealmUser(this);
    user->setSipURI(sipURI);
    user->setUid(sipURI);
    m_usersByURI.insert(sipURI, user);
    m_usersByUID.insert(sipURI, user);
    QSocialManager* socialManager = QSocialManager::getInstance();
    if (TAVRI_CHECK(QSocialManager::getInstance()) && sipURI.startsWith(QLatin1String("sip:")))
        socialManager->getUserInfoByUri(sipURI);
    return user;
}

void TavriIdentityRealm::onUserDestroying()
{
    const QObject* user = sender();
    if (!user)
        return;
    removeEntriesPointingTo(m_usersByURI, user);
    removeEntriesPointingTo(m_usersByUID, user);
    removeEntriesPointingTo(m_usersByUName, user);
}

Conversation* TavriIdentityRealm::getConversation(const QString& sipURI)
{
    if (sipURI.isEmpty()) {
        qDebug() << "TavriIdentityRealm::getConversation" << "no sip URI, returning...";
        return nullptr;
    }
    if (Conversation* conversation = m_conversationsByURI.value(sipURI))
        return conversation;

    // The web service and the voice service give channel URIs in lower case;
    // one written otherwise (a typed link, say) names the same channel.
    const QString lowerURI = sipURI.toLower();
    if (lowerURI != sipURI && lowerURI.startsWith(kChannelPrefix)) {
        qDebug() << "TavriIdentityRealm::getConversation" << "channel URI taken in lower case:" << sipURI;
        return getConversation(lowerURI);
    }

    if (sipURI.startsWith(kChannelPrefix)) {
        auto* conversation = new Conversation(QString(), sipURI, QString(), this);
        connectConversation(conversation);
        m_conversationsByURI.insert(sipURI, conversation);
        if (!sipURI.startsWith(kAdHocPrefix)) {
            // A permanent channel: its live id is the part before the at sign.
            const QString liveUID = sipURI.mid(kChannelPrefix.size()).section(QLatin1Char('@'), 0, 0);
            if (!isNumber(liveUID)) {
                qWarning() << "TavriIdentityRealm::getConversation"
                           << "no channel id in" << sipURI << "- channel details not requested";
            } else if (QSocialManager* socialManager = QSocialManager::getInstance()) {
                socialManager->requestChannelInfoWithOwnerInfoFromLiveUID(liveUID);
            }
        }
        return conversation;
    }

    // A private chat or a call: the local user and the peer.
    auto* conversation =
        new Conversation(this, sipURI, sipURI, this, Conversation::VoiceDisabled, Conversation::NotJoined);
    if (TavriIdentityRealmUser* localIdentity = LocalUser::getLocalUser()->tavriidentity())
        conversation->getParticipants()->addParticipant(localIdentity);
    conversation->getParticipants()->addParticipant(requestUserInfoUpdateByURI(sipURI));
    connectConversation(conversation);
    m_conversationsByURI.insert(sipURI, conversation);
    return conversation;
}

Conversation* TavriIdentityRealm::getConversationBySessionHandle(const QString& sessionHandle) const
{
    return m_conversationsBySessionHandle.value(sessionHandle);
}

Conversation* TavriIdentityRealm::getConversationByUID(const QString& channelUID)
{
    if (Conversation* conversation = m_conversationsByUID.value(channelUID))
        return conversation;
    // The placeholder is filed under the UID among the URIs too, so anything
    // but a channel id could stand for, or shadow, a real URI.
    if (!isNumber(channelUID)) {
        qWarning() << "TavriIdentityRealm::getConversationByUID" << "not a channel UID:" << channelUID;
        return nullptr;
    }
    auto* conversation = new Conversation(channelUID, channelUID, channelUID, this);
    connectConversation(conversation);
    m_conversationsByUID.insert(channelUID, conversation);
    m_conversationsByURI.insert(channelUID, conversation);
    if (QSocialManager* socialManager = QSocialManager::getInstance())
        socialManager->requestChannelInfo(channelUID);
    else
        qWarning() << "TavriIdentityRealm::getConversationByUID" << "no web service for channel" << channelUID;
    return conversation;
}

void TavriIdentityRealm::registerConversation(Conversation* conversation)
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

void TavriIdentityRealm::connectConversation(Conversation* conversation)
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
    connect(conversation, &Conversation::voiceStateChanged, this,
            &TavriIdentityRealm::onConversationVoiceStateChanged, Qt::UniqueConnection);
}

void TavriIdentityRealm::disconnectConversation(Conversation* conversation)
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
    QSet<const Conversation*> counted;
    for (const Conversation* conversation : m_conversationsBySessionHandle) {
        if (!conversation->getSipURI().startsWith(kChannelPrefix))
            continue;
        if (conversation->getIsJoined() || conversation->getJoinState() == Conversation::Joining)
            counted.insert(conversation);
    }
    return counted.size();
}

bool TavriIdentityRealm::channelNameAllowed(const QString& channelName, const QString& channelURI,
                                            const QString& parentChannelURI)
{
    Conversation* channel = nullptr;
    QString parentURI = parentChannelURI;
    if (!channelURI.isEmpty()) {
        channel = getConversation(channelURI);
        if (channel)
            parentURI = channel->getParentURI();
    }
    if (!parentURI.isEmpty()) {
        Conversation* parent = getConversation(parentURI);
        if (parent && parent->getDisplayName().compare(channelName, Qt::CaseInsensitive) == 0)
            return false;
    }
    const ConversationList* conversations = LocalUser::getLocalUser()->getConversations();
    for (int row = 0; row < conversations->count(); ++row) {
        const Conversation* sibling = conversations->at(row);
        if (!sibling || sibling == channel)
            continue;
        if (sibling->getIsOwned() && sibling->getParentURI() == parentURI &&
            sibling->getDisplayName().compare(channelName, Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

bool TavriIdentityRealm::postCallSurveyCheck(Conversation* conversation)
{
    if (!conversation || conversation->getVoiceState() != Conversation::VoiceEnabled || !m_surveyPending)
        return false;
    return countCallForSurvey();
}

bool TavriIdentityRealm::countCallForSurvey()
{
    m_surveyPending = false;
    StorageManager* storage = StorageManager::getInstance();
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

    qDebug() << "TavriIdentityRealm::postCallSurveyCheck" << "showing the post-call survey; next after"
             << m_postCallSurveyCountdown << "calls";
    // The application object opens the survey window.
    QCoreApplication* application = QCoreApplication::instance();
    if (application && application->metaObject()->indexOfMethod("showPostCallSurvey()") >= 0)
        QMetaObject::invokeMethod(application, "showPostCallSurvey");
    else
        qWarning() << "TavriIdentityRealm::postCallSurveyCheck" << "no post-call survey window in this application";
    return true;
}

// --- conversation references ------------------------------------------------

void TavriIdentityRealm::onConversationSwappingReference(Conversation* newRef)
{
    auto* old = qobject_cast<Conversation*>(sender());
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
    auto* conversation = static_cast<Conversation*>(sender());
    if (!conversation)
        return;
    qDebug() << "TavriIdentityRealm::onConversationDestroying" << "handling Conversation destruction"
             << conversation;
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

void TavriIdentityRealm::onConversationSipURIChanged(const QString& sipURI)
{
    auto* conversation = qobject_cast<Conversation*>(sender());
    if (!conversation)
        return;
    qDebug() << "TavriIdentityRealm::onConversationSipURIChanged" << conversation << sipURI
             << conversation->getSipURI();
    const QString transitionURI = conversation->getTransitionSipURI();
    const QStringList keys = m_conversationsByURI.keys();
    for (const QString& key : keys) {
        if (key.startsWith(kAdHocPrefix) && key != sipURI && key != transitionURI &&
            m_conversationsByURI.value(key) == conversation) {
            qDebug() << "TavriIdentityRealm::onConversationSipURIChanged" << "removing old transition URI reference..."
                     << key;
            m_conversationsByURI.remove(key);
        }
    }
    const QString currentURI = conversation->getSipURI();
    if (currentURI.isEmpty()) {
        // A conversation that gave up its URI is found by its other keys.
        qDebug() << "TavriIdentityRealm::onConversationSipURIChanged" << "no URI to file" << conversation;
        return;
    }
    m_conversationsByURI.insert(currentURI, conversation);
}

void TavriIdentityRealm::onConversationTransitionSipURIChanged(const QString& transitionURI)
{
    auto* conversation = qobject_cast<Conversation*>(sender());
    if (!conversation)
        return;
    qDebug() << "TavriIdentityRealm::onConversationTransitionSipURIChanged" << conversation << transitionURI
             << conversation->getTransitionSipURI();
    const QString sipURI = conversation->getSipURI();
    const QStringList keys = m_conversationsByURI.keys();
    for (const QString& key : keys) {
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

void TavriIdentityRealm::onConversationUIDChanged(const QString&)
{
    auto* conversation = qobject_cast<Conversation*>(sender());
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
        if (it.value() == conversation &&
            (it.key().startsWith(kPrivatePrefix) || it.key().startsWith(kAdHocPrefix)))
            it = m_conversationsByURI.erase(it);
        else
            ++it;
    }
    m_conversationsByUID.insert(channelUID, conversation);
}

void TavriIdentityRealm::onConversationVoiceStateChanged(Conversation::VoiceState voiceState)
{
    auto* conversation = qobject_cast<Conversation*>(sender());
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

QString TavriIdentityRealm::channelAddress(const QString& channelUID)
{
    // The voice service hands its domain to the settings service as it
    // starts, so either gives the same text.
    const VoiceManager* voice = VoiceManager::getInstance();
    const QString domain = voice ? voice->domain() : StorageManager::getInstance()->voiceDomain();
    return kChannelPrefix + channelUID + QLatin1Char('@') + domain;
}

Conversation* TavriIdentityRealm::createChannelConversation(const QString& displayName, const QString& sipURI,
                                                            const QString& channelUID)
{
    auto* conversation = new Conversation(displayName, sipURI, channelUID, this);
    connectConversation(conversation);
    return conversation;
}

void TavriIdentityRealm::retireConversation(Conversation* old, Conversation* replacement)
{
    emit old->swapping(replacement);
    qDebug() << "TavriIdentityRealm::onSocialManagerReceivedChannelInfo"
             << "delaying deleting conversation" << old << "replaced by" << replacement;
    old->deleteLater();
}

void TavriIdentityRealm::handOverChildChannels(Conversation* from, Conversation* to)
{
    if (from->getChannelUID().isEmpty())
        return;
    // A copy: re-parenting changes the list.
    const QStringList childURIs = from->getChildChannelURIs();
    for (const QString& childURI : childURIs) {
        Conversation* child = m_conversationsByURI.value(childURI);
        if (child && !child->getChannelUID().isEmpty())
            child->setParentConversation(to);
    }
}

void TavriIdentityRealm::onSocialManagerReceivedChannelInfo(
    const QString& channelURI, const QString& channelUID, const QString& channelDisplayName,
    const QString& channelImageURI, const QString& channelMessage, const QString& channelDescription, bool isPublic,
    bool hasPassword, const QString& channelDialinCode, const QString& channelOwnerUID,
    const QString& channelParentUID, bool hasChildren, const QString& lastOn, const QString& ancestralRootLiveUID)
{
    if (channelURI.isEmpty() && channelUID.isEmpty()) {
        qWarning() << "TavriIdentityRealm::onSocialManagerReceivedChannelInfo" << "channel without URI and UID ignored";
        return;
    }

    // Choose the conversation that carries the information, retiring the
    // placeholders that stood for the channel so far.
    Conversation* carrier = nullptr;
    if (Conversation* byURI = !channelURI.isEmpty() ? m_conversationsByURI.value(channelURI) : nullptr) {
        if (byURI->getChannelUID().isEmpty() && !byURI->getIsJoined() && byURI->getOstrelSessionHandle(true).isEmpty()) {
            // Made from the bare URI and never used: a complete conversation
            // takes its place.
            m_conversationsByURI.remove(channelURI);
            carrier = createChannelConversation(channelDisplayName, channelURI, channelUID);
            retireConversation(byURI, carrier);
        } else {
            carrier = byURI;
        }
        Conversation* uidPlaceholder = nullptr;
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
            Conversation* byUID = m_conversationsByUID.value(channelUID);
            if (byUID && byUID != carrier && byUID != uidPlaceholder && byUID != byURI) {
                handOverChildChannels(byUID, carrier);
                m_conversationsByUID.remove(channelUID);
                retireConversation(byUID, carrier);
            }
        }
    } else if (Conversation* uidPlaceholder = !channelUID.isEmpty() ? m_conversationsByURI.value(channelUID)
                                                                      : nullptr) {
        m_conversationsByURI.remove(channelUID);
        m_conversationsByUID.remove(channelUID);
        carrier = uidPlaceholder;
        if (uidPlaceholder->getChannelUID().isEmpty()) {
            carrier = createChannelConversation(channelDisplayName, channelURI, channelUID);
            retireConversation(uidPlaceholder, carrier);
        }
        m_conversationsByUID.insert(channelUID, carrier);
    } else if (Conversation* byUID = !channelUID.isEmpty() ? m_conversationsByUID.value(channelUID) : nullptr) {
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
    Tavri::RealmUserInterface* owner = getRealmUser(channelOwnerUID);
    carrier->setOwnerIdentity(qobject_cast<TavriIdentityRealmUser*>(owner ? owner->getQObject() : nullptr));
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

void TavriIdentityRealm::onSocialManagerUserInfoReceived(
    const QString& userURI, const QString& userEmail, const QString& userUID, const QString& userDisplayName,
    const QString& userUUID, const QString& userImageURI, const QString& userLocation, const QString& userTagline,
    const QString& userDescription, const QDateTime& userLastOnline, const QString&)
{
    if (userURI.isEmpty() && userUID.isEmpty() && userUUID.isEmpty()) {
        qWarning() << "TavriIdentityRealm::onSocialManagerUserInfoReceived"
                   << "user record without URI, id and user name ignored";
        return;
    }
    // An empty key names nobody: looking it up would merge unrelated users.
    auto lookUp = [](const QMap<QString, TavriIdentityRealmUser*>& map, const QString& key) {
        return key.isEmpty() ? nullptr : map.value(key);
    };
    TavriIdentityRealmUser* user = lookUp(m_usersByURI, userURI);
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
    QList<TavriIdentityRealmUser*> replaced;
    auto displace = [&](TavriIdentityRealmUser* other) {
        if (!other || other == user || replaced.contains(other))
            return;
        emit other->swapping(user);
        qDebug() << "TavriIdentityRealm::onSocialManagerUserInfoReceived" << "replacing" << other << "by" << user;
        replaced.append(other);
    };

    // The provisional entry of a user first met by its SIP URI.
    if (!userURI.isEmpty() && userURI != user->getUid())
        displace(m_usersByUID.take(userURI));
    const QList<QPair<QMap<QString, TavriIdentityRealmUser*>*, QString>> keys{
        {&m_usersByUName, user->getUname()}, {&m_usersByUID, user->getUid()}, {&m_usersByURI, user->getSipURI()}};
    for (const auto& entry : keys) {
        if (entry.second.isEmpty())
            continue;
        displace(entry.first->value(entry.second));
        entry.first->insert(entry.second, user);
    }

    qDebug() << "TavriIdentityRealm::onSocialManagerUserInfoReceived" << user << user->getUid()
             << user->getDisplayName() << user->getSipURI();

    for (TavriIdentityRealmUser* other : qAsConst(replaced)) {
        // Whatever other keys still lead to it go with it.
        removeEntriesPointingTo(m_usersByURI, other);
        removeEntriesPointingTo(m_usersByUID, other);
        removeEntriesPointingTo(m_usersByUName, other);
        delete other;
    }
}

void TavriIdentityRealm::onSocialManagerUserPictureUpdated(const QString& userURI, const QString& userPictureURI)
{
    if (TavriIdentityRealmUser* user = m_usersByURI.value(userURI))
        user->setProfileImageURI(userPictureURI);
    else
        qDebug() << "TavriIdentityRealm::onSocialManagerUserPictureUpdated" << "no user" << userURI;
}

// --- roster and contact groups ------------------------------------------------

bool TavriIdentityRealm::rosterSubscriber(const char* function, QString& subscriberUUID)
{
    TavriIdentityRealmUser* identity = LocalUser::getLocalUser()->tavriidentity();
    if (!identity) {
        reportAssertionFailure("LocalUser::getLocalUser()->tavriidentity()", __FILE__, __LINE__, function, true);
        return false;
    }
    subscriberUUID = identity->getUid();
    return true;
}

void TavriIdentityRealm::requestContactGroupRefresh()
{
    if (QSocialManager* socialManager = QSocialManager::getInstance())
        socialManager->requestContactGroups();
    else
        qWarning() << "TavriIdentityRealm: no web service to ask for the contact groups";
}

void TavriIdentityRealm::onTavriContactsReceived(const QStringList& contactSipURIs, const QStringList&)
{
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onTavriContactsReceived", subscriber))
        return;
    emit rosterListReceivedBegin(subscriber);
    for (const QString& sipURI : contactSipURIs)
        emit rosterListEntry(subscriber, requestUserInfoUpdateByURI(sipURI)->getUid());
    emit rosterListReceivedEnd(subscriber);
    // Every full roster is followed by a contact-group refresh.
    requestContactGroupRefresh();
}

void TavriIdentityRealm::onSocialManagerFriendsListReceived(const QStringList& friendUIDs)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerFriendsListReceived" << friendUIDs;
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerFriendsListReceived", subscriber))
        return;
    emit rosterListReceivedBegin(subscriber);
    for (const QString& friendUID : friendUIDs)
        emit rosterListEntry(subscriber, friendUID);
    emit rosterListReceivedEnd(subscriber);
    requestContactGroupRefresh();
}

void TavriIdentityRealm::onVoiceManagerFriendAdded(const QString& contactSipURI)
{
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onVoiceManagerFriendAdded", subscriber))
        return;
    emit rosterListEntry(subscriber, requestUserInfoUpdateByURI(contactSipURI)->getUid());
}

void TavriIdentityRealm::onVoiceManagerFriendRemoved(const QString& contactSipURI)
{
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onVoiceManagerFriendRemoved", subscriber))
        return;
    emit rosterListEntryRemoved(subscriber, requestUserInfoUpdateByURI(contactSipURI)->getUid());
}

void TavriIdentityRealm::onSocialManagerContactGroupsReceivedBegin()
{
    qDebug() << "TavriIdentityRealm::onSocialManagerContactGroupsReceivedBegin" << m_contactGroupIDs.keys();
    for (auto it = m_contactGroupIDs.begin(); it != m_contactGroupIDs.end(); ++it)
        it.value() = true;
}

void TavriIdentityRealm::onSocialManagerContactGroupInfoReceived(const QString& groupID, const QString& groupName)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerContactGroupInfoReceived" << groupID << groupName;
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerContactGroupInfoReceived", subscriber))
        return;
    m_contactGroupIDs.insert(groupID, false);
    emit rosterListGroup(subscriber, groupID, groupName);
}

void TavriIdentityRealm::onSocialManagerContactGroupMemberChanged(const QString& groupID, const QString& userUID,
                                                                  const QString& userURI, bool isInGroup)
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
    for (const QString& groupID : qAsConst(withdrawn)) {
        m_contactGroupIDs.remove(groupID);
        emit rosterListGroupRemoved(subscriber, groupID);
    }
}

void TavriIdentityRealm::onSocialManagerContactGroupRemoved(const QString& groupID)
{
    qDebug() << "TavriIdentityRealm::onSocialManagerContactGroupRemoved" << groupID;
    QString subscriber;
    if (!rosterSubscriber("TavriIdentityRealm::onSocialManagerContactGroupRemoved", subscriber))
        return;
    emit rosterListGroupRemoved(subscriber, groupID);
}
