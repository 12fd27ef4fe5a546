// The settings window: navigation between the pages, the general page and
// the profile page.

#include <QImage>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include "../loginwindow/windowfakes.h"
#include "capturedevicemodel.h"
#include "renderdevicemodel.h"
#include "settingsfakes.h"
#include "stylemanager.h"
#include "tavriapplication.h"
#include "testenvironment.h"

using namespace settingstest;

namespace {

const char *const kGeneralKeys[] = {"settingsShowOfflineFriends", "settingsRunAtStartup",
                                    "settingsPostCallSurveyDisabled", "settingsShowTimestampsInChat"};

} // namespace

class TestQmlSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pagesFollowThePageId();
    void navigationBoldOnlyUnderThePointer();
    void storedFalseTextUnchecks();
    void openingWritesNothing();
    void boxesWriteTheirSettings();
    void resetLeavesSkinLanguageAndTutorial();
    void newSkinRevertsUnlessKept_data();
    void newSkinRevertsUnlessKept();
    void languageNote();
    void profilePictureFilter_data();
    void profilePictureFilter();
    void profileSaveOrder();

private:
    bool loadGeneral() { return m_window->load(QStringLiteral("settings/SettingsGeneralWindow.qml")); }
    bool loadProfile() { return m_window->load(QStringLiteral("settings/SettingsProfilePage.qml")); }
    bool checked(const char *name) const { return m_window->item(name)->property("checked").toBool(); }
    // The URL of a small picture saved under that name.
    QString pictureUrl(const QString &name)
    {
        const QString path = m_pictures.filePath(name);
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        picture.save(path, "PNG");
        return QUrl::fromLocalFile(path).toString();
    }

    QTemporaryDir m_pictures;

    std::unique_ptr<WindowFixture> m_window;
    RenderDeviceModel m_render{nullptr};
    CaptureDeviceModel m_capture{nullptr};
};

void TestQmlSettings::initTestCase()
{
    Q_INIT_RESOURCE(tavri);
    TavriApplication::registerQmlTypes();
    QVERIFY(StyleManager::getInstance(new QQmlEngine(this))->style());
}

void TestQmlSettings::init()
{
    StorageManager *storage = StorageManager::getInstance();
    for (const char *key : kGeneralKeys)
        storage->removeSettingsValue(QString::fromLatin1(key));
    storage->setSettingsValueForMachine(QStringLiteral("locale"), QStringLiteral("en"));
    m_window.reset(new WindowFixture);
}

void TestQmlSettings::cleanup()
{
    const QStringList warnings = m_window->finish();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

void TestQmlSettings::pagesFollowThePageId()
{
    m_window->app.m_pageId = 1;
    QVERIFY(m_window->load(QStringLiteral("settings/SettingsWindow.qml"), &m_render, &m_capture));
    QCOMPARE(m_window->view->find(QStringLiteral("titleText"))->property("text").toString(),
             QStringLiteral("Audio Settings"));
    QVERIFY(m_window->item("audioPage")->isVisible());
    QVERIFY(!m_window->item("generalPage")->isVisible());
    windowtest::savePicture(m_window->view.get(), QStringLiteral("settings-window-audio"));

    // The audio page's key capture reaches the window's root.
    QSignalSpy started(m_window->view->root(), SIGNAL(startCapture()));
    m_window->item("transmitChooser")->setProperty("index", 1);
    QCOMPARE(started.count(), 1);

    m_window->view->click(windowtest::item(m_window->view.get(), QStringLiteral("navigation2")));
    QCOMPARE(m_window->app.m_pageId, 2);
    QVERIFY(m_window->item("profilePage")->isVisible());
    QCOMPARE(m_window->view->find(QStringLiteral("titleText"))->property("text").toString(),
             QStringLiteral("Edit Profile"));
    // A page switch keeps the audio page's capture going.
    QVERIFY(m_window->item("audioPage")->property("isCapturing").toBool());

    // Unknown ids show the general page.
    m_window->app.m_pageId = 7;
    emit m_window->app.pageIdChanged(7);
    QVERIFY(m_window->item("generalPage")->isVisible());
    windowtest::savePicture(m_window->view.get(), QStringLiteral("settings-window-general"));

    // The sounds page is built only when it first shows (its own test
    // covers it with the cue manager it needs).
    QCOMPARE(m_window->item("soundsPage")->property("active").toBool(), false);
}

void TestQmlSettings::navigationBoldOnlyUnderThePointer()
{
    m_window->app.m_pageId = 0;
    QVERIFY(m_window->load(QStringLiteral("settings/SettingsWindow.qml"), &m_render, &m_capture));
    QmlTestView *view = m_window->view.get();
    QQuickItem *general = windowtest::item(view, QStringLiteral("navigation0"));
    QQuickItem *audio = windowtest::item(view, QStringLiteral("navigation1"));
    QQuickItem *profile = windowtest::item(view, QStringLiteral("navigation2"));
    view->hover(view->root());
    view->hover(audio);
    QTRY_VERIFY_WITH_TIMEOUT(audio->property("bold").toBool(), 20000);
    // On to the next entry, then off the column: only the page shown stays bold.
    view->hover(profile);
    QTRY_VERIFY_WITH_TIMEOUT(profile->property("bold").toBool(), 20000);
    QVERIFY(!audio->property("bold").toBool());
    view->hover(windowtest::item(view, QStringLiteral("generalPage")));
    QTRY_VERIFY_WITH_TIMEOUT(!profile->property("bold").toBool(), 20000);
    QVERIFY(!audio->property("bold").toBool());
    QVERIFY(general->property("bold").toBool());
}

void TestQmlSettings::storedFalseTextUnchecks()
{
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsShowOfflineFriends"),
                                                    QStringLiteral("false"));
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsRunAtStartup"), QStringLiteral("true"));
    QVERIFY(loadGeneral());
    QVERIFY(!checked("showOfflineBox"));
    QVERIFY(checked("runAtStartupBox"));
    // Defaults where nothing is stored.
    QVERIFY(checked("timestampsBox"));
    QVERIFY(!checked("surveyDisabledBox"));
}

