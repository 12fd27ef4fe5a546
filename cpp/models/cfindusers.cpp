#include "cfindusers.h"

#include <QDebug>

#include "conversation.h"

namespace
{

QString channelName(Conversation *conversation)
{
    return conversation ? conversation->getDisplayName() : QStringLiteral("-");
}

} // namespace

CFindUsers::CFindUsers(QObject *parent) : QObject(parent) {}

CFindUsers::~CFindUsers() = default;

QQuickView *CFindUsers::getFindWindow() const
{
    return nullptr;
}

void CFindUsers::hideFindWindow() {}

void CFindUsers::showFindUsersForFriends()
{
    qDebug() << "CFindUsers::showFindUsersForFriends"
             << "no find-users window in this build";
}

void CFindUsers::showFindUsersForAccessList(Conversation *conversation)
{
    qDebug() << "CFindUsers::showFindUsersForAccessList" << channelName(conversation)
             << "no find-users window in this build";
}

void CFindUsers::showFindUsersForBannedList(Conversation *conversation)
{
    qDebug() << "CFindUsers::showFindUsersForBannedList" << channelName(conversation)
             << "no find-users window in this build";
}

void CFindUsers::showFindUsersForModeratorList(Conversation *conversation)
{
    qDebug() << "CFindUsers::showFindUsersForModeratorList" << channelName(conversation)
             << "no find-users window in this build";
}

void CFindUsers::showFindUsersForInviteFriendsToChannel(Conversation *conversation, int inviteMethod,
                                                        Tavri::RealmUserInterface *user)
{
    Q_UNUSED(user)
    qDebug() << "CFindUsers::showFindUsersForInviteFriendsToChannel" << channelName(conversation)
             << inviteMethod << "no find-users window in this build";
}
