// `quorix info` prints the same bytes whichever image reader read the photo:
// the lean reader (the default) or the full one (QUORIX_IMAGE_READER=full).

#include "cli/ChildProcess.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

using fixtures::TempDir;

const std::string kQuorix = std::string(QUORIX_BINARY_DIR) + "/bin/quorix";

std::map<std::string, std::string> environmentWithReader(const char* reader, const std::string& leakSuppressions)
{
    return { { "LANGUAGE", "" }, { "LC_ALL", "C.UTF-8" }, { "LC_MESSAGES", "" }, { "LANG", "C.UTF-8" },
        { "QUORIX_IMAGE_READER", reader }, { "LSAN_OPTIONS", "print_suppressions=0:suppressions=" + leakSuppressions } };
}

void expectSameOutputFromBothReaders(const std::vector<std::string>& paths)
{
    // exiv2 keeps the XMP namespaces a file registers for the life of the
    // process, which a leak checker reports at exit.
    TempDir dir;
    auto suppressions = fixtures::writeFile(dir.path(), "lsan.supp", "leak:Exiv2::XmpProperties::registerNs\n");

    for (bool json : { false, true }) {
        SCOPED_TRACE(json ? "--json" : "text");
        std::vector<std::string> arguments { "info" };
        if (json)
            arguments.push_back("--json");
        arguments.insert(arguments.end(), paths.begin(), paths.end());
        auto lean = testing_support::runProgram(kQuorix, arguments, environmentWithReader("lean", suppressions));
        auto full = testing_support::runProgram(kQuorix, arguments, environmentWithReader("full", suppressions));
        EXPECT_EQ(lean.status, full.status);
        EXPECT_EQ(lean.out, full.out);
        EXPECT_EQ(lean.err, full.err);
        EXPECT_GT(lean.out.size(), paths.size() * 100) << "the tables are missing";
    }
}

} // namespace

TEST(InfoReaders, PrintTheSameTablesForTheSamplesAndPhotosOfEitherByteOrder)
{
    TempDir dir;
    const fixtures::ExifEdits edits {
        { "Exif.Image.Make", "Quorix Test" },
        { "Exif.Image.Orientation", "6" },
        { "Exif.Photo.FNumber", "22/10" },
        { "Exif.Photo.ISOSpeedRatings", "100 200" },
        { "Exif.Photo.DateTimeOriginal", "2014:05:06 07:08:09" },
        { "Exif.GPSInfo.GPSLatitudeRef", "S" },
        { "Exif.GPSInfo.GPSLatitude", "33/1 52/1 0/1" },
        { "Exif.GPSInfo.GPSLongitudeRef", "W" },
        { "Exif.GPSInfo.GPSLongitude", "70/1 30/1 0/1" },
    };
    std::vector<std::string> paths {
        fixtures::writeJpeg(dir.path(), "a.jpg", 64, 48, edits),
        fixtures::writeTiff(dir.path(), "a.tif", 32, 24, edits),
        fixtures::writeTiff(dir.path(), "a.nef", 32, 24, edits),
    };
    for (const auto& entry : std::filesystem::directory_iterator(std::string(QUORIX_SOURCE_DIR) + "/samples"))
        paths.push_back(entry.path().string());
    std::sort(paths.begin() + 3, paths.end());
    expectSameOutputFromBothReaders(paths);
}

TEST(InfoReaders, PrintTheSameTablesForEveryCameraFile)
{
    const std::filesystem::path corpus(QUORIX_CORPUS_DIR);
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "no sample corpus at " << corpus.string() << "; camera-file tests skipped";
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (entry.is_regular_file())
            paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    expectSameOutputFromBothReaders(paths);
}
