#include "cfindusersforbandialog.h"

#include <QDebug>

#include "conversation.h"
#include "reportassertionfailure.h"
#include "tavriidentityrealmuser.h"

CFindUsersForBanDialog::CFindUsersForBanDialog(Conversation *conversation, QObject *parent)
    : CFindUsersDialog(true, parent)
{
    setConversation(conversation);
}

RealmIdentityList *CFindUsersForBanDialog::getUserList()
{
    qDebug() << "CFindUsersForBanDialog::getUserList";
    return referToChannelList(&Conversation::getBanned);
}

void CFindUsersForBanDialog::onTileClicked(const QString &channelURI, const QString &userURI, bool bAdd)
{
    Conversation *m_associatedChannel = getConversation();
    if (!TAVRI_CHECK(m_associatedChannel))
        return;
    TavriIdentityRealmUser *user = resolveUser(userURI);
    if (bAdd)
        m_associatedChannel->banUser(user);
    else
        m_associatedChannel->unbanUser(user);
    trackEvent(bAdd ? QStringLiteral("AddBannedList") : QStringLiteral("RemoveBannedList"),
               {QStringLiteral("remoteUserUri:") + userURI, QStringLiteral("u:") + channelURI});
}
