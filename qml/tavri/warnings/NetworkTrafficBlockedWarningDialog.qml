// Tells the user that the network seems to block voice data and which
// ports must be open.
//
// Context properties read: mainApp (TavriApplication), voiceManager
// (VoiceManager), styleManager (the style object) and mainViewer (this
// window's QQuickView).
import QtQuick 2.15
import QtQuick.Controls 1.4
import "../controls"
import "../components"

WarningDialog {
    id: root

    // The forum page on the ports the program needs; the download server
    // does not change while the program runs.
    property string portsPage: ""

    width: 320
    height: 240
    minimumWidth: 320
    minimumHeight: 240
    title: mainApp.languageUpdatedString + qsTr("Alert: Voice data blocked")

    Component.onCompleted: portsPage = voiceManager.downloadServer + "/help/ports/"

    Text {
        id: message
        objectName: "message"
        width: root.contentColumn.width
        wrapMode: Text.Wrap
        textFormat: Text.RichText
        color: styleManager.alertColor
        font.family: styleManager.regularFont
        font.pointSize: styleManager.baseFontSize
        text: mainApp.languageUpdatedString
              + qsTr("Network configuration appears to be blocking voice data.  Please check your router settings and confirm that these ports are allowed:")
              + "<ul>"
              + "<li>" + qsTr("UDP on ports 3478, 3479") + "</li>"
              + "<li>" + qsTr("UDP on ports 5060-5062") + "</li>"
              + "<li>" + qsTr("UDP on port 6250") + "</li>"
              + "<li>" + qsTr("UDP on ports 12000-32000") + "</li>"
              + "</ul>"
              + qsTr("For more about the ports the program needs, see %1.")
                .arg("<a style=\"color:" + styleManager.linkBaseColor + "\" href=\"" + root.portsPage + "\">"
                     + qsTr("this forum sticky") + "</a>")
        onLinkActivated: {
            mainApp.trackEvent("WarningNoVoiceData", "LinkClicked", ["u:" + link])
            Qt.openUrlExternally(link)
        }
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.NoButton
            cursorShape: parent.hoveredLink !== "" ? Qt.PointingHandCursor : Qt.ArrowCursor
        }
    }
}
