// The About dialog, the Report Issue window, the tutorial and the warning
// dialogs.

#include <QQmlEngine>
#include <QQmlExpression>
#include <QQuickItem>
#include <QtTest/QtTest>

#include "localuser.h"
#include "logcapture.h"
#include "storagemanager.h"
#include "stylemanager.h"
#include "tavriapplication.h"
#include "testenvironment.h"
#include "windowfakes.h"

using namespace windowtest;

class TestDialogWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowsLoadWithoutWarnings_data();
    void windowsLoadWithoutWarnings();
    void aboutUpdateButton();
    void aboutHelpLink();
    void reportCutsLongDescription();
    void reportSendEnabledOnlyWithContent();
    void reportSend_data();
    void reportSend();
    void reportResetsOnShow();
    void tutorialWalksSlides();
    void tutorialKeepsSlideOnInsertAndRemove_data();
    void tutorialKeepsSlideOnInsertAndRemove();
    void voiceBlockedListsPorts();
    void deleteConfirmation();

private:
    // Loads a window into m_view with the fakes and any extra context
    // objects, at the loader's size.
    QmlTestView *load(const QString &file, const QSize &size, const QVariantMap &extra = QVariantMap());
    QString text(QmlTestView &window, const char *name) const;

    std::unique_ptr<FakeMainApp> m_app;
    std::unique_ptr<FakeLocalUser> m_user;
    std::unique_ptr<FakeVoiceManager> m_voice;
    std::unique_ptr<UrlCapture> m_urls;
    std::unique_ptr<QmlTestView> m_view;
    ReportSources m_sources;
};

void TestDialogWindows::initTestCase()
{
    Q_INIT_RESOURCE(tavri);
    TavriApplication::registerQmlTypes();
    // The style lives in an engine of its own for the whole run, as in the
    // program, while every test's view brings and drops its own engine.
    QVERIFY(StyleManager::getInstance(new QQmlEngine(this))->style());
    m_sources.stats.m_rows = {QVariantMap{{QStringLiteral("lost"), 3}, {QStringLiteral("jitter"), 12}}};
}

void TestDialogWindows::init()
{
    m_app.reset(new FakeMainApp);
    m_sources.attachTo(*m_app);
    m_user.reset(new FakeLocalUser);
    m_user->m_participatingURIs = QStringList{QStringLiteral("sip:confctl-1@x"), QStringLiteral("sip:confctl-2@x")};
    m_user->m_lastParticipatingURI = QStringLiteral("sip:confctl-0@x");
    m_voice.reset(new FakeVoiceManager);
    // The old capture unregisters its handlers before the new one registers.
    m_urls.reset();
    m_urls.reset(new UrlCapture);
}

void TestDialogWindows::cleanup()
{
    const QStringList warnings = m_view ? m_view->qmlWarnings() : QStringList();
    m_view.reset();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

QmlTestView *TestDialogWindows::load(const QString &file, const QSize &size, const QVariantMap &extra)
{
    // Log captures nest: the previous view's ends before the next begins.
    m_view.reset();
    m_view.reset(new QmlTestView);
    m_view->setContextObject(QStringLiteral("mainApp"), m_app.get());
    m_view->setContextObject(QStringLiteral("localUser"), m_user.get());
    m_view->setContextObject(QStringLiteral("storageManager"), StorageManager::getInstance());
    m_view->setContextObject(QStringLiteral("voiceManager"), m_voice.get());
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        m_view->rootContext()->setContextProperty(it.key(), it.value());
    if (!m_view->load(QUrl(QStringLiteral("qrc:/QML/qml/tavri/") + file)))
        return nullptr;
    // The loader's size reaches the root through the window system's queue.
    m_view->resize(size);
    QQuickItem *root = m_view->root();
    if (!QTest::qWaitFor([&] { return root->size() == QSizeF(size); }))
        return nullptr;
    return m_view.get();
}

QString TestDialogWindows::text(QmlTestView &window, const char *name) const
{
    return item(&window, QString::fromLatin1(name))->property("text").toString();
}

void TestDialogWindows::windowsLoadWithoutWarnings_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("title");
    QTest::newRow("about") << "AboutDialog.qml" << QSize(600, 410) << "About Tavri";
    QTest::newRow("report") << "ReportIssue.qml" << QSize(720, 460) << "Report Issue";
    QTest::newRow("tutorial") << "Tutorial.qml" << QSize(800, 600) << QString();
    QTest::newRow("voice blocked") << "warnings/NetworkTrafficBlockedWarningDialog.qml" << QSize(320, 240)
                                   << "Alert: Voice data blocked";
    QTest::newRow("delete") << "warnings/PermanentConversationDeleteConfirmDialog.qml" << QSize(320, 240)
                            << "Confirm delete";
}

