# Checks that a program's manual page (and its bash completion, where it has one) name exactly
# the options that its --help shows.
#   -DPROGRAM=... -DMAN_SOURCE=page.1.scd [-DCOMPLETION=file]

# The options of the lines of `text` that begin an option: "  -o, --output PATH   ...".
function(help_options text out)
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(options "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^ ? ? ? ? ? ?  -")
      # Only the option part, before the gap that leads to its description.
      string(STRIP "${line}" head)
      string(REGEX REPLACE "   .*" "" head "${head}")
      string(REGEX MATCHALL "(^|[ ,])--?[a-zA-Z][a-zA-Z0-9-]*" found "${head}")
      foreach(option IN LISTS found)
        string(REGEX REPLACE "^[ ,]" "" option "${option}")
        list(APPEND options "${option}")
      endforeach()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES options)
  list(SORT options)
  set(${out} "${options}" PARENT_SCOPE)
endfunction()

function(compare what expected actual)
  if(NOT "${expected}" STREQUAL "${actual}")
    message(FATAL_ERROR "${what} does not list the options of --help.\n"
                        "--help: ${expected}\n${what}: ${actual}")
  endif()
endfunction()

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed")
endif()
help_options("${help}" expected)
if(expected STREQUAL "")
  message(FATAL_ERROR "no options found in the --help of ${PROGRAM}")
endif()

# The manual page: "*-o*, *--output* _PATH_" at the start of a line.
file(STRINGS ${MAN_SOURCE} lines REGEX "^\\*-")
set(documented "")
foreach(line IN LISTS lines)
  string(REGEX MATCHALL "\\*--?[a-zA-Z][a-zA-Z0-9-]*\\*" found "${line}")
  foreach(option IN LISTS found)
    string(REPLACE "*" "" option "${option}")
    list(APPEND documented "${option}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES documented)
list(SORT documented)
compare("The manual page ${MAN_SOURCE}" "${expected}" "${documented}")

# The completion: "local options='...'".
if(COMPLETION)
  file(READ ${COMPLETION} script)
  string(REGEX MATCH "options='[^']*'" words "${script}")
  string(REGEX MATCHALL "--?[a-zA-Z][a-zA-Z0-9-]*" completed "${words}")
  list(REMOVE_DUPLICATES completed)
  list(SORT completed)
  compare("The completion ${COMPLETION}" "${expected}" "${completed}")
endif()
