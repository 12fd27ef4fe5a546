import QtQuick 2.5

// A volume slider (step 1) whose dampedValue takes the slider's value
// 200 ms after the value last changed, so a setting follows a drag once the
// user stops rather than at every step. `loaded` is lowered by a window
// while it sets value and dampedValue itself, so that nothing is written
// back; `isAtLimit` tells the window the bar sits at either end. At
// creation dampedValue is the value.
DSlider {
    id: bar
    property real dampedValue: 0
    property int dampingInterval: 200
    property bool loaded: true
    readonly property bool isAtMinimum: value <= minimumValue
    readonly property bool isAtMaximum: value >= maximumValue
    readonly property bool isAtLimit: isAtMinimum || isAtMaximum
    stepSize: 1

    onValueChanged: dampingTimer.restart()
    Component.onCompleted: dampedValue = value

    Timer {
        id: dampingTimer
        objectName: "dampingTimer"
        interval: bar.dampingInterval
        onTriggered: {
            if (bar.dampedValue !== bar.value)
                bar.dampedValue = bar.value
        }
    }
}
