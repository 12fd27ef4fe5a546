#include "contactlist.h"

#include "contact.h"
#include "identityrealmmanager.h"
#include "reportassertionfailure.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "tavrisharedidentityrealmmanager.h"

#include <QDebug>

namespace {

// The roster signals a contact list follows, connected by signature on the
// realm's QObject since they belong to the implementing classes.
struct RosterConnection {
    const char *signal;
    const char *slot;
};

const RosterConnection kRosterConnections[] = {
    {SIGNAL(rosterListReceivedBegin(QString)), SLOT(onRosterListBegin(QString))},
    {SIGNAL(rosterListEntry(QString, QString)), SLOT(onRosterListEntry(QString, QString))},
    {SIGNAL(rosterListReceivedEnd(QString)), SLOT(onRosterListEnd(QString))},
    {SIGNAL(rosterListReceived(QString, QStringList)), SLOT(onRosterListReceived(QString, QStringList))},
    {SIGNAL(rosterListEntryRemoved(QString, QString)), SLOT(onRosterListEntryRemoved(QString, QString))},
};

Tavri::IdentityRealmInterface *builtInRealm()
{
    return TavriIdentityRealm::getInstance();
}

// Whether the contact holds an identity of the realm with the user id.
bool holdsIdentity(Contact *contact, Tavri::IdentityRealmInterface *realm, const QString &userUUID)
{
    return contact->getIdentities()->containsIdentity(realm, userUUID);
}

bool isOnline(const Contact *contact)
{
    return contact->getPresenceState() > Tavri::RealmUserInterface::Offline;
}

} // namespace

// Passes one realm's roster signals to its contact list, naming the realm.
class ContactListRosterRelay : public QObject
{
    Q_OBJECT

public:
    ContactListRosterRelay(ContactList *list, Tavri::IdentityRealmInterface *realm)
        : QObject(list)
        , m_list(list)
        , m_realm(realm)
    {
    }

public slots:
    void onRosterListBegin(const QString &subscriberUUID) { m_list->rosterListBegin(m_realm, subscriberUUID); }
    void onRosterListEntry(const QString &subscriberUUID, const QString &contactUUID)
    {
        m_list->rosterListEntry(m_realm, subscriberUUID, contactUUID);
    }
    void onRosterListEnd(const QString &subscriberUUID) { m_list->rosterListEnd(m_realm, subscriberUUID); }
    void onRosterListReceived(const QString &subscriberUUID, const QStringList &contactUUIDs)
    {
        m_list->rosterListReceived(m_realm, subscriberUUID, contactUUIDs);
    }
    void onRosterListEntryRemoved(const QString &, const QString &contactUUID)
    {
        m_list->rosterListEntryRemoved(m_realm, contactUUID);
    }

private:
    ContactList *m_list;
    Tavri::IdentityRealmInterface *m_realm;
};

ContactList::ContactList(QObject *parent)
    : QAbstractListModel(parent)
{
    connect(StorageManager::getInstance(), &StorageManager::settingKeyChanged, this,
            &ContactList::onStorageManagerSettingKeyChanged);
}

ContactList::~ContactList()
{
    // The settings store's connection goes with this object; the store is
    // not asked for here, since at shutdown that would build a new one.
}

void ContactList::followIdentityRealms()
{
    setShowOfflineContacts(
        StorageManager::getInstance()->getSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, false).toBool());
    connectRoster(builtInRealm());
    TavriSharedIdentityRealmManager *sharedRealms = TavriSharedIdentityRealmManager::getInstance();
    connect(sharedRealms, &TavriSharedIdentityRealmManager::identityRealmAdded, this,
            &ContactList::onTavriSharedIdentityRealmAdded, Qt::UniqueConnection);
    connect(sharedRealms, &TavriSharedIdentityRealmManager::identityRealmRemoved, this,
            &ContactList::onTavriSharedIdentityRealmRemoved, Qt::UniqueConnection);
    const QList<Tavri::IdentityRealmInterface *> realms = sharedRealms->getRealms();
    for (Tavri::IdentityRealmInterface *realm : realms)
        connectRoster(realm);
}

