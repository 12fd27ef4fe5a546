// The login and sign-up window: one frame with two faces that cross-fade.
//
// Context properties read: mainApp (TavriApplication), localUser (LocalUser),
// storageManager (StorageManager), voiceManager (VoiceManager), styleManager
// (the style object) and mainViewer (this window's QQuickView).
//
// The application calls checkedUsernameAvailability, accountCreated and
// accountCreateFailed on this root when the web service answers a sign-up.
import QtQuick 2.15
import QtQuick.Controls 1.4
import Settings 1.0
import LocalUser 1.0
import "controls"
import "components"

DTitledWindowBasic {
    id: root
    objectName: "login"

    // True shows the log-in face, false the sign-up face.
    property bool loginMode: true
    property int margin: 11
    property real smallFontSize: styleManager.tinyFontSize
    // False until the load steps end, and again at destruction: setting the
    // controls from stored values must not write them back.
    property bool loaded: false
    property bool usernameChanged: false
    property bool passwordChanged: false
    // The digest sent at the last login (or the stored one), used while the
    // password field is not retyped.
    property string passwordDigest: ""
    property int oldWidth: 0
    property int oldHeight: 0
    property int oldX: 0
    property int oldY: 0

    property bool usernameValid: false
    property bool emailValid: false
    property bool passwordValid: false
    property bool confirmValid: false
    readonly property bool ageValid: ageBox.checked

    // The login state last announced by localUser; -1 until the first one.
    property int loginState: -1
    readonly property bool fieldsEnabled: loginState === -1 ? localUserLoggedOut() : loginState === LocalUser.LoggedOut

    readonly property var emailPattern: /^\w+([-+.']\w+)*@\w+([-.]\w+)*\.\w+([-.]\w+)*$/
    readonly property string takenScreenName: qsTr("That screen name is already taken, please choose another")
    readonly property string accountExists: "An account already exists for this email address"

    readonly property int faceWidth: loginMode ? 500 : 680
    readonly property int faceHeight: (loginMode ? 300 : 308) - (showTitleBar ? 0 : titleBarHeight)
    property real resizeProgress: 0

    // Face switches, the login and the sign-up checks.

    function localUserLoggedOut() {
        var state = localUser ? localUser.loginState : undefined
        return state === undefined || state === LocalUser.LoggedOut
    }

    function showLoginFace(toLogin) {
        if (loginMode === toLogin)
            return
        loginMode = toLogin
        if (!mainViewer)
            return
        oldWidth = mainViewer.width
        oldHeight = mainViewer.height
        oldX = mainViewer.x
        oldY = mainViewer.y
        // The back curve overshoots both sizes: no minimum while it runs.
        minimumWidth = 0
        minimumHeight = 0
        resizeAnimation.restart()
    }

    function applyResizeStep() {
        if (!mainViewer || oldWidth === 0)
            return
        var w = Math.round(oldWidth + (faceWidth - oldWidth) * resizeProgress)
        var h = Math.round(oldHeight + (faceHeight - oldHeight) * resizeProgress)
        // Keep the window centred: 2 pixels of growth move it 1 to the left.
        mainViewer.x = oldX - Math.round((w - oldWidth) / 2)
        mainViewer.y = oldY - Math.round((h - oldHeight) / 2)
        mainViewer.width = w
        mainViewer.height = h
    }

    function applyMinimumSize() {
        minimumWidth = faceWidth
        minimumHeight = faceHeight
    }

    function readAutoLoginSetting() {
        var value = storageManager.getSettingsValueForMachine(Settings.SettingsMachineKeyAutoLogin, true)
        return !(value === false || String(value) === "false")
    }

    function logIn() {
        if (!loaded)
            return
        var name = nameField.text
        if (usernameChanged) {
            storageManager.username = name
            usernameChanged = false
        }
        var digest = passwordChanged ? Qt.md5(passwordField.text).toLowerCase() : passwordDigest
        if (emailPattern.test(name) && passwordField.text.length > 0)
            mainApp.requestLogin(name, digest)
        if (passwordChanged && autoLoginBox.checked) {
            storageManager.passwordLength = passwordField.text.length
            storageManager.password = digest
        }
        passwordDigest = digest
        passwordChanged = false
    }

    function autoLogin() {
        if (!autoLoginBox.checked)
            return
        // With nothing stored (a new account, or a password not kept) an
        // automatic login could only fail, and would cut across the login
        // the user is typing.
        if (!storageManager.username || !storageManager.password)
            return
        console.log("autologin: " + storageManager.username)
        mainApp.requestLogin(storageManager.username, storageManager.password)
    }

    // Server texts arrive as rich text: pictures in them are dropped, the
    // rest is shown as the server wrote it.
    function serverText(text) {
        return String(text === undefined || text === null ? "" : text).replace(/<img[^>]*>/gi, "")
    }

    function plainToStyled(text) {
        return String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;").replace(/\n/g, "<br>")
    }

    function loginStateText(state, reason) {
        switch (state) {
        case LocalUser.LoggedOut:
            return reason !== "" ? serverText(reason) : mainApp.languageUpdatedString + qsTr("Logged out.")
        case LocalUser.LoggingIn:
            return mainApp.languageUpdatedString + qsTr("Contacting login service...")
        case LocalUser.LoggingInVoice:
            return mainApp.languageUpdatedString + qsTr("Contacting voice service...")
        case LocalUser.LoggedIn:
            return mainApp.languageUpdatedString + qsTr("Logged in.")
        case LocalUser.LoggingOut:
            return mainApp.languageUpdatedString + qsTr("Logging out...")
        case LocalUser.DisconnectedReconnecting:
            return mainApp.languageUpdatedString + qsTr("Reconnecting...")
        default:
            return plainToStyled(mainApp.connectorErrorMessage)
        }
    }

    // Opens a link of a status line, and only a web link.
    function openStatusLink(link, category) {
        console.log("link activated: " + link)
        mainApp.trackEvent(category, "StatusClick", ["link:" + link])
        if (/^https?:\/\//i.test(link))
            Qt.openUrlExternally(link)
        else
            console.warn("Login window: not opening a link of scheme \"" + String(link).split(":")[0] + "\"")
    }

    function openForgotPassword(category) {
        mainApp.trackEvent(category, "ForgotPassword", [])
        Qt.openUrlExternally(voiceManager.downloadServer + "/forgot-password/")
    }

    function focusAndSelect(field) {
        field.forceActiveFocus()
        field.selectAll()
    }

    function inputValid(index) {
        switch (index) {
        case 0: return usernameValid
        case 1: return emailValid
        case 2: return passwordValid
        case 3: return confirmValid
        default: return ageValid
        }
    }

    function focusInput(index) {
        switch (index) {
        case 0: screenNameField.forceActiveFocus(); break
        case 1: emailField.forceActiveFocus(); break
        case 2: signupPasswordField.forceActiveFocus(); break
        case 3: confirmField.forceActiveFocus(); break
        default: ageBox.forceActiveFocus(); break
        }
    }

    // Moves the focus to the first invalid input after `current`, wrapping
    // round; when every other input is valid nothing happens.
    function nextInput(current) {
        for (var step = 1; step < 5; ++step) {
            var index = (current + step) % 5
            if (!inputValid(index)) {
                focusInput(index)
                return
            }
        }
    }

    function setSignupStatus(text) {
        signupStatus.text = text
    }

    // Runs the sign-up field checks; true when they all pass.
    function checkSignupFields() {
        setSignupStatus("")
        if (emailField.text === "" || !emailPattern.test(emailField.text)) {
            setSignupStatus(mainApp.languageUpdatedString + qsTr("Error: Please enter a valid email address"))
            focusAndSelect(emailField)
            return false
        }
        if (signupPasswordField.text.length < 6) {
            setSignupStatus(mainApp.languageUpdatedString + qsTr("Error: Password must be at least 6 characters"))
            focusAndSelect(signupPasswordField)
            return false
        }
        if (confirmField.text !== signupPasswordField.text) {
            setSignupStatus(mainApp.languageUpdatedString + qsTr("Error: Passwords do not match"))
            focusAndSelect(signupPasswordField)
            return false
        }
        return true
    }

    function signUp() {
        if (!checkSignupFields())
            return
        mainApp.trackEvent("SignupPane", "AcctCreateRequested", [])
        mainApp.createAccount(screenNameField.text, emailField.text, signupPasswordField.text)
    }

    // Called by the application with the web service's answer to a screen
    // name check: "t" means taken.
    function checkedUsernameAvailability(response) {
        if (response === "t") {
            forgotPasswordLink.visible = false
            setSignupStatus(mainApp.languageUpdatedString + qsTr("Error: ") + takenScreenName)
            mainApp.trackEvent("SignupPane", "UsernameExists", [])
            usernameValid = false
        } else {
            usernameValid = screenNameField.text !== ""
        }
    }

    function accountCreated() {
        nameField.text = emailField.text
        loginStatus.textFormat = Text.PlainText
        loginStatus.color = styleManager.statusSuccessTextColor
        loginStatus.text = mainApp.languageUpdatedString
                + qsTr("Account Created! Check your email for a link to activate your account")
        screenNameField.text = ""
        emailField.text = ""
        signupPasswordField.text = ""
        confirmField.text = ""
        ageBox.checked = false
        setSignupStatus("")
        passwordField.text = ""
        showLoginFace(true)
        passwordField.forceActiveFocus()
        mainApp.trackEvent("SignupPane", "AcctCreated", [])
    }

    function accountCreateFailed(msg, networkError) {
        var message = String(msg)
        console.log("AcctCreateFailed: " + message)
        if (networkError) {
            mainApp.trackEvent("SignupPane", "NetworkError", [message])
            setSignupStatus(mainApp.languageUpdatedString + qsTr("Network Error: ") + serverText(message)
                            + qsTr(" - please check your network settings and try again"))
            return
        }
        if (message === accountExists) {
            emailValid = false
            focusAndSelect(emailField)
            forgotPasswordLink.visible = true
            mainApp.trackEvent("SignupPane", "EmailExists", [])
        } else if (message === "That screen name is already taken, please choose another") {
            usernameValid = false
            focusAndSelect(screenNameField)
            mainApp.trackEvent("SignupPane", "UsernameExists", [])
        } else {
            mainApp.trackEvent("SignupPane", "AcctCreateFailed", [message])
        }
        if (message.indexOf("Account creation failed") !== -1)
            message = qsTr("Account creation failed - please try again in a few minutes")
        setSignupStatus(mainApp.languageUpdatedString + qsTr("Error: ") + serverText(message))
    }

    title: mainApp.languageUpdatedString + (loginMode ? qsTr("Login  ") : qsTr("Sign Up"))
    showLogo: styleManager.loginLogoInTitle
    logoSource: styleManager.loginThemeLogo

    onResizeProgressChanged: applyResizeStep()
    onFaceHeightChanged: if (!resizeAnimation.running) applyMinimumSize()

    onClosing: {
        if (reason === "Application")
            return
        mainApp.trackEvent("LoginPane", "Closing", [])
        if (mainViewer)
            mainViewer.close()
    }

    Component.onCompleted: {
        nameField.text = storageManager.username
        if (nameField.text === "")
            nameField.forceActiveFocus()
        else
            passwordField.forceActiveFocus()
        var length = Math.max(0, Math.min(Number(storageManager.passwordLength) || 0, passwordField.maximumLength))
        passwordField.text = new Array(length + 1).join("*")
        passwordDigest = storageManager.password
        usernameChanged = false
        passwordChanged = false
        autoLoginBox.checked = readAutoLoginSetting()
        applyMinimumSize()
        if (autoLoginBox.checked && passwordField.text !== "" && nameField.text !== "")
            autoLogin()
        loaded = true
    }

    Component.onDestruction: {
        loaded = false
        console.log("destroying Login.qml")
        if (!autoLoginBox.checked) {
            storageManager.passwordLength = 0
            storageManager.password = ""
        }
    }

    NumberAnimation {
        id: resizeAnimation
        target: root
        property: "resizeProgress"
        from: 0
        to: 1
        duration: 500
        easing.type: Easing.InOutBack
        easing.overshoot: 2.5
        onStopped: root.applyMinimumSize()
    }

    Connections {
        target: localUser
        function onLoginStateChanged(loginState, reason) {
            root.loginState = loginState
            loginStatus.textFormat = Text.StyledText
            loginStatus.color = styleManager.alertColor
            loginStatus.text = root.loginStateText(loginState, reason)
        }
    }

    Connections {
        target: mainApp
        function onNetworkStateChanged(networkIsAvailable) {
            console.log("Login.qml: Network state change detected... network is " + networkIsAvailable)
            if (networkIsAvailable && nameField.text !== "" && passwordField.text !== "")
                root.autoLogin()
        }
    }

    Connections {
        target: storageManager
        function onSettingKeyChanged(key, value) {
            if (key !== Settings.SettingsMachineKeyAutoLogin)
                return
            var wasLoaded = root.loaded
            root.loaded = false
            autoLoginBox.checked = !(value === false || String(value) === "false")
            root.loaded = wasLoaded
        }
    }

    // Log-in face.
    Item {
        id: loginFace
        objectName: "loginFace"
        anchors.fill: parent
        opacity: root.loginMode ? 1 : 0
        visible: opacity > 0
        enabled: root.loginMode
        Behavior on opacity {
            NumberAnimation {
                duration: 500
                easing.type: Easing.InOutQuad
            }
        }

        Rectangle {
            anchors.fill: parent
            color: styleManager.loginBackgroundColor
        }
        Image {
            anchors.fill: parent
            source: styleManager.loginBackgroundImage
            fillMode: Image.PreserveAspectCrop
            clip: true
        }

        Column {
            id: leftColumn
            width: 110
            anchors.left: parent.left
            anchors.leftMargin: root.margin
            anchors.bottom: parent.bottom
            anchors.bottomMargin: root.margin
            spacing: 2

            Image {
                width: parent.width
                height: 40
                fillMode: Image.PreserveAspectFit
                horizontalAlignment: Image.AlignLeft
                source: "qrc:/textures/Logo_RedOstrel_01.png"
            }
            DLabel {
                width: parent.width
                wrapMode: Text.WordWrap
                fontSize: root.smallFontSize
                text: mainApp.languageUpdatedString + qsTr("Powered by ")
            }
            DLabel {
                width: parent.width
                wrapMode: Text.WordWrap
                fontSize: root.smallFontSize
                text: mainApp.languageUpdatedString + qsTr("Open voice and text chat")
            }
            DLabel {
                width: parent.width
                elide: Text.ElideRight
                fontSize: root.smallFontSize
                text: mainApp.languageUpdatedString + qsTr("Version ") + mainApp.applicationVersion
            }
            DLabel {
                objectName: "domainLabel"
                width: parent.width
                elide: Text.ElideRight
                fontSize: root.smallFontSize
                visible: !voiceManager.isDefaultDomain
                text: voiceManager.domain
            }
        }

        Row {
            id: logos
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: parent.top
            anchors.topMargin: root.margin
            spacing: root.margin

            Image {
                id: themeLogo
                height: 100
                fillMode: Image.PreserveAspectFit
                source: styleManager.loginThemeLogo
            }
            // Keeps the place of the theme logo until it has loaded.
            Item {
                width: 100
                height: 100
                visible: themeLogo.status !== Image.Ready
            }
            Image {
                width: 100
                height: 100
                visible: !styleManager.loginLogoInTitle
                source: "qrc:/textures/tavri_gradient_logo.png"
            }
        }

        Column {
            id: loginForm
            anchors.left: leftColumn.right
            anchors.leftMargin: root.margin
            anchors.right: parent.right
            anchors.rightMargin: root.margin
            anchors.top: logos.bottom
            anchors.topMargin: root.margin
            spacing: 6

            LineField {
                id: nameField
                objectName: "nameField"
                anchors.horizontalCenter: parent.horizontalCenter
                width: Math.max(200, Math.min(260, parent.width - 2 * 26))
                placeholderText: mainApp.languageUpdatedString + qsTr("Enter e-mail")
                maximumLength: 254
                enabled: root.fieldsEnabled
                validator: RegExpValidator {
                    regExp: /[\w\-+.'@]*/
                }
                onTextChanged: root.usernameChanged = true
                Keys.onReturnPressed: root.nameFieldEnter()
                Keys.onEnterPressed: root.nameFieldEnter()
            }

            Item {
                anchors.horizontalCenter: parent.horizontalCenter
                width: nameField.width
                height: passwordField.height

                LineField {
                    id: passwordField
                    objectName: "passwordField"
                    width: parent.width
                    echoMode: TextInput.Password
                    placeholderText: mainApp.languageUpdatedString + qsTr("Enter Password")
                    maximumLength: 128
                    enabled: root.fieldsEnabled
                    onTextChanged: root.passwordChanged = true
                    onActiveFocusChanged: if (activeFocus) selectAll()
                    Keys.onReturnPressed: root.passwordFieldEnter()
                    Keys.onEnterPressed: root.passwordFieldEnter()
                }

                Image {
                    id: forgotPasswordIcon
                    objectName: "forgotPasswordIcon"
                    width: 20
                    height: 20
                    anchors.left: passwordField.right
                    anchors.leftMargin: 4
                    anchors.verticalCenter: passwordField.verticalCenter
                    source: forgotMouse.containsMouse ? "qrc:/textures/Icon_Login_ForgotPW_Hover.png"
                                                      : "qrc:/textures/Icon_Login_ForgotPW_Static.png"
                    MouseArea {
                        id: forgotMouse
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: root.openForgotPassword("LoginPane")
                        DToolTip {
                            text: mainApp.languageUpdatedString + qsTr("Forgot password?")
                        }
                    }
                }
            }

            Item {
                anchors.horizontalCenter: parent.horizontalCenter
                width: nameField.width
                height: Math.max(autoLoginBox.height, createAccountLink.height)

                DCheckBox {
                    id: autoLoginBox
                    objectName: "autoLoginBox"
                    anchors.left: parent.left
                    anchors.verticalCenter: parent.verticalCenter
                    // Never under the link, whatever the language's length.
                    width: Math.min(implicitWidth, parent.width - createAccountLink.width - 8)
                    text: mainApp.languageUpdatedString + qsTr("Login automatically")
                    onCheckedChanged: {
                        if (!root.loaded)
                            return
                        storageManager.setSettingsValueForMachine(Settings.SettingsMachineKeyAutoLogin, checked)
                        mainApp.trackEvent("LoginPane", checked ? "AutoLoginChecked" : "AutoLoginUnchecked", [])
                    }
                }

                DLink {
                    id: createAccountLink
                    objectName: "createAccountLink"
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    fontSize: root.smallFontSize
                    text: mainApp.languageUpdatedString + qsTr("Create a New Account")
                    onClicked: {
                        mainApp.trackEvent("LoginPane", "CreateAccount", [])
                        root.showLoginFace(false)
                        screenNameField.forceActiveFocus()
                    }
                }
            }

            Text {
                id: loginStatus
                objectName: "loginStatus"
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                maximumLineCount: 3
                elide: Text.ElideRight
                color: styleManager.alertColor
                linkColor: styleManager.linkBaseColor
                font.family: styleManager.regularFont
                font.pointSize: root.smallFontSize
                textFormat: Text.PlainText
                text: mainApp.connectorErrorMessage !== ""
                      ? mainApp.languageUpdatedString + qsTr("Problem contacting voice server:") + "\n"
                        + mainApp.connectorErrorMessage
                      : ""
                onLinkActivated: root.openStatusLink(link, "LoginPane")
                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.NoButton
                    cursorShape: parent.hoveredLink !== "" ? Qt.PointingHandCursor : Qt.ArrowCursor
                }
            }
        }
    }

    function nameFieldEnter() {
        if (passwordField.text !== "") {
            mainApp.trackEvent("LoginPane", "LoginEnter", [])
            logIn()
        } else {
            passwordField.forceActiveFocus()
        }
    }

    function passwordFieldEnter() {
        mainApp.trackEvent("LoginPane", "PasswordEnter", [])
        logIn()
    }

    // Sign-up face.
    Item {
        id: signupFace
        objectName: "signupFace"
        anchors.fill: parent
        opacity: root.loginMode ? 0 : 1
        visible: opacity > 0
        enabled: !root.loginMode
        Behavior on opacity {
            NumberAnimation {
                duration: 500
                easing.type: Easing.InOutQuad
            }
        }

        Rectangle {
            anchors.fill: parent
            color: styleManager.loginBackgroundColor
        }
        Image {
            anchors.fill: parent
            source: "qrc:/textures/login_background.png"
            fillMode: Image.PreserveAspectCrop
            clip: true
        }

        Item {
            anchors.fill: parent
            anchors.margins: 13

            DLink {
                id: haveAccountLink
                objectName: "haveAccountLink"
                anchors.right: parent.right
                anchors.top: parent.top
                fontSize: root.smallFontSize
                text: mainApp.languageUpdatedString + qsTr("already have an account?")
                onClicked: {
                    mainApp.trackEvent("SignupPane", "HaveAccount", [])
                    root.showLoginFace(true)
                    if (nameField.text === "")
                        nameField.forceActiveFocus()
                    else
                        passwordField.forceActiveFocus()
                }
            }

            Grid {
                id: signupGrid
                anchors.top: haveAccountLink.bottom
                anchors.topMargin: 4
                anchors.horizontalCenter: parent.horizontalCenter
                columns: 2
                columnSpacing: 10
                rowSpacing: 6
                horizontalItemAlignment: Grid.AlignRight
                verticalItemAlignment: Grid.AlignVCenter

                Row {
                    spacing: 0
                    DLabel {
                        text: mainApp.languageUpdatedString + qsTr("Screen Name - May contain")
                    }
                    DLabel {
                        fontSize: root.smallFontSize
                        anchors.baseline: parent.children[0].baseline
                        text: "  A-Z  0-9  and  @._"
                    }
                }
                LineField {
                    id: screenNameField
                    objectName: "screenNameField"
                    width: 260
                    placeholderText: mainApp.languageUpdatedString + qsTr("This will be visible in Tavri")
                    maximumLength: 64
                    validator: RegExpValidator {
                        regExp: /[\w.@]*/
                    }
                    onTextChanged: {
                        root.usernameValid = text !== ""
                        if (signupStatus.text === mainApp.languageUpdatedString + qsTr("Error: ") + root.takenScreenName) {
                            root.setSignupStatus("")
                            root.emailValid = emailField.text !== ""
                            root.passwordValid = signupPasswordField.text !== ""
                            root.confirmValid = confirmField.text !== ""
                        }
                    }
                    onActiveFocusChanged: {
                        if (activeFocus) {
                            if (!root.usernameValid)
                                selectAll()
                        } else if (!signUpButton.pressed && text !== ""
                                   && signupStatus.text.indexOf(root.takenScreenName) === -1) {
                            mainApp.checkUsernameAvailability(text)
                        }
                    }
                    Keys.onReturnPressed: root.nextInput(0)
                    Keys.onEnterPressed: root.nextInput(0)
                }

                DLabel {
                    text: mainApp.languageUpdatedString + qsTr("Email")
                }
                LineField {
                    id: emailField
                    objectName: "emailField"
                    width: screenNameField.width
                    placeholderText: mainApp.languageUpdatedString + qsTr("Use this to log in")
                    maximumLength: 254
                    onTextChanged: {
                        root.emailValid = text !== ""
                        forgotPasswordLink.visible = false
                        var status = signupStatus.text
                        if (status === mainApp.languageUpdatedString + qsTr("Error: Please enter a valid email address")
                                || status === mainApp.languageUpdatedString + qsTr("Error: ") + root.accountExists)
                            root.setSignupStatus("")
                    }
                    onActiveFocusChanged: if (activeFocus && !root.emailValid) selectAll()
                    Keys.onReturnPressed: root.nextInput(1)
                    Keys.onEnterPressed: root.nextInput(1)
                }

                DLabel {
                    text: mainApp.languageUpdatedString + qsTr("Password")
                }
                LineField {
                    id: signupPasswordField
                    objectName: "signupPasswordField"
                    width: screenNameField.width
                    echoMode: TextInput.Password
                    placeholderText: mainApp.languageUpdatedString + qsTr("Minimum of 6 characters")
                    maximumLength: 128
                    onTextChanged: {
                        root.passwordValid = text !== ""
                        var status = signupStatus.text
                        if (status === mainApp.languageUpdatedString + qsTr("Error: Password must be at least 6 characters")
                                || status === mainApp.languageUpdatedString + qsTr("Error: Passwords do not match"))
                            root.setSignupStatus("")
                    }
                    onActiveFocusChanged: if (activeFocus) selectAll()
                    Keys.onReturnPressed: confirmField.forceActiveFocus()
                    Keys.onEnterPressed: confirmField.forceActiveFocus()
                }

                DLabel {
                    text: mainApp.languageUpdatedString + qsTr("Confirm Your Password")
                }
                LineField {
                    id: confirmField
                    objectName: "confirmField"
                    width: screenNameField.width
                    echoMode: TextInput.Password
                    placeholderText: mainApp.languageUpdatedString + qsTr("Confirm Password")
                    maximumLength: 128
                    onTextChanged: {
                        root.confirmValid = text !== ""
                        if (signupStatus.text === mainApp.languageUpdatedString + qsTr("Error: Passwords do not match"))
                            root.setSignupStatus("")
                    }
                    onActiveFocusChanged: if (activeFocus) selectAll()
                    Keys.onReturnPressed: root.nextInput(3)
                    Keys.onEnterPressed: root.nextInput(3)
                }
            }

            // Below the fields, at their left edge, at its full width.
            DCheckBox {
                id: ageBox
                objectName: "ageBox"
                x: signupGrid.x + screenNameField.x
                anchors.top: signupGrid.bottom
                anchors.topMargin: 6
                activeFocusOnPress: true
                text: mainApp.languageUpdatedString + qsTr("I hereby confirm that I am at least 13 years of age")
                Keys.onReturnPressed: root.nextInput(4)
                Keys.onEnterPressed: root.nextInput(4)
            }

            Text {
                id: signupStatus
                objectName: "signupStatus"
                anchors.left: parent.left
                anchors.bottom: parent.bottom
                width: Math.max(250, Math.min(510, parent.width - signUpButton.width - 20))
                wrapMode: Text.Wrap
                maximumLineCount: 3
                elide: Text.ElideRight
                color: styleManager.alertColor
                linkColor: styleManager.linkBaseColor
                font.family: styleManager.regularFont
                font.pointSize: root.smallFontSize
                textFormat: Text.StyledText
                onLinkActivated: root.openStatusLink(link, "SignupPane")
                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.NoButton
                    cursorShape: parent.hoveredLink !== "" ? Qt.PointingHandCursor : Qt.ArrowCursor
                }
            }

            DLink {
                id: forgotPasswordLink
                objectName: "forgotPasswordLink"
                width: 214
                anchors.left: parent.left
                anchors.bottom: signupStatus.top
                anchors.bottomMargin: 2
                visible: false
                fontSize: root.smallFontSize
                text: mainApp.languageUpdatedString + qsTr("forgot password?")
                onClicked: root.openForgotPassword("SignupPane")
            }

            DButton {
                id: signUpButton
                objectName: "signUpButton"
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                isDefault: true
                enabled: root.usernameValid && root.emailValid && root.passwordValid && root.confirmValid
                         && root.ageValid
                text: mainApp.languageUpdatedString + qsTr("Sign Up")
                // Takes the focus once it reads as pressed, so that the
                // screen name field, losing it, sees the press.
                onPressedChanged: if (pressed) forceActiveFocus()
                onClicked: root.signUp()
                Keys.onReturnPressed: root.signUp()
                Keys.onEnterPressed: root.signUp()
            }
        }
    }

    // A single-line field: line breaks of pasted text are dropped.
    component LineField: DTextField {
        onTextChanged: {
            if (/[\r\n]/.test(text))
                text = text.replace(/[\r\n]+/g, "")
        }
    }
}
