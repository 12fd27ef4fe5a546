#include "identityrealmmanager.h"

#include <algorithm>

#include "reportassertionfailure.h"
#include "storagemanager.h"
#include "tavriidentityrealm.h"
#include "tavrisharedidentityrealmmanager.h"

#include <QDebug>
#include <QPluginLoader>

namespace {

IdentityRealmManager *s_instance = nullptr;

// The realm signals the manager follows and the slots that take them, in
// connection order. Connected by signature on the realm's QObject, since the
// realms' signals belong to their own classes.
struct RealmConnection {
    const char *signal;
    const char *slot;
};

const RealmConnection kRealmConnections[] = {
    {SIGNAL(conversationListReceivedBegin(QString)), SLOT(onIdentityRealmConversationListReceivedBegin(QString))},
    {SIGNAL(conversationListEntry(QString, QString, QString)),
     SLOT(onIdentityRealmConversationListEntry(QString, QString, QString))},
    {SIGNAL(conversationListReceivedEnd(QString)), SLOT(onIdentityRealmConversationListReceivedEnd(QString))},
    {SIGNAL(conversationListReceived(QString, QStringList, QStringList)),
     SLOT(onIdentityRealmConversationListReceived(QString, QStringList, QStringList))},
    {SIGNAL(conversationJoinRequested(QString, QString, QString)),
     SLOT(onIdentityRealmConversationJoinRequested(QString, QString, QString))},
    {SIGNAL(textMessageReceived(QString, QString, QString, QString, QDateTime)),
     SLOT(onIdentityRealmTextMessageReceived(QString, QString, QString, QString, QDateTime))},
    {SIGNAL(conversationParticipantAdded(QString, QString)),
     SLOT(onIdentityRealmConversationParticipantAdded(QString, QString))},
    {SIGNAL(conversationParticipantRemoved(QString, QString,
                                           Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode, QString)),
     SLOT(onIdentityRealmConversationParticipantRemoved(
         QString, QString, Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode, QString))},
    {SIGNAL(conversationParticipantIsTypingChanged(QString, QString, bool)),
     SLOT(onIdentityRealmConversationParticipantIsTypingChanged(QString, QString, bool))},
    {SIGNAL(conversationJoined(QString, QString)), SLOT(onIdentityRealmConversationJoined(QString, QString))},
    {SIGNAL(conversationPasswordRequired(QString, QString)),
     SLOT(onIdentityRealmConversationPasswordRequired(QString, QString))},
    {SIGNAL(conversationDisconnected(QString, QString, Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode,
                                     QString)),
     SLOT(onIdentityRealmConversationDisconnected(
         QString, QString, Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode, QString))},
    {SIGNAL(destroying()), SLOT(onIdentityRealmDestroying())},
};

} // namespace

IdentityRealmManager *IdentityRealmManager::getInstance(QObject *parent)
{
    if (!s_instance)
        s_instance = new IdentityRealmManager(parent);
    return s_instance;
}

IdentityRealmManager::IdentityRealmManager(QObject *parent)
    : QObject(parent)
{
    Tavri::IdentityRealmInterface *builtInRealm = TavriIdentityRealm::getInstance(this);
    m_identityRealms.insert(builtInRealm->realmID(), builtInRealm);
    connectIdentityRealm(builtInRealm);
}

IdentityRealmManager::~IdentityRealmManager()
{
    qDebug() << "IdentityRealmManager::~IdentityRealmManager"
             << "begin";
    // The built-in realm may be this manager's child and already gone from
    // the table (it announced its end); only a registered one is touched.
    const QString builtInID = QStringLiteral("__Tavri");
    if (Tavri::IdentityRealmInterface *builtInRealm = m_identityRealms.take(builtInID))
        disconnectIdentityRealm(builtInRealm);
    qDebug() << "IdentityRealmManager::~IdentityRealmManager"
             << "end";
    if (s_instance == this)
        s_instance = nullptr;
}

