#pragma once

#include "realmuserinterface.h"

#include <QObject>
#include <QPointer>
#include <QString>

class ConversationParticipantList;
class LocalUser;
class TavriIdentityRealmUser;
class QTimerEvent;

// ConversationParticipant: one person in a conversation, present or invited.
//
// Joins a realm user (not owned) to the per-conversation state that the voice
// service reports: speaking, muted for everyone, muted for the local user,
// moderator and playback volume. The voice side (the built-in realm) calls the
// setters; QML writes only localVolumeAdjustment, whose requests reach the
// voice service at most once per second. For the local user's own row the mute
// states and the volume follow the local microphone.
//
// Created and owned by a ConversationParticipantList; ends by itself
// (deleteLater) when its realm user is destroyed, and emits destroying() first
// thing in its destructor. While the list follows it, every change is told to
// that list by a direct call just before the change signal goes out, so the
// row's dataChanged comes first, as from the first connection made. QML reads
// it but never creates one. GUI thread only.
class alignas(64) ConversationParticipant : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isTyping READ getIsTyping NOTIFY isTypingChanged)
    Q_PROPERTY(InvitedState invitedState READ getInvitedState NOTIFY invitedStateChanged)
    Q_PROPERTY(bool voiceEnabled READ getVoiceEnabled NOTIFY voiceEnabledChanged)
    Q_PROPERTY(bool isSpeaking READ getIsSpeaking NOTIFY isSpeakingChanged)
    Q_PROPERTY(bool isMuted READ getIsMuted NOTIFY isMutedChanged)
    Q_PROPERTY(bool isMutedLocally READ getIsMutedLocally NOTIFY isMutedLocallyChanged)
    Q_PROPERTY(bool isModerator READ getIsModerator NOTIFY isModeratorChanged)
    Q_PROPERTY(int localVolumeAdjustment READ getLocalVolumeAdjustment WRITE setLocalVolumeAdjustmentForQml NOTIFY
                   localVolumeAdjustmentChanged)

public:
    enum InvitedState { Present = 0, Invited = 1, Declined = 2 };
    Q_ENUM(InvitedState)

    // A null tavriIdentity is taken from the identity when that is a built-in
    // realm user.
    ConversationParticipant(Tavri::RealmUserInterface *identity, QObject *parent, InvitedState invitedState,
                            TavriIdentityRealmUser *tavriIdentity = nullptr);
    ~ConversationParticipant() override;

    // Null once the realm user is gone.
    Tavri::RealmUserInterface *getIdentity() const { return m_identity; }
    TavriIdentityRealmUser *getTavriIdentity() const { return m_tavriIdentity; }
    Q_INVOKABLE QObject *getIdentityObject() const;

    bool getIsTyping() const { return m_isTyping; }
    InvitedState getInvitedState() const { return InvitedState(m_invitedState); }
    // Stores the state and announces it when it changed.
    void setInvitedState(InvitedState state);

    bool getVoiceEnabled() const { return m_tavriIdentity && m_voiceEnabled; }
    void setVoiceEnabled(bool enabled);
    void setTavriIdentity(TavriIdentityRealmUser *tavriIdentity);

    bool getIsSpeaking() const { return m_isSpeaking; }
    void setIsSpeaking(bool speaking);
    // Muted for everyone; always true for the local user while the local
    // microphone is muted.
    bool getIsMuted() const;
    void setIsMuted(bool muted);
    // Muted for the local user only; always true for the local user while the
    // local microphone is muted.
    bool getIsMutedLocally() const;
    void setIsMutedLocally(bool muted);
    bool getIsModerator() const { return m_isModerator; }
    void setIsModerator(bool moderator);

    // The playback volume, 0..100; for the local user the microphone level.
    int getLocalVolumeAdjustment() const;
    // reported: the voice service's value, stored and announced. Otherwise a
    // local request, sent at once or, within a second of the last one, when
    // that second ends.
    void setLocalVolumeAdjustment(int value, bool reported);
    int getRequestedVolumeAdjustment() const { return m_requestedVolumeAdjustment; }

    // The URI under which the voice service knows the participant.
    QString getVoiceParticipantURI() const { return m_voiceParticipantURI; }
    void setVoiceParticipantURI(const QString &uri) { m_voiceParticipantURI = uri; }
    // The voice participant URI when known, else the SIP URI.
    QString getParticipantURI() const;
    // The SIP URI of the built-in realm user that carries the voice session;
    // empty when there is none.
    QString getSipURI() const { return m_sipURI; }

