// The Report Issue window: symptom boxes, a description and a follow-up
// option; sending records the report and, with a follow-up, sends it.
//
// Context properties read: mainApp (TavriApplication), localUser (LocalUser),
// storageManager (StorageManager), styleManager (the style object),
// mainViewer (this window's QQuickView) and reason (a text shown on top,
// possibly empty). The application calls updateData() at every show.
import QtQuick 2.15
import QtQuick.Controls 1.4
import Settings 1.0
import "controls"
import "callreport.js" as CallReport

DTitledWindowBasic {
    id: root

    readonly property int maximumCommentLength: 3000
    readonly property string hint: mainApp.languageUpdatedString + qsTr("Please describe the issue you are experiencing here.")
    readonly property string supportAddress: "support@tavri.net"
    readonly property bool hasComment: commentArea.text !== "" && commentArea.text !== hint
    readonly property bool anySymptom: {
        for (var i = 0; i < symptomBoxes.length; ++i) {
            if (symptomBoxes[i].checked)
                return true
        }
        return false
    }
    // The symptom boxes in report order: left column, then right column.
    readonly property var symptomBoxes: [left0, left1, left2, left3, right0, right1, right2, right3]
    property bool sent: false

    function joinList(list) {
        if (!list)
            return ""
        var items = []
        for (var i = 0; i < list.length; ++i)
            items.push(String(list[i]))
        return items.join(",")
    }

    function checkedSymptoms() {
        var texts = []
        for (var i = 0; i < symptomBoxes.length; ++i) {
            if (symptomBoxes[i].checked)
                texts.push(symptomBoxes[i].englishText)
        }
        return texts
    }

    function extendedData(followUp) {
        var data = CallReport.machineLines(mainApp, localUser,
                                           storageManager.getSettingsValue(Settings.SettingsKeyPttMode, 0))
        data = data.concat(CallReport.callStatLines(mainApp.callStats))
        var so = ""
        var symptoms = checkedSymptoms()
        for (var s = 0; s < symptoms.length; ++s)
            so += symptoms[s] + ","
        data.push("so:" + so)
        data.push(hasComment ? "comments: " + commentArea.text + "\n" : "")
        data = data.concat(CallReport.localeLines(Qt.locale()))
        data.push("reqResp:" + (followUp ? "1" : "0"))
        return data
    }

    function send() {
        var followUp = followUpBox.checked
        var data = extendedData(followUp)
        mainApp.trackEvent("SubmitIssueReport", "", data)
        bottomLine.text = followUp
                ? mainApp.languageUpdatedString
                  + qsTr("Thank you for the report! We will follow up by e-mail. If no e-mail arrives within two days, please write to %1.").arg(supportAddress)
                : mainApp.languageUpdatedString
                  + qsTr("Thank you for the report! Our developers will be looking into it shortly.")
        if (followUp) {
            localUser.requestReportIssue(hasComment ? commentArea.text : "", checkedSymptoms().join(","), "",
                                         joinList(localUser.participatingURIs), "", data)
        }
        sent = true
        reportCloseButton.forceActiveFocus()
    }

    // Back to the empty form; the application calls this at every show.
    function updateData() {
        // Out of focus first: the hint replaces a text the cursor may be
        // beyond.
        commentArea.focus = false
        commentArea.text = hint
        for (var i = 0; i < symptomBoxes.length; ++i)
            symptomBoxes[i].checked = false
        followUpBox.checked = false
        sent = false
        bottomLine.text = ""
        reportCloseButton.forceActiveFocus()
    }

    function closeWindow() {
        updateData()
        if (mainViewer)
            mainViewer.hide()
    }

    width: 720
    // The window grows with the bottom line rather than cutting it off.
    implicitHeight: 460 + bottomLine.height
    minimumWidth: 680
    minimumHeight: 460
    title: mainApp.languageUpdatedString + qsTr("Report Issue")

    onImplicitHeightChanged: {
        if (mainViewer && mainViewer.height < implicitHeight)
            mainViewer.height = implicitHeight
    }

    // The frame has hidden the window (its close button, Escape, Ctrl+W).
    onClosing: updateData()

    Component.onCompleted: {
        commentArea.text = hint
        openTimer.start()
    }

    Timer {
        id: openTimer
        interval: 2000
        repeat: false
        onTriggered: mainApp.trackEvent("OpenReportIssue", "",
                                        ["c:" + root.joinList(localUser.participatingURIs),
                                         "rc:" + localUser.lastParticipatingURI])
    }

    Rectangle {
        anchors.fill: parent
        color: styleManager.panelGradient1

        Text {
            id: topLine
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            height: 50
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            wrapMode: Text.Wrap
            elide: Text.ElideRight
            maximumLineCount: 3
            color: styleManager.alertColor
            font.family: styleManager.regularFont
            font.pointSize: styleManager.baseFontSize
            textFormat: Text.PlainText
            text: (typeof reason === "string" && reason !== "" ? reason + "\n" : "")
                  + mainApp.languageUpdatedString + qsTr("Please Check All That Apply")
        }

        Row {
            id: symptomColumns
            anchors.top: topLine.bottom
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 20

            Column {
                width: 330
                spacing: 4
                SymptomBox {
                    id: left0
                    objectName: "symptom0"
                    englishText: "I could not hear other users at all"
                    text: mainApp.languageUpdatedString + qsTr("I could not hear other users at all")
                }
                SymptomBox {
                    id: left1
                    englishText: "I heard other users' audio cut out"
                    text: mainApp.languageUpdatedString + qsTr("I heard other users' audio cut out")
                }
                SymptomBox {
                    id: left2
                    englishText: "Other users' audio had pops and clicks"
                    text: mainApp.languageUpdatedString + qsTr("Other users' audio had pops and clicks")
                }
                SymptomBox {
                    id: left3
                    englishText: "I heard my own voice (echo)"
                    text: mainApp.languageUpdatedString + qsTr("I heard my own voice (echo)")
                }
            }
            Column {
                width: 330
                spacing: 4
                SymptomBox {
                    id: right0
                    objectName: "symptom4"
                    englishText: "Other users could not hear me"
                    text: mainApp.languageUpdatedString + qsTr("Other users could not hear me")
                }
                SymptomBox {
                    id: right1
                    englishText: "My audio cut out for other users"
                    text: mainApp.languageUpdatedString + qsTr("My audio cut out for other users")
                }
                SymptomBox {
                    id: right2
                    englishText: "My audio had pops and clicks for other users"
                    text: mainApp.languageUpdatedString + qsTr("My audio had pops and clicks for other users")
                }
                SymptomBox {
                    id: right3
                    englishText: "Other users complained I caused echo"
                    text: mainApp.languageUpdatedString + qsTr("Other users complained I caused echo")
                }
            }
        }

        DTextArea {
            id: commentArea
            objectName: "commentArea"
            anchors.top: symptomColumns.bottom
            anchors.topMargin: 10
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.margins: 20
            anchors.bottom: followUpBox.top
            anchors.bottomMargin: 8
            enabled: !root.sent
            textFormat: TextEdit.PlainText
            wrapMode: TextEdit.Wrap
            // Cuts longer text back to its start; the cursor stays where it
            // was, or at the new end.
            maximumLength: root.maximumCommentLength
            onActiveFocusChanged: if (activeFocus && text === root.hint) clear()
        }

        DCheckBox {
            id: followUpBox
            objectName: "followUpBox"
            anchors.left: parent.left
            anchors.leftMargin: 20
            anchors.verticalCenter: sendButton.verticalCenter
            enabled: !root.sent
            text: mainApp.languageUpdatedString + qsTr("Send a followup e-mail to ") + localUser.email
        }

        DButton {
            id: sendButton
            objectName: "sendButton"
            anchors.right: parent.right
            anchors.rightMargin: 20
            anchors.bottom: bottomLine.top
            anchors.bottomMargin: 8
            isDefault: true
            visible: !root.sent
            enabled: root.anySymptom || root.hasComment
            text: mainApp.languageUpdatedString + qsTr("Send")
            onClicked: root.send()
        }

        DButton {
            id: reportCloseButton
            objectName: "reportCloseButton"
            anchors.fill: sendButton
            isDefault: true
            visible: root.sent
            text: mainApp.languageUpdatedString + qsTr("Close")
            onClicked: root.closeWindow()
            Keys.onReturnPressed: root.closeWindow()
            Keys.onEnterPressed: root.closeWindow()
        }

        Text {
            id: bottomLine
            objectName: "bottomLine"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 10
            height: Math.max(30, implicitHeight)
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            wrapMode: Text.Wrap
            color: styleManager.alertColor
            font.family: styleManager.regularFont
            font.pointSize: styleManager.baseFontSize
            textFormat: Text.PlainText
        }
    }

    component SymptomBox: DCheckBox {
        // The box's text as the report sends it, whatever the language.
        property string englishText
        width: 330
        enabled: !root.sent
    }
}
