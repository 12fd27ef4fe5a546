#pragma once

#include <QVector>
#include <Qt>

// In the list models Qt::DisplayRole answers what one named role answers (a
// display name, say). A change of that role is announced for both, so that
// views bound to either see it: returns roles with Qt::DisplayRole added when
// shownRole is among them. An empty list (every role) is returned as it is.
inline QVector<int> withDisplayRole(QVector<int> roles, int shownRole)
{
    if (roles.contains(shownRole) && !roles.contains(Qt::DisplayRole))
        roles.append(Qt::DisplayRole);
    return roles;
}
