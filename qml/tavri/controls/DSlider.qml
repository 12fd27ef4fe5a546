import QtQuick 2.5
import QtQuick.Controls 1.4

// A slider in the style's colours, with a tool tip.
Slider {
    id: slider
    property string toolTip: ""
    style: DSliderStyle {}
    DToolTip {
        text: slider.toolTip
    }
}
