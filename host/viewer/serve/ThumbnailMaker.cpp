#include "viewer/serve/ThumbnailMaker.h"

#include "viewer/serve/DecodeBudget.h"
#include "viewer/serve/ServerLimits.h"

#include <exiv2/exiv2.hpp>
#include <vips/vips.h>

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

namespace viewer {

namespace {

constexpr const char* cannotDecode = "cannot be decoded";
// How much lower a thumbnail's decoding thread runs than the rest of the viewer.
constexpr int kThumbnailNiceness = 10;

struct VipsPng {
    std::string bytes;
    int width = 0;
    int height = 0;
};

// Saves a thumbnail made by vips_thumbnail* as PNG and releases it.
std::optional<VipsPng> savePng(VipsImage* image)
{
    void* buffer = nullptr;
    size_t length = 0;
    std::optional<VipsPng> png;
    // The fastest deflate: at level 6 the PNG took a third of a cold 256-pixel
    // thumbnail's time (23 of 78 ms), at level 1 half that, for a file about as big.
    if (vips_pngsave_buffer(image, &buffer, &length, "strip", TRUE, "compression", 1, nullptr) == 0) {
        png = VipsPng { std::string(static_cast<const char*>(buffer), length), vips_image_get_width(image), vips_image_get_height(image) };
        g_free(buffer);
    }
    g_object_unref(image);
    return png;
}

std::optional<VipsPng> thumbnailOfFile(const std::string& path, int pixels)
{
    // Refuse what would be too big to decode before any pixel is (a small
    // file can declare a huge image).
    const auto size = PhotoRenderer::declaredSize(path);
    if (!size || double(size->first) * size->second > PhotoRenderer::maxDecodePixels)
        return std::nullopt;
    const auto share = DecodeBudget::reserve(path);
    if (std::holds_alternative<std::string>(share))
        return std::nullopt;
    VipsImage* out = nullptr;
    if (vips_thumbnail(path.c_str(), &out, pixels, "height", pixels, "size", VIPS_SIZE_DOWN, nullptr) != 0)
        return std::nullopt;
    return savePng(out);
}

// The largest preview a raw file carries, read by exiv2 and scaled by libvips.
std::optional<VipsPng> thumbnailOfPreview(const std::string& path, int pixels)
{
    try {
        auto image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        Exiv2::PreviewManager previews(*image);
        auto properties = previews.getPreviewProperties();
        if (properties.empty())
            return std::nullopt;
        const auto largest = std::max_element(properties.begin(), properties.end(),
            [](const auto& a, const auto& b) { return a.width_ * a.height_ < b.width_ * b.height_; });
        const Exiv2::PreviewImage preview = previews.getPreviewImage(*largest);
        VipsImage* out = nullptr;
        if (vips_thumbnail_buffer(const_cast<Exiv2::byte*>(preview.pData()), preview.size(), &out, pixels, "height", pixels,
                "size", VIPS_SIZE_DOWN, nullptr) != 0)
            return std::nullopt;
        return savePng(out);
    } catch (const Exiv2::Error&) {
        return std::nullopt;
    }
}

PhotoRenderer::Result answer(std::string png, int width, int height)
{
    auto image = std::make_shared<PhotoRenderer::Image>();
    image->bytes = std::move(png);
    image->width = width;
    image->height = height;
    image->contentType = "image/png";
    return { std::move(image), {} };
}

} // namespace

PhotoRenderer::Decoder thumbnailDecoder(ThumbnailCache cache)
{
    return [cache = std::move(cache)](const std::string& path, PhotoRenderer::Box box, const std::atomic<bool>&) -> PhotoRenderer::Result {
        // Thumbnails are made in the background while the cells show their
        // previews: a decoding thread yields the cores to the previews'
        // threads (and the page's), so a jump through the album fills at
        // once however many thumbnails are still to make.
        // (Never raised back: a thread that makes thumbnails no one waits for runs lower still.)
        thread_local const bool yielding = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())) >= kThumbnailNiceness
            || ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kThumbnailNiceness) == 0;
        (void)yielding;
        std::string error;
        const auto source = ThumbnailCache::sourceOf(path, error);
        if (!source)
            return { nullptr, error };
        const auto flavor = ThumbnailCache::flavorFor(std::max(box.width, box.height));
        if (auto stored = cache.find(*source, flavor))
            return answer(std::move(*stored), 0, 0);
        if (cache.failed(*source))
            return { nullptr, path + ": " + cannotDecode };

        const int pixels = ThumbnailCache::pixels(flavor);
        auto made = thumbnailOfFile(path, pixels);
        vips_error_clear();
        if (!made)
            made = thumbnailOfPreview(path, pixels);
        vips_error_clear();
        if (!made) {
            cache.storeFailure(*source, error); // a cache that cannot be written only costs a retry
            return { nullptr, path + ": " + cannotDecode };
        }
        // Never the case for 256 pixels at 8 bits, but a batch's memory is
        // bounded by it.
        if (made->bytes.size() > limits::maxThumbnailBytes)
            return { nullptr, path + ": the thumbnail is too large to show" };
        // Answered even when the cache cannot keep it.
        cache.store(*source, flavor, made->bytes, error);
        return answer(std::move(made->bytes), made->width, made->height);
    };
}

} // namespace viewer
