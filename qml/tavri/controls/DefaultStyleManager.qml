import QtQuick 2.5

// The built-in style "Default": a dark frame of charcoal panels with wine-red
// menus and black borders. Most values derive from a small palette:
//
//   base        baseColor = hsla(0.5, 0, 0.9) (#e6e6e6): control gradients
//               and borders, darkened per state by the contrast sets below
//   back        baseBackColor = hsla(0.5, 0, 0.7) (#b3b3b3); darkened by 7
//               and 5 it gives the panels, title bars and pane headers
//   ink         "#000000": window and control borders, separators
//   text        "#dddddd" light text on dark, "#a0a0a0" dimmed text,
//               "#f5f5f5" / "#cacaca" own and others' chat lines
//   wine        "#540000": menus, drop-down focus
//   red         "#9c0000": highlights, selection, slider fill, links' hover
//   alert       "#d6202c": errors and alerts; lightened by 1.6 for links
//   green       "#4fda24" and amber "#dda621" (from the chat colours):
//               online presence and success, away presence
//   greys       "#646464" drop-downs, "#666666" separators, "#3a3a3a" tabs
//
// Font roles: baseFontSize for controls, smallFontSize and tinyFontSize for
// notes and links, timestampFontSize for times in lists, largeFontSize for
// names and headings, in baseFontFamily (condensed) or squareFontFamily
// (regular).
StyleManager {
    id: style

    // The palette
    property real baseHue: 0.5
    property color baseColor: Qt.hsla(baseHue, 0.0, 0.9, 1.0)
    property color baseBackColor: Qt.hsla(baseHue, 0.0, 0.7, 1.0)
    property string baseFontFamily: condensedFont
    property string squareFontFamily: regularFont
    readonly property color paletteWine: "#540000"
    readonly property color paletteRed: "#9c0000"
    readonly property color paletteAlert: "#d6202c"
    readonly property color paletteText: "#dddddd"
    readonly property color paletteTextDim: "#a0a0a0"
    readonly property color paletteGreen: "#4fda24"
    readonly property color paletteAmber: "#dda621"

    // How far each control state darkens the base colour
    property StyleControlContrast enabledContrast: StyleControlContrast {
        gradient0: 2.0; gradient1: 1.5; border: 1.0; text: 1.0
        opacity: 0.8
    }
    property StyleControlContrast disabledContrast: StyleControlContrast {
        gradient0: 2.0; gradient1: 1.5; border: 1.0; text: 1.0
        opacity: 0.5
    }
    property StyleControlContrast hoveredContrast: StyleControlContrast {
        gradient0: 1.5; gradient1: 2.0; border: 0.8; text: 0.8
        opacity: 1.0
    }
    property StyleControlContrast pressedContrast: StyleControlContrast {
        gradient0: 2.6; gradient1: 3.0; border: 0.8; text: 0.8
        opacity: 1.0
    }

    enabledStyle.controlTextColor: "#dddddd"
    enabledStyle.controlGradient0: Qt.darker(baseColor, enabledContrast.gradient0)
    enabledStyle.controlGradient1: Qt.darker(baseColor, enabledContrast.gradient1)
    enabledStyle.controlBorderColor: Qt.darker(baseColor, 5 * enabledContrast.border)
    enabledStyle.controlOpacity: enabledContrast.opacity
    enabledStyle.controlFocusBorderColor: paletteRed
    // Text inputs are sunk into the dark panels: light text on a box a
    // shade darker than the panel, with a grey rim that shows its edge.
    enabledStyle.inputControlTextColor: paletteText
    enabledStyle.inputControlSelectedTextColor: "#ffffff"
    enabledStyle.inputControlGradient0: Qt.darker(baseBackColor, 9)
    enabledStyle.inputControlGradient1: Qt.darker(baseBackColor, 8)
    enabledStyle.inputControlBorderColor: "#505050"
    enabledStyle.inputControlFocusBorderColor: paletteRed

    disabledStyle.controlTextColor: "#dddddd"
    disabledStyle.controlGradient0: Qt.darker(baseColor, disabledContrast.gradient0)
    disabledStyle.controlGradient1: Qt.darker(baseColor, disabledContrast.gradient1)
    disabledStyle.controlBorderColor: Qt.darker(baseColor, 5 * disabledContrast.border)
    disabledStyle.controlOpacity: disabledContrast.opacity
    disabledStyle.imageOpacity: 0.5
    disabledStyle.inputControlTextColor: paletteTextDim
    disabledStyle.inputControlGradient0: Qt.darker(baseBackColor, 7)
    disabledStyle.inputControlGradient1: Qt.darker(baseBackColor, 7)
    disabledStyle.inputControlBorderColor: "#3a3a3a"

    hoveredStyle.controlTextColor: "#ffffff"
    hoveredStyle.controlGradient0: Qt.darker(baseColor, hoveredContrast.gradient0)
    hoveredStyle.controlGradient1: Qt.darker(baseColor, hoveredContrast.gradient1)
    hoveredStyle.controlBorderColor: Qt.darker(baseColor, 5 * hoveredContrast.border)
    hoveredStyle.controlOpacity: hoveredContrast.opacity
    hoveredStyle.controlFocusBorderColor: paletteRed
    hoveredStyle.inputControlTextColor: "#ffffff"
    hoveredStyle.inputControlSelectedTextColor: "#ffffff"
    hoveredStyle.inputControlGradient0: Qt.darker(baseBackColor, 8)
    hoveredStyle.inputControlGradient1: Qt.darker(baseBackColor, 7)
    hoveredStyle.inputControlBorderColor: "#666666"
    hoveredStyle.inputControlFocusBorderColor: paletteRed

    pressedStyle.controlTextColor: "#A0A0A0"
    pressedStyle.controlGradient0: Qt.darker(baseColor, pressedContrast.gradient0)
    pressedStyle.controlGradient1: Qt.darker(baseColor, pressedContrast.gradient1)
    pressedStyle.controlBorderColor: Qt.darker(baseColor, 5 * pressedContrast.border)
    pressedStyle.controlOpacity: pressedContrast.opacity
    pressedStyle.controlFocusBorderColor: paletteRed
    pressedStyle.inputControlTextColor: paletteText
    pressedStyle.inputControlSelectedTextColor: "#ffffff"
    pressedStyle.inputControlGradient0: Qt.darker(baseBackColor, 9)
    pressedStyle.inputControlGradient1: Qt.darker(baseBackColor, 9)
    pressedStyle.inputControlBorderColor: "#505050"
    pressedStyle.inputControlFocusBorderColor: paletteRed

    // Frames and panes
    windowBorderColor: "#000000"
    windowTitleTextColor: paletteText
    panelGradient0: Qt.darker(baseBackColor, 7)
    panelGradient1: Qt.darker(baseBackColor, 5)
    windowTitleGradient0: panelGradient0
    windowTitleGradient1: panelGradient1
    paneHeaderColor: windowTitleGradient1
    paneHeaderTextColor: paletteText
    paneFooterColor: windowTitleGradient0
    paneFooterTextColor: paletteTextDim
    paneBorderColor: "#000000"
    paneUnreadCountColor: paletteRed
    paneUnreadCountTextColor: "#ffffff"

    // Conversation text
    myChatColor: "#f5f5f5"
    theirChatColor: "#cacaca"
    systemMessageTextColor: paletteTextDim
    welcomeMessageTextColor: "#98FD14"
    alertColor: paletteAlert
    linkBaseColor: Qt.lighter(paletteAlert, 1.6)
    linkHoverColor: "#ffffff"
    chatBackgroundColor: Qt.darker(baseBackColor, 6)
    chatTimestampColor: paletteTextDim
    chatSelectionColor: paletteRed

    // Menus and drop-downs
    menuColor: paletteWine
    menuBorderColor: "#000000"
    menuBorderWidth: 0
    menuItemColor: paletteWine
    menuItemHighlightColor: paletteRed
    menuItemTextColor: paletteText
    menuItemHighlightTextColor: "#ffffff"
    menuItemDisabledTextColor: "#808080"
    menuSeparatorColor: Qt.darker(paletteWine, 2)
    dropdownColor: "#646464"
    dropdownFocusColor: paletteWine
    dropdownHoverColor: paletteRed
    dropdownTextColor: paletteText
    dropdownBorderColor: "#000000"
    comboboxTextColor: paletteText
    comboboxArrowColor: paletteText

    // Scroll bars
    scrollTrenchActiveColor: Qt.darker(baseBackColor, 4)
    scrollTrenchHoverColor: Qt.darker(baseBackColor, 3)
    scrollTrenchPressedColor: Qt.darker(baseBackColor, 3)
    scrollDragActiveColor: "#646464"
    scrollDragHoverColor: paletteTextDim
    scrollDragPressedColor: paletteRed

    // Buttons and other controls
    buttonEnabledGradientColor0: enabledStyle.controlGradient0
    buttonEnabledGradientColor1: enabledStyle.controlGradient1
    buttonDisabledGradientColor0: disabledStyle.controlGradient0
    buttonDisabledGradientColor1: disabledStyle.controlGradient1
    buttonHoveredGradientColor0: hoveredStyle.controlGradient0
    buttonHoveredGradientColor1: hoveredStyle.controlGradient1
    buttonFocusedGradientColor0: enabledStyle.controlGradient0
    buttonFocusedGradientColor1: Qt.darker(paletteRed, 1.5)
    buttonFocusedHoveredGradientColor0: hoveredStyle.controlGradient0
    buttonFocusedHoveredGradientColor1: paletteRed
    buttonPressedGradientColor0: pressedStyle.controlGradient0
    buttonPressedGradientColor1: pressedStyle.controlGradient1
    buttonDisabledTextColor: "#808080"
    buttonEnabledTextColor: paletteText
    buttonBorderColor: "#000000"
    checkboxEnabledColor: baseColor
    checkboxHoveredColor: "#ffffff"
    checkboxDisabledColor: "#808080"
    checkboxCheckColor: paletteRed
    checkboxBorderColor: "#000000"
    sliderGrooveColor: Qt.darker(baseBackColor, 4)
    sliderFillColor: paletteRed
    sliderHandleColor: baseColor
    sliderHandleHoverColor: "#ffffff"
    tabColor: "#3a3a3a"
    tabSelectedColor: paletteWine
    tabHoveredColor: "#4a4a4a"
    tabTextColor: paletteTextDim
    tabSelectedTextColor: "#ffffff"
    tabBorderColor: "#000000"

    // Main frame
    mainFrameHeaderBackgroundGradientColor0: Qt.darker(baseBackColor, 3.5)
    mainFrameHeaderBackgroundGradientColor1: Qt.darker(baseBackColor, 5)
    mainFrameHeaderBackgroundGradientColor2: Qt.darker(baseBackColor, 7)
    mainFrameContentBackgroundGradientColor0: Qt.darker(baseBackColor, 6)
    mainFrameContentBackgroundGradientColor1: Qt.darker(baseBackColor, 5)
    mainFrameContentBackgroundGradientColor2: Qt.darker(baseBackColor, 6)
    localUserNameColor: "#ffffff"
    headerSeparatorColor: "#666666"
    findDelegateTextColor: paletteText
    sectionTitleTextColor: paletteText
    presenceOnlineColor: paletteGreen
    presenceAwayColor: paletteAmber
    presenceOfflineColor: "#808080"
    presenceBusyColor: paletteAlert
    loginBackgroundColor: Qt.darker(baseBackColor, 6)
    statusSuccessTextColor: paletteGreen
    tooltipColor: "#202020"
    tooltipTextColor: paletteText
    tooltipBorderColor: "#000000"
    textSelectionColor: paletteRed
    labelGrayTextColor: paletteTextDim
    energyMeterLowColor: paletteGreen
    energyMeterHighColor: paletteAlert

    // Pictures
    backgroundImage: "qrc:/textures/background.png"
    windowCloseButton: "qrc:/textures/btn_close.png"
    windowCloseButtonHovered: "qrc:/textures/btn_close_hover.png"
    windowCloseButtonPressed: "qrc:/textures/btn_close_hover.png"
    windowMinimizeButton: "qrc:/textures/btn_minimize.png"
    windowMinimizeButtonHovered: "qrc:/textures/btn_minimize_hover.png"
    windowMinimizeButtonPressed: "qrc:/textures/btn_minimize_hover.png"
    windowSettingsButton: "qrc:/textures/btn_settings.png"
    windowSettingsButtonHovered: "qrc:/textures/btn_settings_hover.png"
    contextMenuButton: "qrc:/textures/btn_menu.png"
    contextMenuButtonHovered: "qrc:/textures/btn_menu_hover.png"
    contextMenuButtonPressed: "qrc:/textures/btn_menu_hover.png"
    settingsGeneralIcon: "qrc:/textures/settings_general.png"
    settingsGeneralIconSelected: "qrc:/textures/settings_general.png"
    settingsAudioIcon: "qrc:/textures/settings_audio.png"
    settingsAudioIconSelected: "qrc:/textures/settings_audio.png"
    settingsProfileIcon: "qrc:/textures/settings_profile.png"
    settingsProfileIconSelected: "qrc:/textures/settings_profile.png"
    settingsSoundsIcon: "qrc:/textures/settings_sounds.png"
    settingsSoundsIconSelected: "qrc:/textures/settings_sounds.png"
    mainFrameTopLeftLogo: "qrc:/textures/mainframe_logo.png"
    mainFrameBackgroundFill: "qrc:/textures/mainframe_header_fill.png"
    mainFrameContentBackgroundFill: "qrc:/textures/content_fill.png"
    mainFrameContentBackgroundTopLeft: "qrc:/textures/content_topleft.png"
    notificationFrameBackgroundFill: "qrc:/textures/notification_fill.png"
    mainFrameItemSelectHoverlayLeft: "qrc:/textures/row_hover_left.png"
    mainFrameItemSelectHoverlayRight: "qrc:/textures/row_hover_right.png"
    sectionTitleBackground: "qrc:/textures/section_title.png"
    mainThemesIcon: "qrc:/textures/skin.png"
    mainThemesIconHovered: "qrc:/textures/skin_hover.png"
    reportIssueIcon: "qrc:/textures/report_issue.png"
    reportIssueIconHovered: "qrc:/textures/report_issue_hover.png"
    conversationsIcon: "qrc:/textures/pane_channels.png"
    conversationsIconSelected: "qrc:/textures/pane_channels_selected.png"
    conversationsIconHovered: "qrc:/textures/pane_channels_hover.png"
    contactsIcon: "qrc:/textures/pane_contacts.png"
    contactsIconSelected: "qrc:/textures/pane_contacts_selected.png"
    contactsIconHovered: "qrc:/textures/pane_contacts_hover.png"
    findFriendsIcon: "qrc:/textures/pane_find_friends.png"
    findFriendsIconSelected: "qrc:/textures/pane_find_friends_selected.png"
    findFriendsIconHovered: "qrc:/textures/pane_find_friends_hover.png"
    recentActivityIcon: "qrc:/textures/pane_recent.png"
    recentActivityIconSelected: "qrc:/textures/pane_recent_selected.png"
    recentActivityIconHovered: "qrc:/textures/pane_recent_hover.png"
    clearAllIcon: "qrc:/textures/clear_all.png"
    clearAllIconHovered: "qrc:/textures/clear_all_hover.png"
    findChannelsIcon: "qrc:/textures/find_channels.png"
    findChannelsIconHovered: "qrc:/textures/find_channels_hover.png"
    addChannelIcon: "qrc:/textures/add_channel.png"
    addChannelIconHovered: "qrc:/textures/add_channel_hover.png"
    addContactGroupIcon: "qrc:/textures/add_contact_group.png"
    addContactGroupIconHovered: "qrc:/textures/add_contact_group_hover.png"
    addContactIcon: "qrc:/textures/add_contact.png"
    addContactIconHovered: "qrc:/textures/add_contact_hover.png"
    addFriendIcon: "qrc:/textures/add_friend.png"
    removeFriendIcon: "qrc:/textures/remove_friend.png"
    startConversationIcon: "qrc:/textures/start_conversation.png"
    startConversationIconHovered: "qrc:/textures/start_conversation_hover.png"
    paneCloseIcon: "qrc:/textures/icon_close_main.png"
    paneCloseIconHovered: "qrc:/textures/Main_Btn_Close_Hover_01.png"
    paneExpandIcon: "qrc:/textures/channel_collapse.png"
    paneCollapseIcon: "qrc:/textures/channel_expand.png"
    paneRemoveIcon: "qrc:/textures/Main_Btn_Close_01.png"
    channelSpeakingIcon: "qrc:/textures/speaking.png"
    channelMutedIcon: "qrc:/textures/mute.png"
    channelJoinedIcon: "qrc:/textures/speaking.png"
    channelFavoriteIcon: "qrc:/textures/channel_favorite_on.png"
    channelNotFavoriteIcon: "qrc:/textures/channel_favorite.png"
    channelExpandedIcon: "qrc:/textures/channel_expand.png"
    channelCollapsedIcon: "qrc:/textures/channel_collapse.png"
    channelLeaveIcon: "qrc:/textures/icon_close_main.png"
    channelSettingsIcon: "qrc:/textures/channel_edit.png"
    channelInviteIcon: "qrc:/textures/channel_link.png"
    participantSpeakingIcon: "qrc:/textures/participant_speaking.png"
    participantMutedIcon: "qrc:/textures/participant_muted.png"
    participantVolumeOffIcon: "qrc:/textures/volume_off.png"
    participantVolumeLowIcon: "qrc:/textures/volume_low.png"
    participantVolumeMediumIcon: "qrc:/textures/volume_medium.png"
    participantVolumeHighIcon: "qrc:/textures/volume_high.png"
    participantMenuIcon: "qrc:/textures/btn_menu.png"
    conversationMuteIcon: "qrc:/textures/conversation_muted.png"
    conversationMuteIconHovered: "qrc:/textures/conversation_muted.png"
    conversationUnmuteIcon: "qrc:/textures/conversation_unmuted.png"
    conversationUnmuteIconHovered: "qrc:/textures/conversation_unmuted.png"
    conversationSpeakerMuteIcon: "qrc:/textures/volume_off.png"
    conversationSpeakerUnmuteIcon: "qrc:/textures/volume_high.png"
    contactGroupExpandedIcon: "qrc:/textures/channel_expand.png"
    contactGroupCollapsedIcon: "qrc:/textures/channel_collapse.png"
    contactChatIcon: "qrc:/textures/start_conversation.png"
    contactCallIcon: "qrc:/textures/speaking.png"
    contactMenuIcon: "qrc:/textures/btn_menu.png"
    defaultAvatarImage: "qrc:/textures/avatar_default.png"
    defaultChannelImage: "qrc:/textures/avatar_default.png"
    loginBackgroundImage: "qrc:/textures/login_background.png"
    loginThemeLogo: "qrc:/textures/login_theme_logo.png"
    loginLogoSmall: "qrc:/textures/tavri_gradient_logo.png"
    hintCloseImage: "qrc:/textures/btn_close.png"
    notificationFriendRequestIcon: "qrc:/textures/add_friend.png"
    notificationInviteIcon: "qrc:/textures/channel_link.png"
    notificationDeclineIcon: "qrc:/textures/btn_close.png"
    updateAvailableIcon: "qrc:/textures/icon_update_available.png"

    Component.onCompleted: console.debug("DefaultStyleManager loaded for platform", Qt.platform.os)
}
