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
    height: 138
    color: styleManager.windowBorderColor
    // Opens over the middle of the window it belongs to (the main frame),
    // else of the screen.
    function placeCentred() {
        var owner = root.transientParent
        if (owner && owner.visible) {
            x = owner.x + Math.round((owner.width - width) / 2)
            y = owner.y + Math.round((owner.height - height) / 2)
        } else {
            x = Screen.virtualX + Math.round((Screen.width - width) / 2)
            y = Screen.virtualY + Math.round((Screen.height - height) / 2)
        }
    }
    onVisibleChanged: {
        if (visible) {
            placeCentred()
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

        // The program's title bar: the product word, the title, the close
        // button; dragging it moves the window.
        Rectangle {
            id: titleBar
            objectName: "titleBar"
            anchors.left: parent.left
            anchors.right: parent.right
            height: 40
            gradient: Gradient {
                GradientStop { position: 0; color: styleManager.windowTitleGradient0 }
                GradientStop { position: 1; color: styleManager.windowTitleGradient1 }
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
            Row {
                anchors.left: parent.left
                anchors.leftMargin: 10
                anchors.right: closeButton.left
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                spacing: 8
                Text {
                    text: "TAVRI"
                    anchors.verticalCenter: parent.verticalCenter
                    color: styleManager.menuItemHighlightColor
                    font.family: styleManager.windowTitleFontFamily
                    font.pointSize: styleManager.windowTitleFontSize
                    font.bold: true
                }
                Text {
                    objectName: "titleText"
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.title
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    color: styleManager.windowTitleTextColor
                    font.family: styleManager.windowTitleFontFamily
                    font.pointSize: styleManager.windowTitleFontSize
                }
            }
            ImageButton {
                id: closeButton
                objectName: "closeButton"
                anchors.right: parent.right
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                width: 12
                height: 12
                normalImage: styleManager.windowCloseButton
                hoverImage: styleManager.windowCloseButtonHovered
                toolTip: mainApp.languageUpdatedString + qsTr("Close window")
                onClicked: root.close()
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
