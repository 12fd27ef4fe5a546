#pragma once

#include "contactlist.h"

#include <QPointer>
#include <QString>

// ContactGroup: one roster group of an identity realm, with its contacts.
//
// A ContactList of its own (rows, counts, roster bookkeeping), created and
// owned by ContactGroupList. A group is known by its realm and its group id;
// the ungrouped group has neither. Its name follows the realm's
// announcements; a write from QML leaves it unchanged. Rows answer the
// display role and "groupName" with the group's name and every other role as
// a contact list does. GUI thread only.
class ContactGroup : public ContactList
{
    Q_OBJECT
    Q_PROPERTY(QString groupID READ groupID CONSTANT)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString realmID READ realmID CONSTANT)
    Q_PROPERTY(QString realmName READ realmName CONSTANT)

public:
    enum GroupRoles { GroupNameRole = IdentitiesRole + 1 };

    // realm may be null (the ungrouped group); it is not owned.
    ContactGroup(const QString &groupID, const QString &name, Tavri::IdentityRealmInterface *realm,
                 QObject *parent = nullptr);

    QString groupID() const { return m_groupID; }
    QString name() const { return m_name; }
    // The name is the realm's: writes from QML are ignored.
    void setName(const QString &name);
    // A new name announced by the realm.
    void updateName(const QString &name);
    QString realmID() const { return m_realmID; }
    QString realmName() const { return m_realmName; }
    // The realm that announced the group; null without one or once it is gone.
    Tavri::IdentityRealmInterface *realm() const { return m_realmObject ? m_realm : nullptr; }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void nameChanged(const QString &name);

private:
    QString m_groupID;
    QString m_name;
    Tavri::IdentityRealmInterface *m_realm = nullptr;
    QPointer<QObject> m_realmObject;
    // Kept as text so that they stay readable after the realm has gone.
    QString m_realmID;
    QString m_realmName;
};
