// The style's highlight behind a hovered row of a main-frame list: a left
// cap with its aspect kept and a stretched body.
// Context properties: styleManager.
import QtQuick 2.15

Item {
    id: root

    Image {
        id: left
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        fillMode: Image.PreserveAspectFit
        source: styleManager.mainFrameItemSelectHoverlayLeft
    }
    Image {
        anchors.left: left.right
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        fillMode: Image.Stretch
        source: styleManager.mainFrameItemSelectHoverlayRight
    }
}
