#pragma once

#include "cfindusersdialog.h"

// The find-users dialog that invites users into a channel: every click
// invites; the hits are compared with the channel's invited users.
class CFindUsersForInviteFriendsDialog : public CFindUsersDialog
{
    Q_OBJECT

public:
    explicit CFindUsersForInviteFriendsDialog(QObject *parent = nullptr);

    RealmIdentityList *getUserList() override;

protected:
    void onTileClicked(const QString &channelURI, const QString &userURI, bool bAdd) override;
};
