import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// The look of DTextField: the input colours of the state in force.
TextFieldStyle {
    id: fieldStyle
    property var activeStyle: !control.enabled ? styleManager.disabledStyle
                            : control.hovered ? styleManager.hoveredStyle : styleManager.enabledStyle
    textColor: activeStyle.inputControlTextColor
    selectionColor: styleManager.textSelectionColor
    selectedTextColor: activeStyle.inputControlSelectedTextColor
    placeholderTextColor: styleManager.labelGrayTextColor
    font.family: styleManager.regularFont
    font.pointSize: activeStyle.controlFontSize
    background: Rectangle {
        implicitWidth: 160
        implicitHeight: 22
        border.width: fieldStyle.activeStyle.inputControlBorderWidth
        border.color: control.activeFocus ? fieldStyle.activeStyle.inputControlFocusBorderColor
                                          : fieldStyle.activeStyle.inputControlBorderColor
        gradient: Gradient {
            GradientStop { position: 0.0; color: fieldStyle.activeStyle.inputControlGradient0 }
            GradientStop { position: 1.0; color: fieldStyle.activeStyle.inputControlGradient1 }
        }
    }
}
