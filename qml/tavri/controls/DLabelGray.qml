import QtQuick 2.5

// A dimmed label for notes and secondary text.
DLabel {
    color: styleManager.labelGrayTextColor
    fontSize: styleManager.smallFontSize
}
