import QtQuick 2.5
import QtQuick.Controls 1.4

// A line between groups of menu entries.
MenuSeparator {
}
