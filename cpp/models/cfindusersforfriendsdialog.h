#pragma once

#include "cfindusersdialog.h"
#include "statechangedampener.h"

// The find-users dialog for the local user's friends. Clicks on a user are
// dampened: within one quiet millisecond only the last one counts, and the
// friend request and its usage event follow once it settles (or when the
// page flushes on closing). The hits are their own reference list: a hit
// counts as listed through its contact flag.
class CFindUsersForFriendsDialog : public CFindUsersDialog
{
    Q_OBJECT

public:
    explicit CFindUsersForFriendsDialog(QObject *parent = nullptr);

    RealmIdentityList *getUserList() override;
    bool isSearchFriend() const override { return true; }

public slots:
    void onStateChangeDampenerStateChanged(const QString &userUri, bool bAdd);

protected:
    void onTileClicked(const QString &channelURI, const QString &userURI, bool bAdd) override;
    void onFlush() override;

private:
    StateChangeDampener m_dampener;
};
