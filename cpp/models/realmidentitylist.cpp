#include "realmidentitylist.h"

#include "contactgrouplist.h"
#include "contactlist.h"
#include "identityrealmmanager.h"
#include "localuser.h"
#include "reportassertionfailure.h"
#include "richtext.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"

#include <QHash>
#include <QMap>
#include <QSet>

namespace {

// The identity signals the list follows, connected by signature on the
// identity's QObject since they belong to the implementing classes.
struct IdentityConnection {
    const char *signal;
    const char *slot;
};

const IdentityConnection kIdentityConnections[] = {
    {SIGNAL(displayNameUpdated(QString)), SLOT(onRealmIdentityDisplayNameUpdated(QString))},
    {SIGNAL(presenceUpdated(Tavri::RealmUserInterface::PresenceState, QString)),
     SLOT(onRealmIdentityPresenceUpdated(Tavri::RealmUserInterface::PresenceState, QString))},
    {SIGNAL(profileIconUpdated(QUrl)), SLOT(onRealmIdentityProfileIconUpdated(QUrl))},
    {SIGNAL(destroying()), SLOT(onRealmIdentityDestroying())},
};

TavriIdentityRealmUser *asBuiltInUser(Tavri::RealmUserInterface *identity)
{
    return identity ? qobject_cast<TavriIdentityRealmUser *>(identity->getQObject()) : nullptr;
}

// Who hears which friend-list change. Each followed friend list has one
// connection per signal, and a change goes on to the lists holding the
// identity, in the order they were made, as separate connections per list
// would deliver it.
struct ContactIdentityRoutes {
    QHash<Tavri::RealmUserInterface *, QMap<quint64, RealmIdentityList *>> holders;
    QSet<ContactList *> followed;
    quint64 nextSerial = 0;
};

ContactIdentityRoutes &contactIdentityRoutes()
{
    // Never freed: lists and friend lists may still go while the program's
    // static objects are being destroyed.
    static auto *routes = new ContactIdentityRoutes;
    return *routes;
}

} // namespace

RealmIdentityList::RealmIdentityList(QObject *parent)
    : QAbstractListModel(parent)
{
    Tavri::IdentityRealmInterface *builtInRealm = TavriIdentityRealm::getInstance();
    m_identityRealms.append(builtInRealm);
    // A realm that goes away takes its identities' rows with it.
    connect(builtInRealm->realmObject(), SIGNAL(destroying()), this, SLOT(onIdentityRealmDestroying()));
    // Rows of the local user's friends say so: the friends list announces
    // every identity that joins or leaves it. Missing only while the local
    // user is still being built.
    ContactIdentityRoutes &routes = contactIdentityRoutes();
    m_serial = ++routes.nextSerial;
    if (ContactList *contacts = LocalUser::getLocalUser()->getContactList()) {
        m_contactList = contacts;
        if (!routes.followed.contains(contacts)) {
            routes.followed.insert(contacts);
            const auto route = [contacts](Tavri::RealmUserInterface *identity) {
                routeContactIdentityChange(contacts, identity);
            };
            connect(contacts, &ContactList::contactIdentityAdded, contacts, route);
            connect(contacts, &ContactList::contactIdentityRemoved, contacts, route);
            connect(contacts, &QObject::destroyed, [contacts] { contactIdentityRoutes().followed.remove(contacts); });
        }
    }
}

RealmIdentityList::~RealmIdentityList()
{
    for (Tavri::RealmUserInterface *identity : qAsConst(m_identities))
        unfileContactIdentity(identity);
    if (m_referenceList)
        disconnect(m_referenceList, &QObject::destroyed, this, &RealmIdentityList::onReferenceListDestroyed);
}

void RealmIdentityList::addIdentity(Tavri::RealmUserInterface *identity)
{
    if (!TAVRI_CHECK(identity))
        return;
    if (m_identities.contains(identity))
        return;
    m_identities.append(identity);
    fileContactIdentity(identity);
    connectIdentity(identity);
    updateVisibility(identity);
    emit realmIdentityAdded(identity);
    if (TavriIdentityRealmUser *user = asBuiltInUser(identity))
        connect(user, &TavriIdentityRealmUser::swapping, this, &RealmIdentityList::onTavriIdentityRealmUserSwapping,
                Qt::UniqueConnection);
}

