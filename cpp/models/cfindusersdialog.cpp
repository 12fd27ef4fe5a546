#include "cfindusersdialog.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonObject>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>

#include "contact.h"
#include "contactgroup.h"
#include "contactgrouplist.h"
#include "conversation.h"
#include "localuser.h"
#include "realmidentitylist.h"
#include "realmuserinterface.h"
#include "socialmanager.h"
#include "tavriapplication.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"

namespace {

bool moreFlag(const QJsonValue &more)
{
    if (more.isBool())
        return more.toBool();
    return more.isString() && (more.toString() == QLatin1String("true") || more.toString() == QLatin1String("t"));
}

} // namespace

CFindUsersDialog::CFindUsersDialog(bool canAddRemove, QObject *parent)
    : JsonReplyHandler(parent)
    , m_searchResults(new RealmIdentityList(this))
    , m_canAddRemove(canAddRemove)
{
}

CFindUsersDialog::~CFindUsersDialog()
{
    if (m_view)
        disconnect(m_view, &QQuickWindow::closing, this, &CFindUsersDialog::onViewClosing);
    if (m_associatedChannel)
        disconnect(m_associatedChannel, &Conversation::destroying, this, &CFindUsersDialog::onConversationDestroying);
}

void CFindUsersDialog::setDialogTitle(const QString &title)
{
    m_dialogTitle = title;
    emit dialogTitleChanged(title);
}

void CFindUsersDialog::setConversation(Conversation *conversation)
{
    if (conversation == m_associatedChannel)
        return;
    if (m_associatedChannel)
        disconnect(m_associatedChannel, &Conversation::destroying, this, &CFindUsersDialog::onConversationDestroying);
    m_associatedChannel = conversation;
    if (conversation)
        connect(conversation, &Conversation::destroying, this, &CFindUsersDialog::onConversationDestroying);
    emit conversationChanged(conversation);
}

void CFindUsersDialog::setView(QQuickView *view)
{
    if (m_view)
        disconnect(m_view, &QQuickWindow::closing, this, &CFindUsersDialog::onViewClosing);
    m_view = view;
    if (view)
        connect(view, &QQuickWindow::closing, this, &CFindUsersDialog::onViewClosing);
}

bool CFindUsersDialog::searchForUsers(const QString &searchTerm, bool showInactiveUsers, int offset, int maxResults)
{
    if (searchTerm.isEmpty())
        return false;
    m_searchTerm = searchTerm;
    if (offset == 0)
        m_searchResults->clear();
    QSocialManager *socialManager = QSocialManager::getInstance();
    if (!socialManager) {
        qWarning() << "CFindUsersDialog::searchForUsers"
                   << "no web service: search not sent";
        return false;
    }
    socialManager->requestUserInfoPublicByName(searchTerm, showInactiveUsers, offset, maxResults, this);
    m_isSearching = true;
    emit isSearchingChanged(true);
    return true;
}

void CFindUsersDialog::searchForFriends(const QString &searchTerm, bool showOfflineFriends)
{
    m_searchResults->clear();
    // The look-ahead refuses an occurrence inside a tag or before a closing
    // tag, so that marked-up names match on their text only.
    const QRegularExpression pattern(searchTerm + QStringLiteral("(?![^<]*>|[^<>]*</)"),
                                     QRegularExpression::CaseInsensitiveOption);
    if (!pattern.isValid()) {
        qWarning() << "CFindUsersDialog::searchForFriends"
                   << "not a valid expression:" << pattern.errorString();
        return;
    }
    auto matches = [&pattern](const QString &text) { return pattern.match(text).hasMatch(); };
    ContactGroupList *groups = LocalUser::getLocalUser()->getContactGroups();
    if (!groups)
        return;
    for (int row = 0; row < groups->count(); ++row) {
        ContactGroup *group = groups->at(row);
        if (!group)
            continue;
        for (Contact *contact : group->getContacts()) {
            if (!contact)
                continue;
            for (Tavri::RealmUserInterface *identity : contact->getIdentities()->getIdentityList()) {
                if (!identity || !matches(identity->getDisplayName()))
                    continue;
                if (!showOfflineFriends && identity->getPresenceState() == Tavri::RealmUserInterface::Offline)
                    continue;
                if (auto *user = qobject_cast<TavriIdentityRealmUser *>(identity->getQObject())) {
                    if (!matches(user->getDescription()) && !matches(user->getUid()) && !matches(user->getLocation())
                        && !matches(user->getUname()))
                        continue;
                }
                m_searchResults->addIdentity(identity);
            }
        }
    }
}

