// The common frame of the warning dialogs: a titled window whose content is
// laid out in one column.
//
// Context properties read: mainApp (TavriApplication), styleManager (the
// style object) and mainViewer (this window's QQuickView).
import QtQuick 2.15
import QtQuick.Controls 1.4
import "../controls"

DTitledWindowBasic {
    id: root

    // The dialog's content, stacked in a column.
    default property alias columnContent: column.data
    property alias contentColumn: column

    function hideWindow() {
        if (mainViewer)
            mainViewer.hide()
    }

    width: 600
    height: 410
    title: mainApp.languageUpdatedString + qsTr("Alert!")

    content: Column {
        id: column
        anchors.fill: parent
        anchors.margins: 5
        anchors.bottomMargin: 20
        spacing: 8
    }
}
