# CPack: a Debian package on Linux (dependencies computed from the programs' libraries), a zip
# of kelvane.exe and kelvane-gen.exe with their documents for Windows. `scripts/package` builds both into dist/.
set(KELVANE_MAINTAINER "The Kelvane developers <kelvane@example.org>"
    CACHE STRING "Maintainer named in the packages")

set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VENDOR "The Kelvane developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KELVANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "易语言 and C# source texts for MySQL and MariaDB tables")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kelvane-${PROJECT_VERSION}-windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KELVANE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The window's Chinese captions need a CJK font; the programs run without one.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-wqy-microhei)
  # CPack puts the summary above this as the synopsis line.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Kelvane connects to a MySQL or MariaDB server, reads the columns of a table
and writes five source texts for it, byte for byte as an IDE expects them
(CR LF line ends): a 易语言 custom data type, class module and set class, a C#
entity class with its list class, and a C# connection class.
.
The package holds the window (kelvane, Qt 6) and the command line
(kelvane-gen), which writes the same texts to standard output or, for every
table of a database, to files in GBK or UTF-8.")
  # Final touches on the staged files, as Debian's own tools make them.
  set(CPACK_KELVANE_STRIP ${CMAKE_STRIP})
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianStage.cmake)
endif()

include(CPack)
