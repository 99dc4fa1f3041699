# tessera.dll and tessera_api.dll: no "lib" prefix, an export table of exactly the one-export
# library's function or the API header's functions (module/*.def), a version resource
# (module/tessera.rc, named per DLL, numbered from VERSION), and only system DLLs imported
# (-static, set for every program by the toolchain file and repeated here for builds without
# it). Release builds are stripped.
enable_language(RC)
target_sources(tessera PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/../module/tessera.def
  ${CMAKE_CURRENT_LIST_DIR}/../module/tessera.rc)
target_sources(tessera_api PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/../module/tessera_api.def
  ${CMAKE_CURRENT_LIST_DIR}/../module/tessera.rc)
target_compile_definitions(tessera_api PRIVATE TESSERA_RC_API)
foreach(dll tessera tessera_api)
  target_compile_definitions(${dll} PRIVATE TESSERA_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    TESSERA_VERSION_MINOR=${PROJECT_VERSION_MINOR} TESSERA_VERSION_PATCH=${PROJECT_VERSION_PATCH})
  set_target_properties(${dll} PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
  target_link_options(${dll} PRIVATE -static "LINKER:--no-undefined"
    $<$<CONFIG:Release,MinSizeRel>:-s>)
endforeach()
