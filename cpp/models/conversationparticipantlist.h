#pragma once

#include "addressindex.h"
#include "conversationparticipant.h"
#include "realmidentitylist.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QUrl>

class Conversation;

// ConversationParticipantList: the people of one conversation, present and
// invited, as a list model.
//
// Embedded in its Conversation, which is its QObject parent. Rows stay sorted
// by invitation state (present first) and then by display name, compared
// case-insensitively; a row with equal keys goes after the existing ones.
// The participants it creates are its children. The invited identities are
// kept in an embedded RealmIdentityList. A present participant's realm user
// gets a chat colour from the style manager when it has none; it keeps it in
// every conversation. Every change of a participant or of its realm user
// becomes a dataChanged of the roles it touches: the participants it follows
// tell it by direct calls (a busy channel updates them by the thousand), their
// realm users by signals. GUI thread only. Emits
// participantCountChanged after every change of the row count, and
// participantContactCountChanged with it (and when a listed user becomes or
// stops being a contact).
class ConversationParticipantList : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY participantCountChanged)
    Q_PROPERTY(int friendCount READ friendCount NOTIFY participantContactCountChanged)

public:
    enum Roles {
        DisplayNameRole = 1356,
        ProfileImageURIRole,
        PresenceStateRole,
        PresenceMessageRole,
        IsTypingRole,
        UuidRole,
        InvitationStateRole,
        IsSelfRole,
        IsContactRole,
        VoiceEnabledRole,
        ParticipantIdentityRefRole,
        ConversationRefRole,
        IsSpeakingRole,
        IsMutedRole,
        IsMutedLocallyRole,
        IsModeratorRole,
        VolumeAdjustmentRole,
        IsDialinUserRole,
        ParticipantRefRole,
        SipURIRole
    };

    explicit ConversationParticipantList(QObject *parent = nullptr);
    ~ConversationParticipantList() override;

    // The present participant for identity: an invited row of the same
    // identity turns present and moves; otherwise a new row.
    ConversationParticipant *addParticipant(Tavri::RealmUserInterface *identity);
    // An invited participant; an identity already in a row returns that row
    // unchanged. Null (with an assertion report) for a null identity.
    ConversationParticipant *addInvitedParticipant(Tavri::RealmUserInterface *invitedIdentity);
    ConversationParticipant *getParticipantBySipURI(const QString &sipURI) const;
    ConversationParticipant *getParticipantByUUID(const QString &uuid) const;
    RealmIdentityList *getInvitedIdentities() { return &m_invitedIdentities; }
    QList<ConversationParticipant *> getParticipants() const { return m_participants; }
    void removeParticipant(ConversationParticipant *participant, bool deleteIt);
    void removeParticipantForIdentity(Tavri::RealmUserInterface *identity);
    void clear();
    Conversation *getConversation() const;

    Q_INVOKABLE ConversationParticipant *at(int index) const;
    // Rows whose user is in one of the local user's contact groups.
    int friendCount() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void participantCountChanged(int participantCount);
    void participantContactCountChanged(int participantContactCount);
    void participantAdded(ConversationParticipant *participant);

public slots:
    void onParticipantDestroying();
    void onParticipantDisplayNameUpdated(const QString &displayName);
    void onParticipantProfileImageChanged(const QUrl &profileImageURI);
    void onParticipantPresenceChanged(Tavri::RealmUserInterface::PresenceState presenceState,
                                      const QString &presenceMessage);
    void onParticipantIsTypingChanged(bool isTyping);
    void onParticipantInvitationStateChanged(ConversationParticipant::InvitedState state);
    void onParticipantIsSpeakingChanged(bool isSpeaking);
    void onParticipantIsMutedChanged(bool isMuted);
    void onParticipantIsMutedLocallyChanged(bool isMutedLocally);
    void onParticipantIsModeratorChanged(bool isModerator);
    void onParticipantLocalVolumeAdjustmentChanged(int localVolumeAdjustment);
    void onParticipantVoiceEnabledChanged(bool voiceEnabled);
    // The local user's friends list gained or lost the identity.
    void onLocalUserContactListIdentityAddedOrRemoved(Tavri::RealmUserInterface *contactIdentity);
    void onInvitedParticipantRemoved(Tavri::RealmUserInterface *inviteeIdentity);

