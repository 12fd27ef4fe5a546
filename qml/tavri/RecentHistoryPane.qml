// The Recent History pane of the main frame: the conversations the user took
// part in, newest first, each with its time span and, for group
// conversations, the people who were there.
// Context properties: mainApp, localUser, styleManager.
import QtQuick 2.15
import Conversation 1.0
import "controls"
import "components"
import "menus"

MainFramePane {
    id: root

    readonly property var recents: localUser.recentConversations
    readonly property alias listView: list

    function entryClicked(conversation, sipURI) {
        if (!conversation)
            return
        if (conversation.joinState === Conversation.NotJoined) {
            mainApp.trackEvent("MainFrame", "RecentChannelJoin", ["channelURI:" + sipURI])
            conversation.requestJoinConversation()
        } else {
            mainApp.trackEvent("MainFrame", "RecentChannelRejoin",
                               ["channelURI:" + sipURI, "s:" + conversation.joinState])
        }
    }
    function timeSpan(joinedAt, leftAt) {
        var text = joinedAt ? Qt.formatDateTime(joinedAt, "MM/dd hh:mm a") : ""
        return text + " ... " + (leftAt ? Qt.formatDateTime(leftAt, "hh:mm a") : "")
    }

    title: mainApp.languageUpdatedString + qsTr("Recent Conversations")
    onTitleClicked: mainApp.trackEvent("MainFrame", "RecentsHeaderClick", [])

    tools: [
        ImageButton {
            objectName: "clearRecentButton"
            width: 20
            height: 20
            normalImage: styleManager.clearAllIcon
            hoverImage: styleManager.clearAllIconHovered
            toolTip: mainApp.languageUpdatedString + qsTr("Clear recent activity")
            onClicked: {
                mainApp.trackEvent("MainFrame", "ClearAllRecentActivity", ["count:" + list.count])
                root.recents.removeAll()
            }
        }
    ]

    RecentActivityEntryContextMenu {
        id: entryMenu
        objectName: "recentEntryMenu"
    }

    ListView {
        id: list
        objectName: "recentList"
        anchors.fill: parent
        anchors.topMargin: 8
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        maximumFlickVelocity: 500
        model: root.recents

        delegate: Column {
            id: entry

            property bool expanded: false
            readonly property var conversation: model.conversationRef
            readonly property string sipURI: conversation ? conversation.sipURI : ""
            readonly property var participants: model.participants
            readonly property int participantCount: participants && participants.visibleCount !== undefined
                                                    ? participants.visibleCount : 0
            readonly property bool isPersonalChat: !!model.isPersonalChat
            readonly property bool canExpand: !isPersonalChat && participantCount > 0

            objectName: "recentEntry"
            width: list.width

            Item {
                id: entryRow
                width: parent.width
                height: 46

                RowHoverHighlight {
                    anchors.fill: parent
                    visible: entryArea.containsMouse
                }
                MouseArea {
                    id: entryArea
                    objectName: "recentEntryArea"
                    anchors.fill: parent
                    hoverEnabled: true
                    acceptedButtons: Qt.LeftButton | Qt.RightButton
                    onClicked: {
                        if (mouse.button === Qt.RightButton) {
                            entryMenu.itemData = {
                                conversationRef: model.conversationRef,
                                displayName: model.displayName,
                                joinedAt: model.joinedAt,
                                logfile: model.logfile
                            }
                            entryMenu.popup()
                            mainApp.trackEvent("MainFrame", "RecentActivityContextMenuOpen", [])
                        } else {
                            root.entryClicked(entry.conversation, entry.sipURI)
                        }
                    }
                }
                Image {
                    id: caret
                    objectName: "recentCaret"
                    anchors.left: parent.left
                    anchors.leftMargin: 2
                    anchors.verticalCenter: parent.verticalCenter
                    width: 12
                    height: 12
                    visible: entry.canExpand
                    source: "qrc:/textures/channel_" + (entry.expanded ? "expand" : "collapse")
                            + (caretArea.containsMouse ? "_hover" : "") + ".png"
                    MouseArea {
                        id: caretArea
                        anchors.fill: parent
                        anchors.margins: -3
                        hoverEnabled: true
                        onClicked: entry.expanded = !entry.expanded
                        DToolTip {
                            text: entry.expanded ? mainApp.languageUpdatedString + qsTr("Click to hide participants")
                                                 : mainApp.languageUpdatedString + qsTr("Click to show participants")
                        }
                    }
                }
                DAvatarImage {
                    id: entryAvatar
                    anchors.left: parent.left
                    anchors.leftMargin: 16
                    anchors.verticalCenter: parent.verticalCenter
                    size: 42
                    showHover: false
                    source: model.profileImageURI !== undefined ? model.profileImageURI : ""
                }
                Column {
                    anchors.left: entryAvatar.right
                    anchors.leftMargin: 8
                    anchors.right: rejoin.visible ? rejoin.left : parent.right
                    anchors.rightMargin: 4
                    anchors.verticalCenter: parent.verticalCenter

                    DLabel {
                        objectName: "recentName"
                        width: parent.width
                        text: model.displayName !== undefined ? model.displayName : ""
                        textFormat: Text.PlainText
                        elide: model.isPersonalChat ? Text.ElideLeft : Text.ElideMiddle
                    }
                    DLabel {
                        width: parent.width
                        text: root.timeSpan(model.joinedAt, model.leftAt)
                        fontSize: styleManager.tinyFontSize
                    }
                }
                ImageButton {
                    id: rejoin
                    objectName: "rejoinButton"
                    anchors.right: parent.right
                    anchors.rightMargin: 2
                    anchors.verticalCenter: parent.verticalCenter
                    width: 40
                    height: 40
                    visible: !!model.canRejoin
                    normalImage: styleManager.startConversationIcon
                    hoverImage: styleManager.startConversationIconHovered
                    toolTip: mainApp.languageUpdatedString + qsTr("Rejoin conversation")
                    onClicked: root.entryClicked(entry.conversation, entry.sipURI)
                }
            }

            Repeater {
                model: entry.expanded && !entry.isPersonalChat ? entry.participants : null

                delegate: Item {
                    id: participantRow

                    objectName: "recentParticipant"
                    width: entry.width
                    height: 24

                    MouseArea {
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: {
                            mainApp.requestConversation(model.realmID, model.userUUID)
                            mainApp.trackEvent("MainFrame", "RecentParticipantClick",
                                               ["remoteUser:" + model.userUUID, "remoteRealm:" + model.realmID])
                        }
                    }
                    DAvatarImage {
                        id: participantAvatar
                        x: 62
                        anchors.verticalCenter: parent.verticalCenter
                        size: participantRow.height - 3
                        radius: 6
                        source: model.profileImageURI !== undefined ? model.profileImageURI : ""
                        name: model.displayName !== undefined ? model.displayName : ""
                        onClicked: mainApp.showRealmUserProfile(model.realmID, model.userUUID)
                    }
                    DLabel {
                        anchors.left: participantAvatar.right
                        anchors.leftMargin: 6
                        anchors.right: chatIcon.left
                        anchors.rightMargin: 4
                        anchors.verticalCenter: parent.verticalCenter
                        text: model.displayName !== undefined ? model.displayName : ""
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                    }
                    // Starts the private chat, as a click on the row does.
                    ImageButton {
                        id: chatIcon
                        anchors.right: parent.right
                        anchors.rightMargin: 6
                        anchors.verticalCenter: parent.verticalCenter
                        width: 20
                        height: 20
                        normalImage: styleManager.startConversationIcon
                        hoverImage: styleManager.startConversationIconHovered
                        toolTip: mainApp.languageUpdatedString + qsTr("Start private chat")
                        onClicked: {
                            mainApp.requestConversation(model.realmID, model.userUUID)
                            mainApp.trackEvent("MainFrame", "RecentParticipantClick",
                                               ["remoteUser:" + model.userUUID, "remoteRealm:" + model.realmID])
                        }
                    }
                }
            }
        }
    }
    ScrollIndicator {
        flickable: list
    }
}
