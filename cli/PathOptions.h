#pragma once

#include "cli/PathWalk.h"

#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace quorix::cli {

// The files a command goes through, as its command line names them:
// `[-r] [-j N] PATH...`.
struct PathOptions {
    std::vector<std::string> paths;
    bool recursive = false;
    int jobs = 0; // 0: one per core

    // The paths in output order; folders are walked with -r, refused without.
    std::vector<WalkItem> walk() const;
    // How many processes describe the files: N, else one per core.
    int jobCount() const;
};

// Adds -r/--recursive, -j/--jobs N and the paths to `command`, storing into
// `options`, which must outlive the parse. `verb` ("Read", "Describe") says
// in their help what the command does with a file.
void addPathOptions(CLI::App& command, PathOptions& options, std::string_view verb);

} // namespace quorix::cli
