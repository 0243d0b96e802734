# What `cmake --install` puts where. On Linux the usual layout under the prefix (programs in
# bin, desktop entry, icons, manual pages, documents in share/doc/kelvane); for Windows
# kelvane.exe and kelvane-gen.exe side by side with README, license and third-party notice at the
# top of the folder (portable: run from wherever it is unpacked).
include(GNUInstallDirs)

set(KELVANE_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(KELVANE_DOC_BUILD_DIR ${PROJECT_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${KELVANE_DOC_BUILD_DIR})

if(WIN32 AND NOT TARGET kelvane-gen)
  return()  # nothing to install: the Windows build without the command line builds tests only
elseif(WIN32)
  # Connector/C is linked into kelvane.exe and kelvane-gen.exe (cmake/windows-deps.cmake builds it from its
  # release tarball): its license and version travel with the program.
  if(NOT KELVANE_CONNECTOR_C_TARBALL OR NOT EXISTS "${KELVANE_CONNECTOR_C_TARBALL}")
    message(FATAL_ERROR "the Windows package needs the Connector/C tarball (KELVANE_CONNECTOR_C_TARBALL)")
  endif()
  string(REGEX MATCH "connector-c-([0-9.]+[0-9])" match "${KELVANE_CONNECTOR_C_TARBALL}")
  set(KELVANE_CONNECTOR_VERSION ${CMAKE_MATCH_1})
  file(ARCHIVE_EXTRACT INPUT ${KELVANE_CONNECTOR_C_TARBALL} DESTINATION ${KELVANE_DOC_BUILD_DIR}/connector
       PATTERNS */COPYING.LIB)
  file(GLOB KELVANE_CONNECTOR_COPYING ${KELVANE_DOC_BUILD_DIR}/connector/*/COPYING.LIB)
  # Windows editors expect CR LF in the text files next to the program.
  configure_file(${KELVANE_PACKAGING_DIR}/THIRD-PARTY-windows.txt ${KELVANE_DOC_BUILD_DIR}/THIRD-PARTY.txt @ONLY
                 NEWLINE_STYLE CRLF)
  foreach(pair "${PROJECT_SOURCE_DIR}/README.md|README.md" "${PROJECT_SOURCE_DIR}/LICENSE|LICENSE.txt"
               "${KELVANE_CONNECTOR_COPYING}|COPYING.LIB.txt")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 from)
    list(GET pair 1 to)
    file(READ ${from} content)
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${KELVANE_DOC_BUILD_DIR}/${to} "${content}")
  endforeach()

  install(TARGETS kelvane kelvane-gen RUNTIME DESTINATION .)
  install(FILES ${KELVANE_DOC_BUILD_DIR}/README.md ${KELVANE_DOC_BUILD_DIR}/LICENSE.txt
                ${KELVANE_DOC_BUILD_DIR}/THIRD-PARTY.txt ${KELVANE_DOC_BUILD_DIR}/COPYING.LIB.txt
          DESTINATION .)
  return()
endif()

# Manual pages: reviewed texts in packaging/ with the version filled in, compressed the way
# Debian wants them (-n: no name or time stamp, so every build gives the same bytes).
# scripts/test-package checks that they name every option --help lists.
find_program(KELVANE_GZIP gzip REQUIRED)
set(KELVANE_DOC_OUTPUTS)
function(kelvane_man_page program)
  set(page ${KELVANE_DOC_BUILD_DIR}/${program}.1)
  configure_file(${KELVANE_PACKAGING_DIR}/${program}.1.in ${page} @ONLY)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${KELVANE_GZIP} -9nkf ${page}
    DEPENDS ${page}
    VERBATIM)
  set(KELVANE_DOC_OUTPUTS ${KELVANE_DOC_OUTPUTS} ${page}.gz PARENT_SCOPE)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

if(TARGET kelvane-gen)
  install(TARGETS kelvane-gen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  kelvane_man_page(kelvane-gen)
endif()

if(TARGET kelvane)
  install(TARGETS kelvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  kelvane_man_page(kelvane)
  install(FILES ${KELVANE_PACKAGING_DIR}/kelvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  # The icon: the SVG is the source; the menu sizes are rendered from it at build time so the
  # PNGs always match it and no binary files live in the repository.
  find_program(KELVANE_RSVG_CONVERT rsvg-convert)
  if(NOT KELVANE_RSVG_CONVERT)
    message(FATAL_ERROR "rsvg-convert renders the icon sizes; install it (Debian: librsvg2-bin)")
  endif()
  install(FILES ${KELVANE_PACKAGING_DIR}/kelvane.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${KELVANE_DOC_BUILD_DIR}/icons/${size}x${size}/kelvane.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${KELVANE_DOC_BUILD_DIR}/icons/${size}x${size}
      COMMAND ${KELVANE_RSVG_CONVERT} --width=${size} --height=${size} --output=${png}
              ${KELVANE_PACKAGING_DIR}/kelvane.svg
      DEPENDS ${KELVANE_PACKAGING_DIR}/kelvane.svg
      VERBATIM)
    list(APPEND KELVANE_DOC_OUTPUTS ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
endif()

# Documents: README, the license, the Debian-style copyright (with the client library's LGPL
# noted) and the change log.
add_custom_command(
  OUTPUT ${KELVANE_DOC_BUILD_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${KELVANE_PACKAGING_DIR}/changelog ${KELVANE_DOC_BUILD_DIR}/changelog
  COMMAND ${KELVANE_GZIP} -9nf ${KELVANE_DOC_BUILD_DIR}/changelog
  DEPENDS ${KELVANE_PACKAGING_DIR}/changelog
  VERBATIM)
list(APPEND KELVANE_DOC_OUTPUTS ${KELVANE_DOC_BUILD_DIR}/changelog.gz)
add_custom_target(kelvane_install_files ALL DEPENDS ${KELVANE_DOC_OUTPUTS})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
              ${KELVANE_PACKAGING_DIR}/copyright ${KELVANE_DOC_BUILD_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
