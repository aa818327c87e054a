# A shared library of the project binds its references to its own symbols
# (vtables, type information, functions) when it is linked, instead of
# having the dynamic loader look each one up by name whenever a program
# starts: thousands of lookups, most of the start-up cost of the `quorix`
# command. Nothing in these libraries is meant to be replaced by another
# library's symbol (methods are replaced through the runtime, never by
# interposition), and no header defines shared data of its own.
#
# The compiler is told the same, for every object of the project: a call
# to a function of the same library may then be inlined or made directly
# (a reference count's change, a message's lookup), instead of through
# a table that another library's definition could take over.
add_compile_options(-fno-semantic-interposition)

function(quorix_bind_locally target)
  target_link_options(${target} PRIVATE -Wl,-Bsymbolic)
endfunction()

# The loader looks a symbol up in the program's libraries in the order the
# program lists them, and most lookups at start-up (thousands of them, nearly
# all made by the C++ standard library for its own vtables and type
# information) end in the C++ standard library. A program lists it first, so
# each such lookup passes no library of the project on its way. The
# program's own definitions still come first of all, the project's libraries
# bind their own symbols locally, and a symbol one of them shares with the
# standard library is the standard library's template code, the same in
# either. A sanitizer's run-time library must itself come first, so builds
# with sanitizers (or fuzzing) keep the usual order.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("
  #include <cstddef>
  #ifndef __GLIBCXX__
  #error not libstdc++
  #endif
  int main() { return 0; }" QUORIX_USES_LIBSTDCXX)

function(quorix_standard_library_first target)
  if(QUORIX_USES_LIBSTDCXX AND NOT QUORIX_SANITIZE AND NOT QUORIX_BUILD_FUZZ)
    # Link options come before the objects, so this entry comes first.
    target_link_options(${target} PRIVATE "LINKER:--push-state,--no-as-needed" -lstdc++ "LINKER:--pop-state")
  endif()
endfunction()
