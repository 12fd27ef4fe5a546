import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// Tabs in the style's tab colours; the selected tab in the accent colour.
TabViewStyle {
    frameOverlap: 0
    tabOverlap: 0
    tab: Rectangle {
        implicitWidth: Math.max(tabText.implicitWidth + 20, 60)
        implicitHeight: 24
        color: styleData.selected ? styleManager.tabSelectedColor
             : styleData.hovered ? styleManager.tabHoveredColor : styleManager.tabColor
        border.color: styleManager.tabBorderColor
        Text {
            id: tabText
            anchors.centerIn: parent
            text: styleData.title
            color: styleData.selected ? styleManager.tabSelectedTextColor : styleManager.tabTextColor
            font.family: styleManager.condensedFont
            font.pointSize: styleManager.baseFontSize
        }
    }
    frame: Rectangle {
        color: "transparent"
        border.color: styleManager.tabBorderColor
    }
}
