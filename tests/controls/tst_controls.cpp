#include "fakecontextobject.h"
#include "qmltestview.h"
#include "storagemanager.h"
#include "testenvironment.h"

#include <QElapsedTimer>
#include <QQmlProperty>
#include <QSignalSpy>
#include <QtTest/QtTest>

namespace {

// Every item under `item`, depth first.
QList<QQuickItem *> descendants(QQuickItem *item)
{
    QList<QQuickItem *> found;
    for (QQuickItem *child : item->childItems())
        found << child << descendants(child);
    return found;
}

QByteArray controlsQml(const QByteArray &body)
{
    return "import QtQuick 2.5\n"
           "import \"qrc:/QML/qml/tavri/controls\"\n"
           "import \"qrc:/QML/qml/tavri/components\"\n"
           + body;
}

} // namespace

// The controls library: every control loads without a QML warning, and the
// behaviours windows rely on hold.
class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void galleryLoadsWithoutWarnings();
    void textFieldEffectiveTextTrims_data();
    void textFieldEffectiveTextTrims();
    void volumeBarDampsItsValue();
    void titledWindowClosing();
    void buttonIsAsWideAsItsText();
    void toolTipStaysInsideItsWindowAboveTheControls_data();
    void toolTipStaysInsideItsWindowAboveTheControls();
    void hintShowsOnlyWhileEnabled();
    void hintPagesAndDismissal();
    void comboBoxFollowsIndexAndModel();
    void energyMeterFill_data();
    void energyMeterFill();
    void avatarFallsBackToDefaultPicture();
    void avatarShowsInitialWithoutPicture_data();
    void avatarShowsInitialWithoutPicture();

private:
    QUrl galleryUrl() const { return QUrl::fromLocalFile(QFINDTESTDATA("Gallery.qml")); }
};

void TestControls::galleryLoadsWithoutWarnings()
{
    QmlTestView view;
    view.setContextObject(QStringLiteral("storageManager"), StorageManager::getInstance());
    view.addFake(QStringLiteral("mainApp"))->addMethod(QStringLiteral("trackEvent"));
    QVERIFY(view.load(galleryUrl()));
    QCOMPARE(view.root()->objectName(), QStringLiteral("gallery"));
    // Hover and press a few controls so their state styles are evaluated too.
    for (const char *name : {"button", "checkBox", "comboNew", "textField", "avatar"})
        view.hover(view.find(QLatin1String(name)));
    view.click(QStringLiteral("comboNew"));
    QVERIFY_NO_QML_WARNINGS(view);
    // For a look at the controls: run under a real display (xvfb-run, with
    // QT_QPA_PLATFORM=xcb) with TAVRI_GALLERY_PNG naming the picture.
    const QString picture = qEnvironmentVariable("TAVRI_GALLERY_PNG");
    if (!picture.isEmpty())
        QVERIFY(view.grab().save(picture));
}

void TestControls::textFieldEffectiveTextTrims_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("effective");
    QTest::newRow("plain") << "Ann"
                           << "Ann";
    QTest::newRow("both ends") << "  Ann Lee  "
                               << "Ann Lee";
    QTest::newRow("only blanks") << "   "
                                 << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestControls::textFieldEffectiveTextTrims()
{
    QFETCH(QString, typed);
    QFETCH(QString, effective);
    QmlTestView view;
    QVERIFY(view.loadQml(controlsQml("DTextField { objectName: \"field\"; width: 200; text: \"x\" }")));
    QQuickItem *field = view.root();
    QVERIFY(QMetaObject::invokeMethod(field, "selectAll"));
    field->forceActiveFocus();
    if (typed.isEmpty())
        view.key(Qt::Key_Backspace);
    else
        view.type(typed);
    QCOMPARE(field->property("text").toString(), typed);
    QCOMPARE(field->property("effectiveText").toString(), effective);
    // Set by code, it follows as well.
    field->setProperty("text", QStringLiteral(" x "));
    QCOMPARE(field->property("effectiveText").toString(), QStringLiteral("x"));
    QVERIFY_NO_QML_WARNINGS(view);
}

