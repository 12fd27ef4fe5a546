// What QML reaches of the program: the registered types, the context
// properties every window gets, and the application object's meta interface.
#include <QtTest/QtTest>

#include <QMetaMethod>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>

#include "logging.h"
#include "shellfixture.h"
#include "storagemanager.h"

namespace {

// The application's own members of one kind, by name, in declaration order
// (overloads and default-argument forms once).
QStringList ownMethods(QMetaMethod::MethodType type, QMetaMethod::Access access)
{
    const QMetaObject *meta = &TavriApplication::staticMetaObject;
    QStringList names;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != type || method.access() != access)
            continue;
        const QString name = QString::fromLatin1(method.name());
        if (names.isEmpty() || names.last() != name)
            names.append(name);
    }
    return names;
}

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestQmlInterface : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void storedSkinThatFailsKeepsDefault();
    void registeredTypes();
    void commonContextProperties();
    void exactlyThePublishedMembers_data();
    void exactlyThePublishedMembers();
    void folders();
    void readFileContents();
    void toggleAndSetStyle();
    void unknownRealmsAndUsersOnlyLog_data();
    void unknownRealmsAndUsersOnlyLog();
    void loginStartsWatchdog();
    void writableProperties();

private:
    TavriApplication *app() const { return shelltest::application(); }
    FakeWebService *m_web = nullptr;
};

void TestQmlInterface::initTestCase()
{
    // Before start-up there is no web client: events go nowhere.
    {
        LogCapture capture;
        app()->trackEvent(QStringLiteral("MainApp"), QStringLiteral("Early"), QStringList{QStringLiteral("a:1")});
        app()->trackOnSettingChanged(QStringLiteral("k"), 1);
        QVERIFY(shelltest::events(capture, QStringLiteral("MainApp.Early")).isEmpty());
        QVERIFY(shelltest::events(capture, QStringLiteral("SettingsChange.k")).isEmpty());
    }
    // A stored skin that cannot be loaded, applied with the first window.
    StorageManager::getInstance()->setSettingsValue(QStringLiteral("settingsSkin"), QStringLiteral("NoSuchSkin"));
    m_web = shelltest::start();
}

void TestQmlInterface::cleanupTestCase()
{
    delete m_web;
    m_web = nullptr;
}

void TestQmlInterface::registeredTypes()
{
    // Each type in its own module; enumerations resolve through the type.
    QQmlComponent probe(app()->qmlEngine());
    probe.setData("import QtQuick 2.15\n"
                  "import LocalUser 1.0\nimport Notification 1.0\nimport Settings 1.0\nimport RealmUser 1.0\n"
                  "import QStringListModel 1.0\nimport CaptureDeviceModel 1.0\nimport RenderDeviceModel 1.0\n"
                  "import ConversationParticipant 1.0\nimport Conversation 1.0\nimport FindUsers 1.0\n"
                  "import AudioTonesManager 1.0\n"
                  "QtObject {\n"
                  "    property int notJoined: Conversation.NotJoined\n"
                  "    property int joined: Conversation.Joined\n"
                  "    property int invite: FindUsers.FindUsersForInviteFriendsToChannel\n"
                  "    property var conversation: Conversation {}\n"
                  "    property var model: QStringListModel {}\n"
                  "}\n",
                  QUrl(QStringLiteral("qrc:/probe/Types.qml")));
    QScopedPointer<QObject> object(probe.create());
    QVERIFY2(object, qPrintable(probe.errorString()));
    QCOMPARE(object->property("notJoined").toInt(), 0);
    QCOMPARE(object->property("joined").toInt(), 4);
    QCOMPARE(object->property("invite").toInt(), 4);
    QVERIFY(qvariant_cast<QObject *>(object->property("conversation")));

    for (const char *name :
         {"SystemInfo*", "CallSessionStats*", "ContactList*", "ContactGroupList*", "ConversationList*",
          "RealmIdentityList*", "ConversationParticipantList*", "ConversationMessageList*"}) {
        const int id = QMetaType::type(name);
        QVERIFY2(id != QMetaType::UnknownType, name);
        QVERIFY2(QMetaType::typeFlags(id) & QMetaType::PointerToQObject, name);
    }
}

