#include "findchannels.h"

#include <QDebug>
#include <QPointer>

namespace
{

QPointer<FindChannels> s_instance;

} // namespace

FindChannels *FindChannels::getInstance(QObject *parent)
{
    if (!s_instance)
        s_instance = new FindChannels(parent);
    return s_instance;
}

FindChannels::FindChannels(QObject *parent) : QObject(parent) {}

FindChannels::~FindChannels() = default;

void FindChannels::showChannelSearch()
{
    qDebug() << "FindChannels::showChannelSearch"
             << "no channel search window in this build";
}

void FindChannels::hideChannelSearch() {}

void FindChannels::executeSearch(const QString &searchTerm, bool localOnly, bool showInactiveChannels,
                                 int maxResults)
{
    qDebug() << "FindChannels::executeSearch" << searchTerm << localOnly << showInactiveChannels << maxResults
             << "no channel search in this build";
}
