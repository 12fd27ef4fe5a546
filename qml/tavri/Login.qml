// The login window.
// Stands in until the window's own interface is built: it shows the
// window's title and carries the root functions that the program calls.
import QtQuick 2.15

Rectangle {
    id: root
    width: 560
    height: 308
    color: "#f4f4f4"

    // The answer to a screen-name check ("t" taken, "f" free).
    function checkedUsernameAvailability(response) {}
    function accountCreated() {}
    function accountCreateFailed(message, isNetworkError) {}

    Text {
        anchors.centerIn: parent
        width: parent.width - 24
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        textFormat: Text.PlainText
        text: typeof mainViewer !== "undefined" && mainViewer ? mainViewer.title : ""
    }
}
