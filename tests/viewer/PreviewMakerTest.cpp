// What an album cell shows before its thumbnail is made: the square of the
// preview a camera embeds in the photo, only where that preview shows the
// same picture, turned as the photo is turned.

#include "support/HeifFixture.h"
#include "support/ImageFixtures.h"

#include "viewer/serve/PreviewMaker.h"
#include "imageio/EmbeddedPreview.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <libheif/heif.h>
#include <vips/vips.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>

using viewer::PhotoRenderer;
using viewer::ThumbnailCache;

// The HEVC encoder the tests write HEIF files with keeps a few blocks of its
// own for the life of the process; a leak check of this program is about
// the viewer's code, not the encoder's.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libx265.so\n";
}

namespace {

using fixtures::Rgb;
constexpr Rgb kRed { 230, 30, 30 };
constexpr Rgb kBlue { 30, 30, 230 };
constexpr Rgb kBlack { 0, 0, 0 };
constexpr Rgb kGrey { 128, 128, 128 };

using fixtures::jpegBytes;

// Red on the left half, blue on the right: where a turn takes the halves shows.
Rgb halves(int x, int width) { return x < width / 2 ? kRed : kBlue; }

// A photo of `width` x `height` with `preview` in its EXIF block and the
// given orientation.
std::string writePhoto(const std::string& dir, const std::string& name, int width, int height, const std::string& preview,
    int orientation = 1)
{
    const std::string path = fixtures::writeFile(dir, name, jpegBytes(width, height, [](int, int) { return kGrey; }));
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    exif["Exif.Image.Orientation"] = uint16_t(orientation);
    if (!preview.empty())
        Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(preview.data()), preview.size());
    image->setExifData(exif);
    image->writeMetadata();
    return path;
}

struct Seen {
    int width = 0;
    int height = 0;
    Rgb topLeft {}, bottomRight {}; // a pixel near each corner
};

Seen decode(const std::string& encoded)
{
    Seen seen;
    VipsImage* image = vips_image_new_from_buffer(encoded.data(), encoded.size(), "", nullptr);
    EXPECT_NE(image, nullptr) << vips_error_buffer();
    if (!image)
        return seen;
    seen.width = vips_image_get_width(image);
    seen.height = vips_image_get_height(image);
    double* values = nullptr;
    int count = 0;
    auto pixel = [&](int x, int y) {
        Rgb colour {};
        if (vips_getpoint(image, &values, &count, x, y, nullptr) == 0 && count >= 3) {
            colour = { uint8_t(values[0]), uint8_t(values[1]), uint8_t(values[2]) };
            g_free(values);
        }
        return colour;
    };
    seen.topLeft = pixel(8, 8);
    seen.bottomRight = pixel(seen.width - 9, seen.height - 9);
    g_object_unref(image);
    return seen;
}

void expectColour(Rgb seen, Rgb wanted, const char* where)
{
    EXPECT_NEAR(seen.red, wanted.red, 30) << where;
    EXPECT_NEAR(seen.green, wanted.green, 30) << where;
    EXPECT_NEAR(seen.blue, wanted.blue, 30) << where;
}

class PreviewMakerTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(VIPS_INIT("preview_maker_tests"), 0); }

    fixtures::TempDir dir;
    const std::filesystem::path root = std::filesystem::path(dir.path()) / "thumbnails";
    PhotoRenderer::Decoder previews = viewer::previewDecoder(ThumbnailCache(root, "quorix-viewer-1.0"));
    const std::atomic<bool> running { false };
};

TEST_F(PreviewMakerTest, ACellShowsTheSquareOfAPreviewOfTheSamePictureUntilItsThumbnailIsMade)
{
    // 4:3 photo, 4:3 preview, a cell of 96 points: the centre 120 x 120, as is.
    const std::string path = writePhoto(dir.path(), "a.jpg", 400, 300, jpegBytes(160, 120, [](int x, int) { return halves(x, 160); }));
    const auto result = previews(path, { 256, 96 }, running);
    ASSERT_TRUE(result.image) << result.error;
    EXPECT_TRUE(result.image->fromPreview);
    const Seen seen = decode(result.image->bytes);
    EXPECT_EQ(seen.width, 120);
    EXPECT_EQ(seen.height, 120);
    expectColour(seen.topLeft, kRed, "left");
    expectColour(seen.bottomRight, kBlue, "right");

    // Too small for a larger cell: the cell waits for its thumbnail.
    EXPECT_FALSE(previews(path, { 256, 121 }, running).image);

    // Once the shared cache holds the thumbnail, that is the answer.
    std::string error;
    const auto source = ThumbnailCache::sourceOf(path, error);
    ASSERT_TRUE(source) << error;
    const std::string thumbnail = jpegBytes(256, 192, [](int, int) { return kGrey; });
    VipsImage* image = vips_image_new_from_buffer(thumbnail.data(), thumbnail.size(), "", nullptr);
    void* png = nullptr;
    size_t length = 0;
    ASSERT_EQ(vips_pngsave_buffer(image, &png, &length, nullptr), 0);
    g_object_unref(image);
    ASSERT_TRUE(ThumbnailCache(root, "quorix-viewer-1.0").store(*source, ThumbnailCache::Flavor::Large,
        std::string_view(static_cast<const char*>(png), length), error))
        << error;
    g_free(png);
    const auto later = previews(path, { 256, 96 }, running);
    ASSERT_TRUE(later.image) << later.error;
    EXPECT_FALSE(later.image->fromPreview);
    EXPECT_EQ(later.image->contentType, "image/png");
}

