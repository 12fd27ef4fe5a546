// The menu of the notifications header: clear all notifications.
// Context properties: mainApp, localUser.
import QtQuick 2.15
import Notification 1.0
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "Notifications"
    // The list whose notifications are cleared; unset, the entry only logs.
    property var notificationsListView: null
    // The header item whose unread count is reset on clearing, when it has one.
    property var headerItem: null

    DMenuItem {
        objectName: "clearAll"
        text: mainApp.languageUpdatedString + qsTr("Clear all notifications")
        onTriggered: {
            if (!root.notificationsListView) {
                console.log("No notifications list to clear... please define notificationsListView")
                return
            }
            var count = root.notificationsListView.count
            localUser.requestMarkAllNotifications(Notification.NotificationStateDeleteRequested)
            if (root.headerItem && root.headerItem.unreadCount !== undefined)
                root.headerItem.unreadCount = 0
            mainApp.trackEvent(root.trackingCategory, "ClearAll", ["count:" + count])
        }
    }
}
