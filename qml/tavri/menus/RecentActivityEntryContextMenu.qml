// The menu of one entry of the recent conversations.
// Context properties: mainApp.
import QtQuick 2.15
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "RecentActivityEntryContextMenu"
    // The entry: an object with conversationRef, displayName, joinedAt and logfile.
    property var itemData: null

    readonly property var conversation: itemData ? itemData.conversationRef : null

    DMenuItem {
        objectName: "rejoin"
        text: mainApp.languageUpdatedString + qsTr("REJOIN CONVERSATION")
        enabled: root.conversation !== null && root.conversation !== undefined
        onTriggered: {
            root.conversation.requestJoinConversation()
            mainApp.trackEvent(root.trackingCategory, "Rejoin", ["u:" + root.conversation.sipURI])
        }
    }
    DMenuItem {
        objectName: "viewLog"
        text: mainApp.languageUpdatedString + qsTr("VIEW LOG")
        enabled: root.itemData !== null && !!root.itemData.logfile
        onTriggered: {
            var name = root.conversation ? root.conversation.displayName : root.itemData.displayName
            mainApp.showChatLog(root.itemData.logfile,
                                ["Log: ", name, " @ ",
                                 Qt.formatDateTime(root.itemData.joinedAt, "yyyy/MM/dd hh:mm a")].join(""))
            mainApp.trackEvent(root.trackingCategory, "ViewLog", [])
        }
    }
}
