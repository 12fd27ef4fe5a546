// The profile window of one realm user.
// Context properties: userToShow (RealmUser, the user shown; may be null),
// mainViewer (QQuickView, this window).
// Profile texts come from other users through the web service, so every text
// is shown as plain text: markup in them is never interpreted.
import QtQuick 2.15

Rectangle {
    id: root

    readonly property var user: typeof userToShow !== "undefined" ? userToShow : null
    // The program's style; a window loaded on its own (in tests of the
    // realm) has none and keeps plain colours.
    readonly property var style: typeof styleManager !== "undefined" ? styleManager : null
    readonly property color textColor: style ? style.enabledStyle.controlTextColor : "black"
    readonly property string fontFamily: style ? style.regularFont : ""

    function textOf(value) {
        return value === undefined || value === null ? "" : String(value)
    }

    width: 360
    height: 270
    color: style ? style.panelGradient1 : "#f4f4f4"
    border.width: style ? style.windowBorderWidth : 0
    border.color: style ? style.windowBorderColor : "transparent"
    focus: true

    Keys.onEscapePressed: mainViewer.close()

    component StyledText: Text {
        color: root.textColor
        font.family: root.fontFamily
    }

    StyledText {
        id: closeButton
        objectName: "closeButton"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 6
        z: 1
        text: "\u2715"
        Accessible.name: qsTr("Close")

        MouseArea {
            anchors.fill: parent
            anchors.margins: -4
            onClicked: mainViewer.close()
        }
    }

    Column {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 6

        Row {
            spacing: 10

            Image {
                id: picture
                objectName: "picture"
                width: 64
                height: 64
                fillMode: Image.PreserveAspectFit
                source: root.user && root.textOf(root.user.profileImageURI) !== "" ? root.user.profileImageURI
                        : root.style ? root.style.defaultAvatarImage : ""
            }

            Column {
                spacing: 2

                StyledText {
                    objectName: "displayName"
                    width: root.width - picture.width - 34
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.bold: true
                    font.pixelSize: 16
                    text: root.textOf(root.user ? root.user.displayName : "")
                }
                StyledText {
                    objectName: "uname"
                    width: root.width - picture.width - 34
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    text: root.textOf(root.user ? root.user.uname : "")
                }
                StyledText {
                    objectName: "tagline"
                    width: root.width - picture.width - 34
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.italic: true
                    text: root.textOf(root.user ? root.user.tagline : "")
                }
            }
        }

        StyledText {
            objectName: "location"
            width: parent.width
            textFormat: Text.PlainText
            elide: Text.ElideRight
            text: root.user && root.textOf(root.user.location) !== ""
                  ? qsTr("Location: %1").arg(root.textOf(root.user.location)) : ""
        }

        StyledText {
            objectName: "lastOnline"
            width: parent.width
            textFormat: Text.PlainText
            text: root.user && root.user.lastOnline && root.user.lastOnline.getTime() > 0
                  ? qsTr("Last online: %1").arg(Qt.formatDateTime(root.user.lastOnline))
                  : ""
        }

        StyledText {
            objectName: "description"
            width: parent.width
            height: parent.height - y
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            elide: Text.ElideRight
            text: root.textOf(root.user ? root.user.description : "")
        }
    }
}
