import QtQuick 2.5
import "../controls"

// A row of the contact list: the contact's picture with a presence bubble,
// the display name and the presence message. Inside a view the values come
// from the row's model (roles displayName, presenceState, presenceMessage,
// primaryIdentityRef, sipURI); they can also be set directly. A click emits
// clicked; showContextMenu() pops up `contextMenu` (the window's friend
// menu) when one is set.
Rectangle {
    id: row
    readonly property var rowModel: typeof model !== "undefined" ? model : null
    property string displayName: rowModel && rowModel.displayName !== undefined ? rowModel.displayName : ""
    property int presenceState: rowModel && rowModel.presenceState !== undefined ? rowModel.presenceState : 0
    property string presenceMessage: rowModel && rowModel.presenceMessage !== undefined ? rowModel.presenceMessage : ""
    property var identity: rowModel && rowModel.primaryIdentityRef !== undefined ? rowModel.primaryIdentityRef : null
    property string sipURI: rowModel && rowModel.sipURI !== undefined ? rowModel.sipURI : ""
    property url profileImageURI: identity && identity.profileImageURI !== undefined ? identity.profileImageURI : ""
    property var contextMenu: null
    readonly property bool hovered: rowArea.containsMouse
    signal clicked(var mouse)
    signal avatarClicked(var mouse)

    function showContextMenu() {
        if (row.contextMenu)
            row.contextMenu.popup()
    }

    implicitWidth: 300
    implicitHeight: 46
    color: "transparent"

    RowHoverOverlay {
        visible: row.hovered
    }
    MouseArea {
        id: rowArea
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        onClicked: row.clicked(mouse)
    }
    DAvatarImage {
        id: avatar
        objectName: "contactAvatar"
        x: 8
        anchors.verticalCenter: parent.verticalCenter
        size: parent.height - 8
        source: row.profileImageURI
        name: row.displayName
        onClicked: row.avatarClicked(mouse)
    }
    BubbleIcon {
        anchors.right: avatar.right
        anchors.bottom: avatar.bottom
        anchors.margins: -2
        presenceState: row.presenceState
    }
    Column {
        anchors.left: avatar.right
        anchors.leftMargin: 10
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        spacing: 2
        DLabel {
            objectName: "contactName"
            width: parent.width
            text: row.displayName
            fontSize: styleManager.mediumFontSize
        }
        DLabelGray {
            width: parent.width
            text: row.presenceMessage
            visible: text.length > 0
        }
    }
}
