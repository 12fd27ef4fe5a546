import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// Scroll bars in the style's trench and drag colours, without step buttons.
ScrollViewStyle {
    transientScrollBars: false
    handleOverlap: 0
    incrementControl: Item {}
    decrementControl: Item {}
    scrollBarBackground: Rectangle {
        implicitWidth: styleManager.scrollBarWidth
        implicitHeight: styleManager.scrollBarWidth
        color: styleData.pressed ? styleManager.scrollTrenchPressedColor
             : styleData.hovered ? styleManager.scrollTrenchHoverColor : styleManager.scrollTrenchActiveColor
    }
    handle: Rectangle {
        implicitWidth: styleManager.scrollBarWidth
        implicitHeight: styleManager.scrollBarWidth
        radius: styleManager.scrollBarWidth / 2
        color: styleData.pressed ? styleManager.scrollDragPressedColor
             : styleData.hovered ? styleManager.scrollDragHoverColor : styleManager.scrollDragActiveColor
    }
    corner: Item {}
    frame: Item {}
}
