#pragma once

#include "identityrealminterface.h"
#include "realmuserinterface.h"
#include "storagemanager.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QStringList>
#include <QVariant>

class Contact;
class RealmIdentityList;
class ContactListRosterRelay;

// ContactList: a list model of contacts (Contact), one row per shown contact.
//
// Rows are sorted by display name, compared case-insensitively; a contact
// whose name equals others goes after them, and a renamed contact moves to
// its new place in one move. Offline contacts are rows only while
// showOfflineContacts is set (false at construction; it follows the stored
// "settingsShowOfflineFriends" setting once that changes). The list owns its
// contacts (QObject children) and makes one contact per identity it is
// given; an identity whose realm and user id a contact already holds is not
// added twice.
//
// The local user's list is fed by the identity realms' roster transfers
// (followIdentityRealms): per realm it keeps the user ids of the current
// transfer and, when the transfer ends, drops the contacts of that realm that
// it no longer names. Every roster group (ContactGroup) is a ContactList too
// and reuses the rows, counts and roster bookkeeping.
//
// Emits contactAdded / contactRemoved for every contact that enters or
// leaves, and contactIdentityAdded / contactIdentityRemoved for every
// identity that enters or leaves through a contact, each after the change,
// so containsIdentity already gives the new answer. GUI thread only.
class ContactList : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int visibleCount READ getVisibleCount NOTIFY visibleCountChanged)
    Q_PROPERTY(int totalCount READ getTotalCount NOTIFY totalCountChanged)
    Q_PROPERTY(int onlineCount READ getOnlineCount NOTIFY onlineCountChanged)
    Q_PROPERTY(bool showOfflineContacts READ getShowOfflineContacts WRITE setShowOfflineContacts NOTIFY
                   showOfflineContactsChanged)

public:
    enum Roles {
        DisplayNameRole = 956,
        HasTavriRole,
        PresenceStateRole,
        PresenceMessageRole,
        PrimaryRealmIDRole,
        PrimaryRealmUserUUIDRole,
        PrimaryIdentityRefRole,
        LastOnlineRole,
        SipURIRole,
        TavriUUIDRole,
        IdentitiesRole
    };

    explicit ContactList(QObject *parent = nullptr);
    ~ContactList() override;

    // Connects the roster transfers of the built-in realm at once and of
    // every external application's realm while it exists. Called once by the
    // owner of the user's own contact list; it also takes the stored
    // showOfflineContacts setting.
    void followIdentityRealms();

    // A new contact for identity, unless a contact holds an identity of the
    // same realm and user id.
    void addContact(Tavri::RealmUserInterface *identity);
    void removeContact(Contact *contact);
    void clear();
    // Compared by realm and user id, not by pointer.
    bool containsIdentity(Tavri::RealmUserInterface *identity) const;
    Contact *findContact(Tavri::RealmUserInterface *identity) const;
    // The contact holding an identity of that realm with that user id.
    Contact *findContact(Tavri::IdentityRealmInterface *realm, const QString &userUUID) const;
    void removeContactForIdentity(Tavri::RealmUserInterface *identity);
    QList<Contact *> getContacts() const { return m_contacts; }
    // The shown contact of a row; null outside the rows.
    Contact *contactAt(int row) const
    {
        return row >= 0 && row < m_visibleContacts.size() ? m_visibleContacts.at(row) : nullptr;
    }

    bool getShowOfflineContacts() const { return m_showOfflineContacts; }
    void setShowOfflineContacts(bool show);
    void updateContactVisibility(Contact *contact);
    int getVisibleCount() const { return m_visibleContacts.size(); }
    int getTotalCount() const { return m_contacts.size(); }
    int getOnlineCount() const;

    // Roster bookkeeping of one realm: a transfer is a begin, entries and an
    // end; removals come one at a time.
    void beginRosterList(Tavri::IdentityRealmInterface *realm);
    void addRosterEntry(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID,
                        const QString &contactUUID);
    void endRosterList(Tavri::IdentityRealmInterface *realm);
    void removeRosterEntry(Tavri::IdentityRealmInterface *realm, const QString &contactUUID);
    // The user ids of the realm's current roster.
    QStringList rosterContactUUIDs(Tavri::IdentityRealmInterface *realm) const
    {
        return m_rosterContactUUIDs.value(realm);
    }
    // Removes the contacts holding identities of the realm none of whose user
    // ids is in contactUUIDs; contacts of other realms stay.
    void removeContactsNotIn(Tavri::IdentityRealmInterface *realm, const QStringList &contactUUIDs);
    // Forgets the roster of a realm that has gone.
    void forgetRosterRealm(Tavri::IdentityRealmInterface *realm);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void contactAdded(Contact *f_contact);
    void contactRemoved(Contact *f_contact);
    void contactIdentityAdded(Tavri::RealmUserInterface *f_contactIdentity);
    void contactIdentityRemoved(Tavri::RealmUserInterface *f_contactIdentity);
    void visibleCountChanged(int f_visibleCount);
    void onlineCountChanged(int f_onlineCount);
    void totalCountChanged(int f_totalCount);
    void showOfflineContactsChanged(bool f_showOfflineContacts);

