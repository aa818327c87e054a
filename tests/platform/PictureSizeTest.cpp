// The picture's own pixel size, as both readers give it, held against
// readings made without them: libheif for HEIF files (the primary item's
// stored size, and its size once turned and cropped), exiftool for the other
// formats; on every camera file, and on HEIF files made to mislead a reader
// that sizes a picture by its EXIF block or by its largest item.

#include "imageio/BmffWalk.h"
#include "imageio/FileWindow.h"
#include "imageio/FullReader.h"
#include "imageio/PictureSize.h"
#include "imageio/LeanReader.h"
#include "support/HeifFixture.h"
#include "support/ImageFixtures.h"

#include <gtest/gtest.h>
#include <libheif/heif.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using fixtures::TempDir;

namespace {

struct Sizes {
    long long storedWidth = 0, storedHeight = 0, shownWidth = 0, shownHeight = 0;
    bool operator==(const Sizes&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Sizes& sizes)
{
    return out << "stored " << sizes.storedWidth << " x " << sizes.storedHeight << ", shown " << sizes.shownWidth << " x "
               << sizes.shownHeight;
}

Sizes sizesOf(const imageio::ImageContents& contents)
{
    const auto& m = contents.metadata;
    return { m.pixelWidth.value_or(0), m.pixelHeight.value_or(0), m.shownWidth.value_or(0), m.shownHeight.value_or(0) };
}

// What each reader that takes the file gives: the full reader always, the
// lean reader where it does not leave the file alone.
void expectBothReadersGive(const std::string& path, const Sizes& expected)
{
    auto full = imageio::readFull(path);
    ASSERT_TRUE(full) << path;
    EXPECT_EQ(sizesOf(*full), expected) << "full reader, " << path;
    if (auto lean = imageio::readLean(path)) {
        EXPECT_EQ(sizesOf(*lean), expected) << "lean reader, " << path;
    }
}

// libheif's reading of the primary image.
Sizes libheifSizes(const std::string& path)
{
    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), heif_context_free);
    heif_error error = heif_context_read_from_file(context.get(), path.c_str(), nullptr);
    EXPECT_EQ(error.code, heif_error_Ok) << path << ": " << error.message;
    heif_image_handle* handle = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &handle);
    EXPECT_EQ(error.code, heif_error_Ok) << path << ": " << error.message;
    if (!handle)
        return {};
    Sizes sizes { heif_image_handle_get_ispe_width(handle), heif_image_handle_get_ispe_height(handle),
        heif_image_handle_get_width(handle), heif_image_handle_get_height(handle) };
    heif_image_handle_release(handle);
    return sizes;
}

std::filesystem::path corpus() { return std::filesystem::path(QUORIX_CORPUS_DIR); }

