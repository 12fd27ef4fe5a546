#include "systemtrayicon.h"

#include <QDebug>
#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>

namespace {

SystemTrayIcon::BalloonHook &balloonHook()
{
    static SystemTrayIcon::BalloonHook hook;
    return hook;
}

} // namespace

void SystemTrayIcon::setBalloonHook(BalloonHook hook)
{
    balloonHook() = std::move(hook);
}

SystemTrayIcon::SystemTrayIcon(const QIcon &icon, QObject *parent)
    : QSystemTrayIcon(icon, parent)
{
    qRegisterMetaType<Qt::DockWidgetArea>();
    m_fadeoutTimer.setSingleShot(true);
    connect(&m_fadeoutTimer, &QTimer::timeout, this, &SystemTrayIcon::onNotificationFadeout);
    connect(this, &QSystemTrayIcon::messageClicked, this, &SystemTrayIcon::onMessageClicked);
    // The taskbar may move or change size while the program runs.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        connect(screen, &QScreen::availableGeometryChanged, this, &SystemTrayIcon::recomputeDocking);
}

SystemTrayIcon::~SystemTrayIcon() = default;

void SystemTrayIcon::showTrayIcon()
{
    show();
    recomputeDocking();
}

void SystemTrayIcon::hideTrayIcon()
{
    hide();
    m_dockingArea = 0;
}

QString SystemTrayIcon::plainText(const QString &text)
{
    static const QChar wordJoiner(0x2060);
    QString plain;
    plain.reserve(text.size());
    for (const QChar c : text) {
        plain.append(c);
        if (c == QLatin1Char('<') || c == QLatin1Char('&'))
            plain.append(wordJoiner);
    }
    return plain;
}

void SystemTrayIcon::showMessage(const QString &title, const QString &msg, QSystemTrayIcon::MessageIcon icon, int msecs)
{
    m_callbackReceiver.clear();
    m_callbackMethod.clear();
    m_callbackArgument.clear();
    showBalloon(title, msg, icon, msecs);
}

void SystemTrayIcon::showMessageWithCallback(const QString &title, const QString &message, QObject *receiver,
                                             const char *method, QSystemTrayIcon::MessageIcon icon,
                                             int millisecondsTimeoutHint, const QString &methodData)
{
    m_callbackReceiver = receiver;
    m_callbackMethod = method ? QString::fromLatin1(method) : QString();
    m_callbackArgument = methodData;
    showBalloon(title, message, icon, millisecondsTimeoutHint);
}

void SystemTrayIcon::showBalloon(const QString &title, const QString &message, QSystemTrayIcon::MessageIcon icon,
                                 int msecs)
{
    m_messageShowing = true;
    m_fadeoutTimer.start(qMax(0, msecs));
    const Balloon balloon{plainText(title), plainText(message), icon, msecs};
    if (balloonHook())
        balloonHook()(balloon);
    else
        QSystemTrayIcon::showMessage(balloon.title, balloon.message, balloon.icon, balloon.msecs);
}

void SystemTrayIcon::onMessageClicked()
{
    if (!m_callbackReceiver || m_callbackMethod.isEmpty())
        return;
    const QByteArray method = m_callbackMethod.toLatin1();
    if (!QMetaObject::invokeMethod(m_callbackReceiver, method.constData(), Qt::AutoConnection,
                                   Q_ARG(QString, m_callbackArgument))) {
        qWarning() << "SystemTrayIcon::onMessageClicked" << m_callbackReceiver->metaObject()->className()
                   << "has no slot" << m_callbackMethod << "taking a QString";
    }
}

void SystemTrayIcon::onNotificationFadeout()
{
    m_fadeoutTimer.stop();
    m_messageShowing = false;
    m_callbackReceiver.clear();
    m_callbackMethod.clear();
    m_callbackArgument.clear();
}

QRect SystemTrayIcon::currentIconGeometry() const
{
    return geometry();
}

void SystemTrayIcon::recomputeDocking()
{
    if (!isVisible()) {
        m_dockingArea = 0;
        return;
    }
    const QRect geometry = currentIconGeometry();
    if (geometry != m_iconGeometry) {
        m_iconGeometry = geometry;
        emit geometryChanged(geometry);
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    // The centre with right and bottom inclusive, as QRect keeps them.
    const int cx = (geometry.left() + geometry.right()) / 2;
    const int cy = (geometry.top() + geometry.bottom()) / 2;
    Qt::DockWidgetArea area = Qt::BottomDockWidgetArea;
    if (cx < available.left())
        area = Qt::LeftDockWidgetArea;
    else if (cx > available.right())
        area = Qt::RightDockWidgetArea;
    else if (cy < available.top())
        area = Qt::TopDockWidgetArea;
    if (int(area) != m_dockingArea) {
        m_dockingArea = int(area);
        emit taskbarDockingChanged(area);
    }
}
