// Libraries the platform opens from its own folder the first time they are
// needed: ICU's full date formatter (libquorix_date_formats.so) and MD5
// digests (libquorix_digests.so). Without them, a formatter answers nil for
// what only ICU can write or read, a digest is nothing, and the process says
// so once for each on standard error.

#include "cli/ChildProcess.h"
#include "foundation/Digest.h"
#include "foundation/NSDate.h"
#include "foundation/NSDateFormatter.h"
#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::string kBuiltLibraries = std::string(QUORIX_BINARY_DIR) + "/lib";

// A date no light path writes: its era needs ICU's formatter.
constexpr const char* kEraPattern = "G y-MM-dd";
constexpr double may6th2014At070809Utc = 1399360089;

Ref<NSDateFormatter> formatterWithPattern(const char* pattern)
{
    auto formatter = NSDateFormatter::create();
    formatter->setDateFormat(pattern);
    return formatter;
}

std::string written(const NSDateFormatter* formatter, double seconds)
{
    auto text = formatter->stringFromDate(NSDate::dateWithTimeIntervalSince1970(seconds).get());
    return text ? text->str() : "(nil)";
}

bool isLoaded(const std::string& file)
{
    const std::string library = kBuiltLibraries + "/" + file;
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

bool readsADate(const NSDateFormatter* formatter, const char* text)
{
    return formatter->dateFromString(NSString::stringWithUTF8String(text).get()) != nullptr;
}

// Set by the test below for this program started again as its child, with
// the platform library found in a folder that lacks the libraries it opens.
constexpr const char* kChildVariable = "QUORIX_TEST_REPORT_WITHOUT_PLATFORM_LIBRARIES";

// The child writes what the platform made without those libraries, one fact
// a line, for the parent to check, and exits before any test runs.
int reportWithoutLibraries()
{
    AutoreleasePool pool;
    auto era = formatterWithPattern(kEraPattern);
    auto dotted = formatterWithPattern("dd.MM.yyyy");
    // A formatter without a form needs no library to write its empty text.
    auto formless = NSDateFormatter::create();
    std::printf("era: %s\n", written(era, may6th2014At070809Utc).c_str());
    std::printf("dotted: %s\n", written(dotted, may6th2014At070809Utc).c_str());
    std::printf("dotted read: %s\n", readsADate(dotted, "06.05.2014") ? "yes" : "no");
    std::printf("formless: [%s]\n", written(formless, may6th2014At070809Utc).c_str());
    // Asked twice: the loss is told once.
    for (const char* text : { "abc", "" })
        std::printf("md5 of [%s]: %s\n", text, foundation::md5Hex(text).value_or("none").c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

[[maybe_unused]] const bool kRanAsChild = std::getenv(kChildVariable) && (std::exit(reportWithoutLibraries()), true);

} // namespace

TEST(PlatformLibraries, AreOpenedFromThePlatformsFolderForADateOnlyICUWritesAndForADigest)
{
    AutoreleasePool pool;
    auto era = formatterWithPattern(kEraPattern);
    ASSERT_EQ(written(era, may6th2014At070809Utc).substr(0, 2), "AD");
    EXPECT_TRUE(isLoaded("libquorix_date_formats.so"));

    EXPECT_EQ(foundation::md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_TRUE(isLoaded("libquorix_digests.so"));
}

TEST(PlatformLibraries, WithoutThemAFormatterAnswersNilNoDigestIsMadeAndTheProcessSaysSoOnceForEach)
{
    fixtures::TempDir dir;
    // The platform library in a folder without the libraries it opens
    // beside it, as in an installation that lost the files.
    const std::string libraries = dir.path() + "/libraries";
    std::filesystem::create_directory(libraries);
    std::filesystem::create_symlink(kBuiltLibraries + "/libquorix_platform.so", libraries + "/libquorix_platform.so");

    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    auto run = testing_support::runProgram(self, {}, { { "LD_LIBRARY_PATH", libraries }, { kChildVariable, "1" } });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
        "era: (nil)\n"
        "dotted: (nil)\n"
        "dotted read: no\n"
        "formless: []\n"
        "md5 of [abc]: none\n"
        "md5 of []: none\n");
    const std::string program = std::filesystem::path(self).filename().string();
    auto lost = [&](const std::string& what, const std::string& file) {
        return program + ": " + what + ": " + libraries + "/" + file + ": cannot open shared object file: No such file or directory\n";
    };
    EXPECT_EQ(run.err, lost("some dates cannot be written", "libquorix_date_formats.so") + lost("MD5 digests cannot be made", "libquorix_digests.so"));
}
