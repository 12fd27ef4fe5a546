#include "stylemanager.h"

#include "audiocuesmanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJSValue>
#include <QMetaProperty>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlProperty>
#include <QStandardPaths>
#include <QUrl>

#include <cstring>
#include <memory>

namespace {

const char kBuiltInStyleUrl[] = "qrc:/QML/qml/tavri/controls/DefaultStyleManager.qml";
const char kSchemaUrl[] = "qrc:/QML/qml/tavri/controls/StyleManager.qml";
const char kSchemaTypePrefix[] = "StyleManager_QMLTYPE_";
const char kQmlTypeMarker[] = "_QMLTYPE_";

StyleManager *s_instance = nullptr;
// The engine every style is created in: the first one given, or one made on
// first need.
QQmlEngine *s_sharedEngine = nullptr;

// A skin name is one folder name: no separators, not "." or "..".
bool isPlainFolderName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

// A QML "var" may reach C++ still wrapped as a script value.
QVariant unwrapScriptValue(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QJSValue>())
        return value.value<QJSValue>().toVariant();
    return value;
}

bool holdsQmlObject(const QVariant &value)
{
    const char *typeName = value.typeName();
    return typeName && std::strstr(typeName, kQmlTypeMarker) != nullptr;
}

bool holdsObjectPointer(const QVariant &value)
{
    return QMetaType::typeFlags(value.userType()) & QMetaType::PointerToQObject;
}

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
        // A skin file may have changed since it was last read: drop compiled
        // documents no object uses any more (script functions of destroyed
        // styles hold them until collected), so it is read afresh.
        engine->collectGarbage();
        engine->trimComponentCache();
    }
    if (!s_instance)
        s_instance = this;

    // A style loads fonts, which a process without a GUI application cannot
    // do (Qt crashes in the font database): such a process has no style.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        qWarning() << "StyleManager: no GUI application, style not loaded from:" << url;
        return;
    }

    QQmlComponent component(engine, url);
    if (!component.isReady())
        qDebug() << "Component not yet ready...";
    m_style = component.create();
    if (m_style && !derivesFromSchema(m_style)) {
        qWarning() << "Unable to load style from:" << url;
        qWarning() << "... its root" << m_style->metaObject()->className() << "does not derive from StyleManager";
        delete m_style;
        m_style = nullptr;
        return;
    }
    if (!m_style) {
        qWarning() << "Unable to load style from:" << url;
        const QList<QQmlError> errors = component.errors();
        if (errors.isEmpty())
            qWarning() << "... no apparent errors...";
        for (const QQmlError &error : errors)
            qWarning() << error.toString();
        return;
    }

    m_style->setParent(this);
    const QVariant name = m_style->property("name");
    if (name.userType() == QMetaType::QString)
        m_styleName = name.toString();
    else if (name.isValid())
        qWarning() << "StyleManager - the style's name is not a text, using its file name:" << name;
    if (m_styleName.isEmpty()) {
        m_styleName = url.fileName();
        if (m_styleName.endsWith(QLatin1String(".qml")))
            m_styleName.chop(4);
        if (m_styleName.endsWith(QLatin1String("StyleManager")))
            m_styleName.chop(12);
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

QString StyleManager::defaultStyleName()
{
    return QStringLiteral("Default");
}

QString StyleManager::getCurrentStyleName()
{
    return getInstance()->getStyleName();
}

bool StyleManager::derivesFromSchema(const QObject *object)
{
    for (const QMetaObject *meta = object->metaObject(); meta; meta = meta->superClass()) {
        if (qstrncmp(meta->className(), kSchemaTypePrefix, sizeof(kSchemaTypePrefix) - 1) == 0)
            return true;
    }
    return false;
}

QStringList StyleManager::getSkinDirectories()
{
    const QString skins = QStringLiteral("skins");
    QStringList directories{QDir::current().filePath(skins)};
    QStringList locations = QStandardPaths::standardLocations(QStandardPaths::DataLocation);
    locations += QStandardPaths::standardLocations(QStandardPaths::AppConfigLocation);
    for (const QString &location : qAsConst(locations)) {
        const QString candidate = QDir(location).filePath(skins);
        const QFileInfo info(candidate);
        if (!info.isDir() || !info.isReadable())
            continue;
        bool listed = false;
        for (const QString &directory : qAsConst(directories))
            listed = listed || QDir(directory) == QDir(candidate);
        if (!listed)
            directories.append(candidate);
    }
    return directories;
}

QStringList StyleManager::getAvailableStyles()
{
    QStringList styles{defaultStyleName()};
    const QStringList directories = getSkinDirectories();
    for (const QString &directory : directories) {
        const QFileInfoList entries = QDir(directory).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries) {
            const QString path = entry.absoluteFilePath() + QLatin1Char('/') + entry.fileName() + QLatin1String(".qml");
            if (!QFileInfo(path).isFile())
                continue;
            qDebug() << "Testing validity of style located at:" << path;
            const StyleManager candidate(nullptr, path);
            if (candidate.isValid() && !styles.contains(candidate.getStyleName())) {
                qDebug() << "Style found:" << candidate.getStyleName();
                styles.append(candidate.getStyleName());
            }
        }
    }
    return styles;
}