void ContactList::addContact(Tavri::RealmUserInterface *identity)
{
    if (!TAVRI_CHECK(identity))
        return;
    qDebug() << "ContactList::addContact" << identity->getUid();
    if (findContact(identity)) {
        qDebug() << "ContactList::addContact"
                 << "... already contains identity..." << identity->getUid();
        return;
    }
    auto *contact = new Contact(identity, this);
    connect(contact, &Contact::destroying, this, &ContactList::onContactDestroying);
    connect(contact, &Contact::displayNameChanged, this, &ContactList::onDisplayNameChanged);
    connect(contact, &Contact::identitiesUpdated, this, &ContactList::onIdentitiesUpdated);
    connect(contact, &Contact::presenceStateChanged, this, &ContactList::onPresenceStateChanged);
    connect(contact, &Contact::presenceMessageChanged, this, &ContactList::onPresenceMessageChanged);
    connect(contact, &Contact::lastOnlineChanged, this, &ContactList::onLastOnlineChanged);
    // Identities that later join or leave the contact are announced as the
    // list's own.
    connect(contact->getIdentities(), &RealmIdentityList::realmIdentityAdded, this,
            &ContactList::onContactIdentityAdded);
    connect(contact->getIdentities(), &RealmIdentityList::realmIdentityRemoved, this,
            &ContactList::onContactIdentityRemoved);

    m_contacts.append(contact);
    m_contactSet.insert(contact);
    emit totalCountChanged(m_contacts.size());
    if (isShown(contact, m_showOfflineContacts))
        insertVisibleContact(contact);
    if (isOnline(contact))
        emit onlineCountChanged(getOnlineCount());
    const QList<Tavri::RealmUserInterface *> identities = contact->getIdentities()->getIdentityList();
    for (Tavri::RealmUserInterface *contactIdentity : identities)
        emit contactIdentityAdded(contactIdentity);
    emit contactAdded(contact);
}

void ContactList::removeContact(Contact *contact)
{
    takeContact(contact, true);
}

void ContactList::takeContact(Contact *contact, bool deleteIt)
{
    if (!contact || !m_contactSet.contains(contact))
        return;
    disconnect(contact, &Contact::destroying, this, &ContactList::onContactDestroying);
    removeVisibleContact(contact);
    m_contacts.removeAll(contact);
    m_contactSet.remove(contact);
    emit totalCountChanged(m_contacts.size());
    disconnect(contact, nullptr, this, nullptr);
    disconnect(contact->getIdentities(), nullptr, this, nullptr);
    if (isOnline(contact))
        emit onlineCountChanged(getOnlineCount());
    const QList<Tavri::RealmUserInterface *> identities = contact->getIdentities()->getIdentityList();
    for (Tavri::RealmUserInterface *contactIdentity : identities)
        emit contactIdentityRemoved(contactIdentity);
    emit contactRemoved(contact);
    if (deleteIt)
        contact->deleteLater();
}

void ContactList::clear()
{
    if (!m_visibleContacts.isEmpty()) {
        beginRemoveRows(QModelIndex(), 0, m_visibleContacts.size() - 1);
        m_visibleContacts.clear();
        endRemoveRows();
        emit visibleCountChanged(0);
        emit onlineCountChanged(getOnlineCount());
    }
    const QList<Contact *> contacts = m_contacts;
    for (Contact *contact : contacts)
        removeContact(contact);
    for (auto it = m_rosterContactUUIDs.begin(); it != m_rosterContactUUIDs.end(); ++it)
        it.value().clear();
    for (auto it = m_rosterContactUUIDSets.begin(); it != m_rosterContactUUIDSets.end(); ++it)
        it.value().clear();
}

bool ContactList::containsIdentity(Tavri::RealmUserInterface *identity) const
{
    return findContact(identity) != nullptr;
}

Contact *ContactList::findContact(Tavri::RealmUserInterface *identity) const
{
    if (!identity)
        return nullptr;
    return findContact(identity->identityRealm(), identity->getUid());
}

Contact *ContactList::findContact(Tavri::IdentityRealmInterface *realm, const QString &userUUID) const
{
    const auto key = qMakePair(realm, userUUID);
    Contact *known = m_contactByIdentity.value(key);
    if (known && m_contactSet.contains(known) && holdsIdentity(known, realm, userUUID))
        return known;
    for (Contact *contact : m_contacts) {
        if (holdsIdentity(contact, realm, userUUID)) {
            m_contactByIdentity.insert(key, contact);
            return contact;
        }
    }
    m_contactByIdentity.remove(key);
    return nullptr;
}

