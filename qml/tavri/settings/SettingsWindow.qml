// The Settings window.
// Stands in until the window's own interface is built: it shows the
// window's title and carries the root functions that the program calls.
import QtQuick 2.15

Rectangle {
    id: root
    width: 880
    height: 540
    color: "#f4f4f4"

    // Start and stop recording a key combination in the window.
    signal startCapture()
    signal stopCapture()

    Text {
        anchors.centerIn: parent
        width: parent.width - 24
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        textFormat: Text.PlainText
        text: typeof mainViewer !== "undefined" && mainViewer ? mainViewer.title : ""
    }
}
