#include "testcontrolserver.h"

#include "conversation.h"
#include "conversationlist.h"
#include "conversationmessage.h"
#include "conversationmessagelist.h"
#include "conversationparticipant.h"
#include "conversationparticipantlist.h"
#include "identityrealmmanager.h"
#include "localuser.h"
#include "notification.h"
#include "notificationlist.h"
#include "ostrelsdk_control.h"
#include "tavriapplication.h"
#include "tavriidentityrealm.h"
#include "tavriidentityrealmuser.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJSValue>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMetaEnum>
#include <QPointer>
#include <QQmlListReference>
#include <QQuickItem>
#include <QQuickView>
#include <QQuickWindow>
#include <QSet>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

QString text(const QJsonObject &command, const char *key)
{
    return command.value(QLatin1String(key)).toString();
}

// The name of the program's push-to-talk binding: that of its last request
// to watch keys with some keys in it.
QByteArray pttBinding()
{
    for (int nth = oxc_request_count(OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE) - 1; nth >= 0; --nth) {
        const auto *r = reinterpret_cast<const ox_req_aux_global_monitor_keyboard_mouse_t *>(
            oxc_find_request(OX_REQ_AUX_GLOBAL_MONITOR_KEYBOARD_MOUSE, nth));
        if (r && r->key_count > 0 && r->binding_name)
            return QByteArray(r->binding_name);
    }
    return QByteArray();
}

// The first object below `root` (breadth first, over both object children
// and visual children, since a view's delegates are only the latter) whose
// objectName is `name`; a visible item wins over a hidden one.
QObject *findNamed(QObject *root, const QString &name)
{
    QList<QObject *> queue{root};
    QSet<QObject *> seen{root};
    QObject *hidden = nullptr;
    for (int i = 0; i < queue.size(); ++i) {
        QObject *object = queue.at(i);
        if (i > 0 && object->objectName() == name) {
            auto *item = qobject_cast<QQuickItem *>(object);
            if (!item || item->isVisible())
                return object;
            if (!hidden)
                hidden = object;
        }
        QList<QObject *> next = object->children();
        if (auto *item = qobject_cast<QQuickItem *>(object))
            for (QQuickItem *child : item->childItems())
                next << child;
        for (QObject *child : qAsConst(next))
            if (!seen.contains(child)) {
                seen.insert(child);
                queue << child;
            }
    }
    return hidden;
}

// The object that a path of objectNames ("mainFrame/settingsButton") names:
// each name is looked for below the one before, the first in every visible
// Qt Quick window (and the window's own name may stand first).
QObject *findPath(const QString &path)
{
    const QStringList names = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (names.isEmpty())
        return nullptr;
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        auto *quick = qobject_cast<QQuickWindow *>(window);
        if (!quick || !quick->isVisible())
            continue;
        QObject *found = quick->objectName() == names.first() ? quick->contentItem()
                                                              : findNamed(quick->contentItem(), names.first());
        for (int i = 1; found && i < names.size(); ++i)
            found = findNamed(found, names.at(i));
        if (found)
            return found;
    }
    return nullptr;
}

// An item that a user can act on: shown in a visible window, enabled, and
// not fading in or out (it and every item above it fully opaque).
QQuickItem *inputItem(const QJsonObject &command)
{
    auto *item = qobject_cast<QQuickItem *>(findPath(text(command, "path")));
    if (!item || !item->isVisible() || !item->isEnabled() || !item->window() || !item->window()->isVisible())
        return nullptr;
    for (QQuickItem *up = item; up; up = up->parentItem())
        if (up->opacity() < 1)
            return nullptr;
    return item;
}

// The chat view of a conversation's window, when the window is shown.
QQuickItem *chatView(Conversation *conversation)
{
    QQuickView *window = conversation->conversationWindow();
    if (!window || !window->isVisible())
        return nullptr;
    return qobject_cast<QQuickItem *>(findNamed(window->contentItem(), QStringLiteral("messageList")));
}