void ContactList::removeContactForIdentity(Tavri::RealmUserInterface *identity)
{
    if (Contact *contact = findContact(identity))
        removeContact(contact);
}

void ContactList::setShowOfflineContacts(bool show)
{
    if (show == m_showOfflineContacts)
        return;
    m_showOfflineContacts = show;
    const QList<Contact *> contacts = m_contacts;
    for (Contact *contact : contacts)
        updateContactVisibility(contact);
    emit showOfflineContactsChanged(show);
}

void ContactList::updateContactVisibility(Contact *contact)
{
    if (isShown(contact, m_showOfflineContacts))
        insertVisibleContact(contact);
    else
        removeVisibleContact(contact);
}

int ContactList::getOnlineCount() const
{
    int count = 0;
    for (const Contact *contact : m_contacts) {
        if (isOnline(contact))
            ++count;
    }
    return count;
}

bool ContactList::isShown(const Contact *contact, bool showOffline)
{
    return showOffline || isOnline(contact);
}

void ContactList::insertVisibleContact(Contact *contact)
{
    if (m_visibleContacts.contains(contact))
        return;
    const QString name = contact->getDisplayName();
    int row = 0;
    while (row < m_visibleContacts.size()
           && m_visibleContacts.at(row)->getDisplayName().compare(name, Qt::CaseInsensitive) <= 0)
        ++row;
    beginInsertRows(QModelIndex(), row, row);
    m_visibleContacts.insert(row, contact);
    endInsertRows();
    emit visibleCountChanged(m_visibleContacts.size());
}

void ContactList::removeVisibleContact(Contact *contact)
{
    for (int row = m_visibleContacts.indexOf(contact); row >= 0; row = m_visibleContacts.indexOf(contact)) {
        beginRemoveRows(QModelIndex(), row, row);
        m_visibleContacts.removeAt(row);
        endRemoveRows();
        emit visibleCountChanged(m_visibleContacts.size());
    }
}

// --- Roster transfers ---------------------------------------------------------

void ContactList::beginRosterList(Tavri::IdentityRealmInterface *realm)
{
    m_rosterContactUUIDs[realm] = QStringList();
    m_rosterContactUUIDSets[realm] = QSet<QString>();
}

void ContactList::forgetRosterRealm(Tavri::IdentityRealmInterface *realm)
{
    m_rosterContactUUIDs.remove(realm);
    m_rosterContactUUIDSets.remove(realm);
    delete m_rosterRelays.take(realm);
}

void ContactList::addRosterEntry(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID,
                                 const QString &contactUUID)
{
    qDebug() << "Received rosterEntry for" << realm->realmDisplayName() << subscriberUUID << contactUUID;
    if (contactUUID.isEmpty()) {
        qWarning() << "ContactList::addRosterEntry"
                   << "empty contact id from" << realm->realmID() << ", ignoring";
        return;
    }
    QSet<QString> &known = m_rosterContactUUIDSets[realm];
    if (known.contains(contactUUID)) {
        qDebug() << "duplicate rosterEntry, ignoring" << contactUUID;
        return;
    }
    known.insert(contactUUID);
    m_rosterContactUUIDs[realm].append(contactUUID);
    Tavri::RealmUserInterface *user = realm->getRealmUser(contactUUID);
    if (!user) {
        qWarning() << "ContactList::addRosterEntry"
                   << "realm" << realm->realmID() << "has no user for" << contactUUID;
        return;
    }
    addContact(user);
}

void ContactList::endRosterList(Tavri::IdentityRealmInterface *realm)
{
    removeContactsNotIn(realm, m_rosterContactUUIDs.value(realm));
}

void ContactList::removeContactsNotIn(Tavri::IdentityRealmInterface *realm, const QStringList &contactUUIDs)
{
    const QSet<QString> named(contactUUIDs.cbegin(), contactUUIDs.cend());
    const QList<Contact *> contacts = m_contacts;
    for (Contact *contact : contacts) {
        // Only this realm's roster decides: contacts made of other realms'
        // identities stay.
        bool ofRealm = false;
        bool listed = false;
        const QList<Tavri::RealmUserInterface *> identities = contact->getIdentities()->getIdentityList();
        for (Tavri::RealmUserInterface *identity : identities) {
            if (identity->identityRealm() != realm)
                continue;
            ofRealm = true;
            if (named.contains(identity->getUid()))
                listed = true;
        }
        if (ofRealm && !listed)
            removeContact(contact);
    }
}

