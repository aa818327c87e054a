#pragma once

#include <string>

namespace quorix::cli {

// The command's own texts, from its strings table in the environment's language.
std::string localizedText(const char* key);

} // namespace quorix::cli