void TestDialogWindows::windowsLoadWithoutWarnings()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(QString, title);
    FakeConversation channel;
    QmlTestView *window = load(file, size,
                               {{QStringLiteral("conversationRef"), QVariant::fromValue<QObject *>(&channel)},
                                {QStringLiteral("reason"), QString()}});
    QVERIFY(window);
    QVERIFY(window->root());
    QVERIFY(window->isExposed());
    if (!title.isEmpty())
        QCOMPARE(window->root()->property("title").toString(), title);
    savePicture(window, QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
}

void TestDialogWindows::aboutUpdateButton()
{
    QmlTestView *window = load(QStringLiteral("AboutDialog.qml"), QSize(600, 410));
    QVERIFY(window);
    QQuickItem *button = item(window, "updateButton");
    QObject *timer = window->root()->findChild<QObject *>(QStringLiteral("noUpdateTimer"));
    QVERIFY(timer);
    QCOMPARE(text(*window, "updateButton"), QStringLiteral("Check for updates"));

    window->click(button);
    QCOMPARE(m_app->log.calls(), (QStringList{QStringLiteral("trackEvent|AboutDialog|CheckForUpdateClick"),
                                              QStringLiteral("checkForUpdates")}));

    emit m_app->noUpdateAvailable();
    QCOMPARE(text(*window, "updateButton"), QStringLiteral("No update available"));
    savePicture(window, QStringLiteral("about-no-update"));
    QCOMPARE(button->property("toolTip").toString(), QStringLiteral("No update found, click to check again."));
    QCOMPARE(timer->property("interval").toInt(), 15000);
    QVERIFY(timer->property("running").toBool());
    // Its expiry returns the button to its first state.
    QMetaObject::invokeMethod(timer, "triggered");
    QCOMPARE(text(*window, "updateButton"), QStringLiteral("Check for updates"));

    // An update announced while "No update available" shows switches at once.
    emit m_app->noUpdateAvailable();
    m_app->setUpdate(QStringLiteral("2.0"), QStringLiteral("https://www.example.test/get"));
    QCOMPARE(text(*window, "updateButton"), QStringLiteral("Update now"));
    savePicture(window, QStringLiteral("about-update-now"));
    QCOMPARE(button->property("toolTip").toString(), QStringLiteral("Click here to download the update"));
    QVERIFY(!timer->property("running").toBool());
    m_app->log.clear();
    window->click(button);
    QCOMPARE(m_app->log.calls(),
             QStringList{QStringLiteral("trackEvent|AboutDialog|UpdateClick|link:https://www.example.test/get")});
    QCOMPARE(m_urls->opened, QList<QUrl>{QUrl(QStringLiteral("https://www.example.test/get"))});
}

void TestDialogWindows::aboutHelpLink()
{
    QmlTestView *window = load(QStringLiteral("AboutDialog.qml"), QSize(600, 410));
    QVERIFY(window);
    window->click(item(window, "helpFeedbackLink"));
    QCOMPARE(m_app->log.calls(), QStringList{QStringLiteral("trackEvent|AboutDialog|HelpFeedbackClick")});
    QCOMPARE(m_urls->opened.size(), 1);
    QVERIFY(m_urls->opened.first().scheme().startsWith(QLatin1String("http")));
}

void TestDialogWindows::reportCutsLongDescription()
{
    QmlTestView *window = load(QStringLiteral("ReportIssue.qml"), QSize(720, 460));
    QVERIFY(window);
    QQuickItem *area = item(window, "commentArea");
    area->forceActiveFocus();
    QCOMPARE(text(*window, "commentArea"), QString());

    QString long3500;
    for (int i = 0; i < 3500; ++i)
        long3500.append(QChar(QLatin1Char('a' + i % 26)));
    area->setProperty("text", long3500);
    QCOMPARE(text(*window, "commentArea"), long3500.left(3000));

    // Typing past the end in the middle keeps the cursor where it was.
    QObject *editor = nullptr;
    for (QObject *child : area->findChildren<QObject *>()) {
        if (child->property("cursorPosition").isValid()) {
            editor = child;
            break;
        }
    }
    QVERIFY(editor);
    editor->setProperty("cursorPosition", 10);
    window->type(QStringLiteral("XY"));
    QCOMPARE(text(*window, "commentArea").size(), 3000);
    QCOMPARE(text(*window, "commentArea").left(12), long3500.left(10) + QStringLiteral("XY"));
    QCOMPARE(editor->property("cursorPosition").toInt(), 12);
}

