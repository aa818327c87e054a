#include "PhotoRenderer.h"

#include <vips/vips.h>

#include <memory>

namespace viewer {

namespace {

// libvips keeps its last error per thread in a buffer; take it and clear it.
std::string takeVipsError()
{
    std::string text = vips_error_buffer();
    vips_error_clear();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "cannot be decoded" : text;
}

struct ObjectUnref {
    void operator()(VipsImage* image) const { g_object_unref(image); }
};

} // namespace

PhotoRenderer::PhotoRenderer(std::vector<std::string> paths, int maxWidth, int maxHeight)
    : paths_(std::move(paths))
    , maxWidth_(maxWidth)
    , maxHeight_(maxHeight)
{
}

bool PhotoRenderer::start(const char* programName, std::string& reason)
{
    if (VIPS_INIT(programName) != 0) {
        reason = takeVipsError();
        return false;
    }
    // Rendered photos are kept by the renderer itself; libvips's own cache
    // of operations would only hold a second copy.
    vips_cache_set_max(0);
    return true;
}

void PhotoRenderer::finish() { vips_shutdown(); }

PhotoRenderer::Result PhotoRenderer::render(size_t index)
{
    if (index >= paths_.size())
        return { std::nullopt, "no photo " + std::to_string(index) };
    {
        std::lock_guard guard(lock_);
        if (auto found = cache_.find(index); found != cache_.end())
            return { found->second, {} };
    }
    Result result = decode(paths_[index]);
    if (result.image) {
        std::lock_guard guard(lock_);
        cache_.emplace(index, *result.image);
    }
    return result;
}

PhotoRenderer::Result PhotoRenderer::decode(const std::string& path) const
{
    // vips_thumbnail decodes only as much as the box needs (shrink-on-load)
    // and applies the EXIF orientation, so a portrait stored rotated stands up.
    VipsImage* raw = nullptr;
    if (vips_thumbnail(path.c_str(), &raw, maxWidth_, "height", maxHeight_, "size", VIPS_SIZE_DOWN, nullptr) != 0)
        return { std::nullopt, path + ": " + takeVipsError() };
    std::unique_ptr<VipsImage, ObjectUnref> thumbnail(raw);

    // JPEG takes one or three bands of 8 bits: flatten any alpha onto black
    // (the viewer's background) and bring other colour spaces to sRGB.
    VipsImage* prepared = nullptr;
    VipsImage* current = thumbnail.get();
    std::unique_ptr<VipsImage, ObjectUnref> flat, srgb;
    if (vips_image_hasalpha(current)) {
        if (vips_flatten(current, &prepared, nullptr) != 0)
            return { std::nullopt, path + ": " + takeVipsError() };
        flat.reset(prepared);
        current = prepared;
    }
    if (vips_colourspace(current, &prepared, VIPS_INTERPRETATION_sRGB, nullptr) != 0)
        return { std::nullopt, path + ": " + takeVipsError() };
    srgb.reset(prepared);
    current = prepared;

    void* buffer = nullptr;
    size_t length = 0;
    if (vips_jpegsave_buffer(current, &buffer, &length, "Q", 85, "strip", TRUE, nullptr) != 0)
        return { std::nullopt, path + ": " + takeVipsError() };
    Image image;
    image.jpeg.assign(static_cast<const char*>(buffer), length);
    image.width = vips_image_get_width(current);
    image.height = vips_image_get_height(current);
    g_free(buffer);
    return { std::move(image), {} };
}

} // namespace viewer
