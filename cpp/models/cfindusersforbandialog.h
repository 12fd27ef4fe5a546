#pragma once

#include "cfindusersdialog.h"

// The find-users dialog for a channel's ban list: a click bans or unbans
// the user.
class CFindUsersForBanDialog : public CFindUsersDialog
{
    Q_OBJECT

public:
    CFindUsersForBanDialog(Conversation *conversation, QObject *parent = nullptr);

    RealmIdentityList *getUserList() override;

protected:
    void onTileClicked(const QString &channelURI, const QString &userURI, bool bAdd) override;
};
