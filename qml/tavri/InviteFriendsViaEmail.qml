import QtQuick 2.5
import QtQuick.Layouts 1.1
import "controls"

// Invites people to Tavri (or to a channel) by e-mail: a list of addresses,
// an optional personal message, "Send" and "Cancel".
// Context properties: invitedChannel (the channel, or null for Tavri itself,
// set on every show), mainViewer (the window's view).
DTitledWindowBasic {
    id: root
    title: root.view ? root.view.title : ""
    minimumWidth: 360
    minimumHeight: 260
    implicitWidth: 400
    implicitHeight: 292
    trackingCategory: "InviteFriendsViaEmail"

    readonly property var channel: typeof invitedChannel !== "undefined" ? invitedChannel : null
    // The addresses typed, split at commas, semicolons and white space;
    // only those that look like an address (something@domain) count.
    readonly property var addresses: addressList(addressField.effectiveText)

    function addressList(text) {
        var valid = []
        var parts = text.split(/[\s,;]+/)
        for (var i = 0; i < parts.length; ++i) {
            if (/^[^@\s]+@[^@\s]+\.[^@\s]+$/.test(parts[i]) && valid.indexOf(parts[i]) < 0)
                valid.push(parts[i])
        }
        return valid
    }

    function send() {
        if (root.addresses.length === 0)
            return
        localUser.requestInviteUsersViaEmail(root.addresses, messageArea.text.trim(),
                                             root.channel ? root.channel.sipURI : "")
        mainApp.trackEvent("InviteFriendsViaEmail", "Send", ["count:" + root.addresses.length])
        reset()
        root.close("Send")
    }

    function reset() {
        addressField.text = ""
        messageArea.clear()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 6

        DLabel {
            text: qsTr("E-mail addresses (separated by commas)")
        }
        DTextField {
            id: addressField
            objectName: "addressField"
            Layout.fillWidth: true
            maximumLength: 2000
            placeholderText: qsTr("friend@example.org, another@example.org")
            onAccepted: root.send()
        }
        DLabel {
            text: qsTr("Personal message (optional)")
        }
        DTextArea {
            id: messageArea
            objectName: "messageArea"
            Layout.fillWidth: true
            Layout.fillHeight: true
            maximumLength: 1000
            textFormat: TextEdit.PlainText
            wrapMode: TextEdit.Wrap
        }
        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: 8
            DButton {
                objectName: "sendButton"
                text: qsTr("Send")
                enabled: root.addresses.length > 0
                onClicked: root.send()
            }
            DButton {
                objectName: "cancelButton"
                text: qsTr("Cancel")
                onClicked: {
                    root.reset()
                    root.close("Cancel")
                }
            }
        }
    }
}