TEST_F(PreviewMakerTest, APreviewOfAnotherAspectRatioIsNotShown)
{
    const std::string fourByThree = jpegBytes(160, 120, [](int, int) { return kGrey; });
    // A 16:9 crop of a 4:3 photo keeps the camera's 4:3 preview.
    EXPECT_FALSE(viewer::previewSquare(writePhoto(dir.path(), "cropped.jpg", 400, 225, fourByThree), 64));
    // A preview 2.5 % wider than the photo, past the 2 % allowed.
    EXPECT_FALSE(viewer::previewSquare(writePhoto(dir.path(), "wider.jpg", 400, 300, jpegBytes(164, 120, [](int, int) { return kGrey; })), 64));
    // One 1.25 % wider passes.
    EXPECT_TRUE(viewer::previewSquare(writePhoto(dir.path(), "close.jpg", 400, 300, jpegBytes(162, 120, [](int, int) { return kGrey; })), 64));
    // A photo with no preview at all has none to show.
    const std::string bare = writePhoto(dir.path(), "bare.jpg", 400, 300, "");
    EXPECT_FALSE(viewer::previewSquare(bare, 64));
    EXPECT_FALSE(previews(bare, { 256, 64 }, running).image);
}

TEST_F(PreviewMakerTest, TheBlackBarsOfAPreviewAreTrimmedBeforeItIsCompared)
{
    // A 3:2 photo's 160 x 120 preview: the picture in the middle 106 rows,
    // black bars above and below. Untrimmed it would be 4:3, and refused.
    const auto barred = [](int x, int y) { return y < 7 || y >= 113 ? kBlack : halves(x, 160); };
    const std::string path = writePhoto(dir.path(), "three-by-two.jpg", 300, 200, jpegBytes(160, 120, barred));
    const auto square = viewer::previewSquare(path, 96);
    ASSERT_TRUE(square);
    EXPECT_NEAR(square->side, 106, 2);
    const Seen seen = decode(square->jpeg);
    // No bar in the square.
    expectColour(seen.topLeft, kRed, "top left");
    expectColour(seen.bottomRight, kBlue, "bottom right");
    // The same preview for a 4:3 photo is not that photo's.
    EXPECT_FALSE(viewer::previewSquare(writePhoto(dir.path(), "four-by-three.jpg", 400, 300, jpegBytes(160, 120, barred)), 96));
}

TEST_F(PreviewMakerTest, ARotatedPhotosPreviewIsTurnedAsThePhotoIs)
{
    const std::string preview = jpegBytes(160, 120, [](int x, int) { return halves(x, 160); });
    // Orientation 6: turned a quarter clockwise to stand up, the left half goes to the top.
    const auto clockwise = viewer::previewSquare(writePhoto(dir.path(), "six.jpg", 400, 300, preview, 6), 96);
    ASSERT_TRUE(clockwise);
    Seen seen = decode(clockwise->jpeg);
    expectColour(seen.topLeft, kRed, "top after a clockwise turn");
    expectColour(seen.bottomRight, kBlue, "bottom after a clockwise turn");
    // Orientation 8: a quarter the other way, the left half goes to the bottom.
    const auto counter = viewer::previewSquare(writePhoto(dir.path(), "eight.jpg", 400, 300, preview, 8), 96);
    ASSERT_TRUE(counter);
    seen = decode(counter->jpeg);
    expectColour(seen.topLeft, kBlue, "top after a counter-clockwise turn");
    expectColour(seen.bottomRight, kRed, "bottom after a counter-clockwise turn");
}

