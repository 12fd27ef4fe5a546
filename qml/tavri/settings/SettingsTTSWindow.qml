// The cue and text-to-speech page of the settings window: per event, how it
// is announced (off, spoken, a sound, each of the last two only while
// minimised) and which sound it plays; the common volume of speech and
// sounds; the text-to-speech voice.
//
// Context properties read: tones (AudioCuesManager), mainApp
// (TavriApplication), storageManager (StorageManager), filePicker
// (TavriFilePicker), styleManager and mainViewer (the settings view:
// raise(), hide()).
//
// Every control applies its own change at once; "Done" only hides the
// window. Opening the page writes, tracks and speaks nothing.
import QtQuick 2.15
import Settings 1.0
import AudioTonesManager 1.0
import "../controls"

DTabbedWindowBasic {
    id: root
    objectName: "settingsTTSWindow"

    property bool hasChanges: false
    property bool hasReset: false
    // Set once the page has read the stored values; until then the controls
    // write nothing.
    property bool loaded: false
    readonly property string trackingCategory: "AudioNotificationSettings"
    readonly property string lang: mainApp.languageUpdatedString
    readonly property var events: tones.availableEvents()
    readonly property var cueStateNames: [qsTr("Disabled"), qsTr("Text-to-speech"), qsTr("Play sound"),
                                          qsTr("Text-to-speech minimized only"), qsTr("Play sound minimized only")]
    readonly property int rowHeight: 20
    readonly property int nameWidth: 200
    readonly property int stateWidth: 196
    readonly property color textColor: styleManager.enabledStyle.controlTextColor
    readonly property var view: typeof mainViewer !== "undefined" ? mainViewer : null

    width: 600
    height: 405

    function track(label, params) {
        mainApp.trackEvent(trackingCategory, label, params || [])
    }

    function checkDefaults() {
        var atDefaults = volumeBar.value === 50
        for (var i = 0; atDefaults && i < events.length; ++i) {
            atDefaults = tones.getCueState(events[i]) === AudioTonesManager.EventCueAudioTone
                    && tones.getIsDefault(events[i])
        }
        hasReset = !atDefaults
    }

    function load() {
        loaded = false
        volumeBar.loaded = false
        var volume = Number(storageManager.getSettingsValue(Settings.SettingsKeyTtsVolume, 35))
        volumeBar.value = isNaN(volume) ? 35 : volume
        volumeBar.dampedValue = volumeBar.value
        volumeBar.loaded = true
        checkDefaults()
        loaded = true
    }

    function reset() {
        for (var i = 0; i < events.length; ++i)
            tones.setCueState(events[i], AudioTonesManager.EventCueAudioTone)
        volumeBar.value = 35
        mainApp.setTTSVoice("")
        checkDefaults()
    }

    function chooseFile(event) {
        var url = filePicker.getFileUrl(qsTr("Choose sound file"), mainApp.soundsDirPath, "Sound (*.wav)", false)
        if (view)
            view.raise()
        if (url === "" || url === "file:" || !/\.wav$/i.test(url))
            return
        tones.setPlaybackFile(event, url)
        hasChanges = true
        checkDefaults()
        track("Custom" + tones.eventTypeStandardDisplayName(event))
    }

    Component.onCompleted: load()

    Connections {
        target: storageManager
        function onSettingsInitialized() { root.load() }
    }

    component PageLabel: Text {
        height: root.rowHeight
        verticalAlignment: Text.AlignVCenter
        color: root.textColor
        font.family: styleManager.regularFont
        font.pointSize: styleManager.smallFontSize
        textFormat: Text.PlainText
        elide: Text.ElideRight
    }

    Column {
        id: content
        anchors.fill: parent
        anchors.margins: 20
        spacing: 4

        // All events, and the volume of speech and sounds.
        Row {
            width: parent.width
            height: 28
            spacing: 6
            PageLabel {
                width: root.nameWidth
                anchors.verticalCenter: parent.verticalCenter
                font.bold: true
                text: root.lang + qsTr("All events")
            }
            DComboBoxNew {
                id: allEvents
                objectName: "allEventsCombo"
                width: root.stateWidth
                height: root.rowHeight
                anchors.verticalCenter: parent.verticalCenter
                model: [""].concat(root.cueStateNames)
                onActivated: {
                    if (!root.loaded || index < 1)
                        return
                    for (var i = 0; i < root.events.length; ++i)
                        tones.setCueState(root.events[i], index - 1)
                }
            }
            PageLabel {
                width: 90
                height: 28
                anchors.verticalCenter: parent.verticalCenter
                lineHeight: 0.9
                elide: Text.ElideNone
                text: root.lang + qsTr("Text to Speech/\nSound Volume")
            }
            VolumeAdjusterBar {
                id: volumeBar
                objectName: "volumeBar"
                width: parent.width - root.nameWidth - root.stateWidth - 90 - 20 - 4 * parent.spacing
                height: root.rowHeight
                anchors.verticalCenter: parent.verticalCenter
                minimumValue: 0
                maximumValue: 100
                onDampedValueChanged: {
                    var volume = Math.round(dampedValue)
                    if (!root.loaded || !loaded || volume === tones.volume)
                        return
                    root.hasChanges = true
                    tones.volume = volume
                    storageManager.setSettingsValue(Settings.SettingsKeyTtsVolume, volume)
                    root.track("SetTTSVolume", ["v:" + volume])
                    root.checkDefaults()
                    tones.speakText(qsTr("Text to speech"), true)
                }
            }
            ImageButton {
                id: muteButton
                objectName: "muteButton"
                readonly property bool muted: volumeBar.value < 1
                width: 20
                height: 20
                anchors.verticalCenter: parent.verticalCenter
                normalImage: muted ? "qrc:/textures/icon_muted.png" : "qrc:/textures/icon_speaking.png"
                hoverImage: muted ? "qrc:/textures/mute.png" : "qrc:/textures/speaking.png"
                toolTip: root.lang + (muted ? qsTr("Click to unmute") : qsTr("Click to mute"))
                onClicked: volumeBar.value = muted ? 50 : 0
            }
        }

        // Column headers.
        Row {
            width: parent.width
            height: 16
            spacing: 6
            PageLabel {
                width: root.nameWidth
                height: 16
                font.bold: true
                text: root.lang + qsTr("Event")
            }
            PageLabel {
                width: root.stateWidth
                height: 16
                font.bold: true
                text: root.lang + qsTr("Play...")
            }
            PageLabel {
                height: 16
                font.bold: true
                text: root.lang + qsTr("Sound")
            }
        }

        Column {
            width: parent.width
            spacing: 3
            Repeater {
                id: eventRows
                model: root.events
                delegate: EventRow {
                    event: modelData
                }
            }
        }

        Item { width: 1; height: 4 }

        Row {
            width: parent.width
            height: root.rowHeight
            spacing: 6
            PageLabel {
                width: root.nameWidth
                font.bold: true
                text: root.lang + qsTr("Text to Speech voice")
            }
            DComboBoxNew {
                id: voiceCombo
                objectName: "voiceCombo"
                // Set while the combo follows the application, so that
                // nothing is written back.
                property bool following: true
                width: root.stateWidth + 120
                height: root.rowHeight
                model: mainApp.ttsVoices
                function follow(name) {
                    following = true
                    var voices = mainApp.ttsVoices || []
                    var at = voices.indexOf(name)
                    index = at
                    following = false
                }
                Component.onCompleted: follow(mainApp.currentTTSVoice)
                onActivated: {
                    if (following || !root.loaded || index < 0)
                        return
                    mainApp.setTTSVoice(mainApp.ttsVoices[index])
                    root.hasChanges = true
                }
                Connections {
                    target: mainApp
                    function onCurrentTTSVoiceChanged(voiceName) { voiceCombo.follow(voiceName) }
                }
            }
        }
    }

    PageLabel {
        objectName: "ttsUnavailable"
        anchors.left: parent.left
        anchors.leftMargin: 20
        anchors.right: buttons.left
        anchors.verticalCenter: buttons.verticalCenter
        visible: !tones.textToSpeechAvailable
        color: styleManager.alertColor
        text: root.lang + qsTr("** Text-to-speech not enabled for your system.")
    }

    Row {
        id: buttons
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.rightMargin: 20
        anchors.bottomMargin: 12
        spacing: 13
        DButton {
            objectName: "resetButton"
            height: 20
            enabled: root.hasReset
            text: root.lang + qsTr("Reset")
            onClicked: root.reset()
        }
        DButton {
            objectName: "doneButton"
            height: 20
            isDefault: true
            enabled: root.hasChanges
            text: root.lang + qsTr("Done")
            onClicked: {
                root.hasChanges = false
                if (root.view)
                    root.view.hide()
            }
        }
    }

    // One event: its name, how it is announced and its sound.
    component EventRow: Row {
        id: row
        property int event: 0
        // The play button was pressed and the cue has not ended yet.
        property bool playClicked: false
        // Set while the state combo follows the manager.
        property bool following: true
        objectName: "eventRow" + event
        width: content.width
        height: root.rowHeight
        spacing: 6

        function refreshFile() {
            soundLabel.text = tones.getIsDefault(event) ? tones.defaultText : tones.getPlaybackFile(event)
        }

        Component.onCompleted: {
            stateCombo.index = tones.getCueState(event)
            following = false
            refreshFile()
        }

        Connections {
            target: tones
            function onAudioCueEventStateChanged(changedEvent, state) {
                if (changedEvent !== row.event)
                    return
                row.following = true
                stateCombo.index = state
                row.following = false
            }
            function onAudioCueEventMediaStateChanged(changedEvent, state) {
                if (changedEvent === row.event && state === 0)
                    row.playClicked = false
            }
            function onAudioCueEventStatePlaybackFilepathChanged(changedEvent) {
                if (changedEvent === row.event)
                    row.refreshFile()
            }
            function onAudioCueEventStateIsDefaultChanged(changedEvent) {
                if (changedEvent === row.event)
                    row.refreshFile()
            }
        }

        Timer {
            id: speechMarkTimer
            objectName: "speechMarkTimer"
            interval: 1000
            onTriggered: row.playClicked = false
        }

        PageLabel {
            objectName: "eventName"
            width: root.nameWidth
            text: root.lang + tones.eventTypeDisplayName(row.event)
        }
        DComboBoxNew {
            id: stateCombo
            objectName: "stateCombo"
            width: root.stateWidth
            height: root.rowHeight
            model: root.cueStateNames
            onActivated: {
                if (row.following || !root.loaded)
                    return
                root.hasChanges = true
                tones.setCueState(row.event, index)
                root.checkDefaults()
                root.track((index === AudioTonesManager.EventCueDisabled ? "Disable" : "Enable")
                           + tones.eventTypeStandardDisplayName(row.event))
                if (allEvents.index > 0 && allEvents.index - 1 !== index) {
                    allEvents.index = 0
                }
            }
        }
        PageLabel {
            id: soundLabel
            objectName: "soundLabel"
            width: row.width - root.nameWidth - root.stateWidth - 24 - 20 - 20 - 5 * row.spacing
            elide: Text.ElideMiddle
            MouseArea {
                anchors.fill: parent
                hoverEnabled: true
                DToolTip {
                    text: soundLabel.text
                }
            }
        }
        DButton {
            objectName: "chooseButton"
            width: 24
            height: root.rowHeight
            text: "..."
            toolTip: root.lang + qsTr("Click to select")
            onClicked: root.chooseFile(row.event)
        }
        ImageButton {
            objectName: "playButton"
            width: 20
            height: 20
            normalImage: row.playClicked ? "qrc:/textures/icon_stop.png" : "qrc:/textures/icon_play.png"
            toolTip: root.lang + qsTr("Click to play")
            onClicked: {
                if (tones.getPlaybackState(row.event) === 0) {
                    row.playClicked = true
                    tones.play(row.event, ["1", "2", "3"], false)
                    if (tones.getCueState(row.event) === AudioTonesManager.EventCueTextToSpeech)
                        speechMarkTimer.restart()
                } else if (row.playClicked) {
                    tones.stopPlayback(row.event)
                }
                root.track("Play" + tones.eventTypeStandardDisplayName(row.event))
            }
        }
        ImageButton {
            objectName: "revertButton"
            width: 20
            height: 20
            normalImage: "qrc:/textures/icon_undo.png"
            toolTip: root.lang + qsTr("Click to revert to default")
            onClicked: {
                tones.setPlaybackFile(row.event, "")
                root.checkDefaults()
                root.track("Reset" + tones.eventTypeStandardDisplayName(row.event))
            }
        }
    }
}
