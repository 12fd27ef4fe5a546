// The audio diagnostics window: the SDK switches, the statistics table, the
// meters and levels, and the hint chain.

#include <QQmlEngine>
#include <QQuickItem>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QtTest/QtTest>

#include "../loginwindow/windowfakes.h"
#include "settingsfakes.h"
#include "stylemanager.h"
#include "tavriapplication.h"
#include "testenvironment.h"

using namespace settingstest;

namespace {

const char *const kHintCategories[] = {"statsScreenEnableAECHint", "statsScreenEnableAGCHint",
                                       "statsScreenEnableVADHint"};

// The statistics model, filled directly: the roles the table shows.
class StatsModel : public QStandardItemModel
{
public:
    enum Roles { PacketsSent = Qt::UserRole + 1, PacketsReceived, CodecName };

    StatsModel()
    {
        setItemRoleNames(
            {{PacketsSent, "packetsSent"}, {PacketsReceived, "packetsReceived"}, {CodecName, "codecName"}});
    }
    void addSample(const QVariant &sent, const QVariant &received, const QString &codec)
    {
        auto *row = new QStandardItem;
        row->setData(sent, PacketsSent);
        row->setData(received, PacketsReceived);
        row->setData(codec, CodecName);
        appendRow(row);
    }
};

} // namespace

class TestQmlDiagnostics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void switchesCallTheSdkOnlyOnChange();
    void statisticsCells();
    void newSampleScrollsToTheLastRow();
    void levelsAndValues();
    void hintsOffMarkAllCategoriesDismissed();

private:
    bool load();
    QStringList cellTexts() const;

    std::unique_ptr<WindowFixture> m_window;
    std::unique_ptr<StatsModel> m_stats;
};

void TestQmlDiagnostics::initTestCase()
{
    Q_INIT_RESOURCE(tavri);
    TavriApplication::registerQmlTypes();
    QVERIFY(StyleManager::getInstance(new QQmlEngine(this))->style());
}

void TestQmlDiagnostics::init()
{
    StorageManager *storage = StorageManager::getInstance();
    storage->setShowHints(false);
    m_stats.reset(new StatsModel);
    m_window.reset(new WindowFixture);
    m_window->app.m_callStats = m_stats.get();
}

