// The Add Contacts pane of the main frame: a user search, four results at a
// time, each with a button that adds or removes the user as a friend.
// Showing the pane always starts a fresh search.
// Context properties: mainApp, findInstance (FindUsers), styleManager.
import QtQuick 2.15
import "controls"
import "components"
import "components/text.js" as TextHelpers

MainFramePane {
    id: root

    // A search was started since the last reset.
    property bool hasBeenClicked: false
    // The field differs from the term of the last search.
    property bool anotherText: false
    readonly property int defaultColumns: 1
    readonly property int defaultRows: 4
    readonly property int pageSize: defaultColumns * defaultRows
    // The find instance may not offer these yet: a missing value reads as false.
    readonly property bool hasMoreResults: !!findInstance.hasMoreResults
    readonly property bool isSearching: !!findInstance.isSearching
    readonly property bool canSearch: !isSearching && searchField.effectiveText !== ""
    readonly property bool findShown: !hasMoreResults || anotherText
    readonly property alias resultsView: results

    function reset() {
        findInstance.reset()
        searchField.text = ""
        hasBeenClicked = false
        anotherText = false
        searchField.forceActiveFocus()
    }
    function trimField() {
        if (searchField.text !== searchField.text.trim())
            searchField.text = searchField.text.trim()
    }
    function updateAnotherText() {
        if (hasBeenClicked)
            anotherText = searchField.text !== findInstance.searchTerm
    }
    function find() {
        trimField()
        if (hasBeenClicked) {
            if (searchField.text !== findInstance.searchTerm) {
                anotherText = true
            } else {
                anotherText = false
                if (hasMoreResults) {
                    findMore()
                    return
                }
            }
        }
        hasBeenClicked = true
        if (findInstance.searchForUsers(searchField.effectiveText, inactiveBox.checked, 0, pageSize))
            anotherText = false
        mainApp.trackEvent("FindUsers", "SearchClick", [])
    }
    function findMore() {
        trimField()
        if (hasBeenClicked) {
            if (searchField.text !== findInstance.searchTerm) {
                anotherText = true
                find()
                return
            }
            anotherText = false
        }
        hasBeenClicked = true
        var shown = results.count
        if (findInstance.searchForUsers(searchField.effectiveText, inactiveBox.checked, shown, pageSize))
            anotherText = false
        mainApp.trackEvent("FindUsers", "SearchMore", ["offset:" + shown])
    }
    // A user's text with the search term highlighted, escaped once.
    function decorated(text) {
        return TextHelpers.highlighted(text, searchField.text)
    }

    title: mainApp.languageUpdatedString + qsTr("Add Contacts")
    onTitleClicked: mainApp.trackEvent("MainFrame", "FindUserHeaderClick", [])
    onVisibleChanged: {
        if (visible)
            reset()
    }

    Column {
        id: controls
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 8
        spacing: 6

        Row {
            width: parent.width
            spacing: 6

            DTextField {
                id: searchField
                objectName: "searchField"
                width: parent.width - buttonBox.width - parent.spacing
                height: 26
                placeholderText: mainApp.languageUpdatedString + qsTr("Type search criteria here")
                onTextChanged: root.updateAnotherText()
                onAccepted: {
                    root.trimField()
                    root.updateAnotherText()
                    if (root.findShown && root.canSearch)
                        root.find()
                    else if (!root.findShown && root.canSearch)
                        root.findMore()
                }
            }
            Item {
                id: buttonBox
                width: Math.max(findButton.implicitWidth, findMoreButton.implicitWidth, 70)
                height: 26

                DButton {
                    id: findButton
                    objectName: "findButton"
                    anchors.fill: parent
                    isDefault: true
                    visible: root.findShown
                    enabled: root.canSearch
                    text: mainApp.languageUpdatedString + qsTr("Find")
                    toolTip: mainApp.languageUpdatedString + qsTr("Click here to execute search")
                    onClicked: root.find()
                }
                DButton {
                    id: findMoreButton
                    objectName: "findMoreButton"
                    anchors.fill: parent
                    isDefault: true
                    visible: !root.findShown
                    enabled: root.canSearch
                    text: mainApp.languageUpdatedString + qsTr("Find More")
                    onClicked: root.findMore()
                }
            }
        }
        DCheckBox {
            id: inactiveBox
            objectName: "inactiveCheckBox"
            height: 24
            enabled: root.canSearch
            text: mainApp.languageUpdatedString + qsTr("Include users inactive for more than 30 days")
            onCheckedChanged: {
                root.anotherText = true
                root.hasBeenClicked = false
                findInstance.reset()
            }
        }
        // The status line: the two texts cross-fade on every change.
        Item {
            width: parent.width
            height: 16

            DLabel {
                objectName: "searchingLabel"
                anchors.fill: parent
                text: mainApp.languageUpdatedString + qsTr("Searching...")
                color: "red"
                opacity: root.isSearching ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 250 } }
            }
            DLabel {
                anchors.fill: parent
                text: ""
                color: "red"
                opacity: root.isSearching ? 0 : 1
                Behavior on opacity { NumberAnimation { duration: 250 } }
            }
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

        // The room left above the rows: results are stacked from the bottom
        // of their area (the margin lies outside contentHeight).
        readonly property real stackGap: Math.max(0, height - contentHeight)

        // Moves to the last rows once the results overflow, animated for
        // that move only; otherwise back to the top, the rows resting on
        // the bottom.
        function followResults() {
            if (contentHeight > height) {
                scrollAnimation.to = contentHeight - height + originY
                scrollAnimation.restart()
            } else {
                scrollAnimation.stop()
                contentY = originY - Math.max(0, height - contentHeight)
            }
        }

        objectName: "searchResults"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: controls.bottom
        anchors.topMargin: 8
        anchors.bottom: parent.bottom
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        maximumFlickVelocity: 500
        model: findInstance.searchResults
        topMargin: stackGap
        onContentHeightChanged: followResults()
        onHeightChanged: followResults()

        NumberAnimation {
            id: scrollAnimation
            target: results
            property: "contentY"
            duration: 200
        }

        delegate: Item {
            id: resultRow

            readonly property bool isContact: !!model.isContact
            readonly property string tagline: model.taglineText !== undefined ? model.taglineText : ""

            objectName: "resultRow"
            width: results.width
            height: Math.max(46, textColumn.implicitHeight + 6)

            RowHoverHighlight {
                anchors.fill: parent
                visible: resultHover.hovered
            }
            HoverHandler {
                id: resultHover
            }
            DAvatarImage {
                id: resultAvatar
                anchors.left: parent.left
                anchors.leftMargin: 4
                anchors.verticalCenter: parent.verticalCenter
                size: 42
                showHover: false
                source: model.profileImageURI !== undefined ? model.profileImageURI : ""
                name: model.uname !== undefined ? model.uname : ""
            }
            Column {
                id: textColumn
                anchors.left: resultAvatar.right
                anchors.leftMargin: 8
                anchors.right: tileButton.left
                anchors.rightMargin: 4
                anchors.verticalCenter: parent.verticalCenter

                DLabel {
                    objectName: "resultName"
                    width: parent.width
                    textFormat: Text.StyledText
                    text: root.decorated(model.uname !== undefined ? model.uname : "")
                    color: styleManager.findDelegateTextColor
                    elide: Text.ElideRight
                }
                DLabel {
                    objectName: "resultTagline"
                    width: parent.width
                    visible: resultRow.tagline !== ""
                    textFormat: Text.StyledText
                    text: resultRow.tagline !== "" ? "'" + root.decorated(resultRow.tagline) + "'" : ""
                    color: styleManager.findDelegateTextColor
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    fontSize: styleManager.smallFontSize
                }
            }
            ImageButton {
                id: tileButton
                objectName: "tileButton"
                anchors.right: parent.right
                anchors.rightMargin: 4
                anchors.verticalCenter: parent.verticalCenter
                width: 32
                height: 32
                normalImage: resultRow.isContact ? styleManager.removeFriendIcon : styleManager.addFriendIcon
                toolTip: resultRow.isContact ? mainApp.languageUpdatedString + qsTr("Remove friend")
                                             : mainApp.languageUpdatedString + qsTr("Add friend")
                onClicked: {
                    findInstance.tileClicked("", model.sipURI, !resultRow.isContact)
                    mainApp.trackEvent("FindUsers", "TileClicked",
                                       ["userUri:" + model.sipURI + ",addTolist:" + !resultRow.isContact])
                }
            }
        }
    }
    ScrollIndicator {
        flickable: results
    }
}
