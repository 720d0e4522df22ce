# Included at the end of this folder's CMakeLists.txt.
#
# lurkel_visibility_texts (QtCore only, always built): what the hidden manager needs of its
# permission dialogs without widgets: their texts (HiddenManagerLocalizable), the choice of
# the access-error case from a script error and that case's targets (AccessErrorCase), and
# the AccessAlertsPresenter interface through which it shows them.
add_library(lurkel_visibility_texts STATIC
  AccessAlertsPresenter.h
  AccessErrorCase.cpp
  AccessErrorCase.h
  HiddenManagerLocalizable.cpp
  HiddenManagerLocalizable.h
)
target_include_directories(lurkel_visibility_texts PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(lurkel_visibility_texts PUBLIC lurkel_promo lurkel_platform Qt6::Core)
lurkel_target(lurkel_visibility_texts)

# lurkel_access_alerts (widgets): the information sheet, the access-error alert and the
# presenter that shows them over the main controller's window (MainWindowProvider).
if(LURKEL_WITH_WIDGETS)
  add_library(lurkel_access_alerts STATIC
    AccessErrorAlert.cpp
    AccessErrorAlert.h
    InformationAboutAccessAlertsWC.cpp
    InformationAboutAccessAlertsWC.h
    MainWindowProvider.h
    WidgetAccessAlertsPresenter.cpp
    WidgetAccessAlertsPresenter.h
  )
  target_include_directories(lurkel_access_alerts PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(lurkel_access_alerts PUBLIC lurkel_visibility_texts lurkel_url_opener Qt6::Widgets)
  # The sheet's fallback settings icon, for icon themes without "preferences-system".
  qt_add_resources(lurkel_access_alerts access_alerts_resources
    PREFIX /access-alerts
    BASE resources
    FILES resources/preferences-system.svg)
  lurkel_target(lurkel_access_alerts)
endif()

# ---- The hidden manager and the visibility restorer: their target goes here. ----
# The hidden manager (the file manager's show-hidden state, read and switched through the
# scripts) and the visibility restorer that makes a single-switch toggle last.
add_library(lurkel_hidden_manager STATIC
  HiddenManager.cpp
  HiddenManager.h
  HiddenManagerListener.h
  VisibilityRestorerAtLaunch.cpp
  VisibilityRestorerAtLaunch.h
)
target_include_directories(lurkel_hidden_manager PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(lurkel_hidden_manager PUBLIC lurkel_visibility lurkel_visibility_texts lurkel_promo
                                                   lurkel_settings lurkel_util lurkel_platform Qt6::Core)
lurkel_target(lurkel_hidden_manager)
