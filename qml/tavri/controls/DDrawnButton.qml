import QtQuick 2.5

// A button drawn from the state groups. `buttonType` chooses the shape:
// Normal (a rounded gradient box), Flat (text on the panel until hovered),
// Link (text only, in the link colour) or Icon (the picture only).
Item {
    id: button
    readonly property int normal: 0
    readonly property int flat: 1
    readonly property int link: 2
    readonly property int icon: 3
    property int buttonType: normal
    property string text: ""
    property url iconSource: ""
    property string toolTip: ""
    property real fontSize: 0
    property alias hovered: area.containsMouse
    property alias pressed: area.pressed
    property bool checkable: false
    property bool checked: false
    readonly property var activeStyle: !enabled ? styleManager.disabledStyle
                                     : area.pressed || checked ? styleManager.pressedStyle
                                     : area.containsMouse ? styleManager.hoveredStyle
                                     : activeFocus ? styleManager.focusedStyle : styleManager.enabledStyle
    signal clicked()

    implicitWidth: Math.max(label.implicitWidth + (iconImage.visible ? iconImage.width + 6 : 0) + 16, 24)
    implicitHeight: 24
    activeFocusOnTab: true

    Keys.onSpacePressed: area.activate()

    Rectangle {
        anchors.fill: parent
        visible: button.buttonType === button.normal || (button.buttonType === button.flat && area.containsMouse)
        radius: styleManager.buttonRadius
        opacity: button.activeStyle.controlOpacity
        border.width: button.activeStyle.controlBorderWidth
        border.color: button.activeFocus ? button.activeStyle.controlFocusBorderColor : button.activeStyle.controlBorderColor
        gradient: Gradient {
            GradientStop { position: 0.0; color: button.activeStyle.controlGradient0 }
            GradientStop { position: 1.0; color: button.activeStyle.controlGradient1 }
        }
    }
    Row {
        anchors.centerIn: parent
        spacing: 6
        Image {
            id: iconImage
            anchors.verticalCenter: parent.verticalCenter
            source: button.iconSource
            visible: source != ""
            opacity: button.activeStyle.imageOpacity
        }
        Text {
            id: label
            anchors.verticalCenter: parent.verticalCenter
            visible: button.buttonType !== button.icon
            text: button.text
            color: button.buttonType === button.link ? styleManager.linkBaseColor : button.activeStyle.controlTextColor
            font.family: button.activeStyle.controlFontFamily
            font.pointSize: button.fontSize > 0 ? button.fontSize : button.activeStyle.controlFontSize
            font.underline: button.buttonType === button.link && area.containsMouse
        }
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        enabled: button.enabled
        cursorShape: Qt.PointingHandCursor
        function activate() {
            if (button.checkable)
                button.checked = !button.checked
            button.clicked()
        }
        onClicked: activate()
        DToolTip {
            text: button.toolTip
        }
    }
}
