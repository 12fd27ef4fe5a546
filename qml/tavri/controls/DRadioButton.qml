import QtQuick 2.5
import QtQuick.Controls 1.4

// A radio button in the style's colours, with a tool tip.
RadioButton {
    id: radio
    property string toolTip: ""
    style: DRadioButtonStyle {}
    DToolTip {
        text: radio.toolTip
    }
}
