#include "viewer/serve/PreviewMaker.h"

#include "viewer/serve/DecodeBudget.h"
#include "viewer/serve/JpegCodec.h"
#include "viewer/serve/Raster.h"

#include "imageio/EmbeddedPreview.h"

#include <vips/vips.h>

#include <cmath>
#include <memory>

namespace viewer {

namespace {

struct ObjectUnref {
    void operator()(VipsImage* image) const { g_object_unref(image); }
};
using ImageRef = std::unique_ptr<VipsImage, ObjectUnref>;

struct GFree {
    void operator()(void* memory) const { g_free(memory); }
};

// The part of a decoded preview that is picture, not black bar.
struct Area {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Trims the rows and columns along each edge whose mean is at most
// kBarLevel. `pixels` are `width` x `height` samples of `bands` bytes.
Area pictureArea(const uint8_t* pixels, int width, int height, int bands)
{
    auto rowMean = [&](int y, int from, int to) {
        double sum = 0;
        for (int x = from; x < to; ++x)
            for (int b = 0; b < bands; ++b)
                sum += pixels[(size_t(y) * width + x) * bands + b];
        return sum / (double(to - from) * bands);
    };
    auto columnMean = [&](int x, int from, int to) {
        double sum = 0;
        for (int y = from; y < to; ++y)
            for (int b = 0; b < bands; ++b)
                sum += pixels[(size_t(y) * width + x) * bands + b];
        return sum / (double(to - from) * bands);
    };
    int top = 0, bottom = height;
    while (top < bottom && rowMean(top, 0, width) <= kBarLevel)
        ++top;
    while (bottom > top && rowMean(bottom - 1, 0, width) <= kBarLevel)
        --bottom;
    int left = 0, right = width;
    if (top < bottom) {
        while (left < right && columnMean(left, top, bottom) <= kBarLevel)
            ++left;
        while (right > left && columnMean(right - 1, top, bottom) <= kBarLevel)
            --right;
    }
    return { left, top, right - left, bottom - top };
}

PhotoRenderer::Result image(std::string bytes, int width, int height, const char* type, bool fromPreview)
{
    auto made = std::make_shared<PhotoRenderer::Image>();
    made->bytes = std::move(bytes);
    made->width = width;
    made->height = height;
    made->contentType = type;
    made->fromPreview = fromPreview;
    return { std::move(made), {} };
}

} // namespace

namespace {

// The square of a decoded preview of `expected` pixels for a picture of
// `picture` (both as the decoded preview stands), turned by `orientation`.
std::optional<PreviewSquare> squareOf(const Raster& decoded, imageio::PixelDimensions expected, imageio::PixelDimensions picture,
    int orientation, int points)
{
    // The preview's size was read before: a decoder that disagrees with it
    // is not to be trusted with the rest.
    if (decoded.width != expected.width || decoded.height != expected.height || (decoded.bands != 1 && decoded.bands != 3))
        return std::nullopt;
    const Area area = pictureArea(decoded.samples.data(), decoded.width, decoded.height, decoded.bands);
    if (area.width <= 0 || area.height <= 0)
        return std::nullopt;

    const double shown = double(area.width) / area.height;
    const double photo = double(picture.width) / double(picture.height);
    if (std::abs(shown / photo - 1) > kMostAspectDifference)
        return std::nullopt;
    const int side = std::min(area.width, area.height);
    if (side < points)
        return std::nullopt;

    const Raster square = cropped(decoded, area.left + (area.width - side) / 2, area.top + (area.height - side) / 2, side, side);
    auto jpeg = encodeJpeg(turned(square, orientation), 85);
    if (!jpeg)
        return std::nullopt;
    return PreviewSquare { std::move(*jpeg), side };
}

// The pixels of an 8-bit image of 1 or 3 bands; nothing for any other.
std::optional<Raster> rasterOf(VipsImage* image)
{
    const int bands = vips_image_get_bands(image);
    if (vips_image_get_format(image) != VIPS_FORMAT_UCHAR || (bands != 1 && bands != 3))
        return std::nullopt;
    size_t length = 0;
    std::unique_ptr<void, GFree> memory(vips_image_write_to_memory(image, &length));
    Raster raster { vips_image_get_width(image), vips_image_get_height(image), bands, {} };
    if (!memory || length != size_t(raster.width) * raster.height * bands) {
        vips_error_clear();
        return std::nullopt;
    }
    const auto* bytes = static_cast<const uint8_t*>(memory.get());
    raster.samples.assign(bytes, bytes + length);
    return raster;
}

// A HEIF's thumbnail item, decoded with its own rotation and mirroring
// applied (as the picture's are), so no EXIF orientation is applied on top.
std::optional<PreviewSquare> heifSquare(const std::string& path, int points)
{
    const auto thumbnail = imageio::readHeifThumbnail(path);
    if (!thumbnail)
        return std::nullopt;
    const DecodeBudget::Need need { size_t(thumbnail->stored.width * thumbnail->stored.height * 4), int(thumbnail->stored.width),
        int(thumbnail->stored.height) };
    auto share = DecodeBudget::reserve(need);
    if (std::holds_alternative<std::string>(share))
        return std::nullopt;
    VipsImage* loaded = nullptr;
    if (vips_heifload(path.c_str(), &loaded, "thumbnail", TRUE, "fail", TRUE, nullptr) != 0) {
        vips_error_clear();
        return std::nullopt;
    }
    ImageRef decoded(loaded);
    if (vips_image_hasalpha(loaded)) {
        VipsImage* flat = nullptr;
        if (vips_flatten(loaded, &flat, nullptr) != 0) {
            vips_error_clear();
            return std::nullopt;
        }
        decoded.reset(flat);
        VipsImage* cast = nullptr;
        if (vips_cast_uchar(flat, &cast, nullptr) != 0) {
            vips_error_clear();
            return std::nullopt;
        }
        decoded.reset(cast);
    }
    const auto raster = rasterOf(decoded.get());
    if (!raster)
        return std::nullopt;
    return squareOf(*raster, thumbnail->shown, thumbnail->picture, 1, points);
}

} // namespace

std::optional<PreviewSquare> previewSquare(const std::string& path, int points)
{
    if (points <= 0)
        return std::nullopt;
    const auto preview = imageio::readEmbeddedPreview(path);
    if (!preview)
        return heifSquare(path, points);
    // The declared size is bounded by the reader; a preview never has more
    // than three bands of 8 bits, and is decoded whole.
    const DecodeBudget::Need need { size_t(preview->size.width * preview->size.height * 3), int(preview->size.width),
        int(preview->size.height) };
    auto share = DecodeBudget::reserve(need);
    if (std::holds_alternative<std::string>(share))
        return std::nullopt;

    // Decoded here, on the asking thread, at its priority: a preview is a
    // few kilobytes.
    const auto decoded = decodeJpeg(preview->jpeg, size_t(preview->size.width) * size_t(preview->size.height));
    if (!decoded)
        return std::nullopt;
    // Both as stored: the orientation turns the photo and its preview alike.
    return squareOf(*decoded, preview->size, preview->picture, preview->orientation, points);
}

PhotoRenderer::Decoder previewDecoder(ThumbnailCache cache)
{
    return [cache = std::move(cache)](const std::string& path, PhotoRenderer::Box box, const std::atomic<bool>&) -> PhotoRenderer::Result {
        std::string error;
        const auto source = ThumbnailCache::sourceOf(path, error);
        if (!source)
            return { nullptr, error };
        if (auto stored = cache.find(*source, ThumbnailCache::flavorFor(box.width)))
            return image(std::move(*stored), 0, 0, "image/png", false);
        if (auto square = previewSquare(path, box.height))
            return image(std::move(square->jpeg), square->side, square->side, "image/jpeg", true);
        return { nullptr, path + ": no preview to show" };
    };
}

} // namespace viewer