void TestControls::volumeBarDampsItsValue()
{
    QmlTestView view;
    QVERIFY(view.loadQml(controlsQml("Column {\n"
                                     "    VolumeAdjusterBar { objectName: \"bar\"; width: 200; minimumValue: 25;"
                                     " maximumValue: 75; value: 50 }\n"
                                     "    VolumeAdjusterBar { objectName: \"marker\"; width: 200; value: 1 }\n"
                                     "}\n")));
    QQuickItem *bar = view.find(QStringLiteral("bar"));
    QQuickItem *marker = view.find(QStringLiteral("marker"));
    QCOMPARE(bar->property("dampedValue").toReal(), 50.0);
    QSignalSpy damped(bar, SIGNAL(dampedValueChanged()));
    QSignalSpy markerDamped(marker, SIGNAL(dampedValueChanged()));

    // Several changes in a row give one damped change, to the last value,
    // no sooner than 200 ms after it.
    bar->setProperty("value", 30);
    bar->setProperty("value", 31.4); // the step rounds to whole values
    QElapsedTimer sinceLast;
    bar->setProperty("value", 33);
    sinceLast.start();
    QCOMPARE(bar->property("dampedValue").toReal(), 50.0);
    QVERIFY(damped.wait(5000));
    QVERIFY(sinceLast.elapsed() >= 200);
    QCOMPARE(bar->property("dampedValue").toReal(), 33.0);

    // A change undone before the delay ends changes nothing: the marker bar,
    // changed last, damps after it.
    bar->setProperty("value", 40);
    bar->setProperty("value", 33);
    marker->setProperty("value", 0);
    QVERIFY(markerDamped.wait(5000));
    QCOMPARE(damped.count(), 1);
    QCOMPARE(bar->property("dampedValue").toReal(), 33.0);
    QVERIFY_NO_QML_WARNINGS(view);
}

void TestControls::buttonIsAsWideAsItsText()
{
    QmlTestView view;
    QVERIFY(view.loadQml(controlsQml("Row {\n"
                                     "    DButton { objectName: \"short\"; text: \"OK\" }\n"
                                     "    DButton { objectName: \"long\"; text: \"Delete channel and all it holds\" }\n"
                                     "}\n")));
    for (const char *name : {"short", "long"}) {
        QQuickItem *button = view.find(QLatin1String(name));
        const QString text = button->property("text").toString();
        QQuickItem *caption = nullptr;
        for (QQuickItem *item : descendants(button)) {
            if (item->property("text").toString() == text && item->property("truncated").isValid())
                caption = item;
        }
        QVERIFY2(caption, name);
        QVERIFY2(!caption->property("truncated").toBool(), name);
        QVERIFY(button->width() >= caption->width());
    }
    QCOMPARE(view.find(QStringLiteral("short"))->width(), 80.0);
    QVERIFY_NO_QML_WARNINGS(view);
}

void TestControls::toolTipStaysInsideItsWindowAboveTheControls_data()
{
    QTest::addColumn<QString>("tip");
    QTest::newRow("one long line") << QString(
        QStringLiteral("A tool tip much longer than the small window it shows in, "
                       "so that it has to wrap and turn back."));
    QTest::newRow("two lines") << QStringLiteral("First line of the tip.\nSecond line of the tip.");
}

