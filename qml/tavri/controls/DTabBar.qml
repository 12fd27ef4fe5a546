import QtQuick 2.5

// A row of tabs that scrolls sideways when it is wider than its room.
// `titles` names the tabs; `currentIndex` is the selected one and a click
// selects another and emits tabClicked.
Item {
    id: bar
    property var titles: []
    property int currentIndex: 0
    property int tabHeight: 24
    signal tabClicked(int index)

    implicitWidth: 300
    implicitHeight: tabHeight

    function scrollBy(delta) {
        flick.contentX = Math.max(0, Math.min(flick.contentWidth - flick.width, flick.contentX + delta))
    }

    Text {
        id: leftArrow
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        width: flick.contentWidth > bar.width ? 14 : 0
        visible: width > 0
        text: "\u25C2"
        color: styleManager.tabTextColor
        MouseArea {
            anchors.fill: parent
            onClicked: bar.scrollBy(-60)
        }
    }
    Flickable {
        id: flick
        anchors.left: leftArrow.right
        anchors.right: rightArrow.left
        height: parent.height
        contentWidth: tabRow.width
        contentHeight: height
        flickableDirection: Flickable.HorizontalFlick
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        Row {
            id: tabRow
            Repeater {
                model: bar.titles
                delegate: Rectangle {
                    width: Math.max(label.implicitWidth + 20, 60)
                    height: bar.tabHeight
                    color: index === bar.currentIndex ? styleManager.tabSelectedColor
                         : tabArea.containsMouse ? styleManager.tabHoveredColor : styleManager.tabColor
                    border.color: styleManager.tabBorderColor
                    Text {
                        id: label
                        anchors.centerIn: parent
                        text: modelData
                        color: index === bar.currentIndex ? styleManager.tabSelectedTextColor : styleManager.tabTextColor
                        font.family: styleManager.condensedFont
                        font.pointSize: styleManager.baseFontSize
                    }
                    MouseArea {
                        id: tabArea
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: {
                            bar.currentIndex = index
                            bar.tabClicked(index)
                        }
                    }
                }
            }
        }
    }
    Text {
        id: rightArrow
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: flick.contentWidth > bar.width ? 14 : 0
        visible: width > 0
        text: "\u25B8"
        color: styleManager.tabTextColor
        MouseArea {
            anchors.fill: parent
            onClicked: bar.scrollBy(60)
        }
    }
}
