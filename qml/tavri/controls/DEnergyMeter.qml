import QtQuick 2.5

// A level meter: the filled part is (value - minValue) / (maxValue -
// minValue) of the width, painted with a gradient from green to red across
// the whole bar. Child items are drawn over it.
DRectangle {
    id: meter
    property real minValue: 0
    property real maxValue: 1
    property real value: 0
    readonly property real fraction: maxValue > minValue
        ? Math.max(0, Math.min(1, (value - minValue) / (maxValue - minValue))) : 0
    default property alias overlay: overlayItem.data

    implicitWidth: 160
    implicitHeight: 10
    color: styleManager.sliderGrooveColor
    border.color: styleManager.enabledStyle.controlBorderColor
    clip: true

    Item {
        id: fill
        objectName: "energyFill"
        width: meter.width * meter.fraction
        height: meter.height
        clip: true
        Rectangle {
            // The full-width gradient, rotated to run left to right.
            width: meter.height
            height: meter.width
            anchors.centerIn: undefined
            x: (meter.width - meter.height) / 2
            y: (meter.height - meter.width) / 2
            rotation: -90
            gradient: Gradient {
                GradientStop { position: 0.0; color: styleManager.energyMeterLowColor }
                GradientStop { position: 0.6; color: Qt.rgba(0.85, 0.85, 0.1, 1) }
                GradientStop { position: 1.0; color: styleManager.energyMeterHighColor }
            }
        }
    }
    Item {
        id: overlayItem
        anchors.fill: parent
    }
}
