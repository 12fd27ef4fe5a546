// The post-call quality survey: choosing a rating, what "Send" reports (and
// when it opens the issue report first), and the ways out of the window.

#include <QQmlEngine>
#include <QQuickItem>
#include <QtTest/QtTest>

#include "storagemanager.h"
#include "stylemanager.h"
#include "tavriapplication.h"
#include "testenvironment.h"
#include "windowfakes.h"

using namespace windowtest;

class TestPostCallSurvey : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loadsWithRatingsBestFirst();
    void sendNeedsRating();
    void send_data();
    void send();
    void waysOut_data();
    void waysOut();

private:
    QmlTestView *load();
    bool surveyDisabled() const;

    std::unique_ptr<FakeMainApp> m_app;
    std::unique_ptr<FakeLocalUser> m_user;
    std::unique_ptr<QmlTestView> m_view;
    ReportSources m_sources;
};

void TestPostCallSurvey::initTestCase()
{
    Q_INIT_RESOURCE(tavri);
    TavriApplication::registerQmlTypes();
    QVERIFY(StyleManager::getInstance(new QQmlEngine(this))->style());
    m_sources.stats.m_rows = {QVariantMap{{QStringLiteral("lost"), 3}, {QStringLiteral("jitter"), 12}},
                              QVariantMap{{QStringLiteral("lost"), 0}}};
}

void TestPostCallSurvey::init()
{
    m_app.reset(new FakeMainApp);
    m_sources.attachTo(*m_app);
    m_user.reset(new FakeLocalUser);
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyPostCallSurveyDisabled, false);
    StorageManager::getInstance()->setSettingsValue(StorageManager::SettingsKeyPttMode, 1);
}

void TestPostCallSurvey::cleanup()
{
    const QStringList warnings = m_view ? m_view->qmlWarnings() : QStringList();
    m_view.reset();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

QmlTestView *TestPostCallSurvey::load()
{
    m_view.reset();
    m_view.reset(new QmlTestView);
    m_view->setContextObject(QStringLiteral("mainApp"), m_app.get());
    m_view->setContextObject(QStringLiteral("localUser"), m_user.get());
    m_view->setContextObject(QStringLiteral("storageManager"), StorageManager::getInstance());
    if (!m_view->load(QUrl(QStringLiteral("qrc:/QML/qml/tavri/PostCallSurvey.qml"))))
        return nullptr;
    m_view->resize(480, 300);
    QQuickItem *root = m_view->root();
    if (!QTest::qWaitFor([&] { return root->size() == QSizeF(480, 300); }))
        return nullptr;
    call(m_view.get(), "reset");
    return m_view.get();
}

bool TestPostCallSurvey::surveyDisabled() const
{
    return StorageManager::getInstance()
        ->getSettingsValue(StorageManager::SettingsKeyPostCallSurveyDisabled, false)
        .toBool();
}

void TestPostCallSurvey::loadsWithRatingsBestFirst()
{
    QmlTestView *window = load();
    QVERIFY(window);
    QCOMPARE(window->root()->property("title").toString(), QStringLiteral("Quality Survey"));
    // Each rating shows as many stars as its index, the best on top.
    qreal previousY = -1;
    for (int index = 4; index >= 0; --index) {
        QQuickItem *row = item(window, QStringLiteral("rating%1").arg(index));
        QVERIFY(row);
        const QPointF at = row->mapToScene(QPointF(0, 0));
        QVERIFY(at.y() > previousY);
        previousY = at.y();
        int stars = 0;
        const std::function<void(QQuickItem *)> count = [&](QQuickItem *parent) {
            for (QQuickItem *child : parent->childItems()) {
                if (child->inherits("QQuickImage") && child->isVisible())
                    ++stars;
                count(child);
            }
        };
        count(row);
        QCOMPARE(stars, index);
        QVERIFY(at.y() + row->height() <= item(window, "sendButton")->mapToScene(QPointF(0, 0)).y());
    }
    savePicture(window, QStringLiteral("post-call-survey"));
}

void TestPostCallSurvey::sendNeedsRating()
{
    QmlTestView *window = load();
    QVERIFY(window);
    QQuickItem *send = item(window, "sendButton");
    QVERIFY(!send->isEnabled());
    window->click(send);
    QVERIFY(m_app->log.calls().isEmpty());
    window->click(item(window, "rating3"));
    QVERIFY(send->isEnabled());
    // reset() clears the choice and the box.
    item(window, "dontShowBox")->setProperty("checked", true);
    call(window, "reset");
    QVERIFY(!send->isEnabled());
    QVERIFY(!item(window, "dontShowBox")->property("checked").toBool());
}

void TestPostCallSurvey::send_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("english");
    QTest::addColumn<bool>("reportsIssue");
    QTest::addColumn<bool>("dontShow");
    QTest::newRow("great") << 4 << "Great - clear, no problems" << false << false;
    QTest::newRow("okay, not again") << 2 << "Okay - some issues, affected the conversation" << false << true;
    QTest::newRow("poor") << 1 << "Poor - conversation was hard to follow" << true << false;
    QTest::newRow("very poor") << 0 << "Very Poor - conversation was impossible" << true << true;
}

