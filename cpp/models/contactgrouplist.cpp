#include "contactgrouplist.h"

#include "contact.h"
#include "identityrealmmanager.h"
#include "reportassertionfailure.h"
#include "socialmanager.h"
#include "tavriidentityrealm.h"
#include "tavrisharedidentityrealmmanager.h"

#include <QDebug>

namespace {

// The nine roster signals of a realm, connected by signature on the realm's
// QObject since they belong to the implementing classes.
struct RosterConnection {
    const char *signal;
    const char *slot;
};

const RosterConnection kRosterConnections[] = {
    {SIGNAL(rosterListReceivedBegin(QString)), SLOT(onRosterListReceivedBegin(QString))},
    {SIGNAL(rosterListGroup(QString, QString, QString)), SLOT(onRosterListGroup(QString, QString, QString))},
    {SIGNAL(rosterListEntry(QString, QString)), SLOT(onRosterListEntry(QString, QString))},
    {SIGNAL(rosterListGroupEntry(QString, QString, QString)), SLOT(onRosterListGroupEntry(QString, QString, QString))},
    {SIGNAL(rosterListReceivedEnd(QString)), SLOT(onRosterListReceivedEnd(QString))},
    {SIGNAL(rosterListReceived(QString, QStringList)), SLOT(onRosterListReceived(QString, QStringList))},
    {SIGNAL(rosterListEntryRemoved(QString, QString)), SLOT(onRosterListEntryRemoved(QString, QString))},
    {SIGNAL(rosterListGroupEntryRemoved(QString, QString, QString)),
     SLOT(onRosterListGroupEntryRemoved(QString, QString, QString))},
    {SIGNAL(rosterListGroupRemoved(QString, QString)), SLOT(onRosterListGroupRemoved(QString, QString))},
};

bool belongsTo(const ContactGroup *group, Tavri::IdentityRealmInterface *realm)
{
    return group->realmID() == realm->realmID();
}

// The identity of the realm with that user id that the group holds.
Tavri::RealmUserInterface *heldIdentity(ContactGroup *group, Tavri::IdentityRealmInterface *realm,
                                        const QString &userUUID)
{
    Contact *contact = group->findContact(realm, userUUID);
    if (!contact)
        return nullptr;
    const QList<Tavri::RealmUserInterface *> identities = contact->getIdentities()->getIdentityList();
    for (Tavri::RealmUserInterface *identity : identities) {
        if (identity->identityRealm() == realm && identity->getUid() == userUUID)
            return identity;
    }
    return nullptr;
}

} // namespace

ContactGroupList::ContactGroupList(QObject *parent)
    : QAbstractListModel(parent)
{
    qRegisterMetaType<ContactGroup *>("pContactGroup");
    m_emptyGroup = new ContactGroup(QString(), QString(), nullptr, this);
    m_emptyGroup->setShowOfflineContacts(getShowOfflineContacts());
    connectGroup(m_emptyGroup);

    TavriIdentityRealm *builtIn = TavriIdentityRealm::getInstance();
    m_builtInRealm = builtIn;
    connectRoster(builtIn);
    TavriSharedIdentityRealmManager *sharedRealms = TavriSharedIdentityRealmManager::getInstance();
    connect(sharedRealms, &TavriSharedIdentityRealmManager::identityRealmAdded, this,
            &ContactGroupList::onTavriSharedIdentityRealmAdded);
    connect(sharedRealms, &TavriSharedIdentityRealmManager::identityRealmRemoved, this,
            &ContactGroupList::onTavriSharedIdentityRealmRemoved);
    const QList<Tavri::IdentityRealmInterface *> realms = sharedRealms->getRealms();
    for (Tavri::IdentityRealmInterface *realm : realms)
        onTavriSharedIdentityRealmAdded(realm);

    m_contactGroups.append(m_emptyGroup);
    connect(StorageManager::getInstance(), &StorageManager::settingKeyChanged, this,
            &ContactGroupList::onStorageManagerSettingKeyChanged);
}

ContactGroupList::~ContactGroupList()
{
    // The groups must not report their teardown to a list that is half gone.
    const QList<ContactGroup *> groups = m_contactGroups;
    m_contactGroups.clear();
    m_transferMarks.clear();
    for (ContactGroup *group : groups) {
        disconnect(group, nullptr, this, nullptr);
        delete group;
    }
    m_emptyGroup = nullptr;
    if (m_builtInRealm)
        disconnect(m_builtInRealm, nullptr, this, nullptr);
}

bool ContactGroupList::getShowOfflineContacts() const
{
    return StorageManager::getInstance()
        ->getSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, false)
        .toBool();
}

