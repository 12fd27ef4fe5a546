#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>

// SystemTrayIcon: the program's notification-area icon.
//
// Besides the icon and its menu (set up by the application), it shows balloon
// messages, optionally with a click callback that names a receiver object and
// one of its slots taking a QString, and it works out on which screen edge
// the taskbar holding the icon is docked.
//
// Balloons: every balloon replaces the pending callback (a plain balloon
// clears it) and restarts the fade-out timer, so a click always runs the
// callback of the balloon the user last saw; once the fade-out time has
// passed, a click does nothing. Texts are shown as plain text, whatever they
// hold. GUI thread only.
class SystemTrayIcon : public QSystemTrayIcon
{
    Q_OBJECT

public:
    // One balloon as the platform is asked to show it.
    struct Balloon {
        QString title;
        QString message;
        QSystemTrayIcon::MessageIcon icon;
        int msecs;
    };
    // Receives the balloons in place of the platform while set; tests record
    // them with it. Empty restores the platform.
    using BalloonHook = std::function<void(const Balloon &)>;
    static void setBalloonHook(BalloonHook hook);

    explicit SystemTrayIcon(const QIcon &icon, QObject *parent = nullptr);
    ~SystemTrayIcon() override;

    // Makes the icon visible, takes its geometry and recomputes the docking
    // edge. hideTrayIcon hides it (on exit); the edge is then 0.
    void showTrayIcon();
    void hideTrayIcon();

    QRect iconGeometry() const { return m_iconGeometry; }
    // Qt::DockWidgetArea of the taskbar with the icon; 0 while hidden.
    int dockingArea() const { return m_dockingArea; }
    // A balloon is considered on screen, from its showing to its fade-out.
    bool messageShowing() const { return m_messageShowing; }
    // The click callback of the balloon on screen: the slot's name and its
    // argument; empty for a plain balloon and after the fade-out.
    QString callbackMethod() const { return m_callbackMethod; }
    QString callbackArgument() const { return m_callbackArgument; }

    // Where a markup character would start a tag or an entity, a zero-width
    // word joiner follows it, so notification servers and balloon labels
    // that read markup show the text as written.
    static QString plainText(const QString &text);

signals:
    void geometryChanged(const QRect &newGeometry);
    void taskbarDockingChanged(Qt::DockWidgetArea area);

public slots:
    void showMessage(const QString &title, const QString &msg,
                     QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::Information, int msecs = 10000);
    // `method` names a slot of `receiver` that takes one QString, which is
    // `methodData` when the balloon is clicked.
    void showMessageWithCallback(const QString &title, const QString &message, QObject *receiver, const char *method,
                                 QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::Information,
                                 int millisecondsTimeoutHint = 10000, const QString &methodData = QString());
    // Takes the icon's geometry again and emits taskbarDockingChanged when
    // the edge moved. A hidden icon has edge 0, without a signal.
    void recomputeDocking();

    void onMessageClicked();
    void onNotificationFadeout();

protected:
    // The icon's place on the desktop; tests give one, as offscreen has none.
    virtual QRect currentIconGeometry() const;

private:
    void showBalloon(const QString &title, const QString &message, QSystemTrayIcon::MessageIcon icon, int msecs);

    QRect m_iconGeometry;
    int m_dockingArea = 0;
    bool m_messageShowing = false;
    QPointer<QObject> m_callbackReceiver;
    QString m_callbackMethod;
    QString m_callbackArgument;
    QTimer m_fadeoutTimer;
};
