// The tray icon: balloons reach the platform as plain text, a click runs the
// callback of the balloon last shown until its fade-out, and the docking edge
// follows the icon's place against the screen's available area.

#include "systemtrayicon.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTextDocument>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

// A receiver of balloon clicks.
class ChatOpener : public QObject
{
    Q_OBJECT

public:
    QStringList opened;

public slots:
    void openChat(const QString &conversation) { opened.append(conversation); }
};

// A tray icon at a place the test chooses; offscreen has no real one.
class PlacedTrayIcon : public SystemTrayIcon
{
public:
    using SystemTrayIcon::SystemTrayIcon;
    QRect place;

protected:
    QRect currentIconGeometry() const override { return place; }
};

QIcon logo()
{
    return QIcon(QStringLiteral(":/textures/Logo.png"));
}

} // namespace

class TestTrayIcon : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void balloonsReachThePlatform();
    void balloonTextsStayPlain_data();
    void balloonTextsStayPlain();
    void clickRunsTheLastBalloonsCallback();
    void fadeoutEndsTheCallback();
    void clickOnMissingSlotIsLogged();
    void dockingEdgeFollowsTheIcon_data();
    void dockingEdgeFollowsTheIcon();
    void hiddenIconHasNoEdge();

private:
    QList<SystemTrayIcon::Balloon> m_balloons;
};

void TestTrayIcon::init()
{
    m_balloons.clear();
    SystemTrayIcon::setBalloonHook([this](const SystemTrayIcon::Balloon &balloon) { m_balloons.append(balloon); });
}

void TestTrayIcon::cleanup()
{
    SystemTrayIcon::setBalloonHook({});
}

void TestTrayIcon::balloonsReachThePlatform()
{
    SystemTrayIcon tray(logo());
    ChatOpener opener;
    QVERIFY(!tray.messageShowing());
    tray.showMessage(QStringLiteral("Error"), QStringLiteral("Connection lost"), QSystemTrayIcon::Critical, 10000);
    QVERIFY(tray.messageShowing());
    tray.showMessageWithCallback(QStringLiteral("Notification for Ann"), QStringLiteral("Ann: hello"), &opener,
                                 "openChat", QSystemTrayIcon::Information, 5000, QStringLiteral("conv-1"));
    // Defaults: information icon, 10 s.
    tray.showMessage(QStringLiteral("Tavri"), QStringLiteral("Signed in"));

    QCOMPARE(m_balloons.size(), 3);
    const auto check = [&](int i, const char *title, const char *text, QSystemTrayIcon::MessageIcon icon, int msecs) {
        QCOMPARE(m_balloons[i].title, QString::fromUtf8(title));
        QCOMPARE(m_balloons[i].message, QString::fromUtf8(text));
        QCOMPARE(m_balloons[i].icon, icon);
        QCOMPARE(m_balloons[i].msecs, msecs);
    };
    check(0, "Error", "Connection lost", QSystemTrayIcon::Critical, 10000);
    check(1, "Notification for Ann", "Ann: hello", QSystemTrayIcon::Information, 5000);
    check(2, "Tavri", "Signed in", QSystemTrayIcon::Information, 10000);
}

void TestTrayIcon::balloonTextsStayPlain_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("tags") << "<b>bold</b> <a href=\"http://x\">link</a> <img src=\"file:///etc/passwd\">";
    QTest::newRow("entities") << "Tom &amp; Jerry &lt;3 &#x41;";
    QTest::newRow("lone markup characters") << "a < b && c > d &";
    QTest::newRow("html document") << "<html><body><h1>Hi</h1></body></html>";
    QTest::newRow("empty") << QString();
    QTest::newRow("lines and unicode") << QString::fromUtf8("line one\nline two\t\xe2\x82\xac \xf0\x9f\x8e\xa7");
    QTest::newRow("long") << QString(200000, QLatin1Char('x'));
}