void ContactGroupList::setShowOfflineContacts(bool show)
{
    for (ContactGroup *group : qAsConst(m_contactGroups))
        group->setShowOfflineContacts(show);
    m_writingShowOfflineContacts = true;
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, show);
    m_writingShowOfflineContacts = false;
    emit showOfflineContactsChanged(show);
}

int ContactGroupList::getOnlineCount() const
{
    int sum = 0;
    for (const ContactGroup *group : m_contactGroups)
        sum += group->getOnlineCount();
    return sum;
}

int ContactGroupList::getTotalCount() const
{
    int sum = 0;
    for (const ContactGroup *group : m_contactGroups)
        sum += group->getTotalCount();
    return sum;
}

ContactGroup *ContactGroupList::at(int i) const
{
    if (i < 0 || i >= m_contactGroups.size()) {
        reportAssertionFailure("i>=0&&i<m_contactGroups.size()", __FILE__, __LINE__, Q_FUNC_INFO, true);
        return nullptr;
    }
    return m_contactGroups.at(i);
}

bool ContactGroupList::containsIdentity(Tavri::RealmUserInterface *identity) const
{
    for (const ContactGroup *group : m_contactGroups) {
        if (group->containsIdentity(identity))
            return true;
    }
    return false;
}

// --- Requests -----------------------------------------------------------------

void ContactGroupList::requestMoveContact(const QString &realmID, const QString &contactUUID, const QString &groupID,
                                          const QString &oldGroupID)
{
    qDebug() << "ContactGroupList::requestMoveContact" << realmID << contactUUID << groupID << oldGroupID;
    if (groupID == oldGroupID)
        return;
    Tavri::IdentityRealmInterface *realm = IdentityRealmManager::getInstance()->getIdentityRealm(realmID);
    if (!realm) {
        reportAssertionFailure("identityRealm", __FILE__, __LINE__, Q_FUNC_INFO, true);
        return;
    }
    Tavri::RealmUserInterface *identity = nullptr;
    if (!contactUUID.isEmpty()) {
        TavriIdentityRealm *builtIn = TavriIdentityRealm::getInstance();
        if (realm == static_cast<Tavri::IdentityRealmInterface *>(builtIn)
            && contactUUID.startsWith(QLatin1String("sip:")))
            identity = builtIn->requestUserInfoUpdateByURI(contactUUID);
        else
            identity = realm->getRealmUser(contactUUID);
    }
    if (!identity) {
        reportAssertionFailure("contactIdentity", __FILE__, __LINE__, Q_FUNC_INFO, true);
        return;
    }
    QSocialManager *social = QSocialManager::getInstance();
    if (!social) {
        qWarning() << "ContactGroupList::requestMoveContact"
                   << "no web service client, not moving" << contactUUID;
        return;
    }
    const QString memberUID = identity->getUid();
    if (oldGroupID.isEmpty()) {
        for (ContactGroup *group : qAsConst(m_contactGroups)) {
            if (group != m_emptyGroup && group->containsIdentity(identity))
                social->requestRemoveContactGroupMember(group->groupID(), memberUID);
        }
    } else {
        social->requestRemoveContactGroupMember(oldGroupID, memberUID);
    }
    if (!groupID.isEmpty() && groupID != m_emptyGroup->groupID())
        social->requestAddContactGroupMember(groupID, memberUID);
}

void ContactGroupList::requestRemoveContactGroup(const QString &realmID, const QString &groupID)
{
    qDebug() << "ContactGroupList::requestRemoveContactGroup" << realmID << groupID;
    Tavri::IdentityRealmInterface *realm = IdentityRealmManager::getInstance()->getIdentityRealm(realmID);
    if (!realm) {
        reportAssertionFailure("identityRealm", __FILE__, __LINE__, Q_FUNC_INFO, true);
        return;
    }
    if (realm != static_cast<Tavri::IdentityRealmInterface *>(TavriIdentityRealm::getInstance())) {
        reportAssertionFailure("identityRealm == TavriIdentityRealm::getInstance()", __FILE__, __LINE__, Q_FUNC_INFO,
                               true);
        return;
    }
    if (groupID.isEmpty() || groupID == m_emptyGroup->groupID())
        return;
    if (QSocialManager *social = QSocialManager::getInstance())
        social->requestDeleteContactGroup(groupID);
    else
        qWarning() << "ContactGroupList::requestRemoveContactGroup"
                   << "no web service client, not deleting" << groupID;
}

// --- Model --------------------------------------------------------------------

int ContactGroupList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_contactGroups.size();
}

