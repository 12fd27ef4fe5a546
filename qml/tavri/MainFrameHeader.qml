// The main frame's header: the local user's picture, name, presence and
// presence message, the skin and report buttons, the four pane buttons and
// the notifications.
// Context properties: mainApp, localUser, styleManager.
import QtQuick 2.15
import RealmUser 1.0
import Notification 1.0
import "controls"
import "menus"

Item {
    id: root

    // The four panes, in the order of the buttons, and the one on show.
    property var panes: []
    property Item currentPane: null

    signal paneClicked(Item pane)

    function tileTip(index) {
        switch (index) {
        case 0: return qsTr("Channels")
        case 1: return qsTr("Contacts")
        case 2: return qsTr("Add Contacts")
        default: return qsTr("Recent History")
        }
    }

    implicitHeight: column.implicitHeight + 2 * column.anchors.margins
    height: implicitHeight

    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop {
                position: styleManager.mainFrameHeaderBackgroundGradientPosition0
                color: styleManager.mainFrameHeaderBackgroundGradientColor0
            }
            GradientStop {
                position: styleManager.mainFrameHeaderBackgroundGradientPosition1
                color: styleManager.mainFrameHeaderBackgroundGradientColor1
            }
            GradientStop {
                position: styleManager.mainFrameHeaderBackgroundGradientPosition2
                color: styleManager.mainFrameHeaderBackgroundGradientColor2
            }
        }
    }
    Image {
        anchors.fill: parent
        source: styleManager.mainFrameBackgroundFill
        fillMode: styleManager.mainFrameBackgroundFillMode
    }
    Image {
        // Within the picture's own square, behind it: no edge of the logo
        // shows beside the picture or runs under the name.
        x: column.x + topRow.x + avatar.x
        y: column.y + topRow.y + avatar.y
        width: Math.min(sourceSize.width, avatar.width)
        height: Math.min(root.height - notifications.height, sourceSize.height, avatar.height)
        source: styleManager.mainFrameTopLeftLogo
        fillMode: styleManager.mainFrameTopLeftLogoFillMode
    }

    PresenceStatusMenu {
        id: presenceMenu
        objectName: "presenceMenu"
        useStatusTexts: true
    }
    SkinMenu {
        id: skinMenu
        objectName: "skinMenu"
    }

    Column {
        id: column
        anchors.fill: parent
        anchors.margins: 10

        Row {
            id: topRow
            width: parent.width
            height: 100
            spacing: 8

            DAvatarImage {
                id: avatar
                objectName: "avatar"
                size: 90
                radius: 6
                borderWidth: 2
                source: localUser.profileImageURI
                name: localUser.displayName
                toolTip: mainApp.languageUpdatedString + qsTr("Edit Profile")
                onClicked: {
                    mainApp.showGeneralSettings(2)
                    mainApp.trackEvent("MainFrame", "avatarClick", [])
                }
            }

            Column {
                width: topRow.width - avatar.width - buttons.width - 2 * topRow.spacing
                spacing: 6

                Item {
                    id: nameRow
                    objectName: "nameRow"
                    width: parent.width
                    height: 24

                    DLabel {
                        id: nameLabel
                        objectName: "displayName"
                        anchors.left: parent.left
                        anchors.right: presenceDot.left
                        anchors.rightMargin: 4
                        anchors.verticalCenter: parent.verticalCenter
                        text: localUser.displayName
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        font.pointSize: styleManager.largeFontSize
                        color: styleManager.localUserNameColor
                    }
                    Image {
                        id: presenceDot
                        objectName: "presenceDot"
                        anchors.right: caret.left
                        anchors.rightMargin: 3
                        anchors.verticalCenter: parent.verticalCenter
                        width: 9
                        fillMode: Image.PreserveAspectFit
                        source: localUser.presenceState === RealmUser.Away ? "qrc:/textures/user_away_9px-01.png"
                                                                          : "qrc:/textures/user_online_9px-01.png"
                    }
                    Image {
                        id: caret
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        width: 12
                        height: 12
                        source: nameArea.containsMouse ? "qrc:/textures/channel_expand_hover.png"
                                                       : "qrc:/textures/channel_expand.png"
                    }
                    MouseArea {
                        id: nameArea
                        objectName: "nameArea"
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: presenceMenu.popup()
                        DToolTip {
                            text: mainApp.languageUpdatedString + qsTr("Click to change status")
                        }
                    }
                }

                DTextField {
                    id: presenceMessageField
                    objectName: "presenceMessageField"
                    width: parent.width
                    text: localUser.presenceMessage
                    // Shows the message from its start while not being edited.
                    onTextChanged: if (!activeFocus) cursorPosition = 0
                    onActiveFocusChanged: if (!activeFocus) cursorPosition = 0
                    onAccepted: {
                        localUser.setPresenceMessage(localUser.presenceState, text)
                        focus = false
                        mainApp.trackEvent("LocalUserHeader", "ChangePresenceMessage",
                                           ["i:" + localUser.presenceState])
                    }
                }
            }

            Column {
                id: buttons
                width: 30
                spacing: 20

                ImageButton {
                    objectName: "skinButton"
                    width: 30
                    height: 30
                    normalImage: styleManager.mainThemesIcon
                    hoverImage: styleManager.mainThemesIconHovered
                    toolTip: mainApp.languageUpdatedString + qsTr("Change Skin")
                    onClicked: {
                        skinMenu.popup()
                        mainApp.trackEvent("MainFrame", "ShowThemeSettings", [])
                    }
                }
                ImageButton {
                    objectName: "reportButton"
                    width: 30
                    height: 30
                    normalImage: styleManager.reportIssueIcon
                    hoverImage: styleManager.reportIssueIconHovered
                    toolTip: mainApp.languageUpdatedString + qsTr("Report Issue")
                    onClicked: {
                        if ((mouse.modifiers & Qt.ControlModifier) && (mouse.modifiers & Qt.ShiftModifier))
                            mainApp.forceCrash()
                        else if (mouse.modifiers & Qt.ControlModifier)
                            mainApp.showHiddenWindow()
                        else
                            mainApp.showReportIssue()
                    }
                }
            }
        }

        Item {
            id: paneButtons
            width: parent.width
            height: 80

            Repeater {
                model: [
                    { name: "channelsTile", normal: styleManager.conversationsIcon,
                      selected: styleManager.conversationsIconSelected, hovered: styleManager.conversationsIconHovered },
                    { name: "contactsTile", normal: styleManager.contactsIcon,
                      selected: styleManager.contactsIconSelected, hovered: styleManager.contactsIconHovered },
                    { name: "addContactsTile", normal: styleManager.findFriendsIcon,
                      selected: styleManager.findFriendsIconSelected, hovered: styleManager.findFriendsIconHovered },
                    { name: "recentTile", normal: styleManager.recentActivityIcon,
                      selected: styleManager.recentActivityIconSelected,
                      hovered: styleManager.recentActivityIconHovered }
                ]
                delegate: Image {
                    readonly property Item pane: root.panes.length > index ? root.panes[index] : null
                    readonly property bool selected: pane !== null && pane.visible

                    objectName: modelData.name
                    x: index * 80
                    y: 8
                    width: 64
                    height: 64
                    source: selected ? modelData.selected : tileArea.containsMouse ? modelData.hovered
                                                                                   : modelData.normal
                    MouseArea {
                        id: tileArea
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: root.paneClicked(parent.pane)
                        DToolTip {
                            text: mainApp.languageUpdatedString + root.tileTip(index)
                        }
                    }
                }
            }
        }

        Rectangle {
            width: parent.width
            height: 1
            color: styleManager.headerSeparatorColor !== undefined ? styleManager.headerSeparatorColor : "#666666"
        }

        Item {
            id: notificationsHeader
            objectName: "notificationsHeader"

            property int unreadCount: 0

            width: parent.width
            height: 22

            DLabel {
                id: notificationsLabel
                anchors.left: parent.left
                anchors.right: clearAll.left
                anchors.verticalCenter: parent.verticalCenter
                text: mainApp.languageUpdatedString + qsTr("Notifications")
                color: "white"
                elide: Text.ElideRight
                MouseArea {
                    objectName: "notificationsTitleArea"
                    anchors.fill: parent
                    acceptedButtons: Qt.LeftButton | Qt.RightButton
                    onClicked: notificationsHeaderMenu.popup()
                }
            }
            ImageButton {
                id: clearAll
                objectName: "clearNotificationsButton"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                width: 20
                height: 20
                normalImage: styleManager.clearAllIcon
                hoverImage: styleManager.clearAllIconHovered
                toolTip: mainApp.languageUpdatedString + qsTr("Clear notifications")
                onClicked: {
                    var count = notifications.count
                    localUser.requestMarkAllNotifications(Notification.NotificationStateDeleteRequested)
                    mainApp.trackEvent("MainFrame", "ClearAllNotifications", ["count:" + count])
                }
            }
            NotificationsHeaderContextMenu {
                id: notificationsHeaderMenu
                objectName: "notificationsHeaderMenu"
                notificationsListView: notifications.listView
                headerItem: notificationsHeader
            }
        }

        Rectangle {
            width: parent.width
            height: 3
            color: "black"
        }

        NotificationsArea {
            id: notifications
            objectName: "notificationsArea"
            width: parent.width
        }
    }
}