Tavri::IdentityRealmInterface *IdentityRealmManager::getIdentityRealm(const QString &realmID)
{
    // External applications' realms win over a registered realm of the same id.
    const QList<Tavri::IdentityRealmInterface *> sharedRealms =
        TavriSharedIdentityRealmManager::getInstance()->getRealms();
    for (Tavri::IdentityRealmInterface *realm : sharedRealms) {
        if (realm && realm->realmID() == realmID)
            return realm;
    }
    return m_identityRealms.value(realmID, nullptr);
}

void IdentityRealmManager::joinConversationWithStoredPassword(Tavri::IdentityRealmInterface *realm,
                                                              const QString &conversationID,
                                                              const QString &participantUUID, const QString &password,
                                                              bool savePassword)
{
    if (!TAVRI_CHECK(realm))
        return;
    // The built-in realm shares the key under which a conversation remembers
    // its channel password; other realms put their id in between.
    const bool builtIn = realm == static_cast<Tavri::IdentityRealmInterface *>(TavriIdentityRealm::getInstance());
    const QString key = conversationID + (builtIn ? QString() : realm->realmID()) + QStringLiteral("_password");

    QString joinPassword = password;
    if (!password.isEmpty()) {
        if (savePassword)
            StorageManager::getInstance()->setSettingsValue(key, password, QString());
    } else {
        joinPassword = StorageManager::getInstance()->getSettingsValue(key, password, QString()).toString();
    }
    realm->requestJoinConversation(conversationID, participantUUID, joinPassword);
}

void IdentityRealmManager::loadIdentityRealm(const QString &pluginFileName)
{
    auto *loader = new QPluginLoader(pluginFileName);
    QObject *instance = loader->instance();
    if (!instance) {
        loader->unload();
        delete loader;
        return;
    }
    auto *realm = qobject_cast<Tavri::IdentityRealmInterface *>(instance);
    if (!realm) {
        qDebug() << "Failed to find appropriate interface for IdentityRealm in" << pluginFileName;
        loader->unload();
        delete loader;
        return;
    }
    const QString realmID = realm->realmID();
    if (realmID.isEmpty()) {
        qWarning() << "Failed to load plugin" << pluginFileName << realm->realmDisplayName()
                   << " ...the realm has no realm ID";
        loader->unload();
        delete loader;
        return;
    }
    if (Tavri::IdentityRealmInterface *registered = m_identityRealms.value(realmID)) {
        qDebug() << "Failed to load plugin" << pluginFileName << realm->realmDisplayName()
                 << " ...already loaded plugin for" << realmID << registered->realmDisplayName();
        loader->unload();
        delete loader;
        return;
    }
    qDebug() << "Loaded plugin for" << realm->realmDisplayName() << "from" << pluginFileName << realmID;
    connectIdentityRealm(realm);
    m_identityRealms.insert(realmID, realm);
    m_pluginLoaders.insert(realm, loader);
}

void IdentityRealmManager::unloadIdentityRealm(Tavri::IdentityRealmInterface *realm)
{
    if (!realm)
        return;
    disconnectIdentityRealm(realm);
    const QString realmID = realm->realmID();
    // Only the entry of this realm: a realm of the same id registered
    // elsewhere stays.
    if (m_identityRealms.value(realmID) == realm)
        m_identityRealms.remove(realmID);
    if (QPluginLoader *loader = m_pluginLoaders.take(realm)) {
        loader->unload();
        delete loader;
    }
}

void IdentityRealmManager::connectIdentityRealm(Tavri::IdentityRealmInterface *realm)
{
    QObject *object = realm->realmObject();
    for (const RealmConnection &connection : kRealmConnections)
        connect(object, connection.signal, this, connection.slot);
}

void IdentityRealmManager::disconnectIdentityRealm(Tavri::IdentityRealmInterface *realm)
{
    QObject *object = realm->realmObject();
    for (const RealmConnection &connection : kRealmConnections)
        disconnect(object, connection.signal, this, connection.slot);
}

Tavri::IdentityRealmInterface *IdentityRealmManager::senderRealm() const
{
    return qobject_cast<Tavri::IdentityRealmInterface *>(sender());
}

