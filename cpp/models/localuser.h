#pragma once

#include "identityrealminterface.h"
#include "realmuserinterface.h"

#include <QMultiHash>
#include <QObject>
#include <QString>

class TavriIdentityRealmUser;

// LocalUser: the signed-in user.
//
// One instance per process, created on first use by getLocalUser(). It holds
// the user's own identity in the built-in realm (set at web login, null while
// signed out) and answers which realm user is the signed-in user. The login
// state machine, presence, push-to-talk and the user's list models join this
// class with the sign-in work. GUI thread only.
class LocalUser : public QObject
{
    Q_OBJECT

public:
    // The instance, created with parent on the first call.
    static LocalUser* getLocalUser(QObject* parent = nullptr);
    ~LocalUser() override;

    // The own identity of the built-in realm; null while signed out.
    TavriIdentityRealmUser* tavriidentity() const { return m_identity; }
    // The own identity in a realm: the built-in identity for the built-in
    // realm, else the identity recorded for that realm; null when none.
    Tavri::RealmUserInterface* getLocalUserIdentity(Tavri::IdentityRealmInterface* realm) const;
    // True for the own built-in identity; without one, true only for null.
    bool isLocalUserIdentity(Tavri::RealmUserInterface* identity) const;

public slots:
    // The web login succeeded: the built-in realm's user for sipURI becomes
    // the own identity (and is asked for a fresh record).
    void onSocialLoginSuccess(const QString& sipURI, const QString& email, const QString& socialUID,
                              const QString& userUname, const QString& displayName,
                              const QString& profileImageURI, const QString& location, const QString& tagline,
                              const QString& description);

private:
    explicit LocalUser(QObject* parent);
    void onIdentityDestroying();

    TavriIdentityRealmUser* m_identity = nullptr;
    QMultiHash<Tavri::IdentityRealmInterface*, Tavri::RealmUserInterface*> m_realmIdentities;
};
