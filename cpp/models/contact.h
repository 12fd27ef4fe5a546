#pragma once

#include "realmidentitylist.h"
#include "realmuserinterface.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

class TavriIdentityRealmUser;

// Contact: one person of the user's contact list, seen through one or more
// realm identities (the built-in realm's user and users of external
// applications' realms).
//
// Created and owned by a ContactList. It merges its identities into one
// display name (its own name when set, else the primary identity's), one
// presence (the highest of all identities; unknown counts as Offline) and one
// presence message (the primary identity's). The primary identity is the
// first identity, replaced by a built-in realm identity added later and by
// the first shown identity when it leaves. A contact whose last identity
// leaves deletes itself; one whose built-in identity is replaced by another
// object for the same person (swapping) follows the replacement and stays.
// Emits displayNameChanged, presenceStateChanged, presenceMessageChanged and
// identitiesUpdated when its merged values may have changed, and destroying
// first thing in its destructor. GUI thread only.
class Contact : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString displayName READ getDisplayName WRITE setDisplayName NOTIFY displayNameChanged)
    Q_PROPERTY(Tavri::RealmUserInterface::PresenceState presenceState READ getPresenceState NOTIFY presenceStateChanged)
    Q_PROPERTY(QString presenceMessage READ getPresenceMessage NOTIFY presenceMessageChanged)
    Q_PROPERTY(RealmIdentityList *identities READ getIdentities NOTIFY identitiesUpdated)

public:
    // identity must not be null; it becomes the primary identity.
    Contact(Tavri::RealmUserInterface *identity, QObject *parent);
    ~Contact() override;

    QString getDisplayName();
    // An empty name shows the primary identity's name again.
    void setDisplayName(const QString &name);
    Tavri::RealmUserInterface::PresenceState getPresenceState() const;
    QString getPresenceMessage();
    RealmIdentityList *getIdentities() { return &m_identities; }

    Tavri::RealmUserInterface *getPrimaryIdentity() const { return m_primaryIdentity; }
    // The primary identity as a built-in realm user; null without a primary
    // identity or when it belongs to another realm.
    TavriIdentityRealmUser *getTavriIdentity() const;
    // The primary identity's SIP URI (built-in or external-application
    // realm user); empty otherwise.
    QString getSipURI() const;
    // The primary identity's realm id and user id; empty without them.
    QString getPrimaryRealmID() const;
    QString getPrimaryUserUUID() const;

signals:
    void displayNameChanged(const QString &displayName);
    void presenceStateChanged(Tavri::RealmUserInterface::PresenceState presenceState);
    void presenceMessageChanged(const QString &presenceMessage);
    void identitiesUpdated();
    void destroying();
    void lastOnlineChanged(const QDateTime &lastOnline);

protected slots:
    void onRealmIdentityAdded(Tavri::RealmUserInterface *identity);
    void onRealmIdentityRemoved(Tavri::RealmUserInterface *identity);
    void onRealmIdentityDisplayNameUpdated(const QString &displayName);
    void onRealmIdentityPresenceUpdated(Tavri::RealmUserInterface::PresenceState presenceState,
                                        const QString &presenceMessage);
    void onRealmIdentityProfileIconUpdated(const QUrl &profileImageURI);
    void onRealmIdentityDestroying();
    void onTavriRealmIdentityLastOnlineChanged(const QDateTime &lastOnline);
    void onTavriRealmIdentitySwapping(Tavri::RealmUserInterface *newReference);

private:
    // Follows the identity's name, presence and picture and, for a built-in
    // realm user, its replacement and last-online time. Made before the
    // identity enters the identity list, so that on a replacement this
    // contact hands over to the new identity before the list sees the old
    // one go and the contact is never left without identities.
    void connectIdentity(Tavri::RealmUserInterface *identity);
    void disconnectIdentity(Tavri::RealmUserInterface *identity);
    // The first shown identity when there is no primary identity.
    Tavri::RealmUserInterface *ensurePrimaryIdentity();
    void emitMergedValues();

    QString m_displayName;
    Tavri::RealmUserInterface *m_primaryIdentity = nullptr;
    RealmIdentityList m_identities;
    // The merged presence as last announced, so that a change decided by
    // another identity than the one that reported is announced too.
    Tavri::RealmUserInterface::PresenceState m_lastPresenceState = Tavri::RealmUserInterface::Offline;
    QString m_lastPresenceMessage;
};
