import QtQuick 2.5

// A titled frame around a group of controls; with `checkable` the title
// carries a check box that enables the group's content.
FocusScope {
    id: group
    property string title: ""
    property bool checkable: false
    property bool checked: true
    default property alias content: body.data

    implicitWidth: Math.max(body.childrenRect.width + 20, 120)
    implicitHeight: body.childrenRect.height + 36

    Rectangle {
        anchors.fill: parent
        anchors.topMargin: 8
        color: "transparent"
        border.color: styleManager.enabledStyle.controlBorderColor
        radius: 2
    }
    Rectangle {
        x: 8
        width: titleRow.width + 8
        height: titleRow.height
        color: styleManager.panelGradient1
        Row {
            id: titleRow
            x: 4
            spacing: 4
            DCheckBox {
                visible: group.checkable
                checked: group.checked
                onClicked: group.checked = checked
            }
            DLabel {
                text: group.title
                bold: true
            }
        }
    }
    Item {
        id: body
        x: 10
        y: 26
        width: group.width - 20
        height: group.height - 36
        enabled: !group.checkable || group.checked
    }
}
