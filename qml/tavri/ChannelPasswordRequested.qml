// Asks for the password of a channel the user is joining. "Join" joins with
// it (stored when "Save password" is ticked); closing the window abandons
// the join.
// Context properties: requestedChannel (Conversation, the channel joined),
// savePassword (bool, whether the box starts ticked), mainViewer (QQuickView,
// this window), mainApp, styleManager.
import QtQuick 2.15
import QtQuick.Controls 1.4
import "controls"

DTitledWindowBasic {
    id: root

    readonly property var channel: typeof requestedChannel !== "undefined" ? requestedChannel : null

    function join() {
        if (!channel || passwordField.text === "")
            return
        channel.requestJoinConversation(passwordField.text, saveBox.checked)
    }

    objectName: "channelPasswordRequested"
    title: view ? view.title : ""
    minimumWidth: 320
    minimumHeight: 200
    implicitWidth: 320
    implicitHeight: 200
    showResizeGrip: false
    onClosing: if (view) view.close()

    Column {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 8

        DLabel {
            objectName: "question"
            width: parent.width
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            text: mainApp.languageUpdatedString
                  + qsTr("%1 needs a password.").arg(root.channel ? root.channel.displayName : "")
        }
        DTextField {
            id: passwordField
            objectName: "passwordField"
            width: parent.width
            focus: true
            echoMode: TextInput.Password
            placeholderText: mainApp.languageUpdatedString + qsTr("Password")
            onAccepted: root.join()
        }
        DCheckBox {
            id: saveBox
            objectName: "savePasswordBox"
            checked: typeof savePassword !== "undefined" && !!savePassword
            text: mainApp.languageUpdatedString + qsTr("Save password")
        }
        Row {
            anchors.right: parent.right
            spacing: 10

            DButton {
                objectName: "joinButton"
                enabled: passwordField.text !== ""
                text: mainApp.languageUpdatedString + qsTr("Join")
                onClicked: root.join()
            }
            DButton {
                objectName: "cancelButton"
                text: mainApp.languageUpdatedString + qsTr("Cancel")
                onClicked: root.close("Cancel")
            }
        }
    }
}
