import QtQuick 2.5

// The main window frame: DTitledWindowBasic with an optional context-menu
// button at the left of the title bar and settings and minimise buttons
// beside the close button. The minimise button minimises the view and
// emits minimizeClicked; the settings and context-menu buttons emit
// settingsClicked and contextMenuClicked, and the latter pops up
// `contextMenu` when one is set.
DTitledWindowBasic {
    id: frame
    property bool showMinimize: false
    property bool showSettings: false
    property bool showContextMenuButton: false
    property var contextMenu: null
    property string minimizeToolTip: qsTr("Click to minimize to taskbar")
    property string settingsToolTip: qsTr("Settings")
    property string contextMenuToolTip: qsTr("Click here for menu")
    titleLeftMargin: showContextMenuButton ? 28 : 10
    signal minimizeClicked()
    signal settingsClicked()
    signal contextMenuClicked()

    ImageButton {
        objectName: "minimizeButton"
        parent: frame.titleButtonRow
        visible: frame.showMinimize
        width: 12
        height: 12
        normalImage: styleManager.windowMinimizeButton
        hoverImage: styleManager.windowMinimizeButtonHovered
        pressedImage: styleManager.windowMinimizeButtonPressed
        toolTip: frame.minimizeToolTip
        onClicked: {
            if (frame.view)
                frame.view.showMinimized()
            frame.minimizeClicked()
        }
    }
    ImageButton {
        objectName: "settingsButton"
        parent: frame.titleButtonRow
        visible: frame.showSettings
        width: 14
        height: 14
        normalImage: styleManager.windowSettingsButton
        hoverImage: styleManager.windowSettingsButtonHovered
        toolTip: frame.settingsToolTip
        onClicked: frame.settingsClicked()
    }
    DButtonContextMenu {
        objectName: "contextMenuButton"
        parent: frame.titleBar
        visible: frame.showContextMenuButton
        anchors.left: parent.left
        anchors.leftMargin: 4
        anchors.verticalCenter: parent.verticalCenter
        width: 16
        height: 16
        menu: frame.contextMenu
        toolTip: frame.contextMenuToolTip
        onClicked: frame.contextMenuClicked()
    }
}
