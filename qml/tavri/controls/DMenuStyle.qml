import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// Menus in the style's menu colours; an item's icon (a presence bubble or a
// picture) stands before its text. Shortcut texts are not shown.
MenuStyle {
    frame: Rectangle {
        color: styleManager.menuColor
        border.color: styleManager.menuBorderColor
        border.width: Math.max(1, styleManager.menuBorderWidth)
    }
    itemDelegate.background: Rectangle {
        color: styleData.selected && styleData.enabled ? styleManager.menuItemHighlightColor : styleManager.menuItemColor
    }
    itemDelegate.label: Row {
        // The submenu arrow stands on the label's baseline: the text's, not
        // the row's top, or the arrow rises into the entry above.
        baselineOffset: caption.y + caption.baselineOffset
        spacing: 6
        Image {
            anchors.verticalCenter: parent.verticalCenter
            source: styleData.iconSource
            visible: source != ""
            sourceSize.height: 16
        }
        Text {
            id: caption
            anchors.verticalCenter: parent.verticalCenter
            text: styleData.text.replace(/&(?!&)/g, "")
            color: !styleData.enabled ? styleManager.menuItemDisabledTextColor
                 : styleData.selected ? styleManager.menuItemHighlightTextColor : styleManager.menuItemTextColor
            font.family: styleManager.condensedFont
            font.pointSize: styleManager.baseFontSize
        }
    }
    itemDelegate.shortcut: Item {}
    itemDelegate.submenuIndicator: Text {
        text: "\u25b8"
        color: !styleData.enabled ? styleManager.menuItemDisabledTextColor
             : styleData.selected ? styleManager.menuItemHighlightTextColor : styleManager.menuItemTextColor
        font.family: styleManager.condensedFont
        font.pointSize: styleManager.baseFontSize
    }
    separator: Rectangle {
        implicitHeight: 5
        color: styleManager.menuItemColor
        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width
            height: 1
            color: styleManager.menuSeparatorColor
        }
    }
}
