// The menu of one channel of the channel tree.
// Context properties: mainApp.
import QtQuick 2.15
import QtQml.Models 2.15
import FindUsers 1.0
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "permanentConversationListContextMenu"
    property string sipURI: ""
    property var conversationRef: null
    property bool isOwned: false
    property bool isFavorited: false
    property bool hasSubchannels: false

    readonly property var logFiles: conversationRef ? conversationRef.getChatLogFileList() : []

    function track(label, params) {
        mainApp.trackEvent(trackingCategory, label, params !== undefined ? params : ["channel:" + sipURI])
    }
    function logTime(item) {
        return Qt.formatDateTime(item.timestamp, "yyyy/MM/dd hh:mm a")
    }

    DMenuItem {
        objectName: "joinChannel"
        text: mainApp.languageUpdatedString + qsTr("JOIN CHANNEL")
        onTriggered: { root.conversationRef.requestJoinConversation(); root.track("JoinOwnedChannelContextMenu") }
    }
    DMenu {
        id: logsMenu
        objectName: "viewLogsMenu"
        title: mainApp.languageUpdatedString + qsTr("VIEW LOGS")
        Instantiator {
            model: root.logFiles
            delegate: DMenuItem {
                text: root.logTime(modelData)
                onTriggered: mainApp.showChatLog(modelData.filename,
                                                 ["Log: ", root.conversationRef ? root.conversationRef.displayName : "",
                                                  " @ ", root.logTime(modelData)].join(""))
            }
            onObjectAdded: logsMenu.insertItem(index, object)
            onObjectRemoved: logsMenu.removeItem(object)
        }
    }
    DMenuSeparator {}
    DMenu {
        objectName: "shareMenu"
        title: mainApp.languageUpdatedString + qsTr("SHARE")
        DMenuItem {
            objectName: "shareInviteJoin"
            text: mainApp.languageUpdatedString + qsTr("INVITE / JOIN")
            onTriggered: {
                mainApp.showFindUsers(FindUsers.FindUsersForInviteFriendsToChannel, root.conversationRef,
                                      FindUsers.InviteFromChannel, "", "")
                root.track("ShowInviteToOwnedChannel")
            }
        }
        DMenuItem {
            objectName: "shareEmail"
            text: mainApp.languageUpdatedString + qsTr("VIA EMAIL...")
            onTriggered: {
                mainApp.showInviteFriendsViaEmail(root.conversationRef)
                mainApp.trackEvent("HomePane", "ShowShareOwnedChannelViaEmail", ["channel:" + root.sipURI])
            }
        }
        DMenuItem {
            objectName: "shareLink"
            text: mainApp.languageUpdatedString + qsTr("VIA LINK (copied to clipboard)")
            onTriggered: {
                mainApp.copyChannelLinkToClipboard(root.conversationRef)
                mainApp.trackEvent("HomePane", "CopyOwnedChannelToClipboard", ["channel:" + root.sipURI])
            }
        }
    }
    DMenuSeparator {
        visible: root.isOwned
    }
    DMenuItem {
        objectName: "editChannel"
        visible: root.isOwned
        text: mainApp.languageUpdatedString + qsTr("EDIT CHANNEL...")
        onTriggered: { root.conversationRef.showEditProperties(); root.track("EditChannelContextMenu") }
    }
    DMenuItem {
        objectName: "deleteChannel"
        visible: root.isOwned && !root.hasSubchannels
        text: mainApp.languageUpdatedString + qsTr("DELETE CHANNEL")
        onTriggered: { root.conversationRef.requestDelete(); root.track("DeleteChannelContextMenu") }
    }
    DMenuItem {
        objectName: "addSubchannel"
        visible: root.isOwned
        text: mainApp.languageUpdatedString + qsTr("ADD SUBCHANNEL...")
        onTriggered: {
            mainApp.showCreateChannel(root.sipURI)
            root.track("AddChannelContextMenu", ["parentChannel:" + root.sipURI])
        }
    }
    DMenuSeparator {}
    DMenuItem {
        objectName: "viewInfo"
        text: mainApp.languageUpdatedString + qsTr("VIEW INFO...")
        onTriggered: { root.conversationRef.showConversationDetails(); root.track("ViewChannelInfo") }
    }
    DMenuSeparator {
        visible: root.isFavorited
    }
    DMenuItem {
        objectName: "removeFavorite"
        visible: root.isFavorited
        text: mainApp.languageUpdatedString + qsTr("REMOVE FROM FAVORITES")
        onTriggered: { root.conversationRef.isFavorite = false; root.track("RemoveFavoriteChannelContextMenu") }
    }
}
