// The walk of an ISO base media file's boxes (HEIC, HEIF, AVIF), with the
// EXIF item it finds handed on to the TIFF walk, on any bytes.

#include "MemoryFile.h"

#include "imageio/BmffWalk.h"
#include "imageio/TiffWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryFile memory(data, size);
    if (!memory.isOpen())
        return 0;
    auto file = imageio::FileWindow::open(memory.path());
    if (!file)
        return 0;
    if (auto contents = imageio::walkBmff(*file); contents && !contents->exif.empty()) {
        imageio::EntryCollector collector;
        (void)imageio::walkTiff(imageio::TiffBytes(contents->exif), collector);
    }
    return 0;
}
