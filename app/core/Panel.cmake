# The main panel under the tray icon, the welcome dialog and what they share: placement at
# the tray icon, the panel's images and English string tables (widgets).
if(LURKEL_WITH_WIDGETS)
  add_library(lurkel_panel STATIC
    CleanMemoryButton.cpp
    CleanMemoryButton.h
    LevelIndicator.cpp
    LevelIndicator.h
    PanelImages.cpp
    PanelImages.h
    PanelLockState.cpp
    PanelLockState.h
    PanelPlacement.cpp
    PanelPlacement.h
    PanelView.cpp
    PanelView.h
    PanelWindow.cpp
    PanelWindow.h
    PanelWindowContextualMenuStrings.cpp
    PanelWindowContextualMenuStrings.h
    PanelWindowInfoLabel.cpp
    PanelWindowInfoLabel.h
    PanelWindowStrings.cpp
    PanelWindowStrings.h
    PlatformPluginPreference.cpp
    PlatformPluginPreference.h
    PreferencesWindow.cpp
    PreferencesWindow.h
    PreferencesWindowStrings.cpp
    PreferencesWindowStrings.h
    SearchResultWindowInterface.h
    StatusItemAnchor.cpp
    StatusItemAnchor.h
    StatusItemPositionWait.cpp
    StatusItemPositionWait.h
    SvgTrackingButton.cpp
    SvgTrackingButton.h
    WelcomeDialogOpener.cpp
    WelcomeDialogOpener.h
    WelcomeDialogView.cpp
    WelcomeDialogView.h
    WelcomeDialogWC.cpp
    WelcomeDialogWC.h
    WelcomeDialogWindow.cpp
    WelcomeDialogWindow.h
    resources/panel.qrc
  )
  target_include_directories(lurkel_panel PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(lurkel_panel PUBLIC lurkel_ui lurkel_hidden_manager lurkel_search lurkel_memory
                                            lurkel_settings lurkel_promo lurkel_util lurkel_platform
                                            Qt6::Widgets Qt6::Svg)
  lurkel_target(lurkel_panel)
endif()
