import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// The look of DCheckBox: a square box with a check mark and the label in
// the state group's text colour.
CheckBoxStyle {
    id: checkStyle
    property var activeStyle: !control.enabled ? styleManager.disabledStyle
                            : control.pressed ? styleManager.pressedStyle
                            : control.hovered ? styleManager.hoveredStyle
                            : styleManager.enabledStyle
    spacing: 6
    indicator: Rectangle {
        implicitWidth: 14
        implicitHeight: 14
        color: !control.enabled ? styleManager.checkboxDisabledColor
             : control.hovered ? styleManager.checkboxHoveredColor : styleManager.checkboxEnabledColor
        border.color: control.activeFocus ? checkStyle.activeStyle.controlFocusBorderColor
                                          : styleManager.checkboxBorderColor
        border.width: 1
        // A tick, not a filled square: a square mark in the check colour
        // reads as a hole in the box on a background of that colour.
        Canvas {
            objectName: "checkMark"
            anchors.fill: parent
            anchors.margins: 2
            visible: control.checked
            property color mark: styleManager.checkboxCheckColor
            onMarkChanged: requestPaint()
            onWidthChanged: requestPaint()
            onHeightChanged: requestPaint()
            onPaint: {
                var context = getContext("2d")
                context.reset()
                context.strokeStyle = mark
                context.lineWidth = 2.5
                context.lineCap = "round"
                context.lineJoin = "round"
                context.beginPath()
                context.moveTo(width * 0.12, height * 0.52)
                context.lineTo(width * 0.4, height * 0.82)
                context.lineTo(width * 0.9, height * 0.16)
                context.stroke()
            }
        }
    }
    label: Text {
        text: control.text
        color: checkStyle.activeStyle.controlTextColor
        font.family: checkStyle.activeStyle.controlFontFamily
        font.pointSize: control.fontSize > 0 ? control.fontSize : checkStyle.activeStyle.controlFontSize
        elide: Text.ElideRight
    }
}
