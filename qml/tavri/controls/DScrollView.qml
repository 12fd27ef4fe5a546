import QtQuick 2.5
import QtQuick.Controls 1.4

// A scroll view with the style's scroll bars.
ScrollView {
    style: DScrollViewStyle {}
}
