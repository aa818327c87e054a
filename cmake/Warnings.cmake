# Every target of the project compiles warning-free with these flags. Turning
# warnings into errors is for the project's own scripts and CI: a user's build
# with another compiler version should not fail on a warning it adds.
function(quorix_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic
    -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
  # GCC 12 at -O2 takes an inlined `"literal" + std::string(...)` for a
  # memcpy of overlapping buffers (GCC bug 105329, fixed in GCC 13): a false
  # -Wrestrict in a Release build, so it is off for that compiler only.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(QUORIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