void TestQmlSettings::openingWritesNothing()
{
    QSignalSpy writes(StorageManager::getInstance(), &StorageManager::settingChanged);
    QVERIFY(loadGeneral());
    QVERIFY(loadProfile());
    QCOMPARE(writes.count(), 0);
    QCOMPARE(m_window->app.calls.all(), QStringList());
    QCOMPARE(m_window->user.calls.all(), QStringList());
}

void TestQmlSettings::boxesWriteTheirSettings()
{
    StorageManager *storage = StorageManager::getInstance();
    QVERIFY(loadGeneral());
    QVERIFY(m_window->view->click(QStringLiteral("showOfflineBox")));
    QCOMPARE(storage->getSettingsValue(QStringLiteral("settingsShowOfflineFriends")).toBool(), false);
    // The friends list menu writes the same setting; the box follows.
    storage->setSettingsValue(StorageManager::SettingsKeyShowOfflineFriends, true);
    QVERIFY(checked("showOfflineBox"));
    // "Disconnect from idle channels" stores 0 when checked.
    QVERIFY(checked("idleBox"));
    QVERIFY(m_window->view->click(QStringLiteral("idleBox")));
    QCOMPARE(storage->getSettingsValue(StorageManager::SettingsDisableChannelIdleTimeout).toInt(), 1);
    QVERIFY(m_window->view->click(QStringLiteral("idleBox")));
    QCOMPARE(storage->getSettingsValue(StorageManager::SettingsDisableChannelIdleTimeout).toInt(), 0);
}

void TestQmlSettings::resetLeavesSkinLanguageAndTutorial()
{
    StorageManager *storage = StorageManager::getInstance();
    storage->setShowHints(false);
    storage->setSettingsValueForMachine(QStringLiteral("locale"), QStringLiteral("ru"));
    m_window->app.m_currentStyle = QStringLiteral("Night");
    storage->setSettingsValue(QStringLiteral("settingsRunAtStartup"), true);
    storage->setSettingsValue(QStringLiteral("settingsShowOfflineFriends"), false);
    QVERIFY(loadGeneral());
    QVERIFY(m_window->view->click(QStringLiteral("resetButton")));

    QVERIFY(!checked("runAtStartupBox"));
    QVERIFY(checked("showOfflineBox"));
    QCOMPARE(storage->getSettingsValue(QStringLiteral("settingsRunAtStartup")).toBool(), false);
    QCOMPARE(storage->getSettingsValue(QStringLiteral("settingsShowOfflineFriends")).toBool(), true);
    QVERIFY(!checked("tutorialBox"));
    QVERIFY(!storage->getShowHints());
    QCOMPARE(m_window->app.calls.all(), QStringList());
    QCOMPARE(m_window->item("styleChooser")->property("currentText").toString(), QStringLiteral("Night"));
    QCOMPARE(m_window->item("languageChooser")->property("currentText").toString(), QStringLiteral("Russian"));
    QCOMPARE(storage->getSettingsValueForMachine(QStringLiteral("locale")).toString(), QStringLiteral("ru"));
}

void TestQmlSettings::newSkinRevertsUnlessKept_data()
{
    QTest::addColumn<bool>("keep");
    QTest::newRow("waiting reverts") << false;
    QTest::newRow("OK keeps") << true;
}

