#include "cfindusers.h"

#include <QDebug>
#include <QQmlContext>
#include <QQuickView>

#include "cfindusersforaccessdialog.h"
#include "cfindusersforbandialog.h"
#include "cfindusersforfriendsdialog.h"
#include "cfindusersforinvitefriendsdialog.h"
#include "cfindusersformoderatordialog.h"
#include "conversation.h"
#include "programwindow.h"
#include "realmidentitylist.h"
#include "realmuserinterface.h"
#include "reportassertionfailure.h"
#include "tavriidentityrealm.h"
#include "voicemanager.h"

namespace {

const QUrl kFindUsersSource(QStringLiteral("qrc:/QML/qml/tavri/FindUsers.qml"));

// A title naming the channel; without one the name is left empty.
QString channelTitle(const char *text, Conversation *m_associatedChannel)
{
    TAVRI_CHECK(m_associatedChannel);
    return CFindUsers::tr(text).arg(m_associatedChannel ? m_associatedChannel->getDisplayName() : QString());
}

} // namespace

CFindUsers::CFindUsers(QObject *parent)
    : QObject(parent)
{
}

CFindUsers::~CFindUsers()
{
    qDebug() << "~CFindUsers() - begin";
    const QList<CFindUsersDialog *> dialogs = m_dialogs.values();
    m_dialogs.clear();
    for (CFindUsersDialog *dialog : dialogs) {
        if (QQuickView *view = dialog->getView()) {
            disconnect(view, nullptr, this, nullptr);
            dialog->setView(nullptr);
            delete view;
        }
        delete dialog;
    }
    qDebug() << "~CFindUsers() - end";
}

QQuickView *CFindUsers::getFindWindow() const
{
    return m_findWindow;
}

void CFindUsers::hideFindWindow()
{
    if (m_findWindow)
        m_findWindow->hide();
}

void CFindUsers::raiseFindWindow()
{
    if (m_findWindow)
        m_findWindow->raise();
}

void CFindUsers::showFindUsersForFriends()
{
    showFindUsersDialog(FindUsersForFriends, nullptr, InviteFromFriendsList, nullptr);
}

void CFindUsers::showFindUsersForAccessList(Conversation *conversation)
{
    showFindUsersDialog(FindUsersForAccessList, conversation, InviteFromFriendsList, nullptr);
}

void CFindUsers::showFindUsersForBannedList(Conversation *conversation)
{
    showFindUsersDialog(FindUsersForBannedList, conversation, InviteFromFriendsList, nullptr);
}

void CFindUsers::showFindUsersForModeratorList(Conversation *conversation)
{
    showFindUsersDialog(FindUsersForModeratorList, conversation, InviteFromFriendsList, nullptr);
}

void CFindUsers::showFindUsersForInviteFriendsToChannel(Conversation *conversation, int inviteMethod,
                                                        Tavri::RealmUserInterface *user)
{
    showFindUsersDialog(FindUsersForInviteFriendsToChannel, conversation, static_cast<InviteMethod>(inviteMethod),
                        user);
}

CFindUsersDialog *CFindUsers::createDialog(FindUserType type, Conversation *conversation)
{
    switch (type) {
    case FindUsersForFriends:
        return new CFindUsersForFriendsDialog(this);
    case FindUsersForAccessList:
        return new CFindUsersForAccessDialog(conversation, this);
    case FindUsersForBannedList:
        return new CFindUsersForBanDialog(conversation, this);
    case FindUsersForModeratorList:
        return new CFindUsersForModeratorDialog(conversation, this);
    case FindUsersForInviteFriendsToChannel:
        return new CFindUsersForInviteFriendsDialog(this);
    }
    return nullptr;
}

