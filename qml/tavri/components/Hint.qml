import QtQuick 2.5
import QtQuick.Window 2.2
import "../controls"

// A tutorial hint attached to its parent control. It is enabled while the
// settings service's showHints is on and getShowHint(trackingCategory) is
// true. activate() starts the highlight (a pulsing ring around the control)
// when enabled and otherwise dismisses at once. A click on the highlighted
// control opens the hint window with the HintScreen pages declared inside
// the Hint; page moves are tracked with the category and "ShowHintClick" or
// "previousClick". Dismissing closes the window, clears the category with
// setShowHint(trackingCategory, false) (and switches showHints off when the
// user chose to disable all hints) and emits dismissed().
Item {
    id: hint
    property string trackingCategory: ""
    property string title: ""
    property int hintWindowWidth: 320
    property int hintWindowHeight: 200
    property bool showDisableAll: true
    property int currentPage: 0
    readonly property bool hintsAvailable: typeof storageManager !== "undefined" && storageManager !== null
    readonly property bool hintEnabled: hintsAvailable && storageManager.showHints
        && storageManager.getShowHint(trackingCategory)
    readonly property bool highlighted: ring.active
    readonly property alias windowVisible: hintWindow.visible
    readonly property int pageCount: pages.children.length
    default property alias pageItems: pages.data
    signal dismissed()

    anchors.fill: parent

    function track(label) {
        if (typeof mainApp !== "undefined" && mainApp !== null)
            mainApp.trackEvent(hint.trackingCategory, label, ["i:" + hint.currentPage])
    }
    function activate() {
        if (hint.hintEnabled)
            ring.start()
        else
            dismiss(false)
    }
    function open() {
        ring.stop()
        currentPage = 0
        hintWindow.visible = true
    }
    function nextPage() {
        if (currentPage < pageCount - 1) {
            currentPage++
            track("ShowHintClick")
        } else {
            dismiss(false)
        }
    }
    function previousPage() {
        if (currentPage > 0) {
            currentPage--
            track("previousClick")
        }
    }
    function dismiss(disableAll) {
        ring.stop()
        hintWindow.visible = false
        if (hint.hintsAvailable) {
            storageManager.setShowHint(hint.trackingCategory, false)
            if (disableAll)
                storageManager.showHints = false
        }
        hint.dismissed()
    }

    AnimatedRing {
        id: ring
    }
    // Takes the click on the highlighted control only.
    MouseArea {
        objectName: "hintClickArea"
        anchors.fill: parent
        enabled: ring.active
        onClicked: hint.open()
    }

    Window {
        id: hintWindow
        title: hint.title
        width: hint.hintWindowWidth
        height: hint.hintWindowHeight
        flags: Qt.Tool | Qt.FramelessWindowHint
        color: styleManager.panelGradient1
        visible: false

        Rectangle {
            anchors.fill: parent
            color: "transparent"
            border.color: styleManager.windowBorderColor
            border.width: styleManager.windowBorderWidth

            DLabel {
                id: titleLabel
                x: 10
                y: 8
                width: parent.width - 40
                text: hint.title
                bold: true
                fontSize: styleManager.mediumFontSize
            }
            ImageButton {
                objectName: "hintClose"
                anchors.right: parent.right
                anchors.rightMargin: 8
                y: 8
                width: 12
                height: 12
                normalImage: styleManager.windowCloseButton
                hoverImage: styleManager.windowCloseButtonHovered
                onClicked: hint.dismiss(false)
            }
            Item {
                id: pages
                x: 10
                y: titleLabel.y + titleLabel.height + 8
                width: parent.width - 20
                height: parent.height - y - buttons.height - 16
                clip: true
                onChildrenChanged: hint.showCurrentPage()
            }
            Row {
                id: buttons
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                anchors.margins: 8
                spacing: 8
                DButton {
                    objectName: "hintDisableAll"
                    visible: hint.showDisableAll
                    text: qsTr("Disable all hints")
                    onClicked: hint.dismiss(true)
                }
                DButton {
                    objectName: "hintPrevious"
                    visible: hint.currentPage > 0
                    text: qsTr("Previous")
                    onClicked: hint.previousPage()
                }
                DButton {
                    objectName: "hintNext"
                    text: hint.currentPage < hint.pageCount - 1 ? qsTr("Next") : qsTr("Done")
                    onClicked: hint.nextPage()
                }
            }
        }
    }

    function showCurrentPage() {
        for (var i = 0; i < pages.children.length; ++i) {
            var page = pages.children[i]
            page.visible = (i === hint.currentPage)
            page.width = pages.width
        }
    }
    onCurrentPageChanged: showCurrentPage()
}