void TestQmlDiagnostics::cleanup()
{
    const QStringList warnings = m_window->finish();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

bool TestQmlDiagnostics::load()
{
    if (!m_window->load(QStringLiteral("HiddenWindow.qml")))
        return false;
    m_window->view->resize(640, 480);
    QQuickItem *root = m_window->view->root();
    return QTest::qWaitFor([root] { return root->width() == 640; });
}

// The texts of the table's cells that exist, walking the visual tree (the
// table makes its cells in loaders).
static void collectCells(QQuickItem *item, QStringList &texts)
{
    for (QQuickItem *child : item->childItems()) {
        if (child->objectName() == QLatin1String("statsCell") && child->isVisible())
            texts << child->property("text").toString();
        collectCells(child, texts);
    }
}

QStringList TestQmlDiagnostics::cellTexts() const
{
    QStringList texts;
    collectCells(m_window->view->root(), texts);
    return texts;
}

void TestQmlDiagnostics::switchesCallTheSdkOnlyOnChange()
{
    QVERIFY(load());
    QCOMPARE(m_window->app.calls.all(), QStringList());
    QQuickItem *vad = m_window->item("vadBox");
    QVERIFY(vad->property("checked").toBool());
    QVERIFY(m_window->view->click(QStringLiteral("vadBox")));
    QCOMPARE(m_window->app.calls.all(), QStringList{QStringLiteral("setVadEnabled|false")});
    QVERIFY(m_window->view->click(QStringLiteral("vadBox")));
    QVERIFY(m_window->view->click(QStringLiteral("aecBox")));
    QVERIFY(m_window->view->click(QStringLiteral("copyButton")));
    QVERIFY(m_window->view->click(QStringLiteral("clearButton")));
    QCOMPARE(m_window->app.calls.all(),
             (QStringList{QStringLiteral("setVadEnabled|false"), QStringLiteral("setVadEnabled|true"),
                          QStringLiteral("setAecEnabled|false"), QStringLiteral("copyCallStatsToClipboard"),
                          QStringLiteral("clearCallStats")}));
    windowtest::savePicture(m_window->view.get(), QStringLiteral("diagnostics"));
}

void TestQmlDiagnostics::statisticsCells()
{
    m_stats->addSample(12, QStringLiteral("n/a"), QStringLiteral("opus 1.0"));
    QVERIFY(load());
    QTRY_VERIFY(cellTexts().contains(QStringLiteral("12.0000")));
    const QStringList texts = cellTexts();
    // What is not a number, and the codec, are shown unchanged.
    QVERIFY2(texts.contains(QStringLiteral("n/a")), qPrintable(texts.join(QLatin1Char(','))));
    QVERIFY2(texts.contains(QStringLiteral("opus 1.0")), qPrintable(texts.join(QLatin1Char(','))));
}

void TestQmlDiagnostics::newSampleScrollsToTheLastRow()
{
    for (int i = 0; i < 40; ++i)
        m_stats->addSample(i, i, QStringLiteral("opus"));
    QVERIFY(load());
    QObject *timer = m_window->view->root()->findChild<QObject *>(QStringLiteral("scrollTimer"));
    QVERIFY(timer);
    QCOMPARE(timer->property("interval").toInt(), 20);
    QSignalSpy scrolled(timer, SIGNAL(triggered()));
    m_stats->addSample(99, 99, QStringLiteral("last"));
    QVERIFY(scrolled.wait());
    QObject *flickable = m_window->item("statsTable")->property("flickableItem").value<QObject *>();
    QVERIFY(flickable);
    // The view's bottom edge and the content's end, as "bottom < end".
    const auto shortOfTheEnd = [flickable]() -> QString {
        const qreal bottom = flickable->property("contentY").toReal() + flickable->property("height").toReal();
        const qreal end = flickable->property("originY").toReal() + flickable->property("contentHeight").toReal();
        return bottom >= end - 1 ? QString() : QStringLiteral("%1 < %2").arg(bottom).arg(end);
    };
    // The rows' heights are learnt as they are laid out: the view reaches
    // the end once they are.
    QTRY_VERIFY2_WITH_TIMEOUT(shortOfTheEnd().isEmpty(), qPrintable(shortOfTheEnd()), 30000);
    QVERIFY(cellTexts().contains(QStringLiteral("last")));
}

void TestQmlDiagnostics::levelsAndValues()
{
    m_window->voice.m_speakerVolume = 50;
    m_window->voice.m_microphoneVolume = 62;
    m_window->voice.m_noiseFloor = 0.25;
    m_window->voice.m_speechThreshold = qQNaN();
    QVERIFY(load());
    QCOMPARE(m_window->text("speakerGainLabel"), QStringLiteral("Gain: 0dB"));
    QCOMPARE(m_window->text("microphoneGainLabel"), QStringLiteral("Gain: 12dB"));
    QCOMPARE(m_window->text("noiseFloorValue"), QStringLiteral("Noise floor: 0.2500"));
    QCOMPARE(m_window->text("thresholdValue"), QStringLiteral("Speaking threshold: NaN"));
    QCOMPARE(m_window->text("maxNoiseFloorValue"), QStringLiteral("Maximum noise floor: 1.0000"));

    // A reported volume is shown without being written back; a moved bar
    // writes once it rests.
    m_window->voice.m_speakerVolume = 60;
    emit m_window->voice.speakerVolumeChanged();
    QQuickItem *bar = m_window->item("speakerBar");
    QCOMPARE(bar->property("value").toInt(), 60);
    bar->setProperty("value", 40);
    QTRY_COMPARE(m_window->user.calls.all(), QStringList{QStringLiteral("speakerVolumeAdjust|40")});
}

void TestQmlDiagnostics::hintsOffMarkAllCategoriesDismissed()
{
    StorageManager *storage = StorageManager::getInstance();
    for (const char *category : kHintCategories)
        storage->setShowHint(QString::fromLatin1(category), true);
    QVERIFY(load());
    for (const char *category : kHintCategories)
        QVERIFY2(!storage->getShowHint(QString::fromLatin1(category)), category);
}

TAVRI_WINDOW_TEST_MAIN(TestQmlDiagnostics)
#include "moc_settingsfakes.cpp"
#include "tst_qml_diagnostics.moc"
