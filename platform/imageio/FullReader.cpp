#include "imageio/FullReader.h"

#include "foundation/SharedLibrary.h"

#include <sys/stat.h>

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

std::optional<bool> recognisesFormat(const std::string& path)
{
    // Only a regular file is looked at: opening a FIFO would wait for a writer.
    struct stat status { };
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    static const auto recognises = foundation::libraryBesidePlatform<decltype(&quorix_recognises_format)>(kFullReaderLibrary,
        "quorix_recognises_format", "some photos cannot be read");
    if (!recognises)
        return std::nullopt;
    return recognises(path.c_str());
}

} // namespace imageio
