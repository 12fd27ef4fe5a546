// The menu of one participant of a channel or of an invited user.
// Context properties: mainApp, localUser.
import QtQuick 2.15
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "ParticipantContextMenu"
    property string channelURI: ""
    property string userURI: ""
    property string participantURI: ""
    property var channelRef: null
    // The participant's realm identity (a RealmUser).
    property var identityRef: null
    property bool isFriend: false
    property bool isModerator: false
    property bool isOwner: false
    property bool isMuted: false
    property bool localUserIsModerator: false
    property bool isDialIn: false
    // False for a user who was invited and has not joined.
    property bool participantPresent: true
    // The colour picker shown by "Change text color"; it receives the identity.
    property var colorSelector: null

    readonly property bool isSelf: userURI !== "" && userURI === localUser.sipURI

    function track(label) {
        mainApp.trackEvent(trackingCategory, label, [])
    }

    DMenuItem {
        objectName: "startPrivateChat"
        visible: !root.isDialIn && !root.isSelf
        text: mainApp.languageUpdatedString + qsTr("START PRIVATE CHAT")
        onTriggered: { mainApp.requestConversation(root.identityRef ? root.identityRef.sipURI : root.userURI); root.track("StartPrivateChat") }
    }
    DMenuSeparator {
        visible: !root.isDialIn && !root.isSelf
    }
    DMenuItem {
        objectName: "friendship"
        visible: !root.isDialIn && !root.isSelf && root.userURI !== ""
        text: root.isFriend ? mainApp.languageUpdatedString + qsTr("REMOVE AS FRIEND")
                            : mainApp.languageUpdatedString + qsTr("ADD AS FRIEND")
        onTriggered: {
            if (root.isFriend) {
                localUser.requestRemoveFriend(root.userURI)
                root.track("RemoveAsFriend")
            } else {
                localUser.requestAddFriend(root.userURI)
                root.track("AddAsFriend")
            }
        }
    }
    DMenuSeparator {
        visible: !root.isDialIn && !root.isSelf && root.userURI !== ""
    }
    DMenuItem {
        objectName: "viewProfile"
        visible: !root.isDialIn
        text: mainApp.languageUpdatedString + qsTr("VIEW PROFILE...")
        onTriggered: { root.identityRef.showUserDetails(); root.track("ViewProfile") }
    }
    DMenuSeparator {
        visible: !root.isDialIn
    }
    DMenuItem {
        objectName: "muteUser"
        visible: root.participantPresent && !root.isSelf && root.userURI !== ""
        text: root.isMuted ? mainApp.languageUpdatedString + qsTr("UNMUTE USER")
                           : mainApp.languageUpdatedString + qsTr("MUTE USER")
        onTriggered: {
            if (root.isMuted) {
                root.channelRef.unmuteUser(root.identityRef)
                root.track("UnmuteUser")
            } else {
                root.channelRef.muteUser(root.identityRef)
                root.track("MuteUser")
            }
        }
    }
    DMenuItem {
        objectName: "muteUserForEveryone"
        visible: root.participantPresent && root.localUserIsModerator && !root.isSelf
        text: root.isMuted ? mainApp.languageUpdatedString + qsTr("UNMUTE USER FOR EVERYONE")
                           : mainApp.languageUpdatedString + qsTr("MUTE USER FOR EVERYONE")
        onTriggered: {
            if (root.isMuted) {
                root.channelRef.unmuteUser(root.identityRef, true)
                root.track("UnmuteUserForEveryone")
            } else {
                root.channelRef.muteUser(root.identityRef, true)
                root.track("MuteUserForEveryone")
            }
        }
    }
    DMenuItem {
        objectName: "changeTextColor"
        visible: root.participantPresent
        text: mainApp.languageUpdatedString + qsTr("Change text color")
        onTriggered: {
            if (root.colorSelector) {
                root.colorSelector.identity = root.identityRef
                root.colorSelector.visible = true
            }
            root.track("ChangeTextColor")
        }
    }
    DMenuSeparator {
        visible: root.participantPresent && root.localUserIsModerator && !root.isSelf
    }
    DMenuItem {
        objectName: "kickUser"
        visible: root.participantPresent && root.localUserIsModerator && !root.isSelf
        text: mainApp.languageUpdatedString + qsTr("KICK USER")
        onTriggered: { root.channelRef.kickUser(root.identityRef); root.track("KickUser") }
    }
    DMenuItem {
        objectName: "banUser"
        visible: root.participantPresent && root.localUserIsModerator && !root.isSelf
        text: mainApp.languageUpdatedString + qsTr("BAN USER")
        onTriggered: { root.channelRef.banUser(root.identityRef); root.track("BanUser") }
    }
    DMenuItem {
        objectName: "moderatorship"
        visible: root.participantPresent && !root.isOwner && root.localUserIsModerator
        text: root.isModerator ? mainApp.languageUpdatedString + qsTr("REMOVE MODERATOR PRIVILEGES")
                               : mainApp.languageUpdatedString + qsTr("ADD MODERATOR PRIVILEGES")
        onTriggered: {
            if (root.isModerator) {
                root.channelRef.removeModeratorship(root.identityRef)
                root.track("RemoveUserAsModerator")
            } else {
                root.channelRef.addModeratorship(root.identityRef)
                root.track("AddUserAsModerator")
            }
        }
    }
    DMenuItem {
        objectName: "removeInvited"
        visible: !root.participantPresent
        text: mainApp.languageUpdatedString + qsTr("Remove from list")
        onTriggered: root.channelRef.removeInvitedUser(root.participantURI)
    }
}
