#include "audiocuesmanager.h"
#include "fakemediaservice.h"
#include "logcapture.h"
#include "qmltestview.h"
#include "stylemanager.h"
#include "testenvironment.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QMetaProperty>
#include <QQuickItem>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QtTest>

namespace {

// The application object of the program offers trackEvent to the style
// manager; this one records the events.
class TrackingApplication : public QApplication
{
    Q_OBJECT

public:
    using QApplication::QApplication;
    struct Event {
        QString category;
        QString label;
        QStringList parameters;
    };
    QList<Event> events;

    Q_INVOKABLE void trackEvent(const QString &category, const QString &label, const QStringList &parameters)
    {
        events.append(Event{category, label, parameters});
    }
};

TrackingApplication *trackingApp()
{
    return static_cast<TrackingApplication *>(QCoreApplication::instance());
}

const QStringList kChatColors{"#00c4b2", "#162cd2", "#4fda24", "#d7df00", "#dda621",
                              "#a12600", "#d73eaa", "#8f24bb", "#8f9aff", "#ff8c38"};

} // namespace

// StyleManager: the built-in style, the schema, skins found on disk, and
// switching styles by copying values into the one style object in force.
class TestStyleManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void builtInStyle();
    void schemaDeclaresEveryKind();
    void everyStyleNameTheQmlReadsExists();
    void chatColorsTakenInTurn();
    void noChatColorsGivesInvalidColour();
    void skinDirectories();
    void availableStylesWithoutSkins();
    void availableStylesListEachValidStyleOnce();
    void setStyleCopiesIntoTheStyleInForce();
    void setStyleOfFailingFolderChangesNothing_data();
    void setStyleOfFailingFolderChangesNothing();
    void setStyleByNameOnlyFindsFolders();
    void skinDerivedFromDefaultRecomputesValues();
    void propertyOfWrongTypeKeepsItsValue();
    void valuesASkinLeavesOutKeepTheBuiltInOnes();

private:
    QObject *style() const { return StyleManager::getInstance()->style(); }
    QString cwdSkins() const { return m_cwd.filePath(QStringLiteral("skins")); }
    QString dataSkins() const
    {
        return QDir(QStandardPaths::writableLocation(QStandardPaths::DataLocation)).filePath(QStringLiteral("skins"));
    }
    // Writes skins/<folder>/<folder>.qml under `skins`.
    static void writeSkin(const QString &skins, const QString &folder, const QByteArray &qml);

    QTemporaryDir m_cwd;
    QmlTestView *m_view = nullptr;
};

