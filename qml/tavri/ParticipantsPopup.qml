// The pop-up of a channel's participants beside the channel list: a tool-tip
// window listing who is in the channel. It hides itself when the pointer
// leaves it.
// Context properties: styleManager.
import QtQuick 2.15
import QtQuick.Window 2.15
import "controls"
import "components"

Window {
    id: root

    property var model: null
    readonly property int rows: model && model.count !== undefined ? model.count : 0
    readonly property bool containsPointer: hoverArea.containsMouse

    signal pointerLeft()

    title: "Participants"
    flags: Qt.platform.os === "osx" ? (Qt.ToolTip | Qt.FramelessWindowHint) : Qt.ToolTip
    width: 200
    height: Math.max(rows * 25 + titleBar.height + 4, 2)
    color: styleManager.windowBorderColor

    Rectangle {
        anchors.fill: parent
        color: styleManager.panelGradient0
        border.width: 2
        border.color: styleManager.windowBorderColor

        MouseArea {
            id: hoverArea
            anchors.fill: parent
            hoverEnabled: true
            acceptedButtons: Qt.NoButton
            onContainsMouseChanged: {
                if (!containsMouse) {
                    root.hide()
                    root.pointerLeft()
                }
            }
        }
        DLabel {
            id: titleBar
            x: 2
            y: 2
            width: parent.width - 4
            height: root.rows > 0 ? 25 : 0
            visible: root.rows > 0
            leftPadding: 6
            verticalAlignment: Text.AlignVCenter
            text: mainApp.languageUpdatedString + qsTr("Users in channel")
            color: styleManager.windowTitleTextColor
        }
        Column {
            anchors.top: titleBar.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.margins: 2
            Repeater {
                model: root.model
                delegate: ConversationParticipantDelegate {
                    width: parent.width
                    showMenuIcon: false
                }
            }
        }
    }
}
