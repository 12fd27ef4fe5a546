import QtQuick 2.5

// A titled pane: a header in the pane colours with the title, an unread
// count, and optional expand and close buttons, over the pane's content.
// The close button emits closeClicked; the expand button toggles
// `expanded`.
Rectangle {
    id: pane
    property string title: ""
    property int unreadCount: 0
    property bool expanded: true
    property bool showClose: false
    property bool showExpand: true
    property int headerHeight: 24
    default property alias content: body.data
    signal closeClicked()
    signal headerClicked(var mouse)

    color: "transparent"
    border.color: styleManager.paneBorderColor
    implicitWidth: 300
    implicitHeight: headerHeight + (expanded ? body.childrenRect.height : 0)

    Rectangle {
        id: header
        objectName: "paneHeader"
        width: parent.width
        height: pane.headerHeight
        color: styleManager.paneHeaderColor
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.LeftButton | Qt.RightButton
            onClicked: pane.headerClicked(mouse)
        }
        ImageButton {
            id: expandButton
            anchors.left: parent.left
            anchors.leftMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            visible: pane.showExpand
            width: visible ? 12 : 0
            height: 12
            normalImage: pane.expanded ? styleManager.paneCollapseIcon : styleManager.paneExpandIcon
            onClicked: pane.expanded = !pane.expanded
        }
        DLabel {
            anchors.left: expandButton.right
            anchors.leftMargin: 6
            anchors.right: countBadge.left
            anchors.verticalCenter: parent.verticalCenter
            text: pane.title
            color: styleManager.paneHeaderTextColor
            bold: true
        }
        UnreadCountBadge {
            id: countBadge
            anchors.right: closeButton.left
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            count: pane.unreadCount
        }
        ImageButton {
            id: closeButton
            anchors.right: parent.right
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            visible: pane.showClose
            width: visible ? 12 : 0
            height: 12
            normalImage: styleManager.paneCloseIcon
            hoverImage: styleManager.paneCloseIconHovered
            onClicked: pane.closeClicked()
        }
    }
    Item {
        id: body
        y: header.height
        width: parent.width
        height: pane.height - header.height
        visible: pane.expanded
    }
}
