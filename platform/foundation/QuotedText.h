#pragma once

#include <string>
#include <string_view>

namespace foundation {

// `text` between `quote`s for a message to a person, whole and unambiguous:
// control bytes (NUL included) are written as \xHH, and the quote and the
// backslash are escaped, so what a person typed comes back as typed.
std::string quotedText(std::string_view text, char quote = '\'');

} // namespace foundation
