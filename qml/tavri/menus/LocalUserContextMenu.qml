// The local user's menu behind the main frame's context-menu button.
// Context properties: mainApp, localUser, styleManager.
import QtQuick 2.15
import "../controls"

DMenu {
    id: root

    property string trackingCategory: "LocalUserContextMenu"

    function track(label) {
        mainApp.trackEvent(trackingCategory, label, [])
    }

    PresenceStatusMenu {
        objectName: "setStatusMenu"
        title: mainApp.languageUpdatedString + qsTr("Set Status")
        useStatusTexts: true
    }
    DMenuItem {
        objectName: "editProfile"
        text: mainApp.languageUpdatedString + qsTr("EDIT PROFILE")
        onTriggered: { mainApp.showGeneralSettings(2); root.track("EditProfile") }
    }
    DMenuItem {
        objectName: "audioSettings"
        text: mainApp.languageUpdatedString + qsTr("AUDIO SETTINGS")
        onTriggered: { mainApp.showGeneralSettings(1); root.track("OpenAudioSettings") }
    }
    DMenuItem {
        objectName: "generalSettings"
        text: mainApp.languageUpdatedString + qsTr("GENERAL SETTINGS")
        onTriggered: { mainApp.showGeneralSettings(0); root.track("OpenGeneralSettings") }
    }
    DMenuItem {
        objectName: "sounds"
        text: mainApp.languageUpdatedString + qsTr("SOUNDS")
        onTriggered: { mainApp.showGeneralSettings(3); root.track("OpenSounds") }
    }
    DMenuItem {
        objectName: "about"
        text: mainApp.languageUpdatedString + qsTr("About Tavri")
        onTriggered: { mainApp.showAbout(); root.track("OpenAboutTavri") }
    }
    DMenuItem {
        objectName: "checkForUpdates"
        text: mainApp.languageUpdatedString + qsTr("CHECK FOR UPDATES")
        onTriggered: { mainApp.checkForUpdates(); root.track("CheckForUpdates") }
    }
    DMenuSeparator {}
    DMenuItem {
        objectName: "tutorial"
        text: mainApp.languageUpdatedString + qsTr("TUTORIAL")
        onTriggered: { mainApp.showTutorial(); root.track("OpenUserGuide") }
    }
    DMenuSeparator {}
    // Both track before acting: logging out or exiting tears the frame down.
    DMenuItem {
        objectName: "logout"
        text: mainApp.languageUpdatedString + qsTr("LOGOUT")
        onTriggered: { root.track("Logout"); mainApp.requestLogout(localUser) }
    }
    DMenuItem {
        objectName: "exit"
        text: mainApp.languageUpdatedString + qsTr("EXIT TAVRI")
        onTriggered: { root.track("Exit"); mainApp.onAppExit() }
    }
}
