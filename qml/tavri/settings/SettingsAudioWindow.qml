// The audio page of the settings window: output and input devices, levels,
// the output and headphone tests, the microphone meter with the noise floor
// and the speech threshold, automatic input levels, the transmit mode and the
// push-to-talk key combination.
//
// Context properties read: mainApp (TavriApplication), localUser
// (LocalUser), voiceManager (VoiceManager), storageManager (StorageManager),
// renderDevices and captureDevices (the device models), styleManager,
// mainViewer (the settings view: hide()) and self (the key-capture view:
// keyEvent(nativeVirtualKey, text, key, isAutoRepeat, pressed)).
//
// Every control writes its own setting when it changes; "Done" only stops
// what runs and hides the window. The page lives as long as the settings
// window and keeps its state while other pages show.
import QtQuick 2.15
import QtQuick.Layouts 1.3
import Settings 1.0
import LocalUser 1.0
import "../controls"

DTabbedWindowBasic {
    id: root
    objectName: "settingsAudioWindow"

    // 0: no test started from the page; 1: the page started the render
    // test; 2: the page started the capture test.
    property int runningTestNumber: 0
    // Set once the transmit chooser has read the stored mode; while it is
    // down, the chooser and the shown combination write nothing.
    property bool pageLoaded: false
    property string pttCombo: ""
    property bool isCapturing: false
    property var nativeVirtualKeys: []
    property var qtKeyCodes: []
    property bool refusalShown: false
    property bool overlayShown: false
    // Set once the level bars have taken their first values.
    property bool levelsReady: false

    readonly property string lang: mainApp.languageUpdatedString
    readonly property bool renderTestRunning: mainApp.renderTestRunning === true
    readonly property bool captureTestRunning: mainApp.captureTestRunning === true
    readonly property bool renderValid: renderDevices !== null && renderDevices.hasValidDevice === true
    readonly property bool captureValid: captureDevices !== null && captureDevices.hasValidDevice === true
    readonly property color headingColor: styleManager.enabledStyle.controlTextColor
    readonly property color noiseFloorColor: "#2f6fe0"
    readonly property color thresholdColor: "#e02020"
    readonly property int rowHeight: 20

    signal startCapture()
    signal stopCapture()

    // The text of a meter value in decibels below full scale: 1 is 0 dB and
    // 0 is minus infinity (20 * log10(32767) spread over the meter's range).
    function decibelText(x) {
        var value = Number(x)
        if (isNaN(value))
            return "???"
        if (value === 0)
            return qsTr("-Inf")
        return (value * 90.3087336 - 90.3087336).toFixed(4)
    }

    function track(label, details) {
        mainApp.trackEvent("AudioSettings", label, details === undefined ? [] : details)
    }

    function stopRunningTests() {
        if (root.renderTestRunning)
            mainApp.stopRenderTest()
        if (root.captureTestRunning)
            mainApp.stopCaptureTest()
    }

    function beginCapture() {
        root.isCapturing = true
        root.startCapture()
    }

    function endCapture() {
        root.isCapturing = false
        root.stopCapture()
    }

    // Stops the page's tests and a running key capture; "Done" and hiding
    // the window both end this way.
    function finish() {
        root.stopRunningTests()
        root.runningTestNumber = 0
        if (root.isCapturing) {
            root.endCapture()
            transmitChooser.index = 0
        }
        root.nativeVirtualKeys = []
        root.qtKeyCodes = []
    }

    function reset() {
        outputBar.value = 50
        localUser.speakerVolumeAdjust = 50
        inputBar.value = 50
        localUser.volumeAdjust = 50
        outputChooser.index = 0
        inputChooser.index = 0
        root.stopRunningTests()
        transmitChooser.index = 0
        // The stored server default (or 26) is the sensitivity itself.
        thresholdBar.value = Number(storageManager.getDefaultSettings(Settings.SettingsKeyVadSensitivity, 26))
    }

    // Writes one sensitivity to the local user and the settings store, as
    // the same whole number in both.
    function storeVadSensitivity(value) {
        var sensitivity = Math.round(Number(value))
        if (isNaN(sensitivity))
            return
        localUser.vadSensitivity = sensitivity
        storageManager.setSettingsValue(Settings.SettingsKeyVadSensitivity, sensitivity)
    }

    function storeModeForCombo() {
        var mode = LocalUser.PushToTalkModeNone
        if (transmitChooser.index === 1 && root.pttCombo.length > 0)
            mode = LocalUser.PushToTalkModeTalk
        else if (transmitChooser.index === 2 && root.pttCombo.length > 0)
            mode = LocalUser.PushToTalkModeToggle
        storageManager.setSettingsValue(Settings.SettingsKeyPttMode, mode)
        localUser.refreshPttSettings()
    }

    function readStoredMode() {
        root.pageLoaded = false
        var mode = Number(storageManager.getSettingsValue(Settings.SettingsKeyPttMode, 0))
        transmitChooser.index = mode === 1 ? 1 : mode === 2 ? 2 : 0
        root.pageLoaded = true
    }

    function onTransmitChosen(index) {
        if (!root.pageLoaded)
            return
        if (index === 0) {
            storageManager.setSettingsValue(Settings.SettingsKeyPttMode, LocalUser.PushToTalkModeNone)
            if (root.isCapturing)
                root.endCapture()
        } else if (root.pttCombo.length > 0) {
            storageManager.setSettingsValue(Settings.SettingsKeyPttMode,
                                            index === 1 ? LocalUser.PushToTalkModeTalk
                                                        : LocalUser.PushToTalkModeToggle)
        } else {
            root.beginCapture()
        }
        root.refusalShown = false
        localUser.refreshPttSettings()
        root.track("TransmitStyle", ["i:" + index])
    }

    function onCapturedKey(nativeVirtualKey, key, isAutoRepeat, pressed) {
        if (!root.isCapturing || isAutoRepeat || transmitChooser.index === 0)
            return
        if (pressed) {
            var natives = root.nativeVirtualKeys.slice()
            var keys = root.qtKeyCodes.slice()
            natives.push(nativeVirtualKey)
            keys.push(key)
            root.nativeVirtualKeys = natives
            root.qtKeyCodes = keys
            root.pttCombo = mainApp.getKeySequenceString(keys, natives)
            if (natives.length < 4)
                return
        }
        root.endCapture()
        if (root.nativeVirtualKeys.length > 0) {
            if (localUser.isPttKeyComboValid(root.nativeVirtualKeys)) {
                localUser.setPttKeyCombo(transmitChooser.index === 2 ? LocalUser.PushToTalkModeToggle
                                                                     : LocalUser.PushToTalkModeTalk,
                                         root.nativeVirtualKeys)
                storageManager.setSettingsValue(Settings.SettingsKeyPttKeyComboString, root.pttCombo)
            } else {
                root.refusalShown = true
                root.pttCombo = ""
                storageManager.setSettingsValue(Settings.SettingsKeyPttKeyComboString, "")
            }
        }
        root.nativeVirtualKeys = []
        root.qtKeyCodes = []
        root.track("SetPTTKeyCombo", ["kc:" + root.pttCombo])
    }

    onPttComboChanged: {
        if (root.pageLoaded && localUser.loginState === LocalUser.LoggedIn)
            root.storeModeForCombo()
    }

    // The bars take their first values once every control has completed,
    // so that nothing of their own setting up reaches the settings; a first
    // value outside a bar's range is written, clamped, as a moved bar's.
    function initialiseLevels() {
        outputBar.follow(voiceManager.speakerVolume)
        inputBar.follow(voiceManager.microphoneVolume)
        thresholdBar.follow(localUser.vadSensitivity)
        root.levelsReady = true
    }

    Component.onCompleted: {
        root.pttCombo = String(storageManager.getSettingsValue(Settings.SettingsKeyPttKeyComboString, ""))
        root.readStoredMode()
        Qt.callLater(root.initialiseLevels)
    }
    Component.onDestruction: console.log("destroying SettingsAudioWindow.qml")

    Connections {
        target: storageManager
        function onSettingsInitialized() {
            root.readStoredMode()
            root.pttCombo = String(storageManager.getSettingsValue(Settings.SettingsKeyPttKeyComboString, ""))
        }
    }
    Connections {
        target: localUser
        function onLoginStateChanged(loginState, reason) {
            if (loginState === LocalUser.LoggingOut || loginState === LocalUser.LoggedOut)
                root.pageLoaded = false
        }
        function onVadSensitivityChanged() {
            thresholdBar.follow(localUser.vadSensitivity)
        }
    }
    Connections {
        target: voiceManager
        function onSpeakerVolumeChanged() {
            outputBar.follow(voiceManager.speakerVolume)
        }
        function onMicrophoneVolumeChanged() {
            inputBar.follow(voiceManager.microphoneVolume)
        }
    }
    Connections {
        target: typeof self !== "undefined" ? self : null
        ignoreUnknownSignals: true
        function onKeyEvent(nativeVirtualKey, text, key, isAutoRepeat, pressed) {
            root.onCapturedKey(nativeVirtualKey, key, isAutoRepeat, pressed)
        }
    }
    // Hiding the window (its close button, Escape, Ctrl+W or "Done") ends
    // the tests and the key capture; switching pages only hides the page.
    Connections {
        target: typeof mainViewer !== "undefined" ? mainViewer : null
        ignoreUnknownSignals: true
        function onVisibleChanged() {
            if (!mainViewer.visible)
                root.finish()
        }
    }

    component SectionHeading: RowLayout {
        property alias text: heading.text
        Layout.columnSpan: 2
        Layout.fillWidth: true
        Layout.preferredHeight: 14
        spacing: 8
        DLabel {
            id: heading
            Layout.preferredWidth: 130
            bold: true
            color: root.headingColor
        }
        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 1
            color: Qt.darker(root.headingColor, 1.2)
        }
    }

    component LevelLabel: DLabel {
        Layout.preferredWidth: 96
        Layout.preferredHeight: root.rowHeight
        verticalAlignment: Text.AlignVCenter
        fontSize: styleManager.smallFontSize
    }

    GridLayout {
        id: grid
        anchors.fill: parent
        anchors.margins: 20
        anchors.bottomMargin: 44
        columns: 2
        columnSpacing: 8
        rowSpacing: 6

        // VOICE OUTPUT
        SectionHeading { text: root.lang + qsTr("VOICE OUTPUT") }
        Item { Layout.preferredWidth: 130; Layout.preferredHeight: root.rowHeight }
        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            DComboBoxNew {
                id: outputChooser
                objectName: "outputChooser"
                property bool loaded: false
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                model: renderDevices
                textRole: "display"
                textAlign: Text.AlignLeft
                textColor: root.renderValid ? styleManager.enabledStyle.controlTextColor : "red"
                Component.onCompleted: {
                    index = renderDevices ? renderDevices.getCurrentIndex() : -1
                    loaded = true
                }
                onActivated: {
                    if (loaded)
                        mainApp.setRenderDeviceByIndex(index)
                }
                Connections {
                    target: renderDevices
                    function onDeviceAddedOrRemoved() {
                        outputChooser.model = null
                        outputChooser.model = renderDevices
                        outputChooser.index = renderDevices.getCurrentIndex()
                    }
                }
            }
            DButton {
                id: renderTestButton
                objectName: "renderTestButton"
                Layout.preferredWidth: 100
                Layout.preferredHeight: root.rowHeight
                fontSize: styleManager.smallFontSize
                enabled: root.renderTestRunning || root.renderValid
                text: root.lang + (root.renderTestRunning && root.runningTestNumber === 1 ? qsTr("Stop Test")
                                                                                         : qsTr("Start Test"))
                toolTip: root.lang + qsTr("Click this button to play prerecorded audio to your configured output device.")
                         + "\n" + qsTr("You can use this audio to properly set the volume level.")
                onClicked: {
                    if (root.renderTestRunning) {
                        root.runningTestNumber = 0
                        mainApp.stopRenderTest()
                        root.track("StopRenderTest")
                    } else {
                        root.runningTestNumber = 1
                        if (root.captureTestRunning)
                            mainApp.stopCaptureTest()
                        mainApp.startRenderTest()
                        root.track("StartRenderTest")
                    }
                }
            }
        }
        Item { Layout.preferredWidth: 130; Layout.preferredHeight: root.rowHeight }
        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            LevelLabel {
                objectName: "outputGainLabel"
                text: root.lang + qsTr("Gain: %1 dB").arg(voiceManager.speakerVolume - 50)
            }
            VolumeAdjusterBar {
                id: outputBar
                objectName: "outputBar"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                loaded: false
                minimumValue: 25
                maximumValue: 75
                toolTip: root.lang + qsTr("Use this slider to adjust your output volume.")
                // Takes a value from the voice service without writing it back.
                function follow(volume) {
                    loaded = false
                    value = volume
                    dampedValue = volume
                    loaded = true
                }
                onDampedValueChanged: {
                    if (!loaded)
                        return
                    localUser.speakerVolumeAdjust = value
                    if (root.runningTestNumber === 0)
                        mainApp.renderFileToSpeaker(styleManager.audioOutputTestSound)
                }
            }
            ImageButton {
                id: speakerIcon
                objectName: "speakerIcon"
                readonly property bool muted: outputBar.value < 31
                Layout.preferredWidth: 24
                Layout.preferredHeight: 12
                normalImage: muted ? "qrc:/textures/icon_muted.png" : "qrc:/textures/icon_speaking.png"
                hoverImage: muted ? "qrc:/textures/mute.png" : "qrc:/textures/speaking.png"
                toolTip: root.lang + (muted ? qsTr("Click to unmute") : qsTr("Click to mute"))
                onClicked: outputBar.value = muted ? 50 : 30
            }
        }

        // VOICE INPUT
        SectionHeading { text: root.lang + qsTr("VOICE INPUT") }
        Item { Layout.preferredWidth: 130; Layout.preferredHeight: root.rowHeight }
        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            DComboBoxNew {
                id: inputChooser
                objectName: "inputChooser"
                property bool loaded: false
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                model: captureDevices
                textRole: "display"
                textAlign: Text.AlignLeft
                textColor: root.captureValid ? styleManager.enabledStyle.controlTextColor : "red"
                Component.onCompleted: {
                    index = captureDevices ? captureDevices.currentIndex : -1
                    loaded = true
                }
                onActivated: {
                    if (loaded)
                        mainApp.setCaptureDeviceByIndex(index)
                }
                Connections {
                    target: captureDevices
                    function onDeviceAddedOrRemoved() {
                        console.log("qrc: onDeviceAddedOrRemoved (capture)")
                        inputChooser.model = null
                        inputChooser.model = captureDevices
                        inputChooser.index = captureDevices.getCurrentIndex()
                    }
                }
            }
            DButton {
                id: captureTestButton
                objectName: "captureTestButton"
                Layout.preferredWidth: 100
                Layout.preferredHeight: root.rowHeight
                fontSize: styleManager.smallFontSize
                enabled: root.captureTestRunning || (root.renderValid && root.captureValid)
                text: root.lang + (root.captureTestRunning && root.runningTestNumber === 2 ? qsTr("Stop Test")
                                                                                          : qsTr("Start Test"))
                toolTip: root.lang + qsTr("If you are using headphones, click this button to record your own") + "\n"
                         + qsTr("voice and play it back as you speak.") + "\n"
                         + qsTr("This will help you set the input device level correctly.")
                onClicked: {
                    if (localUser.isInChannel === true) {
                        root.overlayShown = true
                    } else if (root.captureTestRunning) {
                        root.runningTestNumber = 0
                        mainApp.stopCaptureTest()
                        root.track("StopCaptureTestHeadset")
                    } else {
                        root.runningTestNumber = 2
                        if (root.renderTestRunning)
                            mainApp.stopRenderTest()
                        mainApp.startCaptureTest(true)
                        root.track("StartCaptureTestHeadset")
                    }
                }
            }
        }
        Item { Layout.preferredWidth: 130; Layout.preferredHeight: root.rowHeight }
        DCheckBox {
            id: agcBox
            objectName: "agcBox"
            Layout.fillWidth: true
            Layout.preferredHeight: root.rowHeight
            text: root.lang + qsTr("Help manage audio input levels automatically")
            // Every change is written, the first setting from the stored
            // value included.
            onCheckedChanged: mainApp.advancedAgc = checked
            Component.onCompleted: checked = mainApp.advancedAgc === true
        }
        Item { Layout.preferredWidth: 130; Layout.preferredHeight: 14 }
        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            DEnergyMeter {
                id: meter
                objectName: "micMeter"
                Layout.fillWidth: true
                Layout.preferredHeight: 10
                clip: false
                value: isNaN(Number(voiceManager.microphoneEnergy)) ? 0 : voiceManager.microphoneEnergy

                Rectangle {
                    id: noiseMarker
                    objectName: "noiseFloorMarker"
                    x: (isNaN(Number(voiceManager.noiseFloor)) ? 0 : voiceManager.noiseFloor) * meter.width
                    y: -2
                    width: 1
                    height: meter.height + 4
                    color: root.noiseFloorColor
                    border.color: "white"
                    border.width: 0
                    MouseArea {
                        anchors.fill: parent
                        anchors.leftMargin: -5
                        anchors.rightMargin: -5
                        hoverEnabled: true
                        acceptedButtons: Qt.NoButton
                        DToolTip { text: root.lang + qsTr("Current Noise Floor") }
                    }
                }
                Rectangle {
                    id: thresholdMarker
                    objectName: "thresholdMarker"
                    readonly property real restingX: (isNaN(Number(voiceManager.speechThreshold))
                                                      ? 0 : voiceManager.speechThreshold) * meter.width
                    x: restingX
                    y: -2
                    width: 1
                    height: meter.height + 4
                    color: root.thresholdColor
                    MouseArea {
                        id: thresholdArea
                        objectName: "thresholdArea"
                        anchors.fill: parent
                        anchors.leftMargin: -5
                        anchors.rightMargin: -5
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        drag.target: thresholdMarker
                        drag.axis: Drag.XAxis
                        drag.minimumX: 0
                        drag.maximumX: meter.width
                        drag.threshold: 0
                        DToolTip { text: root.lang + qsTr("Speech Threshold") }
                        onReleased: {
                            if (meter.width > 0) {
                                var percent = Math.round(thresholdMarker.x * 100 / meter.width)
                                var resting = Math.round(thresholdMarker.restingX * 100 / meter.width)
                                if (percent !== resting)
                                    root.storeVadSensitivity(percent)
                            }
                            thresholdMarker.x = Qt.binding(function() { return thresholdMarker.restingX })
                        }
                    }
                }
            }
            Item { Layout.preferredWidth: 24; Layout.preferredHeight: 10 }
        }
        DLabel {
            Layout.preferredWidth: 130
            Layout.preferredHeight: root.rowHeight
            verticalAlignment: Text.AlignVCenter
            fontSize: styleManager.smallFontSize
            text: root.lang + qsTr("Speech Threshold Range")
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            VolumeAdjusterBar {
                id: thresholdBar
                objectName: "thresholdBar"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                loaded: false
                minimumValue: 0
                maximumValue: 100
                toolTip: root.lang + qsTr("Use this slider to adjust the dynamic range for speech detection threshold.  Adjust this if you can't be heard, or if your background noise is always being heard.")
                function follow(sensitivity) {
                    loaded = false
                    value = sensitivity
                    dampedValue = sensitivity
                    loaded = true
                }
                onDampedValueChanged: {
                    if (loaded)
                        root.storeVadSensitivity(value)
                }
            }
            Item { Layout.preferredWidth: 24; Layout.preferredHeight: root.rowHeight }
        }
        Item { Layout.preferredWidth: 130; Layout.preferredHeight: root.rowHeight }
        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            LevelLabel {
                objectName: "inputGainLabel"
                text: root.lang + qsTr("Gain: %1 dB").arg(voiceManager.microphoneVolume - 50)
            }
            VolumeAdjusterBar {
                id: inputBar
                objectName: "inputBar"
                Layout.fillWidth: true
                Layout.preferredHeight: root.rowHeight
                loaded: false
                minimumValue: 25
                maximumValue: 75
                toolTip: root.lang + qsTr("Use this slider to adjust your input volume.  Typically, this does not need adjustment.")
                function follow(volume) {
                    loaded = false
                    value = volume
                    dampedValue = volume
                    loaded = true
                }
                onDampedValueChanged: {
                    if (loaded)
                        localUser.volumeAdjust = value
                }
            }
            Image {
                id: micIcon
                objectName: "micIcon"
                readonly property bool active: root.captureTestRunning && mainApp.micIsActive === true
                Layout.preferredWidth: 20
                Layout.preferredHeight: 20
                sourceSize: Qt.size(20, 20)
                source: active ? "qrc:/textures/microphone_small_unmuted.png"
                               : "qrc:/textures/microphone_small_muted.png"
                DToolTip {
                    text: root.lang + (!root.captureTestRunning
                                     ? qsTr("This indicates whether your microphone is active or not.")
                                     : micIcon.active ? qsTr("Your microphone is active")
                                                      : qsTr("Enable your microphone or press your push-to-talk key(s)"))
                }
            }
        }
        Item { Layout.preferredWidth: 130; Layout.preferredHeight: 14 }
        RowLayout {
            Layout.fillWidth: true
            spacing: 16
            DLabel {
                objectName: "noiseFloorLabel"
                fontSize: styleManager.smallFontSize
                color: root.noiseFloorColor
                text: root.lang + qsTr("Noise floor: %1 dB").arg(root.decibelText(voiceManager.noiseFloor))
                toolTip: root.lang + qsTr("The noise floor is the effective minimum loudness for audio to be transmitted.  Background noise should be below this line, but some background noise will be tolerated up to the speech threshold.")
            }
            DLabel {
                objectName: "thresholdLabel"
                Layout.fillWidth: true
                fontSize: styleManager.smallFontSize
                color: root.thresholdColor
                text: root.lang + qsTr("Effective Speech threshold: %1 dB").arg(root.decibelText(voiceManager.speechThreshold))
                toolTip: root.lang + qsTr("The effective speech threshold is the relative loudness for audio to be transmitted.  Speaking should be past this line.")
            }
        }
        Item {
            visible: unmuteNote.visible
            Layout.preferredWidth: 130
            Layout.preferredHeight: 1
        }
        DLabel {
            id: unmuteNote
            objectName: "unmuteNote"
            visible: root.captureTestRunning && mainApp.micIsActive !== true
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            elide: Text.ElideNone
            fontSize: styleManager.smallFontSize
            color: "red"
            text: root.lang + qsTr("Please unmute your microphone for proper detection results")
        }

        // TRANSMIT
        SectionHeading { text: root.lang + qsTr("TRANSMIT") }
        Item { Layout.preferredWidth: 130; Layout.preferredHeight: root.rowHeight }
        DComboBoxNew {
            id: transmitChooser
            objectName: "transmitChooser"
            Layout.preferredWidth: 200
            Layout.preferredHeight: root.rowHeight
            textAlign: Text.AlignLeft
            // Translated once, when the page is built.
            model: [
                //: Selecting voice detection transmission mode
                qsTr("Open microphone"),
                //: Key or mouse press and hold to transmit
                qsTr("Push and hold to talk"),
                //: Press-and-release to toggle transmit
                qsTr("Push to mute/unmute")
            ]
            onActivated: root.onTransmitChosen(index)
        }
        DLabel {
            visible: transmitChooser.index !== 0
            Layout.preferredWidth: 130
            Layout.preferredHeight: root.rowHeight
            verticalAlignment: Text.AlignVCenter
            fontSize: styleManager.smallFontSize
            text: root.lang + qsTr("Keys/Mouse Buttons")
        }
        ColumnLayout {
            visible: transmitChooser.index !== 0
            Layout.fillWidth: true
            spacing: 2
            DButton {
                id: keyButton
                objectName: "keyButton"
                Layout.preferredWidth: 200
                Layout.preferredHeight: root.rowHeight
                fontSize: styleManager.smallFontSize
                enabled: !root.isCapturing
                text: root.pttCombo
                onClicked: {
                    root.pttCombo = ""
                    root.beginCapture()
                    root.refusalShown = false
                    root.track("SetPTTKeyClick")
                }
            }
            DLabel {
                objectName: "captureNote"
                visible: root.isCapturing
                fontSize: styleManager.smallFontSize
                text: root.lang + qsTr("Press up to 4 keys/mouse buttons simultaneously")
            }
            DLabel {
                objectName: "editNote"
                visible: !root.isCapturing && transmitChooser.index !== 0
                fontSize: styleManager.smallFontSize
                text: root.lang + qsTr("Click in the box directly above to edit")
            }
            DLabel {
                objectName: "refusalNote"
                visible: root.refusalShown
                fontSize: styleManager.smallFontSize
                color: "red"
                text: root.lang + qsTr("Left and right mouse buttons are not permitted for PTT")
            }
            RowLayout {
                visible: (root.isCapturing || root.refusalShown) && !mainApp.isTavriInAccessList()
                spacing: 4
                DLabel {
                    fontSize: styleManager.smallFontSize
                    color: "red"
                    text: root.lang + qsTr("WARNING: Please add Tavri to access list. For more information follow the link:")
                }
                DLink {
                    text: root.lang + qsTr("Click here")
                    url: localUser.accessibilityHelpURL !== undefined ? localUser.accessibilityHelpURL : ""
                }
            }
        }
        Item {
            Layout.columnSpan: 2
            Layout.fillHeight: true
        }
    }

    Row {
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.rightMargin: 5
        anchors.bottomMargin: 17
        spacing: 13
        DButton {
            objectName: "resetButton"
            height: 20
            isDefault: true
            text: root.lang + qsTr("Reset")
            onClicked: root.reset()
        }
        DButton {
            objectName: "doneButton"
            height: 20
            isDefault: true
            enabled: root.pttCombo.length > 0 || transmitChooser.index === 0
            text: root.lang + qsTr("Done")
            onClicked: {
                root.finish()
                if (typeof mainViewer !== "undefined" && mainViewer)
                    mainViewer.hide()
            }
        }
    }

    // Offered when the capture test is asked for during a call.
    Rectangle {
        id: overlay
        objectName: "channelOverlay"
        anchors.fill: parent
        visible: root.overlayShown
        z: 100
        color: Qt.rgba(0, 0, 0, 0.8)
        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            acceptedButtons: Qt.AllButtons
            onWheel: wheel.accepted = true
        }
        Rectangle {
            anchors.centerIn: parent
            width: 360
            height: 240
            color: "black"
            border.width: 1
            border.color: styleManager.windowBorderColor
            Column {
                anchors.centerIn: parent
                width: parent.width - 40
                spacing: 16
                Text {
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.WordWrap
                    color: "red"
                    font.family: styleManager.condensedFont
                    font.pointSize: styleManager.baseFontSize
                    text: root.lang + qsTr("The audio input test cannot be run while you are in a channel.")
                }
                Text {
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.WordWrap
                    color: "red"
                    font.family: styleManager.condensedFont
                    font.pointSize: styleManager.baseFontSize
                    text: root.lang + qsTr("Exit Channels to continue the test, or cancel to remain in channel.")
                }
                Row {
                    anchors.horizontalCenter: parent.horizontalCenter
                    spacing: 13
                    DButton {
                        objectName: "exitChannelsButton"
                        text: root.lang + qsTr("Exit Channels and Test")
                        onClicked: {
                            root.track("LeaveChannelsForMicTest")
                            root.overlayShown = false
                            mainApp.leaveAllVoiceConversations()
                            root.runningTestNumber = 2
                            if (root.renderTestRunning)
                                mainApp.stopRenderTest()
                            mainApp.startCaptureTest(true)
                        }
                    }
                    DButton {
                        objectName: "cancelOverlayButton"
                        text: root.lang + qsTr("Cancel")
                        onClicked: {
                            root.overlayShown = false
                            root.track("CancelLeaveChannelsForMicTest")
                        }
                    }
                }
            }
        }
    }
}
