#include "viewunloader.h"

#include <QQuickView>
#include <QUrl>

void ViewUnloader::unloadLater(QQuickView *view)
{
    if (!view)
        return;
    // Queued with the view as context: dropped when the view goes first.
    QMetaObject::invokeMethod(
        view,
        [view] {
            if (!view->isVisible())
                view->setSource(QUrl());
        },
        Qt::QueuedConnection);
}
