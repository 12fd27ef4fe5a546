#pragma once

#include "cfindusersdialog.h"

// The find-users dialog for a channel's moderators: a click makes the user
// a moderator or takes that away.
class CFindUsersForModeratorDialog : public CFindUsersDialog
{
    Q_OBJECT

public:
    CFindUsersForModeratorDialog(Conversation *conversation, QObject *parent = nullptr);

    RealmIdentityList *getUserList() override;

protected:
    void onTileClicked(const QString &channelURI, const QString &userURI, bool bAdd) override;
};
