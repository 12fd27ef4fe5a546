// One pane of the main frame's content: a 32-pixel section title with tool
// icons at its right, and a content area with the style's optional
// background pictures. Children go into the content area; `tools` holds the
// title's icons.
// Context properties: styleManager.
import QtQuick 2.15
import "controls"

Item {
    id: root

    property string title: ""
    // The title label, for drop targets and tests.
    readonly property alias titleItem: titleBar
    readonly property alias contentArea: contentArea
    default property alias content: contentArea.data
    property alias tools: toolsRow.data

    // Either mouse button on the title.
    signal titleClicked(var mouse)

    Item {
        id: titleBar
        objectName: "paneTitle"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: 32

        Image {
            anchors.fill: parent
            source: styleManager.sectionTitleBackground
            fillMode: Image.Stretch
        }
        DLabel {
            objectName: "paneTitleLabel"
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.right: toolsRow.left
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            text: root.title
            elide: Text.ElideRight
            color: styleManager.sectionTitleTextColor
            font.pointSize: styleManager.sectionTitleFontSize
        }
        MouseArea {
            objectName: "paneTitleArea"
            anchors.fill: parent
            acceptedButtons: Qt.LeftButton | Qt.RightButton
            onClicked: root.titleClicked(mouse)
        }
        Row {
            id: toolsRow
            anchors.right: parent.right
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            spacing: 6
        }
    }

    Item {
        id: contentArea
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: titleBar.bottom
        anchors.bottom: parent.bottom

        Image {
            height: parent.height
            anchors.left: parent.left
            anchors.top: parent.top
            fillMode: Image.PreserveAspectFit
            source: styleManager.mainFrameContentBackgroundTopLeft
            opacity: styleManager.mainFrameContentBackgroundTopLeftOpacity
            visible: status === Image.Ready
        }
        Image {
            anchors.fill: parent
            source: styleManager.mainFrameContentBackgroundFill
            fillMode: styleManager.mainFrameContentBackgroundFillMode
            visible: status === Image.Ready
        }
    }
}
