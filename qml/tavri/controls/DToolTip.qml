import QtQuick 2.5

// A tool tip for its parent, shown after the pointer has rested over the
// parent for `delay` ms and hidden when it leaves. It follows the parent's
// own hover state when the parent has one (a Quick Controls control's
// `hovered`, a hover-enabled MouseArea's `containsMouse`, placed beside the
// pointer); otherwise it watches the pointer itself without taking clicks.
Item {
    id: tip
    property string text: ""
    property int delay: 700
    property bool shown: false
    readonly property bool parentHasHover: parent !== null
        && (parent.hovered !== undefined || (parent.containsMouse !== undefined && parent.hoverEnabled === true))
    readonly property bool hovered: !parentHasHover ? ownArea.containsMouse
                                  : parent.hovered !== undefined ? parent.hovered : parent.containsMouse
    readonly property real pointerX: parent && parent.mouseX !== undefined ? parent.mouseX
                                   : ownArea.enabled ? ownArea.mouseX : 0
    readonly property real pointerY: parent && parent.mouseY !== undefined ? parent.mouseY
                                   : ownArea.enabled ? ownArea.mouseY : (parent ? parent.height : 0)
    anchors.fill: parent
    z: 1000

    function show() {
        if (text.length > 0)
            shown = true
    }
    function hide() {
        showTimer.stop()
        shown = false
    }

    onHoveredChanged: hovered ? showTimer.restart() : hide()

    MouseArea {
        id: ownArea
        anchors.fill: parent
        // Without a text there is nothing to show: the pointer is left to
        // whatever lies beneath (a row's own hover, for one).
        enabled: !tip.parentHasHover && tip.text !== ""
        hoverEnabled: enabled
        acceptedButtons: Qt.NoButton
    }
    Timer {
        id: showTimer
        interval: tip.delay
        onTriggered: tip.show()
    }

    Rectangle {
        id: bubble
        visible: tip.shown && tip.text.length > 0
        width: Math.min(label.implicitWidth, 300) + 12
        height: label.implicitHeight + 8
        x: tip.pointerX + 12
        y: tip.pointerY + 18
        color: styleManager.tooltipColor
        border.color: styleManager.tooltipBorderColor
        border.width: 1
        radius: 2
        Text {
            id: label
            x: 6
            y: 4
            width: Math.min(implicitWidth, 300)
            text: tip.text
            wrapMode: Text.Wrap
            color: styleManager.tooltipTextColor
            font.family: styleManager.condensedFont
            font.pointSize: styleManager.smallFontSize
        }
    }
}
