#pragma once

#include "cli/Listing.h"

#include <memory>

namespace quorix::cli {

// `quorix info --csv`: one record per file, one field per row of the table,
// as RFC 4180 has it (CRLF ends a record; a field holding a comma, a quote
// or a line break is quoted, its quotes doubled). The first record heads
// the columns with the labels the text form shows: the path, then the union
// of the files' rows in the table's order, then the stamp and the place when
// any file has them. A file without a row has an empty field there. The
// columns are known only once every file is read, so everything is written
// at the end.
std::unique_ptr<Listing> makeCsvListing();

} // namespace quorix::cli