QVariant ContactGroupList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_contactGroups.size())
        return QVariant();
    ContactGroup *group = m_contactGroups.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case DisplayNameRole:
        return group->name();
    case GroupIDRole:
        return group->groupID();
    case RealmNameRole:
        return group->realmName();
    case RealmIDRole:
        return group->realmID();
    case OnlineCountRole:
        return group->getOnlineCount();
    case TotalCountRole:
        return group->getTotalCount();
    case ContactListRole:
        return QVariant::fromValue(group);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ContactGroupList::roleNames() const
{
    QHash<int, QByteArray> roles = QAbstractListModel::roleNames();
    roles.insert(DisplayNameRole, "displayName");
    roles.insert(GroupIDRole, "groupID");
    roles.insert(RealmNameRole, "realmName");
    roles.insert(RealmIDRole, "realmID");
    roles.insert(OnlineCountRole, "onlineCount");
    roles.insert(TotalCountRole, "totalCount");
    roles.insert(ContactListRole, "contactList");
    return roles;
}

// --- Roster signals -----------------------------------------------------------

void ContactGroupList::onRosterListReceivedBegin(const QString &subscriberUUID)
{
    qDebug() << "ContactGroupList::onRosterListReceivedBegin" << subscriberUUID;
    Tavri::IdentityRealmInterface *realm = senderRealm();
    if (!realm)
        return;
    for (ContactGroup *group : qAsConst(m_contactGroups)) {
        if (group != m_emptyGroup && belongsTo(group, realm))
            m_transferMarks.insert(group, true);
    }
    m_emptyGroup->beginRosterList(realm);
}

void ContactGroupList::onRosterListGroup(const QString &subscriberUUID, const QString &groupID,
                                         const QString &groupName)
{
    qDebug() << "ContactGroupList::onRosterListGroup" << subscriberUUID << groupID << groupName;
    Tavri::IdentityRealmInterface *realm = senderRealm();
    if (!realm)
        return;
    if (groupID.isEmpty()) {
        qWarning() << "ContactGroupList::onRosterListGroup"
                   << "group without id from" << realm->realmID() << ", ignoring";
        return;
    }
    // A group announced again (by a repeated transfer or a refresh of the
    // groups alone) is the same group: it keeps its members.
    if (ContactGroup *group = findGroup(realm, groupID)) {
        m_transferMarks.remove(group);
        group->updateName(groupName);
        return;
    }
    auto *group = new ContactGroup(groupID, groupName, realm, this);
    group->setShowOfflineContacts(getShowOfflineContacts());
    connectGroup(group);
    const int row = m_contactGroups.size();
    beginInsertRows(QModelIndex(), row, row);
    m_contactGroups.append(group);
    endInsertRows();
}

void ContactGroupList::onRosterListEntry(const QString &subscriberUUID, const QString &contactUUID)
{
    qDebug() << "ContactGroupList::onRosterListEntry" << subscriberUUID << contactUUID;
    Tavri::IdentityRealmInterface *realm = senderRealm();
    if (!realm)
        return;
    m_emptyGroup->addRosterEntry(realm, subscriberUUID, contactUUID);
}

void ContactGroupList::onRosterListGroupEntry(const QString &subscriberUUID, const QString &groupID,
                                              const QString &contactUUID)
{
    qDebug() << "ContactGroupList::onRosterListGroupEntry" << subscriberUUID << groupID << contactUUID;
    Tavri::IdentityRealmInterface *realm = senderRealm();
    if (!realm)
        return;
    ContactGroup *group = findGroup(realm, groupID);
    if (!group)
        return;
    Tavri::RealmUserInterface *user = rosterUser(realm, contactUUID);
    if (!user)
        return;
    group->addContact(user);
    qDebug() << "ContactGroupList::onRosterListGroupEntry"
             << "... group found, added..." << group->name();
    if (m_emptyGroup->containsIdentity(user))
        m_emptyGroup->removeContactForIdentity(user);
}

void ContactGroupList::onRosterListReceivedEnd(const QString &subscriberUUID)
{
    qDebug() << "ContactGroupList::onRosterListReceivedEnd" << subscriberUUID;
    Tavri::IdentityRealmInterface *realm = senderRealm();
    if (!realm)
        return;
    const QList<ContactGroup *> groups = m_contactGroups;
    for (ContactGroup *group : groups) {
        if (group != m_emptyGroup && belongsTo(group, realm) && m_transferMarks.value(group, false))
            removeGroup(group);
    }
    // Friends the roster no longer names leave every group of the realm.
    const QStringList roster = m_emptyGroup->rosterContactUUIDs(realm);
    for (ContactGroup *group : qAsConst(m_contactGroups)) {
        if (group == m_emptyGroup || belongsTo(group, realm))
            group->removeContactsNotIn(realm, roster);
    }
}

