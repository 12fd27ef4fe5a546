// The window that edits the texts shown with the presences Online and Away.
//
// Context properties read: localUser (LocalUser: onlineStatus, awayStatus,
// setPresenceMessage), mainApp (TavriApplication: trackEvent,
// languageUpdatedString), mainViewer (the view: hide()), styleManager.
//
// The view is built once and only shown and hidden afterwards; closing it
// saves nothing.
import QtQuick 2.15
import QtQuick.Layouts 1.3
import RealmUser 1.0
import "controls"

DTitledWindowBasic {
    id: root
    objectName: "editPresenceMessages"

    readonly property string lang: mainApp.languageUpdatedString

    function saveMessages() {
        localUser.setPresenceMessage(RealmUser.Online, onlineField.effectiveText)
        localUser.setPresenceMessage(RealmUser.Away, awayField.effectiveText)
        mainApp.trackEvent("EditPresenceMessages", "OnlineMessageUpdatedEnter", [])
        mainApp.trackEvent("EditPresenceMessages", "AwayMessageUpdated", [])
        root.hideView()
    }

    function restoreDefaults() {
        localUser.setPresenceMessage(RealmUser.Online, "")
        localUser.setPresenceMessage(RealmUser.Away, "")
    }

    width: 360
    height: 200
    minimumWidth: 360
    minimumHeight: 200
    title: root.lang + qsTr("Edit status messages")

    GridLayout {
        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        anchors.topMargin: 5
        anchors.bottomMargin: 5
        columns: 2

        DLabel {
            Layout.preferredWidth: 170
            wrapMode: Text.WordWrap
            elide: Text.ElideNone
            text: root.lang + qsTr("Status message when Online:")
        }
        DTextField {
            id: onlineField
            objectName: "onlineField"
            Layout.preferredWidth: 150
            Layout.alignment: Qt.AlignRight
            maximumLength: 30
            text: localUser.onlineStatus
            placeholderText: root.lang + qsTr("Enter text shown when Online")
        }
        DLabel {
            Layout.preferredWidth: 170
            wrapMode: Text.WordWrap
            elide: Text.ElideNone
            text: root.lang + qsTr("Status message when Away:")
        }
        DTextField {
            id: awayField
            objectName: "awayField"
            Layout.preferredWidth: 150
            Layout.alignment: Qt.AlignRight
            maximumLength: 30
            text: localUser.awayStatus
            placeholderText: root.lang + qsTr("Enter text shown when Away")
        }
        RowLayout {
            Layout.columnSpan: 2
            Layout.alignment: Qt.AlignRight
            spacing: 13
            DButton {
                objectName: "defaultButton"
                Layout.preferredHeight: 20
                isDefault: true
                text: root.lang + qsTr("Default")
                onClicked: root.restoreDefaults()
            }
            DButton {
                objectName: "saveButton"
                Layout.preferredHeight: 20
                isDefault: true
                text: root.lang + qsTr("Save")
                onClicked: root.saveMessages()
            }
        }
    }

    // The fields show every text the local user announces, a typed text
    // included once it was saved.
    Connections {
        target: localUser
        function onOnlineStatusChanged() {
            onlineField.text = localUser.onlineStatus
        }
        function onAwayStatusChanged() {
            awayField.text = localUser.awayStatus
        }
    }
}
