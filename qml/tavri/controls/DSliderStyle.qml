import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// The look of DSlider: a thin groove filled up to the handle.
SliderStyle {
    groove: Rectangle {
        implicitWidth: 160
        implicitHeight: 4
        radius: 2
        color: styleManager.sliderGrooveColor
        border.color: styleManager.enabledStyle.controlBorderColor
        Rectangle {
            width: control.value > control.minimumValue && control.maximumValue > control.minimumValue
                   ? parent.width * (control.value - control.minimumValue)
                     / (control.maximumValue - control.minimumValue)
                   : 0
            height: parent.height
            radius: 2
            color: control.enabled ? styleManager.sliderFillColor : styleManager.disabledStyle.controlGradient1
        }
    }
    handle: Rectangle {
        implicitWidth: 12
        implicitHeight: 12
        radius: 6
        color: control.pressed || control.hovered ? styleManager.sliderHandleHoverColor : styleManager.sliderHandleColor
        border.color: control.activeFocus ? styleManager.enabledStyle.controlFocusBorderColor
                                          : styleManager.enabledStyle.controlBorderColor
    }
}
