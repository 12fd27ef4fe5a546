import QtQuick 2.5
import QtQuick.Controls 1.4

// A check box in the style's colours, with a tool tip.
CheckBox {
    id: box
    property string toolTip: ""
    property real fontSize: 0
    style: DCheckboxStyle {}
    DToolTip {
        text: box.toolTip
    }
}
