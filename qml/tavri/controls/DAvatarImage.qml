import QtQuick 2.5

// A user or channel picture of `size` pixels with an optional border, a
// tool tip and a hover highlight. An empty or failing picture shows the
// style's default picture instead.
Rectangle {
    id: avatar
    property url source: ""
    property url fallbackSource: isChannel ? styleManager.defaultChannelImage : styleManager.defaultAvatarImage
    property bool isChannel: false
    property real size: 42
    property bool showHover: true
    property string toolTip: ""
    property int borderWidth: 0
    property color borderColor: styleManager.enabledStyle.controlBorderColor
    readonly property bool hovered: area.containsMouse
    readonly property bool usingFallback: picture.source !== avatar.source || avatar.source == ""
    signal clicked(var mouse)

    width: size
    height: size
    color: "transparent"
    radius: styleManager.avatarRadius

    Image {
        id: picture
        objectName: "avatarPicture"
        anchors.fill: parent
        anchors.margins: avatar.borderWidth
        fillMode: Image.PreserveAspectCrop
        asynchronous: true
        smooth: true
        sourceSize.width: avatar.size * 2
        sourceSize.height: avatar.size * 2
        source: avatar.source != "" ? avatar.source : avatar.fallbackSource
        onStatusChanged: {
            if (status === Image.Error && source !== avatar.fallbackSource)
                source = avatar.fallbackSource
        }
    }
    Connections {
        target: avatar
        function onSourceChanged() {
            picture.source = avatar.source != "" ? avatar.source : avatar.fallbackSource
        }
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        radius: avatar.radius
        border.width: avatar.borderWidth
        border.color: avatar.borderColor
        visible: avatar.borderWidth > 0
    }
    Rectangle {
        anchors.fill: parent
        radius: avatar.radius
        color: "white"
        opacity: avatar.showHover && area.containsMouse ? 0.15 : 0
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        cursorShape: avatar.showHover ? Qt.PointingHandCursor : Qt.ArrowCursor
        onClicked: avatar.clicked(mouse)
        DToolTip {
            text: avatar.toolTip
        }
    }
}
