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
        Rectangle {
            anchors.fill: parent
            anchors.margins: 3
            visible: control.checked
            color: styleManager.checkboxCheckColor
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
