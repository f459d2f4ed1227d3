# CLI11 (header-only, Debian's libcli11-dev): the command-line parser of the programs, as
# the target quillon_cli11. The cross build takes Debian's headers alone (never the rest of
# the host's /usr/include).
add_library(quillon_cli11 INTERFACE)
find_path(QUILLON_CLI11_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
if(CMAKE_CROSSCOMPILING)
  file(COPY ${QUILLON_CLI11_DIR}/CLI DESTINATION ${CMAKE_BINARY_DIR}/third_party)
  target_include_directories(quillon_cli11 SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/third_party)
elseif(NOT QUILLON_CLI11_DIR STREQUAL "/usr/include")
  target_include_directories(quillon_cli11 SYSTEM INTERFACE ${QUILLON_CLI11_DIR})
endif()
