# Run by `cmake --install` (see LurkelInstall.cmake): writes the desktop entry for the prefix
# being installed into, with Exec naming lurkel by its full path there, and installs it.
# Skipped when lurkel itself was not built, so that no menu entry points at nothing.
#
# Set by the caller: LURKEL_DESKTOP_TEMPLATE, LURKEL_DESKTOP_NAME, LURKEL_DESKTOP_PROGRAM (the
# built lurkel), LURKEL_DESKTOP_BINDIR, LURKEL_DESKTOP_DESTINATION (relative to the prefix, or
# absolute) and LURKEL_DESKTOP_WORK_DIR.

if(NOT EXISTS "${LURKEL_DESKTOP_PROGRAM}")
  message(STATUS "Skipping: ${LURKEL_DESKTOP_NAME} (lurkel was not built)")
  return()
endif()

set(bindir "${LURKEL_DESKTOP_BINDIR}")
if(NOT IS_ABSOLUTE "${bindir}")
  set(bindir "${CMAKE_INSTALL_PREFIX}/${bindir}")
endif()
set(destination "${LURKEL_DESKTOP_DESTINATION}")
if(NOT IS_ABSOLUTE "${destination}")
  set(destination "${CMAKE_INSTALL_PREFIX}/${destination}")
endif()

# The Exec value of the desktop entry spec: an argument holding a reserved character is
# double-quoted, with ", `, $ and \ escaped inside the quotes; "%" is written "%%"; and the
# value as a whole is a string, in which each backslash is doubled once more.
set(program "${bindir}/lurkel")
if(program MATCHES "\n")
  message(FATAL_ERROR "A desktop entry cannot name a program whose path holds a line break: ${program}")
endif()
if(program MATCHES "%")
  # Written "%%" as desktop entries require, but GLib's launchers look for the program before they
  # undo that, and so do not find it.
  message(WARNING "The desktop entry may not start lurkel from a folder whose path holds \"%\": ${program}")
endif()
string(REPLACE "%" "%%" exec "${program}")
if(exec MATCHES "[ \t\"'\\\\<>~|&;$*?#()`]")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
string(REPLACE "\\" "\\\\" LURKEL_DESKTOP_EXEC "${exec}")

# One work file per destination, so that installs into different prefixes at the same time
# (the tests do that) do not write each other's entry.
string(MD5 key "$ENV{DESTDIR}${destination}")
set(entry "${LURKEL_DESKTOP_WORK_DIR}/${key}/${LURKEL_DESKTOP_NAME}")
configure_file("${LURKEL_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
file(INSTALL DESTINATION "${destination}" TYPE FILE FILES "${entry}")
file(REMOVE_RECURSE "${LURKEL_DESKTOP_WORK_DIR}/${key}")
