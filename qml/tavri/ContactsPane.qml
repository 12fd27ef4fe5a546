// The Contacts pane of the main frame: the contact groups with their
// contacts. Contacts move between groups by drag and drop; a drop on the
// pane's title moves a contact out of its group.
// Context properties: mainApp, localUser, storageManager, styleManager.
import QtQuick 2.15
import "controls"
import "components"
import "menus"

MainFramePane {
    id: root

    readonly property var groups: localUser.contactGroups
    readonly property alias listView: list
    // The direction the list scrolls during a drag: "top", "bottom" or "".
    property string scrollDirection: ""

    signal addContactRequested()

    // Fills the contact menu from a contact row's roles.
    function prepareFriendMenu(row) {
        friendMenu.realmID = row.primaryRealmID || ""
        friendMenu.userUUID = row.primaryRealmUserUUID || ""
        friendMenu.friendUri = row.primaryRealmID === "__Tavri" && row.sipURI ? row.sipURI : ""
        friendMenu.identities = row.identities || null
    }
    // The drag payload of one contact row.
    function payloadFor(realmID, groupID, contactUUID) {
        return "{" + "realmID:" + realmID + ";groupID:" + groupID + ";contactUUID:" + contactUUID + "}"
    }
    // Reads a payload into {realmID, groupID, contactUUID}; null when it is
    // not one.
    function parsePayload(text) {
        if (typeof text !== "string" || text.length < 2 || text[0] !== "{" || text[text.length - 1] !== "}")
            return null
        var fields = {}
        var pieces = text.substring(1, text.length - 1).split(";")
        for (var i = 0; i < pieces.length; ++i) {
            var colon = pieces[i].indexOf(":")
            if (colon > 0)
                fields[pieces[i].substring(0, colon)] = pieces[i].substring(colon + 1)
        }
        if (fields.realmID === undefined || fields.groupID === undefined || !fields.contactUUID)
            return null
        return fields
    }
    // Moves the contact of a drop into the group `groupID`. Only drags that
    // this pane started count: a drag from another program carries no
    // ghost of ours as its source.
    function dropPayload(text, source, groupID) {
        if (!source || source.isContactDragGhost !== true)
            return false
        var fields = parsePayload(text)
        if (!fields)
            return false
        groups.requestMoveContact(fields.realmID, fields.contactUUID, groupID, fields.groupID)
        return true
    }
    function acceptDrop(drop, groupID) {
        if (dropPayload(drop.getDataAsString("text/json"), drop.source, groupID))
            drop.accept(drop.proposedAction)
    }
    // Scrolls the list while a drag nears its top or bottom edge.
    function dragMovedOverList(yInList) {
        var direction = ""
        if (yInList < 10)
            direction = "top"
        else if (yInList > list.height - 10)
            direction = "bottom"
        if (direction !== "" && direction === scrollDirection)
            return
        if (direction !== "")
            scrollStep(direction)
        if (direction !== scrollDirection) {
            scrollDirection = direction
            scrollTimer.restart()
        }
    }
    function scrollStep(direction) {
        var limit = Math.max(0, list.contentHeight - list.height)
        if (direction === "top")
            list.contentY = Math.max(0, list.contentY - 10)
        else if (direction === "bottom")
            list.contentY = Math.min(limit, list.contentY + 10)
    }

    title: mainApp.languageUpdatedString
           + qsTr("Contacts ( %1 / %2 )").arg(groups.emptyGroup ? groups.emptyGroup.onlineCount : 0)
                                        .arg(groups.emptyGroup ? groups.emptyGroup.totalCount : 0)
    onTitleClicked: {
        friendHeaderMenu.popup()
        mainApp.trackEvent("MainFrame", "ContactsHeaderClick", [])
    }

    tools: [
        ImageButton {
            objectName: "addGroupButton"
            width: 24
            height: 24
            normalImage: styleManager.addContactGroupIcon
            hoverImage: styleManager.addContactGroupIconHovered
            toolTip: mainApp.languageUpdatedString + qsTr("Add group")
            onClicked: {
                addGroupWindow.show()
                mainApp.trackEvent("MainFrame", "ShowAddGroupClick", [])
            }
        },
        ImageButton {
            objectName: "addContactButton"
            width: 24
            height: 24
            normalImage: styleManager.addContactIcon
            hoverImage: styleManager.addContactIconHovered
            toolTip: mainApp.languageUpdatedString + qsTr("Add a contact")
            onClicked: {
                root.addContactRequested()
                mainApp.trackEvent("MainFrame", "AddContactClick", [])
            }
        }
    ]

    FriendContextMenu {
        id: friendMenu
        objectName: "friendMenu"
    }
    FriendHeaderContextMenu {
        id: friendHeaderMenu
        objectName: "friendHeaderMenu"
        showOfflineFriends: root.groups.showOfflineContacts
    }
    AddContactGroup {
        id: addGroupWindow
        objectName: "addContactGroup"
    }

    // A drop on the title moves the contact out of its group.
    DropArea {
        objectName: "titleDropArea"
        parent: root.titleItem
        anchors.fill: parent
        keys: ["text/json"]
        onDropped: root.acceptDrop(drop, root.groups.emptyGroup ? root.groups.emptyGroup.groupID : "")
    }

    Timer {
        id: scrollTimer
        interval: 100
        onTriggered: root.scrollStep(root.scrollDirection)
    }

    // The picture that follows the pointer during a drag: a snapshot of
    // the dragged row.
    Item {
        id: ghost

        readonly property bool isContactDragGhost: true
        property string payload: ""

        objectName: "contactDragGhost"
        width: 1
        height: 1
        Drag.dragType: Drag.Automatic
        Drag.supportedActions: Qt.MoveAction
        Drag.proposedAction: Qt.MoveAction
        Drag.mimeData: ({ "text/json": payload })
    }

    ListView {
        id: list
        objectName: "contactGroupsList"
        anchors.fill: parent
        anchors.topMargin: 8
        clip: true
        spacing: 4
        boundsBehavior: Flickable.StopAtBounds
        maximumFlickVelocity: 500
        model: root.groups

        delegate: Item {
            id: groupItem

            property bool expanded: true
            readonly property string groupID: model.groupID !== undefined ? model.groupID : ""
            readonly property var contacts: model.contactList
            readonly property int contactCount: contacts && contacts.visibleCount !== undefined ? contacts.visibleCount : 0

            objectName: "contactGroup"
            width: list.width
            height: groupColumn.height

            Column {
                id: groupColumn
                width: parent.width

                Item {
                    id: groupTitle
                    objectName: "groupTitle"
                    width: parent.width
                    height: visible ? 32 : 0
                    visible: !!model.displayName
                    opacity: groupDrop.containsDrag ? 0.7 : 1.0

                    DLabel {
                        anchors.left: parent.left
                        anchors.leftMargin: 10
                        anchors.right: caret.left
                        anchors.rightMargin: 4
                        anchors.verticalCenter: parent.verticalCenter
                        text: (model.displayName || "") + " ( " + model.onlineCount + " / " + model.totalCount + " )"
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                    }
                    Image {
                        id: caret
                        anchors.right: removeGroup.left
                        anchors.rightMargin: 6
                        anchors.verticalCenter: parent.verticalCenter
                        width: 12
                        height: 12
                        source: "qrc:/textures/channel_" + (groupItem.expanded ? "expand" : "collapse")
                                + (titleArea.containsMouse ? "_hover" : "") + ".png"
                    }
                    MouseArea {
                        id: titleArea
                        objectName: "groupTitleArea"
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: groupItem.expanded = !groupItem.expanded
                    }
                    ImageButton {
                        id: removeGroup
                        objectName: "removeGroupButton"
                        anchors.right: parent.right
                        anchors.rightMargin: 6
                        anchors.verticalCenter: parent.verticalCenter
                        width: parent.height / 2
                        height: parent.height / 2
                        normalImage: "qrc:/textures/Main_Btn_Close_01.png"
                        hoverImage: "qrc:/textures/Main_Btn_Close_Hover_01.png"
                        toolTip: mainApp.languageUpdatedString + qsTr("Remove this group")
                        onClicked: {
                            root.groups.requestRemoveContactGroup(model.realmID, groupItem.groupID)
                            mainApp.trackEvent("MainFrame", "RemoveContactGroup",
                                               ["r:" + model.realmID, "g:" + groupItem.groupID])
                        }
                    }
                }

                // Where a dragged contact lands in a group without members.
                Item {
                    width: parent.width
                    height: groupDrop.containsDrag && groupItem.contactCount === 0 ? 46 : 0
                }

                Repeater {
                    model: groupItem.contacts

                    delegate: Item {
                        id: contactRow

                        objectName: "contactRow"
                        width: groupItem.width
                        height: groupItem.expanded ? 46 : 0
                        visible: groupItem.expanded

                        ContactListDelegate {
                            id: contactDelegate
                            anchors.fill: parent
                            contextMenu: friendMenu
                            onClicked: {
                                root.prepareFriendMenu(model)
                                showContextMenu()
                                mainApp.trackEvent("MainFrame", "ContactListEntryOuterClick", [])
                            }
                        }
                        // Drags the row; clicks go on to the row below.
                        MouseArea {
                            id: dragArea
                            objectName: "contactDragArea"
                            anchors.fill: parent
                            propagateComposedEvents: true
                            drag.target: ghost
                            drag.threshold: 8
                            onClicked: mouse.accepted = false
                            drag.onActiveChanged: {
                                if (drag.active) {
                                    ghost.payload = root.payloadFor(model.primaryRealmID, groupItem.groupID,
                                                                    model.primaryRealmUserUUID)
                                    contactRow.grabToImage(function(result) { ghost.Drag.imageSource = result.url })
                                    ghost.Drag.active = true
                                } else {
                                    ghost.Drag.active = false
                                }
                            }
                        }
                    }
                }
            }

            DropArea {
                id: groupDrop
                objectName: "groupDropArea"
                anchors.fill: parent
                keys: ["text/json"]
                onPositionChanged: {
                    var p = mapToItem(list, drag.x, drag.y)
                    root.dragMovedOverList(p.y)
                }
                onDropped: root.acceptDrop(drop, groupItem.groupID)
            }
        }
    }
    ScrollIndicator {
        flickable: list
    }

    DLabel {
        objectName: "noContacts"
        anchors.centerIn: parent
        width: parent.width - 20
        // Group rows stand even when empty: the hint follows the contacts.
        visible: list.count === 0 || root.groups.totalCount === 0
                 || (root.groups.onlineCount === 0 && !root.groups.showOfflineContacts)
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        text: root.groups.totalCount > 0
              ? mainApp.languageUpdatedString + qsTr("No friends online")
              : mainApp.languageUpdatedString + qsTr("Click on the search icon to find and add contacts")
    }
}
