# Warnings for the project's own targets (Qt's headers come in as system headers).
add_library(lurkel_warnings INTERFACE)
target_compile_options(lurkel_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-qual -Wformat=2
  -Wimplicit-fallthrough -Wmissing-declarations -Wundef)
if(LURKEL_WERROR)
  target_compile_options(lurkel_warnings INTERFACE -Werror)
endif()

# lurkel_program(NAME): one of the programs Lurkel ships. They find each other side by side,
# as they are installed, so the build puts them together in bin/.
function(lurkel_program name)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()

# lurkel_target(NAME): the common settings of every target of ours.
function(lurkel_target name)
  target_link_libraries(${name} PRIVATE lurkel_warnings)
  target_compile_definitions(${name} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
                                             QT_NO_KEYWORDS)
endfunction()

# lurkel_library(NAME SOURCE... LINKS LIBRARY...): one of our static libraries: its folder is
# its public include folder, it links the given libraries publicly, and it gets the common
# settings.
function(lurkel_library name)
  cmake_parse_arguments(L "" "" "LINKS" ${ARGN})
  add_library(${name} STATIC ${L_UNPARSED_ARGUMENTS})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_LINKS})
  lurkel_target(${name})
endfunction()
