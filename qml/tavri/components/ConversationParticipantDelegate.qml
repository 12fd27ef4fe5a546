// One participant of a conversation in a list: a 25-pixel row with the
// picture, the display name and a speaking or muted icon. Reads the
// participant list's roles (displayName, profileImageURI, isSpeaking,
// isMuted) from the delegate's model.
// Context properties: styleManager.
import QtQuick 2.15
import "../controls"

Item {
    id: root

    property bool showMenuIcon: true
    readonly property string displayName: model.displayName !== undefined ? model.displayName : ""
    readonly property bool speaking: !!model.isSpeaking
    readonly property bool muted: !!model.isMuted

    signal menuRequested()

    objectName: "participantRow"
    height: 25

    DAvatarImage {
        id: avatar
        anchors.left: parent.left
        anchors.leftMargin: 2
        anchors.verticalCenter: parent.verticalCenter
        size: 21
        source: model.profileImageURI !== undefined ? model.profileImageURI : ""
        name: root.displayName
        chatColor: model.participantIdentityRef && model.participantIdentityRef.chatColor ? model.participantIdentityRef.chatColor : ""
    }
    DLabel {
        objectName: "participantName"
        anchors.left: avatar.right
        anchors.leftMargin: 6
        anchors.right: stateIcon.left
        anchors.rightMargin: 4
        anchors.verticalCenter: parent.verticalCenter
        text: root.displayName
        textFormat: Text.PlainText
        elide: Text.ElideRight
    }
    Image {
        id: stateIcon
        objectName: "participantState"
        anchors.right: menuIcon.visible ? menuIcon.left : parent.right
        anchors.rightMargin: 4
        anchors.verticalCenter: parent.verticalCenter
        width: 16
        height: 16
        fillMode: Image.PreserveAspectFit
        visible: root.muted || root.speaking
        source: root.muted ? styleManager.participantMutedIcon
                           : root.speaking ? styleManager.participantSpeakingIcon : ""
    }
    Image {
        id: menuIcon
        anchors.right: parent.right
        anchors.rightMargin: 2
        anchors.verticalCenter: parent.verticalCenter
        width: root.showMenuIcon ? 16 : 0
        height: 16
        visible: root.showMenuIcon
        fillMode: Image.PreserveAspectFit
        source: styleManager.participantMenuIcon
        MouseArea {
            anchors.fill: parent
            onClicked: root.menuRequested()
        }
    }
}
