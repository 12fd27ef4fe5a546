// The menu of one notification of the main frame. One menu serves the whole
// list: showFor() fills it from a row before it pops up.
// Context properties: mainApp, localUser.
import QtQuick 2.15
import Notification 1.0
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "Notifications"
    property int notificationType: 0
    property string senderURI: ""
    property string channelURI: ""
    property string notificationUID: ""
    property var senderRef: null
    property var channelRef: null

    readonly property bool isFriendType: notificationType === Notification.NotificationTypeFriended
                                         || (Notification.NotificationTypeFriendInvite !== undefined
                                             && notificationType === Notification.NotificationTypeFriendInvite)
    readonly property bool hasChannel: channelRef !== null && channelRef !== undefined

    // Takes the state of one row (an object with the notification roles).
    function fill(row) {
        notificationType = row.notificationType || 0
        senderURI = row.senderURI || ""
        channelURI = row.channelURI || ""
        notificationUID = row.notificationUID || ""
        senderRef = row.senderRef || null
        channelRef = row.channelRef || null
    }
    function senderParams() {
        return ["remote:" + senderURI, "type:" + notificationType, "nid:" + notificationUID]
    }
    function markRead() {
        localUser.requestMarkNotification(notificationUID, Notification.NotificationStateRead, true)
    }
    function track(label, params) {
        mainApp.trackEvent(trackingCategory, label, params)
    }

    DMenuItem {
        objectName: "addFriend"
        visible: root.isFriendType && root.senderURI !== ""
        text: mainApp.languageUpdatedString + qsTr("Add as friend")
        onTriggered: {
            localUser.requestAddFriend(root.senderURI)
            root.markRead()
            root.track("AddFriend", root.senderParams())
        }
    }
    DMenuItem {
        objectName: "removeFriend"
        visible: root.notificationType === Notification.NotificationTypeUnfriended
        text: mainApp.languageUpdatedString + qsTr("Remove as friend")
        onTriggered: {
            localUser.requestRemoveFriend(root.senderURI)
            root.markRead()
            root.track("RemoveFriend", root.senderParams())
        }
    }
    DMenuItem {
        objectName: "viewSender"
        visible: root.senderURI !== ""
        text: mainApp.languageUpdatedString + qsTr("View sender profile...")
        onTriggered: {
            mainApp.showUserProfileByURI(root.senderURI)
            root.track("ViewUserProfile", root.senderParams())
        }
    }
    DMenuItem {
        objectName: "chatWithSender"
        visible: root.senderURI !== "" && root.senderURI !== localUser.sipURI
        text: mainApp.languageUpdatedString + qsTr("Private Chat with Sender")
        onTriggered: {
            mainApp.requestConversation(root.senderURI)
            root.track("StartChat", root.senderParams())
        }
    }
    DMenuItem {
        objectName: "joinChannel"
        visible: root.hasChannel
        text: mainApp.languageUpdatedString + qsTr("Join channel")
        onTriggered: {
            root.channelRef.requestJoinConversation()
            root.markRead()
            root.track("JoinChannel", ["channel:" + root.channelURI, "nid:" + root.notificationUID])
        }
    }
    DMenuItem {
        objectName: "viewChannel"
        visible: root.channelURI !== "" && root.hasChannel
        text: mainApp.languageUpdatedString + qsTr("View Channel Details...")
        onTriggered: {
            root.channelRef.showConversationDetails()
            root.track("ViewChannelProfile", ["remote:" + root.channelURI, "type:" + root.notificationType,
                                              "nid:" + root.notificationUID])
        }
    }
    DMenuSeparator {}
    DMenuItem {
        objectName: "deleteNotification"
        text: mainApp.languageUpdatedString + qsTr("Delete notification")
        onTriggered: {
            localUser.requestMarkNotification(root.notificationUID, Notification.NotificationStateDeleteRequested,
                                              true)
            root.track("DeleteNotification", ["nid:" + root.notificationUID])
        }
    }
}