Qt::Key keyNamed(const QString &name)
{
    bool ok = false;
    const int key = QMetaEnum::fromType<Qt::Key>().keyToValue(("Key_" + name).toLatin1().constData(), &ok);
    return ok ? Qt::Key(key) : Qt::Key_unknown;
}

// The window whose own objectName, or whose root item's, is `name`.
QQuickWindow *windowNamed(const QString &name)
{
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        auto *quick = qobject_cast<QQuickWindow *>(window);
        if (!quick || !quick->isVisible())
            continue;
        const QList<QQuickItem *> roots = quick->contentItem()->childItems();
        if (quick->objectName() == name || (!roots.isEmpty() && roots.first()->objectName() == name))
            return quick;
    }
    return nullptr;
}

// A window's name for the report: its root item's objectName, else the
// file of its QML.
QString windowName(QQuickWindow *window)
{
    const QList<QQuickItem *> roots = window->contentItem()->childItems();
    if (!roots.isEmpty() && !roots.first()->objectName().isEmpty())
        return roots.first()->objectName();
    if (auto *view = qobject_cast<QQuickView *>(window))
        return view->source().fileName();
    return window->objectName();
}

// The row of a menu's pop-up that shows `entry`: the visible item that
// carries it (the pop-up's rows are a view's delegates, found only among
// visual children).
QQuickItem *menuRow(QQuickItem *item, QObject *entry)
{
    const QVariant carried = item->property("__menuItem");
    QObject *shown = carried.value<QObject *>();
    if (!shown && carried.userType() == qMetaTypeId<QJSValue>())
        shown = carried.value<QJSValue>().toQObject();
    if (shown == entry && item->isVisible() && item->width() > 0)
        return item;
    for (QQuickItem *child : item->childItems())
        if (QQuickItem *row = menuRow(child, entry))
            return row;
    return nullptr;
}

// What a person can press: a mouse area, shown, taking input, not faded
// out, with its centre inside its window.
bool pressable(QQuickItem *item)
{
    if (!item || !item->inherits("QQuickMouseArea") || !item->isVisible() || !item->isEnabled() || !item->window()
        || !item->window()->isVisible() || item->width() <= 0 || item->height() <= 0)
        return false;
    for (QQuickItem *up = item; up; up = up->parentItem())
        if (up->opacity() <= 0)
            return false;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    return QRectF(QPointF(0, 0), QSizeF(item->window()->size())).contains(centre);
}

// A control's name for the report: the objectNames from the window down to it.
QString describe(QQuickItem *item)
{
    QStringList names;
    for (QQuickItem *up = item; up; up = up->parentItem())
        if (!up->objectName().isEmpty())
            names.prepend(up->objectName());
    return names.isEmpty() ? QString::fromLatin1(item->metaObject()->className()) : names.join(QLatin1Char('/'));
}

// True for the mouse area of a text field or area, whose right button opens
// Qt Quick Controls' own edit menu.
bool overText(QQuickItem *item)
{
    for (QQuickItem *up = item->parentItem(); up; up = up->parentItem()) {
        if (up->inherits("QQuickTextInput") || up->inherits("QQuickTextEdit"))
            return true;
        for (QQuickItem *sibling : up->childItems())
            if (sibling->inherits("QQuickTextInput") || sibling->inherits("QQuickTextEdit"))
                return true;
        if (up->parentItem() && up->parentItem()->inherits("QQuickWindow"))
            break;
        if (!up->objectName().isEmpty())
            break;
    }
    return false;
}

void collectPressable(QQuickItem *item, QList<QPointer<QQuickItem>> *found)
{
    if (!item->isVisible())
        return;
    if (pressable(item))
        found->append(item);
    for (QQuickItem *child : item->childItems())
        collectPressable(child, found);
}

// Lets the program react to an input: queued calls, deferred deletes and
// any window it opened.
void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// Shuts any modal dialog (a file picker, a message box) or pop-up widget
// (a menu in its own loop) as soon as it shows, for as long as it lives, so that a press that opens one returns.
class DialogCloser
{
public:
    DialogCloser()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget *popup = QApplication::activePopupWidget()) {
                closed << QString::fromLatin1(popup->metaObject()->className());
                popup->close();
            }
            if (QWidget *modal = QApplication::activeModalWidget()) {
                closed << QString::fromLatin1(modal->metaObject()->className());
                if (auto *dialog = qobject_cast<QDialog *>(modal))
                    dialog->reject();
                else
                    modal->close();
            }
        });
        m_timer.start(50);
    }
    QStringList closed;