void ContactList::removeRosterEntry(Tavri::IdentityRealmInterface *realm, const QString &contactUUID)
{
    QStringList uuids = m_rosterContactUUIDs.value(realm);
    uuids.removeAll(contactUUID);
    m_rosterContactUUIDs.insert(realm, uuids);
    m_rosterContactUUIDSets[realm].remove(contactUUID);
    // Users are matched by realm and id, so an id the realm never announced
    // creates no user.
    const QList<Contact *> contacts = m_contacts;
    for (Contact *contact : contacts) {
        if (!m_contactSet.contains(contact))
            continue;
        const QList<Tavri::RealmUserInterface *> identities = contact->getIdentities()->getIdentityList();
        for (Tavri::RealmUserInterface *identity : identities) {
            if (identity->identityRealm() == realm && identity->getUid() == contactUUID)
                contact->getIdentities()->removeIdentity(identity);
        }
    }
}

// --- Model --------------------------------------------------------------------

int ContactList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_visibleContacts.size();
}

QVariant ContactList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_visibleContacts.size())
        return QVariant();
    Contact *contact = m_visibleContacts.at(index.row());

    switch (role) {
    case Qt::DisplayRole:
    case DisplayNameRole:
        return contact->getDisplayName();
    case HasTavriRole:
        return contact->getTavriIdentity() != nullptr;
    case PresenceStateRole:
        return static_cast<int>(contact->getPresenceState());
    case PresenceMessageRole:
        return contact->getPresenceMessage();
    case PrimaryRealmIDRole:
        return contact->getPrimaryRealmID();
    case PrimaryRealmUserUUIDRole:
        return contact->getPrimaryUserUUID();
    case PrimaryIdentityRefRole: {
        // The user object the realm hands out today for the primary identity;
        // nothing when the realm is gone or does not know the user.
        const QString userUUID = contact->getPrimaryUserUUID();
        if (userUUID.isEmpty())
            return QVariant();
        Tavri::IdentityRealmInterface *realm =
            IdentityRealmManager::getInstance()->getIdentityRealm(contact->getPrimaryRealmID());
        Tavri::RealmUserInterface *user = realm ? realm->getRealmUser(userUUID) : nullptr;
        if (!user)
            return QVariant();
        return QVariant::fromValue(user->getQObject());
    }
    case LastOnlineRole:
        if (TavriIdentityRealmUser *user = contact->getTavriIdentity())
            return user->getLastOnline();
        return QVariant();
    case SipURIRole:
        return contact->getSipURI();
    case TavriUUIDRole:
        if (TavriIdentityRealmUser *user = contact->getTavriIdentity())
            return user->getUid();
        return QVariant();
    case IdentitiesRole:
        return QVariant::fromValue(contact->getIdentities());
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ContactList::roleNames() const
{
    QHash<int, QByteArray> roles = QAbstractListModel::roleNames();
    roles.insert(DisplayNameRole, "displayName");
    roles.insert(HasTavriRole, "hasTavri");
    roles.insert(PresenceStateRole, "presenceState");
    roles.insert(PresenceMessageRole, "presenceMessage");
    roles.insert(PrimaryRealmIDRole, "primaryRealmID");
    roles.insert(PrimaryRealmUserUUIDRole, "primaryRealmUserUUID");
    roles.insert(PrimaryIdentityRefRole, "primaryIdentityRef");
    roles.insert(LastOnlineRole, "lastOnline");
    roles.insert(SipURIRole, "sipURI");
    roles.insert(TavriUUIDRole, "tavriuuid");
    roles.insert(IdentitiesRole, "identities");
    return roles;
}

// --- Slots --------------------------------------------------------------------

void ContactList::onTavriContactsReceived(const QStringList &contactSipURIs, const QStringList &)
{
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    QSet<QString> known = m_rosterContactUUIDSets.value(realm);
    for (const QString &uri : contactSipURIs) {
        if (uri.isEmpty() || known.contains(uri))
            continue;
        known.insert(uri);
        addContact(realm->requestUserInfoUpdateByURI(uri));
    }
}

void ContactList::onVoiceManagerFriendAdded(const QString &contactSipURI)
{
    if (contactSipURI.isEmpty())
        return;
    addContact(TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(contactSipURI));
}

void ContactList::onVoiceManagerFriendRemoved(const QString &contactSipURI)
{
    if (contactSipURI.isEmpty())
        return;
    Tavri::RealmUserInterface *user = TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(contactSipURI);
    Contact *contact = findContact(user);
    if (!contact)
        return;
    contact->getIdentities()->removeIdentity(user);
    if (m_contactSet.contains(contact) && contact->getIdentities()->rowCount() == 0)
        removeContact(contact);
}

void ContactList::onRealmIdentityConnected()
{
    auto *identity = qobject_cast<Tavri::RealmUserInterface *>(sender());
    if (identity && identity->identityRealm())
        connectRoster(identity->identityRealm());
}

void ContactList::onRealmIdentityDisconnected(const QString &reason)
{
    auto *identity = qobject_cast<Tavri::RealmUserInterface *>(sender());
    Tavri::IdentityRealmInterface *realm = identity ? identity->identityRealm() : nullptr;
    if (!realm)
        return;
    qDebug() << "ContactList::onRealmIdentityDisconnected" << realm->realmDisplayName() << reason;
    disconnectRoster(realm);
}

void ContactList::onStorageManagerSettingKeyChanged(StorageManager::NamedSettings settingsKey, const QVariant &value)
{
    if (settingsKey == StorageManager::SettingsKeyShowOfflineFriends)
        setShowOfflineContacts(value.toBool());
}

void ContactList::onRosterListBegin(const QString &subscriberUUID)
{
    rosterListBegin(senderRealm(), subscriberUUID);
}

void ContactList::onRosterListEntry(const QString &subscriberUUID, const QString &contactUUID)
{
    rosterListEntry(senderRealm(), subscriberUUID, contactUUID);
}

void ContactList::onRosterListEnd(const QString &subscriberUUID)
{
    rosterListEnd(senderRealm(), subscriberUUID);
}

void ContactList::onRosterListReceived(const QString &subscriberUUID, const QStringList &contactUUIDs)
{
    rosterListReceived(senderRealm(), subscriberUUID, contactUUIDs);
}

void ContactList::onRosterListEntryRemoved(const QString &subscriberUUID, const QString &contactUUID)
{
    Q_UNUSED(subscriberUUID)
    rosterListEntryRemoved(senderRealm(), contactUUID);
}

void ContactList::rosterListBegin(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID)
{
    qDebug() << "ContactList::onRosterListBegin" << subscriberUUID;
    if (realm)
        beginRosterList(realm);
}

void ContactList::rosterListEntry(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID,
                                  const QString &contactUUID)
{
    qDebug() << "ContactList::onRosterListEntry" << subscriberUUID << contactUUID;
    if (realm)
        addRosterEntry(realm, subscriberUUID, contactUUID);
}

void ContactList::rosterListEnd(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID)
{
    qDebug() << "ContactList::onRosterListEnd" << subscriberUUID;
    if (realm)
        endRosterList(realm);
}

void ContactList::rosterListReceived(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID,
                                     const QStringList &contactUUIDs)
{
    qDebug() << "ContactList::onRosterListReceived" << subscriberUUID;
    if (!realm)
        return;
    beginRosterList(realm);
    for (const QString &contactUUID : contactUUIDs)
        addRosterEntry(realm, subscriberUUID, contactUUID);
    endRosterList(realm);
}

void ContactList::rosterListEntryRemoved(Tavri::IdentityRealmInterface *realm, const QString &contactUUID)
{
    qDebug() << "ContactList::onRosterListEntryRemoved" << contactUUID;
    if (realm)
        removeRosterEntry(realm, contactUUID);
}

void ContactList::onDisplayNameChanged(const QString &)
{
    Contact *contact = senderContact();
    if (!contact)
        return;
    const int row = m_visibleContacts.indexOf(contact);
    if (row < 0)
        return;
    emit dataChanged(index(row), index(row), {DisplayNameRole, Qt::DisplayRole});

    const QString name = contact->getDisplayName();
    int target = m_visibleContacts.size();
    for (int position = 0; position < m_visibleContacts.size(); ++position) {
        Contact *other = m_visibleContacts.at(position);
        if (other != contact && other->getDisplayName().compare(name, Qt::CaseInsensitive) > 0) {
            target = position;
            break;
        }
    }
    if (target == row + 1 || (target == 0 && row == 0))
        return;
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), target);
    m_visibleContacts.removeAt(row);
    m_visibleContacts.insert(row < target ? target - 1 : target, contact);
    endMoveRows();
}

