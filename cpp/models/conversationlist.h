#pragma once

#include "identityrealminterface.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>

class Conversation;
class TavriIdentityRealm;

// ConversationList: a set of conversations as a list model.
//
// The local user's conversations (favourite channels, conversations that
// identity realms announce and the channel tree opened under them), every
// conversation's family tree and the channel-search results are shown through
// it. In tree mode (the default) permanent channels of the built-in realm
// stand in channel-tree order: a parent followed by its listed descendants,
// siblings sorted by name ignoring case, a newer name after an equal one.
// Opening a row (expandItem) asks the web service for the channel's children,
// which arrive one at a time from the built-in realm; closing it
// (collapseItem) drops them again. Rows of other realms keep a run of their
// own, sorted by name. With tree mode off rows stand in insertion order.
//
// Conversations are held by pointer without ownership, except the ones this
// list creates for realm entries: those have the list as object parent and
// are deleted later once the list drops them. A row goes when its
// conversation announces destroying(). GUI thread only.
class ConversationList : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles {
        DisplayNameRole = 1556,
        VoiceStateRole,
        JoinStateRole,
        ChatTransportTypeRole,
        RealmIDRole,
        ConversationIDRole,
        ParticipantsRole,
        IsPermanentRole,
        SipURIRole,
        LocalUserIsMutedLocallyRole,
        LocalUserIsMutedRemotelyRole,
        ChannelUIDRole,
        WelcomeMessageRole,
        ProfileImageURIRole,
        TreeDepthRole,
        ParentSipURIRole,
        DialinAccessCodeRole,
        DescriptionRole,
        IsOwnedRole,
        IsFavoritedRole,
        HasChildrenRole,
        OwnerDisplayNameRole,
        OwnerSipURIRole,
        OwnerUIDRole,
        OwnerUNameRole,
        OwnerProfileImageURIRole,
        IsOpenedRole,
        ConversationRefRole
    };

    explicit ConversationList(QObject *parent = nullptr);
    ~ConversationList() override;

    // Inserts a row unless the conversation is listed already. refresh is
    // passed on to every expandItem that the insertion makes.
    void addConversation(Conversation *conversation, bool refresh = false);
    // Removes the row, and first its listed children when it is opened.
    void removeConversation(Conversation *conversation);
    void clear();
    // Asks every listed conversation to leave at once; rows stay.
    void leaveAll();
    // Affects later insertions only.
    void setTreeMode(bool treeMode);
    bool getTreeMode() const { return m_treeMode; }
    bool isOpened(Conversation *conversation) const { return m_opened.value(conversation, false); }
    // Whether a channel's row stays in the tree without the conversation
    // being joined: it is a favourite, the local user owns it, or it is
    // listed under its opened parent.
    bool holdsRow(Conversation *conversation) const;

    // Null, with an assertion report, outside the rows.
    Q_INVOKABLE Conversation *at(int index) const;
    Q_INVOKABLE int count() const { return m_conversations.size(); }
    // Opens a row; with refresh, a permanent channel's children are asked of
    // the web service.
    Q_INVOKABLE void expandItem(int itemIndex, bool refresh = true);
    // Closes a row and drops its listed children.
    Q_INVOKABLE void collapseItem(int itemIndex, bool refresh = true);
    // The number of consecutive listed ancestors, parent first, resolved in
    // the built-in realm.
    Q_INVOKABLE int getTreeDepth(Conversation *conversation) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

public slots:
    // Relayed by the identity realm manager from every realm.
    void onConversationListEntryAdded(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID,
                                      const QString &displayName);
    void onConversationListEntryRemoved(Tavri::IdentityRealmInterface *identityRealm, const QString &conversationID);
    // For a realm's destroying(): its rows go.
    void onIdentityRealmDestroying();
    // A channel of a hierarchy answer: listed when its parent is listed and
    // opened.
    void onPermanentConversationReceived(Conversation *conversation);