private:
    QTimer m_timer;
};

// Hides the pop-up windows (menus) that a press opened and that are still
// shown, as a person's Escape would.
void closePopups(const QSet<QWindow *> &before)
{
    // A menu deletes its pop-up as it closes: each is held by a guard.
    QList<QPointer<QWindow>> popups;
    for (QWindow *window : QGuiApplication::topLevelWindows())
        if (window->isVisible() && !before.contains(window) && (window->flags() & Qt::Popup) == Qt::Popup)
            popups << window;
    for (const QPointer<QWindow> &window : qAsConst(popups)) {
        if (window && window->isVisible())
            QTest::keyClick(window.data(), Qt::Key_Escape);
        if (window && window->isVisible())
            window->close();
    }
}

QSet<QWindow *> shownWindows()
{
    QSet<QWindow *> shown;
    for (QWindow *window : QGuiApplication::topLevelWindows())
        if (window->isVisible())
            shown.insert(window);
    return shown;
}

// Clicks `item` at its centre as a person would: the pointer moves there,
// then presses and lets go.
void clickAt(QQuickItem *item, Qt::MouseButton button)
{
    QQuickWindow *window = item->window();
    const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mouseMove(window, centre);
    QTest::mouseClick(window, button, Qt::NoModifier, centre);
}

} // namespace

// Presses every control of a window once (see the header).
QJsonObject TestControlServer::pressAll(const QJsonObject &command)
{
    QQuickWindow *window = windowNamed(text(command, "window"));
    if (!window)
        return {{"ok", false}, {"error", QStringLiteral("no window %1").arg(text(command, "window"))}};
    QSet<QString> skip;
    for (const QJsonValue &name : command.value(QLatin1String("skip")).toArray())
        skip.insert(name.toString());
    DialogCloser dialogs;
    const QJsonArray pressed = pressWindow(window, skip);
    QJsonArray dialogsClosed;
    for (const QString &name : qAsConst(dialogs.closed))
        dialogsClosed << name;
    return {{"value", pressed}, {"dialogs", dialogsClosed}};
}

// Presses every window shown but those named in "except", and then those
// that the presses opened, each once (see the header).
QJsonObject TestControlServer::pressOthers(const QJsonObject &command)
{
    QSet<QString> skip;
    for (const QJsonValue &name : command.value(QLatin1String("skip")).toArray())
        skip.insert(name.toString());
    QSet<QString> except;
    for (const QJsonValue &name : command.value(QLatin1String("except")).toArray())
        except.insert(name.toString());
    DialogCloser dialogs;
    QSet<QWindow *> done;
    QJsonArray pressed;
    for (int round = 0; round < 10; ++round) {
        QList<QPointer<QQuickWindow>> todo;
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            auto *quick = qobject_cast<QQuickWindow *>(window);
            if (!quick || !quick->isVisible() || done.contains(quick) || (quick->flags() & Qt::Popup) == Qt::Popup)
                continue;
            const QList<QQuickItem *> roots = quick->contentItem()->childItems();
            if (except.contains(quick->objectName())
                || (!roots.isEmpty() && except.contains(roots.first()->objectName())))
                continue;
            todo << quick;
        }
        if (todo.isEmpty())
            break;
        for (const QPointer<QQuickWindow> &window : qAsConst(todo)) {
            if (!window || !window->isVisible())
                continue;
            done.insert(window);
            const QString name = windowName(window);
            qDebug() << "TestControlServer: pressing the window" << name;
            pressed << QJsonObject{{"window", name}, {"controls", pressWindow(window, skip)}};
        }
    }
    QJsonArray dialogsClosed;
    for (const QString &name : qAsConst(dialogs.closed))
        dialogsClosed << name;
    return {{"value", pressed}, {"dialogs", dialogsClosed}};
}

