// The chat window of one conversation: its chat lines, who is in it, who is
// typing, a line to write in and the voice switch. Closing the window leaves
// the conversation.
// Context properties: conversationRef (Conversation, the conversation shown),
// mainViewer (QQuickView, this window), mainApp, styleManager.
import QtQuick 2.15
import QtQuick.Controls 1.4
import QtQuick.Dialogs 1.3
import Conversation 1.0
import "controls"
import "components"
import "menus"

DTitledWindowBasic {
    id: root

    readonly property var conversation: typeof conversationRef !== "undefined" ? conversationRef : null
    readonly property bool voiceOn: !!conversation && conversation.voiceState !== Conversation.VoiceDisabled

    // Only web links and the program's own are opened; anything else a
    // peer wrote stays text.
    function openLink(link) {
        if (/^(https?:\/\/|tavri:)/i.test(link))
            Qt.openUrlExternally(link)
        else
            console.warn("Chat window: not opening a link of scheme \"" + String(link).split(":")[0] + "\"")
    }

    function send() {
        var text = messageInput.effectiveText
        if (!conversation || text === "")
            return
        conversation.sendMessage(text)
        messageInput.text = ""
    }

    // Fills the participant menu from one row of the participant list.
    function fillParticipantMenu(row) {
        var identity = row.participantIdentityRef || null
        participantMenu.channelRef = root.conversation
        participantMenu.channelURI = root.conversation ? root.conversation.sipURI : ""
        participantMenu.identityRef = identity
        participantMenu.userURI = identity && identity.sipURI ? identity.sipURI : (row.sipURI || "")
        participantMenu.participantURI = row.sipURI || ""
        participantMenu.isFriend = !!row.isContact
        participantMenu.isModerator = !!row.isModerator
        participantMenu.isOwner = !!root.conversation && participantMenu.userURI !== ""
                                  && root.conversation.ownerURI === participantMenu.userURI
        participantMenu.isMuted = !!row.isMutedLocally
        participantMenu.localUserIsModerator = !!root.conversation && root.conversation.localUserIsModerator
        participantMenu.isDialIn = !!row.isDialinUser
        participantMenu.participantPresent = true
    }
    function showParticipantMenu(row) {
        fillParticipantMenu(row)
        participantMenu.popup()
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
            DButtonContextMenu {
                id: channelMenuButton
                objectName: "channelMenuButton"
                anchors.verticalCenter: parent.verticalCenter
                enabled: !!root.conversation
                toolTip: mainApp.languageUpdatedString + qsTr("Click here for menu")
                menu: channelMenu
            }
            DLabel {
                objectName: "typingLabel"
                anchors.verticalCenter: parent.verticalCenter
                width: toolbar.width - voiceButton.width - channelMenuButton.width - 2 * toolbar.spacing
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
                onMenuRequested: root.showParticipantMenu(model)
                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.RightButton
                    onClicked: root.showParticipantMenu(model)
                }
            }
        }

        JoinedChannelContextMenu {
            id: channelMenu
            objectName: "channelMenu"
            contextMenuChannelRef: root.conversation
        }
        ParticipantContextMenu {
            id: participantMenu
            objectName: "participantMenu"
            colorSelector: colorSelector
        }
        // The text colour of one participant's lines, chosen by the user.
        // The participant menu sets identity and shows it; the colour dialog
        // (a window of its own) is made only then.
        QtObject {
            id: colorSelector
            objectName: "colorSelector"
            property var identity: null
            property bool visible: false
            onVisibleChanged: {
                if (!visible)
                    return
                visible = false
                colorDialog.active = true
                colorDialog.item.open()
            }
        }
        Loader {
            id: colorDialog
            active: false
            sourceComponent: ColorDialog {
                title: mainApp.languageUpdatedString + qsTr("Change text color")
                onAccepted: {
                    if (colorSelector.identity)
                        colorSelector.identity.chatColor = String(color)
                }
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
            // The newest line stays in view while the reader is at the end:
            // a new line's height is known only once its text is laid out,
            // so the view follows the content's height, not the count.
            property bool followNewest: true
            onMovementEnded: followNewest = atYEnd
            onCountChanged: if (followNewest) Qt.callLater(positionViewAtEnd)
            onContentHeightChanged: if (followNewest) positionViewAtEnd()
            onHeightChanged: if (followNewest) positionViewAtEnd()
            delegate: Text {
                objectName: "messageLine"
                width: messageList.width
                wrapMode: Text.Wrap
                // The message list makes each line one HTML fragment: time,
                // sender and text in the line's colour, peers' text escaped
                // and its web links made anchors.
                textFormat: Text.RichText
                color: model.isSystemMessage ? styleManager.systemMessageTextColor : styleManager.enabledStyle.controlTextColor
                font.family: styleManager.regularFont
                font.italic: !!model.isSystemMessage
                // Rich text takes its links' look from a style sheet only: the
                // style's link colour, without underline, as links show elsewhere.
                text: "<style>a { color: " + styleManager.linkBaseColor + "; text-decoration: none; }</style>"
                      + (model.formattedText !== undefined ? model.formattedText : "")
                onLinkActivated: root.openLink(link)
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
