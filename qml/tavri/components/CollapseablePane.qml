import QtQuick 2.5
import "../controls"

// A pane with a title, an unread count, an open/close caret and a remove
// button over its content.
DCPane {
    id: pane
    property bool showRemove: false
    signal removeClicked()
    showExpand: true
    showClose: showRemove
    onCloseClicked: removeClicked()
}
