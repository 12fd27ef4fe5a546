import QtQuick 2.5
import QtQuick.Controls 1.4

// A text label in the style's base font and control text colour.
Label {
    property string toolTip: ""
    property real fontSize: styleManager.baseFontSize
    property bool bold: false
    color: styleManager.enabledStyle.controlTextColor
    font.family: styleManager.condensedFont
    font.pointSize: fontSize
    font.bold: bold
    elide: Text.ElideRight
    DToolTip {
        text: parent.toolTip
    }
}
