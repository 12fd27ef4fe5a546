#pragma once

class QQuickView;

// ViewUnloader: empties a view of its QML once the event in hand has been
// handled. A window's closing signal may come from one of the window's own
// QML handlers (a close button calls mainViewer.close()), and deleting the
// QML objects while that handler runs aborts the program. A view that is
// shown again meanwhile keeps its QML; a view deleted meanwhile is left
// alone. GUI thread only.
class ViewUnloader
{
public:
    static void unloadLater(QQuickView *view);

private:
    ViewUnloader() = delete;
};
