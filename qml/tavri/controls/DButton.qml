import QtQuick 2.5
import QtQuick.Controls 1.4

// The styled push button: elided text, an optional font size, a pointing
// hand and a tool tip.
Button {
    id: button
    property int elide: Text.ElideRight
    property real fontSize: 0
    property bool bold: false
    property string toolTip: ""
    style: DButtonStyle {}

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        cursorShape: button.enabled ? Qt.PointingHandCursor : Qt.ArrowCursor
    }
    DToolTip {
        text: button.toolTip
    }
}
