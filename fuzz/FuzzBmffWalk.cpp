// The walk of an ISO base media file's boxes (HEIC, HEIF, AVIF), with the
// EXIF item it finds handed on to the TIFF walk, and the primary item's
// size, on any bytes.

#include "fuzz/KnownPhoto.h"
#include "fuzz/MemoryFile.h"

#include "imageio/BmffWalk.h"
#include "imageio/PictureSize.h"
#include "imageio/TiffWalk.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The samples are JPEGs; the seeds hold a small HEIF with an EXIF item.
    const std::string photo = std::string(QUORIX_SOURCE_DIR) + "/fuzz/seeds/exif-item.heic";
    auto file = imageio::FileWindow::open(photo);
    requireReached(file.has_value(), "cannot open " + photo);
    auto contents = imageio::walkBmff(*file);
    imageio::EntryCollector collector;
    requireReached(contents && !contents->exif.empty() && imageio::walkTiff(imageio::TiffBytes(contents->exif), collector),
        "the box walk finds no EXIF item in " + photo);
    requireReached(imageio::heifPictureSize(*file).has_value(), "the primary item of " + photo + " has no size");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryFile memory(data, size);
    if (!memory.isOpen())
        return 0;
    auto file = imageio::FileWindow::open(memory.path());
    if (!file)
        return 0;
    (void)imageio::heifPictureSize(*file);
    if (auto contents = imageio::walkBmff(*file); contents && !contents->exif.empty()) {
        imageio::EntryCollector collector;
        (void)imageio::walkTiff(imageio::TiffBytes(contents->exif), collector);
    }
    return 0;
}
