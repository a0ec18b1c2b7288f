# Copies the layers, plants wrong includes one at a time, and fails unless the layering check
# refuses each with a message that names the file.
#   cmake -DROOT=... -DCHECK=check_layers.cmake -DWORK=folder -P check_planted_include.cmake
set(plants
  "simulate/machine.h|#include \"boards/board.h\""
  "translate/hex_text.h|#include <QString>"
  "debugger/session.h|#include <QWidget>"
  "boards/board.h|#include \"cli/asm.h\""
  "assembly/assembler.h|#include <nlohmann/json.hpp>")
foreach(plant IN LISTS plants)
  string(REPLACE "|" ";" parts "${plant}")
  list(GET parts 0 file)
  list(GET parts 1 include)
  file(REMOVE_RECURSE ${WORK})
  foreach(layer translate assembly simulate boards file_io cli services icons window debugger app)
    file(COPY ${ROOT}/${layer} DESTINATION ${WORK})
  endforeach()
  file(READ ${WORK}/${file} text)
  file(WRITE ${WORK}/${file} "${include}\n${text}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} -P ${CHECK}
                  RESULT_VARIABLE status ERROR_VARIABLE message)
  if(status EQUAL 0)
    message(FATAL_ERROR "The layering check let ${include} in ${file} through")
  endif()
  string(FIND "${message}" "${file}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "The layering check's message does not name ${file}:\n${message}")
  endif()
endforeach()
# And the layers as they are pass.
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${ROOT} -P ${CHECK} RESULT_VARIABLE status
                ERROR_VARIABLE message)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "The layering check refuses the layers as they are:\n${message}")
endif()
file(REMOVE_RECURSE ${WORK})
