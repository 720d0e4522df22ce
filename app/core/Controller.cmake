# The application's controller and delegate: the tray icon with its menu, the preferences
# window's actions, the file-manager integration's requests, and the process-wide start.
if(LURKEL_WITH_WIDGETS)
  add_library(lurkel_controller STATIC
    BXAppDelegate.cpp
    BXAppDelegate.h
    BXPurgeController.cpp
    BXPurgeController.h
    ${PROJECT_SOURCE_DIR}/app/resources/icons/icons.qrc
  )
  target_include_directories(lurkel_controller PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(lurkel_controller PUBLIC lurkel_panel lurkel_results lurkel_login lurkel_access_alerts
                                                 lurkel_platform_dbus lurkel_platform_net lurkel_promo
                                                 Qt6::Widgets Qt6::Svg)
  lurkel_target(lurkel_controller)
endif()
