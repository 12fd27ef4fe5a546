// The tutorial: five pictures of the program, shown one at a time.
//
// Context properties read: mainApp (TavriApplication), styleManager (the
// style object) and mainViewer (this window's QQuickView).
import QtQuick 2.15
import QtQuick.Controls 1.4
import "controls"
import "components"

Rectangle {
    id: root

    readonly property string category: "Tutorial"
    // The window's own title; the loader titles the view.
    readonly property string title: mainApp.languageUpdatedString + qsTr("Tutorial")
    property int currentIndex: 0
    // Each address is a translated string, so a translation can show other
    // pictures.
    property ListModel slides: ListModel {
        ListElement {
            picture: qsTr("qrc:/textures/tutorial_slide1_mainframe.png")
        }
        ListElement {
            picture: qsTr("qrc:/textures/tutorial_slide2_channels.png")
        }
        ListElement {
            picture: qsTr("qrc:/textures/tutorial_slide3_contacts.png")
        }
        ListElement {
            picture: qsTr("qrc:/textures/tutorial_slide4_recents.png")
        }
        ListElement {
            picture: qsTr("qrc:/textures/tutorial_slide5_chat.png")
        }
    }

    function hideWindow() {
        if (mainViewer)
            mainViewer.hide()
    }

    function previous() {
        if (currentIndex <= 0)
            return
        currentIndex -= 1
        mainApp.trackEvent(category, "previousClick", ["i:" + currentIndex])
    }

    function next() {
        if (currentIndex >= slides.count - 1) {
            mainApp.trackEvent(category, "doneClick", ["i:" + currentIndex])
            hideWindow()
            return
        }
        currentIndex += 1
        mainApp.trackEvent(category, "nextClick", ["i:" + currentIndex])
    }

    width: 800
    height: 600
    color: "black"
    focus: true

    Component.onCompleted: {
        if (mainViewer) {
            mainViewer.minimumWidth = 640
            mainViewer.minimumHeight = 480
        }
    }

    // The window is hidden, not closed, at the end: each showing starts
    // again at the first slide.
    Connections {
        target: typeof mainViewer !== "undefined" ? mainViewer : null
        function onVisibleChanged() {
            if (mainViewer.visible)
                root.currentIndex = 0
        }
    }

    Keys.onEscapePressed: {
        mainApp.trackEvent(category, "closeEsc", ["i:" + currentIndex])
        hideWindow()
    }

    // Keep the index on the slide it showed when slides come or go.
    Connections {
        target: root.slides
        function onRowsInserted(parent, first, last) {
            var inserted = last - first + 1
            if (root.slides.count > inserted && root.currentIndex >= first)
                root.currentIndex += inserted
        }
        function onRowsRemoved(parent, first, last) {
            var removed = last - first + 1
            if (root.currentIndex > last)
                root.currentIndex -= removed
            else if (root.currentIndex >= first)
                root.currentIndex = Math.max(0, Math.min(first, root.slides.count - 1))
        }
    }

    Repeater {
        model: root.slides
        HintScreen {
            id: slide
            objectName: "slide" + index
            property url picture: model.picture
            anchors.centerIn: parent
            width: parent.width - 40
            image: slide.picture
            imageWidth: Math.round(root.width * 3 / 4)
            visible: index === root.currentIndex

            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 16

                DButton {
                    objectName: "previousButton"
                    visible: index > 0
                    text: mainApp.languageUpdatedString + qsTr("Previous")
                    onClicked: root.previous()
                }
                DButton {
                    objectName: "nextButton"
                    isDefault: true
                    text: index === root.slides.count - 1 ? mainApp.languageUpdatedString + qsTr("Done")
                                                          : mainApp.languageUpdatedString + qsTr("Next")
                    onClicked: root.next()
                }
            }
        }
    }

    ImageButton {
        objectName: "closeButton"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 10
        width: 12
        height: 12
        normalImage: styleManager.windowCloseButton
        hoverImage: styleManager.windowCloseButtonHovered
        toolTip: mainApp.languageUpdatedString + qsTr("Close window")
        onClicked: {
            mainApp.trackEvent(root.category, "closeClick", [])
            if (mainViewer)
                mainViewer.close()
        }
    }
}
