import QtQuick 2.5
import QtQuick.Window 2.2

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
        // Only while there is a tip to show: an idle hover area over the
        // parent would take the pointer from the parent's own hover areas
        // and leave them believing the pointer is still over them.
        enabled: !tip.parentHasHover && tip.text.length > 0
        hoverEnabled: enabled
        acceptedButtons: Qt.NoButton
    }
    Timer {
        id: showTimer
        interval: tip.delay
        onTriggered: tip.show()
    }

    // The bubble is drawn on the window's content, above every control, so
    // that neither a neighbour nor a clipping pane hides it; it is kept inside
    // the window, turning above the pointer near the bottom edge.
    Rectangle {
        id: bubble
        readonly property Item surface: tip.Window.contentItem ? tip.Window.contentItem : tip
        // The pointer in the surface's coordinates, taken again each time the
        // bubble shows or the pointer moves.
        readonly property point at: tip.shown ? tip.mapToItem(surface, tip.pointerX, tip.pointerY) : Qt.point(0, 0)
        parent: surface
        z: 1000000
        visible: tip.shown && tip.text.length > 0
        width: label.width + 12
        height: label.height + 8
        x: Math.max(0, Math.min(at.x + 12, surface.width - width))
        y: at.y + 18 + height <= surface.height ? at.y + 18 : Math.max(0, at.y - 6 - height)
        color: styleManager.tooltipColor
        border.color: styleManager.tooltipBorderColor
        border.width: 1
        radius: 2
        // The text's natural width, line by line, before any wrapping.
        Text {
            id: measure
            visible: false
            text: label.text
            font: label.font
            textFormat: label.textFormat
        }
        Text {
            id: label
            x: 6
            y: 4
            width: Math.min(Math.ceil(measure.implicitWidth), 300, Math.max(40, bubble.surface.width - 12))
            text: tip.text
            wrapMode: Text.Wrap
            color: styleManager.tooltipTextColor
            font.family: styleManager.condensedFont
            font.pointSize: styleManager.smallFontSize
        }
    }
}
