import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// The look of DProgressBar: the slider groove and fill colours.
ProgressBarStyle {
    background: Rectangle {
        implicitWidth: 160
        implicitHeight: 8
        color: styleManager.sliderGrooveColor
        border.color: styleManager.enabledStyle.controlBorderColor
    }
    progress: Rectangle {
        color: styleManager.sliderFillColor
    }
}
