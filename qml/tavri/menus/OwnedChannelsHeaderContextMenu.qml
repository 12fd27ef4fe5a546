// The menu of the Channels pane's title.
// Context properties: mainApp, localUser.
import QtQuick 2.15
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "HomePane"

    DMenuItem {
        objectName: "newChannel"
        text: mainApp.languageUpdatedString + qsTr("NEW CHANNEL...")
        onTriggered: {
            mainApp.showCreateChannel("")
            mainApp.trackEvent(root.trackingCategory, "CreateNewChannelContextMenu", [])
        }
    }
    DMenuItem {
        objectName: "refreshChannels"
        text: mainApp.languageUpdatedString + qsTr("REFRESH")
        onTriggered: {
            localUser.requestRefreshOwnedChannels()
            localUser.requestRefreshFavorites()
            mainApp.trackEvent(root.trackingCategory, "RefreshChannels", [])
        }
    }
}