void ContactGroupList::onRosterListReceived(const QString &subscriberUUID, const QStringList &contactUUIDs)
{
    qDebug() << "ContactGroupList::onRosterListReceived" << subscriberUUID << contactUUIDs;
    Tavri::IdentityRealmInterface *realm = senderRealm();
    if (!realm)
        return;
    // A whole roster at once: the entries it does not name leave as at the
    // end of a transfer; the groups stay.
    m_emptyGroup->beginRosterList(realm);
    for (const QString &contactUUID : contactUUIDs)
        m_emptyGroup->addRosterEntry(realm, subscriberUUID, contactUUID);
    const QStringList roster = m_emptyGroup->rosterContactUUIDs(realm);
    for (ContactGroup *group : qAsConst(m_contactGroups)) {
        if (group == m_emptyGroup || belongsTo(group, realm))
            group->removeContactsNotIn(realm, roster);
    }
}

void ContactGroupList::onRosterListEntryRemoved(const QString &subscriberUUID, const QString &contactUUID)
{
    qDebug() << "ContactGroupList::onRosterListEntryRemoved" << subscriberUUID << contactUUID;
    Tavri::IdentityRealmInterface *realm = senderRealm();
    if (!realm)
        return;
    const QList<ContactGroup *> groups = m_contactGroups;
    for (ContactGroup *group : groups)
        group->removeRosterEntry(realm, contactUUID);
}

void ContactGroupList::onRosterListGroupEntryRemoved(const QString &subscriberUUID, const QString &groupID,
                                                     const QString &contactUUID)
{
    qDebug() << "ContactGroupList::onRosterListGroupEntryRemoved" << subscriberUUID << groupID << contactUUID;
    Tavri::IdentityRealmInterface *realm = senderRealm();
    if (!realm)
        return;
    ContactGroup *group = findGroup(realm, groupID);
    if (!group) {
        reportAssertionFailure("contactGroup", __FILE__, __LINE__, Q_FUNC_INFO, true);
        return;
    }
    // Found by realm and id among the group's members, so an id the group
    // never held creates no user.
    Tavri::RealmUserInterface *user = heldIdentity(group, realm, contactUUID);
    if (!user)
        return;
    group->removeContactForIdentity(user);
    qDebug() << "ContactGroupList::onRosterListGroupEntryRemoved"
             << "adding to empty group..." << contactUUID;
    m_emptyGroup->addContact(user);
}

void ContactGroupList::onRosterListGroupRemoved(const QString &subscriberUUID, const QString &groupID)
{
    qDebug() << "ContactGroupList::onRosterListGroupRemoved" << subscriberUUID << groupID;
    Tavri::IdentityRealmInterface *realm = senderRealm();
    if (!realm)
        return;
    ContactGroup *group = findGroup(realm, groupID);
    if (!group) {
        qDebug() << "contact group not found!" << groupID;
        return;
    }
    if (group == m_emptyGroup) {
        qDebug() << "contact group not found, matched default (no)group!";
        return;
    }
    // Its members become ungrouped, each through its primary identity: a
    // contact of an external application's realm has no built-in one.
    const QList<Contact *> contacts = group->getContacts();
    for (Contact *contact : contacts) {
        if (Tavri::RealmUserInterface *identity = contact->getPrimaryIdentity())
            m_emptyGroup->addContact(identity);
    }
    removeGroup(group);
}

// --- Group relays -------------------------------------------------------------

void ContactGroupList::onStorageManagerSettingKeyChanged(StorageManager::NamedSettings settingsKey,
                                                         const QVariant &value)
{
    if (settingsKey != StorageManager::SettingsKeyShowOfflineFriends || m_writingShowOfflineContacts)
        return;
    setShowOfflineContacts(value.toBool());
}

void ContactGroupList::onContactGroupNameChanged(const QString &)
{
    const int row = senderGroupRow();
    if (row >= 0)
        emit dataChanged(index(row), index(row), {DisplayNameRole, Qt::DisplayRole});
}

void ContactGroupList::onContactGroupCountChanged(int)
{
    const int row = senderGroupRow();
    if (row < 0)
        return;
    emit dataChanged(index(row), index(row), {TotalCountRole});
    emit totalCountChanged(getTotalCount());
}

void ContactGroupList::onContactGroupOnlineCountChanged(int)
{
    const int row = senderGroupRow();
    if (row < 0)
        return;
    emit dataChanged(index(row), index(row), {OnlineCountRole});
    emit onlineCountChanged(getOnlineCount());
}

