import QtQuick 2.5

// A ring around its parent that pulses in `activatedColor` while `active`,
// for `duration` ms at a time (0: until stopped).
Item {
    id: ring
    property color activatedColor: styleManager.menuItemHighlightColor
    property bool active: false
    property int duration: 0
    property int pulseInterval: 700
    property int ringWidth: 3
    property int spread: 4

    function start() {
        active = true
        if (duration > 0)
            stopTimer.restart()
    }
    function stop() {
        active = false
        stopTimer.stop()
    }

    anchors.fill: parent
    anchors.margins: -spread
    visible: active

    Rectangle {
        id: shape
        anchors.fill: parent
        color: "transparent"
        radius: 6
        border.width: ring.ringWidth
        border.color: ring.activatedColor
        SequentialAnimation on opacity {
            running: ring.active
            loops: Animation.Infinite
            NumberAnimation { from: 1.0; to: 0.25; duration: ring.pulseInterval; easing.type: Easing.InOutQuad }
            NumberAnimation { from: 0.25; to: 1.0; duration: ring.pulseInterval; easing.type: Easing.InOutQuad }
        }
    }
    Timer {
        id: stopTimer
        interval: Math.max(1, ring.duration)
        onTriggered: ring.active = false
    }
}