signals:
    void isTypingChanged(bool isTyping);
    void invitedStateChanged(ConversationParticipant::InvitedState invitedState);
    void voiceEnabledChanged(bool voiceEnabled);
    void isSpeakingChanged(bool isSpeaking);
    void isMutedChanged(bool isMuted);
    void isMutedLocallyChanged(bool isMutedLocally);
    void isModeratorChanged(bool isModerator);
    void localVolumeAdjustmentChanged(int localVolumeAdjustment);
    void destroying();

public slots:
    void onIdentityDestroying();
    void onTavriIdentityDestroying();

protected slots:
    void onLocalUserAudioEnabledChanged(bool audioEnabled);
    void onLocalUserVolumeAdjustChanged(int volumeAdjust);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void setLocalVolumeAdjustmentForQml(int value) { setLocalVolumeAdjustment(value, false); }
    // Whether the row stands for the local user, judged by its voice identity.
    bool isLocalUserVoice() const;
    // Whether the row stands for the local user, judged by its identity.
    bool isLocalUserIdentity() const;
    void connectTavriIdentity();
    void followTavriIdentitySipURI();
    // Takes the voice identity's address again (also when the identity's
    // sipURIChanged comes), and tells the list when it changed.
    void updateSipURI();
    void disconnectLocalUser();

    // Tells the following list of a change of role (a role of the list's)
    // before the change signal; voice roles only once it follows the voice
    // state as well.
    void notifyList(int role, bool voiceRole = true);

    // What a speaking or mute update reads and writes comes first, and the
    // object starts on a cache line (alignas above), so that with QObject's
    // own pointers these fields fill one line: in a busy channel an update
    // then touches as few lines as it can.
    //
    // The list that follows the participant (its owner, while it lists or is
    // about to list it) and the row where that list last put it; -1 while it
    // is no row. Both are written by that list only.
    friend class ConversationParticipantList;
    ConversationParticipantList *m_list = nullptr;
    int m_row = -1;
    bool m_listFollowsVoice = false;
    bool m_isSpeaking = false;
    bool m_isMuted = false;
    bool m_isMutedLocally = false;
    bool m_isModerator = false;
    bool m_voiceEnabled = false;
    bool m_isTyping = false;
    // An InvitedState, kept in a byte so that the address below still fits
    // the first line.
    quint8 m_invitedState = Present;
    int m_localVolumeAdjustment = 0;
    Tavri::RealmUserInterface *m_identity = nullptr;
    TavriIdentityRealmUser *m_tavriIdentity = nullptr;
    // The voice identity's address, followed as it changes: finding a row by
    // address then reads the participant, not its realm user.
    QString m_sipURI;
    // The keys under which the list indexes the participant, written by the
    // list only: its entries go with the row under whatever keys they have.
    QString m_indexedSipURI;
    QString m_indexedUUID;
    Tavri::RealmUserInterface *m_indexedIdentity = nullptr;
    QString m_voiceParticipantURI;
    // The last value asked for locally; 0 when nothing is pending.
    int m_requestedVolumeAdjustment = 0;
    // The last value handed to the voice service, -1 before the first.
    int m_sentVolumeAdjustment = -1;
    int m_volumeTimerId = 0;
    // The local user whose microphone the row follows; set only for the
    // local user's own row.
    QPointer<LocalUser> m_localUser;
};
