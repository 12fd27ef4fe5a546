#pragma once

#include <QList>
#include <QPair>
#include <QQmlPropertyMap>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

class QQmlEngine;

// A stand-in for a context object of the QML (mainApp, localUser,
// voiceManager...): properties are plain values that QML reads, writes and
// binds to, and methods are recorded with their arguments and answer a
// preset value. Add what the QML under test uses, then read calls().
//
//     FakeContextObject mainApp(view.engine());
//     mainApp.addMethod("trackEvent");
//     mainApp.addMethod("getAvailableStyles", QStringList{"Default"});
//     mainApp.insert("applicationVersion", "1.2.3");
//     view.setContextObject("mainApp", &mainApp);
class FakeContextObject : public QQmlPropertyMap
{
    Q_OBJECT

public:
    struct Call {
        QString method;
        QVariantList arguments;
    };

    explicit FakeContextObject(QQmlEngine *engine, QObject *parent = nullptr);

    // A method QML can call as object.name(...): each call is recorded and
    // returns `result` (as set now or later with setResult).
    void addMethod(const QString &name, const QVariant &result = QVariant());
    void setResult(const QString &name, const QVariant &result);

    QList<Call> calls() const { return m_calls; }
    // The calls of one method, each its list of arguments, in call order.
    QList<QVariantList> calls(const QString &method) const;
    int callCount(const QString &method) const { return calls(method).size(); }
    void clearCalls() { m_calls.clear(); }

    // Called by the methods' script wrappers.
    Q_INVOKABLE QVariant record(const QString &method, const QVariantList &arguments);

signals:
    void called(const QString &method, const QVariantList &arguments);

private:
    QQmlEngine *m_engine;
    QList<Call> m_calls;
    QVariantMap m_results;
};