QJsonArray TestControlServer::pressWindow(QQuickWindow *window, const QSet<QString> &skip)
{
    QList<QPointer<QQuickItem>> controls;
    collectPressable(window->contentItem(), &controls);
    // Closing controls go last, so the rest are pressed first.
    std::stable_partition(controls.begin(), controls.end(), [](const QPointer<QQuickItem> &item) {
        return !describe(item).contains(QLatin1String("close"), Qt::CaseInsensitive);
    });
    QJsonArray pressed;
    QPointer<QQuickWindow> target(window);
    for (const QPointer<QQuickItem> &item : qAsConst(controls)) {
        if (!target || !target->isVisible())
            break;
        if (!pressable(item))
            continue;
        const QString name = describe(item);
        bool skipped = false;
        for (QQuickItem *up = item; up && !skipped; up = up->parentItem())
            skipped = skip.contains(up->objectName());
        if (skipped)
            continue;
        const QSet<QWindow *> before = shownWindows();
        const auto buttons = Qt::MouseButtons(item->property("acceptedButtons").toInt());
        const bool right = (buttons & Qt::RightButton) && !overText(item);
        qDebug() << "TestControlServer: pressing" << name;
        pressed << name;
        clickAt(item, Qt::LeftButton);
        settle();
        pressed += chooseFromPopup(item, Qt::LeftButton, before, skip);
        if (item && right && pressable(item)) {
            clickAt(item, Qt::RightButton);
            settle();
            pressed += chooseFromPopup(item, Qt::RightButton, before, skip);
        }
    }
    settle();
    return pressed;
}

// When pressing `item` with `button` opened a menu (a pop-up window not in
// `before`), chooses each of its entries in turn: the menu is shut, opened
// again by the same press and the entry clicked, as a person picks each
// entry of a context menu. Submenus are left shut. Returns the entries.
QJsonArray TestControlServer::chooseFromPopup(QPointer<QQuickItem> item, Qt::MouseButton button,
                                              const QSet<QWindow *> &before, const QSet<QString> &skip)
{
    QJsonArray chosen;
    QList<QPointer<QObject>> entries;
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        auto *quick = qobject_cast<QQuickWindow *>(window);
        if (!quick || !quick->isVisible() || before.contains(quick) || (quick->flags() & Qt::Popup) != Qt::Popup)
            continue;
        QList<QQuickItem *> rows{quick->contentItem()};
        for (int i = 0; i < rows.size(); ++i) {
            rows << rows.at(i)->childItems();
            const QVariant carried = rows.at(i)->property("__menuItem");
            QObject *entry = carried.value<QObject *>();
            if (!entry && carried.userType() == qMetaTypeId<QJSValue>())
                entry = carried.value<QJSValue>().toQObject();
            if (entry && rows.at(i)->isVisible() && entry->property("enabled").toBool()
                && !entry->property("items").isValid() && !entry->property("text").toString().isEmpty()
                && !skip.contains(entry->objectName()) && !entries.contains(entry))
                entries << entry;
        }
    }
    closePopups(before);
    for (const QPointer<QObject> &entry : qAsConst(entries)) {
        if (!entry || !pressable(item))
            break;
        clickAt(item, button);
        settle();
        QQuickItem *row = nullptr;
        for (QWindow *window : QGuiApplication::topLevelWindows())
            if (auto *quick = qobject_cast<QQuickWindow *>(window);
                quick && quick->isVisible() && !before.contains(quick) && !row)
                row = menuRow(quick->contentItem(), entry);
        if (row) {
            const QString name =
                entry->objectName().isEmpty() ? entry->property("text").toString() : entry->objectName();
            qDebug() << "TestControlServer: choosing" << name;
            chosen << QStringLiteral("menu entry ") + name;
            clickAt(row, Qt::LeftButton);
            settle();
        }
        closePopups(before);
    }
    return chosen;
}