void TestStyleManager::writeSkin(const QString &skins, const QString &folder, const QByteArray &qml)
{
    QVERIFY(QDir().mkpath(QDir(skins).filePath(folder)));
    QFile file(QDir(skins).filePath(folder + QLatin1Char('/') + folder + QStringLiteral(".qml")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(qml);
}

void TestStyleManager::initTestCase()
{
    QVERIFY(m_cwd.isValid());
    QVERIFY(QDir::setCurrent(m_cwd.path()));
    // The view's engine is the shared one, as in the program.
    m_view = new QmlTestView;
    QCOMPARE(StyleManager::getInstance()->getStyleName(), QStringLiteral("Default"));
}

void TestStyleManager::cleanupTestCase()
{
    delete m_view;
}

void TestStyleManager::init()
{
    trackingApp()->events.clear();
}

void TestStyleManager::cleanup()
{
    QDir(cwdSkins()).removeRecursively();
    QDir(dataSkins()).removeRecursively();
    QVERIFY(StyleManager::setStyle(QStringLiteral("Default")));
}

void TestStyleManager::builtInStyle()
{
    QObject *s = style();
    QVERIFY(s);
    QCOMPARE(StyleManager::getCurrentStyleName(), QStringLiteral("Default"));
    QCOMPARE(s->property("windowBorderColor").value<QColor>(), QColor("#000000"));
    QCOMPARE(s->property("menuColor").value<QColor>(), QColor("#540000"));
    QCOMPARE(s->property("menuItemHighlightColor").value<QColor>(), QColor("#9c0000"));
    QCOMPARE(s->property("alertColor").value<QColor>(), QColor("#d6202c"));
    QCOMPARE(s->property("baseColor").value<QColor>(), QColor::fromHslF(0.5, 0.0, 0.9));
    QList<QColor> expected;
    for (const QString &name : kChatColors)
        expected.append(QColor(name));
    QCOMPARE(StyleManager::getInstance()->getChatColors(), expected);

    // The five fonts are loaded and their families named.
    QVERIFY(!s->property("condensedFont").toString().isEmpty());
    QVERIFY(!s->property("regularFont").toString().isEmpty());
    QFontDatabase fonts;
    QVERIFY(fonts.families().contains(s->property("condensedFont").toString()));
    const QStringList robotoStyles = fonts.styles(s->property("regularFont").toString());
    for (const char *weight : {"Regular", "Medium", "Bold"})
        QVERIFY2(robotoStyles.contains(QLatin1String(weight)), weight);
    QVERIFY(fonts.styles(s->property("condensedFont").toString()).contains(QStringLiteral("Bold")));
}

void TestStyleManager::schemaDeclaresEveryKind()
{
    const StyleManager schema(nullptr, QFINDTESTDATA("../../qml/tavri/controls/StyleManager.qml"));
    QVERIFY(schema.isValid());
    const QMetaObject *meta = schema.style()->metaObject();
    QMap<QString, int> kinds;
    int total = 0;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QString type = QString::fromLatin1(meta->property(i).typeName());
        ++kinds[type.startsWith(QLatin1String("StateStyle_QMLTYPE_")) ? QStringLiteral("StateStyle") : type];
        ++total;
    }
    QCOMPARE(total, 272);
    QCOMPARE(kinds.value("QUrl"), 138);
    QCOMPARE(kinds.value("QColor"), 97);
    QCOMPARE(kinds.value("double"), 20);
    QCOMPARE(kinds.value("int"), 6);
    QCOMPARE(kinds.value("QString"), 4); // two texts and the two font aliases
    QCOMPARE(kinds.value("bool"), 1);
    QCOMPARE(kinds.value("QVariant"), 1);
    QCOMPARE(kinds.value("StateStyle"), 5);
}

void TestStyleManager::everyStyleNameTheQmlReadsExists()
{
    const QString qmlRoot = QFINDTESTDATA("../../qml/tavri");
    QVERIFY(!qmlRoot.isEmpty());
    const QRegularExpression read(
        QStringLiteral("styleManager\\.([A-Za-z_][A-Za-z0-9_]*)(?:\\.([A-Za-z_][A-Za-z0-9_]*))?"));
    QMap<QString, QString> reads; // "name" or "group.name" -> a file that reads it
    QSet<QString> withFallback;
    QDirIterator files(qmlRoot, {QStringLiteral("*.qml")}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        auto matches = read.globalMatch(text);
        while (matches.hasNext()) {
            const auto match = matches.next();
            QString name = match.captured(1);
            if (!match.captured(2).isEmpty() && name.endsWith(QLatin1String("Style")))
                name += QLatin1Char('.') + match.captured(2);
            // A read that tests the name or falls back to another value may
            // stay out of the schema.
            const QString after = text.mid(match.capturedEnd(), 16).trimmed();
            const QString before = text.mid(qMax(0, match.capturedStart() - 8), 8);
            if (after.startsWith(QLatin1String("||")) || after.startsWith(QLatin1String("!== undefined"))
                || after.startsWith(QLatin1String("=== undefined")) || before.contains(QLatin1String("typeof")))
                withFallback.insert(name);
            reads.insert(name, QDir(qmlRoot).relativeFilePath(path));
        }
    }
    QVERIFY(reads.size() > 50);
    for (auto it = reads.cbegin(); it != reads.cend(); ++it) {
        if (withFallback.contains(it.key()))
            continue;
        const QStringList parts = it.key().split(QLatin1Char('.'));
        QVariant value = style()->property(qPrintable(parts.first()));
        if (value.isValid() && parts.size() == 2)
            value =
                value.value<QObject *>() ? value.value<QObject *>()->property(qPrintable(parts.last())) : QVariant();
        QVERIFY2(value.isValid(), qPrintable(it.key() + " read by " + it.value() + " is not a style property"));
    }
}

void TestStyleManager::chatColorsTakenInTurn()
{
    StyleManager styles(nullptr, QString());
    for (int round = 0; round < 2; ++round) {
        for (const QString &name : kChatColors)
            QCOMPARE(styles.takeChatColor(), QColor(name));
        if (round == 0)
            QCOMPARE(styles.takeChatColor(), QColor(kChatColors.first())); // the eleventh
        if (round == 0)
            break;
    }
    QCOMPARE(styles.takeChatColor(), QColor(kChatColors.at(1)));
}

void TestStyleManager::noChatColorsGivesInvalidColour()
{
    writeSkin(cwdSkins(), QStringLiteral("Mute"),
              "import \"qrc:/QML/qml/tavri/controls\"\nStyleManager { chatColors: [] }\n");
    StyleManager styles(nullptr, QDir(cwdSkins()).filePath(QStringLiteral("Mute/Mute.qml")));
    QVERIFY(styles.isValid());
    QVERIFY(styles.getChatColors().isEmpty());
    LogCapture log;
    QVERIFY(!styles.takeChatColor().isValid());
    QVERIFY(!styles.takeChatColor().isValid());
    QCOMPARE(log.find(QtWarningMsg, QStringLiteral("StyleManager::takeChatColor")).size(), 2);
}

void TestStyleManager::skinDirectories()
{
    // The working directory's skins folder is listed whether it exists or
    // not; the data folder's only once it exists.
    QCOMPARE(StyleManager::getSkinDirectories(), QStringList{cwdSkins()});
    QVERIFY(QDir().mkpath(dataSkins()));
    QCOMPARE(StyleManager::getSkinDirectories(), (QStringList{cwdSkins(), dataSkins()}));
}

void TestStyleManager::availableStylesWithoutSkins()
{
    QCOMPARE(StyleManager::getAvailableStyles(), QStringList{"Default"});
    QVERIFY(QDir().mkpath(cwdSkins()));
    QCOMPARE(StyleManager::getAvailableStyles(), QStringList{"Default"});
}

void TestStyleManager::availableStylesListEachValidStyleOnce()
{
    const QByteArray dark = "import \"qrc:/QML/qml/tavri/controls\"\nStyleManager { windowBorderColor: \"#111111\" }\n";
    writeSkin(cwdSkins(), QStringLiteral("Dark"), dark);
    writeSkin(dataSkins(), QStringLiteral("Dark"), dark);
    writeSkin(dataSkins(), QStringLiteral("Moon"),
              "import \"qrc:/QML/qml/tavri/controls\"\nStyleManager { property string name: \"Night\" }\n");
    writeSkin(dataSkins(), QStringLiteral("Odd Name"),
              "import \"qrc:/QML/qml/tavri/controls\"\nStyleManager { property int name: 5 }\n");
    writeSkin(cwdSkins(), QStringLiteral("Broken"), "import \"qrc:/QML/qml/tavri/controls\"\nStyleManager { oops }\n");
    writeSkin(cwdSkins(), QStringLiteral("Plain"),
              "import QtQuick 2.5\nItem { property color windowBorderColor: \"red\" }\n");
    writeSkin(cwdSkins(), QStringLiteral("Empty"), "");
    // Files beside the folders and folders without their style file are no
    // styles.
    QFile loose(QDir(cwdSkins()).filePath(QStringLiteral("Loose.qml")));
    QVERIFY(loose.open(QIODevice::WriteOnly));
    loose.write(dark);
    loose.close();
    QVERIFY(QDir().mkpath(QDir(cwdSkins()).filePath(QStringLiteral("Hollow"))));

    LogCapture log;
    QStringList styles = StyleManager::getAvailableStyles();
    QCOMPARE(styles.takeFirst(), QStringLiteral("Default"));
    styles.sort();
    QCOMPARE(styles, (QStringList{"Dark", "Night", "Odd Name"}));
    QVERIFY(!log.find(QtWarningMsg, QStringLiteral("Unable to load style from:")).isEmpty());
    // Listing changes nothing in force.
    QCOMPARE(style()->property("windowBorderColor").value<QColor>(), QColor("#000000"));
}

void TestStyleManager::setStyleCopiesIntoTheStyleInForce()
{
    writeSkin(cwdSkins(), QStringLiteral("Dark"),
              "import \"qrc:/QML/qml/tavri/controls\"\n"
              "StyleManager {\n"
              "    windowBorderColor: \"#111111\"\n"
              "    chatColors: [\"#010203\", \"#040506\"]\n"
              "    enabledStyle.controlTextColor: \"#123456\"\n"
              "    default_micMute: \"qrc:/sounds/sfx_friend_online.wav\"\n"
              "}\n");
    writeSkin(dataSkins(), QStringLiteral("Dark"),
              "import \"qrc:/QML/qml/tavri/controls\"\nStyleManager { windowBorderColor: \"#222222\" }\n");

    QVERIFY(m_view->loadQml("import QtQuick 2.5\n"
                            "Rectangle {\n"
                            "    width: 40; height: 40\n"
                            "    color: styleManager.windowBorderColor\n"
                            "    Text { objectName: \"label\"; color: styleManager.enabledStyle.controlTextColor }\n"
                            "}\n"));
    QQuickItem *root = m_view->root();
    QCOMPARE(root->property("color").value<QColor>(), QColor("#000000"));
    QObject *enabledGroup = style()->property("enabledStyle").value<QObject *>();
    QVERIFY(enabledGroup);
    QObject *contrast = style()->property("enabledContrast").value<QObject *>();
    const QColor baseColor = style()->property("baseColor").value<QColor>();

    // The application's cue manager reads the skin's cue sounds.
    AudioCuesManager::setMediaPlayerFactory(&FakeMediaService::newPlayer);
    AudioCuesManager cues(QCoreApplication::instance());

    QSignalSpy colours(StyleManager::getInstance(), &StyleManager::chatColorsChanged);
    QVERIFY(StyleManager::setStyle(QStringLiteral("Dark")));

    // The earlier skin folder wins, and the bound window follows at once.
    QCOMPARE(root->property("color").value<QColor>(), QColor("#111111"));
    QCOMPARE(m_view->find(QStringLiteral("label"))->property("color").value<QColor>(), QColor("#123456"));
    // The groups are still the style's own objects, now with the skin's
    // values, and they outlive the skin's temporary manager.
    QCOMPARE(style()->property("enabledStyle").value<QObject *>(), enabledGroup);
    QCOMPARE(enabledGroup->property("controlTextColor").value<QColor>(), QColor("#123456"));
    // Values the skin did not set keep the built-in style's, not the
    // schema's placeholders; what the skin lacks altogether keeps its value.
    QCOMPARE(style()->property("menuColor").value<QColor>(), QColor("#540000"));
    QCOMPARE(style()->property("baseColor").value<QColor>(), baseColor);
    QCOMPARE(style()->property("enabledContrast").value<QObject *>(), contrast);
    QCOMPARE(style()->property("default_micMute").toUrl(), QUrl("qrc:/sounds/sfx_friend_online.wav"));
    QVERIFY(cues.isInitialized());
    QCOMPARE(cues.getPlaybackFile(AudioCuesManager::AudioCueEventMicMuted),
             QStringLiteral("qrc:/sounds/sfx_friend_online.wav"));

    QCOMPARE(colours.count(), 1);
    QCOMPARE(colours.first().first().value<QList<QColor>>(), (QList<QColor>{QColor("#010203"), QColor("#040506")}));
    QCOMPARE(StyleManager::getCurrentStyleName(), QStringLiteral("Dark"));
    QCOMPARE(trackingApp()->events.size(), 1);
    QCOMPARE(trackingApp()->events.first().category, QStringLiteral("StyleManager"));
    QCOMPARE(trackingApp()->events.first().label, QStringLiteral("SetStyle"));
    QCOMPARE(trackingApp()->events.first().parameters,
             (QStringList{"name:Dark", "path:" + QDir(cwdSkins()).absoluteFilePath("Dark/Dark.qml")}));

    // Back to the built-in style: everything returns, nothing is tracked.
    QVERIFY(StyleManager::setStyle(QStringLiteral("Default")));
    QCOMPARE(root->property("color").value<QColor>(), QColor("#000000"));
    QCOMPARE(style()->property("menuColor").value<QColor>(), QColor("#540000"));
    QCOMPARE(enabledGroup->property("controlTextColor").value<QColor>(), QColor("#dddddd"));
    QCOMPARE(colours.count(), 2);
    QCOMPARE(trackingApp()->events.size(), 1);
    QCOMPARE(StyleManager::getCurrentStyleName(), QStringLiteral("Default"));
    QCOMPARE(cues.getPlaybackFile(AudioCuesManager::AudioCueEventMicMuted),
             QStringLiteral("qrc:/sounds/sfx_user_mutes_mic.wav"));
    QVERIFY(m_view->verifyNoQmlWarnings());
}

void TestStyleManager::setStyleOfFailingFolderChangesNothing_data()
{
    QTest::addColumn<QByteArray>("qml");
    QTest::newRow("syntax error") << QByteArray("import \"qrc:/QML/qml/tavri/controls\"\nStyleManager { oops }\n");
    QTest::newRow("not a style") << QByteArray(
        "import QtQuick 2.5\nItem { property color windowBorderColor: \"red\" }\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("wrong type") << QByteArray("import \"qrc:/QML/qml/tavri/controls\"\n"
                                              "StyleManager { windowBorderColor: 12 }\n");
}

void TestStyleManager::setStyleOfFailingFolderChangesNothing()
{
    QFETCH(QByteArray, qml);
    writeSkin(cwdSkins(), QStringLiteral("Bad"), qml);
    QSignalSpy colours(StyleManager::getInstance(), &StyleManager::chatColorsChanged);
    LogCapture log;
    QVERIFY(!StyleManager::setStyle(QStringLiteral("Bad")));
    QCOMPARE(log.find(QtWarningMsg, QStringLiteral("Invalid style, not resetting...")).size(), 1);
    QCOMPARE(style()->property("windowBorderColor").value<QColor>(), QColor("#000000"));
    QCOMPARE(colours.count(), 0);
    QVERIFY(trackingApp()->events.isEmpty());
    QCOMPARE(StyleManager::getCurrentStyleName(), QStringLiteral("Default"));
}

void TestStyleManager::setStyleByNameOnlyFindsFolders()
{
    writeSkin(dataSkins(), QStringLiteral("Moon"),
              "import \"qrc:/QML/qml/tavri/controls\"\n"
              "StyleManager { property string name: \"Night\"; windowBorderColor: \"#333333\" }\n");
    LogCapture log;
    for (const QString &name : {QStringLiteral("Night"), QStringLiteral("Nowhere"), QString(), QStringLiteral("."),
                                QStringLiteral(".."), QStringLiteral("../skins/Moon"), QStringLiteral("Moon/Moon")})
        QVERIFY2(!StyleManager::setStyle(name), qPrintable(name));
    QVERIFY(log.find(QtWarningMsg, QStringLiteral("Invalid style")).isEmpty());
    QCOMPARE(style()->property("windowBorderColor").value<QColor>(), QColor("#000000"));

    QVERIFY(StyleManager::setStyle(QStringLiteral("Moon")));
    QCOMPARE(style()->property("windowBorderColor").value<QColor>(), QColor("#333333"));
    QCOMPARE(StyleManager::getCurrentStyleName(), QStringLiteral("Night"));
}

void TestStyleManager::skinDerivedFromDefaultRecomputesValues()
{
    writeSkin(cwdSkins(), QStringLiteral("Blue"),
              "import \"qrc:/QML/qml/tavri/controls\"\n"
              "DefaultStyleManager { baseColor: \"#80c0ff\"; enabledContrast.gradient0: 3.0 }\n");
    QObject *contrast = style()->property("enabledContrast").value<QObject *>();
    QVERIFY(StyleManager::setStyle(QStringLiteral("Blue")));
    QObject *enabled = style()->property("enabledStyle").value<QObject *>();
    QCOMPARE(enabled->property("controlGradient0").value<QColor>(), QColor("#80c0ff").darker(300));
    QCOMPARE(enabled->property("controlGradient1").value<QColor>(), QColor("#80c0ff").darker(150));
    QCOMPARE(contrast->property("gradient0").toDouble(), 3.0);
    QCOMPARE(style()->property("enabledContrast").value<QObject *>(), contrast);
    // Unchanged values of the built-in style stay.
    QCOMPARE(style()->property("menuColor").value<QColor>(), QColor("#540000"));
}

void TestStyleManager::propertyOfWrongTypeKeepsItsValue()
{
    writeSkin(cwdSkins(), QStringLiteral("Odd"),
              "import \"qrc:/QML/qml/tavri/controls\"\n"
              "StyleManager { property string menuColor: \"bogus\"; property var chatColors: 7;"
              " windowBorderColor: \"#444444\" }\n");
    LogCapture log;
    QVERIFY(StyleManager::setStyle(QStringLiteral("Odd")));
    QCOMPARE(style()->property("windowBorderColor").value<QColor>(), QColor("#444444"));
    QCOMPARE(style()->property("menuColor").value<QColor>(), QColor("#540000"));
    // One line for each of the two wrong values, and the built-in value in
    // their place: the chat colours are the built-in list.
    QCOMPARE(log.find(QtWarningMsg, QStringLiteral("StyleManager::copyStyleProperties - cannot set")).size(), 2);
    QCOMPARE(StyleManager::getInstance()->getChatColors().value(0), QColor("#00c4b2"));
}

void TestStyleManager::valuesASkinLeavesOutKeepTheBuiltInOnes()
{
    // A full skin first, so that its values are in force.
    writeSkin(cwdSkins(), QStringLiteral("Full"),
              "import \"qrc:/QML/qml/tavri/controls\"\n"
              "DefaultStyleManager { menuColor: \"#112233\"; enabledStyle.inputControlTextColor: \"#123456\" }\n");
    writeSkin(cwdSkins(), QStringLiteral("Sparse"),
              "import \"qrc:/QML/qml/tavri/controls\"\n"
              "StyleManager { windowBorderColor: \"#444444\" }\n");
    QVERIFY(StyleManager::setStyle(QStringLiteral("Full")));
    QCOMPARE(style()->property("menuColor").value<QColor>(), QColor("#112233"));

    LogCapture log;
    QVERIFY(StyleManager::setStyle(QStringLiteral("Sparse")));
    QCOMPARE(style()->property("windowBorderColor").value<QColor>(), QColor("#444444"));
    // Neither the full skin's values nor the schema's placeholders: the
    // built-in style's, in the groups too.
    QCOMPARE(style()->property("menuColor").value<QColor>(), QColor("#540000"));
    QObject *enabled = style()->property("enabledStyle").value<QObject *>();
    QVERIFY(enabled);
    QCOMPARE(enabled->property("inputControlTextColor").value<QColor>(), QColor("#dddddd"));
    const QList<CapturedLine> unset = log.matching(QStringLiteral("sets no value for"));
    QCOMPARE(unset.size(), 1);
    QCOMPARE(unset.first().type, QtWarningMsg);
    QVERIFY2(unset.first().message.startsWith(QStringLiteral("StyleManager: the skin")),
             qPrintable(unset.first().message));
    QCOMPARE(StyleManager::getCurrentStyleName(), QStringLiteral("Sparse"));
}

int main(int argc, char *argv[])
{
    tavritest::TestEnvironment testEnvironment;
    TrackingApplication app(argc, argv);
    TestStyleManager test;
    QTEST_SET_MAIN_SOURCE_PATH
    const int result = QTest::qExec(&test, argc, argv);
    return result;
}

#include "tst_stylemanager.moc"
