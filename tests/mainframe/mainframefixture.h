#pragma once

// The main frame's QML world for a test: a test view (built-in style, QML
// warnings kept) with the recording doubles set as the context properties
// the frame reads, and the QML types the frame imports registered as the
// program registers them.

#include "mainframefakes.h"
#include "qmltestview.h"

#include "notification.h"
#include "tavriapplication.h"

#include <QDesktopServices>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlListReference>
#include <QQuickItem>
#include <QQuickView>
#include <QSet>
#include <QtTest/QtTest>

#include <memory>

class MainFrameWorld
{
public:
    CallLog log;
    FakeMainApp mainApp{&log};
    FakeContactGroup emptyGroup{QStringLiteral("ungrouped")};
    FakeContactGroupList contactGroups{&log, &emptyGroup};
    FakeListModel permanentConversations{{"displayName", "sipURI", "conversationRef", "participants", "joinState",
                                          "isOwned", "isFavorited", "hasChildren", "treeDepth"}};
    FakeRecentConversations recentConversations{&log};
    FakeLocalUser localUser{&log};
    FakeStorageManager storageManager{&log};
    FakeFindUsers findInstance{&log};
    FakeFindChannels findChannels{&log};
    FakeRealmForGroups realm{&log};
    FakeListModel notifications{{"notificationType", "notificationUID", "senderURI", "senderDisplayName", "channelURI",
                                 "channelDisplayName", "sentAt", "defaultMessage", "channelRef", "senderRef",
                                 "customMessage", "customAction"}};
    // One view for the whole test run: the style object lives in the
    // engine of the first view, so every test shares that engine.
    QmlTestView *view = sharedView();

    static QmlTestView *&shared()
    {
        static QmlTestView *view = nullptr;
        return view;
    }
    static QmlTestView *sharedView()
    {
        if (!shared()) {
            Q_INIT_RESOURCE(tavri);
            TavriApplication::registerQmlTypes();
            shared() = new QmlTestView;
        }
        return shared();
    }
    // Ends the shared view; for the end of the test run.
    static void releaseSharedView()
    {
        delete shared();
        shared() = nullptr;
    }

