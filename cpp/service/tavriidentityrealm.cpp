#include "tavriidentityrealm.h"

#include "conversation.h"
#include "conversationlist.h"
#include "conversationparticipantlist.h"
#include "localuser.h"
#include "reportassertionfailure.h"
#include "socialmanager.h"
#include "storagemanager.h"
#include "tavriidentityrealmuser.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMetaObject>
#include <QSet>

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
    // TODO(realm requests): end the realm's sessions and timers once
    // conversations and the voice session handling live here.
    qDebug() << "TavriIdentityRealm::requestLogout" << identity->getUid();
}

QObject* TavriIdentityRealm::realmObject()
{
    return this;
}

void TavriIdentityRealm::onNetworkDisconnect() {}

void TavriIdentityRealm::onNetworkReconnect() {}

// TODO(realm requests): the conversation operations below need the
// conversation model and the voice session handling; until those exist they
// only log what was asked.
void TavriIdentityRealm::sendTextMessage(const QString& conversationID, const QString& messageText)
{
    qWarning() << "TavriIdentityRealm::sendTextMessage" << "not available yet; dropped text of length"
               << messageText.size() << "for" << conversationID;
}

void TavriIdentityRealm::sendTextMessage(const QString& senderUUID, const QString& receiverUUID,
                                         const QString& messageText)
{
    qWarning() << "TavriIdentityRealm::sendTextMessage" << "not available yet; dropped text of length"
               << messageText.size() << "from" << senderUUID << "to" << receiverUUID;
}

void TavriIdentityRealm::requestJoinConversation(const QString& conversationID, const QString& participantUUID,
                                                 const QString&)
{
    qWarning() << "TavriIdentityRealm::requestJoinConversation" << "not available yet:" << conversationID
               << participantUUID;
}

void TavriIdentityRealm::requestLeaveConversation(const QString& conversationID, const QString& participantUUID)
{
    qWarning() << "TavriIdentityRealm::requestLeaveConversation" << "not available yet:" << conversationID
               << participantUUID;
}

void TavriIdentityRealm::sendIsTypingChanged(const QString& conversationID, bool isTyping)
{
    qDebug() << "TavriIdentityRealm::sendIsTypingChanged" << "not available yet:" << conversationID << isTyping;
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
        qDebug() << "no sip URI, returning...";
        return nullptr;
    }
    if (Conversation* conversation = m_conversationsByURI.value(sipURI))
        return conversation;

    Conversation* conversation = nullptr;
    if (sipURI.startsWith(QLatin1String("sip:confctl-"))) {
        conversation = new Conversation(QString(), sipURI, QString(), this);
        connectConversation(conversation);
        m_conversationsByURI.insert(sipURI, conversation);
        if (!sipURI.startsWith(QLatin1String("sip:confctl-g-"))) {
            // A permanent channel: its live id is the part before the at sign.
            const QString liveUID = sipURI.mid(int(qstrlen("sip:confctl-"))).section(QLatin1Char('@'), 0, 0);
            if (QSocialManager* socialManager = QSocialManager::getInstance())
                socialManager->requestChannelInfoWithOwnerInfoFromLiveUID(liveUID);
        }
        return conversation;
    }

    conversation = new Conversation(this, sipURI, sipURI, this, Conversation::VoiceDisabled, Conversation::NotJoined);
    if (TavriIdentityRealmUser* localIdentity = LocalUser::getLocalUser()->tavriidentity())
        conversation->getParticipants()->addParticipant(localIdentity);
    conversation->getParticipants()->addParticipant(requestUserInfoUpdateByURI(sipURI));
    connectConversation(conversation);
    m_conversationsByURI.insert(sipURI, conversation);
    return conversation;
}

void TavriIdentityRealm::connectConversation(Conversation* conversation)
{
    connect(conversation, &Conversation::destroying, this, &TavriIdentityRealm::onConversationDestroying);
}

void TavriIdentityRealm::onConversationDestroying()
{
    const QObject* conversation = sender();
    if (conversation)
        removeEntriesPointingTo(m_conversationsByURI, conversation);
}
