// The menu of a joined channel in its conversation window.
// Context properties: mainApp.
import QtQuick 2.15
import FindUsers 1.0
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "JoinedChannelContextMenu"
    property var contextMenuChannelRef: null
    property bool showInviteJoin: true

    readonly property var channel: contextMenuChannelRef
    readonly property bool hasChannel: channel !== null && channel !== undefined
    readonly property bool isEcho: hasChannel && channel.sipURI === mainApp.echoChannel
    readonly property bool isFavorite: hasChannel && channel.isFavorite
    readonly property bool isOwned: hasChannel && channel.isOwned
    readonly property bool isPrivate: hasChannel && channel.isPrivate
    // A group chat has no record at the web service, so it cannot be a favourite.
    readonly property bool canBeFavorite: hasChannel && channel.isPermanent
    readonly property bool moderates: hasChannel && channel.localUserIsModerator

    function track(label) {
        mainApp.trackEvent(trackingCategory, label, [])
    }

    DMenuItem {
        objectName: "inviteJoin"
        visible: !root.isEcho && root.showInviteJoin
        text: mainApp.languageUpdatedString + qsTr("INVITE / JOIN")
        onTriggered: {
            mainApp.showFindUsers(FindUsers.FindUsersForInviteFriendsToChannel, root.channel,
                                  FindUsers.InviteFromJoinedChannel, "", "")
            root.track("InviteAndJoin")
        }
    }
    DMenuItem {
        objectName: "addFavorite"
        visible: root.canBeFavorite && !root.isFavorite && !root.isOwned && !root.isPrivate
        text: mainApp.languageUpdatedString + qsTr("ADD AS FAVORITE")
        onTriggered: { root.channel.isFavorite = true; root.track("AddFavoriteChannel") }
    }
    DMenuItem {
        objectName: "removeFavorite"
        visible: root.isFavorite && !root.isOwned
        text: mainApp.languageUpdatedString + qsTr("REMOVE FROM FAVORITES")
        onTriggered: { root.channel.isFavorite = false; root.track("RemoveFavoriteChannel") }
    }
    DMenuSeparator {
        visible: root.moderates
    }
    DMenuItem {
        objectName: "muteAll"
        visible: root.moderates
        text: mainApp.languageUpdatedString + qsTr("MUTE EVERYONE")
        onTriggered: { root.channel.muteAll(); root.track("MuteAll") }
    }
    DMenuItem {
        objectName: "unmuteAll"
        visible: root.moderates
        text: mainApp.languageUpdatedString + qsTr("UNMUTE EVERYONE")
        onTriggered: { root.channel.unmuteAll(); root.track("UnmuteAll") }
    }
    DMenuItem {
        objectName: "exitChannel"
        text: mainApp.languageUpdatedString + qsTr("EXIT CONVERSATION")
        onTriggered: { root.channel.requestLeaveConversation(true); root.track("ExitChannel") }
    }
    DMenuSeparator {}
    DMenuItem {
        objectName: "viewInfo"
        text: mainApp.languageUpdatedString + qsTr("VIEW INFO...")
        onTriggered: { root.channel.showConversationDetails(); root.track("ViewChannelInfo") }
    }
}
