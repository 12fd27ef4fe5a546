#include "contactgroup.h"

ContactGroup::ContactGroup(const QString &groupID, const QString &name, Tavri::IdentityRealmInterface *realm,
                           QObject *parent)
    : ContactList(parent)
    , m_groupID(groupID)
    , m_name(name)
    , m_realm(realm)
    , m_realmObject(realm ? realm->realmObject() : nullptr)
    , m_realmID(realm ? realm->realmID() : QString())
    , m_realmName(realm ? realm->realmDisplayName() : QString())
{
}

void ContactGroup::setName(const QString &)
{
    // Groups are renamed at the web service; the realm reports the result.
}

void ContactGroup::updateName(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    // Every row answers the group's name.
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {GroupNameRole, Qt::DisplayRole});
    emit nameChanged(m_name);
}

QVariant ContactGroup::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return QVariant();
    if (role == GroupNameRole || role == Qt::DisplayRole)
        return m_name;
    return ContactList::data(index, role);
}

QHash<int, QByteArray> ContactGroup::roleNames() const
{
    QHash<int, QByteArray> roles = ContactList::roleNames();
    roles.insert(GroupNameRole, "groupName");
    return roles;
}
