// The thumbnail cache against the freedesktop Thumbnail Managing Standard:
// the names (the MD5 of the file's escaped URI, checked against sums worked
// out by hand), the chunks a PNG reader finds, the mtime check on use, the
// fail entries, and the modes of what is written.

#include "support/ImageFixtures.h"

#include "viewer/serve/ThumbnailCache.h"

#include <gtest/gtest.h>
#include <vips/vips.h>
#include <zlib.h>

#include <fcntl.h>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using viewer::ThumbnailCache;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

mode_t modeOf(const std::filesystem::path& path)
{
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

void setMtime(const std::string& path, time_t seconds)
{
    const timespec times[2] = { { seconds, 0 }, { seconds, 0 } };
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// What libvips's PNG reader (which checks every chunk's CRC) finds in the
// file: its size and its text chunks.
struct PngSeen {
    int width = 0;
    std::map<std::string, std::string> texts;
};

PngSeen readWithVips(const std::filesystem::path& path)
{
    PngSeen seen;
    VipsImage* image = vips_image_new_from_file(path.c_str(), "fail", TRUE, nullptr);
    EXPECT_NE(image, nullptr) << vips_error_buffer();
    if (!image)
        return seen;
    VipsImage* pixels = nullptr;
    EXPECT_EQ(vips_copy(image, &pixels, nullptr), 0);
    double sum = 0;
    EXPECT_EQ(vips_avg(pixels, &sum, nullptr), 0) << vips_error_buffer(); // decodes every row
    seen.width = vips_image_get_width(image);
    gchar** fields = vips_image_get_fields(image);
    for (gchar** field = fields; *field; ++field) {
        std::string name(*field);
        // libvips names them png-comment-INDEX-KEY.
        if (!name.starts_with("png-comment-"))
            continue;
        const char* value = nullptr;
        vips_image_get_string(image, *field, &value);
        seen.texts[name.substr(name.find('-', 12) + 1)] = value;
    }
    g_strfreev(fields);
    g_object_unref(pixels);
    g_object_unref(image);
    return seen;
}

std::string pngOf(int width, int height)
{
    VipsImage* black = nullptr;
    vips_black(&black, width, height, "bands", 3, nullptr);
    void* buffer = nullptr;
    size_t length = 0;
    vips_pngsave_buffer(black, &buffer, &length, nullptr);
    std::string png(static_cast<const char*>(buffer), length);
    g_free(buffer);
    g_object_unref(black);
    return png;
}

class ThumbnailCacheTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(VIPS_INIT("thumbnail_cache_tests"), 0);
        vips_cache_set_max(0); // a file read again is read from disk
    }

    fixtures::TempDir dir;
};

TEST_F(ThumbnailCacheTest, NamesAreTheMd5OfTheEscapedFileUri)
{
    // The standard's own example, and a name with a space, accents, '#' and '%'.
    EXPECT_EQ(ThumbnailCache::uriOf("/home/jens/photos/me.png"), "file:///home/jens/photos/me.png");
    EXPECT_EQ(ThumbnailCache::keyOf("file:///home/jens/photos/me.png"), "c6ee772d9e49320e97ec29a7eb5b1697");
    const std::string odd = ThumbnailCache::uriOf("/tmp/a b/été#%.jpg");
    EXPECT_EQ(odd, "file:///tmp/a%20b/%C3%A9t%C3%A9%23%25.jpg");
    EXPECT_EQ(ThumbnailCache::keyOf(odd), "a234a111ae08161ccb593615cf4320a8");

    ThumbnailCache cache("/c/thumbnails", "quorix-viewer-1.0");
    const ThumbnailCache::Source me { "file:///home/jens/photos/me.png", "1" };
    EXPECT_EQ(cache.thumbnailPath(me, ThumbnailCache::Flavor::Normal), "/c/thumbnails/normal/c6ee772d9e49320e97ec29a7eb5b1697.png");
    EXPECT_EQ(cache.thumbnailPath(me, ThumbnailCache::Flavor::Large), "/c/thumbnails/large/c6ee772d9e49320e97ec29a7eb5b1697.png");
    EXPECT_EQ(cache.failPath(me), "/c/thumbnails/fail/quorix-viewer-1.0/c6ee772d9e49320e97ec29a7eb5b1697.png");
    EXPECT_EQ(ThumbnailCache::flavorFor(128), ThumbnailCache::Flavor::Normal);
    EXPECT_EQ(ThumbnailCache::flavorFor(129), ThumbnailCache::Flavor::Large);

    // The root follows XDG_CACHE_HOME, and ~/.cache when it is unset or relative.
    const char* saved = std::getenv("XDG_CACHE_HOME");
    const std::string keep = saved ? saved : "";
    setenv("XDG_CACHE_HOME", "/x/cache", 1);
    EXPECT_EQ(ThumbnailCache::defaultRoot(), "/x/cache/thumbnails");
    setenv("XDG_CACHE_HOME", "relative", 1);
    EXPECT_EQ(ThumbnailCache::defaultRoot(), std::filesystem::path(std::getenv("HOME")) / ".cache/thumbnails");
    unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(ThumbnailCache::defaultRoot(), std::filesystem::path(std::getenv("HOME")) / ".cache/thumbnails");
    if (saved)
        setenv("XDG_CACHE_HOME", keep.c_str(), 1);
}

