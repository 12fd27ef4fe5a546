import QtQuick 2.5

// A panel with an optional background picture drawn in a fill mode.
Rectangle {
    id: panel
    property url backgroundImage: ""
    property int backgroundFillMode: Image.Stretch
    property real backgroundOpacity: 1.0
    color: "transparent"

    Image {
        anchors.fill: parent
        source: panel.backgroundImage
        fillMode: panel.backgroundFillMode
        opacity: panel.backgroundOpacity
        visible: source != ""
        z: -1
    }
}
