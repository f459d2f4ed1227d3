# What `cmake --install` puts where, the files generated for it (manual pages, shell
# completion, icons, the Debian changelog) and the Debian package (`cpack -G DEB`).
#
# Installed, the programs find their shipped files in share/quillon/ beside bin/, and keep
# the user's settings and log in the XDG folders (core/file_locations.h).

set(QUILLON_GENERATED ${CMAKE_BINARY_DIR}/generated/install)
file(MAKE_DIRECTORY ${QUILLON_GENERATED})
string(TIMESTAMP QUILLON_MAN_DATE "%Y-%m-%d" UTC)

# Manual pages and quillon-cli's completion, from the help the programs print.
add_executable(quillon-make-docs src/core/tools/make_docs.cpp src/core/help_text.cpp
                                 src/core/help_texts.cpp)
target_include_directories(quillon-make-docs PRIVATE ${CMAKE_SOURCE_DIR}/src)
set_target_properties(quillon-make-docs PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools
                                                   AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
quillon_warnings(quillon-make-docs)
set(QUILLON_MAN_PAGES quillon quillon-cli quillon-virtual-printer)
set(QUILLON_DOCS ${QUILLON_GENERATED}/quillon-cli)
set(QUILLON_MAN_GZ "")
foreach(page IN LISTS QUILLON_MAN_PAGES)
  list(APPEND QUILLON_DOCS ${QUILLON_GENERATED}/${page}.1)
  list(APPEND QUILLON_MAN_GZ ${QUILLON_GENERATED}/${page}.1.gz)
endforeach()
add_custom_command(OUTPUT ${QUILLON_DOCS}
  COMMAND quillon-make-docs ${QUILLON_GENERATED} ${PROJECT_VERSION} ${QUILLON_MAN_DATE}
  DEPENDS quillon-make-docs
  COMMENT "Writing the manual pages and the shell completion"
  VERBATIM)
# Debian keeps manual pages compressed (-n: no time stamp, so builds are reproducible).
add_custom_command(OUTPUT ${QUILLON_MAN_GZ}
  COMMAND sh -c "for p in \"$@\"; do gzip -9nc \"$p.1\" > \"$p.1.gz\"; done" sh
          ${QUILLON_MAN_PAGES}
  WORKING_DIRECTORY ${QUILLON_GENERATED}
  DEPENDS ${QUILLON_DOCS}
  VERBATIM)

# The icon, drawn from one list of shapes as SVG and PNG.
find_package(ZLIB REQUIRED)
add_executable(quillon-make-icon src/app/tools/make_icon.cpp)
target_link_libraries(quillon-make-icon PRIVATE ZLIB::ZLIB)
set_target_properties(quillon-make-icon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools
                                                   AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
quillon_warnings(quillon-make-icon)
set(QUILLON_ICONS ${QUILLON_GENERATED}/quillon.svg ${QUILLON_GENERATED}/quillon-48.png
                  ${QUILLON_GENERATED}/quillon-256.png)
add_custom_command(OUTPUT ${QUILLON_ICONS}
  COMMAND quillon-make-icon ${QUILLON_GENERATED}/quillon.svg
          48:${QUILLON_GENERATED}/quillon-48.png 256:${QUILLON_GENERATED}/quillon-256.png
  DEPENDS quillon-make-icon
  COMMENT "Drawing the icon"
  VERBATIM)

# The Debian changelog (of a native package: changelog.gz), dated like the manual pages.
string(TIMESTAMP QUILLON_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_SOURCE_DIR}/resources/debian/changelog.in ${QUILLON_GENERATED}/changelog
               @ONLY)
add_custom_command(OUTPUT ${QUILLON_GENERATED}/changelog.gz
  COMMAND sh -c "gzip -9nc changelog > changelog.gz"
  WORKING_DIRECTORY ${QUILLON_GENERATED}
  DEPENDS ${QUILLON_GENERATED}/changelog
  VERBATIM)

add_custom_target(quillon_install_files ALL
  DEPENDS ${QUILLON_DOCS} ${QUILLON_MAN_GZ} ${QUILLON_ICONS} ${QUILLON_GENERATED}/changelog.gz)

# ---------------------------------------------------------------------------- install ---
set(QUILLON_PROGRAMS quillon-cli quillon-virtual-printer)
if(QUILLON_BUILD_GUI)
  list(PREPEND QUILLON_PROGRAMS quillon)
endif()
install(TARGETS ${QUILLON_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(QUILLON_SHARE ${CMAKE_INSTALL_DATADIR}/quillon)
file(GLOB QUILLON_SHIPPED_INI ${CMAKE_SOURCE_DIR}/resources/*.ini)
install(FILES ${QUILLON_SHIPPED_INI} DESTINATION ${QUILLON_SHARE})
if(TARGET quillon_sample_font)
  install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/sample_font.bin DESTINATION ${QUILLON_SHARE})
endif()
# The production station's sample profile, logo and test text.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/production/ DESTINATION ${QUILLON_SHARE}/production)

install(FILES ${CMAKE_SOURCE_DIR}/resources/quillon.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUILLON_GENERATED}/quillon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES ${QUILLON_GENERATED}/quillon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME quillon.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/60-quillon-printer.rules
        DESTINATION lib/udev/rules.d)
install(FILES ${QUILLON_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QUILLON_GENERATED}/quillon-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright
              ${QUILLON_GENERATED}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon)

# ---------------------------------------------------------------------- Debian package ---
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Quillon maintainers <maintainers@quillon.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for thermal receipt and label printers")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon looks after small thermal printers connected by USB or through a
serial port: it flashes firmware and font libraries, reads and changes the
printer's settings, sends test output, pictures and boot logos, edits printer
font files and tests RFID readers.

The package holds the window (quillon), the command line tool for production
lines and scripts (quillon-cli), a virtual printer for trying everything
without hardware (quillon-virtual-printer), and a udev rule that lets
logged-in users open the printer.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/resources/debian/postinst
                                       ${CMAKE_SOURCE_DIR}/resources/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