void ContactGroupList::onContactGroupVisibleCountChanged(int)
{
    const int row = senderGroupRow();
    if (row >= 0)
        emit dataChanged(index(row), index(row));
}

void ContactGroupList::onContactGroupContactAdded(Contact *contact)
{
    if (senderGroupRow() >= 0)
        emit contactAdded(contact);
}

void ContactGroupList::onContactGroupContactRemoved(Contact *contact)
{
    if (senderGroupRow() >= 0)
        emit contactRemoved(contact);
}

void ContactGroupList::onTavriSharedIdentityRealmAdded(Tavri::IdentityRealmInterface *realm)
{
    if (realm && realm->realmObject())
        connectRoster(realm);
}

void ContactGroupList::onTavriSharedIdentityRealmRemoved(Tavri::IdentityRealmInterface *realm)
{
    if (!realm || !realm->realmObject())
        return;
    const QList<ContactGroup *> groups = m_contactGroups;
    for (ContactGroup *group : groups) {
        if (group != m_emptyGroup && belongsTo(group, realm)) {
            group->clear();
            removeGroup(group);
        }
    }
    m_emptyGroup->forgetRosterRealm(realm);
    disconnectRoster(realm);
}

// --- Helpers ------------------------------------------------------------------

void ContactGroupList::connectGroup(ContactGroup *group)
{
    connect(group, &ContactGroup::nameChanged, this, &ContactGroupList::onContactGroupNameChanged);
    connect(group, &ContactList::onlineCountChanged, this, &ContactGroupList::onContactGroupOnlineCountChanged);
    connect(group, &ContactList::totalCountChanged, this, &ContactGroupList::onContactGroupCountChanged);
    connect(group, &ContactList::visibleCountChanged, this, &ContactGroupList::onContactGroupVisibleCountChanged);
    connect(group, &ContactList::contactAdded, this, &ContactGroupList::onContactGroupContactAdded);
    connect(group, &ContactList::contactRemoved, this, &ContactGroupList::onContactGroupContactRemoved);
}

void ContactGroupList::connectRoster(Tavri::IdentityRealmInterface *realm)
{
    QObject *object = realm->realmObject();
    for (const RosterConnection &connection : kRosterConnections)
        connect(object, connection.signal, this, connection.slot, Qt::UniqueConnection);
}

void ContactGroupList::disconnectRoster(Tavri::IdentityRealmInterface *realm)
{
    QObject *object = realm->realmObject();
    for (const RosterConnection &connection : kRosterConnections)
        disconnect(object, connection.signal, this, connection.slot);
}

Tavri::IdentityRealmInterface *ContactGroupList::senderRealm() const
{
    auto *realm = qobject_cast<Tavri::IdentityRealmInterface *>(sender());
    if (!realm)
        reportAssertionFailure("identityRealm", __FILE__, __LINE__, Q_FUNC_INFO, true);
    return realm;
}

ContactGroup *ContactGroupList::findGroup(Tavri::IdentityRealmInterface *realm, const QString &groupID) const
{
    for (ContactGroup *group : m_contactGroups) {
        if (belongsTo(group, realm) && group->groupID() == groupID)
            return group;
    }
    return nullptr;
}

int ContactGroupList::senderGroupRow() const
{
    return m_contactGroups.indexOf(qobject_cast<ContactGroup *>(sender()));
}

void ContactGroupList::removeGroup(ContactGroup *group)
{
    const int row = m_contactGroups.indexOf(group);
    if (row <= 0)
        return;
    const bool hadContacts = group->getTotalCount() > 0;
    const bool hadOnline = group->getOnlineCount() > 0;
    beginRemoveRows(QModelIndex(), row, row);
    m_contactGroups.removeAt(row);
    endRemoveRows();
    m_transferMarks.remove(group);
    disconnect(group, nullptr, this, nullptr);
    delete group;
    if (hadContacts)
        emit totalCountChanged(getTotalCount());
    if (hadOnline)
        emit onlineCountChanged(getOnlineCount());
}

Tavri::RealmUserInterface *ContactGroupList::rosterUser(Tavri::IdentityRealmInterface *realm,
                                                        const QString &contactUUID)
{
    if (contactUUID.isEmpty()) {
        qWarning() << "ContactGroupList"
                   << "empty contact id from" << realm->realmID() << ", ignoring";
        return nullptr;
    }
    Tavri::RealmUserInterface *user = realm->getRealmUser(contactUUID);
    if (!user)
        qWarning() << "ContactGroupList"
                   << "realm" << realm->realmID() << "has no user for" << contactUUID;
    return user;
}
