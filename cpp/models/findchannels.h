#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "conversationlist.h"
#include "quickcloseevent.h"

class QQuickView;
class QSocialManager;

// FindChannels: the "Find Channels" window and its flat list of results,
// one object in the program, published to every window as "findChannels".
//
// A search asks the web service for channels page by page (a further page is
// asked while the term and the inactive-channels flag stay the same and the
// service said there is more), or, when local, matches the local user's own
// conversations by a case-sensitive regular expression. Results are the
// realm's Conversation objects, held by pointer in insertion order.
//
// GUI thread only. The web-service client must exist before the first
// search; its channel-search signals feed the results.
class FindChannels : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool hasMoreResults READ hasMoreResults NOTIFY hasMoreResultsChanged)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)

public:
    // The one instance, created with parent on first use.
    static FindChannels *getInstance(QObject *parent = nullptr);
    ~FindChannels() override;

    bool hasMoreResults() const { return m_hasMoreResults; }
    bool isSearching() const { return m_isSearching; }
    ConversationList *results() { return &m_results; }
    // The search window while it exists.
    QQuickView *window() const { return m_window; }

    // Replaces any open window with a fresh one and empty results.
    Q_INVOKABLE void showChannelSearch();
    // Hides the window and deletes it later; the results stay.
    Q_INVOKABLE void hideChannelSearch();
    // One search, or the next page of the previous one.
    Q_INVOKABLE void executeSearch(const QString &searchTerm, bool localOnly = false, bool showInactiveChannels = false,
                                   int maxResults = 4);

signals:
    void hasMoreResultsChanged(bool f_hasMoreResults);
    void isSearchingChanged(bool f_isSearching);

protected slots:
    void onSocialManagerBeginChannelSearchResponse();
    void onSocialManagerReceivedChannelSearchResult(const QString &channelURI, const QString &channelUID,
                                                    const QString &channelDisplayName, const QString &channelImageURI,
                                                    const QString &channelMessage, const QString &channelDescription,
                                                    bool isPublic, bool hasPassword, const QString &channelDialinCode,
                                                    const QString &channelOwnerUID, const QString &channelParentUID,
                                                    bool hasChildren, const QString &lastOn);
    void onSocialManagerEndChannelSearchResponse(bool hasMoreResults);
    void onWindowClosing(QQuickCloseEvent *close);
    void onWindowDestroyed();

private:
    explicit FindChannels(QObject *parent);

    void connectSocialManager();
    void searchLocally(const QString &searchTerm);
    void setHasMoreResults(bool hasMoreResults);
    void setIsSearching(bool isSearching);
    // Hides the window, deletes it later and forgets it.
    void dropWindow();

    ConversationList m_results;
    bool m_hasMoreResults = false;
    bool m_isSearching = false;
    QString m_lastSearchTerm;
    bool m_lastShowInactiveChannels = false;
    // Rows when the current answer began: a page that adds none cannot be
    // followed by another.
    int m_rowsAtAnswerStart = 0;
    QPointer<QQuickView> m_window;
    QPointer<QSocialManager> m_socialManager;
};
