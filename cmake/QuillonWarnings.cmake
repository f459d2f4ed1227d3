# Warnings for our own targets only (third-party headers are system includes).
function(quillon_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
endfunction()
