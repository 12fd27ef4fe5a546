#pragma once

#include "logcapture.h"

#include <QByteArray>
#include <QPoint>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QUrl>

class FakeContextObject;
class QQmlComponent;
class QQmlContext;
class QQmlEngine;

// QmlTestView: loads one window's (or one control's) QML the way the
// program shows it, for tests.
//
// All views share one QML engine for the process, as the program's windows
// do, so the style object (the program's StyleManager, made in that engine)
// lives across views. Each view loads its QML in a context of its own with
// "styleManager" (that style object) and "mainViewer" (the view), plus
// whatever fakes or real objects a test adds with setContextObject. Every
// log line is captured from construction on; qmlWarnings() lists those of
// warning level or above that name a "qrc:/" or inline QML location, and
// verifyNoQmlWarnings() fails the test when there is one. The items of the
// loaded QML are found by objectName; click, type and key helpers send real
// input events to the view.
//
//     QmlTestView view;
//     FakeContextObject *mainApp = view.addFake("mainApp");
//     mainApp->addMethod("trackEvent");
//     QVERIFY(view.load(QUrl("qrc:/QML/qml/tavri/Login.qml")));
//     view.click("loginButton");
//     QCOMPARE(mainApp->callCount("trackEvent"), 1);
//     QVERIFY(view.verifyNoQmlWarnings());
class QmlTestView : public QQuickView
{
    Q_OBJECT

public:
    QmlTestView();
    ~QmlTestView() override;

    // The engine every view uses.
    static QQmlEngine *sharedEngine();
    // The view's own context, in which its QML is created.
    QQmlContext *context() const { return m_context; }

    // Sets a context property of this view (before load, so bindings see it).
    void setContextObject(const QString &name, QObject *object);
    // Makes a recording fake, owned by the view, and sets it as `name`.
    FakeContextObject *addFake(const QString &name);

    // Loads the QML at url (or the QML text, which may import
    // "qrc:/QML/qml/tavri/controls"), sizes the view to the root's implicit
    // size when it has none, shows it and waits until it is exposed. False
    // (with the errors logged) when the QML did not load.
    bool load(const QUrl &url);
    bool loadQml(const QByteArray &qml);

    // The loaded root item, or the item of that objectName inside it (null
    // and a test warning when there is none).
    QQuickItem *root() const;
    QQuickItem *find(const QString &objectName) const;
    template <typename T>
    T *findObject(const QString &objectName) const
    {
        return rootObject() ? rootObject()->findChild<T *>(objectName) : nullptr;
    }

    // Input to the item of that objectName (or to the given item): a click
    // at its centre (or at `at`, in item coordinates), key presses and
    // typed text go to whatever has focus after the click.
    bool click(const QString &objectName, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void click(QQuickItem *item, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier, QPoint at = QPoint(-1, -1));
    void hover(QQuickItem *item);
    void type(const QString &text);
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Gives the item of that objectName the focus and types text into it.
    bool typeInto(const QString &objectName, const QString &text);

    // QML warnings seen so far (lines naming a QML location), and the check
    // that there are none, which prints them when it fails.
    QStringList qmlWarnings() const;
    // A warning the test provokes on purpose (a picture that fails to load);
    // lines matching it are left out of qmlWarnings().
    void expectQmlWarning(const QRegularExpression &pattern) { m_expected.append(pattern); }
    bool verifyNoQmlWarnings() const;
    LogCapture &log() { return m_log; }

    // A picture of the view (needs a real display, null offscreen).
    QImage grab();

private:
    bool create(QQmlComponent &component);
    bool finishLoad();

    QQmlContext *m_context = nullptr;

    LogCapture m_log;
    QList<QRegularExpression> m_expected;
};

// Fails the test when the view has logged a QML warning.
#define QVERIFY_NO_QML_WARNINGS(view)                                                                                  \
    QVERIFY2((view).qmlWarnings().isEmpty(), qPrintable((view).qmlWarnings().join(QLatin1Char('\n'))))