void TestQmlInterface::commonContextProperties()
{
    LogCapture capture(LogCapture::ForwardWarnings);
    QQuickView view(app()->qmlEngine(), nullptr);
    app()->setQmlRootContextProperties(view.rootContext());
    for (const QString &name : shelltest::commonContextProperties())
        QVERIFY2(view.rootContext()->contextProperty(name).isValid(), qPrintable(name));

    // A window binding to each at load sees a value, and nothing warns.
    QString probe = QStringLiteral("import QtQuick 2.15\nItem {\n");
    for (const QString &name : shelltest::commonContextProperties())
        probe += QStringLiteral("    property var p_%1: %1\n").arg(name);
    probe += QStringLiteral("}\n");
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("Probe.qml")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(probe.toUtf8());
    file.close();
    view.setSource(QUrl::fromLocalFile(file.fileName()));
    QCOMPARE(view.status(), QQuickView::Ready);
    QObject *root = view.rootObject();
    for (const QString &name : shelltest::commonContextProperties()) {
        const QVariant value = root->property(qPrintable(QStringLiteral("p_") + name));
        QVERIFY2(value.isValid(), qPrintable(name));
        if (name != QLatin1String("adjustHeight"))
            QVERIFY2(qvariant_cast<QObject *>(value), qPrintable(name));
    }
    QCOMPARE(root->property("p_adjustHeight"), QVariant(false));
    QCOMPARE(qvariant_cast<QObject *>(root->property("p_mainApp")), app());
    for (const CapturedLine &line : capture.lines()) {
        // Run alone, this is the first window, which applies the stored skin
        // that initTestCase made unloadable.
        if (line.message == QLatin1String("Failed to load selected skin: \"NoSuchSkin\""))
            continue;
        QVERIFY2(line.type == QtDebugMsg || line.type == QtInfoMsg, qPrintable(line.message));
    }
}

void TestQmlInterface::storedSkinThatFailsKeepsDefault()
{
    // The first window's properties apply the stored skin.
    LogCapture capture;
    QQuickView view(app()->qmlEngine(), nullptr);
    app()->setQmlRootContextProperties(view.rootContext());
    QCOMPARE(capture.find(QtWarningMsg, QStringLiteral("Failed to load selected skin: \"NoSuchSkin\"")).size(), 1);
    QVERIFY(view.rootContext()->contextProperty(QStringLiteral("styleManager")).value<QObject *>());
    QCOMPARE(app()->getCurrentStyleName(), QStringLiteral("Default"));
    QCOMPARE(StorageManager::getInstance()->getSettingsValue(QStringLiteral("settingsSkin")).toString(),
             QStringLiteral("NoSuchSkin"));
}

