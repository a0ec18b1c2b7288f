# Fails when a C++ file differs from what clang-format makes of it.
file(GLOB_RECURSE files RELATIVE ${ROOT}
     ${ROOT}/*.h ${ROOT}/*.cpp)
list(FILTER files EXCLUDE REGEX "^build")
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files}
                WORKING_DIRECTORY ${ROOT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Some files need clang-format; see above.")
endif()
