# Formats a manual page the way man shows it and fails on any warning from the formatter.
#   -DPAGE=page.1
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANROFFSEQ= MANWIDTH=80
          man --warnings -E UTF-8 -l ${PAGE}
  OUTPUT_VARIABLE shown ERROR_VARIABLE warnings RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "man -l ${PAGE} warns:\n${warnings}")
endif()
if(NOT shown MATCHES "NAME")
  message(FATAL_ERROR "man -l ${PAGE} shows no NAME section")
endif()
