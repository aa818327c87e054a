// The whole info table of one file, as `quorix info` makes it: the library's
// info screen built for the file's asset, every row asked for, and the date
// stamp. The file goes through whichever reader takes it, exiv2 included.

#include "MemoryFile.h"

#include "InfoScreen.h"
#include "runtime/AutoreleasePool.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Settings go to a folder of the run's own, never the user's.
    static std::string config = "/tmp/quorix-fuzz-config-" + std::to_string(::getpid());
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);
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
