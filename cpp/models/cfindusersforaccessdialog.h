#pragma once

#include "cfindusersdialog.h"

// The find-users dialog for a channel's access (member) list: a click adds
// or removes the user's membership.
class CFindUsersForAccessDialog : public CFindUsersDialog
{
    Q_OBJECT

public:
    CFindUsersForAccessDialog(Conversation *conversation, QObject *parent = nullptr);

    RealmIdentityList *getUserList() override;

protected:
    void onTileClicked(const QString &channelURI, const QString &userURI, bool bAdd) override;
};
