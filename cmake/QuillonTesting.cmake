include(GoogleTest)
if(CMAKE_CROSSCOMPILING)
  # The cross build compiles GoogleTest from Debian's sources with its own compiler.
  set(QUILLON_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QUILLON_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()

# quillon_test(NAME SOURCES ... [QT] [LABELS ...]): one test program of a subsystem.
# Other tests link the Qt-free layers (quillon_features and below); QT tests link quillon_gui
# and run offscreen.
function(quillon_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE quillon_gui Qt6::Test GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${name} PRIVATE quillon_features quillon_testsupport GTest::gtest_main GTest::gmock)
  endif()
  quillon_warnings(${name})
  # Cross builds run the test under CMAKE_CROSSCOMPILING_EMULATOR (Wine).
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUILLON_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data"
    TIMEOUT 600)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
