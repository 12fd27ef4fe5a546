// The audio diagnostics window ("Internal Use Only"): switches for the voice
// SDK's echo cancellation, gain control and voice activity detection, the
// call statistics as a table that can be copied or cleared, and the speaker
// and microphone meters and levels.
//
// Context properties read: mainApp (TavriApplication: setAecEnabled,
// setAgcEnabled, setVadEnabled, copyCallStatsToClipboard, clearCallStats,
// callStats, languageUpdatedString, trackEvent), voiceManager
// (VoiceManager: the meters and levels), localUser (LocalUser:
// speakerVolumeAdjust, volumeAdjust), storageManager (the hints),
// mainViewer (the view), styleManager.
//
// The view is built once and then only hidden and shown, so the boxes keep
// their states and the hint chain runs once.
import QtQuick 2.15
import QtQuick.Controls 1.4 as QC1
import QtQuick.Layouts 1.3
import "controls"
import "components"

DTitledWindowBasic {
    id: root
    objectName: "hiddenWindow"

    readonly property string lang: mainApp.languageUpdatedString
    readonly property color noiseFloorColor: "#2f6fe0"
    // Dark enough to read on the window's red background.
    readonly property color thresholdColor: "#7a0000"
    readonly property color maxNoiseFloorColor: "black"

    // A statistics value with four decimals; what is not a number is shown
    // as it comes.
    function numberText(value) {
        if (value === undefined || value === null || value === "")
            return value === undefined || value === null ? "" : String(value)
        var number = Number(value)
        return isNaN(number) ? String(value) : number.toFixed(4)
    }

    width: 640
    height: 480
    title: qsTr("Internal Use Only")
    color: "red"

    ColumnLayout {
        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        anchors.topMargin: 5
        anchors.bottomMargin: 5
        spacing: 10

        RowLayout {
            spacing: 10
            DCheckBox {
                id: aecBox
                objectName: "aecBox"
                text: "Enable AEC"
                checked: true
                onCheckedChanged: mainApp.setAecEnabled(checked)
                Hint {
                    id: aecHint
                    //: Hint on the switch of the SDK's acoustic echo cancellation
                    title: root.lang + qsTr("Enabling / Disabling AEC")
                    trackingCategory: "statsScreenEnableAECHint"
                    hintWindowWidth: 640
                    hintWindowHeight: 480
                    showDisableAll: false
                    onDismissed: agcHint.activate()
                    HintScreen { text: "Click here to toggle Acoustic Echo Cancellation." }
                    HintScreen { text: "This will enable or disable the SDK internal acoustic echo cancellation for any current sessions." }
                    HintScreen {
                        // A page taller and wider than the hint window.
                        Item {
                            width: parent.width
                            height: 360
                            Flickable {
                                id: overflowPage
                                anchors.fill: parent
                                clip: true
                                contentWidth: overflowColumn.width
                                contentHeight: overflowColumn.height
                                Column {
                                    id: overflowColumn
                                    spacing: 8
                                    Text {
                                        width: overflowPage.width
                                        wrapMode: Text.WordWrap
                                        text: "These description screens are primarily to illustrate how the hints-on mode works.  This instance shows overflow"
                                    }
                                    Image { source: "qrc:/textures/Splash.png" }
                                }
                            }
                            ScrollIndicator {
                                flickable: overflowPage
                                anchors.right: parent.right
                                anchors.top: parent.top
                                anchors.bottom: parent.bottom
                            }
                            Rectangle {
                                // The horizontal position within the page.
                                visible: overflowPage.contentWidth > overflowPage.width
                                anchors.bottom: parent.bottom
                                height: 4
                                radius: 2
                                color: "grey"
                                x: overflowPage.visibleArea.xPosition * overflowPage.width
                                width: overflowPage.visibleArea.widthRatio * overflowPage.width
                            }
                        }
                    }
                }
            }
            DCheckBox {
                id: agcBox
                objectName: "agcBox"
                text: "Enable AGC"
                checked: true
                onCheckedChanged: mainApp.setAgcEnabled(checked)
                Hint {
                    id: agcHint
                    //: Hint on the switch of the SDK's automatic gain control
                    title: root.lang + qsTr("Enabling / Disabling AGC")
                    trackingCategory: "statsScreenEnableAGCHint"
                    hintWindowWidth: 240
                    hintWindowHeight: 180
                    onDismissed: vadHint.activate()
                    HintScreen { text: "Click here to toggle Automatic Gain Control." }
                    HintScreen { text: "This will enable or disable the SDK internal gain control for any current sessions, attempting to fix any problems with soft-talking or shouty local speaking." }
                    HintScreen { text: "These description screens are primarily to illustrate how the hints-on mode works." }
                }
            }
            DCheckBox {
                id: vadBox
                objectName: "vadBox"
                text: "Enable VAD"
                checked: true
                onCheckedChanged: mainApp.setVadEnabled(checked)
                Hint {
                    id: vadHint
                    //: Hint on the switch of the SDK's voice activity detection
                    title: root.lang + qsTr("Enabling / Disabling VAD")
                    trackingCategory: "statsScreenEnableVADHint"
                    HintScreen { text: "Click here to toggle Voice Activated Detection." }
                    HintScreen { text: "Setting this to off effectively sets the local mode to transmit always instead of transmit sometimes." }
                    HintScreen { text: "These description screens are primarily to illustrate how the hints-on mode works." }
                }
            }
            Item { Layout.fillWidth: true }
            DButton {
                objectName: "copyButton"
                text: "Copy Data"
                toolTip: root.lang + qsTr("Click here to copy call stats to clipboard")
                onClicked: mainApp.copyCallStatsToClipboard()
            }
            DButton {
                objectName: "clearButton"
                text: "Clear Data"
                toolTip: root.lang + qsTr("Click here to clear call stats")
                onClicked: mainApp.clearCallStats()
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: "lightgrey"

            QC1.TableView {
                id: table
                objectName: "statsTable"
                readonly property real columnWidth: (parent.width - 20) / (columnCount + 1)
                anchors.fill: parent
                model: mainApp.callStats
                headerDelegate: Rectangle {
                    height: 14
                    color: "white"
                    Text {
                        anchors.fill: parent
                        anchors.rightMargin: 4
                        horizontalAlignment: Text.AlignRight
                        verticalAlignment: Text.AlignVCenter
                        text: styleData.value
                        font.pointSize: styleManager.smallFontSize
                    }
                }
                itemDelegate: Text {
                    objectName: "statsCell"
                    horizontalAlignment: Text.AlignRight
                    elide: styleData.elideMode
                    font.pointSize: styleManager.smallFontSize
                    text: styleData.role === "codecName" ? (styleData.value === undefined ? "" : String(styleData.value))
                                                         : root.numberText(styleData.value)
                }
                onRowCountChanged: {
                    scrollTimer.tries = 0
                    scrollTimer.start()
                }

                QC1.TableViewColumn { role: "packetsSent"; title: "Tx"; width: table.columnWidth }
                QC1.TableViewColumn { role: "packetsReceived"; title: "Rx"; width: table.columnWidth }
                QC1.TableViewColumn { role: "packetsLost"; title: "Lost"; width: table.columnWidth }
                QC1.TableViewColumn { role: "packetsLate"; title: "Late"; width: table.columnWidth }
                QC1.TableViewColumn { role: "packetsDiscarded"; title: "Discard"; width: table.columnWidth }
                QC1.TableViewColumn { role: "lastLatencyMeasured"; title: "LastRTT"; width: table.columnWidth }
                QC1.TableViewColumn { role: "minLatency"; title: "MinRTT"; width: table.columnWidth }
                QC1.TableViewColumn { role: "maxLatency"; title: "MaxRTT"; width: table.columnWidth }
                QC1.TableViewColumn { role: "codecName"; title: "Codec"; width: 2 * table.columnWidth }
            }
            // New samples come at the end: keep the last row in view.
            Timer {
                id: scrollTimer
                objectName: "scrollTimer"
                interval: 20
                // The view learns its rows' heights as it lays them out, so
                // the end it was placed at may still move: it is placed
                // again, a few times at most, until it stays at the end.
                property int tries: 0
                onTriggered: {
                    if (table.rowCount <= 0)
                        return
                    table.positionViewAtRow(table.rowCount - 1, ListView.End)
                    var view = table.flickableItem
                    if (view.contentY + view.height < view.originY + view.contentHeight - 1 && ++tries < 10) {
                        restart()
                    } else {
                        tries = 0
                    }
                }
            }
        }

        RowLayout {
            Layout.preferredHeight: 10
            spacing: 6
            Rectangle {
                objectName: "speakerDot"
                width: 10
                height: 10
                radius: 5
                color: voiceManager.speakerActive ? "red" : "grey"
            }
            DEnergyMeter {
                Layout.fillWidth: true
                Layout.preferredHeight: 10
                value: isNaN(Number(voiceManager.speakerEnergy)) ? 0 : voiceManager.speakerEnergy
            }
        }
        RowLayout {
            spacing: 6
            DLabel {
                objectName: "speakerGainLabel"
                Layout.preferredWidth: 80
                text: "Gain: " + (voiceManager.speakerVolume - 50) + "dB"
            }
            VolumeAdjusterBar {
                id: speakerBar
                objectName: "speakerBar"
                Layout.fillWidth: true
                loaded: false
                minimumValue: 25
                maximumValue: 75
                function follow(volume) {
                    loaded = false
                    value = volume
                    dampedValue = value
                    loaded = true
                }
                onDampedValueChanged: {
                    if (loaded)
                        localUser.speakerVolumeAdjust = dampedValue
                }
                Connections {
                    target: voiceManager
                    function onSpeakerVolumeChanged() {
                        speakerBar.follow(voiceManager.speakerVolume)
                    }
                }
            }
        }
        DLabel { text: "Speaker output" }
        RowLayout {
            Layout.preferredHeight: 10
            spacing: 6
            Rectangle {
                objectName: "microphoneDot"
                width: 10
                height: 10
                radius: 5
                color: voiceManager.microphoneActive ? "red" : "grey"
            }
            DEnergyMeter {
                id: micMeter
                Layout.fillWidth: true
                Layout.preferredHeight: 10
                clip: false
                value: isNaN(Number(voiceManager.microphoneEnergy)) ? 0 : voiceManager.microphoneEnergy
                Repeater {
                    model: [
                        { value: voiceManager.noiseFloor, color: root.noiseFloorColor },
                        { value: voiceManager.speechThreshold, color: root.thresholdColor },
                        { value: voiceManager.maxNoiseFloor, color: root.maxNoiseFloorColor }
                    ]
                    Rectangle {
                        x: (isNaN(Number(modelData.value)) ? 0 : Number(modelData.value)) * micMeter.width
                        y: -2
                        width: 1
                        height: micMeter.height + 4
                        color: modelData.color
                    }
                }
            }
        }
        RowLayout {
            spacing: 6
            DLabel {
                objectName: "microphoneGainLabel"
                Layout.preferredWidth: 80
                text: "Gain: " + (voiceManager.microphoneVolume - 50) + "dB"
            }
            VolumeAdjusterBar {
                id: microphoneBar
                objectName: "microphoneBar"
                Layout.fillWidth: true
                loaded: false
                minimumValue: 25
                maximumValue: 75
                function follow(volume) {
                    loaded = false
                    value = volume
                    dampedValue = value
                    loaded = true
                }
                onDampedValueChanged: {
                    if (loaded)
                        localUser.volumeAdjust = dampedValue
                }
                Connections {
                    target: voiceManager
                    function onMicrophoneVolumeChanged() {
                        microphoneBar.follow(voiceManager.microphoneVolume)
                    }
                }
            }
        }
        DLabel { text: "Microphone input" }
        // The values in their markers' colours, on the table's light grey so
        // that the red and the black read on the red window.
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: valueRow.implicitHeight + 4
            color: "lightgrey"
            RowLayout {
                id: valueRow
                anchors.verticalCenter: parent.verticalCenter
                x: 4
                spacing: 16
                DLabel {
                    objectName: "noiseFloorValue"
                    color: root.noiseFloorColor
                    text: "Noise floor: " + root.numberText(voiceManager.noiseFloor)
                }
                DLabel {
                    objectName: "thresholdValue"
                    color: root.thresholdColor
                    text: "Speaking threshold: " + root.numberText(voiceManager.speechThreshold)
                }
                DLabel {
                    objectName: "maxNoiseFloorValue"
                    color: root.maxNoiseFloorColor
                    text: "Maximum noise floor: " + root.numberText(voiceManager.maxNoiseFloor)
                }
            }
        }
    }

    // The bars take their first values once every control has completed,
    // so that setting them up writes nothing.
    Component.onCompleted: {
        Qt.callLater(function() {
            speakerBar.follow(voiceManager.speakerVolume)
            microphoneBar.follow(voiceManager.microphoneVolume)
        })
        aecHint.activate()
    }
}
