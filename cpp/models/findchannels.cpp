#include "findchannels.h"

#include <QDebug>
#include <QPointer>
#include <QQmlContext>
#include <QQuickView>
#include <QRegularExpression>

#include "conversation.h"
#include "localuser.h"
#include "programwindow.h"
#include "socialmanager.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"

namespace {

QPointer<FindChannels> s_instance;

const QUrl kFindChannelsSource(QStringLiteral("qrc:/QML/qml/tavri/FindChannels.qml"));

bool matches(Conversation *conversation, const QRegularExpression &expression)
{
    if (expression.match(conversation->getDisplayName()).hasMatch()
        || expression.match(conversation->getMessage()).hasMatch())
        return true;
    if (TavriIdentityRealmUser *owner = conversation->getOwnerIdentity()) {
        if (expression.match(owner->getDisplayName()).hasMatch())
            return true;
    }
    return expression.match(conversation->getDescription()).hasMatch();
}

} // namespace

FindChannels *FindChannels::getInstance(QObject *parent)
{
    if (!s_instance)
        new FindChannels(parent);
    return s_instance;
}

FindChannels::FindChannels(QObject *parent)
    : QObject(parent)
    , m_results(this)
{
    s_instance = this;
    m_results.setTreeMode(false);
    connectSocialManager();
}

FindChannels::~FindChannels()
{
    if (m_window) {
        disconnect(m_window, nullptr, this, nullptr);
        m_window->close();
        delete m_window;
    }
    m_results.clear();
    if (m_socialManager)
        disconnect(m_socialManager, nullptr, this, nullptr);
}

void FindChannels::connectSocialManager()
{
    QSocialManager *socialManager = QSocialManager::getInstance();
    if (!socialManager || socialManager == m_socialManager)
        return;
    m_socialManager = socialManager;
    connect(socialManager, &QSocialManager::beginChannelSearchResponse, this,
            &FindChannels::onSocialManagerBeginChannelSearchResponse);
    connect(socialManager, &QSocialManager::receivedChannelSearchResult, this,
            &FindChannels::onSocialManagerReceivedChannelSearchResult);
    connect(socialManager, &QSocialManager::endChannelSearchResponse, this,
            &FindChannels::onSocialManagerEndChannelSearchResponse);
}

void FindChannels::setHasMoreResults(bool hasMoreResults)
{
    if (m_hasMoreResults == hasMoreResults)
        return;
    m_hasMoreResults = hasMoreResults;
    emit hasMoreResultsChanged(hasMoreResults);
}

void FindChannels::setIsSearching(bool isSearching)
{
    if (m_isSearching == isSearching)
        return;
    m_isSearching = isSearching;
    emit isSearchingChanged(isSearching);
}

void FindChannels::executeSearch(const QString &searchTerm, bool localOnly, bool showInactiveChannels, int maxResults)
{
    const bool sameSearch = searchTerm == m_lastSearchTerm && showInactiveChannels == m_lastShowInactiveChannels;
    if (searchTerm != m_lastSearchTerm)
        m_lastSearchTerm = searchTerm;
    if (!sameSearch) {
        m_results.clear();
        setHasMoreResults(false);
    }
    m_lastShowInactiveChannels = showInactiveChannels;

    if (localOnly) {
        searchLocally(searchTerm);
        return;
    }

    connectSocialManager();
    if (!m_socialManager) {
        qWarning() << "FindChannels::executeSearch"
                   << "no web service: search not sent";
        return;
    }
    if (maxResults < 1) {
        qWarning() << "FindChannels::executeSearch"
                   << "page size" << maxResults << "refused, asking for 4";
        maxResults = 4;
    }
    setIsSearching(true);
    m_socialManager->requestChannelsMatching(searchTerm, showInactiveChannels, m_results.count(), maxResults,
                                             QStringList(), nullptr);
}

void FindChannels::searchLocally(const QString &searchTerm)
{
    const QRegularExpression expression(searchTerm);
    if (!expression.isValid()) {
        // A half-typed pattern finds nothing rather than everything.
        qWarning() << "FindChannels::executeSearch"
                   << "not a valid expression at offset" << expression.patternErrorOffset() << ":"
                   << expression.errorString();
        return;
    }
    LocalUser *localUser = LocalUser::getLocalUser();
    ConversationList *conversations = localUser ? localUser->getConversations() : nullptr;
    if (!conversations)
        return;
    for (int i = 0; i < conversations->count(); ++i) {
        Conversation *conversation = conversations->at(i);
        if (!conversation)
            break;
        if (matches(conversation, expression))
            m_results.addConversation(conversation, false);
    }
}

void FindChannels::onSocialManagerBeginChannelSearchResponse()
{
    // A further page is appended; any other answer starts afresh.
    if (!m_hasMoreResults)
        m_results.clear();
    m_rowsAtAnswerStart = m_results.count();
}

void FindChannels::onSocialManagerReceivedChannelSearchResult(const QString &, const QString &channelUID,
                                                              const QString &, const QString &, const QString &,
                                                              const QString &, bool, bool, const QString &,
                                                              const QString &, const QString &, bool, const QString &)
{
    if (channelUID.isEmpty()) {
        qWarning() << "FindChannels::onSocialManagerReceivedChannelSearchResult"
                   << "result without a channel UID skipped";
        return;
    }
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    Conversation *conversation = realm ? realm->getConversationByUID(channelUID) : nullptr;
    if (!conversation)
        return;
    m_results.addConversation(conversation, false);
}

void FindChannels::onSocialManagerEndChannelSearchResponse(bool hasMoreResults)
{
    if (hasMoreResults && m_results.count() == m_rowsAtAnswerStart) {
        // The next page would be asked at the same offset and come back
        // the same: the claim of more is not believed.
        qWarning() << "FindChannels::onSocialManagerEndChannelSearchResponse"
                   << "more results claimed by a page that listed none";
        hasMoreResults = false;
    }
    setHasMoreResults(hasMoreResults);
    setIsSearching(false);
}

void FindChannels::dropWindow()
{
    if (!m_window)
        return;
    QQuickView *window = m_window;
    m_window = nullptr;
    disconnect(window, nullptr, this, nullptr);
    window->hide();
    window->deleteLater();
}

void FindChannels::showChannelSearch()
{
    if (m_window) {
        m_window->hide();
        m_results.clear();
        dropWindow();
    }
    // A search whose answer never came would keep the new window's search
    // button disabled for good.
    setIsSearching(false);

    QQuickView *view = ProgramWindow::create();
    m_window = view;
    ProgramWindow::context(view)->setContextProperty(QStringLiteral("channelSearchResults"), &m_results);
    qDebug() << "FindChannels::showChannelSearch"
             << "Setting m_findChannelsWindow source to FindChannels.qml";
    ProgramWindow::load(view, kFindChannelsSource);

    connect(view, &QQuickWindow::closing, this, &FindChannels::onWindowClosing);
    connect(view, &QObject::destroyed, this, &FindChannels::onWindowDestroyed);

    view->setMinimumSize(QSize(540, 320));
    view->setTitle(tr("Find Channels"));
    view->resize(680, 550);

    ProgramWindow::show(view);
}

void FindChannels::hideChannelSearch()
{
    dropWindow();
}

void FindChannels::onWindowClosing(QQuickCloseEvent *)
{
    if (!m_window || sender() != m_window)
        return;
    // The next showChannelSearch builds a fresh window; this one goes once
    // the close event has been handled. The results stay.
    dropWindow();
}

void FindChannels::onWindowDestroyed()
{
    if (sender() == m_window)
        m_window = nullptr;
}