void TestDialogWindows::reportSendEnabledOnlyWithContent()
{
    QmlTestView *window = load(QStringLiteral("ReportIssue.qml"), QSize(720, 460));
    QVERIFY(window);
    QQuickItem *send = item(window, "sendButton");
    QCOMPARE(text(*window, "commentArea"), QStringLiteral("Please describe the issue you are experiencing here."));
    QVERIFY(!send->isEnabled());
    item(window, "symptom4")->setProperty("checked", true);
    QVERIFY(send->isEnabled());
    item(window, "symptom4")->setProperty("checked", false);
    QVERIFY(!send->isEnabled());
    item(window, "commentArea")->setProperty("text", QStringLiteral("crackles"));
    QVERIFY(send->isEnabled());
}

void TestDialogWindows::reportSend_data()
{
    QTest::addColumn<bool>("followUp");
    QTest::newRow("no follow-up") << false;
    QTest::newRow("follow-up") << true;
}

void TestDialogWindows::reportSend()
{
    QFETCH(bool, followUp);
    QmlTestView *window = load(QStringLiteral("ReportIssue.qml"), QSize(720, 460),
                               {{QStringLiteral("reason"), QStringLiteral("Voice data seems blocked")}});
    QVERIFY(window);
    QCOMPARE(text(*window, "followUpBox"), QStringLiteral("Send a followup e-mail to me@example.test"));
    item(window, "symptom4")->setProperty("checked", true);
    item(window, "symptom0")->setProperty("checked", true);
    item(window, "commentArea")->setProperty("text", QStringLiteral("It <b>crackles</b>\nsometimes"));
    item(window, "followUpBox")->setProperty("checked", followUp);
    m_app->log.clear();
    window->click(item(window, "sendButton"));

    const QStringList data =
        ReportSources::machineLines(0)
        + QStringList{QStringLiteral("cs_0_jitter:12"), QStringLiteral("cs_0_lost:3"),
                      QStringLiteral("so:I could not hear other users at all,Other users could not hear me,"),
                      QStringLiteral("comments: It <b>crackles</b>\nsometimes\n")}
        + ReportSources::localeLines()
        + QStringList{followUp ? QStringLiteral("reqResp:1") : QStringLiteral("reqResp:0")};
    QCOMPARE(m_app->log.matching("trackEvent|SubmitIssueReport"),
             QStringList{(QStringList{QStringLiteral("trackEvent|SubmitIssueReport|")} + data).join('|')});
    QCOMPARE(m_user->log.calls(),
             followUp
                 ? QStringList{(QStringList{QStringLiteral("requestReportIssue"),
                                            QStringLiteral("It <b>crackles</b>\nsometimes"),
                                            QStringLiteral("I could not hear other users at all,Other users "
                                                           "could not hear me"),
                                            QString(), QStringLiteral("sip:confctl-1@x,sip:confctl-2@x"), QString()}
                                + data)
                                   .join('|')}
                 : QStringList());

    QVERIFY(text(*window, "bottomLine").startsWith(QLatin1String("Thank you for the report!")));
    savePicture(window,
                QStringLiteral("report-sent-") + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
    QCOMPARE(text(*window, "bottomLine").contains(QLatin1Char('@')), followUp);
    QVERIFY(!item(window, "sendButton")->isVisible());
    QVERIFY(item(window, "reportCloseButton")->isVisible());
    QTRY_VERIFY(item(window, "reportCloseButton")->hasActiveFocus());
    QVERIFY(!item(window, "symptom0")->isEnabled());
    QVERIFY(!item(window, "commentArea")->isEnabled());
    QVERIFY(!item(window, "followUpBox")->isEnabled());

    // "Close" resets the form and hides the window.
    window->click(item(window, "reportCloseButton"));
    QVERIFY(!window->isVisible());
    QVERIFY(item(window, "sendButton")->isVisible());
}

void TestDialogWindows::reportResetsOnShow()
{
    QmlTestView *window = load(QStringLiteral("ReportIssue.qml"), QSize(720, 460));
    QVERIFY(window);
    item(window, "symptom0")->setProperty("checked", true);
    item(window, "commentArea")->setProperty("text", QStringLiteral("words"));
    window->click(item(window, "sendButton"));
    QVERIFY(item(window, "reportCloseButton")->isVisible());

    // The application calls updateData at every show.
    call(window, "updateData");
    QCOMPARE(item(window, "symptom0")->property("checked").toBool(), false);
    QVERIFY(item(window, "symptom0")->isEnabled());
    QVERIFY(item(window, "commentArea")->isEnabled());
    QCOMPARE(text(*window, "commentArea"), QStringLiteral("Please describe the issue you are experiencing here."));
    QVERIFY(!item(window, "commentArea")->hasActiveFocus());
    QVERIFY(item(window, "sendButton")->isVisible());
    QVERIFY(!item(window, "reportCloseButton")->isVisible());
    QCOMPARE(text(*window, "bottomLine"), QString());

    // The opening event names the channels, once, some time after the load.
    QTRY_COMPARE(m_app->log.matching("trackEvent|OpenReportIssue"),
                 QStringList{QStringLiteral("trackEvent|OpenReportIssue||c:sip:confctl-1@x,sip:confctl-2@x|"
                                            "rc:sip:confctl-0@x")});
}

void TestDialogWindows::tutorialWalksSlides()
{
    QmlTestView *window = load(QStringLiteral("Tutorial.qml"), QSize(800, 600));
    QVERIFY(window);
    QQuickItem *root = window->root();
    QCOMPARE(window->root()->property("title").toString(), QStringLiteral("Tutorial"));
    QCOMPARE(window->minimumSize(), QSize(640, 480));
    auto visibleSlides = [&] {
        QStringList names;
        for (int i = 0; i < 5; ++i) {
            if (QQuickItem *slide = item(window, QStringLiteral("slide%1").arg(i)); slide && slide->isVisible())
                names.append(slide->objectName());
        }
        return names;
    };
    auto button = [&](int slide, const char *name) {
        return findItem(item(window, QStringLiteral("slide%1").arg(slide)), QString::fromLatin1(name));
    };
    QCOMPARE(visibleSlides(), QStringList{QStringLiteral("slide0")});
    QVERIFY(!button(0, "previousButton")->isVisible());

    for (int i = 0; i < 4; ++i)
        window->click(button(i, "nextButton"));
    QCOMPARE(root->property("currentIndex").toInt(), 4);
    QCOMPARE(visibleSlides(), QStringList{QStringLiteral("slide4")});
    QCOMPARE(button(4, "nextButton")->property("text").toString(), QStringLiteral("Done"));
    savePicture(window, QStringLiteral("tutorial-last"));
    QCOMPARE(button(3, "nextButton")->property("text").toString(), QStringLiteral("Next"));

    window->click(button(4, "previousButton"));
    QCOMPARE(root->property("currentIndex").toInt(), 3);
    window->click(button(3, "nextButton"));
    window->click(button(4, "nextButton"));
    QVERIFY(!window->isVisible());
    QCOMPARE(m_app->log.matching("trackEvent|Tutorial"),
             (QStringList{"trackEvent|Tutorial|nextClick|i:1", "trackEvent|Tutorial|nextClick|i:2",
                          "trackEvent|Tutorial|nextClick|i:3", "trackEvent|Tutorial|nextClick|i:4",
                          "trackEvent|Tutorial|previousClick|i:3", "trackEvent|Tutorial|nextClick|i:4",
                          "trackEvent|Tutorial|doneClick|i:4"}));

    // Shown again, it starts at the first slide; Escape hides it and names the slide.
    m_app->log.clear();
    QVERIFY(showAgain(window));
    QCOMPARE(root->property("currentIndex").toInt(), 0);
    QCOMPARE(visibleSlides(), QStringList{QStringLiteral("slide0")});
    root->forceActiveFocus();
    window->key(Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    QCOMPARE(m_app->log.matching("trackEvent|Tutorial"), QStringList{"trackEvent|Tutorial|closeEsc|i:0"});
}

void TestDialogWindows::tutorialKeepsSlideOnInsertAndRemove_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("expected");

    QTest::newRow("insert before") << 2 << "insert" << 1 << 3;
    QTest::newRow("insert at") << 2 << "insert" << 2 << 3;
    QTest::newRow("insert after") << 2 << "insert" << 3 << 2;
    QTest::newRow("remove before") << 2 << "remove" << 0 << 1;
    QTest::newRow("remove at") << 2 << "remove" << 2 << 2;
    QTest::newRow("remove after") << 2 << "remove" << 4 << 2;
    QTest::newRow("remove the last, on it") << 4 << "remove" << 4 << 3;
}

void TestDialogWindows::tutorialKeepsSlideOnInsertAndRemove()
{
    QFETCH(int, index);
    QFETCH(QString, operation);
    QFETCH(int, row);
    QFETCH(int, expected);

    QmlTestView *window = load(QStringLiteral("Tutorial.qml"), QSize(800, 600));

    QVERIFY(window);
    window->root()->setProperty("currentIndex", index);
    const QString picture = item(window, QStringLiteral("slide%1").arg(index))->property("picture").toString();
    const QString change = operation == QLatin1String("insert")
                               ? QStringLiteral("slides.insert(%1, {\"picture\": \"\"})").arg(row)
                               : QStringLiteral("slides.remove(%1, 1)").arg(row);
    QQmlExpression expression(QQmlEngine::contextForObject(window->root()), window->root(), change);
    expression.evaluate();
    QVERIFY(!expression.hasError());
    QCOMPARE(window->root()->property("currentIndex").toInt(), expected);
    // The same picture is still on show, unless its own slide went.
    if (!(operation == QLatin1String("remove") && row == index)) {
        QQuickItem *shown = item(window, QStringLiteral("slide%1").arg(expected));
        QCOMPARE(shown->property("picture").toString(), picture);
        QVERIFY(shown->isVisible());
    }
}

void TestDialogWindows::voiceBlockedListsPorts()
{
    QmlTestView *window = load(QStringLiteral("warnings/NetworkTrafficBlockedWarningDialog.qml"), QSize(320, 240));
    QVERIFY(window);
    QCOMPARE(window->minimumSize(), QSize(320, 240));
    const QString message = text(*window, "message");
    for (const char *ports : {"3478, 3479", "5060-5062", "port 6250", "12000-32000"})
        QVERIFY2(message.contains(QLatin1String(ports)), ports);
    QVERIFY(message.startsWith(QLatin1String("Network configuration appears to be blocking voice data.  Please "
                                             "check your router settings and confirm that these ports are allowed:")));
    QVERIFY(message.contains(QLatin1String("this forum sticky")));

    const QString link = QStringLiteral("https://www.example.test/help/ports/");
    QVERIFY(message.contains(link));
    QMetaObject::invokeMethod(item(window, "message"), "linkActivated", Q_ARG(QString, link));
    QCOMPARE(m_app->log.calls(), QStringList{"trackEvent|WarningNoVoiceData|LinkClicked|u:" + link});
    QCOMPARE(m_urls->opened, QList<QUrl>{QUrl(link)});
}

void TestDialogWindows::deleteConfirmation()
{
    FakeConversation channel;
    const QVariantMap extra{{QStringLiteral("conversationRef"), QVariant::fromValue<QObject *>(&channel)}};
    auto window = load(QStringLiteral("warnings/PermanentConversationDeleteConfirmDialog.qml"), QSize(320, 240), extra);
    // The channel's name is shown as it is, never as markup.
    QCOMPARE(text(*window, "question"), QStringLiteral("You are about to delete Night <b>owls</b>, are you sure?"));
    QTRY_VERIFY(item(window, "cancelButton")->hasActiveFocus());

    // Return on the default button cancels.
    window->key(Qt::Key_Return);
    QVERIFY(!window->isVisible());
    QCOMPARE(channel.log.calls(), QStringList());

    QVERIFY(showAgain(window));
    window->click(item(window, "okButton"));
    QCOMPARE(channel.log.calls(), QStringList{QStringLiteral("requestDelete|true")});
    QVERIFY(!window->isVisible());
}

TAVRI_WINDOW_TEST_MAIN(TestDialogWindows)
#include "moc_windowfakes.cpp"
#include "tst_dialogwindows.moc"
