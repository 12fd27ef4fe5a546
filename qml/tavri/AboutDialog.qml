// The About dialog: version, the update button and the legal lines.
//
// Context properties read: mainApp (TavriApplication), voiceManager
// (VoiceManager), styleManager (the style object), mainViewer and self (this
// window's QQuickView).
import QtQuick 2.15
import QtQuick.Controls 1.4
import "controls"

DTitledWindowBasic {
    id: root

    // Set by mainApp's noUpdateAvailable, cleared 15 s later.
    property bool noUpdateShown: false
    readonly property bool updateKnown: mainApp.availableUpdateMessage !== "" || mainApp.availableUpdateVersion !== ""

    width: 600
    height: 410
    title: mainApp.languageUpdatedString + qsTr("About Tavri")

    Connections {
        target: mainApp
        function onNoUpdateAvailable() {
            root.noUpdateShown = true
            if (!root.updateKnown)
                noUpdateTimer.restart()
        }
    }

    Timer {
        id: noUpdateTimer
        objectName: "noUpdateTimer"
        interval: 15000
        repeat: false
        onTriggered: root.noUpdateShown = false
    }

    Rectangle {
        anchors.fill: parent
        color: styleManager.panelGradient1

        Column {
            anchors.centerIn: parent
            width: parent.width - 40
            spacing: 8

            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 106
                height: 106
                fillMode: Image.PreserveAspectFit
                source: "qrc:/textures/Splash.png"
            }

            DLabel {
                anchors.horizontalCenter: parent.horizontalCenter
                text: mainApp.languageUpdatedString + qsTr("Version %1").arg(mainApp.applicationVersion)
            }

            DButton {
                id: updateButton
                objectName: "updateButton"
                anchors.horizontalCenter: parent.horizontalCenter
                width: 180
                state: root.updateKnown ? "UpdateAvailable" : (root.noUpdateShown ? "NoUpdateAvailable" : "")
                text: mainApp.languageUpdatedString + qsTr("Check for updates")
                toolTip: mainApp.languageUpdatedString + qsTr("Click here to check for application updates")
                onStateChanged: if (state === "UpdateAvailable") noUpdateTimer.stop()
                onClicked: {
                    if (state === "UpdateAvailable") {
                        var link = mainApp.availableUpdateLink
                        mainApp.trackEvent("AboutDialog", "UpdateClick", ["link:" + link])
                        Qt.openUrlExternally(link)
                    } else {
                        mainApp.trackEvent("AboutDialog", "CheckForUpdateClick", [])
                        mainApp.checkForUpdates()
                    }
                }
                states: [
                    State {
                        name: "UpdateAvailable"
                        PropertyChanges {
                            target: updateButton
                            text: mainApp.languageUpdatedString + qsTr("Update now")
                            toolTip: mainApp.languageUpdatedString + qsTr("Click here to download the update")
                        }
                    },
                    State {
                        name: "NoUpdateAvailable"
                        PropertyChanges {
                            target: updateButton
                            text: mainApp.languageUpdatedString + qsTr("No update available")
                            toolTip: mainApp.languageUpdatedString + qsTr("No update found, click to check again.")
                        }
                    }
                ]
            }

            Item {
                width: 1
                height: 6
            }

            Repeater {
                model: [
                    qsTr("Copyright %1 the Tavri developers. All rights reserved.").arg(new Date().getFullYear()),
                    qsTr("This program is made available under its licence terms."),
                    qsTr("No patent rights are granted by this notice."),
                    qsTr("Tavri and its logo are names of this program; all other names belong to their owners.")
                ]
                DLabel {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.WordWrap
                    fontSize: styleManager.tinyFontSize
                    text: mainApp.languageUpdatedString + modelData
                }
            }

            DLink {
                objectName: "helpFeedbackLink"
                anchors.horizontalCenter: parent.horizontalCenter
                text: mainApp.languageUpdatedString + qsTr("Help / Feedback")
                onClicked: {
                    mainApp.trackEvent("AboutDialog", "HelpFeedbackClick", [])
                    // The help pages live on the download server.
                    Qt.openUrlExternally(voiceManager.downloadServer + "/help/")
                }
            }
        }
    }
}
