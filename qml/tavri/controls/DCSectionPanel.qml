import QtQuick 2.5

// A section of a pane: a 32-pixel title strip (the style's section title
// picture, the title indented 10, an unread count and an expand caret) over
// the section's content. A click on the title emits titleClicked; the caret
// toggles `expanded`, which shows or hides the content.
Rectangle {
    id: section
    property string title: ""
    property int unreadCount: 0
    property bool expanded: true
    property bool showExpand: false
    property int titleHeight: 32
    default property alias content: body.data
    readonly property alias titleItem: titleStrip
    signal titleClicked(var mouse)

    color: "transparent"
    implicitWidth: 300
    implicitHeight: titleHeight + (expanded ? body.childrenRect.height : 0)

    Item {
        id: titleStrip
        objectName: "sectionTitle"
        width: parent.width
        height: section.titleHeight
        Image {
            anchors.fill: parent
            source: styleManager.sectionTitleBackground
            fillMode: Image.Stretch
        }
        DLabel {
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.right: countBadge.left
            anchors.verticalCenter: parent.verticalCenter
            text: section.title
            color: styleManager.sectionTitleTextColor
            fontSize: styleManager.sectionTitleFontSize
            bold: true
        }
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.LeftButton | Qt.RightButton
            onClicked: section.titleClicked(mouse)
        }
        UnreadCountBadge {
            id: countBadge
            anchors.right: caret.left
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            count: section.unreadCount
        }
        ImageButton {
            id: caret
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            visible: section.showExpand
            width: visible ? 12 : 0
            height: 12
            normalImage: section.expanded ? styleManager.paneCollapseIcon : styleManager.paneExpandIcon
            onClicked: section.expanded = !section.expanded
        }
    }
    Item {
        id: body
        y: section.titleHeight
        width: parent.width
        height: section.height - section.titleHeight
        visible: section.expanded
    }
}
