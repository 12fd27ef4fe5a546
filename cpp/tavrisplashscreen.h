#pragma once

#include <QFrame>
#include <QPixmap>

class QScreen;

// The start-up splash: a frameless splash window exactly the size of its
// picture, with a translucent background so that the picture's transparent
// parts show the desktop behind it.
class TavriSplashScreen : public QFrame
{
    Q_OBJECT

public:
    explicit TavriSplashScreen(const QPixmap &pixmap, QWidget *parent = nullptr);
    ~TavriSplashScreen() override;

    QPixmap pixmap() const { return m_pixmap; }

    // Centres the splash on the screen's free area (the primary screen when
    // null), shows it and paints it at once, before the event loop runs.
    void showCentred(QScreen *screen = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_pixmap;
};
