// The general page of the settings window: program preferences,
// notifications, the skin and the language.
//
// Context properties read: storageManager (StorageManager, with the
// "Settings" enumeration), mainApp (TavriApplication: getAvailableStyles,
// getCurrentStyleName, setStyle, initializeLocalization,
// languageUpdatedString), mainViewer (the settings view: hide()),
// styleManager.
//
// The boxes write nothing until all of them have been set from the stored
// values, so opening the page leaves the settings store untouched.
import QtQuick 2.15
import QtQuick.Layouts 1.3
import Settings 1.0
import "../controls"

DTabbedWindowBasic {
    id: root
    objectName: "settingsGeneralWindow"

    readonly property string lang: mainApp.languageUpdatedString
    property bool loaded: false
    // The language in force when the page opened.
    property string openingLocale: ""
    property string previousStyle: ""
    property int revertSeconds: 0
    // One step of the countdown to reverting a new skin.
    property int countdownInterval: 1000

    // One row per box: the object name, the setting and its stored default.
    readonly property var booleanBoxes: [
        { box: runAtStartupBox, setting: Settings.SettingsKeyRunAtStartup, fallback: false },
        { box: showOfflineBox, setting: Settings.SettingsKeyShowOfflineFriends, fallback: true },
        { box: joinFromLinkBox, setting: Settings.SettingsKeyJoinChWithHyperlink, fallback: true },
        { box: surveyDisabledBox, setting: Settings.SettingsKeyPostCallSurveyDisabled, fallback: false },
        { box: timestampsBox, setting: Settings.SettingsKeyShowTimestampsInChat, fallback: true },
        { box: logChatBox, setting: Settings.SettingsKeyLogChat, fallback: true },
        { box: chatPopupsBox, setting: Settings.SettingsKeyPopupsChatMessage, fallback: true },
        { box: friendPopupsBox, setting: Settings.SettingsKeyPopupsFriendRequest, fallback: true },
        { box: invitePopupsBox, setting: Settings.SettingsKeyPopupsChannelInvite, fallback: true },
        { box: otherPopupsBox, setting: Settings.SettingsKeyPopupsOthers, fallback: true }
    ]

    // A stored value counts as set when it is true and not the text "false".
    function isSet(value) {
        return !!value && String(value) !== "false"
    }

    function loadBox(entry) {
        entry.box.checked = isSet(storageManager.getSettingsValue(entry.setting, entry.fallback))
    }

    function load() {
        root.loaded = false
        for (var i = 0; i < booleanBoxes.length; ++i)
            loadBox(booleanBoxes[i])
        autoLoginBox.checked = isSet(storageManager.getSettingsValueForMachine(Settings.SettingsMachineKeyAutoLogin, true))
        customNamesBox.checked = storageManager.showCustomNames === true
        idleBox.checked = Number(storageManager.getSettingsValue(Settings.SettingsDisableChannelIdleTimeout, 0)) === 0
        root.loaded = true
    }

    function store(box) {
        if (!root.loaded)
            return
        for (var i = 0; i < booleanBoxes.length; ++i) {
            if (booleanBoxes[i].box === box) {
                storageManager.setSettingsValue(booleanBoxes[i].setting, box.checked)
                return
            }
        }
    }

    function reset() {
        runAtStartupBox.checked = false
        autoLoginBox.checked = true
        showOfflineBox.checked = true
        customNamesBox.checked = false
        joinFromLinkBox.checked = true
        chatPopupsBox.checked = true
        friendPopupsBox.checked = true
        invitePopupsBox.checked = true
        otherPopupsBox.checked = true
        logChatBox.checked = true
        surveyDisabledBox.checked = false
        timestampsBox.checked = true
        idleBox.checked = true
    }

    function loadStyles() {
        styleChooser.loading = true
        var styles = mainApp.getAvailableStyles()
        styleChooser.model = styles
        styleChooser.index = Math.max(0, styles.indexOf(mainApp.getCurrentStyleName()))
        styleChooser.loading = false
    }

    function chooseStyle(name) {
        if (name === mainApp.getCurrentStyleName())
            return
        root.previousStyle = mainApp.getCurrentStyleName()
        mainApp.setStyle(name)
        root.revertSeconds = 15
        revertTimer.restart()
    }

    function keepStyle() {
        revertTimer.stop()
        root.revertSeconds = 0
    }

    function revertStyle() {
        revertTimer.stop()
        root.revertSeconds = 0
        mainApp.setStyle(root.previousStyle)
        root.loadStyles()
    }

    implicitWidth: 600
    implicitHeight: 405

    Component.onCompleted: {
        root.load()
        root.loadStyles()
        root.openingLocale = String(storageManager.getSettingsValueForMachine(Settings.SettingsKeyLocale, "en"))
        var locale = root.openingLocale
        languageChooser.index = Math.max(0, languageChooser.locales.indexOf(locale))
        languageChooser.loaded = true
    }

    Connections {
        target: storageManager
        function onSettingsInitialized() {
            root.load()
        }
        function onSettingKeyChanged(key, value) {
            var followed = [Settings.SettingsKeyShowOfflineFriends, Settings.SettingsKeyPostCallSurveyDisabled,
                            Settings.SettingsKeyShowTimestampsInChat]
            if (followed.indexOf(key) < 0)
                return
            for (var i = 0; i < root.booleanBoxes.length; ++i) {
                if (root.booleanBoxes[i].setting === key) {
                    var box = root.booleanBoxes[i].box
                    if (box.checked !== root.isSet(value))
                        box.checked = root.isSet(value)
                }
            }
        }
    }

    Timer {
        id: revertTimer
        objectName: "revertTimer"
        interval: root.countdownInterval
        repeat: true
        onTriggered: {
            root.revertSeconds = root.revertSeconds - 1
            if (root.revertSeconds <= 0)
                root.revertStyle()
        }
    }

    component SettingBox: DCheckBox {
        id: settingBox
        Layout.preferredHeight: 20
        onCheckedChanged: root.store(settingBox)
    }

    RowLayout {
        anchors.fill: parent
        anchors.margins: 20
        anchors.bottomMargin: 44
        spacing: 20

        ColumnLayout {
            Layout.preferredWidth: 240
            Layout.alignment: Qt.AlignTop
            spacing: 10
            DLabel { bold: true; text: root.lang + qsTr("Tavri PREFERENCES") }
            ColumnLayout {
                spacing: 2
                SettingBox { id: runAtStartupBox; objectName: "runAtStartupBox"; text: root.lang + qsTr("Run at startup") }
                DCheckBox {
                    id: autoLoginBox
                    objectName: "autoLoginBox"
                    Layout.preferredHeight: 20
                    text: root.lang + qsTr("Login automatically")
                    onCheckedChanged: {
                        if (root.loaded)
                            storageManager.setSettingsValueForMachine(Settings.SettingsMachineKeyAutoLogin, checked)
                    }
                }
                SettingBox { id: showOfflineBox; objectName: "showOfflineBox"; text: root.lang + qsTr("Show offline friends") }
                DCheckBox {
                    id: customNamesBox
                    objectName: "customNamesBox"
                    Layout.preferredHeight: 20
                    text: root.lang + qsTr("Show custom names")
                    onCheckedChanged: {
                        if (root.loaded)
                            storageManager.showCustomNames = checked
                    }
                }
                SettingBox { id: joinFromLinkBox; objectName: "joinFromLinkBox"; text: root.lang + qsTr("Join channel from hyperlink") }
                SettingBox { id: surveyDisabledBox; objectName: "surveyDisabledBox"; text: root.lang + qsTr("Disable post-call survey") }
                SettingBox { id: timestampsBox; objectName: "timestampsBox"; text: root.lang + qsTr("Show timestamps in chat") }
                DCheckBox {
                    id: idleBox
                    objectName: "idleBox"
                    Layout.preferredHeight: 20
                    text: root.lang + qsTr("Disconnect from idle channels")
                    toolTip: root.lang + qsTr("When enabled, you will be prompted to disconnect from channels when you are the only participant for several minutes.  You may opt out of disconnecting at that time.  Disabling this option disables the prompt, leaving you in channel until forced or requested to disconnect.")
                    onCheckedChanged: {
                        if (root.loaded)
                            storageManager.setSettingsValue(Settings.SettingsDisableChannelIdleTimeout, checked ? 0 : 1)
                    }
                }
                DCheckBox {
                    id: tutorialBox
                    objectName: "tutorialBox"
                    Layout.preferredHeight: 20
                    text: root.lang + qsTr("Show tutorial on startup")
                    toolTip: root.lang + qsTr("When enabled, you may see areas of the interface highlighted, which may show hints on use when clicked.")
                    checked: storageManager.showHints === true
                    onClicked: storageManager.showHints = checked
                }
                SettingBox { id: logChatBox; objectName: "logChatBox"; text: root.lang + qsTr("Log chat messages") }
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            spacing: 10
            DLabel { bold: true; text: root.lang + qsTr("NOTIFICATIONS") }
            ColumnLayout {
                spacing: 2
                SettingBox { id: chatPopupsBox; objectName: "chatPopupsBox"; text: root.lang + qsTr("Show chat message notifications") }
                SettingBox { id: friendPopupsBox; objectName: "friendPopupsBox"; text: root.lang + qsTr("Show friend request notifications") }
                SettingBox { id: invitePopupsBox; objectName: "invitePopupsBox"; text: root.lang + qsTr("Show channel invite notifications") }
                SettingBox { id: otherPopupsBox; objectName: "otherPopupsBox"; text: root.lang + qsTr("Show other notifications") }
            }
            Item { Layout.preferredHeight: 10 }
            DLabel { bold: true; text: root.lang + qsTr("SKIN") }
            RowLayout {
                spacing: 10
                DComboBoxNew {
                    id: styleChooser
                    objectName: "styleChooser"
                    property bool loading: false
                    Layout.preferredWidth: 145
                    Layout.preferredHeight: 20
                    onActivated: {
                        if (!loading && model && index >= 0 && index < model.length)
                            root.chooseStyle(model[index])
                    }
                }
                DButton {
                    objectName: "refreshStylesButton"
                    Layout.preferredHeight: 20
                    text: root.lang + qsTr("Refresh")
                    onClicked: root.loadStyles()
                }
            }
            Item { Layout.preferredHeight: 10 }
            DLabel { bold: true; text: root.lang + qsTr("LANGUAGE") }
            DComboBoxNew {
                id: languageChooser
                objectName: "languageChooser"
                property bool loaded: false
                // The names offered and their locale values, in the same order.
                readonly property var locales: ["en", "es", "ru"]
                readonly property string chosenLocale: index >= 0 && index < locales.length ? locales[index] : ""
                Layout.preferredWidth: 145
                Layout.preferredHeight: 20
                model: [
                    qsTr("English"),
                    // Spanish is named in Spanish.
                    "Espa\u00f1ol",
                    qsTr("Russian")
                ]
                onActivated: {
                    // The chosen row, read here: the binding of chosenLocale
                    // may not have followed the index yet.
                    var locale = locales[index]
                    if (!loaded || locale === undefined)
                        return
                    storageManager.setSettingsValueForMachine(Settings.SettingsKeyLocale, locale)
                    mainApp.initializeLocalization(locale)
                }
            }
            DLabel {
                objectName: "restartNote"
                visible: languageChooser.loaded && languageChooser.chosenLocale !== root.openingLocale
                fontSize: styleManager.smallFontSize
                text: root.lang + qsTr("Change takes effect after application restarts")
            }
        }
    }

    Row {
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.rightMargin: 5
        anchors.bottomMargin: 17
        spacing: 13
        DButton {
            objectName: "resetButton"
            height: 20
            isDefault: true
            text: root.lang + qsTr("Reset")
            onClicked: root.reset()
        }
        DButton {
            objectName: "doneButton"
            height: 20
            isDefault: true
            text: root.lang + qsTr("Done")
            onClicked: {
                if (typeof mainViewer !== "undefined" && mainViewer)
                    mainViewer.hide()
            }
        }
    }

    // Offered after a new skin: keep it, or go back to the one before.
    Rectangle {
        objectName: "styleOverlay"
        anchors.fill: parent
        visible: root.revertSeconds > 0
        z: 100
        color: Qt.rgba(0, 0, 0, 0.8)
        border.color: "white"
        border.width: 2
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
        }
        Column {
            anchors.centerIn: parent
            spacing: 12
            DLabel {
                anchors.horizontalCenter: parent.horizontalCenter
                color: "white"
                text: root.lang + qsTr("Theme changed - please click OK to accept, or Cancel or wait to revert.")
            }
            DLabel {
                objectName: "revertCountdown"
                anchors.horizontalCenter: parent.horizontalCenter
                color: "white"
                text: root.lang + qsTr("%1 seconds remaining...").arg(root.revertSeconds)
            }
            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 13
                DButton {
                    objectName: "keepStyleButton"
                    text: root.lang + qsTr("OK")
                    onClicked: root.keepStyle()
                }
                DButton {
                    objectName: "revertStyleButton"
                    text: root.lang + qsTr("Cancel")
                    onClicked: root.revertStyle()
                }
            }
        }
    }
}
