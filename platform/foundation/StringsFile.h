#pragma once

#include "runtime/FlatMap.h"

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// A strings table: each key's text.
using StringsTable = TextMap<std::string>;

// Reads the platform's strings-file text form: `"key" = "value";` pairs with
// /* */ and // comments, escapes \" \\ \' \n \t \r \Uxxxx (\uxxxx; a surrogate
// pair as two escapes), in UTF-8 or in UTF-16 with a byte-order mark. As in
// the old property-list text, a key or value made only of letters, digits and
// _ . - may go unquoted, and `"key";` alone maps the key to itself. Anything
// malformed gives nothing: a broken file is an absent table. The last of
// duplicate keys wins.
std::optional<StringsTable> parseStringsFile(std::string_view bytes);

// nullopt when the file cannot be read or parsed.
std::optional<StringsTable> loadStringsFile(const std::string& path);

} // namespace foundation
