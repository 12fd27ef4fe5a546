// The Channels pane of the main frame: the local user's channel tree, with
// the channel search, channel creation and a pop-up of a channel's
// participants.
// Context properties: mainApp, localUser, findChannels, styleManager,
// mainViewer.
import QtQuick 2.15
import Conversation 1.0
import "controls"
import "components"
import "menus"

MainFramePane {
    id: root

    readonly property alias listView: list

    function channelClicked(conversation, sipURI) {
        if (!conversation)
            return
        if (conversation.joinState === Conversation.NotJoined) {
            mainApp.trackEvent("MainFrame", "RequestChannelJoin", ["channelURI:" + sipURI])
            conversation.requestJoinConversation()
        } else {
            mainApp.trackEvent("MainFrame", "RequestChannelRejoin",
                               ["channelURI:" + sipURI, "s:" + conversation.joinState])
        }
    }
    function showChannelMenu(row) {
        // A joined channel offers what one does inside it, not "Join channel".
        var conversation = row.conversationRef || null
        if (conversation && conversation.joinState !== Conversation.NotJoined) {
            joinedChannelMenu.contextMenuChannelRef = conversation
            joinedChannelMenu.popup()
            return
        }
        channelMenu.sipURI = row.sipURI || ""
        channelMenu.conversationRef = row.conversationRef || null
        channelMenu.isOwned = !!row.isOwned
        channelMenu.isFavorited = !!row.isFavorited
        channelMenu.hasSubchannels = !!row.hasChildren
        channelMenu.popup()
    }
    // Shows the participants of the row under the pointer, below the row.
    function showParticipants(rowItem, participants, pointerX) {
        // An open menu keeps the pointer: no pop-up over it.
        if (root.menuOpen)
            return
        participantsPopup.model = participants
        if (!participants || participants.count === undefined || participants.count <= 0)
            return
        var inWindow = rowItem.mapToItem(null, 0, 0)
        participantsPopup.x = (mainViewer ? mainViewer.x : 0) + inWindow.x + pointerX
        participantsPopup.y = (mainViewer ? mainViewer.y : 0) + inWindow.y + rowItem.height - 10
        participantsPopup.show()
    }

    title: mainApp.languageUpdatedString + qsTr("Channels")
    onTitleClicked: {
        channelsHeaderMenu.popup()
        mainApp.trackEvent("MainFrame", "ChannelsHeaderClick", [])
    }

    tools: [
        ImageButton {
            objectName: "findChannelsButton"
            width: 24
            height: 24
            normalImage: styleManager.findChannelsIcon
            hoverImage: styleManager.findChannelsIconHovered
            toolTip: mainApp.languageUpdatedString + qsTr("Find Channels")
            onClicked: {
                if (mouse.modifiers & Qt.AltModifier) {
                    mainApp.showPostCallSurvey()
                } else {
                    findChannels.showChannelSearch()
                    mainApp.trackEvent("MainFrame", "FindMoreFavoriteChannels", [])
                }
            }
        },
        ImageButton {
            objectName: "createChannelButton"
            width: 24
            height: 24
            normalImage: styleManager.addChannelIcon
            hoverImage: styleManager.addChannelIconHovered
            toolTip: mainApp.languageUpdatedString + qsTr("Create a new Channel")
            onClicked: {
                mainApp.showCreateChannel("")
                mainApp.trackEvent("MainFrame", "CreateNewChannelContextMenu", [])
            }
        }
    ]

    // While a menu of this pane is open the participants pop-up stays away:
    // it would cover the menu, and miss the pointer leaving it.
    property bool menuOpen: false
    function menuShown() {
        menuOpen = true
        hideTimer.stop()
        participantsPopup.hide()
    }

    OwnedChannelsHeaderContextMenu {
        id: channelsHeaderMenu
        objectName: "channelsHeaderMenu"
        onAboutToShow: root.menuShown()
        onAboutToHide: root.menuOpen = false
    }
    PermanentConversationItemContextMenu {
        id: channelMenu
        objectName: "channelMenu"
        onAboutToShow: root.menuShown()
        onAboutToHide: root.menuOpen = false
    }
    JoinedChannelContextMenu {
        id: joinedChannelMenu
        objectName: "joinedChannelMenu"
    }
    ParticipantsPopup {
        id: participantsPopup
        objectName: "participantsPopup"
        onPointerLeft: hideTimer.restart()
    }
    // Hides the pop-up once neither it nor a row holds the pointer.
    Timer {
        id: hideTimer
        interval: 10
        onTriggered: {
            if (!participantsPopup.containsPointer && list.currentIndex < 0)
                participantsPopup.hide()
        }
    }

    ListView {
        id: list
        objectName: "channelsList"
        anchors.fill: parent
        anchors.topMargin: 8
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        maximumFlickVelocity: 500
        currentIndex: -1
        highlightFollowsCurrentItem: false
        model: localUser.permanentConversations

        delegate: Item {
            id: channelRow

            objectName: "channelRow"
            width: list.width
            height: 46

            PermanentConversationTreeItemDelegate {
                id: channelDelegate
                anchors.fill: parent
                conversationList: list.model
                showToolbarOnHover: true
                showDefaultToolbar: false
                showEditButton: true
                showLinkButton: true
                onItemClicked: {
                    if (mouse.button === Qt.RightButton)
                        root.showChannelMenu(model)
                    else
                        root.channelClicked(model.conversationRef, model.sipURI)
                }
                onEditClicked: {
                    if (model.conversationRef)
                        model.conversationRef.showEditProperties()
                }
                onHoveredChanged: {
                    if (hovered) {
                        list.currentIndex = index
                    } else if (list.currentIndex === index) {
                        list.currentIndex = -1
                        hideTimer.restart()
                    }
                }
                // Only the participants area of the row opens the pop-up.
                onParticipantsHoveredChanged: {
                    if (!participantsHovered)
                        return
                    var conversation = model.conversationRef
                    root.showParticipants(channelRow, conversation ? conversation.participants : null,
                                          pointerX)
                }
            }
        }
    }
    ScrollIndicator {
        flickable: list
    }

    DLabel {
        objectName: "noChannels"
        anchors.centerIn: parent
        width: parent.width - 20
        visible: list.count === 0
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        text: mainApp.languageUpdatedString + qsTr("Click on the add channel icon to create a root channel")
    }
}