void CFindUsersDialog::reset()
{
    m_searchResults->clear();
}

bool CFindUsersDialog::handleReply(const QString &method, const QJsonDocument &reply)
{
    if (method != QLatin1String("GetUserInfoPublicByName"))
        qDebug() << "CFindUsersDialog::handleReply"
                 << "Wrong reply type !" << method;
    QSocialManager *socialManager = QSocialManager::getInstance();
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    auto addEntry = [&](const QJsonValue &element) {
        if (!element.isObject()) {
            qWarning() << "CFindUsersDialog::handleReply"
                       << "result that is not an object skipped";
            return;
        }
        const QString uri = socialManager ? socialManager->handleUserInfoEntry(element.toObject()) : QString();
        if (uri.isEmpty() || !realm)
            return;
        if (Tavri::RealmUserInterface *user = realm->requestUserInfoUpdateByURI(uri))
            m_searchResults->addIdentity(user);
    };

    bool hasMore = false;
    if (reply.isObject()) {
        const QJsonObject object = reply.object();
        const QJsonValue results = object.value(QStringLiteral("results"));
        if (results.isArray()) {
            for (const QJsonValue &element : results.toArray())
                addEntry(element);
            hasMore = moreFlag(object.value(QStringLiteral("more")));
        }
    } else if (reply.isArray()) {
        for (const QJsonValue &element : reply.array())
            addEntry(element);
    }
    endSearch(hasMore);
    return true;
}

void CFindUsersDialog::onError(const QNetworkReply::NetworkError &errorCode)
{
    qWarning() << "CFindUsersDialog::onError"
               << "search failed:" << errorCode;
    if (m_view) {
        if (QQuickItem *root = m_view->rootObject())
            root->setProperty("isSearching", false);
    }
    m_isSearching = false;
    emit isSearchingChanged(false);
}

void CFindUsersDialog::endSearch(bool hasMoreResults)
{
    if (m_view) {
        if (QQuickItem *root = m_view->rootObject()) {
            root->setProperty("hasMoreResults", hasMoreResults);
            root->setProperty("isSearching", false);
        }
    }
    m_isSearching = false;
    emit isSearchingChanged(false);
    if (m_hasMoreResults != hasMoreResults) {
        m_hasMoreResults = hasMoreResults;
        emit hasMoreResultsChanged(hasMoreResults);
    }
}

void CFindUsersDialog::onViewClosing(QQuickCloseEvent *)
{
    setView(nullptr);
}

void CFindUsersDialog::onConversationDestroying()
{
    if (!m_associatedChannel || sender() != m_associatedChannel)
        return;
    disconnect(m_associatedChannel, &Conversation::destroying, this, &CFindUsersDialog::onConversationDestroying);
    m_associatedChannel = nullptr;
    if (QQuickView *view = m_view) {
        setView(nullptr);
        view->close();
    }
}

RealmIdentityList *CFindUsersDialog::referToChannelList(RealmIdentityList *(Conversation::*list)(bool))
{
    if (!m_associatedChannel)
        return nullptr;
    RealmIdentityList *reference = (m_associatedChannel->*list)(true);
    m_searchResults->setReferenceList(reference);
    return reference;
}

TavriIdentityRealmUser *CFindUsersDialog::resolveUser(const QString &userURI)
{
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    if (userURI.isEmpty() || !realm)
        return nullptr;
    Tavri::RealmUserInterface *user = realm->requestUserInfoUpdateByURI(userURI);
    return user ? qobject_cast<TavriIdentityRealmUser *>(user->getQObject()) : nullptr;
}

void CFindUsersDialog::trackEvent(const QString &action, const QStringList &details)
{
    if (TavriApplication *app = TavriApplication::instance())
        app->trackEvent(QStringLiteral("FindUsers"), action, details);
}