void TestControls::toolTipStaysInsideItsWindowAboveTheControls()
{
    QFETCH(QString, tip);
    QmlTestView view;
    // The button sits in the window's bottom-right corner inside a clipping
    // pane, with a later sibling drawn over the pane.
    QVERIFY(view.loadQml(
        controlsQml("Item {\n"
                    "    width: 220; height: 120\n"
                    "    Item {\n"
                    "        anchors.fill: parent; clip: true\n"
                    "        DButton { objectName: \"button\"; x: 150; y: 90; width: 70; text: \"Go\";"
                    " toolTip: \"\" }\n"
                    "    }\n"
                    "    Rectangle { objectName: \"cover\"; anchors.fill: parent; color: \"transparent\" }\n"
                    "}\n")));
    QQuickItem *button = view.find(QStringLiteral("button"));
    button->setProperty("toolTip", tip);
    // From elsewhere in the window onto the button, so the pointer moves.
    view.hover(view.root());
    view.hover(button);
    QQuickItem *content = view.root()->window()->contentItem();
    QQuickItem *bubble = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((bubble = [&]() -> QQuickItem * {
                                 for (QQuickItem *item : content->childItems()) {
                                     if (item->isVisible() && item->z() > 1000)
                                         return item;
                                 }
                                 return nullptr;
                             }()),
                             20000);
    // On the window's own surface, above everything else, and wholly inside.
    const QRectF shown(bubble->x(), bubble->y(), bubble->width(), bubble->height());
    QVERIFY2(
        QRectF(0, 0, content->width(), content->height()).contains(shown),
        qPrintable(QStringLiteral("%1,%2 %3x%4").arg(shown.x()).arg(shown.y()).arg(shown.width()).arg(shown.height())));
    // Its text is wrapped inside it, never drawn over itself or cut.
    QQuickItem *label = nullptr;
    for (QQuickItem *item : descendants(bubble)) {
        if (item->isVisible() && item->property("text").toString() == tip)
            label = item;
    }
    QVERIFY(label);
    QVERIFY(label->property("contentHeight").toReal() <= label->height() + 0.5);
    QVERIFY(label->property("contentWidth").toReal() <= label->width() + 0.5);
    QVERIFY(bubble->height() >= label->height());
    QVERIFY(label->property("lineCount").toInt() >= 2);
    QVERIFY_NO_QML_WARNINGS(view);
}

void TestControls::titledWindowClosing()
{
    QmlTestView view;
    QVERIFY(view.loadQml(controlsQml("DTitledWindowBasic { width: 300; height: 200; title: \"Frame\"; minimumWidth:"
                                     " 250; minimumHeight: 150 }")));
    QQuickItem *frame = view.root();
    QCOMPARE(view.minimumWidth(), 250);
    QCOMPARE(view.minimumHeight(), 150);
    QSignalSpy closing(frame, SIGNAL(closing(QString)));

    QVERIFY(view.click(QStringLiteral("closeButton")));
    QCOMPARE(closing.count(), 1);
    QCOMPARE(closing.takeFirst().first().toString(), QStringLiteral("Click"));
    QVERIFY(!view.isVisible());

    const QList<QPair<QKeySequence, QString>> keys{{QKeySequence(Qt::Key_Escape), QStringLiteral("Esc")},
                                                   {QKeySequence(Qt::CTRL + Qt::Key_W), QStringLiteral("CtrlW")}};
    for (const auto &key : keys) {
        view.show();
        view.requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QTest::keySequence(&view, key.first);
        QCOMPARE(closing.count(), 1);
        QCOMPARE(closing.takeFirst().first().toString(), key.second);
        QVERIFY(!view.isVisible());
    }
    QVERIFY_NO_QML_WARNINGS(view);
}

