import QtQuick 2.5

// The colours, border, font and opacity of controls in one state (enabled,
// disabled, hovered, focused, pressed). Plain controls use the control*
// values, text inputs the inputControl* values.
Item {
    property color controlTextColor: "grey"
    property color controlGradient0: "lightgrey"
    property color controlGradient1: "darkgrey"
    property int controlBorderWidth: 1
    property color controlBorderColor: "black"
    property real controlOpacity: 1.0
    property string controlFontFamily: ""
    property real controlFontSize: Qt.platform.os === "osx" ? 14 : 10.5
    property color controlFocusBorderColor: "blue"
    property real imageOpacity: 1.0

    property color inputControlTextColor: "black"
    property color inputControlSelectedTextColor: "white"
    property color inputControlGradient0: "white"
    property color inputControlGradient1: "white"
    property int inputControlBorderWidth: 1
    property color inputControlBorderColor: "black"
    property color inputControlFocusBorderColor: "blue"
}
