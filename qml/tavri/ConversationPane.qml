// The chat window of one conversation: its chat lines, who is in it, who is
// typing, a line to write in and the voice switch. Closing the window leaves
// the conversation.
// Context properties: conversationRef (Conversation, the conversation shown),
// mainViewer (QQuickView, this window), mainApp, styleManager.
import QtQuick 2.15
import QtQuick.Controls 1.4
import Conversation 1.0
import "controls"
import "components"

DTitledWindowBasic {
    id: root

    readonly property var conversation: typeof conversationRef !== "undefined" ? conversationRef : null
    readonly property bool voiceOn: !!conversation && conversation.voiceState !== Conversation.VoiceDisabled

    function escaped(text) {
        return String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;").replace(/"/g, "&quot;")
    }

    function send() {
        var text = messageInput.effectiveText
        if (!conversation || text === "")
            return
        conversation.sendMessage(text)
        messageInput.text = ""
    }

    objectName: "conversationPane"
    title: view ? view.title : ""
    minimumWidth: 300
    minimumHeight: 120
    implicitWidth: 640
    implicitHeight: 260
    trackingCategory: "ConversationPane"
    // The frame only hides the view: closing it is what leaves.
    onClosing: if (view) view.close()

    Item {
        anchors.fill: parent
        anchors.margins: 6

        Row {
            id: toolbar
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            height: voiceButton.height
            spacing: 8

            DButton {
                id: voiceButton
                objectName: "voiceButton"
                enabled: !!root.conversation
                text: mainApp.languageUpdatedString + (root.voiceOn ? qsTr("Voice off") : qsTr("Voice on"))
                onClicked: root.conversation.requestVoice(!root.voiceOn)
            }
            DLabel {
                objectName: "typingLabel"
                anchors.verticalCenter: parent.verticalCenter
                width: toolbar.width - voiceButton.width - toolbar.spacing
                elide: Text.ElideRight
                textFormat: Text.PlainText
                visible: text !== ""
                // A paste longer than the input takes is cut: that comes first.
                text: messageInput.length >= messageInput.maximumLength
                      ? mainApp.languageUpdatedString
                        + qsTr("The message was cut at %1 characters").arg(messageInput.maximumLength)
                      : root.conversation && root.conversation.participantsTyping.length > 0
                        ? mainApp.languageUpdatedString
                          + qsTr("%1 typing...").arg(root.conversation.participantsTyping.join(", "))
                        : ""
            }
        }

        ListView {
            id: participantList
            objectName: "participantList"
            anchors.top: toolbar.bottom
            anchors.topMargin: 6
            anchors.right: parent.right
            anchors.bottom: inputRow.top
            anchors.bottomMargin: 6
            width: Math.min(180, parent.width / 3)
            clip: true
            model: root.conversation ? root.conversation.participants : null
            delegate: ConversationParticipantDelegate {
                width: participantList.width
                showMenuIcon: false
            }
        }

        Rectangle {
            anchors.fill: messageList
            anchors.margins: -2
            color: styleManager.chatBackgroundColor
            border.color: styleManager.paneBorderColor
        }

        ListView {
            id: messageList
            objectName: "messageList"
            anchors.top: toolbar.bottom
            anchors.topMargin: 6
            anchors.left: parent.left
            anchors.right: participantList.left
            anchors.rightMargin: 6
            anchors.bottom: inputRow.top
            anchors.bottomMargin: 6
            clip: true
            spacing: 2
            model: root.conversation ? root.conversation.chatMessages : null
            // The newest line stays in view.
            onCountChanged: positionViewAtEnd()
            delegate: Text {
                // A chat line names who wrote it; notices and the welcome text do not.
                readonly property string sender: !model.isSystemMessage && !model.isWelcomeMessage
                                                 && model.senderDisplayName ? model.senderDisplayName : ""

                width: messageList.width
                wrapMode: Text.Wrap
                // The message list has made the line safe HTML; the sender's
                // name is escaped here.
                textFormat: Text.RichText
                color: model.isSystemMessage ? styleManager.systemMessageTextColor : styleManager.enabledStyle.controlTextColor
                font.family: styleManager.regularFont
                font.italic: !!model.isSystemMessage
                // Rich text takes its links' look from a style sheet only: the
                // style's link colour, without underline, as links show elsewhere.
                text: "<style>a { color: " + styleManager.linkBaseColor + "; text-decoration: none; }</style>"
                      + (sender !== "" ? "<b>" + root.escaped(sender) + ":</b> " : "")
                      + (model.messageText !== undefined ? model.messageText : "")
                onLinkActivated: Qt.openUrlExternally(link)
            }
        }

        Row {
            id: inputRow
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: messageInput.height
            spacing: 6

            DTextField {
                id: messageInput
                objectName: "messageInput"
                width: inputRow.width - sendButton.width - inputRow.spacing
                focus: true
                placeholderText: mainApp.languageUpdatedString + qsTr("Type a message")
                onAccepted: root.send()
                onTextChanged: {
                    if (root.conversation)
                        root.conversation.setIsTyping(text !== "")
                }
            }
            DButton {
                id: sendButton
                objectName: "sendButton"
                enabled: messageInput.effectiveText !== ""
                text: mainApp.languageUpdatedString + qsTr("Send")
                onClicked: root.send()
            }
        }
    }
}