void IdentityRealmManager::beginConversationList(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID)
{
    const ConversationListKey key(realm->realmID(), subscriberUUID);
    if (m_conversationIDs.contains(key))
        m_publishedConversationIDs.insert(key, m_conversationIDs.value(key));
    m_conversationIDs.insert(key, QStringList());
    m_conversationIDSets.insert(key, QSet<QString>());
    m_conversationDisplayNames.insert(key, QStringList());
    m_receivingConversationList.insert(key, true);
}

void IdentityRealmManager::addConversationListEntry(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID,
                                                    const QString &conversationID, const QString &displayName)
{
    if (conversationID.isEmpty()) {
        qWarning() << "IdentityRealmManager::addConversationListEntry"
                   << "ignored an entry without conversation id"
                   << "from realm" << realm->realmID() << "for" << subscriberUUID;
        return;
    }
    const ConversationListKey key(realm->realmID(), subscriberUUID);
    QStringList &ids = m_conversationIDs[key];
    QStringList &names = m_conversationDisplayNames[key];
    QSet<QString> &known = m_conversationIDSets[key];
    if (known.contains(conversationID))
        return;
    known.insert(conversationID);
    ids.append(conversationID);
    names.append(displayName);
    if (!m_receivingConversationList.value(key, false))
        emit conversationListEntryAdded(realm, conversationID, displayName);
}

void IdentityRealmManager::endConversationList(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID)
{
    const ConversationListKey key(realm->realmID(), subscriberUUID);
    if (!m_conversationIDs.contains(key))
        return;
    QStringList old = m_publishedConversationIDs.value(key);
    const QStringList ids = m_conversationIDs.value(key);
    const QStringList names = m_conversationDisplayNames.value(key);
    // An id listed twice takes the name given with its first listing.
    QHash<QString, int> firstPositions;
    firstPositions.reserve(ids.size());
    for (int position = ids.size() - 1; position >= 0; --position)
        firstPositions.insert(ids.at(position), position);
    // Ids published before and listed again stay as they are; the others
    // are announced, the new ones first, then the ones that went.
    QSet<QString> kept(old.cbegin(), old.cend());
    for (const QString &id : ids) {
        if (kept.remove(id))
            continue;
        const int position = firstPositions.value(id);
        emit conversationListEntryAdded(realm, id, names.value(position));
        m_publishedConversationIDs[key].append(id);
    }
    QSet<QString> gone;
    for (const QString &id : qAsConst(old)) {
        if (kept.contains(id)) {
            emit conversationListEntryRemoved(realm, id);
            gone.insert(id);
        }
    }
    if (!gone.isEmpty()) {
        QStringList &published = m_publishedConversationIDs[key];
        published.erase(std::remove_if(published.begin(), published.end(),
                                       [&gone](const QString &id) { return gone.contains(id); }),
                        published.end());
    }
    m_receivingConversationList.insert(key, false);
}

void IdentityRealmManager::removeConversationListEntry(Tavri::IdentityRealmInterface *realm,
                                                       const QString &subscriberUUID, const QString &conversationID)
{
    const ConversationListKey key(realm->realmID(), subscriberUUID);
    if (!m_conversationIDs.contains(key))
        return;
    QStringList &ids = m_conversationIDs[key];
    QStringList &names = m_conversationDisplayNames[key];
    bool removed = false;
    for (int i = ids.size() - 1; i >= 0; --i) {
        if (ids.at(i) != conversationID)
            continue;
        ids.removeAt(i);
        m_conversationIDSets[key].remove(conversationID);
        if (i < names.size())
            names.removeAt(i);
        removed = true;
    }
    if (removed)
        emit conversationListEntryRemoved(realm, conversationID);
}

void IdentityRealmManager::onIdentityRealmConversationListReceivedBegin(const QString &subscriberUUID)
{
    if (Tavri::IdentityRealmInterface *realm = senderRealm())
        beginConversationList(realm, subscriberUUID);
}

void IdentityRealmManager::onIdentityRealmConversationListEntry(const QString &subscriberUUID,
                                                                const QString &conversationID,
                                                                const QString &conversationDisplayName)
{
    if (Tavri::IdentityRealmInterface *realm = senderRealm())
        addConversationListEntry(realm, subscriberUUID, conversationID, conversationDisplayName);
}

