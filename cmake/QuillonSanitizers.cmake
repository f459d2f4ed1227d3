# QUILLON_SANITIZE=address,undefined or thread: applied to every target of the build.
if(QUILLON_SANITIZE)
  add_compile_options(-fsanitize=${QUILLON_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${QUILLON_SANITIZE})
  if(QUILLON_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()
