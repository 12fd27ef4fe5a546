#pragma once

#include <QMetaType>
#include <QString>
#include <QUrl>
#include <QtPlugin>

class QObject;

namespace Tavri {

class IdentityRealmInterface;

// One person as seen through one identity realm.
//
// Every realm (the built-in one and each external application's) hands out
// its users behind this interface; lists, contacts, conversation participants
// and chat lines hold them only by this pointer and never own them. The
// owning realm creates and deletes its users; holders learn of a user's end
// through destroying() and of its replacement through the implementer's
// swapping signal.
//
// The interface has no QObject base of its own: an implementer derives from
// QObject first and from this interface second, and lists it in
// Q_INTERFACES so that qobject_cast works through the interface id. The
// signals are declared here as pure virtual functions so that code holding
// only the interface can emit them; the implementer declares them again under
// `signals:`, and its meta-object code provides their bodies. Connections by
// signal are made on getQObject().
//
// The order of the virtual operations is part of the plug-in interface: keep
// it as it is in every implementer. GUI thread only.
class RealmUserInterface
{
public:
    // Stored and compared by these numbers. Lists and contacts treat a state
    // below Away (PresenceUnknown, Offline) as offline.
    enum PresenceState {
        PresenceUnknown = 0,
        Offline = 1,
        Away = 2,
        ExtendedAway = 3,
        DoNotDisturb = 4,
        Online = 5,
        Chatty = 6,
        InGame = 7
    };

    virtual ~RealmUserInterface() = default;

    // A text of the user's realm; null for the built-in realm.
    virtual QString getRealmTag() = 0;
    virtual IdentityRealmInterface *identityRealm() = 0;
    // Kept so that the operations keep their places; no effect.
    virtual void reservedHook(void *argument) = 0;
    virtual QString getUid() = 0;
    virtual QString getDisplayName() = 0;
    // Kept so that the operations keep their places; no effect.
    virtual void reservedTextHook(QString text) = 0;
    virtual QUrl getProfileImageURI() = 0;
    virtual PresenceState getPresenceState() = 0;
    virtual QString getPresenceMessage() = 0;
    virtual QObject *getQObject() = 0;

    // Signals, provided by the implementer's meta-object code.
    virtual void updated() = 0;
    virtual void presenceUpdated(Tavri::RealmUserInterface::PresenceState presenceState,
                                 const QString &presenceMessage) = 0;
    virtual void displayNameUpdated(const QString &displayName) = 0;
    virtual void profileIconUpdated(const QUrl &profileIconURI) = 0;
    virtual void connected() = 0;
    virtual void disconnected(const QString &reason) = 0;
    virtual void authenticated() = 0;
    virtual void authenticationError(const QString &errorMsg) = 0;
    virtual void destroying() = 0;
    virtual void chatColorChanged(const QString &chatColor) = 0;

    // Slots.
    virtual void showUserDetails() = 0;
    virtual void sendInviteToTavri(const QUrl &landingPage) = 0;

    // The colour of the user's chat lines and tile, as a colour text; empty
    // until a conversation or the user picks one.
    QString getChatColor() const { return chatColor; }
    void setChatColor(const QString &color)
    {
        if (color == chatColor)
            return;
        chatColor = color;
        chatColorChanged(chatColor);
    }

protected:
    QString chatColor;
};

} // namespace Tavri

#define RealmUserInterface_iid "com.ostrel.tavri.plugin.RealmUserInterface"
Q_DECLARE_INTERFACE(Tavri::RealmUserInterface, RealmUserInterface_iid)
Q_DECLARE_METATYPE(Tavri::RealmUserInterface *)
Q_DECLARE_METATYPE(Tavri::RealmUserInterface::PresenceState)
