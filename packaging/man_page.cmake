# Writes the manual page of a program from what it prints for --help and
# --version (cmake -P). The help's first line is "Usage: <name> <synopsis>",
# the second a one-line summary ending in a full stop, then a blank line and
# the rest, which is kept as it is laid out.
#   -DPROGRAM=<the built program> -DNAME=<its name> -DDATE=<YYYY-MM-DD> -DOUT=<page>
foreach(var PROGRAM NAME DATE OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "man_page.cmake: ${var} not given")
  endif()
endforeach()

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help ended with ${rc}")
endif()
execute_process(COMMAND ${PROGRAM} --version OUTPUT_VARIABLE version RESULT_VARIABLE rc
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --version ended with ${rc}")
endif()

if(NOT help MATCHES "^Usage: ${NAME} ([^\n]*)\n([^\n]*)\\.\n\n(.*)$")
  message(FATAL_ERROR "${PROGRAM} --help does not start with 'Usage: ${NAME} ...', a summary line and a blank line")
endif()
set(synopsis "${CMAKE_MATCH_1}")
set(summary "${CMAKE_MATCH_2}")
set(body "${CMAKE_MATCH_3}")

# roff: a backslash is written \e, a minus as \-, and a line must not start
# with a control character.
function(roff_escape var)
  set(t "${${var}}")
  string(REPLACE "\\" "\\e" t "${t}")
  string(REPLACE "-" "\\-" t "${t}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" t "${t}")
  set(${var} "${t}" PARENT_SCOPE)
endfunction()
roff_escape(synopsis)
roff_escape(summary)
roff_escape(body)
string(REGEX REPLACE "\n+$" "" body "${body}")
string(TOUPPER "${NAME}" title)

file(WRITE "${OUT}" ".TH ${title} 1 \"${DATE}\" \"${version}\" \"User Commands\"
.SH NAME
${NAME} \\- ${summary}
.SH SYNOPSIS
.B ${NAME}
${synopsis}
.SH DESCRIPTION
.nf
${body}
.fi
")
