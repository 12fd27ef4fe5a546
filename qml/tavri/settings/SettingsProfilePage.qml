// The profile page of the settings window: the own picture, name, tag
// line, location and description.
//
// Context properties read: localUser (LocalUser: profileImageURI, userName,
// customDisplayName, email, tagline, location, description,
// requestProfilePictureUpdate, requestProfileUpdate), mainApp
// (TavriApplication: imageDirPath, isImageValid, trackEvent,
// languageUpdatedString), filePicker (TavriFilePicker: getFileUrl),
// styleManager.
import QtQuick 2.15
import QtQuick.Layouts 1.3
import "../controls"

DTabbedWindowBasic {
    id: root
    objectName: "settingsProfilePage"

    readonly property string lang: mainApp.languageUpdatedString
    readonly property int rowHeight: 26
    // The picture chosen on this page, empty while the local user's shows.
    property string chosenPicture: ""
    // The picture last saved from this page.
    property string savedPicture: ""
    readonly property string shownPicture: chosenPicture.length > 0 ? chosenPicture : String(localUser.profileImageURI)
    // The values the fields are compared with: the local user's, or the
    // ones last saved until the local user reports them.
    property var saved: ({ name: "", description: "", tagline: "", location: "" })
    readonly property bool hasChanges: nameField.text !== saved.name || descriptionArea.text !== saved.description
                                       || taglineField.text !== saved.tagline || locationField.text !== saved.location
                                       || (chosenPicture.length > 0 && chosenPicture !== savedPicture
                                           && chosenPicture !== String(localUser.profileImageURI))

    function isPictureName(url) {
        var lowered = String(url).toLowerCase()
        return lowered.endsWith(".png") || lowered.endsWith(".jpg") || lowered.endsWith(".jpeg")
    }

    function choosePicture() {
        mainApp.trackEvent("ProfileEditor", "ChangeProfilePictureClick", [])
        var url = filePicker.getFileUrl(qsTr("Choose your profile picture"), mainApp.imageDirPath,
                                        qsTr("Images") + " (*.png *.jpg *.jpeg)", false)
        if (!url || !root.isPictureName(url) || !mainApp.isImageValid(url))
            return
        root.chosenPicture = url
        mainApp.trackEvent("ProfileEditor", "ChangeProfileImage", [])
    }

    function save() {
        if (root.chosenPicture.length > 0 && root.chosenPicture !== root.savedPicture
                && root.chosenPicture !== String(localUser.profileImageURI))
            localUser.requestProfilePictureUpdate(root.chosenPicture)
        localUser.requestProfileUpdate(nameField.text, descriptionArea.text, taglineField.text, locationField.text)
        mainApp.trackEvent("UserProfileEditor", "SaveUpdateButton", [])
        root.saved = { name: nameField.text, description: descriptionArea.text, tagline: taglineField.text,
                       location: locationField.text }
        root.savedPicture = root.chosenPicture
    }

    // Shows the local user's values.
    function reload() {
        // The name field edits the chosen name, never the user name shown
        // in its place.
        root.saved = { name: localUser.customDisplayName, description: localUser.description,
                       tagline: localUser.tagline, location: localUser.location }
        nameField.text = root.saved.name
        descriptionArea.text = root.saved.description
        taglineField.text = root.saved.tagline
        locationField.text = root.saved.location
    }

    Component.onCompleted: reload()

    Connections {
        target: localUser
        function onDisplayNameChanged() { root.reload() }
        function onDescriptionChanged() { root.reload() }
        function onTaglineChanged() { root.reload() }
        function onLocationChanged() { root.reload() }
    }

    RowLayout {
        anchors.fill: parent
        anchors.margins: 20
        anchors.bottomMargin: 44
        spacing: 20

        Item {
            Layout.preferredWidth: 128
            Layout.preferredHeight: 128
            Layout.alignment: Qt.AlignTop
            Image {
                id: picture
                objectName: "profilePicture"
                anchors.fill: parent
                fillMode: Image.PreserveAspectCrop
                // Without a picture of their own, the user sees the style's default one.
                source: root.shownPicture !== "" ? root.shownPicture : styleManager.defaultAvatarImage
            }
            Image {
                objectName: "pictureOverlay"
                anchors.fill: parent
                opacity: picture.status === Image.Ready && pictureArea.containsMouse ? 0.8 : 1
                source: pictureArea.containsMouse ? "qrc:/textures/Channel_EditImage_Hover.png"
                                                  : "qrc:/textures/Channel_EditImage_Static.png"
                MouseArea {
                    id: pictureArea
                    objectName: "pictureArea"
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: root.choosePicture()
                    DToolTip { text: root.lang + qsTr("Click to change image") }
                }
            }
        }

        ColumnLayout {
            Layout.preferredWidth: 360
            Layout.fillHeight: true
            spacing: 4
            DLabel { text: root.lang + qsTr("Username") }
            DTextField {
                objectName: "userNameField"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                text: localUser.userName
                readOnly: true
            }
            DLabel { text: root.lang + qsTr("Optional custom name") }
            DTextField {
                id: nameField
                objectName: "nameField"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                maximumLength: 200
                placeholderText: root.lang + qsTr("Enter display name here...")
            }
            DLabel { text: root.lang + qsTr("E-mail address") }
            DTextField {
                objectName: "emailField"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                text: localUser.email
                readOnly: localUser.email.length > 0
            }
            DLabel { text: root.lang + qsTr("Tag line") }
            DTextField {
                id: taglineField
                objectName: "taglineField"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                maximumLength: 200
                placeholderText: root.lang + qsTr("Enter tag line here...")
            }
            DLabel { text: root.lang + qsTr("Location") }
            DTextField {
                id: locationField
                objectName: "locationField"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                maximumLength: 200
                placeholderText: root.lang + qsTr("Enter location here...")
            }
            DLabel {
                text: root.lang + qsTr("Description (%1 of %2 characters)").arg(descriptionArea.length)
                                                                         .arg(descriptionArea.maximumLength)
            }
            DTextArea {
                id: descriptionArea
                objectName: "descriptionArea"
                Layout.fillWidth: true
                Layout.fillHeight: true
                maximumLength: 1000
                wrapMode: TextEdit.Wrap
            }
        }
    }

    DButton {
        objectName: "saveButton"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.rightMargin: 5
        anchors.bottomMargin: 17
        height: 20
        isDefault: true
        enabled: root.hasChanges
        text: root.lang + qsTr("Save")
        onClicked: root.save()
    }
}
