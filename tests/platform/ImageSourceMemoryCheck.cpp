// Peak memory of reading image properties, by hand (not part of the suite):
//
//   imageio_memcheck            makes a small JPEG and a 200 MB TIFF in a
//                               temporary directory, then reads each in a
//                               process of its own and prints its peak RSS
//   imageio_memcheck open PATH  reads one file and prints its own peak RSS
//
// Reading only metadata, the peak must not grow with the file's size.

#include "foundation/NSDictionary.h"
#include "foundation/NSString.h"
#include "foundation/NSURL.h"
#include "imageio/CGImageSource.h"
#include "imageio/ImageProperties.h"
#include "runtime/AutoreleasePool.h"
#include "support/ImageFixtures.h"

#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long peakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int openOne(const std::string& path)
{
    bool opened = false;
    size_t entries = 0;
    {
        AutoreleasePool pool;
        auto source = CGImageSourceCreateWithURL(NSURL::fileURLWithPath(path).get(), nullptr);
        if (source) {
            opened = true;
            if (auto properties = CGImageSourceCopyPropertiesAtIndex(source, 0, nullptr))
                entries = properties->count();
        }
    }
    std::printf("%s: %s, %zu top-level entries, peak RSS %ld KB\n", path.c_str(), opened ? "opened" : "not opened", entries, peakKilobytes());
    return opened ? 0 : 1;
}

// Runs this program again on one file, so each measurement starts afresh.
int runChild(const char* self, const std::string& mode, const std::string& path)
{
    std::fflush(stdout);
    pid_t child = fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        execl(self, self, mode.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "open")
        return openOne(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "baseline") {
        std::printf("baseline (nothing read): peak RSS %ld KB\n", peakKilobytes());
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr, "usage: %s [open PATH]\n", argv[0]);
        return 2;
    }

    fixtures::TempDir dir;
    const fixtures::ExifEdits edits = { { "Exif.Image.Make", "Quorix" }, { "Exif.Photo.FNumber", "28/10" } };
    std::string jpeg = fixtures::writeJpeg(dir.path(), "small.jpg", 64, 48, edits);
    // 14142 x 14142 bytes of grey: 200 MB of pixels in one strip.
    std::string tiff = fixtures::writeTiff(dir.path(), "large.tif", 14142, 14142);
    std::printf("generator: peak RSS %ld KB\n", peakKilobytes());

    int failures = runChild(argv[0], "baseline", "-");
    failures += runChild(argv[0], "open", jpeg);
    failures += runChild(argv[0], "open", tiff);
    return failures == 0 ? 0 : 1;
}
