// The presence menu: online, away, appear offline and the status-message
// editor. With useStatusTexts the first two entries show the local user's
// own status texts (the main frame's header and its "Set Status" submenu);
// otherwise they read "ONLINE" and "AWAY".
// Context properties: mainApp, localUser, styleManager.
import QtQuick 2.15
import RealmUser 1.0
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "LocalUserPresenceMenu"
    property bool useStatusTexts: false

    function track(label) {
        mainApp.trackEvent(trackingCategory, label, [])
    }
    function setPresence(state, label) {
        localUser.presenceState = state
        track(label)
    }

    DMenuItem {
        objectName: "presenceOnline"
        text: root.useStatusTexts ? localUser.onlineStatus : mainApp.languageUpdatedString + qsTr("ONLINE")
        bubbleColor: styleManager.presenceOnlineColor
        onTriggered: root.setPresence(RealmUser.Online, "SetOnline")
    }
    DMenuItem {
        objectName: "presenceAway"
        text: root.useStatusTexts ? localUser.awayStatus : mainApp.languageUpdatedString + qsTr("AWAY")
        bubbleColor: styleManager.presenceAwayColor
        onTriggered: root.setPresence(RealmUser.Away, "SetAway")
    }
    DMenuItem {
        objectName: "presenceOffline"
        text: mainApp.languageUpdatedString + qsTr("APPEAR OFFLINE")
        bubbleColor: "grey"
        onTriggered: root.setPresence(RealmUser.Offline, "SetAppearOffline")
    }
    DMenuSeparator {}
    DMenuItem {
        objectName: "editStatusMessages"
        text: mainApp.languageUpdatedString + qsTr("EDIT STATUS MESSAGES...")
        onTriggered: {
            mainApp.showEditPresenceMessages()
            root.track("EditStatusMessages")
        }
    }
}