void RealmIdentityList::removeIdentity(Tavri::RealmUserInterface *identity)
{
    if (!TAVRI_CHECK(identity))
        return;
    hideIdentity(identity);
    m_identities.removeAll(identity);
    unfileContactIdentity(identity);
    disconnectIdentity(identity);
    emit realmIdentityRemoved(identity);
}

void RealmIdentityList::clear()
{
    const bool hadRows = !m_visibleIdentities.isEmpty();
    if (hadRows) {
        beginRemoveRows(QModelIndex(), 0, m_visibleIdentities.size() - 1);
        m_visibleIdentities.clear();
        endRemoveRows();
    }
    // The identities are no longer followed: a later refill connects afresh.
    const QList<Tavri::RealmUserInterface *> identities = m_identities;
    m_identities.clear();
    for (Tavri::RealmUserInterface *identity : identities) {
        unfileContactIdentity(identity);
        disconnectIdentity(identity);
    }
    if (hadRows)
        emit visibleCountChanged(0);
}

bool RealmIdentityList::containsIdentity(QString realmID, QString userUUID)
{
    return containsIdentity(IdentityRealmManager::getInstance()->getIdentityRealm(realmID), userUUID);
}

bool RealmIdentityList::containsIdentity(Tavri::IdentityRealmInterface *realm, const QString &userUUID)
{
    for (Tavri::RealmUserInterface *identity : qAsConst(m_identities)) {
        if (identity->identityRealm() == realm && identity->getUid() == userUUID)
            return true;
    }
    return false;
}

bool RealmIdentityList::contains(Tavri::RealmUserInterface *identity) const
{
    return m_identities.contains(identity);
}

QObject *RealmIdentityList::at(int index)
{
    if (!TAVRI_CHECK(index >= 0 && index < m_visibleIdentities.size()))
        return nullptr;
    return m_visibleIdentities.at(index)->getQObject();
}

void RealmIdentityList::setReferenceList(RealmIdentityList *list)
{
    if (list == m_referenceList)
        return;
    if (m_referenceList)
        disconnect(m_referenceList, &QObject::destroyed, this, &RealmIdentityList::onReferenceListDestroyed);
    m_referenceList = list;
    if (m_referenceList)
        connect(m_referenceList, &QObject::destroyed, this, &RealmIdentityList::onReferenceListDestroyed);
    if (!m_visibleIdentities.isEmpty())
        emit dataChanged(index(0), index(m_visibleIdentities.size() - 1), {IsInReferenceListRole});
}

void RealmIdentityList::setShowOfflineIdentities(bool showOfflineIdentities)
{
    if (showOfflineIdentities == m_showOfflineIdentities)
        return;
    m_showOfflineIdentities = showOfflineIdentities;
    emit showOfflineIdentitiesChanged(m_showOfflineIdentities);
}

int RealmIdentityList::rowCount(const QModelIndex &parent) const
{
    // A flat list: rows have no children.
    return parent.isValid() ? 0 : m_visibleIdentities.size();
}

