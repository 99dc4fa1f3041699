# tessera.dll: no "lib" prefix, an export table of exactly `tessera` (module/tessera.def), the
# version resource (module/tessera.rc), and only system DLLs imported (-static, set for every
# program by the toolchain file and repeated here for builds without it). Release builds are
# stripped.
enable_language(RC)
target_sources(tessera PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/../module/tessera.def
  ${CMAKE_CURRENT_LIST_DIR}/../module/tessera.rc)
set_target_properties(tessera PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
target_link_options(tessera PRIVATE -static "LINKER:--no-undefined"
  $<$<CONFIG:Release,MinSizeRel>:-s>)