void IdentityRealmManager::onIdentityRealmConversationListReceivedEnd(const QString &subscriberUUID)
{
    if (Tavri::IdentityRealmInterface *realm = senderRealm())
        endConversationList(realm, subscriberUUID);
}

void IdentityRealmManager::onIdentityRealmConversationListReceived(const QString &subscriberUUID,
                                                                   const QStringList &conversationIDs,
                                                                   const QStringList &conversationDisplayNames)
{
    Tavri::IdentityRealmInterface *realm = senderRealm();
    if (!realm)
        return;
    if (conversationDisplayNames.size() != conversationIDs.size())
        qWarning() << "IdentityRealmManager::onIdentityRealmConversationListReceived"
                   << "realm" << realm->realmID() << "sent" << conversationIDs.size() << "conversation ids with"
                   << conversationDisplayNames.size() << "display names";
    beginConversationList(realm, subscriberUUID);
    // An id without a name of its own gets an empty name.
    for (int i = 0; i < conversationIDs.size(); ++i)
        addConversationListEntry(realm, subscriberUUID, conversationIDs.at(i), conversationDisplayNames.value(i));
    endConversationList(realm, subscriberUUID);
}

void IdentityRealmManager::onIdentityRealmConversationListEntryRemoved(const QString &subscriberUUID,
                                                                       const QString &conversationID)
{
    if (Tavri::IdentityRealmInterface *realm = senderRealm())
        removeConversationListEntry(realm, subscriberUUID, conversationID);
}

void IdentityRealmManager::onIdentityRealmConversationJoinRequested(const QString &conversationID,
                                                                    const QString &conversationDisplayName,
                                                                    const QString &senderUUID)
{
    emit conversationJoinRequested(senderRealm(), conversationID, conversationDisplayName, senderUUID);
}

void IdentityRealmManager::onIdentityRealmTextMessageReceived(const QString &conversationID, const QString &senderUUID,
                                                              const QString &receiverUUID, const QString &messageText,
                                                              const QDateTime &sentAt)
{
    emit conversationTextMessageReceived(senderRealm(), conversationID, senderUUID, receiverUUID, messageText, sentAt);
}

void IdentityRealmManager::onIdentityRealmConversationParticipantAdded(const QString &conversationID,
                                                                       const QString &participantUUID)
{
    emit conversationParticipantAdded(senderRealm(), conversationID, participantUUID);
}

void IdentityRealmManager::onIdentityRealmConversationParticipantRemoved(
    const QString &conversationID, const QString &participantUUID,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reason)
{
    emit conversationParticipantRemoved(senderRealm(), conversationID, participantUUID, reasonCode, reason);
}

void IdentityRealmManager::onIdentityRealmConversationParticipantIsTypingChanged(const QString &conversationID,
                                                                                 const QString &participantUUID,
                                                                                 bool isTyping)
{
    emit conversationParticipantIsTypingChanged(senderRealm(), conversationID, participantUUID, isTyping);
}

void IdentityRealmManager::onIdentityRealmConversationJoined(const QString &conversationID, const QString &)
{
    emit conversationJoined(senderRealm(), conversationID);
}

void IdentityRealmManager::onIdentityRealmConversationPasswordRequired(const QString &conversationID, const QString &)
{
    emit conversationPasswordRequired(senderRealm(), conversationID);
}

void IdentityRealmManager::onIdentityRealmConversationDisconnected(
    const QString &conversationID, const QString &,
    Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode reasonCode, const QString &reason)
{
    emit conversationDisconnected(senderRealm(), conversationID, reasonCode, reason);
}

void IdentityRealmManager::onIdentityRealmDestroying()
{
    Tavri::IdentityRealmInterface *realm = senderRealm();
    if (!realm)
        return;
    disconnectIdentityRealm(realm);
    const QString realmID = realm->realmID();
    if (m_identityRealms.value(realmID) == realm)
        m_identityRealms.remove(realmID);
    // The realm is being destroyed already: unloading its plug-in now would
    // delete it a second time and unmap the code that is running its
    // destructor. The loader is dropped and the library stays loaded.
    delete m_pluginLoaders.take(realm);
}
