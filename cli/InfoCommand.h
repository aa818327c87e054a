#pragma once

#include "Command.h"

#include <string>
#include <vector>

namespace quorix::cli {

// `quorix info [--json] PATH...`: for each file, in argument order, what the
// info screen shows (its sections of label/value rows and its position) and
// the text of its date stamp. A path that cannot be described (nothing
// there, a directory, no permission) is reported on stderr with the reason
// and makes the exit status 1; every other path is described.
Command addInfoCommand(CLI::App& app);

enum class InfoOutput {
    Text, // laid out for a terminal of the given width
    JSON, // one object per line
};

int describePaths(const std::vector<std::string>& paths, InfoOutput output, int columns, std::ostream& out, std::ostream& err);

} // namespace quorix::cli
