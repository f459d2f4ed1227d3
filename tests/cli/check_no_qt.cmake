# Fails when PROGRAM's shared libraries (as ldd resolves them) include any Qt library.
execute_process(COMMAND ldd ${PROGRAM} RESULT_VARIABLE rc OUTPUT_VARIABLE libs
                ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ldd ${PROGRAM} failed: ${err}")
endif()
if(NOT libs MATCHES "libc\\.so")
  message(FATAL_ERROR "ldd listed no C library, the check saw nothing:\n${libs}")
endif()
string(REGEX MATCHALL "libQt[^ \t\n]*" qt "${libs}")
if(qt)
  message(FATAL_ERROR "quillon-cli needs Qt: ${qt}")
endif()
