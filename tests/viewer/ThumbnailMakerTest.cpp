// Thumbnails as the album asks for them, through the decoder the server's
// renderer runs: a raw file libvips has no loader for shows the preview the
// camera embedded in it (read by exiv2), and one without a preview is
// answered as undecodable and marked in the cache's fail folder.

#include "support/ImageFixtures.h"

#include "viewer/serve/ThumbnailMaker.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <vips/vips.h>

#include <filesystem>
#include <fstream>

using viewer::PhotoRenderer;
using viewer::ThumbnailCache;

namespace {

// A 320 x 240 JPEG of one colour.
std::string jpegOf(fixtures::Rgb colour)
{
    return fixtures::jpegBytes(320, 240, [colour](int, int) { return colour; });
}

// A raw file as an Olympus camera writes it: TIFF structures behind the
// maker's own signature ("IIRO" instead of "II*"), which libvips's TIFF
// loader refuses while exiv2 reads it, with `preview` (if any) as the
// directory of the thumbnail image, where cameras keep a small JPEG.
std::string writeRaw(const std::string& dir, const std::string& name, const std::string& preview)
{
    const std::string path = dir + "/" + name;
    VipsImage* black = nullptr;
    vips_black(&black, 640, 480, "bands", 3, nullptr);
    const int saved = vips_tiffsave(black, path.c_str(), nullptr);
    g_object_unref(black);
    if (saved != 0)
        throw std::runtime_error(path + ": " + vips_error_buffer());
    std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).seekp(2).write("RO", 2);

    auto image = Exiv2::ImageFactory::open(path);
    if (image->imageType() != Exiv2::ImageType::orf)
        throw std::runtime_error(path + ": exiv2 does not take it for a raw file");
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    exif["Exif.Image.Make"] = "OLYMPUS IMAGING CORP.";
    if (!preview.empty())
        Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(preview.data()), preview.size());
    image->setExifData(exif);
    image->writeMetadata();
    return path;
}

struct Seen {
    int width = 0;
    int height = 0;
    double red = 0, green = 0, blue = 0; // the mean of each band
};

Seen decodePng(const std::string& png)
{
    Seen seen;
    VipsImage* image = vips_image_new_from_buffer(png.data(), png.size(), "", nullptr);
    EXPECT_NE(image, nullptr) << vips_error_buffer();
    if (!image)
        return seen;
    seen.width = vips_image_get_width(image);
    seen.height = vips_image_get_height(image);
    double* means[3] = { &seen.red, &seen.green, &seen.blue };
    for (int band = 0; band < 3 && band < vips_image_get_bands(image); ++band) {
        VipsImage* one = nullptr;
        vips_extract_band(image, &one, band, nullptr);
        vips_avg(one, means[band], nullptr);
        g_object_unref(one);
    }
    g_object_unref(image);
    return seen;
}

class ThumbnailMakerTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(VIPS_INIT("thumbnail_maker_tests"), 0); }

    fixtures::TempDir dir;
    const std::filesystem::path root = std::filesystem::path(dir.path()) / "thumbnails";
    PhotoRenderer::Decoder decode = viewer::thumbnailDecoder(ThumbnailCache(root, "quorix-viewer-1.0"));
    const std::atomic<bool> running { false };
};

TEST_F(ThumbnailMakerTest, ARawFileWithoutADecoderShowsItsEmbeddedPreview)
{
    const std::string raw = writeRaw(dir.path(), "P1010001.ORF", jpegOf({ 220, 40, 30 }));
    ASSERT_EQ(vips_image_new_from_file(raw.c_str(), nullptr), nullptr) << "libvips reads the raw file itself";
    vips_error_clear();

    const auto result = decode(raw, { 128, 128 }, running);
    ASSERT_TRUE(result.image) << result.error;
    EXPECT_EQ(result.image->contentType, "image/png");
    // The preview's colour at the cache's normal size; the raw image itself is black.
    const Seen seen = decodePng(result.image->bytes);
    EXPECT_EQ(seen.width, 128);
    EXPECT_EQ(seen.height, 96);
    EXPECT_NEAR(seen.red, 220, 8);
    EXPECT_NEAR(seen.green, 40, 8);
    EXPECT_NEAR(seen.blue, 30, 8);

    // Kept in the shared cache like any other thumbnail, and read back from there.
    std::string error;
    const auto source = ThumbnailCache::sourceOf(raw, error);
    ASSERT_TRUE(source) << error;
    const ThumbnailCache cache(root, "quorix-viewer-1.0");
    const auto stored = cache.find(*source, ThumbnailCache::Flavor::Normal);
    ASSERT_TRUE(stored);
    EXPECT_EQ(decodePng(*stored).width, 128);
    EXPECT_FALSE(cache.failed(*source));
}

TEST_F(ThumbnailMakerTest, ARawFileWithoutAPreviewIsMarkedUndecodable)
{
    const std::string raw = writeRaw(dir.path(), "P1010002.ORF", "");
    const auto result = decode(raw, { 256, 256 }, running);
    EXPECT_FALSE(result.image);
    EXPECT_EQ(result.error, raw + ": cannot be decoded");
    std::string error;
    const auto source = ThumbnailCache::sourceOf(raw, error);
    ASSERT_TRUE(source) << error;
    EXPECT_TRUE(ThumbnailCache(root, "quorix-viewer-1.0").failed(*source));
}

} // namespace
