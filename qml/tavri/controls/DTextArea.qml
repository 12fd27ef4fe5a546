import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// Multi-line text input with the input colours, paste, undo and redo (the
// usual keys, and the functions of the same names), a placeholder shown
// while empty and an optional length limit.
FocusScope {
    id: area
    property alias text: edit.text
    property alias readOnly: edit.readOnly
    property alias textFormat: edit.textFormat
    property alias wrapMode: edit.wrapMode
    property alias length: edit.length
    property string placeholderText: ""
    property int maximumLength: -1
    property string toolTip: ""
    readonly property var activeStyle: !enabled ? styleManager.disabledStyle : styleManager.enabledStyle
    signal accepted()

    implicitWidth: 200
    implicitHeight: 60

    function paste() { edit.paste() }
    function undo() { edit.undo() }
    function redo() { edit.redo() }
    function selectAll() { edit.selectAll() }
    // Removes the text through the edit's own cursor: setting an empty text
    // while the area has the focus (or is taking it) leaves the cursor at
    // its old place past the end ("QTextCursor::setPosition: Position N out
    // of range").
    function clear() { edit.remove(0, edit.length) }

    Rectangle {
        anchors.fill: parent
        border.width: area.activeStyle.inputControlBorderWidth
        border.color: edit.activeFocus ? area.activeStyle.inputControlFocusBorderColor
                                       : area.activeStyle.inputControlBorderColor
        gradient: Gradient {
            GradientStop { position: 0.0; color: area.activeStyle.inputControlGradient0 }
            GradientStop { position: 1.0; color: area.activeStyle.inputControlGradient1 }
        }
    }
    TextArea {
        id: edit
        anchors.fill: parent
        anchors.margins: 1
        focus: true
        wrapMode: TextEdit.Wrap
        textFormat: TextEdit.PlainText
        backgroundVisible: false
        frameVisible: false
        textColor: area.activeStyle.inputControlTextColor
        font.family: styleManager.regularFont
        font.pointSize: area.activeStyle.controlFontSize
        style: TextAreaStyle {
            selectionColor: styleManager.textSelectionColor
            selectedTextColor: area.activeStyle.inputControlSelectedTextColor
            transientScrollBars: true
        }
        onTextChanged: {
            if (area.maximumLength >= 0 && length > area.maximumLength)
                remove(area.maximumLength, length)
        }
        Keys.onReturnPressed: {
            if (event.modifiers & Qt.ShiftModifier)
                event.accepted = false
            else
                area.accepted()
        }
    }
    Text {
        anchors.fill: parent
        anchors.margins: 6
        visible: edit.length === 0
        text: area.placeholderText
        color: styleManager.labelGrayTextColor
        font: edit.font
        wrapMode: Text.Wrap
    }
    DToolTip {
        text: area.toolTip
    }
}
