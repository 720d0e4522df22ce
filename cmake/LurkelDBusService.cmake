# Writes a D-Bus ".service" activation file whose Exec line names a program by its full path.
#
# As a function (include this file): lurkel_dbus_service(TEMPLATE OUTPUT PROGRAM), at
# configure time; the template's @LURKEL_SERVICE_EXEC@ becomes the Exec value. As an install
# script (`install(SCRIPT)`, with LURKEL_DBUS_SERVICE_INSTALL true and LURKEL_DBUS_SERVICE_TEMPLATE,
# LURKEL_DBUS_SERVICE_NAME, LURKEL_DBUS_SERVICE_BINDIR, LURKEL_DBUS_SERVICE_PROGRAM (the built
# one), LURKEL_DBUS_SERVICE_DESTINATION and LURKEL_DBUS_SERVICE_WORK_DIR set): the file for the
# prefix being installed into, installed (and so listed for uninstalling). Skipped when the
# program was not built, so that no service names a program that is not there.

# The bus splits Exec as a shell would (without expanding anything): a path holding anything
# but plain characters is single-quoted, a quote inside written '\''. The file itself is read
# with the escapes of a desktop entry, in which a backslash is written twice.
function(lurkel_dbus_service_exec out program)
  if(program MATCHES "\n")
    message(FATAL_ERROR "An activation file cannot name a program whose path holds a line break: ${program}")
  endif()
  set(exec "${program}")
  if(NOT exec MATCHES "^[A-Za-z0-9/._+-]+$")
    string(REPLACE "'" "'\\''" exec "${exec}")
    set(exec "'${exec}'")
    string(REPLACE "\\" "\\\\" exec "${exec}")
  endif()
  set(${out} "${exec}" PARENT_SCOPE)
endfunction()

function(lurkel_dbus_service template output program)
  lurkel_dbus_service_exec(LURKEL_SERVICE_EXEC "${program}")
  configure_file("${template}" "${output}" @ONLY)
endfunction()

if(LURKEL_DBUS_SERVICE_INSTALL)
  if(NOT EXISTS "${LURKEL_DBUS_SERVICE_PROGRAM}")
    message(STATUS "Skipping: ${LURKEL_DBUS_SERVICE_NAME} (its program was not built)")
    return()
  endif()
  set(bindir "${LURKEL_DBUS_SERVICE_BINDIR}")
  if(NOT IS_ABSOLUTE "${bindir}")
    set(bindir "${CMAKE_INSTALL_PREFIX}/${bindir}")
  endif()
  set(destination "${LURKEL_DBUS_SERVICE_DESTINATION}")
  if(NOT IS_ABSOLUTE "${destination}")
    set(destination "${CMAKE_INSTALL_PREFIX}/${destination}")
  endif()
  cmake_path(GET LURKEL_DBUS_SERVICE_PROGRAM FILENAME program_name)
  # One work file per destination, so that installs into different prefixes at the same time
  # do not write each other's file.
  string(MD5 key "$ENV{DESTDIR}${destination}")
  set(work "${LURKEL_DBUS_SERVICE_WORK_DIR}/${key}/${LURKEL_DBUS_SERVICE_NAME}")
  lurkel_dbus_service("${LURKEL_DBUS_SERVICE_TEMPLATE}" "${work}" "${bindir}/${program_name}")
  file(INSTALL DESTINATION "${destination}" TYPE FILE FILES "${work}")
  file(REMOVE_RECURSE "${LURKEL_DBUS_SERVICE_WORK_DIR}/${key}")
endif()
