import QtQuick 2.5

// A presence bubble: a small dot in the colour of a presence state
// (RealmUser states: 5 online, 6 chatty, 7 in game, 2 and 3 away, 4 busy,
// anything else offline), or in `color` when no state is given.
Rectangle {
    id: bubble
    property int presenceState: -1
    readonly property color presenceColor: presenceState === 5 || presenceState === 6 || presenceState === 7
        ? styleManager.presenceOnlineColor
        : presenceState === 2 || presenceState === 3 ? styleManager.presenceAwayColor
        : presenceState === 4 ? styleManager.presenceBusyColor : styleManager.presenceOfflineColor
    width: 9
    height: 9
    radius: width / 2
    color: presenceState >= 0 ? presenceColor : styleManager.presenceOfflineColor
    border.color: Qt.darker(color, 1.6)
    border.width: 1
}
