// The whole info table of one file, as `quorix info` makes it: the library's
// info screen built for the file's asset, every row asked for, and the date
// stamp. The file goes through whichever reader takes it, exiv2 included.

#include "fuzz/KnownPhoto.h"
#include "fuzz/MemoryFile.h"

#include "cli/InfoScreen.h"
#include "cli/LibraryHost.h"
#include "runtime/AutoreleasePool.h"

#include <iostream>

#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Settings go to a folder of the run's own, never the user's.
    static std::string config = "/tmp/quorix-fuzz-config-" + std::to_string(::getpid());
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    // The library is loaded from the dynamic-libraries folder, as the
    // command loads it; its screens are then found by name.
    quorix::cli::loadLibraries(std::cerr);
    AutoreleasePool pool;
    const std::string photo = knownPhoto("quorix-sample.jpg");
    const auto content = quorix::cli::readInfoScreen(photo);
    size_t rows = 0;
    for (const auto& section : content.sections)
        rows += section.rows.size();
    requireReached(rows > 0, "the info screen shows no rows for " + photo);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryFile file(data, size);
    if (!file.isOpen())
        return 0;
    AutoreleasePool pool;
    auto content = quorix::cli::readInfoScreen(file.path());
    (void)content;
    return 0;
}
