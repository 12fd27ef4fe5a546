// The presence-message editor: the Online and Away texts, "Default" and
// "Save".

#include <QQmlEngine>
#include <QQuickItem>
#include <QtTest/QtTest>

#include "../loginwindow/windowfakes.h"
#include "settingsfakes.h"
#include "stylemanager.h"
#include "tavriapplication.h"
#include "testenvironment.h"

using namespace settingstest;

class TestQmlPresence : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void showsTheStoredTexts();
    void saveStoresTrimmedTextsAndHides_data();
    void saveStoresTrimmedTextsAndHides();
    void fieldsTakeAtMostThirtyCharacters();
    void defaultRestoresTheWordsAndStaysOpen();
    void closingSavesNothing();

private:
    void typeInto(const char *field, const QString &text);

    std::unique_ptr<WindowFixture> m_window;
};

void TestQmlPresence::initTestCase()
{
    Q_INIT_RESOURCE(tavri);
    TavriApplication::registerQmlTypes();
    QVERIFY(StyleManager::getInstance(new QQmlEngine(this))->style());
}

void TestQmlPresence::init()
{
    m_window.reset(new WindowFixture);
    m_window->user.m_onlineStatus = QStringLiteral("Around");
    QVERIFY(m_window->load(QStringLiteral("EditPresenceMessages.qml")));
}

void TestQmlPresence::cleanup()
{
    const QStringList warnings = m_window->finish();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

void TestQmlPresence::typeInto(const char *field, const QString &text)
{
    QQuickItem *item = m_window->item(field);
    item->setProperty("text", QString());
    item->forceActiveFocus();
    m_window->view->type(text);
}

void TestQmlPresence::showsTheStoredTexts()
{
    QCOMPARE(m_window->text("onlineField"), QStringLiteral("Around"));
    QCOMPARE(m_window->text("awayField"), QStringLiteral("away"));
    QCOMPARE(m_window->view->find(QStringLiteral("titleText"))->property("text").toString(),
             QStringLiteral("Edit status messages"));
    windowtest::savePicture(m_window->view.get(), QStringLiteral("presence-editor"));
}

void TestQmlPresence::saveStoresTrimmedTextsAndHides_data()
{
    QTest::addColumn<QString>("online");
    QTest::addColumn<QString>("away");
    QTest::addColumn<QString>("storedOnline");
    QTest::addColumn<QString>("shownAway");
    QTest::newRow("blanks around") << "  Gaming  "
                                   << " brb "
                                   << "Gaming"
                                   << "brb";
    QTest::newRow("empty away") << "Here" << QString() << "Here"
                                << "away";
    QTest::newRow("blanks only") << "Here"
                                 << "   "
                                 << "Here"
                                 << "away";
}

void TestQmlPresence::saveStoresTrimmedTextsAndHides()
{
    QFETCH(QString, online);
    QFETCH(QString, away);
    QFETCH(QString, storedOnline);
    QFETCH(QString, shownAway);
    typeInto("onlineField", online);
    typeInto("awayField", away);
    QVERIFY(m_window->view->click(QStringLiteral("saveButton")));

    const QString storedAway = away.trimmed();
    QCOMPARE(m_window->user.calls.all(), (QStringList{QStringLiteral("setPresenceMessage|5|") + storedOnline,
                                                      QStringLiteral("setPresenceMessage|2|") + storedAway}));
    QCOMPARE(m_window->text("awayField"), shownAway);
    QCOMPARE(m_window->app.calls.all(),
             (QStringList{QStringLiteral("trackEvent|EditPresenceMessages|OnlineMessageUpdatedEnter"),
                          QStringLiteral("trackEvent|EditPresenceMessages|AwayMessageUpdated")}));
    QVERIFY(!m_window->view->isVisible());
}

void TestQmlPresence::fieldsTakeAtMostThirtyCharacters()
{
    const QString thirtyOne(31, QLatin1Char('x'));
    for (const char *field : {"onlineField", "awayField"}) {
        typeInto(field, thirtyOne);
        QCOMPARE(m_window->text(field), QString(30, QLatin1Char('x')));
    }
}

void TestQmlPresence::defaultRestoresTheWordsAndStaysOpen()
{
    typeInto("awayField", QStringLiteral("Lunch"));
    QVERIFY(m_window->view->click(QStringLiteral("defaultButton")));
    QCOMPARE(m_window->user.calls.all(),
             (QStringList{QStringLiteral("setPresenceMessage|5|"), QStringLiteral("setPresenceMessage|2|")}));
    QCOMPARE(m_window->text("onlineField"), QStringLiteral("online"));
    QCOMPARE(m_window->text("awayField"), QStringLiteral("away"));
    QVERIFY(m_window->view->isVisible());
    QCOMPARE(m_window->app.calls.all(), QStringList());
}

void TestQmlPresence::closingSavesNothing()
{
    typeInto("onlineField", QStringLiteral("Unsaved"));
    QVERIFY(m_window->view->click(QStringLiteral("closeButton")));
    QVERIFY(!m_window->view->isVisible());
    QCOMPARE(m_window->user.calls.all(), QStringList());
    QCOMPARE(m_window->app.calls.all(), QStringList());
}

TAVRI_WINDOW_TEST_MAIN(TestQmlPresence)
#include "moc_settingsfakes.cpp"
#include "tst_qml_presence.moc"
