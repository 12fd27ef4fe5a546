import QtQuick 2.5

// Factors by which a style darkens its base colour for one control state.
Item {
    property real gradient0: 1.0
    property real gradient1: 1.0
    property real border: 1.0
    property real text: 1.0
}
