#include "cfindusersformoderatordialog.h"

#include <QDebug>

#include "conversation.h"
#include "reportassertionfailure.h"
#include "tavriidentityrealmuser.h"

CFindUsersForModeratorDialog::CFindUsersForModeratorDialog(Conversation *conversation, QObject *parent)
    : CFindUsersDialog(true, parent)
{
    setConversation(conversation);
}

RealmIdentityList *CFindUsersForModeratorDialog::getUserList()
{
    qDebug() << "CFindUsersForModeratorDialog::getUserList";
    return referToChannelList(&Conversation::getModerators);
}

void CFindUsersForModeratorDialog::onTileClicked(const QString &, const QString &userURI, bool bAdd)
{
    Conversation *m_associatedChannel = getConversation();
    if (!TAVRI_CHECK(m_associatedChannel))
        return;
    TavriIdentityRealmUser *user = resolveUser(userURI);
    if (bAdd)
        m_associatedChannel->addModeratorship(user);
    else
        m_associatedChannel->removeModeratorship(user);
    trackEvent(bAdd ? QStringLiteral("AddModeratorList") : QStringLiteral("RemoveModeratorList"),
               {QStringLiteral("remoteUserUri:") + userURI});
}
