# The files a distribution package carries beyond the programs, and the Debian package itself.
#
#   share/man/man1/           manual pages, written at build time from the programs' --help
#   share/bash-completion/completions/lurkelctl, share/zsh/vendor-completions/_lurkelctl
#   share/metainfo/           the AppStream file that software centres read
#   share/doc/lurkel/         copyright and changelog.gz
#
# `make package` configures a build for the prefix /usr and runs CPack's DEB generator there.
include(GNUInstallDirs)

# The date of this release: the AppStream release entry and the changelog carry it.
set(LURKEL_RELEASE_DATE 2026-12-07)
set(LURKEL_RELEASE_DATE_RFC2822 "Mon, 07 Dec 2026 00:00:00 +0000")

find_program(LURKEL_GZIP gzip REQUIRED)

# gzip -9n: the compression Debian wants for manual pages and changelogs, and no timestamp
# inside, so that two builds give the same bytes.
function(lurkel_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${LURKEL_GZIP} -9nc ${source} > ${output}.tmp
    COMMAND ${CMAKE_COMMAND} -E rename ${output}.tmp ${output}
    DEPENDS ${source}
    VERBATIM)
endfunction()

# A manual page for PROGRAM (a target), from its --help: lurkel_man_page(PROGRAM SUMMARY
# [COMMANDS c1 c2 ...] [EXTRA file] [SEE_ALSO page(1) ...]).
set(lurkel_man_pages)
function(lurkel_man_page program summary)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "EXTRA" "COMMANDS;SEE_ALSO")
  if(NOT TARGET ${program})
    return()
  endif()
  set(page ${CMAKE_BINARY_DIR}/share/man/man1/${program}.1)
  set(extra_depends)
  if(arg_EXTRA)
    set(extra_depends ${arg_EXTRA})
  endif()
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${program}
            "-DSUMMARY=${summary}" -DOUTPUT=${page} -DDATE=${LURKEL_RELEASE_DATE}
            "-DVERSION=Lurkel ${PROJECT_VERSION}" "-DCOMMANDS=${arg_COMMANDS}" "-DEXTRA=${arg_EXTRA}"
            "-DSEE_ALSO=${arg_SEE_ALSO}" -P ${PROJECT_SOURCE_DIR}/cmake/LurkelManPage.cmake
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/LurkelManPage.cmake ${extra_depends}
    VERBATIM)
  lurkel_gzip(${page} ${page}.gz)
  set(lurkel_man_pages ${lurkel_man_pages} ${page}.gz PARENT_SCOPE)
endfunction()

set(lurkel_man_files ${PROJECT_SOURCE_DIR}/data/man/files.man)
lurkel_man_page(lurkel "hidden files switch, file search and memory in the tray"
  EXTRA ${lurkel_man_files} SEE_ALSO lurkelctl\(1\) lurkel-finder-sync\(1\))
lurkel_man_page(lurkelctl "Lurkel from a terminal: search, copy, move, trash, hide, switch hidden files"
  COMMANDS search copy move trash hide unhide hidden memory disk login version
  EXTRA ${lurkel_man_files} SEE_ALSO lurkel\(1\) lurkel-finder-sync\(1\))
lurkel_man_page(lurkel-launcher "starts Lurkel at login" SEE_ALSO lurkel\(1\) lurkelctl\(1\))
lurkel_man_page(lurkel-finder-sync "hide, unhide and switch hidden files from a file manager's menus"
  SEE_ALSO lurkel\(1\) lurkelctl\(1\) lurkel-pluginkit\(1\))
lurkel_man_page(lurkel-pluginkit "turn Lurkel's file-manager integration on or off"
  SEE_ALSO lurkel-finder-sync\(1\) lurkel\(1\))
lurkel_man_page(lurkel-hider "Lurkel's helper service on the session bus" SEE_ALSO lurkel\(1\) lurkelctl\(1\))
add_custom_target(lurkel_man_pages ALL DEPENDS ${lurkel_man_pages})
install(FILES ${lurkel_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 OPTIONAL)

# Shell completion, where bash-completion and Debian's zsh load it from.
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/lurkelctl.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME lurkelctl)
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/_lurkelctl
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)

# AppStream, copyright, changelog.
configure_file(${PROJECT_SOURCE_DIR}/data/${LURKEL_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/share/metainfo/${LURKEL_ID}.metainfo.xml @ONLY)
if(TARGET lurkel)
  install(FILES ${CMAKE_BINARY_DIR}/share/metainfo/${LURKEL_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
configure_file(${PROJECT_SOURCE_DIR}/data/changelog.in ${CMAKE_BINARY_DIR}/share/doc/changelog @ONLY)
lurkel_gzip(${CMAKE_BINARY_DIR}/share/doc/changelog ${CMAKE_BINARY_DIR}/share/doc/changelog.gz)
add_custom_target(lurkel_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/share/doc/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright ${CMAKE_BINARY_DIR}/share/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lurkel)

# The Debian package. The install runs with DESTDIR set and the prefix the build was configured
# with, so the files that name installed paths (the desktop entry, the bus service) name /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGE_NAME lurkel)
set(CPACK_PACKAGE_VENDOR Brendix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brendix <support@brendix.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hidden files switch, file search and memory in the tray")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Lurkel lives in the tray of the desktop. One click on its icon switches the
file manager between showing and hiding hidden files (Nautilus, Nemo, Caja,
Dolphin, Thunar, PCManFM and PCManFM-Qt). The panel under the icon finds files
by name anywhere under a folder, hidden files included; the results window
previews them and copies, moves or trashes them without ever overwriting a
file. The file manager's context menu hides or unhides single files, and the
panel shows memory use and frees cached memory. lurkelctl does all of it from
a terminal.
.
On plain GNOME the tray icon needs the AppIndicator extension
(gnome-shell-extension-appindicator).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://brendix.example/lurkel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "default-dbus-session-bus | dbus-session-bus")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS gnome-shell-extension-appindicator)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
