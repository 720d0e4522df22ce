# The file-manager scripts as Qt resources (":/scripts/NAME.scpt").
#
# Every script carries a version line "# lurkel-script-version: N" (checked here). An installed
# script is replaced only while it holds a text an earlier Lurkel shipped (ScriptsManager keeps
# their hashes: add the hash of each script as installed before changing it), so each one must
# stand on its own: the line
#   . "${0%/*}/FileManagers.sh"
# (which lets a script run straight from this folder) is replaced by the text of
# FileManagers.sh when the scripts are put together in the build folder. Sets
# LURKEL_SCRIPTS_QRC to the resource file to add to a target (resource name LurkelScripts).

set(LURKEL_SCRIPT_NAMES
  SwitchHiddenFilesVisibility2
  CheckHiddenFilesFisibilityByAskingFinder
  ShowHiddensAndRelaunchFinder
  HideHiddensAndRelaunchFinder
  WriteIntoSystemPreferencesShowHiddens
  WriteIntoSystemPreferencesHideHiddens
  UpdateFinderFolderRepresentation
  CopyFilesToFolder9a
  MoveFilesToFolder9a
  RemoveFilesToTrash6
)

set(_lurkel_scripts_source ${CMAKE_CURRENT_LIST_DIR})
set(_lurkel_scripts_out ${CMAKE_CURRENT_BINARY_DIR}/scripts)
set(_lurkel_scripts_include_line ". \"\${0%/*}/FileManagers.sh\"\n")

# Writes a file only when its text changes, so that the resources are rebuilt only then.
function(_lurkel_write_if_changed path text)
  if(EXISTS "${path}")
    file(READ "${path}" _old)
    if(_old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE "${path}" "${text}")
endfunction()

file(READ ${_lurkel_scripts_source}/FileManagers.sh _lurkel_scripts_library)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_lurkel_scripts_source}/FileManagers.sh)
set(_lurkel_scripts_qrc "<RCC>\n  <qresource prefix=\"/scripts\">\n")
foreach(_name IN LISTS LURKEL_SCRIPT_NAMES)
  set(_source ${_lurkel_scripts_source}/${_name}.scpt)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_source})
  file(READ ${_source} _text)
  string(REPLACE "${_lurkel_scripts_include_line}" "${_lurkel_scripts_library}" _text "${_text}")
  string(FIND "${_text}" "\n# lurkel-script-version: " _version)
  if(_version EQUAL -1)
    message(FATAL_ERROR "${_source}: the second line must be the version line \"# lurkel-script-version: N\"")
  endif()
  string(FIND "${_text}" "FileManagers.sh\"" _left)
  if(NOT _left EQUAL -1)
    message(FATAL_ERROR "${_source}: the FileManagers.sh line must read exactly: ${_lurkel_scripts_include_line}")
  endif()
  _lurkel_write_if_changed(${_lurkel_scripts_out}/${_name}.scpt "${_text}")
  string(APPEND _lurkel_scripts_qrc "    <file>${_name}.scpt</file>\n")
endforeach()
string(APPEND _lurkel_scripts_qrc "  </qresource>\n</RCC>\n")
_lurkel_write_if_changed(${_lurkel_scripts_out}/LurkelScripts.qrc "${_lurkel_scripts_qrc}")
set(LURKEL_SCRIPTS_QRC ${_lurkel_scripts_out}/LurkelScripts.qrc)
