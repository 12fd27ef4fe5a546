import QtQuick 2.5
import QtQuick.Window 2.2

// A drawn drop-down chooser. `index` (0 at creation) is the selected row;
// the shown text follows it and the model (the role `textRole`, or the
// row's own text for plain lists). Choosing a row with the pointer or the
// keys sets `index` and emits activated; so does setting `index` from code,
// which behaves exactly like a user's choice.
FocusScope {
    id: combo
    property var model: []
    property string textRole: ""
    property int index: 0
    property int textAlign: Text.AlignLeft
    property color textColor: styleManager.dropdownTextColor
    property string toolTip: ""
    property int rowHeight: 20
    property int maximumRows: 8
    readonly property string currentText: list.currentItem ? list.currentItem.itemText : ""
    readonly property int count: list.count
    readonly property bool popupVisible: popup.visible
    signal activated(int index)

    implicitWidth: 160
    implicitHeight: 22
    activeFocusOnTab: true

    function openPopup() {
        if (combo.enabled && list.count > 0) {
            // Lift the list onto the window's content so that it draws
            // over whatever follows the box.
            var top = combo.Window.contentItem
            if (top) {
                var at = combo.mapToItem(top, 0, combo.height)
                popup.parent = top
                popup.x = at.x
                // Opens upwards when the window has no room below the box.
                var above = at.y - combo.height - popup.height
                popup.y = at.y + popup.height > top.height && above >= 0 ? above : at.y
            }
            popup.visible = true
            combo.forceActiveFocus()
        }
    }
    function closePopup() {
        popup.visible = false
    }
    function choose(row) {
        closePopup()
        if (row >= 0 && row < list.count)
            combo.index = row
    }

    onIndexChanged: combo.activated(combo.index)

    Keys.onPressed: {
        if (event.key === Qt.Key_Down) {
            if (combo.index < list.count - 1)
                combo.index = combo.index + 1
            event.accepted = true
        } else if (event.key === Qt.Key_Up) {
            if (combo.index > 0)
                combo.index = combo.index - 1
            event.accepted = true
        } else if (event.key === Qt.Key_Space || event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
            popup.visible ? combo.closePopup() : combo.openPopup()
            event.accepted = true
        } else if (event.key === Qt.Key_Escape && popup.visible) {
            combo.closePopup()
            event.accepted = true
        }
    }

    Rectangle {
        id: box
        anchors.fill: parent
        color: popup.visible || combo.activeFocus ? styleManager.dropdownFocusColor
             : boxArea.containsMouse ? styleManager.dropdownHoverColor : styleManager.dropdownColor
        border.color: styleManager.dropdownBorderColor
        opacity: combo.enabled ? 1.0 : styleManager.disabledStyle.controlOpacity

        Text {
            anchors.left: parent.left
            anchors.right: arrow.left
            anchors.leftMargin: 6
            anchors.rightMargin: 4
            anchors.verticalCenter: parent.verticalCenter
            text: combo.currentText
            color: combo.textColor
            horizontalAlignment: combo.textAlign
            elide: Text.ElideRight
            font.family: styleManager.condensedFont
            font.pointSize: styleManager.baseFontSize
        }
        Text {
            id: arrow
            anchors.right: parent.right
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            text: "\u25BE"
            color: styleManager.comboboxArrowColor
        }
        MouseArea {
            id: boxArea
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: popup.visible ? combo.closePopup() : combo.openPopup()
            DToolTip {
                text: combo.toolTip
            }
        }
    }

    Rectangle {
        id: popup
        visible: false
        z: 1000
        y: combo.height
        width: combo.width
        height: Math.min(list.count, combo.maximumRows) * combo.rowHeight + 2
        color: styleManager.dropdownColor
        border.color: styleManager.dropdownBorderColor

        ListView {
            id: list
            objectName: "comboList"
            anchors.fill: parent
            anchors.margins: 1
            clip: true
            model: combo.model
            currentIndex: combo.index
            boundsBehavior: Flickable.StopAtBounds
            delegate: Rectangle {
                readonly property string itemText: {
                    if (combo.textRole.length > 0)
                        return model[combo.textRole] !== undefined ? String(model[combo.textRole]) : ""
                    if (model.modelData !== undefined)
                        return String(model.modelData)
                    return model.display !== undefined ? String(model.display) : ""
                }
                width: list.width
                height: combo.rowHeight
                color: rowArea.containsMouse ? styleManager.dropdownHoverColor
                     : index === combo.index ? styleManager.dropdownFocusColor : "transparent"
                Text {
                    anchors.fill: parent
                    anchors.leftMargin: 6
                    anchors.rightMargin: 6
                    verticalAlignment: Text.AlignVCenter
                    horizontalAlignment: combo.textAlign
                    text: parent.itemText
                    color: combo.textColor
                    elide: Text.ElideRight
                    font.family: styleManager.condensedFont
                    font.pointSize: styleManager.baseFontSize
                }
                MouseArea {
                    id: rowArea
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: combo.choose(index)
                }
            }
        }
    }
}