bool StyleManager::setStyle(const QString &name)
{
    getInstance();
    if (name == defaultStyleName()) {
        const StyleManager builtIn(nullptr, QString());
        return resetStyle(const_cast<StyleManager *>(&builtIn));
    }
    if (!isPlainFolderName(name)) {
        qWarning() << "StyleManager::setStyle - not a style name:" << name;
        return false;
    }
    const QStringList directories = getSkinDirectories();
    for (const QString &directory : directories) {
        const QString path =
            QDir(directory).absolutePath() + QLatin1Char('/') + name + QLatin1Char('/') + name + QLatin1String(".qml");
        if (!QFileInfo(path).isFile())
            continue;
        StyleManager candidate(nullptr, path);
        qDebug() << "Resetting style to use" << path;
        const bool applied = resetStyle(&candidate);
        if (applied) {
            QObject *app = QCoreApplication::instance();
            if (app && app->metaObject()->indexOfMethod("trackEvent(QString,QString,QStringList)") >= 0) {
                const QStringList details{QStringLiteral("name:") + name, QStringLiteral("path:") + path};
                QMetaObject::invokeMethod(app, "trackEvent", Q_ARG(QString, QStringLiteral("StyleManager")),
                                          Q_ARG(QString, QStringLiteral("SetStyle")), Q_ARG(QStringList, details));
            }
        }
        return applied;
    }
    return false;
}

bool StyleManager::resetStyle(StyleManager *source)
{
    qDebug() << "StyleManager::resetStyle() - Resetting style...";
    StyleManager *instance = getInstance();
    std::unique_ptr<StyleManager> builtIn;
    if (!source) {
        builtIn.reset(new StyleManager(nullptr, QString()));
        source = builtIn.get();
    }
    bool applied = false;
    if (source->isValid() && instance->isValid()) {
        if (source != instance && !source->m_stylePath.isEmpty()) {
            // A skin's values go over the built-in style's: what the skin
            // leaves unset, or sets to a value of the wrong type, keeps the
            // built-in value rather than the previous skin's or the schema's
            // placeholder.
            const StyleManager builtInValues(nullptr, QString());
            if (builtInValues.isValid())
                copyStyleProperties(builtInValues.style(), instance->style());
            QQmlComponent schemaComponent(s_sharedEngine, QUrl(QString::fromLatin1(kSchemaUrl)));
            const std::unique_ptr<QObject> schema(schemaComponent.create());
            QStringList unset;
            copyStyleProperties(source->style(), instance->style(), schema.get(), &unset);
            if (!unset.isEmpty())
                qWarning().noquote() << "StyleManager: the skin" << source->m_stylePath << "sets no value for"
                                     << unset.size() << "properties, which keep the built-in values:"
                                     << unset.mid(0, 8).join(QStringLiteral(", "))
                                            + (unset.size() > 8 ? QStringLiteral(", ...") : QString());
            instance->m_styleName = source->m_styleName;
        } else if (source != instance) {
            copyStyleProperties(source->style(), instance->style());
            // The style in force now goes by the applied style's name, so a
            // chooser shows the style the user picked.
            instance->m_styleName = source->m_styleName;
        }
        applied = true;
    } else {
        qWarning() << "Invalid style, not resetting...";
    }
    qDebug() << "StyleManager::resetStyle() - Done resetting style!";
    if (applied) {
        emit instance->chatColorsChanged(instance->getChatColors());
        reinitAudioCues(instance->style());
    }
    return applied;
}

void StyleManager::reinitAudioCues(QObject *style)
{
    // The cue sounds are style properties: the application's cue manager
    // (a child of the application object) reads them again.
    QObject *app = QCoreApplication::instance();
    AudioCuesManager *cues = app ? app->findChild<AudioCuesManager *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (cues)
        cues->init(style);
}

