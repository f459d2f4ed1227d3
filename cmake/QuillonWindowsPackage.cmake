# quillon-<version>-win64.zip: the programs with config.ini, the language files, an empty
# log folder and a short README, all in one folder (the programs find their files beside
# themselves). Built by: cmake --build build-win --target package
install(TARGETS quillon-cli quillon-virtual-printer RUNTIME DESTINATION .)
file(GLOB QUILLON_PACKAGE_INI ${CMAKE_SOURCE_DIR}/resources/*.ini)
install(FILES ${QUILLON_PACKAGE_INI} DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/resources/README-windows.txt DESTINATION . RENAME README.txt)
install(DIRECTORY DESTINATION log)
# The sample font library, when the build has one (see QUILLON_PREBUILT_SAMPLE_FONT).
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/sample_font.bin DESTINATION . OPTIONAL)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/production/ DESTINATION production)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME quillon-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