void TestQmlInterface::exactlyThePublishedMembers_data()
{
    QTest::addColumn<QStringList>("actual");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("signals")
        << ownMethods(QMetaMethod::Signal, QMetaMethod::Public)
        << words("currentVersionChanged availableUpdateVersionChanged "
                 "availableUpdateMessageChanged availableUpdateLinkChanged noUpdateAvailable "
                 "networkStateChanged effectiveRenderDeviceNameChanged "
                 "effectiveCaptureDeviceNameChanged renderDeviceNameChanged "
                 "captureDeviceNameChanged transmittingChannelChanged echoChannelChanged "
                 "renderDeviceIndexChanged captureDeviceIndexChanged captureTestRunningChanged "
                 "renderTestRunningChanged qualityConnectionBarsChanged packetsReceivedChanged "
                 "packetsLostChanged packetsDiscardedChanged packetsSentChanged "
                 "micIsActiveChanged micVolumeChanged micEnergyChanged speakerIsActiveChanged "
                 "speakerVolumeChanged speakerEnergyChanged connectorErrorMessageChanged "
                 "pageIdChanged currentTTSVoiceChanged inviteUsersResponses languageChanged trayIconShownChanged "
                 "hideFramesRequested minimizeFramesRequested chatColorsChanged exiting");
    QTest::newRow("public slots") << ownMethods(QMetaMethod::Slot, QMetaMethod::Public)
                                  << words("onLoggedIn onLoggedOut onReconnecting onRequestSpeakText onAppExit "
                                           "onShowForegroundWindow onProtocolMessageReceived trackOnSettingChanged "
                                           "toggleStyle showTutorial closeTutorial cascadeWindow showFrame "
                                           "setQmlRootContextProperties");
    QTest::newRow("protected slots")
        << ownMethods(QMetaMethod::Slot, QMetaMethod::Protected)
        << words("onNewInstall onStorageDatabaseSetAside onCreateAccountFailed onCreateAccountSucceeded "
                 "onCheckUsernameResponse "
                 "onLoginStateChanged onLoginScreenClosing onMainScreenClosing onMainScreenVisibilityChanged "
                 "onMainScreenVisibleChanged onMainScreenPositionXChanged onMainScreenPositionYChanged "
                 "onMainScreenWidthChanged onAudioSettingsScreenClosing onReportIssueClosing "
                 "onInviteFriendsViaEmailClosing onSystrayActivated onVoiceLoggedIn "
                 "onLocalUserNotificationReceived "
                 "onSystemTrayInviteMessageClicked onSystemTrayMessageClicked "
                 "onSystemTrayPrivateMessageClicked "
                 "onSystemTrayChannelMessageClicked onSystemTrayConversationMessageClicked "
                 "onSystemTrayUpdateAvailableMessageClicked onLocalUserPresenceStateChanged "
                 "onChannelFavoriteChanged "
                 "onAddChannelFailed onEditChannelFailed onChannelConnectionTimeout onMaximumCallsExceeded "
                 "onCannotAddEchoToSession onFileNotFoundForPlayback onVoiceDataBlocked "
                 "onVoiceDataBlockedWarningWindowClosing onTutorialScreenClosing onUpdateAvailable "
                 "onNoUpdateAvailable onCreateAccountNetworkError "
                 "onVoiceManagerEffectiveRenderDeviceNameChanged "
                 "onVoiceManagerEffectiveCaptureDeviceNameChanged onVoiceManagerRenderDeviceNameChanged "
                 "onVoiceManagerCaptureDeviceNameChanged onVoiceManagerRenderDeviceIndexChanged "
                 "onVoiceManagerCaptureDeviceIndexChanged onVoiceManagerTransmittingChannelChanged "
                 "onVoiceManagerNetworkStateChanged onVoiceManagerCaptureTestRunningChanged "
                 "onVoiceManagerRenderTestRunningChanged onAuxAudioPropertiesReceived onConnectorCreateFailed "
                 "onConnectorCreated onSdkError onChannelNotFound onMediaStreamUpdated onSessionRemoved "
                 "onAudioDeviceProblem onVoiceLoggedOut onCouldNotConnectToServer onRtpTimeout "
                 "onTonesManagerVoiceChanged onLinkShortened onChatColorsChanged onInviteUsersResponses "
                 "onConversationParticipantAdded onConversationParticipantRemoved "
                 "onConversationParticipantDisplayNameUpdated onExternalAppRelease onConversationDisconnected "
                 "onConversationTextMessageReceived");
    QTest::newRow("private slots") << ownMethods(QMetaMethod::Slot, QMetaMethod::Private) << QStringList();
    QTest::newRow("invokables")
        << ownMethods(QMetaMethod::Method, QMetaMethod::Public)
        << words("createAccount checkUsernameAvailability checkForUpdates requestLogin requestLogout "
                 "isImageValid "
                 "trackEvent showLoginPrompt showMainFrame showFindUsers showGeneralSettings showAbout "
                 "showCreateChannel showReportIssue hideAllFrames minimizeAllFrames showInviteFriendsViaEmail "
                 "copyChannelLinkToClipboard copyTextToClipboard showEditPresenceMessages "
                 "getAvailableTTSVoices "
                 "setTTSVoice getAvailableStyles getCurrentStyleName setStyle getRenderDevices "
                 "getCaptureDevices "
                 "setCaptureDeviceByIndex setRenderDeviceByIndex setAecEnabled setAgcEnabled setVadEnabled "
                 "getKeySequenceString setTtsVolume getTtsVolume stopTts renderFileToSpeaker startCaptureTest "
                 "stopCaptureTest startRenderTest stopRenderTest getDefaultVadSensitivity "
                 "getDefaultVadNoiseFloor "
                 "getDefaultMicLevel getDefaultSpeakerLevel capitalizeFirstLetter activateParentById "
                 "requestJoinConversation showUserProfileByURI copyCallStatsToClipboard clearCallStats "
                 "requestConnectionQualityStatsUpdate getMousePositionX getMousePositionY setCursorShape "
                 "restoreCursorShape showAlert showHiddenWindow forceCrash showPostCallSurvey showChatLog "
                 "readFileContents showRealmUserProfile requestConversation leaveAllVoiceConversations "
                 "isTavriInAccessList initializeLocalization decorate getChatLogFileList");
    QTest::newRow("other methods") << ownMethods(QMetaMethod::Method, QMetaMethod::Protected)
                                          + ownMethods(QMetaMethod::Method, QMetaMethod::Private)
                                   << QStringList();

    const QMetaObject *meta = &TavriApplication::staticMetaObject;
    QStringList properties;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        properties.append(QString::fromLatin1(meta->property(i).name()));
    QTest::newRow("properties")
        << properties
        << words("languageUpdatedString version localUser applicationDirPath imageDirPath "
                 "soundsDirPath availableUpdateVersion availableUpdateMessage "
                 "availableUpdateLink renderDevices captureDevices transmittingChannel "
                 "echoChannel captureTestRunning renderTestRunning qualityConnectionBars "
                 "micIsActive micVolume micEnergy speakerIsActive speakerVolume "
                 "speakerEnergy connectorErrorMessage pageId systemInfo callStats "
                 "advancedAgc ttsVoices currentTTSVoice logfileDirectory chatColors trayIconShown");
}

