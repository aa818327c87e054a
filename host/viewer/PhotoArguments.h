#pragma once

#include <string>
#include <vector>

namespace viewer {

struct PhotoList {
    std::vector<std::string> paths; // in the order the viewer shows them
    // One line per argument that gave no photo: "PATH: reason".
    std::vector<std::string> problems;
};

// The photos named by the command line: a file as given; a folder's image
// files (by name extension, any letter case, hidden files left out), sorted
// by name.
PhotoList collectPhotos(const std::vector<std::string>& arguments);

// Whether the file name has an image extension the folder listing takes.
bool hasImageExtension(const std::string& name);

} // namespace viewer
