#pragma once

#include <QList>
#include <QObject>

// Deletes the objects of `objects` that are children of `owner` at the next
// pass of the event loop, as deleteLater() on each would, but through one
// posted event for all of them. Many objects that each wait for their own
// deferred delete make their owner's destruction quadratic: every one of them
// searches the thread's whole queue of posted events as it is destroyed. The
// objects leave `owner` at once; the others are left alone. GUI thread only,
// or the thread of `owner` and the objects.
void deleteLaterTogether(QObject *owner, const QList<QObject *> &objects);

template <typename T>
void deleteLaterTogether(QObject *owner, const QList<T *> &objects)
{
    QList<QObject *> plain;
    plain.reserve(objects.size());
    for (T *object : objects)
        plain.append(object);
    deleteLaterTogether(owner, plain);
}
