#pragma once

#include <QObject>
#include <QString>

class Conversation;
class QQuickView;

namespace Tavri
{
class RealmUserInterface;
}

// CFindUsers: the find-users windows, one per list type (friends, a
// channel's access, ban and moderator lists, invitations to a channel). The
// application owns one; QML names its enumerations through the registered
// type "FindUsers".
//
// The windows themselves are not built yet: the show operations log their
// request and open nothing, and there is never a find window.
class CFindUsers : public QObject
{
    Q_OBJECT

public:
    enum FindUserType {
        FindUsersForFriends = 0,
        FindUsersForAccessList = 1,
        FindUsersForBannedList = 2,
        FindUsersForModeratorList = 3,
        FindUsersForInviteFriendsToChannel = 4
    };
    Q_ENUM(FindUserType)

    enum InviteMethod {
        InviteFromFriendsList = 1,
        InviteFromChannel = 2,
        InviteFromJoinedChannel = 3,
        InviteFromPrivateChat = 4
    };
    Q_ENUM(InviteMethod)

    explicit CFindUsers(QObject *parent = nullptr);
    ~CFindUsers() override;

    // The window shown last and not closed since; null when there is none.
    QQuickView *getFindWindow() const;
    void hideFindWindow();

    void showFindUsersForFriends();
    void showFindUsersForAccessList(Conversation *conversation);
    void showFindUsersForBannedList(Conversation *conversation);
    void showFindUsersForModeratorList(Conversation *conversation);
    void showFindUsersForInviteFriendsToChannel(Conversation *conversation, int inviteMethod,
                                                Tavri::RealmUserInterface *user);
};
