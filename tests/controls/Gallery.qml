import QtQuick 2.5
import QtQuick.Controls 1.4
import "qrc:/QML/qml/tavri/controls"
import "qrc:/QML/qml/tavri/components"

// Every control and component of the library with sample values, on one
// page: loaded by the controls test and grabbed for a look.
DTitledWindow {
    id: gallery
    objectName: "gallery"
    width: 760
    height: 620
    title: "Controls"
    showMinimize: true
    showSettings: true
    showContextMenuButton: true
    contextMenu: menu

    ListModel {
        id: rows
        ListElement { name: "Speakers"; displayName: "Ann"; presenceState: 5; presenceMessage: "Around" }
        ListElement { name: "Headphones"; displayName: "Bob"; presenceState: 2; presenceMessage: "" }
        ListElement { name: "HDMI"; displayName: "Cy"; presenceState: 1; presenceMessage: "" }
    }
    ListModel {
        id: channels
        ListElement { displayName: "Lobby"; treeDepth: 0; hasChildren: true; isOpened: true; profileImageURI: "" }
        ListElement { displayName: "Side room"; treeDepth: 1; hasChildren: false; isOpened: false; profileImageURI: "" }
    }

    DMenu {
        id: menu
        DMenuItem { text: "Online"; bubbleColor: String(styleManager.presenceOnlineColor) }
        DMenuItem { text: "Away"; bubbleColor: String(styleManager.presenceAwayColor) }
        DMenuSeparator {}
        DMenuItem { text: "Settings" }
    }

    Row {
        x: 10
        y: 10
        spacing: 16
        Column {
            width: 230
            spacing: 8
            DLabel { objectName: "label"; text: "DLabel"; toolTip: "A label" }
            DLabelGray { text: "DLabelGray note" }
            DLabelSquare { objectName: "labelSquare"; text: "DLabelSquare copyable"; copyable: true }
            DContextEnabledLabel { text: "DContextEnabledLabel"; contextMenu: menu }
            DLink { text: "DLink"; toolTip: "Opens nothing" }
            DButton { objectName: "button"; text: "DButton"; toolTip: "Press" }
            DButton { text: "Disabled"; enabled: false }
            DCheckBox { objectName: "checkBox"; text: "DCheckBox"; checked: true }
            DRadioButton { text: "DRadioButton"; checked: true }
            DComboBox { model: ["One", "Two"] }
            DComboBoxNew { objectName: "comboNew"; width: 200; model: rows; textRole: "name" }
            DTextField { objectName: "textField"; width: 200; placeholderText: "DTextField" }
            DTextArea { width: 200; height: 50; placeholderText: "DTextArea" }
            DSpinBox { value: 5 }
            DDoubleRadioButton { leftText: "Voice"; rightText: "Push" }
            Row {
                spacing: 6
                DDrawnButton { text: "Drawn" }
                DDrawnButton { text: "Flat"; buttonType: 1 }
                DDrawnButton { text: "Link"; buttonType: 2 }
            }
        }
        Column {
            width: 230
            spacing: 8
            DSlider { width: 200; value: 0.4 }
            VolumeAdjusterBar { objectName: "volumeBar"; width: 200; minimumValue: 25; maximumValue: 75; value: 50 }
            VolumeSpinBar { value: 70 }
            DEnergyMeter { objectName: "energyMeter"; width: 200; value: 0.6 }
            DProgressBar { width: 200; value: 0.3 }
            Row {
                spacing: 8
                DAvatarImage { objectName: "avatar"; size: 42; toolTip: "DAvatarImage"; borderWidth: 2 }
                DAvatarImage { size: 42; name: "Anna Lee" }
                DAvatarImage { size: 21; name: "bob" }
                DAvatarImage { size: 90; radius: 6; borderWidth: 2; name: "Zoe" }
            }
            Row {
                spacing: 8
                ImageButton { width: 20; height: 20; normalImage: styleManager.clearAllIcon; hoverImage: styleManager.clearAllIconHovered }
                DButtonContextMenu { menu: menu }
                BubbleIcon { presenceState: 5 }
                BubbleIcon { presenceState: 2 }
                BubbleIcon { presenceState: 1 }
            }
            DTabBar { width: 220; titles: ["General", "Audio", "Profile", "Sounds"] }
            DTabView {
                width: 220
                height: 60
                Tab { title: "One"; DLabel { text: "Tab one" } }
                Tab { title: "Two" }
            }
            DGroupBox {
                title: "DGroupBox"
                checkable: true
                DLabel { text: "inside" }
            }
            Item {
                width: 120
                height: 30
                DButton {
                    id: hinted
                    text: "Hinted"
                    Hint {
                        trackingCategory: "Gallery"
                        title: "A hint"
                        HintScreen { text: "First page" }
                        HintScreen { text: "Second page" }
                    }
                }
                AnimatedRing { active: true }
            }
        }
        Column {
            width: 250
            spacing: 8
            DCPane {
                width: 240
                title: "DCPane"
                unreadCount: 3
                showClose: true
                DLabel { text: "pane content" }
            }
            DCSectionPanel {
                width: 240
                title: "DCSectionPanel"
                unreadCount: 1
                showExpand: true
                DLabel { text: "section content" }
            }
            CollapseablePane {
                width: 240
                title: "CollapseablePane"
                showRemove: true
                DLabel { text: "collapsible" }
            }
            Item {
                width: 240
                height: 100
                ListView {
                    id: contacts
                    anchors.fill: parent
                    clip: true
                    model: rows
                    delegate: ContactListDelegate { width: contacts.width; contextMenu: menu }
                }
                ScrollIndicator { flickable: contacts }
            }
            ListView {
                width: 240
                height: 92
                model: channels
                delegate: PermanentConversationTreeItemDelegate {
                    width: 240
                    showDefaultToolbar: false
                    showToolbarOnHover: true
                    showEditButton: true
                    showLinkButton: true
                }
            }
            ScrollingTextRegion { width: 240; height: 40; text: "<b>ScrollingTextRegion</b> with <a href='x'>a link</a>" }
            DScrollView {
                width: 240
                height: 40
                DLabel { text: "DScrollView\nline 2\nline 3\nline 4" }
            }
            DTabbedWindowBasic { width: 240; height: 20 }
            Dialog { width: 240; text: "Dialog body"; buttons: ["OK", "Cancel"] }
        }
    }
}