public slots:
    void onTavriContactsReceived(const QStringList &contactSipURIs, const QStringList &contactSipData);
    void onVoiceManagerFriendAdded(const QString &contactSipURI);
    void onVoiceManagerFriendRemoved(const QString &contactSipURI);
    void onRealmIdentityConnected();
    void onRealmIdentityDisconnected(const QString &reason);
    void onStorageManagerSettingKeyChanged(StorageManager::NamedSettings settingsKey, const QVariant &value);
    void onRosterListBegin(const QString &subscriberUUID);
    void onRosterListEntry(const QString &subscriberUUID, const QString &contactUUID);
    void onRosterListEnd(const QString &subscriberUUID);
    void onRosterListReceived(const QString &subscriberUUID, const QStringList &contactUUIDs);
    void onRosterListEntryRemoved(const QString &subscriberUUID, const QString &contactUUID);
    void onDisplayNameChanged(const QString &displayName);
    void onPresenceStateChanged(Tavri::RealmUserInterface::PresenceState presence);
    void onPresenceMessageChanged(const QString &presenceMessage);
    void onLastOnlineChanged(const QDateTime &lastOnline);
    void onIdentitiesUpdated();
    void onContactDestroying();

protected slots:
    void onTavriSharedIdentityRealmAdded(Tavri::IdentityRealmInterface *realm);
    void onTavriSharedIdentityRealmRemoved(Tavri::IdentityRealmInterface *realm);
    void onContactIdentityAdded(Tavri::RealmUserInterface *identity);
    void onContactIdentityRemoved(Tavri::RealmUserInterface *identity);

private:
    friend class ContactListRosterRelay;

    static bool isShown(const Contact *contact, bool showOffline);
    // The roster slots' work, for the realm that sent the signal.
    void rosterListBegin(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID);
    void rosterListEntry(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID,
                         const QString &contactUUID);
    void rosterListEnd(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID);
    void rosterListReceived(Tavri::IdentityRealmInterface *realm, const QString &subscriberUUID,
                            const QStringList &contactUUIDs);
    void rosterListEntryRemoved(Tavri::IdentityRealmInterface *realm, const QString &contactUUID);
    // Removes the contact's row and entry and announces it; deleteIt
    // schedules its deletion.
    void takeContact(Contact *contact, bool deleteIt);
    void insertVisibleContact(Contact *contact);
    void removeVisibleContact(Contact *contact);
    void connectRoster(Tavri::IdentityRealmInterface *realm);
    void disconnectRoster(Tavri::IdentityRealmInterface *realm);
    Tavri::IdentityRealmInterface *senderRealm() const;
    Contact *senderContact() const;
    void notifyContactChanged(Contact *contact, const QVector<int> &roles);
    // The contact's row among the shown ones, or -1.
    int visibleRow(Contact *contact) const;
    // Whether the contact counts as online now; keeps the online set in step.
    void updateOnline(Contact *contact);
    // The identity index: files or unfiles one identity of a contact under
    // its realm and user id.
    void fileIdentity(Contact *contact, Tavri::RealmUserInterface *identity);
    void unfileIdentity(Contact *contact, Tavri::RealmUserInterface *identity);
    void onIdentityUidChanged();

    QHash<Tavri::IdentityRealmInterface *, QStringList> m_rosterContactUUIDs;
    // The same ids as sets, for asking whether one is there.
    QHash<Tavri::IdentityRealmInterface *, QSet<QString>> m_rosterContactUUIDSets;
    // Each followed realm's relay of its roster signals: a slot of this list
    // that asked QObject::sender() would search every connection into the
    // list, and each contact adds several.
    QHash<Tavri::IdentityRealmInterface *, ContactListRosterRelay *> m_rosterRelays;
    QList<Contact *> m_contacts;
    // Every contact with the serial of its arrival: m_contacts keeps arrival
    // order, so the lowest serial is the first contact in it.
    QHash<Contact *, quint64> m_contactSerials;
    quint64 m_nextSerial = 0;
    // Each contact's identity list, for the list's signals.
    QHash<RealmIdentityList *, Contact *> m_contactByIdentities;
    // Every identity the contacts hold, filed under its realm and user id
    // (a user id can change: the identity is filed again when it does).
    using IdentityKey = QPair<Tavri::IdentityRealmInterface *, QString>;
    struct FiledIdentity {
        Contact *contact;
        Tavri::RealmUserInterface *identity;
    };
    QHash<IdentityKey, QVector<FiledIdentity>> m_identityIndex;
    QHash<Tavri::RealmUserInterface *, IdentityKey> m_identityKeys;
    QList<Contact *> m_visibleContacts;
    QSet<Contact *> m_visibleSet;
    QSet<Contact *> m_onlineContacts;
    bool m_showOfflineContacts = false;
};
