#include "fakecontextobject.h"

#include <QJSEngine>
#include <QJSValue>
#include <QQmlEngine>

FakeContextObject::FakeContextObject(QQmlEngine *engine, QObject *parent)
    : QQmlPropertyMap(this, parent)
    , m_engine(engine)
{
}

void FakeContextObject::addMethod(const QString &name, const QVariant &result)
{
    m_results.insert(name, result);
    QQmlEngine::setObjectOwnership(this, QQmlEngine::CppOwnership);
    // A script function that hands its arguments to record(); QML sees it as
    // a method of this object.
    QJSValue factory = m_engine->evaluate(
        QStringLiteral("(function(recorder, name) { return function() {"
                       " return recorder.record(name, Array.prototype.slice.call(arguments)); }; })"));
    const QJSValue function = factory.call({m_engine->newQObject(this), QJSValue(name)});
    insert(name, QVariant::fromValue(function));
}

void FakeContextObject::setResult(const QString &name, const QVariant &result)
{
    m_results.insert(name, result);
}

QList<QVariantList> FakeContextObject::calls(const QString &method) const
{
    QList<QVariantList> found;
    for (const Call &call : m_calls) {
        if (call.method == method)
            found.append(call.arguments);
    }
    return found;
}

QVariant FakeContextObject::record(const QString &method, const QVariantList &arguments)
{
    m_calls.append(Call{method, arguments});
    emit called(method, arguments);
    return m_results.value(method);
}
