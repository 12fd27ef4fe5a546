#pragma once

#include <QJsonDocument>
#include <QNetworkReply>
#include <QString>

#include "cfindusers.h"
#include "jsonreplyhandler.h"

class Conversation;
#include "quickcloseevent.h"
class QQuickView;
class RealmIdentityList;
class TavriIdentityRealmUser;

// CFindUsersDialog: what a find-users page sees as "findInstance". Runs the
// user search (pages of the web service's public user search, or a filter
// over the local user's contacts), holds the hits and carries out the
// page's add and remove clicks on one list; a subclass per list (friends,
// a channel's members, bans and moderators, invitations) supplies the
// action and the list the hits are compared with.
//
// GUI thread only. Owned by whoever creates it (the find-users registry,
// the application, a channel settings window); the conversation and the
// view are held without ownership and forgotten when they go.
class CFindUsersDialog : public JsonReplyHandler
{
    Q_OBJECT
    Q_PROPERTY(QString dialogTitle READ getDialogTitle NOTIFY dialogTitleChanged)
    Q_PROPERTY(bool canAddRemove READ getCanAddRemove CONSTANT)
    Q_PROPERTY(bool isSearchFriend READ isSearchFriend CONSTANT)
    Q_PROPERTY(QString searchTerm READ getSearchTerm CONSTANT)
    Q_PROPERTY(RealmIdentityList *searchResults READ getSearchResults CONSTANT)
    Q_PROPERTY(RealmIdentityList *baseUserList READ getUserList CONSTANT)
    Q_PROPERTY(Conversation *conversationRef READ getConversation NOTIFY conversationChanged)
    Q_PROPERTY(CFindUsers::InviteMethod inviteMethod READ getInviteMethod CONSTANT)
    Q_PROPERTY(bool isSearching READ getIsSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(bool hasMoreResults READ getHasMoreResults NOTIFY hasMoreResultsChanged)

public:
    explicit CFindUsersDialog(bool canAddRemove, QObject *parent = nullptr);
    ~CFindUsersDialog() override;

    QString getDialogTitle() const { return m_dialogTitle; }
    // Stores the title and announces it, also when it is unchanged.
    void setDialogTitle(const QString &title);
    bool getCanAddRemove() const { return m_canAddRemove; }
    QString getSearchTerm() const { return m_searchTerm; }
    RealmIdentityList *getSearchResults() const { return m_searchResults; }
    Conversation *getConversation() const { return m_associatedChannel; }
    void setConversation(Conversation *conversation);
    CFindUsers::InviteMethod getInviteMethod() const { return m_inviteMethod; }
    void setInviteMethod(CFindUsers::InviteMethod inviteMethod) { m_inviteMethod = inviteMethod; }
    bool getIsSearching() const { return m_isSearching; }
    bool getHasMoreResults() const { return m_hasMoreResults; }
    QQuickView *getView() const { return m_view; }
    // Follows the window that shows this dialog until it closes.
    void setView(QQuickView *view);

    // The list whose members count as already listed; null when there is
    // none to compare with.
    virtual RealmIdentityList *getUserList() = 0;
    virtual bool isSearchFriend() const { return false; }

    // A page of the public user search: offset 0 starts a new list, any
    // other offset appends. An empty term sends nothing and returns false.
    Q_INVOKABLE bool searchForUsers(const QString &searchTerm, bool showInactiveUsers, int offset = 0,
                                    int maxResults = 10);
    // The local user's friends whose names match searchTerm (a
    // case-insensitive regular expression).
    Q_INVOKABLE void searchForFriends(const QString &searchTerm, bool showOfflineFriends);
    Q_INVOKABLE void tileClicked(const QString &channelURI, const QString &userURI, bool bAdd)
    {
        onTileClicked(channelURI, userURI, bAdd);
    }
    Q_INVOKABLE void flush() { onFlush(); }
    Q_INVOKABLE void reset();

    bool handleReply(const QString &method, const QJsonDocument &reply) override;

signals:
    void dialogTitleChanged(const QString &dialogTitle);
    void conversationChanged(Conversation *conversationRef);
    void isSearchingChanged(bool isSearching);
    void hasMoreResultsChanged(bool hasMoreResults);

public slots:
    // A failed search ends like an answered one with no hits, so that the
    // page can search again.
    void onError(const QNetworkReply::NetworkError &errorCode) override;
    void onViewClosing(QQuickCloseEvent *close);
    void onConversationDestroying();

protected:
    virtual void onTileClicked(const QString &channelURI, const QString &userURI, bool bAdd) = 0;
    virtual void onFlush() {}
    // One of the channel's lists, asked afresh of the server, made the list
    // the hits are compared with; null without a channel.
    RealmIdentityList *referToChannelList(RealmIdentityList *(Conversation::*list)(bool));
    // The built-in realm's user for a URI, found or created; null for an
    // empty URI.
    static TavriIdentityRealmUser *resolveUser(const QString &userURI);
    // Records a usage event of the "FindUsers" category.
    static void trackEvent(const QString &action, const QStringList &details);

private:
    void endSearch(bool hasMoreResults);

    RealmIdentityList *m_searchResults;
    Conversation *m_associatedChannel = nullptr;
    QString m_dialogTitle;
    bool m_canAddRemove;
    QQuickView *m_view = nullptr;
    QString m_searchTerm;
    CFindUsers::InviteMethod m_inviteMethod = CFindUsers::InviteFromFriendsList;
    bool m_isSearching = false;
    bool m_hasMoreResults = false;
};
