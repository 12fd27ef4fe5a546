#pragma once

#include "identityrealminterface.h"
#include "realmuserinterface.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QUrl>

class ContactList;

// RealmIdentityList: a list model of realm users.
//
// Shared by QML views and models: a conversation's members, moderators,
// banned and invited users, a contact's identities, the user-search results.
// It keeps every identity it is given (never owning them), shows as rows those
// of the realms it shows (the built-in realm) that pass the offline filter,
// follows each identity's display name, presence and picture, and drops an
// identity that announces its end or its replacement. Whether a row is shown
// is decided when the identity is added; later presence changes do not move
// rows in or out. Changes to the local user's friends reach only the lists
// that hold the identity concerned, in the order the lists were made, so
// that loading n friends does not call every list n times. GUI thread only.
class RealmIdentityList : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(bool showOfflineIdentities READ getShowOfflineIdentities WRITE setShowOfflineIdentities NOTIFY
                   showOfflineIdentitiesChanged)
    Q_PROPERTY(int visibleCount READ getVisibleCount NOTIFY visibleCountChanged)

public:
    enum Roles {
        DisplayNameRole = 1056,
        RealmDisplayNameRole,
        RealmIDRole,
        ProfileImageURIRole,
        PresenceStateRole,
        PresenceMessageRole,
        SipURIRole,
        IsContactRole,
        UnameRole,
        TaglineRole,
        LocationRole,
        UserUUIDRole,
        IsInReferenceListRole,
        UserIdentityRefRole,
        // The tagline reduced to plain text, for lists that show other
        // users' taglines without rendering their markup.
        TaglineTextRole
    };

    explicit RealmIdentityList(QObject *parent = nullptr);
    ~RealmIdentityList() override;

    // Adds and follows an identity; one already held is ignored.
    void addIdentity(Tavri::RealmUserInterface *identity);
    // Stops following the identity and drops it.
    void removeIdentity(Tavri::RealmUserInterface *identity);
    // Drops every identity.
    void clear();

    // Whether an identity of that realm with that user id is held, shown or not.
    Q_INVOKABLE bool containsIdentity(QString realmID, QString userUUID);
    bool containsIdentity(Tavri::IdentityRealmInterface *realm, const QString &userUUID);
    bool contains(Tavri::RealmUserInterface *identity) const;
    QList<Tavri::RealmUserInterface *> getIdentityList() const { return m_identities; }
    // The row's identity; null, with an assertion report, outside the rows.
    Q_INVOKABLE QObject *at(int index);

    // Rows whose identity the reference list also holds report
    // isInReferenceList; null clears it.
    void setReferenceList(RealmIdentityList *list);

    bool getShowOfflineIdentities() const { return m_showOfflineIdentities; }
    void setShowOfflineIdentities(bool showOfflineIdentities);
    int getVisibleCount() const { return m_visibleIdentities.size(); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void showOfflineIdentitiesChanged(bool showOfflineIdentities);
    void visibleCountChanged(int visibleCount);
    void realmIdentityAdded(Tavri::RealmUserInterface *identity);
    void realmIdentityRemoved(Tavri::RealmUserInterface *identity);

public slots:
    void onRealmIdentityDisplayNameUpdated(const QString &displayName);
    void onRealmIdentityPresenceUpdated(Tavri::RealmUserInterface::PresenceState presenceState,
                                        const QString &presenceMessage);
    void onRealmIdentityProfileIconUpdated(const QUrl &profileImageURI);
    void onRealmIdentityDestroying();

protected slots:
    void onIdentityRealmDestroying();
    void onContactIdentityAddedOrRemoved(Tavri::RealmUserInterface *contactIdentity);
    void onReferenceListDestroyed();
    void onTavriIdentityRealmUserSwapping(Tavri::RealmUserInterface *newReference);

private:
    void connectIdentity(Tavri::RealmUserInterface *identity);
    void disconnectIdentity(Tavri::RealmUserInterface *identity);
    void updateVisibility(Tavri::RealmUserInterface *identity);
    void showIdentity(Tavri::RealmUserInterface *identity);
    void hideIdentity(Tavri::RealmUserInterface *identity);
    Tavri::RealmUserInterface *senderIdentity() const;
    void notifyRowChanged(Tavri::RealmUserInterface *identity, const QVector<int> &roles);
    // Files or unfiles the identity among those whose friend-list changes
    // this list hears.
    void fileContactIdentity(Tavri::RealmUserInterface *identity);
    void unfileContactIdentity(Tavri::RealmUserInterface *identity);
    // Hands a friend-list change of `contacts` to every list that follows
    // that list and holds the identity, oldest list first.
    static void routeContactIdentityChange(ContactList *contacts, Tavri::RealmUserInterface *identity);

    QList<Tavri::RealmUserInterface *> m_identities;
    QList<Tavri::RealmUserInterface *> m_visibleIdentities;
    RealmIdentityList *m_referenceList = nullptr;
    bool m_showOfflineIdentities = true;
    QList<Tavri::IdentityRealmInterface *> m_identityRealms;
    // The local user's friend list as it was when this list was made (null
    // while the local user was still being built), and this list's place in
    // the order lists were made.
    QPointer<ContactList> m_contactList;
    quint64 m_serial = 0;
};
