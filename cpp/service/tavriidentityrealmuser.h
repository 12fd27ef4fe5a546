#pragma once

#include "realmuserinterface.h"
#include "storagemanager.h"
#include "voicemanager.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

#include "quickcloseevent.h"

class QQuickView;

// TavriIdentityRealmUser: one person of the built-in realm.
//
// The built-in realm (TavriIdentityRealm) creates its users with itself as
// parent and fills them from the web service's user records and the voice
// service's presence events; the local user writes its own profile fields.
// Lists, contacts and participants hold users only as
// Tavri::RealmUserInterface* and learn of their end through destroying() (or
// of a replacement through swapping()). QML sees the class as the type
// "RealmUser" and can open a user's profile window (showUserDetails); one
// profile window is shared by all users. GUI thread only.
//
// The setters assign and emit even when the value did not change, so that a
// fresh web record always reaches every view.
class TavriIdentityRealmUser : public QObject, public Tavri::RealmUserInterface
{
    Q_OBJECT
    Q_INTERFACES(Tavri::RealmUserInterface)
    Q_PROPERTY(QString sipURI READ getSipURI NOTIFY sipURIChanged)
    Q_PROPERTY(QString email READ getEmail NOTIFY emailChanged)
    Q_PROPERTY(QString uid READ getUid NOTIFY uidChanged)
    Q_PROPERTY(QString uname READ getUname NOTIFY uNameChanged)
    Q_PROPERTY(QString displayName READ getDisplayName NOTIFY displayNameUpdated)
    Q_PROPERTY(QUrl profileImageURI READ getProfileImageURI NOTIFY profileIconUpdated)
    Q_PROPERTY(QString location READ getLocation NOTIFY locationChanged)
    Q_PROPERTY(QString tagline READ getTagline NOTIFY taglineChanged)
    Q_PROPERTY(QString description READ getDescription NOTIFY descriptionChanged)
    Q_PROPERTY(QDateTime lastOnline READ getLastOnline NOTIFY lastOnlineChanged)
    Q_PROPERTY(PresenceState presenceState READ presenceStateForQml NOTIFY presenceUpdated)
    Q_PROPERTY(QString chatColor READ getChatColor WRITE setChatColor NOTIFY chatColorChanged)

public:
    // The interface's presence states once more, so that QML can write
    // RealmUser.Online: Q_ENUM needs the enumeration in this class. The
    // values are the interface's; inside this class the interface's type is
    // written out in full wherever the two could be mixed up.
    enum PresenceState {
        Offline = Tavri::RealmUserInterface::Offline,
        Away = Tavri::RealmUserInterface::Away,
        ExtendedAway = Tavri::RealmUserInterface::ExtendedAway,
        DoNotDisturb = Tavri::RealmUserInterface::DoNotDisturb,
        Online = Tavri::RealmUserInterface::Online,
        Chatty = Tavri::RealmUserInterface::Chatty,
        InGame = Tavri::RealmUserInterface::InGame,
        PresenceUnknown = Tavri::RealmUserInterface::PresenceUnknown
    };
    Q_ENUM(PresenceState)

    explicit TavriIdentityRealmUser(QObject *parent = nullptr);
    ~TavriIdentityRealmUser() override;

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

    const QString &getSipURI() const { return sipURI; }
    QString getEmail() const { return email; }
    QString getUname() const { return uname; }
    // The name the user chose, as stored (getDisplayName may show the user
    // name in its place).
    QString getCustomDisplayName() const { return displayName; }
    QString getLocation() const { return location; }
    QString getTagline() const { return tagline; }
    QString getDescription() const { return description; }
    QDateTime getLastOnline() const { return lastOnline; }

    void setSipURI(const QString &value);
    void setEmail(const QString &value);
    void setUid(const QString &value);
    void setUname(const QString &value);
    void setDisplayName(const QString &value);
    void setProfileImageURI(const QString &value);
    void setLocation(const QString &value);
    void setTagline(const QString &value);
    void setDescription(const QString &value);
    void setLastOnline(const QDateTime &value);
    // fromRealm is true for presence received from the network. A change the
    // signed-in user makes to its own identity (fromRealm false) is published
    // to the voice service first.
    void setPresenceState(Tavri::RealmUserInterface::PresenceState state, bool fromRealm);
    void setPresenceMessage(const QString &message, bool fromRealm);

    // True when this is the signed-in user's own built-in identity.
    bool isLocalUser();
    // Stores the signed-in user's profile texts at the web service (the
    // tagline is the service's status text); the fields follow when the
    // service sends the stored record back.
    void requestProfileUpdate(const QString &displayName, const QString &description, const QString &tagline,
                              const QString &location);

    // The voice service's presence status for a realm presence state.
    static VoiceManager::PresenceStatus toVoicePresenceStatus(Tavri::RealmUserInterface::PresenceState state);

    // The profile window shared by all users; null while none exists.
    static QQuickView *userDetailsView();

signals:
    void updated();
    void presenceUpdated(Tavri::RealmUserInterface::PresenceState presenceState, const QString &presenceMessage);
    void displayNameUpdated(const QString &displayName);
    void profileIconUpdated(const QUrl &profileIconURI);
    void connected();
    void disconnected(const QString &reason);
    void authenticated();
    void authenticationError(const QString &errorMsg);
    void sipURIChanged(const QString &sipURI);
    void emailChanged(const QString &email);
    void uidChanged(const QString &uid);
    void uNameChanged(const QString &uName);
    void locationChanged(const QString &location);
    void taglineChanged(const QString &tagline);
    void descriptionChanged(const QString &description);
    void lastOnlineChanged(const QDateTime &lastOnline);
    void destroying();
    void chatColorChanged(const QString &chatColor);
    // Emitted by the owning realm when another object replaces this one for
    // the same person; holders switch to newReference.
    void swapping(Tavri::RealmUserInterface *newReference);

public slots:
    void showUserDetails() override;
    void sendInviteToTavri(const QUrl &landingPage) override;

protected slots:
    void onStorageManagerSettingKeyChanged(StorageManager::NamedSettings settingKey, const QVariant &value);
    void onUserDetailsWindowClosing(QQuickCloseEvent *event);
    void onUserDetailsWindowDestroyed();

private:
    PresenceState presenceStateForQml() const { return static_cast<PresenceState>(presenceState); }
    void publishPresence(Tavri::RealmUserInterface::PresenceState state, const QString &message);
    static void showProfileFrame(QQuickView *view);

    QString sipURI;
    QString email;
    QString uid;
    QString uname;
    QString displayName;
    QUrl profileImageURI;
    QString location;
    QString tagline;
    QString description;
    QDateTime lastOnline;
    Tavri::RealmUserInterface::PresenceState presenceState = Tavri::RealmUserInterface::PresenceUnknown;
    QString presenceMessage;

    static QQuickView *s_userDetailsView;
    // Set while showUserDetails builds or switches the window, so that a
    // nested request (from QML while the window loads) is refused instead of
    // working on a half-built window.
    static bool s_showingUserDetails;
};