// Chooses every entry of a menu in turn with the pointer: the menu is
// opened, the pointer goes to the entry in its pop-up and clicks it.
// Submenus are opened on their own and their entries chosen likewise.
QJsonObject TestControlServer::chooseAll(const QJsonObject &command)
{
    QObject *menu = findPath(text(command, "path"));
    if (!menu || !menu->property("items").isValid())
        return {{"ok", false}, {"error", QStringLiteral("no menu %1").arg(text(command, "path"))}};
    QSet<QString> skip;
    for (const QJsonValue &name : command.value(QLatin1String("skip")).toArray())
        skip.insert(name.toString());
    const QString only = text(command, "only");
    QJsonArray chosen;
    DialogCloser dialogs;
    QList<QPointer<QObject>> menus{menu};
    for (int m = 0; m < menus.size(); ++m) {
        QPointer<QObject> current = menus.at(m);
        if (!current)
            continue;
        QQmlListReference items(current, "items");
        QList<QPointer<QObject>> entries;
        for (int i = 0; i < items.count(); ++i)
            entries << items.at(i);
        for (const QPointer<QObject> &entry : qAsConst(entries)) {
            if (!entry || !current || !entry->property("visible").toBool() || !entry->property("enabled").toBool()
                || skip.contains(entry->objectName()) || (!only.isEmpty() && entry->objectName() != only))
                continue;
            if (entry->property("items").isValid()) { // a submenu
                menus << entry.data();
                continue;
            }
            if (entry->property("text").toString().isEmpty()) // a separator
                continue;
            const QSet<QWindow *> before = shownWindows();
            QMetaObject::invokeMethod(current, "popup");
            settle();
            // The pop-up's row for the entry: the item that carries it.
            QQuickItem *row = nullptr;
            for (QWindow *window : QGuiApplication::topLevelWindows()) {
                auto *quick = qobject_cast<QQuickWindow *>(window);
                if (!quick || !quick->isVisible() || before.contains(quick))
                    continue;
                row = menuRow(quick->contentItem(), entry.data());
                if (row)
                    break;
            }
            if (!row) {
                closePopups(before);
                return {{"ok", false}, {"error", QStringLiteral("no row for %1").arg(entry->objectName())}};
            }
            chosen << (entry->objectName().isEmpty() ? entry->property("text").toString() : entry->objectName());
            qDebug() << "TestControlServer: choosing" << chosen.last().toString();
            clickAt(row, Qt::LeftButton);
            settle();
            closePopups(before);
        }
    }
    settle();
    return {{"value", chosen}};
}

TestControlServer::TestControlServer(QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &TestControlServer::onConnection);
    connect(IdentityRealmManager::getInstance(), &IdentityRealmManager::conversationDisconnected, this,
            [this](Tavri::IdentityRealmInterface *, const QString &id,
                   Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode code, const QString &reason) {
                m_disconnects.insert(id.toLower(), {int(code), reason});
            });
    connect(TavriApplication::instance()->localUser(), &LocalUser::loginStateChanged, this,
            [this](LocalUser::LoginState state, const QString &) {
                m_states << QString::fromLatin1(QMetaEnum::fromType<LocalUser::LoginState>().valueToKey(state));
            });
    // A participant's removal for a reason (the local user's own among them).
    connect(IdentityRealmManager::getInstance(), &IdentityRealmManager::conversationParticipantRemoved, this,
            [this](Tavri::IdentityRealmInterface *, const QString &id, const QString &,
                   Tavri::IdentityRealmInterface::ConversationDisconnectReasonCode code, const QString &reason) {
                if (code != Tavri::IdentityRealmInterface::DisconnectReasonNone)
                    m_removals.insert(id.toLower(), reason);
            });
}

bool TestControlServer::listen(const QString &name, QString *error)
{
    QLocalServer::removeServer(name);
    if (m_server->listen(name))
        return true;
    *error = m_server->errorString();
    return false;
}

void TestControlServer::onConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TestControlServer::onReadable(QLocalSocket *socket)
{
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (!doc.isObject()) {
            answer(socket, QJsonObject{{"ok", false}, {"error", "not a JSON object"}});
            continue;
        }
        const QJsonObject command = doc.object();
        if (text(command, "cmd") == QLatin1String("await"))
            await(socket, command);
        else
            answer(socket, run(command));
    }
}