void ContactList::onPresenceStateChanged(Tavri::RealmUserInterface::PresenceState)
{
    Contact *contact = senderContact();
    if (!contact)
        return;
    updateContactVisibility(contact);
    notifyContactChanged(contact, {PresenceStateRole});
    emit onlineCountChanged(getOnlineCount());
}

void ContactList::onPresenceMessageChanged(const QString &)
{
    notifyContactChanged(senderContact(), {PresenceMessageRole});
}

void ContactList::onLastOnlineChanged(const QDateTime &)
{
    notifyContactChanged(senderContact(), {LastOnlineRole});
}

void ContactList::onIdentitiesUpdated()
{
    Contact *contact = senderContact();
    if (!contact)
        return;
    updateContactVisibility(contact);
    // The primary identity may have changed with the identities.
    notifyContactChanged(contact, {HasTavriRole, PrimaryRealmIDRole, PrimaryRealmUserUUIDRole, PrimaryIdentityRefRole,
                                   LastOnlineRole, SipURIRole, TavriUUIDRole, IdentitiesRole});
}

void ContactList::onContactDestroying()
{
    // The contact is already being destroyed.
    takeContact(senderContact(), false);
}

void ContactList::onTavriSharedIdentityRealmAdded(Tavri::IdentityRealmInterface *realm)
{
    if (realm && realm->realmObject())
        connectRoster(realm);
}