private:
    // The row before which participant belongs: after every row that sorts
    // before it or equal to it; the participant's own row is not counted as
    // a neighbour. Found by bisection, the other rows being in order.
    int sortedPosition(ConversationParticipant *participant) const;
    // The participant's row, or -1 when it is no row. The row is a hint kept
    // in the participant, checked against the list and rebuilt for every row
    // whenever the list moved under it; a participant that is no row has -1.
    int rowOf(ConversationParticipant *participant) const;
    void reindexRows() const;
    // Whether the participant is a row, without looking for the row.
    static bool isRow(const ConversationParticipant *participant) { return participant->m_row >= 0; }
    void insertRow(int row, ConversationParticipant *participant);
    void removeRow(int row);
    // Drops the participant's index entries: it is no row any longer.
    void forgetRows(ConversationParticipant *participant);
    void insertSorted(ConversationParticipant *participant);
    void emitCountsChanged();
    void emitContactCountChanged();
    void moveToSortedPosition(ConversationParticipant *participant);
    void connectParticipant(ConversationParticipant *participant, bool withVoice);
    void disconnectParticipant(ConversationParticipant *participant);
    void notifyRowChanged(ConversationParticipant *participant, const QVector<int> &roles);
    // What a followed participant tells its list, just before its own signal.
    friend class ConversationParticipant;
    void followedParticipantChanged(ConversationParticipant *participant, int role);
    void followedInvitedStateChanged(ConversationParticipant *participant, ConversationParticipant::InvitedState state);
    void followedParticipantDestroying(ConversationParticipant *participant);
    void followedSipURIChanged(ConversationParticipant *participant);
    // The row of the signalling participant; null for one that is no row.
    ConversationParticipant *senderParticipant() const;
    // The participant when it is still a row; null otherwise.
    ConversationParticipant *listed(ConversationParticipant *participant) const;
    void invitationStateChanged(ConversationParticipant *participant, ConversationParticipant::InvitedState state);
    // The row of the signalling realm user, found by its user id.
    ConversationParticipant *senderIdentityParticipant() const;
    void giveChatColor(Tavri::RealmUserInterface *identity);
    // The first row of the identity, or null.
    ConversationParticipant *participantFor(Tavri::RealmUserInterface *identity) const;
    // The first row that matches, found through the index entry for key
    // when that entry still names a matching row; a scan otherwise, which
    // renews the entry. `record` is the participant's note of the key it is
    // indexed under.
    template <typename Index, typename Key, typename Matches>
    ConversationParticipant *findRow(Index &index, Key ConversationParticipant::*record, const Key &key,
                                     Matches matches) const;

    QList<ConversationParticipant *> m_participants;
    // The participant last found for each address: checked on use, so a
    // stale entry only costs a scan, never a wrong answer. An entry names a
    // row only: it goes when its row does.
    // How the address index reads a participant's address: its own copy,
    // on the line an update reads anyway.
    struct SipURIOf {
        static const QString &of(const ConversationParticipant *participant) { return participant->m_sipURI; }
    };
    mutable AddressIndex<ConversationParticipant, SipURIOf> m_bySipURI;
    // The same for each realm user and each user id.
    mutable QHash<Tavri::RealmUserInterface *, ConversationParticipant *> m_byIdentity;
    mutable QHash<QString, ConversationParticipant *> m_byUUID;
    // Realm users that more than one row was added for. A row's realm user
    // never turns into another (only into none), so the realm-user index
    // holds every other one: a realm user neither there nor here is no row,
    // without a scan of the list.
    QSet<Tavri::RealmUserInterface *> m_sharedIdentities;
    // The participants that tell this list of their changes (their voice
    // changes as well once they were added present).
    QSet<ConversationParticipant *> m_followed;
    RealmIdentityList m_invitedIdentities;
};
