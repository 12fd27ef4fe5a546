#pragma once

// Small helpers for tests of QML windows with recording stand-ins: the log
// of the calls the stand-ins received, and finding an item by name.

#include <QQuickItem>
#include <QString>
#include <QStringList>

namespace tavritest {

// Every call of a recorded operation, as its name followed by its arguments,
// joined with "|".
class CallLog
{
public:
    void add(const QStringList &call) { m_calls.append(call.join(QLatin1Char('|'))); }
    QStringList calls() const { return m_calls; }
    // The calls whose text starts with prefix.
    QStringList matching(const QString &prefix) const
    {
        QStringList found;
        for (const QString &call : m_calls) {
            if (call.startsWith(prefix))
                found.append(call);
        }
        return found;
    }
    void clear() { m_calls.clear(); }

private:
    QStringList m_calls;
};

// The item of that name below parent, made by a Repeater or not.
inline QQuickItem *findItem(QQuickItem *parent, const QString &objectName)
{
    if (!parent)
        return nullptr;
    if (QQuickItem *found = parent->findChild<QQuickItem *>(objectName))
        return found;
    for (QQuickItem *child : parent->childItems()) {
        if (child->objectName() == objectName)
            return child;
        if (QQuickItem *found = findItem(child, objectName))
            return found;
    }
    return nullptr;
}

} // namespace tavritest
