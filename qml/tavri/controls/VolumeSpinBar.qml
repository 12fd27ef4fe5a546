import QtQuick 2.5

// A volume spinner from 0 to 100 with a muted state: the speaker icon
// toggles `muted`, the arrows and the wheel step the volume by 5.
Rectangle {
    id: bar
    property int value: 50
    property bool muted: false
    property int step: 5
    signal volumeChanged(int value)
    signal mutedToggled(bool muted)

    implicitWidth: 90
    implicitHeight: 22
    color: styleManager.enabledStyle.inputControlGradient0
    border.color: styleManager.enabledStyle.inputControlBorderColor

    function stepBy(delta) {
        var next = Math.max(0, Math.min(100, bar.value + delta))
        if (next !== bar.value) {
            bar.value = next
            bar.volumeChanged(next)
        }
    }

    ImageButton {
        id: speaker
        anchors.left: parent.left
        anchors.leftMargin: 3
        anchors.verticalCenter: parent.verticalCenter
        width: 16
        height: 16
        normalImage: bar.muted ? styleManager.participantVolumeOffIcon
                   : bar.value < 34 ? styleManager.participantVolumeLowIcon
                   : bar.value < 67 ? styleManager.participantVolumeMediumIcon : styleManager.participantVolumeHighIcon
        onClicked: {
            bar.muted = !bar.muted
            bar.mutedToggled(bar.muted)
        }
    }
    Text {
        anchors.centerIn: parent
        text: bar.muted ? qsTr("Muted") : bar.value + "%"
        color: styleManager.enabledStyle.inputControlTextColor
        font.family: styleManager.condensedFont
        font.pointSize: styleManager.smallFontSize
    }
    Column {
        anchors.right: parent.right
        anchors.rightMargin: 2
        anchors.verticalCenter: parent.verticalCenter
        Text {
            text: "\u25B4"
            color: styleManager.enabledStyle.inputControlTextColor
            MouseArea { anchors.fill: parent; onClicked: bar.stepBy(bar.step) }
        }
        Text {
            text: "\u25BE"
            color: styleManager.enabledStyle.inputControlTextColor
            MouseArea { anchors.fill: parent; onClicked: bar.stepBy(-bar.step) }
        }
    }
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        onWheel: bar.stepBy(wheel.angleDelta.y > 0 ? bar.step : -bar.step)
    }
}
