#pragma once

#include <QSortFilterProxyModel>

class ConversationList;

// PermanentConversationList: the permanent rows of one ConversationList.
//
// A filtering view, with the source list as both its source model and its
// object parent, that shows the rows whose isPermanent role reads true: the
// built-in realm's channels and every row of another realm. It follows the
// source's row and role changes. Row numbers given to expandItem and
// collapseItem are rows of this view. Keeps no state of its own; GUI thread
// only.
class PermanentConversationList : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit PermanentConversationList(ConversationList *conversations);

    Q_INVOKABLE void expandItem(int itemIndex, bool refresh = true);
    Q_INVOKABLE void collapseItem(int itemIndex, bool refresh = true);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    ConversationList *sourceList() const;
    // The source row that the view's row shows; -1 outside the view.
    int sourceRow(int itemIndex) const;
};
