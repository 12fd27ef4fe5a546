import QtQuick 2.5

// A two-sided switch: `leftText` and `rightText`, one of them selected
// (`leftSelected`). A click on the other side selects it and emits
// switched.
Rectangle {
    id: toggle
    property string leftText: ""
    property string rightText: ""
    property bool leftSelected: true
    signal switched(bool leftSelected)

    implicitWidth: 160
    implicitHeight: 22
    radius: height / 2
    color: styleManager.enabledStyle.controlGradient1
    border.color: styleManager.enabledStyle.controlBorderColor

    Repeater {
        model: 2
        delegate: Rectangle {
            readonly property bool isLeft: index === 0
            readonly property bool selected: isLeft === toggle.leftSelected
            x: isLeft ? 0 : toggle.width / 2
            width: toggle.width / 2
            height: toggle.height
            radius: toggle.radius
            color: selected ? styleManager.menuItemHighlightColor : "transparent"
            Text {
                anchors.centerIn: parent
                text: parent.isLeft ? toggle.leftText : toggle.rightText
                color: parent.selected ? styleManager.menuItemHighlightTextColor : styleManager.enabledStyle.controlTextColor
                font.family: styleManager.condensedFont
                font.pointSize: styleManager.baseFontSize
            }
            MouseArea {
                anchors.fill: parent
                enabled: toggle.enabled && !parent.selected
                cursorShape: Qt.PointingHandCursor
                onClicked: {
                    toggle.leftSelected = parent.isLeft
                    toggle.switched(toggle.leftSelected)
                }
            }
        }
    }
}
