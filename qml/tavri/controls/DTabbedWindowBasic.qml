import QtQuick 2.5

// The frame of a settings page: a panel of 600 by 385 for the page's own
// content. It declares closing for pages that share code with windows;
// nothing emits it here.
DRectangle {
    signal closing(string reason)
    implicitWidth: 600
    implicitHeight: 385
    color: "transparent"
}
