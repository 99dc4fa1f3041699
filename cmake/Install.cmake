# cmake --install: the two shared libraries and their headers, the command and its man page, the
# Python module, a CMake package (find_package(tessera) gives the imported targets
# tessera::tessera, the library's one call, and tessera::api, the C API) and a pkg-config file for
# each (tessera, tessera-api).
# The package files are relocatable: they find the prefix from where they are installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TESSERA_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tessera)

set_target_properties(tessera_api PROPERTIES EXPORT_NAME api)
install(TARGETS tessera tessera_api EXPORT tesseraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/module/tessera.h ${TESSERA_API_HEADERS}
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS tessera_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TESSERA_MAN_PAGE)
  install(FILES ${TESSERA_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/tessera
  DESTINATION ${CMAKE_INSTALL_DATADIR}/tessera/python FILES_MATCHING PATTERN "*.py"
  PATTERN "__pycache__" EXCLUDE)

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
set(TESSERA_PC_NAME tessera)
set(TESSERA_PC_LIBRARY tessera)
set(TESSERA_PC_DESCRIPTION "${PROJECT_DESCRIPTION}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/tessera.pc.in ${PROJECT_BINARY_DIR}/tessera.pc @ONLY)
set(TESSERA_PC_NAME tessera-api)
set(TESSERA_PC_LIBRARY tessera_api)
set(TESSERA_PC_DESCRIPTION "QR Code symbols in memory: the tessera C API")
configure_file(${CMAKE_CURRENT_LIST_DIR}/tessera.pc.in ${PROJECT_BINARY_DIR}/tessera-api.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tessera.pc ${PROJECT_BINARY_DIR}/tessera-api.pc
  DESTINATION ${TESSERA_PKGCONFIG_DIR})
