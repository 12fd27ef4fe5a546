import QtQuick 2.5
import QtQuick.Controls 1.4

// A progress bar in the style's colours.
ProgressBar {
    style: DProgressBarStyle {}
}
