#include "contactlist.h"

#include "contact.h"
#include "identityrealmmanager.h"
#include "reportassertionfailure.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"
#include "tavrisharedidentityrealmmanager.h"

#include <QDebug>

#include <algorithm>

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

// Orders contacts by display name, case-insensitively.
struct NameBefore {
    bool operator()(const QString &name, Contact *contact) const
    {
        return name.compare(contact->getDisplayName(), Qt::CaseInsensitive) < 0;
    }
    bool operator()(Contact *contact, const QString &name) const
    {
        return contact->getDisplayName().compare(name, Qt::CaseInsensitive) < 0;
    }
};

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
    m_contactSerials.insert(contact, m_nextSerial++);
    m_contactByIdentities.insert(contact->getIdentities(), contact);
    const QList<Tavri::RealmUserInterface *> identities = contact->getIdentities()->getIdentityList();
    for (Tavri::RealmUserInterface *contactIdentity : identities)
        fileIdentity(contact, contactIdentity);
    emit totalCountChanged(m_contacts.size());
    if (isShown(contact, m_showOfflineContacts))
        insertVisibleContact(contact);
    if (isOnline(contact)) {
        m_onlineContacts.insert(contact);
        emit onlineCountChanged(getOnlineCount());
    }
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
    if (!contact || !m_contactSerials.contains(contact))
        return;
    disconnect(contact, &Contact::destroying, this, &ContactList::onContactDestroying);
    removeVisibleContact(contact);
    m_contacts.removeAll(contact);
    m_contactSerials.remove(contact);
    m_contactByIdentities.remove(contact->getIdentities());
    const QList<Tavri::RealmUserInterface *> identities = contact->getIdentities()->getIdentityList();
    for (Tavri::RealmUserInterface *contactIdentity : identities)
        unfileIdentity(contact, contactIdentity);
    emit totalCountChanged(m_contacts.size());
    disconnect(contact, nullptr, this, nullptr);
    disconnect(contact->getIdentities(), nullptr, this, nullptr);
    if (m_onlineContacts.remove(contact))
        emit onlineCountChanged(getOnlineCount());
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
        m_visibleSet.clear();
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
    const auto it = m_identityIndex.constFind(qMakePair(realm, userUUID));
    if (it == m_identityIndex.constEnd())
        return nullptr;
    // Several contacts may hold the identity: the first in the list answers.
    Contact *first = nullptr;
    quint64 firstSerial = 0;
    for (const FiledIdentity &filed : *it) {
        const quint64 serial = m_contactSerials.value(filed.contact);
        if (!first || serial < firstSerial) {
            first = filed.contact;
            firstSerial = serial;
        }
    }
    return first;
}

void ContactList::fileIdentity(Contact *contact, Tavri::RealmUserInterface *identity)
{
    auto known = m_identityKeys.constFind(identity);
    if (known == m_identityKeys.constEnd()) {
        known = m_identityKeys.insert(identity, qMakePair(identity->identityRealm(), identity->getUid()));
        // The built-in realm's users learn their final id from the web
        // service after they are made.
        if (auto *user = qobject_cast<TavriIdentityRealmUser *>(identity->getQObject()))
            connect(user, &TavriIdentityRealmUser::uidChanged, this, &ContactList::onIdentityUidChanged,
                    Qt::UniqueConnection);
    }
    m_identityIndex[*known].append({contact, identity});
}

void ContactList::unfileIdentity(Contact *contact, Tavri::RealmUserInterface *identity)
{
    const auto known = m_identityKeys.find(identity);
    if (known == m_identityKeys.end())
        return;
    const auto it = m_identityIndex.find(*known);
    bool stillFiled = false;
    if (it != m_identityIndex.end()) {
        QVector<FiledIdentity> &filed = *it;
        bool removed = false;
        for (int i = 0; i < filed.size(); ++i) {
            if (!removed && filed.at(i).contact == contact && filed.at(i).identity == identity) {
                filed.remove(i--);
                removed = true;
            } else if (filed.at(i).identity == identity) {
                stillFiled = true;
            }
        }
        if (filed.isEmpty())
            m_identityIndex.erase(it);
    }
    if (!stillFiled) {
        m_identityKeys.erase(known);
        if (auto *user = qobject_cast<TavriIdentityRealmUser *>(identity->getQObject()))
            disconnect(user, &TavriIdentityRealmUser::uidChanged, this, &ContactList::onIdentityUidChanged);
    }
}

