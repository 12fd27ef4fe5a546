// The menu of one contact: private chat, chat logs, profile and unfriending.
// A contact known in two or more realms gets one chat and one profile entry
// per realm identity, in submenus.
// Context properties: mainApp, localUser.
import QtQuick 2.15
import QtQml.Models 2.15
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "friendContextMenu"
    // The contact's built-in realm address; empty for contacts of other realms.
    property string friendUri: ""
    property string realmID: ""
    property string userUUID: ""
    // The contact's realm identities (a list model with visibleCount), or null.
    property var identities: null

    readonly property int identityCount: identities && identities.visibleCount !== undefined
                                         ? identities.visibleCount : 0
    readonly property bool perIdentity: identityCount >= 2
    readonly property var logFiles: realmID !== "" && userUUID !== ""
                                    ? mainApp.getChatLogFileList(realmID, userUUID) : []

    function track(label, params) {
        mainApp.trackEvent(trackingCategory, label, params)
    }
    function startChat(realm, uuid, remote) {
        mainApp.requestConversation(realm, uuid)
        track("RequestConversationContextMenu", ["remoteUser:" + remote, "realm:" + realm])
    }
    function viewProfile(realm, uuid) {
        mainApp.showRealmUserProfile(realm, uuid)
        track("ViewUserProfileContextMenu", ["remoteUser:" + uuid, "realm:" + realm])
    }
    function logTime(item) {
        return Qt.formatDateTime(item.timestamp, "yyyy/MM/dd hh:mm a")
    }

    DMenuItem {
        objectName: "startChat"
        visible: !root.perIdentity
        text: mainApp.languageUpdatedString + qsTr("START PRIVATE CHAT...")
        onTriggered: root.startChat(root.realmID, root.userUUID, root.friendUri !== "" ? root.friendUri : root.userUUID)
    }
    DMenu {
        id: chatMenu
        objectName: "startChatMenu"
        visible: root.perIdentity
        title: mainApp.languageUpdatedString + qsTr("START PRIVATE CHAT...")
        Instantiator {
            model: root.perIdentity ? root.identities : null
            delegate: DMenuItem {
                text: mainApp.languageUpdatedString + qsTr("...ON %1...").arg(model.realmDisplayName)
                onTriggered: root.startChat(model.realmID, model.userUUID, model.sipURI)
            }
            onObjectAdded: chatMenu.insertItem(index, object)
            onObjectRemoved: chatMenu.removeItem(object)
        }
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
                                                 ["Log: ", root.userUUID, " @ ", root.logTime(modelData)].join(""))
            }
            onObjectAdded: logsMenu.insertItem(index, object)
            onObjectRemoved: logsMenu.removeItem(object)
        }
    }
    DMenuSeparator {}
    DMenuItem {
        objectName: "viewProfile"
        visible: !root.perIdentity
        text: mainApp.languageUpdatedString + qsTr("VIEW PROFILE...")
        onTriggered: root.viewProfile(root.realmID, root.userUUID)
    }
    DMenu {
        id: profileMenu
        objectName: "viewProfileMenu"
        visible: root.perIdentity
        title: mainApp.languageUpdatedString + qsTr("VIEW PROFILE...")
        Instantiator {
            model: root.perIdentity ? root.identities : null
            delegate: DMenuItem {
                text: mainApp.languageUpdatedString + qsTr("...ON %1...").arg(model.realmDisplayName)
                onTriggered: root.viewProfile(model.realmID, model.userUUID)
            }
            onObjectAdded: profileMenu.insertItem(index, object)
            onObjectRemoved: profileMenu.removeItem(object)
        }
    }
    DMenuSeparator {
        visible: root.friendUri !== ""
    }
    DMenuItem {
        objectName: "removeFriend"
        visible: root.friendUri !== ""
        text: mainApp.languageUpdatedString + qsTr("REMOVE FRIEND")
        onTriggered: {
            localUser.requestRemoveFriend(root.friendUri)
            // The list form: QML cannot pass a script object as the
            // application's map of texts.
            root.track("RemoveFriend", ["remoteUser:" + root.friendUri])
        }
    }
}
