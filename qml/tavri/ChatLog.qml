import QtQuick 2.5
import "controls"

// The chat-log window: one chat log as it lies on disk, read-only. A chat
// log holds what peers wrote, so it is shown as plain text and never as
// markup (no link, picture or styling in it is acted on).
// Context properties: filename (the log file, set on every show),
// mainViewer (the window's view).
DTitledWindowBasic {
    id: root
    title: root.view ? root.view.title : ""
    minimumWidth: 320
    minimumHeight: 240
    implicitWidth: 520
    implicitHeight: 420
    trackingCategory: "ChatLog"

    DTextArea {
        id: logText
        objectName: "logText"
        anchors.fill: parent
        anchors.margins: 8
        readOnly: true
        textFormat: TextEdit.PlainText
        wrapMode: TextEdit.Wrap
        text: typeof filename !== "undefined" && filename ? mainApp.readFileContents(filename) : ""
    }
}
