import QtQuick 2.15
import "controls"
import "components"

// A find-users window: a user search, ten results at a time, each with a
// button that puts the user on this window's list or takes them off it
// (friends, a channel's members, bans or moderators, or invitations).
// Context properties: mainViewer (QQuickView, this window), mainApp,
// styleManager, findInstance (CFindUsersDialog), isInviteFriends (bool),
// userRef (the user to invite, or null), buttonTextAdd, buttonTextRemove,
// statusTextAdd, statusTextRemove (strings).
DTitledWindowBasic {
    id: root

    readonly property int pageSize: 10
    // Set by the dialog when an answer has been handled.
    property bool hasMoreResults: findInstance.hasMoreResults
    property bool isSearching: findInstance.isSearching
    readonly property string term: searchField.text.trim()
    readonly property bool canSearch: !isSearching && term !== ""
    // The field differs from the term of the last search.
    readonly property bool anotherText: term !== findInstance.searchTerm
    readonly property bool findMoreShown: hasMoreResults && !anotherText && !friendsOnlyBox.checked
    property bool hasBeenClicked: false
    property string statusText: ""

    // Reads the window's list (a channel's members, bans or moderators, or
    // its invited users): reading it makes it the list the results are
    // checked against, so users already on it show no "Invite" or "Add".
    // Read again for each search and each new channel, as the list changes.
    function readBaseList() {
        return findInstance.baseUserList
    }
    function search() {
        if (!root.canSearch)
            return
        readBaseList()
        searchField.text = root.term
        root.statusText = ""
        var more = root.findMoreShown
        var offset = more ? results.count : 0
        root.hasBeenClicked = true
        if (friendsOnlyBox.checked) {
            findInstance.searchForFriends(root.term, true)
            mainApp.trackEvent("FindUsers", "SearchFriendsClick", [])
            return
        }
        findInstance.searchForUsers(root.term, isInviteFriends ? false : inactiveBox.checked, offset,
                                    root.pageSize)
        mainApp.trackEvent("FindUsers", more ? "SearchMore" : "SearchClick", more ? ["offset:" + offset] : [])
    }
    // Whether a row's user is on the list already.
    function listed(row) {
        if (findInstance.isSearchFriend)
            return !!row.isContact
        return !!row.isInReferenceList
    }
    function clicked(row) {
        var add = !root.listed(row) || buttonTextRemove === ""
        var conversation = findInstance.conversationRef
        findInstance.tileClicked(findInstance.isSearchFriend ? "" : (conversation ? conversation.sipURI : ""),
                                 row.sipURI, add)
        root.statusText = row.displayName + " " + (add ? statusTextAdd : statusTextRemove)
    }

    title: findInstance.dialogTitle
    minimumWidth: 400
    minimumHeight: 300
    implicitWidth: 640
    implicitHeight: 550
    trackingCategory: "FindUsers"
    onClosing: findInstance.flush()

    Connections {
        target: findInstance
        function onConversationChanged() {
            root.readBaseList()
        }
    }

    Column {
        id: controls
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 10
        spacing: 6

        Row {
            width: parent.width
            spacing: 6

            DTextField {
                id: searchField
                objectName: "searchField"
                width: parent.width - findButton.width - parent.spacing
                height: 26
                placeholderText: mainApp.languageUpdatedString + qsTr("Type search criteria here")
                onAccepted: root.search()
            }
            DButton {
                id: findButton
                objectName: "findButton"
                width: Math.max(implicitWidth, 80)
                height: 26
                isDefault: true
                enabled: root.canSearch
                text: root.findMoreShown ? mainApp.languageUpdatedString + qsTr("Find More")
                                         : mainApp.languageUpdatedString + qsTr("Find")
                toolTip: mainApp.languageUpdatedString + qsTr("Click here to execute search")
                onClicked: root.search()
            }
        }
        DCheckBox {
            id: inactiveBox
            objectName: "inactiveCheckBox"
            visible: !isInviteFriends
            enabled: !root.isSearching
            text: mainApp.languageUpdatedString + qsTr("Include users inactive for more than 30 days")
        }
        DCheckBox {
            id: friendsOnlyBox
            objectName: "friendsOnlyCheckBox"
            visible: isInviteFriends
            enabled: !root.isSearching
            text: mainApp.languageUpdatedString + qsTr("Search only my friends")
        }
        DLabel {
            objectName: "statusLine"
            width: parent.width
            height: 16
            color: "red"
            textFormat: Text.PlainText
            text: root.isSearching ? mainApp.languageUpdatedString + qsTr("Searching...") : root.statusText
        }
    }

    DLabel {
        objectName: "noResults"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: controls.bottom
        anchors.topMargin: 20
        visible: !root.isSearching && results.count === 0 && root.hasBeenClicked
        text: mainApp.languageUpdatedString + qsTr("NO RESULTS FOUND")
        fontSize: styleManager.largeFontSize
    }

    ListView {
        id: results
        objectName: "searchResults"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: controls.bottom
        anchors.bottom: parent.bottom
        anchors.margins: 10
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: findInstance.searchResults

        delegate: Item {
            id: tile

            readonly property bool listed: root.listed(model)

            objectName: "userTile"
            width: results.width
            height: 52

            RowHoverHighlight {
                anchors.fill: parent
                visible: tileHover.hovered
            }
            HoverHandler {
                id: tileHover
            }
            DAvatarImage {
                id: avatar
                anchors.left: parent.left
                anchors.leftMargin: 4
                anchors.verticalCenter: parent.verticalCenter
                size: 42
                showHover: false
                source: model.profileImageURI !== undefined ? model.profileImageURI : ""
                name: model.displayName !== undefined ? model.displayName : ""
            }
            Column {
                anchors.left: avatar.right
                anchors.leftMargin: 8
                anchors.right: tileButton.left
                anchors.rightMargin: 6
                anchors.verticalCenter: parent.verticalCenter

                DLabel {
                    objectName: "userName"
                    width: parent.width
                    textFormat: Text.PlainText
                    bold: true
                    color: styleManager.findDelegateTextColor
                    text: model.displayName !== undefined ? model.displayName : ""
                }
                DLabel {
                    width: parent.width
                    visible: text !== ""
                    textFormat: Text.PlainText
                    color: styleManager.findDelegateTextColor
                    fontSize: styleManager.smallFontSize
                    text: model.location ? model.location : ""
                }
            }
            DButton {
                id: tileButton
                objectName: "tileButton"
                anchors.right: parent.right
                anchors.rightMargin: 4
                anchors.verticalCenter: parent.verticalCenter
                width: Math.max(implicitWidth, 80)
                height: 26
                visible: findInstance.canAddRemove || !tile.listed || buttonTextRemove !== ""
                text: tile.listed && buttonTextRemove !== "" ? buttonTextRemove : buttonTextAdd
                onClicked: root.clicked(model)
            }
        }
    }
    ScrollIndicator {
        flickable: results
    }
}
