// The lean reader alone, on any bytes: it gives the entries it can read or
// leaves the file to the full reader, and never reads outside the file,
// crashes, hangs or leaks.

#include "fuzz/KnownPhoto.h"
#include "fuzz/MemoryFile.h"

#include "imageio/LeanReader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string photo = knownPhoto("quorix-sample.jpg");
    auto contents = imageio::readLean(photo);
    requireReached(contents && contents->metadata.exif && !contents->metadata.exif->empty(), "the lean reader reads no entries from " + photo);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryFile file(data, size);
    if (file.isOpen())
        (void)imageio::readLean(file.path());
    return 0;
}
