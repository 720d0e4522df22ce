# Writes a manual page (man(7) macros) from a program's own --help, so that the page says what the
# program says. Run at build time with `cmake -P`:
#
#   PROGRAM   the built program            NAME     its installed name
#   SUMMARY   the one line after NAME -    OUTPUT   the page to write
#   DATE      the page's date              VERSION  "Lurkel 1.2.3"
#   COMMANDS  optional, ";"-separated: commands whose `PROGRAM COMMAND --help` becomes a
#             COMMANDS section, one subsection each
#   EXTRA     optional, a file of ready man(7) text appended before SEE ALSO
#   SEE_ALSO  optional, ";"-separated page names ("lurkelctl(1)")
#
# Help texts are laid out for a terminal already; they go in as no-fill blocks, with the
# characters that roff reads specially escaped.

function(roff_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  # A line that begins with "." or "'" would be read as a request.
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(help_of out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text ERROR_VARIABLE error RESULT_VARIABLE status
                  ENCODING UTF-8)
  if(NOT status EQUAL 0 OR text STREQUAL "")
    message(FATAL_ERROR "`${ARGN}` gave no help (status ${status}): ${error}")
  endif()
  string(STRIP "${text}" text)
  roff_escape("${text}" text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

foreach(required PROGRAM NAME SUMMARY OUTPUT DATE VERSION)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "LurkelManPage: ${required} is not set")
  endif()
endforeach()

# Help text must not depend on the terminal or the language of the machine that builds.
set(ENV{LC_ALL} C.UTF-8)
set(ENV{LANGUAGE} "")
set(ENV{COLUMNS} 80)
set(ENV{QT_QPA_PLATFORM} offscreen)

string(TOUPPER "${NAME}" title)
roff_escape("${NAME}" name)
roff_escape("${SUMMARY}" summary)
help_of(overview "${PROGRAM}" --help)

set(page ".TH ${title} 1 \"${DATE}\" \"${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${name} \\- ${summary}\n")
string(APPEND page ".SH DESCRIPTION\n.nf\n${overview}\n.fi\n")
if(COMMANDS)
  string(APPEND page ".SH COMMANDS\n")
  foreach(command IN LISTS COMMANDS)
    help_of(text "${PROGRAM}" "${command}" --help)
    string(APPEND page ".SS ${command}\n.nf\n${text}\n.fi\n")
  endforeach()
endif()
if(EXTRA)
  file(READ "${EXTRA}" extra)
  string(APPEND page "${extra}")
endif()
if(SEE_ALSO)
  list(TRANSFORM SEE_ALSO REPLACE "^([^(]+)\\(([0-9])\\)$" ".BR \\1 (\\2)")
  list(JOIN SEE_ALSO ",\n" see_also)
  string(APPEND page ".SH SEE ALSO\n${see_also}\n")
endif()

file(WRITE "${OUTPUT}.tmp" "${page}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