void TestControls::hintShowsOnlyWhileEnabled()
{
    StorageManager *storage = StorageManager::getInstance();
    QmlTestView view;
    view.setContextObject(QStringLiteral("storageManager"), storage);
    view.addFake(QStringLiteral("mainApp"))->addMethod(QStringLiteral("trackEvent"));
    storage->setShowHints(true);
    storage->setShowHint(QStringLiteral("Shown"), true);
    storage->setShowHint(QStringLiteral("Seen"), false);
    QVERIFY(view.loadQml(
        controlsQml("Column {\n"
                    "    DButton { text: \"a\"; Hint { objectName: \"shown\"; trackingCategory: \"Shown\" } }\n"
                    "    DButton { text: \"b\"; Hint { objectName: \"seen\"; trackingCategory: \"Seen\" } }\n"
                    "}\n")));
    QQuickItem *shown = view.find(QStringLiteral("shown"));
    QQuickItem *seen = view.find(QStringLiteral("seen"));
    QVERIFY(shown->property("hintEnabled").toBool());
    QVERIFY(!seen->property("hintEnabled").toBool());

    // A hint already seen dismisses at once when activated.
    QSignalSpy seenDismissed(seen, SIGNAL(dismissed()));
    QVERIFY(QMetaObject::invokeMethod(seen, "activate"));
    QCOMPARE(seenDismissed.count(), 1);
    QVERIFY(!seen->property("highlighted").toBool());

    // With hints switched off, none is enabled.
    storage->setShowHints(false);
    QVERIFY(!shown->property("hintEnabled").toBool());
    QSignalSpy shownDismissed(shown, SIGNAL(dismissed()));
    QVERIFY(QMetaObject::invokeMethod(shown, "activate"));
    QCOMPARE(shownDismissed.count(), 1);
    QVERIFY(!shown->property("highlighted").toBool());
    QVERIFY_NO_QML_WARNINGS(view);
}

void TestControls::hintPagesAndDismissal()
{
    StorageManager *storage = StorageManager::getInstance();
    QmlTestView view;
    view.setContextObject(QStringLiteral("storageManager"), storage);
    FakeContextObject *mainApp = view.addFake(QStringLiteral("mainApp"));
    mainApp->addMethod(QStringLiteral("trackEvent"));
    storage->setShowHints(true);
    storage->setShowHint(QStringLiteral("Tour"), true);
    QVERIFY(view.loadQml(controlsQml("Item {\n"
                                     "    width: 200; height: 100\n"
                                     "    DButton {\n"
                                     "        objectName: \"target\"; text: \"Target\"\n"
                                     "        Hint {\n"
                                     "            objectName: \"hint\"; trackingCategory: \"Tour\"; title: \"Tour\"\n"
                                     "            HintScreen { text: \"one\" }\n"
                                     "            HintScreen { text: \"two\" }\n"
                                     "        }\n"
                                     "    }\n"
                                     "}\n")));
    QQuickItem *hint = view.find(QStringLiteral("hint"));
    QCOMPARE(hint->property("pageCount").toInt(), 2);
    QVERIFY(QMetaObject::invokeMethod(hint, "activate"));
    QVERIFY(hint->property("highlighted").toBool());
    QVERIFY(!hint->property("windowVisible").toBool());

    // A click on the highlighted control opens the hint window.
    QVERIFY(view.click(QStringLiteral("target")));
    QVERIFY(hint->property("windowVisible").toBool());
    QVERIFY(!hint->property("highlighted").toBool());

    QVERIFY(QMetaObject::invokeMethod(hint, "nextPage"));
    QVERIFY(QMetaObject::invokeMethod(hint, "previousPage"));
    QVERIFY(QMetaObject::invokeMethod(hint, "previousPage")); // on the first page: nothing
    const QList<QVariantList> tracked = mainApp->calls(QStringLiteral("trackEvent"));
    QCOMPARE(tracked.size(), 2);
    QCOMPARE(tracked.at(0).mid(0, 2), (QVariantList{"Tour", "ShowHintClick"}));
    QCOMPARE(tracked.at(1).mid(0, 2), (QVariantList{"Tour", "previousClick"}));

    // Dismissing with "disable all" clears the hint and every hint.
    QSignalSpy dismissed(hint, SIGNAL(dismissed()));
    QVERIFY(QMetaObject::invokeMethod(hint, "dismiss", Q_ARG(QVariant, true)));
    QCOMPARE(dismissed.count(), 1);
    QVERIFY(!hint->property("windowVisible").toBool());
    QVERIFY(!storage->getShowHint(QStringLiteral("Tour")));
    QVERIFY(!storage->getShowHints());
    QVERIFY_NO_QML_WARNINGS(view);
}

