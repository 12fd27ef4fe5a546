// The settings window: a navigation column and the four pages (general,
// audio, profile, sounds). The page follows the application's page id.
//
// Context properties read: mainApp (TavriApplication: pageId,
// languageUpdatedString), mainViewer (the key-capture view: hide(),
// showMinimized()), self (the same view), styleManager, and what the pages
// read (storageManager, localUser, voiceManager, renderDevices,
// captureDevices, filePicker).
//
// The root's startCapture and stopCapture switch the view's key capture;
// the audio page emits them around a push-to-talk capture. Pages are only
// hidden when another one shows, so each keeps its state.
import QtQuick 2.15
import QtQuick.Layouts 1.3
import "../controls"

DTitledWindowBasic {
    id: root
    objectName: "settingsWindow"

    readonly property string lang: mainApp.languageUpdatedString
    // 0 general (and any unknown id), 1 audio, 2 profile, 3 sounds.
    readonly property int page: mainApp.pageId >= 0 && mainApp.pageId <= 3 ? mainApp.pageId : 0
    readonly property var pageTitles: [qsTr("General Settings"), qsTr("Audio Settings"), qsTr("Edit Profile"),
                                       qsTr("Sounds")]
    readonly property var navigationLabels: [qsTr("GENERAL"), qsTr("AUDIO"), qsTr("PROFILE"), qsTr("SOUNDS")]

    // Set once the sounds page was asked for; it stays built afterwards.
    property bool soundsShown: page === 3

    signal startCapture()
    signal stopCapture()

    function showPage(index) {
        mainApp.pageId = index
    }

    width: 880
    height: 540
    minimumWidth: 800
    minimumHeight: 520
    closeToolTip: ""
    title: root.lang + root.pageTitles[root.page]

    onPageChanged: {
        if (root.page === 3)
            root.soundsShown = true
    }

    ImageButton {
        objectName: "minimizeButton"
        parent: root.titleButtonRow
        width: 12
        height: 12
        normalImage: styleManager.windowMinimizeButton
        hoverImage: styleManager.windowMinimizeButtonHovered
        pressedImage: styleManager.windowMinimizeButtonPressed
        onClicked: {
            if (root.view)
                root.view.showMinimized()
        }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        ColumnLayout {
            Layout.preferredWidth: 160
            Layout.fillHeight: true
            Layout.margins: 10
            spacing: 6
            Repeater {
                model: root.navigationLabels
                DLabel {
                    objectName: "navigation" + index
                    bold: root.page === index || navigationArea.containsMouse
                    text: root.lang + modelData
                    MouseArea {
                        id: navigationArea
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: root.showPage(index)
                    }
                }
            }
            Item { Layout.fillHeight: true }
            Image {
                Layout.preferredHeight: 180
                Layout.maximumWidth: 140
                sourceSize.height: 180
                fillMode: Image.PreserveAspectFit
                source: styleManager.mainFrameTopLeftLogo
            }
        }
        Rectangle {
            Layout.preferredWidth: 1
            Layout.fillHeight: true
            color: styleManager.windowBorderColor
        }
        Item {
            id: pages
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true

            SettingsGeneralWindow {
                objectName: "generalPage"
                anchors.fill: parent
                visible: root.page === 0
            }
            SettingsAudioWindow {
                objectName: "audioPage"
                anchors.fill: parent
                visible: root.page === 1
                onStartCapture: root.startCapture()
                onStopCapture: root.stopCapture()
            }
            SettingsProfilePage {
                objectName: "profilePage"
                anchors.fill: parent
                visible: root.page === 2
            }
            // The sounds page is built the first time it shows.
            Loader {
                id: soundsPage
                objectName: "soundsPage"
                anchors.fill: parent
                visible: root.page === 3
                active: root.soundsShown
                source: "SettingsTTSWindow.qml"
            }
        }
    }
}
