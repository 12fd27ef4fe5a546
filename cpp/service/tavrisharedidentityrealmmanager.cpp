#include "tavrisharedidentityrealmmanager.h"

#include <QCoreApplication>
#include <QDebug>

namespace {

TavriSharedIdentityRealmManager *s_instance = nullptr;

} // namespace

TavriSharedIdentityRealmManager *TavriSharedIdentityRealmManager::getInstance(QObject *parent)
{
    if (!s_instance)
        new TavriSharedIdentityRealmManager(parent);
    return s_instance;
}

TavriSharedIdentityRealmManager::TavriSharedIdentityRealmManager(QObject *parent)
    : QObject(parent)
{
    if (!s_instance)
        s_instance = this;
    // The application object announces its end with exiting(); the manager
    // lives below it and knows it only by that signal.
    QObject *application = QCoreApplication::instance();
    if (application && application->metaObject()->indexOfSignal("exiting()") >= 0)
        connect(application, SIGNAL(exiting()), this, SLOT(onTavriApplicationExiting()));
}

TavriSharedIdentityRealmManager::~TavriSharedIdentityRealmManager()
{
    const QList<TavriSharedIdentityRealm *> realms = m_realms.values();
    for (TavriSharedIdentityRealm *realm : realms) {
        disconnectRealm(realm);
        forget(realm);
        delete realm;
    }
    if (s_instance == this)
        s_instance = nullptr;
}

QList<Tavri::IdentityRealmInterface *> TavriSharedIdentityRealmManager::getRealms() const
{
    QList<Tavri::IdentityRealmInterface *> realms;
    for (TavriSharedIdentityRealm *realm : m_realms)
        realms.append(realm);
    return realms;
}

TavriSharedIdentityRealm *TavriSharedIdentityRealmManager::createRealm(const QString &requesterId, const QString &token,
                                                                       const QString &outputPipeName,
                                                                       const QString &inputPipeName,
                                                                       const QString &clientLibVersion)
{
    if (TavriSharedIdentityRealm *known = m_realms.value(requesterId)) {
        known->setClientLibVersion(clientLibVersion);
        return known;
    }
    auto *realm =
        new TavriSharedIdentityRealm(inputPipeName, outputPipeName, requesterId, token, clientLibVersion, this);
    using Realm = TavriSharedIdentityRealm;
    using Manager = TavriSharedIdentityRealmManager;
    connect(realm, &Realm::destroying, this, &Manager::onSharedIdentityRealmDestroying);
    connect(realm, &Realm::ready, this, &Manager::onSharedIdentityRealmReady);
    connect(realm, &Realm::controllerDied, this, &Manager::onSharedIdentityRealmControllerDied);
    connect(realm, &Realm::loginStateChange, this, &Manager::onSharedIdentityRealmLoginStateChanged);
    connect(realm, &Realm::conversationJoined, this, &Manager::onSharedIdentityRealmConversationJoined);
    connect(realm, &Realm::conversationDisconnected, this, &Manager::onSharedIdentityRealmConversationDisconnected);
    m_realms.insert(requesterId, realm);
    return realm;
}

TavriSharedIdentityRealm *TavriSharedIdentityRealmManager::senderRealm() const
{
    return qobject_cast<TavriSharedIdentityRealm *>(sender());
}

bool TavriSharedIdentityRealmManager::forget(TavriSharedIdentityRealm *realm)
{
    for (auto it = m_realms.begin(); it != m_realms.end(); ++it) {
        if (it.value() == realm) {
            m_realms.erase(it);
            return true;
        }
    }
    return false;
}

void TavriSharedIdentityRealmManager::disconnectRealm(TavriSharedIdentityRealm *realm)
{
    disconnect(realm, nullptr, this, nullptr);
}

void TavriSharedIdentityRealmManager::onSharedIdentityRealmReady()
{
    TavriSharedIdentityRealm *realm = senderRealm();
    if (!realm)
        return;
    qDebug() << "TavriSharedIdentityRealmManager::onSharedIdentityRealmReady" << realm->realmID();
    emit identityRealmAdded(realm);
}

void TavriSharedIdentityRealmManager::onSharedIdentityRealmLoginStateChanged(TavriSharedIdentityRealm::LoginState state)
{
    TavriSharedIdentityRealm *realm = senderRealm();
    if (!realm)
        return;
    qDebug() << "TavriSharedIdentityRealmManager::onSharedIdentityRealmLoginStateChanged" << realm->realmID() << state;
    emit loginStateChange(realm, state);
}

