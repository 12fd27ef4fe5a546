#include "tavrisplashscreen.h"

#include <QDebug>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

TavriSplashScreen::TavriSplashScreen(const QPixmap &pixmap, QWidget *parent)
    : QFrame(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_pixmap(pixmap)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(m_pixmap.size());
}

TavriSplashScreen::~TavriSplashScreen()
{
    qDebug() << "TavriSplashScreen::~TavriSplashScreen";
}

void TavriSplashScreen::showCentred(QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    repaint();
}

void TavriSplashScreen::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    // The whole picture over the whole frame; its alpha is kept.
    painter.drawPixmap(rect(), m_pixmap, QRect());
}
