# cmake --install: the shared library and its header, the command, the Python module, a CMake
# package (find_package(tessera) gives the imported target tessera::tessera) and a pkg-config
# file. Both package files are relocatable: they find the prefix from where they are installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TESSERA_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tessera)

install(TARGETS tessera EXPORT tesseraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/module/tessera.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS tessera_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/python/tessera.py
  DESTINATION ${CMAKE_INSTALL_DATADIR}/tessera/python)

install(EXPORT tesseraTargets NAMESPACE tessera:: DESTINATION ${TESSERA_CMAKE_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/tesseraConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tesseraConfig.cmake
  INSTALL_DESTINATION ${TESSERA_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tesseraConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/tesseraConfig.cmake
  ${PROJECT_BINARY_DIR}/tesseraConfigVersion.cmake
  DESTINATION ${TESSERA_CMAKE_PACKAGE_DIR})

# The pkg-config file names its prefix relative to its own folder (${pcfiledir}).
set(TESSERA_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH TESSERA_PKGCONFIG_TO_PREFIX /prefix/${TESSERA_PKGCONFIG_DIR} /prefix)
string(REGEX REPLACE "/$" "" TESSERA_PKGCONFIG_TO_PREFIX "${TESSERA_PKGCONFIG_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/tessera.pc.in ${PROJECT_BINARY_DIR}/tessera.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tessera.pc DESTINATION ${TESSERA_PKGCONFIG_DIR})
