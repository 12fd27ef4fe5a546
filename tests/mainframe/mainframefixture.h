#pragma once

// The main frame's QML world for a test: the recording doubles set as the
// context properties the frame reads, the built-in style, and the QML types
// the frame imports. Every warning that names a "qrc:/" file is kept so that
// a test can fail on it.

#include "logcapture.h"
#include "mainframefakes.h"
#include "stylemanager.h"

#include "notification.h"
#include "tavriapplication.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlListReference>
#include <QQuickItem>
#include <QQuickView>
#include <QtTest/QtTest>

#include <memory>

class MainFrameWorld
{
public:
    CallLog log;
    FakeMainApp mainApp{&log};
    FakeContactGroup emptyGroup{QStringLiteral("ungrouped")};
    FakeContactGroupList contactGroups{&log, &emptyGroup};
    FakeListModel permanentConversations{{"displayName", "sipURI", "conversationRef", "participants",
                                          "joinState", "isOwned", "isFavorited", "hasChildren", "treeDepth"}};
    FakeRecentConversations recentConversations{&log};
    FakeLocalUser localUser{&log};
    FakeStorageManager storageManager{&log};
    FakeFindUsers findInstance{&log};
    FakeFindChannels findChannels{&log};
    FakeRealmForGroups realm{&log};
    FakeListModel notifications{{"notificationType", "notificationUID", "senderURI", "senderDisplayName",
                                 "channelURI", "channelDisplayName", "sentAt", "defaultMessage", "channelRef",
                                 "senderRef", "customMessage", "customAction"}};
    std::unique_ptr<QQuickView> view;
    std::unique_ptr<StyleManager> style;
    LogCapture capture{LogCapture::ForwardWarnings};

    // Registers the QML modules the frame and the menus import, as the
    // program does; once a process.
    static void registerTypes()
    {
        Q_INIT_RESOURCE(tavri);
        TavriApplication::registerQmlTypes();
    }

    MainFrameWorld()
    {
        registerTypes();
        localUser.setObjectName(QStringLiteral("localUser"));
        localUser.displayName = QStringLiteral("Alice");
        localUser.contactGroups = &contactGroups;
        localUser.permanentConversations = &permanentConversations;
        localUser.recentConversations = &recentConversations;
        view = std::make_unique<QQuickView>();
        view->setResizeMode(QQuickView::SizeRootObjectToView);
        style = std::make_unique<StyleManager>(view->engine(), QString());
        QQmlContext *context = view->rootContext();
        context->setContextProperty(QStringLiteral("mainApp"), &mainApp);
        context->setContextProperty(QStringLiteral("localUser"), &localUser);
        context->setContextProperty(QStringLiteral("storageManager"), &storageManager);
        context->setContextProperty(QStringLiteral("localUserNotifications"), &notifications);
        context->setContextProperty(QStringLiteral("findChannels"), &findChannels);
        context->setContextProperty(QStringLiteral("tavriIdentityRealm"), &realm);
        context->setContextProperty(QStringLiteral("styleManager"), style->style());
        context->setContextProperty(QStringLiteral("adjustHeight"), false);
        context->setContextProperty(QStringLiteral("mainViewer"), view.get());
        context->setContextProperty(QStringLiteral("findInstance"), &findInstance);
        context->setContextProperty(QStringLiteral("isInviteFriends"), false);
    }
    ~MainFrameWorld()
    {
        view.reset();
        style.reset();
    }

    // Loads the main frame at 325 x 600 and shows it.
    QQuickItem *loadFrame(const QSize &size = QSize(325, 600))
    {
        view->setSource(QUrl(QStringLiteral("qrc:/QML/qml/tavri/MainFrame.qml")));
        view->resize(size);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            return nullptr;
        return view->rootObject();
    }

    // Makes one object of a QML text in this world's engine, for menus
    // outside the frame.
    QObject *create(const QByteArray &qml)
    {
        QQmlComponent component(view->engine());
        component.setData(qml, QUrl(QStringLiteral("qrc:/QML/qml/tavri/menus/TestHost.qml")));
        QObject *object = component.create(view->rootContext());
        if (!object)
            qWarning() << component.errorString();
        return object;
    }

    // The warnings of the QML files so far.
    QStringList qmlWarnings() const
    {
        QStringList found;
        for (const CapturedLine &line : capture.lines()) {
            if (line.type != QtDebugMsg && line.type != QtInfoMsg &&
                line.message.contains(QLatin1String("qrc:/")) &&
                !line.message.contains(QLatin1String("Cannot open: qrc:/textures"))   // SCRATCH
                && !line.message.contains(QLatin1String("Cannot load font"))          // SCRATCH
                && !line.message.contains(QLatin1String("Implicitly defined onFoo"))) // SCRATCH
                found.append(line.message);
        }
        return found;
    }
};

// The item under `root` with that object name, searched through visual
// children and object children both (delegates, pop-ups).
inline QObject *findNamed(QObject *root, const QString &name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    if (QQuickItem *item = qobject_cast<QQuickItem *>(root)) {
        for (QQuickItem *child : item->childItems()) {
            if (QObject *found = findNamed(child, name))
                return found;
        }
    }
    for (QObject *child : root->children()) {
        if (QObject *found = findNamed(child, name))
            return found;
    }
    return nullptr;
}

// Every object under `root` with that object name, in visual order.
inline void collectNamed(QObject *root, const QString &name, QList<QObject *> *found)
{
    if (!root)
        return;
    if (root->objectName() == name && !found->contains(root))
        found->append(root);
    if (QQuickItem *item = qobject_cast<QQuickItem *>(root)) {
        for (QQuickItem *child : item->childItems())
            collectNamed(child, name, found);
    }
    for (QObject *child : root->children())
        collectNamed(child, name, found);
}

inline QQuickItem *findItem(QObject *root, const QString &name)
{
    return qobject_cast<QQuickItem *>(findNamed(root, name));
}

// Clicks the centre of a visible item.
inline bool clickItem(QQuickItem *item, Qt::MouseButton button = Qt::LeftButton,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    if (!item || !item->window() || !item->isVisible())
        return false;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(item->window(), button, modifiers, centre.toPoint());
    return true;
}

// The entries of a menu as shown: the text of each visible entry ("-" for a
// separator, a submenu's title), in order.
inline QStringList menuEntries(QObject *menu)
{
    QStringList entries;
    QQmlListReference items(menu, "items");
    for (int i = 0; i < items.count(); ++i) {
        QObject *item = items.at(i);
        if (!item->property("visible").toBool())
            continue;
        // The type of a Quick Controls menu entry: 0 separator, 1 item, 2 submenu.
        const int type = item->property("type").toInt();
        if (type == 0)
            entries.append(QStringLiteral("-"));
        else if (type == 2)
            entries.append(item->property("title").toString());
        else
            entries.append(item->property("text").toString());
    }
    return entries;
}

// The visible entry of a menu whose text (or object name) is `name`.
inline QObject *menuEntry(QObject *menu, const QString &name)
{
    QQmlListReference items(menu, "items");
    for (int i = 0; i < items.count(); ++i) {
        QObject *item = items.at(i);
        if (item->objectName() == name || item->property("text").toString() == name ||
            item->property("title").toString() == name)
            return item;
    }
    return nullptr;
}
