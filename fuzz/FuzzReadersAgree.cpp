// The two image readers on the same bytes: wherever the lean reader takes a
// file, its reading (type, pixel sizes, orientation and every entry, in
// order) must be the full reader's. Any difference stops the run with both
// readings.

#include "fuzz/KnownPhoto.h"
#include "fuzz/MemoryFile.h"

#include "imageio/ContentsText.h"
#include "imageio/FullReader.h"
#include "imageio/LeanReader.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string photo = knownPhoto("quorix-sample.jpg");
    auto lean = imageio::readLean(photo);
    auto full = imageio::readFull(photo);
    requireReached(lean && lean->metadata.exif && !lean->metadata.exif->empty(), "the lean reader reads no entries from " + photo);
    requireReached(full && full->metadata.exif && !full->metadata.exif->empty(), "the full reader reads no entries from " + photo);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryFile file(data, size);
    if (!file.isOpen())
        return 0;
    auto lean = imageio::readLean(file.path());
    if (!lean)
        return 0;
    const std::string leanText = imageio::describeContents(lean);
    const std::string fullText = imageio::describeContents(imageio::readFull(file.path()));
    if (leanText != fullText) {
        std::fprintf(stderr, "the readers differ\n--- lean reader\n%s--- full reader\n%s", leanText.c_str(), fullText.c_str());
        std::abort();
    }
    return 0;
}
