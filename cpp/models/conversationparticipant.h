#pragma once

#include "realmuserinterface.h"

#include <QObject>
#include <QString>

class TavriIdentityRealmUser;

// ConversationParticipant: one person in a conversation, present or invited.
//
// Joins a realm user (not owned) to the per-conversation state that the voice
// service reports. Created and owned by a ConversationParticipantList; ends
// by itself (deleteLater) when its realm user is destroyed. Emits destroying()
// first thing in its destructor. GUI thread only.
class ConversationParticipant : public QObject
{
    Q_OBJECT
    Q_PROPERTY(InvitedState invitedState READ getInvitedState NOTIFY invitedStateChanged)
    Q_PROPERTY(bool voiceEnabled READ getVoiceEnabled NOTIFY voiceEnabledChanged)

public:
    enum InvitedState { Present = 0, Invited = 1, Declined = 2 };
    Q_ENUM(InvitedState)

    ConversationParticipant(Tavri::RealmUserInterface *identity, QObject *parent, InvitedState invitedState,
                            TavriIdentityRealmUser *tavriIdentity = nullptr);
    ~ConversationParticipant() override;

    Tavri::RealmUserInterface *getIdentity() const { return m_identity; }
    TavriIdentityRealmUser *getTavriIdentity() const { return m_tavriIdentity; }
    Q_INVOKABLE QObject *getIdentityObject() const;

    InvitedState getInvitedState() const { return m_invitedState; }
    // Stores the state and announces it when it changed.
    void setInvitedState(InvitedState state);

    bool getVoiceEnabled() const { return m_tavriIdentity && m_voiceEnabled; }
    void setVoiceEnabled(bool enabled);
    void setTavriIdentity(TavriIdentityRealmUser *tavriIdentity);

    // The SIP URI of the built-in realm user that carries the voice session;
    // empty when there is none.
    QString getSipURI() const;

signals:
    void invitedStateChanged(ConversationParticipant::InvitedState invitedState);
    void voiceEnabledChanged(bool voiceEnabled);
    void destroying();

public slots:
    void onIdentityDestroying();
    void onTavriIdentityDestroying();

private:
    Tavri::RealmUserInterface *m_identity = nullptr;
    InvitedState m_invitedState = Present;
    TavriIdentityRealmUser *m_tavriIdentity = nullptr;
    bool m_voiceEnabled = false;
};