void TestControlServer::answer(QLocalSocket *socket, QJsonObject reply)
{
    if (!reply.contains(QLatin1String("ok")))
        reply.insert(QStringLiteral("ok"), true);
    socket->write(QJsonDocument(reply).toJson(QJsonDocument::Compact) + '\n');
    socket->flush();
}

void TestControlServer::await(QLocalSocket *socket, const QJsonObject &command)
{
    // Checks again on every turn of a short timer; the test waits on the answer.
    auto *timer = new QTimer(this);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    const QJsonObject query = command.value(QLatin1String("query")).toObject();
    const QJsonValue wanted = command.value(QLatin1String("value"));
    const int timeout = command.value(QLatin1String("timeout")).toInt(20000);
    QPointer<QLocalSocket> target(socket);
    auto check = [=] {
        const QJsonObject result = run(query);
        const QJsonValue got = result.value(QLatin1String("value"));
        const bool done = command.value(QLatin1String("contains")).toBool() ? got.toString().contains(wanted.toString())
                                                                            : got == wanted;
        if (!done && clock->elapsed() < timeout && target)
            return;
        timer->stop();
        timer->deleteLater();
        if (target)
            answer(target, QJsonObject{{"ok", done}, {"value", result.value(QLatin1String("value"))}});
    };
    connect(timer, &QTimer::timeout, this, check);
    timer->start(25);
}

Conversation *TestControlServer::conversation(const QJsonObject &command, bool create)
{
    const QString uri = text(command, "uri");
    TavriIdentityRealm *realm = TavriIdentityRealm::getInstance();
    if (create)
        return realm->getConversation(uri);
    ConversationList *list = TavriApplication::instance()->localUser()->getConversations();
    for (int i = 0; i < list->count(); ++i)
        if (Conversation *c = list->at(i))
            if (c->getSipURI().compare(uri, Qt::CaseInsensitive) == 0)
                return c;
    return realm->getConversation(uri);
}

