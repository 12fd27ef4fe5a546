#include "permanentconversationlist.h"

#include "conversationlist.h"

PermanentConversationList::PermanentConversationList(ConversationList *conversations)
    : QSortFilterProxyModel(conversations)
{
    setDynamicSortFilter(true);
    setSourceModel(conversations);
}

void PermanentConversationList::expandItem(int itemIndex, bool refresh)
{
    // An index outside the view reaches the source as -1, which reports it.
    if (ConversationList *conversations = sourceList())
        conversations->expandItem(sourceRow(itemIndex), refresh);
}

void PermanentConversationList::collapseItem(int itemIndex, bool refresh)
{
    if (ConversationList *conversations = sourceList())
        conversations->collapseItem(sourceRow(itemIndex), refresh);
}

bool PermanentConversationList::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const QModelIndex row = sourceModel()->index(sourceRow, 0, sourceParent);
    return sourceModel()->data(row, ConversationList::IsPermanentRole).toBool();
}

ConversationList *PermanentConversationList::sourceList() const
{
    return qobject_cast<ConversationList *>(parent());
}

int PermanentConversationList::sourceRow(int itemIndex) const
{
    const QModelIndex source = mapToSource(index(itemIndex, 0));
    return source.isValid() ? source.row() : -1;
}
