import QtQuick 2.5

// A thin scroll bar for a sibling Flickable (`flickable`): shows while it moves and
// fades out shortly after scrolling stops; dragging the bar scrolls.
Item {
    id: indicator
    property var flickable: null
    property int barWidth: styleManager.scrollBarWidth
    property int hideDelay: 800
    readonly property bool needed: flickable !== null && flickable.contentHeight > flickable.height
    readonly property real ratio: needed ? flickable.height / flickable.contentHeight : 1
    property bool active: false

    // Placed over the right edge of the flickable, which is a sibling.
    width: barWidth
    x: flickable ? flickable.x + flickable.width - width : 0
    y: flickable ? flickable.y : 0
    height: flickable ? flickable.height : 0
    opacity: needed && (active || dragArea.pressed || dragArea.containsMouse) ? 1 : 0
    Behavior on opacity { NumberAnimation { duration: 200 } }

    Connections {
        target: indicator.flickable
        ignoreUnknownSignals: true
        function onContentYChanged() {
            indicator.active = true
            hideTimer.restart()
        }
    }
    Timer {
        id: hideTimer
        interval: indicator.hideDelay
        onTriggered: indicator.active = false
    }
    Rectangle {
        anchors.fill: parent
        color: styleManager.scrollTrenchActiveColor
        opacity: 0.5
    }
    Rectangle {
        id: handle
        width: parent.width
        radius: width / 2
        height: Math.max(16, indicator.height * indicator.ratio)
        y: indicator.needed
           ? (indicator.height - height) * Math.max(0, Math.min(1, indicator.flickable.contentY
                                                                    / (indicator.flickable.contentHeight - indicator.flickable.height)))
           : 0
        color: dragArea.pressed ? styleManager.scrollDragPressedColor
             : dragArea.containsMouse ? styleManager.scrollDragHoverColor : styleManager.scrollDragActiveColor
    }
    MouseArea {
        id: dragArea
        anchors.fill: parent
        hoverEnabled: true
        function scrollTo(y) {
            if (!indicator.needed)
                return
            var fraction = Math.max(0, Math.min(1, (y - handle.height / 2) / (indicator.height - handle.height)))
            indicator.flickable.contentY = fraction * (indicator.flickable.contentHeight - indicator.flickable.height)
        }
        onPressed: scrollTo(mouse.y)
        onPositionChanged: if (pressed) scrollTo(mouse.y)
    }
}