TEST_F(PreviewMakerTest, EveryOrientationTurnsThePreviewAsLibvipsTurnsThePicture)
{
    // A preview of four coloured quarters; the square is its centre
    // 120 x 120, still in quarters. libvips crops and turns it on its own.
    constexpr Rgb kGreen { 30, 230, 30 };
    const auto quarters = [&](int x, int y) { return y < 60 ? (x < 80 ? kRed : kBlue) : (x < 80 ? kGreen : kGrey); };
    const std::string preview = jpegBytes(160, 120, quarters);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        const auto square = viewer::previewSquare(writePhoto(dir.path(), "turned.jpg", 400, 300, preview, orientation), 96);
        ASSERT_TRUE(square);
        VipsImage* loaded = vips_image_new_from_buffer(preview.data(), preview.size(), "", nullptr);
        VipsImage* centre = nullptr;
        VipsImage* upright = nullptr;
        ASSERT_EQ(vips_extract_area(loaded, &centre, 20, 0, 120, 120, nullptr), 0);
        vips_image_set_int(centre, VIPS_META_ORIENTATION, orientation);
        ASSERT_EQ(vips_autorot(centre, &upright, nullptr), 0);
        void* encoded = nullptr;
        size_t length = 0;
        ASSERT_EQ(vips_jpegsave_buffer(upright, &encoded, &length, nullptr), 0);
        const Seen wanted = decode(std::string(static_cast<const char*>(encoded), length));
        g_free(encoded);
        for (VipsImage* image : { loaded, centre, upright })
            g_object_unref(image);
        const Seen seen = decode(square->jpeg);
        EXPECT_EQ(seen.width, 120);
        EXPECT_EQ(seen.height, 120);
        expectColour(seen.topLeft, wanted.topLeft, "top left");
        expectColour(seen.bottomRight, wanted.bottomRight, "bottom right");
    }
}

TEST_F(PreviewMakerTest, ADamagedPreviewIsNotShown)
{
    // Its header whole, its picture cut short: a decoder that patched over
    // the missing rows would show grey where the picture is.
    const std::string preview = jpegBytes(160, 120, [](int x, int) { return halves(x, 160); });
    EXPECT_TRUE(viewer::previewSquare(writePhoto(dir.path(), "whole.jpg", 400, 300, preview), 96));
    EXPECT_FALSE(viewer::previewSquare(writePhoto(dir.path(), "cut.jpg", 400, 300, preview.substr(0, preview.size() * 2 / 3)), 96));
}

// The file's bytes with the first `from` replaced by `to` (same length).
void patch(const std::string& path, std::string_view from, std::string_view to)
{
    std::string bytes = fixtures::readFile(path);
    const auto at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << "no such bytes in " << path;
    bytes.replace(at, to.size(), to);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST_F(PreviewMakerTest, APreviewsPlaceAndSizeAreBoundedBeforeItIsRead)
{
    const std::string preview = jpegBytes(160, 120, [](int, int) { return kGrey; });
    const std::string path = writePhoto(dir.path(), "sound.jpg", 400, 300, preview);
    ASSERT_TRUE(imageio::readEmbeddedPreview(path));

    // A length running past the EXIF segment (the entry as exiv2 writes it:
    // little-endian, tag 0x0202, one LONG).
    const std::string lengthEntry("\x02\x02\x04\x00\x01\x00\x00\x00", 8);
    const std::string longer = fixtures::writeFile(dir.path(), "longer.jpg", fixtures::readFile(path));
    patch(longer, lengthEntry, lengthEntry + std::string("\x00\x00\x10\x00", 4));
    EXPECT_FALSE(imageio::readEmbeddedPreview(longer));

    // A preview declaring 4000 x 4000 pixels in its frame header (the first
    // one in the file: the preview sits before the photo's own).
    const std::string huge = fixtures::writeFile(dir.path(), "huge.jpg", fixtures::readFile(path));
    patch(huge, std::string("\xff\xc0\x00\x11\x08\x00\x78\x00\xa0", 9), std::string("\xff\xc0\x00\x11\x08\x0f\xa0\x0f\xa0", 9));
    EXPECT_FALSE(imageio::readEmbeddedPreview(huge));
    EXPECT_FALSE(viewer::previewSquare(huge, 64));
}

// A HEIF of `width` x `height` (stored) whose thumbnail item is a picture of
// `thumbWidth` x `thumbHeight`, both painted by `paint`, both turned for
// showing by the EXIF-style `orientation` (written as 'irot'/'imir').
std::string writeHeif(const std::string& dir, const std::string& name, int width, int height, int thumbWidth, int thumbHeight,
    const std::function<Rgb(int, int, int)>& paint, int orientation = 1)
{
    auto check = [](heif_error error) {
        if (error.code != heif_error_Ok)
            throw std::runtime_error(std::string("cannot make a HEIF: ") + error.message);
    };
    auto pictureOf = [&](int w, int h) {
        heif_image* image = nullptr;
        check(heif_image_create(w, h, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image));
        check(heif_image_add_plane(image, heif_channel_interleaved, w, h, 8));
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Rgb colour = paint(x, y, w);
                uint8_t* at = plane + size_t(y) * stride + size_t(x) * 3;
                at[0] = colour.red, at[1] = colour.green, at[2] = colour.blue;
            }
        return image;
    };
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    check(heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder));
    check(heif_encoder_set_lossy_quality(encoder, 90));
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(orientation);
    heif_image* picture = pictureOf(width, height);
    // Made at twice its size and scaled down by the encoder, which only makes
    // a thumbnail smaller than its source.
    heif_image* small = pictureOf(thumbWidth * 2, thumbHeight * 2);
    heif_image_handle* primary = nullptr;
    heif_image_handle* thumbnail = nullptr;
    check(heif_context_encode_image(context, picture, encoder, options, &primary));
    check(heif_context_encode_thumbnail(context, small, primary, encoder, options, std::max(thumbWidth, thumbHeight), &thumbnail));
    const std::string path = (std::filesystem::path(dir) / name).string();
    check(heif_context_write_to_file(context, path.c_str()));
    heif_image_handle_release(thumbnail);
    heif_image_handle_release(primary);
    heif_image_release(small);
    heif_image_release(picture);
    heif_encoding_options_free(options);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return path;
}

