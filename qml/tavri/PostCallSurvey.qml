// The quality survey offered after some calls: five ratings, best first,
// each with as many stars as its index; "Send" reports the rating with the
// machine's audio set-up and the call's statistics.
//
// Context properties read: mainApp (TavriApplication), localUser (LocalUser),
// storageManager (StorageManager), styleManager (the style object) and
// mainViewer (this window's QQuickView). The application calls reset() at
// every show.
import QtQuick 2.15
import QtQuick.Controls 1.4
import Settings 1.0
import "controls"
import "callreport.js" as CallReport

DTitledWindowBasic {
    id: root

    // The chosen rating's index, -1 for none; the row under the pointer.
    property int chosenIndex: -1
    property int hoverIndex: -1
    readonly property string problemReason:
        qsTr("Sorry that you have experienced problems, please let us know more details so we can try to resolve them.")
    // By index; the report carries the English text whatever the language.
    readonly property var englishRatings: ["Very Poor - conversation was impossible",
                                           "Poor - conversation was hard to follow",
                                           "Okay - some issues, affected the conversation",
                                           "Good - minor issues, not noticeable",
                                           "Great - clear, no problems"]
    readonly property var ratings: [qsTr("Very Poor - conversation was impossible"),
                                    qsTr("Poor - conversation was hard to follow"),
                                    qsTr("Okay - some issues, affected the conversation"),
                                    qsTr("Good - minor issues, not noticeable"),
                                    qsTr("Great - clear, no problems")]

    function reset() {
        chosenIndex = -1
        hoverIndex = -1
        dontShowBox.checked = false
        if (mainViewer)
            mainViewer.requestActivate()
        root.forceActiveFocus()
    }

    function storeDontShow() {
        if (dontShowBox.checked)
            storageManager.setSettingsValue(Settings.SettingsKeyPostCallSurveyDisabled, true)
    }

    function reportData() {
        var callId = localUser.lastCallId !== undefined ? localUser.lastCallId : ""
        var data = ["v:" + chosenIndex, "t:" + englishRatings[chosenIndex], "c:" + callId]
        data = data.concat(CallReport.machineLines(mainApp, localUser,
                                                   storageManager.getSettingsValue(Settings.SettingsKeyPttMode, 0)))
        data = data.concat(CallReport.callStatLines(mainApp.callStats))
        return data.concat(CallReport.localeLines(Qt.locale()))
    }

    function sendReport() {
        if (chosenIndex < 0)
            return
        storeDontShow()
        mainApp.trackEvent("PostCallSurvey", "Send", reportData())
        reset()
        hideView()
    }

    function send() {
        if (chosenIndex < 0)
            return
        if (chosenIndex < 2)
            mainApp.showReportIssue(problemReason)
        sendReport()
    }

    function cancel() {
        storeDontShow()
        mainApp.trackEvent("PostCallSurvey", "CancelClick", [])
        reset()
        hideView()
    }

    width: 480
    height: 300
    minimumWidth: 480
    minimumHeight: 300
    title: mainApp.languageUpdatedString + qsTr("Quality Survey")

    // The frame has hidden the window already.
    onClosing: {
        mainApp.trackEvent("PostCallSurvey", reason === "Esc" ? "CancelEsc" : "Close", [])
        reset()
    }

    Text {
        id: prompt
        objectName: "prompt"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: 20
        color: styleManager.sectionTitleTextColor
        font.family: styleManager.regularFont
        font.pointSize: styleManager.baseFontSize
        textFormat: Text.PlainText
        elide: Text.ElideRight
        text: mainApp.languageUpdatedString + qsTr("Please rate your experience for this call.")
    }

    Column {
        id: ratingColumn
        anchors.top: prompt.bottom
        anchors.topMargin: 10
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 20
        anchors.rightMargin: 20
        spacing: 2

        Repeater {
            model: 5
            delegate: Rectangle {
                id: row
                // Best first.
                readonly property int ratingIndex: 4 - index
                objectName: "rating" + ratingIndex
                width: ratingColumn.width
                height: 28
                radius: 3
                color: root.chosenIndex === ratingIndex ? styleManager.dropdownFocusColor
                                                        : (root.hoverIndex === ratingIndex ? styleManager.dropdownHoverColor
                                                                                           : "transparent")

                Row {
                    id: stars
                    anchors.left: parent.left
                    anchors.leftMargin: 6
                    anchors.verticalCenter: parent.verticalCenter
                    width: 4 * 18
                    spacing: 2
                    Repeater {
                        model: row.ratingIndex
                        Image {
                            source: "qrc:/textures/star.png"
                            width: 16
                            height: 16
                        }
                    }
                }
                Text {
                    anchors.left: stars.right
                    anchors.leftMargin: 10
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    color: styleManager.sectionTitleTextColor
                    font.family: styleManager.regularFont
                    font.pointSize: styleManager.baseFontSize
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    text: mainApp.languageUpdatedString + root.ratings[row.ratingIndex]
                }
                MouseArea {
                    anchors.fill: parent
                    hoverEnabled: true
                    onEntered: root.hoverIndex = row.ratingIndex
                    onExited: if (root.hoverIndex === row.ratingIndex) root.hoverIndex = -1
                    onClicked: root.chosenIndex = row.ratingIndex
                }
            }
        }
    }

    DCheckBox {
        id: dontShowBox
        objectName: "dontShowBox"
        anchors.left: parent.left
        anchors.leftMargin: 20
        anchors.verticalCenter: sendButton.verticalCenter
        text: mainApp.languageUpdatedString + qsTr("Do not show this screen again")
    }

    DButton {
        id: cancelButton
        objectName: "cancelButton"
        anchors.right: sendButton.left
        anchors.rightMargin: 10
        anchors.verticalCenter: sendButton.verticalCenter
        text: mainApp.languageUpdatedString + qsTr("Cancel")
        onClicked: root.cancel()
    }

    DButton {
        id: sendButton
        objectName: "sendButton"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 20
        isDefault: true
        enabled: root.chosenIndex >= 0
        text: mainApp.languageUpdatedString + qsTr("Send")
        onClicked: root.send()
    }
}
