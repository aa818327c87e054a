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
