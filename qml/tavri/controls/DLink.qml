import QtQuick 2.5
import QtQuick.Controls 1.4

// A clickable text in the style's link colour; emits clicked, and opens
// `url` in the browser when one is set.
Label {
    id: link
    property string url: ""
    property string toolTip: ""
    property real fontSize: styleManager.smallFontSize
    signal clicked()
    color: linkArea.containsMouse ? styleManager.linkHoverColor : styleManager.linkBaseColor
    font.family: styleManager.condensedFont
    font.pointSize: fontSize
    font.underline: linkArea.containsMouse

    MouseArea {
        id: linkArea
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: {
            link.clicked()
            if (link.url.length > 0)
                Qt.openUrlExternally(link.url)
        }
        DToolTip {
            text: link.toolTip
        }
    }
}
