import QtQuick 2.5
import QtQuick.Controls 1.4

// A single-line input. effectiveText is the text without leading and
// trailing white space, kept up to date on every change. The placeholder
// stays shown (dimmed) while the field is empty, focused or not.
TextField {
    id: field
    property string effectiveText: text.trim()
    property string toolTip: ""
    style: DTextFieldStyle {}
    DToolTip {
        text: field.toolTip
    }
}
