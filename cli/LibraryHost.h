#pragma once

#include "runtime/ClassDefinition.h"

#include <iosfwd>

namespace quorix::cli {

// The `quorix` command hosts the library as the photo viewer does: it loads
// the dynamic-libraries folder at start and reaches the library's classes by
// name only.

// Loads the folder ($QUORIX_LIBRARY_DIR, else the one beside the program);
// each library that does not load is named on `err` with the reason.
void loadLibraries(std::ostream& err);

// The library's class of that name; when the library is not there, says so
// on `err` and gives nil.
Class libraryClass(const char* name, std::ostream& err);

} // namespace quorix::cli
