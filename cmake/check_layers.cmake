# Fails when a file of a layer includes a layer above it, or a library its layer may not use. The
# build runs it before it compiles anything, so a wrong include stops the build.
#   cmake -DROOT=SOURCE_DIR [-DSTAMP=FILE] -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)
#
# Each rule is: a path prefix; the project folders its files may include; the libraries they may
# include besides the standard one (Qt, CLI11, nlohmann, POSIX; "-" for none). The longest
# matching prefix holds.
set(rules
  "translate/|translate|-"
  "assembly/|translate assembly|-"
  "asl_syntax/|translate asl_syntax|-"
  "simulate/|translate simulate|-"
  "boards/|translate simulate boards|nlohmann"
  "file_io/|file_io|POSIX"
  "cli/|translate assembly asl_syntax simulate boards file_io cli|CLI11 nlohmann"
  "services/|file_io services|-"
  "services/qt_|file_io services|Qt"
  "icons/|icons|Qt"
  "window/|translate assembly file_io services window|-"
  "window/form1|translate assembly file_io services icons window|Qt"
  "debugger/|translate assembly asl_syntax simulate boards file_io services debugger|-"
  "debugger/window/|translate assembly asl_syntax simulate boards file_io services icons debugger|Qt"
  "app/|app window debugger|Qt")

# The library an angle-bracket include belongs to, or "std" for the standard library.
function(library_of header out)
  if(header MATCHES "^[a-z_0-9]+(\\.h)?$")
    set(kind std)
  elseif(header MATCHES "^sys/")
    set(kind POSIX)
  elseif(header MATCHES "^Q")
    set(kind Qt)
  elseif(header MATCHES "^CLI/")
    set(kind CLI11)
  elseif(header MATCHES "^nlohmann/")
    set(kind nlohmann)
  else()
    set(kind "unknown")
  endif()
  set(${out} ${kind} PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/translate/* ${ROOT}/assembly/* ${ROOT}/asl_syntax/*
     ${ROOT}/simulate/* ${ROOT}/boards/* ${ROOT}/file_io/* ${ROOT}/cli/* ${ROOT}/services/*
     ${ROOT}/icons/* ${ROOT}/window/* ${ROOT}/debugger/* ${ROOT}/app/*)
list(FILTER files INCLUDE REGEX "\\.(h|cpp)$")
set(bad "")
foreach(file IN LISTS files)
  set(folders "")
  set(libraries "")
  set(longest -1)
  foreach(rule IN LISTS rules)
    string(REPLACE "|" ";" parts "${rule}")
    list(GET parts 0 prefix)
    string(LENGTH "${prefix}" length)
    if(file MATCHES "^${prefix}" AND length GREATER longest)
      set(longest ${length})
      list(GET parts 1 folders)
      list(GET parts 2 libraries)
    endif()
  endforeach()
  string(REPLACE " " ";" folders "${folders}")
  string(REPLACE " " ";" libraries "${libraries}")
  file(STRINGS ${ROOT}/${file} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(line MATCHES "#[ \t]*include[ \t]*\"([a-z_0-9]+)/")
      if(NOT CMAKE_MATCH_1 IN_LIST folders)
        list(APPEND bad "${file}: ${line}  (${CMAKE_MATCH_1}/ is not below this layer)")
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
      library_of("${CMAKE_MATCH_1}" library)
      if(NOT library STREQUAL "std" AND NOT library IN_LIST libraries)
        list(APPEND bad "${file}: ${line}  (this layer may not use ${library})")
      endif()
    else()
      list(APPEND bad "${file}: ${line}  (includes name their folder)")
    endif()
  endforeach()
endforeach()
if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "Includes that break the layering:\n  ${text}")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
