import QtQuick 2.5
import QtQuick.Controls 1.4

// A spin box in the style's input colours, with a tool tip.
SpinBox {
    id: spin
    property string toolTip: ""
    style: DSpinBoxStyle {}
    DToolTip {
        text: spin.toolTip
    }
}
