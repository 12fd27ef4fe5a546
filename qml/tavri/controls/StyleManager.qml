import QtQuick 2.5

// The style schema: every property a window reads from the style in force,
// with placeholder values. A style (the built-in DefaultStyleManager or a
// skin file skins/<Name>/<Name>.qml) derives from this type and sets the real
// values; whatever a style leaves unset keeps the placeholder here, so a skin
// that sets only a few colours still gives every window a value to read.
// Switching styles copies the new style's values into the one object in
// force, so bindings to styleManager.<name> stay live.
//
// Kinds: 138 url (pictures default to none; cue sounds to the built-in
// sounds), 97 color, 20 real, 6 int, 2 string, 2 alias, 1 bool, 1 var, and
// five StateStyle groups.
//
// audioOutputTestSound is a string, not a url: it is a path relative to the
// program folder that the voice service plays from disk, and a url property
// would resolve it against this file's resource folder.
Item {
    id: schema
    visible: false

    // Fonts (the two aliases are the family names of the loaded fonts)
    property alias condensedFont: condensedLoader.name
    property alias regularFont: regularLoader.name
    property string windowTitleFontFamily: "Tahoma"
    property string audioOutputTestSound: "sounds/output_test.wav"
    property bool loginLogoInTitle: false
    property var chatColors: ["#00c4b2", "#162cd2", "#4fda24", "#d7df00", "#dda621", "#a12600", "#d73eaa", "#8f24bb", "#8f9aff", "#ff8c38"]

    // Sizes
    property int windowBorderWidth: 1
    property int menuBorderWidth: 10
    property real windowTitleFontSize: Qt.platform.os === "osx" ? 16 : 12
    property real baseFontSize: 10.5
    property real smallFontSize: 9
    property real tinyFontSize: 8
    property real squareTextSize: 10
    property real mediumFontSize: 12
    property real largeFontSize: 16
    property real titleFontSize: 14
    property real sectionTitleFontSize: 11
    property real timestampFontSize: 8
    property real mainFrameHeaderBackgroundGradientPosition0: 0.0
    property real mainFrameHeaderBackgroundGradientPosition1: 0.5
    property real mainFrameHeaderBackgroundGradientPosition2: 1.0
    property real mainFrameContentBackgroundGradientPosition0: 0.0
    property real mainFrameContentBackgroundGradientPosition1: 0.5
    property real mainFrameContentBackgroundGradientPosition2: 1.0
    property real mainFrameContentBackgroundTopLeftOpacity: 1.0
    property real buttonRadius: 2
    property real avatarRadius: 4
    property real scrollBarWidth: 8

    // Fill modes of the main frame and conversation pictures
    property int mainFrameBackgroundFillMode: Image.Stretch
    property int mainFrameTopLeftLogoFillMode: Image.PreserveAspectFit
    property int mainFrameContentBackgroundFillMode: Image.TileHorizontally
    property int conversationBackgroundFillMode: Image.Tile

    // Colours
    property color windowBorderColor: "red"
    property color windowTitleTextColor: "blue"
    property color windowTitleGradient0: "lightgrey"
    property color windowTitleGradient1: "darkgrey"
    property color panelGradient0: "lightgrey"
    property color panelGradient1: "darkgrey"
    property color paneHeaderColor: "darkgrey"
    property color paneHeaderTextColor: "black"
    property color paneFooterColor: "darkgrey"
    property color paneFooterTextColor: "black"
    property color paneBorderColor: "black"
    property color paneUnreadCountColor: "red"
    property color paneUnreadCountTextColor: "white"
    property color myChatColor: "magenta"
    property color theirChatColor: "cyan"
    property color systemMessageTextColor: "grey"
    property color welcomeMessageTextColor: "green"
    property color alertColor: "red"
    property color linkBaseColor: "blue"
    property color linkHoverColor: "navy"
    property color chatBackgroundColor: "white"
    property color chatTimestampColor: "grey"
    property color chatSelectionColor: "lightblue"
    property color menuColor: "white"
    property color menuBorderColor: "black"
    property color menuItemColor: "white"
    property color menuItemHighlightColor: "blue"
    property color menuItemTextColor: "black"
    property color menuItemHighlightTextColor: "white"
    property color menuItemDisabledTextColor: "grey"
    property color menuSeparatorColor: "grey"
    property color dropdownColor: "white"
    property color dropdownFocusColor: "lightblue"
    property color dropdownHoverColor: "lightgrey"
    property color dropdownTextColor: "black"
    property color dropdownBorderColor: "black"
    property color comboboxTextColor: "black"
    property color comboboxArrowColor: "black"
    property color scrollTrenchActiveColor: "lightgrey"
    property color scrollTrenchHoverColor: "grey"
    property color scrollTrenchPressedColor: "darkgrey"
    property color scrollDragActiveColor: "grey"
    property color scrollDragHoverColor: "darkgrey"
    property color scrollDragPressedColor: "black"
    property color buttonEnabledGradientColor0: "lightgrey"
    property color buttonEnabledGradientColor1: "grey"
    property color buttonDisabledGradientColor0: "lightgrey"
    property color buttonDisabledGradientColor1: "lightgrey"
    property color buttonHoveredGradientColor0: "white"
    property color buttonHoveredGradientColor1: "lightgrey"
    property color buttonFocusedGradientColor0: "lightblue"
    property color buttonFocusedGradientColor1: "grey"
    property color buttonFocusedHoveredGradientColor0: "lightblue"
    property color buttonFocusedHoveredGradientColor1: "lightgrey"
    property color buttonPressedGradientColor0: "grey"
    property color buttonPressedGradientColor1: "darkgrey"
    property color buttonDisabledTextColor: "grey"
    property color buttonEnabledTextColor: "black"
    property color buttonBorderColor: "black"
    property color checkboxEnabledColor: "white"
    property color checkboxHoveredColor: "lightgrey"
    property color checkboxDisabledColor: "grey"
    property color checkboxCheckColor: "black"
    property color checkboxBorderColor: "black"
    property color sliderGrooveColor: "grey"
    property color sliderFillColor: "blue"
    property color sliderHandleColor: "lightgrey"
    property color sliderHandleHoverColor: "white"
    property color tabColor: "lightgrey"
    property color tabSelectedColor: "white"
    property color tabHoveredColor: "grey"
    property color tabTextColor: "black"
    property color tabSelectedTextColor: "black"
    property color tabBorderColor: "black"
    property color mainFrameHeaderBackgroundGradientColor0: "lightgrey"
    property color mainFrameHeaderBackgroundGradientColor1: "grey"
    property color mainFrameHeaderBackgroundGradientColor2: "darkgrey"
    property color mainFrameContentBackgroundGradientColor0: "lightgrey"
    property color mainFrameContentBackgroundGradientColor1: "grey"
    property color mainFrameContentBackgroundGradientColor2: "darkgrey"
    property color localUserNameColor: "black"
    property color headerSeparatorColor: "grey"
    property color findDelegateTextColor: "black"
    property color sectionTitleTextColor: "black"
    property color presenceOnlineColor: "green"
    property color presenceAwayColor: "orange"
    property color presenceOfflineColor: "grey"
    property color presenceBusyColor: "red"
    property color loginBackgroundColor: "white"
    property color statusSuccessTextColor: "green"
    property color tooltipColor: "lightyellow"
    property color tooltipTextColor: "black"
    property color tooltipBorderColor: "black"
    property color textSelectionColor: "blue"
    property color labelGrayTextColor: "grey"
    property color energyMeterLowColor: "green"
    property color energyMeterHighColor: "red"

    // Pictures
    property url backgroundImage: ""
    property url windowCloseButton: ""
    property url windowCloseButtonHovered: ""
    property url windowCloseButtonPressed: ""
    property url windowMinimizeButton: ""
    property url windowMinimizeButtonHovered: ""
    property url windowMinimizeButtonPressed: ""
    property url windowSettingsButton: ""
    property url windowSettingsButtonHovered: ""
    property url windowResizeGrip: ""
    property url contextMenuButton: ""
    property url contextMenuButtonHovered: ""
    property url contextMenuButtonPressed: ""
    property url settingsGeneralIcon: ""
    property url settingsGeneralIconSelected: ""
    property url settingsAudioIcon: ""
    property url settingsAudioIconSelected: ""
    property url settingsProfileIcon: ""
    property url settingsProfileIconSelected: ""
    property url settingsSoundsIcon: ""
    property url settingsSoundsIconSelected: ""
    property url mainFrameTopLeftLogo: ""
    property url mainFrameBackgroundFill: ""
    property url mainFrameContentBackgroundFill: ""
    property url mainFrameContentBackgroundTopLeft: ""
    property url notificationFrameBackgroundFill: ""
    property url mainFrameItemSelectHoverlayLeft: ""
    property url mainFrameItemSelectHoverlayRight: ""
    property url sectionTitleBackground: ""
    property url mainThemesIcon: ""
    property url mainThemesIconHovered: ""
    property url reportIssueIcon: ""
    property url reportIssueIconHovered: ""
    property url conversationsIcon: ""
    property url conversationsIconSelected: ""
    property url conversationsIconHovered: ""
    property url contactsIcon: ""
    property url contactsIconSelected: ""
    property url contactsIconHovered: ""
    property url findFriendsIcon: ""
    property url findFriendsIconSelected: ""
    property url findFriendsIconHovered: ""
    property url recentActivityIcon: ""
    property url recentActivityIconSelected: ""
    property url recentActivityIconHovered: ""
    property url clearAllIcon: ""
    property url clearAllIconHovered: ""
    property url findChannelsIcon: ""
    property url findChannelsIconHovered: ""
    property url addChannelIcon: ""
    property url addChannelIconHovered: ""
    property url addContactGroupIcon: ""
    property url addContactGroupIconHovered: ""
    property url addContactIcon: ""
    property url addContactIconHovered: ""
    property url addFriendIcon: ""
    property url removeFriendIcon: ""
    property url startConversationIcon: ""
    property url startConversationIconHovered: ""
    property url paneCloseIcon: ""
    property url paneCloseIconHovered: ""
    property url paneExpandIcon: ""
    property url paneCollapseIcon: ""
    property url paneResizeCornerLeft: ""
    property url paneResizeCornerRight: ""
    property url paneRemoveIcon: ""
    property url channelSpeakingIcon: ""
    property url channelMutedIcon: ""
    property url channelJoinedIcon: ""
    property url channelLockedIcon: ""
    property url channelFavoriteIcon: ""
    property url channelNotFavoriteIcon: ""
    property url channelExpandedIcon: ""
    property url channelCollapsedIcon: ""
    property url channelJoinIcon: ""
    property url channelLeaveIcon: ""
    property url channelSettingsIcon: ""
    property url channelInviteIcon: ""
    property url participantSpeakingIcon: ""
    property url participantMutedIcon: ""
    property url participantVolumeOffIcon: ""
    property url participantVolumeLowIcon: ""
    property url participantVolumeMediumIcon: ""
    property url participantVolumeHighIcon: ""
    property url participantModeratorIcon: ""
    property url participantOwnerIcon: ""
    property url participantMenuIcon: ""
    property url conversationMuteIcon: ""
    property url conversationMuteIconHovered: ""
    property url conversationUnmuteIcon: ""
    property url conversationUnmuteIconHovered: ""
    property url conversationSpeakerMuteIcon: ""
    property url conversationSpeakerUnmuteIcon: ""
    property url conversationBackground: ""
    property url contactGroupExpandedIcon: ""
    property url contactGroupCollapsedIcon: ""
    property url contactChatIcon: ""
    property url contactCallIcon: ""
    property url contactMenuIcon: ""
    property url checkboxCheckedImage: ""
    property url checkboxUncheckedImage: ""
    property url comboboxArrowImage: ""
    property url spinboxUpImage: ""
    property url spinboxDownImage: ""
    property url sliderHandleImage: ""
    property url radioCheckedImage: ""
    property url radioUncheckedImage: ""
    property url scrollUpImage: ""
    property url scrollDownImage: ""
    property url tabLeftImage: ""
    property url tabRightImage: ""
    property url textFieldClearImage: ""
    property url defaultAvatarImage: ""
    property url defaultChannelImage: ""
    property url loginBackgroundImage: ""
    property url loginThemeLogo: ""
    property url loginLogoSmall: ""
    property url hintArrowImage: ""
    property url hintCloseImage: ""
    property url hintNextImage: ""
    property url hintPreviousImage: ""
    property url notificationFriendRequestIcon: ""
    property url notificationInviteIcon: ""
    property url notificationAcceptIcon: ""
    property url notificationDeclineIcon: ""
    property url updateAvailableIcon: ""
    property url chatLogIcon: ""

    // Cue sounds, "default_" + the cue's stem
    property url default_micMute: "qrc:/sounds/sfx_user_mutes_mic.wav"
    property url default_micUnmute: "qrc:/sounds/sfx_user_unmutes_mic.wav"
    property url default_userJoined: "qrc:/sounds/sfx_another_user_enters_my_voice_conference.wav"
    property url default_userLeft: "qrc:/sounds/sfx_another_user_exits_my_voice_conference.wav"
    property url default_meJoined: "qrc:/sounds/sfx_user_enters_voice_conference.wav"
    property url default_meLeft: "qrc:/sounds/sfx_user_exits_voice_conference.wav"
    property url default_newMessageChat: "qrc:/sounds/sfx_private_text_chat_message_available.wav"
    property url default_newMessageChannel: "qrc:/sounds/sfx_text_chat_message_available.wav"
    property url default_userOnline: "qrc:/sounds/sfx_friend_online.wav"
    property url default_userOffline: "qrc:/sounds/sfx_friend_offline.wav"
    property url default_newNotification: "qrc:/sounds/sfx_notification_alert.wav"

    // Control colours per state
    property StateStyle enabledStyle: StateStyle {
        controlFontFamily: schema.condensedFont
    }
    property StateStyle disabledStyle: StateStyle {
        controlFontFamily: schema.condensedFont
    }
    property StateStyle hoveredStyle: StateStyle {
        controlFontFamily: schema.condensedFont
    }
    property StateStyle focusedStyle: StateStyle {
        controlFontFamily: schema.condensedFont
    }
    property StateStyle pressedStyle: StateStyle {
        controlFontFamily: schema.condensedFont
    }

    FontLoader {
        id: condensedLoader
        source: "qrc:/fonts/Roboto-Condensed.ttf"
    }
    FontLoader {
        source: "qrc:/fonts/Roboto-BoldCondensed.ttf"
    }
    FontLoader {
        id: regularLoader
        source: "qrc:/fonts/Roboto-Regular.ttf"
    }
    FontLoader {
        source: "qrc:/fonts/Roboto-Medium.ttf"
    }
    FontLoader {
        source: "qrc:/fonts/Roboto-Bold.ttf"
    }
}
