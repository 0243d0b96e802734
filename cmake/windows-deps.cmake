# Third-party pieces of the Windows cross-build (MinGW-w64), none of them copied into the
# project:
#   MariaDB::Client  Connector/C built from its release tarball once per build folder, with
#                    Schannel TLS, linked statically
#   GTest::gtest     GoogleTest from the system's source copy (/usr/src/googletest)
#   CLI11::CLI11     the system's header-only CLI11, seen through a folder of its own so the
#                    rest of /usr/include stays out of the Windows build
include(ExternalProject)

# Every program is one .exe that needs no DLL beyond Windows' own.
add_link_options(-static -static-libgcc -static-libstdc++)

set(KELVANE_CONNECTOR_C_TARBALL
  "$ENV{KELVANE_CONNECTOR_C_TARBALL}"
  CACHE FILEPATH "MariaDB Connector/C 3.3.9 release source (.tar.gz)")
if(NOT KELVANE_CONNECTOR_C_TARBALL)
  set(KELVANE_CONNECTOR_C_TARBALL
    "${PROJECT_SOURCE_DIR}/../shared/vendor/mariadb-connector-c-3.3.9-src.tar.gz"
    CACHE FILEPATH "MariaDB Connector/C 3.3.9 release source (.tar.gz)" FORCE)
endif()
if(NOT EXISTS "${KELVANE_CONNECTOR_C_TARBALL}")
  message(FATAL_ERROR "Connector/C source not found at ${KELVANE_CONNECTOR_C_TARBALL}; "
                      "set KELVANE_CONNECTOR_C_TARBALL to mariadb-connector-c-3.3.9-src.tar.gz")
endif()

set(KELVANE_CONNECTOR_C_DIR ${PROJECT_BINARY_DIR}/connector-c)
set(KELVANE_CONNECTOR_C_LIB ${KELVANE_CONNECTOR_C_DIR}/lib/mariadb/libmariadbclient.a)
ExternalProject_Add(connector_c
  URL "${KELVANE_CONNECTOR_C_TARBALL}"
  URL_HASH SHA256=b91b46f59a49e0c0dccb43b4232308218673f63476cd97b0e421bf6db447c6b1
  DOWNLOAD_EXTRACT_TIMESTAMP ON
  PREFIX ${PROJECT_BINARY_DIR}/connector-c-build
  INSTALL_DIR ${KELVANE_CONNECTOR_C_DIR}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_BUILD_TYPE=Release
    -DWITH_SSL=SCHANNEL
    -DWITH_UNIT_TESTS=OFF
    -DWITH_CURL=OFF
    # The .exe carries every authentication method in itself: no plugin DLLs to ship.
    -DCLIENT_PLUGIN_DIALOG=STATIC
    -DCLIENT_PLUGIN_CLIENT_ED25519=STATIC
    -DCLIENT_PLUGIN_CACHING_SHA2_PASSWORD=STATIC
    -DCLIENT_PLUGIN_SHA256_PASSWORD=STATIC
    -DCLIENT_PLUGIN_MYSQL_CLEAR_PASSWORD=STATIC
  BUILD_BYPRODUCTS ${KELVANE_CONNECTOR_C_LIB})

file(MAKE_DIRECTORY ${KELVANE_CONNECTOR_C_DIR}/include/mariadb)
add_library(MariaDB::Client STATIC IMPORTED GLOBAL)
set_target_properties(MariaDB::Client PROPERTIES
  IMPORTED_LOCATION ${KELVANE_CONNECTOR_C_LIB}
  INTERFACE_INCLUDE_DIRECTORIES ${KELVANE_CONNECTOR_C_DIR}/include/mariadb
  INTERFACE_LINK_LIBRARIES "ws2_32;shlwapi;secur32;crypt32;bcrypt;advapi32")
add_dependencies(MariaDB::Client connector_c)

# Only what the tests link gets built.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)  # GTest::gtest, GTest::gtest_main

file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/cli11-include)
file(CREATE_LINK /usr/include/CLI ${PROJECT_BINARY_DIR}/cli11-include/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
set_target_properties(CLI11::CLI11 PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${PROJECT_BINARY_DIR}/cli11-include)