void StyleManager::copyStyleProperties(const QObject *source, QObject *target, const QObject *unsetValues,
                                       QStringList *unset)
{
    if (!source || !target)
        return;
    // Values the target does not have at all become dynamic properties.
    const QMetaObject *sourceMeta = source->metaObject();
    for (int i = 0; i < sourceMeta->propertyCount(); ++i) {
        const QMetaProperty property = sourceMeta->property(i);
        if (property.isConstant() || !property.isWritable())
            continue;
        const QVariant value = property.read(source);
        if (value.isValid() && !target->property(property.name()).isValid() && !holdsObjectPointer(value))
            target->setProperty(property.name(), value);
    }
    // Values the target declares are written through QML, which drops any
    // binding the target had, so the new value stays.
    const QMetaObject *targetMeta = target->metaObject();
    for (int i = 0; i < targetMeta->propertyCount(); ++i) {
        const QMetaProperty property = targetMeta->property(i);
        if (property.isConstant() || !property.isWritable())
            continue;
        const QVariant sourceValue = source->property(property.name());
        if (!sourceValue.isValid())
            continue;
        const QVariant targetValue = property.read(target);
        const QVariant placeholder = unsetValues ? unsetValues->property(property.name()) : QVariant();
        if (holdsQmlObject(sourceValue)) {
            QObject *targetGroup = targetValue.value<QObject *>();
            if (targetGroup && sourceValue != targetValue)
                copyStyleProperties(sourceValue.value<QObject *>(), targetGroup,
                                    holdsQmlObject(placeholder) ? placeholder.value<QObject *>() : nullptr, unset);
            continue;
        }
        if (placeholder.isValid() && unwrapScriptValue(placeholder) == unwrapScriptValue(sourceValue)) {
            if (unset && unwrapScriptValue(targetValue) != unwrapScriptValue(placeholder))
                unset->append(QString::fromLatin1(property.name()));
            continue;
        }
        if (sourceValue == targetValue)
            continue;
        // Other object pointers (parent, masks) belong to the source's own
        // tree and die with it.
        if (holdsObjectPointer(sourceValue))
            continue;
        // A skin may redeclare a property with another type: take its value
        // only when it converts to a valid value of the type in force.
        QVariant value = sourceValue;
        const int type = property.userType();
        // A list (the chat colours) takes only another list.
        if (type == QMetaType::QVariant && unwrapScriptValue(targetValue).userType() == QMetaType::QVariantList
            && !unwrapScriptValue(sourceValue).canConvert<QVariantList>()) {
            qWarning() << "StyleManager::copyStyleProperties - cannot set" << property.name() << "to" << sourceValue;
            continue;
        }
        if (type != QMetaType::QVariant && value.userType() != type) {
            value = unwrapScriptValue(value);
            if (!value.convert(type) || (type == QMetaType::QColor && !value.value<QColor>().isValid())) {
                qWarning() << "StyleManager::copyStyleProperties - cannot set" << property.name() << "to"
                           << sourceValue;
                continue;
            }
        }
        if (!QQmlProperty::write(target, QString::fromLatin1(property.name()), value))
            qWarning() << "StyleManager::copyStyleProperties - cannot set" << property.name() << "to" << value;
    }
}

QVariant StyleManager::getStyleProperty(const char *name) const
{
    return m_style ? m_style->property(name) : QVariant();
}

QList<QColor> StyleManager::getChatColors() const
{
    qDebug() << "StyleManager::getChatColors";
    const QList<QColor> colors = readChatColors();
    for (const QColor &color : colors)
        qDebug() << color;
    qDebug() << "... end";
    return colors;
}

QList<QColor> StyleManager::readChatColors() const
{
    QList<QColor> colors;
    const QVariant value = unwrapScriptValue(getStyleProperty("chatColors"));
    if (value.isValid()) {
        const QStringList names = value.toStringList();
        for (const QString &name : names) {
            QColor color;
            color.setNamedColor(name);
            colors.append(color);
        }
    }
    return colors;
}

QColor StyleManager::takeChatColor()
{
    qDebug() << "StyleManager::takeChatColor";
    // Each new participant takes a colour: the list is read without the
    // listing's log lines.
    const QList<QColor> colors = readChatColors();
    if (colors.isEmpty()) {
        qWarning() << "StyleManager::takeChatColor"
                   << "the style has no chat colours";
        return QColor();
    }
    if (m_chatColorIndex >= colors.size())
        m_chatColorIndex = 0;
    return colors.at(m_chatColorIndex++);
}