void CFindUsers::showFindUsersDialog(FindUserType type, Conversation *conversation, InviteMethod inviteMethod,
                                     Tavri::RealmUserInterface *userRef)
{
    qDebug() << "CFindUsers::showFindUsersDialog" << type << inviteMethod
             << (conversation ? conversation->getDisplayName() : QStringLiteral("0"))
             << (userRef ? userRef->getDisplayName() : QStringLiteral("0"));
    if (type < FindUsersForFriends || type > FindUsersForInviteFriendsToChannel) {
        qDebug() << "CFindUsers::showFindUsersDialog called with invalid type" << static_cast<int>(type);
        return;
    }

    CFindUsersDialog *dialog = m_dialogs.value(type);
    if (dialog && !dialog->getView()) {
        // Its window went with its channel: start over with a new one.
        discard(dialog, nullptr);
        dialog = nullptr;
    }
    QQuickView *view = dialog ? dialog->getView() : nullptr;
    if (!dialog) {
        view = ProgramWindow::create();
        dialog = createDialog(type, conversation);
        dialog->setInviteMethod(inviteMethod);
        dialog->setView(view);
        QQmlContext *context = ProgramWindow::context(view);
        context->setContextProperty(QStringLiteral("findInstance"), dialog);
        context->setContextProperty(QStringLiteral("isInviteFriends"), type == FindUsersForInviteFriendsToChannel);
        context->setContextProperty(QStringLiteral("userRef"), QVariant::fromValue<QObject *>(nullptr));
        m_dialogs.insert(type, dialog);
        qDebug() << "CFindUsers::showFindUsersDialog"
                 << "Setting pFindUsersWindow source to FindUsers.qml";
        ProgramWindow::load(view, kFindUsersSource);
        view->resize(640, 550);
        connect(view, &QQuickWindow::closing, this, &CFindUsers::onFindWindowClosing);
    }
    QQmlContext *context = ProgramWindow::context(view);

    dialog->getSearchResults()->clear();
    dialog->setConversation(conversation);

    if (type == FindUsersForInviteFriendsToChannel) {
        if (!conversation) {
            const QString transmitting =
                VoiceManager::getInstance() ? VoiceManager::getInstance()->getTransmittingChannel() : QString();
            if (!transmitting.isEmpty()) {
                if (TavriIdentityRealm *realm = TavriIdentityRealm::getInstance())
                    dialog->setConversation(realm->getConversation(transmitting));
            }
        }
        if (userRef) {
            context->setContextProperty(QStringLiteral("userRef"), QVariant::fromValue(userRef->getQObject()));
            dialog->getSearchResults()->addIdentity(userRef);
        } else {
            context->setContextProperty(QStringLiteral("userRef"), QVariant::fromValue<QObject *>(nullptr));
        }
    }

    QString title = tr("Find friends");
    QString buttonTextAdd = tr("Add");
    QString buttonTextRemove = tr("Remove");
    QString statusTextAdd = tr("added");
    QString statusTextRemove = tr("removed");
    switch (type) {
    case FindUsersForAccessList:
        dialog->setConversation(conversation);
        title = channelTitle(QT_TR_NOOP("Edit members: %1"), dialog->getConversation());
        break;
    case FindUsersForBannedList:
        dialog->setConversation(conversation);
        title = channelTitle(QT_TR_NOOP("Edit banned users: %1"), dialog->getConversation());
        break;
    case FindUsersForModeratorList:
        dialog->setConversation(conversation);
        title = channelTitle(QT_TR_NOOP("Edit moderators: %1"), dialog->getConversation());
        break;
    case FindUsersForInviteFriendsToChannel:
        title = tr("Invite / Join");
        buttonTextAdd = tr("Invite");
        buttonTextRemove = QString();
        statusTextAdd = tr("invited");
        statusTextRemove = tr("uninvited");
        break;
    case FindUsersForFriends:
        break;
    }
    context->setContextProperty(QStringLiteral("buttonTextAdd"), buttonTextAdd);
    context->setContextProperty(QStringLiteral("buttonTextRemove"), buttonTextRemove);
    context->setContextProperty(QStringLiteral("statusTextAdd"), statusTextAdd);
    context->setContextProperty(QStringLiteral("statusTextRemove"), statusTextRemove);

    dialog->setDialogTitle(title);
    view->setTitle(title);

    if (m_findWindow)
        m_findWindow->hide();
    m_findWindow = view;
    view->setTitle(dialog->getDialogTitle());
    ProgramWindow::show(view);
}

void CFindUsers::discard(CFindUsersDialog *dialog, QQuickView *view)
{
    for (auto it = m_dialogs.begin(); it != m_dialogs.end(); ++it) {
        if (it.value() == dialog) {
            m_dialogs.erase(it);
            break;
        }
    }
    if (!view) {
        dialog->deleteLater();
        return;
    }
    // The dialog goes with its window, after the page that binds to it.
    dialog->setView(nullptr);
    dialog->setParent(view);
    disconnect(view, nullptr, this, nullptr);
    view->hide();
    view->deleteLater();
}

void CFindUsers::onFindWindowClosing(QQuickCloseEvent *)
{
    auto *view = qobject_cast<QQuickView *>(sender());
    if (!view) {
        qDebug() << "CFindUsers::onFindWindowClosing() called from something unexpected..."
                 << (sender() ? sender()->metaObject()->className() : "null");
        return;
    }
    disconnect(view, &QQuickWindow::closing, this, &CFindUsers::onFindWindowClosing);
    if (m_findWindow == view)
        m_findWindow = nullptr;
    QQmlContext *context = ProgramWindow::context(view);
    auto *dialog = qobject_cast<CFindUsersDialog *>(
        context ? context->contextProperty(QStringLiteral("findInstance")).value<QObject *>() : nullptr);
    // The window goes once its close event has been handled.
    if (dialog)
        discard(dialog, view);
    else
        view->deleteLater();
}
