// The window that adds a contact group: a name, trimmed and at most
// `maximumNameLength` characters, and "Add" and "Cancel".
// Context properties: mainApp, tavriIdentityRealm (the built-in realm),
// styleManager.
import QtQuick 2.15
import QtQuick.Window 2.15
import "controls"

Window {
    id: root

    readonly property int maximumNameLength: 50
    readonly property string groupName: nameField.effectiveText

    function add() {
        if (groupName === "")
            return
        tavriIdentityRealm.requestCreateContactGroup(groupName)
        close()
    }

    title: mainApp.languageUpdatedString + qsTr("Add group")
    flags: Qt.Dialog | Qt.FramelessWindowHint
    modality: Qt.ApplicationModal
    width: 300
    height: 124
    color: styleManager.windowBorderColor
    onVisibleChanged: {
        if (visible) {
            nameField.text = ""
            nameField.forceActiveFocus()
        }
    }

    Rectangle {
        anchors.fill: parent
        anchors.margins: styleManager.windowBorderWidth
        gradient: Gradient {
            GradientStop { position: 0; color: styleManager.panelGradient0 }
            GradientStop { position: 1; color: styleManager.panelGradient1 }
        }
        focus: true
        Keys.onEscapePressed: root.close()

        Rectangle {
            id: titleBar
            anchors.left: parent.left
            anchors.right: parent.right
            height: 26
            gradient: Gradient {
                GradientStop { position: 0; color: styleManager.windowTitleGradient0 }
                GradientStop { position: 1; color: styleManager.windowTitleGradient1 }
            }
            DLabel {
                anchors.fill: parent
                anchors.leftMargin: 8
                verticalAlignment: Text.AlignVCenter
                text: root.title
                color: styleManager.windowTitleTextColor
                font.family: styleManager.windowTitleFontFamily
            }
            MouseArea {
                property point pressedAt
                anchors.fill: parent
                onPressed: pressedAt = Qt.point(mouse.x, mouse.y)
                onPositionChanged: {
                    root.x += mouse.x - pressedAt.x
                    root.y += mouse.y - pressedAt.y
                }
            }
        }
        Column {
            anchors.top: titleBar.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.margins: 10
            spacing: 10

            DTextField {
                id: nameField
                objectName: "groupNameField"
                width: parent.width
                maximumLength: root.maximumNameLength
                placeholderText: mainApp.languageUpdatedString + qsTr("Group name")
                onAccepted: root.add()
            }
            Row {
                anchors.right: parent.right
                spacing: 8
                DButton {
                    objectName: "addGroupConfirm"
                    isDefault: true
                    enabled: root.groupName !== ""
                    text: mainApp.languageUpdatedString + qsTr("Add")
                    onClicked: root.add()
                }
                DButton {
                    objectName: "addGroupCancel"
                    text: mainApp.languageUpdatedString + qsTr("Cancel")
                    onClicked: root.close()
                }
            }
        }
    }
}
