import QtQuick 2.5

// A user or channel picture of `size` pixels with an optional border, a
// tool tip and a hover highlight. An empty or failing picture shows the
// person's initial on their chat colour when a name is given, else the
// style's default picture.
Rectangle {
    id: avatar
    property url source: ""
    property url fallbackSource: isChannel ? styleManager.defaultChannelImage : styleManager.defaultAvatarImage
    property bool isChannel: false
    property real size: 42
    property bool showHover: true
    property string toolTip: ""
    // The person's display name and chat colour for the initial shown without
    // a picture; with no chat colour one of the style's is chosen from the
    // name, so a person keeps one colour everywhere.
    property string name: ""
    property string chatColor: ""
    property int borderWidth: 0
    property color borderColor: styleManager.enabledStyle.controlBorderColor
    readonly property bool hovered: area.containsMouse
    readonly property bool usingFallback: picture.source !== avatar.source || avatar.source == ""
    readonly property string initial: {
        var letters = Array.from(avatar.name.trim())
        return letters.length > 0 ? letters[0].toUpperCase() : ""
    }
    readonly property bool showsInitial: !avatar.isChannel && avatar.initial !== "" && avatar.usingFallback
    readonly property color initialColor: {
        if (avatar.chatColor !== "")
            return avatar.chatColor
        var colors = styleManager.chatColors
        if (!colors || colors.length === 0)
            return styleManager.enabledStyle.controlBorderColor
        var hash = 0
        for (var i = 0; i < avatar.name.length; ++i)
            hash = (hash * 31 + avatar.name.charCodeAt(i)) % 65521
        return colors[hash % colors.length]
    }
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
        visible: !avatar.showsInitial
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
        objectName: "avatarInitialBackground"
        anchors.fill: parent
        anchors.margins: avatar.borderWidth
        radius: avatar.radius
        color: avatar.initialColor
        visible: avatar.showsInitial
        Text {
            objectName: "avatarInitial"
            anchors.centerIn: parent
            text: avatar.initial
            textFormat: Text.PlainText
            color: "white"
            font.family: styleManager.condensedFont
            font.bold: true
            font.pixelSize: Math.max(6, Math.round(parent.height * 0.5))
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
