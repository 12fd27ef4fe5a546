#pragma once

#include "contactgroup.h"
#include "identityrealminterface.h"
#include "realmuserinterface.h"
#include "storagemanager.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>

class Contact;

// ContactGroupList: the local user's contacts sorted into the roster groups
// of every identity realm, one row per group.
//
// Row 0 is always the ungrouped group (emptyGroup), which holds every roster
// entry that no named group claims. The other rows are the groups the realms
// announce, one per realm and group id, in the order of their first
// announcement. Fed only by the realms' roster signals: the built-in realm's
// from construction on, each external application's realm while it exists.
// A full roster transfer of a realm drops that realm's groups that existed
// before it and were not announced again, and the entries the roster no
// longer names. The two requests (moving a contact between groups, deleting
// a group) go to the web service; their effect comes back as roster signals.
//
// Owned by the local user for its whole life. Owns its groups. Relays the
// groups' contactAdded and contactRemoved, and the sums of their counts (a
// contact in two groups counts twice). GUI thread only.
class ContactGroupList : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(bool showOfflineContacts READ getShowOfflineContacts WRITE setShowOfflineContacts NOTIFY
                   showOfflineContactsChanged)
    Q_PROPERTY(ContactGroup *emptyGroup READ getEmptyGroup CONSTANT)
    Q_PROPERTY(int onlineCount READ getOnlineCount NOTIFY onlineCountChanged)
    Q_PROPERTY(int totalCount READ getTotalCount NOTIFY totalCountChanged)

public:
    enum Roles {
        DisplayNameRole = 1656,
        GroupIDRole,
        RealmNameRole,
        RealmIDRole,
        OnlineCountRole,
        TotalCountRole,
        ContactListRole
    };

    explicit ContactGroupList(QObject *parent = nullptr);
    ~ContactGroupList() override;

    // The stored "settingsShowOfflineFriends" setting.
    bool getShowOfflineContacts() const;
    // Applies the value to every group, stores it and announces it, also when
    // it is unchanged.
    void setShowOfflineContacts(bool show);
    ContactGroup *getEmptyGroup() const { return m_emptyGroup; }
    int getOnlineCount() const;
    int getTotalCount() const;

    // The group of row i; null, with an assertion report, outside the rows.
    ContactGroup *at(int i) const;
    int count() const { return m_contactGroups.size(); }
    // Whether any group, the ungrouped one included, holds the identity
    // (compared by realm and user id).
    bool containsIdentity(Tavri::RealmUserInterface *identity) const;

    // Asks the web service to move the realm's user contactUUID from
    // oldGroupID (empty: from every named group holding it) to groupID
    // (empty: to no named group).
    Q_INVOKABLE void requestMoveContact(const QString &realmID, const QString &contactUUID, const QString &groupID,
                                        const QString &oldGroupID = QString());
    // Asks the web service to delete a group of the built-in realm.
    Q_INVOKABLE void requestRemoveContactGroup(const QString &realmID, const QString &groupID);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void showOfflineContactsChanged(bool showOfflineContacts);
    void onlineCountChanged(int onlineCount);
    void totalCountChanged(int totalCount);
    void contactAdded(Contact *contact);
    void contactRemoved(Contact *contact);

public slots:
    void onRosterListReceivedBegin(const QString &subscriberUUID);
    void onRosterListGroup(const QString &subscriberUUID, const QString &groupID, const QString &groupName);
    void onRosterListEntry(const QString &subscriberUUID, const QString &contactUUID);
    void onRosterListGroupEntry(const QString &subscriberUUID, const QString &groupID, const QString &contactUUID);
    void onRosterListReceivedEnd(const QString &subscriberUUID);
    void onRosterListReceived(const QString &subscriberUUID, const QStringList &contactUUIDs);
    void onRosterListEntryRemoved(const QString &subscriberUUID, const QString &contactUUID);
    void onRosterListGroupEntryRemoved(const QString &subscriberUUID, const QString &groupID,
                                       const QString &contactUUID);
    void onRosterListGroupRemoved(const QString &subscriberUUID, const QString &groupID);

protected slots:
    void onStorageManagerSettingKeyChanged(StorageManager::NamedSettings settingsKey, const QVariant &value);
    void onContactGroupNameChanged(const QString &name);
    void onContactGroupCountChanged(int totalCount);
    void onContactGroupOnlineCountChanged(int onlineCount);
    void onContactGroupVisibleCountChanged(int visibleCount);
    void onContactGroupContactAdded(Contact *contact);
    void onContactGroupContactRemoved(Contact *contact);
    void onTavriSharedIdentityRealmAdded(Tavri::IdentityRealmInterface *realm);
    void onTavriSharedIdentityRealmRemoved(Tavri::IdentityRealmInterface *realm);

private:
    void connectGroup(ContactGroup *group);
    void connectRoster(Tavri::IdentityRealmInterface *realm);
    void disconnectRoster(Tavri::IdentityRealmInterface *realm);
    // The sender as a realm; an assertion report when it is none.
    Tavri::IdentityRealmInterface *senderRealm() const;
    // The first group of the realm with that group id, in row order.
    ContactGroup *findGroup(Tavri::IdentityRealmInterface *realm, const QString &groupID) const;
    // The row of the sending group; -1 for a sender that is no row.
    int senderGroupRow() const;
    // Removes the group's row, forgets its transfer mark and deletes it.
    void removeGroup(ContactGroup *group);
    // The realm's user for a roster id; null, with a warning, for an empty
    // id or a realm without such a user.
    static Tavri::RealmUserInterface *rosterUser(Tavri::IdentityRealmInterface *realm, const QString &contactUUID);

    QList<ContactGroup *> m_contactGroups;
    ContactGroup *m_emptyGroup = nullptr;
    // Groups that existed when their realm's current roster transfer began;
    // true until announced again.
    QHash<ContactGroup *, bool> m_transferMarks;
    QPointer<QObject> m_builtInRealm;
    // Set while this list writes the setting itself, so that the store's
    // change notice does not announce the value a second time.
    bool m_writingShowOfflineContacts = false;
};
