import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// Read-only rich text that scrolls; links are reported through
// linkActivated.
Item {
    id: region
    property alias text: view.text
    property alias textFormat: view.textFormat
    property color textColor: styleManager.enabledStyle.controlTextColor
    property real fontSize: styleManager.squareTextSize
    signal linkActivated(string link)

    implicitWidth: 200
    implicitHeight: 100

    function scrollToEnd() {
        view.cursorPosition = view.length
    }

    TextArea {
        id: view
        anchors.fill: parent
        readOnly: true
        textFormat: TextEdit.RichText
        wrapMode: TextEdit.Wrap
        backgroundVisible: false
        frameVisible: false
        textColor: region.textColor
        font.family: styleManager.regularFont
        font.pointSize: region.fontSize
        style: TextAreaStyle {
            selectionColor: styleManager.textSelectionColor
            transientScrollBars: true
        }
        onLinkActivated: region.linkActivated(link)
    }
}