void TestQmlSettings::newSkinRevertsUnlessKept()
{
    QFETCH(bool, keep);
    QVERIFY(loadGeneral());
    QQuickItem *page = m_window->view->root();
    // The countdown runs fast; its fifteen steps are the page's.
    page->setProperty("countdownInterval", 5);
    m_window->item("styleChooser")->setProperty("index", 1);
    QCOMPARE(m_window->app.calls.all(), QStringList{QStringLiteral("setStyle|Night")});
    QVERIFY(m_window->item("styleOverlay")->isVisible());
    QCOMPARE(m_window->text("revertCountdown"), QStringLiteral("15 seconds remaining..."));
    if (keep) {
        QVERIFY(m_window->view->click(QStringLiteral("keepStyleButton")));
        QVERIFY(!m_window->item("styleOverlay")->isVisible());
        // Nothing reverts later: the countdown has stopped.
        QVERIFY(!page->findChild<QObject *>(QStringLiteral("revertTimer"))->property("running").toBool());
        QCOMPARE(m_window->app.m_currentStyle, QStringLiteral("Night"));
    } else {
        QTRY_VERIFY(!m_window->item("styleOverlay")->isVisible());
        QCOMPARE(m_window->app.calls.all(),
                 (QStringList{QStringLiteral("setStyle|Night"), QStringLiteral("setStyle|Default")}));
        QCOMPARE(m_window->item("styleChooser")->property("currentText").toString(), QStringLiteral("Default"));
    }
}

void TestQmlSettings::languageNote()
{
    QVERIFY(loadGeneral());
    QQuickItem *note = m_window->item("restartNote");
    QVERIFY(!note->isVisible());
    m_window->item("languageChooser")->setProperty("index", 1);
    QCOMPARE(StorageManager::getInstance()->getSettingsValueForMachine(QStringLiteral("locale")).toString(),
             QStringLiteral("es"));
    QVERIFY(note->isVisible());
    m_window->item("languageChooser")->setProperty("index", 0);
    QVERIFY(!note->isVisible());
    QCOMPARE(m_window->app.calls.all(),
             (QStringList{QStringLiteral("initializeLocalization|es"), QStringLiteral("initializeLocalization|en")}));
}

void TestQmlSettings::profilePictureFilter_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("taken");
    QTest::newRow("png") << "me.png" << true;
    QTest::newRow("upper-case JPEG") << "ME.JPEG" << true;
    QTest::newRow("jpg") << "me.jpg" << true;
    QTest::newRow("gif") << "me.gif" << false;
    QTest::newRow("nothing chosen") << QString() << false;
    QTest::newRow("not a picture") << "broken.png" << false;
}

void TestQmlSettings::profilePictureFilter()
{
    QFETCH(QString, answer);
    QFETCH(bool, taken);
    if (!answer.isEmpty())
        m_window->picker.m_answer = pictureUrl(answer);
    QVERIFY(loadProfile());
    QVERIFY(!m_window->item("saveButton")->isEnabled());
    QVERIFY(m_window->view->click(QStringLiteral("pictureArea")));
    QCOMPARE(m_window->picker.calls.all(),
             QStringList{QStringLiteral("getFileUrl|Choose your profile picture|/pictures|Images (*.png "
                                        "*.jpg *.jpeg)|false")});
    QStringList events{QStringLiteral("trackEvent|ProfileEditor|ChangeProfilePictureClick")};
    if (taken)
        events << QStringLiteral("trackEvent|ProfileEditor|ChangeProfileImage");
    QCOMPARE(m_window->app.calls.matching(QStringLiteral("trackEvent")), events);
    QCOMPARE(m_window->item("saveButton")->isEnabled(), taken);
}

void TestQmlSettings::profileSaveOrder()
{
    m_window->picker.m_answer = pictureUrl(QStringLiteral("new.png"));
    QVERIFY(loadProfile());
    // Each field holds what it edits: the chosen name (not the user name
    // shown in its place), and the user name under "Username".
    QCOMPARE(m_window->text("nameField"), QStringLiteral("Ann"));
    QCOMPARE(m_window->text("userNameField"), QStringLiteral("ann"));
    QVERIFY(m_window->item("userNameField")->property("readOnly").toBool());
    QVERIFY(m_window->view->click(QStringLiteral("pictureArea")));
    m_window->item("taglineField")->setProperty("text", QStringLiteral("New line"));
    QVERIFY(m_window->view->click(QStringLiteral("saveButton")));
    QCOMPARE(m_window->user.calls.all(),
             (QStringList{QStringLiteral("requestProfilePictureUpdate|") + m_window->picker.m_answer,
                          QStringLiteral("requestProfileUpdate|Ann|About Ann|New line|Oslo")}));
    QVERIFY(m_window->app.calls.all().contains(QStringLiteral("trackEvent|UserProfileEditor|SaveUpdateButton")));
    QVERIFY(!m_window->item("saveButton")->isEnabled());
}

TAVRI_WINDOW_TEST_MAIN(TestQmlSettings)
#include "moc_settingsfakes.cpp"
#include "tst_qml_settings.moc"
