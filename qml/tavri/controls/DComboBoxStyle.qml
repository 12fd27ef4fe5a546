import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// The look of DComboBox: the drop-down colours of the style.
ComboBoxStyle {
    id: comboStyle
    property var activeStyle: !control.enabled ? styleManager.disabledStyle
                            : control.hovered ? styleManager.hoveredStyle : styleManager.enabledStyle
    textColor: styleManager.comboboxTextColor
    selectionColor: styleManager.menuItemHighlightColor
    selectedTextColor: styleManager.menuItemHighlightTextColor
    font.family: activeStyle.controlFontFamily
    font.pointSize: activeStyle.controlFontSize
    background: Rectangle {
        implicitWidth: 120
        implicitHeight: 22
        color: control.activeFocus ? styleManager.dropdownFocusColor
             : control.hovered ? styleManager.dropdownHoverColor : styleManager.dropdownColor
        border.color: styleManager.dropdownBorderColor
        opacity: comboStyle.activeStyle.controlOpacity
        Text {
            anchors.right: parent.right
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            text: "\u25BE"
            color: styleManager.comboboxArrowColor
        }
    }
}
