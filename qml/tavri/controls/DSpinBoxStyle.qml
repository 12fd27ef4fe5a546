import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// The look of DSpinBox: an input field with the input colours.
SpinBoxStyle {
    id: spinStyle
    property var activeStyle: !control.enabled ? styleManager.disabledStyle
                            : control.hovered ? styleManager.hoveredStyle : styleManager.enabledStyle
    textColor: activeStyle.inputControlTextColor
    selectionColor: styleManager.textSelectionColor
    selectedTextColor: activeStyle.inputControlSelectedTextColor
    font.family: activeStyle.controlFontFamily
    font.pointSize: activeStyle.controlFontSize
    background: Rectangle {
        implicitWidth: 60
        implicitHeight: 22
        border.width: spinStyle.activeStyle.inputControlBorderWidth
        border.color: control.activeFocus ? spinStyle.activeStyle.inputControlFocusBorderColor
                                          : spinStyle.activeStyle.inputControlBorderColor
        gradient: Gradient {
            GradientStop { position: 0.0; color: spinStyle.activeStyle.inputControlGradient0 }
            GradientStop { position: 1.0; color: spinStyle.activeStyle.inputControlGradient1 }
        }
    }
}
