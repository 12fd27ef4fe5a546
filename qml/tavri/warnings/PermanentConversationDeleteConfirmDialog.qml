// Asks before a permanent channel is deleted.
//
// Context properties read: mainApp (TavriApplication), styleManager (the
// style object), mainViewer (this window's QQuickView) and conversationRef
// (the Conversation to delete, set by the channel's loader).
import QtQuick 2.15
import QtQuick.Controls 1.4
import "../controls"
import "../components"

WarningDialog {
    id: root

    width: 320
    height: 240
    minimumWidth: 320
    minimumHeight: 240
    title: mainApp.languageUpdatedString + qsTr("Confirm delete")

    Component.onCompleted: {
        cancelButton.forceActiveFocus()
    }

    DLabel {
        objectName: "question"
        width: root.contentColumn.width
        height: root.contentColumn.height - buttons.height - 8
        wrapMode: Text.Wrap
        verticalAlignment: Text.AlignVCenter
        horizontalAlignment: Text.AlignHCenter
        textFormat: Text.PlainText
        text: mainApp.languageUpdatedString
              + qsTr("You are about to delete %1, are you sure?").arg(conversationRef ? conversationRef.displayName : "")
    }

    Row {
        id: buttons
        anchors.right: parent.right
        spacing: 10

        DButton {
            objectName: "okButton"
            text: mainApp.languageUpdatedString + qsTr("OK")
            onClicked: {
                if (conversationRef)
                    conversationRef.requestDelete(true)
                root.hideWindow()
            }
        }
        DButton {
            id: cancelButton
            objectName: "cancelButton"
            isDefault: true
            text: mainApp.languageUpdatedString + qsTr("Cancel")
            onClicked: root.hideWindow()
            Keys.onReturnPressed: root.hideWindow()
            Keys.onEnterPressed: root.hideWindow()
        }
    }
}
