#pragma once

#include "cli/PathWalk.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace quorix::cli {

// How the described files go out. Each file's description is made as a
// whole text (with -j in a child process, so it may depend on the path
// alone), then written in the files' order; the listing may add what opens
// and what closes the output, or hold everything back until the end.
class Listing {
public:
    virtual ~Listing() = default;

    // Nothing for a file that is not an image: the caller reports it.
    virtual std::optional<std::string> describe(const std::string& path) const = 0;
    // Before the first file; what a list written as one document opens with.
    virtual void start(std::ostream&) { }
    virtual void write(const std::string& description, std::ostream& out) = 0;
    // After the last file, even when none could be described.
    virtual void finish(std::ostream&) { }
};

// Describes the described items in `jobs` processes at once (one: in this
// process), writing them through the listing and reporting the others in the
// items' order; the command's exit status.
int describePaths(const std::vector<WalkItem>& items, Listing& listing, int jobs, std::ostream& out, std::ostream& err);

} // namespace quorix::cli
