// The skin menu of the main frame's header: one entry per style found when
// the menu is made, and the link to more skins.
// Context properties: mainApp.
import QtQuick 2.15
import QtQml.Models 2.15
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "MainFrame"
    // The web page that lists more skins.
    property string moreSkinsUrl: "https://tavri.com/skins"
    readonly property var styles: mainApp.getAvailableStyles()

    Instantiator {
        model: root.styles
        delegate: DMenuItem {
            text: modelData
            onTriggered: mainApp.setStyle(modelData)
        }
        onObjectAdded: root.insertItem(index, object)
        onObjectRemoved: root.removeItem(object)
    }
    DMenuSeparator {}
    DMenuItem {
        objectName: "findMoreSkins"
        text: mainApp.languageUpdatedString + qsTr("Find more skins...")
        onTriggered: {
            Qt.openUrlExternally(root.moreSkinsUrl)
            mainApp.trackEvent(root.trackingCategory, "FindMoreThemes", [])
        }
    }
}