void ContactList::onIdentityUidChanged()
{
    auto *user = qobject_cast<TavriIdentityRealmUser *>(sender());
    Tavri::RealmUserInterface *identity = user;
    const auto known = m_identityKeys.find(identity);
    if (!user || known == m_identityKeys.end())
        return;
    const IdentityKey key = qMakePair(identity->identityRealm(), identity->getUid());
    if (key == *known)
        return;
    // Moves the identity's entries to its new key, in their order.
    const auto it = m_identityIndex.find(*known);
    QVector<FiledIdentity> moved;
    if (it != m_identityIndex.end()) {
        QVector<FiledIdentity> &filed = *it;
        for (int i = 0; i < filed.size(); ++i) {
            if (filed.at(i).identity == identity)
                moved.append(filed.takeAt(i--));
        }
        if (filed.isEmpty())
            m_identityIndex.erase(it);
    }
    *known = key;
    m_identityIndex[key] += moved;
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

void ContactList::updateOnline(Contact *contact)
{
    if (isOnline(contact))
        m_onlineContacts.insert(contact);
    else
        m_onlineContacts.remove(contact);
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
    return m_onlineContacts.size();
}

bool ContactList::isShown(const Contact *contact, bool showOffline)
{
    return showOffline || isOnline(contact);
}

void ContactList::insertVisibleContact(Contact *contact)
{
    if (m_visibleSet.contains(contact))
        return;
    // After every contact whose name sorts before or equal to its own.
    const int row = int(
        std::upper_bound(m_visibleContacts.cbegin(), m_visibleContacts.cend(), contact->getDisplayName(), NameBefore())
        - m_visibleContacts.cbegin());
    beginInsertRows(QModelIndex(), row, row);
    m_visibleContacts.insert(row, contact);
    m_visibleSet.insert(contact);
    endInsertRows();
    emit visibleCountChanged(m_visibleContacts.size());
}

void ContactList::removeVisibleContact(Contact *contact)
{
    const int row = visibleRow(contact);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_visibleContacts.removeAt(row);
    m_visibleSet.remove(contact);
    endRemoveRows();
    emit visibleCountChanged(m_visibleContacts.size());
}

int ContactList::visibleRow(Contact *contact) const
{
    if (!m_visibleSet.contains(contact))
        return -1;
    // The rows are in name order: the contact is among those of its name,
    // unless its name changed just now and it has not moved yet.
    const QString name = contact->getDisplayName();
    auto it = std::lower_bound(m_visibleContacts.cbegin(), m_visibleContacts.cend(), name, NameBefore());
    for (; it != m_visibleContacts.cend() && (*it)->getDisplayName().compare(name, Qt::CaseInsensitive) == 0; ++it) {
        if (*it == contact)
            return int(it - m_visibleContacts.cbegin());
    }
    return m_visibleContacts.indexOf(contact);
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
        if (!m_contactSerials.contains(contact))
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
    if (m_contactSerials.contains(contact) && contact->getIdentities()->rowCount() == 0)
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
    const int row = m_visibleSet.contains(contact) ? m_visibleContacts.indexOf(contact) : -1;
    if (row < 0)
        return;
    emit dataChanged(index(row), index(row), {DisplayNameRole, Qt::DisplayRole});

    // The first other contact whose name sorts after the new one, by a
    // binary search over the rows without this contact (still sorted).
    const QString name = contact->getDisplayName();
    const auto other = [&](int k) { return m_visibleContacts.at(k < row ? k : k + 1); };
    int low = 0;
    int high = m_visibleContacts.size() - 1;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (other(middle)->getDisplayName().compare(name, Qt::CaseInsensitive) > 0)
            high = middle;
        else
            low = middle + 1;
    }
    const int target = low < row ? low : low + 1;
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
    updateOnline(contact);
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
    updateOnline(contact);
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
    if (Contact *contact = m_contactByIdentities.value(qobject_cast<RealmIdentityList *>(sender())))
        fileIdentity(contact, identity);
    emit contactIdentityAdded(identity);
}

void ContactList::onContactIdentityRemoved(Tavri::RealmUserInterface *identity)
{
    auto *identities = qobject_cast<RealmIdentityList *>(sender());
    Contact *contact = m_contactByIdentities.value(identities);
    if (contact && identity)
        unfileIdentity(contact, identity);
    if (identity)
        emit contactIdentityRemoved(identity);
    // A contact without identities is gone; it leaves the list now rather
    // than when its deferred deletion runs.
    if (contact && m_contactByIdentities.value(identities) == contact && identities->getIdentityList().isEmpty())
        removeContact(contact);
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
    return m_contactSerials.contains(contact) ? contact : nullptr;
}

void ContactList::notifyContactChanged(Contact *contact, const QVector<int> &roles)
{
    if (!contact)
        return;
    const int row = visibleRow(contact);
    if (row >= 0)
        emit dataChanged(index(row), index(row), roles);
}

#include "contactlist.moc"
