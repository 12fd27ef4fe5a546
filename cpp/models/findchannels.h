#pragma once

#include <QObject>
#include <QString>

// FindChannels: the channel search window and its results, one object in
// the program, published to every window as "findChannels".
//
// The search itself is not built yet: the operations log their request, and
// nothing is ever searching or has more results.
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

    Q_INVOKABLE void showChannelSearch();
    Q_INVOKABLE void hideChannelSearch();
    Q_INVOKABLE void executeSearch(const QString &searchTerm, bool localOnly = false,
                                   bool showInactiveChannels = false, int maxResults = 4);

signals:
    void hasMoreResultsChanged(bool f_hasMoreResults);
    void isSearchingChanged(bool f_isSearching);

private:
    explicit FindChannels(QObject *parent);

    bool m_hasMoreResults = false;
    bool m_isSearching = false;
};
