// The profile window of one realm user.
// Context properties: userToShow (RealmUser, the user shown; may be null),
// mainViewer (QQuickView, this window).
// Profile texts come from other users through the web service, so every text
// is shown as plain text: markup in them is never interpreted.
import QtQuick 2.15

Rectangle {
    id: root

    readonly property var user: typeof userToShow !== "undefined" ? userToShow : null

    function textOf(value) {
        return value === undefined || value === null ? "" : String(value)
    }

    width: 360
    height: 270
    color: "#f4f4f4"
    focus: true

    Keys.onEscapePressed: mainViewer.close()

    Text {
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
                source: root.user ? root.user.profileImageURI : ""
            }

            Column {
                spacing: 2

                Text {
                    objectName: "displayName"
                    width: root.width - picture.width - 34
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.bold: true
                    font.pixelSize: 16
                    text: root.textOf(root.user ? root.user.displayName : "")
                }
                Text {
                    objectName: "uname"
                    width: root.width - picture.width - 34
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    text: root.textOf(root.user ? root.user.uname : "")
                }
                Text {
                    objectName: "tagline"
                    width: root.width - picture.width - 34
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.italic: true
                    text: root.textOf(root.user ? root.user.tagline : "")
                }
            }
        }

        Text {
            objectName: "location"
            width: parent.width
            textFormat: Text.PlainText
            elide: Text.ElideRight
            text: root.user && root.textOf(root.user.location) !== ""
                  ? qsTr("Location: %1").arg(root.textOf(root.user.location)) : ""
        }

        Text {
            objectName: "lastOnline"
            width: parent.width
            textFormat: Text.PlainText
            text: root.user && root.user.lastOnline && root.user.lastOnline.getTime() > 0
                  ? qsTr("Last online: %1").arg(Qt.formatDateTime(root.user.lastOnline))
                  : ""
        }

        Text {
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