TEST_F(ThumbnailCacheTest, StoredThumbnailsCarryTheirChunksAndAreUsedUntilTheFileChanges)
{
    const std::string photo = fixtures::writeJpeg(dir.path(), "a photo.jpg", 64, 48);
    setMtime(photo, 1400000000);
    std::string error;
    auto source = ThumbnailCache::sourceOf(photo, error);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(source->uri, "file://" + std::string(dir.path()) + "/a%20photo.jpg");
    EXPECT_EQ(source->mtime, "1400000000");

    const std::filesystem::path root = std::filesystem::path(dir.path()) / "cache" / "thumbnails";
    ThumbnailCache cache(root, "quorix-viewer-1.0");
    EXPECT_FALSE(cache.find(*source, ThumbnailCache::Flavor::Large));
    ASSERT_TRUE(cache.store(*source, ThumbnailCache::Flavor::Large, pngOf(256, 192), error)) << error;

    const auto stored = root / "large" / (ThumbnailCache::keyOf(source->uri) + ".png");
    const PngSeen seen = readWithVips(stored);
    EXPECT_EQ(seen.width, 256);
    EXPECT_EQ(seen.texts, (std::map<std::string, std::string> { { "Thumb::URI", source->uri }, { "Thumb::MTime", "1400000000" } }));
    EXPECT_EQ(modeOf(stored), 0600u);
    for (const auto& folder : { root.parent_path(), root, root / "large" })
        EXPECT_EQ(modeOf(folder), 0700u) << folder;
    // Nothing but the thumbnail is left in its folder (no temporary file).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root / "large"), {}), 1);

    auto found = cache.find(*source, ThumbnailCache::Flavor::Large);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, readAll(stored));
    EXPECT_FALSE(cache.find(*source, ThumbnailCache::Flavor::Normal));

    // The photo changed: the thumbnail no longer counts, and a new one replaces it.
    setMtime(photo, 1400000100);
    auto changed = ThumbnailCache::sourceOf(photo, error);
    ASSERT_TRUE(changed);
    EXPECT_FALSE(cache.find(*changed, ThumbnailCache::Flavor::Large));
    // A reader that has the old file open (here: a link to it) keeps it
    // whole: the new one is written beside it and renamed over it.
    const auto held = std::filesystem::path(dir.path()) / "held.png";
    std::filesystem::create_hard_link(stored, held);
    const std::string before = readAll(held);
    ASSERT_TRUE(cache.store(*changed, ThumbnailCache::Flavor::Large, pngOf(256, 192), error)) << error;
    EXPECT_EQ(readAll(held), before);
    EXPECT_TRUE(cache.find(*changed, ThumbnailCache::Flavor::Large));
    EXPECT_EQ(readWithVips(stored).texts.at("Thumb::MTime"), "1400000100");

    // Another program's file with the right name but another URI is not taken.
    const ThumbnailCache::Source other { "file:///elsewhere.jpg", changed->mtime };
    std::filesystem::copy_file(stored, cache.thumbnailPath(other, ThumbnailCache::Flavor::Large));
    EXPECT_FALSE(cache.find(other, ThumbnailCache::Flavor::Large));
}

TEST_F(ThumbnailCacheTest, FailEntriesMarkAFileUntilItChanges)
{
    const std::string broken = dir.path() + "/broken.jpg";
    std::ofstream(broken) << "not a photo";
    setMtime(broken, 1500000000);
    std::string error;
    auto source = ThumbnailCache::sourceOf(broken, error);
    ASSERT_TRUE(source) << error;
    const std::filesystem::path root = std::filesystem::path(dir.path()) / "thumbnails";
    ThumbnailCache cache(root, "quorix-viewer-1.0");
    EXPECT_FALSE(cache.failed(*source));
    ASSERT_TRUE(cache.storeFailure(*source, error)) << error;

    const auto entry = root / "fail" / "quorix-viewer-1.0" / (ThumbnailCache::keyOf(source->uri) + ".png");
    const PngSeen seen = readWithVips(entry);
    EXPECT_EQ(seen.texts.at("Thumb::URI"), source->uri);
    EXPECT_EQ(seen.texts.at("Thumb::MTime"), "1500000000");
    EXPECT_EQ(modeOf(entry), 0600u);
    EXPECT_EQ(modeOf(root / "fail"), 0700u);
    EXPECT_EQ(modeOf(entry.parent_path()), 0700u);
    EXPECT_TRUE(cache.failed(*source));
    // Another program's failures are its own.
    EXPECT_FALSE(ThumbnailCache(root, "quorix-viewer-2.0").failed(*source));

    setMtime(broken, 1500000001);
    EXPECT_FALSE(cache.failed(*ThumbnailCache::sourceOf(broken, error)));
    EXPECT_FALSE(ThumbnailCache::sourceOf(dir.path() + "/missing.jpg", error));
    EXPECT_NE(error.find("missing.jpg"), std::string::npos) << error;
}

