#include "tavriidentityrealm.h"

#include "localuser.h"
#include "reportassertionfailure.h"
#include "socialmanager.h"
#include "tavriidentityrealmuser.h"

#include <QDebug>

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
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "clearing users by UID" << m_usersByUID.size();
    m_usersByUID.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "clearing users by UName" << m_usersByUName.size();
    m_usersByUName.clear();
    qDebug() << "TavriIdentityRealm::~TavriIdentityRealm" << "clearing users by URI" << m_usersByURI.size();
    m_usersByURI.clear();
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
