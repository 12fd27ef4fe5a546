#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class CFindUsersDialog;
class Conversation;
#include "quickcloseevent.h"
class QQuickView;

namespace Tavri {
class RealmUserInterface;
}

// CFindUsers: the find-users windows, one per list type (friends, a
// channel's access, ban and moderator lists, invitations to a channel),
// each driven by a CFindUsersDialog that its page sees as "findInstance".
// A window and its dialog are built on first use and reused until the
// window closes; only one of them is shown at a time. The application owns
// the one instance; QML names its enumerations through the registered type
// "FindUsers". GUI thread only.
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
    void raiseFindWindow();
    // The registered dialog of a type; null when there is none.
    CFindUsersDialog *getDialog(FindUserType type) const { return m_dialogs.value(type); }

    void showFindUsersDialog(FindUserType type, Conversation *conversation, InviteMethod inviteMethod,
                             Tavri::RealmUserInterface *userRef);
    void showFindUsersForFriends();
    void showFindUsersForAccessList(Conversation *conversation);
    void showFindUsersForBannedList(Conversation *conversation);
    void showFindUsersForModeratorList(Conversation *conversation);
    void showFindUsersForInviteFriendsToChannel(Conversation *conversation, int inviteMethod,
                                                Tavri::RealmUserInterface *user);

public slots:
    void onFindWindowClosing(QQuickCloseEvent *close);

private:
    CFindUsersDialog *createDialog(FindUserType type, Conversation *conversation);
    // Takes a dialog out of the registry and deletes it and its window
    // (when it has one) later.
    void discard(CFindUsersDialog *dialog, QQuickView *view);

    QPointer<QQuickView> m_findWindow;
    QMap<int, CFindUsersDialog *> m_dialogs;
};
