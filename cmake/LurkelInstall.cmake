# What `cmake --install` puts under the prefix, and the icon theme folder of the build tree.
#
#   bin/                                  the programs
#   share/applications/                   the desktop entry (only along with lurkel itself)
#   share/icons/hicolor/scalable/status/  the tray icons (offon_91: hidden files shown, offon_90: hidden)
#   share/icons/hicolor/scalable/apps/    the application icon
#   share/dbus-1/services/                the helper service's activation file
#   share/doc/lurkel/                     the README
#
# The scripts and the translations are Qt resources inside the programs, and the launcher's
# autostart entry is written by Lurkel when the user asks for it, so none of them is here.
include(GNUInstallDirs)

set(LURKEL_ID com.brendix.Lurkel-SII)
set(lurkel_icon_dir ${PROJECT_SOURCE_DIR}/app/resources/icons/hicolor)
set(lurkel_status_icons offon_90-symbolic.svg offon_91-symbolic.svg)
set(lurkel_app_icons ${LURKEL_ID}.svg)

# The programs. OPTIONAL: `make install` builds everything first, but a tree in which only
# some programs were built (the command-line ones, say) still installs what it has.
foreach(program lurkel lurkel-launcher lurkelctl lurkel-pluginkit lurkel-finder-sync lurkel-hider)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} OPTIONAL)
  endif()
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lurkel)

# The session bus starts lurkel-hider from this file, which names it by its full path under
# the prefix the install goes to (known only then, as for the desktop entry below). Buses
# read it from share/dbus-1/services in XDG_DATA_DIRS and in XDG_DATA_HOME (~/.local/share).
if(TARGET lurkel-hider)
  install(CODE "
    set(LURKEL_DBUS_SERVICE_INSTALL ON)
    set(LURKEL_DBUS_SERVICE_TEMPLATE \"${PROJECT_SOURCE_DIR}/hider/${LURKEL_ID}.hiderXPC.service.in\")
    set(LURKEL_DBUS_SERVICE_NAME \"${LURKEL_ID}.hiderXPC.service\")
    set(LURKEL_DBUS_SERVICE_PROGRAM \"$<TARGET_FILE:lurkel-hider>\")
    set(LURKEL_DBUS_SERVICE_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    set(LURKEL_DBUS_SERVICE_DESTINATION \"${CMAKE_INSTALL_DATADIR}/dbus-1/services\")
    set(LURKEL_DBUS_SERVICE_WORK_DIR \"${CMAKE_BINARY_DIR}/CMakeFiles/lurkel-install-dbus\")
  ")
  install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/LurkelDBusService.cmake)
endif()

if(TARGET lurkel)
  list(TRANSFORM lurkel_status_icons PREPEND ${lurkel_icon_dir}/scalable/status/ OUTPUT_VARIABLE status_sources)
  list(TRANSFORM lurkel_app_icons PREPEND ${lurkel_icon_dir}/scalable/apps/ OUTPUT_VARIABLE apps_sources)
  install(FILES ${status_sources} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/status)
  install(FILES ${apps_sources} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

  # The desktop entry names lurkel by its full path under the prefix the install goes to,
  # which is known only then (`cmake --install --prefix`, `make install` into ~/.local): a
  # bare "lurkel" would depend on the session's PATH, and ~/.local/bin is on it only in
  # some sessions, and only after the next login.
  install(CODE "
    set(LURKEL_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/data/${LURKEL_ID}.desktop.in\")
    set(LURKEL_DESKTOP_NAME \"${LURKEL_ID}.desktop\")
    set(LURKEL_DESKTOP_PROGRAM \"$<TARGET_FILE:lurkel>\")
    set(LURKEL_DESKTOP_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    set(LURKEL_DESKTOP_DESTINATION \"${CMAKE_INSTALL_DATADIR}/applications\")
    set(LURKEL_DESKTOP_WORK_DIR \"${CMAKE_BINARY_DIR}/CMakeFiles/lurkel-install\")
  ")
  install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/LurkelDesktopEntry.cmake)

  # The build tree as an icon theme folder: share/icons beside bin/, laid out as installed,
  # so that lurkel started from the build tree finds its icons by name. The index is for
  # systems without the hicolor theme's own.
  set(theme_dir ${CMAKE_BINARY_DIR}/share/icons/hicolor)
  add_custom_command(OUTPUT ${theme_dir}/index.theme
    COMMAND ${CMAKE_COMMAND} -E copy ${lurkel_icon_dir}/index.theme ${theme_dir}/index.theme
    DEPENDS ${lurkel_icon_dir}/index.theme
    VERBATIM)
  set(theme_outputs ${theme_dir}/index.theme)
  foreach(context status apps)
    foreach(source IN LISTS ${context}_sources)
      cmake_path(GET source FILENAME name)
      set(output ${theme_dir}/scalable/${context}/${name})
      add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}
        DEPENDS ${source}
        VERBATIM)
      list(APPEND theme_outputs ${output})
    endforeach()
  endforeach()
  add_custom_target(lurkel_theme_icons ALL DEPENDS ${theme_outputs})
  add_dependencies(lurkel lurkel_theme_icons)
endif()