// Whatever the text, the platform is handed the very characters written,
// in a form that no markup reader takes for markup: a balloon label does not
// detect rich text in it, and a notification server's markup parser finds no
// element and no entity (it fails and shows the text as it is).
void TestTrayIcon::balloonTextsStayPlain()
{
    QFETCH(QString, text);
    SystemTrayIcon tray(logo());
    tray.showMessage(text, text);
    QCOMPARE(m_balloons.size(), 1);
    for (const QString &shown : {m_balloons[0].title, m_balloons[0].message}) {
        QCOMPARE(QString(shown).remove(QChar(0x2060)), text);
        QVERIFY(!Qt::mightBeRichText(shown));
        QXmlStreamReader markup(QStringLiteral("<body>") + shown + QStringLiteral("</body>"));
        QString read;
        while (!markup.atEnd()) {
            const QXmlStreamReader::TokenType token = markup.readNext();
            QVERIFY2(token != QXmlStreamReader::StartElement || markup.name() == QLatin1String("body"),
                     qPrintable(markup.name().toString()));
            QVERIFY(token != QXmlStreamReader::EntityReference);
            if (token == QXmlStreamReader::Characters)
                read += markup.text();
        }
        QVERIFY(read.size() <= shown.size());
        if (!markup.hasError())
            QCOMPARE(read, shown);
    }
}

// Each balloon replaces the pending callback: a click opens the chat of the
// balloon the user last saw, and a plain balloon leaves nothing to open.
void TestTrayIcon::clickRunsTheLastBalloonsCallback()
{
    SystemTrayIcon tray(logo());
    ChatOpener opener;
    tray.showMessageWithCallback(QStringLiteral("Ann"), QStringLiteral("hi"), &opener, "openChat",
                                 QSystemTrayIcon::Information, 10000, QStringLiteral("chat-ann"));
    emit tray.messageClicked();
    QCOMPARE(opener.opened, QStringList{QStringLiteral("chat-ann")});

    tray.showMessageWithCallback(QStringLiteral("Bob"), QStringLiteral("yo"), &opener, "openChat",
                                 QSystemTrayIcon::Information, 10000, QStringLiteral("chat-bob"));
    emit tray.messageClicked();
    emit tray.messageClicked(); // the callback stays until the fade-out
    QCOMPARE(opener.opened, QStringList({"chat-ann", "chat-bob", "chat-bob"}));

    tray.showMessage(QStringLiteral("Error"), QStringLiteral("Connection lost"));
    emit tray.messageClicked();
    QCOMPARE(opener.opened.size(), 3);

    // A callback balloon right after a plain one owns the click at once.
    tray.showMessageWithCallback(QStringLiteral("Cy"), QStringLiteral("hey"), &opener, "openChat",
                                 QSystemTrayIcon::Information, 10000, QStringLiteral("chat-cy"));
    emit tray.messageClicked();
    QCOMPARE(opener.opened.last(), QStringLiteral("chat-cy"));
}

// The fade-out timer restarts with every balloon; once it runs out the
// balloon is gone and a click does nothing.
void TestTrayIcon::fadeoutEndsTheCallback()
{
    SystemTrayIcon tray(logo());
    ChatOpener opener;
    tray.showMessageWithCallback(QStringLiteral("Ann"), QStringLiteral("hi"), &opener, "openChat",
                                 QSystemTrayIcon::Information, 20, QStringLiteral("chat-ann"));
    tray.showMessageWithCallback(QStringLiteral("Bob"), QStringLiteral("yo"), &opener, "openChat",
                                 QSystemTrayIcon::Information, 600000, QStringLiteral("chat-bob"));
    // A timer of twice the first balloon's time fires after that balloon's
    // timer would have: the second balloon restarted it, so it still shows.
    QEventLoop loop;
    QTimer::singleShot(40, &loop, &QEventLoop::quit);
    loop.exec();
    QVERIFY(tray.messageShowing());
    emit tray.messageClicked();
    QCOMPARE(opener.opened, QStringList{QStringLiteral("chat-bob")});

    tray.showMessageWithCallback(QStringLiteral("Cy"), QStringLiteral("hey"), &opener, "openChat",
                                 QSystemTrayIcon::Information, 10, QStringLiteral("chat-cy"));
    QTRY_VERIFY(!tray.messageShowing());
    emit tray.messageClicked();
    QCOMPARE(opener.opened, QStringList{QStringLiteral("chat-bob")});
}

