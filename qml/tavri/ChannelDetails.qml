// The details of one channel: its name, description, welcome message, owner
// and access, and who is a member, a moderator or banned. The channel can be
// joined from here, and edited by its owner or a moderator.
// Context properties: channelToShow (Conversation, the channel shown),
// mainViewer (QQuickView, this window), mainApp, styleManager.
// Channel texts come from other users: they are shown as plain text.
import QtQuick 2.15
import QtQuick.Controls 1.4
import Conversation 1.0
import "controls"

DTitledWindowBasic {
    id: root

    readonly property var channel: typeof channelToShow !== "undefined" ? channelToShow : null

    function textOf(value) {
        return value === undefined || value === null ? "" : String(value)
    }
    function accessText(accessType) {
        if (accessType === Conversation.PasswordProtected)
            return qsTr("Password protected")
        if (accessType === Conversation.InvitationOnly)
            return qsTr("Invitation only")
        return qsTr("Public")
    }

    objectName: "channelDetails"
    title: view ? view.title : ""
    minimumWidth: 360
    minimumHeight: 320
    implicitWidth: 480
    implicitHeight: 480
    onClosing: if (view) view.close()

    Column {
        id: fields
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: 10
        spacing: 4

        DLabel {
            objectName: "channelName"
            width: parent.width
            elide: Text.ElideRight
            textFormat: Text.PlainText
            bold: true
            fontSize: styleManager.baseFontSize + 3
            text: root.channel ? root.textOf(root.channel.displayName) : ""
        }
        DLabel {
            objectName: "description"
            width: parent.width
            wrapMode: Text.Wrap
            maximumLineCount: 4
            elide: Text.ElideRight
            textFormat: Text.PlainText
            visible: text !== ""
            text: root.channel ? root.textOf(root.channel.description) : ""
        }
        DLabel {
            objectName: "welcomeMessage"
            width: parent.width
            wrapMode: Text.Wrap
            maximumLineCount: 3
            elide: Text.ElideRight
            textFormat: Text.PlainText
            font.italic: true
            visible: text !== ""
            text: root.channel ? root.textOf(root.channel.message) : ""
        }
        DLabel {
            objectName: "access"
            width: parent.width
            textFormat: Text.PlainText
            text: mainApp.languageUpdatedString + qsTr("Access: %1").arg(
                      root.channel ? root.accessText(root.channel.accessType) : "")
        }
    }

    Row {
        id: lists
        anchors.top: fields.bottom
        anchors.topMargin: 8
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.bottom: buttons.top
        anchors.bottomMargin: 8
        spacing: 8

        Repeater {
            model: [
                { name: "members", heading: qsTr("Members") },
                { name: "moderators", heading: qsTr("Moderators") },
                { name: "banned", heading: qsTr("Banned") }
            ]
            delegate: Column {
                width: (lists.width - 2 * lists.spacing) / 3
                height: lists.height
                spacing: 2

                DLabel {
                    id: heading
                    bold: true
                    text: mainApp.languageUpdatedString + modelData.heading
                }
                Rectangle {
                    width: parent.width
                    height: parent.height - heading.height - parent.spacing
                    color: styleManager.chatBackgroundColor
                    border.color: styleManager.paneBorderColor

                    ListView {
                        objectName: modelData.name + "List"
                        anchors.fill: parent
                        anchors.margins: 3
                        clip: true
                        model: root.channel ? root.channel[modelData.name] : null
                        delegate: Text {
                            width: ListView.view.width
                            color: styleManager.enabledStyle.controlTextColor
                            elide: Text.ElideRight
                            textFormat: Text.PlainText
                            text: model.displayName !== undefined ? model.displayName : ""
                        }
                    }
                }
            }
        }
    }

    Row {
        id: buttons
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 10
        spacing: 10

        DButton {
            objectName: "editButton"
            visible: !!root.channel && (root.channel.isOwned || root.channel.localUserIsModerator)
            text: mainApp.languageUpdatedString + qsTr("Edit")
            onClicked: root.channel.showEditProperties()
        }
        DButton {
            objectName: "joinButton"
            enabled: !!root.channel && !root.channel.isJoined
            text: mainApp.languageUpdatedString + qsTr("Join")
            onClicked: root.channel.requestJoinConversation()
        }
        DButton {
            objectName: "closeWindowButton"
            text: mainApp.languageUpdatedString + qsTr("Close")
            onClicked: root.close("Close")
        }
    }
}
