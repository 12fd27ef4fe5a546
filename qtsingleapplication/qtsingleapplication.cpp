#include "qtsingleapplication.h"

#include "qtlocalpeer.h"

QtSingleApplication::QtSingleApplication(const QString &appId, int &argc, char **argv)
    : QApplication(argc, argv)
    , m_peer(new QtLocalPeer(this, appId))
{
    connect(m_peer, &QtLocalPeer::messageReceived, this, &QtSingleApplication::messageReceived);
}

QtSingleApplication::~QtSingleApplication() = default;

bool QtSingleApplication::isRunning()
{
    return m_peer->isClient();
}

QString QtSingleApplication::id() const
{
    return m_peer->applicationId();
}

void QtSingleApplication::setActivationWindow(QWindow *window)
{
    m_activationWindow = window;
}

QWindow *QtSingleApplication::activationWindow() const
{
    return m_activationWindow;
}

bool QtSingleApplication::sendMessage(const QString &message, int timeout)
{
    return m_peer->sendMessage(message, timeout);
}

void QtSingleApplication::requestActivate()
{
    if (!m_activationWindow)
        return;
    m_activationWindow->raise();
    m_activationWindow->requestActivate();
}