bool isHeif(const std::filesystem::path& path)
{
    auto extension = path.extension().string();
    for (auto& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".heic" || extension == ".heif" || extension == ".avif";
}

// exiftool's reading of files, by path: its ImageSize ("W H" with -n) and
// its Orientation number, or nothing where it gives none.
nlohmann::json exiftoolReadings(const std::vector<std::string>& paths)
{
    std::string command = "exiftool -json -n -ImageSize -Orientation";
    for (const auto& path : paths)
        command += " '" + path + "'";
    command += " 2>/dev/null";
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
        output += buffer;
    if (output.empty())
        ADD_FAILURE() << "exiftool gave nothing (is it installed? scripts/install-deps.sh brings it)";
    return nlohmann::json::parse(output, nullptr, false);
}

fixtures::HeifPicture editedPortrait()
{
    // An edited photo: the EXIF block keeps the camera's 4032 x 3024, the
    // file also holds a larger second picture, the primary item is the crop.
    TempDir dir;
    const std::string jpeg = fixtures::readFile(fixtures::writeJpeg(dir.path(), "camera.jpg", 8, 8,
        { { "Exif.Image.Make", "Apple" }, { "Exif.Photo.PixelXDimension", "4032" }, { "Exif.Photo.PixelYDimension", "3024" } }));
    fixtures::HeifPicture picture;
    picture.width = 2566;
    picture.height = 3313;
    picture.otherWidth = 4032;
    picture.otherHeight = 3024;
    picture.exif = fixtures::exifOfJpeg(jpeg);
    return picture;
}

TEST(PictureSize, IsTheHeifPrimaryItemsOwnAsLibheifReadsIt)
{
    TempDir dir;
    auto edited = editedPortrait();
    auto turned = edited;
    turned.width = 4032;
    turned.height = 3024;
    turned.otherWidth = 0;
    turned.quarterTurns = 3; // a phone held upright
    auto cropped = turned;
    cropped.crop = std::pair<uint32_t, uint32_t> { 4000, 3000 };
    auto halfTurned = cropped;
    halfTurned.quarterTurns = 2;

    struct Case {
        const char* name;
        fixtures::HeifPicture picture;
        Sizes expected;
    };
    const std::vector<Case> cases {
        { "edited.heic", edited, { 2566, 3313, 2566, 3313 } },
        { "turned.heic", turned, { 4032, 3024, 3024, 4032 } },
        { "cropped.heic", cropped, { 4032, 3024, 3000, 4000 } },
        { "half-turned.heic", halfTurned, { 4032, 3024, 4000, 3000 } },
    };
    for (const auto& c : cases) {
        const std::string path = fixtures::writeFile(dir.path(), c.name, fixtures::heifBytes(c.picture));
        EXPECT_EQ(libheifSizes(path), c.expected) << c.name;
        ASSERT_TRUE(imageio::readLean(path)) << "the lean reader takes a plain HEIF: " << c.name;
        expectBothReadersGive(path, c.expected);
    }
}

TEST(PictureSize, TakesABoxOfSizeZeroToTheEndOfItsParentWhereTheLeanWalkRefusesIt)
{
    // The 'meta' box, then its last child, given the size "to the end of
    // the parent". The size is read as the format says; the lean walk
    // leaves such a file alone.
    TempDir dir;
    fixtures::HeifPicture picture;
    picture.width = 4032;
    picture.height = 3024;
    picture.quarterTurns = 1;
    const std::string whole = fixtures::heifBytes(picture);
    auto sizeZero = [&](std::string bytes, size_t typeAt) {
        bytes.replace(typeAt - 4, 4, std::string(4, '\0'));
        return fixtures::writeFile(dir.path(), "to-the-end.heic", bytes);
    };
    const size_t meta = whole.find("meta");
    const size_t lastInMeta = whole.find("iprp");
    ASSERT_NE(lastInMeta, std::string::npos);
    ASSERT_EQ(whole.find("mdat"), lastInMeta + (uint8_t(whole[lastInMeta - 2]) << 8) + uint8_t(whole[lastInMeta - 1]))
        << "'iprp' is the last box of 'meta'";
    const Sizes expected { 4032, 3024, 3024, 4032 };
    for (const std::string& path : { fixtures::writeFile(dir.path(), "whole.heic", whole), sizeZero(whole, meta) }) {
        auto file = imageio::FileWindow::open(path);
        ASSERT_TRUE(file);
        auto size = imageio::heifPictureSize(*file);
        ASSERT_TRUE(size && size->shown) << path;
        EXPECT_EQ((Sizes { size->stored.width, size->stored.height, size->shown->width, size->shown->height }), expected);
        EXPECT_EQ(imageio::walkBmff(*file).has_value(), path.ends_with("whole.heic"));
    }
    // 'iprp' to the end of 'meta' (whose size stays): its properties are all
    // there, so the size is read.
    {
        std::string bytes = whole;
        bytes.replace(lastInMeta - 4, 4, std::string(4, '\0'));
        auto file = imageio::FileWindow::open(fixtures::writeFile(dir.path(), "iprp.heic", bytes));
        ASSERT_TRUE(file);
        auto size = imageio::heifPictureSize(*file);
        ASSERT_TRUE(size);
        EXPECT_EQ(size->stored.width, 4032);
        EXPECT_FALSE(imageio::walkBmff(*file));
    }
}

TEST(PictureSizeCorpus, OfEveryCameraFileIsTheIndependentReadings)
{
    if (!std::filesystem::is_directory(corpus()))
        GTEST_SKIP() << "no sample corpus at " << corpus().string() << "; camera-file tests skipped";
    std::vector<std::string> others;
    int heifFiles = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus())) {
        if (!entry.is_regular_file() || !imageio::readFull(entry.path().string()))
            continue;
        if (isHeif(entry.path())) {
            ++heifFiles;
            expectBothReadersGive(entry.path().string(), libheifSizes(entry.path().string()));
        } else {
            others.push_back(entry.path().string());
        }
    }
    EXPECT_GT(heifFiles, 0);
    ASSERT_FALSE(others.empty());
    for (const auto& reading : exiftoolReadings(others)) {
        const std::string path = reading.value("SourceFile", "");
        Sizes expected;
        if (reading.contains("ImageSize")) {
            std::sscanf(reading["ImageSize"].get<std::string>().c_str(), "%lld %lld", &expected.storedWidth, &expected.storedHeight);
            const int orientation = reading.value("Orientation", 1);
            const bool turned = orientation >= 5 && orientation <= 8;
            expected.shownWidth = turned ? expected.storedHeight : expected.storedWidth;
            expected.shownHeight = turned ? expected.storedWidth : expected.storedHeight;
        }
        SCOPED_TRACE(path);
        expectBothReadersGive(path, expected);
    }
}

} // namespace
