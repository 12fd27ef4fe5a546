#include "windowstyle.h"

#include "testenvironment.h"

#include <QTest>
#include <QWindow>

Q_DECLARE_METATYPE(Qt::WindowFlags)

class TestWindowStyle : public QObject
{
    Q_OBJECT

private slots:
    void clearTaskbarStyles_data();
    void clearTaskbarStyles();
    void leaveTopmostBand_data();
    void leaveTopmostBand();
    void nullWindowIsIgnored();
};

void TestWindowStyle::clearTaskbarStyles_data()
{
    QTest::addColumn<Qt::WindowFlags>("before");
    QTest::addColumn<Qt::WindowFlags>("after");
    QTest::addColumn<bool>("shown");
    QTest::newRow("tool, frameless") << Qt::WindowFlags(Qt::Tool | Qt::FramelessWindowHint)
                                     << Qt::WindowFlags(Qt::Window | Qt::FramelessWindowHint) << false;
    QTest::newRow("tool, shown, on top") << Qt::WindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint)
                                         << Qt::WindowFlags(Qt::Window | Qt::WindowStaysOnTopHint) << true;
    QTest::newRow("window untouched") << Qt::WindowFlags(Qt::Window | Qt::FramelessWindowHint)
                                      << Qt::WindowFlags(Qt::Window | Qt::FramelessWindowHint) << false;
    QTest::newRow("dialog untouched") << Qt::WindowFlags(Qt::Dialog) << Qt::WindowFlags(Qt::Dialog) << false;
    QTest::newRow("splash untouched") << Qt::WindowFlags(Qt::SplashScreen) << Qt::WindowFlags(Qt::SplashScreen)
                                      << false;
}

void TestWindowStyle::clearTaskbarStyles()
{
    QFETCH(Qt::WindowFlags, before);
    QFETCH(Qt::WindowFlags, after);
    QFETCH(bool, shown);
    QWindow window;
    window.setFlags(before);
    if (shown)
        window.show();
    host::WindowStyle::clearTaskbarStyles(&window);
    QCOMPARE(window.flags(), after);
    QCOMPARE(window.isVisible(), shown);
}

void TestWindowStyle::leaveTopmostBand_data()
{
    QTest::addColumn<Qt::WindowFlags>("before");
    QTest::addColumn<Qt::WindowFlags>("after");
    QTest::newRow("on top, frameless") << Qt::WindowFlags(Qt::Window | Qt::WindowStaysOnTopHint
                                                          | Qt::FramelessWindowHint)
                                       << Qt::WindowFlags(Qt::Window | Qt::FramelessWindowHint);
    QTest::newRow("not on top") << Qt::WindowFlags(Qt::Window) << Qt::WindowFlags(Qt::Window);
}

void TestWindowStyle::leaveTopmostBand()
{
    QFETCH(Qt::WindowFlags, before);
    QFETCH(Qt::WindowFlags, after);
    QWindow window;
    window.setFlags(before);
    window.show();
    host::WindowStyle::leaveTopmostBand(&window);
    QCOMPARE(window.flags(), after);
    QVERIFY(window.isVisible());
}

void TestWindowStyle::nullWindowIsIgnored()
{
    host::WindowStyle::clearTaskbarStyles(nullptr);
    host::WindowStyle::leaveTopmostBand(nullptr);
}

TAVRI_TEST_MAIN(TestWindowStyle)
#include "tst_windowstyle.moc"