QVariant RealmIdentityList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_visibleIdentities.size())
        return QVariant();
    Tavri::RealmUserInterface *identity = m_visibleIdentities.at(index.row());
    if (!identity)
        return QVariant();

    switch (role) {
    case Qt::DisplayRole:
    case DisplayNameRole:
        return identity->getDisplayName();
    case RealmDisplayNameRole:
        if (Tavri::IdentityRealmInterface *realm = identity->identityRealm())
            return realm->realmDisplayName();
        return QVariant();
    case RealmIDRole:
        if (Tavri::IdentityRealmInterface *realm = identity->identityRealm())
            return realm->realmID();
        return QVariant();
    case ProfileImageURIRole:
        return identity->getProfileImageURI();
    case PresenceStateRole:
        return static_cast<int>(identity->getPresenceState());
    case PresenceMessageRole:
        return identity->getPresenceMessage();
    case SipURIRole:
        if (TavriIdentityRealmUser *user = asBuiltInUser(identity))
            return user->getSipURI();
        return QVariant();
    case IsContactRole: {
        const ContactGroupList *groups = LocalUser::getLocalUser()->getContactGroups();
        return groups && groups->containsIdentity(identity);
    }
    case UnameRole:
        if (TavriIdentityRealmUser *user = asBuiltInUser(identity))
            return user->getUname();
        return QVariant();
    case TaglineRole:
        if (TavriIdentityRealmUser *user = asBuiltInUser(identity))
            return user->getTagline();
        return QVariant();
    case TaglineTextRole:
        if (TavriIdentityRealmUser *user = asBuiltInUser(identity))
            return plainTextOf(user->getTagline());
        return QVariant();
    case LocationRole:
        if (TavriIdentityRealmUser *user = asBuiltInUser(identity))
            return user->getLocation();
        return QVariant();
    case UserUUIDRole:
        return identity->getUid();
    case IsInReferenceListRole:
        return m_referenceList && m_referenceList->containsIdentity(identity->identityRealm(), identity->getUid());
    case UserIdentityRefRole:
        return QVariant::fromValue(identity->getQObject());
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> RealmIdentityList::roleNames() const
{
    QHash<int, QByteArray> roles = QAbstractListModel::roleNames();
    roles.insert(DisplayNameRole, "displayName");
    roles.insert(RealmDisplayNameRole, "realmDisplayName");
    roles.insert(RealmIDRole, "realmID");
    roles.insert(ProfileImageURIRole, "profileImageURI");
    roles.insert(PresenceStateRole, "presenceState");
    roles.insert(PresenceMessageRole, "presenceMessage");
    roles.insert(SipURIRole, "sipURI");
    roles.insert(IsContactRole, "isContact");
    roles.insert(UnameRole, "uname");
    roles.insert(TaglineRole, "tagline");
    roles.insert(LocationRole, "location");
    roles.insert(UserUUIDRole, "userUUID");
    roles.insert(IsInReferenceListRole, "isInReferenceList");
    roles.insert(UserIdentityRefRole, "userIdentityRef");
    roles.insert(TaglineTextRole, "taglineText");
    return roles;
}

void RealmIdentityList::onRealmIdentityDisplayNameUpdated(const QString &)
{
    notifyRowChanged(senderIdentity(), {DisplayNameRole, Qt::DisplayRole});
}

void RealmIdentityList::onRealmIdentityPresenceUpdated(Tavri::RealmUserInterface::PresenceState, const QString &)
{
    notifyRowChanged(senderIdentity(), {PresenceStateRole, PresenceMessageRole});
}

void RealmIdentityList::onRealmIdentityProfileIconUpdated(const QUrl &)
{
    notifyRowChanged(senderIdentity(), {ProfileImageURIRole});
}

void RealmIdentityList::onRealmIdentityDestroying()
{
    if (Tavri::RealmUserInterface *identity = senderIdentity())
        removeIdentity(identity);
}

void RealmIdentityList::onIdentityRealmDestroying()
{
    auto *realm = qobject_cast<Tavri::IdentityRealmInterface *>(sender());
    if (!realm)
        return;
    disconnect(realm->realmObject(), SIGNAL(destroying()), this, SLOT(onIdentityRealmDestroying()));
    if (!m_identityRealms.removeAll(realm))
        return;
    const QList<Tavri::RealmUserInterface *> identities = m_identities;
    for (Tavri::RealmUserInterface *identity : identities)
        updateVisibility(identity);
}

void RealmIdentityList::onContactIdentityAddedOrRemoved(Tavri::RealmUserInterface *contactIdentity)
{
    notifyRowChanged(contactIdentity, {IsContactRole});
}

void RealmIdentityList::onReferenceListDestroyed()
{
    // The list is already gone: forget it without touching it.
    m_referenceList = nullptr;
    if (!m_visibleIdentities.isEmpty())
        emit dataChanged(index(0), index(m_visibleIdentities.size() - 1), {IsInReferenceListRole});
}

void RealmIdentityList::onTavriIdentityRealmUserSwapping(Tavri::RealmUserInterface *newReference)
{
    if (Tavri::RealmUserInterface *identity = senderIdentity())
        removeIdentity(identity);
    if (newReference)
        addIdentity(newReference);
}

void RealmIdentityList::connectIdentity(Tavri::RealmUserInterface *identity)
{
    QObject *object = identity->getQObject();
    for (const IdentityConnection &connection : kIdentityConnections)
        connect(object, connection.signal, this, connection.slot, Qt::UniqueConnection);
}

void RealmIdentityList::disconnectIdentity(Tavri::RealmUserInterface *identity)
{
    QObject *object = identity->getQObject();
    for (const IdentityConnection &connection : kIdentityConnections)
        disconnect(object, connection.signal, this, connection.slot);
    if (TavriIdentityRealmUser *user = asBuiltInUser(identity))
        disconnect(user, &TavriIdentityRealmUser::swapping, this, &RealmIdentityList::onTavriIdentityRealmUserSwapping);
}

void RealmIdentityList::updateVisibility(Tavri::RealmUserInterface *identity)
{
    const bool shown =
        m_identityRealms.contains(identity->identityRealm())
        && (m_showOfflineIdentities || identity->getPresenceState() > Tavri::RealmUserInterface::Offline);
    if (shown)
        showIdentity(identity);
    else
        hideIdentity(identity);
}

void RealmIdentityList::showIdentity(Tavri::RealmUserInterface *identity)
{
    if (m_visibleIdentities.contains(identity))
        return;
    const int row = m_visibleIdentities.size();
    beginInsertRows(QModelIndex(), row, row);
    m_visibleIdentities.append(identity);
    endInsertRows();
    emit visibleCountChanged(m_visibleIdentities.size());
}

void RealmIdentityList::hideIdentity(Tavri::RealmUserInterface *identity)
{
    for (int row = m_visibleIdentities.indexOf(identity); row >= 0; row = m_visibleIdentities.indexOf(identity)) {
        beginRemoveRows(QModelIndex(), row, row);
        m_visibleIdentities.removeAt(row);
        endRemoveRows();
    }
    emit visibleCountChanged(m_visibleIdentities.size());
}

Tavri::RealmUserInterface *RealmIdentityList::senderIdentity() const
{
    return qobject_cast<Tavri::RealmUserInterface *>(sender());
}

void RealmIdentityList::notifyRowChanged(Tavri::RealmUserInterface *identity, const QVector<int> &roles)
{
    if (!identity)
        return;
    const int row = m_visibleIdentities.indexOf(identity);
    if (row < 0)
        return;
    emit dataChanged(index(row), index(row), roles);
}

void RealmIdentityList::fileContactIdentity(Tavri::RealmUserInterface *identity)
{
    if (m_contactList)
        contactIdentityRoutes().holders[identity].insert(m_serial, this);
}

void RealmIdentityList::unfileContactIdentity(Tavri::RealmUserInterface *identity)
{
    auto &holders = contactIdentityRoutes().holders;
    const auto it = holders.find(identity);
    if (it == holders.end())
        return;
    it->remove(m_serial);
    if (it->isEmpty())
        holders.erase(it);
}

void RealmIdentityList::routeContactIdentityChange(ContactList *contacts, Tavri::RealmUserInterface *identity)
{
    const auto &holders = contactIdentityRoutes().holders;
    const auto it = holders.constFind(identity);
    if (it == holders.constEnd())
        return;
    // A list may go, or let the identity go, while an earlier one is told;
    // one that went is not told, as a broken connection would not be.
    const QMap<quint64, RealmIdentityList *> lists = *it;
    for (auto list = lists.constBegin(); list != lists.constEnd(); ++list) {
        const auto now = holders.constFind(identity);
        if (now == holders.constEnd() || now->value(list.key()) != list.value())
            continue;
        if (list.value()->m_contactList == contacts)
            list.value()->onContactIdentityAddedOrRemoved(identity);
    }
}
