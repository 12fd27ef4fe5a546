#include "cfindusersforinvitefriendsdialog.h"

#include "conversation.h"
#include "conversationparticipantlist.h"
#include "realmidentitylist.h"
#include "reportassertionfailure.h"

CFindUsersForInviteFriendsDialog::CFindUsersForInviteFriendsDialog(QObject *parent)
    : CFindUsersDialog(false, parent)
{
}

RealmIdentityList *CFindUsersForInviteFriendsDialog::getUserList()
{
    Conversation *conversation = getConversation();
    if (!conversation)
        return nullptr;
    RealmIdentityList *invited = conversation->getParticipants()->getInvitedIdentities();
    getSearchResults()->setReferenceList(invited);
    return invited;
}

void CFindUsersForInviteFriendsDialog::onTileClicked(const QString &channelURI, const QString &userURI, bool bAdd)
{
    // Without a channel there is nobody to invite into.
    Conversation *m_associatedChannel = getConversation();
    if (!TAVRI_CHECK(m_associatedChannel))
        return;
    // A second click invites again: an invitation cannot be taken back.
    m_associatedChannel->inviteUser(userURI);
    trackEvent(bAdd ? QStringLiteral("AddInviteFriendsToChannel") : QStringLiteral("RemoveInviteToChannel"),
               {QStringLiteral("remoteUserUri:") + userURI, QStringLiteral("u:") + channelURI});
}
