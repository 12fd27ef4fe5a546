#include "deletelatertogether.h"

#include <QSet>

void deleteLaterTogether(QObject *owner, const QList<QObject *> &objects)
{
    if (!owner || objects.isEmpty())
        return;
    const QSet<QObject *> leaving(objects.cbegin(), objects.cend());
    auto *holder = new QObject;
    holder->moveToThread(owner->thread());
    // In the owner's order of children: each one leaving is then found near
    // the front of that list, so moving them all stays linear.
    const QObjectList children = owner->children();
    for (QObject *child : children) {
        if (leaving.contains(child))
            child->setParent(holder);
    }
    if (holder->children().isEmpty())
        delete holder;
    else
        holder->deleteLater();
}