void TavriSharedIdentityRealmManager::onSharedIdentityRealmConversationJoined(const QString &sipURI,
                                                                              const QString &userURI)
{
    TavriSharedIdentityRealm *realm = senderRealm();
    if (!realm)
        return;
    qDebug() << "TavriSharedIdentityRealmManager::onSharedIdentityRealmConversationJoined" << sipURI << userURI;
    emit conversationListEntryAdded(realm, sipURI, realm->conversationName(sipURI));
}

void TavriSharedIdentityRealmManager::onSharedIdentityRealmConversationDisconnected(
    const QString &sipURI, const QString &userURI,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reasonMsg)
{
    TavriSharedIdentityRealm *realm = senderRealm();
    if (!realm)
        return;
    qDebug() << "TavriSharedIdentityRealmManager::onSharedIdentityRealmConversationDisconnected" << sipURI << userURI
             << int(reasonCode) << reasonMsg;
    emit conversationListEntryRemoved(realm, sipURI);
}

void TavriSharedIdentityRealmManager::onSharedIdentityRealmConversationParticipantAdded(const QString &conversationID,
                                                                                        const QString &participantUUID)
{
    TavriSharedIdentityRealm *realm = senderRealm();
    if (!realm)
        return;
    qDebug() << "TavriSharedIdentityRealmManager::onSharedIdentityRealmConversationParticipantAdded" << conversationID
             << participantUUID;
    emit conversationParticipantAdded(realm, conversationID, participantUUID);
}

void TavriSharedIdentityRealmManager::onSharedIdentityRealmConversationParticipantRemoved(
    const QString &conversationID, const QString &participantUUID,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reason)
{
    TavriSharedIdentityRealm *realm = senderRealm();
    if (!realm)
        return;
    qDebug() << "TavriSharedIdentityRealmManager::onSharedIdentityRealmConversationParticipantRemoved" << conversationID
             << participantUUID << int(reasonCode) << reason;
    emit conversationParticipantRemoved(realm, conversationID, participantUUID, reasonCode, reason);
}

void TavriSharedIdentityRealmManager::onSharedIdentityRealmControllerDied()
{
    TavriSharedIdentityRealm *realm = senderRealm();
    if (!realm)
        return;
    qDebug() << "TavriSharedIdentityRealmManager::onSharedIdentityRealmControllerDied" << realm->realmID();
    if (forget(realm))
        emit externalAppRelease(realm->realmDisplayName());
    disconnect(realm, &TavriSharedIdentityRealm::controllerDied, this,
               &TavriSharedIdentityRealmManager::onSharedIdentityRealmControllerDied);
    realm->deleteLater();
}

void TavriSharedIdentityRealmManager::onSharedIdentityRealmDestroying()
{
    TavriSharedIdentityRealm *realm = senderRealm();
    if (!realm)
        return;
    qDebug() << "TavriSharedIdentityRealmManager::onSharedIdentityRealmDestroying" << realm->realmID();
    emit identityRealmRemoved(realm);
    if (forget(realm))
        emit externalAppRelease(realm->realmDisplayName());
    disconnect(realm, &TavriSharedIdentityRealm::destroying, this,
               &TavriSharedIdentityRealmManager::onSharedIdentityRealmDestroying);
    disconnect(realm, &TavriSharedIdentityRealm::ready, this,
               &TavriSharedIdentityRealmManager::onSharedIdentityRealmReady);
}

void TavriSharedIdentityRealmManager::onTavriApplicationExiting()
{
    const QList<TavriSharedIdentityRealm *> realms = m_realms.values();
    for (TavriSharedIdentityRealm *realm : realms) {
        disconnect(realm, &TavriSharedIdentityRealm::destroying, this,
                   &TavriSharedIdentityRealmManager::onSharedIdentityRealmDestroying);
        disconnect(realm, &TavriSharedIdentityRealm::ready, this,
                   &TavriSharedIdentityRealmManager::onSharedIdentityRealmReady);
        disconnect(realm, &TavriSharedIdentityRealm::controllerDied, this,
                   &TavriSharedIdentityRealmManager::onSharedIdentityRealmControllerDied);
        forget(realm);
        delete realm;
    }
}
