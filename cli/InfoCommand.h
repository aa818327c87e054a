#pragma once

#include "Command.h"
#include "Listing.h"
#include "PathWalk.h"

#include <optional>
#include <string>
#include <vector>

namespace quorix::cli {

// `quorix info [--json] [-r] [-j N] PATH...`: for each file, in argument
// order (and with -r the files of each folder, in name order), what the info
// screen shows (its sections of label/value rows and its position) and the
// text of its date stamp. A path that cannot be described (nothing there, a
// folder without -r, no permission) is reported on stderr with the reason
// and makes the exit status 1; every other path is described. With -j the
// files are described in N processes at once; the output is the same.
Command addInfoCommand(CLI::App& app);

enum class InfoOutput {
    Text, // laid out for a terminal of the given width
    JSON, // one object per line
};

// One file's description as `quorix info --json` prints it, without the
// line's end; nothing for a file that is not an image.
std::optional<std::string> describeAsJson(const std::string& path);

// Describes the described items in `jobs` processes at once (one: in this
// process), writing them through the listing and reporting the others in the
// items' order.
int describePaths(const std::vector<WalkItem>& items, Listing& listing, int jobs, std::ostream& out, std::ostream& err);
int describePaths(const std::vector<WalkItem>& items, InfoOutput output, int columns, int jobs, std::ostream& out, std::ostream& err);

// What --jobs means when it is not given: one process per core.
int defaultJobs();

} // namespace quorix::cli