void TestQmlInterface::exactlyThePublishedMembers()
{
    QFETCH(QStringList, actual);
    QFETCH(QStringList, expected);
    QCOMPARE(actual, expected);
}

void TestQmlInterface::folders()
{
    // Sound choosers start where the default cue sounds lie, beside the
    // program; log files are in the folder shared with the voice SDK.
    QCOMPARE(app()->property("soundsDirPath").toString(), app()->applicationDirPath() + QStringLiteral("/sounds"));
    QCOMPARE(app()->property("imageDirPath").toString(),
             QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    QCOMPARE(app()->property("logfileDirectory").toString(), sdkLogDirectory());
    QVERIFY(!sdkLogDirectory().isEmpty());
}

void TestQmlInterface::readFileContents()
{
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("log.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("h\xc3\xa9llo <b>peer</b> http://example.org/x\n");
    file.close();
    QCOMPARE(app()->readFileContents(file.fileName()),
             QString::fromUtf8("h\xc3\xa9llo <b>peer</b> http://example.org/x\n"));
    QVERIFY(app()->readFileContents(file.fileName(), true).contains(QLatin1String("<a href=\"http://example.org/x\"")));

    LogCapture capture;
    QCOMPARE(app()->readFileContents(folder.filePath(QStringLiteral("missing.txt"))), QString());
    QCOMPARE(capture.find(QtDebugMsg, QStringLiteral("TavriApplication::readFileContents")).size(), 1);
}

void TestQmlInterface::toggleAndSetStyle()
{
    // A skin of that name, so that the alternate style can be applied.
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::DataLocation) + QStringLiteral("/skins/Unstyled");
    QVERIFY(QDir().mkpath(folder));
    QFile skin(folder + QStringLiteral("/Unstyled.qml"));
    QVERIFY(skin.open(QIODevice::WriteOnly));
    skin.write("import QtQuick 2.5\nimport \"qrc:/QML/qml/tavri/controls\"\nStyleManager { }\n");
    skin.close();

    app()->toggleStyle();
    QCOMPARE(app()->getCurrentStyleName(), QStringLiteral("Unstyled"));
    app()->toggleStyle();
    QCOMPARE(app()->getCurrentStyleName(), QStringLiteral("Default"));
    // Toggling leaves the stored skin; a refused name changes nothing.
    QCOMPARE(StorageManager::getInstance()->getSettingsValue(QStringLiteral("settingsSkin")).toString(),
             QStringLiteral("NoSuchSkin"));
    app()->setStyle(QStringLiteral("NoSuchSkin"));
    QCOMPARE(app()->getCurrentStyleName(), QStringLiteral("Default"));
    app()->setStyle(QStringLiteral("Default"));
    QCOMPARE(StorageManager::getInstance()->getSettingsValue(QStringLiteral("settingsSkin")).toString(),
             QStringLiteral("Default"));
}

void TestQmlInterface::unknownRealmsAndUsersOnlyLog_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("expected");
    QTest::newRow("join in unknown realm") << "join"
                                           << "identity realm not available...";
    QTest::newRow("join unknown address") << "joinUri"
                                          << "no conversation found...";
    QTest::newRow("conversation in unknown realm") << "conversation"
                                                   << "no realm or user";
    QTest::newRow("conversation without user") << "conversationUri"
                                               << "no user";
    QTest::newRow("profile in unknown realm") << "profile"
                                              << "no realm or user";
    QTest::newRow("profile without address") << "profileUri"
                                             << "no user";
}