void TestControls::comboBoxFollowsIndexAndModel()
{
    QmlTestView view;
    // Room below the box for its list.
    QVERIFY(view.loadQml(controlsQml("Item {\n"
                                     "    width: 200; height: 150\n"
                                     "    DComboBoxNew {\n"
                                     "        objectName: \"combo\"; width: 160\n"
                                     "        textRole: \"name\"\n"
                                     "        model: ListModel {\n"
                                     "            ListElement { name: \"Speakers\" }\n"
                                     "            ListElement { name: \"Headphones\" }\n"
                                     "            ListElement { name: \"HDMI\" }\n"
                                     "        }\n"
                                     "    }\n"
                                     "}\n")));
    QQuickItem *combo = view.find(QStringLiteral("combo"));
    QCOMPARE(combo->property("index").toInt(), 0);
    QCOMPARE(combo->property("currentText").toString(), QStringLiteral("Speakers"));
    QSignalSpy activated(combo, SIGNAL(activated(int)));

    // An index set by code behaves like a user's choice.
    combo->setProperty("index", 2);
    QCOMPARE(combo->property("currentText").toString(), QStringLiteral("HDMI"));
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated.takeFirst().first().toInt(), 2);

    // The shown text follows the model's row.
    QObject *model = combo->property("model").value<QObject *>();
    QVERIFY(QMetaObject::invokeMethod(model, "setProperty", Q_ARG(int, 2), Q_ARG(QString, "name"),
                                      Q_ARG(QVariant, QStringLiteral("Monitor"))));
    QCOMPARE(combo->property("currentText").toString(), QStringLiteral("Monitor"));

    // The user's choice: open the list and click the second row.
    view.click(combo);
    QVERIFY(combo->property("popupVisible").toBool());
    const int rowHeight = combo->property("rowHeight").toInt();
    view.click(combo, Qt::LeftButton, Qt::NoModifier, QPoint(20, int(combo->height()) + 1 + rowHeight + rowHeight / 2));
    QCOMPARE(combo->property("index").toInt(), 1);
    QCOMPARE(combo->property("currentText").toString(), QStringLiteral("Headphones"));
    QVERIFY(!combo->property("popupVisible").toBool());
    QCOMPARE(activated.count(), 1);
    QVERIFY_NO_QML_WARNINGS(view);
}

void TestControls::energyMeterFill_data()
{
    QTest::addColumn<qreal>("minValue");
    QTest::addColumn<qreal>("maxValue");
    QTest::addColumn<qreal>("value");
    QTest::addColumn<qreal>("fillWidth");
    QTest::newRow("quarter") << 0.0 << 1.0 << 0.25 << 50.0;
    QTest::newRow("offset range") << 10.0 << 20.0 << 15.0 << 100.0;
    QTest::newRow("below") << 0.0 << 1.0 << -1.0 << 0.0;
    QTest::newRow("above") << 0.0 << 1.0 << 3.0 << 200.0;
    QTest::newRow("empty range") << 1.0 << 1.0 << 1.0 << 0.0;
}

void TestControls::energyMeterFill()
{
    QFETCH(qreal, minValue);
    QFETCH(qreal, maxValue);
    QFETCH(qreal, value);
    QFETCH(qreal, fillWidth);
    QmlTestView view;
    QVERIFY(view.loadQml(controlsQml("DEnergyMeter { width: 200; height: 10 }")));
    QQuickItem *meter = view.root();
    meter->setProperty("minValue", minValue);
    meter->setProperty("maxValue", maxValue);
    meter->setProperty("value", value);
    QCOMPARE(view.find(QStringLiteral("energyFill"))->width(), fillWidth);
    QVERIFY_NO_QML_WARNINGS(view);
}

