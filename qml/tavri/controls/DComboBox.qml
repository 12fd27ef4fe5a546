import QtQuick 2.5
import QtQuick.Controls 1.4

// A combo box on the Quick Controls type, in the style's drop-down colours.
ComboBox {
    id: combo
    property string toolTip: ""
    style: DComboBoxStyle {}
    DToolTip {
        text: combo.toolTip
    }
}