void TestQmlInterface::unknownRealmsAndUsersOnlyLog()
{
    QFETCH(QString, call);
    QFETCH(QString, expected);
    LogCapture capture;
    if (call == QLatin1String("join"))
        app()->requestJoinConversation(QStringLiteral("NoSuchRealm"), QStringLiteral("c1"));
    else if (call == QLatin1String("joinUri"))
        app()->requestJoinConversation(QString());
    else if (call == QLatin1String("conversation"))
        app()->requestConversation(QStringLiteral("NoSuchRealm"), QStringLiteral("u1"));
    else if (call == QLatin1String("conversationUri"))
        app()->requestConversation(QString());
    else if (call == QLatin1String("profile"))
        app()->showRealmUserProfile(QStringLiteral("NoSuchRealm"), QStringLiteral("u1"));
    else if (call == QLatin1String("profileUri"))
        app()->showUserProfileByURI(QString());
    QVERIFY2(!capture.matching(expected).isEmpty(), qPrintable(capture.text()));
}

void TestQmlInterface::loginStartsWatchdog()
{
    QCOMPARE(app()->loginWatchdogTimer(), 0);
    app()->requestLogin(QStringLiteral("someone@example.org"), QStringLiteral("secret"));
    const int first = app()->loginWatchdogTimer();
    QVERIFY(first != 0);
    // A second request replaces the running watchdog.
    app()->requestLogin(QStringLiteral("someone@example.org"), QStringLiteral("secret"));
    QVERIFY(app()->loginWatchdogTimer() != 0);
    app()->requestLogout();
}

void TestQmlInterface::writableProperties()
{
    QSignalSpy pageChanged(app(), &TavriApplication::pageIdChanged);
    QVERIFY(app()->setProperty("pageId", 3));
    QVERIFY(app()->setProperty("pageId", 3));
    QCOMPARE(pageChanged.count(), 1);
    QCOMPARE(app()->pageId(), 3);

    const bool agc = app()->property("advancedAgc").toBool();
    QVERIFY(app()->setProperty("advancedAgc", !agc));
    QCOMPARE(StorageManager::getUseAdvancedAgc(), !agc);
    QVERIFY(app()->setProperty("advancedAgc", agc));
}

TAVRI_SHELL_TEST_MAIN(TestQmlInterface, "Ostrel:tavri-qmlinterface")

#include "tst_qmlinterface.moc"
