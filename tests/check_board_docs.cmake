# Fails unless the table of boards in docs/boards.md (the one headed "| Name | Board |") names
# exactly the boards that come with the program.
#   cmake -DDOC=docs/boards.md -DNAMES="a;b" -P check_board_docs.cmake
file(READ ${DOC} text)
string(FIND "${text}" "| Name | Board |" start)
if(start EQUAL -1)
  message(FATAL_ERROR "docs/boards.md has no table of the boards")
endif()
string(SUBSTRING "${text}" ${start} -1 text)
string(FIND "${text}" "\n\n" end)
string(SUBSTRING "${text}" 0 ${end} table)
string(REGEX MATCHALL "\n\\| `[^`]+` \\|" rows "${table}")
set(documented "")
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\n\\| `([^`]+)` \\|$" "\\1" name "${row}")
  list(APPEND documented ${name})
endforeach()
list(SORT documented)
set(names ${NAMES})
list(SORT names)
if(NOT "${documented}" STREQUAL "${names}")
  message(FATAL_ERROR "docs/boards.md describes the boards '${documented}', "
                      "but the program comes with '${names}'")
endif()
