#pragma once

#include "realmuserinterface.h"

#include <QObject>
#include <QString>
#include <QUrl>

// TavriSharedIdentityRealmUser: one person as an external application's
// realm knows it: an id, a display name and a SIP URI.
//
// TavriSharedIdentityRealm::getUser creates users with the realm as parent and
// keeps them until it ends, so that conversations, participants and contacts
// treat them like users of the built-in realm. The realm reports no presence
// for them: they always read as Offline. GUI thread only.
class TavriSharedIdentityRealmUser : public QObject, public Tavri::RealmUserInterface
{
    Q_OBJECT
    Q_INTERFACES(Tavri::RealmUserInterface)

public:
    // uid is the key under which the realm cached the user (a SIP URI or a
    // name); realm becomes the parent.
    TavriSharedIdentityRealmUser(const QString &uid, const QString &displayName, const QString &sipURI,
                                 Tavri::IdentityRealmInterface *realm);
    ~TavriSharedIdentityRealmUser() override;

    // Tavri::RealmUserInterface
    QString getRealmTag() override;
    Tavri::IdentityRealmInterface *identityRealm() override;
    void reservedHook(void *argument) override;
    QString getUid() override;
    QString getDisplayName() override;
    void reservedTextHook(QString text) override;
    QUrl getProfileImageURI() override;
    Tavri::RealmUserInterface::PresenceState getPresenceState() override;
    QString getPresenceMessage() override;
    QObject *getQObject() override;

    QString getSipURI() const { return m_sipURI; }

signals:
    void updated();
    void presenceUpdated(Tavri::RealmUserInterface::PresenceState presenceState, const QString &presenceMessage);
    void displayNameUpdated(const QString &displayName);
    void profileIconUpdated(const QUrl &profileIconURI);
    void connected();
    void disconnected(const QString &reason);
    void authenticated();
    void authenticationError(const QString &errorMsg);
    void destroying();
    void chatColorChanged(const QString &chatColor);

public slots:
    // Only logs: an external application's user has no profile window.
    void showUserDetails() override;
    void sendInviteToTavri(const QUrl &landingPage) override;

private:
    QString m_uid;
    QString m_displayName;
    QString m_sipURI;
};
