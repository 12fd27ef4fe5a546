// The menu of the Contacts pane's title.
// Context properties: mainApp, localUser, storageManager.
import QtQuick 2.15
import Settings 1.0
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "HomePane"
    property bool showOfflineFriends: false

    function track(label) {
        mainApp.trackEvent(trackingCategory, label, [])
    }

    DMenuItem {
        objectName: "toggleOfflineFriends"
        text: root.showOfflineFriends ? mainApp.languageUpdatedString + qsTr("HIDE OFFLINE FRIENDS")
                                      : mainApp.languageUpdatedString + qsTr("SHOW OFFLINE FRIENDS")
        onTriggered: {
            var show = !root.showOfflineFriends
            storageManager.setSettingsValue(Settings.SettingsKeyShowOfflineFriends, show)
            root.track(show ? "ShowOfflineFriends" : "HideOfflineFriends")
        }
    }
    DMenuItem {
        objectName: "inviteByEmail"
        text: mainApp.languageUpdatedString + qsTr("ADD FRIENDS VIA EMAIL...")
        onTriggered: { mainApp.showInviteFriendsViaEmail(null); root.track("ShowInviteByEmail") }
    }
    DMenuItem {
        objectName: "findFriends"
        text: mainApp.languageUpdatedString + qsTr("FIND FRIENDS ON TAVRI...")
        onTriggered: { mainApp.showFindUsers(0, null, 0, "", ""); root.track("ShowFindUsers") }
    }
    DMenuItem {
        objectName: "refreshFriends"
        text: mainApp.languageUpdatedString + qsTr("REFRESH")
        onTriggered: { localUser.requestRefreshFriends(); root.track("RefreshFriends") }
    }
}
