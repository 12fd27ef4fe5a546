import QtQuick 2.5
import QtQuick.Controls 1.4

// A tab view in the style's tab colours.
TabView {
    style: DTabViewStyle {}
}