Rgb halvesOf(int x, int, int width) { return halves(x, width); }

TEST_F(PreviewMakerTest, AHeifShowsItsThumbnailItemTurnedAsItsPictureIs)
{
    // Unturned: 4:3 picture, 4:3 thumbnail, the centre square as is.
    const std::string plain = writeHeif(dir.path(), "plain.heic", 400, 300, 160, 120, halvesOf);
    const auto result = previews(plain, { 256, 96 }, running);
    ASSERT_TRUE(result.image) << result.error;
    EXPECT_TRUE(result.image->fromPreview);
    Seen seen = decode(result.image->bytes);
    EXPECT_EQ(seen.width, 120);
    EXPECT_EQ(seen.height, 120);
    expectColour(seen.topLeft, kRed, "left");
    expectColour(seen.bottomRight, kBlue, "right");
    // Too small for a larger cell.
    EXPECT_FALSE(viewer::previewSquare(plain, 121));

    // Stored on its side, to be turned a quarter clockwise to stand up: the
    // left half goes to the top, once (by the file's own rotation).
    const std::string turned = writeHeif(dir.path(), "turned.heic", 400, 300, 160, 120, halvesOf, 6);
    const auto thumbnail = imageio::readHeifThumbnail(turned);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->shown.width, 120);
    EXPECT_EQ(thumbnail->shown.height, 160);
    EXPECT_EQ(thumbnail->picture.width, 300);
    EXPECT_EQ(thumbnail->picture.height, 400);
    const auto square = viewer::previewSquare(turned, 96);
    ASSERT_TRUE(square);
    seen = decode(square->jpeg);
    EXPECT_EQ(seen.width, 120);
    expectColour(seen.topLeft, kRed, "top after a clockwise turn");
    expectColour(seen.bottomRight, kBlue, "bottom after a clockwise turn");
}

