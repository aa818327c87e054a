#include "imageio/FullReader.h"

#include "foundation/SharedLibrary.h"

namespace imageio {

std::optional<ImageContents> readFull(const std::string& path)
{
    static const auto read = foundation::libraryBesidePlatform<decltype(&quorix_read_full)>(kFullReaderLibrary,
        "quorix_read_full", "some photos cannot be read");
    if (!read)
        return std::nullopt;
    ImageContents contents;
    if (!read(path.c_str(), &contents))
        return std::nullopt;
    return contents;
}

} // namespace imageio