private slots:
    void onConversationDestroying();
    void onConversationDisplayNameChanged();
    void onConversationJoinStateChanged();
    void onConversationSipURIChanged();
    void onConversationVoiceStateChanged();
    void onConversationReferenceSwap(Conversation *newReference);
    void onConversationOwnerURIChanged();
    void onConversationOwnerUIDChanged();
    void onConversationParentURIChanged(const QString &parentURI);
    void onConversationProfileImageURIChanged();
    void onConversationDialinAccessCodeChanged();
    void onConversationWelcomeMessageChanged();
    void onConversationDescriptionChanged();
    void onConversationDepthChanged();
    void onConversationIsFavoritedChanged();
    void onConversationAncestryURIsChanged();
    void onConversationChannelUIDChanged();

private:
    void connectConversation(Conversation *conversation);
    void disconnectConversation(Conversation *conversation);
    // deleteOwned is false while the conversation is being destroyed anyway.
    void removeConversation(Conversation *conversation, bool deleteOwned);
    // The listed conversation of the built-in realm for a URI; null when the
    // URI is empty or its conversation is not listed.
    Conversation *listedBuiltInConversation(const QString &sipURI) const;
    bool isBuiltInRealm(Conversation *conversation) const;
    // Whether conversation descends from ancestor through listed parents.
    bool isListedDescendant(Conversation *conversation, Conversation *ancestor) const;
    // The number of rows from row on that belong to its conversation: the
    // row itself and its listed descendants right below it.
    int blockSize(int row) const;
    // Where the sibling scan for conversation at tree depth `depth` stops,
    // walking from startRow down and passing over the rows in `skip`.
    // The conversation's row, or -1; remembers where it was last found.
    int rowOf(Conversation *conversation) const;
    int siblingPlace(Conversation *conversation, int depth, int startRow, const QSet<int> &skip) const;
    // siblingPlace by a binary search over rows in tree order, or -1 where
    // the rows are not in that order; and by a scan over every row.
    int sortedSiblingPlace(Conversation *conversation, int depth, int startRow, const QSet<int> &skip) const;
    int scannedSiblingPlace(Conversation *conversation, int depth, int startRow, const QSet<int> &skip) const;
    // Where a conversation of a realm other than the built-in one goes.
    int otherRealmPlace(Conversation *conversation, const QSet<int> &skip) const;
    // Moves `count` rows from `first` to stand before row `destination`
    // (counted before the move). Returns false when they already stand there.
    bool moveBlock(int first, int count, int destination);
    // Places listed children of a newly inserted parent under it.
    void adoptChildren(Conversation *parent, bool refresh);
    void sendHierarchyRequest(Conversation *conversation) const;
    // Connects the built-in realm's hierarchy answers, once per realm.
    void followHierarchyAnswers();
    void notifyRow(Conversation *conversation, const QVector<int> &roles);
    // Files a listed conversation under its parent's URI, or takes it out.
    void fileByParentURI(Conversation *conversation);
    void unfileByParentURI(Conversation *conversation);
    // The listed rows filed under parentURI, in row order.
    QList<Conversation *> filedChildrenInRowOrder(const QString &parentURI) const;
    Conversation *senderConversation() const;
    bool isListed(Conversation *conversation) const { return m_opened.contains(conversation); }

    QList<Conversation *> m_conversations;
    // Where rowOf last found each conversation; checked before use.
    mutable QHash<Conversation *, int> m_rowHints;
    // The opened (expanded) flag per conversation; none counts as closed.
    // Its keys are exactly the listed conversations, so it also answers
    // whether one is listed without a walk over the rows.
    QHash<Conversation *, bool> m_opened;
    // The listed conversations by their parent's URI, so that a new row
    // finds the rows it adopts without a walk over all rows. A conversation
    // is filed again whenever it announces a new parent URI; one whose parent
    // went away silently stays under the old URI and is passed over when
    // checked (its parent URI is empty then).
    QHash<QString, QSet<Conversation *>> m_listedByParentURI;
    QHash<Conversation *, QString> m_filedParentURI;
    bool m_treeMode = true;
    // The realm whose hierarchy answers feed this list, once a row was
    // opened; not owned.
    QPointer<TavriIdentityRealm> m_builtInRealm;
};
