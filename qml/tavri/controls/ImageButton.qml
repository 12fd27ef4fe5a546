import QtQuick 2.5

// A button of three pictures: normal, under the pointer and pressed.
Item {
    id: button
    property url normalImage: ""
    property url hoverImage: normalImage
    property url pressedImage: hoverImage
    property string toolTip: ""
    property int fillMode: Image.PreserveAspectFit
    property alias hovered: area.containsMouse
    property alias pressed: area.pressed
    property int acceptedButtons: Qt.LeftButton
    signal clicked(var mouse)

    implicitWidth: image.implicitWidth
    implicitHeight: image.implicitHeight
    opacity: enabled ? 1.0 : styleManager.disabledStyle.imageOpacity

    Image {
        id: image
        anchors.fill: parent
        fillMode: button.fillMode
        source: area.pressed ? button.pressedImage : area.containsMouse ? button.hoverImage : button.normalImage
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: button.acceptedButtons
        cursorShape: Qt.PointingHandCursor
        onClicked: button.clicked(mouse)
        DToolTip {
            text: button.toolTip
        }
    }
}
