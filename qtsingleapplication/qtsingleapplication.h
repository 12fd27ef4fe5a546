#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QWindow>

class QtLocalPeer;

// A QApplication of which only one process runs per user and application id.
//
// The first process to construct it for an id owns the id; a later one finds
// isRunning() true and hands its request to the owner with sendMessage(),
// which the owner announces as messageReceived() on its GUI thread. The
// activation window is the window that requestActivate() raises.
class QtSingleApplication : public QApplication
{
    Q_OBJECT

public:
    QtSingleApplication(const QString &appId, int &argc, char **argv);
    ~QtSingleApplication() override;

    // True when another process already owns the id.
    bool isRunning();
    QString id() const;

    void setActivationWindow(QWindow *window);
    QWindow *activationWindow() const;

public slots:
    // Delivers `message` to the owner of the id; false when it was not
    // acknowledged within `timeout` ms (or this process is the owner).
    bool sendMessage(const QString &message, int timeout = 5000);
    // Raises the activation window and asks for the focus, when one is set.
    void requestActivate();

signals:
    void messageReceived(const QString &message);

private:
    QtLocalPeer *m_peer = nullptr;
    QPointer<QWindow> m_activationWindow;
};
