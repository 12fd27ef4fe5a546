#include "cfindusersforaccessdialog.h"

#include <QDebug>

#include "conversation.h"
#include "reportassertionfailure.h"
#include "tavriidentityrealmuser.h"

CFindUsersForAccessDialog::CFindUsersForAccessDialog(Conversation *conversation, QObject *parent)
    : CFindUsersDialog(true, parent)
{
    setConversation(conversation);
}

RealmIdentityList *CFindUsersForAccessDialog::getUserList()
{
    qDebug() << "CFindUsersForAccessDialog::getUserList";
    return referToChannelList(&Conversation::getMembers);
}

void CFindUsersForAccessDialog::onTileClicked(const QString &, const QString &userURI, bool bAdd)
{
    Conversation *m_associatedChannel = getConversation();
    TavriIdentityRealmUser *tavriUserIdentity = resolveUser(userURI);
    if (!TAVRI_CHECK(m_associatedChannel && tavriUserIdentity))
        return;
    if (bAdd)
        m_associatedChannel->addMembership(tavriUserIdentity);
    else
        m_associatedChannel->removeMembership(tavriUserIdentity);
    trackEvent(bAdd ? QStringLiteral("AddAccessList") : QStringLiteral("RemoveAccessList"),
               {QStringLiteral("remoteUserUri:") + tavriUserIdentity->getSipURI(),
                QStringLiteral("u:") + m_associatedChannel->getSipURI()});
}
