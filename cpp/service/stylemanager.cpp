#include "stylemanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJSValue>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QStringList>
#include <QUrl>

namespace {

const char kBuiltInStyleUrl[] = "qrc:/QML/qml/tavri/controls/DefaultStyleManager.qml";

StyleManager *s_instance = nullptr;
// The engine every style is created in: the first one given, or one made on
// first need.
QQmlEngine *s_sharedEngine = nullptr;

} // namespace

StyleManager::StyleManager(QQmlEngine *engine, const QString &stylePath, QObject *parent)
    : QObject(parent)
{
    QUrl url(QString::fromLatin1(kBuiltInStyleUrl));
    if (!s_sharedEngine) {
        s_sharedEngine = engine ? engine : new QQmlEngine(QCoreApplication::instance());
        // Forget an engine that goes away, so that a later style gets a live one.
        QObject::connect(s_sharedEngine, &QObject::destroyed, [] { s_sharedEngine = nullptr; });
    }
    if (!engine)
        engine = s_sharedEngine;
    if (!stylePath.isEmpty()) {
        url = engine->baseUrl().resolved(QUrl::fromLocalFile(stylePath));
        m_stylePath = stylePath;
    }
    if (!s_instance)
        s_instance = this;

    QQmlComponent component(engine, url);
    if (!component.isReady())
        qDebug() << "Component not yet ready...";
    m_style = component.create();
    if (m_style) {
        m_style->setParent(this);
        const QVariant name = m_style->property("name");
        if (name.isValid())
            m_styleName = name.toString();
        if (m_styleName.isEmpty()) {
            m_styleName = url.fileName();
            if (m_styleName.endsWith(QLatin1String(".qml")))
                m_styleName.chop(4);
            if (m_styleName.endsWith(QLatin1String("StyleManager")))
                m_styleName.chop(12);
        }
    } else {
        qWarning() << "Unable to load style from:" << url;
        const QList<QQmlError> errors = component.errors();
        if (errors.isEmpty())
            qWarning() << "... no apparent errors...";
        for (const QQmlError &error : errors)
            qWarning() << error.toString();
    }
}

StyleManager::~StyleManager()
{
    qDebug() << "~StyleManager() [" << m_styleName << "]";
    if (s_instance == this)
        s_instance = nullptr;
}

StyleManager *StyleManager::getInstance(QQmlEngine *engine)
{
    if (!s_instance)
        new StyleManager(engine, QString(), nullptr);
    return s_instance;
}

QVariant StyleManager::getStyleProperty(const char *name) const
{
    return m_style ? m_style->property(name) : QVariant();
}

QList<QColor> StyleManager::getChatColors() const
{
    qDebug() << "StyleManager::getChatColors";
    QList<QColor> colors;
    QVariant value = getStyleProperty("chatColors");
    // A QML "var" list may reach C++ still wrapped as a script value.
    if (value.userType() == qMetaTypeId<QJSValue>())
        value = value.value<QJSValue>().toVariant();
    if (value.isValid()) {
        const QStringList names = value.toStringList();
        for (const QString &name : names) {
            QColor color;
            color.setNamedColor(name);
            qDebug() << color;
            colors.append(color);
        }
    }
    qDebug() << "... end";
    return colors;
}

QColor StyleManager::takeChatColor()
{
    qDebug() << "StyleManager::takeChatColor";
    const QList<QColor> colors = getChatColors();
    if (colors.isEmpty()) {
        qWarning() << "StyleManager::takeChatColor" << "the style has no chat colours";
        return QColor();
    }
    if (m_chatColorIndex >= colors.size())
        m_chatColorIndex = 0;
    return colors.at(m_chatColorIndex++);
}
