import QtQuick 2.5

// The unread count of a pane or section: a round badge, hidden at 0.
Rectangle {
    property int count: 0
    visible: count > 0
    width: visible ? Math.max(18, countText.implicitWidth + 8) : 0
    height: 16
    radius: 8
    color: styleManager.paneUnreadCountColor
    Text {
        id: countText
        anchors.centerIn: parent
        text: parent.count
        color: styleManager.paneUnreadCountTextColor
        font.family: styleManager.condensedFont
        font.pointSize: styleManager.tinyFontSize
    }
}
