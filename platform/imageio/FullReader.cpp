#include "imageio/FullReader.h"

#include "foundation/SharedLibrary.h"

#include <dlfcn.h>

#include <filesystem>

namespace imageio {

namespace {

// The folder this library was loaded from, found from one of its own objects.
std::filesystem::path platformFolder()
{
    static const char anchor = 0;
    Dl_info info {};
    if (dladdr(&anchor, &info) == 0 || !info.dli_fname)
        return {};
    return std::filesystem::path(info.dli_fname).parent_path();
}

decltype(&quorix_read_full) fullReader()
{
    static const auto entry = [] {
        std::string error;
        decltype(&quorix_read_full) found = nullptr;
        auto library = foundation::SharedLibrary::open(platformFolder() / kFullReaderLibrary, error);
        if (library && !library->resolve("quorix_read_full", found, error))
            library->close();
        if (!found)
            foundation::reportUnusableLibrary("some photos cannot be read", error);
        return found;
    }();
    return entry;
}

} // namespace

std::optional<ImageContents> readFull(const std::string& path)
{
    auto read = fullReader();
    if (!read)
        return std::nullopt;
    ImageContents contents;
    if (!read(path.c_str(), &contents))
        return std::nullopt;
    return contents;
}

} // namespace imageio
