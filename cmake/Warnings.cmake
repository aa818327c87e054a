# Every target of the project compiles warning-free with these flags. Turning
# warnings into errors is for the project's own scripts and CI: a user's build
# with another compiler version should not fail on a warning it adds.
function(quorix_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic
    -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
  if(QUORIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