// Other programs of the user write the same folders: what they leave there
// (a FIFO, a link, a torn or damaged PNG) is neither waited on, followed nor
// served, and the thumbnail is made again in its place.
TEST_F(ThumbnailCacheTest, WhatOtherProgramsLeaveIsNeitherWaitedOnFollowedNorServedBroken)
{
    const std::string photo = fixtures::writeJpeg(dir.path(), "a.jpg", 64, 48);
    std::string error;
    const auto source = ThumbnailCache::sourceOf(photo, error);
    ASSERT_TRUE(source) << error;
    const std::filesystem::path root = std::filesystem::path(dir.path()) / "thumbnails";
    ThumbnailCache cache(root, "quorix-viewer-1.0");
    const auto flavor = ThumbnailCache::Flavor::Normal;
    const auto path = cache.thumbnailPath(*source, flavor);
    ASSERT_TRUE(cache.store(*source, flavor, pngOf(128, 96), error)) << error;
    const std::string good = readAll(path);
    ASSERT_TRUE(cache.find(*source, flavor));

    // A FIFO: a reader that waits for a writer would wait forever.
    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    auto finding = std::async(std::launch::async, [&] { return cache.find(*source, flavor).has_value(); });
    if (finding.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK)); // lets the reader go
        FAIL() << "reading a FIFO in the cache blocked";
    }
    EXPECT_FALSE(finding.get());
    ASSERT_TRUE(cache.store(*source, flavor, pngOf(128, 96), error)) << error;
    EXPECT_TRUE(cache.find(*source, flavor)) << "made again in the FIFO's place";

    // Torn, damaged or too large, though its chunks name the file: made again.
    ThumbnailCache elsewhere(std::filesystem::path(dir.path()) / "other", "x");
    ASSERT_TRUE(elsewhere.store(*source, ThumbnailCache::Flavor::Large, pngOf(256, 256), error)) << error;
    std::string damaged = good;
    damaged[damaged.size() - 20] ^= 0x55;
    // Half its image data, in chunks whose lengths and CRCs are all right.
    const size_t idat = good.find("IDAT") - 4;
    const uint32_t dataLength = uint32_t(good[idat]) << 24 | uint32_t(uint8_t(good[idat + 1])) << 16 | uint32_t(uint8_t(good[idat + 2])) << 8 | uint8_t(good[idat + 3]);
    std::string halfData = good.substr(0, idat);
    for (const std::string& chunk : { "IDAT" + good.substr(idat + 8, dataLength / 2), std::string("IEND") }) {
        for (int shift = 24; shift >= 0; shift -= 8)
            halfData.push_back(char((chunk.size() - 4) >> shift));
        const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), uInt(chunk.size())));
        halfData += chunk;
        for (int shift = 24; shift >= 0; shift -= 8)
            halfData.push_back(char(crc >> shift));
    }
    const struct {
        const char* what;
        std::string bytes;
    } broken[] = {
        { "torn", good.substr(0, good.size() - 20) },
        { "a byte of its image data changed", damaged },
        { "its image data cut short", halfData },
        { "larger than its flavor", readAll(elsewhere.thumbnailPath(*source, ThumbnailCache::Flavor::Large)) },
    };
    for (const auto& [what, bytes] : broken) {
        SCOPED_TRACE(what);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_FALSE(cache.find(*source, flavor));
    }

    // A link in place of the thumbnail, even to a sound one, is not followed.
    std::filesystem::remove(path);
    const auto target = std::filesystem::path(dir.path()) / "target.png";
    std::ofstream(target, std::ios::binary) << good;
    std::filesystem::create_symlink(target, path);
    EXPECT_FALSE(cache.find(*source, flavor));

    // A link in place of a folder of the cache is not written through.
    const auto away = std::filesystem::path(dir.path()) / "away";
    std::filesystem::create_directory(away);
    std::filesystem::remove_all(root / "normal");
    std::filesystem::create_directory_symlink(away, root / "normal");
    EXPECT_FALSE(cache.store(*source, flavor, pngOf(128, 96), error));
    EXPECT_NE(error.find("normal"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_empty(away));
    std::filesystem::remove(root / "fail");
    std::filesystem::create_directory_symlink(away, root / "fail");
    EXPECT_FALSE(cache.storeFailure(*source, error));
    EXPECT_TRUE(std::filesystem::is_empty(away));
}

} // namespace