QJsonObject TestControlServer::run(const QJsonObject &command)
{
    TavriApplication *app = TavriApplication::instance();
    LocalUser *me = app->localUser();
    const QString cmd = text(command, "cmd");
    const QJsonObject fail{{"ok", false}, {"error", QStringLiteral("cannot %1").arg(cmd)}};

    if (cmd == QLatin1String("login")) {
        app->requestLogin(text(command, "email"), text(command, "password"));
    } else if (cmd == QLatin1String("logout")) {
        app->requestLogout();
    } else if (cmd == QLatin1String("state")) {
        return {{"value",
                 QString::fromLatin1(QMetaEnum::fromType<LocalUser::LoginState>().valueToKey(me->getLoginState()))}};
    } else if (cmd == QLatin1String("presence")) {
        me->setPresenceMessage(command.value(QLatin1String("state")).toInt(), text(command, "message"));
        me->setPresenceState(command.value(QLatin1String("state")).toInt());
    } else if (cmd == QLatin1String("peerpresence")) {
        Tavri::RealmUserInterface *user =
            TavriIdentityRealm::getInstance()->requestUserInfoUpdateByURI(text(command, "uri"));
        return {{"value", user ? int(user->getPresenceState()) : -1}};
    } else if (cmd == QLatin1String("addfriend")) {
        me->requestAddFriend(text(command, "uri"));
    } else if (cmd == QLatin1String("join") || cmd == QLatin1String("chat")) {
        Conversation *c = conversation(command, true);
        if (!c)
            return fail;
        c->requestJoinConversation();
    } else if (cmd == QLatin1String("send")) {
        Conversation *c = conversation(command, false);
        if (!c)
            return fail;
        c->sendMessage(text(command, "text"));
    } else if (cmd == QLatin1String("leave")) {
        Conversation *c = conversation(command, false);
        if (!c)
            return fail;
        c->requestLeaveConversation();
    } else if (cmd == QLatin1String("kick")) {
        Conversation *c = conversation(command, false);
        if (!c)
            return fail;
        for (ConversationParticipant *p : c->getParticipants()->getParticipants())
            if (p->getSipURI().compare(text(command, "who"), Qt::CaseInsensitive) == 0)
                if (auto *user = dynamic_cast<TavriIdentityRealmUser *>(p->getIdentity())) {
                    c->kickUser(user);
                    return {{"ok", true}};
                }
        return fail;
    } else if (cmd == QLatin1String("pttsetup")) {
        me->setPttKeyCombo(LocalUser::PushToTalkModeTalk, QVariantList{0x7b});
        return {{"value", QString::fromLatin1(pttBinding())}};
    } else if (cmd == QLatin1String("ptt")) {
        const QByteArray binding = pttBinding();
        if (binding.isEmpty())
            return fail;
        oxc_key_event(binding.constData(), command.value(QLatin1String("down")).toBool() ? 1 : 0);
    } else if (cmd == QLatin1String("participants") || cmd == QLatin1String("speaking")) {
        Conversation *c = conversation(command, false);
        if (!c)
            return fail;
        QStringList uris;
        for (ConversationParticipant *p : c->getParticipants()->getParticipants()) {
            if (cmd == QLatin1String("speaking")
                && p->getSipURI().compare(text(command, "who"), Qt::CaseInsensitive) == 0)
                return {{"value", p->getIsSpeaking()}};
            uris << p->getSipURI().toLower();
        }
        if (cmd == QLatin1String("speaking"))
            return {{"value", false}};
        uris.sort();
        return {{"value", uris.join(QLatin1Char(','))}};
    } else if (cmd == QLatin1String("lines")) {
        Conversation *c = conversation(command, false);
        if (!c)
            return fail;
        QStringList lines;
        for (ConversationMessage *m : c->getChatMessages()->getMessages())
            if (m->getText().contains(text(command, "contains")))
                lines << m->getText();
        return {{"value", lines.join(QLatin1Char('\n'))}};
    } else if (cmd == QLatin1String("shownlines")) {
        // The chat lines that the conversation's window draws, as the
        // reader sees them (its rich text made plain), top to bottom.
        Conversation *c = conversation(command, false);
        QQuickItem *list = c ? chatView(c) : nullptr;
        if (!list)
            return fail;
        QList<QQuickItem *> rows;
        if (QQuickItem *content = list->property("contentItem").value<QQuickItem *>())
            for (QQuickItem *row : content->childItems())
                if (row->isVisible() && row->property("text").isValid())
                    rows << row;
        std::sort(rows.begin(), rows.end(), [](QQuickItem *a, QQuickItem *b) { return a->y() < b->y(); });
        QStringList lines;
        for (QQuickItem *row : qAsConst(rows)) {
            QTextDocument document;
            document.setHtml(row->property("text").toString());
            const QString plain = document.toPlainText();
            if (plain.contains(text(command, "contains")))
                lines << plain;
        }
        return {{"value", lines.join(QLatin1Char('\n'))}};
    } else if (cmd == QLatin1String("mediadisconnects")) {
        // How many times the program asked the voice SDK to disconnect a
        // session's media.
        return {{"value", oxc_request_count(OX_REQ_SESSION_MEDIA_DISCONNECT)}};
    } else if (cmd == QLatin1String("notifications")) {
        // Every notification of the local user as "type:state:sender id:sender
        // address" (the address once the sender's record has arrived, as the
        // row shows it).
        NotificationList *list = me->getNotificationList(false);
        QStringList rows;
        for (int i = 0; list && i < list->rowCount(); ++i)
            if (Notification *n = list->at(i))
                rows << QStringLiteral("%1:%2:%3:%4")
                            .arg(int(n->getNotificationType()))
                            .arg(int(n->getState()))
                            .arg(n->getSenderUID(),
                                 list->data(list->index(i), NotificationList::SenderURIRole).toString());
        return {{"value", rows.join(QLatin1Char(','))}};
    } else if (cmd == QLatin1String("shown")) {
        auto *item = qobject_cast<QQuickItem *>(findPath(text(command, "path")));
        return {{"value", item && item->isVisible() && item->window() && item->window()->isVisible()}};
    } else if (cmd == QLatin1String("ready")) {
        return {{"value", inputItem(command) != nullptr}};
    } else if (cmd == QLatin1String("property")) {
        QObject *object = findPath(text(command, "path"));
        if (!object)
            return fail;
        const QVariant value = object->property(text(command, "name").toLatin1().constData());
        const QJsonValue json = QJsonValue::fromVariant(value);
        return {{"value", json.isNull() && value.canConvert<QString>() ? QJsonValue(value.toString()) : json}};
    } else if (cmd == QLatin1String("click")) {
        QQuickItem *item = inputItem(command);
        if (!item)
            return fail;
        const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        // The pointer arrives first, as a user's would: hover-driven
        // controls see it before the press.
        QTest::mouseMove(item->window(), centre);
        QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, centre);
    } else if (cmd == QLatin1String("type") || cmd == QLatin1String("key")) {
        QQuickItem *item = inputItem(command);
        if (!item)
            return fail;
        // Keys go to the active window, as the user's would after bringing
        // it to the front.
        if (!item->window()->isActive()) {
            item->window()->requestActivate();
            if (!QTest::qWaitForWindowActive(item->window()))
                return fail;
        }
        item->forceActiveFocus(Qt::TabFocusReason);
        if (!item->hasActiveFocus())
            return fail;
        if (cmd == QLatin1String("type")) {
            // Qt's test input types Latin-1 text into a window key by key.
            for (const QChar c : text(command, "text"))
                QTest::keyClick(item->window(), c.toLatin1());
        } else {
            const Qt::Key key = keyNamed(text(command, "key"));
            if (key == Qt::Key_unknown)
                return fail;
            QTest::keyClick(item->window(), key);
        }
    } else if (cmd == QLatin1String("trigger")) {
        // A menu entry, chosen as the user would from its open menu.
        QObject *entry = findPath(text(command, "path"));
        if (!entry || !QMetaObject::invokeMethod(entry, "trigger"))
            return fail;
    } else if (cmd == QLatin1String("press")) {
        return pressAll(command);
    } else if (cmd == QLatin1String("pressothers")) {
        return pressOthers(command);
    } else if (cmd == QLatin1String("choose")) {
        return chooseAll(command);
    } else if (cmd == QLatin1String("alive")) {
        // Answered only while the program runs: a barrier for the tests.
    } else if (cmd == QLatin1String("user")) {
        return {{"value", QJsonValue::fromVariant(me->property(text(command, "name").toLatin1().constData()))}};
    } else if (cmd == QLatin1String("rows")) {
        // One role of every row of a list of the local user ("contacts",
        // "permanentConversations"), joined with commas.
        auto *model = me->property(text(command, "list").toLatin1().constData()).value<QAbstractItemModel *>();
        if (!model)
            return fail;
        const int role = model->roleNames().key(text(command, "role").toUtf8(), -1);
        if (role < 0)
            return fail;
        QStringList values;
        for (int row = 0; row < model->rowCount(); ++row)
            values << model->data(model->index(row, 0), role).toString();
        return {{"value", values.join(QLatin1Char(','))}};
    } else if (cmd == QLatin1String("windows")) {
        QJsonArray shown;
        for (QWindow *window : QGuiApplication::topLevelWindows())
            if (auto *quick = qobject_cast<QQuickWindow *>(window); quick && quick->isVisible()) {
                const QList<QQuickItem *> roots = quick->contentItem()->childItems();
                shown << (roots.isEmpty() ? quick->objectName() : roots.first()->objectName());
            }
        return {{"value", shown}};
    } else if (cmd == QLatin1String("states")) {
        return {{"value", m_states.join(QLatin1Char(','))}};
    } else if (cmd == QLatin1String("removal")) {
        return {{"value", m_removals.value(text(command, "uri").toLower())}};
    } else if (cmd == QLatin1String("disconnect")) {
        const auto found = m_disconnects.constFind(text(command, "uri").toLower());
        return {{"value", found == m_disconnects.cend() ? -1 : found->first}};
    } else {
        return QJsonObject{{"ok", false}, {"error", QStringLiteral("unknown command \"%1\"").arg(cmd)}};
    }
    return {{"ok", true}};
}
