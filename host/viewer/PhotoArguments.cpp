#include "viewer/PhotoArguments.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>

namespace viewer {

namespace {

constexpr std::array<std::string_view, 22> imageExtensions {
    "jpg", "jpeg", "jpe", "png", "tif", "tiff", "heic", "heif", "avif", "webp", "gif",
    "bmp", "dng", "cr2", "cr3", "nef", "nrw", "arw", "orf", "rw2", "pef", "raf",
};

void addFolder(const std::string& folder, PhotoList& list)
{
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error) {
        list.problems.push_back(folder + ": " + error.message());
        return;
    }
    std::vector<std::string> found;
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        std::error_code typeError;
        if (!name.starts_with(".") && hasImageExtension(name) && entry.is_regular_file(typeError))
            found.push_back(entry.path().string());
    }
    if (found.empty()) {
        list.problems.push_back(folder + ": no image files in this folder");
        return;
    }
    std::sort(found.begin(), found.end());
    list.paths.insert(list.paths.end(), found.begin(), found.end());
}

} // namespace

bool hasImageExtension(const std::string& name)
{
    std::string extension = std::filesystem::path(name).extension().string();
    if (extension.size() < 2)
        return false;
    extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
        [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return std::find(imageExtensions.begin(), imageExtensions.end(), extension) != imageExtensions.end();
}

PhotoList collectPhotos(const std::vector<std::string>& arguments)
{
    PhotoList list;
    for (const auto& argument : arguments) {
        struct stat status {};
        if (::stat(argument.c_str(), &status) != 0) {
            list.problems.push_back(argument + ": " + std::strerror(errno));
            continue;
        }
        if (S_ISDIR(status.st_mode))
            addFolder(argument, list);
        else if (S_ISREG(status.st_mode))
            list.paths.push_back(argument);
        else
            list.problems.push_back(argument + ": not a regular file");
    }
    return list;
}

} // namespace viewer
