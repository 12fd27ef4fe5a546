import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// The look of DButton: a two-stop gradient from the state group in force.
ButtonStyle {
    id: buttonStyle
    property var activeStyle: !control.enabled ? styleManager.disabledStyle
                            : control.pressed ? styleManager.pressedStyle
                            : control.hovered ? styleManager.hoveredStyle
                            : control.activeFocus ? styleManager.focusedStyle
                            : styleManager.enabledStyle

    background: Rectangle {
        implicitWidth: 80
        implicitHeight: 24
        radius: styleManager.buttonRadius
        border.width: buttonStyle.activeStyle.controlBorderWidth
        border.color: control.activeFocus ? buttonStyle.activeStyle.controlFocusBorderColor
                                          : buttonStyle.activeStyle.controlBorderColor
        opacity: buttonStyle.activeStyle.controlOpacity
        gradient: Gradient {
            GradientStop { position: 0.0; color: buttonStyle.activeStyle.controlGradient0 }
            GradientStop { position: 1.0; color: buttonStyle.activeStyle.controlGradient1 }
        }
    }
    label: Item {
        // From the text's own width, not the row's: the row's text is cut
        // to the button's width, which follows this size, and would so keep
        // a long text cut for good.
        implicitWidth: (icon.visible ? icon.implicitWidth + row.spacing : 0) + caption.implicitWidth
        implicitHeight: row.implicitHeight
        Row {
            id: row
            anchors.centerIn: parent
            width: Math.min(implicitWidth, parent.width)
            spacing: 4
            Image {
                id: icon
                source: control.iconSource
                visible: source != ""
                anchors.verticalCenter: parent.verticalCenter
                opacity: buttonStyle.activeStyle.imageOpacity
            }
            Text {
                id: caption
                width: Math.min(implicitWidth, parent.parent.width - (control.iconSource != "" ? 24 : 0))
                anchors.verticalCenter: parent.verticalCenter
                text: control.text
                elide: control.elide
                color: buttonStyle.activeStyle.controlTextColor
                font.family: buttonStyle.activeStyle.controlFontFamily
                font.pointSize: control.fontSize > 0 ? control.fontSize : buttonStyle.activeStyle.controlFontSize
                font.bold: control.bold
            }
        }
    }
}