void ContactList::onTavriSharedIdentityRealmRemoved(Tavri::IdentityRealmInterface *realm)
{
    if (!realm || !realm->realmObject())
        return;
    disconnectRoster(realm);
    // The key would outlive the realm.
    forgetRosterRealm(realm);
}

void ContactList::onContactIdentityAdded(Tavri::RealmUserInterface *identity)
{
    if (!identity)
        return;
    // Another contact may now come first for this identity.
    m_contactByIdentity.remove(qMakePair(identity->identityRealm(), identity->getUid()));
    emit contactIdentityAdded(identity);
}

void ContactList::onContactIdentityRemoved(Tavri::RealmUserInterface *identity)
{
    auto *identities = qobject_cast<RealmIdentityList *>(sender());
    if (identity)
        emit contactIdentityRemoved(identity);
    // A contact without identities is gone; it leaves the list now rather
    // than when its deferred deletion runs.
    if (identities) {
        for (Contact *contact : qAsConst(m_contacts)) {
            if (contact->getIdentities() == identities) {
                if (identities->getIdentityList().isEmpty())
                    removeContact(contact);
                break;
            }
        }
    }
}

// --- Helpers ------------------------------------------------------------------

void ContactList::connectRoster(Tavri::IdentityRealmInterface *realm)
{
    QObject *object = realm->realmObject();
    ContactListRosterRelay *&relay = m_rosterRelays[realm];
    if (!relay)
        relay = new ContactListRosterRelay(this, realm);
    for (const RosterConnection &connection : kRosterConnections)
        connect(object, connection.signal, relay, connection.slot, Qt::UniqueConnection);
}

void ContactList::disconnectRoster(Tavri::IdentityRealmInterface *realm)
{
    QObject *object = realm->realmObject();
    if (ContactListRosterRelay *relay = m_rosterRelays.value(realm))
        for (const RosterConnection &connection : kRosterConnections)
            disconnect(object, connection.signal, relay, connection.slot);
}

Tavri::IdentityRealmInterface *ContactList::senderRealm() const
{
    return qobject_cast<Tavri::IdentityRealmInterface *>(sender());
}

Contact *ContactList::senderContact() const
{
    auto *contact = qobject_cast<Contact *>(sender());
    return m_contactSet.contains(contact) ? contact : nullptr;
}

void ContactList::notifyContactChanged(Contact *contact, const QVector<int> &roles)
{
    if (!contact)
        return;
    const int row = m_visibleContacts.indexOf(contact);
    if (row >= 0)
        emit dataChanged(index(row), index(row), roles);
}

#include "contactlist.moc"