void TestPostCallSurvey::send()
{
    QFETCH(int, index);
    QFETCH(QString, english);
    QFETCH(bool, reportsIssue);
    QFETCH(bool, dontShow);
    QmlTestView *window = load();
    QVERIFY(window);
    window->click(item(window, QStringLiteral("rating%1").arg(index)));
    item(window, "dontShowBox")->setProperty("checked", dontShow);
    window->click(item(window, "sendButton"));

    const QStringList data =
        QStringList{"v:" + QString::number(index), "t:" + english, QStringLiteral("c:call-9")}
        + ReportSources::machineLines(1)
        + QStringList{QStringLiteral("cs_0_jitter:12"), QStringLiteral("cs_0_lost:3"), QStringLiteral("cs_1_lost:0")}
        + ReportSources::localeLines();
    QStringList expected;
    if (reportsIssue)
        expected.append(QStringLiteral("showReportIssue|Sorry that you have experienced problems, please let us know "
                                       "more details so we can try to resolve them."));
    expected.append((QStringList{QStringLiteral("trackEvent|PostCallSurvey|Send")} + data).join('|'));
    QCOMPARE(m_app->log.calls(), expected);
    QCOMPARE(surveyDisabled(), dontShow);
    QVERIFY(!window->isVisible());
    QVERIFY(!item(window, "sendButton")->isEnabled());
}

void TestPostCallSurvey::waysOut_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("dontShow");
    QTest::addColumn<QString>("tracked");
    QTest::addColumn<bool>("stores");
    QTest::newRow("cancel") << "cancel" << false << "CancelClick" << false;
    QTest::newRow("cancel, not again") << "cancel" << true << "CancelClick" << true;
    QTest::newRow("escape") << "escape" << true << "CancelEsc" << false;
    QTest::newRow("close button") << "close" << true << "Close" << false;
}

void TestPostCallSurvey::waysOut()
{
    QFETCH(QString, way);
    QFETCH(bool, dontShow);
    QFETCH(QString, tracked);
    QFETCH(bool, stores);
    QmlTestView *window = load();
    QVERIFY(window);
    window->click(item(window, "rating1"));
    item(window, "dontShowBox")->setProperty("checked", dontShow);
    if (way == "cancel")
        window->click(item(window, "cancelButton"));
    else if (way == "escape")
        window->key(Qt::Key_Escape);
    else
        QMetaObject::invokeMethod(window->root(), "close", Q_ARG(QVariant, QStringLiteral("Click")));

    QCOMPARE(m_app->log.calls(), QStringList{"trackEvent|PostCallSurvey|" + tracked});
    QCOMPARE(surveyDisabled(), stores);
    QVERIFY(!window->isVisible());
    // Every way out leaves a fresh form for the next call.
    QVERIFY(!item(window, "sendButton")->isEnabled());
    QVERIFY(!item(window, "dontShowBox")->property("checked").toBool());
}

TAVRI_WINDOW_TEST_MAIN(TestPostCallSurvey)
#include "moc_windowfakes.cpp"
#include "tst_postcallsurvey.moc"
