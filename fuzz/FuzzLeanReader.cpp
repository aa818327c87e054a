// The lean reader alone, on any bytes: it gives the entries it can read or
// leaves the file to the full reader, and never reads outside the file,
// crashes, hangs or leaks.

#include "MemoryFile.h"

#include "imageio/LeanReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryFile file(data, size);
    if (file.isOpen())
        (void)imageio::readLean(file.path());
    return 0;
}
