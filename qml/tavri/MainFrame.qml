// The main frame: the local user's header with the pane buttons and the
// notifications, and below it one of four panes (Channels, Contacts, Add
// Contacts, Recent History). Every load starts on Channels.
// Context properties: mainApp (TavriApplication), localUser (LocalUser),
// storageManager (Settings), localUserNotifications (NotificationList),
// findChannels (FindChannels), styleManager (the style object), mainViewer
// (QQuickView, this window), findInstance (the friend search, FindUsers).
import QtQuick 2.15
import Settings 1.0
import RealmUser 1.0
import Notification 1.0
import Conversation 1.0
import "controls"
import "components"
import "menus"

DTitledWindow {
    id: root

    // The sum of the visible children's heights of the content column; the
    // application asks for it again on every visibility change.
    property real contentHeight: 0
    // The pane on show.
    property Item currentPane: channelsPane

    function visibleChildrenHeight() {
        var sum = 0
        for (var i = 0; i < contentColumn.children.length; ++i) {
            var child = contentColumn.children[i]
            if (child.visible)
                sum += child.height
        }
        return sum
    }
    function childHeightChanged() {
        contentHeight = visibleChildrenHeight()
    }
    function recheckHeight() {
        contentHeight = visibleChildrenHeight() + 0.01
    }
    // Shows `pane` and hides every other pane.
    function showContentPane(pane) {
        for (var i = 0; i < contentPane.panes.length; ++i)
            contentPane.panes[i].visible = contentPane.panes[i] === pane
        currentPane = pane
    }

    objectName: "mainFrame"
    title: ""
    showMinimize: true
    showContextMenuButton: true
    showSettings: true
    minimumWidth: 325
    minimumHeight: 600
    trackingCategory: "MainFrame"
    titleBarHeight: 30
    // Closing only hides the frame: the program keeps running in the tray.
    // A desktop without a tray has no way back to a hidden frame: there
    // closing minimises it.
    closeOnEscape: false
    hideOnClose: mainApp.trayIconShown
    closeToolTip: mainApp.languageUpdatedString + (mainApp.trayIconShown ? qsTr("Click to minimize to system tray")
                                                                         : qsTr("Click to minimize to taskbar"))
    minimizeToolTip: mainApp.languageUpdatedString + qsTr("Click to minimize to taskbar")
    settingsToolTip: mainApp.languageUpdatedString + qsTr("Settings")
    contextMenuToolTip: mainApp.languageUpdatedString + qsTr("Click here for menu")
    contextMenu: LocalUserContextMenu {
        objectName: "localUserContextMenu"
    }
    onSettingsClicked: {
        mainApp.showGeneralSettings(0)
        mainApp.trackEvent("MainFrame", "SettingsClick", [])
    }
    onMinimizeClicked: mainApp.trackEvent("MainFrame", "minimizeClick", [])

    Connections {
        target: mainApp
        function onNoUpdateAvailable() {
            root.title = mainApp.languageUpdatedString + qsTr("Tavri is up to date")
            upToDateTimer.restart()
        }
    }
    Timer {
        id: upToDateTimer
        objectName: "upToDateTimer"
        interval: 2000
        onTriggered: root.title = ""
    }

    Item {
        id: contentColumn
        anchors.fill: parent

        MainFrameHeader {
            id: header
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            panes: contentPane.panes
            currentPane: root.currentPane
            onPaneClicked: root.showContentPane(pane)
            onHeightChanged: root.childHeightChanged()
        }

        Item {
            id: contentPane
            objectName: "contentPane"

            readonly property var panes: [channelsPane, contactsPane, addContactsPane, recentPane]

            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: header.bottom
            anchors.bottom: parent.bottom
            height: Math.max(240, contentColumn.height - header.height)
            clip: true
            onHeightChanged: root.childHeightChanged()

            // The gradient runs across the width: a rectangle turned by 270
            // degrees, its width and height swapped.
            Rectangle {
                anchors.centerIn: parent
                width: parent.height
                height: parent.width
                rotation: 270
                gradient: Gradient {
                    GradientStop {
                        position: styleManager.mainFrameContentBackgroundGradientPosition0
                        color: styleManager.mainFrameContentBackgroundGradientColor0
                    }
                    GradientStop {
                        position: styleManager.mainFrameContentBackgroundGradientPosition1
                        color: styleManager.mainFrameContentBackgroundGradientColor1
                    }
                    GradientStop {
                        position: styleManager.mainFrameContentBackgroundGradientPosition2
                        color: styleManager.mainFrameContentBackgroundGradientColor2
                    }
                }
            }

            ChannelsPane {
                id: channelsPane
                objectName: "channelsPane"
                anchors.fill: parent
                visible: true
            }
            ContactsPane {
                id: contactsPane
                objectName: "contactsPane"
                anchors.fill: parent
                visible: false
                onAddContactRequested: root.showContentPane(addContactsPane)
            }
            AddContactsPane {
                id: addContactsPane
                objectName: "addContactsPane"
                anchors.fill: parent
                visible: false
            }
            RecentHistoryPane {
                id: recentPane
                objectName: "recentPane"
                anchors.fill: parent
                visible: false
            }
        }
    }
}
