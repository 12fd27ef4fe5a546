// The settings of a channel: its name, description, welcome message, access
// and password, and its members, moderators and banned users. A new channel
// is created with them; a group or private chat only gets its name on the
// way to becoming a channel. Users are found and put on or taken off a list
// through that list's find dialog, when the program has one.
// Context properties: channelToEdit (Conversation, the channel edited),
// parentChannelURI (string, the parent channel's address or empty),
// memberFindInstance, moderatorFindInstance, banFindInstance (the find
// dialogs of the three lists, or null), mainViewer (QQuickView, this window),
// mainApp, styleManager.
import QtQuick 2.15
import QtQuick.Controls 1.4
import Conversation 1.0
import "controls"

DTitledWindowBasic {
    id: root

    readonly property var channel: typeof channelToEdit !== "undefined" ? channelToEdit : null
    readonly property string parentURI: typeof parentChannelURI !== "undefined" && parentChannelURI
                                        ? String(parentChannelURI) : ""
    // A group or private chat on its way to becoming a channel: only named.
    readonly property string sipURI: channel ? textOf(channel.sipURI) : ""
    readonly property bool namingOnly: sipURI !== ""
                                       && (sipURI.indexOf("sip:confctl-") !== 0 || sipURI.indexOf("sip:confctl-g-") === 0)
    readonly property var finders: [
        typeof memberFindInstance !== "undefined" ? memberFindInstance : null,
        typeof moderatorFindInstance !== "undefined" ? moderatorFindInstance : null,
        typeof banFindInstance !== "undefined" ? banFindInstance : null
    ]
    property bool saved: false
    property int listIndex: 0

    function textOf(value) {
        return value === undefined || value === null ? "" : String(value)
    }
    function save() {
        if (!channel || nameField.effectiveText === "")
            return
        if (namingOnly) {
            channel.makePermanent(nameField.effectiveText)
        } else {
            channel.setDisplayName(nameField.effectiveText)
            channel.setDescription(descriptionField.text)
            channel.setMessage(messageField.text)
            channel.setAccessType(accessBox.currentIndex)
            if (passwordField.text !== "")
                channel.changePassword(passwordField.text)
            channel.commitModifications()
        }
        saved = true
        close("Save")
    }

    objectName: "channelSettings"
    title: view ? view.title : ""
    minimumWidth: 480
    minimumHeight: 360
    implicitWidth: 640
    implicitHeight: 480
    Component.onCompleted: {
        if (channel && !namingOnly)
            channel.beginModifications()
        nameField.forceActiveFocus()
    }
    // The frame only hides the view: closing it lets the window go.
    onClosing: if (view) view.close()

    // However the window closes (also when another settings window takes
    // its place), edits that were not saved are undone.
    Connections {
        target: root.view
        function onClosing(close) {
            if (root.channel && !root.saved && !root.namingOnly)
                root.channel.revertModifications()
        }
    }

    Column {
        id: form
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.bottom: buttons.top
        anchors.margins: 10
        width: root.namingOnly ? parent.width - 20 : (parent.width - 30) / 2
        spacing: 4

        DLabel {
            text: mainApp.languageUpdatedString + qsTr("Name")
        }
        DTextField {
            id: nameField
            objectName: "nameField"
            width: parent.width
            maximumLength: 100
            text: root.channel && root.sipURI !== "" && !root.namingOnly ? root.textOf(root.channel.displayName) : ""
            onAccepted: root.save()
        }
        DLabel {
            objectName: "parentLabel"
            width: parent.width
            elide: Text.ElideMiddle
            textFormat: Text.PlainText
            visible: root.parentURI !== ""
            text: mainApp.languageUpdatedString + qsTr("Inside: %1").arg(root.parentURI)
        }
        Column {
            width: parent.width
            spacing: 4
            visible: !root.namingOnly

            DLabel {
                text: mainApp.languageUpdatedString + qsTr("Description")
            }
            DTextField {
                id: descriptionField
                objectName: "descriptionField"
                width: parent.width
                text: root.channel ? root.textOf(root.channel.description) : ""
                // A long text shows from its start until the user edits it.
                onTextChanged: if (!activeFocus) cursorPosition = 0
            }
            DLabel {
                text: mainApp.languageUpdatedString + qsTr("Welcome message")
            }
            DTextField {
                id: messageField
                objectName: "messageField"
                width: parent.width
                text: root.channel ? root.textOf(root.channel.message) : ""
                // A long text shows from its start until the user edits it.
                onTextChanged: if (!activeFocus) cursorPosition = 0
            }
            DLabel {
                text: mainApp.languageUpdatedString + qsTr("Access")
            }
            // Index i is the access type of value i.
            DComboBox {
                id: accessBox
                objectName: "accessBox"
                width: parent.width
                model: [qsTr("Public"), qsTr("Password protected"), qsTr("Invitation only")]
                currentIndex: root.channel ? root.channel.accessType : 0
            }
            DTextField {
                id: passwordField
                objectName: "passwordField"
                width: parent.width
                visible: accessBox.currentIndex === Conversation.PasswordProtected
                echoMode: TextInput.Password
                placeholderText: mainApp.languageUpdatedString + qsTr("New password")
            }
        }
    }

    Item {
        id: lists
        visible: !root.namingOnly
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.bottom: buttons.top
        anchors.margins: 10
        width: (parent.width - 30) / 2

        readonly property var current: [
            root.channel ? root.channel.members : null,
            root.channel ? root.channel.moderators : null,
            root.channel ? root.channel.banned : null
        ]
        readonly property var finder: root.finders[root.listIndex]

        Row {
            id: listTabs
            spacing: 4
            Repeater {
                model: [qsTr("Members"), qsTr("Moderators"), qsTr("Banned")]
                delegate: DButton {
                    objectName: "listTab" + index
                    width: (lists.width - 8) / 3
                    checkable: true
                    checked: root.listIndex === index
                    text: mainApp.languageUpdatedString + modelData
                    onClicked: root.listIndex = index
                }
            }
        }

        Rectangle {
            id: currentFrame
            anchors.top: listTabs.bottom
            anchors.topMargin: 4
            width: parent.width
            height: lists.finder ? (parent.height - listTabs.height) / 3 : parent.height - listTabs.height - 4
            color: styleManager.chatBackgroundColor
            border.color: styleManager.paneBorderColor

            ListView {
                objectName: "currentList"
                anchors.fill: parent
                anchors.margins: 3
                clip: true
                model: lists.current[root.listIndex]
                delegate: Text {
                    width: ListView.view.width
                    color: styleManager.enabledStyle.controlTextColor
                    elide: Text.ElideRight
                    textFormat: Text.PlainText
                    text: model.displayName !== undefined ? model.displayName : ""
                }
            }
        }

        Row {
            id: searchRow
            visible: !!lists.finder
            anchors.top: currentFrame.bottom
            anchors.topMargin: 6
            width: parent.width
            spacing: 4

            DTextField {
                id: searchField
                objectName: "searchField"
                width: searchRow.width - searchButton.width - searchRow.spacing
                placeholderText: mainApp.languageUpdatedString + qsTr("Find users")
                onAccepted: searchButton.clicked()
            }
            DButton {
                id: searchButton
                objectName: "searchButton"
                enabled: !!lists.finder && searchField.effectiveText !== "" && !lists.finder.isSearching
                text: mainApp.languageUpdatedString + qsTr("Search")
                onClicked: {
                    // Reading the list marks which hits are on it already.
                    var onList = lists.finder.baseUserList
                    lists.finder.searchForUsers(searchField.effectiveText, false)
                }
            }
        }

        Rectangle {
            visible: !!lists.finder
            anchors.top: searchRow.bottom
            anchors.topMargin: 4
            anchors.bottom: parent.bottom
            width: parent.width
            color: styleManager.chatBackgroundColor
            border.color: styleManager.paneBorderColor

            ListView {
                id: hits
                objectName: "searchResults"
                anchors.fill: parent
                anchors.margins: 3
                clip: true
                spacing: 2
                model: lists.finder ? lists.finder.searchResults : null
                delegate: Item {
                    width: hits.width
                    height: tileButton.height
                    Text {
                        color: styleManager.enabledStyle.controlTextColor
                        anchors.left: parent.left
                        anchors.right: tileButton.left
                        anchors.verticalCenter: parent.verticalCenter
                        elide: Text.ElideRight
                        textFormat: Text.PlainText
                        text: model.displayName !== undefined ? model.displayName : ""
                    }
                    DButton {
                        id: tileButton
                        anchors.right: parent.right
                        text: mainApp.languageUpdatedString + (model.isInReferenceList ? qsTr("Remove") : qsTr("Add"))
                        onClicked: lists.finder.tileClicked(root.channel ? root.channel.sipURI : "", model.sipURI,
                                                            !model.isInReferenceList)
                    }
                }
            }
        }
    }

    Row {
        id: buttons
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 10
        spacing: 10

        DButton {
            objectName: "deleteButton"
            visible: !!root.channel && root.channel.isPermanent && root.channel.isOwned
            text: mainApp.languageUpdatedString + qsTr("Delete channel")
            onClicked: root.channel.requestDelete(false)
        }
        DButton {
            objectName: "saveButton"
            enabled: nameField.effectiveText !== ""
            text: mainApp.languageUpdatedString + qsTr("Save")
            onClicked: root.save()
        }
        DButton {
            objectName: "cancelButton"
            text: mainApp.languageUpdatedString + qsTr("Cancel")
            onClicked: root.close("Cancel")
        }
    }
}
