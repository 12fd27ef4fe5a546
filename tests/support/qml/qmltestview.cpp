#include "qmltestview.h"

#include "fakecontextobject.h"
#include "stylemanager.h"

#include <QGuiApplication>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTest>

#include <algorithm>

QQmlEngine *QmlTestView::sharedEngine()
{
    static QPointer<QQmlEngine> engine;
    if (!engine) {
        engine = new QQmlEngine;
        // The engine's picture reader thread must stop while the application
        // still delivers events: delete it first thing when the application
        // object goes.
        qAddPostRoutine([] { delete engine.data(); });
    }
    return engine;
}

QmlTestView::QmlTestView()
    : QQuickView(sharedEngine(), nullptr)
    , m_log(LogCapture::ForwardWarnings)
{
    m_context = new QQmlContext(engine()->rootContext(), this);
    setResizeMode(QQuickView::SizeRootObjectToView);
    StyleManager *styles = StyleManager::getInstance(engine());
    m_context->setContextProperty(QStringLiteral("styleManager"), styles ? styles->style() : nullptr);
    m_context->setContextProperty(QStringLiteral("mainViewer"), this);
}

QmlTestView::~QmlTestView()
{
    // Tear the QML down while the context objects it binds to still live,
    // and let the scene graph release the textures of the items it drew.
    setSource(QUrl());
    releaseResources();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void QmlTestView::setContextObject(const QString &name, QObject *object)
{
    m_context->setContextProperty(name, object);
}

FakeContextObject *QmlTestView::addFake(const QString &name)
{
    auto *fake = new FakeContextObject(engine(), this);
    setContextObject(name, fake);
    return fake;
}

bool QmlTestView::load(const QUrl &url)
{
    QQmlComponent component(engine(), url);
    return create(component);
}

bool QmlTestView::loadQml(const QByteArray &qml)
{
    QQmlComponent component(engine());
    component.setData(qml, QUrl(QStringLiteral("qrc:/QML/qml/tavri/test/Inline.qml")));
    return create(component);
}

bool QmlTestView::create(QQmlComponent &component)
{
    if (component.isError()) {
        qWarning().noquote() << component.errorString();
        return false;
    }
    QObject *object = component.create(m_context);
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item) {
        qWarning().noquote() << "QmlTestView: the QML's root is not an item" << component.errorString();
        delete object;
        return false;
    }
    setContent(component.url(), nullptr, item);
    return finishLoad();
}

bool QmlTestView::finishLoad()
{
    QQuickItem *item = rootObject();
    if (!item)
        return false;
    const int width = item->width() > 0 ? int(item->width()) : int(item->implicitWidth());
    const int height = item->height() > 0 ? int(item->height()) : int(item->implicitHeight());
    resize(qMax(width, 50), qMax(height, 50));
    show();
    requestActivate();
    return QTest::qWaitForWindowExposed(this) && QTest::qWaitForWindowActive(this);
}

QQuickItem *QmlTestView::root() const
{
    return rootObject();
}

QQuickItem *QmlTestView::find(const QString &objectName) const
{
    QQuickItem *item = rootObject() ? rootObject()->findChild<QQuickItem *>(objectName) : nullptr;
    if (!item)
        qWarning() << "QmlTestView: no item named" << objectName;
    return item;
}

bool QmlTestView::click(const QString &objectName, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    QQuickItem *item = find(objectName);
    if (!item)
        return false;
    click(item, button, modifiers);
    return true;
}

void QmlTestView::click(QQuickItem *item, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at)
{
    const QPointF local = at.x() >= 0 ? QPointF(at) : QPointF(item->width() / 2, item->height() / 2);
    const QPoint scene = item->mapToScene(local).toPoint();
    QTest::mouseMove(this, scene);
    QTest::mouseClick(this, button, modifiers, scene);
}

void QmlTestView::hover(QQuickItem *item)
{
    QTest::mouseMove(this, item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
}

void QmlTestView::type(const QString &text)
{
    // Each character as one press and release carrying its text.
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, this, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

void QmlTestView::key(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(this, key, modifiers);
}

bool QmlTestView::typeInto(const QString &objectName, const QString &text)
{
    QQuickItem *item = find(objectName);
    if (!item)
        return false;
    item->forceActiveFocus();
    type(text);
    return true;
}

QStringList QmlTestView::qmlWarnings() const
{
    QStringList warnings;
    for (const CapturedLine &line : m_log.lines()) {
        if (line.type == QtDebugMsg || line.type == QtInfoMsg)
            continue;
        const bool fromQml = line.message.contains(QLatin1String("qrc:/"))
                             || line.message.contains(QLatin1String("file:/"))
                             || line.message.contains(QLatin1String(".qml:"));
        const bool expected =
            std::any_of(m_expected.cbegin(), m_expected.cend(),
                        [&](const QRegularExpression &pattern) { return pattern.match(line.message).hasMatch(); });
        if (fromQml && !expected)
            warnings.append(line.message);
    }
    return warnings;
}

bool QmlTestView::verifyNoQmlWarnings() const
{
    const QStringList warnings = qmlWarnings();
    for (const QString &warning : warnings)
        qWarning().noquote() << "QML warning:" << warning;
    return warnings.isEmpty();
}

QImage QmlTestView::grab()
{
    return grabWindow();
}
