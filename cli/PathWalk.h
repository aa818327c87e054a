#pragma once

#include <string>
#include <vector>

namespace quorix::cli {

// One path the info command goes through, in output order: a file to
// describe, or one it cannot (with the errno that says why).
struct WalkItem {
    std::string path;
    int error = 0;
    // Found by walking a folder rather than named on the command line: a
    // file there that is not a photo is passed over without a word.
    bool inFolder = false;
};

enum class FolderHandling {
    Refuse, // a folder is an error (EISDIR), as without -r
    Walk, // a folder gives its files, and its folders' files, in name order
};

// The paths to go through for the command-line arguments, in their order.
// Walking a folder lists its entries in byte order of their names; files
// (and links to files) are described, other special files skipped, entries
// that cannot be read reported. A folder reached through a symbolic link
// is walked like any other, but each folder only once: a link back to a
// folder being walked is reported as a loop (ELOOP), one to a folder walked
// before is passed over.
std::vector<WalkItem> walkPaths(const std::vector<std::string>& arguments, FolderHandling folders);

} // namespace quorix::cli
