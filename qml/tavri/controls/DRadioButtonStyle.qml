import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// The look of DRadioButton: a round indicator in the check box colours.
RadioButtonStyle {
    id: radioStyle
    property var activeStyle: !control.enabled ? styleManager.disabledStyle
                            : control.hovered ? styleManager.hoveredStyle : styleManager.enabledStyle
    spacing: 6
    indicator: Rectangle {
        implicitWidth: 14
        implicitHeight: 14
        radius: 7
        color: control.hovered ? styleManager.checkboxHoveredColor : styleManager.checkboxEnabledColor
        border.color: styleManager.checkboxBorderColor
        Rectangle {
            anchors.centerIn: parent
            width: 6
            height: 6
            radius: 3
            visible: control.checked
            color: styleManager.checkboxCheckColor
        }
    }
    label: Text {
        text: control.text
        color: radioStyle.activeStyle.controlTextColor
        font.family: radioStyle.activeStyle.controlFontFamily
        font.pointSize: radioStyle.activeStyle.controlFontSize
    }
}