void TestTrayIcon::clickOnMissingSlotIsLogged()
{
    SystemTrayIcon tray(logo());
    ChatOpener opener;
    tray.showMessageWithCallback(QStringLiteral("Ann"), QStringLiteral("hi"), &opener, "noSuchSlot");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QMetaObject::invokeMethod: No such method"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^SystemTrayIcon::onMessageClicked ChatOpener has no slot"));
    emit tray.messageClicked();
    QVERIFY(opener.opened.isEmpty());
}

void TestTrayIcon::dockingEdgeFollowsTheIcon_data()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(area.isValid());
    const int midX = area.center().x(), midY = area.center().y();
    QTest::addColumn<QRect>("place");
    QTest::addColumn<int>("edge");
    QTest::newRow("left") << QRect(area.left() - 30, midY, 24, 24) << int(Qt::LeftDockWidgetArea);
    QTest::newRow("right") << QRect(area.right() + 6, midY, 24, 24) << int(Qt::RightDockWidgetArea);
    QTest::newRow("top") << QRect(midX, area.top() - 30, 24, 24) << int(Qt::TopDockWidgetArea);
    QTest::newRow("bottom") << QRect(midX, area.bottom() + 6, 24, 24) << int(Qt::BottomDockWidgetArea);
    // The centre decides: an icon half across the left edge whose centre is
    // still inside is not on the left.
    QTest::newRow("centre on the left edge") << QRect(area.left() - 12, midY, 25, 24) << int(Qt::BottomDockWidgetArea);
    QTest::newRow("centre just left") << QRect(area.left() - 13, midY, 25, 24) << int(Qt::LeftDockWidgetArea);
    QTest::newRow("no geometry, as offscreen") << QRect() << int(Qt::BottomDockWidgetArea);
}

void TestTrayIcon::dockingEdgeFollowsTheIcon()
{
    QFETCH(QRect, place);
    QFETCH(int, edge);
    PlacedTrayIcon tray(logo());
    tray.place = place;
    QSignalSpy docking(&tray, &SystemTrayIcon::taskbarDockingChanged);
    QSignalSpy geometry(&tray, &SystemTrayIcon::geometryChanged);
    tray.showTrayIcon();
    QCOMPARE(tray.dockingArea(), edge);
    QCOMPARE(docking.size(), 1);
    QCOMPARE(docking.first().first().value<Qt::DockWidgetArea>(), Qt::DockWidgetArea(edge));
    QCOMPARE(tray.iconGeometry(), place);
    QCOMPARE(geometry.size(), place.isNull() ? 0 : 1);

    // Nothing moved: nothing is said.
    tray.recomputeDocking();
    QCOMPARE(docking.size(), 1);
}

// A hidden icon sits on no edge and says so without a signal; shown again it
// reports its edge anew.
void TestTrayIcon::hiddenIconHasNoEdge()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    PlacedTrayIcon tray(logo());
    tray.place = QRect(area.right() + 6, area.center().y(), 24, 24);
    QSignalSpy docking(&tray, &SystemTrayIcon::taskbarDockingChanged);
    tray.recomputeDocking();
    QCOMPARE(tray.dockingArea(), 0);
    QCOMPARE(docking.size(), 0);

    tray.showTrayIcon();
    QCOMPARE(tray.dockingArea(), int(Qt::RightDockWidgetArea));
    tray.hideTrayIcon();
    QVERIFY(!tray.isVisible());
    QCOMPARE(tray.dockingArea(), 0);
    tray.recomputeDocking();
    QCOMPARE(tray.dockingArea(), 0);
    QCOMPARE(docking.size(), 1);

    tray.showTrayIcon();
    QCOMPARE(docking.size(), 2);
    QCOMPARE(tray.dockingArea(), int(Qt::RightDockWidgetArea));
}

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
