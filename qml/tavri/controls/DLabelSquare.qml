import QtQuick 2.5
import QtQuick.Controls 1.4

// A label in the style's regular (square) font; with `copyable` a right
// click offers to copy its text.
Label {
    id: label
    property string toolTip: ""
    property real fontSize: styleManager.squareTextSize
    property bool bold: false
    property bool copyable: false
    color: styleManager.enabledStyle.controlTextColor
    font.family: styleManager.regularFont
    font.pointSize: fontSize
    font.bold: bold
    elide: Text.ElideRight

    function copyText() {
        copyHelper.text = label.text
        copyHelper.selectAll()
        copyHelper.copy()
        copyHelper.text = ""
    }

    TextEdit {
        id: copyHelper
        visible: false
    }
    MouseArea {
        anchors.fill: parent
        enabled: label.copyable
        acceptedButtons: Qt.RightButton
        onClicked: copyMenu.popup()
    }
    DMenu {
        id: copyMenu
        DMenuItem {
            text: qsTr("Copy")
            onTriggered: label.copyText()
        }
    }
    DToolTip {
        text: label.toolTip
    }
}
