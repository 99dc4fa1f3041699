# The command's man page, tessera.1, made from docs/tessera.1.scd by scdoc and installed with the
# command. scdoc dates the page from SOURCE_DATE_EPOCH when the environment sets it (release
# builds do), else from the day of the build.
find_program(TESSERA_SCDOC scdoc)
if(TESSERA_BUILD_TESTS)
  tessera_require_package(TESSERA_SCDOC "scdoc (makes the man page that the tests check)" scdoc)
endif()
if(TESSERA_SCDOC)
  set(TESSERA_MAN_PAGE ${PROJECT_BINARY_DIR}/tessera.1)
  add_custom_command(OUTPUT ${TESSERA_MAN_PAGE}
    COMMAND sh -c "\"$0\" < \"$1\" > \"$2\"" ${TESSERA_SCDOC}
            ${PROJECT_SOURCE_DIR}/docs/tessera.1.scd ${TESSERA_MAN_PAGE}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/tessera.1.scd
    COMMENT "Making the man page tessera.1" VERBATIM)
  add_custom_target(tessera_man_page ALL DEPENDS ${TESSERA_MAN_PAGE})
endif()
