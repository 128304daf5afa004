# The SDK has no pkg-config file for Connector/C; both client libraries are
# given the names the pkg-config search makes on Linux, so the rest of the
# build links them the same way.
find_path(MARIADB_INCLUDE_DIR mysql.h PATH_SUFFIXES mariadb REQUIRED)
find_library(MARIADB_LIBRARY NAMES libmariadb.dll.a liblibmariadb.dll.a PATH_SUFFIXES mariadb REQUIRED)
add_library(PkgConfig::MARIADB INTERFACE IMPORTED)
target_include_directories(PkgConfig::MARIADB INTERFACE ${MARIADB_INCLUDE_DIR})
target_link_libraries(PkgConfig::MARIADB INTERFACE ${MARIADB_LIBRARY} ws2_32)

find_path(UCHARDET_INCLUDE_DIR uchardet.h PATH_SUFFIXES uchardet REQUIRED)
find_library(UCHARDET_LIBRARY NAMES libuchardet.dll.a REQUIRED)
add_library(PkgConfig::UCHARDET INTERFACE IMPORTED)
target_include_directories(PkgConfig::UCHARDET INTERFACE ${UCHARDET_INCLUDE_DIR})
target_link_libraries(PkgConfig::UCHARDET INTERFACE ${UCHARDET_LIBRARY})
