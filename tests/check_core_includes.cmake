# Fails when a file of the core (translation, assembly, simulation) includes anything but the
# standard library and the core's own headers.
file(GLOB_RECURSE core_files ${ROOT}/translate/*.h ${ROOT}/translate/*.cpp
                             ${ROOT}/assembly/*.h ${ROOT}/assembly/*.cpp
                             ${ROOT}/simulate/*.h ${ROOT}/simulate/*.cpp)
set(bad "")
foreach(file IN LISTS core_files)
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(line MATCHES "#[ \t]*include[ \t]*\"(translate|assembly|simulate)/")
      continue()
    endif()
    # Standard headers are lower-case words (with an optional .h for the C ones).
    if(line MATCHES "#[ \t]*include[ \t]*<[a-z_]+(\\.h)?>")
      continue()
    endif()
    list(APPEND bad "${file}: ${line}")
  endforeach()
endforeach()
if(bad)
  list(JOIN bad "\n" text)
  message(FATAL_ERROR "The core may only include standard headers:\n${text}")
endif()
