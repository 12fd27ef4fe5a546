import QtQuick 2.5
import QtQuick.Controls 1.4

// A pop-up menu in the style's menu colours.
Menu {
    style: DMenuStyle {}
}
