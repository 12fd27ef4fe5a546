import QtQuick 2.5

// The style's highlight behind a list row under the pointer: its left piece
// (aspect kept) and its right piece stretched over the rest of the row.
Item {
    anchors.fill: parent
    Image {
        anchors.left: parent.left
        height: parent.height
        fillMode: Image.PreserveAspectFit
        source: styleManager.mainFrameItemSelectHoverlayLeft
    }
    Image {
        anchors.fill: parent
        anchors.leftMargin: 20
        source: styleManager.mainFrameItemSelectHoverlayRight
    }
}