void TestControls::avatarFallsBackToDefaultPicture()
{
    QmlTestView view;
    view.expectQmlWarning(QRegularExpression(QStringLiteral("Cannot open: file:///nonexistent")));
    QVERIFY(view.loadQml(controlsQml("DAvatarImage { size: 42 }")));
    QQuickItem *avatar = view.root();
    QQuickItem *picture = view.find(QStringLiteral("avatarPicture"));
    const QUrl fallback = avatar->property("fallbackSource").toUrl();
    QVERIFY(!fallback.isEmpty());
    QCOMPARE(picture->property("source").toUrl(), fallback);

    avatar->setProperty("source", QUrl(QStringLiteral("qrc:/textures/Logo.png")));
    QCOMPARE(picture->property("source").toUrl(), QUrl(QStringLiteral("qrc:/textures/Logo.png")));
    QTRY_COMPARE(picture->property("status").toInt(), 1); // Image.Ready

    avatar->setProperty("source", QUrl(QStringLiteral("file:///nonexistent/picture.png")));
    QTRY_COMPARE(picture->property("source").toUrl(), fallback);
    QVERIFY(avatar->property("usingFallback").toBool());
    QVERIFY_NO_QML_WARNINGS(view);
}

void TestControls::avatarShowsInitialWithoutPicture_data()
{
    QTest::addColumn<QByteArray>("properties");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("color");

    QTest::newRow("name and chat colour") << QByteArray("name: \"anna\"; chatColor: \"#123456\"") << "A"
                                          << "#123456";
    // Without a chat colour the style's first colour for this name is used.
    QTest::newRow("accented name, trimmed")
        << QByteArray("name: \"  \u00e9mile \"") << QStringLiteral("\u00c9") << "style";
    QTest::newRow("no name") << QByteArray("name: \"  \"") << QString() << QString();
    QTest::newRow("channel") << QByteArray("name: \"lobby\"; isChannel: true") << QString() << QString();
    QTest::newRow("real picture") << QByteArray("name: \"bob\"; source: \"qrc:/textures/Logo.png\"") << QString()
                                  << QString();
}

void TestControls::avatarShowsInitialWithoutPicture()
{
    QFETCH(QByteArray, properties);
    QFETCH(QString, initial);
    QFETCH(QString, color);

    QmlTestView view;
    QVERIFY(view.loadQml(controlsQml("DAvatarImage { size: 42; " + properties + " }")));
    QQuickItem *picture = view.find(QStringLiteral("avatarPicture"));
    QQuickItem *background = view.find(QStringLiteral("avatarInitialBackground"));
    QVERIFY(picture && background);
    if (initial.isEmpty()) {
        QTRY_VERIFY(picture->isVisible());
        QVERIFY(!background->isVisible());
    } else {
        QVERIFY(background->isVisible());
        QVERIFY(!picture->isVisible());
        QCOMPARE(view.find(QStringLiteral("avatarInitial"))->property("text").toString(), initial);
        const QColor shown = background->property("color").value<QColor>();
        if (color == QLatin1String("style")) {
            const QStringList styleColors{"#00c4b2", "#162cd2", "#4fda24", "#d7df00", "#dda621",
                                          "#a12600", "#d73eaa", "#8f24bb", "#8f9aff", "#ff8c38"};
            QVERIFY2(styleColors.contains(shown.name()), qPrintable(shown.name()));
        } else {
            QCOMPARE(shown, QColor(color));
        }
    }
    QVERIFY_NO_QML_WARNINGS(view);
}
// On the X server named by DISPLAY when there is one (for pictures), else offscreen.
TAVRI_TEST_X11_MAIN(TestControls)

#include "tst_controls.moc"
