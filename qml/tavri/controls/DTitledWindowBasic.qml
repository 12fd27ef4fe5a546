import QtQuick 2.5
import QtQuick.Window 2.2

// The frame of a window: a title bar with the product word, the title, an
// optional logo and a close button, a resize grip and size limits. The
// close button hides the view and emits closing("Click"); Escape and
// Ctrl+W hide it and emit closing("Esc") and closing("CtrlW"). The window's
// content goes below the title bar. The view is the window-local context
// property "mainViewer" (the QQuickView that shows this root).
DRectangle {
    id: frame
    property string title: ""
    property string productWord: "TAVRI"
    property bool showTitleBar: true
    property bool showLogo: false
    property url logoSource: styleManager.mainFrameTopLeftLogo
    property bool showResizeGrip: true
    property bool closeOnEscape: true
    property int titleBarHeight: 40
    property int titleLeftMargin: 10
    property int minimumWidth: 200
    property int minimumHeight: 100
    property int maximumWidth: 16777215
    property int maximumHeight: 16777215
    property string trackingCategory: ""
    property string closeToolTip: qsTr("Close window")
    default property alias content: contentArea.data
    readonly property alias contentItem: contentArea
    readonly property alias titleBar: titleBarItem
    // Title-bar buttons laid out from the right: the close button first,
    // then whatever a derived frame places here.
    readonly property alias titleButtonRow: titleButtons
    readonly property var view: typeof mainViewer !== "undefined" ? mainViewer : null
    signal closing(string reason)

    // Closing hides the view; where this is false it minimises the view
    // instead, so that a window with no other way back stays reachable.
    property bool hideOnClose: true

    function hideView() {
        if (!frame.view)
            return
        if (frame.hideOnClose)
            frame.view.hide()
        else
            frame.view.showMinimized()
    }
    function close(reason) {
        hideView()
        frame.closing(reason)
    }

    implicitWidth: 400
    implicitHeight: 300
    color: styleManager.panelGradient1
    border.width: styleManager.windowBorderWidth
    border.color: styleManager.windowBorderColor
    backgroundImage: styleManager.backgroundImage

    onMinimumWidthChanged: applyLimits()
    onMinimumHeightChanged: applyLimits()
    onMaximumWidthChanged: applyLimits()
    onMaximumHeightChanged: applyLimits()
    onViewChanged: applyLimits()
    Component.onCompleted: applyLimits()

    function applyLimits() {
        if (!frame.view || frame.view.minimumWidth === undefined)
            return
        frame.view.minimumWidth = frame.minimumWidth
        frame.view.minimumHeight = frame.minimumHeight
        frame.view.maximumWidth = frame.maximumWidth
        frame.view.maximumHeight = frame.maximumHeight
    }

    Shortcut {
        sequence: "Esc"
        enabled: frame.closeOnEscape
        onActivated: frame.close("Esc")
    }
    Shortcut {
        sequence: "Ctrl+W"
        onActivated: frame.close("CtrlW")
    }

    Rectangle {
        id: titleBarItem
        objectName: "titleBar"
        visible: frame.showTitleBar
        x: frame.border.width
        y: frame.border.width
        width: frame.width - 2 * frame.border.width
        height: visible ? frame.titleBarHeight : 0
        gradient: Gradient {
            GradientStop { position: 0.0; color: styleManager.windowTitleGradient0 }
            GradientStop { position: 1.0; color: styleManager.windowTitleGradient1 }
        }

        // Dragging the title bar moves the window.
        MouseArea {
            anchors.fill: parent
            property point pressPoint
            onPressed: pressPoint = Qt.point(mouse.x, mouse.y)
            onPositionChanged: {
                if (frame.view && pressed) {
                    frame.view.x += mouse.x - pressPoint.x
                    frame.view.y += mouse.y - pressPoint.y
                }
            }
        }
        Row {
            id: titleRow
            anchors.left: parent.left
            anchors.leftMargin: frame.titleLeftMargin
            anchors.right: titleButtons.left
            anchors.verticalCenter: parent.verticalCenter
            spacing: 8
            Image {
                visible: frame.showLogo && status === Image.Ready
                source: frame.showLogo ? frame.logoSource : ""
                height: frame.titleBarHeight - 10
                fillMode: Image.PreserveAspectFit
                anchors.verticalCenter: parent.verticalCenter
            }
            Text {
                text: frame.productWord
                anchors.verticalCenter: parent.verticalCenter
                color: styleManager.menuItemHighlightColor
                font.family: styleManager.windowTitleFontFamily
                font.pointSize: styleManager.windowTitleFontSize
                font.bold: true
            }
            Text {
                objectName: "titleText"
                width: Math.max(0, titleRow.width - x)
                anchors.verticalCenter: parent.verticalCenter
                text: frame.title
                // Titles carry names that users choose: never read as markup.
                textFormat: Text.PlainText
                elide: Text.ElideRight
                color: styleManager.windowTitleTextColor
                font.family: styleManager.windowTitleFontFamily
                font.pointSize: styleManager.windowTitleFontSize
            }
        }
        Row {
            id: titleButtons
            objectName: "titleButtons"
            anchors.right: parent.right
            anchors.rightMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            layoutDirection: Qt.RightToLeft
            spacing: 8
        }
        ImageButton {
            id: closeButton
            objectName: "closeButton"
            parent: titleButtons
            width: 12
            height: 12
            normalImage: styleManager.windowCloseButton
            hoverImage: styleManager.windowCloseButtonHovered
            toolTip: frame.closeToolTip
            onClicked: frame.close("Click")
        }
    }

    Item {
        id: contentArea
        objectName: "contentArea"
        x: frame.border.width
        y: titleBarItem.y + titleBarItem.height
        width: frame.width - 2 * frame.border.width
        height: frame.height - y - frame.border.width
    }

    Image {
        id: grip
        objectName: "resizeGrip"
        visible: frame.showResizeGrip
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: frame.border.width
        width: 12
        height: 12
        source: styleManager.windowResizeGrip
        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.SizeFDiagCursor
            property point pressPoint
            onPressed: pressPoint = Qt.point(mouse.x, mouse.y)
            onPositionChanged: {
                if (!frame.view || !pressed)
                    return
                frame.view.width = Math.max(frame.minimumWidth,
                                            Math.min(frame.maximumWidth, frame.view.width + mouse.x - pressPoint.x))
                frame.view.height = Math.max(frame.minimumHeight,
                                             Math.min(frame.maximumHeight, frame.view.height + mouse.y - pressPoint.y))
            }
        }
    }
}
