import QtQuick 2.15
import "controls"
import "components"
import "components/text.js" as TextHelpers

// The channel search: a term, "Find" (or "Find More" while the service has
// more), two filters and one tile per channel found. Right-clicking a
// tile's owner opens a menu for the channel and its owner.
// Context properties: mainViewer (QQuickView, this window), mainApp,
// localUser, findChannels (FindChannels), channelSearchResults
// (ConversationList, the rows), styleManager.
DTitledWindowBasic {
    id: root

    readonly property int defaultRows: 4
    readonly property bool hasMoreResults: findChannels.hasMoreResults
    readonly property bool isSearching: findChannels.isSearching
    readonly property string term: searchField.text.trim()
    readonly property bool canSearch: !isSearching && (term !== "" || favoritesBox.checked)
    // The button has been used since the window opened.
    property bool hasBeenClicked: false
    property string statusText: ""

    function search() {
        if (!root.canSearch)
            return
        searchField.text = root.term
        root.statusText = ""
        root.hasBeenClicked = true
        var offset = results.count
        var label = root.hasMoreResults ? "SearchMore" : "SearchClick"
        findChannels.executeSearch(root.term, favoritesBox.checked, inactiveBox.checked, root.defaultRows)
        mainApp.trackEvent("FindChannels", label, ["offset:" + offset])
    }
    // A channel's text with the search term highlighted, escaped once.
    function decorated(text) {
        return TextHelpers.highlighted(text, root.term)
    }
    function showOwnerMenu(row) {
        ownerMenu.conversationRef = row.conversationRef || null
        ownerMenu.ownerSipURI = row.ownerSipURI || ""
        ownerMenu.popup()
    }

    title: root.view ? root.view.title : ""
    minimumWidth: 540
    minimumHeight: 320
    implicitWidth: 680
    implicitHeight: 550
    trackingCategory: "FindChannels"

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
                text: root.hasMoreResults ? mainApp.languageUpdatedString + qsTr("Find More")
                                          : mainApp.languageUpdatedString + qsTr("Find")
                toolTip: mainApp.languageUpdatedString + qsTr("Click here to execute search")
                onClicked: root.search()
            }
        }
        DCheckBox {
            id: favoritesBox
            objectName: "favoritesCheckBox"
            enabled: !root.isSearching
            text: mainApp.languageUpdatedString + qsTr("Include Only My Favorite and Owned Channels")
            onCheckedChanged: root.search()
        }
        DCheckBox {
            id: inactiveBox
            objectName: "inactiveCheckBox"
            enabled: !root.isSearching && root.term !== "" && !favoritesBox.checked
            text: mainApp.languageUpdatedString + qsTr("Include channels inactive for more than 30 days")
            onCheckedChanged: root.search()
        }
        DLabel {
            objectName: "statusLine"
            width: parent.width
            height: 16
            color: "red"
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
        model: channelSearchResults

        delegate: Item {
            id: tile

            objectName: "channelTile"
            width: results.width
            height: Math.max(60, textColumn.implicitHeight + 8)

            RowHoverHighlight {
                anchors.fill: parent
                visible: tileHover.hovered
            }
            HoverHandler {
                id: tileHover
            }
            DAvatarImage {
                id: channelImage
                anchors.left: parent.left
                anchors.leftMargin: 4
                anchors.verticalCenter: parent.verticalCenter
                size: 48
                isChannel: true
                showHover: false
                source: model.profileImageURI !== undefined ? model.profileImageURI : ""
            }
            Column {
                id: textColumn
                anchors.left: channelImage.right
                anchors.leftMargin: 8
                anchors.right: parent.right
                anchors.rightMargin: 4
                anchors.verticalCenter: parent.verticalCenter

                DLabel {
                    objectName: "channelName"
                    width: parent.width
                    textFormat: Text.StyledText
                    bold: true
                    elide: Text.ElideRight
                    color: styleManager.findDelegateTextColor
                    text: root.decorated(model.displayName)
                }
                DLabel {
                    objectName: "channelMessage"
                    width: parent.width
                    visible: text !== ""
                    textFormat: Text.StyledText
                    elide: Text.ElideRight
                    color: styleManager.findDelegateTextColor
                    fontSize: styleManager.smallFontSize
                    text: model.welcomeMessage ? root.decorated(model.welcomeMessage) : ""
                }
                DLabel {
                    objectName: "channelOwner"
                    width: parent.width
                    visible: !!model.ownerDisplayName
                    textFormat: Text.StyledText
                    elide: Text.ElideRight
                    color: styleManager.findDelegateTextColor
                    fontSize: styleManager.smallFontSize
                    text: model.ownerDisplayName ? qsTr("Owner: %1").arg(root.decorated(model.ownerDisplayName)) : ""

                    MouseArea {
                        anchors.fill: parent
                        acceptedButtons: Qt.RightButton
                        onClicked: root.showOwnerMenu(model)
                    }
                }
                DLabel {
                    objectName: "channelDescription"
                    width: parent.width
                    visible: text !== ""
                    textFormat: Text.StyledText
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                    color: styleManager.findDelegateTextColor
                    fontSize: styleManager.smallFontSize
                    text: model.description ? root.decorated(model.description) : ""
                }
            }
        }
    }
    ScrollIndicator {
        flickable: results
    }

    DMenu {
        id: ownerMenu
        objectName: "ownerMenu"

        property var conversationRef: null
        property string ownerSipURI: ""
        readonly property bool isFavorite: !!(conversationRef && conversationRef.isFavorite)

        function raiseWindow() {
            if (root.view) {
                root.view.raise()
                root.view.requestActivate()
            }
        }

        DMenuItem {
            objectName: "favoriteItem"
            text: ownerMenu.isFavorite ? mainApp.languageUpdatedString + qsTr("Remove From Favorites")
                                       : mainApp.languageUpdatedString + qsTr("Add To Favorites")
            onTriggered: {
                if (ownerMenu.conversationRef)
                    ownerMenu.conversationRef.isFavorite = !ownerMenu.isFavorite
                ownerMenu.raiseWindow()
            }
        }
        DMenuItem {
            objectName: "detailsItem"
            text: mainApp.languageUpdatedString + qsTr("View Channel Details")
            onTriggered: {
                var conversation = ownerMenu.conversationRef
                if (conversation && typeof conversation.showConversationDetails === "function")
                    conversation.showConversationDetails()
            }
        }
        DMenuItem {
            objectName: "privateChatItem"
            visible: ownerMenu.ownerSipURI !== "" && !!localUser && ownerMenu.ownerSipURI !== localUser.sipURI
            text: mainApp.languageUpdatedString + qsTr("Start Private Chat With Owner")
            onTriggered: mainApp.requestConversation(ownerMenu.ownerSipURI)
        }
        DMenuItem {
            objectName: "profileItem"
            enabled: ownerMenu.ownerSipURI !== ""
            text: mainApp.languageUpdatedString + qsTr("View Owner's Profile")
            onTriggered: mainApp.showUserProfileByURI(ownerMenu.ownerSipURI)
        }
    }
}
