import QtQuick 2.5

// A label that raises its context menu (or emits clicked) on a click with
// either button.
DLabelSquare {
    id: label
    property var contextMenu: null
    signal clicked(var mouse)

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        cursorShape: Qt.PointingHandCursor
        onClicked: {
            label.clicked(mouse)
            if (label.contextMenu)
                label.contextMenu.popup()
        }
    }
}