// The order the format gives: the item's size first, then a quarter turn
// ('irot' after 'ispe'), so the size read is the stored one and the turn
// is applied to it, both for the thumbnail and for the picture.
TEST_F(PreviewMakerTest, AHeifThumbnailTurnedAfterItsSizeIsShownAndComparedTurned)
{
    const std::string plain = fixtures::readFile(writeHeif(dir.path(), "plain.heic", 400, 300, 160, 120, halvesOf));
    constexpr uint32_t picture = 1, thumbnailItem = 2;

    // A quarter turn anticlockwise: the left half goes to the bottom.
    const std::string quarter = fixtures::writeFile(dir.path(), "quarter.heic", fixtures::withRotation(plain, { picture, thumbnailItem }, 1));
    const auto thumbnail = imageio::readHeifThumbnail(quarter);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->stored.width, 160);
    EXPECT_EQ(thumbnail->stored.height, 120);
    EXPECT_EQ(thumbnail->shown.width, 120);
    EXPECT_EQ(thumbnail->shown.height, 160);
    EXPECT_EQ(thumbnail->picture.width, 300);
    EXPECT_EQ(thumbnail->picture.height, 400);
    const auto square = viewer::previewSquare(quarter, 120);
    ASSERT_TRUE(square);
    Seen seen = decode(square->jpeg);
    EXPECT_EQ(seen.width, 120);
    EXPECT_EQ(seen.height, 120);
    expectColour(seen.topLeft, kBlue, "top after a quarter turn anticlockwise");
    expectColour(seen.bottomRight, kRed, "bottom after a quarter turn anticlockwise");
    // 120 points on its short side: not enough for a larger cell.
    EXPECT_FALSE(viewer::previewSquare(quarter, 121));

    // Three quarters: the left half goes to the top.
    const auto threeQuarters = viewer::previewSquare(
        fixtures::writeFile(dir.path(), "three.heic", fixtures::withRotation(plain, { picture, thumbnailItem }, 3)), 96);
    ASSERT_TRUE(threeQuarters);
    seen = decode(threeQuarters->jpeg);
    expectColour(seen.topLeft, kRed, "top after three quarters");
    expectColour(seen.bottomRight, kBlue, "bottom after three quarters");

    // Only one of the two turned: a 3:4 thumbnail of a 4:3 picture, or the
    // reverse, is not a picture of the same shape.
    const std::string thumbnailTurned = fixtures::writeFile(dir.path(), "small.heic", fixtures::withRotation(plain, { thumbnailItem }, 1));
    const auto alone = imageio::readHeifThumbnail(thumbnailTurned);
    ASSERT_TRUE(alone);
    EXPECT_EQ(alone->shown.width, 120);
    EXPECT_EQ(alone->picture.width, 400);
    EXPECT_FALSE(viewer::previewSquare(thumbnailTurned, 64));
    EXPECT_FALSE(viewer::previewSquare(fixtures::writeFile(dir.path(), "large.heic", fixtures::withRotation(plain, { picture }, 1)), 64));
}

TEST_F(PreviewMakerTest, AHeifThumbnailOfAnotherAspectRatioIsNotShown)
{
    const auto grey = [](int, int, int) { return kGrey; };
    // A square thumbnail of a 4:3 picture, and one 2.5 % wider.
    const std::string square = writeHeif(dir.path(), "square.heic", 400, 300, 160, 160, grey);
    ASSERT_TRUE(imageio::readHeifThumbnail(square));
    EXPECT_FALSE(viewer::previewSquare(square, 64));
    EXPECT_FALSE(previews(square, { 256, 64 }, running).image);
    EXPECT_FALSE(viewer::previewSquare(writeHeif(dir.path(), "wider.heic", 400, 300, 164, 120, grey), 64));
    EXPECT_TRUE(viewer::previewSquare(writeHeif(dir.path(), "close.heic", 400, 300, 162, 120, grey), 64));
}

TEST_F(PreviewMakerTest, AHeifThumbnailIsReadOnlyWhenItsStructureHolds)
{
    const std::string sound = writeHeif(dir.path(), "sound.heic", 400, 300, 160, 120, halvesOf);
    ASSERT_TRUE(imageio::readHeifThumbnail(sound));
    auto variant = [&](const std::string& name, std::string_view from, std::string_view to) {
        const std::string path = fixtures::writeFile(dir.path(), name, fixtures::readFile(sound));
        patch(path, from, to);
        return path;
    };
    // The reference (from item 2, one item, to item 1) names another item
    // than the primary: a thumbnail of something else.
    EXPECT_FALSE(imageio::readHeifThumbnail(variant("other.heic", std::string("thmb\0\2\0\1\0\1", 10), std::string("thmb\0\2\0\1\0\3", 10))));
    // The thumbnail item is of a type no HEIF decoder reads as a picture.
    EXPECT_FALSE(imageio::readHeifThumbnail(variant("type.heic", std::string("\0\2\0\0hvc1", 8), std::string("\0\2\0\0mime", 8))));
    // Its bytes run past the file: item 2's entry as the encoder writes it
    // (item, data reference, base offset, one extent of offset and length),
    // its length made 64 KiB, within the largest allowed but past the end.
    const std::string bytes = fixtures::readFile(sound);
    const auto entry = bytes.find(std::string("\0\2\0\0", 4), bytes.find("iloc") + 16);
    ASSERT_NE(entry, std::string::npos);
    const std::string past = variant("past.heic", bytes.substr(entry, 18), bytes.substr(entry, 14) + std::string("\0\1\0\0", 4));
    EXPECT_FALSE(imageio::readHeifThumbnail(past));
    EXPECT_FALSE(viewer::previewSquare(past, 64));
}

} // namespace
