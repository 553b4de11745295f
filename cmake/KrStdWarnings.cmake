# Warning flags shared by every target of the project.
function(krstd_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(KRSTD_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
