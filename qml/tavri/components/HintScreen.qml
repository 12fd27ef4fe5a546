import QtQuick 2.5
import "../controls"

// One page of a hint window or the tutorial: an optional picture over a
// text. The hint window (or the tutorial) shows its pages one at a time.
Item {
    id: screen
    property string text: ""
    property url image: ""
    property real imageWidth: width
    default property alias content: extra.data

    implicitWidth: 300
    implicitHeight: column.implicitHeight

    Column {
        id: column
        width: parent.width
        spacing: 8
        Image {
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(screen.imageWidth, parent.width)
            fillMode: Image.PreserveAspectFit
            source: screen.image
            visible: source != ""
        }
        DLabelSquare {
            width: parent.width
            text: screen.text
            visible: text.length > 0
            wrapMode: Text.Wrap
            elide: Text.ElideNone
            textFormat: Text.StyledText
        }
        Item {
            id: extra
            width: parent.width
            height: childrenRect.height
        }
    }
}
