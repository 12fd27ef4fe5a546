#include "cfindusersforfriendsdialog.h"

#include <QDebug>

#include "localuser.h"

CFindUsersForFriendsDialog::CFindUsersForFriendsDialog(QObject *parent)
    : CFindUsersDialog(true, parent)
    , m_dampener(3000)
{
    m_dampener.setInterval(1);
    connect(&m_dampener, &StateChangeDampener::stateChanged, this,
            &CFindUsersForFriendsDialog::onStateChangeDampenerStateChanged);
}

RealmIdentityList *CFindUsersForFriendsDialog::getUserList()
{
    qDebug() << "CFindUsersForFriendsDialog::getUserList";
    return getSearchResults();
}

void CFindUsersForFriendsDialog::onTileClicked(const QString &, const QString &userURI, bool bAdd)
{
    m_dampener.setState(userURI, bAdd);
}

void CFindUsersForFriendsDialog::onFlush()
{
    m_dampener.flush();
}

void CFindUsersForFriendsDialog::onStateChangeDampenerStateChanged(const QString &userUri, bool bAdd)
{
    LocalUser *localUser = LocalUser::getLocalUser();
    if (bAdd)
        localUser->requestAddFriend(userUri);
    else
        localUser->requestRemoveFriend(userUri);
    trackEvent(bAdd ? QStringLiteral("AddFriendList") : QStringLiteral("RemoveFriendList"),
               {QStringLiteral("remoteUserUri:") + userUri});
}
