#pragma once

// TestControlServer: lets a test drive and read a running client. Built only
// into the test build of the program (tavri-controlled), never into tavri.
//
// Listens on the local socket named by TAVRI_TEST_CONTROL and prints
// "CONTROL READY" on stdout once it does. Each request is one line of JSON
// with a "cmd"; each answer is one line of JSON with "ok" and, for queries,
// "value". Actions: login, logout, presence, addfriend, join, send, leave,
// kick, chat, pttsetup, ptt. Queries: state, peerpresence, participants,
// speaking, lines (of a conversation, found or opened), shownlines (the
// chat lines its window draws, as plain text), notifications (every
// notification as "type:state:sender"), mediadisconnects (the media
// disconnects asked of the voice SDK so far),
// removal (the reason of the last participant removed for one), disconnect,
// states (every login state entered so far, in order).
//
// The interface is driven as a user would drive it: items are named by a path of objectNames
// ("mainFrame/settingsButton"), looked for in every visible Qt Quick window, and get Qt's test input.
// Actions: click, type ("text" into the item, given the focus first), key (a Qt::Key name without
// "Key_", such as "Return"), trigger (a menu entry). Queries: shown (the item is visible in a visible
// window), ready (it can take input: shown, enabled and not fading in or out), property ("name" of the
// object, texts as text), rows ("role" of every row of the local user's list "list"), user (the local
// user's property "name"), windows (the root objectName of every visible window).
//
// "press" presses every visible, enabled control (mouse area) of the window "window" (its own or its root
// item's objectName) once, with the left button and, where it takes one, the right; the controls named
// in "skip" (or inside one so named) are left alone, and those named "close…" are pressed last. A menu
// that a press opens has each of its entries chosen in turn (opened again by the same press each time), and a modal
// dialog is shut as it shows. Its value lists the controls pressed. "pressothers" does the same for every window shown
// but those named in "except", then for those the presses opened, each once; its value lists each window (by root
// objectName or QML file) with its controls. "choose" opens the menu at "path" and clicks each of its entries (and its
// submenus') in the pop-up, skipping those named in "skip" (or only the one named "only"). "alive" answers while the
// program runs.
//
// "await" repeats a query until its value equals "value" (or with "contains", holds it as text) or
// "timeout" ms pass, and answers with the last value either way.

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QStringList>

class Conversation;
class QLocalServer;
class QLocalSocket;
class QQuickItem;
class QQuickWindow;
class QWindow;

class TestControlServer : public QObject
{
    Q_OBJECT
public:
    explicit TestControlServer(QObject *parent = nullptr);
    bool listen(const QString &name, QString *error);

private:
    void onConnection();
    void onReadable(QLocalSocket *socket);
    void answer(QLocalSocket *socket, QJsonObject reply);
    QJsonObject run(const QJsonObject &command);
    QJsonObject pressAll(const QJsonObject &command);
    QJsonObject pressOthers(const QJsonObject &command);
    QJsonArray pressWindow(QQuickWindow *window, const QSet<QString> &skip);
    QJsonArray chooseFromPopup(QPointer<QQuickItem> item, Qt::MouseButton button, const QSet<QWindow *> &before,
                               const QSet<QString> &skip);
    QJsonObject chooseAll(const QJsonObject &command);
    void await(QLocalSocket *socket, const QJsonObject &command);
    Conversation *conversation(const QJsonObject &command, bool create);

    QLocalServer *m_server;
    QHash<QString, QPair<int, QString>> m_disconnects; // conversation id: reason code and text
    QHash<QString, QString> m_removals;
    QStringList
        m_states; // every login state entered, in order                // conversation id: the last removal's reason
};