    MainFrameWorld()
    {
        localUser.setObjectName(QStringLiteral("localUser"));
        localUser.displayName = QStringLiteral("Alice");
        localUser.contactGroups = &contactGroups;
        localUser.permanentConversations = &permanentConversations;
        localUser.recentConversations = &recentConversations;
        view->log().clear();
        view->setContextObject(QStringLiteral("mainApp"), &mainApp);
        view->setContextObject(QStringLiteral("localUser"), &localUser);
        view->setContextObject(QStringLiteral("storageManager"), &storageManager);
        view->setContextObject(QStringLiteral("localUserNotifications"), &notifications);
        view->setContextObject(QStringLiteral("findChannels"), &findChannels);
        view->setContextObject(QStringLiteral("tavriIdentityRealm"), &realm);
        view->setContextObject(QStringLiteral("findInstance"), &findInstance);
        view->context()->setContextProperty(QStringLiteral("adjustHeight"), false);
        view->context()->setContextProperty(QStringLiteral("isInviteFriends"), false);
    }
    // Unloads what this test loaded while its doubles still live.
    ~MainFrameWorld()
    {
        view->setSource(QUrl());
        for (QObject *object : qAsConst(made))
            delete object;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QList<QObject *> made;

    // Loads the main frame at its smallest size, 325 x 600, and shows it.
    QQuickItem *loadFrame(const QSize &size = QSize(325, 600))
    {
        view->resize(size);
        return view->load(QUrl(QStringLiteral("qrc:/QML/qml/tavri/MainFrame.qml"))) ? view->rootObject() : nullptr;
    }

    // Makes one object of a QML text in this world's engine, for menus
    // outside the frame.
    QObject *create(const QByteArray &qml)
    {
        QQmlComponent component(view->engine());
        component.setData(qml, QUrl(QStringLiteral("qrc:/QML/qml/tavri/menus/TestHost.qml")));
        QObject *object = component.create(view->context());
        if (!object)
            qWarning() << component.errorString();
        else
            made.append(object);
        return object;
    }

    QStringList qmlWarnings() const { return view->qmlWarnings(); }
};

// Walks the objects under `root` depth first, each once, visual children
// before the other children: most items are both, and a walk that followed
// both ways would go through every subtree twice per level of nesting.
// `visit` returns true to stop the walk.
template <typename Visit>
bool walkObjects(QObject *root, QSet<QObject *> &seen, const Visit &visit)
{
    if (!root || seen.contains(root))
        return false;
    seen.insert(root);
    if (visit(root))
        return true;
    if (QQuickItem *item = qobject_cast<QQuickItem *>(root)) {
        const QList<QQuickItem *> children = item->childItems();
        for (QQuickItem *child : children) {
            if (walkObjects(child, seen, visit))
                return true;
        }
    }
    const QObjectList children = root->children();
    for (QObject *child : children) {
        if (walkObjects(child, seen, visit))
            return true;
    }
    return false;
}

// The object under `root` with that object name, searched through visual
// children and object children both (delegates, pop-ups).
inline QObject *findNamed(QObject *root, const QString &name)
{
    QObject *found = nullptr;
    QSet<QObject *> seen;
    walkObjects(root, seen, [&](QObject *object) {
        if (object->objectName() != name)
            return false;
        found = object;
        return true;
    });
    return found;
}

// Every object under `root` with that object name, in visual order.
inline void collectNamed(QObject *root, const QString &name, QList<QObject *> *found)
{
    QSet<QObject *> seen;
    walkObjects(root, seen, [&](QObject *object) {
        if (object->objectName() == name && !found->contains(object))
            found->append(object);
        return false;
    });
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
        if (item->objectName() == name || item->property("text").toString() == name
            || item->property("title").toString() == name)
            return item;
    }
    return nullptr;
}

// The helpers every main-frame test shares: a fresh world and frame for each
// test function, and a check that the frame logged no QML warning.
class MainFrameTestBase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { captureOpenedUrls(); }
    void init() { setUpFrame(); }
    void cleanup() { tearDownFrame(); }
    void cleanupTestCase() { MainFrameWorld::releaseSharedView(); }

protected:
    std::unique_ptr<MainFrameWorld> world;
    QQuickItem *frame = nullptr;
    UrlRecorder urls;

    QObject *pane(const char *name) { return findNamed(frame, QString::fromLatin1(name)); }
    void showPane(const char *tile) { QVERIFY(clickItem(findItem(frame, QString::fromLatin1(tile)))); }
    QStringList calls(const QString &prefix) const { return world->log.starting(prefix); }
    // Sets the search field's text as typing does.
    void typeTerm(const QString &text)
    {
        QQuickItem *field = findItem(frame, "searchField");
        QVERIFY(field);
        field->setProperty("text", text);
    }
    void notificationRows(const QList<QVariantMap> &rows)
    {
        world->notifications.setRows(rows);
        QCoreApplication::processEvents();
    }
    // Clicks the text of the first notification with the given button.
    void clickNotification(Qt::MouseButton button = Qt::LeftButton)
    {
        QList<QObject *> areas;
        collectNamed(frame, "notificationTextArea", &areas);
        QVERIFY(!areas.isEmpty());
        QVERIFY(clickItem(qobject_cast<QQuickItem *>(areas.first()), button));
    }

    void setUpFrame()
    {
        urls.opened.clear();
        world = std::make_unique<MainFrameWorld>();
        frame = world->loadFrame();
        QVERIFY(frame);
        world->log.clear();
    }
    void tearDownFrame()
    {
        const QStringList warnings = world ? world->qmlWarnings() : QStringList();
        world.reset();
        frame = nullptr;
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    }
    void captureOpenedUrls()
    {
        for (const char *scheme : {"http", "https", "file", "smb"})
            QDesktopServices::setUrlHandler(scheme, &urls, "open");
    }
};
