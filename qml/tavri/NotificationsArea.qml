// The notifications of the main frame's header: the update row and the list
// of the local user's notifications with their menu.
// Context properties: mainApp, localUser, storageManager,
// localUserNotifications, styleManager.
import QtQuick 2.15
import Settings 1.0
import Notification 1.0
import "controls"
import "components"
import "menus"

Item {
    id: root

    readonly property bool expanded: true
    readonly property int notificationListViewHeight: {
        if (typeof storageManager === "undefined" || !storageManager)
            return 80
        var stored = Number(storageManager.getSettingsValue(Settings.SettingsKeyNotificationsPaneHeight, 80))
        return isNaN(stored) || stored <= 0 ? 80 : stored
    }
    // Once closed, the update row stays hidden while this frame is loaded.
    property bool updateRowClosed: false
    readonly property bool updateRowShown: !updateRowClosed
                                           && (mainApp.availableUpdateMessage !== ""
                                               || mainApp.availableUpdateVersion !== "")
    readonly property alias listView: list
    readonly property alias count: list.count

    // The friend request types. The notification model may name no separate
    // invitation type; then only "friended" counts.
    function isFriendType(type) {
        return type === Notification.NotificationTypeFriended
               || (Notification.NotificationTypeFriendInvite !== undefined
                   && type === Notification.NotificationTypeFriendInvite)
    }
    // The addresses a custom action opens: each "u" value, with "http://" put
    // in front when it names no scheme. Only web addresses are opened: the
    // action comes from the web service, and another scheme (file:, smb:, a
    // custom handler) would reach programs and files of this machine.
    function customActionUrls(action) {
        var urls = []
        var pieces = String(action).split(";")
        for (var i = 0; i < pieces.length; ++i) {
            var colon = pieces[i].indexOf(":", 1)
            if (colon < 0)
                continue
            var key = pieces[i].substring(0, colon)
            var value = pieces[i].substring(colon + 1)
            if (key !== "u" || value === "")
                continue
            if (!/^.{1,5}s?:\/\//.test(value))
                value = "http://" + value
            if (!/^https?:\/\//i.test(value)) {
                console.log("NotificationsArea: custom action address ignored, not a web address:", value)
                continue
            }
            urls.push(value)
        }
        return urls
    }
    // A left click on a row's text.
    function activate(row) {
        var uid = row.notificationUID
        if (isFriendType(row.notificationType) && row.senderURI) {
            localUser.requestAddFriend(row.senderURI)
            mainApp.trackEvent("Notifications", "AddFriend",
                               ["remote:" + row.senderURI, "type:" + row.notificationType, "nid:" + uid])
        } else if (row.channelRef) {
            row.channelRef.requestJoinConversation()
            mainApp.trackEvent("Notifications", "JoinChannel", ["channel:" + row.channelRef.sipURI, "nid:" + uid])
        } else if (row.customAction) {
            var urls = customActionUrls(row.customAction)
            for (var i = 0; i < urls.length; ++i) {
                Qt.openUrlExternally(urls[i])
                mainApp.trackEvent("Notifications", "CustomAction", ["nuid:" + uid, "u:" + urls[i]])
            }
        }
        localUser.requestMarkNotification(uid, Notification.NotificationStateRead, true)
    }
    // A right click on a row's text, or its menu button.
    function openMenu(row, label) {
        notificationMenu.fill(row)
        notificationMenu.popup()
        localUser.requestMarkNotification(row.notificationUID, Notification.NotificationStateRead)
        mainApp.trackEvent("Notifications", label, ["nid:" + row.notificationUID])
    }
    function openUpdateLink(label) {
        Qt.openUrlExternally(mainApp.availableUpdateLink)
        mainApp.trackEvent("Notifications", label, ["link:" + mainApp.availableUpdateLink])
    }

    height: notificationListViewHeight + (updateRowShown ? 20 : 0)

    Image {
        anchors.fill: parent
        source: styleManager.notificationFrameBackgroundFill
        fillMode: Image.Stretch
    }

    NotificationContextMenu {
        id: notificationMenu
        objectName: "notificationMenu"
    }

    Item {
        id: updateRow
        objectName: "updateRow"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: root.updateRowShown ? 20 : 0
        visible: root.updateRowShown

        Image {
            id: updateIcon
            objectName: "updateIcon"
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            width: 16
            height: 16
            source: "qrc:/textures/icon_update_available.png"
            opacity: updateIconArea.containsMouse ? 1.0 : 0.7
            MouseArea {
                id: updateIconArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: root.openUpdateLink("UpdateImageClick")
            }
        }
        DLabel {
            objectName: "updateLink"
            anchors.left: updateIcon.right
            anchors.leftMargin: 6
            anchors.right: updateClose.left
            anchors.verticalCenter: parent.verticalCenter
            text: mainApp.languageUpdatedString + qsTr("Update is available!")
            color: "white"
            elide: Text.ElideRight
            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: root.openUpdateLink("UpdateLinkClick")
            }
        }
        Image {
            id: updateClose
            objectName: "updateClose"
            anchors.right: parent.right
            anchors.rightMargin: 4
            anchors.verticalCenter: parent.verticalCenter
            width: 12
            height: 12
            source: "qrc:/textures/icon_close_main.png"
            opacity: updateCloseArea.containsMouse ? 1.0 : 0.7
            MouseArea {
                id: updateCloseArea
                anchors.fill: parent
                anchors.margins: -3
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: {
                    root.updateRowClosed = true
                    mainApp.trackEvent("Notifications", "UpdateCloseClick", ["link:" + mainApp.availableUpdateLink])
                }
            }
        }
    }

    ListView {
        id: list
        objectName: "notificationsList"
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.right: parent.right
        anchors.top: updateRow.bottom
        anchors.bottom: parent.bottom
        topMargin: 4
        bottomMargin: 4
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: localUserNotifications

        delegate: Item {
            id: row

            // The row's roles, as the menu and the click handler read them.
            readonly property var rowData: ({
                notificationType: model.notificationType,
                notificationUID: model.notificationUID,
                senderURI: model.senderURI,
                channelURI: model.channelURI,
                senderRef: model.senderRef,
                channelRef: model.channelRef,
                customAction: model.customAction
            })
            readonly property bool clickable: root.isFriendType(model.notificationType) || !!model.channelRef
                                              || !!model.channelURI

            objectName: "notificationRow"
            width: list.width - 6
            height: Math.max(messageText.implicitHeight, 18) + 2

            DLabel {
                id: timeLabel
                anchors.left: parent.left
                anchors.top: parent.top
                width: 52
                text: model.sentAt ? Qt.formatDateTime(model.sentAt, "MM/dd hh:mm") : ""
                font.letterSpacing: -0.5
                font.pointSize: styleManager.timestampFontSize
                color: "#cccccc"
            }
            DLabel {
                id: messageText
                objectName: "notificationText"
                anchors.left: timeLabel.right
                anchors.leftMargin: 12
                anchors.right: menuButton.left
                anchors.rightMargin: 2
                anchors.top: parent.top
                // Names and texts of other users are in the sentence: shown as
                // plain text, so no markup of theirs is interpreted.
                text: model.defaultMessage !== undefined ? model.defaultMessage : ""
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                color: row.clickable && messageArea.containsMouse ? styleManager.menuItemHighlightColor : "white"
                font.underline: row.clickable && messageArea.containsMouse
                MouseArea {
                    id: messageArea
                    objectName: "notificationTextArea"
                    anchors.fill: parent
                    hoverEnabled: true
                    acceptedButtons: Qt.LeftButton | Qt.RightButton
                    onClicked: {
                        if (mouse.button === Qt.RightButton)
                            root.openMenu(row.rowData, "openContextMenu")
                        else
                            root.activate(row.rowData)
                    }
                    DToolTip {
                        text: model.customMessage ? model.customMessage
                                                  : mainApp.languageUpdatedString + qsTr("Right click for options")
                    }
                }
            }
            DButtonContextMenu {
                id: menuButton
                objectName: "notificationMenuButton"
                anchors.right: parent.right
                anchors.top: parent.top
                width: 18
                height: 18
                onClicked: root.openMenu(row.rowData, "openContextMenuBtn")
            }
        }
    }
    ScrollIndicator {
        flickable: list
    }

    DLabel {
        objectName: "noNotifications"
        anchors.centerIn: parent
        visible: list.count === 0 && !root.updateRowShown
        text: "* No new notifications"
        color: "white"
    }
}
