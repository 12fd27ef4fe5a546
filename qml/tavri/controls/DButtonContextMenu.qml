import QtQuick 2.5

// An icon button that pops up its menu when clicked.
Rectangle {
    id: button
    property url iconSource: styleManager.contextMenuButton
    property url hoverIconSource: styleManager.contextMenuButtonHovered
    property var menu: null
    property string toolTip: ""
    signal clicked()

    implicitWidth: 20
    implicitHeight: 20
    color: "transparent"

    ImageButton {
        anchors.fill: parent
        normalImage: button.iconSource
        hoverImage: button.hoverIconSource
        toolTip: button.toolTip
        onClicked: {
            button.clicked()
            if (button.menu)
                button.menu.popup()
        }
    }
}
