# TESSERA_SANITIZE=address,undefined (or thread) instruments every target of the build.
if(TESSERA_SANITIZE)
  add_compile_options(-fsanitize=${TESSERA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TESSERA_SANITIZE})
endif()
