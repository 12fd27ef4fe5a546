import QtQuick 2.15
import "../controls"

// A row of the channel tree: an indent by tree depth, a caret that expands
// or collapses the channel's sub-channels in `conversationList`, the
// channel's picture, name and participant count, and a toolbar (favourite,
// edit, link, leave) shown always (`showDefaultToolbar`) or only under the
// pointer (`showToolbarOnHover`). Inside a view the values come from the
// row's model (ConversationList roles); they can also be set directly.
Rectangle {
    id: row
    readonly property var rowModel: typeof model !== "undefined" ? model : null
    property var conversationRef: rowModel && rowModel.conversationRef !== undefined ? rowModel.conversationRef : null
    property var conversationList: null
    property int rowIndex: typeof index !== "undefined" ? index : -1
    property string displayName: rowModel && rowModel.displayName !== undefined ? rowModel.displayName
                               : conversationRef ? conversationRef.displayName : ""
    property url profileImageURI: rowModel && rowModel.profileImageURI !== undefined ? rowModel.profileImageURI : ""
    property int treeDepth: rowModel && rowModel.treeDepth !== undefined ? rowModel.treeDepth : 0
    property bool hasChildren: rowModel && rowModel.hasChildren !== undefined ? rowModel.hasChildren : false
    property bool isOpened: rowModel && rowModel.isOpened !== undefined ? rowModel.isOpened : false
    property bool isFavorite: conversationRef && conversationRef.isFavorite !== undefined ? conversationRef.isFavorite : false
    property bool isJoined: conversationRef && conversationRef.isJoined !== undefined ? conversationRef.isJoined : false
    property int participantCount: conversationRef && conversationRef.participants
                                   && conversationRef.participants.count !== undefined
                                   ? conversationRef.participants.count : 0
    property bool showDefaultToolbar: true
    property bool showToolbarOnHover: false
    property bool showEditButton: false
    property bool showLinkButton: false
    property int indentPerLevel: 16
    // Under the pointer, wherever on the row it is (the toolbar's buttons
    // and the picture take their own hover): a passive handler sees it all,
    // and lets go when a menu or another window takes the pointer.
    readonly property bool hovered: rowHover.hovered || rowArea.containsMouse
    // The pointer is on the participant count (the row's participants area),
    // and where it is across the row.
    readonly property bool participantsHovered: rowArea.containsMouse && participantsArea.visible
                                                && participantsArea.contains(participantsArea.mapFromItem(
                                                       rowArea, rowArea.mouseX, rowArea.mouseY))
    readonly property real pointerX: rowArea.mouseX
    readonly property bool toolbarVisible: showDefaultToolbar || (showToolbarOnHover && hovered)
    signal itemClicked(var mouse)
    signal editClicked()
    signal favoriteClicked()

    implicitWidth: 300
    implicitHeight: 46
    color: "transparent"

    function toggleExpanded() {
        if (!row.conversationList || row.rowIndex < 0)
            return
        if (row.isOpened)
            row.conversationList.collapseItem(row.rowIndex)
        else
            row.conversationList.expandItem(row.rowIndex)
    }

    HoverHandler {
        id: rowHover
    }
    RowHoverOverlay {
        objectName: "channelHover"
        visible: row.hovered
    }
    MouseArea {
        id: rowArea
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        onClicked: row.itemClicked(mouse)
    }
    ImageButton {
        id: caret
        objectName: "channelCaret"
        x: 4 + row.treeDepth * row.indentPerLevel
        anchors.verticalCenter: parent.verticalCenter
        width: 12
        height: 12
        visible: row.hasChildren
        normalImage: row.isOpened ? styleManager.channelExpandedIcon : styleManager.channelCollapsedIcon
        onClicked: row.toggleExpanded()
    }
    DAvatarImage {
        id: avatar
        anchors.left: caret.right
        anchors.leftMargin: 4
        anchors.verticalCenter: parent.verticalCenter
        size: parent.height - 10
        isChannel: true
        source: row.profileImageURI
        showHover: false
    }
    Column {
        anchors.left: avatar.right
        anchors.leftMargin: 8
        anchors.right: toolbar.visible ? toolbar.left : parent.right
        anchors.rightMargin: 6
        anchors.verticalCenter: parent.verticalCenter
        DLabel {
            objectName: "channelName"
            width: parent.width
            // A name is the channel owner's text: shown as it was typed.
            text: row.displayName
            textFormat: Text.PlainText
            fontSize: styleManager.mediumFontSize
            font.bold: row.isJoined
        }
        DLabelGray {
            id: participantsArea
            objectName: "participantsArea"
            width: parent.width
            text: row.participantCount > 0 ? qsTr("%n user(s)", "", row.participantCount) : ""
            visible: text.length > 0
        }
    }
    Row {
        id: toolbar
        objectName: "channelToolbar"
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        spacing: 6
        visible: row.toolbarVisible
        ImageButton {
            objectName: "channelFavorite"
            width: 16
            height: 16
            normalImage: row.isFavorite ? styleManager.channelFavoriteIcon : styleManager.channelNotFavoriteIcon
            toolTip: row.isFavorite ? qsTr("Remove from favorites") : qsTr("Add to favorites")
            onClicked: {
                if (row.conversationRef)
                    row.conversationRef.isFavorite = !row.isFavorite
                row.favoriteClicked()
            }
        }
        ImageButton {
            objectName: "channelEdit"
            visible: row.showEditButton
            width: 16
            height: 16
            normalImage: styleManager.channelSettingsIcon
            toolTip: qsTr("Edit channel")
            onClicked: row.editClicked()
        }
        ImageButton {
            objectName: "channelLink"
            visible: row.showLinkButton
            width: 16
            height: 16
            normalImage: styleManager.channelInviteIcon
            toolTip: qsTr("Copy a link to this channel")
            onClicked: {
                if (row.conversationRef && typeof mainApp !== "undefined" && mainApp !== null)
                    mainApp.copyChannelLinkToClipboard(row.conversationRef)
            }
        }
        ImageButton {
            objectName: "channelLeave"
            visible: row.isJoined
            width: 16
            height: 16
            normalImage: styleManager.channelLeaveIcon
            toolTip: qsTr("Leave channel")
            onClicked: {
                if (row.conversationRef)
                    row.conversationRef.requestLeaveConversation()
            }
        }
    }
}
