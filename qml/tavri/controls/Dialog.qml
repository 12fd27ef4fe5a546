import QtQuick 2.5

// A dialog body: a message with buttons below it. `buttons` names them;
// a click emits buttonClicked with the button's index and text.
Item {
    id: dialog
    property string text: ""
    property var buttons: [qsTr("OK")]
    property int defaultButton: 0
    default property alias content: extra.data
    signal buttonClicked(int index, string text)

    implicitWidth: 320
    implicitHeight: column.implicitHeight + 20

    Column {
        id: column
        anchors.fill: parent
        anchors.margins: 10
        spacing: 12
        DLabelSquare {
            width: parent.width
            text: dialog.text
            wrapMode: Text.Wrap
            elide: Text.ElideNone
            visible: text.length > 0
        }
        Item {
            id: extra
            width: parent.width
            height: childrenRect.height
        }
        Row {
            anchors.right: parent.right
            spacing: 8
            Repeater {
                model: dialog.buttons
                DButton {
                    text: modelData
                    isDefault: index === dialog.defaultButton
                    onClicked: dialog.buttonClicked(index, modelData)
                }
            }
        }
    }
}
